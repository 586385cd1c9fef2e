#include "platform/installer/nsis.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace platform {

NsisHost::NsisHost(int stringSize)
    : stringSize_(stringSize), variables_(static_cast<std::size_t>(stringSize) * kNsisVariableCount, '\0') {
    extra_.exec_flags = &flags_;
}

NsisHost::~NsisHost() {
    while (stack_) {
        nsis_stack_t* next = stack_->next;
        GlobalFree(stack_);
        stack_ = next;
    }
    if (library_) dlclose(library_);
}

bool NsisHost::Load(const std::string& libraryPath) {
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        const char* why = dlerror();
        error_ = why ? why : "cannot load " + libraryPath;
        return false;
    }
    return true;
}

bool NsisHost::HasExport(const std::string& name) const {
    return library_ && dlsym(library_, name.c_str()) != nullptr;
}

bool NsisHost::Call(const std::string& name, HWND parent) {
    if (!library_) return false;
    auto fn = reinterpret_cast<NsisExport>(dlsym(library_, name.c_str()));
    if (!fn) return false;
    fn(parent, stringSize_, variables_.data(), &stack_, &extra_);
    return true;
}

void NsisHost::Push(const std::string& text) {
    auto* entry = static_cast<nsis_stack_t*>(GlobalAlloc(GPTR, sizeof(nsis_stack_t) + stringSize_));
    std::strncpy(entry->text, text.c_str(), static_cast<std::size_t>(stringSize_) - 1);
    entry->next = stack_;
    stack_ = entry;
}

std::optional<std::string> NsisHost::Pop() {
    if (!stack_) return std::nullopt;
    nsis_stack_t* top = stack_;
    std::string text(top->text, strnlen(top->text, static_cast<std::size_t>(stringSize_)));
    stack_ = top->next;
    GlobalFree(top);
    return text;
}

std::size_t NsisHost::StackDepth() const {
    std::size_t n = 0;
    for (nsis_stack_t* e = stack_; e; e = e->next) ++n;
    return n;
}

void NsisHost::SetVariable(int index, const std::string& text) {
    if (index < 0 || index >= kNsisVariableCount) return;
    char* slot = variables_.data() + static_cast<std::size_t>(index) * stringSize_;
    std::memset(slot, 0, static_cast<std::size_t>(stringSize_));
    std::strncpy(slot, text.c_str(), static_cast<std::size_t>(stringSize_) - 1);
}

std::string NsisHost::Variable(int index) const {
    if (index < 0 || index >= kNsisVariableCount) return {};
    const char* slot = variables_.data() + static_cast<std::size_t>(index) * stringSize_;
    return std::string(slot, strnlen(slot, static_cast<std::size_t>(stringSize_)));
}

}  // namespace platform
