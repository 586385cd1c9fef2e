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
#include "platform/nsis.h"
#include "platform/shelllink.h"
#include "support/temp_dir.h"

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
    for (const char* built : {"GetInstallChannel", "IsWin10", "KillProcess", "ModifyShortcutParam",
                              "MorvaneWriteFileAssoc", "myFunction"})
        EXPECT_TRUE(exported.count(built)) << built;
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
    for (const char* e : {"ModifyShortcutParam", "KillProcess", "MorvaneWriteFileAssoc"})
        EXPECT_EQ(CallExport(e, {}), "") << e;
    // No marker reads as an empty one: the name up to its last dot, and "nsis_call" has none.
    EXPECT_EQ(CallExport("GetInstallChannel", {}), "\n");
    // Arguments longer than the export's buffers are cut, and what lies below them stays.
    const std::string env = "NSIS_STRING_SIZE=8192";
    EXPECT_EQ(CallExport("GetInstallChannel", {std::string(5000, 'm'), "below"}, MORVANE_NSIS_CALL, env),
              "_360\nbelow\n");
    EXPECT_EQ(CallExport("KillProcess", {std::string(3000, 'k'), "below"}, MORVANE_NSIS_CALL, env), "below\n");
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
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
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
    EXPECT_EQ(CallExport("MorvaneWriteFileAssoc", {folder}, MORVANE_NSIS_CALL, reg.envPrefix()), "");

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
    EXPECT_EQ(ShortcutArguments(root / "Morv.lnk"), "old");
    EXPECT_EQ(ShortcutArguments(root / "Other.lnk"), "old");
    EXPECT_EQ(ShortcutArguments(outside / "Morvane.lnk"), "old");
    EXPECT_EQ(root.read("Notes.lnk.txt"), "not a shortcut");
    EXPECT_EQ(root.read("Broken/Morvane.lnk"), "not a shortcut at all");
}
