#include "platform/shell/shell.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::wstring W(const fs::path& p) { return platform::WideFromUtf8(p.string()); }

class ShellTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    testsupport::ScopedEnv runtime{"MORVANE_RUNTIME_DIR", (tmp.path() / "run").string()};
    // GLib reads the data folder once, so it is set before anything of GLib runs in this process.
    testsupport::ScopedEnv data{"XDG_DATA_HOME", (tmp.path() / "data").string()};
    fs::path trash = tmp.path() / "data" / "Trash";
};

int Delete(const std::vector<std::string>& paths, FILEOP_FLAGS flags) {
    std::string list;
    for (const auto& p : paths) list += p + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = flags;
    return SHFileOperationA(&op);
}

constexpr FILEOP_FLAGS kQuiet = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;

}  // namespace

TEST_F(ShellTest, ChangeNoticesAreCountedAcrossProcesses) {
    EXPECT_EQ(platform::shell::ChangeNoticeCount(), 0);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, L"/x", nullptr);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_ASSOCCHANGED), 2);
    EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_UPDATEDIR), 1);
    EXPECT_EQ(platform::shell::ChangeNoticeCount(), 3);
}

TEST_F(ShellTest, DeleteWithUndoGoesToTheTrashAndWithoutIsGone) {
    auto file = tmp.write("work/movie.part", "bytes");
    auto folder = tmp.path() / "work/folder";
    tmp.write("work/folder/inner.txt", "inner");
    auto gone = tmp.write("work/gone.txt", "gone");

    EXPECT_EQ(Delete({file.string(), folder.string()}, kQuiet | FOF_ALLOWUNDO), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(testsupport::ReadFile(trash / "files/movie.part"), "bytes");
    EXPECT_EQ(testsupport::ReadFile(trash / "files/folder/inner.txt"), "inner");
    // The trash remembers where each came from, so the desktop can put it back.
    EXPECT_NE(testsupport::ReadFile(trash / "info/movie.part.trashinfo").find("Path="), std::string::npos);

    EXPECT_EQ(Delete({gone.string()}, kQuiet), 0);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_FALSE(fs::exists(trash / "files/gone.txt"));
}

TEST_F(ShellTest, DeleteReportsTheFirstFailureAndStillDeletesTheRest) {
    auto kept = tmp.write("a.txt", "a");
    EXPECT_EQ(Delete({(tmp.path() / "missing").string(), kept.string()}, kQuiet | FOF_ALLOWUNDO),
              static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(fs::exists(kept));

    SHFILEOPSTRUCTW move{};
    move.wFunc = FO_MOVE;
    move.pFrom = L"/nonexistent\0";
    EXPECT_EQ(SHFileOperationW(&move), static_cast<int>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SHFileOperationA(nullptr), static_cast<int>(ERROR_INVALID_PARAMETER));
}

TEST_F(ShellTest, AFileThatCannotGoToTheTrashStays) {
    // The trash cannot be made where a plain file stands in its way.
    tmp.write("data", "not a folder");
    auto file = tmp.write("keep.txt", "precious");
    EXPECT_NE(Delete({file.string()}, kQuiet | FOF_ALLOWUNDO), 0);
    EXPECT_EQ(testsupport::ReadFile(file), "precious");
}

TEST_F(ShellTest, WideDeleteTakesUtf8Names) {
    auto file = tmp.write("电影.mkv", "x");
    std::wstring list = W(file) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = kQuiet | FOF_ALLOWUNDO;
    EXPECT_EQ(SHFileOperationW(&op), 0);
    EXPECT_TRUE(fs::exists(trash / "files/电影.mkv"));
}

// ---- The dialogs through their answer hook

namespace {

struct OpenResult {
    BOOL ok;
    std::vector<std::wstring> parts;  // the NUL-separated pieces
    OPENFILENAMEW ofn;
};

OpenResult Open(DWORD flags, DWORD size = 1024) {
    std::vector<wchar_t> buf(size, L'?');
    buf[0] = 0;
    OpenResult r{};
    r.ofn.lStructSize = sizeof r.ofn;
    r.ofn.lpstrFilter = L"Media\0*.mkv;*.MP4\0All Files(*.*)\0*.*\0";
    r.ofn.lpstrFile = buf.data();
    r.ofn.nMaxFile = size;
    r.ofn.Flags = flags;
    r.ok = GetOpenFileNameW(&r.ofn);
    if (r.ok) {
        for (const wchar_t* p = buf.data(); *p; p += std::wcslen(p) + 1) r.parts.emplace_back(p);
    } else if (size > 0) {
        r.parts.emplace_back(1, buf[0]);
    }
    r.ofn.lpstrFile = nullptr;
    return r;
}

}  // namespace

TEST_F(ShellTest, OpenDialogAnswersOneFileOrAFolderAndNames) {
    auto a = tmp.write("media/a.mkv", "a");
    auto b = tmp.write("media/b.mp4", "b");
    fs::path here = fs::current_path();
    {
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", a.string());
        OpenResult r = Open(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(r.parts.size(), 1u);
        EXPECT_EQ(r.parts[0], W(a));
        EXPECT_EQ(r.parts[0].substr(r.ofn.nFileOffset), L"a.mkv");
        EXPECT_EQ(r.parts[0].substr(r.ofn.nFileExtension), L"mkv");
        // The chosen folder becomes the current one, as the callers rely on.
        EXPECT_EQ(fs::current_path(), fs::canonical(tmp.path() / "media"));
    }
    fs::current_path(here);
    {
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", a.string() + "|" + b.string());
        OpenResult r = Open(OFN_EXPLORER | OFN_ALLOWMULTISELECT);
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(r.parts.size(), 3u);
        EXPECT_EQ(r.parts[0], W(tmp.path() / "media"));
        EXPECT_EQ(r.parts[1], L"a.mkv");
        EXPECT_EQ(r.parts[2], L"b.mp4");
        EXPECT_EQ(r.ofn.nFileOffset, r.parts[0].size() + 1);
        // Without multi-select only the first is taken.
        r = Open(OFN_EXPLORER | OFN_NOCHANGEDIR);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.parts, std::vector<std::wstring>{W(a)});
    }
    fs::current_path(here);
}

TEST_F(ShellTest, OpenDialogCancelMissingFilesAndSmallBuffers) {
    auto a = tmp.write("a.mkv", "a");
    {
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", "");
        EXPECT_FALSE(Open(OFN_EXPLORER).ok);
        EXPECT_EQ(CommDlgExtendedError(), 0u);
    }
    {
        const std::string missing = (tmp.path() / "missing.mkv").string();
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", missing);
        EXPECT_FALSE(Open(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR).ok);
        // Without the flag a missing name comes back, for the caller to find missing.
        OpenResult r = Open(OFN_EXPLORER | OFN_NOCHANGEDIR);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.parts[0], platform::WideFromUtf8(missing));
    }
    {
        // An answer set in the process wins over the environment's, and leaves it again.
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", "");
        platform::shell::SetDialogAnswer(a.string());
        EXPECT_TRUE(Open(OFN_EXPLORER | OFN_NOCHANGEDIR).ok);
        platform::shell::SetDialogAnswer(std::nullopt);
        EXPECT_FALSE(Open(OFN_EXPLORER | OFN_NOCHANGEDIR).ok);
    }
    {
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", a.string());
        OpenResult r = Open(OFN_EXPLORER | OFN_NOCHANGEDIR, 5);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
        EXPECT_EQ(static_cast<size_t>(r.parts[0][0]), a.string().size() + 2);
    }
}

TEST_F(ShellTest, FolderDialogAnswersAFolderOnly) {
    fs::create_directories(tmp.path() / "shots/2024");
    wchar_t name[MAX_PATH] = L"?";
    BROWSEINFOW bi{};
    bi.pszDisplayName = name;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    {
        testsupport::ScopedEnv answer("MORVANE_DIALOG_ANSWER", (tmp.path() / "shots/2024/").string());
        PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi);
        ASSERT_NE(list, nullptr);
        wchar_t path[MAX_PATH] = {};
        ASSERT_TRUE(SHGetPathFromIDListW(list, path));
        EXPECT_EQ(std::wstring(path), W(tmp.path() / "shots/2024"));
        EXPECT_EQ(std::wstring(name), L"2024");
        CoTaskMemFree(list);
    }
    for (std::string answer : {std::string(), tmp.write("file.txt", "x").string()}) {
        testsupport::ScopedEnv env("MORVANE_DIALOG_ANSWER", answer);
        EXPECT_EQ(SHBrowseForFolderW(&bi), nullptr) << answer;
    }
    EXPECT_FALSE(SHGetPathFromIDListW(nullptr, name));
}

// ---- Moving files

TEST_F(ShellTest, MoveAcrossFileSystemsStreamsAndReplacesAtOnce) {
    struct stat a {}, b {};
    if (::stat(tmp.path().c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system here";
    fs::path shm = fs::path("/dev/shm") / ("morvane-move-" + std::to_string(getpid()));
    fs::create_directories(shm);

    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 7);
    auto from = tmp.write("big.bin", big);
    ::chmod(from.c_str(), 0640);
    fs::path to = shm / "big.bin";
    ASSERT_TRUE(platform::WriteFileAtomic(to.string(), "old"));

    EXPECT_TRUE(MoveFileExA(from.c_str(), to.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(testsupport::ReadFile(to), big);
    struct stat st {};
    ::stat(to.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Without the replace flag an existing target stays, and so does the source.
    auto again = tmp.write("again.bin", "new");
    EXPECT_FALSE(MoveFileExA(again.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(testsupport::ReadFile(to), big);
    // A target folder that is not there: the source is kept and nothing is left behind.
    EXPECT_FALSE(MoveFileExA(again.c_str(), (shm / "no/such").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(testsupport::ReadFile(again), "new");
    size_t entries = 0;
    for (auto& e : fs::directory_iterator(shm)) entries += e.is_regular_file();
    EXPECT_EQ(entries, 1u);
    fs::remove_all(shm);
}
