#include "support/file_size_limit.h"

#include <sys/resource.h>

#include <csignal>

namespace testsupport {

FileSizeLimit::FileSizeLimit(std::size_t bytes) {
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    oldSoft_ = lim.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = oldSoft_;
    setrlimit(RLIMIT_FSIZE, &lim);
    std::signal(SIGXFSZ, oldHandler_);
}

}  // namespace testsupport
