// The playback engine: owner of the libVLC instance and of the one libVLC media player that
// exists at a time. It renders into a native X11 child window and turns libVLC's player events,
// which arrive on libVLC's threads, into calls of nine handler slots.
//
// Every media player gets a serial number; the slots receive the serial of the player whose
// event they report, so a late event of a replaced player can be told from the current one's.
//
// A medium that ends without ever having shown a picture or played a sound is reported as an
// error, not as an end: libVLC 3 plays and ends noise, a cut-off file or an index it cannot reach
// as if they were media. An end is reported once libVLC is done with the medium, just before
// its Stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/wintypes.h"
#include "player/engine/media_logic.h"

struct libvlc_instance_t;
struct libvlc_media_player_t;
struct libvlc_event_t;
struct libvlc_media_t;

// Makes Xlib safe for libVLC's video threads. Must run before anything opens a display (the
// player's main calls it first); later calls do nothing. False when Xlib refused.
bool InitVideoThreads();

class CMediaPlayer;

// A handler slot: the engine and the serial of the player that raised the event.
using MediaEventHandler = void (*)(CMediaPlayer* engine, unsigned serial);

class CMediaPlayer {
public:
    // Libvlc event numbers the slots stand for.
    enum Event : int {
        kBuffering = 259,
        kPlaying = 260,
        kPaused = 261,
        kStopped = 262,
        kForward = 263,
        kBackward = 264,
        kEndReached = 265,
        kEncounteredError = 266,
        kTimeChanged = 267,
        kPositionChanged = 268,
    };

    CMediaPlayer();
    ~CMediaPlayer();
    CMediaPlayer(const CMediaPlayer&) = delete;
    CMediaPlayer& operator=(const CMediaPlayer&) = delete;

    // The libVLC instance options: the player's four, then those of MORVANE_VLC_OPTIONS (space
    // separated; tests use it to send audio to a null device).
    static std::vector<std::string> InstanceOptions();
    // Creates the libVLC instance when there is none; false (with the reason in
    // GetInstanceError and on stderr) when libVLC could not start.
    bool CreateInstance();
    // Begins creating the instance on a thread of its own (it takes libVLC a while), so that the
    // caller can build its windows meanwhile; nothing when there is an instance or one is on its
    // way. Whatever needs the instance (CreateInstance, Open, Close, the two queries below, the
    // destructor) first waits for that start to end, and sees its instance or its failure; a
    // failed start is tried again by the next Open.
    void StartInstance();
    const std::string& GetInstanceError();
    bool HasInstance();

    // Opens a UTF-8 location or path, replacing the current player; false when nothing could be
    // opened (an empty text leaves the current medium playing).
    bool Open(const std::string& utf8);
    void Stop();
    void Close();

    void Play();
    // Pauses; pausing a paused player keeps it paused.
    void Pause();
    bool IsPlaying() const;
    bool HasPlayer() const { return GetPlayer() != nullptr; }
    // The libVLC media player handle, null while nothing is open. Whoever releases it must do so
    // through Stop.
    libvlc_media_player_t* GetPlayer() const { return m_player.load(std::memory_order_acquire); }
    // Serial of the current (or last) player; 0 before the first open.
    unsigned GetSerial() const { return m_serial.load(std::memory_order_acquire); }

    // The window libVLC draws into from the next open on; kept only when IsWindow accepts it.
    void SetRenderWindow(HWND hwnd);
    HWND GetRenderWindow() const { return m_renderWnd.load(std::memory_order_acquire); }
    // The same for a bare X window (SetRenderWindow resolves its window to one); 0 lets libVLC
    // open a window of its own.
    void SetRenderXWindow(unsigned long xid) { m_renderXid.store(xid, std::memory_order_release); }
    unsigned long GetRenderXWindow() const { return m_renderXid.load(std::memory_order_acquire); }

    // Milliseconds; 0 when unknown.
    std::int64_t GetLength() const;
    std::int64_t GetTime() const;
    void SetTime(std::int64_t ms);
    // Permille of the length.
    int GetPosition() const;
    void SetPosition(int permille);
    void SeekForward();
    void SeekBackward();

    int GetVolume() const;
    // False when the audio output does not exist yet (or is being rebuilt).
    bool SetVolume(int volume);
    // Sets the volume only when `serial` names the current player; true when libVLC took it.
    bool SetVolumeOf(unsigned serial, int volume);
    void VolumeUp();
    void VolumeDown();
    bool IsMuted() const;
    void ToggleMute();

    // 1.0 without a player.
    float GetRate() const;
    void SetRate(float rate);
    int GetVideoWidth() const;
    int GetVideoHeight() const;
    // 0 (fit to the window) without a player.
    float GetScale() const;
    void SetScale(float scale);
    void SetAspectRatio(int width, int height);
    void ShowTitle();

    // Adds a subtitle file to the playing medium; -1 on failure, else libVLC's subtitle count
    // (at least 1).
    int LoadSubtitleFile(const std::string& utf8Path);
    void HideSubtitles(bool hide);
    int GetSubtitleCount() const { return static_cast<int>(m_subtitles.size()); }
    bool HasSubtitles() const { return !m_subtitles.empty(); }
    // True when libVLC took the track (also for the SetAudioTrack).
    bool SetSubtitle(int index);
    // Position in the subtitle list of the track libVLC shows; -1 while it shows none (a file's
    // own tracks stay off until one is asked for) or one the list does not hold.
    int GetCurrentSubtitle() const;
    void RefreshSubtitleList(std::vector<TrackInfo>& out);
    void RefreshAudioTrackList(std::vector<TrackInfo>& out);
    bool SetAudioTrack(int index);

    // Writes a PNG of the first video output at the video's own size; false on failure.
    bool TakeSnapshot(const std::string& utf8Path);

    // 101..107 (media_logic::MapState), 0 without a player.
    int GetState() const;

    void SetPlayingHandler(MediaEventHandler h) { m_onPlaying = h; }
    void SetPositionChangedHandler(MediaEventHandler h) { m_onPositionChanged = h; }
    void SetEndReachedHandler(MediaEventHandler h) { m_onEndReached = h; }
    void SetEncounteredErrorHandler(MediaEventHandler h) { m_onError = h; }
    void SetPausedHandler(MediaEventHandler h) { m_onPaused = h; }
    void SetStoppedHandler(MediaEventHandler h) { m_onStopped = h; }
    void SetForwardHandler(MediaEventHandler h) { m_onForward = h; }
    void SetBackwardHandler(MediaEventHandler h) { m_onBackward = h; }
    void SetBufferingHandler(MediaEventHandler h) { m_onBuffering = h; }

    // The libVLC callback; user data is the event context of one player.
    static void OnVlcEvent(const libvlc_event_t* event, void* userData);
    // Calls the slot of `type` for the player `serial`; events of a replaced player and types
    // without a slot are dropped.
    void DispatchEvent(int type, unsigned serial);

private:
    struct EventContext;
    // What a start of libVLC gave: an instance, or the reason there is none.
    struct NewInstance {
        libvlc_instance_t* instance = nullptr;
        std::string error;
    };

    static NewInstance MakeInstance(const std::vector<std::string>& options);
    // Takes over the result of a start.
    void Adopt(NewInstance made);
    void AwaitInstance();
    void ReleasePlayer();
    void AttachEvents(libvlc_media_player_t* player, libvlc_media_t* media, unsigned serial);

    libvlc_instance_t* m_instance = nullptr;
    std::string m_instanceError;
    // A start begun by StartInstance: its thread and, once that has ended, its result.
    std::mutex m_startMutex;
    std::thread m_starting;
    NewInstance m_started;
    std::atomic<libvlc_media_player_t*> m_player{nullptr};
    std::atomic<unsigned> m_serial{0};
    std::unique_ptr<EventContext> m_events;
    std::atomic<HWND> m_renderWnd{nullptr};
    std::atomic<unsigned long> m_renderXid{0};

    // Filled before the first open and read on libVLC's threads.
    std::atomic<MediaEventHandler> m_onPlaying{nullptr};
    std::atomic<MediaEventHandler> m_onPositionChanged{nullptr};
    std::atomic<MediaEventHandler> m_onEndReached{nullptr};
    std::atomic<MediaEventHandler> m_onError{nullptr};
    std::atomic<MediaEventHandler> m_onPaused{nullptr};
    std::atomic<MediaEventHandler> m_onStopped{nullptr};
    std::atomic<MediaEventHandler> m_onForward{nullptr};
    std::atomic<MediaEventHandler> m_onBackward{nullptr};
    std::atomic<MediaEventHandler> m_onBuffering{nullptr};

    const int m_disableInput = 1;
    std::vector<TrackInfo> m_subtitles;
    std::vector<TrackInfo> m_audioTracks;
};
