// Containers and the linear layouts.
#include "skinui/container.h"

#include <algorithm>
#include <cwchar>

#include "render.h"
#include "skinui/manager.h"

namespace skinui {

namespace {
constexpr int kScrollBarWidth = 8;
}

CContainerUI::~CContainerUI() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* c : items) delete c;
}

void* CContainerUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Container") == 0) return static_cast<CContainerUI*>(this);
    if (std::wcscmp(name, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= static_cast<int>(m_items.size())) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    auto it = std::find(m_items.begin(), m_items.end(), control);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
    int from = GetItemIndex(control);
    if (from < 0 || index < 0 || index >= static_cast<int>(m_items.size())) return false;
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + index, control);
    NeedUpdate();
    return true;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, static_cast<int>(m_items.size())); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (!control || index < 0 || index > static_cast<int>(m_items.size())) return false;
    m_items.insert(m_items.begin() + index, control);
    if (m_pManager) m_pManager->InitControls(control, this);
    else control->SetManager(nullptr, this, false);
    if (!IsVisible()) control->SetInternVisible(false);
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    int i = GetItemIndex(control);
    if (i < 0) return false;
    return RemoveAt(i);
}

bool CContainerUI::RemoveAt(int index) {
    CControlUI* c = GetItemAt(index);
    if (!c) return false;
    m_items.erase(m_items.begin() + index);
    delete c;
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* c : items) delete c;
    m_nScrollPos = 0;
    NeedUpdate();
}

void CContainerUI::ClearManagerRefs(CControlUI* control) {
    if (!m_pManager || !control) return;
    m_pManager->ReapObjects(control);
    if (auto* box = static_cast<CContainerUI*>(control->GetInterface(L"Container")))
        box->ForEachItem([this](CControlUI* c) { ClearManagerRefs(c); });
}

void CContainerUI::ForEachItem(const std::function<void(CControlUI*)>& fn) const {
    for (CControlUI* c : m_items) fn(c);
}

bool CContainerUI::Detach(CControlUI* control) {
    int i = GetItemIndex(control);
    if (i < 0) return false;
    m_items.erase(m_items.begin() + i);
    ClearManagerRefs(control);
    control->SetManager(nullptr, nullptr, false);
    NeedUpdate();
    return true;
}

void CContainerUI::SetInset(RECT rc) {
    m_rcInset = rc;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    m_iChildPadding = padding;
    NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool vertical) {
    m_bScroll = vertical;
    NeedUpdate();
}

void CContainerUI::SetScrollPos(int pos) {
    pos = std::clamp(pos, 0, std::max(0, m_nScrollRange));
    if (pos == m_nScrollPos) return;
    m_nScrollPos = pos;
    NeedUpdate();
}

void CContainerUI::UpdateScroll(int contentHeight, int viewHeight) {
    m_nScrollRange = m_bScroll ? std::max(0, contentHeight - viewHeight) : 0;
    if (m_nScrollPos > m_nScrollRange) m_nScrollPos = m_nScrollRange;
}

void CContainerUI::EnsureVisible(CControlUI* child) {
    if (!child) return;
    if (m_pManager) m_pManager->UpdateLayout();
    RECT in = InnerRect();
    const RECT& rc = child->GetPos();
    if (rc.top < in.top) SetScrollPos(m_nScrollPos - (in.top - rc.top));
    else if (rc.bottom > in.bottom) SetScrollPos(m_nScrollPos + (rc.bottom - in.bottom));
    if (m_pManager) m_pManager->UpdateLayout();
}

RECT CContainerUI::InnerRect() const {
    RECT in{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top, m_rcItem.right - m_rcInset.right,
            m_rcItem.bottom - m_rcInset.bottom};
    if (m_nScrollRange > 0) in.right -= kScrollBarWidth;
    if (in.right < in.left) in.right = in.left;
    if (in.bottom < in.top) in.bottom = in.top;
    return in;
}

RECT CContainerUI::GetScrollThumbRect() const {
    if (m_nScrollRange <= 0) return {0, 0, 0, 0};
    RECT in = InnerRect();
    int view = in.bottom - in.top;
    int content = view + m_nScrollRange;
    int thumb = std::max(20, view * view / std::max(1, content));
    thumb = std::min(thumb, view);
    int top = in.top + (view - thumb) * m_nScrollPos / m_nScrollRange;
    return {in.right, top, in.right + kScrollBarWidth, top + thumb};
}

void CContainerUI::SetVisible(bool visible) {
    if (m_bVisible == visible) return;
    CControlUI::SetVisible(visible);
    const bool shown = IsVisible();
    ForEachItem([shown](CControlUI* c) { c->SetInternVisible(shown); });
}

void CContainerUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    const bool shown = IsVisible();
    ForEachItem([shown](CControlUI* c) { c->SetInternVisible(shown); });
}

void CContainerUI::SetEnabled(bool enable) { CControlUI::SetEnabled(enable); }

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    ForEachItem([&](CControlUI* c) { c->SetManager(manager, this, init); });
    CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if (flags & UIFIND_HITTEST) {
        POINT pt = *static_cast<POINT*>(data);
        if (!PtInRectUI(m_rcItem, pt)) return nullptr;
        if (!m_bMouseChildEnabled) return m_bMouseEnabled ? proc(this, data) : nullptr;
        // The scroll bar belongs to the container itself.
        if (m_nScrollRange > 0 && pt.x >= InnerRect().right && pt.x < m_rcItem.right - m_rcInset.right)
            return m_bMouseEnabled ? proc(this, data) : nullptr;
    }
    if (flags & UIFIND_ME_FIRST) {
        if (CControlUI* r = CControlUI::FindControl(proc, data, flags)) return r;
    }
    if (CControlUI* r = FindItem(proc, data, flags)) return r;
    return CControlUI::FindControl(proc, data, flags);
}

CControlUI* CContainerUI::FindItem(FINDCONTROLPROC proc, void* data, UINT flags) {
    if (flags & UIFIND_TOP_FIRST) {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
            if (CControlUI* r = (*it)->FindControl(proc, data, flags)) return r;
    } else {
        for (CControlUI* c : m_items)
            if (CControlUI* r = c->FindControl(proc, data, flags)) return r;
    }
    return nullptr;
}

void CContainerUI::SetFloatPos(CControlUI* child) {
    SIZE xy = child->GetFixedXY();
    RECT rc{m_rcItem.left + xy.cx, m_rcItem.top + xy.cy, 0, 0};
    rc.right = rc.left + child->GetFixedWidth();
    rc.bottom = rc.top + child->GetFixedHeight();
    child->SetPos(rc, false);
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    RECT in = InnerRect();
    for (CControlUI* c : m_items) {
        if (!c->IsVisible()) continue;
        if (c->IsFloat()) {
            SetFloatPos(c);
            continue;
        }
        RECT pad = c->GetPadding();
        SIZE sz = c->EstimateSize({in.right - in.left, in.bottom - in.top});
        RECT r{in.left + pad.left, in.top + pad.top, in.right - pad.right, in.bottom - pad.bottom};
        if (sz.cx > 0) r.right = r.left + sz.cx;
        if (sz.cy > 0) r.bottom = r.top + sz.cy;
        c->SetPos(r, false);
    }
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (m_nScrollRange > 0) {
        switch (event.Type) {
        case UIEVENT_SCROLLWHEEL:
            if (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0) LineUp();
            else LineDown();
            return;
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (event.ptMouse.x >= InnerRect().right) {
                RECT thumb = GetScrollThumbRect();
                if (PtInRectUI(thumb, event.ptMouse)) {
                    m_bThumbDrag = true;
                    m_nThumbDragOffset = event.ptMouse.y - thumb.top;
                } else {
                    RECT in = InnerRect();
                    SetScrollPos(m_nScrollPos + (event.ptMouse.y < thumb.top ? -1 : 1) * (in.bottom - in.top));
                }
                return;
            }
            break;
        case UIEVENT_MOUSEMOVE:
            if (m_bThumbDrag) {
                RECT in = InnerRect();
                RECT thumb = GetScrollThumbRect();
                int track = (in.bottom - in.top) - (thumb.bottom - thumb.top);
                if (track > 0) SetScrollPos((event.ptMouse.y - m_nThumbDragOffset - in.top) * m_nScrollRange / track);
                return;
            }
            break;
        case UIEVENT_BUTTONUP:
            if (m_bThumbDrag) {
                m_bThumbDrag = false;
                return;
            }
            break;
        default:
            break;
        }
    }
    CControlUI::DoEvent(event);
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"inset") SetInset(ParseRect(value));
    else if (n == L"childpadding") SetChildPadding(ParseInt(value));
    else if (n == L"mousechild") SetMouseChildEnabled(ParseBool(value));
    else if (n == L"vscrollbar") EnableScrollBar(ParseBool(value));
    else if (n == L"hscrollbar") {}
    else CControlUI::SetAttribute(name, value);
}

void CContainerUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
    RECT rc;
    if (!IntersectRectUI(rc, rcPaint, m_rcItem)) return;
    CControlUI::DoPaint(cr, rcPaint);
    cairo_save(cr);
    cairo_rectangle(cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    cairo_clip(cr);
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
        render::RoundRectPath(cr, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
        cairo_clip(cr);
    }
    PaintItems(cr, rc);
    if (m_nScrollRange > 0) {
        RECT thumb = GetScrollThumbRect();
        render::SetColor(cr, 0x80A0A0A0);
        render::RoundRectPath(cr, {thumb.left + 2, thumb.top, thumb.right - 1, thumb.bottom}, 5, 5);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void CContainerUI::PaintItems(cairo_t* cr, const RECT& rc) {
    for (CControlUI* c : m_items) {
        if (!c->IsVisible()) continue;
        RECT inter;
        if (!IntersectRectUI(inter, rc, c->GetPos())) continue;
        c->DoPaint(cr, rc);
    }
}

CControlUI* CContainerUI::FindSubControl(const wchar_t* name) {
    struct Finder {
        static CControlUI* Proc(CControlUI* c, void* data) {
            return c->GetName() == static_cast<const wchar_t*>(data) ? c : nullptr;
        }
    };
    return FindControl(&Finder::Proc, const_cast<wchar_t*>(name), UIFIND_ALL);
}

// ---- linear layouts ----

namespace {

// Lays the children out along one axis; returns the content length along it. Floating
// children go to `floatPos`, the box's own placement.
template <class FloatPos>
int LayoutLine(CContainerUI* box, bool vertical, RECT in, int scroll, int childPadding, FloatPos floatPos) {
    auto mainOf = [&](SIZE s) { return vertical ? s.cy : s.cx; };
    auto crossOf = [&](SIZE s) { return vertical ? s.cx : s.cy; };
    const int availMain = vertical ? in.bottom - in.top : in.right - in.left;
    const int availCross = vertical ? in.right - in.left : in.bottom - in.top;
    const SIZE avail{in.right - in.left, in.bottom - in.top};

    std::vector<CControlUI*> kids;
    std::vector<int> mainSize;
    int fixedSum = 0, stretch = 0;
    for (int i = 0; i < box->GetCount(); ++i) {
        CControlUI* c = box->GetItemAt(i);
        if (!c->IsVisible()) continue;
        if (c->IsFloat()) {
            floatPos(c);
            continue;
        }
        RECT pad = c->GetPadding();
        int m = mainOf(c->EstimateSize(avail));
        int minM = vertical ? c->GetMinHeight() : c->GetMinWidth();
        int maxM = vertical ? c->GetMaxHeight() : c->GetMaxWidth();
        if (m > 0) m = std::clamp(m, minM, std::max(minM, maxM));
        else ++stretch;
        kids.push_back(c);
        mainSize.push_back(m);
        fixedSum += m + (vertical ? pad.top + pad.bottom : pad.left + pad.right);
    }
    if (kids.size() > 1) fixedSum += childPadding * static_cast<int>(kids.size() - 1);
    int expand = stretch ? std::max(0, availMain - fixedSum) / stretch : 0;
    int remainder = stretch ? std::max(0, availMain - fixedSum) - expand * stretch : 0;

    int pos = (vertical ? in.top : in.left) - scroll;
    int content = 0;
    int seenStretch = 0;
    for (size_t i = 0; i < kids.size(); ++i) {
        CControlUI* c = kids[i];
        RECT pad = c->GetPadding();
        int m = mainSize[i];
        if (m == 0) {
            ++seenStretch;
            m = expand + (seenStretch == stretch ? remainder : 0);
            int minM = vertical ? c->GetMinHeight() : c->GetMinWidth();
            int maxM = vertical ? c->GetMaxHeight() : c->GetMaxWidth();
            m = std::clamp(m, minM, std::max(minM, maxM));
        }
        int padCrossStart = vertical ? pad.left : pad.top;
        int padCrossEnd = vertical ? pad.right : pad.bottom;
        int cross = crossOf(c->EstimateSize(avail));
        if (cross <= 0) cross = availCross - padCrossStart - padCrossEnd;
        int minC = vertical ? c->GetMinWidth() : c->GetMinHeight();
        int maxC = vertical ? c->GetMaxWidth() : c->GetMaxHeight();
        cross = std::clamp(cross, minC, std::max(minC, maxC));
        pos += vertical ? pad.top : pad.left;
        RECT r;
        if (vertical) r = {in.left + padCrossStart, pos, in.left + padCrossStart + cross, pos + m};
        else r = {pos, in.top + padCrossStart, pos + m, in.top + padCrossStart + cross};
        c->SetPos(r, false);
        pos += m + (vertical ? pad.bottom : pad.right) + childPadding;
        content += m + (vertical ? pad.top + pad.bottom : pad.left + pad.right) + (i + 1 < kids.size() ? childPadding : 0);
    }
    return content;
}

}  // namespace

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"VerticalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    auto floatPos = [this](CControlUI* c) { SetFloatPos(c); };
    RECT in = InnerRect();
    int content = LayoutLine(this, true, in, m_nScrollPos, m_iChildPadding, floatPos);
    int oldRange = m_nScrollRange;
    UpdateScroll(content, in.bottom - in.top);
    if ((oldRange > 0) != (m_nScrollRange > 0) || m_nScrollPos != 0) {
        // The scroll bar appeared or went, or the content moved: lay out once more.
        in = InnerRect();
        content = LayoutLine(this, true, in, m_nScrollPos, m_iChildPadding, floatPos);
        UpdateScroll(content, in.bottom - in.top);
    }
}

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    m_nScrollRange = 0;
    LayoutLine(this, false, InnerRect(), 0, m_iChildPadding, [this](CControlUI* c) { SetFloatPos(c); });
}

// ---- tab layout ----

void* CTabLayoutUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"TabLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    if (m_iCurSel < 0) m_iCurSel = 0;
    control->SetVisible(GetItemIndex(control) == m_iCurSel);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
    int i = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) return false;
    if (GetCount() == 0) m_iCurSel = -1;
    else if (i < m_iCurSel || m_iCurSel >= GetCount()) SelectItem(std::max(0, m_iCurSel - 1));
    else if (i == m_iCurSel) SelectItem(std::min(m_iCurSel, GetCount() - 1));
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) return false;
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == index);
    NeedUpdate();
    return true;
}

void CTabLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CContainerUI::SetPos(rc, bNeedInvalidate);
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (std::wcscmp(name, L"selectedid") == 0) {
        int i = ParseInt(value);
        if (i >= 0 && i < GetCount()) SelectItem(i);
        else if (GetCount() == 0) m_iCurSel = i;
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

}  // namespace skinui
