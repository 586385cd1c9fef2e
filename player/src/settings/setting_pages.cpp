#include "player/settings/setting_pages.h"

#include <algorithm>

#include "player/settings/snapshot_options.h"
#include "skinui/container.h"
#include "skinui/controls.h"
#include "skinui/list.h"

using namespace skinui;

namespace {

constexpr const wchar_t* kPageButtons[kSettingPageCount] = {L"general_setting", L"file_association_setting",
                                                            L"hotkey_setting", L"snap_shot"};

// The check boxes of the general and snapshot pages with the [Global] key and member each shows.
struct GlobalBox {
    const wchar_t* box;
    const wchar_t* key;
    int CSysConfig::*member;
    int page;
    bool plain;  // the change is only its own setting
};
constexpr GlobalBox kGlobalBoxes[] = {
    {L"System_Save_PlayFile", L"bSavePlayInfo", &CSysConfig::bSavePlayInfo, 0, false},
    {L"System_Always_FileAssociation", L"bAlwaysFileAssoc", &CSysConfig::bAlwaysFileAssoc, 0, false},
    {L"System_Clear_PlayList", L"bClearPlayList", &CSysConfig::bClearPlayList, 0, true},
    {L"System_Clear_InvalidFile", L"bClearInvalidFile", &CSysConfig::bClearInvalidFile, 0, true},
    {L"System_Scale_PlayWnd", L"bScalePlayWnd", &CSysConfig::bScalePlayWnd, 0, false},
    {L"System_Add_Similar_File", L"bAddSimilarFile", &CSysConfig::bAddSimilarFile, 0, true},
    {L"only_save_clipboard", L"bOnlySnapToClipBoard", &CSysConfig::bOnlySnapToClipBoard, 3, true},
    {L"snap_shot_tip", L"bTipSnapShot", &CSysConfig::bTipSnapShot, 3, true},
};

bool Is(const CControlUI* c, const wchar_t* name) { return c && c->GetName() == name; }

int CategoryOf(const CDuiString& name) {
    for (size_t i = 0; i < kAssocCategoryCount; ++i)
        if (name == AssocCategoryNames[i]) return static_cast<int>(i);
    return -1;
}

void WriteProgress(CSysConfig& cfg, const std::wstring& section, _tagMediaInfo& record, std::int64_t seconds,
                   int permille) {
    record.nPlayTime = seconds;
    record.nPlayPos = permille;
    cfg.iniPlayList.WriteInt(section.c_str(), L"nPlayTime",
                             static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds))));
    cfg.iniPlayList.WriteInt(section.c_str(), L"nPlayPos", permille);
}

}  // namespace

const HotKeyControlBinding kHotKeyControls[HK_Count] = {
    {L"Hotkey_PlayPause", HK_PlayPause},       {L"Hotkey_PlayNext", HK_PlayNext},
    {L"Hotkey_Stop", HK_StopPlay},             {L"Hotkey_SeekBackward", HK_FastBackward},
    {L"Hotkey_SeekForward", HK_FastForward},   {L"Hotkey_IncreaseVol", HK_IncreaseVolum},
    {L"Hotkey_DecreaseVol", HK_DecreaseVolum}, {L"Hotkey_Mute", HK_Mute},
    {L"Hotkey_Open_File", HK_OpenFile},        {L"Hotkey_Open_URL", HK_OpenUrl},
    {L"Hotkey_ToTop", HK_TopMost},             {L"Hotkey_FullScreen", HK_FullScreen},
    {L"Hotkey_Close", HK_CloseWindow},         {L"Hotkey_Setting", HK_Setting},
};

const AssocGroup kAssocGroups[kAssocCategoryCount] = {
    {0, 5}, {5, 8}, {13, 17}, {30, 5}, {35, 4}, {39, 2}, {41, 4}, {45, 2}, {47, 15}, {62, 23},
};

const wchar_t* const AssocDefaultExtensions[kAssocDefaultCount] = {
    L".mp4", L".flv", L".f4v", L".avi", L".swf", L".mpg", L".rm", L".mk", L".wmv", L".mkv", L".vcd", L".3gp",
};

int SettingTabAfter(int current, bool forward) {
    if (current < 0 || current >= kSettingPageCount) return -1;
    return (current + (forward ? 1 : kSettingPageCount - 1)) % kSettingPageCount;
}

HotKeyChangeResult ChangeHotKey(CSysConfig& cfg, int entry, HotKey key) {
    HotKeyChangeResult r;
    if (entry < 0 || entry >= HK_Count || key.wVirtKey == 0) return r;
    for (int i = 0; i < HK_Count; ++i) {
        if (i == entry) continue;
        if (cfg.g_HotKeys[i].wVirtKey == key.wVirtKey && cfg.g_HotKeys[i].wModifiers == key.wModifiers) {
            r.change = HotKeyChange::Conflict;
            r.conflictWith = i;
            r.restore = cfg.g_HotKeys[entry];
            return r;
        }
    }
    // The main window keeps Esc (leaves full screen) and Enter (full screen) for itself: another
    // action bound there would never run, or run beside them.
    if (key.wVirtKey == VK_ESCAPE || (key.wVirtKey == VK_RETURN && entry != HK_FullScreen)) {
        r.change = HotKeyChange::Conflict;
        r.restore = cfg.g_HotKeys[entry];
        return r;
    }
    cfg.g_HotKeys[entry] = key;
    const wchar_t* section = kHotKeyDefaults[entry].section;
    cfg.iniConfig.WriteInt(section, L"wVirtKey", key.wVirtKey);
    cfg.iniConfig.WriteInt(section, L"wModifiers", key.wModifiers);
    r.change = HotKeyChange::Stored;
    return r;
}

void StoreSnapShotFolder(CSysConfig& cfg, std::wstring_view folder) {
    cfg.strSnapShotPath = TrimFolderSeparators(std::wstring(folder));
    cfg.iniConfig.WriteString(L"Global", L"strSnapShotPath", cfg.strSnapShotPath.c_str());
}

void SetSavePlayInfo(CSysConfig& cfg, bool on, const CurrentMedia& media,
                     const std::function<void(std::int64_t, int)>& shown) {
    cfg.bSavePlayInfo = on ? 1 : 0;
    cfg.iniConfig.WriteInt(L"Global", L"bSavePlayInfo", cfg.bSavePlayInfo);

    // The current file's own record: the current section when it still holds that file,
    // else the first record of the file's path.
    auto own = cfg.mapPlayList.end();
    auto cur = cfg.mapPlayList.find(cfg.strCurSection);
    if (cur != cfg.mapPlayList.end() && (!media.open || cur->second.strFilePath == media.path)) own = cur;
    if (own == cfg.mapPlayList.end() && media.open) own = cfg.mapPlayList.FindByPath(media.path);
    if (own == cfg.mapPlayList.end()) return;
    cfg.strCurSection = own->first;
    if (on && !media.open) return;
    const std::int64_t seconds = on ? media.seconds : 0;
    const int permille = on ? std::clamp(media.permille, 0, 1000) : 0;
    WriteProgress(cfg, own->first, own->second, seconds, permille);
    if (shown) shown(seconds, permille);
}

void CSettingPages::SetBox(const wchar_t* name, bool on) {
    if (auto* box = dynamic_cast<COptionUI*>(pm_.FindControl(name))) box->Selected(on, false);
}

void CSettingPages::LoadGeneralChecks() {
    SetBox(cfg_.bUseDefWindowInfo == 1 ? L"System_Default_Size" : L"System_Save_Size", true);
    for (const GlobalBox& b : kGlobalBoxes)
        if (b.page == 0) SetBox(b.box, cfg_.*b.member != 0);
}

void CSettingPages::LoadAssocChecks() {
    cfg_.LoadFileAssoc();
    for (const wchar_t* ext : AssocExtensions) SetBox(ext, cfg_.mapFileAssoc[ext] != 0);
    for (const wchar_t* cat : AssocCategoryNames) SetBox(cat, cfg_.mapFileAssoc[cat] != 0);
}

void CSettingPages::LoadHotKeys() {
    for (const HotKeyControlBinding& b : kHotKeyControls)
        if (auto* hk = dynamic_cast<CHotKeyUI*>(pm_.FindControl(b.control)))
            hk->SetHotKey(cfg_.g_HotKeys[b.entry].wVirtKey, cfg_.g_HotKeys[b.entry].wModifiers);
}

void CSettingPages::LoadSnapshotPage() {
    for (const GlobalBox& b : kGlobalBoxes)
        if (b.page == 3) SetBox(b.box, cfg_.*b.member != 0);
    if (CControlUI* edit = pm_.FindControl(L"snap_shot_path")) edit->SetText(cfg_.strSnapShotPath.c_str());
    if (auto* combo = dynamic_cast<CComboUI*>(pm_.FindControl(L"snap_shot_type")))
        combo->SelectItem(cfg_.nSnapShotType, false, false);
}

void CSettingPages::RefreshPages() {
    LoadGeneralChecks();
    LoadAssocChecks();
    LoadHotKeys();
    LoadSnapshotPage();
}

int CSettingPages::CurrentPage() const {
    auto* tab = dynamic_cast<CTabLayoutUI*>(pm_.FindControl(L"switch"));
    return tab ? tab->GetCurSel() : -1;
}

void CSettingPages::SwitchTab(bool forward) {
    auto* tab = dynamic_cast<CTabLayoutUI*>(pm_.FindControl(L"switch"));
    if (!tab) return;
    int next = SettingTabAfter(tab->GetCurSel(), forward);
    if (next < 0) return;
    tab->SelectItem(next);
    if (auto* button = dynamic_cast<COptionUI*>(pm_.FindControl(kPageButtons[next]))) button->Selected(true);
}

bool CSettingPages::IsBoxChecked(const std::wstring& name) const {
    auto* box = dynamic_cast<COptionUI*>(pm_.FindControl(name.c_str()));
    return box && box->IsSelected();
}

void CSettingPages::SetGroupChecks(AssocCategory group, bool on) {
    const AssocGroup& g = kAssocGroups[group];
    for (size_t i = g.first; i < g.first + g.count; ++i) SetBox(AssocExtensions[i], on);
}

void CSettingPages::CheckAllAssocGroups() {
    for (size_t i = 0; i < kAssocCategoryCount; ++i) SetGroupChecks(static_cast<AssocCategory>(i), true);
}

void CSettingPages::UncheckAllAssocGroups() {
    for (size_t i = 0; i < kAssocCategoryCount; ++i) SetGroupChecks(static_cast<AssocCategory>(i), false);
}

void CSettingPages::CheckDefaultAssoc() {
    UncheckAllAssocGroups();
    for (const wchar_t* ext : AssocDefaultExtensions) SetBox(ext, true);
}

void CSettingPages::CheckVideoAssoc() {
    CheckAllAssocGroups();
    SetGroupChecks(AssocOtherAudio, false);
}

void CSettingPages::CheckAudioAssoc() {
    UncheckAllAssocGroups();
    SetGroupChecks(AssocOtherAudio, true);
}

void CSettingPages::SyncCategoryCheck(AssocCategory group) {
    const AssocGroup& g = kAssocGroups[group];
    bool all = true;
    for (size_t i = g.first; i < g.first + g.count && all; ++i) {
        auto* box = dynamic_cast<COptionUI*>(pm_.FindControl(AssocExtensions[i]));
        if (box && !box->IsSelected()) all = false;
    }
    SetBox(AssocCategoryNames[group], all);
}

void CSettingPages::SyncCategoryChecks() {
    for (size_t i = 0; i < kAssocCategoryCount; ++i) SyncCategoryCheck(static_cast<AssocCategory>(i));
}

void CSettingPages::OnHotKeyChanged(CHotKeyUI* control) {
    const HotKeyControlBinding* binding = nullptr;
    for (const HotKeyControlBinding& b : kHotKeyControls)
        if (Is(control, b.control)) binding = &b;
    if (!binding) return;
    HotKey key{};
    control->GetHotKey(key.wVirtKey, key.wModifiers);
    HotKeyChangeResult r = ChangeHotKey(cfg_, binding->entry, key);
    if (r.change != HotKeyChange::Conflict) return;
    host_.ShowHotKeyConflict(control);
    control->SetHotKey(r.restore.wVirtKey, r.restore.wModifiers);
    control->SetFocus();
}

void CSettingPages::OnBoxToggled(CControlUI* box, bool on) {
    const CDuiString name = box->GetName();
    int category = CategoryOf(name);
    if (category >= 0) {
        SetGroupChecks(static_cast<AssocCategory>(category), on);
        SyncCategoryChecks();
        host_.ApplyAssociations();
        return;
    }
    if (name == L"System_Save_PlayFile") {
        SetSavePlayInfo(cfg_, on, host_.GetCurrentMedia(),
                        [this](std::int64_t seconds, int permille) { host_.SetCurrentProgress(seconds, permille); });
        return;
    }
    if (name == L"System_Scale_PlayWnd") {
        cfg_.bScalePlayWnd = on ? 1 : 0;
        cfg_.iniConfig.WriteInt(L"Global", L"bScalePlayWnd", cfg_.bScalePlayWnd);
        if (on) host_.FitMainWindowToVideo();
        return;
    }
    for (const GlobalBox& b : kGlobalBoxes) {
        if (b.plain && name == b.box) {
            cfg_.*b.member = on ? 1 : 0;
            cfg_.iniConfig.WriteInt(L"Global", b.key, cfg_.*b.member);
            return;
        }
    }
    if (name == L"System_Always_FileAssociation") {
        cfg_.bAlwaysFileAssoc = on ? 1 : 0;
        cfg_.iniConfig.WriteInt(L"Global", L"bAlwaysFileAssoc", cfg_.bAlwaysFileAssoc);
    }
    // The association boxes: applied with the box's new state.
    SyncCategoryChecks();
    host_.ApplyAssociations();
}

bool CSettingPages::HandleNotify(TNotifyUI& msg) {
    if (!host_.IsSettingShown()) return true;
    CControlUI* sender = msg.pSender;
    if (!sender) return false;
    const CDuiString name = sender->GetName();

    if (msg.sType == DUI_MSGTYPE_ITEMSELECT) {
        auto* combo = dynamic_cast<CComboUI*>(sender);
        if (combo && name == L"snap_shot_type") {
            const int sel = combo->GetCurSel();
            if (sel >= 0 && sel <= kMaxSnapShotType) {
                cfg_.nSnapShotType = sel;
                cfg_.iniConfig.WriteInt(L"Global", L"nSnapShotType", sel);
            }
        }
        return false;
    }

    if (msg.sType == DUI_MSGTYPE_SELECTCHANGED) {
        auto* option = dynamic_cast<COptionUI*>(sender);
        for (int page = 0; page < kSettingPageCount; ++page) {
            if (name != kPageButtons[page]) continue;
            // A group peer losing its selection says so too; only the chosen one counts.
            if (option && option->IsSelected()) {
                if (auto* tab = dynamic_cast<CTabLayoutUI*>(pm_.FindControl(L"switch"))) tab->SelectItem(page);
                if (page == 2) LoadHotKeys();
            }
            return false;
        }
        if (name == L"System_Default_Size" || name == L"System_Save_Size") {
            if (option && option->IsSelected()) {
                cfg_.bUseDefWindowInfo = name == L"System_Default_Size" ? 1 : 0;
                cfg_.iniConfig.WriteInt(L"Global", L"bUseDefWindowInfo", cfg_.bUseDefWindowInfo);
                if (cfg_.bUseDefWindowInfo == 0) host_.SaveMainWindowRect();
            }
            return false;
        }
        if (sender == toggling_) {
            // The user's click has now changed the box: act on its new state.
            toggling_ = nullptr;
            OnBoxToggled(sender, option && option->IsSelected());
        } else {
            SyncCategoryChecks();
        }
        return false;
    }

    if (msg.sType == DUI_MSGTYPE_CLICK) {
        if (name == L"Closebtn") {
            host_.CloseSettings();
            return true;
        }
        if (sender->GetClass() == std::wstring_view(L"CheckBoxUI")) {
            toggling_ = sender;
            return false;
        }
        struct Preset {
            const wchar_t* button;
            void (CSettingPages::*apply)();
        };
        static constexpr Preset kPresets[] = {
            {L"System_SelectAll", &CSettingPages::CheckAllAssocGroups},
            {L"System_UncheckAll", &CSettingPages::UncheckAllAssocGroups},
            {L"System_Default_Option", &CSettingPages::CheckDefaultAssoc},
            {L"System_Video_Option", &CSettingPages::CheckVideoAssoc},
            {L"System_Audio_Option", &CSettingPages::CheckAudioAssoc},
        };
        for (const Preset& p : kPresets) {
            if (name == p.button) {
                (this->*p.apply)();
                SyncCategoryChecks();
                host_.ApplyAssociations();
                return false;
            }
        }
        if (name == L"btn_snapshot_path") host_.BrowseSnapShotFolder();
        return false;
    }

    if (msg.sType == DUI_MSGTYPE_TEXTCHANGED) {
        if (auto* hk = dynamic_cast<CHotKeyUI*>(sender)) OnHotKeyChanged(hk);
        else if (name == L"snap_shot_path") StoreSnapShotFolder(cfg_, sender->GetText());
    }
    return false;
}
