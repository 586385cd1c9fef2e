// The shell calls of the program: change notices, the recycle bin, the open-file and folder
// dialogs, and the clipboard. Starting programs and opening addresses (ShellExecuteW) live in
// platform/kernel/process.h, dropped files (DragQueryFileW) in platform/windows/winuser.h, special folders in
// platform/kernel/folders.h; this header includes the first two.
//
// Differences a caller may meet:
// - SHChangeNotify tells no desktop here (desktops read handlers from desktop files): each notice
//   is appended as one line, the event in hex, to "shell-notices" in the runtime folder
//   (platform/kernel/runtime_dir.h), so that any process can count them (platform::shell).
// - The recycle bin is the desktop's trash (GIO). When a file cannot be moved to the trash it is
//   left where it is and the delete fails: it is removed for good only without FOF_ALLOWUNDO.
// - The dialogs are GTK's. For tests, MORVANE_DIALOG_ANSWER answers every dialog without showing
//   one: absolute paths separated by '|' are the choice; an empty value is a cancel. Unset, the
//   real dialog shows. A test inside the process sets the same answer with
//   platform::shell::SetDialogAnswer instead: changing the environment while other threads run
//   (libVLC's, the player's workers) can crash their getenv.
// - Paths come back with '/' separators.
// - The clipboard is the X clipboard (GTK, UI thread): text and images; a process serves what it
//   put there while its main loop runs.
#pragma once

#include <optional>
#include <string>

#include "platform/shell/com.h"
#include "platform/kernel/memory.h"  // GlobalAlloc, GlobalFree
#include "platform/kernel/process.h"
#include "platform/windows/winuser.h"

// ---- Change notices

#define SHCNE_RENAMEITEM 0x00000001L
#define SHCNE_CREATE 0x00000002L
#define SHCNE_DELETE 0x00000004L
#define SHCNE_MKDIR 0x00000008L
#define SHCNE_RMDIR 0x00000010L
#define SHCNE_UPDATEDIR 0x00001000L
#define SHCNE_UPDATEITEM 0x00002000L
#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNF_IDLIST 0x0000
#define SHCNF_PATHA 0x0001
#define SHCNF_PATHW 0x0005
#define SHCNF_FLUSH 0x1000

void SHChangeNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);

namespace platform::shell {

// How many notices of that event (all events with 0) the runtime folder has recorded so far,
// from every process that shares it.
int ChangeNoticeCount(LONG eventId = 0);

// Answers the dialogs of this process as MORVANE_DIALOG_ANSWER would, taking precedence over it;
// nullopt removes the answer.
void SetDialogAnswer(const std::optional<std::string>& answer);

}  // namespace platform::shell

// ---- File operations: only deleting, to the recycle bin or for good

#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004
#define FOF_SILENT 0x0004
#define FOF_NOCONFIRMATION 0x0010
#define FOF_ALLOWUNDO 0x0040
#define FOF_NOERRORUI 0x0400
using FILEOP_FLAGS = WORD;

// pFrom is a list of paths, each ended by a NUL, the list ended by one more NUL.
struct SHFILEOPSTRUCTA {
    HWND hwnd;
    UINT wFunc;
    LPCSTR pFrom;
    LPCSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCSTR lpszProgressTitle;
};
struct SHFILEOPSTRUCTW {
    HWND hwnd;
    UINT wFunc;
    LPCWSTR pFrom;
    LPCWSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCWSTR lpszProgressTitle;
};
// 0 when every path was deleted (folders with their content); else the error of the first path
// that failed (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...), the later paths still tried.
// Other operations give ERROR_INVALID_PARAMETER. Narrow paths are in the ANSI code page.
int SHFileOperationA(SHFILEOPSTRUCTA* op);
int SHFileOperationW(SHFILEOPSTRUCTW* op);

// ---- The open-file dialog

#define OFN_READONLY 0x00000001
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_ALLOWMULTISELECT 0x00000200
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_EXPLORER 0x00080000
#define FNERR_BUFFERTOOSMALL 0x3003

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;  // pairs of description and patterns ("*.a;*.b"), each ended by NUL, then NUL
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;  // 1-based; 0 takes the first
    LPWSTR lpstrFile;    // in: an initial name or empty; out: the choice
    DWORD nMaxFile;      // characters
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};

// TRUE on a choice. One file: its full path. With OFN_ALLOWMULTISELECT and several files: the
// folder, then each name, each ended by NUL, then one more NUL. The process's current folder
// becomes the chosen folder unless OFN_NOCHANGEDIR. FALSE on cancel (CommDlgExtendedError 0), or
// when the choice does not fit nMaxFile (FNERR_BUFFERTOOSMALL). The owner is disabled while the
// dialog runs. With OFN_FILEMUSTEXIST a missing file cannot be chosen.
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);
DWORD CommDlgExtendedError();

// ---- The folder dialog

#define BIF_RETURNONLYFSDIRS 0x00000001
#define BIF_NEWDIALOGSTYLE 0x00000040
#define BIF_NONEWFOLDERBUTTON 0x00000200

struct ITEMIDLIST;  // a chosen folder
using LPITEMIDLIST = ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);
struct BROWSEINFOW {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPWSTR pszDisplayName;  // MAX_PATH characters: the folder's name
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};

// The chosen folder, to be freed with CoTaskMemFree (or ILFree); null on cancel.
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info);
// The folder's path (MAX_PATH characters); FALSE for a null list.
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);
void ILFree(PIDLIST_ABSOLUTE list);
void CoTaskMemFree(LPVOID mem);

// ---- Bitmaps, for the clipboard

#define IMAGE_BITMAP 0
#define LR_LOADFROMFILE 0x00000010
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
using HGDIOBJ = void*;

// IMAGE_BITMAP with LR_LOADFROMFILE: any image file gdk-pixbuf reads (BMP, PNG, JPEG); cx and cy
// of 0 keep its size. Null when the file is missing or no image.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
// Frees a bitmap of LoadImageW or GetClipboardData(CF_BITMAP).
BOOL DeleteObject(HGDIOBJ object);

namespace platform::shell {

// The size of a bitmap; false for a null handle.
bool BitmapSize(HBITMAP bitmap, int* width, int* height);
// The pixel at (x, y) as 0xRRGGBB; 0 outside.
DWORD BitmapPixel(HBITMAP bitmap, int x, int y);

}  // namespace platform::shell

// ---- The clipboard

#define CF_TEXT 1
#define CF_BITMAP 2
#define CF_UNICODETEXT 13

// One thread of the process has the clipboard open at a time; FALSE while another has it, or
// without a display.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Takes the clipboard over, empty; the clipboard must be open.
BOOL EmptyClipboard();
// CF_UNICODETEXT and CF_TEXT take GlobalAlloc memory holding a NUL-ended text (wide; ANSI), and
// CF_BITMAP a bitmap; the clipboard owns the memory from then on, a bitmap stays the caller's.
// Null (and nothing placed) without EmptyClipboard first, or for other formats.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The clipboard's content in that format: text as GlobalLock-able memory, an image as a bitmap.
// Valid until CloseClipboard (a bitmap until DeleteObject). Null when it has none.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
