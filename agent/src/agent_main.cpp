#include <cstdio>
#include <string>

#include "agent/agent.h"
#include "platform/kernel/module.h"
#include "platform/kernel/runtime_dir.h"
#include "platform/kernel/sync.h"

namespace {

// Held for the agent's whole life; the kernel drops it when the process ends, however it ends.
HANDLE g_instanceLock = nullptr;

std::wstring OwnFileName() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    size_t cut = p.find_last_of(L"\\/");
    return cut == std::wstring::npos ? p : p.substr(cut + 1);
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "MorvaneUAC: %s\n", why.c_str());
    return 1;
}

}  // namespace

LRESULT AgentWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COPYDATA:
        OnAssociationCommand(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

bool EnsureSingleAgentInstance(std::string* error) {
    if (error) error->clear();
    if (g_instanceLock) return true;
    HANDLE lock = CreateMutexW(nullptr, FALSE, kAgentWindowTitle);
    if (!lock) {
        // Not another agent: the lock cannot be had at all.
        if (error) {
            *error = platform::RuntimeDirProblem("sync");
            if (error->empty()) *error = "cannot make its lock in the runtime folder";
        }
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        return false;
    }
    g_instanceLock = lock;
    return true;
}

int AgentMain() {
    // The player finds the agent only through the window station: without a folder for it the
    // agent would wait unseen, so it says why and ends.
    if (std::string why = platform::RuntimeDirProblem("station"); !why.empty()) return Refuse(why);
    // The lock comes before the window, so two agents started at once cannot both go on.
    std::string why;
    if (!EnsureSingleAgentInstance(&why)) return why.empty() ? 0 : Refuse(why);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = AgentWndProc;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kAgentWindowClass;
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, kAgentWindowClass, kAgentWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 300, 200, nullptr, nullptr, nullptr, nullptr);
    // Without its window nobody can reach the agent: running on would only hold the lock.
    if (!hwnd) return Refuse("cannot make its window");
    SetPropW(hwnd, OwnFileName().c_str(), reinterpret_cast<HANDLE>(1));
    ShowWindow(hwnd, SW_HIDE);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
