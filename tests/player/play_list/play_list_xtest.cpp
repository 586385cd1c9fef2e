// The play-list window under Xvfb, docked at a stand-in main window: a folder of clips becomes a
// group in natural order, a double click plays a row, a drag moves it, the handle slides the
// list out and back, the list with its groups is back after a restart, and a long stored list
// fills in steps of the window's own timer.
#include <filesystem>
#include <atomic>
#include <memory>
#include <thread>

#include "player/play_list/play_list_handler_wnd.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"
#include "../skin_window/skin_x.h"
#include "support/clips.h"
#include "support/message_pump.h"
#include "support/temp_dir.h"
#include "support/test_window.h"
#include "support/x_windows.h"
#include "support/xdnd.h"

namespace fs = std::filesystem;
using skinx::At;
using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

// The main window's side: playing a path comes back into the list, as in the player.
struct Owner : IPlayListOwner {
    HWND main = nullptr;
    CPlayListWnd* wnd = nullptr;
    std::vector<std::wstring> played, tips;
    bool justShown = false;
    std::vector<HWND> children;
    HWND GetOwnerWindow() const override { return main; }
    void PlayFile(const std::wstring& path) override {
        played.push_back(path);
        wnd->SetCurrentItem(path, 0);
    }
    void ShowTip(const std::wstring& text) override { tips.push_back(text); }
    void EnablePlayNext(bool) override {}
    bool HasMediaPlayer() const override { return false; }
    void ClearCurrentPath() override {}
    void ShowFileInfo(const std::wstring&) override {}
    bool IsListJustShown() const override { return justShown; }
    void SetListJustShown(bool shown) override { justShown = shown; }
    void AddChildWindow(HWND hwnd) override { children.push_back(hwnd); }
    std::vector<HWND> GetInputWindows() const override { return {}; }
};

class PlayListX : public skinx::SkinX {
protected:
    void SetUp() override {
        SkinX::SetUp();
        g_SysConfig.SetConfigPath((dir_ / "user.cfg").wstring());
        g_SysConfig.SetPlayListPath((dir_ / "PlayList.info").wstring());
        g_SysConfig.mapPlayList.clear();
        g_SysConfig.nListWndWidth = 226;
        g_SysConfig.bClickedListHandler = 0;
        g_SysConfig.bAddSimilarFile = 0;
        g_SysConfig.nPlayOrder = 2;
        main_ = std::make_unique<testsupport::TestWindow>(WS_POPUP | WS_VISIBLE, 0, nullptr, RECT{100, 100, 900, 600});
        owner_.main = main_->hwnd();
        WaitShown(main_->hwnd());
        OpenList();
    }
    void TearDown() override {
        CloseList();
        main_.reset();
        SkinX::TearDown();
    }
    void OpenList(size_t fillStepRows = 0) {
        list_ = new CPlayListWnd(&owner_);
        list_->SetFillStepRows(fillStepRows);
        owner_.wnd = list_;
        ASSERT_TRUE(list_->Create(main_->hwnd(), L"WzPlayList", WS_VISIBLE, WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES));
        rowsAtCreate_ = list_->GetList()->GetCount();
        ::ShowWindow(list_->GetHWND(), SW_SHOWNOACTIVATE);
        list_->FollowOwner();
        WaitShown(list_->GetHWND());
    }
    // Records in groups of 50 into the settings store (the files need not exist: missing ones
    // are marked invalid).
    void StoreLongList(int records) {
        g_SysConfig.mapPlayList.clear();
        for (int i = 0; i < records; ++i) {
            _tagMediaInfo r;
            r.strGroup = L"S" + std::to_wstring(i / 50);
            r.strFilePath = W(dir_ / "long") + L"/" + r.strGroup + L"/e" + std::to_wstring(i % 50) + L".mkv";
            g_SysConfig.mapPlayList.emplace(static_cast<size_t>(i + 1), r);
        }
    }
    void CloseList() {
        if (!list_) return;
        HWND h = list_->GetHWND();
        delete list_;
        list_ = nullptr;
        if (::IsWindow(h)) ::DestroyWindow(h);
        PumpFor(50);
    }
    std::string Rows() {
        std::string out;
        CPlayListUI* l = list_->GetList();
        for (int i = 0; i < l->GetCount(); ++i) {
            if (!out.empty()) out += " ";
            if (CPlayListItemUI* row = l->GetItemUIAt(i)) out += skinui::CDuiString(row->GetItemData()->strFileName).ToUtf8();
            else out += "[" + static_cast<CPlayListGroupUI*>(l->GetItemAt(i))->GetGroupName().ToUtf8() + "]";
        }
        return out;
    }
    POINT RowCentre(int i) { return skinx::CentreOf(list_->GetHWND(), list_->GetList()->GetItemAt(i)); }
    static std::wstring W(const fs::path& p) { return skinui::CDuiString::FromUtf8(p.string()); }
    // The menu just closed has left the screen: the next click reaches the list.
    void WaitListUnderPointer() {
        ASSERT_TRUE(PumpUntil([&] {
            POINT pt{};
            ::GetCursorPos(&pt);
            return testsupport::ShownAt(dpy_, testsupport::XWindowOf(list_->GetHWND()), pt.x, pt.y);
        }, 5000));
    }
    void Screenshot(const char* name) {
        std::system(("import -window root " + (fs::path(MORVANE_BIN_DIR).parent_path() / name).string() + " 2>/dev/null").c_str());
    }

    testsupport::TempDir dir_;
    std::unique_ptr<testsupport::TestWindow> main_;
    Owner owner_;
    CPlayListWnd* list_ = nullptr;
    int rowsAtCreate_ = -1;
};

TEST_F(PlayListX, DockedFolderGroupDoubleClickDragAndRestart) {
    fs::create_directories(dir_ / "Show");
    for (const char* n : {"Ep10.mp4", "Ep2.mp4", "Ep1.mp4"}) testsupport::MakeVideoClip(dir_ / "Show" / n, 1.0);
    // Docked at the main window's right edge, 30 below its top, 74 shorter.
    RECT m{}, l{};
    ::GetWindowRect(main_->hwnd(), &m);
    ::GetWindowRect(list_->GetHWND(), &l);
    EXPECT_EQ(l.right, m.right);
    EXPECT_EQ(l.top, m.top + 30);
    EXPECT_EQ(l.bottom - l.top, (m.bottom - m.top) - 74);
    EXPECT_EQ(l.right - l.left, 226);
    ASSERT_NE(list_->GetHandler(), nullptr);
    EXPECT_EQ(owner_.children, std::vector<HWND>{list_->GetHandler()->GetHWND()});

    EXPECT_EQ(list_->AddFolderAsGroup(W(dir_ / "Show")), 3);
    EXPECT_EQ(Rows(), "[Show] Ep1.mp4 Ep2.mp4 Ep10.mp4");
    PumpFor(100);
    Screenshot("play_list_xtest.png");

    // A click selects the row (and brings the input to the list); a double click plays it.
    Xdo("mousemove " + At(RowCentre(2)));
    PumpFor(80);
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return list_->GetList()->GetCurSel() == 2; }, 5000));
    PumpFor(600);  // the next press starts a double click of its own
    Xdo("click --repeat 2 --delay 60 1");
    ASSERT_TRUE(PumpUntil([&] { return !owner_.played.empty(); }, 10000));
    EXPECT_EQ(owner_.played.back(), W(dir_ / "Show" / "Ep2.mp4"));
    EXPECT_EQ(list_->GetCurrentPath(), W(dir_ / "Show" / "Ep2.mp4"));
    // The end of it plays the next by the order.
    list_->PlayNextByOrder(g_SysConfig.nPlayOrder);
    EXPECT_EQ(owner_.played.back(), W(dir_ / "Show" / "Ep10.mp4"));

    // Dragging Ep10 onto Ep1 moves it there, within its group, and saves the list.
    POINT from = RowCentre(3), to = RowCentre(1);
    Xdo("mousemove " + At(from));
    PumpFor(80);
    Xdo("mousedown 1");
    PumpFor(80);
    Xdo("mousemove " + std::to_string(to.x) + " " + std::to_string((from.y + to.y) / 2));
    PumpFor(80);
    Xdo("mousemove " + At(to));
    PumpFor(80);
    Xdo("mouseup 1");
    ASSERT_TRUE(PumpUntil([&] { return Rows() == "[Show] Ep10.mp4 Ep1.mp4 Ep2.mp4"; }, 5000)) << Rows();
    EXPECT_EQ(g_SysConfig.mapPlayList[L"file1"].strFilePath, W(dir_ / "Show" / "Ep10.mp4"));

    // After a restart the list and its group are back.
    CloseList();
    g_SysConfig.mapPlayList.clear();
    g_SysConfig.LoadPlayList();
    OpenList();
    EXPECT_EQ(Rows(), "[Show] Ep10.mp4 Ep1.mp4 Ep2.mp4");
    EXPECT_TRUE(list_->GetList()->HasGroup(L"Show"));

    // Docking and starting never change the stored width; a new width is kept.
    RECT after{};
    ::GetWindowRect(list_->GetHWND(), &after);
    EXPECT_EQ(after.right - after.left, 226);
    EXPECT_EQ(g_SysConfig.iniConfig.ReadInt(L"Global", L"nListWndWidth", -1), -1);
    ::SetWindowPos(main_->hwnd(), nullptr, 100, 100, 900, 560, SWP_NOZORDER | SWP_NOACTIVATE);
    list_->FollowOwner();
    PumpFor(100);
    EXPECT_EQ(g_SysConfig.iniConfig.ReadInt(L"Global", L"nListWndWidth", -1), -1);
    ::SetWindowPos(list_->GetHWND(), nullptr, 0, 0, 300, after.bottom - after.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.iniConfig.ReadInt(L"Global", L"nListWndWidth", -1) == 300; }, 5000));
}

TEST_F(PlayListX, HandleSlidesTheListOutAndBack) {
    CPlayListHandlerWnd* handler = list_->GetHandler();
    ASSERT_NE(handler, nullptr);
    HWND h = handler->GetHWND(), l = list_->GetHWND();
    // Docked at the list's left edge, as tall as the list.
    ASSERT_TRUE(PumpUntil([&] { return Viewable(h); }, 5000));
    RECT hr{}, lr{};
    ::GetWindowRect(h, &hr);
    ::GetWindowRect(l, &lr);
    EXPECT_EQ(hr.right, lr.left);
    EXPECT_EQ(hr.top, lr.top);
    auto button = handler->GetPaintManager()->FindControl(L"Handler_expand");
    ASSERT_NE(button, nullptr);

    Click(h, button);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(l); }, 5000));
    EXPECT_EQ(g_SysConfig.bClickedListHandler, 1);
    EXPECT_EQ(g_SysConfig.iniConfig.ReadInt(L"Global", L"bClickedListHandler", 0), 1);
    ASSERT_EQ(owner_.tips.size(), 1u);
    EXPECT_EQ(owner_.tips[0], L"下次启动时不会主动显示播放列表喽");
    // The strip now sits at the main window's right edge and stays while the cursor is near.
    ASSERT_TRUE(PumpUntil([&] {
        RECT r{}, m{};
        ::GetWindowRect(h, &r);
        ::GetWindowRect(main_->hwnd(), &m);
        return r.right == m.right && Viewable(h);
    }, 5000));
    EXPECT_NE(::GetActiveWindow(), h);

    Click(h, button);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(l) != FALSE; }, 5000));
    EXPECT_EQ(owner_.tips.size(), 1u);  // the tip comes once
    // The strip docks at the list again before it is clicked there.
    ASSERT_TRUE(PumpUntil([&] {
        RECT r{}, lst{};
        ::GetWindowRect(h, &r);
        ::GetWindowRect(l, &lst);
        return r.right == lst.left && Viewable(h);
    }, 5000));

    // With the list hidden and the cursor in the middle of the main window, the strip goes.
    Click(h, button);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(l); }, 5000));
    Xdo("mousemove 300 350");
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(h); }, 5000));
    // In the right third, between the quarters, it comes back.
    Xdo("mousemove 850 350");
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(h) != FALSE; }, 5000));
}

// The strip looks at the pointer only when something changed: a move over our windows, one of
// them shown or moved. Beside the hidden list it also notices the pointer leaving for a place
// where we hear nothing of it: away from all our windows, or over another program's window.
TEST_F(PlayListX, HandleStripFollowsThePointerAwayAndSleepsWhileNothingChanges) {
    CPlayListHandlerWnd* handler = list_->GetHandler();
    ASSERT_NE(handler, nullptr);
    HWND h = handler->GetHWND(), l = list_->GetHWND();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(h); }, 5000));
    // Beside the shown list nothing makes it look again.
    ASSERT_TRUE(PumpUntil([&] { return handler->CheckPeriod() == 0; }, 5000));
    // Moved with the list, it docks there again.
    ::SetWindowPos(main_->hwnd(), nullptr, 150, 120, 800, 500, SWP_NOZORDER | SWP_NOACTIVATE);
    list_->FollowOwner();
    ASSERT_TRUE(PumpUntil([&] {
        RECT r{}, lst{};
        ::GetWindowRect(h, &r);
        ::GetWindowRect(l, &lst);
        return lst.left == 724 && r.right == lst.left && Viewable(h);
    }, 5000));
    ::SetWindowPos(main_->hwnd(), nullptr, 100, 100, 800, 500, SWP_NOZORDER | SWP_NOACTIVATE);
    list_->FollowOwner();

    auto button = handler->GetPaintManager()->FindControl(L"Handler_expand");
    Click(h, button);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(l); }, 5000));
    ASSERT_TRUE(PumpUntil([&] {
        RECT r{};
        ::GetWindowRect(h, &r);
        return r.right == 900 && Viewable(h);
    }, 5000)) << "the strip ends at " << [&] { RECT r{}; ::GetWindowRect(h, &r); return r.right; }()
              << ", on the server at " << testsupport::ScreenRect(dpy_, testsupport::XWindowOf(h)).right
              << (Viewable(h) ? ", mapped" : ", not mapped") << (::IsWindowVisible(h) ? ", shown" : ", hidden");

    // Out of the zone to a place outside all our windows: the strip goes and stops looking.
    Xdo("mousemove 1400 900");
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(h); }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return handler->CheckPeriod() == 0; }, 5000));
    Xdo("mousemove 850 350");
    ASSERT_TRUE(PumpUntil([&] { return Viewable(h); }, 5000));

    // Another program's window comes over the main window: the pointer leaves the zone over it,
    // and we hear nothing of that move.
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.background_pixel = 0x00FF00;
    ::Window other = XCreateWindow(dpy_, DefaultRootWindow(dpy_), 80, 80, 840, 540, 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWOverrideRedirect | CWBackPixel, &attrs);
    XMapRaised(dpy_, other);
    XSync(dpy_, False);
    ASSERT_TRUE(PumpUntil([&] {
        ::Window root = 0, child = 0;
        int rx, ry, wx, wy;
        unsigned mask;
        return testsupport::OnScreen(dpy_, other) &&
               XQueryPointer(dpy_, DefaultRootWindow(dpy_), &root, &child, &rx, &ry, &wx, &wy, &mask) && child == other;
    }, 5000));
    // Past the look that the pointer's leaving our windows brought: the strip stays, the pointer
    // being in the zone still.
    PumpFor(400);
    EXPECT_TRUE(::IsWindowVisible(h));
    Xdo("mousemove 300 350");
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(h); }, 5000));
    XDestroyWindow(dpy_, other);
    XSync(dpy_, False);
}

}  // namespace

namespace {

TEST_F(PlayListX, ContextMenuAndPlayOrderMenuAct) {
    fs::create_directories(dir_ / "m");
    std::wstring a = W(testsupport::MakeVideoClip(dir_ / "m" / "a.mp4", 1.0));
    std::wstring b = W(testsupport::MakeVideoClip(dir_ / "m" / "b.mp4", 1.0));
    list_->AddFile(a);
    list_->AddFile(b);
    PumpFor(100);
    HWND listWnd = list_->GetHWND();
    // Once a menu window has the keys, walk it with them.
    auto keysToMenu = [this, listWnd](std::string keys) {
        return [this, listWnd, keys] {
            HWND f = ::GetForegroundWindow();
            if (!f || f == listWnd || f == main_->hwnd() || !Viewable(f) || !HasKeyboard(f)) return false;
            Xdo("key " + keys);
            return true;
        };
    };

    // Select b, then its context menu's "play" (the second item) plays it.
    Xdo("mousemove " + At(RowCentre(1)));
    PumpFor(80);
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return list_->GetList()->GetCurSel() == 1; }, 5000));
    {
        skinx::Step step(keysToMenu("Down Down Return"));
        Xdo("click 3");
        ASSERT_TRUE(PumpUntil([&] { return !owner_.played.empty(); }, 10000));
        EXPECT_TRUE(step.Done());
    }
    EXPECT_EQ(owner_.played.back(), b);

    // "dele" (the sixth position, after a separator) removes the selected row.
    {
        WaitListUnderPointer();
        skinx::Step step(keysToMenu("Down Down Down Down Down Return"));
        Xdo("click 3");
        ASSERT_TRUE(PumpUntil([&] { return list_->GetList()->GetCount() == 1; }, 10000));
    }
    EXPECT_EQ(list_->GetCurrentRecord(), nullptr);

    // The play-order button's menu: the fourth item is "loop the list".
    {
        WaitListUnderPointer();
        skinx::Step step(keysToMenu("Down Down Down Down Return"));
        Click(listWnd, list_->GetPlayOrderButton());
        ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.nPlayOrder == 3; }, 10000));
    }
    EXPECT_EQ(g_SysConfig.iniConfig.ReadInt(L"Global", L"nPlayOrder", -1), 3);
    EXPECT_EQ(list_->GetPlayOrderButton()->GetNormalImage(), L"file='play_loop.png' source='0,0,24,24'");
    EXPECT_EQ(list_->GetPlayOrderButton()->GetToolTip(), L"循环播放");
}

}  // namespace

namespace {

TEST_F(PlayListX, KeysPlayToggleAndDelete) {
    fs::create_directories(dir_ / "k" / "G");
    std::wstring top = W(testsupport::MakeVideoClip(dir_ / "k" / "top.mp4", 1.0));
    testsupport::MakeVideoClip(dir_ / "k" / "G" / "g1.mp4", 1.0);
    list_->AddFile(top);
    list_->AddFolderAsGroup(W(dir_ / "k" / "G"));
    PumpFor(100);
    EXPECT_EQ(Rows(), "top.mp4 [G] g1.mp4");
    HWND listWnd = list_->GetHWND();
    Xdo("mousemove " + At(RowCentre(0)));
    PumpFor(80);
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return list_->GetList()->GetCurSel() == 0 && HasKeyboard(listWnd); }, 5000));
    // Return plays the selected file; Down moves to the header, whose Return folds the group.
    Xdo("key Return");
    ASSERT_TRUE(PumpUntil([&] { return !owner_.played.empty(); }, 5000));
    EXPECT_EQ(owner_.played.back(), top);
    Xdo("key Down");
    ASSERT_TRUE(PumpUntil([&] { return list_->GetList()->GetCurSel() == 1; }, 5000));
    Xdo("key Return");
    ASSERT_TRUE(PumpUntil([&] { return !list_->GetList()->GetItemAt(2)->IsVisible(); }, 5000));
    // Delete removes the header with its rows.
    Xdo("key Delete");
    ASSERT_TRUE(PumpUntil([&] { return Rows() == "top.mp4"; }, 5000)) << Rows();
    EXPECT_FALSE(list_->GetList()->HasGroup(L"G"));
    EXPECT_EQ(g_SysConfig.mapPlayList.size(), 1u);
}

}  // namespace

namespace {

TEST_F(PlayListX, DroppedFolderAndFilesLandInTheList) {
    fs::create_directories(dir_ / "drop" / "Season");
    fs::path one = testsupport::MakeVideoClip(dir_ / "drop" / "one.mp4", 1.0);
    testsupport::MakeVideoClip(dir_ / "drop" / "Season" / "s02.mp4", 1.0);
    testsupport::MakeVideoClip(dir_ / "drop" / "Season" / "s1.mp4", 1.0);
    const std::string cwd = fs::current_path().string();
    RECT lr{};
    ::GetWindowRect(list_->GetHWND(), &lr);  // the drop protocol speaks in screen points
    // The drop source waits for this process's answers, so it runs beside the message loop.
    std::atomic<int> dropped{-1};
    std::thread source([&, x11 = platform::GetX11WindowId(list_->GetHWND()), x = (lr.left + lr.right) / 2, y = lr.top + 200] {
        dropped = testsupport::XdndDrop(x11, x, y,
                                        "file://" + (dir_ / "drop" / "Season").string() + "\r\nfile://" + one.string() + "\r\n");
    });
    PumpUntil([&] { return dropped >= 0; }, 20000);
    source.join();
    ASSERT_EQ(dropped, 1);
    ASSERT_TRUE(PumpUntil([&] { return list_->GetList()->GetCount() == 4; }, 10000)) << Rows();
    EXPECT_EQ(Rows(), "[Season] s1.mp4 s02.mp4 one.mp4");
    EXPECT_EQ(owner_.tips.back(), L"共添加3个文件到列表");
    EXPECT_TRUE(owner_.played.empty());  // a drop on the list itself plays nothing
    EXPECT_EQ(fs::current_path().string(), cwd);
    EXPECT_EQ(g_SysConfig.mapPlayList.size(), 3u);
}

}  // namespace

namespace {

// The wheel moves the rows under a still pointer: the tip of the row that was there goes, and
// the tip that comes names the row under the pointer now.
TEST_F(PlayListX, TheTipAfterTheWheelNamesTheRowUnderThePointer) {
    CloseList();
    g_SysConfig.mapPlayList.clear();
    for (int i = 0; i < 520; ++i) {
        _tagMediaInfo r;
        wchar_t name[32];
        swprintf(name, 32, L"file%03d.mp4", i);
        r.strFilePath = W(dir_ / "many") + L"/" + name;
        g_SysConfig.mapPlayList[L"file" + std::to_wstring(i + 1)] = r;
    }
    OpenList();
    ASSERT_TRUE(PumpUntil([&] { return !list_->IsFilling(); }, 20000));
    CPlayListUI* l = list_->GetList();
    // The row whose rectangle holds the pointer, by its tip text.
    auto underPointer = [&]() -> std::wstring {
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(list_->GetHWND(), &pt);
        for (int i = 0; i < l->GetCount(); ++i) {
            CPlayListItemUI* row = l->GetItemUIAt(i);
            if (!row || !row->IsVisible()) continue;
            RECT rc = row->GetPos();
            if (pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom) return std::wstring(row->GetToolTip());
        }
        return L"";
    };
    auto tipText = [] {
        skinui::CWzToolTip* tip = skinui::GetControlToolTip();
        return tip && tip->IsShown() ? std::wstring(tip->GetText()) : std::wstring();
    };
    Xdo("mousemove " + skinx::At(RowCentre(3)));
    std::wstring first;
    ASSERT_TRUE(PumpUntil([&] {
        first = underPointer();
        return !first.empty() && tipText() == first;
    }, 10000)) << skinui::CDuiString(tipText()).ToUtf8();
    Xdo("click --repeat 8 --delay 30 5");
    ASSERT_TRUE(PumpUntil([&] { return !underPointer().empty() && underPointer() != first; }, 10000));
    EXPECT_NE(tipText(), first) << "the tip of the row scrolled away stays";
    ASSERT_TRUE(PumpUntil([&] {
        const std::wstring now = underPointer();
        return !now.empty() && now != first && tipText() == now;
    }, 10000)) << skinui::CDuiString(tipText()).ToUtf8() << " over " << skinui::CDuiString(underPointer()).ToUtf8();
}

TEST_F(PlayListX, ALongStoredListFillsByTheWindowsTimer) {
    CloseList();
    StoreLongList(1000);
    const std::wstring cur = g_SysConfig.mapPlayList[L"file777"].strFilePath;
    g_SysConfig.iniPlayList.WriteString(L"CurPlay", L"strFilePath", cur.c_str());
    OpenList(100);
    // The window was made with the first rows; the rest came while it ran its messages.
    EXPECT_EQ(rowsAtCreate_, 102);
    ASSERT_TRUE(PumpUntil([&] { return !list_->IsFilling(); }, 20000));
    EXPECT_EQ(list_->GetList()->GetCount(), 1020);
    // [CurPlay] is selected once its row came, as after a plain load.
    EXPECT_EQ(list_->GetSelectedPath(), cur);
    EXPECT_EQ(list_->GetList()->GetItemIndex(list_->GetList()->FindItemUIByPath(cur)), list_->GetList()->GetCurSel());

    // An add saves the list after the messages already queued (a play asked for before it); the
    // settings store takes the new layout in that step, together with the write.
    auto written = [] { return !g_SysConfig.iniPlayList.ReadString(L"file1001", L"strFilePath", L"").empty(); };
    bool ranFirst = false;
    main_->setHook([&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_APP + 7) ranFirst = !written();
        return std::nullopt;
    });
    ::PostMessageW(main_->hwnd(), WM_APP + 7, 0, 0);
    list_->AddFile(W(dir_ / "long" / "extra.mkv"));
    EXPECT_EQ(g_SysConfig.mapPlayList.size(), 1000u);
    EXPECT_FALSE(written());
    const bool saved = PumpUntil(written, 5000);
    main_->setHook(nullptr);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(ranFirst);
    EXPECT_EQ(g_SysConfig.mapPlayList.size(), 1001u);
}

TEST_F(PlayListX, AListStillBeingReadArrivesWhileTheWindowRuns) {
    CloseList();
    StoreLongList(20000);
    const std::wstring cur = g_SysConfig.mapPlayList[L"file19999"].strFilePath;
    ASSERT_TRUE(g_SysConfig.SavePlayList(cur));
    ASSERT_TRUE(g_SysConfig.FlushPlayList());
    g_SysConfig.mapPlayList.clear();
    // What the start does: the file is read on the settings store's thread while the windows
    // are made; the list window shows at once and gets its rows when the read is done.
    g_SysConfig.BeginLoadPlayList();
    OpenList(500);
    EXPECT_LE(rowsAtCreate_, 20400);
    ASSERT_TRUE(PumpUntil([&] { return !list_->IsFilling(); }, 60000));
    EXPECT_FALSE(g_SysConfig.IsPlayListLoading());
    EXPECT_EQ(list_->GetList()->GetCount(), 20400);
    EXPECT_EQ(list_->GetSelectedPath(), cur);
}

}  // namespace
