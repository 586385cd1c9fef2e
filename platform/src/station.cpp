#include "platform/station.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/runtime_dir.h"
#include "proc_info.h"
#include "wide_text.h"

namespace platform::station {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kFileMagic = 0x3154534D;  // "MST1"
constexpr std::uint32_t kWireMagic = 0x3157534D;  // "MSW1"
constexpr std::uint32_t kMaxCopyData = 64u << 20;
constexpr int kMaxBusyHandlers = 32;
constexpr int kHeaderReadMs = 2000;

enum Kind : std::uint32_t { kSend = 1, kPost = 2, kCopyData = 3 };
enum Status : std::uint32_t { kDelivered = 0, kNoWindow = 1, kRefused = 2 };

// ---- byte packing shared by the announcement files and the socket messages ----

class Writer {
public:
    template <typename T>
    void put(T v) {
        buf_.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void str(const std::wstring& s) {
        std::string u = detail::ToUtf8(s);
        put<std::uint32_t>(static_cast<std::uint32_t>(u.size()));
        buf_ += u;
    }
    void bytes(const void* p, size_t n) { buf_.append(static_cast<const char*>(p), n); }
    const std::string& data() const { return buf_; }

private:
    std::string buf_;
};

class Reader {
public:
    explicit Reader(std::string_view d) : d_(d) {}
    template <typename T>
    bool get(T* v) {
        if (d_.size() - pos_ < sizeof(T)) return false;
        std::memcpy(v, d_.data() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return true;
    }
    bool str(std::wstring* s) {
        std::uint32_t n;
        if (!get(&n) || d_.size() - pos_ < n) return false;
        *s = detail::FromUtf8(d_.substr(pos_, n));
        pos_ += n;
        return true;
    }

private:
    std::string_view d_;
    size_t pos_ = 0;
};

// ---- this process's announcements ----

struct Announced {
    WindowEntry entry;
    std::uint64_t stamp;
};

struct State {
    std::mutex mu;
    std::map<std::uint32_t, Announced> windows;
    fs::path dir;          // station folder the listener serves
    int listenFd = -1;
    std::uint64_t lastStamp = 0;
    std::atomic<DeliverFn> hook{nullptr};
    std::atomic<int> busy{0};
};

State& S() {
    // Never destroyed: the listener and its handlers may run while the process exits.
    static State* s = new State;
    return *s;
}

fs::path StationDir() { return RuntimeSubdir("station"); }
fs::path EntryFile(const fs::path& dir, std::uint32_t pid) { return dir / (std::to_string(pid) + ".win"); }
fs::path SocketFile(const fs::path& dir, std::uint32_t pid) { return dir / (std::to_string(pid) + ".sock"); }

std::uint64_t NowStamp(State& s) {
    auto ns = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
    s.lastStamp = std::max(ns, s.lastStamp + 1);
    return s.lastStamp;
}

std::string Serialize(std::uint32_t pid, const std::map<std::uint32_t, Announced>& windows) {
    Writer w;
    w.put(kFileMagic);
    w.put(pid);
    w.put(detail::ProcessStartTime(static_cast<pid_t>(pid)));
    w.put(static_cast<std::uint32_t>(windows.size()));
    for (const auto& [serial, a] : windows) {
        w.put(serial);
        w.put(a.stamp);
        w.str(a.entry.className);
        w.str(a.entry.title);
        w.put(static_cast<std::uint32_t>(a.entry.props.size()));
        for (const auto& [name, value] : a.entry.props) {
            w.str(name);
            w.put(reinterpret_cast<std::uint64_t>(value));
        }
    }
    return w.data();
}

struct FileContent {
    std::uint32_t pid = 0;
    std::uint64_t startTime = 0;
    std::vector<std::pair<std::uint64_t, WindowEntry>> windows;  // stamp, entry
};

bool Parse(const std::string& data, FileContent* out) {
    Reader r(data);
    std::uint32_t magic, count;
    if (!r.get(&magic) || magic != kFileMagic || !r.get(&out->pid) || !r.get(&out->startTime) || !r.get(&count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t serial, nprops;
        std::uint64_t stamp;
        WindowEntry e;
        if (!r.get(&serial) || !r.get(&stamp) || !r.str(&e.className) || !r.str(&e.title) || !r.get(&nprops))
            return false;
        for (std::uint32_t k = 0; k < nprops; ++k) {
            std::wstring name;
            std::uint64_t value;
            if (!r.str(&name) || !r.get(&value)) return false;
            e.props.emplace_back(name, reinterpret_cast<HANDLE>(value));
        }
        e.hwnd = MakeWindowHandle(out->pid, serial);
        out->windows.emplace_back(stamp, std::move(e));
    }
    return true;
}

bool WriteAtomically(const fs::path& target, const std::string& data) {
    fs::path tmp = target.parent_path() / ("." + target.filename().string() + ".tmp");
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool ok = ::close(fd) == 0 && done == data.size();
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

std::string ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Reads one process's announcements; prunes them when that process is gone.
bool ReadProcess(const fs::path& dir, std::uint32_t pid, FileContent* out) {
    fs::path file = EntryFile(dir, pid);
    std::string data = ReadWhole(file);
    if (data.empty()) return false;
    if (!Parse(data, out) || out->pid != pid || !detail::ProcessRunning(static_cast<pid_t>(pid), out->startTime)) {
        ::unlink(file.c_str());
        ::unlink(SocketFile(dir, pid).c_str());
        return false;
    }
    return true;
}

// ---- sockets ----

// sun_path holds about a hundred bytes; a deep runtime folder is reached through its descriptor.
class SocketAddress {
public:
    explicit SocketAddress(const fs::path& p) {
        std::memset(&addr_, 0, sizeof addr_);
        addr_.sun_family = AF_UNIX;
        std::string s = p.string();
        if (s.size() >= sizeof addr_.sun_path) {
            dirFd_ = ::open(p.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            s = "/proc/self/fd/" + std::to_string(dirFd_) + "/" + p.filename().string();
        }
        ok_ = s.size() < sizeof addr_.sun_path;
        if (ok_) std::memcpy(addr_.sun_path, s.c_str(), s.size() + 1);
    }
    ~SocketAddress() {
        if (dirFd_ >= 0) ::close(dirFd_);
    }
    bool ok() const { return ok_; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&addr_); }
    socklen_t size() const { return sizeof addr_; }

private:
    sockaddr_un addr_;
    int dirFd_ = -1;
    bool ok_ = false;
};

bool PeerIsUs(int fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::geteuid();
}

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// Full transfers on a non-blocking socket within a deadline (a null deadline waits forever).
bool SendAll(int fd, const char* p, size_t n, const Clock::time_point* deadline) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) return false;
        pollfd pfd{fd, POLLOUT, 0};
        int ms = deadline ? RemainingMs(*deadline) : -1;
        if (deadline && ms == 0) return false;
        if (::poll(&pfd, 1, ms) <= 0 && errno != EINTR) return false;
    }
    return true;
}

bool RecvAll(int fd, char* p, size_t n, const Clock::time_point* deadline) {
    while (n > 0) {
        ssize_t r = ::recv(fd, p, n, MSG_DONTWAIT);
        if (r > 0) {
            p += r;
            n -= static_cast<size_t>(r);
            continue;
        }
        if (r == 0) return false;  // the peer went away
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        pollfd pfd{fd, POLLIN, 0};
        int ms = deadline ? RemainingMs(*deadline) : -1;
        if (deadline && ms == 0) return false;
        int rc = ::poll(&pfd, 1, ms);
        if (rc < 0 && errno != EINTR) return false;
        if (rc == 0) return false;
    }
    return true;
}

struct Request {
    std::uint32_t magic = kWireMagic;
    std::uint32_t kind = 0;
    std::uint64_t target = 0;
    std::uint32_t msg = 0;
    std::uint32_t cbData = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    std::uint64_t dwData = 0;
};

struct Reply {
    std::uint32_t magic = kWireMagic;
    std::uint32_t status = kRefused;
    std::int64_t result = 0;
};

bool OwnsWindow(HWND h) {
    auto& s = S();
    std::lock_guard lock(s.mu);
    return WindowHandlePid(h) == static_cast<std::uint32_t>(::getpid()) && s.windows.count(WindowHandleSerial(h));
}

Reply Deliver(const Request& rq, const std::string& payload) {
    Reply rp;
    HWND target = reinterpret_cast<HWND>(rq.target);
    DeliverFn hook = S().hook.load();
    if (!OwnsWindow(target)) {
        rp.status = kNoWindow;
    } else if (hook) {
        rp.status = kDelivered;
        if (rq.kind == kCopyData) {
            COPYDATASTRUCT cds{static_cast<ULONG_PTR>(rq.dwData), rq.cbData,
                               rq.cbData ? const_cast<char*>(payload.data()) : nullptr};
            rp.result = hook(target, WM_COPYDATA, static_cast<WPARAM>(rq.wParam), reinterpret_cast<LPARAM>(&cds), true);
        } else {
            rp.result = hook(target, rq.msg, static_cast<WPARAM>(rq.wParam), static_cast<LPARAM>(rq.lParam),
                             rq.kind == kSend);
        }
    }
    return rp;
}

void Answer(int fd, const Request& rq, const std::string& payload) {
    Reply rp = Deliver(rq, payload);
    auto deadline = Clock::now() + std::chrono::milliseconds(kHeaderReadMs);
    SendAll(fd, reinterpret_cast<const char*>(&rp), sizeof rp, &deadline);
    ::close(fd);
}

void Serve(int fd) {
    if (!PeerIsUs(fd)) {
        ::close(fd);
        return;
    }
    Request rq;
    std::string payload;
    auto deadline = Clock::now() + std::chrono::milliseconds(kHeaderReadMs);
    bool ok = RecvAll(fd, reinterpret_cast<char*>(&rq), sizeof rq, &deadline) && rq.magic == kWireMagic &&
              (rq.kind == kSend || rq.kind == kPost || rq.kind == kCopyData) && rq.cbData <= kMaxCopyData;
    if (ok && rq.cbData) {
        payload.resize(rq.cbData);
        auto dataDeadline = Clock::now() + std::chrono::seconds(10);
        ok = RecvAll(fd, payload.data(), payload.size(), &dataDeadline);
    }
    if (!ok) {
        ::close(fd);
        return;
    }
    if (rq.kind == kPost) {
        // Posts are queued by the hook without waiting, so they are answered here, in arrival order.
        Answer(fd, rq, payload);
        return;
    }
    // A send may wait long on its window; it gets its own thread so that other messages still pass.
    auto& s = S();
    if (s.busy.fetch_add(1) >= kMaxBusyHandlers) {
        s.busy.fetch_sub(1);
        ::close(fd);
        return;
    }
    std::thread([fd, rq, payload = std::move(payload)] {
        Answer(fd, rq, payload);
        S().busy.fetch_sub(1);
    }).detach();
}

void ListenLoop(int listenFd) {
    for (;;) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE || errno == ENOBUFS ||
                errno == ENOMEM) {
                if (errno != EINTR && errno != ECONNABORTED) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            break;  // closed: the station moved to another folder
        }
        Serve(fd);
    }
    ::close(listenFd);
}

// Called with the state locked: listens in `dir` (moving from an earlier folder if needed).
bool EnsureListener(State& s, const fs::path& dir) {
    if (s.listenFd >= 0 && s.dir == dir) return true;
    if (s.listenFd >= 0) {
        ::shutdown(s.listenFd, SHUT_RDWR);  // ends the old loop, which closes its socket
        ::unlink(EntryFile(s.dir, ::getpid()).c_str());
        ::unlink(SocketFile(s.dir, ::getpid()).c_str());
        s.listenFd = -1;
    }
    fs::path path = SocketFile(dir, ::getpid());
    SocketAddress addr(path);
    if (!addr.ok()) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::unlink(path.c_str());  // left by an earlier process with our id
    if (::bind(fd, addr.get(), addr.size()) != 0 || ::listen(fd, 64) != 0) {
        ::close(fd);
        return false;
    }
    ::chmod(path.c_str(), 0600);
    s.listenFd = fd;
    s.dir = dir;
    std::thread(ListenLoop, fd).detach();
    return true;
}

// Called with the state locked.
void Rewrite(State& s) {
    if (s.dir.empty()) return;
    auto pid = static_cast<std::uint32_t>(::getpid());
    if (s.windows.empty())
        ::unlink(EntryFile(s.dir, pid).c_str());
    else
        WriteAtomically(EntryFile(s.dir, pid), Serialize(pid, s.windows));
}

// Connects to the process owning `target` and exchanges one request for its reply.
bool Exchange(HWND target, const Request& rq, const void* payload, DWORD timeoutMs, Reply* rp) {
    if (!IsAlive(target)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    fs::path dir = StationDir();
    SocketAddress addr(SocketFile(dir, WindowHandlePid(target)));
    if (!addr.ok()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    Clock::time_point deadline =
        timeoutMs == 0xFFFFFFFFu ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    const Clock::time_point* dl = timeoutMs == 0xFFFFFFFFu ? nullptr : &deadline;
    int fd = -1;
    for (;;) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return false;
        if (::connect(fd, addr.get(), addr.size()) == 0) break;
        int err = errno;
        ::close(fd);
        fd = -1;
        // A full backlog (EAGAIN) clears up; anything else means nobody listens there.
        if (err != EAGAIN || (dl && RemainingMs(deadline) == 0)) {
            SetLastError(err == EAGAIN ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bool ok = false;
    if (!PeerIsUs(fd)) {
        SetLastError(ERROR_ACCESS_DENIED);
    } else if (SendAll(fd, reinterpret_cast<const char*>(&rq), sizeof rq, dl) &&
               (rq.cbData == 0 || SendAll(fd, static_cast<const char*>(payload), rq.cbData, dl)) &&
               RecvAll(fd, reinterpret_cast<char*>(rp), sizeof *rp, dl) && rp->magic == kWireMagic) {
        ok = rp->status == kDelivered;
        if (!ok) SetLastError(rp->status == kNoWindow ? ERROR_INVALID_WINDOW_HANDLE : ERROR_ACCESS_DENIED);
    } else {
        SetLastError(dl && RemainingMs(deadline) == 0 ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    }
    ::close(fd);
    return ok;
}

}  // namespace

void Publish(const WindowEntry& entry) {
    if (WindowHandlePid(entry.hwnd) != static_cast<std::uint32_t>(::getpid())) return;
    if (entry.title.empty() && entry.props.empty()) {
        Withdraw(entry.hwnd);  // nothing another process could find it by
        return;
    }
    auto& s = S();
    fs::path dir = StationDir();
    std::lock_guard lock(s.mu);
    if (dir.empty() || !EnsureListener(s, dir)) return;
    auto serial = WindowHandleSerial(entry.hwnd);
    auto it = s.windows.find(serial);
    std::uint64_t stamp = it != s.windows.end() ? it->second.stamp : NowStamp(s);
    s.windows[serial] = Announced{entry, stamp};
    Rewrite(s);
}

void Withdraw(HWND hwnd) {
    auto& s = S();
    std::lock_guard lock(s.mu);
    if (WindowHandlePid(hwnd) != static_cast<std::uint32_t>(::getpid())) return;
    if (s.windows.erase(WindowHandleSerial(hwnd))) Rewrite(s);
}

std::vector<WindowEntry> Windows() {
    std::vector<std::pair<std::uint64_t, WindowEntry>> all;
    fs::path dir = StationDir();
    std::error_code ec;
    if (!dir.empty()) {
        for (const auto& f : fs::directory_iterator(dir, ec)) {
            std::string name = f.path().filename().string();
            if (name.size() < 5 || name.compare(name.size() - 4, 4, ".win") != 0 || name[0] == '.') continue;
            std::uint32_t pid = 0;
            try {
                pid = static_cast<std::uint32_t>(std::stoul(name.substr(0, name.size() - 4)));
            } catch (...) {
                continue;
            }
            FileContent c;
            if (ReadProcess(dir, pid, &c))
                for (auto& w : c.windows) all.push_back(std::move(w));
        }
    }
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return reinterpret_cast<std::uint64_t>(a.second.hwnd) < reinterpret_cast<std::uint64_t>(b.second.hwnd);
    });
    std::vector<WindowEntry> out;
    out.reserve(all.size());
    for (auto& w : all) out.push_back(std::move(w.second));
    return out;
}

bool Lookup(HWND hwnd, WindowEntry* out) {
    std::uint32_t pid = WindowHandlePid(hwnd);
    if (pid == 0) return false;
    if (pid == static_cast<std::uint32_t>(::getpid())) {
        auto& s = S();
        std::lock_guard lock(s.mu);
        auto it = s.windows.find(WindowHandleSerial(hwnd));
        if (it != s.windows.end()) {
            if (out) *out = it->second.entry;
            return true;
        }
        // Not ours, yet of our process: a module with its own copy of this layer (a plug-in and
        // its host) made it, and announced it like any other process would.
    }
    fs::path dir = StationDir();
    FileContent c;
    if (dir.empty() || !ReadProcess(dir, pid, &c)) return false;
    for (auto& w : c.windows) {
        if (w.second.hwnd == hwnd) {
            if (out) *out = std::move(w.second);
            return true;
        }
    }
    return false;
}

bool IsAlive(HWND hwnd) { return Lookup(hwnd, nullptr); }

bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result) {
    if (data.cbData > kMaxCopyData || (data.cbData && !data.lpData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Request rq;
    rq.kind = kCopyData;
    rq.target = reinterpret_cast<std::uint64_t>(target);
    rq.msg = WM_COPYDATA;
    rq.wParam = reinterpret_cast<std::uint64_t>(from);
    rq.dwData = data.dwData;
    rq.cbData = data.cbData;
    Reply rp;
    if (!Exchange(target, rq, data.lpData, timeoutMs, &rp)) return false;
    if (result) *result = static_cast<LRESULT>(rp.result);
    return true;
}

bool SendRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result) {
    Request rq;
    rq.kind = kSend;
    rq.target = reinterpret_cast<std::uint64_t>(target);
    rq.msg = msg;
    rq.wParam = wParam;
    rq.lParam = lParam;
    Reply rp;
    if (!Exchange(target, rq, nullptr, timeoutMs, &rp)) return false;
    if (result) *result = static_cast<LRESULT>(rp.result);
    return true;
}

bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    Request rq;
    rq.kind = kPost;
    rq.target = reinterpret_cast<std::uint64_t>(target);
    rq.msg = msg;
    rq.wParam = wParam;
    rq.lParam = lParam;
    Reply rp;
    // Queuing is quick on a healthy receiver; the bound only guards against a stuck one.
    return Exchange(target, rq, nullptr, 5000, &rp);
}

void SetDeliveryHook(DeliverFn fn) { S().hook.store(fn); }

}  // namespace platform::station
