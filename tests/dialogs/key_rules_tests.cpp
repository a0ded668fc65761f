#include "dialogs/key_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Repeat(wchar_t c, std::size_t count) {
    return std::wstring(count, c);
}

const std::wstring HexKey = L"0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123";

TEST(JudgeKey, AppliesTheMismatchEmptyAndLengthRulesInThatOrder) {
    struct Case {
        const char* name;
        std::wstring key;
        std::wstring confirmation;
        unsigned expected;
    } cases[] = {
        {"empty", L"", L"", KeyMissingMessage},
        {"1 character", L"a", L"a", KeyRuleMessage},
        {"7 characters", Repeat(L'x', 7), Repeat(L'x', 7), KeyRuleMessage},
        {"8 characters", Repeat(L'x', 8), Repeat(L'x', 8), KeyValid},
        {"8 characters of any kind", L"\u00e4 %&\u65e5*?\t", L"\u00e4 %&\u65e5*?\t", KeyValid},
        {"63 characters", Repeat(L'z', 63), Repeat(L'z', 63), KeyValid},
        {"64 hexadecimal digits", HexKey, HexKey, KeyValid},
        {"64 with a g", HexKey.substr(0, 63) + L"g", HexKey.substr(0, 63) + L"g", KeyRuleMessage},
        {"64 with a space", L" " + HexKey.substr(1), L" " + HexKey.substr(1), KeyRuleMessage},
        {"70 judged by 64 hex digits", HexKey + L"zzzzzz", HexKey + L"qqqqqq", KeyValid},
        {"70 judged by 64 non-hex", Repeat(L'z', 70), Repeat(L'z', 70), KeyRuleMessage},
        {"confirmation in other case", L"Secret-Passphrase", L"sECRET-pASSPHRASE", KeyValid},
        {"hex digits in other case", HexKey, L"0123456789ABCDEFabcdef" + HexKey.substr(22),
         KeyValid},
        {"mismatch of valid keys", L"passphrase1", L"passphrase2", KeyMismatchMessage},
        {"mismatch before the empty rule", L"", L"x", KeyMismatchMessage},
        {"mismatch before the length rule", L"short", L"other", KeyMismatchMessage},
        {"confirmation shorter", Repeat(L'x', 9), Repeat(L'x', 8), KeyMismatchMessage},
        // Only A to Z fold, as _wcsicmp does in the C locale.
        {"non-ASCII letters in other case", L"schl\u00fcssel", L"SCHL\u00dcSSEL",
         KeyMismatchMessage},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, JudgeKey(c.key, c.confirmation)) << c.name;
    }
}

TEST(CutKey, KeepsTheFirst64Characters) {
    EXPECT_EQ(std::wstring(L"short"), CutKey(L"short"));
    EXPECT_EQ(64u, CutKey(Repeat(L'x', 64)).size());
    EXPECT_EQ(HexKey, CutKey(HexKey + L"tail"));
}

TEST(SameKeyIgnoringCase, FoldsOnlyTheLettersAToZ) {
    EXPECT_TRUE(SameKeyIgnoringCase(L"", L""));
    EXPECT_TRUE(SameKeyIgnoringCase(L"AbZz09@[`{", L"aBzZ09@[`{"));
    EXPECT_FALSE(SameKeyIgnoringCase(L"@", L"`")); // neighbours of the letter ranges
    EXPECT_FALSE(SameKeyIgnoringCase(L"[", L"{"));
    EXPECT_FALSE(SameKeyIgnoringCase(L"abc", L"abcd"));
}

} // namespace
