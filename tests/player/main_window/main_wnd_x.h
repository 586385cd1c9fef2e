// A main window in the test's own process under Xvfb: a runtime folder, registry database and
// statistics server of the test suite's own, libVLC kept loaded, and a temporary program folder
// with the given user.cfg for each test.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include "player/main_window/main_wnd.h"
#include "player/settings/sys_config.h"
#include "../skin_window/skin_x.h"
#include "support/http_server.h"
#include "support/libvlc_loaded.h"
#include "support/temp_dir.h"

namespace skinx {

class MainWndX : public SkinX {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
        base_ = new testsupport::TempDir();
        std::filesystem::create_directories(*base_ / "rt");
        ::chmod((*base_ / "rt").c_str(), 0700);
        setenv("MORVANE_RUNTIME_DIR", (*base_ / "rt").c_str(), 1);
        setenv("MORVANE_REGISTRY_DB", (*base_ / "reg.db").c_str(), 1);
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        server_ = new testsupport::HttpServer();  // the start-up reports stay here
        setenv("MORVANE_STATS_SERVER", server_->url("").c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        delete base_;
        base_ = nullptr;
    }
    // The program folder with this user.cfg, loaded into g_SysConfig.
    void UseProgramFolder(const std::string& userCfg) {
        prog_ = std::make_unique<testsupport::TempDir>();
        progEnv_ = std::make_unique<testsupport::ScopedEnv>("MORVANE_PROGRAM_DIR", prog_->path().string());
        prog_->write("user.cfg", userCfg);
        g_SysConfig = CSysConfig();
        g_SysConfig.SetConfigPath((prog_->path() / "user.cfg").wstring());
        g_SysConfig.SetPlayListPath((prog_->path() / "PlayList.info").wstring());
        g_SysConfig.Load();
    }
    // The main window as the program opens it, on screen and in front.
    void OpenMain(const std::wstring& startPath = L"") {
        w_ = new CMorvaneWnd(startPath);
        ASSERT_NE(w_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                             WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES),
                  nullptr);
        WaitShown(w_->GetHWND());
    }
    void TearDown() override {
        if (w_) {
            ::DestroyWindow(w_->GetHWND());
            testsupport::PumpFor(100);
            delete w_;
            w_ = nullptr;
        }
        SkinX::TearDown();
    }

    static inline testsupport::TempDir* base_ = nullptr;
    static inline testsupport::HttpServer* server_ = nullptr;
    std::unique_ptr<testsupport::TempDir> prog_;
    std::unique_ptr<testsupport::ScopedEnv> progEnv_;
    CMorvaneWnd* w_ = nullptr;
};

}  // namespace skinx
