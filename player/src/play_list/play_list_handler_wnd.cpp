// The play list's handle strip.
#include "player/play_list/play_list_handler_wnd.h"

#include "platform/windows/winuser.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"

using namespace skinui;

namespace {

const wchar_t* const kOpenLook[3] = {L"file='playlist_handler.png' source='0,0,15,80'",
                                     L"file='playlist_handler.png' source='15,0,30,80'",
                                     L"file='playlist_handler.png' source='30,0,45,80'"};
const wchar_t* const kCloseLook[3] = {L"file='playlist_handler.png' source='45,0,60,80'",
                                      L"file='playlist_handler.png' source='60,0,75,80'",
                                      L"file='playlist_handler.png' source='75,0,90,80'"};

bool PtIn(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

CPlayListHandlerWnd::CPlayListHandlerWnd(CPlayListWnd* list) : CWzXMLWnd(L"PlayListHandler.xml"), m_pListWnd(list) {}

CPlayListHandlerWnd::~CPlayListHandlerWnd() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::KillTimer(m_hWnd, IDT_HANDLER_AUTOSHOW);
}

void CPlayListHandlerWnd::InitWindow() {
    m_pExpand = static_cast<CButtonUI*>(m_PaintManager.FindControl(L"Handler_expand"));
    // The main window shows the list at start-up until the strip was clicked once.
    if (!g_SysConfig.bClickedListHandler) SetLook(true);
    m_bWatching = platform::WatchPointerOnce(m_hWnd, WM_HANDLER_WATCH);
    CheckIn(kCheckMs);
}

void CPlayListHandlerWnd::CheckIn(UINT ms) {
    if (m_nCheckMs && m_nCheckMs <= ms) return;
    m_nCheckMs = ms;
    ::SetTimer(m_hWnd, IDT_HANDLER_AUTOSHOW, ms, nullptr);
}

void CPlayListHandlerWnd::OnCheckTimer() {
    // Armed before the look, so that a change while it runs brings the next one.
    if (m_bWatching) m_bWatching = platform::WatchPointerOnce(m_hWnd, WM_HANDLER_WATCH);
    const bool out = OnAutoShowTimer(IDT_HANDLER_AUTOSHOW);
    // Out beside the hidden list, the pointer may leave the zone over a window not ours, which
    // tells us nothing; everything else that changes the rule is a change the watch reports.
    const UINT next = !m_bWatching ? kCheckMs : out ? kOutCheckMs : 0;
    if (next == m_nCheckMs) return;
    m_nCheckMs = next;
    if (next)
        ::SetTimer(m_hWnd, IDT_HANDLER_AUTOSHOW, next, nullptr);
    else
        ::KillTimer(m_hWnd, IDT_HANDLER_AUTOSHOW);
}

void CPlayListHandlerWnd::SetLook(bool listShown) {
    if (!m_pExpand) return;
    const wchar_t* const* look = listShown ? kCloseLook : kOpenLook;
    m_pExpand->SetNormalImage(look[0]);
    m_pExpand->SetHotImage(look[1]);
    m_pExpand->SetPushedImage(look[2]);
}

LRESULT CPlayListHandlerWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = CWzXMLWnd::HandleMessage(uMsg, wParam, lParam);
    switch (uMsg) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCHITTEST: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWnd, &pt);
        return m_pExpand && PtIn(m_pExpand->GetPos(), pt) ? HTCLIENT : HTTRANSPARENT;
    }
    case WM_TIMER:
        if (wParam == IDT_HANDLER_AUTOSHOW) OnCheckTimer();
        return lRes;
    case WM_HANDLER_WATCH:
        CheckIn(kCheckMs);
        return 0;
    default:
        return lRes;
    }
}

void CPlayListHandlerWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK) {
        OnClick(msg);
        return;
    }
    CWzXMLWnd::Notify(msg);
}

bool CPlayListHandlerWnd::ShouldShow(POINT c, const RECT& m, const RECT& h, const RECT& l, bool listVisible) {
    if (listVisible) return true;
    (void)h;
    (void)l;
    int mw = m.right - m.left, mh = m.bottom - m.top;
    RECT zone{m.right - mw / 3, m.top + mh / 4, m.right, m.bottom - mh / 4};
    return PtIn(zone, c);
}

bool CPlayListHandlerWnd::OnAutoShowTimer(UINT_PTR id) {
    if (id != IDT_HANDLER_AUTOSHOW || !m_pListWnd) return false;
    IPlayListOwner* owner = m_pListWnd->GetOwner();
    HWND main = owner ? owner->GetOwnerWindow() : nullptr;
    if (!main) return false;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    RECT m{}, h{}, l{};
    ::GetWindowRect(main, &m);
    ::GetWindowRect(m_hWnd, &h);
    ::GetWindowRect(m_pListWnd->GetHWND(), &l);
    bool listVisible = ::IsWindowVisible(m_pListWnd->GetHWND());
    // While the main window is hidden its strip stays hidden too.
    int show = ::IsWindowVisible(main) && ShouldShow(cursor, m, h, l, listVisible) ? 1 : 0;
    // The list's sliding ends after the click; the strip docks again once it has.
    int state = show | (listVisible ? 2 : 0);
    const bool out = show && !listVisible;
    if (state == m_nShownState) return out;
    m_nShownState = state;
    FollowList();
    if (!show) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return out;
    }
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    if (m_pExpand) m_pExpand->Invalidate();
    m_PaintManager._WMPaint();
    return out;
}

void CPlayListHandlerWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender && msg.pSender == m_pExpand) ToggleList();
    CWzXMLWnd::OnClick(msg);
}

void CPlayListHandlerWnd::ToggleList() {
    if (!m_pListWnd) return;
    IPlayListOwner* owner = m_pListWnd->GetOwner();
    HWND list = m_pListWnd->GetHWND();
    ::ShowWindow(m_hWnd, SW_HIDE);
    if (::IsWindowVisible(list)) {
        if (owner) owner->SetListJustShown(false);
        ::AnimateWindow(list, 200, AW_HIDE | AW_SLIDE | AW_HOR_POSITIVE);
        SetLook(false);
    } else {
        SetLook(true);
        ::InvalidateRect(list, nullptr, FALSE);
        if (owner && owner->IsListJustShown()) {
            owner->SetListJustShown(false);
            ::ShowWindow(list, SW_SHOWNOACTIVATE);
            // The satellites re-dock on a message of their own, not a made-up activation.
            if (!m_bClicked) ::PostMessageW(list, WM_PLAYER_REDOCK, 0, 0);
        } else {
            ::AnimateWindow(list, 200, AW_SLIDE | AW_HOR_NEGATIVE);
        }
    }
    m_bClicked = true;
    m_nShownState = -1;  // the next look decides afresh
    CheckIn(kCheckMs);
    if (!g_SysConfig.bClickedListHandler) {
        g_SysConfig.bClickedListHandler = 1;
        g_SysConfig.iniConfig.WriteInt(L"Global", L"bClickedListHandler", 1);
        if (owner) owner->ShowTip(L"下次启动时不会主动显示播放列表喽");
    }
    if (HWND main = owner ? owner->GetOwnerWindow() : nullptr) {
        ::SetActiveWindow(main);
        ::BringWindowToTop(main);
    }
    m_PaintManager._WMPaint();
    FollowList();
}

void CPlayListHandlerWnd::FollowList() {
    if (!m_hWnd || !m_pListWnd) return;
    HWND list = m_pListWnd->GetHWND();
    RECT h{}, l{};
    ::GetWindowRect(m_hWnd, &h);
    ::GetWindowRect(list, &l);
    int hw = h.right - h.left;
    int hh = l.bottom - l.top;
    if (::IsWindowVisible(list)) {
        ::SetWindowPos(m_hWnd, nullptr, l.left - hw, l.top, hw, hh, SWP_NOACTIVATE | SWP_NOZORDER);
    } else if (IPlayListOwner* owner = m_pListWnd->GetOwner(); owner && owner->GetOwnerWindow()) {
        RECT m{};
        ::GetWindowRect(owner->GetOwnerWindow(), &m);
        ::SetWindowPos(m_hWnd, nullptr, m.right - hw, m.top + 30, hw, hh, SWP_NOACTIVATE | SWP_NOZORDER);
    }
}
