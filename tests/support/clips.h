// Small media files made with ffmpeg for the playback tests: a test-pattern video with a tone,
// a clip with two audio tracks, a subtitle file beside a clip, and a file no demuxer accepts.
// Each maker throws std::runtime_error when ffmpeg is missing or fails.
#pragma once

#include <sys/types.h>

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
};

// H.264 video (a key frame every 5 frames, so seeks land close) and AAC audio; the
// container follows the extension (.mp4, .mkv, ...). Returns `path`.
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

// Runs a program with arguments, output discarded; returns its exit status (-1 when it
// could not be started).
int RunProgram(const std::vector<std::string>& argv);
// The same without waiting: the child's process id, 0 when it could not be started.
pid_t StartProgram(const std::vector<std::string>& argv);

}  // namespace testsupport
