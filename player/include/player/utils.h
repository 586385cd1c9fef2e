// Small helpers of the program entry and the main window.
#pragma once

#include <cstddef>

constexpr size_t kCmdLineFileChars = 260;

// The first argument after the program path of a Windows-style command line, into a buffer
// of kCmdLineFileChars characters (quotes removed). False, with an empty buffer, when there
// is none, a quote is not closed, or the argument does not fit.
bool ParseCmdLineFile(const wchar_t* cmdLine, wchar_t* out);
