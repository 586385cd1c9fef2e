// Kernel handles: named semaphores and mutexes, CloseHandle and waiting.
// A named object is a lock file in the runtime folder held with flock as long as a handle to it
// is open in some process; the kernel drops the lock when a holder dies, so a crashed instance
// never blocks the next start. A second CreateXxx of a held name gives a handle to the same
// object with ERROR_ALREADY_EXISTS. The program uses these objects only to mark a running
// instance: waiting is offered on process handles (platform/kernel/process.h), not on these.
#pragma once

#include "platform/base/wintypes.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

#define SYNCHRONIZE 0x00100000u

// Names are compared exactly; the prefixes "Global\" and "Local\" name the same per-user object.
HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount, LPCWSTR name);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
BOOL CloseHandle(HANDLE h);
// WAIT_OBJECT_0 when the object is signalled, WAIT_TIMEOUT, or WAIT_FAILED (bad handle, or an
// object that cannot be waited on).
DWORD WaitForSingleObject(HANDLE h, DWORD timeoutMs);
