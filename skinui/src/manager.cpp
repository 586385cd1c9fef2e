// The paint manager.
#include "skinui/manager.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "host.h"
#include "render.h"
#include "skinui/container.h"

namespace skinui {

namespace {
constexpr UINT_PTR kToolTipTimer = 0x4FFF;

WORD KeyStateFromWParam(WPARAM wParam) { return static_cast<WORD>(wParam & (MK_CONTROL | MK_SHIFT | MK_LBUTTON | MK_RBUTTON)); }
POINT PointFromLParam(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }
}  // namespace

CPaintManagerUI::CPaintManagerUI() {
    m_defaultFont.sFontName = L"微软雅黑";
    m_defaultFont.iSize = 12;
}

CPaintManagerUI::~CPaintManagerUI() {
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    for (auto& [id, f] : m_fonts)
        if (f.desc) pango_font_description_free(f.desc);
    if (m_defaultFont.desc) pango_font_description_free(m_defaultFont.desc);
}

void CPaintManagerUI::Init(HWND hWnd) { m_hWndPaint = hWnd; }

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_info.szInit = {cx, cy};
    if (!m_hWndPaint) m_szClient = {cx, cy};
    NeedUpdate();
}

void CPaintManagerUI::SetWindowAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"size") {
        SIZE s = ParseSize(value);
        SetInitSize(s.cx, s.cy);
    } else if (n == L"sizebox") m_info.rcSizeBox = ParseRect(value);
    else if (n == L"caption") m_info.rcCaption = ParseRect(value);
    else if (n == L"mininfo") m_info.szMin = ParseSize(value);
    else if (n == L"maxinfo") m_info.szMax = ParseSize(value);
    else if (n == L"roundcorner") m_info.szRoundCorner = ParseSize(value);
    else if (n == L"bktrans") m_info.bTransparent = ParseBool(value);
    else if (n == L"opacity") m_info.nOpacity = static_cast<BYTE>(std::clamp(ParseInt(value), 0, 255));
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (!root) return false;
    if (m_pRoot && m_pRoot != root) {
        CControlUI* old = m_pRoot;
        m_pRoot = nullptr;
        delete old;
    }
    m_pFocus = m_pEventHover = m_pEventClick = m_pEventRClick = nullptr;
    m_names.clear();
    m_pRoot = root;
    m_bFirstLayout = true;
    NeedUpdate();
    return InitControls(root, nullptr);
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    if (!control) return false;
    control->SetManager(this, parent ? parent : control->GetParent(), true);
    control->FindControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            static_cast<CPaintManagerUI*>(data)->AddName(c);
            return nullptr;
        },
        this, UIFIND_ALL);
    return true;
}

void CPaintManagerUI::AddName(CControlUI* control) {
    CDuiString name = control->GetName();
    if (name.empty()) return;
    auto range = m_names.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == control) return;
    m_names.emplace(name, control);
}

void CPaintManagerUI::RenameControl(CControlUI* control, const CDuiString& oldName) {
    auto range = m_names.equal_range(oldName);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == control) {
            m_names.erase(it);
            break;
        }
    AddName(control);
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (!control) return;
    if (m_pFocus == control) m_pFocus = nullptr;
    if (m_pEventHover == control) m_pEventHover = nullptr;
    if (m_pEventClick == control) m_pEventClick = nullptr;
    if (m_pEventRClick == control) m_pEventRClick = nullptr;
    if (m_pTipControl == control) m_pTipControl = nullptr;
    KillTimer(control);
    for (auto& n : m_asyncNotify)
        if (n.pSender == control) n.pSender = nullptr;
    for (auto it = m_names.begin(); it != m_names.end();) {
        if (it->second == control) it = m_names.erase(it);
        else ++it;
    }
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
    if (!name) return nullptr;
    auto range = m_names.equal_range(name);
    CControlUI* found = nullptr;
    // The first one in layout order wins when a name repeats.
    for (auto it = range.first; it != range.second; ++it) found = it->second;
    if (range.first != range.second && std::distance(range.first, range.second) > 1 && m_pRoot) {
        struct Ctx { const wchar_t* name; } ctx{name};
        return m_pRoot->FindControl(
            [](CControlUI* c, void* d) -> CControlUI* {
                return c->GetName() == static_cast<Ctx*>(d)->name ? c : nullptr;
            },
            &ctx, UIFIND_ALL);
    }
    return found;
}

static CControlUI* FindFromPoint(CControlUI* c, void* data) {
    return PtInRectUI(c->GetPos(), *static_cast<POINT*>(data)) ? c : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (!m_pRoot) return nullptr;
    return m_pRoot->FindControl(&FindFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* parent, POINT pt) const {
    if (!parent) parent = m_pRoot;
    if (!parent) return nullptr;
    return parent->FindControl(&FindFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const wchar_t* name) const {
    if (!parent) parent = m_pRoot;
    if (!parent || !name) return nullptr;
    return parent->FindControl(
        [](CControlUI* c, void* d) -> CControlUI* {
            return c->GetName() == static_cast<const wchar_t*>(d) ? c : nullptr;
        },
        const_cast<wchar_t*>(name), UIFIND_ALL);
}

void CPaintManagerUI::SendEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam, WORD keyState,
                                wchar_t ch) {
    if (!control) return;
    TEventUI e;
    e.Type = type;
    e.pSender = control;
    e.ptMouse = pt;
    e.wParam = wParam;
    e.lParam = lParam;
    e.wKeyState = keyState;
    e.chKey = ch;
    control->Event(e);
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control == m_pFocus) return;
    CControlUI* old = m_pFocus;
    m_pFocus = nullptr;
    if (old) SendEvent(old, UIEVENT_KILLFOCUS, m_ptLastMouse, 0, 0);
    if (control && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
        m_pFocus = control;
        SendEvent(control, UIEVENT_SETFOCUS, m_ptLastMouse, 0, 0);
    }
}

void CPaintManagerUI::SetCapture() {
    host::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture() {
    if (m_bMouseCapture) host::ReleaseCapture(m_hWndPaint);
    m_bMouseCapture = false;
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapse) {
    if (!control) return false;
    for (auto& t : m_timers)
        if (t.control == control && t.localId == id) {
            t.killed = false;
            return host::SetTimer(m_hWndPaint, t.winId, elapse);
        }
    Timer t{control, id, ++m_nextTimerId, false};
    if (!host::SetTimer(m_hWndPaint, t.winId, elapse)) return false;
    m_timers.push_back(t);
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
        if (it->control == control && it->localId == id) {
            host::KillTimer(m_hWndPaint, it->winId);
            m_timers.erase(it);
            return true;
        }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* control) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->control == control) {
            host::KillTimer(m_hWndPaint, it->winId);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

bool CPaintManagerUI::HasTimer(CControlUI* control, UINT id) const {
    return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.control == control && t.localId == id; });
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (!notifier || std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end()) return false;
    m_notifiers.push_back(notifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    auto it = std::find(m_notifiers.begin(), m_notifiers.end(), notifier);
    if (it == m_notifiers.end()) return false;
    m_notifiers.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool bAsync) {
    msg.ptMouse = m_ptLastMouse;
    if (bAsync && m_hWndPaint) {
        m_asyncNotify.push_back(msg);
        host::PostAsyncNotify(m_hWndPaint);
        return;
    }
    if (msg.pSender) msg.pSender->OnNotify(&msg);
    std::vector<INotifyUI*> notifiers = m_notifiers;  // a notifier may remove itself
    for (INotifyUI* n : notifiers)
        if (std::find(m_notifiers.begin(), m_notifiers.end(), n) != m_notifiers.end()) n->Notify(msg);
}

void CPaintManagerUI::SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam, LPARAM lParam, bool bAsync) {
    TNotifyUI msg;
    msg.pSender = control;
    msg.sType = type;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync);
}

void CPaintManagerUI::FlushAsyncNotify() {
    std::vector<TNotifyUI> queue;
    queue.swap(m_asyncNotify);
    for (auto& msg : queue) {
        if (!msg.pSender) continue;  // its control went away meanwhile
        POINT pt = msg.ptMouse;
        SendNotify(msg, false);
        msg.ptMouse = pt;
    }
}

static bool AddFilter(std::vector<IMessageFilterUI*>& v, IMessageFilterUI* f) {
    if (!f || std::find(v.begin(), v.end(), f) != v.end()) return false;
    v.push_back(f);
    return true;
}
static bool RemoveFilter(std::vector<IMessageFilterUI*>& v, IMessageFilterUI* f) {
    auto it = std::find(v.begin(), v.end(), f);
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}
bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* f) { return AddFilter(m_preFilters, f); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* f) { return RemoveFilter(m_preFilters, f); }
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* f) { return AddFilter(m_filters, f); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* f) { return RemoveFilter(m_filters, f); }

int CPaintManagerUI::AddFont(int id, const wchar_t* name, int size, bool bold, bool underline, bool italic, bool isDefault) {
    if (id < 0) id = m_fonts.empty() ? 0 : m_fonts.rbegin()->first + 1;
    TFontInfo& f = m_fonts[id];
    if (f.desc) pango_font_description_free(f.desc);
    f = TFontInfo{name ? name : L"", size, bold, underline, italic, nullptr};
    if (isDefault) SetDefaultFont(name, size, bold, underline, italic);
    return id;
}

TFontInfo* CPaintManagerUI::GetFontInfo(int index) {
    auto it = m_fonts.find(index);
    return it == m_fonts.end() ? &m_defaultFont : &it->second;
}

TFontInfo* CPaintManagerUI::GetDefaultFontInfo() { return &m_defaultFont; }

void CPaintManagerUI::SetDefaultFont(const wchar_t* name, int size, bool bold, bool underline, bool italic) {
    if (m_defaultFont.desc) pango_font_description_free(m_defaultFont.desc);
    m_defaultFont = TFontInfo{name ? name : L"", size, bold, underline, italic, nullptr};
}

SIZE CPaintManagerUI::MeasureText(const CDuiString& text, int font, int wrapWidth) {
    PangoLayout* layout = render::MakeLayout(render::MeasureContext(), this, font, text);
    if (wrapWidth > 0) {
        pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return SIZE{logical.width, logical.height};
}

void CPaintManagerUI::AddDefaultAttributeList(const wchar_t* control, const wchar_t* list) {
    m_defaultAttrs[control ? control : L""] = list ? list : L"";
}

const wchar_t* CPaintManagerUI::GetDefaultAttributeList(const wchar_t* control) const {
    auto it = m_defaultAttrs.find(control ? control : L"");
    return it == m_defaultAttrs.end() ? nullptr : it->second.c_str();
}

void CPaintManagerUI::Invalidate() { host::Invalidate(m_hWndPaint, nullptr); }

void CPaintManagerUI::Invalidate(const RECT& rc) { host::Invalidate(m_hWndPaint, &rc); }

void CPaintManagerUI::UpdateLayout() {
    if (!m_pRoot || !m_bUpdateNeeded) return;
    m_bUpdateNeeded = false;
    RECT rc{0, 0, m_szClient.cx, m_szClient.cy};
    m_pRoot->SetPos(rc, false);
    m_bUpdateNeeded = false;
    if (m_bFirstLayout) {
        m_bFirstLayout = false;
        SendNotify(m_pRoot, DUI_MSGTYPE_WINDOWINIT, 0, 0, false);
    }
}

void CPaintManagerUI::Paint(cairo_t* cr, const RECT& rcPaint) {
    UpdateLayout();
    if (!m_pRoot) return;
    cairo_save(cr);
    if (m_info.bTransparent) {
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_rectangle(cr, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left, rcPaint.bottom - rcPaint.top);
        cairo_fill(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    m_pRoot->DoPaint(cr, rcPaint);
    cairo_restore(cr);
}

cairo_surface_t* CPaintManagerUI::RenderToSurface() {
    int w = std::max<LONG>(1, m_szClient.cx), h = std::max<LONG>(1, m_szClient.cy);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    Paint(cr, RECT{0, 0, w, h});
    cairo_destroy(cr);
    cairo_surface_flush(s);
    return s;
}

void CPaintManagerUI::_WMPaint() {
    Invalidate();
    host::UpdateNow(m_hWndPaint);
}

void CPaintManagerUI::SetToolTipHook(void (*show)(CPaintManagerUI*, CControlUI*, POINT), void (*hide)(CPaintManagerUI*)) {
    m_tipShow = show;
    m_tipHide = hide;
}

void CPaintManagerUI::SetHot(CControlUI* control, POINT pt, WPARAM wParam) {
    if (control == m_pEventHover) return;
    CControlUI* old = m_pEventHover;
    m_pEventHover = control;
    if (old) SendEvent(old, UIEVENT_MOUSELEAVE, pt, wParam, 0, KeyStateFromWParam(wParam));
    if (m_tipHide) m_tipHide(this);
    if (m_tipTimer) {
        host::KillTimer(m_hWndPaint, kToolTipTimer);
        m_tipTimer = 0;
    }
    m_pTipControl = nullptr;
    if (control) {
        SendEvent(control, UIEVENT_MOUSEENTER, pt, wParam, 0, KeyStateFromWParam(wParam));
        if (m_tipShow && !control->GetToolTip().empty() && host::SetTimer(m_hWndPaint, kToolTipTimer, 500)) {
            m_tipTimer = kToolTipTimer;
            m_pTipControl = control;
        }
    }
}

void CPaintManagerUI::OnMouseMove(POINT pt, WPARAM wParam) {
    m_ptLastMouse = pt;
    if (!m_bMouseTracking) {
        host::TrackMouseLeave(m_hWndPaint);
        m_bMouseTracking = true;
    }
    CControlUI* under = FindControl(pt);
    if (under && under->GetManager() != this) under = nullptr;
    // While a button is held the pressed control keeps the hot state and gets the moves.
    if (!m_pEventClick) SetHot(under, pt, wParam);
    CControlUI* target = m_pEventClick ? m_pEventClick : under;
    if (target) SendEvent(target, UIEVENT_MOUSEMOVE, pt, wParam, 0, KeyStateFromWParam(wParam));
}

// Runs the filters in order; the first that handles the message ends it.
static bool RunFilters(const std::vector<IMessageFilterUI*>& list, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    std::vector<IMessageFilterUI*> filters = list;  // a filter may remove itself
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = r;
            return true;
        }
    }
    return false;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    return RunFilters(m_preFilters, uMsg, wParam, lParam, lRes);
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (RunFilters(m_filters, uMsg, wParam, lParam, lRes)) return true;
    // Input may come before the first paint: hit tests need the layout.
    if ((uMsg >= WM_MOUSEMOVE && uMsg <= WM_MOUSEWHEEL) || uMsg == WM_KEYDOWN || uMsg == WM_CHAR) UpdateLayout();
    switch (uMsg) {
    case host::kAsyncNotifyMsg:
        FlushAsyncNotify();
        lRes = 0;
        return true;
    case WM_PAINT:
        if (host::Paint(m_hWndPaint, this)) {
            lRes = 0;
            return true;
        }
        return false;
    case WM_SIZE:
        m_szClient = {LOWORD(lParam), HIWORD(lParam)};
        NeedUpdate();
        Invalidate();
        return false;
    case WM_SHOWWINDOW:
        // A window that leaves the screen (hidden, or with its minimised owner) takes its
        // control's tip along, and one still waiting to show is not shown.
        if (!wParam) {
            if (m_tipTimer) {
                host::KillTimer(m_hWndPaint, kToolTipTimer);
                m_tipTimer = 0;
            }
            if (m_tipHide) m_tipHide(this);
        }
        return false;
    case WM_TIMER:
        if (wParam == kToolTipTimer) {
            host::KillTimer(m_hWndPaint, kToolTipTimer);
            m_tipTimer = 0;
            if (m_pTipControl && m_tipShow) m_tipShow(this, m_pTipControl, m_ptLastMouse);
            lRes = 0;
            return true;
        }
        for (const Timer& t : m_timers) {
            if (t.winId != wParam) continue;
            SendEvent(t.control, UIEVENT_TIMER, m_ptLastMouse, t.localId, 0);
            lRes = 0;
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
        OnMouseMove(PointFromLParam(lParam), wParam);
        return false;
    case WM_MOUSELEAVE:
        m_bMouseTracking = false;
        if (m_tipHide) m_tipHide(this);
        if (!m_pEventClick) SetHot(nullptr, m_ptLastMouse, 0);
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT pt = PointFromLParam(lParam);
        m_ptLastMouse = pt;
        if (m_tipHide) m_tipHide(this);
        CControlUI* c = FindControl(pt);
        if (!c || c->GetManager() != this || !c->IsEnabled()) return false;
        if (c->IsKeyboardEnabled() && (c->GetControlFlags() & UIFLAG_TABSTOP)) SetFocus(c);
        m_pEventClick = c;
        SetCapture();
        SendEvent(c, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, pt, wParam, lParam,
                  KeyStateFromWParam(wParam));
        return false;
    }
    case WM_LBUTTONUP: {
        POINT pt = PointFromLParam(lParam);
        m_ptLastMouse = pt;
        ReleaseCapture();
        CControlUI* c = m_pEventClick;
        m_pEventClick = nullptr;
        if (c) SendEvent(c, UIEVENT_BUTTONUP, pt, wParam, lParam, KeyStateFromWParam(wParam));
        // The hot control may have changed while the button was held, and the click may have run
        // a pop-up of its own (a menu) while the pointer went elsewhere: what is hot now is what
        // the pointer is over now.
        POINT now = pt;
        const bool inside = !m_hWndPaint || host::PointerInClient(m_hWndPaint, &now);
        CControlUI* under = inside ? FindControl(now) : nullptr;
        SetHot(under && under->GetManager() == this ? under : nullptr, now, wParam);
        return false;
    }
    case WM_RBUTTONDOWN: {
        POINT pt = PointFromLParam(lParam);
        m_ptLastMouse = pt;
        CControlUI* c = FindControl(pt);
        if (!c || c->GetManager() != this || !c->IsEnabled()) return false;
        m_pEventRClick = c;
        SendEvent(c, UIEVENT_RBUTTONDOWN, pt, wParam, lParam, KeyStateFromWParam(wParam));
        return false;
    }
    case WM_RBUTTONUP: {
        POINT pt = PointFromLParam(lParam);
        m_ptLastMouse = pt;
        CControlUI* c = FindControl(pt);
        CControlUI* pressed = m_pEventRClick;
        m_pEventRClick = nullptr;
        if (!c || c != pressed || !c->IsEnabled()) return false;
        SendEvent(c, UIEVENT_CONTEXTMENU, pt, wParam, lParam, KeyStateFromWParam(wParam));
        return false;
    }
    case WM_MOUSEWHEEL: {
        POINT pt = host::ScreenToClient(m_hWndPaint, PointFromLParam(lParam));
        CControlUI* c = FindControl(pt);
        if (!c || c->GetManager() != this || !c->IsEnabled()) return false;
        SendEvent(c, UIEVENT_SCROLLWHEEL, pt, wParam, lParam, KeyStateFromWParam(LOWORD(wParam)));
        if (!m_pEventClick) {
            // What scrolled moved other controls under the still pointer: the tip of the one
            // that was there goes, and the one there now is hot and gets its own tip (a row used
            // again for another record stays the hot control; its tip is made afresh all the same).
            UpdateLayout();
            CControlUI* under = FindControl(pt);
            if (under && under->GetManager() != this) under = nullptr;
            if (under != m_pEventHover) {
                SetHot(under, pt, 0);
            } else {
                if (m_tipHide) m_tipHide(this);
                if (m_tipTimer) host::KillTimer(m_hWndPaint, kToolTipTimer);
                m_tipTimer = 0;
                m_pTipControl = nullptr;
                if (under && m_tipShow && !under->GetToolTip().empty() && host::SetTimer(m_hWndPaint, kToolTipTimer, 500)) {
                    m_tipTimer = kToolTipTimer;
                    m_pTipControl = under;
                }
            }
        }
        return false;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
        if (!m_pFocus) return false;
        WORD keys = 0;
        if (host::KeyDown(VK_CONTROL)) keys |= MK_CONTROL;
        if (host::KeyDown(VK_SHIFT)) keys |= MK_SHIFT;
        int type = uMsg == WM_CHAR ? UIEVENT_CHAR : uMsg == WM_KEYUP ? UIEVENT_KEYUP : UIEVENT_KEYDOWN;
        SendEvent(m_pFocus, type, m_ptLastMouse, wParam, lParam, keys, static_cast<wchar_t>(wParam));
        return false;
    }
    case WM_SYSCHAR: {
        // Alt with a control's shortcut key activates it.
        if (!m_pRoot || !wParam) return false;
        wchar_t key = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wParam)));
        CControlUI* c = m_pRoot->FindControl(
            [](CControlUI* c, void* k) -> CControlUI* {
                return c->GetShortcut() && c->GetShortcut() == *static_cast<wchar_t*>(k) ? c : nullptr;
            },
            &key, UIFIND_VISIBLE | UIFIND_ENABLED);
        if (!c) return false;
        c->Activate();
        lRes = 0;
        return true;
    }
    case WM_KILLFOCUS:
        if (m_pEventClick) {
            ReleaseCapture();
            m_pEventClick = nullptr;
        }
        return false;
    default:
        return false;
    }
}

}  // namespace skinui
