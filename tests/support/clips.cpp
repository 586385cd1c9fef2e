#include "support/clips.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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

void WriteSrt(const std::filesystem::path& srt, const std::vector<std::string>& cues) {
    std::ofstream out(srt, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < cues.size(); ++i) {
        char times[128];
        std::snprintf(times, sizeof times, "00:00:%02zu,000 --> 00:00:%02zu,900", i, i);
        out << (i + 1) << "\n" << times << "\n" << cues[i] << "\n\n";
    }
    if (!out) throw std::runtime_error("could not write " + srt.string());
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
    std::filesystem::path cues;
    if (!o.subtitleCues.empty()) {
        cues = path;
        cues += ".cues.srt";
        WriteSrt(cues, o.subtitleCues);
        args.insert(args.end(), {"-i", cues.string()});
    }
    const int inputs = o.audioTracks + 1 + (cues.empty() ? 0 : 1);
    for (int i = 0; i < inputs; ++i) args.insert(args.end(), {"-map", std::to_string(i)});
    args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-g", "5", "-pix_fmt", "yuv420p"});
    if (o.audioTracks > 0) args.insert(args.end(), {"-c:a", "aac", "-b:a", "64k"});
    if (!cues.empty()) {
        const bool mp4 = path.extension() == ".mp4" || path.extension() == ".m4v" || path.extension() == ".mov";
        args.insert(args.end(), {"-c:s", mp4 ? "mov_text" : "srt", "-disposition:s:0", "0"});
    }
    for (size_t i = 0; i < o.audioTitles.size() && static_cast<int>(i) < o.audioTracks; ++i) {
        args.insert(args.end(), {"-metadata:s:a:" + std::to_string(i), "title=" + o.audioTitles[i]});
    }
    args.insert(args.end(), {"-t", dur});
    Ffmpeg(args, path);
    if (!cues.empty()) std::filesystem::remove(cues);
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
    WriteSrt(srt, cues);
    return srt;
}

std::filesystem::path MakeBrokenFile(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("could not write " + path.string());
    return path;
}

std::filesystem::path MakeNoiseFile(const std::filesystem::path& path, std::size_t bytes) {
    std::string noise(bytes, '\0');
    std::uint32_t x = 0x9E3779B9u;
    for (char& c : noise) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(noise.data(), static_cast<std::streamsize>(noise.size()));
    if (!out) throw std::runtime_error("could not write " + path.string());
    return path;
}

std::filesystem::path MakeTruncatedCopy(const std::filesystem::path& from, const std::filesystem::path& to,
                                        std::size_t bytes) {
    std::ifstream in(from, std::ios::binary);
    std::string head(bytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(bytes));
    head.resize(static_cast<size_t>(in.gcount()));
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    if (!in.eof() && head.size() < bytes) throw std::runtime_error("could not read " + from.string());
    if (!out) throw std::runtime_error("could not write " + to.string());
    return to;
}

}  // namespace testsupport
