// Label, text, button, option, check box, progress and slider.
#include "skinui/controls.h"

#include <algorithm>
#include <cwchar>

#include "render.h"
#include "skinui/manager.h"

namespace skinui {

// ---- label ----

CLabelUI::CLabelUI() = default;

void* CLabelUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Label") == 0) return static_cast<CLabelUI*>(this);
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetTextStyle(UINT style) {
    m_uTextStyle = style;
    Invalidate();
}
void CLabelUI::SetTextColor(DWORD argb) {
    m_dwTextColor = argb;
    Invalidate();
}
void CLabelUI::SetDisabledTextColor(DWORD argb) {
    m_dwDisabledTextColor = argb;
    Invalidate();
}
void CLabelUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}
void CLabelUI::SetTextPadding(RECT rc) {
    m_rcTextPadding = rc;
    Invalidate();
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name), v(value ? value : L"");
    if (n == L"align") {
        m_uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (v.find(L"center") != std::wstring::npos) m_uTextStyle |= DT_CENTER;
        else if (v.find(L"right") != std::wstring::npos) m_uTextStyle |= DT_RIGHT;
    } else if (n == L"valign") {
        m_uTextStyle &= ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
        if (v.find(L"top") != std::wstring::npos) {}
        else if (v.find(L"bottom") != std::wstring::npos) m_uTextStyle |= DT_BOTTOM;
        else m_uTextStyle |= DT_VCENTER;
    } else if (n == L"endellipsis") {
        if (ParseBool(value)) m_uTextStyle |= DT_END_ELLIPSIS;
        else m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (n == L"wordbreak" || n == L"multiline") {
        if (ParseBool(value)) {
            m_uTextStyle &= ~DT_SINGLELINE;
            m_uTextStyle |= DT_WORDBREAK;
        } else {
            m_uTextStyle &= ~DT_WORDBREAK;
            m_uTextStyle |= DT_SINGLELINE;
        }
    } else if (n == L"font") SetFont(ParseInt(value));
    else if (n == L"textcolor") SetTextColor(ParseColor(value));
    else if (n == L"disabledtextcolor") SetDisabledTextColor(ParseColor(value));
    else if (n == L"textpadding") SetTextPadding(ParseRect(value));
    else CControlUI::SetAttribute(name, value);
}

void CLabelUI::PaintText(cairo_t* cr) {
    RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
            m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    DWORD color = IsEnabled() ? m_dwTextColor : (m_dwDisabledTextColor ? m_dwDisabledTextColor : 0xFFA7A6AA);
    render::DrawText(cr, m_pManager, rc, m_sText, color, m_iFont, m_uTextStyle);
}

CTextUI::CTextUI() { m_uTextStyle = DT_WORDBREAK; }

void* CTextUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Text") == 0) return this;
    return CLabelUI::GetInterface(name);
}

// ---- button ----

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

void* CButtonUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Button") == 0) return static_cast<CButtonUI*>(this);
    return CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const { return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0); }

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!IsEnabled()) m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (PtInRectUI(m_rcItem, event.ptMouse) && IsEnabled()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            if (PtInRectUI(m_rcItem, event.ptMouse)) m_uButtonState |= UISTATE_PUSHED;
            else m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            bool inside = PtInRectUI(m_rcItem, event.ptMouse);
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside) Activate();
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_KEYDOWN:
        if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) {
            Activate();
            return;
        }
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetNormalImage(const wchar_t* s) { m_sNormalImage = s; Invalidate(); }
void CButtonUI::SetHotImage(const wchar_t* s) { m_sHotImage = s; Invalidate(); }
void CButtonUI::SetPushedImage(const wchar_t* s) { m_sPushedImage = s; Invalidate(); }
void CButtonUI::SetDisabledImage(const wchar_t* s) { m_sDisabledImage = s; Invalidate(); }

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"normalimage") SetNormalImage(value);
    else if (n == L"hotimage") SetHotImage(value);
    else if (n == L"pushedimage") SetPushedImage(value);
    else if (n == L"disabledimage") SetDisabledImage(value);
    else if (n == L"focusedimage") m_sFocusedImage = value;
    else if (n == L"hottextcolor") SetHotTextColor(ParseColor(value));
    else if (n == L"pushedtextcolor") SetPushedTextColor(ParseColor(value));
    else if (n == L"hotbkcolor") m_dwHotBkColor = ParseColor(value);
    else CLabelUI::SetAttribute(name, value);
}

void CButtonUI::PaintText(cairo_t* cr) {
    DWORD saved = m_dwTextColor;
    if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor) m_dwTextColor = m_dwPushedTextColor;
    else if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor) m_dwTextColor = m_dwHotTextColor;
    CLabelUI::PaintText(cr);
    m_dwTextColor = saved;
}

void CButtonUI::PaintStatusImage(cairo_t* cr) {
    if (!IsEnabled()) {
        if (!m_sDisabledImage.empty() && DrawImage(cr, m_sDisabledImage)) return;
    } else if (m_uButtonState & UISTATE_PUSHED) {
        if (!m_sPushedImage.empty() && DrawImage(cr, m_sPushedImage)) return;
    } else if (m_uButtonState & UISTATE_HOT) {
        if (m_dwHotBkColor) render::FillRect(cr, m_rcItem, m_dwHotBkColor);
        if (!m_sHotImage.empty() && DrawImage(cr, m_sHotImage)) return;
    } else if (IsFocused() && !m_sFocusedImage.empty()) {
        if (DrawImage(cr, m_sFocusedImage)) return;
    }
    if (!m_sNormalImage.empty()) DrawImage(cr, m_sNormalImage);
}

// ---- option and check box ----

COptionUI::~COptionUI() = default;

void* COptionUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Option") == 0) return static_cast<COptionUI*>(this);
    return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    CButtonUI::SetManager(manager, parent, init);
}

void COptionUI::SetGroup(const wchar_t* group) {
    m_sGroupName = group;
}

// Options of one group share the nearest container that holds the group's other members;
// for simplicity the whole tree of the manager is searched.
static void UnselectGroupPeers(COptionUI* self, CPaintManagerUI* manager, bool trigger) {
    if (!manager || !manager->GetRoot() || self->GetGroup().empty()) return;
    struct Ctx {
        COptionUI* self;
        std::vector<COptionUI*> peers;
    } ctx{self, {}};
    manager->GetRoot()->FindControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            auto* ctx = static_cast<Ctx*>(data);
            auto* opt = static_cast<COptionUI*>(c->GetInterface(L"Option"));
            if (opt && opt != ctx->self && opt->GetGroup() == ctx->self->GetGroup() && opt->IsSelected())
                ctx->peers.push_back(opt);
            return nullptr;
        },
        &ctx, UIFIND_ALL);
    for (COptionUI* o : ctx.peers) o->Selected(false, trigger);
}

void COptionUI::Selected(bool selected, bool bTriggerEvent) {
    if (m_bSelected == selected) return;
    m_bSelected = selected;
    if (m_bSelected) UnselectGroupPeers(this, m_pManager, bTriggerEvent);
    Invalidate();
    if (bTriggerEvent && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate()) return false;  // "click" first
    if (!m_sGroupName.empty()) Selected(true);
    else Selected(!m_bSelected);
    return true;
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"group") SetGroup(value);
    else if (n == L"selected") Selected(ParseBool(value), false);
    else if (n == L"selectedimage") SetSelectedImage(value);
    else if (n == L"selectedhotimage") SetSelectedHotImage(value);
    else if (n == L"selectedtextcolor") SetSelectedTextColor(ParseColor(value));
    else if (n == L"selectedbkcolor") m_dwSelectedBkColor = ParseColor(value);
    else CButtonUI::SetAttribute(name, value);
}

void COptionUI::PaintBkColor(cairo_t* cr) {
    if (m_bSelected && m_dwSelectedBkColor) render::FillRect(cr, m_rcItem, m_dwSelectedBkColor);
    else CButtonUI::PaintBkColor(cr);
}

void COptionUI::PaintStatusImage(cairo_t* cr) {
    if (m_bSelected) {
        if ((m_uButtonState & UISTATE_HOT) && !m_sSelectedHotImage.empty() && DrawImage(cr, m_sSelectedHotImage)) return;
        if (!m_sSelectedImage.empty() && DrawImage(cr, m_sSelectedImage)) return;
    }
    CButtonUI::PaintStatusImage(cr);
}

void COptionUI::PaintText(cairo_t* cr) {
    DWORD saved = m_dwTextColor;
    if (m_bSelected && m_dwSelectedTextColor) m_dwTextColor = m_dwSelectedTextColor;
    CButtonUI::PaintText(cr);
    m_dwTextColor = saved;
}

void* CCheckBoxUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"CheckBox") == 0) return this;
    return COptionUI::GetInterface(name);
}

// ---- progress and slider ----

void* CProgressUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Progress") == 0) return static_cast<CProgressUI*>(this);
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int v) {
    m_nMin = v;
    m_nValue = std::clamp(m_nValue, m_nMin, std::max(m_nMin, m_nMax));
    Invalidate();
}
void CProgressUI::SetMaxValue(int v) {
    m_nMax = v;
    m_nValue = std::clamp(m_nValue, m_nMin, std::max(m_nMin, m_nMax));
    Invalidate();
}
void CProgressUI::SetValue(int v) {
    v = std::clamp(v, m_nMin, std::max(m_nMin, m_nMax));
    if (v == m_nValue) return;
    m_nValue = v;
    Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"min") SetMinValue(ParseInt(value));
    else if (n == L"max") SetMaxValue(ParseInt(value));
    else if (n == L"value") SetValue(ParseInt(value));
    else if (n == L"hor") m_bHorizontal = ParseBool(value);
    else if (n == L"foreimage") SetForeImage(value);
    else if (n == L"forecolor") m_dwForeColor = ParseColor(value);
    else CLabelUI::SetAttribute(name, value);
}

void CProgressUI::PaintStatusImage(cairo_t* cr) {
    int range = std::max(1, m_nMax - m_nMin);
    RECT rc = m_rcItem;
    if (m_bHorizontal) rc.right = rc.left + (m_rcItem.right - m_rcItem.left) * (m_nValue - m_nMin) / range;
    else rc.top = rc.bottom - (m_rcItem.bottom - m_rcItem.top) * (m_nValue - m_nMin) / range;
    if (IsRectEmptyUI(rc)) return;
    if (m_dwForeColor) render::FillRect(cr, rc, m_dwForeColor);
    if (!m_sForeImage.empty()) {
        cairo_save(cr);
        cairo_rectangle(cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        cairo_clip(cr);
        DrawImage(cr, m_sForeImage);
        cairo_restore(cr);
    }
}

CSliderUI::CSliderUI() { m_uTextStyle = DT_SINGLELINE | DT_CENTER; }

void* CSliderUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Slider") == 0) return this;
    return CProgressUI::GetInterface(name);
}

void CSliderUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!enable) {
        m_uThumbState = 0;
        m_bDragging = false;
    }
}

RECT CSliderUI::GetThumbRect() const {
    int range = std::max(1, m_nMax - m_nMin);
    if (m_bHorizontal) {
        int left = m_rcItem.left + (m_rcItem.right - m_rcItem.left - m_szThumb.cx) * (m_nValue - m_nMin) / range;
        int top = (m_rcItem.top + m_rcItem.bottom - m_szThumb.cy) / 2;
        return {left, top, left + m_szThumb.cx, top + m_szThumb.cy};
    }
    int left = (m_rcItem.left + m_rcItem.right - m_szThumb.cx) / 2;
    int top = m_rcItem.bottom - m_szThumb.cy -
              (m_rcItem.bottom - m_rcItem.top - m_szThumb.cy) * (m_nValue - m_nMin) / range;
    return {left, top, left + m_szThumb.cx, top + m_szThumb.cy};
}

int CSliderUI::ValueAtPoint(POINT pt) const {
    int range = m_nMax - m_nMin;
    if (m_bHorizontal) {
        int span = m_rcItem.right - m_rcItem.left - m_szThumb.cx;
        if (span <= 0) return m_nMin;
        int x = pt.x - m_rcItem.left - m_szThumb.cx / 2;
        return std::clamp(m_nMin + static_cast<int>(static_cast<long long>(x) * range / span), m_nMin, m_nMax);
    }
    int span = m_rcItem.bottom - m_rcItem.top - m_szThumb.cy;
    if (span <= 0) return m_nMin;
    int y = m_rcItem.bottom - pt.y - m_szThumb.cy / 2;
    return std::clamp(m_nMin + static_cast<int>(static_cast<long long>(y) * range / span), m_nMin, m_nMax);
}

void CSliderUI::DoEvent(TEventUI& event) {
    if (!IsEnabled() && event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) return;
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        m_bDragging = true;
        m_uThumbState |= UISTATE_CAPTURED | UISTATE_PUSHED;
        m_nValue = ValueAtPoint(event.ptMouse);
        Invalidate();
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED);
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_bDragging) {
            int v = ValueAtPoint(event.ptMouse);
            if (v != m_nValue) {
                m_nValue = v;
                Invalidate();
            }
            if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED_MOVE);
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_bDragging) {
            m_bDragging = false;
            m_uThumbState &= ~(UISTATE_CAPTURED | UISTATE_PUSHED);
            m_nValue = ValueAtPoint(event.ptMouse);
            Invalidate();
            if (m_pManager) {
                m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED);
                m_pManager->SendNotify(this, DUI_MSGTYPE_BUTTONUP);
            }
        }
        return;
    case UIEVENT_SCROLLWHEEL: {
        int v = m_nValue + (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0 ? m_nStep : -m_nStep);
        v = std::clamp(v, m_nMin, m_nMax);
        if (v != m_nValue) {
            m_nValue = v;
            Invalidate();
            if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED);
        }
        return;
    }
    case UIEVENT_MOUSEENTER:
        m_uThumbState |= UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_MOUSELEAVE:
        m_uThumbState &= ~UISTATE_HOT;
        Invalidate();
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_MOUSELEAVE);
        return;
    default:
        break;
    }
    CProgressUI::DoEvent(event);
}

void CSliderUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"thumbsize") m_szThumb = ParseSize(value);
    else if (n == L"thumbimage") m_sThumbImage = value;
    else if (n == L"thumbhotimage") m_sThumbHotImage = value;
    else if (n == L"thumbpushedimage") m_sThumbPushedImage = value;
    else if (n == L"thumbcolor") m_dwThumbColor = ParseColor(value);
    else if (n == L"step") m_nStep = ParseInt(value);
    else CProgressUI::SetAttribute(name, value);
}

void CSliderUI::PaintStatusImage(cairo_t* cr) {
    CProgressUI::PaintStatusImage(cr);
    RECT thumb = GetThumbRect();
    const CDuiString* img = &m_sThumbImage;
    if ((m_uThumbState & UISTATE_PUSHED) && !m_sThumbPushedImage.empty()) img = &m_sThumbPushedImage;
    else if ((m_uThumbState & UISTATE_HOT) && !m_sThumbHotImage.empty()) img = &m_sThumbHotImage;
    if (!img->empty()) {
        DrawImage(cr, *img, &thumb);
    } else if (m_dwThumbColor) {
        render::SetColor(cr, m_dwThumbColor);
        render::RoundRectPath(cr, thumb, thumb.right - thumb.left, thumb.bottom - thumb.top);
        cairo_fill(cr);
    }
}

}  // namespace skinui
