// Input of the main window: keys, hot keys, the mouse on the video, full screen and sizing.
#include "player/main_wnd.h"

bool CMorvaneWnd::HandleInputMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CMorvaneWnd::ResponseDefaultKeyEvent(WPARAM wParam) { return CWzXMLWnd::ResponseDefaultKeyEvent(wParam); }

LRESULT CMorvaneWnd::OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    return CWzXMLWnd::OnNcHitTest(uMsg, wParam, lParam, bHandled);
}

LRESULT CMorvaneWnd::OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    return CWzXMLWnd::OnKeyDown(uMsg, wParam, lParam, bHandled);
}

void CMorvaneWnd::SetFullScreen(bool on) { playerCtrl.bFullScreen = on; }

void CMorvaneWnd::ToggleFullScreen() { SetFullScreen(!playerCtrl.bFullScreen); }

LRESULT CALLBACK VideoSurfaceProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return g_pfnVideoSurfaceProc ? ::CallWindowProcW(g_pfnVideoSurfaceProc, hwnd, uMsg, wParam, lParam)
                                 : ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
}
