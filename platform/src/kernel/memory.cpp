#include "platform/kernel/memory.h"

#include <cstdlib>

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    return (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    std::free(mem);
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL mem) { return mem; }

BOOL GlobalUnlock(HGLOBAL mem) { return mem ? TRUE : FALSE; }
