#include "player/utils.h"

#include "platform/shell.h"

#include <cwchar>
#include <filesystem>

bool ParseCmdLineFile(const wchar_t* cmdLine, wchar_t* out) {
    if (!out) return false;
    out[0] = 0;
    if (!cmdLine) return false;
    const wchar_t* p = cmdLine;
    const wchar_t* end = *p == L'"' ? std::wcschr(p + 1, L'"') : std::wcschr(p, L' ');
    if (!end) return false;
    p = end + 1;
    while (*p == L' ' || *p == L'\t') ++p;
    if (!*p) return false;
    const wchar_t* argEnd;
    if (*p == L'"') {
        ++p;
        argEnd = std::wcschr(p, L'"');
        if (!argEnd) return false;
    } else {
        argEnd = std::wcschr(p, L' ');
        if (!argEnd) argEnd = p + std::wcslen(p);
    }
    size_t n = static_cast<size_t>(argEnd - p);
    // A cut path would name another file, so a too long one is refused.
    if (n >= kCmdLineFileChars) return false;
    std::wmemcpy(out, p, n);
    out[n] = 0;
    return true;
}

std::string AbsoluteFileArgument(const std::string& arg, const std::string& folder) {
    if (arg.empty() || arg.front() == '/' || arg.front() == '-' || arg.find("://") != std::string::npos || folder.empty())
        return arg;
    return (std::filesystem::path(folder) / arg).lexically_normal().string();
}

std::wstring BrowseForFolder(HWND owner, const wchar_t* title) {
    wchar_t name[MAX_PATH] = {};
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = name;
    bi.lpszTitle = title;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&bi);
    if (!chosen) return L"";
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = ::SHGetPathFromIDListW(chosen, path);
    ::ILFree(chosen);
    return ok ? path : L"";
}
