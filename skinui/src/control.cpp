// The control base.
#include "skinui/control.h"

#include <cwchar>
#include <cwctype>

#include "render.h"
#include "skinui/manager.h"

namespace skinui {

bool PtInRectUI(const RECT& rc, POINT pt) {
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}

bool IsRectEmptyUI(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

bool IntersectRectUI(RECT& out, const RECT& a, const RECT& b) {
    out = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (IsRectEmptyUI(out)) {
        out = {0, 0, 0, 0};
        return false;
    }
    return true;
}

int ParseInt(const wchar_t* value) {
    if (!value) return 0;
    return static_cast<int>(std::wcstol(value, nullptr, 10));
}

static void ParseInts(const wchar_t* value, long* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = 0;
    if (!value) return;
    const wchar_t* p = value;
    for (int i = 0; i < n && *p; ++i) {
        wchar_t* end = nullptr;
        out[i] = std::wcstol(p, &end, 10);
        if (end == p) break;
        p = end;
        while (*p && (*p == L',' || std::iswspace(static_cast<wint_t>(*p)))) ++p;
    }
}

RECT ParseRect(const wchar_t* value) {
    long v[4];
    ParseInts(value, v, 4);
    return RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[2]), static_cast<LONG>(v[3])};
}

SIZE ParseSize(const wchar_t* value) {
    long v[2];
    ParseInts(value, v, 2);
    return SIZE{static_cast<LONG>(v[0]), static_cast<LONG>(v[1])};
}

DWORD ParseColor(const wchar_t* value) {
    if (!value) return 0;
    while (*value == L'#' || std::iswspace(static_cast<wint_t>(*value))) ++value;
    if (value[0] == L'0' && (value[1] == L'x' || value[1] == L'X')) value += 2;
    wchar_t* end = nullptr;
    unsigned long v = std::wcstoul(value, &end, 16);
    if (end - value == 6) v |= 0xFF000000ul;
    return static_cast<DWORD>(v);
}

bool ParseBool(const wchar_t* value) { return value && std::wcscmp(value, L"true") == 0; }

namespace {
const CDuiString& NoText() {
    static const CDuiString none;
    return none;
}
}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager) m_pManager->ReapObjects(this);
}

CDuiString CControlUI::GetName() const { return m_pTexts ? m_pTexts->name : CDuiString(); }

void CControlUI::SetName(const wchar_t* name) {
    CDuiString old = GetName();
    if (m_pTexts || (name && *name)) OwnTexts().name = name;
    if (m_pManager && old != GetName()) m_pManager->RenameControl(this, old);
}

void* CControlUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Control") == 0) return this;
    return nullptr;
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    m_pManager = manager;
    m_pParent = parent;
    if (init && m_pParent) Init();
}

void CControlUI::SetText(const wchar_t* text) {
    CDuiString t(text);
    if (t == m_sText) return;
    m_sText = t;
    Invalidate();
}

void CControlUI::SetBkColor(DWORD argb) {
    if (m_dwBackColor == argb) return;
    m_dwBackColor = argb;
    Invalidate();
}
const CDuiString& CControlUI::GetBkImage() const { return m_pTexts ? m_pTexts->bkImage : NoText(); }

void CControlUI::SetBkImage(const wchar_t* image) {
    if (m_pTexts || (image && *image)) OwnTexts().bkImage = image;
    Invalidate();
}
void CControlUI::SetBorderColor(DWORD argb) {
    m_dwBorderColor = argb;
    Invalidate();
}
void CControlUI::SetBorderSize(int size) {
    m_nBorderSize = size;
    Invalidate();
}
void CControlUI::SetBorderRound(SIZE round) {
    m_cxyBorderRound = round;
    Invalidate();
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    if (bNeedInvalidate) Invalidate();
    m_rcItem = rc;
    m_bUpdateNeeded = false;
    if (bNeedInvalidate) Invalidate();
}

void CControlUI::SetPadding(RECT rc) {
    m_rcPadding = rc;
    NeedParentUpdate();
}
void CControlUI::SetFixedXY(SIZE xy) {
    m_cXY = xy;
    NeedParentUpdate();
}
void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0) return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}
void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0) return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}
void CControlUI::SetMinWidth(int cx) {
    if (cx < 0) return;
    m_cxyMin.cx = cx;
    NeedParentUpdate();
}
void CControlUI::SetMaxWidth(int cx) {
    if (cx < 0) return;
    m_cxyMax.cx = cx;
    NeedParentUpdate();
}
void CControlUI::SetMinHeight(int cy) {
    if (cy < 0) return;
    m_cxyMin.cy = cy;
    NeedParentUpdate();
}
void CControlUI::SetMaxHeight(int cy) {
    if (cy < 0) return;
    m_cxyMax.cy = cy;
    NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) { return m_cxyFixed; }

void CControlUI::SetFloat(bool b) {
    m_bFloat = b;
    NeedParentUpdate();
}

CControlUI::Texts& CControlUI::OwnTexts() {
    if (!m_pTexts) m_pTexts = std::make_unique<Texts>();
    return *m_pTexts;
}

CDuiString CControlUI::GetToolTip() const { return m_pTexts ? m_pTexts->toolTip : CDuiString(); }

void CControlUI::SetToolTip(const wchar_t* text) {
    if (m_pTexts || (text && *text)) OwnTexts().toolTip = text;
}

const CDuiString& CControlUI::GetUserData() const { return m_pTexts ? m_pTexts->userData : NoText(); }

void CControlUI::SetUserData(const wchar_t* s) {
    if (m_pTexts || (s && *s)) OwnTexts().userData = s;
}

void CControlUI::SetVisible(bool visible) {
    if (m_bVisible == visible) return;
    bool wasVisible = IsVisible();
    m_bVisible = visible;
    if (m_bFocused && !IsVisible() && m_pManager) m_pManager->SetFocus(nullptr);
    if (wasVisible != IsVisible()) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
    m_bInternVisible = visible;
    if (!visible && m_bFocused && m_pManager) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enable) {
    if (m_bEnabled == enable) return;
    m_bEnabled = enable;
    Invalidate();
}

void CControlUI::SetMouseEnabled(bool enable) { m_bMouseEnabled = enable; }
void CControlUI::SetKeyboardEnabled(bool enable) { m_bKeyboardEnabled = enable; }

void CControlUI::SetFocus() {
    if (m_pManager) m_pManager->SetFocus(this);
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((flags & UIFIND_HITTEST) && (!m_bMouseEnabled || !PtInRectUI(m_rcItem, *static_cast<POINT*>(data))))
        return nullptr;
    return proc(this, data);
}

void CControlUI::Invalidate() {
    if (!IsVisible() || !m_pManager) return;
    RECT rc = m_rcItem;
    for (CControlUI* p = m_pParent; p; p = p->GetParent()) {
        RECT clipped;
        if (!IntersectRectUI(clipped, rc, p->GetPos())) return;
        rc = clipped;
    }
    m_pManager->Invalidate(rc);
}

void CControlUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    if (m_pManager) m_pManager->NeedUpdate();
    Invalidate();
}

void CControlUI::NeedParentUpdate() {
    if (m_pParent) m_pParent->NeedUpdateOf(this);
    else NeedUpdate();
}

void CControlUI::NeedUpdateOf(CControlUI*) { NeedUpdate(); }

void CControlUI::Init() {
    DoInit();
    OnInit(this);
}

void CControlUI::Event(TEventUI& event) {
    if (OnEvent(&event)) DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    case UIEVENT_TIMER:
        return;
    case UIEVENT_CONTEXTMENU:
        if (m_bMenuUsed && m_pManager) {
            m_pManager->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
            return;
        }
        break;
    default:
        break;
    }
    if (m_pParent) m_pParent->DoEvent(event);
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"pos") {
        RECT rc = ParseRect(value);
        SetFixedXY({rc.left, rc.top});
        SetFixedWidth(rc.right - rc.left);
        SetFixedHeight(rc.bottom - rc.top);
    } else if (n == L"padding") SetPadding(ParseRect(value));
    else if (n == L"bkcolor" || n == L"bkcolor1") SetBkColor(ParseColor(value));
    else if (n == L"bordercolor") SetBorderColor(ParseColor(value));
    else if (n == L"bordersize") SetBorderSize(ParseInt(value));
    else if (n == L"borderround") SetBorderRound(ParseSize(value));
    else if (n == L"bkimage") SetBkImage(value);
    else if (n == L"width") SetFixedWidth(ParseInt(value));
    else if (n == L"height") SetFixedHeight(ParseInt(value));
    else if (n == L"minwidth") SetMinWidth(ParseInt(value));
    else if (n == L"minheight") SetMinHeight(ParseInt(value));
    else if (n == L"maxwidth") SetMaxWidth(ParseInt(value));
    else if (n == L"maxheight") SetMaxHeight(ParseInt(value));
    else if (n == L"name") SetName(value);
    else if (n == L"text") SetText(value);
    else if (n == L"tooltip") SetToolTip(value);
    else if (n == L"userdata") SetUserData(value);
    else if (n == L"enabled") SetEnabled(ParseBool(value));
    else if (n == L"mouse") SetMouseEnabled(ParseBool(value));
    else if (n == L"keyboard") SetKeyboardEnabled(ParseBool(value));
    else if (n == L"visible") SetVisible(ParseBool(value));
    else if (n == L"float") SetFloat(ParseBool(value));
    else if (n == L"menu") SetContextMenuUsed(ParseBool(value));
    else if (n == L"shortcut") SetShortcut(value[0]);
}

void CControlUI::SetShortcut(wchar_t ch) { m_chShortcut = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch))); }

void CControlUI::ApplyAttributeList(const wchar_t* list) {
    if (!list) return;
    const wchar_t* p = list;
    while (*p) {
        while (*p && std::iswspace(static_cast<wint_t>(*p))) ++p;
        const wchar_t* nameStart = p;
        while (*p && *p != L'=' && !std::iswspace(static_cast<wint_t>(*p))) ++p;
        std::wstring name(nameStart, p);
        while (*p && std::iswspace(static_cast<wint_t>(*p))) ++p;
        if (*p != L'=') break;
        ++p;
        while (*p && std::iswspace(static_cast<wint_t>(*p))) ++p;
        wchar_t quote = *p;
        if (quote != L'"' && quote != L'\'') break;
        ++p;
        const wchar_t* valueStart = p;
        while (*p && *p != quote) ++p;
        std::wstring value(valueStart, p);
        if (*p) ++p;
        if (!name.empty()) SetAttribute(name.c_str(), value.c_str());
    }
}

void CControlUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
    RECT rc;
    if (!IntersectRectUI(rc, rcPaint, m_rcItem)) return;
    cairo_save(cr);
    cairo_rectangle(cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    cairo_clip(cr);
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
        render::RoundRectPath(cr, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
        cairo_clip(cr);
    }
    PaintBkColor(cr);
    PaintBkImage(cr);
    PaintStatusImage(cr);
    PaintText(cr);
    PaintBorder(cr);
    cairo_restore(cr);
}

void CControlUI::PaintBkColor(cairo_t* cr) { render::FillRect(cr, m_rcItem, m_dwBackColor); }

void CControlUI::PaintBkImage(cairo_t* cr) {
    if (const CDuiString& image = GetBkImage(); !image.empty()) DrawImage(cr, image);
}

void CControlUI::PaintStatusImage(cairo_t*) {}
void CControlUI::PaintText(cairo_t*) {}

void CControlUI::PaintBorder(cairo_t* cr) {
    render::DrawBorder(cr, m_rcItem, m_nBorderSize, m_dwBorderColor, m_cxyBorderRound);
}

bool CControlUI::DrawImage(cairo_t* cr, const CDuiString& image, const RECT* dest) {
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    RECT clip{static_cast<LONG>(x1), static_cast<LONG>(y1), static_cast<LONG>(x2 + 1), static_cast<LONG>(y2 + 1)};
    return render::DrawImageString(cr, m_rcItem, clip, image, dest);
}

}  // namespace skinui
