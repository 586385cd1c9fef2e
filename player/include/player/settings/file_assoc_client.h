// The player's side of file associations: it runs without rights over the class registry, so
// it hands the choices to the agent MorvaneUAC (started on demand) one command per extension,
// repairs the per-user choice at start-up, and closes the agent at exit.
#pragma once

#include <functional>
#include <string>

#include "platform/base/wintypes.h"

class CProcessFinder;

// The agent's program file beside the player, by its original name.
inline constexpr const wchar_t* kAgentProgramName = L"MorvaneUAC.exe";
// How long one command may take the agent before the player gives up on it.
inline constexpr DWORD kAgentCommandTimeoutMs = 5000;

// The agent window found by the latest apply (null when none was found).
extern HWND g_hAgentWnd;

// The apply of the settings window: stores every check box (by its name: the entries of
// AssocExtensions and AssocCategoryNames) in [FileAssoc] of user.cfg, makes sure the agent runs
// (started only while the settings window is shown, and only then waited for, up to 2 s) and
// sends it one command per extension in list order. False when no agent window was found
// (nothing was sent) or the agent stopped taking commands (the rest were not sent); the choices
// are saved either way, and the settings window should say so.
bool ApplyFileAssociations(bool settingsVisible, const std::function<bool(const std::wstring& boxName)>& isChecked);

// "S-<ext>-<icon>" and "R-<ext>-<icon>" to the agent window; false when it was not delivered
// within kAgentCommandTimeoutMs (or there is no agent window).
bool SendAssocSetCommand(const std::string& icon, const std::string& ext);
bool SendAssocRemoveCommand(const std::string& icon, const std::string& ext);

// At start-up (when bAlwaysFileAssoc is set): points the per-user choice of every video
// extension kept associated in user.cfg back to the player's ProgID, for ProgIDs the agent or
// the installer registered. One change notice when anything was written.
void RepairFileAssociations();
// True only when it wrote the per-user choice successfully.
bool RepairExtProgid(const std::string& ext);

// At exit: asks the running agent whose window this player reaches to close, ends it when it
// has not gone within 1 s. False when it is still running afterwards (or could not be opened).
// Loads the finder when the caller has not.
bool CloseElevatedHelper(CProcessFinder& finder);
BOOL PostCloseToProcessWindows(HWND hwnd, LPARAM processId);
