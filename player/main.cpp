// The player's entry: one instance per user, the settings, and the main window's message loop.
#include <unistd.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "download/process_finder.h"
#include "platform/shell/com.h"
#include "platform/kernel/module.h"
#include "platform/kernel/runtime_dir.h"
#include "platform/kernel/sync.h"
#include "player/app/crash_handler.h"
#include "player/settings/file_assoc_client.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_player.h"
#include "player/settings/sys_config.h"
#include "player/app/user_data.h"
#include "player/app/utils.h"

int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring file;
    ParseCmdLineFile(GetCommandLineW(), file);

    // Without a runtime folder it can trust the player still plays, but a second start cannot
    // find it and the agent cannot be reached: the user is told why.
    for (const char* sub : {"sync", "station"}) {
        if (std::string why = platform::RuntimeDirProblem(sub); !why.empty()) {
            std::fprintf(stderr, "morvane: %s; other starts will not find this one\n", why.c_str());
            break;
        }
    }

    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, kInstanceSemaphore);
    if (semaphore && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND running = FindRunningInstanceWindow()) {
            return HandOverToRunningInstance(running, file.c_str(), GetCommandLineW()) ? 0 : 1;
        }
        // The first instance has no window (yet): this one becomes a full instance too.
    }

    InstallCrashHandler();

    const std::wstring folder = platform::ModuleFolder();
    g_SysConfig.SetConfigPath(folder + L"user.cfg");
    g_SysConfig.SetPlayListPath(folder + L"PlayList.info");
    // A long play list is read while the window is made and shown.
    g_SysConfig.Load(true, file);

    CoInitialize(nullptr);
    if (FAILED(CoInitialize(nullptr))) return 0;

    const std::wstring startPath = file;
    CreateMutexW(nullptr, FALSE, kInstanceMutex);

    auto* mainWnd = new CMorvaneWnd(startPath);
    mainWnd->Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE | WS_EX_ACCEPTFILES,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    mainWnd->ApplyStartZOrder();
    mainWnd->ShowModal();

    delete mainWnd;
    CoUninitialize();
    CloseHandle(semaphore);
    CProcessFinder finder(FinderVariant::Player);
    CloseElevatedHelper(finder);
    finder.Free();
    g_SysConfig.FlushPlayList();
    // A report still waiting for its server runs inside the request library: the exit destructors
    // must not take the library's state from under it, and nothing is left for them to save.
    if (CUserData::RequestsUnderWay()) ::_exit(0);
    return 0;
}

int main(int argc, char** argv) {
    // Before anything opens the display.
    InitVideoThreads();
    // A file named from a terminal is relative to the caller's folder: made absolute here, it is
    // the same file to a running instance that gets it handed over and in the play list.
    std::vector<std::string> args(argv, argv + argc);
    std::error_code ec;
    if (args.size() > 1) args[1] = AbsoluteFileArgument(args[1], std::filesystem::current_path(ec).string());
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    SetCommandLineFromArgv(argc, pointers.data());
    return wWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOWNORMAL);
}
