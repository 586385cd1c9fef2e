// The single instance: the names a start takes, and the hand-over of a second start to the
// window of the running one (instance.cpp).
#pragma once

#include <string>

#include "platform/base/wintypes.h"

// The window property that marks the running instance, and the single-instance names.
inline constexpr const wchar_t* kMainWndProp = L"Morvane";
inline constexpr const wchar_t* kInstanceSemaphore = L"Morvane";
inline constexpr const wchar_t* kInstanceMutex = L"MorvaneApp";

// The first top-level window, in z order, that carries the property "Morvane"; null when none.
HWND FindRunningInstanceWindow();
void BringWindowToFront(HWND hwnd, int showCmd);
// Restores and raises the running window and, with a file argument, hands it the whole command
// line by WM_COPYDATA (synchronous; tried again while it surely did not arrive). What the second
// start does before it returns; false, after saying why on stderr, when the hand-over failed.
bool HandOverToRunningInstance(HWND hwnd, const wchar_t* fileArg, const wchar_t* commandLine);
// The file of a WM_COPYDATA hand-over: read within cbData, dwData 0 only; empty otherwise.
std::wstring CommandLineFromCopyData(const COPYDATASTRUCT* data);
