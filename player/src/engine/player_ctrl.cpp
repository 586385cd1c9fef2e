#include "player/engine/player_ctrl.h"

#include "common/convert.h"
#include "platform/windows/winuser.h"

std::atomic<CPlayerCtrl*> g_pPlayerCtrl{nullptr};

CPlayerCtrl::CPlayerCtrl() { g_pPlayerCtrl = this; }

CPlayerCtrl::~CPlayerCtrl() {
    // The engine's players are released first, so no handler can run with a dangling control.
    mediaPlayer.Close();
    CPlayerCtrl* self = this;
    g_pPlayerCtrl.compare_exchange_strong(self, nullptr);
}

void CPlayerCtrl::Attach(HWND notifyWnd, HWND renderWnd) {
    hNotifyWnd = notifyWnd;
    if (IsWindow(renderWnd)) mediaPlayer.SetRenderWindow(renderWnd);
    mediaPlayer.SetPlayingHandler(&OnVlcPlaying);
    mediaPlayer.SetPositionChangedHandler(&OnVlcPositionChanged);
    mediaPlayer.SetEndReachedHandler(&OnVlcEndReached);
    mediaPlayer.SetEncounteredErrorHandler(&OnVlcError);
    mediaPlayer.SetPausedHandler(&OnVlcPaused);
    mediaPlayer.SetStoppedHandler(&OnVlcStopped);
    mediaPlayer.SetBufferingHandler(&OnVlcBuffering);
}

void CPlayerCtrl::OpenMedia(const std::wstring& pathOrUrl) {
    if (TakeEarly(pathOrUrl)) return;
    bPendingVolume = true;
    mediaPlayer.Open(WideToUtf8(pathOrUrl));
}

void CPlayerCtrl::OpenEarly(const std::wstring& pathOrUrl) {
    {
        std::lock_guard<std::mutex> lock(m_earlyMutex);
        m_holding = true;
        m_held.clear();
        m_earlyPath = pathOrUrl;
    }
    bPendingVolume = true;
    mediaPlayer.Open(WideToUtf8(pathOrUrl));
    std::lock_guard<std::mutex> lock(m_earlyMutex);
    m_earlySerial = mediaPlayer.GetSerial();
}

bool CPlayerCtrl::Hold(const Report& report) {
    std::lock_guard<std::mutex> lock(m_earlyMutex);
    if (!m_holding) return false;
    // Position and buffering reports come often: one of a row is enough.
    const bool repeated = !m_held.empty() && m_held.back().message == report.message &&
                          m_held.back().serial == report.serial &&
                          (report.message == WM_PLAYER_POSITION || report.message == WM_PLAYER_BUFFERING);
    if (!repeated) m_held.push_back(report);
    return true;
}

bool CPlayerCtrl::TakeEarly(const std::wstring& pathOrUrl) {
    std::lock_guard<std::mutex> lock(m_earlyMutex);
    if (!m_holding) return false;
    m_holding = false;
    std::vector<Report> held = std::move(m_held);
    m_held.clear();
    if (pathOrUrl != m_earlyPath || mediaPlayer.GetSerial() != m_earlySerial || !mediaPlayer.HasPlayer()) return false;
    // Sent under the lock, so a report that comes meanwhile follows them.
    for (const Report& r : held)
        PostMessageW(hNotifyWnd, r.message, reinterpret_cast<WPARAM>(r.engine), static_cast<LPARAM>(r.serial));
    return true;
}

void CPlayerCtrl::SetPlay(bool play) {
    bPlayWanted = play;
    if (play) mediaPlayer.Play();
    else mediaPlayer.Pause();
}

void CPlayerCtrl::Mute() {
    if (!mediaPlayer.HasPlayer()) return;
    bMuted = true;
    ApplyVolume();
}

void CPlayerCtrl::Unmute() {
    if (!mediaPlayer.HasPlayer()) return;
    bMuted = false;
    ApplyVolume();
}

void CPlayerCtrl::ApplyVolume() {
    // Without an audio output yet, the next position report applies the level.
    if (!mediaPlayer.SetVolume(bMuted ? 0 : nVolume.load())) bPendingVolume = true;
}

int CPlayerCtrl::GetVolume() const {
    const int v = nVolume;
    return v < 0 ? 0 : (v > 1000 ? 1000 : v);
}

bool CPlayerCtrl::IsCurrentMessage(WPARAM wParam, LPARAM lParam) const {
    return wParam == reinterpret_cast<WPARAM>(&mediaPlayer) &&
           static_cast<unsigned>(lParam) == mediaPlayer.GetSerial();
}

void PostPlayerMessage(UINT message, CMediaPlayer* engine, unsigned serial) {
    CPlayerCtrl* ctrl = g_pPlayerCtrl;
    if (!ctrl || ctrl->Hold({message, engine, serial})) return;
    PostMessageW(ctrl->hNotifyWnd, message, reinterpret_cast<WPARAM>(engine), static_cast<LPARAM>(serial));
}

void OnVlcPlaying(CMediaPlayer* engine, unsigned serial) { PostPlayerMessage(WM_PLAYER_PLAYING, engine, serial); }

void OnVlcPositionChanged(CMediaPlayer* engine, unsigned serial) {
    CPlayerCtrl* ctrl = g_pPlayerCtrl;
    if (!ctrl) return;
    // The flag stays set until the audio output really took the volume: early reports may come
    // before the output exists.
    if (ctrl->bPendingVolume && engine->SetVolumeOf(serial, ctrl->bMuted ? 0 : ctrl->nVolume.load()))
        ctrl->bPendingVolume = false;
    PostPlayerMessage(WM_PLAYER_POSITION, engine, serial);
}

void OnVlcEndReached(CMediaPlayer* engine, unsigned serial) { PostPlayerMessage(WM_PLAYER_ENDED, engine, serial); }
void OnVlcError(CMediaPlayer* engine, unsigned serial) { PostPlayerMessage(WM_PLAYER_ERROR, engine, serial); }
void OnVlcPaused(CMediaPlayer* engine, unsigned serial) { PostPlayerMessage(WM_PLAYER_PAUSED, engine, serial); }
void OnVlcStopped(CMediaPlayer* engine, unsigned serial) { PostPlayerMessage(WM_PLAYER_STOPPED, engine, serial); }
void OnVlcBuffering(CMediaPlayer* engine, unsigned serial) { PostPlayerMessage(WM_PLAYER_BUFFERING, engine, serial); }
