// PlayList.info and PlayUrl.info.
#include <string>
#include <vector>

#include "common/convert.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "player/sys_config.h"

namespace {

std::wstring SectionName(size_t n) { return CPlayListRecords::SectionName(n); }

}  // namespace

std::wstring OldPlayListBackupPath(const std::wstring& playListPath) { return playListPath + L".old"; }

void CSysConfig::LoadPlayList() {
    mapPlayList.clear();
    const platform::ProfileSnapshot file(strPlayListPath);
    _tagMediaInfo record;
    for (size_t n = 1;; ++n) {
        std::wstring section = SectionName(n);
        if (file.ReadString(section, L"strFileName", L"NULL") != L"NULL") {
            // A file of the older layout: set it aside rather than lose it.
            MoveFileExW(strPlayListPath.c_str(), OldPlayListBackupPath(strPlayListPath).c_str(),
                        MOVEFILE_REPLACE_EXISTING);
            return;
        }
        record.strFilePath = file.ReadString(section, L"strFilePath", L"NULL");
        if (record.strFilePath == L"NULL") return;
        record.bVisible = file.ReadInt(section, L"bVisible", 1) != 0;
        record.bError = file.ReadInt(section, L"bError", 0) != 0;
        record.nPlayTime = file.ReadInt(section, L"nPlayTime", 0);  // sign-extended
        record.nPlayPos = file.ReadInt(section, L"nPlayPos", 0);
        record.strGroup = file.ReadString(section, L"strGroup", L"");
        record.bPlayed = file.ReadInt(section, L"bPlayed", 0) != 0;
        mapPlayList.insert_or_assign(section, record);
    }
}

void AddPlayListSection(platform::ProfileText& text, size_t n, const _tagMediaInfo& r) {
    text.AddSection(SectionName(n));
    static const platform::ProfileKey kFilePath(L"strFilePath"), kVisible(L"bVisible"), kError(L"bError"),
        kPlayTime(L"nPlayTime"), kPlayPos(L"nPlayPos"), kGroup(L"strGroup"), kPlayed(L"bPlayed");
    text.AddEntry(kFilePath, r.strFilePath);
    text.AddEntry(kVisible, r.bVisible ? 1 : 0);
    text.AddEntry(kError, r.bError ? 1 : 0);
    text.AddEntry(kPlayTime, static_cast<std::int32_t>(static_cast<std::uint32_t>(r.nPlayTime)));
    text.AddEntry(kPlayPos, r.nPlayPos);
    text.AddEntry(kGroup, r.strGroup);
    text.AddEntry(kPlayed, r.bPlayed ? 1 : 0);
}

bool CSysConfig::SavePlayList(std::wstring_view curPlayPath) {
    platform::ProfileText text;
    const _tagMediaInfo defaults;
    for (size_t n = 1; n <= mapPlayList.size(); ++n) {
        auto it = mapPlayList.find(SectionName(n));
        AddPlayListSection(text, n, it != mapPlayList.end() ? it->second : defaults);
    }
    return SavePlayList(std::move(text), curPlayPath);
}

bool CSysConfig::SavePlayList(platform::ProfileText text, std::wstring_view curPlayPath) {
    if (!curPlayPath.empty()) {
        text.AddSection(L"CurPlay");
        text.AddEntry(L"strFilePath", curPlayPath);
    }
    return platform::QueueProfileFile(strPlayListPath, std::move(text));
}

bool CSysConfig::FlushPlayList() { return platform::FlushProfileWrites(strPlayListPath); }

void CSysConfig::LoadUrlHistory() {
    std::string bytes;
    if (!platform::ReadWholeFile(platform::FsPath(strUrlHistoryPath), bytes)) return;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        g_UrlHistory.push_back(AnsiToWide(line.c_str()));
        pos = nl == std::string::npos ? bytes.size() : nl + 1;
    }
}

bool CSysConfig::SaveUrlHistory() {
    std::string out;
    for (const auto& entry : g_UrlHistory) {
        // A line break inside an entry would split it into two addresses.
        std::wstring line;
        line.reserve(entry.size());
        for (wchar_t c : entry)
            if (c != L'\r' && c != L'\n') line += c;
        out += WideToAcp(line);
        out += '\n';
    }
    return platform::WriteFileAtomic(platform::FsPath(strUrlHistoryPath), out);
}
