// The start-up worker against a statistics server on 127.0.0.1 and a stand-in updater program
// in a temporary program folder: start reports with their source, the update offer, the
// temporary folder, the start file and the association repair.
#include "player/main_window/startup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "player/settings/sys_config.h"
#include "player/app/user_data.h"
#include "support/http_server.h"
#include "support/program_dir.h"
#include "support/wait_for.h"

using testsupport::HttpReply;
using testsupport::HttpServer;

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(MORVANE_BIN_DIR "/WZUpdate.so", program_ / "WZUpdate.so");
        program_.WriteConfig("[Global Options]\nProxyType=0\n[UserInfo]\nindex=7\n");
        // The updater stand-in records its arguments.
        auto updater = program_.dir().write("WZUpdate", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/updater.args\"\n");
        std::filesystem::permissions(updater, std::filesystem::perms::owner_all);
        Announce("0.10.0.0");
        g_SysConfig.bAddSimilarFile = 0;
        g_SysConfig.bAlwaysFileAssoc = 0;
    }
    void Announce(const std::string& version) {
        HttpReply r;
        r.contentType = "text/html";
        r.body = version.empty() ? "no news" : "<newversion>" + version + "</newversion>";
        server_.Serve("/morvane/init.php", r);
    }
    bool UpdaterRan() const { return std::filesystem::exists(program_ / "updater.args"); }
    StartupCalls Calls() {
        StartupCalls c;
        c.addSimilarFiles = [this](const std::wstring& p) { calls_.push_back(L"add " + p); };
        c.playFile = [this](const std::wstring& p) { calls_.push_back(L"play " + p); };
        c.repairAssociations = [this] { calls_.push_back(L"repair"); };
        return c;
    }

    testsupport::ProgramDir program_;
    HttpServer server_;
    testsupport::ScopedEnv stats_{"MORVANE_STATS_SERVER", server_.url("")};
    std::vector<std::wstring> calls_;
};

TEST_F(StartupTest, AStopGivesUpTheReportThatGetsNoAnswerAndEndsTheWorker) {
    HttpReply silent;
    silent.silent = true;
    server_.Serve("/morvane/init.php", silent);
    g_SysConfig.bAlwaysFileAssoc = 1;
    CUserData data;
    StartupCalls calls = Calls();
    std::vector<std::wstring> launched;
    calls.launch = [&](const std::wstring& program, const std::wstring&) { launched.push_back(program); };
    std::jthread worker([&](std::stop_token stop) { StartupThreadProc(L"", L"", data, calls, stop); });
    ASSERT_TRUE(server_.WaitForRequests(1, "/morvane/init.php"));
    const auto asked = std::chrono::steady_clock::now();
    worker.request_stop();
    worker.join();
    // The library would wait for its time-outs; the worker does not.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
    EXPECT_TRUE(calls_.empty());  // no repair after the stop
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(data.GetNewVersion().empty());
    g_SysConfig.bAlwaysFileAssoc = 0;
    // The given-up request still runs inside the library; the process must not end under it
    // (the player's entry skips the exit destructors in that case, a test process does not).
    server_.Stop();
    EXPECT_TRUE(testsupport::WaitFor([] { return !CUserData::RequestsUnderWay(); }, std::chrono::seconds(60)));
}

}  // namespace

TEST_F(StartupTest, PlainStartReportsSelfAndStartsTheUpdaterForANewerVersion) {
    CUserData data;
    EXPECT_EQ(StartupThreadProc(L"", L"\"/opt/morvane/morvane\"", data, Calls()), 0u);
    EXPECT_TRUE(calls_.empty());
    auto reqs = server_.requests("/morvane/init.php");
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_NE(reqs[0].query.find("start_method=Self"), std::string::npos) << reqs[0].query;
    // 0.10.0.0 is newer than our 0.9.1.8 although "00100" is smaller than "0918".
    ASSERT_TRUE(testsupport::WaitFor([&] { return UpdaterRan(); }));
    ASSERT_TRUE(testsupport::WaitFor([&] { return testsupport::ReadFile(program_ / "updater.args").size() > 1; }));
    EXPECT_EQ(testsupport::ReadFile(program_ / "updater.args"), "auto_update=1 product=Morvane\n");
    EXPECT_TRUE(std::filesystem::is_directory(program_ / "Tmp"));
}

TEST_F(StartupTest, NoUpdaterForTheSkippedAnOlderOrNoAnnouncedVersion) {
    struct Case {
        const char* announced;
        const char* skip;
    } cases[] = {{"0.10.0.0", "0.10.0.0"}, {"0.9.1.8", ""}, {"0.8.5.0", ""}, {"", ""}};
    std::vector<std::wstring> launched;
    for (const Case& c : cases) {
        Announce(c.announced);
        program_.WriteConfig(std::string("[Global Options]\nProxyType=0\n[UserInfo]\nindex=7\n[General]\nskip_version=") +
                             c.skip + "\n");
        CUserData data;
        StartupCalls calls = Calls();
        calls.launch = [&](const std::wstring& program, const std::wstring&) { launched.push_back(program); };
        StartupThreadProc(L"", L"\"/opt/morvane/morvane\" -s Desktop", data, calls);
        EXPECT_TRUE(launched.empty()) << c.announced;
    }
    auto reqs = server_.requests("/morvane/init.php");
    ASSERT_FALSE(reqs.empty());
    EXPECT_NE(reqs.back().query.find("start_method=Desktop"), std::string::npos) << reqs.back().query;
}

TEST_F(StartupTest, StartFileIsAddedWithItsEpisodesAndPlayedAndAssociationsRepaired) {
    g_SysConfig.bAddSimilarFile = 1;
    g_SysConfig.bAlwaysFileAssoc = 1;
    CUserData data;
    StartupCalls calls = Calls();
    calls.launch = [](const std::wstring&, const std::wstring&) {};
    StartupThreadProc(L"/media/Ep1.mkv", L"\"/opt/morvane/morvane\" \"/media/Ep1.mkv\"", data, calls);
    EXPECT_EQ(calls_, (std::vector<std::wstring>{L"add /media/Ep1.mkv", L"play /media/Ep1.mkv", L"repair"}));
    auto reqs = server_.requests("/morvane/init.php");
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_NE(reqs[0].query.find("start_method=FileAssoc"), std::string::npos);

    // A missing updater program is not an error.
    std::filesystem::remove(program_ / "WZUpdate");
    g_SysConfig.bAddSimilarFile = 0;
    g_SysConfig.bAlwaysFileAssoc = 0;
    calls_.clear();
    CUserData again;
    StartupThreadProc(L"/media/Ep1.mkv", L"", again, Calls());
    EXPECT_EQ(calls_, (std::vector<std::wstring>{L"play /media/Ep1.mkv"}));
}
