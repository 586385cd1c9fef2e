// The skin message box.
#include "skinui/msgbox.h"

#include <algorithm>
#include <cwctype>
#include <iostream>

#include "skinui/controls.h"
#include "skinui/window.h"

namespace skinui {

namespace {

constexpr int kIconCell = 32;  // the icons lie side by side in "msgbox_icons.png"

// The letter of a label's "(X)", as a virtual-key code; 0 when it has none.
WPARAM Mnemonic(const std::wstring& label) {
    size_t at = label.find(L'(');
    if (at == std::wstring::npos || at + 2 >= label.size() || label[at + 2] != L')') return 0;
    wchar_t c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(label[at + 1])));
    return (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ? static_cast<WPARAM>(c) : 0;
}

class MessageBoxWnd : public WindowImplBase {
public:
    MessageBoxWnd(std::wstring text, std::wstring caption, UINT type, std::wstring first, std::wstring second)
        : m_text(std::move(text)), m_caption(std::move(caption)), m_type(type), m_labels{std::move(first), std::move(second)} {
        bool yesNo = (type & 0x0F) == MB_YESNO;
        m_single = (type & 0x0F) == MB_OK;
        m_results[0] = yesNo ? IDYES : IDOK;
        m_results[1] = yesNo ? IDNO : IDCANCEL;
    }
    // What Esc, the close button and a window closed by other means give.
    int EscapeResult() const { return m_single ? m_results[0] : m_results[1]; }
    int ResultOf(UINT closed) const {
        return closed == static_cast<UINT>(m_results[0]) || closed == static_cast<UINT>(m_results[1]) ? static_cast<int>(closed)
                                                                                                          : EscapeResult();
    }

protected:
    LPCWSTR GetWindowClassName() const override { return L"WzMessageBox"; }
    CDuiString GetSkinFolder() override { return L""; }
    CDuiString GetSkinFile() override { return L"WzMessageBox.xml"; }

    void InitWindow() override {
        if (CControlUI* title = m_PaintManager.FindControl(L"msg_title")) title->SetText(m_caption.c_str());
        if (CControlUI* ok = m_PaintManager.FindControl(L"msg_ok")) ok->SetText(m_labels[0].c_str());
        if (CControlUI* cancel = m_PaintManager.FindControl(L"msg_cancel")) {
            cancel->SetText(m_labels[1].c_str());
            cancel->SetVisible(!m_single);
        }
        if (CControlUI* icon = m_PaintManager.FindControl(L"msg_icon")) {
            int cell = -1;
            switch (m_type & 0xF0) {
                case MB_ICONINFORMATION: cell = 0; break;
                case MB_ICONWARNING: cell = 1; break;
                case MB_ICONQUESTION: cell = 2; break;
                case MB_ICONERROR: cell = 3; break;
                default: break;
            }
            if (cell < 0) {
                icon->SetVisible(false);
            } else {
                CDuiString image;
                image.Format(L"file='msgbox_icons.png' source='%d,0,%d,%d'", cell * kIconCell, (cell + 1) * kIconCell, kIconCell);
                icon->SetBkImage(image.c_str());
            }
        }
        ::SetWindowTextW(m_hWnd, m_caption.c_str());
        if (CControlUI* text = m_PaintManager.FindControl(L"msg_text")) {
            text->SetText(m_text.c_str());
            FitText(text);
        }
    }

    // A text taller than its place makes the box taller, up to most of the screen.
    void FitText(CControlUI* text) {
        m_PaintManager.UpdateLayout();
        auto* label = static_cast<CLabelUI*>(text->GetInterface(L"Label"));
        int width = text->GetWidth();
        if (!label || width <= 0) return;
        RECT pad = label->GetTextPadding();
        SIZE need = m_PaintManager.MeasureText(m_text, label->GetFont(), width - pad.left - pad.right);
        int extra = need.cy + pad.top + pad.bottom + 8 - text->GetHeight();
        if (extra <= 0) return;
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        int height = std::min<int>(rc.bottom + extra, ::GetSystemMetrics(SM_CYSCREEN) * 4 / 5);
        ResizeClient(rc.right, height);
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
            CDuiString name = msg.pSender->GetName();
            if (name == L"msg_ok") return Close(static_cast<UINT>(m_results[0]));
            if (name == L"msg_cancel") return Close(static_cast<UINT>(m_results[1]));
            if (name == L"msg_close" || name == L"closebtn") return Close(static_cast<UINT>(EscapeResult()));
        }
        WindowImplBase::Notify(msg);
    }

    LRESULT ResponseDefaultKeyEvent(WPARAM key) override {
        int result = 0;
        if (key == VK_RETURN) result = m_results[0];
        else if (key == VK_ESCAPE) result = EscapeResult();
        else if (key && key == Mnemonic(m_labels[0])) result = m_results[0];
        else if (!m_single && key && key == Mnemonic(m_labels[1])) result = m_results[1];
        if (!result) return FALSE;
        Close(static_cast<UINT>(result));
        return TRUE;
    }

private:
    std::wstring m_text, m_caption;
    UINT m_type;
    std::wstring m_labels[2];
    int m_results[2];
    bool m_single;
};

}  // namespace

int WzMessageBox(HWND hOwner, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType, LPCWSTR lpOkText, LPCWSTR lpCancelText) {
    std::wstring text = lpText ? lpText : L"", caption = lpCaption ? lpCaption : L"";
    bool yesNo = (uType & 0x0F) == MB_YESNO;
    std::wstring first = lpOkText ? lpOkText : yesNo ? L"是(Y)" : L"确定(O)";
    std::wstring second = lpCancelText ? lpCancelText : yesNo ? L"否(N)" : L"取消(C)";
    int firstResult = yesNo ? IDYES : IDOK;
    if (!platform::HasDisplay()) {
        std::cerr << CDuiString(caption).ToUtf8() << (caption.empty() ? "" : ": ") << CDuiString(text).ToUtf8() << std::endl;
        return firstResult;
    }
    MessageBoxWnd box(text, caption, uType, first, second);
    if (!box.Create(hOwner, caption.c_str(), WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW, 0, 0, 0, 0)) {
        ReportError(L"message box \"" + caption + L"\": " + GetLastErrorMessage() + L"; the system message box stands in");
        return ::MessageBoxW(hOwner, text.c_str(), caption.c_str(), uType);
    }
    box.CenterWindow();
    return box.ResultOf(box.ShowModal());
}

}  // namespace skinui
