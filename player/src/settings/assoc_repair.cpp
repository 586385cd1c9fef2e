// The start-up repair of the per-user association choice.
#include "common/convert.h"
#include "common/file_assoc.h"
#include "common/reg_helper.h"
#include "platform/profile/profile.h"
#include "player/settings/assoc_table.h"
#include "player/settings/file_assoc_client.h"
#include "player/settings/sys_config.h"

bool RepairExtProgid(const std::string& ext) {
    const std::string progId = AssocProgId(ext);
    // Only a ProgID that was registered is worth pointing at; the player cannot register one.
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, AnsiToWide(progId.c_str()).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    const std::string key = AssocUserChoiceKey(ext);
    std::string cur;
    CRegHelper::GetString(HKEY_CURRENT_USER, key, "Progid", cur);
    if (cur == progId) return false;
    const bool wrote = CRegHelper::SetString(HKEY_CURRENT_USER, key, "Progid", progId);
    // The desktop follows the choice put back, so that the type opens in the player there too.
    if (wrote) SetDesktopAssociationOfThisProgram(ext);
    return wrote;
}

void RepairFileAssociations() {
    bool changed = false;
    const std::wstring cfg = g_SysConfig.GetConfigPath();
    for (size_t i = 0; i < kAssocVideoCount; ++i) {
        const wchar_t* entry = AssocExtensions[i];
        if (GetPrivateProfileIntW(L"FileAssoc", entry, 1, cfg.c_str()) == 0) continue;
        if (RepairExtProgid(WideToAcp(entry + 1))) changed = true;
    }
    if (changed) NotifyAssociationsChanged();
}
