// The adapter lookup's text rules: the NetCfgInstanceId match of FindAdapterKey on a GUID
// text and a registry value, and the "DPTEnable" reading of its 10-unit buffer.
#include "extension/adapter_text.h"
#include "fuzz_support.h"

namespace {

bool ReferenceMatch(const std::wstring& instanceId, const std::wstring& guid) {
    const std::size_t length = guid.size();
    if (length == 0 || instanceId.size() < length + 2 || instanceId[0] != L'{' ||
        instanceId[length + 1] != L'}') {
        return false;
    }
    return fuzz::FoldedAscii(instanceId.substr(1, length)) == fuzz::FoldedAscii(guid);
}

std::wstring SwappedCase(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring units = fuzz::Units(data, size);
    const fuzz::TwoTexts input = fuzz::SplitAtZero(units);
    const std::wstring& guid = input.first;
    const std::wstring& instanceId = input.second; // registry data may hold zero units

    const bool matches = InstanceIdNamesAdapter(instanceId, guid);
    FUZZ_CHECK(matches == ReferenceMatch(instanceId, guid));
    FUZZ_CHECK(InstanceIdNamesAdapter(instanceId, SwappedCase(guid)) == matches);
    if (matches) {
        // What follows the closing brace is not examined.
        FUZZ_CHECK(InstanceIdNamesAdapter(instanceId + L"x}", guid));
    }

    // "DPTEnable" as RegQueryValueExW left it: 10 units, not necessarily terminated.
    wchar_t buffer[DptEnableUnits] = {};
    for (std::size_t i = 0; i < DptEnableUnits && i < units.size(); ++i) {
        buffer[i] = units[i];
    }
    const std::wstring considered(buffer, DptEnableUnits - 1);
    FUZZ_CHECK(DptEnableTextIsSet(buffer) == (fuzz::ReferenceDecimal(considered) != 0));
    return 0;
}
