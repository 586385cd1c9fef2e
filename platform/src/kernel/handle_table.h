// The one table behind HANDLE: semaphores, mutexes, processes and snapshots all close through
// CloseHandle. Handle values are never reused, so a stale handle can only fail.
#pragma once

#include <memory>

#include "platform/base/wintypes.h"

namespace platform::detail {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (with the last error set).
    virtual DWORD Wait(DWORD timeoutMs);
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindHandle(HANDLE h);
bool RemoveHandle(HANDLE h);

template <typename T>
std::shared_ptr<T> FindHandleAs(HANDLE h) {
    return std::dynamic_pointer_cast<T>(FindHandle(h));
}

}  // namespace platform::detail
