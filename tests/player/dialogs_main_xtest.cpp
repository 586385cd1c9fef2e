// The dialogs as the running main window opens them over a playing clip: the open-address hot
// key with two queued addresses served from 127.0.0.1, the file information of the current
// clip, and the about dialog asked for by the menus' message to the caption bar.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "platform/codepage.h"
#include "platform/winuser.h"
#include "player/caption_wnd.h"
#include "player/main_wnd.h"
#include "player/open_url.h"
#include "player/sys_config.h"
#include "skinui/skinui.h"
#include "support/clips.h"
#include "support/early_program_dir.h"
#include "support/http_server.h"
#include "support/libvlc_loaded.h"
#include "support/message_pump.h"
#include "support/modal_script.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

testsupport::EarlyProgramDir g_programDir __attribute__((init_priority(101)));

std::string LabelText(HWND dialog, const wchar_t* name) {
    auto* base = dynamic_cast<skinui::WindowImplBase*>(reinterpret_cast<skinui::CWindowWnd*>(GetWindowLongPtrW(dialog, GWLP_USERDATA)));
    skinui::CControlUI* c = base ? base->GetPaintManager()->FindControl(name) : nullptr;
    return c ? platform::Utf8FromWide(c->GetText()) : "<missing>";
}

class DialogsMainX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitVideoThreads());
        ASSERT_TRUE(KeepLibvlcLoaded());
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        media_ = new TempDir();
        MakeVideoClip(*media_ / "clip.mp4", 30.0);
        MakeVideoClip(*media_ / "one.mp4", 1.0);
        MakeVideoClip(*media_ / "two.mp4", 3.0);
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(platform::HasDisplay());
        ASSERT_FALSE(g_programDir.path.empty());
        const fs::path folder = g_programDir.path;
        for (const char* f : {"user.cfg", "PlayList.info", "PlayUrl.info"}) fs::remove(folder / f);
        g_SysConfig = CSysConfig();
        g_SysConfig.SetConfigPath((folder / "user.cfg").wstring());
        g_SysConfig.SetPlayListPath((folder / "PlayList.info").wstring());
        g_SysConfig.strUrlHistoryPath = (folder / "PlayUrl.info").wstring();
        g_SysConfig.Load();
        wnd_ = std::make_unique<CMorvaneWnd>((*media_ / "clip.mp4").wstring());
        wnd_->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES);
        ASSERT_TRUE(PumpUntil([&] { return wnd_->bPlayingSeen != 0; }, 30000));
    }
    void TearDown() override {
        wnd_.reset();
        PumpFor(50);
    }

    static TempDir* media_;
    std::unique_ptr<CMorvaneWnd> wnd_;
};

TempDir* DialogsMainX::media_ = nullptr;

TEST_F(DialogsMainX, OpenUrlHotKeyPlaysTwoQueuedAddresses) {
    HttpServer server;
    const std::string one = ReadFile(*media_ / "one.mp4"), two = ReadFile(*media_ / "two.mp4");
    server.Handle("/one.mp4", [&](const HttpRequest& r) { return RangedReply(r, one); });
    server.Handle("/two.mp4", [&](const HttpRequest& r) { return RangedReply(r, two); });
    // An empty piece and blanks around a separator: what is kept and played is the two addresses.
    const std::string input = "|" + server.url("/one.mp4") + " | " + server.url("/two.mp4");
    const std::string kept = server.url("/one.mp4") + "|" + server.url("/two.mp4");

    HWND dlg = nullptr;
    HWND main = wnd_->GetHWND();
    ModalScript script({
        [&] { return HasKeyboard(main) && Xdo("key ctrl+u"); },
        [&] { return (dlg = FindDialog(L"WZOpenURL")) != nullptr; },
        [&] {
            EXPECT_FALSE(IsWindowEnabled(main));
            return HasKeyboard(dlg);
        },
        [&] {  // into the address field: the history combo has the focus at first
            auto* base = dynamic_cast<skinui::WindowImplBase*>(
                reinterpret_cast<skinui::CWindowWnd*>(GetWindowLongPtrW(dlg, GWLP_USERDATA)));
            if (!base || base->GetPaintManager()->IsUpdateNeeded()) return false;
            RECT r = base->GetPaintManager()->FindControl(L"accountedit")->GetPos();
            return ClickAt(dlg, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        },
        [&] { return Xdo("type --delay 5 '" + input + "'"); },
        [&] { return LabelText(dlg, L"accountedit") == input; },
        [&] { return Xdo("key Return"); },
    }, L"WZOpenURL");
    ASSERT_TRUE(PumpUntil([&] { return script.finished() || script.stuckAt() >= 0; }, 60000));
    ASSERT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    ASSERT_TRUE(PumpUntil([&] { return !FindDialog(L"WZOpenURL"); }));
    EXPECT_TRUE(IsWindowEnabled(main));
    const std::wstring wkept = platform::WideFromUtf8(kept);
    EXPECT_EQ(wnd_->strCurrentPath, wkept);
    EXPECT_EQ(g_UrlQueue.size(), 2u);
    // The first address plays, and at its end the second follows.
    EXPECT_TRUE(PumpUntil([&] { return server.count("/one.mp4") > 0; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return server.count("/two.mp4") > 0 && g_nNextUrl == 2; }, 60000));
    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().path, "/one.mp4");  // in order
    EXPECT_EQ(g_SysConfig.g_UrlHistory, std::vector<std::wstring>{wkept});
    EXPECT_EQ(ReadFile(fs::path(g_programDir.path) / "PlayUrl.info"), kept + "\n");
}

TEST_F(DialogsMainX, FileInfoOfTheCurrentClipAndTheAboutDialog) {
    HWND dlg = nullptr;
    ModalScript info({
        [&] { return (dlg = FindDialog(L"FileInfo")) != nullptr; },
        [&] {
            EXPECT_EQ(LabelText(dlg, L"Resolution"), "分辨率：320x240");
            EXPECT_EQ(LabelText(dlg, L"FileDuration"), "文件时长：00:00:30");
            EXPECT_FALSE(IsWindowEnabled(wnd_->GetHWND()));
            return HasKeyboard(dlg);
        },
        [&] { return Xdo("key Escape"); },
    }, L"FileInfo");
    wnd_->ShowFileInfo(wnd_->strCurrentPath);
    EXPECT_TRUE(info.finished()) << "stuck at step " << info.stuckAt();
    EXPECT_TRUE(IsWindowEnabled(wnd_->GetHWND()));
    EXPECT_TRUE(wnd_->playerCtrl.IsPlaying());

    ModalScript about({
        [&] { return (dlg = FindDialog(L"WZAboutWnd")) != nullptr; },
        [&] {
            EXPECT_EQ(LabelText(dlg, L"version"), "Oskery播放器   V0.9.1.8");
            return HasKeyboard(dlg);
        },
        [&] { return Xdo("key Escape"); },
    }, L"WZAboutWnd");
    ASSERT_NE(wnd_->pCaption, nullptr);
    PostMessageW(wnd_->pCaption->GetHWND(), WM_PLAYER_SHOW_ABOUT, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return about.finished() || about.stuckAt() >= 0; }, 60000));
    EXPECT_TRUE(about.finished()) << "stuck at step " << about.stuckAt();
    EXPECT_TRUE(PumpUntil([&] { return !FindDialog(L"WZAboutWnd"); }));
}

}  // namespace
