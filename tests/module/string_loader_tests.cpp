#include "hr_assert.h"
#include "import_hook.h"
#include "registry_fixture.h"

#include "module/registration.h"
#include "services/class_id.h"
#include "services/module_state.h"
#include "services/string_loader.h"
#include "test_strings.h"

#include <olectl.h>

#include <string>

namespace {

// This executable carries its own string table (test_strings.rc), so the loader is tried on
// texts the shipped DLL must not contain.
class StringLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = ModuleInstance();
        SetModuleInstance(GetModuleHandleW(nullptr));
        SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    }
    void TearDown() override { SetModuleInstance(previous_); }

  private:
    HINSTANCE previous_ = nullptr;
};

TEST_F(StringLoaderTest, LoadsTextsAroundTheFirstCapacityWhole) {
    struct Case {
        UINT id;
        size_t length;
    } cases[] = {
        {TestString254, 254}, {TestString255, 255}, {TestString256, 256}, {TestString600, 600}};
    for (const Case& c : cases) {
        UniqueLocalString text;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LoadModuleString(c.id, text)) << c.id;
        EXPECT_EQ(c.length, wcslen(text.get())) << c.id;
        EXPECT_EQ(std::wstring(text.get()).substr(0, 10), std::wstring(L"0123456789")) << c.id;
        const size_t bufferUnits = LocalSize(text.get()) / sizeof(wchar_t);
        EXPECT_GT(bufferUnits, c.length) << c.id;
    }
}

TEST_F(StringLoaderTest, AbsentAndEmptyStringsAreNotFound) {
    UniqueLocalString text;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_FOUND), LoadModuleString(TestStringAbsent, text));
    EXPECT_FALSE(text);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_FOUND), LoadModuleString(TestStringEmpty, text));
}

HLOCAL WINAPI FailingLocalAlloc(UINT, SIZE_T) {
    SetLastError(ERROR_SUCCESS);
    return nullptr;
}

// An allocation that fails without leaving an error code is still reported as a failure.
TEST_F(StringLoaderTest, AFailedAllocationIsNeverASuccess) {
    UniqueLocalString text;
    DWORD error = ERROR_SUCCESS;
    {
        ImportHook hook(L"kernel32.dll", "LocalAlloc", reinterpret_cast<void*>(FailingLocalAlloc));
        ASSERT_TRUE(hook.active());
        error = LoadModuleString(TestString254, text);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), error);
    EXPECT_FALSE(text);
}

TEST_F(StringLoaderTest, CutsToTheBufferLikeLoadStringW) {
    wchar_t buffer[8];
    EXPECT_EQ(7, LoadResourceString(GetModuleHandleW(nullptr), TestString254, buffer, 8));
    EXPECT_STREQ(L"0123456", buffer);
    EXPECT_EQ(0, LoadResourceString(GetModuleHandleW(nullptr), TestStringAbsent, buffer, 8));
    EXPECT_STREQ(L"", buffer);
}

TEST_F(StringLoaderTest, ChoosesTheThreadLanguageThenItsNearestTableThenEnglish) {
    struct Case {
        LANGID thread;
        const wchar_t* expected;
    } cases[] = {
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Deutsch"},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), L"Deutsch"},
        {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN), L"Brasil"},
        {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE), L"Portugal"},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), L"English"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), L"繁體"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_HONGKONG), L"繁體"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_MACAU), L"繁體"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"简体"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SINGAPORE), L"简体"},
    };
    for (const Case& c : cases) {
        SetThreadLocale(MAKELCID(c.thread, SORT_DEFAULT));
        wchar_t buffer[32];
        LoadResourceString(GetModuleHandleW(nullptr), TestStringLanguage, buffer, 32);
        EXPECT_STREQ(c.expected, buffer) << std::hex << c.thread;
    }
    // A string stored only in English is found from any language.
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
    wchar_t buffer[32];
    EXPECT_EQ(11, LoadResourceString(GetModuleHandleW(nullptr), TestStringEnglishOnly, buffer, 32));
}

TEST_F(StringLoaderTest, ClassKeyNameIsBracedStringOfTheClassId) {
    UniqueLocalString name;
    ASSERT_TRUE(BuildClassKeyName(name));
    EXPECT_STREQ(L"{00000000-1111-2222-3333-444444444444}", name.get());
}

// This executable's table has a class id but no friendly name: registration creates the
// class key, then fails with SELFREG_E_CLASS and leaves the key as it is.
TEST_F(StringLoaderTest, RegistrationWithoutFriendlyNameFailsAfterCreatingTheClassKey) {
    const std::wstring key = L"CLSID\\{00000000-1111-2222-3333-444444444444}";
    ASSERT_TRUE(DeleteKeyTree(HKEY_CLASSES_ROOT, key));
    EXPECT_HR(SELFREG_E_CLASS, DllRegisterServer());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\InprocServer32"));
    EXPECT_FALSE(ReadRegValue(HKEY_CLASSES_ROOT, key, L"").found);
    EXPECT_TRUE(DeleteKeyTree(HKEY_CLASSES_ROOT, key));
}

} // namespace
