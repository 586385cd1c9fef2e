#include "player/main_window/wnd_ui.h"

#include "platform/windows/winuser.h"

bool CWndUI::Attach(HWND hwnd) {
    if (!::IsWindow(hwnd)) return false;
    m_hWnd = hwnd;
    return true;
}

void CWndUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWndUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (m_hWnd) ::ShowWindow(m_hWnd, visible ? SW_SHOWNORMAL : SW_HIDE);
}

void CWndUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    if (m_hWnd) ::ShowWindow(m_hWnd, visible ? SW_SHOWNORMAL : SW_HIDE);
}

void EnableMessageFilter() {}
