#include "commands.h"

#include "adapter_keys.h"
#include "extension_client.h"
#include "inf_install.h"
#include "profile_reader.h"
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

// The file name without its folder and extension: the profile's name unless one is given.
std::wstring FileStem(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/:");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// The record the host passes with every property call; none without an adapter.
std::optional<DOT11EXT_IHV_PARAMS> HostParams(const std::optional<GUID>& adapter,
                                              const std::optional<std::wstring>& profileName,
                                              const std::optional<std::wstring>& file,
                                              int& exitCode) {
    if (!adapter) {
        return std::nullopt;
    }
    const std::wstring name = profileName.value_or(file ? FileStem(*file) : L"dot11host");
    DOT11EXT_IHV_PARAMS params;
    if (!FillHostParams(*adapter, name, params)) {
        exitCode =
            Fail(ExitUsage, L"the profile name is longer than " +
                                std::to_wstring(MS_MAX_PROFILE_NAME_LENGTH - 1) + L" characters");
        return std::nullopt;
    }
    Print(L"connection record: adapter " + GuidText(*adapter) + L", user profile \"" + name +
          L"\", infrastructure network");
    return params;
}

constexpr wchar_t MatchingDeviceIdValue[] = L"MatchingDeviceId";

// Where the driver store is on Windows and where Wine puts it instead.
constexpr wchar_t DirId13Note[] =
    L"note: Windows resolves DIRID 13 to the package's folder in the driver store "
    L"(C:\\Windows\\System32\\DriverStore\\FileRepository\\qmkihvui.inf_amd64_<hash>); Wine 8's "
    L"setupapi does not know DIRID 13 and resolves it to system32\\unknown, for the copy and "
    L"for %13% in the AddReg values alike";

constexpr wchar_t WindowsRemovalNote[] =
    L"note: Windows runs no INF section at removal: deleting the driver package (pnputil "
    L"/delete-driver oemNN.inf /uninstall) deletes its driver-store copy, and uninstalling the "
    L"device deletes the device's keys, the HKR values with them; the HKCR class keys stay "
    L"(harmless: nothing names the class once the adapter's value is gone)";

std::optional<std::wstring> RegText(HKEY root, const std::wstring& subkey, const wchar_t* value,
                                    DWORD& type) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(root, subkey.c_str(), value,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, text,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(text);
}

// The hardware id Plug and Play matched the adapter by: its driver key's MatchingDeviceId;
// for a key without one (a stand-in), --hardware-id, else the INF's first id (empty here).
bool ChooseHardwareId(const std::optional<AdapterKey>& adapter,
                      const std::optional<std::wstring>& option, std::wstring& id,
                      std::wstring& error) {
    DWORD type = 0;
    const std::optional<std::wstring> matched =
        adapter ? RegText(adapter->key.get(), L"", MatchingDeviceIdValue, type) : std::nullopt;
    if (matched && option && _wcsicmp(matched->c_str(), option->c_str()) != 0) {
        error = L"the adapter's driver key " + adapter->Path() + L" has MatchingDeviceId " +
                *matched + L", not --hardware-id " + *option;
        return false;
    }
    id = matched.value_or(option.value_or(L""));
    return true;
}

std::optional<InfPlan> ReadPlanOrSay(const InstallOptions& options,
                                     const std::optional<AdapterKey>& adapter, int& exitCode) {
    std::wstring id;
    std::wstring error;
    std::optional<InfPlan> plan;
    if (ChooseHardwareId(adapter, options.hardwareId, id, error)) {
        plan = ReadInstallPlan(options.infPath, id, error);
    }
    if (!plan) {
        exitCode = Fail(ExitFailed, error);
        return std::nullopt;
    }
    Print(L"models entry: hardware id " + plan->hardwareId + L" -> [" + plan->section + L"] of " +
          plan->infPath);
    return plan;
}

// What the host will find for the adapter now; a missing link fails the install.
int ReportInstalled(const InfPlan& plan, const AdapterKey& adapter) {
    const std::optional<std::wstring> classId = UiExtensionClassText(adapter.key.get());
    if (!classId || _wcsicmp(classId->c_str(), plan.classId.c_str()) != 0) {
        return Fail(ExitFailed, std::wstring(L"the INF wrote no ") + UiExtensionClassValue + L" " +
                                    plan.classId + L" under HKR\\" + IhvExtensionsKeyName);
    }
    Print(std::wstring(L"  HKR\\") + IhvExtensionsKeyName + L" " + UiExtensionClassValue + L" = " +
          *classId);
    if (GetFileAttributesW(plan.serverPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Fail(ExitFailed, L"the section copied no " + plan.serverPath);
    }
    Print(L"  copied to where %13% resolves: " + plan.serverPath);
    const std::wstring serverKey = L"CLSID\\" + plan.classId + L"\\InprocServer32";
    DWORD type = 0;
    const std::optional<std::wstring> server = RegText(HKEY_CLASSES_ROOT, serverKey, nullptr, type);
    if (!server || type != REG_EXPAND_SZ ||
        _wcsicmp(server->c_str(), plan.serverPath.c_str()) != 0) {
        return Fail(ExitFailed, L"HKCR\\" + serverKey + L" does not name " + plan.serverPath +
                                    L" as REG_EXPAND_SZ");
    }
    const std::optional<std::wstring> model =
        RegText(HKEY_CLASSES_ROOT, serverKey, L"ThreadingModel", type);
    Print(L"  HKCR\\" + serverKey + L" = " + *server + L" (REG_EXPAND_SZ), ThreadingModel " +
          model.value_or(L"(none)"));
    return ExitOk;
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

int InstallCommand(const InstallOptions& options) {
    std::optional<AdapterKey> adapter = FindAdapterKey(options.adapter, KEY_ALL_ACCESS);
    int exitCode = ExitOk;
    // Everything is read and checked before anything is written.
    const std::optional<InfPlan> plan = ReadPlanOrSay(options, adapter, exitCode);
    if (!plan) {
        return exitCode;
    }
    if (!adapter) {
        std::wstring error;
        adapter = CreateStandInAdapterKey(options.adapter, error);
        const std::wstring& id = plan->hardwareId;
        if (adapter && RegSetValueExW(adapter->key.get(), MatchingDeviceIdValue, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(id.c_str()),
                                      static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))) !=
                           ERROR_SUCCESS) {
            DeleteAdapterKey(*adapter);
            adapter.reset();
            error = L"cannot write the stand-in's MatchingDeviceId";
        }
        if (!adapter) {
            return Fail(ExitFailed, error);
        }
        Print(L"no adapter " + GuidText(options.adapter) +
              L" is installed: made a stand-in matched by " + id);
    }
    Print(L"adapter key (HKR): " + adapter->Path() + (adapter->standIn ? L" (stand-in)" : L""));
    if (const std::wstring error = RunInstallPlan(*plan, adapter->key.get()); !error.empty()) {
        if (adapter->standIn && !UiExtensionClassText(adapter->key.get())) {
            adapter->key.reset();
            DeleteAdapterKey(*adapter);
        }
        return Fail(ExitFailed, error);
    }
    Print(L"ran [" + plan->section + L"], files from " + plan->packageFolder);
    Print(DirId13Note);
    return ReportInstalled(*plan, *adapter);
}

int UninstallCommand(const InstallOptions& options) {
    std::optional<AdapterKey> adapter = FindAdapterKey(options.adapter, KEY_ALL_ACCESS);
    if (!adapter) {
        return Fail(ExitFailed, L"no network adapter " + GuidText(options.adapter) +
                                    L" under HKLM\\" + NetworkClassKeyPath +
                                    L": nothing to uninstall");
    }
    int exitCode = ExitOk;
    const std::optional<InfPlan> plan = ReadPlanOrSay(options, adapter, exitCode);
    if (!plan) {
        return exitCode;
    }
    Print(L"adapter key (HKR): " + adapter->Path() + (adapter->standIn ? L" (stand-in)" : L""));
    std::vector<std::wstring> removed;
    const std::wstring error = UndoInstallPlan(*plan, adapter->key.get(), removed);
    for (const std::wstring& thing : removed) {
        Print(L"  removed " + thing);
    }
    if (!error.empty()) {
        return Fail(ExitFailed, error);
    }
    if (adapter->standIn) {
        adapter->key.reset();
        if (!DeleteAdapterKey(*adapter)) {
            return Fail(ExitFailed, L"cannot remove the stand-in adapter key " + adapter->Path());
        }
        Print(L"removed the stand-in adapter key " + adapter->Path());
    }
    Print(WindowsRemovalNote);
    return ExitOk;
}

int ShowCommand(const std::optional<GUID>& adapter) {
    RootObject root = CreateRootObject(adapter);
    if (!root.root) {
        return Fail(root.exitCode, root.error);
    }
    UniqueBstr name;
    const HRESULT nameResult = root.root->QueryDisplayName(name.put());
    Print(L"extension: " + (SUCCEEDED(nameResult) && name
                                ? std::wstring(name.get())
                                : L"(no name: " + HrText(nameResult) + L")"));

    Print(L"connection-settings properties (kind 0):");
    PropertyList connectivity = Enumerate(root.root.Get(), DOT11_EXT_UI_CONNECTION);
    for (auto& property : connectivity.objects) {
        BOOL flag = FALSE;
        property->QueryPropertyFlag(&flag);
        Print(L"  " + PropertyName(property.Get()) + L"   property flag: " + std::to_wstring(flag));
    }
    if (FAILED(connectivity.hr)) {
        Print(L"  none (" + HrText(connectivity.hr) + L")");
    }

    Print(L"security properties (kind 2):");
    PropertyList keys = Enumerate(root.root.Get(), DOT11_EXT_UI_KEYEXTENSION);
    for (auto& property : keys.objects) {
        ShowKeyProperty(property.Get());
    }
    if (keys.hr == E_NOTIMPL) {
        Print(L"  none: the machine policy HKLM\\" + std::wstring(PolicyKeyPath) +
              L" \"EnableCCX\" is absent or 0");
    } else if (FAILED(keys.hr)) {
        Print(L"  none (" + HrText(keys.hr) + L")");
    }
    return ExitOk;
}

namespace {

// What the host passes for a wireless profile: its IHV text and the record filled from it.
// `problem` names a fault of the profile that still leaves the host something to pass.
struct ProfileInput {
    std::optional<std::wstring> vendorText;
    std::unique_ptr<ProfileRecord> record;
    std::wstring problem;
};

std::optional<ProfileInput> ReadProfileOrSay(const std::wstring& path, const GUID& adapter,
                                             int& exitCode) {
    const std::optional<std::wstring> text = ReadFileOrSay(path, exitCode);
    if (!text) {
        return std::nullopt;
    }
    const ProfileReading reading = ReadWirelessProfile(*text);
    if (!reading.profile) {
        exitCode = Fail(ExitFailed, path + L": " + reading.error);
        return std::nullopt;
    }
    ProfileInput input;
    input.vendorText = reading.profile->vendorText;
    input.record = std::make_unique<ProfileRecord>(*reading.profile, adapter);
    input.problem = reading.error;
    Print(L"profile: " + reading.profile->name);
    Print(L"connection record:");
    for (const std::wstring& line : DescribeRecord(*input.record->get())) {
        Print(L"  " + line);
    }
    if (!reading.profile->securityNote.empty()) {
        Print(L"  (" + reading.profile->securityNote + L")");
    }
    return input;
}

} // namespace

int EditCommand(const EditOptions& options) {
    int exitCode = ExitOk;
    std::optional<std::wstring> vendorText;
    std::optional<DOT11EXT_IHV_PARAMS> params;
    std::optional<ProfileInput> profile;
    DOT11EXT_IHV_PARAMS* connection = nullptr;
    if (options.profileFile) {
        profile =
            ReadProfileOrSay(*options.profileFile, options.adapter.value_or(GUID{}), exitCode);
        if (!profile) {
            return exitCode;
        }
        vendorText = profile->vendorText;
        connection = profile->record->get();
    } else {
        if (options.vendorFile) {
            vendorText = ReadFileOrSay(*options.vendorFile, exitCode);
            if (!vendorText) {
                return exitCode;
            }
        }
        params = HostParams(options.adapter, options.profileName, options.vendorFile, exitCode);
        if (options.adapter && !params) {
            return exitCode;
        }
        connection = params ? &*params : nullptr;
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

    RootObject root = CreateRootObject(options.adapter);
    if (!root.root) {
        return Fail(root.exitCode, root.error);
    }
    PropertyList connectivity = Enumerate(root.root.Get(), DOT11_EXT_UI_CONNECTION);
    if (connectivity.objects.empty()) {
        return Fail(ExitFailed, L"the extension offers no connection-settings property (" +
                                    HrText(connectivity.hr) + L")");
    }
    Print(L"vendor section (old):");
    Print(vendorText ? (vendorText->empty() ? L"(empty)" : *vendorText) : L"(none)");

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
        hr = connectivity.objects[0]->EditSettings(host.get(), oldText.get(), connection,
                                                   newText.put(), &changed);
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
    if (!personDone) {
        return Fail(ExitFailed, L"the scripted person could not do every step");
    }
    if (profile && !profile->problem.empty()) {
        return Fail(ExitFailed, *options.profileFile + L": " + profile->problem +
                                    L" (passed as it stands, as the host would)");
    }
    return ExitOk;
}

namespace {

ComPtr<IDot11ExtUIProperty> FindKeyProperty(IDot11ExtUI* root, const std::wstring& entry,
                                            int& exitCode) {
    const std::wstring wanted = entry == L"cckm" ? L"CCKM" : L"(WPA2)";
    PropertyList keys = Enumerate(root, DOT11_EXT_UI_KEYEXTENSION);
    for (auto& property : keys.objects) {
        if (PropertyName(property.Get()) == wanted) {
            return property;
        }
    }
    if (keys.hr == E_NOTIMPL) {
        exitCode = Fail(ExitFailed, L"the machine policy offers no key properties: set "
                                    L"HKLM\\" +
                                        std::wstring(PolicyKeyPath) +
                                        L" \"EnableCCX\" to 1 "
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

std::optional<DWORD> CipherNamed(IDot11ExtUIProperty* property, BSTR fragment,
                                 DOT11EXT_IHV_PARAMS* connection, const std::wstring& name) {
    DWORD count = 0;
    CipherChoice* list = nullptr;
    if (FAILED(property->QueryCipherList(FALSE, fragment, connection, &count, nullptr, &list)) ||
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
    std::optional<DOT11EXT_IHV_PARAMS> params =
        HostParams(options.adapter, options.profileName, options.fragmentFile, exitCode);
    if (options.adapter && !params) {
        return exitCode;
    }
    DOT11EXT_IHV_PARAMS* connection = params ? &*params : nullptr;
    RootObject root = CreateRootObject(options.adapter);
    if (!root.root) {
        return Fail(root.exitCode, root.error);
    }
    ComPtr<IDot11ExtUIProperty> property =
        FindKeyProperty(root.root.Get(), options.entry, exitCode);
    if (!property) {
        return exitCode;
    }
    // The host's own copy of the fragment, as it passes profile texts.
    UniqueBstr owned(fragment ? SysAllocString(fragment->c_str()) : nullptr);
    BSTR text = owned.get();
    Print(L"property: " + PropertyName(property.Get()));
    if (options.action == L"match") {
        BOOL matches = FALSE;
        const HRESULT hr = property->MatchesProfile(text, connection, &matches);
        if (FAILED(hr)) {
            return Fail(ExitFailed, L"MatchesProfile failed: " + HrText(hr));
        }
        Print(L"matches: " + YesNo(matches));
        return ExitOk;
    }
    if (options.action == L"apply") {
        BOOL changed = FALSE;
        UniqueBstr newFragment;
        const HRESULT hr = property->ApplyToProfile(text, connection, newFragment.put(), &changed);
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
            property->QueryCipherList(FALSE, text, connection, &count, &selected, &list);
        if (FAILED(hr) || list == nullptr) {
            return Fail(ExitFailed, L"QueryCipherList failed: " + HrText(hr));
        }
        Print(L"selected for this fragment: " + std::wstring(selected < count && list[selected].name
                                                                 ? list[selected].name
                                                                 : L"(none)"));
        return ExitOk;
    }
    // cipher NAME
    const std::optional<DWORD> cipher =
        CipherNamed(property.Get(), text, connection, options.cipherName);
    if (!cipher) {
        return Fail(ExitUsage, L"no cipher named \"" + options.cipherName +
                                   L"\" in this property's list (see the ciphers action)");
    }
    CipherChoice chosen{static_cast<DOT11_CIPHER_ALGORITHM>(*cipher), 0, nullptr};
    BOOL changed = FALSE;
    UniqueBstr newFragment;
    const HRESULT hr =
        property->ApplyCipher(FALSE, text, connection, &chosen, newFragment.put(), &changed);
    if (FAILED(hr)) {
        return Fail(ExitFailed, L"ApplyCipher failed: " + HrText(hr));
    }
    PrintFragmentResult(changed, newFragment.get());
    return ExitOk;
}
