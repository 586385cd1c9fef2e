// What /proc tells about a process: enough to know whether it still runs (and is still the same
// process, not a later one with a reused id) and what its program is called.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace platform::detail {

struct ProcStat {
    char state = 0;
    pid_t ppid = 0;
    long threads = 0;
    long priority = 0;
    std::uint64_t startTime = 0;  // clock ticks since boot
};

bool ReadProcStat(pid_t pid, ProcStat* out);
// Exists and is not a zombie; with startTime != 0 it must also be the process that had it.
bool ProcessRunning(pid_t pid, std::uint64_t startTime = 0);
std::uint64_t ProcessStartTime(pid_t pid);
// File name of the program (no folder): the executable's name where it may be read, else the
// name the process was started under, else the kernel's short name.
std::string ProcessProgramName(pid_t pid);

}  // namespace platform::detail
