// The single-instance hand-over: a second start finds the running window by its property and
// gives it its command line.
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

#include "common/convert.h"
#include "platform/windows/station.h"
#include "platform/windows/winuser.h"
#include "player/app/instance.h"

namespace {

// The running instance takes hand-overs one at a time and plays each, so ours may wait behind
// many; the bound only ends the wait on an instance that hangs.
constexpr DWORD kHandOverWaitMs = 120000;
constexpr int kHandOverTries = 5;
constexpr auto kFirstRetryDelay = std::chrono::milliseconds(100);

std::string HandOverFailure(DWORD error) {
    switch (error) {
    case ERROR_TIMEOUT: return "it did not answer within " + std::to_string(kHandOverWaitMs / 1000) + " s";
    case ERROR_ACCESS_DENIED: return "it refused the message";
    case ERROR_INVALID_WINDOW_HANDLE: return "its window is gone";
    default: return "error " + std::to_string(error);
    }
}

}  // namespace

HWND FindRunningInstanceWindow() {
    for (HWND h = ::GetWindow(::GetDesktopWindow(), GW_CHILD); h && ::IsWindow(h); h = ::GetWindow(h, GW_HWNDNEXT))
        if (::GetPropW(h, kMainWndProp)) return h;
    return nullptr;
}

void BringWindowToFront(HWND hwnd, int showCmd) {
    DWORD foreground = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    DWORD self = ::GetCurrentThreadId();
    ::AttachThreadInput(self, foreground, TRUE);
    if (showCmd) ::ShowWindow(hwnd, showCmd);
    ::SetForegroundWindow(hwnd);
    ::BringWindowToTop(hwnd);
    ::AttachThreadInput(self, foreground, FALSE);
}

bool HandOverToRunningInstance(HWND hwnd, const wchar_t* fileArg, const wchar_t* commandLine) {
    if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
    BringWindowToFront(hwnd, SW_SHOW);
    if (!fileArg || !fileArg[0] || !commandLine) return true;
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>((std::wcslen(commandLine) + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(commandLine);
    DWORD error = 0;
    for (int attempt = 1;; ++attempt) {
        if (platform::station::SendCopyData(hwnd, nullptr, data, kHandOverWaitMs, nullptr)) return true;
        error = GetLastError();
        // Only a hand-over that surely was not taken is tried again; one whose wait ran out may
        // still be handled.
        if (error != ERROR_INVALID_WINDOW_HANDLE || attempt == kHandOverTries) break;
        std::this_thread::sleep_for(kFirstRetryDelay * (1 << (attempt - 1)));
        // The instance may have closed, or been started again with a new window.
        hwnd = FindRunningInstanceWindow();
        if (!hwnd) break;
    }
    std::fprintf(stderr, "morvane: \"%s\" was not handed to the running instance: %s\n",
                 WideToUtf8(fileArg).c_str(), HandOverFailure(error).c_str());
    return false;
}
