#include "download/process_finder.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "platform/kernel/module_names.h"
#include "platform/windows/station.h"

namespace {

constexpr DWORD kTerminateWaitMs = 5000;

std::wstring FileNamePart(const std::wstring& path) {
    auto cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

DWORD Remaining(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

}  // namespace

void CProcessFinder::Load() {
    // Our system library always has the Toolhelp walk; the query is kept for when it has not.
    pCreateToolhelp32Snapshot = &CreateToolhelp32Snapshot;
    pProcess32First = &Process32FirstW;
    pProcess32Next = &Process32NextW;
    pZwQuerySystemInformation = nullptr;
    if (!pCreateToolhelp32Snapshot || !pProcess32First || !pProcess32Next)
        pZwQuerySystemInformation = &ZwQuerySystemInformation;
    loaded_ = true;
}

void CProcessFinder::Free() {
    pCreateToolhelp32Snapshot = nullptr;
    pProcess32First = nullptr;
    pProcess32Next = nullptr;
    pZwQuerySystemInformation = nullptr;
    loaded_ = false;
}

bool CProcessFinder::FindAll(const wchar_t* exeName, std::vector<DWORD>* pids) {
    pids->clear();
    if (!loaded_ || !exeName) return false;
    const std::wstring wanted = exeName;
    const std::wstring ours = platform::MapModuleName(wanted);
    const DWORD self = GetCurrentProcessId();
    auto consider = [&](DWORD pid, const std::wstring& name) {
        std::wstring n = FileNamePart(name);
        if (pid != self && (SameName(n, wanted) || SameName(n, ours))) pids->push_back(pid);
    };

    if (pCreateToolhelp32Snapshot && pProcess32First && pProcess32Next) {
        HANDLE snap = pCreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snap == INVALID_HANDLE_VALUE) return false;
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        for (BOOL ok = pProcess32First(snap, &e); ok; ok = pProcess32Next(snap, &e)) consider(e.th32ProcessID, e.szExeFile);
        CloseHandle(snap);
        return true;
    }
    if (!pZwQuerySystemInformation) return false;

    ULONG size = 32 * 1024;
    void* buffer = nullptr;
    NTSTATUS status;
    for (;;) {
        buffer = std::malloc(size);
        if (!buffer) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        status = pZwQuerySystemInformation(SystemProcessInformation, buffer, size, nullptr);
        if (status != STATUS_INFO_LENGTH_MISMATCH) break;
        std::free(buffer);
        buffer = nullptr;
        if (size > (1u << 30)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        size *= 2;
    }
    if (status != STATUS_SUCCESS) {
        std::free(buffer);
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    auto* p = static_cast<const unsigned char*>(buffer);
    for (;;) {
        auto* spi = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(p);
        std::wstring name = spi->ImageName.Buffer
                                ? std::wstring(spi->ImageName.Buffer, spi->ImageName.Length / sizeof(wchar_t))
                                : std::wstring(L"Idle");
        if (name.size() > MAX_PATH - 1) name.resize(MAX_PATH - 1);
        consider(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(spi->UniqueProcessId)), name);
        if (spi->NextEntryOffset == 0) break;
        p += spi->NextEntryOffset;
    }
    std::free(buffer);
    return true;
}

HANDLE CProcessFinder::OpenProcessByName(const wchar_t* exeName, DWORD* processId) {
    std::vector<DWORD> pids;
    if (!FindAll(exeName, &pids)) return nullptr;
    bool denied = false;
    for (DWORD pid : pids) {
        if (HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, TRUE, pid)) {
            if (processId) *processId = pid;
            return h;
        }
        denied = denied || GetLastError() == ERROR_ACCESS_DENIED;
    }
    // A process that is there but closed to us must not pass for one that is not there.
    SetLastError(denied ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return nullptr;
}

bool CProcessFinder::IsProcessRunning(const wchar_t* exeName) {
    std::vector<DWORD> pids;
    return FindAll(exeName, &pids) && !pids.empty();
}

bool CProcessFinder::KillProcessByName(const wchar_t* exeName, DWORD graceMs) {
    if (variant_ == FinderVariant::RequestLibrary) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    std::vector<DWORD> pids;
    if (!FindAll(exeName, &pids)) return true;  // no walk possible: nothing found
    bool allEnded = true;
    std::vector<HANDLE> opened;
    for (DWORD pid : pids) {
        if (HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, TRUE, pid))
            opened.push_back(h);
        else if (GetLastError() == ERROR_ACCESS_DENIED)
            allEnded = false;  // it runs on and we cannot end it
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    // Every process of the name is asked; the send is bounded by the grace time, so a window
    // that does not answer cannot hold the caller beyond it.
    for (const auto& w : platform::station::Windows()) {
        bool ours = false;
        for (HANDLE h : opened) ours = ours || WindowHandlePid(w.hwnd) == GetProcessId(h);
        if (!ours) continue;
        if (variant_ == FinderVariant::Installer)
            platform::station::SendRemote(w.hwnd, WM_CLOSE, 0, 0, Remaining(deadline), nullptr);
        else
            platform::station::PostRemote(w.hwnd, WM_CLOSE, 0, 0);
    }
    for (HANDLE h : opened) {
        if (WaitForSingleObject(h, Remaining(deadline)) != WAIT_OBJECT_0) {
            TerminateProcess(h, 0);
            // Ending is asynchronous: the files the caller replaces next must be free.
            if (WaitForSingleObject(h, kTerminateWaitMs) != WAIT_OBJECT_0) allEnded = false;
        }
        CloseHandle(h);
    }
    return allEnded;
}

void StartHiddenProcess(const char* commandLine) {
    if (!commandLine) return;
    std::string line = commandLine;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
}

void StartHiddenProcess(const wchar_t* commandLine) {
    if (!commandLine) return;
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
}
