#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/shell/shelllink.h"
#include "support/temp_dir.h"

namespace {

struct ComSession {
    ComSession() { CoInitialize(nullptr); }
    ~ComSession() { CoUninitialize(); }
};

struct Link {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    Link() {
        EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)),
                  S_OK);
        EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    }
    ~Link() {
        file->Release();
        link->Release();
    }
};

std::wstring Wide(const std::filesystem::path& p) { return p.wstring(); }

std::string RunLnkinfo(const std::filesystem::path& p) {
    std::string cmd = "lnkinfo '" + p.string() + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    std::string out;
    char buf[512];
    while (pipe && fgets(buf, sizeof buf, pipe.get())) out += buf;
    return out;
}

}  // namespace

TEST(ShellLink, NeedsComInitialised) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &out),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
}

TEST(ShellLink, WrittenLinkIsReadByAnotherReader) {
    ComSession com;
    testsupport::TempDir dir;
    auto path = dir / "Morvane.lnk";
    {
        Link l;
        ASSERT_EQ(l.link->SetPath("/opt/morvane/morvane"), S_OK);
        ASSERT_EQ(l.link->SetArguments("-s Desktop"), S_OK);
        ASSERT_EQ(l.file->Save(Wide(path).c_str(), TRUE), S_OK);
    }
    std::string info = RunLnkinfo(path);
    EXPECT_NE(info.find("/opt/morvane/morvane"), std::string::npos) << info;
    EXPECT_NE(info.find("-s Desktop"), std::string::npos) << info;

    // Changing only the arguments keeps the rest, and the other reader sees the new ones.
    {
        Link l;
        ASSERT_EQ(l.file->Load(Wide(path).c_str(), STGM_READWRITE), S_OK);
        ASSERT_EQ(l.link->SetArguments("-s StartMenu --fresh"), S_OK);
        ASSERT_EQ(l.file->Save(Wide(path).c_str(), TRUE), S_OK);
    }
    info = RunLnkinfo(path);
    EXPECT_NE(info.find("-s StartMenu --fresh"), std::string::npos) << info;
    EXPECT_EQ(info.find("-s Desktop"), std::string::npos) << info;
    EXPECT_NE(info.find("/opt/morvane/morvane"), std::string::npos) << info;

    Link back;
    ASSERT_EQ(back.file->Load(Wide(path).c_str(), STGM_READ), S_OK);
    char args[64];
    ASSERT_EQ(back.link->GetArguments(args, sizeof args), S_OK);
    EXPECT_STREQ(args, "-s StartMenu --fresh");
}

TEST(ShellLink, ForeignBytesSurviveAnArgumentChange) {
    ComSession com;
    testsupport::TempDir dir;
    auto path = dir / "x.lnk";
    {
        Link l;
        l.link->SetPath("C:\\a.exe");
        l.file->Save(Wide(path).c_str(), TRUE);
    }
    // Append an extra-data block before the terminal block, as other writers do.
    std::string bytes = testsupport::ReadFile(path);
    bytes.resize(bytes.size() - 4);
    std::string block("\x0c\x00\x00\x00\x03\x00\x00\xa0\xAA\xBB\xCC\xDD", 12);
    bytes += block + std::string(4, '\0');
    dir.write("x.lnk", bytes);
    {
        Link l;
        ASSERT_EQ(l.file->Load(Wide(path).c_str(), STGM_READWRITE), S_OK);
        l.link->SetArguments("new");
        ASSERT_EQ(l.file->Save(Wide(path).c_str(), TRUE), S_OK);
    }
    std::string after = testsupport::ReadFile(path);
    EXPECT_NE(after.find(block), std::string::npos);
    EXPECT_EQ(after.substr(after.size() - 4), std::string(4, '\0'));
}

// A shortcut whose arguments change is still the same file for its user: a read-only one
// stays read-only, its modification time stays (its access time is the load's), and so does
// its owner where the process may keep it.
TEST(ShellLink, AnEditedLinkKeepsModeOwnerAndTimes) {
    ComSession com;
    testsupport::TempDir dir;
    const auto path = dir / "kept.lnk";
    {
        Link l;
        l.link->SetPath("/opt/m/morvane");
        ASSERT_EQ(l.file->Save(Wide(path).c_str(), TRUE), S_OK);
    }
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const timespec old[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    {
        Link l;
        ASSERT_EQ(l.file->Load(Wide(path).c_str(), STGM_READWRITE), S_OK);
        l.link->SetArguments("-s Shortcut");
        ASSERT_EQ(l.file->Save(Wide(path).c_str(), TRUE), S_OK);
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(st.st_mtim.tv_sec, old[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, old[1].tv_nsec);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    EXPECT_NE(RunLnkinfo(path).find("-s Shortcut"), std::string::npos);
}

TEST(ShellLink, RejectsFilesThatAreNoLinks) {
    ComSession com;
    testsupport::TempDir dir;
    Link l;
    EXPECT_NE(l.file->Load(Wide(dir.write("text.lnk", "just some text, not a shortcut")).c_str(), STGM_READ), S_OK);
    {
        Link good;
        good.link->SetPath("/bin/true");
        good.link->SetArguments("abc");
        good.file->Save(Wide(dir / "good.lnk").c_str(), TRUE);
    }
    std::string full = dir.read("good.lnk");
    dir.write("cut.lnk", full.substr(0, full.size() - 8));
    EXPECT_NE(l.file->Load(Wide(dir / "cut.lnk").c_str(), STGM_READ), S_OK);
    EXPECT_NE(l.file->Load(Wide(dir / "missing.lnk").c_str(), STGM_READ), S_OK);
}
