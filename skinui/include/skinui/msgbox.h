// The skin message box: layout "WzMessageBox.xml" of the skin archive in use, shown modally.
#pragma once

#include "platform/windows/msgbox.h"
#include "platform/base/wintypes.h"

namespace skinui {

// Shows the text with the title and the icon and buttons of `type` (MB_OK, MB_OKCANCEL, MB_YESNO;
// MB_ICONINFORMATION, MB_ICONWARNING/MB_ICONEXCLAMATION, MB_ICONQUESTION, MB_ICONERROR), centred
// on the owner, and returns the pressed button: IDOK/IDCANCEL or IDYES/IDNO. Enter presses the
// first button, Esc and the close button the second (the only one with MB_OK); the letter in
// brackets of a label presses its button. Null labels take "确定(O)" and "取消(C)", or "是(Y)"
// and "否(N)" for MB_YESNO. Without a display the text goes to standard error and the first
// button counts as pressed; without the layout the plain system message box stands in.
int WzMessageBox(HWND hOwner, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType = MB_OK, LPCWSTR lpOkText = nullptr,
                 LPCWSTR lpCancelText = nullptr);

}  // namespace skinui
