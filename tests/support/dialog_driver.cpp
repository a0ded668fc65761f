#include "dialog_driver.h"

#include <gtest/gtest.h>

UiThread::UiThread(std::function<void()> body) : DialogThread(std::move(body)) {
    EXPECT_TRUE(held()) << "another test kept the display";
    EXPECT_TRUE(Started());
}

UiThread::~UiThread() {
    if (Started() && !HasExited()) {
        ADD_FAILURE() << "the dialog was still open at the end of the test";
        EXPECT_TRUE(Cancel()) << "the dialog's thread did not end";
    }
}
