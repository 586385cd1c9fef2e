#include "download/http_client.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "download/text_utils.h"
#include "local_proxy.h"
#include "platform/kernel/module.h"
#include "platform/profile/profile.h"
#include "site_rules.h"

namespace download {

namespace {

std::mutex g_timingsMutex;
HttpTimings g_timings;

constexpr const char* kSection = "Global Options";
// Far above any page or form reply the stack fetches; a reply past it is refused, not kept.
constexpr std::int64_t kMaxPageBytes = 8 << 20;
constexpr std::size_t kMaxProxyText = 255;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string ReadProfile(const char* key, const std::string& file, std::size_t size = 256) {
    std::string buf(size, '\0');
    DWORD n = GetPrivateProfileStringA(kSection, key, "", buf.data(), static_cast<DWORD>(size), file.c_str());
    buf.resize(n);
    return buf;
}

void PauseMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

HttpTimings GetHttpTimings() {
    std::lock_guard lock(g_timingsMutex);
    return g_timings;
}

void SetHttpTimings(const HttpTimings& timings) {
    std::lock_guard lock(g_timingsMutex);
    g_timings = timings;
}

std::string ConfigServerAddress() {
    const char* env = std::getenv("MORVANE_CONFIG_SERVER");
    std::string server = env && *env ? env : "http://config.morvane.net";
    while (!server.empty() && server.back() == '/') server.pop_back();
    return server;
}

// ---------------------------------------------------------------------------------------------

CInetTransfer::CInetTransfer(std::string userAgent, Flavor flavor) : flavor_(flavor), userAgent_(std::move(userAgent)) {}

CInetTransfer::~CInetTransfer() { CloseHandles(); }

void CInetTransfer::SetProxy(int mode, const char* server, const char* user, const char* password, int port) {
    proxyMode_ = mode;
    proxyPort_ = port;
    auto take = [&](std::string& field, const char* value) {
        if (value && std::strlen(value) <= kMaxProxyText) {
            field = value;
        } else {
            field.clear();
            credentials_ = 0;
        }
    };
    take(proxyServer_, server);
    take(proxyUser_, user);
    take(proxyPassword_, password);
}

void CInetTransfer::ParseUrl(std::string& scheme, std::string& host, int& port, std::string& path) const {
    const std::string& url = address_;
    std::size_t hostStart = 0;
    auto colon = url.find(':');
    if (colon != std::string::npos && colon + 1 < url.size() && url[colon + 1] == '/') {
        scheme = url.substr(0, colon);
        hostStart = std::min(colon + 3, url.size());
    } else {
        scheme = "http";
    }
    auto slash = url.find('/', hostStart);
    std::string hostPart = url.substr(hostStart, slash == std::string::npos ? std::string::npos : slash - hostStart);
    path = slash == std::string::npos ? std::string() : url.substr(slash);
    auto portColon = hostPart.find(':');
    if (portColon != std::string::npos) {
        host = hostPart.substr(0, portColon);
        port = std::atoi(hostPart.c_str() + portColon + 1);
    } else {
        host = hostPart;
        port = scheme == "https" ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    }
}

void CInetTransfer::LoadProxySettings(bool listedSite) {
    char program[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string path(program);
    auto sep = path.find_last_of('/');
    if (sep == std::string::npos) return;
    const std::string file = path.substr(0, sep + 1) + "config.ini";

    int type = static_cast<int>(GetPrivateProfileIntA(kSection, "ProxyType", 1, file.c_str()));
    std::string server = ReadProfile("ProxyServer", file);
    std::string user = ReadProfile("ProxyUser", file);
    std::string password = ReadProfile("ProxyPasswd", file);
    int port = 0;
    if (type == 2) port = static_cast<int>(GetPrivateProfileIntA(kSection, "ProxyPort", 0, file.c_str()));
    if (type == 3) {
        if (listedSite) {
            type = 2;
            server = "127.0.0.1";
            user.clear();
            password.clear();
            port = static_cast<int>(GetPrivateProfileIntA(kSection, "LocalProxyPort", 0, file.c_str()));
            // Only the request library starts a local proxy, and only from the player's own folder.
            if (flavor_ == Flavor::RequestLib &&
                GetPrivateProfileIntA(kSection, "AutoStartProxy", 0, file.c_str()) != 0)
                StartLocalProxyIfIdle(ReadProfile("ProxySoftPath", file, MAX_PATH));
        } else {
            type = 0;
        }
    }
    if (type == 2 && (port == 0 || server.empty())) type = 1;
    int mode = type == 0 ? kProxyDirect : type == 2 ? kProxyNamed : kProxySystem;
    SetProxy(mode, server.c_str(), user.c_str(), password.c_str(), port);
}

int CInetTransfer::OpenConnection(const std::string& host, int port, const std::string& proxyScheme,
                                  int receiveTimeoutMs, int deadlineMs) {
    CloseHandles();
    if (proxyMode_ == kProxyNamed) {
        std::string proxy = proxyScheme + "=http://" + proxyServer_ + ":" + std::to_string(proxyPort_);
        session_ = InternetOpenA(userAgent_.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0);
        if (!session_) {
            std::string socks = "socks=" + proxyServer_ + ":" + std::to_string(proxyPort_);
            session_ = InternetOpenA(userAgent_.c_str(), INTERNET_OPEN_TYPE_PROXY, socks.c_str(), nullptr, 0);
        }
    } else {
        DWORD access = proxyMode_ == kProxyDirect ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
        session_ = InternetOpenA(userAgent_.c_str(), access, nullptr, nullptr, 0);
    }
    if (!session_) return 0;

    const HttpTimings t = GetHttpTimings();
    DWORD connectMs = static_cast<DWORD>(t.connectTimeoutMs);
    if (deadlineMs > 0) connectMs = std::min<DWORD>(connectMs, static_cast<DWORD>(deadlineMs));
    DWORD receiveMs = static_cast<DWORD>(receiveTimeoutMs);
    DWORD deadline = deadlineMs > 0 ? static_cast<DWORD>(deadlineMs) : 0;
    InternetSetOptionA(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    InternetSetOptionA(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
    InternetSetOptionA(session_, INTERNET_OPTION_REQUEST_DEADLINE, &deadline, sizeof deadline);

    connection_ = InternetConnectA(session_, host.c_str(), static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, INTERNET_FLAG_KEEP_CONNECTION, 0);
    if (!connection_) {
        CloseHandles();
        return 0;
    }
    if (credentials_) {
        if (!proxyUser_.empty())
            InternetSetOptionA(connection_, INTERNET_OPTION_PROXY_USERNAME, proxyUser_.data(),
                               static_cast<DWORD>(proxyUser_.size() + 1));
        if (!proxyPassword_.empty())
            InternetSetOptionA(connection_, INTERNET_OPTION_PROXY_PASSWORD, proxyPassword_.data(),
                               static_cast<DWORD>(proxyPassword_.size() + 1));
    }
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) {
        CloseHandles();
        return 0;
    }
    return 1;
}

DWORD CInetTransfer::RequestFlags(bool cacheAndRedirectFlags) const {
    DWORD flags = INTERNET_FLAG_KEEP_CONNECTION;
    if (cacheAndRedirectFlags && noCache_) flags |= INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    if (cacheAndRedirectFlags && noRedirect_) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    // An https address always goes out over TLS: without it the request would be plain text to port 443.
    if (StartsWithNoCase(address_, "https://")) flags |= INTERNET_FLAG_SECURE;
    return flags;
}

void CInetTransfer::CloseHandles() {
    for (HINTERNET* h : {&request_, &connection_, &session_}) {
        if (*h) InternetCloseHandle(*h);
        *h = nullptr;
    }
}

int CInetTransfer::QueryStatus() const {
    DWORD status = 0, len = sizeof status;
    if (!HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr)) return 0;
    return static_cast<int>(status);
}

std::string CInetTransfer::QueryText(DWORD level) const {
    char buf[1024];
    DWORD len = sizeof buf;
    if (HttpQueryInfoA(request_, level, buf, &len, nullptr)) return std::string(buf, len);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    std::string big(len, '\0');
    if (!HttpQueryInfoA(request_, level, big.data(), &len, nullptr)) return {};
    big.resize(len);
    return big;
}

// ---------------------------------------------------------------------------------------------

GenericHTTPClient::GenericHTTPClient(Flavor flavor) : CInetTransfer(kUserAgent, flavor) {}

GenericHTTPClient::~GenericHTTPClient() = default;

void GenericHTTPClient::LoadProxyConfig(const std::string& address) {
    LoadProxySettings(sites::AnyIn(address, sites::kClientProxySites));
}

int GenericHTTPClient::Connect(const std::string& host, int port) {
    return OpenConnection(host, port, scheme_, timeoutMs_ > 0 ? timeoutMs_ : GetHttpTimings().requestTimeoutMs,
                          timeoutMs_ > 0 ? timeoutMs_ : 0);
}

void GenericHTTPClient::ResetState() {
    CloseHandles();
    rawHeaders_.clear();
    body_.clear();
    status_ = 0;
    contentType_.clear();
    contentLength_ = 0;
    address_.clear();
}

bool GenericHTTPClient::Request(const char* address, int method, int timeoutMs, const char* data,
                                std::size_t dataLength, std::string& headers, int& status, std::string& body) {
    ResetState();
    if (!address) return false;
    std::string utf8(address);
    AnsiToUtf8(utf8);
    address_ = PercentEncodeHighBytes(utf8);
    method_ = method;
    requestData_.assign(data ? data : "", data ? dataLength : 0);
    timeoutMs_ = timeoutMs;

    // The request runs on this thread; its time-out is enforced inside the transfer itself.
    const bool ok = RequestThreadProc() == 0;
    if (ok) {
        headers = rawHeaders_;
        body = body_;
    }
    status = status_;
    CloseHandles();
    rawHeaders_.clear();
    body_.clear();
    address_.clear();
    return ok;
}

int GenericHTTPClient::RequestThreadProc() {
    std::string host, path;
    int port = 0;
    ParseUrl(scheme_, host, port, path);
    bool ok = false;
    if (Connect(host, port)) {
        ok = method_ == kPost ? SendPostRequest(path) : SendGetRequest(path);
        if (ok) {
            QueryRawHeaders();
            ok = ReadResponseBody();
        }
    }
    CloseHandles();
    return ok ? 0 : 1;
}

bool GenericHTTPClient::SendGetRequest(const std::string& path) {
    LPCSTR accept[] = {"*/*", nullptr};
    request_ = HttpOpenRequestA(connection_, "GET", path.c_str(), "HTTP/1.0", referer_.empty() ? nullptr : referer_.c_str(),
                                accept, RequestFlags(true), 0);
    if (!request_) return false;
    if (!HttpAddRequestHeadersA(request_, "Accept: */*\r\n", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_REPLACE))
        return false;
    if (!extraHeader_.empty() &&
        !HttpAddRequestHeadersA(request_, extraHeader_.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW))
        return false;
    while (!HttpSendRequestA(request_, nullptr, 0, nullptr, 0))
        if (GetLastError() != ERROR_INTERNET_FORCE_RETRY) return false;
    status_ = QueryStatus();
    const bool redirect = status_ == 301 || status_ == 302 || status_ == 303;
    if (!(status_ == 200 || status_ == 206 || (redirect && noRedirect_))) return false;
    contentType_ = QueryText(HTTP_QUERY_CONTENT_TYPE);
    return true;
}

bool GenericHTTPClient::SendPostRequest(const std::string& path) {
    LPCSTR accept[] = {"*/*", nullptr};
    // The request library's form posts never ask for no-cache or no-redirect.
    DWORD flags = RequestFlags(flavor_ != Flavor::RequestLib) | INTERNET_FLAG_FORMS_SUBMIT;
    request_ = HttpOpenRequestA(connection_, "POST", path.c_str(), "HTTP/1.0", referer_.empty() ? nullptr : referer_.c_str(),
                                accept, flags, 0);
    if (!request_) return false;
    if (!HttpAddRequestHeadersA(request_, "Accept: */*\r\n", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_REPLACE) ||
        !HttpAddRequestHeadersA(request_, "Accept-Language: zh-cn,zh;q=0.5", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD) ||
        !HttpAddRequestHeadersA(request_, "Keep-Alive: 300", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD))
        return false;
    if (!extraHeader_.empty() &&
        !HttpAddRequestHeadersA(request_, extraHeader_.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW))
        return false;
    const char* contentType = "Content-Type: application/x-www-form-urlencoded\r\n";
    BOOL sent = HttpSendRequestA(request_, contentType, static_cast<DWORD>(-1), requestData_.data(),
                                 static_cast<DWORD>(requestData_.size()));
    if (!sent) return false;
    status_ = QueryStatus();
    if (status_ != 200) return false;
    contentType_ = QueryText(HTTP_QUERY_CONTENT_TYPE);
    return true;
}

bool GenericHTTPClient::ReadResponseBody() {
    std::string length = QueryText(HTTP_QUERY_CONTENT_LENGTH);
    const bool known = !length.empty() && length.find_first_not_of("0123456789") == std::string::npos;
    contentLength_ = known ? std::strtoll(length.c_str(), nullptr, 10) : 0;
    if (contentLength_ > kMaxPageBytes) return false;
    // An announced length only sizes the first allocation; the body grows as it arrives.
    body_.reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(contentLength_, 16 * 1024, kMaxPageBytes)));
    char chunk[1024];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request_, chunk, sizeof chunk, &got)) {
            // A reset after a 200 reply of unknown length is how some servers end the body; a
            // body the time-out cut off, or a chunked one cut or malformed, is not all there.
            return status_ == 200 && !known && GetLastError() == ERROR_INTERNET_CONNECTION_RESET;
        }
        if (got == 0) break;
        if (static_cast<std::int64_t>(body_.size() + got) > kMaxPageBytes) return false;
        body_.append(chunk, got);
    }
    // A body shorter than announced is a failed request, not a page.
    return !known || static_cast<std::int64_t>(body_.size()) >= contentLength_;
}

bool GenericHTTPClient::QueryRawHeaders() {
    rawHeaders_ = QueryText(HTTP_QUERY_RAW_HEADERS_CRLF);
    return !rawHeaders_.empty();
}

// ---------------------------------------------------------------------------------------------

int HttpGetText(const std::string& address, std::string& page, int noCache, int escape, Flavor flavor) {
    GenericHTTPClient client(flavor);
    page.clear();
    client.LoadProxyConfig(address);
    client.SetNoCache(noCache);
    client.SetExtraHeader("x-flash-version: 9,0,16,0");

    std::string url;
    if (address.find(sites::kRawEncodingSite) != std::string::npos) url = PercentEncodeHighBytes(address);
    else if (escape) url = UrlEncodeHighBytes(address);
    else url = address;
    for (std::size_t pos = 0; (pos = url.find('#', pos)) != std::string::npos; pos += 3) url.replace(pos, 1, "%23");

    if (sites::AnyIn(url, sites::kRefererSiteHosts)) client.SetReferer(std::string(sites::kRefererSiteHome));
    if (url.find(sites::kOldAgentGetPath) != std::string::npos) client.SetUserAgent(std::string(sites::kOldAgent));

    const HttpTimings t = GetHttpTimings();
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string headers, body;
        int status = 0;
        if (client.Request(url.c_str(), GenericHTTPClient::kGet, t.requestTimeoutMs, nullptr, 0, headers, status, body)) {
            std::replace(body.begin(), body.end(), '\0', ' ');
            page = std::move(body);
            return 0;
        }
        PauseMs(t.retryPauseMs);
    }
    return -1;
}

int HttpPostData(const std::string& address, const char* data, std::size_t length, std::string& reply, Flavor flavor) {
    GenericHTTPClient client(flavor);
    client.LoadProxyConfig(address);
    if (address.find(sites::kOldAgentPostPath) != std::string::npos) client.SetUserAgent(std::string(sites::kOldAgent));

    const HttpTimings t = GetHttpTimings();
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string headers, body;
        int status = 0;
        if (client.Request(address.c_str(), GenericHTTPClient::kPost, t.requestTimeoutMs, data, length, headers, status,
                           body)) {
            if (!body.empty()) reply = std::move(body);
            return 0;
        }
        PauseMs(t.retryPauseMs);
    }
    return -1;
}

}  // namespace download
