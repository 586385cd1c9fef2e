#include "player/dialogs/snapshot_wnd.h"

#include "dialog_run.h"
#include "platform/shell/shell.h"
#include "player/dialogs/dialogs.h"
#include "player/settings/snapshot_options.h"
#include "player/app/utils.h"
#include "player/settings/sys_config.h"
#include "skinui/list.h"
#include "skinui/skinui.h"

using namespace skinui;

CSnapShotWnd::~CSnapShotWnd() = default;

void CSnapShotWnd::InitWindow() {
    m_pPathEdit = static_cast<CEditUI*>(m_PaintManager.FindControl(L"snap_shot_path"));
    m_pNotTip = static_cast<CCheckBoxUI*>(m_PaintManager.FindControl(L"not_tip"));
    m_pOnlyClipboard = static_cast<CCheckBoxUI*>(m_PaintManager.FindControl(L"only_save_clipboard"));
    m_pType = static_cast<CComboUI*>(m_PaintManager.FindControl(L"snap_shot_type"));
    if (m_pPathEdit) m_pPathEdit->SetText(g_SysConfig.strSnapShotPath.c_str());
    if (m_pNotTip) m_pNotTip->SetCheck(g_SysConfig.bTipSnapShot == 0, false);
    if (m_pOnlyClipboard) m_pOnlyClipboard->SetCheck(g_SysConfig.bOnlySnapToClipBoard != 0, false);
    if (m_pType) m_pType->SelectItem(g_SysConfig.nSnapShotType, false, false);
}

void CSnapShotWnd::SaveOptions() {
    SnapShotOptions o;
    if (m_pPathEdit) o.folder = m_pPathEdit->GetText();
    o.notTip = m_pNotTip && m_pNotTip->GetCheck();
    o.onlyClipboard = m_pOnlyClipboard && m_pOnlyClipboard->GetCheck();
    o.type = m_pType && m_pType->GetCurSel() >= 0 ? m_pType->GetCurSel() : g_SysConfig.nSnapShotType;
    SaveSnapShotOptions(g_SysConfig, o);
}

void CSnapShotWnd::BrowseFolder() {
    const std::wstring folder = BrowseForFolder(m_hWnd, L"请选择文件夹！");
    if (!folder.empty() && m_pPathEdit) m_pPathEdit->SetText(folder.c_str());
}

void CSnapShotWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        CDuiString name = msg.pSender->GetName();
        if (name == L"confirm") {
            SaveOptions();
            Close(IDOK);
        } else if (name == L"cancel") {
            Close(IDCANCEL);
        } else if (name == L"closebtn") {
            // Not on to the base, which would close it a second time with 1.
            Close(IDCANCEL);
            return;
        } else if (name == L"btn_snapshot_path") {
            BrowseFolder();
        }
    }
    WindowImplBase::Notify(msg);
}

LRESULT CSnapShotWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam == VK_RETURN) {
        SaveOptions();
        Close(IDOK);
    } else if (wParam == VK_ESCAPE) {
        Close(IDCANCEL);
    } else {
        bHandled = FALSE;
    }
    return 0;
}

UINT ShowSnapShotDialog(HWND owner) {
    CSnapShotWnd dialog;
    return RunModalDialog(dialog, owner, L"截图");
}
