#include "download/process_finder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows/station.h"
#include "support/child.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

using testsupport::Child;

namespace {

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class ProcessFinderTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    testsupport::ScopedEnv env{"MORVANE_RUNTIME_DIR", (tmp.path() / "run").string()};
    // A name no other test's process carries.
    std::string name = "MvFind" + std::to_string(::getpid());
    std::string program = [this] {
        auto p = tmp.path() / name;
        std::filesystem::copy_file(testsupport::PeerProgram(), p);
        return p.string();
    }();

    std::unique_ptr<Child> Peer(std::vector<std::string> args) {
        args.insert(args.begin(), program);
        auto c = std::make_unique<Child>(args);
        if (args.size() > 1 && args[1] == "window") {
            HWND h = MakeWindowHandle(static_cast<std::uint32_t>(c->pid()), 1);
            EXPECT_TRUE(testsupport::WaitFor([&] { return platform::station::IsAlive(h); }));
        } else {
            EXPECT_TRUE(testsupport::WaitFor([&] { return std::filesystem::exists("/proc/" + std::to_string(c->pid()) + "/exe") &&
                                                          std::filesystem::read_symlink("/proc/" + std::to_string(c->pid()) + "/exe") == program; }));
        }
        return c;
    }
};

TEST_F(ProcessFinderTest, NothingRunning) {
    CProcessFinder finder;
    EXPECT_FALSE(finder.IsProcessRunning(W(name).c_str())) << "not loaded yet";
    finder.Load();
    DWORD pid = 123;
    EXPECT_FALSE(finder.IsProcessRunning(W(name).c_str()));
    EXPECT_EQ(finder.OpenProcessByName(W(name).c_str(), &pid), nullptr);
    EXPECT_EQ(pid, 123u);
    EXPECT_TRUE(finder.KillProcessByName(W(name).c_str(), 100));
    // Our own program is never found: only other instances count (tests of this program may run
    // beside us, so a match must be one of them).
    std::string self = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    if (HANDLE h = finder.OpenProcessByName(W(self).c_str(), &pid)) {
        EXPECT_NE(pid, GetCurrentProcessId());
        CloseHandle(h);
    }
}

TEST_F(ProcessFinderTest, FindsEveryMatchIgnoringCaseByBothWalks) {
    auto a = Peer({"sleep"});
    auto b = Peer({"sleep"});
    std::wstring upper = W(name);
    for (auto& c : upper) c = towupper(c);
    for (bool native : {false, true}) {
        CProcessFinder finder;
        finder.Load();
        if (native) {
            finder.pCreateToolhelp32Snapshot = nullptr;
            finder.pZwQuerySystemInformation = &ZwQuerySystemInformation;
        }
        EXPECT_TRUE(finder.IsProcessRunning(upper.c_str())) << native;
        DWORD pid = 0;
        HANDLE h = finder.OpenProcessByName(W(name).c_str(), &pid);
        ASSERT_NE(h, nullptr) << native;
        EXPECT_TRUE(pid == static_cast<DWORD>(a->pid()) || pid == static_cast<DWORD>(b->pid()));
        EXPECT_EQ(GetProcessId(h), pid);
        CloseHandle(h);
    }
}

TEST_F(ProcessFinderTest, KillClosesWindowsAndEndsEveryMatch) {
    struct Case {
        FinderVariant variant;
        std::vector<std::string> args;  // peer arguments
        bool closesItself;
    };
    const Case cases[] = {
        {FinderVariant::Installer, {"window", "C", "Closes"}, true},
        {FinderVariant::Player, {"window", "C", "Closes"}, true},
        {FinderVariant::Installer, {"window", "C", "Stays", "--ignore-close"}, false},
        {FinderVariant::Player, {"sleep"}, false},  // no window at all
    };
    for (const auto& c : cases) {
        auto first = Peer(c.args);
        auto second = Peer(c.args);
        CProcessFinder finder(c.variant);
        finder.Load();
        ASSERT_TRUE(finder.KillProcessByName(W(name).c_str(), c.closesItself ? 20000 : 200))
            << static_cast<int>(c.variant) << " " << c.args[0];
        for (auto* p : {first.get(), second.get()}) {
            int status = p->wait();
            if (c.closesItself)
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            else
                EXPECT_TRUE(WIFSIGNALED(status)) << status;
        }
        EXPECT_FALSE(finder.IsProcessRunning(W(name).c_str()));
    }
}

TEST_F(ProcessFinderTest, RequestLibraryVariantHasNoClosing) {
    auto peer = Peer({"sleep"});
    CProcessFinder finder(FinderVariant::RequestLibrary);
    finder.Load();
    EXPECT_FALSE(finder.KillProcessByName(W(name).c_str(), 100));
    EXPECT_TRUE(finder.IsProcessRunning(W(name).c_str()));
}

TEST_F(ProcessFinderTest, StartHiddenProcessStartsTheCommandLine) {
    auto out = tmp.path() / "started";
    StartHiddenProcess(("\"" + program + "\" record \"" + out.string() + "\" narrow").c_str());
    EXPECT_TRUE(testsupport::WaitFor([&] { return std::filesystem::exists(out); }));
    EXPECT_EQ(testsupport::ReadFile(out), "narrow\n");
    std::filesystem::remove(out);
    StartHiddenProcess((L"\"" + W(program) + L"\" record \"" + W(out.string()) + L"\" wide").c_str());
    EXPECT_TRUE(testsupport::WaitFor([&] { return std::filesystem::exists(out); }));
    EXPECT_EQ(testsupport::ReadFile(out), "wide\n");
    StartHiddenProcess(("\"" + (tmp.path() / "missing").string() + "\"").c_str());  // ignored
    StartHiddenProcess(static_cast<const char*>(nullptr));
}

// A process of another user is there even though we may not touch it.
TEST_F(ProcessFinderTest, AccessDeniedIsNotNotFound) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs a second user";
    auto peer = Peer({"sleep"});
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        CProcessFinder finder(FinderVariant::Installer);
        finder.Load();
        int result = 0;
        if (!finder.IsProcessRunning(W(name).c_str())) result |= 1;
        if (finder.OpenProcessByName(W(name).c_str(), nullptr) != nullptr || GetLastError() != ERROR_ACCESS_DENIED)
            result |= 2;
        if (finder.KillProcessByName(W(name).c_str(), 100)) result |= 4;
        ::_exit(result);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 not running, 2 opened or wrong error, 4 kill reported success";
    EXPECT_TRUE(std::filesystem::exists("/proc/" + std::to_string(peer->pid())));
}

}  // namespace
