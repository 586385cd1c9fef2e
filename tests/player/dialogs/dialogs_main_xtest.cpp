// The dialogs as the running main window opens them over a playing clip: the open-address hot
// key with two queued addresses served from 127.0.0.1, the file information of the current
// clip, and the about dialog asked for by the menus' message to the caption bar.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "platform/text/codepage.h"
#include "platform/windows/winuser.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd.h"
#include "player/dialogs/open_url.h"
#include "player/settings/sys_config.h"
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
    const std::string one = ReadFile(*media_ / "one.mp4"), two = ReadFile(*media_ / "two.mp4");
    HttpServer server;
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

// The history combo has the focus when the dialog opens, and what is typed at once, without a
// click, lands in the address field: opened by the hot key and by the caption bar's menu.
TEST_F(DialogsMainX, AnAddressTypedAtOnceIntoTheOpenedDialogPlays) {
    const std::string one = ReadFile(*media_ / "one.mp4");
    HttpServer server;
    server.Handle("/one.mp4", [&](const HttpRequest& r) { return RangedReply(r, one); });
    HWND main = wnd_->GetHWND();
    ASSERT_NE(wnd_->pCaption, nullptr);
    HWND caption = wnd_->pCaption->GetHWND();
    const std::vector<std::pair<const char*, std::vector<ModalScript::Step>>> ways = {
        {"hot-key", {[&] { return HasKeyboard(main) && Xdo("key ctrl+u"); }}},
        {"caption-menu",
         {[&] {
              RECT rc{};
              GetWindowRect(main, &rc);
              return Xdo("mousemove " + std::to_string((rc.left + rc.right) / 2) + " " + std::to_string(rc.top + 10));
          },
          // Onto the menu button once the bar is up, again while no menu shows (a click made
          // as the bar maps is lost), until the menu has the keys: "打开", then its "打开URL".
          [&, tries = 0]() mutable {
              HWND popup = FindWindowW(L"WzMenuWnd", nullptr);
              if (popup && IsWindowVisible(popup)) return HasKeyboard(popup);
              if (!IsWindowVisible(caption) || tries++ % 20) return false;
              auto* base = dynamic_cast<skinui::WindowImplBase*>(
                  reinterpret_cast<skinui::CWindowWnd*>(GetWindowLongPtrW(caption, GWLP_USERDATA)));
              skinui::CControlUI* button = base ? base->GetPaintManager()->FindControl(L"btnMenu") : nullptr;
              if (!button) return false;
              RECT r = button->GetPos();
              POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
              ClientToScreen(caption, &at);
              // Straight onto the button: leaving the bar would hide it again.
              Xdo("mousemove --sync " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 1");
              return false;
          },
          [&] { return Xdo("key Down Return Down Return"); }}},
    };
    for (const auto& [way, open] : ways) {
        SCOPED_TRACE(way);
        const std::string address = server.url("/one.mp4") + "?" + way;
        HWND dlg = nullptr;
        std::vector<ModalScript::Step> steps = open;
        steps.push_back([&] { return (dlg = FindDialog(L"WZOpenURL")) != nullptr; });
        steps.push_back([&] { return HasKeyboard(dlg); });
        steps.push_back([&] { return Xdo("type --delay 5 '" + address + "'"); });
        steps.push_back([&] { return LabelText(dlg, L"accountedit") == address; });
        steps.push_back([&] { return Xdo("key Return"); });
        ModalScript script(steps, L"WZOpenURL");
        ASSERT_TRUE(PumpUntil([&] { return script.finished() || script.stuckAt() >= 0; }, 60000));
        ASSERT_TRUE(script.finished()) << "stuck at step " << script.stuckAt() << ", the address field holds \""
                                       << (dlg ? LabelText(dlg, L"accountedit") : "") << "\"";
        ASSERT_TRUE(PumpUntil([&] { return !FindDialog(L"WZOpenURL"); }));
        EXPECT_EQ(wnd_->strCurrentPath, platform::WideFromUtf8(address));
        EXPECT_TRUE(PumpUntil([&] {
            for (const auto& r : server.requests())
                if (r.target == "/one.mp4?" + std::string(way)) return true;
            return false;
        }, 30000));
    }
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
