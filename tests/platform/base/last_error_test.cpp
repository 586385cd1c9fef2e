#include <gtest/gtest.h>

#include <thread>

#include "platform/base/wintypes.h"

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOther = 1;
    std::thread([&] { seenByOther = GetLastError(); }).join();
    EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(WindowHandle, CarriesProcessAndSerial) {
    HWND h = MakeWindowHandle(4242, 17);
    EXPECT_EQ(WindowHandlePid(h), 4242u);
    EXPECT_EQ(WindowHandleSerial(h), 17u);
}

TEST(MessageParams, MouseCoordinatesAreSigned) {
    LPARAM lp = MAKELPARAM(static_cast<WORD>(-5), 300);
    EXPECT_EQ(GET_X_LPARAM(lp), -5);
    EXPECT_EQ(GET_Y_LPARAM(lp), 300);
}
