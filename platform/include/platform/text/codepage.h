// Code-page conversions between wide text (UTF-32 wchar_t) and narrow text.
// CP_UTF8 is UTF-8; CP_ACP ("ANSI") is the locale's character set, or the one named by
// MORVANE_ACP (for example GB18030), converted through iconv.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/wintypes.h"

#define CP_OEMCP 1
#define CP_THREAD_ACP 3

#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080

#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_INVALID_FLAGS 1004L

// Windows conventions: a source length of -1 includes the terminating NUL; an output size of
// 0 asks for the size needed; a too small output gives 0 and ERROR_INSUFFICIENT_BUFFER.
// With flags 0 invalid input is replaced (U+FFFD when widening, the default character or '?'
// when narrowing); MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS make it fail instead.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);

namespace platform {

// The character set CP_ACP stands for at this moment (iconv name, e.g. "UTF-8", "GB18030").
std::string AnsiCharset();

// UTF-8 helpers for the layers themselves (file names, file contents); invalid input is
// replaced, never dropped silently.
std::string Utf8FromWide(std::wstring_view w);
// The same, appended to `out` (no string of its own for each piece of a long text).
void AppendUtf8(std::string& out, std::wstring_view w);
std::wstring WideFromUtf8(std::string_view s);

// The same for the ANSI code page, for the layers' "A" entry points.
std::string AnsiFromWide(std::wstring_view w);
std::wstring WideFromAnsi(std::string_view s);

}  // namespace platform
