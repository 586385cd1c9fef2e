#include "platform/windows/station.h"

#include <fcntl.h>
#include <pthread.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

#include "platform/kernel/runtime_dir.h"
#include "kernel/proc_info.h"
#include "text/wide_text.h"

namespace platform::station {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kFileMagic = 0x3154534D;  // "MST1"
constexpr std::uint32_t kWireMagic = 0x3157534D;  // "MSW1"
// Sends being handed to windows at once; more wait their turn in arrival order.
constexpr int kMaxHandlers = 32;
// Connections taken from the listen queue and not yet answered. Beyond this the station stops
// taking more: they wait in the kernel's queue, and senders whose connect finds that full retry.
constexpr int kMaxConnections = 256;
constexpr int kListenBacklog = 64;
constexpr auto kHeaderWait = std::chrono::seconds(2);
constexpr auto kDataWait = std::chrono::seconds(10);
constexpr auto kReplyWait = std::chrono::seconds(2);
// What the messages still being received may hold together: one of the largest and as much
// again. Past it, the one that went longest without sending anything makes room.
constexpr size_t kMaxHeldBytes = 2 * static_cast<size_t>(kMaxCopyDataBytes);
constexpr size_t kFirstPayloadBytes = 64u << 10;

enum Kind : std::uint32_t { kSend = 1, kPost = 2, kCopyData = 3, kSetText = 4 };
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
    std::atomic<int> open{0};  // served connections not yet closed
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

// The size a request of its kind may carry after its header.
bool SizeFits(const Request& rq) {
    switch (rq.kind) {
    case kSend:
    case kPost: return rq.cbData == 0;
    case kCopyData: return rq.cbData <= kMaxCopyDataBytes;
    case kSetText: return rq.cbData <= kMaxSetTextBytes;
    default: return false;
    }
}

// Whether the request may reach its window at all.
Status Admit(const Request& rq) {
    if (!OwnsWindow(reinterpret_cast<HWND>(rq.target))) return kNoWindow;
    // Numbers from another process are never taken for pointers of this one.
    if (!S().hook.load() || ((rq.kind == kSend || rq.kind == kPost) && CarriesPointers(rq.msg))) return kRefused;
    return kDelivered;
}

LRESULT Deliver(const Request& rq, const std::string& payload) {
    HWND target = reinterpret_cast<HWND>(rq.target);
    DeliverFn hook = S().hook.load();
    if (!hook) return 0;
    if (rq.kind == kCopyData) {
        COPYDATASTRUCT cds{static_cast<ULONG_PTR>(rq.dwData), rq.cbData,
                           rq.cbData ? const_cast<char*>(payload.data()) : nullptr};
        return hook(target, WM_COPYDATA, static_cast<WPARAM>(rq.wParam), reinterpret_cast<LPARAM>(&cds), true);
    }
    if (rq.kind == kSetText) {
        const std::wstring text = detail::FromUtf8(payload);  // our own copy, terminated
        return hook(target, WM_SETTEXT, static_cast<WPARAM>(rq.wParam), reinterpret_cast<LPARAM>(text.c_str()), true);
    }
    return hook(target, rq.msg, static_cast<WPARAM>(rq.wParam), static_cast<LPARAM>(rq.lParam), rq.kind == kSend);
}

void Finish(int fd) {
    ::close(fd);
    S().open.fetch_sub(1);
}

void SendReply(int fd, const Reply& rp) {
    auto deadline = Clock::now() + kReplyWait;
    SendAll(fd, reinterpret_cast<const char*>(&rp), sizeof rp, &deadline);
}

void Answer(int fd, const Request& rq, const std::string& payload) {
    Reply rp;
    rp.status = Admit(rq);
    if (rq.kind == kPost) {
        // A post is answered before it is queued: the message may end this process (WM_CLOSE)
        // before a later answer could leave. It is queued right after, before the next is read.
        SendReply(fd, rp);
        Finish(fd);
        if (rp.status == kDelivered) Deliver(rq, payload);
        return;
    }
    if (rp.status == kDelivered) rp.result = Deliver(rq, payload);
    SendReply(fd, rp);
    Finish(fd);
}

// ---- sends wait their turn for a handler thread ----

struct Job {
    int fd;
    Request rq;
    std::string payload;
};

struct Handlers {
    std::mutex mu;
    std::deque<Job> waiting;
    int running = 0;
};

Handlers& H() {
    static Handlers* h = new Handlers;  // never destroyed, like the state
    return *h;
}

// A send may wait long on its window, so each runs on a handler of its own; a handler that is
// done takes the next waiting one.
void RunJobs(Job job) {
    for (;;) {
        Answer(job.fd, job.rq, job.payload);
        auto& h = H();
        std::lock_guard lock(h.mu);
        if (h.waiting.empty()) {
            --h.running;
            return;
        }
        job = std::move(h.waiting.front());
        h.waiting.pop_front();
    }
}

void Submit(Job job) {
    auto& h = H();
    {
        std::lock_guard lock(h.mu);
        if (h.running >= kMaxHandlers) {
            h.waiting.push_back(std::move(job));
            return;
        }
        ++h.running;
    }
    try {
        std::thread(RunJobs, std::move(job)).detach();
    } catch (const std::system_error&) {
        {
            std::lock_guard lock(H().mu);
            --H().running;
        }
        Answer(job.fd, job.rq, job.payload);  // no thread to be had: served here, late but served
    }
}

// ---- the listener: one poll loop over every connection still being read ----

struct Incoming {
    int fd;
    Clock::time_point deadline;
    Request rq;
    size_t headerBytes = 0;
    std::string payload;
    size_t charged = 0;            // what its payload counts against kMaxHeldBytes
    Clock::time_point lastData{};  // when its header was complete or its payload last grew
    bool gone = false;              // answered or dropped; leaves the list at the end of the round
};

enum class ReadState { kMore, kComplete, kBad, kNoRoom };

// Takes what has arrived without waiting. `held` is what every payload being received holds;
// a payload that would need more than kMaxHeldBytes allows is not grown (kNoRoom).
ReadState ReadSome(Incoming& in, size_t& held) {
    for (;;) {
        ssize_t r;
        if (in.headerBytes < sizeof in.rq) {
            r = ::recv(in.fd, reinterpret_cast<char*>(&in.rq) + in.headerBytes, sizeof in.rq - in.headerBytes,
                       MSG_DONTWAIT);
            if (r > 0) {
                in.headerBytes += static_cast<size_t>(r);
                if (in.headerBytes < sizeof in.rq) continue;
                if (in.rq.magic != kWireMagic || !SizeFits(in.rq)) return ReadState::kBad;
                in.deadline = Clock::now() + kDataWait;
                in.lastData = Clock::now();
                continue;
            }
        } else if (in.payload.size() < in.rq.cbData) {
            char chunk[1 << 16];
            const size_t want = std::min(sizeof chunk, in.rq.cbData - in.payload.size());
            // The buffer grows with what really comes, not with what the header claims.
            if (in.payload.size() + want > in.charged) {
                const size_t grown =
                    std::min<size_t>(in.rq.cbData, std::max({2 * in.charged, in.payload.size() + want, kFirstPayloadBytes}));
                if (held + (grown - in.charged) > kMaxHeldBytes) return ReadState::kNoRoom;
                in.payload.reserve(grown);
                held += grown - in.charged;
                in.charged = grown;
            }
            r = ::recv(in.fd, chunk, want, MSG_DONTWAIT);
            if (r > 0) {
                in.payload.append(chunk, static_cast<size_t>(r));
                in.lastData = Clock::now();
                continue;
            }
        } else {
            return ReadState::kComplete;
        }
        if (r == 0) return ReadState::kBad;  // the sender went away
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReadState::kMore : ReadState::kBad;
    }
}

void Dispatch(Incoming&& in) {
    if (in.rq.kind == kPost) {
        // Posts are queued by the hook without waiting, so they are handled here, in arrival order.
        Answer(in.fd, in.rq, in.payload);
        return;
    }
    Submit(Job{in.fd, in.rq, std::move(in.payload)});
}

// Takes waiting connections while there is room; false once the socket was closed.
bool AcceptSome(int listenFd, std::vector<Incoming>* incoming, bool* backOff) {
    auto& s = S();
    while (s.open.load() < kMaxConnections) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                *backOff = true;  // the connection stays queued until descriptors come back
                return true;
            }
            return false;  // closed: the station moved to another folder
        }
        if (!PeerIsUs(fd)) {
            ::close(fd);
            continue;
        }
        s.open.fetch_add(1);
        incoming->push_back(Incoming{fd, Clock::now() + kHeaderWait, Request{}, 0, {}});
    }
    return true;
}

// The payload that waited longest for its next bytes, other than `self`'s; null when none holds any.
Incoming* StalestHolder(std::vector<Incoming>& incoming, const Incoming& self) {
    Incoming* stalest = nullptr;
    for (auto& in : incoming) {
        if (&in == &self || in.gone || in.charged == 0) continue;
        if (!stalest || in.lastData < stalest->lastData) stalest = &in;
    }
    return stalest;
}

void Uncharge(Incoming& in, size_t& held) {
    held -= in.charged;
    in.charged = 0;
}

void Drop(Incoming& in, size_t& held) {
    Uncharge(in, held);
    std::string().swap(in.payload);
    Finish(in.fd);
    in.gone = true;
}

void ListenLoop(int listenFd) {
    pthread_setname_np(pthread_self(), "mv-station");
    std::vector<Incoming> incoming;
    std::vector<pollfd> fds;
    bool backOff = false;
    size_t held = 0;  // what the payloads being received hold together
    for (;;) {
        auto now = Clock::now();
        // An idle or slow sender loses only its own connection, when its time is up.
        Clock::time_point next = now + std::chrono::seconds(60);
        for (auto it = incoming.begin(); it != incoming.end();) {
            if (it->deadline <= now) {
                Drop(*it, held);
                it = incoming.erase(it);
            } else {
                next = std::min(next, it->deadline);
                ++it;
            }
        }
        // With no room (or no descriptors) the listen socket is left alone and looked at again soon.
        const bool room = !backOff && S().open.load() < kMaxConnections;
        if (!room) next = std::min(next, now + std::chrono::milliseconds(20));
        backOff = false;
        fds.clear();
        fds.push_back(pollfd{listenFd, static_cast<short>(room ? POLLIN : 0), 0});
        for (const auto& in : incoming) fds.push_back(pollfd{in.fd, POLLIN, 0});
        int rc = ::poll(fds.data(), fds.size(), RemainingMs(next) + 1);
        if (rc < 0 && errno != EINTR) break;
        if (rc <= 0) continue;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) break;  // shut: the station moved
        // The connections first: fds[i + 1] belongs to incoming[i] until the list changes.
        for (size_t i = 0; i < incoming.size(); ++i) {
            Incoming& in = incoming[i];
            if (in.gone || !fds[i + 1].revents) continue;
            ReadState state;
            while ((state = ReadSome(in, held)) == ReadState::kNoRoom) {
                // A sender that stalled halfway gives way to one that is sending.
                Incoming* stalest = StalestHolder(incoming, in);
                if (!stalest) {
                    state = ReadState::kBad;
                    break;
                }
                Drop(*stalest, held);
            }
            switch (state) {
            case ReadState::kMore:
            case ReadState::kNoRoom: break;
            case ReadState::kComplete:
                Uncharge(in, held);
                Dispatch(std::move(in));
                in.gone = true;
                break;
            case ReadState::kBad: Drop(in, held); break;
            }
        }
        std::erase_if(incoming, [](const Incoming& in) { return in.gone; });
        if (fds[0].revents && !AcceptSome(listenFd, &incoming, &backOff)) break;
    }
    for (auto& in : incoming) Drop(in, held);
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
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    ::unlink(path.c_str());  // left by an earlier process with our id
    if (::bind(fd, addr.get(), addr.size()) != 0 || ::listen(fd, kListenBacklog) != 0) {
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

Request MakeRequest(Kind kind, HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    Request rq;
    rq.kind = kind;
    rq.target = reinterpret_cast<std::uint64_t>(target);
    rq.msg = msg;
    rq.wParam = wParam;
    rq.lParam = lParam;
    return rq;
}

// One exchange that hands back the receiver's result.
bool Call(HWND target, const Request& rq, const void* payload, DWORD timeoutMs, LRESULT* result) {
    Reply rp;
    if (!Exchange(target, rq, payload, timeoutMs, &rp)) return false;
    if (result) *result = static_cast<LRESULT>(rp.result);
    return true;
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
    if (data.cbData > kMaxCopyDataBytes || (data.cbData && !data.lpData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Request rq = MakeRequest(kCopyData, target, WM_COPYDATA, reinterpret_cast<WPARAM>(from), 0);
    rq.dwData = data.dwData;
    rq.cbData = data.cbData;
    return Call(target, rq, data.lpData, timeoutMs, result);
}

bool SendSetText(HWND target, WPARAM wParam, const std::wstring& text, DWORD timeoutMs, LRESULT* result) {
    const std::string bytes = detail::ToUtf8(text);
    if (bytes.size() > kMaxSetTextBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Request rq = MakeRequest(kSetText, target, WM_SETTEXT, wParam, 0);
    rq.cbData = static_cast<std::uint32_t>(bytes.size());
    return Call(target, rq, bytes.data(), timeoutMs, result);
}

bool SendRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result) {
    return Call(target, MakeRequest(kSend, target, msg, wParam, lParam), nullptr, timeoutMs, result);
}

bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Queuing is quick on a healthy receiver; the bound only guards against a stuck one.
    return Call(target, MakeRequest(kPost, target, msg, wParam, lParam), nullptr, 5000, nullptr);
}

bool CarriesPointers(UINT msg) {
    if (msg >= WM_USER) return false;
    // The system messages whose parameters are numbers (window handles are numbers here too).
    switch (msg) {
    case WM_NULL:
    case WM_DESTROY:
    case WM_MOVE:
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_GETTEXTLENGTH:
    case WM_PAINT:
    case WM_CLOSE:
    case WM_QUIT:
    case WM_SHOWWINDOW:
    case WM_ACTIVATEAPP:
    case WM_CANCELMODE:
    case WM_SETCURSOR:
    case WM_MOUSEACTIVATE:
    case WM_DISPLAYCHANGE:
    case WM_NCHITTEST:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_COMMAND:
    case WM_SYSCOMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CAPTURECHANGED:
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
    case kRemoteShow:
    case kRemoteForeground: return false;
    default: break;
    }
    const bool mouse = msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL;
    const bool ncMouse = msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONUP;
    return !mouse && !ncMouse;
}

void SetDeliveryHook(DeliverFn fn) { S().hook.store(fn); }

}  // namespace platform::station
