#include "download/text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

using namespace download;

namespace {

struct Case {
    std::string in;
    std::string out;
};

std::string Unescaped(std::string s, bool removeSpaces = false, Flavor f = Flavor::Installer) {
    UnescapeWebText(s, removeSpaces, f);
    return s;
}

}  // namespace

TEST(UnescapeWebText, RuleGroupsInOrder) {
    const std::vector<Case> cases = {
        // \u escapes
        {"a\\u003ab\\u002ec\\u0026d\\u003ce\\u003ef", "a:b.c&d<e>f"},
        // percent escapes, upper case
        {"%3A%2F%3F%3D%26%2E%2D%5C%5F&#46;", ":/?=&.-\\_."},
        // an encoded percent followed by 41 stays a percent and 41
        {"x%2541y", "x%41y"},
        // ... but %25 3A becomes a colon, because %3A comes later in the same group
        {"x%253Ay", "x:y"},
        // entities
        {"&amp;&quot;&ldquo;&rdquo;&rsquo;&lt;&gt;", "&\"\"\"'<>"},
        {"a&nbsp;b&nbspc", "a b c"},
        {"a&mdash;b", "a\xA1\xAA" "b"},
        // &amp;lt; is unescaped once by &amp; and then again by &lt;
        {"&amp;lt;", "<"},
        // second percent group
        {"%23%24%28%29%2B%2C", "#$()+,"},
        // line breaks and tabs, then trimming
        {"\r\n a\tb\nc \r\n", "a b c"},
        // lower-case percent escapes and \x2F
        {"%3a%2f%3f%3d%26%2e%2d%5f\\x2F", ":/?=&.-_/"},
        // escaped slashes, after trimming
        {"  http:\\/\\/host\\/p  ", "http://host/p"},
        // lower-case %5c is not a rule
        {"%5c", "%5c"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Unescaped(c.in), c.out) << "input: " << c.in;
}

TEST(UnescapeWebText, NoUnescapeMarkerStopsAfterTheUnicodeEscapes) {
    EXPECT_EQ(Unescaped("##NO_UNESCAPE##a\\u003a%3A&amp; \n"), "a:%3A&amp; \n");
    EXPECT_EQ(Unescaped("x##NO_UNESCAPE##y##NO_UNESCAPE##"), "xy");
}

TEST(UnescapeWebText, RemoveSpacesAndFlavours) {
    EXPECT_EQ(Unescaped(" a b&nbsp;c ", true), "abc");
    EXPECT_EQ(Unescaped("it&rsquo;s", false, Flavor::Installer), "it's");
    EXPECT_EQ(Unescaped("it&rsquo;s", false, Flavor::RequestLib), "it&rsquo;s");
}

TEST(Encoders, AsciiAndUtf8Sequences) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "UTF-8");
    const std::vector<Case> cases = {
        {"http://h/a b?c=1", "http://h/a b?c=1"},
        {"\xC3\xA9", "%C3%A9"},                       // two bytes
        {"\xE4\xB8\xAD", "%E4%B8%AD"},                // three bytes
        {"\xF0\x9F\x98\x80", "%F0%9F%98%80"},         // four bytes
        {"/\xC2\xA0x\xE4\xB8\xAD.mp4", "/%C2%A0x%E4%B8%AD.mp4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PercentEncodeHighBytes(c.in), c.out) << c.in;
        // With a UTF-8 code page both encoders agree: every high byte on its own.
        EXPECT_EQ(UrlEncodeHighBytes(c.in), c.out) << c.in;
    }
}

TEST(Encoders, UrlEncodeConvertsAnsiFirst) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "GB18030");
    // GBK "中" is D6 D0; its UTF-8 form is E4 B8 AD.
    EXPECT_EQ(UrlEncodeHighBytes("/\xD6\xD0.mp4"), "/%E4%B8%AD.mp4");
    EXPECT_EQ(PercentEncodeHighBytes("/\xD6\xD0.mp4"), "/%D6%D0.mp4");
    // A truncated sequence at the very end becomes U+FFFD; nothing runs past the text.
    EXPECT_EQ(UrlEncodeHighBytes("ab\xD6"), "ab%EF%BF%BD");
}

TEST(Conversions, AnsiToUtf8GrowsAsNeededAndBack) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "GB18030");
    // Four-byte GB18030 for U+1F600 grows to four UTF-8 bytes; two-byte GBK to three.
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "\xD6\xD0";
    std::string s = many;
    AnsiToUtf8(s);
    ASSERT_EQ(s.size(), 3000u);
    EXPECT_EQ(s.substr(0, 3), "\xE4\xB8\xAD");
    EXPECT_EQ(Utf8ToAnsi(s), many);
    std::string t = s;
    EXPECT_EQ(Utf8ToAnsiString(t), 1);
    EXPECT_EQ(t, many);
    std::string empty;
    EXPECT_EQ(Utf8ToAnsiString(empty), 0);
}

TEST(Conversions, MissingCharactersBecomeTheDefaultCharacter) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "ISO-8859-1");
    EXPECT_EQ(Utf8ToAnsi("a\xC3\xA9\xE4\xB8\xAD" "b"), "a\xE9?b");
}

TEST(CStringFromBytes, StopsAtNul) {
    std::string out = "old";
    CStringFromBytes(out, "abc\0def", 7);
    EXPECT_EQ(out, "abc");
    CStringFromBytes(out, "abcdef", 4);
    EXPECT_EQ(out, "abcd");
    CStringFromBytes(out, "abc", 0);
    EXPECT_EQ(out, "");
}

TEST(ParseSignedInt, Table) {
    struct P {
        std::string text;
        long long value;
        std::size_t used;
    };
    const std::vector<P> cases = {
        {"123a", 123, 3},
        {"-45b", -45, 3},
        {"-", 0, 1},
        {"", 0, 0},
        {"x12", 0, 0},
        {"0", 0, 1},
        {"--1", 0, 1},
        {"12345678901234", 12345678901234LL, 14},
        {"-12345678901234", -12345678901234LL, 15},
        {"123456789012345", 0, 15},
    };
    for (const auto& c : cases) {
        std::size_t used = 99;
        EXPECT_EQ(ParseSignedInt(c.text, &used), c.value) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
    EXPECT_EQ(ParseSignedInt("7", nullptr), 7);
}

TEST(FindNoCase, Table) {
    struct F {
        std::string hay;
        std::size_t count;
        std::string piece;
        bool caseSensitive;
        std::ptrdiff_t at;
    };
    const std::vector<F> cases = {
        {"<a href=x>", 10, "HREF", false, 3},
        {"<a href=x>", 10, "HREF", true, -1},
        {"<a HREF=x>", 10, "HREF", true, 3},
        {"abc", 3, "", false, 0},
        {"abcdef", 4, "def", false, -1},  // only the first count bytes
        {"abcdef", 6, "DEF", false, 3},
        {"ab", 2, "abc", false, -1},
        {"\xC4\xE4", 2, "\xE4", false, 1},     // high bytes compare exactly
        {"\xC4", 1, "\xE4", false, -1},
        {"[@]", 3, "`", false, -1},           // only A-Z fold
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindNoCase(c.hay.data(), c.count, c.piece, c.caseSensitive), c.at) << c.hay << " / " << c.piece;
}

TEST(AsciiToLower, OnlyLetters) {
    std::string s = "AbZ@[\xC4]";
    AsciiToLower(s.data(), s.size());
    EXPECT_EQ(s, "abz@[\xC4]");
}

TEST(ExtractXmlTag, Table) {
    const std::string text = "<id>x1</id><url></url><a>one</a><a>two</a>";
    std::string content = "junk";
    EXPECT_EQ(ExtractXmlTag(text, "<id>", "</id>", content, 0), 4);
    EXPECT_EQ(content, "x1");
    // empty content counts as missing
    content = "junk";
    EXPECT_EQ(ExtractXmlTag(text, "<url>", "</url>", content, 0), -1);
    EXPECT_EQ(content, "");
    // missing open or close tag
    EXPECT_EQ(ExtractXmlTag(text, "<b>", "</b>", content, 0), -1);
    EXPECT_EQ(ExtractXmlTag("<b>open", "<b>", "</b>", content, 0), -1);
    // the start position picks later elements; tags are case-sensitive
    std::ptrdiff_t first = ExtractXmlTag(text, "<a>", "</a>", content, 0);
    EXPECT_EQ(content, "one");
    EXPECT_GT(ExtractXmlTag(text, "<a>", "</a>", content, static_cast<std::size_t>(first)), first);
    EXPECT_EQ(content, "two");
    EXPECT_EQ(ExtractXmlTag(text, "<A>", "</A>", content, 0), -1);
    EXPECT_EQ(ExtractXmlTag(text, "<a>", "</a>", content, text.size() + 5), -1);
}
