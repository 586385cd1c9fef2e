// Builds a control tree from an XML layout of the skin archive (or from XML text).
#pragma once

#include <functional>
#include <vector>

#include "skinui/control.h"

namespace skinui {

class CPaintManagerUI;

class CDialogBuilder {
public:
    // Layout from the skin archive by file name. The window element's fonts, defaults and
    // attributes go to the manager. Null, with a message, when the layout is missing or bad.
    CControlUI* Create(const wchar_t* layoutName, IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    CControlUI* CreateFromXml(const std::string& xml, IDialogBuilderCallback* callback = nullptr,
                              CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Every control at the top of a layout's window (a menu layout holds one per submenu), each
    // built with the manager `managerFor` gives for its index; the window's fonts and defaults
    // go to each manager. Empty, with a message, when the layout is missing or bad.
    std::vector<CControlUI*> CreateEach(const wchar_t* layoutName, IDialogBuilderCallback* callback,
                                        const std::function<CPaintManagerUI*(size_t)>& managerFor);
    // A built-in control of the layout class name ("Button", "VerticalLayout", ...), or null.
    static CControlUI* CreateBuiltin(const wchar_t* className);
};

}  // namespace skinui
