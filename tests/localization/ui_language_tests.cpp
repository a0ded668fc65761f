#include "import_hook.h"
#include "localization_fixture.h"

#include "localization/ui_language.h"

#include <cstdlib>
#include <thread>

// The import slot through which this executable (and the module library linked into it)
// calls SetThreadLocale.
extern "C" BOOL(WINAPI* __imp_SetThreadLocale)(LCID);

namespace {

// Counts the calls to SetThreadLocale while alive, passing them on.
class SetThreadLocaleCounter {
  public:
    SetThreadLocaleCounter() {
        real_ = __imp_SetThreadLocale;
        Patch(&Counting);
    }
    SetThreadLocaleCounter(const SetThreadLocaleCounter&) = delete;
    SetThreadLocaleCounter& operator=(const SetThreadLocaleCounter&) = delete;
    ~SetThreadLocaleCounter() { Patch(real_); }
    int calls() const { return calls_; }

  private:
    static BOOL WINAPI Counting(LCID locale) {
        ++calls_;
        return real_(locale);
    }
    static void Patch(BOOL(WINAPI* target)(LCID)) {
        WriteImportSlot(reinterpret_cast<void**>(&__imp_SetThreadLocale),
                        reinterpret_cast<void*>(target));
    }
    static inline BOOL(WINAPI* real_)(LCID) = nullptr;
    static inline int calls_ = 0;

  public:
    static void ResetCount() { calls_ = 0; }
};

// A language that is surely not the user's UI language.
LANGID OtherThanUiLanguage() {
    const LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    return GetUserDefaultUILanguage() == german ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)
                                                : german;
}

using UiLanguageTest = LocalizationTest;

TEST_F(UiLanguageTest, SetsTheThreadLocaleToTheUiLanguage) {
    UseThreadLanguage(OtherThanUiLanguage());
    SelectUiLanguage();
    EXPECT_EQ(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), GetThreadLocale());
}

TEST_F(UiLanguageTest, CallsSetThreadLocaleOnlyWhenTheLanguageDiffers) {
    SetThreadLocaleCounter counter;
    UseThreadLanguage(GetUserDefaultUILanguage());
    SetThreadLocaleCounter::ResetCount();
    SelectUiLanguage();
    EXPECT_EQ(0, counter.calls());

    UseThreadLanguage(OtherThanUiLanguage());
    SetThreadLocaleCounter::ResetCount();
    SelectUiLanguage();
    EXPECT_EQ(1, counter.calls());
    EXPECT_EQ(GetUserDefaultUILanguage(), LANGIDFROMLCID(GetThreadLocale()));
}

TEST_F(UiLanguageTest, ChangesOnlyTheCallingThread) {
    UseThreadLanguage(OtherThanUiLanguage());
    const LCID before = GetThreadLocale();
    LCID worker = 0;
    std::thread([&worker] {
        SetThreadLocale(MAKELCID(OtherThanUiLanguage(), SORT_DEFAULT));
        SelectUiLanguage();
        worker = GetThreadLocale();
    }).join();
    EXPECT_EQ(GetUserDefaultUILanguage(), LANGIDFROMLCID(worker));
    EXPECT_EQ(before, GetThreadLocale());
}

// Runs only as the CTest case that launches Wine in a German locale
// (QMK_EXPECTED_UI_LANGUAGE=0407): from the launch locale to a German dialog text.
TEST_F(UiLanguageTest, LaunchedInGermanTheTextsAreGerman) {
    const char* expected = std::getenv("QMK_EXPECTED_UI_LANGUAGE");
    if (expected == nullptr) {
        GTEST_SKIP() << "runs under the German launch locale only";
    }
    ASSERT_EQ(0x0407ul, std::strtoul(expected, nullptr, 16));
    EXPECT_EQ(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), GetUserDefaultUILanguage());
    UseThreadLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    SelectUiLanguage();
    EXPECT_EQ(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), LANGIDFROMLCID(GetThreadLocale()));
    Acquire();
    EXPECT_EQ(L"Zeichen ausblenden", LookupLocalizedText(L"Hide characters"));
}

} // namespace
