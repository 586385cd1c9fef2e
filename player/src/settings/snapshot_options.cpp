#include "player/settings/snapshot_options.h"

#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "player/settings/sys_config.h"

std::wstring TrimFolderSeparators(std::wstring folder) {
    auto isSep = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    while (!folder.empty() && isSep(folder.back())) {
        if (folder.size() == 1) break;                                            // "/"
        if (folder.size() == 3 && folder[1] == L':') break;  // "D:\"
        folder.pop_back();
    }
    return folder;
}

bool SnapShotFolderReady(const std::wstring& folder) {
    if (folder.empty()) return false;
    if (::PathFileExistsW(folder.c_str())) return true;
    wchar_t pictures[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, pictures, CSIDL_MYPICTURES, FALSE) ||
        TrimFolderSeparators(folder) != TrimFolderSeparators(pictures))
        return false;
    return SHGetSpecialFolderPathW(nullptr, pictures, CSIDL_MYPICTURES, TRUE) && ::PathFileExistsW(pictures);
}

void SaveSnapShotOptions(CSysConfig& config, const SnapShotOptions& options) {
    config.strSnapShotPath = TrimFolderSeparators(options.folder);
    config.iniConfig.WriteString(L"Global", L"strSnapShotPath", config.strSnapShotPath.c_str());
    config.bTipSnapShot = options.notTip ? 0 : 1;
    config.iniConfig.WriteInt(L"Global", L"bTipSnapShot", config.bTipSnapShot);
    config.bOnlySnapToClipBoard = options.onlyClipboard ? 1 : 0;
    config.iniConfig.WriteInt(L"Global", L"bOnlySnapToClipBoard", config.bOnlySnapToClipBoard);
    config.nSnapShotType = options.type;
    config.iniConfig.WriteInt(L"Global", L"nSnapShotType", config.nSnapShotType);
}
