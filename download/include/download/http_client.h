// Proxy settings (config.ini [Global Options] beside the running program), the connection set-up
// shared by the page client and the file downloader, and the page client with its two helpers.
#pragma once

#include <cstdint>
#include <string>

#include "download/flavor.h"
#include "platform/inet/inet.h"

namespace download {

// How long requests may take. Every request and download is bounded; tests shorten these.
struct HttpTimings {
    int requestTimeoutMs = 30000;        // one page request or form post, from connect to last byte
    int retryPauseMs = 2000;             // after a failed page request or form post
    int downloadRetryPauseMs = 5000;     // after a failed download attempt
    int connectTimeoutMs = 30000;        // setting up one connection
    int downloadReceiveTimeoutMs = 60000;  // a download that receives nothing for this long fails
};
HttpTimings GetHttpTimings();
void SetHttpTimings(const HttpTimings& timings);

// Where the maker's configuration server is: MORVANE_CONFIG_SERVER (scheme and host, e.g.
// "http://127.0.0.1:8080"), else our default.
std::string ConfigServerAddress();

enum ProxyMode { kProxyDirect = 0, kProxySystem = 1, kProxyNamed = 2 };

// The state and the connection set-up that the page client and the downloader share.
class CInetTransfer {
public:
    virtual ~CInetTransfer();
    CInetTransfer(const CInetTransfer&) = delete;
    CInetTransfer& operator=(const CInetTransfer&) = delete;

    // Texts longer than 255 characters are refused (emptied), which clears the credentials flag.
    void SetProxy(int mode, const char* server, const char* user, const char* password, int port);
    // Scheme, host, port and path of the stored address.
    void ParseUrl(std::string& scheme, std::string& host, int& port, std::string& path) const;

    void SetUserAgent(std::string agent) { userAgent_ = std::move(agent); }
    void SetReferer(std::string referer) { referer_ = std::move(referer); }
    void SetExtraHeader(std::string header) { extraHeader_ = std::move(header); }
    void SetNoCache(int on) { noCache_ = on; }
    void SetNoRedirect(int on) { noRedirect_ = on; }
    const std::string& userAgent() const { return userAgent_; }
    const std::string& referer() const { return referer_; }
    int proxyMode() const { return proxyMode_; }
    const std::string& proxyServer() const { return proxyServer_; }
    const std::string& proxyUser() const { return proxyUser_; }
    const std::string& proxyPassword() const { return proxyPassword_; }
    int proxyPort() const { return proxyPort_; }
    int credentialsFlag() const { return credentials_; }
    int status() const { return status_; }
    const std::string& contentType() const { return contentType_; }
    std::int64_t contentLength() const { return contentLength_; }

protected:
    CInetTransfer(std::string userAgent, Flavor flavor);

    // Reads [Global Options] and calls SetProxy. `listedSite` says whether the transfer is for
    // one of the sites that go through the local proxy (proxy type 3).
    void LoadProxySettings(bool listedSite);
    // Opens the session and the connection. `proxyScheme` is the scheme key of the proxy string.
    int OpenConnection(const std::string& host, int port, const std::string& proxyScheme, int receiveTimeoutMs,
                       int deadlineMs);
    // The request flags for the stored address: keep-connection, plus the no-cache, no-redirect
    // and secure additions that apply.
    DWORD RequestFlags(bool cacheAndRedirectFlags) const;
    void CloseHandles();
    // The status code of the request; 0 when none came back.
    int QueryStatus() const;
    std::string QueryText(DWORD level) const;

    Flavor flavor_;
    std::string userAgent_;
    std::string referer_;
    std::string extraHeader_;
    int noCache_ = 0;
    int noRedirect_ = 0;
    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    int proxyMode_ = kProxyDirect;
    std::string proxyServer_, proxyUser_, proxyPassword_;
    int proxyPort_ = 0;
    int credentials_ = 1;
    std::string address_;
    int status_ = 0;
    std::string contentType_;
    std::int64_t contentLength_ = 0;
};

// Fetches one page or posts one form into memory, bounded by a time-out.
class GenericHTTPClient : public CInetTransfer {
public:
    static constexpr const char* kUserAgent = "Mozilla/5.0 (Windows; U; Windows NT 6.1; en-US)";
    enum Method { kGet = 0, kPost = 1 };

    explicit GenericHTTPClient(Flavor flavor = Flavor::Installer);
    ~GenericHTTPClient() override;

    void LoadProxyConfig(const std::string& address);
    int Connect(const std::string& host, int port);

    // timeoutMs -1: no bound beyond the layer's own. On success headers and body hold the
    // reply; status always receives the last status code.
    bool Request(const char* address, int method, int timeoutMs, const char* data, std::size_t dataLength,
                 std::string& headers, int& status, std::string& body);

private:
    int RequestThreadProc();
    bool SendGetRequest(const std::string& path);
    bool SendPostRequest(const std::string& path);
    bool ReadResponseBody();
    bool QueryRawHeaders();
    void ResetState();

    std::string scheme_;
    int method_ = kGet;
    std::string requestData_;
    int timeoutMs_ = -1;
    std::string rawHeaders_;
    std::string body_;
};

// 0 with the page (NUL bytes turned into spaces), or -1 after two failed attempts. A reply of
// more than 8 MiB, or one the time-out cut off, is a failed attempt.
int HttpGetText(const std::string& address, std::string& page, int noCache, int escape,
                Flavor flavor = Flavor::Installer);
// 0 with the reply (left as it was when the reply is empty), or -1 after two failed attempts,
// with the same bound.
int HttpPostData(const std::string& address, const char* data, std::size_t length, std::string& reply,
                 Flavor flavor = Flavor::Installer);

}  // namespace download
