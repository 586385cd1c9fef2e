// What the player costs while nothing changes on its screen: the wake-ups (voluntary context
// switches, from /proc/<pid>/task/*/status) and the CPU time (schedstat) of each thread over 10 s,
// with the logo and no medium (with the play list shown, as at a first start, and hidden by its
// handle), paused and playing, beside the floor program (first_frame_floor:
// GTK, a native X11 child and libVLC, nothing else) paused and playing. The pointer rests away
// from the windows. Threads are told apart by name: the main thread and ours ("mv-...") are the
// player's, "gmain", "gdbus" and "pool-..." GLib's, the rest (unnamed, "llvmpipe-...") libVLC's
// and its video output's. Needs a display:
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/bench/idle_bench [seconds]
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "player/engine/media_player.h"
#include "support/clips.h"
#include "support/temp_dir.h"

// Last: Xlib's macros clash with the names above.
#include "bench_player.h"
#include <X11/Xlib.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct ThreadSample {
    std::string name;
    long long switches = 0;  // voluntary
    long long cpuNs = 0;
};

std::string FirstLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    return line;
}

std::map<int, ThreadSample> Sample(pid_t pid) {
    std::map<int, ThreadSample> out;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        ThreadSample s;
        s.name = FirstLine(task.path() / "comm");
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) s.switches = std::atoll(line.c_str() + 24);
        std::istringstream(FirstLine(task.path() / "schedstat")) >> s.cpuNs;
        out[std::atoi(task.path().filename().c_str())] = s;
    }
    return out;
}

enum class Owner { Ours, GLib, Library };

Owner OwnerOf(pid_t pid, int tid, const std::string& name) {
    if (tid == pid || name.rfind("mv-", 0) == 0) return Owner::Ours;
    if (name == "gmain" || name == "gdbus" || name.rfind("pool-", 0) == 0) return Owner::GLib;
    return Owner::Library;
}

struct Figures {
    double ours = 0, glib = 0, library = 0;  // wake-ups a second
    double main = 0;                          // of the main thread
    double cpu = 0;                           // share of one core, whole process
    std::vector<std::pair<std::string, double>> ourThreads;
    double all() const { return ours + glib + library; }
};

Figures Measure(pid_t pid, double seconds) {
    const auto before = Sample(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const auto after = Sample(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    Figures f;
    long long cpu = 0;
    for (const auto& [tid, a] : after) {
        auto it = before.find(tid);
        const ThreadSample b = it == before.end() ? ThreadSample{} : it->second;
        const double rate = static_cast<double>(a.switches - b.switches) / wall;
        cpu += a.cpuNs - b.cpuNs;
        switch (OwnerOf(pid, tid, a.name)) {
        case Owner::Ours:
            f.ours += rate;
            if (rate > 0) f.ourThreads.emplace_back(tid == pid ? "main" : a.name, rate);
            break;
        case Owner::GLib: f.glib += rate; break;
        case Owner::Library: f.library += rate; break;
        }
        if (tid == pid) f.main = rate;
    }
    f.cpu = static_cast<double>(cpu) / 1e9 / wall;
    return f;
}

bool WaitViewable(Display* dpy, const std::string& title, Window* out) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end) {
        Window w = benchsupport::FindTitled(dpy, DefaultRootWindow(dpy), title);
        XWindowAttributes a;
        if (w && XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable) {
            *out = w;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void End(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

// The play list's file stands still while the player is paused (playing, it takes the position).
fs::file_time_type Stamp(const fs::path& p) {
    std::error_code ec;
    return fs::last_write_time(p, ec);
}

void Print(const char* what, const Figures& f) {
    std::printf("%-18s %8.1f %8.1f %8.1f %8.1f %8.1f %7.2f%%   ", what, f.ours, f.main, f.glib, f.library, f.all(),
                f.cpu * 100);
    for (const auto& [name, rate] : f.ourThreads) std::printf(" %s %.1f", name.c_str(), rate);
    std::printf("\n");
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    Display* dpy = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
    if (!dpy) {
        std::fprintf(stderr, "needs a display: xvfb-run -a build/bench/idle_bench\n");
        return 2;
    }
    setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null", 0);
    const std::string bin = MORVANE_BIN_DIR, bench = fs::path(argv[0]).parent_path().string();
    testsupport::TempDir media;
    testsupport::ClipOptions clipOptions;
    clipOptions.seconds = 3 * seconds + 30;
    clipOptions.width = 640;
    clipOptions.height = 360;
    const fs::path clip = testsupport::MakeClip(media / "clip.mp4", clipOptions);
    // The pointer rests in the screen's corner, away from every window.
    XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, DisplayWidth(dpy, DefaultScreen(dpy)) - 1,
                 DisplayHeight(dpy, DefaultScreen(dpy)) - 1);
    XSync(dpy, False);
    const auto settle = std::chrono::seconds(3);

    auto player = [&](bool withClip, bool pause, Figures* f, bool listHidden = false) {
        benchsupport::PlayerHome home;
        if (listHidden) std::ofstream(home.dir / "user.cfg") << "[Global]\nbClickedListHandler=1\n";
        std::vector<std::string> args{bin + "/morvane"};
        if (withClip) args.push_back(clip.string());
        const pid_t pid = testsupport::StartProgram(args);
        Window w = 0;
        if (!pid || !WaitViewable(dpy, "Morvane", &w)) {
            if (pid) End(pid);
            return false;
        }
        std::this_thread::sleep_for(settle);
        if (pause) {
            testsupport::RunProgram({"xdotool", "windowfocus", std::to_string(w)});
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            testsupport::RunProgram({"xdotool", "key", "space"});
            std::this_thread::sleep_for(settle);
        }
        const fs::path list = home.dir / "PlayList.info";
        const auto stamp = Stamp(list);
        *f = Measure(pid, seconds);
        const bool still = Stamp(list) == stamp;
        End(pid);
        if (pause && !still) {
            std::fprintf(stderr, "the player did not pause\n");
            return false;
        }
        return true;
    };
    auto floor = [&](bool pause, Figures* f) {
        std::vector<std::string> args{bench + "/first_frame_floor", "576", "324", clip.string()};
        for (const auto& o : CMediaPlayer::InstanceOptions()) args.push_back(o);
        const pid_t pid = testsupport::StartProgram(args);
        Window w = 0;
        if (!pid || !WaitViewable(dpy, "Floor", &w)) {
            if (pid) End(pid);
            return false;
        }
        std::this_thread::sleep_for(settle);
        if (pause) {
            kill(pid, SIGUSR1);
            std::this_thread::sleep_for(settle);
        }
        *f = Measure(pid, seconds);
        End(pid);
        return true;
    };

    Figures logo, logoNoList, paused, playing, floorPaused, floorPlaying;
    if (!player(false, false, &logo) || !player(false, false, &logoNoList, true) || !player(true, true, &paused) ||
        !player(true, false, &playing) ||
        !floor(true, &floorPaused) || !floor(false, &floorPlaying)) {
        std::fprintf(stderr, "a program did not start, show its window or pause\n");
        return 1;
    }
    std::printf("wake-ups a second over %.0f s (voluntary context switches) and CPU (share of one core)\n", seconds);
    std::printf("%-18s %8s %8s %8s %8s %8s %8s   %s\n", "", "ours", "main", "GLib", "libVLC", "all", "CPU",
                "our threads");
    Print("morvane logo", logo);
    Print("logo, list hidden", logoNoList);
    Print("morvane paused", paused);
    Print("floor paused", floorPaused);
    Print("morvane playing", playing);
    Print("floor playing", floorPlaying);
    std::printf("\nratios against the floor program (same run):\n");
    std::printf("  paused, all wake-ups %.2f, CPU %.2f; main thread's wake-ups %.1f against %.1f\n",
                Ratio(paused.all(), floorPaused.all()), Ratio(paused.cpu, floorPaused.cpu), paused.main,
                floorPaused.main);
    std::printf("  logo against floor paused: all wake-ups %.2f, CPU %.2f\n", Ratio(logo.all(), floorPaused.all()),
                Ratio(logo.cpu, floorPaused.cpu));
    std::printf("  playing, all wake-ups %.2f, CPU %.2f\n", Ratio(playing.all(), floorPlaying.all()),
                Ratio(playing.cpu, floorPlaying.cpu));
    const bool quiet = logo.ours <= 12 && logoNoList.ours <= 12 && paused.ours <= 12;
    std::printf("our threads at most 12 wake-ups a second, idle and paused: %s (logo %.1f, list hidden %.1f, paused %.1f)\n",
                quiet ? "yes" : "NO", logo.ours, logoNoList.ours, paused.ours);
    XCloseDisplay(dpy);
    return 0;
}
