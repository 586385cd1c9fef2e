// The engine's tie to the window layer, apart so that the engine itself runs without it.
#include "platform/windows/winuser.h"
#include "player/engine/media_player.h"

void CMediaPlayer::SetRenderWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return;
    m_renderWnd.store(hwnd, std::memory_order_release);
    SetRenderXWindow(platform::GetX11WindowId(hwnd));
}
