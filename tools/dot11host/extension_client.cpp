#include "extension_client.h"

#include "text_io.h"

#include <cwchar>

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

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

std::wstring ExtensionDllPath() {
    return ProgramFolder() + L"qmkihvui.dll";
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

RootObject CreateRootObject() {
    RootObject result;
    if (GetFileAttributesW(ExtensionDllPath().c_str()) == INVALID_FILE_ATTRIBUTES) {
        result.error = L"the extension DLL is missing: " + ExtensionDllPath();
        result.exitCode = ExitNoDll;
        return result;
    }
    const std::optional<CLSID> classId = RegisteredClassOfDll();
    if (!classId) {
        result.error = L"qmkihvui.dll is not registered. Register it with `dot11host register` "
                       L"(or `regsvr32 qmkihvui.dll`) and try again.";
        result.exitCode = ExitNoDll;
        return result;
    }
    const HRESULT hr = CoCreateInstance(*classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDot11ExtUI,
                                        reinterpret_cast<void**>(result.root.GetAddressOf()));
    if (FAILED(hr)) {
        result.error = L"the extension object cannot be created (" + HrText(hr) + L" " +
                       SystemMessage(static_cast<unsigned long>(hr)) + L")";
        result.exitCode = hr == REGDB_E_CLASSNOTREG ? ExitNoDll : ExitFailed;
    }
    return result;
}

PropertyList EnumerateProperties(IDot11ExtUI* root, DWORD kind) {
    PropertyList list;
    DWORD count = 0;
    IDot11ExtUIProperty** array = nullptr;
    list.hr = root->EnumerateProperties(kind, &count, &array);
    if (FAILED(list.hr) || array == nullptr) {
        return list;
    }
    UniqueCoTaskMem<IDot11ExtUIProperty*> owned(array);
    for (DWORD i = 0; i < count; ++i) {
        list.properties.push_back(Adopt(array[i]));
    }
    return list;
}

std::wstring PropertyName(IDot11ExtUIProperty* property) {
    UniqueBstr name;
    const HRESULT hr = property->QueryPropertyName(name.put());
    if (FAILED(hr) || !name) {
        return L"(no name: " + HrText(hr) + L")";
    }
    return name.get();
}
