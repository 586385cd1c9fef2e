// The settings window "系统设置" ("SettingWnd.xml"): created hidden with the main window and kept
// for its whole life; every change on its pages is stored at once (CSettingPages).
#pragma once

#include <functional>
#include <memory>

#include "player/settings/setting_pages.h"
#include "player/skin_window/xml_wnd.h"
#include "skinui/tooltip.h"

inline constexpr const wchar_t* kSettingWndLayout = L"SettingWnd.xml";
inline constexpr const wchar_t* kSettingWndName = L"SettingWnd";
inline constexpr const wchar_t* kHotKeyConflictText = L"热键冲突，请重新设置！";
// Shown when the association agent could not be reached or stopped answering.
inline constexpr const wchar_t* kAssocApplyFailedText = L"文件关联未能生效：关联程序没有响应，您的选择已保存";
inline constexpr const wchar_t* kSnapShotFolderTitle = L"请选择文件夹！";
inline constexpr UINT kSettingTipShowTimeMs = 3000;

// What the settings window asks of the main window.
struct SettingMainLink {
    HWND hwnd = nullptr;
    std::function<void()> saveWindowRect;
    std::function<void()> fitWindowToVideo;
    std::function<CurrentMedia()> currentMedia;
    std::function<void(std::int64_t seconds, int permille)> setCurrentProgress;
};

class CSettingWnd : public CWzXMLWnd, public ISettingHost {
public:
    CSettingWnd();
    ~CSettingWnd() override;

    void SetMainWindow(SettingMainLink link) { m_main = std::move(link); }
    // Creates the window owned by `owner`, centred on the main window and hidden.
    HWND CreateHidden(HWND owner);
    // What the main window's "Setting" does: the pages refilled, centred on the main window,
    // shown and activated.
    void ShowOverMain();

    void InitWindow() override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(skinui::TNotifyUI& msg) override;

    void LoadGeneralChecks() { m_pages.LoadGeneralChecks(); }
    void LoadAssocChecks() { m_pages.LoadAssocChecks(); }
    void LoadHotKeys() { m_pages.LoadHotKeys(); }
    void LoadSnapshotPage() { m_pages.LoadSnapshotPage(); }
    void RefreshPages() { m_pages.RefreshPages(); }

    void CheckAllAssocGroups() { m_pages.CheckAllAssocGroups(); }
    void UncheckAllAssocGroups() { m_pages.UncheckAllAssocGroups(); }
    void CheckDefaultAssoc() { m_pages.CheckDefaultAssoc(); }
    void CheckVideoAssoc() { m_pages.CheckVideoAssoc(); }
    void CheckAudioAssoc() { m_pages.CheckAudioAssoc(); }
    void SyncCategoryChecks() { m_pages.SyncCategoryChecks(); }
    void SyncCategoryCheck(AssocCategory group) { m_pages.SyncCategoryCheck(group); }
    void SetWindowsMediaChecks(bool on) { m_pages.SetGroupChecks(AssocWindowsMedia, on); }
    void SetRealMediaChecks(bool on) { m_pages.SetGroupChecks(AssocRealMedia, on); }
    void SetMpeg12Checks(bool on) { m_pages.SetGroupChecks(AssocMpeg12Media, on); }
    void SetMpeg4Checks(bool on) { m_pages.SetGroupChecks(AssocMpeg4, on); }
    void Set3gppChecks(bool on) { m_pages.SetGroupChecks(Assoc3gppMedia, on); }
    void SetAppleChecks(bool on) { m_pages.SetGroupChecks(AssocAppleMedia, on); }
    void SetFlashChecks(bool on) { m_pages.SetGroupChecks(AssocFlashMedia, on); }
    void SetDvdChecks(bool on) { m_pages.SetGroupChecks(AssocDvdMedia, on); }
    void SetOtherVideoChecks(bool on) { m_pages.SetGroupChecks(AssocOtherVideo, on); }
    void SetAudioChecks(bool on) { m_pages.SetGroupChecks(AssocOtherAudio, on); }

    void OnHotKeyChanged(skinui::CHotKeyUI* control) { m_pages.OnHotKeyChanged(control); }
    void SwitchTab(bool forward) { m_pages.SwitchTab(forward); }
    void OnTabStripWheel(WPARAM wParam);
    void BrowseSnapShotPath();
    // Stores the boxes in [FileAssoc] and has the agent write them (the association client);
    // when the agent cannot be reached or stops answering, the tip says so.
    void ApplyFileAssociations();

    CSettingPages& Pages() { return m_pages; }
    // The tip (a hot-key conflict, a failed association apply): its text while it is up, else empty.
    std::wstring TipText() const;
    skinui::CWzToolTip* Tip() const { return m_pTip.get(); }

    // ISettingHost
    bool IsSettingShown() override;
    void ApplyAssociations() override { ApplyFileAssociations(); }
    void ShowHotKeyConflict(skinui::CControlUI* control) override;
    void BrowseSnapShotFolder() override { BrowseSnapShotPath(); }
    void CloseSettings() override;
    void SaveMainWindowRect() override;
    void FitMainWindowToVideo() override;
    CurrentMedia GetCurrentMedia() override;
    void SetCurrentProgress(std::int64_t seconds, int permille) override;

private:
    void CreateTip();
    void HideTip();

    CSettingPages m_pages;
    SettingMainLink m_main;
    std::unique_ptr<skinui::CWzToolTip> m_pTip;
};
