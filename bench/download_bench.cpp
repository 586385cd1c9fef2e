// Downloads one 500 MB file from a loopback server with the file downloader and with the curl
// program, several rounds taking turns to go first, and reports the throughputs, their medians
// and the ratio's median and spread. A round counts only when both files came whole: the size
// and every byte are compared with what the server sends.
// Run: build/bench/download_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "download/file_downloader.h"
#include "support/http_server.h"
#include "support/program_dir.h"

namespace {

constexpr std::uint64_t kSize = 500ull << 20;

// The file holds exactly the server's pattern.
bool Whole(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) != kSize || ec) return false;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buf(1 << 20);
    std::uint64_t at = 0;
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const auto n = static_cast<std::size_t>(in.gcount());
        if (std::string(buf.data(), n) != testsupport::PatternBytes(at, n)) return false;
        at += n;
    }
    return at == kSize;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    testsupport::HttpServer server;
    testsupport::HttpReply reply;
    reply.generatedSize = kSize;
    server.Serve("/big.bin", reply);
    const std::string url = server.url("/big.bin");

    testsupport::ProgramDir program;
    program.WriteConfig("[Global Options]\nProxyType=0\n");
    const std::string ours = (program / "big.bin").string(), theirs = (program / "curl.bin").string();
    const std::string curl = "curl -s -0 --noproxy '*' -o '" + theirs + "' " + url;

    auto timed = [](auto run) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = run();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return ok ? static_cast<double>(kSize) / s / 1e6 : -1.0;
    };
    auto downloader = [&] {
        std::filesystem::remove(ours);
        return timed([&] {
            download::CFileDownloader d;
            return d.DownloadToFile(url.c_str(), ours.c_str(), nullptr) == 0;
        });
    };
    auto curlProgram = [&] {
        std::filesystem::remove(theirs);
        return timed([&] { return std::system(curl.c_str()) == 0; });
    };

    std::printf("%6s %14s %14s %8s\n", "round", "downloader", "curl", "ratio");
    std::vector<double> a, b, ratios;
    for (int i = 0; i < rounds; ++i) {
        double x, y;
        if (i % 2 == 0) {
            x = downloader();
            y = curlProgram();
        } else {
            y = curlProgram();
            x = downloader();
        }
        if (x < 0 || y < 0 || !Whole(ours) || !Whole(theirs)) {
            std::printf("%6d %14s %14s %8s  (a download failed or came short: not counted)\n", i + 1, "-", "-", "-");
            continue;
        }
        a.push_back(x);
        b.push_back(y);
        ratios.push_back(x / y);
        std::printf("%6d %9.0f MB/s %9.0f MB/s %8.2f\n", i + 1, x, y, x / y);
    }
    if (ratios.empty()) return 1;
    std::printf("%6s %9.0f MB/s %9.0f MB/s %8.2f  (throughput ratio downloader / curl; spread %.2f to %.2f)\n",
                "median", Median(a), Median(b), Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    return 0;
}
