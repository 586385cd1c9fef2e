#include "platform/kernel/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace platform {
namespace {

// A folder we may trust: ours, a real folder (not a link), closed to others. One that was open
// to others is not mended: what they may have left in it would be trusted too. Empty when fine.
std::string PrivateFolderProblem(const std::filesystem::path& p) {
    const std::string name = "the runtime folder " + p.string();
    const bool made = ::mkdir(p.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) return name + " cannot be made: " + std::strerror(errno);
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return name + " cannot be read: " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return name + " is not a folder";
    if (st.st_uid != ::geteuid())
        return name + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    if (made && (st.st_mode & 07777) != 0700 && ::chmod(p.c_str(), 0700) != 0)
        return name + " cannot be closed to others: " + std::strerror(errno);
    if (!made && (st.st_mode & 0077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return name + " is open to other users (mode " + mode + "); it must be 0700";
    }
    return {};
}

std::filesystem::path BaseFolder() {
    const char* own = std::getenv("MORVANE_RUNTIME_DIR");
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (own && *own) {
        std::filesystem::path dir = own;
        std::error_code ec;
        std::filesystem::create_directories(dir.parent_path(), ec);
        return dir;
    }
    if (xdg && *xdg) return std::filesystem::path(xdg) / "morvane";
    return "/tmp/morvane-" + std::to_string(::geteuid());
}

// The folder, or its sub-folder `name`, made when missing; *problem says why when it is unusable.
std::filesystem::path Resolve(const char* name, std::string* problem) {
    std::filesystem::path dir = BaseFolder();
    std::string why = PrivateFolderProblem(dir);
    if (why.empty() && name) {
        dir /= name;
        why = PrivateFolderProblem(dir);
    }
    if (problem) *problem = why;
    return why.empty() ? dir : std::filesystem::path();
}

}  // namespace

std::filesystem::path RuntimeDir() { return Resolve(nullptr, nullptr); }

std::filesystem::path RuntimeSubdir(const char* name) { return Resolve(name, nullptr); }

std::string RuntimeDirProblem(const char* name) {
    std::string why;
    Resolve(name, &why);
    return why;
}

}  // namespace platform
