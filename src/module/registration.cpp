#include "module/registration.h"

#include "services/class_id.h"
#include "services/module_state.h"
#include "services/string_loader.h"

#include <olectl.h>

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

LSTATUS OpenClsidRoot(UniqueHkey& key) {
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, key.put());
}

// A path that fills the buffer may have been cut: no registration points at a cut path.
bool ReadModulePath(wchar_t (&path)[MAX_PATH]) {
    const DWORD length = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    return length != 0 && length < MAX_PATH;
}

// A key that is not there means the class is not registered, which is no failure.
HRESULT UnregistrationResult(LSTATUS status) {
    if (status == ERROR_SUCCESS) {
        return S_OK;
    }
    return status == ERROR_FILE_NOT_FOUND ? S_FALSE : SELFREG_E_CLASS;
}

} // namespace

// Steps run in order and stop at the first failure, which answers SELFREG_E_CLASS; what was
// written before stays (docs/COMPATIBILITY.md).
STDAPI DllRegisterServer() {
    UniqueHkey clsid;
    UniqueLocalString keyName;
    if (OpenClsidRoot(clsid) != ERROR_SUCCESS || !BuildClassKeyName(keyName)) {
        return SELFREG_E_CLASS;
    }
    UniqueHkey classKey;
    if (!CreateKey(clsid.get(), keyName.get(), classKey)) {
        return SELFREG_E_CLASS;
    }
    UniqueLocalString friendlyName;
    if (LoadModuleString(FriendlyNameStringId, friendlyName) != ERROR_SUCCESS ||
        !SetStringValue(classKey.get(), L"", friendlyName.get())) {
        return SELFREG_E_CLASS;
    }
    UniqueHkey inproc;
    if (!CreateKey(classKey.get(), InprocServerKey, inproc)) {
        return SELFREG_E_CLASS;
    }
    wchar_t path[MAX_PATH] = {};
    if (!ReadModulePath(path) || !SetStringValue(inproc.get(), L"", path)) {
        return SELFREG_E_CLASS;
    }
    return SetStringValue(inproc.get(), L"ThreadingModel", L"Both") ? S_OK : SELFREG_E_CLASS;
}

// Opens the class key rather than creating it, so unregistering an unregistered class
// leaves no empty key behind; a class that is not registered answers S_FALSE.
STDAPI DllUnregisterServer() {
    UniqueHkey clsid;
    const LSTATUS opened = OpenClsidRoot(clsid);
    if (opened != ERROR_SUCCESS) {
        return UnregistrationResult(opened);
    }
    UniqueLocalString keyName;
    if (!BuildClassKeyName(keyName)) {
        return SELFREG_E_CLASS;
    }
    {
        UniqueHkey classKey;
        LSTATUS status =
            RegOpenKeyExW(clsid.get(), keyName.get(), 0, KEY_ALL_ACCESS, classKey.put());
        if (status == ERROR_SUCCESS) {
            status = RegDeleteKeyW(classKey.get(), InprocServerKey);
        }
        if (status != ERROR_SUCCESS) {
            return UnregistrationResult(status);
        }
    }
    return UnregistrationResult(RegDeleteKeyW(clsid.get(), keyName.get()));
}
