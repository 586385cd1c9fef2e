#include "support/modal_script.h"

#include <X11/Xlib.h>

#include <cstdlib>

#include "platform/kernel/ticks.h"
#include "support/x_windows.h"

namespace testsupport {

namespace {
ModalScript* g_script = nullptr;

Display* SharedDisplay() {
    static Display* dpy = XOpenDisplay(nullptr);
    return dpy;
}
}  // namespace

ModalScript::ModalScript(std::vector<Step> steps, std::wstring closeTitle, int timeoutMs)
    : steps_(std::move(steps)), closeTitle_(std::move(closeTitle)), deadline_(GetTickCount() + static_cast<unsigned long>(timeoutMs)) {
    g_script = this;
    timer_ = ::SetTimer(nullptr, 0, 50, &ModalScript::Tick);
}

ModalScript::~ModalScript() {
    if (timer_) ::KillTimer(nullptr, timer_);
    if (g_script == this) g_script = nullptr;
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript* s = g_script;
    if (!s || s->finished()) return;
    // A step may run a nested loop (a folder dialog): keep this tick from running it twice.
    static bool busy = false;
    if (busy) return;
    busy = true;
    while (!s->finished() && s->steps_[s->next_]()) ++s->next_;
    busy = false;
    if (!s->finished() && static_cast<long>(GetTickCount() - s->deadline_) > 0 && s->stuckAt_ < 0) {
        s->stuckAt_ = static_cast<int>(s->next_);
        if (HWND h = FindWindowW(nullptr, s->closeTitle_.c_str())) ::PostMessageW(h, WM_CLOSE, 0, 0);
    }
}

HWND FindDialog(const wchar_t* title) {
    HWND h = FindWindowW(nullptr, title);
    return h && IsWindowVisible(h) ? h : nullptr;
}

bool HasKeyboard(HWND hwnd) {
    Display* dpy = SharedDisplay();
    if (!dpy || !hwnd) return false;
    if (FocusWithin(dpy, XWindowOf(hwnd))) return true;
    SetForegroundWindow(hwnd);
    return false;
}

bool Xdo(const std::string& args) { return std::system(("xdotool " + args).c_str()) == 0; }

bool ClickAt(HWND hwnd, POINT client) {
    RECT rc;
    if (!GetWindowRect(hwnd, &rc)) return false;
    // The pointer comes from outside, so the window sees it enter before the press.
    return Xdo("mousemove --sync 0 0 mousemove --sync " + std::to_string(rc.left + client.x) + " " + std::to_string(rc.top + client.y) +
               " click 1");
}

}  // namespace testsupport
