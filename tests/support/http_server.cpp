#include "support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool SendAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace

std::string HttpRequest::header(const std::string& name) const {
    for (auto& [k, v] : headers)
        if (EqualNoCase(k, name)) return v;
    return {};
}

bool HttpRequest::has_header(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(), [&](auto& h) { return EqualNoCase(h.first, name); });
}

std::string ChunkedHead() { return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"; }

std::vector<RawReply> BrokenReplies() {
    return {
        {"/chunk-cut", ChunkedHead() + "3E8\r\n" + std::string(500, 'x')},
        {"/chunk-size-no-number", ChunkedHead() + "zz\r\nhello\r\n0\r\n\r\n"},
        {"/chunk-size-huge", ChunkedHead() + "FFFFFFFFFFFFFFFF\r\nhello\r\n0\r\n\r\n"},
        {"/two-lengths", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\nContent-Length: 500\r\n\r\nhello"},
    };
}

std::string PatternBytes(std::uint64_t from, std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = PatternByte(from + i);
    return s;
}

std::int64_t RangeStart(const HttpRequest& req) {
    std::string r = req.header("Range");
    if (r.rfind("bytes=", 0) != 0) return -1;
    std::string n = r.substr(6, r.find('-') - 6);
    if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoll(n);
}

namespace {
// Status and Content-Range for a "bytes=N-" request of a body of `size` bytes; gives the offset.
std::uint64_t ApplyRange(const HttpRequest& req, std::uint64_t size, HttpReply& reply) {
    std::int64_t start = RangeStart(req);
    if (start < 0) return 0;
    if (static_cast<std::uint64_t>(start) >= size) {
        reply.status = 416;
        reply.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
        reply.contentType.clear();
        return size;
    }
    reply.status = 206;
    reply.headers.push_back({"Content-Range", "bytes " + std::to_string(start) + "-" + std::to_string(size - 1) +
                                                   "/" + std::to_string(size)});
    return static_cast<std::uint64_t>(start);
}
}  // namespace

HttpReply RangedReply(const HttpRequest& req, const std::string& content) {
    HttpReply reply;
    std::uint64_t from = ApplyRange(req, content.size(), reply);
    reply.body = content.substr(std::min<std::size_t>(from, content.size()));
    return reply;
}

HttpReply RangedGeneratedReply(const HttpRequest& req, std::uint64_t size) {
    HttpReply reply;
    std::uint64_t from = ApplyRange(req, size, reply);
    reply.generatedFrom = from;
    reply.generatedSize = size - from;
    return reply;
}

HttpServer::HttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || ::pipe2(wakeFd_, O_CLOEXEC) != 0) throw std::runtime_error("http server: socket");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 64) != 0)
        throw std::runtime_error("http server: bind");
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

HttpServer::~HttpServer() {
    Stop();
    ::close(listenFd_);
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
}

void HttpServer::Stop() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && !acceptThread_.joinable() && workers_.empty()) return;
        stopping_ = true;
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    char c = 0;
    (void)!::write(wakeFd_[1], &c, 1);
    if (acceptThread_.joinable()) acceptThread_.join();
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& t : workers) t.join();
}

std::string HttpServer::url(const std::string& path) const { return "http://" + hostPort() + path; }
std::string HttpServer::hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

void HttpServer::Serve(const std::string& path, HttpReply reply) {
    Handle(path, [reply](const HttpRequest&) { return reply; });
}

void HttpServer::Handle(const std::string& path, HttpHandler handler) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(handler);
}

void HttpServer::Fallback(HttpHandler handler) {
    std::lock_guard lock(mutex_);
    fallback_ = std::move(handler);
}

std::vector<HttpRequest> HttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<HttpRequest> HttpServer::requests(const std::string& path) const {
    std::lock_guard lock(mutex_);
    std::vector<HttpRequest> out;
    for (auto& r : requests_)
        if (r.path == path) out.push_back(r);
    return out;
}

std::size_t HttpServer::count(const std::string& path) const { return requests(path).size(); }

void HttpServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

bool HttpServer::WaitForRequests(std::size_t n, const std::string& path, std::chrono::milliseconds bound) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] {
        if (path.empty()) return requests_.size() >= n;
        return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                      [&](auto& r) { return r.path == path; })) >= n;
    });
}

bool HttpServer::Pause(std::chrono::milliseconds ms) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, ms, [&] { return stopping_; });
}

void HttpServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        openFds_.push_back(fd);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

void HttpServer::Serve(int fd) {
    auto finish = [&] {
        std::lock_guard lock(mutex_);
        std::erase(openFds_, fd);
        ::close(fd);
    };
    std::string in;
    char buf[65536];
    std::size_t headerEnd;
    while ((headerEnd = in.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return finish();
        in.append(buf, static_cast<std::size_t>(n));
    }
    HttpRequest req;
    std::size_t lineEnd = in.find("\r\n");
    std::string requestLine = in.substr(0, lineEnd);
    auto sp1 = requestLine.find(' '), sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return finish();
    req.method = requestLine.substr(0, sp1);
    req.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    req.version = requestLine.substr(sp2 + 1);
    std::string target = req.target;
    if (target.rfind("http://", 0) == 0) {  // absolute form, as a proxy forwards it
        auto slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    auto q = target.find('?');
    req.path = target.substr(0, q);
    if (q != std::string::npos) req.query = target.substr(q + 1);
    std::size_t pos = lineEnd + 2;
    while (pos < headerEnd) {
        std::size_t e = in.find("\r\n", pos);
        std::string line = in.substr(pos, e - pos);
        pos = e + 2;
        auto colon = line.find(':');
        if (colon != std::string::npos) req.headers.push_back({Trim(line.substr(0, colon)), Trim(line.substr(colon + 1))});
    }
    std::size_t length = 0;
    if (req.has_header("Content-Length")) length = std::stoull(req.header("Content-Length"));
    req.body = in.substr(headerEnd + 4);
    while (req.body.size() < length) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        req.body.append(buf, static_cast<std::size_t>(n));
    }

    HttpHandler handler;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(req);
        auto it = routes_.find(req.path);
        if (it != routes_.end()) handler = it->second;
        else handler = fallback_;
    }
    changed_.notify_all();
    HttpReply reply;
    if (handler) {
        reply = handler(req);
    } else {
        reply.status = 404;
        reply.contentType = "text/plain";
        reply.body = "not found";
    }

    if (reply.silent) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_; });
        lock.unlock();
        return finish();
    }
    if (reply.delayMs > 0 && !Pause(std::chrono::milliseconds(reply.delayMs))) return finish();
    if (!reply.raw.empty()) {
        if (SendAll(fd, reply.raw.data(), reply.raw.size())) ::shutdown(fd, SHUT_WR);
        return finish();
    }

    const bool generated = reply.body.empty() && reply.generatedSize > 0;
    const std::uint64_t size = generated ? reply.generatedSize : reply.body.size();
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
    if (!reply.contentType.empty()) head += "Content-Type: " + reply.contentType + "\r\n";
    if (reply.sendContentLength)
        head += "Content-Length: " +
                std::to_string(reply.announcedLength >= 0 ? static_cast<std::uint64_t>(reply.announcedLength) : size) +
                "\r\n";
    for (auto& [k, v] : reply.headers) head += k + ": " + v + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(fd, head.data(), head.size())) return finish();

    const bool isHead = req.method == "HEAD";
    std::uint64_t limit = std::min(size, reply.cutAfter);
    std::uint64_t sent = 0;
    auto started = std::chrono::steady_clock::now();
    std::string chunk;
    while (!isHead && sent < limit) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit - sent, 256 * 1024));
        if (reply.bytesPerSecond > 0) {
            n = static_cast<std::size_t>(std::min<std::uint64_t>(n, std::max<std::uint64_t>(reply.bytesPerSecond / 20, 1)));
            auto due = started + std::chrono::microseconds(sent * 1000000 / reply.bytesPerSecond);
            auto now = std::chrono::steady_clock::now();
            if (due > now && !Pause(std::chrono::duration_cast<std::chrono::milliseconds>(due - now) +
                                    std::chrono::milliseconds(1)))
                break;
        }
        const char* data;
        if (generated) {
            chunk.resize(n);
            for (std::size_t i = 0; i < n; ++i) chunk[i] = PatternByte(reply.generatedFrom + sent + i);
            data = chunk.data();
        } else {
            data = reply.body.data() + sent;
        }
        if (!SendAll(fd, data, n)) break;
        sent += n;
    }
    // A cut body ends with an orderly close, so the client sees an early end and no error.
    if (sent < size && !isHead) ::shutdown(fd, SHUT_WR);
    finish();
}

}  // namespace testsupport
