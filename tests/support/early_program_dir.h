// A program folder of the test's own, set before any static object of the program reads it:
// the usage-report object is built before main and reads MORVANE_PROGRAM_DIR. Define one per
// test program as `EarlyProgramDir g_programDir __attribute__((init_priority(101)));`.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace testsupport {

struct EarlyProgramDir {
    std::string path;
    EarlyProgramDir() {
        char tmpl[] = "/tmp/morvane-program-XXXXXX";
        if (mkdtemp(tmpl)) path = tmpl;
        setenv("MORVANE_PROGRAM_DIR", path.c_str(), 1);
    }
    ~EarlyProgramDir() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

}  // namespace testsupport
