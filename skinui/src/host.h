// What the paint manager needs from the window layer. Every call accepts a null window
// (a manager without a window: layout and painting into images only).
#pragma once

#include "skinui/manager.h"

namespace skinui::host {

// Posted to a window to deliver its queued notifications.
inline constexpr UINT kAsyncNotifyMsg = WM_APP + 0x3A01;

void Invalidate(HWND hwnd, const RECT* rc);
bool SetTimer(HWND hwnd, UINT_PTR id, UINT elapse);
void KillTimer(HWND hwnd, UINT_PTR id);
void SetCapture(HWND hwnd);
void ReleaseCapture(HWND hwnd);
void TrackMouseLeave(HWND hwnd);
POINT ScreenToClient(HWND hwnd, POINT pt);
// The pointer in the window's client coordinates; false when it is outside the client area.
bool PointerInClient(HWND hwnd, POINT* client);
// Paints the window's invalid area now (WM_PAINT handling); false without a window.
bool Paint(HWND hwnd, CPaintManagerUI* manager);
void UpdateNow(HWND hwnd);
bool KeyDown(int vk);
UINT_PTR PostAsyncNotify(HWND hwnd);  // asks the window to flush queued notifications

}  // namespace skinui::host
