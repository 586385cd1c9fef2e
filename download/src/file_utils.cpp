#include "download/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace download {

std::uint64_t GetFileSize64(const std::string& fileName) {
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st{};
    std::uint64_t size = (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ? static_cast<std::uint64_t>(st.st_size) : 0;
    ::close(fd);
    return size;
}

bool FileExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    struct stat st{};
    return ::stat(WithoutTrailingSlashes(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int MakeDirectories(const std::string& path) {
    if (path.empty()) return 0;
    std::string p = WithoutTrailingSlashes(path);
    std::vector<std::string> missing;
    while (!p.empty() && p != "/" && !IsDirectory(p)) {
        missing.push_back(p);
        auto slash = p.find_last_of('/');
        if (slash == std::string::npos) break;
        p = WithoutTrailingSlashes(p.substr(0, slash == 0 ? 1 : slash));
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(*it))) return 0;
    }
    return 1;
}

bool GetTempDownloadPath(std::string& out) {
    out.clear();
    std::error_code ec;
    auto dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = "/tmp";
    std::string name = (dir / "my_XXXXXX.tmp").string();
    int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return false;
    ::close(fd);
    out = name;
    return true;
}

namespace {

bool WriteAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Copies a regular file next to the target, makes the copy durable and renames it over the
// target, so the target is either the old file or the complete new one.
bool CopyThenReplace(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st{};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    std::string tmp = to + ".moveXXXXXX";
    int out = ::mkstemp(tmp.data());
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        if (!WriteAll(out, buf.data(), static_cast<std::size_t>(r))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    if (ok) {
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::fchmod(out, st.st_mode & 07777);
        ::futimens(out, times);
        ok = ::fsync(out) == 0;
    }
    ok = (::close(out) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), to.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace

int MoveFileReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return 0;
    if (::rename(from.c_str(), to.c_str()) == 0) return 1;
    if (errno != EXDEV) return 0;
    return CopyThenReplace(from, to) ? 1 : 0;
}

}  // namespace download
