// A plain system message box, for code that runs without the skin (the installer plug-in).
#pragma once

#include "platform/base/wintypes.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONHAND 0x00000010L
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Shows the text modally and returns the pressed button. Without a display the text goes to
// standard error and the first button counts as pressed.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
