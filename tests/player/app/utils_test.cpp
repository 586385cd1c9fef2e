#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/module.h"
#include "player/app/crash_handler.h"
#include "player/engine/media_types.h"
#include "player/app/utils.h"

namespace {

TEST(ParseCmdLineFile, Cases) {
    struct Case {
        const wchar_t* line;
        bool ok;
        std::wstring file;
    } cases[] = {
        {L"\"/opt/morvane/morvane\" \"/media/my film.mkv\"", true, L"/media/my film.mkv"},
        {L"\"/opt/morvane/morvane\"", false, L""},
        {L"\"/opt/morvane/morvane\"   ", false, L""},
        {L"/opt/morvane/morvane /a.mp4 /b.mp4", true, L"/a.mp4"},
        {L"/opt/morvane/morvane \t /a\tb.mp4", true, L"/a\tb.mp4"},  // a tab does not end it
        {L"/opt/morvane/morvane", false, L""},                         // no blank after the path
        {L"\"/opt/morvane/morvane \"/a.mp4\"", true, L"/a.mp4\""},  // the path ends at the second quote
        {L"\"/opt/morvane/morvane\" \"/never closed.mkv", false, L""},
        {L"\"/opt/morvane/morvane\" \"/never closed\\\"", false, L""},  // the last quote is part of the name
        {L"\"unclosed program", false, L""},
        {L"", false, L""},
        {L"\"/opt/morvane/morvane\" \"\"", true, L""},
        {L"/opt/morvane/morvane /back\\slash.mkv", true, L"/back\\slash.mkv"},  // unquoted: as it stands
    };
    for (const auto& c : cases) {
        std::wstring out = L"#";
        EXPECT_EQ(ParseCmdLineFile(c.line, out), c.ok) << c.line;
        EXPECT_EQ(out, c.file) << c.line;
    }
    std::wstring out = L"#";
    EXPECT_FALSE(ParseCmdLineFile(nullptr, out));
    EXPECT_EQ(out, L"");
}

// What a start from a terminal builds, and what a running instance gets handed over, reads back
// as the very name: quotes, backslashes before a quote, blanks, Chinese, and paths longer than
// the old 260-character buffer.
TEST(ParseCmdLineFile, ReadsBackTheNameTheCommandLineWasBuiltFrom) {
    const std::wstring deep = L"/media/" + std::wstring(150, L'd') + L"/" + std::wstring(150, L'e') + L"/q\"t.mp4";
    const std::wstring names[] = {
        L"/tmp/media/q\"t.mp4",
        L"/tmp/media/\"quoted\".mp4",
        L"/tmp/media/a\\\"b.mp4",       // a backslash before a quote
        L"/tmp/media/a\\\\\"b c.mp4",  // two of them, and a blank
        L"/tmp/media/ends in a backslash\\",
        L"/tmp/media/ends\\",
        L"/tmp/media/back\\slash.mkv",
        L"/tmp/media/my film.mkv",
        L"/tmp/媒体/片 名 \"第一集\".mkv",
        L"/tmp/media/tab\there.mp3",
        L"/tmp/media/plain.mp4",
        deep,
        L"/" + std::wstring(5000, L'x'),  // longer than any path the file system opens
    };
    for (const std::wstring& program : {std::wstring(L"/opt/morvane/morvane"), std::wstring(L"/opt/my \"app\"/morvane")})
        for (const std::wstring& name : names) {
            const std::wstring line = platform::JoinCommandLine({program, name, L"-s", L"more"});
            std::wstring out;
            EXPECT_TRUE(ParseCmdLineFile(line.c_str(), out)) << line;
            EXPECT_EQ(out, name) << line;
        }
    EXPECT_GT(deep.size(), 260u);
}

TEST(CommandLine, FileArgumentsBecomeAbsoluteAgainstTheCallersFolder) {
    struct Case {
        const char* arg;
        const char* folder;
        const char* kept;
    } cases[] = {
        {"clip.mp4", "/home/u/videos", "/home/u/videos/clip.mp4"},
        {"./sub/clip.mp4", "/home/u", "/home/u/sub/clip.mp4"},
        {"../other/片.mkv", "/home/u/videos", "/home/u/other/片.mkv"},
        {"with space.mp4", "/tmp", "/tmp/with space.mp4"},
        {"/abs/clip.mp4", "/home/u", "/abs/clip.mp4"},
        {"http://host/relative.mp4", "/home/u", "http://host/relative.mp4"},
        {"rtsp://cam/stream", "/home/u", "rtsp://cam/stream"},
        {"-s", "/home/u", "-s"},
        {"", "/home/u", ""},
        {"clip.mp4", "", "clip.mp4"},  // no current folder known
    };
    for (const auto& c : cases) EXPECT_EQ(AbsoluteFileArgument(c.arg, c.folder), c.kept) << c.arg;
}

TEST(MediaTypes, ByExtension) {
    struct Case {
        const wchar_t* path;
        bool music, media;
    } cases[] = {
        {L"/m/Song.MP3", true, true},
        {L"/m/a.aac", true, true},
        {L"/m/a.mkv", false, true},
        {L"/m/a.asf", false, true},
        {L"/m/a.m2p", false, true},
        {L"/m/a.mpv", false, true},
        {L"/dvd/VIDEO_TS.IFO", false, true},
        {L"/m/a.acc", false, false},
        {L"/m/noext", false, false},
        {L"/m.dir/noext", false, false},
        {L"", false, false},
        {L"/m/a.mp3.txt", false, false},
        {L"/m/a.", false, false},
        {L"/m/.mp3", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsMusicFile(c.path), c.music) << c.path;
        EXPECT_EQ(IsVideoFile(c.path), c.media) << c.path;
    }
    EXPECT_FALSE(IsVideoFile(nullptr));
    EXPECT_FALSE(IsExtInFilter(L"a.mp3", nullptr));
}

// The pairs of a dialog filter: description and patterns.
std::vector<std::pair<std::wstring, std::vector<std::wstring>>> FilterPairs(const std::wstring& filter) {
    std::vector<std::wstring> parts;
    for (const wchar_t* p = filter.c_str(); *p; p += parts.back().size() + 1) parts.emplace_back(p);
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::vector<std::wstring> patterns;
        for (size_t at = 0, semi; at < parts[i + 1].size(); at = semi + 1) {
            semi = parts[i + 1].find(L';', at);
            if (semi == std::wstring::npos) semi = parts[i + 1].size();
            if (semi > at) patterns.push_back(parts[i + 1].substr(at, semi - at));
        }
        pairs.emplace_back(parts[i], patterns);
    }
    return pairs;
}

TEST(MediaTypes, WhatTheOpenDialogsOfferThePlayListTakes) {
    for (const std::wstring& filter : {OpenFileDialogFilter(), AddFilesDialogFilter()}) {
        auto pairs = FilterPairs(filter);
        ASSERT_EQ(pairs.size(), 4u);
        EXPECT_EQ(pairs[3].second, std::vector<std::wstring>{L"*.*"});
        EXPECT_EQ(pairs[0].second.size(), pairs[1].second.size() + pairs[2].second.size());
        for (int i = 0; i < 3; ++i)
            for (const std::wstring& pattern : pairs[i].second) {
                ASSERT_EQ(pattern.rfind(L"*.", 0), 0u) << pattern;
                const std::wstring file = L"/m/file" + pattern.substr(1);
                EXPECT_TRUE(IsVideoFile(file.c_str())) << pairs[i].first << " " << pattern;
                if (i > 0) {
                    EXPECT_EQ(IsMusicFile(file.c_str()), i == 2) << pairs[i].first << " " << pattern;
                }
            }
    }
    // The media filter of the open dialog shows these, not their misspellings.
    auto offered = FilterPairs(OpenFileDialogFilter())[0].second;
    auto has = [&](const wchar_t* p) { return std::find(offered.begin(), offered.end(), p) != offered.end(); };
    for (const wchar_t* p : {L"*.asf", L"*.m2p", L"*.mpv", L"*.ifo", L"*.aac", L"*.mpga", L"*.dv", L"*.au"})
        EXPECT_TRUE(has(p)) << p;
    for (const wchar_t* p : {L"*.adf", L"*.n2p", L"*.mpv2", L"*.iof", L"*.acc"}) EXPECT_FALSE(has(p)) << p;
    EXPECT_EQ(MediaFilterText().rfind(L"Media Files(*.rmvb,*.mpeg,etc)|*.asf;", 0), 0u);
    EXPECT_EQ(MusicFilterText().rfind(L"Music Files(*.mp3,*.wma,etc)|*.aac;", 0), 0u);
    EXPECT_EQ(MediaFilterText().back(), L'|');
}

int g_reports = 0;
void CountReport() { ++g_reports; }

// A real fault, also in the sanitized build, whose null check would end the process first.
// The pointer is read back from memory, so no optimiser can see the store as undefined.
__attribute__((noinline, no_sanitize("undefined"))) void Crash() {
    volatile int* volatile p = nullptr;
    *p = 1;
}

TEST(CrashHandler, ReportsThroughTheHookAndStaysInstalled) {
    EXPECT_EXIT(
        {
            SetCrashReportHook(CountReport);
            InstallCrashHandler();
            SetUnhandledExceptionFilter(nullptr);  // a library trying to take over changes nothing
            SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG { _exit(9); });
            SetCrashReportHook([] { _exit(42); });
            Crash();
        },
        testing::ExitedWithCode(42), "");
    EXPECT_EQ(NullSetUnhandledExceptionFilter(CrashExceptionFilter), nullptr);
}

}  // namespace
