// Window-layer hooks of the paint manager over the platform's window calls.
#include "host.h"

#include "platform/windows/wincairo.h"
#include "platform/windows/winuser.h"

namespace skinui::host {

void Invalidate(HWND hwnd, const RECT* rc) {
    if (hwnd) ::InvalidateRect(hwnd, rc, FALSE);
}
bool SetTimer(HWND hwnd, UINT_PTR id, UINT elapse) { return hwnd && ::SetTimer(hwnd, id, elapse, nullptr) != 0; }
void KillTimer(HWND hwnd, UINT_PTR id) {
    if (hwnd) ::KillTimer(hwnd, id);
}
void SetCapture(HWND hwnd) {
    if (hwnd) ::SetCapture(hwnd);
}
void ReleaseCapture(HWND hwnd) {
    if (hwnd && ::GetCapture() == hwnd) ::ReleaseCapture();
}
void TrackMouseLeave(HWND hwnd) {
    if (!hwnd) return;
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof t;
    t.dwFlags = TME_LEAVE;
    t.hwndTrack = hwnd;
    ::TrackMouseEvent(&t);
}
POINT ScreenToClient(HWND hwnd, POINT pt) {
    if (hwnd) ::ScreenToClient(hwnd, &pt);
    return pt;
}
bool PointerInClient(HWND hwnd, POINT* client) {
    POINT pt;
    RECT rc;
    if (!hwnd || !::GetCursorPos(&pt) || !::GetClientRect(hwnd, &rc)) return false;
    ::ScreenToClient(hwnd, &pt);
    *client = pt;
    return PtInRectUI(rc, pt);
}
bool Paint(HWND hwnd, CPaintManagerUI* manager) {
    if (!hwnd) return false;
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(hwnd, &ps);
    if (cairo_t* cr = platform::DcCairo(dc)) manager->Paint(cr, ps.rcPaint);
    ::EndPaint(hwnd, &ps);
    return true;
}
void UpdateNow(HWND hwnd) {
    if (hwnd) ::UpdateWindow(hwnd);
}
bool KeyDown(int vk) { return (::GetKeyState(vk) & 0x8000) != 0; }
UINT_PTR PostAsyncNotify(HWND hwnd) { return hwnd && ::PostMessageW(hwnd, kAsyncNotifyMsg, 0, 0); }

}  // namespace skinui::host
