// A desktop of the test's own: XDG_DATA_HOME and XDG_CONFIG_HOME in a temporary folder, no
// desktop named (the freedesktop.org files alone decide), and the tools the desktop's users run.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

class DesktopEnv {
public:
    DesktopEnv();
    std::filesystem::path dataHome() const { return dir_ / "data"; }
    std::filesystem::path configHome() const { return dir_ / "config"; }
    std::filesystem::path mimeApps() const { return configHome() / "mimeapps.list"; }
    std::filesystem::path entry() const { return dataHome() / "applications" / "morvane.desktop"; }
    // An application's desktop entry in the test's applications folder.
    void AddApplication(const std::string& name) const;

private:
    TempDir dir_;
    ScopedEnv data_, config_, desktop_;
};

// Runs a program and returns what it wrote to its standard output, the last newline cut;
// status, when given, gets its exit status (-1 when it did not exit). Not for a launcher: what it
// starts keeps the output open.
std::string ProgramOutput(const std::vector<std::string>& argv, int* status = nullptr);

// Makes this process the reaper of its orphaned descendants (a program that a launcher
// started and left), and lists the living ones whose file is `program`.
void BecomeSubreaper();
std::vector<pid_t> ChildrenRunning(const std::string& program);

}  // namespace testsupport
