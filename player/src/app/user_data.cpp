#include "player/app/user_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/convert.h"
#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/kernel/library.h"
#include "platform/kernel/module.h"
#include "platform/profile/profile.h"
#include "platform/kernel/ticks.h"
#include "player/app/crash_handler.h"

RequestGetHtmlFn g_pfnRequestGetHtml = nullptr;
ReleaseBufferFn g_pfnReleaseBuffer = nullptr;

namespace {

constexpr std::size_t kRegisterBuffer = 2048;
constexpr std::size_t kStartBuffer = 4096;

// The crash marker's path, ready before any crash so that the hook only makes system calls.
char g_crashMarker[4096] = {};

// Requests inside the library right now, on any thread.
std::atomic<int> g_requestsUnderWay{0};

// Counts a request while it lives. One run on a thread of its own is counted from before the
// thread starts: an exit right after the request was sent must still see it.
struct UnderWay {
    UnderWay() { ++g_requestsUnderWay; }
    ~UnderWay() { --g_requestsUnderWay; }
    UnderWay(const UnderWay&) = delete;
    UnderWay& operator=(const UnderWay&) = delete;
};

// Runs one request of the library and hands its reply out as wide text; false on failure.
bool CallLibrary(const std::string& address, std::wstring* body) {
    RequestGetHtmlFn request = g_pfnRequestGetHtml;
    if (!request) return false;
    UnderWay underWay;
    char* text = nullptr;
    char* second = nullptr;
    if (request(address.c_str(), &text, &second) != 0) return false;
    if (body) *body = AnsiToWide(text ? text : "");
    if (g_pfnReleaseBuffer) g_pfnReleaseBuffer();
    return true;
}

// The library cannot be interrupted inside a request: a caller that may be told to stop runs the
// request on a thread of its own and stops waiting for it when told. The thread keeps its own
// copies, so a request that ends after its caller gave up touches nothing of the caller's.
bool CallLibrary(const std::string& address, std::wstring* body, std::stop_token stop) {
    if (!stop.stop_possible()) return CallLibrary(address, body);
    if (stop.stop_requested() || !g_pfnRequestGetHtml) return false;
    struct Outcome {
        std::mutex mutex;
        std::condition_variable_any done;
        bool finished = false, ok = false;
        std::wstring body;
    };
    auto outcome = std::make_shared<Outcome>();
    std::thread([outcome, address, underWay = std::make_unique<UnderWay>()] {
        std::wstring reply;
        const bool ok = CallLibrary(address, &reply);
        std::lock_guard lock(outcome->mutex);
        outcome->finished = true;
        outcome->ok = ok;
        outcome->body = std::move(reply);
        outcome->done.notify_all();
    }).detach();
    std::unique_lock lock(outcome->mutex);
    if (!outcome->done.wait(lock, stop, [&] { return outcome->finished; }) || !outcome->ok) return false;
    if (body) *body = std::move(outcome->body);
    return true;
}

}  // namespace

CUserData::CUserData() {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module);
    auto slash = path.find_last_of(L'/');
    programFolder_ = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    configPath_ = programFolder_ + L"config.ini";
    version_ = GetVersionString();

    if (HMODULE lib = LoadLibraryW((programFolder_ + L"WZUpdate.dll").c_str())) {
        g_pfnRequestGetHtml = reinterpret_cast<RequestGetHtmlFn>(GetProcAddress(lib, "RequestGetHtml_E"));
        g_pfnReleaseBuffer = reinterpret_cast<ReleaseBufferFn>(GetProcAddress(lib, "ReleaseBuffer_E"));
    }
    ReloadUserIndex();
    WritePrivateProfileStringW(L"General", L"product", L"Morvane", configPath_.c_str());
    WritePrivateProfileStringW(L"General", L"version", version_.c_str(), configPath_.c_str());
    wchar_t channel[32] = {};
    GetPrivateProfileStringW(L"General", L"channel", L"", channel, 32, configPath_.c_str());
    channel_ = channel;

    std::string marker = platform::Utf8FromWide(programFolder_ + kCrashMarker);
    if (marker.size() < sizeof g_crashMarker) std::memcpy(g_crashMarker, marker.c_str(), marker.size() + 1);
    SetCrashReportHook(&CUserData::MarkCrash);
}

CUserData::~CUserData() = default;

std::wstring CUserData::GetVersionString() { return L"0.9.1.8"; }

bool CUserData::RequestsUnderWay() { return g_requestsUnderWay.load() > 0; }

std::wstring CUserData::StatsServer() {
    const char* env = std::getenv("MORVANE_STATS_SERVER");
    std::wstring server = env && *env ? AnsiToWide(env) : L"http://stat.morvane.net";
    while (!server.empty() && server.back() == L'/') server.pop_back();
    return server;
}

std::wstring CUserData::VersionWithChannel() const { return EncodeQueryValue(version_ + channel_); }

void CUserData::ReloadUserIndex() {
    userIndex_.store(static_cast<int>(GetPrivateProfileIntW(L"UserInfo", L"index", -1, configPath_.c_str())));
}

bool CUserData::Request(const std::wstring& address, std::size_t limit, std::wstring* body, std::stop_token stop) {
    std::string narrow = WideToAnsi(address.c_str());
    // An address that does not fit is not sent cut short.
    if (narrow.size() + 1 > limit) return false;
    return CallLibrary(narrow, body, std::move(stop));
}

void CUserData::Register(std::stop_token stop) {
    const int index = userIndex_.load();
    if (index != -1 && index != 0) return;
    std::wstring address = StatsServer() + kRegisterPath + L"?version=" + VersionWithChannel();
    std::wstring body;
    if (!Request(address, kRegisterBuffer, &body, std::move(stop))) return;
    const int parsed = static_cast<int>(std::wcstol(body.c_str(), nullptr, 10));
    userIndex_.store(parsed);
    // The number as parsed: whatever else the reply holds stays out of the settings.
    if (parsed > 0)
        WritePrivateProfileStringW(L"UserInfo", L"index", std::to_wstring(parsed).c_str(), configPath_.c_str());
}

void CUserData::ReportStart(std::stop_token stop) {
    newVersion_.clear();
    std::wstring address = StatsServer() + kStartPath + L"?version=" + VersionWithChannel() +
                           L"&id=" + std::to_wstring(userIndex_.load()) +
                           L"&start_method=" + EncodeQueryValue(startMethod_);
    std::wstring body;
    if (Request(address, kStartBuffer, &body, std::move(stop))) {
        std::wstring found;
        if (ExtractBetween(body, L"<newversion>", L"</newversion>", found) >= 0 && !found.empty()) newVersion_ = found;
    }
    const std::wstring marker = programFolder_ + kCrashMarker;
    if (PathFileExistsW(marker.c_str())) {
        DeleteFileW(marker.c_str());
        SendLog(L"Crashed");
    }
}

void CUserData::SendLog(const std::wstring& eventText) {
    ReloadUserIndex();
    std::wstring address = StatsServer() + kLogPath + L"?version=" + VersionWithChannel() + L"&id=" +
                           std::to_wstring(userIndex_.load()) + L"&" + eventText + L"&t=" + std::to_wstring(GetTickCount());
    std::string narrow = WideToAnsi(address.c_str());
    if (!g_pfnRequestGetHtml) return;
    std::thread([narrow = std::move(narrow), underWay = std::make_unique<UnderWay>()] { CallLibrary(narrow, nullptr); })
        .detach();
}

void CUserData::ReportMedia(const std::wstring& mediaType, int state, const std::wstring& source) {
    SendLog(L"media_type=" + EncodeQueryValue(mediaType) + L"&state=" + std::to_wstring(state) +
            L"&source=" + EncodeQueryValue(source));
}

int CUserData::ExtractBetween(const std::wstring& text, const std::wstring& open, const std::wstring& close,
                              std::wstring& out) {
    out.clear();
    auto start = text.find(open);
    if (start == std::wstring::npos) return -1;
    start += open.size();
    auto end = text.find(close, start);
    if (end == std::wstring::npos || end == start) return -1;
    out = text.substr(start, end - start);
    return static_cast<int>(start);
}

std::wstring CUserData::MediaTypeOf(const std::wstring& pathOrAddress) {
    std::wstring path = pathOrAddress;
    auto scheme = path.find(L"://");
    if (scheme != std::wstring::npos) {
        auto slash = path.find(L'/', scheme + 3);
        path = slash == std::wstring::npos ? std::wstring() : path.substr(slash);
        auto end = path.find_first_of(L"?#");
        if (end != std::wstring::npos) path.resize(end);
    }
    auto sep = path.find_last_of(L"/\\");
    std::wstring name = sep == std::wstring::npos ? path : path.substr(sep + 1);
    auto dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

std::wstring CUserData::EncodeQueryValue(const std::wstring& value) {
    static const char* hex = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : platform::Utf8FromWide(value)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(hex[c >> 4]);
            out += static_cast<wchar_t>(hex[c & 15]);
        }
    }
    return out;
}

void CUserData::MarkCrash() {
    if (!g_crashMarker[0]) return;
    int fd = ::open(g_crashMarker, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    static const char text[] = "Crashed\n";
    (void)!::write(fd, text, sizeof text - 1);
    ::close(fd);
}
