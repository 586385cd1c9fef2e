#include "common/file_assoc.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "support/desktop_env.h"
#include "support/registry_db.h"

using testsupport::RegRead;
using testsupport::RegValueNames;
using testsupport::RegWrite;

namespace {

const wchar_t kUserExt[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp4";
const wchar_t kUserChoice[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp4\\UserChoice";

class FileAssoc : public ::testing::Test {
protected:
    testsupport::TempRegistry db;
    testsupport::DesktopEnv desktopFiles;  // the writer's desktop side, kept out of the user's own
    testsupport::TempDir program;
    testsupport::ScopedEnv dir{"MORVANE_PROGRAM_DIR", program.path().string()};
    testsupport::ScopedEnv runtime{"MORVANE_RUNTIME_DIR", (program.path() / "run").string()};

    std::string folder() const { return program.path().string() + "/"; }

    std::string ProgIdTree(const std::string& icon) const {
        std::string cmd = "\"\"" + folder() + "morvane\" \"%1\"\"";
        return "[HKEY_CLASSES_ROOT\\WZfile_mp4]\n"
               "[HKEY_CLASSES_ROOT\\WZfile_mp4\\DefaultIcon]\n"
               "@ = REG_SZ \"" + icon + "\"\n"
               "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell]\n"
               "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell\\open]\n"
               "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell\\open\\command]\n"
               "@ = REG_SZ " + cmd + "\n"
               "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell\\openwz]\n"
               "@ = REG_SZ \"用 Oskery播放器 播放(&P)\"\n"
               "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell\\openwz\\command]\n"
               "@ = REG_SZ " + cmd + "\n";
    }
};

std::optional<std::wstring> Text(HKEY root, const std::wstring& key, const std::wstring& name) {
    auto v = RegRead(root, key, name);
    if (!v) return std::nullopt;
    return v->text();
}

// Starting states of HKCR\.mp4 and what a set, a second set and a remove leave there.
struct ExtCase {
    const char* label;
    bool keyExists;
    std::optional<std::wstring> before;            // the (default) before the set
    std::optional<std::wstring> afterSetDefault;   // after one or two sets
    std::optional<std::wstring> afterSetBackup;
    std::optional<std::wstring> afterRemove;       // the (default) after set + remove
};

TEST_F(FileAssoc, SetTwiceThenRemoveForEachStartingStateOfTheExtension) {
    const ExtCase cases[] = {
        {"no key", false, std::nullopt, L"WZfile_mp4", std::nullopt, std::nullopt},
        {"key without default", true, std::nullopt, L"WZfile_mp4", std::nullopt, std::nullopt},
        {"empty default", true, L"", L"WZfile_mp4", std::nullopt, std::nullopt},
        {"another program", true, L"OtherPlayer.mp4", L"WZfile_mp4", L"OtherPlayer.mp4", L"OtherPlayer.mp4"},
        {"a leading part of ours", true, L"WZfile", L"WZfile_mp4", L"WZfile", L"WZfile"},
        {"ours and more", true, L"WZfile_mp4x", L"WZfile_mp4", L"WZfile_mp4x", L"WZfile_mp4x"},
        {"ours in other case", true, L"wzfile_MP4", L"wzfile_MP4", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        testsupport::TempRegistry fresh;
        if (c.keyExists) RegWrite(HKEY_CLASSES_ROOT, L".mp4", L"other", L"kept");
        if (c.before) RegWrite(HKEY_CLASSES_ROOT, L".mp4", L"", *c.before);

        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round == 0 ? "first set" : "second set");
            SetFileAssociation("mp4", "MP4.ico");
            EXPECT_EQ(platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"WZfile_mp4"),
                      ProgIdTree(folder() + "res/MP4.ico"));
            EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".mp4", L""), c.afterSetDefault);
            EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".mp4", L"wzbak"), c.afterSetBackup);
            EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserChoice, L"Progid"), L"WZfile_mp4");
            EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserExt, L"wzbak"), std::nullopt);
        }

        RemoveFileAssociation("mp4");
        EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));
        EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".mp4", L""), c.afterRemove);
        EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".mp4", L"wzbak"), std::nullopt);
        if (c.keyExists) {
            EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".mp4", L"other"), L"kept");
        }
        EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserChoice, L"Progid"), std::nullopt);
    }
}

TEST_F(FileAssoc, ThePerUserChoiceIsBackedUpAndGivenBack) {
    RegWrite(HKEY_CURRENT_USER, kUserChoice, L"Progid", L"OtherPlayer.mp4");
    SetFileAssociation("mp4", "MP4.ico");
    SetFileAssociation("mp4", "MP4.ico");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserChoice, L"Progid"), L"WZfile_mp4");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserExt, L"wzbak"), L"OtherPlayer.mp4");

    RemoveFileAssociation("mp4");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserChoice, L"Progid"), L"OtherPlayer.mp4");
    EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, kUserExt), std::vector<std::wstring>{});
}

TEST_F(FileAssoc, RemoveOfANeverSetExtensionChangesNothing) {
    RegWrite(HKEY_CLASSES_ROOT, L".mkv", L"", L"OtherPlayer.mkv");
    const std::string before = platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") +
                               platform::registry::DumpTree(HKEY_CURRENT_USER, L"");
    RemoveFileAssociation("mkv");
    RemoveFileAssociation("mp4");
    EXPECT_EQ(platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") + platform::registry::DumpTree(HKEY_CURRENT_USER, L""),
              before);
}

TEST_F(FileAssoc, TheInstallerFormReplacesThePerUserKeyAndKeepsTheBackup) {
    RegWrite(HKEY_CURRENT_USER, kUserChoice, L"Progid", L"OtherPlayer.mp4");
    RegWrite(HKEY_CURRENT_USER, kUserChoice, L"Hash", L"abc");
    RegWrite(HKEY_CURRENT_USER, std::wstring(kUserChoice) + L"\\Sub", L"", L"x");
    const std::string icon = "/opt/inst/res/VIDEO.ico";
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WriteAssociationLayout("mp4", icon, "/opt/inst/", true));
        EXPECT_EQ(platform::registry::DumpTree(HKEY_CURRENT_USER, kUserChoice),
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp4\\UserChoice]\n"
                  "\"Progid\" = REG_SZ \"WZfile_mp4\"\n");
        EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserExt, L"wzbak"), L"OtherPlayer.mp4");
        EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L"WZfile_mp4\\DefaultIcon", L""), L"/opt/inst/res/VIDEO.ico");
        EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell\\open\\command", L""), L"\"/opt/inst/morvane\" \"%1\"");
    }
}

TEST_F(FileAssoc, EverySetAndRemoveSendsOneChangeNotice) {
    SetFileAssociation("mp4", "MP4.ico");
    EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_ASSOCCHANGED), 1);
    RemoveFileAssociation("mp4");
    EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_ASSOCCHANGED), 2);
    // The installer's writer sends none of its own.
    WriteAssociationLayout("mkv", "i.ico", "/x/", true);
    SetFileAssociation("a/b", "I.ico");
    EXPECT_EQ(platform::shell::ChangeNoticeCount(), 2);
}

TEST_F(FileAssoc, HostileExtensionsWriteNothing) {
    RegWrite(HKEY_CLASSES_ROOT, L"keep", L"", L"x");
    const std::string before = platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") +
                               platform::registry::DumpTree(HKEY_CURRENT_USER, L"");
    for (const std::string& ext : {std::string(), std::string("a\\b"), std::string(".."), std::string("a/b"),
                                  std::string("mp4 "), std::string("mp4\\..\\..\\keep"), std::string(200, 'a'),
                                  std::string("m\xC3\xA4")}) {
        SCOPED_TRACE(ext);
        EXPECT_FALSE(IsValidAssocExtension(ext));
        EXPECT_FALSE(WriteAssociationLayout(ext, "i.ico", "/x/", true));
        SetFileAssociation(ext, "I.ico");
        RemoveFileAssociation(ext);
    }
    EXPECT_EQ(platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") + platform::registry::DumpTree(HKEY_CURRENT_USER, L""),
              before);
    EXPECT_TRUE(IsValidAssocExtension(std::string(199, 'a')));
    EXPECT_TRUE(IsValidAssocExtension("3gp2"));
}

}  // namespace
