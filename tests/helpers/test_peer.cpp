// A second process for the platform and download tests. It lives at most a minute.
//   window <class> <title> [--ignore-close] [--exit-on-copydata] [--log FILE] [name=value ...]
//       announces one window; WM_COPYDATA answers a hash of its data (dwData 0xDEAD hangs,
//       0x5000 + n waits n ms first; with --exit-on-copydata the process ends instead of
//       answering), WM_SETTEXT answers the length of its text,
//       WM_USER+1 answers wParam + lParam, WM_CLOSE ends the process at once unless ignored;
//       every message is appended to the log as "msg wparam lparam".
//   raw <hwnd> <msg>,<wparam>,<lparam> ...
//       sends each message to the window as plain numbers, once by send and once by post, and
//       ends with the number of them that its station took
//   sem <name> <file>   creates the semaphore and writes "new" or "exists" to the file
//   sleep               just lives
//   record <file> ARGS  writes its arguments, one a line, to the file and ends
//   exit <code>         ends with that code
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <string>
#include <thread>

#include "platform/windows/station.h"
#include "platform/kernel/sync.h"

namespace {

bool g_ignoreClose = false;
bool g_exitOnCopyData = false;
std::string g_log;

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

LRESULT Hook(HWND, UINT msg, WPARAM wParam, LPARAM lParam, bool) {
    if (!g_log.empty()) {
        std::ofstream(g_log, std::ios::app) << msg << ' ' << wParam << ' ' << lParam << '\n';
    }
    if (msg == WM_COPYDATA) {
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (g_exitOnCopyData) std::_Exit(0);
        if (cds->dwData == 0xDEAD) std::this_thread::sleep_for(std::chrono::seconds(60));
        if (cds->dwData >= 0x5000 && cds->dwData < 0x6000)
            std::this_thread::sleep_for(std::chrono::milliseconds(cds->dwData - 0x5000));
        std::uint32_t h = 2166136261u;
        for (DWORD i = 0; i < cds->cbData; ++i) h = (h ^ static_cast<const unsigned char*>(cds->lpData)[i]) * 16777619u;
        return static_cast<LRESULT>(h);
    }
    if (msg == WM_SETTEXT) return static_cast<LRESULT>(std::wcslen(reinterpret_cast<const wchar_t*>(lParam)));
    if (msg == WM_USER + 1) return static_cast<LRESULT>(wParam) + lParam;
    // At once, as a window whose close ends its program may: a post has had its answer by then.
    if (msg == WM_CLOSE && !g_ignoreClose) std::_Exit(0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(60));
        std::_Exit(3);
    }).detach();
    std::string mode = argc > 1 ? argv[1] : "sleep";
    if (mode == "window" && argc >= 4) {
        platform::station::WindowEntry e;
        e.hwnd = MakeWindowHandle(static_cast<std::uint32_t>(::getpid()), 1);
        e.className = Widen(argv[2]);
        e.title = Widen(argv[3]);
        for (int i = 4; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--ignore-close") {
                g_ignoreClose = true;
            } else if (a == "--exit-on-copydata") {
                g_exitOnCopyData = true;
            } else if (a == "--log" && i + 1 < argc) {
                g_log = argv[++i];
            } else if (auto eq = a.find('='); eq != std::string::npos) {
                e.props.emplace_back(Widen(a.substr(0, eq)),
                                     reinterpret_cast<HANDLE>(std::strtoull(a.c_str() + eq + 1, nullptr, 10)));
            }
        }
        platform::station::SetDeliveryHook(&Hook);
        platform::station::Publish(e);
    } else if (mode == "sem" && argc >= 4) {
        HANDLE h = CreateSemaphoreW(nullptr, 1, 1, Widen(argv[2]).c_str());
        bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
        std::string tmp = std::string(argv[3]) + ".tmp";
        std::ofstream(tmp) << (h ? (existed ? "exists" : "new") : "failed");
        std::rename(tmp.c_str(), argv[3]);
    } else if (mode == "record" && argc >= 3) {
        std::string tmp = std::string(argv[2]) + ".tmp";
        {
            std::ofstream out(tmp);
            for (int i = 3; i < argc; ++i) out << argv[i] << '\n';
        }
        std::rename(tmp.c_str(), argv[2]);
        return 0;
    } else if (mode == "raw" && argc >= 3) {
        HWND target = reinterpret_cast<HWND>(std::strtoull(argv[2], nullptr, 10));
        int taken = 0;
        for (int i = 3; i < argc; ++i) {
            unsigned long long msg = 0, wParam = 0;
            long long lParam = 0;
            if (std::sscanf(argv[i], "%llu,%llu,%lld", &msg, &wParam, &lParam) != 3) return 101;
            LRESULT ignored = 0;
            taken += platform::station::SendRemote(target, static_cast<UINT>(msg), wParam, lParam, 5000, &ignored);
            taken += platform::station::PostRemote(target, static_cast<UINT>(msg), wParam, lParam);
        }
        return std::min(taken, 100);
    } else if (mode == "exit" && argc >= 3) {
        return std::atoi(argv[2]);
    }
    for (;;) ::pause();
}
