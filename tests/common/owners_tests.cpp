#include "common/owners.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr DWORD EarlierError = ERROR_FILE_NOT_FOUND;

// A value the close function refuses, so that the close sets an error of its own.
template <typename T> T Bogus() {
    return reinterpret_cast<T>(static_cast<INT_PTR>(0x1230));
}

// The error a failed call left just before the owner lets go of its value.
template <typename Owner> void ResetAfterAFailure(Owner&& owner) {
    SetLastError(EarlierError);
    owner.reset();
}

struct ResetCase {
    const char* name;
    std::function<void()> closeOne;
};

TEST(UniqueAny, ResetKeepsTheLastErrorAcrossTheClose) {
    const ResetCase cases[] = {
        {"CloseHandle refusing", [] { ResetAfterAFailure(UniqueHandle(Bogus<HANDLE>())); }},
        {"DestroyWindow refusing", [] { ResetAfterAFailure(UniqueWindow(Bogus<HWND>())); }},
        {"FreeLibrary refusing", [] { ResetAfterAFailure(UniqueLibrary(Bogus<HMODULE>())); }},
        {"CloseHandle of an event",
         [] { ResetAfterAFailure(UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr))); }},
        {"RpcStringFreeW of a string",
         [] {
             UUID uuid = {};
             UniqueRpcString text;
             ASSERT_EQ(RPC_S_OK, UuidToStringW(&uuid, text.put()));
             ResetAfterAFailure(text);
         }},
        {"LocalFree of a block",
         [] { ResetAfterAFailure(UniqueLocalString(static_cast<wchar_t*>(LocalAlloc(LPTR, 8)))); }},
    };
    for (const ResetCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.closeOne();
        EXPECT_EQ(EarlierError, GetLastError());
    }
}

TEST(UniqueAny, ResetClosesTheValueItHeld) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, event);
    UniqueHandle owner(event);
    owner.reset();
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags));
    EXPECT_FALSE(owner);
}

} // namespace
