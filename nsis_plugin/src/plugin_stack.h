// The installer's string stack and variables as the exports see them during one call.
#pragma once

#include <string>

#include "platform/installer/nsis.h"

namespace wznsis {

// Stores the calling form's parameters of the current call; every export does this first.
void BeginCall(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop);
HWND ParentWindow();

// Pops the top string cut to `limit` characters. False (and `out` empty) when the stack is empty,
// so a missing argument reads as an empty string.
bool PopString(std::string& out, std::size_t limit);
// Pushes the text cut to string size - 1; nothing without a known stack.
void PushString(const std::string& text);
void PushInt(int value);
// Variable 0..24, or null.
char* GetUserVariable(int index);

}  // namespace wznsis
