// Popup menus built from a skin layout.
//
// A menu layout's window holds named submenus (`WzMenu` elements); "major" is the one that pops
// up, the others open from items that name them in "extendmenu". Items are `MenuElement`s (name
// = "command"; "text" or a child label named "menu_label" gives the text; "check" the initial
// check mark, shown by a child named "ico" where the item has one, else drawn), separated by
// `MenuSeparator`s; `MenuButton` is the "ico" button of an item; "icon" names a picture drawn left
// of a plain item's text. Items are addressed by their
// position in their submenu, counted over all children, separators included. Items are 25 high
// unless they say otherwise; a submenu is as wide as its "width" and as high as its fixed height,
// or its items when it has none.
//
// Cycle: construct with the layout name, Init(owner), change items, TrackPopupMenu(x, y), which
// shows "major" at the screen point and returns the chosen item's name, or "null" when the menu
// was dismissed (Esc, a click elsewhere, the application losing the focus).
#pragma once

#include <memory>
#include <vector>

#include "platform/windows/winuser.h"
#include "skinui/container.h"
#include "skinui/controls.h"

namespace skinui {

class CDuiMenu;

// Width of the column left of an item's text (check mark or icon).
inline constexpr int kMenuIconWidth = 34;
// Width of the column right of an item's text (the arrow of an item that opens a submenu).
inline constexpr int kMenuArrowWidth = 18;
// Width of a submenu's frame on each side.
inline constexpr int kMenuFrameWidth = 1;

class CMenuUI : public CVerticalLayoutUI {
public:
    CMenuUI();
    const wchar_t* GetClass() const override { return L"MenuUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // The width the layout gives ("width"); SetFixedWidth changes the shown width only.
    int GetDefaultWidth() const { return m_nDefaultWidth; }
    // The item at a position (separators counted) enabled or disabled; false when there is none.
    using CVerticalLayoutUI::SetEnabled;
    bool SetEnabled(int position, bool enabled);
    bool IsItemEnabled(int position) const;
    bool SetItemCheck(int position, bool checked);
    bool GetItemCheck(int position) const;
    bool SetItemText(int position, const wchar_t* text);
    CDuiString GetItemText(int position) const;
    // Size of a text in the submenu's font (what its items are drawn with).
    SIZE MeasureText(const wchar_t* text);
    int GetFont() const { return m_iFont; }
    void SetFont(int font) { m_iFont = font; }
    // Height of the items that give none ("itemheight", 25 unless the layout says otherwise).
    int GetItemHeight() const { return m_nItemHeight; }
    // Window size the submenu needs.
    SIZE GetPopupSize();

    CDuiMenu* GetMenu() const { return m_pMenu; }
    void SetMenu(CDuiMenu* menu) { m_pMenu = menu; }

private:
    int m_nDefaultWidth = 160;
    int m_nItemHeight = 25;
    int m_iFont = -1;
    CDuiMenu* m_pMenu = nullptr;
};

class CMenuElementUI : public CHorizontalLayoutUI {
public:
    CMenuElementUI();
    const wchar_t* GetClass() const override { return L"MenuElementUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    const CDuiString& GetCommand() const { return m_sCommand; }
    const CDuiString& GetExtendMenu() const { return m_sExtend; }
    CDuiString GetText() const override;
    void SetText(const wchar_t* text) override;
    bool GetCheck() const { return m_bChecked; }
    void SetCheck(bool checked);
    void SetEnabled(bool enable = true) override;
    void SetFixedHeight(int cy) override;
    bool IsHot() const { return m_bHot; }
    void SetHot(bool hot);
    SIZE EstimateSize(SIZE available) override;
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(cairo_t* cr) override;
    void PaintText(cairo_t* cr) override;

private:
    CMenuUI* OwnerMenu() const;
    CControlUI* Child(const wchar_t* name) const;
    CDuiString m_sCommand, m_sExtend, m_sIcon;
    bool m_bHeightSet = false;
    bool m_bChecked = false;
    bool m_bHot = false;
    DWORD m_dwTextColor = 0xFF333333;
    DWORD m_dwDisabledTextColor = 0xFFAAAAAA;
    DWORD m_dwHotBkColor = 0xFFDCEBFC;
};

class CMenuSeparatorUI : public CControlUI {
public:
    CMenuSeparatorUI();
    const wchar_t* GetClass() const override { return L"MenuSeparatorUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintBkColor(cairo_t* cr) override;

private:
    DWORD m_dwLineColor = 0xFFE0E0E0;
};

// The check-mark or icon button of an item: shows its hot image while the item is hot and lets
// the mouse through to the item.
class CMenuButtonUI : public CButtonUI {
public:
    CMenuButtonUI();
    const wchar_t* GetClass() const override { return L"MenuButtonUI"; }
    void* GetInterface(const wchar_t* name) override;
    void PaintStatusImage(cairo_t* cr) override;
};

class CDuiMenu : public IDialogBuilderCallback {
public:
    explicit CDuiMenu(const CDuiString& layoutName);
    virtual ~CDuiMenu();
    CDuiMenu(const CDuiMenu&) = delete;
    CDuiMenu& operator=(const CDuiMenu&) = delete;

    // Classes of the layout that the toolkit does not know; null leaves them out.
    CControlUI* CreateControl(const wchar_t* pstrClass) override;

    // Builds the submenus from the layout (once) and takes the owner of the popups. False, with a
    // message, when the layout is missing or holds no submenu.
    bool Init(HWND hOwner);
    CMenuUI* FindMenuByName(const wchar_t* name) const;
    // The room an item keeps beside its text: both columns and the frame. A text no wider than a
    // submenu's width less this is drawn whole.
    int GetIcoWidth() const { return kMenuIconWidth + kMenuArrowWidth + 2 * kMenuFrameWidth; }
    HWND GetOwner() const { return m_hOwner; }
    // Shows "major" with its top-left corner at the screen point (moved to stay on the screen)
    // and runs until an item is chosen or the menu is dismissed.
    CDuiString TrackPopupMenu(int x, int y);
    // The open submenus, "major" first (while TrackPopupMenu runs).
    std::vector<CMenuUI*> GetOpenMenus() const;

    // Called by the items.
    void OnItemHot(CMenuElementUI* item);
    void OnItemClick(CMenuElementUI* item);
    // Ends the popup without a choice.
    void Dismiss();

private:
    struct Popup;
    class PopupWnd;
    Popup* PopupOf(const CMenuUI* menu) const;
    Popup* PopupByName(const wchar_t* name) const;
    void Open(Popup* popup, POINT at, CMenuElementUI* from);
    void CloseAbove(size_t level);
    bool IsMenuWindow(HWND hwnd) const;
    bool OwnsMenu(HWND hwnd) const;
    // Handles a message of the popup's loop before it is dispatched; true when it is used up.
    bool Filter(const MSG& msg);
    void MoveHot(int step);

    CDuiString m_sLayout;
    HWND m_hOwner = nullptr;
    bool m_bBuilt = false;
    std::vector<std::unique_ptr<Popup>> m_popups;
    std::vector<Popup*> m_open;
    bool m_bTracking = false;
    CDuiString m_sResult;
};

// The menu base the player's menus derive from.
class CWzMenu : public CDuiMenu {
public:
    explicit CWzMenu(const CDuiString& layoutName) : CDuiMenu(layoutName) {}
    ~CWzMenu() override = default;
};

}  // namespace skinui
