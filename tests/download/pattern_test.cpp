#include "download/pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

using download::CPattern;
using download::Flavor;

namespace {

std::string Apply(const std::string& pattern, const std::string& templ, const std::string& page,
                  Flavor flavor = Flavor::Installer) {
    CPattern p(pattern, templ, 0, flavor);
    std::string out = "junk";
    EXPECT_EQ(p.Apply(page, out), 1);
    return out;
}

std::vector<std::string> Captures(const std::string& pattern, const std::string& page, bool* matched = nullptr) {
    CPattern p(pattern, "", 0);
    std::vector<std::string> caps;
    std::size_t end = 0;
    int ok = p.Match(page.data(), page.size(), caps, end);
    if (matched) *matched = ok == 1;
    return ok ? caps : std::vector<std::string>{};
}

}  // namespace

TEST(CPattern, HrefCaptureWithPrefixTemplate) {
    const std::string page = "<html><a class=x HREF=\"/files/get?id=42\">go</a></html>";
    EXPECT_EQ(Apply("href=\"`a\"", "http://host`a", page), "http://host/files/get?id=42");
}

TEST(CPattern, MatchRules) {
    struct M {
        std::string pattern, page;
        bool matched;
        std::vector<std::string> caps;
    };
    const std::vector<M> cases = {
        // one attempt only: after the first "id=" the ";" does not follow the one-byte capture
        {"id=`1a;`b.", "id=77 id=8;x.", false, {}},
        {"id=`1a;`b.", "id=8;x.", true, {"8", "x"}},
        // the last piece is not looked at after a fixed-length capture
        {"id=`1a;", "id=77", true, {"7"}},
        // an empty capture fails the match
        {"<b>`a</b>", "<b></b>", false, {}},
        // a fixed length takes exactly that many bytes, even past the next piece
        {"x=`5a;", "x=ab;cdefg", true, {"ab;cd"}},
        // near the end a fixed-length capture takes what is left
        {"x=`9a", "x=abc", true, {"abc"}},
        // a negative length keeps the last bytes of what lies before the next piece
        {"n=`-3a;", "n=abcdef;", true, {"def"}},
        {"n=`-9a;", "n=abc;", true, {"abc"}},
        // ... and the match goes on behind that piece
        {"n=`-3a;m=`b;", "n=abcdef;m=xy;", true, {"def", "xy"}},
        // an empty last piece takes the rest of the text
        {"tail:`a", "tail:rest of page", true, {"rest of page"}},
        // a fixed capture must be followed directly by the next piece
        {"`2a,`b.", "ab,c.", true, {"ab", "c"}},
        {"`2a,`b.", "abc,d.", false, {}},
        // pieces compare A-Z without case
        {"NAME=`a&", "name=Ab&", true, {"Ab"}},
        // no captures: the first piece alone
        {"plain", "xx PLAIN", true, {}},
        {"plain", "nothing", false, {}},
    };
    for (const auto& c : cases) {
        bool matched = false;
        auto caps = Captures(c.pattern, c.page, &matched);
        EXPECT_EQ(matched, c.matched) << c.pattern << " on " << c.page;
        EXPECT_EQ(caps, c.caps) << c.pattern << " on " << c.page;
    }
}

TEST(CPattern, CompileLimits) {
    EXPECT_EQ(CPattern(std::string(127, 'p') + "`a", "", 0).Compile(), 1);
    EXPECT_EQ(CPattern(std::string(128, 'p') + "`a", "", 0).Compile(), 0);
    // the last piece has no limit
    EXPECT_EQ(CPattern("`a" + std::string(500, 'p'), "", 0).Compile(), 1);
    EXPECT_EQ(CPattern("x`1234567a", "", 0).Compile(), 1);
    EXPECT_EQ(CPattern("x`-1234567a", "", 0).Compile(), 1);
    EXPECT_EQ(CPattern("x`12345678a", "", 0).Compile(), 0);
    // a marker at the very end has no letter
    EXPECT_EQ(CPattern("x`", "", 0).Compile(), 0);
    EXPECT_EQ(CPattern("x`-12", "", 0).Compile(), 0);
    std::string many;
    for (int i = 0; i < 26; ++i) many += "`1a,";
    EXPECT_EQ(CPattern(many, "", 0).Compile(), 1);
    EXPECT_EQ(CPattern(many + "`1a", "", 0).Compile(), 0);
}

TEST(CPattern, RejectedPatternGivesEmptyOutput) {
    EXPECT_EQ(Apply(std::string(128, 'p') + "`a", "lit`a", std::string(128, 'p') + "value"), "");
    EXPECT_EQ(Apply("x`", "lit", "x`y"), "");
    // and so does a page on which nothing matches, literal text in the template or not
    EXPECT_EQ(Apply("id=`a;", "http://fixed/", "no such thing"), "");
}

TEST(CPattern, TemplateReferences) {
    // one capture "abcdefgh", a second "XYZ12"
    const std::string pattern = "[`a][`b]";
    const std::string page = "[abcdefgh][XYZ12]";
    struct T {
        std::string templ, out;
    };
    const std::vector<T> cases = {
        {"`+3a", "abc"},
        {"`-3a", "fgh"},
        {"`+-2a", "abcdef"},
        {"`--2a", "cdefgh"},
        {"`a", "abcdefgh"},
        {"`+0a", "`+0a"},
        {"`+99a", "abcdefgh"},
        {"`+-99a", ""},  // cut below nothing keeps nothing
        {"<`a|`b>", "<abcdefgh|XYZ12>"},
        // a whole reference followed by digits and a letter is a cut with sign "a"
        {"`a2b", "XY"},
        // the same token twice, both replaced
        {"`+2a-`+2a", "ab-ab"},
        // letters without a capture: cut references give nothing, whole references stay
        {"[`+2z][`z][`+2A]", "[][`z][]"},
        // unfinished references at the end stay as they are
        {"x`", "x`"},
        {"x`+", "x`+"},
        {"x`+12", "x`+12"},
    };
    for (const auto& c : cases) EXPECT_EQ(Apply(pattern, c.templ, page), c.out) << c.templ;
}

TEST(CPattern, InsertedTextIsNotReadAsReferences) {
    // the first capture holds what looks like references to the second
    const std::string page = "[`b`+1b][SECRET]";
    EXPECT_EQ(Apply("[`a][`b]", "`a|`+2b", page), "`b`+1b|SE");
}

TEST(CPattern, OutputIsUnescapedWithTheLibrarysRules) {
    const std::string page = "title=\"It&rsquo;s %3A here\n\"";
    EXPECT_EQ(Apply("title=\"`a\"", "`a", page, Flavor::Installer), "It's : here");
    EXPECT_EQ(Apply("title=\"`a\"", "`a", page, Flavor::RequestLib), "It&rsquo;s : here");
}

TEST(CPattern, Utf8FlagConvertsTheOutput) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "GB18030");
    CPattern p("name=`a;", "`a", 1);
    std::string out;
    p.Apply("name=\xE4\xB8\xAD;", out);
    EXPECT_EQ(out, "\xD6\xD0");
}
