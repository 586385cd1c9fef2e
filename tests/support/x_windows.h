// What the X server says of the program's windows, with or without a window manager: the
// keyboard focus, the stacking order of top-level windows, and windows found by their title.
// A window manager puts each top-level window into a frame of its own and may give the focus to
// a child of it, so these look at frames and descendants rather than at the window alone.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "platform/windows/winuser.h"

namespace testsupport {

// The X window of a window of this process (0 when it has none yet).
::Window XWindowOf(HWND hwnd);
// True when the keyboard focus is on the window or inside it.
bool FocusWithin(Display* dpy, ::Window xw);
// The child of the root that holds the window: the window itself, or its frame.
::Window FrameOf(Display* dpy, ::Window xw);
// Index of the window's frame in the root's stacking order, bottom first; -1 when not there.
int StackIndex(Display* dpy, ::Window xw);
// True when the first window is stacked above the second one.
bool StackedAbove(Display* dpy, ::Window upper, ::Window lower);
// The top-level windows with this title (a client, not a window manager's frame).
std::vector<::Window> TopLevelsNamed(Display* dpy, const std::string& title);
// True when the top-level window (or its frame) is what the server shows at the screen point: a
// window closed just now may leave its frame there a moment longer under a window manager.
bool ShownAt(Display* dpy, ::Window xw, int x, int y);
// The program windows at the top of the screen (clients, not window manager frames), bottom first.
std::vector<::Window> ClientWindows(Display* dpy);
// What the server says of a window: mapped and shown, its place on the screen, the window it is
// transient for (0 for none), the process that made it (0 when it does not say).
bool OnScreen(Display* dpy, ::Window xw);
RECT ScreenRect(Display* dpy, ::Window xw);
::Window TransientFor(Display* dpy, ::Window xw);
unsigned long ProcessOf(Display* dpy, ::Window xw);
// Asks the window to close, as a window manager's close button does.
void AskToClose(Display* dpy, ::Window xw);
// The share (0..1) of the pixels of a screen rectangle, sampled every `step` pixels, for which
// `match` holds (RGB as 0xRRGGBB); 0 for an empty rectangle.
double ShareOfPixels(Display* dpy, const RECT& rc, bool (*match)(unsigned long rgb), int step = 3);
// The pixels (0xRRGGBB) of a screen rectangle, row by row, sampled every `step` pixels; the part
// off the screen is left out.
std::vector<unsigned long> ScreenPixels(Display* dpy, const RECT& rc, int step = 1);
// True when a window manager runs on the display.
bool HasWindowManager(Display* dpy);
// The process of the window manager on the display, as the server knows it; 0 when none runs.
unsigned long WindowManagerProcess(Display* dpy);

// Holds the window manager still while it lives, as a busy window manager is late: what programs
// ask of it meanwhile waits in its queue. A helper process lets it go on when the pause ends, also
// when the test dies first.
class WindowManagerPause {
public:
    explicit WindowManagerPause(Display* dpy);
    ~WindowManagerPause() { End(); }
    WindowManagerPause(const WindowManagerPause&) = delete;
    WindowManagerPause& operator=(const WindowManagerPause&) = delete;
    bool Paused() const { return helper_ > 0; }
    void End();

private:
    int release_ = -1;  // the helper resumes the window manager once this pipe closes
    int helper_ = 0;
};

}  // namespace testsupport
