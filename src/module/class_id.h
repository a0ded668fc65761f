#pragma once

#include <windows.h>
#include <objbase.h>

// The module's one class identifier, parsed from the class-key name ("{" + string 5667 +
// "}") and cached once a parse has succeeded; all zeros until then (a failed parse is
// retried on the next call).
const CLSID& ModuleClassId();
