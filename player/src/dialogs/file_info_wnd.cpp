#include "player/dialogs/file_info_wnd.h"

#include "dialog_run.h"
#include "player/dialogs/dialogs.h"
#include "player/dialogs/file_info.h"
#include "player/dialogs/mediainfo_dll.h"
#include "skinui/skinui.h"

using namespace skinui;

CFileInfoWnd::CFileInfoWnd(const std::wstring& path) : CWzXMLWnd(L"FileInfoWnd.xml"), m_strPath(path) {
    FilePathParts parts = SplitMediaPath(path);
    m_strFileName = parts.name;
    m_strFolder = parts.folder;
    m_strType = parts.type;
}

CFileInfoWnd::~CFileInfoWnd() = default;

void CFileInfoWnd::InitWindow() {
    FileInfoFields f = ReadFileInfo(CMediaInfoLib::Default(), m_strPath);
    m_strResolution = f.resolution;
    m_strSize = f.size;
    m_strBitRate = f.bitRate;
    m_strDuration = f.duration;
    m_strCodecInfo = f.codecText;

    auto set = [this](const wchar_t* name, const std::wstring& text, bool tip = false) {
        if (CControlUI* c = m_PaintManager.FindControl(name)) {
            c->SetText(text.c_str());
            if (tip) c->SetToolTip(text.c_str());
        }
    };
    set(L"FileName", m_strFileName, true);
    set(L"FileType", L"文件类型：" + m_strType);
    set(L"FileSize", L"文件大小：" + m_strSize);
    set(L"FileDuration", L"文件时长：" + m_strDuration);
    set(L"Resolution", L"分辨率：" + m_strResolution);
    set(L"BitRate", L"码率：" + m_strBitRate);
    set(L"FilePath", L"文件路径：" + m_strFolder, true);
    set(L"CodecInfo", m_strCodecInfo);

    if (CControlUI* panel = m_PaintManager.FindControl(L"hlayout_codecinfo")) {
        m_nCodecHeight = panel->GetFixedHeight();
        panel->SetVisible(false);
        RECT rc;
        ::GetWindowRect(m_hWnd, &rc);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top - m_nCodecHeight,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CFileInfoWnd::ToggleCodecPanel() {
    m_bCodecShown = !m_bCodecShown;
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    int height = rc.bottom - rc.top + (m_bCodecShown ? m_nCodecHeight : -m_nCodecHeight);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (CControlUI* panel = m_PaintManager.FindControl(L"hlayout_codecinfo")) panel->SetVisible(m_bCodecShown != 0);
    if (CControlUI* button = m_PaintManager.FindControl(L"BtnCodecInfo"))
        button->SetText(m_bCodecShown ? L"︽编码信息" : L"︾编码信息");
}

void CFileInfoWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        CDuiString name = msg.pSender->GetName();
        if (name == L"BtnOK") Close(IDOK);
        else if (name == L"BtnCodecInfo") ToggleCodecPanel();
    }
    WindowImplBase::Notify(msg);
}

LRESULT CFileInfoWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam == VK_RETURN) Close(IDOK);
    else if (wParam == VK_ESCAPE) Close(IDCANCEL);
    else bHandled = FALSE;
    return 0;
}

void ShowFileInfoDialog(HWND owner, const std::wstring& path) {
    CFileInfoWnd dialog(path);
    RunModalDialog(dialog, owner, L"FileInfo");
}
