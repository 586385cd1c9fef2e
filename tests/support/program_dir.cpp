#include "support/program_dir.h"

namespace testsupport {

ProgramDir::ProgramDir() {
    env_.push_back(std::make_unique<ScopedEnv>("MORVANE_PROGRAM_DIR", dir_.path().string()));
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        env_.push_back(std::make_unique<ScopedEnv>(name, ""));
}

}  // namespace testsupport
