#pragma once

#include "common/owners.h"

// A profile text as the host passes it: a BSTR of its own; null stays null.
inline UniqueBstr HostText(const wchar_t* text) {
    return UniqueBstr(text != nullptr ? SysAllocString(text) : nullptr);
}
