#pragma once

#include <windows.h>

// The table that picks a class by the interface identifier asked of the factory. It lives
// with the classes it builds (extension/class_table.cpp); the module only calls it.
// Builds the class for iid, or answers E_NOINTERFACE when no class offers it.
HRESULT CreateClassInstance(REFIID iid, void** result);
