// The window station: how a window of one process is found and reached from another.
// Every top-level window that has a title or a property is announced in the per-user runtime
// folder; messages to another process's window travel over that process's socket.
// The window core calls Publish/Withdraw; everything else is used through the window functions
// (FindWindowW, EnumWindows, GetPropW, IsWindow, SendMessageW, PostMessageW) on foreign handles.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/wintypes.h"

namespace platform::station {

struct WindowEntry {
    HWND hwnd = nullptr;
    std::wstring className;
    std::wstring title;
    std::vector<std::pair<std::wstring, HANDLE>> props;
};

// Announces (or re-announces after a change) one of this process's top-level windows.
void Publish(const WindowEntry& entry);
// Removes the announcement when the window is destroyed.
void Withdraw(HWND hwnd);

// Live windows of every process of this user, this one included, oldest first.
std::vector<WindowEntry> Windows();
bool Lookup(HWND hwnd, WindowEntry* out);
bool IsAlive(HWND hwnd);

// Sends WM_COPYDATA to a window of another process and waits at most timeoutMs for its result.
// False when the window is gone, the peer refused, or the wait ran out.
bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result);
// Sends a message without pointer parameters (WM_CLOSE, private numbers) to another process's
// window and waits at most timeoutMs (INFINITE: no bound) for its result.
bool SendRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result);
// Posts a message without pointer parameters (WM_CLOSE, private numbers) to another process's window.
bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam);

// Installed by the window core: hands a message that arrived for one of this process's windows
// to that window (from the station's listener thread). `wait` is true for sends.
using DeliverFn = LRESULT (*)(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, bool wait);
void SetDeliveryHook(DeliverFn fn);

}  // namespace platform::station
