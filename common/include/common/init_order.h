// The order in which the player's process-wide objects with constructors are built before its
// entry runs, lower first (their destructors run in reverse): the settings, the usage-report
// binding, the error log. Objects without constructors (the address queue, the notification map)
// exist from the start. Code these constructors call must not rely on other files' static
// objects: such objects are built on first use (as the settings cache is).
#pragma once

#define MORVANE_INIT_SYSCONFIG __attribute__((init_priority(1005)))
#define MORVANE_INIT_USERDATA __attribute__((init_priority(1006)))
#define MORVANE_INIT_ERRORLOG __attribute__((init_priority(1009)))
