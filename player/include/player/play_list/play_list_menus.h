// The play list's context menu and its play-order menu.
#pragma once

#include <string>

#include "platform/base/wintypes.h"
#include "skinui/menu.h"

class CPlayListWnd;

// Enabling and check marks of the context menu: "major" items by position, separators counted.
struct PlayListMenuState {
    bool majorEnabled[10];
    int checkedOrder;  // position checked in "play_order" (and in the play-order menu)
};
PlayListMenuState GetPlayListMenuState(const CPlayListWnd& wnd);

// What choosing an item does; "null" and unknown names do nothing.
void DispatchPlayListMenu(CPlayListWnd& wnd, const std::wstring& item);
void DispatchPlayOrderMenu(CPlayListWnd& wnd, const std::wstring& item);

// The context menu: plays, locates, inspects, deletes and adds entries, empties the list and
// sets the play order. Lives on the caller's stack for one popup.
class CPlayListRButtonMenu : public skinui::CWzMenu {
public:
    explicit CPlayListRButtonMenu(const wchar_t* layout) : CWzMenu(layout) {}
    // Enabling and check marks for the list as it is now.
    bool Init(HWND owner, CPlayListWnd* wnd);
    // Shows the menu at a screen point and does what the chosen item says; the item's name.
    skinui::CDuiString Track(int x, int y);

private:
    CPlayListWnd* m_wnd = nullptr;
};

// The play-order button's menu.
class CPlayOrderMenu : public skinui::CWzMenu {
public:
    explicit CPlayOrderMenu(const wchar_t* layout) : CWzMenu(layout) {}
    bool Init(HWND owner, CPlayListWnd* wnd);
    skinui::CDuiString Track(int x, int y);

private:
    CPlayListWnd* m_wnd = nullptr;
};
