#include <gtest/gtest.h>

#include <string>

#include "player/crash_handler.h"
#include "player/media_types.h"
#include "player/utils.h"

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
        {L"\"unclosed program", false, L""},
        {L"", false, L""},
    };
    for (const auto& c : cases) {
        wchar_t out[kCmdLineFileChars];
        out[0] = L'#';
        EXPECT_EQ(ParseCmdLineFile(c.line, out), c.ok) << c.line;
        EXPECT_EQ(std::wstring(out), c.file) << c.line;
    }
    wchar_t out[kCmdLineFileChars];
    EXPECT_FALSE(ParseCmdLineFile(nullptr, out));
    std::wstring longArg = L"prog " + std::wstring(259, L'x');
    EXPECT_TRUE(ParseCmdLineFile(longArg.c_str(), out));
    longArg += L'x';
    EXPECT_FALSE(ParseCmdLineFile(longArg.c_str(), out));  // refused, never overflows
    EXPECT_EQ(std::wstring(out), L"");
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
