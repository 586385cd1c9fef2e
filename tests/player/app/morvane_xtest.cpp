// The real program under Xvfb with a temporary program folder: it opens its window, plays the
// clip it is given into the video surface, hands a second start's file over to the running
// instance, saves the play list when it closes and resumes the position on the next start; it
// ends at once when closed, also while its statistics server does not answer.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/profile/profile.h"
#include "platform/windows/winuser.h"
#include "player/main_window/main_wnd.h"
#include "support/child.h"
#include "support/clips.h"
#include "support/hostile_client.h"
#include "support/http_server.h"
#include "support/runtime_folders.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"
#include "support/x_windows.h"
#include "support/xdnd.h"

namespace fs = std::filesystem;
using testsupport::Child;
using testsupport::WaitFor;

namespace {

// The current folder of this process, and so of the players it starts, for one scope.
class ScopedCwd {
public:
    explicit ScopedCwd(const fs::path& folder) : old_(fs::current_path()) { fs::current_path(folder); }
    ~ScopedCwd() { fs::current_path(old_); }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    fs::path old_;
};

// The request library beside the program, and a statistics server that takes every request and
// never answers.
struct SilentStatsServer {
    explicit SilentStatsServer(const testsupport::TempDir& program) {
        fs::copy_file(fs::path(MORVANE_BIN_DIR) / "WZUpdate.so", program.path() / "WZUpdate.so");
        program.write("config.ini", "[Global Options]\nProxyType=0\n");
        server.Fallback([](const testsupport::HttpRequest&) {
            testsupport::HttpReply r;
            r.silent = true;
            return r;
        });
    }
    testsupport::HttpServer server;
    testsupport::ScopedEnv env{"MORVANE_STATS_SERVER", server.url("")};
};

std::string Program() { return std::string(MORVANE_BIN_DIR) + "/morvane"; }

// A clip of one flat colour: what the video surface shows tells which clip plays.
fs::path MakeColourClip(const fs::path& path, const char* colour, double seconds) {
    testsupport::ClipOptions o;
    o.colour = colour;
    o.seconds = seconds;
    o.audioTracks = 0;
    return testsupport::MakeClip(path, o);
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<unsigned long> px;
    size_t Distinct() const { return std::set<unsigned long>(px.begin(), px.end()).size(); }
    // Share of pixels close to the colour 0xRRGGBB.
    double ShareNear(unsigned long rgb) const {
        if (px.empty()) return 0;
        size_t n = 0;
        for (unsigned long p : px) {
            int dr = static_cast<int>((p >> 16) & 0xFF) - static_cast<int>((rgb >> 16) & 0xFF);
            int dg = static_cast<int>((p >> 8) & 0xFF) - static_cast<int>((rgb >> 8) & 0xFF);
            int db = static_cast<int>(p & 0xFF) - static_cast<int>(rgb & 0xFF);
            if (std::abs(dr) < 60 && std::abs(dg) < 60 && std::abs(db) < 60) ++n;
        }
        return static_cast<double>(n) / static_cast<double>(px.size());
    }
};

class MorvaneX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = new testsupport::TempDir();
        fs::create_directories(*base_ / "rt");
        ::chmod((*base_ / "rt").c_str(), 0700);
        // This process and the players share the window station, so set before any window call.
        env_.push_back(std::make_unique<testsupport::ScopedEnv>("MORVANE_RUNTIME_DIR", (*base_ / "rt").string()));
        env_.push_back(std::make_unique<testsupport::ScopedEnv>("MORVANE_REGISTRY_DB", (*base_ / "reg.db").string()));
        env_.push_back(std::make_unique<testsupport::ScopedEnv>(
            "MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save"));
        testsupport::MakeVideoClip(*base_ / "pattern.mp4", 10.0);
        MakeColourClip(*base_ / "red.mp4", "red", 10.0);
    }
    static void TearDownTestSuite() {
        env_.clear();
        delete base_;
        base_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(platform::HasDisplay());
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
        prog_ = std::make_unique<testsupport::TempDir>();
        progEnv_ = std::make_unique<testsupport::ScopedEnv>("MORVANE_PROGRAM_DIR", prog_->path().string());
        prog_->write("user.cfg", "[Global]\nbSavePlayInfo=1\nbScalePlayWnd=0\nnTopMostMode=2\n");
        // A pointer left over the player by an earlier test brings its bars over the video.
        testsupport::RunProgram({"xdotool", "mousemove", "1500", "950"});
    }
    void TearDown() override {
        players_.clear();
        if (dpy_) XCloseDisplay(dpy_);
    }

    Child& Start(const std::vector<std::string>& args) {
        std::vector<std::string> argv{Program()};
        argv.insert(argv.end(), args.begin(), args.end());
        players_.push_back(std::make_unique<Child>(argv));
        return *players_.back();
    }
    static int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

    // The running instance's window, as a second start finds it.
    HWND WaitForInstance() {
        HWND found = nullptr;
        WaitFor([&] { return (found = FindRunningInstanceWindow()) != nullptr; });
        return found;
    }
    int CountInstances() {
        int n = 0;
        for (HWND h = GetWindow(GetDesktopWindow(), GW_CHILD); h && IsWindow(h); h = GetWindow(h, GW_HWNDNEXT))
            if (GetPropW(h, kMainWndProp)) ++n;
        return n;
    }

    ::Window MainXWindow() {
        std::vector<::Window> main = testsupport::TopLevelsNamed(dpy_, "Morvane");
        return main.empty() ? 0 : main.front();
    }

    // The video surface: the largest mapped child of an X window titled "Morvane".
    ::Window VideoSurface() {
        ::Window best = 0;
        long bestArea = 0;
        for (::Window main : testsupport::TopLevelsNamed(dpy_, "Morvane")) {
            ::Window r2, p2, *kids = nullptr;
            unsigned k = 0;
            XQueryTree(dpy_, main, &r2, &p2, &kids, &k);
            for (unsigned j = 0; j < k; ++j) {
                XWindowAttributes a;
                if (!XGetWindowAttributes(dpy_, kids[j], &a) || a.map_state != IsViewable) continue;
                if (static_cast<long>(a.width) * a.height > bestArea) {
                    bestArea = static_cast<long>(a.width) * a.height;
                    best = kids[j];
                }
            }
            if (kids) XFree(kids);
        }
        return bestArea > 100 * 100 ? best : 0;
    }
    Pixels Grab(::Window w) {
        Pixels out;
        XWindowAttributes a;
        if (!w || !XGetWindowAttributes(dpy_, w, &a) || a.map_state != IsViewable) return out;
        XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        XImage* img = XGetImage(dpy_, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes,
                                ZPixmap);
        XSync(dpy_, False);
        XSetErrorHandler(old);
        if (!img) return out;
        out.width = a.width;
        out.height = a.height;
        for (int y = 0; y < a.height; y += 4)
            for (int x = 0; x < a.width; x += 4) out.px.push_back(XGetPixel(img, x, y) & 0xFFFFFF);
        XDestroyImage(img);
        return out;
    }
    bool ShowsPattern() { return Grab(VideoSurface()).Distinct() > 20; }
    bool ShowsRed() { return Grab(VideoSurface()).ShareNear(0xFF0000) > 0.5; }

    std::wstring PlayListValue(const std::wstring& section, const std::wstring& key) {
        wchar_t buf[1024] = {};
        std::wstring file = (prog_->path() / "PlayList.info").wstring();
        GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buf, 1024, file.c_str());
        return buf;
    }
    // The PlayList.info section whose file is `clip`, empty when none.
    std::wstring SectionOf(const fs::path& clip) { return SectionOf(clip.wstring()); }
    std::wstring SectionOf(const std::wstring& clip) {
        for (int n = 1; n < 20; ++n) {
            std::wstring s = L"file" + std::to_wstring(n);
            if (PlayListValue(s, L"strFilePath") == clip) return s;
        }
        return L"";
    }

    static testsupport::TempDir* base_;
    static std::vector<std::unique_ptr<testsupport::ScopedEnv>> env_;
    Display* dpy_ = nullptr;
    std::unique_ptr<testsupport::TempDir> prog_;
    std::unique_ptr<testsupport::ScopedEnv> progEnv_;
    std::vector<std::unique_ptr<Child>> players_;
};

testsupport::TempDir* MorvaneX::base_ = nullptr;
std::vector<std::unique_ptr<testsupport::ScopedEnv>> MorvaneX::env_;

TEST_F(MorvaneX, PlaysHandsOverSavesAndResumes) {
    const fs::path pattern = *base_ / "pattern.mp4", red = *base_ / "red.mp4";
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    wchar_t title[64] = {};
    GetWindowTextW(wnd, title, 64);
    EXPECT_STREQ(title, L"Morvane");
    EXPECT_EQ(GetPropW(wnd, kMainWndProp), reinterpret_cast<HANDLE>(1));
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); })) << "the clip never showed in the video surface";

    // A second start hands its file over and ends.
    Child& second = Start({red.string()});
    EXPECT_EQ(ExitCode(second.wait()), 0);
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the first instance did not play the handed-over file";
    EXPECT_EQ(CountInstances(), 1);

    // Let the red clip get into its length, then close.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);

    EXPECT_FALSE(SectionOf(pattern).empty());
    std::wstring redSection = SectionOf(red);
    ASSERT_FALSE(redSection.empty());
    EXPECT_EQ(PlayListValue(L"CurPlay", L"strFilePath"), red.wstring());
    const int saved = std::stoi(PlayListValue(redSection, L"nPlayPos"));
    EXPECT_GT(saved, 0);

    // The next start resumes there: closed as soon as it shows, it has moved on from the stored point.
    Child& again = Start({red.string()});
    HWND wnd2 = WaitForInstance();
    ASSERT_NE(wnd2, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    PostMessageW(wnd2, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(again.wait()), 0);
    EXPECT_GE(std::stoi(PlayListValue(SectionOf(red), L"nPlayPos")), saved);
}

// A long stored list is read while the window shows: a second start's file and the close that
// come meanwhile meet the whole list (the file's own record is found, nothing is lost).
TEST_F(MorvaneX, AHandOverAndACloseWhileALongListIsReadMeetTheWholeList) {
    constexpr int kRecords = 100000, kRed = 60000;
    const fs::path red = *base_ / "red.mp4";
    std::string list;
    for (int n = 1; n <= kRecords; ++n) {
        const std::string path = n == kRed ? red.string() : (*base_ / ("missing/e" + std::to_string(n) + ".mkv")).string();
        list += "[file" + std::to_string(n) + "]\nstrFilePath=" + path +
                "\nbVisible=1\nbError=0\nnPlayTime=0\nnPlayPos=" + std::to_string(n == kRed ? 1 : 0) +
                "\nstrGroup=\nbPlayed=0\n";
    }
    prog_->write("PlayList.info", list);
    Child& first = Start({});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    Child& second = Start({red.string()});
    EXPECT_EQ(ExitCode(second.wait()), 0);
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the handed-over file did not play";
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);

    const platform::ProfileSnapshot saved((prog_->path() / "PlayList.info").wstring());
    size_t records = 0, reds = 0;
    for (int n = 1;; ++n) {
        std::wstring path;
        if (!saved.ReadString(L"file" + std::to_wstring(n), L"strFilePath", path)) break;
        ++records;
        reds += path == red.wstring();
    }
    EXPECT_EQ(records, static_cast<size_t>(kRecords));
    EXPECT_EQ(reds, 1u);
    EXPECT_EQ(saved.ReadString(L"file" + std::to_wstring(kRed), L"strFilePath", L""), red.wstring());
    EXPECT_EQ(saved.ReadString(L"CurPlay", L"strFilePath", L""), red.wstring());
}

TEST_F(MorvaneX, SecondStartWithoutFileOnlyRaises) {
    const fs::path pattern = *base_ / "pattern.mp4";
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); }));

    Child& second = Start({});
    EXPECT_EQ(ExitCode(second.wait()), 0);
    EXPECT_EQ(CountInstances(), 1);
    EXPECT_TRUE(ShowsPattern());
    EXPECT_EQ(PlayListValue(L"file2", L"strFilePath"), L"");

    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);
}

TEST_F(MorvaneX, ClosingAppliesTheClearOption) {
    const fs::path pattern = *base_ / "pattern.mp4", gone = *base_ / "gone.mp4";
    prog_->write("user.cfg", "[Global]\nbSavePlayInfo=1\nnTopMostMode=2\nbClearInvalidFile=1\n");
    prog_->write("PlayList.info", "[file1]\nstrFilePath=" + gone.string() + "\n[file2]\nstrFilePath=" +
                                      pattern.string() + "\n");
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); }));
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);
    EXPECT_EQ(SectionOf(pattern), L"file1");
    EXPECT_TRUE(SectionOf(gone).empty());
}

// Closing at once, while the medium or libVLC itself still starts (without a file libVLC starts
// beside the running window), and a libVLC that cannot start at all: the window is there and
// closes as ever.
TEST_F(MorvaneX, ClosingDuringStartUpAndALibvlcThatCannotStart) {
    const std::string pattern = (*base_ / "pattern.mp4").string();
    struct Case {
        std::vector<std::string> args;
        const char* options;
    } cases[] = {
        {{pattern}, "--aout=alsa --alsa-audio-device=null"},
        {{}, "--aout=alsa --alsa-audio-device=null"},
        {{pattern}, "--morvane-no-such-option"},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.args.empty() ? "no file, " : "a file, ") + c.options;
        testsupport::ScopedEnv vlc("MORVANE_VLC_OPTIONS", c.options);
        Child& player = Start(c.args);
        HWND wnd = WaitForInstance();
        ASSERT_NE(wnd, nullptr) << what;
        PostMessageW(wnd, WM_CLOSE, 0, 0);
        int status = -1;
        ASSERT_TRUE(player.waitFor(&status, std::chrono::seconds(10))) << what;
        EXPECT_EQ(ExitCode(status), 0) << what;
        EXPECT_EQ(CountInstances(), 0) << what;
    }
}

TEST_F(MorvaneX, DroppedFilePlays) {
    const fs::path pattern = *base_ / "pattern.mp4", red = *base_ / "red.mp4";
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); }));
    ASSERT_TRUE(testsupport::XdndDrop(MainXWindow(), 40, 40, "file://" + red.string() + "\r\n"));
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the dropped file did not play";
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);
    EXPECT_FALSE(SectionOf(red).empty());
}

TEST_F(MorvaneX, ClosingEndsAtOnceWhileTheStatisticsServerHangs) {
    SilentStatsServer stats(*prog_);

    const fs::path pattern = *base_ / "pattern.mp4", red = *base_ / "red.mp4";
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); }));
    ASSERT_TRUE(stats.server.WaitForRequests(1, "/morvane/register.php"));

    PostMessageW(wnd, WM_CLOSE, 0, 0);
    // A second start right behind the close plays its file in an instance of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Child& second = Start({red.string()});
    int status = 0;
    ASSERT_TRUE(first.waitFor(&status, std::chrono::seconds(5))) << "the closed player hangs on its report";
    EXPECT_EQ(ExitCode(status), 0);
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the second start's file never played";
    HWND running = WaitForInstance();
    ASSERT_NE(running, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(running, &owner);
    EXPECT_EQ(owner, static_cast<DWORD>(second.pid()));

    ASSERT_TRUE(stats.server.WaitForRequests(2, "/morvane/register.php"));
    PostMessageW(running, WM_CLOSE, 0, 0);
    ASSERT_TRUE(second.waitFor(&status, std::chrono::seconds(5)));
    EXPECT_EQ(ExitCode(status), 0);
    EXPECT_FALSE(SectionOf(red).empty());
}

TEST_F(MorvaneX, FilesNamedRelativeToTheCallersFolderPlayAndAreKeptAbsolute) {
    // Each start from a folder of its own; neither file can be found from the other folder.
    const fs::path a = *base_ / "from-a", b = *base_ / "from-b";
    fs::create_directories(a);
    fs::create_directories(b);
    fs::copy_file(*base_ / "pattern.mp4", a / "p.mp4", fs::copy_options::overwrite_existing);
    fs::copy_file(*base_ / "red.mp4", b / "r.mp4", fs::copy_options::overwrite_existing);

    Child* first = nullptr;
    {
        ScopedCwd cwd(a);
        first = &Start({"p.mp4"});
    }
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); }));
    {
        ScopedCwd cwd(b);
        Child& second = Start({"r.mp4"});
        EXPECT_EQ(ExitCode(second.wait()), 0);
    }
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the running instance did not find the handed-over file";
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first->wait()), 0);
    EXPECT_FALSE(SectionOf(a / "p.mp4").empty());
    EXPECT_FALSE(SectionOf(b / "r.mp4").empty());
    EXPECT_EQ(PlayListValue(L"CurPlay", L"strFilePath"), (b / "r.mp4").wstring());
}

// Names Linux allows that the command line must carry whole: a quote, a backslash before a
// quote, blanks, Chinese, and a path longer than 260 characters.
TEST_F(MorvaneX, NamesWithQuotesAndLongPathsPlayFromTheTerminalAndThroughAHandOver) {
    const fs::path names = *base_ / "names";
    const fs::path deep = names / std::string(150, 'd') / std::string(150, 'e');
    fs::create_directories(deep);
    const fs::path pattern = names / "q\"t \\\"片 名.mp4", red = deep / "r\\\"e d\".mp4";
    fs::copy_file(*base_ / "pattern.mp4", pattern, fs::copy_options::overwrite_existing);
    fs::copy_file(*base_ / "red.mp4", red, fs::copy_options::overwrite_existing);
    ASSERT_GT(red.string().size(), 300u);

    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ShowsPattern(); })) << "the file named from the terminal did not play";
    Child& second = Start({red.string()});
    EXPECT_EQ(ExitCode(second.wait()), 0);
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the handed-over file did not play";
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);
    EXPECT_FALSE(SectionOf(platform::WideFromUtf8(pattern.string())).empty());
    EXPECT_FALSE(SectionOf(platform::WideFromUtf8(red.string())).empty());
    EXPECT_EQ(PlayListValue(L"CurPlay", L"strFilePath"), platform::WideFromUtf8(red.string()));
}

TEST_F(MorvaneX, EndingTheLoopOtherwiseWhileTheStatisticsServerHangsAlsoEndsAtOnce) {
    SilentStatsServer stats(*prog_);
    Child& player = Start({(*base_ / "pattern.mp4").string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(stats.server.WaitForRequests(1, "/morvane/register.php"));
    // The loop ends without a close: the window goes, the tail runs, the report is given up.
    PostMessageW(wnd, WM_QUIT, 0, 0);
    int status = 0;
    ASSERT_TRUE(player.waitFor(&status, std::chrono::seconds(5))) << "the player waits for its report";
    EXPECT_EQ(ExitCode(status), 0);
    EXPECT_FALSE(fs::exists(prog_->path() / "crash.report"));
    EXPECT_FALSE(SectionOf(*base_ / "pattern.mp4").empty());
}

TEST_F(MorvaneX, FiftySecondStartsAtOnceAllReachThePlayList) {
    const fs::path pattern = *base_ / "pattern.mp4";
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);

    constexpr int kStarts = 50;
    std::vector<fs::path> files;
    std::vector<Child*> seconds;
    for (int i = 0; i < kStarts; ++i) {
        files.push_back(prog_->path() / ("start" + std::to_string(i) + ".mp4"));
        fs::create_hard_link(pattern, files.back());
    }
    for (const fs::path& f : files) seconds.push_back(&Start({f.string()}));
    // Each waits its turn behind the others; the bound only catches one that never ends.
    for (int i = 0; i < kStarts; ++i) {
        int status = 0;
        ASSERT_TRUE(seconds[i]->waitFor(&status, std::chrono::minutes(5))) << files[i];
        EXPECT_EQ(ExitCode(status), 0) << files[i];
    }
    EXPECT_EQ(CountInstances(), 1);

    PostMessageW(wnd, WM_CLOSE, 0, 0);
    int status = 0;
    ASSERT_TRUE(first.waitFor(&status, std::chrono::minutes(2)));
    EXPECT_EQ(ExitCode(status), 0);
    const std::string list = testsupport::ReadFile(prog_->path() / "PlayList.info");
    for (const fs::path& f : files) EXPECT_NE(list.find("strFilePath=" + f.string() + "\n"), std::string::npos) << f;
}

TEST_F(MorvaneX, PointerMessagesOfAnotherProcessLeaveThePlayerUp) {
    const fs::path pattern = *base_ / "pattern.mp4", red = *base_ / "red.mp4";
    Child& first = Start({pattern.string()});
    HWND wnd = WaitForInstance();
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(testsupport::SendRawFromAnotherProcess(wnd, testsupport::PointerMessages()), 0);
    // Its own message for work of its threads passes as a number, and runs only its own work.
    EXPECT_EQ(testsupport::SendRawFromAnotherProcess(wnd, {{"run on UI", WM_PLAYER_RUN_ON_UI, 0x4141414141, 0}}), 2);

    // Still up, and still taking a hand-over.
    Child& second = Start({red.string()});
    EXPECT_EQ(ExitCode(second.wait()), 0);
    ASSERT_TRUE(WaitFor([&] { return ShowsRed(); })) << "the player did not play the handed-over file";
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(first.wait()), 0);
}

TEST_F(MorvaneX, ARuntimeFolderItCannotTrustIsNamedAndThePlayerStillPlays) {
    const fs::path pattern = *base_ / "pattern.mp4";
    testsupport::TempDir folders;
    for (const auto& folder : testsupport::MakeUntrustedRuntimeFolders(folders.path())) {
        SCOPED_TRACE(folder.what);
        testsupport::ScopedEnv runtime("MORVANE_RUNTIME_DIR", folder.path.string());
        const fs::path errors = folders.path() / "stderr.txt";
        players_.push_back(std::make_unique<Child>(std::vector<std::string>{Program(), pattern.string()}, errors.string()));
        // Unseen by the station, it is found on the screen.
        EXPECT_TRUE(WaitFor([&] { return ShowsPattern(); }));
        const std::string said = testsupport::ReadFile(errors);
        EXPECT_EQ(said.rfind("morvane: the runtime folder ", 0), 0u) << said;
        EXPECT_NE(said.find(folder.why), std::string::npos) << said;
        players_.clear();
        WaitFor([&] { return VideoSurface() == 0; });
    }
}

}  // namespace
