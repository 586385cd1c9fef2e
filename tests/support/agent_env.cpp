#include "support/agent_env.h"

#include <filesystem>

#include "platform/windows/winuser.h"
#include "support/wait_for.h"

namespace testsupport {

AgentEnv::AgentEnv(bool withAgent) : runtimeEnv_("MORVANE_RUNTIME_DIR", runtime_.path().string()) {
    std::filesystem::create_directories(program_.path() / "res");
    if (withAgent) std::filesystem::create_symlink(std::string(MORVANE_BIN_DIR) + "/MorvaneUAC", agentPath());
}

std::string AgentEnv::agentPath() const { return (program_ / "MorvaneUAC").string(); }

void AgentEnv::AddIcon(const std::string& name) const { program_.dir().write("res/" + name, "icon"); }

std::wstring AgentEnv::InProgram(const std::string& name) const {
    std::string s = program_.path().string() + "/" + name;
    return std::wstring(s.begin(), s.end());
}

HWND WaitForWindowTitled(const wchar_t* title) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowW(nullptr, title)) != nullptr; });
    return found;
}

}  // namespace testsupport
