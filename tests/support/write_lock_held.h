// Keeps a file's write lock (platform::FileWriteLock) on a thread of its own for a while, from
// the moment the object is made: every writer of that file waits meanwhile, as on a slow disk.
#pragma once

#include <chrono>
#include <string>
#include <thread>

namespace testsupport {

class WriteLockHeld {
public:
    WriteLockHeld(const std::string& fsPath, std::chrono::milliseconds duration);
    // Waits until the lock is let go.
    ~WriteLockHeld();
    WriteLockHeld(const WriteLockHeld&) = delete;
    WriteLockHeld& operator=(const WriteLockHeld&) = delete;

private:
    std::thread holder_;
};

}  // namespace testsupport
