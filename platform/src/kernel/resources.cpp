// The table of linked resources.
#include "platform/kernel/resources.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace platform {

namespace {
std::mutex& TableMutex() {
    static std::mutex m;
    return m;
}
std::map<std::pair<std::wstring, int>, ResourceData>& Table() {
    static std::map<std::pair<std::wstring, int>, ResourceData> t;
    return t;
}
}  // namespace

bool RegisterResource(const wchar_t* type, int id, const void* data, size_t size) {
    if (!type || !data) return false;
    std::lock_guard<std::mutex> lock(TableMutex());
    return Table().emplace(std::make_pair(std::wstring(type), id), ResourceData{data, size}).second;
}

ResourceData FindResourceData(const wchar_t* type, int id) {
    if (!type) return {};
    std::lock_guard<std::mutex> lock(TableMutex());
    auto it = Table().find({std::wstring(type), id});
    return it == Table().end() ? ResourceData{} : it->second;
}

}  // namespace platform
