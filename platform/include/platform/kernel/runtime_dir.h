// The per-user runtime folder: window announcements, their sockets and the lock files of named
// objects live here. MORVANE_RUNTIME_DIR overrides it; otherwise $XDG_RUNTIME_DIR/morvane, or
// /tmp/morvane-<uid> when no XDG runtime folder is set.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The folder (created with mode 0700 when missing), or an empty path when it cannot be made or
// is not a folder of this user with no access for others (one open to others is refused, not
// closed: what they may have put in it would be trusted).
std::filesystem::path RuntimeDir();
// A sub-folder of it, held to the same rule; empty on failure.
std::filesystem::path RuntimeSubdir(const char* name);
// Why the folder (and its sub-folder `name`, when given) cannot be used, for the user to read;
// empty when both can. Makes them when missing, as the two above do.
std::string RuntimeDirProblem(const char* name = nullptr);

}  // namespace platform
