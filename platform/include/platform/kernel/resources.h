// Program resources: data linked into the program (the skin archive is one), found by type and id.
#pragma once

#include <cstddef>

#include "platform/base/wintypes.h"

namespace platform {

struct ResourceData {
    const void* data = nullptr;
    size_t size = 0;
};

// Called by the code generated at build time for each linked resource (before main runs).
bool RegisterResource(const wchar_t* type, int id, const void* data, size_t size);
// The bytes of a linked resource; an empty result when there is none of that type and id.
ResourceData FindResourceData(const wchar_t* type, int id);

}  // namespace platform
