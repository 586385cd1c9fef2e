#include "download/file_downloader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <vector>

#include "download/file_utils.h"
#include "support/file_size_limit.h"
#include "support/http_server.h"
#include "support/program_dir.h"

using namespace download;
using testsupport::HttpReply;
using testsupport::HttpRequest;
using testsupport::HttpServer;

namespace {

// Records every call in order, as "start:<total>", "progress:<done>", "complete", "error:<code>".
class Recorder : public CDownloadObserver {
public:
    void OnStart(const char*, std::int64_t total) override { Add("start:" + std::to_string(total)); }
    void OnProgress(const char*, std::int64_t done, double speed) override {
        std::lock_guard lock(m);
        progress.push_back(done);
        speeds.push_back(speed);
    }
    void OnComplete(const char*) override { Add("complete"); }
    void OnError(const char*, int code) override { Add("error:" + std::to_string(code)); }
    std::vector<std::string> Events() {
        std::lock_guard lock(m);
        return events;
    }

    std::mutex m;
    std::vector<std::string> events;
    std::vector<std::int64_t> progress;
    std::vector<double> speeds;

private:
    void Add(const std::string& e) {
        std::lock_guard lock(m);
        events.push_back(e);
    }
};

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetHttpTimings();
        HttpTimings t;
        t.downloadRetryPauseMs = 100;
        t.downloadReceiveTimeoutMs = 10000;
        t.connectTimeoutMs = 10000;
        SetHttpTimings(t);
        program_.WriteConfig("[Global Options]\nProxyType=0\n");
        content_ = testsupport::PatternBytes(0, 100000);
        server_.Handle("/file.bin", [this](const HttpRequest& r) { return testsupport::RangedReply(r, content_); });
    }
    void TearDown() override { SetHttpTimings(saved_); }

    std::string File(const std::string& name, const std::string& content) const {
        return program_.dir().write(name, content).string();
    }

    HttpTimings saved_;
    testsupport::ProgramDir program_;
    std::string content_;  // before the server, which serves it until it stops
    HttpServer server_;
};

TEST_F(DownloaderTest, WholeFileWithTheObserverSequence) {
    const std::string target = (program_ / "out.bin").string();
    Recorder rec;
    CFileDownloader d;
    d.SetReferer("http://ref.example/page");
    ASSERT_EQ(d.DownloadToFile(server_.url("/file.bin").c_str(), target.c_str(), &rec), kDownloadComplete);
    EXPECT_TRUE(testsupport::ReadFile(target) == content_);
    auto events = rec.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "start:100000");
    EXPECT_EQ(events[1], "complete");
    ASSERT_FALSE(rec.progress.empty());
    EXPECT_EQ(rec.progress.back(), 100000);
    EXPECT_TRUE(std::is_sorted(rec.progress.begin(), rec.progress.end()));

    auto r = server_.requests("/file.bin").at(0);
    EXPECT_EQ(r.header("User-Agent"), CFileDownloader::kInstallerUserAgent);
    EXPECT_EQ(r.header("Referer"), "http://ref.example/page");
    EXPECT_FALSE(r.has_header("Range"));

    CFileDownloader lib(Flavor::RequestLib);
    ASSERT_EQ(lib.DownloadToFile(server_.url("/file.bin").c_str(), (program_ / "lib.bin").string().c_str(), nullptr), 0);
    EXPECT_EQ(server_.requests("/file.bin").at(1).header("User-Agent"), GenericHTTPClient::kUserAgent);
}

TEST_F(DownloaderTest, PartialFileResumesWithARange) {
    const std::string target = File("part.bin", content_.substr(0, 30000));
    Recorder rec;
    CFileDownloader d;
    ASSERT_EQ(d.DownloadToFile(server_.url("/file.bin").c_str(), target.c_str(), &rec), 0);
    EXPECT_TRUE(testsupport::ReadFile(target) == content_);
    EXPECT_EQ(server_.requests("/file.bin").at(0).header("Range"), "bytes=30000-");
    EXPECT_EQ(rec.Events().at(0), "start:100000");
}

TEST_F(DownloaderTest, AServerWithoutRangesRestartsTheFileFromEmpty) {
    server_.Serve("/noranges", [&] {
        HttpReply r;
        r.body = "short new content";
        return r;
    }());
    const std::string target = File("old.bin", std::string(5000, 'J'));
    CFileDownloader d;
    ASSERT_EQ(d.DownloadToFile(server_.url("/noranges").c_str(), target.c_str(), nullptr), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "short new content");
}

TEST_F(DownloaderTest, A206FromTheWrongOffsetIsRefused) {
    server_.Handle("/wrong", [&](const HttpRequest&) {
        HttpReply r;
        r.status = 206;
        r.headers.push_back({"Content-Range", "bytes 0-99999/100000"});
        r.body = content_;
        return r;
    });
    const std::string target = File("w.bin", content_.substr(0, 500));
    Recorder rec;
    CFileDownloader d;
    EXPECT_EQ(d.DownloadToFile(server_.url("/wrong").c_str(), target.c_str(), &rec), kDownloadFailed);
    EXPECT_EQ(rec.Events(), std::vector<std::string>{"error:7"});
    EXPECT_EQ(testsupport::ReadFile(target), content_.substr(0, 500));
}

TEST_F(DownloaderTest, RangeNotSatisfiable) {
    const std::string complete = File("complete.bin", content_);
    Recorder rec;
    CFileDownloader d;
    EXPECT_EQ(d.DownloadToFile(server_.url("/file.bin").c_str(), complete.c_str(), &rec), 0);
    EXPECT_EQ(rec.Events(), std::vector<std::string>{"complete"});

    const std::string larger = File("larger.bin", content_ + "extra");
    Recorder rec2;
    EXPECT_EQ(d.DownloadToFile(server_.url("/file.bin").c_str(), larger.c_str(), &rec2), kDownloadFailed);
    EXPECT_EQ(rec2.Events(), std::vector<std::string>{"error:7"});
}

TEST_F(DownloaderTest, ReplyCases) {
    struct Case {
        const char* name;
        HttpReply reply;
        int result;
        std::vector<std::string> events;
    };
    HttpReply html;
    html.contentType = "TEXT/HTML";
    html.body = "<html>";
    HttpReply htmlWithCharset = html;
    htmlWithCharset.contentType = "text/html; charset=utf-8";
    HttpReply notFound;
    notFound.status = 404;
    HttpReply cutFar;
    cutFar.body = content_;
    cutFar.cutAfter = 50000;
    HttpReply cutNear = cutFar;
    cutNear.cutAfter = content_.size() - 100;
    HttpReply noLength;
    noLength.body = content_;
    noLength.sendContentLength = false;
    // A 206 reply is complete only when it brings the whole file its Content-Range announces.
    auto partial = [&](const std::string& range) {
        HttpReply r;
        r.status = 206;
        r.headers.push_back({"Content-Range", range});
        r.body = content_.substr(0, 100);
        return r;
    };
    HttpReply chunked;
    chunked.raw = testsupport::ChunkedHead() + "5\r\nhello\r\n0\r\n\r\n";
    std::vector<Case> cases = {
        {"chunked", chunked, 0, {"start:0", "complete"}},
        {"html", html, kDownloadWebPage, {"error:8"}},
        {"206-part-of-the-file", partial("bytes 0-99/1000"), kDownloadFailed, {"start:1000", "error:10"}},
        {"206-whole-file", partial("bytes 0-99/100"), 0, {"start:100", "complete"}},
        {"206-total-unknown", partial("bytes 0-99/*"), 0, {"start:100", "complete"}},
        {"206-more-than-the-total", partial("bytes 0-99/50"), kDownloadFailed, {"error:7"}},
        {"html-charset", htmlWithCharset, 0, {"start:6", "complete"}},
        {"404", notFound, kDownloadFailed, {"error:7"}},
        {"cut-far", cutFar, kDownloadFailed, {"start:100000", "error:10"}},
        {"cut-near", cutNear, kDownloadFailed, {"start:100000", "error:10"}},
        {"no-length", noLength, 0, {"start:0", "complete"}},
    };
    for (auto& c : cases) {
        server_.Serve(std::string("/") + c.name, c.reply);
        const std::string target = (program_ / (std::string(c.name) + ".out")).string();
        Recorder rec;
        CFileDownloader d;
        EXPECT_EQ(d.DownloadToFile(server_.url(std::string("/") + c.name).c_str(), target.c_str(), &rec), c.result) << c.name;
        EXPECT_EQ(rec.Events(), c.events) << c.name;
    }
    EXPECT_EQ(testsupport::ReadFile(program_ / "no-length.out"), content_);
}

TEST_F(DownloaderTest, SpeedLimitShrinksReadsAndCapsTheReportedSpeed) {
    const std::string data = testsupport::PatternBytes(0, 30 * 1024);
    server_.Handle("/limited", [&](const HttpRequest& r) { return testsupport::RangedReply(r, data); });
    Recorder rec;
    CFileDownloader d;
    d.SetSpeedLimit(10);
    const std::string target = (program_ / "limited.bin").string();
    ASSERT_EQ(d.DownloadToFile(server_.url("/limited").c_str(), target.c_str(), &rec), 0);
    EXPECT_TRUE(testsupport::ReadFile(target) == data);
    for (double s : rec.speeds) EXPECT_LE(s, 10.0);
    // After the first read no step takes more than the second's budget.
    for (std::size_t i = 2; i < rec.progress.size(); ++i) EXPECT_LE(rec.progress[i] - rec.progress[i - 1], 10 * 1024);
    EXPECT_GT(rec.speeds.back(), 0.0);
}

TEST_F(DownloaderTest, AFailedWriteIsReported) {
    HttpReply big;
    big.generatedSize = 400000;
    server_.Serve("/big", big);
    const std::string target = (program_ / "full.bin").string();
    Recorder rec;
    {
        testsupport::FileSizeLimit limit(100000);
        CFileDownloader d;
        EXPECT_EQ(d.DownloadToFile(server_.url("/big").c_str(), target.c_str(), &rec), kDownloadFailed);
    }
    auto events = rec.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "error:3");
}

TEST_F(DownloaderTest, OffsetsBeyondFourGigabytes) {
    const std::uint64_t size = (5ull << 30) + 1000;
    server_.Handle("/huge", [&](const HttpRequest& r) { return testsupport::RangedGeneratedReply(r, size); });
    const std::string target = (program_ / "huge.bin").string();
    {
        int fd = ::open(target.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(5ull << 30)), 0);  // sparse: no disk space used
        ::close(fd);
    }
    Recorder rec;
    CFileDownloader d;
    ASSERT_EQ(d.DownloadToFile(server_.url("/huge").c_str(), target.c_str(), &rec), 0);
    EXPECT_EQ(server_.requests("/huge").at(0).header("Range"), "bytes=5368709120-");
    EXPECT_EQ(rec.Events().at(0), "start:" + std::to_string(size));
    EXPECT_EQ(GetFileSize64(target), size);
}

TEST_F(DownloaderTest, DownloadFileKeepsAMatchingTargetAndRefusesAFolder) {
    const std::string target = File("keep.bin", content_);
    CFileDownloader d;
    EXPECT_EQ(d.DownloadFile(server_.url("/file.bin").c_str(), target.c_str(), nullptr, 100000, nullptr), 1);
    std::filesystem::create_directory(program_ / "folder");
    EXPECT_EQ(d.DownloadFile(server_.url("/file.bin").c_str(), (program_ / "folder").string().c_str(), nullptr, 0, nullptr), 0);
    EXPECT_TRUE(std::filesystem::is_directory(program_ / "folder"));
    EXPECT_EQ(server_.requests().size(), 0u);
}

TEST_F(DownloaderTest, DownloadFileReplacesTheTargetOnlyWhenComplete) {
    const std::string target = File("target.bin", "old content");
    CFileDownloader d;
    HttpReply missing;
    missing.status = 404;
    server_.Serve("/missing", missing);
    EXPECT_EQ(d.DownloadFile(server_.url("/missing").c_str(), target.c_str(), nullptr, 0, nullptr), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "old content");
    EXPECT_EQ(server_.count("/missing"), 2u);

    // A size other than expected is no download either.
    EXPECT_EQ(d.DownloadFile(server_.url("/file.bin").c_str(), target.c_str(), nullptr, 12345, nullptr), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "old content");

    EXPECT_EQ(d.DownloadFile(server_.url("/file.bin").c_str(), target.c_str(), "", 100000, nullptr), 1);
    EXPECT_TRUE(testsupport::ReadFile(target) == content_);
}

TEST_F(DownloaderTest, ATransferThatEndsInAnErrorKeepsTheOldTarget) {
    for (const auto& [path, raw] : testsupport::BrokenReplies()) {
        SCOPED_TRACE(path);
        HttpReply reply;
        reply.raw = raw;
        server_.Serve(path, reply);
        const std::string target = File("kept.bin", "old content");
        Recorder rec;
        CFileDownloader d;
        EXPECT_EQ(d.DownloadFile(server_.url(path).c_str(), target.c_str(), nullptr, 0, &rec), 0);
        EXPECT_EQ(testsupport::ReadFile(target), "old content");
        EXPECT_EQ(server_.count(path), 2u);
        // A reply refused with its headers never started; a cut or malformed body is a failed read.
        const std::vector<std::string> attempt =
            path == "/two-lengths" ? std::vector<std::string>{"error:6"} : std::vector<std::string>{"start:0", "error:12"};
        std::vector<std::string> both = attempt;
        both.insert(both.end(), attempt.begin(), attempt.end());
        EXPECT_EQ(rec.Events(), both);
    }
}

TEST_F(DownloaderTest, ADownloadFromAServerThatDripsEndsAndFails) {
    HttpTimings t = GetHttpTimings();
    t.downloadReceiveTimeoutMs = 1000;
    SetHttpTimings(t);
    HttpReply drip;
    drip.generatedSize = 100000;
    drip.bytesPerSecond = 2;
    server_.Serve("/drip", drip);
    const std::string target = File("dripped.bin", "old content");
    Recorder rec;
    auto download = std::async(std::launch::async, [&] {
        CFileDownloader d;
        return d.DownloadFile(server_.url("/drip").c_str(), target.c_str(), nullptr, 0, &rec);
    });
    const bool ended = download.wait_for(std::chrono::seconds(120)) == std::future_status::ready;
    server_.Stop();  // ends the drip, so a download that hung comes back
    EXPECT_TRUE(ended);
    EXPECT_EQ(download.get(), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "old content");
    const auto events = rec.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "error:12"), 2);
}

TEST_F(DownloaderTest, ADownloadedTargetGetsTheModeOfANewFile) {
    for (mode_t mask : {022u, 027u, 077u}) {
        SCOPED_TRACE(mask);
        const mode_t before = ::umask(mask);
        const std::string target = (program_ / ("mode" + std::to_string(mask) + ".bin")).string();
        CFileDownloader d;
        const int result = d.DownloadFile(server_.url("/file.bin").c_str(), target.c_str(), "", 100000, nullptr);
        ::umask(before);
        ASSERT_EQ(result, 1);
        struct stat st{};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    }
}

TEST_F(DownloaderTest, AReplacedTargetGoesToTheTrashAnEmptyOneDoesNot) {
    // Before GLib first reads it in this process.
    testsupport::ScopedEnv data("XDG_DATA_HOME", (program_ / "data").string());
    const std::string old = File("setup.bin", "old content");
    const std::string placeholder = File("fresh.tmp", "");
    CFileDownloader d;
    ASSERT_EQ(d.DownloadFile(server_.url("/file.bin").c_str(), old.c_str(), "", 100000, nullptr), 1);
    ASSERT_EQ(d.DownloadFile(server_.url("/file.bin").c_str(), placeholder.c_str(), "", 100000, nullptr), 1);
    EXPECT_TRUE(testsupport::ReadFile(placeholder) == content_);
    EXPECT_EQ(testsupport::ReadFile(program_ / "data/Trash/files/setup.bin"), "old content");
    EXPECT_FALSE(std::filesystem::exists(program_ / "data/Trash/files/fresh.tmp"));
}

TEST_F(DownloaderTest, DownloadFileResumesTheSecondAttemptAfterACut) {
    int calls = 0;
    server_.Handle("/cut-once", [&](const HttpRequest& r) {
        HttpReply reply = testsupport::RangedReply(r, content_);
        if (++calls == 1) reply.cutAfter = 40000;
        return reply;
    });
    Recorder rec;
    CFileDownloader d;
    const std::string target = (program_ / "resumed.bin").string();
    EXPECT_EQ(d.DownloadFile(server_.url("/cut-once").c_str(), target.c_str(), "ref", 100000, &rec), 1);
    EXPECT_TRUE(testsupport::ReadFile(target) == content_);
    auto reqs = server_.requests("/cut-once");
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[1].header("Range"), "bytes=40000-");
    EXPECT_FALSE(reqs[0].has_header("Referer"));  // a Referer of 1 to 7 characters is ignored
    auto events = rec.Events();
    EXPECT_EQ(events, (std::vector<std::string>{"start:100000", "error:10", "start:100000", "complete"}));
}

}  // namespace

// A server that hands out at most 60000 bytes per reply: the second attempt goes on where the
// first reply stopped. One that always sends the same first part never completes the file.
TEST_F(DownloaderTest, DownloadFileGoesOnWhereAPartialReplyStopped) {
    server_.Handle("/capped", [&](const HttpRequest& r) {
        const std::uint64_t from = static_cast<std::uint64_t>(std::max<std::int64_t>(testsupport::RangeStart(r), 0));
        const std::uint64_t to = std::min<std::uint64_t>(from + 60000, content_.size());
        HttpReply reply;
        reply.status = 206;
        reply.headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(to - 1) + "/" +
                                                      std::to_string(content_.size())});
        reply.body = content_.substr(from, to - from);
        return reply;
    });
    HttpReply firstPart;
    firstPart.status = 206;
    firstPart.headers.push_back({"Content-Range", "bytes 0-99/1000"});
    firstPart.body = content_.substr(0, 100);
    server_.Serve("/first-part", firstPart);

    CFileDownloader d;
    const std::string target = File("whole.bin", "old content");
    EXPECT_EQ(d.DownloadFile(server_.url("/first-part").c_str(), target.c_str(), "", 0, nullptr), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "old content");
    EXPECT_EQ(d.DownloadFile(server_.url("/capped").c_str(), target.c_str(), "", 0, nullptr), 1);
    EXPECT_TRUE(testsupport::ReadFile(target) == content_);
    auto reqs = server_.requests("/capped");
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[1].header("Range"), "bytes=60000-");
}
