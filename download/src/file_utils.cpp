#include "download/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "acp_convert.h"
#include "platform/kernel/files.h"

namespace download {

std::uint64_t GetFileSize64(const std::string& fileName) {
    int fd = ::open(detail::FsPath(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st{};
    std::uint64_t size = (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ? static_cast<std::uint64_t>(st.st_size) : 0;
    ::close(fd);
    return size;
}

bool FileExists(const std::string& path) {
    return PathFileExistsA(path.c_str()) != FALSE;
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
    return ::stat(detail::FsPath(WithoutTrailingSlashes(path)).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
        if (::mkdir(detail::FsPath(*it).c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(*it))) return 0;
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
    out = detail::AnsiPath(name);
    return true;
}

int MoveFileReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return 0;
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)
               ? 1
               : 0;
}

}  // namespace download
