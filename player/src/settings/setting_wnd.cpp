#include "player/settings/setting_wnd.h"

#include "platform/shell/shell.h"
#include "player/settings/file_assoc_client.h"
#include "player/settings/sys_config.h"
#include "player/app/utils.h"
#include "skinui/controls.h"

using namespace skinui;

CSettingWnd::CSettingWnd() : CWzXMLWnd(kSettingWndLayout), m_pages(m_PaintManager, g_SysConfig, *this) {}

CSettingWnd::~CSettingWnd() = default;

HWND CSettingWnd::CreateHidden(HWND owner) {
    // Made without WS_VISIBLE: it only shows when asked to.
    if (!Create(owner, kSettingWndName, WS_POPUP | WS_CLIPCHILDREN, WS_EX_WINDOWEDGE)) return nullptr;
    CenterWindow();
    ShowWindow(false, false);
    return m_hWnd;
}

void CSettingWnd::ShowOverMain() {
    RefreshPages();
    CenterWindow();
    ShowWindow(true, true);
    ::SetForegroundWindow(m_hWnd);
}

void CSettingWnd::InitWindow() {
    RefreshPages();
    CreateTip();
}

LRESULT CSettingWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = CWzXMLWnd::HandleMessage(uMsg, wParam, lParam);
    if (uMsg == WM_MOUSEWHEEL && m_hWnd) {
        ::SetFocus(m_hWnd);
        OnTabStripWheel(wParam);
    }
    return lRes;
}

LRESULT CSettingWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    switch (wParam) {
    case VK_ESCAPE:
        if (::IsWindowVisible(m_hWnd)) ShowWindow(false, false);
        HideTip();
        break;
    case VK_UP: SwitchTab(false); break;
    case VK_DOWN: SwitchTab(true); break;
    default:
        // Space, Tab and the rest stay with the focused control.
        bHandled = FALSE;
        return 0;
    }
    bHandled = TRUE;
    return 0;
}

void CSettingWnd::Notify(TNotifyUI& msg) {
    if (m_pages.HandleNotify(msg)) return;
    CWzXMLWnd::Notify(msg);
}

void CSettingWnd::OnTabStripWheel(WPARAM wParam) {
    CControlUI* strip = m_PaintManager.FindControl(L"tabselect");
    if (!strip) return;
    POINT pt{};
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    RECT rc = strip->GetPos();
    rc.left = 0;
    if (pt.x < rc.left || pt.x >= rc.right || pt.y < rc.top || pt.y >= rc.bottom) return;
    SwitchTab(static_cast<short>(HIWORD(wParam)) <= 0);
}

void CSettingWnd::BrowseSnapShotPath() {
    const std::wstring folder = BrowseForFolder(m_hWnd, kSnapShotFolderTitle);
    if (folder.empty()) return;
    StoreSnapShotFolder(g_SysConfig, folder);
    if (CControlUI* edit = m_PaintManager.FindControl(L"snap_shot_path")) edit->SetText(g_SysConfig.strSnapShotPath.c_str());
}

void CSettingWnd::ApplyFileAssociations() {
    const bool applied =
        ::ApplyFileAssociations(IsSettingShown(), [this](const std::wstring& box) { return m_pages.IsBoxChecked(box); });
    if (applied || !m_pTip || !IsSettingShown()) return;
    // Below the association page's first row, where the user is working.
    CControlUI* anchor = m_PaintManager.FindControl(L"System_Always_FileAssociation");
    RECT rc = anchor ? anchor->GetPos() : RECT{20, 40, 20, 40};
    POINT pt{rc.left, rc.bottom + 4};
    ::ClientToScreen(m_hWnd, &pt);
    m_pTip->Show(kAssocApplyFailedText, pt.x, pt.y);
}

bool CSettingWnd::IsSettingShown() { return m_hWnd && ::IsWindowVisible(m_hWnd); }

void CSettingWnd::CloseSettings() {
    if (m_main.hwnd) ::SetForegroundWindow(m_main.hwnd);
    ShowWindow(false, false);
    HideTip();
}

void CSettingWnd::SaveMainWindowRect() {
    if (m_main.saveWindowRect) m_main.saveWindowRect();
}

void CSettingWnd::FitMainWindowToVideo() {
    if (m_main.fitWindowToVideo) m_main.fitWindowToVideo();
}

void CSettingWnd::SetCurrentProgress(std::int64_t seconds, int permille) {
    if (m_main.setCurrentProgress) m_main.setCurrentProgress(seconds, permille);
}

CurrentMedia CSettingWnd::GetCurrentMedia() { return m_main.currentMedia ? m_main.currentMedia() : CurrentMedia{}; }

void CSettingWnd::CreateTip() {
    m_pTip = std::make_unique<CWzToolTip>();
    m_pTip->Create(m_hWnd, L"WzToolTip", 0, 0);
    m_pTip->SetDelayShow(0);
    m_pTip->SetShowTime(kSettingTipShowTimeMs);
    m_pTip->SetBktrans(false);
    m_pTip->SetDefaultFont(L"宋体", 12, false, false, false);
    m_pTip->SetBkColor(0xFFFEFBD8);
    m_pTip->SetTextColor(0x0053524E);
    m_pTip->SetTextCenter(true);
}

void CSettingWnd::ShowHotKeyConflict(CControlUI* control) {
    if (!m_pTip) return;
    RECT rc = control->GetPos();
    POINT pt{rc.right + 5, rc.top + 8};
    ::ClientToScreen(m_hWnd, &pt);
    m_pTip->Show(kHotKeyConflictText, pt.x, pt.y);
}

void CSettingWnd::HideTip() {
    if (m_pTip) m_pTip->Hide();
}

std::wstring CSettingWnd::TipText() const {
    return m_pTip && m_pTip->IsShown() ? std::wstring(m_pTip->GetText()) : std::wstring();
}
