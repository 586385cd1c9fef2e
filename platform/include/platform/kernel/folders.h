// The user's special folders, from the XDG user directories.
#pragma once

#include "platform/base/wintypes.h"

#define CSIDL_MYPICTURES 0x0027

// CSIDL_MYPICTURES is XDG_PICTURES_DIR of user-dirs.dirs ($XDG_CONFIG_HOME or ~/.config),
// else ~/Pictures. The path has no trailing '/'. With `create` the folder is made when
// missing. FALSE for other folders or a path that does not fit MAX_PATH.
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create);
