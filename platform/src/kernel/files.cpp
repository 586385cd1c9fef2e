#include "platform/kernel/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/text/codepage.h"

namespace platform {
namespace {

DWORD ErrnoToError(int e) {
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_ACCESS_DENIED;
    }
}

std::string AnsiToFs(LPCSTR path) { return FsPath(WideFromAnsi(path)); }

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    return true;
}

std::pair<std::string, std::string> SplitDirName(const std::string& fsPath) {
    auto slash = fsPath.rfind('/');
    if (slash == std::string::npos) return {".", fsPath};
    return {slash == 0 ? "/" : fsPath.substr(0, slash), fsPath.substr(slash + 1)};
}

// A temporary file beside the target; its descriptor, or -1 with the last error set.
int OpenTempBeside(const std::string& fsPath, std::string& tmpPath) {
    auto [dir, name] = SplitDirName(fsPath);
    tmpPath = dir + "/." + name + ".XXXXXX";
    int fd = ::mkostemp(tmpPath.data(), O_CLOEXEC);
    if (fd < 0) SetLastError(ErrnoToError(errno));
    return fd;
}

// Flushes, closes and renames the temporary file over the target; on failure it is removed.
bool CommitTemp(int fd, const std::string& tmpPath, const std::string& fsPath, bool ok, int err) {
    if (ok && ::fdatasync(fd) != 0) ok = false, err = errno;
    if (::close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && ::rename(tmpPath.c_str(), fsPath.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        ::unlink(tmpPath.c_str());
        SetLastError(ErrnoToError(err));
    }
    return ok;
}

// Copies a file to the target in one step, through a bounded buffer: the target is the old
// file or the whole copy, never a part. The copy keeps the source's mode.
bool CopyFileAtomic(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        SetLastError(ErrnoToError(errno));
        return false;
    }
    struct stat st;
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    std::string tmp;
    int out = OpenTempBeside(to, tmp);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = ::fchmod(out, st.st_mode & 07777) == 0;
    int err = errno;
    static constexpr size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> buf(new char[kChunk]);
    while (ok) {
        ssize_t r = ::read(in, buf.get(), kChunk);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (r < 0) ok = false, err = errno;
            break;
        }
        if (!WriteAll(out, std::string_view(buf.get(), static_cast<size_t>(r)))) ok = false, err = errno;
    }
    ::close(in);
    return CommitTemp(out, tmp, to, ok, err);
}

bool MoveFs(const std::string& from, const std::string& to, DWORD flags) {
    struct stat st;
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && ::lstat(to.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV || !(flags & MOVEFILE_COPY_ALLOWED)) {
        SetLastError(ErrnoToError(errno));
        return false;
    }
    // Across file systems: copy into the target folder atomically, then drop the source.
    if (!CopyFileAtomic(from, to)) return false;
    ::unlink(from.c_str());
    return true;
}

BOOL DeleteFs(const std::string& fs) {
    if (fs.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (::unlink(fs.c_str()) != 0) {
        SetLastError(ErrnoToError(errno));
        return FALSE;
    }
    return TRUE;
}

}  // namespace

unsigned FileCreationMask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found) return mask & 0777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask & 0777;
}

std::string FsPath(std::wstring_view path) { return Utf8FromWide(path); }

bool ReadWholeFile(const std::string& fsPath, std::string& out) {
    out.clear();
    int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrnoToError(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR) continue;
            SetLastError(ErrnoToError(errno));
            ::close(fd);
            return false;
        }
        if (r == 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    ::close(fd);
    return true;
}

bool WriteFileAtomic(const std::string& fsPath, std::string_view bytes, KeepOfOld keep) {
    return WriteFileAtomic(fsPath, std::vector<std::string_view>{bytes}, keep);
}

bool WriteFileAtomic(const std::string& fsPath, const std::vector<std::string_view>& pieces, KeepOfOld keep) {
    if (fsPath.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string tmpl;
    int fd = OpenTempBeside(fsPath, tmpl);
    if (fd < 0) return false;
    struct stat st;
    const bool existed = ::stat(fsPath.c_str(), &st) == 0;
    mode_t mode;
    if (existed) {
        if (S_ISDIR(st.st_mode)) {
            ::close(fd);
            ::unlink(tmpl.c_str());
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        mode = st.st_mode & 07777;
    } else {
        mode = 0666 & ~FileCreationMask();
    }
    const bool keepMore = existed && keep == KeepOfOld::ModeOwnerAndTimes;
    // Before the mode: a change of owner clears the set-id bits. Without the right to give
    // the file away, its group may still be ours to keep; failing both, the file is ours.
    if (keepMore && ::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::string_view piece : pieces) ok = ok && WriteAll(fd, piece);
    if (ok && keepMore) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ok = ::futimens(fd, times) == 0;
    }
    return CommitTemp(fd, tmpl, fsPath, ok, errno);
}

FileWriteLock::FileWriteLock(const std::string& fsPath) {
    auto [dir, name] = SplitDirName(fsPath);
    std::string lockPath = dir + "/." + name + ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        SetLastError(ErrnoToError(errno));
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        SetLastError(ErrnoToError(errno));
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

FileWriteLock::~FileWriteLock() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

}  // namespace platform

BOOL PathFileExistsW(LPCWSTR path) {
    if (!path || !*path) return FALSE;
    struct stat st;
    return ::stat(platform::FsPath(path).c_str(), &st) == 0 ? TRUE : FALSE;
}

BOOL PathFileExistsA(LPCSTR path) {
    if (!path || !*path) return FALSE;
    struct stat st;
    return ::stat(platform::AnsiToFs(path).c_str(), &st) == 0 ? TRUE : FALSE;
}

BOOL DeleteFileW(LPCWSTR path) { return platform::DeleteFs(path ? platform::FsPath(path) : std::string()); }

BOOL DeleteFileA(LPCSTR path) { return platform::DeleteFs(path ? platform::AnsiToFs(path) : std::string()); }

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (!from || !to) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::MoveFs(platform::FsPath(from), platform::FsPath(to), flags) ? TRUE : FALSE;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    if (!from || !to) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::MoveFs(platform::AnsiToFs(from), platform::AnsiToFs(to), flags) ? TRUE : FALSE;
}
