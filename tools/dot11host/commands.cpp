#include "commands.h"

#include "extension_client.h"
#include "scripted_person.h"
#include "text_io.h"

#include <cwchar>
#include <memory>

namespace {

int Fail(int exitCode, const std::wstring& message) {
    PrintError(L"dot11host: " + message);
    return exitCode;
}

std::wstring YesNo(BOOL value) {
    return value ? L"yes" : L"no";
}

// The host's own window, parent of everything the extension shows.
UniqueWindow CreateHostWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"dot11host";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    return UniqueWindow(CreateWindowExW(0, L"dot11host", L"dot11host - wireless profile",
                                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 320, 120, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
}

std::optional<std::wstring> ReadFileOrSay(const std::wstring& path, int& exitCode) {
    std::wstring error;
    std::optional<std::wstring> text = ReadTextFile(path, error);
    if (!text) {
        exitCode = Fail(ExitFailed, L"cannot read " + path + L": " + error);
    }
    return text;
}

void ShowKeyProperty(IDot11ExtUIProperty* property) {
    BOOL flag = FALSE;
    BOOL marked = FALSE;
    LONG option = 0;
    property->QueryPropertyFlag(&flag);
    property->QueryEntryOptions(&marked, &option);
    Print(L"  " + PropertyName(property) + L"   property flag: " + std::to_wstring(flag) +
          L", marked names: " + YesNo(marked) + L", option: " + std::to_wstring(option));
    DWORD count = 0;
    DWORD selected = 0;
    CipherChoice* list = nullptr;
    const HRESULT hr = property->QueryCipherList(FALSE, nullptr, nullptr, &count, &selected, &list);
    if (FAILED(hr) || list == nullptr) {
        Print(L"    ciphers: none (" + HrText(hr) + L")");
        return;
    }
    std::wstring line = L"    ciphers:";
    for (DWORD i = 0; i < count; ++i) {
        line += std::wstring(i == 0 ? L" " : L", ") + (i == selected ? L"*" : L"") +
                (list[i].name != nullptr ? list[i].name : L"?") + L" (" +
                std::to_wstring(list[i].cipher) + L")";
    }
    Print(line + L"   (* selected for a profile without a fragment)");
}

} // namespace

int RegisterCommand(bool unregister) {
    std::wstring error;
    const HRESULT hr =
        CallRegistrationExport(unregister ? "DllUnregisterServer" : "DllRegisterServer", error);
    if (!error.empty()) {
        return Fail(ExitNoDll, error);
    }
    if (hr != S_OK) {
        return Fail(ExitFailed, std::wstring(unregister ? L"unregistration" : L"registration") +
                                    L" failed (" + HrText(hr) +
                                    (unregister ? L"): the DLL was not registered, or "
                                                  L"HKEY_CLASSES_ROOT cannot be written"
                                                : L"): HKEY_CLASSES_ROOT cannot be written"));
    }
    Print(std::wstring(unregister ? L"unregistered " : L"registered ") + ExtensionDllPath());
    return ExitOk;
}

int ShowCommand() {
    RootObject root = CreateRootObject();
    if (!root.root) {
        return Fail(root.exitCode, root.error);
    }
    UniqueBstr name;
    const HRESULT nameResult = root.root->QueryDisplayName(name.put());
    Print(L"extension: " + (SUCCEEDED(nameResult) && name
                                ? std::wstring(name.get())
                                : L"(no name: " + HrText(nameResult) + L")"));
    Print(L"DLL: " + ExtensionDllPath());

    Print(L"connection-settings properties (kind 0):");
    PropertyList connectivity = EnumerateProperties(root.root.Get(), PropertyKindConnectivity);
    for (auto& property : connectivity.properties) {
        BOOL flag = FALSE;
        property->QueryPropertyFlag(&flag);
        Print(L"  " + PropertyName(property.Get()) + L"   property flag: " + std::to_wstring(flag));
    }
    if (FAILED(connectivity.hr)) {
        Print(L"  none (" + HrText(connectivity.hr) + L")");
    }

    Print(L"security properties (kind 2):");
    PropertyList keys = EnumerateProperties(root.root.Get(), PropertyKindSecurity);
    for (auto& property : keys.properties) {
        ShowKeyProperty(property.Get());
    }
    if (keys.hr == E_NOTIMPL) {
        Print(L"  none: the machine policy HKLM\\SOFTWARE\\Quilmark\\802.11 \"EnableCCX\" is "
              L"absent or 0");
    } else if (FAILED(keys.hr)) {
        Print(L"  none (" + HrText(keys.hr) + L")");
    }
    return ExitOk;
}

int EditCommand(const EditOptions& options) {
    int exitCode = ExitOk;
    std::optional<std::wstring> vendorText;
    if (options.vendorFile) {
        vendorText = ReadFileOrSay(*options.vendorFile, exitCode);
        if (!vendorText) {
            return exitCode;
        }
    }
    std::optional<GUID> adapter;
    if (options.adapter) {
        adapter = ParseGuid(*options.adapter);
        if (!adapter) {
            return Fail(ExitUsage, L"not a GUID: " + *options.adapter +
                                       L" (write it as 8-4-4-4-12 hexadecimal digits)");
        }
    }
    std::optional<std::vector<PersonStep>> steps;
    if (options.personScript) {
        const std::optional<std::wstring> script = ReadFileOrSay(*options.personScript, exitCode);
        if (!script) {
            return exitCode;
        }
        std::wstring error;
        steps = ParsePersonScript(*script, error);
        if (!steps) {
            return Fail(ExitUsage, *options.personScript + L": " + error);
        }
    }

    RootObject root = CreateRootObject();
    if (!root.root) {
        return Fail(root.exitCode, root.error);
    }
    PropertyList connectivity = EnumerateProperties(root.root.Get(), PropertyKindConnectivity);
    if (connectivity.properties.empty()) {
        return Fail(ExitFailed, L"the extension offers no connection-settings property (" +
                                    HrText(connectivity.hr) + L")");
    }
    Print(L"vendor section (old):");
    Print(vendorText ? (vendorText->empty() ? L"(empty)" : *vendorText) : L"(none)");

    HostConnectionRecord record{};
    if (adapter) {
        record.interfaceGuid = *adapter;
    }
    UniqueBstr oldText(vendorText ? SysAllocString(vendorText->c_str()) : nullptr);
    UniqueBstr newText;
    BOOL changed = FALSE;
    HRESULT hr = E_FAIL;
    bool personDone = true;
    {
        UniqueWindow host = CreateHostWindow();
        std::unique_ptr<ScriptedPerson> person;
        if (steps) {
            person = std::make_unique<ScriptedPerson>(*steps);
        }
        hr = connectivity.properties[0]->EditSettings(
            host.get(), oldText.get(), adapter ? &record : nullptr, newText.put(), &changed);
        if (person) {
            person->Finished();
            personDone = person->AllStepsDone();
        }
    }
    if (FAILED(hr)) {
        return Fail(ExitFailed, L"EditSettings failed: " + HrText(hr));
    }
    Print(L"changed: " + YesNo(changed));
    if (changed && newText) {
        Print(L"vendor section (new):");
        Print(newText.get());
    } else {
        Print(L"the vendor section is unchanged");
    }
    if (options.outFile) {
        std::wstring error;
        const std::wstring kept =
            changed && newText ? std::wstring(newText.get()) : vendorText.value_or(L"");
        if (!WriteTextFile(*options.outFile, kept, error)) {
            return Fail(ExitFailed, L"cannot write " + *options.outFile + L": " + error);
        }
    }
    return personDone ? ExitOk : Fail(ExitFailed, L"the scripted person could not do every step");
}

namespace {

ComPtr<IDot11ExtUIProperty> FindKeyProperty(IDot11ExtUI* root, const std::wstring& entry,
                                            int& exitCode) {
    const std::wstring wanted = entry == L"cckm" ? L"CCKM" : L"(WPA2)";
    PropertyList keys = EnumerateProperties(root, PropertyKindSecurity);
    for (auto& property : keys.properties) {
        if (PropertyName(property.Get()) == wanted) {
            return property;
        }
    }
    if (keys.hr == E_NOTIMPL) {
        exitCode = Fail(ExitFailed, L"the machine policy offers no key properties: set "
                                    L"HKLM\\SOFTWARE\\Quilmark\\802.11 \"EnableCCX\" to 1 "
                                    L"(examples/policy-ccx-enabled.reg)");
    } else {
        exitCode = Fail(ExitFailed, L"the machine policy does not offer the " + entry +
                                        L" entry (\"V4Only\" set?)");
    }
    return {};
}

void PrintFragmentResult(BOOL changed, BSTR fragment) {
    Print(L"changed: " + YesNo(changed));
    if (fragment != nullptr) {
        Print(L"fragment (new):");
        Print(fragment);
    } else {
        Print(L"no new fragment");
    }
}

std::optional<DWORD> CipherNamed(IDot11ExtUIProperty* property, const wchar_t* fragment,
                                 const std::wstring& name) {
    DWORD count = 0;
    CipherChoice* list = nullptr;
    if (FAILED(property->QueryCipherList(FALSE, fragment, nullptr, &count, nullptr, &list)) ||
        list == nullptr) {
        return std::nullopt;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (list[i].name != nullptr && _wcsicmp(list[i].name, name.c_str()) == 0) {
            return list[i].cipher;
        }
    }
    // Also a number, for a cipher the list does not name.
    wchar_t* end = nullptr;
    const unsigned long number = wcstoul(name.c_str(), &end, 10);
    if (!name.empty() && end != nullptr && *end == L'\0') {
        return static_cast<DWORD>(number);
    }
    return std::nullopt;
}

} // namespace

int KeyCommand(const KeyOptions& options) {
    int exitCode = ExitOk;
    std::optional<std::wstring> fragment;
    if (options.fragmentFile) {
        fragment = ReadFileOrSay(*options.fragmentFile, exitCode);
        if (!fragment) {
            return exitCode;
        }
    }
    RootObject root = CreateRootObject();
    if (!root.root) {
        return Fail(root.exitCode, root.error);
    }
    ComPtr<IDot11ExtUIProperty> property =
        FindKeyProperty(root.root.Get(), options.entry, exitCode);
    if (!property) {
        return exitCode;
    }
    const wchar_t* text = fragment ? fragment->c_str() : nullptr;
    Print(L"property: " + PropertyName(property.Get()));
    if (options.action == L"match") {
        BOOL matches = FALSE;
        const HRESULT hr = property->MatchesProfile(text, nullptr, &matches);
        if (FAILED(hr)) {
            return Fail(ExitFailed, L"MatchesProfile failed: " + HrText(hr));
        }
        Print(L"matches: " + YesNo(matches));
        return ExitOk;
    }
    if (options.action == L"apply") {
        BOOL changed = FALSE;
        UniqueBstr newFragment;
        const HRESULT hr = property->ApplyToProfile(text, nullptr, newFragment.put(), &changed);
        if (FAILED(hr)) {
            return Fail(ExitFailed, L"ApplyToProfile failed: " + HrText(hr));
        }
        PrintFragmentResult(changed, newFragment.get());
        return ExitOk;
    }
    if (options.action == L"ciphers") {
        ShowKeyProperty(property.Get());
        DWORD selected = 0;
        CipherChoice* list = nullptr;
        DWORD count = 0;
        const HRESULT hr =
            property->QueryCipherList(FALSE, text, nullptr, &count, &selected, &list);
        if (FAILED(hr) || list == nullptr) {
            return Fail(ExitFailed, L"QueryCipherList failed: " + HrText(hr));
        }
        Print(L"selected for this fragment: " + std::wstring(selected < count && list[selected].name
                                                                 ? list[selected].name
                                                                 : L"(none)"));
        return ExitOk;
    }
    // cipher NAME
    const std::optional<DWORD> cipher = CipherNamed(property.Get(), text, options.cipherName);
    if (!cipher) {
        return Fail(ExitUsage, L"no cipher named \"" + options.cipherName +
                                   L"\" in this property's list (see the ciphers action)");
    }
    CipherChoice chosen{*cipher, 0, nullptr};
    BOOL changed = FALSE;
    UniqueBstr newFragment;
    const HRESULT hr =
        property->ApplyCipher(FALSE, text, nullptr, &chosen, newFragment.put(), &changed);
    if (FAILED(hr)) {
        return Fail(ExitFailed, L"ApplyCipher failed: " + HrText(hr));
    }
    PrintFragmentResult(changed, newFragment.get());
    return ExitOk;
}
