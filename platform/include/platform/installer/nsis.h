// The installer's plug-in calling form: what an export receives and how the string stack and
// the variables are laid out, plus a small host that loads a plug-in and calls its exports.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/kernel/memory.h"  // GlobalAlloc, GlobalFree

extern "C" {

// One entry of the installer's string stack: the link, then string_size bytes of text.
// (Named apart from the signal stack type of the C library.)
struct nsis_stack_t {
    nsis_stack_t* next;
    char text[1];
};

struct exec_flags_t {
    int autoclose;
    int all_user_var;
    int exec_error;
    int abort;
    int exec_reboot;
    int reboot_called;
    int silent;
    int instdir_error;
    int rtl;
    int errlvl;
};

struct extra_parameters {
    exec_flags_t* exec_flags;
    int (*ExecuteCodeSegment)(int, HWND);
    void (*validate_filename)(char*);
    int (*RegisterPluginCallback)(HMODULE, void*);
};

using NsisExport = void (*)(HWND hwndParent, int string_size, char* variables, nsis_stack_t** stacktop,
                            extra_parameters* extra);

}  // extern "C"

// The installer's variables $0..$9, $R0..$R9, $CMDLINE, $INSTDIR, $OUTDIR, $EXEDIR, $LANGUAGE.
constexpr int kNsisVariableCount = 25;

namespace platform {

// Loads a plug-in library and calls its exports the way the installer does.
class NsisHost {
public:
    explicit NsisHost(int stringSize = 1024);
    ~NsisHost();
    NsisHost(const NsisHost&) = delete;
    NsisHost& operator=(const NsisHost&) = delete;

    // False (with error() telling why) when the library cannot be loaded.
    bool Load(const std::string& libraryPath);
    const std::string& error() const { return error_; }
    bool HasExport(const std::string& name) const;
    // False when the export is missing.
    bool Call(const std::string& name, HWND parent = nullptr);

    void Push(const std::string& text);
    std::optional<std::string> Pop();
    std::size_t StackDepth() const;
    void SetVariable(int index, const std::string& text);
    std::string Variable(int index) const;
    int stringSize() const { return stringSize_; }

private:
    int stringSize_;
    void* library_ = nullptr;
    std::string error_;
    std::vector<char> variables_;
    nsis_stack_t* stack_ = nullptr;
    exec_flags_t flags_{};
    extra_parameters extra_{};
};

}  // namespace platform
