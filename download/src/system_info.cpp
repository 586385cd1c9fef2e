#include "download/system_info.h"

#include "platform/kernel/version.h"

namespace download {

int GetNtMajorVersion() {
    DWORD major = 0;
    RtlGetNtVersionNumbers(&major, nullptr, nullptr);
    return static_cast<int>(major);
}

bool IsWindows10() { return GetNtMajorVersion() == 10; }

}  // namespace download
