#pragma once

#include "platform/shell/com.h"

namespace platform {
// A new shell-link object with one reference, or null when out of memory.
IUnknown* NewShellLinkObject();
}  // namespace platform
