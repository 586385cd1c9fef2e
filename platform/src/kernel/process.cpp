#include "platform/kernel/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "handle_table.h"
#include "platform/kernel/module_names.h"
#include "proc_info.h"
#include "text/wide_text.h"

extern char** environ;

namespace {

using platform::detail::FromUtf8;
using platform::detail::ToUtf8;

// ---- process objects ----

// What every handle to one process shares: whether it ended and how.
struct ProcState {
    pid_t pid = 0;
    bool child = false;
    std::mutex mu;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    std::optional<UINT> terminatedWith;

    ~ProcState() {
        // Our child outlived every handle: reap it when it ends, so it leaves no zombie.
        if (child && !ended) {
            pid_t p = pid;
            std::thread([p] {
                int st;
                while (::waitpid(p, &st, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        }
    }
};

std::mutex g_childMu;
std::map<pid_t, std::weak_ptr<ProcState>> g_children;

std::shared_ptr<ProcState> ChildState(pid_t pid) {
    std::lock_guard lock(g_childMu);
    auto it = g_children.find(pid);
    return it == g_children.end() ? nullptr : it->second.lock();
}

std::shared_ptr<ProcState> NewChildState(pid_t pid) {
    auto s = std::make_shared<ProcState>();
    s->pid = pid;
    s->child = true;
    std::lock_guard lock(g_childMu);
    for (auto it = g_children.begin(); it != g_children.end();)
        it = it->second.expired() ? g_children.erase(it) : std::next(it);
    g_children[pid] = s;
    return s;
}

int PidFdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    errno = ENOSYS;
    return -1;
#endif
}

class ProcessObject : public platform::detail::KernelObject {
public:
    ProcessObject(std::shared_ptr<ProcState> state, DWORD access)
        : state_(std::move(state)), access_(access), pidfd_(PidFdOpen(state_->pid)) {}
    ~ProcessObject() override {
        if (pidfd_ >= 0) ::close(pidfd_);
    }

    pid_t pid() const { return state_->pid; }
    DWORD access() const { return access_; }

    DWORD Wait(DWORD timeoutMs) override {
        if (!(access_ & SYNCHRONIZE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return WAIT_FAILED;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (Ended()) return WAIT_OBJECT_0;
            int ms = timeoutMs == INFINITE ? -1 : RemainingMs(deadline);
            if (ms == 0) return WAIT_TIMEOUT;
            if (pidfd_ >= 0) {
                pollfd p{pidfd_, POLLIN, 0};
                ::poll(&p, 1, ms);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms < 0 ? 10 : std::min(ms, 10)));
            }
        }
    }

    // Checks without waiting, reaping our child once it has ended.
    bool Ended() {
        std::lock_guard lock(state_->mu);
        if (state_->ended) return true;
        bool gone;
        int status = 0;
        if (state_->child) {
            pid_t r = ::waitpid(state_->pid, &status, WNOHANG);
            gone = r == state_->pid || (r < 0 && errno == ECHILD);
            if (r == state_->pid) {
                if (WIFEXITED(status))
                    state_->exitCode = static_cast<DWORD>(WEXITSTATUS(status));
                else if (WIFSIGNALED(status))
                    state_->exitCode = state_->terminatedWith ? *state_->terminatedWith : 128u + WTERMSIG(status);
            } else if (gone) {
                state_->exitCode = state_->terminatedWith.value_or(0);
            }
        } else {
            gone = !platform::detail::ProcessRunning(state_->pid);
            if (gone) state_->exitCode = state_->terminatedWith.value_or(0);
        }
        state_->ended = gone;
        return gone;
    }

    DWORD ExitCode() {
        Ended();
        std::lock_guard lock(state_->mu);
        return state_->exitCode;
    }

    BOOL Terminate(UINT code) {
        if (!(access_ & PROCESS_TERMINATE) || Ended()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        {
            std::lock_guard lock(state_->mu);
            if (!state_->terminatedWith) state_->terminatedWith = code;
        }
        int rc;
#ifdef SYS_pidfd_send_signal
        if (pidfd_ >= 0)
            rc = static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd_, SIGKILL, nullptr, 0));
        else
#endif
            rc = ::kill(state_->pid, SIGKILL);
        if (rc != 0 && errno != ESRCH) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return TRUE;
    }

private:
    static int RemainingMs(std::chrono::steady_clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
    }

    std::shared_ptr<ProcState> state_;
    DWORD access_;
    int pidfd_;
};

class ThreadStub : public platform::detail::KernelObject {};

std::shared_ptr<ProcessObject> ProcessOf(HANDLE h) {
    auto p = platform::detail::FindHandleAs<ProcessObject>(h);
    if (!p) SetLastError(ERROR_INVALID_HANDLE);
    return p;
}

// ---- starting programs ----

// Windows quoting: spaces separate words outside quotes; 2n backslashes before a quote give n and
// the quote toggles, 2n+1 give n and a literal quote; other backslashes stand for themselves.
std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string cur;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < line.size();) {
        char c = line[i];
        if (c == '\\') {
            size_t n = 0;
            while (i < line.size() && line[i] == '\\') ++n, ++i;
            if (i < line.size() && line[i] == '"') {
                cur.append(n / 2, '\\');
                if (n % 2) {
                    cur += '"';
                    ++i;
                }
            } else {
                cur.append(n, '\\');
            }
            inWord = true;
        } else if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                cur += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
            inWord = true;
            ++i;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(std::move(cur));
            cur.clear();
            inWord = false;
            ++i;
        } else {
            cur += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord) words.push_back(std::move(cur));
    return words;
}

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_INVALID_PARAMETER;
    }
}

// Starts `argv` (argv[0] the program, mapped to our file name); fills `info` when given.
bool Spawn(std::vector<std::string> argv, const std::string& directory, PROCESS_INFORMATION* info) {
    if (argv.empty() || argv[0].empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    argv[0] = platform::MapModulePath(argv[0]);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = 0;
    int rc = argv[0].find('/') == std::string::npos
                 ? posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ)
                 : posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        SetLastError(ErrorFromErrno(rc));
        return false;
    }
    auto state = NewChildState(pid);
    if (info) {
        info->hProcess = platform::detail::AddHandle(std::make_shared<ProcessObject>(state, PROCESS_ALL_ACCESS));
        info->hThread = platform::detail::AddHandle(std::make_shared<ThreadStub>());
        info->dwProcessId = static_cast<DWORD>(pid);
        info->dwThreadId = static_cast<DWORD>(pid);
    }
    return true;
}

BOOL CreateProcessUtf8(const char* application, const char* commandLine, const char* directory,
                       PROCESS_INFORMATION* info) {
    std::vector<std::string> argv = SplitCommandLine(commandLine ? commandLine : "");
    if (application && *application) {
        if (argv.empty()) argv.emplace_back();
        argv[0] = application;
    }
    if (info) *info = PROCESS_INFORMATION{};
    return Spawn(std::move(argv), directory ? directory : "", info) ? TRUE : FALSE;
}

std::string Utf8OrEmpty(LPCWSTR s) { return s ? ToUtf8(s) : std::string(); }

// ---- the process list ----

struct ProcEntry {
    DWORD pid;
    DWORD ppid;
    DWORD threads;
    LONG priority;
    std::string name;
};

std::vector<ProcEntry> ListProcesses() {
    std::vector<ProcEntry> out;
    DIR* d = ::opendir("/proc");
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || !end || *end) continue;
        platform::detail::ProcStat st;
        if (!platform::detail::ReadProcStat(static_cast<pid_t>(pid), &st) || st.state == 'Z') continue;
        out.push_back({static_cast<DWORD>(pid), static_cast<DWORD>(st.ppid), static_cast<DWORD>(st.threads),
                       static_cast<LONG>(st.priority), platform::detail::ProcessProgramName(static_cast<pid_t>(pid))});
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
    return out;
}

class Snapshot : public platform::detail::KernelObject {
public:
    std::vector<ProcEntry> entries = ListProcesses();
    size_t next = 0;
};

template <typename Entry, typename Fill>
BOOL SnapshotStep(HANDLE h, Entry* entry, bool first, Fill fill) {
    auto snap = platform::detail::FindHandleAs<Snapshot>(h);
    if (!snap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!entry || entry->dwSize < sizeof(Entry)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    if (first) snap->next = 0;
    if (snap->next >= snap->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const ProcEntry& p = snap->entries[snap->next++];
    DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof(Entry));
    entry->dwSize = size;
    entry->th32ProcessID = p.pid;
    entry->th32ParentProcessID = p.ppid;
    entry->cntThreads = p.threads;
    entry->pcPriClassBase = p.priority;
    fill(entry->szExeFile, p.name);
    return TRUE;
}

void FillWide(WCHAR (&dst)[MAX_PATH], const std::string& name) {
    std::wstring w = FromUtf8(name).substr(0, MAX_PATH - 1);
    std::wmemcpy(dst, w.c_str(), w.size() + 1);
}
void FillNarrow(CHAR (&dst)[MAX_PATH], const std::string& name) {
    std::string n = name.substr(0, MAX_PATH - 1);
    std::memcpy(dst, n.c_str(), n.size() + 1);
}

bool IsAddress(const std::string& s) {
    auto colon = s.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
    return std::all_of(s.begin(), s.begin() + static_cast<long>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

bool LaunchDefault(const std::string& uri) {
    GError* err = nullptr;
    gboolean ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &err);
    if (err) g_error_free(err);
    return ok;
}

bool OpenPathWithDefault(const std::string& path) {
    GFile* f = g_file_new_for_path(path.c_str());
    char* uri = g_file_get_uri(f);
    bool ok = LaunchDefault(uri);
    g_free(uri);
    g_object_unref(f);
    return ok;
}

// Finds a program file: a path as given, else a bare name in PATH.
std::string FindProgram(const std::string& file, const std::string& directory) {
    auto runnable = [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
    };
    std::string mapped = platform::MapModulePath(file);
    if (mapped.find('/') != std::string::npos) {
        std::string p = (mapped[0] != '/' && !directory.empty()) ? directory + "/" + mapped : mapped;
        return runnable(p) ? p : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty() && runnable(dir + "/" + mapped)) return dir + "/" + mapped;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return std::string();
}

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                    LPVOID, LPCWSTR currentDirectory, STARTUPINFOW*, PROCESS_INFORMATION* info) {
    std::string app = Utf8OrEmpty(application), cmd = Utf8OrEmpty(commandLine), dir = Utf8OrEmpty(currentDirectory);
    return CreateProcessUtf8(application ? app.c_str() : nullptr, cmd.c_str(), dir.c_str(), info);
}

BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                    LPVOID, LPCSTR currentDirectory, STARTUPINFOA*, PROCESS_INFORMATION* info) {
    return CreateProcessUtf8(application, commandLine, currentDirectory, info);
}

HANDLE OpenProcess(DWORD desiredAccess, BOOL, DWORD processId) {
    auto pid = static_cast<pid_t>(processId);
    if (pid <= 0 || !platform::detail::ProcessRunning(pid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (::kill(pid, 0) != 0 && errno == EPERM &&
        (desiredAccess & ~(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto state = ChildState(pid);
    if (!state) {
        state = std::make_shared<ProcState>();
        state->pid = pid;
    }
    return platform::detail::AddHandle(std::make_shared<ProcessObject>(state, desiredAccess));
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    auto p = ProcessOf(process);
    return p ? p->Terminate(exitCode) : FALSE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    auto p = ProcessOf(process);
    if (!p || !exitCode) return FALSE;
    *exitCode = p->ExitCode();
    return TRUE;
}

DWORD GetProcessId(HANDLE process) {
    auto p = ProcessOf(process);
    return p ? static_cast<DWORD>(p->pid()) : 0;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) {
    if (!(flags & TH32CS_SNAPPROCESS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return platform::detail::AddHandle(std::make_shared<Snapshot>());
}

BOOL Process32FirstW(HANDLE s, PROCESSENTRY32W* e) { return SnapshotStep(s, e, true, FillWide); }
BOOL Process32NextW(HANDLE s, PROCESSENTRY32W* e) { return SnapshotStep(s, e, false, FillWide); }
BOOL Process32First(HANDLE s, PROCESSENTRY32* e) { return SnapshotStep(s, e, true, FillNarrow); }
BOOL Process32Next(HANDLE s, PROCESSENTRY32* e) { return SnapshotStep(s, e, false, FillNarrow); }

NTSTATUS ZwQuerySystemInformation(ULONG infoClass, PVOID buffer, ULONG length, ULONG* returnLength) {
    if (infoClass != SystemProcessInformation) return STATUS_INVALID_INFO_CLASS;
    std::vector<ProcEntry> list = ListProcesses();
    list.insert(list.begin(), ProcEntry{0, 0, 0, 0, ""});
    std::vector<std::wstring> names;
    size_t need = 0;
    auto entrySize = [](const std::wstring& n) {
        size_t s = sizeof(SYSTEM_PROCESS_INFORMATION) + (n.empty() ? 0 : (n.size() + 1) * sizeof(wchar_t));
        return (s + 7) & ~size_t(7);
    };
    for (const auto& p : list) {
        names.push_back(FromUtf8(p.name).substr(0, 0x7FFF / sizeof(wchar_t) - 1));
        need += entrySize(names.back());
    }
    if (returnLength) *returnLength = static_cast<ULONG>(need);
    if (!buffer || length < need) return STATUS_INFO_LENGTH_MISMATCH;
    auto* base = static_cast<unsigned char*>(buffer);
    size_t off = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        auto* spi = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(base + off);
        std::memset(spi, 0, sizeof *spi);
        size_t size = entrySize(names[i]);
        spi->NextEntryOffset = i + 1 < list.size() ? static_cast<ULONG>(size) : 0;
        spi->NumberOfThreads = list[i].threads;
        spi->BasePriority = list[i].priority;
        spi->UniqueProcessId = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(list[i].pid));
        spi->InheritedFromUniqueProcessId = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(list[i].ppid));
        if (!names[i].empty()) {
            auto* text = reinterpret_cast<wchar_t*>(spi + 1);
            std::wmemcpy(text, names[i].c_str(), names[i].size() + 1);
            spi->ImageName.Buffer = text;
            spi->ImageName.Length = static_cast<USHORT>(names[i].size() * sizeof(wchar_t));
            spi->ImageName.MaximumLength = static_cast<USHORT>(spi->ImageName.Length + sizeof(wchar_t));
        }
        off += size;
    }
    return STATUS_SUCCESS;
}

namespace platform::process {

bool RevealInFileManager(const std::wstring& path) {
    std::string p = ToUtf8(path);
    GFile* file = g_file_new_for_path(p.c_str());
    char* uri = g_file_get_uri(file);
    bool shown = false;
    // The desktop's file-manager service selects the file; a short bound keeps a missing
    // service from stalling the caller.
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        const char* uris[] = {uri, nullptr};
        GVariant* r = g_dbus_connection_call_sync(
            bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
            "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, nullptr);
        if (r) {
            shown = true;
            g_variant_unref(r);
        }
        g_object_unref(bus);
    }
    g_free(uri);
    if (!shown) {
        GFile* parent = g_file_get_parent(file);
        struct stat st {};
        bool isDir = ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        GFile* target = isDir || !parent ? file : parent;
        char* folder = g_file_get_path(target);
        shown = folder && OpenPathWithDefault(folder);
        g_free(folder);
        if (parent) g_object_unref(parent);
    }
    g_object_unref(file);
    return shown;
}

}  // namespace platform::process

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    if (!info || info->cbSize < sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    auto fail = [info](int seErr, DWORD err) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(seErr));
        SetLastError(err);
        return FALSE;
    };
    auto done = [info] {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
        return TRUE;
    };
    std::string verb = Lower(Utf8OrEmpty(info->lpVerb));
    if (!verb.empty() && verb != "open" && verb != "runas") return fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    std::string file = Utf8OrEmpty(info->lpFile);
    std::string params = Utf8OrEmpty(info->lpParameters);
    std::string dir = Utf8OrEmpty(info->lpDirectory);
    if (file.empty()) return fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);

    if (Lower(file) == "explorer.exe") {
        const std::string select = "/select,";
        bool ok = params.rfind(select, 0) == 0
                      ? platform::process::RevealInFileManager(FromUtf8(params.substr(select.size())))
                      : OpenPathWithDefault(params.empty() ? (std::getenv("HOME") ? std::getenv("HOME") : "/") : params);
        return ok ? done() : fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    }
    if (IsAddress(file)) return LaunchDefault(file) ? done() : fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);

    std::string program = FindProgram(file, dir);
    if (!program.empty()) {
        std::vector<std::string> argv = SplitCommandLine(params);
        argv.insert(argv.begin(), program);
        PROCESS_INFORMATION pi{};
        if (!Spawn(std::move(argv), dir, &pi)) return fail(SE_ERR_ACCESSDENIED, GetLastError());
        CloseHandle(pi.hThread);
        if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
            info->hProcess = pi.hProcess;
        else
            CloseHandle(pi.hProcess);
        return done();
    }
    std::string path = (file[0] != '/' && !dir.empty()) ? dir + "/" + file : file;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    return OpenPathWithDefault(path) ? done() : fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
}

HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT showCmd) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = hwnd;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = showCmd;
    ShellExecuteExW(&info);
    return info.hInstApp;
}
