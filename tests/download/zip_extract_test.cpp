#include "download/zip_extract.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "support/small_fs.h"
#include "support/temp_dir.h"
#include "support/zip_writer.h"

using namespace download;
using testsupport::ZipItem;
namespace fs = std::filesystem;

namespace {

// Every file below a folder: relative name -> content ("/" for folders).
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root)) return out;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        auto rel = fs::relative(e.path(), root).string();
        out[rel] = e.is_directory() ? "/" : testsupport::ReadFile(e.path());
    }
    return out;
}

unsigned Mode(const fs::path& p) {
    struct stat st{};
    stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

std::time_t MTime(const fs::path& p) {
    struct stat st{};
    stat(p.c_str(), &st);
    return st.st_mtime;
}

std::time_t ATime(const fs::path& p) {
    struct stat st{};
    stat(p.c_str(), &st);
    return st.st_atime;
}

std::int64_t UnixOf(const FILETIME& ft) {
    std::uint64_t v = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<std::int64_t>(v / 10000000ull) - 11644473600LL;
}

std::string Random(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen());
    return s;
}

class ScopedTz {
public:
    explicit ScopedTz(const char* tz) : env_("TZ", tz) { tzset(); }
    ~ScopedTz() { restore(); }

private:
    void restore() { tzset(); }
    testsupport::ScopedEnv env_;
};

}  // namespace

TEST(ZipExtract, PlainNestedFoldersIntoANewFolder) {
    testsupport::TempDir tmp;
    auto zip = tmp / "a.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {
                                               {.name = "top.txt", .data = "top"},
                                               {.name = "empty/"},  // folder by its trailing slash only
                                               {.name = "a/b/c.bin", .data = Random(100000, 1)},
                                               {.name = "a\\win.txt", .data = "backslash"},
                                               {.name = "stored.txt", .data = "plain", .stored = true},
                                               {.name = "zero.txt"},
                                           }));
    auto out = tmp / "new/deeper";
    EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, out.string(), true), 1);
    std::map<std::string, std::string> want = {
        {"top.txt", "top"}, {"empty", "/"}, {"a", "/"}, {"a/b", "/"}, {"a/b/c.bin", Random(100000, 1)},
        {"a/win.txt", "backslash"}, {"stored.txt", "plain"}, {"zero.txt", ""},
    };
    EXPECT_EQ(Tree(out), want);
    EXPECT_FALSE(fs::exists(zip)) << "a fully extracted archive is deleted on request";
}

TEST(ZipExtract, EntryInformationAndArguments) {
    testsupport::TempDir tmp;
    auto zip = tmp / "a.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {
                                               {.name = "dos_ro.txt", .data = "x", .externalAttr = 0x21},
                                               {.name = "dosdir/", .externalAttr = 0x10},
                                               {.name = "unix_rw", .data = "y", .host = 3, .externalAttr = 0100644u << 16},
                                               {.name = "unix_ro", .data = "z", .host = 3, .externalAttr = 0100444u << 16},
                                               {.name = "unixdir/", .host = 3, .externalAttr = 040755u << 16},
                                           }));
    HZIP h = OpenZipFile(zip.string(), nullptr, tmp.path().string());
    ASSERT_NE(h, nullptr);
    ZipEntryInfo info;
    ASSERT_EQ(GetZipItem(h, -1, &info), ZR_OK);
    EXPECT_EQ(info.index, 5);
    struct A {
        int index;
        DWORD attributes;
    };
    for (A a : {A{0, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE}, A{1, FILE_ATTRIBUTE_DIRECTORY},
                A{2, FILE_ATTRIBUTE_ARCHIVE}, A{3, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
                A{4, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY}}) {
        ASSERT_EQ(GetZipItem(h, a.index, &info), ZR_OK);
        EXPECT_EQ(info.attributes, a.attributes) << info.name;
        EXPECT_EQ(info.index, a.index);
    }
    // backwards and again
    ASSERT_EQ(GetZipItem(h, 0, &info), ZR_OK);
    EXPECT_EQ(info.name, "dos_ro.txt");
    EXPECT_EQ(info.uncompressedSize, 1u);
    EXPECT_EQ(GetZipItem(h, 5, &info), ZR_ARGS);
    EXPECT_EQ(GetLastZipResult(), ZR_ARGS);
    EXPECT_EQ(GetZipItem(h, -2, &info), ZR_ARGS);
    EXPECT_EQ(UnzipItemToFile(h, 7, "x"), ZR_ARGS);
    EXPECT_EQ(GetZipItem(nullptr, 0, &info), ZR_ARGS);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(GetZipItem(h, i, &info), ZR_OK);
        EXPECT_EQ(UnzipItemToFile(h, i, info.name), ZR_OK) << info.name;
    }
    EXPECT_EQ(CloseZipFile(h), ZR_OK);
    EXPECT_EQ(Mode(tmp / "dos_ro.txt") & 0222, 0u);
    EXPECT_NE(Mode(tmp / "dos_ro.txt") & 0400, 0u);
    EXPECT_EQ(Mode(tmp / "unix_rw"), 0644u);
    EXPECT_EQ(Mode(tmp / "unix_ro"), 0444u);
    EXPECT_TRUE(fs::is_directory(tmp / "dosdir"));
    EXPECT_TRUE(fs::is_directory(tmp / "unixdir"));
}

TEST(ZipExtract, UnixEntriesKeepTheirExecuteBitsUnderTheUmask) {
    const std::vector<unsigned> stored = {0777, 0755, 0700, 0644, 0444};
    for (mode_t mask : {022u, 027u, 077u}) {
        SCOPED_TRACE(mask);
        testsupport::TempDir tmp;
        std::vector<testsupport::ZipItem> entries;
        for (unsigned m : stored)
            entries.push_back({.name = "m" + std::to_string(m), .data = "x", .host = 3, .externalAttr = (0100000u | m) << 16});
        ASSERT_TRUE(testsupport::WriteZip(tmp / "m.zip", entries));
        const mode_t before = ::umask(mask);
        const int result = ExtractZipToFolder((tmp / "m.zip").string(), nullptr, (tmp / "out").string(), false);
        ::umask(before);
        ASSERT_EQ(result, 1);
        for (unsigned m : stored) EXPECT_EQ(Mode(tmp / "out" / ("m" + std::to_string(m))), m & ~mask) << std::oct << m;
    }
}

TEST(ZipExtract, TimesInTwoTimeZones) {
    testsupport::TempDir tmp;
    auto zip = tmp / "t.zip";
    const std::int32_t ut = 1700000000;  // 2023-11-14 22:13:20 UTC
    // DOS time 2025-01-01 12:00:00 local
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "dos.txt", .data = "d"},
                                            {.name = "ut.txt", .data = "u", .utModify = ut, .utAccess = ut - 3600}}));
    std::map<std::string, std::time_t> dosMtime;
    for (const char* tz : {"UTC0", "CST-8"}) {
        ScopedTz zone(tz);
        auto out = tmp / tz;
        ASSERT_EQ(ExtractZipToFolder(zip.string(), nullptr, out.string(), false), 1);
        dosMtime[tz] = MTime(out / "dos.txt");
        EXPECT_EQ(MTime(out / "ut.txt"), ut) << tz;
        EXPECT_EQ(ATime(out / "ut.txt"), ut - 3600) << tz;

        HZIP h = OpenZipFile(zip.string(), nullptr, out.string());
        ZipEntryInfo info;
        ASSERT_EQ(GetZipItem(h, 1, &info), ZR_OK);
        EXPECT_EQ(UnixOf(info.modifyTime), ut);
        CloseZipFile(h);
    }
    // 12:00 on 2025-01-01 in UTC, and in UTC+8 eight hours earlier.
    EXPECT_EQ(dosMtime["UTC0"], 1735732800);
    EXPECT_EQ(dosMtime["CST-8"], 1735732800 - 8 * 3600);
    EXPECT_EQ(UnixOf(DosDateTimeToFileTime(0x5A21, 0x6000)), 1735732800);
}

TEST(ZipExtract, Password) {
    testsupport::TempDir tmp;
    auto zip = tmp / "p.zip";
    const std::string secret = Random(50000, 7);
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "plain.txt", .data = "open"},
                                            {.name = "secret.bin", .data = secret, .password = "s3cret"}}));
    EXPECT_EQ(ExtractZipToFolder(zip.string(), "s3cret", (tmp / "ok").string(), false), 1);
    EXPECT_TRUE(tmp.read("ok/secret.bin") == secret);
    // the system's unzip reads the same archive with the same password
    ASSERT_EQ(std::system(("unzip -qq -P s3cret '" + zip.string() + "' -d '" + (tmp / "peer").string() + "'").c_str()), 0);
    EXPECT_TRUE(tmp.read("peer/secret.bin") == secret);

    for (const char* pw : {"wrong", static_cast<const char*>(nullptr)}) {
        auto out = tmp / (pw ? "wrong" : "none");
        HZIP h = OpenZipFile(zip.string(), pw, out.string());
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(UnzipItemToFile(h, 1, "secret.bin"), ZR_PASSWORD);
        EXPECT_EQ(UnzipItemToFile(h, 0, "plain.txt"), ZR_OK);
        CloseZipFile(h);
        EXPECT_EQ(Tree(out), (std::map<std::string, std::string>{{"plain.txt", "open"}}));
    }
    EXPECT_EQ(ExtractZipToFolder(zip.string(), "wrong", (tmp / "w2").string(), true), 0);
    EXPECT_TRUE(fs::exists(zip)) << "a failed extraction keeps the archive";
}

TEST(ZipExtract, CorruptDataFailsWithoutPartialFiles) {
    testsupport::TempDir tmp;
    auto zip = tmp / "c.zip";
    const std::string big = Random(200000, 3);
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "good.txt", .data = "fine"}, {.name = "big.bin", .data = big}}));
    std::string bytes = testsupport::ReadFile(zip);
    // damage the middle of the second entry's data
    auto at = bytes.find("big.bin");
    ASSERT_NE(at, std::string::npos);
    for (std::size_t i = at + 1000; i < at + 1100; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    tmp.write("c.zip", bytes);
    auto out = tmp / "out";
    tmp.write("out/big.bin", "old file");
    EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, out.string(), true), 0);
    EXPECT_TRUE(fs::exists(zip));
    // the good entry is there, the old file is untouched, no partial file is left
    EXPECT_EQ(Tree(out), (std::map<std::string, std::string>{{"good.txt", "fine"}, {"big.bin", "old file"}}));

    HZIP h = OpenZipFile(zip.string(), nullptr, out.string());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(UnzipItemToFile(h, 1, "big.bin"), ZR_FLATE);
    CloseZipFile(h);
}

TEST(ZipExtract, CrcMismatchOfStoredDataFails) {
    testsupport::TempDir tmp;
    auto zip = tmp / "s.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "s.txt", .data = "stored plain text", .stored = true}}));
    std::string bytes = testsupport::ReadFile(zip);
    auto at = bytes.find("plain");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'P';
    tmp.write("s.zip", bytes);
    HZIP h = OpenZipFile(zip.string(), nullptr, (tmp / "out").string());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(UnzipItemToFile(h, 0, "s.txt"), ZR_FLATE);
    CloseZipFile(h);
    EXPECT_TRUE(Tree(tmp / "out").empty());
}

TEST(ZipExtract, TruncatedOrForeignFilesGiveNoHandle) {
    testsupport::TempDir tmp;
    auto zip = tmp / "t.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "a.txt", .data = Random(5000, 2)}}));
    std::string bytes = testsupport::ReadFile(zip);
    tmp.write("cut.zip", bytes.substr(0, bytes.size() / 2));
    tmp.write("text.zip", "this is no archive");
    for (const char* name : {"cut.zip", "text.zip", "missing.zip"}) {
        EXPECT_EQ(OpenZipFile((tmp / name).string(), nullptr, tmp.path().string()), nullptr) << name;
        EXPECT_EQ(GetLastZipResult(), ZR_NOFILE);
        EXPECT_EQ(ExtractZipToFolder((tmp / name).string(), nullptr, (tmp / "out").string(), true), 0) << name;
    }
    EXPECT_TRUE(fs::exists(tmp / "cut.zip"));
    EXPECT_TRUE(fs::exists(tmp / "text.zip"));
}

TEST(ZipExtract, NamesThatLeaveTheRootAreRefused) {
    testsupport::TempDir tmp;
    auto root = tmp / "root";
    fs::create_directories(root);
    const std::vector<std::string> evil = {
        "../evil", "a/../../evil", "..\\evil", "a\\..\\..\\evil", "/abs_evil", "\\abs_evil",
        "C:\\evil", "C:evil", "a/b/..", "..",
    };
    std::vector<ZipItem> items;
    for (const auto& n : evil) items.push_back({.name = n, .data = "bad"});
    items.push_back({.name = "./fine/./ok.txt", .data = "ok"});
    auto zip = tmp / "slip.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, items));

    HZIP h = OpenZipFile(zip.string(), nullptr, root.string());
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < static_cast<int>(evil.size()); ++i) EXPECT_EQ(UnzipItemToFile(h, i, evil[i]), ZR_ARGS) << evil[i];
    EXPECT_EQ(UnzipItemToFile(h, static_cast<int>(evil.size()), "./fine/./ok.txt"), ZR_OK);
    CloseZipFile(h);
    EXPECT_EQ(Tree(tmp.path()), (std::map<std::string, std::string>{{"root", "/"},
                                                                     {"root/fine", "/"},
                                                                     {"root/fine/ok.txt", "ok"},
                                                                     {"slip.zip", testsupport::ReadFile(zip)}}));
    EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, root.string(), true), 0);
    EXPECT_TRUE(fs::exists(zip));
}

// Each archive holds one entry; its folder lies three levels below the row's own folder, so a
// name that escaped would still show up in the row's tree.
TEST(ZipExtract, EntryNamesAreCleanedSoNothingLandsOutsideTheFolder) {
    using namespace std::string_literals;
    struct Row {
        const char* label;
        ZipItem item;
        std::string cleaned;  // the name GetZipItem gives
        std::map<std::string, std::string> written;  // below the folder; empty: the entry is refused
    };
    const std::vector<Row> rows = {
        {"absolute", {.name = "/abs.txt", .data = "1"}, "abs.txt", {{"abs.txt", "1"}}},
        {"parent inside", {.name = "dir/../x.txt", .data = "2"}, "x.txt", {{"x.txt", "2"}}},
        {"drive", {.name = "C:\\d.txt", .data = "3"}, "d.txt", {{"d.txt", "3"}}},
        {"leading parents", {.name = "..\\..\\up.txt", .data = "4"}, "up.txt", {{"up.txt", "4"}}},
        {"parents past the top", {.name = "a/../../b.txt", .data = "5"}, "b.txt", {{"b.txt", "5"}}},
        {"one leading parent", {.name = "../up.txt", .data = "6"}, "up.txt", {{"up.txt", "6"}}},
        {"drive and slashes", {.name = "D:/\\/x/y.txt", .data = "7"}, "x/y.txt", {{"x", "/"}, {"x/y.txt", "7"}}},
        {"symbolic link",
         {.name = "link", .data = "../../../../etc", .host = 3, .externalAttr = 0120777u << 16},
         "link",
         {}},
        {"empty", {.name = "", .data = "8"}, "", {}},
        {"slash only", {.name = "/", .data = ""}, "", {}},
        {"ends in a parent step", {.name = "a/b/..", .data = "9"}, "a/b/..", {}},
        // Names with NUL bytes are cut at the first one before anything looks at them.
        {"NUL then parents", {.name = "x", .data = "10", .rawName = "a/b/c\0/../../evil"s}, "a/b/c",
         {{"a", "/"}, {"a/b", "/"}, {"a/b/c", "10"}}},
        {"parent steps hidden by NULs", {.name = "x", .data = "11", .rawName = "..\0/..\0/..\0/evil"s}, "..", {}},
        {"the same with backslashes", {.name = "x", .data = "12", .rawName = "..\0\\..\0\\..\0\\evil"s}, "..", {}},
        {"NUL after a parent step", {.name = "x", .data = "13", .rawName = "d/..\0/../../evil"s}, "d/..", {}},
    };
    testsupport::TempDir tmp;
    int n = 0;
    for (const auto& row : rows) {
        const auto base = tmp / std::to_string(n++);
        const auto folder = base / "1/2/3";
        const auto zip = tmp / (std::to_string(n) + ".zip");
        ASSERT_TRUE(testsupport::WriteZip(zip, {row.item})) << row.label;

        HZIP h = OpenZipFile(zip.string(), nullptr, folder.string());
        ASSERT_NE(h, nullptr) << row.label;
        ZipEntryInfo info;
        EXPECT_EQ(GetZipItem(h, 0, &info), ZR_OK) << row.label;
        EXPECT_EQ(info.name, row.cleaned) << row.label;
        CloseZipFile(h);

        const bool refused = row.written.empty();
        EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, folder.string(), true), refused ? 0 : 1) << row.label;
        EXPECT_EQ(fs::exists(zip), refused) << row.label << ": the archive is kept only when extraction failed";
        std::map<std::string, std::string> want = {{"1", "/"}, {"1/2", "/"}, {"1/2/3", "/"}};
        for (const auto& [name, content] : row.written) want["1/2/3/" + name] = content;
        EXPECT_EQ(Tree(base), want) << row.label;
    }
}

// Archives made to hurt the machine they are unpacked on. The folder lies on a file system of
// 2 MiB; each row's archive fails and leaves no file that it did not fully write.
TEST(ZipExtract, HostileArchivesAreStoppedWithoutPartialFiles) {
    testsupport::SmallFileSystem disk(2 << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    const std::string mib(1 << 20, '\0');
    const std::string part(600000, 'p');
    struct Row {
        const char* label;
        std::vector<ZipItem> items;
        std::map<std::string, std::string> before;      // files in the folder before, "ro:" marks a read-only one
        std::map<std::string, std::string> after;
        int result = 0;
    };
    const std::vector<Row> rows = {
        {"inflates past its declared size",
         {{.name = "ok.txt", .data = "fine"}, {.name = "bomb", .data = mib, .declaredSize = 1000}},
         {},
         {{"ok.txt", "fine"}}},
        {"needs more than the free space",
         {{.name = "a", .data = mib + mib.substr(0, 300000)}, {.name = "b", .data = mib}},
         {},
         {}},
        {"declares more than the free space",
         {{.name = "small", .data = "tiny", .declaredSize = 3u << 30}},
         {},
         {}},
        {"read-only file in the folder",
         {{.name = "ro.txt", .data = "new"}, {.name = "rw.txt", .data = "new"}},
         {{"ro.txt", "ro:keep"}, {"rw.txt", "old"}},
         {{"ro.txt", "keep"}, {"rw.txt", "new"}}},
        // Not hostile: more than the free space, but each entry replaces a file as large as itself.
        {"replaces the files that take the space",
         {{.name = "a", .data = part}, {.name = "b", .data = part}},
         {{"a", part}, {"b", part}},
         {{"a", "<600000 bytes>"}, {"b", "<600000 bytes>"}},
         1},
    };
    testsupport::TempDir tmp;
    int n = 0;
    for (const auto& row : rows) {
        const auto folder = disk / std::to_string(n++);
        fs::create_directories(folder);
        for (const auto& [name, content] : row.before) {
            const bool readOnly = content.rfind("ro:", 0) == 0;
            std::ofstream(folder / name) << (readOnly ? content.substr(3) : content);
            if (readOnly) fs::permissions(folder / name, fs::perms::owner_read | fs::perms::group_read);
        }
        const auto zip = tmp / (std::to_string(n) + ".zip");
        ASSERT_TRUE(testsupport::WriteZip(zip, row.items)) << row.label;
        EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, folder.string(), true), row.result) << row.label;
        EXPECT_EQ(fs::exists(zip), row.result == 0) << row.label;
        auto tree = Tree(folder);
        for (auto& [name, content] : tree)
            if (content.size() > 64) content = "<" + std::to_string(content.size()) + " bytes>";
        EXPECT_EQ(tree, row.after) << row.label;
        fs::remove_all(folder);
    }
}

// An archive of one entry whose zip64 end record claims 2^40 entries: the count sizes nothing
// before the entries are read, and the archive fails as a corrupt one.
TEST(ZipExtract, AnEntryCountThatLiesFailsTheArchive) {
    testsupport::TempDir tmp;
    const auto plain = tmp / "plain.zip";
    ASSERT_TRUE(testsupport::WriteZip(plain, {{.name = "a.txt", .data = "one", .stored = true}}));
    std::string bytes = testsupport::ReadFile(plain);
    ASSERT_GE(bytes.size(), 22u);
    const std::size_t eocd = bytes.size() - 22;
    ASSERT_EQ(bytes.compare(eocd, 4, "PK\5\6"), 0) << "an end record without a comment";
    auto get32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    const std::uint64_t cdSize = get32(eocd + 12), cdOffset = get32(eocd + 16);
    std::string tail;
    auto put = [&](std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) tail += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::uint64_t claimed = 1ull << 40;
    put(0x06064b50, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4);
    put(claimed, 8), put(claimed, 8), put(cdSize, 8), put(cdOffset, 8);
    put(0x07064b50, 4), put(0, 4), put(eocd, 8), put(1, 4);
    put(0x06054b50, 4), put(0, 2), put(0, 2), put(0xFFFF, 2), put(0xFFFF, 2), put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4),
        put(0, 2);
    const auto zip = tmp / "lies.zip";
    std::ofstream(zip, std::ios::binary) << bytes.substr(0, eocd) + tail;

    const auto folder = tmp / "out";
    EXPECT_EQ(ExtractZipArchive(zip.string(), nullptr, folder.string(), true), ZipOutcome::Failed);
    EXPECT_TRUE(Tree(folder).empty());
    EXPECT_TRUE(fs::exists(zip));
}

TEST(ZipExtract, SymbolicLinksInTheTargetAreNotFollowed) {
    testsupport::TempDir tmp;
    auto root = tmp / "root";
    auto outside = tmp / "outside";
    fs::create_directories(root);
    fs::create_directories(outside);
    tmp.write("outside/victim", "keep me");
    fs::create_directory_symlink(outside, root / "linkdir");
    fs::create_symlink(outside / "victim", root / "linkfile");
    auto zip = tmp / "l.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "linkdir/planted", .data = "bad"},
                                            {.name = "linkfile", .data = "replaced"}}));
    EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, root.string(), false), 0);
    EXPECT_FALSE(fs::exists(outside / "planted"));
    EXPECT_EQ(tmp.read("outside/victim"), "keep me");
    // the link itself was replaced by the entry's file
    EXPECT_FALSE(fs::is_symlink(root / "linkfile"));
    EXPECT_EQ(tmp.read("root/linkfile"), "replaced");
}

TEST(ZipExtract, OutputIsBounded) {
    testsupport::TempDir tmp;
    auto zip = tmp / "bomb.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "a", .data = std::string(300000, '\0')},
                                            {.name = "b", .data = std::string(300000, '\0')}}));
    auto out = tmp / "out";
    EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, out.string(), true, 500000), 0);
    EXPECT_EQ(Tree(out).size(), 1u);
    EXPECT_TRUE(fs::exists(out / "a"));
    EXPECT_TRUE(fs::exists(zip));
    EXPECT_EQ(ExtractZipToFolder(zip.string(), nullptr, (tmp / "all").string(), false, 600000), 1);
}

TEST(ZipExtract, DiskFullLeavesNoPartialFile) {
    testsupport::TempDir tmp;
    auto zip = tmp / "big.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "big.bin", .data = Random(1 << 20, 5)}}));
    auto out = tmp / "out";
    fs::create_directories(out);
    auto fillTheDisk = [&] {
        // Writes past 64 KB fail as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {};
        lim.rlim_cur = lim.rlim_max = 65536;
        setrlimit(RLIMIT_FSIZE, &lim);
        HZIP h = OpenZipFile(zip.string(), nullptr, out.string());
        unsigned r = UnzipItemToFile(h, 0, "big.bin");
        CloseZipFile(h);
        std::_Exit(r == ZR_WRITE ? 0 : 1);
    };
    EXPECT_EXIT(fillTheDisk(), ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::is_empty(out));
}

TEST(ZipExtract, SameFilesAsTheSystemUnzip) {
    testsupport::TempDir tmp;
    auto src = tmp / "src";
    tmp.write("src/readme.txt", "hello\n");
    tmp.write("src/deep/er/data.bin", Random(300000, 9));
    tmp.write("src/deep/empty.txt", "");
    tmp.write("src/tool.sh", "#!/bin/sh\necho hi\n");
    fs::create_directories(src / "emptydir");
    fs::permissions(src / "tool.sh", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::last_write_time(src / "readme.txt", fs::last_write_time(src / "readme.txt") - std::chrono::hours(48));
    std::string cmd = "cd '" + tmp.path().string() + "' && zip -qr peer.zip src";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_EQ(std::system(("cd '" + tmp.path().string() + "' && unzip -q peer.zip -d theirs").c_str()), 0);
    ASSERT_EQ(ExtractZipToFolder((tmp / "peer.zip").string(), nullptr, (tmp / "ours").string(), false), 1);

    auto theirs = Tree(tmp / "theirs"), ours = Tree(tmp / "ours");
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(ours.size(), 8u);
    for (const auto& [name, content] : theirs) {
        EXPECT_EQ(Mode(tmp / "ours" / name), Mode(tmp / "theirs" / name)) << name;
        if (content != "/") {
            EXPECT_EQ(MTime(tmp / "ours" / name), MTime(tmp / "theirs" / name)) << name;
        }
    }

    // the same tree through the system zip's password encryption
    ASSERT_EQ(std::system(("cd '" + tmp.path().string() + "' && zip -qr -P pw enc.zip src").c_str()), 0);
    EXPECT_EQ(ExtractZipToFolder((tmp / "enc.zip").string(), "wrong", (tmp / "bad").string(), false), 0);
    ASSERT_EQ(ExtractZipToFolder((tmp / "enc.zip").string(), "pw", (tmp / "enc").string(), false), 1);
    EXPECT_TRUE(Tree(tmp / "enc") == theirs);
}
