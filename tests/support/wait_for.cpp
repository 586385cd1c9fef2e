#include "support/wait_for.h"

#include <thread>

namespace testsupport {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace testsupport
