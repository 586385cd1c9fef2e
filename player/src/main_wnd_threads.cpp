// The threads the main window starts: the start-up worker and the two auto-hide pollers. Their
// work on windows and the play list runs on the UI thread (RunOnUi).
#include "player/main_wnd.h"

#include "player/sys_config.h"

void CMorvaneWnd::StartThreads() {
    // The start path plays once the message loop runs.
    const std::wstring start = strCurrentPath;
    if (!start.empty()) {
        RunOnUi([this, start] {
            if (g_SysConfig.bAddSimilarFile) ListAddFiles({start});
            PlayFile(start);
        });
    }
}

void CMorvaneWnd::StopThreads() {
    bPollersRun = 0;
    if (hPanelThread.joinable()) hPanelThread.join();
    if (hCaptionThread.joinable()) hCaptionThread.join();
}
