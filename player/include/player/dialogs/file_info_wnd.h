// The file-information dialog: name, type, size, duration, resolution, bit rate and folder of
// one media file, and on demand a panel with the codec details of its first streams.
#pragma once

#include <string>

#include "player/skin_window/xml_wnd.h"

class CFileInfoWnd : public CWzXMLWnd {
public:
    explicit CFileInfoWnd(const std::wstring& path);
    ~CFileInfoWnd() override;

    void InitWindow() override;
    void Notify(skinui::TNotifyUI& msg) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

    bool IsCodecPanelShown() const { return m_bCodecShown != 0; }

private:
    void ToggleCodecPanel();

    int m_bCodecShown = 0;
    int m_nCodecHeight = 0;  // pixels
    std::wstring m_strPath;
    std::wstring m_strFileName;
    std::wstring m_strFolder;
    std::wstring m_strType;
    std::wstring m_strResolution;
    std::wstring m_strSize;
    std::wstring m_strBitRate;
    std::wstring m_strDuration;
    std::wstring m_strCodecInfo;
};
