#include "extension/adapter_lookup.h"

#include "extension/adapter_text.h"

#include <rpc.h>

#include <cwchar>
#include <iterator>

namespace {

constexpr DWORD SubkeyNameUnits = 256;
constexpr DWORD InstanceIdBytes = 512;

bool SubkeyNamesAdapter(HKEY classKey, const wchar_t* subkey, const wchar_t* guidText) {
    wchar_t instanceId[InstanceIdBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof(instanceId);
    if (RegGetValueW(classKey, subkey, AdapterInstanceIdValue, RRF_RT_REG_SZ, nullptr, instanceId,
                     &size) != ERROR_SUCCESS ||
        size == 0) {
        return false;
    }
    const std::wstring_view text(instanceId, wcsnlen(instanceId, size / sizeof(wchar_t)));
    return InstanceIdNamesAdapter(text, guidText);
}

// The path fits a fixed buffer (class key, "\\", a subkey name of at most 255 units), so
// building it cannot fail.
void OpenInstanceKey(const wchar_t* subkey, UniqueHkey& instanceKey) {
    constexpr size_t classLength = std::size(NetworkClassKeyPath) - 1;
    wchar_t path[classLength + 1 + SubkeyNameUnits] = {};
    wmemcpy(path, NetworkClassKeyPath, classLength);
    path[classLength] = L'\\';
    wcsncpy(path + classLength + 1, subkey, SubkeyNameUnits - 1);
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, instanceKey.put());
}

} // namespace

bool FindAdapterKey(const wchar_t* guidText, UniqueHkey& instanceKey) {
    instanceKey.reset();
    if (guidText == nullptr || guidText[0] == L'\0') {
        return false;
    }
    UniqueHkey classKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NetworkClassKeyPath, 0, KEY_READ, classKey.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t subkey[SubkeyNameUnits] = {};
    for (DWORD index = 0;
         RegEnumKeyW(classKey.get(), index, subkey, SubkeyNameUnits) == ERROR_SUCCESS; ++index) {
        if (SubkeyNamesAdapter(classKey.get(), subkey, guidText)) {
            OpenInstanceKey(subkey, instanceKey);
            break;
        }
    }
    return static_cast<bool>(instanceKey);
}

bool AdapterSupportsDpt(const GUID& adapterGuid) {
    GUID guid = adapterGuid;
    UniqueRpcString guidText;
    if (UuidToStringW(&guid, guidText.put()) != RPC_S_OK) {
        return false;
    }
    UniqueHkey instanceKey;
    if (!FindAdapterKey(reinterpret_cast<const wchar_t*>(guidText.get()), instanceKey)) {
        return false;
    }
    // Zero-filled, so a value shorter than the buffer or stored without its terminator never
    // shows what the stack held before.
    wchar_t units[DptEnableUnits] = {};
    DWORD size = sizeof(units);
    if (RegQueryValueExW(instanceKey.get(), L"DPTEnable", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(units), &size) != ERROR_SUCCESS) {
        return false;
    }
    return DptEnableTextIsSet(units);
}
