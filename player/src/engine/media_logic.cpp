#include "player/engine/media_logic.h"

#include <vlc/vlc.h>

#include <filesystem>

#include "player/dialogs/open_url.h"

namespace media_logic {

// One scheme test for the engine and the open-address dialog, so an address the dialog
// accepts is always opened as a location.
bool IsLocation(std::string_view text) { return IsSupportedURL(text); }

std::int64_t SeekForwardTarget(std::int64_t timeMs, std::int64_t lengthMs) {
    const std::int64_t t = (timeMs < 0 ? 0 : timeMs) + kSeekStepMs;
    return (lengthMs > 0 && t > lengthMs) ? lengthMs : t;
}

std::int64_t SeekBackwardTarget(std::int64_t timeMs) {
    const std::int64_t t = timeMs - kSeekStepMs;
    return t < 0 ? 0 : t;
}

bool IsSettablePosition(int permille) { return static_cast<unsigned>(permille) <= 1000u; }

int PositionToPermille(float position) {
    if (!(position > 0.0f)) return 0;  // also NaN
    const double p = static_cast<double>(position) * 1000.0;
    return p >= 1000.0 ? 1000 : static_cast<int>(p);
}

int NonNegative(int value) { return value < 0 ? 0 : value; }

// In whole tenths, so that 100 gives exactly 110 and 90 (a double 1.1 would round up to 111).
int VolumeUp(int volume) {
    if (volume <= 0) return 0;
    return static_cast<int>((static_cast<long long>(volume) * 11 + 9) / 10);
}

int VolumeDown(int volume) {
    if (volume <= 0) return 0;
    return static_cast<int>(static_cast<long long>(volume) * 9 / 10);
}

bool IsValidIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

int MapState(int vlcState) {
    switch (vlcState) {
    case libvlc_Opening: return 101;
    case libvlc_Buffering: return 102;
    case libvlc_Playing: return 103;
    case libvlc_Paused: return 104;
    case libvlc_Ended: return 105;
    case libvlc_Stopped: return 106;
    case libvlc_Error: return 107;
    default: return 0;
    }
}

std::vector<TrackInfo> TracksFromDescription(const libvlc_track_description_t* head) {
    std::vector<TrackInfo> tracks;
    for (const libvlc_track_description_t* d = head; d != nullptr; d = d->p_next) {
        if (d->i_id == -1) continue;
        TrackInfo t;
        t.id = d->i_id;
        if (d->psz_name != nullptr) t.name = d->psz_name;
        tracks.push_back(std::move(t));
    }
    return tracks;
}

std::string PathToUri(std::string_view path) {
    const auto sep = path.find("://");
    if (sep != std::string_view::npos && sep > 0) return std::string(path);
    std::string abs = std::filesystem::absolute(std::filesystem::path(std::string(path))).string();
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : abs) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (keep) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

}  // namespace media_logic
