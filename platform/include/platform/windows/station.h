// The window station: how a window of one process is found and reached from another.
// Every top-level window that has a title or a property is announced in the per-user runtime
// folder; messages to another process's window travel over that process's socket.
// The window core calls Publish/Withdraw; everything else is used through the window functions
// (FindWindowW, EnumWindows, GetPropW, IsWindow, SendMessageW, PostMessageW) on foreign handles.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/base/wintypes.h"

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

// The window layer's own numbers for another process's window: show it, or bring it to the front.
inline constexpr UINT kRemoteShow = 0x03F0;
inline constexpr UINT kRemoteForeground = 0x03F1;

// Messages below WM_USER whose parameters are (or may be) pointers, or that the station does not
// know. WM_COPYDATA and WM_SETTEXT cross only as copies of their bytes (SendCopyData,
// SendSetText); the others never cross, and a station refuses them when another process sends
// them as numbers. Messages from WM_USER up are the receiving program's own.
bool CarriesPointers(UINT msg);

// The longest texts and data that cross: longer ones are refused on both sides.
inline constexpr DWORD kMaxCopyDataBytes = 64u << 20;
inline constexpr size_t kMaxSetTextBytes = 128u << 10;  // in UTF-8

// The sends below fail with GetLastError: ERROR_INVALID_WINDOW_HANDLE when the window is gone or
// the connection broke before a reply (the receiver went away or dropped it), ERROR_ACCESS_DENIED
// when the peer is of another user or refused the message, ERROR_TIMEOUT when the wait ran out
// (the receiver may still handle it), ERROR_INVALID_PARAMETER for data over the bounds.

// Sends WM_COPYDATA to a window of another process and waits at most timeoutMs for its result.
bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result);
// Sends WM_SETTEXT with a copy of the text; the receiver hands its window its own copy.
bool SendSetText(HWND target, WPARAM wParam, const std::wstring& text, DWORD timeoutMs, LRESULT* result);
// Sends a message as plain numbers (WM_CLOSE, private numbers) to another process's window and
// waits at most timeoutMs (INFINITE: no bound) for its result.
bool SendRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result);
// Posts a message as plain numbers (WM_CLOSE, private numbers) to another process's window.
bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam);

// Installed by the window core: hands a message that arrived for one of this process's windows
// to that window (from one of the station's threads). `wait` is true for sends. Pointers in the
// parameters (WM_COPYDATA, WM_SETTEXT) point to the station's own copies, valid for the call.
using DeliverFn = LRESULT (*)(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, bool wait);
void SetDeliveryHook(DeliverFn fn);

}  // namespace platform::station
