// The settings window as the main window runs it, in this process under Xvfb: created hidden with
// the satellites, opened by the "Setting" hot key, and a hot key changed there at work in the main
// window at once and after a restart.
#include <gtest/gtest.h>

// The player's headers before X11's, whose macros clash with their names.
#include "player/play_panel_wnd.h"
#include "player/setting_wnd.h"
#include "skinui/controls.h"
#include "main_wnd_x.h"

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
        ASSERT_NE(w_->pSettingWnd, nullptr);
        ::SetForegroundWindow(w_->GetHWND());
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == w_->GetHWND(); }));
    }
    HWND Settings() { return w_->pSettingWnd->GetHWND(); }
    skinui::CControlUI* Find(const wchar_t* name) { return w_->pSettingWnd->GetPaintManager()->FindControl(name); }
};

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
