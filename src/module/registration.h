#pragma once

#include "common/owners.h"
#include "resources/string_ids.h"

// The registered class's name; stands in the English table only.
constexpr UINT FriendlyNameStringId = IDS_FRIENDLY_NAME;

STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
