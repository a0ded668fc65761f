#include "extension_client.h"

#include "adapter_keys.h"
#include "text_io.h"

#include <cwchar>

namespace {

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length != 0 && length < MAX_PATH ? std::wstring(full) : path;
}

bool SamePath(const std::wstring& left, const std::wstring& right) {
    return _wcsicmp(FullPath(left).c_str(), FullPath(right).c_str()) == 0;
}

std::wstring InprocServerOf(HKEY clsid, const wchar_t* classKey) {
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    const std::wstring subkey = std::wstring(classKey) + L"\\InprocServer32";
    if (RegGetValueW(clsid, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) !=
        ERROR_SUCCESS) {
        return L"";
    }
    return path;
}

} // namespace

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring ExtensionDllPath() {
    return ProgramFolder() + L"qmkihvui.dll";
}

std::wstring ExtensionInfPath() {
    return ProgramFolder() + L"qmkihvui.inf";
}

HRESULT CallRegistrationExport(const char* exportName, std::wstring& error) {
    UniqueLibrary library(LoadLibraryW(ExtensionDllPath().c_str()));
    if (!library) {
        error = L"cannot load " + ExtensionDllPath() + L": " + SystemMessage(GetLastError());
        return E_FAIL;
    }
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto function = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), exportName)));
    if (function == nullptr) {
        error =
            L"the DLL has no export " + std::wstring(exportName, exportName + strlen(exportName));
        return E_FAIL;
    }
    return function();
}

std::optional<CLSID> RegisteredClassOfDll() {
    UniqueHkey clsid;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, clsid.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring dll = ExtensionDllPath();
    wchar_t name[256] = {};
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(clsid.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        const std::wstring server = InprocServerOf(clsid.get(), name);
        if (!server.empty() && SamePath(server, dll)) {
            if (std::optional<GUID> guid = ParseGuid(name)) {
                return guid;
            }
        }
    }
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::optional<GUID> ParseGuid(const std::wstring& text) {
    std::wstring braced = text;
    if (!braced.empty() && braced.front() != L'{') {
        braced = L"{" + braced + L"}";
    }
    if (braced.size() != 38) {
        return std::nullopt;
    }
    GUID guid{};
    if (CLSIDFromString(braced.c_str(), &guid) != S_OK) {
        return std::nullopt;
    }
    return guid;
}

namespace {

// The file of the module COM loaded for the object: the one its method table lies in, so
// that the path does not rest on what the registry says.
std::wstring LoadedModulePath(IUnknown* object) {
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(*reinterpret_cast<void**>(object)), &module) ||
        GetModuleFileNameW(module, path, MAX_PATH) == 0) {
        return L"(unknown: " + SystemMessage(GetLastError()) + L")";
    }
    return path;
}

RootObject NotInstalled(const std::wstring& error) {
    RootObject result;
    result.error = error;
    result.exitCode = ExitNoDll;
    return result;
}

// The class the host would use for the adapter, or why there is none.
std::optional<CLSID> AdapterUiClass(const GUID& adapter, std::wstring& error) {
    const std::wstring guid = GuidText(adapter);
    const std::wstring install = L"run `dot11host install --adapter " + guid + L"`";
    std::optional<AdapterKey> key = FindAdapterKey(adapter, KEY_READ);
    if (!key) {
        error = L"no network adapter " + guid + L" under HKLM\\" + NetworkClassKeyPath +
                L" (no instance key with that NetCfgInstanceId): install its driver, or " +
                install + L" to make a stand-in";
        return std::nullopt;
    }
    const std::optional<std::wstring> text = UiExtensionClassText(key->key.get());
    if (!text) {
        error = L"adapter " + guid + L" has no UI extension: " + key->Path() + L"\\" +
                IhvExtensionsKeyName + L" has no " + UiExtensionClassValue + L"; " + install +
                L" (the INF's DDInstall section writes it)";
        return std::nullopt;
    }
    const std::optional<GUID> classId = ParseGuid(*text);
    if (!classId) {
        error = std::wstring(L"adapter ") + guid + L": " + UiExtensionClassValue + L" \"" + *text +
                L"\" is not a class id; " + install;
        return std::nullopt;
    }
    Print(L"lookup: adapter " + guid + L" -> " + key->Path() + L" -> " + UiExtensionClassValue +
          L" " + GuidText(*classId));
    return classId;
}

std::optional<CLSID> ClassOfDllBeside(std::wstring& error) {
    if (GetFileAttributesW(ExtensionDllPath().c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"the extension DLL is missing: " + ExtensionDllPath();
        return std::nullopt;
    }
    const std::optional<CLSID> classId = RegisteredClassOfDll();
    if (!classId) {
        error = L"qmkihvui.dll is not registered. Install it for an adapter with `dot11host "
                L"install --adapter GUID` and pass --adapter, or register the DLL alone with "
                L"`dot11host register` (or `regsvr32 qmkihvui.dll`).";
        return std::nullopt;
    }
    Print(L"lookup: no --adapter, so the class registered for " + ExtensionDllPath() +
          L" (the host itself goes through the adapter's " + UiExtensionClassValue + L")");
    return classId;
}

} // namespace

RootObject CreateRootObject(const std::optional<GUID>& adapter) {
    std::wstring error;
    const std::optional<CLSID> classId =
        adapter ? AdapterUiClass(*adapter, error) : ClassOfDllBeside(error);
    if (!classId) {
        return NotInstalled(error);
    }
    RootObject result;
    const HRESULT hr = CoCreateInstance(*classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDot11ExtUI,
                                        reinterpret_cast<void**>(result.root.GetAddressOf()));
    if (hr == REGDB_E_CLASSNOTREG) {
        return NotInstalled(L"class " + GuidText(*classId) + L" is not registered with COM: " +
                            (adapter ? L"run `dot11host install --adapter " + GuidText(*adapter) +
                                           L"` (the INF's AddReg lines register it)"
                                     : std::wstring(L"run `dot11host register`")));
    }
    if (FAILED(hr)) {
        result.error = L"the extension object cannot be created (" + HrText(hr) + L" " +
                       SystemMessage(static_cast<unsigned long>(hr)) + L")";
        result.exitCode = ExitFailed;
        return result;
    }
    Print(L"module: " + LoadedModulePath(result.root.Get()));
    return result;
}

bool FillHostParams(const GUID& adapter, const std::wstring& profileName,
                    DOT11EXT_IHV_PARAMS& params) {
    params = {};
    if (profileName.size() >= MS_MAX_PROFILE_NAME_LENGTH) {
        return false;
    }
    params.dot11ExtIhvProfileParams.pSsidList = nullptr;
    params.dot11ExtIhvProfileParams.BssType = dot11_BSS_type_infrastructure;
    params.dot11ExtIhvProfileParams.pMSSecuritySettings = nullptr;
    wcsncpy(params.wstrProfileName, profileName.c_str(), MS_MAX_PROFILE_NAME_LENGTH - 1);
    params.dwProfileTypeFlags = MS_PROFILE_USER;
    params.interfaceGuid = adapter;
    return true;
}
