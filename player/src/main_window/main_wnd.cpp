// The main window: construction, InitWindow, the video surface, placement, and the end.
#include "player/main_window/main_wnd.h"

#include <unistd.h>

#include <cwctype>

#include "download/process_finder.h"
#include "platform/profile/profile.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/settings/file_assoc_client.h"
#include "player/settings/sys_config.h"
#include "player/main_window/wnd_ui.h"
#include "skinui/container.h"

CMorvaneWnd* g_pMainWnd = nullptr;
WNDPROC g_pfnVideoSurfaceProc = nullptr;

namespace {

const skinui::DUI_MSGMAP_ENTRY kMainWndEntries[] = {
    {DUI_MSGTYPE_CLICK, nullptr, skinui::DuiMsgFn<skinui::WindowImplBase>(&skinui::WindowImplBase::OnClick)},
    {nullptr, nullptr, nullptr},
};

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b)
        if (std::towlower(*a) != std::towlower(*b)) return false;
    return *a == *b;
}

}  // namespace

const skinui::DUI_MSGMAP g_MainWndMessageMap = {&skinui::CNotifyPump::messageMap, kMainWndEntries};

const skinui::DUI_MSGMAP* CMorvaneWnd::GetMessageMap() const { return &g_MainWndMessageMap; }

CMorvaneWnd::CMorvaneWnd(const std::wstring& startPath) : CWzXMLWnd(kMainWndLayout), strCurrentPath(startPath) {
    playerCtrl.nVolume = 60;
    g_pPlayerCtrl = &playerCtrl;
    // libVLC starts beside the building of the windows. The display comes first: starting GTK
    // sets the locale and the environment, which libVLC's start reads.
    platform::HasDisplay();
    playerCtrl.mediaPlayer.StartInstance();
}

CMorvaneWnd::~CMorvaneWnd() {
    StopThreads();
    // The satellites call back into this window; they go before it.
    DestroySatelliteWindows();
    if (g_pMainWnd == this) g_pMainWnd = nullptr;
}

skinui::CControlUI* CMorvaneWnd::CreateControl(const wchar_t* pstrClass) {
    if (!EqualsNoCase(pstrClass, L"WndMediaDisplay")) return nullptr;
    // A native child: libVLC draws into its X window.
    hVideoSurface = ::CreateWindowExW(0, platform::kNativeWindowClass, L"WndMediaDisplay", WS_CHILD | WS_VISIBLE, 0, 0,
                                      0, 0, m_PaintManager.GetPaintWindow(), nullptr, nullptr, nullptr);
    if (hVideoSurface) {
        g_pfnVideoSurfaceProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hVideoSurface, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&VideoSurfaceProc)));
    }
    auto* host = new CWndUI;
    host->Attach(hVideoSurface);
    return host;
}

SIZE CMorvaneWnd::DefaultWindowSize(UINT monitorWidth) {
    if (monitorWidth <= 1280) return {512, 288};
    if (monitorWidth <= 1680) return {576, 324};
    return {768, 432};
}

void CMorvaneWnd::SetDefaultWindowSize(UINT monitorWidth) {
    SIZE s = DefaultWindowSize(monitorWidth);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, s.cx, s.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    CenterWindow();
}

void CMorvaneWnd::PlaceWindow() {
    auto defaultPlacement = [this] {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        SetDefaultWindowSize(static_cast<UINT>(mi.rcMonitor.right - mi.rcMonitor.left));
        wpNormal.length = sizeof wpNormal;
        ::GetWindowPlacement(m_hWnd, &wpNormal);
    };
    const CSysConfig& c = g_SysConfig;
    if (c.bUseDefWindowInfo || (c.x0 == 0 && c.y0 == 0 && c.cx == 0 && c.cy == 0)) {
        defaultPlacement();
    } else if (c.bIsZoomed) {
        ::ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
    } else {
        ::MoveWindow(m_hWnd, c.x0, c.y0, c.cx, c.cy, TRUE);
    }
}

void CMorvaneWnd::ApplyStartZOrder() {
    ::SetWindowPos(m_hWnd, g_SysConfig.nTopMostMode == 1 ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE);
}

void CMorvaneWnd::InitWindow() {
    SetIcon(101);
    ::SetPropW(m_hWnd, kMainWndProp, reinterpret_cast<HANDLE>(1));
    bPanelShowPlain = 0;
    bCaptionListShowPlain = 0;
    PlaceWindow();
    g_pMainWnd = this;

    // The volume state comes before the satellites, so the play panel can show it when it is made.
    const std::wstring& cfg = g_SysConfig.strConfigPath;
    g_SysConfig.bMute = static_cast<int>(::GetPrivateProfileIntW(L"Volume", L"bMute", 0, cfg.c_str()));
    g_SysConfig.nVolume = static_cast<int>(::GetPrivateProfileIntW(L"Volume", L"nVolume", 50, cfg.c_str()));
    if (g_SysConfig.nVolume > 100 || g_SysConfig.nVolume < 0) {
        g_SysConfig.nVolume = g_SysConfig.nVolume < 0 ? 0 : 100;
        g_SysConfig.iniConfig.WriteInt(L"Volume", L"bMute", g_SysConfig.bMute);
        g_SysConfig.iniConfig.WriteInt(L"Volume", L"nVolume", g_SysConfig.nVolume);
    }
    playerCtrl.bMuted = g_SysConfig.bMute != 0;
    playerCtrl.SetStoredVolume(g_SysConfig.nVolume);

    // The start file begins to play before the satellites are built, since libVLC needs longer
    // for its first picture than they take; the start-up worker's PlayFile takes the medium over.
    const bool media = Find(L"wndMedia") != nullptr;
    if (media && !strCurrentPath.empty()) {
        playerCtrl.Attach(nullptr, hVideoSurface);
        playerCtrl.OpenEarly(strCurrentPath);
    }

    CreateSatelliteWindows();

    if (media) playerCtrl.Attach(PlayerNotifyWnd(), hVideoSurface);

    StartThreads();
    EnableMessageFilter();
}

skinui::CControlUI* CMorvaneWnd::Find(const wchar_t* name) { return m_PaintManager.FindControl(name); }

void CMorvaneWnd::SetVisibleByName(const wchar_t* name, bool visible) {
    if (auto* c = Find(name)) c->SetVisible(visible);
}

void CMorvaneWnd::Shutdown() {
    // First of all: a second start from now on begins an instance of its own instead of handing
    // its file to this one.
    ::RemovePropW(m_hWnd, kMainWndProp);
    SavePendingWindowRect();
    ::ShowWindow(m_hWnd, SW_HIDE);
    SHowAllChildWindows(false);
    // The position goes into the record of the file, which a list still being read lacks.
    ListFinishRead();
    SaveCurrentPosition();
    ListApplyClearOptions();
    ListSave();
    // The list is written by a thread of its own: its last writes are waited for here, since
    // the process ends without unwinding.
    g_SysConfig.FlushPlayList();
    StopAgentAtExit();
}

LRESULT CMorvaneWnd::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    Shutdown();
    // Everything that must survive is on disk now; the process ends without unwinding, and a
    // start-up report still waiting for its server ends with it.
    ::_exit(0);
}

LRESULT CMorvaneWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = CWzXMLWnd::HandleMessage(uMsg, wParam, lParam);
    switch (uMsg) {
    case WM_DESTROY:
        // libVLC draws into the video surface from its own threads, and the surface, a child,
        // is destroyed after this message: its output ends first.
        playerCtrl.mediaPlayer.Stop();
        StopThreads();
        ListApplyClearOptions();
        DestroySatelliteWindows();
        return 0;
    case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_PLAYER_OPEN_FILE:
    case WM_PLAYER_OPEN_FILE2: OpenFileDialog(); return lRes;
    case WM_PLAYER_RUN_ON_UI: RunQueuedUiCalls(); return 0;
    default: break;
    }
    LRESULT r = 0;
    if (OnPlayerMessage(uMsg, wParam, lParam, r)) return r;
    if (HandleInputMessage(uMsg, wParam, lParam, r)) return r;
    return lRes;
}

void CMorvaneWnd::RunOnUi(std::function<void()> fn) {
    if (!m_hWnd) return;
    {
        std::lock_guard lock(uiCallsLock);
        uiCalls.push_back(std::move(fn));
    }
    // The message carries no pointer: one sent by another process only runs what is queued here.
    ::PostMessageW(m_hWnd, WM_PLAYER_RUN_ON_UI, 0, 0);
}

void CMorvaneWnd::RunQueuedUiCalls() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(uiCallsLock);
        calls.swap(uiCalls);
    }
    for (auto& fn : calls) fn();
}

void CMorvaneWnd::StopAgentAtExit() {
    CProcessFinder finder(FinderVariant::Player);
    CloseElevatedHelper(finder);
}
