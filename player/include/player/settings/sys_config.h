// The player's settings: user.cfg, the play list (PlayList.info) and the address history
// (PlayUrl.info), all in the program's folder. Values are read once at start-up and each
// change is written back at once by the code that makes it.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/base/wintypes.h"
#include "player/play_list/media_info.h"
#include "player/play_list/play_list_records.h"

namespace platform {
class ProfileSnapshot;
class ProfileText;
}

class CIniFile {
public:
    CIniFile() = default;
    virtual ~CIniFile() = default;

    void SetPath(const std::wstring& path) { path_ = path; }
    const std::wstring& GetPath() const { return path_; }
    // Writes go to the writer thread of the profile layer, in order, instead of being made
    // before the call returns; reads still see them (they wait for the queue).
    void SetQueued(bool queued) { queued_ = queued; }

    int ReadInt(const wchar_t* section, const wchar_t* key, int defaultValue) const;
    bool WriteInt(const wchar_t* section, const wchar_t* key, int value) const;
    // The whole value, however long.
    std::wstring ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const;
    bool WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;

private:
    std::wstring path_;
    bool queued_ = false;
};

struct HotKey {
    WORD wVirtKey;
    WORD wModifiers;  // HOTKEYF_SHIFT 1, HOTKEYF_CONTROL 2, HOTKEYF_ALT 4, HOTKEYF_EXT 8
};

// Index into CSysConfig::g_HotKeys, in the order of the hot-key sections.
enum HotKeyId {
    HK_PlayPause = 0,
    HK_PlayNext,
    HK_StopPlay,
    HK_FastBackward,
    HK_FastForward,
    HK_IncreaseVolum,
    HK_DecreaseVolum,
    HK_Mute,
    HK_OpenFile,
    HK_OpenUrl,
    HK_TopMost,
    HK_FullScreen,
    HK_CloseWindow,
    HK_Setting,
    HK_Count
};

// Section name and default of each hot key.
struct HotKeyDefault {
    const wchar_t* section;
    HotKey key;
};
extern const HotKeyDefault kHotKeyDefaults[HK_Count];

// Domains of the stored values; Load clamps to them.
constexpr int kMinListWndWidth = 210;
constexpr int kMaxListWndWidth = 4096;
constexpr int kMaxVolume = 1000;
constexpr int kMaxTransIdx = 8;
constexpr int kMaxSnapShotType = 2;
constexpr int kMaxTopMostMode = 2;

// What a start needs of PlayList.info before its records: [CurPlay] and the stored places of the
// files it may play first (the start file, the [CurPlay] file). It is read ahead of the records,
// which take long in a long list.
struct PlayListHead {
    struct Place {
        std::wstring path;
        bool listed = false;  // false: the list holds no record of it
        int playPos = 0;      // of the first record of the path, as the list keeps only that one
        int playTime = 0;
    };
    std::wstring curPlay;
    std::vector<Place> places;
    // Nothing when the path was not looked for.
    const Place* Find(const std::wstring& path) const {
        for (const Place& p : places)
            if (p.path == path) return &p;
        return nullptr;
    }
};

class CConfigKeys;

class CSysConfig {
public:
    CSysConfig();
    virtual ~CSysConfig() = default;

    void SetConfigPath(const std::wstring& path);
    std::wstring GetConfigPath() const { return strConfigPath; }
    void SetPlayListPath(const std::wstring& path);
    std::wstring GetPlayListPath() const { return strPlayListPath; }
    std::wstring GetUrlHistoryPath() const { return strUrlHistoryPath; }

    // Each load reads its file once.
    // With listLater the play list is read on a thread of its own (BeginLoadPlayList), so the
    // main window need not wait for a long one; startPath is the file the start plays.
    void Load(bool listLater = false, const std::wstring& startPath = {});
    void Save();
    void LoadWindowInfo();
    void SaveWindowInfo();
    void LoadHotKeys();
    void LoadFileAssoc();
    void SaveFileAssoc();

    // Replaces PlayList.info with the records "file1".."fileN" in one atomic step; with a
    // current path, [CurPlay] "strFilePath" is part of the same step. The text is made here
    // and written by the writer thread, after the writes of the file queued before it and
    // before those queued after it (the position writes into its sections). False when the
    // records cannot be written as a profile; a failure of the write itself shows at
    // FlushPlayList. The old file stays whole until the new one replaces it.
    bool SavePlayList(std::wstring_view curPlayPath = {});
    // The same for a text of records made by the caller (AddPlayListSection).
    bool SavePlayList(platform::ProfileText text, std::wstring_view curPlayPath);
    // Waits until PlayList.info holds every write asked for so far; false when one failed.
    bool FlushPlayList();
    void LoadPlayList();
    // LoadPlayList on a thread of its own: the map stays as it is (empty at start-up) until
    // WaitPlayList, which waits for the read and makes its records the map's. The head (with
    // the place of startPath) is read first; WaitPlayListHead waits for that only. Only the UI
    // thread calls these.
    void BeginLoadPlayList(const std::wstring& startPath = {});
    const PlayListHead& WaitPlayListHead();
    bool IsPlayListLoading() const { return reader_.thread.joinable(); }
    void WaitPlayList();
    // fn runs once a read begun is done: on the reading thread, or at once when it already is
    // (or none is under way). One at a time; a new one replaces the last.
    void OnPlayListRead(std::function<void()> fn);
    // fn runs on the reading thread once the head is known, before the records are read; the
    // read goes on when it returns. Kept for the reads that follow until replaced.
    void OnPlayListHeadRead(std::function<void()> fn);
    void LoadUrlHistory();
    bool SaveUrlHistory();

    // [Global]
    int bSavePlayInfo = 0;
    int bClearPlayList = 0;
    int bClearInvalidFile = 0;
    int bScalePlayWnd = 0;
    int bUseDefWindowInfo = 0;
    int bAlwaysFileAssoc = 0;
    int bAddSimilarFile = 0;
    int nTopMostMode = 0;
    int bClickedListHandler = 0;
    int nPlayListTransIdx = 0;
    int nCaptionPanelTransIdx = 0;
    // run time
    int bHideSubtitle = 0;
    int nCurSubtitle = 0;
    std::map<int, std::wstring> mapSubtitleFile;
    int nCurAudioTrack = 0;
    // [Global]
    int nPlayOrder = 0;
    int bTipSnapShot = 0;
    int nSnapShotType = 0;
    std::wstring strSnapShotPath;
    int bOnlySnapToClipBoard = 0;
    std::vector<std::wstring> g_UrlHistory;
    int nListWndWidth = 0;
    // [Volume]
    int nVolume = 0;
    int bMute = 0;
    // [Window]
    int bIsZoomed = 0;
    int x0 = 0, y0 = 0, cx = 0, cy = 0;
    HotKey g_HotKeys[HK_Count] = {};
    // [FileAssoc]: every entry of AssocExtensions and AssocCategoryNames
    std::map<std::wstring, int> mapFileAssoc;
    // run time: the PlayList.info section of the current file
    std::wstring strCurSection;
    // "file1".."fileN": the records in the layout of PlayList.info's last save (or load), the
    // one its position writes go into
    CPlayListRecords mapPlayList;
    CIniFile iniConfig;    // user.cfg
    CIniFile iniPlayList;  // PlayList.info, written through the writer thread
    std::wstring strConfigPath, strPlayListPath, strUrlHistoryPath;

private:
    // The read of PlayList.info on its thread. A copy of the store is not reading: copying one
    // that is, or assigning over it, waits for its read first.
    struct Reader {
        std::thread thread;
        CPlayListRecords records;  // the reading thread's, until WaitPlayList
        PlayListHead head;         // the reading thread's until headRead, then read-only
        std::mutex mutex;
        std::condition_variable headKnown;
        bool done = true;
        bool headRead = true;
        std::function<void()> onRead, onHeadRead;
        Reader() = default;
        Reader(const Reader&) {}
        Reader& operator=(const Reader&) {
            Join();
            return *this;
        }
        ~Reader() { Join(); }
        void Join() {
            if (thread.joinable()) thread.join();
        }
    };
    Reader reader_;

    // The same loads from one reading of user.cfg.
    void LoadWindowInfo(const platform::ProfileSnapshot& cfg);
    void LoadHotKeys(const CConfigKeys& keys);
    void LoadFileAssoc(const CConfigKeys& keys);
};

extern CSysConfig g_SysConfig;

// The name of the backup kept of a PlayList.info of the older layout.
std::wstring OldPlayListBackupPath(const std::wstring& playListPath);
// The copy kept of a settings or list file that was read with damage ("<file>.bad"); further
// damaged originals of other content go to "<file>.bad.2" and on.
std::wstring DamagedFileBackupPath(const std::wstring& path);
void SetDamagedFileAside(const std::wstring& path, const std::string& bytes);

// Appends the section "file%d" (n) of a record, its keys in PlayList.info's order.
void AddPlayListSection(platform::ProfileText& text, std::size_t n, const _tagMediaInfo& record);
