// The operating-system version the program is told: MORVANE_WINVER "major.minor" or
// "major.minor.build" (default 10.0). A value that is not a version makes the queries fail.
#pragma once

#include "platform/base/wintypes.h"

#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 1

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};

struct OSVERSIONINFOEXW : OSVERSIONINFOW {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

// dwOSVersionInfoSize must hold the size of the record passed; otherwise FALSE and
// ERROR_INVALID_PARAMETER, as on Windows.
BOOL GetVersionExW(OSVERSIONINFOW* info);
BOOL GetVersionExW(OSVERSIONINFOEXW* info);

// The true version numbers; the build number carries 0xF0000000 in its high bits as the
// system's own answer does. Outputs may be null.
void RtlGetNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build);
