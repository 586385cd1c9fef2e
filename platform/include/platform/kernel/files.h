// File helpers: whole-file atomic replacement and the few file calls the program makes.
// Wide paths are file names in UTF-8; narrow ("A") paths are in the ANSI code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/wintypes.h"

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008

BOOL PathFileExistsW(LPCWSTR path);
BOOL PathFileExistsA(LPCSTR path);
BOOL DeleteFileW(LPCWSTR path);
BOOL DeleteFileA(LPCSTR path);
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);

namespace platform {

// The file-system name of a wide path (UTF-8).
std::string FsPath(std::wstring_view path);

// What a replaced file keeps of the file it replaces.
enum class KeepOfOld {
    Mode,
    // Also its owner and group, as far as the process may give them, and its access and
    // modification times: for a file that is edited on the user's behalf, not written anew.
    ModeOwnerAndTimes,
};

// The process's file-creation mask, read without changing it (a change would race with other
// threads creating files).
unsigned FileCreationMask();

// Replaces the file with the bytes in one step: a temporary file beside it is written,
// flushed to the disk and renamed over the old one, so readers see the old or the new
// content, never a mix, and a failure leaves the old file untouched. A new file gets mode
// 0666 less the umask; an existing file keeps what `keep` says. Sets the last error on failure.
bool WriteFileAtomic(const std::string& fsPath, std::string_view bytes, KeepOfOld keep = KeepOfOld::Mode);
// The same for content given in pieces, written one after the other.
bool WriteFileAtomic(const std::string& fsPath, const std::vector<std::string_view>& pieces,
                     KeepOfOld keep = KeepOfOld::Mode);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& fsPath, std::string& out);

// Holds an exclusive advisory lock (flock) on a lock file beside a data file, so writers in
// all threads and processes take turns. The lock file is named "." + the file's name + ".lock".
class FileWriteLock {
public:
    explicit FileWriteLock(const std::string& fsPath);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;
    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace platform
