// The main menu of the caption bar's menu button, and what the player's menus share: top-most
// choices, the updater start and the padding of labels with their hot-key texts.
#pragma once

#include <string>
#include <vector>

#include "player/main_window/overlay_logic.h"
#include "skinui/menu.h"

// One label to pad: the item's position in its submenu, its label, its key text and the text
// its width is measured on (empty: label, blank, key text).
struct MenuPadItem {
    int position;
    std::wstring label;
    std::wstring hotKey;
    std::wstring measured;
};
struct MenuPadGroup {
    const wchar_t* submenu;
    std::vector<MenuPadItem> items;
};
// Pads the groups' labels in order; stops at the first submenu the menu lacks. Widths are
// measured in the font of "major".
void PadMenuGroups(skinui::CWzMenu& menu, const std::vector<MenuPadGroup>& groups);
// Checks position `checked` of a submenu and clears the others of its first `count` positions.
void CheckOnly(skinui::CMenuUI* submenu, int count, int checked);

// The top-most choices of both menus: the mode is stored at once and the main window follows it.
void SetTopMostPlaying();
void SetTopMostAlways();
void SetTopMostNever();
// Acts on "topmost_playing", "topmost_almost" and "topmost_cancel"; false for other names.
bool TopMostChoice(const std::wstring& name);

// Starts the updater beside the program when it is there ("update"); false when it is not.
bool StartUpdaterFromMenu();
inline constexpr const wchar_t* kManualUpdateArgs = L"auto_update=0 product=Morvane";
inline constexpr const wchar_t* kHomePage = L"https://www.morvane.example/";
inline constexpr const wchar_t* kForumPageUrl = L"https://www.morvane.example/bbs/forum.php?mod=forumdisplay&fid=28";

class CMainMenu : public skinui::CWzMenu {
public:
    explicit CMainMenu(const skinui::CDuiString& layout) : skinui::CWzMenu(layout) {}
    ~CMainMenu() override = default;

    void Init(HWND owner);
    // Shows the menu, acts on the choice and returns its name ("null" when nothing was chosen).
    std::wstring Track(int x, int y);
};
