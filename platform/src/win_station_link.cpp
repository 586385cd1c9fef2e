// The window core's one road to the window station. Until the station is linked in, the calls
// fall back to "no other process".
#include "win_internal.h"

namespace platform::station {
void Publish(const WindowEntry& entry) __attribute__((weak));
void Withdraw(HWND hwnd) __attribute__((weak));
std::vector<WindowEntry> Windows() __attribute__((weak));
bool Lookup(HWND hwnd, WindowEntry* out) __attribute__((weak));
bool IsAlive(HWND hwnd) __attribute__((weak));
bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result)
    __attribute__((weak));
bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) __attribute__((weak));
void SetDeliveryHook(DeliverFn fn) __attribute__((weak));
}  // namespace platform::station

namespace platform::win::station_link {
namespace st = platform::station;

void Publish(const st::WindowEntry& entry) {
    if (st::Publish) st::Publish(entry);
}
void Withdraw(HWND hwnd) {
    if (st::Withdraw) st::Withdraw(hwnd);
}
std::vector<st::WindowEntry> Windows() { return st::Windows ? st::Windows() : std::vector<st::WindowEntry>{}; }
bool Lookup(HWND hwnd, st::WindowEntry* out) { return st::Lookup && st::Lookup(hwnd, out); }
bool IsAlive(HWND hwnd) { return st::IsAlive && st::IsAlive(hwnd); }
bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result) {
    return st::SendCopyData && st::SendCopyData(target, from, data, timeoutMs, result);
}
bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    return st::PostRemote && st::PostRemote(target, msg, wParam, lParam);
}
void SetDeliveryHook(st::DeliverFn fn) {
    if (st::SetDeliveryHook) st::SetDeliveryHook(fn);
}

}  // namespace platform::win::station_link
