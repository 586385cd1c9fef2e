// The play list's context menu and its play-order menu.
#pragma once

#include <string>

#include "platform/wintypes.h"

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

// A menu of the play-list window, built from its layout for one popup.
class CPlayListMenuBase {
public:
    explicit CPlayListMenuBase(const wchar_t* layout) : m_layout(layout) {}
    void Init(HWND owner, CPlayListWnd* wnd) {
        m_owner = owner;
        m_wnd = wnd;
    }
    // Shows the menu at a screen point; the chosen item's name, "null" when none.
    std::wstring Track(int x, int y);

protected:
    std::wstring m_layout;
    HWND m_owner = nullptr;
    CPlayListWnd* m_wnd = nullptr;
};

class CPlayListRButtonMenu : public CPlayListMenuBase {
public:
    using CPlayListMenuBase::CPlayListMenuBase;
};

class CPlayOrderMenu : public CPlayListMenuBase {
public:
    using CPlayListMenuBase::CPlayListMenuBase;
};
