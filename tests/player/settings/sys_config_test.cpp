#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/text/codepage.h"
#include "platform/profile/profile.h"
#include "player/settings/assoc_table.h"
#include "player/settings/sys_config.h"
#include "support/file_watch.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

struct ConfigFixture : ::testing::Test {
    TempDir dir;
    ScopedEnv home{"HOME", dir.path().string()};
    ScopedEnv xdg{"XDG_CONFIG_HOME", (dir.path() / "xdg").string()};
    CSysConfig cfg;

    void LoadWith(const std::string& userCfg) {
        if (!userCfg.empty()) dir.write("user.cfg", userCfg);
        cfg.SetConfigPath((dir.path() / "user.cfg").wstring());
        cfg.SetPlayListPath((dir.path() / "PlayList.info").wstring());
        cfg.Load();
    }
};

TEST_F(ConfigFixture, MissingFileGivesEveryDefault) {
    LoadWith("");
    struct Case {
        const char* name;
        int got, want;
    } cases[] = {
        {"bSavePlayInfo", cfg.bSavePlayInfo, 1},     {"bClearPlayList", cfg.bClearPlayList, 0},
        {"bClearInvalidFile", cfg.bClearInvalidFile, 0}, {"bScalePlayWnd", cfg.bScalePlayWnd, 1},
        {"bUseDefWindowInfo", cfg.bUseDefWindowInfo, 0}, {"bAlwaysFileAssoc", cfg.bAlwaysFileAssoc, 1},
        {"bAddSimilarFile", cfg.bAddSimilarFile, 1}, {"nTopMostMode", cfg.nTopMostMode, 2},
        {"bClickedListHandler", cfg.bClickedListHandler, 0}, {"nPlayListTransIdx", cfg.nPlayListTransIdx, 4},
        {"nCaptionPanelTransIdx", cfg.nCaptionPanelTransIdx, 5}, {"nPlayOrder", cfg.nPlayOrder, 2},
        {"bTipSnapShot", cfg.bTipSnapShot, 1},       {"nSnapShotType", cfg.nSnapShotType, 1},
        {"bOnlySnapToClipBoard", cfg.bOnlySnapToClipBoard, 0}, {"nListWndWidth", cfg.nListWndWidth, 210},
        {"nVolume", cfg.nVolume, 50},                {"bMute", cfg.bMute, 0},
        {"bIsZoomed", cfg.bIsZoomed, 0},             {"x0", cfg.x0, 0},
        {"cy", cfg.cy, 0},                           {"nCurSubtitle", cfg.nCurSubtitle, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
    EXPECT_EQ(platform::Utf8FromWide(cfg.strSnapShotPath), dir.path().string() + "/Pictures");

    const WORD keys[HK_Count][2] = {{32, 0}, {34, 8}, {83, 2}, {37, 8}, {39, 8}, {38, 8}, {40, 8},
                                    {77, 2}, {79, 2}, {85, 2}, {84, 2}, {13, 2}, {87, 2}, {116, 0}};
    for (int i = 0; i < HK_Count; ++i) {
        EXPECT_EQ(cfg.g_HotKeys[i].wVirtKey, keys[i][0]) << kHotKeyDefaults[i].section;
        EXPECT_EQ(cfg.g_HotKeys[i].wModifiers, keys[i][1]) << kHotKeyDefaults[i].section;
    }

    // First start: the video types but .rp and .dat, seven categories, no audio.
    EXPECT_EQ(cfg.mapFileAssoc.size(), kAssocExtensionCount + kAssocCategoryCount);
    for (size_t i = 0; i < kAssocExtensionCount; ++i) {
        std::wstring ext = AssocExtensions[i];
        int want = i < kAssocVideoCount && ext != L".rp" && ext != L".dat" ? 1 : 0;
        EXPECT_EQ(cfg.mapFileAssoc[ext], want) << platform::Utf8FromWide(ext);
    }
    const int cats[kAssocCategoryCount] = {1, 0, 0, 1, 1, 1, 1, 1, 1, 0};
    for (size_t i = 0; i < kAssocCategoryCount; ++i)
        EXPECT_EQ(cfg.mapFileAssoc[AssocCategoryNames[i]], cats[i]) << platform::Utf8FromWide(AssocCategoryNames[i]);
}

TEST_F(ConfigFixture, LoadReadsEachFileOnce) {
    dir.write("user.cfg", "[Global]\nnPlayOrder=3\n[Volume]\nnVolume=70\n[Window]\ncx=640\n[Mute]\nwVirtKey=65\n");
    dir.write("PlayList.info", "[file1]\nstrFilePath=/a\n[file2]\nstrFilePath=/b\n");
    testsupport::FolderWatch watch(dir.path());
    LoadWith("");
    EXPECT_EQ(cfg.nPlayOrder, 3);
    EXPECT_EQ(cfg.nVolume, 70);
    EXPECT_EQ(cfg.cx, 640);
    EXPECT_EQ(cfg.g_HotKeys[HK_Mute].wVirtKey, 'A');
    EXPECT_EQ(cfg.mapPlayList.size(), 2u);
    EXPECT_EQ(watch.Opens("user.cfg"), 1);
    EXPECT_EQ(watch.Opens("PlayList.info"), 1);
}

TEST_F(ConfigFixture, FileAssocRules) {
    struct Case {
        const char* file;
        const wchar_t* key;
        int want;
    } cases[] = {
        // Not a first start: the MPEG-1/2 category forces its 17 members to 1.
        {"[FileAssoc]\n.asf=0\nSystem_MPEG1/2_Media=1\n.mpg=0\n.dat=0\n", L".mpg", 1},
        {"[FileAssoc]\n.asf=0\nSystem_MPEG1/2_Media=1\n.mpg=0\n.dat=0\n", L".dat", 1},
        {"[FileAssoc]\n.asf=0\nSystem_MPEG1/2_Media=1\n.mpg=0\n.dat=0\n", L".asf", 0},
        {"[FileAssoc]\n.asf=0\nSystem_MPEG1/2_Media=1\n.mpg=0\n.dat=0\n", L".mkv", 0},
        {"[FileAssoc]\n.asf=0\nSystem_MPEG1/2_Media=2\n.mpg=0\n", L".mpg", 0},  // only exactly 1
        // .asf present, a category missing: 0.
        {"[FileAssoc]\n.asf=1\n", L"System_MPEG4", 0},
        // First start keeps a category already in the file.
        {"[FileAssoc]\nSystem_MPEG4=0\n", L"System_MPEG4", 0},
        {"[FileAssoc]\nSystem_MPEG4=0\n", L"System_DVD_Media", 1},
        {"[FileAssoc]\nSystem_MPEG4=0\n.mkv=0\n", L".mkv", 1},
        // The AAC flag of older files, stored as ".acc".
        {"[FileAssoc]\n.asf=1\n.acc=1\n", L".aac", 1},
        {"[FileAssoc]\n.asf=1\n.acc=1\n.aac=0\n", L".aac", 0},
    };
    for (const auto& c : cases) {
        CSysConfig fresh;
        dir.write("user.cfg", c.file);
        fresh.SetConfigPath((dir.path() / "user.cfg").wstring());
        fresh.LoadFileAssoc();
        EXPECT_EQ(fresh.mapFileAssoc[c.key], c.want) << c.file << " / " << platform::Utf8FromWide(c.key);
    }
}

TEST_F(ConfigFixture, ADamagedLineHidesNoAssociationOrHotKeyBehindIt) {
    // The user's own choices: .mkv and .mp4 not the player's (a first start would take both),
    // .mp3 the player's, Space + Ctrl to pause, F2 for the settings.
    const std::string assoc = "[FileAssoc]\n.asf=1\n.mkv=0\n.mp4=0\n.mp3=1\n";
    const std::string hotKeys = "[PlayPause]\nwVirtKey=32\nwModifiers=2\n[Setting]\nwVirtKey=113\nwModifiers=0\n";
    const std::string others = "[Global]\nnPlayOrder=1\n";
    struct Case {
        const char* what;
        std::string file;
        bool damaged;
        WORD pauseModifiers = 2;
    } cases[] = {
        {"intact", others + assoc + hotKeys, false},
        {"the [FileAssoc] header garbled", others + "[FileAs\x01oc]\n.asf=1\n.mkv=0\n.mp4=0\n.mp3=1\n" + hotKeys, true},
        {"a line inside [FileAssoc] turned into a header",
         others + "[FileAssoc]\n.asf=1\n.mkv=0\n[.\x7f]=1\n.mp4=0\n.mp3=1\n" + hotKeys, true},
        {"[FileAssoc] split in two", "[FileAssoc]\n.asf=1\n.mkv=0\n" + others + "[FileAssoc]\n.mp4=0\n.mp3=1\n" + hotKeys,
         true},
        // Whose keys these are cannot be told: that one hot key is the default, the others stay.
        {"a hot key's header garbled",
         others + assoc + "[PlayPa_se]\nwVirtKey=32\nwModifiers=2\n[Setting]\nwVirtKey=113\nwModifiers=0\n", true, 0},
        {"a garbled key among them", others + assoc + "[PlayPause]\nwVirtKey=32\nwMo\x01ifiers=7\nwModifiers=2\n"
                                                      "[Setting]\nwVirtKey=113\nwModifiers=0\n", true},
    };
    const std::filesystem::path bad = dir.path() / "user.cfg.bad";
    for (const auto& c : cases) {
        std::filesystem::remove(bad);
        CSysConfig fresh;
        dir.write("user.cfg", c.file);
        fresh.SetConfigPath((dir.path() / "user.cfg").wstring());
        fresh.SetPlayListPath((dir.path() / "PlayList.info").wstring());
        fresh.Load();
        EXPECT_EQ(fresh.mapFileAssoc[L".mkv"], 0) << c.what;
        EXPECT_EQ(fresh.mapFileAssoc[L".mp4"], 0) << c.what;
        EXPECT_EQ(fresh.mapFileAssoc[L".mp3"], 1) << c.what;
        EXPECT_EQ(fresh.g_HotKeys[HK_PlayPause].wModifiers, c.pauseModifiers) << c.what;
        EXPECT_EQ(fresh.g_HotKeys[HK_Setting].wVirtKey, 113) << c.what;
        EXPECT_EQ(fresh.nPlayOrder, 1) << c.what;
        // The settings window's apply writes every association key into the file as it is.
        fresh.SaveFileAssoc();
        EXPECT_EQ(std::filesystem::exists(bad), c.damaged) << c.what;
        if (c.damaged) {
            EXPECT_EQ(testsupport::ReadFile(bad), c.file) << c.what;
        }
    }
}

TEST_F(ConfigFixture, ValuesAreClampedToTheirDomain) {
    LoadWith(
        "[Global]\nnPlayOrder=9\nnSnapShotType=-1\nnTopMostMode=7\nnPlayListTransIdx=12\n"
        "nCaptionPanelTransIdx=-3\nnListWndWidth=5\n[Volume]\nnVolume=5000\n");
    EXPECT_EQ(cfg.nPlayOrder, 4);
    EXPECT_EQ(cfg.nSnapShotType, 0);
    EXPECT_EQ(cfg.nTopMostMode, 2);
    EXPECT_EQ(cfg.nPlayListTransIdx, 8);
    EXPECT_EQ(cfg.nCaptionPanelTransIdx, 0);
    EXPECT_EQ(cfg.nListWndWidth, kMinListWndWidth);
    EXPECT_EQ(cfg.nVolume, 1000);
}

TEST_F(ConfigFixture, LongValuesAreReadWhole) {
    std::string longPath = "/media/" + std::string(300, 'a');
    LoadWith("[Global]\nstrSnapShotPath=" + longPath + "\n[PlayPause]\nwVirtKey=65\nwModifiers=3\n");
    EXPECT_EQ(platform::Utf8FromWide(cfg.strSnapShotPath), longPath);
    EXPECT_EQ(cfg.g_HotKeys[HK_PlayPause].wVirtKey, 65);
    EXPECT_EQ(cfg.g_HotKeys[HK_PlayPause].wModifiers, 3);
}

TEST_F(ConfigFixture, SaveFileAssocWritesTheListInOrder) {
    LoadWith("");
    cfg.mapFileAssoc[L".mp4"] = 0;
    cfg.SaveFileAssoc();
    std::vector<wchar_t> buf(8192);
    DWORD n = GetPrivateProfileStringW(L"FileAssoc", nullptr, L"", buf.data(), 8192, cfg.GetConfigPath().c_str());
    std::vector<std::wstring> keys;
    for (const wchar_t* p = buf.data(); p < buf.data() + n && *p; p += wcslen(p) + 1) keys.emplace_back(p);
    ASSERT_EQ(keys.size(), kAssocExtensionCount + kAssocCategoryCount);
    EXPECT_EQ(keys[0], L".asf");
    EXPECT_EQ(keys[kAssocExtensionCount], L"System_Windows_Media");
    EXPECT_EQ(cfg.iniConfig.ReadInt(L"FileAssoc", L".mp4", 1), 0);
    EXPECT_EQ(cfg.iniConfig.ReadInt(L"FileAssoc", L".mkv", 0), 1);
}

TEST(AssocTable, ListsAndGroups) {
    EXPECT_EQ(std::wstring(AssocExtensions[0]), L".asf");
    EXPECT_EQ(std::wstring(AssocExtensions[kAssocVideoCount - 1]), L".xlmv");
    EXPECT_EQ(std::wstring(AssocExtensions[kAssocVideoCount]), L".aac");
    EXPECT_EQ(std::wstring(AssocExtensions[kAssocExtensionCount - 1]), L".wv");
    for (const wchar_t* ext : AssocMpeg12Extensions) {
        bool found = false;
        for (size_t i = 0; i < kAssocVideoCount; ++i) found |= std::wstring(AssocExtensions[i]) == ext;
        EXPECT_TRUE(found) << platform::Utf8FromWide(ext);
    }
}

}  // namespace
