// The list with its rows, the drag list and the tree.
#include "skinui/list.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "render.h"
#include "row_sequence.h"
#include "skinui/manager.h"

namespace skinui {

namespace {

constexpr int kDragThreshold = 4;

bool IsMouseEvent(int type) { return type > UIEVENT__MOUSEBEGIN && type < UIEVENT__MOUSEEND; }
bool IsKeyEvent(int type) { return type > UIEVENT__KEYBEGIN && type < UIEVENT__KEYEND; }

void PaintRowBackground(cairo_t* cr, const RECT& rc, const TListInfoUI* info, bool selected, bool hot, DWORD ownColor) {
    if (!info) return;
    DWORD color = info->dwBkColor;
    if (selected && info->dwSelectedBkColor) color = info->dwSelectedBkColor;
    else if (hot && info->dwHotBkColor) color = info->dwHotBkColor;
    if (ownColor && !selected && !hot) color = ownColor;
    render::FillRect(cr, rc, color);
}

}  // namespace

// ---- rows ----

int CListElementBase::GetIndex() const { return m_pOwner ? m_pOwner->GetItemIndexOf(AsRow()) : m_iIndex; }

CListLabelElementUI::CListLabelElementUI() { m_uTextStyle = DT_VCENTER | DT_SINGLELINE; }

void* CListLabelElementUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"ListItem") == 0) return static_cast<IListItemUI*>(this);
    if (std::wcscmp(name, L"ListLabelElement") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CListLabelElementUI::SetOwner(CControlUI* owner) {
    m_pOwner = owner ? static_cast<IListOwnerUI*>(owner->GetInterface(L"IListOwner")) : nullptr;
}

bool CListLabelElementUI::Select(bool select) {
    if (m_bSelected == select) return true;
    m_bSelected = select;
    Invalidate();
    return true;
}

SIZE CListLabelElementUI::EstimateSize(SIZE available) {
    SIZE sz = CLabelUI::EstimateSize(available);
    if (sz.cy == 0 && m_pManager) sz.cy = m_pManager->MeasureText(L"Ag", m_iFont).cy + 6;
    return sz;
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
    if (m_pOwner && (IsMouseEvent(event.Type) || IsKeyEvent(event.Type))) {
        m_pOwner->DoEvent(event);
        return;
    }
    CLabelUI::DoEvent(event);
}

void CListLabelElementUI::PaintBkColor(cairo_t* cr) {
    PaintRowBackground(cr, m_rcItem, m_pOwner ? m_pOwner->GetListInfo() : nullptr, m_bSelected, m_bHot, m_dwBackColor);
}

void CListLabelElementUI::PaintText(cairo_t* cr) {
    TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
    DWORD saved = m_dwTextColor;
    if (info) {
        m_dwTextColor = m_bSelected ? info->dwSelectedTextColor : m_bHot ? info->dwHotTextColor : info->dwTextColor;
        if (!saved && m_iFont < 0) m_iFont = info->nFont;
    }
    CLabelUI::PaintText(cr);
    m_dwTextColor = saved;
}

void* CListContainerElementUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"ListItem") == 0) return static_cast<IListItemUI*>(this);
    if (std::wcscmp(name, L"ListContainerElement") == 0) return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CListContainerElementUI::SetOwner(CControlUI* owner) {
    m_pOwner = owner ? static_cast<IListOwnerUI*>(owner->GetInterface(L"IListOwner")) : nullptr;
}

bool CListContainerElementUI::Select(bool select) {
    if (m_bSelected == select) return true;
    m_bSelected = select;
    Invalidate();
    return true;
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
    if (m_pOwner && (IsMouseEvent(event.Type) || IsKeyEvent(event.Type))) {
        m_pOwner->DoEvent(event);
        return;
    }
    CHorizontalLayoutUI::DoEvent(event);
}

void CListContainerElementUI::PaintBkColor(cairo_t* cr) {
    PaintRowBackground(cr, m_rcItem, m_pOwner ? m_pOwner->GetListInfo() : nullptr, m_bSelected, m_bHot, m_dwBackColor);
}

void CListContainerElementUI::PaintStatusImage(cairo_t* cr) {
    TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
    if (!info) return;
    if (m_bSelected && !info->sSelectedImage.empty() && DrawImage(cr, info->sSelectedImage)) return;
    if ((m_bHot || m_bSelected) && !info->sHotImage.empty() && DrawImage(cr, info->sHotImage)) return;
    if (!info->sBkImage.empty()) DrawImage(cr, info->sBkImage);
}

// ---- list body ----

CListBodyUI::CListBodyUI(CListUI* owner) : m_pOwner(owner), m_rows(std::make_unique<CRowSequence>()) {}

CListBodyUI::~CListBodyUI() { DeleteRows(); }

void CListBodyUI::DeleteRows() {
    std::vector<CControlUI*> rows;
    rows.reserve(static_cast<size_t>(m_rows->Count()));
    m_rows->ForEach([&](CControlUI* r, int) {
        rows.push_back(r);
        return true;
    });
    m_rows->Clear();
    m_inView.clear();
    for (CControlUI* r : rows) delete r;
}

void CListBodyUI::DoEvent(TEventUI& event) {
    // The scroll bar is the body's own; everything else is the list's.
    if (GetScrollRange() > 0) {
        bool onBar = event.ptMouse.x >= InnerRect().right;
        if (event.Type == UIEVENT_SCROLLWHEEL || m_bThumbDrag ||
            ((event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) && onBar)) {
            CVerticalLayoutUI::DoEvent(event);
            return;
        }
    }
    if (m_pOwner) m_pOwner->DoEvent(event);
}

CControlUI* CListBodyUI::GetItemAt(int index) const { return m_rows->At(index); }
int CListBodyUI::GetItemIndex(CControlUI* control) const { return m_rows->IndexOf(control); }
int CListBodyUI::GetCount() const { return m_rows->Count(); }

void CListBodyUI::ForEachRow(const std::function<bool(CControlUI*, int)>& fn) const { m_rows->ForEach(fn); }

void CListBodyUI::ForEachItem(const std::function<void(CControlUI*)>& fn) const {
    m_rows->ForEach([&](CControlUI* r, int) {
        fn(r);
        return true;
    });
}

int CListBodyUI::Measure(CControlUI* row) const {
    if (!row->IsVisible()) return 0;
    RECT pad = row->GetPadding();
    int h = row->EstimateSize(m_szMeasured).cy;
    const int minH = row->GetMinHeight(), maxH = std::max(minH, row->GetMaxHeight());
    h = h > 0 ? std::clamp(h, minH, maxH) : minH;
    return h + pad.top + pad.bottom + m_iChildPadding;
}

void CListBodyUI::MeasureAll() {
    m_nMeasuredPadding = m_iChildPadding;
    m_rows->ForEach([this](CControlUI* r, int) {
        m_rows->SetHeight(r, Measure(r));
        return true;
    });
}

bool CListBodyUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CListBodyUI::AddAt(CControlUI* control, int index) {
    if (!control || !m_rows->Insert(index, control, 0)) return false;
    if (m_pManager) m_pManager->InitControls(control, this);
    else control->SetManager(nullptr, this, false);
    if (!IsVisible()) control->SetInternVisible(false);
    m_rows->SetHeight(control, Measure(control));
    // One request stands for a whole batch of rows until the next layout.
    if (!IsUpdateNeeded()) NeedUpdate();
    return true;
}

void CListBodyUI::TakeOut(CControlUI* row) {
    m_rows->Erase(row);
    m_inView.erase(std::remove(m_inView.begin(), m_inView.end(), row), m_inView.end());
}

bool CListBodyUI::Remove(CControlUI* control) {
    if (!control || !m_rows->Contains(control)) return false;
    TakeOut(control);
    delete control;
    NeedUpdate();
    return true;
}

bool CListBodyUI::RemoveAt(int index) { return Remove(GetItemAt(index)); }

void CListBodyUI::RemoveAll() {
    DeleteRows();
    m_nScrollPos = 0;
    NeedUpdate();
}

bool CListBodyUI::Detach(CControlUI* control) {
    if (!control || !m_rows->Contains(control)) return false;
    TakeOut(control);
    ClearManagerRefs(control);
    control->SetManager(nullptr, nullptr, false);
    NeedUpdate();
    return true;
}

bool CListBodyUI::SetItemIndex(CControlUI* control, int index) {
    const int from = GetItemIndex(control);
    if (from < 0 || index < 0 || index >= GetCount()) return false;
    const int height = m_rows->HeightOf(control);
    m_rows->Erase(control);
    m_rows->Insert(index, control, height);
    NeedUpdate();
    return true;
}

void CListBodyUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    CVerticalLayoutUI::SetManager(manager, parent, init);
    // Rows that measure their text need the manager's fonts.
    MeasureAll();
}

void CListBodyUI::SetVisible(bool visible) {
    bool was = IsVisible();
    CVerticalLayoutUI::SetVisible(visible);
    if (was != IsVisible()) MeasureAll();
}

void CListBodyUI::SetInternVisible(bool visible) {
    bool was = IsVisible();
    CVerticalLayoutUI::SetInternVisible(visible);
    if (was != IsVisible()) MeasureAll();
}

void CListBodyUI::NeedUpdateOf(CControlUI* child) {
    if (child && m_rows->Contains(child)) m_rows->SetHeight(child, Measure(child));
    NeedUpdate();
}

void CListBodyUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    RECT in = InnerRect();
    auto measureFor = [this](const RECT& r) {
        SIZE avail{r.right - r.left, r.bottom - r.top};
        if (avail.cx != m_szMeasured.cx || avail.cy != m_szMeasured.cy || m_iChildPadding != m_nMeasuredPadding) {
            m_szMeasured = avail;
            MeasureAll();
        }
    };
    measureFor(in);
    auto content = [this] {
        std::int64_t sum = m_rows->TotalHeight();
        return static_cast<int>(std::min<std::int64_t>(sum > 0 ? sum - m_iChildPadding : 0, 0x3FFFFFFF));
    };
    const int oldRange = m_nScrollRange;
    UpdateScroll(content(), in.bottom - in.top);
    if ((oldRange > 0) != (m_nScrollRange > 0)) {
        // The scroll bar came or went: the rows are narrower or wider.
        in = InnerRect();
        measureFor(in);
        UpdateScroll(content(), in.bottom - in.top);
    }

    std::vector<CControlUI*> shown;
    const std::int64_t viewTop = m_nScrollPos, viewBottom = m_nScrollPos + (in.bottom - in.top);
    for (int i = m_rows->IndexAtOffset(viewTop); i >= 0;) {
        CControlUI* row = m_rows->At(i);
        const std::int64_t top = m_rows->TopOf(row);
        if (top >= viewBottom) break;
        const int band = m_rows->HeightOf(row);
        RECT pad = row->GetPadding();
        int cx = row->EstimateSize(m_szMeasured).cx;
        if (cx <= 0) cx = (in.right - in.left) - pad.left - pad.right;
        const int minW = row->GetMinWidth();
        cx = std::clamp(cx, minW, std::max(minW, row->GetMaxWidth()));
        const int y = in.top + static_cast<int>(top - m_nScrollPos) + pad.top;
        const int h = band - pad.top - pad.bottom - m_iChildPadding;
        row->SetPos(RECT{in.left + pad.left, y, in.left + pad.left + cx, y + h}, false);
        shown.push_back(row);
        i = m_rows->IndexAtOffset(top + band);
    }
    // Rows that left the view keep no stale place in it.
    for (CControlUI* old : m_inView)
        if (std::find(shown.begin(), shown.end(), old) == shown.end()) old->SetPos(RECT{0, 0, 0, 0}, false);
    m_inView.swap(shown);
}

void CListBodyUI::EnsureVisible(CControlUI* child) {
    if (!child || !m_rows->Contains(child)) return;
    if (m_pManager) m_pManager->UpdateLayout();
    RECT in = InnerRect();
    RECT pad = child->GetPadding();
    const std::int64_t top = m_rows->TopOf(child) + pad.top;
    const std::int64_t bottom = top + std::max(0, m_rows->HeightOf(child) - pad.top - pad.bottom - m_iChildPadding);
    const std::int64_t view = in.bottom - in.top;
    if (top < m_nScrollPos) SetScrollPos(static_cast<int>(top));
    else if (bottom > m_nScrollPos + view) SetScrollPos(static_cast<int>(bottom - view));
    if (m_pManager) m_pManager->UpdateLayout();
}

CControlUI* CListBodyUI::RowAtPoint(POINT pt) const {
    for (CControlUI* row : m_inView)
        if (row->IsVisible() && PtInRectUI(row->GetPos(), pt)) return row;
    return nullptr;
}

CControlUI* CListBodyUI::FindItem(FINDCONTROLPROC proc, void* data, UINT flags) {
    if (flags & UIFIND_HITTEST) {
        // Only rows in view have a place on the screen.
        if (flags & UIFIND_TOP_FIRST) {
            for (auto it = m_inView.rbegin(); it != m_inView.rend(); ++it)
                if (CControlUI* r = (*it)->FindControl(proc, data, flags)) return r;
        } else {
            for (CControlUI* row : m_inView)
                if (CControlUI* r = row->FindControl(proc, data, flags)) return r;
        }
        return nullptr;
    }
    CControlUI* found = nullptr;
    if (flags & UIFIND_TOP_FIRST) {
        for (int i = GetCount() - 1; i >= 0 && !found; --i) found = GetItemAt(i)->FindControl(proc, data, flags);
        return found;
    }
    m_rows->ForEach([&](CControlUI* row, int) {
        found = row->FindControl(proc, data, flags);
        return found == nullptr;
    });
    return found;
}

void CListBodyUI::PaintItems(cairo_t* cr, const RECT& rc) {
    for (CControlUI* row : m_inView) {
        RECT inter;
        if (row->IsVisible() && IntersectRectUI(inter, rc, row->GetPos())) row->DoPaint(cr, rc);
    }
}

// ---- list ----

CListUI::CListUI() : m_pList(new CListBodyUI(this)) {
    CVerticalLayoutUI::AddAt(m_pList, 0);
    m_pList->EnableScrollBar(true);
}

void* CListUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"List") == 0) return static_cast<CListUI*>(this);
    if (std::wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(name);
}

IListItemUI* CListUI::ItemOf(CControlUI* row) const {
    return row ? static_cast<IListItemUI*>(row->GetInterface(L"ListItem")) : nullptr;
}

CControlUI* CListUI::GetItemAt(int index) const { return m_pList->GetItemAt(index); }
int CListUI::GetItemIndex(CControlUI* control) const { return m_pList->GetItemIndex(control); }
int CListUI::GetItemIndexOf(const CControlUI* row) const { return m_pList->GetItemIndex(const_cast<CControlUI*>(row)); }
int CListUI::GetCount() const { return m_pList->GetCount(); }
int CListUI::GetCurSel() const { return m_pCurRow ? GetItemIndex(m_pCurRow) : -1; }

bool CListUI::SetItemIndex(CControlUI* control, int index) { return m_pList->SetItemIndex(control, index); }

bool CListUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CListUI::AddAt(CControlUI* control, int index) {
    if (!control || !m_pList->AddAt(control, index)) return false;
    if (IListItemUI* item = ItemOf(control)) item->SetOwner(this);
    return true;
}

void CListUI::ForgetRow(CControlUI* row) {
    if (m_pPressedRow == row) m_pPressedRow = nullptr;
    if (m_pHotRow == row) m_pHotRow = nullptr;
    if (m_pCurRow == row) m_pCurRow = nullptr;
    if (m_pAnchorRow == row) m_pAnchorRow = nullptr;
}

bool CListUI::Remove(CControlUI* control) {
    int i = GetItemIndex(control);
    return i >= 0 && CListUI::RemoveAt(i);
}

bool CListUI::RemoveAt(int index) {
    CControlUI* row = GetItemAt(index);
    if (!row) return false;
    ForgetRow(row);
    return m_pList->Remove(row);
}

void CListUI::RemoveAll() {
    m_pPressedRow = m_pHotRow = m_pCurRow = m_pAnchorRow = nullptr;
    m_pList->RemoveAll();
}

bool CListUI::SelectItem(int index, bool bTakeFocus, bool bTriggerEvent) {
    if (bTakeFocus) SetFocus();
    return SelectItem(index, false, true, bTriggerEvent);
}

bool CListUI::SelectItem(int index, bool bAppend, bool bEnsureVisible, bool bTriggerEvent) {
    if (index < 0) {
        UnSelectAll();
        return false;
    }
    CControlUI* row = GetItemAt(index);
    IListItemUI* item = ItemOf(row);
    if (!item) return false;
    if (!bAppend || !m_ListInfo.bMultiSelect) {
        m_pList->ForEachRow([&](CControlUI* other, int) {
            if (other != row)
                if (IListItemUI* o = ItemOf(other)) o->Select(false);
            return true;
        });
    }
    item->Select(true);
    int old = GetCurSel();
    m_pCurRow = row;
    m_pAnchorRow = row;
    if (bEnsureVisible) EnsureVisible(index);
    if (bTriggerEvent && old != index && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, index, old);
    return true;
}

bool CListUI::UnSelectItem(int index) {
    CControlUI* row = GetItemAt(index);
    IListItemUI* item = ItemOf(row);
    if (!item) return false;
    item->Select(false);
    if (m_pCurRow == row) {
        // The last selected row is current now, if any.
        m_pCurRow = nullptr;
        m_pList->ForEachRow([&](CControlUI* other, int) {
            if (IListItemUI* o = ItemOf(other); o && o->IsSelected()) m_pCurRow = other;
            return true;
        });
    }
    return true;
}

void CListUI::SelectAllItems() {
    if (!m_ListInfo.bMultiSelect) return;
    m_pList->ForEachRow([&](CControlUI* row, int) {
        if (IListItemUI* item = ItemOf(row)) item->Select(true);
        return true;
    });
    if (!m_pCurRow) m_pCurRow = GetItemAt(0);
}

void CListUI::UnSelectAll() {
    m_pList->ForEachRow([&](CControlUI* row, int) {
        if (IListItemUI* item = ItemOf(row)) item->Select(false);
        return true;
    });
    m_pCurRow = m_pAnchorRow = nullptr;
}

std::vector<int> CListUI::GetSelectedItems() const {
    std::vector<int> out;
    m_pList->ForEachRow([&](CControlUI* row, int i) {
        if (IListItemUI* item = ItemOf(row); item && item->IsSelected()) out.push_back(i);
        return true;
    });
    return out;
}

void CListUI::EnsureVisible(int index) {
    CControlUI* row = GetItemAt(index);
    if (row && row->IsVisible()) m_pList->EnsureVisible(row);
}

CControlUI* CListUI::RowAtPoint(POINT pt) const {
    if (!PtInRectUI(m_pList->GetPos(), pt)) return nullptr;
    return m_pList->RowAtPoint(pt);
}

void CListUI::SetHotRow(CControlUI* row) {
    if (row == m_pHotRow) return;
    auto setHot = [](CControlUI* r, bool hot) {
        if (!r) return;
        if (auto* e = dynamic_cast<CListElementBase*>(r)) {
            e->SetHot(hot);
            r->Invalidate();
        }
    };
    setHot(m_pHotRow, false);
    m_pHotRow = row;
    setHot(m_pHotRow, true);
}

void CListUI::OnRowPress(CControlUI* row, const TEventUI& event) {
    m_pPressedRow = row;
    m_bPressKeptSelection = false;
    int index = GetItemIndex(row);
    IListItemUI* item = ItemOf(row);
    if (!item || index < 0) return;
    bool ctrl = (event.wKeyState & MK_CONTROL) != 0, shift = (event.wKeyState & MK_SHIFT) != 0;
    const int anchor = m_pAnchorRow ? GetItemIndex(m_pAnchorRow) : -1;
    if (m_ListInfo.bMultiSelect && ctrl) {
        if (item->IsSelected()) UnSelectItem(index);
        else SelectItem(index, true, false, true);
        m_pAnchorRow = row;
    } else if (m_ListInfo.bMultiSelect && shift && anchor >= 0) {
        CControlUI* anchorRow = m_pAnchorRow;
        int from = std::min(anchor, index), to = std::max(anchor, index);
        m_pList->ForEachRow([&](CControlUI* other, int i) {
            if (IListItemUI* o = ItemOf(other)) o->Select(i >= from && i <= to);
            return true;
        });
        int old = GetCurSel();
        m_pCurRow = row;
        m_pAnchorRow = anchorRow;
        if (old != index && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, index, old);
    } else if (item->IsSelected() && HasOtherSelected(row)) {
        // A press on a selected row may start dragging the whole selection.
        m_bPressKeptSelection = true;
        m_pCurRow = row;
    } else {
        SelectItem(index, false, false, true);
    }
}

bool CListUI::HasOtherSelected(CControlUI* row) const {
    bool found = false;
    m_pList->ForEachRow([&](CControlUI* other, int) {
        if (other != row)
            if (IListItemUI* o = ItemOf(other); o && o->IsSelected()) found = true;
        return !found;
    });
    return found;
}

void CListUI::OnRowRelease(CControlUI* row, const TEventUI&) {
    if (!row || row != m_pPressedRow) return;
    if (m_bPressKeptSelection) SelectItem(GetItemIndex(row), false, false, true);
    m_bPressKeptSelection = false;
    OnRowClick(row, DUI_MSGTYPE_ITEMCLICK);
}

void CListUI::OnRowDoubleClick(CControlUI* row, const TEventUI& event) {
    OnRowPress(row, event);
    m_pPressedRow = nullptr;  // the release that follows is part of the double click
    OnRowClick(row, DUI_MSGTYPE_ITEMDBCLICK);
}

void CListUI::OnRowClick(CControlUI* row, const CDuiString& type) {
    if (m_pManager) m_pManager->SendNotify(row, type.c_str());
}

void CListUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
        SetFocus();
        if (CControlUI* row = RowAtPoint(event.ptMouse)) OnRowPress(row, event);
        else m_pPressedRow = nullptr;
        return;
    case UIEVENT_DBLCLICK:
        SetFocus();
        if (CControlUI* row = RowAtPoint(event.ptMouse)) OnRowDoubleClick(row, event);
        return;
    case UIEVENT_BUTTONUP:
        OnRowRelease(RowAtPoint(event.ptMouse), event);
        m_pPressedRow = nullptr;
        return;
    case UIEVENT_MOUSEMOVE:
        SetHotRow(RowAtPoint(event.ptMouse));
        return;
    case UIEVENT_MOUSELEAVE:
        SetHotRow(nullptr);
        return;
    case UIEVENT_SCROLLWHEEL:
        if (m_pList->GetScrollRange() > 0) {
            if (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0) m_pList->LineUp();
            else m_pList->LineDown();
            return;
        }
        break;
    case UIEVENT_KEYDOWN: {
        int step = event.chKey == VK_UP ? -1 : event.chKey == VK_DOWN ? 1 : 0;
        if (step != 0) {
            for (int i = GetCurSel() + step; i >= 0 && i < GetCount(); i += step)
                if (GetItemAt(i)->IsVisible()) {
                    SelectItem(i, false, true, true);
                    break;
                }
            return;
        }
        break;
    }
    default:
        break;
    }
    if (IsMouseEvent(event.Type) || IsKeyEvent(event.Type)) {
        // Rows forward their events here; nothing else above the list wants them.
        if (m_pParent && event.Type == UIEVENT_SCROLLWHEEL) m_pParent->DoEvent(event);
        return;
    }
    CVerticalLayoutUI::DoEvent(event);
}

bool ApplyListInfoAttribute(TListInfoUI& info, const std::wstring& n, const wchar_t* value) {
    if (n == L"itemfont") info.nFont = ParseInt(value);
    else if (n == L"itemtextcolor") info.dwTextColor = ParseColor(value);
    else if (n == L"itembkcolor") info.dwBkColor = ParseColor(value);
    else if (n == L"itembkimage") info.sBkImage = value;
    else if (n == L"itemselectedtextcolor") info.dwSelectedTextColor = ParseColor(value);
    else if (n == L"itemselectedbkcolor") info.dwSelectedBkColor = ParseColor(value);
    else if (n == L"itemselectedimage") info.sSelectedImage = value;
    else if (n == L"itemhottextcolor") info.dwHotTextColor = ParseColor(value);
    else if (n == L"itemhotbkcolor") info.dwHotBkColor = ParseColor(value);
    else if (n == L"itemhotimage") info.sHotImage = value;
    else if (n == L"itemdisabledtextcolor") info.dwDisabledTextColor = ParseColor(value);
    else if (n == L"itemtextpadding") info.rcTextPadding = ParseRect(value);
    else return false;
    return true;
}

void CListUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"multipleitem" || n == L"multiselect") m_ListInfo.bMultiSelect = ParseBool(value);
    else if (ApplyListInfoAttribute(m_ListInfo, n, value)) {}
    else if (n == L"vscrollbar") m_pList->EnableScrollBar(ParseBool(value));
    else if (n == L"hscrollbar") {}
    else if (n == L"inset") m_pList->SetInset(ParseRect(value));
    else if (n == L"childpadding") m_pList->SetChildPadding(ParseInt(value));
    else CVerticalLayoutUI::SetAttribute(name, value);
}

void CListUI::SetPos(RECT rc, bool bNeedInvalidate) {
    // The container calls of a list address its rows, so the body is placed here by hand.
    CControlUI::SetPos(rc, bNeedInvalidate);
    m_pList->SetPos(InnerRect(), false);
}

// ---- drag list ----

void* CDragListUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"DragList") == 0) return static_cast<CDragListUI*>(this);
    return CListUI::GetInterface(name);
}

void CDragListUI::EndDrag() {
    bool wasDragging = m_bDragging;
    m_bDragArmed = m_bDragging = false;
    m_pDropTarget = nullptr;
    if (wasDragging) Invalidate();
}

void CDragListUI::MoveSelectionTo(CControlUI*) {}

void CDragListUI::ForgetRow(CControlUI* row) {
    CListUI::ForgetRow(row);
    if (m_pDropTarget == row) m_pDropTarget = nullptr;
}

void CDragListUI::OnRowPress(CControlUI* row, const TEventUI& event) {
    CListUI::OnRowPress(row, event);
    IListItemUI* item = ItemOf(row);
    m_bDragArmed = item && item->IsSelected() && !(event.wKeyState & (MK_CONTROL | MK_SHIFT));
    m_bDragging = false;
    m_ptDragStart = event.ptMouse;
    m_pDropTarget = nullptr;
}

void CDragListUI::OnRowRelease(CControlUI* row, const TEventUI& event) {
    if (m_bDragging) {
        CControlUI* target = row;
        EndDrag();
        m_bPressKeptSelection = false;
        MoveSelectionTo(target);
        return;
    }
    m_bDragArmed = false;
    CListUI::OnRowRelease(row, event);
}

void CDragListUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_MOUSEMOVE && m_bDragArmed && (event.wKeyState & MK_LBUTTON)) {
        if (!m_bDragging && (std::abs(event.ptMouse.x - m_ptDragStart.x) > kDragThreshold ||
                             std::abs(event.ptMouse.y - m_ptDragStart.y) > kDragThreshold))
            m_bDragging = true;
        if (m_bDragging) {
            CControlUI* target = RowAtPoint(event.ptMouse);
            if (target != m_pDropTarget) {
                m_pDropTarget = target;
                Invalidate();
            }
            return;
        }
    }
    if (event.Type == UIEVENT_BUTTONUP && !m_bDragging) m_bDragArmed = false;
    if (event.Type == UIEVENT_KILLFOCUS && m_bDragging) EndDrag();
    CListUI::DoEvent(event);
}

void CDragListUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
    CListUI::DoPaint(cr, rcPaint);
    if (m_bDragging && m_pDropTarget && m_pDropTarget->IsVisible()) {
        const RECT& r = m_pDropTarget->GetPos();
        render::DrawLine(cr, r.left, r.top, r.right, r.top, 1, m_dwSplitLineColor);
    }
}

// ---- tree node ----

CTreeNodeUI::CTreeNodeUI(CTreeNodeUI* parent) : CTreeNodeUI(parent, PartsOnDemand{}) { Parts(); }

CTreeNodeUI::CTreeNodeUI(CTreeNodeUI* parent, PartsOnDemand) {
    SetFixedHeight(18);
    if (parent) parent->AddChildNode(this);
}

CTreeNodeUI& CTreeNodeUI::Parts() {
    if (m_pHoriz) return *this;
    m_pHoriz = new CHorizontalLayoutUI;
    m_pFolderButton = new CCheckBoxUI;
    m_pItemButton = new COptionUI;
    m_pFolderButton->SetFixedWidth(16);
    m_pFolderButton->SetVisible(m_bFolderBtnShown);
    m_pFolderButton->Selected(!m_bVisibleTag, false);
    m_pItemButton->SetTextStyle(DT_VCENTER | DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS);
    m_pItemButton->Selected(m_bSelected, false);
    m_pHoriz->Add(m_pFolderButton);
    m_pHoriz->Add(m_pItemButton);
    // The row answers for its own parts: a press anywhere on it selects the row.
    m_pHoriz->SetMouseChildEnabled(false);
    CListContainerElementUI::AddAt(m_pHoriz, 0);
    if (m_bCheckBtnShown) MakeCheckBox();
    return *this;
}

void CTreeNodeUI::MakeCheckBox() {
    if (m_pCheckBox) return;
    m_pCheckBox = new CCheckBoxUI;
    m_pCheckBox->SetFixedWidth(16);
    m_pCheckBox->SetVisible(m_bCheckBtnShown);
    // Between the folder button and the text.
    Parts().m_pHoriz->AddAt(m_pCheckBox, 1);
}

CCheckBoxUI* CTreeNodeUI::GetCheckBox() {
    MakeCheckBox();
    return m_pCheckBox;
}

CTreeNodeUI::~CTreeNodeUI() {
    // Children still held here belong to no tree (a tree removes its rows deepest first).
    std::vector<CTreeNodeUI*> children;
    children.swap(m_children);
    for (CTreeNodeUI* c : children) {
        c->m_pParentNode = nullptr;
        if (!c->GetTreeView()) delete c;
    }
    if (m_pParentNode) {
        // Rows go last first, so the search from the back ends at once.
        auto& siblings = m_pParentNode->m_children;
        auto it = std::find(siblings.rbegin(), siblings.rend(), this);
        if (it != siblings.rend()) siblings.erase(std::next(it).base());
        m_pParentNode->CountDescendants(-(1 + m_nDescendants));
    }
}

void CTreeNodeUI::CountDescendants(int delta) {
    for (CTreeNodeUI* n = this; n; n = n->m_pParentNode) n->m_nDescendants += delta;
}

void* CTreeNodeUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"TreeNode") == 0) return static_cast<CTreeNodeUI*>(this);
    return CListContainerElementUI::GetInterface(name);
}

bool CTreeNodeUI::Add(CControlUI* control) {
    if (!control) return false;
    if (auto* node = static_cast<CTreeNodeUI*>(control->GetInterface(L"TreeNode"))) return AddChildNode(node);
    return CListContainerElementUI::Add(control);
}

bool CTreeNodeUI::AddAt(CControlUI* control, int index) {
    if (!control) return false;
    if (auto* node = static_cast<CTreeNodeUI*>(control->GetInterface(L"TreeNode"))) return AddChildNode(node);
    return CListContainerElementUI::AddAt(control, index);
}

bool CTreeNodeUI::Remove(CControlUI* control) {
    if (!control) return false;
    if (auto* node = static_cast<CTreeNodeUI*>(control->GetInterface(L"TreeNode"))) return RemoveChildNode(node);
    return CListContainerElementUI::Remove(control);
}

bool CTreeNodeUI::AddChildNode(CTreeNodeUI* node) {
    if (!node || node == this || node->m_pParentNode || node->GetTreeView()) return false;
    if (m_pTreeView && !m_pTreeView->InsertChildRow(this, node)) return false;
    node->m_pParentNode = this;
    m_children.push_back(node);
    CountDescendants(1 + node->m_nDescendants);
    if (m_pTreeView && !m_bVisibleTag) node->SetVisible(false);
    return true;
}

bool CTreeNodeUI::RemoveChildNode(CTreeNodeUI* node) {
    auto it = std::find(m_children.rbegin(), m_children.rend(), node);
    if (it == m_children.rend()) return false;
    m_children.erase(std::next(it).base());
    CountDescendants(-(1 + node->m_nDescendants));
    node->m_pParentNode = nullptr;
    if (m_pTreeView) return m_pTreeView->Remove(node);
    delete node;
    return true;
}

void CTreeNodeUI::RemoveAllChildNode() {
    while (!m_children.empty()) RemoveChildNode(m_children.back());
}

void CTreeNodeUI::SortChildren() const {
    if (!m_bChildOrderStale) return;
    m_bChildOrderStale = false;
    if (!m_pTreeView) return;
    std::vector<std::pair<int, CTreeNodeUI*>> keyed;
    keyed.reserve(m_children.size());
    for (CTreeNodeUI* c : m_children) keyed.emplace_back(m_pTreeView->GetItemIndex(c), c);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) m_children[i] = keyed[i].second;
}

CTreeNodeUI* CTreeNodeUI::GetChildNode(int index) const {
    if (index < 0 || index >= static_cast<int>(m_children.size())) return nullptr;
    SortChildren();
    return m_children[static_cast<size_t>(index)];
}

void CTreeNodeUI::CollectDescendants(std::vector<CTreeNodeUI*>& out) const {
    SortChildren();
    for (CTreeNodeUI* c : m_children) {
        out.push_back(c);
        c->CollectDescendants(out);
    }
}

int CTreeNodeUI::GetTreeLevel() const {
    int level = 0;
    for (CTreeNodeUI* p = m_pParentNode; p; p = p->m_pParentNode) ++level;
    return level;
}

void CTreeNodeUI::SetItemText(const wchar_t* text) { Parts().m_pItemButton->SetText(text); }
CDuiString CTreeNodeUI::GetItemText() const { return m_pItemButton ? m_pItemButton->GetText() : CDuiString(); }
void CTreeNodeUI::SetItemTextColor(DWORD c) { Parts().m_pItemButton->SetTextColor(c); }
void CTreeNodeUI::SetItemHotTextColor(DWORD c) { Parts().m_pItemButton->SetHotTextColor(c); }
void CTreeNodeUI::SetSelItemTextColor(DWORD c) { Parts().m_pItemButton->SetSelectedTextColor(c); }

void CTreeNodeUI::SetVisibleFolderBtn(bool visible) {
    m_bFolderBtnShown = visible;
    if (m_pFolderButton) m_pFolderButton->SetVisible(visible);
}

void CTreeNodeUI::SetVisibleCheckBtn(bool visible) {
    m_bCheckBtnShown = visible;
    if (m_pCheckBox) m_pCheckBox->SetVisible(visible);
    else if (visible && m_pHoriz) MakeCheckBox();
}

bool CTreeNodeUI::Expand(bool expand) {
    if (m_pFolderButton) m_pFolderButton->Selected(!expand, false);
    SetVisibleTag(expand);
    if (m_pTreeView) m_pTreeView->SetItemExpand(expand, this);
    return true;
}

bool CTreeNodeUI::Select(bool select) {
    CListContainerElementUI::Select(select);
    if (m_pItemButton) m_pItemButton->Selected(select, false);
    return true;
}

bool CTreeNodeUI::IsSelectedAllChild() const {
    return std::all_of(m_children.begin(), m_children.end(), [](CTreeNodeUI* c) { return c->IsSelected(); });
}

void CTreeNodeUI::SelectAllChild(bool select) {
    for (CTreeNodeUI* c : m_children) {
        c->Select(select);
        c->SelectAllChild(select);
    }
}

void CTreeNodeUI::DoEvent(TEventUI& event) { CListContainerElementUI::DoEvent(event); }

void CTreeNodeUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"text" || n == L"itemtext") SetItemText(value);
    else if (n == L"itemtextcolor") SetItemTextColor(ParseColor(value));
    else if (n == L"itemhottextcolor") SetItemHotTextColor(ParseColor(value));
    else if (n == L"selitemtextcolor") SetSelItemTextColor(ParseColor(value));
    else if (n == L"folderattr") GetFolderButton()->ApplyAttributeList(value);
    else if (n == L"itemattr") GetItemButton()->ApplyAttributeList(value);
    else if (n == L"checkboxattr") GetCheckBox()->ApplyAttributeList(value);
    else if (n == L"visiblefolderbtn") SetVisibleFolderBtn(ParseBool(value));
    else if (n == L"visiblecheckbtn") SetVisibleCheckBtn(ParseBool(value));
    else CListContainerElementUI::SetAttribute(name, value);
}

void CTreeNodeUI::SetPos(RECT rc, bool bNeedInvalidate) { CListContainerElementUI::SetPos(rc, bNeedInvalidate); }

// ---- tree ----

CTreeViewUI::CTreeViewUI() = default;

CTreeViewUI::~CTreeViewUI() { CTreeViewUI::RemoveAll(); }

void* CTreeViewUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"TreeView") == 0) return static_cast<CTreeViewUI*>(this);
    return CDragListUI::GetInterface(name);
}

namespace {
CTreeNodeUI* AsNode(CControlUI* c) { return c ? static_cast<CTreeNodeUI*>(c->GetInterface(L"TreeNode")) : nullptr; }
}  // namespace

bool CTreeViewUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CTreeViewUI::AddAt(CControlUI* control, int index) {
    CTreeNodeUI* node = AsNode(control);
    if (!node || node->GetTreeView() || node->GetParentNode() || index < 0 || index > GetCount()) return false;
    std::vector<CTreeNodeUI*> rows{node};
    node->CollectDescendants(rows);
    for (size_t i = 0; i < rows.size(); ++i) {
        CTreeNodeUI* n = rows[i];
        if (!CDragListUI::AddAt(n, index + static_cast<int>(i))) return false;
        n->SetTreeView(this);
        n->SetVisibleFolderBtn(m_bVisibleFolderBtn);
        n->SetVisibleCheckBtn(m_bVisibleCheckBtn);
    }
    for (size_t i = 1; i < rows.size(); ++i) {
        CTreeNodeUI* p = rows[i]->GetParentNode();
        bool shown = true;
        for (; p; p = p->GetParentNode()) shown = shown && p->GetVisibleTag();
        rows[i]->SetVisible(shown);
    }
    return true;
}

bool CTreeViewUI::InsertChildRow(CTreeNodeUI* parent, CTreeNodeUI* child) {
    int p = GetItemIndex(parent);
    if (p < 0 || !child || child->GetTreeView()) return false;
    std::vector<CTreeNodeUI*> rows{child};
    if (child->IsHasChild()) child->CollectDescendants(rows);
    const int at = p + 1 + parent->GetCountDescendant();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!CDragListUI::AddAt(rows[i], at + static_cast<int>(i))) return false;
        rows[i]->SetTreeView(this);
        rows[i]->SetVisibleFolderBtn(m_bVisibleFolderBtn);
        rows[i]->SetVisibleCheckBtn(m_bVisibleCheckBtn);
    }
    return true;
}

bool CTreeViewUI::Remove(CControlUI* control) {
    CTreeNodeUI* node = AsNode(control);
    if (!node || GetItemIndex(node) < 0) return false;
    if (CTreeNodeUI* parent = node->GetParentNode()) return parent->RemoveChildNode(node);
    std::vector<CTreeNodeUI*> rows{node};
    node->CollectDescendants(rows);
    // Deepest first, so that no node outlives its parent's knowledge of it.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) CDragListUI::Remove(*it);
    return true;
}

bool CTreeViewUI::RemoveAt(int index) { return Remove(GetItemAt(index)); }

bool CTreeViewUI::SetItemIndex(CControlUI* control, int index) {
    if (!CDragListUI::SetItemIndex(control, index)) return false;
    // The siblings are put in row order again when next asked for, once for a whole move.
    if (CTreeNodeUI* node = AsNode(control); node && node->m_pParentNode) node->m_pParentNode->m_bChildOrderStale = true;
    return true;
}

void CTreeViewUI::RemoveAll() {
    m_pPressedRow = m_pHotRow = m_pDropTarget = m_pCurRow = m_pAnchorRow = nullptr;
    for (int i = GetCount() - 1; i >= 0; --i) m_pList->RemoveAt(i);
}

void CTreeViewUI::SetVisibleFolderBtn(bool visible) {
    m_bVisibleFolderBtn = visible;
    m_pList->ForEachRow([visible](CControlUI* row, int) {
        if (CTreeNodeUI* n = AsNode(row)) n->SetVisibleFolderBtn(visible);
        return true;
    });
}

void CTreeViewUI::SetVisibleCheckBtn(bool visible) {
    m_bVisibleCheckBtn = visible;
    m_pList->ForEachRow([visible](CControlUI* row, int) {
        if (CTreeNodeUI* n = AsNode(row)) n->SetVisibleCheckBtn(visible);
        return true;
    });
}

void CTreeViewUI::SetItemExpand(bool expand, CTreeNodeUI* node) {
    if (!node) return;
    for (int i = 0; i < node->GetCountChild(); ++i) {
        CTreeNodeUI* c = node->GetChildNode(i);
        c->SetVisible(expand);
        // A collapsed child keeps its own children hidden.
        if (c->IsHasChild()) SetItemExpand(expand && c->GetVisibleTag(), c);
    }
    NeedUpdate();
}

bool CTreeViewUI::OnCheckBoxChanged(TNotifyUI&) { return true; }

bool CTreeViewUI::OnFolderChanged(TNotifyUI& msg) {
    CControlUI* c = msg.pSender;
    while (c && !AsNode(c)) c = c->GetParent();
    if (CTreeNodeUI* node = AsNode(c)) node->Expand(!node->GetVisibleTag());
    return true;
}

bool CTreeViewUI::OnNodeClick(TNotifyUI& msg) {
    CTreeNodeUI* node = AsNode(msg.pSender);
    if (!node) return false;
    if (node->IsHasChild() && msg.sType == DUI_MSGTYPE_ITEMCLICK) node->Expand(!node->GetVisibleTag());
    if (m_pManager) m_pManager->SendNotify(this, msg.sType.c_str());
    return true;
}

void CTreeViewUI::OnRowClick(CControlUI* row, const CDuiString& type) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = row;
    if (m_pManager) msg.ptMouse = m_pManager->GetMousePos();
    OnNodeClick(msg);
}

void CTreeViewUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"visiblefolderbtn") SetVisibleFolderBtn(ParseBool(value));
    else if (n == L"visiblecheckbtn") SetVisibleCheckBtn(ParseBool(value));
    else CDragListUI::SetAttribute(name, value);
}

// ---- builder hooks ----

CControlUI* CreateListControl(const std::wstring& cls) {
    if (cls == L"List") return new CListUI;
    if (cls == L"DragList") return new CDragListUI;
    if (cls == L"TreeView") return new CTreeViewUI;
    if (cls == L"TreeNode") return new CTreeNodeUI;
    if (cls == L"ListLabelElement") return new CListLabelElementUI;
    if (cls == L"ListContainerElement") return new CListContainerElementUI;
    if (cls == L"Combo") return new CComboUI;
    return nullptr;
}

bool AddListChild(CControlUI* parent, CControlUI* child) {
    if (!parent || !child) return false;
    if (auto* list = static_cast<CListUI*>(parent->GetInterface(L"List"))) return list->Add(child);
    if (auto* combo = static_cast<CComboUI*>(parent->GetInterface(L"Combo"))) return combo->Add(child);
    return false;
}

}  // namespace skinui
