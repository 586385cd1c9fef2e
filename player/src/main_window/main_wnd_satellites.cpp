// The satellite windows of the main window: play list (right edge), caption bar (top), play
// panel (bottom), settings window and the tool tip. Each window's owner creates it here, in this
// order, so that every window is owned by the one before it: main → play list → caption →
// play panel → settings. The settings window, hidden until it is asked for, is made then.
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd.h"
#include "player/main_window/overlay_logic.h"
#include "player/play_list/play_list_wnd.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/settings/setting_wnd.h"
#include "player/settings/sys_config.h"
#include "skinui/controls.h"
#include "skinui/tooltip.h"

// The play list's side of the main window (defined in main_wnd_list.cpp).
IPlayListOwner* MainWndListOwner(CMorvaneWnd* wnd);

namespace {

// What the caption bar and its open-address dialog ask of the main window.
class MainCaptionOwner : public ICaptionOwner {
public:
    explicit MainCaptionOwner(CMorvaneWnd& wnd) : wnd_(wnd) {}
    HWND GetOwnerWindow() const override { return wnd_.GetHWND(); }
    std::wstring GetCurrentTitle() const override { return wnd_.strCurrentTitle; }
    HWND GetPlayPanelWindow() const override { return wnd_.pPlayPanel ? wnd_.pPlayPanel->GetHWND() : nullptr; }
    std::wstring GetCurrentPath() const override { return wnd_.strCurrentPath; }
    void SetCurrentPath(const std::wstring& path) override { wnd_.strCurrentPath = path; }
    void SetCurrentTitle(const std::wstring& title) override { wnd_.strCurrentTitle = title; }
    void SetListItemStopped(const std::wstring& path) override { wnd_.ListSetCurrentItem(path, 2); }
    void OpenMedia(const std::wstring& address) override { wnd_.playerCtrl.OpenMedia(address); }

private:
    CMorvaneWnd& wnd_;
};

// What the play panel asks of the main window.
class MainPanelOwner : public IPlayPanelOwner {
public:
    explicit MainPanelOwner(CMorvaneWnd& wnd) : wnd_(wnd) {}
    HWND GetOwnerWindow() const override { return wnd_.GetHWND(); }
    CPlayerCtrl& GetPlayerCtrl() override { return wnd_.playerCtrl; }
    std::wstring GetCurrentPath() const override { return wnd_.strCurrentPath; }
    void SetVolume(int volume) override { wnd_.SetVolume(volume); }
    void SetSeekDragActive(bool active) override { wnd_.bSeekDragActive = active ? 1 : 0; }
    void SetPlayState(bool play) override { wnd_.SetPlayState(play); }
    void Stop() override { wnd_.Stop(); }
    void OpenFileDialog() override { wnd_.OpenFileDialog(); }
    void SetFullScreen(bool on) override { wnd_.SetFullScreen(on); }
    void PlayNext() override { wnd_.ListPlayNext(); }
    std::wstring GetNextName() override { return wnd_.ListGetNextName(); }
    void ShowTip(const std::wstring& text) override { wnd_.ShowTip(text); }
    void SaveCurrentPosition() override { wnd_.SaveCurrentPosition(); }

private:
    CMorvaneWnd& wnd_;
};

}  // namespace

void CMorvaneWnd::CreateSatelliteWindows() {
    // Play list: docked at the right edge; hidden again at once once its handle was ever clicked.
    pPlayList = new CPlayListWnd(MainWndListOwner(this));
    if (pPlayList->Create(m_hWnd, L"WzPlayList", WS_VISIBLE, WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES)) {
        ::ShowWindow(pPlayList->GetHWND(), SW_SHOWNORMAL);
        pPlayList->FollowOwner();
        if (g_SysConfig.bClickedListHandler) ::ShowWindow(pPlayList->GetHWND(), SW_HIDE);
    }
    CreateCaptionAndPanel();

    // The hint window over the video (ShowTip).
    pToolTip = new skinui::CWzToolTip;
    pToolTip->Create(m_hWnd, L"WzToolTip", 0, 0);
    pToolTip->SetDelayShow(0);
    pToolTip->SetShowTime(kTipShowTimeMs);
    pToolTip->SetBktrans(true);
    pToolTip->SetDefaultFont(L"宋体", 15, false, false, false);
    pToolTip->SetTextColor(0xFFFF00);
}

void CMorvaneWnd::CreateCaptionAndPanel() {
    constexpr DWORD kBarExStyle = WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW;
    HWND list = PlayListHwnd();
    pCaptionOwner = std::make_unique<MainCaptionOwner>(*this);
    pCaption = new CCaptionWnd(pCaptionOwner.get());
    pCaption->Create(list ? list : m_hWnd, L"CaptionWnd", WS_VISIBLE, kBarExStyle);
    pCaption->CenterWindow();
    ::ShowWindow(pCaption->GetHWND(), SW_SHOWNORMAL);
    pCaption->FollowOwner();
    AddChild(pCaption->GetHWND());

    pPanelOwner = std::make_unique<MainPanelOwner>(*this);
    pPlayPanel = new CPlayPanelWnd(pPanelOwner.get(), pCaption);
    pPlayPanel->Create(pCaption->GetHWND(), L"PlayPanel", WS_VISIBLE, kBarExStyle);
    ::ShowWindow(pPlayPanel->GetHWND(), SW_SHOWNORMAL);
    pPlayPanel->FollowOwner();
    AddChild(pPlayPanel->GetHWND());

    // The volume state read at start and the stored transparency of the bars.
    skinui::CPaintManagerUI* panel = pPlayPanel->GetPaintManager();
    if (auto* vol = pPlayPanel->GetVolumeSlider()) vol->SetValue(g_SysConfig.nVolume);
    SetControlVisible(panel, L"btnVolume", !playerCtrl.bMuted);
    SetControlVisible(panel, L"btnVolumeZero", playerCtrl.bMuted);
    const int percent = (overlay::kMaxTransLevel - g_SysConfig.nCaptionPanelTransIdx) * 10;
    for (const wchar_t* name : {L"PlayPanelVerLay", L"PlayPanelBtnLay"})
        if (auto* c = panel->FindControl(name)) c->SetBkColor(overlay::TransColor(percent, overlay::kPlayListTransRgb));
    if (auto* c = pCaption->GetPaintManager()->FindControl(L"CaptionVerLay"))
        c->SetBkColor(overlay::TransColor(percent, overlay::kCaptionTransRgb));
}

CSettingWnd* CMorvaneWnd::SettingWindow() {
    if (!pSettingWnd) CreateSettingWindow();
    return pSettingWnd;
}

// Settings window: hidden until asked for, owned by the play panel.
void CMorvaneWnd::CreateSettingWindow() {
    HWND owner = m_hWnd;
    if (pPlayPanel && pPlayPanel->GetHWND()) owner = pPlayPanel->GetHWND();
    pSettingWnd = new CSettingWnd;
    SettingMainLink link;
    link.hwnd = m_hWnd;
    link.saveWindowRect = [this] { SaveWindowRect(); };
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
    link.setCurrentProgress = [this](std::int64_t seconds, int permille) { ListSetCurrentItemProgress(seconds, permille); };
    pSettingWnd->SetMainWindow(std::move(link));
    if (pSettingWnd->CreateHidden(owner)) AddChild(pSettingWnd->GetHWND());
}

void CMorvaneWnd::DestroySatelliteWindows() {
    // What the list kept for the end of its read calls back into the windows below.
    ListFinishRead();
    delete pToolTip;
    pToolTip = nullptr;
    if (pSettingWnd) {
        if (::IsWindow(pSettingWnd->GetHWND())) ::DestroyWindow(pSettingWnd->GetHWND());
        delete pSettingWnd;
        pSettingWnd = nullptr;
    }
    // The bars go before the windows they work for: panel, caption, then the play list.
    if (pPlayPanel) {
        if (pPlayPanel->GetHWND()) ::DestroyWindow(pPlayPanel->GetHWND());
        delete pPlayPanel;
        pPlayPanel = nullptr;
    }
    if (pCaption) {
        if (pCaption->GetHWND()) ::DestroyWindow(pCaption->GetHWND());
        delete pCaption;
        pCaption = nullptr;
    }
    if (pPlayList) {
        HWND list = pPlayList->GetHWND();
        delete pPlayList;  // saves the list
        pPlayList = nullptr;
        if (::IsWindow(list)) ::DestroyWindow(list);
    }
}

HWND CMorvaneWnd::PlayerNotifyWnd() const { return pPlayPanel ? pPlayPanel->GetHWND() : m_hWnd; }

void CMorvaneWnd::ShowTipWindow(const std::wstring& text) {
    if (!pToolTip || !pToolTip->GetHWND()) return;
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    int width = rc.right - rc.left - 100;
    HWND list = PlayListHwnd();
    if (list && ::IsWindowVisible(list)) {
        RECT lr;
        ::GetWindowRect(list, &lr);
        width -= lr.right - lr.left;
    }
    // Beside a list that leaves little room the hint takes some of the list's width rather than
    // one word a line.
    pToolTip->SetLabelFixedWidth(std::max(width, kTipMinWidth));
    pToolTip->SetShowTime(TipShowTimeMs(text));
    pToolTip->Show(text, rc.left + 50, rc.top + 50);
}
