// A helper program started by a test, killed and reaped when the object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// The test peer program (tests/helpers/test_peer.cpp).
std::string PeerProgram();

class Child {
public:
    // stderrFile, when given, receives what the child writes to stderr.
    explicit Child(const std::vector<std::string>& argv, const std::string& stderrFile = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    void kill(int sig);
    // Waits for the end and returns the raw wait status (-1 when it was reaped already).
    int wait();
    // The same within a bound: false (the child left running) when it has not ended by then.
    bool waitFor(int* status, std::chrono::milliseconds bound = std::chrono::seconds(20));

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

}  // namespace testsupport
