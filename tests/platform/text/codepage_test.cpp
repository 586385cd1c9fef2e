#include <gtest/gtest.h>

#include <string>

#include "platform/text/codepage.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ScopedEnv;

std::wstring Widen(UINT cp, const std::string& s, DWORD flags = 0) {
    int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    if (n) {
        EXPECT_EQ(MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), w.data(), n), n);
    }
    return w;
}

std::string Narrow(UINT cp, const std::wstring& w, BOOL* usedDefault = nullptr) {
    int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, usedDefault);
    std::string s(static_cast<size_t>(n), '\0');
    if (n) WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, usedDefault);
    return s;
}

TEST(CodePage, RoundTripsUnderUtf8AndGb18030) {
    struct Case {
        const char* acp;
        std::wstring text;
        std::string ansi;
    } cases[] = {
        {"UTF-8", L"abc", "abc"},
        {"UTF-8", L"中文 ☃ 😀", "中文 ☃ 😀"},
        {"GB18030", L"abc", "abc"},
        {"GB18030", L"中文", "\xD6\xD0\xCE\xC4"},
        {"GB18030", L"😀", "\x94\x39\xFC\x36"},  // four-byte form: GB18030 covers all of Unicode
    };
    for (const auto& c : cases) {
        ScopedEnv env("MORVANE_ACP", c.acp);
        EXPECT_EQ(Narrow(CP_ACP, c.text), c.ansi) << c.acp;
        EXPECT_EQ(Widen(CP_ACP, c.ansi), c.text) << c.acp;
        EXPECT_EQ(Widen(CP_UTF8, Narrow(CP_UTF8, c.text)), c.text);
    }
}

TEST(CodePage, SizeQueryAndBufferRules) {
    wchar_t buf[8];
    // -1 counts the terminating NUL.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "中a", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "中a", -1, buf, 8), 3);
    EXPECT_EQ(std::wstring(buf), L"中a");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcdef", -1, buf, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "x", 0, nullptr, 0), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"中", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "x", -1, nullptr, 0), 0);
}

TEST(CodePage, InvalidInputIsReplacedOrRefused) {
    struct Case {
        std::string bytes;
        std::wstring lenient;
    } cases[] = {
        {"a\xFF" "b", L"a\uFFFDb"},
        {"\xC0\xAF", L"\uFFFD\uFFFD"},       // overlong '/'
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // a surrogate
        {"\xE4\xB8", L"\uFFFD\uFFFD"},       // cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Widen(CP_UTF8, c.bytes), c.lenient);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                      nullptr, 0),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
    ScopedEnv env("MORVANE_ACP", "ISO-8859-1");
    BOOL used = FALSE;
    EXPECT_EQ(Narrow(CP_ACP, L"é中", &used), "\xE9?");
    EXPECT_TRUE(used);
    EXPECT_EQ(Widen(CP_ACP, "\xE9"), L"é");
}

TEST(CodePage, UnknownCharsetFailsCleanly) {
    ScopedEnv env("MORVANE_ACP", "NO-SUCH-CHARSET");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, nullptr, 0, nullptr, nullptr), 0);
}

}  // namespace
