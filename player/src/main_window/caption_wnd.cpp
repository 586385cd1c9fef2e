#include "player/main_window/caption_wnd.h"

#include "platform/windows/winuser.h"
#include "player/dialogs/dialogs.h"
#include "player/engine/player_ctrl.h"
#include "player/main_window/main_menu.h"
#include "player/main_window/main_wnd_messages.h"
#include "skinui/controls.h"

using namespace skinui;

namespace {

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

}  // namespace

CCaptionWnd::CCaptionWnd(ICaptionOwner* owner)
    : CWzXMLWnd(kCaptionLayout), m_hOwnerWnd(owner ? owner->GetOwnerWindow() : nullptr), m_pOwner(owner) {}

void CCaptionWnd::InitWindow() {
    auto button = [this](const wchar_t* name) { return static_cast<CButtonUI*>(m_PaintManager.FindControl(name)); };
    m_pMinBtn = button(L"Minbtn");
    m_pMaxBtn = button(L"Maxbtn");
    m_pRestoreBtn = button(L"Restorebtn");
    m_pCloseBtn = button(L"Closebtn");
    m_pBtnMenu = button(L"btnMenu");
    m_pTitle = static_cast<CLabelUI*>(m_PaintManager.FindControl(L"playingtitle"));
    m_pSystemBtn = m_PaintManager.FindControl(L"Systembtn");
}

void CCaptionWnd::FollowOwner() {
    if (!m_hOwnerWnd || !m_hWnd) return;
    RECT owner{}, self{};
    ::GetWindowRect(m_hOwnerWnd, &owner);
    ::GetWindowRect(m_hWnd, &self);
    ::SetWindowPos(m_hWnd, nullptr, owner.left, owner.top, owner.right - owner.left, self.bottom - self.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CCaptionWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // The bar lives as long as the main window: a close request goes there instead.
    if (uMsg == WM_CLOSE) {
        ::PostMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
        return 0;
    }
    LRESULT lRes = CWzXMLWnd::HandleMessage(uMsg, wParam, lParam);
    switch (uMsg) {
        case WM_NCHITTEST: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ScreenToClient(m_hWnd, &pt);
            for (CControlUI* c : {static_cast<CControlUI*>(m_pBtnMenu), static_cast<CControlUI*>(m_pMinBtn),
                                  static_cast<CControlUI*>(m_pMaxBtn), static_cast<CControlUI*>(m_pRestoreBtn),
                                  static_cast<CControlUI*>(m_pCloseBtn)})
                if (c && Contains(c->GetPos(), pt)) return HTCLIENT;
            return HTTRANSPARENT;
        }
        case WM_KEYDOWN:
            ::SendMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
            return 0;
        case WM_PLAYER_PLAYING:
            if (m_pTitle && m_pOwner) m_pTitle->SetText(m_pOwner->GetCurrentTitle().c_str());
            return lRes;
        case WM_PLAYER_ENDED:
            if (m_pTitle) m_pTitle->SetText(L"");
            return lRes;
        case WM_PLAYER_STOPPED:
            if (m_pTitle) m_pTitle->SetText(L"");
            ::UpdateWindow(m_hWnd);
            return lRes;
        case WM_PLAYER_REPAINT:
            m_PaintManager._WMPaint();
            return 0;
        case WM_PLAYER_SHOW_ABOUT:
            ShowAboutWnd();
            return 0;
        case WM_PLAYER_SHOW_OPEN_URL:
            ShowOpenURLWnd();
            return 0;
        default:
            return lRes;
    }
}

LRESULT CCaptionWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam == VK_ESCAPE) ::SendMessageW(m_hOwnerWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

void CCaptionWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"click") {
        OnClick(msg);
        return;
    }
    CWzXMLWnd::Notify(msg);
}

void CCaptionWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender) {
        const CDuiString name = msg.pSender->GetName();
        if (name == L"Minbtn") {
            ::ShowWindow(m_hWnd, SW_HIDE);
            ::SendMessageW(m_hOwnerWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        } else if (name == L"Maxbtn") {
            ::SendMessageW(m_hOwnerWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
            if (m_pMaxBtn) m_pMaxBtn->SetVisible(false);
            if (m_pRestoreBtn) m_pRestoreBtn->SetVisible(true);
            ::SetForegroundWindow(m_hOwnerWnd);
        } else if (name == L"Restorebtn") {
            ::SendMessageW(m_hOwnerWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
            if (m_pMaxBtn) m_pMaxBtn->SetVisible(true);
            if (m_pRestoreBtn) m_pRestoreBtn->SetVisible(false);
        } else if (name == L"Closebtn") {
            ::SendMessageW(m_hOwnerWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (name == L"btnMenu") {
            ShowMainMenu(msg.ptMouse.x);
        }
    }
    CWzXMLWnd::OnClick(msg);
}

void CCaptionWnd::ShowMainMenu(int x) {
    if (nMenuArmed == 0) {
        nMenuArmed = 1;  // this click only closed the menu
        return;
    }
    nMenuArmed = 0;
    POINT pt{x, m_pBtnMenu ? m_pBtnMenu->GetPos().bottom : 0};
    ::ClientToScreen(m_hWnd, &pt);
    {
        CMainMenu menu(kMainMenuLayout);
        menu.Init(m_hWnd);
        menu.Track(pt.x, pt.y);
    }
    // Armed again however the menu closed: a dismissal must not cost the user a dead click.
    nMenuArmed = 1;
}

HWND CCaptionWnd::DialogOwner() const {
    // The dialogs are owned by the play panel, the last window of the owner chain, so that
    // every window of the chain is disabled while one runs.
    if (HWND panel = m_pOwner ? m_pOwner->GetPlayPanelWindow() : nullptr) return panel;
    return m_hWnd;
}

void CCaptionWnd::ShowAboutWnd() {
    // One dialog at a time: a request that arrives while one runs (a posted menu choice, a key)
    // is dropped instead of opening a second modal loop inside the first.
    if (m_bDialogOpen) return;
    m_bDialogOpen = true;
    ShowAboutDialog(DialogOwner());
    m_bDialogOpen = false;
}

void CCaptionWnd::ShowOpenURLWnd() {
    if (m_bDialogOpen || !m_pOwner) return;
    m_bDialogOpen = true;
    ShowOpenUrlDialog(DialogOwner(), *m_pOwner);
    m_bDialogOpen = false;
}
