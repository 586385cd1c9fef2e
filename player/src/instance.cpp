// The single-instance hand-over: a second start finds the running window by its property and
// gives it its command line.
#include <cwchar>

#include "player/main_wnd.h"

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

void HandOverToRunningInstance(HWND hwnd, const wchar_t* fileArg, const wchar_t* commandLine) {
    if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
    BringWindowToFront(hwnd, SW_SHOW);
    if (!fileArg || !fileArg[0] || !commandLine) return;
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>((std::wcslen(commandLine) + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(commandLine);
    ::SendMessageW(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}
