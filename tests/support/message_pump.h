// Runs the calling thread's message loop until a condition holds, for tests of windows.
#pragma once

#include <functional>

namespace testsupport {

// Dispatches messages until `done` returns true or `timeoutMs` have passed; true when done.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Dispatches messages for `ms` milliseconds (to show that something does not arrive).
void PumpFor(int ms);

}  // namespace testsupport
