// The player's four modal dialogs: each call builds the dialog, centres it on the top window of
// the owner chain, runs it modally (every window of the owner chain disabled meanwhile) and
// destroys it. Call on the user-interface thread.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

class IOpenUrlHost;

// The facts of one media file.
void ShowFileInfoDialog(HWND owner, const std::wstring& path);
// Asks where and how to save snapshots; 1 when the user confirmed (the settings are then stored),
// 2 when cancelled.
UINT ShowSnapShotDialog(HWND owner);
void ShowAboutDialog(HWND owner);
// Lets the user open network addresses; the host plays them (see player/dialogs/open_url.h).
void ShowOpenUrlDialog(HWND owner, IOpenUrlHost& host);
