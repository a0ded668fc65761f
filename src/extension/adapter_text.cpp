#include "extension/adapter_text.h"

#include "common/decimal_text.h"

namespace {

// The GUID texts are ASCII; only A-Z fold, as in the C locale.
wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualIgnoringAsciiCase(std::wstring_view left, std::wstring_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (FoldAscii(left[i]) != FoldAscii(right[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

bool InstanceIdNamesAdapter(std::wstring_view instanceId, std::wstring_view guidText) {
    const std::size_t length = guidText.size();
    if (length == 0 || instanceId.size() < length + 2) {
        return false;
    }
    return instanceId[0] == L'{' && instanceId[length + 1] == L'}' &&
           EqualIgnoringAsciiCase(instanceId.substr(1, length), guidText);
}

bool DptEnableTextIsSet(const wchar_t (&units)[DptEnableUnits]) {
    wchar_t text[DptEnableUnits] = {};
    for (std::size_t i = 0; i + 1 < DptEnableUnits; ++i) {
        text[i] = units[i];
    }
    return ParseDecimal(text) != 0;
}
