#include "module/registration.h"

#include "services/class_id.h"
#include "services/module_state.h"
#include "services/string_loader.h"

#include <cwchar>

namespace {

constexpr wchar_t InprocServerKey[] = L"InprocServer32";

DWORD TextBytes(const wchar_t* text) {
    return static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
}

bool SetStringValue(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          TextBytes(value)) == ERROR_SUCCESS;
}

bool CreateKey(HKEY parent, const wchar_t* name, UniqueHkey& key) {
    return RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                           nullptr) == ERROR_SUCCESS;
}

bool OpenClsidRoot(UniqueHkey& key) {
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, key.put()) ==
           ERROR_SUCCESS;
}

} // namespace

// Steps run in order and stop at the first failure; what was written before stays.
STDAPI DllRegisterServer() {
    UniqueHkey clsid;
    UniqueLocalString keyName;
    if (!OpenClsidRoot(clsid) || !BuildClassKeyName(keyName)) {
        return S_FALSE;
    }
    UniqueHkey classKey;
    if (!CreateKey(clsid.get(), keyName.get(), classKey)) {
        return S_FALSE;
    }
    UniqueLocalString friendlyName;
    if (LoadModuleString(FriendlyNameStringId, friendlyName) != ERROR_SUCCESS ||
        !SetStringValue(classKey.get(), L"", friendlyName.get())) {
        return S_FALSE;
    }
    UniqueHkey inproc;
    if (!CreateKey(classKey.get(), InprocServerKey, inproc)) {
        return S_FALSE;
    }
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(ModuleInstance(), path, MAX_PATH) == 0 ||
        !SetStringValue(inproc.get(), L"", path)) {
        return S_FALSE;
    }
    return SetStringValue(inproc.get(), L"ThreadingModel", L"Both") ? S_OK : S_FALSE;
}

// Opens the class key rather than creating it, so unregistering an unregistered class
// leaves no empty key behind.
STDAPI DllUnregisterServer() {
    UniqueHkey clsid;
    UniqueLocalString keyName;
    if (!OpenClsidRoot(clsid) || !BuildClassKeyName(keyName)) {
        return S_FALSE;
    }
    {
        UniqueHkey classKey;
        if (RegOpenKeyExW(clsid.get(), keyName.get(), 0, KEY_ALL_ACCESS, classKey.put()) !=
                ERROR_SUCCESS ||
            RegDeleteKeyW(classKey.get(), InprocServerKey) != ERROR_SUCCESS) {
            return S_FALSE;
        }
    }
    return RegDeleteKeyW(clsid.get(), keyName.get()) == ERROR_SUCCESS ? S_OK : S_FALSE;
}
