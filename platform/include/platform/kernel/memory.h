// Global memory blocks: what the installer's string stack and the clipboard hand from one owner
// to the next. A block is plain heap memory, so locking gives the block itself.
#pragma once

#include <cstddef>

#include "platform/base/wintypes.h"

#define GMEM_FIXED 0x0000
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
using HGLOBAL = void*;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
HGLOBAL GlobalFree(HGLOBAL mem);
LPVOID GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
