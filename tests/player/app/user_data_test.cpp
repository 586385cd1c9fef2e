// The usage reports as the statistics server receives them, through the built request library.
#include "player/app/user_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/http_server.h"
#include "support/program_dir.h"
#include "support/wait_for.h"

using testsupport::HttpReply;
using testsupport::HttpRequest;
using testsupport::HttpServer;

namespace {

class UserDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(MORVANE_BIN_DIR "/WZUpdate.so", program_ / "WZUpdate.so");
        program_.WriteConfig("[Global Options]\nProxyType=0\n");
        Reply(CUserData::kRegisterPath, "57");
        Reply(CUserData::kStartPath, "before<newversion>1.2.3</newversion>after<newversion>9</newversion>");
        Reply(CUserData::kLogPath, "ok");
    }
    void Reply(const wchar_t* path, const std::string& body) {
        HttpReply r;
        r.body = body;
        r.contentType = "text/html";
        server_.Serve(std::string(path, path + std::wcslen(path)), r);
    }
    std::string Query(const wchar_t* path, std::size_t i = 0) const {
        auto reqs = server_.requests(std::string(path, path + std::wcslen(path)));
        return i < reqs.size() ? reqs[i].query : "<none>";
    }

    testsupport::ProgramDir program_;
    HttpServer server_;
    testsupport::ScopedEnv stats_{"MORVANE_STATS_SERVER", server_.url("")};
};

TEST_F(UserDataTest, FirstStartRegistersThenReportsTheStart) {
    CUserData data;
    ASSERT_NE(g_pfnRequestGetHtml, nullptr);
    EXPECT_NE(program_.ReadConfig().find("product=Morvane"), std::string::npos);
    EXPECT_NE(program_.ReadConfig().find("version=0.9.1.8"), std::string::npos);
    data.SetStartMethod(L"FileAssoc");
    data.Register();
    EXPECT_EQ(data.userIndex(), 57);
    EXPECT_NE(program_.ReadConfig().find("index=57"), std::string::npos);
    data.ReportStart();
    EXPECT_EQ(Query(CUserData::kRegisterPath), "version=0.9.1.8");
    EXPECT_EQ(Query(CUserData::kStartPath), "version=0.9.1.8&id=57&start_method=FileAssoc");
    EXPECT_EQ(data.GetNewVersion(), L"1.2.3");

    CUserData again;
    again.Register();  // index 57 is stored: no second registration
    EXPECT_EQ(server_.count("/morvane/register.php"), 1u);
}

TEST_F(UserDataTest, RegisterReplyIsStoredAsTheNumberItStartsWith) {
    struct Case {
        const char* reply;
        int index;
        bool stored;
    } cases[] = {{"57\r\n<html>x</html>", 57, true}, {"hello", 0, false}, {"-4", -4, false}};
    for (auto& c : cases) {
        program_.WriteConfig("[Global Options]\nProxyType=0\n");
        Reply(CUserData::kRegisterPath, c.reply);
        CUserData data;
        data.Register();
        EXPECT_EQ(data.userIndex(), c.index) << c.reply;
        std::string config = program_.ReadConfig();
        EXPECT_EQ(config.find("index=") != std::string::npos, c.stored) << c.reply;
        if (c.stored) {
            EXPECT_NE(config.find("index=57\n"), std::string::npos) << config;
        }
    }
}

TEST_F(UserDataTest, ChannelAndValuesAreEncodedIntoTheQuery) {
    program_.WriteConfig("[General]\nchannel=abc\n[UserInfo]\nindex=8\n");
    CUserData data;
    data.SetStartMethod(L"a b&c=d");
    data.ReportStart();
    EXPECT_EQ(Query(CUserData::kStartPath), "version=0.9.1.8abc&id=8&start_method=a%20b%26c%3Dd");

    // A log event carries the index config.ini holds when it is sent.
    program_.WriteConfig("[General]\nchannel=abc\n[UserInfo]\nindex=99\n");
    data.ReportMedia(CUserData::MediaTypeOf(L"http://h.example/v/clip.MP4?x=1.2"), 1, L"open url");
    ASSERT_TRUE(server_.WaitForRequests(1, "/morvane/commonlog.wz"));
    std::string q = Query(CUserData::kLogPath);
    EXPECT_EQ(q.rfind("version=0.9.1.8abc&id=99&media_type=MP4&state=1&source=open%20url&t=", 0), 0u) << q;
}

TEST_F(UserDataTest, ACrashIsReportedByTheNextStart) {
    {
        CUserData crashed;
        CUserData::MarkCrash();
    }
    EXPECT_TRUE(std::filesystem::exists(program_ / "crash.report"));
    CUserData next;
    next.ReportStart();
    ASSERT_TRUE(server_.WaitForRequests(1, "/morvane/commonlog.wz"));
    EXPECT_NE(Query(CUserData::kLogPath).find("&Crashed&t="), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(program_ / "crash.report"));
}

// The entry skips the exit destructors while a report is inside the library; a report sent
// right before the end must count from the moment it is sent, before its thread runs.
TEST_F(UserDataTest, AReportCountsAsUnderWayFromTheMomentItIsSent) {
    CUserData data;
    ASSERT_NE(g_pfnRequestGetHtml, nullptr);
    for (int round = 0; round < 20; ++round) {
        data.SendLog(L"x=1");
        EXPECT_TRUE(CUserData::RequestsUnderWay()) << round;
        ASSERT_TRUE(testsupport::WaitFor([] { return !CUserData::RequestsUnderWay(); }));
    }
    EXPECT_TRUE(server_.WaitForRequests(20, "/morvane/commonlog.wz"));
}

TEST_F(UserDataTest, WithoutTheLibraryNothingIsSent) {
    std::filesystem::remove(program_ / "WZUpdate.so");
    g_pfnRequestGetHtml = nullptr;
    g_pfnReleaseBuffer = nullptr;
    CUserData data;
    EXPECT_EQ(g_pfnRequestGetHtml, nullptr);
    data.Register();
    data.ReportStart();
    data.SendLog(L"x=1");
    EXPECT_EQ(data.userIndex(), -1);
    EXPECT_EQ(data.GetNewVersion(), L"");
    EXPECT_TRUE(server_.requests().empty());
}

TEST(UserDataText, ExtractBetweenAndMediaTypes) {
    std::wstring out;
    EXPECT_EQ(CUserData::ExtractBetween(L"a<v>1.0</v>b<v>2</v>", L"<v>", L"</v>", out), 4);
    EXPECT_EQ(out, L"1.0");
    EXPECT_EQ(CUserData::ExtractBetween(L"<v></v>", L"<v>", L"</v>", out), -1);
    EXPECT_EQ(out, L"");
    EXPECT_EQ(CUserData::ExtractBetween(L"<v>1.0", L"<v>", L"</v>", out), -1);
    struct Case {
        const wchar_t* in;
        const wchar_t* type;
    } cases[] = {
        {L"/home/u/Videos/a.film.mkv", L"mkv"}, {L"http://h.example/v.mp4?x=1.2", L"mp4"},
        {L"http://h.example/path", L""},        {L"rtsp://h.example/live.sdp#t=1.5", L"sdp"},
        {L"http://www.h.example", L""},          {L"noextension", L""},
    };
    for (auto& c : cases) EXPECT_EQ(CUserData::MediaTypeOf(c.in), c.type) << c.in;
}

}  // namespace
