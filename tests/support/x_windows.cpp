#include "support/x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace testsupport {

namespace {

std::vector<::Window> ChildrenOf(Display* dpy, ::Window w, ::Window* parentOut = nullptr) {
    ::Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    std::vector<::Window> out;
    if (XQueryTree(dpy, w, &root, &parent, &kids, &n)) out.assign(kids, kids + n);
    if (kids) XFree(kids);
    if (parentOut) *parentOut = parent;
    return out;
}

std::string NameOf(Display* dpy, ::Window w) {
    char* name = nullptr;
    std::string out;
    if (XFetchName(dpy, w, &name) && name) out = name;
    if (name) XFree(name);
    return out;
}

}  // namespace

::Window XWindowOf(HWND hwnd) { return hwnd ? static_cast<::Window>(platform::GetX11WindowId(hwnd)) : 0; }

bool FocusWithin(Display* dpy, ::Window xw) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    if (!xw || focus == None || focus == PointerRoot) return false;
    const ::Window root = DefaultRootWindow(dpy);
    for (::Window w = focus; w && w != root;) {
        if (w == xw) return true;
        ::Window parent = 0;
        ChildrenOf(dpy, w, &parent);
        w = parent;
    }
    return false;
}

::Window FrameOf(Display* dpy, ::Window xw) {
    const ::Window root = DefaultRootWindow(dpy);
    for (::Window w = xw; w;) {
        ::Window parent = 0;
        ChildrenOf(dpy, w, &parent);
        if (parent == root) return w;
        w = parent;
    }
    return 0;
}

int StackIndex(Display* dpy, ::Window xw) {
    ::Window frame = FrameOf(dpy, xw);
    std::vector<::Window> tops = ChildrenOf(dpy, DefaultRootWindow(dpy));
    for (size_t i = 0; i < tops.size(); ++i)
        if (frame && tops[i] == frame) return static_cast<int>(i);
    return -1;
}

bool StackedAbove(Display* dpy, ::Window upper, ::Window lower) {
    int u = StackIndex(dpy, upper), l = StackIndex(dpy, lower);
    return u >= 0 && l >= 0 && u > l;
}

std::vector<::Window> TopLevelsNamed(Display* dpy, const std::string& title) {
    std::vector<::Window> out;
    for (::Window top : ChildrenOf(dpy, DefaultRootWindow(dpy))) {
        if (NameOf(dpy, top) == title) {
            out.push_back(top);
            continue;
        }
        // Under a window manager the client sits inside its frame.
        for (::Window inner : ChildrenOf(dpy, top))
            if (NameOf(dpy, inner) == title) out.push_back(inner);
    }
    return out;
}

bool ShownAt(Display* dpy, ::Window xw, int x, int y) {
    ::Window frame = FrameOf(dpy, xw);
    if (!frame) return false;
    // The topmost viewable child of the root that holds the point.
    std::vector<::Window> tops = ChildrenOf(dpy, DefaultRootWindow(dpy));
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy, *it, &a) || a.map_state != IsViewable || a.c_class == InputOnly) continue;
        if (x >= a.x && x < a.x + a.width && y >= a.y && y < a.y + a.height) return *it == frame;
    }
    return false;
}

std::vector<::Window> ClientWindows(Display* dpy) {
    Atom wmState = XInternAtom(dpy, "WM_STATE", False);
    auto isClient = [&](::Window w) {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, left = 0;
        unsigned char* data = nullptr;
        bool has = XGetWindowProperty(dpy, w, wmState, 0, 0, False, AnyPropertyType, &type, &format, &n, &left, &data) ==
                       Success &&
                   type != None;
        if (data) XFree(data);
        XClassHint hint{};
        // Without a window manager nobody sets WM_STATE: a program's window names its class.
        if (!has && XGetClassHint(dpy, w, &hint)) {
            has = true;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        return has;
    };
    std::vector<::Window> out;
    for (::Window top : ChildrenOf(dpy, DefaultRootWindow(dpy))) {
        if (isClient(top)) {
            out.push_back(top);
            continue;
        }
        for (::Window inner : ChildrenOf(dpy, top))
            if (isClient(inner)) out.push_back(inner);
    }
    return out;
}

bool OnScreen(Display* dpy, ::Window xw) {
    XWindowAttributes a;
    return xw && XGetWindowAttributes(dpy, xw, &a) && a.map_state == IsViewable;
}

RECT ScreenRect(Display* dpy, ::Window xw) {
    XWindowAttributes a;
    if (!xw || !XGetWindowAttributes(dpy, xw, &a)) return RECT{};
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(dpy, xw, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return RECT{x, y, x + a.width, y + a.height};
}

::Window TransientFor(Display* dpy, ::Window xw) {
    ::Window to = 0;
    return xw && XGetTransientForHint(dpy, xw, &to) ? to : 0;
}

unsigned long ProcessOf(Display* dpy, ::Window xw) {
    Atom pid = XInternAtom(dpy, "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, left = 0, out = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, xw, pid, 0, 1, False, XA_CARDINAL, &type, &format, &n, &left, &data) == Success &&
        n == 1 && format == 32)
        out = *reinterpret_cast<unsigned long*>(data);
    if (data) XFree(data);
    return out;
}

void AskToClose(Display* dpy, ::Window xw) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = xw;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, xw, False, NoEventMask, &ev);
    XFlush(dpy);
}

std::vector<unsigned long> ScreenPixels(Display* dpy, const RECT& rc, int step) {
    const int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));
    const int left = std::max<int>(rc.left, 0), top = std::max<int>(rc.top, 0);
    const int right = std::min<int>(rc.right, sw), bottom = std::min<int>(rc.bottom, sh);
    std::vector<unsigned long> out;
    if (right <= left || bottom <= top) return out;
    XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), left, top, static_cast<unsigned>(right - left),
                            static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (!img) return out;
    for (int y = 0; y < bottom - top; y += step)
        for (int x = 0; x < right - left; x += step) out.push_back(XGetPixel(img, x, y) & 0xFFFFFF);
    XDestroyImage(img);
    return out;
}

double ShareOfPixels(Display* dpy, const RECT& rc, bool (*match)(unsigned long rgb), int step) {
    const std::vector<unsigned long> pixels = ScreenPixels(dpy, rc, step);
    if (pixels.empty()) return 0.0;
    const auto hits = std::count_if(pixels.begin(), pixels.end(), match);
    return static_cast<double>(hits) / static_cast<double>(pixels.size());
}

namespace {

// The window a window manager names itself with on the root window; 0 without one.
::Window WindowManagerCheck(Display* dpy) {
    Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return 0;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, left = 0;
    unsigned char* data = nullptr;
    ::Window found = 0;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &format, &n, &left,
                           &data) == Success &&
        n == 1)
        found = *reinterpret_cast<::Window*>(data);
    if (data) XFree(data);
    return found;
}

}  // namespace

bool HasWindowManager(Display* dpy) { return WindowManagerCheck(dpy) != 0; }

unsigned long WindowManagerProcess(Display* dpy) {
    const ::Window check = WindowManagerCheck(dpy);
    int event = 0, error = 0;
    if (!check || !XResQueryExtension(dpy, &event, &error)) return 0;
    XResClientIdSpec spec{check, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    unsigned long pid = 0;
    if (XResQueryClientIds(dpy, 1, &spec, &count, &ids) == Success) {
        for (long i = 0; i < count && !pid; ++i)
            if (XResGetClientIdType(&ids[i]) == XRES_CLIENT_ID_PID && XResGetClientPid(&ids[i]) > 0)
                pid = static_cast<unsigned long>(XResGetClientPid(&ids[i]));
        XResClientIdsDestroy(count, ids);
    }
    return pid;
}

WindowManagerPause::WindowManagerPause(Display* dpy) {
    const auto wm = static_cast<pid_t>(WindowManagerProcess(dpy));
    int fds[2];
    if (wm <= 0 || wm == getpid() || pipe(fds) != 0) return;
    const pid_t helper = fork();
    if (helper == 0) {
        close(fds[1]);
        char c;
        while (read(fds[0], &c, 1) > 0) {
        }
        kill(wm, SIGCONT);
        _exit(0);
    }
    close(fds[0]);
    if (helper < 0) {
        close(fds[1]);
        return;
    }
    release_ = fds[1];
    helper_ = helper;
    kill(wm, SIGSTOP);
}

void WindowManagerPause::End() {
    if (release_ >= 0) close(release_);
    release_ = -1;
    if (helper_ > 0) waitpid(helper_, nullptr, 0);
    helper_ = 0;
}

}  // namespace testsupport
