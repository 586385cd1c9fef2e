// The real program as a second start, handing its file to stand-in running instances (test peers
// whose window carries the property "Morvane"): a hand-over that did not arrive is tried again,
// and one that finally fails says why and ends with 1. No display: a second start opens none.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/windows/station.h"
#include "platform/kernel/sync.h"
#include "player/main_window/main_wnd.h"
#include "support/child.h"
#include "support/program_dir.h"
#include "support/registry_db.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

using testsupport::Child;

namespace {

class SecondStart : public ::testing::Test {
protected:
    void SetUp() override {
        // The first instance's marker, so that the program looks for its window.
        semaphore_ = CreateSemaphoreW(nullptr, 1, 1, kInstanceSemaphore);
        ASSERT_NE(semaphore_, nullptr);
    }
    void TearDown() override { CloseHandle(semaphore_); }

    // A stand-in for the running instance; its window is the station's first with the mark.
    std::unique_ptr<Child> Instance(std::vector<std::string> options) {
        std::vector<std::string> argv{testsupport::PeerProgram(), "window", "WZBaseGui", "Morvane", "Morvane=1"};
        argv.insert(argv.end(), options.begin(), options.end());
        auto peer = std::make_unique<Child>(argv);
        HWND h = MakeWindowHandle(static_cast<std::uint32_t>(peer->pid()), 1);
        EXPECT_TRUE(testsupport::WaitFor([&] { return platform::station::IsAlive(h); }));
        return peer;
    }
    // Runs a second start with the clip; its exit code (-1 when it did not end by itself).
    int Run() {
        Child second({std::string(MORVANE_BIN_DIR) + "/morvane", clip_.string()}, errors_.string());
        int status = 0;
        if (!second.waitFor(&status, std::chrono::seconds(60))) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    testsupport::TempDir tmp_;
    testsupport::ScopedEnv runtime_{"MORVANE_RUNTIME_DIR", (tmp_.path() / "run").string()};
    testsupport::ScopedEnv display_{"DISPLAY", ""};
    testsupport::ProgramDir program_;
    testsupport::TempRegistry registry_;
    std::filesystem::path errors_ = tmp_.path() / "stderr.txt";
    std::filesystem::path clip_ = tmp_.write("clip.mkv", "");
    HANDLE semaphore_ = nullptr;
};

TEST_F(SecondStart, AHandOverThatDidNotArriveIsTriedAgain) {
    const auto log = tmp_.path() / "taken.log";
    // The first instance ends while it takes the hand-over; the next one in the walk gets it.
    auto dying = Instance({"--exit-on-copydata"});
    auto living = Instance({"--log", log.string()});
    EXPECT_EQ(Run(), 0) << testsupport::ReadFile(errors_);
    int status = 0;
    EXPECT_TRUE(dying->waitFor(&status));
    const std::string taken = testsupport::ReadFile(log);
    EXPECT_NE(taken.find(std::to_string(WM_COPYDATA) + " "), std::string::npos) << taken;
}

TEST_F(SecondStart, AHandOverThatFinallyFailsSaysWhyAndEndsWithOne) {
    auto dying = Instance({"--exit-on-copydata"});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(testsupport::ReadFile(errors_),
              "morvane: \"" + clip_.string() + "\" was not handed to the running instance: its window is gone\n");
}

}  // namespace
