// The settings window as the main window runs it, in this process under Xvfb: made when it is
// first asked for, opened by the "Setting" hot key, and a hot key changed there at work in the main
// window at once and after a restart.
#include <gtest/gtest.h>

// The player's headers before X11's, whose macros clash with their names.
#include "player/main_window/play_panel_wnd.h"
#include "player/settings/setting_wnd.h"
#include "skinui/controls.h"
#include "skinui/list.h"
#include "../main_window/main_wnd_x.h"
#include "support/clips.h"

using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

class SettingMainX : public skinx::MainWndX {
protected:
    void SetUp() override {
        MainWndX::SetUp();
        UseProgramFolder("[Global]\nnTopMostMode=2\nbUseDefWindowInfo=1\nbAlwaysFileAssoc=0\n");
    }
    void Open() {
        OpenMain();
        ::SetForegroundWindow(w_->GetHWND());
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == w_->GetHWND(); }));
    }
    HWND Settings() { return w_->pSettingWnd ? w_->pSettingWnd->GetHWND() : nullptr; }
    void OpenSettings() {
        Xdo("key F5");
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(Settings()) && Viewable(Settings()); }));
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == Settings(); }));
        PumpFor(100);
    }
    void ShowPage(const wchar_t* button, int page) {
        Click(Settings(), Find(button));
        ASSERT_TRUE(PumpUntil([&] { return w_->pSettingWnd->Pages().CurrentPage() == page; }));
        PumpFor(200);  // laid out and painted
    }
    skinui::CControlUI* Find(const wchar_t* name) { return w_->pSettingWnd->GetPaintManager()->FindControl(name); }
};

TEST_F(SettingMainX, AHotKeyChangedInTheWindowWorksAtOnceAndAfterARestart) {
    Open();
    EXPECT_EQ(w_->pSettingWnd, nullptr);  // nothing of it is seen before

    OpenSettings();
    EXPECT_EQ(::GetWindow(Settings(), GW_OWNER), w_->pPlayPanel->GetHWND());
    ShowPage(L"hotkey_setting", 2);
    Click(Settings(), Find(L"Hotkey_ToTop"));
    ASSERT_TRUE(PumpUntil([&] { return Find(L"Hotkey_ToTop")->IsFocused(); }));
    Xdo("key ctrl+y");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.g_HotKeys[HK_TopMost].wVirtKey == 'Y'; }));
    Click(Settings(), Find(L"Closebtn"));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(Settings()); }));
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == w_->GetHWND() && HasKeyboard(w_->GetHWND()); }));

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

TEST_F(SettingMainX, TheNextSnapshotHasTheFormatChosenInTheWindow) {
    testsupport::TempDir shots, clips;
    UseProgramFolder("[Global]\nnTopMostMode=2\nbUseDefWindowInfo=1\nbAlwaysFileAssoc=0\nbTipSnapShot=0\n"
                     "bOnlySnapToClipBoard=0\nnSnapShotType=1\nstrSnapShotPath=" + shots.path().string() + "\n");
    testsupport::ClipOptions clip;
    clip.seconds = 20.0;
    const auto path = testsupport::MakeClip(clips.path() / "Clip.mp4", clip);
    OpenMain(path.wstring());
    ASSERT_TRUE(PumpUntil([&] { return w_->bPlayingSeen && w_->playerCtrl.IsPlaying(); }, 20000));

    OpenSettings();
    ShowPage(L"snap_shot", 3);
    auto* combo = static_cast<skinui::CComboUI*>(Find(L"snap_shot_type"));
    ASSERT_EQ(combo->GetCurSel(), 1);
    RECT r = combo->GetPos();
    POINT arrow{r.right - 8, (r.top + r.bottom) / 2};
    ::ClientToScreen(Settings(), &arrow);
    Xdo("mousemove " + skinx::At(arrow));
    PumpFor(60);
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return combo->IsDropped(); }));
    HWND drop = ::GetForegroundWindow();
    RECT dr;
    ::GetWindowRect(drop, &dr);
    const int row = (dr.bottom - dr.top - 2) / combo->GetCount();
    Xdo("mousemove " + skinx::At(POINT{(dr.left + dr.right) / 2, dr.top + 1 + row * 2 + row / 2}));
    PumpFor(60);
    Xdo("click 1");
    ASSERT_TRUE(PumpUntil([&] { return g_SysConfig.nSnapShotType == 2; }));
    EXPECT_EQ(g_SysConfig.iniConfig.ReadInt(L"Global", L"nSnapShotType", -1), 2);
    Click(Settings(), Find(L"Closebtn"));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(Settings()); }));

    ::SetForegroundWindow(w_->GetHWND());
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == w_->GetHWND() && HasKeyboard(w_->GetHWND()); }));
    Xdo("key ctrl+a");
    std::filesystem::path taken;
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (const auto& e : std::filesystem::directory_iterator(shots.path()))
                if (e.path().extension() == ".png") taken = e.path();
            return !taken.empty();
        },
        20000));
    PumpFor(200);
    EXPECT_EQ(testsupport::ReadFile(taken).substr(1, 3), "PNG");
}

}  // namespace
