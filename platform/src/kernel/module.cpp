#include "platform/kernel/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/text/codepage.h"

namespace platform {
namespace {

std::string ExecutablePath() {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return {};
    buf.resize(static_cast<size_t>(n));
    return buf;
}

std::wstring ModulePath(HMODULE module) {
    if (!module) {
        std::string exe = ExecutablePath();
        if (const char* dir = std::getenv("MORVANE_PROGRAM_DIR"); dir && *dir) {
            std::string d = dir;
            if (d.back() != '/') d += '/';
            auto slash = exe.rfind('/');
            exe = d + (slash == std::string::npos ? exe : exe.substr(slash + 1));
        }
        return WideFromUtf8(exe);
    }
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(module), &info) || !info.dli_fname) return {};
    std::string name = info.dli_fname;
    if (name.find('/') == std::string::npos) return ModulePath(nullptr);
    if (char* real = ::realpath(name.c_str(), nullptr)) {
        name = real;
        std::free(real);
    }
    // An address inside the program itself names the program.
    if (name == ExecutablePath()) return ModulePath(nullptr);
    return WideFromUtf8(name);
}

template <class C>
DWORD CopyPath(const std::basic_string<C>& s, C* out, DWORD size) {
    if (!out || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (s.size() >= size) {
        std::copy_n(s.data(), size - 1, out);
        out[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::copy_n(s.data(), s.size(), out);
    out[s.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(s.size());
}

std::mutex g_cmdMutex;
std::wstring g_cmdLine;

// The inverse of the usual Windows splitting rules: backslashes before a quote are doubled.
std::wstring QuoteArg(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"\n\v") == std::wstring::npos) return a;
    std::wstring r = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') r.append(slashes * 2 + 1, L'\\');
        else r.append(slashes, L'\\');
        slashes = 0;
        r += c;
    }
    r.append(slashes * 2, L'\\');
    return r + L"\"";
}

}  // namespace

std::wstring JoinCommandLine(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) line += L' ';
        line += QuoteArg(args[i]);
    }
    return line;
}

std::wstring ModuleFolder(HMODULE module) {
    std::wstring p = ModulePath(module);
    auto slash = p.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

}  // namespace platform

DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size) {
    return platform::CopyPath(platform::ModulePath(module), out, size);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size) {
    return platform::CopyPath(platform::AnsiFromWide(platform::ModulePath(module)), out, size);
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR addressOrName, HMODULE* module) {
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = nullptr;
    if (!(flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) || !addressOrName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<const void*>(addressOrName), &info) || !info.dli_fbase) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = static_cast<HMODULE>(info.dli_fbase);
    return TRUE;
}

void SetCommandLineFromArgv(int argc, char** argv) {
    std::lock_guard<std::mutex> lock(platform::g_cmdMutex);
    if (!platform::g_cmdLine.empty()) return;
    std::vector<std::wstring> args;
    for (int i = 0; i < argc && argv && argv[i]; ++i) args.push_back(platform::WideFromUtf8(argv[i]));
    platform::g_cmdLine = platform::JoinCommandLine(args);
}

LPWSTR GetCommandLineW() {
    std::lock_guard<std::mutex> lock(platform::g_cmdMutex);
    return platform::g_cmdLine.data();
}
