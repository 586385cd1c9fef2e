#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/reg_helper.h"
#include "platform/installer/nsis.h"
#include "platform/shell/shelllink.h"
#include "platform/shell/shell.h"
#include "platform/windows/winuser.h"
#include "support/forward_proxy.h"
#include "support/http_server.h"
#include "support/message_pump.h"
#include "support/program_dir.h"
#include "support/test_window.h"
#include "support/wait_for.h"
#include "support/temp_dir.h"
#include "support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

const std::string kPlugin = std::string(MORVANE_BIN_DIR) + "/wznsis.so";

std::string RunCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
    std::string out;
    char buf[4096];
    while (pipe && fgets(buf, sizeof buf, pipe.get())) out += buf;
    return out;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the installer stand-in (optionally copied under another file name) on one export.
std::string CallExport(const std::string& exportName, const std::vector<std::string>& args,
                       const std::string& caller = MORVANE_NSIS_CALL, const std::string& env = "") {
    std::string cmd = env + " " + Quote(caller) + " " + Quote(kPlugin) + " " + exportName;
    for (const auto& a : args) cmd += " " + Quote(a);
    return RunCommand(cmd);
}

}  // namespace

TEST(PluginExports, OnlyTheNineExportsAreVisible) {
    const std::set<std::string> nine = {"BringToTop",          "DownloadNdFile",        "DownloadNdZipContent",
                                        "GetInstallChannel",   "IsWin10",               "KillProcess",
                                        "ModifyShortcutParam", "MorvaneWriteFileAssoc", "myFunction"};
    std::istringstream lines(RunCommand("nm -D --defined-only " + Quote(kPlugin)));
    std::set<std::string> exported;
    std::string addr, kind, name;
    while (lines >> addr >> kind >> name)
        if (kind == "T" || kind == "D" || kind == "B" || kind == "W" || kind == "V") exported.insert(name);
    ASSERT_FALSE(exported.empty());
    for (const auto& e : exported) EXPECT_TRUE(nine.count(e)) << "unexpected export " << e;
    for (const auto& e : nine) EXPECT_TRUE(exported.count(e)) << "missing export " << e;
}

TEST(PluginExports, InstallChannelComesFromTheInstallersFileName) {
    testsupport::TempDir dir;
    struct Case {
        const char* fileName;
        const char* marker;
        const char* channel;
    } cases[] = {
        {"Morvane_Setup_ch_web01.exe", "_ch_", "web01"},
        {"Morvane_Setup.exe", "_ch_", "_360"},
        {"Morvane_Setup_ch_", "_ch_", ""},
        {"Morvane.v2_ch_tag", "_ch_", ""},
        {"Morvane_Setup.exe", "", "Morvane_Setup"},
        {"Morvane_SETUP_CH_x.exe", "_ch_", "_360"},
        {"a_ch_one_ch_two.exe", "_ch_", "one_ch_two"},
    };
    for (const auto& c : cases) {
        fs::path copy = dir / c.fileName;
        fs::copy_file(MORVANE_NSIS_CALL, copy, fs::copy_options::overwrite_existing);
        EXPECT_EQ(CallExport("GetInstallChannel", {c.marker}, copy.string()), std::string(c.channel) + "\n")
            << c.fileName << " / " << c.marker;
    }
}

TEST(PluginExports, IsWin10FollowsTheReportedVersion) {
    EXPECT_EQ(CallExport("IsWin10", {}, MORVANE_NSIS_CALL, "MORVANE_WINVER=10.0"), "1\n");
    EXPECT_EQ(CallExport("IsWin10", {}, MORVANE_NSIS_CALL, "MORVANE_WINVER=6.1"), "0\n");
}

TEST(PluginExports, MissingAndOverlongArgumentsAreHarmless) {
    // Nothing on the stack: no export crashes or pushes anything but its own result.
    for (const char* e : {"ModifyShortcutParam", "KillProcess", "MorvaneWriteFileAssoc", "BringToTop",
                          "DownloadNdFile", "DownloadNdZipContent"})
        EXPECT_EQ(CallExport(e, {}), "") << e;
    for (const char* e : {"DownloadNdFile", "DownloadNdZipContent"})
        EXPECT_EQ(CallExport(e, {"http://127.0.0.1:9/list.xml"}), "") << e;
    // No marker reads as an empty one: the name up to its last dot, and "nsis_call" has none.
    EXPECT_EQ(CallExport("GetInstallChannel", {}), "\n");
    // Arguments longer than the export's buffers are cut, and what lies below them stays.
    const std::string env = "NSIS_STRING_SIZE=8192";
    EXPECT_EQ(CallExport("GetInstallChannel", {std::string(5000, 'm'), "below"}, MORVANE_NSIS_CALL, env),
              "_360\nbelow\n");
    EXPECT_EQ(CallExport("KillProcess", {std::string(3000, 'k'), "below"}, MORVANE_NSIS_CALL, env), "below\n");
    EXPECT_EQ(CallExport("DownloadNdFile", {"http://127.0.0.1:9/" + std::string(4000, 'd'), "/nonexistent/t", "below"},
                         MORVANE_NSIS_CALL, env),
              "below\n");
}

TEST(PluginExports, KillProcessEndsEveryProcessOfThatName) {
    testsupport::TempDir dir;
    fs::path sleeper = dir / "morvane_sleeper_kp";
    fs::copy_file(MORVANE_TEST_PEER, sleeper);
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            execl(sleeper.c_str(), sleeper.c_str(), "sleep", nullptr);
            _exit(127);
        }
        children.push_back(pid);
    }
    // Both must run under their new name before they are asked for.
    for (pid_t pid : children) {
        const fs::path exe = "/proc/" + std::to_string(pid) + "/exe";
        ASSERT_TRUE(testsupport::WaitFor([&] {
            std::error_code ec;
            return fs::read_symlink(exe, ec) == sleeper;
        }));
    }
    EXPECT_EQ(CallExport("KillProcess", {"morvane_sleeper_kp"}), "");
    for (pid_t pid : children) {
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 100 && done == 0; ++i) {
            done = waitpid(pid, &status, WNOHANG);
            if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (done == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        EXPECT_EQ(done, pid) << "process " << pid << " was not ended";
    }
}

namespace {

struct Registry {
    testsupport::TempDir dir;
    testsupport::ScopedEnv env{"MORVANE_REGISTRY_DB", (dir / "registry.db").string()};
    std::string envPrefix() const { return "MORVANE_REGISTRY_DB=" + Quote((dir / "registry.db").string()); }
    std::string Get(HKEY root, const std::string& key, const std::string& name = "") const {
        std::string out;
        CRegHelper::GetString(root, key, name, out);
        return out;
    }
};

const std::string kUserExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";

}  // namespace

TEST(PluginExports, WriteFileAssocWritesAllSixtyWithTheirIcons) {
    Registry reg;
    testsupport::TempDir install;
    install.write("res/VIDEO.ico", "icon");
    install.write("res/mkv.ico", "icon");
    // A per-user choice of another program, with a subkey: replaced whole.
    CRegHelper::SetString(HKEY_CURRENT_USER, kUserExts + "avi\\UserChoice", "Progid", "Other.avi");
    CRegHelper::SetString(HKEY_CURRENT_USER, kUserExts + "avi\\UserChoice\\Deeper", "x", "y");

    const std::string folder = install.path().string() + "/";
    const std::string runtime = (reg.dir / "run").string();
    EXPECT_EQ(CallExport("MorvaneWriteFileAssoc", {folder}, MORVANE_NSIS_CALL,
                         reg.envPrefix() + " MORVANE_RUNTIME_DIR=" + Quote(runtime)),
              "");
    {
        // One change notice for all sixty, from the installer's process.
        testsupport::ScopedEnv env("MORVANE_RUNTIME_DIR", runtime);
        EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_ASSOCCHANGED), 1);
        EXPECT_EQ(platform::shell::ChangeNoticeCount(), 1);
    }

    const char* sixty[] = {"asf",  "avi",  "wm",    "wmp",  "wmv",  "ram",  "rm",   "rmvb", "rpm",   "rt",
                           "smil", "scm",  "m1v",   "m2v",  "m2p",  "m2ts", "mp2v", "mpe",  "mpeg",  "mpeg1",
                           "mpeg2", "mpg", "mpv",   "pss",  "pva",  "tp",   "tpr",  "ts",   "m4b",   "m4p",
                           "m4v",  "mp4",  "mpeg4", "3g2",  "3gp",  "3gp2", "3gpp", "mov",  "qt",    "f4v",
                           "flv",  "hlv",  "swf",   "ifo",  "vob",  "amv",  "bik",  "csf",  "divx",  "evo",
                           "ivm",  "mkv",  "mod",   "mts",  "ogm",  "pmp",  "tod",  "vp6",  "webm",  "xlmv"};
    for (const char* ext : sixty) {
        const std::string progId = std::string("WZfile_") + ext;
        EXPECT_EQ(reg.Get(HKEY_CLASSES_ROOT, std::string(".") + ext), progId) << ext;
        const std::string icon = reg.Get(HKEY_CLASSES_ROOT, progId + "\\DefaultIcon");
        EXPECT_EQ(icon, folder + "res/" + (std::string(ext) == "mkv" ? "mkv" : "VIDEO") + ".ico") << ext;
        const std::string command = reg.Get(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command");
        EXPECT_NE(command.find(folder + "morvane"), std::string::npos) << command;
        EXPECT_EQ(command.find("//"), std::string::npos) << command;
    }
    EXPECT_EQ(reg.Get(HKEY_CURRENT_USER, kUserExts + "avi\\UserChoice", "Progid"), "WZfile_avi");
    EXPECT_EQ(reg.Get(HKEY_CURRENT_USER, kUserExts + "avi\\UserChoice\\Deeper", "x"), "");
    // Audio extensions are not the installer's.
    EXPECT_EQ(reg.Get(HKEY_CLASSES_ROOT, ".mp3"), "");
}

// An installer loads and unloads the plug-in for every call; the registry's database stays
// open once for all of them, not once more for each.
TEST(PluginExports, CallsInOneInstallerShareOneRegistryConnection) {
    Registry reg;
    testsupport::ScopedEnv runtime("MORVANE_RUNTIME_DIR", (reg.dir / "run").string());
    testsupport::TempDir install;
    const fs::path db = reg.dir / "registry.db";
    auto openOnDb = [&] {
        int n = 0;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (fs::read_symlink(fd.path(), ec) == db) ++n;
        }
        return n;
    };
    for (int call = 0; call < 3; ++call) {
        platform::NsisHost host;
        ASSERT_TRUE(host.Load(kPlugin)) << host.error();
        host.Push(install.path().string());
        ASSERT_TRUE(host.Call("MorvaneWriteFileAssoc"));
    }
    EXPECT_EQ(openOnDb(), 1);
    EXPECT_EQ(reg.Get(HKEY_CLASSES_ROOT, ".mkv"), "WZfile_mkv");
}

TEST(PluginExports, InstallFolderGetsExactlyOneSeparator) {
    for (const char* tail : {"", "/", "//"}) {
        Registry reg;
        testsupport::TempDir install;
        const std::string folder = install.path().string() + tail;
        CallExport("MorvaneWriteFileAssoc", {folder}, MORVANE_NSIS_CALL, reg.envPrefix());
        EXPECT_EQ(reg.Get(HKEY_CLASSES_ROOT, "WZfile_mp4\\DefaultIcon"), install.path().string() + "/res/VIDEO.ico")
            << "tail '" << tail << "'";
    }
}

namespace {

struct ComLink {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    ComLink() {
        CoInitialize(nullptr);
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link));
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    }
    ~ComLink() {
        file->Release();
        link->Release();
        CoUninitialize();
    }
};

void MakeShortcut(const fs::path& path, const char* target, const char* args) {
    fs::create_directories(path.parent_path());
    ComLink l;
    l.link->SetPath(target);
    l.link->SetArguments(args);
    l.file->Save(path.wstring().c_str(), TRUE);
}

std::string ShortcutArguments(const fs::path& path) {
    ComLink l;
    char args[256] = {};
    if (SUCCEEDED(l.file->Load(path.wstring().c_str(), STGM_READ))) l.link->GetArguments(args, sizeof args);
    return args;
}

}  // namespace

TEST(PluginExports, ModifyShortcutParamRewritesTheListedShortcutsOnly) {
    testsupport::TempDir root;
    testsupport::TempDir outside;
    MakeShortcut(root / "Morvane.lnk", "/opt/m/morvane", "old");
    MakeShortcut(root / "Start/Programs/Deep/Morvane Player.LNK", "/opt/m/morvane", "old");
    MakeShortcut(root / "Morv.lnk", "/opt/m/morvane", "old");  // only a substring of a listed title
    MakeShortcut(root / "Other.lnk", "/usr/bin/other", "old");
    root.write("Notes.lnk.txt", "not a shortcut");
    root.write("Broken/Morvane.lnk", "not a shortcut at all");
    // ".lnk" anywhere after the first character makes a shortcut; the title is the name less its extension.
    MakeShortcut(root / "Kept/Morvane.lnk~", "/opt/m/morvane", "old");
    MakeShortcut(root / "Kept/Morvane Player.lnk.1", "/opt/m/morvane", "old");  // title "Morvane Player.lnk"
    MakeShortcut(root / "Kept/.lnk", "/opt/m/morvane", "old");
    MakeShortcut(root / "Kept/Morvane", "/opt/m/morvane", "old");
    MakeShortcut(outside / "Morvane.lnk", "/opt/m/morvane", "old");
    fs::create_directory_symlink(outside.path(), root / "linked");

    platform::NsisHost host;
    ASSERT_TRUE(host.Load(kPlugin)) << host.error();
    host.Push("-s Shortcut");
    host.Push("|Morvane|Morvane Player|");
    host.Push(root.path().string());
    ASSERT_TRUE(host.Call("ModifyShortcutParam"));
    EXPECT_EQ(host.StackDepth(), 0u);

    EXPECT_EQ(ShortcutArguments(root / "Morvane.lnk"), "-s Shortcut");
    EXPECT_EQ(ShortcutArguments(root / "Start/Programs/Deep/Morvane Player.LNK"), "-s Shortcut");
    // Another reader of the format sees the new arguments and the kept target.
    const std::string info = RunCommand("lnkinfo " + Quote((root / "Start/Programs/Deep/Morvane Player.LNK").string()));
    EXPECT_NE(info.find("-s Shortcut"), std::string::npos) << info;
    EXPECT_NE(info.find("/opt/m/morvane"), std::string::npos) << info;
    EXPECT_EQ(ShortcutArguments(root / "Morv.lnk"), "old");
    EXPECT_EQ(ShortcutArguments(root / "Other.lnk"), "old");
    EXPECT_EQ(ShortcutArguments(outside / "Morvane.lnk"), "old");
    EXPECT_EQ(root.read("Notes.lnk.txt"), "not a shortcut");
    EXPECT_EQ(root.read("Broken/Morvane.lnk"), "not a shortcut at all");
    EXPECT_EQ(ShortcutArguments(root / "Kept/Morvane.lnk~"), "-s Shortcut");
    EXPECT_EQ(ShortcutArguments(root / "Kept/Morvane Player.lnk.1"), "old");
    EXPECT_EQ(ShortcutArguments(root / "Kept/.lnk"), "old");
    EXPECT_EQ(ShortcutArguments(root / "Kept/Morvane"), "old");
}

namespace {

// A net-disk link list and the file it names, served on 127.0.0.1, and an installer stand-in
// copied into a folder of its own, where its config.ini lies.
class NdDownloadExports : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(MORVANE_NSIS_CALL, installer);
        program.WriteConfig("[Global Options]\nProxyType=0\n");
        Serve("/client/config/netdisk_patterns.xml", "<ndpattern><id>none</id></ndpattern>", "text/xml");
    }
    void Serve(const std::string& path, const std::string& body, const std::string& type = "application/octet-stream") {
        testsupport::HttpReply r;
        r.contentType = type;
        r.body = body;
        server.Serve(path, r);
    }
    void ServeList(const std::string& path, const std::string& file, const std::string& referer = "") {
        Serve(path,
              "<link><id>1</id><url></url><directurl>" + server.url(file) + "</directurl><referer>" + referer +
                  "</referer><weight>1</weight></link>",
              "text/xml");
    }
    std::string Call(const std::string& name, const std::vector<std::string>& args) {
        return CallExport(name, args, installer.string());
    }

    testsupport::ProgramDir program;
    testsupport::HttpServer server;
    testsupport::ScopedEnv configServer{"MORVANE_CONFIG_SERVER", server.url("")};
    fs::path installer = program / "Morvane_Setup_ch_web.exe";
};

}  // namespace

// The download exports push no result: what the script had on the stack below their two
// arguments is all that is left, and the target on disk tells how the download went.
TEST_F(NdDownloadExports, DownloadNdFileFetchesTheListedFileAndPushesNothing) {
    Serve("/setup/data.bin", testsupport::PatternBytes(0, 300000));
    ServeList("/list.xml", "/setup/data.bin");
    const fs::path target = program / "out" / "data.bin";
    fs::create_directories(target.parent_path());
    EXPECT_EQ(Call("DownloadNdFile", {server.url("/list.xml"), target.string(), "below", "deeper"}),
              "below\ndeeper\n");
    EXPECT_EQ(testsupport::ReadFile(target), testsupport::PatternBytes(0, 300000));

    // A list whose only link is gone, and a list that is gone itself: nothing at the target.
    testsupport::HttpReply missing;
    missing.status = 404;
    server.Serve("/gone.bin", missing);
    ServeList("/bad.xml", "/gone.bin");
    const fs::path other = program / "out" / "other.bin";
    for (const char* list : {"/bad.xml", "/no-such-list.xml"}) {
        EXPECT_EQ(Call("DownloadNdFile", {server.url(list), other.string(), "below"}), "below\n") << list;
        EXPECT_FALSE(fs::exists(other)) << list;
    }
}

TEST_F(NdDownloadExports, DownloadNdZipContentUnpacksIntoTheFolder) {
    const fs::path zip = program / "pack.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "res/VIDEO.ico", .data = "icon"}, {.name = "readme.txt", .data = "hi"}}));
    Serve("/pack.zip", testsupport::ReadFile(zip));
    ServeList("/zip.xml", "/pack.zip");
    const fs::path folder = program / "install" / "deeper";
    EXPECT_EQ(Call("DownloadNdZipContent", {server.url("/zip.xml"), folder.string(), "below"}), "below\n");
    EXPECT_EQ(testsupport::ReadFile(folder / "res" / "VIDEO.ico"), "icon");
    EXPECT_EQ(testsupport::ReadFile(folder / "readme.txt"), "hi");

    // A download that is no archive: nothing is unpacked, and the stack is as before.
    Serve("/notzip.bin", "plain bytes");
    ServeList("/notzip.xml", "/notzip.bin");
    const fs::path other = program / "other";
    EXPECT_EQ(Call("DownloadNdZipContent", {server.url("/notzip.xml"), other.string(), "below"}), "below\n");
    EXPECT_TRUE(!fs::exists(other) || fs::is_empty(other));
}

// An archive that would write outside the folder through names with NUL bytes: its other
// entries are unpacked, nothing lands outside, and the failed archive is kept in the temporary
// folder rather than deleted.
TEST_F(NdDownloadExports, DownloadNdZipContentWritesNothingOutsideTheFolder) {
    using namespace std::string_literals;
    const fs::path zip = program / "hostile.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "readme.txt", .data = "hi"},
                                            {.name = "x", .data = "evil", .rawName = "..\0/..\0/evil"s},
                                            {.name = "x", .data = "evil", .rawName = "..\0\\..\0\\evil2"s}}));
    Serve("/hostile.zip", testsupport::ReadFile(zip));
    ServeList("/hostile.xml", "/hostile.zip");
    const fs::path base = program / "base";
    const fs::path folder = base / "install" / "deeper";
    const fs::path temp = base / "tmp";
    fs::create_directories(temp);
    CallExport("DownloadNdZipContent", {server.url("/hostile.xml"), folder.string()}, installer.string(),
               "TMPDIR=" + Quote(temp.string()));
    std::set<std::string> written;
    for (auto& e : fs::recursive_directory_iterator(base)) written.insert(fs::relative(e.path(), base).string());
    std::set<std::string> kept;
    for (auto& e : fs::directory_iterator(temp)) kept.insert(testsupport::ReadFile(e.path()));
    EXPECT_EQ(kept, std::set<std::string>{testsupport::ReadFile(zip)});
    for (auto& e : fs::directory_iterator(temp)) written.erase(fs::relative(e.path(), base).string());
    EXPECT_EQ(written, (std::set<std::string>{"install", "install/deeper", "install/deeper/readme.txt", "tmp"}));
}

TEST_F(NdDownloadExports, AProxyProgramNamedBesideTheInstallerIsNeverStarted) {
    testsupport::ForwardProxy proxy;
    ASSERT_TRUE(proxy.running());
    const fs::path marker = program / "proxy-started";
    const fs::path script = program.dir().write("proxy.sh", "#!/bin/sh\necho started >> " + marker.string() + "\n");
    fs::permissions(script, fs::perms::owner_all);
    program.WriteConfig("[Global Options]\nProxyType=3\nLocalProxyPort=" + std::to_string(proxy.port()) +
                        "\nAutoStartProxy=1\nProxySoftPath=" + script.string() + "\n");
    Serve("/v.bin", "video bytes");
    // A referer of a site whose downloads take the local proxy.
    ServeList("/list.xml", "/v.bin", "http://www.kanpian.tv/play/1");
    const fs::path target = program / "v.bin";
    EXPECT_EQ(Call("DownloadNdFile", {server.url("/list.xml"), target.string()}), "");
    EXPECT_EQ(testsupport::ReadFile(target), "video bytes");
    // The file came through the local proxy port, yet its program was not started by us.
    ASSERT_EQ(server.count("/v.bin"), 1u);
    EXPECT_TRUE(server.requests("/v.bin").front().has_header("Via"));
    testsupport::PumpFor(500);
    EXPECT_FALSE(fs::exists(marker));
}

TEST(PluginBringToTop, ShowsTheInstallersWindowAndGivesItTheForeground) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime("MORVANE_RUNTIME_DIR", (dir / "run").string());
    testsupport::TestWindow other(WS_POPUP, 0, nullptr, {10, 10, 210, 160}, nullptr, L"Other program");
    ShowWindow(other.hwnd(), SW_SHOW);
    SetForegroundWindow(other.hwnd());
    testsupport::TestWindow installer(WS_POPUP, 0, nullptr, {40, 40, 300, 200}, nullptr, L"Morvane Setup");
    ASSERT_FALSE(IsWindowVisible(installer.hwnd()));
    ASSERT_EQ(GetForegroundWindow(), other.hwnd());

    platform::NsisHost host;
    ASSERT_TRUE(host.Load(kPlugin)) << host.error();
    host.Push("kept");
    ASSERT_TRUE(host.Call("BringToTop", installer.hwnd()));
    // The plug-in reaches the window as another module would: through the window station.
    EXPECT_TRUE(testsupport::PumpUntil(
        [&] { return IsWindowVisible(installer.hwnd()) && GetForegroundWindow() == installer.hwnd(); }));
    EXPECT_EQ(host.Pop(), std::optional<std::string>("kept"));
}
