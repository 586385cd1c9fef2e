// PlayList.info and PlayUrl.info.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/convert.h"
#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/profile/profile.h"
#include "player/settings/sys_config.h"

namespace {

std::wstring SectionName(size_t n) { return CPlayListRecords::SectionName(n); }

}  // namespace

std::wstring OldPlayListBackupPath(const std::wstring& playListPath) { return playListPath + L".old"; }

std::wstring DamagedFileBackupPath(const std::wstring& path) { return path + L".bad"; }

void SetDamagedFileAside(const std::wstring& path, const std::string& bytes) {
    // An earlier damaged original holds what it could not give either: it is kept, and an
    // identical one is not written twice.
    constexpr int kCopies = 9;
    for (int i = 1; i <= kCopies; ++i) {
        std::wstring name = DamagedFileBackupPath(path);
        if (i > 1) name += L"." + std::to_wstring(i);
        const std::string fs = platform::FsPath(name);
        std::string held;
        const bool taken = platform::ReadWholeFile(fs, held);
        if (taken && held == bytes) return;
        if (!taken || i == kCopies) {
            platform::WriteFileAtomic(fs, bytes);
            return;
        }
    }
}

namespace {

// Names match without regard to case; these are ASCII.
bool IsName(std::wstring_view name, std::wstring_view lowerAscii) {
    if (name.size() != lowerAscii.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i] >= L'A' && name[i] <= L'Z' ? static_cast<wchar_t>(name[i] - L'A' + L'a') : name[i];
        if (c != lowerAscii[i]) return false;
    }
    return true;
}

// Values far past any path or address are no record's (a cut or garbled file can hold megabytes
// on one line).
constexpr size_t kMaxValueLength = 64 * 1024;

struct LoadedRecord {
    size_t number;  // of its section
    size_t order;   // place in the file
    bool oldLayout;
    _tagMediaInfo record;
};

enum RecordKey { kFilePath, kVisible, kError, kPlayTime, kPlayPos, kGroup, kPlayed, kKeyCount };
constexpr const wchar_t* kRecordKeys[kKeyCount] = {L"strfilepath", L"bvisible", L"berror", L"nplaytime",
                                                   L"nplaypos",    L"strgroup", L"bplayed"};

// The record of one section; nothing when it holds none. `damaged` is set when the section is
// not as a save writes it.
std::optional<LoadedRecord> ReadRecord(const platform::ProfileSectionRead& s, bool& damaged) {
    if (s.strayLines) damaged = true;
    std::optional<size_t> slot;
    if (s.name.size() > 4 && IsName(std::wstring_view(s.name).substr(0, 4), L"file"))
        slot = CPlayListRecords::SlotOf(L"file" + s.name.substr(4));
    if (!slot) {
        if (s.hasHeader ? !IsName(s.name, L"curplay") : !s.entries.empty()) damaged = true;
        return std::nullopt;
    }
    LoadedRecord out{*slot + 1, 0, false, {}};
    const std::wstring* values[kKeyCount] = {};
    for (const auto& [key, value] : s.entries) {
        if (value.size() > kMaxValueLength) {
            damaged = true;
            return std::nullopt;
        }
        if (IsName(key, L"strfilename")) {
            out.oldLayout = out.oldLayout || value != L"NULL";
            continue;
        }
        size_t k = 0;
        while (k < kKeyCount && !IsName(key, kRecordKeys[k])) ++k;
        if (k == kKeyCount || values[k]) {
            damaged = true;  // a key no save writes, or one written twice: the first counts
            continue;
        }
        values[k] = &value;
    }
    if (out.oldLayout) return out;
    for (size_t k = 0; k < kKeyCount; ++k)
        if (!values[k] || (k != kFilePath && k != kGroup && !platform::IsProfileInteger(*values[k]))) damaged = true;
    if (!values[kFilePath] || values[kFilePath]->empty() || *values[kFilePath] == L"NULL") {
        damaged = true;
        return std::nullopt;
    }
    auto number = [&](RecordKey k, int def) {
        return values[k] ? static_cast<int>(platform::ParseProfileInt(*values[k], def)) : def;
    };
    _tagMediaInfo& r = out.record;
    r.strFilePath = *values[kFilePath];
    r.bVisible = number(kVisible, 1) != 0;
    r.bError = number(kError, 0) != 0;
    r.nPlayTime = number(kPlayTime, 0);  // sign-extended
    r.nPlayPos = number(kPlayPos, 0);
    r.strGroup = values[kGroup] ? *values[kGroup] : std::wstring();
    r.bPlayed = number(kPlayed, 0) != 0;
    return out;
}

// [CurPlay] and the places of these paths and of [CurPlay]'s file. Of two records of one path
// the one of the lower number counts (the load keeps that one); a record the load would not
// take counts for none.
PlayListHead ReadHead(const platform::ProfileSnapshot& file, std::vector<std::wstring> paths) {
    PlayListHead head;
    std::wstring cur;
    if (file.ReadString(L"CurPlay", L"strFilePath", cur) && cur.size() <= kMaxValueLength) head.curPlay = std::move(cur);
    paths.push_back(head.curPlay);
    for (const std::wstring& p : paths) {
        if (p.empty() || head.Find(p)) continue;
        PlayListHead::Place place{p};
        size_t number = 0;
        file.ForEachSectionWith(L"strFilePath", p, [&](const platform::ProfileSectionRead& s) {
            bool damaged = false;
            std::optional<LoadedRecord> r = ReadRecord(s, damaged);
            if (!r || r->oldLayout || r->record.strFilePath != p || (place.listed && r->number >= number)) return;
            number = r->number;
            place.listed = true;
            place.playPos = r->record.nPlayPos;
            place.playTime = r->record.nPlayTime;
        });
        head.places.push_back(std::move(place));
    }
    return head;
}

// The records of a play-list file; damage is set aside beside it, an older layout moved away.
// With onHead, the head of the file (with the places of headPaths) is handed to it before the
// records are read.
CPlayListRecords ReadPlayListFile(const std::wstring& path, const std::function<void(PlayListHead)>& onHead = nullptr,
                                  const std::vector<std::wstring>& headPaths = {}) {
    std::vector<LoadedRecord> records;
    {
        const platform::ProfileSnapshot file(path);
        if (onHead) onHead(ReadHead(file, headPaths));
        // Every section the file holds, in number order: a section that cannot be read is left
        // out, not the end of the list, and two of one number both stay.
        bool damaged = false;
        file.ForEachSection([&](const platform::ProfileSectionRead& s) {
            if (std::optional<LoadedRecord> r = ReadRecord(s, damaged)) {
                r->order = records.size();
                records.push_back(std::move(*r));
            }
        });
        std::sort(records.begin(), records.end(), [](const LoadedRecord& a, const LoadedRecord& b) {
            return a.number != b.number ? a.number < b.number : a.order < b.order;
        });
        bool oldLayout = false;
        for (size_t i = 0; i < records.size() && !oldLayout; ++i) {
            oldLayout = records[i].oldLayout;
            if (records[i].number != i + 1) damaged = true;  // a gap or a number twice
        }
        // The first save rewrites the file from what could be read: what could not stays beside
        // it (a file of the older layout is set aside whole).
        if (damaged && !oldLayout) SetDamagedFileAside(path, file.Bytes());
    }
    // The file's text is gone before the map is made: a long list holds only one of them at a time.
    CPlayListRecords map;
    map.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].oldLayout) {
            // A file of the older layout: set it aside rather than lose it.
            MoveFileExW(path.c_str(), OldPlayListBackupPath(path).c_str(), MOVEFILE_REPLACE_EXISTING);
            break;
        }
        map.emplace(i + 1, std::move(records[i].record));
    }
    return map;
}

}  // namespace

void CSysConfig::LoadPlayList() {
    WaitPlayList();
    mapPlayList = ReadPlayListFile(strPlayListPath);
}

void CSysConfig::BeginLoadPlayList(const std::wstring& startPath) {
    WaitPlayList();
    mapPlayList.clear();
    {
        std::lock_guard<std::mutex> lock(reader_.mutex);
        reader_.done = false;
        reader_.headRead = false;
        reader_.head = PlayListHead();
    }
    reader_.thread = std::thread([&r = reader_, path = strPlayListPath, startPath] {
        auto headRead = [&r](PlayListHead head) {
            std::function<void()> fn;
            {
                std::lock_guard<std::mutex> lock(r.mutex);
                r.head = std::move(head);
                r.headRead = true;
                fn = r.onHeadRead;
            }
            r.headKnown.notify_all();
            if (fn) fn();
        };
        r.records = ReadPlayListFile(path, headRead, {startPath});
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            r.done = true;
            fn = r.onRead;
        }
        if (fn) fn();
    });
}

const PlayListHead& CSysConfig::WaitPlayListHead() {
    std::unique_lock<std::mutex> lock(reader_.mutex);
    reader_.headKnown.wait(lock, [this] { return reader_.headRead; });
    return reader_.head;
}

void CSysConfig::OnPlayListHeadRead(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(reader_.mutex);
    reader_.onHeadRead = std::move(fn);
}

void CSysConfig::WaitPlayList() {
    if (!reader_.thread.joinable()) return;
    reader_.Join();
    mapPlayList = std::move(reader_.records);
    reader_.records.clear();
}

void CSysConfig::OnPlayListRead(std::function<void()> fn) {
    bool now;
    {
        std::lock_guard<std::mutex> lock(reader_.mutex);
        reader_.onRead = fn;
        now = reader_.done;
    }
    if (now && fn) fn();
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
    // A line that cannot be an address is left out; the rest stays, and the next save (which
    // writes the history anew) leaves the original beside it.
    bool damaged = false;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        std::string line = bytes.substr(pos, end - pos);
        pos = nl == std::string::npos ? bytes.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const bool readable = line.empty() || (line.size() <= kMaxValueLength && line.find('\0') == std::string::npos &&
                                                MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, line.data(),
                                                                    static_cast<int>(line.size()), nullptr, 0) > 0);
        std::wstring entry = readable ? AnsiToWide(line.c_str()) : std::wstring();
        if (!readable || (entry.empty() && !line.empty())) {
            damaged = true;
            continue;
        }
        g_UrlHistory.push_back(std::move(entry));
    }
    if (damaged) SetDamagedFileAside(strUrlHistoryPath, bytes);
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
