#include "player/engine/media_player.h"

#include <X11/Xlib.h>
#include <vlc/vlc.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>


using namespace media_logic;

bool InitVideoThreads() {
    static bool ok = false;
    static std::once_flag once;
    std::call_once(once, [] { ok = XInitThreads() != 0; });
    return ok;
}

// What libVLC hands back with each event of one player: the player's serial tells a replaced
// player's late events from the current one's. Freed only after its player was released, when
// no event can come any more.
struct CMediaPlayer::EventContext {
    EventContext(CMediaPlayer* e, unsigned s, libvlc_media_player_t* p, libvlc_media_t* m)
        : engine(e), serial(s), player(p), media(m) {
        libvlc_media_retain(media);
    }
    ~EventContext() { libvlc_media_release(media); }
    EventContext(const EventContext&) = delete;
    EventContext& operator=(const EventContext&) = delete;

    // Whether the decoders gave out anything of the medium: pictures and sound that were shown,
    // played, or dropped for want of a screen or a sound device. What was shown or heard alone
    // would count a good file as damaged where no sound device takes it; the decoded counts alone
    // are not zero for a file whose index cannot be reached. Read once its input has ended, when
    // the counts are final (they lag behind while it runs).
    bool DecodedSomething() const {
        if (pictureMade) return true;
        libvlc_media_stats_t stats{};
        // Without counts nothing can be told: taken as played.
        if (!libvlc_media_get_stats(media, &stats)) return true;
        return stats.i_displayed_pictures > 0 || stats.i_lost_pictures > 0 || stats.i_played_abuffers > 0 ||
               stats.i_lost_abuffers > 0;
    }

    CMediaPlayer* const engine;
    const unsigned serial;
    libvlc_media_player_t* const player;
    libvlc_media_t* const media;
    std::atomic<bool> pictureMade{false};  // a video output was made, for a decoded picture
    std::atomic<bool> endPending{false};   // ended; reported once the input is done
};

namespace {

// The player's own instance options, in this order; nothing else is given in the product.
const char* const kInstanceOptions[] = {
    "--subsdec-encoding=GB18030",
    "--freetype-font=Microsoft JhengHei",
    "--sub-autodetect-fuzzy=0",
    "--no-snapshot-preview",
};

const libvlc_event_type_t kEvents[] = {
    libvlc_MediaPlayerPlaying,  libvlc_MediaPlayerPositionChanged, libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerPaused, libvlc_MediaPlayerStopped,
    libvlc_MediaPlayerForward,  libvlc_MediaPlayerBackward,        libvlc_MediaPlayerBuffering,
};

}  // namespace

// libVLC keeps its error text per thread, so it is read on the thread that made the call.
CMediaPlayer::NewInstance CMediaPlayer::MakeInstance(const std::vector<std::string>& options) {
    std::vector<const char*> argv;
    for (const auto& o : options) argv.push_back(o.c_str());
    NewInstance r;
    r.instance = libvlc_new(static_cast<int>(argv.size()), argv.data());
    if (!r.instance) {
        const char* why = libvlc_errmsg();
        r.error = "libVLC could not start";
        if (why && *why) r.error += std::string(": ") + why;
        else r.error += " (a plug-in or an option is missing)";
    }
    return r;
}

std::vector<std::string> CMediaPlayer::InstanceOptions() {
    std::vector<std::string> out(std::begin(kInstanceOptions), std::end(kInstanceOptions));
    if (const char* env = std::getenv("MORVANE_VLC_OPTIONS")) {
        std::istringstream in(env);
        std::string word;
        while (in >> word) out.push_back(word);
    }
    return out;
}

CMediaPlayer::CMediaPlayer() = default;

CMediaPlayer::~CMediaPlayer() { Close(); }

void CMediaPlayer::Adopt(NewInstance made) {
    m_instance = made.instance;
    m_instanceError = std::move(made.error);
    if (!m_instance) std::fprintf(stderr, "%s\n", m_instanceError.c_str());
}

void CMediaPlayer::StartInstance() {
    std::lock_guard<std::mutex> lock(m_startMutex);
    if (m_instance || m_starting.joinable()) return;
    m_starting = std::thread([this, options = InstanceOptions()] { m_started = MakeInstance(options); });
}

void CMediaPlayer::AwaitInstance() {
    std::lock_guard<std::mutex> lock(m_startMutex);
    if (!m_starting.joinable()) return;
    m_starting.join();
    Adopt(std::move(m_started));
    m_started = {};
}

bool CMediaPlayer::CreateInstance() {
    AwaitInstance();
    if (m_instance) return true;
    Adopt(MakeInstance(InstanceOptions()));
    return m_instance != nullptr;
}

const std::string& CMediaPlayer::GetInstanceError() {
    AwaitInstance();
    return m_instanceError;
}

bool CMediaPlayer::HasInstance() {
    AwaitInstance();
    return m_instance != nullptr;
}

void CMediaPlayer::ReleasePlayer() {
    libvlc_media_player_t* p = m_player.exchange(nullptr, std::memory_order_acq_rel);
    if (p) {
        libvlc_media_player_stop(p);
        libvlc_media_player_release(p);
    }
    m_events.reset();
    m_subtitles.clear();
}

void CMediaPlayer::AttachEvents(libvlc_media_player_t* player, libvlc_media_t* media, unsigned serial) {
    m_events = std::make_unique<EventContext>(this, serial, player, media);
    libvlc_event_manager_t* em = libvlc_media_player_event_manager(player);
    for (libvlc_event_type_t type : kEvents) libvlc_event_attach(em, type, &CMediaPlayer::OnVlcEvent, m_events.get());
    libvlc_event_attach(em, libvlc_MediaPlayerVout, &CMediaPlayer::OnVlcEvent, m_events.get());
}

bool CMediaPlayer::Open(const std::string& utf8) {
    CreateInstance();
    if (utf8.empty() || !m_instance) return false;
    const bool location = IsLocation(utf8);

    // The new serial is taken before the old player stops, so the old player's Stopped and any
    // later event of it count as stale.
    const unsigned serial = m_serial.fetch_add(1, std::memory_order_acq_rel) + 1;
    ReleasePlayer();

    libvlc_media_t* media = location ? libvlc_media_new_location(m_instance, utf8.c_str())
                                     : libvlc_media_new_path(m_instance, utf8.c_str());
    if (!media) return false;
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    if (!player) {
        libvlc_media_release(media);
        return false;
    }
    if (const unsigned long xid = GetRenderXWindow()) libvlc_media_player_set_xwindow(player, static_cast<uint32_t>(xid));
    if (m_disableInput) {
        libvlc_video_set_mouse_input(player, 0);
        libvlc_video_set_key_input(player, 0);
    }
    // Attached before play so that no early Playing, EndReached or error is lost.
    AttachEvents(player, media, serial);
    m_player.store(player, std::memory_order_release);
    libvlc_media_player_play(player);
    libvlc_media_release(media);
    return true;
}

void CMediaPlayer::Stop() { ReleasePlayer(); }

void CMediaPlayer::Close() {
    ReleasePlayer();
    AwaitInstance();
    if (m_instance) {
        libvlc_release(m_instance);
        m_instance = nullptr;
    }
}

void CMediaPlayer::Play() {
    if (auto* p = GetPlayer()) libvlc_media_player_play(p);
}

void CMediaPlayer::Pause() {
    if (auto* p = GetPlayer()) libvlc_media_player_set_pause(p, 1);
}

bool CMediaPlayer::IsPlaying() const {
    auto* p = GetPlayer();
    return p && libvlc_media_player_is_playing(p) == 1;
}

std::int64_t CMediaPlayer::GetLength() const {
    auto* p = GetPlayer();
    const std::int64_t v = p ? libvlc_media_player_get_length(p) : 0;
    return v < 0 ? 0 : v;
}

std::int64_t CMediaPlayer::GetTime() const {
    auto* p = GetPlayer();
    const std::int64_t v = p ? libvlc_media_player_get_time(p) : 0;
    return v < 0 ? 0 : v;
}

void CMediaPlayer::SetTime(std::int64_t ms) {
    if (auto* p = GetPlayer()) libvlc_media_player_set_time(p, ms < 0 ? 0 : ms);
}

int CMediaPlayer::GetPosition() const {
    auto* p = GetPlayer();
    return p ? PositionToPermille(libvlc_media_player_get_position(p)) : 0;
}

void CMediaPlayer::SetPosition(int permille) {
    auto* p = GetPlayer();
    if (!p || !IsSettablePosition(permille)) return;
    libvlc_media_player_set_position(p, static_cast<float>(permille / 1000.0));
}

void CMediaPlayer::SeekForward() {
    auto* p = GetPlayer();
    if (!p) return;
    libvlc_media_player_set_time(p, SeekForwardTarget(libvlc_media_player_get_time(p), libvlc_media_player_get_length(p)));
}

void CMediaPlayer::SeekBackward() {
    auto* p = GetPlayer();
    if (!p) return;
    libvlc_media_player_set_time(p, SeekBackwardTarget(libvlc_media_player_get_time(p)));
}

int CMediaPlayer::GetVolume() const {
    auto* p = GetPlayer();
    return p ? libvlc_audio_get_volume(p) : 0;
}

bool CMediaPlayer::SetVolume(int volume) {
    auto* p = GetPlayer();
    return p && libvlc_audio_set_volume(p, NonNegative(volume)) == 0;
}

bool CMediaPlayer::SetVolumeOf(unsigned serial, int volume) {
    // Runs on libVLC's input thread: the player cannot be released meanwhile, because stopping
    // it waits for that thread; a newer serial means the player was replaced.
    if (serial != GetSerial()) return false;
    auto* p = GetPlayer();
    return p && libvlc_audio_set_volume(p, NonNegative(volume)) == 0;
}

void CMediaPlayer::VolumeUp() {
    if (auto* p = GetPlayer()) libvlc_audio_set_volume(p, media_logic::VolumeUp(libvlc_audio_get_volume(p)));
}

void CMediaPlayer::VolumeDown() {
    if (auto* p = GetPlayer()) libvlc_audio_set_volume(p, media_logic::VolumeDown(libvlc_audio_get_volume(p)));
}

bool CMediaPlayer::IsMuted() const {
    auto* p = GetPlayer();
    return p && libvlc_audio_get_mute(p) == 1;
}

void CMediaPlayer::ToggleMute() {
    if (auto* p = GetPlayer()) libvlc_audio_toggle_mute(p);
}

float CMediaPlayer::GetRate() const {
    auto* p = GetPlayer();
    return p ? libvlc_media_player_get_rate(p) : 1.0f;
}

void CMediaPlayer::SetRate(float rate) {
    if (auto* p = GetPlayer()) libvlc_media_player_set_rate(p, rate);
}

int CMediaPlayer::GetVideoWidth() const {
    unsigned w = 0, h = 0;
    auto* p = GetPlayer();
    if (!p || libvlc_video_get_size(p, 0, &w, &h) != 0) return 0;
    return static_cast<int>(w);
}

int CMediaPlayer::GetVideoHeight() const {
    unsigned w = 0, h = 0;
    auto* p = GetPlayer();
    if (!p || libvlc_video_get_size(p, 0, &w, &h) != 0) return 0;
    return static_cast<int>(h);
}

float CMediaPlayer::GetScale() const {
    auto* p = GetPlayer();
    return p ? libvlc_video_get_scale(p) : 0.0f;
}

void CMediaPlayer::SetScale(float scale) {
    if (auto* p = GetPlayer()) libvlc_video_set_scale(p, scale);
}

void CMediaPlayer::SetAspectRatio(int width, int height) {
    auto* p = GetPlayer();
    if (!p) return;
    char ratio[100];
    std::snprintf(ratio, sizeof ratio, "%d:%d", width, height);
    libvlc_video_set_aspect_ratio(p, ratio);
}

void CMediaPlayer::ShowTitle() {
    if (auto* p = GetPlayer()) libvlc_media_player_set_video_title_display(p, libvlc_position_center, 9000);
}

int CMediaPlayer::LoadSubtitleFile(const std::string& utf8Path) {
    auto* p = GetPlayer();
    if (!p || utf8Path.empty()) return -1;
    const std::string uri = PathToUri(utf8Path);
    if (libvlc_media_player_add_slave(p, libvlc_media_slave_type_subtitle, uri.c_str(), true) != 0) return -1;
    const int count = libvlc_video_get_spu_count(p);
    return count <= 0 ? 1 : count;
}

void CMediaPlayer::HideSubtitles(bool hide) {
    auto* p = GetPlayer();
    if (p && hide) libvlc_video_set_spu(p, -1);
}

bool CMediaPlayer::SetSubtitle(int index) {
    auto* p = GetPlayer();
    return p && IsValidIndex(index, m_subtitles.size()) && libvlc_video_set_spu(p, m_subtitles[index].id) == 0;
}

int CMediaPlayer::GetCurrentSubtitle() const {
    auto* p = GetPlayer();
    if (!p) return -1;
    const int id = libvlc_video_get_spu(p);
    for (size_t i = 0; i < m_subtitles.size(); ++i)
        if (m_subtitles[i].id == id) return static_cast<int>(i);
    return -1;
}

void CMediaPlayer::RefreshSubtitleList(std::vector<TrackInfo>& out) {
    auto* p = GetPlayer();
    if (!p) {
        out.clear();
        return;
    }
    libvlc_track_description_t* list = libvlc_video_get_spu_description(p);
    m_subtitles = TracksFromDescription(list);
    if (list) libvlc_track_description_list_release(list);
    out = m_subtitles;
}

void CMediaPlayer::RefreshAudioTrackList(std::vector<TrackInfo>& out) {
    auto* p = GetPlayer();
    if (!p) {
        out.clear();
        return;
    }
    libvlc_track_description_t* list = libvlc_audio_get_track_description(p);
    m_audioTracks = TracksFromDescription(list);
    if (list) libvlc_track_description_list_release(list);
    out = m_audioTracks;
}

bool CMediaPlayer::SetAudioTrack(int index) {
    auto* p = GetPlayer();
    return p && IsValidIndex(index, m_audioTracks.size()) && libvlc_audio_set_track(p, m_audioTracks[index].id) == 0;
}

bool CMediaPlayer::TakeSnapshot(const std::string& utf8Path) {
    auto* p = GetPlayer();
    return p && !utf8Path.empty() && libvlc_video_take_snapshot(p, 0, utf8Path.c_str(), 0, 0) == 0;
}

int CMediaPlayer::GetState() const {
    auto* p = GetPlayer();
    return p ? MapState(libvlc_media_player_get_state(p)) : 0;
}

void CMediaPlayer::OnVlcEvent(const libvlc_event_t* event, void* userData) {
    if (!event || !userData) return;
    auto* ctx = static_cast<EventContext*>(userData);
    switch (event->type) {
    case libvlc_MediaPlayerVout:
        if (event->u.media_player_vout.new_count > 0) ctx->pictureMade = true;
        return;
    case libvlc_MediaPlayerEndReached:
        // libVLC ends media it could decode nothing of (noise, a cut-off file, an index it cannot
        // reach) as if they had played. The end is told from a failure at the Stopped that follows
        // once the input is done.
        ctx->endPending = true;
        return;
    case libvlc_MediaPlayerStopped:
        // A player released meanwhile was stopped on purpose: its end is no news.
        if (ctx->endPending.exchange(false) && ctx->engine->GetPlayer() == ctx->player)
            ctx->engine->DispatchEvent(ctx->DecodedSomething() ? kEndReached : kEncounteredError, ctx->serial);
        break;
    default:
        break;
    }
    ctx->engine->DispatchEvent(event->type, ctx->serial);
}

void CMediaPlayer::DispatchEvent(int type, unsigned serial) {
    if (serial != GetSerial()) return;
    MediaEventHandler h = nullptr;
    switch (type) {
    case kBuffering: h = m_onBuffering; break;
    case kPlaying: h = m_onPlaying; break;
    case kPaused: h = m_onPaused; break;
    case kStopped: h = m_onStopped; break;
    case kForward: h = m_onForward; break;
    case kBackward: h = m_onBackward; break;
    case kEndReached: h = m_onEndReached; break;
    case kEncounteredError: h = m_onError; break;
    case kPositionChanged: h = m_onPositionChanged; break;
    default: return;
    }
    if (h) h(this, serial);
}
