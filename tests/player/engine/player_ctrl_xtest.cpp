// The player control on real libVLC, playing clips made with ffmpeg into the window layer's
// native child window: the engine-event messages as the play panel receives them, the volume
// given to each new medium, and late messages of a replaced player.
#include <gtest/gtest.h>
#include <vlc/vlc.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/windows/winuser.h"
#include "player/engine/media_player.h"
#include "player/engine/player_ctrl.h"
#include "support/clips.h"
#include "support/libvlc_loaded.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

namespace {

struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool current;      // what the play panel would act on
    std::int64_t timeMs;  // the engine's time when the message was handled
};

std::vector<Received> g_received;

LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_PLAYER_PLAYING && msg <= WM_PLAYER_BUFFERING) {
        CPlayerCtrl* ctrl = g_pPlayerCtrl;
        if (ctrl) {
            g_received.push_back({msg, wParam, lParam, ctrl->IsCurrentMessage(wParam, lParam),
                                  ctrl->GetTime()});
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class PlayerCtrlX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        // Each test's control starts and ends its own libVLC instance.
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
        // Sound goes to ALSA's null device: silent, and its volume is real. Without volume saving,
        // one control's volume never carries over to the next in this process.
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        dir_ = new testsupport::TempDir();
        testsupport::MakeVideoClip(*dir_ / "clip.mp4", 2.0);
        testsupport::MakeVideoClip(*dir_ / "short.mp4", 1.0);
        testsupport::MakeVideoClip(*dir_ / "long.mp4", 8.0);
        testsupport::MakeBrokenFile(*dir_ / "broken.mp4");

        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &NotifyProc;
        wc.lpszClassName = L"MorvaneTestNotify";
        RegisterClassExW(&wc);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override {
        g_received.clear();
        notify_ = CreateWindowExW(0, L"MorvaneTestNotify", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
        top_ = CreateWindowExW(0, L"MorvaneTestNotify", L"video", WS_POPUP | WS_VISIBLE, 50, 50, 320, 240,
                               nullptr, nullptr, nullptr, nullptr);
        video_ = CreateWindowExW(0, platform::kNativeWindowClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 320, 240,
                                 top_, nullptr, nullptr, nullptr);
        ASSERT_TRUE(IsWindow(notify_));
        ASSERT_TRUE(IsWindow(video_));
        ShowWindow(top_, SW_SHOW);
        ASSERT_NE(platform::GetX11WindowId(video_), 0ul);
        ctrl_ = std::make_unique<CPlayerCtrl>();
        ctrl_->Attach(notify_, video_);
        Pump();
    }

    void TearDown() override {
        ctrl_.reset();
        Pump();
        DestroyWindow(video_);
        DestroyWindow(top_);
        DestroyWindow(notify_);
        g_received.clear();
    }

    static std::wstring Clip(const char* name) { return (*dir_ / name).wstring(); }

    static void Pump() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }

    // Dispatches messages until the condition holds (at most 30 s).
    static bool WaitFor(const std::function<bool()>& cond) {
        return testsupport::WaitFor(
            [&] {
                Pump();
                return cond();
            },
            std::chrono::seconds(30));
    }

    // Keeps dispatching for a short while, for checks that something does not happen.
    static void PumpFor(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    static int Seen(UINT msg) {
        int n = 0;
        for (const auto& r : g_received) n += (r.current && r.msg == msg);
        return n;
    }

    // The current player's messages without the frequent position and buffering reports.
    static std::vector<UINT> Sequence() {
        std::vector<UINT> out;
        for (const auto& r : g_received) {
            if (r.current && r.msg != WM_PLAYER_POSITION && r.msg != WM_PLAYER_BUFFERING) out.push_back(r.msg);
        }
        return out;
    }

    void OpenAndWaitPlaying(const char* name) {
        const int before = Seen(WM_PLAYER_PLAYING);
        ctrl_->OpenMedia(Clip(name));
        ASSERT_TRUE(WaitFor([&] { return Seen(WM_PLAYER_PLAYING) > before; })) << name;
    }

    void PauseAndWait() {
        const int before = Seen(WM_PLAYER_PAUSED);
        ctrl_->SetPlay(false);
        ASSERT_TRUE(WaitFor([&] { return Seen(WM_PLAYER_PAUSED) > before; }));
    }

    static testsupport::TempDir* dir_;
    HWND notify_ = nullptr;
    HWND top_ = nullptr;
    HWND video_ = nullptr;
    std::unique_ptr<CPlayerCtrl> ctrl_;
};

testsupport::TempDir* PlayerCtrlX::dir_ = nullptr;

TEST_F(PlayerCtrlX, MessagesOfPlayPauseResumeAndEnd) {
    OpenAndWaitPlaying("clip.mp4");
    EXPECT_TRUE(ctrl_->HasPlayer());
    EXPECT_EQ(ctrl_->GetState(), 103);
    EXPECT_EQ(ctrl_->mediaPlayer.GetRenderWindow(), video_);
    EXPECT_EQ(libvlc_media_player_get_xwindow(ctrl_->mediaPlayer.GetPlayer()), platform::GetX11WindowId(video_));
    ASSERT_TRUE(WaitFor([] { return Seen(WM_PLAYER_POSITION) > 0; }));

    PauseAndWait();
    EXPECT_FALSE(ctrl_->IsPlaying());
    // Pausing a paused player keeps it paused.
    ctrl_->SetPlay(false);
    PumpFor(400);
    EXPECT_FALSE(ctrl_->IsPlaying());
    EXPECT_EQ(ctrl_->GetState(), 104);
    EXPECT_EQ(Seen(WM_PLAYER_PLAYING), 1);

    ctrl_->SetPlay(true);
    ASSERT_TRUE(WaitFor([] { return Seen(WM_PLAYER_ENDED) > 0; }));
    ASSERT_TRUE(WaitFor([] { return Seen(WM_PLAYER_STOPPED) > 0; }));
    const std::vector<UINT> expected = {WM_PLAYER_PLAYING, WM_PLAYER_PAUSED, WM_PLAYER_PLAYING, WM_PLAYER_ENDED,
                                        WM_PLAYER_STOPPED};
    EXPECT_EQ(Sequence(), expected);
    EXPECT_GT(Seen(WM_PLAYER_BUFFERING), 0);
    for (const auto& r : g_received) {
        EXPECT_EQ(r.wParam, reinterpret_cast<WPARAM>(&ctrl_->mediaPlayer));
        EXPECT_EQ(static_cast<unsigned>(r.lParam), ctrl_->mediaPlayer.GetSerial());
    }
}

// A medium begun before its windows exist: its reports wait, and OpenMedia of the same medium takes
// the player over (no second open) and passes them on in order; another medium drops them.
TEST_F(PlayerCtrlX, AnEarlyMediumReportsOnceOpenMediaTakesItOver) {
    ctrl_->OpenEarly(Clip("long.mp4"));
    const unsigned early = ctrl_->mediaPlayer.GetSerial();
    ASSERT_TRUE(WaitFor([&] { return ctrl_->IsPlaying(); }));
    PumpFor(300);
    EXPECT_TRUE(g_received.empty());

    ctrl_->OpenMedia(Clip("long.mp4"));
    EXPECT_EQ(ctrl_->mediaPlayer.GetSerial(), early);
    ASSERT_TRUE(WaitFor([] { return Seen(WM_PLAYER_PLAYING) > 0 && Seen(WM_PLAYER_POSITION) > 0; }));
    EXPECT_EQ(Sequence(), std::vector<UINT>{WM_PLAYER_PLAYING});
    EXPECT_EQ(g_received.front().msg, WM_PLAYER_BUFFERING);  // as libVLC raised them
    EXPECT_TRUE(WaitFor([&] { return !ctrl_->bPendingVolume; }));
}

TEST_F(PlayerCtrlX, AnotherMediumDropsTheEarlyOnesReports) {
    ctrl_->OpenEarly(Clip("long.mp4"));
    const unsigned early = ctrl_->mediaPlayer.GetSerial();
    ASSERT_TRUE(WaitFor([&] { return ctrl_->IsPlaying(); }));
    OpenAndWaitPlaying("clip.mp4");
    EXPECT_NE(ctrl_->mediaPlayer.GetSerial(), early);
    for (const auto& r : g_received) EXPECT_FALSE(r.msg == WM_PLAYER_PLAYING && static_cast<unsigned>(r.lParam) == early);
}

TEST_F(PlayerCtrlX, BrokenFileSendsError) {
    ctrl_->OpenMedia(Clip("broken.mp4"));
    ASSERT_TRUE(WaitFor([] { return Seen(WM_PLAYER_ERROR) > 0; }));
    EXPECT_EQ(Seen(WM_PLAYER_PLAYING), 0);
    EXPECT_EQ(Seen(WM_PLAYER_ENDED), 0);
}

TEST_F(PlayerCtrlX, StoredVolumeReachesTheMediumAtItsFirstPositionReport) {
    ctrl_->SetStoredVolume(70);
    ctrl_->OpenMedia(Clip("long.mp4"));
    EXPECT_TRUE(ctrl_->bPendingVolume);
    ASSERT_TRUE(WaitFor([&] { return Seen(WM_PLAYER_POSITION) > 0 && !ctrl_->bPendingVolume; }));
    // libVLC reports the level its audio output took a moment after it was set.
    EXPECT_TRUE(WaitFor([&] { return ctrl_->mediaPlayer.GetVolume() == 70; })) << ctrl_->mediaPlayer.GetVolume();

    // Later reports leave a volume changed meanwhile alone.
    ctrl_->mediaPlayer.SetVolume(30);
    EXPECT_TRUE(WaitFor([&] { return ctrl_->mediaPlayer.GetVolume() == 30; }));
    const int reports = Seen(WM_PLAYER_POSITION);
    ASSERT_TRUE(WaitFor([&] { return Seen(WM_PLAYER_POSITION) >= reports + 2; }));
    EXPECT_EQ(ctrl_->mediaPlayer.GetVolume(), 30);

    // The audio output may be rebuilt at any moment on a loaded machine; the level still arrives.
    ctrl_->Mute();
    EXPECT_TRUE(ctrl_->bMuted);
    EXPECT_TRUE(WaitFor([&] { return ctrl_->mediaPlayer.GetVolume() == 0; }));
    ctrl_->Unmute();
    EXPECT_FALSE(ctrl_->bMuted);
    EXPECT_TRUE(WaitFor([&] { return ctrl_->mediaPlayer.GetVolume() == 70; }));
}

TEST_F(PlayerCtrlX, OpeningWhileMutedGivesSilenceAndKeepsTheLevel) {
    ctrl_->SetStoredVolume(70);
    ctrl_->bMuted = true;
    ctrl_->OpenMedia(Clip("long.mp4"));
    ASSERT_TRUE(WaitFor([&] { return Seen(WM_PLAYER_POSITION) > 0 && !ctrl_->bPendingVolume; }));
    EXPECT_TRUE(WaitFor([&] { return ctrl_->mediaPlayer.GetVolume() == 0; })) << ctrl_->mediaPlayer.GetVolume();
    EXPECT_TRUE(ctrl_->bMuted);
    EXPECT_EQ(ctrl_->GetVolume(), 70);
    EXPECT_FALSE(ctrl_->IsMuted());  // libVLC's own mute is not used
}

TEST_F(PlayerCtrlX, LateMessagesOfAReplacedPlayerAreDropped) {
    ctrl_->OpenMedia(Clip("short.mp4"));
    const unsigned first = ctrl_->mediaPlayer.GetSerial();
    // Let the first clip end without handling its messages: its end report waits in the queue.
    MSG m;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!PeekMessageW(&m, notify_, WM_PLAYER_ENDED, WM_PLAYER_ENDED, PM_NOREMOVE) &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(m.message, WM_PLAYER_ENDED);

    OpenAndWaitPlaying("clip.mp4");
    const unsigned second = ctrl_->mediaPlayer.GetSerial();
    EXPECT_NE(first, second);
    bool staleEndSeen = false;
    for (const auto& r : g_received) {
        if (static_cast<unsigned>(r.lParam) == first) {
            EXPECT_FALSE(r.current);
            staleEndSeen |= r.msg == WM_PLAYER_ENDED;
        } else {
            EXPECT_EQ(static_cast<unsigned>(r.lParam), second);
            EXPECT_TRUE(r.current);
        }
    }
    EXPECT_TRUE(staleEndSeen);
    EXPECT_EQ(Seen(WM_PLAYER_ENDED), 0);
    EXPECT_EQ(Seen(WM_PLAYER_STOPPED), 0) << "replacing a player reports no stop";
    EXPECT_TRUE(ctrl_->IsPlaying());
}

}  // namespace
