#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/registry_db.h"

extern char** environ;

using testsupport::RegKeyExists;
using testsupport::RegRead;
using testsupport::RegSubkeys;
using testsupport::RegValueNames;

namespace {

HKEY Create(HKEY root, const wchar_t* path, DWORD* disp = nullptr, REGSAM sam = KEY_ALL_ACCESS) {
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, sam, nullptr, &h, disp), ERROR_SUCCESS) << path;
    return h;
}

LSTATUS SetSz(HKEY h, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class Registry : public ::testing::Test {
protected:
    testsupport::TempRegistry db;
};

TEST_F(Registry, CreateMakesParentsAndNamesMatchWithoutCase) {
    DWORD disp = 0;
    HKEY h = Create(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell\\Open\\command", &disp);
    EXPECT_EQ(disp, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(h);

    h = Create(HKEY_CLASSES_ROOT, L"wzfile_MP4\\SHELL\\open", &disp);
    EXPECT_EQ(disp, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(h);

    // Stored names keep the case of their first creation.
    EXPECT_EQ(RegSubkeys(HKEY_CLASSES_ROOT, L"WZFILE_MP4\\shell"), std::vector<std::wstring>{L"Open"});
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"wzfile_mp4\\shell\\open\\COMMAND"));
    // The roots are separate trees.
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"WZfile_mp4"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"WZfile_mp4"));

    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"WZfile_mp4\\nothing", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
}

TEST_F(Registry, MalformedPathsAndHandlesAreRefused) {
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"\\lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_BAD_PATHNAME);
    std::wstring longName(256, L'x');
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(RegSubkeys(HKEY_CURRENT_USER, L"").empty());

    // A trailing "\" names the same key.
    RegCloseKey(Create(HKEY_CURRENT_USER, L"a\\b"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"a\\b\\"));

    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_EQ(RegOpenKeyExW(bogus, L"a", 0, KEY_READ, &h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
    HKEY k = Create(HKEY_CURRENT_USER, L"a");
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetSz(k, L"v", L"x"), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, StringAndDwordValuesRoundTripWithTheQuerySizeRules) {
    HKEY h = Create(HKEY_CURRENT_USER, L"Software\\Test");
    ASSERT_EQ(SetSz(h, L"", L"default text"), ERROR_SUCCESS);
    ASSERT_EQ(SetSz(h, L"Name", L"用 播放(&P)"), ERROR_SUCCESS);
    DWORD seven = 7;
    ASSERT_EQ(RegSetValueExW(h, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, L"Zero", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);

    // Null data asks for the size.
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(h, L"name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 9 * sizeof(wchar_t));

    // Too small a buffer: ERROR_MORE_DATA and the size needed.
    wchar_t small[3];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(h, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 9 * sizeof(wchar_t));

    wchar_t buf[32] = {};
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExW(h, L"NAME", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, L"用 播放(&P)");

    // A zero-length buffer: MORE_DATA for a value with bytes, SUCCESS for an empty value.
    size = 0;
    EXPECT_EQ(RegQueryValueExW(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 13 * sizeof(wchar_t));
    size = 0;
    EXPECT_EQ(RegQueryValueExW(h, L"Zero", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);

    DWORD n = 0;
    size = sizeof n;
    EXPECT_EQ(RegQueryValueExW(h, L"count", nullptr, &type, reinterpret_cast<BYTE*>(&n), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(n, 7u);

    // Rewriting a value changes its type and data, not its name or its place.
    ASSERT_EQ(SetSz(h, L"COUNT", L"seven"), ERROR_SUCCESS);
    EXPECT_EQ(RegRead(HKEY_CURRENT_USER, L"software\\test", L"Count")->text(), L"seven");
    EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, L"Software\\Test"),
              (std::vector<std::wstring>{L"", L"Name", L"Count", L"Zero"}));

    EXPECT_EQ(RegQueryValueExW(h, L"absent", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
}

TEST_F(Registry, AccessRightsOfAHandleAreEnforced) {
    RegCloseKey(Create(HKEY_CURRENT_USER, L"k"));
    HKEY ro = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"k", 0, KEY_READ, &ro), ERROR_SUCCESS);
    EXPECT_EQ(SetSz(ro, L"v", L"x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(ro, L"v"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExW(ro, L"child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(ro);

    HKEY wo = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"k", 0, KEY_SET_VALUE, &wo), ERROR_SUCCESS);
    EXPECT_EQ(SetSz(wo, L"v", L"x"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(wo, L"v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    RegCloseKey(wo);
    EXPECT_EQ(RegRead(HKEY_CURRENT_USER, L"k", L"v")->text(), L"x");
}

TEST_F(Registry, DeletingValuesKeysAndTrees) {
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L"P\\a\\b\\c", L"", L"deep");
    HKEY h = Create(HKEY_CLASSES_ROOT, L"P");
    ASSERT_EQ(SetSz(h, L"keep", L"1"), ERROR_SUCCESS);
    ASSERT_EQ(SetSz(h, L"drop", L"2"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteValueW(h, L"DROP"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(h, L"drop"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegValueNames(HKEY_CLASSES_ROOT, L"P"), std::vector<std::wstring>{L"keep"});

    // A key with subkeys is not deleted by the plain delete; nothing changes.
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L"P\\a"), ERROR_KEY_HAS_CHILDREN);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"P\\a\\b\\c"));
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L"P\\a\\b\\c"), ERROR_SUCCESS);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"P\\a\\b\\c"));
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L"P\\a\\b\\c"), ERROR_FILE_NOT_FOUND);

    // The tree delete takes everything below, values included; a handle to a deleted key says so.
    RegCloseKey(Create(HKEY_CLASSES_ROOT, L"P\\a\\b\\c\\d"));
    HKEY inner = Create(HKEY_CLASSES_ROOT, L"P\\a\\b");
    ASSERT_EQ(SetSz(inner, L"x", L"y"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, L"p\\A"), ERROR_SUCCESS);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"P\\a"));
    EXPECT_EQ(SetSz(inner, L"x", L"z"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(inner), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, L"P\\a"), ERROR_FILE_NOT_FOUND);

    // Recreating after a delete gives a fresh key, not the old values.
    RegCloseKey(Create(HKEY_CLASSES_ROOT, L"P\\a\\b"));
    EXPECT_FALSE(RegRead(HKEY_CLASSES_ROOT, L"P\\a\\b", L"x"));

    // A tree delete without a subkey empties the key and keeps it.
    EXPECT_EQ(RegDeleteTreeW(h, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"P"));
    EXPECT_TRUE(RegSubkeys(HKEY_CLASSES_ROOT, L"P").empty());
    EXPECT_TRUE(RegValueNames(HKEY_CLASSES_ROOT, L"P").empty());
    RegCloseKey(h);

    // Roots stay.
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(RegSubkeys(HKEY_CLASSES_ROOT, L"").empty());
}

TEST_F(Registry, EnumerationOrderAndBufferRules) {
    for (const wchar_t* n : {L"beta", L"Alpha", L"gamma", L"DELTA"}) RegCloseKey(Create(HKEY_CURRENT_USER, (std::wstring(L"E\\") + n).c_str()));
    EXPECT_EQ(RegSubkeys(HKEY_CURRENT_USER, L"E"), (std::vector<std::wstring>{L"Alpha", L"beta", L"DELTA", L"gamma"}));

    HKEY h = Create(HKEY_CURRENT_USER, L"E");
    wchar_t name[5];
    DWORD cch = 5;
    EXPECT_EQ(RegEnumKeyExW(h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    cch = 6;
    wchar_t name6[6];
    EXPECT_EQ(RegEnumKeyExW(h, 0, name6, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(cch, 5u);
    EXPECT_STREQ(name6, L"Alpha");
    cch = 6;
    EXPECT_EQ(RegEnumKeyExW(h, 4, name6, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD one = 1;
    ASSERT_EQ(SetSz(h, L"z", L"last letter"), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, L"a", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    wchar_t vname[8];
    DWORD vcch = 8, type = 0, size = sizeof one;
    DWORD data = 0;
    EXPECT_EQ(RegEnumValueW(h, 1, vname, &vcch, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
    EXPECT_STREQ(vname, L"a");
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 1u);
    vcch = 8;
    size = 4;
    EXPECT_EQ(RegEnumValueW(h, 0, vname, &vcch, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 12 * sizeof(wchar_t));
    vcch = 8;
    EXPECT_EQ(RegEnumValueW(h, 2, vname, &vcch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(h);
}

TEST_F(Registry, DumpShowsTheTreeAsStored) {
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L"WZfile_mp4\\DefaultIcon", L"", L"/opt/m/res/MP4.ico");
    HKEY h = Create(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell\\openwz");
    ASSERT_EQ(SetSz(h, L"", L"用 播放(&P)"), ERROR_SUCCESS);
    DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(h, L"flag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    RegCloseKey(h);

    EXPECT_EQ(platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"wzfile_MP4"),
              "[HKEY_CLASSES_ROOT\\WZfile_mp4]\n"
              "[HKEY_CLASSES_ROOT\\WZfile_mp4\\DefaultIcon]\n"
              "@ = REG_SZ \"/opt/m/res/MP4.ico\"\n"
              "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell]\n"
              "[HKEY_CLASSES_ROOT\\WZfile_mp4\\shell\\openwz]\n"
              "@ = REG_SZ \"用 播放(&P)\"\n"
              "\"flag\" = REG_DWORD 0x00000001\n");
    EXPECT_EQ(platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"missing"), "");
}

TEST_F(Registry, AnsiFormsConvertNamesAndTextThroughTheAnsiCodePage) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "GB18030");
    const std::string gbKey = "\xB2\xA5\xB7\xC5";  // 播放
    const std::string gbText = "\xD3\xC3 P";         // 用 P
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ("A\\" + gbKey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(gbText.c_str()),
                             static_cast<DWORD>(gbText.size() + 1)),
              ERROR_SUCCESS);
    DWORD five = 5;
    ASSERT_EQ(RegSetValueExA(h, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), 4), ERROR_SUCCESS);
    RegCloseKey(h);

    // Stored as wide text with its NUL.
    auto v = RegRead(HKEY_CLASSES_ROOT, L"A\\播放", L"");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->bytes.size(), 4 * sizeof(wchar_t));
    EXPECT_EQ(v->text(), L"用 P");
    EXPECT_EQ(RegSubkeys(HKEY_CLASSES_ROOT, L"A"), std::vector<std::wstring>{L"播放"});

    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ("a\\" + gbKey).c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    char buf[16] = {};
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(h, nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, gbText.size() + 1);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf), gbText);
    DWORD n = 0;
    size = 4;
    EXPECT_EQ(RegQueryValueExA(h, "N", nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size), ERROR_SUCCESS);
    EXPECT_EQ(n, 5u);
    RegCloseKey(h);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A", 0, KEY_READ, &h), ERROR_SUCCESS);
    char name[8];
    DWORD cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, cch), gbKey);
    RegCloseKey(h);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "A"), ERROR_SUCCESS);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"A"));
}

// Writer processes for the test below: this same test program started again with a filter.
TEST(RegistryChild, WritesItsShare) {
    const char* id = std::getenv("MORVANE_REG_CHILD");
    if (!id) GTEST_SKIP() << "runs only as a child of SeveralProcessesWriteAtOnce";
    for (int i = 0; i < 40; ++i) {
        std::wstring key = L"Shared\\p" + std::to_wstring(std::atoi(id)) + L"\\k" + std::to_wstring(i);
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(SetSz(h, L"", key), ERROR_SUCCESS);
        RegCloseKey(h);
    }
}

TEST_F(Registry, SeveralProcessesWriteAtOnce) {
    // The parent holds a handle open the whole time, as the player does.
    HKEY shared = Create(HKEY_CURRENT_USER, L"Shared");
    constexpr int kChildren = 4;
    std::vector<pid_t> pids;
    for (int c = 0; c < kChildren; ++c) {
        std::string exe = "/proc/self/exe";
        std::vector<std::string> args = {exe, "--gtest_filter=RegistryChild.WritesItsShare"};
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
        env.push_back("MORVANE_REG_CHILD=" + std::to_string(c));
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
        pids.push_back(pid);
    }
    // Write from this process meanwhile too.
    for (int i = 0; i < 40; ++i) ASSERT_EQ(SetSz(shared, (L"v" + std::to_wstring(i)).c_str(), L"parent"), ERROR_SUCCESS);
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    for (int c = 0; c < kChildren; ++c) {
        std::wstring p = L"Shared\\p" + std::to_wstring(c);
        EXPECT_EQ(RegSubkeys(HKEY_CURRENT_USER, p).size(), 40u);
        EXPECT_EQ(RegRead(HKEY_CURRENT_USER, p + L"\\k39", L"")->text(), p + L"\\k39");
    }
    EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, L"Shared").size(), 40u);
    RegCloseKey(shared);
}

}  // namespace
