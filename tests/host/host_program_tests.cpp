#include "display_lease.h"
#include "extension_fixture.h"
#include "process_runner.h"
#include "shipped_module.h"

#include "fragments/dpt_settings.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"
#include "module/string_loader.h"

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

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

std::wstring HostPath() {
    std::wstring path = ShippedModulePath();
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"dot11host.exe";
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
    struct Case {
        const char* name;
        std::wstring arguments;
        DWORD exitCode;
        std::string inOutput; // expected in stdout (exit 0) or stderr
    } cases[] = {
        {"help", L"--help", 0, "usage: dot11host"},
        {"no command", L"", 2, "no command given"},
        {"unknown command", L"frobnicate", 2, "unknown command frobnicate"},
        {"show with an argument", L"show now", 2, "show takes no arguments"},
        {"edit without a vendor section", L"edit", 2, "--vendor FILE or --no-vendor"},
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
    };
    for (const Case& c : cases) {
        const CapturedRun run = RunHost(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.name << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(c.exitCode == 0 ? run.out : run.err, c.inOutput))
            << c.name << "\n"
            << run.out << run.err;
    }
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

// One whole run: a person who types a passphrase that is too short, reads the warning, types
// a good one and presses OK.
TEST_F(HostProgramTest, AScriptedPersonSetsAPassphrase) {
    ASSERT_EQ(0u, RunHost(L"register").exitCode);
    const std::wstring adapterKey = AdapterInstanceKey(AdapterKeyNames[0]);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, adapterKey, L"NetCfgInstanceId",
                             L"{6B29FC40-CA47-1067-B31D-00DD010662DA}"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, adapterKey, L"DPTEnable", L"1"));
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
    const std::optional<std::wstring> dpt = ExtractFragment(section.c_str(), L"DPT");
    ASSERT_TRUE(dpt) << kept;
    ComPtr<IXMLDOMDocument> document = CreateLoadedDocument(dpt->c_str());
    ASSERT_TRUE(document);
    DptSettings settings;
    ReadDptFragment(settings, document.Get());
    EXPECT_EQ(1, settings.usePrivateKey);
    EXPECT_STREQ(L"long enough", settings.passphrase);
    EXPECT_EQ(0u, RunHost(L"unregister").exitCode);
}

} // namespace
