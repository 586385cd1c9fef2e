#include "support/runtime_folders.h"

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {
namespace {

constexpr uid_t kNobody = 65534;

std::filesystem::path Folder(const std::filesystem::path& p, mode_t mode) {
    std::filesystem::create_directories(p);
    ::chmod(p.c_str(), mode);
    return p;
}

}  // namespace

std::vector<UntrustedFolder> MakeUntrustedRuntimeFolders(const std::filesystem::path& base) {
    std::vector<UntrustedFolder> out{
        {"open to others", Folder(base / "open", 0755), "is open to other users (mode 0755); it must be 0700"},
        {"writable by all", Folder(base / "shared", 01777), "is open to other users (mode 1777); it must be 0700"},
    };
    std::filesystem::create_symlink(Folder(base / "private", 0700), base / "link");
    out.push_back({"a link", base / "link", "is not a folder"});
    auto theirs = Folder(base / "theirs", 0700);
    if (::chown(theirs.c_str(), kNobody, kNobody) == 0)
        out.push_back({"another user's", theirs, "belongs to another user (uid 65534)"});
    auto mixed = Folder(base / "mixed", 0700);
    auto station = Folder(mixed / "station", 0700);
    if (::chown(station.c_str(), kNobody, kNobody) == 0)
        out.push_back({"another user's sub-folder", mixed, "belongs to another user (uid 65534)"});
    return out;
}

}  // namespace testsupport
