// What the whole-process benchmarks share: a player start of its own (program folder, runtime
// folder, registry; reports to a closed loopback port) and a top-level window found by title.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/clips.h"
#include "support/temp_dir.h"

// Last: Xlib's macros clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace benchsupport {

// Each start of the player gets a program folder, runtime folder and registry of its own, so no
// start finds an earlier one running; its reports go nowhere.
struct PlayerHome {
    testsupport::TempDir dir;
    std::vector<std::unique_ptr<testsupport::ScopedEnv>> env;
    PlayerHome() {
        std::filesystem::create_directories(dir / "rt");
        chmod((dir / "rt").c_str(), 0700);
        auto set = [&](const char* name, const std::string& value) {
            env.push_back(std::make_unique<testsupport::ScopedEnv>(name, value));
        };
        set("MORVANE_PROGRAM_DIR", dir.path().string());
        set("MORVANE_RUNTIME_DIR", (dir / "rt").string());
        set("MORVANE_REGISTRY_DB", (dir / "reg.db").string());
        set("MORVANE_STATS_SERVER", "http://127.0.0.1:9");
        set("MORVANE_CONFIG_SERVER", "http://127.0.0.1:9");
    }
};

// A top-level window by its title, also below a window manager's frame.
inline Window FindTitled(Display* dpy, Window parent, const std::string& title, int depth = 2) {
    Window root, up, *kids = nullptr, found = 0;
    unsigned n = 0;
    if (!XQueryTree(dpy, parent, &root, &up, &kids, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(dpy, kids[i], &name) && name && title == name) found = kids[i];
        if (name) XFree(name);
        if (!found && depth > 1) found = FindTitled(dpy, kids[i], title, depth - 1);
    }
    if (kids) XFree(kids);
    return found;
}

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
};

// Where the window lies on the screen, while it is mapped.
inline bool ScreenArea(Display* dpy, Window w, Area& area) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable) return false;
    Window child;
    if (!XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &area.x, &area.y, &child)) return false;
    area.width = a.width;
    area.height = a.height;
    return area.width > 0 && area.height > 0;
}

// Share of the area, as the screen shows it, in the clip's colour (magenta). Three rows across
// the middle are enough, and keep the polling from loading the X server the programs draw through.
inline double ClipShare(Display* dpy, const Area& area) {
    size_t hits = 0, all = 0;
    for (int row : {area.height * 2 / 5, area.height / 2, area.height * 3 / 5}) {
        XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), area.x, area.y + row, static_cast<unsigned>(area.width), 1,
                                AllPlanes, ZPixmap);
        if (!img) return 0;
        for (int x = 0; x < area.width; ++x) {
            const unsigned long p = XGetPixel(img, x, 0);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            hits += r > 190 && g < 70 && b > 190;
            ++all;
        }
        XDestroyImage(img);
    }
    return all ? static_cast<double>(hits) / static_cast<double>(all) : 0;
}

// A clip of one flat colour, magenta (what ClipShare looks for), with a tone; false when ffmpeg
// could not make it.
inline bool MakeMagentaClip(const std::filesystem::path& clip, int seconds = 20) {
    const std::string d = std::to_string(seconds);
    return testsupport::RunProgram({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                    "color=c=magenta:size=640x360:rate=25:duration=" + d, "-f", "lavfi", "-i",
                                    "sine=frequency=440:duration=" + d, "-c:v", "libx264", "-g", "5", "-pix_fmt",
                                    "yuv420p", "-c:a", "aac", "-shortest", clip.string()}) == 0;
}

}  // namespace benchsupport
