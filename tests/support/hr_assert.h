#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "hostkit/hr_text.h"

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
