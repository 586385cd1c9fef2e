// Conversions between the user interface's wide text and the narrow text that files,
// libVLC (UTF-8) and the request library and agent (ANSI, the system code page) take.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

// Null or unconvertible input gives an empty result.
std::wstring AnsiToWide(const char* text);
std::string WideToAnsi(const wchar_t* text);

// The result holds no terminating NUL; an empty source gives an empty result.
std::string WideToMultiByte(const std::wstring& text, UINT codePage);
std::string WideToUtf8(const std::wstring& text);
std::string WideToAcp(const std::wstring& text);

// In place; the result is the byte count of the conversion, terminating NUL included,
// or 0 on failure, in which case the text is left as it was.
int Utf8ToAnsi(std::string& text);
int AnsiToUtf8(std::string& text);

// Windows Vista or later (NT platform, major version above 5); computed once.
bool IsVistaOrLater();
