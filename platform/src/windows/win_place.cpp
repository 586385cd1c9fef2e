// Placement, z-order, visibility, minimise/maximise, enabling, activation and focus.
// The layer keeps its own z-order and activation, so both hold without a window manager; the
// GTK backing follows them.
#include <algorithm>

#include "win_internal.h"

namespace platform::win {
namespace {

HWND g_active = nullptr;
HWND g_focus = nullptr;

bool IsChild(const Window& w) { return (w.style & WS_CHILD) != 0; }

// Where a minimised window is said to be, as on the system the programs come from.
constexpr LONG kMinimizedX = -32000, kMinimizedY = -32000;

bool IsWithinLocked(HWND hwnd, HWND ancestor) {
    for (WindowPtr w = FindLocked(hwnd); w; w = IsChild(*w) ? FindLocked(w->parent) : nullptr)
        if (w->hwnd == ancestor) return true;
    return false;
}

void SetTopmostLocked(HWND hwnd, bool on) {
    WindowPtr w = FindLocked(hwnd);
    if (!w) return;
    w->topmost = on;
    // Owned windows follow their owner into and out of the top-most band.
    for (HWND h : ZOrderLocked()) {
        WindowPtr o = FindLocked(h);
        if (o && o->owner == hwnd && o->topmost != on) SetTopmostLocked(h, on);
    }
}

size_t BandStartLocked(bool topmost) {
    auto& z = ZOrderLocked();
    if (topmost) return 0;
    auto it = std::find_if(z.begin(), z.end(), [](HWND h) {
        WindowPtr w = FindLocked(h);
        return !w || !w->topmost;
    });
    return static_cast<size_t>(it - z.begin());
}

}  // namespace

// Owned windows of the same band sit right above their owner.
void LiftOwnedLocked(HWND hwnd) {
    auto& z = ZOrderLocked();
    WindowPtr w = FindLocked(hwnd);
    if (!w) return;
    std::vector<HWND> owned;
    for (HWND h : z) {
        WindowPtr o = FindLocked(h);
        if (o && o->owner == hwnd && o->topmost == w->topmost) owned.push_back(h);
    }
    if (owned.empty()) return;
    for (HWND h : owned) z.erase(std::remove(z.begin(), z.end(), h), z.end());
    auto at = std::find(z.begin(), z.end(), hwnd);
    z.insert(at, owned.begin(), owned.end());
    for (HWND h : owned) LiftOwnedLocked(h);
}

namespace {

void ReorderChildLocked(Window& w, HWND after) {
    WindowPtr p = FindLocked(w.parent);
    if (!p) return;
    auto& c = p->children;
    c.erase(std::remove(c.begin(), c.end(), w.hwnd), c.end());
    if (after == HWND_BOTTOM) {
        c.push_back(w.hwnd);
    } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        c.insert(c.begin(), w.hwnd);
    } else {
        auto it = std::find(c.begin(), c.end(), after);
        c.insert(it == c.end() ? c.begin() : it + 1, w.hwnd);
    }
}

void ApplyZOrderLocked(Window& w, HWND after) {
    if (IsChild(w)) {
        ReorderChildLocked(w, after);
        return;
    }
    auto& z = ZOrderLocked();
    if (after == HWND_TOPMOST) {
        SetTopmostLocked(w.hwnd, true);
        RaiseLocked(w.hwnd);
    } else if (after == HWND_NOTOPMOST) {
        if (w.topmost) {
            SetTopmostLocked(w.hwnd, false);
            RaiseLocked(w.hwnd);
        }
    } else if (after == HWND_TOP) {
        RaiseLocked(w.hwnd);
    } else if (after == HWND_BOTTOM) {
        SetTopmostLocked(w.hwnd, false);
        z.erase(std::remove(z.begin(), z.end(), w.hwnd), z.end());
        z.push_back(w.hwnd);
    } else if (WindowPtr a = FindLocked(after); a && !IsChild(*a) && a->hwnd != w.hwnd) {
        w.topmost = a->topmost;
        z.erase(std::remove(z.begin(), z.end(), w.hwnd), z.end());
        z.insert(std::find(z.begin(), z.end(), after) + 1, w.hwnd);
        LiftOwnedLocked(w.hwnd);
    }
}

bool CanActivate(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    return w && !IsChild(*w) && w->visible && !w->minimized && !(w->exStyle & WS_EX_NOACTIVATE);
}

RECT WorkAreaOf(HWND hwnd) {
    MONITORINFO mi{sizeof(mi), {}, {}, 0};
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi);
    return mi.rcWork;
}

void SendPosChanged(HWND hwnd, HWND after, const RECT& r, UINT flags) {
    WINDOWPOS wp{hwnd, after, r.left, r.top, r.right - r.left, r.bottom - r.top, flags};
    CallProc(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

// Makes the window visible (WM_SHOWWINDOW first) and gives it its backing.
void ShowPlain(HWND hwnd) {
    bool was;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return;
        was = w->visible;
    }
    if (!was) CallProc(hwnd, WM_SHOWWINDOW, TRUE, 0);
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return;
        w->visible = true;
    }
    EnsureBacking(hwnd);
    BackingSync(hwnd);
    BackingRestack();
}

// How far down the chain of owners `hwnd` is from `owner`: 1 for a window it owns, 0 when
// `owner` is not in its chain.
int OwnedDepthLocked(HWND hwnd, HWND owner) {
    int depth = 0;
    for (WindowPtr w = FindLocked(hwnd); w && depth < 64; ++depth) {
        if (w->hwnd == owner) return depth;
        w = FindLocked(w->owner);
    }
    return 0;
}

void Minimize(HWND hwnd) {
    std::vector<std::pair<int, HWND>> owned;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || w->minimized) return;
        if (!w->maximized) w->normalRect = w->rect;
        w->minimized = true;
        // Everything the window owns, and what that owns in turn, leaves with it.
        for (HWND h : ZOrderLocked()) {
            WindowPtr o = FindLocked(h);
            int depth = o && o->visible && h != hwnd ? OwnedDepthLocked(h, hwnd) : 0;
            if (depth > 0) owned.emplace_back(depth, h);
        }
        // Owners come back before the windows they own.
        std::stable_sort(owned.begin(), owned.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        w->hiddenWithOwner.clear();
        for (const auto& o : owned) w->hiddenWithOwner.push_back(o.second);
    }
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) ShowWindow(it->second, SW_HIDE);
    BackingSync(hwnd);
    ForgetActivation(hwnd);
    CallProc(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Unminimize(HWND hwnd) {
    std::vector<HWND> owned;
    RECT r;
    bool maxed;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || !w->minimized) return;
        w->minimized = false;
        owned.swap(w->hiddenWithOwner);
        r = w->rect;
        maxed = w->maximized;
    }
    BackingSync(hwnd);
    // The window learns of its size first, so that what it docks is in place when it shows.
    CallProc(hwnd, WM_SIZE, maxed ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(r.right - r.left, r.bottom - r.top));
    for (HWND o : owned) ShowWindow(o, SW_SHOWNA);
}

void Maximize(HWND hwnd) {
    Unminimize(hwnd);
    RECT work = WorkAreaOf(hwnd);
    MINMAXINFO mmi{};
    mmi.ptMaxSize = {work.right - work.left, work.bottom - work.top};
    mmi.ptMaxPosition = {0, 0};
    mmi.ptMinTrackSize = {GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
    mmi.ptMaxTrackSize = {GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    CallProc(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return;
        if (!w->maximized) w->normalRect = w->rect;
        w->maximized = true;
    }
    SetWindowPos(hwnd, nullptr, work.left + mmi.ptMaxPosition.x, work.top + mmi.ptMaxPosition.y, mmi.ptMaxSize.x,
                 mmi.ptMaxSize.y, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void RestoreNormal(HWND hwnd) {
    RECT n;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || !w->maximized) return;
        w->maximized = false;
        n = w->normalRect;
    }
    SetWindowPos(hwnd, nullptr, n.left, n.top, n.right - n.left, n.bottom - n.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

void RaiseLocked(HWND hwnd) {
    auto& z = ZOrderLocked();
    WindowPtr w = FindLocked(hwnd);
    if (!w || IsChild(*w)) return;
    z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
    z.insert(z.begin() + static_cast<std::ptrdiff_t>(BandStartLocked(w->topmost)), hwnd);
    LiftOwnedLocked(hwnd);
}

HWND ActiveWindow() {
    std::lock_guard lk(Mutex());
    return g_active;
}

HWND FocusWindow() {
    std::lock_guard lk(Mutex());
    return g_focus;
}

bool IsDisabledTree(HWND hwnd) {
    std::lock_guard lk(Mutex());
    for (WindowPtr w = FindLocked(hwnd); w; w = IsChild(*w) ? FindLocked(w->parent) : nullptr)
        if (!w->enabled) return true;
    return false;
}

void Activate(HWND hwnd, bool xFocus) {
    HWND old;
    {
        std::lock_guard lk(Mutex());
        old = g_active;
        g_active = hwnd;
        if (hwnd) RaiseLocked(hwnd);
    }
    if (hwnd) BackingRestack(true);
    if (old == hwnd) {
        if (hwnd && xFocus) BackingFocus(hwnd);
        return;
    }
    if (old && Find(old)) {
        SendMessageW(old, WM_NCACTIVATE, FALSE, 0);
        SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    }
    if (!hwnd) {
        SetFocus(nullptr);
        return;
    }
    SendMessageW(hwnd, WM_NCACTIVATE, TRUE, 0);
    SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    if (xFocus) BackingFocus(hwnd);
}

void ForgetActivation(HWND hwnd) {
    bool lostFocus, wasActive;
    HWND next = nullptr;
    {
        std::lock_guard lk(Mutex());
        lostFocus = g_focus && IsWithinLocked(g_focus, hwnd);
        wasActive = g_active && IsWithinLocked(g_active, hwnd);
        if (wasActive) {
            WindowPtr w = FindLocked(g_active);
            WindowPtr o = w ? FindLocked(w->owner) : nullptr;
            if (o && o->visible && !o->minimized && o->enabled && !o->destroying) next = o->hwnd;
        }
    }
    if (lostFocus && !wasActive) SetFocus(nullptr);
    if (wasActive) Activate(next, next != nullptr);
}

}  // namespace platform::win

using namespace platform::win;

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return LRESULT{SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags)}; }, &r))
        return static_cast<BOOL>(r);
    if (!Find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    WINDOWPOS wp{hwnd, insertAfter, x, y, std::max(cx, 0), std::max(cy, 0), flags};
    if (!(flags & SWP_NOSENDCHANGING)) CallProc(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    flags = wp.flags;
    RECT now;
    bool moved = false, sized = false, shown = false, hidden = false, raised = false, child;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return FALSE;
        child = IsChild(*w);
        RECT old = w->rect;
        RECT nr = old;
        if (!(flags & SWP_NOMOVE)) {
            nr = RECT{wp.x, wp.y, wp.x + (old.right - old.left), wp.y + (old.bottom - old.top)};
        }
        if (!(flags & SWP_NOSIZE)) {
            nr.right = nr.left + std::max(wp.cx, 0);
            nr.bottom = nr.top + std::max(wp.cy, 0);
        }
        moved = nr.left != old.left || nr.top != old.top;
        sized = (nr.right - nr.left) != (old.right - old.left) || (nr.bottom - nr.top) != (old.bottom - old.top);
        w->rect = nr;
        if (!w->maximized && !w->minimized) w->normalRect = nr;
        if (!(flags & SWP_NOZORDER)) {
            ApplyZOrderLocked(*w, wp.hwndInsertAfter);
            raised = !child && (wp.hwndInsertAfter == HWND_TOP || wp.hwndInsertAfter == HWND_TOPMOST);
        }
        if ((flags & SWP_SHOWWINDOW) && !w->visible) shown = w->visible = true;
        if ((flags & SWP_HIDEWINDOW) && w->visible) {
            w->visible = false;
            hidden = true;
        }
        now = nr;
    }
    if (shown) EnsureBacking(hwnd);
    BackingSync(hwnd);
    if (!(flags & SWP_NOZORDER) || shown) BackingRestack(raised);
    if (hidden) ForgetActivation(hwnd);
    if (!child && !(flags & SWP_NOACTIVATE) && (!(flags & SWP_NOZORDER) || shown) && CanActivate(hwnd))
        Activate(hwnd, true);
    UINT done = flags & ~(SWP_NOMOVE | SWP_NOSIZE);
    if (!moved) done |= SWP_NOMOVE;
    if (!sized) done |= SWP_NOSIZE;
    if (moved || sized || shown || hidden || !(flags & SWP_NOZORDER) || (flags & SWP_FRAMECHANGED))
        SendPosChanged(hwnd, wp.hwndInsertAfter, now, (flags & SWP_FRAMECHANGED) ? done & ~(SWP_NOSIZE) : done);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

BOOL BringWindowToTop(HWND hwnd) {
    if (!IsOwn(hwnd)) return IsWindow(hwnd);
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    if (hwnd && !IsOwn(hwnd)) {
        station_link::PostRemote(hwnd, kRemoteShow, static_cast<WPARAM>(cmd), 0);
        return FALSE;
    }
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return LRESULT{ShowWindow(hwnd, cmd)}; }, &r)) return static_cast<BOOL>(r);
    bool was, child, noActivate;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        was = w->visible;
        child = IsChild(*w);
        noActivate = child || (w->exStyle & WS_EX_NOACTIVATE);
    }
    switch (cmd) {
    case SW_HIDE:
        if (!was) return FALSE;
        CallProc(hwnd, WM_SHOWWINDOW, FALSE, 0);
        {
            std::lock_guard lk(Mutex());
            if (WindowPtr w = FindLocked(hwnd)) w->visible = false;
        }
        BackingSync(hwnd);
        ForgetActivation(hwnd);
        return TRUE;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        ShowPlain(hwnd);
        Minimize(hwnd);
        return was;
    case SW_SHOWMAXIMIZED:
        ShowPlain(hwnd);
        if (!child) Maximize(hwnd);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE: {
        ShowPlain(hwnd);
        bool wasMin = IsIconic(hwnd);
        Unminimize(hwnd);
        // Restoring a window minimised from maximised brings it back maximised.
        if (!(cmd == SW_RESTORE && wasMin)) RestoreNormal(hwnd);
        if (cmd == SW_SHOWNOACTIVATE) return was;
        break;
    }
    case SW_SHOWNA: ShowPlain(hwnd); return was;
    case SW_SHOW:
    default: ShowPlain(hwnd); break;
    }
    if (!noActivate && CanActivate(hwnd)) Activate(hwnd, true);
    return was;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    if (!rect) return FALSE;
    RECT r;
    HWND parent = nullptr;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        r = w->rect;
        if (IsChild(*w)) parent = w->parent;
        // A minimised window is nowhere on the screen: what docks at it or looks for the
        // pointer over it finds nothing there.
        if (w->minimized && !parent) r = RECT{kMinimizedX, kMinimizedY, kMinimizedX + 160, kMinimizedY + 28};
    }
    if (parent) {
        POINT o = ScreenOrigin(parent);
        r = RECT{r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y};
    }
    *rect = r;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    if (!rect) return FALSE;
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->minimized) *rect = RECT{0, 0, 0, 0};
    else *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    if (!point || !Find(hwnd)) return FALSE;
    POINT o = ScreenOrigin(hwnd);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    if (!point || !Find(hwnd)) return FALSE;
    POINT o = ScreenOrigin(hwnd);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

BOOL IsWindowVisible(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    if (!w) return FALSE;
    for (; w; w = IsChild(*w) ? FindLocked(w->parent) : nullptr)
        if (!w->visible) return FALSE;
    return TRUE;
}

BOOL IsIconic(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    return w && w->minimized;
}

BOOL IsZoomed(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    return w && w->maximized;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
    if (!placement) return FALSE;
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    if (!w) return FALSE;
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->flags = (w->minimized && w->maximized) ? WPF_RESTORETOMAXIMIZED : 0;
    placement->showCmd = w->minimized ? SW_SHOWMINIMIZED : w->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    placement->ptMinPosition = {-1, -1};
    placement->ptMaxPosition = {-1, -1};
    placement->rcNormalPosition = (w->minimized || w->maximized) ? w->normalRect : w->rect;
    return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
    if (!placement) return FALSE;
    LRESULT r;
    WINDOWPLACEMENT copy = *placement;
    if (Elsewhere(hwnd, [hwnd, copy] { return LRESULT{SetWindowPlacement(hwnd, &copy)}; }, &r))
        return static_cast<BOOL>(r);
    bool normalNow;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return FALSE;
        w->normalRect = copy.rcNormalPosition;
        normalNow = !w->minimized && !w->maximized;
    }
    const RECT& n = copy.rcNormalPosition;
    switch (copy.showCmd) {
    case SW_HIDE: ShowWindow(hwnd, SW_HIDE); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: ShowWindow(hwnd, copy.showCmd); break;
    case SW_SHOWMAXIMIZED: ShowWindow(hwnd, SW_SHOWMAXIMIZED); break;
    default:
        if (normalNow)
            SetWindowPos(hwnd, nullptr, n.left, n.top, n.right - n.left, n.bottom - n.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(hwnd, copy.showCmd == SW_SHOWNA || copy.showCmd == SW_SHOWNOACTIVATE ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
        break;
    }
    return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return LRESULT{EnableWindow(hwnd, enable)}; }, &r)) return static_cast<BOOL>(r);
    bool wasDisabled;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return FALSE;
        wasDisabled = !w->enabled;
        w->enabled = enable != FALSE;
    }
    if (wasDisabled == !enable) return wasDisabled;
    if (!enable) {
        HWND f = FocusWindow();
        if (f && (f == hwnd || RootOf(f) == hwnd)) SetFocus(nullptr);
    }
    CallProc(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    return w && w->enabled;
}

HWND SetFocus(HWND hwnd) {
    if (hwnd) {
        LRESULT r;
        if (Elsewhere(hwnd, [=] { return reinterpret_cast<LRESULT>(SetFocus(hwnd)); }, &r))
            return reinterpret_cast<HWND>(r);
        if (!Find(hwnd)) return nullptr;
        HWND root = RootOf(hwnd);
        if (root != ActiveWindow() && CanActivate(root)) Activate(root, true);
    }
    HWND old;
    {
        std::lock_guard lk(Mutex());
        old = g_focus;
        if (old == hwnd) return old;
        g_focus = hwnd;
    }
    if (old && Find(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() { return FocusWindow(); }

BOOL SetForegroundWindow(HWND hwnd) {
    if (hwnd && !IsOwn(hwnd)) return station_link::PostRemote(hwnd, kRemoteForeground, 0, 0);
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return LRESULT{SetForegroundWindow(hwnd)}; }, &r)) return static_cast<BOOL>(r);
    HWND root = RootOf(hwnd);
    if (!root || !CanActivate(root)) return FALSE;
    Activate(root, true);
    return TRUE;
}

HWND GetForegroundWindow() { return ActiveWindow(); }

HWND SetActiveWindow(HWND hwnd) {
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return reinterpret_cast<LRESULT>(SetActiveWindow(hwnd)); }, &r))
        return reinterpret_cast<HWND>(r);
    HWND old = ActiveWindow();
    HWND root = hwnd ? RootOf(hwnd) : nullptr;
    if (hwnd && (!root || !CanActivate(root))) return nullptr;
    Activate(root, root != nullptr);
    return old;
}

HWND GetActiveWindow() { return ActiveWindow(); }

BOOL AttachThreadInput(DWORD, DWORD, BOOL) { return TRUE; }
