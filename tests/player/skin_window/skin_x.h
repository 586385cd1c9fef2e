// Helpers for skin windows under Xvfb: the skin resource, real input through xdotool, and pixels
// read back from the X server.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/kernel/resources.h"
#include "platform/windows/winuser.h"
#include "player/skin_window/xml_wnd.h"
#include "skinui/menu.h"
#include "skinui/skinui.h"
#include "support/message_pump.h"
#include "support/modal_script.h"

namespace skinx {

inline void Xdo(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args; }

// Screen centre of a control of a skin window.
inline POINT CentreOf(HWND hwnd, skinui::CControlUI* control) {
    RECT rc = control->GetPos();
    POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(hwnd, &pt);
    return pt;
}

inline std::string At(POINT pt) { return std::to_string(pt.x) + " " + std::to_string(pt.y); }

class SkinX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::HasDisplay());
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
        // Start every test from a still pointer away from the windows under test.
        Xdo("mousemove 1500 950");
    }
    void TearDown() override {
        testsupport::PumpFor(50);
        skinui::CSkinArchive::Reset();
        if (dpy_) XCloseDisplay(dpy_);
    }

    // The program's skin resource as the toolkit's archive (windows that name it load it themselves).
    void UseSkinResource() {
        platform::ResourceData res = platform::FindResourceData(L"ZIPRES", kSkinResourceId);
        ASSERT_TRUE(skinui::CSkinArchive::SetZipMemory(res.data, res.size));
    }

    bool Viewable(HWND h) {
        XWindowAttributes a;
        unsigned long xw = platform::GetX11WindowId(h);
        return xw && XGetWindowAttributes(dpy_, xw, &a) && a.map_state == IsViewable;
    }
    // Waits until the window is on screen and has painted once.
    void WaitShown(HWND h) { ASSERT_TRUE(testsupport::PumpUntil([&] { return Viewable(h); }, 20000)); testsupport::PumpFor(100); }

    // RGB of a screen pixel as the X server shows it.
    uint32_t ScreenPixel(int x, int y) {
        XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return 0xDEADBEEF;
        uint32_t v = static_cast<uint32_t>(XGetPixel(img, 0, 0)) & 0xFFFFFF;
        XDestroyImage(img);
        return v;
    }
    // Saves what the screen shows of a rectangle as a PNG (to look at when a test fails).
    void SaveScreen(const RECT& rc, const std::string& path) {
        int w = rc.right - rc.left, h = rc.bottom - rc.top;
        XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), rc.left, rc.top, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                AllPlanes, ZPixmap);
        ASSERT_NE(img, nullptr);
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] = static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFF;
        cairo_surface_mark_dirty(s);
        cairo_surface_write_to_png(s, path.c_str());
        cairo_surface_destroy(s);
        XDestroyImage(img);
    }
    // Drags with the left button held from the first point through the others, letting each
    // step arrive before the next.
    void Drag(std::initializer_list<POINT> path) {
        bool first = true;
        for (POINT pt : path) {
            Xdo("mousemove " + At(pt));
            testsupport::PumpFor(first ? 60 : 100);
            if (first) {
                Xdo("mousedown 1");
                testsupport::PumpFor(100);
            }
            first = false;
        }
        Xdo("mouseup 1");
    }
    // Clicks a control with the left button and lets the messages arrive.
    void Click(HWND hwnd, skinui::CControlUI* control, int button = 1) {
        ASSERT_NE(control, nullptr);
        Xdo("mousemove " + At(CentreOf(hwnd, control)));
        testsupport::PumpFor(60);
        Xdo("click " + std::to_string(button));
    }

    // True once X gives the window the keyboard (asked for once).
    bool HasKeyboard(HWND h) { return testsupport::HasKeyboard(h); }

    // The open submenu at a depth once it is on screen, laid out and the menu has the keys, else
    // null. Until its first layout an item has no place yet, and a pointer aimed at it lands on
    // the menu's corner (seen on a busy machine under a window manager).
    skinui::CMenuUI* ShownMenu(skinui::CDuiMenu& menu, size_t depth) {
        auto open = menu.GetOpenMenus();
        if (open.size() != depth + 1) return nullptr;
        skinui::CMenuUI* m = open[depth];
        if (m->GetCount() == 0) return nullptr;
        const RECT first = m->GetItemAt(0)->GetPos();
        if (first.right <= first.left || first.bottom <= first.top) return nullptr;
        HWND major = open[0]->GetManager()->GetPaintWindow();
        return Viewable(m->GetManager()->GetPaintWindow()) && HasKeyboard(major) ? m : nullptr;
    }

    Display* dpy_ = nullptr;
};

inline std::function<bool()>& PendingStep() {
    static std::function<bool()> step;
    return step;
}
inline void StepTick(HWND, UINT, UINT_PTR, DWORD) {
    auto& step = PendingStep();
    if (step && step()) step = nullptr;
}

// Runs `step` from the message loop of this thread (a modal one too) every 20 ms until it
// returns true: how a test acts on a window whose modal loop it is waiting in.
class Step {
public:
    explicit Step(std::function<bool()> step) {
        PendingStep() = std::move(step);
        id_ = SetTimer(nullptr, 0, 20, &StepTick);
    }
    ~Step() {
        KillTimer(nullptr, id_);
        PendingStep() = nullptr;
    }
    bool Done() const { return !PendingStep(); }

private:
    UINT_PTR id_;
};

}  // namespace skinx
