// Waits for a condition with a generous bound, polling briefly; true when it came true.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound = std::chrono::seconds(20));

}  // namespace testsupport
