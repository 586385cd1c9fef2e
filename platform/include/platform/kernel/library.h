// Loading shared libraries by file name at run time. Names of the program's modules as the code
// gives them ("WZUpdate.dll") are mapped to our files first (platform/kernel/module_names.h).
#pragma once

#include "platform/base/wintypes.h"

using FARPROC = void (*)();

// Null (with the loader's reason unavailable) when the file is missing or does not load.
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
