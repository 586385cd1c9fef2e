#include "support/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testsupport {

// Closes are watched too although nobody asks for them: the kernel folds an event into the one
// before it when both are the same, so only an event in between keeps two opens apart.
FolderWatch::FolderWatch(const std::filesystem::path& folder) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_CLOSE | IN_MOVED_TO) < 0)
        throw std::runtime_error("inotify: cannot watch " + folder.string());
}

FolderWatch::~FolderWatch() {
    if (fd_ >= 0) close(fd_);
}

void FolderWatch::Drain() {
    alignas(inotify_event) char buf[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            if (e->mask & IN_Q_OVERFLOW) throw std::runtime_error("inotify: queue overflow");
            const std::string name = e->len ? e->name : "";
            if (e->mask & IN_OPEN) ++opens_[name];
            if (e->mask & IN_MOVED_TO) ++moves_[name];
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

int FolderWatch::Opens(const std::string& name) {
    Drain();
    return opens_[name];
}

int FolderWatch::Replacements(const std::string& name) {
    Drain();
    return moves_[name];
}

}  // namespace testsupport
