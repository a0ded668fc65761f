#include "common/decimal_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ParseDecimal, ReadsSignAndDigitsAfterWhiteSpace) {
    struct Case {
        const wchar_t* text;
        int expected;
    } cases[] = {
        {L"0", 0},
        {L"50", 50},
        {L"-1", -1},
        {L"+7", 7},
        {L"  \t12", 12},
        {L"12abc", 12},
        {L"abc", 0},
        {L"", 0},
        {L"-", 0},
        {L"- 5", 0},
        {L"\x0001", 0},
        {L"0x10", 0},
        {L"2147483647", INT_MAX},
        {L"-2147483648", INT_MIN},
        {L"99999999999999999999", INT_MAX},
        {L"-99999999999999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ParseDecimal(c.text)) << "text: " << testing::PrintToString(c.text);
    }
    EXPECT_EQ(0, ParseDecimal(nullptr));
}

} // namespace
