// The play panel: the transport bar that floats over the main window's bottom edge (seek slider
// with its time tip, time label, play/pause/stop/next, open, volume and mute, speed, full screen).
// It is the window the engine's events are posted to: it updates itself and relays what concerns
// the whole player to the main window and the caption bar.
#pragma once

#include <memory>
#include <string>

#include "player/main_window/overlay_logic.h"
#include "player/skin_window/xml_wnd.h"

class CCaptionWnd;
class CPlayerCtrl;

namespace skinui {
class CButtonUI;
class CLabelUI;
class CSliderUI;
class CContainerUI;
class CWzPlayProgressToolTip;
}  // namespace skinui


inline constexpr const wchar_t* kPlayPanelLayout = L"PlayPanel.xml";

// What the play panel asks of the main window.
class IPlayPanelOwner {
public:
    virtual ~IPlayPanelOwner() = default;
    virtual HWND GetOwnerWindow() const = 0;
    // The main window's player control, which the panel drives and reads.
    virtual CPlayerCtrl& GetPlayerCtrl() = 0;
    virtual std::wstring GetCurrentPath() const = 0;
    virtual void SetVolume(int volume) = 0;
    // The main window's note that the seek slider is being dragged (the panel's poller reads it).
    virtual void SetSeekDragActive(bool active) = 0;
    virtual void SetPlayState(bool play) = 0;
    virtual void Stop() = 0;
    virtual void OpenFileDialog() = 0;
    virtual void SetFullScreen(bool on) = 0;
    virtual void PlayNext() = 0;
    // The name of the item after the current one, empty at the end.
    virtual std::wstring GetNextName() = 0;
    virtual void ShowTip(const std::wstring& text) = 0;
    virtual void SaveCurrentPosition() = 0;
};

class CPlayPanelWnd : public CWzXMLWnd {
public:
    CPlayPanelWnd(IPlayPanelOwner* owner, CCaptionWnd* caption);
    ~CPlayPanelWnd() override;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnClick(skinui::TNotifyUI& msg) override;
    LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(skinui::TNotifyUI& msg) override;

    // Docks the panel at the owner's bottom edge, its width.
    void FollowOwner();
    void SetMute(bool mute);
    void ShowPlayButton(bool show);
    // Rates are kept in whole tenths (0.1 .. 4.0); a factor is rounded to the nearest tenth.
    void SetPlayRate(float rate);
    void SetPlayRateTenths(int tenths);
    int GetPlayRateTenths() const { return nRateTenths; }
    float GetPlayRate() const { return static_cast<float>(nRateTenths / 10.0); }
    // Back to 1.0 without a notice and without a call to libVLC (each new medium).
    void ResetPlayRate() { nRateTenths = overlay::kRateNormal; }
    void EnableControls(bool enable);
    void EnablePlayNext(bool enable);
    void UpdatePlayTime();
    void ShowProgressTip(int x, int y);
    std::wstring FormatTimeAtPoint(int x);
    bool OnSeekSliderNotify(void* param);
    // Writes the playback position now (pause, stop, close) and restarts the write interval.
    void SavePositionNow();

    skinui::CSliderUI* GetSeekSlider() const { return m_pSliderPlay; }
    skinui::CSliderUI* GetVolumeSlider() const { return m_pSliderVol; }
    skinui::CWzPlayProgressToolTip* GetProgressTip() const { return m_pProgressTip.get(); }

private:
    skinui::CButtonUI* Button(const wchar_t* name) const;
    void SetVisible(skinui::CControlUI* control, bool visible);
    void RelayToOwnerAndCaption(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void SetMouseChildOfSeekArea(bool enabled);
    void HideProgressTip();

    skinui::CSliderUI* m_pSliderPlay = nullptr;
    skinui::CLabelUI* m_pLabelPlayTime = nullptr;
    skinui::CButtonUI* m_pBtnPlay = nullptr;
    skinui::CButtonUI* m_pBtnPlayNext = nullptr;
    skinui::CButtonUI* m_pBtnPause = nullptr;
    skinui::CButtonUI* m_pBtnStop = nullptr;
    skinui::CSliderUI* m_pSliderVol = nullptr;
    skinui::CButtonUI* m_pBtnVolume = nullptr;
    skinui::CButtonUI* m_pBtnVolumeZero = nullptr;
    skinui::CButtonUI* m_pBtnScreenFull = nullptr;
    skinui::CButtonUI* m_pBtnScreenNormal = nullptr;
    skinui::CButtonUI* m_pBtnOpenFile = nullptr;
    skinui::CButtonUI* m_pBtnSpeedDown = nullptr;
    skinui::CButtonUI* m_pBtnSpeedUp = nullptr;

    HWND m_hOwnerWnd = nullptr;
    IPlayPanelOwner* m_pOwner = nullptr;
    CPlayerCtrl* m_pPlayerCtrl = nullptr;
    CCaptionWnd* m_pCaption = nullptr;
    bool m_bTracking = false;
    std::unique_ptr<skinui::CWzPlayProgressToolTip> m_pProgressTip;
    overlay::NextUpNotice m_nextUp;
    overlay::PositionSaveThrottle m_positionSave;
    int nRateTenths = overlay::kRateNormal;
};
