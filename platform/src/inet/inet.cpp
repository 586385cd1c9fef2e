// The internet layer over libcurl. Each request owns one easy handle in its own multi handle;
// the caller's thread drives it inside HttpSendRequestA (until the final headers are in) and
// InternetReadFile (only when the buffer is empty). So the buffer never holds more than one
// step of the transfer delivers, and a reader that pauses simply lets the socket fill up.
#include "platform/inet/inet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr DWORD kDefaultConnectTimeoutMs = 60000;
constexpr DWORD kDefaultReceiveTimeoutMs = 60000;
constexpr long kLowSpeedFloor = 1024;  // bytes per second

enum class Kind { Session, Connection, Request };

struct ProxyEntry {
    std::string scheme;  // request scheme it serves; empty = every scheme
    std::string url;     // as libcurl takes it, e.g. "http://host:8080" or "socks4://host:1080"
    bool socks = false;
};

// What a child handle inherits from its parent when it is made.
struct Settings {
    std::string agent;
    DWORD access = INTERNET_OPEN_TYPE_PRECONFIG;
    std::vector<ProxyEntry> proxies;
    std::string proxyUser, proxyPassword;
    DWORD connectTimeoutMs = kDefaultConnectTimeoutMs;
    DWORD receiveTimeoutMs = kDefaultReceiveTimeoutMs;
    DWORD deadlineMs = 0;
    std::string host;
    INTERNET_PORT port = 0;
};

struct Handle {
    explicit Handle(Kind k) : kind(k) {}
    virtual ~Handle() = default;
    Kind kind;
    Settings s;
};

struct Header {
    std::string name, value;
};

struct Request : Handle {
    Request() : Handle(Kind::Request) {}
    ~Request() override { Reset(); }

    std::string verb, path;
    bool http10 = false;
    DWORD flags = 0;
    std::vector<Header> headers;

    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* slist = nullptr;
    std::string postData;

    // The reply being received; replaced at each new status line (interim and redirect replies).
    int status = 0;
    std::string statusLine, reason;
    std::vector<Header> reply;
    bool headersDone = false;
    bool transferDone = false;
    // Content-Length headers that disagree: no length can be trusted, so the reply is refused.
    bool conflictingLength = false;
    CURLcode result = CURLE_OK;

    std::vector<char> buffer;
    std::size_t readPos = 0;

    std::size_t Available() const { return buffer.size() - readPos; }

    void Reset() {
        if (multi && easy) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        if (slist) curl_slist_free_all(slist);
        easy = nullptr;
        multi = nullptr;
        slist = nullptr;
        status = 0;
        statusLine.clear();
        reason.clear();
        reply.clear();
        headersDone = transferDone = conflictingLength = false;
        result = CURLE_OK;
        buffer.clear();
        readPos = 0;
    }
};

std::mutex g_handlesMutex;
std::unordered_set<Handle*> g_handles;

Handle* Register(Handle* h) {
    std::lock_guard lock(g_handlesMutex);
    g_handles.insert(h);
    return h;
}

Handle* Lookup(HINTERNET h, Kind kind) {
    std::lock_guard lock(g_handlesMutex);
    auto it = g_handles.find(static_cast<Handle*>(h));
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((*it)->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return *it;
}

void EnsureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool ParseProxyList(const char* text, std::vector<ProxyEntry>& out) {
    if (!text) return false;
    std::string all(text);
    std::size_t i = 0;
    while (i < all.size()) {
        auto j = all.find_first_of(" ;", i);
        if (j == std::string::npos) j = all.size();
        std::string item = all.substr(i, j - i);
        i = j + 1;
        if (item.empty()) continue;
        ProxyEntry e;
        auto eq = item.find('=');
        if (eq != std::string::npos) {
            e.scheme = item.substr(0, eq);
            item = item.substr(eq + 1);
        }
        std::string type = "http";
        auto sep = item.find("://");
        if (sep != std::string::npos) {
            type = item.substr(0, sep);
            item = item.substr(sep + 3);
        }
        for (auto& c : e.scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (auto& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        e.socks = e.scheme == "socks" || type.rfind("socks", 0) == 0;
        if (e.scheme == "socks") e.scheme.clear();
        std::string host = item;
        std::string port = e.socks ? "1080" : "80";
        auto colon = item.rfind(':');
        if (colon != std::string::npos) {
            host = item.substr(0, colon);
            port = item.substr(colon + 1);
        }
        if (host.empty() || port.empty() || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        e.url = (e.socks ? "socks4://" : "http://") + host + ":" + port;
        out.push_back(e);
    }
    return !out.empty();
}

const ProxyEntry* ChooseProxy(const Settings& s, const std::string& scheme) {
    for (auto& e : s.proxies)
        if (!e.socks && e.scheme == scheme) return &e;
    for (auto& e : s.proxies)
        if (!e.socks && e.scheme.empty()) return &e;
    for (auto& e : s.proxies)
        if (e.socks) return &e;
    return nullptr;
}

DWORD MapCurlError(CURLcode code) {
    switch (code) {
    case CURLE_OK: return ERROR_SUCCESS;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_INVALID_URL;
    case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_PROXY: return ERROR_INTERNET_INVALID_PROXY_REQUEST;
    default: return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

// Bytes that cannot stand in a request line are escaped; everything else goes out as given.
std::string EscapePath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7f || c == '#') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.empty() || out[0] != '/') out.insert(out.begin(), '/');
    return out;
}

const Header* FindHeader(const std::vector<Header>& list, const std::string& name, std::size_t nth = 0) {
    for (auto& h : list)
        if (EqualNoCase(h.name, name) && nth-- == 0) return &h;
    return nullptr;
}

// Whether every Content-Length of the reply (each header, each element of a list) names the
// same number; a value that is no number is left to the reader of the header.
bool LengthsAgree(const std::vector<Header>& reply) {
    std::string first;
    for (auto& h : reply) {
        if (!EqualNoCase(h.name, "Content-Length")) continue;
        for (std::size_t i = 0; i <= h.value.size();) {
            const std::size_t j = std::min(h.value.find(',', i), h.value.size());
            std::string v = Trim(h.value.substr(i, j - i));
            i = j + 1;
            if (v.empty()) continue;
            const auto digit = v.find_first_not_of('0');
            v = digit == std::string::npos ? "0" : v.substr(digit);
            if (first.empty()) first = v;
            else if (v != first) return false;
        }
    }
    return true;
}

// A chunked body carries its own end, so no way of closing the connection completes it.
bool IsChunked(const std::vector<Header>& reply) {
    for (auto& h : reply) {
        if (!EqualNoCase(h.name, "Transfer-Encoding")) continue;
        std::string v = h.value;
        for (auto& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (v.find("chunked") != std::string::npos) return true;
    }
    return false;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    std::string line(data, size * count);
    std::string t = Trim(line);
    if (line.rfind("HTTP/", 0) == 0) {
        r->reply.clear();
        r->statusLine = t;
        auto sp = t.find(' ');
        r->status = sp == std::string::npos ? 0 : std::atoi(t.c_str() + sp + 1);
        auto sp2 = sp == std::string::npos ? std::string::npos : t.find(' ', sp + 1);
        r->reason = sp2 == std::string::npos ? std::string() : t.substr(sp2 + 1);
        return size * count;
    }
    if (t.empty()) {
        bool interim = r->status >= 100 && r->status < 200;
        bool followed = !(r->flags & INTERNET_FLAG_NO_AUTO_REDIRECT) &&
                        (r->status == 301 || r->status == 302 || r->status == 303 || r->status == 307 ||
                         r->status == 308) &&
                        FindHeader(r->reply, "Location");
        if (!interim && !followed && r->status > 0) r->headersDone = true;
        return size * count;
    }
    auto colon = t.find(':');
    if (colon == std::string::npos) return size * count;
    r->reply.push_back({Trim(t.substr(0, colon)), Trim(t.substr(colon + 1))});
    if (EqualNoCase(r->reply.back().name, "Content-Length") && !LengthsAgree(r->reply)) {
        r->conflictingLength = true;
        return 0;  // ends the transfer
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    r->headersDone = true;
    r->buffer.insert(r->buffer.end(), data, data + size * count);
    return size * count;
}

// One step of the transfer; waits up to 100 ms for the sockets when `wait` is set.
void Pump(Request& r, bool wait) {
    int running = 0;
    curl_multi_perform(r.multi, &running);
    int queued = 0;
    while (CURLMsg* m = curl_multi_info_read(r.multi, &queued)) {
        if (m->msg == CURLMSG_DONE) {
            r.transferDone = true;
            r.result = m->data.result;
        }
    }
    if (wait && !r.transferDone) curl_multi_poll(r.multi, nullptr, 0, 100, nullptr);
}

bool Copy(const std::string& value, LPVOID buffer, DWORD* length) {
    if (!length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!buffer || *length < value.size() + 1) {
        *length = static_cast<DWORD>(value.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    *length = static_cast<DWORD>(value.size());
    return true;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR, DWORD) {
    EnsureCurl();
    auto* h = new Handle(Kind::Session);
    h->s.agent = agent ? agent : "";
    h->s.access = accessType;
    if (accessType == INTERNET_OPEN_TYPE_PROXY && !ParseProxyList(proxy, h->s.proxies)) {
        delete h;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Register(h);
}

HINTERNET InternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR, LPCSTR, DWORD service,
                           DWORD, DWORD_PTR) {
    auto* parent = Lookup(session, Kind::Session);
    if (!parent) return nullptr;
    if (!server || !*server || service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* h = new Handle(Kind::Connection);
    h->s = parent->s;
    h->s.host = server;
    h->s.port = port;
    return Register(h);
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
    Handle* h = nullptr;
    for (Kind k : {Kind::Session, Kind::Connection, Kind::Request})
        if ((h = Lookup(handle, k))) break;
    if (!h) return FALSE;
    switch (option) {
    case INTERNET_OPTION_PROXY_USERNAME:
    case INTERNET_OPTION_PROXY_PASSWORD: {
        if (!buffer) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const char* text = static_cast<const char*>(buffer);
        std::string value(text, strnlen(text, length));
        (option == INTERNET_OPTION_PROXY_USERNAME ? h->s.proxyUser : h->s.proxyPassword) = value;
        return TRUE;
    }
    case INTERNET_OPTION_CONNECT_TIMEOUT:
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_REQUEST_DEADLINE: {
        if (!buffer || length < sizeof(DWORD)) {
            SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
            return FALSE;
        }
        DWORD v;
        std::memcpy(&v, buffer, sizeof v);
        if (option == INTERNET_OPTION_CONNECT_TIMEOUT) h->s.connectTimeoutMs = v;
        else if (option == INTERNET_OPTION_REQUEST_DEADLINE) h->s.deadlineMs = v;
        else h->s.receiveTimeoutMs = v;
        return TRUE;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

DWORD InternetAttemptConnect(DWORD) { return ERROR_SUCCESS; }

HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referer,
                           LPCSTR* acceptTypes, DWORD flags, DWORD_PTR) {
    auto* parent = Lookup(connection, Kind::Connection);
    if (!parent) return nullptr;
    auto* r = new Request;
    r->s = parent->s;
    r->verb = verb && *verb ? verb : "GET";
    r->path = object ? object : "";
    r->http10 = version && std::strcmp(version, "HTTP/1.0") == 0;
    r->flags = flags;
    std::string accept;
    for (LPCSTR* a = acceptTypes; a && *a; ++a) accept += (accept.empty() ? "" : ", ") + std::string(*a);
    if (!accept.empty()) r->headers.push_back({"Accept", accept});
    if (referer && *referer) r->headers.push_back({"Referer", referer});
    if (flags & INTERNET_FLAG_PRAGMA_NOCACHE) r->headers.push_back({"Pragma", "no-cache"});
    return Register(r);
}

BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR text, DWORD length, DWORD modifiers) {
    auto* r = static_cast<Request*>(Lookup(request, Kind::Request));
    if (!r) return FALSE;
    if (!text) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string all = length == static_cast<DWORD>(-1) ? std::string(text) : std::string(text, strnlen(text, length));
    std::vector<Header> lines;
    std::size_t i = 0;
    while (i < all.size()) {
        auto j = all.find('\n', i);
        if (j == std::string::npos) j = all.size();
        std::string line = Trim(all.substr(i, j - i));
        i = j + 1;
        if (line.empty()) continue;
        auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            SetLastError(ERROR_HTTP_INVALID_HEADER);
            return FALSE;
        }
        lines.push_back({Trim(line.substr(0, colon)), Trim(line.substr(colon + 1))});
    }
    if (lines.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (auto& h : lines) {
        bool exists = FindHeader(r->headers, h.name) != nullptr;
        if (modifiers & HTTP_ADDREQ_FLAG_REPLACE) {
            std::erase_if(r->headers, [&](const Header& x) { return EqualNoCase(x.name, h.name); });
            if (!h.value.empty()) r->headers.push_back(h);
        } else if (modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) {
            if (exists) {
                SetLastError(ERROR_HTTP_HEADER_ALREADY_EXISTS);
                return FALSE;
            }
            r->headers.push_back(h);
        } else {
            r->headers.push_back(h);
        }
    }
    return TRUE;
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR extra, DWORD extraLength, LPVOID optional, DWORD optionalLength) {
    auto* r = static_cast<Request*>(Lookup(request, Kind::Request));
    if (!r) return FALSE;
    r->Reset();
    r->easy = curl_easy_init();
    r->multi = curl_multi_init();
    if (!r->easy || !r->multi) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    CURL* e = r->easy;
    const bool secure = (r->flags & INTERNET_FLAG_SECURE) != 0;
    const std::string scheme = secure ? "https" : "http";
    std::string host = r->s.host;
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    INTERNET_PORT port = r->s.port ? r->s.port : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    std::string url = scheme + "://" + host + ":" + std::to_string(port) + EscapePath(r->path);

    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, r->s.agent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, r->http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, (r->flags & INTERNET_FLAG_NO_AUTO_REDIRECT) ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    // A request and every redirect it follows stay within http and https.
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, r);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, r);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(r->s.connectTimeoutMs ? r->s.connectTimeoutMs : kDefaultConnectTimeoutMs));
    DWORD receive = r->s.receiveTimeoutMs ? r->s.receiveTimeoutMs : kDefaultReceiveTimeoutMs;
    // A server that drips a byte now and then is as good as silent: below this floor for the
    // receive time-out, the transfer times out.
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedFloor);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>((receive + 999) / 1000));
    if (r->s.deadlineMs) curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(r->s.deadlineMs));

    switch (r->s.access) {
    case INTERNET_OPEN_TYPE_DIRECT:
        curl_easy_setopt(e, CURLOPT_PROXY, "");
        break;
    case INTERNET_OPEN_TYPE_PROXY:
        if (const ProxyEntry* p = ChooseProxy(r->s, scheme)) {
            curl_easy_setopt(e, CURLOPT_PROXY, p->url.c_str());
            curl_easy_setopt(e, CURLOPT_NOPROXY, "");
            if (!r->s.proxyUser.empty()) curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, r->s.proxyUser.c_str());
            if (!r->s.proxyPassword.empty()) curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, r->s.proxyPassword.c_str());
            curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
            if (secure) curl_easy_setopt(e, CURLOPT_HTTPPROXYTUNNEL, 1L);
        } else {
            curl_easy_setopt(e, CURLOPT_PROXY, "");
        }
        break;
    default:
        // The user's proxy environment, as libcurl reads it.
        if (!r->s.proxyUser.empty()) curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, r->s.proxyUser.c_str());
        if (!r->s.proxyPassword.empty()) curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, r->s.proxyPassword.c_str());
        break;
    }

    std::vector<Header> all = r->headers;
    if (extra) {
        std::string text = extraLength == static_cast<DWORD>(-1) ? std::string(extra) : std::string(extra, strnlen(extra, extraLength));
        std::size_t i = 0;
        while (i < text.size()) {
            auto j = text.find('\n', i);
            if (j == std::string::npos) j = text.size();
            std::string line = Trim(text.substr(i, j - i));
            i = j + 1;
            auto colon = line.find(':');
            if (colon != std::string::npos && colon > 0)
                all.push_back({Trim(line.substr(0, colon)), Trim(line.substr(colon + 1))});
        }
    }
    if (!FindHeader(all, "Accept")) all.push_back({"Accept", ""});  // no default of libcurl's own
    for (auto& h : all) {
        std::string line = h.value.empty() ? h.name + ":" : h.name + ": " + h.value;
        r->slist = curl_slist_append(r->slist, line.c_str());
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, r->slist);

    if (EqualNoCase(r->verb, "GET")) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (EqualNoCase(r->verb, "POST")) {
        r->postData.assign(static_cast<const char*>(optional ? optional : ""), optional ? optionalLength : 0);
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r->postData.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, r->postData.data());
        if (!FindHeader(all, "Content-Type")) {
            r->slist = curl_slist_append(r->slist, "Content-Type:");
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, r->slist);
        }
    } else if (EqualNoCase(r->verb, "HEAD")) {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r->verb.c_str());
    }

    curl_multi_add_handle(r->multi, e);
    while (!r->headersDone && !r->transferDone) Pump(*r, true);
    if (!r->headersDone) {
        // Only a redirect can lead to a scheme other than the request's own.
        const bool refusedRedirect = r->result == CURLE_UNSUPPORTED_PROTOCOL && r->status >= 300 && r->status < 400;
        SetLastError(refusedRedirect ? ERROR_HTTP_REDIRECT_FAILED
                     : r->result == CURLE_OK || r->conflictingLength ? ERROR_HTTP_INVALID_SERVER_RESPONSE
                                                                     : MapCurlError(r->result));
        return FALSE;
    }
    return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index) {
    auto* r = static_cast<Request*>(Lookup(request, Kind::Request));
    if (!r) return FALSE;
    if (!r->headersDone) {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    const DWORD level = infoLevel & 0xffff;
    std::string value;
    auto header = [&](const char* name) -> bool {
        const Header* h = FindHeader(r->reply, name, index ? *index : 0);
        if (!h) return false;
        value = h->value;
        if (index) ++*index;
        return true;
    };
    bool found = true;
    switch (level) {
    case HTTP_QUERY_STATUS_CODE: value = std::to_string(r->status); break;
    case HTTP_QUERY_STATUS_TEXT: value = r->reason; break;
    case HTTP_QUERY_RAW_HEADERS_CRLF:
        value = r->statusLine + "\r\n";
        for (auto& h : r->reply) value += h.name + ": " + h.value + "\r\n";
        value += "\r\n";
        break;
    case HTTP_QUERY_CONTENT_TYPE: found = header("Content-Type"); break;
    case HTTP_QUERY_CONTENT_LENGTH: found = header("Content-Length"); break;
    case HTTP_QUERY_CONTENT_RANGE: found = header("Content-Range"); break;
    case HTTP_QUERY_LOCATION: found = header("Location"); break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!found) {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    if (infoLevel & (HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_FLAG_NUMBER64)) {
        const bool wide = (infoLevel & HTTP_QUERY_FLAG_NUMBER64) != 0;
        const DWORD need = wide ? 8 : 4;
        if (!bufferLength || !buffer || *bufferLength < need) {
            if (bufferLength) *bufferLength = need;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            SetLastError(ERROR_HTTP_INVALID_HEADER);
            return FALSE;
        }
        unsigned long long n = std::strtoull(value.c_str(), nullptr, 10);
        if (wide) {
            std::uint64_t v = n;
            std::memcpy(buffer, &v, 8);
        } else {
            DWORD v = static_cast<DWORD>(n);
            std::memcpy(buffer, &v, 4);
        }
        *bufferLength = need;
        return TRUE;
    }
    return Copy(value, buffer, bufferLength) ? TRUE : FALSE;
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, DWORD* read) {
    auto* r = static_cast<Request*>(Lookup(file, Kind::Request));
    if (!r) return FALSE;
    if (!read || (!buffer && toRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *read = 0;
    if (!r->multi) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return FALSE;
    }
    if (toRead == 0) return TRUE;
    while (r->Available() == 0 && !r->transferDone) {
        Pump(*r, true);
    }
    if (r->Available() > 0) {
        DWORD n = static_cast<DWORD>(std::min<std::size_t>(toRead, r->Available()));
        std::memcpy(buffer, r->buffer.data() + r->readPos, n);
        r->readPos += n;
        if (r->readPos == r->buffer.size()) {
            r->buffer.clear();
            r->readPos = 0;
        }
        *read = n;
        return TRUE;
    }
    if (r->result == CURLE_OK) return TRUE;
    const bool chunked = IsChunked(r->reply);
    // A body cut short of its Content-Length ends like a complete one; the caller checks the
    // length it was promised.
    if (r->result == CURLE_PARTIAL_FILE && !chunked) return TRUE;
    // A chunked body that did not reach its last chunk was cut or malformed, whatever ended it:
    // reported as an abort, never as the reset that may end a body of unknown length.
    DWORD error = MapCurlError(r->result);
    if (chunked && error != ERROR_INTERNET_TIMEOUT) error = ERROR_INTERNET_CONNECTION_ABORTED;
    SetLastError(error);
    return FALSE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    Handle* h = nullptr;
    {
        std::lock_guard lock(g_handlesMutex);
        auto it = g_handles.find(static_cast<Handle*>(handle));
        if (it == g_handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        h = *it;
        g_handles.erase(it);
    }
    delete h;
    return TRUE;
}
