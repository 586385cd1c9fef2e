// The snapshot dialog: where and how snapshots are saved, asked before a snapshot while the
// setting bTipSnapShot is 1. Confirming stores the four settings; cancelling stores nothing.
#pragma once

#include <string>

#include "player/skin_window/xml_wnd.h"

namespace skinui {
class CEditUI;
class CCheckBoxUI;
class CComboUI;
}  // namespace skinui

class CSnapShotWnd : public CWzXMLWnd {
public:
    CSnapShotWnd() : CWzXMLWnd(L"SnapShotWnd.xml") {}
    ~CSnapShotWnd() override;

    void InitWindow() override;
    void Notify(skinui::TNotifyUI& msg) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

    void SaveOptions();
    void BrowseFolder();

private:
    skinui::CEditUI* m_pPathEdit = nullptr;
    skinui::CCheckBoxUI* m_pNotTip = nullptr;
    skinui::CCheckBoxUI* m_pOnlyClipboard = nullptr;
    skinui::CComboUI* m_pType = nullptr;
    std::wstring m_strUnused;
};
