// Processes: starting programs (hidden, or through the shell's "open" and "runas"), the process
// list (Toolhelp-style and the native system query), opening, waiting for, and ending processes.
// Process handles are kernel handles (platform/kernel/sync.h): CloseHandle and WaitForSingleObject.
//
// Differences a caller may meet:
// - "runas" starts the program like "open": elevation is not emulated here.
// - Programs have no hidden-window start: SW_HIDE is accepted and does nothing.
// - Program names of this system's modules ("MorvaneUAC.exe", ...) are mapped to our files
//   (platform/kernel/module_names.h); the process list shows the names of the Linux executables.
// - The exit code of a process that is not our child is not known: 0, or the code given to
//   TerminateProcess.
#pragma once

#include <string>

#include "platform/kernel/sync.h"

#define PROCESS_TERMINATE 0x0001u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000u
#define PROCESS_ALL_ACCESS 0x001FFFFFu
#define STILL_ACTIVE 259u

#define STARTF_USESHOWWINDOW 0x00000001u
#define CREATE_NO_WINDOW 0x08000000u

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};
struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};
struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// The command line follows the Windows quoting rules; its first word is the program unless
// `application` is given. A program without a folder is looked up in PATH. The narrow form
// passes its bytes to the program unchanged.
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, STARTUPINFOW* startupInfo,
                    PROCESS_INFORMATION* processInformation);
BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation);

// Null with ERROR_INVALID_PARAMETER when no such process runs, ERROR_ACCESS_DENIED when it
// belongs to someone we may not signal.
HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
// Ends the process; FALSE with ERROR_ACCESS_DENIED when it has ended already or may not be ended.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// STILL_ACTIVE while it runs.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
DWORD GetProcessId(HANDLE process);
DWORD GetCurrentProcessId();

// Toolhelp snapshot of the running processes.
#define TH32CS_SNAPPROCESS 0x00000002u
struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
};
struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
};
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry);

// The native system query, for the process list only.
using NTSTATUS = LONG;
#define STATUS_SUCCESS (static_cast<NTSTATUS>(0))
#define STATUS_INVALID_INFO_CLASS (static_cast<NTSTATUS>(0xC0000003u))
#define STATUS_INFO_LENGTH_MISMATCH (static_cast<NTSTATUS>(0xC0000004u))
#define SystemProcessInformation 5
struct UNICODE_STRING {
    USHORT Length;  // bytes, without the terminating zero
    USHORT MaximumLength;
    LPWSTR Buffer;
};
// One entry per process; the first is the idle process (id 0, no name). Names lie in the buffer.
struct SYSTEM_PROCESS_INFORMATION {
    ULONG NextEntryOffset;  // 0 on the last entry
    ULONG NumberOfThreads;
    UNICODE_STRING ImageName;
    LONG BasePriority;
    HANDLE UniqueProcessId;
    HANDLE InheritedFromUniqueProcessId;
};
NTSTATUS ZwQuerySystemInformation(ULONG infoClass, PVOID buffer, ULONG length, ULONG* returnLength);

// The shell's start: "open" (or no verb) and "runas" start a program, open a file or folder with
// its default program, or an address with the default handler (GIO). "explorer.exe" with
// "/select,<path>" reveals that file in the file manager; with a folder it opens the folder.
#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SE_ERR_FNF 2
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31
struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;  // > 32 on success, else an SE_ERR_ code
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;  // with SEE_MASK_NOCLOSEPROCESS when a program was started, else null
};
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT showCmd);
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

namespace platform::process {

// Shows the file selected in the user's file manager (the desktop's file-manager service), or
// opens its folder when no such service answers. False when neither could be done.
bool RevealInFileManager(const std::wstring& path);

}  // namespace platform::process
