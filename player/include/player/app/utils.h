// Small helpers of the program entry and the main window.
#pragma once

#include <cstddef>
#include <string>

#include "platform/base/wintypes.h"

// The first argument after the program path of a Windows-style command line, read back the way
// the command line is quoted (a name may hold quotes, backslashes and blanks) and as long as it
// is. False, with an empty result, when there is none or a quote is not closed.
bool ParseCmdLineFile(const wchar_t* cmdLine, std::wstring& out);

// A file argument of the command line as the player keeps it: a path relative to `folder` (the
// caller's current folder) made absolute; an address ("scheme://..."), an option ("-s") and an
// absolute path stay as they are.
std::string AbsoluteFileArgument(const std::string& arg, const std::string& folder);

// The folder dialog of the player (file-system folders only, no new-folder button); the chosen
// folder, or an empty text when it was cancelled.
std::wstring BrowseForFolder(HWND owner, const wchar_t* title);
