// The window table: classes, creation and destruction, window data, text and properties,
// the walk over top-level windows (this process's and, through the station, the others'),
// and the default window procedure.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>

#include "win_internal.h"

namespace platform::win {
namespace {

struct WindowClass {
    std::wstring name;
    WNDPROC proc = nullptr;
    UINT style = 0;
    HCURSOR cursor = nullptr;
    HBRUSH brush = nullptr;
    HINSTANCE instance = nullptr;
    ATOM atom = 0;
};

std::vector<WindowClass> g_classes;
std::map<std::uint32_t, WindowPtr> g_windows;  // by serial
std::vector<HWND> g_zorder;                   // top-level windows, top first
std::uint32_t g_nextSerial = 0;  // 0: not started; then SerialBase() + 1 onwards
ATOM g_nextAtom = 0xC000;
int g_defaultSlot = 0;

const HWND kDesktop = MakeWindowHandle(0, 0x10010);

std::wstring NameOf(LPCWSTR name) {
    if (!name) return {};
    auto v = reinterpret_cast<ULONG_PTR>(name);
    if (v < 0x10000) return L"#" + std::to_wstring(v);
    return name;
}

const WindowClass* ClassLocked(LPCWSTR name) {
    auto v = reinterpret_cast<ULONG_PTR>(name);
    for (const WindowClass& c : g_classes) {
        if (v && v < 0x10000 ? c.atom == v : EqualNoCase(c.name, NameOf(name))) return &c;
    }
    return nullptr;
}

bool IsChildWindow(const Window& w) { return (w.style & WS_CHILD) != 0; }

LRESULT DeliverFromStation(HWND target, UINT msg, WPARAM wParam, LPARAM lParam, bool wait) {
    if (!IsOwn(target) || !Find(target)) return 0;
    if (msg == kRemoteShow || msg == kRemoteForeground) {
        std::function<LRESULT()> act = [target, cmd = static_cast<int>(wParam)] {
            return LRESULT{ShowWindow(target, cmd)};
        };
        if (msg == kRemoteForeground) act = [target] {
            if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
            else if (!IsWindowVisible(target)) ShowWindow(target, SW_SHOW);
            SetForegroundWindow(target);
            return LRESULT{1};
        };
        WindowPtr w = Find(target);
        if (!w) return 0;
        if (wait) return RunOnWindowThread(w, act);
        // A post: the sender may be the window's own thread (a plug-in in its host), waiting for
        // this reply, so the change is only queued.
        RunOnWindowThreadLater(w, act);
        return 1;
    }
    if (wait) return SendMessageW(target, msg, wParam, lParam);
    PostMessageW(target, msg, wParam, lParam);
    return 0;
}

platform::station::WindowEntry EntryLocked(const Window& w) {
    platform::station::WindowEntry e;
    e.hwnd = w.hwnd;
    e.className = w.className;
    e.title = w.title;
    e.props = w.props;
    return e;
}

// The walk over top-level windows: this process's first, in z-order, then the others'.
std::vector<HWND> Walk() {
    std::vector<HWND> all = TopLevels();
    const auto me = OwnPid();
    for (const auto& e : station_link::Windows())
        if (WindowHandlePid(e.hwnd) != me) all.push_back(e.hwnd);
    return all;
}

HWND SiblingOf(HWND hwnd, UINT relation) {
    std::vector<HWND> list;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = IsOwn(hwnd) ? FindLocked(hwnd) : nullptr;
        if (w && IsChildWindow(*w)) {
            WindowPtr p = FindLocked(w->parent);
            if (p) list = p->children;
        }
    }
    if (list.empty()) list = Walk();
    if (list.empty()) return nullptr;
    if (relation == GW_HWNDFIRST) return list.front();
    if (relation == GW_HWNDLAST) return list.back();
    auto it = std::find(list.begin(), list.end(), hwnd);
    if (it == list.end()) return nullptr;
    if (relation == GW_HWNDNEXT) return ++it == list.end() ? nullptr : *it;
    return it == list.begin() ? nullptr : *--it;
}

bool MatchEntry(const platform::station::WindowEntry& e, LPCWSTR cls, LPCWSTR title) {
    if (cls && !EqualNoCase(e.className, NameOf(cls))) return false;
    if (title && !EqualNoCase(e.title, title)) return false;
    return true;
}

void DestroyTree(HWND hwnd);

}  // namespace

WindowPtr FindLocked(HWND hwnd) {
    if (!IsOwn(hwnd)) return nullptr;
    auto it = g_windows.find(WindowHandleSerial(hwnd));
    if (it == g_windows.end() || it->second->destroyed) return nullptr;
    return it->second;
}

WindowPtr Find(HWND hwnd) {
    std::lock_guard lk(Mutex());
    return FindLocked(hwnd);
}

namespace {

// A plug-in and its host may each hold a copy of this layer in one process. Each copy numbers
// its windows in a block of its own, drawn from GLib's process-wide quark table, so a copy tells
// its own handles from the other's and reaches those through the window station.
std::uint32_t SerialBase() {
    static const std::uint32_t base = [] {
        char name[64];
        std::snprintf(name, sizeof name, "morvane-window-layer-%p", static_cast<void*>(&g_windows));
        return (static_cast<std::uint32_t>(g_quark_from_string(name)) & 0x7FFFu) << 16;
    }();
    return base;
}

}  // namespace

std::uint32_t OwnPid() {
    static std::atomic<std::uint32_t> pid = [] {
        pthread_atfork(nullptr, nullptr, [] { pid = static_cast<std::uint32_t>(getpid()); });
        return static_cast<std::uint32_t>(getpid());
    }();
    return pid.load(std::memory_order_relaxed);
}

bool IsOwn(HWND hwnd) {
    return hwnd && WindowHandlePid(hwnd) == OwnPid() &&
           (WindowHandleSerial(hwnd) & 0xFFFF0000u) == SerialBase();
}

std::vector<HWND>& ZOrderLocked() { return g_zorder; }

std::vector<HWND> TopLevels() {
    std::lock_guard lk(Mutex());
    return g_zorder;
}

std::vector<HWND> ThreadWindowsLocked(DWORD tid) {
    std::vector<HWND> out;
    for (auto& [serial, w] : g_windows)
        if (!w->destroyed && w->queue->tid == tid) out.push_back(w->hwnd);
    return out;
}

HWND RootOf(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    while (w && IsChildWindow(*w)) {
        WindowPtr p = FindLocked(w->parent);
        if (!p) break;
        w = p;
    }
    return w ? w->hwnd : nullptr;
}

POINT ScreenOrigin(HWND hwnd) {
    std::lock_guard lk(Mutex());
    POINT pt{0, 0};
    for (WindowPtr w = FindLocked(hwnd); w; w = IsChildWindow(*w) ? FindLocked(w->parent) : nullptr) {
        pt.x += w->rect.left;
        pt.y += w->rect.top;
    }
    return pt;
}

void Republish(HWND hwnd) {
    platform::station::WindowEntry entry;
    bool publish = false, withdraw = false;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w || IsChildWindow(*w) || w->destroying) return;
        publish = !w->title.empty() || !w->props.empty();
        withdraw = !publish && w->published;
        w->published = publish;
        if (publish) entry = EntryLocked(*w);
    }
    if (publish) station_link::Publish(entry);
    if (withdraw) station_link::Withdraw(hwnd);
}

void CoreInit() {
    static std::once_flag once;
    std::call_once(once, [] { station_link::SetDeliveryHook(DeliverFromStation); });
}

namespace {

void DestroyTree(HWND hwnd) {
    std::vector<HWND> owned, children;
    WindowPtr w;
    {
        std::lock_guard lk(Mutex());
        w = FindLocked(hwnd);
        if (!w || w->destroying) return;
        w->destroying = true;
        for (auto& [serial, o] : g_windows)
            if (!o->destroying && o->owner == hwnd) owned.push_back(o->hwnd);
        children = w->children;
    }
    // Owned windows go first, as on Windows.
    for (HWND o : owned) DestroyWindow(o);
    CallProc(hwnd, WM_DESTROY, 0, 0);
    for (HWND c : children) DestroyTree(c);
    ForgetActivation(hwnd);
    InputForget(hwnd);
    BackingDestroy(hwnd);
    bool wasPublished, inModal;
    {
        std::lock_guard lk(Mutex());
        wasPublished = w->published;
        w->published = false;
        inModal = w->inModal;
        ForgetWindowLocked(*w->queue, hwnd);
        // A modal loop on the window wakes up to see it gone.
        if (inModal) w->queue->posted.push_back(MSG{nullptr, WM_NULL, 0, 0, Now(), {}});
    }
    if (inModal) Wake(*w->queue);
    if (wasPublished) station_link::Withdraw(hwnd);
    CallProc(hwnd, WM_NCDESTROY, 0, 0);
    {
        std::lock_guard lk(Mutex());
        w->destroyed = true;
        g_windows.erase(WindowHandleSerial(hwnd));
        g_zorder.erase(std::remove(g_zorder.begin(), g_zorder.end(), hwnd), g_zorder.end());
        if (WindowPtr p = w->parent ? FindLocked(w->parent) : nullptr)
            p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd), p->children.end());
    }
}

}  // namespace
}  // namespace platform::win

using namespace platform::win;

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || !wc->lpszClassName || NameOf(wc->lpszClassName).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lk(Mutex());
    if (ClassLocked(wc->lpszClassName) || EqualNoCase(NameOf(wc->lpszClassName), platform::kNativeWindowClass)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass c;
    c.name = NameOf(wc->lpszClassName);
    c.proc = wc->lpfnWndProc;
    c.style = wc->style;
    c.cursor = wc->hCursor;
    c.brush = wc->hbrBackground;
    c.instance = wc->hInstance;
    c.atom = g_nextAtom++;
    g_classes.push_back(c);
    return c.atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    std::lock_guard lk(Mutex());
    const WindowClass* c = ClassLocked(className);
    if (!c) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    g_classes.erase(g_classes.begin() + (c - g_classes.data()));
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    CoreInit();
    auto q = CurrentQueue(true);
    auto w = std::make_shared<Window>();
    {
        std::lock_guard lk(Mutex());
        const WindowClass* c = ClassLocked(className);
        if (c) {
            w->className = c->name;
            w->proc = c->proc;
            w->classStyle = c->style;
            w->classCursor = c->cursor;
            w->classBrush = c->brush;
        } else if (className && EqualNoCase(NameOf(className), platform::kNativeWindowClass)) {
            w->className = platform::kNativeWindowClass;
            w->native = true;
            // Like the dialog class it stands in for, it sees double clicks (the video toggles
            // full screen on one).
            w->classStyle = CS_DBLCLKS;
        } else {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (w->native && !(style & WS_CHILD)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        WindowPtr p = parent ? FindLocked(parent) : nullptr;
        if (style & WS_CHILD) {
            if (!p) {
                SetLastError(ERROR_TLW_WITH_WSCHILD);
                return nullptr;
            }
            w->parent = parent;
        } else if (p) {
            // The owner is always a top-level window.
            while (p && IsChildWindow(*p)) p = FindLocked(p->parent);
            w->owner = p ? p->hwnd : nullptr;
        }
        const bool ownerTopmost = !(style & WS_CHILD) && p && p->topmost;
        if (g_nextSerial == 0) g_nextSerial = SerialBase() + 1;
        w->hwnd = MakeWindowHandle(OwnPid(), g_nextSerial++);
        w->queue = q;
        w->style = style & ~(WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
        w->enabled = !(style & WS_DISABLED);
        w->exStyle = exStyle & ~static_cast<DWORD>(WS_EX_TOPMOST);
        // A window owned by a top-most one is top-most too: it stays above its owner.
        w->topmost = (exStyle & WS_EX_TOPMOST) != 0 || ownerTopmost;
        w->instance = instance;
        if (style & WS_CHILD) w->id = reinterpret_cast<LONG_PTR>(menu);
        if (x == CW_USEDEFAULT) {
            if (style & WS_CHILD) {
                x = y = 0;
            } else {
                x = y = 80 + 26 * (g_defaultSlot++ % 8);
            }
        }
        if (width == CW_USEDEFAULT) {
            width = (style & WS_CHILD) ? 0 : 800;
            height = (style & WS_CHILD) ? 0 : 500;
        }
        w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        w->normalRect = w->rect;
        g_windows[WindowHandleSerial(w->hwnd)] = w;
        if (p && (style & WS_CHILD)) p->children.insert(p->children.begin(), w->hwnd);
        if (!(style & WS_CHILD)) {
            auto at = w->topmost ? g_zorder.begin()
                                 : std::find_if(g_zorder.begin(), g_zorder.end(),
                                                [](HWND h) { return !FindLocked(h) || !FindLocked(h)->topmost; });
            g_zorder.insert(at, w->hwnd);
        }
        w->title = windowName ? windowName : L"";
    }
    HWND hwnd = w->hwnd;
    std::wstring cls = w->className;
    CREATESTRUCTW cs{param,  instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName,
                     cls.c_str(), exStyle};
    if (!CallProc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!Find(hwnd)) return nullptr;
    Republish(hwnd);
    // Windows sends the first size and position right after WM_CREATE, as they are by then
    // (WM_CREATE may have moved or sized the window).
    RECT now{};
    {
        std::lock_guard lk(Mutex());
        if (WindowPtr cur = FindLocked(hwnd)) now = cur->rect;
    }
    CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(now.right - now.left, now.bottom - now.top));
    CallProc(hwnd, WM_MOVE, 0, MAKELPARAM(now.left, now.top));
    if (style & WS_MAXIMIZE) ShowWindow(hwnd, (style & WS_VISIBLE) ? SW_SHOWMAXIMIZED : SW_MAXIMIZE);
    else if (style & WS_MINIMIZE) ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
    else if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return Find(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    LRESULT r;
    if (Elsewhere(hwnd, [hwnd] { return LRESULT{DestroyWindow(hwnd)}; }, &r)) return static_cast<BOOL>(r);
    if (!Find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (IsWindowVisible(hwnd) && !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) ShowWindow(hwnd, SW_HIDE);
    DestroyTree(hwnd);
    return TRUE;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(IsChildWindow(*w) ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(static_cast<DWORD>(w->style | (w->visible ? WS_VISIBLE : 0) |
                                                        (w->enabled ? 0 : WS_DISABLED) |
                                                        (w->minimized ? WS_MINIMIZE : 0) |
                                                        (w->maximized ? WS_MAXIMIZE : 0)));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle | (w->topmost ? WS_EX_TOPMOST : 0));
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    LRESULT r;
    if (Elsewhere(hwnd, [=] { return SetWindowLongPtrW(hwnd, index, value); }, &r)) return r;
    LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    bool dropChanged = false;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return 0;
        switch (index) {
        case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); break;
        case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); break;
        case GWLP_ID: w->id = value; break;
        case GWLP_USERDATA: w->userData = value; break;
        case GWLP_HWNDPARENT:
            if (!IsChildWindow(*w)) {
                w->owner = reinterpret_cast<HWND>(value);
                // An owned window is above its owner.
                if (w->owner) LiftOwnedLocked(w->owner);
            }
            break;
        case GWL_STYLE:
            // The state bits follow ShowWindow, EnableWindow and friends.
            w->style = static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE | WS_CHILD);
            w->style |= IsChildWindow(*w) ? WS_CHILD : 0;
            break;
        case GWL_EXSTYLE: {
            DWORD ex = static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_EX_TOPMOST);
            dropChanged = (ex ^ w->exStyle) & WS_EX_ACCEPTFILES;
            w->exStyle = ex;
            break;
        }
        default: return 0;
        }
    }
    if (dropChanged) DropSync(hwnd);
    if (index == GWL_EXSTYLE || index == GWLP_HWNDPARENT) BackingSync(hwnd);
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hwnd, index)); }
LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, index == GWL_STYLE || index == GWL_EXSTYLE
                                                                ? static_cast<LONG_PTR>(static_cast<DWORD>(value))
                                                                : value));
}

static int CopyText(const std::wstring& text, LPWSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    int n = std::min(static_cast<int>(text.size()), maxCount - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = L'\0';
    return n;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
    if (!IsOwn(hwnd)) {
        platform::station::WindowEntry e;
        return station_link::Lookup(hwnd, &e) ? CopyText(e.className, buffer, maxCount) : 0;
    }
    std::wstring name;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return 0;
        name = w->className;
    }
    return CopyText(name, buffer, maxCount);
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!IsWindow(hwnd) || hwnd == kDesktop) return FALSE;
    return static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

static bool TitleOf(HWND hwnd, std::wstring* out) {
    if (!IsOwn(hwnd)) {
        platform::station::WindowEntry e;
        if (!station_link::Lookup(hwnd, &e)) return false;
        *out = e.title;
        return true;
    }
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    if (!w) return false;
    *out = w->title;
    return true;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
    std::wstring t;
    if (!TitleOf(hwnd, &t)) {
        if (buffer && maxCount > 0) buffer[0] = L'\0';
        return 0;
    }
    return CopyText(t, buffer, maxCount);
}

int GetWindowTextLengthW(HWND hwnd) {
    std::wstring t;
    return TitleOf(hwnd, &t) ? static_cast<int>(t.size()) : 0;
}

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
    std::wstring key = NameOf(name);
    if (key.empty()) return FALSE;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return FALSE;
        auto it = std::find_if(w->props.begin(), w->props.end(), [&](auto& p) { return EqualNoCase(p.first, key); });
        if (it != w->props.end()) it->second = data;
        else w->props.emplace_back(key, data);
    }
    Republish(hwnd);
    return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name) {
    std::wstring key = NameOf(name);
    std::vector<std::pair<std::wstring, HANDLE>> props;
    if (!IsOwn(hwnd)) {
        platform::station::WindowEntry e;
        if (!station_link::Lookup(hwnd, &e)) return nullptr;
        props = std::move(e.props);
    } else {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return nullptr;
        props = w->props;
    }
    for (auto& p : props)
        if (EqualNoCase(p.first, key)) return p.second;
    return nullptr;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name) {
    std::wstring key = NameOf(name);
    HANDLE old = nullptr;
    {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        if (!w) return nullptr;
        auto it = std::find_if(w->props.begin(), w->props.end(), [&](auto& p) { return EqualNoCase(p.first, key); });
        if (it == w->props.end()) return nullptr;
        old = it->second;
        w->props.erase(it);
    }
    Republish(hwnd);
    return old;
}

BOOL IsWindow(HWND hwnd) {
    if (!hwnd) return FALSE;
    if (hwnd == kDesktop) return TRUE;
    if (!IsOwn(hwnd)) return station_link::IsAlive(hwnd);
    return Find(hwnd) != nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    {
        std::lock_guard lk(Mutex());
        for (HWND h : g_zorder) {
            WindowPtr w = FindLocked(h);
            if (w && !w->destroying && MatchEntry(EntryLocked(*w), className, windowName)) return h;
        }
    }
    const auto me = OwnPid();
    for (const auto& e : station_link::Windows())
        if (WindowHandlePid(e.hwnd) != me && MatchEntry(e, className, windowName)) return e.hwnd;
    return nullptr;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
    if (!proc) return FALSE;
    for (HWND h : Walk())
        if (!proc(h, lParam)) return FALSE;
    return TRUE;
}

HWND GetDesktopWindow() { return kDesktop; }

HWND GetWindow(HWND hwnd, UINT relation) {
    if (hwnd == kDesktop) {
        if (relation != GW_CHILD) return nullptr;
        auto all = Walk();
        return all.empty() ? nullptr : all.front();
    }
    switch (relation) {
    case GW_HWNDFIRST:
    case GW_HWNDLAST:
    case GW_HWNDNEXT:
    case GW_HWNDPREV: return SiblingOf(hwnd, relation);
    case GW_OWNER: {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        return w ? w->owner : nullptr;
    }
    case GW_CHILD: {
        std::lock_guard lk(Mutex());
        WindowPtr w = FindLocked(hwnd);
        return w && !w->children.empty() ? w->children.front() : nullptr;
    }
    default: return nullptr;
    }
}

HWND GetParent(HWND hwnd) {
    std::lock_guard lk(Mutex());
    WindowPtr w = FindLocked(hwnd);
    if (!w) return nullptr;
    if (IsChildWindow(*w)) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    if (!IsOwn(hwnd)) {
        if (!IsWindow(hwnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        // Another process's windows live on its main thread, whose id is the process id.
        if (processId) *processId = WindowHandlePid(hwnd);
        return WindowHandlePid(hwnd);
    }
    WindowPtr w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId) *processId = static_cast<DWORD>(OwnPid());
    return w->queue->tid;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT: {
        {
            std::lock_guard lk(Mutex());
            WindowPtr w = FindLocked(hwnd);
            if (!w) return FALSE;
            w->title = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        }
        BackingSync(hwnd);
        Republish(hwnd);
        return TRUE;
    }
    case WM_GETTEXT: return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: return GetWindowTextLengthW(hwnd);
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST: {
        RECT r;
        GetWindowRect(hwnd, &r);
        int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom ? HTCLIENT : HTNOWHERE;
    }
    case WM_SETCURSOR: return DefaultSetCursor(hwnd, wParam, lParam);
    case WM_MOUSEACTIVATE: {
        HWND parent = GetParent(hwnd);
        if (parent && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) {
            LRESULT r = SendMessageW(parent, WM_MOUSEACTIVATE, wParam, lParam);
            if (r) return r;
        }
        return MA_ACTIVATE;
    }
    case WM_MOUSEWHEEL: {
        // Unhandled wheel turns go up to the parent.
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) return SendMessageW(GetParent(hwnd), msg, wParam, lParam);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd)) SetFocus(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!wp) return 0;
        if (!(wp->flags & SWP_NOMOVE)) CallProc(hwnd, WM_MOVE, 0, MAKELPARAM(wp->x, wp->y));
        if (!(wp->flags & SWP_NOSIZE)) {
            WPARAM kind = IsIconic(hwnd) ? SIZE_MINIMIZED : IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED;
            CallProc(hwnd, WM_SIZE, kind, MAKELPARAM(wp->cx, wp->cy));
        }
        return 0;
    }
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION || (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT)) {
            HWND root = RootOf(hwnd);
            if (!IsZoomed(root) || wParam == HTCAPTION) BackingBeginDrag(root, static_cast<int>(wParam));
        }
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MAXIMIZEBOX))
            CallProc(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29))) PostMessageW(RootOf(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: CallProc(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
        }
        return 0;
    default: return 0;
    }
}
