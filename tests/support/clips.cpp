#include "support/clips.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {
namespace {

std::string Num(double v) {
    std::string s = std::to_string(v);
    return s;
}

void Ffmpeg(std::vector<std::string> args, const std::filesystem::path& out) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(out.string());
    if (RunProgram(argv) != 0 || !std::filesystem::exists(out))
        throw std::runtime_error("ffmpeg could not make " + out.string());
}

}  // namespace

pid_t StartProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) return 0;
    std::vector<char*> cargv;
    for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

int RunProgram(const std::vector<std::string>& argv) {
    const pid_t pid = StartProgram(argv);
    if (!pid) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path MakeClip(const std::filesystem::path& path, const ClipOptions& o) {
    const std::string dur = Num(o.seconds);
    std::vector<std::string> args = {
        "-f", "lavfi", "-i",
        "testsrc=size=" + std::to_string(o.width) + "x" + std::to_string(o.height) +
            ":rate=" + std::to_string(o.fps) + ":duration=" + dur};
    for (int i = 0; i < o.audioTracks; ++i) {
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "sine=frequency=" + std::to_string(440 + 220 * i) + ":duration=" + dur});
    }
    for (int i = 0; i <= o.audioTracks; ++i) args.insert(args.end(), {"-map", std::to_string(i)});
    args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-g", "5", "-pix_fmt", "yuv420p"});
    if (o.audioTracks > 0) args.insert(args.end(), {"-c:a", "aac", "-b:a", "64k"});
    for (size_t i = 0; i < o.audioTitles.size() && static_cast<int>(i) < o.audioTracks; ++i) {
        args.insert(args.end(), {"-metadata:s:a:" + std::to_string(i), "title=" + o.audioTitles[i]});
    }
    args.insert(args.end(), {"-t", dur});
    Ffmpeg(args, path);
    return path;
}

std::filesystem::path MakeVideoClip(const std::filesystem::path& path, double seconds) {
    ClipOptions o;
    o.seconds = seconds;
    return MakeClip(path, o);
}

std::filesystem::path MakeTwoAudioTrackClip(const std::filesystem::path& path, double seconds) {
    ClipOptions o;
    o.seconds = seconds;
    o.audioTracks = 2;
    o.audioTitles = {"First", "Second"};
    return MakeClip(path, o);
}

std::filesystem::path MakeAudioClip(const std::filesystem::path& path, double seconds) {
    Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=" + Num(seconds), "-c:a", "libmp3lame",
            "-b:a", "64k"},
           path);
    return path;
}

std::filesystem::path WriteSubtitleBeside(const std::filesystem::path& clip,
                                          const std::vector<std::string>& cues) {
    std::filesystem::path srt = clip;
    srt.replace_extension(".srt");
    std::ofstream out(srt, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < cues.size(); ++i) {
        char times[128];
        std::snprintf(times, sizeof times, "00:00:%02zu,000 --> 00:00:%02zu,900", i, i);
        out << (i + 1) << "\n" << times << "\n" << cues[i] << "\n\n";
    }
    if (!out) throw std::runtime_error("could not write " + srt.string());
    return srt;
}

std::filesystem::path MakeBrokenFile(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("could not write " + path.string());
    return path;
}

}  // namespace testsupport
