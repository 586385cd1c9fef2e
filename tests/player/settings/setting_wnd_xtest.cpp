// The settings window under Xvfb: real keys, wheel and clicks through xdotool, the real agent
// writing associations into the test's registry database, user.cfg in a temporary program folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "common/agent_window.h"
#include "download/process_finder.h"
#include "platform/text/codepage.h"
#include "platform/profile/profile.h"
#include "player/settings/file_assoc_client.h"
#include "player/main_window/main_wnd.h"
#include "player/settings/setting_wnd.h"
#include "player/settings/sys_config.h"
#include "../skin_window/skin_x.h"
#include "skinui/controls.h"
#include "support/dialog_answer.h"
#include "support/agent_env.h"
#include "support/clips.h"
#include "support/desktop_env.h"
#include "support/wait_for.h"
#include "support/x_windows.h"
#include "support/test_window.h"

using namespace skinui;
using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

std::string AllAssocOff() {
    std::string s = "[FileAssoc]\n";
    for (const wchar_t* e : AssocExtensions) s += platform::Utf8FromWide(e) + "=0\n";
    for (const wchar_t* c : AssocCategoryNames) s += platform::Utf8FromWide(c) + "=0\n";
    return s;
}

class SettingWndX : public skinx::SkinX {
protected:
    void SetUp() override {
        SkinX::SetUp();
        // The owner is on screen first, so that it cannot be mapped over the settings window.
        WaitShown(main.hwnd());
        cfg = env.InProgram("user.cfg");
        env.program().dir().write("user.cfg", AllAssocOff());
        g_SysConfig = CSysConfig();
        g_SysConfig.SetConfigPath(cfg);
        g_SysConfig.SetPlayListPath(env.InProgram("PlayList.info"));
        g_SysConfig.Load();
        g_hAgentWnd = nullptr;
        wnd.SetMainWindow({main.hwnd(), [this] { ++rectSaves; }, [this] { ++fits; }, [] { return CurrentMedia{}; }, nullptr});
        ASSERT_NE(wnd.CreateHidden(main.hwnd()), nullptr) << CDuiString(GetLastErrorMessage()).ToUtf8();
    }
    void TearDown() override {
        if (wnd.GetHWND()) DestroyWindow(wnd.GetHWND());
        CProcessFinder finder(FinderVariant::Player);
        finder.Load();
        CloseElevatedHelper(finder);
        SkinX::TearDown();
    }
    void Show() {
        wnd.ShowOverMain();
        WaitShown(wnd.GetHWND());
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == wnd.GetHWND(); }));
    }
    CControlUI* Find(const wchar_t* name) { return wnd.GetPaintManager()->FindControl(name); }
    void ClickOn(const wchar_t* name) { Click(wnd.GetHWND(), Find(name)); }
    void ShowPage(const wchar_t* button, int page) {
        ClickOn(button);
        ASSERT_TRUE(PumpUntil([&] { return wnd.Pages().CurrentPage() == page; }));
        PumpFor(50);
    }
    std::wstring GetProfileText(const wchar_t* key) {
        CIniFile f;
        f.SetPath(cfg);
        return f.ReadString(L"Global", key, L"");
    }
    int Stored(const wchar_t* section, const wchar_t* key) {
        return GetPrivateProfileIntW(section, key, -7, cfg.c_str());
    }

    testsupport::AgentEnv env;
    std::wstring cfg;
    testsupport::TestWindow main{WS_POPUP | WS_VISIBLE, 0, nullptr, {0, 0, 900, 700}};
    CSettingWnd wnd;
    int rectSaves = 0, fits = 0;
};

TEST_F(SettingWndX, CreatedHiddenAndCentredOnItsOwner) {
    PumpFor(200);
    EXPECT_FALSE(IsWindowVisible(wnd.GetHWND()));
    EXPECT_FALSE(Viewable(wnd.GetHWND()));
    Show();
    RECT rc;
    GetWindowRect(wnd.GetHWND(), &rc);
    EXPECT_EQ((rc.left + rc.right) / 2, 450);
    EXPECT_EQ((rc.top + rc.bottom) / 2, 350);
    EXPECT_EQ(wnd.Pages().CurrentPage(), 0);
}

TEST_F(SettingWndX, KeysAndWheelTurnThePagesAndEscHides) {
    Show();
    Xdo("key Down");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Pages().CurrentPage() == 1; }));
    Xdo("key Up Up");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Pages().CurrentPage() == 3; }));
    EXPECT_TRUE(static_cast<COptionUI*>(Find(L"snap_shot"))->IsSelected());
    Xdo("key Down");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Pages().CurrentPage() == 0; }));

    // Over the tab strip, right of its last button: up is the previous page, down the next.
    RECT strip = Find(L"tabselect")->GetPos();
    POINT over{strip.right - 20, (strip.top + strip.bottom) / 2};
    ClientToScreen(wnd.GetHWND(), &over);
    Xdo("mousemove " + skinx::At(over));
    PumpFor(60);
    Xdo("click 4");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Pages().CurrentPage() == 3; }));
    Xdo("click 5");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Pages().CurrentPage() == 0; }));
    // Below the strip the wheel turns no page.
    Xdo("mousemove " + skinx::At(skinx::CentreOf(wnd.GetHWND(), Find(L"switch"))));
    PumpFor(60);
    Xdo("click 5 click 5");
    PumpFor(300);
    EXPECT_EQ(wnd.Pages().CurrentPage(), 0);

    Xdo("key Escape");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(wnd.GetHWND()); }));
    // The page shown stays for the next showing.
    Show();
    ShowPage(L"snap_shot", 3);
    ClickOn(L"Closebtn");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(wnd.GetHWND()); }));
    Show();
    EXPECT_EQ(wnd.Pages().CurrentPage(), 3);
}

TEST_F(SettingWndX, TickingAnExtensionAssociatesItThroughTheAgent) {
    Show();
    ShowPage(L"file_association_setting", 1);
    ASSERT_FALSE(wnd.Pages().IsBoxChecked(L".mkv"));
    ClickOn(L".mkv");
    // The agent is started and handed the new state of the box.
    ASSERT_TRUE(PumpUntil(
        [&] {
            auto v = testsupport::RegRead(HKEY_CLASSES_ROOT, L".mkv", L"");
            return v && v->text() == L"WZfile_mkv";
        },
        30000));
    EXPECT_EQ(Stored(L"FileAssoc", L".mkv"), 1);
    EXPECT_EQ(Stored(L"FileAssoc", L".mp4"), 0);
    EXPECT_TRUE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mkv\\shell\\open\\command"));
    EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));

    ClickOn(L"System_Apple_Media");
    ASSERT_TRUE(PumpUntil([&] { return testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_qt"); }, 30000));
    EXPECT_TRUE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mov"));
    EXPECT_EQ(Stored(L"FileAssoc", L"System_Apple_Media"), 1);

    ClickOn(L"System_UncheckAll");
    ASSERT_TRUE(PumpUntil([&] { return !testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mkv"); }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return !testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mov"); }, 30000));
    EXPECT_EQ(Stored(L"FileAssoc", L".mkv"), 0);
    EXPECT_EQ(Stored(L"FileAssoc", L"System_Apple_Media"), 0);
    EXPECT_FALSE(wnd.Pages().IsBoxChecked(L".mkv"));
}

TEST_F(SettingWndX, AnApplyThatReachesNoAgentSaysSoAndKeepsTheChoices) {
    std::filesystem::remove(env.agentPath());
    Show();
    ShowPage(L"file_association_setting", 1);
    ClickOn(L".mkv");
    // The agent is looked for 2 s; then the tip tells why nothing changed.
    ASSERT_TRUE(PumpUntil([&] { return wnd.TipText() == kAssocApplyFailedText; }, 10000));
    EXPECT_EQ(Stored(L"FileAssoc", L".mkv"), 1);
    EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mkv"));
    EXPECT_TRUE(IsWindowVisible(wnd.GetHWND()));
}

// Players that a launcher started and left to this process: closed as a user would, killed when
// they do not go, reaped either way.
class LaunchedPlayers {
public:
    LaunchedPlayers() { testsupport::BecomeSubreaper(); }
    ~LaunchedPlayers() {
        for (pid_t pid : testsupport::ChildrenRunning(Program())) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    static std::string Program() { return std::string(MORVANE_BIN_DIR) + "/morvane"; }
};

TEST_F(SettingWndX, AppliedTypesOpenInThePlayerThroughTheDesktop) {
    testsupport::DesktopEnv desktop;
    testsupport::ScopedEnv sound{"MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save"};
    std::filesystem::create_symlink(LaunchedPlayers::Program(), env.program() / "morvane");
    testsupport::ClipOptions red;
    red.colour = "red";
    red.seconds = 10.0;
    red.audioTracks = 0;
    const std::filesystem::path clip = testsupport::MakeClip(env.program() / "clip.mp4", red);
    desktop.AddApplication("other.desktop");
    ASSERT_EQ(testsupport::RunProgram({"xdg-mime", "default", "other.desktop", "video/mp4"}), 0);
    auto queryDefault = [](const char* type) { return testsupport::ProgramOutput({"xdg-mime", "query", "default", type}); };
    ASSERT_EQ(queryDefault("video/mp4"), "other.desktop");

    Show();
    ShowPage(L"file_association_setting", 1);
    for (const wchar_t* box : {L".mp4", L".mkv"}) {
        ClickOn(box);
        const std::wstring progId = std::wstring(L"WZfile_") + (box + 1);
        ASSERT_TRUE(PumpUntil(
            [&] {
                auto v = testsupport::RegRead(HKEY_CLASSES_ROOT, box, L"");
                return v && v->text() == progId;
            },
            30000));
    }
    EXPECT_EQ(queryDefault("video/mp4"), "morvane.desktop");
    EXPECT_EQ(queryDefault("video/x-matroska"), "morvane.desktop");

    {
        // The desktop's opener starts the player of the program folder on the clip.
        LaunchedPlayers players;
        ASSERT_EQ(testsupport::RunProgram({"gio", "open", clip.string()}), 0);
        HWND player = nullptr;
        ASSERT_TRUE(testsupport::WaitFor([&] { return (player = FindRunningInstanceWindow()) != nullptr; }));
        std::vector<pid_t> running = testsupport::ChildrenRunning(LaunchedPlayers::Program());
        ASSERT_EQ(running.size(), 1u);
        DWORD owner = 0;
        GetWindowThreadProcessId(player, &owner);
        EXPECT_EQ(static_cast<pid_t>(owner), running[0]);
        // Closed, it keeps the clip as its current file.
        // It plays the clip: its window shows the red picture.
        ASSERT_TRUE(testsupport::WaitFor([&] {
            for (::Window xw : testsupport::TopLevelsNamed(dpy_, "Morvane")) {
                if (testsupport::ProcessOf(dpy_, xw) != static_cast<unsigned long>(running[0])) continue;
                auto isRed = [](unsigned long rgb) { return (rgb >> 16) > 0xC0 && ((rgb >> 8) & 0xFF) < 0x40 && (rgb & 0xFF) < 0x40; };
                if (testsupport::ShareOfPixels(dpy_, testsupport::ScreenRect(dpy_, xw), isRed) > 0.3) return true;
            }
            return false;
        })) << "the clip never showed in the player's window";
        PostMessageW(player, WM_CLOSE, 0, 0);
        ASSERT_TRUE(testsupport::WaitFor([&] { return ::waitpid(running[0], nullptr, WNOHANG) == running[0]; }));
        wchar_t cur[1024] = {};
        GetPrivateProfileStringW(L"CurPlay", L"strFilePath", L"", cur, 1024, env.InProgram("PlayList.info").c_str());
        EXPECT_EQ(std::wstring(cur), clip.wstring());
    }

    // Unticked again, the type goes back to the default it had.
    ClickOn(L".mp4");
    ASSERT_TRUE(PumpUntil([&] { return !testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"); }, 30000));
    EXPECT_EQ(queryDefault("video/mp4"), "other.desktop");
    EXPECT_EQ(queryDefault("video/x-matroska"), "morvane.desktop");
}

TEST_F(SettingWndX, HotKeysAreStoredOrRefusedWithTheTip) {
    Show();
    ShowPage(L"hotkey_setting", 2);
    auto* mute = static_cast<CHotKeyUI*>(Find(L"Hotkey_Mute"));
    ClickOn(L"Hotkey_Mute");
    ASSERT_TRUE(PumpUntil([&] { return mute->IsFocused(); }));

    Xdo("key ctrl+s");  // the stop key
    // The tip goes by itself after 3 s; its text and place stay to be read.
    ASSERT_NE(wnd.Tip(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return wnd.Tip()->GetText() == kHotKeyConflictText; }));
    RECT rc = mute->GetPos();
    POINT at{rc.right + 5, rc.top + 8};
    ClientToScreen(wnd.GetHWND(), &at);
    RECT tip{};
    GetWindowRect(wnd.Tip()->GetHWND(), &tip);
    EXPECT_EQ(tip.left, at.x);
    EXPECT_EQ(tip.top, at.y);
    WORD vk = 0, mods = 0;
    mute->GetHotKey(vk, mods);
    EXPECT_EQ(vk, 'M');
    EXPECT_EQ(mods, HOTKEYF_CONTROL);
    EXPECT_TRUE(mute->IsFocused());
    EXPECT_EQ(Stored(L"Mute", L"wVirtKey"), -7);

    Xdo("key ctrl+k");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.g_HotKeys[HK_Mute].wVirtKey == 'K'; }));
    EXPECT_EQ(g_SysConfig.g_HotKeys[HK_Mute].wModifiers, HOTKEYF_CONTROL);
    EXPECT_EQ(Stored(L"Mute", L"wVirtKey"), 'K');
    EXPECT_EQ(Stored(L"Mute", L"wModifiers"), HOTKEYF_CONTROL);

    // The full-screen control is bound like the others.
    ClickOn(L"Hotkey_FullScreen");
    ASSERT_TRUE(PumpUntil([&] { return Find(L"Hotkey_FullScreen")->IsFocused(); }));
    Xdo("key F11");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.g_HotKeys[HK_FullScreen].wVirtKey == VK_F11; }));
    EXPECT_EQ(Stored(L"FullScreen", L"wVirtKey"), VK_F11);

    // Esc hides the window and the tip.
    ClickOn(L"hotkey_setting");
    PumpFor(60);
    Xdo("key Escape");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(wnd.GetHWND()); }));
    EXPECT_TRUE(wnd.TipText().empty());

    CSysConfig restarted;
    restarted.SetConfigPath(cfg);
    restarted.LoadHotKeys();
    EXPECT_EQ(restarted.g_HotKeys[HK_Mute].wVirtKey, 'K');
    EXPECT_EQ(restarted.g_HotKeys[HK_FullScreen].wVirtKey, VK_F11);
}

// Esc pressed in a hot-key box hides the window as anywhere else and never becomes a binding;
// Tab is no binding either; Enter, kept by the main window, is refused with the conflict tip.
TEST_F(SettingWndX, EscInAHotKeyBoxHidesTheWindowAndKeepsTheBinding) {
    Show();
    ShowPage(L"hotkey_setting", 2);
    auto* stop = static_cast<CHotKeyUI*>(Find(L"Hotkey_Stop"));
    ClickOn(L"Hotkey_Stop");
    ASSERT_TRUE(PumpUntil([&] { return stop->IsFocused(); }));
    Xdo("key ctrl+shift+x");
    ASSERT_TRUE(PumpUntil([&] { return Stored(L"StopPlay", L"wVirtKey") == 'X'; }));
    EXPECT_EQ(Stored(L"StopPlay", L"wModifiers"), HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    auto shows = [&](WORD vk, WORD mods) {
        WORD v = 0, m = 0;
        stop->GetHotKey(v, m);
        return v == vk && m == mods;
    };

    Xdo("key Tab");
    Xdo("key Return");
    ASSERT_TRUE(PumpUntil([&] { return wnd.TipText() == kHotKeyConflictText; }));
    EXPECT_TRUE(shows('X', HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    EXPECT_EQ(Stored(L"StopPlay", L"wVirtKey"), 'X');

    Xdo("key Escape");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(wnd.GetHWND()); }));
    EXPECT_TRUE(shows('X', HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    EXPECT_EQ(stop->GetText(), L"Ctrl + Shift + X");
    EXPECT_EQ(Stored(L"StopPlay", L"wVirtKey"), 'X');
    EXPECT_EQ(Stored(L"StopPlay", L"wModifiers"), HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    EXPECT_EQ(g_SysConfig.g_HotKeys[HK_StopPlay].wVirtKey, 'X');
}

TEST_F(SettingWndX, SnapshotFolderFromTheDialogAndTyped) {
    testsupport::TempDir shots;
    testsupport::ScopedDialogAnswer answer{shots.path().string() + "/"};
    Show();
    ShowPage(L"snap_shot", 3);
    ClickOn(L"btn_snapshot_path");
    const std::wstring want = platform::WideFromUtf8(shots.path().string());
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.strSnapShotPath == want; }));
    EXPECT_EQ(GetProfileText(L"strSnapShotPath"), want);
    EXPECT_EQ(Find(L"snap_shot_path")->GetText(), want);

    auto* edit = static_cast<CEditUI*>(Find(L"snap_shot_path"));
    ClickOn(L"snap_shot_path");
    ASSERT_TRUE(PumpUntil([&] { return edit->IsFocused(); }));
    Xdo("key End");
    Xdo("type --delay 30 /a/");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.strSnapShotPath == want + L"/a"; }));
    EXPECT_EQ(GetProfileText(L"strSnapShotPath"), want + L"/a");
}

}  // namespace
