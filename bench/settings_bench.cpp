// Settings files at scale: saving and loading a play list of 10,000 records, and writing
// 1,000 single settings keys (each one an atomic, flushed rewrite of user.cfg).
//   build/bench/settings_bench
#include <chrono>
#include <cstdio>
#include <string>

#include "player/sys_config.h"
#include "support/temp_dir.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
    testsupport::TempDir dir;
    CSysConfig cfg;
    cfg.SetConfigPath((dir.path() / "user.cfg").wstring());
    cfg.SetPlayListPath((dir.path() / "PlayList.info").wstring());
    cfg.Load();
    cfg.SaveFileAssoc();  // a user.cfg of its usual size

    constexpr int kRecords = 10000, kKeys = 1000;
    for (int i = 1; i <= kRecords; ++i) {
        _tagMediaInfo r;
        r.strFilePath = L"/home/user/视频/剧集/第" + std::to_wstring(i) + L"集 - a fairly long file name.mkv";
        r.strGroup = L"剧集 " + std::to_wstring(i / 50);
        r.nPlayTime = i * 7;
        r.nPlayPos = i % 1000;
        cfg.mapPlayList[L"file" + std::to_wstring(i)] = r;
    }

    auto t = std::chrono::steady_clock::now();
    if (!cfg.SavePlayList(L"/home/user/视频/剧集/第1集.mkv")) return 1;
    double save = Seconds(t);

    CSysConfig back;
    back.SetPlayListPath(cfg.GetPlayListPath());
    t = std::chrono::steady_clock::now();
    back.LoadPlayList();
    double load = Seconds(t);
    if (back.mapPlayList.size() != static_cast<size_t>(kRecords)) return 1;

    t = std::chrono::steady_clock::now();
    for (int i = 0; i < kKeys; ++i) cfg.iniConfig.WriteInt(L"Global", L"nListWndWidth", 210 + i);
    double keys = Seconds(t);

    std::printf("play list of %d records: save %.3f s, load %.3f s\n", kRecords, save, load);
    std::printf("%d single settings keys: %.3f s (%.2f ms each)\n", kKeys, keys, keys * 1000 / kKeys);
    return 0;
}
