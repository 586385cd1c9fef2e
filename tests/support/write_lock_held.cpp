#include "support/write_lock_held.h"

#include <future>

#include "platform/kernel/files.h"

namespace testsupport {

WriteLockHeld::WriteLockHeld(const std::string& fsPath, std::chrono::milliseconds duration) {
    std::promise<void> locked;
    std::future<void> taken = locked.get_future();
    holder_ = std::thread([fsPath, duration, locked = std::move(locked)]() mutable {
        platform::FileWriteLock held(fsPath);
        locked.set_value();
        std::this_thread::sleep_for(duration);
    });
    taken.wait();
}

WriteLockHeld::~WriteLockHeld() { holder_.join(); }

}  // namespace testsupport
