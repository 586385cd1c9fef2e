// The four dialogs as real windows under Xvfb over a clip that plays in their owner window:
// what they show, their keys and buttons, and what they store.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/text/codepage.h"
#include "platform/windows/winuser.h"
#include "player/dialogs/about_wnd.h"
#include "player/dialogs/dialogs.h"
#include "player/dialogs/file_info_wnd.h"
#include "player/dialogs/open_url.h"
#include "player/dialogs/open_url_wnd.h"
#include "player/dialogs/snapshot_wnd.h"
#include "platform/shell/shell.h"
#include "skinui/list.h"
#include "support/dialog_answer.h"
#include "support/http_server.h"
#include "player/engine/player_ctrl.h"
#include "player/settings/sys_config.h"
#include "skinui/skinui.h"
#include "support/clips.h"
#include "support/libvlc_loaded.h"
#include "support/message_pump.h"
#include "support/modal_script.h"
#include "support/temp_dir.h"

using namespace skinui;
using testsupport::ReadFile;
using testsupport::ClickAt;
using testsupport::FindDialog;
using testsupport::HasKeyboard;
using testsupport::ModalScript;
using testsupport::Xdo;

namespace {

int g_playing = 0;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PLAYER_PLAYING) {
        CPlayerCtrl* ctrl = g_pPlayerCtrl;
        if (ctrl && ctrl->IsCurrentMessage(wParam, lParam)) ++g_playing;
        return 0;
    }
    if (msg > WM_USER && msg <= WM_PLAYER_BUFFERING) return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

template <class T>
T* WindowObject(HWND h) {
    return dynamic_cast<T*>(reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(h, GWLP_USERDATA)));
}

CControlUI* Find(CWindowWnd* wnd, const wchar_t* name) {
    auto* base = dynamic_cast<WindowImplBase*>(wnd);
    return base ? base->GetPaintManager()->FindControl(name) : nullptr;
}

std::string Text(CWindowWnd* wnd, const wchar_t* name) {
    CControlUI* c = Find(wnd, name);
    return c ? platform::Utf8FromWide(c->GetText()) : "<missing>";
}

POINT Centre(CControlUI* c) {
    RECT r = c->GetPos();
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int Height(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return r.bottom - r.top;
}

class DialogsX : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(platform::HasDisplay());
        ASSERT_TRUE(InitVideoThreads());
        ASSERT_TRUE(testsupport::KeepLibvlcLoaded());
        setenv("MORVANE_VLC_OPTIONS", "--aout=alsa --alsa-audio-device=null --no-volume-save", 1);
        dir_ = new testsupport::TempDir();
        testsupport::MakeVideoClip(*dir_ / "clip.mp4", 30.0);

        // Pages open in a stand-in browser that writes down each address it gets.
        std::filesystem::path browser = *dir_ / "browser.sh";
        dir_->write("browser.sh", "#!/bin/sh\necho \"$1\" >> '" + (*dir_ / "opened.txt").string() + "'\n");
        std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
        dir_->write("data/applications/morvane-test-browser.desktop",
                    "[Desktop Entry]\nType=Application\nName=Test Browser\nExec=" + browser.string() +
                        " %u\nMimeType=x-scheme-handler/https;x-scheme-handler/http;\n");
        dir_->write("config/mimeapps.list",
                    "[Default Applications]\nx-scheme-handler/https=morvane-test-browser.desktop\n"
                    "x-scheme-handler/http=morvane-test-browser.desktop\n");
        setenv("XDG_DATA_HOME", (*dir_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (*dir_ / "config").c_str(), 1);

        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &OwnerProc;
        wc.lpszClassName = L"MorvaneDialogOwner";
        RegisterClassExW(&wc);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override {
        owner_ = CreateWindowExW(0, L"MorvaneDialogOwner", L"owner", WS_POPUP | WS_VISIBLE, 100, 80, 640, 480, nullptr,
                                 nullptr, nullptr, nullptr);
        video_ = CreateWindowExW(0, platform::kNativeWindowClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 640, 480, owner_,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(IsWindow(video_));
        ctrl_ = std::make_unique<CPlayerCtrl>();
        ctrl_->Attach(owner_, video_);
        g_playing = 0;
        ctrl_->OpenMedia(Clip());
        ASSERT_TRUE(testsupport::PumpUntil([] { return g_playing > 0; }, 30000));

        g_SysConfig.SetConfigPath((dir_->path() / "user.cfg").wstring());
        g_SysConfig.strUrlHistoryPath = (dir_->path() / "PlayUrl.info").wstring();
        std::filesystem::remove(dir_->path() / "user.cfg");
        std::filesystem::remove(dir_->path() / "opened.txt");
    }
    void TearDown() override {
        ctrl_.reset();
        testsupport::PumpFor(50);
        DestroyWindow(video_);
        DestroyWindow(owner_);
    }

    static std::wstring Clip() { return (*dir_ / "clip.mp4").wstring(); }
    static std::filesystem::path UserCfg() { return dir_->path() / "user.cfg"; }
    static std::filesystem::path History() { return dir_->path() / "PlayUrl.info"; }
    static void PutOnClipboard(HWND owner, const std::wstring& text) {
        ASSERT_TRUE(OpenClipboard(owner));
        EmptyClipboard();
        auto* mem = static_cast<wchar_t*>(GlobalAlloc(GPTR, (text.size() + 1) * sizeof(wchar_t)));
        std::wmemcpy(mem, text.c_str(), text.size() + 1);
        SetClipboardData(CF_UNICODETEXT, mem);
        CloseClipboard();
    }
    static std::string Opened() {
        std::ifstream in(*dir_ / "opened.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static size_t OpenedCount() {
        std::string s = Opened();
        return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
    }
    // Runs a dialog of type T directly, for its modal result.
    template <class T>
    UINT RunDirect(T& dialog, const wchar_t* title) {
        if (!dialog.Create(owner_, title, WS_POPUP, WS_EX_WINDOWEDGE, 0, 0, 0, 0)) return 0;
        dialog.CenterWindow();
        return dialog.ShowModal();
    }
    // Steps that wait for the dialog and give it the keyboard.
    static ModalScript::Step Await(const wchar_t* title, HWND* out) {
        return [title, out] {
            *out = FindDialog(title);
            return *out != nullptr;
        };
    }
    static ModalScript::Step Keyboard(HWND* h) {
        return [h] { return HasKeyboard(*h); };
    }
    static ModalScript::Step Type(const std::string& text) {
        return [text] { return Xdo("type --delay 5 '" + text + "'"), true; };
    }
    // Opens a combo's drop-down by its arrow and clicks its row `index`, once the drop-down is on
    // screen and has the keys; done when the combo has closed on that row. A press lost on a
    // loaded display is made again.
    static ModalScript::Step PickRow(HWND* h, const wchar_t* combo, int index) {
        auto clicked = std::make_shared<bool>(false);
        auto ticks = std::make_shared<int>(0);
        return [h, combo, index, clicked, ticks] {
            auto* c = static_cast<CComboUI*>(Find(WindowObject<CWindowWnd>(*h), combo));
            if (!c) {
                ADD_FAILURE() << "no combo";
                return true;
            }
            if (*clicked && !c->IsDropped() && c->GetCurSel() == index) return true;
            if ((*ticks)++ % 20 != 0) return false;  // once a second
            if (!c->IsDropped()) {
                RECT r = c->GetPos();
                ClickAt(*h, POINT{r.right - 8, (r.top + r.bottom) / 2});
                return false;
            }
            HWND drop = GetForegroundWindow();
            if (!drop || drop == *h || !HasKeyboard(drop)) return false;
            RECT r;
            GetWindowRect(drop, &r);
            int rowHeight = (r.bottom - r.top - 2) / c->GetCount();
            *clicked = ClickAt(drop, POINT{(r.right - r.left) / 2, 1 + rowHeight * index + rowHeight / 2});
            return false;
        };
    }
    static ModalScript::Step Key(const char* key) {
        return [key] { return Xdo(std::string("key ") + key), true; };
    }
    static ModalScript::Step Click(HWND* h, const wchar_t* control) {
        return [h, control] {
            auto* w = WindowObject<WindowImplBase>(*h);
            // Positions are good once the window has laid itself out after a resize.
            if (!w) return false;
            if (w->GetPaintManager()->IsUpdateNeeded()) {
                w->GetPaintManager()->Invalidate();
                return false;
            }
            CControlUI* c = Find(w, control);
            EXPECT_NE(c, nullptr) << platform::Utf8FromWide(control);
            return c && ClickAt(*h, Centre(c));
        };
    }

    static testsupport::TempDir* dir_;
    HWND owner_ = nullptr;
    HWND video_ = nullptr;
    std::unique_ptr<CPlayerCtrl> ctrl_;
};

testsupport::TempDir* DialogsX::dir_ = nullptr;

TEST_F(DialogsX, FileInfoShowsTheClipAndTogglesTheCodecPanel) {
    HWND dlg = nullptr;
    int closedHeight = 0;
    ModalScript script({
        Await(L"FileInfo", &dlg),
        [&] {
            auto* w = WindowObject<CFileInfoWnd>(dlg);
            EXPECT_EQ(Text(w, L"FileName"), "clip.mp4");
            EXPECT_EQ(platform::Utf8FromWide(Find(w, L"FileName")->GetToolTip()), "clip.mp4");
            EXPECT_EQ(Text(w, L"FileType"), "文件类型：mp4");
            EXPECT_EQ(Text(w, L"Resolution"), "分辨率：320x240");
            EXPECT_EQ(Text(w, L"FileDuration"), "文件时长：00:00:30");
            EXPECT_EQ(Text(w, L"FilePath"), "文件路径：" + dir_->path().string());
            EXPECT_EQ(Text(w, L"CodecInfo").rfind("视频流信息\n", 0), 0u);
            EXPECT_FALSE(Find(w, L"hlayout_codecinfo")->IsVisible());
            closedHeight = Height(dlg);
            EXPECT_EQ(closedHeight, 422 - 220);
            // Centred on the owner.
            RECT o, d;
            GetWindowRect(owner_, &o);
            GetWindowRect(dlg, &d);
            EXPECT_LE(std::abs((o.left + o.right) - (d.left + d.right)), 2);
            EXPECT_LE(std::abs((o.top + o.bottom) - (d.top + d.bottom)), 2);
            EXPECT_FALSE(IsWindowEnabled(owner_));
            return true;
        },
        Click(&dlg, L"BtnCodecInfo"),
        [&] { return Height(dlg) == closedHeight + 220; },
        [&] {
            auto* w = WindowObject<CFileInfoWnd>(dlg);
            EXPECT_TRUE(Find(w, L"hlayout_codecinfo")->IsVisible());
            EXPECT_EQ(Text(w, L"BtnCodecInfo"), "︽编码信息");
            return true;
        },
        Click(&dlg, L"BtnCodecInfo"),
        [&] { return Height(dlg) == closedHeight; },
        [&] {
            EXPECT_EQ(Text(WindowObject<CFileInfoWnd>(dlg), L"BtnCodecInfo"), "︾编码信息");
            return true;
        },
        Click(&dlg, L"BtnOK"),
    }, L"FileInfo");
    ShowFileInfoDialog(owner_, Clip());
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_TRUE(ctrl_->IsPlaying());
}

TEST_F(DialogsX, FileInfoKeysGiveTheirResults) {
    struct Case { const char* key; UINT result; };
    for (const Case& c : {Case{"Return", 1u}, Case{"Escape", 2u}}) {
        HWND dlg = nullptr;
        ModalScript script({Await(L"FileInfo", &dlg), Keyboard(&dlg), Key(c.key)}, L"FileInfo");
        CFileInfoWnd dialog(Clip());
        EXPECT_EQ(RunDirect(dialog, L"FileInfo"), c.result) << c.key;
        EXPECT_TRUE(script.finished()) << c.key << ": stuck at step " << script.stuckAt();
    }
}

TEST_F(DialogsX, AboutShowsTheVersionOpensPagesAndClosesOnEscOrItsButton) {
    HWND dlg = nullptr;
    ModalScript script({
        Await(L"WZAboutWnd", &dlg),
        [&] {
            EXPECT_EQ(Text(WindowObject<CWZAboutWnd>(dlg), L"version"), "Oskery播放器   V0.9.1.8");
            return true;
        },
        Keyboard(&dlg),
        Key("Return"),
        Click(&dlg, L"homepagebtn"),
        [&] { return OpenedCount() == 1; },
        Click(&dlg, L"forumbtn"),
        [&] { return OpenedCount() == 2; },
        Click(&dlg, L"weibobtn"),
        [&] { return OpenedCount() == 3; },
        [&] {
            EXPECT_EQ(Opened(), "https://morvane.example/\nhttps://morvane.example/bbs/\n"
                                "https://microblog.morvane.example/oskery\n");
            EXPECT_TRUE(IsWindowVisible(dlg));  // neither Enter nor the links closed it
            return true;
        },
        Keyboard(&dlg),
        Key("Escape"),
    }, L"WZAboutWnd");
    CWZAboutWnd dialog;
    EXPECT_EQ(RunDirect(dialog, L"WZAboutWnd"), 1u);
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();

    ModalScript byButton({Await(L"WZAboutWnd", &dlg), Click(&dlg, L"Closebtn")}, L"WZAboutWnd");
    ShowAboutDialog(owner_);
    EXPECT_TRUE(byButton.finished()) << "stuck at step " << byButton.stuckAt();
}

TEST_F(DialogsX, SnapShotShowsTheSettingsAndStoresNothingWhenCancelled) {
    g_SysConfig.strSnapShotPath = L"/data/shots";
    g_SysConfig.bTipSnapShot = 1;
    g_SysConfig.bOnlySnapToClipBoard = 1;
    g_SysConfig.nSnapShotType = 2;
    struct Case { const char* how; std::function<ModalScript::Step(HWND*)> step; };
    const Case cases[] = {
        {"Esc", [](HWND* h) { return ModalScript::Step([h] { return HasKeyboard(*h) && Xdo("key Escape"); }); }},
        {"cancel", [](HWND* h) { return Click(h, L"cancel"); }},
        {"closebtn", [](HWND* h) { return Click(h, L"closebtn"); }},
    };
    for (const auto& c : cases) {
        HWND dlg = nullptr;
        ModalScript script({
            Await(L"截图", &dlg),
            [&] {
                auto* w = WindowObject<CSnapShotWnd>(dlg);
                EXPECT_EQ(Text(w, L"snap_shot_path"), "/data/shots");
                EXPECT_FALSE(static_cast<CCheckBoxUI*>(Find(w, L"not_tip"))->GetCheck());
                EXPECT_TRUE(static_cast<CCheckBoxUI*>(Find(w, L"only_save_clipboard"))->GetCheck());
                EXPECT_EQ(Text(w, L"snap_shot_type"), ".png");
                return true;
            },
            Click(&dlg, L"not_tip"),
            c.step(&dlg),
        }, L"截图");
        EXPECT_EQ(ShowSnapShotDialog(owner_), 2u) << c.how;
        EXPECT_TRUE(script.finished()) << c.how << ": stuck at step " << script.stuckAt();
        EXPECT_FALSE(std::filesystem::exists(UserCfg())) << c.how;
        EXPECT_EQ(g_SysConfig.bTipSnapShot, 1) << c.how;
        EXPECT_EQ(g_SysConfig.strSnapShotPath, L"/data/shots") << c.how;
    }
}

TEST_F(DialogsX, SnapShotConfirmStoresTheFourSettings) {
    g_SysConfig.strSnapShotPath = L"/data/shots";
    g_SysConfig.bTipSnapShot = 1;
    g_SysConfig.bOnlySnapToClipBoard = 1;
    g_SysConfig.nSnapShotType = 2;
    HWND dlg = nullptr;
    ModalScript script({
        Await(L"截图", &dlg),
        Click(&dlg, L"snap_shot_path"),
        Key("End"),
        Type("//"),
        Click(&dlg, L"not_tip"),
        Click(&dlg, L"only_save_clipboard"),
        PickRow(&dlg, L"snap_shot_type", 0),
        [&] { return Text(WindowObject<CSnapShotWnd>(dlg), L"snap_shot_type") == ".bmp"; },
        Click(&dlg, L"confirm"),
    }, L"截图");
    EXPECT_EQ(ShowSnapShotDialog(owner_), 1u);
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    EXPECT_EQ(g_SysConfig.strSnapShotPath, L"/data/shots");
    EXPECT_EQ(g_SysConfig.bTipSnapShot, 0);
    EXPECT_EQ(g_SysConfig.bOnlySnapToClipBoard, 0);
    EXPECT_EQ(g_SysConfig.nSnapShotType, 0);
    const std::string cfg = ReadFile(UserCfg());
    for (const char* line : {"strSnapShotPath=/data/shots\n", "bTipSnapShot=0\n", "bOnlySnapToClipBoard=0\n",
                             "nSnapShotType=0\n"})
        EXPECT_NE(cfg.find(line), std::string::npos) << line << " in " << cfg;
}

TEST_F(DialogsX, SnapShotFolderFromTheBrowserAndEnterConfirms) {
    testsupport::ScopedDialogAnswer answer("/");
    HWND dlg = nullptr;
    ModalScript script({
        Await(L"截图", &dlg),
        Click(&dlg, L"btn_snapshot_path"),
        [&] { return Text(WindowObject<CSnapShotWnd>(dlg), L"snap_shot_path") == "/"; },
        Keyboard(&dlg),
        Key("Return"),
    }, L"截图");
    EXPECT_EQ(ShowSnapShotDialog(owner_), 1u);
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    EXPECT_EQ(g_SysConfig.strSnapShotPath, L"/");  // the root keeps its separator
}

// Plays what the dialog confirms through the real player control.
struct PlayerHost : IOpenUrlHost {
    explicit PlayerHost(CPlayerCtrl& c) : ctrl(c) {}
    CPlayerCtrl& ctrl;
    std::wstring current = L"/videos/old.mkv", title;
    std::vector<std::wstring> stopped;
    std::wstring GetCurrentPath() const override { return current; }
    void SetCurrentPath(const std::wstring& p) override { current = p; }
    void SetCurrentTitle(const std::wstring& t) override { title = t; }
    void SetListItemStopped(const std::wstring& p) override { stopped.push_back(p); }
    void OpenMedia(const std::wstring& a) override { ctrl.OpenMedia(a); }
};

TEST_F(DialogsX, OpenUrlPlaysAStreamFromTheLoopbackServer) {
    const std::string clip = ReadFile(*dir_ / "clip.mp4");
    testsupport::HttpServer server;
    server.Handle("/clip.mp4", [&](const testsupport::HttpRequest& r) {
        auto reply = testsupport::RangedReply(r, clip);
        reply.contentType = "video/mp4";
        return reply;
    });
    g_SysConfig.g_UrlHistory = {L"http://a", L"http://b", L"http://c"};
    PutOnClipboard(owner_, L"rtsp://cam/live");
    PlayerHost host(*ctrl_);
    const std::string url = server.url("/clip.mp4");
    HWND dlg = nullptr;
    ModalScript script({
        Await(L"WZOpenURL", &dlg),
        [&] {
            auto* w = WindowObject<CWZOpenURLWnd>(dlg);
            EXPECT_EQ(Text(w, L"accountedit"), "rtsp://cam/live");  // from the clipboard
            auto* combo = static_cast<CComboUI*>(Find(w, L"accountcombo"));
            EXPECT_EQ(combo->GetCount(), 3);
            for (int i = 0; i < 3 && i < combo->GetCount(); ++i)
                EXPECT_EQ(platform::Utf8FromWide(combo->GetItemAt(i)->GetText()), std::string("http://") + "cba"[i]);
            EXPECT_EQ(Text(w, L"errorURL"), platform::Utf8FromWide(kUrlHint));
            return true;
        },
        PickRow(&dlg, L"accountcombo", 1),
        [&] { return Text(WindowObject<CWZOpenURLWnd>(dlg), L"accountedit") == "http://b"; },
        Click(&dlg, L"accountedit"),
        Key("End"),
        [&] { return Xdo("key --repeat 8 BackSpace"), true; },
        Type(url),
        Keyboard(&dlg),
        Key("Return"),
    }, L"WZOpenURL");
    g_playing = 0;
    ShowOpenUrlDialog(owner_, host);
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    const std::wstring wurl = platform::WideFromUtf8(url);
    EXPECT_EQ(host.title, wurl);
    EXPECT_EQ(host.current, wurl);
    EXPECT_EQ(host.stopped, std::vector<std::wstring>{L"/videos/old.mkv"});
    EXPECT_EQ(g_UrlQueue, std::vector<std::wstring>{wurl});
    EXPECT_EQ(g_nNextUrl, 1);
    EXPECT_TRUE(testsupport::PumpUntil([] { return g_playing > 0; }, 30000));
    EXPECT_GE(server.count("/clip.mp4"), 1u);
    EXPECT_EQ(ReadFile(History()), "http://a\nhttp://b\nhttp://c\n" + url + "\n");
}

TEST_F(DialogsX, OpenUrlRejectsForThreeSecondsAndEveryWayOutGivesOne) {
    g_SysConfig.g_UrlHistory = {L"http://kept"};
    PutOnClipboard(owner_, L"plain words");
    using Clock = std::chrono::steady_clock;
    Clock::time_point firstError, secondClick, restored;
    PlayerHost host(*ctrl_);
    HWND dlg = nullptr;
    ModalScript script({
        Await(L"WZOpenURL", &dlg),
        [&] {
            EXPECT_EQ(Text(WindowObject<CWZOpenURLWnd>(dlg), L"accountedit"), "");  // not an address
            return true;
        },
        Click(&dlg, L"accountedit"),
        Type("mms://host/x"),
        Click(&dlg, L"confirm"),
        [&] {
            auto* hint = static_cast<CLabelUI*>(Find(WindowObject<CWZOpenURLWnd>(dlg), L"errorURL"));
            return hint->GetText() == kUrlError && hint->GetTextColor() == kUrlErrorColor;
        },
        [&] {
            EXPECT_TRUE(IsWindowVisible(dlg));
            EXPECT_EQ(Text(WindowObject<CWZOpenURLWnd>(dlg), L"accountedit"), "mms://host/x");
            EXPECT_TRUE(host.title.empty());
            firstError = Clock::now();
            return true;
        },
        // A second rejection 1.5 s later keeps the error for 3 s from then.
        [&] { return Clock::now() - firstError >= std::chrono::milliseconds(1500); },
        [&] {
            secondClick = Clock::now();
            return true;
        },
        Click(&dlg, L"confirm"),
        [&] {  // then the hint comes back
            auto* hint = static_cast<CLabelUI*>(Find(WindowObject<CWZOpenURLWnd>(dlg), L"errorURL"));
            if (hint->GetText() != kUrlHint || hint->GetTextColor() != kUrlHintColor) return false;
            restored = Clock::now();
            return true;
        },
        Click(&dlg, L"clear_urllist"),
        [&] { return static_cast<CComboUI*>(Find(WindowObject<CWZOpenURLWnd>(dlg), L"accountcombo"))->GetCount() == 0; },
        [&] {
            EXPECT_EQ(Text(WindowObject<CWZOpenURLWnd>(dlg), L"accountedit"), "mms://host/x");
            return true;
        },
        Keyboard(&dlg),
        Key("Escape"),
    }, L"WZOpenURL");
    CWZOpenURLWnd dialog;
    dialog.m_pOwner = &host;
    EXPECT_EQ(RunDirect(dialog, L"WZOpenURL"), 1u);
    EXPECT_TRUE(script.finished()) << "stuck at step " << script.stuckAt();
    EXPECT_TRUE(host.title.empty());
    EXPECT_GE(restored - secondClick, std::chrono::milliseconds(2950));
    EXPECT_TRUE(g_SysConfig.g_UrlHistory.empty());
    EXPECT_TRUE(std::filesystem::exists(History()));
    EXPECT_EQ(ReadFile(History()), "");

    for (const wchar_t* button : {L"Closebtn", L"cancel"}) {
        ModalScript byButton({Await(L"WZOpenURL", &dlg), Click(&dlg, button)}, L"WZOpenURL");
        CWZOpenURLWnd again;
        again.m_pOwner = &host;
        EXPECT_EQ(RunDirect(again, L"WZOpenURL"), 1u);
        EXPECT_TRUE(byButton.finished()) << platform::Utf8FromWide(button);
    }
}

}  // namespace
