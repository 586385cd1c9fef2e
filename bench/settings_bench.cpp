// Settings files at scale: saving and loading a play list of 10,000 records, and single settings
// keys, each one an atomic, flushed rewrite of its file (user.cfg of its usual size, and a
// position key of the 10,000-record PlayList.info). The medians of several rounds are printed,
// beside what the bare atomic replace of a file of the same size costs on this disk (write,
// fdatasync, rename), which bounds a single key from below. PlayList.info is written by a thread
// of its own: its save and its key are timed until they are on the disk, and the caller's own
// part (what the UI thread waits for) beside them.
//   build/bench/settings_bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/files.h"
#include "player/settings/sys_config.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Median milliseconds of `rounds` runs of fn.
double MedianMs(int rounds, const std::function<void()>& fn) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto t = Clock::now();
        fn();
        ms.push_back(MsSince(t));
    }
    return Median(ms);
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    platform::ReadWholeFile(platform::FsPath(path), bytes);
    return bytes;
}

}  // namespace

int main() {
    testsupport::TempDir dir;
    CSysConfig cfg;
    cfg.SetConfigPath((dir.path() / "user.cfg").wstring());
    cfg.SetPlayListPath((dir.path() / "PlayList.info").wstring());
    cfg.Load();
    cfg.Save();  // a user.cfg of its usual size

    constexpr int kRecords = 10000, kRounds = 7, kKeys = 500;
    for (int i = 1; i <= kRecords; ++i) {
        _tagMediaInfo r;
        r.strFilePath = L"/home/user/视频/剧集/第" + std::to_wstring(i) + L"集 - a fairly long file name.mkv";
        r.strGroup = L"剧集 " + std::to_wstring(i / 50);
        r.nPlayTime = i * 7;
        r.nPlayPos = i % 1000;
        cfg.mapPlayList[L"file" + std::to_wstring(i)] = r;
    }

    bool ok = true;
    std::vector<double> saveCallers;
    const double save = MedianMs(kRounds, [&] {
        const auto t = Clock::now();
        ok = cfg.SavePlayList(L"/home/user/视频/剧集/第1集.mkv") && ok;
        saveCallers.push_back(MsSince(t));
        ok = cfg.FlushPlayList() && ok;
    });
    CSysConfig back;
    back.SetPlayListPath(cfg.GetPlayListPath());
    const double load = MedianMs(kRounds, [&] { back.LoadPlayList(); });
    if (!ok || back.mapPlayList.size() != static_cast<size_t>(kRecords)) return 1;

    int v = 210;
    const double key = MedianMs(kKeys, [&] { cfg.iniConfig.WriteInt(L"Global", L"nListWndWidth", ++v); });
    std::vector<double> positionCallers;
    const double position = MedianMs(kRounds * 4, [&] {
        const auto t = Clock::now();
        cfg.iniPlayList.WriteInt(L"file5000", L"nPlayTime", ++v);
        positionCallers.push_back(MsSince(t));
        ok = cfg.FlushPlayList() && ok;
    });
    if (!ok) return 1;

    const std::string cfgBytes = FileBytes(cfg.GetConfigPath()), listBytes = FileBytes(cfg.GetPlayListPath());
    const std::string scratch = platform::FsPath((dir.path() / "scratch").wstring());
    const double keyFloor = MedianMs(kKeys, [&] { platform::WriteFileAtomic(scratch, cfgBytes); });
    const double positionFloor = MedianMs(kRounds * 4, [&] { platform::WriteFileAtomic(scratch, listBytes); });

    std::printf("median of %d rounds (ms)\n", kRounds);
    std::printf("  save %d records (%zu KiB)     %8.2f   (the caller's part %.2f)\n", kRecords,
                listBytes.size() / 1024, save, Median(saveCallers));
    std::printf("  load %d records               %8.2f\n", kRecords, load);
    std::printf("single key, median of each write (ms)          key   bare replace of that file\n");
    std::printf("  user.cfg (%zu bytes)                    %8.3f %8.3f\n", cfgBytes.size(), key, keyFloor);
    std::printf("  position key of the %d-record list    %8.3f %8.3f   (the caller's part %.3f)\n",
                kRecords, position, positionFloor, Median(positionCallers));
    return 0;
}
