// Module file names and the program's command line.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"

#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

// A null module is the running program. With MORVANE_PROGRAM_DIR set, the program's path is
// that folder followed by the executable's own file name (tests run the code against a
// temporary program folder). Another module is a shared library named by a handle from
// GetModuleHandleExW or by any address inside it. The result counts characters without the
// NUL; a too small buffer gets the cut path, the buffer size as result and
// ERROR_INSUFFICIENT_BUFFER. Paths use '/'.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size);
DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size);

// Only the FROM_ADDRESS form: the module that holds the address (a shared library finds
// itself with the address of one of its own functions).
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR addressOrName, HMODULE* module);

// The command line in the Windows form (arguments quoted where they hold blanks, tabs or
// quotes), built once from main's arguments; empty until then.
void SetCommandLineFromArgv(int argc, char** argv);
LPWSTR GetCommandLineW();

namespace platform {

// Arguments joined into one command line in the Windows form, as GetCommandLineW gives it.
std::wstring JoinCommandLine(const std::vector<std::wstring>& args);

// The folder of a module's file, with its trailing '/': where the program keeps its files.
std::wstring ModuleFolder(HMODULE module = nullptr);

}  // namespace platform
