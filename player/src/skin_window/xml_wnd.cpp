#include "player/skin_window/xml_wnd.h"

CXMLWnd::CXMLWnd(const skinui::CDuiString& layoutName)
    : m_strXMLName(layoutName), m_nResourceID(kSkinResourceId), m_nResourceType(skinui::UILIB_ZIPRESOURCE) {}

CXMLWnd::~CXMLWnd() = default;
