// The settings window as the main window runs it, in this process under Xvfb: created hidden with
// the satellites, opened by the "Setting" hot key, and a hot key changed there at work in the main
// window at once and after a restart.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/profile.h"
#include "player/main_wnd.h"
#include "player/play_panel_wnd.h"
#include "player/setting_wnd.h"
#include "player/sys_config.h"
#include "skin_x.h"
#include "skinui/controls.h"
#include "support/http_server.h"
#include "support/libvlc_loaded.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

class SettingMainX : public skinx::SkinX {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
        base_ = new testsupport::TempDir();
        fs::create_directories(*base_ / "rt");
        ::chmod((*base_ / "rt").c_str(), 0700);
        setenv("MORVANE_RUNTIME_DIR", (*base_ / "rt").c_str(), 1);
        setenv("MORVANE_REGISTRY_DB", (*base_ / "reg.db").c_str(), 1);
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        server_ = new testsupport::HttpServer();  // the start-up reports stay here
        setenv("MORVANE_STATS_SERVER", server_->url("").c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete server_;
        delete base_;
    }
    void SetUp() override {
        SkinX::SetUp();
        prog_ = std::make_unique<testsupport::TempDir>();
        progEnv_ = std::make_unique<testsupport::ScopedEnv>("MORVANE_PROGRAM_DIR", prog_->path().string());
        prog_->write("user.cfg", "[Global]\nnTopMostMode=2\nbUseDefWindowInfo=1\nbAlwaysFileAssoc=0\n");
        g_SysConfig = CSysConfig();
        g_SysConfig.SetConfigPath((prog_->path() / "user.cfg").wstring());
        g_SysConfig.SetPlayListPath((prog_->path() / "PlayList.info").wstring());
        g_SysConfig.Load();
    }
    void TearDown() override {
        if (w_) {
            ::DestroyWindow(w_->GetHWND());
            PumpFor(100);
            delete w_;
            w_ = nullptr;
        }
        SkinX::TearDown();
    }
    void Open() {
        w_ = new CMorvaneWnd(L"");
        ASSERT_NE(w_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                             WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES),
                  nullptr);
        WaitShown(w_->GetHWND());
        ASSERT_NE(w_->pSettingWnd, nullptr);
        ::SetForegroundWindow(w_->GetHWND());
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == w_->GetHWND(); }));
    }
    HWND Settings() { return w_->pSettingWnd->GetHWND(); }
    skinui::CControlUI* Find(const wchar_t* name) { return w_->pSettingWnd->GetPaintManager()->FindControl(name); }

    static testsupport::TempDir* base_;
    static testsupport::HttpServer* server_;
    std::unique_ptr<testsupport::TempDir> prog_;
    std::unique_ptr<testsupport::ScopedEnv> progEnv_;
    CMorvaneWnd* w_ = nullptr;
};

testsupport::TempDir* SettingMainX::base_ = nullptr;
testsupport::HttpServer* SettingMainX::server_ = nullptr;

TEST_F(SettingMainX, AHotKeyChangedInTheWindowWorksAtOnceAndAfterARestart) {
    Open();
    ASSERT_TRUE(::IsWindow(Settings()));
    EXPECT_FALSE(::IsWindowVisible(Settings()));
    EXPECT_EQ(::GetWindow(Settings(), GW_OWNER), w_->pPlayPanel->GetHWND());

    Xdo("key F5");
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(Settings()) && Viewable(Settings()); }));
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == Settings(); }));
    PumpFor(100);
    Click(Settings(), Find(L"hotkey_setting"));
    ASSERT_TRUE(PumpUntil([&] { return w_->pSettingWnd->Pages().CurrentPage() == 2; }));
    PumpFor(200);  // laid out and painted
    Click(Settings(), Find(L"Hotkey_ToTop"));
    ASSERT_TRUE(PumpUntil([&] { return Find(L"Hotkey_ToTop")->IsFocused(); }));
    Xdo("key ctrl+y");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.g_HotKeys[HK_TopMost].wVirtKey == 'Y'; }));
    Click(Settings(), Find(L"Closebtn"));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(Settings()); }));
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == w_->GetHWND(); }));

    // The old key does nothing any more; the new one switches the on-top mode.
    Xdo("key ctrl+t");
    PumpFor(300);
    EXPECT_EQ(g_SysConfig.nTopMostMode, 2);
    Xdo("key ctrl+y");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.nTopMostMode == 1; }));

    CSysConfig restarted;
    restarted.SetConfigPath(g_SysConfig.GetConfigPath());
    restarted.LoadHotKeys();
    EXPECT_EQ(restarted.g_HotKeys[HK_TopMost].wVirtKey, 'Y');
    EXPECT_EQ(restarted.g_HotKeys[HK_TopMost].wModifiers, HOTKEYF_CONTROL);
}

}  // namespace
