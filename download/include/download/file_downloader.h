// The ranged file downloader: one address into one file, resuming a partial file, measuring and
// optionally limiting the speed, and reporting to an optional observer.
#pragma once

#include <cstdint>
#include <string>

#include "download/http_client.h"

// The caller's progress sink. The library never owns it and skips every call while it is null.
// The slots keep their order: callers in other modules implement them by position.
class CDownloadObserver {
public:
    virtual void OnStart(const char* address, std::int64_t total) = 0;
    virtual void OnReserved() {}  // not called by the library
    virtual void OnProgress(const char* address, std::int64_t done, double speedKBps) = 0;
    virtual void OnComplete(const char* address) = 0;
    virtual void OnError(const char* address, int code) = 0;

protected:
    ~CDownloadObserver() = default;
};

namespace download {

// Error codes given to CDownloadObserver::OnError.
enum DownloadError {
    kErrFileOpen = 3,       // the target cannot be opened, created or written
    kErrFileAttributes = 4,
    kErrConnect = 5,
    kErrRequest = 6,
    kErrStatus = 7,         // neither 200 nor 206, a 416 that does not mean "complete", a 206 from elsewhere
    kErrWebPage = 8,
    kErrSeek = 9,
    kErrShort = 10,         // the body ended before the announced size
    kErrPartialSite = 11,
    kErrRead = 12,
};

// Results of DownloadToFile.
enum { kDownloadComplete = 0, kDownloadFailed = 5, kDownloadWebPage = 10 };

class CFileDownloader : public CInetTransfer {
public:
    static constexpr const char* kInstallerUserAgent =
        "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/47.0.2526.73 Safari/537.36";

    explicit CFileDownloader(Flavor flavor = Flavor::Installer);
    ~CFileDownloader() override;

    void LoadProxyConfig();
    int Connect(const std::string& host, int port);

    // 0 complete, 5 failed, 10 the reply was a web page.
    int DownloadToFile(const char* address, const char* fileName, CDownloadObserver* observer);
    // 1 when the target holds the file afterwards. expectedSize <= 0: unknown.
    int DownloadFile(const char* address, const char* target, const char* referer, std::int64_t expectedSize,
                     CDownloadObserver* observer);

    int SendGetRequest(const std::string& path, int& status, std::int64_t offset, std::string& contentType);
    int ReadChunk(char* buffer, std::size_t size, std::int64_t& bytesRead);
    void ReleaseBuffers();
    void ResetState();

    void SetWriteBehindSize(unsigned bytes) { writeBehindSize_ = bytes; }
    void SetSpeedLimit(unsigned kbPerSecond) { speedLimit_ = kbPerSecond; }
    std::int64_t total() const { return total_; }
    std::int64_t done() const { return done_; }
    double speed() const { return speed_; }
    double remaining() const { return remaining_; }

private:
    int Fail(int fd, CDownloadObserver* observer, int code, int result = kDownloadFailed);
    int Complete(int fd, CDownloadObserver* observer);

    unsigned writeBehindSize_ = 0;
    unsigned speedLimit_ = 0;
    std::int64_t total_ = 0;
    std::int64_t done_ = 0;
    double speed_ = 0;
    double remaining_ = 0;
    std::string readBuffer_;
    std::string gathered_;
};

}  // namespace download
