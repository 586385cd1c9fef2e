// The narrow strip with one button at the play list's left edge (or the main window's right
// edge while the list is hidden) that slides the list out of view and back in.
#pragma once

#include "player/skin_window/xml_wnd.h"
#include "skinui/controls.h"

class CPlayListWnd;

inline constexpr UINT_PTR IDT_HANDLER_AUTOSHOW = 1;
// The layer's word that the pointer moved over our windows or one of them changed.
inline constexpr UINT WM_HANDLER_WATCH = WM_APP + 0x2B0;

class CPlayListHandlerWnd : public CWzXMLWnd {
public:
    explicit CPlayListHandlerWnd(CPlayListWnd* list);
    ~CPlayListHandlerWnd() override;

    void InitWindow() override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(skinui::TNotifyUI& msg) override;
    void OnClick(skinui::TNotifyUI& msg) override;

    void FollowList();
    // The show/hide rule for the cursor now; true when the strip stands out beside the hidden
    // list, where the pointer may leave the hot zone over another program's window unheard.
    bool OnAutoShowTimer(UINT_PTR id);
    // Whether the strip shows for a cursor position: always while the list is visible, else
    // only inside the hot zone at the main window's right edge.
    static bool ShouldShow(POINT cursor, const RECT& main, const RECT& handle, const RECT& list, bool listVisible);
    // Slides the list out of view (or back in); what a click on the button does.
    void ToggleList();

    // The looks are made 100 ms after the pointer moved over our windows or one of them was
    // shown, hidden, moved or sized; while the strip stands out beside the hidden list also every
    // 500 ms; else not at all. Without the layer's watch they come every 100 ms.
    static constexpr UINT kCheckMs = 100;
    static constexpr UINT kOutCheckMs = 500;
    // The timer's period now; 0 while none runs.
    UINT CheckPeriod() const { return m_nCheckMs; }

private:
    void SetLook(bool listShown);
    void CheckIn(UINT ms);
    void OnCheckTimer();
    bool m_bWatching = false;
    UINT m_nCheckMs = 0;
    CPlayListWnd* m_pListWnd;
    skinui::CButtonUI* m_pExpand = nullptr;
    bool m_bClicked = false;
    int m_nShownState = -1;  // the timer's last decision: bit 0 strip shown, bit 1 list visible; -1 none yet
};
