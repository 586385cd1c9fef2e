// The bars over the video and the main window's input under Xvfb, in this process, with a real
// clip on libVLC and real input through xdotool: the play panel's buttons, hot keys, the wheel,
// double clicks on the video, the caption's title and the bars sliding away and back.
#include <gtest/gtest.h>
#include <vlc/vlc.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/profile/profile.h"
#include "platform/windows/winuser.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_menu.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_player.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/main_window/rbutton_menu.h"
#include "player/settings/sys_config.h"
#include "../skin_window/skin_x.h"
#include "skinui/container.h"
#include "skinui/controls.h"
#include "skinui/menu.h"
#include "skinui/tooltip.h"
#include "support/clips.h"
#include "support/http_server.h"
#include "support/libvlc_loaded.h"
#include "support/message_pump.h"
#include "support/modal_script.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using skinx::At;
using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

class OverlaysX : public skinx::SkinX {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
        base_ = new testsupport::TempDir();
        fs::create_directories(*base_ / "rt");
        ::chmod((*base_ / "rt").c_str(), 0700);
        setenv("MORVANE_RUNTIME_DIR", (*base_ / "rt").c_str(), 1);
        setenv("MORVANE_REGISTRY_DB", (*base_ / "reg.db").c_str(), 1);
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        // The start-up reports go to a server of this test, never out.
        server_ = new testsupport::HttpServer();
        setenv("MORVANE_STATS_SERVER", server_->url("").c_str(), 1);
        testsupport::ClipOptions o;
        o.seconds = 30.0;
        o.audioTracks = 2;
        o.audioTitles = {"First", "Second"};
        testsupport::MakeClip(*base_ / "Episode.mkv", o);
        testsupport::MakeAudioClip(*base_ / "Song.mp3", 20.0);
        testsupport::ClipOptions subbed;
        subbed.seconds = 30.0;
        subbed.subtitleCues = {"One", "Two", "Three"};
        testsupport::MakeClip(*base_ / "Subbed.mkv", subbed);
    }
    static void TearDownTestSuite() {
        delete server_;
        delete base_;
    }

    void SetUp() override {
        SkinX::SetUp();
        prog_ = std::make_unique<testsupport::TempDir>();
        progEnv_ = std::make_unique<testsupport::ScopedEnv>("MORVANE_PROGRAM_DIR", prog_->path().string());
        prog_->write("user.cfg", "[Global]\nbSavePlayInfo=1\nbScalePlayWnd=0\nnTopMostMode=2\nbUseDefWindowInfo=1\n"
                                 "[Volume]\nnVolume=50\nbMute=0\n");
        g_SysConfig.SetConfigPath((prog_->path() / "user.cfg").wstring());
        g_SysConfig.SetPlayListPath((prog_->path() / "PlayList.info").wstring());
        g_SysConfig.Load();
    }
    void TearDown() override {
        if (w_) {
            ::DestroyWindow(w_->GetHWND());
            PumpFor(100);
            delete w_;
            w_ = nullptr;
        }
        SkinX::TearDown();
    }

    // The main window with nothing to play, as the program opens it.
    void OpenIdle() {
        w_ = new CMorvaneWnd(L"");
        ASSERT_NE(w_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                             WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES),
                  nullptr);
        ASSERT_NE(w_->pCaption, nullptr);
        WaitShown(w_->GetHWND());
        ASSERT_TRUE(PumpUntil([&] { return Viewable(w_->pCaption->GetHWND()); }));
        PumpFor(300);
    }
    // The main window playing the clip, as the program opens it.
    void OpenPlaying(const char* clip = "Episode.mkv") {
        clip_ = *base_ / clip;
        w_ = new CMorvaneWnd(clip_.wstring());
        ASSERT_NE(w_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                             WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES),
                  nullptr);
        ASSERT_NE(w_->pPlayPanel, nullptr);
        ASSERT_NE(w_->pCaption, nullptr);
        WaitShown(w_->GetHWND());
        ASSERT_TRUE(PumpUntil([&] { return w_->bPlayingSeen && w_->playerCtrl.IsPlaying(); }, 20000));
        ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetLength() > 0; }, 10000));
        // The video output is set up (its first picture shown) before the input starts.
        if (clip_.extension() != ".mp3") {
            ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetVideoWidth() > 0; }, 10000));
        }
        PumpFor(300);
        ::SetForegroundWindow(w_->GetHWND());
    }
    skinui::CControlUI* PanelControl(const wchar_t* name) {
        return w_->pPlayPanel->GetPaintManager()->FindControl(name);
    }
    RECT MainRect() {
        RECT rc{};
        ::GetWindowRect(w_->GetHWND(), &rc);
        return rc;
    }
    POINT VideoCentre() {
        RECT rc = MainRect();
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    // Waits until X gives the keys to the main window.
    void TakeKeyboard() { ASSERT_TRUE(PumpUntil([&] { return HasKeyboard(w_->GetHWND()); })); }
    bool PanelVisible() { return ::IsWindowVisible(w_->pPlayPanel->GetHWND()) != 0; }
    // Brings the panel up with the cursor in the bottom band and waits until it stands still.
    void ShowPanel() {
        RECT rc = MainRect();
        Xdo("mousemove " + At(POINT{(rc.left + rc.right) / 2, rc.bottom - 20}));
        ASSERT_TRUE(PumpUntil([&] { return PanelVisible(); }, 10000));
        PumpFor(400);
        w_->pPlayPanel->FollowOwner();
    }
    void ClickPanel(const wchar_t* name) {
        ShowPanel();
        skinui::CControlUI* c = PanelControl(name);
        ASSERT_NE(c, nullptr) << name;
        ASSERT_TRUE(c->IsVisible()) << name;
        Click(w_->pPlayPanel->GetHWND(), c);
    }
    std::wstring ConfigValue(const wchar_t* section, const wchar_t* key) {
        wchar_t buf[256] = {};
        GetPrivateProfileStringW(section, key, L"", buf, 256, (prog_->path() / "user.cfg").wstring().c_str());
        return buf;
    }

    skinui::CMenuUI* Shown(skinui::CDuiMenu& menu, size_t depth) { return ShownMenu(menu, depth); }
    static POINT Item(skinui::CMenuUI* m, int position) {
        return skinx::CentreOf(m->GetManager()->GetPaintWindow(), m->GetItemAt(position));
    }
    // A step that walks the menu along `path`: each position but the last opens the submenu of
    // that item at its depth, the last one is clicked. After 1000 ticks it dismisses the menu so
    // that a failing test ends.
    std::function<bool()> ChooseByPath(skinui::CDuiMenu& menu, std::vector<int> path) {
        auto stage = std::make_shared<size_t>(0);
        auto ticks = std::make_shared<int>(0);
        return [this, &menu, path, stage, ticks] {
            ++*ticks;
            if (*ticks > 1000) {
                if (*ticks == 1001) ADD_FAILURE() << "the menu item was never chosen";
                if (menu.GetOpenMenus().empty()) return true;
                // Posted, not typed: the keyboard may be anywhere by now, and the menu's loop
                // takes every key of this thread. Past a second deadline the loop is ended
                // outright, so that the test ends whatever the menu does with the key.
                if (*ticks % 50 == 1) ::PostMessageW(w_->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
                if (*ticks > 1500) menu.Dismiss();
                return false;
            }
            const size_t last = path.size() - 1;
            if (*stage > last) {
                // Done once the menu has closed; a click lost on a loaded display is made again.
                const size_t open = menu.GetOpenMenus().size();
                if (open == 0) return true;
                if (*ticks % 50 == 0) *stage = std::min(open - 1, last);
                return false;
            }
            if (skinui::CMenuUI* shown = Shown(menu, *stage)) {
                Xdo("mousemove " + At(Item(shown, path[*stage])) + (*stage == last ? " sleep 0.1 click 1" : ""));
                ++*stage;
            } else if (*stage > 0 && *ticks % 50 == 0) {
                // The submenu did not open: aim at its item again, from beside it so that the
                // pointer moves even where it already is.
                Xdo("mousemove_relative 1 0");
                --*stage;
            }
            return false;
        };
    }
    // Opens the submenu of "major" item `from` and clicks its item `pick`.
    std::function<bool()> ChooseFromSubmenu(skinui::CDuiMenu& menu, int from, int pick) {
        return ChooseByPath(menu, {from, pick});
    }

    // First and last column of a screen rectangle that hold text: pixels far darker than a
    // menu's light background. {-1, -1} when there is none.
    std::pair<int, int> InkColumns(const RECT& rc) {
        const int w = rc.right - rc.left, h = rc.bottom - rc.top;
        XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), rc.left, rc.top, static_cast<unsigned>(w),
                                static_cast<unsigned>(h), AllPlanes, ZPixmap);
        std::pair<int, int> out{-1, -1};
        if (!img) return out;
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                const unsigned long v = XGetPixel(img, x, y);
                if (((v >> 16) & 0xFF) < 0xB0 && ((v >> 8) & 0xFF) < 0xB0 && (v & 0xFF) < 0xB0) {
                    if (out.first < 0) out.first = rc.left + x;
                    out.second = rc.left + x;
                    break;
                }
            }
        }
        XDestroyImage(img);
        return out;
    }
    // Where the text of a menu item starts on screen, to the item's right edge: its label where
    // it is made of parts, else beside the icon column.
    static RECT TextArea(skinui::CMenuUI* menu, int position) {
        skinui::CControlUI* item = menu->GetItemAt(position);
        RECT rc = item->GetPos();
        if (skinui::CControlUI* label = static_cast<skinui::CContainerUI*>(item)->FindSubControl(L"menu_label"))
            rc.left = label->GetPos().left;
        else
            rc.left += skinui::kMenuIconWidth;
        HWND wnd = menu->GetManager()->GetPaintWindow();
        ::ClientToScreen(wnd, reinterpret_cast<POINT*>(&rc.left));
        ::ClientToScreen(wnd, reinterpret_cast<POINT*>(&rc.right));
        return rc;
    }

    // The visible top-level windows of this process.
    std::set<HWND> VisibleWindows() {
        std::set<HWND> out;
        for (HWND h = GetWindow(GetDesktopWindow(), GW_CHILD); h && IsWindow(h); h = GetWindow(h, GW_HWNDNEXT)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == static_cast<DWORD>(getpid()) && IsWindowVisible(h) && Viewable(h)) out.insert(h);
        }
        return out;
    }
    // A window on screen now that was not in `before`: the popup that opened since.
    HWND NewPopup(const std::set<HWND>& before) {
        for (HWND h : VisibleWindows())
            if (!before.count(h)) return h;
        return nullptr;
    }

    static testsupport::TempDir* base_;
    static testsupport::HttpServer* server_;
    std::unique_ptr<testsupport::TempDir> prog_;
    std::unique_ptr<testsupport::ScopedEnv> progEnv_;
    CMorvaneWnd* w_ = nullptr;
    fs::path clip_;
};

testsupport::TempDir* OverlaysX::base_ = nullptr;
testsupport::HttpServer* OverlaysX::server_ = nullptr;

TEST_F(OverlaysX, PanelButtonsPauseResumeSeekAndStop) {
    OpenPlaying();
    EXPECT_TRUE(PanelControl(L"btnPause")->IsVisible());
    EXPECT_TRUE(PanelControl(L"btnStop")->IsEnabled());
    EXPECT_TRUE(PanelControl(L"labelPlayTime")->IsVisible());

    ClickPanel(L"btnPause");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetState() == 104; }));
    EXPECT_TRUE(PanelControl(L"btnPlay")->IsVisible());
    const std::int64_t pausedAt = w_->playerCtrl.GetTime();
    PumpFor(600);
    EXPECT_LT(std::llabs(w_->playerCtrl.GetTime() - pausedAt), 300);

    ClickPanel(L"btnPlay");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.IsPlaying(); }));

    // A click at three quarters of the seek slider moves the engine there.
    ShowPanel();
    auto* slider = static_cast<skinui::CSliderUI*>(PanelControl(L"sliderPlay"));
    RECT rc = slider->GetPos();
    POINT at{rc.left + (rc.right - rc.left) * 3 / 4, (rc.top + rc.bottom) / 2};
    ::ClientToScreen(w_->pPlayPanel->GetHWND(), &at);
    Xdo("mousemove " + At(at));
    PumpFor(100);
    Xdo("click 1");
    const std::int64_t length = w_->playerCtrl.GetLength();
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetTime() > length * 6 / 10; }))
        << "time " << w_->playerCtrl.GetTime() << " of " << length;
    EXPECT_GT(slider->GetValue(), 600);
    // The label follows the engine.
    ASSERT_TRUE(PumpUntil([&] {
        auto* label = static_cast<skinui::CLabelUI*>(PanelControl(L"labelPlayTime"));
        return label->GetText().find(L" / 00:30") != std::wstring::npos && label->GetText().rfind(L"00:2", 0) == 0;
    }));

    ClickPanel(L"btnStop");
    ASSERT_TRUE(PumpUntil([&] { return !w_->playerCtrl.HasPlayer(); }));
}

// Position reports that change neither the second nor the permille paint nothing: paused, the
// panel takes no paint for them.
TEST_F(OverlaysX, UnchangedPositionReportsPaintNothing) {
    OpenPlaying();
    ShowPanel();
    w_->playerCtrl.SetPlay(false);
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetState() == 104; }));
    struct PaintCount : skinui::IMessageFilterUI {
        int paints = 0;
        LRESULT MessageHandler(UINT msg, WPARAM, LPARAM, bool&) override {
            if (msg == WM_PAINT) ++paints;
            return 0;
        }
    } count;
    HWND panel = w_->pPlayPanel->GetHWND();
    auto* pm = w_->pPlayPanel->GetPaintManager();
    pm->AddPreMessageFilter(&count);
    const WPARAM engine = reinterpret_cast<WPARAM>(&w_->playerCtrl.mediaPlayer);
    const LPARAM serial = static_cast<LPARAM>(w_->playerCtrl.mediaPlayer.GetSerial());
    // One report brings label and slider up to date; after it the panel has nothing to paint.
    ::SendMessageW(panel, WM_PLAYER_POSITION, engine, serial);
    PumpFor(300);
    count.paints = 0;
    for (int i = 0; i < 5; ++i) {
        ::SendMessageW(panel, WM_PLAYER_POSITION, engine, serial);
        PumpFor(60);
    }
    PumpFor(200);
    pm->RemovePreMessageFilter(&count);
    EXPECT_EQ(count.paints, 0);
}

TEST_F(OverlaysX, HotKeysAndWheelChangeVolumeAndSeek) {
    OpenPlaying();
    TakeKeyboard();
    Xdo("mousemove " + At(VideoCentre()));
    PumpFor(200);
    Xdo("key Up");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetVolume() == 55; }));
    EXPECT_EQ(ConfigValue(L"Volume", L"nVolume"), L"55");
    EXPECT_EQ(ConfigValue(L"Volume", L"bMute"), L"0");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.mediaPlayer.GetVolume() == 55; }));
    EXPECT_EQ(w_->GetLastTip(), L"音量：55%");

    // The wheel over the video: one notch up, two down.
    Xdo("click 4");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetVolume() == 60; }));
    Xdo("click 5");
    Xdo("click 5");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetVolume() == 50; }));
    EXPECT_EQ(ConfigValue(L"Volume", L"nVolume"), L"50");

    // Ctrl+M mutes; the stored volume stays the one saved.
    Xdo("key ctrl+m");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.bMuted.load(); }));
    EXPECT_EQ(ConfigValue(L"Volume", L"bMute"), L"1");
    EXPECT_EQ(ConfigValue(L"Volume", L"nVolume"), L"50");
    Xdo("key ctrl+m");
    ASSERT_TRUE(PumpUntil([&] { return !w_->playerCtrl.bMuted.load(); }));

    // Right seeks 5 s on.
    const std::int64_t before = w_->playerCtrl.GetTime();
    Xdo("key Right");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetTime() >= before + 4000; }));
    // Ctrl+T: never top-most (2) becomes always (1), written at once.
    Xdo("key ctrl+t");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.nTopMostMode == 1; }));
    EXPECT_EQ(ConfigValue(L"Global", L"nTopMostMode"), L"1");
    // Ctrl+PgUp raises the rate by a tenth, Ctrl+R returns to normal.
    Xdo("key ctrl+Prior");
    ASSERT_TRUE(PumpUntil([&] { return w_->pPlayPanel->GetPlayRateTenths() == 11; }));
    EXPECT_EQ(w_->GetLastTip(), L"加速播放：1.1倍（按Ctrl+R还原）");
    Xdo("key ctrl+r");
    ASSERT_TRUE(PumpUntil([&] { return w_->pPlayPanel->GetPlayRateTenths() == 10; }));
    EXPECT_EQ(w_->GetLastTip(), L"正常速度：1.0倍");
}

TEST_F(OverlaysX, DoubleClickTogglesFullScreenWithoutPausing) {
    OpenPlaying();
    const RECT normal = MainRect();
    Xdo("mousemove " + At(VideoCentre()));
    PumpFor(300);
    Xdo("click --repeat 2 --delay 80 1");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.bFullScreen.load(); }));
    ASSERT_TRUE(PumpUntil([&] {
        RECT rc = MainRect();
        return rc.right - rc.left == ::GetSystemMetrics(SM_CXSCREEN) && rc.bottom - rc.top == ::GetSystemMetrics(SM_CYSCREEN);
    }));
    EXPECT_FALSE(w_->pCaption->GetPaintManager()->FindControl(L"Systembtn")->IsVisible());
    // Past the double-click time: the two clicks did not also pause.
    PumpFor(static_cast<int>(::GetDoubleClickTime()) + 300);
    EXPECT_TRUE(w_->playerCtrl.IsPlaying());

    Xdo("mousemove " + At(VideoCentre()));
    PumpFor(300);
    Xdo("click --repeat 2 --delay 80 1");
    ASSERT_TRUE(PumpUntil([&] { return !w_->playerCtrl.bFullScreen.load(); }));
    ASSERT_TRUE(PumpUntil([&] {
        RECT rc = MainRect();
        return rc.right - rc.left == normal.right - normal.left && rc.bottom - rc.top == normal.bottom - normal.top;
    }));
    EXPECT_TRUE(w_->pCaption->GetPaintManager()->FindControl(L"Systembtn")->IsVisible());
    PumpFor(static_cast<int>(::GetDoubleClickTime()) + 300);
    EXPECT_TRUE(w_->playerCtrl.IsPlaying());

    // A single click toggles play and pause after the double-click time.
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.GetState() == 104; }));

    // Ctrl+Enter goes full screen, Esc leaves it.
    TakeKeyboard();
    Xdo("key ctrl+Return");
    ASSERT_TRUE(PumpUntil([&] { return w_->playerCtrl.bFullScreen.load(); }));
    Xdo("key Escape");
    ASSERT_TRUE(PumpUntil([&] { return !w_->playerCtrl.bFullScreen.load(); }));
}

TEST_F(OverlaysX, FullScreenOfAMusicFileMaximisesInstead) {
    OpenPlaying("Song.mp3");
    EXPECT_FALSE(PanelControl(L"btnScreenFull")->IsEnabled());
    TakeKeyboard();
    Xdo("key ctrl+Return");
    ASSERT_TRUE(PumpUntil([&] { return ::IsZoomed(w_->GetHWND()) != 0; }));
    EXPECT_FALSE(w_->playerCtrl.bFullScreen.load());
    // Esc in a maximised window restores it.
    Xdo("key Escape");
    ASSERT_TRUE(PumpUntil([&] { return !::IsZoomed(w_->GetHWND()); }));
}

TEST_F(OverlaysX, CaptionShowsTheTitleAndBarsSlideAwayAndBack) {
    OpenPlaying();
    auto* title = static_cast<skinui::CLabelUI*>(w_->pCaption->GetPaintManager()->FindControl(L"playingtitle"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetText(), L"Episode.mkv");

    // The cursor rests in the middle: both bars go.
    Xdo("mousemove " + At(VideoCentre()));
    ASSERT_TRUE(PumpUntil([&] { return !PanelVisible() && !::IsWindowVisible(w_->pCaption->GetHWND()); }, 15000));
    // Near the bottom edge the panel comes back, the caption stays away.
    RECT rc = MainRect();
    Xdo("mousemove " + At(POINT{(rc.left + rc.right) / 2, rc.bottom - 30}));
    ASSERT_TRUE(PumpUntil([&] { return PanelVisible(); }, 5000));
    EXPECT_FALSE(::IsWindowVisible(w_->pCaption->GetHWND()));
    // Near the top edge the caption comes back.
    Xdo("mousemove " + At(POINT{(rc.left + rc.right) / 2, rc.top + 30}));
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(w_->pCaption->GetHWND()) != 0; }, 5000));
}

TEST_F(OverlaysX, CaptionRunsOneDialogAtATime) {
    OpenPlaying();
    CCaptionWnd* caption = w_->pCaption;
    bool secondOpened = true;
    {
        testsupport::ModalScript script(
            {
                [&] { return testsupport::FindDialog(L"WZAboutWnd") != nullptr; },
                [&] {
                    // Asked for the address dialog while the about dialog runs: nothing opens.
                    caption->ShowOpenURLWnd();
                    secondOpened = testsupport::FindDialog(L"WZOpenURL") != nullptr;
                    return true;
                },
                [&] { return ::PostMessageW(testsupport::FindDialog(L"WZAboutWnd"), WM_CLOSE, 0, 0) != FALSE; },
            },
            L"WZAboutWnd");
        ::PostMessageW(caption->GetHWND(), WM_PLAYER_SHOW_ABOUT, 0, 0);
        ASSERT_TRUE(PumpUntil([&] { return script.finished() && !caption->IsDialogOpen(); }, 40000))
            << "stuck at step " << script.stuckAt();
    }
    EXPECT_FALSE(secondOpened);
    // Once it is closed, the next dialog opens.
    testsupport::ModalScript again(
        {[&] {
            HWND url = testsupport::FindDialog(L"WZOpenURL");
            return url && ::PostMessageW(url, WM_CLOSE, 0, 0);
        }},
        L"WZOpenURL");
    caption->ShowOpenURLWnd();
    EXPECT_TRUE(again.finished());
}

TEST_F(OverlaysX, ContextMenuListsTheAudioTracksAndSwitchesOne) {
    OpenPlaying();
    CRButtonMenu menu(kRButtonMenuLayout);
    menu.Init(w_->GetHWND());
    skinui::CMenuUI* major = menu.FindMenuByName(L"major");
    skinui::CMenuUI* audio = menu.FindMenuByName(L"audio_track");
    ASSERT_NE(major, nullptr);
    ASSERT_NE(audio, nullptr);
    ASSERT_EQ(menu.audioItemCount(), 2);
    ASSERT_EQ(audio->GetCount(), 2);
    EXPECT_NE(audio->GetItemText(0).find(L"First"), std::wstring::npos) << std::wstring(audio->GetItemText(0));
    EXPECT_NE(audio->GetItemText(1).find(L"Second"), std::wstring::npos) << std::wstring(audio->GetItemText(1));
    EXPECT_TRUE(audio->GetItemCheck(0));
    EXPECT_FALSE(audio->GetItemCheck(1));
    for (int pos : {1, 6, 7, 9, 11}) EXPECT_TRUE(major->IsItemEnabled(pos)) << pos;
    // No subtitles in the clip: the choice and "hide" are off.
    EXPECT_FALSE(menu.FindMenuByName(L"subtitle")->IsItemEnabled(1));
    EXPECT_FALSE(menu.FindMenuByName(L"subtitle")->IsItemEnabled(2));
    EXPECT_TRUE(menu.FindMenuByName(L"topmost")->GetItemCheck(2));
    EXPECT_TRUE(menu.FindMenuByName(L"trans_playlist")->GetItemCheck(g_SysConfig.nPlayListTransIdx));
    const std::wstring full = major->GetItemText(1);
    EXPECT_EQ(full.rfind(L"全屏 ", 0), 0u) << full;
    EXPECT_EQ(full.substr(full.size() - 7), L"Ctrl+回车") << full;

    std::vector<TrackInfo> tracks;
    w_->playerCtrl.RefreshAudioTrackList(tracks);
    ASSERT_EQ(tracks.size(), 2u);
    skinx::Step step(ChooseFromSubmenu(menu, 6, 1));
    RECT rc = MainRect();
    EXPECT_EQ(menu.Track(rc.left + 40, rc.top + 40), L"audio_track_1");
    EXPECT_EQ(g_SysConfig.nCurAudioTrack, 1);
    ASSERT_TRUE(PumpUntil([&] { return libvlc_audio_get_track(w_->playerCtrl.mediaPlayer.GetPlayer()) == tracks[1].id; }));
    EXPECT_EQ(w_->GetLastTip(), L"已切换音轨");
}

// libVLC shows an embedded track only when asked for one that is not flagged as the default.
TEST_F(OverlaysX, ContextMenuTicksTheSubtitleShownAndSelectsAnother) {
    OpenPlaying("Subbed.mkv");
    std::vector<TrackInfo> tracks;
    ASSERT_TRUE(PumpUntil([&] {
        w_->playerCtrl.RefreshSubtitleList(tracks);
        return tracks.size() == 1;
    }));
    libvlc_media_player_t* player = w_->playerCtrl.mediaPlayer.GetPlayer();
    ASSERT_EQ(libvlc_video_get_spu(player), -1);
    {
        CRButtonMenu menu(kRButtonMenuLayout);
        menu.Init(w_->GetHWND());
        skinui::CMenuUI* subtitle = menu.FindMenuByName(L"subtitle");
        skinui::CMenuUI* choice = menu.FindMenuByName(L"subtitle_sel");
        ASSERT_NE(subtitle, nullptr);
        ASSERT_NE(choice, nullptr);
        EXPECT_TRUE(subtitle->IsItemEnabled(1));
        ASSERT_EQ(choice->GetCount(), 1);
        EXPECT_FALSE(choice->GetItemCheck(0));
        skinx::Step step(ChooseByPath(menu, {7, 1, 0}));
        RECT rc = MainRect();
        EXPECT_EQ(menu.Track(rc.left + 40, rc.top + 40), L"subtitle_0");
    }
    ASSERT_TRUE(PumpUntil([&] { return libvlc_video_get_spu(player) == tracks[0].id; }));
    EXPECT_EQ(w_->GetLastTip(), L"已加载字幕");
    CRButtonMenu again(kRButtonMenuLayout);
    again.Init(w_->GetHWND());
    EXPECT_TRUE(again.FindMenuByName(L"subtitle_sel")->GetItemCheck(0));
}

TEST_F(OverlaysX, RightClickOnTheVideoOpensTheContextMenu) {
    OpenPlaying();
    bool seen = false;
    const std::set<HWND> before = VisibleWindows();
    skinx::Step step([&] {
        HWND popup = NewPopup(before);
        if (!popup || !HasKeyboard(popup)) return false;
        seen = w_->bCursorHideAllowed == 0;
        Xdo("key Escape");
        return true;
    });
    Xdo("mousemove " + At(VideoCentre()));
    PumpFor(200);
    Xdo("click 3");
    ASSERT_TRUE(PumpUntil([&] { return step.Done() && w_->bCursorHideAllowed == 1; }, 20000));
    EXPECT_TRUE(seen);
    EXPECT_EQ(w_->bRightMenuArmed, 1);
}

TEST_F(OverlaysX, MenuButtonOpensAgainAfterADismissal) {
    OpenPlaying();
    int opened = 0;
    std::set<HWND> before;
    auto dismissWhenOpen = [&] {
        HWND popup = NewPopup(before);
        if (!popup || !HasKeyboard(popup)) return false;
        EXPECT_EQ(w_->pCaption->nMenuArmed, 0);
        ++opened;
        Xdo("key Escape");
        return true;
    };
    skinui::CControlUI* button = w_->pCaption->GetPaintManager()->FindControl(L"btnMenu");
    for (int round = 1; round <= 2; ++round) {
        RECT rc = MainRect();
        Xdo("mousemove " + At(POINT{(rc.left + rc.right) / 2, rc.top + 10}));
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(w_->pCaption->GetHWND()) != 0; }));
        PumpFor(300);
        before = VisibleWindows();
        skinx::Step step(dismissWhenOpen);
        Click(w_->pCaption->GetHWND(), button);
        ASSERT_TRUE(PumpUntil([&] { return step.Done() && w_->pCaption->nMenuArmed == 1; }, 20000)) << round;
        EXPECT_EQ(opened, round);
    }
}

TEST_F(OverlaysX, MenuButtonLosesItsHotLookWhenTheMenuCloses) {
    OpenIdle();
    auto* button = static_cast<skinui::CButtonUI*>(w_->pCaption->GetPaintManager()->FindControl(L"btnMenu"));
    ASSERT_NE(button, nullptr);
    auto hot = [&] { return (button->GetButtonState() & UISTATE_HOT) != 0; };
    auto tipShown = [] {
        skinui::CWzToolTip* tip = skinui::GetControlToolTip();
        return tip && tip->IsShown() && tip->GetText() == L"主菜单";
    };
    const std::set<HWND> before = VisibleWindows();
    skinx::Step step([&] {
        HWND popup = NewPopup(before);
        if (!popup) return false;
        // The pointer goes away from the caption, then the menu is closed by its key (posted:
        // whether a window manager hands the popup the keyboard is not what is tested here).
        Xdo("mousemove 1500 950 sleep 0.2");
        ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        return true;
    });
    Click(w_->pCaption->GetHWND(), button);
    ASSERT_TRUE(PumpUntil([&] { return step.Done() && !NewPopup(before); }, 20000));
    // Longer than a tool tip waits before it shows.
    PumpFor(1200);
    EXPECT_FALSE(hot());
    EXPECT_NE(w_->pCaption->GetPaintManager()->GetHot(), button);
    EXPECT_FALSE(tipShown());

    // Back over the button it is hot again and tells what it is.
    Xdo("mousemove " + At(skinx::CentreOf(w_->pCaption->GetHWND(), button)));
    EXPECT_TRUE(PumpUntil([&] { return hot() && tipShown(); }, 5000));
}

TEST_F(OverlaysX, MenusDrawTheirKeyTextsWhole) {
    OpenPlaying();
    // Draws the menu, reads the text extent of each item from the screen and dismisses it.
    auto drawnWidths = [&](skinui::CDuiMenu& menu, const std::vector<int>& positions) {
        std::vector<int> widths(positions.size(), -1);
        int ticks = 0;
        skinx::Step step([&] {
            const auto open = menu.GetOpenMenus();
            skinui::CMenuUI* shown = open.size() == 1 ? open[0] : nullptr;
            if (!shown || !Viewable(shown->GetManager()->GetPaintWindow())) {
                if (++ticks < 500) return false;
                menu.Dismiss();
                return true;
            }
            std::vector<int> seen;
            for (int p : positions) {
                const RECT area = TextArea(shown, p);
                const auto ink = InkColumns(area);
                if (ink.first < 0) break;  // not painted yet
                seen.push_back(ink.second + 1 - ink.first);
            }
            if (seen.size() < positions.size() && ++ticks < 500) return false;
            for (size_t i = 0; i < seen.size(); ++i) widths[i] = seen[i];
            menu.Dismiss();
            return true;
        });
        RECT rc = MainRect();
        menu.TrackPopupMenu(rc.left + 40, rc.top + 40);
        return widths;
    };
    auto expectWhole = [&](skinui::CDuiMenu& menu, const std::vector<int>& positions) {
        skinui::CMenuUI* major = menu.FindMenuByName(L"major");
        ASSERT_NE(major, nullptr);
        const std::vector<int> widths = drawnWidths(menu, positions);
        for (size_t i = 0; i < positions.size(); ++i) {
            const std::wstring text = major->GetItemText(positions[i]);
            const int full = static_cast<int>(major->MeasureText(text.c_str()).cx);
            // The first and the last glyph keep a pixel or two of their advance free.
            EXPECT_GE(widths[i], full - 5) << platform::Utf8FromWide(text);
            EXPECT_LE(widths[i], full + 1) << platform::Utf8FromWide(text);
        }
    };
    {
        CRButtonMenu menu(kRButtonMenuLayout);
        menu.Init(w_->GetHWND());
        expectWhole(menu, {1, 10});  // "全屏 … Ctrl+回车", "系统设置... … F5"
    }
    {
        CMainMenu menu(kMainMenuLayout);
        menu.Init(w_->pCaption->GetHWND());
        expectWhole(menu, {3, 7});
    }
}

TEST_F(OverlaysX, MainMenuPadsKeyTextsAndSetsTopMost) {
    OpenPlaying();
    CMainMenu menu(kMainMenuLayout);
    menu.Init(w_->pCaption->GetHWND());
    skinui::CMenuUI* major = menu.FindMenuByName(L"major");
    ASSERT_NE(major, nullptr);
    const std::wstring setting = major->GetItemText(3);
    EXPECT_EQ(setting.rfind(L"系统设置... ", 0), 0u) << setting;
    EXPECT_EQ(setting.substr(setting.size() - 2), L"F5") << setting;
    EXPECT_NE(setting.find(L"   "), std::wstring::npos) << setting;  // blanks line the key texts up
    EXPECT_TRUE(menu.FindMenuByName(L"topmost")->GetItemCheck(2));
    EXPECT_FALSE(menu.FindMenuByName(L"topmost")->GetItemCheck(1));

    skinx::Step step(ChooseFromSubmenu(menu, 1, 1));
    RECT rc = MainRect();
    EXPECT_EQ(menu.Track(rc.left + 40, rc.top + 40), L"topmost_almost");
    EXPECT_EQ(g_SysConfig.nTopMostMode, 1);
    EXPECT_EQ(ConfigValue(L"Global", L"nTopMostMode"), L"1");
}

TEST_F(OverlaysX, TimeTipOverTheSeekSliderShowsTheTimeUnderTheMouse) {
    OpenPlaying();
    ShowPanel();
    auto* slider = static_cast<skinui::CSliderUI*>(PanelControl(L"sliderPlay"));
    RECT rc = slider->GetPos();
    POINT half{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ::ClientToScreen(w_->pPlayPanel->GetHWND(), &half);
    Xdo("mousemove " + At(POINT{half.x - 3, half.y}));
    PumpFor(100);
    Xdo("mousemove " + At(half));
    skinui::CWzPlayProgressToolTip* tip = w_->pPlayPanel->GetProgressTip();
    ASSERT_NE(tip, nullptr);
    // Half way along a 30 s clip.
    ASSERT_TRUE(PumpUntil([&] { return tip->IsShown() && tip->GetText().rfind(L"00:1", 0) == 0; }))
        << std::wstring(tip->GetText());
    RECT tipRect{};
    ::GetWindowRect(tip->GetHWND(), &tipRect);
    RECT sliderOnScreen = rc;
    ::ClientToScreen(w_->pPlayPanel->GetHWND(), reinterpret_cast<POINT*>(&sliderOnScreen));
    EXPECT_LE(tipRect.bottom, sliderOnScreen.top + 1);  // above the slider
    Xdo("mousemove " + At(VideoCentre()));
    ASSERT_TRUE(PumpUntil([&] { return !tip->IsShown(); }));
}

}  // namespace
