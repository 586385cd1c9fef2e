// The association agent MorvaneUAC: one hidden window that takes association commands from the
// player by WM_COPYDATA and writes or removes the associations in the registry.
#pragma once

#include <cstddef>
#include <string>

#include "common/agent_window.h"
#include "platform/windows/winuser.h"

// The audio extensions (with their dot): a missing icon of one of these falls back to "AUDIO.ico".
inline constexpr size_t kAgentAudioCount = 23;
extern const wchar_t* const AgentAudioExtensions[kAgentAudioCount];

// One command: "S-<ext>-<icon>" sets the association of ext, "R-<ext>-<icon>" removes it.
struct AssociationCommand {
    char op = 0;  // 'S' or 'R'
    std::string ext;
    std::string icon;
};

// Reads exactly `size` bytes (a NUL among them is not needed): 'S' or 'R', one byte that is not
// looked at, an extension of letters and digits (IsValidAssocExtension) up to the first '-'
// from index 2, and after the last '-' an icon that is a plain file name; each field ends at a
// NUL. False for anything else.
bool ParseAssociationCommand(const void* data, size_t size, AssociationCommand* out);

// The icon to write for ext: the file of that name in `resFolder` (found without regard to case,
// returned as stored), else "AUDIO.ico" for an audio extension, else "VIDEO.ico".
std::string ChooseAgentIcon(const std::string& resFolder, const std::string& ext, const std::string& icon);

// Handles one WM_COPYDATA; malformed commands are ignored.
void OnAssociationCommand(const COPYDATASTRUCT* data);

LRESULT AgentWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Takes the agent's named lock; false when another agent holds it, or when the lock cannot be
// had at all, which *error (when given) then explains (it stays empty for another agent).
bool EnsureSingleAgentInstance(std::string* error = nullptr);

// The program: 0 when the message loop ends (and when another agent already runs); 1, after
// saying why on stderr, when it cannot be reached: a runtime folder it cannot trust, no lock,
// no window.
int AgentMain();
