// Pointer handling of real windows under Xvfb (no window manager): sizing by a frame edge that
// WM_NCHITTEST names, hover and leave tracking, and hit tests that pass a point on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/windows/winuser.h"
#include "support/message_pump.h"
#include "support/test_window.h"

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TestWindow;

namespace {

void Xdo(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args; }

POINT ClientPoint(HWND h, LPARAM screen) {
    POINT pt{GET_X_LPARAM(screen), GET_Y_LPARAM(screen)};
    ScreenToClient(h, &pt);
    return pt;
}

class PointerX : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::HasDisplay()); }
};

}  // namespace

TEST_F(PointerX, BottomRightEdgeDragSizesTheWindow) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {300, 200, 600, 400},
                 [](HWND h, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
                     if (msg != WM_NCHITTEST) return std::nullopt;
                     RECT rc;
                     GetClientRect(h, &rc);
                     POINT pt = ClientPoint(h, lp);
                     return pt.x >= rc.right - 10 && pt.y >= rc.bottom - 10 ? HTBOTTOMRIGHT : HTCLIENT;
                 });
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(w.hwnd()); }));
    PumpFor(100);
    Xdo("mousemove 595 395");
    PumpFor(50);
    Xdo("mousedown 1");
    PumpFor(100);
    Xdo("mousemove 615 410");
    PumpFor(100);
    Xdo("mousemove 635 425");
    PumpFor(100);
    Xdo("mouseup 1");
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(w.hwnd(), &r);
        return r.left == 300 && r.top == 200 && r.right == 640 && r.bottom == 430;
    }));
    EXPECT_GE(w.count(WM_SIZE), 1u);
}

TEST_F(PointerX, HoverThenLeaveArriveOnceEach) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {100, 100, 300, 250});
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(w.hwnd()); }));
    PumpFor(100);
    Xdo("mousemove 150 150");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_MOUSEMOVE) > 0; }));
    TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER | TME_LEAVE, w.hwnd(), 100};
    ASSERT_TRUE(TrackMouseEvent(&tme));
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_MOUSEHOVER) == 1; }));
    auto hover = w.received(WM_MOUSEHOVER)[0];
    EXPECT_EQ(GET_X_LPARAM(hover.lParam), 50);  // client coordinates
    EXPECT_EQ(GET_Y_LPARAM(hover.lParam), 50);
    EXPECT_EQ(w.count(WM_MOUSELEAVE), 0u);
    Xdo("mousemove 500 500");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_MOUSELEAVE) == 1; }));
    // Tracking ends with the leave: coming back and going again sends nothing more.
    Xdo("mousemove 150 150");
    PumpFor(150);
    Xdo("mousemove 500 500");
    PumpFor(150);
    EXPECT_EQ(w.count(WM_MOUSELEAVE), 1u);
    EXPECT_EQ(w.count(WM_MOUSEHOVER), 1u);
}

TEST_F(PointerX, ATransparentChildPassesClicksToItsParent) {
    TestWindow parent(WS_POPUP | WS_VISIBLE, 0, nullptr, {400, 300, 700, 500});
    TestWindow glass(WS_CHILD | WS_VISIBLE, 0, parent.hwnd(), {50, 50, 250, 150},
                     [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
                         if (msg == WM_NCHITTEST) return HTTRANSPARENT;
                         return std::nullopt;
                     });
    TestWindow solid(WS_CHILD | WS_VISIBLE, 0, parent.hwnd(), {260, 50, 290, 150});
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(parent.hwnd()); }));
    PumpFor(100);
    Xdo("mousemove 500 400 click 1");
    ASSERT_TRUE(PumpUntil([&] { return parent.count(WM_LBUTTONUP) == 1; }));
    auto down = parent.received(WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(down[0].lParam), 100);  // the parent's client coordinates
    EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), 100);
    EXPECT_EQ(glass.count(WM_LBUTTONDOWN), 0u);
    // A child that answers for itself gets its own clicks.
    Xdo("mousemove 670 400 click 1");
    ASSERT_TRUE(PumpUntil([&] { return solid.count(WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(parent.count(WM_LBUTTONDOWN), 1u);
}

// The watch that lets a poller sleep: told once per arming, by a move of the pointer over our
// window or a window shown; the watched cursor position follows the pointer over our windows.
TEST_F(PointerX, PointerWatchIsToldOnceAtTheNextChange) {
    constexpr UINT kWatch = WM_APP + 7;
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {300, 200, 600, 400});
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(w.hwnd()); }));
    Xdo("mousemove 10 10");
    PumpFor(200);

    ASSERT_TRUE(platform::WatchPointerOnce(w.hwnd(), kWatch));
    PumpFor(200);
    EXPECT_EQ(w.count(kWatch), 0u);  // nothing changed
    Xdo("mousemove 400 300");
    ASSERT_TRUE(PumpUntil([&] { return w.count(kWatch) == 1; }));
    POINT pt{};
    ASSERT_TRUE(platform::GetWatchedCursorPos(&pt));
    EXPECT_EQ(pt.x, 400);
    EXPECT_EQ(pt.y, 300);
    // Not armed again: further moves tell nothing.
    Xdo("mousemove 450 320");
    PumpFor(200);
    EXPECT_EQ(w.count(kWatch), 1u);
    ASSERT_TRUE(platform::GetWatchedCursorPos(&pt));
    EXPECT_EQ(pt.x, 450);

    // Armed again, a window of ours shown is a change too.
    ASSERT_TRUE(platform::WatchPointerOnce(w.hwnd(), kWatch));
    TestWindow other(WS_POPUP, 0, nullptr, {700, 200, 800, 300});
    ShowWindow(other.hwnd(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] { return w.count(kWatch) == 2; }));
}
