// The GTK backing: a top-level window is an undecorated GtkWindow, a child window a GdkWindow
// inside it (a native X window for the native class). Also painting, screens and animations.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <set>

#include "platform/windows/wincairo.h"
#include "win_internal.h"

namespace platform::win {

struct Backing {
    GtkWidget* toplevel = nullptr;  // top-level windows
    GdkWindow* gdk = nullptr;       // the window's own GdkWindow
    bool mapped = false;
    bool focusOnMap = false;
    RECT applied{-1, -1, -1, -1};
    RECT expect{};
    gint64 expectUntil = 0;  // configure events that disagree before this are our own, late
    bool shown = false;
    // Mapped since it was last shown: a window manager has taken it in, and finds it when other
    // windows name it as the window they are transient for.
    bool known = false;
    bool iconified = false;
    std::string title;
    int keepAbove = -1;
    HWND transientFor = nullptr;
    bool aspectHinted = false;  // the window manager keeps an aspect while the user sizes it
    bool rereadDue = false;
};

namespace {

const char kHwndKey[] = "morvane-hwnd";

struct Monitor {
    RECT rc;
    RECT work;
    bool primary;
};
std::vector<Monitor> g_monitors;  // guarded by Mutex()
bool g_displayOk = false;

struct Dc {
    HWND hwnd;
    cairo_t* cr;
    bool owned;
};
std::set<Dc*> g_dcs;  // guarded by Mutex()
struct PaintFrame {
    HWND hwnd;
    cairo_t* cr;
};
thread_local std::vector<PaintFrame> t_paints;

constexpr gint kEvents = GDK_EXPOSURE_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                         GDK_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK;

Backing* BackingOf(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    return w ? w->backing : nullptr;
}

// A window manager keeps a window's transients above it, its transients' transients not always
// (openbox restacks them on its own when the owner changes layer): every window of a chain is
// transient for the first window of the chain that is on screen. A window manager looks that
// window up when it takes the transient in or the hint changes, and drops the hint for good when
// it has not taken that window in yet: a window is named only once it is mapped (OnMap).
HWND ChainRootLocked(HWND from) {
    HWND root = nullptr;
    int depth = 0;
    for (WindowPtr o = FindLocked(from); o && depth < 64; o = FindLocked(o->owner), ++depth)
        if (o->backing && o->backing->toplevel && o->backing->shown && o->backing->known) root = o->hwnd;
    return root;
}

HWND TransientParentLocked(const Window& w) { return ChainRootLocked(w.owner); }

// The top-most band holds a window whose chain of owners is in it.
bool ChainTopmostLocked(HWND from) {
    int depth = 0;
    for (WindowPtr o = FindLocked(from); o && depth < 64; o = FindLocked(o->owner), ++depth)
        if (o->topmost) return true;
    return false;
}

struct Dialog {
    GtkWindow* window;
    HWND owner;
    HWND transientFor = nullptr;
    int keepAbove = -1;
};
std::vector<Dialog> g_dialogs;  // guarded by Mutex()

void ApplyTransient(Backing* b, HWND parent) {
    if (parent == b->transientFor) return;
    GtkWidget* p = parent ? static_cast<GtkWidget*>(BackingToplevel(parent)) : nullptr;
    gtk_window_set_transient_for(GTK_WINDOW(b->toplevel), p ? GTK_WINDOW(p) : nullptr);
    b->transientFor = p ? parent : nullptr;
}

// Owned windows, and the dialogs, follow their owners on and off the screen and into and out of
// the top-most band.
void SyncTransients() {
    std::vector<std::pair<Backing*, HWND>> todo;
    struct DialogState {
        GtkWindow* window;
        HWND parent;
        bool above;
    };
    std::vector<DialogState> dialogs;
    std::vector<std::pair<Backing*, bool>> bands;
    const DWORD tid = GetCurrentThreadId();
    {
        std::lock_guard lk(Mutex());
        for (HWND h : ZOrderLocked()) {
            WindowPtr w = FindLocked(h);
            if (!w || !w->backing || !w->backing->toplevel || w->queue->tid != tid) continue;
            todo.emplace_back(w->backing, TransientParentLocked(*w));
            // Owned windows changed band with their owner.
            if (w->backing->keepAbove != static_cast<int>(w->topmost)) bands.emplace_back(w->backing, w->topmost);
        }
        for (Dialog& d : g_dialogs) {
            HWND parent = ChainRootLocked(d.owner);
            bool above = ChainTopmostLocked(d.owner);
            if (parent == d.transientFor && static_cast<int>(above) == d.keepAbove) continue;
            d.transientFor = parent;
            d.keepAbove = above;
            dialogs.push_back({d.window, parent, above});
        }
    }
    for (auto& [b, parent] : todo) ApplyTransient(b, parent);
    for (auto& [b, above] : bands) {
        gtk_window_set_keep_above(GTK_WINDOW(b->toplevel), above);
        b->keepAbove = above;
    }
    for (const DialogState& d : dialogs) {
        auto* p = d.parent ? static_cast<GtkWidget*>(BackingToplevel(d.parent)) : nullptr;
        gtk_window_set_transient_for(d.window, p ? GTK_WINDOW(p) : nullptr);
        gtk_window_set_keep_above(d.window, d.above);
    }
}

void FillBrush(HWND hwnd, cairo_t* cr) {
    HBRUSH brush;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return;
        brush = w->classBrush;
    }
    // Class brushes are system colour numbers + 1; the face colour is the common one.
    if (!brush) return;
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0xF0 / 255.0, 0xF0 / 255.0, 0xF0 / 255.0);
    cairo_paint(cr);
    cairo_restore(cr);
}

void PaintWindow(HWND hwnd, cairo_t* cr) {
    FillBrush(hwnd, cr);
    t_paints.push_back({hwnd, cr});
    CallProc(hwnd, WM_PAINT, 0, 0);
    t_paints.pop_back();
    std::lock_guard lk(Mutex());
    if (WindowPtr w = FindLocked(hwnd)) w->invalid = false;
}

void PaintTree(GtkWidget* widget, cairo_t* cr, HWND hwnd) {
    GdkWindow* gw;
    bool native;
    std::vector<HWND> children;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || !w->backing || !w->visible) return;
        gw = w->backing->gdk;
        native = w->native;
        children = w->children;
    }
    if (!native && gtk_cairo_should_draw_window(cr, gw)) {
        cairo_save(cr);
        gtk_cairo_transform_to_window(cr, widget, gw);
        PaintWindow(hwnd, cr);
        cairo_restore(cr);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) PaintTree(widget, cr, *it);
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    PaintTree(widget, cr, static_cast<HWND>(data));
    return TRUE;
}

gboolean OnMap(GtkWidget*, GdkEvent*, gpointer data) {
    auto hwnd = static_cast<HWND>(data);
    platform::NoteWatchedChange();
    Backing* b = BackingOf(hwnd);
    if (!b) return FALSE;
    b->mapped = true;
    // The windows it owns are transient for it from now on.
    if (b->shown && !b->known) {
        b->known = true;
        SyncTransients();
    }
    const bool focus = b->focusOnMap;
    if (focus) {
        b->focusOnMap = false;
        gdk_window_focus(b->gdk, GDK_CURRENT_TIME);
    }
    BackingRestack(focus);
    return FALSE;
}

gboolean OnUnmap(GtkWidget*, GdkEvent*, gpointer data) {
    platform::NoteWatchedChange();
    if (Backing* b = BackingOf(static_cast<HWND>(data))) b->mapped = false;
    return FALSE;
}

// Moves and sizes made by the window manager or by a drag reach the window as WM_MOVE/WM_SIZE:
// the place the server gives is taken as the window's own. Returns whether it was one we did not
// ask for.
bool TakeServerRect(HWND hwnd, Backing* b, const RECT& r) {
    RECT old;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || w->minimized) return false;
        bool expected = r.left == b->expect.left && r.top == b->expect.top && r.right == b->expect.right &&
                        r.bottom == b->expect.bottom;
        if (expected) b->expectUntil = 0;
        if (!expected && g_get_monotonic_time() < b->expectUntil) return false;
        old = w->rect;
        if (old.left == r.left && old.top == r.top && old.right == r.right && old.bottom == r.bottom) return false;
        w->rect = r;
        b->applied = r;
        if (!w->maximized) w->normalRect = r;
    }
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (old.left == r.left && old.top == r.top) flags |= SWP_NOMOVE;
    if (old.right - old.left == r.right - r.left && old.bottom - old.top == r.bottom - r.top) flags |= SWP_NOSIZE;
    WINDOWPOS wp{hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags};
    CallProc(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return true;
}

RECT ServerRect(Backing* b, int width, int height) {
    int x = 0, y = 0;
    gdk_window_get_origin(b->gdk, &x, &y);
    return RECT{x, y, x + width, y + height};
}

// A place read while a window manager takes a window in again (a quick hide and show) can be
// one the window passes through: such a place is read once more when the server has settled.
gboolean ReadPlaceAgain(gpointer data) {
    auto hwnd = static_cast<HWND>(data);
    Backing* b = BackingOf(hwnd);
    if (!b) return G_SOURCE_REMOVE;
    b->rereadDue = false;
    if (b->gdk && b->mapped) {
        TakeServerRect(hwnd, b, ServerRect(b, gdk_window_get_width(b->gdk), gdk_window_get_height(b->gdk)));
    }
    return G_SOURCE_REMOVE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* ev, gpointer data) {
    auto hwnd = static_cast<HWND>(data);
    platform::NoteWatchedChange();
    Backing* b = BackingOf(hwnd);
    if (!b) return FALSE;
    if (TakeServerRect(hwnd, b, ServerRect(b, ev->width, ev->height)) && BackingHasWindowManager() && !b->rereadDue) {
        b->rereadDue = true;
        g_timeout_add(300, ReadPlaceAgain, hwnd);
    }
    return FALSE;
}

// A window manager's minimise and restore reach the window's state.
gboolean OnWindowState(GtkWidget*, GdkEventWindowState* ev, gpointer data) {
    auto hwnd = static_cast<HWND>(data);
    if (!(ev->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
    // Without a window manager nobody iconifies: GDK takes the late unmap of our own hide, when the
    // window was shown again meanwhile, for one, and following it would minimise a shown window.
    if (!BackingHasWindowManager()) return FALSE;
    // An owned window is iconified with its owner by the window manager; in the layer it leaves
    // and comes back with it (Minimize), so its own state stays as it is.
    if (GetWindow(hwnd, GW_OWNER)) return FALSE;
    bool iconic = (ev->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (Backing* b = BackingOf(hwnd)) {
        b->iconified = iconic;
    }
    if (iconic != static_cast<bool>(IsIconic(hwnd))) ShowWindow(hwnd, iconic ? SW_SHOWMINNOACTIVE : SW_RESTORE);
    return FALSE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    PostMessageW(static_cast<HWND>(data), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
}

void OnMonitorsChanged(GdkDisplay*, GdkMonitor*, gpointer) { RefreshScreen(); }

bool g_topmostRestackDue = false;

gboolean RestackTopmostBand(gpointer) {
    g_topmostRestackDue = false;
    BackingRestack(false);
    return G_SOURCE_REMOVE;
}

bool AnyTopmostShown() {
    std::lock_guard lk(Mutex());
    for (HWND h : ZOrderLocked()) {
        WindowPtr w = FindLocked(h);
        if (w && w->topmost && w->backing && w->backing->shown) return true;
    }
    return false;
}

// Without a window manager nobody keeps the top-most band over a window that another program
// maps or raises later: ours are raised back over it. At most ten times a second, so that
// another program doing the same cannot make the two of us spin.
GdkFilterReturn OnRootEvent(GdkXEvent* xev, GdkEvent*, gpointer) {
    const auto* e = static_cast<const XEvent*>(xev);
    ::Window changed = e->type == ConfigureNotify ? e->xconfigure.window : e->type == MapNotify ? e->xmap.window : 0;
    if (!changed || g_topmostRestackDue || BackingHasWindowManager()) return GDK_FILTER_CONTINUE;
    if (gdk_x11_window_lookup_for_display(gdk_display_get_default(), changed)) return GDK_FILTER_CONTINUE;
    if (!AnyTopmostShown()) return GDK_FILTER_CONTINUE;
    g_topmostRestackDue = true;
    g_timeout_add(100, RestackTopmostBand, nullptr);
    return GDK_FILTER_CONTINUE;
}

void WatchOtherProgramsStacking() {
    static bool watching = false;
    if (watching) return;
    watching = true;
    GdkWindow* root = gdk_get_default_root_window();
    gdk_window_set_events(root, static_cast<GdkEventMask>(gdk_window_get_events(root) | GDK_SUBSTRUCTURE_MASK));
    gdk_window_add_filter(root, OnRootEvent, nullptr);
}

bool CreateToplevel(const WindowPtr& w) {
    WatchOtherProgramsStacking();
    GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(win), FALSE);
    gtk_widget_set_app_paintable(win, TRUE);
    gtk_widget_add_events(win, kEvents | GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK |
                                   GDK_STRUCTURE_MASK);
    RECT r;
    DWORD exStyle;
    bool owned;
    {
        std::lock_guard lk(Mutex());
        r = w->rect;
        exStyle = w->exStyle;
        owned = w->owner != nullptr;
    }
    // What a window manager makes of the window: a tool window (bar, list, menu) or a tip that
    // never takes the keys, an owned dialog, or a main window.
    GdkWindowTypeHint type = GDK_WINDOW_TYPE_HINT_NORMAL;
    if (exStyle & WS_EX_TOOLWINDOW) type = (exStyle & WS_EX_NOACTIVATE) ? GDK_WINDOW_TYPE_HINT_TOOLTIP : GDK_WINDOW_TYPE_HINT_UTILITY;
    else if (owned) type = GDK_WINDOW_TYPE_HINT_DIALOG;
    gtk_window_set_type_hint(GTK_WINDOW(win), type);
    if (exStyle & WS_EX_NOACTIVATE) gtk_window_set_accept_focus(GTK_WINDOW(win), FALSE);
    // The layer gives the focus itself (BackingFocus): showing a window never takes it.
    gtk_window_set_focus_on_map(GTK_WINDOW(win), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(win), std::max<LONG>(1, r.right - r.left), std::max<LONG>(1, r.bottom - r.top));
    gtk_window_move(GTK_WINDOW(win), r.left, r.top);
    HWND hwnd = w->hwnd;
    g_signal_connect(win, "draw", G_CALLBACK(OnDraw), hwnd);
    g_signal_connect(win, "map-event", G_CALLBACK(OnMap), hwnd);
    g_signal_connect(win, "unmap-event", G_CALLBACK(OnUnmap), hwnd);
    g_signal_connect(win, "configure-event", G_CALLBACK(OnConfigure), hwnd);
    g_signal_connect(win, "window-state-event", G_CALLBACK(OnWindowState), hwnd);
    g_signal_connect(win, "delete-event", G_CALLBACK(OnDelete), hwnd);
    ConnectInput(win);
    gtk_widget_realize(win);
    auto* b = new Backing;
    b->toplevel = win;
    b->gdk = gtk_widget_get_window(win);
    g_object_set_data(G_OBJECT(b->gdk), kHwndKey, hwnd);
    g_object_set_data(G_OBJECT(win), kHwndKey, hwnd);
    std::lock_guard lk(Mutex());
    w->backing = b;
    return true;
}

bool CreateChild(const WindowPtr& w) {
    HWND parent;
    {
        std::lock_guard lk(Mutex());
        parent = w->parent;
    }
    if (!EnsureBacking(parent)) return false;
    if (w->backing) return true;  // made while the parent's tree was built
    GdkWindow* pg = static_cast<GdkWindow*>(BackingGdkWindow(parent));
    GtkWidget* top = static_cast<GtkWidget*>(BackingToplevel(RootOf(w->hwnd)));
    if (!pg || !top) return false;
    RECT r;
    bool native;
    {
        std::lock_guard lk(Mutex());
        r = w->rect;
        native = w->native;
    }
    GdkWindowAttr attr{};
    attr.window_type = GDK_WINDOW_CHILD;
    attr.wclass = GDK_INPUT_OUTPUT;
    attr.x = r.left;
    attr.y = r.top;
    attr.width = std::max<LONG>(1, r.right - r.left);
    attr.height = std::max<LONG>(1, r.bottom - r.top);
    attr.event_mask = kEvents;
    attr.visual = gdk_window_get_visual(pg);
    GdkWindow* gw = gdk_window_new(pg, &attr, GDK_WA_X | GDK_WA_Y | GDK_WA_VISUAL);
    gdk_window_set_user_data(gw, top);
    g_object_set_data(G_OBJECT(gw), kHwndKey, w->hwnd);
    if (native) {
        gdk_window_ensure_native(gw);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GdkRGBA black{0, 0, 0, 1};
        gdk_window_set_background_rgba(gw, &black);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
    auto* b = new Backing;
    b->gdk = gw;
    std::lock_guard lk(Mutex());
    w->backing = b;
    return true;
}

GdkRectangle ToGdk(const RECT& r) { return GdkRectangle{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

void SetShape(HWND hwnd, double frac, DWORD flags, bool hide) {
    Backing* b = BackingOf(hwnd);
    RECT c;
    if (!b || !GetClientRect(hwnd, &c)) return;
    int W = c.right, H = c.bottom;
    RECT v{0, 0, W, H};
    int w = static_cast<int>(W * frac), h = static_cast<int>(H * frac);
    // Showing reveals from the named side; hiding withdraws towards it.
    bool pos = hide ? false : true;
    if (flags & AW_CENTER) {
        v = RECT{(W - w) / 2, (H - h) / 2, (W - w) / 2 + w, (H - h) / 2 + h};
    } else {
        if (flags & (AW_HOR_POSITIVE | AW_HOR_NEGATIVE)) {
            bool fromLeft = ((flags & AW_HOR_POSITIVE) != 0) == pos;
            v.left = fromLeft ? 0 : W - w;
            v.right = fromLeft ? w : W;
        }
        if (flags & (AW_VER_POSITIVE | AW_VER_NEGATIVE)) {
            bool fromTop = ((flags & AW_VER_POSITIVE) != 0) == pos;
            v.top = fromTop ? 0 : H - h;
            v.bottom = fromTop ? h : H;
        }
    }
    GdkRectangle gr = ToGdk(v);
    cairo_region_t* region = cairo_region_create_rectangle(&gr);
    gdk_window_shape_combine_region(b->gdk, region, 0, 0);
    cairo_region_destroy(region);
}

void ClearShape(HWND hwnd) {
    if (Backing* b = BackingOf(hwnd)) gdk_window_shape_combine_region(b->gdk, nullptr, 0, 0);
}


// The window's own size box, without a window manager: each pointer step proposes a rectangle
// that the window sees (WM_SIZING) and may change before it is applied.
struct SizeDrag {
    HWND hwnd = nullptr;
    int edge = 0;  // WMSZ_*
    POINT start{};
    RECT startRect{};
    GdkSeat* seat = nullptr;
};
SizeDrag g_sizeDrag;  // the UI thread's

int SizingEdgeOf(int hit) {
    switch (hit) {
    case HTLEFT: return WMSZ_LEFT;
    case HTRIGHT: return WMSZ_RIGHT;
    case HTTOP: return WMSZ_TOP;
    case HTBOTTOM: return WMSZ_BOTTOM;
    case HTTOPLEFT: return WMSZ_TOPLEFT;
    case HTTOPRIGHT: return WMSZ_TOPRIGHT;
    case HTBOTTOMLEFT: return WMSZ_BOTTOMLEFT;
    case HTBOTTOMRIGHT: return WMSZ_BOTTOMRIGHT;
    default: return 0;
    }
}

MINMAXINFO TrackLimits(HWND hwnd) {
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = {GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
    mmi.ptMaxTrackSize = {GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    CallProc(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    return mmi;
}

// The rectangle the size box proposes for the pointer at `pt`: the dragged edges follow it, the
// others stay, within the window's tracking limits.
RECT ProposedRect(const SizeDrag& d, POINT pt, const MINMAXINFO& mmi) {
    const int dx = pt.x - d.start.x, dy = pt.y - d.start.y;
    const bool left = d.edge == WMSZ_LEFT || d.edge == WMSZ_TOPLEFT || d.edge == WMSZ_BOTTOMLEFT;
    const bool right = d.edge == WMSZ_RIGHT || d.edge == WMSZ_TOPRIGHT || d.edge == WMSZ_BOTTOMRIGHT;
    const bool top = d.edge == WMSZ_TOP || d.edge == WMSZ_TOPLEFT || d.edge == WMSZ_TOPRIGHT;
    const bool bottom = d.edge == WMSZ_BOTTOM || d.edge == WMSZ_BOTTOMLEFT || d.edge == WMSZ_BOTTOMRIGHT;
    RECT r = d.startRect;
    if (left) r.left += dx;
    if (right) r.right += dx;
    if (top) r.top += dy;
    if (bottom) r.bottom += dy;
    auto clampSpan = [](LONG& moving, LONG fixed, bool movingIsLow, long lo, long hi) {
        long span = movingIsLow ? fixed - moving : moving - fixed;
        span = std::clamp(span, lo, std::max(lo, hi));
        moving = static_cast<LONG>(movingIsLow ? fixed - span : fixed + span);
    };
    if (left) clampSpan(r.left, r.right, true, mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x);
    if (right) clampSpan(r.right, r.left, false, mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x);
    if (top) clampSpan(r.top, r.bottom, true, mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y);
    if (bottom) clampSpan(r.bottom, r.top, false, mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y);
    return r;
}

void EndSizeDrag() {
    SizeDrag d = g_sizeDrag;
    g_sizeDrag = SizeDrag{};
    if (d.seat) gdk_seat_ungrab(d.seat);
    if (d.hwnd && Find(d.hwnd)) CallProc(d.hwnd, WM_EXITSIZEMOVE, 0, 0);
}

bool BeginSizeDrag(HWND hwnd, Backing* b, int edge, const PressInfo& p) {
    RECT rc;
    if (!GetWindowRect(hwnd, &rc)) return false;
    if (g_sizeDrag.hwnd) EndSizeDrag();
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(b->gdk));
    if (gdk_seat_grab(seat, b->gdk, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr, nullptr, nullptr) !=
        GDK_GRAB_SUCCESS)
        return false;
    g_sizeDrag = SizeDrag{hwnd, edge, POINT{p.xRoot, p.yRoot}, rc, seat};
    CallProc(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    return true;
}

// The shape a window keeps while it is sized, learnt from its answer to one sizing step that
// widens it: width / height of the answer, or 0 when it takes the step as it is.
double KeptAspect(HWND hwnd, int edge) {
    RECT cur;
    if (!GetWindowRect(hwnd, &cur)) return 0.0;
    RECT probe = cur;
    probe.right += 100;
    RECT answer = probe;
    CallProc(hwnd, WM_SIZING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&answer));
    const bool same = answer.left == probe.left && answer.top == probe.top && answer.right == probe.right &&
                      answer.bottom == probe.bottom;
    const long w = answer.right - answer.left, h = answer.bottom - answer.top;
    return same || w <= 0 || h <= 0 ? 0.0 : static_cast<double>(w) / static_cast<double>(h);
}

}  // namespace

bool EnsureBacking(HWND hwnd) {
    if (!platform::HasDisplay()) return false;
    WindowPtr w = Find(hwnd);
    if (!w || w->destroying) return false;
    if (w->backing) return true;
    bool ok = (w->style & WS_CHILD) ? CreateChild(w) : CreateToplevel(w);
    if (!ok) return false;
    std::vector<HWND> children;
    {
        std::lock_guard lk(Mutex());
        children = w->children;
    }
    for (HWND c : children) EnsureBacking(c);
    BackingSync(hwnd);
    DropSync(hwnd);
    return true;
}

void* BackingGdkWindow(HWND hwnd) {
    Backing* b = BackingOf(hwnd);
    return b ? b->gdk : nullptr;
}

void* BackingToplevel(HWND hwnd) {
    Backing* b = BackingOf(hwnd);
    return b ? b->toplevel : nullptr;
}

HWND HwndOfGdkWindow(void* gdkWindow) {
    for (auto* gw = static_cast<GdkWindow*>(gdkWindow); gw; gw = gdk_window_get_parent(gw)) {
        if (auto* h = g_object_get_data(G_OBJECT(gw), kHwndKey)) return static_cast<HWND>(h);
    }
    return nullptr;
}

void BackingDestroy(HWND hwnd) {
    if (g_sizeDrag.hwnd == hwnd) EndSizeDrag();
    Backing* b;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || !w->backing) return;
        b = w->backing;
        w->backing = nullptr;
    }
    if (b->toplevel) {
        gtk_widget_destroy(b->toplevel);
    } else {
        gdk_window_set_user_data(b->gdk, nullptr);
        gdk_window_destroy(b->gdk);
    }
    delete b;
}

void BackingSync(HWND hwnd) {
    Backing* b;
    RECT r;
    bool show, topmost, tool, child, minimized;
    std::string title;
    BYTE alpha;
    HWND transient = nullptr;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return;
        b = w->backing;
        if (!b) {
            // A child made inside a window that already has its backing gets one too.
            WindowPtr p = (w->style & WS_CHILD) ? FindLocked(w->parent) : nullptr;
            if (!p || !p->backing) return;
        }
        r = w->rect;
        show = w->visible;
        minimized = w->minimized;
        topmost = w->topmost;
        tool = (w->exStyle & WS_EX_TOOLWINDOW) != 0;
        child = (w->style & WS_CHILD) != 0;
        title = ToUtf8(w->title);
        alpha = (w->exStyle & WS_EX_LAYERED) ? w->alpha : 255;
        if (b && !child) transient = TransientParentLocked(*w);
    }
    if (!b) {
        EnsureBacking(hwnd);
        return;
    }
    bool sameRect = r.left == b->applied.left && r.top == b->applied.top && r.right == b->applied.right &&
                    r.bottom == b->applied.bottom;
    int cw = std::max<LONG>(1, r.right - r.left), ch = std::max<LONG>(1, r.bottom - r.top);
    if (child) {
        if (!sameRect) gdk_window_move_resize(b->gdk, r.left, r.top, cw, ch);
        b->applied = r;
        if (show && !b->shown) gdk_window_show_unraised(b->gdk);
        if (!show && b->shown) gdk_window_hide(b->gdk);
        b->shown = show;
        return;
    }
    GtkWindow* gw = GTK_WINDOW(b->toplevel);
    if (!sameRect) {
        // A place the program gives is not bent to the aspect of the last sizing by the user.
        if (b->aspectHinted) {
            gtk_window_set_geometry_hints(gw, nullptr, nullptr, static_cast<GdkWindowHints>(0));
            b->aspectHinted = false;
        }
        gtk_window_move(gw, r.left, r.top);
        gtk_window_resize(gw, cw, ch);
        // GTK keeps the place of a hidden window for its next showing, where a window manager
        // places it as it then is: the window goes there now.
        if (!b->shown) gdk_window_move_resize(b->gdk, r.left, r.top, cw, ch);
        b->applied = r;
        b->expect = r;
        b->expectUntil = g_get_monotonic_time() + 1000000;
    }
    if (title != b->title) {
        gtk_window_set_title(gw, title.c_str());
        b->title = title;
    }
    bool bandChanged = b->keepAbove != static_cast<int>(topmost);
    if (bandChanged) {
        gtk_window_set_keep_above(gw, topmost);
        b->keepAbove = topmost;
    }
    gtk_window_set_skip_taskbar_hint(gw, tool);
    ApplyTransient(b, transient);
    if (bandChanged) SyncTransients();
    gtk_widget_set_opacity(b->toplevel, alpha / 255.0);
    // Without a window manager minimising hides; with one it iconifies.
    bool wm = BackingHasWindowManager();
    bool wantMapped = show && (!minimized || wm);
    if (wantMapped && !b->shown) {
        gtk_widget_show(b->toplevel);
        b->shown = true;
        SyncTransients();
    } else if (!wantMapped && b->shown) {
        // The windows it owns are handed to its owner before it leaves the screen.
        b->shown = false;
        b->known = false;
        SyncTransients();
        gtk_widget_hide(b->toplevel);
    }
    if (wm && b->shown && minimized != b->iconified) {
        if (minimized) gtk_window_iconify(gw);
        else gtk_window_deiconify(gw);
        b->iconified = minimized;
    }
}

namespace {

// Where each window stands in the window manager's stacking (higher is nearer the top; -1 where
// it has not taken the window yet), or nothing when it does not say.
std::vector<long> StackingPlaces(const std::vector<GdkWindow*>& windows) {
    Display* dpy = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_NET_CLIENT_LIST_STACKING", False), 0,
                           1 << 16, False, XA_WINDOW, &type, &format, &n, &after, &data) != Success ||
        type != XA_WINDOW || format != 32 || !data) {
        if (data) XFree(data);
        return {};
    }
    const auto* list = reinterpret_cast<const unsigned long*>(data);  // bottom first
    std::vector<long> at;
    for (GdkWindow* gw : windows) {
        const unsigned long id = GDK_WINDOW_XID(gw);
        long place = -1;
        for (unsigned long i = 0; i < n; ++i)
            if (list[i] == id) place = static_cast<long>(i);
        at.push_back(place);
    }
    XFree(data);
    return at;
}


}  // namespace

void BackingRestack(bool lift) {
    std::vector<GdkWindow*> order;  // top first
    std::vector<GdkWindow*> owners;  // each one's owner on the screen, or null
    std::vector<bool> topmost;
    {
        std::lock_guard lk(Mutex());
        auto shownBacking = [](HWND h) -> GdkWindow* {
            WindowPtr w = h ? FindLocked(h) : nullptr;
            return w && w->backing && w->backing->shown ? w->backing->gdk : nullptr;
        };
        // A dialog holds its owners until it closes: it stays over all of them.
        for (const Dialog& d : g_dialogs)
            if (GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(d.window)); gw && gtk_widget_get_mapped(GTK_WIDGET(d.window))) {
                order.push_back(gw);
                owners.push_back(shownBacking(d.owner));
                topmost.push_back(false);
            }
        for (HWND h : ZOrderLocked()) {
            WindowPtr w = FindLocked(h);
            if (!w || !w->backing || !w->backing->shown) continue;
            order.push_back(w->backing->gdk);
            owners.push_back(shownBacking(w->owner));
            topmost.push_back(w->topmost);
        }
    }
    if (order.empty()) return;
    if (BackingHasWindowManager()) {
        // The window manager keeps each window in its layer and other programs' windows where
        // the user put them. When one of ours is raised, it is asked to stack all of ours in our
        // order. Otherwise only an owned window that has come under its owner is lifted: a tip or
        // a bar coming up must not lift the player back over the program the user went to.
        std::vector<long> at = lift ? std::vector<long>{} : StackingPlaces(order);
        if (at.empty()) {
            for (auto it = order.rbegin(); it != order.rend(); ++it) gdk_window_raise(*it);
            return;
        }
        long top = *std::max_element(at.begin(), at.end());
        for (size_t i = order.size(); i-- > 0;) {
            if (!owners[i] || at[i] < 0) continue;
            const auto o = std::find(order.begin(), order.end(), owners[i]);
            const long ownerAt = o == order.end() ? -1 : at[static_cast<size_t>(o - order.begin())];
            if (ownerAt > at[i]) {
                gdk_window_raise(order[i]);
                at[i] = ++top;
            }
        }
        return;
    }
    // Without one the windows keep their order among themselves where they are, below other
    // programs' windows above them; they go over those only when one of them is raised, or
    // when they are in the top-most band.
    Display* dpy = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    std::vector<::Window> ids;
    for (GdkWindow* gw : order) ids.push_back(GDK_WINDOW_XID(gw));
    if (lift) {
        // Raised: all of ours come up together, in our order.
        gdk_window_raise(order.front());
        XRestackWindows(dpy, ids.data(), static_cast<int>(ids.size()));
        return;
    }
    // Otherwise the top-most band stays over everything, and the rest keeps its place under other
    // programs' windows: the toolkit raises a window as it maps it, and a window coming up must not
    // take the others of ours over what the user has put above them. Only a window that sits over
    // the one above it in our order goes down, right under that one.
    for (size_t i = order.size(); i-- > 0;)
        if (topmost[i]) gdk_window_raise(order[i]);
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return;
    std::vector<::Window> stack(children, children + n);  // bottom first
    if (children) XFree(children);
    auto place = [&](::Window id) {
        return std::find(stack.begin(), stack.end(), id) - stack.begin();
    };
    for (size_t i = 1; i < ids.size(); ++i) {
        const auto lower = place(ids[i]), upper = place(ids[i - 1]);
        if (lower >= static_cast<long>(stack.size()) || upper >= static_cast<long>(stack.size()) || lower < upper) continue;
        XWindowChanges c{};
        c.sibling = ids[i - 1];
        c.stack_mode = Below;
        XConfigureWindow(dpy, ids[i], CWSibling | CWStackMode, &c);
        stack.erase(stack.begin() + lower);
        stack.insert(stack.begin() + place(ids[i - 1]), ids[i]);
    }
}

namespace {

// The width of a window manager's frame on each side of a window.
struct Insets {
    int left = 0, top = 0, right = 0, bottom = 0;
};
// The frame the window manager gave the last dialog it framed, which the next one will likely
// get too; until one has been seen, a title bar and thin borders.
Insets g_dialogFrame{2, 24, 2, 6};

GdkRectangle WorkAreaAround(HWND owner) {
    GdkDisplay* d = gdk_display_get_default();
    GdkMonitor* m = nullptr;
    RECT o{};
    if (owner && GetWindowRect(owner, &o))
        m = gdk_display_get_monitor_at_point(d, (o.left + o.right) / 2, (o.top + o.bottom) / 2);
    if (!m) m = gdk_display_get_primary_monitor(d);
    if (!m && gdk_display_get_n_monitors(d) > 0) m = gdk_display_get_monitor(d, 0);
    // Read now, not from the list made at start: panels come and go meanwhile.
    GdkRectangle wa{0, 0, 0, 0};
    if (m) gdk_monitor_get_workarea(m, &wa);
    return wa;
}

bool Within(const GdkRectangle& r, const GdkRectangle& area) {
    return r.x >= area.x && r.y >= area.y && r.x + r.width <= area.x + area.width &&
           r.y + r.height <= area.y + area.height;
}

// Sizes the dialog down to the work area of its owner's monitor, frame and all, and puts it
// centred on the owner, moved in from any edge it would cross. The toolkit's own centring keeps
// it on the screen but not off the panels, nor its frame on the screen, and a chooser sized for
// a large screen is taller than a small one.
void PlaceOnWorkArea(GtkWindow* window, HWND owner, const Insets& f) {
    const GdkRectangle wa = WorkAreaAround(owner);
    if (wa.width <= 0 || wa.height <= 0) return;
    int w = 0, h = 0;
    gtk_window_get_size(window, &w, &h);
    // A limit rather than a size: the chooser sets its own size again after this.
    GdkGeometry geo{};
    geo.max_width = std::max(1, wa.width - f.left - f.right);
    geo.max_height = std::max(1, wa.height - f.top - f.bottom);
    gtk_window_set_geometry_hints(window, nullptr, &geo, GDK_HINT_MAX_SIZE);
    const int nw = std::min(w, geo.max_width), nh = std::min(h, geo.max_height);
    RECT o{};
    int cx = wa.x + wa.width / 2, cy = wa.y + wa.height / 2;
    if (owner && GetWindowRect(owner, &o) && o.right > o.left) {
        cx = (o.left + o.right) / 2;
        cy = (o.top + o.bottom) / 2;
    }
    const int fw = nw + f.left + f.right, fh = nh + f.top + f.bottom;
    // The top-left corner wins where the dialog cannot be made small enough.
    const int x = std::max(wa.x, std::min(cx - fw / 2, wa.x + wa.width - fw));
    const int y = std::max(wa.y, std::min(cy - fh / 2, wa.y + wa.height - fh));
    // With the default gravity this is where the frame's corner goes, or the window's without one.
    gtk_window_move(window, x, y);
}

// The window the dialog is centred on: the one it is transient for, as the toolkit would.
HWND DialogOwner(GtkWindow* window) {
    std::lock_guard lk(Mutex());
    for (const Dialog& d : g_dialogs)
        if (d.window == window) return d.transientFor ? d.transientFor : d.owner;
    return nullptr;
}

// Placed once its size is known, before it is shown.
void OnDialogRealize(GtkWidget* w, gpointer) {
    PlaceOnWorkArea(GTK_WINDOW(w), DialogOwner(GTK_WINDOW(w)), BackingHasWindowManager() ? g_dialogFrame : Insets{});
}

gboolean OnDialogMapEvent(GtkWidget* w, GdkEvent*, gpointer) {
    // Framed by now: moved in again where its real frame crosses an edge.
    GdkWindow* gw = gtk_widget_get_window(w);
    if (gw && BackingHasWindowManager()) {
        GdkRectangle frame{};
        gdk_window_get_frame_extents(gw, &frame);
        int x = 0, y = 0;
        gdk_window_get_origin(gw, &x, &y);
        const int cw = gdk_window_get_width(gw), ch = gdk_window_get_height(gw);
        const Insets f{x - frame.x, y - frame.y, frame.x + frame.width - x - cw, frame.y + frame.height - y - ch};
        if (f.left >= 0 && f.top >= 0 && f.right >= 0 && f.bottom >= 0) {
            g_dialogFrame = f;
            HWND owner = DialogOwner(GTK_WINDOW(w));
            if (!Within(frame, WorkAreaAround(owner))) PlaceOnWorkArea(GTK_WINDOW(w), owner, f);
        }
    }
    // Raised over its owners each time it is mapped: also when it is mapped last of all.
    BackingRestack(true);
    return FALSE;
}

}  // namespace

void BackingAddDialog(void* gtkWindow, HWND owner) {
    auto* window = static_cast<GtkWindow*>(gtkWindow);
    if (!window) return;
    {
        std::lock_guard lk(Mutex());
        g_dialogs.push_back(Dialog{window, owner});
    }
    g_signal_connect(window, "realize", G_CALLBACK(OnDialogRealize), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(OnDialogMapEvent), nullptr);
    SyncTransients();
}

void BackingRemoveDialog(void* gtkWindow) {
    std::lock_guard lk(Mutex());
    std::erase_if(g_dialogs, [gtkWindow](const Dialog& d) { return d.window == gtkWindow; });
}

void BackingFocus(HWND hwnd) {
    Backing* b = BackingOf(hwnd);
    if (!b || !b->toplevel) return;
    if (b->mapped) {
        gdk_window_focus(b->gdk, GDK_CURRENT_TIME);
        // Without a window manager the focus raises the window itself, over the windows it owns.
        BackingRestack(true);
    } else {
        b->focusOnMap = true;
    }
}

void BackingInvalidate(HWND hwnd, const RECT* rect) {
    Backing* b = BackingOf(hwnd);
    if (!b) return;
    if (rect) {
        GdkRectangle gr = ToGdk(*rect);
        gdk_window_invalidate_rect(b->gdk, &gr, FALSE);
    } else {
        gdk_window_invalidate_rect(b->gdk, nullptr, FALSE);
    }
}

bool BackingHasWindowManager() {
    if (!g_displayOk) return false;
    GdkScreen* s = gdk_screen_get_default();
    return s && GDK_IS_X11_SCREEN(s) && g_strcmp0(gdk_x11_screen_get_window_manager_name(s), "unknown") != 0;
}


bool BackingSizeDragEvent(const void* gdkEvent) {
    if (!g_sizeDrag.hwnd) return false;
    const auto* ev = static_cast<const GdkEvent*>(gdkEvent);
    if (ev->type == GDK_MOTION_NOTIFY) {
        const SizeDrag d = g_sizeDrag;
        const guint buttons = GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK;
        if (!Find(d.hwnd) || !(ev->motion.state & buttons)) {
            EndSizeDrag();
            return true;
        }
        POINT pt{static_cast<LONG>(ev->motion.x_root), static_cast<LONG>(ev->motion.y_root)};
        RECT r = ProposedRect(d, pt, TrackLimits(d.hwnd));
        CallProc(d.hwnd, WM_SIZING, static_cast<WPARAM>(d.edge), reinterpret_cast<LPARAM>(&r));
        SetWindowPos(d.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    if (ev->type == GDK_BUTTON_RELEASE) {
        EndSizeDrag();
        return true;
    }
    return ev->type == GDK_BUTTON_PRESS;  // nothing else starts while the size box is held
}

bool BackingBeginDrag(HWND hwnd, int hit) {
    Backing* b = BackingOf(hwnd);
    PressInfo p = LastPress();
    if (!b || !b->toplevel || !p.valid) return false;
    GtkWindow* gw = GTK_WINDOW(b->toplevel);
    if (hit == HTCAPTION) {
        gtk_window_begin_move_drag(gw, p.button, p.xRoot, p.yRoot, p.time);
        return true;
    }
    GdkWindowEdge gdkEdge;
    switch (hit) {
    case HTLEFT: gdkEdge = GDK_WINDOW_EDGE_WEST; break;
    case HTRIGHT: gdkEdge = GDK_WINDOW_EDGE_EAST; break;
    case HTTOP: gdkEdge = GDK_WINDOW_EDGE_NORTH; break;
    case HTBOTTOM: gdkEdge = GDK_WINDOW_EDGE_SOUTH; break;
    case HTTOPLEFT: gdkEdge = GDK_WINDOW_EDGE_NORTH_WEST; break;
    case HTTOPRIGHT: gdkEdge = GDK_WINDOW_EDGE_NORTH_EAST; break;
    case HTBOTTOMLEFT: gdkEdge = GDK_WINDOW_EDGE_SOUTH_WEST; break;
    case HTBOTTOMRIGHT: gdkEdge = GDK_WINDOW_EDGE_SOUTH_EAST; break;
    default: return false;
    }
    const int edge = SizingEdgeOf(hit);
    if (!BackingHasWindowManager()) return BeginSizeDrag(hwnd, b, edge, p);
    // The window manager sizes the window and sends no steps: the smallest tracking size, and the
    // shape the window keeps, go to it as hints until the program places the window itself.
    MINMAXINFO mmi = TrackLimits(hwnd);
    GdkGeometry geo{};
    geo.min_width = mmi.ptMinTrackSize.x;
    geo.min_height = mmi.ptMinTrackSize.y;
    geo.max_width = mmi.ptMaxTrackSize.x;
    geo.max_height = mmi.ptMaxTrackSize.y;
    auto hints = static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE);
    const double aspect = KeptAspect(hwnd, edge);
    if (aspect > 0) {
        geo.min_aspect = geo.max_aspect = aspect;
        hints = static_cast<GdkWindowHints>(hints | GDK_HINT_ASPECT);
    }
    gtk_window_set_geometry_hints(gw, nullptr, &geo, hints);
    b->aspectHinted = aspect > 0;
    gtk_window_begin_resize_drag(gw, gdkEdge, p.button, p.xRoot, p.yRoot, p.time);
    return true;
}

void RefreshScreen() {
    std::vector<Monitor> mons;
    if (g_displayOk) {
        GdkDisplay* d = gdk_display_get_default();
        GdkMonitor* primary = gdk_display_get_primary_monitor(d);
        int n = gdk_display_get_n_monitors(d);
        for (int i = 0; i < n; ++i) {
            GdkMonitor* m = gdk_display_get_monitor(d, i);
            GdkRectangle g, wa;
            gdk_monitor_get_geometry(m, &g);
            gdk_monitor_get_workarea(m, &wa);
            mons.push_back({RECT{g.x, g.y, g.x + g.width, g.y + g.height},
                            RECT{wa.x, wa.y, wa.x + wa.width, wa.y + wa.height}, primary ? m == primary : i == 0});
        }
    }
    if (mons.empty()) mons.push_back({RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1080}, true});
    std::stable_partition(mons.begin(), mons.end(), [](const Monitor& m) { return m.primary; });
    std::lock_guard lk(Mutex());
    g_monitors = mons;
}

}  // namespace platform::win

using namespace platform::win;

namespace platform {

bool HasDisplay() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* d = g_getenv("DISPLAY");
        if (d && *d) {
            // libVLC and our cursor queries use Xlib from other threads.
            XInitThreads();
            gdk_set_allowed_backends("x11");
            g_displayOk = gtk_init_check(nullptr, nullptr);
        }
        if (g_displayOk) {
            GdkDisplay* disp = gdk_display_get_default();
            g_signal_connect(disp, "monitor-added", G_CALLBACK(OnMonitorsChanged), nullptr);
            g_signal_connect(disp, "monitor-removed", G_CALLBACK(OnMonitorsChanged), nullptr);
        }
        RefreshScreen();
    });
    return g_displayOk;
}

unsigned long GetX11WindowId(HWND hwnd) {
    LRESULT r;
    if (Elsewhere(hwnd, [hwnd] { return static_cast<LRESULT>(GetX11WindowId(hwnd)); }, &r))
        return static_cast<unsigned long>(r);
    if (!EnsureBacking(hwnd)) return 0;
    Backing* b = BackingOf(hwnd);
    if (!b) return 0;
    gdk_window_ensure_native(b->gdk);
    // The id goes to other connections (libVLC's): the window must exist on the server first.
    gdk_display_sync(gdk_window_get_display(b->gdk));
    return GDK_WINDOW_XID(b->gdk);
}

cairo_t* DcCairo(HDC hdc) {
    std::lock_guard lk(Mutex());
    auto* dc = reinterpret_cast<Dc*>(hdc);
    return g_dcs.count(dc) ? dc->cr : nullptr;
}

}  // namespace platform

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
    LRESULT r;
    if (Elsewhere(hwnd, [hwnd, rect] { return LRESULT{InvalidateRect(hwnd, rect, TRUE)}; }, &r)) return static_cast<BOOL>(r);
    RECT c;
    if (!GetClientRect(hwnd, &c)) return FALSE;
    RECT add = rect ? *rect : c;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return FALSE;
        if (w->invalid) {
            RECT& u = w->invalidRect;
            u = RECT{std::min(u.left, add.left), std::min(u.top, add.top), std::max(u.right, add.right),
                     std::max(u.bottom, add.bottom)};
        } else {
            w->invalidRect = add;
        }
        w->invalid = true;
    }
    BackingInvalidate(hwnd, rect);
    if (!BackingOf(hwnd)) {
        if (WindowPtr w = Find(hwnd)) Wake(*w->queue);
    }
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    WindowPtr w = Find(hwnd);
    if (!w) return FALSE;
    bool paint;
    {
        std::lock_guard lk(Mutex());
        paint = w->invalid && !w->backing && w->queue->tid == GetCurrentThreadId();
    }
    // Windows with a backing are painted with the next frame.
    if (paint && IsWindowVisible(hwnd)) CallProc(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    RECT c;
    if (!GetClientRect(hwnd, &c)) return nullptr;
    auto* dc = new Dc{hwnd, nullptr, false};
    if (!t_paints.empty() && t_paints.back().hwnd == hwnd) {
        dc->cr = t_paints.back().cr;
        double x1, y1, x2, y2;
        cairo_clip_extents(dc->cr, &x1, &y1, &x2, &y2);
        paint->rcPaint = RECT{static_cast<LONG>(x1), static_cast<LONG>(y1), static_cast<LONG>(x2 + 0.999),
                              static_cast<LONG>(y2 + 0.999)};
    } else {
        // No frame to draw into (no display, or WM_PAINT sent by hand): an off-screen surface.
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max<LONG>(1, c.right), std::max<LONG>(1, c.bottom));
        dc->cr = cairo_create(s);
        cairo_surface_destroy(s);
        dc->owned = true;
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        paint->rcPaint = w && w->invalid ? w->invalidRect : c;
    }
    paint->fErase = TRUE;
    paint->hdc = reinterpret_cast<HDC>(dc);
    std::lock_guard lk(Mutex());
    g_dcs.insert(dc);
    if (WindowPtr w = FindLocked(hwnd)) w->invalid = false;
    return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    auto* dc = reinterpret_cast<Dc*>(paint->hdc);
    {
        std::lock_guard lk(Mutex());
        if (!g_dcs.erase(dc)) return FALSE;
    }
    if (dc->owned) cairo_destroy(dc->cr);
    delete dc;
    return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF, BYTE alpha, DWORD flags) {
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return LRESULT{SetLayeredWindowAttributes(hwnd, 0, alpha, flags)}; }, &r))
        return static_cast<BOOL>(r);
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
        // Colour keys need a compositor's help and are not kept; the alpha is.
        if (flags & LWA_ALPHA) w->alpha = alpha;
    }
    BackingSync(hwnd);
    return TRUE;
}

BOOL AnimateWindow(HWND hwnd, DWORD timeMs, DWORD flags) {
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return LRESULT{AnimateWindow(hwnd, timeMs, flags)}; }, &r)) return static_cast<BOOL>(r);
    if (!Find(hwnd)) return FALSE;
    bool hide = (flags & AW_HIDE) != 0;
    if (hide != static_cast<bool>(IsWindowVisible(hwnd))) return FALSE;  // already in that state
    const DWORD motion = AW_HOR_POSITIVE | AW_HOR_NEGATIVE | AW_VER_POSITIVE | AW_VER_NEGATIVE | AW_CENTER;
    bool animate = timeMs > 0 && (flags & motion) && !(flags & AW_BLEND) && EnsureBacking(hwnd);
    if (!hide) {
        if (animate) SetShape(hwnd, 0.0, flags, false);
        ShowWindow(hwnd, (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
    }
    if (animate) {
        auto q = Find(hwnd)->queue;
        {
            std::lock_guard lk(Mutex());
            ++q->suspended;
        }
        gint64 start = g_get_monotonic_time();
        for (;;) {
            double f = std::min(1.0, (g_get_monotonic_time() - start) / (timeMs * 1000.0));
            if (!Find(hwnd)) break;
            SetShape(hwnd, hide ? 1.0 - f : f, flags, hide);
            gdk_display_flush(gdk_display_get_default());
            for (int i = 0; i < 20 && g_main_context_pending(q->ctx); ++i) g_main_context_iteration(q->ctx, FALSE);
            if (f >= 1.0) break;
            g_usleep(8000);
        }
        std::lock_guard lk(Mutex());
        --q->suspended;
    }
    if (hide) ShowWindow(hwnd, SW_HIDE);
    if (animate) ClearShape(hwnd);
    return TRUE;
}

int GetSystemMetrics(int index) {
    platform::HasDisplay();
    std::lock_guard lk(Mutex());
    const Monitor& p = g_monitors.front();
    RECT v = p.rc;
    for (const Monitor& m : g_monitors)
        v = RECT{std::min(v.left, m.rc.left), std::min(v.top, m.rc.top), std::max(v.right, m.rc.right),
                 std::max(v.bottom, m.rc.bottom)};
    switch (index) {
    case SM_CXSCREEN: return p.rc.right - p.rc.left;
    case SM_CYSCREEN: return p.rc.bottom - p.rc.top;
    case SM_CXFULLSCREEN: return p.work.right - p.work.left;
    case SM_CYFULLSCREEN: return p.work.bottom - p.work.top - 23;
    case SM_CXMAXIMIZED: return p.work.right - p.work.left + 8;
    case SM_CYMAXIMIZED: return p.work.bottom - p.work.top + 8;
    case SM_XVIRTUALSCREEN: return v.left;
    case SM_YVIRTUALSCREEN: return v.top;
    case SM_CXVIRTUALSCREEN: return v.right - v.left;
    case SM_CYVIRTUALSCREEN: return v.bottom - v.top;
    case SM_CMONITORS: return static_cast<int>(g_monitors.size());
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 23;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXMIN: return 136;
    case SM_CYMIN: return 39;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    default: return 0;
    }
}

HMONITOR MonitorFromPoint(POINT pt, DWORD flags) {
    platform::HasDisplay();
    std::lock_guard lk(Mutex());
    long best = -1;
    size_t bestAt = 0;
    for (size_t i = 0; i < g_monitors.size(); ++i) {
        const RECT& r = g_monitors[i].rc;
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom)
            return reinterpret_cast<HMONITOR>(i + 1);
        long dx = std::max({static_cast<long>(r.left) - pt.x, 0L, static_cast<long>(pt.x) - r.right + 1});
        long dy = std::max({static_cast<long>(r.top) - pt.y, 0L, static_cast<long>(pt.y) - r.bottom + 1});
        long d = dx * dx + dy * dy;
        if (best < 0 || d < best) {
            best = d;
            bestAt = i;
        }
    }
    if (flags == MONITOR_DEFAULTTONEAREST) return reinterpret_cast<HMONITOR>(bestAt + 1);
    if (flags == MONITOR_DEFAULTTOPRIMARY) return reinterpret_cast<HMONITOR>(1);
    return nullptr;
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    RECT w;
    if (!GetWindowRect(hwnd, &w)) return flags == MONITOR_DEFAULTTONULL ? nullptr : reinterpret_cast<HMONITOR>(1);
    size_t bestAt = 0;
    long bestArea = 0;
    {
        std::lock_guard lk(Mutex());
        for (size_t i = 0; i < g_monitors.size(); ++i) {
            const RECT& r = g_monitors[i].rc;
            long iw = std::min(w.right, r.right) - std::max(w.left, r.left);
            long ih = std::min(w.bottom, r.bottom) - std::max(w.top, r.top);
            if (iw > 0 && ih > 0 && iw * ih > bestArea) {
                bestArea = iw * ih;
                bestAt = i;
            }
        }
    }
    if (bestArea > 0) return reinterpret_cast<HMONITOR>(bestAt + 1);
    return MonitorFromPoint(POINT{(w.left + w.right) / 2, (w.top + w.bottom) / 2}, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info) {
    if (!info) return FALSE;
    platform::HasDisplay();
    std::lock_guard lk(Mutex());
    auto i = reinterpret_cast<ULONG_PTR>(monitor);
    if (i < 1 || i > g_monitors.size()) return FALSE;
    const Monitor& m = g_monitors[i - 1];
    info->rcMonitor = m.rc;
    info->rcWork = m.work;
    info->dwFlags = m.primary ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}
