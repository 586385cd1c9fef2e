// The player's main window: the logo, music, buffering and video panes of "Morvane.xml", the
// player control, and the satellite windows docked around it (play list, caption bar, play panel,
// settings window, tool tip). One object exists, reachable through g_pMainWnd.
//
// The code is split by concern:
//   main_wnd.cpp            construction, InitWindow, the video surface, placement, closing
//   main_wnd_satellites.cpp creating the satellite windows (the windows' owners fill it in)
//   main_wnd_input.cpp      keys, mouse, full screen, sizing (HandleInputMessage)
//   main_wnd_threads.cpp    the start-up worker and the auto-hide threads
//   main_wnd_list.cpp       the main window's calls into the play list
//   main_wnd_play.cpp       what plays: open, resume, engine events, next, tips
//   main_wnd_media.cpp      subtitles, snapshots, file information
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "player/app/instance.h"
#include "player/main_window/auto_hide.h"
#include "player/main_window/main_wnd_messages.h"
#include "player/engine/player_ctrl.h"
#include "player/skin_window/xml_wnd.h"

class CPlayPanelWnd;
class CCaptionWnd;
class ICaptionOwner;
class IPlayPanelOwner;
class CPlayListWnd;
class CSettingWnd;
class CWndUI;
namespace skinui {
class CWzToolTip;
}

// The main window's title (the single-instance names are in player/app/instance.h).
inline constexpr const wchar_t* kMainWndTitle = L"Morvane";

// Layout names of the main window.
inline constexpr const wchar_t* kMainWndLayout = L"Morvane.xml";
inline constexpr int kMainWndMinWidth = 480;
inline constexpr int kMainWndMinHeight = 270;
// How long a hint stays.
inline constexpr UINT kTipShowTimeMs = 2500;
inline constexpr int kTipMinWidth = 240;
// How long a hint stays: the usual time, longer for a text that takes longer to read.
inline UINT TipShowTimeMs(const std::wstring& text) {
    return std::max<UINT>(kTipShowTimeMs, static_cast<UINT>(text.size()) * 250);
}

// Hint texts.
inline constexpr const wchar_t* kTipFileBroken = L"文件损坏或文件格式不支持，无法播放";
inline constexpr const wchar_t* kTipFileMissing = L"文件已经不存在了，无法播放";
inline constexpr const wchar_t* kTipSubtitleLoaded = L"手动加载字幕成功";
inline constexpr const wchar_t* kTipSubtitleFailed = L"手动加载字幕失败";
inline constexpr const wchar_t* kTipSubtitlesFound = L"已加载字幕";
inline constexpr const wchar_t* kTipSnapshotDone = L"截图成功，可直接粘贴";
inline constexpr const wchar_t* kTipClipboardFailed = L"保存到剪贴板失败";

// The open dialogs' titles: the commands that open them, less the dots of the menu.
inline constexpr const wchar_t* kOpenFileDialogTitle = L"打开文件";
inline constexpr const wchar_t* kSubtitleDialogTitle = L"手动载入字幕";

// The main window's notification map: "click" from any control to OnClick.
extern const skinui::DUI_MSGMAP g_MainWndMessageMap;

class CMorvaneWnd : public CWzXMLWnd {
public:
    explicit CMorvaneWnd(const std::wstring& startPath);
    ~CMorvaneWnd() override;

    const skinui::DUI_MSGMAP* GetMessageMap() const override;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    skinui::CControlUI* CreateControl(const wchar_t* pstrClass) override;
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

    // ---- placement (main_wnd.cpp)
    void SetDefaultWindowSize(UINT monitorWidth);
    static SIZE DefaultWindowSize(UINT monitorWidth);
    // The z order the settings ask for at start: top-most only in mode 1.
    void ApplyStartZOrder();
    // What closing does before the process ends: the window stops being the running instance,
    // then the placement, the current position and the play list are saved, every window is
    // hidden and the agent is stopped. Nothing here waits on the network; the threads end with
    // the process.
    void Shutdown();
    // Asks the association agent to end (what the entry's tail does on the other road).
    void StopAgentAtExit();

    // ---- satellites (main_wnd_satellites.cpp)
    void CreateSatelliteWindows();
    // The settings window, made at its first use.
    CSettingWnd* SettingWindow();
    void CreateSettingWindow();
    // At WM_DESTROY, after the threads stopped.
    void DestroySatelliteWindows();
    // Shows a hint in the tool tip window (ShowTip keeps the text).
    void ShowTipWindow(const std::wstring& text);
    // The window the engine reports to: the play panel once it exists, else the main window.
    HWND PlayerNotifyWnd() const;

    // ---- input (main_wnd_input.cpp): true when the message was taken, with its result.
    bool HandleInputMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void SetFullScreen(bool on);
    void ToggleFullScreen();
    void OnHotKey(UINT key, WORD mask);
    void OnSizing(RECT* rc);
    void OnGetMinMaxInfo(MINMAXINFO* mmi);
    void SaveWindowRect();
    // Writes the placement that a move or size of the last moments still waits to write.
    void SavePendingWindowRect();
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    void OnSingleClick();
    // The video's context menu at a packed point (screen coordinates when `screen`, else the
    // video surface's client coordinates).
    void ShowRButtonMenu(LPARAM packed, bool screen);
    void ShowSettingWnd();
    void ShowAndRaise();
    void ToggleMute();
    void SetVolume(int volume);

    // ---- threads (main_wnd_threads.cpp)
    void StartThreads();
    void StopThreads();
    // Runs fn on the UI thread (posted; dropped when the window is gone).
    void RunOnUi(std::function<void()> fn);

    // ---- play list (main_wnd_list.cpp)
    // The name of the item after the current one, empty at the end (the play panel's notice).
    std::wstring ListGetNextName();
    void ListPlayNext();
    void ListPlayPrevious();
    // The play-list window and its paint manager, null while it does not exist.
    HWND PlayListHwnd();
    skinui::CPaintManagerUI* PlayListPaintManager();
    void FollowPlayList();
    std::wstring ListCurrentPath();
    void ListSetCurrentItem(const std::wstring& path, int state);
    bool ListIsLastItem(const std::wstring& path);
    void ListAddFile(const std::wstring& path);
    void ListAddFiles(const std::vector<std::wstring>& paths);
    // The play-list window still waits for the settings store's read of a long list: a play
    // goes on without its record, which follows when the read is done.
    bool ListAwaitsRead() const;
    // Waits for that read; what was kept meanwhile is done then.
    void ListFinishRead();
    void ListPlayNextByOrder(int order);
    // The selected row's path, empty without a selection; ListPlaySelected plays it.
    std::wstring ListSelectedPath();
    void ListPlaySelected();
    void ListSetCurrentItemProgress(std::int64_t seconds, int permille);
    void ListMarkItem(const std::wstring& path, bool bad);
    // Adds the dropped files and folders; the first added path, empty when none was.
    std::wstring ListOnDropFiles(HDROP drop);
    void ListSave();
    void ListApplyClearOptions();

    // ---- playback (main_wnd_play.cpp)
    void PlayFile(const std::wstring& path);
    void SetPlayState(bool play);
    void Stop();
    // The stored position of the current file, and its record for the position writes (the
    // file is added when the list lacks it).
    int GetResumePosition();
    // The same without the position: at once, or when a long list's read is done.
    void FollowCurrentRecord();
    void OpenFileDialog();
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    void OnDropFiles(HDROP drop);
    // Engine events: true when the message was one of them (and from the current player).
    bool OnPlayerMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void OnFirstPlaying();
    LRESULT OnPlaying();
    LRESULT OnEndReached();
    void OnPlayError();
    void ShowMediaPane(bool show);
    void FitWindowToVideo();
    void ShowTip(const std::wstring& text);
    // The last hint shown (what the tool tip says).
    std::wstring GetLastTip() const;
    bool IsMediaOpen() const { return playerCtrl.HasPlayer(); }
    // Writes the engine's position into the current record (and PlayList.info) when positions
    // are kept.
    void SaveCurrentPosition();

    // ---- media (main_wnd_media.cpp)
    void LoadSubtitleByDialog();
    int AutoLoadSubtitles(const std::wstring& folder, const std::wstring& name);
    void TakeSnapshot();
    bool CopySnapshotToClipboard(const std::wstring& file);
    void ShowFileInfo(const std::wstring& path);

    // ---- members
    CPlayerCtrl playerCtrl;
    std::wstring strCurrentTitle;
    std::wstring strCurrentPath;
    int bPressPending = 0;
    int bDoubleClickSeen = 0;
    int bPlayingSeen = 0;
    int nPressX = 0, nPressY = 0;
    CPlayPanelWnd* pPlayPanel = nullptr;
    CCaptionWnd* pCaption = nullptr;
    // The caption bar's and the play panel's view of this window (main_wnd_satellites.cpp).
    std::unique_ptr<ICaptionOwner> pCaptionOwner;
    std::unique_ptr<IPlayPanelOwner> pPanelOwner;
    CPlayListWnd* pPlayList = nullptr;
    HWND hVideoSurface = nullptr;
    CSettingWnd* pSettingWnd = nullptr;
    int bRightMenuArmed = 1;
    std::atomic<int> bPanelShowPlain{0}, bCaptionListShowPlain{0};
    CAutoHideThreads autoHideThreads;
    std::unique_ptr<IAutoHideHost> pPanelHost, pCaptionHost;
    std::jthread hStartupThread;
    std::atomic<int> bPollersRun{1};
    std::atomic<int> bSeekDragActive{0};
    int nEdgeHitCode = 0;
    WINDOWPLACEMENT wpNormal{};
    RECT rcLast{0, 0, 0, 0};
    double dVideoAspect = 0.0;
    skinui::CWzToolTip* pToolTip = nullptr;
    int bCursorHideAllowed = 1;
    std::wstring strLaunchCommandLine;
    // The per-medium work of the first Playing event that must not repeat on a resume.
    bool bPlayingReported = false;
    // How many plays were asked for (PlayFile calls): the start-up worker's play of the start
    // file gives way to any asked for after the worker started.
    unsigned nPlayRequests = 0;
    // The last snapshot's time stamp and how many were taken in that second.
    std::wstring strLastSnapStamp;
    int nSnapInSecond = 0;

private:
    void RunQueuedUiCalls();
    std::mutex uiCallsLock;
    std::vector<std::function<void()>> uiCalls;  // RunOnUi's, in order
    // input (main_wnd_input.cpp)
    void FollowSatellites();
    void UpdateCaptionZoomButtons();
    void UpdateFullScreenButtons(bool on);
    void OnVideoMouseMove(LPARAM lParam);
    void OnVideoLeftRelease();
    void OnVideoDoubleClick();
    bool CursorOverBars() const;
    void OnCursorHideTimer();
    void SaveWindowRectSoon();
    static void SetControlVisible(skinui::CPaintManagerUI* pm, const wchar_t* name, bool visible);
    // satellites (main_wnd_satellites.cpp)
    void CreateCaptionAndPanel();

    // The open-file dialog over the main window with a title and filter; false on cancel.
    bool RunOpenDialog(const wchar_t* title, const std::wstring& filter, std::wstring* chosen);
    void PlaceWindow();
    skinui::CControlUI* Find(const wchar_t* name);
    void SetVisibleByName(const wchar_t* name, bool visible);
    std::wstring strLastTip;
};

extern CMorvaneWnd* g_pMainWnd;

// The window procedure of the video surface (its previous procedure in g_pfnVideoSurfaceProc).
LRESULT CALLBACK VideoSurfaceProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
extern WNDPROC g_pfnVideoSurfaceProc;

// Subtitle files beside a video: equal names without their extensions (case-insensitive), and
// the candidate's extension one of the automatic-load extensions.
bool IsMatchingSubtitleFile(const std::wstring& videoName, const std::wstring& candidate);
