#include "proc_info.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platform::detail {
namespace {

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string BaseName(const std::string& p) {
    auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

bool ReadProcStat(pid_t pid, ProcStat* out) {
    if (pid <= 0) return false;
    std::string text = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    // The program name in parentheses may itself hold spaces and parentheses.
    auto close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 1));
    std::vector<std::string> f;
    for (std::string t; fields >> t && f.size() < 20;) f.push_back(t);
    if (f.size() < 20) return false;
    try {
        out->state = f[0].empty() ? 0 : f[0][0];
        out->ppid = static_cast<pid_t>(std::stol(f[1]));
        out->priority = std::stol(f[15]);
        out->threads = std::stol(f[17]);
        out->startTime = std::stoull(f[19]);
    } catch (...) {
        return false;
    }
    return true;
}

bool ProcessRunning(pid_t pid, std::uint64_t startTime) {
    ProcStat st;
    if (!ReadProcStat(pid, &st)) return false;
    if (st.state == 'Z' || st.state == 'X' || st.state == 'x') return false;
    return startTime == 0 || st.startTime == startTime;
}

std::uint64_t ProcessStartTime(pid_t pid) {
    ProcStat st;
    return ReadProcStat(pid, &st) ? st.startTime : 0;
}

std::string ProcessProgramName(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    char buf[PATH_MAX];
    ssize_t n = ::readlink((base + "/exe").c_str(), buf, sizeof buf - 1);
    if (n > 0) {
        std::string exe(buf, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
            exe.resize(exe.size() - deleted.size());
        return BaseName(exe);
    }
    // Another user's process: its executable link is closed to us, its command line is not.
    std::string comm = ReadSmallFile(base + "/comm");
    while (!comm.empty() && comm.back() == '\n') comm.pop_back();
    std::string cmd = ReadSmallFile(base + "/cmdline");
    std::string argv0 = BaseName(cmd.substr(0, cmd.find('\0')));
    if (!argv0.empty() && !comm.empty() && argv0.compare(0, comm.size(), comm) == 0) return argv0;
    return comm;
}

}  // namespace platform::detail
