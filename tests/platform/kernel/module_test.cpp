#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "platform/text/codepage.h"
#include "platform/kernel/module.h"
#include "platform/kernel/version.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ScopedEnv;

std::string Exe() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return std::string(buf, static_cast<size_t>(n));
}

TEST(Module, ProgramPathAndOverride) {
    wchar_t buf[4096];
    DWORD n = GetModuleFileNameW(nullptr, buf, 4096);
    EXPECT_EQ(platform::Utf8FromWide(std::wstring(buf, n)), Exe());

    testsupport::TempDir dir;
    ScopedEnv env("MORVANE_PROGRAM_DIR", dir.path().string());
    n = GetModuleFileNameW(nullptr, buf, 4096);
    std::string base = Exe().substr(Exe().rfind('/') + 1);
    EXPECT_EQ(platform::Utf8FromWide(std::wstring(buf, n)), dir.path().string() + "/" + base);
    EXPECT_EQ(platform::Utf8FromWide(platform::ModuleFolder()), dir.path().string() + "/");

    char narrow[4096];
    DWORD na = GetModuleFileNameA(nullptr, narrow, sizeof narrow);
    EXPECT_EQ(std::string(narrow, na), dir.path().string() + "/" + base);

    // A short buffer gets the cut path and the buffer size.
    wchar_t small[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wcslen(small), 4u);
}

TEST(Module, AddressInsideALibraryNamesTheLibrary) {
    HMODULE h = nullptr;
    // getpid: a C library function that no sanitizer runtime puts its own in front of.
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&getpid)), &h));
    wchar_t buf[4096];
    DWORD n = GetModuleFileNameW(h, buf, 4096);
    EXPECT_NE(std::wstring(buf, n).find(L"libc"), std::wstring::npos);
    // An address of the program itself is the program.
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&Exe)), &h));
    n = GetModuleFileNameW(h, buf, 4096);
    EXPECT_EQ(platform::Utf8FromWide(std::wstring(buf, n)), Exe());
}

TEST(Module, CommandLineIsQuotedTheWindowsWay) {
    char a0[] = "/opt/my app/morvane", a1[] = "/media/a b.mkv", a2[] = "plain", a3[] = "say \"hi\"\\",
         a4[] = "";
    char* argv[] = {a0, a1, a2, a3, a4};
    SetCommandLineFromArgv(5, argv);
    EXPECT_EQ(std::wstring(GetCommandLineW()),
              L"\"/opt/my app/morvane\" \"/media/a b.mkv\" plain \"say \\\"hi\\\"\\\\\" \"\"");
    char other[] = "x";
    char* argv2[] = {other};
    SetCommandLineFromArgv(1, argv2);  // built once
    EXPECT_EQ(std::wstring(GetCommandLineW()).substr(0, 21), L"\"/opt/my app/morvane\"");
}

TEST(Version, ReportsTheConfiguredVersion) {
    struct Case {
        const char* env;
        BOOL ok;
        DWORD major, minor;
    } cases[] = {{"", TRUE, 10, 0}, {"5.1", TRUE, 5, 1}, {"6.1.7601", TRUE, 6, 1}, {"garbage", FALSE, 0, 0}};
    for (const auto& c : cases) {
        ScopedEnv env("MORVANE_WINVER", c.env);
        OSVERSIONINFOEXW ex{};
        ex.dwOSVersionInfoSize = sizeof ex;
        EXPECT_EQ(GetVersionExW(&ex), c.ok) << c.env;
        if (c.ok) {
            EXPECT_EQ(ex.dwMajorVersion, c.major);
            EXPECT_EQ(ex.dwMinorVersion, c.minor);
            EXPECT_EQ(ex.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
            DWORD major = 0, minor = 0, build = 0;
            RtlGetNtVersionNumbers(&major, &minor, &build);
            EXPECT_EQ(major, c.major);
            EXPECT_EQ(build & 0xF0000000u, 0xF0000000u);
        }
    }
    OSVERSIONINFOW wrongSize{};
    wrongSize.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionExW(&wrongSize));
}

}  // namespace
