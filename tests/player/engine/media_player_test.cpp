// The engine without a display: calls without a player, event routing, instance failure.
#include "player/engine/media_player.h"

#include <gtest/gtest.h>
#include <vlc/vlc.h>

#include "support/temp_dir.h"

namespace {

int g_calls[300];
template <int Type>
void CountType(CMediaPlayer*, unsigned) { ++g_calls[Type]; }

}  // namespace

TEST(MediaPlayerNoPlayer, EveryCallIsSafeAndQueriesGiveDefaults) {
    CMediaPlayer e;
    EXPECT_FALSE(e.HasPlayer());
    EXPECT_FALSE(e.Open(""));  // an empty text opens nothing
    e.Play();
    e.Pause();
    e.Stop();
    e.SetTime(1000);
    e.SetPosition(500);
    e.SeekForward();
    e.SeekBackward();
    e.SetVolume(50);
    e.VolumeUp();
    e.VolumeDown();
    e.ToggleMute();
    e.SetRate(2.0f);
    e.SetScale(2.0f);
    e.SetAspectRatio(16, 9);
    e.ShowTitle();
    e.HideSubtitles(true);
    e.SetSubtitle(0);
    e.SetAudioTrack(0);
    EXPECT_FALSE(e.IsPlaying());
    EXPECT_EQ(e.GetLength(), 0);
    EXPECT_EQ(e.GetTime(), 0);
    EXPECT_EQ(e.GetPosition(), 0);
    EXPECT_EQ(e.GetVolume(), 0);
    EXPECT_FALSE(e.IsMuted());
    EXPECT_EQ(e.GetRate(), 1.0f);
    EXPECT_EQ(e.GetScale(), 0.0f);
    EXPECT_EQ(e.GetVideoWidth(), 0);
    EXPECT_EQ(e.GetVideoHeight(), 0);
    EXPECT_EQ(e.GetState(), 0);
    EXPECT_EQ(e.LoadSubtitleFile("/tmp/none.srt"), -1);
    EXPECT_FALSE(e.TakeSnapshot("/tmp/none.png"));
    EXPECT_FALSE(e.SetVolumeOf(e.GetSerial(), 10));
    std::vector<TrackInfo> tracks{TrackInfo{1, "old"}};
    e.RefreshSubtitleList(tracks);
    EXPECT_TRUE(tracks.empty());
    tracks = {TrackInfo{1, "old"}};
    e.RefreshAudioTrackList(tracks);
    EXPECT_TRUE(tracks.empty());
    EXPECT_EQ(e.GetSubtitleCount(), 0);
    EXPECT_FALSE(e.HasSubtitles());
    e.Close();
}

TEST(MediaPlayerEvents, SlotsByTypeStaleSerialsAndEmptySlots) {
    std::fill(std::begin(g_calls), std::end(g_calls), 0);
    CMediaPlayer e;
    e.SetPlayingHandler(&CountType<CMediaPlayer::kPlaying>);
    e.SetPositionChangedHandler(&CountType<CMediaPlayer::kPositionChanged>);
    e.SetEndReachedHandler(&CountType<CMediaPlayer::kEndReached>);
    e.SetEncounteredErrorHandler(&CountType<CMediaPlayer::kEncounteredError>);
    e.SetPausedHandler(&CountType<CMediaPlayer::kPaused>);
    e.SetStoppedHandler(&CountType<CMediaPlayer::kStopped>);
    e.SetBufferingHandler(&CountType<CMediaPlayer::kBuffering>);
    e.SetBackwardHandler(&CountType<CMediaPlayer::kBackward>);

    const unsigned now = e.GetSerial();
    for (int type : {259, 260, 261, 262, 263, 264, 265, 266, 267, 268, 256, 999}) e.DispatchEvent(type, now);
    for (int type : {259, 260, 261, 262, 264, 265, 266, 268}) EXPECT_EQ(g_calls[type], 1) << type;
    EXPECT_EQ(g_calls[CMediaPlayer::kForward], 0);      // empty slot: nothing
    EXPECT_EQ(g_calls[CMediaPlayer::kTimeChanged], 0);  // never routed

    e.DispatchEvent(CMediaPlayer::kEndReached, now + 1);  // not the current player
    EXPECT_EQ(g_calls[CMediaPlayer::kEndReached], 1);

    libvlc_event_t ev{};
    ev.type = libvlc_MediaPlayerPlaying;
    CMediaPlayer::OnVlcEvent(&ev, nullptr);  // no user data: ignored
    CMediaPlayer::OnVlcEvent(nullptr, nullptr);
    EXPECT_EQ(g_calls[CMediaPlayer::kPlaying], 1);
}

TEST(MediaPlayerInstance, AFailingStartIsReportedAndRetried) {
    CMediaPlayer e;
    {
        testsupport::ScopedEnv bad("MORVANE_VLC_OPTIONS", "--morvane-no-such-option");
        EXPECT_FALSE(e.CreateInstance());
        EXPECT_FALSE(e.HasInstance());
        EXPECT_NE(e.GetInstanceError().find("libVLC could not start"), std::string::npos);
        EXPECT_FALSE(e.Open("/tmp/whatever.mp4"));
        EXPECT_FALSE(e.HasPlayer());
    }
    testsupport::ScopedEnv quiet("MORVANE_VLC_OPTIONS", "--aout=adummy --vout=vdummy");
    EXPECT_TRUE(e.CreateInstance());
    EXPECT_TRUE(e.HasInstance());
    EXPECT_TRUE(e.GetInstanceError().empty());
    e.Close();
    EXPECT_FALSE(e.HasInstance());
}

// A start begun on its own thread: whatever comes next sees its end, whether it came up, failed
// (and is tried again by the next open) or is closed before it is done.
TEST(MediaPlayerInstance, AStartOnItsOwnThreadIsSeenByWhatComesNext) {
    {
        testsupport::ScopedEnv quiet("MORVANE_VLC_OPTIONS", "--aout=adummy --vout=vdummy");
        CMediaPlayer e;
        e.StartInstance();
        e.StartInstance();  // one start at a time
        EXPECT_TRUE(e.HasInstance());
        EXPECT_TRUE(e.GetInstanceError().empty());
        e.Close();
        EXPECT_FALSE(e.HasInstance());
    }
    {
        CMediaPlayer e;
        {
            testsupport::ScopedEnv bad("MORVANE_VLC_OPTIONS", "--morvane-no-such-option");
            e.StartInstance();
        }
        testsupport::ScopedEnv quiet("MORVANE_VLC_OPTIONS", "--aout=adummy --vout=vdummy");
        EXPECT_FALSE(e.HasInstance());
        EXPECT_NE(e.GetInstanceError().find("libVLC could not start"), std::string::npos);
        EXPECT_FALSE(e.Open(""));  // tried again: an instance now, but nothing to open
        EXPECT_TRUE(e.HasInstance());
    }
    for (int i = 0; i < 3; ++i) {
        testsupport::ScopedEnv quiet("MORVANE_VLC_OPTIONS", "--aout=adummy --vout=vdummy");
        CMediaPlayer e;
        e.StartInstance();  // and gone at once: the end waits for the start
    }
}
