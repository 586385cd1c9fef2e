// The desktop's side of the association writer: the player's desktop entry and the defaults of
// mimeapps.list, in a desktop of the test's own, checked with the desktop's own tools.
#include "common/desktop_assoc.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "common/error_log.h"
#include "common/file_assoc.h"
#include "support/clips.h"
#include "support/desktop_env.h"
#include "support/registry_db.h"

namespace fs = std::filesystem;
using testsupport::ProgramOutput;
using testsupport::ReadFile;

namespace {

class DesktopAssoc : public ::testing::Test {
protected:
    testsupport::TempRegistry db;
    testsupport::TempDir program;
    testsupport::ScopedEnv dir{"MORVANE_PROGRAM_DIR", program.path().string()};
    testsupport::ScopedEnv runtime{"MORVANE_RUNTIME_DIR", (program.path() / "run").string()};
    testsupport::DesktopEnv desktop;

    void WriteList(const std::string& text) const {
        std::ofstream(desktop.mimeApps(), std::ios::binary) << text;
    }
    std::string List() const { return ReadFile(desktop.mimeApps()); }
    std::string QueryDefault(const std::string& type) const { return ProgramOutput({"xdg-mime", "query", "default", type}); }
};

// The user's own lines, comments and groups, in their order.
const char kUsersList[] =
    "# kept by hand\n"
    "[Default Applications]\n"
    "video/mp4=other.desktop;\n"
    "text/plain=editor.desktop\n"
    "\n"
    "# pictures\n"
    "[Added Associations]\n"
    "video/mp4=other.desktop;\n"
    "image/png=viewer.desktop;\n"
    "\n"
    "[X-Own Group]\n"
    "key = value\n";

TEST_F(DesktopAssoc, SetAndRemoveKeepTheUsersFileAndGiveThePreviousDefaultBack) {
    desktop.AddApplication("other.desktop");
    WriteList(kUsersList);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first set" : "second set");
        SetFileAssociation("mp4", "MP4.ico");
        SetFileAssociation("mkv", "MKV.ico");
        EXPECT_EQ(List(),
                  "# kept by hand\n"
                  "[Default Applications]\n"
                  "video/mp4=morvane.desktop;\n"
                  "text/plain=editor.desktop\n"
                  "video/x-matroska=morvane.desktop;\n"
                  "\n"
                  "# pictures\n"
                  "[Added Associations]\n"
                  "video/mp4=morvane.desktop;other.desktop;\n"
                  "image/png=viewer.desktop;\n"
                  "video/x-matroska=morvane.desktop;\n"
                  "\n"
                  "[X-Own Group]\n"
                  "key = value\n");
        EXPECT_EQ(QueryDefault("video/mp4"), "morvane.desktop");
        EXPECT_EQ(QueryDefault("video/x-matroska"), "morvane.desktop");
    }
    RemoveFileAssociation("mkv");
    RemoveFileAssociation("mp4");
    EXPECT_EQ(List(), kUsersList);
    EXPECT_EQ(QueryDefault("video/mp4"), "other.desktop");
}

TEST_F(DesktopAssoc, ADefaultSetWithTheDesktopsToolIsGivenBack) {
    desktop.AddApplication("other.desktop");
    ASSERT_EQ(testsupport::RunProgram({"xdg-mime", "default", "other.desktop", "video/mp4"}), 0);
    ASSERT_EQ(QueryDefault("video/mp4"), "other.desktop");
    SetFileAssociation("mp4", "MP4.ico");
    EXPECT_EQ(QueryDefault("video/mp4"), "morvane.desktop");
    RemoveFileAssociation("mp4");
    EXPECT_EQ(QueryDefault("video/mp4"), "other.desktop");
}

TEST_F(DesktopAssoc, WithoutAPreviousDefaultRemoveDropsTheLines) {
    SetFileAssociation("mp4", "MP4.ico");
    EXPECT_EQ(List(),
              "[Default Applications]\n"
              "video/mp4=morvane.desktop;\n"
              "\n"
              "[Added Associations]\n"
              "video/mp4=morvane.desktop;\n");
    RemoveFileAssociation("mp4");
    EXPECT_EQ(List(), "[Default Applications]\n\n[Added Associations]\n");
}

TEST_F(DesktopAssoc, RemovingWhatWasNeverSetLeavesTheFileAsItIs) {
    // The settings window sends a remove for every unticked extension on each apply.
    const std::string text = "[Default Applications]\r\nvideo/mp4=other.desktop;\r\naudio/mpeg=other.desktop;";
    WriteList(text);
    struct stat before {};
    ASSERT_EQ(::stat(desktop.mimeApps().c_str(), &before), 0);
    for (const char* ext : {"mp4", "mp3", "mkv"}) RemoveFileAssociation(ext);
    struct stat after {};
    ASSERT_EQ(::stat(desktop.mimeApps().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(List(), text);
    // A set and a remove keep the user's line ends and the open last line.
    SetFileAssociation("mkv", "MKV.ico");
    RemoveFileAssociation("mkv");
    EXPECT_EQ(List(), text + "\n\n[Added Associations]");
}

TEST_F(DesktopAssoc, ADefaultTheUserChoseAfterTheSetIsNotTakenBack) {
    SetFileAssociation("mp4", "MP4.ico");
    WriteList("[Default Applications]\nvideo/mp4=mine.desktop;\n");
    RemoveFileAssociation("mp4");
    EXPECT_EQ(List(), "[Default Applications]\nvideo/mp4=mine.desktop;\n");
}

TEST_F(DesktopAssoc, ATypeSharedWithAnExtensionStillAssociatedStaysThePlayers) {
    // .mp4, .m4v and .f4v are all video/mp4; the settings window removes the unticked ones
    // after setting the ticked ones.
    desktop.AddApplication("other.desktop");
    WriteList("[Default Applications]\nvideo/mp4=other.desktop;\n");
    SetFileAssociation("mp4", "MP4.ico");
    SetFileAssociation("m4v", "M4V.ico");
    RemoveFileAssociation("f4v");
    RemoveFileAssociation("m4v");
    EXPECT_EQ(QueryDefault("video/mp4"), "morvane.desktop");
    RemoveFileAssociation("mp4");
    EXPECT_EQ(QueryDefault("video/mp4"), "other.desktop");
}

TEST_F(DesktopAssoc, TypesComeFromTheSharedMimeDatabase) {
    EXPECT_EQ(MediaTypesOfExtension("mp4"), std::vector<std::string>{"video/mp4"});
    EXPECT_EQ(MediaTypesOfExtension("MKV"), std::vector<std::string>{"video/x-matroska"});
    // .ts is also a translation file: only the video type counts.
    EXPECT_EQ(MediaTypesOfExtension("ts"), std::vector<std::string>{"video/mp2t"});
    auto ogg = MediaTypesOfExtension("ogg");
    EXPECT_NE(std::find(ogg.begin(), ogg.end(), "audio/ogg"), ogg.end());
    EXPECT_NE(std::find(ogg.begin(), ogg.end(), "video/ogg"), ogg.end());
    // RealMedia's type is no audio/ name, but the database files it as video.
    EXPECT_EQ(MediaTypesOfExtension("rmvb"), std::vector<std::string>{"application/vnd.rn-realmedia"});
    // A package or a program source of the same extension is no type of the player's.
    EXPECT_EQ(MediaTypesOfExtension("rpm"), std::vector<std::string>{});
    EXPECT_EQ(MediaTypesOfExtension("scm"), std::vector<std::string>{});
    EXPECT_EQ(MediaTypesOfExtension("xlmv"), std::vector<std::string>{});

    // The user's own database comes first.
    fs::create_directories(desktop.dataHome() / "mime");
    std::ofstream(desktop.dataHome() / "mime" / "globs2") << "# own\n50:video/x-own:*.xlmv\n";
    EXPECT_EQ(MediaTypesOfExtension("xlmv"), std::vector<std::string>{"video/x-own"});
}

TEST_F(DesktopAssoc, AnExtensionWithoutAKnownTypeIsLoggedAndSkippedOnTheDesktopOnly) {
    WriteList(kUsersList);
    const int warnings = g_ErrorLog.WarningCount();
    SetFileAssociation("xlmv", "XLMV.ico");
    EXPECT_EQ(g_ErrorLog.WarningCount(), warnings + 1);
    EXPECT_EQ(List(), kUsersList);
    auto v = testsupport::RegRead(HKEY_CLASSES_ROOT, L".xlmv", L"");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->text(), L"WZfile_xlmv");
    RemoveFileAssociation("xlmv");
    EXPECT_EQ(List(), kUsersList);
}

TEST_F(DesktopAssoc, ADamagedOrUnreadableListIsReportedAndLeftUnchanged) {
    const std::string damaged[] = {
        std::string(kUsersList) + "this line is no key\n",
        std::string(kUsersList) + "video/webm=\xff\xfe.desktop;\n",
        std::string("[Default Applications]\nvideo/mp4=other.desktop;\n\0\0\0", 51),
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text);
        WriteList(text);
        const int errors = g_ErrorLog.ErrorCount();
        SetFileAssociation("mp4", "MP4.ico");
        EXPECT_EQ(List(), text);
        // The registry's side is written all the same.
        EXPECT_TRUE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));
        RemoveFileAssociation("mp4");
        EXPECT_EQ(List(), text);
        EXPECT_EQ(g_ErrorLog.ErrorCount(), errors + 2);
    }
    // Something that cannot be read as a file at all.
    fs::remove(desktop.mimeApps());
    fs::create_directories(desktop.mimeApps() / "inside");
    const int errors = g_ErrorLog.ErrorCount();
    SetFileAssociation("mp4", "MP4.ico");
    EXPECT_EQ(g_ErrorLog.ErrorCount(), errors + 1);
    EXPECT_TRUE(fs::is_directory(desktop.mimeApps() / "inside"));
    // A damaged backup keeps the defaults it holds: nothing is changed either.
    fs::remove_all(desktop.mimeApps());
    WriteList(kUsersList);
    std::ofstream(DesktopDefaultsBackupPath()) << "no key here\n";
    SetFileAssociation("mp4", "MP4.ico");
    EXPECT_EQ(List(), kUsersList);
}

TEST_F(DesktopAssoc, TheEntryPassesTheValidatorNamesTheProgramAndFollowsItWhenItMoves) {
    // A program folder with every character that Exec's quoting has to mind.
    const std::string folders[] = {program.path().string() + "/", program.path().string() + "/My $HOME `x` \"q\" \\ (1)/"};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        // GIO takes an entry only when its program is there.
        fs::create_directories(folder);
        std::ofstream(folder + "morvane") << "#!/bin/sh\n";
        fs::permissions(folder + "morvane", fs::perms::owner_all);
        ASSERT_TRUE(WriteAssociationLayout("mp4", folder + "res/MP4.ico", folder, true));
        int status = -1;
        const std::string complaints = ProgramOutput({"desktop-file-validate", desktop.entry().string()}, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(complaints, "");
        GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(desktop.entry().c_str());
        ASSERT_NE(info, nullptr);
        // What runs: Exec unescaped as a key-file string, then split as the shell would.
        gchar* exec = g_desktop_app_info_get_string(info, "Exec");
        gchar** argv = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(exec, nullptr, &argv, nullptr)) << exec;
        EXPECT_EQ(std::string(argv[0]), folder + "morvane");
        EXPECT_EQ(std::string(argv[1] ? argv[1] : ""), "%f");
        g_strfreev(argv);
        g_free(exec);
        gchar* typeList = g_desktop_app_info_get_string(info, "MimeType");
        const std::string types = typeList ? typeList : "";
        g_free(typeList);
        for (const char* t : {"video/mp4;", "video/x-matroska;", "audio/mpeg;", "audio/flac;"})
            EXPECT_NE(types.find(t), std::string::npos) << t;
        g_object_unref(info);
    }
    EXPECT_EQ(QueryDefault("video/mp4"), "morvane.desktop");
}

}  // namespace
