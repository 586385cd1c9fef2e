// Running a dialog window modally for the entries of player/dialogs/dialogs.h.
#pragma once

#include "skinui/window.h"

// Creates the dialog (hidden; ShowModal shows it), centres it and runs it; 0 when it could not
// be created.
UINT RunModalDialog(skinui::CWindowWnd& dialog, HWND owner, LPCWSTR name);
