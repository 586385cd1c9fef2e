// A layout control that hosts one native child window (the video surface) and keeps it on the
// control's rectangle and visibility. The hosted window is not destroyed with the control.
#pragma once

#include "skinui/control.h"

class CWndUI : public skinui::CControlUI {
public:
    CWndUI() = default;
    ~CWndUI() override = default;

    // Takes the window when it is one; otherwise keeps the previous one and returns false.
    bool Attach(HWND hwnd);
    HWND GetHWND() const { return m_hWnd; }

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;

private:
    HWND m_hWnd = nullptr;
};

// Lets dropped files and the second start's hand-over reach the main window from processes of
// lower privilege. Nothing to do here: the window station already takes both from every process
// of this user (and refuses other users), and no privilege levels part the windows of one user.
void EnableMessageFilter();
