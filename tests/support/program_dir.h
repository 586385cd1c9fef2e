// A temporary program folder for code that reads its files beside the running program
// (config.ini, the request library), with the user's proxy environment cleared.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

class ProgramDir {
public:
    ProgramDir();
    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
    // Replaces config.ini with this text.
    void WriteConfig(const std::string& text) const { dir_.write("config.ini", text); }
    std::string ReadConfig() const { return ReadFile(dir_ / "config.ini"); }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
};

}  // namespace testsupport
