// Writes zip archives for tests with minizip's writer: names, data, host system and
// attributes, MS-DOS times, the "UT" extended timestamp, a password; and what a hostile archive
// holds: names with NUL bytes and sizes that lie.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ZipItem {
    std::string name{};
    std::string data{};
    int host = 0;                     // 0 MS-DOS, 3 Unix
    std::uint32_t externalAttr = 0;   // DOS attribute bits, or the Unix mode << 16
    std::uint16_t dosDate = 0x5A21;   // 2025-01-01
    std::uint16_t dosTime = 0x6000;   // 12:00:00
    std::optional<std::int32_t> utModify{}, utAccess{}, utCreate{};
    std::string password{};           // empty: not encrypted
    bool stored = false;              // no compression
    std::optional<std::string> rawName{};         // stored in place of name, byte for byte (may hold NULs)
    std::optional<std::uint64_t> declaredSize{};  // uncompressed size the headers state instead of the real one
};

// False when the archive could not be written.
bool WriteZip(const std::filesystem::path& file, const std::vector<ZipItem>& items);

}  // namespace testsupport
