// Window-layer hooks for managers without a window.
#include "host.h"

namespace skinui::host {

void Invalidate(HWND, const RECT*) {}
bool SetTimer(HWND, UINT_PTR, UINT) { return false; }
void KillTimer(HWND, UINT_PTR) {}
void SetCapture(HWND) {}
void ReleaseCapture(HWND) {}
void TrackMouseLeave(HWND) {}
POINT ScreenToClient(HWND, POINT pt) { return pt; }
bool Paint(HWND, CPaintManagerUI*) { return false; }
void UpdateNow(HWND) {}
bool KeyDown(int) { return false; }
UINT_PTR PostAsyncNotify(HWND) { return 0; }

}  // namespace skinui::host
