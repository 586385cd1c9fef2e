#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/profile/profile.h"
#include "support/file_size_limit.h"
#include "support/file_watch.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"
#include "support/write_lock_held.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

std::wstring W(const std::filesystem::path& p) { return p.wstring(); }

std::wstring Read(const std::wstring& file, const wchar_t* sec, const wchar_t* key, const wchar_t* def = L"",
                  DWORD size = 1024) {
    std::vector<wchar_t> buf(size + 2, L'#');
    DWORD n = GetPrivateProfileStringW(sec, key, def, buf.data(), size, file.c_str());
    return std::wstring(buf.data(), n);
}

std::vector<std::wstring> List(const std::wstring& file, const wchar_t* sec) {
    std::vector<wchar_t> buf(4096);
    DWORD n = GetPrivateProfileStringW(sec, nullptr, L"", buf.data(), 4096, file.c_str());
    std::vector<std::wstring> names;
    for (const wchar_t* p = buf.data(); p < buf.data() + n && *p; p += wcslen(p) + 1) names.emplace_back(p);
    return names;
}

TEST(Profile, ReadsWindowsStyleFiles) {
    TempDir dir;
    auto file = W(dir.write("a.ini",
                            "\xEF\xBB\xBF; comment\r\n[Global]\r\n  Name = Some Value  \r\nquoted=\"  x  \"\r\n"
                            "num=-42\r\nbig=99999999999\r\njunk=12abc\r\nempty=\r\n[Other]\nk=v\n[全局]\n键=值\n"));
    struct Case {
        const wchar_t* sec;
        const wchar_t* key;
        const wchar_t* def;
        std::wstring want;
    } cases[] = {
        {L"Global", L"Name", L"", L"Some Value"},
        {L"GLOBAL", L"name", L"", L"Some Value"},  // sections and keys ignore case
        {L"Global", L"quoted", L"", L"  x  "},     // matching quotes are removed
        {L"Global", L"missing", L"dflt  ", L"dflt"},  // trailing blanks of the default go
        {L"Nowhere", L"k", nullptr, L""},
        {L"Other", L"K", L"", L"v"},
        {L"全局", L"键", L"", L"值"},
        {L"Global", L"empty", L"d", L""},
    };
    const platform::ProfileSnapshot snapshot(file);
    for (const auto& c : cases) {
        EXPECT_EQ(Read(file, c.sec, c.key, c.def), c.want) << c.sec << L"/" << c.key;
        std::wstring_view def = c.def ? c.def : L"";
        if (def == L"dflt  ") continue;  // only the profile functions cut the default's blanks
        EXPECT_EQ(snapshot.ReadString(c.sec, c.key, def), c.want) << "snapshot: " << c.sec << L"/" << c.key;
    }

    struct IntCase {
        const wchar_t* key;
        INT def;
        INT want;
    } ints[] = {{L"num", 0, -42}, {L"big", 0, 2147483647}, {L"junk", 0, 12},
                {L"Name", 5, 0},  {L"empty", 7, 7},        {L"missing", 9, 9}};
    for (const auto& c : ints) {
        EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntW(L"Global", c.key, c.def, file.c_str())), c.want) << c.key;
        EXPECT_EQ(snapshot.ReadInt(L"global", c.key, c.def), c.want) << "snapshot: " << c.key;
    }
}

TEST(Profile, ASnapshotAnswersFromTheVersionItRead) {
    TempDir dir;
    auto file = W(dir.write("s.ini", "[s]\nk=1\n"));
    const platform::ProfileSnapshot before(file);
    ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"k", L"2", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"t", L"n", L"3", file.c_str()));
    EXPECT_EQ(before.ReadString(L"S", L"K", L""), L"1");
    EXPECT_EQ(before.ReadInt(L"t", L"n", -1), -1);
    const platform::ProfileSnapshot after(file);
    EXPECT_EQ(after.ReadString(L"s", L"k", L""), L"2");
    EXPECT_EQ(after.ReadInt(L"T", L"N", -1), 3);
    std::wstring v;
    EXPECT_FALSE(platform::ProfileSnapshot(W(dir.path() / "missing.ini")).ReadString(L"s", L"k", v));
}

// A write rewrites the line it touches and leaves every other byte of the file as it was: line
// breaks, blanks, a byte-order mark, bytes that are not UTF-8.
TEST(Profile, WritesChangeOnlyTheLineTheyTouch) {
    struct Case {
        std::string before;
        const wchar_t* sec;
        const wchar_t* key;
        const wchar_t* value;
        std::string after;
    } cases[] = {
        {"[s]\r\nk = 1 \r\n\r\n[t]\r\nz=2\r\n", L"S", L"K", L"5", "[s]\r\nk = 5 \r\n\r\n[t]\r\nz=2\r\n"},
        {"[s]\r\nk=1\r\n\r\n[t]\r\n", L"s", L"new", L"x", "[s]\r\nk=1\r\nnew=x\r\n\r\n[t]\r\n"},
        {"[s]\r\nk=1\r\n", L"u", L"a", L"1", "[s]\r\nk=1\r\n[u]\r\na=1\r\n"},
        {"[s]\nk=1", L"s", L"j", L"2", "[s]\nk=1\nj=2\n"},  // no line break at the end
        {"[s]\nk=1", L"u", L"a", L"1", "[s]\nk=1\n[u]\na=1\n"},
        {"[s]", L"s", L"k", L"1", "[s]\nk=1\n"},
        {"\xEF\xBB\xBF[s]\nk=1\n", L"s", L"k", L"2", "\xEF\xBB\xBF[s]\nk=2\n"},
        {"\xEF\xBB\xBF", L"s", L"k", L"1", "\xEF\xBB\xBF[s]\nk=1\n"},
        {"[s]\nk=\xFF\xFE\n[t]\nz=1\n", L"t", L"z", L"2", "[s]\nk=\xFF\xFE\n[t]\nz=2\n"},
        {"[s]\na=1\n; b\nb=2\nc=3\n", L"s", L"B", nullptr, "[s]\na=1\n; b\nc=3\n"},
        {"[s]\na=1\n[t]\nb=2\n[S]\nc=3\n", L"s", nullptr, nullptr, "[t]\nb=2\n"},
        {"[s]\nk=1\n[s]\nk=9\n", L"s", L"k", L"2", "[s]\nk=2\n[s]\nk=9\n"},  // the first of two
        {"x=0\n[s]\nk=1\n", L"s", L"k", L"", "x=0\n[s]\nk=\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        auto path = dir.write("w.ini", c.before);
        EXPECT_TRUE(WritePrivateProfileStringW(c.sec, c.key, c.value, W(path).c_str()));
        EXPECT_EQ(testsupport::ReadFile(path), c.after) << c.before;
    }
}

TEST(Profile, BufferLimitsFollowWindows) {
    TempDir dir;
    auto file = W(dir.write("a.ini", "[s]\nk=" + std::string(300, 'x') + "\n"));
    EXPECT_EQ(Read(file, L"s", L"k", L"", 260).size(), 259u);
    std::wstring full;
    ASSERT_TRUE(platform::ReadProfileString(file, L"S", L"K", full));
    EXPECT_EQ(full.size(), 300u);

    // A list that does not fit ends with two NULs and reports size - 2.
    wchar_t buf[6];
    WritePrivateProfileStringW(L"one", L"a", L"1", file.c_str());
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, L"", buf, 6, file.c_str());
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(buf[4], L'\0');
    EXPECT_EQ(buf[5], L'\0');
}

TEST(Profile, WritesUpdateDeleteAndEnumerate) {
    TempDir dir;
    auto file = W(dir.path() / "new.ini");
    ASSERT_TRUE(WritePrivateProfileStringW(L"B", L"k1", L"one", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"A", L"x", L"1", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"b", L"K2", L"two", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"B", L"K1", L"uno", file.c_str()));  // replaced in place
    EXPECT_EQ(testsupport::ReadFile(dir.path() / "new.ini"), "[B]\nk1=uno\nK2=two\n[A]\nx=1\n");
    EXPECT_EQ(List(file, nullptr), (std::vector<std::wstring>{L"B", L"A"}));
    EXPECT_EQ(List(file, L"b"), (std::vector<std::wstring>{L"k1", L"K2"}));

    ASSERT_TRUE(WritePrivateProfileStringW(L"B", L"k1", nullptr, file.c_str()));
    EXPECT_EQ(List(file, L"B"), (std::vector<std::wstring>{L"K2"}));
    ASSERT_TRUE(WritePrivateProfileStringW(L"b", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(List(file, nullptr), (std::vector<std::wstring>{L"A"}));
    // Deleting what is not there succeeds and changes nothing.
    EXPECT_TRUE(WritePrivateProfileStringW(L"none", nullptr, nullptr, file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str()));
}

TEST(Profile, KeepsCommentsAndRefusesInjection) {
    TempDir dir;
    auto path = dir.write("c.ini", "; keep me\n[s]\n# note\nk=1\n\n[t]\nz=2\n");
    auto file = W(path);
    ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"new", L"a\r\n[t]\r\nz=evil", file.c_str()));
    EXPECT_EQ(testsupport::ReadFile(path), "; keep me\n[s]\n# note\nk=1\nnew=a  [t]  z=evil\n\n[t]\nz=2\n");
    EXPECT_EQ(Read(file, L"t", L"z"), L"2");
    EXPECT_FALSE(WritePrivateProfileStringW(L"s]x", L"k", L"v", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k=v", L"v", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k\n", L"v", file.c_str()));
}

TEST(Profile, SeesChangesMadeBehindItsBack) {
    TempDir dir;
    auto file = W(dir.write("e.ini", "[s]\nk=1\n"));
    EXPECT_EQ(Read(file, L"s", L"k"), L"1");
    dir.write("e.ini", "[s]\nk=2\n");  // same size, same inode, maybe the same time stamp
    EXPECT_EQ(Read(file, L"s", L"k"), L"2");
    std::filesystem::remove(dir.path() / "e.ini");
    EXPECT_EQ(Read(file, L"s", L"k", L"gone"), L"gone");
}

TEST(Profile, FailedWriteKeepsTheOldFile) {
    TempDir dir;
    auto path = dir.write("f.ini", "[s]\nk=1\n");
    {
        testsupport::FileSizeLimit full(12);
        EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k", std::wstring(100, L'x').c_str(), W(path).c_str()));
    }
    EXPECT_EQ(testsupport::ReadFile(path), "[s]\nk=1\n");
    EXPECT_FALSE(platform::WriteFileAtomic((dir.path() / "no" / "f.ini").string(), "x"));
}

TEST(Profile, WholeFileWriterReplacesEverything) {
    TempDir dir;
    auto path = dir.write("p.ini", "[file1]\na=1\n[file2]\na=2\n[file3]\na=3\n");
    std::vector<platform::ProfileSection> secs{{L"file1", {{L"a", L"x"}, {L"b", L"y"}}}};
    ASSERT_TRUE(platform::WriteProfileFile(W(path), secs));
    EXPECT_EQ(testsupport::ReadFile(path), "[file1]\na=x\nb=y\n");
    std::vector<platform::ProfileSection> bad{{L"ok", {{L"k=", L"v"}}}};
    EXPECT_FALSE(platform::WriteProfileFile(W(path), bad));
    EXPECT_EQ(testsupport::ReadFile(path), "[file1]\na=x\nb=y\n");
}

// A file past the size of the parsed files that are kept (a long play list) is read and
// written from its text each time: the same results, and a write still changes only its line.
TEST(Profile, ALargeFileIsReadAndWrittenLineByLine) {
    TempDir dir;
    std::string base;
    constexpr int kSections = 20000;
    for (int i = 1; i <= kSections; ++i)
        base += "[file" + std::to_string(i) + "]\nstrFilePath=/media/some folder/episode " + std::to_string(i) +
                ".mkv\nnPlayPos=0\n";
    ASSERT_GT(base.size(), 1u << 20);
    auto section = [&](int i) {
        const std::string head = "[file" + std::to_string(i) + "]\n";
        const size_t at = base.find(head);
        return std::make_pair(at, base.find('[', at + 1) - at);
    };
    auto [mid, midLen] = section(10000);
    std::string changed = base;
    changed.replace(changed.find("nPlayPos=0", mid), 10, "nPlayPos=7");
    std::string withoutMid = base;
    withoutMid.erase(mid, midLen);
    struct Case {
        const wchar_t* sec;
        const wchar_t* key;
        const wchar_t* value;
        std::string after;
    } cases[] = {
        {L"FILE10000", L"nplaypos", L"7", changed},
        {L"file20000", L"bPlayed", L"1", base + "bPlayed=1\n"},
        {L"file10000", nullptr, nullptr, withoutMid},
        {L"CurPlay", L"strFilePath", L"/a", base + "[CurPlay]\nstrFilePath=/a\n"},
        {L"file1", L"strFilePath", nullptr, base.substr(0, 8) + base.substr(base.find("nPlayPos=0"))},
    };
    for (const auto& c : cases) {
        auto path = dir.write("big.ini", base);
        EXPECT_TRUE(WritePrivateProfileStringW(c.sec, c.key, c.value, W(path).c_str()));
        EXPECT_TRUE(testsupport::ReadFile(path) == c.after) << (c.key ? "key " : "section ");
    }
    auto file = W(dir.write("big.ini", changed));
    EXPECT_EQ(Read(file, L"file10000", L"nPlayPos"), L"7");
    EXPECT_EQ(Read(file, L"file20000", L"strFilePath"), L"/media/some folder/episode 20000.mkv");
    EXPECT_EQ(Read(file, L"file20001", L"strFilePath", L"none"), L"none");
    EXPECT_EQ(List(file, L"file3"), (std::vector<std::wstring>{L"strFilePath", L"nPlayPos"}));
    const platform::ProfileSnapshot snapshot(file);
    EXPECT_EQ(snapshot.ReadInt(L"file10000", L"nPlayPos", -1), 7);
    // A write that changes nothing leaves the file alone.
    testsupport::FolderWatch watch(dir.path());
    EXPECT_TRUE(WritePrivateProfileStringW(L"file10000", L"nPlayPos", L"7", file.c_str()));
    EXPECT_EQ(watch.Replacements("big.ini"), 0);
}

// Queued writes are made by a thread of their own in the order they were queued, and every read
// or write through the functions here comes after those queued before it. Holding the file's
// write lock keeps the writer waiting, as a write still under way would.
TEST(Profile, QueuedWritesKeepTheirOrderAndComeBeforeLaterReads) {
    TempDir dir;
    auto path = dir.write("q.ini", "[old]\nk=0\n");
    const std::wstring file = W(path);
    auto text = [](const wchar_t* section, const wchar_t* key, const wchar_t* value) {
        platform::ProfileText t;
        t.AddSection(section);
        t.AddEntry(key, value);
        return t;
    };

    // A read waits for the writes queued before it.
    ASSERT_TRUE(platform::QueueProfileFile(file, text(L"a", L"k", L"1")));
    ASSERT_TRUE(platform::QueueProfileString(file, L"a", L"k2", L"2"));
    EXPECT_EQ(Read(file, L"a", L"k2"), L"2");
    EXPECT_EQ(Read(file, L"old", L"k", L"gone"), L"gone");

    // While the writer waits, a replacement drops what was queued before it, and what is
    // queued after it goes into the new file.
    testsupport::FolderWatch watch(dir.path());
    {
        platform::FileWriteLock held(path.string());
        ASSERT_TRUE(held.locked());
        // The first write is under way (its writer has come to the lock) and is not dropped.
        const int opens = watch.Opens(".q.ini.lock");
        ASSERT_TRUE(platform::QueueProfileString(file, L"a", L"under way", L"1"));
        ASSERT_TRUE(testsupport::WaitFor([&] { return watch.Opens(".q.ini.lock") > opens; }));
        ASSERT_TRUE(platform::QueueProfileString(file, L"a", L"dropped", L"1"));
        ASSERT_TRUE(platform::QueueProfileFile(file, text(L"b", L"y", L"1")));
        ASSERT_TRUE(platform::QueueProfileString(file, L"b", L"z", L"2"));
        ASSERT_TRUE(platform::QueueProfileString(file, L"c", L"k", L"3"));
        ASSERT_TRUE(platform::QueueProfileString(file, L"b", nullptr, nullptr));
    }
    EXPECT_TRUE(platform::FlushProfileWrites(file));
    EXPECT_EQ(testsupport::ReadFile(path), "[c]\nk=3\n");
    EXPECT_EQ(watch.Replacements("q.ini"), 5) << "one write for each but the one the replacement made moot";

    // What would be refused at once is refused when queued.
    EXPECT_FALSE(platform::QueueProfileString(file, L"s]", L"k", L"v"));
    EXPECT_FALSE(platform::QueueProfileString(file, L"s", L"k=", L"v"));
    EXPECT_FALSE(platform::QueueProfileString(L"", L"s", L"k", L"v"));
    platform::ProfileText bad = text(L"s", L"k\n", L"v");
    EXPECT_FALSE(bad.usable());
    EXPECT_FALSE(platform::QueueProfileFile(file, std::move(bad)));
}

TEST(Profile, AFlushWaitsForTheWriteAndTellsItsFailureOnce) {
    TempDir dir;
    auto path = dir.write("f.ini", "[s]\nk=1\n");
    const std::wstring file = W(path);
    // The writer is kept from the file for a while: a flush that did not wait would find it as
    // it was.
    {
        testsupport::WriteLockHeld slowDisk(path.string(), std::chrono::milliseconds(300));
        ASSERT_TRUE(platform::QueueProfileString(file, L"s", L"k", L"2"));
        EXPECT_TRUE(platform::FlushProfileWrites(file));
        EXPECT_EQ(testsupport::ReadFile(path), "[s]\nk=2\n");
    }

    {
        testsupport::FileSizeLimit full(12);
        ASSERT_TRUE(platform::QueueProfileString(file, L"s", L"k", std::wstring(100, L'x').c_str()));
        EXPECT_FALSE(platform::FlushProfileWrites(file));
    }
    EXPECT_EQ(testsupport::ReadFile(path), "[s]\nk=2\n") << "the old file stays whole";
    EXPECT_TRUE(platform::FlushProfileWrites(file));
    EXPECT_TRUE(platform::FlushProfileWrites(W(dir.path() / "never-written.ini")));
}

TEST(Profile, AnsiFormsUseTheAnsiCodePage) {
    ScopedEnv acp("MORVANE_ACP", "GB18030");
    TempDir dir;
    auto path = dir.path() / "config.ini";
    const char* section = "Global Options";
    const char* value = "\xD6\xD0\xCE\xC4";  // "中文" in GB18030
    ASSERT_TRUE(WritePrivateProfileStringA(section, "ProxyServer", value, path.c_str()));
    EXPECT_EQ(testsupport::ReadFile(path), "[Global Options]\nProxyServer=中文\n");  // UTF-8 on disk
    char buf[256];
    DWORD n = GetPrivateProfileStringA(section, "proxyserver", "", buf, sizeof buf, path.c_str());
    EXPECT_EQ(std::string(buf, n), value);
    WritePrivateProfileStringA(section, "ProxyPort", "8080", path.c_str());
    EXPECT_EQ(GetPrivateProfileIntA(section, "ProxyPort", 0, path.c_str()), 8080u);
    EXPECT_EQ(GetPrivateProfileIntA(section, "ProxyType", 1, path.c_str()), 1u);
}

TEST(Profile, ConcurrentWritersLoseNothing) {
    TempDir dir;
    auto file = W(dir.path() / "shared.ini");
    constexpr int kThreads = 4, kKeys = 25, kProcs = 2;
    std::vector<pid_t> kids;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int k = 0; k < kKeys; ++k) {
                std::wstring key = L"p" + std::to_wstring(p) + L"_" + std::to_wstring(k);
                if (!WritePrivateProfileStringW(L"s", key.c_str(), L"1", file.c_str())) _exit(1);
            }
            _exit(0);
        }
        kids.push_back(pid);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < kKeys; ++k) {
                std::wstring key = L"t" + std::to_wstring(t) + L"_" + std::to_wstring(k);
                WritePrivateProfileStringW(L"s", key.c_str(), L"1", file.c_str());
            }
        });
    for (auto& th : threads) th.join();
    for (pid_t pid : kids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(List(file, L"s").size(), static_cast<size_t>((kThreads + kProcs) * kKeys));
}

}  // namespace
