#include "extension/adapter_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const wchar_t* Guid = L"3f2504e0-4f89-11d3-9a0c-0305e82c3301";

TEST(InstanceIdNamesAdapter, MatchesTheBracedGuidInAnyLetterCase) {
    struct Case {
        const wchar_t* instanceId;
        bool expected;
    } cases[] = {
        {L"{3f2504e0-4f89-11d3-9a0c-0305e82c3301}", true},
        {L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}", true},
        {L"{3F2504e0-4f89-11D3-9a0C-0305e82c3301}", true},
        // What follows the closing brace is not examined.
        {L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}trailing", true},
        {L"3F2504E0-4F89-11D3-9A0C-0305E82C3301", false},
        {L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301", false},
        {L"(3F2504E0-4F89-11D3-9A0C-0305E82C3301)", false},
        {L"{3F2504E0-4F89-11D3-9A0C-0305E82C3302}", false},
        {L"{3F2504E0-4F89-11D3-9A0C-0305E82C330}", false},
        {L"{3F2504E0-4F89-11D3-9A0C-0305E82C33011}", false},
        {L"", false},
        {L"{}", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, InstanceIdNamesAdapter(c.instanceId, Guid))
            << std::wstring(c.instanceId).size();
    }
}

TEST(InstanceIdNamesAdapter, AnEmptyGuidTextMatchesNothing) {
    EXPECT_FALSE(InstanceIdNamesAdapter(L"{}", L""));
    EXPECT_FALSE(InstanceIdNamesAdapter(L"{x}", L""));
}

TEST(InstanceIdNamesAdapter, FoldsOnlyAsciiLetters) {
    // U+00C4 and U+00E4 are one letter in two cases, which the comparison does not fold.
    EXPECT_FALSE(InstanceIdNamesAdapter(L"{\u00C4}", L"\u00E4"));
    EXPECT_TRUE(InstanceIdNamesAdapter(L"{\u00E4}", L"\u00E4"));
}

TEST(DptEnableTextIsSet, ReadsADecimalNumberFromTheFirstNineUnits) {
    struct Case {
        const wchar_t* text;
        bool expected;
    } cases[] = {
        {L"1", true},           {L"0", false},    {L"", false},       {L"-1", true},
        {L"  7", true},         {L"+2", true},    {L"abc", false},    {L"x1", false},
        {L"00", false},         {L"10abc", true}, {L"\x0001", false}, {L"000000001", true},
        {L"0000000001", false}, // the tenth unit is cut off
    };
    for (const Case& c : cases) {
        wchar_t units[DptEnableUnits] = {};
        const std::wstring text(c.text);
        for (size_t i = 0; i < text.size() && i < DptEnableUnits; ++i) {
            units[i] = text[i];
        }
        EXPECT_EQ(c.expected, DptEnableTextIsSet(units)) << text.size();
    }
}

TEST(DptEnableTextIsSet, NeedsNoTerminatorInTheBuffer) {
    // Ten digits, none a terminator: only nine are read.
    const wchar_t units[DptEnableUnits] = {L'0', L'0', L'0', L'0', L'0',
                                           L'0', L'0', L'0', L'0', L'5'};
    EXPECT_FALSE(DptEnableTextIsSet(units));
    const wchar_t set[DptEnableUnits] = {L'1', L'1', L'1', L'1', L'1',
                                         L'1', L'1', L'1', L'1', L'1'};
    EXPECT_TRUE(DptEnableTextIsSet(set));
}

} // namespace
