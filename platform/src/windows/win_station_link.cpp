// The window core's one road to the window station.
#include "win_internal.h"

namespace platform::win::station_link {
namespace st = platform::station;

void Publish(const st::WindowEntry& entry) { st::Publish(entry); }
void Withdraw(HWND hwnd) { st::Withdraw(hwnd); }
std::vector<st::WindowEntry> Windows() { return st::Windows(); }
bool Lookup(HWND hwnd, st::WindowEntry* out) { return st::Lookup(hwnd, out); }
bool IsAlive(HWND hwnd) { return st::IsAlive(hwnd); }
bool SendCopyData(HWND target, HWND from, const COPYDATASTRUCT& data, DWORD timeoutMs, LRESULT* result) {
    return st::SendCopyData(target, from, data, timeoutMs, result);
}
bool SendSetText(HWND target, WPARAM wParam, const std::wstring& text, DWORD timeoutMs, LRESULT* result) {
    return st::SendSetText(target, wParam, text, timeoutMs, result);
}
bool PostRemote(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) { return st::PostRemote(target, msg, wParam, lParam); }
void SetDeliveryHook(st::DeliverFn fn) { st::SetDeliveryHook(fn); }

}  // namespace platform::win::station_link
