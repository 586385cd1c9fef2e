#include "platform/kernel/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/text/codepage.h"

namespace {

std::string HomeDir() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

// The value of one XDG_*_DIR line: a quoted path, where "$HOME/" may start it.
std::string XdgUserDir(const char* name, const std::string& fallback) {
    std::string home = HomeDir();
    std::string config;
    if (const char* c = std::getenv("XDG_CONFIG_HOME"); c && *c == '/') config = c;
    else config = home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line, key = std::string(name) + "=";
    while (std::getline(in, line)) {
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line.compare(b, key.size(), key) != 0) continue;
        std::string v = line.substr(b + key.size());
        if (v.size() < 2 || v.front() != '"') continue;
        size_t end = v.find('"', 1);
        if (end == std::string::npos) continue;
        v = v.substr(1, end - 1);
        if (v.rfind("$HOME", 0) == 0) v = home + v.substr(5);
        else if (v.empty() || v.front() != '/') continue;
        while (v.size() > 1 && v.back() == '/') v.pop_back();
        // A folder set to the home folder itself means "not configured".
        if (v == home) break;
        return v;
    }
    return fallback;
}

}  // namespace

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR path, int csidl, BOOL create) {
    if (!path || csidl != CSIDL_MYPICTURES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    path[0] = 0;
    std::string dir = XdgUserDir("XDG_PICTURES_DIR", HomeDir() + "/Pictures");
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
    }
    std::wstring w = platform::WideFromUtf8(dir);
    if (w.size() >= MAX_PATH) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::wcsncpy(path, w.c_str(), MAX_PATH);
    return TRUE;
}
