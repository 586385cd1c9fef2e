// The per-user runtime folder: window announcements, their sockets and the lock files of named
// objects live here. MORVANE_RUNTIME_DIR overrides it; otherwise $XDG_RUNTIME_DIR/morvane, or
// /tmp/morvane-<uid> when no XDG runtime folder is set.
#pragma once

#include <filesystem>

namespace platform {

// The folder (created with mode 0700 when missing), or an empty path when it cannot be made or
// is not a folder of this user with no access for others.
std::filesystem::path RuntimeDir();
// A sub-folder of it, created with mode 0700; empty on failure.
std::filesystem::path RuntimeSubdir(const char* name);

}  // namespace platform
