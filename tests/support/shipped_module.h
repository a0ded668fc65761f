#pragma once

#include <windows.h>

#include <string>

// The built qmkihvui.dll, beside the test executable.
std::wstring ShippedModulePath();

// Loads the shipped DLL once per process (kept loaded) and returns its handle.
HMODULE ShippedModule();

// Makes the module library linked into this test read the shipped DLL's resources.
void UseShippedModuleResources();
