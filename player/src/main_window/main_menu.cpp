#include "player/main_window/main_menu.h"

#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/kernel/module_names.h"
#include "platform/kernel/process.h"
#include "platform/windows/winuser.h"
#include "player/main_window/main_wnd.h"
#include "player/main_window/startup.h"
#include "player/settings/sys_config.h"

using namespace skinui;

void CheckOnly(CMenuUI* submenu, int count, int checked) {
    if (!submenu) return;
    for (int i = 0; i < count; ++i) submenu->SetItemCheck(i, false);
    submenu->SetItemCheck(checked, true);
}

void PadMenuGroups(CWzMenu& menu, const std::vector<MenuPadGroup>& groups) {
    CMenuUI* major = menu.FindMenuByName(L"major");
    if (!major) return;
    auto measure = [major](const std::wstring& text) { return static_cast<int>(major->MeasureText(text.c_str()).cx); };
    for (const MenuPadGroup& g : groups) {
        CMenuUI* sub = menu.FindMenuByName(g.submenu);
        if (!sub) return;
        std::vector<overlay::PadItem> items;
        for (const MenuPadItem& it : g.items) items.push_back({it.label, it.hotKey, it.measured});
        overlay::PadResult r = overlay::PadMenuLabels(items, sub->GetDefaultWidth(), menu.GetIcoWidth(), measure);
        if (r.fixedWidth > 0) sub->SetFixedWidth(r.fixedWidth);
        for (size_t i = 0; i < g.items.size(); ++i) sub->SetItemText(g.items[i].position, r.texts[i].c_str());
    }
}

namespace {

HWND MainHwnd() { return g_pMainWnd ? g_pMainWnd->GetHWND() : nullptr; }

void WriteTopMostMode(int mode) {
    g_SysConfig.nTopMostMode = mode;
    g_SysConfig.iniConfig.WriteInt(L"Global", L"nTopMostMode", mode);
}

void SetMainZ(overlay::TopMostZ z) {
    if (HWND main = MainHwnd())
        ::SetWindowPos(main, z == overlay::TopMostZ::TopMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE);
}

std::wstring HotKeyText(int entry) { return overlay::MenuHotKeyText(g_SysConfig.g_HotKeys[entry]); }

}  // namespace

void SetTopMostPlaying() {
    WriteTopMostMode(0);
    SetMainZ(overlay::TopMostZ::NotTopMost);
    const bool playing = g_pMainWnd && g_pMainWnd->IsMediaOpen() && g_pMainWnd->playerCtrl.IsPlaying();
    if (playing) SetMainZ(overlay::TopMostZ::TopMost);
}

void SetTopMostAlways() {
    WriteTopMostMode(1);
    SetMainZ(overlay::TopMostZ::TopMost);
}

void SetTopMostNever() {
    WriteTopMostMode(2);
    SetMainZ(overlay::TopMostZ::NotTopMost);
}

bool TopMostChoice(const std::wstring& name) {
    if (name == L"topmost_playing")
        SetTopMostPlaying();
    else if (name == L"topmost_almost")
        SetTopMostAlways();
    else if (name == L"topmost_cancel")
        SetTopMostNever();
    else
        return false;
    return true;
}

bool StartUpdaterFromMenu() {
    const std::wstring path = platform::ModuleFolder() + kUpdaterProgram;
    if (!::PathFileExistsW(platform::MapModulePath(path).c_str())) return false;
    ::ShellExecuteW(nullptr, L"open", path.c_str(), kManualUpdateArgs, nullptr, SW_SHOWNORMAL);
    return true;
}

void CMainMenu::Init(HWND owner) {
    CWzMenu::Init(owner);
    CheckOnly(FindMenuByName(L"topmost"), 3, g_SysConfig.nTopMostMode);
    PadMenuGroups(*this, {
                             {L"major",
                              {{3, L"系统设置...", HotKeyText(HK_Setting), L""},
                               {7, L"退出", HotKeyText(HK_CloseWindow), L""}}},
                             {L"open",
                              {{0, L"打开文件...", HotKeyText(HK_OpenFile), L""},
                               {1, L"打开URl...", HotKeyText(HK_OpenUrl), L"打开URL... " + HotKeyText(HK_OpenUrl)}}},
                             {L"topmost", {{1, L"总是最前", HotKeyText(HK_TopMost), L""}}},
                         });
}

std::wstring CMainMenu::Track(int x, int y) {
    std::wstring name = TrackPopupMenu(x, y);
    if (name.empty() || name == L"null") return L"null";
    HWND caption = GetOwner();
    if (name == L"open_file") {
        ::PostMessageW(MainHwnd(), WM_PLAYER_OPEN_FILE, 0, 0);
    } else if (name == L"open_url") {
        ::PostMessageW(caption, WM_PLAYER_SHOW_OPEN_URL, 0, 0);
    } else if (name == L"setting") {
        if (g_pMainWnd) g_pMainWnd->ShowSettingWnd();
    } else if (name == L"quit") {
        ::PostMessageW(MainHwnd(), WM_CLOSE, 0, 0);
    } else if (TopMostChoice(name)) {
    } else if (name == L"tarsel_homepage") {
        ::ShellExecuteW(nullptr, L"open", kHomePage, nullptr, nullptr, SW_SHOW);
    } else if (name == L"tarsel_bbs") {
        ::ShellExecuteW(nullptr, L"open", kForumPageUrl, nullptr, nullptr, SW_SHOW);
    } else if (name == L"about") {
        ::PostMessageW(caption, WM_PLAYER_SHOW_ABOUT, 0, 0);
    } else if (name == L"update") {
        StartUpdaterFromMenu();
    }
    return name;
}
