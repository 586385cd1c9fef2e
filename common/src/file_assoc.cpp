#include "common/file_assoc.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

#include "common/convert.h"
#include "common/desktop_assoc.h"
#include "common/reg_helper.h"
#include "platform/kernel/module.h"
#include "platform/kernel/module_names.h"
#include "platform/shell/shell.h"

namespace {

const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
const char kBackup[] = "wzbak";
const char kUserProgId[] = "Progid";

bool SameProgId(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string ExtKey(const std::string& ext) { return "." + ext; }
std::string UserExtKey(const std::string& ext) { return kFileExts + ext; }

std::string ProgramFolder() { return WideToAcp(platform::ModuleFolder()); }

// The player's path as the file system names it.
std::string PlayerFsPath(const std::string& programFolder) {
    std::string path = AssocPlayerProgram(programFolder);
    AnsiToUtf8(path);
    return path;
}

// Another extension that still points at its ProgID keeps the MIME types it shares.
bool ExtensionStillAssociated(const std::string& ext) {
    std::string cur;
    return IsValidAssocExtension(ext) && CRegHelper::GetString(HKEY_CLASSES_ROOT, ExtKey(ext), "", cur) &&
           SameProgId(cur, AssocProgId(ext));
}

}  // namespace

bool IsValidAssocExtension(const std::string& ext) {
    if (ext.empty() || ext.size() > kMaxAssocExtensionLength) return false;
    for (unsigned char c : ext) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

std::string AssocProgId(const std::string& ext) { return "WZfile_" + ext; }

std::string AssocPlayerProgram(const std::string& programFolder) {
    return programFolder + platform::MapModuleName(std::string("Morvane.exe"));
}

std::string AssocUserChoiceKey(const std::string& ext) {
    return IsVistaOrLater() ? UserExtKey(ext) + "\\UserChoice" : UserExtKey(ext);
}

bool WriteAssociationLayout(const std::string& ext, const std::string& iconPath, const std::string& programFolder,
                            bool resetUserChoice) {
    if (!IsValidAssocExtension(ext)) return false;
    const std::string progId = AssocProgId(ext);
    const std::string command = "\"" + AssocPlayerProgram(programFolder) + "\" \"%1\"";
    const std::string caption = WideToAcp(L"用 Oskery播放器 播放(&P)");

    CRegHelper::CreateKey(HKEY_CLASSES_ROOT, progId + "\\DefaultIcon");
    CRegHelper::SetString(HKEY_CLASSES_ROOT, progId + "\\DefaultIcon", "", iconPath);
    for (const char* sub : {"\\shell", "\\shell\\open", "\\shell\\open\\command", "\\shell\\openwz",
                            "\\shell\\openwz\\command"})
        CRegHelper::CreateKey(HKEY_CLASSES_ROOT, progId + sub);
    CRegHelper::SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\openwz", "", caption);
    CRegHelper::SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", command);
    CRegHelper::SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\openwz\\command", "", command);

    // The extension's default: another program's is kept in "wzbak" and replaced; ours (in any
    // case) is left alone, so a repeated set keeps the first backup.
    std::string cur;
    CRegHelper::GetString(HKEY_CLASSES_ROOT, ExtKey(ext), "", cur);
    if (!SameProgId(cur, progId)) {
        if (!cur.empty()) CRegHelper::SetString(HKEY_CLASSES_ROOT, ExtKey(ext), kBackup, cur);
        CRegHelper::SetString(HKEY_CLASSES_ROOT, ExtKey(ext), "", progId);
    }

    // The per-user choice, with the same backup rule, so a remove can give it back.
    const std::string userKey = AssocUserChoiceKey(ext);
    std::string prevChoice, oldBackup;
    CRegHelper::GetString(HKEY_CURRENT_USER, userKey, kUserProgId, prevChoice);
    CRegHelper::GetString(HKEY_CURRENT_USER, UserExtKey(ext), kBackup, oldBackup);
    if (resetUserChoice) CRegHelper::DeleteValueOrTree(HKEY_CURRENT_USER, userKey, "");
    CRegHelper::SetString(HKEY_CURRENT_USER, userKey, kUserProgId, progId);
    std::string backup = !prevChoice.empty() && !SameProgId(prevChoice, progId) ? prevChoice : oldBackup;
    if (!backup.empty()) CRegHelper::SetString(HKEY_CURRENT_USER, UserExtKey(ext), kBackup, backup);

    SetDesktopAssociation(ext, PlayerFsPath(programFolder));
    return true;
}

bool SetDesktopAssociationOfThisProgram(const std::string& ext) {
    return IsValidAssocExtension(ext) && SetDesktopAssociation(ext, PlayerFsPath(ProgramFolder()));
}

void SetFileAssociation(const std::string& ext, const std::string& icon) {
    const std::string folder = ProgramFolder();
    if (WriteAssociationLayout(ext, folder + "res/" + icon, folder, false)) NotifyAssociationsChanged();
}

void RemoveFileAssociation(const std::string& ext) {
    if (!IsValidAssocExtension(ext)) return;
    const std::string progId = AssocProgId(ext);
    CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, progId, "");

    // Give back what the set replaced; with no backup, drop a default that names our deleted ProgID.
    std::string backup, cur;
    CRegHelper::GetString(HKEY_CLASSES_ROOT, ExtKey(ext), kBackup, backup);
    if (!backup.empty()) {
        CRegHelper::SetString(HKEY_CLASSES_ROOT, ExtKey(ext), "", backup);
        CRegHelper::DeleteValue(HKEY_CLASSES_ROOT, ExtKey(ext), kBackup);
    } else if (CRegHelper::GetString(HKEY_CLASSES_ROOT, ExtKey(ext), "", cur) && SameProgId(cur, progId)) {
        CRegHelper::DeleteValue(HKEY_CLASSES_ROOT, ExtKey(ext), "");
    }

    const std::string userKey = AssocUserChoiceKey(ext);
    backup.clear();
    CRegHelper::GetString(HKEY_CURRENT_USER, UserExtKey(ext), kBackup, backup);
    if (!backup.empty()) {
        CRegHelper::SetString(HKEY_CURRENT_USER, userKey, kUserProgId, backup);
        CRegHelper::DeleteValue(HKEY_CURRENT_USER, UserExtKey(ext), kBackup);
    } else if (CRegHelper::GetString(HKEY_CURRENT_USER, userKey, kUserProgId, cur) && SameProgId(cur, progId)) {
        CRegHelper::DeleteValue(HKEY_CURRENT_USER, userKey, kUserProgId);
    }

    RemoveDesktopAssociation(ext, [&](const std::string& other) { return other != ext && ExtensionStillAssociated(other); });
    std::error_code ec;
    if (std::filesystem::exists(DesktopEntryPath(), ec)) WriteDesktopEntry(PlayerFsPath(ProgramFolder()));
    NotifyAssociationsChanged();
}
