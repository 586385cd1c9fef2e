// Shared state of the window layer: the window table, the thread queues and the seams between
// the core (win_core, win_queue, win_place) and the GTK backing (win_gtk, win_input, win_drop).
#pragma once

#include <array>
#include <condition_variable>
#include <cwctype>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <glib.h>

#include "platform/windows/station.h"
#include "platform/windows/winuser.h"

namespace platform::win {

struct ThreadQueue;
struct Backing;  // win_gtk.cpp

// One window of this process. Every field is guarded by Mutex(); window procedures are always
// called with the mutex released.
struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<ThreadQueue> queue;
    std::wstring className;
    UINT classStyle = 0;
    HCURSOR classCursor = nullptr;
    HBRUSH classBrush = nullptr;
    WNDPROC proc = nullptr;
    std::wstring title;
    DWORD style = 0;    // without the state bits below, which GetWindowLongPtrW adds
    DWORD exStyle = 0;  // without WS_EX_TOPMOST
    HWND parent = nullptr;  // WS_CHILD windows
    HWND owner = nullptr;   // owned top-level windows
    HINSTANCE instance = nullptr;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    RECT rect{};  // top-level: screen; child: the parent's client coordinates
    RECT normalRect{};
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool maximized = false;
    bool topmost = false;
    bool native = false;
    bool published = false;
    bool destroying = false;
    bool destroyed = false;
    bool invalid = false;
    RECT invalidRect{};
    BYTE alpha = 255;
    bool inModal = false;
    bool modalEnded = false;
    UINT_PTR modalResult = 0;
    std::vector<HWND> hiddenWithOwner;  // owned windows hidden while this one is minimised
    std::vector<std::pair<std::wstring, HANDLE>> props;
    std::vector<HWND> children;  // z-order, top first
    Backing* backing = nullptr;
};
using WindowPtr = std::shared_ptr<Window>;

// A message or a call waiting to run on another thread.
struct Sent {
    HWND target = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<LRESULT()> call;  // runs instead of the message when set
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    TIMERPROC proc = nullptr;
    GSource* source = nullptr;
    bool pending = false;  // a WM_TIMER is queued: timers coalesce as on Windows
};

// The keyboard as it was when a key message was posted; it becomes what GetKeyState says once
// the message is taken from the queue.
struct KeyStateAt {
    MSG msg;
    std::array<BYTE, 256> keys;
};

struct PendingChar {
    HWND hwnd;
    WPARAM vk;
    LPARAM lParam;
    DWORD time;
    wchar_t ch;
    bool sys;
};

struct ThreadQueue {
    DWORD tid = 0;
    GMainContext* ctx = nullptr;
    GSource* source = nullptr;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<Sent>> sent;
    std::vector<Timer> timers;
    std::deque<PendingChar> chars;
    std::deque<KeyStateAt> keyStates;
    std::condition_variable cv;
    bool quit = false;
    int quitCode = 0;
    int pumping = 0;    // inside GetMessageW/PeekMessageW: posted messages wait for them
    int suspended = 0;  // inside an animation: the queue's source dispatches nothing
};

std::mutex& Mutex();
DWORD Now();
void KeyMessageTakenLocked(ThreadQueue& q, const MSG& msg);  // win_input.cpp

// Window table (win_core.cpp).
WindowPtr Find(HWND hwnd);        // a live window of this process; takes the mutex
WindowPtr FindLocked(HWND hwnd);  // the same, mutex held
// This process's id, kept: glibc's getpid is a system call, and every handle the layer looks at
// is checked against it.
std::uint32_t OwnPid();
bool IsOwn(HWND hwnd);
std::vector<HWND> TopLevels();           // this process's top-level windows, z-order, top first
std::vector<HWND>& ZOrderLocked();       // the same list, mutex held
std::vector<HWND> ThreadWindowsLocked(DWORD tid);
HWND RootOf(HWND hwnd);                  // the top-level window that contains hwnd
void Republish(HWND hwnd);
POINT ScreenOrigin(HWND hwnd);           // client origin in screen coordinates
void CoreInit();                         // once: the station's delivery hook

// Queues (win_queue.cpp).
std::shared_ptr<ThreadQueue> CurrentQueue(bool withContext);
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs f on the thread of hwnd and waits; 0 at once when the window is or gets destroyed.
LRESULT RunOnWindowThread(const WindowPtr& w, std::function<LRESULT()> f);
// Queues f for the thread of hwnd without waiting (dropped when the window goes first).
void RunOnWindowThreadLater(const WindowPtr& w, std::function<LRESULT()> f);
// True (and *result set) when hwnd belongs to another thread and f ran there.
bool Elsewhere(HWND hwnd, const std::function<LRESULT()>& f, LRESULT* result);
void Post(const std::shared_ptr<ThreadQueue>& q, const MSG& msg, bool coalesceMove = false);
void ForgetWindowLocked(ThreadQueue& q, HWND hwnd);  // drops its timers, messages and sends
void KillWindowTimersLocked(ThreadQueue& q, HWND hwnd);
void Wake(ThreadQueue& q);

// Placement and activation (win_place.cpp).
void Activate(HWND hwnd, bool xFocus);
void ForgetActivation(HWND hwnd);  // a window being destroyed or hidden
void RaiseLocked(HWND hwnd);
void LiftOwnedLocked(HWND owner);  // its owned windows of its band right above it
HWND ActiveWindow();
HWND FocusWindow();
void SetFocusInternal(HWND hwnd);
bool IsDisabledTree(HWND hwnd);

// Backing (win_gtk.cpp): all calls on the window's thread; no-ops without a backing.
bool EnsureBacking(HWND hwnd);
void BackingDestroy(HWND hwnd);
void BackingSync(HWND hwnd);  // geometry, visibility, title, hints, opacity
// Stacks the shown windows as the layer's z-order has them; `lift` when one of them was raised
// (activated, brought to the top), which takes them over other programs' windows.
void BackingRestack(bool lift = false);
void BackingFocus(HWND hwnd);
void BackingInvalidate(HWND hwnd, const RECT* rect);
bool BackingHasWindowManager();
bool BackingBeginDrag(HWND hwnd, int hit);
// The pointer events of a size drag of the window's own size box; true when one took the event.
bool BackingSizeDragEvent(const void* gdkEvent);
void* BackingGdkWindow(HWND hwnd);  // GdkWindow*, or null
HWND HwndOfGdkWindow(void* gdkWindow);
void* BackingToplevel(HWND hwnd);   // GtkWidget* of a top-level, or null
// A GTK dialog of the layer (a file chooser, a message box) that belongs to a window of ours:
// while it is registered it stays transient for that window's chain and above all of it.
void BackingAddDialog(void* gtkWindow, HWND owner);
void BackingRemoveDialog(void* gtkWindow);
void RefreshScreen();

// Input (win_input.cpp).
struct PressInfo {
    bool valid = false;
    int button = 0;
    int xRoot = 0;
    int yRoot = 0;
    unsigned time = 0;
};
PressInfo LastPress();
void ConnectInput(void* gtkWindow);
void InputForget(HWND hwnd);
LRESULT DefaultSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam);
void NoteCursor(int x, int y);
POINT LastCursor();
HWND ChildAt(HWND hwnd, POINT screen);  // the deepest visible child at a point

// Drops (win_drop.cpp).
void DropSync(HWND hwnd);

// The window station, reached through one seam (win_station_link.cpp).
namespace station_link {
void Publish(const platform::station::WindowEntry& entry);
void Withdraw(HWND hwnd);
std::vector<platform::station::WindowEntry> Windows();
bool Lookup(HWND hwnd, platform::station::WindowEntry* out);
bool IsAlive(HWND hwnd);
bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result);
bool SendSetText(HWND target, WPARAM wParam, const std::wstring& text, DWORD timeoutMs, LRESULT* result);
bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam);
void SetDeliveryHook(platform::station::DeliverFn fn);
}  // namespace station_link

using platform::station::kRemoteForeground;
using platform::station::kRemoteShow;

// wchar_t holds UCS-4 here, which GLib converts directly.
inline std::string ToUtf8(const std::wstring& s) {
    gchar* u = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(s.c_str()), static_cast<glong>(s.size()), nullptr,
                              nullptr, nullptr);
    std::string out = u ? u : "";
    g_free(u);
    return out;
}
inline std::wstring FromUtf8(const char* s) {
    if (!s) return {};
    glong n = 0;
    gunichar* w = g_utf8_to_ucs4(s, -1, nullptr, &n, nullptr);
    std::wstring out = w ? std::wstring(reinterpret_cast<wchar_t*>(w), static_cast<size_t>(n)) : std::wstring();
    g_free(w);
    return out;
}

inline bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

}  // namespace platform::win
