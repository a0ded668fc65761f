#pragma once

#include "common/owners.h"
#include "resources/string_ids.h"

// String ids of the module's own identity; both stand in the English table only.
constexpr UINT ClassIdStringId = IDS_CLASS_ID;
constexpr UINT FriendlyNameStringId = IDS_FRIENDLY_NAME;

// "{" + string 5667 + "}" in a new buffer; false when the string or the buffer is missing.
bool BuildClassKeyName(UniqueLocalString& name);

STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
