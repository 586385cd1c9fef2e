// The caption bar over the main window's top edge: the title of the playing medium, the menu
// button and the window buttons; it runs the about and open-address dialogs when asked.
#pragma once

#include <atomic>

#include <string>

#include "player/dialogs/open_url.h"
#include "player/skin_window/xml_wnd.h"

namespace skinui {
class CButtonUI;
class CLabelUI;
}  // namespace skinui

inline constexpr const wchar_t* kCaptionLayout = L"caption.xml";
inline constexpr const wchar_t* kMainMenuLayout = L"MainMenu.xml";

// What the caption bar asks of the main window; the open-address dialog it runs changes the
// main window through the IOpenUrlHost part.
class ICaptionOwner : public IOpenUrlHost {
public:
    virtual HWND GetOwnerWindow() const = 0;
    // The title of the medium in play.
    virtual std::wstring GetCurrentTitle() const = 0;
    // The play panel's window, null while it does not exist.
    virtual HWND GetPlayPanelWindow() const = 0;
};

class CCaptionWnd : public CWzXMLWnd {
public:
    explicit CCaptionWnd(ICaptionOwner* owner);
    ~CCaptionWnd() override = default;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnClick(skinui::TNotifyUI& msg) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(skinui::TNotifyUI& msg) override;

    // Docks the bar at the owner's top edge, its width.
    void FollowOwner();
    void ShowAboutWnd();
    void ShowOpenURLWnd();
    // Pops the main menu up under the menu button at x (caption client coordinates).
    void ShowMainMenu(int x);
    bool IsMenuArmed() const { return nMenuArmed != 0; }
    // True while one of the caption's modal dialogs runs (a second one does not open inside it).
    bool IsDialogOpen() const { return m_bDialogOpen; }

    int nMenuArmed = 1;
    // Set by the main window on maximise and full-screen changes, cleared by the caption poller.
    std::atomic<int> bCaptionHold{0};

private:
    HWND DialogOwner() const;
    skinui::CButtonUI* m_pBtnMenu = nullptr;
    skinui::CButtonUI* m_pMaxBtn = nullptr;
    skinui::CButtonUI* m_pRestoreBtn = nullptr;
    skinui::CControlUI* m_pSystemBtn = nullptr;
    HWND m_hOwnerWnd = nullptr;
    ICaptionOwner* m_pOwner = nullptr;
    skinui::CButtonUI* m_pMinBtn = nullptr;
    skinui::CButtonUI* m_pCloseBtn = nullptr;
    skinui::CLabelUI* m_pTitle = nullptr;
    bool m_bDialogOpen = false;
};
