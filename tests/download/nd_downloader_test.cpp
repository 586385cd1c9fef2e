#include "download/nd_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "download/text_utils.h"
#include "support/http_server.h"
#include "support/program_dir.h"
#include "support/zip_writer.h"

using namespace download;
using testsupport::HttpReply;
using testsupport::HttpRequest;
using testsupport::HttpServer;

namespace {

class ResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetHttpTimings();
        HttpTimings t;
        t.retryPauseMs = 10;
        t.downloadRetryPauseMs = 10;
        t.requestTimeoutMs = 10000;
        SetHttpTimings(t);
        program_.WriteConfig("[Global Options]\nProxyType=0\n");
        SetPatterns("<ndpattern><id>none</id></ndpattern>");
        for (const char* name : {"/a.bin", "/b.bin", "/c.bin"}) Serve(name, std::string("content of ") + name);
    }
    void TearDown() override { SetHttpTimings(saved_); }

    void SetPatterns(const std::string& xml) {
        HttpReply r;
        r.contentType = "text/xml";
        r.body = xml;
        server_.Serve("/client/config/netdisk_patterns.xml", r);
    }
    void Serve(const std::string& path, const std::string& body) {
        HttpReply r;
        r.body = body;
        server_.Serve(path, r);
    }
    void Page(const std::string& path, const std::string& body) {
        HttpReply r;
        r.contentType = "text/html";
        r.body = body;
        server_.Serve(path, r);
    }
    std::string Link(const std::string& id, const std::string& direct, int weight, const std::string& url = "") {
        return "<link><id>" + id + "</id><url>" + url + "</url><directurl>" + direct + "</directurl><weight>" +
               std::to_string(weight) + "</weight></link>";
    }
    std::vector<std::string> FilePaths() const {
        std::vector<std::string> out;
        for (auto& r : server_.requests())
            if (r.path.size() > 4 && r.path.substr(r.path.size() - 4) == ".bin") out.push_back(r.path);
        return out;
    }

    HttpTimings saved_;
    testsupport::ProgramDir program_;
    HttpServer server_;
    testsupport::ScopedEnv configServer_{"MORVANE_CONFIG_SERVER", server_.url("")};
    std::string target_ = (program_ / "target.bin").string();
};

TEST_F(ResolverTest, DirectLinkDownloadsAndThePatternListIsFetchedOnce) {
    CNDDownloader nd;
    const std::string list = Link("1", server_.url("/a.bin"), 1);
    ASSERT_EQ(nd.ResolveAndDownload(list, target_), 1);
    EXPECT_EQ(testsupport::ReadFile(target_), "content of /a.bin");
    ASSERT_EQ(nd.ResolveAndDownload(list, target_), 1);
    EXPECT_EQ(server_.count("/client/config/netdisk_patterns.xml"), 1u);
    EXPECT_EQ(nd.patternCount(), 1u);
}

TEST_F(ResolverTest, AnEmptyPatternListOrNoUsableLinkGivesZero) {
    {
        CNDDownloader nd;
        EXPECT_EQ(nd.ResolveAndDownload(Link("1", "http://x", 1, "http://y"), target_), 0);  // 7 characters each
        EXPECT_TRUE(nd.links().empty());
    }
    SetPatterns("<ndpattern><id></id></ndpattern>");
    CNDDownloader nd;
    EXPECT_EQ(nd.ResolveAndDownload(Link("1", server_.url("/a.bin"), 1), target_), 0);
    EXPECT_TRUE(FilePaths().empty());
}

TEST_F(ResolverTest, WeightedChoiceWithAnInjectedRandomSource) {
    HttpReply missing;
    missing.status = 404;
    server_.Serve("/a.bin", missing);
    const std::string list = Link("1", server_.url("/a.bin"), 0) + Link("2", server_.url("/b.bin"), 0) +
                             Link("3", server_.url("/c.bin"), 5);
    struct Case {
        std::uint64_t r;
        std::vector<std::string> tried;
    } cases[] = {
        // r = 0 picks the first link (weight 0); it fails, leaving b and c: r = 0 again picks b.
        {0, {"/a.bin", "/a.bin", "/b.bin"}},
        {3, {"/c.bin"}},
    };
    for (auto& c : cases) {
        server_.ClearRequests();
        CNDDownloader nd;
        std::vector<std::uint64_t> sums;
        nd.SetRandomSource([&](std::uint64_t sum) {
            sums.push_back(sum);
            return c.r;
        });
        EXPECT_EQ(nd.ResolveAndDownload(list, target_), 1) << c.r;
        EXPECT_EQ(FilePaths(), c.tried) << c.r;
        EXPECT_EQ(sums.front(), 5u);
    }
}

TEST_F(ResolverTest, AllWeightsZeroAreTriedInListOrder) {
    HttpReply missing;
    missing.status = 404;
    server_.Serve("/a.bin", missing);
    server_.Serve("/b.bin", missing);
    CNDDownloader nd;
    nd.SetRandomSource([](std::uint64_t) -> std::uint64_t { ADD_FAILURE() << "no random pick with weights 0"; return 0; });
    const std::string list = Link("1", server_.url("/a.bin"), 0) + Link("2", server_.url("/b.bin"), 0) +
                             Link("3", server_.url("/c.bin"), 0);
    EXPECT_EQ(nd.ResolveAndDownload(list, target_), 1);
    EXPECT_EQ(FilePaths(), (std::vector<std::string>{"/a.bin", "/a.bin", "/b.bin", "/b.bin", "/c.bin"}));
}

TEST_F(ResolverTest, LinksOfAnEarlierListAreForgotten) {
    CNDDownloader nd;
    ASSERT_EQ(nd.ResolveAndDownload(Link("1", server_.url("/a.bin"), 0) + Link("2", server_.url("/b.bin"), 0), target_), 1);
    EXPECT_EQ(nd.links().size(), 1u);  // the untried link stays until the next list
    HttpReply missing;
    missing.status = 404;
    server_.Serve("/c.bin", missing);
    server_.ClearRequests();
    EXPECT_EQ(nd.ResolveAndDownload(Link("3", server_.url("/c.bin"), 0), target_), 0);
    EXPECT_EQ(FilePaths(), (std::vector<std::string>{"/c.bin", "/c.bin"}));
}

TEST_F(ResolverTest, TwoStepRecipeWithAFormPost) {
    // Step 1 scrapes the form's address and body from the page; step 2 posts it and scrapes the file.
    Page("/share/abc", "<form action=\"" + server_.url("/post") + "\"><input value=\"tok123\"></form>");
    server_.Handle("/post", [&](const HttpRequest& r) {
        HttpReply reply;
        reply.contentType = "text/html";
        reply.body = r.method == "POST" && r.body == "token=tok123" ? "file: \"HTTP://127.0.0.1:" + std::to_string(server_.port()) + "/b.bin\"" : "no";
        return reply;
    });
    SetPatterns(
        "<ndpattern><id>Disk</id>"
        "<pattern1>action=\"`a\"><input value=\"`b\"</pattern1><tresult1>`a</tresult1><dataresult1>token=`b</dataresult1>"
        "<pattern2>file: \"`a\"</pattern2><tresult2>`a</tresult2>"
        "</ndpattern>");
    CNDDownloader nd;
    const std::string list = "<link><id>disk</id><url>" + server_.url("/share/abc") + "</url></link>";
    ASSERT_EQ(nd.ResolveAndDownload(list, target_), 1);
    EXPECT_EQ(testsupport::ReadFile(target_), "content of /b.bin");
    auto posts = server_.requests("/post");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].method, "POST");
    // Without referer templates, the first step's page stays the referer.
    EXPECT_EQ(server_.requests("/b.bin").at(0).header("Referer"), server_.url("/share/abc"));
}

TEST_F(ResolverTest, AFormBodyStaysForEveryStepUntilATemplateReplacesIt) {
    // Step 1 scrapes a form; step 2 has no body template, so step 3 posts step 1's body again.
    Page("/share/three", "<form action=\"" + server_.url("/step2") + "\"><input value=\"tok9\"></form>");
    auto posted = [](const std::string& reply) {
        return [reply](const HttpRequest& r) {
            HttpReply out;
            out.contentType = "text/html";
            out.body = r.method == "POST" && r.body == "token=tok9" ? reply : "no";
            return out;
        };
    };
    server_.Handle("/step2", posted("next=\"" + server_.url("/step3") + "\""));
    server_.Handle("/step3", posted("file: \"" + server_.url("/c.bin") + "\""));
    SetPatterns(
        "<ndpattern><id>three</id>"
        "<pattern1>action=\"`a\"><input value=\"`b\"</pattern1><tresult1>`a</tresult1><dataresult1>token=`b</dataresult1>"
        "<pattern2>next=\"`a\"</pattern2><tresult2>`a</tresult2>"
        "<pattern3>file: \"`a\"</pattern3><tresult3>`a</tresult3>"
        "</ndpattern>");
    CNDDownloader nd;
    ASSERT_EQ(nd.ResolveAndDownload("<link><id>three</id><url>" + server_.url("/share/three") + "</url></link>", target_), 1);
    EXPECT_EQ(testsupport::ReadFile(target_), "content of /c.bin");
    for (const char* step : {"/step2", "/step3"}) {
        auto requests = server_.requests(step);
        ASSERT_EQ(requests.size(), 1u) << step;
        EXPECT_EQ(requests[0].method, "POST") << step;
        EXPECT_EQ(requests[0].body, "token=tok9") << step;
    }
}

TEST_F(ResolverTest, AFailedRecipeLeavesNothingForTheNext) {
    Page("/share/x", "next=" + server_.url("/gone") + ";ref=http://wrong.example/ref;file=" + server_.url("/c.bin") + ";");
    HttpReply missing;
    missing.status = 404;
    server_.Serve("/gone", missing);
    // The first recipe finds a referer, then fails at its second step; the second has no
    // referer template, so its referer is the page it fetched.
    SetPatterns(
        "<ndpattern><id>d</id><pattern1>next=`a;ref=`b;</pattern1><tresult1>`a</tresult1><referer1>`b</referer1>"
        "<pattern2>x`a</pattern2><tresult2>`a</tresult2></ndpattern>"
        "<ndpattern><id>D</id><pattern1>file=`a;</pattern1><tresult1>`a</tresult1></ndpattern>");
    CNDDownloader nd;
    ASSERT_EQ(nd.ResolveAndDownload("<link><id>d</id><url>" + server_.url("/share/x") + "</url></link>", target_), 1);
    EXPECT_EQ(server_.count("/gone"), 2u);
    EXPECT_EQ(server_.requests("/c.bin").at(0).header("Referer"), server_.url("/share/x"));
}

TEST_F(ResolverTest, ARecipeWithoutStepsEndsTheSearch) {
    Page("/share/z", "file=" + server_.url("/c.bin") + ";");
    SetPatterns(
        "<ndpattern><id>d</id><pattern1>file=`a;</pattern1></ndpattern>"
        "<ndpattern><id>d</id><pattern1>file=`a;</pattern1><tresult1>`a</tresult1></ndpattern>");
    CNDDownloader nd;
    EXPECT_EQ(nd.ResolveAndDownload("<link><id>d</id><url>" + server_.url("/share/z") + "</url></link>", target_), 0);
    EXPECT_EQ(server_.count("/c.bin"), 0u);
}

TEST_F(ResolverTest, ZipFromALinkListIsUnpackedIntoTheFolder) {
    const auto zip = program_ / "pack.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "docs/readme.txt", .data = "hello"}, {.name = "a.txt", .data = "A"}}));
    Serve("/pack.zip", testsupport::ReadFile(zip));
    Page("/list.xml", Link("1", server_.url("/pack.zip"), 1));
    const auto folder = program_ / "out" / "deeper";
    CNDDownloader nd;
    ASSERT_EQ(nd.DownloadZipFromLinkList(server_.url("/list.xml"), folder.string()), 1);
    EXPECT_EQ(testsupport::ReadFile(folder / "docs" / "readme.txt"), "hello");
    EXPECT_EQ(testsupport::ReadFile(folder / "a.txt"), "A");

    // An archive with an entry that cannot be extracted is a failure.
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "b.txt", .data = "B"},
                                            {.name = "link", .data = "/", .host = 3, .externalAttr = 0120777u << 16}}));
    Serve("/pack.zip", testsupport::ReadFile(zip));
    EXPECT_EQ(nd.DownloadZipFromLinkList(server_.url("/list.xml"), folder.string()), 0);
    EXPECT_EQ(testsupport::ReadFile(folder / "b.txt"), "B");
    EXPECT_FALSE(std::filesystem::exists(folder / "link"));
}

}  // namespace

namespace {

// A recipe read the plain way: every tag of every step searched from the element's start.
std::pair<std::string, std::vector<NdPatternStep>> ReadTagByTag(const std::string& element) {
    auto tag = [&](const std::string& name) {
        std::string content;
        ExtractXmlTag(element, "<" + name + ">", "</" + name + ">", content, 0);
        return content;
    };
    std::pair<std::string, std::vector<NdPatternStep>> out{tag("id"), {}};
    for (int n = 1;; ++n) {
        const std::string k = std::to_string(n);
        NdPatternStep step{tag("pattern" + k), tag("tresult" + k), tag("uresult" + k), tag("referer" + k),
                           tag("dataresult" + k)};
        if (step.pattern.empty() || step.tresult.empty()) break;
        out.second.push_back(step);
    }
    return out;
}

bool SameSteps(const std::vector<NdPatternStep>& a, const std::vector<NdPatternStep>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const NdPatternStep& x, const NdPatternStep& y) {
        return x.pattern == y.pattern && x.tresult == y.tresult && x.uresult == y.uresult && x.referer == y.referer &&
               x.dataresult == y.dataresult;
    });
}

}  // namespace

TEST(PatternList, ARecipeReadsItsStepsFirstOccurrenceFirst) {
    CNDDownloader d;
    d.ParsePattern(
        "<id>site</id><id>other</id>"
        "<tresult2>t2</tresult2><pattern2>p2</pattern2>"
        "<pattern1>p1</pattern1><pattern1>ignored</pattern1><tresult1><referer1>r1</referer1>t1</tresult1>"
        "<uresult1></uresult1><dataresult1>d1</pattern1></dataresult1>"
        "<pattern4>p4</pattern4><tresult4>t4</tresult4>");
    const auto recipes = d.recipes();
    ASSERT_EQ(recipes.size(), 1u);
    EXPECT_EQ(recipes[0].first, "site");
    // Step 3 is missing, so step 4 is never read.
    ASSERT_EQ(recipes[0].second.size(), 2u);
    const NdPatternStep& one = recipes[0].second[0];
    EXPECT_EQ(one.pattern, "p1");
    EXPECT_EQ(one.tresult, "<referer1>r1</referer1>t1");
    EXPECT_EQ(one.uresult, "");
    EXPECT_EQ(one.referer, "r1");
    EXPECT_EQ(one.dataresult, "d1</pattern1>");
    EXPECT_EQ(recipes[0].second[1].pattern, "p2");
    EXPECT_EQ(recipes[0].second[1].tresult, "t2");
}

TEST(PatternList, OnePassReadsEveryElementAsTheTagByTagReadingDoes) {
    // Elements made of tags of the recipe, tags of no one, stray brackets and text, in any order.
    const std::vector<std::string> tokens = {
        "<id>", "</id>", "<pattern1>", "</pattern1>", "<tresult1>", "</tresult1>", "<uresult1>", "</uresult1>",
        "<referer1>", "</referer1>", "<dataresult1>", "</dataresult1>", "<pattern2>", "</pattern2>", "<tresult2>",
        "</tresult2>", "<pattern10>", "</pattern10>", "<tresult10>", "</tresult10>", "<", ">", "</", "<<", "x", "id",
        "ab", "</pattern", "<id", "<i d>", "<ID>"};
    std::mt19937 random(24);
    for (int round = 0; round < 3000; ++round) {
        std::string element;
        const int length = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) element += tokens[random() % tokens.size()];
        SCOPED_TRACE(element);
        CNDDownloader d;
        const bool kept = d.ParsePattern(element);
        const auto want = ReadTagByTag(element);
        ASSERT_EQ(kept, !want.first.empty());
        if (!kept) continue;
        const auto got = d.recipes();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].first, want.first);
        EXPECT_TRUE(SameSteps(got[0].second, want.second));
    }
}

TEST(PatternList, LinksReadTheirFieldsAsBefore) {
    CNDDownloader d;
    d.ParseLinkList(
        "<link><id>a</id><url>http://x/one</url><size>12</size><weight>3</weight><id>b</id></link>"
        "<link><id>c</id><directurl>http://x/direct</directurl><referer>http://r/</referer><url>short</url></link>"
        "<link><id></id><url>http://x/none</url></link>");
    const auto links = d.links();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].id, "a");
    EXPECT_EQ(links[0].url, "http://x/one");
    EXPECT_EQ(links[0].size, 12);
    EXPECT_EQ(links[0].weight, 3);
    EXPECT_EQ(links[1].directurl, "http://x/direct");
    EXPECT_EQ(links[1].referer, "http://r/");
    EXPECT_EQ(links[1].url, "short");
}
