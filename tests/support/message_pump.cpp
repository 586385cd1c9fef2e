#include "message_pump.h"

#include <chrono>

#include "platform/windows/winuser.h"

namespace testsupport {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    // A thread timer wakes GetMessageW, so the deadline holds while nothing arrives.
    UINT_PTR tick = SetTimer(nullptr, 0, 10, nullptr);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool ok = done();
    while (!ok && std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ok = done();
    }
    KillTimer(nullptr, tick);
    return ok;
}

void PumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, ms + 1000);
}

}  // namespace testsupport
