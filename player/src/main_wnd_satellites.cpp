// The satellite windows of the main window: play list (right edge), caption bar (top), play
// panel (bottom), settings window and the tool tip. Each window's owner creates it here, in this
// order, so that every window is owned by the one before it: main → play list → caption →
// play panel → settings.
#include "player/main_wnd.h"
#include "player/play_list_wnd.h"
#include "player/setting_wnd.h"
#include "player/sys_config.h"

// The play list's side of the main window (defined in main_wnd_list.cpp).
IPlayListOwner* MainWndListOwner(CMorvaneWnd* wnd);

void CMorvaneWnd::CreateSatelliteWindows() {
    // Play list: docked at the right edge; hidden again at once once its handle was ever clicked.
    pPlayList = new CPlayListWnd(MainWndListOwner(this));
    if (pPlayList->Create(m_hWnd, L"WzPlayList", WS_VISIBLE, WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES)) {
        ::ShowWindow(pPlayList->GetHWND(), SW_SHOWNORMAL);
        pPlayList->FollowOwner();
        if (g_SysConfig.bClickedListHandler) ::ShowWindow(pPlayList->GetHWND(), SW_HIDE);
    }

    CreateSettingWindow();
}

// Settings window: hidden until asked for, owned by the last window of the chain.
void CMorvaneWnd::CreateSettingWindow() {
    HWND owner = m_hWnd;
    if (pPlayList && pPlayList->GetHWND()) owner = pPlayList->GetHWND();
    pSettingWnd = new CSettingWnd;
    SettingMainLink link;
    link.hwnd = m_hWnd;
    link.fitWindowToVideo = [this] { FitWindowToVideo(); };
    link.currentMedia = [this] {
        CurrentMedia m;
        m.open = IsMediaOpen();
        if (m.open) {
            m.path = strCurrentPath;
            m.seconds = playerCtrl.GetTime() / 1000;
            m.permille = playerCtrl.GetPosition();
        }
        return m;
    };
    pSettingWnd->SetMainWindow(std::move(link));
    pSettingWnd->CreateHidden(owner);
}

void CMorvaneWnd::DestroySatelliteWindows() {
    if (pSettingWnd) {
        if (::IsWindow(pSettingWnd->GetHWND())) ::DestroyWindow(pSettingWnd->GetHWND());
        delete pSettingWnd;
        pSettingWnd = nullptr;
    }
    if (pPlayList) {
        HWND list = pPlayList->GetHWND();
        delete pPlayList;  // saves the list
        pPlayList = nullptr;
        if (::IsWindow(list)) ::DestroyWindow(list);
    }
}

HWND CMorvaneWnd::PlayerNotifyWnd() const { return m_hWnd; }

void CMorvaneWnd::ShowTipWindow(const std::wstring&) {}
