// Finds running processes by the file name of their executable, closes and if need be ends
// them, and starts programs hidden. The installer plug-in, the player and the request library
// each build it in their own variant.
#pragma once

#include <vector>

#include "platform/kernel/process.h"

enum class FinderVariant {
    Installer,       // WM_CLOSE is sent and answered before the wait starts
    Player,          // WM_CLOSE is posted
    RequestLibrary,  // no closing operation
};

class CProcessFinder {
public:
    explicit CProcessFinder(FinderVariant variant = FinderVariant::Installer) : variant_(variant) {}
    ~CProcessFinder() { Free(); }
    CProcessFinder(const CProcessFinder&) = delete;
    CProcessFinder& operator=(const CProcessFinder&) = delete;

    void Load();
    void Free();

    // The first other process of that name, opened for waiting and ending (inheritable); null
    // when none runs, or with ERROR_ACCESS_DENIED when every match is closed to us.
    HANDLE OpenProcessByName(const wchar_t* exeName, DWORD* processId);
    // True when another process of that name exists, also one we may not open.
    bool IsProcessRunning(const wchar_t* exeName);
    // Asks every process of that name to close, waits up to the grace time, ends those still
    // there and waits for them; true when none was found or all have ended.
    bool KillProcessByName(const wchar_t* exeName, DWORD graceMs);

    // Entry points resolved by Load; the system query stands in when a Toolhelp one is missing.
    using SnapshotFn = HANDLE (*)(DWORD, DWORD);
    using WalkFn = BOOL (*)(HANDLE, PROCESSENTRY32W*);
    using QueryFn = NTSTATUS (*)(ULONG, PVOID, ULONG, ULONG*);
    SnapshotFn pCreateToolhelp32Snapshot = nullptr;
    WalkFn pProcess32First = nullptr;
    WalkFn pProcess32Next = nullptr;
    QueryFn pZwQuerySystemInformation = nullptr;

private:
    // Ids of every other process of that name; false when no walk was possible.
    bool FindAll(const wchar_t* exeName, std::vector<DWORD>* pids);

    FinderVariant variant_;
    bool loaded_ = false;
};

// Starts a command line without showing a window; a failure is ignored. The narrow form is the
// installer's and the request library's, the wide one the player's.
void StartHiddenProcess(const char* commandLine);
void StartHiddenProcess(const wchar_t* commandLine);
