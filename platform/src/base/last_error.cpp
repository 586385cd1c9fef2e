#include "platform/base/wintypes.h"

namespace {
thread_local DWORD g_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD code) { g_lastError = code; }
