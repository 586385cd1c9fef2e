#include "support/desktop_env.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

extern char** environ;

namespace testsupport {

DesktopEnv::DesktopEnv()
    : data_("XDG_DATA_HOME", (dir_ / "data").string()),
      config_("XDG_CONFIG_HOME", (dir_ / "config").string()),
      desktop_("XDG_CURRENT_DESKTOP", "") {
    std::filesystem::create_directories(dataHome() / "applications");
    std::filesystem::create_directories(configHome());
}

void DesktopEnv::AddApplication(const std::string& name) const {
    std::ofstream(dataHome() / "applications" / name) << "[Desktop Entry]\nType=Application\nName=" << name
                                                      << "\nExec=true %f\n";
}

std::string ProgramOutput(const std::vector<std::string>& argv, int* status) {
    if (status) *status = -1;
    int fds[2];
    if (argv.empty() || ::pipe(fds) != 0) return "";
    std::vector<char*> cargv;
    for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fds[0]);
    if (rc != 0) return "";
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

void BecomeSubreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

std::vector<pid_t> ChildrenRunning(const std::string& program) {
    std::vector<pid_t> out;
    std::error_code ec;
    const auto wanted = std::filesystem::canonical(program, ec);
    for (const auto& d : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = d.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(d.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...: the comm may hold blanks, so read after its last ')'.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) != 2) continue;
        if (ppid != ::getpid() || state == 'Z') continue;
        std::error_code e2;
        if (std::filesystem::canonical(d.path() / "exe", e2) == wanted && !e2) out.push_back(std::stoi(name));
    }
    return out;
}

}  // namespace testsupport
