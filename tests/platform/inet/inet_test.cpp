#include "platform/inet/inet.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "support/http_server.h"
#include "support/temp_dir.h"

using testsupport::HttpReply;
using testsupport::HttpRequest;
using testsupport::ChunkedHead;
using testsupport::HttpServer;

namespace {

// One open request with its session and connection, closed in reverse order.
struct Open {
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    Open(const HttpServer& server, const char* verb, const char* path, DWORD flags = 0, DWORD access = INTERNET_OPEN_TYPE_DIRECT,
         const char* proxy = nullptr, const char* version = "HTTP/1.0") {
        session = InternetOpenA("TestAgent/1.0", access, proxy, nullptr, 0);
        connection = InternetConnectA(session, "127.0.0.1", static_cast<INTERNET_PORT>(server.port()), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
        LPCSTR accept[] = {"*/*", nullptr};
        request = HttpOpenRequestA(connection, verb, path, version, "http://ref.example/", accept, flags, 0);
    }
    ~Open() {
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (session) InternetCloseHandle(session);
    }
    std::string Query(DWORD level) const {
        char buf[4096];
        DWORD len = sizeof buf;
        if (!HttpQueryInfoA(request, level, buf, &len, nullptr)) return "<none>";
        return std::string(buf, len);
    }
    DWORD Status() const {
        DWORD status = 0, len = sizeof status;
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr);
        return status;
    }
    // Reads the body `chunk` bytes at a time; false on a failed read.
    bool ReadAll(std::string& out, DWORD chunk = 1024) const {
        std::string buf(chunk, '\0');
        for (;;) {
            DWORD got = 0;
            if (!InternetReadFile(request, buf.data(), chunk, &got)) return false;
            if (got == 0) return true;
            out.append(buf.data(), got);
        }
    }
};

}  // namespace

TEST(Inet, GetSendsTheRequestAsBuiltAndReportsTheReply) {
    HttpServer server;
    HttpReply reply;
    reply.contentType = "text/plain; charset=gbk";
    reply.body = "hello body";
    reply.headers.push_back({"X-Extra", "1"});
    server.Serve("/page", reply);

    Open o(server, "GET", "/page?a=1&b=2", INTERNET_FLAG_PRAGMA_NOCACHE);
    ASSERT_TRUE(o.request);
    ASSERT_TRUE(HttpAddRequestHeadersA(o.request, "Accept: */*\r\n", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_REPLACE));
    ASSERT_TRUE(HttpAddRequestHeadersA(o.request, "x-flash-version: 9,0,16,0", static_cast<DWORD>(-1),
                                       HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_FALSE(HttpAddRequestHeadersA(o.request, "X-Flash-Version: 1", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_ALREADY_EXISTS));
    ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));

    EXPECT_EQ(o.Status(), 200u);
    EXPECT_EQ(o.Query(HTTP_QUERY_CONTENT_TYPE), "text/plain; charset=gbk");
    EXPECT_EQ(o.Query(HTTP_QUERY_CONTENT_LENGTH), "10");
    EXPECT_EQ(o.Query(HTTP_QUERY_CONTENT_RANGE), "<none>");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
    std::string raw = o.Query(HTTP_QUERY_RAW_HEADERS_CRLF);
    EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << raw;
    EXPECT_NE(raw.find("X-Extra: 1\r\n"), std::string::npos);
    EXPECT_EQ(raw.substr(raw.size() - 4), "\r\n\r\n");

    std::string body;
    ASSERT_TRUE(o.ReadAll(body, 3));
    EXPECT_EQ(body, "hello body");

    auto reqs = server.requests("/page");
    ASSERT_EQ(reqs.size(), 1u);
    const HttpRequest& r = reqs[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/page?a=1&b=2");
    EXPECT_EQ(r.version, "HTTP/1.0");
    EXPECT_EQ(r.header("User-Agent"), "TestAgent/1.0");
    EXPECT_EQ(r.header("Referer"), "http://ref.example/");
    EXPECT_EQ(r.header("Accept"), "*/*");
    EXPECT_EQ(r.header("x-flash-version"), "9,0,16,0");
    EXPECT_EQ(r.header("Pragma"), "no-cache");
}

TEST(Inet, SmallBufferTooSmallGivesTheNeededSize) {
    HttpServer server;
    server.Serve("/", HttpReply{});
    Open o(server, "GET", "/");
    ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    char buf[4];
    DWORD len = sizeof buf;
    EXPECT_FALSE(HttpQueryInfoA(o.request, HTTP_QUERY_CONTENT_TYPE, buf, &len, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(len, std::strlen("application/octet-stream") + 1);
}

TEST(Inet, PostCarriesTheBodyAndTheGivenContentType) {
    HttpServer server;
    server.Handle("/form", [](const HttpRequest& r) {
        HttpReply reply;
        reply.body = "got:" + r.body;
        return reply;
    });
    Open o(server, "POST", "/form", INTERNET_FLAG_FORMS_SUBMIT);
    std::string data = "a=1&b=%E4%B8%AD";
    ASSERT_TRUE(HttpSendRequestA(o.request, "Content-Type: application/x-www-form-urlencoded\r\n", static_cast<DWORD>(-1),
                                 data.data(), static_cast<DWORD>(data.size())));
    std::string body;
    ASSERT_TRUE(o.ReadAll(body));
    EXPECT_EQ(body, "got:" + data);
    auto r = server.requests("/form").at(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(Inet, RedirectsAreFollowedUnlessTheRequestSaysNot) {
    HttpServer server;
    HttpReply moved;
    moved.status = 302;
    moved.headers.push_back({"Location", server.url("/target")});
    moved.body = "moved";
    server.Serve("/old", moved);
    HttpReply target;
    target.body = "arrived";
    server.Serve("/target", target);

    {
        Open o(server, "GET", "/old");
        ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(o.Status(), 200u);
        std::string body;
        ASSERT_TRUE(o.ReadAll(body));
        EXPECT_EQ(body, "arrived");
    }
    {
        Open o(server, "GET", "/old", INTERNET_FLAG_NO_AUTO_REDIRECT);
        ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(o.Status(), 302u);
        EXPECT_EQ(o.Query(HTTP_QUERY_LOCATION), server.url("/target"));
        std::string body;
        ASSERT_TRUE(o.ReadAll(body));
        EXPECT_EQ(body, "moved");
    }
    EXPECT_EQ(server.count("/target"), 1u);
}

// Redirects stay within http and https: a Location of another scheme fails the request before
// anything connects to it.
TEST(Inet, RedirectsToOtherSchemesAreNotFollowed) {
    // Stands where the redirect points and counts who knocks.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t addrLen = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &addrLen), 0);
    const std::string elsewhere = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    auto knocks = [&] {
        int n = 0;
        for (int fd; (fd = ::accept(listener, nullptr, nullptr)) >= 0; ++n) ::close(fd);
        return n;
    };

    HttpServer server;
    testsupport::TempDir tmp;
    tmp.write("local.txt", "a local file");
    struct Row {
        std::string location;
        bool followed;
    };
    const std::vector<Row> rows = {
        {"ftp://" + elsewhere + "/file.bin", false},
        {"ftps://" + elsewhere + "/file.bin", false},
        {"file://" + (tmp / "local.txt").string(), false},
        {"dict://" + elsewhere + "/word", false},
        {server.url("/arrived"), true},
    };
    HttpReply arrived;
    arrived.body = "arrived";
    server.Serve("/arrived", arrived);
    for (const auto& row : rows) {
        HttpReply moved;
        moved.status = 302;
        moved.headers.push_back({"Location", row.location});
        server.Serve("/moved", moved);
        Open o(server, "GET", "/moved");
        DWORD ms = 3000;
        ASSERT_TRUE(InternetSetOptionA(o.request, INTERNET_OPTION_REQUEST_DEADLINE, &ms, sizeof ms));
        const bool sent = HttpSendRequestA(o.request, nullptr, 0, nullptr, 0);
        EXPECT_EQ(sent, row.followed) << row.location;
        std::string body;
        if (sent) {
            EXPECT_TRUE(o.ReadAll(body));
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_REDIRECT_FAILED)) << row.location;
        }
        EXPECT_EQ(body, row.followed ? "arrived" : "") << row.location;
        EXPECT_EQ(knocks(), 0) << row.location;
    }
    ::close(listener);
}

TEST(Inet, RangeHeaderAndContentRangeReachBothSides) {
    const std::string content = testsupport::PatternBytes(0, 5000);
    HttpServer server;
    server.Handle("/file", [&](const HttpRequest& r) { return testsupport::RangedReply(r, content); });
    Open o(server, "GET", "/file");
    ASSERT_TRUE(HttpAddRequestHeadersA(o.request, "Range:bytes=1200-", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(o.Status(), 206u);
    EXPECT_EQ(o.Query(HTTP_QUERY_CONTENT_RANGE), "bytes 1200-4999/5000");
    std::uint64_t length = 0;
    DWORD len = sizeof length;
    ASSERT_TRUE(HttpQueryInfoA(o.request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER64, &length, &len, nullptr));
    EXPECT_EQ(length, 3800u);
    std::string body;
    ASSERT_TRUE(o.ReadAll(body, 777));
    EXPECT_EQ(body, content.substr(1200));
}

TEST(Inet, LargeBodyReadSlowlyArrivesIntact) {
    // Many steps of the transfer, each read out in small pieces.
    HttpServer server;
    HttpReply reply;
    reply.generatedSize = 8u << 20;
    server.Serve("/big", reply);
    Open o(server, "GET", "/big");
    ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    std::string body;
    ASSERT_TRUE(o.ReadAll(body, 16384));
    ASSERT_EQ(body.size(), reply.generatedSize);
    EXPECT_TRUE(body == testsupport::PatternBytes(0, body.size()));
}

TEST(Inet, ABodyCutShortEndsWithoutAnErrorAndTheCallerSeesTheShortfall) {
    HttpServer server;
    HttpReply reply;
    reply.generatedSize = 100000;
    reply.cutAfter = 40000;
    server.Serve("/cut", reply);
    Open o(server, "GET", "/cut");
    ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(o.Query(HTTP_QUERY_CONTENT_LENGTH), "100000");
    std::string body;
    EXPECT_TRUE(o.ReadAll(body));
    EXPECT_EQ(body.size(), 40000u);
}

TEST(Inet, AChunkedBodyCutOrMalformedIsAFailedReadAndAWholeOneIsNot) {
    struct Case {
        const char* name;
        std::string raw;
        bool whole;
        std::string body;  // what a whole one reads
    };
    const std::vector<Case> cases = {
        {"whole", ChunkedHead() + "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", true, "hello world"},
        {"cut in a chunk", ChunkedHead() + "3E8\r\n" + std::string(500, 'x'), false, ""},
        {"cut before the last chunk", ChunkedHead() + "5\r\nhello\r\n", false, ""},
        {"a size that is no number", ChunkedHead() + "zz\r\nhello\r\n0\r\n\r\n", false, ""},
        {"a size past any length", ChunkedHead() + "FFFFFFFFFFFFFFFF\r\nhello\r\n0\r\n\r\n", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpServer server;
        HttpReply reply;
        reply.raw = c.raw;
        server.Serve("/c", reply);
        for (const char* version : {"HTTP/1.0", "HTTP/1.1"}) {
            Open o(server, "GET", "/c", 0, INTERNET_OPEN_TYPE_DIRECT, nullptr, version);
            ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
            std::string body;
            const bool read = o.ReadAll(body);
            EXPECT_EQ(read, c.whole) << version;
            if (c.whole) EXPECT_EQ(body, c.body);
            else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_ABORTED));
        }
    }
}

TEST(Inet, ContentLengthsThatDisagreeFailTheSendAndOnesThatAgreeDoNot) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    struct Case {
        const char* name;
        std::string lengths;
        bool sent;
    };
    const std::vector<Case> cases = {
        {"two that differ", "Content-Length: 5\r\nContent-Length: 11\r\n", false},
        {"a list that differs", "Content-Length: 5, 11\r\n", false},
        {"two that agree", "Content-Length: 5\r\ncontent-length: 005\r\n", true},
        {"a list that agrees", "Content-Length: 5, 5\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpServer server;
        HttpReply reply;
        reply.raw = head + c.lengths + "\r\nhello world";
        server.Serve("/l", reply);
        Open o(server, "GET", "/l");
        const bool sent = HttpSendRequestA(o.request, nullptr, 0, nullptr, 0) != FALSE;
        ASSERT_EQ(sent, c.sent);
        if (!sent) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_INVALID_SERVER_RESPONSE));
            continue;
        }
        std::string body;
        EXPECT_TRUE(o.ReadAll(body));
        EXPECT_EQ(body, "hello");
    }
}

TEST(Inet, AServerThatDripsTimesOutLikeASilentOne) {
    HttpServer server;
    HttpReply reply;
    reply.generatedSize = 100000;
    reply.bytesPerSecond = 2;
    server.Serve("/drip", reply);
    auto reading = std::async(std::launch::async, [&] {
        Open o(server, "GET", "/drip");
        DWORD ms = 1000;
        InternetSetOptionA(o.request, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
        if (!HttpSendRequestA(o.request, nullptr, 0, nullptr, 0)) return GetLastError();
        std::string body;
        return o.ReadAll(body) ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError();
    });
    const bool ended = reading.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    server.Stop();  // ends the drip, so a reader that hung comes back
    EXPECT_TRUE(ended);
    EXPECT_EQ(reading.get(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
}

TEST(Inet, SilentServerTimesOutCooperatively) {
    HttpServer server;
    HttpReply reply;
    reply.silent = true;
    server.Serve("/silent", reply);
    Open o(server, "GET", "/silent");
    DWORD ms = 1000;
    ASSERT_TRUE(InternetSetOptionA(o.request, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(Inet, DeadlineBoundsASlowBody) {
    HttpServer server;
    HttpReply reply;
    reply.generatedSize = 1 << 20;
    reply.bytesPerSecond = 20000;
    server.Serve("/slow", reply);
    Open o(server, "GET", "/slow");
    DWORD ms = 800;
    ASSERT_TRUE(InternetSetOptionA(o.session, INTERNET_OPTION_REQUEST_DEADLINE, &ms, sizeof ms));
    // Options of the session reach requests opened after them only.
    Open later(server, "GET", "/slow");
    ASSERT_TRUE(InternetSetOptionA(later.request, INTERNET_OPTION_REQUEST_DEADLINE, &ms, sizeof ms));
    ASSERT_TRUE(HttpSendRequestA(later.request, nullptr, 0, nullptr, 0));
    std::string body;
    EXPECT_FALSE(later.ReadAll(body));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_LT(body.size(), reply.generatedSize);
}

TEST(Inet, UnreachablePortFailsTheSend) {
    int port;
    {
        HttpServer gone;
        port = gone.port();
    }
    HINTERNET s = InternetOpenA("a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET c = InternetConnectA(s, "127.0.0.1", static_cast<INTERNET_PORT>(port), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestA(c, "GET", "/", "HTTP/1.0", nullptr, nullptr, 0, 0);
    EXPECT_FALSE(HttpSendRequestA(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    DWORD got = 1;
    char b[4];
    EXPECT_FALSE(InternetReadFile(s, b, 4, &got));  // a session is no request
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
    InternetCloseHandle(r);
    InternetCloseHandle(c);
    InternetCloseHandle(s);
    EXPECT_FALSE(InternetCloseHandle(s));
}

TEST(Inet, ProxyListsAreParsedAndMalformedOnesRefused) {
    struct Case {
        const char* list;
        bool ok;
    } cases[] = {
        {"http=http://proxy.local:8080", true},
        {"https=http://proxy.local:8080", true},
        {"socks=proxy.local:1080", true},
        {"proxy.local:3128", true},
        {"http=http://:8080", false},
        {"http=http://proxy.local:80x", false},
        {"", false},
    };
    for (auto& c : cases) {
        HINTERNET s = InternetOpenA("a", INTERNET_OPEN_TYPE_PROXY, c.list, nullptr, 0);
        EXPECT_EQ(s != nullptr, c.ok) << c.list;
        if (s) InternetCloseHandle(s);
    }
}

TEST(Inet, ExplicitProxyIsUsedForItsSchemeOnly) {
    // The "proxy" here is the test server itself, which records the absolute-form target.
    HttpServer proxy;
    proxy.Fallback([](const HttpRequest&) {
        HttpReply r;
        r.body = "via proxy";
        return r;
    });
    HttpServer origin;
    origin.Fallback([](const HttpRequest&) {
        HttpReply r;
        r.body = "direct";
        return r;
    });
    std::string list = "http=http://" + proxy.hostPort();
    Open o(origin, "GET", "/x", 0, INTERNET_OPEN_TYPE_PROXY, list.c_str());
    ASSERT_TRUE(InternetSetOptionA(o.connection, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>("user"), 5));
    // The option on the connection reaches requests opened from it afterwards.
    HINTERNET r2 = HttpOpenRequestA(o.connection, "GET", "/y", "HTTP/1.0", nullptr, nullptr, 0, 0);
    ASSERT_TRUE(InternetSetOptionA(r2, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>("secret"), 7));
    ASSERT_TRUE(HttpSendRequestA(r2, nullptr, 0, nullptr, 0));
    InternetCloseHandle(r2);
    auto seen = proxy.requests("/y");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, origin.url("/y"));
    EXPECT_EQ(seen[0].header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");  // user:secret
    EXPECT_EQ(origin.requests().size(), 0u);

    // An https-only list leaves http requests direct.
    std::string httpsOnly = "https=http://" + proxy.hostPort();
    Open d(origin, "GET", "/z", 0, INTERNET_OPEN_TYPE_PROXY, httpsOnly.c_str());
    ASSERT_TRUE(HttpSendRequestA(d.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(origin.count("/z"), 1u);
    EXPECT_EQ(proxy.count("/z"), 0u);
}

TEST(Inet, PreconfiguredSessionsFollowTheProxyEnvironmentAndDirectOnesIgnoreIt) {
    HttpServer proxy;
    proxy.Fallback([](const HttpRequest&) { return HttpReply{}; });
    HttpServer origin;
    origin.Fallback([](const HttpRequest&) { return HttpReply{}; });
    testsupport::ScopedEnv env("http_proxy", proxy.url(""));
    testsupport::ScopedEnv noProxy("no_proxy", "");
    testsupport::ScopedEnv noProxy2("NO_PROXY", "");
    {
        Open o(origin, "GET", "/env", 0, INTERNET_OPEN_TYPE_PRECONFIG);
        ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    }
    {
        Open o(origin, "GET", "/direct", 0, INTERNET_OPEN_TYPE_DIRECT);
        ASSERT_TRUE(HttpSendRequestA(o.request, nullptr, 0, nullptr, 0));
    }
    EXPECT_EQ(proxy.count("/env"), 1u);
    EXPECT_EQ(origin.count("/direct"), 1u);
    EXPECT_EQ(proxy.count("/direct"), 0u);
}
