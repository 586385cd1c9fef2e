#include "common/error_log.h"

#include "common/init_order.h"

#include <sys/time.h>

#include <cstdarg>
#include <ctime>
#include <cwchar>
#include <vector>

#include "common/convert.h"
#include "platform/text/codepage.h"

CErrorLog g_ErrorLog MORVANE_INIT_ERRORLOG;

namespace {

constexpr size_t kMessageChars = 4096;

const char kTitleAnsiUtf8[] = "Oskery日志 V1.0";

const wchar_t* PrefixOf(int level) {
    switch (level) {
        case LOG_LEVEL_INFO: return L"信息：";
        case LOG_LEVEL_WARNING: return L"警告：";
        case LOG_LEVEL_ERROR: return L"错误：";
        case LOG_LEVEL_FATAL: return L"致命错误：";
        default: return L"";
    }
}

// Windows wide formats take %s as a wide string and %S as a narrow one; the C library here
// reads them the other way round.
std::wstring ToLocalFormat(const wchar_t* f) {
    std::wstring out;
    for (const wchar_t* p = f; *p; ++p) {
        out += *p;
        if (*p != L'%') continue;
        ++p;
        while (*p && std::wcschr(L"-+ #0123456789.*", *p)) out += *p++;
        if (!*p) break;
        if (*p == L'h' && (p[1] == L's' || p[1] == L'S' || p[1] == L'c' || p[1] == L'C')) {
            out += (p[1] == L'c' || p[1] == L'C') ? L'c' : L's';
            ++p;
        } else if (*p == L's' || *p == L'c') {
            out += L'l';
            out += *p;
        } else if (*p == L'S') {
            out += L's';
        } else if (*p == L'C') {
            out += L'c';
        } else {
            out += *p;
        }
    }
    return out;
}

std::wstring TitleText() {
    // The title is kept as ANSI text and widened.
    std::string ansi = kTitleAnsiUtf8;
    Utf8ToAnsi(ansi);
    return AnsiToWide(ansi.c_str());
}

}  // namespace

CErrorLog::CErrorLog() : title_(TitleText()) {}

CErrorLog::CErrorLog(const std::wstring& fileName, int threshold, bool flushEachLine)
    : threshold_(threshold), title_(TitleText()), flushEachLine_(flushEachLine) {
    Open(fileName);
}

CErrorLog::~CErrorLog() {
    if (!file_) return;
    bool keep = !deleteIfClean_ || warningCount_ + errorCount_ + fatalCount_ > 0;
    if (keep)
        Log(LOG_LEVEL_PLAIN, L"一共发生了%d个致命错误，%d个一般错误，%d个警告！", fatalCount_, errorCount_, warningCount_);
    std::fclose(file_);
    file_ = nullptr;
    if (!keep && !fileName_.empty()) std::remove(platform::Utf8FromWide(fileName_).c_str());
}

void CErrorLog::Open(const std::wstring& fileName) {
    fileName_ = fileName;
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    file_ = std::fopen(platform::Utf8FromWide(fileName).c_str(), "w+");
    if (!file_) threshold_ = LOG_LEVEL_PLAIN;
    Log(LOG_LEVEL_PLAIN, L"%s", title_.c_str());
}

void CErrorLog::LogV(int level, const wchar_t* format, va_list args) {
    if (level < threshold_ || !format) return;
    std::wstring fmt = ToLocalFormat(format);
    std::vector<wchar_t> buf(kMessageChars);
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
    va_end(copy);
    if (n < 0) {
        // Too long (or a conversion failed): format in full, then keep the first 4,095.
        for (size_t size = kMessageChars * 4; size <= (1u << 22) && n < 0; size *= 4) {
            buf.assign(size, L'\0');
            va_copy(copy, args);
            n = std::vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
            va_end(copy);
        }
        if (n < 0) buf[0] = 0;
        buf[kMessageChars - 1] = 0;
    }
    switch (level) {
        case LOG_LEVEL_INFO: ++infoCount_; break;
        case LOG_LEVEL_WARNING: ++warningCount_; break;
        case LOG_LEVEL_ERROR: ++errorCount_; break;
        case LOG_LEVEL_FATAL: ++fatalCount_; break;
        default: break;
    }
    WriteLine(PrefixOf(level), buf.data());
}

void CErrorLog::Log(int level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(level, format, args);
    va_end(args);
}

#define LOG_AT(name, level)                       \
    void CErrorLog::name(const wchar_t* format, ...) { \
        va_list args;                             \
        va_start(args, format);                   \
        LogV(level, format, args);                \
        va_end(args);                             \
    }
LOG_AT(Info, LOG_LEVEL_INFO)
LOG_AT(Warning, LOG_LEVEL_WARNING)
LOG_AT(Error, LOG_LEVEL_ERROR)
LOG_AT(Fatal, LOG_LEVEL_FATAL)
#undef LOG_AT

void CErrorLog::WriteLine(const wchar_t* prefix, const wchar_t* text) {
    if (!file_) return;
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm lt{};
    localtime_r(&tv.tv_sec, &lt);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "[%d-%02d-%02d %02d:%02d:%02d.%03d]", lt.tm_year + 1900, lt.tm_mon + 1,
                  lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec, static_cast<int>(tv.tv_usec / 1000));
    std::wstring line = std::wstring(prefix ? prefix : L"") + (text ? text : L"");
    std::string narrow = WideToAcp(line);
    std::fprintf(file_, "%s %s\n", stamp, narrow.c_str());
    if (flushEachLine_) std::fflush(file_);
}

void CErrorLog::ResetCounters() {
    infoCount_ = warningCount_ = errorCount_ = fatalCount_ = 0;
    deleteIfClean_ = true;
    title_ = TitleText();
}
