// PlayList.info and PlayUrl.info.
#include <string>
#include <vector>

#include "common/convert.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "player/sys_config.h"

namespace {

std::wstring SectionName(size_t n) { return L"file" + std::to_wstring(n); }

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
        mapPlayList[section] = record;
    }
}

bool CSysConfig::SavePlayList(std::wstring_view curPlayPath) {
    std::vector<platform::ProfileSection> sections;
    sections.reserve(mapPlayList.size() + 1);
    const _tagMediaInfo defaults;
    for (size_t n = 1; n <= mapPlayList.size(); ++n) {
        platform::ProfileSection s;
        s.name = SectionName(n);
        auto it = mapPlayList.find(s.name);
        const _tagMediaInfo& r = it != mapPlayList.end() ? it->second : defaults;
        s.entries = {
            {L"strFilePath", r.strFilePath},
            {L"bVisible", r.bVisible ? L"1" : L"0"},
            {L"bError", r.bError ? L"1" : L"0"},
            {L"nPlayTime", std::to_wstring(static_cast<std::int32_t>(static_cast<std::uint32_t>(r.nPlayTime)))},
            {L"nPlayPos", std::to_wstring(r.nPlayPos)},
            {L"strGroup", r.strGroup},
            {L"bPlayed", r.bPlayed ? L"1" : L"0"},
        };
        sections.push_back(std::move(s));
    }
    if (!curPlayPath.empty()) sections.push_back({L"CurPlay", {{L"strFilePath", std::wstring(curPlayPath)}}});
    return platform::WriteProfileFile(strPlayListPath, sections);
}

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
