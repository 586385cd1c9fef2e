// Subtitles (beside the video and by dialog), snapshots and the file-information dialog.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <cwctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/convert.h"
#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/shell/shell.h"
#include "player/dialogs/dialogs.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_types.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/snapshot_options.h"
#include "player/settings/sys_config.h"
#include "skinui/msgbox.h"

namespace {

// Extensions loaded automatically when they sit beside the video under its name.
constexpr const wchar_t* kAutoSubtitleExts[] = {L".srt", L".sub", L".ssa", L".ass", L".smi", L".psb",
                                                L".idx", L".usf", L".xss", L".ssf", L".cdg", L".mks"};

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Name and extension (from the last dot, the dot included).
void SplitExt(const std::wstring& name, std::wstring& stem, std::wstring& ext) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) {
        stem = name;
        ext.clear();
    } else {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
}

// A literal with its inner NULs kept.
template <size_t N>
std::wstring Pairs(const wchar_t (&text)[N]) {
    return std::wstring(text, N - 1);
}

// The subtitle dialog's filter: pairs of a description and its patterns, each ended by a NUL.
const std::wstring kSubtitleFilter = Pairs(
    L"字幕文件(*.srt *.sub *.ssa *.ass *.smi *.psb *.txt *.idx *.usf *.xss *.ssf *.cdg *.mks)\0"
    L"*.srt;*.sub;*.ssa;*.ass;*.smi;*.psb;*.txt;*.idx;*.usf;*.xss;*.ssf;*.cdg;*.mks;\0"
    L"所有文件(*.*)\0*.*\0");

const char* PixbufType(int snapShotType) {
    switch (snapShotType) {
    case 1: return "jpeg";
    case 2: return "png";
    default: return "bmp";
    }
}

const wchar_t* SnapExt(int snapShotType) {
    switch (snapShotType) {
    case 1: return L"jpg";
    case 2: return L"png";
    default: return L"bmp";
    }
}

// Re-encodes an image file into another file in the given format.
bool ConvertImage(const std::string& from, const std::string& to, const char* type) {
    GError* error = nullptr;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(from.c_str(), &error);
    if (!pb) {
        if (error) g_error_free(error);
        return false;
    }
    bool ok = type == std::string("jpeg") ? gdk_pixbuf_save(pb, to.c_str(), type, &error, "quality", "90", nullptr)
                                          : gdk_pixbuf_save(pb, to.c_str(), type, &error, nullptr);
    if (error) g_error_free(error);
    g_object_unref(pb);
    return ok;
}

}  // namespace

bool IsMatchingSubtitleFile(const std::wstring& videoName, const std::wstring& candidate) {
    std::wstring vStem, vExt, cStem, cExt;
    SplitExt(videoName, vStem, vExt);
    SplitExt(candidate, cStem, cExt);
    if (vStem.empty() || Lower(vStem) != Lower(cStem)) return false;
    cExt = Lower(cExt);
    for (const wchar_t* e : kAutoSubtitleExts)
        if (cExt == e) return true;
    return false;
}

int CMorvaneWnd::AutoLoadSubtitles(const std::wstring& folder, const std::wstring& name) {
    std::error_code ec;
    std::filesystem::directory_iterator it(platform::FsPath(folder), ec), end;
    if (ec) return 0;
    int i = playerCtrl.GetSubtitleCount();
    const int first = i;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        std::wstring entry = platform::WideFromUtf8(it->path().filename().string());
        if (!IsMatchingSubtitleFile(name, entry)) continue;
        g_SysConfig.mapSubtitleFile[i] = entry;
        if (IsMediaOpen()) playerCtrl.LoadSubtitleFile(WideToUtf8(folder + L"/" + entry));
        g_SysConfig.nCurSubtitle = i;
        ++i;
    }
    if (i > first) ShowTip(kTipSubtitlesFound);
    return i;
}

void CMorvaneWnd::LoadSubtitleByDialog() {
    std::wstring path;
    if (!RunOpenDialog(kSubtitleDialogTitle, kSubtitleFilter, &path)) return;
    int n = -1;
    if (IsMediaOpen()) n = playerCtrl.LoadSubtitleFile(WideToUtf8(path));
    if (n < 1) {
        ShowTip(kTipSubtitleFailed);
        return;
    }
    ShowTip(kTipSubtitleLoaded);
    g_SysConfig.nCurSubtitle = n - 1;
    g_SysConfig.bHideSubtitle = 0;
    size_t slash = path.find_last_of(L"/\\");
    g_SysConfig.mapSubtitleFile[n - 1] = slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool CMorvaneWnd::RunOpenDialog(const wchar_t* title, const std::wstring& filter, std::wstring* chosen) {
    bRightMenuArmed = 1;
    HWND owner = PlayerNotifyWnd();
    // The windows the user could act in meanwhile are disabled while the dialog runs.
    const HWND list = pPlayList ? pPlayList->GetHWND() : nullptr;
    ::EnableWindow(m_hWnd, FALSE);
    if (list) ::EnableWindow(list, FALSE);
    // Room for any path the file system opens, not only for the 260 characters of old.
    std::vector<wchar_t> file(PATH_MAX, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrTitle = title;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    BOOL ok = ::GetOpenFileNameW(&ofn);
    ::EnableWindow(m_hWnd, TRUE);
    if (list) ::EnableWindow(list, TRUE);
    if (!ok || !file[0]) return false;
    *chosen = file.data();
    return true;
}

void CMorvaneWnd::TakeSnapshot() {
    if (!IsMediaOpen()) return;
    if (g_SysConfig.bTipSnapShot && ShowSnapShotDialog(PlayerNotifyWnd()) != 1) return;
    const std::wstring& folder = g_SysConfig.strSnapShotPath;
    if (!SnapShotFolderReady(folder)) {
        skinui::WzMessageBox(m_hWnd, L"图像保存目录不存在，请重新设置", L"Oskery提示", MB_OKCANCEL | MB_ICONEXCLAMATION,
                             L"确定(O)", L"取消(C)");
        return;
    }
    const bool clipboardOnly = g_SysConfig.bOnlySnapToClipBoard != 0;
    const int type = clipboardOnly ? 0 : g_SysConfig.nSnapShotType;
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    // A second snapshot in the same second gets its own name rather than replacing the first.
    std::wstring name = stamp;
    if (strLastSnapStamp == stamp) {
        name += L"_" + std::to_wstring(++nSnapInSecond + 1);
    } else {
        strLastSnapStamp = stamp;
        nSnapInSecond = 0;
    }
    std::wstring file = folder + L"/Oskery截图" + name + L"." + SnapExt(type);
    // libVLC writes PNG; the chosen format is made from it.
    std::wstring raw = file + L".vlc.png";
    bool written = playerCtrl.TakeSnapshot(WideToUtf8(raw)) &&
                   ConvertImage(platform::FsPath(raw), platform::FsPath(file), PixbufType(type));
    ::DeleteFileW(raw.c_str());
    if (!written) {
        ::DeleteFileW(file.c_str());
        ShowTip(kTipClipboardFailed);
        return;
    }
    const bool copied = ::OpenClipboard(m_hWnd) && CopySnapshotToClipboard(file);
    ShowTip(copied ? kTipSnapshotDone : kTipClipboardFailed);
    if (clipboardOnly) ::DeleteFileW(file.c_str());
}

bool CMorvaneWnd::CopySnapshotToClipboard(const std::wstring& file) {
    // The clipboard is open (TakeSnapshot); it is closed here on every road.
    ::EmptyClipboard();
    auto bitmap = static_cast<HBITMAP>(::LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    const bool placed = bitmap && ::SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    ::CloseClipboard();
    if (bitmap) ::DeleteObject(bitmap);
    return placed;
}

void CMorvaneWnd::ShowFileInfo(const std::wstring& path) {
    ShowFileInfoDialog(PlayerNotifyWnd(), path);
    if (hVideoSurface) ::SetFocus(hVideoSurface);
}

void CMorvaneWnd::OpenFileDialog() {
    std::wstring file;
    if (!RunOpenDialog(kOpenFileDialogTitle, OpenFileDialogFilter(), &file)) return;
    if (IsMediaOpen() && file == strCurrentPath) return;
    if (g_SysConfig.bAddSimilarFile) ListAddFiles({file});
    PlayFile(file);
}
