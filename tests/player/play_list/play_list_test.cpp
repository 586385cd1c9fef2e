#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "player/settings/sys_config.h"
#include "support/file_size_limit.h"
#include "support/file_watch.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

struct PlayListFixture : ::testing::Test {
    TempDir dir;
    CSysConfig cfg;
    std::filesystem::path list = dir.path() / "PlayList.info";
    std::filesystem::path history = dir.path() / "PlayUrl.info";

    PlayListFixture() {
        cfg.SetPlayListPath(list.wstring());
        cfg.strUrlHistoryPath = history.wstring();
    }
};

_tagMediaInfo Record(const std::wstring& path, const std::wstring& group = L"") {
    _tagMediaInfo r;
    r.strFilePath = path;
    r.strGroup = group;
    return r;
}

TEST_F(PlayListFixture, RoundTripKeepsEveryStoredField) {
    _tagMediaInfo a = Record(L"/视频/第1集.mkv", L"剧集");
    a.bVisible = false;
    a.bError = true;
    a.bPlayed = true;
    a.nPlayPos = 512;
    a.nPlayTime = 3723;
    a.bInvalid = true;  // not stored
    _tagMediaInfo big = Record(L"http://host/live?x=1&y=2");
    big.nPlayTime = 0x80000005LL;  // past 2^31 - 1: stored as its low 32 bits
    cfg.mapPlayList = {{L"file1", a}, {L"file2", big}, {L"file3", Record(L"/a " + std::wstring(400, L'b'))}};
    ASSERT_TRUE(cfg.SavePlayList(L"/视频/第1集.mkv"));
    ASSERT_TRUE(cfg.FlushPlayList());
    EXPECT_NE(ReadFile(list).find("[file1]\nstrFilePath=/视频/第1集.mkv\nbVisible=0\nbError=1\nnPlayTime=3723\n"
                                  "nPlayPos=512\nstrGroup=剧集\nbPlayed=1\n"),
              std::string::npos);

    CSysConfig back;
    back.SetPlayListPath(list.wstring());
    back.LoadPlayList();
    ASSERT_EQ(back.mapPlayList.size(), 3u);
    const _tagMediaInfo& r = back.mapPlayList[L"file1"];
    EXPECT_EQ(r.strFilePath, a.strFilePath);
    EXPECT_FALSE(r.bVisible);
    EXPECT_TRUE(r.bError);
    EXPECT_TRUE(r.bPlayed);
    EXPECT_FALSE(r.bInvalid);
    EXPECT_EQ(r.nPlayPos, 512);
    EXPECT_EQ(r.nPlayTime, 3723);
    EXPECT_EQ(r.strGroup, L"剧集");
    EXPECT_EQ(r.nPlayState, 2);
    EXPECT_EQ(back.mapPlayList[L"file2"].nPlayTime, static_cast<std::int32_t>(0x80000005u));
    EXPECT_EQ(back.mapPlayList[L"file3"].strFilePath.size(), 403u);  // read whole
    EXPECT_EQ(back.iniPlayList.ReadString(L"CurPlay", L"strFilePath", L""), L"/视频/第1集.mkv");
}

TEST_F(PlayListFixture, SavingFewerRecordsDropsTheRest) {
    for (int i = 1; i <= 5; ++i) cfg.mapPlayList[L"file" + std::to_wstring(i)] = Record(L"/f" + std::to_wstring(i));
    ASSERT_TRUE(cfg.SavePlayList());
    cfg.mapPlayList.erase(L"file4");
    cfg.mapPlayList.erase(L"file5");
    ASSERT_TRUE(cfg.SavePlayList());
    cfg.LoadPlayList();
    EXPECT_EQ(cfg.mapPlayList.size(), 3u);
    EXPECT_EQ(ReadFile(list).find("[file4]"), std::string::npos);
}

TEST_F(PlayListFixture, ASaveWritesTheFileOnceAndALoadReadsItOnce) {
    constexpr int kRecords = 40;
    for (int i = 1; i <= kRecords; ++i)
        cfg.mapPlayList[L"file" + std::to_wstring(i)] = Record(L"/f" + std::to_wstring(i), L"g");
    testsupport::FolderWatch watch(dir.path());
    ASSERT_TRUE(cfg.SavePlayList(L"/f1"));
    ASSERT_TRUE(cfg.FlushPlayList());
    EXPECT_EQ(watch.Replacements("PlayList.info"), 1);
    EXPECT_EQ(watch.Opens("PlayList.info"), 0);

    CSysConfig back;
    back.SetPlayListPath(list.wstring());
    back.LoadPlayList();
    EXPECT_EQ(back.mapPlayList.size(), static_cast<size_t>(kRecords));
    EXPECT_EQ(back.mapPlayList[L"file40"].strFilePath, L"/f40");
    EXPECT_EQ(watch.Opens("PlayList.info"), 1);
}

TEST_F(PlayListFixture, FailedSaveLeavesTheOldFile) {
    cfg.mapPlayList[L"file1"] = Record(L"/old.mkv");
    ASSERT_TRUE(cfg.SavePlayList());
    ASSERT_TRUE(cfg.FlushPlayList());
    std::string before = ReadFile(list);
    for (int i = 1; i <= 200; ++i) cfg.mapPlayList[L"file" + std::to_wstring(i)] = Record(L"/new.mkv");
    {
        testsupport::FileSizeLimit full(before.size() + 16);  // the disk is "full" past this size
        EXPECT_TRUE(cfg.SavePlayList());  // the text is made; the write itself fails
        EXPECT_FALSE(cfg.FlushPlayList());
    }
    EXPECT_TRUE(cfg.FlushPlayList()) << "a failure is told once";
    EXPECT_EQ(ReadFile(list), before);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.path().filename().string().find(".PlayList.info.") == 0 &&
                 e.path().filename().string() != ".PlayList.info.lock";
    EXPECT_EQ(files, 0u) << "no temporary file is left behind";
}

TEST_F(PlayListFixture, MalformedFiles) {
    struct Case {
        const char* content;
        size_t records;
        bool backedUp;  // set aside as of the older layout
        bool damaged;   // set aside as read with damage
    } cases[] = {
        {"", 0, false, false},
        {"; a comment\n\n[file1]\nstrFilePath=/a\nbVisible=1\nbError=0\nnPlayTime=0\nnPlayPos=0\nstrGroup=\nbPlayed=0\n"
         "[CurPlay]\nstrFilePath=/a\n",
         1, false, false},
        {"[file1]\nstrFilePath=/a\n[file2]\nstrFilePath=/b\n[file4]\nstrFilePath=/d\n", 3, false, true},  // gap
        {"[file1]\nstrFilePath=/a\n[file2]\nstrFilePath=NULL\n[file3]\nstrFilePath=/c\n", 2, false, true},
        {"[file1]\nbVisible=1\n", 0, false, true},  // no path
        {"[file1]\nstrFilePath=/a\n[file2]\nstrFileName=x.avi\nstrFilePath=/b\n", 1, true, false},  // older layout
        {"[FILE1]\nSTRFILEPATH=/a\nnPlayTime=abc\nnPlayPos=\n", 1, false, true},
        {"\x01\xFF\xFE garbage\n[file1\nstrFilePath=/a\n", 0, false, true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.path() / "PlayList.info.old");
        std::filesystem::remove(dir.path() / "PlayList.info.bad");
        dir.write("PlayList.info", c.content);
        cfg.LoadPlayList();
        EXPECT_EQ(cfg.mapPlayList.size(), c.records) << c.content;
        EXPECT_EQ(std::filesystem::exists(dir.path() / "PlayList.info.old"), c.backedUp) << c.content;
        if (c.backedUp) {
            EXPECT_EQ(ReadFile(dir.path() / "PlayList.info.old"), c.content);
        }
        EXPECT_EQ(std::filesystem::exists(dir.path() / "PlayList.info.bad"), c.damaged) << c.content;
        if (c.damaged) {
            EXPECT_EQ(ReadFile(dir.path() / "PlayList.info.bad"), c.content);
        }
    }
}

TEST_F(PlayListFixture, EachDamagedOriginalIsKeptOnce) {
    const std::filesystem::path bad = dir.path() / "PlayList.info.bad", second = dir.path() / "PlayList.info.bad.2";
    dir.write("PlayList.info", "[file2]\nstrFilePath=/b\n");
    cfg.LoadPlayList();
    cfg.LoadPlayList();  // the same damage again: no second copy
    EXPECT_EQ(ReadFile(bad), "[file2]\nstrFilePath=/b\n");
    EXPECT_FALSE(std::filesystem::exists(second));
    dir.write("PlayList.info", "[file3]\nstrFilePath=/c\n");
    cfg.LoadPlayList();  // another damaged original does not replace the first
    EXPECT_EQ(ReadFile(bad), "[file2]\nstrFilePath=/b\n");
    EXPECT_EQ(ReadFile(second), "[file3]\nstrFilePath=/c\n");
    ASSERT_EQ(cfg.mapPlayList.size(), 1u);
    EXPECT_EQ(cfg.mapPlayList[L"file1"].strFilePath, L"/c");
}

// The head is read before the records: [CurPlay] and the places of the start file and of
// [CurPlay]'s file, as the load that follows will hold them.
TEST_F(PlayListFixture, TheHeadOfAReadHoldsCurPlayAndThePlacesOfTheFilesPlayedFirst) {
    auto section = [](int n, const std::string& path, int pos, const std::string& extra = "") {
        return "[file" + std::to_string(n) + "]\nstrFilePath=" + path + "\nbVisible=1\nbError=0\nnPlayTime=" +
               std::to_string(pos * 2) + "\nnPlayPos=" + std::to_string(pos) + "\nstrGroup=\nbPlayed=0\n" + extra;
    };
    // Out of number order, a path twice (the lower number is the one the list keeps), a path
    // only as the start of a longer one, a value the load refuses, quotes around a value.
    const std::string text = section(3, "/m/start.mkv", 300) + section(2, "/m/start.mkv", 200) +
                             section(4, "/m/start.mkv.part", 400) + section(1, "/m/cur.mkv", 100) +
                             "[file5]\nstrFilePath=\"/m/quoted.mkv\"\nnPlayPos=12\n" +
                             "[file6]\nstrFilePath=/m/cur.mkv\nnPlayPos=" + std::string(70000, '9') + "\n" +
                             "[CurPlay]\nstrFilePath=/m/cur.mkv\n";
    struct Case {
        std::wstring start;
        bool listed;
        int pos, time;
    };
    const Case cases[] = {
        {L"/m/start.mkv", true, 200, 400},
        {L"/m/quoted.mkv", true, 12, 0},
        {L"/m/start", false, 0, 0},
        {L"/m/absent.mkv", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(c.start));
        dir.write("PlayList.info", text);
        cfg.BeginLoadPlayList(c.start);
        const PlayListHead& head = cfg.WaitPlayListHead();
        EXPECT_EQ(head.curPlay, L"/m/cur.mkv");
        const PlayListHead::Place* start = head.Find(c.start);
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(start->listed, c.listed);
        EXPECT_EQ(start->playPos, c.pos);
        EXPECT_EQ(start->playTime, c.time);
        const PlayListHead::Place* cur = head.Find(L"/m/cur.mkv");
        ASSERT_NE(cur, nullptr);
        EXPECT_TRUE(cur->listed);
        EXPECT_EQ(cur->playPos, 100);
        EXPECT_EQ(head.Find(L"/m/start.mkv.part"), nullptr);  // not looked for
        cfg.WaitPlayList();
        EXPECT_EQ(cfg.mapPlayList.size(), 5u);  // the refused one left out
    }

    // No file, no [CurPlay]: the head is there, empty, and the start file is not listed.
    std::filesystem::remove(list);
    cfg.BeginLoadPlayList(L"/m/start.mkv");
    const PlayListHead& none = cfg.WaitPlayListHead();
    EXPECT_TRUE(none.curPlay.empty());
    ASSERT_NE(none.Find(L"/m/start.mkv"), nullptr);
    EXPECT_FALSE(none.Find(L"/m/start.mkv")->listed);
    cfg.WaitPlayList();
    EXPECT_TRUE(cfg.mapPlayList.empty());
}

// The head is known while the records are still being read: the hook holds the read there.
TEST_F(PlayListFixture, TheHeadIsKnownBeforeTheRecordsAreRead) {
    std::string text;
    for (int n = 1; n <= 2000; ++n)
        text += "[file" + std::to_string(n) + "]\nstrFilePath=/m/e" + std::to_string(n) +
                ".mkv\nbVisible=1\nbError=0\nnPlayTime=0\nnPlayPos=" + std::to_string(n % 1000) +
                "\nstrGroup=\nbPlayed=0\n";
    text += "[CurPlay]\nstrFilePath=/m/e1500.mkv\n";
    dir.write("PlayList.info", text);
    std::mutex m;
    std::condition_variable cv;
    bool go = false;
    cfg.OnPlayListHeadRead([&] {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return go; });
    });
    cfg.BeginLoadPlayList(L"/m/e777.mkv");
    const PlayListHead& head = cfg.WaitPlayListHead();
    EXPECT_TRUE(cfg.IsPlayListLoading());
    EXPECT_TRUE(cfg.mapPlayList.empty());
    EXPECT_EQ(head.curPlay, L"/m/e1500.mkv");
    ASSERT_NE(head.Find(L"/m/e777.mkv"), nullptr);
    EXPECT_EQ(head.Find(L"/m/e777.mkv")->playPos, 777);
    ASSERT_NE(head.Find(L"/m/e1500.mkv"), nullptr);
    EXPECT_EQ(head.Find(L"/m/e1500.mkv")->playPos, 500);
    {
        std::lock_guard<std::mutex> lock(m);
        go = true;
    }
    cv.notify_all();
    cfg.WaitPlayList();
    cfg.OnPlayListHeadRead(nullptr);
    EXPECT_EQ(cfg.mapPlayList.size(), 2000u);
}

TEST_F(PlayListFixture, DamagedHistoryLinesAreLeftOutAndTheOriginalKept) {
    ScopedEnv acp("MORVANE_ACP", "UTF-8");
    struct Case {
        const char* what;
        std::string file;
    } cases[] = {
        {"bytes of no character", "http://a\n\xFF\xFEhttp://x\nhttp://b\n"},
        {"a NUL inside a line", std::string("http://a\nhttp://x") + '\0' + "y\nhttp://b\n"},
        {"a 10 MB line", "http://a\n" + std::string(10 << 20, 'x') + "\nhttp://b"},
    };
    const std::filesystem::path bad = dir.path() / "PlayUrl.info.bad";
    for (const auto& c : cases) {
        std::filesystem::remove(bad);
        dir.write("PlayUrl.info", c.file);
        cfg.g_UrlHistory.clear();
        cfg.LoadUrlHistory();
        EXPECT_EQ(cfg.g_UrlHistory, (std::vector<std::wstring>{L"http://a", L"http://b"})) << c.what;
        cfg.g_UrlHistory.push_back(L"http://c");
        ASSERT_TRUE(cfg.SaveUrlHistory());
        EXPECT_EQ(ReadFile(history), "http://a\nhttp://b\nhttp://c\n") << c.what;
        EXPECT_EQ(ReadFile(bad), c.file) << c.what;
    }
    dir.write("PlayUrl.info", "http://a\n\nhttp://b\n");
    std::filesystem::remove(bad);
    cfg.g_UrlHistory.clear();
    cfg.LoadUrlHistory();
    EXPECT_FALSE(std::filesystem::exists(bad)) << "an empty line is no damage";
}

TEST_F(PlayListFixture, HistoryFiles) {
    struct Case {
        const char* acp;
        std::string file;
        std::vector<std::wstring> entries;
    } cases[] = {
        {"UTF-8", "http://a\nhttp://b", {L"http://a", L"http://b"}},
        {"UTF-8", "http://a\r\nhttp://b\r\n", {L"http://a", L"http://b"}},
        {"UTF-8", "a\n\nb\n", {L"a", L"", L"b"}},
        {"UTF-8", "http://站点/视频|rtsp://x\n", {L"http://站点/视频|rtsp://x"}},
        {"GB18030", "http://\xD5\xBE\xB5\xE3/\r\n", {L"http://站点/"}},
        {"UTF-8", "", {}},
    };
    for (const auto& c : cases) {
        ScopedEnv acp("MORVANE_ACP", c.acp);
        dir.write("PlayUrl.info", c.file);
        cfg.g_UrlHistory.clear();
        cfg.LoadUrlHistory();
        EXPECT_EQ(cfg.g_UrlHistory, c.entries) << c.file;
        ASSERT_TRUE(cfg.SaveUrlHistory());
        cfg.g_UrlHistory.clear();
        cfg.LoadUrlHistory();
        EXPECT_EQ(cfg.g_UrlHistory, c.entries) << "after a save: " << c.file;
    }
    ScopedEnv acp("MORVANE_ACP", "GB18030");
    cfg.g_UrlHistory = {L"http://a\r\n", L"站\n点"};
    ASSERT_TRUE(cfg.SaveUrlHistory());
    EXPECT_EQ(ReadFile(history), "http://a\n\xD5\xBE\xB5\xE3\n");

    std::filesystem::remove(history);
    cfg.g_UrlHistory.clear();
    cfg.LoadUrlHistory();
    EXPECT_TRUE(cfg.g_UrlHistory.empty());
}

TEST(MediaInfo, FreshRecordAndCopies) {
    _tagMediaInfo r;
    EXPECT_TRUE(r.bVisible);
    EXPECT_EQ(r.nPlayState, 2);
    EXPECT_FALSE(r.bInvalid || r.bError || r.bPlayed);
    EXPECT_EQ(r.nPlayPos, 0);
    EXPECT_EQ(r.nPlayTime, 0);
    EXPECT_TRUE(r.strGroup.empty());
    r.bInvalid = true;
    _tagMediaInfo copy = r;
    EXPECT_TRUE(copy.bInvalid);
}

}  // namespace
