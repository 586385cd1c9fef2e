// Input of the main window: keys, hot keys, the mouse on the video, full screen and sizing.
#include <cstdlib>

#include "platform/kernel/process.h"
#include "common/convert.h"
#include "platform/windows/winuser.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd.h"
#include "player/main_window/main_menu.h"
#include "player/engine/media_types.h"
#include "player/main_window/overlay_logic.h"
#include "player/play_list/play_list_wnd.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/main_window/rbutton_menu.h"
#include "player/settings/setting_wnd.h"
#include "player/settings/sys_config.h"
#include "skinui/controls.h"
#include "skinui/tooltip.h"

namespace {

constexpr UINT_PTR IDT_CURSOR_HIDE = 1006;
constexpr UINT_PTR IDT_SINGLE_CLICK = 1008;
// The window's place is written once a move or size has rested this long.
constexpr UINT_PTR IDT_SAVE_PLACEMENT = 1010;
constexpr UINT kCursorHideMs = 2500;
constexpr UINT kSavePlacementMs = 500;

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

bool KeyDown(int vk) { return (::GetKeyState(vk) & 0x8000) != 0; }

void ShowCursorCounted() {
    if (::ShowCursor(TRUE) == 1) ::ShowCursor(FALSE);
}

void SetZ(HWND hwnd, bool topMost) {
    ::SetWindowPos(hwnd, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

RECT MonitorRectOf(HWND hwnd) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi)) return mi.rcMonitor;
    return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

void ForceForeground(HWND hwnd) {
    DWORD fg = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    DWORD me = ::GetCurrentThreadId();
    ::AttachThreadInput(me, fg, TRUE);
    ::SetForegroundWindow(hwnd);
    ::BringWindowToTop(hwnd);
    ::AttachThreadInput(me, fg, FALSE);
    ::SetActiveWindow(hwnd);
}

}  // namespace

void CMorvaneWnd::SetControlVisible(skinui::CPaintManagerUI* pm, const wchar_t* name, bool visible) {
    if (!pm) return;
    if (auto* c = pm->FindControl(name)) c->SetVisible(visible);
}

bool CMorvaneWnd::HandleInputMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    switch (uMsg) {
        case WM_MOVE:
            if (pCaption && pPlayPanel) {
                FollowSatellites();
                if (pToolTip && pToolTip->IsShown()) pToolTip->Hide();
                SaveWindowRectSoon();
            }
            lRes = 0;
            return true;
        case WM_SIZE: {
            bPanelShowPlain = 1;
            bCaptionListShowPlain = 1;
            RECT rc{};
            ::GetWindowRect(m_hWnd, &rc);
            if (pCaption && pPlayPanel &&
                (rc.right - rc.left != rcLast.right - rcLast.left || rc.bottom - rc.top != rcLast.bottom - rcLast.top)) {
                rcLast = rc;
                FollowSatellites();
                UpdateCaptionZoomButtons();
                SaveWindowRectSoon();
            }
            lRes = 0;
            return true;
        }
        case WM_ACTIVATEAPP:
            ::SetActiveWindow(m_hWnd);
            FollowPlayList();
            lRes = 0;
            return true;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            lRes = 0;
            return true;
        case WM_DISPLAYCHANGE:
            // Only a normal window takes the default size of the new resolution; a maximised or
            // full-screen one keeps covering its screen.
            if (!playerCtrl.bFullScreen && !::IsZoomed(m_hWnd) && !::IsIconic(m_hWnd))
                SetDefaultWindowSize(LOWORD(lParam));
            lRes = 0;
            return true;
        case WM_NCLBUTTONDBLCLK:
            UpdateCaptionZoomButtons();
            return false;
        case WM_NCRBUTTONUP:
            ShowRButtonMenu(lParam, true);
            lRes = 0;
            return true;
        case WM_NCMBUTTONUP:
            ToggleFullScreen();
            lRes = 0;
            return true;
        case WM_SYSKEYDOWN: {
            BOOL handled = TRUE;
            OnKeyDown(uMsg, wParam, lParam, handled);
            return false;
        }
        case WM_SYSCOMMAND: {
            const UINT cmd = static_cast<UINT>(wParam & 0xFFF0);
            if (cmd == SC_RESTORE) {
                if (!g_SysConfig.bUseDefWindowInfo && !::IsZoomed(m_hWnd) && !playerCtrl.bFullScreen &&
                    g_SysConfig.cx > 0 && g_SysConfig.cy > 0)
                    ::MoveWindow(m_hWnd, g_SysConfig.x0, g_SysConfig.y0, g_SysConfig.cx, g_SysConfig.cy, TRUE);
                FollowPlayList();
            } else if (cmd == SC_MAXIMIZE) {
                if (pCaption) pCaption->bCaptionHold.exchange(1);
            }
            return false;
        }
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            lRes = 0;
            return true;
        case WM_RBUTTONUP:
            if (bRightMenuArmed) {
                bRightMenuArmed = 0;
                ShowRButtonMenu(lParam, false);
            } else {
                bRightMenuArmed = 1;
            }
            lRes = 0;
            return true;
        case WM_MOUSEWHEEL:
            OnMouseWheel(wParam, lParam);
            lRes = 0;
            return true;
        case WM_SIZING:
            if (g_SysConfig.bScalePlayWnd) OnSizing(reinterpret_cast<RECT*>(lParam));
            return false;
        case WM_PLAYER_VIDEO_LBUTTONDOWN:
            bPressPending = 1;
            bDoubleClickSeen = 0;
            nPressX = GET_X_LPARAM(lParam);
            nPressY = GET_Y_LPARAM(lParam);
            lRes = 0;
            return true;
        case WM_PLAYER_VIDEO_MOUSEMOVE:
            OnVideoMouseMove(lParam);
            lRes = 0;
            return true;
        case WM_PLAYER_VIDEO_LBUTTONDBLCLK:
            OnVideoDoubleClick();
            lRes = 0;
            return true;
        case WM_PLAYER_VIDEO_LBUTTONUP:
            OnVideoLeftRelease();
            lRes = 0;
            return true;
        case WM_PLAYER_REDOCK:
            FollowSatellites();
            lRes = 0;
            return true;
        case WM_PLAYER_SHOW_AND_RAISE:
            ShowAndRaise();
            lRes = 0;
            return true;
        case WM_PLAYER_OPEN_FORUM:
            ::ShellExecuteW(nullptr, L"open", kForumPageUrl, nullptr, nullptr, SW_SHOW);
            lRes = 0;
            return true;
        default:
            return false;
    }
}

void CMorvaneWnd::FollowSatellites() {
    if (pPlayPanel) pPlayPanel->FollowOwner();
    if (pCaption) pCaption->FollowOwner();
    FollowPlayList();
}

void CMorvaneWnd::UpdateCaptionZoomButtons() {
    if (!pCaption) return;
    const bool zoomed = ::IsZoomed(m_hWnd) != 0;
    SetControlVisible(pCaption->GetPaintManager(), L"Restorebtn", zoomed);
    SetControlVisible(pCaption->GetPaintManager(), L"Maxbtn", !zoomed);
}

// ---- mouse on the video --------------------------------------------------------------------

void CMorvaneWnd::OnVideoMouseMove(LPARAM lParam) {
    ShowCursorCounted();
    if (playerCtrl.bFullScreen) {
        ::KillTimer(m_hWnd, IDT_CURSOR_HIDE);
        ::SetTimer(m_hWnd, IDT_CURSOR_HIDE, kCursorHideMs, nullptr);
    }
    if (bPressPending && !playerCtrl.bFullScreen &&
        overlay::IsDragMove(nPressX, nPressY, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) {
        bPressPending = 0;
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWnd, &pt);
        ::PostMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    }
}

bool CMorvaneWnd::CursorOverBars() const {
    POINT pt{};
    ::GetCursorPos(&pt);
    RECT rc{};
    if (pPlayPanel && ::GetWindowRect(pPlayPanel->GetHWND(), &rc) && Contains(rc, pt)) return true;
    if (pCaption && ::GetWindowRect(pCaption->GetHWND(), &rc) && Contains(rc, pt)) return true;
    return false;
}

void CMorvaneWnd::OnVideoLeftRelease() {
    if (!bPressPending) return;
    bPressPending = 0;
    if (IsMediaOpen() && CursorOverBars()) return;
    ::SetTimer(m_hWnd, IDT_SINGLE_CLICK, ::GetDoubleClickTime(), nullptr);
}

void CMorvaneWnd::OnVideoDoubleClick() {
    if (IsMediaOpen() && !playerCtrl.bFullScreen && CursorOverBars()) {
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, ::IsZoomed(m_hWnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
        return;
    }
    ::KillTimer(m_hWnd, IDT_SINGLE_CLICK);
    bDoubleClickSeen = 1;
    ToggleFullScreen();
}

void CMorvaneWnd::OnSingleClick() {
    if (pPlayPanel && ::IsWindowVisible(pPlayPanel->GetHWND())) {
        RECT rc{};
        POINT pt{};
        ::GetWindowRect(pPlayPanel->GetHWND(), &rc);
        ::GetCursorPos(&pt);
        if (pt.y < rc.top && rc.top - pt.y < 5) return;
    }
    SetPlayState(!playerCtrl.IsPlaying());
}

void CMorvaneWnd::OnTimer(UINT_PTR id) {
    if (id == IDT_SINGLE_CLICK) {
        if (!bDoubleClickSeen) OnSingleClick();
        ::KillTimer(m_hWnd, IDT_SINGLE_CLICK);
    } else if (id == IDT_CURSOR_HIDE) {
        OnCursorHideTimer();
    } else if (id == IDT_SAVE_PLACEMENT) {
        ::KillTimer(m_hWnd, IDT_SAVE_PLACEMENT);
        SaveWindowRect();
    }
}

void CMorvaneWnd::OnCursorHideTimer() {
    if (!playerCtrl.bFullScreen || !playerCtrl.IsPlaying()) {
        ::KillTimer(m_hWnd, IDT_CURSOR_HIDE);
        return;
    }
    POINT pt{};
    ::GetCursorPos(&pt);
    RECT rc{}, video{};
    ::GetWindowRect(m_hWnd, &rc);
    if (!hVideoSurface || !::IsWindowVisible(hVideoSurface) || !::GetWindowRect(hVideoSurface, &video) ||
        !Contains(video, pt) || CursorOverBars())
        return;
    if (overlay::InBottomBand(pt, rc) || overlay::InTopBand(pt, rc)) return;
    if (!bCursorHideAllowed) return;
    ::ShowCursor(FALSE);
    ::KillTimer(m_hWnd, IDT_CURSOR_HIDE);
}

void CMorvaneWnd::ShowRButtonMenu(LPARAM packed, bool screen) {
    POINT pt{GET_X_LPARAM(packed), GET_Y_LPARAM(packed)};
    if (!screen) ::ClientToScreen(hVideoSurface ? hVideoSurface : m_hWnd, &pt);
    bCursorHideAllowed = 0;
    {
        CRButtonMenu menu(kRButtonMenuLayout);
        menu.Init(m_hWnd);
        menu.Track(pt.x, pt.y);
    }
    bRightMenuArmed = 1;
    bCursorHideAllowed = 1;
}

void CMorvaneWnd::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HWND list = PlayListHwnd();
    RECT rc{};
    if (list && ::IsWindowVisible(list) && ::GetWindowRect(list, &rc) && Contains(rc, pt)) {
        ::SendMessageW(list, WM_MOUSEWHEEL, wParam, lParam);
        return;
    }
    playerCtrl.bMuted = false;
    SetVolume(overlay::VolumeStep(playerCtrl.GetVolume(), GET_WHEEL_DELTA_WPARAM(wParam) > 0));
}

// ---- keyboard ---------------------------------------------------------------------------------

LRESULT CMorvaneWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    const UINT key = static_cast<UINT>(wParam);
    if (key == VK_RETURN) {
        BYTE state[256] = {};
        ::GetKeyboardState(state);
        bool other = false;
        for (int i = 0; i < 256 && !other; ++i)
            if (i != VK_RETURN && (state[i] & 0x80)) other = true;
        if (overlay::EnterTogglesFullScreen(KeyDown(VK_CONTROL), other)) ToggleFullScreen();
        return 0;
    }
    OnHotKey(key, overlay::KeyMask(key, KeyDown(VK_CONTROL), KeyDown(VK_SHIFT), KeyDown(VK_MENU)));
    bHandled = FALSE;
    return 0;
}

void CMorvaneWnd::OnHotKey(UINT key, WORD mask) {
    using overlay::HotKeyAction;
    if (playerCtrl.bFullScreen) SetZ(m_hWnd, true);
    switch (overlay::MatchHotKey(g_SysConfig.g_HotKeys, static_cast<WORD>(key), mask)) {
        case HotKeyAction::None:
            break;
        case HotKeyAction::PlayPause:
            SetPlayState(!playerCtrl.IsPlaying());
            break;
        case HotKeyAction::PlayNext:
            ListPlayNext();
            break;
        case HotKeyAction::PlayPrevious:
            ListPlayPrevious();
            break;
        case HotKeyAction::Stop:
            Stop();
            break;
        case HotKeyAction::FastBackward:
            if (IsMediaOpen()) playerCtrl.SeekBackward();
            break;
        case HotKeyAction::FastForward:
            playerCtrl.SeekForward();
            break;
        case HotKeyAction::VolumeUp:
            SetVolume(overlay::VolumeStep(playerCtrl.GetVolume(), true));
            break;
        case HotKeyAction::VolumeDown:
            SetVolume(overlay::VolumeStep(playerCtrl.GetVolume(), false));
            break;
        case HotKeyAction::Mute:
            ToggleMute();
            break;
        case HotKeyAction::OpenFile:
            OpenFileDialog();
            break;
        case HotKeyAction::OpenUrl:
            if (pCaption) pCaption->ShowOpenURLWnd();
            break;
        case HotKeyAction::TopMost: {
            overlay::TopMostChange c = overlay::ToggleTopMostMode(g_SysConfig.nTopMostMode);
            g_SysConfig.nTopMostMode = c.mode;
            SetZ(m_hWnd, c.z == overlay::TopMostZ::TopMost);
            g_SysConfig.iniConfig.WriteInt(L"Global", L"nTopMostMode", c.mode);
            break;
        }
        case HotKeyAction::FullScreen:
            SetFullScreen(!playerCtrl.bFullScreen);
            break;
        case HotKeyAction::CloseWindow:
            ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
            break;
        case HotKeyAction::Setting:
            ShowSettingWnd();
            break;
        case HotKeyAction::Snapshot:
            TakeSnapshot();
            break;
        case HotKeyAction::RateUp:
            if (pPlayPanel) pPlayPanel->SetPlayRateTenths(pPlayPanel->GetPlayRateTenths() + 1);
            break;
        case HotKeyAction::RateDown:
            if (pPlayPanel) pPlayPanel->SetPlayRateTenths(pPlayPanel->GetPlayRateTenths() - 1);
            break;
        case HotKeyAction::RateNormal:
            if (pPlayPanel) pPlayPanel->SetPlayRateTenths(overlay::kRateNormal);
            break;
    }
}

LRESULT CMorvaneWnd::ResponseDefaultKeyEvent(WPARAM wParam) {
    if (wParam == VK_ESCAPE) {
        if (::IsZoomed(m_hWnd))
            ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        else if (playerCtrl.bFullScreen)
            SetFullScreen(false);
    }
    return CWzXMLWnd::ResponseDefaultKeyEvent(wParam);
}

// ---- full screen and sizing ------------------------------------------------------------------

void CMorvaneWnd::ToggleFullScreen() {
    if (!IsMediaOpen() || IsMusicFile(strCurrentPath.c_str())) {
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, ::IsZoomed(m_hWnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
        return;
    }
    SetFullScreen(!playerCtrl.bFullScreen);
}

void CMorvaneWnd::SetFullScreen(bool on) {
    bRightMenuArmed = 1;
    if ((on || ::IsZoomed(m_hWnd)) && pCaption) pCaption->bCaptionHold.exchange(1);
    if (on == playerCtrl.bFullScreen) {
        // Nothing to change; the placement saved when it went on stays the one to come back to.
        UpdateFullScreenButtons(on);
        return;
    }
    playerCtrl.bFullScreen = on;
    skinui::CPaintManagerUI* caption = pCaption ? pCaption->GetPaintManager() : nullptr;
    if (on) {
        wpNormal.length = sizeof wpNormal;
        ::GetWindowPlacement(m_hWnd, &wpNormal);
        // The monitor that holds the window, not always the first one.
        const RECT mon = MonitorRectOf(m_hWnd);
        if (::IsZoomed(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWDEFAULT);
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        wp.flags = 0;
        wp.showCmd = SW_SHOWNORMAL;
        wp.rcNormalPosition = mon;
        ::SetWindowPlacement(m_hWnd, &wp);
        SetZ(m_hWnd, true);
        ForceForeground(m_hWnd);
        SetControlVisible(caption, L"Systembtn", false);
    } else {
        ::SetWindowPlacement(m_hWnd, &wpNormal);
        if (g_SysConfig.nTopMostMode == 2) SetZ(m_hWnd, false);
        SetControlVisible(caption, L"Systembtn", true);
        const bool zoomed = ::IsZoomed(m_hWnd) != 0;
        SetControlVisible(caption, L"Restorebtn", zoomed);
        SetControlVisible(caption, L"Maxbtn", !zoomed);
        if (zoomed && pCaption) pCaption->bCaptionHold.exchange(1);
    }
    UpdateFullScreenButtons(on);
}

void CMorvaneWnd::UpdateFullScreenButtons(bool on) {
    skinui::CPaintManagerUI* panel = pPlayPanel ? pPlayPanel->GetPaintManager() : nullptr;
    SetControlVisible(panel, L"btnScreenNormal", on);
    SetControlVisible(panel, L"btnScreenFull", !on);
}

LRESULT CMorvaneWnd::OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (playerCtrl.bFullScreen) return HTCLIENT;
    return CWzXMLWnd::OnNcHitTest(uMsg, wParam, lParam, bHandled);
}

void CMorvaneWnd::OnGetMinMaxInfo(MINMAXINFO* mmi) {
    if (!mmi) return;
    if (playerCtrl.bFullScreen) {
        const RECT mon = MonitorRectOf(m_hWnd);
        mmi->ptMaxTrackSize.x = 2 * (::GetSystemMetrics(SM_CXDLGFRAME) + ::GetSystemMetrics(SM_CXBORDER)) +
                                (mon.right - mon.left);
        mmi->ptMaxTrackSize.y = 2 * (::GetSystemMetrics(SM_CYDLGFRAME) + ::GetSystemMetrics(SM_CYBORDER)) +
                                (mon.bottom - mon.top);
        return;
    }
    mmi->ptMinTrackSize = overlay::MinTrackSize(mmi->ptMinTrackSize, SIZE{kMainWndMinWidth, kMainWndMinHeight}, dVideoAspect);
}

void CMorvaneWnd::OnSizing(RECT* rc) {
    if (!rc || !g_SysConfig.bScalePlayWnd || !IsMediaOpen() || IsMusicFile(strCurrentPath.c_str()) ||
        dVideoAspect == 0.0 || ::IsZoomed(m_hWnd))
        return;
    RECT cur{};
    ::GetWindowRect(m_hWnd, &cur);
    *rc = overlay::KeepAspectSizing(*rc, cur, nEdgeHitCode, dVideoAspect, IsVistaOrLater());
}

void CMorvaneWnd::SaveWindowRectSoon() {
    // Written once the move rests rather than at every pixel of a drag.
    ::SetTimer(m_hWnd, IDT_SAVE_PLACEMENT, kSavePlacementMs, nullptr);
}

void CMorvaneWnd::SavePendingWindowRect() {
    if (::KillTimer(m_hWnd, IDT_SAVE_PLACEMENT)) SaveWindowRect();
}

void CMorvaneWnd::SaveWindowRect() {
    // Every monitor position counts, also left of or above the first monitor.
    if (playerCtrl.bFullScreen || ::IsIconic(m_hWnd)) return;
    if (::IsZoomed(m_hWnd)) {
        g_SysConfig.bIsZoomed = 1;
    } else {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        g_SysConfig.bIsZoomed = 0;
        g_SysConfig.x0 = rc.left;
        g_SysConfig.y0 = rc.top;
        g_SysConfig.cx = rc.right - rc.left;
        g_SysConfig.cy = rc.bottom - rc.top;
    }
    g_SysConfig.SaveWindowInfo();
}

// ---- other operations -------------------------------------------------------------------------

void CMorvaneWnd::ShowSettingWnd() {
    if (CSettingWnd* settings = SettingWindow()) settings->ShowOverMain();
}

void CMorvaneWnd::ShowAndRaise() {
    ShowWindow(true, true);
    ::BringWindowToTop(m_hWnd);
}

void CMorvaneWnd::ToggleMute() {
    const bool muted = !playerCtrl.bMuted;
    if (pPlayPanel)
        pPlayPanel->SetMute(muted);
    else
        playerCtrl.bMuted = muted;
}

void CMorvaneWnd::SetVolume(int v) {
    v = overlay::ClampVolume(v);
    ShowTip(overlay::VolumeTip(v));
    playerCtrl.bMuted = false;
    playerCtrl.SetStoredVolume(v);
    skinui::CPaintManagerUI* panel = pPlayPanel ? pPlayPanel->GetPaintManager() : nullptr;
    SetControlVisible(panel, L"btnVolume", true);
    SetControlVisible(panel, L"btnVolumeZero", false);
    if (IsMediaOpen()) playerCtrl.ApplyVolume();
    if (pPlayPanel && pPlayPanel->GetVolumeSlider()) pPlayPanel->GetVolumeSlider()->SetValue(v);
    g_SysConfig.bMute = 0;
    g_SysConfig.nVolume = v;
    g_SysConfig.iniConfig.WriteInt(L"Volume", L"bMute", 0);
    g_SysConfig.iniConfig.WriteInt(L"Volume", L"nVolume", v);
}

// ---- the video surface ---------------------------------------------------------------------

LRESULT CALLBACK VideoSurfaceProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto pass = [&] {
        return g_pfnVideoSurfaceProc ? ::CallWindowProcW(g_pfnVideoSurfaceProc, hwnd, uMsg, wParam, lParam)
                                     : ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    };
    CMorvaneWnd* main = g_pMainWnd;
    HWND parent = ::GetParent(hwnd);
    switch (uMsg) {
        case WM_ACTIVATE:
        case WM_SETFOCUS:
            return 3;
        case WM_NCHITTEST: {
            if (!main) return pass();
            main->nEdgeHitCode = 0;
            if (!::IsZoomed(main->GetHWND())) {
                POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ::ScreenToClient(main->GetHWND(), &pt);
                RECT rc{};
                ::GetClientRect(main->GetHWND(), &rc);
                int code = overlay::EdgeHitCode(pt.x, pt.y, rc.right - rc.left, rc.bottom - rc.top);
                if (code) {
                    main->nEdgeHitCode = code;
                    return HTTRANSPARENT;
                }
            }
            return pass();
        }
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE && main) ::SendMessageW(main->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
            return pass();
        case WM_MOUSEMOVE: {
            TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER | TME_LEAVE, hwnd, 1};
            ::TrackMouseEvent(&tme);
            ::PostMessageW(parent, WM_PLAYER_VIDEO_MOUSEMOVE, wParam, lParam);
            return pass();
        }
        case WM_LBUTTONDOWN:
            ::PostMessageW(parent, WM_PLAYER_VIDEO_LBUTTONDOWN, wParam, lParam);
            return pass();
        case WM_LBUTTONUP:
            ::PostMessageW(parent, WM_PLAYER_VIDEO_LBUTTONUP, wParam, lParam);
            return pass();
        case WM_LBUTTONDBLCLK:
            ::PostMessageW(parent, WM_PLAYER_VIDEO_LBUTTONDBLCLK, wParam, lParam);
            return pass();
        case WM_RBUTTONDOWN:
            ::PostMessageW(parent, WM_PLAYER_VIDEO_RBUTTONDOWN, wParam, lParam);
            return 0;
        case WM_RBUTTONUP:
            ::PostMessageW(parent, WM_RBUTTONUP, wParam, lParam);
            return 0;
        case WM_MBUTTONUP:
            ::PostMessageW(parent, WM_NCMBUTTONUP, wParam, lParam);
            return 0;
        case WM_MOUSELEAVE:
            if (main) main->bPressPending = 0;
            return pass();
        default:
            return pass();
    }
}
