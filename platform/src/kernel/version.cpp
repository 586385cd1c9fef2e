#include "platform/kernel/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Version {
    DWORD major, minor, build;
};

bool CurrentVersion(Version& v) {
    const char* e = std::getenv("MORVANE_WINVER");
    if (!e || !*e) e = "10.0";
    unsigned major = 0, minor = 0, build = 0;
    int used = 0;
    int n = std::sscanf(e, "%u.%u%n.%u%n", &major, &minor, &used, &build, &used);
    if (n < 2 || e[used] != '\0') return false;
    if (n == 2) {
        // The build numbers of the versions the program cares about.
        if (major == 10) build = 19045;
        else if (major == 6 && minor == 1) build = 7601;
        else if (major == 6 && minor == 0) build = 6002;
        else if (major == 5 && minor == 1) build = 2600;
    }
    v = {major, minor, build};
    return true;
}

template <class T>
BOOL Fill(T* info) {
    Version v;
    if (!info || info->dwOSVersionInfoSize != sizeof(T) || !CurrentVersion(v)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    std::memset(info, 0, sizeof(T));
    info->dwOSVersionInfoSize = size;
    info->dwMajorVersion = v.major;
    info->dwMinorVersion = v.minor;
    info->dwBuildNumber = v.build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

}  // namespace

BOOL GetVersionExW(OSVERSIONINFOW* info) { return Fill(info); }

BOOL GetVersionExW(OSVERSIONINFOEXW* info) {
    BOOL ok = Fill(info);
    if (ok) info->wProductType = VER_NT_WORKSTATION;
    return ok;
}

void RtlGetNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
    Version v{0, 0, 0};
    CurrentVersion(v);
    if (major) *major = v.major;
    if (minor) *minor = v.minor;
    if (build) *build = v.build | 0xF0000000u;
}
