// The file-information fields: path parts, and the values read from clips made by ffmpeg through
// the real media-information library, with the library absent and with an unreadable file.
#include "player/dialogs/file_info.h"

#include <gtest/gtest.h>

#include <clocale>
#include <regex>
#include <string>

#include "platform/text/codepage.h"
#include "player/dialogs/mediainfo_dll.h"
#include "support/clips.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

TEST(FileInfo, PathParts) {
    struct Case { const wchar_t* path; const wchar_t* name; const wchar_t* folder; const wchar_t* type; };
    const Case cases[] = {
        {L"/home/u/a.b/movie.mkv", L"movie.mkv", L"/home/u/a.b", L"mkv"},
        {L"movie.tar.gz", L"movie.tar.gz", L"", L"gz"},
        {L"/movie.mp4", L"movie.mp4", L"/", L"mp4"},
        // A backslash belongs to the name.
        {L"/tmp/back\\slash.mkv", L"back\\slash.mkv", L"/tmp", L"mkv"},
        {L"/tmp/a.b\\movie", L"a.b\\movie", L"/tmp", L"b\\movie"},
        {L"D:\\v\\movie.mkv", L"D:\\v\\movie.mkv", L"", L"mkv"},
        {L"/tmp/C:/movie.mkv", L"movie.mkv", L"/tmp/C:", L"mkv"},
        {L"/home/u/.hidden", L".hidden", L"/home/u", L"hidden"},
    };
    for (const auto& c : cases) {
        FilePathParts p = SplitMediaPath(c.path);
        EXPECT_EQ(p.name, c.name) << c.path;
        EXPECT_EQ(p.folder, c.folder) << c.path;
        EXPECT_EQ(p.type, c.type) << c.path;
    }
}

TEST(FileInfo, SizeUnitsAndTimeFraction) {
    EXPECT_EQ(SizeWithMB(L"700 MiB"), L"700 MB");
    EXPECT_EQ(SizeWithMB(L"1.2 GiB"), L"1.2 GiB");
    EXPECT_EQ(SizeWithMB(L"12.5 KiB"), L"12.5 KiB");
    EXPECT_EQ(SizeWithMB(L""), L"");

    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"01:23:06.123", L"01:23:06"},
        {L"00:00:02.000", L"00:00:02"},
        {L"01:23:06", L"01:23:06"},
        {L"", L""},
        {L"Unable to load MediaInfo.dll", L"Unable to load MediaInfo.dll"},
        {L"1.5", L"1.5"},
        {L"01:23:06.", L"01:23:06."},
    };
    for (const auto& c : cases) EXPECT_EQ(CutTimeFraction(c.in), c.out) << c.in;
}

std::wstring W(const std::filesystem::path& p) { return platform::WideFromUtf8(p.string()); }

// The fields of a clip with video and audio made under this name.
FileInfoFields InfoOfClip(const TempDir& dir, const std::string& name, double seconds) {
    testsupport::ClipOptions options;
    options.seconds = seconds;
    return ReadFileInfo(CMediaInfoLib::Default(), W(testsupport::MakeClip(dir / name, options)));
}

TEST(FileInfo, NonAsciiFileNameUnderTheCLocale) {
    // The program may run under LC_ALL=C; the name must reach the library all the same.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    TempDir dir;
    FileInfoFields f = InfoOfClip(dir, "第一集 预告.mp4", 1.0);
    EXPECT_EQ(f.resolution, L"320x240");
    EXPECT_EQ(f.duration, L"00:00:01");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");  // the process keeps its locale
    std::setlocale(LC_ALL, before.c_str());
}

TEST(FileInfo, ClipWithVideoAndAudio) {
    TempDir dir;
    FileInfoFields f = InfoOfClip(dir, "clip.mp4", 2.0);
    EXPECT_EQ(f.resolution, L"320x240");
    EXPECT_EQ(f.duration, L"00:00:02");
    EXPECT_TRUE(std::regex_match(platform::Utf8FromWide(f.size), std::regex(R"([0-9.]+ (KiB|MB|Bytes))")))
        << platform::Utf8FromWide(f.size);
    EXPECT_NE(f.bitRate.find(L"b/s"), std::wstring::npos) << platform::Utf8FromWide(f.bitRate);

    const std::string codec = platform::Utf8FromWide(f.codecText);
    const std::regex want(
        "视频流信息\n"
        "    \\+编码格式: AVC\n"
        "    \\+视频码率: [^\n]*\n"
        "    \\+视频帧率: 25\\.000 fps\n"
        "    \\+分 辨 率: 320x240\n"
        "    \\+显示比率: 1\\.333\n"
        "\n"
        "音频流信息\n"
        "    \\+编码格式: AAC\n"
        "    \\+音频码率: [^\n]*\n"
        "    \\+声 道 数: [12]\n"
        "    \\+采 样 数: [0-9]+");
    EXPECT_TRUE(std::regex_match(codec, want)) << codec;
}

TEST(FileInfo, CodecBlocksFollowTheStreams) {
    TempDir dir;
    testsupport::ClipOptions options;
    options.seconds = 1.0;
    options.audioTracks = 0;
    auto silent = testsupport::MakeClip(dir / "silent.mkv", options);
    FileInfoFields video = ReadFileInfo(CMediaInfoLib::Default(), W(silent));
    EXPECT_EQ(video.codecText.rfind(L"视频流信息\n", 0), 0u);
    EXPECT_EQ(video.codecText.find(L"音频流信息"), std::wstring::npos);

    auto song = testsupport::MakeAudioClip(dir / "song.mp3", 1.0);
    FileInfoFields audio = ReadFileInfo(CMediaInfoLib::Default(), W(song));
    EXPECT_EQ(audio.resolution, L"");
    EXPECT_EQ(audio.codecText.rfind(L"音频流信息\n    +编码格式: MPEG Audio\n", 0), 0u) << platform::Utf8FromWide(audio.codecText);
    EXPECT_EQ(audio.codecText.find(L"视频流信息"), std::wstring::npos);

    // A file named "Video Audio.txt" holding those words has neither stream.
    auto text = dir.write("Video Audio.txt", "Video Audio Video Audio\n");
    FileInfoFields none = ReadFileInfo(CMediaInfoLib::Default(), W(text));
    EXPECT_EQ(none.codecText, L"");
    EXPECT_EQ(none.resolution, L"");
    EXPECT_EQ(none.bitRate, L"0 Kbps");
}

TEST(FileInfo, UnreadableFileShowsTheReadError) {
    TempDir dir;
    FileInfoFields f = ReadFileInfo(CMediaInfoLib::Default(), W(dir / "gone.mp4"));
    for (const auto* field : {&f.resolution, &f.size, &f.bitRate, &f.duration})
        EXPECT_EQ(*field, kFileInfoReadError);
    EXPECT_EQ(f.codecText, L"");
}

TEST(FileInfo, WithoutTheLibraryEveryFieldSaysSo) {
    TempDir dir;
    auto clip = testsupport::MakeVideoClip(dir / "clip.mp4", 1.0);
    // A missing file, and a library without the entry points, both count as absent.
    for (const wchar_t* name : {L"NoSuchMediaInfo.dll", L"libz.so.1"}) {
        CMediaInfoLib lib(name);
        EXPECT_FALSE(lib.Load()) << name;
        EXPECT_EQ(lib.New(), nullptr);
        EXPECT_EQ(lib.Get(nullptr, MediaInfo_Stream_General, 0, L"Format"), kMediaInfoLoadError);
        FileInfoFields f = ReadFileInfo(lib, W(clip));
        for (const auto* field : {&f.resolution, &f.size, &f.bitRate, &f.duration})
            EXPECT_EQ(*field, kMediaInfoLoadError) << name;
        EXPECT_EQ(f.codecText, L"");
    }
    EXPECT_EQ(std::wstring(kMediaInfoLoadError), L"Unable to load MediaInfo.dll");
}

}  // namespace
