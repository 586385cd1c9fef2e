// The player's side of the agent: start it, hand it the choices, close it.
#include "player/settings/file_assoc_client.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <thread>
#include <vector>

#include "common/agent_window.h"
#include "common/convert.h"
#include "download/process_finder.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/kernel/module_names.h"
#include "platform/kernel/process.h"
#include "platform/windows/winuser.h"
#include "platform/windows/station.h"
#include "player/settings/assoc_table.h"
#include "player/settings/sys_config.h"

HWND g_hAgentWnd = nullptr;

namespace {

constexpr int kAgentSearchTries = 20;
constexpr auto kAgentSearchStep = std::chrono::milliseconds(100);
constexpr DWORD kAgentCloseGraceMs = 1000;
// Ending is asynchronous; the player waits this long to see the agent really gone.
constexpr DWORD kAgentEndWaitMs = 5000;
constexpr size_t kCommandBufferSize = 256;

HWND FindAgentWindow() { return FindWindowW(nullptr, kAgentWindowTitle); }

std::wstring AgentProgramPath() { return platform::ModuleFolder() + platform::MapModuleName(std::wstring(kAgentProgramName)); }

bool ProcessEnded(HANDLE process) {
    DWORD code = 0;
    return process && GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
}

// Starts the agent beside the player; null when its file is missing or it could not start.
HANDLE StartAgent() {
    const std::wstring path = AgentProgramPath();
    if (!PathFileExistsW(path.c_str())) return nullptr;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = IsVistaOrLater() ? L"runas" : L"open";
    info.lpFile = path.c_str();
    info.lpParameters = L"";
    info.nShow = SW_HIDE;
    ShellExecuteExW(&info);
    return info.hProcess;
}

// The started agent's window, looked for up to 2 s; an agent that ended (a second one, or one
// that failed) ends the search at once, after one last look for the window of the first.
HWND WaitForAgentWindow(HANDLE started) {
    for (int i = 0; i < kAgentSearchTries; ++i) {
        std::this_thread::sleep_for(kAgentSearchStep);
        if (HWND h = FindAgentWindow()) return h;
        if (ProcessEnded(started)) return FindAgentWindow();
    }
    return nullptr;
}

bool SendAgentCommand(char op, const std::string& icon, const std::string& ext) {
    if (!g_hAgentWnd) return false;
    char buffer[kCommandBufferSize] = {};
    int n = std::snprintf(buffer, sizeof buffer, "%c-%s-%s", op, ext.c_str(), icon.c_str());
    // A text the buffer cannot hold whole is not sent cut short.
    if (n < 0 || static_cast<size_t>(n) >= sizeof buffer) return false;
    COPYDATASTRUCT cds{0, static_cast<DWORD>(n + 1), buffer};
    LRESULT ignored = 0;
    return platform::station::SendCopyData(g_hAgentWnd, nullptr, cds, kAgentCommandTimeoutMs, &ignored);
}

bool IsAgentProcess(DWORD pid) {
    const std::wstring mapped = platform::MapModuleName(std::wstring(kAgentProgramName));
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap, &e); ok && !found; ok = Process32NextW(snap, &e)) {
        if (e.th32ProcessID != pid) continue;
        const wchar_t* slash = std::wcsrchr(e.szExeFile, L'/');
        const wchar_t* name = slash ? slash + 1 : e.szExeFile;
        found = wcscasecmp(name, kAgentProgramName) == 0 || wcscasecmp(name, mapped.c_str()) == 0;
    }
    CloseHandle(snap);
    return found;
}

BOOL CollectAgentProcesses(HWND hwnd, LPARAM out) {
    wchar_t title[128] = L"";
    GetWindowTextW(hwnd, title, 128);
    if (std::wstring(title) != kAgentWindowTitle) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    auto* pids = reinterpret_cast<std::vector<DWORD>*>(out);
    if (pid && pid != GetCurrentProcessId()) {
        bool seen = false;
        for (DWORD p : *pids) seen = seen || p == pid;
        if (!seen) pids->push_back(pid);
    }
    return TRUE;
}

}  // namespace

bool SendAssocSetCommand(const std::string& icon, const std::string& ext) { return SendAgentCommand('S', icon, ext); }

bool SendAssocRemoveCommand(const std::string& icon, const std::string& ext) {
    return SendAgentCommand('R', icon, ext);
}

bool ApplyFileAssociations(bool settingsVisible, const std::function<bool(const std::wstring& boxName)>& isChecked) {
    g_hAgentWnd = FindAgentWindow();
    if (settingsVisible && !g_hAgentWnd) {
        HANDLE started = StartAgent();
        if (started) {
            g_hAgentWnd = WaitForAgentWindow(started);
            CloseHandle(started);
        }
    }

    // The choices are kept even when no agent can be reached.
    for (const wchar_t* ext : AssocExtensions) g_SysConfig.mapFileAssoc[ext] = isChecked && isChecked(ext) ? 1 : 0;
    for (const wchar_t* cat : AssocCategoryNames) g_SysConfig.mapFileAssoc[cat] = isChecked && isChecked(cat) ? 1 : 0;
    g_SysConfig.SaveFileAssoc();

    if (!g_hAgentWnd) return false;
    for (const wchar_t* entry : AssocExtensions) {
        const std::string ext = WideToAcp(entry + 1);
        std::string icon = ext;
        for (char& c : icon) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        icon += ".ico";
        bool sent = g_SysConfig.mapFileAssoc[entry] ? SendAssocSetCommand(icon, ext) : SendAssocRemoveCommand(icon, ext);
        // An agent that stopped answering would hold the player for every further command.
        if (!sent) return false;
    }
    return true;
}

BOOL PostCloseToProcessWindows(HWND hwnd, LPARAM processId) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == static_cast<DWORD>(processId)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

bool CloseElevatedHelper(CProcessFinder& finder) {
    if (!finder.pCreateToolhelp32Snapshot && !finder.pZwQuerySystemInformation) finder.Load();
    if (!finder.IsProcessRunning(kAgentProgramName)) return true;

    // The agent to close is the one this player reaches through its windows; an agent of
    // another session is not ours to end.
    std::vector<DWORD> pids;
    EnumWindows(CollectAgentProcesses, reinterpret_cast<LPARAM>(&pids));
    bool allEnded = true;
    for (DWORD pid : pids) {
        if (!IsAgentProcess(pid)) continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        if (!process) {
            allEnded = false;
            continue;
        }
        EnumWindows(PostCloseToProcessWindows, static_cast<LPARAM>(pid));
        if (WaitForSingleObject(process, kAgentCloseGraceMs) != WAIT_OBJECT_0) {
            TerminateProcess(process, 0);
            if (WaitForSingleObject(process, kAgentEndWaitMs) != WAIT_OBJECT_0) allEnded = false;
        }
        CloseHandle(process);
    }
    return allEnded;
}
