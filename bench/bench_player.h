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

}  // namespace benchsupport
