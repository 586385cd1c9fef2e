#include "handle_table.h"

#include <map>
#include <mutex>

#include "platform/kernel/sync.h"

namespace platform::detail {
namespace {

struct Table {
    std::mutex mu;
    std::map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 0x1000;
};

Table& TheTable() {
    // Never destroyed: handles may still be closed from other threads while the process exits.
    static Table* t = new Table;
    return *t;
}

}  // namespace

DWORD KernelObject::Wait(DWORD) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    auto& t = TheTable();
    std::lock_guard lock(t.mu);
    std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE h) {
    auto& t = TheTable();
    std::lock_guard lock(t.mu);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE h) {
    std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
    auto& t = TheTable();
    std::lock_guard lock(t.mu);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace platform::detail

BOOL CloseHandle(HANDLE h) {
    if (!platform::detail::RemoveHandle(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD timeoutMs) {
    auto object = platform::detail::FindHandle(h);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->Wait(timeoutMs);
}
