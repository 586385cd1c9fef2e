#include "skinui/tooltip.h"

#include <algorithm>

#include "skinui/controls.h"

namespace skinui {

namespace {
constexpr int kPadX = 10, kPadY = 5;
}  // namespace

CWzToolTip::~CWzToolTip() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        ::KillTimer(m_hWnd, kShowTimer);
        ::KillTimer(m_hWnd, kHideTimer);
    }
}

HWND CWzToolTip::Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle) {
    // A tip of a window stays with that window (owned windows share their owner's band); only
    // a tip of nobody's is over every other window.
    const DWORD band = hwndParent ? 0 : WS_EX_TOPMOST;
    return CWindowWnd::Create(hwndParent, pstrName, (dwStyle & ~WS_VISIBLE) | WS_POPUP,
                              dwExStyle | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | band, 0, 0, 1, 1);
}

void CWzToolTip::SetDefaultFont(LPCWSTR name, int size, bool bold, bool underline, bool italic) {
    m_sFont = name ? name : L"";
    m_nFontSize = size;
    m_bBold = bold;
    m_bUnderline = underline;
    m_bItalic = italic;
    if (m_hWnd) m_pm.SetDefaultFont(m_sFont.c_str(), m_nFontSize, m_bBold, m_bUnderline, m_bItalic);
}

void CWzToolTip::Show(const CDuiString& text, int x, int y) {
    if (!m_hWnd || !m_pLabel) return;
    m_sText = text;
    m_ptAt = {x, y};
    ::KillTimer(m_hWnd, kShowTimer);
    ::KillTimer(m_hWnd, kHideTimer);
    if (m_nDelayShow) ::SetTimer(m_hWnd, kShowTimer, m_nDelayShow, nullptr);
    else Present();
}

void CWzToolTip::Present() {
    m_pm.SetDefaultFont(m_sFont.c_str(), m_nFontSize, m_bBold, m_bUnderline, m_bItalic);
    m_pLabel->SetBkColor(m_bTrans ? 0xE0101010 : m_dwBkColor);
    m_pLabel->SetTextColor(m_dwTextColor);
    SIZE size = MeasureFor(m_sText);
    // A text wider than a fixed width goes on more lines; only a window of exact width for one
    // line (a time box) cuts it.
    const bool wrap = m_nFixedWidth > 0 && !m_bExactWidth && m_pm.MeasureText(m_sText, -1).cx + 2 * kPadX > m_nFixedWidth;
    m_pLabel->SetTextStyle((wrap ? DT_WORDBREAK : DT_SINGLELINE | DT_END_ELLIPSIS) | DT_VCENTER | (m_bCenter ? DT_CENTER : DT_LEFT));
    m_pLabel->SetText(m_sText.c_str());
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    UINT flags = SWP_NOACTIVATE | SWP_SHOWWINDOW;
    if (owner && !(::GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
        // Where owned windows are, right over its owner: other programs' windows above the
        // owner stay above it.
        ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        flags |= SWP_NOZORDER;
    }
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, m_ptAt.x, m_ptAt.y, size.cx, size.cy, flags);
    m_pm.Invalidate();
    if (m_nShowTime) ::SetTimer(m_hWnd, kHideTimer, m_nShowTime, nullptr);
}

SIZE CWzToolTip::MeasureFor(const CDuiString& text) {
    m_pm.SetDefaultFont(m_sFont.c_str(), m_nFontSize, m_bBold, m_bUnderline, m_bItalic);
    SIZE t = m_pm.MeasureText(text, -1);
    int w = t.cx + 2 * kPadX;
    if (m_nFixedWidth > 0 && w > m_nFixedWidth && !m_bExactWidth) {
        w = m_nFixedWidth;
        t = m_pm.MeasureText(text, -1, std::max(1, w - 2 * kPadX));
    } else if (m_nFixedWidth > 0 && m_bExactWidth) {
        w = m_nFixedWidth;
    }
    return SIZE{std::max(w, 1), t.cy + 2 * kPadY};
}

void CWzToolTip::Hide() {
    if (!m_hWnd) return;
    ::KillTimer(m_hWnd, kShowTimer);
    ::KillTimer(m_hWnd, kHideTimer);
    ::ShowWindow(m_hWnd, SW_HIDE);
}

bool CWzToolTip::IsShown() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }

LRESULT CWzToolTip::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_CREATE: {
        m_pm.Init(m_hWnd);
        m_pLabel = new CLabelUI;
        m_pLabel->SetTextPadding({kPadX, 0, kPadX, 0});
        m_pm.AttachDialog(m_pLabel);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kShowTimer) {
            ::KillTimer(m_hWnd, kShowTimer);
            Present();
            return 0;
        }
        if (wParam == kHideTimer) {
            Hide();
            return 0;
        }
        break;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCHITTEST: return HTTRANSPARENT;
    default: break;
    }
    LRESULT lRes = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

// ---- the time tip of a seek slider ----

CWzPlayProgressToolTip::CWzPlayProgressToolTip() {
    SetShowTime(0);
    SetDelayShow(0);
    SetBkColor(0xF0202020);
    SetTextColor(0xFFFFFFFF);
    SetTextCenter(true);
    SetDefaultFont(L"微软雅黑", 12, false, false, false);
}

HWND CWzPlayProgressToolTip::Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle) {
    HWND h = CWzToolTip::Create(hwndParent, pstrName, dwStyle, dwExStyle);
    if (h) {
        SetExactWidth(true);
        SetLabelFixedWidth(0);
        SetLabelFixedWidth(MeasureFor(L"00:00:00").cx);
    }
    return h;
}

SIZE CWzPlayProgressToolTip::GetSize() { return MeasureFor(L"00:00:00"); }

// ---- tool tips of controls ----

namespace {
CWzToolTip*& SharedTip() {
    static CWzToolTip* tip = nullptr;  // lives as long as the process, like its window
    return tip;
}
}  // namespace

CWzToolTip* GetControlToolTip() { return SharedTip(); }

void ShowControlToolTip(CPaintManagerUI* manager, CControlUI* control, POINT ptClient) {
    if (!manager || !control || control->GetToolTip().empty() || !manager->GetPaintWindow()) return;
    CWzToolTip*& tip = SharedTip();
    if (!tip) tip = new CWzToolTip;
    HWND owner = manager->GetPaintWindow();
    while (owner && (::GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);
    if (!tip->GetHWND()) {
        if (!tip->Create(owner, L"", 0, 0)) return;
        tip->SetShowTime(5000);
        tip->SetDefaultFont(L"微软雅黑", 12, false, false, false);
        tip->SetBkColor(0xFFFFFFE1);
        tip->SetTextColor(0xFF333333);
    }
    // Owned by the window of the control: it goes with it when that window leaves the screen.
    if (::GetWindow(tip->GetHWND(), GW_OWNER) != owner) ::SetWindowLongPtrW(tip->GetHWND(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    ::ClientToScreen(manager->GetPaintWindow(), &ptClient);
    tip->Show(control->GetToolTip(), ptClient.x + 10, ptClient.y + 20);
}

void HideControlToolTip(CPaintManagerUI*) {
    if (CWzToolTip* tip = SharedTip()) tip->Hide();
}

}  // namespace skinui
