#include "player/main_window/rbutton_menu.h"

#include <algorithm>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/windows/winuser.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_menu.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_types.h"
#include "player/main_window/overlay_logic.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/settings/sys_config.h"
#include "skinui/container.h"

using namespace skinui;

namespace {

CPlayerCtrl* Ctrl() { return g_pMainWnd ? &g_pMainWnd->playerCtrl : nullptr; }
bool HasPlayer() { return Ctrl() && Ctrl()->HasPlayer(); }
bool StartedPlaying() { return g_pMainWnd && g_pMainWnd->bPlayingSeen != 0; }

std::wstring TrackLabel(const TrackInfo& t) { return platform::WideFromUtf8(t.name); }

std::wstring Numbered(const wchar_t* prefix, int i) { return prefix + std::to_wstring(i); }

// The level of a transparency item ("trans_playlist_80" gives 80), -1 for any other name. Only
// the play list has the 0 % level.
int TransLevel(const std::wstring& name, const std::wstring& prefix, bool withZero) {
    if (name.rfind(prefix, 0) != 0) return -1;
    const std::wstring level = name.substr(prefix.size());
    for (int p = 80; p >= (withZero ? 0 : 10); p -= 10)
        if (level == std::to_wstring(p)) return p;
    return -1;
}

void SetBkColorOf(CPaintManagerUI* pm, const wchar_t* name, DWORD argb) {
    if (!pm) return;
    if (CControlUI* c = pm->FindControl(name)) c->SetBkColor(argb);
}

}  // namespace

bool CRButtonMenu::AddMenuCheckItem(const std::wstring& command, CMenuUI* submenu, const std::wstring& label) {
    if (!submenu) return false;
    if (submenu->GetFixedHeight() == 0) submenu->SetFixedHeight(4);
    auto* item = new CMenuElementUI;
    item->SetFixedHeight(25);
    if (!command.empty()) item->SetAttribute(L"command", command.c_str());
    item->SetAttribute(L"padding", submenu->GetFixedHeight() < 25 ? L"3,2,2,0" : L"3,0,2,0");
    auto* row = new CHorizontalLayoutUI;
    auto* before = new CControlUI;
    before->SetFixedWidth(4);
    auto* box = new CVerticalLayoutUI;
    box->SetFixedWidth(23);
    box->SetFixedHeight(23);
    auto* ico = new CMenuButtonUI;
    ico->SetName(L"ico");
    ico->SetNormalImage(L"select.png");
    ico->SetHotImage(L"select_hover.png");
    ico->SetFixedWidth(23);
    ico->SetFixedHeight(23);
    box->Add(ico);
    auto* gap = new CControlUI;
    gap->SetFixedWidth(7);
    auto* text = new CLabelUI;
    text->SetName(L"menu_label");
    text->SetFont(0);
    text->SetText(label.c_str());
    row->Add(before);
    row->Add(box);
    row->Add(gap);
    row->Add(text);
    item->Add(row);
    submenu->SetFixedHeight(submenu->GetFixedHeight() + 25);
    return submenu->Add(item);
}

void CRButtonMenu::MeasureMenuItems(CMenuUI* submenu) {
    if (!submenu) return;
    int widest = 0;
    for (int i = 0; i < submenu->GetCount(); ++i)
        widest = std::max(widest, static_cast<int>(submenu->MeasureText(submenu->GetItemText(i).c_str()).cx));
    if (int w = overlay::DynamicMenuWidth(widest)) submenu->SetFixedWidth(w);
}

void CRButtonMenu::PadMenuLabels() {
    const bool full = Ctrl() && Ctrl()->bFullScreen;
    const std::wstring fullLabel = full ? L"取消全屏" : L"全屏";
    auto key = [](int entry) { return overlay::MenuHotKeyText(g_SysConfig.g_HotKeys[entry]); };
    PadMenuGroups(*this, {
                             {L"major",
                              {{1, fullLabel, L"Ctrl+回车", L""}, {10, L"系统设置...", key(HK_Setting), L""}}},
                             {L"open",
                              {{0, L"打开文件...", key(HK_OpenFile), L""},
                               {1, L"打开URl...", key(HK_OpenUrl), L"打开URL... " + key(HK_OpenUrl)}}},
                             {L"topmost", {{1, L"总是最前", key(HK_TopMost), L""}}},
                         });
}

void CRButtonMenu::Init(HWND owner) {
    CWzMenu::Init(owner);
    const bool started = StartedPlaying();
    if (CMenuUI* major = FindMenuByName(L"major")) {
        const bool music = g_pMainWnd && IsMusicFile(g_pMainWnd->strCurrentPath.c_str());
        if (!HasPlayer() || music) major->SetEnabled(1, false);
        for (int pos : {6, 7, 9, 11}) major->SetEnabled(pos, started);
    }
    CheckOnly(FindMenuByName(L"topmost"), 3, g_SysConfig.nTopMostMode);
    CheckOnly(FindMenuByName(L"trans_playlist"), 9, g_SysConfig.nPlayListTransIdx);
    CheckOnly(FindMenuByName(L"trans_control"), 8, g_SysConfig.nCaptionPanelTransIdx);
    if (CMenuUI* frame = FindMenuByName(L"frame")) frame->SetItemCheck(0, g_SysConfig.bScalePlayWnd != 0);

    CPlayerCtrl* ctrl = Ctrl();
    CMenuUI* subtitle = FindMenuByName(L"subtitle");
    if (subtitle && started && ctrl) {
        std::vector<TrackInfo> subs;
        ctrl->RefreshSubtitleList(subs);
        m_nSubtitleItems = static_cast<int>(subs.size());
        if (subs.empty()) {
            subtitle->SetEnabled(1, false);
            subtitle->SetEnabled(2, false);
        } else {
            // The tick, and what counts as chosen already, is the track libVLC really shows.
            g_SysConfig.nCurSubtitle = ctrl->GetCurrentSubtitle();
            subtitle->SetEnabled(2, !g_SysConfig.bHideSubtitle);
            CMenuUI* sel = FindMenuByName(L"subtitle_sel");
            for (int i = 0; i < m_nSubtitleItems; ++i) {
                AddMenuCheckItem(Numbered(L"subtitle_", i), sel, TrackLabel(subs[static_cast<size_t>(i)]));
                if (sel) sel->SetItemCheck(i, false);
            }
            if (sel) {
                for (const auto& [pos, file] : g_SysConfig.mapSubtitleFile)
                    if (pos >= 0 && pos < m_nSubtitleItems) sel->SetItemText(pos, file.c_str());
                if (g_SysConfig.nCurSubtitle >= 0 && g_SysConfig.nCurSubtitle < m_nSubtitleItems)
                    sel->SetItemCheck(g_SysConfig.nCurSubtitle, !g_SysConfig.bHideSubtitle);
                MeasureMenuItems(sel);
            }
        }
    }
    CMenuUI* audio = FindMenuByName(L"audio_track");
    if (audio && started && ctrl) {
        std::vector<TrackInfo> tracks;
        ctrl->RefreshAudioTrackList(tracks);
        m_nAudioItems = static_cast<int>(tracks.size());
        if (tracks.empty()) {
            if (CMenuUI* major = FindMenuByName(L"major")) major->SetEnabled(6, false);
        } else if (tracks.size() == 1) {
            AddMenuCheckItem(L"audio_track_0", audio, L"默认音频流");
            audio->SetItemCheck(0, true);
        } else {
            for (int i = 0; i < m_nAudioItems; ++i) {
                AddMenuCheckItem(Numbered(L"audio_track_", i), audio, TrackLabel(tracks[static_cast<size_t>(i)]));
                audio->SetItemCheck(i, false);
            }
            if (g_SysConfig.nCurAudioTrack >= 0 && g_SysConfig.nCurAudioTrack < m_nAudioItems)
                audio->SetItemCheck(g_SysConfig.nCurAudioTrack, true);
            MeasureMenuItems(audio);
        }
    }
    PadMenuLabels();
}

std::wstring CRButtonMenu::Track(int x, int y) {
    std::wstring name = TrackPopupMenu(x, y);
    if (name.empty() || name == L"null") return L"null";
    for (int i = 0; i < m_nSubtitleItems; ++i) {
        if (name == Numbered(L"subtitle_", i)) {
            if (i != g_SysConfig.nCurSubtitle) SelectSubtitle(i);
            return name;
        }
    }
    for (int j = 0; j < m_nAudioItems; ++j) {
        if (name == Numbered(L"audio_track_", j)) {
            if (j != g_SysConfig.nCurAudioTrack) SelectAudioTrack(j);
            return name;
        }
    }
    CMorvaneWnd* main = g_pMainWnd;
    if (!main) return name;
    if (name == L"open_file") {
        ::PostMessageW(main->GetHWND(), WM_PLAYER_OPEN_FILE, 0, 0);
    } else if (name == L"open_url") {
        if (main->pCaption) ::PostMessageW(main->pCaption->GetHWND(), WM_PLAYER_SHOW_OPEN_URL, 0, 0);
    } else if (name == L"setting") {
        main->ShowSettingWnd();
    } else if (TopMostChoice(name)) {
    } else if (name == L"fullscreen") {
        main->SetFullScreen(!main->playerCtrl.bFullScreen);
    } else if (name == L"fileinfo") {
        main->ShowFileInfo(main->ListCurrentPath());
    } else if (name == L"video_auto_size") {
        ToggleScalePlayWnd();
    } else if (name == L"hide_subtitle") {
        ToggleHideSubtitle();
    } else if (name == L"manual_load_subtitle") {
        main->LoadSubtitleByDialog();
    } else if (name == L"snap_shot") {
        main->TakeSnapshot();
    } else if (int p = TransLevel(name, L"trans_playlist_", true); p >= 0) {
        SetPlayListTransparency(p);
    } else if (int q = TransLevel(name, L"trans_control_", false); q >= 0) {
        SetControlTransparency(q);
    }
    return name;
}

void CRButtonMenu::SelectSubtitle(int position) {
    g_SysConfig.nCurSubtitle = position;
    g_SysConfig.bHideSubtitle = 0;
    CPlayerCtrl* ctrl = Ctrl();
    // The notice tells what libVLC did, so it comes only when the track was taken.
    if (ctrl && ctrl->SetSubtitle(position) && g_pMainWnd) g_pMainWnd->ShowTip(L"已加载字幕");
}

void CRButtonMenu::SelectAudioTrack(int position) {
    g_SysConfig.nCurAudioTrack = position;
    CPlayerCtrl* ctrl = Ctrl();
    if (ctrl && ctrl->SetAudioTrack(position) && g_pMainWnd) g_pMainWnd->ShowTip(L"已切换音轨");
}

void CRButtonMenu::ToggleHideSubtitle() {
    g_SysConfig.nCurSubtitle = -1;
    g_SysConfig.bHideSubtitle = !g_SysConfig.bHideSubtitle;
    if (g_SysConfig.bHideSubtitle) {
        if (CPlayerCtrl* ctrl = Ctrl()) ctrl->HideSubtitles(true);
        if (g_pMainWnd) g_pMainWnd->ShowTip(L"字幕已关闭");
    }
}

void CRButtonMenu::ToggleScalePlayWnd() {
    g_SysConfig.bScalePlayWnd = !g_SysConfig.bScalePlayWnd;
    g_SysConfig.iniConfig.WriteInt(L"Global", L"bScalePlayWnd", g_SysConfig.bScalePlayWnd);
    if (g_SysConfig.bScalePlayWnd && g_pMainWnd) g_pMainWnd->FitWindowToVideo();
}

void CRButtonMenu::SetPlayListTransparency(int percent) {
    if (g_pMainWnd) SetBkColorOf(g_pMainWnd->PlayListPaintManager(), L"ctnPlaylist",
                                 overlay::TransColor(percent, overlay::kPlayListTransRgb));
    g_SysConfig.nPlayListTransIdx = overlay::TransIndex(percent);
    g_SysConfig.iniConfig.WriteInt(L"Global", L"nPlayListTransIdx", g_SysConfig.nPlayListTransIdx);
}

void CRButtonMenu::SetControlTransparency(int percent) {
    if (g_pMainWnd) {
        CPaintManagerUI* panel = g_pMainWnd->pPlayPanel ? g_pMainWnd->pPlayPanel->GetPaintManager() : nullptr;
        const DWORD panelColor = overlay::TransColor(percent, overlay::kPlayListTransRgb);
        SetBkColorOf(panel, L"PlayPanelVerLay", panelColor);
        SetBkColorOf(panel, L"PlayPanelBtnLay", panelColor);
        SetBkColorOf(g_pMainWnd->pCaption ? g_pMainWnd->pCaption->GetPaintManager() : nullptr, L"CaptionVerLay",
                     overlay::TransColor(percent, overlay::kCaptionTransRgb));
    }
    g_SysConfig.nCaptionPanelTransIdx = overlay::TransIndex(percent);
    g_SysConfig.iniConfig.WriteInt(L"Global", L"nCaptionPanelTransIdx", g_SysConfig.nCaptionPanelTransIdx);
}
