#pragma once

#include "common/owners.h"

#include <string_view>

// A BSTR copy of a zero-terminated text; a null text copies as the empty text.
inline UniqueBstr BstrCopy(const wchar_t* text) {
    return UniqueBstr(SysAllocString(text != nullptr ? text : L""));
}

// A BSTR copy of `text` (SysAllocStringLen, so embedded zero units survive).
inline UniqueBstr BstrFromText(std::wstring_view text) {
    return UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}
