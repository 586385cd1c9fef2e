// Small helpers of the program entry and the main window.
#pragma once

#include <cstddef>
#include <string>

#include "platform/wintypes.h"

constexpr size_t kCmdLineFileChars = 260;

// The first argument after the program path of a Windows-style command line, into a buffer
// of kCmdLineFileChars characters (quotes removed). False, with an empty buffer, when there
// is none, a quote is not closed, or the argument does not fit.
bool ParseCmdLineFile(const wchar_t* cmdLine, wchar_t* out);

// A file argument of the command line as the player keeps it: a path relative to `folder` (the
// caller's current folder) made absolute; an address ("scheme://..."), an option ("-s") and an
// absolute path stay as they are.
std::string AbsoluteFileArgument(const std::string& arg, const std::string& folder);

// The folder dialog of the player (file-system folders only, no new-folder button); the chosen
// folder, or an empty text when it was cancelled.
std::wstring BrowseForFolder(HWND owner, const wchar_t* title);
