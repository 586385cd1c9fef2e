// Network addresses: the scheme test, splitting, the queue and the confirm step against a
// recording host, with the history in a real PlayUrl.info.
#include "player/dialogs/open_url.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "player/engine/media_logic.h"
#include "player/settings/sys_config.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

TEST(OpenUrl, SchemeTestWantsASupportedSchemeAndSlashes) {
    struct Case { const char* text; bool ok; };
    const Case cases[] = {
        {"http://127.0.0.1/a.mp4", true},
        {"HTTP://HOST/A.MP4", true},
        {"https://host/x", true},
        {"Ftp://host/f.avi", true},
        {"rtsp://cam/stream", true},
        {"http://", true},
        {"rtspx://cam", false},
        {"httpfoo", false},
        {"https:/host", false},
        {"http:host", false},
        {" http://host", false},
        {"mms://host/x", false},
        {"file:///tmp/a.mp4", false},
        {"/home/user/a.mp4", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSupportedURL(c.text), c.ok) << c.text;
        EXPECT_EQ(media_logic::IsLocation(c.text), c.ok) << "engine: " << c.text;
    }
}

TEST(OpenUrl, SplitStringKeepsInnerEmptyPieces) {
    struct Case { const wchar_t* text; std::vector<std::wstring> pieces; };
    const Case cases[] = {
        {L"a|b", {L"a", L"b"}},
        {L"a||b", {L"a", L"", L"b"}},
        {L"|a", {L"", L"a"}},
        {L"a|", {L"a"}},
        {L"a", {L"a"}},
        {L"", {}},
        {L"|", {L""}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitString(c.text), c.pieces) << c.text;
}

TEST(OpenUrl, EveryPieceMustBeAnAddressAndEmptyOnesGo) {
    struct Case { const wchar_t* text; std::vector<std::wstring> urls; };
    const Case cases[] = {
        {L"http://a|ftp://b", {L"http://a", L"ftp://b"}},
        {L"http://a|", {L"http://a"}},
        {L"http://a||http://c", {L"http://a", L"http://c"}},
        {L"|http://a", {L"http://a"}},
        {L"http://a | http://b", {L"http://a", L"http://b"}},
        {L"http://a\t|\thttp://b  ", {L"http://a", L"http://b"}},
        {L"|  http://a|  |", {L"http://a"}},
        {L" http://a|http://b", {}},  // a blank that opens the input is no separator's
        {L"http://a|b", {}},
        {L"b|http://a", {}},
        {L"|", {}},
        {L"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(AcceptedUrls(c.text), c.urls) << c.text;
}

struct RecordingHost : IOpenUrlHost {
    std::wstring current = L"/videos/old.mkv";
    std::wstring title;
    std::vector<std::wstring> stopped, opened;
    std::wstring GetCurrentPath() const override { return current; }
    void SetCurrentPath(const std::wstring& path) override { current = path; }
    void SetCurrentTitle(const std::wstring& t) override { title = t; }
    void SetListItemStopped(const std::wstring& path) override { stopped.push_back(path); }
    void OpenMedia(const std::wstring& address) override { opened.push_back(address); }
};

struct ConfirmFixture : ::testing::Test {
    TempDir dir;
    CSysConfig cfg;
    RecordingHost host;
    std::filesystem::path history = dir / "PlayUrl.info";
    ConfirmFixture() {
        cfg.strUrlHistoryPath = history.wstring();
        g_UrlQueue = {L"http://earlier"};
        g_nNextUrl = 1;
    }
};

TEST_F(ConfirmFixture, ThreeAddressesPlayOneAfterAnother) {
    const std::wstring text = L"http://h/1.mp4|http://h/2.mp4|http://h/3.mp4";
    EXPECT_EQ(ConfirmUrlInput(text, host, cfg), text);
    EXPECT_EQ(g_UrlQueue, (std::vector<std::wstring>{L"http://h/1.mp4", L"http://h/2.mp4", L"http://h/3.mp4"}));
    EXPECT_EQ(g_nNextUrl, 1);
    EXPECT_EQ(host.opened, std::vector<std::wstring>{L"http://h/1.mp4"});
    EXPECT_EQ(host.stopped, std::vector<std::wstring>{L"/videos/old.mkv"});  // the path before it was replaced
    EXPECT_EQ(host.title, text);
    EXPECT_EQ(host.current, text);
    EXPECT_EQ(ReadFile(history), "http://h/1.mp4|http://h/2.mp4|http://h/3.mp4\n");

    std::wstring next;
    ASSERT_TRUE(TakeNextQueuedUrl(&next));
    EXPECT_EQ(next, L"http://h/2.mp4");
    ASSERT_TRUE(TakeNextQueuedUrl(&next));
    EXPECT_EQ(next, L"http://h/3.mp4");
    EXPECT_FALSE(TakeNextQueuedUrl(&next));
    EXPECT_EQ(g_nNextUrl, 3);
}

TEST_F(ConfirmFixture, EmptyPiecesAndBlanksAroundSeparatorsAreNotKept) {
    // Kept as the whole typed text, the current path would be no address, and the end of the
    // first stream would move on in the play list instead of the queue.
    const std::wstring kept = L"http://h/c.mp4|http://h/d.mp4";
    EXPECT_EQ(ConfirmUrlInput(L"|http://h/c.mp4 | http://h/d.mp4", host, cfg), kept);
    EXPECT_EQ(g_UrlQueue, (std::vector<std::wstring>{L"http://h/c.mp4", L"http://h/d.mp4"}));
    EXPECT_EQ(host.opened, std::vector<std::wstring>{L"http://h/c.mp4"});
    EXPECT_EQ(host.current, kept);
    EXPECT_EQ(host.title, kept);
    EXPECT_EQ(ReadFile(history), "http://h/c.mp4|http://h/d.mp4\n");
}

TEST_F(ConfirmFixture, RejectedInputChangesNothing) {
    cfg.g_UrlHistory = {L"http://kept"};
    for (const wchar_t* text : {L"", L" http://a", L"mms://a", L"word|http://a", L"http://a|word"}) {
        EXPECT_EQ(ConfirmUrlInput(text, host, cfg), L"") << text;
    }
    EXPECT_EQ(g_UrlQueue, std::vector<std::wstring>{L"http://earlier"});
    EXPECT_EQ(g_nNextUrl, 1);
    EXPECT_TRUE(host.opened.empty() && host.stopped.empty() && host.title.empty());
    EXPECT_EQ(host.current, L"/videos/old.mkv");
    EXPECT_EQ(cfg.g_UrlHistory, std::vector<std::wstring>{L"http://kept"});
    EXPECT_FALSE(std::filesystem::exists(history));
}

TEST_F(ConfirmFixture, HistoryGainsOnlyNewInputsWithoutLineBreaks) {
    cfg.g_UrlHistory = {L"http://a", L"http://b"};
    ASSERT_TRUE(cfg.SaveUrlHistory());
    auto before = std::filesystem::last_write_time(history);

    EXPECT_EQ(ConfirmUrlInput(L"http://a", host, cfg), L"http://a");
    EXPECT_EQ(cfg.g_UrlHistory, (std::vector<std::wstring>{L"http://a", L"http://b"}));
    EXPECT_EQ(std::filesystem::last_write_time(history), before);  // untouched
    EXPECT_EQ(ConfirmUrlInput(L"HTTP://a", host, cfg), L"HTTP://a");  // case counts

    // A pasted address with its line break is tested, played and kept without it.
    EXPECT_EQ(ConfirmUrlInput(L"http://c/x.mp4\r\n", host, cfg), L"http://c/x.mp4");
    EXPECT_EQ(host.opened.back(), L"http://c/x.mp4");
    EXPECT_EQ(ReadFile(history), "http://a\nhttp://b\nHTTP://a\nhttp://c/x.mp4\n");
    cfg.g_UrlHistory.clear();
    cfg.LoadUrlHistory();
    EXPECT_EQ(cfg.g_UrlHistory.size(), 4u);
}

}  // namespace
