// The player's association client against the real MorvaneUAC, which it starts from a
// temporary program folder; the registry database is checked afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <set>
#include <string>

#include "common/agent_window.h"
#include "common/convert.h"
#include "download/process_finder.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "player/settings/assoc_table.h"
#include "player/settings/file_assoc_client.h"
#include "player/settings/sys_config.h"
#include "support/agent_env.h"
#include "support/child.h"
#include "support/runtime_folders.h"
#include "support/temp_dir.h"

using testsupport::AgentEnv;
using testsupport::RegRead;

namespace {

const int kSetup = (unsetenv("DISPLAY"), 0);  // neither side needs an X server

std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
    auto v = RegRead(root, key, name);
    return v ? v->text() : L"(none)";
}

std::wstring UserChoice(const std::wstring& ext) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + ext + L"\\UserChoice";
}

std::string Dump() {
    return platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") + platform::registry::DumpTree(HKEY_CURRENT_USER, L"");
}

class AssocClient : public ::testing::Test {
protected:
    explicit AssocClient(bool withAgent = true) : env(withAgent) {
        (void)kSetup;
        cfg = env.InProgram("user.cfg");
        g_SysConfig.SetConfigPath(cfg);
        g_hAgentWnd = nullptr;
    }
    ~AssocClient() override {
        // Leaves no agent behind, whatever the test did.
        CProcessFinder finder(FinderVariant::Player);
        CloseElevatedHelper(finder);
    }

    int Stored(const wchar_t* key) { return GetPrivateProfileIntW(L"FileAssoc", key, -1, cfg.c_str()); }

    AgentEnv env;
    std::wstring cfg;
};

class AssocClientWithoutAgent : public AssocClient {
protected:
    AssocClientWithoutAgent() : AssocClient(false) {}
};

TEST_F(AssocClient, AnApplyStartsTheAgentAndTheDatabaseShowsTheLayout) {
    env.AddIcon("MP4.ico");
    // mkv was ours and had replaced another program's default; mp3 belongs to another program.
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L"WZfile_mkv\\shell\\open\\command", L"", L"old");
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mkv", L"", L"WZfile_mkv");
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mkv", L"wzbak", L"OtherPlayer.mkv");
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mp3", L"", L"OtherPlayer.mp3");

    // Every video type but mkv, the audio type mp3 and one category.
    const std::set<std::wstring> checked = [] {
        std::set<std::wstring> s;
        for (size_t i = 0; i < kAssocVideoCount; ++i) s.insert(AssocExtensions[i]);
        s.erase(L".mkv");
        s.insert(L".mp3");
        s.insert(L"System_MPEG4");
        return s;
    }();
    ASSERT_TRUE(ApplyFileAssociations(true, [&](const std::wstring& box) { return checked.count(box) > 0; }));
    ASSERT_NE(g_hAgentWnd, nullptr);

    const std::wstring command = L"\"" + env.InProgram("morvane") + L"\" \"%1\"";
    for (const wchar_t* entry : AssocExtensions) {
        const std::wstring ext = entry + 1;
        SCOPED_TRACE(ext);
        const std::wstring progId = L"WZfile_" + ext;
        if (checked.count(entry)) {
            EXPECT_EQ(Stored(entry), 1);
            const bool audio = entry == std::wstring(L".mp3");
            const std::wstring icon = ext == L"mp4" ? L"MP4.ico" : audio ? L"AUDIO.ico" : L"VIDEO.ico";
            EXPECT_EQ(Value(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", L""), env.InProgram("res/" + WideToAcp(icon)));
            EXPECT_EQ(Value(HKEY_CLASSES_ROOT, progId + L"\\shell\\open\\command", L""), command);
            EXPECT_EQ(Value(HKEY_CLASSES_ROOT, progId + L"\\shell\\openwz\\command", L""), command);
            EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L"." + ext, L""), progId);
            EXPECT_EQ(Value(HKEY_CURRENT_USER, UserChoice(ext), L"Progid"), progId);
        } else {
            EXPECT_EQ(Stored(entry), 0);
            EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, progId));
            EXPECT_EQ(Value(HKEY_CURRENT_USER, UserChoice(ext), L"Progid"), L"(none)");
        }
    }
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mkv", L""), L"OtherPlayer.mkv");  // the remove gave it back
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mkv", L"wzbak"), L"(none)");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mp3", L"wzbak"), L"OtherPlayer.mp3");
    EXPECT_EQ(Stored(L"System_MPEG4"), 1);
    EXPECT_EQ(Stored(L"System_Other_Audio"), 0);
    EXPECT_EQ(platform::shell::ChangeNoticeCount(SHCNE_ASSOCCHANGED), 85);  // the agent's, one per command

    // A text longer than the command buffer is not sent cut short.
    const std::string before = Dump();
    EXPECT_FALSE(SendAssocSetCommand(std::string(300, 'A') + ".ico", "mp4"));
    EXPECT_EQ(Dump(), before);

    // The next apply, without the settings window, reuses the running agent.
    HWND agent = g_hAgentWnd;
    ASSERT_TRUE(ApplyFileAssociations(false, [](const std::wstring&) { return false; }));
    EXPECT_EQ(g_hAgentWnd, agent);
    EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mkv", L""), L"OtherPlayer.mkv");

    // At exit the agent answers WM_CLOSE and ends.
    CProcessFinder finder(FinderVariant::Player);
    finder.Load();
    EXPECT_TRUE(CloseElevatedHelper(finder));
    EXPECT_FALSE(IsWindow(agent));
    EXPECT_EQ(FindWindowW(nullptr, kAgentWindowTitle), nullptr);
}

TEST_F(AssocClientWithoutAgent, WithNoAgentNothingIsSentAndTheChoicesAreKept) {
    auto everything = [](const std::wstring&) { return true; };
    const std::string before = Dump();
    // The program file is missing: nothing starts and nothing is waited for.
    EXPECT_FALSE(ApplyFileAssociations(true, everything));
    EXPECT_FALSE(ApplyFileAssociations(false, everything));
    EXPECT_EQ(g_hAgentWnd, nullptr);
    for (const wchar_t* entry : AssocExtensions) EXPECT_EQ(Stored(entry), 1) << WideToAcp(entry);
    for (const wchar_t* cat : AssocCategoryNames) EXPECT_EQ(Stored(cat), 1) << WideToAcp(cat);
    EXPECT_EQ(Dump(), before);
    EXPECT_FALSE(SendAssocSetCommand("MP4.ico", "mp4"));

    CProcessFinder finder(FinderVariant::Player);
    finder.Load();
    EXPECT_TRUE(CloseElevatedHelper(finder));  // no agent: nothing to close
}

TEST_F(AssocClient, AnApplyReportsFailureWhenTheRuntimeFolderCannotBeTrusted) {
    testsupport::TempDir base;
    for (const auto& folder : testsupport::MakeUntrustedRuntimeFolders(base.path())) {
        SCOPED_TRACE(folder.what);
        testsupport::ScopedEnv runtime("MORVANE_RUNTIME_DIR", folder.path.string());
        // The agent says why and ends: no window to find, nothing sent, the choices kept.
        EXPECT_FALSE(ApplyFileAssociations(true, [](const std::wstring&) { return true; }));
        EXPECT_EQ(g_hAgentWnd, nullptr);
        EXPECT_EQ(Stored(L".mp4"), 1);
        EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));
    }
}

TEST_F(AssocClient, AnAgentThatDoesNotAnswerStopsTheApplyAndIsEndedAtExit) {
    testsupport::Child agent({env.agentPath()});
    HWND h = testsupport::WaitForWindowTitled(kAgentWindowTitle);
    ASSERT_NE(h, nullptr);
    agent.kill(SIGSTOP);

    // The first command runs into its bound; the other 84 are not tried.
    EXPECT_FALSE(ApplyFileAssociations(true, [](const std::wstring&) { return true; }));
    EXPECT_EQ(g_hAgentWnd, h);
    EXPECT_EQ(Stored(L".mp4"), 1);
    EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_asf"));

    CProcessFinder finder(FinderVariant::Player);
    finder.Load();
    EXPECT_TRUE(CloseElevatedHelper(finder));
    int status = 0;
    ASSERT_TRUE(agent.waitFor(&status));
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

}  // namespace
