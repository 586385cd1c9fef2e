#include "download/http_client.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/forward_proxy.h"
#include "support/http_server.h"
#include "support/program_dir.h"
#include "support/wait_for.h"

#include <thread>

using namespace download;
using testsupport::HttpReply;
using testsupport::HttpRequest;
using testsupport::HttpServer;

namespace {

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetHttpTimings();
        HttpTimings t;
        t.requestTimeoutMs = 10000;
        t.retryPauseMs = 300;
        t.connectTimeoutMs = 10000;
        SetHttpTimings(t);
        program_.WriteConfig("[Global Options]\nProxyType=0\n");
    }
    void TearDown() override { SetHttpTimings(saved_); }

    static HttpReply Text(const std::string& body, int status = 200) {
        HttpReply r;
        r.status = status;
        r.body = body;
        r.contentType = "text/html";
        return r;
    }

    HttpTimings saved_;
    testsupport::ProgramDir program_;
    HttpServer server_;
};

TEST_F(HttpClientTest, GetTextSendsTheClientHeadersAndTurnsNulBytesIntoSpaces) {
    server_.Serve("/page", Text(std::string("a\0b\0c", 5)));
    std::string page;
    ASSERT_EQ(HttpGetText(server_.url("/page?x=1#frag"), page, 1, 1), 0);
    EXPECT_EQ(page, "a b c");
    auto r = server_.requests("/page").at(0);
    EXPECT_EQ(r.target, "/page?x=1%23frag");
    EXPECT_EQ(r.version, "HTTP/1.0");
    EXPECT_EQ(r.header("User-Agent"), GenericHTTPClient::kUserAgent);
    EXPECT_EQ(r.header("Accept"), "*/*");
    EXPECT_EQ(r.header("x-flash-version"), "9,0,16,0");
    EXPECT_EQ(r.header("Pragma"), "no-cache");
    EXPECT_FALSE(r.has_header("Referer"));

    ASSERT_EQ(HttpGetText(server_.url("/page"), page, 0, 0), 0);
    EXPECT_FALSE(server_.requests("/page").at(1).has_header("Pragma"));
}

TEST_F(HttpClientTest, HighBytesAreEncodedOnlyWhenAsked) {
    server_.Fallback([](const HttpRequest&) { return Text("ok"); });
    std::string page;
    const std::string path = "/\xE4\xB8\xAD";  // one CJK character in the (UTF-8) ANSI code page
    ASSERT_EQ(HttpGetText(server_.url(path), page, 0, 1), 0);
    ASSERT_EQ(HttpGetText(server_.url(path), page, 0, 0), 0);
    auto reqs = server_.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].target, "/%E4%B8%AD");
    EXPECT_EQ(reqs[1].target, "/%E4%B8%AD");  // the client itself never sends raw high bytes
}

TEST_F(HttpClientTest, StatusRules) {
    HttpReply redirectNowhere;
    redirectNowhere.status = 302;
    redirectNowhere.body = "moved";
    server_.Serve("/302", redirectNowhere);
    server_.Serve("/200", Text("ok"));
    server_.Serve("/206", Text("part", 206));
    server_.Serve("/404", Text("missing", 404));
    struct Case {
        const char* path;
        int method;
        int noRedirect;
        bool ok;
    } cases[] = {
        {"/200", GenericHTTPClient::kGet, 0, true},  {"/206", GenericHTTPClient::kGet, 0, true},
        {"/404", GenericHTTPClient::kGet, 0, false}, {"/302", GenericHTTPClient::kGet, 0, false},
        {"/302", GenericHTTPClient::kGet, 1, true},  {"/200", GenericHTTPClient::kPost, 0, true},
        {"/206", GenericHTTPClient::kPost, 0, false},
    };
    for (auto& c : cases) {
        GenericHTTPClient client;
        client.SetNoRedirect(c.noRedirect);
        std::string headers, body;
        int status = 0;
        bool ok = client.Request(server_.url(c.path).c_str(), c.method, 5000, "a=1", 3, headers, status, body);
        EXPECT_EQ(ok, c.ok) << c.path << " method " << c.method << " noRedirect " << c.noRedirect;
        EXPECT_EQ(status, std::atoi(c.path + 1)) << c.path;
        if (ok) {
            EXPECT_EQ(headers.rfind("HTTP/1.1 ", 0), 0u);
        }
    }
}

TEST_F(HttpClientTest, RedirectsAreFollowedToTheFinalPage) {
    HttpReply moved;
    moved.status = 301;
    moved.headers.push_back({"Location", server_.url("/new")});
    server_.Serve("/old", moved);
    server_.Serve("/new", Text("new page"));
    std::string page;
    ASSERT_EQ(HttpGetText(server_.url("/old"), page, 0, 1), 0);
    EXPECT_EQ(page, "new page");
}

TEST_F(HttpClientTest, SilentServerGetsTwoAttemptsEachFollowedByThePause) {
    HttpReply silent;
    silent.silent = true;
    server_.Serve("/silent", silent);
    // Long enough that a loaded machine still gets both requests to the server in time.
    HttpTimings t = GetHttpTimings();
    t.requestTimeoutMs = 4000;
    SetHttpTimings(t);
    auto start = std::chrono::steady_clock::now();
    std::string page = "old";
    EXPECT_EQ(HttpGetText(server_.url("/silent"), page, 0, 1), -1);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(server_.WaitForRequests(2, "/silent"));
    EXPECT_EQ(server_.count("/silent"), 2u);
    EXPECT_EQ(page, "");
    // libcurl's timer may fire a few milliseconds early; the pauses are what this bound shows.
    EXPECT_GE(elapsed, std::chrono::milliseconds(2 * (4000 + 300) - 150));
}

TEST_F(HttpClientTest, ASecondAttemptCanSucceed) {
    int calls = 0;
    server_.Handle("/flaky", [&](const HttpRequest&) { return ++calls == 1 ? Text("busy", 503) : Text("fine"); });
    std::string page;
    EXPECT_EQ(HttpGetText(server_.url("/flaky"), page, 0, 1), 0);
    EXPECT_EQ(page, "fine");
    EXPECT_EQ(server_.count("/flaky"), 2u);
}

TEST_F(HttpClientTest, ABodyShorterThanItsLengthIsNoPage) {
    HttpReply cut = Text(std::string(5000, 'x'));
    cut.cutAfter = 2000;
    server_.Serve("/cut", cut);
    HttpReply open = Text(std::string(3000, 'y'));
    open.sendContentLength = false;
    server_.Serve("/open", open);
    std::string page;
    EXPECT_EQ(HttpGetText(server_.url("/cut"), page, 0, 1), -1);
    ASSERT_EQ(HttpGetText(server_.url("/open"), page, 0, 1), 0);
    EXPECT_EQ(page.size(), 3000u);
}

TEST_F(HttpClientTest, APageWhoseTransferEndsInAnErrorIsNoPage) {
    for (const auto& [path, raw] : testsupport::BrokenReplies()) {
        SCOPED_TRACE(path);
        HttpReply reply;
        reply.raw = raw;
        server_.Serve(path, reply);
        std::string page = "old";
        EXPECT_EQ(HttpGetText(server_.url(path), page, 0, 1), -1);
        EXPECT_EQ(page, "");
        EXPECT_EQ(server_.count(path), 2u);
    }
    HttpReply whole;
    whole.raw = testsupport::ChunkedHead() + "5\r\nhello\r\n0\r\n\r\n";
    server_.Serve("/whole", whole);
    std::string page;
    ASSERT_EQ(HttpGetText(server_.url("/whole"), page, 0, 1), 0);
    EXPECT_EQ(page, "hello");
}

// A page still arriving when the time-out ends its request is no page, whatever was received.
TEST_F(HttpClientTest, APageCutOffByTheTimeOutIsNoPage) {
    HttpTimings t = GetHttpTimings();
    t.requestTimeoutMs = 1000;
    SetHttpTimings(t);
    HttpReply trickle = Text(std::string(20000, 't'));
    trickle.sendContentLength = false;
    trickle.bytesPerSecond = 5000;
    server_.Serve("/trickle", trickle);
    std::string page = "old";
    EXPECT_EQ(HttpGetText(server_.url("/trickle"), page, 0, 1), -1);
    EXPECT_TRUE(page.empty());
    EXPECT_EQ(server_.count("/trickle"), 2u);
}

TEST_F(HttpClientTest, PostSendsTheFormHeadersAndReturnsTheReply) {
    server_.Handle("/post", [](const HttpRequest& r) { return Text("echo:" + r.body); });
    server_.Serve("/empty", Text(""));
    std::string reply = "untouched";
    const std::string data = "user=a&pass=b";
    ASSERT_EQ(HttpPostData(server_.url("/post"), data.data(), data.size(), reply), 0);
    EXPECT_EQ(reply, "echo:" + data);
    auto r = server_.requests("/post").at(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.header("Accept-Language"), "zh-cn,zh;q=0.5");
    EXPECT_EQ(r.header("Keep-Alive"), "300");
    EXPECT_EQ(r.body, data);

    reply = "untouched";
    ASSERT_EQ(HttpPostData(server_.url("/empty"), "x=1", 3, reply), 0);
    EXPECT_EQ(reply, "untouched");
}

TEST_F(HttpClientTest, ParseUrlForms) {
    struct Probe : GenericHTTPClient {
        void Parse(const std::string& url, std::string& scheme, std::string& host, int& port, std::string& path) {
            address_ = url;
            ParseUrl(scheme, host, port, path);
        }
    } probe;
    struct Case {
        const char* url;
        const char* scheme;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://a.example/x/y?q=1", "http", "a.example", 80, "/x/y?q=1"},
        {"https://a.example", "https", "a.example", 443, ""},
        {"HTTPS://a.example/", "HTTPS", "a.example", 80, "/"},
        {"http://127.0.0.1:8080/p", "http", "127.0.0.1", 8080, "/p"},
        {"a.example:81/p", "http", "a.example", 81, "/p"},
        {"a.example/p", "http", "a.example", 80, "/p"},
    };
    for (auto& c : cases) {
        std::string scheme, host, path;
        int port = 0;
        probe.Parse(c.url, scheme, host, port, path);
        EXPECT_EQ(scheme, c.scheme) << c.url;
        EXPECT_EQ(host, c.host) << c.url;
        EXPECT_EQ(port, c.port) << c.url;
        EXPECT_EQ(path, c.path) << c.url;
    }
}

TEST_F(HttpClientTest, ProxySettingsFromConfig) {
    struct Probe : GenericHTTPClient {
        using GenericHTTPClient::GenericHTTPClient;
    };
    struct Case {
        const char* config;  // [Global Options] body; null: no config.ini at all
        const char* address;
        int mode;
        const char* server;
        int port;
    } cases[] = {
        {nullptr, "http://a.example/", kProxySystem, "", 0},
        {"ProxyType=0\nProxyServer=p.example\nProxyPort=8080\n", "http://a.example/", kProxyDirect, "p.example", 0},
        {"ProxyType=2\nProxyServer=p.example\nProxyPort=8080\n", "http://a.example/", kProxyNamed, "p.example", 8080},
        {"ProxyType=2\nProxyServer=p.example\nProxyPort=0\n", "http://a.example/", kProxySystem, "p.example", 0},
        {"ProxyType=2\nProxyPort=8080\n", "http://a.example/", kProxySystem, "", 8080},
        {"ProxyType=7\n", "http://a.example/", kProxySystem, "", 0},
        {"ProxyType=3\nLocalProxyPort=9000\nProxyServer=p.example\n", "http://a.example/", kProxyDirect, "p.example", 0},
        {"ProxyType=3\nLocalProxyPort=9000\nProxyServer=p.example\n", "http://www.weiliao.com/v", kProxyNamed, "127.0.0.1", 9000},
        {"ProxyType=3\nLocalProxyPort=0\n", "http://www.weiliao.com/v", kProxySystem, "127.0.0.1", 0},
    };
    for (auto& c : cases) {
        if (c.config) program_.WriteConfig(std::string("[Global Options]\n") + c.config);
        else std::filesystem::remove(program_ / "config.ini");
        Probe client;
        client.LoadProxyConfig(c.address);
        const char* what = c.config ? c.config : "(none)";
        EXPECT_EQ(client.proxyMode(), c.mode) << what << c.address;
        EXPECT_EQ(client.proxyServer(), c.server) << what;
        EXPECT_EQ(client.proxyPort(), c.port) << what;
    }
}

TEST_F(HttpClientTest, OverlongProxyTextsAreRefused) {
    GenericHTTPClient client;
    std::string longText(256, 'u');
    client.SetProxy(kProxyNamed, "p.example", longText.c_str(), "pw", 80);
    EXPECT_EQ(client.proxyUser(), "");
    EXPECT_EQ(client.proxyPassword(), "pw");
    EXPECT_EQ(client.credentialsFlag(), 0);
    GenericHTTPClient fine;
    fine.SetProxy(kProxyNamed, "p.example", std::string(255, 'u').c_str(), "pw", 80);
    EXPECT_EQ(fine.proxyUser().size(), 255u);
    EXPECT_EQ(fine.credentialsFlag(), 1);
}

// Requests through a real forward proxy: it marks what it forwards with a Via header.
TEST_F(HttpClientTest, ProxyTypesAgainstARealProxy) {
    testsupport::ForwardProxy proxy;
    ASSERT_TRUE(proxy.running());
    server_.Fallback([](const HttpRequest&) { return Text("ok"); });
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
    auto viaProxy = [&](const std::string& path) {
        auto reqs = server_.requests(path);
        return !reqs.empty() && reqs.back().has_header("Via");
    };
    std::string page;

    program_.WriteConfig("[Global Options]\nProxyType=0\n");
    {
        testsupport::ScopedEnv env("http_proxy", proxyUrl);
        ASSERT_EQ(HttpGetText(server_.url("/t0"), page, 0, 1), 0);
        EXPECT_FALSE(viaProxy("/t0"));
    }
    program_.WriteConfig("[Global Options]\nProxyType=1\n");
    {
        testsupport::ScopedEnv env("http_proxy", proxyUrl);
        testsupport::ScopedEnv noProxy("no_proxy", "");
        ASSERT_EQ(HttpGetText(server_.url("/t1"), page, 0, 1), 0);
        EXPECT_TRUE(viaProxy("/t1"));
    }
    program_.WriteConfig("[Global Options]\nProxyType=2\nProxyServer=127.0.0.1\nProxyPort=" + std::to_string(proxy.port()) + "\n");
    ASSERT_EQ(HttpGetText(server_.url("/t2"), page, 0, 1), 0);
    EXPECT_TRUE(viaProxy("/t2"));

    program_.WriteConfig("[Global Options]\nProxyType=3\nLocalProxyPort=" + std::to_string(proxy.port()) + "\n");
    ASSERT_EQ(HttpGetText(server_.url("/t3/quanzi.cn"), page, 0, 1), 0);
    EXPECT_TRUE(viaProxy("/t3/quanzi.cn"));
    ASSERT_EQ(HttpGetText(server_.url("/t3/other"), page, 0, 1), 0);
    EXPECT_FALSE(viaProxy("/t3/other"));
}

TEST_F(HttpClientTest, ProxyCredentialsReachTheProxy) {
    testsupport::ForwardProxy proxy("morvane", "s3cret");
    ASSERT_TRUE(proxy.running());
    server_.Fallback([](const HttpRequest&) { return Text("ok"); });
    const std::string base =
        "[Global Options]\nProxyType=2\nProxyServer=127.0.0.1\nProxyPort=" + std::to_string(proxy.port()) + "\n";
    std::string page;
    program_.WriteConfig(base + "ProxyUser=morvane\nProxyPasswd=s3cret\n");
    ASSERT_EQ(HttpGetText(server_.url("/auth"), page, 0, 1), 0);
    EXPECT_EQ(page, "ok");
    program_.WriteConfig(base + "ProxyUser=morvane\nProxyPasswd=wrong\n");
    EXPECT_EQ(HttpGetText(server_.url("/denied"), page, 0, 1), -1);
    EXPECT_EQ(server_.count("/denied"), 0u);
}

}  // namespace

namespace {

TEST_F(HttpClientTest, OnlyTheRequestLibraryStartsTheLocalProxyProgram) {
    const auto marker = program_ / "started";
    const auto script = program_.dir().write("fakeproxy.sh", "#!/bin/sh\necho started >> " + marker.string() + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    program_.WriteConfig("[Global Options]\nProxyType=3\nLocalProxyPort=9\nAutoStartProxy=1\nProxySoftPath=" +
                         script.string() + "\n");
    GenericHTTPClient installer(Flavor::Installer);
    installer.LoadProxyConfig("http://quanzi.cn/a");
    GenericHTTPClient unlisted(Flavor::RequestLib);
    unlisted.LoadProxyConfig("http://elsewhere.example/a");
    GenericHTTPClient lib(Flavor::RequestLib);
    lib.LoadProxyConfig("http://quanzi.cn/a");
    EXPECT_EQ(lib.proxyMode(), kProxyNamed);
    ASSERT_TRUE(testsupport::WaitFor([&] { return std::filesystem::exists(marker); }));
    // Give a wrong second start time to show up before counting.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(testsupport::ReadFile(marker), "started\n");
}

}  // namespace
