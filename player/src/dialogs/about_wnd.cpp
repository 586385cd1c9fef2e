#include "player/dialogs/about_wnd.h"

#include "dialog_run.h"
#include "platform/kernel/process.h"
#include "player/dialogs/dialogs.h"
#include "player/app/user_data.h"
#include "skinui/skinui.h"

using namespace skinui;

namespace {

void OpenPage(const wchar_t* address) { ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOW); }

}  // namespace

void CWZAboutWnd::InitWindow() {
    CControlUI* version = m_PaintManager.FindControl(L"version");
    if (!version) return;
    std::wstring text = L"Oskery播放器   V" + CUserData::GetVersionString();
    version->SetText(text.c_str());
}

void CWZAboutWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        CDuiString name = msg.pSender->GetName();
        if (name == L"Closebtn") return Close(IDOK);
        if (name == L"homepagebtn") return OpenPage(kAboutHomePage);
        if (name == L"forumbtn") return OpenPage(kAboutForumPage);
        if (name == L"weibobtn") return OpenPage(kAboutMicroBlogPage);
    }
    WindowImplBase::Notify(msg);
}

LRESULT CWZAboutWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam == VK_ESCAPE) Close(IDOK);
    else bHandled = FALSE;
    return 0;
}

void ShowAboutDialog(HWND owner) {
    CWZAboutWnd dialog;
    RunModalDialog(dialog, owner, L"WZAboutWnd");
}
