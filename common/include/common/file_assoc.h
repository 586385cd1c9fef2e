// The registry layout of one of the player's file associations, written by the association
// agent (set and remove, one extension per command) and by the installer plug-in (set only).
// Extensions are given without their dot; text is ANSI, as CRegHelper takes it.
//
//   HKCR\WZfile_<ext>\DefaultIcon            (default) = the icon file
//   HKCR\WZfile_<ext>\shell\open\command     (default) = "<folder>morvane" "%1"
//   HKCR\WZfile_<ext>\shell\openwz           (default) = the menu caption
//   HKCR\WZfile_<ext>\shell\openwz\command   (default) = as open
//   HKCR\.<ext>                              (default) = WZfile_<ext>; "wzbak" = the default it replaced
//   HKCU\...\FileExts\.<ext>\UserChoice      "Progid"  = WZfile_<ext>   (no "\UserChoice" before Vista)
//   HKCU\...\FileExts\.<ext>                 "wzbak"   = the per-user choice it replaced
#pragma once

#include <string>

constexpr size_t kMaxAssocExtensionLength = 199;

// Letters and digits only, 1 to kMaxAssocExtensionLength of them: nothing that could step out
// of the keys above.
bool IsValidAssocExtension(const std::string& ext);

std::string AssocProgId(const std::string& ext);
// The player in a program folder (ending in '/'), ANSI: what the open command runs.
std::string AssocPlayerProgram(const std::string& programFolder);
// The per-user key that holds "Progid": "...\FileExts\.<ext>\UserChoice" on Vista and later,
// "...\FileExts\.<ext>" before.
std::string AssocUserChoiceKey(const std::string& ext);

// Writes the whole layout for ext. iconPath is the DefaultIcon value; programFolder (ending in
// '/') holds the player. resetUserChoice first deletes the per-user key with all its subkeys
// (the installer's form). Sends no change notice. False, with nothing written, for an invalid
// extension; registry failures of single steps are skipped, as the later steps still help.
// The desktop's side follows (common/desktop_assoc.h): its failures leave the registry as written.
bool WriteAssociationLayout(const std::string& ext, const std::string& iconPath, const std::string& programFolder,
                            bool resetUserChoice);

// The desktop's side of ext alone, for the player in the running program's folder.
bool SetDesktopAssociationOfThisProgram(const std::string& ext);

// One association change notice to the desktop (SHCNE_ASSOCCHANGED).
void NotifyAssociationsChanged();

// The agent's operations: icon is a file name in the folder "res" beside the running program.
// Each ends with one association change notice.
void SetFileAssociation(const std::string& ext, const std::string& icon);
void RemoveFileAssociation(const std::string& ext);
