#pragma once

#include <windows.h>

// The table that picks a class by the interface identifier asked of the factory, from the
// creation functions the extension layer publishes.
// Builds the class for iid, or answers E_NOINTERFACE when no class offers it.
HRESULT CreateClassInstance(REFIID iid, void** result);
