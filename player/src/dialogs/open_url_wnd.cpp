#include "player/dialogs/open_url_wnd.h"

#include "common/convert.h"
#include "dialog_run.h"
#include "platform/shell/shell.h"
#include "player/dialogs/dialogs.h"
#include "player/dialogs/open_url.h"
#include "player/settings/sys_config.h"
#include "skinui/list.h"
#include "skinui/skinui.h"

using namespace skinui;

namespace {

constexpr size_t kToolTipChars = 100;

std::wstring ToolTipOf(const std::wstring& text) { return text.substr(0, kToolTipChars); }

CListLabelElementUI* HistoryRow(const std::wstring& text) {
    auto* row = new CListLabelElementUI;
    row->SetText(text.c_str());
    row->SetToolTip(ToolTipOf(text).c_str());
    return row;
}

// Unicode text of the clipboard, when it has some and can be opened.
std::wstring ClipboardText(HWND owner) {
    std::wstring text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace

void CWZOpenURLWnd::ShowHint(const wchar_t* text, DWORD color) {
    if (!m_pHint) return;
    m_pHint->SetAttribute(L"font", L"1");
    m_pHint->SetText(text);
    m_pHint->SetTextColor(color);
}

void CWZOpenURLWnd::InitWindow() {
    m_pHistory = static_cast<CComboUI*>(m_PaintManager.FindControl(L"accountcombo"));
    m_pAddress = static_cast<CEditUI*>(m_PaintManager.FindControl(L"accountedit"));
    m_pConfirm = static_cast<CButtonUI*>(m_PaintManager.FindControl(L"confirm"));
    m_pHint = static_cast<CLabelUI*>(m_PaintManager.FindControl(L"errorURL"));
    if (m_pHint) {
        m_pHint->SetTextStyle((m_pHint->GetTextStyle() & ~DT_SINGLELINE) | DT_WORDBREAK);
        m_pHint->SetText(kUrlHint);
    }
    if (m_pHistory) m_pHistory->SetFocus();

    std::wstring clip = ClipboardText(m_hWnd);
    if (!clip.empty() && IsSupportedURL(WideToAcp(clip)) && m_pAddress) {
        m_pAddress->SetText(clip.c_str());
        m_pAddress->SetToolTip(ToolTipOf(clip).c_str());
    }
    if (m_pHistory) {
        const auto& history = g_SysConfig.g_UrlHistory;
        for (auto it = history.rbegin(); it != history.rend(); ++it) m_pHistory->Add(HistoryRow(*it));
    }
}

void CWZOpenURLWnd::OnConfirm() {
    if (!m_pAddress || !m_pOwner) return;
    std::wstring stored = ConfirmUrlInput(m_pAddress->GetText(), *m_pOwner, g_SysConfig);
    if (stored.empty()) {
        ShowHint(kUrlError, kUrlErrorColor);
        ::KillTimer(m_hWnd, IDT_URL_ERROR_HINT);
        ::SetTimer(m_hWnd, IDT_URL_ERROR_HINT, kUrlErrorHintMs, nullptr);
        return;
    }
    if (m_pHistory) m_pHistory->AddAt(HistoryRow(stored), 0);
    Close(IDOK);
}

void CWZOpenURLWnd::Notify(TNotifyUI& msg) {
    CDuiString name = msg.pSender ? msg.pSender->GetName() : CDuiString();
    if (msg.sType == DUI_MSGTYPE_CLICK) {
        if (name == L"Closebtn" || name == L"cancel") return Close(IDOK);
        if (name == L"confirm") return OnConfirm();
        if (name == L"clear_urllist") {
            g_SysConfig.g_UrlHistory.clear();
            g_SysConfig.SaveUrlHistory();
            if (m_pHistory) m_pHistory->RemoveAll();
        }
    } else if (msg.sType == DUI_MSGTYPE_ITEMSELECT && name == L"accountcombo" && m_pHistory && m_pAddress) {
        if (CControlUI* row = m_pHistory->GetItemAt(m_pHistory->GetCurSel())) {
            std::wstring text = row->GetText();
            m_pAddress->SetText(text.c_str());
            m_pAddress->SetToolTip(ToolTipOf(text).c_str());
        }
    }
    WindowImplBase::Notify(msg);
}

LRESULT CWZOpenURLWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam == VK_RETURN) OnConfirm();
    else if (wParam == VK_ESCAPE) Close(IDOK);
    else bHandled = FALSE;
    return 0;
}

LRESULT CWZOpenURLWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // The history combo holds the focus for its arrows; what is typed there belongs to the
    // address field floated over it.
    if ((uMsg == WM_CHAR || uMsg == WM_KEYDOWN) && m_pHistory && m_pAddress && m_PaintManager.GetFocus() == m_pHistory) {
        const bool comboKey = uMsg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_F4 ||
                                                     wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_TAB ||
                                                     wParam == VK_SHIFT || wParam == VK_CONTROL || wParam == VK_MENU);
        if (!comboKey) m_pAddress->SetFocus();
    }
    LRESULT r = WindowImplBase::HandleMessage(uMsg, wParam, lParam);
    if (uMsg == WM_TIMER && wParam == IDT_URL_ERROR_HINT) ShowHint(kUrlHint, kUrlHintColor);
    return r;
}

void ShowOpenUrlDialog(HWND owner, IOpenUrlHost& host) {
    CWZOpenURLWnd dialog;
    dialog.m_pOwner = &host;
    RunModalDialog(dialog, owner, L"WZOpenURL");
}
