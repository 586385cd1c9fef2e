// A hint window: one line of text at a screen point, shown for a while and then hidden by itself.
// It takes no focus and no activation; the owner window keeps the keyboard.
#pragma once

#include "skinui/manager.h"
#include "skinui/window.h"

namespace skinui {

class CLabelUI;

class CWzToolTip : public CWindowWnd {
public:
    CWzToolTip() = default;
    ~CWzToolTip() override;

    // Always a top-most, non-activating tool window owned by the parent, whatever the styles say.
    HWND Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle);

    void SetDelayShow(UINT ms) { m_nDelayShow = ms; }
    void SetShowTime(UINT ms) { m_nShowTime = ms; }
    UINT GetShowTime() const { return m_nShowTime; }
    // A "transparent" background: the text over a dark, nearly opaque band (X has no per-pixel
    // transparency without a compositor).
    void SetBktrans(bool trans) { m_bTrans = trans; }
    void SetBkColor(DWORD argb) { m_dwBkColor = argb; }
    void SetDefaultFont(LPCWSTR name, int size, bool bold, bool underline, bool italic);
    // 0xRRGGBB or 0xAARRGGBB.
    void SetTextColor(DWORD argb) { m_dwTextColor = argb; }
    void SetTextCenter(bool center) { m_bCenter = center; }
    // The widest the window gets (a longer text goes on more lines); 0 follows the text.
    void SetLabelFixedWidth(int width) { m_nFixedWidth = width; }
    // With a fixed width: the window is always that wide, also for a shorter text, and holds
    // one line (text beyond it ends in an ellipsis).
    void SetExactWidth(bool exact) { m_bExactWidth = exact; }
    // The size the window takes for a text (in its font; needs the window).
    SIZE MeasureFor(const CDuiString& text);
    CPaintManagerUI* GetPaintManager() { return &m_pm; }

    // Shows the text with the window's top-left corner at the screen point.
    void Show(const CDuiString& text, int x, int y);
    void Hide();
    bool IsShown() const;
    const CDuiString& GetText() const { return m_sText; }

protected:
    LPCWSTR GetWindowClassName() const override { return L"WzToolTipWnd"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr UINT_PTR kShowTimer = 1, kHideTimer = 2;
    void Present();

    CPaintManagerUI m_pm;
    CLabelUI* m_pLabel = nullptr;
    CDuiString m_sText;
    POINT m_ptAt{0, 0};
    UINT m_nDelayShow = 0;
    UINT m_nShowTime = 3000;
    bool m_bTrans = false;
    bool m_bCenter = false;
    DWORD m_dwBkColor = 0xFFFFFFE1;
    DWORD m_dwTextColor = 0xFF000000;
    int m_nFixedWidth = 0;
    bool m_bExactWidth = false;
    CDuiString m_sFont = L"宋体";
    int m_nFontSize = 12;
    bool m_bBold = false, m_bUnderline = false, m_bItalic = false;
};

// The time tip above a seek slider: a small dark box of one fixed size that stays until hidden.
class CWzPlayProgressToolTip : public CWzToolTip {
public:
    CWzPlayProgressToolTip();
    HWND Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle);
    // Its size (the width of the longest time text, "00:00:00").
    int GetWidth() { return GetSize().cx; }
    int GetHeight() { return GetSize().cy; }
    SIZE GetSize();
};

// Tool tips of controls ("tooltip"): the hooks every skin window gives its paint manager. The
// hovered control's text shows below the mouse in one shared tip window.
void ShowControlToolTip(CPaintManagerUI* manager, CControlUI* control, POINT ptClient);
void HideControlToolTip(CPaintManagerUI* manager);
// The shared tip window (null until a tool tip was shown).
CWzToolTip* GetControlToolTip();

}  // namespace skinui
