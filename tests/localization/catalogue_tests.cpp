#include "localization_fixture.h"
#include "test_resources.h"

#include "localization/dialog_text.h"

#include <atomic>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr LANGID English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID German = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

// Every English string of a module by id, walked here independently of the catalogue.
std::map<int, std::wstring> EnglishStrings(HMODULE module) {
    std::vector<unsigned> blocks;
    EnumResourceNamesW(
        module, RT_STRING,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
            if (IS_INTRESOURCE(name)) {
                reinterpret_cast<std::vector<unsigned>*>(context)->push_back(
                    LOWORD(reinterpret_cast<ULONG_PTR>(name)));
            }
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&blocks));
    std::map<int, std::wstring> strings;
    for (unsigned block : blocks) {
        for (unsigned i = 0; i < StringsPerBlock; ++i) {
            const unsigned id = FirstIdOfBlock(block) + i;
            std::wstring text = ExactString(module, id, English);
            if (!text.empty()) {
                strings[static_cast<int>(id)] = text;
            }
        }
    }
    return strings;
}

using CatalogueTest = LocalizationTest;

TEST_F(CatalogueTest, HoldsAreCountedAndTheLastReleaseEmptiesTheIndex) {
    const size_t englishCount = EnglishStrings(ShippedModule()).size();
    ASSERT_GT(englishCount, 0u);
    EXPECT_EQ(0u, CatalogueSize());

    Acquire();
    Acquire();
    Acquire();
    EXPECT_EQ(3, CatalogueHoldCount());
    EXPECT_EQ(englishCount, CatalogueSize());

    Release();
    Release();
    EXPECT_EQ(1, CatalogueHoldCount());
    EXPECT_EQ(englishCount, CatalogueSize());

    Release();
    EXPECT_EQ(0, CatalogueHoldCount());
    EXPECT_EQ(0u, CatalogueSize());
    int id = -1;
    EXPECT_FALSE(FindStringId(L"Add", id));
    EXPECT_EQ(L"", LookupLocalizedText(L"Add"));

    Acquire();
    EXPECT_EQ(englishCount, CatalogueSize());
    ASSERT_TRUE(FindStringId(L"Add", id));
    EXPECT_EQ(4006, id);
}

TEST_F(CatalogueTest, ReleaseWithoutAHoldIsIgnored) {
    ReleaseCatalogue();
    EXPECT_EQ(0, CatalogueHoldCount());
    Acquire();
    EXPECT_EQ(1, CatalogueHoldCount());
    EXPECT_GT(CatalogueSize(), 0u);
}

TEST_F(CatalogueTest, EveryEnglishStringIsFoundUnderItsId) {
    Acquire();
    for (const auto& [id, text] : EnglishStrings(ShippedModule())) {
        int found = -1;
        EXPECT_TRUE(FindStringId(text, found)) << id;
        EXPECT_EQ(id, found);
    }
}

TEST_F(CatalogueTest, FindsOnlyTheWholeExactText) {
    Acquire();
    int id = -1;
    ASSERT_TRUE(FindStringId(L"Hide characters", id));
    EXPECT_EQ(4135, id);
    for (const wchar_t* text : {L"hide characters", L"HIDE CHARACTERS", L"Hide characters ",
                                L" Hide characters", L"Hide character", L"Hide characters.",
                                L"Hide  characters", L"Hide characters\r\n", L""}) {
        id = -1;
        EXPECT_FALSE(FindStringId(text, id)) << std::wstring(text).size();
        EXPECT_EQ(-1, id) << "the id is left alone when not found";
        EXPECT_EQ(L"", LookupLocalizedText(text));
    }
}

TEST_F(CatalogueTest, ThreadLanguageChoosesTheLoadedText) {
    Acquire();
    struct Case {
        LANGID thread;
        const wchar_t* expected;
    } cases[] = {
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Hinzufügen"},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), L"Hinzufügen"},
        {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN), L"Adicionar"},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), L"追加"},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH_CANADIAN), L"Ajouter"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), L"新增"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"添加"},
        // Chinese without a table of its own reads the one of its script.
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SINGAPORE), L"添加"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_HONGKONG), L"新增"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), L"Add"},
        // No table of this language, nor of its neutral form: English.
        {MAKELANGID(LANG_ICELANDIC, SUBLANG_ICELANDIC_ICELAND), L"Add"},
    };
    for (const Case& c : cases) {
        UseThreadLanguage(c.thread);
        EXPECT_EQ(c.expected, LookupLocalizedText(L"Add")) << std::hex << c.thread;
    }
    // The portuguese table differs from the Brazilian one in other strings.
    UseThreadLanguage(MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE));
    EXPECT_EQ(ExactString(ShippedModule(), 4133, MAKELANGID(LANG_PORTUGUESE, SUBLANG_NEUTRAL)),
              LookupLocalizedText(L"Passphrase:"));
    UseThreadLanguage(MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN));
    EXPECT_EQ(ExactString(ShippedModule(), 4133,
                          MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN)),
              LookupLocalizedText(L"Passphrase:"));
}

TEST_F(CatalogueTest, EnglishOnlyStringsLoadInEveryLanguage) {
    Acquire();
    UseThreadLanguage(German);
    EXPECT_EQ(L"Quilmark Wireless Profile Extension",
              LookupLocalizedText(L"Quilmark Wireless Profile Extension"));
}

// This executable's own table: without a module handle the catalogue reads the main program.
class OwnTableCatalogueTest : public LocalizationTest {
  protected:
    void SetUp() override {
        LocalizationTest::SetUp();
        SetModuleInstance(nullptr);
    }
};

TEST_F(OwnTableCatalogueTest, IndexesEnglishIdsUpTo10000AndRepeatsUnderTheHighestId) {
    Acquire();
    struct Case {
        const wchar_t* text;
        int id; // -1: not indexed
    } cases[] = {
        {L"Repeated text", TestRepeatedHigh},
        {L"Only in English", TestOnlyEnglish},
        {L"Empty in German", TestEmptyInGerman},
        {L"Case Sensitive", TestCaseSensitive},
        {L"Last indexed id", TestLastIndexed},
        {L"Beyond the indexed ids", -1},
        {L"Far beyond the indexed ids", -1},
        {L"Nur auf Deutsch", -1},
        {L"Wiederholter Text", -1},
        {L"case sensitive", -1},
    };
    for (const Case& c : cases) {
        int id = -1;
        EXPECT_EQ(c.id != -1, FindStringId(c.text, id)) << c.id;
        EXPECT_EQ(c.id, id);
    }
    EXPECT_EQ(5u, CatalogueSize());
}

TEST_F(OwnTableCatalogueTest, LoadsFromTheIndexedModuleInTheThreadLanguage) {
    Acquire();
    UseThreadLanguage(German);
    EXPECT_EQ(L"Wiederholter Text", LookupLocalizedText(L"Repeated text"));
    EXPECT_EQ(L"Groß und klein", LookupLocalizedText(L"Case Sensitive"));
    EXPECT_EQ(L"Only in English", LookupLocalizedText(L"Only in English"));
    // Empty in German: the English text is kept.
    std::wstring text = L"Empty in German";
    EXPECT_EQ(L"Empty in German", TranslateText(text.data()));
    UseThreadLanguage(English);
    EXPECT_EQ(L"Repeated text", LookupLocalizedText(L"Repeated text"));
}

TEST_F(CatalogueTest, ConcurrentHoldersShareOneIndex) {
    std::atomic<int> misses{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&misses] {
            for (int i = 0; i < 100; ++i) {
                AcquireCatalogue();
                int id = -1;
                if (!FindStringId(L"Cancel", id) || id != 4138) {
                    ++misses;
                }
                ReleaseCatalogue();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, misses.load());
    EXPECT_EQ(0, CatalogueHoldCount());
    EXPECT_EQ(0u, CatalogueSize());
}

} // namespace
