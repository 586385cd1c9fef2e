#include "support/child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>

#include "support/wait_for.h"

extern char** environ;

namespace testsupport {

std::string PeerProgram() { return MORVANE_TEST_PEER; }

Child::Child(const std::vector<std::string>& argv, const std::string& stderrFile) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stderrFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

Child::~Child() {
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

void Child::kill(int sig) { ::kill(pid_, sig); }

int Child::wait() {
    if (reaped_) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return status;
}

bool Child::waitFor(int* status, std::chrono::milliseconds bound) {
    if (reaped_) return false;
    int st = 0;
    bool ended = WaitFor([&] { return ::waitpid(pid_, &st, WNOHANG) == pid_; }, bound);
    if (!ended) return false;
    reaped_ = true;
    if (status) *status = st;
    return true;
}

}  // namespace testsupport
