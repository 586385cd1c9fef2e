// Popup menus: the submenu, item, separator and item-button controls, and the popup engine.
#include "skinui/menu.h"

#include <algorithm>
#include <cwchar>

#include "render.h"
#include "skinui/builder.h"
#include "skinui/manager.h"
#include "skinui/window.h"

namespace skinui {

namespace {
constexpr int kItemHeight = 25;
constexpr int kSeparatorHeight = 7;

CMenuElementUI* ElementAt(const CMenuUI* menu, int position) {
    CControlUI* c = position >= 0 ? menu->GetItemAt(position) : nullptr;
    return c ? static_cast<CMenuElementUI*>(c->GetInterface(L"MenuElement")) : nullptr;
}
}  // namespace

// ---- CMenuUI ----

CMenuUI::CMenuUI() {
    m_dwBackColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFC8C8C8;
    m_nBorderSize = kMenuFrameWidth;
    m_rcInset = RECT{kMenuFrameWidth, kMenuFrameWidth, kMenuFrameWidth, kMenuFrameWidth};
    m_cxyFixed.cx = m_nDefaultWidth;
}

void* CMenuUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Menu") == 0) return this;
    return CVerticalLayoutUI::GetInterface(name);
}

void CMenuUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"width") {
        m_nDefaultWidth = std::max(0, ParseInt(value));
        SetFixedWidth(m_nDefaultWidth);
    } else if (n == L"font") {
        m_iFont = ParseInt(value);
    } else if (n == L"itemheight") {
        m_nItemHeight = std::max(1, ParseInt(value));
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

bool CMenuUI::SetEnabled(int position, bool enabled) {
    CControlUI* c = position >= 0 ? GetItemAt(position) : nullptr;
    if (!c) return false;
    c->SetEnabled(enabled);
    return true;
}

bool CMenuUI::IsItemEnabled(int position) const {
    CControlUI* c = position >= 0 ? GetItemAt(position) : nullptr;
    return c && c->IsEnabled();
}

bool CMenuUI::SetItemCheck(int position, bool checked) {
    CMenuElementUI* e = ElementAt(this, position);
    if (!e) return false;
    e->SetCheck(checked);
    return true;
}

bool CMenuUI::GetItemCheck(int position) const {
    CMenuElementUI* e = ElementAt(this, position);
    return e && e->GetCheck();
}

bool CMenuUI::SetItemText(int position, const wchar_t* text) {
    CMenuElementUI* e = ElementAt(this, position);
    if (!e) return false;
    e->SetText(text);
    return true;
}

CDuiString CMenuUI::GetItemText(int position) const {
    CMenuElementUI* e = ElementAt(this, position);
    return e ? e->GetText() : CDuiString();
}

SIZE CMenuUI::MeasureText(const wchar_t* text) {
    if (!m_pManager) return SIZE{0, 0};
    return m_pManager->MeasureText(text ? text : L"", m_iFont);
}

SIZE CMenuUI::GetPopupSize() {
    SIZE s{GetFixedWidth() > 0 ? GetFixedWidth() : m_nDefaultWidth, GetFixedHeight()};
    if (s.cy > 0) return s;
    s.cy = m_rcInset.top + m_rcInset.bottom;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* c = GetItemAt(i);
        if (!c->IsVisible() || c->IsFloat()) continue;
        RECT pad = c->GetPadding();
        s.cy += c->EstimateSize(s).cy + pad.top + pad.bottom;
    }
    return s;
}

// ---- items ----

CMenuElementUI::CMenuElementUI() {
    m_cxyFixed.cy = kItemHeight;
    m_bMouseChildEnabled = false;  // the item takes the mouse, not its parts
}

void CMenuElementUI::SetFixedHeight(int cy) {
    m_bHeightSet = true;
    CHorizontalLayoutUI::SetFixedHeight(cy);
}

void* CMenuElementUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"MenuElement") == 0) return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CMenuElementUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"command") m_sCommand = value;
    else if (n == L"extendmenu") m_sExtend = value;
    else if (n == L"check") SetCheck(ParseBool(value));
    else if (n == L"icon") m_sIcon = value;
    else if (n == L"textcolor") m_dwTextColor = ParseColor(value);
    else if (n == L"disabledtextcolor") m_dwDisabledTextColor = ParseColor(value);
    else if (n == L"hotbkcolor") m_dwHotBkColor = ParseColor(value);
    else CHorizontalLayoutUI::SetAttribute(name, value);
}

CControlUI* CMenuElementUI::Child(const wchar_t* name) const {
    return const_cast<CMenuElementUI*>(this)->FindSubControl(name);
}

CMenuUI* CMenuElementUI::OwnerMenu() const {
    for (CControlUI* p = GetParent(); p; p = p->GetParent())
        if (auto* m = static_cast<CMenuUI*>(p->GetInterface(L"Menu"))) return m;
    return nullptr;
}

CDuiString CMenuElementUI::GetText() const {
    if (CControlUI* label = Child(L"menu_label")) return label->GetText();
    return m_sText;
}

void CMenuElementUI::SetText(const wchar_t* text) {
    if (CControlUI* label = Child(L"menu_label")) label->SetText(text);
    else CHorizontalLayoutUI::SetText(text);
}

void CMenuElementUI::SetCheck(bool checked) {
    m_bChecked = checked;
    if (CControlUI* ico = Child(L"ico")) ico->SetVisible(checked);
    Invalidate();
}

void CMenuElementUI::SetEnabled(bool enable) {
    CHorizontalLayoutUI::SetEnabled(enable);
    // The parts of an item look as the item does.
    FindControl(
        [](CControlUI* c, void* on) -> CControlUI* {
            c->CControlUI::SetEnabled(*static_cast<bool*>(on));
            return nullptr;
        },
        &enable, UIFIND_ALL);
    if (!enable) SetHot(false);
}

void CMenuElementUI::SetHot(bool hot) {
    if (m_bHot == hot) return;
    m_bHot = hot;
    Invalidate();
}

SIZE CMenuElementUI::EstimateSize(SIZE) {
    CMenuUI* menu = OwnerMenu();
    int height = m_bHeightSet && m_cxyFixed.cy > 0 ? m_cxyFixed.cy : menu ? menu->GetItemHeight() : kItemHeight;
    return SIZE{m_cxyFixed.cx, height};
}

void CMenuElementUI::DoEvent(TEventUI& event) {
    CMenuUI* menu = OwnerMenu();
    CDuiMenu* engine = menu ? menu->GetMenu() : nullptr;
    switch (event.Type) {
        case UIEVENT_MOUSEENTER:
            if (engine && IsEnabled()) engine->OnItemHot(this);
            return;
        case UIEVENT_BUTTONUP:
            if (engine && IsEnabled() && PtInRectUI(m_rcItem, event.ptMouse)) engine->OnItemClick(this);
            return;
        case UIEVENT_MOUSELEAVE:
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            return;
        default:
            CHorizontalLayoutUI::DoEvent(event);
    }
}

void CMenuElementUI::PaintBkColor(cairo_t* cr) {
    CHorizontalLayoutUI::PaintBkColor(cr);
    if (m_bHot && IsEnabled()) render::FillRect(cr, m_rcItem, m_dwHotBkColor);
}

void CMenuElementUI::PaintText(cairo_t* cr) {
    DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    int font = -1;
    if (CMenuUI* menu = OwnerMenu()) font = menu->GetFont();
    if (!m_sExtend.empty()) {  // an arrow to the submenu
        int cx = m_rcItem.right - kMenuArrowWidth / 2 - 2, cy = (m_rcItem.top + m_rcItem.bottom) / 2;
        cairo_save(cr);
        render::SetColor(cr, color);
        cairo_move_to(cr, cx - 2, cy - 4);
        cairo_line_to(cr, cx + 2, cy);
        cairo_line_to(cr, cx - 2, cy + 4);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    if (!m_items.empty()) return;  // an item made of parts draws them itself
    if (const TImageInfo* icon = m_sIcon.empty() ? nullptr : CPaintManagerUI::GetImageEx(m_sIcon)) {
        int cx = m_rcItem.left + kMenuIconWidth / 2, cy = (m_rcItem.top + m_rcItem.bottom) / 2;
        RECT dest{cx - icon->nWidth / 2, cy - icon->nHeight / 2, cx - icon->nWidth / 2 + icon->nWidth, cy - icon->nHeight / 2 + icon->nHeight};
        DrawImage(cr, m_sIcon, &dest);
    }
    if (m_bChecked) {
        int cx = m_rcItem.left + kMenuIconWidth / 2, cy = (m_rcItem.top + m_rcItem.bottom) / 2;
        cairo_save(cr);
        render::SetColor(cr, color);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, cx - 5, cy);
        cairo_line_to(cr, cx - 1, cy + 4);
        cairo_line_to(cr, cx + 6, cy - 4);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    RECT rc{m_rcItem.left + kMenuIconWidth, m_rcItem.top, m_rcItem.right - kMenuArrowWidth, m_rcItem.bottom};
    render::DrawText(cr, m_pManager, rc, m_sText, color, font, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

CMenuSeparatorUI::CMenuSeparatorUI() {
    m_cxyFixed.cy = kSeparatorHeight;
    m_bMouseEnabled = false;
}

void* CMenuSeparatorUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"MenuSeparator") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CMenuSeparatorUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (std::wcscmp(name, L"linecolor") == 0) m_dwLineColor = ParseColor(value);
    else CControlUI::SetAttribute(name, value);
}

void CMenuSeparatorUI::PaintBkColor(cairo_t* cr) {
    CControlUI::PaintBkColor(cr);
    int y = (m_rcItem.top + m_rcItem.bottom) / 2;
    render::DrawLine(cr, m_rcItem.left + 4, y, m_rcItem.right - 4, y, 1, m_dwLineColor);
}

CMenuButtonUI::CMenuButtonUI() { m_bMouseEnabled = false; }

void* CMenuButtonUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"MenuButton") == 0) return this;
    return CButtonUI::GetInterface(name);
}

void CMenuButtonUI::PaintStatusImage(cairo_t* cr) {
    for (CControlUI* p = GetParent(); p; p = p->GetParent()) {
        auto* item = static_cast<CMenuElementUI*>(p->GetInterface(L"MenuElement"));
        if (!item) continue;
        if (item->IsHot() && item->IsEnabled() && !m_sHotImage.empty() && DrawImage(cr, m_sHotImage)) return;
        break;
    }
    CButtonUI::PaintStatusImage(cr);
}

// ---- the popup engine ----

// The window a submenu pops up in; it lives as long as the menu object.
class CDuiMenu::PopupWnd : public CWindowWnd {
public:
    PopupWnd(CDuiMenu* owner, CPaintManagerUI* pm) : m_owner(owner), m_pm(pm) {}
    ~PopupWnd() override {
        m_pm->Init(nullptr);
    }

protected:
    LPCWSTR GetWindowClassName() const override { return L"WzMenuWnd"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        switch (uMsg) {
            case WM_CREATE:
                m_pm->Init(m_hWnd);
                return 0;
            case WM_NCHITTEST:
                return HTCLIENT;
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;
            case WM_ACTIVATE:
                // Another application took the focus (a window of ours that does is pressed on,
                // which ends the menu anyway; its activation may also lag behind the menu's).
                if (LOWORD(wParam) == WA_INACTIVE && !lParam) m_owner->Dismiss();
                break;
            case WM_DESTROY:
                m_pm->Init(nullptr);
                break;
            default:
                break;
        }
        LRESULT lRes = 0;
        if (m_pm->MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    CDuiMenu* m_owner;
    CPaintManagerUI* m_pm;
};

struct CDuiMenu::Popup {
    CPaintManagerUI pm;
    CMenuUI* menu = nullptr;
    std::unique_ptr<PopupWnd> wnd;
    CMenuElementUI* from = nullptr;  // the item it opened from
};

CDuiMenu::CDuiMenu(const CDuiString& layoutName) : m_sLayout(layoutName) {}

CDuiMenu::~CDuiMenu() {
    // Windows first: they refer to the managers.
    for (auto& p : m_popups) p->wnd.reset();
}

CControlUI* CDuiMenu::CreateControl(const wchar_t*) { return nullptr; }

bool CDuiMenu::Init(HWND hOwner) {
    m_hOwner = hOwner;
    if (m_bBuilt) return !m_popups.empty();
    m_bBuilt = true;
    std::vector<std::unique_ptr<Popup>> made;
    CDialogBuilder builder;
    std::vector<CControlUI*> roots = builder.CreateEach(m_sLayout.c_str(), this, [&](size_t i) {
        while (made.size() <= i) made.push_back(std::make_unique<Popup>());
        return &made[i]->pm;
    });
    for (size_t i = 0; i < roots.size(); ++i) {
        auto* menu = static_cast<CMenuUI*>(roots[i]->GetInterface(L"Menu"));
        made[i]->pm.AttachDialog(roots[i]);
        if (!menu) {
            ReportError(L"menu \"" + m_sLayout + L"\": \"" + roots[i]->GetName() + L"\" is no submenu; left out");
            continue;
        }
        menu->SetMenu(this);
        made[i]->menu = menu;
        m_popups.push_back(std::move(made[i]));
    }
    if (m_popups.empty()) ReportError(L"menu \"" + m_sLayout + L"\" has no submenu: " + GetLastErrorMessage());
    return !m_popups.empty();
}

CDuiMenu::Popup* CDuiMenu::PopupByName(const wchar_t* name) const {
    for (auto& p : m_popups)
        if (p->menu->GetName() == (name ? name : L"")) return p.get();
    return nullptr;
}

CDuiMenu::Popup* CDuiMenu::PopupOf(const CMenuUI* menu) const {
    for (auto& p : m_popups)
        if (p->menu == menu) return p.get();
    return nullptr;
}

CMenuUI* CDuiMenu::FindMenuByName(const wchar_t* name) const {
    Popup* p = PopupByName(name);
    return p ? p->menu : nullptr;
}

std::vector<CMenuUI*> CDuiMenu::GetOpenMenus() const {
    std::vector<CMenuUI*> out;
    for (Popup* p : m_open) out.push_back(p->menu);
    return out;
}

bool CDuiMenu::IsMenuWindow(HWND hwnd) const {
    if (!hwnd) return false;
    return std::any_of(m_popups.begin(), m_popups.end(), [hwnd](const auto& p) { return p->wnd && p->wnd->GetHWND() == hwnd; });
}

namespace {
// The top of a window's chain of parents and owners.
HWND RootOwner(HWND hwnd) {
    for (HWND up = hwnd; up; up = ::GetParent(up) ? ::GetParent(up) : ::GetWindow(up, GW_OWNER)) hwnd = up;
    return hwnd;
}
}  // namespace

bool CDuiMenu::OwnsMenu(HWND hwnd) const {
    // Any window of the owner's family: activation may land on one of them late, as the click
    // that opened the menu is handled.
    return m_hOwner && RootOwner(hwnd) == RootOwner(m_hOwner);
}

void CDuiMenu::Open(Popup* popup, POINT at, CMenuElementUI* from) {
    if (std::find(m_open.begin(), m_open.end(), popup) != m_open.end()) return;  // a submenu opens once
    SIZE size = popup->menu->GetPopupSize();
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    if (from) {
        // Beside the item it opens from: to the right, or to the left where the screen ends.
        RECT parent;
        ::GetWindowRect(m_open.back()->wnd->GetHWND(), &parent);
        at.x = parent.right - 2;
        if (at.x + size.cx > work.right) at.x = parent.left - size.cx + 2;
    } else if (at.x + size.cx > work.right) {
        at.x -= size.cx;
    }
    if (at.y + size.cy > work.bottom) at.y = from ? work.bottom - size.cy : at.y - size.cy;
    at.x = std::max<LONG>(at.x, work.left);
    at.y = std::max<LONG>(at.y, work.top);
    bool major = m_open.empty();
    // A new window for each showing: it maps afresh and so takes the focus.
    popup->wnd = std::make_unique<PopupWnd>(this, &popup->pm);
    if (!popup->wnd->Create(m_hOwner, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, at.x, at.y, size.cx,
                            size.cy)) {
        popup->wnd.reset();
        return;
    }
    popup->from = from;
    m_open.push_back(popup);
    ::ShowWindow(popup->wnd->GetHWND(), major ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
}

void CDuiMenu::CloseAbove(size_t level) {
    while (m_open.size() > level) {
        Popup* p = m_open.back();
        m_open.pop_back();
        if (p->from) p->from->SetHot(false);
        for (int i = 0; i < p->menu->GetCount(); ++i)
            if (auto* e = ElementAt(p->menu, i)) e->SetHot(false);
        if (p->wnd && p->wnd->GetHWND()) {
            LRESULT ignored = 0;
            p->pm.MessageHandler(WM_MOUSELEAVE, 0, 0, ignored);  // forget the hot item of this showing
        }
        p->wnd.reset();
    }
}

void CDuiMenu::OnItemHot(CMenuElementUI* item) {
    if (!m_bTracking) return;
    auto level = std::find_if(m_open.begin(), m_open.end(), [&](Popup* p) { return p->menu == item->GetManager()->GetRoot(); });
    if (level == m_open.end()) return;
    size_t depth = static_cast<size_t>(level - m_open.begin());
    CMenuUI* menu = (*level)->menu;
    for (int i = 0; i < menu->GetCount(); ++i)
        if (auto* e = ElementAt(menu, i)) e->SetHot(e == item);
    // A deeper submenu stays open only while its own item is the hot one.
    if (m_open.size() > depth + 1 && m_open[depth + 1]->from != item) CloseAbove(depth + 1);
    if (!item->GetExtendMenu().empty()) {
        if (Popup* sub = PopupByName(item->GetExtendMenu().c_str())) {
            RECT rc = item->GetPos();
            POINT at{rc.right, rc.top - sub->menu->GetInset().top};
            ::ClientToScreen((*level)->wnd->GetHWND(), &at);
            Open(sub, at, item);
        }
    }
}

void CDuiMenu::OnItemClick(CMenuElementUI* item) {
    if (!m_bTracking || !item->IsEnabled()) return;
    if (!item->GetExtendMenu().empty()) {
        OnItemHot(item);
        return;
    }
    if (item->GetCommand().empty()) return;
    m_sResult = item->GetCommand();
    m_bTracking = false;
}

void CDuiMenu::Dismiss() {
    if (!m_bTracking) return;
    m_sResult.clear();
    m_bTracking = false;
}

// Moves the hot item of the innermost submenu to the next usable one, round the end.
void CDuiMenu::MoveHot(int step) {
    if (m_open.empty()) return;
    CMenuUI* menu = m_open.back()->menu;
    int n = menu->GetCount(), at = step > 0 ? -1 : n;
    for (int i = 0; i < n; ++i)
        if (auto* e = ElementAt(menu, i); e && e->IsHot()) at = i;
    for (int k = 0; k < n; ++k) {
        at = (at + step + n) % n;
        CMenuElementUI* e = ElementAt(menu, at);
        if (!e || !e->IsEnabled() || !e->IsVisible()) continue;
        for (int j = 0; j < n; ++j)
            if (auto* other = ElementAt(menu, j)) other->SetHot(j == at);
        return;
    }
}

bool CDuiMenu::Filter(const MSG& msg) {
    switch (msg.message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
            if (IsMenuWindow(msg.hwnd)) return false;
            Dismiss();  // a press anywhere else ends the menu and is used up by it
            return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            CMenuUI* menu = m_open.empty() ? nullptr : m_open.back()->menu;
            CMenuElementUI* hot = nullptr;
            for (int i = 0; menu && i < menu->GetCount(); ++i)
                if (auto* e = ElementAt(menu, i); e && e->IsHot()) hot = e;
            switch (msg.wParam) {
                case VK_ESCAPE:
                case VK_LEFT:
                    if (msg.wParam == VK_ESCAPE && !IsMenuWindow(msg.hwnd)) {
                        // The keyboard is not on the menu (the owner kept it, or the key was
                        // posted): Esc there cannot mean "back one level", it ends the menu.
                        Dismiss();
                    } else if (m_open.size() > 1) {
                        CMenuElementUI* from = m_open.back()->from;
                        CloseAbove(m_open.size() - 1);
                        if (from) from->SetHot(true);
                    } else if (msg.wParam == VK_ESCAPE) {
                        Dismiss();
                    }
                    break;
                case VK_MENU:
                    Dismiss();
                    break;
                case VK_UP: MoveHot(-1); break;
                case VK_DOWN: MoveHot(1); break;
                case VK_RIGHT:
                    if (hot && !hot->GetExtendMenu().empty()) {
                        OnItemHot(hot);
                        MoveHot(1);
                    }
                    break;
                case VK_RETURN:
                case VK_SPACE:
                    if (hot) {
                        if (!hot->GetExtendMenu().empty()) {
                            OnItemHot(hot);
                            MoveHot(1);
                        } else {
                            OnItemClick(hot);
                        }
                    }
                    break;
                default: break;
            }
            return true;  // keys belong to the menu while it is up
        }
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR:
            return true;
        default:
            return false;
    }
}

CDuiString CDuiMenu::TrackPopupMenu(int x, int y) {
    Popup* major = PopupByName(L"major");
    if (!major) {
        ReportError(L"menu \"" + m_sLayout + L"\" has no submenu \"major\"" + (m_bBuilt ? L"" : L" (Init was not called)"));
        return L"null";
    }
    if (!platform::HasDisplay() || m_bTracking) return L"null";
    m_sResult.clear();
    m_bTracking = true;
    Open(major, POINT{x, y}, nullptr);
    if (m_open.empty()) m_bTracking = false;
    HWND wasActive = ::GetActiveWindow();
    while (m_bTracking) {
        MSG msg;
        if (!::GetMessageW(&msg, nullptr, 0, 0)) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // the caller's loop ends too
            m_bTracking = false;
            break;
        }
        if (Filter(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        // Activation went to a window outside the owner's family: the user is elsewhere now,
        // as with a click outside.
        HWND active = ::GetActiveWindow();
        if (active != wasActive && active && !IsMenuWindow(active) && !OwnsMenu(active)) Dismiss();
        wasActive = active;
    }
    bool hadFocus = major->wnd && ::GetActiveWindow() == major->wnd->GetHWND();
    CloseAbove(0);
    if (hadFocus && m_hOwner && ::IsWindow(m_hOwner)) ::SetActiveWindow(m_hOwner);
    return m_sResult.empty() ? CDuiString(L"null") : m_sResult;
}

}  // namespace skinui
