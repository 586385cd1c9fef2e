// Real windows under Xvfb (with and without a window manager): mapping, placement, stacking, and input from
// xdotool arriving as the Windows messages.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <glib.h>

#include <atomic>
#include <filesystem>


#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/windows/winuser.h"
#include "support/message_pump.h"
#include "support/temp_dir.h"
#include "support/test_window.h"
#include "support/wait_for.h"
#include "support/x_windows.h"
#include "support/xdnd.h"

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TestWindow;

namespace {

class WindowX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::HasDisplay());
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
    }
    void TearDown() override {
        if (dpy_) XCloseDisplay(dpy_);
    }

    bool Viewable(HWND h) {
        XWindowAttributes a;
        return XGetWindowAttributes(dpy_, platform::GetX11WindowId(h), &a) && a.map_state == IsViewable;
    }
    RECT XRect(HWND h) {
        ::Window xw = platform::GetX11WindowId(h), child;
        XWindowAttributes a;
        XGetWindowAttributes(dpy_, xw, &a);
        int x = 0, y = 0;
        XTranslateCoordinates(dpy_, xw, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
        return RECT{x, y, x + a.width, y + a.height};
    }
    int StackIndex(HWND h) { return testsupport::StackIndex(dpy_, testsupport::XWindowOf(h)); }
    static void Xdo(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args; }
    // Gives the window the keyboard and waits until X agrees.
    void Focus(HWND h) {
        SetForegroundWindow(h);
        ASSERT_TRUE(PumpUntil([&] { return testsupport::FocusWithin(dpy_, testsupport::XWindowOf(h)); }));
    }

    Display* dpy_ = nullptr;
};

}  // namespace

TEST_F(WindowX, ShowHideAndMove) {
    TestWindow w(WS_POPUP, 0, nullptr, {100, 120, 400, 320});
    ShowWindow(w.hwnd(), SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    ASSERT_TRUE(PumpUntil([&] { return XRect(w.hwnd()).left == 100 && XRect(w.hwnd()).top == 120; }));
    EXPECT_EQ(XRect(w.hwnd()).right, 400);
    MoveWindow(w.hwnd(), 250, 60, 320, 240, TRUE);
    ASSERT_TRUE(PumpUntil([&] {
        RECT r = XRect(w.hwnd());
        return r.left == 250 && r.top == 60 && r.right == 570 && r.bottom == 300;
    }));
    RECT r;
    GetWindowRect(w.hwnd(), &r);
    EXPECT_EQ(r.left, 250);  // the server's answer did not move it back
    ShowWindow(w.hwnd(), SW_HIDE);
    ASSERT_TRUE(PumpUntil([&] { return !Viewable(w.hwnd()); }));
}

TEST_F(WindowX, TopMostStaysAbove) {
    TestWindow top(WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST, nullptr, {50, 50, 250, 250});
    TestWindow other(WS_POPUP | WS_VISIBLE, 0, nullptr, {80, 80, 280, 280});
    ASSERT_TRUE(PumpUntil([&] { return Viewable(top.hwnd()) && Viewable(other.hwnd()); }));
    SetForegroundWindow(other.hwnd());
    BringWindowToTop(other.hwnd());
    ASSERT_TRUE(PumpUntil([&] { return StackIndex(top.hwnd()) > StackIndex(other.hwnd()); }));
    SetWindowPos(top.hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    BringWindowToTop(other.hwnd());
    ASSERT_TRUE(PumpUntil([&] { return StackIndex(other.hwnd()) > StackIndex(top.hwnd()); }));
}

// A window manager looks the window an owned window is transient for up when it takes the owned
// window in, and finds nothing while it has not taken that owner in yet. Late, as a busy one is,
// it must still learn whose the owned window is, or it stacks that on its own: under its owner
// once the owner fills the screen and goes into the window manager's full-screen layer.
TEST_F(WindowX, OwnedWindowsStayAboveAnOwnerTheWindowManagerTakesInLateWmOnly) {
    if (!testsupport::HasWindowManager(dpy_)) GTEST_SKIP() << "needs a window manager";
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    TestWindow owner(WS_POPUP, 0, nullptr, {100, 100, 700, 500});
    TestWindow bar(WS_POPUP, WS_EX_TOOLWINDOW, owner.hwnd(), {100, 100, 700, 130});
    {
        testsupport::WindowManagerPause pause(dpy_);
        ASSERT_TRUE(pause.Paused());
        // As the player starts: the bar is shown before its owner.
        ShowWindow(bar.hwnd(), SW_SHOWNA);
        ShowWindow(owner.hwnd(), SW_SHOW);
        testsupport::XWindowOf(owner.hwnd());  // the server has all of it
    }
    ASSERT_TRUE(PumpUntil([&] { return Viewable(owner.hwnd()) && Viewable(bar.hwnd()); }));
    SetWindowPos(owner.hwnd(), nullptr, 0, 0, cx, cy, SWP_NOZORDER);
    ASSERT_TRUE(PumpUntil([&] { return XRect(owner.hwnd()).right == cx && XRect(owner.hwnd()).bottom == cy; }));
    Focus(owner.hwnd());
    EXPECT_TRUE(PumpUntil([&] { return StackIndex(bar.hwnd()) > StackIndex(owner.hwnd()); }, 5000));
}

// Without a window manager the late unmap of a quick hide reaches the toolkit after the window is
// shown again; that must not leave the popup minimised with its owner taking the clicks.
TEST_F(WindowX, OwnedPopupHiddenAndShownAtOnceKeepsTheClicks) {
    TestWindow owner(WS_POPUP | WS_VISIBLE, 0, nullptr, {100, 100, 700, 600});
    TestWindow popup(WS_POPUP | WS_VISIBLE, 0, owner.hwnd(), {200, 200, 500, 450});
    ASSERT_EQ(GetWindow(popup.hwnd(), GW_OWNER), owner.hwnd());
    ASSERT_TRUE(PumpUntil([&] { return Viewable(owner.hwnd()) && Viewable(popup.hwnd()); }));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ShowWindow(popup.hwnd(), SW_HIDE);
        ShowWindow(popup.hwnd(), SW_SHOW);
        // A window manager frames the popup anew: a move made before it is mapped again reaches
        // neither window, as X sends no motion to a window that comes up under a still pointer.
        ASSERT_TRUE(PumpUntil([&] { return Viewable(popup.hwnd()); }));
        // The pointer's move is handled after the late unmap: the popup must still be there.
        Xdo("mousemove " + std::to_string(300 + round * 10) + " 300");
        popup.clear();
        owner.clear();
        ASSERT_TRUE(PumpUntil([&] { return popup.count(WM_MOUSEMOVE) > 0 || owner.count(WM_MOUSEMOVE) > 0; }));
        Xdo("click 1");
        ASSERT_TRUE(PumpUntil([&] { return popup.count(WM_LBUTTONUP) > 0 || owner.count(WM_LBUTTONUP) > 0; }));
        EXPECT_EQ(popup.count(WM_LBUTTONDOWN), 1u);
        EXPECT_EQ(owner.count(WM_LBUTTONDOWN), 0u);
        EXPECT_FALSE(IsIconic(popup.hwnd()));
        EXPECT_TRUE(Viewable(popup.hwnd()));
    }
}

TEST_F(WindowX, KeysArriveAsVirtualKeysAndCharacters) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {300, 300, 500, 450});
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    Focus(w.hwnd());
    w.clear();
    Xdo("key a shift+b Return F5 ctrl+t Left alt+x");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_SYSCHAR) == 1; }));
    std::vector<WPARAM> downs;
    for (auto& r : w.received())
        if (r.msg == WM_KEYDOWN || r.msg == WM_SYSKEYDOWN) downs.push_back(r.wParam);
    std::vector<WPARAM> want = {'A', VK_SHIFT, 'B', VK_RETURN, VK_F5, VK_CONTROL, 'T', VK_LEFT, VK_MENU, 'X'};
    EXPECT_EQ(downs, want);
    std::vector<WPARAM> chars;
    for (auto& r : w.received(WM_CHAR)) chars.push_back(r.wParam);
    std::vector<WPARAM> wantChars = {'a', 'B', '\r', 0x14};
    EXPECT_EQ(chars, wantChars);
    EXPECT_EQ(w.received(WM_SYSCHAR)[0].wParam, static_cast<WPARAM>('x'));
    for (auto& r : w.received(WM_KEYDOWN)) {
        if (r.wParam == VK_LEFT) {
            EXPECT_TRUE(r.lParam & (1 << 24));  // an extended key
        }
    }
    EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);
}

// A pop-up that closes on its key's press (as a menu does) never sees that key's release: the
// key must not stay held for the owner, whose bare Enter checks that no other key is down.
TEST_F(WindowX, KeyReleaseLostWithAClosedPopupDoesNotStayHeld) {
    TestWindow owner(WS_POPUP | WS_VISIBLE, 0, nullptr, {300, 300, 600, 500});
    ASSERT_TRUE(PumpUntil([&] { return Viewable(owner.hwnd()); }));
    std::vector<UINT> heldAtEnter;
    owner.setHook([&](HWND, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_KEYDOWN && wParam == VK_RETURN) {
            BYTE state[256] = {};
            GetKeyboardState(state);
            for (UINT vk = 0; vk < 256; ++vk)
                if (vk != VK_RETURN && (state[vk] & 0x80)) heldAtEnter.push_back(vk);
        }
        return std::nullopt;
    });
    for (const char* closing : {"Escape", "ctrl+Return", "alt+F4", "space"}) {
        SCOPED_TRACE(closing);
        TestWindow popup(WS_POPUP | WS_VISIBLE, 0, owner.hwnd(), {350, 350, 500, 450});
        ASSERT_TRUE(PumpUntil([&] { return Viewable(popup.hwnd()); }));
        Focus(popup.hwnd());
        bool closed = false;
        popup.setHook([&](HWND h, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            // A window manager takes Alt+F4 itself and asks the window to close.
            const bool wmClose = msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE;
            if ((msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || wmClose) && !closed) {
                BYTE state[256] = {};
                GetKeyboardState(state);
                // The last key of the chord closes it.
                bool modifierOnly = !wmClose;
                for (UINT k : {VK_ESCAPE, VK_RETURN, VK_F4, VK_SPACE})
                    if (state[k] & 0x80) modifierOnly = false;
                if (modifierOnly) return std::nullopt;
                closed = true;
                SetForegroundWindow(owner.hwnd());
                DestroyWindow(h);
                return 0;
            }
            return std::nullopt;
        });
        Xdo(std::string("key ") + closing);
        ASSERT_TRUE(PumpUntil([&] { return closed; }));
        Focus(owner.hwnd());
        heldAtEnter.clear();
        owner.clear();
        Xdo("key Return");
        ASSERT_TRUE(PumpUntil([&] { return owner.count(WM_KEYUP) >= 1; }));
        EXPECT_EQ(heldAtEnter, std::vector<UINT>{});
        for (int vk : {VK_ESCAPE, VK_CONTROL, VK_LCONTROL, VK_MENU, VK_LMENU, VK_F4, VK_SPACE, VK_RETURN})
            EXPECT_FALSE(GetKeyState(vk) & 0x8000) << vk;
    }
}

// A handler asks for the modifiers of its own key, even when the toolkit read the later releases
// before the message was dispatched.
TEST_F(WindowX, KeyStateFollowsTheMessageTakenNotTheLatestEvent) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {300, 300, 500, 450});
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    Focus(w.hwnd());
    int ctrlAtT = -1;
    w.setHook([&](HWND, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_KEYDOWN && wParam == 'T') ctrlAtT = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
        return std::nullopt;
    });
    Xdo("keydown ctrl");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_KEYDOWN) == 1; }));
    Xdo("key t keyup ctrl");
    // Every event is read, none of their messages is dispatched yet.
    ASSERT_TRUE(testsupport::WaitFor([] {
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
        return !(GetAsyncKeyState(VK_CONTROL) & 0x8000);
    }));
    EXPECT_TRUE(GetKeyState(VK_CONTROL) & 0x8000);
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_KEYUP) == 2; }));
    EXPECT_EQ(ctrlAtT, 1);
    EXPECT_FALSE(GetKeyState(VK_CONTROL) & 0x8000);
}

// While another client holds the server grabbed, the server answers nobody else: pollers and the
// UI thread asking for the pointer get the last known position instead of hanging until the grab
// ends.
TEST_F(WindowX, CursorPositionDoesNotWaitOnAServerGrabbedByAnotherClient) {
    Xdo("mousemove 123 234");
    POINT pt{};
    ASSERT_TRUE(GetCursorPos(&pt));
    EXPECT_EQ(pt.x, 123);
    EXPECT_EQ(pt.y, 234);
    XGrabServer(dpy_);
    XSync(dpy_, False);
    std::atomic<int> answered{0};
    std::vector<std::thread> askers;
    for (int i = 0; i < 4; ++i)
        askers.emplace_back([&] {
            for (int n = 0; n < 3; ++n) {
                POINT p{};
                if (GetCursorPos(&p) && p.x == 123 && p.y == 234) ++answered;
            }
        });
    POINT ui{};
    const bool uiAnswered = GetCursorPos(&ui);
    const bool all = testsupport::WaitFor([&] { return answered.load() == 12; });
    XUngrabServer(dpy_);
    XSync(dpy_, False);
    for (auto& t : askers) t.join();
    EXPECT_TRUE(all) << answered.load();
    EXPECT_TRUE(uiAnswered);
    EXPECT_EQ(ui.x, 123);
    // Once the grab ends the answers are live again.
    Xdo("mousemove 200 210");
    ASSERT_TRUE(GetCursorPos(&pt));
    EXPECT_EQ(pt.x, 200);
    EXPECT_EQ(pt.y, 210);
}

TEST_F(WindowX, WheelAndDoubleClick) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {200, 200, 500, 400});
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    Xdo("mousemove 260 230");
    PumpFor(50);
    w.clear();
    Xdo("click 4 click 5");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_MOUSEWHEEL) == 2; }));
    auto wheel = w.received(WM_MOUSEWHEEL);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].wParam), WHEEL_DELTA);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[1].wParam), -WHEEL_DELTA);
    EXPECT_EQ(GET_X_LPARAM(wheel[0].lParam), 260);  // screen coordinates
    w.clear();
    Xdo("click --repeat 2 --delay 60 1");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_LBUTTONUP) == 2; }));
    std::vector<UINT> seq;
    for (auto& r : w.received())
        if (r.msg >= WM_LBUTTONDOWN && r.msg <= WM_LBUTTONDBLCLK) seq.push_back(r.msg);
    std::vector<UINT> want = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    EXPECT_EQ(seq, want);
    auto down = w.received(WM_LBUTTONDOWN)[0];
    EXPECT_EQ(GET_X_LPARAM(down.lParam), 60);  // client coordinates
    EXPECT_EQ(GET_Y_LPARAM(down.lParam), 30);
    EXPECT_TRUE(down.wParam & MK_LBUTTON);
}

TEST_F(WindowX, CapturedDragReportsNegativeCoordinates) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {400, 300, 600, 450},
                 [](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
                     if (msg == WM_LBUTTONDOWN) SetCapture(h);
                     if (msg == WM_LBUTTONUP) ReleaseCapture();
                     return std::nullopt;
                 });
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    Xdo("mousemove 450 350");
    PumpFor(50);
    Xdo("mousedown 1");
    ASSERT_TRUE(PumpUntil([&] { return GetCapture() == w.hwnd(); }));
    w.clear();
    Xdo("mousemove 380 280 mouseup 1");
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_LBUTTONUP) == 1; }));
    bool negative = false;
    for (auto& r : w.received(WM_MOUSEMOVE))
        negative = negative || (GET_X_LPARAM(r.lParam) == -20 && GET_Y_LPARAM(r.lParam) == -20);
    EXPECT_TRUE(negative);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowX, CaptionDragMovesTheWindow) {
    TestWindow w(WS_POPUP | WS_VISIBLE, 0, nullptr, {100, 500, 400, 700},
                 [](HWND h, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
                     if (msg != WM_NCHITTEST) return std::nullopt;
                     POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                     ScreenToClient(h, &pt);
                     return pt.y < 30 ? HTCAPTION : HTCLIENT;
                 });
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    Xdo("mousemove 150 510");
    PumpFor(50);
    Xdo("mousedown 1");
    PumpFor(100);
    Xdo("mousemove 200 540");
    PumpFor(100);
    Xdo("mousemove 250 560");
    PumpFor(100);
    Xdo("mouseup 1");
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(w.hwnd(), &r);
        return r.left == 200 && r.top == 550;
    }));
}

TEST_F(WindowX, NativeChildIsARealXWindowInsideItsParent) {
    TestWindow host(WS_POPUP | WS_VISIBLE, 0, nullptr, {0, 0, 320, 240});
    HWND video = CreateWindowExW(0, platform::kNativeWindowClass, L"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 200,
                                 host.hwnd(), nullptr, nullptr, nullptr);
    ASSERT_NE(video, nullptr);
    unsigned long id = platform::GetX11WindowId(video);
    ASSERT_NE(id, 0u);
    ::Window root, parent, *kids = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(dpy_, id, &root, &parent, &kids, &n));
    if (kids) XFree(kids);
    EXPECT_EQ(parent, platform::GetX11WindowId(host.hwnd()));
    DestroyWindow(video);
}

TEST_F(WindowX, AnimatedSlideShowsAndHides) {
    TestWindow w(WS_POPUP, 0, nullptr, {600, 100, 900, 200});
    ASSERT_TRUE(AnimateWindow(w.hwnd(), 150, AW_SLIDE | AW_VER_NEGATIVE));
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    EXPECT_FALSE(AnimateWindow(w.hwnd(), 150, AW_SLIDE | AW_VER_NEGATIVE));  // already shown
    ASSERT_TRUE(AnimateWindow(w.hwnd(), 150, AW_HIDE | AW_SLIDE | AW_VER_POSITIVE));
    EXPECT_FALSE(IsWindowVisible(w.hwnd()));
    RECT r;
    GetWindowRect(w.hwnd(), &r);
    EXPECT_EQ(r.left, 600);
    EXPECT_EQ(r.top, 100);
}

TEST_F(WindowX, FilesDroppedByAnotherProgramArriveAsDropFiles) {
    testsupport::TempDir dir;
    auto a = dir.write("片头.mp4", "x");
    auto b = dir.write("b c.mkv", "x");
    std::vector<std::wstring> got;
    POINT at{};
    TestWindow w(WS_POPUP | WS_VISIBLE, WS_EX_ACCEPTFILES, nullptr, {700, 400, 1000, 600},
                 [&](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
                     if (msg != WM_DROPFILES) return std::nullopt;
                     auto drop = reinterpret_cast<HDROP>(wp);
                     UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
                     for (UINT i = 0; i < n; ++i) {
                         std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
                         DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
                         got.push_back(name);
                     }
                     wchar_t tiny[4];
                     EXPECT_EQ(DragQueryFileW(drop, 0, tiny, 4), 3u);  // cut to the buffer
                     DragQueryPoint(drop, &at);
                     DragFinish(drop);
                     return 0;
                 });
    ASSERT_TRUE(PumpUntil([&] { return Viewable(w.hwnd()); }));
    auto uri = [](const std::filesystem::path& p) {
        char* u = g_filename_to_uri(p.c_str(), nullptr, nullptr);
        std::string s = u;
        g_free(u);
        return s;
    };
    std::string list = uri(a) + "\r\n" + "http://127.0.0.1/not-a-file\r\n" + uri(b) + "\r\n";
    ::Window target = platform::GetX11WindowId(w.hwnd());
    std::atomic<bool> sent{false}, ok{false};
    std::thread source([&] {
        ok = testsupport::XdndDrop(target, 750, 450, list);
        sent = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return !got.empty() && sent; }));
    source.join();
    EXPECT_TRUE(ok);
    ASSERT_EQ(got.size(), 2u);
    auto utf8 = [](const std::wstring& w) {
        gchar* u = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(w.c_str()), static_cast<glong>(w.size()), nullptr,
                                  nullptr, nullptr);
        std::string s = u ? u : "";
        g_free(u);
        return s;
    };
    EXPECT_EQ(utf8(got[0]), a.string());
    EXPECT_EQ(utf8(got[1]), b.string());
    EXPECT_EQ(at.x, 50);
    EXPECT_EQ(at.y, 50);
}
