#include "display_lease.h"
#include "extension_fixture.h"
#include "hostkit/process_runner.h"
#include "shipped_module.h"

#include "fragments/dpt_settings.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"
#include "services/string_loader.h"

#include <setupapi.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t TestAdapter[] = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary);
    file << bytes;
}

std::wstring BinFolder() {
    std::wstring path = ShippedModulePath();
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring HostPath() {
    return BinFolder() + L"dot11host.exe";
}

std::wstring ShippedInf() {
    return BinFolder() + L"qmkihvui.inf";
}

// Where the INF's CopyFiles to DIRID 13 puts the DLL under Wine 8, whose setupapi does not
// know the driver store; Windows uses the package's folder in the driver store.
std::wstring InstalledDll() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\unknown\\qmkihvui.dll";
}

std::wstring ClassIdInBraces() {
    wchar_t text[64] = {};
    LoadResourceString(ShippedModule(), 5667, text, 64);
    return L"{" + std::wstring(text) + L"}";
}

// The instance keys under the adapter class key whose NetCfgInstanceId is the test adapter.
std::vector<std::wstring> TestAdapterKeys() {
    std::vector<std::wstring> keys;
    const std::wstring classKey = AdapterInstanceKey(L""); // ends in a backslash
    UniqueHkey parent;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.substr(0, classKey.size() - 1).c_str(), 0, KEY_READ,
                  parent.put());
    wchar_t name[256] = {};
    for (DWORD i = 0; parent && RegEnumKeyW(parent.get(), i, name, 256) == ERROR_SUCCESS; ++i) {
        if (ReadRegValue(HKEY_LOCAL_MACHINE, classKey + name, L"NetCfgInstanceId").text() ==
            TestAdapter) {
            keys.push_back(classKey + name);
        }
    }
    return keys;
}

// dot11host as a child process, its output captured in files.
CapturedRun RunHost(const std::wstring& arguments) {
    return RunCapturingOutput(L"\"" + HostPath() + L"\" " + arguments);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

// The project's version as DriverVer writes it, in four parts.
std::string FourPartVersion() {
    std::string version = QMK_PROJECT_VERSION;
    while (std::count(version.begin(), version.end(), '.') < 3) {
        version += ".0";
    }
    return version;
}

// What a failed run may have left.
void RemoveInstallation() {
    DeleteFileW(InstalledDll().c_str());
    DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + ClassIdInBraces());
    for (const std::wstring& key : TestAdapterKeys()) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    }
}

class HostProgramTest : public ExtensionRegistryTest {
  protected:
    void SetUp() override {
        ExtensionRegistryTest::SetUp();
        UseShippedModuleResources();
    }
    void TearDown() override {
        for (const std::wstring& path : files_) {
            DeleteFileW(path.c_str());
        }
        RemoveInstallation();
        ExtensionRegistryTest::TearDown();
    }
    // A file of the test's own in the temporary folder, deleted when the test ends.
    std::wstring File(const std::wstring& name, const std::string& content) {
        const std::wstring path = TempFolder() + name;
        WriteAll(path, content);
        files_.push_back(path);
        return path;
    }
    std::wstring OutputFile(const std::wstring& name) {
        const std::wstring path = TempFolder() + name;
        DeleteFileW(path.c_str());
        files_.push_back(path);
        return path;
    }

  private:
    std::vector<std::wstring> files_;
};

TEST_F(HostProgramTest, HelpAndCommandLineMistakes) {
    const std::wstring adapter = std::wstring(L" --adapter ") + TestAdapter;
    const std::wstring garbage = File(L"dot11host-garbage.inf", "not an INF\n[Version\n");
    int profiles = 0;
    auto profile = [this, &profiles](const std::string& text) {
        const std::wstring name = L"dot11host-profile-" + std::to_wstring(++profiles) + L".xml";
        return L"edit --profile \"" + File(name, text) + L"\"";
    };
    const std::string head = "<WLANProfile xmlns=\"http://www.microsoft.com/networking/WLAN/"
                             "profile/v1\"><name>P</name>";
    const std::string ssid = "<SSIDConfig><SSID><name>N</name></SSID></SSIDConfig>"
                             "<connectionType>ESS</connectionType>";
    struct Case {
        const char* name;
        std::wstring arguments;
        DWORD exitCode;
        std::string inOutput; // expected in stdout (exit 0) or stderr
    } cases[] = {
        {"help", L"--help", 0, "usage: dot11host"},
        {"no command", L"", 2, "no command given"},
        {"unknown command", L"frobnicate", 2, "unknown command frobnicate"},
        {"show with a word", L"show now", 2, "show takes no word now"},
        {"edit without a vendor section", L"edit", 2, "--vendor FILE or --no-vendor"},
        {"edit with a profile and no vendor", L"edit --profile p.xml --no-vendor", 2,
         "one of --profile FILE, --vendor FILE or --no-vendor"},
        {"edit with a profile and its name", L"edit --profile p.xml --profile-name q", 2,
         "--profile-name does not go with --profile"},
        {"an unreadable profile", L"edit --profile Z:\\no\\such.xml", 1,
         "cannot read Z:\\no\\such.xml"},
        // Refused before the extension is looked for: it is not registered here.
        {"a profile that is no XML", profile("WLANProfile"), 1,
         "not a wireless profile: the file is not well-formed XML"},
        {"a profile of another namespace", profile("<WLANProfile xmlns=\"urn:x\"/>"), 1,
         "not a wireless profile: the root is not WLANProfile"},
        {"a profile without an SSID",
         profile(head + "<connectionType>ESS</connectionType>"
                        "</WLANProfile>"),
         1, "the profile has no SSID"},
        {"an SSID of 33 bytes",
         profile(head + "<SSIDConfig><SSID><name>" + std::string(33, 'a') +
                 "</name></SSID>"
                 "</SSIDConfig><connectionType>ESS</connectionType></WLANProfile>"),
         1, "SSID 1 has neither a hex"},
        {"a profile of another connection type",
         profile(head + "<SSIDConfig><SSID><hex>4E</hex></SSID></SSIDConfig>"
                        "<connectionType>mesh</connectionType></WLANProfile>"),
         1, "connectionType is \"mesh\""},
        {"an IHV element that is not well-formed",
         profile(head + ssid + "<IHV><connectivity><CCX></connectivity></IHV></WLANProfile>"), 1,
         "the IHV element is not well-formed XML"},
        {"edit with an unknown option", L"edit --no-vendor --colour", 2, "unknown option --colour"},
        {"edit with a bad GUID", L"edit --no-vendor --adapter 1234-not-a-guid", 2,
         "not a GUID: 1234-not-a-guid"},
        {"edit with both persons", L"edit --no-vendor --user x --interactive", 2,
         "exclude each other"},
        {"an option without its value", L"edit --vendor", 2, "--vendor needs a value"},
        {"an unreadable vendor file", L"edit --vendor Z:\\no\\such\\file.xml", 1,
         "cannot read Z:\\no\\such\\file.xml"},
        {"key without an entry", L"key match", 2, "--entry cckm or --entry wpa2"},
        {"key with an unknown action", L"key --entry cckm frob", 2, "one action"},
        {"key cipher without a name", L"key --entry wpa2 cipher", 2, "one action"},
        {"install without an adapter", L"install", 2, "install needs --adapter GUID"},
        {"uninstall with a bad GUID", L"uninstall --adapter nope", 2, "not a GUID: nope"},
        {"install from a missing INF", L"install" + adapter + L" --inf Z:\\no\\such.inf", 1,
         "the INF is missing: Z:\\no\\such.inf"},
        {"install from a malformed INF", L"install" + adapter + L" --inf \"" + garbage + L"\"", 1,
         "not a readable INF"},
        {"uninstall of an unknown adapter", L"uninstall" + adapter, 1, "nothing to uninstall"},
        {"show for an unknown adapter", L"show" + adapter, 3, "no network adapter"},
        {"edit for an unknown adapter", L"edit --no-vendor" + adapter, 3, "no network adapter"},
    };
    for (const Case& c : cases) {
        const CapturedRun run = RunHost(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(c.exitCode == 0 ? run.out : run.err, c.inOutput))
            << c.name << "\n"
            << run.out << run.err;
    }
    // Refused before anything was written.
    EXPECT_TRUE(TestAdapterKeys().empty());
}

TEST_F(HostProgramTest, DiscoveryByAdapterNamesTheMissingLink) {
    const std::wstring key = AdapterInstanceKey(AdapterKeyNames[0]);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, L"NetCfgInstanceId", TestAdapter));
    struct Case {
        const char* name;
        std::optional<std::wstring> classId; // none: no UIExtensibilityCLSID
        std::string inError;
    } cases[] = {
        {"no class id", std::nullopt, "has no UI extension"},
        {"not a class id", L"qmkihvui", "is not a class id"},
        {"a class nobody registered", L"{00112233-4455-6677-8899-AABBCCDDEEFF}",
         "is not registered with COM: run `dot11host install --adapter"},
    };
    for (const Case& c : cases) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key + L"\\Ndi");
        if (c.classId) {
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key + L"\\" + IhvExtensionsKeyName,
                                     UiExtensionClassValue, *c.classId));
        }
        const CapturedRun run = RunHost(std::wstring(L"show --adapter ") + TestAdapter);
        EXPECT_EQ(3u, run.exitCode) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, c.inError)) << c.name << "\n" << run.err;
    }
}

TEST_F(HostProgramTest, TheInfCarriesTheDllsClassIdAndTheProjectVersion) {
    UINT errorLine = 0;
    HINF inf = SetupOpenInfFileW(ShippedInf().c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    ASSERT_NE(INVALID_HANDLE_VALUE, inf) << "line " << errorLine;
    auto field = [inf](const wchar_t* section, const wchar_t* key, DWORD index) {
        INFCONTEXT line{};
        wchar_t text[256] = {};
        if (SetupFindFirstLineW(inf, section, key, &line)) {
            SetupGetStringFieldW(&line, index, text, 256, nullptr);
        }
        return Utf8(text);
    };
    EXPECT_EQ(FourPartVersion(), field(L"Version", L"DriverVer", 2));
    EXPECT_EQ("UIExtensibilityCLSID", field(L"QmkIhvUi_AddReg", nullptr, 3));
    EXPECT_EQ(Utf8(ClassIdInBraces()), field(L"QmkIhvUi_AddReg", nullptr, 5));
    wchar_t name[256] = {};
    LoadResourceString(ShippedModule(), 5668, name, 256);
    EXPECT_EQ(Utf8(name), field(L"Strings", L"FriendlyName", 1));
    SetupCloseInfFile(inf);
}

TEST_F(HostProgramTest, AScriptThatCannotBeReadAsStepsIsRefused) {
    const std::wstring script = File(L"dot11host-bad-script.txt", "check use-private\nwave\n");
    const CapturedRun run = RunHost(L"edit --no-vendor --user \"" + script + L"\"");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_TRUE(Contains(run.err, "line 2: unknown step: wave")) << run.err;
}

TEST_F(HostProgramTest, AnUnregisteredDllIsNamedWithTheWayToRegisterIt) {
    for (const wchar_t* arguments : {L"show", L"edit --no-vendor", L"key --entry cckm match"}) {
        const CapturedRun run = RunHost(arguments);
        EXPECT_EQ(3u, run.exitCode) << Utf8(arguments);
        EXPECT_TRUE(Contains(run.err, "not registered")) << run.err;
        EXPECT_TRUE(Contains(run.err, "dot11host register")) << run.err;
    }
}

TEST_F(HostProgramTest, RegisterShowAndUnregister) {
    CapturedRun run = RunHost(L"register");
    ASSERT_EQ(0u, run.exitCode) << run.err;
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"EnableCCX", 1));
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"V4Only", 1));
    run = RunHost(L"show");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    wchar_t name[256] = {};
    LoadResourceString(ShippedModule(), 5532, name, 256);
    EXPECT_TRUE(Contains(run.out, "extension: " + Utf8(name))) << run.out;
    EXPECT_TRUE(Contains(run.out, "CCX Connectivity Settings (Sample)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "ciphers: WEP (5), TKIP (2), *AES (4)")) << run.out;
    // V4Only: the WPA2 entry is not offered.
    EXPECT_FALSE(Contains(run.out, "(WPA2)")) << run.out;
    run = RunHost(L"key --entry wpa2 match");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_TRUE(Contains(run.err, "does not offer the wpa2 entry")) << run.err;

    run = RunHost(L"unregister");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    run = RunHost(L"unregister");
    EXPECT_EQ(1u, run.exitCode);
}

TEST_F(HostProgramTest, KeyPropertiesOnAFragmentFile) {
    ASSERT_EQ(0u, RunHost(L"register").exitCode);
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"EnableCCX", 1));
    // UTF-16 with a byte-order mark, as the host may store it.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<CCX xmlns=\"any\"><authenticatingNetwork><wpa2><encryption>TKIP"
                              "</encryption></wpa2></authenticatingNetwork></CCX>")) {
        utf16 += c;
        utf16 += '\0';
    }
    const std::wstring fragment = File(L"dot11host-fragment.xml", utf16);
    CapturedRun run = RunHost(L"key --entry wpa2 --fragment \"" + fragment + L"\" match");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_TRUE(Contains(run.out, "matches: yes")) << run.out;
    run = RunHost(L"key --entry wpa2 --fragment \"" + fragment + L"\" cipher \"AES (MFP)\"");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_TRUE(Contains(run.out, "changed: yes")) << run.out;
    EXPECT_TRUE(Contains(run.out, "<encryption>AES</encryption>")) << run.out;
    run = RunHost(L"key --entry wpa2 --fragment \"" + fragment + L"\" cipher CCMP");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_TRUE(Contains(run.err, "no cipher named \"CCMP\"")) << run.err;
    EXPECT_EQ(0u, RunHost(L"unregister").exitCode);
}

// The file's text as the host decodes it: UTF-16 after its byte-order mark, or UTF-8.
std::string DecodedText(const std::wstring& path) {
    const std::string bytes = ReadAll(path);
    if (bytes.rfind("\xFF\xFE", 0) != 0) {
        return bytes;
    }
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf8(text);
}

// Every kind of example profile through the host program, with nobody at the display but
// a person who reads the notice: the vendor text passed is the IHV element as it stands in
// the file, the record holds what the profile says, and the extension answers as it does
// for that text.
TEST_F(HostProgramTest, ProfilesReachTheExtensionAsTheHostPassesThem) {
    ASSERT_EQ(0u, RunHost(L"register").exitCode);
    const std::wstring person = File(L"dot11host-reader.txt", "# reads the notice\n");
    const std::wstring examples = QMK_EXAMPLE_PROFILES;
    // A sound profile whose IHV text alone is not: the host passes it as it stands.
    const std::wstring cut =
        File(L"dot11host-cut.xml",
             "<WLANProfile xmlns=\"http://www.microsoft.com/networking/WLAN/profile/v1\"><name>Cut"
             "</name><SSIDConfig><SSID><name>Cut</name></SSID></SSIDConfig><connectionType>ESS"
             "</connectionType><IHV><!-- was </IHV> --><connectivity/></IHV></WLANProfile>");
    // MSM security by the names current profiles carry, several of them without an
    // enumerator in the MinGW header.
    auto secured = [this](const std::wstring& name, const std::string& auth,
                          const std::string& cipher) {
        return File(L"dot11host-" + name + L".xml",
                    "<WLANProfile xmlns=\"http://www.microsoft.com/networking/WLAN/profile/v1\">"
                    "<name>S</name><SSIDConfig><SSID><name>S</name></SSID></SSIDConfig>"
                    "<connectionType>ESS</connectionType><MSM><security><authEncryption>"
                    "<authentication>" +
                        auth + "</authentication><encryption>" + cipher +
                        "</encryption><useOneX>false</useOneX></authEncryption></security></MSM>"
                        "</WLANProfile>");
    };
    struct Case {
        std::wstring path;
        std::vector<std::string> inOutput; // record fields and what the extension answered
        std::string inError;               // none: exit code 0
    } cases[] = {
        {examples + L"home-wpa2-personal.xml",
         {"wstrProfileName: Home WPA2\n", "dwProfileTypeFlags: 2\n", "SSID 1: 486F6D654E6574\n",
          "BssType: 1\n", "MS security: auth 7, cipher 4, 802.1X 0\n", "changed: no"},
         ""},
        // No IHV element: a null vendor text, which the extension answers with its defaults.
        {examples + L"cafe-open.xml",
         {"SSID 1: 43616665204775657374\n", "MS security: auth 1, cipher 0, 802.1X 0\n",
          "changed: yes", "<Hex>446961676E6F73746963204368616E6E656C</Hex>"},
         ""},
        {examples + L"workshop-adhoc-ibss.xml",
         {"SSID 1: 576F726B73686F70\n", "BssType: 2\n", "auth 7, cipher 4", "changed: no"},
         ""},
        {examples + L"office-wpa2-enterprise-utf16.xml",
         {"wstrProfileName: B\xC3\xBCro Enterprise\n", "SSID 1: 42C3BC726F\n",
          "MS security: auth 6, cipher 4, 802.1X 1\n", "changed: no"},
         ""},
        {examples + L"warehouse-ccx-reset.xml",
         {"SSID 1: 57482D5363616E\n", "SSID 2: 57482D5363616E2D3547\n", "auth 4, cipher 2",
          "changed: yes", "<MaxOffChannelTimeMs>50</MaxOffChannelTimeMs>", "<Period>0</Period>"},
         ""},
        {cut,
         {"interfaceGuid: {00000000-0000-0000-0000-000000000000}\n", "changed: no"},
         "the IHV element is not well-formed XML on its own"},
        {secured(L"sae", "WPA3SAE", "AES"), {"MS security: auth 9, cipher 4, 802.1X 0\n"}, ""},
        {secured(L"ent192", "WPA3ENT192", "GCMP256"), {"auth 8, cipher 9"}, ""},
        {secured(L"wpa3", "WPA3", "GCMP256"), {"auth 8, cipher 9"}, ""},
        {secured(L"ent", "WPA3ENT", "GCMP"), {"auth 11, cipher 8"}, ""},
        {secured(L"owe", "OWE", "AES"), {"auth 10, cipher 4"}, ""},
        {secured(L"unknown", "WPA4", "AES"), {"MS security: none\n", "no DOT11 enumerator"}, ""},
    };
    DisplayLease display;
    for (const Case& c : cases) {
        const std::wstring out = OutputFile(L"dot11host-kept.xml");
        const CapturedRun run = RunHost(L"edit --profile \"" + c.path + L"\" --user \"" + person +
                                        L"\" --out \"" + out + L"\"");
        const std::string name = Utf8(c.path);
        EXPECT_EQ(c.inError.empty() ? 0u : 1u, run.exitCode) << name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, c.inError)) << name << "\n" << run.err;
        const std::string text = DecodedText(c.path);
        const size_t start = text.find("<IHV>");
        const std::string passed = start == std::string::npos
                                       ? "(none)"
                                       : text.substr(start, text.find("</IHV>", start) + 6 - start);
        EXPECT_TRUE(Contains(run.out, "vendor section (old):\n" + passed + "\n")) << name << "\n"
                                                                                  << run.out;
        for (const std::string& part : c.inOutput) {
            EXPECT_TRUE(Contains(run.out, part)) << name << ": " << part << "\n" << run.out;
        }
        // The section the host keeps: the new one, or its own.
        if (Contains(run.out, "changed: no")) {
            EXPECT_EQ(passed + "\n", ReadAll(out)) << name;
        }
    }
    EXPECT_EQ(0u, RunHost(L"unregister").exitCode);
}

// Installs with the INF for the test adapter (a stand-in key), checks what the host needs,
// removes again and checks that all is gone; answers what was wrong.
std::vector<std::string> InstallAndRemoveProblems(const std::wstring& inf) {
    std::vector<std::string> problems;
    auto expect = [&problems](bool holds, const std::string& problem) {
        if (!holds) {
            problems.push_back(problem);
        }
    };
    const std::wstring options =
        std::wstring(L" --adapter ") + TestAdapter + L" --inf \"" + inf + L"\"";
    const std::wstring server = L"CLSID\\" + ClassIdInBraces() + L"\\InprocServer32";
    CapturedRun run = RunHost(L"install" + options);
    expect(run.exitCode == 0, "install: " + run.err);
    // What holds on Windows too: the DLL is where %13% resolved, and the class names it.
    expect(ReadAll(InstalledDll()) == ReadAll(ShippedModulePath()),
           "the package's DLL is not where %13% resolves");
    const RegValue path = ReadRegValue(HKEY_CLASSES_ROOT, server, nullptr);
    expect(path.type == REG_EXPAND_SZ && _wcsicmp(path.text().c_str(), InstalledDll().c_str()) == 0,
           "InprocServer32 does not name the copied DLL as REG_EXPAND_SZ");
    expect(ReadRegValue(HKEY_CLASSES_ROOT, server, L"ThreadingModel").text() == L"Both",
           "no ThreadingModel Both");
    const std::vector<std::wstring> adapters = TestAdapterKeys();
    expect(adapters.size() == 1 &&
               ReadRegValue(HKEY_LOCAL_MACHINE, adapters[0] + L"\\Ndi\\IHVExtensions",
                            L"UIExtensibilityCLSID")
                       .text() == ClassIdInBraces(),
           "no UIExtensibilityCLSID with the DLL's class id under one adapter key");
    for (const wchar_t* command : {L"show", L"key --entry cckm ciphers"}) {
        run = RunHost(std::wstring(command) + L" --adapter " + TestAdapter);
        expect(Contains(run.out, "module: " + Utf8(InstalledDll()) + "\n"),
               Utf8(command) + ": the host does not load the copied DLL: " + run.out + run.err);
    }

    run = RunHost(L"uninstall" + options);
    expect(run.exitCode == 0, "uninstall: " + run.err);
    expect(GetFileAttributesW(InstalledDll().c_str()) == INVALID_FILE_ATTRIBUTES,
           "the copied DLL stays");
    expect(!KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + ClassIdInBraces()), "the class stays");
    expect(TestAdapterKeys().empty(), "the stand-in adapter key stays");
    return problems;
}

TEST_F(HostProgramTest, TheInfInstallsWhatTheHostFindsAndRemovesItAgain) {
    EXPECT_EQ(std::vector<std::string>{}, InstallAndRemoveProblems(ShippedInf()));
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// A package (the DLL and a changed INF) that install refuses: one line, exit code 1, and
// nothing written, since it checks everything first.
TEST_F(HostProgramTest, AFaultyPackageIsRefusedBeforeAnythingIsWritten) {
    const std::wstring package = TempFolder() + L"dot11host-package\\";
    CreateDirectoryW(package.c_str(), nullptr);
    const std::wstring dll = package + L"qmkihvui.dll";
    ASSERT_TRUE(CopyFileW(ShippedModulePath().c_str(), dll.c_str(), FALSE));
    std::wstring otherClass = ClassIdInBraces();
    otherClass[1] = otherClass[1] == L'0' ? L'1' : L'0';
    const std::string version = FourPartVersion();
    struct Case {
        const char* name;
        std::string from;
        std::string to;
        std::wstring options;
        std::string inError;
    } cases[] = {
        {"no models entry for the id", "", "", L" --hardware-id PCI\\VEN_1234&DEV_5678",
         "no models entry for hardware id PCI\\VEN_1234&DEV_5678"},
        {"no DDInstall section", "[QmkIhvUi_Install.NTamd64]", "[QmkIhvUi_Setup.NTamd64]", L"",
         "no DDInstall section [QmkIhvUi_Install.NTamd64]"},
        {"another class id", Utf8(ClassIdInBraces()), Utf8(otherClass), L"",
         "is not the DLL's class"},
        // A doubled quote reads as one under Wine too; a doubled percent sign in a [Strings]
        // value, which the documentation reads as one, Wine 8 keeps as two.
        {"another friendly name", "FriendlyName = \"", "FriendlyName = \"\"\"New\"\" ", L"",
         "\"\"New\" Quilmark Wireless Profile Extension\" is not the DLL's"},
        {"another version", "," + version, ",9.9.9.9", L"",
         "DriverVer 9.9.9.9 is not the project's version " + version},
        {"a directive beyond CopyFiles and AddReg", "AddReg    = QmkIhvUi_AddReg",
         "AddReg = QmkIhvUi_AddReg\r\nRegisterDlls = QmkIhvUi_Files", L"", "has RegisterDlls"},
        {"a root beyond HKR and HKCR", "[QmkIhvUi_AddReg]\r\n",
         "[QmkIhvUi_AddReg]\r\nHKLM, SOFTWARE\\Quilmark, Installed, 0, \"1\"\r\n", L"",
         "writes under HKLM"},
    };
    const std::wstring inf = package + L"qmkihvui.inf";
    for (const Case& c : cases) {
        std::string text = ReadAll(ShippedInf());
        ASSERT_TRUE(c.from.empty() || Contains(text, c.from)) << c.name;
        if (!c.from.empty()) {
            ReplaceAll(text, c.from, c.to);
        }
        WriteAll(inf, text);
        const CapturedRun run = RunHost(std::wstring(L"install --adapter ") + TestAdapter +
                                        L" --inf \"" + inf + L"\"" + c.options);
        EXPECT_EQ(1u, run.exitCode) << c.name << "\n" << run.out << run.err;
        EXPECT_EQ(0u, run.err.rfind("dot11host: ", 0)) << c.name << "\n" << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << c.name << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, c.inError)) << c.name << "\n" << run.err;
        EXPECT_TRUE(TestAdapterKeys().empty()) << c.name;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + ClassIdInBraces())) << c.name;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(InstalledDll().c_str())) << c.name;
    }
    DeleteFileW(inf.c_str());
    DeleteFileW(dll.c_str());
    RemoveDirectoryW(package.c_str());
}

// One whole run: a person who types a passphrase that is too short, reads the warning, types
// a good one and presses OK.
// The extension installed for an adapter the machine has, and found through it.
TEST_F(HostProgramTest, AScriptedPersonSetsAPassphrase) {
    const std::wstring adapterKey = AdapterInstanceKey(AdapterKeyNames[0]);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, adapterKey, L"NetCfgInstanceId", TestAdapter));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, adapterKey, L"DPTEnable", L"1"));
    const std::wstring adapter = std::wstring(L" --adapter ") + TestAdapter;
    const CapturedRun install = RunHost(L"install" + adapter);
    ASSERT_EQ(0u, install.exitCode) << install.err;
    EXPECT_TRUE(Contains(install.out, Utf8(AdapterKeyNames[0]))) << install.out;
    const std::wstring vendor =
        File(L"dot11host-vendor.xml",
             "<CCX xmlns=\"any\"><RadioMeasurement><disabled/></RadioMeasurement></CCX>\n");
    const std::wstring script = File(L"dot11host-person.txt", "check use-private\n"
                                                              "type passphrase short\n"
                                                              "type confirm short\n"
                                                              "ok\n"
                                                              "type passphrase long enough\n"
                                                              "type confirm long enough\n"
                                                              "ok\n");
    const std::wstring out = OutputFile(L"dot11host-new.xml");
    // The dialogs of parallel tests would take the focus from each other.
    CapturedRun run;
    {
        DisplayLease display;
        run = RunHost(L"edit --vendor \"" + vendor + L"\" --adapter " +
                      L"6b29fc40-ca47-1067-b31d-00dd010662da --user \"" + script + L"\" --out \"" +
                      out + L"\"");
    }

    EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
    wchar_t warning[1024] = {};
    LoadResourceString(ShippedModule(), 5022, warning, 1024);
    EXPECT_TRUE(Contains(run.out, "warning: [WLAN Connection Settings] " + Utf8(warning)))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "changed: yes")) << run.out;

    // The section the host keeps holds the passphrase, protected.
    ComApartment apartment;
    const std::string kept = ReadAll(out);
    const std::wstring section(kept.begin(), kept.end());
    ASSERT_NE(std::wstring::npos, section.find(L"</DPT>")) << kept;
    DptSettings settings;
    ASSERT_HR(S_OK, ReadDptFragment(settings, section.c_str()));
    EXPECT_EQ(1, settings.usePrivateKey);
    EXPECT_STREQ(L"long enough", settings.passphrase);
    EXPECT_EQ(0u, RunHost(L"uninstall" + adapter).exitCode);
    // The adapter's own key stays; only the extension's value goes.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, adapterKey));
    EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, adapterKey + L"\\Ndi\\IHVExtensions",
                              L"UIExtensibilityCLSID")
                     .found);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(InstalledDll().c_str()));
}

} // namespace
