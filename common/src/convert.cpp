#include "common/convert.h"

#include <atomic>

#include "platform/text/codepage.h"
#include "platform/kernel/version.h"

namespace {

// Size query, then the conversion into exactly that much room.
std::wstring Widen(UINT codePage, const char* text) {
    if (!text) return {};
    int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (MultiByteToWideChar(codePage, 0, text, -1, out.data(), n) != n) return {};
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string Narrow(UINT codePage, const wchar_t* text, int* converted = nullptr) {
    if (converted) *converted = 0;
    if (!text) return {};
    int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    int done = WideCharToMultiByte(codePage, 0, text, -1, out.data(), n, nullptr, nullptr);
    if (done != n) return {};
    if (converted) *converted = done;
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

int Recode(std::string& text, UINT from, UINT to) {
    std::wstring wide = Widen(from, text.c_str());
    if (wide.empty() && !text.empty() && text[0] != '\0') return 0;
    int converted = 0;
    std::string out = Narrow(to, wide.c_str(), &converted);
    if (converted == 0) return 0;
    text = out;
    return converted;
}

}  // namespace

std::wstring AnsiToWide(const char* text) { return Widen(CP_ACP, text); }

std::string WideToAnsi(const wchar_t* text) { return Narrow(CP_ACP, text); }

std::string WideToMultiByte(const std::wstring& text, UINT codePage) {
    if (text.empty()) return {};
    return Narrow(codePage, text.c_str());
}

std::string WideToUtf8(const std::wstring& text) { return WideToMultiByte(text, CP_UTF8); }

std::string WideToAcp(const std::wstring& text) { return WideToMultiByte(text, CP_ACP); }

int Utf8ToAnsi(std::string& text) { return Recode(text, CP_UTF8, CP_ACP); }

int AnsiToUtf8(std::string& text) { return Recode(text, CP_ACP, CP_UTF8); }

bool IsVistaOrLater() {
    // Two threads computing it at once store the same answer.
    static std::atomic<int> cached{-1};
    int c = cached.load(std::memory_order_relaxed);
    if (c >= 0) return c != 0;
    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    DWORD platformId = 0, major = 0;
    if (GetVersionExW(&ex)) {
        platformId = ex.dwPlatformId;
        major = ex.dwMajorVersion;
    } else {
        OSVERSIONINFOW basic{};
        basic.dwOSVersionInfoSize = sizeof basic;
        if (!GetVersionExW(&basic)) return false;  // not cached: a later call asks again
        platformId = basic.dwPlatformId;
        major = basic.dwMajorVersion;
    }
    bool result = platformId == VER_PLATFORM_WIN32_NT && major > 5;
    cached.store(result ? 1 : 0, std::memory_order_relaxed);
    return result;
}
