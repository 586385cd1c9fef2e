#include "platform/kernel/crash.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/text/codepage.h"

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

std::mutex g_mutex;
std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
std::atomic<bool> g_locked{false};
std::atomic<bool> g_ran{false};
bool g_handlersInstalled = false;

DWORD CodeFor(int sig, int code, void* faultAddr, void* stackTop) {
    switch (sig) {
        case SIGSEGV: {
            // A fault just below the alternate stack's owner is most likely the stack's end.
            auto fa = reinterpret_cast<char*>(faultAddr);
            auto st = reinterpret_cast<char*>(stackTop);
            if (st && fa && fa < st && st - fa < 64 * 1024) return EXCEPTION_STACK_OVERFLOW;
            return EXCEPTION_ACCESS_VIOLATION;
        }
        case SIGBUS: return EXCEPTION_IN_PAGE_ERROR;
        case SIGILL: return EXCEPTION_ILLEGAL_INSTRUCTION;
        case SIGFPE: return code == FPE_INTDIV ? EXCEPTION_INT_DIVIDE_BY_ZERO : 0xC0000090u;
        default: return STATUS_FATAL_APP_EXIT;
    }
}

void ResetAndRaise(int sig) {
    struct sigaction sa{};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

void OnFatalSignal(int sig, siginfo_t* info, void* uctx) {
    LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load();
    // The filter runs once: a second fault (also one inside the filter) ends the process.
    if (!filter || g_ran.exchange(true)) {
        ResetAndRaise(sig);
        return;
    }
    void* stackTop = nullptr;
    if (uctx) {
#if defined(__x86_64__)
        stackTop = reinterpret_cast<void*>(static_cast<ucontext_t*>(uctx)->uc_mcontext.gregs[REG_RSP]);
#endif
    }
    EXCEPTION_RECORD rec{};
    rec.ExceptionCode = CodeFor(sig, info ? info->si_code : 0, info ? info->si_addr : nullptr, stackTop);
    rec.ExceptionAddress = info ? info->si_addr : nullptr;
#if defined(__x86_64__)
    if (uctx && sig != SIGABRT)
        rec.ExceptionAddress = reinterpret_cast<void*>(static_cast<ucontext_t*>(uctx)->uc_mcontext.gregs[REG_RIP]);
#endif
    rec.NumberParameters = 2;
    rec.ExceptionInformation[0] = static_cast<ULONG_PTR>(sig);
    rec.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info ? info->si_addr : nullptr);
    CONTEXT ctx{uctx};
    EXCEPTION_POINTERS ep{&rec, &ctx};
    LONG r = filter(&ep);
    if (r == EXCEPTION_CONTINUE_EXECUTION) return;
    if (r == EXCEPTION_EXECUTE_HANDLER) {
        // The exit status holds 8 bits: the code's low byte, never 0 (that would read as success).
        int status = static_cast<int>(rec.ExceptionCode & 0xFF);
        _exit(status ? status : 1);
    }
    ResetAndRaise(sig);
}

void InstallHandlers() {
    if (g_handlersInstalled) return;
    g_handlersInstalled = true;
    // An alternate stack for the installing thread, so a stack overflow there still
    // reaches the filter.
    static char* altStack = static_cast<char*>(std::malloc(256 * 1024));
    if (altStack) {
        stack_t ss{};
        ss.ss_sp = altStack;
        ss.ss_size = 256 * 1024;
        sigaltstack(&ss, nullptr);
    }
    struct sigaction sa{};
    sa.sa_sigaction = OnFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals) sigaction(sig, &sa, nullptr);
}

// Small formatting without the heap, so the dump can be written from a crashing thread.
struct Out {
    char buf[512];
    size_t n = 0;
    void Str(const char* s) {
        while (*s && n < sizeof buf) buf[n++] = *s++;
    }
    void Hex(unsigned long long v) {
        char tmp[17];
        int i = 16;
        tmp[i] = 0;
        do {
            tmp[--i] = "0123456789abcdef"[v & 15];
            v >>= 4;
        } while (v && i > 0);
        Str("0x");
        Str(tmp + i);
    }
    void Dec(unsigned long long v) {
        char tmp[21];
        int i = 20;
        tmp[i] = 0;
        do {
            tmp[--i] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v && i > 0);
        Str(tmp + i);
    }
    bool Flush(int fd) {
        bool ok = ::write(fd, buf, n) == static_cast<ssize_t>(n);
        n = 0;
        return ok;
    }
};

}  // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_locked.load()) return nullptr;
    InstallHandlers();
    return g_filter.exchange(filter);
}

BOOL LockUnhandledExceptionFilter() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_locked.store(true);
    return TRUE;
}

BOOL MiniDumpWriteDump(HANDLE, DWORD processId, LPCWSTR dumpFile, MINIDUMP_TYPE type,
                       const MINIDUMP_EXCEPTION_INFORMATION* exception, PVOID, PVOID) {
    if (!dumpFile || (processId != 0 && processId != static_cast<DWORD>(getpid()))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = platform::Utf8FromWide(dumpFile);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Out o;
    o.Str("MorvaneDump 1\npid=");
    o.Dec(static_cast<unsigned long long>(getpid()));
    o.Str("\nthread=");
    o.Dec(exception ? exception->ThreadId : static_cast<unsigned long long>(syscall(SYS_gettid)));
    o.Str("\ntype=");
    o.Dec(static_cast<unsigned long long>(type));
    o.Str("\ntime=");
    o.Dec(static_cast<unsigned long long>(::time(nullptr)));
    o.Str("\n");
    bool ok = o.Flush(fd);
    const EXCEPTION_RECORD* rec =
        exception && exception->ExceptionPointers ? exception->ExceptionPointers->ExceptionRecord : nullptr;
    if (rec) {
        o.Str("code=");
        o.Hex(rec->ExceptionCode);
        o.Str("\naddress=");
        o.Hex(reinterpret_cast<ULONG_PTR>(rec->ExceptionAddress));
        o.Str("\nsignal=");
        o.Dec(rec->ExceptionInformation[0]);
        o.Str("\nfault=");
        o.Hex(rec->ExceptionInformation[1]);
        o.Str("\n");
        ok = o.Flush(fd) && ok;
    }
    o.Str("stack:\n");
    ok = o.Flush(fd) && ok;
    void* frames[64];
    int n = backtrace(frames, 64);
    backtrace_symbols_fd(frames, n, fd);
    ok = ::close(fd) == 0 && ok;
    if (!ok) SetLastError(ERROR_ACCESS_DENIED);
    return ok ? TRUE : FALSE;
}
