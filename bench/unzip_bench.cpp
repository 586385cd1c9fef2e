// Extraction speed against the system's unzip: builds a 200 MB archive of many files (half
// compressible text, half random bytes) with the system's zip in a temporary folder, then
// extracts it with ExtractZipToFolder and with `unzip -q`, best of three runs each.
// Run: build/bench/unzip_bench [megabytes]
#include <chrono>
#include <cstring>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "download/zip_extract.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::function<bool()>& run, bool& ok) {
    auto t0 = std::chrono::steady_clock::now();
    ok = run() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const std::size_t fileSize = 100 * 1024;
    const std::size_t files = megabytes * 1024 * 1024 / fileSize;
    testsupport::TempDir tmp;
    std::mt19937_64 gen(42);
    static const char* words[] = {"media ", "player ", "download ", "archive ", "stream ", "folder ", "12345 ", "\n"};
    for (std::size_t i = 0; i < files; ++i) {
        std::string data;
        data.reserve(fileSize);
        if (i % 2 == 0) {
            while (data.size() < fileSize) data += words[gen() % 8];
            data.resize(fileSize);
        } else {
            data.resize(fileSize);
            for (std::size_t k = 0; k + 8 <= fileSize; k += 8) {
                auto v = gen();
                std::memcpy(&data[k], &v, 8);
            }
        }
        tmp.write("src/d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".bin", data);
    }
    const std::string zip = (tmp / "bench.zip").string();
    std::string cmd = "cd '" + tmp.path().string() + "' && zip -q -r bench.zip src";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "zip failed\n");
        return 1;
    }
    std::printf("archive: %zu files, %zu MB of data, %.1f MB on disk\n", files, megabytes,
                static_cast<double>(fs::file_size(zip)) / (1024 * 1024));

    bool ok = true;
    double ours = 1e9, theirs = 1e9;
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(tmp / "ours");
        fs::remove_all(tmp / "theirs");
        ours = std::min(ours, Seconds([&] { return download::ExtractZipToFolder(zip, nullptr, (tmp / "ours").string(), false) == 1; }, ok));
        std::string unzip = "unzip -q '" + zip + "' -d '" + (tmp / "theirs").string() + "'";
        theirs = std::min(theirs, Seconds([&] { return std::system(unzip.c_str()) == 0; }, ok));
    }
    if (!ok) {
        std::fprintf(stderr, "an extraction failed\n");
        return 1;
    }
    std::printf("ExtractZipToFolder: %.3f s\nunzip -q:           %.3f s\nratio (ours / unzip): %.2f\n", ours, theirs,
                ours / theirs);
    return 0;
}
