// The main window's player control: the playback engine with the playback state the user
// interface keeps (play wanted, full screen, muted, volume) and the window told about engine
// events. Its handlers run on libVLC's threads and only post the messages below.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "player/engine/media_player.h"

// Engine-event messages, posted to the notify window with wParam = the engine's address and
// lParam = the serial of the player that raised the event. A receiver drops a message whose
// serial is not the current one (CPlayerCtrl::IsCurrentMessage): it belongs to a replaced player.
constexpr UINT WM_PLAYER_PLAYING = WM_USER + 101;
constexpr UINT WM_PLAYER_POSITION = WM_USER + 102;
constexpr UINT WM_PLAYER_ENDED = WM_USER + 103;
constexpr UINT WM_PLAYER_ERROR = WM_USER + 104;
constexpr UINT WM_PLAYER_STOPPED = WM_USER + 111;
constexpr UINT WM_PLAYER_PAUSED = WM_USER + 112;
constexpr UINT WM_PLAYER_BUFFERING = WM_USER + 115;

class CPlayerCtrl {
public:
    CPlayerCtrl();
    ~CPlayerCtrl();
    CPlayerCtrl(const CPlayerCtrl&) = delete;
    CPlayerCtrl& operator=(const CPlayerCtrl&) = delete;

    // Stores the notify window, hands the render window to the engine when it is a window, and
    // fills the engine's slots with the handlers below. Called once, before the first open.
    void Attach(HWND notifyWnd, HWND renderWnd);
    // Opens a path or address; the volume is applied at the medium's first position report.
    // The medium that OpenEarly began is taken over instead when it is this one and still plays.
    void OpenMedia(const std::wstring& pathOrUrl);
    // Begins to play a medium while the windows that take its reports are still being built: the
    // engine's reports are held back until the next OpenMedia, which sends them on when it takes
    // this medium over and drops them when it opens another.
    void OpenEarly(const std::wstring& pathOrUrl);

    void SetPlay(bool play);
    void Mute();
    void Unmute();
    void SetStoredVolume(int volume) { nVolume = volume; }
    void ApplyVolume();
    // The stored volume within 0..1000.
    int GetVolume() const;
    bool IsMuted() const { return mediaPlayer.IsMuted(); }
    bool IsPlaying() const { return mediaPlayer.IsPlaying(); }
    bool HasPlayer() const { return mediaPlayer.HasPlayer(); }
    void Stop() { mediaPlayer.Stop(); }
    int GetState() const { return mediaPlayer.GetState(); }
    void SeekForward() { mediaPlayer.SeekForward(); }
    void SeekBackward() { mediaPlayer.SeekBackward(); }

    int GetPosition() const { return mediaPlayer.GetPosition(); }
    void SetPosition(int permille) { mediaPlayer.SetPosition(permille); }
    std::int64_t GetTime() const { return mediaPlayer.GetTime(); }
    void SetTime(std::int64_t ms) { mediaPlayer.SetTime(ms); }
    std::int64_t GetLength() const { return mediaPlayer.GetLength(); }
    float GetRate() const { return mediaPlayer.GetRate(); }
    void SetRate(float rate) { mediaPlayer.SetRate(rate); }
    float GetScale() const { return mediaPlayer.GetScale(); }
    void SetScale(float scale) { mediaPlayer.SetScale(scale); }
    void SetAspectRatio(int width, int height) { mediaPlayer.SetAspectRatio(width, height); }
    void ShowTitle() { mediaPlayer.ShowTitle(); }
    int GetVideoWidth() const { return mediaPlayer.GetVideoWidth(); }
    int GetVideoHeight() const { return mediaPlayer.GetVideoHeight(); }
    int LoadSubtitleFile(const std::string& utf8Path) { return mediaPlayer.LoadSubtitleFile(utf8Path); }
    void HideSubtitles(bool hide) { mediaPlayer.HideSubtitles(hide); }
    int GetSubtitleCount() const { return mediaPlayer.GetSubtitleCount(); }
    bool HasSubtitles() const { return mediaPlayer.HasSubtitles(); }
    bool SetSubtitle(int index) { return mediaPlayer.SetSubtitle(index); }
    int GetCurrentSubtitle() const { return mediaPlayer.GetCurrentSubtitle(); }
    void RefreshSubtitleList(std::vector<TrackInfo>& out) { mediaPlayer.RefreshSubtitleList(out); }
    void RefreshAudioTrackList(std::vector<TrackInfo>& out) { mediaPlayer.RefreshAudioTrackList(out); }
    bool SetAudioTrack(int index) { return mediaPlayer.SetAudioTrack(index); }
    bool TakeSnapshot(const std::string& utf8Path) { return mediaPlayer.TakeSnapshot(utf8Path); }

    // True when an engine-event message came from the current player (see the messages above).
    bool IsCurrentMessage(WPARAM wParam, LPARAM lParam) const;

    std::atomic<bool> bPlayWanted{false};
    std::atomic<bool> bFullScreen{false};
    std::atomic<bool> bMuted{false};
    std::atomic<HWND> hNotifyWnd{nullptr};
    // Set by every open, cleared once the user's volume reached the new medium's audio output.
    std::atomic<bool> bPendingVolume{false};
    CMediaPlayer mediaPlayer;
    std::atomic<int> nVolume{60};

private:
    friend void PostPlayerMessage(UINT message, CMediaPlayer* engine, unsigned serial);
    struct Report {
        UINT message;
        CMediaPlayer* engine;
        unsigned serial;
    };
    // True when the report was held back.
    bool Hold(const Report& report);
    // Ends the holding; true (the held reports sent on) when the early medium is `pathOrUrl` and
    // its player is still the engine's.
    bool TakeEarly(const std::wstring& pathOrUrl);

    // The early medium and its reports; the engine's threads add to them.
    std::mutex m_earlyMutex;
    bool m_holding = false;
    std::wstring m_earlyPath;
    unsigned m_earlySerial = 0;
    std::vector<Report> m_held;
};

// The one player control; null before it is constructed and after it is destroyed.
extern std::atomic<CPlayerCtrl*> g_pPlayerCtrl;

// Engine handlers (the engine's slot form).
void OnVlcPlaying(CMediaPlayer* engine, unsigned serial);
void OnVlcPositionChanged(CMediaPlayer* engine, unsigned serial);
void OnVlcEndReached(CMediaPlayer* engine, unsigned serial);
void OnVlcError(CMediaPlayer* engine, unsigned serial);
void OnVlcPaused(CMediaPlayer* engine, unsigned serial);
void OnVlcStopped(CMediaPlayer* engine, unsigned serial);
void OnVlcBuffering(CMediaPlayer* engine, unsigned serial);
// Posts any message of the family to the notify window in the same form.
void PostPlayerMessage(UINT message, CMediaPlayer* engine, unsigned serial);
