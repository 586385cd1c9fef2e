// The real MorvaneUAC in a process of its own, reached from the test through the window station.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/agent.h"
#include "platform/registry/registry.h"
#include "support/agent_env.h"
#include "support/child.h"
#include "support/hostile_client.h"
#include "support/runtime_folders.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

using testsupport::AgentEnv;
using testsupport::Child;
using testsupport::RegRead;

namespace {

const int kSetup = (unsetenv("DISPLAY"), 0);  // the agent needs no X server

class AgentProcess : public ::testing::Test {
protected:
    AgentEnv env;

    std::unique_ptr<Child> Start() { return std::make_unique<Child>(std::vector<std::string>{env.agentPath()}); }
    HWND Window() { return testsupport::WaitForWindowTitled(kAgentWindowTitle); }

    // Sends the bytes as they are: the NUL only where the text holds one.
    static LRESULT Send(HWND agent, const std::string& bytes) {
        COPYDATASTRUCT cds{0, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data())};
        return SendMessageA(agent, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    }
    static std::string Cmd(const std::string& text) { return text + std::string(1, '\0'); }

    static std::string Dump() {
        return platform::registry::DumpTree(HKEY_CLASSES_ROOT, L"") + platform::registry::DumpTree(HKEY_CURRENT_USER, L"");
    }
    static std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
        auto v = RegRead(root, key, name);
        return v ? v->text() : L"(none)";
    }
};

TEST_F(AgentProcess, TakesCommandsThroughItsHiddenWindowAndEndsWithZeroOnClose) {
    (void)kSetup;
    env.AddIcon("MP4.ico");
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mp4", L"", L"OtherPlayer.mp4");
    auto agent = Start();
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(IsWindowVisible(h));
    // The window is found by its title as soon as it is made; its mark follows right after.
    EXPECT_TRUE(testsupport::WaitFor([&] { return GetPropW(h, L"MorvaneUAC") == reinterpret_cast<HANDLE>(1); }));

    // Each send returns once the agent has done the command.
    EXPECT_EQ(Send(h, Cmd("S-mp4-MP4.ico")), 0);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L"WZfile_mp4\\DefaultIcon", L""), env.InProgram("res/MP4.ico"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L"WZfile_mp4\\shell\\open\\command", L""),
              L"\"" + env.InProgram("morvane") + L"\" \"%1\"");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mp4", L""), L"WZfile_mp4");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mp4", L"wzbak"), L"OtherPlayer.mp4");
    Send(h, Cmd("S-mkv-MKV.ico"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L"WZfile_mkv\\DefaultIcon", L""), env.InProgram("res/VIDEO.ico"));

    Send(h, Cmd("R-mp4-MP4.ico"));
    EXPECT_FALSE(testsupport::RegKeyExists(HKEY_CLASSES_ROOT, L"WZfile_mp4"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mp4", L""), L"OtherPlayer.mp4");

    ASSERT_TRUE(PostMessageW(h, WM_CLOSE, 0, 0));
    int status = 0;
    ASSERT_TRUE(agent->waitFor(&status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(AgentProcess, MalformedAndHostileCommandsChangeNothing) {
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L"WZfile_keep\\shell", L"", L"x");
    testsupport::RegWrite(HKEY_CLASSES_ROOT, L".mp4", L"", L"OtherPlayer.mp4");
    const std::string before = Dump();
    auto agent = Start();
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    const std::string hostile[] = {
        Cmd("S-mp4"),
        Cmd("S-"),
        Cmd("S"),
        Cmd(""),
        Cmd("X-mp4-MP4.ico"),
        Cmd("s-mp4-MP4.ico"),
        Cmd("S-" + std::string(200, 'a') + "-A.ico"),  // one past the longest extension
        Cmd("S-mp\\4-MP4.ico"),
        Cmd("R-..\\WZfile_keep-A.ico"),
        Cmd("R-keep\\shell-A.ico"),
        Cmd("S-..-A.ico"),
        Cmd("S-mp4-../../x.ico"),
        Cmd("S-mp4-res\\x.ico"),
        std::string(70000, 'S'),                        // long, no NUL
    };
    for (const std::string& bytes : hostile) {
        SCOPED_TRACE(bytes.substr(0, 40));
        Send(h, bytes);
        EXPECT_EQ(Dump(), before);
    }
    // The agent took all that and still works, also with the bytes of a command alone: no NUL is
    // needed, and a field ends at one.
    Send(h, Cmd("S-ok-OK.ico"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".ok", L""), L"WZfile_ok");
    Send(h, "S-ok2-OK.ico");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".ok2", L""), L"WZfile_ok2");
    Send(h, std::string("S-ok3\0-OK.ico", 14));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".ok3", L""), L"WZfile_ok3");
}

TEST_F(AgentProcess, ASecondAgentEndsWithZeroAndLeavesTheFirstRunning) {
    auto first = Start();
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    auto second = Start();
    int status = 0;
    ASSERT_TRUE(second->waitFor(&status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(IsWindow(h));
    Send(h, Cmd("S-mp4-MP4.ico"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mp4", L""), L"WZfile_mp4");
}

TEST_F(AgentProcess, OfTwoAgentsStartedAtOnceOneStays) {
    auto a = Start();
    auto b = Start();
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    Child* other = owner == static_cast<DWORD>(a->pid()) ? b.get() : a.get();
    int status = 0;
    ASSERT_TRUE(other->waitFor(&status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(IsWindow(h));
}

TEST_F(AgentProcess, PointerMessagesOfAnotherProcessAreRefusedAndItStaysUp) {
    auto agent = Start();
    HWND h = Window();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(testsupport::SendRawFromAnotherProcess(h, testsupport::PointerMessages()), 0);
    int status = 0;
    EXPECT_FALSE(agent->waitFor(&status, std::chrono::milliseconds(0))) << "the agent ended with status " << status;
    Send(h, Cmd("S-mp4-MP4.ico"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".mp4", L""), L"WZfile_mp4");

    // A title crosses as a copy of its text, within a bound.
    EXPECT_FALSE(SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(std::wstring(200000, L'x').c_str())));
    wchar_t title[128] = {};
    GetWindowTextW(h, title, 128);
    EXPECT_STREQ(title, kAgentWindowTitle);
    EXPECT_TRUE(SetWindowTextW(h, L"MorvaneUAC – renamed"));
    GetWindowTextW(h, title, 128);
    EXPECT_STREQ(title, L"MorvaneUAC – renamed");
}

TEST_F(AgentProcess, ARuntimeFolderItCannotTrustEndsItWithTheReason) {
    testsupport::TempDir base;
    for (const auto& folder : testsupport::MakeUntrustedRuntimeFolders(base.path())) {
        SCOPED_TRACE(folder.what);
        testsupport::ScopedEnv runtime("MORVANE_RUNTIME_DIR", folder.path.string());
        const auto errors = base.path() / "stderr.txt";
        testsupport::Child agent({env.agentPath()}, errors.string());
        int status = 0;
        ASSERT_TRUE(agent.waitFor(&status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        const std::string said = testsupport::ReadFile(errors);
        EXPECT_EQ(said.rfind("MorvaneUAC: the runtime folder " + folder.path.string(), 0), 0u) << said;
        EXPECT_NE(said.find(folder.why), std::string::npos) << said;
    }
}

}  // namespace
