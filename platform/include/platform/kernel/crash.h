// The crash filter over fatal signals and a small dump writer.
// SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT call the installed filter once, on the thread
// that crashed (a stack overflow runs it on an alternate stack). The filter's answer:
// EXCEPTION_CONTINUE_SEARCH lets the signal end the process as it would have;
// EXCEPTION_EXECUTE_HANDLER ends the process with the exception code's low byte as exit status;
// EXCEPTION_CONTINUE_EXECUTION returns to the faulting code.
#pragma once

#include "platform/base/wintypes.h"

#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)

#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_IN_PAGE_ERROR 0xC0000006u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_STACK_OVERFLOW 0xC00000FDu
#define STATUS_FATAL_APP_EXIT 0x40000015u

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[15];  // [0] the signal number, [1] the faulting data address
};

// The machine state at the fault: the signal handler's ucontext_t.
struct CONTEXT {
    PVOID ucontext;
};

struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};
using PEXCEPTION_POINTERS = EXCEPTION_POINTERS*;
using LPEXCEPTION_POINTERS = EXCEPTION_POINTERS*;

using LPTOP_LEVEL_EXCEPTION_FILTER = LONG (*)(EXCEPTION_POINTERS*);

// Installs the filter (null removes it) and returns the previous one. After
// LockUnhandledExceptionFilter every later call changes nothing and returns null.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);
BOOL LockUnhandledExceptionFilter();

enum MINIDUMP_TYPE { MiniDumpNormal = 0 };

struct MINIDUMP_EXCEPTION_INFORMATION {
    DWORD ThreadId;
    EXCEPTION_POINTERS* ExceptionPointers;
    BOOL ClientPointers;
};
using PMINIDUMP_EXCEPTION_INFORMATION = MINIDUMP_EXCEPTION_INFORMATION*;

// Writes a dump of the own process to the file (created or emptied; the file layer has no
// handles, so it is named by its path): a text file starting with "MorvaneDump 1" that holds
// the process and thread, the exception code, addresses and signal, and the call stack.
// Only the own process can be dumped: processId is 0 or its id (the handle is not used).
BOOL MiniDumpWriteDump(HANDLE process, DWORD processId, LPCWSTR dumpFile, MINIDUMP_TYPE type,
                       const MINIDUMP_EXCEPTION_INFORMATION* exception, PVOID userStream, PVOID callback);
