#include "hr_assert.h"
#include "import_hook.h"
#include "registry_fixture.h"
#include "shipped_module.h"

#include "services/string_loader.h"

#include <olectl.h>

#include <algorithm>
#include <string>

namespace {

using ExportFunction = HRESULT(STDAPICALLTYPE*)();

std::wstring ClassIdText() {
    wchar_t text[64] = {};
    LoadResourceString(ShippedModule(), 5667, text, 64);
    return text;
}

std::wstring ClassKeyPath() {
    return L"CLSID\\{" + ClassIdText() + L"}";
}

ExportFunction Export(const char* name) {
    return reinterpret_cast<ExportFunction>(
        reinterpret_cast<void*>(GetProcAddress(ShippedModule(), name)));
}

class RegistrationTest : public RegistryTest {
  protected:
    RegistrationTest() { OwnKey(HKEY_CLASSES_ROOT, ClassKeyPath()); }

    void ExpectRegistered() {
        const std::wstring key = ClassKeyPath();
        const RegValue name = ReadRegValue(HKEY_CLASSES_ROOT, key, L"");
        ASSERT_TRUE(name.found);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), name.type);
        EXPECT_EQ(L"Quilmark Wireless Profile Extension", name.text());
        EXPECT_EQ(name.data.size(), (name.text().size() + 1) * sizeof(wchar_t));

        const RegValue path = ReadRegValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"");
        ASSERT_TRUE(path.found);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), path.type);
        EXPECT_EQ(0, _wcsicmp(ShippedModulePath().c_str(), path.text().c_str()));

        const RegValue model =
            ReadRegValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel");
        ASSERT_TRUE(model.found);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), model.type);
        EXPECT_EQ(10u, model.data.size());
        EXPECT_EQ(L"Both", model.text());
    }
};

TEST_F(RegistrationTest, ClassIdStringIsARegistryFormGuid) {
    const std::wstring text = ClassIdText();
    ASSERT_EQ(36u, text.size());
    CLSID parsed{};
    EXPECT_HR(S_OK, CLSIDFromString((L"{" + text + L"}").c_str(), &parsed));
}

TEST_F(RegistrationTest, ExportsRegisterTwiceAndUnregisterBothKeys) {
    EXPECT_HR(S_OK, Export("DllRegisterServer")());
    ExpectRegistered();
    EXPECT_HR(S_OK, Export("DllRegisterServer")());
    ExpectRegistered();

    EXPECT_HR(S_OK, Export("DllUnregisterServer")());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath() + L"\\InprocServer32"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
}

TEST_F(RegistrationTest, UnregisteringWhatIsNotRegisteredCreatesNoKey) {
    EXPECT_HR(S_FALSE, Export("DllUnregisterServer")());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
}

TEST_F(RegistrationTest, UnregisteringAClassKeyWithoutInprocServerKeepsIt) {
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, ClassKeyPath(), L"", L"left by hand"));
    EXPECT_HR(S_FALSE, Export("DllUnregisterServer")());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
}

// Replacements for the shipped DLL's imports, each refusing what its step needs.
using OpenKeyFunction = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
OpenKeyFunction g_realOpenKey = nullptr;
LSTATUS WINAPI RefuseClsid(HKEY root, LPCWSTR name, DWORD options, REGSAM access, PHKEY key) {
    return root == HKEY_CLASSES_ROOT && _wcsicmp(name, L"CLSID") == 0
               ? ERROR_ACCESS_DENIED
               : g_realOpenKey(root, name, options, access, key);
}
LSTATUS WINAPI RefuseCreateKey(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM,
                               const SECURITY_ATTRIBUTES*, PHKEY, LPDWORD) {
    return ERROR_ACCESS_DENIED;
}
// A path longer than the buffer: filled, cut and terminated, as the platform answers it.
DWORD WINAPI FillPathBuffer(HMODULE, LPWSTR path, DWORD size) {
    std::fill_n(path, size - 1, L'a');
    path[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// A step that fails answers SELFREG_E_CLASS (it answered S_FALSE, which regsvr32 reports as
// success); a refused unregistration leaves the registration whole, and no cut path is written.
TEST_F(RegistrationTest, ARefusedStepFailsTheExport) {
    const struct {
        const wchar_t* importedFrom;
        const char* function;
        void* replacement;
        const char* exportName; // DllUnregisterServer runs on a registered class
        bool leavesInprocServer;
    } steps[] = {
        {L"advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(RefuseClsid),
         "DllRegisterServer", false},
        {L"advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(RefuseClsid),
         "DllUnregisterServer", true},
        {L"advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(RefuseCreateKey),
         "DllRegisterServer", false},
        {L"kernel32.dll", "GetModuleFileNameW", reinterpret_cast<void*>(FillPathBuffer),
         "DllRegisterServer", true},
    };
    const std::wstring inproc = ClassKeyPath() + L"\\InprocServer32";
    for (const auto& step : steps) {
        const bool unregistering = std::string(step.exportName) == "DllUnregisterServer";
        ASSERT_TRUE(DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKeyPath()));
        if (unregistering) {
            ASSERT_HR(S_OK, Export("DllRegisterServer")());
        }
        HRESULT hr = S_OK;
        {
            ImportHook hook(ShippedModule(), step.importedFrom, step.function, step.replacement);
            ASSERT_TRUE(hook.active()) << step.function;
            g_realOpenKey = reinterpret_cast<OpenKeyFunction>(hook.original());
            hr = Export(step.exportName)();
        }
        EXPECT_HR(SELFREG_E_CLASS, hr) << step.function << " " << step.exportName;
        EXPECT_EQ(step.leavesInprocServer, KeyExists(HKEY_CLASSES_ROOT, inproc)) << step.function;
        EXPECT_EQ(unregistering, ReadRegValue(HKEY_CLASSES_ROOT, inproc, L"").found)
            << step.function;
    }
}

TEST_F(RegistrationTest, Regsvr32RegistersAndUnregisters) {
    EXPECT_EQ(0u, RunRegsvr32(L""));
    ExpectRegistered();
    EXPECT_EQ(0u, RunRegsvr32(L"/u"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
}

// The fixture itself: after the test, the parents that owning a key brought into being are gone
// once empty; a parent that was there before stays, even when empty.
class RegistryProbe : public RegistryTest {
  public:
    explicit RegistryProbe(const std::wstring& key) { OwnKey(HKEY_CURRENT_USER, key); }
    void TestBody() override {}
    void Begin() { SetUp(); }
    void End() { TearDown(); }
};

TEST(RegistryFixtureTest, RemovesOnlyTheParentsItsKeysCreated) {
    const std::wstring root = L"Software\\QmkRegistryFixtureProbe";
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, root));
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, root + L"\\Kept", L"Marker", 1));
    ASSERT_EQ(ERROR_SUCCESS,
              RegDeleteKeyValueW(HKEY_CURRENT_USER, (root + L"\\Kept").c_str(), L"Marker"));
    {
        RegistryProbe probe(root + L"\\Kept\\Made\\Leaf");
        probe.Begin();
        ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, root + L"\\Kept\\Made\\Leaf", L"Value", 1));
        probe.End();
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, root + L"\\Kept"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root + L"\\Kept\\Made"));
    EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, root));
}

} // namespace
