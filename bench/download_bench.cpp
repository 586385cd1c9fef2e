// Downloads one 500 MB file from a loopback server with the file downloader and with the curl
// program, one run each, and reports both throughputs and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "download/file_downloader.h"
#include "support/http_server.h"
#include "support/program_dir.h"

namespace {

constexpr std::uint64_t kSize = 500ull << 20;

testsupport::HttpServer& Server() {
    static testsupport::HttpServer server;
    static bool once = [] {
        testsupport::HttpReply reply;
        reply.generatedSize = kSize;
        server.Serve("/big.bin", reply);
        return true;
    }();
    (void)once;
    return server;
}

double g_downloaderSeconds = 0, g_curlSeconds = 0;

void Report(benchmark::State& state, double seconds) {
    state.counters["MB/s"] = static_cast<double>(kSize) / seconds / 1e6;
    if (g_downloaderSeconds > 0 && g_curlSeconds > 0) state.counters["downloader/curl"] = g_curlSeconds / g_downloaderSeconds;
}

void BM_Downloader(benchmark::State& state) {
    testsupport::ProgramDir program;
    program.WriteConfig("[Global Options]\nProxyType=0\n");
    const std::string target = (program / "big.bin").string();
    for (auto _ : state) {
        std::filesystem::remove(target);
        auto t0 = std::chrono::steady_clock::now();
        download::CFileDownloader d;
        int r = d.DownloadToFile(Server().url("/big.bin").c_str(), target.c_str(), nullptr);
        g_downloaderSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(g_downloaderSeconds);
        if (r != 0 || std::filesystem::file_size(target) != kSize) state.SkipWithError("download failed");
    }
    Report(state, g_downloaderSeconds);
}

void BM_CurlProgram(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string target = (dir / "big.bin").string();
    const std::string cmd = "curl -s -0 --noproxy '*' -o '" + target + "' " + Server().url("/big.bin");
    for (auto _ : state) {
        std::filesystem::remove(target);
        auto t0 = std::chrono::steady_clock::now();
        int rc = std::system(cmd.c_str());
        g_curlSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(g_curlSeconds);
        if (rc != 0 || std::filesystem::file_size(target) != kSize) state.SkipWithError("curl failed");
    }
    Report(state, g_curlSeconds);
}

}  // namespace

BENCHMARK(BM_CurlProgram)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Downloader)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
