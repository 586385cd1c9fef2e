// The main window in this process under Xvfb, on real libVLC and clips made with ffmpeg: its
// layout and placement, top-most at start, the volume cap, what plays (resume, errors with their
// hints, the end moving on by the play order, second-start hand-over), subtitles beside the
// video, snapshots and the open dialog.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/profile/profile.h"
#include "platform/shell/shell.h"
#include "platform/windows/winuser.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/player_ctrl.h"
#include "player/settings/sys_config.h"
#include "player/main_window/wnd_ui.h"
#include "skinui/controls.h"
#include "skinui/tooltip.h"
#include "support/dialog_answer.h"
#include "support/clips.h"
#include "support/early_program_dir.h"
#include "player/dialogs/open_url.h"
#include "player/play_list/play_list_ui.h"
#include "player/play_list/play_list_wnd.h"
#include "support/http_server.h"
#include "support/libvlc_loaded.h"
#include "support/modal_script.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"
#include "support/write_lock_held.h"
#include "support/x_windows.h"

namespace fs = std::filesystem;

namespace {

testsupport::EarlyProgramDir g_programDir __attribute__((init_priority(101)));

void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

bool PumpUntil(const std::function<bool()>& cond, int seconds = 30) {
    return testsupport::WaitFor(
        [&] {
            Pump();
            return cond();
        },
        std::chrono::seconds(seconds));
}

// Keeps dispatching for a while, for checks that something does not happen.
void PumpFor(int ms) {
    testsupport::WaitFor(
        [] {
            Pump();
            return false;
        },
        std::chrono::milliseconds(ms));
}

std::string Magic(const fs::path& p, size_t n) {
    std::ifstream f(p, std::ios::binary);
    std::string s(n, '\0');
    f.read(s.data(), static_cast<std::streamsize>(n));
    return s;
}

class MainWndX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        media_ = new testsupport::TempDir();
        testsupport::MakeVideoClip(*media_ / "a.mp4", 1.0);
        testsupport::MakeVideoClip(*media_ / "b.mp4", 3.0);
        testsupport::ClipOptions longClip;
        longClip.seconds = 60;
        longClip.width = 160;
        longClip.height = 120;
        longClip.fps = 10;
        longClip.audioTracks = 0;
        testsupport::MakeClip(*media_ / "long.mp4", longClip);
        testsupport::MakeBrokenFile(*media_ / "broken.mp4");
        testsupport::MakeNoiseFile(*media_ / "noise.mp4");
        testsupport::MakeTruncatedCopy(*media_ / "b.mp4", *media_ / "truncated.mp4", 3000);
        testsupport::MakeAudioClip(*media_ / "tone.mp3", 4.0);
        testsupport::MakeNoiseFile(*media_ / "noise.mp3");
        fs::create_directories(*media_ / "subs");
        testsupport::MakeVideoClip(*media_ / "subs" / "Movie.mkv", 3.0);
        for (const char* name : {"Movie.srt", "movie.ASS", "Movie.txt", "Other.srt"})
            media_->write(std::string("subs/") + name, "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(platform::HasDisplay());
        ASSERT_FALSE(g_programDir.path.empty());
        folder_ = g_programDir.path + "/";
        for (const char* f : {"user.cfg", "PlayList.info"}) fs::remove(folder_ + f);
    }
    void TearDown() override {
        wnd_.reset();
        Pump();
    }

    // user.cfg and PlayList.info as given, loaded as the entry loads them.
    void Configure(const std::string& userCfg, const std::string& playList = "") {
        if (!userCfg.empty()) std::ofstream(folder_ + "user.cfg") << userCfg;
        if (!playList.empty()) std::ofstream(folder_ + "PlayList.info") << playList;
        g_SysConfig = CSysConfig();
        g_SysConfig.SetConfigPath(Wide(folder_ + "user.cfg"));
        g_SysConfig.SetPlayListPath(Wide(folder_ + "PlayList.info"));
        g_SysConfig.Load();
    }
    CMorvaneWnd* Open(const std::wstring& startPath = L"") {
        wnd_ = std::make_unique<CMorvaneWnd>(startPath);
        wnd_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES);
        wnd_->ApplyStartZOrder();
        Pump();
        return wnd_.get();
    }
    bool Visible(const wchar_t* name) {
        auto* c = wnd_->GetPaintManager()->FindControl(name);
        return c && c->IsVisible();
    }
    bool Playing() { return wnd_->bPlayingSeen && Visible(L"wndMedia"); }
    static std::wstring Wide(const std::string& s) { return fs::path(s).wstring(); }
    static std::wstring Clip(const std::string& name) { return (*media_ / name).wstring(); }
    std::wstring PlayListValue(const wchar_t* section, const wchar_t* key) {
        wchar_t buf[1024] = {};
        GetPrivateProfileStringW(section, key, L"", buf, 1024, Wide(folder_ + "PlayList.info").c_str());
        return buf;
    }
    static std::string Record(int n, const std::wstring& path, int pos) {
        return "[file" + std::to_string(n) + "]\nstrFilePath=" + fs::path(path).string() +
               "\nbVisible=1\nbError=0\nnPlayTime=0\nnPlayPos=" + std::to_string(pos) + "\nstrGroup=\nbPlayed=0\n";
    }

    static testsupport::TempDir* media_;
    std::string folder_;
    std::unique_ptr<CMorvaneWnd> wnd_;
};

testsupport::TempDir* MainWndX::media_ = nullptr;

TEST(MainWndSize, DefaultSizeFollowsTheMonitorWidth) {
    struct Case {
        UINT width;
        LONG cx, cy;
    } cases[] = {{1024, 512, 288}, {1280, 512, 288}, {1281, 576, 324}, {1366, 576, 324},
                 {1680, 576, 324}, {1681, 768, 432}, {1920, 768, 432}};
    for (const auto& c : cases) {
        SIZE s = CMorvaneWnd::DefaultWindowSize(c.width);
        EXPECT_EQ(s.cx, c.cx) << c.width;
        EXPECT_EQ(s.cy, c.cy) << c.width;
    }
}

TEST(MainWndSubtitles, MatchingNamesAndExtensions) {
    struct Case {
        const wchar_t* video;
        const wchar_t* candidate;
        bool match;
    } cases[] = {{L"Movie.mkv", L"Movie.srt", true},   {L"Movie.mkv", L"movie.ASS", true},
                 {L"Movie.mkv", L"Movie.txt", false},  {L"Movie.mkv", L"Movie.mkv", false},
                 {L"Movie.mkv", L"Movie2.srt", false}, {L"Movie.part1.mkv", L"Movie.part1.idx", true},
                 {L"Movie", L"Movie.srt", true},       {L".mkv", L".srt", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsMatchingSubtitleFile(c.video, c.candidate), c.match) << c.video << " / " << c.candidate;
}

TEST_F(MainWndX, LayoutSurfaceAndDefaultPlacement) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open();
    HWND h = w->GetHWND();
    ASSERT_TRUE(IsWindow(h));
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    EXPECT_STREQ(cls, L"WZBaseGui");
    EXPECT_EQ(GetPropW(h, kMainWndProp), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(g_pMainWnd, w);
    EXPECT_TRUE(Visible(L"ctnClient"));
    EXPECT_FALSE(Visible(L"ctnMusic"));
    EXPECT_FALSE(Visible(L"buffering"));
    EXPECT_FALSE(Visible(L"wndMedia"));
    auto* host = dynamic_cast<CWndUI*>(w->GetPaintManager()->FindControl(L"wndMedia"));
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->GetHWND(), w->hVideoSurface);
    EXPECT_EQ(GetParent(w->hVideoSurface), h);
    EXPECT_FALSE(IsWindowVisible(w->hVideoSurface));

    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi);
    SIZE want = CMorvaneWnd::DefaultWindowSize(static_cast<UINT>(mi.rcMonitor.right - mi.rcMonitor.left));
    RECT rc;
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.right - rc.left, want.cx);
    EXPECT_EQ(rc.bottom - rc.top, want.cy);
    EXPECT_NEAR((rc.left + rc.right) / 2, (mi.rcMonitor.left + mi.rcMonitor.right) / 2, 1);
    EXPECT_FALSE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(MainWndX, TheBufferingPictureTurnsOnlyWhileItIsShown) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open();
    skinui::CPaintManagerUI* pm = w->GetPaintManager();
    auto* picture = dynamic_cast<skinui::CGifAnimUI*>(pm->FindControl(L"bufferingPicture"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetFrameCount(), 8);
    auto ticking = [&] { return pm->HasTimer(picture, skinui::CGifAnimUI::kFrameTimer); };
    EXPECT_FALSE(ticking());
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    auto onScreen = [&] {
        RECT rc = picture->GetPos();
        POINT origin{0, 0};
        ClientToScreen(w->GetHWND(), &origin);
        const RECT screen{rc.left + origin.x, rc.top + origin.y, rc.right + origin.x, rc.bottom + origin.y};
        return testsupport::ScreenPixels(dpy, screen);
    };
    CMediaPlayer* engine = &w->playerCtrl.mediaPlayer;
    // Every way the pane goes before a medium plays: the engine stops or fails, the user stops.
    struct Road {
        const char* name;
        std::function<void()> hide;
    };
    const Road roads[] = {
        {"the engine stops", [&] { OnVlcStopped(engine, engine->GetSerial()); }},
        {"the engine fails", [&] { OnVlcError(engine, engine->GetSerial()); }},
        {"the user stops", [&] { w->Stop(); }},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        // Reported as the engine reports from its own thread.
        std::thread([&] { OnVlcBuffering(engine, engine->GetSerial()); }).join();
        ASSERT_TRUE(PumpUntil([&] { return Visible(L"buffering") && ticking(); }));
        EXPECT_FALSE(Visible(L"ctnClient"));
        // The picture on the screen turns: several of its frames are seen in turn.
        std::set<std::vector<unsigned long>> seen;
        std::set<int> frames;
        EXPECT_TRUE(PumpUntil([&] {
            seen.insert(onScreen());
            frames.insert(picture->GetCurrentFrame());
            return seen.size() >= 4 && frames.size() >= 4;
        })) << seen.size() << " pictures, " << frames.size() << " frames";
        road.hide();
        ASSERT_TRUE(PumpUntil([&] { return !Visible(L"buffering") && Visible(L"ctnClient"); }));
        EXPECT_FALSE(ticking());
        const int frame = picture->GetCurrentFrame();
        PumpFor(400);
        EXPECT_EQ(picture->GetCurrentFrame(), frame);
        EXPECT_FALSE(ticking());
    }
    XCloseDisplay(dpy);

    // A real medium: once it plays the pane is gone and nothing turns.
    w->PlayFile(Clip("b.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    EXPECT_FALSE(Visible(L"buffering"));
    EXPECT_FALSE(ticking());
}

TEST_F(MainWndX, SavedPlacementAndZoom) {
    Configure("[Global]\nnTopMostMode=2\n[Window]\nbIsZoomed=0\nx0=100\ny0=80\ncx=640\ncy=360\n");
    RECT rc;
    GetWindowRect(Open()->GetHWND(), &rc);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 80);
    EXPECT_EQ(rc.right - rc.left, 640);
    EXPECT_EQ(rc.bottom - rc.top, 360);
    wnd_.reset();

    Configure("[Global]\nnTopMostMode=2\n[Window]\nbIsZoomed=1\nx0=100\ny0=80\ncx=640\ncy=360\n");
    EXPECT_TRUE(IsZoomed(Open()->GetHWND()));
}

TEST_F(MainWndX, TopMostAtStartOnlyInModeOne) {
    for (int mode : {0, 1, 2}) {
        Configure("[Global]\nnTopMostMode=" + std::to_string(mode) + "\n");
        HWND h = Open()->GetHWND();
        EXPECT_EQ((GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, mode == 1) << "mode " << mode;
        wnd_.reset();
    }
}

TEST_F(MainWndX, StoredVolumeAboveHundredIsCut) {
    Configure("[Global]\nnTopMostMode=2\n[Volume]\nnVolume=150\nbMute=0\n");
    CMorvaneWnd* w = Open();
    EXPECT_EQ(g_SysConfig.nVolume, 100);
    EXPECT_EQ(w->playerCtrl.GetVolume(), 100);
    EXPECT_EQ(GetPrivateProfileIntW(L"Volume", L"nVolume", 0, Wide(folder_ + "user.cfg").c_str()), 100u);
}

TEST_F(MainWndX, MissingAndBrokenFilesSayWhy) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open(Clip("missing.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return w->GetLastTip() == kTipFileMissing; }));
    EXPECT_FALSE(w->IsMediaOpen());
    EXPECT_TRUE(Visible(L"ctnClient"));
    // The hint shows over the window's top-left corner and goes by itself.
    ASSERT_NE(w->pToolTip, nullptr);
    EXPECT_TRUE(w->pToolTip->IsShown());
    EXPECT_EQ(w->pToolTip->GetText(), kTipFileMissing);
    RECT main, tip;
    GetWindowRect(w->GetHWND(), &main);
    GetWindowRect(w->pToolTip->GetHWND(), &tip);
    EXPECT_EQ(tip.left, main.left + 50);
    EXPECT_EQ(tip.top, main.top + 50);
    EXPECT_LE(tip.right - tip.left, main.right - main.left - 100);
    EXPECT_TRUE(PumpUntil([&] { return !w->pToolTip->IsShown(); }));

    w->PlayFile(Clip("broken.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return w->GetLastTip() == kTipFileBroken; }));
    EXPECT_FALSE(w->IsMediaOpen());
    EXPECT_TRUE(Visible(L"ctnClient"));
}

// Beside the play list the room left of it is narrow: the hint goes on more lines there, each
// word of it drawn, and stays the longer the more there is to read.
TEST_F(MainWndX, ABrokenFileHintBesideThePlayListIsShownWhole) {
    Configure("[Global]\nnTopMostMode=2\nbClickedListHandler=0\n");
    CMorvaneWnd* w = Open();
    ASSERT_TRUE(PumpUntil([&] { return w->PlayListHwnd() && IsWindowVisible(w->PlayListHwnd()); }));
    // As wide as the window comes on a 1024 x 768 screen.
    ::SetWindowPos(w->GetHWND(), nullptr, 0, 0, 512, 288, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] {
        RECT rc{};
        GetWindowRect(w->GetHWND(), &rc);
        return rc.right - rc.left == 512;
    }));
    w->PlayFile(Clip("broken.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return w->GetLastTip() == kTipFileBroken && w->pToolTip->IsShown(); }));
    RECT main, list, tip;
    GetWindowRect(w->GetHWND(), &main);
    GetWindowRect(w->PlayListHwnd(), &list);
    GetWindowRect(w->pToolTip->GetHWND(), &tip);
    auto* pm = w->pToolTip->GetPaintManager();
    const SIZE line = pm->MeasureText(kTipFileBroken, -1);
    const int room = main.right - main.left - 100 - (list.right - list.left);
    ASSERT_LT(room, line.cx + 20) << "the room left of the list holds the hint on one line";
    // The whole text, wrapped at the window's width, fits its height (10 and 5 px of padding).
    const SIZE wrapped = pm->MeasureText(kTipFileBroken, -1, tip.right - tip.left - 20);
    EXPECT_GT(tip.bottom - tip.top, line.cy + 10);
    EXPECT_LE(wrapped.cy, tip.bottom - tip.top - 10);
    EXPECT_GE(w->pToolTip->GetShowTime(), 4000u);
    // On screen: the lower line holds ink (light text on the dark band).
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    int bright = 0;
    ASSERT_TRUE(PumpUntil([&] {
        XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), tip.left, (tip.top + tip.bottom) / 2 + 2,
                                static_cast<unsigned>(tip.right - tip.left), static_cast<unsigned>(tip.bottom - (tip.top + tip.bottom) / 2 - 2),
                                AllPlanes, ZPixmap);
        bright = 0;
        if (img) {
            for (int y = 0; y < img->height; ++y)
                for (int x = 0; x < img->width; ++x)
                    if (((XGetPixel(img, x, y) >> 8) & 0xFF) > 0xA0) ++bright;
            XDestroyImage(img);
        }
        return bright > 20;
    }, 3000)) << bright;
    XCloseDisplay(dpy);
}

// libVLC reports these as playing and then ended; nothing of them was ever shown.
TEST_F(MainWndX, CorruptMediaSayWhyAndMarkTheirRows) {
    testsupport::HttpReply whole;  // a server without ranges: the index at the clip's end is out of reach
    whole.body = testsupport::ReadFile(*media_ / "b.mp4");
    testsupport::HttpServer server;
    server.Serve("/whole.mp4", whole);
    Configure("[Global]\nnTopMostMode=2\nnPlayOrder=2\n");
    CMorvaneWnd* w = Open();
    ASSERT_NE(w->pPlayList, nullptr);
    for (const std::wstring& source : {Clip("noise.mp4"), Clip("truncated.mp4"), Wide(server.url("/whole.mp4"))}) {
        w->PlayFile(source);
        ASSERT_TRUE(PumpUntil([&] { return w->GetLastTip() == kTipFileBroken; }))
            << platform::Utf8FromWide(source) << ": " << platform::Utf8FromWide(w->GetLastTip());
        EXPECT_FALSE(w->IsMediaOpen());
        EXPECT_TRUE(Visible(L"ctnClient"));
        EXPECT_EQ(w->strCurrentPath, source);  // the list did not move on
        CPlayListItemUI* row = w->pPlayList->GetList()->FindItemUIByPath(source);
        ASSERT_NE(row, nullptr) << platform::Utf8FromWide(source);
        EXPECT_TRUE(row->GetItemData()->bInvalid);
        EXPECT_TRUE(row->GetLook().invalidMarker);
    }
}

// Where no sound device takes the audio, a good audio file still ends as played and the list
// moves on; damaged and cut files still fail.
TEST_F(MainWndX, WithoutASoundDeviceGoodAudioEndsAndTheListMovesOn) {
    testsupport::ScopedEnv noSound("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=hw:9,9 --no-volume-save");
    Configure("[Global]\nnTopMostMode=2\nnPlayOrder=2\nbAddSimilarFile=0\n",
              Record(1, Clip("tone.mp3"), 0) + Record(2, Clip("a.mp4"), 0));
    CMorvaneWnd* w = Open(Clip("tone.mp3"));
    ASSERT_NE(w->pPlayList, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return w->strCurrentPath == Clip("a.mp4"); }))
        << platform::Utf8FromWide(w->GetLastTip());
    CPlayListItemUI* tone = w->pPlayList->GetList()->FindItemUIByPath(Clip("tone.mp3"));
    ASSERT_NE(tone, nullptr);
    EXPECT_FALSE(tone->GetItemData()->bInvalid);
    EXPECT_NE(w->GetLastTip(), kTipFileBroken);
    for (const std::wstring& source : {Clip("noise.mp3"), Clip("truncated.mp4")}) {
        w->PlayFile(source);
        ASSERT_TRUE(PumpUntil([&] { return w->GetLastTip() == kTipFileBroken; })) << platform::Utf8FromWide(source);
        EXPECT_EQ(w->strCurrentPath, source);
        CPlayListItemUI* row = w->pPlayList->GetList()->FindItemUIByPath(source);
        ASSERT_NE(row, nullptr) << platform::Utf8FromWide(source);
        EXPECT_TRUE(row->GetItemData()->bInvalid);
    }
}

TEST_F(MainWndX, PlaysInTheSurfaceThenMovesOnByTheOrder) {
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\nnPlayOrder=2\n",
              Record(1, Clip("a.mp4"), 0) + Record(2, Clip("b.mp4"), 300));
    CMorvaneWnd* w = Open(Clip("a.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    EXPECT_FALSE(Visible(L"ctnClient"));
    EXPECT_TRUE(IsWindowVisible(w->hVideoSurface));
    RECT pos = w->GetPaintManager()->FindControl(L"wndMedia")->GetPos(), surface;
    GetWindowRect(w->hVideoSurface, &surface);
    POINT origin{0, 0};
    ClientToScreen(w->GetHWND(), &origin);
    EXPECT_EQ(surface.left - origin.x, pos.left);
    EXPECT_EQ(surface.right - surface.left, pos.right - pos.left);
    EXPECT_EQ(surface.bottom - surface.top, pos.bottom - pos.top);
    EXPECT_EQ(w->GetLastTip(), L"a.mp4");

    // a ends: its position is reset and b follows, from b's stored point.
    ASSERT_TRUE(PumpUntil([&] { return w->strCurrentPath == Clip("b.mp4"); }));
    EXPECT_EQ(PlayListValue(L"file1", L"nPlayPos"), L"0");
    EXPECT_EQ(g_SysConfig.strCurSection, L"file2");
    // b ends too, and nothing follows the last item.
    ASSERT_TRUE(PumpUntil([&] { return !w->IsMediaOpen() && Visible(L"ctnClient"); }));
    EXPECT_EQ(w->strCurrentPath, Clip("b.mp4"));
    EXPECT_EQ(PlayListValue(L"file2", L"nPlayPos"), L"0");
}

// The start file opens while the window is made, before any message is handled; the start-up
// worker's PlayFile then takes that player over rather than opening the file a second time.
TEST_F(MainWndX, TheStartFileOpensWhileTheWindowIsMade) {
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\nbAddSimilarFile=0\n", Record(1, Clip("b.mp4"), 0));
    wnd_ = std::make_unique<CMorvaneWnd>(Clip("long.mp4"));
    ASSERT_NE(wnd_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES),
              nullptr);
    ASSERT_TRUE(wnd_->IsMediaOpen());
    const unsigned early = wnd_->playerCtrl.mediaPlayer.GetSerial();
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    EXPECT_EQ(wnd_->playerCtrl.mediaPlayer.GetSerial(), early);
    EXPECT_EQ(wnd_->ListCurrentPath(), Clip("long.mp4"));
    EXPECT_EQ(g_SysConfig.strCurSection, L"file2");
    EXPECT_EQ(wnd_->GetLastTip(), L"long.mp4");
    EXPECT_TRUE(IsWindowVisible(wnd_->hVideoSurface));
}

// Holds the settings store's read of the play list once its head is read, until released (or
// for a minute at most, so that a test that waits for the list on the UI thread fails rather
// than hangs).
class ListReadHold {
public:
    ListReadHold() {
        g_SysConfig.OnPlayListHeadRead([this] {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait_for(lock, std::chrono::minutes(1), [this] { return released_; });
        });
    }
    ~ListReadHold() {
        Release();
        g_SysConfig.WaitPlayList();
        g_SysConfig.OnPlayListHeadRead(nullptr);
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_);
            released_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool released_ = false;
};

// A list of this many records of missing files, the given ones in their places, and [CurPlay].
std::string LongList(int records, const std::map<int, std::pair<std::wstring, int>>& placed, const std::wstring& cur) {
    std::string out;
    out.reserve(static_cast<size_t>(records) * 120);
    for (int n = 1; n <= records; ++n) {
        auto it = placed.find(n);
        const std::string path = it != placed.end() ? fs::path(it->second.first).string()
                                                    : "/nonexistent/morvane/e" + std::to_string(n) + ".mkv";
        out += "[file" + std::to_string(n) + "]\nstrFilePath=" + path + "\nbVisible=1\nbError=0\nnPlayTime=0\nnPlayPos=" +
               std::to_string(it != placed.end() ? it->second.second : 0) + "\nstrGroup=\nbPlayed=0\n";
    }
    if (!cur.empty()) out += "[CurPlay]\nstrFilePath=" + fs::path(cur).string() + "\n";
    return out;
}

// Once the held read goes on, the list fills whole and the record played is its current one.
void ExpectFilledWithCurrent(CMorvaneWnd* w, int records, int current, const std::wstring& path) {
    ASSERT_TRUE(PumpUntil([&] { return !w->pPlayList->IsFilling(); }, 60));
    EXPECT_EQ(w->pPlayList->GetList()->GetCount(), records);
    EXPECT_EQ(g_SysConfig.strCurSection, L"file" + std::to_wstring(current));
    ASSERT_NE(w->pPlayList->GetCurrentRecord(), nullptr);
    EXPECT_EQ(w->pPlayList->GetCurrentRecord()->strFilePath, path);
}

// With a long list the start file plays, from its stored place, while the list is still read:
// the read is held after its head until the engine plays. The record and its section follow
// the read; the position writes then land in that record.
TEST_F(MainWndX, TheStartFilePlaysWhileALongListIsStillRead) {
    constexpr int kRecords = 60000, kStart = 45000;
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\nbAddSimilarFile=1\n");
    std::ofstream(folder_ + "PlayList.info") << LongList(kRecords, {{kStart, {Clip("long.mp4"), 400}}}, Clip("b.mp4"));
    ListReadHold hold;
    g_SysConfig.BeginLoadPlayList(Clip("long.mp4"));
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    ASSERT_NE(w->pPlayList, nullptr);
    // Played from its start the clip would need 24 s to get there.
    ASSERT_TRUE(PumpUntil([&] { return Playing() && w->playerCtrl.GetPosition() >= 395; }, 15));
    EXPECT_TRUE(g_SysConfig.IsPlayListLoading());
    EXPECT_TRUE(w->pPlayList->IsReadAwaited());
    EXPECT_EQ(w->pPlayList->GetList()->GetCount(), 0);
    EXPECT_EQ(w->ListCurrentPath(), Clip("long.mp4"));
    EXPECT_EQ(g_SysConfig.strCurSection, L"");

    hold.Release();
    ExpectFilledWithCurrent(w, kRecords, kStart, Clip("long.mp4"));
    w->SaveCurrentPosition();
    ASSERT_TRUE(g_SysConfig.FlushPlayList());
    const std::wstring section = L"file" + std::to_wstring(kStart);
    EXPECT_GE(std::stoi(PlayListValue(section.c_str(), L"nPlayPos")), 395);
    EXPECT_EQ(PlayListValue(L"CurPlay", L"strFilePath"), Clip("long.mp4"));
}

// Without a start file, play resumes [CurPlay]'s file at its stored place while a long list is
// still read, and its row is the current one once the list is there.
TEST_F(MainWndX, CurPlayResumesWhileALongListIsStillRead) {
    constexpr int kRecords = 60000, kCur = 52000;
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\n");
    std::ofstream(folder_ + "PlayList.info") << LongList(kRecords, {{kCur, {Clip("long.mp4"), 400}}}, Clip("long.mp4"));
    ListReadHold hold;
    g_SysConfig.BeginLoadPlayList();
    CMorvaneWnd* w = Open();
    ASSERT_NE(w->pPlayList, nullptr);
    ASSERT_TRUE(w->pPlayList->IsReadAwaited());
    w->SetPlayState(true);  // the play button with nothing open
    ASSERT_TRUE(PumpUntil([&] { return Playing() && w->playerCtrl.GetPosition() >= 395; }, 15));
    EXPECT_TRUE(g_SysConfig.IsPlayListLoading());
    EXPECT_TRUE(w->pPlayList->IsReadAwaited());
    EXPECT_EQ(w->strCurrentPath, Clip("long.mp4"));

    hold.Release();
    ExpectFilledWithCurrent(w, kRecords, kCur, Clip("long.mp4"));
    EXPECT_EQ(w->pPlayList->GetSelectedPath(), Clip("long.mp4"));
}

TEST_F(MainWndX, QueuedAddressesPlayOnePerEnd) {
    const std::string a = testsupport::ReadFile(*media_ / "a.mp4");
    testsupport::HttpServer server;
    server.Handle("/one.mp4", [&](const testsupport::HttpRequest& r) { return testsupport::RangedReply(r, a); });
    server.Handle("/two.mp4", [&](const testsupport::HttpRequest& r) { return testsupport::RangedReply(r, a); });
    server.Handle("/three.mp4", [&](const testsupport::HttpRequest& r) { return testsupport::RangedReply(r, a); });
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open();
    g_UrlQueue.clear();
    for (const char* path : {"/one.mp4", "/two.mp4", "/three.mp4"}) g_UrlQueue.push_back(Wide(server.url(path)));
    g_nNextUrl = 1;
    w->PlayFile(g_UrlQueue[0]);
    for (size_t i = 1; i < 3; ++i) {
        ASSERT_TRUE(PumpUntil([&] { return w->strCurrentPath == g_UrlQueue[i]; })) << i;
        EXPECT_EQ(w->strCurrentTitle, Wide(i == 1 ? "two.mp4" : "three.mp4"));
    }
    ASSERT_TRUE(PumpUntil([&] { return !w->IsMediaOpen() && Visible(L"ctnClient"); }));
    EXPECT_EQ(server.count("/three.mp4") > 0, true);
    g_UrlQueue.clear();
    g_nNextUrl = 0;
}

TEST_F(MainWndX, WindowFitsTheVideoOncePerMedium) {
    Configure("[Global]\nnTopMostMode=2\nbScalePlayWnd=1\n");
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    HWND h = w->GetHWND();
    auto height = [&] {
        RECT rc;
        GetWindowRect(h, &rc);
        return rc.bottom - rc.top;
    };
    auto width = [&] {
        RECT rc;
        GetWindowRect(h, &rc);
        return rc.right - rc.left;
    };
    // 160 x 120: the height follows the width.
    ASSERT_TRUE(PumpUntil([&] { return Playing() && height() == width() * 3 / 4; }));
    SetWindowPos(h, nullptr, 0, 0, 700, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    w->SetPlayState(false);
    ASSERT_TRUE(PumpUntil([&] { return !w->playerCtrl.IsPlaying(); }));
    w->SetPlayState(true);
    ASSERT_TRUE(PumpUntil([&] { return w->playerCtrl.IsPlaying(); }));
    PumpFor(500);
    EXPECT_EQ(width(), 700);
    EXPECT_EQ(height(), 300);
}

TEST_F(MainWndX, DeletingThePlayingRowKeepsItsPositionsOutOfTheNextRecord) {
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\n",
              Record(1, Clip("a.mp4"), 0) + Record(2, Clip("long.mp4"), 0) + Record(3, Clip("b.mp4"), 700));
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing() && w->playerCtrl.GetPosition() > 0; }));
    ASSERT_EQ(g_SysConfig.strCurSection, L"file2");
    CPlayListUI* list = w->pPlayList->GetList();
    list->SelectItem(list->GetItemIndex(list->FindItemUIByPath(Clip("long.mp4"))), false, false, false);
    w->pPlayList->DeleteSelected();
    // b's record is "file2" now; pausing and stopping the file that still plays leave it alone.
    ASSERT_EQ(PlayListValue(L"file2", L"strFilePath"), Clip("b.mp4"));
    w->SetPlayState(false);
    ASSERT_TRUE(PumpUntil([&] { return !w->playerCtrl.IsPlaying(); }));
    PumpFor(300);
    EXPECT_EQ(PlayListValue(L"file2", L"nPlayPos"), L"700");
    w->Stop();
    EXPECT_EQ(PlayListValue(L"file2", L"nPlayPos"), L"700");
    EXPECT_EQ(g_SysConfig.mapPlayList[L"file2"].nPlayPos, 700);
}

TEST_F(MainWndX, ClosingStopsBeingTheInstanceAndSavesAPlacementStillWaitingForItsMove) {
    Configure("[Global]\nnTopMostMode=2\nbUseDefWindowInfo=0\n");
    CMorvaneWnd* w = Open();
    HWND h = w->GetHWND();
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h) != FALSE; }));
    MoveWindow(h, 123, 77, 640, 360, TRUE);
    // Well within the half second after which a move is written by itself.
    w->Shutdown();
    EXPECT_EQ(GetPropW(h, kMainWndProp), nullptr);  // what a second start looks for
    EXPECT_FALSE(IsWindowVisible(h));
    const std::wstring cfg = Wide(folder_ + "user.cfg");
    EXPECT_EQ(GetPrivateProfileIntW(L"Window", L"x0", -1, cfg.c_str()), 123u);
    EXPECT_EQ(GetPrivateProfileIntW(L"Window", L"y0", -1, cfg.c_str()), 77u);
    EXPECT_EQ(GetPrivateProfileIntW(L"Window", L"cx", -1, cfg.c_str()), 640u);
    EXPECT_EQ(GetPrivateProfileIntW(L"Window", L"cy", -1, cfg.c_str()), 360u);
}

// libVLC draws into the video surface from threads of its own: the window that goes away ends
// playback before that surface is destroyed under it (a video output still starting on a
// destroyed window crashed the process).
WNDPROC g_surfaceProcBefore = nullptr;
int g_playersAtSurfaceDestroy = -1;
LRESULT CALLBACK SurfaceDestroyWatch(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        CPlayerCtrl* ctrl = g_pPlayerCtrl.load();
        g_playersAtSurfaceDestroy = ctrl && ctrl->mediaPlayer.HasPlayer() ? 1 : 0;
    }
    return CallWindowProcW(g_surfaceProcBefore, h, msg, wp, lp);
}

TEST_F(MainWndX, DestroyingTheWindowEndsPlaybackBeforeTheVideoSurfaceGoes) {
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=0\n");
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    g_playersAtSurfaceDestroy = -1;
    g_surfaceProcBefore = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w->hVideoSurface, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SurfaceDestroyWatch)));
    DestroyWindow(w->GetHWND());
    EXPECT_EQ(g_playersAtSurfaceDestroy, 0);
}

TEST_F(MainWndX, ResumesAtTheStoredPosition) {
    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\n", Record(1, Clip("long.mp4"), 400));
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    // Played from its start the clip would need 24 s to get there.
    ASSERT_TRUE(PumpUntil([&] { return w->playerCtrl.GetPosition() >= 395; }, 15));
    wnd_.reset();

    Configure("[Global]\nnTopMostMode=2\nbSavePlayInfo=1\n", Record(1, Clip("long.mp4"), 1500));
    w = Open(Clip("long.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing() && w->playerCtrl.GetPosition() > 0; }));
    EXPECT_LT(w->playerCtrl.GetPosition(), 200);
}

TEST_F(MainWndX, SecondStartHandOverIsChecked) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open();
    std::wstring line = L"/opt/morvane/morvane " + Clip("a.mp4");
    auto send = [&](ULONG_PTR dwData, const std::wstring& text, size_t chars) {
        COPYDATASTRUCT cds{dwData, static_cast<DWORD>(chars * sizeof(wchar_t)), const_cast<wchar_t*>(text.c_str())};
        return SendMessageW(w->GetHWND(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    };
    send(7, line, line.size() + 1);
    EXPECT_TRUE(w->strCurrentPath.empty());
    send(0, L"/opt/morvane/morvane", 21);
    EXPECT_TRUE(w->strCurrentPath.empty());
    // Read within cbData only: the bytes after it are not part of the path.
    std::wstring longer = line + L"trailing";
    send(0, longer, line.size());
    EXPECT_EQ(w->strCurrentPath, Clip("a.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    const unsigned serial = w->playerCtrl.mediaPlayer.GetSerial();
    send(0, line, line.size() + 1);  // the file that plays already
    EXPECT_EQ(w->playerCtrl.mediaPlayer.GetSerial(), serial);
}

// A second start's file that comes before the start-up worker's play of the start file is the
// newer wish: it plays, and the start file only joins the list.
TEST_F(MainWndX, ASecondStartsFileBeforeTheStartFilesPlayWins) {
    Configure("[Global]\nnTopMostMode=2\nbAddSimilarFile=0\nnPlayOrder=1\n");
    wnd_ = std::make_unique<CMorvaneWnd>(Clip("long.mp4"));
    ASSERT_NE(wnd_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES),
              nullptr);
    // No message has been handled yet: the worker's play is still to come.
    std::wstring line = L"/opt/morvane/morvane " + Clip("b.mp4");
    COPYDATASTRUCT cds{0, static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)), line.data()};
    SendMessageW(wnd_->GetHWND(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    ASSERT_EQ(wnd_->strCurrentPath, Clip("b.mp4"));
    const unsigned serial = wnd_->playerCtrl.mediaPlayer.GetSerial();
    CPlayListUI* list = wnd_->pPlayList->GetList();
    ASSERT_TRUE(PumpUntil([&] { return list->FindItemUIByPath(Clip("long.mp4")) != nullptr; }));
    EXPECT_EQ(wnd_->strCurrentPath, Clip("b.mp4"));
    EXPECT_EQ(wnd_->ListCurrentPath(), Clip("b.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    EXPECT_EQ(wnd_->playerCtrl.mediaPlayer.GetSerial(), serial);
    EXPECT_EQ(wnd_->GetLastTip(), L"b.mp4");
}

// Closing saves the list and ends the process at once: the list is on the disk before that,
// also when its writer still waits (kept from the file for a while here, so a close that did not
// wait for it would leave the file as it was).
TEST_F(MainWndX, ClosingRightAfterAChangeLeavesTheListOnTheDisk) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open();
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(w->GetHWND()) != FALSE; }));
    const std::string file = folder_ + "PlayList.info";
    testsupport::WriteLockHeld slowDisk(file, std::chrono::milliseconds(300));
    w->pPlayList->AddFile(Clip("a.mp4"));
    w->Shutdown();
    EXPECT_NE(testsupport::ReadFile(file).find("a.mp4"), std::string::npos);
}

TEST_F(MainWndX, SubtitlesBesideTheVideoAreLoaded) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open(Clip("subs/Movie.mkv"));
    ASSERT_TRUE(PumpUntil([&] { return Playing(); }));
    std::set<std::wstring> loaded;
    for (const auto& [index, name] : g_SysConfig.mapSubtitleFile) loaded.insert(name);
    EXPECT_EQ(loaded, (std::set<std::wstring>{L"Movie.srt", L"movie.ASS"}));
    EXPECT_EQ(w->GetLastTip(), kTipSubtitlesFound);

    // One more by the dialog: it becomes the current subtitle.
    testsupport::ScopedDialogAnswer answer((*media_ / "subs" / "Other.srt").string());
    w->LoadSubtitleByDialog();
    EXPECT_EQ(w->GetLastTip(), kTipSubtitleLoaded);
    EXPECT_EQ(g_SysConfig.mapSubtitleFile[g_SysConfig.nCurSubtitle], L"Other.srt");
    w->Stop();
    w->LoadSubtitleByDialog();
    EXPECT_EQ(w->GetLastTip(), kTipSubtitleFailed);
}

TEST_F(MainWndX, SnapshotsInTheChosenFormatAndOnTheClipboard) {
    testsupport::TempDir snaps;
    Configure("[Global]\nnTopMostMode=2\nbTipSnapShot=0\nnSnapShotType=1\nstrSnapShotPath=" + snaps.path().string() + "\n");
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    // The clip has no sound: its clock runs only once the video output shows frames.
    ASSERT_TRUE(PumpUntil([&] { return Playing() && w->playerCtrl.GetTime() > 500; }));
    auto files = [&] {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(snaps.path())) out.push_back(e.path());
        return out;
    };

    w->TakeSnapshot();
    w->TakeSnapshot();  // within the same second as a rule: a name of its own
    auto taken = files();
    ASSERT_EQ(taken.size(), 2u) << testing::PrintToString(platform::Utf8FromWide(w->GetLastTip()));
    for (const auto& f : taken) {
        EXPECT_EQ(f.extension(), ".jpg");
        EXPECT_EQ(f.filename().string().rfind("Oskery截图", 0), 0u) << f;
        EXPECT_EQ(Magic(f, 2), "\xFF\xD8");
    }
    EXPECT_EQ(w->GetLastTip(), kTipSnapshotDone);
    ASSERT_TRUE(OpenClipboard(nullptr));
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    int bw = 0, bh = 0;
    EXPECT_TRUE(platform::shell::BitmapSize(bitmap, &bw, &bh));
    EXPECT_EQ(bw, w->playerCtrl.GetVideoWidth());
    if (bitmap) DeleteObject(bitmap);
    CloseClipboard();

    for (auto& f : taken) fs::remove(f);
    g_SysConfig.nSnapShotType = 0;
    w->TakeSnapshot();
    ASSERT_EQ(files().size(), 1u);
    EXPECT_EQ(Magic(files()[0], 2), "BM");
    fs::remove(files()[0]);
    g_SysConfig.nSnapShotType = 2;
    w->TakeSnapshot();
    ASSERT_EQ(files().size(), 1u);
    EXPECT_EQ(Magic(files()[0], 4), "\x89PNG");
    fs::remove(files()[0]);

    // Clipboard only: the image is there, no file is left.
    g_SysConfig.bOnlySnapToClipBoard = 1;
    w->TakeSnapshot();
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(w->GetLastTip(), kTipSnapshotDone);

    // Asked first: a cancelled dialog takes no snapshot.
    g_SysConfig.bOnlySnapToClipBoard = 0;
    g_SysConfig.bTipSnapShot = 1;
    {
        HWND dialog = nullptr;
        testsupport::ModalScript script({[&] { return (dialog = testsupport::FindDialog(L"截图")) != nullptr; },
                                         [&] { return PostMessageW(dialog, WM_CLOSE, IDCANCEL, 0) != FALSE; }},
                                        L"截图");
        w->TakeSnapshot();
        EXPECT_TRUE(script.finished());
    }
    EXPECT_TRUE(files().empty());
    g_SysConfig.bTipSnapShot = 0;

    // Nothing open: nothing happens.
    w->Stop();
    g_SysConfig.bOnlySnapToClipBoard = 0;
    w->ShowTip(L"before");
    w->TakeSnapshot();
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(w->GetLastTip(), L"before");
}

TEST_F(MainWndX, TheDefaultPicturesFolderIsMadeForTheFirstSnapshot) {
    testsupport::TempDir home;
    const fs::path pictures = home / "Bilder" / "Morvane";
    home.write("config/user-dirs.dirs", "XDG_PICTURES_DIR=\"" + pictures.string() + "\"\n");
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (home / "config").string());
    Configure("[Global]\nnTopMostMode=2\nbTipSnapShot=0\n");
    ASSERT_EQ(g_SysConfig.strSnapShotPath, pictures.wstring());
    ASSERT_FALSE(fs::exists(pictures));
    CMorvaneWnd* w = Open(Clip("long.mp4"));
    ASSERT_TRUE(PumpUntil([&] { return Playing() && w->playerCtrl.GetTime() > 500; }));
    bool askedForAFolder = false;
    {
        testsupport::ModalScript answer({[&] {
                                            HWND box = testsupport::FindDialog(L"Oskery提示");
                                            askedForAFolder = box != nullptr;
                                            return box && PostMessageW(box, WM_CLOSE, 0, 0) != FALSE;
                                        }},
                                        L"Oskery提示");
        w->TakeSnapshot();
    }
    EXPECT_FALSE(askedForAFolder);
    EXPECT_EQ(w->GetLastTip(), kTipSnapshotDone) << platform::Utf8FromWide(w->GetLastTip());
    ASSERT_TRUE(fs::is_directory(pictures));
    std::vector<fs::path> shots;
    for (const auto& e : fs::directory_iterator(pictures)) shots.push_back(e.path());
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_EQ(shots[0].extension(), ".jpg");
    EXPECT_EQ(Magic(shots[0], 2), "\xFF\xD8");
}

TEST_F(MainWndX, OpenDialogPlaysTheChosenFile) {
    Configure("[Global]\nnTopMostMode=2\n");
    CMorvaneWnd* w = Open();
    {
        testsupport::ScopedDialogAnswer cancel("");
        w->OpenFileDialog();
        EXPECT_TRUE(w->strCurrentPath.empty());
    }
    // A path longer than the 260 characters of old plays as well.
    const fs::path deep = *media_ / std::string(150, 'd') / std::string(150, 'e');
    fs::create_directories(deep);
    fs::copy_file(*media_ / "a.mp4", deep / "q\"t.mp4", fs::copy_options::overwrite_existing);
    for (const fs::path& chosen : {fs::path(Clip("b.mp4")), deep / "q\"t.mp4"}) {
        testsupport::ScopedDialogAnswer answer(chosen.string());
        PostMessageW(w->GetHWND(), WM_PLAYER_OPEN_FILE, 0, 0);
        ASSERT_TRUE(PumpUntil([&] { return Playing() && w->strCurrentPath == chosen.wstring(); })) << chosen;
        EXPECT_TRUE(IsWindowEnabled(w->GetHWND()));
        ASSERT_NE(w->pPlayList, nullptr);
        EXPECT_TRUE(IsWindowEnabled(w->pPlayList->GetHWND()));
    }
}

}  // namespace
