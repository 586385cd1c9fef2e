// The four snapshot settings the snapshot dialog edits, stored into the settings and user.cfg.
#pragma once

#include <string>

class CSysConfig;

struct SnapShotOptions {
    std::wstring folder;         // as typed or picked
    bool notTip = false;         // "do not ask again" checked
    bool onlyClipboard = false;
    int type = 0;                // 0 bmp, 1 jpg, 2 png
};

// The folder without trailing separators; a root ("/", "D:\") keeps its own.
std::wstring TrimFolderSeparators(std::wstring folder);

// True when snapshots can be written into the folder: it exists, or it is the desktop's pictures
// folder (the default one) and has just been made. A folder the user chose is never made.
bool SnapShotFolderReady(const std::wstring& folder);

// strSnapShotPath, bTipSnapShot, bOnlySnapToClipBoard and nSnapShotType, each into the
// settings and then into [Global] of user.cfg.
void SaveSnapShotOptions(CSysConfig& config, const SnapShotOptions& options);
