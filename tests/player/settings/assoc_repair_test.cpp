#include <gtest/gtest.h>

#include <fstream>

#include "common/convert.h"
#include "common/reg_helper.h"
#include "player/settings/assoc_table.h"
#include "player/settings/file_assoc_client.h"
#include "player/settings/sys_config.h"
#include "platform/shell/shell.h"
#include "support/desktop_env.h"
#include "support/registry_db.h"

using testsupport::RegRead;

namespace {

std::wstring UserChoice(const std::wstring& dotExt) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + dotExt + L"\\UserChoice";
}

std::wstring Choice(const std::wstring& dotExt) {
    auto v = RegRead(HKEY_CURRENT_USER, UserChoice(dotExt), L"Progid");
    return v ? v->text() : L"(none)";
}

class AssocRepair : public ::testing::Test {
protected:
    testsupport::TempRegistry db;
    testsupport::DesktopEnv desktopFiles;  // the writer's desktop side, kept out of the user's own
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"MORVANE_RUNTIME_DIR", (dir.path() / "run").string()};

    void SetUp() override {
        // Every extension registered, as the agent or the installer leaves it.
        for (const wchar_t* e : AssocExtensions) CRegHelper::CreateKey(HKEY_CLASSES_ROOT, "WZfile_" + WideToAcp(e + 1));
    }
    void UseConfig(const std::string& text) { g_SysConfig.SetConfigPath(dir.write("user.cfg", text).wstring()); }
};

TEST_F(AssocRepair, RewritesEveryKeptVideoChoiceThatIsNotExactlyOurs) {
    UseConfig("[FileAssoc]\n.mkv=0\n.avi=1\n");
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".mp4"), L"Progid", L"OtherPlayer.mp4");
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".avi"), L"Progid", L"wzfile_AVI");  // case differs
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".mkv"), L"Progid", L"OtherPlayer.mkv");
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".mp3"), L"Progid", L"OtherPlayer.mp3");
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".wmv"), L"Progid", L"WZfile_wmv");

    RepairFileAssociations();
    EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_ASSOCCHANGED), 1);  // one for the whole repair

    for (size_t i = 0; i < kAssocVideoCount; ++i) {
        std::wstring ext = AssocExtensions[i];
        SCOPED_TRACE(ext);
        if (ext == L".mkv") {
            EXPECT_EQ(Choice(ext), L"OtherPlayer.mkv");  // unchecked in user.cfg
        } else {
            EXPECT_EQ(Choice(ext), L"WZfile_" + ext.substr(1));  // missing keys count as checked
        }
    }
    // Audio extensions are never repaired.
    EXPECT_EQ(Choice(L".mp3"), L"OtherPlayer.mp3");
    EXPECT_EQ(Choice(L".flac"), L"(none)");
}

TEST_F(AssocRepair, WritesOnlyWhatIsNeededAndOnlyForRegisteredProgIds) {
    UseConfig("");
    ASSERT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "WZfile_avi", ""));
    EXPECT_FALSE(RepairExtProgid("avi"));
    EXPECT_EQ(Choice(L".avi"), L"(none)");

    EXPECT_TRUE(RepairExtProgid("mp4"));
    EXPECT_EQ(Choice(L".mp4"), L"WZfile_mp4");
    EXPECT_FALSE(RepairExtProgid("mp4"));  // already right: nothing written

    // Nothing to repair: no change notice.
    for (size_t i = 0; i < kAssocVideoCount; ++i) RepairExtProgid(WideToAcp(AssocExtensions[i] + 1));
    RepairFileAssociations();
    EXPECT_EQ(platform::shell::ChangeNoticeCount(), 0);

}

TEST_F(AssocRepair, TheDesktopFollowsWhereTheChoiceIsPutBack) {
    const testsupport::DesktopEnv& desktop = desktopFiles;
    testsupport::ScopedEnv program{"MORVANE_PROGRAM_DIR", dir.path().string()};
    UseConfig("[FileAssoc]\n.mkv=0\n");
    for (const wchar_t* e : AssocExtensions)
        testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(e), L"Progid", L"WZfile_" + std::wstring(e + 1));
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".mp4"), L"Progid", L"OtherPlayer.mp4");
    testsupport::RegWrite(HKEY_CURRENT_USER, UserChoice(L".mkv"), L"Progid", L"OtherPlayer.mkv");
    const std::string before =
        "[Default Applications]\nvideo/mp4=other.desktop;\nvideo/x-matroska=other.desktop;\nvideo/webm=other.desktop;\n";
    std::ofstream(desktop.mimeApps()) << before;

    RepairFileAssociations();
    // .mp4 was put back and so becomes the player's on the desktop too, the other default kept
    // for a removal; .mkv is not kept associated and .webm's choice needed no repair.
    EXPECT_EQ(testsupport::ReadFile(desktop.mimeApps()),
              "[Default Applications]\nvideo/mp4=morvane.desktop;\nvideo/x-matroska=other.desktop;\nvideo/webm=other.desktop;\n"
              "\n[Added Associations]\nvideo/mp4=morvane.desktop;\n");
    EXPECT_TRUE(std::filesystem::exists(desktop.entry()));
    EXPECT_NE(testsupport::ReadFile(desktop.entry()).find("Exec=\"" + dir.path().string() + "/morvane\" %f\n"),
              std::string::npos);
}

}  // namespace
