#include "support/small_fs.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace testsupport {

namespace {

// A private mount namespace takes the mount with the process; where none can be made (another
// thread runs, no right to), the mount is made where the process stands and undone by the object.
void EnterOwnMountNamespace() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::unshare(CLONE_NEWNS) == 0) ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    });
}

}  // namespace

SmallFileSystem::SmallFileSystem(std::size_t bytes) {
    EnterOwnMountNamespace();
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
        mounted_ = true;
    else
        error_ = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

}  // namespace testsupport
