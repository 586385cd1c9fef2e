// A levelled text log: one time-stamped line per message, a summary of warnings and errors
// at the end, and the file deleted again when nothing went wrong.
#pragma once

#include <cstdio>
#include <string>

#define LOG_LEVEL_INFO 1
#define LOG_LEVEL_WARNING 2
#define LOG_LEVEL_ERROR 3
#define LOG_LEVEL_FATAL 4
#define LOG_LEVEL_PLAIN 5  // title and summary: no prefix, not counted

class CErrorLog {
public:
    // Not opened: threshold 0, no file (the process's global instance).
    CErrorLog();
    CErrorLog(const std::wstring& fileName, int threshold, bool flushEachLine);
    virtual ~CErrorLog();
    CErrorLog(const CErrorLog&) = delete;
    CErrorLog& operator=(const CErrorLog&) = delete;

    // Creates or empties the file; on failure the threshold becomes 5. Then logs the title.
    void Open(const std::wstring& fileName);

    // Formats use the Windows wide conventions: %s is a wide string, %S a narrow one.
    // A message is cut to 4,095 characters.
    void Log(int level, const wchar_t* format, ...);
    void Info(const wchar_t* format, ...);
    void Warning(const wchar_t* format, ...);
    void Error(const wchar_t* format, ...);
    void Fatal(const wchar_t* format, ...);

    void WriteLine(const wchar_t* prefix, const wchar_t* text);
    void ResetCounters();
    void SetDeleteIfClean(bool on) { deleteIfClean_ = on; }

    int InfoCount() const { return infoCount_; }
    int WarningCount() const { return warningCount_; }
    int ErrorCount() const { return errorCount_; }
    int FatalCount() const { return fatalCount_; }
    int Threshold() const { return threshold_; }

private:
    void LogV(int level, const wchar_t* format, va_list args);

    int threshold_ = 0;
    std::wstring fileName_;
    std::wstring title_;
    FILE* file_ = nullptr;
    bool flushEachLine_ = true;
    bool deleteIfClean_ = true;
    int infoCount_ = 0, warningCount_ = 0, errorCount_ = 0, fatalCount_ = 0;
};

// The process's log; never opened by the program.
extern CErrorLog g_ErrorLog;
