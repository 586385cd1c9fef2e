#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "platform/text/codepage.h"
#include "platform/kernel/crash.h"
#include "platform/kernel/folders.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

std::string g_dumpPath;

LONG WriteDumpAndGoOn(EXCEPTION_POINTERS* ep) {
    MINIDUMP_EXCEPTION_INFORMATION info{0, ep, TRUE};
    std::wstring path = platform::WideFromUtf8(g_dumpPath);
    MiniDumpWriteDump(nullptr, 0, path.c_str(), MiniDumpNormal, &info, nullptr, nullptr);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG Other(EXCEPTION_POINTERS*) { _exit(77); }

LONG Execute(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

// A real fault, also in the sanitized build, whose null check would end the process first.
// The pointer is read back from memory, so no optimiser can see the store as undefined.
__attribute__((noinline, no_sanitize("undefined"))) void Crash() {
    volatile int* volatile p = nullptr;
    *p = 1;
}

TEST(CrashFilter, RunsOnAFaultAndTheSignalStillEndsTheProcess) {
    TempDir dir;
    g_dumpPath = (dir.path() / "crash.dmp").string();
    EXPECT_EXIT(
        {
            SetUnhandledExceptionFilter(WriteDumpAndGoOn);
            Crash();
        },
        testing::KilledBySignal(SIGSEGV), "");
    std::string dump = testsupport::ReadFile(g_dumpPath);
    EXPECT_EQ(dump.rfind("MorvaneDump 1\n", 0), 0u) << dump;
    EXPECT_NE(dump.find("code=0xc0000005"), std::string::npos) << dump;
    EXPECT_NE(dump.find("signal=11"), std::string::npos);
    EXPECT_NE(dump.find("stack:\n"), std::string::npos);
}

TEST(CrashFilter, ALockedFilterCannotBeReplaced) {
    EXPECT_EXIT(
        {
            SetUnhandledExceptionFilter(Execute);
            LockUnhandledExceptionFilter();
            if (SetUnhandledExceptionFilter(Other) != nullptr) _exit(2);
            std::abort();
        },
        testing::ExitedWithCode(0x15), "");  // the filter ran, not Other; exit with the code's low byte
}

TEST(SpecialFolders, PicturesFollowUserDirs) {
    TempDir dir;
    ScopedEnv home("HOME", dir.path().string());
    ScopedEnv cfg("XDG_CONFIG_HOME", (dir.path() / "cfg").string());
    wchar_t buf[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, buf, CSIDL_MYPICTURES, FALSE));
    EXPECT_EQ(platform::Utf8FromWide(buf), dir.path().string() + "/Pictures");

    dir.write("cfg/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/图片/\"\n");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, buf, CSIDL_MYPICTURES, TRUE));
    EXPECT_EQ(platform::Utf8FromWide(buf), dir.path().string() + "/图片");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "图片"));
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, buf, 5, FALSE));
}

}  // namespace
