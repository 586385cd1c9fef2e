#include "dialog_run.h"

#include <vector>

UINT RunModalDialog(skinui::CWindowWnd& dialog, HWND owner, LPCWSTR name) {
    if (!dialog.Create(owner, name, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_WINDOWEDGE, 0, 0, 0, 0))
        return 0;
    dialog.CenterWindow();
    // The modal loop disables the direct owner; the windows above it (the main window above the
    // caption bar or the play panel) take no input either while the dialog runs.
    std::vector<HWND> disabled;
    if (owner)
        for (HWND w = ::GetWindow(owner, GW_OWNER); w; w = ::GetWindow(w, GW_OWNER))
            if (::IsWindowEnabled(w)) {
                ::EnableWindow(w, FALSE);
                disabled.push_back(w);
            }
    UINT result = dialog.ShowModal();
    for (auto it = disabled.rbegin(); it != disabled.rend(); ++it)
        if (::IsWindow(*it)) ::EnableWindow(*it, TRUE);
    return result;
}
