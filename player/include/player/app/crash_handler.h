// The player's crash filter: installed once at start and kept against later replacement.
#pragma once

#include "platform/kernel/crash.h"

// Called by the filter on the crashing thread; it must be safe there (write a marker file
// with plain system calls, for example, and leave the sending to the next start).
using CrashReportHook = void (*)();
void SetCrashReportHook(CrashReportHook hook);

LONG CrashExceptionFilter(EXCEPTION_POINTERS* exceptionPointers);
void InstallCrashHandler();
// From now on every SetUnhandledExceptionFilter in the process leaves the player's filter.
bool DisableSetUnhandledExceptionFilter();
LPTOP_LEVEL_EXCEPTION_FILTER NullSetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);
void WriteMiniDump(const wchar_t* filePath, EXCEPTION_POINTERS* exceptionPointers);
