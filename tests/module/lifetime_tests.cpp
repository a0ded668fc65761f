#include "hr_assert.h"

#include "services/module_state.h"

#include <objbase.h>

namespace {

TEST(DllCanUnloadNow, FollowsObjectAndServerLockCounts) {
    ASSERT_EQ(0, ObjectCount());
    ASSERT_EQ(0, ServerLockCount());
    EXPECT_HR(S_OK, DllCanUnloadNow());

    LockModule(TRUE);
    EXPECT_EQ(1, ServerLockCount());
    EXPECT_HR(S_FALSE, DllCanUnloadNow());
    LockModule(TRUE);
    LockModule(FALSE);
    EXPECT_HR(S_FALSE, DllCanUnloadNow());
    LockModule(FALSE);
    EXPECT_HR(S_OK, DllCanUnloadNow());

    IncrementObjectCount();
    EXPECT_HR(S_FALSE, DllCanUnloadNow());
    DecrementObjectCount();
    EXPECT_HR(S_OK, DllCanUnloadNow());
}

TEST(DllCanUnloadNow, ServerLockHasNoLowerBound) {
    LockModule(FALSE);
    EXPECT_EQ(-1, ServerLockCount());
    EXPECT_HR(S_FALSE, DllCanUnloadNow());
    LockModule(TRUE);
    EXPECT_HR(S_OK, DllCanUnloadNow());
}

} // namespace
