#pragma once

#include <windows.h>

// Module-wide state: the instance handle whose resources every string load reads, and the
// two counts that decide whether the library may be unloaded.

HINSTANCE ModuleInstance();

// Set by the DLL's entry point; a program that links the module library directly (the
// tests) sets its own handle, or the shipped DLL's, to read those resources.
void SetModuleInstance(HINSTANCE instance);

// Extension objects alive (class factories are not counted).
void IncrementObjectCount();
void DecrementObjectCount();
LONG ObjectCount();

// IClassFactory::LockServer; no lower bound is enforced.
void LockModule(BOOL lock);
LONG ServerLockCount();
