#include "player/main_window/play_panel_wnd.h"

#include "platform/kernel/ticks.h"
#include "platform/windows/winuser.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd_messages.h"
#include "player/engine/media_types.h"
#include "player/engine/player_ctrl.h"
#include "player/settings/sys_config.h"
#include "skinui/container.h"
#include "skinui/controls.h"
#include "skinui/tooltip.h"

using namespace skinui;

namespace {

// The controls whose rectangles make the panel take the mouse; elsewhere it is see-through.
constexpr const wchar_t* kHitControls[] = {
    L"sliderPlay", L"btnPlay",    L"btnPlayNext", L"btnPause",        L"btnStop",        L"sliderVol",     L"btnVolume",
    L"btnVolumeZero", L"btnScreenFull", L"btnScreenNormal", L"openfile", L"play_speed_down", L"play_speed_up",
};

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

}  // namespace

CPlayPanelWnd::CPlayPanelWnd(IPlayPanelOwner* owner, CCaptionWnd* caption)
    : CWzXMLWnd(kPlayPanelLayout),
      m_hOwnerWnd(owner ? owner->GetOwnerWindow() : nullptr),
      m_pOwner(owner),
      m_pPlayerCtrl(owner ? &owner->GetPlayerCtrl() : nullptr),
      m_pCaption(caption) {}

CPlayPanelWnd::~CPlayPanelWnd() = default;

CButtonUI* CPlayPanelWnd::Button(const wchar_t* name) const {
    return static_cast<CButtonUI*>(const_cast<CPaintManagerUI&>(m_PaintManager).FindControl(name));
}

void CPlayPanelWnd::SetVisible(CControlUI* control, bool visible) {
    if (control) control->SetVisible(visible);
}

void CPlayPanelWnd::InitWindow() {
    m_pSliderPlay = static_cast<CSliderUI*>(m_PaintManager.FindControl(L"sliderPlay"));
    m_pLabelPlayTime = static_cast<CLabelUI*>(m_PaintManager.FindControl(L"labelPlayTime"));
    m_pBtnPlay = Button(L"btnPlay");
    m_pBtnPlayNext = Button(L"btnPlayNext");
    m_pBtnPause = Button(L"btnPause");
    m_pBtnStop = Button(L"btnStop");
    m_pSliderVol = static_cast<CSliderUI*>(m_PaintManager.FindControl(L"sliderVol"));
    m_pBtnVolume = Button(L"btnVolume");
    m_pBtnVolumeZero = Button(L"btnVolumeZero");
    m_pBtnScreenFull = Button(L"btnScreenFull");
    m_pBtnScreenNormal = Button(L"btnScreenNormal");
    m_pBtnOpenFile = Button(L"openfile");
    m_pBtnSpeedDown = Button(L"play_speed_down");
    m_pBtnSpeedUp = Button(L"play_speed_up");
    if (m_pBtnPlayNext) m_pBtnPlayNext->SetEnabled(false);
    if (m_pBtnSpeedUp) m_pBtnSpeedUp->SetEnabled(false);
    if (m_pBtnSpeedDown) m_pBtnSpeedDown->SetEnabled(false);

    m_pProgressTip = std::make_unique<CWzPlayProgressToolTip>();
    m_pProgressTip->Create(m_hWnd, L"WzToolTip", 0, 0);
    if (m_pSliderPlay) m_pSliderPlay->OnNotify += MakeDelegate(this, &CPlayPanelWnd::OnSeekSliderNotify);
}

void CPlayPanelWnd::FollowOwner() {
    if (!m_hOwnerWnd || !m_hWnd) return;
    RECT owner{}, self{};
    ::GetWindowRect(m_hOwnerWnd, &owner);
    ::GetWindowRect(m_hWnd, &self);
    int h = self.bottom - self.top;
    ::SetWindowPos(m_hWnd, nullptr, owner.left, owner.bottom - h, owner.right - owner.left, h,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPlayPanelWnd::RelayToOwnerAndCaption(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ::SendMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
    if (m_pCaption && m_pCaption->GetHWND()) ::SendMessageW(m_pCaption->GetHWND(), uMsg, wParam, lParam);
}

void CPlayPanelWnd::SetMouseChildOfSeekArea(bool enabled) {
    if (auto* lay = static_cast<CContainerUI*>(m_PaintManager.FindControl(L"PlayPanelVerLay")))
        lay->SetAttribute(L"mousechild", enabled ? L"true" : L"false");
}

LRESULT CPlayPanelWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // The panel lives as long as the main window: a close request is the main window's, and the
    // base handling would destroy the panel.
    if (uMsg == WM_CLOSE) {
        ::PostMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
        return 0;
    }
    const bool engineMessage = uMsg == WM_PLAYER_PLAYING || uMsg == WM_PLAYER_POSITION || uMsg == WM_PLAYER_ENDED ||
                               uMsg == WM_PLAYER_ERROR || uMsg == WM_PLAYER_STOPPED || uMsg == WM_PLAYER_PAUSED ||
                               uMsg == WM_PLAYER_BUFFERING;
    if (engineMessage) {
        // A message of a replaced player says nothing about the medium now open.
        if (!m_pPlayerCtrl || !m_pPlayerCtrl->IsCurrentMessage(wParam, lParam)) return 0;
    }
    LRESULT lRes = CWzXMLWnd::HandleMessage(uMsg, wParam, lParam);
    switch (uMsg) {
        case WM_NCHITTEST: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ScreenToClient(m_hWnd, &pt);
            for (const wchar_t* name : kHitControls) {
                CControlUI* c = m_PaintManager.FindControl(name);
                if (c && Contains(c->GetPos(), pt)) return HTCLIENT;
            }
            ::SetActiveWindow(m_hOwnerWnd);
            return HTTRANSPARENT;
        }
        case WM_KEYDOWN:
        case WM_MOUSEWHEEL:
            ::SendMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
            return 0;
        case WM_LBUTTONUP:
            // Keys belong to the main window. Taken back once the press has made its click: the
            // focus leaving the panel during the press would cancel it.
            ::SetActiveWindow(m_hOwnerWnd);
            ::SetFocus(m_hOwnerWnd);
            return lRes;
        case WM_MOUSEMOVE: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            CControlUI* c = m_PaintManager.FindControl(pt);
            if (c && c == m_pSliderPlay && !m_bTracking) {
                TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER | TME_LEAVE, m_hWnd, 1};
                ::TrackMouseEvent(&tme);
                m_bTracking = true;
            }
            return lRes;
        }
        case WM_MOUSEHOVER: {
            m_bTracking = false;
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (m_pSliderPlay && m_PaintManager.FindControl(pt) == m_pSliderPlay) ShowProgressTip(pt.x, pt.y);
            return lRes;
        }
        case WM_MOUSELEAVE:
            HideProgressTip();
            if (m_bTracking) ::SendMessageW(m_hWnd, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
            m_bTracking = false;
            return lRes;
        case WM_TIMER:
            return 0;
        case WM_PLAYER_PLAYING:
            SetVisible(m_pLabelPlayTime, true);
            EnableControls(true);
            SetMouseChildOfSeekArea(true);
            RelayToOwnerAndCaption(uMsg, wParam, lParam);
            return 0;
        case WM_PLAYER_POSITION:
            UpdatePlayTime();
            return 1;
        case WM_PLAYER_ENDED:
            m_positionSave.Reset();
            RelayToOwnerAndCaption(uMsg, wParam, lParam);
            return 0;
        case WM_PLAYER_ERROR:
        case WM_PLAYER_BUFFERING:
            ::SendMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
            return 0;
        case WM_PLAYER_STOPPED:
            if (m_pLabelPlayTime) m_pLabelPlayTime->SetText(L"");
            if (m_pSliderPlay) m_pSliderPlay->SetValue(0);
            SetMouseChildOfSeekArea(false);
            EnableControls(false);
            m_positionSave.Reset();
            RelayToOwnerAndCaption(uMsg, wParam, lParam);
            return 0;
        case WM_PLAYER_PAUSED:
            if (m_pBtnPlay && m_pBtnPause) {
                m_pBtnPlay->SetVisible(true);
                m_pBtnPause->SetVisible(false);
            }
            SavePositionNow();
            return 0;
        case WM_PLAYER_REPAINT:
            m_PaintManager._WMPaint();
            return 0;
        default:
            return lRes;
    }
}

LRESULT CPlayPanelWnd::OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    ::SendMessageW(m_hOwnerWnd, uMsg, wParam, lParam);
    return CWzXMLWnd::OnNcHitTest(uMsg, wParam, lParam, bHandled);
}

LRESULT CPlayPanelWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam == VK_ESCAPE) ::SendMessageW(m_hOwnerWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

void CPlayPanelWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"click") {
        OnClick(msg);
        return;
    }
    if (msg.sType == L"menu" && (msg.pSender == m_pBtnSpeedUp || msg.pSender == m_pBtnSpeedDown)) {
        SetPlayRateTenths(overlay::kRateNormal);
        return;
    }
    if (msg.sType == L"valuechanged" && msg.pSender == m_pSliderVol && m_pSliderVol) {
        if (m_pPlayerCtrl) m_pPlayerCtrl->bMuted = false;
        if (m_pOwner) m_pOwner->SetVolume(m_pSliderVol->GetValue());
    }
    if (msg.pSender == m_pSliderPlay && (msg.sType == L"mouseleave" || msg.sType == L"buttonup")) {
        HideProgressTip();
        if (m_pOwner) m_pOwner->SetSeekDragActive(false);
    }
    CWzXMLWnd::Notify(msg);
}

void CPlayPanelWnd::OnClick(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender && m_pOwner) {
        const CDuiString name = sender->GetName();
        if (sender == m_pBtnSpeedDown) {
            SetPlayRateTenths(nRateTenths - 1);
        } else if (sender == m_pBtnSpeedUp) {
            SetPlayRateTenths(nRateTenths + 1);
        } else if (name == L"btnPlay") {
            m_pOwner->SetPlayState(true);
            ShowPlayButton(false);
        } else if (name == L"btnPause") {
            m_pOwner->SetPlayState(false);
            ShowPlayButton(true);
        } else if (name == L"btnStop") {
            m_pOwner->Stop();
        } else if (name == L"btnOpen" || name == L"openfile") {
            m_pOwner->OpenFileDialog();
        } else if (name == L"btnScreenFull") {
            m_pOwner->SetFullScreen(true);
            SetVisible(m_pBtnScreenNormal, true);
            SetVisible(m_pBtnScreenFull, false);
        } else if (name == L"btnScreenNormal") {
            m_pOwner->SetFullScreen(false);
            SetVisible(m_pBtnScreenNormal, false);
            SetVisible(m_pBtnScreenFull, true);
        } else if (name == L"btnVolume") {
            SetMute(true);
        } else if (name == L"btnVolumeZero") {
            SetMute(false);
        } else if (name == L"btnPlayNext") {
            m_pOwner->PlayNext();
        }
    }
    CWzXMLWnd::OnClick(msg);
}

void CPlayPanelWnd::UpdatePlayTime() {
    const bool player = m_pPlayerCtrl && m_pPlayerCtrl->HasPlayer();
    const std::int64_t L = player ? m_pPlayerCtrl->GetLength() / 1000 : 0;
    const std::int64_t T = player ? m_pPlayerCtrl->GetTime() / 1000 : 0;
    std::wstring tip = m_nextUp.Update(L, T, [this] { return m_pOwner ? m_pOwner->GetNextName() : std::wstring(); });
    if (!tip.empty() && m_pOwner) m_pOwner->ShowTip(tip);
    const int permille = player ? m_pPlayerCtrl->GetPosition() : 0;
    // The label and the slider repaint only when their text or value changes (SetText and
    // SetValue see to it): reports of an unchanged second or permille draw nothing.
    if (m_pLabelPlayTime) m_pLabelPlayTime->SetText(overlay::PlayTimeLabel(T, L).c_str());
    if (m_pSliderPlay && !m_pSliderPlay->IsDragging()) m_pSliderPlay->SetValue(permille);
    // Positions are written for the record that plays, every few seconds rather than at every report.
    if (player && g_SysConfig.bSavePlayInfo && m_pOwner &&
        m_positionSave.Due(g_SysConfig.strCurSection, static_cast<std::int64_t>(::GetTickCount64())))
        m_pOwner->SaveCurrentPosition();
}

void CPlayPanelWnd::SavePositionNow() {
    if (!m_pOwner) return;
    m_pOwner->SaveCurrentPosition();
    m_positionSave.Due(g_SysConfig.strCurSection, static_cast<std::int64_t>(::GetTickCount64()));
}

bool CPlayPanelWnd::OnSeekSliderNotify(void* param) {
    auto* msg = static_cast<TNotifyUI*>(param);
    if (!msg || !m_pSliderPlay) return true;
    if (msg->sType == L"valuechanged") {
        const int value = m_pSliderPlay->GetValue();
        if (static_cast<unsigned>(value) <= 1000u && m_pPlayerCtrl && m_pPlayerCtrl->HasPlayer())
            m_pPlayerCtrl->SetPosition(value);
    }
    UpdatePlayTime();
    ShowProgressTip(msg->ptMouse.x, msg->ptMouse.y);
    if (m_pOwner) m_pOwner->SetSeekDragActive(true);
    return true;
}

void CPlayPanelWnd::ShowProgressTip(int x, int) {
    if (!m_pSliderPlay || !m_pProgressTip) return;
    const RECT rc = m_pSliderPlay->GetPos();
    const SIZE tip = m_pProgressTip->GetSize();
    const SIZE thumb = m_pSliderPlay->GetThumbSize();
    POINT pt{overlay::ProgressTipX(x, thumb.cx, tip.cx), rc.top - tip.cy};
    ::ClientToScreen(m_hWnd, &pt);
    m_pProgressTip->Show(FormatTimeAtPoint(x < 0 ? 0 : x), pt.x, pt.y);
}

void CPlayPanelWnd::HideProgressTip() {
    if (m_pProgressTip) m_pProgressTip->Hide();
}

std::wstring CPlayPanelWnd::FormatTimeAtPoint(int x) {
    if (!m_pSliderPlay) return overlay::FormatPlayTime(0);
    const RECT rc = m_pSliderPlay->GetPos();
    const int minV = m_pSliderPlay->GetMinValue(), maxV = m_pSliderPlay->GetMaxValue();
    const int v = overlay::SliderValueAtPoint(x, rc.left, rc.right, m_pSliderPlay->GetThumbSize().cx, minV, maxV);
    const std::int64_t lengthMs = m_pPlayerCtrl && m_pPlayerCtrl->HasPlayer() ? m_pPlayerCtrl->GetLength() : 0;
    return overlay::FormatPlayTime(overlay::SecondsAtValue(v, lengthMs, minV, maxV));
}

void CPlayPanelWnd::SetPlayRate(float rate) { SetPlayRateTenths(overlay::RateToTenths(rate)); }

void CPlayPanelWnd::SetPlayRateTenths(int tenths) {
    overlay::RateChange c = overlay::ChangeRate(tenths);
    nRateTenths = c.tenths;
    if (c.applyToEngine && m_pPlayerCtrl && m_pPlayerCtrl->HasPlayer())
        m_pPlayerCtrl->SetRate(static_cast<float>(c.tenths / 10.0));
    if (m_pOwner) m_pOwner->ShowTip(c.tip);
}

void CPlayPanelWnd::SetMute(bool mute) {
    if (m_pPlayerCtrl) m_pPlayerCtrl->bMuted = mute;
    SetVisible(m_pBtnVolume, !mute);
    SetVisible(m_pBtnVolumeZero, mute);
    if (m_pPlayerCtrl && m_pPlayerCtrl->HasPlayer()) {
        if (mute)
            m_pPlayerCtrl->Mute();
        else
            m_pPlayerCtrl->Unmute();
    }
    if (m_pOwner) m_pOwner->ShowTip(mute ? L"静音" : L"取消静音");
    // The stored volume is the one to come back to (up to 1000); the slider only shows 0..100.
    g_SysConfig.bMute = mute ? 1 : 0;
    if (m_pPlayerCtrl) g_SysConfig.nVolume = m_pPlayerCtrl->GetVolume();
    g_SysConfig.iniConfig.WriteInt(L"Volume", L"bMute", g_SysConfig.bMute);
    g_SysConfig.iniConfig.WriteInt(L"Volume", L"nVolume", g_SysConfig.nVolume);
}

void CPlayPanelWnd::EnableControls(bool enable) {
    if (m_pBtnStop) m_pBtnStop->SetEnabled(enable);
    if (m_pBtnSpeedUp) m_pBtnSpeedUp->SetEnabled(enable);
    if (m_pBtnSpeedDown) m_pBtnSpeedDown->SetEnabled(enable);
    if (m_pBtnScreenFull) {
        const bool music = m_pOwner && IsMusicFile(m_pOwner->GetCurrentPath().c_str());
        // A music file has no picture to show in full screen, whether it plays or not.
        m_pBtnScreenFull->SetEnabled(music ? false : enable);
    }
    SetVisible(m_pLabelPlayTime, enable);
    if (m_pBtnPlay && m_pBtnPause) {
        m_pBtnPlay->SetVisible(!enable);
        m_pBtnPause->SetVisible(enable);
    }
}

void CPlayPanelWnd::ShowPlayButton(bool show) {
    if (m_pBtnPlay && m_pBtnPause) {
        m_pBtnPlay->SetVisible(show);
        m_pBtnPause->SetVisible(!show);
    }
}

void CPlayPanelWnd::EnablePlayNext(bool enable) {
    if (m_pBtnPlayNext) m_pBtnPlayNext->SetEnabled(enable);
}
