// The play-list window's operations without a display: play orders, the current record,
// series detection, adding folders and drops, removing, the saved list, and what the user does
// while a loaded list is still filling.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/profile/profile.h"
#include "player/play_list/play_list_menus.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"
#include "support/dialog_answer.h"
#include "support/temp_dir.h"
#include "support/write_lock_held.h"

namespace {

using testsupport::TempDir;

// The main window's side of the list: plays by calling back, as the real one does.
struct Owner : IPlayListOwner {
    CPlayListWnd* wnd = nullptr;
    std::vector<std::wstring> played, tips;
    int cleared = 0;
    bool nextEnabled = false;
    HWND GetOwnerWindow() const override { return nullptr; }
    void PlayFile(const std::wstring& path) override {
        played.push_back(path);
        wnd->SetCurrentItem(path, 0);
    }
    void ShowTip(const std::wstring& text) override { tips.push_back(text); }
    void EnablePlayNext(bool enable) override { nextEnabled = enable; }
    bool HasMediaPlayer() const override { return false; }
    void ClearCurrentPath() override { ++cleared; }
    void ShowFileInfo(const std::wstring&) override {}
    bool IsListJustShown() const override { return false; }
    void SetListJustShown(bool) override {}
    void AddChildWindow(HWND) override {}
    std::vector<HWND> GetInputWindows() const override { return {}; }
};

struct ListFixture : ::testing::Test {
    TempDir dir;
    Owner owner;
    std::unique_ptr<CPlayListWnd> wnd;

    ListFixture() {
        g_SysConfig.SetConfigPath((dir / "user.cfg").wstring());
        g_SysConfig.SetPlayListPath((dir / "PlayList.info").wstring());
        g_SysConfig.mapPlayList.clear();
        g_SysConfig.strCurSection.clear();
        g_SysConfig.nPlayOrder = 2;
        g_SysConfig.bAddSimilarFile = 0;
        g_SysConfig.nPlayListTransIdx = 4;
        Open();
    }
    // A window on the stored list; with stepRows the fill goes that many rows a step and the
    // test runs the steps.
    void Open(size_t stepRows = 0) {
        wnd.reset();
        wnd = std::make_unique<CPlayListWnd>(&owner);
        owner.wnd = wnd.get();
        wnd->SetFillStepRows(stepRows);
        EXPECT_TRUE(wnd->CreateHeadless());
        if (!stepRows) wnd->FinishFill();
    }
    std::wstring File(const std::string& rel) {
        return W(dir.write("media/" + rel, "x").string());
    }
    static std::wstring W(const std::string& utf8) { return skinui::CDuiString::FromUtf8(utf8); }
    std::wstring Folder(const std::string& rel) { return W((dir.path() / "media" / rel).string()); }
    CPlayListUI* List() { return wnd->GetList(); }
    // Rows as names: "[group]" for headers.
    std::string Rows() {
        std::string out;
        for (int i = 0; i < List()->GetCount(); ++i) {
            if (!out.empty()) out += " ";
            if (CPlayListItemUI* row = List()->GetItemUIAt(i))
                out += skinui::CDuiString(row->GetItemData()->strFileName).ToUtf8();
            else
                out += "[" + static_cast<CPlayListGroupUI*>(List()->GetItemAt(i))->GetGroupName().ToUtf8() + "]";
        }
        return out;
    }
    // The same without the file extensions.
    std::string Names() {
        std::string out = Rows();
        for (size_t at; (at = out.find(".mkv")) != std::string::npos;) out.erase(at, 4);
        return out;
    }
    std::string Name(const std::wstring& path) { return skinui::CDuiString(path.substr(path.rfind(L'/') + 1)).ToUtf8(); }
    // The main window's resume lookup when a file starts: the playing record's section.
    void PlayAndResume(const std::wstring& path) {
        Play(path);
        auto it = g_SysConfig.mapPlayList.FindByPath(path);
        g_SysConfig.strCurSection = it == g_SysConfig.mapPlayList.end() ? std::wstring() : it->first;
    }
    // What the main window writes at a position report: the key of the playing record into its
    // section of the layout the settings store holds. The record in memory keeps its value, so
    // only this write can bring `permille` into the file.
    void WritePosition(int permille) {
        if (g_SysConfig.mapPlayList.find(g_SysConfig.strCurSection) == g_SysConfig.mapPlayList.end()) return;
        g_SysConfig.iniPlayList.WriteInt(g_SysConfig.strCurSection.c_str(), L"nPlayPos", permille);
    }
    // The records of PlayList.info once its writes are done: "name:position" in section order.
    std::string Saved() {
        EXPECT_TRUE(g_SysConfig.FlushPlayList());
        const platform::ProfileSnapshot file(g_SysConfig.GetPlayListPath());
        std::string out;
        for (int n = 1;; ++n) {
            const std::wstring section = L"file" + std::to_wstring(n);
            std::wstring path;
            if (!file.ReadString(section, L"strFilePath", path)) return out;
            if (!out.empty()) out += " ";
            out += Name(path) + ":" + std::to_string(file.ReadInt(section, L"nPlayPos", -1));
        }
    }
    void DeleteRow(const std::wstring& path) {
        List()->SelectItem(List()->GetItemIndex(List()->FindItemUIByPath(path)), false, false, false);
        wnd->DeleteSelected();
    }
    std::string LastPlayed() { return owner.played.empty() ? "" : Name(owner.played.back()); }
    void Play(const std::wstring& path) { owner.PlayFile(path); }
};

TEST_F(ListFixture, NextPreviousAndLoopOverListsWithAndWithoutGroups) {
    std::wstring a = File("A.mkv"), b = File("B.mkv"), c = File("C.mkv");
    for (auto& p : {a, b, c}) wnd->AddFile(p);
    Play(b);
    wnd->PlayNextByOrder(PlayOrderLoop);
    EXPECT_EQ(LastPlayed(), "C.mkv");
    wnd->PlayNextByOrder(PlayOrderLoop);
    EXPECT_EQ(LastPlayed(), "A.mkv");
    // Sequential play stops at the end: nothing plays, selection and current stay.
    Play(c);
    List()->SelectItem(2, false, false, false);
    size_t before = owner.played.size();
    wnd->PlayNext();
    EXPECT_EQ(owner.played.size(), before);
    EXPECT_EQ(wnd->GetCurrentPath(), c);
    EXPECT_EQ(List()->GetCurSel(), 2);
    wnd->PlayPrevious();
    EXPECT_EQ(LastPlayed(), "B.mkv");
    wnd->PlayNextByOrder(PlayOrderSingleLoop);
    EXPECT_EQ(LastPlayed(), "B.mkv");
    before = owner.played.size();
    wnd->PlayNextByOrder(PlayOrderSingle);
    wnd->PlayNextByOrder(99);
    EXPECT_EQ(owner.played.size(), before);
    // The previous record is marked played; the current one shows as playing.
    EXPECT_TRUE(List()->FindItemUIByPath(c)->GetItemData()->bPlayed);
    EXPECT_EQ(List()->FindItemUIByPath(b)->GetItemData()->nPlayState, 0);
    EXPECT_EQ(List()->FindItemUIByPath(c)->GetItemData()->nPlayState, 2);

    // With a group first: the loop goes back to the group's first row, stepping over its header.
    wnd->ClearAll();
    File("S/e1.mkv");
    File("S/e2.mkv");
    ASSERT_EQ(wnd->AddFolderAsGroup(Folder("S")), 2);
    wnd->AddFile(a);
    EXPECT_EQ(Rows(), "[S] e1.mkv e2.mkv A.mkv");
    wnd->PlayNext();  // no current record: the first file row
    EXPECT_EQ(LastPlayed(), "e1.mkv");
    before = owner.played.size();
    wnd->PlayPrevious();  // the row before is the header: nothing plays
    EXPECT_EQ(owner.played.size(), before);
    Play(a);
    wnd->PlayNextByOrder(PlayOrderLoop);
    EXPECT_EQ(LastPlayed(), "e1.mkv");
    Play(Folder("S/e2.mkv"));
    EXPECT_EQ(skinui::CDuiString(wnd->GetNextName()).ToUtf8(), "A.mkv");
    wnd->PlayNext();
    EXPECT_EQ(LastPlayed(), "A.mkv");
    EXPECT_FALSE(owner.nextEnabled);  // the last row: no next
    EXPECT_EQ(wnd->GetNextName(), L"");
    g_SysConfig.nPlayOrder = PlayOrderLoop;
    EXPECT_EQ(skinui::CDuiString(wnd->GetNextName()).ToUtf8(), "e1.mkv");
    g_SysConfig.nPlayOrder = PlayOrderRandom;
    EXPECT_EQ(wnd->GetNextName(), L"");
    EXPECT_TRUE(wnd->IsLastItem(a));
    EXPECT_TRUE(wnd->IsLastItem(L"/not/listed.mkv"));
    EXPECT_FALSE(wnd->IsLastItem(Folder("S/e1.mkv")));
}

TEST_F(ListFixture, RandomDrawsAmongOtherFileRows) {
    std::vector<unsigned> asked;
    unsigned answer = 0;
    wnd->SetRandomSource([&](unsigned n) {
        asked.push_back(n);
        return answer;
    });
    std::wstring a = File("a.mkv");
    wnd->AddFile(a);
    Play(a);
    wnd->PlayRandomItem();  // one row: played again, no draw
    EXPECT_EQ(LastPlayed(), "a.mkv");
    EXPECT_TRUE(asked.empty());

    File("G/g1.mkv");
    File("G/g2.mkv");
    wnd->AddFolderAsGroup(Folder("G"));
    EXPECT_EQ(Rows(), "a.mkv [G] g1.mkv g2.mkv");
    // The header and the current row are not in the draw: two candidates, g1 and g2.
    answer = 1;
    wnd->PlayNextByOrder(PlayOrderRandom);
    EXPECT_EQ(asked.back(), 2u);
    EXPECT_EQ(LastPlayed(), "g2.mkv");
    answer = 0;
    wnd->PlayRandomItem();
    EXPECT_EQ(asked.back(), 2u);
    EXPECT_EQ(LastPlayed(), "a.mkv");
}

TEST_F(ListFixture, CurrentItemForPathsOutsideTheList) {
    std::wstring a = File("a.mkv"), extra = File("extra.mp4"), text = File("notes.txt");
    wnd->AddFile(a);
    Play(a);
    // Not a media file, or missing: nothing is added, the old record stops and stays current.
    wnd->SetCurrentItem(text, 0);
    wnd->SetCurrentItem(Folder("gone.mkv"), 0);
    EXPECT_EQ(List()->GetCount(), 1);
    EXPECT_EQ(wnd->GetCurrentPath(), a);
    EXPECT_EQ(wnd->GetCurrentRecord()->nPlayState, 2);
    EXPECT_TRUE(wnd->GetCurrentRecord()->bPlayed);
    // An existing media file is appended and becomes current, playing, whatever state was asked.
    wnd->SetCurrentItem(extra, 2);
    EXPECT_EQ(Rows(), "a.mkv extra.mp4");
    EXPECT_EQ(wnd->GetCurrentPath(), extra);
    EXPECT_EQ(wnd->GetCurrentRecord()->nPlayState, 0);
    EXPECT_EQ(g_SysConfig.iniPlayList.ReadString(L"CurPlay", L"strFilePath", L""), extra);
    // Paths are exact: another case is another file.
    wnd->SetCurrentItem(Folder("A.mkv"), 0);
    EXPECT_EQ(wnd->GetCurrentPath(), extra);
    wnd->SetCurrentItemProgress(75, 300);
    EXPECT_EQ(wnd->GetCurrentRecord()->nPlayTime, 75);
    EXPECT_EQ(wnd->GetCurrentRecord()->nPlayPos, 300);
}

TEST(NaturalOrder, NumbersByValueAndExactTies) {
    struct Case {
        const wchar_t *a, *b;
        int sign;
    } cases[] = {
        {L"Ep2.mkv", L"Ep10.mkv", -1}, {L"ep2.mkv", L"EP10.mkv", -1}, {L"a.mkv", L"A.mkv", 1},
        {L"A.mkv", L"a.mkv", -1},     {L"x1", L"x01", 1},            {L"b", L"a", 1},
        {L"same", L"same", 0},        {L"abc", L"abcd", -1},         {L"9", L"10", -1},
    };
    for (const Case& c : cases) {
        int r = NaturalCompare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << skinui::CDuiString(c.a).ToUtf8() << " " << skinui::CDuiString(c.b).ToUtf8();
    }
}

TEST(Series, SimilarNames) {
    struct Case {
        const wchar_t *a, *b;
        bool similar;
    } cases[] = {
        {L"EP01.mkv", L"EP02.mkv", true},
        {L"EP9.mkv", L"EP10.mkv", true},
        {L"第一集.mp4", L"第十集.mp4", true},
        {L"第一集.mp4", L"第十一集预告.mp4", true},
        {L"EP01.mkv", L"EP01 SD.mkv", false},
        {L"Movie 1080p.mkv", L"Movie 720p.mkv", true},
        {L"EPA.mkv", L"EPB.mkv", false},
        {L"Show.mkv", L"show.mkv", true},
        {L"EP01.mkv", L"EP01.mkv", true},
        {L"EP01.mkv", L"EP02.avi", false},
        {L"EP01.mkv", L"EP02.MKV", true},
        {L"", L"", false},
        {L"/d/", L"/d/EP01.mkv", false},
        {L"/d/EP01.mkv", L"/d/EP02.mkv", true},
        {L"/d1/EP01.mkv", L"/d2/EP01.mkv", false},  // episodes of one series share a folder
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSimilarFileName(c.a, c.b), c.similar) << skinui::CDuiString(c.a).ToUtf8() << " | " << skinui::CDuiString(c.b).ToUtf8();
    EXPECT_TRUE(IsChineseNumeral(0x5341));
    EXPECT_FALSE(IsChineseNumeral(L'1'));
    // Long names are not cut short.
    std::wstring longA = std::wstring(400, L'x') + L"1.mkv", longB = std::wstring(400, L'x') + L"2.mkv";
    EXPECT_TRUE(IsSimilarFileName(longA, longB));
    EXPECT_FALSE(IsSimilarFileName(longA, std::wstring(400, L'x') + L"2 extra.mkv"));
}

TEST_F(ListFixture, SeriesAddBringsTheOtherEpisodes) {
    g_SysConfig.bAddSimilarFile = 1;
    std::wstring ep2 = File("show/Ep2.mkv");
    for (const char* n : {"show/Ep1.mkv", "show/Ep10.mkv", "show/Ep2 extra.mkv", "show/Notes.txt", "show/.hidden1.mkv"}) File(n);
    EXPECT_EQ(wnd->AddFiles({ep2}, false), 3);
    EXPECT_EQ(Rows(), "Ep1.mkv Ep2.mkv Ep10.mkv");
    EXPECT_EQ(owner.tips.back(), L"共添加3个文件到列表");
    // All candidates listed already.
    EXPECT_EQ(wnd->AddFiles({Folder("show/Ep10.mkv")}, false), 0);
    EXPECT_EQ(owner.tips.back(), L"文件已经在列表中");

    wnd->ClearAll();
    std::wstring one = File("cn/第一集.mp4");
    for (const char* n : {"cn/第二集.mp4", "cn/第十集.mp4", "cn/第十一集预告.mp4", "cn/花絮.mp4"}) File(n);
    EXPECT_EQ(wnd->AddFiles({one}, false), 4);
    EXPECT_EQ(Rows(), "第一集.mp4 第二集.mp4 第十一集预告.mp4 第十集.mp4");

    // Similar inputs side by side count once; only the last of a chain is looked for.
    wnd->ClearAll();
    std::wstring a = File("chain/A1.mkv"), b = File("chain/A2.mkv");
    File("chain/A3.mkv");
    File("chain/B.mkv");
    EXPECT_EQ(wnd->AddFiles({a, b}, false), 3);
    EXPECT_EQ(Rows(), "A1.mkv A2.mkv A3.mkv");

    // A folder without media files: nothing, and no tip.
    wnd->ClearAll();
    size_t tips = owner.tips.size();
    EXPECT_EQ(wnd->AddFiles({File("empty/readme.txt")}, false), 0);
    EXPECT_EQ(owner.tips.size(), tips);
    // A sibling folder numbered differently is another series, with a pass of its own.
    File("s1/E.mkv");
    File("s2/E2.mkv");
    EXPECT_EQ(wnd->AddFiles({Folder("s1/E.mkv"), File("s2/E.mkv")}, false), 3);
    EXPECT_EQ(Rows(), "E.mkv E.mkv E2.mkv");
    EXPECT_EQ(List()->GetItemUIAt(0)->GetItemData()->strFilePath, Folder("s1/E.mkv"));
    EXPECT_EQ(List()->GetItemUIAt(1)->GetItemData()->strFilePath, Folder("s2/E.mkv"));
    // A given file comes in also where the folder scan passes over its name.
    wnd->ClearAll();
    EXPECT_EQ(wnd->AddFiles({File("h/.hidden.mkv")}, false), 1);
    g_SysConfig.bAddSimilarFile = 0;
    EXPECT_EQ(wnd->AddFiles({Folder("s1/E.mkv")}, false), 0);
}

TEST_F(ListFixture, FolderAsGroupInNaturalOrder) {
    for (const char* n : {"Season 1/ep10.mkv", "Season 1/ep2.mkv", "Season 1/Ep1.mkv", "Season 1/ep1.mkv",
                          "Season 1/.partial.mkv", "Season 1/cover.jpg", "Season 1/extras/ep3.mkv"})
        File(n);
    EXPECT_EQ(wnd->AddFolderAsGroup(Folder("Season 1") + L"/"), 4);
    EXPECT_EQ(Rows(), "[Season 1] Ep1.mkv ep1.mkv ep2.mkv ep10.mkv");
    // Again: every file refused, the group keeps its rows.
    EXPECT_EQ(wnd->AddFolderAsGroup(Folder("Season 1")), 0);
    EXPECT_EQ(List()->GetCount(), 5);
    // Nothing to add: no group stays behind; a folder that cannot be listed adds nothing.
    File("only subfolders/sub/a.mkv");
    EXPECT_EQ(wnd->AddFolderAsGroup(Folder("only subfolders")), 0);
    EXPECT_EQ(wnd->AddFolderAsGroup(Folder("missing")), 0);
    EXPECT_FALSE(List()->HasGroup(L"only subfolders"));
    EXPECT_FALSE(List()->HasGroup(L"missing"));
    // Two folders of one name share a group.
    File("x/Season 1/z.mkv");
    EXPECT_EQ(wnd->AddFolderAsGroup(Folder("x/Season 1")), 1);
    EXPECT_EQ(Rows(), "[Season 1] Ep1.mkv ep1.mkv ep2.mkv ep10.mkv z.mkv");
}

TEST_F(ListFixture, DropsAddFoldersAndFilesAndNameWhatToPlay) {
    std::wstring p1 = File("one/a.mkv"), p2 = File("two/b.mkv");
    // Two files of different folders: appended in descending natural order of path.
    EXPECT_EQ(wnd->AddDroppedPaths({p1, p2}), p2);
    EXPECT_EQ(Rows(), "b.mkv a.mkv");
    EXPECT_EQ(owner.tips.back(), L"共添加2个文件到列表");
    EXPECT_EQ(wnd->AddDroppedPaths({p1}), L"");
    EXPECT_EQ(owner.tips.back(), L"文件已经在列表中");
    // A folder with files: the folder's first file is the one to play.
    File("dir/2.mkv");
    File("dir/10.mkv");
    EXPECT_EQ(Name(wnd->AddDroppedPaths({File("c.mkv"), Folder("dir")})), "2.mkv");
    EXPECT_EQ(owner.tips.back(), L"共添加3个文件到列表");
    EXPECT_EQ(Rows(), "b.mkv a.mkv [dir] 2.mkv 10.mkv c.mkv");
    // Only sub-folders and other files: no group, and the tip says so.
    File("junk/sub/x.mkv");
    File("junk/readme.txt");
    EXPECT_EQ(wnd->AddDroppedPaths({Folder("junk")}), L"");
    EXPECT_FALSE(List()->HasGroup(L"junk"));
    EXPECT_EQ(owner.tips.back(), L"没有添加文件到列表");
    // With series on, files of two folders: each folder's episodes join, and both files land.
    g_SysConfig.bAddSimilarFile = 1;
    wnd->ClearAll();
    File("one/a2.mkv");
    File("two/b2.mkv");
    EXPECT_EQ(wnd->AddDroppedPaths({p1, p2}), p2);
    EXPECT_EQ(Rows(), "a.mkv a2.mkv b.mkv b2.mkv");
    EXPECT_EQ(owner.tips.back(), L"共添加4个文件到列表");
    // With series on, dropping only folders shows no tip.
    File("more/m.mkv");
    size_t tips = owner.tips.size();
    wnd->AddDroppedPaths({Folder("more")});
    EXPECT_EQ(owner.tips.size(), tips);
    // The drop never moved the process's current folder.
    EXPECT_NE(std::filesystem::current_path(), dir.path() / "media" / "more");
}

TEST_F(ListFixture, ChosenFilesAddNothingWhenOneIsGone) {
    std::wstring a = File("pick/a.mkv");
    File("pick/b.mkv");
    wnd->AddChosenFiles(Folder("pick"), {L"a.mkv", L"gone.mkv"});
    EXPECT_EQ(List()->GetCount(), 0);
    wnd->AddChosenFiles(Folder("pick"), {L"a.mkv", L"b.mkv", L"a.mkv"});
    EXPECT_EQ(Rows(), "b.mkv a.mkv");
}

TEST_F(ListFixture, DialogsAddTheChosenFilesAndFolder) {
    std::wstring a = File("pick/a.mkv"), b = File("pick/b.mkv");
    File("pick/c.mkv");
    {
        testsupport::ScopedDialogAnswer answer("");
        size_t tips = owner.tips.size();
        wnd->AddFilesByDialog();
        EXPECT_EQ(wnd->AddFolderByDialog(), -1);
        EXPECT_EQ(owner.tips.size(), tips);
        EXPECT_EQ(List()->GetCount(), 0);
    }
    {
        testsupport::ScopedDialogAnswer answer(skinui::CDuiString(a).ToUtf8() + "|" + skinui::CDuiString(b).ToUtf8());
        wnd->AddFilesByDialog();
        EXPECT_EQ(Rows(), "b.mkv a.mkv");
        EXPECT_EQ(owner.tips.back(), L"共添加2个文件到列表");
    }
    {
        testsupport::ScopedDialogAnswer answer((dir.path() / "media" / "pick").string());
        EXPECT_EQ(wnd->AddFolderByDialog(), 1);
        EXPECT_EQ(Rows(), "b.mkv a.mkv [pick] c.mkv");
    }
}

TEST_F(ListFixture, DeletingClearsTheCurrentRecordAndSelectsTheNextRow) {
    std::wstring a = File("a.mkv"), b = File("b.mkv"), c = File("c.mkv");
    for (auto& p : {a, b, c}) wnd->AddFile(p);
    Play(c);
    List()->SelectItem(2, false, false, false);
    wnd->DeleteSelected();
    EXPECT_EQ(Rows(), "a.mkv b.mkv");
    EXPECT_EQ(wnd->GetCurrentRecord(), nullptr);
    EXPECT_GE(owner.cleared, 1);
    EXPECT_EQ(List()->GetCurSel(), 1);  // the new last row
    // The next step starts from the top again.
    wnd->PlayNext();
    EXPECT_EQ(LastPlayed(), "a.mkv");
    // Clearing the list forgets the current record and the section positions are written to.
    g_SysConfig.strCurSection = L"file1";
    wnd->ClearAll();
    EXPECT_EQ(wnd->GetCurrentRecord(), nullptr);
    EXPECT_TRUE(g_SysConfig.strCurSection.empty());
    EXPECT_EQ(List()->GetCount(), 0);
}

TEST_F(ListFixture, DeletingASelectionRemovesWhatItHoldsAndNothingElse) {
    // A header takes its rows; a group that loses its last row goes; the rest stays. The
    // rows go by the road of the keys: Ctrl+A or clicks, then Delete.
    const std::string whole = "t1 [G] g1 g2 t2 [H] h1 h2 t3";
    struct Case {
        const char* name;
        std::vector<int> selected;  // indexes into `whole`; empty for Ctrl+A
        std::string rows;
        std::string selectedAfter;
        bool currentGoes;  // g1 plays
    };
    const Case cases[] = {
        {"every row", {}, "", "", true},
        {"a header with its rows", {1, 2, 3}, "t1 t2 [H] h1 h2 t3", "t2", true},
        {"a header with its first row", {1, 2}, "t1 t2 [H] h1 h2 t3", "t2", true},
        {"a header with its last row", {1, 3}, "t1 t2 [H] h1 h2 t3", "t2", true},
        {"every row of a group, not its header", {2, 3}, "t1 t2 [H] h1 h2 t3", "[H]", true},
        {"a header, its rows and the row after", {1, 2, 3, 4}, "t1 [H] h1 h2 t3", "[H]", true},
        {"rows of two groups", {3, 6}, "t1 [G] g1 t2 [H] h2 t3", "t2", false},
        {"one group whole and a row of the other", {2, 3, 7}, "t1 t2 [H] h1 t3", "[H]", true},
        {"two headers", {1, 5}, "t1 t2 t3", "t2", true},
        {"the last group whole and the last row", {5, 6, 7, 8}, "t1 [G] g1 g2 t2", "t2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wnd->ClearAll();
        const std::wstring g1 = File("G/g1.mkv");
        File("G/g2.mkv");
        File("H/h1.mkv");
        File("H/h2.mkv");
        wnd->AddFile(File("t1.mkv"));
        wnd->AddFolderAsGroup(Folder("G"));
        wnd->AddFile(File("t2.mkv"));
        wnd->AddFolderAsGroup(Folder("H"));
        wnd->AddFile(File("t3.mkv"));
        ASSERT_EQ(Names(), whole);
        Play(g1);
        const int cleared = owner.cleared;
        if (c.selected.empty()) {
            List()->SelectItem(0, false, false, false);
            List()->SelectAllItems();
        } else {
            List()->SelectItem(c.selected.front(), false, false, false);
            for (int i : c.selected) List()->SelectItem(i, true, false, false);
        }
        wnd->HandleMessage(WM_KEYDOWN, VK_DELETE, 0);
        EXPECT_EQ(Names(), c.rows);
        const int sel = List()->GetCurSel();
        if (c.selectedAfter.empty()) {
            EXPECT_EQ(sel, -1);
        } else {
            ASSERT_GE(sel, 0);
            CPlayListItemUI* row = List()->GetItemUIAt(sel);
            const std::string name =
                row ? Name(row->GetItemData()->strFilePath)
                    : "[" + static_cast<CPlayListGroupUI*>(List()->GetItemAt(sel))->GetGroupName().ToUtf8() + "]";
            EXPECT_EQ(name.substr(0, name.find('.')), c.selectedAfter);
        }
        EXPECT_EQ(wnd->GetCurrentRecord() == nullptr, c.currentGoes);
        EXPECT_EQ(owner.cleared > cleared, c.currentGoes);
        // The saved list holds the records shown, in their order.
        std::string shown, saved;
        std::istringstream rows(c.rows), records(Saved());
        for (std::string w; rows >> w;)
            if (w[0] != '[') shown += w + " ";
        for (std::string w; records >> w;) saved += w.substr(0, w.find('.')) + " ";
        EXPECT_EQ(saved, shown);
    }
}

TEST_F(ListFixture, RemovingTheCurrentRowLeavesNoSectionForPositionWrites) {
    // Every road that takes the current row away: its own row deleted, its group's header
    // deleted, its file gone and the invalid rows removed.
    struct Road {
        const char* name;
        bool clearsCurrentPath;
        std::function<void()> remove;
    };
    const Road roads[] = {
        {"delete the row", true, [&] {
             List()->SelectItem(List()->GetItemIndex(List()->FindItemUIByPath(Folder("S/long.mkv"))), false, false, false);
             wnd->DeleteSelected();
         }},
        {"delete the group", true, [&] {
             List()->SelectItem(List()->GetItemIndex(List()->GetGroup(L"S")), false, false, false);
             wnd->DeleteSelected();
         }},
        {"remove invalid", false, [&] {
             std::filesystem::remove(dir.path() / "media" / "S" / "long.mkv");
             wnd->RemoveInvalidItems();
         }},
    };
    for (const Road& road : roads) {
        wnd->ClearAll();
        const std::wstring x1 = File("x1.mkv"), x3 = File("x3.mkv"), playing = File("S/long.mkv");
        wnd->AddFile(x1);
        wnd->AddFolderAsGroup(Folder("S"));
        wnd->AddFile(x3);
        Play(playing);
        wnd->SavePlayList();
        ASSERT_EQ(g_SysConfig.strCurSection, L"file2") << road.name;
        const int cleared = owner.cleared;
        road.remove();
        EXPECT_EQ(Rows(), "x1.mkv x3.mkv") << road.name;
        EXPECT_EQ(wnd->GetCurrentRecord(), nullptr) << road.name;
        // "file2" is x3's record now: no position may be written there for the file that plays.
        EXPECT_TRUE(g_SysConfig.strCurSection.empty()) << road.name;
        EXPECT_EQ(owner.cleared > cleared, road.clearsCurrentPath) << road.name;
    }
}

// PlayList.info is written by a thread of its own. A position write is made into the sections
// of the layout the settings store holds, and lands in that layout of the file: after the save
// that made it, before the next one. "Held": the file's write lock is held while the steps run,
// so the saves are still waiting to be written when the position writes come.
TEST_F(ListFixture, PositionWritesLandInTheLayoutTheyWereMadeFor) {
    struct Case {
        const char* name;
        bool held;
        std::function<void()> steps;
        const char* saved;
    };
    std::wstring a, b, c;
    const Case cases[] = {
        {"a save, then a position write", false,
         [&] {
             DeleteRow(a);
             WritePosition(777);
         },
         "b.mkv:777 c.mkv:0"},
        {"a position write while the save is still to be written", true,
         [&] {
             DeleteRow(a);
             WritePosition(777);
         },
         "b.mkv:777 c.mkv:0"},
        {"a position write before a save that numbers the sections anew", true,
         [&] {
             WritePosition(777);
             DeleteRow(a);
         },
         "b.mkv:0 c.mkv:0"},
        {"the playing record removed while the save is still to be written", true,
         [&] {
             WritePosition(777);
             DeleteRow(b);
             WritePosition(778);
         },
         "a.mkv:0 c.mkv:0"},
        {"an add, then the position of a record further down", true,
         [&] {
             wnd->AddFile(File("d.mkv"));
             PlayAndResume(c);
             WritePosition(777);
         },
         "a.mkv:0 b.mkv:0 c.mkv:777 d.mkv:0"},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        wnd->ClearAll();
        a = File("a.mkv"), b = File("b.mkv"), c = File("c.mkv");
        for (const auto& p : {a, b, c}) wnd->AddFile(p);
        PlayAndResume(b);
        ASSERT_EQ(g_SysConfig.strCurSection, L"file2");
        ASSERT_EQ(Saved(), "a.mkv:0 b.mkv:0 c.mkv:0");
        {
            std::optional<platform::FileWriteLock> held;
            if (t.held) held.emplace(platform::FsPath(g_SysConfig.GetPlayListPath()));
            t.steps();
        }
        EXPECT_EQ(Saved(), t.saved);
    }
}

// A save while the loaded list still fills numbers the records still to come too; the position
// of the playing one, still to come, goes into its section.
TEST_F(ListFixture, APositionWriteWhileTheListFillsFindsItsRecord) {
    wnd.reset();
    g_SysConfig.mapPlayList.clear();
    const std::wstring a = File("a.mkv"), b = File("b.mkv"), c = File("c.mkv"), d = File("d.mkv");
    size_t n = 0;
    for (const auto& p : {a, b, c, d}) {
        _tagMediaInfo r;
        r.strFilePath = p;
        g_SysConfig.mapPlayList.emplace(++n, r);
    }
    Open(1);
    ASSERT_EQ(Rows(), "a.mkv");
    PlayAndResume(d);
    ASSERT_EQ(g_SysConfig.strCurSection, L"file4");
    {
        platform::FileWriteLock held(platform::FsPath(g_SysConfig.GetPlayListPath()));
        DeleteRow(a);
        EXPECT_EQ(g_SysConfig.strCurSection, L"file3");
        WritePosition(777);
    }
    EXPECT_TRUE(wnd->IsFilling());
    EXPECT_EQ(Saved(), "b.mkv:0 c.mkv:0 d.mkv:777");
}

// The list's last save is on the disk when its window is gone, also while its writer still
// waits: the writer is kept from the file for a while, so an end that did not wait for it would
// leave the file as it was.
TEST_F(ListFixture, ClosingRightAfterAChangeLeavesItOnTheDisk) {
    wnd->AddFile(File("a.mkv"));
    ASSERT_TRUE(g_SysConfig.FlushPlayList());
    const std::string file = platform::FsPath(g_SysConfig.GetPlayListPath());
    testsupport::WriteLockHeld slowDisk(file, std::chrono::milliseconds(300));
    wnd->AddFile(File("b.mkv"));
    wnd.reset();
    EXPECT_NE(testsupport::ReadFile(file).find("b.mkv"), std::string::npos);
}

TEST_F(ListFixture, RemoveInvalidDropsMissingFilesAndEmptyGroups) {
    std::wstring keep = File("keep.mkv");
    File("G/lost.mkv");
    wnd->AddFile(keep);
    wnd->AddFile(Folder("never.mkv"));
    wnd->AddFolderAsGroup(Folder("G"));
    std::filesystem::remove(dir.path() / "media" / "G" / "lost.mkv");
    wnd->RemoveInvalidItems();
    EXPECT_EQ(Rows(), "keep.mkv");
}

TEST_F(ListFixture, SavedListComesBackWithGroupsCollapseAndCurrentFile) {
    std::wstring top = File("top.mkv");
    File("S/e1.mkv");
    File("S/e2.mkv");
    File("T/t1.mkv");
    wnd->AddFile(top);
    wnd->AddFolderAsGroup(Folder("S"));
    wnd->AddFolderAsGroup(Folder("T"));
    wnd->AddFile(Folder("missing.mkv"));
    List()->GetGroup(L"T")->Expand(false);
    Play(Folder("S/e2.mkv"));
    wnd->SetCurrentItemProgress(61, 250);
    wnd->SavePlayList();
    EXPECT_EQ(g_SysConfig.strCurSection, L"file3");

    // A fresh start: the settings store reads the file, the window builds its rows.
    g_SysConfig.mapPlayList.clear();
    g_SysConfig.LoadPlayList();
    Open();
    EXPECT_EQ(Rows(), "top.mkv [S] e1.mkv e2.mkv [T] t1.mkv missing.mkv");
    EXPECT_FALSE(List()->GetItemAt(5)->IsVisible());
    EXPECT_TRUE(List()->GetGroup(L"T")->GetFolderButton()->IsSelected());
    EXPECT_TRUE(List()->GetItemUIAt(6)->GetItemData()->bInvalid);
    EXPECT_FALSE(List()->GetItemUIAt(1 + 1)->GetItemData()->bInvalid);
    _tagMediaInfo* e2 = List()->GetItemUIAt(3)->GetItemData();
    EXPECT_EQ(e2->nPlayTime, 61);
    EXPECT_EQ(e2->nPlayPos, 250);
    EXPECT_EQ(e2->strGroup, L"S");
    // [CurPlay] selects its row but makes no record current.
    EXPECT_EQ(List()->GetCurSel(), 3);
    EXPECT_EQ(wnd->GetCurrentRecord(), nullptr);
}

TEST_F(ListFixture, ImagesTheRowsAndButtonsDrawAreInTheSkin) {
    for (const wchar_t* image : {L"playstate_play.png", L"file_invalid.png", L"playlist_expand.png", L"playlist_handler.png",
                                 L"play_single_loop.png", L"play_single.png", L"play_sequ.png", L"play_loop.png",
                                 L"play_random.png", L"select.png", L"select_hover.png"})
        EXPECT_NE(skinui::CPaintManagerUI::GetImageEx(image), nullptr) << skinui::CDuiString(image).ToUtf8();
    const skinui::TImageInfo* order = skinui::CPaintManagerUI::GetImageEx(L"play_sequ.png");
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(order->nWidth, 72);  // normal, hot and pushed cells of 24
    EXPECT_EQ(order->nHeight, 24);
}

TEST_F(ListFixture, PlayOrderButtonMenusAndBackground) {
    EXPECT_EQ(CPlayListWnd::ListBackColor(8), 0x01040404u);
    EXPECT_EQ(CPlayListWnd::ListBackColor(0) >> 24, 204u);
    EXPECT_EQ(CPlayListWnd::ListBackColor(4) >> 24, 102u);
    skinui::CButtonUI* btn = wnd->GetPlayOrderButton();
    ASSERT_NE(btn, nullptr);
    EXPECT_EQ(btn->GetNormalImage(), L"file='play_sequ.png' source='0,0,24,24'");
    EXPECT_EQ(btn->GetPushedImage(), L"file='play_sequ.png' source='48,0,72,24'");
    DispatchPlayOrderMenu(*wnd, L"play_random");
    EXPECT_EQ(g_SysConfig.nPlayOrder, 4);
    EXPECT_EQ(g_SysConfig.iniConfig.ReadInt(L"Global", L"nPlayOrder", -1), 4);
    EXPECT_EQ(btn->GetHotImage(), L"file='play_random.png' source='24,0,48,24'");
    EXPECT_EQ(btn->GetToolTip(), L"随机播放");
    DispatchPlayListMenu(*wnd, L"play_single_loop");
    EXPECT_EQ(GetPlayListMenuState(*wnd).checkedOrder, 0);
    DispatchPlayOrderMenu(*wnd, L"null");
    EXPECT_EQ(g_SysConfig.nPlayOrder, 0);

    auto enabled = [&](std::vector<int> positions) {
        PlayListMenuState s = GetPlayListMenuState(*wnd);
        std::vector<int> out;
        for (int p : positions)
            if (s.majorEnabled[p]) out.push_back(p);
        return out;
    };
    const std::vector<int> items{0, 1, 2, 3, 5, 6, 7, 9};
    EXPECT_EQ(enabled(items), (std::vector<int>{0, 9}));
    wnd->AddFile(File("a.mkv"));
    List()->UnSelectAll();
    EXPECT_EQ(enabled(items), (std::vector<int>{0, 6, 7, 9}));
    List()->SelectItem(0, false, false, false);
    EXPECT_EQ(enabled(items), items);
    DispatchPlayListMenu(*wnd, L"play");
    EXPECT_EQ(LastPlayed(), "a.mkv");
    DispatchPlayListMenu(*wnd, L"dele");
    EXPECT_EQ(List()->GetCount(), 0);
}

// A stored list the window fills two rows a step (a group always whole): after the first step
// it shows "t1 [G1] g1a g1b g1c" and the rest is still to come.
// A list of 1,000 records as a save writes it, with one kind of damage; the paths that a
// careful reading keeps, in their order.
TEST_F(ListFixture, ADamagedListKeepsEveryIntactRecordAndItsOriginal) {
    constexpr int kRecords = 1000;
    auto section = [](int n, const std::string& group = "") {
        return "[file" + std::to_string(n) + "]\nstrFilePath=/m/f" + std::to_string(n) +
               ".mkv\nbVisible=1\nbError=0\nnPlayTime=" + std::to_string(n) + "\nnPlayPos=0\nstrGroup=" + group +
               "\nbPlayed=0\n";
    };
    std::string intact;
    for (int n = 1; n <= kRecords; ++n) intact += section(n);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = intact;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    auto all = [](std::initializer_list<int> without) {
        std::vector<std::wstring> paths;
        for (int n = 1; n <= kRecords; ++n)
            if (std::find(without.begin(), without.end(), n) == without.end())
                paths.push_back(L"/m/f" + std::to_wstring(n) + L".mkv");
        return paths;
    };
    const std::string cut = intact.substr(0, intact.find("bVisible", intact.find("[file1000]")) + 4);
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::wstring> kept;
    } cases[] = {
        {"a key name flipped", replaced("[file115]\nstrFilePath", "[file115]\nstrFileP_th"), all({115})},
        {"a section name flipped", replaced("[file115]", "[fil_115]"), all({115})},
        {"a header's bracket flipped", replaced("[file115]", "{file115]"), all({115})},
        {"a section twice", replaced("[file2]", "[file1]"), all({})},
        {"a section gone", replaced(section(300), ""), all({300})},
        {"cut in mid-record", cut, all({})},
        {"a 10 MB value", replaced(section(500), section(500, std::string(10 << 20, 'g'))), all({500})},
    };
    const std::filesystem::path bad = dir / "PlayList.info.bad";
    for (const auto& c : cases) {
        wnd.reset();  // its close would save over the file
        ASSERT_TRUE(g_SysConfig.FlushPlayList());
        std::filesystem::remove(bad);
        dir.write("PlayList.info", c.file);
        g_SysConfig.mapPlayList.clear();
        g_SysConfig.LoadPlayList();
        Open();
        ASSERT_EQ(static_cast<size_t>(List()->GetCount()), c.kept.size()) << c.what;
        for (size_t i = 0; i < c.kept.size(); i += 97)
            EXPECT_EQ(List()->GetItemUIAt(static_cast<int>(i))->GetItemData()->strFilePath, c.kept[i]) << c.what;
        // Closing saves the list from memory.
        wnd.reset();
        ASSERT_TRUE(g_SysConfig.FlushPlayList());
        const platform::ProfileSnapshot saved(g_SysConfig.GetPlayListPath());
        std::vector<std::wstring> paths;
        for (size_t n = 1;; ++n) {
            std::wstring path;
            if (!saved.ReadString(L"file" + std::to_wstring(n), L"strFilePath", path)) break;
            paths.push_back(path);
        }
        EXPECT_EQ(paths, c.kept) << c.what;
        EXPECT_EQ(testsupport::ReadFile(bad), c.file) << c.what << ": the damaged original stays on the disk";
    }
    // Read once more, the list saved from the damaged one is whole: nothing more is set aside.
    std::filesystem::remove(bad);
    g_SysConfig.LoadPlayList();
    EXPECT_EQ(g_SysConfig.mapPlayList.size(), static_cast<size_t>(kRecords) - 1);
    EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST_F(ListFixture, WhatTheUserDoesWhileTheListFillsMeetsTheWholeList) {
    const char* const stored[][2] = {{"t1", ""},   {"g1a", "G1"}, {"g1b", "G1"}, {"g1c", "G1"}, {"t2", ""},
                                     {"g2a", "G2"}, {"g2b", "G2"}, {"t3", ""},   {"t4", ""},   {"g3a", "G3"},
                                     {"g3b", "G3"}, {"t5", ""}};
    const std::string whole = "t1 [G1] g1a g1b g1c t2 [G2] g2a g2b t3 t4 [G3] g3a g3b t5";
    auto path = [&](const std::string& name) {
        for (auto& r : stored)
            if (name == r[0]) return Folder(std::string(r[1]).empty() ? name + ".mkv" : std::string(r[1]) + "/" + name + ".mkv");
        return std::wstring();
    };
    struct Case {
        const char* name;
        std::function<void()> act;
        std::string rows;  // the complete list afterwards, file extensions left out
        bool onShownRows = false;  // acts on rows the window already shows
    };
    const Case cases[] = {
        {"nothing", [] {}, whole},
        {"a group deleted",
         [&] {
             List()->SelectItem(1, false, false, false);
             wnd->DeleteSelected();
         },
         "t1 t2 [G2] g2a g2b t3 t4 [G3] g3a g3b t5", true},
        {"a group dragged before the first row",
         [&] {
             List()->SelectItem(1, false, false, false);
             List()->MoveSelectionTo(List()->GetItemAt(0));
         },
         "[G1] g1a g1b g1c t1 t2 [G2] g2a g2b t3 t4 [G3] g3a g3b t5", true},
        {"the list cleared", [&] { wnd->ClearAll(); }, ""},
        {"invalid records removed, also those still to come",
         [&] {
             std::filesystem::remove(skinui::CDuiString(path("g2b")).ToUtf8());
             std::filesystem::remove(skinui::CDuiString(path("t1")).ToUtf8());
             wnd->RemoveInvalidItems();
         },
         "[G1] g1a g1b g1c t2 [G2] g2a t3 t4 [G3] g3a g3b t5"},
        {"a file still to come added again is refused",
         [&] {
             wnd->AddFile(path("t4"));
             EXPECT_EQ(List()->GetCount(), 5);
         },
         whole, true},
        {"a file still to come played becomes current and shows when it comes",
         [&] {
             Play(path("g3b"));
             EXPECT_EQ(wnd->GetCurrentPath(), path("g3b"));
             EXPECT_EQ(List()->GetCount(), 5);
             EXPECT_FALSE(wnd->IsLastItem(path("g3b")));
             wnd->SetCurrentItemProgress(42, 300);
         },
         whole, true},
        {"next from the last row plays the row that comes after it",
         [&] {
             Play(path("g1c"));
             wnd->PlayNext();
             EXPECT_EQ(LastPlayed(), "t2.mkv");
             EXPECT_EQ(wnd->GetCurrentPath(), path("t2"));
         },
         whole},
        {"the window closed", [&] { wnd.reset(); }, whole},
    };
    // Each also while the settings store still reads the file on its thread: the window shows
    // nothing of the list yet, and whatever the user does meets the whole list all the same.
    for (const bool stillRead : {false, true})
    for (const Case& c : cases) {
        if (stillRead && c.onShownRows) continue;
        SCOPED_TRACE(std::string(c.name) + (stillRead ? ", the file still being read" : ""));
        wnd.reset();  // its last save would replace the stored list
        g_SysConfig.mapPlayList.clear();
        g_SysConfig.strCurSection.clear();
        std::filesystem::remove(dir.path() / "PlayList.info");
        for (size_t n = 0; n < std::size(stored); ++n) {
            _tagMediaInfo r;
            std::string group = stored[n][1];
            r.strFilePath = File(group.empty() ? std::string(stored[n][0]) + ".mkv" : group + "/" + stored[n][0] + ".mkv");
            r.strGroup = W(group);
            g_SysConfig.mapPlayList[L"file" + std::to_wstring(n + 1)] = r;
        }
        if (stillRead) {
            ASSERT_TRUE(g_SysConfig.SavePlayList());
            ASSERT_TRUE(g_SysConfig.FlushPlayList());
            g_SysConfig.mapPlayList.clear();
            g_SysConfig.BeginLoadPlayList();
        }
        Open(2);
        ASSERT_TRUE(wnd->IsFilling());
        ASSERT_EQ(Names(), stillRead ? "" : "t1 [G1] g1a g1b g1c");
        c.act();
        if (!wnd) {
            // Closing saved the whole list.
            g_SysConfig.mapPlayList.clear();
            g_SysConfig.LoadPlayList();
            Open();
            EXPECT_EQ(Names(), c.rows);
            continue;
        }
        // A save while the list fills writes what the complete list writes.
        wnd->SavePlayList();
        ASSERT_TRUE(g_SysConfig.FlushPlayList());
        const std::string whileFilling = dir.read("PlayList.info");
        wnd->FinishFill();
        EXPECT_FALSE(wnd->IsFilling());
        EXPECT_EQ(Names(), c.rows);
        wnd->SavePlayList();
        ASSERT_TRUE(g_SysConfig.FlushPlayList());
        EXPECT_EQ(whileFilling, dir.read("PlayList.info"));
        if (std::string(c.name).find("played") != std::string::npos) {
            CPlayListItemUI* row = List()->FindItemUIByPath(path("g3b"));
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(wnd->GetCurrentRecord(), row->GetItemData());
            EXPECT_TRUE(row->GetLook().stateIcon);
            EXPECT_EQ(row->GetItemData()->nPlayTime, 42);
            EXPECT_EQ(row->GetItemData()->strGroup, L"G3");
        }
    }
}

}  // namespace
