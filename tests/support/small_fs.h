// A file system of a few megabytes for tests of what happens when the disk is full: a tmpfs
// mounted on a fresh folder, inside a mount namespace of this process where one can be made (so
// nothing is left mounted when the test dies), and removed with its folder at the end.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace testsupport {

class SmallFileSystem {
public:
    explicit SmallFileSystem(std::size_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    // False when it could not be mounted (the process may not mount); error() says why.
    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

private:
    TempDir dir_;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace testsupport
