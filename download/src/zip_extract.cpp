#include "download/zip_extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "acp_convert.h"
#include "download/file_utils.h"
#include "download/text_utils.h"
#include "platform/kernel/files.h"

namespace download {

namespace {

thread_local unsigned g_lastResult = ZR_OK;

unsigned Keep(unsigned code) {
    g_lastResult = code;
    return code;
}

constexpr int kExtractionKind = 1;
constexpr std::size_t kReadBuffer = 16 * 1024;
constexpr std::uint64_t kFileTimeEpochOffset = 11644473600ull;  // seconds from 1601 to 1970

FILETIME FromUnix(std::int64_t seconds) {
    std::uint64_t v = static_cast<std::uint64_t>(seconds + static_cast<std::int64_t>(kFileTimeEpochOffset)) * 10000000ull;
    return FILETIME{static_cast<DWORD>(v & 0xffffffffu), static_cast<DWORD>(v >> 32)};
}

struct timespec ToTimespec(const FILETIME& ft) {
    std::uint64_t v = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    struct timespec ts{};
    ts.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(v / 10000000ull) - static_cast<std::int64_t>(kFileTimeEpochOffset));
    ts.tv_nsec = static_cast<long>((v % 10000000ull) * 100);
    return ts;
}

std::tm DosToTm(WORD date, WORD time) {
    std::tm tm{};
    tm.tm_year = ((date >> 9) & 0x7f) + 80;
    tm.tm_mon = ((date >> 5) & 0x0f) - 1;
    tm.tm_mday = date & 0x1f;
    tm.tm_hour = (time >> 11) & 0x1f;
    tm.tm_min = (time >> 5) & 0x3f;
    tm.tm_sec = (time & 0x1f) * 2;
    tm.tm_isdst = -1;
    return tm;
}

// The "UT" extended timestamp: a flags byte, then the times its bits announce, as far as the
// field holds them (the central directory carries only the modification time).
void ApplyExtendedTimestamp(const unsigned char* extra, std::size_t size, ZipEntryInfo& info) {
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        unsigned id = extra[pos] | (extra[pos + 1] << 8);
        std::size_t len = extra[pos + 2] | (extra[pos + 3] << 8);
        const unsigned char* data = extra + pos + 4;
        if (pos + 4 + len > size) return;
        if (id == 0x5455 && len >= 1) {
            unsigned flags = data[0];
            std::size_t off = 1;
            auto next = [&](FILETIME& target, unsigned bit) {
                if (!(flags & bit) || off + 4 > len) return;
                auto t = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[off]) | (data[off + 1] << 8) |
                                                   (data[off + 2] << 16) | (static_cast<std::uint32_t>(data[off + 3]) << 24));
                target = FromUnix(t);
                off += 4;
            };
            next(info.modifyTime, 1);
            next(info.accessTime, 2);
            next(info.creationTime, 4);
        }
        pos += 4 + len;
    }
}

// Traditional PKWARE encryption: the key schedule, to check a password against the
// verification byte of an entry's 12-byte encryption header before anything is inflated.
class ZipCrypto {
public:
    explicit ZipCrypto(const char* password) : table_(get_crc_table()) {
        for (const char* p = password; *p; ++p) Update(static_cast<unsigned char>(*p));
    }
    unsigned char Decrypt(unsigned char c) {
        unsigned temp = (keys_[2] & 0xffff) | 2;
        unsigned char plain = c ^ static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
        Update(plain);
        return plain;
    }

private:
    std::uint32_t Crc(std::uint32_t crc, unsigned char b) const { return table_[(crc ^ b) & 0xff] ^ (crc >> 8); }
    void Update(unsigned char c) {
        keys_[0] = Crc(keys_[0], c);
        keys_[1] = (keys_[1] + (keys_[0] & 0xff)) * 134775813u + 1;
        keys_[2] = Crc(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
    }
    const z_crc_t* table_;
    std::uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

struct Entry {
    ZipEntryInfo info;
    unz_file_info64 raw{};
    std::vector<unsigned char> extra;  // of the central directory
    bool directory = false;
    bool symlink = false;
};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = o.fd_;
            o.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

// A name ends at its first NUL byte, whatever the stored length says: what is checked and what
// is created must be the same bytes.
std::string UpToNul(const std::string& name) { return name.substr(0, name.find('\0')); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Strips, until none is left, a leading drive, leading separators, a leading parent step, and
// everything up to and including the last parent step, so the rest names a place inside the root.
std::string CleanEntryName(std::string name) {
    for (;;) {
        const std::size_t before = name.size();
        if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) name.erase(0, 2);
        std::size_t lead = 0;
        while (lead < name.size() && IsSeparator(name[lead])) ++lead;
        name.erase(0, lead);
        if (name.size() >= 3 && name[0] == '.' && name[1] == '.' && IsSeparator(name[2])) name.erase(0, 3);
        std::size_t last = std::string::npos;
        for (const char* step : {"/../", "/..\\", "\\../", "\\..\\"}) {
            const std::size_t at = name.rfind(step);
            if (at != std::string::npos && (last == std::string::npos || at > last)) last = at;
        }
        if (last != std::string::npos) name.erase(0, last + 4);
        if (name.size() == before) return name;
    }
}

// Splits an entry name into its steps; false for names that would leave the root.
bool SafeSteps(const std::string& name, std::vector<std::string>& steps) {
    steps.clear();
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;  // drive prefix
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        std::string step = name.substr(start, end - start);
        if (step == "..") return false;
        if (!step.empty() && step != ".") steps.push_back(step);
        start = end + 1;
    }
    return true;
}

}  // namespace

class ZipReader {
public:
    unzFile archive = nullptr;
    std::uint64_t count = 0;
    int cursor = -1;       // entry the archive is positioned at
    int current = -1;      // entry open for reading
    int cachedIndex = -1;
    Entry cached;
    bool hasPassword = false;
    std::string password;
    std::vector<char> buffer;
    std::string root;      // ANSI, with a trailing slash
    std::uint64_t limit = kDefaultZipOutputLimit;
    std::uint64_t written = 0;

    ~ZipReader() {
        CloseItem();
        if (archive) unzClose(archive);
    }

    void CloseItem() {
        if (current >= 0) unzCloseCurrentFile(archive);
        current = -1;
    }

    unsigned GoTo(int index) {
        if (cursor < 0 || index < cursor) {
            if (unzGoToFirstFile(archive) != UNZ_OK) return ZR_CORRUPT;
            cursor = 0;
        }
        while (cursor < index) {
            if (unzGoToNextFile(archive) != UNZ_OK) return ZR_CORRUPT;
            ++cursor;
        }
        return ZR_OK;
    }

    unsigned Read(int index, Entry& out) {
        if (index == cachedIndex) {
            out = cached;
            return ZR_OK;
        }
        Entry e;
        if (unsigned r = ReadHeader(index, e)) return r;
        std::tm tm = DosToTm(static_cast<WORD>(e.raw.dosDate >> 16), static_cast<WORD>(e.raw.dosDate & 0xffff));
        std::time_t utc = std::mktime(&tm);
        e.info.modifyTime = e.info.accessTime = e.info.creationTime = FromUnix(utc == -1 ? 0 : utc);
        ApplyExtendedTimestamp(e.extra.data(), e.extra.size(), e.info);

        cached = e;
        cachedIndex = index;
        out = std::move(e);
        return ZR_OK;
    }

    // Name, size and kind of every entry, without the times.
    unsigned ReadAllHeaders(std::vector<Entry>& out) {
        out.clear();
        // The count is the archive's own claim: it sizes no more than a plain archive can hold.
        out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, 0xFFFF)));
        for (std::uint64_t i = 0; i < count; ++i) {
            out.emplace_back();
            if (unsigned r = ReadHeader(static_cast<int>(i), out.back())) return r;
        }
        return ZR_OK;
    }

    unsigned Extract(int index, const std::string& outputName);

private:
    unsigned ReadHeader(int index, Entry& e) {
        if (unsigned r = GoTo(index)) return r;
        if (unzGetCurrentFileInfo64(archive, &e.raw, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return ZR_CORRUPT;
        std::string name(e.raw.size_filename, '\0');
        e.extra.resize(e.raw.size_file_extra);
        if (unzGetCurrentFileInfo64(archive, &e.raw, name.data(), name.size(), e.extra.data(), e.extra.size(), nullptr,
                                    0) != UNZ_OK)
            return ZR_READ;
        name = UpToNul(name);
        if (e.raw.flag & 0x800) name = Utf8ToAnsi(name);  // the name is flagged as UTF-8
        e.info.index = index;
        e.info.name = CleanEntryName(name);
        e.info.compressedSize = e.raw.compressed_size;
        e.info.uncompressedSize = e.raw.uncompressed_size;

        const unsigned host = (e.raw.version >> 8) & 0xff;
        const std::uint32_t ext = static_cast<std::uint32_t>(e.raw.external_fa);
        if (host == 0 || host == 7 || host == 11 || host == 14) {
            e.info.attributes = ext & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE);
        } else {
            e.info.attributes = FILE_ATTRIBUTE_ARCHIVE;
            if (ext & 0x40000000u) e.info.attributes |= FILE_ATTRIBUTE_DIRECTORY;
            if (!(ext & 0x00800000u)) e.info.attributes |= FILE_ATTRIBUTE_READONLY;
        }
        if (!name.empty() && (name.back() == '/' || name.back() == '\\')) e.info.attributes |= FILE_ATTRIBUTE_DIRECTORY;
        e.directory = (e.info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        e.symlink = host == 3 && ((ext >> 16) & S_IFMT) == S_IFLNK;
        return ZR_OK;
    }

    unsigned WriteEntry(const Entry& entry, int dirFd, const std::string& leaf);
};

struct ZipHandle {
    int kind = kExtractionKind;
    ZipReader* reader = nullptr;
};

namespace {

// Opens (creating where missing) each folder step below the root without following links.
Fd OpenFolderChain(const std::string& rootAnsi, const std::vector<std::string>& steps, std::size_t count) {
    if (!MakeDirectories(rootAnsi)) return Fd();
    Fd dir(::open(detail::FsPath(rootAnsi).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; i < count && dir.get() >= 0; ++i) {
        std::string step = detail::FsPath(steps[i]);
        if (::mkdirat(dir.get(), step.c_str(), 0777) != 0 && errno != EEXIST) return Fd();
        dir = Fd(::openat(dir.get(), step.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return dir;
}

bool WriteAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace

unsigned ZipReader::Extract(int index, const std::string& outputName) {
    CloseItem();
    if (index < 0 || static_cast<std::uint64_t>(index) >= count) return ZR_ARGS;
    Entry entry;
    if (unsigned r = Read(index, entry)) return r;
    // A link would make later entries, or the program reading this one, follow it out of the root.
    if (entry.symlink) return ZR_ARGS;
    std::vector<std::string> steps;
    if (!SafeSteps(UpToNul(outputName), steps)) return ZR_ARGS;
    if (entry.directory) {
        return OpenFolderChain(root, steps, steps.size()).get() >= 0 ? ZR_OK : ZR_NOFILE;
    }
    if (steps.empty()) return ZR_ARGS;
    Fd dir = OpenFolderChain(root, steps, steps.size() - 1);
    if (dir.get() < 0) return ZR_NOFILE;
    return WriteEntry(entry, dir.get(), detail::FsPath(steps.back()));
}

unsigned ZipReader::WriteEntry(const Entry& entry, int dirFd, const std::string& leaf) {
    const std::uint64_t declared = entry.info.uncompressedSize;
    if (declared > limit || written > limit - declared) return ZR_FLATE;
    // A read-only file is not replaced; a writable one is.
    struct stat old{};
    if (::fstatat(dirFd, leaf.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode) && !(old.st_mode & S_IWUSR))
        return ZR_NOFILE;
    const bool encrypted = (entry.raw.flag & 1) != 0;
    if (encrypted && !hasPassword) return ZR_PASSWORD;
    // The entry's stored bytes are read raw and decrypted and inflated here: the system's
    // minizip is built without decryption.
    int method = 0, level = 0;
    int rc = unzOpenCurrentFile2(archive, &method, &level, 1);
    if (rc != UNZ_OK) return rc == UNZ_BADZIPFILE ? ZR_CORRUPT : ZR_READ;
    current = cursor;
    if (method != 0 && method != Z_DEFLATED) {
        CloseItem();
        return ZR_FLATE;
    }

    ZipCrypto crypto(encrypted ? password.c_str() : "");
    if (encrypted) {
        unsigned char header[12];
        if (unzReadCurrentFile(archive, header, sizeof header) != static_cast<int>(sizeof header)) {
            CloseItem();
            return ZR_READ;
        }
        unsigned char last = 0;
        for (unsigned char b : header) last = crypto.Decrypt(b);
        unsigned char expect = (entry.raw.flag & 0x8) ? static_cast<unsigned char>((entry.raw.dosDate >> 8) & 0xff)
                                                      : static_cast<unsigned char>(entry.raw.crc >> 24);
        if (last != expect) {
            CloseItem();
            return ZR_PASSWORD;
        }
    }

    // The local header may carry all three extended times.
    Entry local = entry;
    int extraSize = unzGetLocalExtrafield(archive, nullptr, 0);
    if (extraSize > 0) {
        std::vector<unsigned char> extra(static_cast<std::size_t>(extraSize));
        if (unzGetLocalExtrafield(archive, extra.data(), static_cast<unsigned>(extra.size())) == extraSize)
            ApplyExtendedTimestamp(extra.data(), extra.size(), local.info);
    }

    std::string tmp;
    Fd out;
    for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
        tmp = "." + leaf.substr(0, 200) + ".part" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        out = Fd(::openat(dirFd, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (out.get() < 0 && errno != EEXIST) break;
    }
    z_stream zs{};
    const bool deflated = method == Z_DEFLATED;
    if (out.get() < 0 || (deflated && inflateInit2(&zs, -MAX_WBITS) != Z_OK)) {
        if (out.get() >= 0) {
            out.reset();
            ::unlinkat(dirFd, tmp.c_str(), 0);
        }
        CloseItem();
        return ZR_NOFILE;
    }
    auto fail = [&](unsigned code) {
        if (deflated) inflateEnd(&zs);
        out.reset();
        ::unlinkat(dirFd, tmp.c_str(), 0);
        CloseItem();
        return code;
    };
    // A damaged stream under a right check byte means a wrong password as often as not.
    const unsigned badData = encrypted ? ZR_PASSWORD : ZR_FLATE;

    if (buffer.empty()) buffer.resize(2 * kReadBuffer);
    char* in = buffer.data();
    char* inflated = buffer.data() + kReadBuffer;
    std::uint64_t got = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool ended = !deflated;
    auto emit = [&](const char* data, std::size_t n) -> unsigned {
        got += n;
        if (got > declared) return ZR_FLATE;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
        return WriteAll(out.get(), data, n) ? ZR_OK : ZR_WRITE;
    };
    for (;;) {
        int n = unzReadCurrentFile(archive, in, static_cast<unsigned>(kReadBuffer));
        if (n < 0) return fail(ZR_READ);
        if (n == 0) break;
        if (encrypted)
            for (int i = 0; i < n; ++i) in[i] = static_cast<char>(crypto.Decrypt(static_cast<unsigned char>(in[i])));
        if (!deflated) {
            if (unsigned r = emit(in, static_cast<std::size_t>(n))) return fail(r);
            continue;
        }
        if (ended) continue;  // bytes behind the end of the stream are not data
        zs.next_in = reinterpret_cast<Bytef*>(in);
        zs.avail_in = static_cast<uInt>(n);
        do {
            zs.next_out = reinterpret_cast<Bytef*>(inflated);
            zs.avail_out = static_cast<uInt>(kReadBuffer);
            int z = inflate(&zs, Z_NO_FLUSH);
            if (z != Z_OK && z != Z_STREAM_END && z != Z_BUF_ERROR) return fail(badData);
            if (unsigned r = emit(inflated, kReadBuffer - zs.avail_out)) return fail(r);
            if (z == Z_STREAM_END) {
                ended = true;
                break;
            }
        } while (zs.avail_out == 0);
    }
    if (!ended || got != declared) return fail(badData);
    if (crc != entry.raw.crc) return fail(badData);
    if (deflated) inflateEnd(&zs);
    current = -1;
    if (unzCloseCurrentFile(archive) != UNZ_OK) {
        out.reset();
        ::unlinkat(dirFd, tmp.c_str(), 0);
        return ZR_READ;
    }

    const unsigned host = (entry.raw.version >> 8) & 0xff;
    const unsigned unixMode = static_cast<unsigned>(entry.raw.external_fa >> 16) & 0777;
    if (host == 3 && unixMode != 0) {
        // The entry's bits as far as the user lets new files have them.
        ::fchmod(out.get(), unixMode & ~platform::FileCreationMask());
    } else if (local.info.attributes & FILE_ATTRIBUTE_READONLY) {
        struct stat st{};
        if (::fstat(out.get(), &st) == 0) ::fchmod(out.get(), st.st_mode & 0555);
    }
    struct timespec times[2] = {ToTimespec(local.info.accessTime), ToTimespec(local.info.modifyTime)};
    ::futimens(out.get(), times);
    if (::close(out.release()) != 0) return fail(ZR_WRITE);
    if (::renameat(dirFd, tmp.c_str(), dirFd, leaf.c_str()) != 0) return fail(ZR_NOFILE);
    written += declared;
    return ZR_OK;
}

HZIP OpenZipFile(const std::string& zipName, const char* password, const std::string& root) {
    auto* reader = new ZipReader;
    if (password) {
        reader->hasPassword = true;
        reader->password = password;
    }
    reader->root = root.empty() ? std::string(".") : root;
    if (reader->root.back() != '/') reader->root += '/';
    reader->archive = unzOpen64(detail::FsPath(zipName).c_str());
    unz_global_info64 gi{};
    if (!reader->archive || unzGetGlobalInfo64(reader->archive, &gi) != UNZ_OK) {
        delete reader;
        Keep(ZR_NOFILE);
        return nullptr;
    }
    reader->count = gi.number_entry;
    Keep(ZR_OK);
    return new ZipHandle{kExtractionKind, reader};
}

namespace {

unsigned CheckHandle(HZIP zip) {
    if (!zip) return ZR_ARGS;
    if (zip->kind != kExtractionKind || !zip->reader) return ZR_NOTUNZIP;
    return ZR_OK;
}

}  // namespace

unsigned GetZipItem(HZIP zip, int index, ZipEntryInfo* info) {
    if (unsigned r = CheckHandle(zip)) return Keep(r);
    ZipReader& z = *zip->reader;
    if (!info || index < -1 || (index >= 0 && static_cast<std::uint64_t>(index) >= z.count)) return Keep(ZR_ARGS);
    z.CloseItem();
    if (index == -1) {
        *info = ZipEntryInfo{};
        info->index = static_cast<int>(z.count);
        return Keep(ZR_OK);
    }
    Entry e;
    unsigned r = z.Read(index, e);
    if (r == ZR_OK) *info = e.info;
    return Keep(r);
}

unsigned UnzipItemToFile(HZIP zip, int index, const std::string& outputName) {
    if (unsigned r = CheckHandle(zip)) return Keep(r);
    return Keep(zip->reader->Extract(index, outputName));
}

unsigned CloseZipFile(HZIP zip) {
    if (unsigned r = CheckHandle(zip)) return Keep(r);
    delete zip->reader;
    delete zip;
    return Keep(ZR_OK);
}

void SetZipOutputLimit(HZIP zip, std::uint64_t bytes) {
    if (CheckHandle(zip) == ZR_OK) zip->reader->limit = bytes;
}

unsigned GetLastZipResult() { return g_lastResult; }

namespace {

// A file that begins like a zip archive but cannot be opened is a damaged archive, not some
// other kind of file.
bool StartsLikeAnArchive(const std::string& zipName) {
    Fd fd(::open(detail::FsPath(zipName).c_str(), O_RDONLY | O_CLOEXEC));
    char head[4];
    if (fd.get() < 0 || ::read(fd.get(), head, sizeof head) != static_cast<ssize_t>(sizeof head)) return false;
    return head[0] == 'P' && head[1] == 'K' &&
           ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6) || (head[2] == 7 && head[3] == 8));
}

// Whether the folder's file system has room for the entries as they declare themselves, in
// whole blocks. Each entry is written beside the file it replaces, so the old file's space comes
// free only after the new one is complete.
bool FitsOnDisk(const std::string& folder, const std::vector<Entry>& entries) {
    const std::string root = detail::FsPath(folder);
    struct statvfs fs{};
    if (::statvfs(root.c_str(), &fs) != 0) return true;  // nothing to judge by
    const std::uint64_t block = fs.f_frsize ? fs.f_frsize : 4096;
    const std::uint64_t freeBlocks = static_cast<std::uint64_t>(fs.f_bavail);
    auto blocks = [&](std::uint64_t bytes) { return bytes / block + (bytes % block ? 1 : 0); };
    // Blocks the entries before took, and those of the files they replaced.
    std::uint64_t used = 0, freed = 0;
    std::vector<std::string> steps;
    for (const auto& e : entries) {
        if (e.directory || !SafeSteps(e.info.name, steps) || steps.empty()) continue;
        const std::uint64_t size = blocks(e.info.uncompressedSize);
        if (used + size > freeBlocks + freed) return false;
        std::string path = root;
        for (const auto& step : steps) path += "/" + detail::FsPath(step);
        struct stat old{};
        if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) freed += blocks(static_cast<std::uint64_t>(old.st_size));
        used += size;
    }
    return true;
}

}  // namespace

ZipOutcome ExtractZipArchive(const std::string& zipName, const char* password, const std::string& folder,
                             bool deleteZip, std::uint64_t outputLimit) {
    HZIP zip = OpenZipFile(zipName, password, folder);
    if (!zip) return StartsLikeAnArchive(zipName) ? ZipOutcome::Failed : ZipOutcome::NotAnArchive;
    ZipEntryInfo info;
    std::vector<Entry> entries;
    // Refused before anything is written rather than failing part-way with a full disk.
    bool ok = MakeDirectories(folder) && GetZipItem(zip, -1, &info) == ZR_OK &&
              zip->reader->ReadAllHeaders(entries) == ZR_OK && FitsOnDisk(folder, entries);
    const int count = static_cast<int>(entries.size());
    if (ok) {
        SetZipOutputLimit(zip, outputLimit);
        for (int i = 0; i < count; ++i) {
            if (GetZipItem(zip, i, &info) != ZR_OK) {
                ok = false;
                break;
            }
            // A failed entry fails the whole; the others are still extracted.
            if (UnzipItemToFile(zip, i, info.name) != ZR_OK) ok = false;
        }
    }
    CloseZipFile(zip);
    if (!ok) return ZipOutcome::Failed;
    if (deleteZip) ::unlink(detail::FsPath(zipName).c_str());
    return ZipOutcome::Extracted;
}

int ExtractZipToFolder(const std::string& zipName, const char* password, const std::string& folder, bool deleteZip,
                       std::uint64_t outputLimit) {
    return ExtractZipArchive(zipName, password, folder, deleteZip, outputLimit) == ZipOutcome::Extracted ? 1 : 0;
}

FILETIME DosDateTimeToFileTime(WORD dosDate, WORD dosTime) {
    std::tm tm = DosToTm(dosDate, dosTime);
    return FromUnix(static_cast<std::int64_t>(timegm(&tm)));
}

}  // namespace download
