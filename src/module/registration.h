#pragma once

#include "common/owners.h"

// String ids of the module's own identity; both stand in the English table only.
constexpr UINT ClassIdStringId = 5667;      // class identifier, registry form without braces
constexpr UINT FriendlyNameStringId = 5668; // class key's default value

// "{" + string 5667 + "}" in a new buffer; false when the string or the buffer is missing.
bool BuildClassKeyName(UniqueLocalString& name);

STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
