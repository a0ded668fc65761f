#pragma once

#include <windows.h>

#include <string>

// The built qmkihvui.dll, beside the test executable.
std::wstring ShippedModulePath();

// Loads the shipped DLL once per process (kept loaded) and returns its handle.
HMODULE ShippedModule();

// Runs the prefix's own regsvr32 on the shipped DLL (options such as L"/u") and returns
// its exit code (NotStarted when it could not be started).
DWORD RunRegsvr32(const std::wstring& options);

// Makes the module library linked into this test read the shipped DLL's resources.
void UseShippedModuleResources();
