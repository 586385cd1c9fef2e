// The threads the main window starts: the start-up worker and the two auto-hide pollers. Their
// work on the play list and the main window runs on the UI thread (RunOnUi); the pollers' window
// calls are handed to the UI thread by the window layer.
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/windows/winuser.h"
#include "player/main_window/auto_hide.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_types.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/main_window/startup.h"
#include "player/settings/sys_config.h"
#include "player/app/user_data.h"

namespace {

// What a poller sees of its bar; every window call here runs on the UI thread.
class BarHost : public IAutoHideHost {
public:
    BarHost(CMorvaneWnd& w, BarKind kind) : w_(w), kind_(kind) {}
    bool HasMedia() override { return w_.IsMediaOpen(); }
    POINT CursorPos() override {
        POINT pt{};
        platform::GetWatchedCursorPos(&pt);
        return pt;
    }
    RECT OwnerRect() override {
        RECT rc{};
        ::GetWindowRect(w_.GetHWND(), &rc);
        return rc;
    }
    bool IsBarVisible() override { return ::IsWindowVisible(Bar()) != 0; }
    void ShowBarPlain() override { ::ShowWindow(Bar(), SW_SHOWNOACTIVATE); }
    void SlideBar(bool intoView) override {
        DWORD flags = AW_SLIDE;
        if (kind_ == BarKind::Panel)
            flags |= intoView ? AW_VER_NEGATIVE : (AW_HIDE | AW_VER_POSITIVE);
        else
            flags |= intoView ? AW_VER_POSITIVE : (AW_HIDE | AW_VER_NEGATIVE);
        ::AnimateWindow(Bar(), CAutoHidePoller::kSlideMs, flags);
    }
    void RepaintBar() override { ::SendMessageW(Bar(), WM_PLAYER_REPAINT, 0, 0); }
    bool TakeShowPlain() override {
        return (kind_ == BarKind::Panel ? w_.bPanelShowPlain : w_.bCaptionListShowPlain).exchange(0) != 0;
    }
    bool SeekDragActive() override { return w_.bSeekDragActive != 0; }
    bool HoldSet() override { return w_.pCaption && w_.pCaption->bCaptionHold.load() != 0; }
    bool TakeHold() override { return w_.pCaption && w_.pCaption->bCaptionHold.exchange(0) != 0; }

private:
    HWND Bar() const {
        if (kind_ == BarKind::Panel) return w_.pPlayPanel ? w_.pPlayPanel->GetHWND() : nullptr;
        return w_.pCaption ? w_.pCaption->GetHWND() : nullptr;
    }
    CMorvaneWnd& w_;
    BarKind kind_;
};

}  // namespace

void CMorvaneWnd::StartThreads() {
    StartupCalls calls;
    calls.addSimilarFiles = [this](const std::wstring& path) { RunOnUi([this, path] { ListAddFiles({path}); }); };
    // A play the user asked for meanwhile (a second start's file, a row, a drop) is newer than
    // the start file: that one then only joins the list, as its play would have added it.
    calls.playFile = [this, plays = nPlayRequests](const std::wstring& path) {
        RunOnUi([this, path, plays] {
            if (nPlayRequests == plays) return PlayFile(path);
            if (IsVideoFile(path.c_str()) && ::PathFileExistsW(path.c_str())) ListAddFile(path);
        });
    };
    const std::wstring start = strCurrentPath;
    const std::wstring commandLine = ::GetCommandLineW() ? ::GetCommandLineW() : L"";
    hStartupThread = std::jthread([start, commandLine, calls](std::stop_token stop) {
        StartupThreadProc(start, commandLine, g_UserData, calls, stop);
    });

    if (!pPlayPanel || !pCaption) return;
    pPanelHost = std::make_unique<BarHost>(*this, BarKind::Panel);
    pCaptionHost = std::make_unique<BarHost>(*this, BarKind::Caption);
    bPollersRun = 1;
    autoHideThreads.Start(*pPanelHost, *pCaptionHost);
}

void CMorvaneWnd::StopThreads() {
    bPollersRun = 0;
    // The pollers may be waiting for this thread to answer a window call: keep answering.
    autoHideThreads.Stop(PumpSentMessages);
    // A report that gets no answer is given up: nothing here waits on the network.
    hStartupThread.request_stop();
    if (hStartupThread.joinable()) hStartupThread.join();
}
