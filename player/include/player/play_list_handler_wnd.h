// The narrow strip with one button at the play list's left edge (or the main window's right
// edge while the list is hidden) that slides the list out of view and back in.
#pragma once

#include "player/xml_wnd.h"
#include "skinui/controls.h"

class CPlayListWnd;

inline constexpr UINT_PTR IDT_HANDLER_AUTOSHOW = 1;

class CPlayListHandlerWnd : public CWzXMLWnd {
public:
    explicit CPlayListHandlerWnd(CPlayListWnd* list);
    ~CPlayListHandlerWnd() override;

    void InitWindow() override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(skinui::TNotifyUI& msg) override;
    void OnClick(skinui::TNotifyUI& msg) override;

    void FollowList();
    void OnAutoShowTimer(UINT_PTR id);
    // Whether the strip shows for a cursor position: always while the list is visible, else
    // only inside the hot zone at the main window's right edge.
    static bool ShouldShow(POINT cursor, const RECT& main, const RECT& handle, const RECT& list, bool listVisible);
    // Slides the list out of view (or back in); what a click on the button does.
    void ToggleList();

private:
    void SetLook(bool listShown);
    CPlayListWnd* m_pListWnd;
    skinui::CButtonUI* m_pExpand = nullptr;
    bool m_bClicked = false;
    int m_nShownState = -1;  // the timer's last decision: bit 0 strip shown, bit 1 list visible; -1 none yet
};
