#pragma once

#include "common/owners.h"
#include "resources/string_ids.h"

#include <windows.h>
#include <objbase.h>

// Stands in the English table only.
constexpr UINT ClassIdStringId = IDS_CLASS_ID;

// "{" + string 5667 + "}" in a new buffer; false when the string or the buffer is missing.
bool BuildClassKeyName(UniqueLocalString& name);

// The module's one class identifier, parsed from the class-key name ("{" + string 5667 +
// "}") and cached once a parse has succeeded; all zeros until then (a failed parse is
// retried on the next call).
const CLSID& ModuleClassId();
