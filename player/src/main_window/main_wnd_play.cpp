// What plays: opening a path (resume, second start, drop), play and pause, stop, the engine's
// events with their hints, moving on when a medium ends, fitting the window to the video.
#include <string>

#include "common/convert.h"
#include "platform/kernel/files.h"
#include "platform/profile/profile.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_types.h"
#include "player/dialogs/open_url.h"
#include "player/main_window/overlay_logic.h"
#include "player/play_list/play_list_wnd.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/settings/sys_config.h"
#include "player/app/user_data.h"
#include "player/app/utils.h"
#include "skinui/control.h"

namespace {

bool IsAddress(const std::wstring& path) { return IsSupportedURL(WideToUtf8(path)); }

std::wstring FileNamePart(const std::wstring& path) {
    size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

RECT WorkAreaOf(HWND hwnd) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi)) return mi.rcWork;
    return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

void SetTopMost(HWND hwnd, bool on) {
    ::SetWindowPos(hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

// Makes the cursor visible again, leaving the display count at 0.
void ShowCursorAgain() {
    if (::ShowCursor(TRUE) == 1) ::ShowCursor(FALSE);
}

void ForceForeground(HWND hwnd) {
    ::SetForegroundWindow(hwnd);
    ::BringWindowToTop(hwnd);
}

}  // namespace

// The start source of a usage report: from the second start's command line when one came, else
// how this medium was reached.
static std::wstring ReportSource(const std::wstring& launchCommandLine, const wchar_t* fallback) {
    return launchCommandLine.empty() ? std::wstring(fallback) : ParsePlaySource(launchCommandLine);
}

void CMorvaneWnd::PlayFile(const std::wstring& path) {
    ++nPlayRequests;
    if (path.empty() || (path == ListCurrentPath() && !IsAddress(strCurrentPath))) {
        if (!IsMediaOpen() || !playerCtrl.IsPlaying()) SetPlayState(true);
        ListSetCurrentItem(strCurrentPath, 0);
        return;
    }
    strCurrentPath = path;
    ListSetCurrentItem(path, 0);
    strCurrentTitle = FileNamePart(path);
    FollowCurrentRecord();
    // The replaced player's Stopped event is dropped as stale, so the new medium starts afresh here.
    bPlayingSeen = 0;
    bPlayingReported = false;
    playerCtrl.OpenMedia(path);
    ShowTip(strCurrentTitle);
    if (pPlayPanel) pPlayPanel->EnablePlayNext(!ListIsLastItem(path));
}

void CMorvaneWnd::FollowCurrentRecord() {
    if (!g_SysConfig.bSavePlayInfo) return;
    // The record of a long list still being read, or its add, and with it the section of the
    // position writes, follow the read; the open does not wait for it, nor for the list's head.
    if (ListAwaitsRead()) {
        g_SysConfig.strCurSection.clear();
        pPlayList->AfterRead([this] {
            if (!strCurrentPath.empty()) GetResumePosition();
        });
        return;
    }
    GetResumePosition();
}

int CMorvaneWnd::GetResumePosition() {
    if (!g_SysConfig.bSavePlayInfo) return 0;
    if (ListAwaitsRead()) {
        // The head of a long list holds the places of the start file and of [CurPlay]'s: their
        // play need not wait for the records.
        if (const PlayListHead::Place* place = g_SysConfig.WaitPlayListHead().Find(strCurrentPath)) {
            FollowCurrentRecord();
            return place->listed ? place->playPos : 0;
        }
        ListFinishRead();
    }
    auto lookup = [this]() -> const _tagMediaInfo* {
        auto it = g_SysConfig.mapPlayList.FindByPath(strCurrentPath);
        if (it == g_SysConfig.mapPlayList.end()) return nullptr;
        g_SysConfig.strCurSection = it->first;
        return &it->second;
    };
    if (const _tagMediaInfo* r = lookup()) return r->nPlayPos;
    // No record of this file: positions must not land in another file's record.
    g_SysConfig.strCurSection.clear();
    ListAddFile(strCurrentPath);
    lookup();
    return 0;
}

void CMorvaneWnd::SetPlayState(bool play) {
    if (IsMediaOpen()) {
        playerCtrl.SetPlay(play);
    } else if (strCurrentPath.empty()) {
        std::wstring cur = ListAwaitsRead() ? g_SysConfig.WaitPlayListHead().curPlay
                                            : g_SysConfig.iniPlayList.ReadString(L"CurPlay", L"strFilePath", L"");
        if (!ListSelectedPath().empty()) ListPlaySelected();
        else if (cur.empty()) OpenFileDialog();
        else PlayFile(cur);
    } else {
        std::wstring selected = ListSelectedPath();
        if (!selected.empty() && selected != strCurrentPath) {
            ListPlaySelected();
        } else {
            ListSetCurrentItem(strCurrentPath, play ? 0 : 2);
            FollowCurrentRecord();
            bPlayingSeen = 0;
            bPlayingReported = false;
            playerCtrl.OpenMedia(strCurrentPath);
        }
    }
    if (pPlayPanel) pPlayPanel->ShowPlayButton(!play);
    if (g_SysConfig.nTopMostMode == 0) SetTopMost(m_hWnd, play);
}

void CMorvaneWnd::Stop() {
    // The stored positions are cleared in the record of the file: the list must hold it.
    ListFinishRead();
    if (g_SysConfig.nTopMostMode == 0) SetTopMost(m_hWnd, false);
    if (playerCtrl.bFullScreen && ListIsLastItem(strCurrentPath)) {
        SetFullScreen(false);
        ShowCursorAgain();
    }
    if (IsMediaOpen()) playerCtrl.Stop();
    auto it = g_SysConfig.mapPlayList.find(g_SysConfig.strCurSection);
    if (it != g_SysConfig.mapPlayList.end()) {
        it->second.nPlayTime = 0;
        it->second.nPlayPos = 0;
        ListSetCurrentItemProgress(0, 0);
        g_SysConfig.iniPlayList.WriteInt(g_SysConfig.strCurSection.c_str(), L"nPlayTime", 0);
        g_SysConfig.iniPlayList.WriteInt(g_SysConfig.strCurSection.c_str(), L"nPlayPos", 0);
    }
    ListSetCurrentItem(strCurrentPath, 2);
    // The released player reports no Stopped of its own: the logo comes back here.
    bPlayingSeen = 0;
    SetVisibleByName(L"ctnClient", true);
    SetVisibleByName(L"ctnMusic", false);
    SetVisibleByName(L"wndMedia", false);
    SetVisibleByName(L"buffering", false);
}

void CMorvaneWnd::SaveCurrentPosition() {
    if (!g_SysConfig.bSavePlayInfo || !IsMediaOpen()) return;
    auto it = g_SysConfig.mapPlayList.find(g_SysConfig.strCurSection);
    if (it == g_SysConfig.mapPlayList.end()) return;
    const std::int64_t seconds = playerCtrl.GetTime() / 1000;
    const int permille = playerCtrl.GetPosition();
    it->second.nPlayTime = seconds;
    it->second.nPlayPos = permille;
    ListSetCurrentItemProgress(seconds, permille);
    const wchar_t* section = g_SysConfig.strCurSection.c_str();
    g_SysConfig.iniPlayList.WriteInt(section, L"nPlayTime", static_cast<int>(seconds));
    g_SysConfig.iniPlayList.WriteInt(section, L"nPlayPos", permille);
}

std::wstring CommandLineFromCopyData(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != 0 || !data->lpData || data->cbData < sizeof(wchar_t)) return L"";
    const auto* text = static_cast<const wchar_t*>(data->lpData);
    size_t max = data->cbData / sizeof(wchar_t), n = 0;
    while (n < max && text[n]) ++n;
    return std::wstring(text, n);
}

LRESULT CMorvaneWnd::OnCopyData(const COPYDATASTRUCT* data) {
    std::wstring commandLine = CommandLineFromCopyData(data);
    if (commandLine.empty()) return 0;
    std::wstring path;
    if (!ParseCmdLineFile(commandLine.c_str(), path) || path.empty()) return 0;
    strLaunchCommandLine = commandLine;
    if (IsMediaOpen() && path == strCurrentPath) return 0;
    if (g_SysConfig.bAddSimilarFile) ListAddFiles({path});
    PlayFile(path);
    return 0;
}

void CMorvaneWnd::OnDropFiles(HDROP drop) {
    std::wstring first = ListOnDropFiles(drop);
    if (first.empty()) return;
    if (IsMediaOpen() && first == strCurrentPath) return;
    PlayFile(first);
}

bool CMorvaneWnd::OnPlayerMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    switch (uMsg) {
    case WM_PLAYER_PLAYING:
    case WM_PLAYER_POSITION:
    case WM_PLAYER_ENDED:
    case WM_PLAYER_ERROR:
    case WM_PLAYER_STOPPED:
    case WM_PLAYER_PAUSED:
    case WM_PLAYER_BUFFERING: break;
    default: return false;
    }
    lRes = 0;
    if (!playerCtrl.IsCurrentMessage(wParam, lParam)) return true;
    switch (uMsg) {
    case WM_PLAYER_BUFFERING:
        if (!bPlayingSeen) {
            SetVisibleByName(L"ctnClient", false);
            if (Find(L"buffering")) {
                SetVisibleByName(L"wndMedia", false);
                SetVisibleByName(L"buffering", true);
            }
        }
        break;
    case WM_PLAYER_PLAYING:
        if (!bPlayingSeen) OnFirstPlaying();
        bPlayingSeen = 1;
        SetVisibleByName(L"buffering", false);
        lRes = OnPlaying();
        break;
    case WM_PLAYER_ENDED:
        bPlayingSeen = 0;
        lRes = OnEndReached();
        break;
    case WM_PLAYER_ERROR: OnPlayError(); break;
    case WM_PLAYER_STOPPED:
        bPlayingSeen = 0;
        SetVisibleByName(L"ctnClient", true);
        SetVisibleByName(L"ctnMusic", false);
        SetVisibleByName(L"wndMedia", false);
        // A player stopped while it buffered: the pane would cover the logo and turn on.
        SetVisibleByName(L"buffering", false);
        break;
    default: break;
    }
    return true;
}

void CMorvaneWnd::OnFirstPlaying() {
    int p = GetResumePosition();
    if (p > 0 && p <= 1000 && IsMediaOpen()) playerCtrl.SetPosition(p);
    playerCtrl.SetRate(1.0f);
    if (pPlayPanel) pPlayPanel->ResetPlayRate();
    g_SysConfig.nCurSubtitle = 0;
    g_SysConfig.mapSubtitleFile.clear();
    g_SysConfig.nCurAudioTrack = 0;
    std::vector<TrackInfo> subtitles;
    playerCtrl.RefreshSubtitleList(subtitles);
    size_t slash = strCurrentPath.find_last_of(L"/\\");
    if (slash != std::wstring::npos && !IsAddress(strCurrentPath))
        AutoLoadSubtitles(strCurrentPath.substr(0, slash), strCurrentPath.substr(slash + 1));
}

LRESULT CMorvaneWnd::OnPlaying() {
    int w = playerCtrl.GetVideoWidth(), h = playerCtrl.GetVideoHeight();
    dVideoAspect = (w == 0 || h == 0) ? 0.0 : static_cast<double>(w) / h;
    ListMarkItem(strCurrentPath, false);
    ShowMediaPane(true);
    // A resume raises Playing again; what follows belongs to the medium, once.
    if (bPlayingReported) return 1;
    bPlayingReported = true;
    if (g_SysConfig.bScalePlayWnd) FitWindowToVideo();
    g_UserData.ReportMedia(CUserData::MediaTypeOf(strCurrentPath), 1,
                           ReportSource(strLaunchCommandLine, IsAddress(strCurrentPath) ? L"URL" : L"FileAssoc"));
    strLaunchCommandLine.clear();
    if (g_SysConfig.nTopMostMode == 0) SetTopMost(m_hWnd, true);
    return 1;
}

LRESULT CMorvaneWnd::OnEndReached() {
    Stop();
    ShowCursorAgain();
    if (!IsAddress(strCurrentPath)) {
        ListPlayNextByOrder(g_SysConfig.nPlayOrder);
    } else {
        std::wstring next;
        if (TakeNextQueuedUrl(&next)) PlayFile(next);
    }
    if (::IsIconic(m_hWnd) || !::IsWindowVisible(m_hWnd)) {
        ShowWindow(true, true);
        ForceForeground(m_hWnd);
    }
    return 1;
}

void CMorvaneWnd::OnPlayError() {
    ListMarkItem(strCurrentPath, true);
    g_UserData.ReportMedia(CUserData::MediaTypeOf(strCurrentPath), 0, ReportSource(strLaunchCommandLine, L"FileAssoc"));
    strLaunchCommandLine.clear();
    // An address is no missing file: what cannot be played of it is broken or of a kind not known.
    const bool exists = IsAddress(strCurrentPath) || ::PathFileExistsW(strCurrentPath.c_str());
    ShowTip(exists ? kTipFileBroken : kTipFileMissing);
    SetVisibleByName(L"buffering", false);
    Stop();
}

void CMorvaneWnd::ShowMediaPane(bool show) {
    SetVisibleByName(L"ctnClient", !show);
    if (show) {
        const bool music = IsMusicFile(strCurrentPath.c_str());
        SetVisibleByName(L"wndMedia", !music);
        SetVisibleByName(L"ctnMusic", music);
    } else {
        SetVisibleByName(L"wndMedia", false);
        SetVisibleByName(L"ctnMusic", false);
    }
}

void CMorvaneWnd::FitWindowToVideo() {
    if (!IsMediaOpen() || IsMusicFile(strCurrentPath.c_str()) || playerCtrl.bFullScreen) return;
    const int vw = playerCtrl.GetVideoWidth(), vh = playerCtrl.GetVideoHeight();
    if (vw == 0 || vh == 0) {
        dVideoAspect = 0.0;
        return;
    }
    dVideoAspect = static_cast<double>(vw) / vh;
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (h > 0 && static_cast<double>(w) / h == dVideoAspect) return;
    // The whole window, with its caption and panel, stays on the work area of its monitor: no
    // taller or wider than it, and moved up or left where it would reach past its edge.
    const RECT work = WorkAreaOf(m_hWnd);
    const overlay::FitPlace fit = overlay::FitToVideo(rc, vw, vh, work);
    ::SetWindowPos(m_hWnd, nullptr, fit.x, fit.y, fit.width, fit.height, SWP_NOZORDER | SWP_NOACTIVATE);
    const int W = fit.width;
    ::GetWindowRect(m_hWnd, &rc);
    const int aw = rc.right - rc.left, ah = rc.bottom - rc.top;
    if (aw != W) {
        const int expectH = static_cast<int>(static_cast<long long>(aw) * vh / vw);
        ::MoveWindow(m_hWnd, rc.left, rc.top, aw, expectH, TRUE);
        if (ah != expectH) ::MoveWindow(m_hWnd, rc.left, rc.top, static_cast<int>(static_cast<long long>(ah) * vw / vh), ah, TRUE);
    }
}

void CMorvaneWnd::ShowTip(const std::wstring& text) {
    strLastTip = text;
    ShowTipWindow(text);
}

std::wstring CMorvaneWnd::GetLastTip() const { return strLastTip; }
