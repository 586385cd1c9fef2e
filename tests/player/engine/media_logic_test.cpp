// The engine's own decisions: opener choice, seek targets, position and index bounds, volume
// steps, state codes and track lists.
#include "player/engine/media_logic.h"

#include <gtest/gtest.h>
#include <vlc/vlc.h>

#include <filesystem>

using namespace media_logic;

TEST(MediaLogic, LocationsAreRecognisedWhateverTheCase) {
    struct Case { const char* text; bool location; };
    const Case cases[] = {
        {"http://127.0.0.1/a.mp4", true},
        {"https://example.invalid/x", true},
        {"ftp://host/file.avi", true},
        {"rtsp://cam/stream", true},
        {"HTTP://HOST/A.MP4", true},
        {"Rtsp://cam/stream", true},
        {"/home/user/movie.mkv", false},
        {"C:\\Videos\\clip.mp4", false},
        {"file:///tmp/a.mp4", false},
        {"htt", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsLocation(c.text), c.location) << c.text;
}

TEST(MediaLogic, SeekTargetsStayInsideTheMedium) {
    struct Case { std::int64_t time, length, forward, backward; };
    const Case cases[] = {
        {0, 60000, 5000, 0},
        {10000, 60000, 15000, 5000},
        {57000, 60000, 60000, 52000},  // less than 5 s before the end lands on the end
        {60000, 60000, 60000, 55000},
        {3000, 60000, 8000, 0},        // in the first 5 s back lands on 0
        {10000, 0, 15000, 5000},       // unknown length: no jump back to the start
        {10000, -1, 15000, 5000},
        {-1, -1, 5000, 0},             // no time known yet
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SeekForwardTarget(c.time, c.length), c.forward) << c.time << "/" << c.length;
        EXPECT_EQ(SeekBackwardTarget(c.time), c.backward) << c.time;
    }
}

TEST(MediaLogic, PositionBoundsAndConversion) {
    for (int v : {0, 1, 500, 1000}) EXPECT_TRUE(IsSettablePosition(v)) << v;
    for (int v : {-1, 1001, -1000, 1 << 30}) EXPECT_FALSE(IsSettablePosition(v)) << v;

    EXPECT_EQ(PositionToPermille(-1.0f), 0);  // libVLC's "no input"
    EXPECT_EQ(PositionToPermille(0.0f), 0);
    EXPECT_EQ(PositionToPermille(0.4999f), 499);  // truncated, not rounded
    EXPECT_EQ(PositionToPermille(1.0f), 1000);
    EXPECT_EQ(PositionToPermille(1.5f), 1000);
}

TEST(MediaLogic, VolumeSteps) {
    struct Case { int volume, up, down; };
    const Case cases[] = {{0, 0, 0}, {1, 2, 0}, {10, 11, 9}, {100, 110, 90}, {-5, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(VolumeUp(c.volume), c.up) << c.volume;
        EXPECT_EQ(VolumeDown(c.volume), c.down) << c.volume;
    }
}

TEST(MediaLogic, IndexBounds) {
    EXPECT_FALSE(IsValidIndex(0, 0));
    EXPECT_TRUE(IsValidIndex(0, 1));
    EXPECT_TRUE(IsValidIndex(2, 3));
    EXPECT_FALSE(IsValidIndex(3, 3));  // equal to the size
    EXPECT_FALSE(IsValidIndex(-1, 3));
}

TEST(MediaLogic, StateCodesSwapEndedAndStopped) {
    struct Case { int vlc, code; };
    const Case cases[] = {
        {libvlc_NothingSpecial, 0}, {libvlc_Opening, 101}, {libvlc_Buffering, 102},
        {libvlc_Playing, 103}, {libvlc_Paused, 104}, {libvlc_Stopped, 106},
        {libvlc_Ended, 105}, {libvlc_Error, 107}, {-1, 0}, {42, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(MapState(c.vlc), c.code) << c.vlc;
}

TEST(MediaLogic, TrackListsSkipTheSwitchOffEntryAndTolerateMissingNames) {
    char disable[] = "Disable";
    char english[] = "English";
    libvlc_track_description_t third{5, nullptr, nullptr};
    libvlc_track_description_t second{3, english, &third};
    libvlc_track_description_t first{-1, disable, &second};

    const auto tracks = TracksFromDescription(&first);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].id, 3);
    EXPECT_EQ(tracks[0].name, "English");
    EXPECT_EQ(tracks[1].id, 5);
    EXPECT_EQ(tracks[1].name, "");

    libvlc_track_description_t onlyOff{-1, disable, nullptr};
    EXPECT_TRUE(TracksFromDescription(&onlyOff).empty());
    EXPECT_TRUE(TracksFromDescription(nullptr).empty());
    EXPECT_TRUE(TrackInfo{}.name.empty());
}

TEST(MediaLogic, PathsBecomeFileUris) {
    EXPECT_EQ(PathToUri("/tmp/a b/字幕#1.srt"), "file:///tmp/a%20b/%E5%AD%97%E5%B9%95%231.srt");
    EXPECT_EQ(PathToUri("http://127.0.0.1/x.srt"), "http://127.0.0.1/x.srt");
    const std::string rel = PathToUri("sub.srt");
    EXPECT_EQ(rel, "file://" + (std::filesystem::current_path() / "sub.srt").string());
}
