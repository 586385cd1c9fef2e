// The snapshot settings as the snapshot dialog stores them: settings object and user.cfg.
#include "player/settings/snapshot_options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "player/settings/sys_config.h"
#include "support/temp_dir.h"

namespace {

TEST(SnapShotOptions, TrailingSeparatorsGoButARootKeepsItsOwn) {
    struct Case { const wchar_t* typed; const wchar_t* stored; };
    const Case cases[] = {
        {L"/home/u/pics/", L"/home/u/pics"},
        {L"/home/u/pics//", L"/home/u/pics"},
        {L"D:\\shots\\\\", L"D:\\shots"},
        {L"D:\\", L"D:\\"},
        {L"D:\\\\", L"D:\\"},
        {L"/", L"/"},
        {L"//", L"/"},
        {L"", L""},
        {L"a\\b c", L"a\\b c"},
    };
    for (const auto& c : cases) EXPECT_EQ(TrimFolderSeparators(c.typed), c.stored) << c.typed;
}

TEST(SnapShotOptions, EachValueGoesToTheSettingsAndUserCfg) {
    testsupport::TempDir dir;
    CSysConfig cfg;
    cfg.SetConfigPath((dir / "user.cfg").wstring());
    for (int type : {0, 1, 2}) {
        SaveSnapShotOptions(cfg, {L"/data/shots/", true, type == 1, type});
        EXPECT_EQ(cfg.strSnapShotPath, L"/data/shots");
        EXPECT_EQ(cfg.bTipSnapShot, 0);
        EXPECT_EQ(cfg.bOnlySnapToClipBoard, type == 1 ? 1 : 0);
        EXPECT_EQ(cfg.nSnapShotType, type);

        CIniFile ini;
        ini.SetPath((dir / "user.cfg").wstring());
        EXPECT_EQ(ini.ReadString(L"Global", L"strSnapShotPath", L""), L"/data/shots");
        EXPECT_EQ(ini.ReadInt(L"Global", L"bTipSnapShot", -1), 0);
        EXPECT_EQ(ini.ReadInt(L"Global", L"bOnlySnapToClipBoard", -1), type == 1 ? 1 : 0);
        EXPECT_EQ(ini.ReadInt(L"Global", L"nSnapShotType", -1), type);
    }
    SaveSnapShotOptions(cfg, {L"", false, false, 0});
    EXPECT_EQ(cfg.iniConfig.ReadString(L"Global", L"strSnapShotPath", L"x"), L"");
    EXPECT_EQ(cfg.iniConfig.ReadInt(L"Global", L"bTipSnapShot", -1), 1);
}

TEST(SnapShotOptions, OnlyTheDefaultPicturesFolderIsMadeWhenMissing) {
    namespace fs = std::filesystem;
    testsupport::TempDir home;
    const fs::path pictures = home / "Pictures" / "Shots";
    home.write("config/user-dirs.dirs", "XDG_PICTURES_DIR=\"" + pictures.string() + "\"\n");
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (home / "config").string());
    fs::create_directories(home / "chosen");

    EXPECT_FALSE(SnapShotFolderReady(L""));
    EXPECT_FALSE(SnapShotFolderReady((home / "elsewhere").wstring()));
    EXPECT_FALSE(fs::exists(home / "elsewhere"));
    EXPECT_TRUE(SnapShotFolderReady((home / "chosen").wstring()));
    EXPECT_TRUE(SnapShotFolderReady(pictures.wstring() + L"/"));
    EXPECT_TRUE(fs::is_directory(pictures));
}

}  // namespace
