// The context menu of the video area: open, full screen, top-most, transparency, the window's fit
// to the video, audio tracks and subtitles of the file in play, snapshot, settings, file facts.
#pragma once

#include <string>

#include "skinui/menu.h"

inline constexpr const wchar_t* kRButtonMenuLayout = L"RButtonMenu.xml";

class CRButtonMenu : public skinui::CWzMenu {
public:
    explicit CRButtonMenu(const skinui::CDuiString& layout) : skinui::CWzMenu(layout) {}
    ~CRButtonMenu() override = default;

    void Init(HWND owner);
    std::wstring Track(int x, int y);

    bool AddMenuCheckItem(const std::wstring& command, skinui::CMenuUI* submenu, const std::wstring& label);
    void MeasureMenuItems(skinui::CMenuUI* submenu);
    void PadMenuLabels();

    static void SelectSubtitle(int position);
    static void SelectAudioTrack(int position);
    static void ToggleHideSubtitle();
    static void SetPlayListTransparency(int percent);
    static void SetControlTransparency(int percent);
    static void ToggleScalePlayWnd();

    int subtitleItemCount() const { return m_nSubtitleItems; }
    int audioItemCount() const { return m_nAudioItems; }

private:
    int m_nSubtitleItems = 0;
    int m_nAudioItems = 0;
};
