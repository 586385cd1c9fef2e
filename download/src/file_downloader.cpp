#include "download/file_downloader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "acp_convert.h"
#include "download/file_utils.h"
#include "platform/kernel/files.h"
#include "site_rules.h"

namespace download {

namespace {

constexpr std::size_t kReadSize = 16 * 1024;

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
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

// "bytes S-E/T": the start S, or -1 when the value has another form.
std::int64_t RangeStart(const std::string& contentRange) {
    auto sp = contentRange.find_first_of("0123456789");
    if (sp == std::string::npos || contentRange.compare(0, 5, "bytes") != 0) return -1;
    auto dash = contentRange.find('-', sp);
    if (dash == std::string::npos) return -1;
    return std::strtoll(contentRange.c_str() + sp, nullptr, 10);
}

bool ParseLength(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

// "bytes S-E/T": the size T of the whole file, false when it is "*" or missing.
bool RangeTotal(const std::string& contentRange, std::int64_t& total) {
    auto slash = contentRange.find('/');
    return slash != std::string::npos && ParseLength(contentRange.substr(slash + 1), total);
}

}  // namespace

CFileDownloader::CFileDownloader(Flavor flavor)
    : CInetTransfer(flavor == Flavor::RequestLib ? GenericHTTPClient::kUserAgent : kInstallerUserAgent, flavor) {}

CFileDownloader::~CFileDownloader() = default;

void CFileDownloader::LoadProxyConfig() { LoadProxySettings(sites::AnyIn(referer_, sites::kDownloaderProxySites, 1)); }

int CFileDownloader::Connect(const std::string& host, int port) {
    return OpenConnection(host, port, "http", GetHttpTimings().downloadReceiveTimeoutMs, 0);
}

void CFileDownloader::ReleaseBuffers() {
    readBuffer_.clear();
    readBuffer_.shrink_to_fit();
    gathered_.clear();
    gathered_.shrink_to_fit();
}

void CFileDownloader::ResetState() {
    CloseHandles();
    ReleaseBuffers();
    total_ = done_ = 0;
    remaining_ = 0;
    status_ = 0;
    contentType_.clear();
    contentLength_ = 0;
    address_.clear();
}

int CFileDownloader::SendGetRequest(const std::string& path, int& status, std::int64_t offset, std::string& contentType) {
    LPCSTR accept[] = {"*/*", nullptr};
    request_ = HttpOpenRequestA(connection_, "GET", path.c_str(), "HTTP/1.0", referer_.empty() ? nullptr : referer_.c_str(),
                                accept, RequestFlags(true), 0);
    if (!request_) return 0;
    if (!HttpAddRequestHeadersA(request_, "Accept: */*\r\n", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_REPLACE)) return 0;
    if (offset != 0) {
        std::string range = "Range:bytes=" + std::to_string(offset) + "-";
        if (!HttpAddRequestHeadersA(request_, range.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW)) return 0;
    }
    while (!HttpSendRequestA(request_, nullptr, 0, nullptr, 0))
        if (GetLastError() != ERROR_INTERNET_FORCE_RETRY) return 0;
    char type[64];
    DWORD len = sizeof type;
    contentType = HttpQueryInfoA(request_, HTTP_QUERY_CONTENT_TYPE, type, &len, nullptr) ? std::string(type, len) : "";
    status = QueryStatus();
    return status != 0 ? 1 : 0;
}

int CFileDownloader::ReadChunk(char* buffer, std::size_t size, std::int64_t& bytesRead) {
    DWORD got = 0;
    bytesRead = 0;
    if (!InternetReadFile(request_, buffer, static_cast<DWORD>(size), &got)) return 0;
    bytesRead = got;
    return 1;
}

int CFileDownloader::Fail(int fd, CDownloadObserver* observer, int code, int result) {
    if (fd >= 0) ::close(fd);
    CloseHandles();
    ReleaseBuffers();
    if (observer) observer->OnError(address_.c_str(), code);
    return result;
}

int CFileDownloader::Complete(int fd, CDownloadObserver* observer) {
    if (fd >= 0) ::close(fd);
    CloseHandles();
    ReleaseBuffers();
    if (observer) observer->OnComplete(address_.c_str());
    return kDownloadComplete;
}

int CFileDownloader::DownloadToFile(const char* address, const char* fileName, CDownloadObserver* observer) {
    if (!address || !fileName) return kDownloadFailed;
    ResetState();
    address_ = address;

    // A folder cannot be opened for writing, so a target that is one is refused here.
    int fd = ::open(detail::FsPath(fileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return Fail(-1, observer, kErrFileOpen);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(fd, observer, kErrFileOpen);
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Fail(fd, observer, kErrFileAttributes);
    std::int64_t offset = st.st_size;

    std::string scheme, host, path;
    int port = 0;
    ParseUrl(scheme, host, port, path);
    if (!Connect(host, port)) return Fail(fd, observer, kErrConnect);
    int status = 0;
    std::string contentType;
    if (!SendGetRequest(path, status, offset, contentType)) return Fail(fd, observer, kErrRequest);
    status_ = status;
    contentType_ = contentType;

    if (status == 416) {
        std::int64_t total = -1;
        if (RangeTotal(QueryText(HTTP_QUERY_CONTENT_RANGE), total) && total == offset) return Complete(fd, observer);
        return Fail(fd, observer, kErrStatus);
    }
    if (status != 200 && status != 206) return Fail(fd, observer, kErrStatus);
    if (EqualsNoCase(contentType, "text/html")) return Fail(fd, observer, kErrWebPage, kDownloadWebPage);

    std::int64_t contentLength = 0;
    const bool hasLength = ParseLength(QueryText(HTTP_QUERY_CONTENT_LENGTH), contentLength);
    contentLength_ = hasLength ? contentLength : 0;
    total_ = contentLength_;
    // Whether the whole file's size is known, so that a transfer short of it is no file.
    bool totalKnown = hasLength;
    if (status == 206) {
        const std::string range = QueryText(HTTP_QUERY_CONTENT_RANGE);
        // Bytes from anywhere but the end of what we have would corrupt the file.
        if (RangeStart(range) != offset) return Fail(fd, observer, kErrStatus);
        total_ += offset;
        // A partial reply may bring only a part of what is missing: the file is complete at the
        // size its Content-Range announces.
        std::int64_t whole = 0;
        if (RangeTotal(range, whole)) {
            if (whole < total_) return Fail(fd, observer, kErrStatus);
            total_ = whole;
            totalKnown = true;
        }
    } else if (offset > 0) {
        if (hasLength && total_ == offset) return Complete(fd, observer);
        // The server sends the whole file again: start over from an empty file.
        offset = 0;
        if (::ftruncate(fd, 0) != 0) return Fail(fd, observer, kErrSeek);
    }
    if (::lseek(fd, offset, SEEK_SET) < 0) return Fail(fd, observer, kErrSeek);

    done_ = offset;
    if (observer) observer->OnStart(address_.c_str(), total_);

    readBuffer_.resize(kReadSize);
    if (writeBehindSize_) gathered_.reserve(writeBehindSize_);
    double previousSpeed = speed_;
    speed_ = 0;
    remaining_ = 0;
    auto windowStart = Clock::now();
    std::int64_t windowBytes = 0;
    std::size_t readSize = kReadSize;
    const std::int64_t budget = static_cast<std::int64_t>(speedLimit_) * 1024;

    std::int64_t got = 0;
    bool readOk = ReadChunk(readBuffer_.data(), readSize, got) != 0;
    while (readOk && got > 0) {
        windowBytes += got;
        done_ += got;
        long long elapsed = MsSince(windowStart);
        if (elapsed >= 1000) {
            speed_ = static_cast<double>((windowBytes * 1000 / elapsed) / 1024);
            if (speedLimit_ && speedLimit_ < speed_) speed_ = speedLimit_;
            windowStart = Clock::now();
            windowBytes = 0;
        } else if (speedLimit_) {
            if (windowBytes > budget) {
                speed_ = speedLimit_;
                std::this_thread::sleep_for(std::chrono::milliseconds(1000 - elapsed));
                windowStart = Clock::now();
                windowBytes = 0;
            } else {
                readSize = static_cast<std::size_t>(std::clamp<std::int64_t>(budget - windowBytes, 1024, 16384));
            }
        }
        speed_ = (speed_ + previousSpeed) / 2;
        previousSpeed = speed_;
        remaining_ = speed_ == 0 ? 0 : static_cast<double>(total_ - done_) / (speed_ * 1024);

        bool written;
        if (writeBehindSize_) {
            written = true;
            if (gathered_.size() + static_cast<std::size_t>(got) > writeBehindSize_) {
                written = WriteAll(fd, gathered_.data(), gathered_.size()) && ::fdatasync(fd) == 0;
                gathered_.clear();
            }
            gathered_.append(readBuffer_.data(), static_cast<std::size_t>(got));
        } else {
            written = WriteAll(fd, readBuffer_.data(), static_cast<std::size_t>(got));
        }
        if (!written) return Fail(fd, observer, kErrFileOpen);

        if (observer) observer->OnProgress(address_.c_str(), done_, speed_);
        readOk = ReadChunk(readBuffer_.data(), readSize, got) != 0;
    }
    if (!gathered_.empty() && !WriteAll(fd, gathered_.data(), gathered_.size())) return Fail(fd, observer, kErrFileOpen);
    if (::close(fd) != 0) return Fail(-1, observer, kErrFileOpen);
    fd = -1;
    CloseHandles();
    ReleaseBuffers();

    if (!readOk) return Fail(fd, observer, kErrRead);
    if (address_.find(sites::kPartialReplySite) != std::string::npos && status == 206 && hasLength &&
        contentLength == sites::kPartialReplySize)
        return Fail(fd, observer, kErrPartialSite);
    if (totalKnown && done_ < total_) return Fail(fd, observer, kErrShort);
    return Complete(fd, observer);
}

int CFileDownloader::DownloadFile(const char* address, const char* target, const char* referer,
                                  std::int64_t expectedSize, CDownloadObserver* observer) {
    if (!target || !*target) return 0;
    const std::string targetPath(target);
    if (IsDirectory(targetPath)) return 0;
    if (FileExists(targetPath) && expectedSize > 0 &&
        GetFileSize64(targetPath) == static_cast<std::uint64_t>(expectedSize))
        return 1;
    if (!address || std::strlen(address) < 8) return 0;
    if (referer && (!*referer || std::strlen(referer) > 7)) referer_ = referer;
    LoadProxyConfig();

    std::string temp;
    if (!GetTempDownloadPath(temp)) return 0;
    // The old target goes to the recycle bin only once its replacement is complete.
    auto place = [&] {
        // The temporary file was private while it grew; the target is a file like any other.
        ::chmod(detail::FsPath(temp).c_str(), 0666 & ~platform::FileCreationMask());
        // An empty target (a placeholder such as a fresh temporary file) holds nothing to undo.
        if (FileExists(targetPath)) RecycleOrDeleteFile(targetPath, GetFileSize64(targetPath) == 0);
        if (MoveFileReplace(temp, targetPath)) return 1;
        DeleteFileA(temp.c_str());
        return 0;
    };
    auto hasExpectedSize = [&] { return GetFileSize64(temp) == static_cast<std::uint64_t>(expectedSize); };

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (expectedSize > 0 && hasExpectedSize()) return place();
        if (DownloadToFile(address, temp.c_str(), observer) != kDownloadComplete) {
            std::this_thread::sleep_for(std::chrono::milliseconds(GetHttpTimings().downloadRetryPauseMs));
            continue;
        }
        if (expectedSize > 0 && !hasExpectedSize()) break;
        return place();
    }
    DeleteFileA(temp.c_str());
    return 0;
}

}  // namespace download
