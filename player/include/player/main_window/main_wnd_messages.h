// The main window's private messages, apart so that a satellite that only sends or receives
// them needs nothing else of the main window.
#pragma once

#include "platform/base/wintypes.h"

// Private messages of the main window (senders and receivers in main_wnd*.cpp and the satellites).
constexpr UINT WM_PLAYER_OPEN_FILE = 0x401;
constexpr UINT WM_PLAYER_VIDEO_LBUTTONDOWN = 0x402;
constexpr UINT WM_PLAYER_VIDEO_MOUSEMOVE = 0x403;
constexpr UINT WM_PLAYER_VIDEO_LBUTTONDBLCLK = 0x404;
constexpr UINT WM_PLAYER_VIDEO_LBUTTONUP = 0x405;
constexpr UINT WM_PLAYER_VIDEO_RBUTTONDOWN = 0x406;
constexpr UINT WM_PLAYER_OPEN_FILE2 = 0x409;
constexpr UINT WM_PLAYER_SHOW_AND_RAISE = 0x4C9;
constexpr UINT WM_PLAYER_OPEN_FORUM = 0x4CB;
constexpr UINT WM_PLAYER_REPAINT = 0x1400;
constexpr UINT WM_PLAYER_SHOW_ABOUT = 0x2403;
constexpr UINT WM_PLAYER_SHOW_OPEN_URL = 0x2404;
// Posted to the main window to run work of another thread on the UI thread: wParam is a
// heap-allocated std::function<void()> that the handler runs and deletes.
constexpr UINT WM_PLAYER_RUN_ON_UI = WM_APP + 0x101;
