// The two bases of every skin window of the player: the layout name and the skin resource.
#pragma once

#include "skinui/window.h"

// The skin archive: a plain zip linked into the program as resource "ZIPRES" 107.
inline constexpr WORD kSkinResourceId = 107;

class CXMLWnd : public skinui::WindowImplBase {
public:
    explicit CXMLWnd(const skinui::CDuiString& layoutName);
    ~CXMLWnd() override;

    // Every skin window shares one window class; the main window is told apart by its property.
    LPCWSTR GetWindowClassName() const override { return L"WZBaseGui"; }
    skinui::CDuiString GetSkinFolder() override { return L""; }
    skinui::CDuiString GetSkinFile() override { return m_strXMLName; }  // a copy
    skinui::UILIB_RESOURCETYPE GetResourceType() const override {
        return static_cast<skinui::UILIB_RESOURCETYPE>(m_nResourceType);
    }
    LPCWSTR GetResourceID() const override { return MAKEINTRESOURCEW(m_nResourceID); }

protected:
    skinui::CDuiString m_strXMLName;
    WORD m_nResourceID;
    int m_nResourceType;
};

class CWzXMLWnd : public CXMLWnd {
public:
    explicit CWzXMLWnd(const skinui::CDuiString& layoutName) : CXMLWnd(layoutName) {}
    ~CWzXMLWnd() override = default;
};
