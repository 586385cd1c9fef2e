#include "download/file_utils.h"
#include "download/system_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"

using namespace download;
namespace fs = std::filesystem;

TEST(FileUtils, SizesAndExistence) {
    testsupport::TempDir tmp;
    auto f = tmp.write("a.bin", std::string(1234, 'x'));
    EXPECT_EQ(GetFileSize64(f.string()), 1234u);
    EXPECT_EQ(GetFileSize64((tmp / "none").string()), 0u);
    EXPECT_TRUE(FileExists(f.string()));
    EXPECT_TRUE(FileExists(tmp.path().string()));
    EXPECT_FALSE(FileExists((tmp / "none").string()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(IsDirectory(tmp.path().string() + "//"));
    EXPECT_FALSE(IsDirectory(f.string()));
    EXPECT_FALSE(IsDirectory(""));
}

TEST(FileUtils, LargeFileSizeIsNotCut) {
    testsupport::TempDir tmp;
    auto f = tmp.write("sparse", "");
    fs::resize_file(f, 5ull << 30);  // sparse: takes no space
    EXPECT_EQ(GetFileSize64(f.string()), 5ull << 30);
}

TEST(FileUtils, MakeDirectories) {
    testsupport::TempDir tmp;
    // an existing folder: 1, nothing created
    EXPECT_EQ(MakeDirectories(tmp.path().string()), 1);
    EXPECT_TRUE(fs::is_empty(tmp.path()));
    // two levels below an existing folder, with trailing slashes
    EXPECT_EQ(MakeDirectories((tmp / "a/b").string() + "//"), 1);
    EXPECT_TRUE(fs::is_directory(tmp / "a/b"));
    EXPECT_EQ(MakeDirectories(""), 0);
    // a file in the way fails
    tmp.write("file", "x");
    EXPECT_EQ(MakeDirectories((tmp / "file/sub").string()), 0);
}

TEST(FileUtils, TempDownloadPathIsNewAndEmpty) {
    testsupport::TempDir tmp;
    testsupport::ScopedEnv env("TMPDIR", tmp.path().string());
    std::string a, b;
    ASSERT_TRUE(GetTempDownloadPath(a));
    ASSERT_TRUE(GetTempDownloadPath(b));
    EXPECT_NE(a, b);
    EXPECT_EQ(fs::path(a).parent_path(), tmp.path());
    EXPECT_EQ(fs::path(a).filename().string().rfind("my_", 0), 0u);
    EXPECT_TRUE(fs::is_regular_file(a));
    EXPECT_EQ(fs::file_size(a), 0u);
}

TEST(FileUtils, MoveFileReplace) {
    testsupport::TempDir tmp;
    auto from = tmp.write("from", "new");
    auto to = tmp.write("to", "old content");
    EXPECT_EQ(MoveFileReplace(from.string(), to.string()), 1);
    EXPECT_EQ(tmp.read("to"), "new");
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(MoveFileReplace((tmp / "gone").string(), to.string()), 0);
    EXPECT_EQ(tmp.read("to"), "new");
}

TEST(FileUtils, MoveFileReplaceAcrossFileSystems) {
    // /dev/shm is a tmpfs; the test folder usually is not.
    testsupport::TempDir tmp;
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
    struct stat a{}, b{};
    ASSERT_EQ(stat(tmp.path().c_str(), &a), 0);
    ASSERT_EQ(stat("/dev/shm", &b), 0);
    if (a.st_dev == b.st_dev) GTEST_SKIP() << "same file system";
    fs::path src = fs::path("/dev/shm") / ("morvane-move-" + std::to_string(getpid()));
    {
        std::string data(3 << 20, 'q');
        FILE* f = fopen(src.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(data.data(), 1, data.size(), f);
        fclose(f);
    }
    auto to = tmp.write("to", "old");
    EXPECT_EQ(MoveFileReplace(src.string(), to.string()), 1);
    EXPECT_FALSE(fs::exists(src));
    EXPECT_EQ(fs::file_size(to), 3u << 20);
    // only the target remains in the folder: no stray copy
    int n = 0;
    for (auto& e : fs::directory_iterator(tmp.path())) (void)e, ++n;
    EXPECT_EQ(n, 1);
}

TEST(FileUtils, RecycleMovesToTheTrashAndPermanentDeletes) {
    testsupport::TempDir tmp;
    // Set before GLib first reads it in this process.
    testsupport::ScopedEnv data("XDG_DATA_HOME", (tmp / "data").string());
    auto old = tmp.write("downloads/setup.exe", "old version");
    RecycleOrDeleteFile(old.string(), false);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(tmp.read("data/Trash/files/setup.exe"), "old version");

    auto temp = tmp.write("downloads/part.tmp", "x");
    RecycleOrDeleteFile(temp.string(), true);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(fs::exists(tmp / "data/Trash/files/part.tmp"));
}

TEST(FileUtils, AnsiPathsReachTheFileSystemAsUtf8) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "GB18030");
    testsupport::TempDir tmp;
    // GBK "中" names the folder "\xE4\xB8\xAD" on disk.
    std::string ansi = tmp.path().string() + "/\xD6\xD0/x";
    EXPECT_EQ(MakeDirectories(ansi), 1);
    EXPECT_TRUE(fs::is_directory(tmp.path() / "\xE4\xB8\xAD" / "x"));
    EXPECT_TRUE(IsDirectory(ansi));
    EXPECT_TRUE(FileExists(ansi));
    tmp.write("\xE4\xB8\xAD/f", "12345");
    EXPECT_EQ(GetFileSize64(tmp.path().string() + "/\xD6\xD0/f"), 5u);
}

TEST(SystemInfo, FollowsTheConfiguredVersion) {
    {
        testsupport::ScopedEnv v("MORVANE_WINVER", "10.0");
        EXPECT_EQ(download::GetNtMajorVersion(), 10);
        EXPECT_TRUE(download::IsWindows10());
    }
    {
        testsupport::ScopedEnv v("MORVANE_WINVER", "6.1");
        EXPECT_EQ(download::GetNtMajorVersion(), 6);
        EXPECT_FALSE(download::IsWindows10());
    }
}
