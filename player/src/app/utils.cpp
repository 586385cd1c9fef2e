#include "player/app/utils.h"

#include "platform/shell/shell.h"

#include <cwchar>
#include <filesystem>

namespace {

// The text of a quoted word from just after its opening quote, as the program's command line is
// built: 2n+1 backslashes before a quote stand for n backslashes and a quote inside the word, 2n
// for n backslashes and the closing quote; other backslashes stand for themselves. Null when the
// quote is never closed; else the character after the closing quote.
const wchar_t* ReadQuoted(const wchar_t* p, std::wstring* out) {
    for (;;) {
        size_t slashes = 0;
        while (*p == L'\\') ++slashes, ++p;
        if (*p == L'"') {
            if (out) out->append(slashes / 2, L'\\');
            ++p;
            if (slashes % 2 == 0) return p;
            if (out) *out += L'"';
            continue;
        }
        if (out) out->append(slashes, L'\\');
        if (!*p) return nullptr;
        if (out) *out += *p;
        ++p;
    }
}

}  // namespace

bool ParseCmdLineFile(const wchar_t* cmdLine, std::wstring& out) {
    out.clear();
    if (!cmdLine) return false;
    const wchar_t* p = cmdLine;
    if (*p == L'"') {
        p = ReadQuoted(p + 1, nullptr);
    } else {
        p = std::wcschr(p, L' ');
        if (p) ++p;
    }
    if (!p) return false;
    while (*p == L' ' || *p == L'\t') ++p;
    if (!*p) return false;
    if (*p == L'"') {
        std::wstring word;
        if (!ReadQuoted(p + 1, &word)) return false;
        out = std::move(word);
    } else {
        const wchar_t* end = std::wcschr(p, L' ');
        out.assign(p, end ? end : p + std::wcslen(p));
    }
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
