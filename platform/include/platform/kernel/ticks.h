// Milliseconds since the system started, wrapping at 2^32 like the original counter.
#pragma once

#include "platform/base/wintypes.h"

DWORD GetTickCount();
ULONGLONG GetTickCount64();
