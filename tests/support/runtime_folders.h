// Runtime folders that no program of this user may trust, for the tests of what the programs do
// when they are given one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct UntrustedFolder {
    std::string what;
    std::filesystem::path path;  // for MORVANE_RUNTIME_DIR
    std::string why;             // what the refusal says about it
};

// Made below `base`: ones open to others, a link to a private folder, another user's (only when
// this process may give a folder away) and a private folder whose sub-folder "station" is
// another user's.
std::vector<UntrustedFolder> MakeUntrustedRuntimeFolders(const std::filesystem::path& base);

}  // namespace testsupport
