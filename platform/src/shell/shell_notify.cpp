// Change notices: recorded in the runtime folder, one line per notice, so that tests and other
// processes can see that one was sent.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/kernel/runtime_dir.h"
#include "platform/shell/shell.h"

namespace {

std::filesystem::path NoticeFile() {
    std::filesystem::path dir = platform::RuntimeDir();
    return dir.empty() ? dir : dir / "shell-notices";
}

}  // namespace

void SHChangeNotify(LONG eventId, UINT, LPCVOID, LPCVOID) {
    std::filesystem::path file = NoticeFile();
    if (file.empty()) return;
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    char line[16];
    int n = std::snprintf(line, sizeof line, "%08x\n", static_cast<unsigned>(eventId));
    // One short write to an append-only file: lines of several processes never mix.
    ssize_t w = ::write(fd, line, static_cast<size_t>(n));
    (void)w;
    ::close(fd);
}

namespace platform::shell {

int ChangeNoticeCount(LONG eventId) {
    std::filesystem::path file = NoticeFile();
    if (file.empty()) return 0;
    std::ifstream in(file);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        unsigned long v = std::strtoul(line.c_str(), nullptr, 16);
        if (eventId == 0 || static_cast<unsigned>(v) == static_cast<unsigned>(eventId)) ++count;
    }
    return count;
}

}  // namespace platform::shell
