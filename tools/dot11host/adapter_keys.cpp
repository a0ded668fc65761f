#include "adapter_keys.h"

#include "extension_client.h"
#include "text_io.h"

#include <cwchar>

namespace {

constexpr wchar_t StandInMark[] = L"Dot11hostStandIn";
constexpr wchar_t StandInDescription[] =
    L"Stand-in adapter made by dot11host (no such adapter is installed)";

std::wstring SubkeyPath(const std::wstring& name) {
    return std::wstring(NetworkClassKeyPath) + L"\\" + name;
}

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* subkey, const wchar_t* value) {
    wchar_t text[256] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(key, subkey, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(text);
}

bool HasStandInMark(HKEY key) {
    DWORD mark = 0;
    DWORD size = sizeof(mark);
    return RegGetValueW(key, nullptr, StandInMark, RRF_RT_REG_DWORD, nullptr, &mark, &size) ==
               ERROR_SUCCESS &&
           mark == 1;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

std::wstring AdapterKey::Path() const {
    return L"HKLM\\" + SubkeyPath(name);
}

std::optional<AdapterKey> FindAdapterKey(const GUID& adapter, REGSAM access) {
    UniqueHkey classKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NetworkClassKeyPath, 0, KEY_READ, classKey.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t name[256] = {};
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(classKey.get(), index, name, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        const std::optional<std::wstring> id =
            ReadString(classKey.get(), name, AdapterInstanceIdValue);
        const std::optional<GUID> guid = id ? ParseGuid(*id) : std::nullopt;
        if (!guid || !IsEqualGUID(*guid, adapter)) {
            continue;
        }
        AdapterKey found;
        found.name = name;
        if (RegOpenKeyExW(classKey.get(), name, 0, access, found.key.put()) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        found.standIn = HasStandInMark(found.key.get());
        return found;
    }
}

std::optional<AdapterKey> CreateStandInAdapterKey(const GUID& adapter, std::wstring& error) {
    for (int number = 0; number < 10000; ++number) {
        const std::wstring digits = std::to_wstring(number);
        const std::wstring name = std::wstring(4 - digits.size(), L'0') + digits;
        AdapterKey created;
        created.name = name;
        created.standIn = true;
        DWORD disposition = 0;
        const LSTATUS status =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, SubkeyPath(name).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, created.key.put(), &disposition);
        if (status != ERROR_SUCCESS) {
            error = L"cannot create " + created.Path() + L": " + SystemMessage(status);
            return std::nullopt;
        }
        if (disposition != REG_CREATED_NEW_KEY) {
            continue; // a real adapter's, or another stand-in's
        }
        const DWORD mark = 1;
        if (!SetString(created.key.get(), AdapterInstanceIdValue, GuidText(adapter)) ||
            !SetString(created.key.get(), L"DriverDesc", StandInDescription) ||
            RegSetValueExW(created.key.get(), StandInMark, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&mark), sizeof(mark)) != ERROR_SUCCESS) {
            error = L"cannot write the values of " + created.Path();
            DeleteAdapterKey(created);
            return std::nullopt;
        }
        return created;
    }
    error = L"no free instance name under HKLM\\" + std::wstring(NetworkClassKeyPath);
    return std::nullopt;
}

bool DeleteAdapterKey(const AdapterKey& adapter) {
    return RegDeleteTreeW(HKEY_LOCAL_MACHINE, SubkeyPath(adapter.name).c_str()) == ERROR_SUCCESS;
}

std::optional<std::wstring> UiExtensionClassText(HKEY adapterKey) {
    return ReadString(adapterKey, IhvExtensionsKeyName, UiExtensionClassValue);
}
