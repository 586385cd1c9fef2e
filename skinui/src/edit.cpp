// Text field, read-only multi-line text, hot-key field and animated picture.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cwchar>

#include "render.h"
#include "skinui/controls.h"
#include "skinui/manager.h"

namespace skinui {

// frames, when given, gets the number of pictures of the image (1 for a still one).
GdkPixbufAnimation* LoadAnimation(const CDuiString& name, int* frames);
cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pb);

namespace {
constexpr UINT kCaretTimer = 20;
constexpr UINT kGifTimer = CGifAnimUI::kFrameTimer;
// Each picture is held decoded; a longer animation shows its first ones.
constexpr int kMaxGifFrames = 500;
}  // namespace

CEditUI::CEditUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER;
    m_rcTextPadding = {4, 3, 4, 3};
    m_dwBackColor = 0xFFFFFFFF;
}

void* CEditUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"Edit") == 0) return static_cast<CEditUI*>(this);
    return CLabelUI::GetInterface(name);
}

UINT CEditUI::GetControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

void CEditUI::SetText(const wchar_t* text) {
    CLabelUI::SetText(text);
    m_nCaret = m_nSelStart = static_cast<int>(m_sText.size());
    m_nScrollY = 0;
}

void CEditUI::SetMultiLine(bool b) {
    m_bMultiLine = b;
    if (b) {
        m_uTextStyle &= ~(DT_SINGLELINE | DT_VCENTER);
        m_uTextStyle |= DT_WORDBREAK;
    } else {
        m_uTextStyle |= DT_SINGLELINE | DT_VCENTER;
        m_uTextStyle &= ~DT_WORDBREAK;
    }
    Invalidate();
}

void CEditUI::SetSel(int start, int end) {
    int n = static_cast<int>(m_sText.size());
    if (end < 0 || end > n) end = n;
    m_nSelStart = std::clamp(start, 0, n);
    m_nCaret = end;
    Invalidate();
}

CDuiString CEditUI::GetSelText() const {
    int a = std::min(m_nSelStart, m_nCaret), b = std::max(m_nSelStart, m_nCaret);
    return m_sText.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

void CEditUI::DeleteRange(int from, int to) {
    if (from >= to) return;
    m_sText.erase(static_cast<size_t>(from), static_cast<size_t>(to - from));
    m_nCaret = m_nSelStart = from;
}

void CEditUI::NotifyChanged() {
    Invalidate();
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}

void CEditUI::ReplaceSel(const wchar_t* text, bool notify) {
    if (m_bReadOnly) return;
    int a = std::min(m_nSelStart, m_nCaret), b = std::max(m_nSelStart, m_nCaret);
    DeleteRange(a, b);
    std::wstring ins(text ? text : L"");
    if (!m_bMultiLine) ins.erase(std::remove_if(ins.begin(), ins.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }), ins.end());
    if (m_nMaxChar > 0) {
        int room = m_nMaxChar - static_cast<int>(m_sText.size());
        if (room <= 0) ins.clear();
        else if (static_cast<int>(ins.size()) > room) ins.resize(static_cast<size_t>(room));
    }
    if (a == b && ins.empty()) return;  // a full field: nothing changed
    m_sText.insert(static_cast<size_t>(a), ins);
    m_nCaret = m_nSelStart = a + static_cast<int>(ins.size());
    if (notify) NotifyChanged();
    else Invalidate();
}

int CEditUI::CaretFromPoint(POINT pt) const {
    if (m_sText.empty()) return 0;
    CDuiString shown = m_bPassword ? CDuiString(std::wstring(m_sText.size(), L'*')) : m_sText;
    PangoLayout* layout = render::MakeLayout(render::MeasureContext(), m_pManager, m_iFont, shown);
    int x = pt.x - (m_rcItem.left + m_rcTextPadding.left);
    int index = 0, trailing = 0;
    pango_layout_xy_to_index(layout, x * PANGO_SCALE, PANGO_SCALE, &index, &trailing);
    std::string utf8 = shown.ToUtf8();
    int chars = static_cast<int>(g_utf8_pointer_to_offset(utf8.c_str(), utf8.c_str() + index)) + trailing;
    g_object_unref(layout);
    return std::clamp(chars, 0, static_cast<int>(m_sText.size()));
}

void CEditUI::DoEvent(TEventUI& event) {
    if (!IsEnabled() && event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) return;
    int n = static_cast<int>(m_sText.size());
    bool shift = (event.wKeyState & MK_SHIFT) != 0;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        m_bCaretShown = true;
        if (m_pManager) m_pManager->SetTimer(this, kCaretTimer, 500);
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        if (m_pManager) m_pManager->KillTimer(this, kCaretTimer);
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (event.wParam == kCaretTimer) {
            m_bCaretShown = !m_bCaretShown;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (!m_bMultiLine) m_nCaret = m_nSelStart = CaretFromPoint(event.ptMouse);
        if (event.Type == UIEVENT_DBLCLICK) SetSelAll();
        m_bCaretShown = true;
        Invalidate();
        return;
    case UIEVENT_SCROLLWHEEL:
        if (m_bMultiLine) {
            int view = m_rcItem.bottom - m_rcItem.top - m_rcTextPadding.top - m_rcTextPadding.bottom;
            int maxScroll = std::max(0, m_nContentHeight - view);
            m_nScrollY = std::clamp(m_nScrollY + (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0 ? -20 : 20), 0, maxScroll);
            Invalidate();
            return;
        }
        break;
    case UIEVENT_CHAR:
        if (event.chKey >= 0x20 && event.chKey != 0x7F && !(event.wKeyState & MK_CONTROL)) {
            wchar_t s[2] = {event.chKey, 0};
            ReplaceSel(s);
        }
        return;
    case UIEVENT_KEYDOWN:
        m_bCaretShown = true;
        switch (event.chKey) {
        case VK_RETURN:
            if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_RETURN);
            return;
        case VK_BACK:
            if (m_bReadOnly) return;
            if (m_nSelStart == m_nCaret && m_nCaret > 0) m_nSelStart = m_nCaret - 1;
            if (m_nSelStart != m_nCaret) ReplaceSel(L"");
            return;
        case VK_DELETE:
            if (m_bReadOnly) return;
            if (m_nSelStart == m_nCaret && m_nCaret < n) m_nSelStart = m_nCaret + 1;
            if (m_nSelStart != m_nCaret) ReplaceSel(L"");
            return;
        case VK_LEFT:
            m_nCaret = std::max(0, m_nCaret - 1);
            if (!shift) m_nSelStart = m_nCaret;
            Invalidate();
            return;
        case VK_RIGHT:
            m_nCaret = std::min(n, m_nCaret + 1);
            if (!shift) m_nSelStart = m_nCaret;
            Invalidate();
            return;
        case VK_HOME:
            m_nCaret = 0;
            if (!shift) m_nSelStart = m_nCaret;
            Invalidate();
            return;
        case VK_END:
            m_nCaret = n;
            if (!shift) m_nSelStart = m_nCaret;
            Invalidate();
            return;
        case 'A':
            if (event.wKeyState & MK_CONTROL) {
                SetSelAll();
                return;
            }
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    std::wstring n(name);
    if (n == L"readonly") SetReadOnly(ParseBool(value));
    else if (n == L"password") SetPasswordMode(ParseBool(value));
    else if (n == L"maxchar") SetMaxChar(ParseInt(value));
    else if (n == L"multiline") SetMultiLine(ParseBool(value));
    else if (n == L"normalimage") m_sNormalImage = value;
    else if (n == L"hotimage") m_sHotImage = value;
    else if (n == L"focusedimage") m_sFocusedImage = value;
    else if (n == L"disabledimage") m_sDisabledImage = value;
    else if (n == L"nativebkcolor") m_dwNativeBkColor = ParseColor(value);
    else CLabelUI::SetAttribute(name, value);
}

void CEditUI::PaintStatusImage(cairo_t* cr) {
    if (!IsEnabled() && !m_sDisabledImage.empty() && DrawImage(cr, m_sDisabledImage)) return;
    if (IsFocused() && !m_sFocusedImage.empty() && DrawImage(cr, m_sFocusedImage)) return;
    if (!m_sNormalImage.empty()) DrawImage(cr, m_sNormalImage);
}

void CEditUI::PaintText(cairo_t* cr) {
    RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
            m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    if (IsRectEmptyUI(rc)) return;
    CDuiString shown = m_bPassword ? CDuiString(std::wstring(m_sText.size(), L'*')) : m_sText;
    PangoLayout* layout = render::MakeLayout(cr, m_pManager, m_iFont, shown);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (m_bMultiLine) {
        pango_layout_set_width(layout, w * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    } else {
        pango_layout_set_single_paragraph_mode(layout, TRUE);
    }
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    m_nContentHeight = logical.height;
    std::string utf8 = shown.ToUtf8();
    auto byteAt = [&](int chars) {
        return static_cast<int>(g_utf8_offset_to_pointer(utf8.c_str(), std::min<long>(chars, g_utf8_strlen(utf8.c_str(), -1))) -
                                utf8.c_str());
    };
    int lineH = logical.height > 0 ? logical.height : 16;
    if (m_bMultiLine) {
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        lineH = pango_layout_iter_get_baseline(it) / PANGO_SCALE + 4;
        pango_layout_iter_free(it);
    }
    double y = m_bMultiLine ? rc.top - m_nScrollY : rc.top + (h - lineH) / 2.0;
    // Keep the caret in view of a single-line field.
    PangoRectangle caret;
    pango_layout_get_cursor_pos(layout, byteAt(m_nCaret), &caret, nullptr);
    int caretX = PANGO_PIXELS(caret.x);
    int scrollX = m_bMultiLine ? 0 : std::max(0, caretX - w + 2);
    cairo_save(cr);
    cairo_rectangle(cr, rc.left, rc.top, w, h);
    cairo_clip(cr);
    if (m_nSelStart != m_nCaret && IsFocused()) {
        int a = byteAt(std::min(m_nSelStart, m_nCaret)), b = byteAt(std::max(m_nSelStart, m_nCaret));
        PangoRectangle pa, pb;
        pango_layout_index_to_pos(layout, a, &pa);
        pango_layout_index_to_pos(layout, b, &pb);
        render::FillRect(cr, {rc.left - scrollX + PANGO_PIXELS(pa.x), static_cast<LONG>(y), rc.left - scrollX + PANGO_PIXELS(pb.x),
                              static_cast<LONG>(y) + lineH},
                         0xFF99C9EF);
    }
    render::SetColor(cr, render::TextColor(IsEnabled() ? m_dwTextColor : 0xFFA7A6AA));
    cairo_move_to(cr, rc.left - scrollX, static_cast<int>(y));
    pango_cairo_show_layout(cr, layout);
    if (IsFocused() && m_bCaretShown && !m_bReadOnly) {
        render::FillRect(cr, {rc.left - scrollX + caretX, static_cast<LONG>(y + PANGO_PIXELS(caret.y)),
                              rc.left - scrollX + caretX + 1, static_cast<LONG>(y + PANGO_PIXELS(caret.y) + std::max(PANGO_PIXELS(caret.height), 12))},
                         render::TextColor(m_dwTextColor));
    }
    cairo_restore(cr);
    g_object_unref(layout);
}

CRichEditUI::CRichEditUI() { SetMultiLine(true); }

void* CRichEditUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"RichEdit") == 0) return this;
    return CEditUI::GetInterface(name);
}

// ---- hot-key field ----

CHotKeyUI::CHotKeyUI() {
    m_dwBackColor = 0xFFFFFFFF;
    m_rcTextPadding = {4, 0, 4, 0};
}

void* CHotKeyUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"HotKey") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CHotKeyUI::GetHotKey(WORD& vk, WORD& modifiers) const {
    vk = m_wVirtualKey;
    modifiers = m_wModifiers;
}

void CHotKeyUI::SetHotKey(WORD vk, WORD modifiers) {
    m_wVirtualKey = vk;
    m_wModifiers = vk ? modifiers : 0;
    m_sText = KeyToText(m_wVirtualKey, m_wModifiers);
    Invalidate();
}

CDuiString CHotKeyUI::KeyToText(WORD vk, WORD mod) {
    if (vk == 0) return L"";
    std::wstring s;
    if (mod & HOTKEYF_CONTROL) s += L"Ctrl + ";
    if (mod & HOTKEYF_SHIFT) s += L"Shift + ";
    if (mod & HOTKEYF_ALT) s += L"Alt + ";
    static const struct { WORD vk; const wchar_t* name; } names[] = {
        {VK_SPACE, L"Space"}, {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"}, {VK_TAB, L"Tab"}, {VK_BACK, L"Backspace"},
        {VK_PRIOR, L"Page Up"}, {VK_NEXT, L"Page Down"}, {VK_END, L"End"}, {VK_HOME, L"Home"}, {VK_LEFT, L"Left"},
        {VK_UP, L"Up"}, {VK_RIGHT, L"Right"}, {VK_DOWN, L"Down"}, {VK_INSERT, L"Insert"}, {VK_DELETE, L"Delete"},
        {VK_MULTIPLY, L"Num *"}, {VK_ADD, L"Num +"}, {VK_SUBTRACT, L"Num -"}, {VK_DECIMAL, L"Num Del"},
        {VK_DIVIDE, L"Num /"}, {VK_NUMLOCK, L"Num Lock"}, {VK_PAUSE, L"Pause"}, {VK_OEM_PLUS, L"="},
        {VK_OEM_MINUS, L"-"}, {VK_OEM_COMMA, L","}, {VK_OEM_PERIOD, L"."}, {VK_OEM_1, L";"}, {VK_OEM_2, L"/"},
        {VK_OEM_3, L"`"}, {VK_OEM_4, L"["}, {VK_OEM_5, L"\\"}, {VK_OEM_6, L"]"}, {VK_OEM_7, L"'"}};
    for (const auto& n : names)
        if (n.vk == vk) return s + n.name;
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return s + static_cast<wchar_t>(vk);
    if (vk >= VK_F1 && vk <= VK_F12) return s + L"F" + std::to_wstring(vk - VK_F1 + 1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return s + L"Num " + std::to_wstring(vk - VK_NUMPAD0);
    return s + L"#" + std::to_wstring(vk);
}

void CHotKeyUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_KEYDOWN || event.Type == UIEVENT_SYSKEY) {
        WORD vk = static_cast<WORD>(event.chKey);
        if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LSHIFT || vk == VK_RSHIFT ||
            vk == VK_LCONTROL || vk == VK_RCONTROL || vk == VK_LMENU || vk == VK_RMENU)
            return;
        WORD mod = 0;
        if (event.wKeyState & MK_CONTROL) mod |= HOTKEYF_CONTROL;
        if (event.wKeyState & MK_SHIFT) mod |= HOTKEYF_SHIFT;
        if (event.lParam & (1 << 29)) mod |= HOTKEYF_ALT;  // context bit: Alt held
        if ((vk == VK_BACK || vk == VK_DELETE) && mod == 0) vk = 0;
        if ((vk == VK_TAB || vk == VK_ESCAPE) && mod == 0) return;  // the window's keys
        bool ext = vk == VK_INSERT || vk == VK_DELETE || vk == VK_HOME || vk == VK_END || vk == VK_PRIOR ||
                   vk == VK_NEXT || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN ||
                   vk == VK_NUMLOCK || vk == VK_DIVIDE;
        if (ext && vk) mod |= HOTKEYF_EXT;
        SetHotKey(vk, mod);
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
        return;
    }
    if (event.Type == UIEVENT_CHAR) return;
    if (event.Type == UIEVENT_BUTTONDOWN) {
        SetFocus();
        return;
    }
    CLabelUI::DoEvent(event);
}

void CHotKeyUI::PaintText(cairo_t* cr) {
    CDuiString text = m_wVirtualKey ? m_sText : CDuiString(L"无");
    RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top, m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom};
    render::DrawText(cr, m_pManager, rc, text, m_dwTextColor, m_iFont, DT_SINGLELINE | DT_VCENTER);
}

void CHotKeyUI::PaintBorder(cairo_t* cr) {
    render::DrawBorder(cr, m_rcItem, 1, IsFocused() ? 0xFF3C8CE6 : (m_dwBorderColor ? m_dwBorderColor : 0xFFB4B4B4), {0, 0});
}

// ---- animated picture ----

struct GifFrames {
    std::vector<cairo_surface_t*> frames;
    std::vector<int> delays;
    ~GifFrames() {
        for (auto* s : frames) cairo_surface_destroy(s);
    }
};

CGifAnimUI::~CGifAnimUI() {
    if (m_pManager) m_pManager->KillTimer(this, kGifTimer);
}

void* CGifAnimUI::GetInterface(const wchar_t* name) {
    if (std::wcscmp(name, L"GifAnim") == 0) return this;
    return CControlUI::GetInterface(name);
}

bool CGifAnimUI::Load() {
    if (m_frames) return !m_frames->frames.empty();
    m_frames = std::make_shared<GifFrames>();
    if (GetBkImage().empty()) return false;
    int count = 0;
    GdkPixbufAnimation* anim = LoadAnimation(GetBkImage(), &count);
    if (!anim) return false;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal t{0, 0};
    GdkPixbufAnimationIter* it = gdk_pixbuf_animation_get_iter(anim, &t);
    // The decoder composes each picture over the ones before it into one reused image, so
    // the pictures are copied out one by one, as many as the file holds.
    for (int i = 0; i < std::min(count, kMaxGifFrames); ++i) {
        GdkPixbuf* pb = gdk_pixbuf_animation_iter_get_pixbuf(it);
        int delay = gdk_pixbuf_animation_iter_get_delay_time(it);
        if (!pb) break;
        m_frames->frames.push_back(SurfaceFromPixbuf(pb));
        m_frames->delays.push_back(delay > 0 ? delay : 100);
        if (delay < 0) break;
        g_time_val_add(&t, delay * 1000);
        gdk_pixbuf_animation_iter_advance(it, &t);
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(it);
    g_object_unref(anim);
    return !m_frames->frames.empty();
}

int CGifAnimUI::GetFrameCount() { return Load() ? static_cast<int>(m_frames->frames.size()) : 0; }

void CGifAnimUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (std::wcscmp(name, L"autoplay") == 0) m_bAutoPlay = ParseBool(value);
    else {
        if (std::wcscmp(name, L"bkimage") == 0) m_frames.reset();
        CControlUI::SetAttribute(name, value);
    }
}

void CGifAnimUI::DoInit() {
    if (m_bAutoPlay && IsVisible()) PlayGif();
}

void CGifAnimUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (IsVisible() && m_bAutoPlay) PlayGif();
    else StopGif();
}

void CGifAnimUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    if (IsVisible() && m_bAutoPlay) PlayGif();
    else StopGif();
}

void CGifAnimUI::PlayGif() {
    if (m_bPlaying || !m_pManager || GetFrameCount() < 2) return;
    m_bPlaying = m_pManager->SetTimer(this, kGifTimer, static_cast<UINT>(m_frames->delays[static_cast<size_t>(m_nFrame)]));
}

void CGifAnimUI::StopGif() {
    if (m_bPlaying && m_pManager) m_pManager->KillTimer(this, kGifTimer);
    m_bPlaying = false;
}

void CGifAnimUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER && event.wParam == kGifTimer && m_frames && !m_frames->frames.empty()) {
        m_nFrame = (m_nFrame + 1) % static_cast<int>(m_frames->frames.size());
        if (m_pManager && m_bPlaying) {
            m_pManager->KillTimer(this, kGifTimer);
            m_bPlaying = m_pManager->SetTimer(this, kGifTimer, static_cast<UINT>(m_frames->delays[static_cast<size_t>(m_nFrame)]));
        }
        Invalidate();
        return;
    }
    CControlUI::DoEvent(event);
}

void CGifAnimUI::PaintBkImage(cairo_t* cr) {
    if (!Load()) return;
    cairo_surface_t* s = m_frames->frames[static_cast<size_t>(m_nFrame)];
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    // Centred at its own size: the picture never stretches.
    double x = m_rcItem.left + (m_rcItem.right - m_rcItem.left - w) / 2;
    double y = m_rcItem.top + (m_rcItem.bottom - m_rcItem.top - h) / 2;
    cairo_set_source_surface(cr, s, x, y);
    cairo_paint(cr);
}

}  // namespace skinui
