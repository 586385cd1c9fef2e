// How the player finds the association agent's window: by this title (the class is the agent's own).
#pragma once

inline constexpr const wchar_t* kAgentWindowTitle = L"MorvaneUAC-074265CC-6A94-43b6-8089-5C2C0625EFF8";
inline constexpr const wchar_t* kAgentWindowClass = L"074265CC-6A94-43b6-8089-5C2C0625EFF8";
