#include "player/app/crash_handler.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<CrashReportHook> g_hook{nullptr};

}  // namespace

void SetCrashReportHook(CrashReportHook hook) { g_hook.store(hook); }

LONG CrashExceptionFilter(EXCEPTION_POINTERS*) {
    if (CrashReportHook hook = g_hook.load()) hook();
    return EXCEPTION_CONTINUE_SEARCH;
}

void InstallCrashHandler() {
    SetUnhandledExceptionFilter(CrashExceptionFilter);
    DisableSetUnhandledExceptionFilter();
}

bool DisableSetUnhandledExceptionFilter() { return LockUnhandledExceptionFilter() != FALSE; }

LPTOP_LEVEL_EXCEPTION_FILTER NullSetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER) { return nullptr; }

void WriteMiniDump(const wchar_t* filePath, EXCEPTION_POINTERS* exceptionPointers) {
    MINIDUMP_EXCEPTION_INFORMATION info{static_cast<DWORD>(syscall(SYS_gettid)), exceptionPointers, TRUE};
    MiniDumpWriteDump(nullptr, static_cast<DWORD>(getpid()), filePath, MiniDumpNormal, &info, nullptr, nullptr);
}
