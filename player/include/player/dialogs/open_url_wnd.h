// The open-address dialog: one network address or several joined by "|", typed, pasted or
// picked from the history; the confirm step is ConfirmUrlInput (player/dialogs/open_url.h).
#pragma once

#include "player/skin_window/xml_wnd.h"

class IOpenUrlHost;

namespace skinui {
class CComboUI;
class CEditUI;
class CButtonUI;
class CLabelUI;
}  // namespace skinui

inline constexpr UINT_PTR IDT_URL_ERROR_HINT = 200;
inline constexpr UINT kUrlErrorHintMs = 3000;
inline constexpr const wchar_t* kUrlHint = L"支持http,https,ftp,rtsp协议的视频\n例如：http://media.morvane.example/sample.mp4";
inline constexpr const wchar_t* kUrlError = L"输入的网址无法识别";
inline constexpr DWORD kUrlHintColor = 0xFF5F5F5F;
inline constexpr DWORD kUrlErrorColor = 0xFFFF0000;

class CWZOpenURLWnd : public CWzXMLWnd {
public:
    CWZOpenURLWnd() : CWzXMLWnd(L"WZOpenURL.xml") {}

    // Set by the creator before the window is created.
    IOpenUrlHost* m_pOwner = nullptr;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void Notify(skinui::TNotifyUI& msg) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void OnConfirm();

private:
    void ShowHint(const wchar_t* text, DWORD color);

    skinui::CComboUI* m_pHistory = nullptr;
    skinui::CEditUI* m_pAddress = nullptr;
    skinui::CButtonUI* m_pConfirm = nullptr;
    skinui::CLabelUI* m_pHint = nullptr;
};
