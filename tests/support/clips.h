// Small media files made with ffmpeg for the playback tests: a test-pattern video with a tone,
// a clip with two audio tracks or an embedded subtitle track, a subtitle file beside a clip, and
// damaged files. Each maker throws std::runtime_error when ffmpeg is missing or fails.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct ClipOptions {
    double seconds = 2.0;
    int width = 320;
    int height = 240;
    int fps = 25;
    // Tones of 440 Hz, 660 Hz, ... one per track; 0 makes a clip without audio.
    int audioTracks = 1;
    // Titles given to the audio tracks in order; tracks beyond the list stay unnamed.
    std::vector<std::string> audioTitles;
    // Cues of one embedded subtitle track, one a second from the start; none when empty. The
    // track is not flagged as the default one, so a player shows it only when asked to.
    std::vector<std::string> subtitleCues;
};

// H.264 video (a key frame every 5 frames, so seeks land close) and AAC audio; the
// container follows the extension (.mp4, .mkv, ...). An .mp4 keeps its index at its end, as
// ffmpeg writes it (no fast start): it plays from a stream only when the reader can seek.
// Returns `path`.
std::filesystem::path MakeClip(const std::filesystem::path& path, const ClipOptions& options = {});

// A video clip with one audio track.
std::filesystem::path MakeVideoClip(const std::filesystem::path& path, double seconds = 2.0);

// A video clip with two audio tracks titled "First" and "Second".
std::filesystem::path MakeTwoAudioTrackClip(const std::filesystem::path& path, double seconds = 3.0);

// An audio-only file (MP3 tone).
std::filesystem::path MakeAudioClip(const std::filesystem::path& path, double seconds = 2.0);

// Writes an SRT file named like the clip with the extension ".srt", one cue per line of text,
// each shown for one second from the start. Returns its path.
std::filesystem::path WriteSubtitleBeside(const std::filesystem::path& clip,
                                          const std::vector<std::string>& cues = {"Hello", "World"});

// An empty file with a media extension: libVLC finds nothing to demux and reports an error.
std::filesystem::path MakeBrokenFile(const std::filesystem::path& path);

// `bytes` of noise (the same for every call) that no demuxer takes for media.
std::filesystem::path MakeNoiseFile(const std::filesystem::path& path, std::size_t bytes = 64 * 1024);

// The first `bytes` of `from`, as a download broken off early leaves it.
std::filesystem::path MakeTruncatedCopy(const std::filesystem::path& from, const std::filesystem::path& to,
                                        std::size_t bytes);

// Runs a program with arguments, output discarded; returns its exit status (-1 when it
// could not be started).
int RunProgram(const std::vector<std::string>& argv);
// The same without waiting: the child's process id, 0 when it could not be started.
pid_t StartProgram(const std::vector<std::string>& argv);

}  // namespace testsupport
