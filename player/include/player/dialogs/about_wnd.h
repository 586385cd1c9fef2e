// The about dialog: the program's name and version and three links to its pages.
#pragma once

#include "player/skin_window/xml_wnd.h"

// The pages the link buttons open.
inline constexpr const wchar_t* kAboutHomePage = L"https://morvane.example/";
inline constexpr const wchar_t* kAboutForumPage = L"https://morvane.example/bbs/";
inline constexpr const wchar_t* kAboutMicroBlogPage = L"https://microblog.morvane.example/oskery";

class CWZAboutWnd : public CWzXMLWnd {
public:
    CWZAboutWnd() : CWzXMLWnd(L"WZAbout.xml") {}

    void InitWindow() override;
    void Notify(skinui::TNotifyUI& msg) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
};
