// The native window wrapper and the skin window base.
#include "skinui/window.h"

#include <algorithm>

#include <cwchar>

#include "platform/kernel/resources.h"
#include "host.h"
#include "skinui/builder.h"
#include "skinui/container.h"
#include "skinui/tooltip.h"

namespace skinui {

// ---- CWindowWnd ----

CWindowWnd::~CWindowWnd() {
    // The object goes before its window: the window must not call back into it.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        ::SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        ::DestroyWindow(h);
    }
}

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = GetClassStyle();
    wc.lpfnWndProc = &CWindowWnd::__WndProc;
    wc.lpszClassName = GetWindowClassName();
    // Registering twice is fine: every skin window shares the class procedure.
    return ::RegisterClassExW(&wc) != 0 || true;
}

HWND CWindowWnd::Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc, HMENU hMenu) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx, int cy,
                        HMENU hMenu) {
    RegisterWindowClass();
    m_hWnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName, dwStyle, x, y, cx, cy, hwndParent, hMenu,
                               nullptr, this);
    return m_hWnd;
}

LRESULT CWindowWnd::__WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        self = static_cast<CWindowWnd*>(cs->lpCreateParams);
        if (self) {
            self->m_hWnd = hWnd;
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg == WM_NCDESTROY && self) {
            LRESULT r = ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
            return r;
        }
    }
    if (!self) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_CLOSE) self->m_nModalResult = static_cast<UINT>(wParam);
    return self->HandleMessage(uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!m_hWnd) return;
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    if (!m_hWnd) return 0;
    m_bModal = true;
    m_nModalResult = 0;
    if (!::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    UINT_PTR r = platform::RunModalLoop(m_hWnd);
    m_bModal = false;
    // Ended by EndModalLoop: its result; ended by the window's destruction: what Close gave.
    return r ? static_cast<UINT>(r) : m_nModalResult;
}

void CWindowWnd::Close(UINT nRet) {
    if (!m_hWnd || !::IsWindow(m_hWnd)) return;
    ::PostMessageW(m_hWnd, WM_CLOSE, nRet, 0);
}

void CWindowWnd::CenterWindow() {
    if (!m_hWnd) return;
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    for (HWND next = owner; next; next = ::GetWindow(next, GW_OWNER)) owner = next;
    RECT area;
    if (owner && ::IsWindow(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        area = mi.rcWork;
    }
    int w = rcWnd.right - rcWnd.left, h = rcWnd.bottom - rcWnd.top;
    int x = (area.left + area.right - w) / 2, y = (area.top + area.bottom - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT) {}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (!m_hWnd) return;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    if (cx < 0) cx = rc.right - rc.left;
    if (cy < 0) cy = rc.bottom - rc.top;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) { return ::SendMessageW(m_hWnd, uMsg, wParam, lParam); }
LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) { return ::PostMessageW(m_hWnd, uMsg, wParam, lParam); }

void CWindowWnd::AddChild(HWND hwnd) {
    if (hwnd && std::find(m_children.begin(), m_children.end(), hwnd) == m_children.end()) m_children.push_back(hwnd);
}

void CWindowWnd::SHowAllChildWindows(bool bShow) {
    for (HWND h : m_children)
        if (::IsWindow(h)) ::ShowWindow(h, bShow ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// ---- WindowImplBase ----

static const DUI_MSGMAP_ENTRY kImplEntries[] = {
    {DUI_MSGTYPE_CLICK, nullptr, DuiMsgFn<WindowImplBase>(&WindowImplBase::OnClick)},
    {nullptr, nullptr, nullptr},
};
const DUI_MSGMAP WindowImplBase::messageMap = {&CNotifyPump::messageMap, kImplEntries};

WindowImplBase::~WindowImplBase() {
    m_PaintManager.RemovePreMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
}

void WindowImplBase::OnFinalMessage(HWND) {
    m_PaintManager.RemovePreMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
}

void WindowImplBase::Notify(TNotifyUI& msg) { NotifyPump(msg); }

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    CDuiString name = msg.pSender->GetName();
    if (name == L"closebtn") Close();
    else if (name == L"minbtn") SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn") SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn") SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM) { return FALSE; }

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
    if (uMsg == WM_KEYDOWN) {
        LRESULT r = ResponseDefaultKeyEvent(wParam);
        if (r) {
            bHandled = true;
            return r;
        }
    }
    return 0;
}

LONG WindowImplBase::GetStyle() { return WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN; }

bool WindowImplBase::IsInStaticControl(CControlUI* c) {
    if (!c) return false;
    // Anything that takes clicks keeps them; plain pictures and texts let the window move.
    return !(c->GetInterface(L"Button") || c->GetInterface(L"Edit") || c->GetInterface(L"Slider") ||
             c->GetInterface(L"Combo") || c->GetInterface(L"List") || c->GetInterface(L"HotKey") ||
             c->GetInterface(L"ListItem") || c->IsContextMenuUsed());
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    if (!::IsZoomed(m_hWnd)) {
        const RECT& box = m_PaintManager.GetSizeBox();
        bool top = pt.y < rc.top + box.top, bottom = pt.y >= rc.bottom - box.bottom;
        bool left = pt.x < rc.left + box.left, right = pt.x >= rc.right - box.right;
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
    }
    const RECT& cap = m_PaintManager.GetCaptionRect();
    // A negative bottom makes the whole window caption area.
    LONG capBottom = cap.bottom < 0 ? rc.bottom : rc.top + cap.bottom;
    if (pt.x >= rc.left + cap.left && pt.x < rc.right - cap.right && pt.y >= rc.top + cap.top && pt.y < capBottom) {
        if (IsInStaticControl(m_PaintManager.FindControl(pt))) return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    SIZE mn = m_PaintManager.GetMinInfo(), mx = m_PaintManager.GetMaxInfo();
    if (mn.cx > 0) mmi->ptMinTrackSize.x = mn.cx;
    if (mn.cy > 0) mmi->ptMinTrackSize.y = mn.cy;
    if (mx.cx > 0) mmi->ptMaxTrackSize.x = mx.cx;
    if (mx.cy > 0) mmi->ptMaxTrackSize.y = mx.cy;
    bHandled = FALSE;
    return 0;
}

#define SKINUI_PASS_ON(fn)                                             \
    LRESULT WindowImplBase::fn(UINT, WPARAM, LPARAM, BOOL& bHandled) { \
        bHandled = FALSE;                                              \
        return 0;                                                      \
    }
SKINUI_PASS_ON(OnMouseWheel)
SKINUI_PASS_ON(OnMouseHover)
SKINUI_PASS_ON(OnSize)
SKINUI_PASS_ON(OnMove)
SKINUI_PASS_ON(OnChar)
SKINUI_PASS_ON(OnKeyDown)
SKINUI_PASS_ON(OnKillFocus)
SKINUI_PASS_ON(OnSetFocus)
SKINUI_PASS_ON(OnLButtonDown)
SKINUI_PASS_ON(OnLButtonUp)
SKINUI_PASS_ON(OnMouseMove)
#undef SKINUI_PASS_ON

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

namespace {
// The archive a window asks for, loaded once per process and kept while it stays the same.
bool LoadSkinFor(UILIB_RESOURCETYPE type, const CDuiString& folder, LPCWSTR resourceId) {
    if (type == UILIB_ZIPRESOURCE) {
        int id = static_cast<int>(reinterpret_cast<uintptr_t>(resourceId) & 0xFFFF);
        platform::ResourceData res = platform::FindResourceData(L"ZIPRES", id);
        if (!res.data) {
            ReportError(L"the program has no skin resource " + std::to_wstring(id));
            return false;
        }
        return CSkinArchive::IsZipMemory(res.data) || CSkinArchive::SetZipMemory(res.data, res.size);
    }
    if (type == UILIB_FILE && !folder.empty()) CSkinArchive::SetFolder(folder);
    return true;
}
}  // namespace

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddPreMessageFilter(this);
    m_PaintManager.SetToolTipHook(&ShowControlToolTip, &HideControlToolTip);
    CDuiString file = GetSkinFile();
    if (!LoadSkinFor(GetResourceType(), GetSkinFolder(), GetResourceID())) {
        ReportError(L"window \"" + file + L"\": no skin to build it from");
        return -1;
    }
    CDialogBuilder builder;
    CControlUI* root = builder.Create(file.c_str(), this, &m_PaintManager);
    if (!root) {
        ReportError(L"window \"" + file + L"\" cannot be created: " + GetLastErrorMessage());
        return -1;
    }
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    SIZE init = m_PaintManager.GetInitSize();
    if (init.cx > 0 && init.cy > 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, init.cx, init.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    LRESULT ignored = 0;
    m_PaintManager.MessageHandler(WM_SIZE, 0, MAKELPARAM(rc.right - rc.left, rc.bottom - rc.top), ignored);
    m_PaintManager.UpdateLayout();
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    if (m_PaintManager.PreMessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    // Keys for a focused text or hot-key field go to the field; Enter and Esc also reach the window.
    if (uMsg == WM_KEYDOWN || uMsg == WM_SYSKEYDOWN || uMsg == WM_CHAR) {
        CControlUI* focus = m_PaintManager.GetFocus();
        // A hot-key field takes every key but Esc and Tab alone, which stay the window's.
        const bool plain = !host::KeyDown(VK_CONTROL) && !host::KeyDown(VK_SHIFT) && !host::KeyDown(VK_MENU);
        bool hotkey = focus && focus->GetInterface(L"HotKey") &&
                      !(uMsg != WM_CHAR && plain && (wParam == VK_ESCAPE || wParam == VK_TAB));
        bool edit = focus && focus->GetInterface(L"Edit");
        if (hotkey || (edit && !(uMsg != WM_CHAR && (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_TAB)))) {
            m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes);
            return 0;
        }
    }
    BOOL bHandled = TRUE;
    switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_NCACTIVATE: lRes = OnNcActivate(uMsg, wParam, lParam, bHandled); break;
    case WM_NCCALCSIZE: lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled); break;
    case WM_NCPAINT: lRes = OnNcPaint(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    case WM_GETMINMAXINFO: lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEWHEEL: lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZE: lRes = OnSize(uMsg, wParam, lParam, bHandled); break;
    case WM_MOVE: lRes = OnMove(uMsg, wParam, lParam, bHandled); break;
    case WM_CHAR: lRes = OnChar(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_KEYDOWN: lRes = OnKeyDown(uMsg, wParam, lParam, bHandled); break;
    case WM_KILLFOCUS: lRes = OnKillFocus(uMsg, wParam, lParam, bHandled); break;
    case WM_SETFOCUS: lRes = OnSetFocus(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONUP: lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONDOWN: lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEMOVE: lRes = OnMouseMove(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEHOVER: lRes = OnMouseHover(uMsg, wParam, lParam, bHandled); break;
    default: bHandled = FALSE; break;
    }
    if (bHandled) return lRes;
    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled) return lRes;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

}  // namespace skinui
