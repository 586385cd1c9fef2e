// The world of a test that runs the real association agent: a program folder with MorvaneUAC in
// it (a link to the built program) and its icons folder "res", a registry database, desktop files
// and a window station of the test's own. The agent started from the test inherits them all.
#pragma once

#include <string>

#include "platform/base/wintypes.h"
#include "support/desktop_env.h"
#include "support/program_dir.h"
#include "support/registry_db.h"

namespace testsupport {

class AgentEnv {
public:
    // withAgent false leaves the program folder without the agent's file.
    explicit AgentEnv(bool withAgent = true);
    const ProgramDir& program() const { return program_; }
    // The agent's file in the program folder.
    std::string agentPath() const;
    // Puts an icon file into the folder "res".
    void AddIcon(const std::string& name) const;
    // The text the agent writes for a file of the program folder ("<folder>/<name>").
    std::wstring InProgram(const std::string& name) const;

private:
    TempDir runtime_;
    ScopedEnv runtimeEnv_;
    ProgramDir program_;
    TempRegistry registry_;
    DesktopEnv desktop_;
};

// The window of any process with this title, waited for; null when none came.
HWND WaitForWindowTitled(const wchar_t* title);

}  // namespace testsupport
