// The settings pages over the real "SettingWnd.xml" of the skin resource, on a paint manager
// without a window: the controls' own click and state-change notifications drive them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/kernel/resources.h"
#include "player/settings/setting_pages.h"
#include "skinui/list.h"
#include "skinui/skinui.h"
#include "support/temp_dir.h"

using namespace skinui;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

struct Host : ISettingHost {
    bool shown = true;
    CSettingPages* pages = nullptr;
    // Every box as the apply read it, one map per apply.
    std::vector<std::map<std::wstring, bool>> applies;
    std::vector<CControlUI*> conflicts;
    int browses = 0, closes = 0, rectSaves = 0, fits = 0;
    CurrentMedia media;

    bool IsSettingShown() override { return shown; }
    void ApplyAssociations() override {
        std::map<std::wstring, bool> seen;
        for (const wchar_t* e : AssocExtensions) seen[e] = pages->IsBoxChecked(e);
        for (const wchar_t* c : AssocCategoryNames) seen[c] = pages->IsBoxChecked(c);
        applies.push_back(seen);
    }
    void ShowHotKeyConflict(CControlUI* c) override { conflicts.push_back(c); }
    void BrowseSnapShotFolder() override { ++browses; }
    void CloseSettings() override { ++closes; }
    void SaveMainWindowRect() override { ++rectSaves; }
    void FitMainWindowToVideo() override { ++fits; }
    CurrentMedia GetCurrentMedia() override { return media; }
    void SetCurrentProgress(std::int64_t seconds, int permille) override { progress.emplace_back(seconds, permille); }
    std::vector<std::pair<std::int64_t, int>> progress;
};

class SettingPages : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResourceData res = platform::FindResourceData(L"ZIPRES", 107);
        ASSERT_TRUE(CSkinArchive::SetZipMemory(res.data, res.size));
    }
    void TearDown() override {
        pages.reset();
        CSkinArchive::Reset();
    }

    // Loads the settings from the given files and builds the pages on them.
    void Open(const std::string& userCfg = "", const std::string& playList = "") {
        if (!userCfg.empty()) dir.write("user.cfg", userCfg);
        if (!playList.empty()) dir.write("PlayList.info", playList);
        cfg.SetConfigPath((dir / "user.cfg").wstring());
        cfg.SetPlayListPath((dir / "PlayList.info").wstring());
        cfg.Load();
        CDialogBuilder builder;
        CControlUI* root = builder.Create(L"SettingWnd.xml", nullptr, &pm);
        ASSERT_NE(root, nullptr) << CDuiString(GetLastErrorMessage()).ToUtf8();
        pm.AttachDialog(root);
        pages = std::make_unique<CSettingPages>(pm, cfg, host);
        host.pages = pages.get();
        pm.AddNotifier(pages.get());
        pages->RefreshPages();
    }

    CControlUI* Find(const wchar_t* name) {
        CControlUI* c = pm.FindControl(name);
        EXPECT_NE(c, nullptr) << CDuiString(name).ToUtf8();
        return c;
    }
    bool Checked(const wchar_t* name) { return pages->IsBoxChecked(name); }
    // A user's click (or Space) on a control.
    void Click(const wchar_t* name) {
        CControlUI* c = Find(name);
        ASSERT_NE(c, nullptr);
        ASSERT_TRUE(c->Activate()) << CDuiString(name).ToUtf8() << " is not visible";
    }
    void ShowPage(const wchar_t* button) { Click(button); }
    std::string UserCfg() { return testsupport::ReadFile(dir / "user.cfg"); }
    int CfgInt(const wchar_t* section, const wchar_t* key, int def = -7) {
        return cfg.iniConfig.ReadInt(section, key, def);
    }
    int ListInt(const wchar_t* section, const wchar_t* key) { return cfg.iniPlayList.ReadInt(section, key, -7); }
    CHotKeyUI* HotKeyBox(const wchar_t* name) { return dynamic_cast<CHotKeyUI*>(Find(name)); }
    // The user types a key into a hot-key control.
    void TypeHotKey(const wchar_t* name, WORD vk, WORD mods) {
        CHotKeyUI* hk = HotKeyBox(name);
        ASSERT_NE(hk, nullptr);
        hk->SetHotKey(vk, mods);
        pm.SendNotify(hk, DUI_MSGTYPE_TEXTCHANGED);
    }
    HotKey Shown(const wchar_t* name) {
        HotKey k{};
        HotKeyBox(name)->GetHotKey(k.wVirtKey, k.wModifiers);
        return k;
    }

    TempDir dir;
    ScopedEnv home{"HOME", dir.path().string()};
    ScopedEnv xdg{"XDG_CONFIG_HOME", (dir.path() / "xdg").string()};
    CSysConfig cfg;
    CPaintManagerUI pm;
    Host host;
    std::unique_ptr<CSettingPages> pages;
};

// Every [FileAssoc] key present so that no first-start preset applies.
std::string FileAssocCfg(const std::map<std::wstring, int>& on) {
    std::string s = "[FileAssoc]\n";
    for (const wchar_t* e : AssocExtensions) {
        auto it = on.find(e);
        s += platform::Utf8FromWide(e) + "=" + std::to_string(it == on.end() ? 0 : it->second) + "\n";
    }
    return s;
}

TEST_F(SettingPages, LayoutHasEveryControl) {
    Open();
    for (const wchar_t* name : {L"switch", L"tabselect", L"general_setting", L"file_association_setting",
                                L"hotkey_setting", L"snap_shot", L"Closebtn", L"System_Default_Size", L"System_Save_Size",
                                L"System_SelectAll", L"System_UncheckAll", L"System_Default_Option",
                                L"System_Video_Option", L"System_Audio_Option", L"snap_shot_path", L"btn_snapshot_path",
                                L"only_save_clipboard", L"snap_shot_tip"})
        Find(name);
    for (const wchar_t* name : AssocExtensions) EXPECT_EQ(Find(name)->GetClass(), std::wstring(L"CheckBoxUI"));
    for (const wchar_t* name : AssocCategoryNames) EXPECT_EQ(Find(name)->GetClass(), std::wstring(L"CheckBoxUI"));
    for (const HotKeyControlBinding& b : kHotKeyControls) EXPECT_NE(HotKeyBox(b.control), nullptr);
    EXPECT_EQ(dynamic_cast<CTabLayoutUI*>(Find(L"switch"))->GetCount(), kSettingPageCount);
}

TEST_F(SettingPages, TabsCycleBothWays) {
    struct Case {
        int from;
        bool forward;
        int to;
    } cases[] = {{0, true, 1}, {2, true, 3}, {3, true, 0}, {0, false, 3}, {1, false, 0}, {4, true, -1}, {-1, false, -1}};
    for (const Case& c : cases) EXPECT_EQ(SettingTabAfter(c.from, c.forward), c.to) << c.from << " " << c.forward;

    Open();
    EXPECT_EQ(pages->CurrentPage(), 0);
    pages->SwitchTab(false);  // Up on the general page
    EXPECT_EQ(pages->CurrentPage(), 3);
    EXPECT_TRUE(dynamic_cast<COptionUI*>(Find(L"snap_shot"))->IsSelected());
    pages->SwitchTab(true);  // Down on the snapshot page
    EXPECT_EQ(pages->CurrentPage(), 0);
    EXPECT_TRUE(dynamic_cast<COptionUI*>(Find(L"general_setting"))->IsSelected());
    EXPECT_FALSE(dynamic_cast<COptionUI*>(Find(L"snap_shot"))->IsSelected());
    ShowPage(L"hotkey_setting");
    EXPECT_EQ(pages->CurrentPage(), 2);
}

TEST_F(SettingPages, LoadsThePagesFromTheStore) {
    Open(FileAssocCfg({{L".mkv", 1}, {L".mov", 1}, {L".qt", 1}}) +
         "System_Apple_Media=1\n[Global]\nbUseDefWindowInfo=1\nbScalePlayWnd=0\nbClearPlayList=1\nnSnapShotType=2\n"
         "strSnapShotPath=/tmp/shots\nbOnlySnapToClipBoard=1\nbTipSnapShot=0\n[FullScreen]\nwVirtKey=70\nwModifiers=0\n");
    EXPECT_TRUE(Checked(L".mkv"));
    EXPECT_TRUE(Checked(L".mov"));
    EXPECT_FALSE(Checked(L".mp4"));
    EXPECT_TRUE(Checked(L"System_Apple_Media"));
    EXPECT_FALSE(Checked(L"System_Other_Video"));
    EXPECT_TRUE(Checked(L"System_Default_Size"));
    EXPECT_FALSE(Checked(L"System_Save_Size"));
    EXPECT_FALSE(Checked(L"System_Scale_PlayWnd"));
    EXPECT_TRUE(Checked(L"System_Clear_PlayList"));
    EXPECT_TRUE(Checked(L"System_Save_PlayFile"));  // default 1
    EXPECT_TRUE(Checked(L"only_save_clipboard"));
    EXPECT_FALSE(Checked(L"snap_shot_tip"));
    EXPECT_EQ(Find(L"snap_shot_path")->GetText(), L"/tmp/shots");
    EXPECT_EQ(dynamic_cast<CComboUI*>(Find(L"snap_shot_type"))->GetCurSel(), 2);
    // The full-screen control shows its stored entry like every other one.
    EXPECT_EQ(Shown(L"Hotkey_FullScreen").wVirtKey, 70);
    EXPECT_EQ(Shown(L"Hotkey_Stop").wVirtKey, 'S');
    EXPECT_EQ(Shown(L"Hotkey_Stop").wModifiers, HOTKEYF_CONTROL);
    // Filling the pages wrote nothing.
    EXPECT_EQ(CfgInt(L"Global", L"bSavePlayInfo"), -7);
    EXPECT_TRUE(host.applies.empty());
}

TEST_F(SettingPages, CategoryBoxChecksItsGroupAndApplies) {
    Open(FileAssocCfg({}));
    ShowPage(L"file_association_setting");
    ASSERT_FALSE(Checked(L"System_Apple_Media"));
    Click(L"System_Apple_Media");
    EXPECT_TRUE(Checked(L".mov"));
    EXPECT_TRUE(Checked(L".qt"));
    EXPECT_TRUE(Checked(L"System_Apple_Media"));
    ASSERT_EQ(host.applies.size(), 1u);
    EXPECT_TRUE(host.applies[0][L".mov"]);
    EXPECT_TRUE(host.applies[0][L".qt"]);
    EXPECT_TRUE(host.applies[0][L"System_Apple_Media"]);
    EXPECT_FALSE(host.applies[0][L".mp4"]);

    Click(L"System_Apple_Media");  // and off again
    EXPECT_FALSE(Checked(L".mov"));
    EXPECT_FALSE(Checked(L"System_Apple_Media"));
    ASSERT_EQ(host.applies.size(), 2u);
    EXPECT_FALSE(host.applies[1][L".mov"]);
}

TEST_F(SettingPages, ExtensionBoxIsAppliedWithItsNewState) {
    Open(FileAssocCfg({{L".mov", 1}}));
    ShowPage(L"file_association_setting");
    Click(L".mkv");
    ASSERT_EQ(host.applies.size(), 1u);
    EXPECT_TRUE(host.applies[0][L".mkv"]);
    EXPECT_TRUE(Checked(L".mkv"));

    // The last missing extension of a group checks its category box in the same apply.
    Click(L".qt");
    ASSERT_EQ(host.applies.size(), 2u);
    EXPECT_TRUE(host.applies[1][L".qt"]);
    EXPECT_TRUE(host.applies[1][L"System_Apple_Media"]);
    EXPECT_TRUE(Checked(L"System_Apple_Media"));

    // Unchecking one extension of a full group unchecks the category box.
    Click(L".mov");
    ASSERT_EQ(host.applies.size(), 3u);
    EXPECT_FALSE(host.applies[2][L".mov"]);
    EXPECT_FALSE(host.applies[2][L"System_Apple_Media"]);
    EXPECT_FALSE(Checked(L"System_Apple_Media"));
}

TEST_F(SettingPages, PresetButtons) {
    Open(FileAssocCfg({{L".mp3", 1}, {L".asf", 1}}));
    ShowPage(L"file_association_setting");
    const std::vector<std::wstring> defaults = {L".mp4", L".flv", L".f4v", L".avi", L".swf",
                                                L".mpg", L".rm",  L".wmv", L".mkv", L".3gp"};
    auto isDefault = [&](const std::wstring& e) { return std::find(defaults.begin(), defaults.end(), e) != defaults.end(); };
    struct Case {
        const wchar_t* button;
        std::function<bool(size_t index)> want;
    } cases[] = {
        {L"System_SelectAll", [](size_t) { return true; }},
        {L"System_UncheckAll", [](size_t) { return false; }},
        {L"System_Default_Option", [&](size_t i) { return isDefault(AssocExtensions[i]); }},
        {L"System_Video_Option", [](size_t i) { return i < kAssocVideoCount; }},
        {L"System_Audio_Option", [](size_t i) { return i >= kAssocVideoCount; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CDuiString(c.button).ToUtf8());
        size_t before = host.applies.size();
        Click(c.button);
        ASSERT_EQ(host.applies.size(), before + 1);
        for (size_t i = 0; i < kAssocExtensionCount; ++i)
            EXPECT_EQ(host.applies.back()[AssocExtensions[i]], c.want(i)) << CDuiString(AssocExtensions[i]).ToUtf8();
        for (size_t g = 0; g < kAssocCategoryCount; ++g) {
            bool all = true;
            for (size_t i = kAssocGroups[g].first; i < kAssocGroups[g].first + kAssocGroups[g].count; ++i)
                all = all && c.want(i);
            EXPECT_EQ(host.applies.back()[AssocCategoryNames[g]], all) << CDuiString(AssocCategoryNames[g]).ToUtf8();
        }
    }
}

TEST_F(SettingPages, AlwaysKeepBoxWritesAndApplies) {
    Open(FileAssocCfg({}) + "[Global]\nbAlwaysFileAssoc=1\n");
    ShowPage(L"file_association_setting");
    Click(L"System_Always_FileAssociation");
    EXPECT_EQ(cfg.bAlwaysFileAssoc, 0);
    EXPECT_EQ(CfgInt(L"Global", L"bAlwaysFileAssoc"), 0);
    EXPECT_EQ(host.applies.size(), 1u);
}

TEST_F(SettingPages, HiddenWindowChangesNothing) {
    Open(FileAssocCfg({}));
    ShowPage(L"file_association_setting");
    host.shown = false;
    std::string before = UserCfg();
    Click(L"System_Apple_Media");
    Click(L"System_SelectAll");
    TypeHotKey(L"Hotkey_Mute", 'K', HOTKEYF_CONTROL);
    EXPECT_TRUE(host.applies.empty());
    EXPECT_FALSE(Checked(L".mov"));
    EXPECT_EQ(cfg.g_HotKeys[HK_Mute].wVirtKey, 'M');
    EXPECT_EQ(UserCfg(), before);
}

TEST_F(SettingPages, GeneralAndSnapshotBoxesWriteTheirKeys) {
    Open("[Global]\nbScalePlayWnd=0\nbAddSimilarFile=0\nbClearPlayList=0\nbClearInvalidFile=0\nbTipSnapShot=0\n"
         "bOnlySnapToClipBoard=0\n");
    struct Case {
        const wchar_t* page;
        const wchar_t* box;
        const wchar_t* key;
        int CSysConfig::*member;
    } cases[] = {
        {L"general_setting", L"System_Scale_PlayWnd", L"bScalePlayWnd", &CSysConfig::bScalePlayWnd},
        {L"general_setting", L"System_Add_Similar_File", L"bAddSimilarFile", &CSysConfig::bAddSimilarFile},
        {L"general_setting", L"System_Clear_PlayList", L"bClearPlayList", &CSysConfig::bClearPlayList},
        {L"general_setting", L"System_Clear_InvalidFile", L"bClearInvalidFile", &CSysConfig::bClearInvalidFile},
        {L"snap_shot", L"snap_shot_tip", L"bTipSnapShot", &CSysConfig::bTipSnapShot},
        {L"snap_shot", L"only_save_clipboard", L"bOnlySnapToClipBoard", &CSysConfig::bOnlySnapToClipBoard},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CDuiString(c.box).ToUtf8());
        ShowPage(c.page);
        Click(c.box);
        EXPECT_EQ(cfg.*c.member, 1);
        EXPECT_EQ(CfgInt(L"Global", c.key), 1);
        Click(c.box);
        EXPECT_EQ(cfg.*c.member, 0);
        EXPECT_EQ(CfgInt(L"Global", c.key), 0);
    }
    EXPECT_EQ(host.fits, 1);  // only turning the scaling on fits the window
    EXPECT_TRUE(host.applies.empty());

    ShowPage(L"general_setting");
    ASSERT_TRUE(Checked(L"System_Save_Size"));
    Click(L"System_Default_Size");
    EXPECT_EQ(CfgInt(L"Global", L"bUseDefWindowInfo"), 1);
    EXPECT_EQ(cfg.bUseDefWindowInfo, 1);
    EXPECT_EQ(host.rectSaves, 0);  // choosing the default size stores no placement
    Click(L"System_Save_Size");
    EXPECT_EQ(CfgInt(L"Global", L"bUseDefWindowInfo"), 0);
    EXPECT_EQ(cfg.bUseDefWindowInfo, 0);
    EXPECT_EQ(host.rectSaves, 1);

    Click(L"Closebtn");
    EXPECT_EQ(host.closes, 1);
}

TEST_F(SettingPages, HotKeyConflictsAreCheckedAgainstAllEntries) {
    Open();
    ShowPage(L"hotkey_setting");
    std::string before = UserCfg();

    struct Case {
        const wchar_t* control;
        HotKey key;
        int conflictWith;
    } cases[] = {
        {L"Hotkey_Mute", {'S', HOTKEYF_CONTROL}, HK_StopPlay},
        {L"Hotkey_PlayPause", {VK_RETURN, HOTKEYF_CONTROL}, HK_FullScreen},  // full screen counts too
        {L"Hotkey_FullScreen", {VK_F5, 0}, HK_Setting},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CDuiString(c.control).ToUtf8());
        HotKeyChangeResult r{};
        int entry = -1;
        for (const HotKeyControlBinding& b : kHotKeyControls)
            if (std::wstring(b.control) == c.control) entry = b.entry;
        HotKey was = cfg.g_HotKeys[entry];
        size_t tips = host.conflicts.size();
        TypeHotKey(c.control, c.key.wVirtKey, c.key.wModifiers);
        ASSERT_EQ(host.conflicts.size(), tips + 1);
        EXPECT_EQ(host.conflicts.back(), Find(c.control));
        // The control shows its entry again (user.cfg holds no value for it at all).
        EXPECT_EQ(Shown(c.control).wVirtKey, was.wVirtKey);
        EXPECT_EQ(Shown(c.control).wModifiers, was.wModifiers);
        EXPECT_EQ(cfg.g_HotKeys[entry].wVirtKey, was.wVirtKey);
        EXPECT_EQ(pm.GetFocus(), Find(c.control));
        r = ChangeHotKey(cfg, entry, c.key);
        EXPECT_EQ(r.change, HotKeyChange::Conflict);
        EXPECT_EQ(r.conflictWith, c.conflictWith);
    }
    EXPECT_EQ(UserCfg(), before);

    // Same key with other modifiers is no conflict; the full-screen key is stored like the rest.
    TypeHotKey(L"Hotkey_FullScreen", VK_F5, HOTKEYF_SHIFT);
    EXPECT_EQ(cfg.g_HotKeys[HK_FullScreen].wVirtKey, VK_F5);
    EXPECT_EQ(cfg.g_HotKeys[HK_FullScreen].wModifiers, HOTKEYF_SHIFT);
    EXPECT_EQ(CfgInt(L"FullScreen", L"wVirtKey"), VK_F5);
    EXPECT_EQ(CfgInt(L"FullScreen", L"wModifiers"), HOTKEYF_SHIFT);

    // A cleared control stores nothing.
    TypeHotKey(L"Hotkey_Mute", 0, 0);
    EXPECT_EQ(cfg.g_HotKeys[HK_Mute].wVirtKey, 'M');
    EXPECT_EQ(CfgInt(L"Mute", L"wVirtKey"), -7);

    // Its own present value again is no conflict with itself.
    TypeHotKey(L"Hotkey_Mute", 'M', HOTKEYF_CONTROL);
    EXPECT_EQ(CfgInt(L"Mute", L"wVirtKey"), 'M');
    EXPECT_EQ(host.conflicts.size(), 3u);

    // A rejected key goes back to the latest stored change, which a fresh load also gives.
    TypeHotKey(L"Hotkey_Stop", 'Q', HOTKEYF_CONTROL);
    TypeHotKey(L"Hotkey_Stop", VK_F5, HOTKEYF_SHIFT);
    EXPECT_EQ(Shown(L"Hotkey_Stop").wVirtKey, 'Q');
    CSysConfig again;
    again.SetConfigPath(cfg.GetConfigPath());
    again.LoadHotKeys();
    EXPECT_EQ(again.g_HotKeys[HK_StopPlay].wVirtKey, 'Q');
    EXPECT_EQ(again.g_HotKeys[HK_FullScreen].wModifiers, HOTKEYF_SHIFT);
}

TEST_F(SettingPages, SavePlayProgressTouchesOnlyTheCurrentRecord) {
    const std::string list =
        "[file1]\nstrFilePath=/m/a.mp4\nnPlayTime=30\nnPlayPos=300\n"
        "[file2]\nstrFilePath=/m/b.mp4\nnPlayTime=50\nnPlayPos=500\n"
        "[CurPlay]\nstrFilePath=/m/b.mp4\n";
    Open("[Global]\nbSavePlayInfo=1\n", list);
    cfg.strCurSection = L"file1";  // stale: b.mp4 is the file open now
    host.media = {true, L"/m/b.mp4", 120, 700};

    Click(L"System_Save_PlayFile");  // off
    EXPECT_EQ(CfgInt(L"Global", L"bSavePlayInfo"), 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "PlayList.info"));
    EXPECT_EQ(cfg.strCurSection, L"file2");
    EXPECT_EQ(ListInt(L"file2", L"nPlayPos"), 0);
    EXPECT_EQ(ListInt(L"file2", L"nPlayTime"), 0);
    EXPECT_EQ(cfg.mapPlayList[L"file2"].nPlayPos, 0);
    EXPECT_EQ(ListInt(L"file1", L"nPlayPos"), 300);
    EXPECT_EQ(cfg.iniPlayList.ReadString(L"file1", L"strFilePath", L""), L"/m/a.mp4");
    EXPECT_EQ(cfg.mapPlayList.size(), 2u);
    ASSERT_EQ(host.progress.size(), 1u);  // the row shows it too
    EXPECT_EQ(host.progress[0], std::make_pair(std::int64_t{0}, 0));

    Click(L"System_Save_PlayFile");  // on again: the present position is kept at once
    EXPECT_EQ(CfgInt(L"Global", L"bSavePlayInfo"), 1);
    EXPECT_EQ(ListInt(L"file2", L"nPlayPos"), 700);
    EXPECT_EQ(ListInt(L"file2", L"nPlayTime"), 120);
    EXPECT_EQ(ListInt(L"file1", L"nPlayPos"), 300);
    EXPECT_EQ(cfg.iniPlayList.ReadString(L"file1", L"strFilePath", L""), L"/m/a.mp4");
    EXPECT_EQ(cfg.iniPlayList.ReadString(L"CurPlay", L"strFilePath", L""), L"/m/b.mp4");
    ASSERT_EQ(host.progress.size(), 2u);
    EXPECT_EQ(host.progress[1], std::make_pair(std::int64_t{120}, 700));

    // Nothing open and nothing current: only the flag.
    host.media = {};
    cfg.strCurSection.clear();
    std::string listBefore = testsupport::ReadFile(dir / "PlayList.info");
    Click(L"System_Save_PlayFile");
    EXPECT_EQ(testsupport::ReadFile(dir / "PlayList.info"), listBefore);
}

TEST_F(SettingPages, SnapshotFolderAndFormat) {
    Open();
    ShowPage(L"snap_shot");
    auto* edit = dynamic_cast<CEditUI*>(Find(L"snap_shot_path"));
    ASSERT_NE(edit, nullptr);
    edit->SetFocus();
    edit->SetSelAll();
    edit->ReplaceSel(L"/tmp/shots/");  // typed, with its "textchanged"
    EXPECT_EQ(cfg.strSnapShotPath, L"/tmp/shots");
    EXPECT_EQ(cfg.iniConfig.ReadString(L"Global", L"strSnapShotPath", L""), L"/tmp/shots");
    EXPECT_EQ(edit->GetText(), L"/tmp/shots/");  // what the user typed stays in the field
    edit->SetSelAll();
    edit->ReplaceSel(L"/");
    EXPECT_EQ(cfg.iniConfig.ReadString(L"Global", L"strSnapShotPath", L""), L"/");

    Click(L"btn_snapshot_path");
    EXPECT_EQ(host.browses, 1);

    // The format: the combo's choice, written at once.
    auto* combo = dynamic_cast<CComboUI*>(Find(L"snap_shot_type"));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetItemAt(0)->GetText(), L".bmp");
    EXPECT_EQ(combo->GetItemAt(2)->GetText(), L".png");
    combo->SelectItem(2);
    EXPECT_EQ(cfg.nSnapShotType, 2);
    EXPECT_EQ(CfgInt(L"Global", L"nSnapShotType"), 2);
    combo->SelectItem(0);
    EXPECT_EQ(CfgInt(L"Global", L"nSnapShotType"), 0);
}

}  // namespace
