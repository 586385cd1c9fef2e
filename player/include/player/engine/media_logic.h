// The playback engine's own decisions, apart from libVLC so that they can be checked alone:
// which opener a text needs, where a seek lands, which volume a step gives, which list index is
// valid, how libVLC's states and track lists read for the rest of the player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct libvlc_track_description_t;

// One audio or subtitle track of the open medium.
struct TrackInfo {
    int id = 0;        // libVLC's track id, handed back to select the track
    std::string name;  // UTF-8, empty when libVLC gives none
};

namespace media_logic {

inline constexpr std::int64_t kSeekStepMs = 5000;

// Texts that begin with "http", "https", "ftp" or "rtsp" in any case followed by "://" are
// network locations (IsSupportedURL); everything else is a file path.
bool IsLocation(std::string_view text);

// Target of a step of 5 s forward: the length caps it only when the length is known (> 0),
// so an unknown length never sends the medium back to its start. An unknown time counts as 0.
std::int64_t SeekForwardTarget(std::int64_t timeMs, std::int64_t lengthMs);
std::int64_t SeekBackwardTarget(std::int64_t timeMs);

// Positions in permille of the length; only 0..1000 may be set.
bool IsSettablePosition(int permille);
// libVLC's position (0.0..1.0, -1 without input) as permille, never negative.
int PositionToPermille(float position);

// Volume steps of 10 % on libVLC's current volume: up rounds up, down rounds down; never below 0.
int VolumeUp(int volume);
int VolumeDown(int volume);
int NonNegative(int value);

bool IsValidIndex(int index, std::size_t size);

// libVLC's player state as the player's codes: Opening 101, Buffering 102, Playing 103,
// Paused 104, Ended 105, Stopped 106, Error 107; idle and unknown states give 0.
int MapState(int vlcState);

// The tracks of a libVLC description list in its order, without the switch-off entry (id -1);
// an entry without a name gets an empty one.
std::vector<TrackInfo> TracksFromDescription(const libvlc_track_description_t* head);

// A file URI for a local path (made absolute, reserved bytes percent-encoded); texts that
// already carry a scheme ("xyz://") are returned as they are.
std::string PathToUri(std::string_view path);

}  // namespace media_logic
