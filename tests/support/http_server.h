// A small HTTP/1.x server on 127.0.0.1 for tests. Every reply is exactly what the test asks for
// (status, headers, ranges or not, a body cut short, a slow or silent answer), and every request
// received is recorded. One thread per connection; each connection serves one request.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;    // without the query
    std::string query;   // after the "?", empty when none
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // First value of a header, compared without case; empty when absent.
    std::string header(const std::string& name) const;
    bool has_header(const std::string& name) const;
};

struct HttpReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // extra headers, sent in this order
    std::string contentType = "application/octet-stream";      // empty: no Content-Type header
    std::string body;
    // When > 0 (and body is empty) the body is PatternByte(generatedFrom + i) for i < generatedSize.
    std::uint64_t generatedSize = 0;
    std::uint64_t generatedFrom = 0;
    bool sendContentLength = true;
    std::int64_t announcedLength = -1;  // Content-Length to send instead of the real size
    std::uint64_t cutAfter = std::numeric_limits<std::uint64_t>::max();  // close after this many body bytes
    int delayMs = 0;                    // pause before the status line
    bool silent = false;                // read the request and never answer (until the server stops)
    std::uint64_t bytesPerSecond = 0;   // pace the body
    std::string raw;                    // when not empty: sent as it stands in place of the reply, then closed
};

using HttpHandler = std::function<HttpReply(const HttpRequest&)>;

// The head of a 200 reply whose body is chunked, for replies written byte for byte.
std::string ChunkedHead();
// Replies written byte for byte whose transfer ends in an error, each under a path of its own:
// a chunked body cut in a chunk, chunk sizes that are no number or past any length, and two
// Content-Length headers that disagree.
struct RawReply {
    std::string path;
    std::string raw;
};
std::vector<RawReply> BrokenReplies();

// Deterministic content for large bodies: a file written from a served body can be checked byte
// by byte without keeping it in memory.
inline char PatternByte(std::uint64_t i) {
    return static_cast<char>(((i * 2654435761u) >> 11) ^ (i >> 17));
}
std::string PatternBytes(std::uint64_t from, std::size_t n);

// A reply to a GET of `content` that honours a "Range: bytes=N-" header as a server that supports
// ranges would: 206 from N, 416 with "bytes */size" when N is at or after the end, 200 otherwise.
HttpReply RangedReply(const HttpRequest& req, const std::string& content);
// The same for a generated body of `size` bytes.
HttpReply RangedGeneratedReply(const HttpRequest& req, std::uint64_t size);
// The start offset of a "bytes=N-" range, or -1 when there is none.
std::int64_t RangeStart(const HttpRequest& req);

// Handlers run on the server's threads until it is destroyed, also while a client it no longer
// waits for is still reading (a player streaming on): what a handler refers to is declared before
// the server, so that it outlives it.
class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + path.
    std::string url(const std::string& path = "/") const;
    // "127.0.0.1:<port>".
    std::string hostPort() const;

    // The same reply to every request of this path (query ignored); replaces an earlier route.
    void Serve(const std::string& path, HttpReply reply);
    void Handle(const std::string& path, HttpHandler handler);
    // Requests of paths without a route get 404 unless a fallback is set.
    void Fallback(HttpHandler handler);

    std::vector<HttpRequest> requests() const;
    std::vector<HttpRequest> requests(const std::string& path) const;
    std::size_t count(const std::string& path) const;
    void ClearRequests();
    // Waits until at least n requests of the path (any path when empty) were received.
    bool WaitForRequests(std::size_t n, const std::string& path = "",
                         std::chrono::milliseconds bound = std::chrono::seconds(30)) const;

    // Ends silent and delayed replies and closes every connection.
    void Stop();

private:
    void AcceptLoop();
    void Serve(int fd);
    bool Pause(std::chrono::milliseconds ms);  // false when the server is stopping

    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    int port_ = 0;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::map<std::string, HttpHandler> routes_;
    HttpHandler fallback_;
    std::vector<HttpRequest> requests_;
    std::vector<std::thread> workers_;
    std::vector<int> openFds_;
};

}  // namespace testsupport
