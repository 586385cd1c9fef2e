// Input: X key and pointer events become the Windows messages (virtual keys, scan codes,
// packed coordinates, hit testing, double clicks); key state, capture, hover and leave
// tracking, and cursors.
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>

#include "win_internal.h"

namespace platform::win {
namespace {

// Virtual key, PC scan code, extended flag and the key's name as the keyboard calls it.
struct KeyInfo {
    UINT vk;
    UINT scan;
    bool ext;
    const wchar_t* name;
};

const KeyInfo kKeys[] = {
    {VK_ESCAPE, 0x01, false, L"Esc"}, {'1', 0x02, false, L"1"}, {'2', 0x03, false, L"2"}, {'3', 0x04, false, L"3"},
    {'4', 0x05, false, L"4"}, {'5', 0x06, false, L"5"}, {'6', 0x07, false, L"6"}, {'7', 0x08, false, L"7"},
    {'8', 0x09, false, L"8"}, {'9', 0x0A, false, L"9"}, {'0', 0x0B, false, L"0"}, {VK_OEM_MINUS, 0x0C, false, L"-"},
    {VK_OEM_PLUS, 0x0D, false, L"="}, {VK_BACK, 0x0E, false, L"Backspace"}, {VK_TAB, 0x0F, false, L"Tab"},
    {'Q', 0x10, false, L"Q"}, {'W', 0x11, false, L"W"}, {'E', 0x12, false, L"E"}, {'R', 0x13, false, L"R"},
    {'T', 0x14, false, L"T"}, {'Y', 0x15, false, L"Y"}, {'U', 0x16, false, L"U"}, {'I', 0x17, false, L"I"},
    {'O', 0x18, false, L"O"}, {'P', 0x19, false, L"P"}, {VK_OEM_4, 0x1A, false, L"["}, {VK_OEM_6, 0x1B, false, L"]"},
    {VK_RETURN, 0x1C, false, L"Enter"}, {VK_CONTROL, 0x1D, false, L"Ctrl"}, {VK_LCONTROL, 0x1D, false, L"Ctrl"},
    {'A', 0x1E, false, L"A"}, {'S', 0x1F, false, L"S"}, {'D', 0x20, false, L"D"}, {'F', 0x21, false, L"F"},
    {'G', 0x22, false, L"G"}, {'H', 0x23, false, L"H"}, {'J', 0x24, false, L"J"}, {'K', 0x25, false, L"K"},
    {'L', 0x26, false, L"L"}, {VK_OEM_1, 0x27, false, L";"}, {VK_OEM_7, 0x28, false, L"'"}, {VK_OEM_3, 0x29, false, L"`"},
    {VK_SHIFT, 0x2A, false, L"Shift"}, {VK_LSHIFT, 0x2A, false, L"Shift"}, {VK_OEM_5, 0x2B, false, L"\\"},
    {'Z', 0x2C, false, L"Z"}, {'X', 0x2D, false, L"X"}, {'C', 0x2E, false, L"C"}, {'V', 0x2F, false, L"V"},
    {'B', 0x30, false, L"B"}, {'N', 0x31, false, L"N"}, {'M', 0x32, false, L"M"}, {VK_OEM_COMMA, 0x33, false, L","},
    {VK_OEM_PERIOD, 0x34, false, L"."}, {VK_OEM_2, 0x35, false, L"/"}, {VK_RSHIFT, 0x36, false, L"Right Shift"},
    {VK_MULTIPLY, 0x37, false, L"Num *"}, {VK_MENU, 0x38, false, L"Alt"}, {VK_LMENU, 0x38, false, L"Alt"},
    {VK_SPACE, 0x39, false, L"Space"}, {VK_CAPITAL, 0x3A, false, L"Caps Lock"}, {VK_F1, 0x3B, false, L"F1"},
    {VK_F2, 0x3C, false, L"F2"}, {VK_F3, 0x3D, false, L"F3"}, {VK_F4, 0x3E, false, L"F4"}, {VK_F5, 0x3F, false, L"F5"},
    {VK_F6, 0x40, false, L"F6"}, {VK_F7, 0x41, false, L"F7"}, {VK_F8, 0x42, false, L"F8"}, {VK_F9, 0x43, false, L"F9"},
    {VK_F10, 0x44, false, L"F10"}, {VK_PAUSE, 0x45, false, L"Pause"}, {VK_SCROLL, 0x46, false, L"Scroll Lock"},
    {VK_NUMPAD0 + 7, 0x47, false, L"Num 7"}, {VK_NUMPAD0 + 8, 0x48, false, L"Num 8"}, {VK_NUMPAD9, 0x49, false, L"Num 9"},
    {VK_SUBTRACT, 0x4A, false, L"Num -"}, {VK_NUMPAD0 + 4, 0x4B, false, L"Num 4"}, {VK_NUMPAD0 + 5, 0x4C, false, L"Num 5"},
    {VK_NUMPAD0 + 6, 0x4D, false, L"Num 6"}, {VK_ADD, 0x4E, false, L"Num +"}, {VK_NUMPAD0 + 1, 0x4F, false, L"Num 1"},
    {VK_NUMPAD0 + 2, 0x50, false, L"Num 2"}, {VK_NUMPAD0 + 3, 0x51, false, L"Num 3"}, {VK_NUMPAD0, 0x52, false, L"Num 0"},
    {VK_DECIMAL, 0x53, false, L"Num Del"}, {VK_CLEAR, 0x4C, false, L"Num 5"}, {VK_F11, 0x57, false, L"F11"},
    {VK_F12, 0x58, false, L"F12"},
    {VK_RCONTROL, 0x1D, true, L"Right Ctrl"}, {VK_DIVIDE, 0x35, true, L"Num /"}, {VK_SNAPSHOT, 0x37, true, L"Prnt Scrn"},
    {VK_RMENU, 0x38, true, L"Right Alt"}, {VK_NUMLOCK, 0x45, true, L"Num Lock"}, {VK_HOME, 0x47, true, L"Home"},
    {VK_UP, 0x48, true, L"Up"}, {VK_PRIOR, 0x49, true, L"Page Up"}, {VK_LEFT, 0x4B, true, L"Left"},
    {VK_RIGHT, 0x4D, true, L"Right"}, {VK_END, 0x4F, true, L"End"}, {VK_DOWN, 0x50, true, L"Down"},
    {VK_NEXT, 0x51, true, L"Page Down"}, {VK_INSERT, 0x52, true, L"Insert"}, {VK_DELETE, 0x53, true, L"Delete"},
    {VK_LWIN, 0x5B, true, L"Left Windows"}, {VK_RWIN, 0x5C, true, L"Right Windows"}, {VK_APPS, 0x5D, true, L"Application"},
    {VK_VOLUME_MUTE, 0x20, true, nullptr}, {VK_VOLUME_DOWN, 0x2E, true, nullptr}, {VK_VOLUME_UP, 0x30, true, nullptr},
    {VK_MEDIA_NEXT_TRACK, 0x19, true, nullptr}, {VK_MEDIA_PREV_TRACK, 0x10, true, nullptr},
    {VK_MEDIA_STOP, 0x24, true, nullptr}, {VK_MEDIA_PLAY_PAUSE, 0x22, true, nullptr},
};

const KeyInfo* InfoOfVk(UINT vk) {
    for (const KeyInfo& k : kKeys)
        if (k.vk == vk) return &k;
    return nullptr;
}

// The virtual key of a key symbol (of the key's unshifted level); *sided is the left/right form.
UINT VkOfKeyval(guint kv, UINT* sided) {
    *sided = 0;
    if (kv >= GDK_KEY_a && kv <= GDK_KEY_z) return 'A' + (kv - GDK_KEY_a);
    if (kv >= GDK_KEY_A && kv <= GDK_KEY_Z) return 'A' + (kv - GDK_KEY_A);
    if (kv >= GDK_KEY_0 && kv <= GDK_KEY_9) return '0' + (kv - GDK_KEY_0);
    if (kv >= GDK_KEY_F1 && kv <= GDK_KEY_F12) return VK_F1 + (kv - GDK_KEY_F1);
    if (kv >= GDK_KEY_KP_0 && kv <= GDK_KEY_KP_9) return VK_NUMPAD0 + (kv - GDK_KEY_KP_0);
    switch (kv) {
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return VK_TAB;
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space: return VK_SPACE;
    case GDK_KEY_Shift_L: *sided = VK_LSHIFT; return VK_SHIFT;
    case GDK_KEY_Shift_R: *sided = VK_RSHIFT; return VK_SHIFT;
    case GDK_KEY_Control_L: *sided = VK_LCONTROL; return VK_CONTROL;
    case GDK_KEY_Control_R: *sided = VK_RCONTROL; return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Meta_L: *sided = VK_LMENU; return VK_MENU;
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_R:
    case GDK_KEY_ISO_Level3_Shift: *sided = VK_RMENU; return VK_MENU;
    case GDK_KEY_Super_L: return VK_LWIN;
    case GDK_KEY_Super_R: return VK_RWIN;
    case GDK_KEY_Menu: return VK_APPS;
    case GDK_KEY_Caps_Lock: return VK_CAPITAL;
    case GDK_KEY_Num_Lock: return VK_NUMLOCK;
    case GDK_KEY_Scroll_Lock: return VK_SCROLL;
    case GDK_KEY_Pause:
    case GDK_KEY_Break: return VK_PAUSE;
    case GDK_KEY_Print:
    case GDK_KEY_Sys_Req: return VK_SNAPSHOT;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert: return VK_INSERT;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete: return VK_DELETE;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home: return VK_HOME;
    case GDK_KEY_End:
    case GDK_KEY_KP_End: return VK_END;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: return VK_PRIOR;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: return VK_NEXT;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left: return VK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: return VK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right: return VK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: return VK_DOWN;
    case GDK_KEY_KP_Begin: return VK_CLEAR;
    case GDK_KEY_KP_Decimal:
    case GDK_KEY_KP_Separator: return VK_DECIMAL;
    case GDK_KEY_KP_Add: return VK_ADD;
    case GDK_KEY_KP_Subtract: return VK_SUBTRACT;
    case GDK_KEY_KP_Multiply: return VK_MULTIPLY;
    case GDK_KEY_KP_Divide: return VK_DIVIDE;
    case GDK_KEY_semicolon: return VK_OEM_1;
    case GDK_KEY_equal: return VK_OEM_PLUS;
    case GDK_KEY_comma: return VK_OEM_COMMA;
    case GDK_KEY_minus: return VK_OEM_MINUS;
    case GDK_KEY_period: return VK_OEM_PERIOD;
    case GDK_KEY_slash: return VK_OEM_2;
    case GDK_KEY_grave: return VK_OEM_3;
    case GDK_KEY_bracketleft: return VK_OEM_4;
    case GDK_KEY_backslash: return VK_OEM_5;
    case GDK_KEY_bracketright: return VK_OEM_6;
    case GDK_KEY_apostrophe: return VK_OEM_7;
    case GDK_KEY_AudioMute: return VK_VOLUME_MUTE;
    case GDK_KEY_AudioLowerVolume: return VK_VOLUME_DOWN;
    case GDK_KEY_AudioRaiseVolume: return VK_VOLUME_UP;
    case GDK_KEY_AudioNext: return VK_MEDIA_NEXT_TRACK;
    case GDK_KEY_AudioPrev: return VK_MEDIA_PREV_TRACK;
    case GDK_KEY_AudioStop: return VK_MEDIA_STOP;
    case GDK_KEY_AudioPlay:
    case GDK_KEY_AudioPause: return VK_MEDIA_PLAY_PAUSE;
    default: return 0;
    }
}

// Keys of the numeric pad are "extended" only where a PC keyboard says so.
bool IsExtended(guint kv, UINT vk) {
    switch (kv) {
    case GDK_KEY_KP_Enter:
    case GDK_KEY_KP_Divide:
    case GDK_KEY_Control_R:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_R:
    case GDK_KEY_ISO_Level3_Shift: return true;
    default: break;
    }
    if (kv >= GDK_KEY_KP_Space && kv <= GDK_KEY_KP_9) return false;
    const KeyInfo* k = InfoOfVk(vk);
    return k && k->ext;
}

struct Click {
    bool valid = false;
    HWND hwnd = nullptr;
    int button = 0;
    guint32 time = 0;
    int x = 0, y = 0;
};

struct Tracking {
    HWND hwnd = nullptr;
    DWORD flags = 0;
    DWORD hoverMs = 400;
    POINT hoverPt{};
    GSource* hoverSource = nullptr;
};

// Guarded by Mutex(). g_keys follows the X events as they come (GetAsyncKeyState); g_syncKeys is
// the keyboard as of the last key message taken from a queue (GetKeyState), so a handler sees
// the modifiers of its own key even when later events were read already.
BYTE g_keys[256] = {};
BYTE g_syncKeys[256] = {};
POINT g_cursor{};
HWND g_capture = nullptr;
HWND g_under = nullptr;  // the window whose client area the pointer is in
Tracking g_track;
PressInfo g_press;
Click g_click;
HCURSOR g_current = nullptr;
int g_showCount = 0;
GdkWindow* t_cursorTarget = nullptr;  // the window under the pointer; UI thread only
double g_smooth = 0;

bool Down(int vk) { return (g_keys[vk & 0xFF] & 0x80) != 0; }

void SetKeyLocked(UINT vk, bool down) {
    if (down) g_keys[vk & 0xFF] |= 0x80;
    else g_keys[vk & 0xFF] &= static_cast<BYTE>(~0x80);
}

// Modifiers released while another program had the keyboard are cleared by the next event.
void SyncModifiersLocked(guint state) {
    auto fix = [](bool held, UINT vk, UINT l, UINT r) {
        if (!held && Down(static_cast<int>(vk))) {
            SetKeyLocked(vk, false);
            SetKeyLocked(l, false);
            SetKeyLocked(r, false);
        }
    };
    fix(state & GDK_SHIFT_MASK, VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    fix(state & GDK_CONTROL_MASK, VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
    fix(state & GDK_MOD1_MASK, VK_MENU, VK_LMENU, VK_RMENU);
    auto toggle = [](bool on, UINT vk) {
        g_keys[vk] = static_cast<BYTE>((g_keys[vk] & 0x80) | (on ? 1 : 0));
    };
    toggle(state & GDK_LOCK_MASK, VK_CAPITAL);
    toggle(state & GDK_MOD2_MASK, VK_NUMLOCK);
}

bool IsModifierVk(UINT vk) {
    return (vk >= VK_SHIFT && vk <= VK_MENU) || (vk >= VK_LSHIFT && vk <= VK_RMENU);
}

bool IsButtonVk(UINT vk) { return vk == VK_LBUTTON || vk == VK_RBUTTON || (vk >= VK_MBUTTON && vk <= 0x06); }

// The keys the server holds down now, as virtual keys (every level of each key, so a key pad key
// counts whatever Num Lock says).
void HeldOnServer(GdkDisplay* disp, bool held[256]) {
    std::fill_n(held, 256, false);
    char map[32] = {};
    XQueryKeymap(gdk_x11_display_get_xdisplay(disp), map);
    GdkKeymap* keymap = gdk_keymap_get_for_display(disp);
    for (int kc = 8; kc < 256; ++kc) {
        if (!(map[kc / 8] & (1 << (kc % 8)))) continue;
        guint* keyvals = nullptr;
        gint n = 0;
        if (!gdk_keymap_get_entries_for_keycode(keymap, static_cast<guint>(kc), nullptr, &keyvals, &n)) continue;
        for (gint i = 0; i < n; ++i) {
            UINT sided = 0;
            UINT vk = VkOfKeyval(keyvals[i], &sided);
            held[vk & 0xFF] = true;
            if (sided) held[sided & 0xFF] = true;
        }
        g_free(keyvals);
    }
    held[0] = false;
}

// A key's release goes to the window that has the keyboard then; when that window closed on the
// press (a menu, a dialog) or the keyboard moved to another program, the release never comes.
// Keys the server says are up are let go; modifiers follow each event's own state instead.
void DropReleasedKeys(GdkDisplay* disp, UINT except) {
    if (!disp || !GDK_IS_X11_DISPLAY(disp)) return;
    bool held[256];
    HeldOnServer(disp, held);
    std::lock_guard lk(Mutex());
    for (UINT vk = 1; vk < 256; ++vk)
        if (vk != except && !held[vk] && !IsModifierVk(vk) && !IsButtonVk(vk)) {
            SetKeyLocked(vk, false);
            g_syncKeys[vk] &= static_cast<BYTE>(~0x80);
        }
}

void SyncButtonsLocked(guint state) {
    SetKeyLocked(VK_LBUTTON, state & GDK_BUTTON1_MASK);
    SetKeyLocked(VK_MBUTTON, state & GDK_BUTTON2_MASK);
    SetKeyLocked(VK_RBUTTON, state & GDK_BUTTON3_MASK);
}

WPARAM MkOf(guint state) {
    WPARAM mk = 0;
    if (state & GDK_BUTTON1_MASK) mk |= MK_LBUTTON;
    if (state & GDK_BUTTON2_MASK) mk |= MK_MBUTTON;
    if (state & GDK_BUTTON3_MASK) mk |= MK_RBUTTON;
    if (state & GDK_SHIFT_MASK) mk |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK) mk |= MK_CONTROL;
    return mk;
}

guint ButtonMask(int button) {
    return button == 1 ? GDK_BUTTON1_MASK : button == 2 ? GDK_BUTTON2_MASK : button == 3 ? GDK_BUTTON3_MASK : 0;
}

void PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = Find(hwnd);
    if (!w) return;
    POINT pt;
    {
        std::lock_guard lk(Mutex());
        pt = g_cursor;
    }
    Post(w->queue, MSG{hwnd, msg, wParam, lParam, Now(), pt}, msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE);
}

bool Contains(HWND hwnd, POINT pt) {
    RECT r;
    return IsWindowVisible(hwnd) && !IsIconic(hwnd) && GetWindowRect(hwnd, &r) && pt.x >= r.left && pt.x < r.right &&
           pt.y >= r.top && pt.y < r.bottom;
}

}  // namespace

HWND ChildAt(HWND hwnd, POINT pt) {
    for (;;) {
        std::vector<HWND> children;
        {
            std::lock_guard lk(Mutex());
            WindowPtr w = FindLocked(hwnd);
            if (!w) return hwnd;
            children = w->children;
        }
        auto it = std::find_if(children.begin(), children.end(), [&](HWND c) { return Contains(c, pt); });
        if (it == children.end()) return hwnd;
        hwnd = *it;
    }
}

namespace {

// This process's deepest window at a screen point, below `after` when given.
HWND WindowAt(POINT pt, HWND after) {
    auto z = TopLevels();
    auto it = z.begin();
    if (after) {
        it = std::find(z.begin(), z.end(), after);
        if (it != z.end()) ++it;
    }
    for (; it != z.end(); ++it)
        if (Contains(*it, pt)) return ChildAt(*it, pt);
    return nullptr;
}

struct Target {
    HWND hwnd = nullptr;
    LRESULT hit = HTNOWHERE;
};

// WM_NCHITTEST decides client or frame; HTTRANSPARENT hands the point to what lies below.
Target HitTarget(HWND hwnd, POINT pt) {
    for (int guard = 0; hwnd && guard < 64; ++guard) {
        LRESULT hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
        if (hit != HTTRANSPARENT) return {hwnd, hit};
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) hwnd = GetParent(hwnd);
        else hwnd = WindowAt(pt, hwnd);
    }
    return {};
}

// The window under the pointer; during a button's implicit grab X reports the pressed window.
HWND Under(GdkEventAny* ev, POINT pt) {
    HWND h = HwndOfGdkWindow(ev->window);
    if (h && Contains(h, pt)) return ChildAt(h, pt);
    return WindowAt(pt, nullptr);
}

void StopHoverLocked() {
    if (g_track.hoverSource) {
        g_source_destroy(g_track.hoverSource);
        g_source_unref(g_track.hoverSource);
        g_track.hoverSource = nullptr;
    }
}

gboolean HoverFired(gpointer) {
    HWND hwnd;
    POINT pt;
    WPARAM mk = 0;
    {
        std::lock_guard lk(Mutex());
        if (!g_track.hoverSource) return G_SOURCE_REMOVE;
        g_source_unref(g_track.hoverSource);
        g_track.hoverSource = nullptr;
        if (!(g_track.flags & TME_HOVER) || g_under != g_track.hwnd) return G_SOURCE_REMOVE;
        g_track.flags &= ~static_cast<DWORD>(TME_HOVER);
        hwnd = g_track.hwnd;
        pt = g_cursor;
        if (Down(VK_LBUTTON)) mk |= MK_LBUTTON;
        if (Down(VK_RBUTTON)) mk |= MK_RBUTTON;
        if (Down(VK_SHIFT)) mk |= MK_SHIFT;
        if (Down(VK_CONTROL)) mk |= MK_CONTROL;
    }
    ScreenToClient(hwnd, &pt);
    PostInput(hwnd, WM_MOUSEHOVER, mk, MAKELPARAM(pt.x, pt.y));
    return G_SOURCE_REMOVE;
}

void StartHoverLocked(GMainContext* ctx) {
    StopHoverLocked();
    g_track.hoverPt = g_cursor;
    g_track.hoverSource = g_timeout_source_new(g_track.hoverMs);
    g_source_set_callback(g_track.hoverSource, HoverFired, nullptr, nullptr);
    g_source_attach(g_track.hoverSource, ctx);
}

void UpdateUnder(HWND now) {
    HWND leave = nullptr;
    {
        std::lock_guard lk(Mutex());
        HWND old = g_under;
        g_under = now;
        if (old != now && old && g_track.hwnd == old) {
            if (g_track.flags & TME_LEAVE) leave = old;
            StopHoverLocked();
            g_track = Tracking{};
        } else if (now && g_track.hwnd == now && g_track.hoverSource &&
                   (std::abs(g_cursor.x - g_track.hoverPt.x) > 2 || std::abs(g_cursor.y - g_track.hoverPt.y) > 2)) {
            // Hovering means resting: moving on starts the wait again.
            WindowPtr w = FindLocked(now);
            if (w) StartHoverLocked(w->queue->ctx);
        }
    }
    if (leave) PostInput(leave, WM_MOUSELEAVE, 0, 0);
}

gboolean OnButton(GtkWidget*, GdkEventButton* ev, gpointer) {
    if (BackingSizeDragEvent(ev)) return TRUE;
    if (ev->type != GDK_BUTTON_PRESS && ev->type != GDK_BUTTON_RELEASE) return TRUE;  // X's own double clicks
    if (ev->button < 1 || ev->button > 3) return TRUE;
    bool press = ev->type == GDK_BUTTON_PRESS;
    POINT pt{static_cast<LONG>(ev->x_root), static_cast<LONG>(ev->y_root)};
    int b = static_cast<int>(ev->button);
    guint state = press ? (ev->state | ButtonMask(b)) : (ev->state & ~ButtonMask(b));
    HWND cap;
    {
        std::lock_guard lk(Mutex());
        g_cursor = pt;
        SyncButtonsLocked(state);
        SyncModifiersLocked(ev->state);
        if (press) g_press = PressInfo{true, b, pt.x, pt.y, ev->time};
        cap = g_capture;
    }
    Target t = cap ? Target{cap, HTCLIENT} : HitTarget(Under(reinterpret_cast<GdkEventAny*>(ev), pt), pt);
    if (!t.hwnd || IsDisabledTree(t.hwnd)) return TRUE;
    const UINT down = b == 1 ? WM_LBUTTONDOWN : b == 3 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    if (!press) {
        if (t.hit == HTCLIENT) {
            POINT c = pt;
            ScreenToClient(t.hwnd, &c);
            PostInput(t.hwnd, down + 1, MkOf(state), MAKELPARAM(c.x, c.y));
        } else {
            const UINT up = b == 1 ? WM_NCLBUTTONUP : b == 3 ? WM_NCRBUTTONUP : WM_NCMBUTTONUP;
            PostInput(t.hwnd, up, static_cast<WPARAM>(t.hit), MAKELPARAM(pt.x, pt.y));
        }
        return TRUE;
    }
    HWND top = RootOf(t.hwnd);
    if (top != ActiveWindow() && !(GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE)) {
        LRESULT ma = SendMessageW(t.hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                  MAKELPARAM(static_cast<WORD>(t.hit), down));
        if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) SetActiveWindow(top);
        if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT) return TRUE;
    }
    bool client = t.hit == HTCLIENT;
    UINT classStyle = 0;
    bool dbl;
    const int half = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
    const UINT dblTime = GetDoubleClickTime();
    {
        std::lock_guard lk(Mutex());
        if (WindowPtr w = FindLocked(t.hwnd)) classStyle = w->classStyle;
        dbl = g_click.valid && g_click.hwnd == t.hwnd && g_click.button == b &&
              ev->time - g_click.time <= dblTime && std::abs(pt.x - g_click.x) <= half &&
              std::abs(pt.y - g_click.y) <= half;
        // A window class without CS_DBLCLKS sees two plain clicks.
        if (client && !(classStyle & CS_DBLCLKS)) dbl = false;
        g_click = dbl ? Click{} : Click{true, t.hwnd, b, ev->time, pt.x, pt.y};
    }
    if (client) {
        POINT c = pt;
        ScreenToClient(t.hwnd, &c);
        PostInput(t.hwnd, dbl ? down + 2 : down, MkOf(state), MAKELPARAM(c.x, c.y));
    } else if (b == 1) {
        PostInput(t.hwnd, dbl ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN, static_cast<WPARAM>(t.hit), MAKELPARAM(pt.x, pt.y));
    } else if (b == 3) {
        PostInput(t.hwnd, WM_NCRBUTTONDOWN, static_cast<WPARAM>(t.hit), MAKELPARAM(pt.x, pt.y));
    }
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* ev, gpointer) {
    platform::NoteWatchedChange();
    if (BackingSizeDragEvent(ev)) return TRUE;
    POINT pt{static_cast<LONG>(ev->x_root), static_cast<LONG>(ev->y_root)};
    HWND cap;
    {
        std::lock_guard lk(Mutex());
        g_cursor = pt;
        SyncButtonsLocked(ev->state);
        cap = g_capture;
    }
    Target t = cap ? Target{cap, HTCLIENT} : HitTarget(Under(reinterpret_cast<GdkEventAny*>(ev), pt), pt);
    if (!cap) {
        t_cursorTarget = ev->window;
        if (t.hwnd)
            SendMessageW(t.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(t.hwnd),
                         MAKELPARAM(static_cast<WORD>(t.hit), WM_MOUSEMOVE));
    }
    UpdateUnder(t.hit == HTCLIENT ? t.hwnd : nullptr);
    if (!t.hwnd || IsDisabledTree(t.hwnd)) return TRUE;
    if (t.hit == HTCLIENT) {
        POINT c = pt;
        ScreenToClient(t.hwnd, &c);
        PostInput(t.hwnd, WM_MOUSEMOVE, MkOf(ev->state), MAKELPARAM(c.x, c.y));
    } else if (t.hit != HTNOWHERE) {
        PostInput(t.hwnd, WM_NCMOUSEMOVE, static_cast<WPARAM>(t.hit), MAKELPARAM(pt.x, pt.y));
    }
    return TRUE;
}

gboolean OnCrossing(GtkWidget*, GdkEventCrossing* ev, gpointer) {
    platform::NoteWatchedChange();
    {
        std::lock_guard lk(Mutex());
        g_cursor = POINT{static_cast<LONG>(ev->x_root), static_cast<LONG>(ev->y_root)};
    }
    // Leaving the top-level for another program's window: nothing of ours is under the pointer.
    if (ev->type == GDK_LEAVE_NOTIFY && ev->detail != GDK_NOTIFY_INFERIOR &&
        gdk_window_get_window_type(ev->window) == GDK_WINDOW_TOPLEVEL)
        UpdateUnder(nullptr);
    return FALSE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* ev, gpointer) {
    int delta = 0;
    if (ev->direction == GDK_SCROLL_UP) delta = WHEEL_DELTA;
    else if (ev->direction == GDK_SCROLL_DOWN) delta = -WHEEL_DELTA;
    else if (ev->direction == GDK_SCROLL_SMOOTH) {
        std::lock_guard lk(Mutex());
        g_smooth -= ev->delta_y * WHEEL_DELTA;
        delta = static_cast<int>(g_smooth);
        g_smooth -= delta;
    }
    if (!delta) return TRUE;
    POINT pt{static_cast<LONG>(ev->x_root), static_cast<LONG>(ev->y_root)};
    HWND cap;
    {
        std::lock_guard lk(Mutex());
        g_cursor = pt;
        cap = g_capture;
    }
    // As on current Windows the wheel turns the window under the pointer.
    HWND target = cap ? cap : Under(reinterpret_cast<GdkEventAny*>(ev), pt);
    if (!target || IsDisabledTree(target)) return TRUE;
    PostInput(target, WM_MOUSEWHEEL, MAKEWPARAM(MkOf(ev->state), static_cast<WORD>(static_cast<short>(delta))),
              MAKELPARAM(pt.x, pt.y));
    return TRUE;
}

wchar_t CharOf(const GdkEventKey* ev, UINT vk, bool ctrl, bool alt) {
    if (ctrl && !alt) {
        if (vk >= 'A' && vk <= 'Z') return static_cast<wchar_t>(vk - 'A' + 1);
        if (vk == VK_OEM_4) return 27;
        if (vk == VK_OEM_5) return 28;
        if (vk == VK_OEM_6) return 29;
        if (vk == VK_RETURN) return 10;
        if (vk == VK_BACK) return 127;
    }
    switch (vk) {
    case VK_RETURN: return L'\r';
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    default: break;
    }
    if (ctrl && !alt) return 0;
    return static_cast<wchar_t>(gdk_keyval_to_unicode(ev->keyval));
}

gboolean OnKey(GtkWidget* widget, GdkEventKey* ev, gpointer) {
    auto top = static_cast<HWND>(g_object_get_data(G_OBJECT(widget), "morvane-hwnd"));
    if (!top) return TRUE;
    bool press = ev->type == GDK_KEY_PRESS;
    guint base = ev->keyval;
    gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_window_get_display(ev->window)),
                                        ev->hardware_keycode, static_cast<GdkModifierType>(ev->state & GDK_MOD2_MASK),
                                        ev->group, &base, nullptr, nullptr, nullptr);
    UINT sided = 0;
    UINT vk = VkOfKeyval(base, &sided);
    if (!vk) vk = VkOfKeyval(ev->keyval, &sided);
    if (!vk) return TRUE;
    bool ext = IsExtended(base, vk);
    if (press) DropReleasedKeys(gdk_window_get_display(ev->window), sided ? sided : vk);
    bool wasDown, alt, ctrl;
    {
        std::lock_guard lk(Mutex());
        SyncModifiersLocked(ev->state);
        wasDown = Down(static_cast<int>(sided ? sided : vk));
        SetKeyLocked(sided ? sided : vk, press);
        if (sided) {
            UINT other = sided == VK_LSHIFT ? VK_RSHIFT : sided == VK_RSHIFT ? VK_LSHIFT
                       : sided == VK_LCONTROL ? VK_RCONTROL : sided == VK_RCONTROL ? VK_LCONTROL
                       : sided == VK_LMENU ? VK_RMENU : VK_LMENU;
            SetKeyLocked(vk, press || Down(static_cast<int>(other)));
        }
        alt = Down(VK_MENU) || vk == VK_MENU;
        ctrl = Down(VK_CONTROL);
    }
    HWND focus = FocusWindow();
    HWND target = focus && RootOf(focus) == top ? focus : top;
    if (IsDisabledTree(target)) return TRUE;
    const KeyInfo* info = InfoOfVk(sided ? sided : vk);
    UINT scan = info ? info->scan : (ev->hardware_keycode > 8 ? ev->hardware_keycode - 8u : 0u);
    bool sys = (alt && !ctrl) || vk == VK_F10;
    LPARAM lp = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16) | (ext ? (1L << 24) : 0) | (alt ? (1L << 29) : 0);
    if (press && wasDown) lp |= 1L << 30;
    if (!press) lp |= (1L << 30) | (1L << 31);
    lp = static_cast<LPARAM>(static_cast<DWORD>(lp));
    UINT msg = press ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    WindowPtr w = Find(target);
    if (!w) return TRUE;
    MSG m{target, msg, vk, lp, Now(), {}};
    {
        std::lock_guard lk(Mutex());
        m.pt = g_cursor;
        wchar_t ch = press ? CharOf(ev, vk, ctrl, alt) : 0;
        if (ch) {
            // Kept for TranslateMessage, which turns this key-down into its character.
            auto& chars = w->queue->chars;
            chars.push_back(PendingChar{target, vk, lp, m.time, ch, alt && !ctrl});
            while (chars.size() > 64) chars.pop_front();
        }
        auto& states = w->queue->keyStates;
        states.push_back(KeyStateAt{m, {}});
        std::copy(std::begin(g_keys), std::end(g_keys), states.back().keys.begin());
        while (states.size() > 64) states.pop_front();
    }
    Post(w->queue, m);
    return TRUE;
}

// With a window manager, the user activates windows through it.
gboolean OnFocusIn(GtkWidget* widget, GdkEventFocus* ev, gpointer) {
    auto top = static_cast<HWND>(g_object_get_data(G_OBJECT(widget), "morvane-hwnd"));
    // What was let go while another window had the keyboard is let go here too.
    GdkDisplay* disp = gdk_window_get_display(ev->window);
    DropReleasedKeys(disp, 0);
    if (GDK_IS_X11_DISPLAY(disp)) {
        ::Window root, child;
        int rx, ry, wx, wy;
        unsigned mask = 0;
        Display* xd = gdk_x11_display_get_xdisplay(disp);
        if (XQueryPointer(xd, DefaultRootWindow(xd), &root, &child, &rx, &ry, &wx, &wy, &mask)) {
            std::lock_guard lk(Mutex());
            for (auto [vk, bit] : {std::pair{VK_LBUTTON, Button1Mask}, {VK_MBUTTON, Button2Mask}, {VK_RBUTTON, Button3Mask}})
                if (!(mask & bit)) SetKeyLocked(vk, false);
        }
    }
    if (top && BackingHasWindowManager() && ActiveWindow() != top && IsWindowVisible(top)) Activate(top, false);
    return FALSE;
}

const char* CursorName(HCURSOR c) {
    switch (reinterpret_cast<ULONG_PTR>(c)) {
    case 32513: return "text";
    case 32514: return "wait";
    case 32515: return "crosshair";
    case 32642: return "nwse-resize";
    case 32643: return "nesw-resize";
    case 32644: return "ew-resize";
    case 32645: return "ns-resize";
    case 32646: return "move";
    case 32648: return "not-allowed";
    case 32649: return "pointer";
    default: return "default";
    }
}

void ApplyCursor(GdkWindow* gw, HCURSOR c, bool hidden) {
    if (!gw || !platform::HasDisplay()) return;
    static std::map<std::string, GdkCursor*> cache;
    std::string name = hidden || !c ? "none" : CursorName(c);
    GdkCursor*& cur = cache[name];
    if (!cur) cur = gdk_cursor_new_from_name(gdk_window_get_display(gw), name.c_str());
    gdk_window_set_cursor(gw, cur);
}

// The pointer is asked on a connection of its own, so that any thread may ask. The wait is
// bounded: while another client holds the server grabbed (a window manager reparenting, a
// toolkit reading its settings' owner) the server answers nobody else, and a poller or the UI
// thread must not hang on it; the last known position serves then.
struct CursorConnection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
};

const CursorConnection& Pointer() {
    static CursorConnection cc;
    static std::once_flag once;
    std::call_once(once, [] {
        if (!platform::HasDisplay()) return;
        int screen = 0;
        xcb_connection_t* c = xcb_connect(nullptr, &screen);
        if (!c || xcb_connection_has_error(c)) {
            if (c) xcb_disconnect(c);
            return;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
        if (!it.rem) {
            xcb_disconnect(c);
            return;
        }
        cc.c = c;
        cc.root = it.data->root;
    });
    return cc;
}

constexpr int kPointerWaitMs = 200;

bool QueryPointer(POINT* out) {
    const CursorConnection& cc = Pointer();
    if (!cc.c) return false;
    static std::mutex m;
    std::lock_guard lk(m);
    if (xcb_connection_has_error(cc.c)) return false;
    xcb_query_pointer_cookie_t cookie = xcb_query_pointer(cc.c, cc.root);
    xcb_flush(cc.c);
    const gint64 deadline = g_get_monotonic_time() + kPointerWaitMs * 1000;
    for (;;) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(cc.c, cookie.sequence, &reply, &error)) {
            std::free(error);
            auto* r = static_cast<xcb_query_pointer_reply_t*>(reply);
            bool ok = r && r->same_screen;
            if (ok) *out = POINT{r->root_x, r->root_y};
            std::free(reply);
            return ok;
        }
        if (xcb_connection_has_error(cc.c)) return false;
        const gint64 left = deadline - g_get_monotonic_time();
        if (left <= 0) {
            xcb_discard_reply(cc.c, cookie.sequence);
            return false;
        }
        pollfd p{xcb_get_file_descriptor(cc.c), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::max<gint64>(1, left / 1000)));
    }
}

}  // namespace

void KeyMessageTakenLocked(ThreadQueue& q, const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_SYSKEYDOWN && msg.message != WM_SYSKEYUP)
        return;
    // States of messages dropped unread (their window went away) are passed over.
    while (!q.keyStates.empty()) {
        KeyStateAt s = q.keyStates.front();
        q.keyStates.pop_front();
        const MSG& m = s.msg;
        if (m.hwnd == msg.hwnd && m.message == msg.message && m.wParam == msg.wParam && m.lParam == msg.lParam &&
            m.time == msg.time) {
            std::copy(s.keys.begin(), s.keys.end(), g_syncKeys);
            return;
        }
    }
}

PressInfo LastPress() {
    std::lock_guard lk(Mutex());
    return g_press;
}

void NoteCursor(int x, int y) {
    std::lock_guard lk(Mutex());
    g_cursor = POINT{x, y};
}

POINT LastCursor() {
    std::lock_guard lk(Mutex());
    return g_cursor;
}

void ConnectInput(void* gtkWindow) {
    auto* win = static_cast<GtkWidget*>(gtkWindow);
    g_signal_connect(win, "button-press-event", G_CALLBACK(OnButton), nullptr);
    g_signal_connect(win, "button-release-event", G_CALLBACK(OnButton), nullptr);
    g_signal_connect(win, "motion-notify-event", G_CALLBACK(OnMotion), nullptr);
    g_signal_connect(win, "enter-notify-event", G_CALLBACK(OnCrossing), nullptr);
    g_signal_connect(win, "leave-notify-event", G_CALLBACK(OnCrossing), nullptr);
    g_signal_connect(win, "scroll-event", G_CALLBACK(OnScroll), nullptr);
    g_signal_connect(win, "key-press-event", G_CALLBACK(OnKey), nullptr);
    g_signal_connect(win, "key-release-event", G_CALLBACK(OnKey), nullptr);
    g_signal_connect(win, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
}

void InputForget(HWND hwnd) {
    auto* gw = static_cast<GdkWindow*>(BackingGdkWindow(hwnd));
    std::lock_guard lk(Mutex());
    if (g_capture == hwnd) g_capture = nullptr;
    if (g_under == hwnd) g_under = nullptr;
    if (g_track.hwnd == hwnd) {
        StopHoverLocked();
        g_track = Tracking{};
    }
    if (g_click.hwnd == hwnd) g_click = Click{};
    if (gw && gw == t_cursorTarget) t_cursorTarget = nullptr;
}

LRESULT DefaultSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) {
        if (SendMessageW(GetParent(hwnd), WM_SETCURSOR, wParam, lParam)) return TRUE;
    }
    auto hit = static_cast<short>(LOWORD(lParam));
    LPCWSTR id = IDC_ARROW;
    switch (hit) {
    case HTLEFT:
    case HTRIGHT: id = IDC_SIZEWE; break;
    case HTTOP:
    case HTBOTTOM: id = IDC_SIZENS; break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: id = IDC_SIZENWSE; break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: id = IDC_SIZENESW; break;
    case HTCLIENT: {
        HCURSOR c;
        {
            std::lock_guard lk(Mutex());
            WindowPtr w = FindLocked(hwnd);
            c = w ? w->classCursor : nullptr;
        }
        if (!c) return FALSE;
        SetCursor(c);
        return TRUE;
    }
    default: break;
    }
    SetCursor(LoadCursorW(nullptr, id));
    return hit != HTCLIENT;
}

}  // namespace platform::win

using namespace platform::win;

HWND SetCapture(HWND hwnd) {
    if (!Find(hwnd)) return nullptr;
    HWND old;
    {
        std::lock_guard lk(Mutex());
        old = g_capture;
        g_capture = hwnd;
    }
    if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    HWND old;
    {
        std::lock_guard lk(Mutex());
        old = g_capture;
        g_capture = nullptr;
    }
    if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    std::lock_guard lk(Mutex());
    return g_capture;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT tme) {
    if (!tme) return FALSE;
    if (tme->dwFlags & TME_QUERY) {
        std::lock_guard lk(Mutex());
        tme->dwFlags = g_track.flags;
        tme->hwndTrack = g_track.hwnd;
        tme->dwHoverTime = g_track.hoverMs;
        return TRUE;
    }
    WindowPtr w = Find(tme->hwndTrack);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const DWORD kinds = tme->dwFlags & (TME_HOVER | TME_LEAVE);
    bool leaveNow = false;
    {
        std::lock_guard lk(Mutex());
        if (tme->dwFlags & TME_CANCEL) {
            if (g_track.hwnd == tme->hwndTrack) {
                g_track.flags &= ~kinds;
                if (kinds & TME_HOVER) StopHoverLocked();
            }
            return TRUE;
        }
        if (g_under != tme->hwndTrack) {
            // The pointer is elsewhere already: the leave comes at once.
            leaveNow = (kinds & TME_LEAVE) != 0;
        } else {
            if (g_track.hwnd != tme->hwndTrack) {
                StopHoverLocked();
                g_track = Tracking{};
                g_track.hwnd = tme->hwndTrack;
            }
            g_track.flags |= kinds;
            if (kinds & TME_HOVER) {
                g_track.hoverMs = tme->dwHoverTime == HOVER_DEFAULT ? 400 : std::max<DWORD>(1, tme->dwHoverTime);
                StartHoverLocked(w->queue->ctx);
            }
        }
    }
    if (leaveNow) PostInput(tme->hwndTrack, WM_MOUSELEAVE, 0, 0);
    return TRUE;
}

UINT GetDoubleClickTime() {
    static UINT ms = [] {
        gint v = 500;
        if (platform::HasDisplay()) g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &v, nullptr);
        return static_cast<UINT>(v > 0 ? v : 500);
    }();
    return ms;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    POINT pt;
    if (QueryPointer(&pt)) {
        NoteCursor(pt.x, pt.y);
        *point = pt;
        return TRUE;
    }
    std::lock_guard lk(Mutex());
    *point = g_cursor;
    return TRUE;
}

int ShowCursor(BOOL show) {
    int count;
    HCURSOR cur;
    std::vector<HWND> all;
    {
        std::lock_guard lk(Mutex());
        count = g_showCount += show ? 1 : -1;
        cur = g_current;
    }
    // Hidden over every window of ours, as the program expects over its video.
    if ((count == -1 && !show) || (count == 0 && show)) {
        std::vector<HWND> stack = TopLevels();
        while (!stack.empty()) {
            HWND h = stack.back();
            stack.pop_back();
            if (auto* gw = static_cast<GdkWindow*>(BackingGdkWindow(h))) {
                if (count < 0) ApplyCursor(gw, nullptr, true);
                else gdk_window_set_cursor(gw, nullptr);
            }
            std::lock_guard lk(Mutex());
            if (WindowPtr w = FindLocked(h)) stack.insert(stack.end(), w->children.begin(), w->children.end());
        }
        if (count >= 0) ApplyCursor(t_cursorTarget, cur, false);
    }
    return count;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old;
    bool hidden;
    {
        std::lock_guard lk(Mutex());
        old = g_current;
        g_current = cursor;
        hidden = g_showCount < 0;
    }
    ApplyCursor(t_cursorTarget, cursor, hidden);
    return old;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (instance || id >= 0x10000) return nullptr;  // only the system's cursors exist here
    return reinterpret_cast<HCURSOR>(id);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (instance || id >= 0x10000) return nullptr;
    return reinterpret_cast<HICON>(id);
}

SHORT GetKeyState(int virtKey) {
    std::lock_guard lk(Mutex());
    const UINT vk = static_cast<UINT>(virtKey) & 0xFF;
    BYTE v = IsButtonVk(vk) ? g_keys[vk] : g_syncKeys[vk];
    return static_cast<SHORT>(((v & 0x80) ? 0xFF80 : 0) | (v & 1));
}

SHORT GetAsyncKeyState(int virtKey) {
    std::lock_guard lk(Mutex());
    return static_cast<SHORT>((g_keys[virtKey & 0xFF] & 0x80) ? 0x8000 : 0);
}

BOOL GetKeyboardState(PBYTE keyState) {
    if (!keyState) return FALSE;
    std::lock_guard lk(Mutex());
    std::copy(std::begin(g_syncKeys), std::end(g_syncKeys), keyState);
    for (UINT vk = 0; vk < 256; ++vk)
        if (IsButtonVk(vk)) keyState[vk] = g_keys[vk];
    return TRUE;
}

UINT MapVirtualKeyW(UINT code, UINT mapType) {
    switch (mapType) {
    case MAPVK_VK_TO_VSC: {
        const KeyInfo* k = InfoOfVk(code);
        return k ? k->scan : 0;
    }
    case MAPVK_VSC_TO_VK:
        for (const KeyInfo& k : kKeys)
            if (k.scan == code && !k.ext) return k.vk;
        return 0;
    case MAPVK_VK_TO_CHAR:
        if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return code;
        if (code >= VK_NUMPAD0 && code <= VK_NUMPAD9) return '0' + (code - VK_NUMPAD0);
        switch (code) {
        case VK_SPACE: return ' ';
        case VK_RETURN: return '\r';
        case VK_BACK: return 8;
        case VK_TAB: return 9;
        case VK_ESCAPE: return 27;
        case VK_MULTIPLY: return '*';
        case VK_ADD: return '+';
        case VK_SUBTRACT: return '-';
        case VK_DECIMAL: return '.';
        case VK_DIVIDE: return '/';
        default: break;
        }
        if (const KeyInfo* k = InfoOfVk(code); k && k->name && k->name[0] && !k->name[1]) return k->name[0];
        return 0;
    default: return 0;
    }
}

int GetKeyNameTextW(LONG lParam, LPWSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    UINT scan = (static_cast<DWORD>(lParam) >> 16) & 0xFF;
    bool ext = (static_cast<DWORD>(lParam) >> 24) & 1;
    const wchar_t* name = nullptr;
    for (const KeyInfo& k : kKeys)
        if (k.scan == scan && k.ext == ext && k.name) {
            name = k.name;
            break;
        }
    if (!name)
        for (const KeyInfo& k : kKeys)
            if (k.scan == scan && !k.ext && k.name) {
                name = k.name;
                break;
            }
    if (!name) {
        buffer[0] = L'\0';
        return 0;
    }
    int n = std::min(static_cast<int>(wcslen(name)), size - 1);
    std::copy_n(name, n, buffer);
    buffer[n] = L'\0';
    return n;
}

namespace {

// Windows waiting for the next change of the pointer or of our windows; each is told once.
std::vector<std::pair<HWND, UINT>> g_watches;
// Set by every change; the next GetWatchedCursorPos asks the server and clears it.
std::atomic<bool> g_pointerMoved{true};
std::mutex g_watchedMutex;
POINT g_watchedPos{};

}  // namespace

namespace platform {

bool WatchPointerOnce(HWND hwnd, UINT msg) {
    if (!Find(hwnd) || !HasDisplay()) return false;
    std::lock_guard lk(Mutex());
    for (auto& w : g_watches)
        if (w.first == hwnd) {
            w.second = msg;
            return true;
        }
    g_watches.emplace_back(hwnd, msg);
    return true;
}

void NoteWatchedChange() {
    g_pointerMoved = true;
    std::vector<std::pair<HWND, UINT>> due;
    {
        std::lock_guard lk(Mutex());
        if (g_watches.empty()) return;
        due.swap(g_watches);
    }
    for (const auto& [hwnd, msg] : due) PostMessageW(hwnd, msg, 0, 0);
}

BOOL GetWatchedCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    if (!HasDisplay()) return GetCursorPos(point);
    std::lock_guard lk(g_watchedMutex);
    // Cleared before the question, so a move while it is asked brings the next one.
    if (g_pointerMoved.exchange(false)) {
        POINT pt;
        if (QueryPointer(&pt)) {
            NoteCursor(pt.x, pt.y);
            g_watchedPos = pt;
        } else {
            g_pointerMoved = true;
            g_watchedPos = LastCursor();
        }
    }
    *point = g_watchedPos;
    return TRUE;
}

}  // namespace platform
