#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

inline std::string HrText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

inline ::testing::AssertionResult HrEquals(const char* expectedExpr, const char* actualExpr,
                                           HRESULT expected, HRESULT actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << actualExpr << " is " << HrText(actual) << ", expected "
                                         << expectedExpr << " = " << HrText(expected);
}

// Exact HRESULTs, both printed in hex on failure.
#define EXPECT_HR(expected, actual) EXPECT_PRED_FORMAT2(HrEquals, expected, actual)
#define ASSERT_HR(expected, actual) ASSERT_PRED_FORMAT2(HrEquals, expected, actual)
