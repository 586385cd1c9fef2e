#include "support/zip_writer.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>

#include "support/temp_dir.h"

namespace testsupport {

namespace {

void Put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xff));
    s.push_back(static_cast<char>((v >> 8) & 0xff));
}

void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xffff);
    Put16(s, v >> 16);
}

// Local form: every announced time; central form: the modification time only.
std::string ExtendedTimestamp(const ZipItem& it, bool central) {
    if (!it.utModify && !it.utAccess && !it.utCreate) return {};
    unsigned flags = (it.utModify ? 1 : 0) | (it.utAccess ? 2 : 0) | (it.utCreate ? 4 : 0);
    std::string data(1, static_cast<char>(flags));
    if (it.utModify) Put32(data, static_cast<std::uint32_t>(*it.utModify));
    if (!central) {
        if (it.utAccess) Put32(data, static_cast<std::uint32_t>(*it.utAccess));
        if (it.utCreate) Put32(data, static_cast<std::uint32_t>(*it.utCreate));
    }
    std::string field;
    Put16(field, 0x5455);
    Put16(field, static_cast<unsigned>(data.size()));
    return field + data;
}

// Raw deflate of the data.
std::string Deflate(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, data.size()) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// Traditional PKWARE encryption with its 12-byte header (the check byte is the CRC's top byte).
std::string Encrypt(const std::string& payload, const std::string& password, std::uint32_t crc) {
    const z_crc_t* table = get_crc_table();
    std::uint32_t k[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    auto c32 = [&](std::uint32_t c, unsigned char b) { return table[(c ^ b) & 0xff] ^ (c >> 8); };
    auto update = [&](unsigned char p) {
        k[0] = c32(k[0], p);
        k[1] = (k[1] + (k[0] & 0xff)) * 134775813u + 1;
        k[2] = c32(k[2], static_cast<unsigned char>(k[1] >> 24));
    };
    for (unsigned char c : password) update(c);
    std::string plain = "0123456789";
    plain.push_back(static_cast<char>((crc >> 16) & 0xff));
    plain.push_back(static_cast<char>(crc >> 24));
    plain += payload;
    std::string out(plain.size(), '\0');
    for (std::size_t i = 0; i < plain.size(); ++i) {
        unsigned t = (k[2] & 0xffff) | 2;
        out[i] = static_cast<char>(static_cast<unsigned char>(plain[i]) ^ ((t * (t ^ 1)) >> 8));
        update(static_cast<unsigned char>(plain[i]));
    }
    return out;
}

std::uint32_t Get32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

unsigned Get16(const std::string& s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}

void Set32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xff);
}

// What minizip cannot write: raw names (written as placeholders of the same length) and lying
// sizes, patched into the local and the central header of each entry.
bool PatchHeaders(const std::filesystem::path& file, const std::vector<ZipItem>& items) {
    std::string bytes = ReadFile(file);
    auto eocd = bytes.rfind(std::string("PK\x05\x06", 4));
    if (eocd == std::string::npos || eocd + 22 > bytes.size()) return false;
    std::size_t central = Get32(bytes, eocd + 16);
    for (const auto& it : items) {
        if (central + 46 > bytes.size() || Get32(bytes, central) != 0x02014b50u) return false;
        const std::size_t local = Get32(bytes, central + 42);
        const unsigned nameLength = Get16(bytes, central + 28);
        const std::size_t next = central + 46 + nameLength + Get16(bytes, central + 30) + Get16(bytes, central + 32);
        if (local + 30 + nameLength > bytes.size()) return false;
        if (it.rawName) {
            if (it.rawName->size() != nameLength) return false;
            bytes.replace(central + 46, nameLength, *it.rawName);
            bytes.replace(local + 30, nameLength, *it.rawName);
        }
        if (it.declaredSize) {
            Set32(bytes, central + 24, static_cast<std::uint32_t>(*it.declaredSize));
            Set32(bytes, local + 22, static_cast<std::uint32_t>(*it.declaredSize));
        }
        central = next;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

bool WriteZip(const std::filesystem::path& file, const std::vector<ZipItem>& items) {
    zipFile zf = zipOpen64(file.c_str(), APPEND_STATUS_CREATE);
    if (!zf) return false;
    bool ok = true;
    for (const auto& it : items) {
        zip_fileinfo zi{};
        zi.dosDate = (static_cast<uLong>(it.dosDate) << 16) | it.dosTime;
        zi.external_fa = it.externalAttr;
        std::string local = ExtendedTimestamp(it, false), central = ExtendedTimestamp(it, true);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(it.data.data()), static_cast<uInt>(it.data.size()));
        // Encrypted entries are written raw: the system's minizip cannot encrypt them properly.
        const bool raw = !it.password.empty();
        std::string name = it.rawName ? *it.rawName : it.name;
        std::replace(name.begin(), name.end(), '\0', '_');
        int rc = zipOpenNewFileInZip4_64(
            zf, name.c_str(), &zi, local.empty() ? nullptr : local.data(), static_cast<uInt>(local.size()),
            central.empty() ? nullptr : central.data(), static_cast<uInt>(central.size()), nullptr,
            it.stored ? 0 : Z_DEFLATED, it.stored ? 0 : Z_DEFAULT_COMPRESSION, raw ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL,
            Z_DEFAULT_STRATEGY, nullptr, 0, static_cast<uLong>((it.host << 8) | 20), raw ? 1 : 0, 0);
        if (rc != ZIP_OK) {
            ok = false;
            break;
        }
        std::string bytes = raw ? Encrypt(it.stored ? it.data : Deflate(it.data), it.password, static_cast<std::uint32_t>(crc))
                                : it.data;
        if (!bytes.empty() && zipWriteInFileInZip(zf, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK)
            ok = false;
        if ((raw ? zipCloseFileInZipRaw64(zf, it.data.size(), crc) : zipCloseFileInZip(zf)) != ZIP_OK) ok = false;
    }
    if (zipClose(zf, nullptr) != ZIP_OK) ok = false;
    const bool patched = std::any_of(items.begin(), items.end(), [](const ZipItem& it) { return it.rawName || it.declaredSize; });
    return ok && (!patched || PatchHeaders(file, items));
}

}  // namespace testsupport
