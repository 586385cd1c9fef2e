// Usage reports to the statistics server (first run, start, media played, crashes) and the
// binding of the request library's page request, which does the network work.
#pragma once

#include <atomic>
#include <stop_token>
#include <string>

#include "platform/base/wintypes.h"

using RequestGetHtmlFn = int (*)(const char* address, char** body, char** second);
using ReleaseBufferFn = void (*)();
// The request library's entry points, or null without the library.
extern RequestGetHtmlFn g_pfnRequestGetHtml;
extern ReleaseBufferFn g_pfnReleaseBuffer;

class CUserData {
public:
    static constexpr const wchar_t* kRegisterPath = L"/morvane/register.php";
    static constexpr const wchar_t* kStartPath = L"/morvane/init.php";
    static constexpr const wchar_t* kLogPath = L"/morvane/commonlog.wz";
    static constexpr const wchar_t* kCrashMarker = L"crash.report";

    // Loads the request library from the program folder, reads the user index and the channel
    // from config.ini and writes the product and version there.
    CUserData();
    virtual ~CUserData();

    static std::wstring GetVersionString();
    // Whether a request (a report given up by its caller, or a log report) is still inside the
    // request library on some thread.
    static bool RequestsUnderWay();
    // Scheme and host of the statistics server: MORVANE_STATS_SERVER, else our default.
    static std::wstring StatsServer();

    void SetStartMethod(const std::wstring& method) { startMethod_ = method; }
    // Synchronous; only when this installation has no user number yet. Once `stop` is asked for,
    // the request is given up at once and counts as failed.
    void Register(std::stop_token stop = {});
    // Synchronous; learns the newest version, and sends the report of a crash of the last run.
    // `stop` as for Register.
    void ReportStart(std::stop_token stop = {});
    std::wstring GetNewVersion() const { return newVersion_; }
    // Asynchronous: the request runs on a thread of its own.
    void SendLog(const std::wstring& eventText);
    void ReportMedia(const std::wstring& mediaType, int state, const std::wstring& source);
    void ReloadUserIndex();
    int userIndex() const { return userIndex_.load(); }

    // The text between the first opening marker and the first closing marker after it; -1 and an
    // empty out when a marker is missing or nothing lies between, else the position after the opening one.
    static int ExtractBetween(const std::wstring& text, const std::wstring& open, const std::wstring& close,
                              std::wstring& out);
    // The media type of a file path or address: the extension of its path part ("" without one).
    static std::wstring MediaTypeOf(const std::wstring& pathOrAddress);
    // Every byte of the UTF-8 form except letters, digits and "-._~" as %XX.
    static std::wstring EncodeQueryValue(const std::wstring& value);

    // The crash filter's hook: marks the crash in a file with plain system calls only; the
    // report goes out with the next start's report.
    static void MarkCrash();

private:
    bool Request(const std::wstring& address, std::size_t limit, std::wstring* body, std::stop_token stop);
    std::wstring VersionWithChannel() const;

    std::wstring programFolder_;
    std::wstring configPath_;
    std::atomic<int> userIndex_{-1};
    std::wstring version_;
    std::wstring channel_;
    std::wstring newVersion_;
    std::wstring startMethod_;
};

extern CUserData g_UserData;
