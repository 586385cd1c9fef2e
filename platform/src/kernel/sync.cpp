#include "platform/kernel/sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "handle_table.h"
#include "platform/kernel/runtime_dir.h"
#include "text/wide_text.h"

namespace {

// Holds the shared lock that keeps a named object in existence; the descriptor is close-on-exec
// so that a started program does not keep our instance marker alive.
class NamedObject : public platform::detail::KernelObject {
public:
    explicit NamedObject(int fd) : fd_(fd) {}
    ~NamedObject() override {
        if (fd_ >= 0) ::close(fd_);
    }

private:
    int fd_;
};

std::string EncodeName(const std::wstring& name) {
    std::wstring n = name;
    for (const wchar_t* prefix : {L"Global\\", L"Local\\"})
        if (n.rfind(prefix, 0) == 0) n = n.substr(wcslen(prefix));
    std::string utf8 = platform::detail::ToUtf8(n);
    std::string out;
    for (unsigned char c : utf8) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    if (out.size() > 200) {
        // Long names keep a readable head and a hash of the whole.
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char c : utf8) h = (h ^ c) * 1099511628211ull;
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(h));
        out = out.substr(0, 180) + tail;
    }
    return out;
}

// Opens (or creates) the named object `kind`/`name`; *existed tells whether another handle held
// it already.
int OpenNamed(const char* kind, const std::wstring& name, bool* existed) {
    auto dir = platform::RuntimeSubdir("sync");
    if (dir.empty()) return -1;
    int guard = ::open((dir / ".guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (guard < 0) return -1;
    // Under the guard, the exclusive test and the step down to a shared lock are one move, so two
    // starting processes can never both see a new object.
    while (::flock(guard, LOCK_EX) != 0 && errno == EINTR) {
    }
    std::string file = std::string(kind) + "-" + EncodeName(name) + ".lock";
    int fd = ::open((dir / file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            *existed = false;
        } else {
            *existed = true;
        }
        if (::flock(fd, LOCK_SH) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::flock(guard, LOCK_UN);
    ::close(guard);
    return fd;
}

HANDLE CreateNamed(const char* kind, LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_SUCCESS);
        return platform::detail::AddHandle(std::make_shared<NamedObject>(-1));
    }
    bool existed = false;
    int fd = OpenNamed(kind, name, &existed);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HANDLE h = platform::detail::AddHandle(std::make_shared<NamedObject>(fd));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

}  // namespace

HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCWSTR name) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateNamed("sem", name);
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR name) { return CreateNamed("mutex", name); }
