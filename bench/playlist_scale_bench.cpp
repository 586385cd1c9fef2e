// A play list at scale: PlayList.info files of 1,000 to 200,000 records in the file's own layout
// (groups of 50, every record pointing at an existing file). For each size, in a process of its
// own: the time to load the file into the settings store, the time to fill the list window
// (headless) and the peak memory; then the ratio of each size to the one before (linear growth
// gives the ratio of the sizes). Then the add of a folder of 10,000 files (what the list's menu
// does), into an empty list and into the list of 200,000, with the time of the save that ends it,
// and on the longer list the deletes and saves the user makes: the longest of these steps of the
// UI thread, and how long the writer thread takes to have the last save on the disk.
//   build/bench/playlist_scale_bench
// With --morvane (needs a display: xvfb-run -a ...) it also starts the real player, its usage
// report and configuration servers at a closed port of 127.0.0.1, with an empty list and with
// 10,000 to 200,000 records, three rounds taking turns, and reports the medians for each size:
// when its main window is mapped (also as a ratio against the empty list of the same run), when
// the list is complete and the peak memory; then the ratio 200k/100k of the completion. The list
// counts as complete when the process has gone idle (no CPU time for 300 ms) after the window was
// mapped: the fill is the only work left at that point. Each size is also started with a start
// file (a clip of one colour, not in the list): when its first frame is on the screen, against
// the empty list's.
#include <X11/Xlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"
#include "support/child.h"
#include "support/temp_dir.h"

// Last: Xlib's macros clash with the names above.
#include "bench_player.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGroupSize = 50;
constexpr int kSizes[] = {1000, 10000, 50000, 100000, 200000};
// The real player's runs: the empty list is the anchor of the others.
constexpr int kPlayerSizes[] = {0, 10000, 50000, 100000, 200000};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A field of /proc/<pid>/status in KiB ("VmHWM", "VmRSS"), 0 when unreadable.
long StatusKiB(const std::string& pid, const char* field) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0 && line[std::string(field).size()] == ':') return std::atol(line.c_str() + line.find(':') + 1);
    return 0;
}

std::string GroupName(int g) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Series %04d", g);
    return buf;
}

std::string EpisodeName(int e) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "Episode %02d - a fairly long title.mkv", e);
    return buf;
}

// The media files: one folder per group of 50.
void MakeMedia(const fs::path& media, int records) {
    for (int i = 0; i < records; ++i) {
        fs::path folder = media / GroupName(i / kGroupSize);
        if (i % kGroupSize == 0) fs::create_directories(folder);
        std::ofstream(folder / EpisodeName(i % kGroupSize + 1));
    }
}

// PlayList.info as the player writes it: sections "file1".."fileN" with their seven keys.
void WritePlayList(const fs::path& file, const fs::path& media, int records) {
    std::string out;
    out.reserve(static_cast<size_t>(records) * 200);
    for (int i = 0; i < records; ++i) {
        const std::string group = GroupName(i / kGroupSize);
        out += "[file" + std::to_string(i + 1) + "]\n";
        out += "strFilePath=" + (media / group / EpisodeName(i % kGroupSize + 1)).string() + "\n";
        out += "bVisible=1\nbError=0\n";
        out += "nPlayTime=" + std::to_string(i % 3000) + "\n";
        out += "nPlayPos=" + std::to_string(i % 1000) + "\n";
        out += "strGroup=" + group + "\n";
        out += "bPlayed=" + std::to_string(i % 7 == 0) + "\n";
    }
    out += "[CurPlay]\nstrFilePath=" + (media / GroupName(0) / EpisodeName(3)).string() + "\n";
    std::ofstream(file, std::ios::binary) << out;
}

// What the list asks of the main window: nothing here.
struct NoOwner : IPlayListOwner {
    HWND GetOwnerWindow() const override { return nullptr; }
    void PlayFile(const std::wstring&) override {}
    void ShowTip(const std::wstring&) override {}
    void EnablePlayNext(bool) override {}
    bool HasMediaPlayer() const override { return false; }
    void ClearCurrentPath() override {}
    void ShowFileInfo(const std::wstring&) override {}
    bool IsListJustShown() const override { return false; }
    void SetListJustShown(bool) override {}
    void AddChildWindow(HWND) override {}
    std::vector<HWND> GetInputWindows() const override { return {}; }
};

// One size in this process: prints "load fill peakKiB windowBytesPerRecord rows".
int RunOne(const fs::path& dir, int records) {
    g_SysConfig.SetConfigPath((dir / "user.cfg").wstring());
    g_SysConfig.SetPlayListPath((dir / "PlayList.info").wstring());
    auto t = Clock::now();
    g_SysConfig.LoadPlayList();
    const double load = Seconds(t);
    if (g_SysConfig.mapPlayList.size() != static_cast<size_t>(records)) return 2;
    const long before = StatusKiB("self", "VmRSS");
    NoOwner owner;
    auto* wnd = new CPlayListWnd(&owner);
    t = Clock::now();
    if (!wnd->CreateHeadless()) return 3;
    wnd->FinishFill();
    const double fill = Seconds(t);
    const long after = StatusKiB("self", "VmRSS");
    const int rows = wnd->GetList()->GetCount();
    std::printf("%.4f %.4f %ld %.0f %d\n", load, fill, StatusKiB("self", "VmHWM"),
                static_cast<double>(after - before) * 1024.0 / records, rows);
    std::fflush(stdout);
    // The process ends here; the window's teardown (and its final save) is not measured.
    std::_Exit(0);
}

// Deletes the rows of one group as the user does (the header selected, then Delete).
void DeleteGroup(CPlayListWnd& wnd, const std::wstring& group) {
    CPlayListUI* list = wnd.GetList();
    list->SelectItem(list->GetItemIndex(list->GetGroup(group)), false, false, false);
    wnd.DeleteSelected();
}

// A folder of files added to the filled list of this many records (0: none), then the UI thread's
// other steps on that list. Each call here is one step of the UI thread or, without a window
// (where an add saves at once rather than in a step of its own), an add and its save together.
// Prints the add, one more save, the delete of a group of 50 and of the folder's group, and how
// long the writer thread took to have the last save on the disk.
int RunFolder(const fs::path& dir, const fs::path& folder, int records) {
    g_SysConfig.SetConfigPath((dir / "user.cfg").wstring());
    g_SysConfig.SetPlayListPath((dir / "PlayList.info").wstring());
    if (records) g_SysConfig.LoadPlayList();
    NoOwner owner;
    auto* wnd = new CPlayListWnd(&owner);
    if (!wnd->CreateHeadless()) return 3;
    wnd->FinishFill();
    if (!g_SysConfig.FlushPlayList()) return 4;
    auto t = Clock::now();
    const int added = wnd->AddFolderAsGroup(skinui::CDuiString::FromUtf8(folder.string()));
    const double add = Seconds(t);
    t = Clock::now();
    wnd->SavePlayList();
    const double save = Seconds(t);
    t = Clock::now();
    if (records) DeleteGroup(*wnd, skinui::CDuiString::FromUtf8(GroupName(records / kGroupSize / 2)));
    const double deleteGroup = records ? Seconds(t) : 0;
    t = Clock::now();
    DeleteGroup(*wnd, skinui::CDuiString::FromUtf8(folder.filename().string()));
    const double deleteFolder = Seconds(t);
    t = Clock::now();
    if (!g_SysConfig.FlushPlayList()) return 4;
    const double written = Seconds(t);
    // What a play asks of the settings store (the resume position): the record of a path, the
    // last one of the list.
    double lookup = 0;
    if (auto lastRecord = g_SysConfig.mapPlayList.find(CPlayListRecords::SectionName(g_SysConfig.mapPlayList.size()));
        lastRecord != g_SysConfig.mapPlayList.end()) {
        const std::wstring last = lastRecord->second.strFilePath;
        constexpr int kLookups = 1000;
        t = Clock::now();
        int found = 0;
        for (int i = 0; i < kLookups; ++i) found += g_SysConfig.mapPlayList.FindByPath(last) != g_SysConfig.mapPlayList.end();
        lookup = Seconds(t) / kLookups;
        if (found != kLookups) return 5;
    }
    std::printf("%.4f %.4f %.4f %.4f %.4f %.9f %d\n", add, save, deleteGroup, deleteFolder, written, lookup, added);
    std::fflush(stdout);
    std::_Exit(0);
}

struct Result {
    double load = 0, fill = 0;
    long peakKiB = 0;
    double windowBytes = 0;
    int rows = 0;
};

bool Measure(const char* self, const fs::path& dir, int records, Result& r) {
    std::string cmd = std::string("'") + self + "' --one '" + dir.string() + "' " + std::to_string(records);
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return false;
    int got = std::fscanf(p, "%lf %lf %ld %lf %d", &r.load, &r.fill, &r.peakKiB, &r.windowBytes, &r.rows);
    int status = ::pclose(p);
    return got == 5 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The X window titled "Morvane" is mapped.
bool MainWindowMapped(Display* dpy) {
    ::Window root, parent, *tops = nullptr;
    unsigned n = 0;
    bool mapped = false;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &tops, &n);
    for (unsigned i = 0; i < n && !mapped; ++i) {
        char* name = nullptr;
        if (XFetchName(dpy, tops[i], &name) && name && std::string(name) == "Morvane") {
            XWindowAttributes a;
            mapped = XGetWindowAttributes(dpy, tops[i], &a) && a.map_state == IsViewable;
        }
        if (name) XFree(name);
    }
    if (tops) XFree(tops);
    return mapped;
}

// User and system time of a process in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::vector<std::string> f;
    size_t pos = close + 2;
    while (pos < stat.size()) {
        size_t sp = stat.find(' ', pos);
        f.push_back(stat.substr(pos, sp - pos));
        if (sp == std::string::npos) break;
        pos = sp + 1;
    }
    // Fields after the name start at "state" (3); utime and stime are 14 and 15.
    if (f.size() < 13) return -1;
    return std::atol(f[11].c_str()) + std::atol(f[12].c_str());
}

struct PlayerRun {
    double mapped = -1, complete = -1, frame = -1;
    long peakKiB = 0;
};

// One start of the player on a list of this many records, in a program folder of its own. With
// a start file the run ends at its first frame on the screen, else when the list is complete.
PlayerRun RunPlayerOnce(Display* dpy, const fs::path& media, int records, const fs::path& startFile = {}) {
    testsupport::TempDir prog;
    fs::create_directories(prog / "rt");
    fs::permissions(prog / "rt", fs::perms::owner_all);
    testsupport::ScopedEnv env1("MORVANE_PROGRAM_DIR", prog.path().string());
    testsupport::ScopedEnv env2("MORVANE_RUNTIME_DIR", (prog / "rt").string());
    testsupport::ScopedEnv env3("MORVANE_REGISTRY_DB", (prog / "reg.db").string());
    // Nothing waits on the network: the servers are a closed port of this machine.
    testsupport::ScopedEnv env4("MORVANE_STATS_SERVER", "http://127.0.0.1:9");
    testsupport::ScopedEnv env5("MORVANE_CONFIG_SERVER", "http://127.0.0.1:9");
    prog.write("user.cfg", "[Global]\nnTopMostMode=2\n");
    if (records) WritePlayList(prog / "PlayList.info", media, records);

    PlayerRun run;
    const auto start = Clock::now();
    std::vector<std::string> argv{std::string(MORVANE_BIN_DIR) + "/morvane"};
    if (!startFile.empty()) argv.push_back(startFile.string());
    testsupport::Child player(argv, "/dev/null");
    long lastTicks = -1;
    auto lastBusy = Clock::now();
    Window wnd = 0;
    while (Seconds(start) < 120) {
        if (run.mapped < 0 && MainWindowMapped(dpy)) run.mapped = Seconds(start);
        if (!startFile.empty()) {
            benchsupport::Area area;
            if (!wnd && run.mapped >= 0) wnd = benchsupport::FindTitled(dpy, DefaultRootWindow(dpy), "Morvane");
            if (wnd && benchsupport::ScreenArea(dpy, wnd, area) && benchsupport::ClipShare(dpy, area) > 0.5) {
                run.frame = Seconds(start);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        long ticks = CpuTicks(player.pid());
        if (ticks < 0) break;
        if (ticks != lastTicks) {
            lastTicks = ticks;
            lastBusy = Clock::now();
        } else if (run.mapped >= 0 && std::chrono::duration<double>(Clock::now() - lastBusy).count() > 0.3) {
            run.complete = std::chrono::duration<double>(lastBusy - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.peakKiB = StatusKiB(std::to_string(player.pid()), "VmHWM");
    player.kill(SIGKILL);
    player.wait();
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

int RunMorvane(const fs::path& media) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "--morvane needs a display\n");
        return 1;
    }
    // The start file's sound goes nowhere, as in the tests: no figure waits for a sound server.
    setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null", 0);
    testsupport::TempDir clips;
    const fs::path clip = clips / "magenta.mp4";
    if (!benchsupport::MakeMagentaClip(clip)) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        return 1;
    }
    constexpr int kRounds = 3;
    constexpr size_t kRuns = std::size(kPlayerSizes);
    std::vector<double> mapped[kRuns], complete[kRuns], peak[kRuns], frame[kRuns];
    for (int round = 0; round < kRounds; ++round)
        for (size_t i = 0; i < kRuns; ++i) {
            PlayerRun r = RunPlayerOnce(dpy, media, kPlayerSizes[i]);
            PlayerRun f = RunPlayerOnce(dpy, media, kPlayerSizes[i], clip);
            if (r.mapped < 0 || r.complete < 0 || f.frame < 0) {
                std::fprintf(stderr, "the player's run with %d records failed\n", kPlayerSizes[i]);
                XCloseDisplay(dpy);
                return 1;
            }
            mapped[i].push_back(r.mapped);
            complete[i].push_back(r.complete);
            peak[i].push_back(r.peakKiB / 1024.0);
            frame[i].push_back(f.frame);
        }
    XCloseDisplay(dpy);
    std::printf("\nmorvane, medians of %d rounds:\n%8s %12s %16s %16s %12s %16s %16s\n", kRounds, "records", "window s",
                "window / empty", "list complete s", "peak MiB", "start file s", "start / empty");
    const double empty = Median(mapped[0]), emptyFrame = Median(frame[0]);
    double complete100k = 0, complete200k = 0;
    for (size_t i = 0; i < kRuns; ++i) {
        std::printf("%8d %12.3f %16.2f %16.3f %12.0f %16.3f %16.2f\n", kPlayerSizes[i], Median(mapped[i]),
                    empty > 0 ? Median(mapped[i]) / empty : 0.0, Median(complete[i]), Median(peak[i]), Median(frame[i]),
                    emptyFrame > 0 ? Median(frame[i]) / emptyFrame : 0.0);
        if (kPlayerSizes[i] == 100000) complete100k = Median(complete[i]);
        if (kPlayerSizes[i] == 200000) complete200k = Median(complete[i]);
    }
    std::printf("list complete 200k/100k: %.2f\n", complete100k > 0 ? complete200k / complete100k : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--one") return RunOne(argv[2], std::atoi(argv[3]));
    if (argc == 5 && std::string(argv[1]) == "--folder") return RunFolder(argv[2], argv[3], std::atoi(argv[4]));
    const bool withPlayer = argc == 2 && std::string(argv[1]) == "--morvane";

    testsupport::TempDir dir;
    const int largest = kSizes[std::size(kSizes) - 1];
    MakeMedia(dir / "media", largest);
    std::vector<Result> results;
    std::printf("%8s %10s %10s %12s %16s\n", "records", "load s", "fill s", "peak MiB", "window B/record");
    for (int n : kSizes) {
        fs::path run = dir / ("run" + std::to_string(n));
        fs::create_directories(run);
        WritePlayList(run / "PlayList.info", dir / "media", n);
        Result r;
        if (!Measure(argv[0], run, n, r)) {
            std::fprintf(stderr, "the run of %d records failed\n", n);
            return 1;
        }
        std::printf("%8d %10.3f %10.3f %12.1f %16.0f\n", n, r.load, r.fill, r.peakKiB / 1024.0, r.windowBytes);
        results.push_back(r);
    }
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    // The window's memory is what its rows took above the loaded settings store.
    auto window = [](const Result& r, int n) { return r.windowBytes * n; };
    for (size_t i = 1; i < results.size(); ++i)
        std::printf("ratios %dk/%dk: load %.1f, fill %.1f, window memory %.1f\n", kSizes[i] / 1000, kSizes[i - 1] / 1000,
                    ratio(results[i].load, results[i - 1].load), ratio(results[i].fill, results[i - 1].fill),
                    ratio(window(results[i], kSizes[i]), window(results[i - 1], kSizes[i - 1])));
    // The window's own making (layout, images) weighs on the small list; one more record costs this.
    const size_t last = results.size() - 1;
    std::printf("window memory of one more record (%dk to %dk): %.0f bytes\n", kSizes[last - 1] / 1000, kSizes[last] / 1000,
                (window(results[last], kSizes[last]) - window(results[last - 1], kSizes[last - 1])) /
                    (kSizes[last] - kSizes[last - 1]));

    constexpr int kFolderFiles = 10000;
    fs::create_directories(dir / "folder");
    for (int i = 0; i < kFolderFiles; ++i) std::ofstream(dir / "folder" / ("Clip " + std::to_string(i) + ".mkv"));
    for (int records : {0, largest}) {
        fs::path run = records ? dir / ("run" + std::to_string(records)) : dir / "empty";
        fs::create_directories(run);
        std::string cmd = std::string("'") + argv[0] + "' --folder '" + run.string() + "' '" + (dir / "folder").string() + "' " +
                          std::to_string(records);
        FILE* p = ::popen(cmd.c_str(), "r");
        double add = 0, save = 0, deleteGroup = 0, deleteFolder = 0, written = 0, lookup = 0;
        int added = 0;
        if (!p ||
            std::fscanf(p, "%lf %lf %lf %lf %lf %lf %d", &add, &save, &deleteGroup, &deleteFolder, &written, &lookup,
                        &added) != 7 ||
            added != kFolderFiles) {
            std::fprintf(stderr, "the folder add failed\n");
            return 1;
        }
        ::pclose(p);
        std::printf("folder of %d files added to a list of %d: %.3f s (its save of the list included); one more save %.3f s\n",
                    kFolderFiles, records, add, save);
        if (!records) continue;
        std::printf("on the list of %d: delete of a group of %d %.3f s, of the folder's group %.3f s; the writer thread "
                    "had the last save on the disk %.3f s after it\n",
                    records + kFolderFiles, kGroupSize, deleteGroup, deleteFolder, written);
        std::printf("longest UI-thread step of add, delete, save: %.3f s; a play's lookup of its record by path "
                    "%.2f us\n",
                    std::max({add, save, deleteGroup, deleteFolder}), lookup * 1e6);
    }
    if (withPlayer) return RunMorvane(dir / "media");
    return 0;
}
