// The request library as its callers meet it: the built WZUpdate.so loaded with dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "download/file_downloader.h"
#include "support/http_server.h"
#include "support/program_dir.h"
#include "support/zip_writer.h"

using testsupport::HttpReply;
using testsupport::HttpRequest;
using testsupport::HttpServer;

namespace {

struct Library {
    using GetNDDownloaderFn = void* (*)(CDownloadObserver*);
    using DownloadFn = int (*)(const char*, const char*);
    using RequestFn = int (*)(const char*, char**, char**);
    using ReleaseFn = void (*)();

    Library() {
        handle = dlopen(MORVANE_BIN_DIR "/WZUpdate.so", RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        getNDDownloader = reinterpret_cast<GetNDDownloaderFn>(dlsym(handle, "GetNDDownloader"));
        downloadNDFile = reinterpret_cast<DownloadFn>(dlsym(handle, "DownloadNDFile_E"));
        downloadZipFile = reinterpret_cast<DownloadFn>(dlsym(handle, "DownloadZipFile_E"));
        requestGetHtml = reinterpret_cast<RequestFn>(dlsym(handle, "RequestGetHtml_E"));
        releaseBuffer = reinterpret_cast<ReleaseFn>(dlsym(handle, "ReleaseBuffer_E"));
    }
    bool complete() const {
        return getNDDownloader && downloadNDFile && downloadZipFile && requestGetHtml && releaseBuffer;
    }

    void* handle = nullptr;  // stays loaded, as in the player
    GetNDDownloaderFn getNDDownloader = nullptr;
    DownloadFn downloadNDFile = nullptr, downloadZipFile = nullptr;
    RequestFn requestGetHtml = nullptr;
    ReleaseFn releaseBuffer = nullptr;
};

Library& Lib() {
    static Library lib;
    return lib;
}

class Recorder : public CDownloadObserver {
public:
    void OnStart(const char*, std::int64_t total) override { events.push_back("start:" + std::to_string(total)); }
    void OnProgress(const char*, std::int64_t, double) override { ++progress; }
    void OnComplete(const char*) override { events.push_back("complete"); }
    void OnError(const char*, int code) override { events.push_back("error:" + std::to_string(code)); }
    std::vector<std::string> events;
    int progress = 0;
};

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Lib().complete()) << dlerror();
        program_.WriteConfig("[Global Options]\nProxyType=0\n");
        HttpReply patterns;
        patterns.body = "<ndpattern><id>none</id></ndpattern>";
        server_.Serve("/client/config/netdisk_patterns.xml", patterns);
    }
    std::string DirectList(const std::string& path) const {
        return "<link><id>1</id><directurl>" + server_.url(path) + "</directurl><weight>1</weight></link>";
    }

    testsupport::ProgramDir program_;
    HttpServer server_;
    testsupport::ScopedEnv configServer_{"MORVANE_CONFIG_SERVER", server_.url("")};
};

// Declared first: the library's resolver does not exist until the first GetNDDownloader call.
TEST_F(ExportsTest, DownloadsNeedTheResolverFirst) {
    HttpReply file;
    file.body = "data";
    server_.Serve("/f.bin", file);
    const std::string target = (program_ / "t.bin").string();
    EXPECT_EQ(Lib().downloadNDFile(DirectList("/f.bin").c_str(), target.c_str()), 0);
    EXPECT_EQ(Lib().downloadZipFile(DirectList("/f.bin").c_str(), target.c_str()), 0);
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(ExportsTest, OnlyTheFiveExportsAreVisible) {
    FILE* p = popen("nm -D --defined-only " MORVANE_BIN_DIR "/WZUpdate.so", "r");
    ASSERT_TRUE(p);
    std::set<std::string> names;
    char line[1024];
    while (fgets(line, sizeof line, p)) {
        char type[8], name[900];
        unsigned long long addr;
        if (sscanf(line, "%llx %7s %899s", &addr, type, name) == 3) names.insert(name);
    }
    pclose(p);
    EXPECT_EQ(names, (std::set<std::string>{"GetNDDownloader", "DownloadNDFile_E", "DownloadZipFile_E",
                                            "RequestGetHtml_E", "ReleaseBuffer_E"}));
}

TEST_F(ExportsTest, DownloadWithAndWithoutAnObserver) {
    HttpReply file;
    file.body = std::string(50000, 'z');
    server_.Serve("/f.bin", file);
    Recorder rec;
    void* resolver = Lib().getNDDownloader(&rec);
    ASSERT_TRUE(resolver);
    const std::string target = (program_ / "t.bin").string();
    ASSERT_EQ(Lib().downloadNDFile(DirectList("/f.bin").c_str(), target.c_str()), 1);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"start:50000", "complete"}));
    EXPECT_GT(rec.progress, 0);
    EXPECT_EQ(server_.requests("/f.bin").at(0).header("User-Agent"), download::GenericHTTPClient::kUserAgent);

    EXPECT_EQ(Lib().getNDDownloader(nullptr), resolver);
    std::filesystem::remove(target);
    ASSERT_EQ(Lib().downloadNDFile(DirectList("/f.bin").c_str(), target.c_str()), 1);
    EXPECT_EQ(rec.events.size(), 2u);  // reporting is off
    EXPECT_EQ(server_.count("/client/config/netdisk_patterns.xml"), 1u);
}

TEST_F(ExportsTest, ZipDownloadsAreUnpackedBesideTheTargetAndOtherFilesKept) {
    Lib().getNDDownloader(nullptr);
    const auto zip = program_ / "src.zip";
    ASSERT_TRUE(testsupport::WriteZip(zip, {{.name = "inner/x.txt", .data = "x"}}));
    HttpReply z;
    z.body = testsupport::ReadFile(zip);
    server_.Serve("/p.zip", z);
    HttpReply plain;
    plain.body = "not an archive";
    server_.Serve("/plain.bin", plain);

    std::filesystem::create_directory(program_ / "dest");
    const std::string zipTarget = (program_ / "dest" / "p.zip").string();
    ASSERT_EQ(Lib().downloadZipFile(DirectList("/p.zip").c_str(), zipTarget.c_str()), 1);
    EXPECT_EQ(testsupport::ReadFile(program_ / "dest" / "inner" / "x.txt"), "x");
    EXPECT_FALSE(std::filesystem::exists(zipTarget));

    const std::string plainTarget = (program_ / "dest" / "plain.bin").string();
    ASSERT_EQ(Lib().downloadZipFile(DirectList("/plain.bin").c_str(), plainTarget.c_str()), 1);
    EXPECT_EQ(testsupport::ReadFile(plainTarget), "not an archive");
}

// Only a download that is no archive takes the road to the target path. An archive whose
// extraction failed is a failure: nothing at the target path, no file outside the folder, and
// the downloaded archive stays in the temporary folder.
TEST_F(ExportsTest, AZipWhoseExtractionFailsIsAFailureAndIsKept) {
    using namespace std::string_literals;
    namespace fs = std::filesystem;
    Lib().getNDDownloader(nullptr);
    auto made = [&](const std::vector<testsupport::ZipItem>& items) {
        const auto zip = program_ / "made.zip";
        EXPECT_TRUE(testsupport::WriteZip(zip, items));
        return testsupport::ReadFile(zip);
    };
    const std::string good = made({{.name = "good.txt", .data = "good"}});
    struct Row {
        const char* label;
        std::string download;
        int result;
        std::map<std::string, std::string> folder;  // what the target's folder holds afterwards
        bool kept;                                   // the download is left in the temporary folder
    };
    const std::vector<Row> rows = {
        {"names hidden by NULs",
         made({{.name = "good.txt", .data = "good"}, {.name = "x", .data = "evil", .rawName = "..\0/..\0/evil"s}}),
         0, {{"good.txt", "good"}}, true},
        {"a symbolic link", made({{.name = "good.txt", .data = "good"}, {.name = "l", .data = "/", .host = 3, .externalAttr = 0120777u << 16}}),
         0, {{"good.txt", "good"}}, true},
        {"a damaged archive", good.substr(0, good.size() / 2), 0, {}, true},
        {"no archive", "plain bytes", 1, {{"t.zip", "plain bytes"}}, false},
        {"an archive", good, 1, {{"good.txt", "good"}}, false},
    };
    int n = 0;
    for (const auto& row : rows) {
        const auto base = program_ / ("row" + std::to_string(n++));
        const auto temp = base / "tmp";
        const auto folder = base / "a" / "dest";
        fs::create_directories(temp);
        fs::create_directories(folder);
        testsupport::ScopedEnv tmpdir("TMPDIR", temp.string());
        HttpReply reply;
        reply.body = row.download;
        server_.Serve("/d" + std::to_string(n), reply);
        const std::string target = (folder / "t.zip").string();
        EXPECT_EQ(Lib().downloadZipFile(DirectList("/d" + std::to_string(n)).c_str(), target.c_str()), row.result)
            << row.label;
        std::map<std::string, std::string> inFolder;
        for (auto& e : fs::directory_iterator(folder)) inFolder[e.path().filename().string()] = testsupport::ReadFile(e.path());
        EXPECT_EQ(inFolder, row.folder) << row.label;
        std::vector<std::string> inTemp;
        for (auto& e : fs::directory_iterator(temp)) inTemp.push_back(testsupport::ReadFile(e.path()));
        EXPECT_EQ(inTemp, row.kept ? std::vector<std::string>{row.download} : std::vector<std::string>{}) << row.label;
        for (auto& e : fs::recursive_directory_iterator(base)) {
            const std::string name = fs::relative(e.path(), base).string();
            EXPECT_TRUE(name == "tmp" || name == "a" || name.rfind("tmp/", 0) == 0 || name.rfind("a/dest", 0) == 0)
                << row.label << ": " << name << " was written outside the folder";
        }
    }
}

TEST_F(ExportsTest, RequestGetHtmlHandsOutTheReplyUntilRelease) {
    HttpReply page;
    page.body = "<newversion>1.0</newversion>";
    server_.Serve("/page", page);
    HttpReply missing;
    missing.status = 404;
    server_.Serve("/missing", missing);

    char* body = nullptr;
    char* second = nullptr;
    ASSERT_EQ(Lib().requestGetHtml(server_.url("/page").c_str(), &body, &second), 0);
    ASSERT_TRUE(body && second);
    EXPECT_STREQ(body, "<newversion>1.0</newversion>");
    EXPECT_STREQ(second, "");
    Lib().releaseBuffer();
    Lib().releaseBuffer();  // a second release does nothing

    char* untouched = reinterpret_cast<char*>(0x1);
    char* untouched2 = reinterpret_cast<char*>(0x2);
    EXPECT_EQ(Lib().requestGetHtml(server_.url("/missing").c_str(), &untouched, &untouched2), -1);
    EXPECT_EQ(untouched, reinterpret_cast<char*>(0x1));
    EXPECT_EQ(untouched2, reinterpret_cast<char*>(0x2));
    EXPECT_EQ(server_.count("/missing"), 2u);
}

// A page has a bound far above any page the callers fetch; past it the request fails and the
// process lives on.
TEST_F(ExportsTest, PagesWithoutEndAreRefused) {
    struct Row {
        const char* label;
        std::uint64_t size;
        bool announced;
        int result;
    };
    const std::vector<Row> rows = {
        {"a page of 4 MiB", 4u << 20, true, 0},
        {"64 MiB of unknown length", 64u << 20, false, -1},
        {"64 MiB announced", 64u << 20, true, -1},
        {"a stream without end", std::uint64_t{1} << 62, false, -1},
    };
    for (const auto& row : rows) {
        HttpReply reply;
        reply.generatedSize = row.size;
        reply.sendContentLength = row.announced;
        server_.Serve("/big", reply);
        char* body = nullptr;
        char* second = nullptr;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(Lib().requestGetHtml(server_.url("/big").c_str(), &body, &second), row.result) << row.label;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << row.label;
        if (row.result == 0 && body) {
            EXPECT_EQ(std::strlen(body), row.size) << row.label;
        }
        Lib().releaseBuffer();
    }
}

TEST_F(ExportsTest, ATransferThatEndsInAnErrorFailsTheRequestAndTheDownload) {
    const auto broken = testsupport::BrokenReplies();
    for (const auto& [path, raw] : broken) {
        SCOPED_TRACE(path);
        HttpReply reply;
        reply.raw = raw;
        server_.Serve(path, reply);
        char* body = nullptr;
        char* second = nullptr;
        EXPECT_EQ(Lib().requestGetHtml(server_.url(path).c_str(), &body, &second), -1);
        EXPECT_EQ(body, nullptr);
        EXPECT_EQ(second, nullptr);
    }
    // The download road, once: each failed attempt is followed by the library's own pause.
    Recorder rec;
    ASSERT_TRUE(Lib().getNDDownloader(&rec));
    const std::string target = program_.dir().write("kept.bin", "old content").string();
    EXPECT_EQ(Lib().downloadNDFile(DirectList(broken[0].path).c_str(), target.c_str()), 0);
    EXPECT_EQ(testsupport::ReadFile(target), "old content");
    EXPECT_EQ(rec.events, (std::vector<std::string>{"start:0", "error:12", "start:0", "error:12"}));
    Lib().getNDDownloader(nullptr);
}

// Overlapping requests of two threads: each reply stays valid until its own thread releases it.
// scripts/tsan-request-lib runs this test under ThreadSanitizer.
TEST_F(ExportsTest, OverlappingRequestsKeepTheirOwnReplies) {
    server_.Handle("/slow", [](const HttpRequest& r) {
        HttpReply reply;
        reply.body = "reply for " + r.query;
        reply.delayMs = r.query == "a" ? 0 : 50;
        return reply;
    });
    std::atomic<int> phase{0};
    std::string seenA, seenB;
    std::thread a([&] {
        char *body = nullptr, *second = nullptr;
        const bool ok = Lib().requestGetHtml(server_.url("/slow?a").c_str(), &body, &second) == 0;
        phase = 1;
        if (!ok) return;
        while (phase.load() != 2) std::this_thread::yield();  // the other thread requests and releases
        seenA = body;
        Lib().releaseBuffer();
    });
    std::thread b([&] {
        while (phase.load() != 1) std::this_thread::yield();
        for (int i = 0; i < 5; ++i) {
            char *body = nullptr, *second = nullptr;
            if (Lib().requestGetHtml(server_.url("/slow?b").c_str(), &body, &second) == 0) seenB = body;
            Lib().releaseBuffer();
        }
        phase = 2;
    });
    a.join();
    b.join();
    EXPECT_EQ(seenA, "reply for a");
    EXPECT_EQ(seenB, "reply for b");
}

}  // namespace
