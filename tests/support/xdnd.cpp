#include "support/xdnd.h"

#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>

namespace testsupport {

bool XdndDrop(unsigned long target, int x, int y, const std::string& uris) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    auto atom = [d](const char* n) { return XInternAtom(d, n, False); };
    const Atom selection = atom("XdndSelection"), uriList = atom("text/uri-list"), copy = atom("XdndActionCopy");
    ::Window src = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, selection, src, CurrentTime);
    auto send = [&](const char* type, long l1, long l2, long l3, long l4) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.display = d;
        e.xclient.window = target;
        e.xclient.message_type = atom(type);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(src);
        e.xclient.data.l[1] = l1;
        e.xclient.data.l[2] = l2;
        e.xclient.data.l[3] = l3;
        e.xclient.data.l[4] = l4;
        XSendEvent(d, target, False, NoEventMask, &e);
        XFlush(d);
    };
    // Answers selection requests while waiting for one client message.
    auto await = [&](const char* type) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (!XPending(d)) {
                pollfd p{ConnectionNumber(d), POLLIN, 0};
                poll(&p, 1, 50);
                continue;
            }
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == SelectionRequest) {
                XSelectionRequestEvent& r = e.xselectionrequest;
                XEvent reply{};
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = r.requestor;
                reply.xselection.selection = r.selection;
                reply.xselection.target = r.target;
                reply.xselection.time = r.time;
                reply.xselection.property = None;
                if (r.target == uriList) {
                    XChangeProperty(d, r.requestor, r.property, uriList, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
                    reply.xselection.property = r.property;
                }
                XSendEvent(d, r.requestor, False, NoEventMask, &reply);
                XFlush(d);
            } else if (e.type == ClientMessage && e.xclient.message_type == atom(type)) {
                return true;
            }
        }
        return false;
    };
    send("XdndEnter", 5L << 24, static_cast<long>(uriList), 0, 0);
    send("XdndPosition", 0, (static_cast<long>(x) << 16) | y, CurrentTime, static_cast<long>(copy));
    bool ok = await("XdndStatus");
    if (ok) {
        send("XdndDrop", 0, CurrentTime, 0, 0);
        ok = await("XdndFinished");
    }
    XDestroyWindow(d, src);
    XCloseDisplay(d);
    return ok;
}

}  // namespace testsupport
