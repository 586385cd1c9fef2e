// The combo box and its drop-down list.
#include <algorithm>
#include <cwchar>

#include "render.h"
#include "skinui/list.h"
#include "skinui/manager.h"
#include "skinui/window.h"

namespace skinui {

namespace {

IListItemUI* ItemOf(CControlUI* row) { return row ? static_cast<IListItemUI*>(row->GetInterface(L"ListItem")) : nullptr; }

// The rows of a combo drawn in the drop-down window; the rows themselves stay in the combo.
class DropList : public CControlUI {
public:
    explicit DropList(CComboUI* combo) : m_combo(combo) { m_hot = combo->GetCurSel(); }
    int Hot() const { return m_hot; }
    void SetHot(int index) {
        m_hot = std::clamp(index, -1, m_combo->GetCount() - 1);
        EnsureVisible(m_hot);
        Invalidate();
    }
    int ContentHeight() const {
        int h = 0;
        for (int i = 0; i < m_combo->GetCount(); ++i) h += m_combo->RowHeight(m_combo->GetItemAt(i));
        return h;
    }
    int RowAt(POINT pt) const {
        if (!PtInRectUI(m_rcItem, pt)) return -1;
        int y = m_rcItem.top + 1 - m_scroll;
        for (int i = 0; i < m_combo->GetCount(); ++i) {
            int h = m_combo->RowHeight(m_combo->GetItemAt(i));
            if (pt.y >= y && pt.y < y + h) return i;
            y += h;
        }
        return -1;
    }
    void ScrollBy(int dy) {
        int range = std::max(0, ContentHeight() + 2 - GetHeight());
        m_scroll = std::clamp(m_scroll + dy, 0, range);
        Invalidate();
    }
    void EnsureVisible(int index) {
        if (index < 0) return;
        int top = 0;
        for (int i = 0; i < index; ++i) top += m_combo->RowHeight(m_combo->GetItemAt(i));
        int h = m_combo->RowHeight(m_combo->GetItemAt(index)), view = GetHeight() - 2;
        if (top < m_scroll) m_scroll = top;
        else if (top + h > m_scroll + view) m_scroll = top + h - view;
    }
    // Set when a row was clicked: the drop-down ends with it chosen.
    int chosen = -2;

    void DoEvent(TEventUI& event) override {
        switch (event.Type) {
            case UIEVENT_MOUSEMOVE:
                if (int r = RowAt(event.ptMouse); r >= 0 && r != m_hot) SetHot(r);
                return;
            case UIEVENT_BUTTONUP:
                if (int r = RowAt(event.ptMouse); r >= 0 && m_combo->GetItemAt(r)->IsEnabled()) chosen = r;
                return;
            case UIEVENT_SCROLLWHEEL:
                ScrollBy(GET_WHEEL_DELTA_WPARAM(event.wParam) > 0 ? -30 : 30);
                return;
            default:
                CControlUI::DoEvent(event);
        }
    }
    void DoPaint(cairo_t* cr, const RECT&) override {
        TListInfoUI* info = m_combo->GetListInfo();
        render::FillRect(cr, m_rcItem, info->dwBkColor ? info->dwBkColor : 0xFFFFFFFF);
        cairo_save(cr);
        cairo_rectangle(cr, m_rcItem.left + 1, m_rcItem.top + 1, GetWidth() - 2, GetHeight() - 2);
        cairo_clip(cr);
        int y = m_rcItem.top + 1 - m_scroll;
        for (int i = 0; i < m_combo->GetCount(); ++i) {
            CControlUI* row = m_combo->GetItemAt(i);
            int h = m_combo->RowHeight(row);
            RECT rc{m_rcItem.left + 1, y, m_rcItem.right - 1, y + h};
            y += h;
            if (rc.bottom < m_rcItem.top || rc.top > m_rcItem.bottom) continue;
            bool selected = i == m_combo->GetCurSel(), hot = i == m_hot;
            DWORD bk = hot ? info->dwHotBkColor : selected ? info->dwSelectedBkColor : 0;
            if (bk) render::FillRect(cr, rc, bk);
            DWORD color = !row->IsEnabled() ? info->dwDisabledTextColor
                          : selected        ? info->dwSelectedTextColor
                          : hot             ? info->dwHotTextColor
                                            : info->dwTextColor;
            RECT text{rc.left + info->rcTextPadding.left, rc.top + info->rcTextPadding.top, rc.right - info->rcTextPadding.right,
                      rc.bottom - info->rcTextPadding.bottom};
            render::DrawText(cr, m_pManager, text, row->GetText(), color, info->nFont, info->uTextStyle | DT_END_ELLIPSIS);
        }
        cairo_restore(cr);
        render::DrawBorder(cr, m_rcItem, 1, 0xFFA0A0A0, SIZE{0, 0});
    }

private:
    CComboUI* m_combo;
    int m_hot = -1;
    int m_scroll = 0;
};

}  // namespace

// The drop-down window; it lives while the combo's Activate runs.
class CComboUI::DropDown : public CWindowWnd {
public:
    explicit DropDown(CComboUI* combo) : m_combo(combo), m_list(new DropList(combo)) {}
    ~DropDown() override {
        if (m_hWnd) ::DestroyWindow(m_hWnd);
    }
    DropList* List() const { return m_list; }

protected:
    LPCWSTR GetWindowClassName() const override { return L"WzComboDrop"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        switch (uMsg) {
            case WM_CREATE:
                m_pm.Init(m_hWnd);
                if (TFontInfo* f = m_combo->GetManager()->GetDefaultFontInfo())
                    m_pm.SetDefaultFont(f->sFontName.c_str(), f->iSize, f->bBold, f->bUnderline, f->bItalic);
                for (int id = 0; id < 16; ++id) {
                    TFontInfo* f = m_combo->GetManager()->GetFontInfo(id);
                    if (f != m_combo->GetManager()->GetDefaultFontInfo())
                        m_pm.AddFont(id, f->sFontName.c_str(), f->iSize, f->bBold, f->bUnderline, f->bItalic, false);
                }
                m_pm.AttachDialog(m_list);
                return 0;
            case WM_NCHITTEST:
                return HTCLIENT;
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;
            case WM_DESTROY:
                m_pm.Init(nullptr);
                break;
            default:
                break;
        }
        LRESULT lRes = 0;
        if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    CComboUI* m_combo;
    CPaintManagerUI m_pm;  // owns the list
    DropList* m_list;
};

CComboUI::CComboUI() {
    m_ListInfo.dwSelectedBkColor = 0xFFE9F5FF;
    m_ListInfo.dwHotBkColor = 0xFFC1E3FF;
    m_ListInfo.dwTextColor = 0xFF333333;
    m_ListInfo.dwSelectedTextColor = 0xFF333333;
    m_ListInfo.dwHotTextColor = 0xFF333333;
}

CComboUI::~CComboUI() { delete m_pDrop; }

void* CComboUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Combo") == 0) return this;
    if (std::wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CContainerUI::GetInterface(name);
}

void CComboUI::ReIndex() {
    for (int i = 0; i < GetCount(); ++i)
        if (IListItemUI* item = ItemOf(GetItemAt(i))) item->SetIndex(i);
}

bool CComboUI::SelectItem(int index, bool bTakeFocus, bool bTriggerEvent) {
    if (bTakeFocus) SetFocus();
    if (index < -1 || index >= GetCount()) return false;
    if (index == m_iCurSel) return true;
    int old = m_iCurSel;
    if (IListItemUI* item = ItemOf(GetItemAt(old))) item->Select(false);
    m_iCurSel = index;
    if (IListItemUI* item = ItemOf(GetItemAt(index))) item->Select(true);
    Invalidate();
    if (bTriggerEvent && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(index), old);
    return true;
}

bool CComboUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CComboUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    if (IListItemUI* item = ItemOf(control)) item->SetOwner(this);
    if (m_iCurSel >= index) ++m_iCurSel;
    ReIndex();
    return true;
}

bool CComboUI::Remove(CControlUI* control) { return RemoveAt(GetItemIndex(control)); }

bool CComboUI::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return false;
    if (!CContainerUI::RemoveAt(index)) return false;
    if (m_iCurSel == index) m_iCurSel = -1;
    else if (m_iCurSel > index) --m_iCurSel;
    ReIndex();
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    CContainerUI::RemoveAll();
    m_iCurSel = -1;
    Invalidate();
}

CDuiString CComboUI::GetText() const {
    CControlUI* row = GetItemAt(m_iCurSel);
    return row ? row->GetText() : CDuiString();
}

int CComboUI::RowHeight(CControlUI* row) const {
    if (!row) return 0;
    if (row->GetFixedHeight() > 0) return row->GetFixedHeight();
    return m_pManager ? m_pManager->MeasureText(L"Ag", m_ListInfo.nFont >= 0 ? m_ListInfo.nFont : m_iFont).cy + 8 : 24;
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate() || m_pDrop || !m_pManager || !m_pManager->GetPaintWindow() || !platform::HasDisplay())
        return false;
    HWND owner = m_pManager->GetPaintWindow();
    // The drop-down takes the mouse: the press that opened it keeps no capture.
    m_pManager->ReleaseCapture();
    m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
    m_pDrop = new DropDown(this);
    DropList* list = m_pDrop->List();
    int height = std::clamp(list->ContentHeight() + 2, 24, std::max(24, m_nDropHeight));
    POINT at{m_rcItem.left, m_rcItem.bottom};
    ::ClientToScreen(owner, &at);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &mi);
    if (at.y + height > mi.rcWork.bottom) at.y -= height + GetHeight();  // above it where the screen ends
    if (!m_pDrop->Create(owner, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, at.x, at.y, GetWidth(), height)) {
        CloseDropDown();
        return false;
    }
    HWND drop = m_pDrop->GetHWND();
    ::ShowWindow(drop, SW_SHOWNOACTIVATE);
    list->SetHot(m_iCurSel);
    Invalidate();
    int chosen = -1;
    // Ends too when another application takes the focus from ours.
    bool wasActive = ::GetActiveWindow() != nullptr;
    while (m_pDrop && list->chosen == -2 && !(wasActive && !::GetActiveWindow())) {
        MSG msg;
        if (!::GetMessageW(&msg, nullptr, 0, 0)) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool press = msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN || msg.message == WM_MBUTTONDOWN ||
                     msg.message == WM_LBUTTONDBLCLK || msg.message == WM_NCLBUTTONDOWN;
        if (press && msg.hwnd != drop) break;  // a press elsewhere closes it and is used up
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            if (msg.wParam == VK_ESCAPE || msg.wParam == VK_MENU) break;
            if (msg.wParam == VK_UP || msg.wParam == VK_DOWN)
                list->SetHot(std::max(0, list->Hot() + (msg.wParam == VK_UP ? -1 : 1)));
            if ((msg.wParam == VK_RETURN || msg.wParam == VK_SPACE) && list->Hot() >= 0) list->chosen = list->Hot();
            continue;
        }
        if (msg.message == WM_KEYUP || msg.message == WM_CHAR || msg.message == WM_SYSKEYUP || msg.message == WM_SYSCHAR) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (m_pDrop) chosen = list->chosen;
    CloseDropDown();
    if (chosen >= 0) SelectItem(chosen, false, true);
    return true;
}

void CComboUI::CloseDropDown() {
    DropDown* drop = m_pDrop;
    m_pDrop = nullptr;
    delete drop;
    Invalidate();
}

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) {
    // The rows are shown by the drop-down list only.
    CControlUI::SetPos(rc, bNeedInvalidate);
    for (CControlUI* row : m_items) row->SetPos(RECT{0, 0, 0, 0}, false);
}

void CComboUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsEnabled()) {
                if (m_pManager) m_pManager->SetFocus(this);
                Activate();
            }
            return;
        case UIEVENT_MOUSEENTER:
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_BUTTONUP:
        case UIEVENT_MOUSEMOVE:
            return;
        case UIEVENT_KEYDOWN:
            if (event.chKey == VK_UP && m_iCurSel > 0) SelectItem(m_iCurSel - 1);
            else if (event.chKey == VK_DOWN && m_iCurSel + 1 < GetCount()) SelectItem(m_iCurSel + 1);
            else if (event.chKey == VK_RETURN || event.chKey == VK_F4) Activate();
            return;
        case UIEVENT_SCROLLWHEEL:
            if (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0) {
                if (m_iCurSel > 0) SelectItem(m_iCurSel - 1);
            } else if (m_iCurSel + 1 < GetCount()) {
                SelectItem(m_iCurSel + 1);
            }
            return;
        default:
            CContainerUI::DoEvent(event);
    }
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"textpadding") m_rcTextPadding = ParseRect(value);
    else if (n == L"normalimage") m_sNormalImage = value;
    else if (n == L"hotimage") m_sHotImage = value;
    else if (n == L"pushedimage") m_sPushedImage = value;
    else if (n == L"disabledimage") m_sDisabledImage = value;
    else if (n == L"dropboxsize") m_nDropHeight = ParseSize(value).cy;
    else if (n == L"textcolor") m_dwTextColor = ParseColor(value);
    else if (n == L"disabledtextcolor") m_dwDisabledTextColor = ParseColor(value);
    else if (n == L"font") m_iFont = ParseInt(value);
    else if (ApplyListInfoAttribute(m_ListInfo, n, value)) {}
    else CContainerUI::SetAttribute(name, value);
}

void CComboUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
    RECT rc;
    if (!IntersectRectUI(rc, rcPaint, m_rcItem)) return;
    cairo_save(cr);
    cairo_rectangle(cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    cairo_clip(cr);
    PaintBkColor(cr);
    PaintBkImage(cr);
    const CDuiString* image = &m_sNormalImage;
    if (!IsEnabled() && !m_sDisabledImage.empty()) image = &m_sDisabledImage;
    else if (m_pDrop && !m_sPushedImage.empty()) image = &m_sPushedImage;
    else if ((m_uButtonState & UISTATE_HOT) && !m_sHotImage.empty()) image = &m_sHotImage;
    if (image->empty() || !DrawImage(cr, *image)) {
        // No picture: an arrow at the right.
        int cx = m_rcItem.right - 11, cy = (m_rcItem.top + m_rcItem.bottom) / 2;
        render::SetColor(cr, IsEnabled() ? 0xFF666666 : 0xFFBBBBBB);
        cairo_move_to(cr, cx - 4, cy - 2);
        cairo_line_to(cr, cx + 4, cy - 2);
        cairo_line_to(cr, cx, cy + 3);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    RECT text{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top, m_rcItem.right - m_rcTextPadding.right,
              m_rcItem.bottom - m_rcTextPadding.bottom};
    render::DrawText(cr, m_pManager, text, GetText(), IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor, m_iFont,
                     DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    PaintBorder(cr);
    cairo_restore(cr);
}

CControlUI* CComboUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
    // The mouse meets the combo, never its hidden rows; lookups by name still find them.
    if (flags & UIFIND_HITTEST) return CControlUI::FindControl(proc, data, flags);
    return CContainerUI::FindControl(proc, data, flags);
}

}  // namespace skinui
