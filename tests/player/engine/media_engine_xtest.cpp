// The engine on real libVLC, playing clips made with ffmpeg into an X window: the events of
// play, pause, end and of broken media, seeking, rate, subtitle and audio tracks, snapshots.
#include <gtest/gtest.h>
#include <vlc/vlc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "player/engine/media_player.h"
#include "support/clips.h"
#include "support/http_server.h"
#include "support/libvlc_loaded.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

// Last: Xlib defines macros that clash with other headers.
#include <X11/Xlib.h>

namespace {

struct Seen {
    int type;
    unsigned serial;
};

std::mutex g_mutex;
std::vector<Seen> g_events;

template <int Type>
void Record(CMediaPlayer*, unsigned serial) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_events.push_back({Type, serial});
}

class MediaEngineX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        // Without volume saving, one engine's volume never carries over to the next in this process.
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        dir_ = new testsupport::TempDir();
        testsupport::MakeVideoClip(*dir_ / "clip.mp4", 2.0);
        testsupport::MakeVideoClip(*dir_ / "short.mp4", 1.0);
        testsupport::MakeVideoClip(*dir_ / "long.mp4", 8.0);
        testsupport::MakeTwoAudioTrackClip(*dir_ / "two.mkv", 3.0);
        testsupport::MakeVideoClip(*dir_ / "subs.mp4", 3.0);
        testsupport::WriteSubtitleBeside(*dir_ / "subs.mp4", {"One", "Two", "Three"});
        testsupport::MakeBrokenFile(*dir_ / "broken.mp4");
        testsupport::MakeNoiseFile(*dir_ / "noise.mp4");
        testsupport::MakeTruncatedCopy(*dir_ / "clip.mp4", *dir_ / "truncated.mp4", 3000);
        testsupport::ClipOptions oneFrame;
        oneFrame.seconds = 0.04;
        oneFrame.audioTracks = 0;
        testsupport::MakeClip(*dir_ / "oneframe.mp4", oneFrame);
        testsupport::MakeVideoClip(*dir_ / "tiny.mp4", 0.2);
        testsupport::MakeAudioClip(*dir_ / "tiny.mp3", 0.1);
        testsupport::MakeAudioClip(*dir_ / "tone.mp3", 4.0);
        testsupport::MakeNoiseFile(*dir_ / "noise.mp3");
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr) << "needs the X display";
        // Each test's engine starts and ends its own libVLC instance.
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
    }
    static void TearDownTestSuite() {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 320, 240, 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
        NewEngine();
    }

    // A new engine, whose libVLC instance takes the options MORVANE_VLC_OPTIONS holds at its first open.
    // Its serials start again, so the events of an engine before it are forgotten.
    void NewEngine() {
        engine_.reset();
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_events.clear();
        }
        engine_ = std::make_unique<CMediaPlayer>();
        engine_->SetRenderXWindow(window_);
        engine_->SetPlayingHandler(&Record<CMediaPlayer::kPlaying>);
        engine_->SetPositionChangedHandler(&Record<CMediaPlayer::kPositionChanged>);
        engine_->SetEndReachedHandler(&Record<CMediaPlayer::kEndReached>);
        engine_->SetEncounteredErrorHandler(&Record<CMediaPlayer::kEncounteredError>);
        engine_->SetPausedHandler(&Record<CMediaPlayer::kPaused>);
        engine_->SetStoppedHandler(&Record<CMediaPlayer::kStopped>);
        engine_->SetBufferingHandler(&Record<CMediaPlayer::kBuffering>);
    }

    void TearDown() override {
        engine_.reset();
        XDestroyWindow(display_, window_);
        XSync(display_, False);
    }

    static std::string Clip(const char* name) { return (*dir_ / name).string(); }

    static bool WaitFor(const std::function<bool()>& cond) { return testsupport::WaitFor(cond, std::chrono::seconds(30)); }

    static int Count(int type) {
        std::lock_guard<std::mutex> lock(g_mutex);
        int n = 0;
        for (const auto& e : g_events) n += e.type == type;
        return n;
    }

    static std::vector<Seen> Events() {
        std::lock_guard<std::mutex> lock(g_mutex);
        return g_events;
    }

    // The events without the frequent position and buffering reports.
    static std::vector<int> Sequence() {
        std::vector<int> out;
        for (const auto& e : Events()) {
            if (e.type != CMediaPlayer::kPositionChanged && e.type != CMediaPlayer::kBuffering) out.push_back(e.type);
        }
        return out;
    }

    // How the medium now open ended, once libVLC is done with it: kEndReached or
    // kEncounteredError, 0 when neither or both were reported.
    int Outcome() {
        const unsigned serial = engine_->GetSerial();
        auto count = [serial](int type) {
            std::lock_guard<std::mutex> lock(g_mutex);
            int n = 0;
            for (const auto& e : g_events) n += e.type == type && e.serial == serial;
            return n;
        };
        if (!WaitFor([&] { return count(CMediaPlayer::kStopped) > 0; })) return 0;
        const int ended = count(CMediaPlayer::kEndReached), failed = count(CMediaPlayer::kEncounteredError);
        if (ended + failed != 1) return 0;
        return ended ? CMediaPlayer::kEndReached : CMediaPlayer::kEncounteredError;
    }

    void OpenAndWaitPlaying(const char* name) {
        const int before = Count(CMediaPlayer::kPlaying);
        ASSERT_TRUE(engine_->Open(Clip(name))) << engine_->GetInstanceError();
        ASSERT_TRUE(WaitFor([&] { return Count(CMediaPlayer::kPlaying) > before; })) << name;
    }

    void PauseAndWait() {
        const int before = Count(CMediaPlayer::kPaused);
        engine_->Pause();
        ASSERT_TRUE(WaitFor([&] { return Count(CMediaPlayer::kPaused) > before; }));
    }

    static bool Near(std::int64_t value, std::int64_t target, std::int64_t tolerance) {
        return value >= target - tolerance && value <= target + tolerance;
    }

    static testsupport::TempDir* dir_;
    static Display* display_;
    Window window_ = 0;
    std::unique_ptr<CMediaPlayer> engine_;
};

testsupport::TempDir* MediaEngineX::dir_ = nullptr;
Display* MediaEngineX::display_ = nullptr;

TEST_F(MediaEngineX, EventsOfPlayPauseResumeAndEnd) {
    OpenAndWaitPlaying("clip.mp4");
    EXPECT_TRUE(engine_->HasPlayer());
    EXPECT_EQ(engine_->GetState(), 103);
    EXPECT_EQ(libvlc_media_player_get_xwindow(engine_->GetPlayer()), window_);
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kPositionChanged) > 0; }));

    PauseAndWait();
    EXPECT_FALSE(engine_->IsPlaying());
    // Pausing a paused player keeps it paused (no toggle).
    engine_->Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(engine_->IsPlaying());
    EXPECT_EQ(engine_->GetState(), 104);
    EXPECT_EQ(Count(CMediaPlayer::kPlaying), 1);

    engine_->Play();
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kEndReached) > 0; }));
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kStopped) > 0; }));
    const std::vector<int> expected = {CMediaPlayer::kPlaying, CMediaPlayer::kPaused, CMediaPlayer::kPlaying,
                                       CMediaPlayer::kEndReached, CMediaPlayer::kStopped};
    EXPECT_EQ(Sequence(), expected);
    EXPECT_GT(Count(CMediaPlayer::kBuffering), 0);
    for (const auto& e : Events()) EXPECT_EQ(e.serial, engine_->GetSerial());
}

TEST_F(MediaEngineX, StopWhilePlaying) {
    OpenAndWaitPlaying("long.mp4");
    engine_->Stop();
    EXPECT_FALSE(engine_->HasPlayer());
    EXPECT_EQ(engine_->GetState(), 0);
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kStopped) > 0; }));
    EXPECT_EQ(Count(CMediaPlayer::kEndReached), 0);
}

TEST_F(MediaEngineX, BrokenFileReportsAnError) {
    ASSERT_TRUE(engine_->Open(Clip("broken.mp4")));
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kEncounteredError) > 0; }));
    EXPECT_EQ(Count(CMediaPlayer::kPlaying), 0);
    EXPECT_EQ(Count(CMediaPlayer::kEndReached), 0);
}

// libVLC itself reports such media as playing and then ended. Good media end normally also
// where no sound device takes their audio: what was decoded tells them from damaged ones.
TEST_F(MediaEngineX, MediaThatNothingCouldBeDecodedOfEndInAnError) {
    const std::string clip = testsupport::ReadFile(*dir_ / "clip.mp4");
    testsupport::HttpReply whole;  // no ranges: the index at the file's end cannot be reached
    whole.body = clip;
    testsupport::HttpServer server;
    server.Serve("/whole.mp4", whole);
    server.Handle("/ranged.mp4", [&](const testsupport::HttpRequest& r) { return testsupport::RangedReply(r, clip); });
    std::atomic<int> slowRequests{0};
    server.Handle("/slow.mp4", [&](const testsupport::HttpRequest& r) {
        testsupport::HttpReply reply = testsupport::RangedReply(r, clip);
        if (slowRequests++ == 0) reply.delayMs = 1500;  // the first frame comes late
        return reply;
    });
    const struct {
        std::string source;
        int outcome;
    } cases[] = {
        {Clip("noise.mp4"), CMediaPlayer::kEncounteredError},
        {Clip("truncated.mp4"), CMediaPlayer::kEncounteredError},
        {server.url("/whole.mp4"), CMediaPlayer::kEncounteredError},
        {Clip("tiny.mp4"), CMediaPlayer::kEndReached},
        {Clip("oneframe.mp4"), CMediaPlayer::kEndReached},
        {Clip("noise.mp3"), CMediaPlayer::kEncounteredError},
        {Clip("tiny.mp3"), CMediaPlayer::kEndReached},
        {Clip("tone.mp3"), CMediaPlayer::kEndReached},
        {server.url("/ranged.mp4"), CMediaPlayer::kEndReached},
        {server.url("/slow.mp4"), CMediaPlayer::kEndReached},
    };
    for (const char* sound : {"--alsa-audio-device=null", "--alsa-audio-device=hw:9,9"}) {
        testsupport::ScopedEnv options("MORVANE_VLC_OPTIONS", std::string("--aout=alsa --no-volume-save ") + sound);
        NewEngine();
        for (const auto& c : cases) {
            ASSERT_TRUE(engine_->Open(c.source)) << engine_->GetInstanceError();
            EXPECT_EQ(Outcome(), c.outcome) << c.source << " with " << sound;
        }
    }
}

TEST_F(MediaEngineX, SeekPositionAndTime) {
    OpenAndWaitPlaying("long.mp4");
    PauseAndWait();
    ASSERT_TRUE(WaitFor([&] { return engine_->GetLength() > 0; }));
    EXPECT_TRUE(Near(engine_->GetLength(), 8000, 200)) << engine_->GetLength();

    engine_->SetTime(1000);
    ASSERT_TRUE(WaitFor([&] { return Near(engine_->GetTime(), 1000, 250); })) << engine_->GetTime();
    engine_->SeekForward();
    ASSERT_TRUE(WaitFor([&] { return Near(engine_->GetTime(), 6000, 250); })) << engine_->GetTime();
    engine_->SeekBackward();
    ASSERT_TRUE(WaitFor([&] { return Near(engine_->GetTime(), 1000, 250); })) << engine_->GetTime();
    engine_->SeekBackward();  // within the first 5 s: the start
    ASSERT_TRUE(WaitFor([&] { return engine_->GetTime() <= 250; })) << engine_->GetTime();

    engine_->SetPosition(500);
    ASSERT_TRUE(WaitFor([&] { return Near(engine_->GetPosition(), 500, 40); })) << engine_->GetPosition();
    engine_->SetPosition(1001);
    engine_->SetPosition(-1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Near(engine_->GetPosition(), 500, 40)) << engine_->GetPosition();
}

TEST_F(MediaEngineX, SeekForwardNearTheEndLandsOnTheEnd) {
    OpenAndWaitPlaying("long.mp4");
    PauseAndWait();
    engine_->SetTime(6500);
    ASSERT_TRUE(WaitFor([&] { return Near(engine_->GetTime(), 6500, 250); })) << engine_->GetTime();
    engine_->SeekForward();
    ASSERT_TRUE(WaitFor([&] { return engine_->GetTime() >= 7500; })) << engine_->GetTime();
    engine_->Play();
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kEndReached) > 0; }));
}

TEST_F(MediaEngineX, RateAndVolume) {
    OpenAndWaitPlaying("long.mp4");
    engine_->SetRate(2.0f);
    EXPECT_FLOAT_EQ(engine_->GetRate(), 2.0f);
    engine_->SetRate(0.5f);
    EXPECT_FLOAT_EQ(engine_->GetRate(), 0.5f);

    // The audio output takes a volume only once the audio stream has started, which may come
    // after the first position reports, and libVLC reports the level it took a moment later.
    ASSERT_TRUE(WaitFor([&] { return engine_->SetVolume(50); }));
    auto reports = [&](int level) { return WaitFor([&] { return engine_->GetVolume() == level; }); };
    EXPECT_TRUE(reports(50)) << engine_->GetVolume();
    engine_->VolumeUp();
    EXPECT_TRUE(reports(55)) << engine_->GetVolume();
    engine_->VolumeDown();
    EXPECT_TRUE(reports(49)) << engine_->GetVolume();
    engine_->SetVolume(-3);
    EXPECT_TRUE(reports(0)) << engine_->GetVolume();
    EXPECT_FALSE(engine_->SetVolumeOf(engine_->GetSerial() + 1, 40));  // not the current player
    EXPECT_EQ(engine_->GetVolume(), 0);
    EXPECT_TRUE(engine_->SetVolumeOf(engine_->GetSerial(), 40));
    EXPECT_TRUE(reports(40)) << engine_->GetVolume();
    engine_->ToggleMute();
    EXPECT_TRUE(WaitFor([&] { return engine_->IsMuted(); }));
    engine_->ToggleMute();
    EXPECT_TRUE(WaitFor([&] { return !engine_->IsMuted(); }));
}

TEST_F(MediaEngineX, SubtitleFileAndTrackList) {
    OpenAndWaitPlaying("subs.mp4");
    PauseAndWait();
    std::vector<TrackInfo> subs;
    engine_->RefreshSubtitleList(subs);
    EXPECT_TRUE(subs.empty()) << "a file beside the clip is not picked up by itself";

    EXPECT_GE(engine_->LoadSubtitleFile(Clip("subs.srt")), 1);
    ASSERT_TRUE(WaitFor([&] {
        engine_->RefreshSubtitleList(subs);
        return subs.size() == 1;
    }));
    EXPECT_NE(subs[0].id, -1);
    EXPECT_EQ(engine_->GetSubtitleCount(), 1);
    EXPECT_TRUE(engine_->HasSubtitles());

    libvlc_media_player_t* p = engine_->GetPlayer();
    engine_->SetSubtitle(0);
    ASSERT_TRUE(WaitFor([&] { return libvlc_video_get_spu(p) == subs[0].id; }));
    engine_->HideSubtitles(true);
    ASSERT_TRUE(WaitFor([&] { return libvlc_video_get_spu(p) == -1; }));
    engine_->SetSubtitle(1);  // equal to the list size: nothing
    engine_->SetSubtitle(-1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(libvlc_video_get_spu(p), -1);

    engine_->Stop();
    EXPECT_EQ(engine_->GetSubtitleCount(), 0);
    EXPECT_EQ(engine_->LoadSubtitleFile(Clip("subs.srt")), -1);
}

TEST_F(MediaEngineX, AudioTrackListAndSelection) {
    OpenAndWaitPlaying("two.mkv");
    std::vector<TrackInfo> tracks;
    ASSERT_TRUE(WaitFor([&] {
        engine_->RefreshAudioTrackList(tracks);
        return tracks.size() == 2;
    }));
    EXPECT_NE(tracks[0].id, tracks[1].id);
    for (const auto& t : tracks) EXPECT_NE(t.id, -1);
    EXPECT_NE(tracks[0].name.find("First"), std::string::npos) << tracks[0].name;
    EXPECT_NE(tracks[1].name.find("Second"), std::string::npos) << tracks[1].name;

    libvlc_media_player_t* p = engine_->GetPlayer();
    engine_->SetAudioTrack(1);
    ASSERT_TRUE(WaitFor([&] { return libvlc_audio_get_track(p) == tracks[1].id; }));
    engine_->SetAudioTrack(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(libvlc_audio_get_track(p), tracks[1].id);
}

TEST_F(MediaEngineX, SnapshotIsAnImageOfTheVideoSize) {
    OpenAndWaitPlaying("long.mp4");
    ASSERT_TRUE(WaitFor([&] {
        return libvlc_media_player_has_vout(engine_->GetPlayer()) > 0 && engine_->GetVideoWidth() == 320;
    }));
    EXPECT_EQ(engine_->GetVideoHeight(), 240);

    const auto shot = *dir_ / "snap.png";
    ASSERT_TRUE(engine_->TakeSnapshot(shot.string()));
    // libVLC gives up on a picture its video output did not hand over in time (a busy machine):
    // asked again, as a user would press again.
    auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        if (std::filesystem::exists(shot) && std::filesystem::file_size(shot) > 24) return true;
        if (std::chrono::steady_clock::now() - asked > std::chrono::seconds(3)) {
            engine_->TakeSnapshot(shot.string());
            asked = std::chrono::steady_clock::now();
        }
        return false;
    }, std::chrono::seconds(60)));
    const std::string png = testsupport::ReadFile(shot);
    ASSERT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    auto be32 = [&](size_t at) {
        return (static_cast<unsigned>(static_cast<unsigned char>(png[at])) << 24) |
               (static_cast<unsigned>(static_cast<unsigned char>(png[at + 1])) << 16) |
               (static_cast<unsigned>(static_cast<unsigned char>(png[at + 2])) << 8) |
               static_cast<unsigned>(static_cast<unsigned char>(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 320u);
    EXPECT_EQ(be32(20), 240u);
    EXPECT_EQ(testsupport::RunProgram({"ffmpeg", "-v", "error", "-i", shot.string(), "-f", "null", "-"}), 0);
}

TEST_F(MediaEngineX, AReplacedPlayerReportsNothingMore) {
    OpenAndWaitPlaying("long.mp4");
    const unsigned first = engine_->GetSerial();
    OpenAndWaitPlaying("short.mp4");
    const unsigned second = engine_->GetSerial();
    EXPECT_NE(first, second);
    ASSERT_TRUE(WaitFor([] { return Count(CMediaPlayer::kEndReached) > 0; }));
    bool sawFirst = false;
    for (const auto& e : Events()) {
        if (e.serial == second) continue;
        EXPECT_EQ(e.serial, first);
        // The old player's stop on replacement is not reported.
        EXPECT_NE(e.type, CMediaPlayer::kStopped);
        EXPECT_NE(e.type, CMediaPlayer::kEndReached);
        sawFirst = true;
    }
    EXPECT_TRUE(sawFirst);
}

TEST_F(MediaEngineX, EmptyOpenLeavesTheMediumPlaying) {
    OpenAndWaitPlaying("long.mp4");
    const unsigned serial = engine_->GetSerial();
    EXPECT_FALSE(engine_->Open(""));
    EXPECT_EQ(engine_->GetSerial(), serial);
    EXPECT_TRUE(engine_->IsPlaying());
}

}  // namespace
