// The window core without a display: queues, sends across threads, timers, properties,
// placement state, the modal loop and painting into an off-screen surface.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "support/message_pump.h"
#include "platform/windows/wincairo.h"
#include "platform/windows/winuser.h"
#include "support/test_window.h"

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TestWindow;

extern char** environ;

namespace {
constexpr UINT kPing = WM_USER + 1;

// Started as a second process by the cross-process test: one titled window with a property
// that answers WM_COPYDATA and ends on WM_CLOSE.
LRESULT CALLBACK ReceiverProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        return static_cast<LRESULT>(cds->cbData * 1000 + static_cast<const unsigned char*>(cds->lpData)[0]);
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(h, msg, wp, lp);
}

void RunReceiverIfAsked() {
    if (!getenv("MORVANE_WIN_RECEIVER")) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ReceiverProc;
    wc.lpszClassName = L"ReceiverClass";
    RegisterClassExW(&wc);
    HWND h = CreateWindowExW(0, L"ReceiverClass", L"ReceiverWnd", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    SetPropW(h, L"Morvane", reinterpret_cast<HANDLE>(7));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
    _exit(0);
}

// The core must run on the GLib loop alone, as in the agent, which has no X server; and the
// window station of these tests lives in a folder of their own.
std::string PrivateRuntimeDir() {
    if (const char* d = getenv("MORVANE_RUNTIME_DIR"); d && getenv("MORVANE_WIN_RECEIVER")) return d;
    char tmpl[] = "/tmp/morvane-wincore-XXXXXX";
    return mkdtemp(tmpl) ? tmpl : "/tmp";
}
const int kSetup = (unsetenv("DISPLAY"), setenv("MORVANE_RUNTIME_DIR", PrivateRuntimeDir().c_str(), 1));
}  // namespace

// The second process of ReachesAWindowOfAnotherProcess; does nothing when run on its own.
TEST(WindowCore, ReceiverProcess) { RunReceiverIfAsked(); }

TEST(WindowCore, RunsWithoutDisplay) {
    (void)kSetup;
    TestWindow w;
    ASSERT_NE(w.hwnd(), nullptr);
    EXPECT_FALSE(platform::HasDisplay());
    EXPECT_EQ(platform::GetX11WindowId(w.hwnd()), 0u);
}

TEST(WindowCore, PostsFromWorkerArriveInOrderOnTheUiThread) {
    TestWindow w;
    const DWORD ui = GetCurrentThreadId();
    constexpr int kCount = 2000;
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessageW(w.hwnd(), kPing, i, -i));
    });
    // The order is what counts, not the speed: a sanitized build on a busy machine takes its time.
    const bool all = PumpUntil([&] { return w.count(kPing) == kCount; }, 60000);
    worker.join();
    ASSERT_TRUE(all) << w.count(kPing) << " of " << kCount;
    auto got = w.received(kPing);
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(got[i].wParam, static_cast<WPARAM>(i));
        ASSERT_EQ(got[i].lParam, -i);
        ASSERT_EQ(got[i].thread, ui);
    }
}

TEST(WindowCore, PostToGoneWindowFails) {
    HWND gone;
    {
        TestWindow w;
        gone = w.hwnd();
    }
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(PostMessageW(gone, kPing, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageW(gone, kPing, 0, 0), 0);
}

TEST(WindowCore, CrossThreadSendWaitsForTheAnswer) {
    const DWORD ui = GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    TestWindow w(WS_POPUP, 0, nullptr, {0, 0, 10, 10}, [&](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (msg != kPing) return std::nullopt;
        ranOn = GetCurrentThreadId();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return static_cast<LRESULT>(wp * 3);
    });
    std::atomic<bool> done{false};
    LRESULT result = 0;
    std::thread worker([&] {
        result = SendMessageW(w.hwnd(), kPing, 14, 0);
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(ranOn.load(), ui);
    // On its own thread a send is a direct call.
    EXPECT_EQ(SendMessageW(w.hwnd(), kPing, 2, 0), 6);
}

TEST(WindowCore, SendToWindowDestroyedWhileWaitingReturnsAtOnce) {
    TestWindow w;
    std::atomic<bool> started{false};
    auto pending = std::async(std::launch::async, [&] {
        started = true;
        return SendMessageW(w.hwnd(), kPing, 1, 0);
    });
    while (!started) std::this_thread::yield();
    // The UI thread does not pump: the send can only end because the window goes.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    DestroyWindow(w.hwnd());
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(pending.get(), 0);
    EXPECT_EQ(w.count(kPing), 0u);
}

TEST(WindowCore, CallsFromOtherThreadsRunOnTheWindowsThread) {
    TestWindow w;
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        ShowWindow(w.hwnd(), SW_SHOWNA);
        SetWindowPos(w.hwnd(), nullptr, 5, 6, 70, 80, SWP_NOZORDER | SWP_NOACTIVATE);
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    ASSERT_EQ(w.count(WM_SHOWWINDOW), 1u);
    EXPECT_EQ(w.received(WM_SHOWWINDOW)[0].thread, ui);
    RECT r;
    GetWindowRect(w.hwnd(), &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.bottom, 86);
}

TEST(WindowCore, TimersFireUntilKilled) {
    TestWindow w;
    ASSERT_EQ(SetTimer(w.hwnd(), 7, 15, nullptr), 7u);
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_TIMER) >= 3; }));
    for (auto& r : w.received(WM_TIMER)) EXPECT_EQ(r.wParam, 7u);
    EXPECT_TRUE(KillTimer(w.hwnd(), 7));
    EXPECT_FALSE(KillTimer(w.hwnd(), 7));
    size_t seen = w.count(WM_TIMER);
    PumpFor(120);
    EXPECT_EQ(w.count(WM_TIMER), seen);
}

namespace {
std::atomic<int> g_procTicks{0};
void CALLBACK CountTick(HWND, UINT msg, UINT_PTR, DWORD) {
    if (msg == WM_TIMER) ++g_procTicks;
}
}  // namespace

TEST(WindowCore, ThreadTimerCallsItsProcedure) {
    UINT_PTR id = SetTimer(nullptr, 0, 10, CountTick);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(PumpUntil([] { return g_procTicks >= 2; }));
    KillTimer(nullptr, id);
}

TEST(WindowCore, TimersDieWithTheirWindow) {
    auto w = std::make_unique<TestWindow>();
    SetTimer(w->hwnd(), 1, 10, nullptr);
    w.reset();
    PumpFor(60);  // nothing may reach the destroyed window's procedure
}

TEST(WindowCore, PropertiesAndTitle) {
    TestWindow w(WS_POPUP, 0, nullptr, {0, 0, 10, 10}, nullptr, L"Morvane");
    HANDLE one = reinterpret_cast<HANDLE>(1), two = reinterpret_cast<HANDLE>(2);
    EXPECT_EQ(GetPropW(w.hwnd(), L"Morvane"), nullptr);
    EXPECT_TRUE(SetPropW(w.hwnd(), L"Morvane", one));
    EXPECT_EQ(GetPropW(w.hwnd(), L"MORVANE"), one);  // names are atoms: case does not count
    EXPECT_TRUE(SetPropW(w.hwnd(), L"morvane", two));
    EXPECT_EQ(GetPropW(w.hwnd(), L"Morvane"), two);
    EXPECT_EQ(RemovePropW(w.hwnd(), L"Morvane"), two);
    EXPECT_EQ(GetPropW(w.hwnd(), L"Morvane"), nullptr);
    EXPECT_EQ(RemovePropW(w.hwnd(), L"Morvane"), nullptr);

    wchar_t buf[16];
    EXPECT_EQ(GetWindowTextW(w.hwnd(), buf, 16), 7);
    EXPECT_STREQ(buf, L"Morvane");
    EXPECT_EQ(GetWindowTextW(w.hwnd(), buf, 4), 3);  // cut to the buffer, terminated
    EXPECT_STREQ(buf, L"Mor");
    EXPECT_EQ(GetWindowTextW(w.hwnd(), buf, 0), 0);
    EXPECT_TRUE(SetWindowTextW(w.hwnd(), L"播放器"));
    EXPECT_EQ(w.count(WM_SETTEXT), 1u);
    EXPECT_EQ(GetWindowTextLengthW(w.hwnd()), 3);
    EXPECT_EQ(FindWindowW(nullptr, L"播放器"), w.hwnd());
    EXPECT_EQ(FindWindowW(L"testwindow8", nullptr), w.hwnd());
    EXPECT_EQ(FindWindowW(nullptr, L"nobody"), nullptr);
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(w.hwnd(), &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, static_cast<DWORD>(getpid()));
    std::pair<HWND, bool> seek{w.hwnd(), false};
    EnumWindows([](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<std::pair<HWND, bool>*>(p);
        if (h == s->first) s->second = true;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&seek));
    EXPECT_TRUE(seek.second);
}

TEST(WindowCore, CreationAndDestructionOrder) {
    std::vector<std::pair<HWND, UINT>> order;
    auto rec = [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_DESTROY || msg == WM_NCDESTROY) order.emplace_back(h, msg);
        return std::nullopt;
    };
    auto parent = std::make_unique<TestWindow>(WS_POPUP, 0, nullptr, RECT{0, 0, 100, 100}, rec);
    TestWindow child(WS_CHILD | WS_VISIBLE, 0, parent->hwnd(), {1, 2, 11, 12}, rec);
    TestWindow owned(WS_POPUP, 0, parent->hwnd(), {0, 0, 10, 10}, rec);
    auto first = parent->received();
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(first[0].msg, static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(first[1].msg, static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(GetParent(child.hwnd()), parent->hwnd());
    EXPECT_EQ(GetWindow(owned.hwnd(), GW_OWNER), parent->hwnd());
    EXPECT_EQ(GetWindow(parent->hwnd(), GW_CHILD), child.hwnd());
    HWND p = parent->hwnd();
    parent.reset();
    EXPECT_FALSE(IsWindow(child.hwnd()));
    EXPECT_FALSE(IsWindow(owned.hwnd()));
    // Owned windows go first; WM_DESTROY runs parent first, WM_NCDESTROY child first.
    std::vector<std::pair<HWND, UINT>> want = {{owned.hwnd(), WM_DESTROY}, {owned.hwnd(), WM_NCDESTROY},
                                               {p, WM_DESTROY},            {child.hwnd(), WM_DESTROY},
                                               {child.hwnd(), WM_NCDESTROY}, {p, WM_NCDESTROY}};
    EXPECT_EQ(order, want);
}

TEST(WindowCore, CreateFailsCleanly) {
    TestWindow refused(WS_POPUP, 0, nullptr, {0, 0, 10, 10}, [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) return -1;
        return std::nullopt;
    });
    EXPECT_EQ(refused.hwnd(), nullptr);
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_EQ(CreateWindowExW(0, platform::kNativeWindowClass, L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
}

namespace {
WNDPROC g_before = nullptr;
LRESULT CALLBACK Subclass(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kPing) return 99;
    return CallWindowProcW(g_before, h, msg, wp, lp);
}
}  // namespace

TEST(WindowCore, SubclassingChainsToTheOldProcedure) {
    TestWindow w(WS_POPUP, 0, nullptr, {0, 0, 10, 10}, [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == kPing + 1) return 5;
        return std::nullopt;
    });
    g_before = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
    EXPECT_EQ(g_before, &TestWindow::Proc);
    EXPECT_EQ(SendMessageW(w.hwnd(), kPing, 0, 0), 99);
    EXPECT_EQ(SendMessageW(w.hwnd(), kPing + 1, 0, 0), 5);
    SetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_before));
}

TEST(WindowCore, MovesReportSignedPackedCoordinates) {
    TestWindow w;
    w.clear();
    MoveWindow(w.hwnd(), -40, -30, 300, 200, TRUE);
    ASSERT_EQ(w.count(WM_MOVE), 1u);
    ASSERT_EQ(w.count(WM_SIZE), 1u);
    LPARAM mv = w.received(WM_MOVE)[0].lParam;
    EXPECT_EQ(GET_X_LPARAM(mv), -40);
    EXPECT_EQ(GET_Y_LPARAM(mv), -30);
    EXPECT_EQ(LOWORD(w.received(WM_SIZE)[0].lParam), 300);
    EXPECT_EQ(w.received(WM_SIZE)[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    RECT r, c;
    GetWindowRect(w.hwnd(), &r);
    GetClientRect(w.hwnd(), &c);
    EXPECT_EQ(r.right, 260);
    EXPECT_EQ(c.right, 300);
    POINT pt{5, 5};
    ClientToScreen(w.hwnd(), &pt);
    EXPECT_EQ(pt.x, -35);
    ScreenToClient(w.hwnd(), &pt);
    EXPECT_EQ(pt.x, 5);
    w.clear();
    SetWindowPos(w.hwnd(), nullptr, -40, -30, 300, 200, SWP_NOZORDER);  // unchanged: no messages
    EXPECT_EQ(w.count(WM_MOVE), 0u);
}

TEST(WindowCore, ShowHideAndState) {
    TestWindow w;
    EXPECT_FALSE(IsWindowVisible(w.hwnd()));
    EXPECT_FALSE(ShowWindow(w.hwnd(), SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
    EXPECT_TRUE(GetWindowLongPtrW(w.hwnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(GetActiveWindow(), w.hwnd());
    EXPECT_EQ(GetFocus(), w.hwnd());
    EXPECT_TRUE(ShowWindow(w.hwnd(), SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(w.hwnd()));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_FALSE(ShowWindow(w.hwnd(), SW_HIDE));
    EXPECT_EQ(w.count(WM_SHOWWINDOW), 2u);
}

TEST(WindowCore, MaximiseMinimiseRestoreAndPlacement) {
    TestWindow owner(WS_POPUP | WS_VISIBLE | WS_MAXIMIZEBOX, 0, nullptr, {100, 100, 500, 400});
    TestWindow popup(WS_POPUP | WS_VISIBLE, 0, owner.hwnd(), {0, 0, 50, 50});
    ShowWindow(owner.hwnd(), SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(owner.hwnd()));
    MONITORINFO mi{sizeof(mi), {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(owner.hwnd(), MONITOR_DEFAULTTONEAREST), &mi));
    EXPECT_TRUE(mi.dwFlags & MONITORINFOF_PRIMARY);
    RECT r;
    GetWindowRect(owner.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, mi.rcWork.right - mi.rcWork.left);
    EXPECT_EQ(owner.received(WM_SIZE).back().wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    ASSERT_TRUE(GetWindowPlacement(owner.hwnd(), &wp));
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(wp.rcNormalPosition.left, 100);
    EXPECT_EQ(wp.rcNormalPosition.bottom, 400);

    ShowWindow(owner.hwnd(), SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(owner.hwnd()));
    EXPECT_FALSE(IsWindowVisible(popup.hwnd()));  // owned pop-ups leave with the owner
    ShowWindow(owner.hwnd(), SW_RESTORE);
    EXPECT_FALSE(IsIconic(owner.hwnd()));
    EXPECT_TRUE(IsZoomed(owner.hwnd()));  // minimised from maximised comes back maximised
    EXPECT_TRUE(IsWindowVisible(popup.hwnd()));
    ShowWindow(owner.hwnd(), SW_RESTORE);
    GetWindowRect(owner.hwnd(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right, 500);

    // Full screen the way the player does it: a placement over the primary screen.
    WINDOWPLACEMENT full{sizeof(full), 0, SW_SHOWNORMAL, {}, {},
                         {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}};
    ASSERT_TRUE(SetWindowPlacement(owner.hwnd(), &full));
    GetWindowRect(owner.hwnd(), &r);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    SetWindowPlacement(owner.hwnd(), &wp);
    EXPECT_TRUE(IsZoomed(owner.hwnd()));
}

TEST(WindowCore, ZOrderAndTopMost) {
    TestWindow a(WS_POPUP | WS_VISIBLE), b(WS_POPUP | WS_VISIBLE), c(WS_POPUP | WS_VISIBLE);
    auto above = [](HWND x, HWND y) {
        for (HWND h = GetWindow(GetDesktopWindow(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
            if (h == x) return true;
            if (h == y) return false;
        }
        return false;
    };
    EXPECT_TRUE(above(c.hwnd(), a.hwnd()));
    SetWindowPos(a.hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(GetWindowLongPtrW(a.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(above(a.hwnd(), c.hwnd()));
    // Activating another window does not lift it over a top-most one.
    SetForegroundWindow(b.hwnd());
    EXPECT_EQ(GetForegroundWindow(), b.hwnd());
    EXPECT_TRUE(above(a.hwnd(), b.hwnd()));
    EXPECT_TRUE(above(b.hwnd(), c.hwnd()));
    SetWindowPos(a.hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(GetWindowLongPtrW(a.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowPos(b.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(above(b.hwnd(), a.hwnd()));
    // An owned window stays above its owner, and follows it into the top-most band.
    TestWindow owned(WS_POPUP | WS_VISIBLE, 0, c.hwnd());
    SetWindowPos(c.hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(above(owned.hwnd(), c.hwnd()));
    EXPECT_TRUE(GetWindowLongPtrW(owned.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(above(c.hwnd(), b.hwnd()));
}

TEST(WindowCore, ActivationAndFocusMessages) {
    TestWindow a(WS_POPUP | WS_VISIBLE), b(WS_POPUP | WS_VISIBLE);
    SetActiveWindow(a.hwnd());
    a.clear();
    b.clear();
    EXPECT_EQ(SetActiveWindow(b.hwnd()), a.hwnd());
    ASSERT_EQ(a.count(WM_ACTIVATE), 1u);
    EXPECT_EQ(LOWORD(a.received(WM_ACTIVATE)[0].wParam), WA_INACTIVE);
    ASSERT_EQ(b.count(WM_ACTIVATE), 1u);
    EXPECT_EQ(LOWORD(b.received(WM_ACTIVATE)[0].wParam), WA_ACTIVE);
    EXPECT_EQ(a.count(WM_KILLFOCUS), 1u);
    EXPECT_EQ(b.count(WM_SETFOCUS), 1u);
    TestWindow child(WS_CHILD | WS_VISIBLE, 0, b.hwnd(), {0, 0, 5, 5});
    EXPECT_EQ(SetFocus(child.hwnd()), b.hwnd());
    EXPECT_EQ(GetFocus(), child.hwnd());
    // Disabling the focused window's parent takes the focus away.
    EnableWindow(b.hwnd(), FALSE);
    EXPECT_FALSE(IsWindowEnabled(b.hwnd()));
    EXPECT_TRUE(GetWindowLongPtrW(b.hwnd(), GWL_STYLE) & WS_DISABLED);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(EnableWindow(b.hwnd(), TRUE));  // it was disabled
}

TEST(WindowCore, ModalLoopEndsWithItsResult) {
    TestWindow owner(WS_POPUP | WS_VISIBLE);
    TestWindow dialog(WS_POPUP | WS_VISIBLE, 0, owner.hwnd(), {0, 0, 10, 10},
                      [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
                          if (msg == WM_TIMER) {
                              EXPECT_FALSE(IsWindowEnabled(owner.hwnd()));
                              platform::EndModalLoop(h, 42);
                              return 0;
                          }
                          return std::nullopt;
                      });
    SetTimer(dialog.hwnd(), 1, 20, nullptr);
    EXPECT_EQ(platform::RunModalLoop(dialog.hwnd()), 42u);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
    EXPECT_TRUE(IsWindow(dialog.hwnd()));
}

TEST(WindowCore, ModalLoopEndsWhenItsWindowIsDestroyedFromAnotherThread) {
    TestWindow owner(WS_POPUP | WS_VISIBLE);
    TestWindow dialog(WS_POPUP | WS_VISIBLE, 0, owner.hwnd());
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        DestroyWindow(dialog.hwnd());
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::RunModalLoop(dialog.hwnd()), 0u);
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

TEST(WindowCore, QuitInsideModalLoopReachesTheOuterLoop) {
    TestWindow dialog(WS_POPUP | WS_VISIBLE);
    PostQuitMessage(3);
    EXPECT_EQ(platform::RunModalLoop(dialog.hwnd()), 0u);
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(WindowCore, PaintsIntoAnOffscreenSurfaceWithoutDisplay) {
    cairo_t* seen = nullptr;
    RECT area{};
    TestWindow w(WS_POPUP, 0, nullptr, {0, 0, 40, 30}, [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_PAINT) return std::nullopt;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        seen = platform::DcCairo(dc);
        area = ps.rcPaint;
        if (seen) {
            cairo_set_source_rgb(seen, 1, 0, 0);
            cairo_paint(seen);
        }
        EndPaint(h, &ps);
        EXPECT_EQ(platform::DcCairo(dc), nullptr);
        return 0;
    });
    InvalidateRect(w.hwnd(), nullptr, TRUE);
    PumpFor(30);
    EXPECT_EQ(w.count(WM_PAINT), 0u);  // hidden windows are not painted
    ShowWindow(w.hwnd(), SW_SHOWNA);
    ASSERT_TRUE(PumpUntil([&] { return w.count(WM_PAINT) == 1; }));
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(area.right, 40);
    EXPECT_EQ(area.bottom, 30);
    PumpFor(30);
    EXPECT_EQ(w.count(WM_PAINT), 1u);  // painted once, then valid
    EXPECT_EQ(platform::DcCairo(reinterpret_cast<HDC>(&area)), nullptr);
}

TEST(WindowCore, KeyNamesAndScanCodes) {
    struct Case {
        UINT vk;
        bool ext;
        const wchar_t* name;
    };
    const Case cases[] = {{VK_SPACE, false, L"Space"}, {VK_RETURN, false, L"Enter"}, {VK_LEFT, true, L"Left"},
                          {VK_LEFT, false, L"Num 4"},  {'A', false, L"A"},           {VK_F5, false, L"F5"},
                          {VK_NEXT, true, L"Page Down"}, {VK_OEM_2, false, L"/"},    {VK_NUMLOCK, true, L"Num Lock"}};
    for (const Case& c : cases) {
        UINT scan = MapVirtualKeyW(c.vk, MAPVK_VK_TO_VSC);
        ASSERT_NE(scan, 0u) << c.vk;
        wchar_t buf[259];
        LONG lp = static_cast<LONG>((scan << 16) | (c.ext ? (1u << 24) : 0));
        GetKeyNameTextW(lp, buf, 259);
        EXPECT_STREQ(buf, c.name) << c.vk;
    }
    wchar_t small[3];
    EXPECT_EQ(GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(VK_SPACE, 0) << 16), small, 3), 2);
    EXPECT_STREQ(small, L"Sp");
    EXPECT_EQ(MapVirtualKeyW(0x1E, MAPVK_VSC_TO_VK), static_cast<UINT>('A'));
    EXPECT_EQ(MapVirtualKeyW(VK_OEM_COMMA, MAPVK_VK_TO_CHAR), static_cast<UINT>(','));
}

TEST(WindowCore, BadDropHandlesAreRefused) {
    wchar_t buf[8] = L"x";
    HDROP bogus = reinterpret_cast<HDROP>(buf);
    EXPECT_EQ(DragQueryFileW(bogus, 0xFFFFFFFF, nullptr, 0), 0u);
    EXPECT_EQ(DragQueryFileW(bogus, 0, buf, 8), 0u);
    DragFinish(bogus);
    DragFinish(nullptr);
}

TEST(WindowCore, ReachesAWindowOfAnotherProcess) {
    std::vector<std::string> env = {"MORVANE_WIN_RECEIVER=1"};
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char filter[] = "--gtest_filter=WindowCore.ReceiverProcess";
    char* argv[] = {self, filter, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, self, nullptr, nullptr, argv, envp.data()), 0);
    // The window is announced once made, and again when its property is set.
    HWND h = nullptr;
    for (int i = 0; i < 1000 && !(h && GetPropW(h, L"morvane")); ++i) {
        h = FindWindowW(nullptr, L"ReceiverWnd");
        if (!h || !GetPropW(h, L"morvane")) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WindowHandlePid(h), static_cast<std::uint32_t>(child));
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(GetPropW(h, L"morvane"), reinterpret_cast<HANDLE>(7));
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    EXPECT_EQ(pid, static_cast<DWORD>(child));
    wchar_t cls[32];
    GetClassNameW(h, cls, 32);
    EXPECT_STREQ(cls, L"ReceiverClass");
    char text[] = "S-mp4-MP4.ico";
    COPYDATASTRUCT cds{0, static_cast<DWORD>(std::strlen(text) + 1), text};
    EXPECT_EQ(SendMessageA(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 14 * 1000 + 'S');
    EXPECT_TRUE(PostMessageW(h, WM_CLOSE, 0, 0));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(FindWindowW(nullptr, L"ReceiverWnd"), nullptr);
}
