// The main window among other windows, read back from the X server, with and without a window
// manager: its dialogs open above it and are transient for it, its bars, list and tips stay above
// it in every state and below other programs' windows unless it is on top, what it docks follows
// it through minimise and restore, fitting keeps it on the work area and sizing keeps the
// video's shape.
#include <gtest/gtest.h>
#include <unistd.h>

#include <X11/Xatom.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd.h"
#include "player/play_list/play_list_handler_wnd.h"
#include "player/play_list/play_list_wnd.h"
#include "player/main_window/play_panel_wnd.h"
#include "skinui/tooltip.h"
#include "main_wnd_x.h"
#include "support/clips.h"
#include "support/message_pump.h"
#include "support/x_windows.h"

#include <X11/Xutil.h>  // after the headers that name None

using skinx::At;
using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

bool IsRed(unsigned long p) { return ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60; }
bool IsLight(unsigned long p) { return ((p >> 16) & 0xFF) > 0xB0 && ((p >> 8) & 0xFF) > 0xB0 && (p & 0xFF) > 0xB0; }

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.right > r.left && r.bottom > r.top ? r : RECT{};
}

class StackingX : public skinx::MainWndX {
protected:
    static void SetUpTestSuite() {
        MainWndX::SetUpTestSuite();
        clips_ = new testsupport::TempDir();
        testsupport::ClipOptions red;
        red.colour = "red";
        red.width = 320;
        red.height = 180;
        red.seconds = 60;
        red.audioTracks = 0;
        testsupport::MakeClip(*clips_ / "red.mp4", red);
        testsupport::ClipOptions portrait = red;
        portrait.width = 180;
        portrait.height = 320;
        testsupport::MakeClip(*clips_ / "portrait.mp4", portrait);
    }
    static void TearDownTestSuite() {
        delete clips_;
        clips_ = nullptr;
        MainWndX::TearDownTestSuite();
    }
    void TearDown() override {
        if (other_) XDestroyWindow(dpy_, other_);
        other_ = 0;
        MainWndX::TearDown();
    }

    // The main window playing a clip, with these settings besides.
    void OpenPlaying(const std::string& settings, const char* clip = "red.mp4") {
        UseProgramFolder("[Global]\nbSavePlayInfo=0\nbUseDefWindowInfo=1\n" + settings);
        OpenMain((*clips_ / clip).wstring());
        ASSERT_TRUE(PumpUntil([&] { return w_->bPlayingSeen && w_->playerCtrl.GetVideoWidth() > 0; }, 20000));
        PumpFor(300);
    }
    // Done with this main window: the next round of a test opens another.
    void CloseMain() {
        ::DestroyWindow(Main());
        PumpFor(100);
        delete w_;
        w_ = nullptr;
    }
    ::Window X(HWND h) { return testsupport::XWindowOf(h); }
    RECT Rect(HWND h) {
        RECT rc{};
        ::GetWindowRect(h, &rc);
        return rc;
    }
    HWND Main() { return w_->GetHWND(); }
    HWND Panel() { return w_->pPlayPanel->GetHWND(); }
    HWND Caption() { return w_->pCaption->GetHWND(); }
    HWND List() { return w_->pPlayList->GetHWND(); }
    HWND Handle() { return w_->pPlayList->GetHandler()->GetHWND(); }

    // Brings a bar up with the pointer in its band and waits until the server shows it.
    void ShowBar(HWND bar) {
        RECT rc = Rect(Main());
        const bool panel = bar == Panel();
        Xdo("mousemove " + At(POINT{(rc.left + rc.right) / 2 - 60, panel ? rc.bottom - 10 : rc.top + 10}));
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(bar) && Viewable(bar); }, 10000));
        PumpFor(300);  // the slide has ended
    }
    // Waits until the server stacks the window above the other one.
    bool StaysAbove(HWND upper, ::Window lower) {
        return PumpUntil([&] { return testsupport::StackedAbove(dpy_, X(upper), lower); }, 5000);
    }
    // The satellites above the main window, and the panel seen over the video.
    void ExpectSatellitesAbove(const char* state) {
        SCOPED_TRACE(state);
        ShowBar(Panel());
        EXPECT_TRUE(StaysAbove(Panel(), X(Main())));
        // The panel's own pixels, not the video under it, are what the screen shows.
        EXPECT_LT(testsupport::ShareOfPixels(dpy_, Rect(Panel()), IsRed), 0.2);
        ShowBar(Caption());
        EXPECT_TRUE(StaysAbove(Caption(), X(Main())));
        if (::IsWindowVisible(List())) {
            EXPECT_TRUE(StaysAbove(List(), X(Main())));
        }
    }

    // A window of another program over the left half of the player.
    void OpenOtherProgram() {
        RECT rc = Rect(Main());
        other_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), rc.left - 20, rc.top - 20,
                                     static_cast<unsigned>((rc.right - rc.left) / 2), static_cast<unsigned>(rc.bottom - rc.top + 40),
                                     0, 0, 0x00FF00);
        XStoreName(dpy_, other_, "another program");
        XMapRaised(dpy_, other_);
        XFlush(dpy_);
        ASSERT_TRUE(PumpUntil([&] { return testsupport::OnScreen(dpy_, other_); }));
    }
    // As the user does: activates the other program's window (a window manager raises it).
    void RaiseOtherProgram() {
        if (testsupport::HasWindowManager(dpy_)) {
            XEvent ev{};
            ev.xclient.type = ClientMessage;
            ev.xclient.window = other_;
            ev.xclient.message_type = XInternAtom(dpy_, "_NET_ACTIVE_WINDOW", False);
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = 2;  // from the user
            ev.xclient.data.l[1] = CurrentTime;
            XSendEvent(dpy_, DefaultRootWindow(dpy_), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
        } else {
            XRaiseWindow(dpy_, other_);
        }
        XFlush(dpy_);
    }

    static inline testsupport::TempDir* clips_ = nullptr;
    ::Window other_ = 0;
};

// A dialog of this process on screen that is none of the given windows: the toolkit's own.
::Window ToolkitDialog(Display* dpy, const std::vector<::Window>& known) {
    Atom type = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False), dialog = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (::Window w : testsupport::ClientWindows(dpy)) {
        if (!testsupport::OnScreen(dpy, w) || testsupport::ProcessOf(dpy, w) != static_cast<unsigned long>(getpid()) ||
            std::find(known.begin(), known.end(), w) != known.end())
            continue;
        Atom got = 0, actual = 0;
        int format = 0;
        unsigned long n = 0, left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, w, type, 0, 1, False, XA_ATOM, &actual, &format, &n, &left, &data) == Success && n == 1)
            got = *reinterpret_cast<Atom*>(data);
        if (data) XFree(data);
        if (got == dialog) return w;
    }
    return 0;
}

TEST_F(StackingX, TheOpenDialogOfTheMainMenuOpensAboveThePlayer) {
    // On top while playing (mode 0) and never on top (mode 2).
    for (int mode : {0, 2}) {
        SCOPED_TRACE("top-most mode " + std::to_string(mode));
        OpenPlaying("bScalePlayWnd=0\nnTopMostMode=" + std::to_string(mode) + "\n");
        ShowBar(Caption());
        auto* menuButton = w_->pCaption->GetPaintManager()->FindControl(L"btnMenu");
        ASSERT_NE(menuButton, nullptr);
        const std::vector<::Window> player = {X(Main()), X(List()), X(Caption()), X(Panel())};
        std::vector<::Window> known = player;
        known.push_back(X(w_->pToolTip->GetHWND()));

        // The toolkit's dialog runs its own loop: a thread of the test looks at it from outside,
        // with a connection of its own, and closes it.
        struct Seen {
            std::atomic<bool> done{false};
            std::vector<std::string> faults;
        } seen;
        std::thread watcher([&] {
            Display* d = XOpenDisplay(nullptr);
            ::Window dlg = 0;
            for (int i = 0; i < 600 && !dlg; ++i) {
                dlg = ToolkitDialog(d, known);
                if (!dlg) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (!dlg) {
                seen.faults.push_back("no dialog opened");
            } else {
                // It must stay there while the window manager and the bars have their time.
                std::this_thread::sleep_for(std::chrono::milliseconds(800));
                const RECT dr = testsupport::ScreenRect(d, dlg);
                for (::Window p : player) {
                    if (!testsupport::OnScreen(d, p)) continue;
                    if (!testsupport::StackedAbove(d, dlg, p)) seen.faults.push_back("stacked below " + std::to_string(p));
                    RECT over = Intersect(dr, testsupport::ScreenRect(d, p));
                    if (over.right > over.left && testsupport::ShareOfPixels(d, over, IsLight) < 0.6)
                        seen.faults.push_back("hidden by " + std::to_string(p));
                }
                ::Window parent = testsupport::TransientFor(d, dlg);
                if (std::find(player.begin(), player.end(), parent) == player.end() || !testsupport::OnScreen(d, parent))
                    seen.faults.push_back("transient for " + std::to_string(parent));
                testsupport::AskToClose(d, dlg);
            }
            XCloseDisplay(d);
            seen.done = true;
        });
        // 打开 › 打开文件... from the caption's main menu, by its keys once it has them.
        HWND keyed = nullptr;
        skinx::Step step([&] {
            HWND f = ::GetForegroundWindow();
            wchar_t cls[32] = {};
            if (f) ::GetClassNameW(f, cls, 32);
            if (!f || std::wstring(cls) != L"WzMenuWnd" || f == keyed || !Viewable(f) || !HasKeyboard(f)) return false;
            keyed = f;
            Xdo("key Down Right Return");
            return true;
        });
        Click(Caption(), menuButton);
        const bool ended = PumpUntil([&] { return seen.done.load() && ::IsWindowEnabled(Main()); }, 40000);
        watcher.join();
        ASSERT_TRUE(ended);
        for (const std::string& f : seen.faults) ADD_FAILURE() << f;
        CloseMain();
    }
}

// The work area as the server tells it: the desktop's less its panels, else the whole screen.
RECT ServerWorkArea(Display* d) {
    RECT out{0, 0, DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
    auto cardinals = [&](const char* name) {
        std::vector<long> v;
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, name, False), 0, 64, False, XA_CARDINAL, &type,
                               &format, &n, &left, &data) == Success && format == 32)
            v.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
        if (data) XFree(data);
        return v;
    };
    const std::vector<long> desk = cardinals("_NET_CURRENT_DESKTOP"), areas = cardinals("_NET_WORKAREA");
    const size_t at = 4 * static_cast<size_t>(desk.empty() ? 0 : desk.front());
    if (areas.size() >= at + 4)
        out = RECT{static_cast<LONG>(areas[at]), static_cast<LONG>(areas[at + 1]),
                   static_cast<LONG>(areas[at + 0] + areas[at + 2]), static_cast<LONG>(areas[at + 1] + areas[at + 3])};
    return out;
}

std::string TextProperty(Display* d, ::Window w, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, left = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, AnyPropertyType, &type, &format, &n, &left,
                           &data) == Success && data && format == 8)
        out.assign(reinterpret_cast<char*>(data), n);
    if (data) XFree(data);
    return out;
}

// WM_NAME as text, whatever encoding the toolkit stored it in.
std::string WmName(Display* d, ::Window w) {
    XTextProperty prop{};
    std::string out;
    if (!XGetWMName(d, w, &prop)) return out;
    char** list = nullptr;
    int n = 0;
    if (Xutf8TextPropertyToTextList(d, &prop, &list, &n) >= Success && list) {
        if (n > 0 && list[0]) out = list[0];
        XFreeStringList(list);
    }
    if (prop.value) XFree(prop.value);
    return out;
}

std::string Show(const RECT& r) {
    return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" + std::to_string(r.left) + "+" +
           std::to_string(r.top);
}

TEST_F(StackingX, TheFileChoosersAreNamedForWhatTheyOpenAndStayOnTheWorkArea) {
    // Under a window manager a panel along the bottom takes its band from the work area, where the
    // chooser went past the screen's edge.
    ::Window panel = 0;
    if (testsupport::HasWindowManager(dpy_)) {
        const RECT before = ServerWorkArea(dpy_);
        const int sw = DisplayWidth(dpy_, DefaultScreen(dpy_)), sh = DisplayHeight(dpy_, DefaultScreen(dpy_));
        panel = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, sh - 40, static_cast<unsigned>(sw), 40, 0, 0, 0x303030);
        Atom dock = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(dpy_, panel, XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&dock), 1);
        long strut[12] = {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, sw - 1};
        XChangeProperty(dpy_, panel, XInternAtom(dpy_, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(strut), 12);
        XChangeProperty(dpy_, panel, XInternAtom(dpy_, "_NET_WM_STRUT", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(strut), 4);
        XMapWindow(dpy_, panel);
        XFlush(dpy_);
        ASSERT_TRUE(PumpUntil([&] { return ServerWorkArea(dpy_).bottom <= before.bottom - 40; }, 20000));
    }
    struct PanelGone {
        Display* d;
        ::Window w;
        ~PanelGone() {
            if (w) XDestroyWindow(d, w);
            XFlush(d);
        }
    } panelGone{dpy_, panel};

    OpenPlaying("bScalePlayWnd=0\n");
    const RECT work = ServerWorkArea(dpy_);
    struct Case {
        const char* what;
        const char* title;
        POINT mainAt;  // where the main window's top-left goes first; {-1, -1} leaves it
        std::function<void()> open;
    };
    const LONG mw = Rect(Main()).right - Rect(Main()).left, mh = Rect(Main()).bottom - Rect(Main()).top;
    const std::vector<Case> cases = {
        {"Ctrl+O", "打开文件", {-1, -1}, [&] { Xdo("key ctrl+o"); }},
        // Centred on a window low at the right, the chooser went past the screen's corner.
        {"Ctrl+O with the player low at the right", "打开文件", {work.right - mw / 2, work.bottom - mh / 3},
         [&] { Xdo("key ctrl+o"); }},
        {"subtitle by the menu", "手动载入字幕", {work.left + 20, work.top + 20}, [&] { w_->LoadSubtitleByDialog(); }},
        {"files added to the list", "添加文件", {-1, -1}, [&] { w_->pPlayList->AddFilesByDialog(); }},
        {"a folder added to the list", "请选择文件夹！", {-1, -1}, [&] { w_->pPlayList->AddFolderByDialog(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.mainAt.x >= 0) {
            ::SetWindowPos(Main(), nullptr, c.mainAt.x, c.mainAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ASSERT_TRUE(PumpUntil([&] {
                const RECT r = testsupport::ScreenRect(dpy_, X(Main()));
                return r.left == c.mainAt.x && r.top == c.mainAt.y;
            }, 10000));
        }
        const std::vector<::Window> known = {X(Main()), X(List()), X(Caption()), X(Panel()), X(w_->pToolTip->GetHWND())};
        struct Seen {
            std::atomic<bool> done{false};
            std::atomic<bool> stop{false};
            std::string name, netName;
            RECT rect{}, work{};
            bool found = false;
        } seen;
        // The chooser runs the toolkit's own loop: a thread with a connection of its own reads it
        // from the server and closes it, also when the test has given up on it.
        std::thread watcher([&] {
            Display* d = XOpenDisplay(nullptr);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            auto late = [&] { return seen.stop.load() || std::chrono::steady_clock::now() > deadline; };
            ::Window dlg = 0;
            while (!dlg && !late()) {
                dlg = ToolkitDialog(d, known);
                if (!dlg) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (dlg) {
                // Read once it has settled where the window manager (if any) put it.
                RECT last{};
                int same = 0;
                while (same < 4 && !late()) {
                    const RECT r = testsupport::ScreenRect(d, testsupport::FrameOf(d, dlg));
                    same = testsupport::OnScreen(d, dlg) && r.right > r.left && std::memcmp(&r, &last, sizeof r) == 0
                               ? same + 1
                               : 0;
                    last = r;
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                seen.rect = last;
                seen.work = ServerWorkArea(d);
                seen.name = WmName(d, dlg);
                seen.netName = TextProperty(d, dlg, "_NET_WM_NAME");
                seen.found = true;
                // Closed as the window manager's button does, again until it has gone.
                for (int i = 0; i < 100 && testsupport::OnScreen(d, dlg); ++i) {
                    if (i % 10 == 0) testsupport::AskToClose(d, dlg);
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
            } else {
                // Not seen as a dialog: any other window of ours that is open now is closed all the
                // same, so the loop the call runs ends.
                for (::Window w : testsupport::ClientWindows(d))
                    if (testsupport::OnScreen(d, w) && testsupport::ProcessOf(d, w) == static_cast<unsigned long>(getpid()) &&
                        std::find(known.begin(), known.end(), w) == known.end())
                        testsupport::AskToClose(d, w);
            }
            XCloseDisplay(d);
            seen.done = true;
        });
        struct Joined {
            std::thread& t;
            Seen& s;
            ~Joined() {
                s.stop = true;
                if (t.joinable()) t.join();
            }
        } joined{watcher, seen};

        bool opened = false;
        const bool ended = PumpUntil(
            [&] {
                // A key goes to the window with the keyboard; the calls run the dialog right here.
                if (!opened && HasKeyboard(Main())) {
                    opened = true;
                    c.open();
                }
                return seen.done.load() && ::IsWindowEnabled(Main());
            },
            70000);
        ASSERT_TRUE(ended) << "the chooser was " << (seen.found ? "not closed" : "never seen");
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.netName, c.title);
        EXPECT_EQ(seen.name, c.title);
        const RECT& r = seen.rect;
        const RECT& wa = seen.work;
        EXPECT_TRUE(r.left >= wa.left && r.top >= wa.top && r.right <= wa.right && r.bottom <= wa.bottom)
            << "the chooser at " << Show(r) << " on the work area " << Show(wa);
    }
}

TEST_F(StackingX, SatellitesStayAboveTheMainWindowInEveryState) {
    // Never on top (mode 2), and on top while playing (mode 0), which moves the main window into
    // the window manager's upper layer.
    for (int mode : {2, 0}) {
        SCOPED_TRACE("top-most mode " + std::to_string(mode));
        OpenPlaying("bScalePlayWnd=0\nnTopMostMode=" + std::to_string(mode) + "\nbClickedListHandler=0\n");
        ExpectSatellitesAbove("normal");
        ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        ASSERT_TRUE(PumpUntil([&] { return ::IsZoomed(Main()); }));
        ExpectSatellitesAbove("maximised");
        ::SendMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
        w_->SetFullScreen(true);
        ExpectSatellitesAbove("full screen");
        w_->SetFullScreen(false);
        ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_TRUE(PumpUntil([&] { return !Viewable(Main()) || ::IsIconic(Main()); }));
        ::ShowWindow(Main(), SW_RESTORE);
        ExpectSatellitesAbove("minimised and restored");
        // A second start raises the running player.
        HandOverToRunningInstance(Main(), nullptr, nullptr);
        ExpectSatellitesAbove("raised by a second start");
        CloseMain();
    }
}

TEST_F(StackingX, OtherProgramsCoverThePlayerUnlessItIsOnTop) {
    for (int mode : {2, 1}) {
        SCOPED_TRACE("top-most mode " + std::to_string(mode));
        OpenPlaying("bScalePlayWnd=0\nnTopMostMode=" + std::to_string(mode) + "\n");
        w_->ApplyStartZOrder();
        ShowBar(Panel());
        w_->ShowTip(L"tip");
        // Up before the other program comes: nothing of ours is shown after it to lift them.
        ASSERT_TRUE(PumpUntil([&] { return Viewable(w_->pToolTip->GetHWND()); }));
        OpenOtherProgram();
        RaiseOtherProgram();
        PumpFor(300);
        for (HWND h : {Main(), Panel(), w_->pToolTip->GetHWND()}) {
            wchar_t name[64] = {};
            ::GetWindowTextW(h, name, 64);
            if (mode == 1) {
                EXPECT_TRUE(StaysAbove(h, other_)) << std::wstring(name);
            } else {
                EXPECT_TRUE(PumpUntil([&] { return testsupport::StackedAbove(dpy_, other_, X(h)); }, 5000)) << std::wstring(name);
            }
        }
        if (mode == 2) {
            // A hint coming up over there does not lift the player back over the other program.
            HWND tip = w_->pToolTip->GetHWND();
            ::ShowWindow(tip, SW_HIDE);
            ASSERT_TRUE(PumpUntil([&] { return !Viewable(tip); }));
            w_->ShowTip(L"another hint");
            ASSERT_TRUE(PumpUntil([&] { return Viewable(tip); }));
            PumpFor(300);
            EXPECT_TRUE(testsupport::StackedAbove(dpy_, other_, X(Main())));
            EXPECT_TRUE(testsupport::StackedAbove(dpy_, other_, X(Panel())));
        }
        XDestroyWindow(dpy_, other_);
        other_ = 0;
        CloseMain();
    }
}

TEST_F(StackingX, DockedWindowsFollowMinimiseAndRestore) {
    OpenPlaying("bScalePlayWnd=0\nnTopMostMode=2\nbClickedListHandler=0\n");
    ASSERT_TRUE(PumpUntil([&] { return Viewable(List()) && Viewable(Handle()); }));
    // The caption's minimise button with its tip up: the click minimises, and the tip goes too.
    ShowBar(Caption());
    auto* minButton = w_->pCaption->GetPaintManager()->FindControl(L"Minbtn");
    ASSERT_NE(minButton, nullptr);
    Xdo("mousemove " + At(skinx::CentreOf(Caption(), minButton)));
    skinui::CWzToolTip* tip = skinui::GetControlToolTip();
    ASSERT_TRUE(PumpUntil([&] { tip = skinui::GetControlToolTip(); return tip && tip->IsShown() && Viewable(tip->GetHWND()); }));
    EXPECT_EQ(std::wstring(tip->GetText()), L"最小化");
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return ::IsIconic(Main()); }));
    EXPECT_FALSE(tip->IsShown());
    for (HWND h : {Caption(), Panel(), List(), Handle(), tip->GetHWND()})
        EXPECT_TRUE(PumpUntil([&] { return !Viewable(h); }, 2000)) << "still on screen after the minimise";

    // Restored, as a second start does: the list at the right edge, its handle beside its left edge.
    HandOverToRunningInstance(Main(), nullptr, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !::IsIconic(Main()) && Viewable(Main()) && Viewable(List()); }));
    // The list docks again as the main window comes back: the pointer follows it there.
    POINT aim{};
    ASSERT_TRUE(PumpUntil([&] {
        const POINT at{Rect(List()).left - 3, (Rect(List()).top + Rect(List()).bottom) / 2};
        if (at.x != aim.x || at.y != aim.y) Xdo("mousemove " + At(aim = at));
        RECT m = testsupport::ScreenRect(dpy_, X(Main())), l = testsupport::ScreenRect(dpy_, X(List())),
             h = testsupport::ScreenRect(dpy_, X(Handle()));
        return Viewable(Handle()) && l.right == m.right && l.top == m.top + 30 && h.right == l.left && h.top == l.top;
    })) << "handle at " << testsupport::ScreenRect(dpy_, X(Handle())).left << " (" << Rect(Handle()).left
        << " to the player), list at " << testsupport::ScreenRect(dpy_, X(List())).left << " (" << Rect(List()).left
        << "), handle shown " << Viewable(Handle());
}

TEST_F(StackingX, FittingAPortraitVideoKeepsTheWindowOnTheWorkArea) {
    UseProgramFolder("[Global]\nbSavePlayInfo=0\nbUseDefWindowInfo=0\nbScalePlayWnd=1\nnTopMostMode=2\n"
                     "[Window]\nbIsZoomed=0\nx0=500\ny0=338\ncx=562\ncy=316\n");
    OpenMain((*clips_ / "portrait.mp4").wstring());
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromWindow(Main(), MONITOR_DEFAULTTONEAREST), &mi);
    const RECT work = mi.rcWork;
    auto onWork = [&](const RECT& r) {
        return r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom;
    };
    // Fitted to 9:16 (taller than before), and all of it on the work area as the server shows it.
    ASSERT_TRUE(PumpUntil([&] {
        RECT r = testsupport::ScreenRect(dpy_, X(Main()));
        return w_->bPlayingSeen && r.bottom - r.top > 316 && onWork(r);
    }, 20000)) << "window at " << Rect(Main()).top << " to " << Rect(Main()).bottom;
    RECT r = Rect(Main());
    EXPECT_NEAR(static_cast<double>(r.right - r.left) / (r.bottom - r.top), 180.0 / 320.0, 0.01);
    for (HWND h : {Caption(), Panel()}) EXPECT_TRUE(onWork(testsupport::ScreenRect(dpy_, X(h))));
}

TEST_F(StackingX, SizingFromTheCornerKeepsTheVideosShape) {
    OpenPlaying("nTopMostMode=2\nbScalePlayWnd=1\n");
    HWND m = Main();
    ASSERT_TRUE(PumpUntil([&] {
        RECT r = Rect(m);
        return std::abs((r.right - r.left) * 9 - (r.bottom - r.top) * 16) < 16 * 2;
    }));
    PumpFor(300);
    RECT before = testsupport::ScreenRect(dpy_, X(m));
    // The bottom right corner, 2 pixels in, dragged right and a little down.
    POINT corner{before.right - 2, before.bottom - 2};
    Drag({corner, POINT{corner.x + 60, corner.y + 10}, POINT{corner.x + 120, corner.y + 20},
          POINT{corner.x + 160, corner.y + 20}});
    ASSERT_TRUE(PumpUntil([&] { return testsupport::ScreenRect(dpy_, X(m)).right > before.right + 100; }))
        << "the drag did not size the window";
    PumpFor(500);
    RECT after = testsupport::ScreenRect(dpy_, X(m));
    EXPECT_NEAR(static_cast<double>(after.right - after.left) / (after.bottom - after.top), 16.0 / 9.0, 0.02)
        << (after.right - after.left) << " x " << (after.bottom - after.top);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);

    // With the logo back (nothing playing) the window sizes freely.
    w_->Stop();
    PumpFor(300);
    before = testsupport::ScreenRect(dpy_, X(m));
    corner = POINT{before.right - 2, before.bottom - 2};
    Drag({corner, POINT{corner.x + 40, corner.y}, POINT{corner.x + 80, corner.y}, POINT{corner.x + 100, corner.y}});
    ASSERT_TRUE(PumpUntil([&] { return testsupport::ScreenRect(dpy_, X(m)).right > before.right + 60; }));
    PumpFor(500);
    after = testsupport::ScreenRect(dpy_, X(m));
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(StackingX, AMoveHidesTheToolTip) {
    OpenPlaying("bScalePlayWnd=0\nnTopMostMode=2\n");
    w_->ShowTip(L"Moving");
    ASSERT_TRUE(PumpUntil([&] { return w_->pToolTip->IsShown() && Viewable(w_->pToolTip->GetHWND()); }));
    RECT rc = Rect(Main());
    ::SetWindowPos(Main(), nullptr, rc.left + 30, rc.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(w_->pToolTip->IsShown());
    EXPECT_TRUE(PumpUntil([&] { return !Viewable(w_->pToolTip->GetHWND()); }, 2000));
}

}  // namespace
