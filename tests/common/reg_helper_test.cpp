#include "common/reg_helper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "support/registry_db.h"

using testsupport::RegKeyExists;
using testsupport::RegRead;
using testsupport::RegSubkeys;
using testsupport::RegValueNames;
using testsupport::RegWrite;

namespace {

class RegHelper : public ::testing::Test {
protected:
    testsupport::TempRegistry db;
};

TEST_F(RegHelper, SetStringCreatesTheKeyAndStoresTheTextWithItsNul) {
    struct Case { const char* text; size_t chars; };
    const Case cases[] = {{"WZfile_mp4", 10}, {"", 0}, {"\"/opt/m/morvane\" \"%1\"", 21}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(CRegHelper::SetString(HKEY_CLASSES_ROOT, "WZfile_mp4\\shell\\open\\command", "", c.text));
        auto v = RegRead(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell\\open\\command", L"");
        ASSERT_TRUE(v);
        EXPECT_EQ(v->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(v->bytes.size(), (c.chars + 1) * sizeof(wchar_t));
        EXPECT_EQ(v->bytes.substr(v->bytes.size() - sizeof(wchar_t)), std::string(sizeof(wchar_t), '\0'));
        std::string back;
        EXPECT_TRUE(CRegHelper::GetString(HKEY_CLASSES_ROOT, "wzfile_MP4\\Shell\\Open\\Command", "", back));
        EXPECT_EQ(back, c.text);
    }
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell"));
}

TEST_F(RegHelper, GetStringReadsOnlyWholeStringValues) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const wchar_t noNul[] = {L'a', L'b'};
    DWORD four = 4;
    RegSetValueExW(h, L"zero", 0, REG_SZ, nullptr, 0);
    RegSetValueExW(h, L"nonul", 0, REG_SZ, reinterpret_cast<const BYTE*>(noNul), sizeof noNul);
    RegSetValueExW(h, L"dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&four), 4);
    RegSetValueExW(h, L"expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(L"x"), 2 * sizeof(wchar_t));
    RegCloseKey(h);
    RegWrite(HKEY_CURRENT_USER, L"K", L"empty", L"");

    struct Case { const char* key; const char* name; bool ok; const char* text; };
    const Case cases[] = {
        {"K", "empty", true, ""},       // only the NUL: an empty text
        {"K", "zero", false, ""},       // no bytes at all
        {"K", "nonul", true, "ab"},     // the text ends where the bytes end
        {"K", "expand", true, "x"},
        {"K", "dword", false, ""},      // not a string
        {"K", "missing", false, ""},
        {"Missing", "", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "stale";
        EXPECT_EQ(CRegHelper::GetString(HKEY_CURRENT_USER, c.key, c.name, out), c.ok);
        EXPECT_EQ(out, c.text);
    }
}

// The size a read asks for first can be stale by the time it reads: a value one character
// longer must neither overrun the buffer nor come back cut or refused.
TEST_F(RegHelper, GetStringWhileAnotherThreadChangesTheLength) {
    ASSERT_TRUE(CRegHelper::SetString(HKEY_CURRENT_USER, "Flip", "v", "aaaa"));
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (bool longer = true; !stop.load(); longer = !longer)
            CRegHelper::SetString(HKEY_CURRENT_USER, "Flip", "v", longer ? "aaaaa" : "aaaa");
    });
    int bad = 0;
    for (int i = 0; i < 3000 && bad < 5; ++i) {
        std::string out;
        if (!CRegHelper::GetString(HKEY_CURRENT_USER, "Flip", "v", out) || (out != "aaaa" && out != "aaaaa")) {
            ADD_FAILURE() << "read " << i << " gave '" << out << "'";
            ++bad;
        }
    }
    stop = true;
    writer.join();
}

TEST_F(RegHelper, TextGoesThroughTheAnsiCodePage) {
    testsupport::ScopedEnv acp("MORVANE_ACP", "GB18030");
    const std::string caption = "\xD3\xC3 Oskery\xB2\xA5\xB7\xC5\xC6\xF7 \xB2\xA5\xB7\xC5(&P)";
    ASSERT_TRUE(CRegHelper::SetString(HKEY_CLASSES_ROOT, "WZfile_mp4\\shell\\openwz", "", caption));
    EXPECT_EQ(RegRead(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell\\openwz", L"")->text(), L"用 Oskery播放器 播放(&P)");
    std::string back;
    ASSERT_TRUE(CRegHelper::GetString(HKEY_CLASSES_ROOT, "WZfile_mp4\\shell\\openwz", "", back));
    EXPECT_EQ(back, caption);
}

TEST_F(RegHelper, DwordsRoundTripAndOtherTypesAreRefused) {
    ASSERT_TRUE(CRegHelper::SetDword(HKEY_CURRENT_USER, "A\\B", "n", 0xdeadbeef));
    auto v = RegRead(HKEY_CURRENT_USER, L"A\\B", L"n");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v->bytes.size(), 4u);
    DWORD out = 1;
    EXPECT_TRUE(CRegHelper::GetDword(HKEY_CURRENT_USER, "a\\b", "N", out));
    EXPECT_EQ(out, 0xdeadbeefu);

    RegWrite(HKEY_CURRENT_USER, L"A\\B", L"s", L"");  // 4 bytes, but text
    out = 1;
    EXPECT_FALSE(CRegHelper::GetDword(HKEY_CURRENT_USER, "A\\B", "s", out));
    EXPECT_EQ(out, 0u);
    out = 1;
    EXPECT_FALSE(CRegHelper::GetDword(HKEY_CURRENT_USER, "A\\B", "missing", out));
    EXPECT_EQ(out, 0u);
}

TEST_F(RegHelper, DeleteValueOrTree) {
    RegWrite(HKEY_CLASSES_ROOT, L"P\\a\\b\\c", L"", L"deep");
    RegWrite(HKEY_CLASSES_ROOT, L"P\\a\\b2", L"v", L"1");
    RegWrite(HKEY_CLASSES_ROOT, L"P\\a", L"", L"mid");
    RegWrite(HKEY_CLASSES_ROOT, L"P", L"keep", L"1");
    RegWrite(HKEY_CLASSES_ROOT, L"P", L"drop", L"2");

    EXPECT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "P", "DROP"));
    EXPECT_EQ(RegValueNames(HKEY_CLASSES_ROOT, L"P"), std::vector<std::wstring>{L"keep"});

    // Every level below goes, then the key; its parent stays.
    EXPECT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "P\\a", ""));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"P\\a"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"P"));
    EXPECT_TRUE(RegSubkeys(HKEY_CLASSES_ROOT, L"P").empty());

    // Missing things count as deleted.
    EXPECT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "P\\a", ""));
    EXPECT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "P\\a", "v"));
    EXPECT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "P", "never"));

    // A key that cannot be opened for another reason than absence.
    HKEY closed = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"P", 0, KEY_READ, &closed), ERROR_SUCCESS);
    RegCloseKey(closed);
    EXPECT_FALSE(CRegHelper::DeleteValueOrTree(closed, "x", ""));
    EXPECT_FALSE(CRegHelper::DeleteValueOrTree(closed, "x", "v"));

    // An empty path never empties the root.
    EXPECT_FALSE(CRegHelper::DeleteValueOrTree(HKEY_CLASSES_ROOT, "", ""));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"P"));
}

TEST_F(RegHelper, DeleteValueAndDeleteSubKeyReportErrorCodes) {
    RegWrite(HKEY_CURRENT_USER, L"K\\child\\grandchild", L"", L"x");
    RegWrite(HKEY_CURRENT_USER, L"K", L"v", L"x");
    EXPECT_EQ(CRegHelper::DeleteValue(HKEY_CURRENT_USER, "K", "v"), ERROR_SUCCESS);
    EXPECT_EQ(CRegHelper::DeleteValue(HKEY_CURRENT_USER, "K", "v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CRegHelper::DeleteValue(HKEY_CURRENT_USER, "Nope", "v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CRegHelper::DeleteSubKey(HKEY_CURRENT_USER, "K", "child"), ERROR_KEY_HAS_CHILDREN);
    EXPECT_EQ(CRegHelper::DeleteSubKey(HKEY_CURRENT_USER, "K\\child", "GRANDCHILD"), ERROR_SUCCESS);
    EXPECT_EQ(CRegHelper::DeleteSubKey(HKEY_CURRENT_USER, "K", "child"), ERROR_SUCCESS);
    EXPECT_TRUE(RegSubkeys(HKEY_CURRENT_USER, L"K").empty());
}

TEST_F(RegHelper, NullCStringsTouchNothing) {
    RegWrite(HKEY_CURRENT_USER, L"K\\sub", L"v", L"x");
    const char* none = nullptr;
    std::string out = "stale";
    DWORD d = 1;
    EXPECT_FALSE(CRegHelper::CreateKey(HKEY_CURRENT_USER, none));
    EXPECT_FALSE(CRegHelper::SetString(HKEY_CURRENT_USER, none, "v", "t"));
    EXPECT_FALSE(CRegHelper::SetString(HKEY_CURRENT_USER, "K\\new", none, "t"));
    EXPECT_FALSE(CRegHelper::SetString(HKEY_CURRENT_USER, "K\\new", "v", none));
    EXPECT_FALSE(CRegHelper::SetDword(HKEY_CURRENT_USER, none, "v", 1));
    EXPECT_FALSE(CRegHelper::GetString(HKEY_CURRENT_USER, "K\\sub", none, out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(CRegHelper::GetDword(HKEY_CURRENT_USER, none, "v", d));
    EXPECT_EQ(d, 0u);
    EXPECT_FALSE(CRegHelper::DeleteValueOrTree(HKEY_CURRENT_USER, none, "v"));
    EXPECT_EQ(CRegHelper::DeleteValue(HKEY_CURRENT_USER, "K\\sub", none), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CRegHelper::DeleteSubKey(HKEY_CURRENT_USER, "K", none), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(platform::registry::DumpTree(HKEY_CURRENT_USER, L"K"), "[HKEY_CURRENT_USER\\K]\n[HKEY_CURRENT_USER\\K\\sub]\n\"v\" = REG_SZ \"x\"\n");

    // A null value name of the tree delete means the whole key.
    EXPECT_TRUE(CRegHelper::DeleteValueOrTree(HKEY_CURRENT_USER, "K", none));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"K"));
}

}  // namespace
