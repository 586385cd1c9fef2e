// The start of the whole player as a user sees it: the time from starting the `morvane` process
// with a file to the first video frame on the screen, against the floor program
// (first_frame_floor: a GTK window with a native child and libVLC with the same instance options,
// nothing else), on the same clip and at the same window size. The screen is polled where each
// program's window lies until most of it shows the clip's colour. Several rounds in one run, the
// two programs taking turns to go first; the median ratio is printed. Needs a display:
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/bench/first_frame_bench [rounds]
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/engine/media_player.h"
#include "support/clips.h"
#include "support/temp_dir.h"

// Last: Xlib's macros clash with the names above.
#include "bench_player.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(30);

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Run {
    double ms = -1;
    benchsupport::Area area;
};

// Starts the program and polls the screen until the clip shows in its window.
Run Measure(Display* dpy, const std::vector<std::string>& argv, const std::string& title) {
    Run run;
    const auto start = Clock::now();
    const pid_t pid = testsupport::StartProgram(argv);  // its output (libVLC talks a lot) dropped
    if (!pid) return run;
    Window w = 0;
    while (Clock::now() - start < kTimeout) {
        if (!w) w = benchsupport::FindTitled(dpy, DefaultRootWindow(dpy), title);
        if (w && benchsupport::ScreenArea(dpy, w, run.area) && benchsupport::ClipShare(dpy, run.area) > 0.5) {
            run.ms = Ms(Clock::now() - start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    Display* dpy = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
    if (!dpy) {
        std::fprintf(stderr, "needs a display: xvfb-run -a build/bench/first_frame_bench\n");
        return 2;
    }
    setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null", 0);
    const std::string bin = MORVANE_BIN_DIR, bench = fs::path(argv[0]).parent_path().string();

    testsupport::TempDir media;
    const fs::path clip = media / "magenta.mp4";
    if (!benchsupport::MakeMagentaClip(clip)) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        return 1;
    }

    auto player = [&] {
        benchsupport::PlayerHome home;
        return Measure(dpy, {bin + "/morvane", clip.string()}, "Morvane");
    };
    // The floor's window takes the size the player's window had when its frame showed.
    benchsupport::Area size;
    auto floor = [&] {
        std::vector<std::string> args{bench + "/first_frame_floor", std::to_string(size.width),
                                      std::to_string(size.height), clip.string()};
        for (const auto& o : CMediaPlayer::InstanceOptions()) args.push_back(o);
        return Measure(dpy, args, "Floor");
    };

    // A first start of each brings the program, libVLC's plug-ins and the clip into memory.
    const Run warm = player();
    if (warm.ms < 0) {
        std::fprintf(stderr, "the player never showed the clip\n");
        return 1;
    }
    size = warm.area;
    if (floor().ms < 0) {
        std::fprintf(stderr, "the floor program never showed the clip\n");
        return 1;
    }

    std::printf("start of the process to the first video frame on screen (ms), %dx%d window\n", size.width,
                size.height);
    std::printf("%6s %10s %10s %8s\n", "round", "morvane", "floor", "ratio");
    std::vector<double> ours, floors, ratios;
    for (int i = 0; i < rounds; ++i) {
        Run a, b;
        if (i % 2 == 0) {
            a = player();
            b = floor();
        } else {
            b = floor();
            a = player();
        }
        if (a.ms < 0 || b.ms < 0) {
            std::printf("%6d %10s %10s %8s\n", i + 1, a.ms < 0 ? "n/a" : std::to_string(a.ms).c_str(),
                        b.ms < 0 ? "n/a" : std::to_string(b.ms).c_str(), "-");
            continue;
        }
        ours.push_back(a.ms);
        floors.push_back(b.ms);
        ratios.push_back(a.ms / b.ms);
        std::printf("%6d %10.1f %10.1f %8.2f\n", i + 1, a.ms, b.ms, a.ms / b.ms);
    }
    std::printf("%6s %10.1f %10.1f %8.2f\n", "median", Median(ours), Median(floors), Median(ratios));
    XCloseDisplay(dpy);
    return ratios.empty() ? 1 : 0;
}
