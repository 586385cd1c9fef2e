#include "platform/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace platform {
namespace {

// A folder we may trust: ours, a real folder (not a link), closed to others.
bool MakePrivateFolder(const std::filesystem::path& p) {
    if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(p.c_str(), 0700) != 0) return false;
    return true;
}

}  // namespace

std::filesystem::path RuntimeDir() {
    std::filesystem::path dir;
    const char* own = std::getenv("MORVANE_RUNTIME_DIR");
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (own && *own) {
        dir = own;
        std::error_code ec;
        std::filesystem::create_directories(dir.parent_path(), ec);
    } else if (xdg && *xdg) {
        dir = std::filesystem::path(xdg) / "morvane";
    } else {
        dir = "/tmp/morvane-" + std::to_string(::geteuid());
    }
    return MakePrivateFolder(dir) ? dir : std::filesystem::path();
}

std::filesystem::path RuntimeSubdir(const char* name) {
    auto dir = RuntimeDir();
    if (dir.empty()) return dir;
    dir /= name;
    return MakePrivateFolder(dir) ? dir : std::filesystem::path();
}

}  // namespace platform
