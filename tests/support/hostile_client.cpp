#include "support/hostile_client.h"

#include <sys/wait.h>

#include <string>

#include "support/child.h"

namespace testsupport {

std::vector<RawMessage> PointerMessages() {
    const LPARAM bad = 0x4141414141;
    return {
        {"WM_SETTEXT", WM_SETTEXT, 0, bad},
        {"WM_GETTEXT", WM_GETTEXT, 64, bad},
        {"WM_COPYDATA", WM_COPYDATA, 0, bad},
        {"WM_CREATE", WM_CREATE, 0, bad},
        {"WM_NCCREATE", WM_NCCREATE, 0, bad},
        {"WM_GETMINMAXINFO", WM_GETMINMAXINFO, 0, bad},
        {"WM_WINDOWPOSCHANGING", WM_WINDOWPOSCHANGING, 0, bad},
        {"WM_WINDOWPOSCHANGED", WM_WINDOWPOSCHANGED, 0, bad},
        {"WM_NCCALCSIZE", WM_NCCALCSIZE, 1, bad},
        {"WM_ERASEBKGND", WM_ERASEBKGND, static_cast<WPARAM>(bad), 0},
        {"WM_NCPAINT", WM_NCPAINT, static_cast<WPARAM>(bad), 0},
        {"WM_DROPFILES", WM_DROPFILES, static_cast<WPARAM>(bad), 0},
        {"WM_TIMER", WM_TIMER, 1, bad},
        {"WM_INITDIALOG", WM_INITDIALOG, 0, bad},
        {"WM_NOTIFY", 0x004E, 0, bad},
        {"WM_DRAWITEM", 0x002B, 0, bad},
        {"WM_SIZING", 0x0214, 2, bad},
        {"WM_STYLECHANGED", 0x007D, 0, bad},
        {"WM_SETTINGCHANGE", 0x001A, 0, bad},
    };
}

int SendRawFromAnotherProcess(HWND target, const std::vector<RawMessage>& messages) {
    std::vector<std::string> argv{PeerProgram(), "raw", std::to_string(reinterpret_cast<std::uint64_t>(target))};
    for (const RawMessage& m : messages)
        argv.push_back(std::to_string(m.msg) + "," + std::to_string(m.wParam) + "," + std::to_string(m.lParam));
    Child client(argv);
    int status = 0;
    if (!client.waitFor(&status, std::chrono::seconds(120)) || !WIFEXITED(status) || WEXITSTATUS(status) > 100)
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace testsupport
