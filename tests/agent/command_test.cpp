#include <gtest/gtest.h>

#include <cstring>

#include "agent/agent.h"
#include "platform/registry/registry.h"
#include "support/desktop_env.h"
#include "support/registry_db.h"

using testsupport::RegRead;

namespace {

struct ParseCase {
    std::string bytes;  // sent as is; the NUL is part of it where the sender put one
    bool ok;
    char op;
    const char* ext;
    const char* icon;
};

TEST(AgentCommand, ParsesOnlyWellFormedCommands) {
    using std::string;
    const string nul(1, '\0');
    const ParseCase cases[] = {
        {"S-mp4-MP4.ico" + nul, true, 'S', "mp4", "MP4.ico"},
        {"R-rmvb-RMVB.ico" + nul, true, 'R', "rmvb", "RMVB.ico"},
        {"S-a-b-c.ico" + nul, true, 'S', "a", "c.ico"},                   // the icon follows the last '-'
        {"S-mp4-MP4.ico" + nul + "-junk-after.ico", true, 'S', "mp4", "after.ico"},  // the last '-' of all sent
        {"S-mp4" + nul + "x-MP4.ico", true, 'S', "mp4", "MP4.ico"},                  // a field ends at a NUL
        {"S-mp4" + nul, false, 0, "", ""},
        {"S-" + nul, false, 0, "", ""},
        {"S" + nul, false, 0, "", ""},
        {"" + nul, false, 0, "", ""},
        {"X-mp4-MP4.ico" + nul, false, 0, "", ""},
        {"s-mp4-MP4.ico" + nul, false, 0, "", ""},
        {"SXmp4-MP4.ico" + nul, true, 'S', "mp4", "MP4.ico"},            // index 1 is not looked at
        {"R--mp4-MP4.ico" + nul, false, 0, "", ""},                     // the extension starts at index 2
        {"S--MP4.ico" + nul, false, 0, "", ""},                          // empty extension
        {"S-mp4-" + nul, false, 0, "", ""},                              // empty icon
        {"S-mp4-MP4.ico", true, 'S', "mp4", "MP4.ico"},                   // no NUL in what was sent
        {"R-m", false, 0, "", ""},
        {"S-" + string(200, 'a') + "-A.ico" + nul, false, 0, "", ""},    // too long for the per-user key
        {"S-a\\b-X.ico" + nul, false, 0, "", ""},
        {"S-..-X.ico" + nul, false, 0, "", ""},
        {"S-mp4/..-X.ico" + nul, false, 0, "", ""},
        {"S-mp4-..\\..\\evil.ico" + nul, false, 0, "", ""},
        {"S-mp4-sub/evil.ico" + nul, false, 0, "", ""},
        {"S-mp4-.." + nul, false, 0, "", ""},
        {"S-mp4-" + string(300, 'i') + nul, false, 0, "", ""},
        {"S-mp4-a\tb.ico" + nul, false, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        AssociationCommand cmd;
        ASSERT_EQ(ParseAssociationCommand(c.bytes.data(), c.bytes.size(), &cmd), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(cmd.op, c.op);
        EXPECT_EQ(cmd.ext, c.ext);
        EXPECT_EQ(cmd.icon, c.icon);
    }
    AssociationCommand cmd;
    EXPECT_FALSE(ParseAssociationCommand(nullptr, 10, &cmd));
    EXPECT_FALSE(ParseAssociationCommand("S-mp4-MP4.ico", 0, &cmd));
    // Only `size` bytes are looked at.
    ASSERT_TRUE(ParseAssociationCommand("S-mp4-MP4.icoXYZ", 13, &cmd));
    EXPECT_EQ(cmd.icon, "MP4.ico");
    EXPECT_FALSE(ParseAssociationCommand("S-mp4-MP4.ico", 6, &cmd));
}

class AgentCommands : public ::testing::Test {
protected:
    testsupport::TempRegistry db;
    testsupport::DesktopEnv desktopFiles;  // the writer's desktop side, kept out of the user's own
    testsupport::TempDir program;
    testsupport::ScopedEnv dir{"MORVANE_PROGRAM_DIR", program.path().string()};

    void Send(const std::string& text) {
        std::string buf = text + std::string(1, '\0');
        COPYDATASTRUCT cds{0, static_cast<DWORD>(buf.size()), buf.data()};
        OnAssociationCommand(&cds);
    }
    std::wstring Icon(const wchar_t* ext) {
        auto v = RegRead(HKEY_CLASSES_ROOT, std::wstring(L"WZfile_") + ext + L"\\DefaultIcon", L"");
        return v ? v->text() : L"(none)";
    }
    std::wstring Res(const std::string& name) {
        std::string s = program.path().string() + "/res/" + name;
        return std::wstring(s.begin(), s.end());
    }
};

TEST_F(AgentCommands, TheIconIsTheNamedFileElseTheFallbackOfItsKind) {
    program.write("res/mp4.ico", "icon");
    program.write("res/VIDEO.ico", "icon");
    Send("S-mp4-MP4.ico");  // found without regard to case, written as stored
    Send("S-mp3-MP3.ico");
    Send("S-mkv-MKV.ico");
    EXPECT_EQ(Icon(L"mp4"), Res("mp4.ico"));
    EXPECT_EQ(Icon(L"mp3"), Res("AUDIO.ico"));
    EXPECT_EQ(Icon(L"mkv"), Res("VIDEO.ico"));
    Send("S-MP3-MP3.ico");  // the audio list is compared with case (and the keys are the same)
    EXPECT_EQ(Icon(L"MP3"), Res("VIDEO.ico"));
    EXPECT_EQ(RegRead(HKEY_CLASSES_ROOT, L".mp4", L"")->text(), L"WZfile_mp4");

    EXPECT_EQ(ChooseAgentIcon(program.path().string() + "/res/", "aac", "AAC.ico"), "AUDIO.ico");
    EXPECT_EQ(ChooseAgentIcon("/nonexistent/", "mp4", "MP4.ico"), "VIDEO.ico");
}

TEST_F(AgentCommands, RemoveUndoesASetAndIgnoresTheIcon) {
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mp4", L"", L"OtherPlayer.mp4");
    Send("S-mp4-MP4.ico");
    Send("R-mp4-whatever.ico");
    EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));
    EXPECT_EQ(RegRead(HKEY_CLASSES_ROOT, L".mp4", L"")->text(), L"OtherPlayer.mp4");
}

TEST_F(AgentCommands, ACommandSentWithoutItsNulIsCarriedOut) {
    std::string noNul = "S-mp4-MP4.ico";
    COPYDATASTRUCT cds{0, static_cast<DWORD>(noNul.size()), noNul.data()};
    OnAssociationCommand(&cds);
    EXPECT_EQ(Icon(L"mp4"), Res("VIDEO.ico"));
}

TEST_F(AgentCommands, MalformedAndHostileCommandsChangeNothing) {
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L"WZfile_keep\\shell", L"", L"x");
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mp4", L"", L"OtherPlayer.mp4");
    const std::string before = platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") +
                               platform::registry::DumpTree(HKEY_CURRENT_USER, L"");
    for (const std::string& text :
         {std::string("S-mp4"), std::string("X-mp4-MP4.ico"), std::string("s-mp4-MP4.ico"),
          std::string("S-") + std::string(200, 'a') + "-A.ico", std::string("S-..-A.ico"),
          std::string("R-..\\WZfile_keep-A.ico"), std::string("S-mp4\\..\\..-A.ico"), std::string("S-mp4-../../x.ico"),
          std::string("R-keep\\shell-A.ico")})
        Send(text);
    COPYDATASTRUCT empty{0, 0, nullptr};
    OnAssociationCommand(&empty);
    OnAssociationCommand(nullptr);
    EXPECT_EQ(platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") + platform::registry::DumpTree(HKEY_CURRENT_USER, L""),
              before);
}

}  // namespace
