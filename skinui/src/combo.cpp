// The combo box: a current row shown in the control, and a drop-down window listing copies of
// the rows; choosing one there selects it in the combo.
#include <algorithm>
#include <cwchar>

#include "render.h"
#include "skinui/list.h"
#include "skinui/manager.h"
#include "skinui/window.h"

namespace skinui {

// The drop-down: a borderless popup below the combo holding a list of the rows' texts.
class ComboDropWindow : public CWindowWnd, public INotifyUI {
public:
    explicit ComboDropWindow(CComboUI* owner) : m_pOwner(owner) {}

    bool Open() {
        CPaintManagerUI* pm = m_pOwner->GetManager();
        if (!pm || !pm->GetPaintWindow()) return false;
        RECT rc = m_pOwner->GetPos();
        POINT pt{rc.left, rc.bottom};
        ::ClientToScreen(pm->GetPaintWindow(), &pt);
        int rows = m_pOwner->GetCount();
        int rowHeight = pm->MeasureText(L"Ag", m_pOwner->GetListInfo()->nFont).cy + 8;
        int height = std::clamp(rows * rowHeight + 2, rowHeight + 2, std::max(rowHeight + 2, m_pOwner->GetDropBoxHeight()));
        m_nRowHeight = rowHeight;
        if (!Create(pm->GetPaintWindow(), L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, pt.x, pt.y,
                    rc.right - rc.left, height))
            return false;
        ::ShowWindow(m_hWnd, SW_SHOW);
        ::SetForegroundWindow(m_hWnd);
        return true;
    }

    // The combo is going away or closing the drop-down itself.
    void Detach() { m_pOwner = nullptr; }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_ITEMCLICK && m_pList) Choose(m_pList->GetItemIndex(msg.pSender));
    }

protected:
    LPCWSTR GetWindowClassName() const override { return L"SkinComboDrop"; }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        LRESULT lRes = 0;
        switch (uMsg) {
        case WM_CREATE:
            Build();
            return 0;
        case WM_KILLFOCUS:
            Close(IDCANCEL);
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) Close(IDCANCEL);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                Close(IDCANCEL);
                return 0;
            }
            if (wParam == VK_RETURN) {
                Choose(m_pList ? m_pList->GetCurSel() : -1);
                return 0;
            }
            if (wParam == VK_UP || wParam == VK_DOWN) {
                int next = (m_pList ? m_pList->GetCurSel() : -1) + (wParam == VK_UP ? -1 : 1);
                if (m_pList && next >= 0 && next < m_pList->GetCount()) m_pList->SelectItem(next, false, false);
                return 0;
            }
            break;
        default:
            break;
        }
        if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

    void OnFinalMessage(HWND) override {
        m_pm.RemoveNotifier(this);
        if (m_pOwner) m_pOwner->m_hDropWnd = nullptr;
        if (m_pOwner) m_pOwner->Invalidate();
        delete this;
    }

private:
    void Build() {
        m_pm.Init(m_hWnd);
        CPaintManagerUI* owner = m_pOwner->GetManager();
        // The rows are drawn in the combo's fonts.
        for (int id = 0; id < 16; ++id)
            if (TFontInfo* f = owner->GetFontInfo(id); f && f != owner->GetDefaultFontInfo())
                m_pm.AddFont(id, f->sFontName.c_str(), f->iSize, f->bBold, f->bUnderline, f->bItalic, false);
        TFontInfo* def = owner->GetDefaultFontInfo();
        m_pm.SetDefaultFont(def->sFontName.c_str(), def->iSize, def->bBold, def->bUnderline, def->bItalic);

        m_pList = new CListUI;
        *m_pList->GetListInfo() = *m_pOwner->GetListInfo();
        m_pList->SetBkColor(0xFFFFFFFF);
        m_pList->SetBorderColor(0xFFC8C8C8);
        m_pList->SetBorderSize(1);
        m_pList->SetInset(RECT{1, 1, 1, 1});
        for (int i = 0; i < m_pOwner->GetCount(); ++i) {
            auto* row = new CListLabelElementUI;
            CControlUI* source = m_pOwner->GetItemAt(i);
            row->SetText(source->GetText().c_str());
            row->SetToolTip(source->GetToolTip().c_str());
            row->SetFixedHeight(m_nRowHeight);
            m_pList->Add(row);
        }
        m_pm.AttachDialog(m_pList);
        m_pm.AddNotifier(this);
        if (m_pOwner->GetCurSel() >= 0) m_pList->SelectItem(m_pOwner->GetCurSel(), false, false);
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        LRESULT ignored = 0;
        m_pm.MessageHandler(WM_SIZE, 0, MAKELPARAM(rc.right - rc.left, rc.bottom - rc.top), ignored);
    }

    void Choose(int index) {
        CComboUI* owner = m_pOwner;
        if (owner && index >= 0) owner->SelectItem(index, false, true);
        Close(IDOK);
    }

    CComboUI* m_pOwner;
    CPaintManagerUI m_pm;
    CListUI* m_pList = nullptr;
    int m_nRowHeight = 24;
};

CComboUI::CComboUI() = default;

CComboUI::~CComboUI() { CloseDropDown(); }

void* CComboUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Combo") == 0) return this;
    if (std::wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CContainerUI::GetInterface(name);
}

void CComboUI::ReIndex() {
    for (int i = 0; i < GetCount(); ++i)
        if (auto* item = static_cast<IListItemUI*>(GetItemAt(i)->GetInterface(L"ListItem"))) {
            item->SetIndex(i);
            item->Select(i == m_iCurSel);
        }
}

int CComboUI::GetItemIndexOf(const CControlUI* row) const { return GetItemIndex(const_cast<CControlUI*>(row)); }

bool CComboUI::SelectItem(int index, bool bTakeFocus, bool bTriggerEvent) {
    if (bTakeFocus) SetFocus();
    if (index < 0 || index >= GetCount()) return false;
    int old = m_iCurSel;
    m_iCurSel = index;
    ReIndex();
    Invalidate();
    if (bTriggerEvent && old != index && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, index, old);
    return true;
}

bool CComboUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CComboUI::AddAt(CControlUI* control, int index) {
    if (!control || !CContainerUI::AddAt(control, index)) return false;
    if (auto* item = static_cast<IListItemUI*>(control->GetInterface(L"ListItem"))) item->SetOwner(this);
    if (m_iCurSel >= index && m_iCurSel >= 0) ++m_iCurSel;
    ReIndex();
    return true;
}

bool CComboUI::Remove(CControlUI* control) { return RemoveAt(GetItemIndex(control)); }

bool CComboUI::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return false;
    CloseDropDown();
    if (!CContainerUI::RemoveAt(index)) return false;
    if (m_iCurSel == index) m_iCurSel = -1;
    else if (m_iCurSel > index) --m_iCurSel;
    ReIndex();
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    CloseDropDown();
    CContainerUI::RemoveAll();
    m_iCurSel = -1;
    Invalidate();
}

CDuiString CComboUI::GetText() const {
    CControlUI* row = m_iCurSel >= 0 ? GetItemAt(m_iCurSel) : nullptr;
    return row ? row->GetText() : CDuiString();
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_hDropWnd) {
        CloseDropDown();
        return true;
    }
    auto* drop = new ComboDropWindow(this);
    if (!drop->Open()) {
        delete drop;
        return false;
    }
    m_hDropWnd = drop;
    Invalidate();
    return true;
}

void CComboUI::CloseDropDown() {
    auto* drop = static_cast<ComboDropWindow*>(m_hDropWnd);
    if (!drop) return;
    m_hDropWnd = nullptr;
    drop->Detach();
    // Deleting the object destroys its window; its final message then finds no owner.
    HWND h = drop->GetHWND();
    if (h && ::IsWindow(h)) ::DestroyWindow(h);
}

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) { CControlUI::SetPos(rc, bNeedInvalidate); }

CControlUI* CComboUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
    return CControlUI::FindControl(proc, data, flags);
}

void CComboUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled()) Activate();
        return;
    case UIEVENT_MOUSEENTER:
        m_uButtonState |= UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_MOUSELEAVE:
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_KEYDOWN:
        if (event.chKey == VK_UP) SelectItem(m_iCurSel - 1, false, true);
        else if (event.chKey == VK_DOWN) SelectItem(m_iCurSel + 1, false, true);
        else if (event.chKey == VK_F4) Activate();
        else CContainerUI::DoEvent(event);
        return;
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        return;
    default:
        CControlUI::DoEvent(event);
    }
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n = name;
    if (n == L"normalimage") m_sNormalImage = value;
    else if (n == L"hotimage") m_sHotImage = value;
    else if (n == L"pushedimage") m_sPushedImage = value;
    else if (n == L"textpadding") m_rcTextPadding = ParseRect(value);
    else if (n == L"dropboxsize") m_nDropHeight = ParseSize(value).cy;
    else if (n == L"font" || n == L"itemfont") m_ListInfo.nFont = ParseInt(value);
    else if (n == L"textcolor" || n == L"itemtextcolor") m_ListInfo.dwTextColor = ParseColor(value);
    else if (n == L"itemselectedtextcolor") m_ListInfo.dwSelectedTextColor = ParseColor(value);
    else if (n == L"itemselectedbkcolor") m_ListInfo.dwSelectedBkColor = ParseColor(value);
    else if (n == L"itemhottextcolor") m_ListInfo.dwHotTextColor = ParseColor(value);
    else if (n == L"itemhotbkcolor") m_ListInfo.dwHotBkColor = ParseColor(value);
    else if (n == L"itembkcolor") m_ListInfo.dwBkColor = ParseColor(value);
    else CContainerUI::SetAttribute(name, value);
}

void CComboUI::DoPaint(cairo_t* cr, const RECT& rcPaint) { CControlUI::DoPaint(cr, rcPaint); }

void CComboUI::PaintStatusImage(cairo_t* cr) {
    const CDuiString& image = (m_hDropWnd && !m_sPushedImage.empty()) ? m_sPushedImage
                              : ((m_uButtonState & UISTATE_HOT) && !m_sHotImage.empty()) ? m_sHotImage
                                                                                         : m_sNormalImage;
    if (!image.empty()) DrawImage(cr, image);
}

void CComboUI::PaintText(cairo_t* cr) {
    RECT text{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
              m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    DWORD color = IsEnabled() ? m_ListInfo.dwTextColor : m_ListInfo.dwDisabledTextColor;
    render::DrawText(cr, m_pManager, text, GetText(), color, m_ListInfo.nFont, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

}  // namespace skinui
