// Hot keys as text, for the menus.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

std::wstring KeyNameText(UINT virtualKey, bool extended);
// "Ctrl + Shift + Alt + key", arrows as arrows; empty when both are 0.
std::wstring HotKeyToText(WORD virtualKey, WORD modifiers);
