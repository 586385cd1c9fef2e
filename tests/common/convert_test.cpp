#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/convert.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ScopedEnv;

TEST(Convert, RoundTripsUnderUtf8AndGb18030) {
    struct Case {
        const char* acp;
        std::wstring wide;
        std::string ansi;
        std::string utf8;
    } cases[] = {
        {"UTF-8", L"", "", ""},
        {"UTF-8", L"C:/视频/a b.mkv", "C:/视频/a b.mkv", "C:/视频/a b.mkv"},
        {"GB18030", L"abc", "abc", "abc"},
        {"GB18030", L"中文", "\xD6\xD0\xCE\xC4", "中文"},
        {"GB18030", std::wstring(5000, L'中'), std::string(5000 * 1, '\0'), ""},  // filled below
    };
    for (auto& c : cases) {
        ScopedEnv env("MORVANE_ACP", c.acp);
        if (c.wide.size() == 5000) {
            c.ansi.clear();
            for (int i = 0; i < 5000; ++i) c.ansi += "\xD6\xD0";
            for (int i = 0; i < 5000; ++i) c.utf8 += "中";
        }
        EXPECT_EQ(WideToAnsi(c.wide.c_str()), c.ansi) << c.acp;
        EXPECT_EQ(WideToAcp(c.wide), c.ansi);
        EXPECT_EQ(AnsiToWide(c.ansi.c_str()), c.wide);
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
        EXPECT_EQ(WideToMultiByte(c.wide, CP_UTF8).size(), c.utf8.size());  // no NUL inside

        std::string s = c.utf8;
        EXPECT_EQ(Utf8ToAnsi(s), static_cast<int>(c.ansi.size() + 1));
        EXPECT_EQ(s, c.ansi);
        EXPECT_EQ(AnsiToUtf8(s), static_cast<int>(c.utf8.size() + 1));
        EXPECT_EQ(s, c.utf8);
    }
}

TEST(Convert, InPlaceGrowthIsNotLimitedToTwiceTheInput) {
    // One byte of a single-byte code page can need three bytes of UTF-8.
    ScopedEnv env("MORVANE_ACP", "CP1252");
    std::string s = "\x80\x80\x80";  // three euro signs
    EXPECT_EQ(AnsiToUtf8(s), 10);
    EXPECT_EQ(s, "€€€");
}

TEST(Convert, NullAndEmptyInput) {
    EXPECT_EQ(AnsiToWide(nullptr), L"");
    EXPECT_EQ(WideToAnsi(nullptr), "");
    EXPECT_TRUE(WideToMultiByte(L"", CP_UTF8).empty());
}

TEST(Convert, IsVistaOrLaterFollowsTheReportedVersion) {
    struct Case {
        const char* ver;
        int want;
    } cases[] = {{"5.1", 0}, {"6.0", 1}, {"10.0", 1}};
    for (const auto& c : cases) {
        // The answer is cached for the process, so each version is asked in a child.
        EXPECT_EXIT(
            {
                setenv("MORVANE_WINVER", c.ver, 1);
                std::exit(IsVistaOrLater() ? 1 : 0);
            },
            testing::ExitedWithCode(c.want), "")
            << c.ver;
    }
    // A failed query is not cached.
    EXPECT_EXIT(
        {
            setenv("MORVANE_WINVER", "bad", 1);
            bool first = IsVistaOrLater();
            setenv("MORVANE_WINVER", "10.0", 1);
            std::exit(!first && IsVistaOrLater() ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
}

}  // namespace
