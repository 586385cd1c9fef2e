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

// The folder dialog of the player (file-system folders only, no new-folder button); the chosen
// folder, or an empty text when it was cancelled.
std::wstring BrowseForFolder(HWND owner, const wchar_t* title);
