#include "extension/adapter_text.h"

#include "common/ascii_case.h"
#include "common/decimal_text.h"

bool InstanceIdNamesAdapter(std::wstring_view instanceId, std::wstring_view guidText) {
    const std::size_t length = guidText.size();
    if (length == 0 || instanceId.size() < length + 2) {
        return false;
    }
    return instanceId[0] == L'{' && instanceId[length + 1] == L'}' &&
           // The GUID texts are ASCII.
           EqualIgnoringAsciiCase(instanceId.substr(1, length), guidText);
}

bool DptEnableTextIsSet(const wchar_t (&units)[DptEnableUnits]) {
    wchar_t text[DptEnableUnits] = {};
    for (std::size_t i = 0; i + 1 < DptEnableUnits; ++i) {
        text[i] = units[i];
    }
    return ParseDecimal(text) != 0;
}
