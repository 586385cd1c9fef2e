// Start-up of playback: the time from Open (libVLC instance included) to the first Playing
// event and to the first video frame, for the engine and for cvlc on the same clip, from one
// run each. cvlc's moments are read from its verbose log: the input reports "successfully
// opened" right where it enters the playing state, and the video output logs "using vout display
// module" when its first picture is about to be shown. Needs a display (xvfb-run -a ...).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vlc/vlc.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "player/engine/media_player.h"
#include "support/clips.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(30);

struct Times {
    double playingMs = -1;
    double frameMs = -1;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::atomic<bool> g_playing{false};

void OnPlaying(CMediaPlayer*, unsigned) { g_playing = true; }

Times MeasureEngine(const std::string& clip) {
    Times t;
    CMediaPlayer engine;
    engine.SetPlayingHandler(&OnPlaying);
    const auto start = Clock::now();
    if (!engine.Open(clip)) {
        std::fprintf(stderr, "engine: open failed: %s\n", engine.GetInstanceError().c_str());
        return t;
    }
    while (Clock::now() - start < kTimeout && (t.playingMs < 0 || t.frameMs < 0)) {
        if (t.playingMs < 0 && g_playing) t.playingMs = Ms(Clock::now() - start);
        if (t.frameMs < 0 && libvlc_media_player_has_vout(engine.GetPlayer()) > 0) t.frameMs = Ms(Clock::now() - start);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return t;
}

Times MeasureCvlc(const std::string& clip, const std::vector<std::string>& audioOptions) {
    Times t;
    std::vector<std::string> argv;
    if (geteuid() == 0) {
        // cvlc refuses to run as root.
        argv = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    }
    argv.insert(argv.end(), {"cvlc", "-vv", "--play-and-exit"});
    argv.insert(argv.end(), audioOptions.begin(), audioOptions.end());
    argv.push_back(clip);
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int fds[2];
    if (pipe(fds) != 0) return t;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        std::fprintf(stderr, "cvlc could not be started\n");
        return t;
    }
    std::string pending;
    char buf[8192];
    while (Clock::now() - start < kTimeout && (t.playingMs < 0 || t.frameMs < 0)) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        const double now = Ms(Clock::now() - start);
        pending.append(buf, static_cast<size_t>(n));
        size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (t.playingMs < 0 && line.find("successfully opened") != std::string::npos) t.playingMs = now;
            if (t.frameMs < 0 && line.find("using vout display module") != std::string::npos) t.frameMs = now;
        }
    }
    kill(pid, SIGTERM);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return t;
}

void Row(const char* what, double ours, double theirs) {
    if (ours < 0 || theirs < 0) {
        std::printf("%-28s %10s %10s %8s\n", what, ours < 0 ? "n/a" : std::to_string(ours).c_str(),
                    theirs < 0 ? "n/a" : std::to_string(theirs).c_str(), "-");
        return;
    }
    std::printf("%-28s %10.1f %10.1f %8.2f\n", what, ours, theirs, ours / theirs);
}

}  // namespace

int main() {
    InitVideoThreads();
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "needs a display: xvfb-run -a %s\n", "build/bench/playback_start_bench");
        return 2;
    }
    const std::vector<std::string> audio = {"--aout=alsa", "--alsa-audio-device=null"};
    std::string opts;
    for (const auto& a : audio) opts += a + " ";
    setenv("MORVANE_VLC_OPTIONS", opts.c_str(), 0);

    testsupport::TempDir dir;
    // cvlc may run as another user: the clip must be readable by it.
    chmod(dir.path().c_str(), 0755);
    const auto clip = testsupport::MakeVideoClip(dir / "start.mp4", 5.0);
    chmod(clip.c_str(), 0644);

    // A first cvlc run brings the plug-ins and the clip into the page cache; then each side is
    // measured once with libVLC started afresh in its process.
    MeasureCvlc(clip.string(), audio);
    const Times ours = MeasureEngine(clip.string());
    const Times theirs = MeasureCvlc(clip.string(), audio);

    std::printf("%-28s %10s %10s %8s\n", "from Open (ms)", "engine", "cvlc", "ratio");
    Row("to the first Playing event", ours.playingMs, theirs.playingMs);
    Row("to the first video frame", ours.frameMs, theirs.frameMs);
    return (ours.playingMs < 0 || ours.frameMs < 0) ? 1 : 0;
}
