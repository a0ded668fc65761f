#include "localization_fixture.h"

#include <set>
#include <vector>

namespace {

constexpr LANGID English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The 33 languages the module ships tables for.
const std::vector<LANGID>& ShippedLanguages() {
    static const std::vector<LANGID> languages = [] {
        std::vector<LANGID> tables;
        for (const Language& language : Languages) {
            tables.push_back(language.table);
        }
        return tables;
    }();
    return languages;
}

// Every id the code loads or translates by.
constexpr unsigned RoleIds[] = {4006, 4103, 4130, 4131, 4132, 4133, 4134, 4135, 4136, 4137,
                                4138, 4988, 4989, 5020, 5022, 5024, 5038, 5532, 5548};
constexpr unsigned EnglishOnlyIds[] = {5667, 5668};

TEST(StringTables, ShipExactlyTheThirtyThreeLanguages) {
    std::set<LANGID> found;
    EnumResourceLanguagesW(
        ShippedModule(), RT_STRING, MAKEINTRESOURCEW(StringBlockOfId(4006)),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) -> BOOL {
            reinterpret_cast<std::set<LANGID>*>(context)->insert(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ(std::set<LANGID>(ShippedLanguages().begin(), ShippedLanguages().end()), found);
}

TEST(StringTables, EveryRoleIdHasATextInEveryLanguage) {
    for (LANGID language : ShippedLanguages()) {
        for (unsigned id : RoleIds) {
            EXPECT_FALSE(ExactString(ShippedModule(), id, language).empty())
                << "id " << id << " language " << language;
        }
    }
}

TEST(StringTables, EnglishOnlyIdsAreOnlyInEnglish) {
    for (unsigned id : EnglishOnlyIds) {
        EXPECT_FALSE(ExactString(ShippedModule(), id, English).empty()) << id;
        for (LANGID language : ShippedLanguages()) {
            if (language != English) {
                EXPECT_TRUE(ExactString(ShippedModule(), id, language).empty())
                    << "id " << id << " language " << language;
            }
        }
    }
    EXPECT_EQ(L"AE4BF94C-4D86-4B12-A989-2DE4F5A42586", ExactString(ShippedModule(), 5667, English));
}

TEST(StringTables, TheMakersNameIsTheSameEverywhere) {
    for (LANGID language : ShippedLanguages()) {
        EXPECT_EQ(L"Quilmark", ExactString(ShippedModule(), 5548, language)) << language;
    }
}

// The English texts are the translation keys: two ids with one text would translate
// through the higher id only.
TEST(StringTables, NoTwoEnglishIdsShareAText) {
    std::set<std::wstring> texts;
    size_t strings = 0;
    for (unsigned id = 4000; id < 5680; ++id) {
        std::wstring text = ExactString(ShippedModule(), id, English);
        if (text.empty()) {
            continue;
        }
        ++strings;
        EXPECT_TRUE(texts.insert(text).second) << "id " << id << " repeats a text";
    }
    EXPECT_GE(strings, std::size(RoleIds) + std::size(EnglishOnlyIds));
}

// A translated table holds only ids that English has, so nothing is left without a key.
TEST(StringTables, TranslatedTablesHoldOnlyEnglishIds) {
    for (LANGID language : ShippedLanguages()) {
        for (unsigned id = 4000; id < 5680; ++id) {
            if (!ExactString(ShippedModule(), id, language).empty()) {
                EXPECT_FALSE(ExactString(ShippedModule(), id, English).empty())
                    << "id " << id << " language " << language;
            }
        }
    }
}

} // namespace
