// Extraction speed against the system's unzip: builds a 200 MB archive of many files (half
// compressible text, half random bytes) with the system's zip in a temporary folder, then
// extracts it with ExtractZipToFolder and with `unzip -q`, best of three runs each. A run counts
// only when every file of the archive came out whole: each entry's size and CRC-32, as the
// archive's directory gives them, are checked against the extracted file.
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
#include <vector>

#include <unzip.h>
#include <zlib.h>

#include "download/zip_extract.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::function<bool()>& run, bool& ok) {
    auto t0 = std::chrono::steady_clock::now();
    ok = run() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Every file entry of the archive lies under `folder` with its size and CRC-32; returns the
// number of entries checked, or -1 (with the first difference printed).
long VerifyAgainstArchive(const std::string& zip, const fs::path& folder) {
    unzFile z = unzOpen64(zip.c_str());
    if (!z) return -1;
    long checked = 0;
    std::vector<char> buf(1 << 20);
    for (int r = unzGoToFirstFile(z); r == UNZ_OK; r = unzGoToNextFile(z)) {
        unz_file_info64 info{};
        char name[1024];
        if (unzGetCurrentFileInfo64(z, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
            checked = -1;
            break;
        }
        const std::string n = name;
        if (!n.empty() && n.back() == '/') continue;
        const fs::path file = folder / n;
        std::error_code ec;
        const auto size = fs::file_size(file, ec);
        std::ifstream in(file, std::ios::binary);
        uLong crc = crc32(0, nullptr, 0);
        while (in && !ec) {
            in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buf.data()), static_cast<uInt>(in.gcount()));
        }
        if (ec || size != info.uncompressed_size || crc != info.crc) {
            std::fprintf(stderr, "%s: %s (size %llu of %llu, CRC %08lx of %08lx)\n", folder.c_str(), n.c_str(),
                         ec ? 0ull : static_cast<unsigned long long>(size),
                         static_cast<unsigned long long>(info.uncompressed_size), crc, static_cast<unsigned long>(info.crc));
            checked = -1;
            break;
        }
        ++checked;
    }
    unzClose(z);
    return checked;
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
        for (const char* side : {"ours", "theirs"}) {
            const long checked = VerifyAgainstArchive(zip, tmp / side);
            if (checked != static_cast<long>(files)) {
                std::fprintf(stderr, "round %d: %s extracted %ld of %zu files whole\n", round + 1, side,
                             std::max(checked, 0L), files);
                ok = false;
            }
        }
    }
    if (!ok) {
        std::fprintf(stderr, "an extraction failed\n");
        return 1;
    }
    std::printf("every round: all %zu files of both extractions match the archive's sizes and CRC-32\n", files);
    std::printf("ExtractZipToFolder: %.3f s\nunzip -q:           %.3f s\nratio (ours / unzip): %.2f\n", ours, theirs,
                ours / theirs);
    return 0;
}
