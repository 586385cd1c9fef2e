#include "player/settings/sys_config.h"

#include "common/init_order.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/kernel/folders.h"
#include "platform/kernel/module.h"
#include "platform/profile/profile.h"
#include "player/settings/assoc_table.h"

CSysConfig g_SysConfig MORVANE_INIT_SYSCONFIG;

const HotKeyDefault kHotKeyDefaults[HK_Count] = {
    {L"PlayPause", {VK_SPACE, 0}},
    {L"PlayNext", {VK_NEXT, HOTKEYF_EXT}},
    {L"StopPlay", {'S', HOTKEYF_CONTROL}},
    {L"FastBackward", {VK_LEFT, HOTKEYF_EXT}},
    {L"FastForward", {VK_RIGHT, HOTKEYF_EXT}},
    {L"IncreaseVolum", {VK_UP, HOTKEYF_EXT}},
    {L"DecreaseVolum", {VK_DOWN, HOTKEYF_EXT}},
    {L"Mute", {'M', HOTKEYF_CONTROL}},
    {L"OpenFile", {'O', HOTKEYF_CONTROL}},
    {L"OpenUrl", {'U', HOTKEYF_CONTROL}},
    {L"TopMost", {'T', HOTKEYF_CONTROL}},
    {L"FullScreen", {VK_RETURN, HOTKEYF_CONTROL}},
    {L"CloseWindow", {'W', HOTKEYF_CONTROL}},
    {L"Setting", {VK_F5, 0}},
};

int CIniFile::ReadInt(const wchar_t* section, const wchar_t* key, int defaultValue) const {
    return static_cast<int>(GetPrivateProfileIntW(section, key, defaultValue, path_.c_str()));
}

bool CIniFile::WriteInt(const wchar_t* section, const wchar_t* key, int value) const {
    return WriteString(section, key, std::to_wstring(value).c_str());
}

std::wstring CIniFile::ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const {
    std::wstring value;
    if (section && key && platform::ReadProfileString(path_, section, key, value)) return value;
    return defaultValue ? defaultValue : L"";
}

bool CIniFile::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
    if (queued_) return platform::QueueProfileString(path_, section, key, value);
    return WritePrivateProfileStringW(section, key, value, path_.c_str()) != FALSE;
}

CSysConfig::CSysConfig() { strUrlHistoryPath = platform::ModuleFolder() + L"PlayUrl.info"; }

void CSysConfig::SetConfigPath(const std::wstring& path) {
    strConfigPath = path;
    iniConfig.SetPath(path);
}

void CSysConfig::SetPlayListPath(const std::wstring& path) {
    strPlayListPath = path;
    iniPlayList.SetPath(path);
    // A long list takes a while to write: nothing that writes it waits for the disk.
    iniPlayList.SetQueued(true);
}

namespace {

int Clamp(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

bool IsHotKeyKey(const std::wstring& folded) { return folded == L"wvirtkey" || folded == L"wmodifiers"; }

}  // namespace

// The [FileAssoc] and hot-key values of one reading of user.cfg, gathered so that a damaged line
// hides no more than itself: a section that stands twice gives the keys the first one lacks,
// and association keys cut off from [FileAssoc] by a garbled header line still count. (Hot-key
// values under a garbled header cannot be told whose they are: that key keeps its default.)
class CConfigKeys {
public:
    explicit CConfigKeys(const platform::ProfileSnapshot& cfg);
    int ReadInt(std::wstring_view section, std::wstring_view key, int defaultValue) const {
        auto s = sections_.find(platform::FoldProfileName(section));
        if (s == sections_.end()) return defaultValue;
        auto k = s->second.find(platform::FoldProfileName(key));
        return k == s->second.end() ? defaultValue : platform::ParseProfileInt(k->second, defaultValue);
    }
    bool damaged() const { return damaged_; }

private:
    using Keys = std::unordered_map<std::wstring, std::wstring>;
    std::unordered_map<std::wstring, Keys> sections_;  // folded names
    bool damaged_ = false;
};

CConfigKeys::CConfigKeys(const platform::ProfileSnapshot& cfg) {
    const std::wstring assoc = L"fileassoc";
    std::unordered_set<std::wstring> assocKeys{L".acc"}, hotKeys, others{L"global", L"volume", L"window"};
    for (const wchar_t* ext : AssocExtensions) assocKeys.insert(platform::FoldProfileName(ext));
    for (const wchar_t* cat : AssocCategoryNames) assocKeys.insert(platform::FoldProfileName(cat));
    for (const HotKeyDefault& d : kHotKeyDefaults) hotKeys.insert(platform::FoldProfileName(d.section));
    Keys cutOff;  // association keys outside [FileAssoc]
    std::unordered_set<std::wstring> seen;
    cfg.ForEachSection([&](const platform::ProfileSectionRead& s) {
        const std::wstring name = s.hasHeader ? platform::FoldProfileName(s.name) : std::wstring();
        const bool isAssoc = s.hasHeader && name == assoc, isHotKey = s.hasHeader && hotKeys.count(name);
        if (isAssoc || isHotKey) {
            if (!seen.insert(name).second || s.strayLines) damaged_ = true;
            Keys& keys = sections_[name];
            for (const auto& [key, value] : s.entries) {
                std::wstring k = platform::FoldProfileName(key);
                const bool known = isAssoc ? assocKeys.count(k) != 0 : IsHotKeyKey(k);
                if (!known || !platform::IsProfileInteger(value) || !keys.emplace(std::move(k), value).second)
                    damaged_ = true;
            }
            return;
        }
        if (s.hasHeader && others.count(name)) return;
        for (const auto& [key, value] : s.entries) {
            std::wstring k = platform::FoldProfileName(key);
            if (IsHotKeyKey(k)) damaged_ = true;
            if (assocKeys.count(k)) {
                cutOff.emplace(std::move(k), value);
                damaged_ = true;
            }
        }
    });
    if (!cutOff.empty()) sections_[assoc].merge(cutOff);  // what [FileAssoc] itself holds wins
}

void CSysConfig::Load(bool listLater, const std::wstring& startPath) {
    const platform::ProfileSnapshot cfg(iniConfig.GetPath());
    bMute = cfg.ReadInt(L"Volume", L"bMute", 0);
    nVolume = Clamp(cfg.ReadInt(L"Volume", L"nVolume", 50), 0, kMaxVolume);
    LoadWindowInfo(cfg);
    const CConfigKeys keys(cfg);
    LoadHotKeys(keys);
    LoadFileAssoc(keys);
    // The first write of these keys goes into the file as it is: its original stays beside it.
    if (keys.damaged()) SetDamagedFileAside(iniConfig.GetPath(), cfg.Bytes());
    if (listLater)
        BeginLoadPlayList(startPath);
    else
        LoadPlayList();
    LoadUrlHistory();

    bSavePlayInfo = cfg.ReadInt(L"Global", L"bSavePlayInfo", 1);
    bUseDefWindowInfo = cfg.ReadInt(L"Global", L"bUseDefWindowInfo", 0);
    bAlwaysFileAssoc = cfg.ReadInt(L"Global", L"bAlwaysFileAssoc", 1);
    nTopMostMode = Clamp(cfg.ReadInt(L"Global", L"nTopMostMode", 2), 0, kMaxTopMostMode);
    bClearPlayList = cfg.ReadInt(L"Global", L"bClearPlayList", 0);
    bClearInvalidFile = cfg.ReadInt(L"Global", L"bClearInvalidFile", 0);
    bScalePlayWnd = cfg.ReadInt(L"Global", L"bScalePlayWnd", 1);
    bAddSimilarFile = cfg.ReadInt(L"Global", L"bAddSimilarFile", 1);
    nPlayOrder = Clamp(cfg.ReadInt(L"Global", L"nPlayOrder", kDefaultPlayOrder), 0, kPlayOrderCount - 1);
    bTipSnapShot = cfg.ReadInt(L"Global", L"bTipSnapShot", 1);
    nSnapShotType = Clamp(cfg.ReadInt(L"Global", L"nSnapShotType", 1), 0, kMaxSnapShotType);
    bOnlySnapToClipBoard = cfg.ReadInt(L"Global", L"bOnlySnapToClipBoard", 0);

    wchar_t pictures[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, pictures, CSIDL_MYPICTURES, FALSE);
    strSnapShotPath = cfg.ReadString(L"Global", L"strSnapShotPath", pictures);

    nCurSubtitle = 0;
    nCurAudioTrack = 0;

    nListWndWidth = Clamp(cfg.ReadInt(L"Global", L"nListWndWidth", 210), kMinListWndWidth, kMaxListWndWidth);
    bClickedListHandler = cfg.ReadInt(L"Global", L"bClickedListHandler", 0);
    nPlayListTransIdx = Clamp(cfg.ReadInt(L"Global", L"nPlayListTransIdx", 4), 0, kMaxTransIdx);
    nCaptionPanelTransIdx = Clamp(cfg.ReadInt(L"Global", L"nCaptionPanelTransIdx", 5), 0, kMaxTransIdx);
}

void CSysConfig::Save() {
    iniConfig.WriteInt(L"Volume", L"bMute", bMute);
    iniConfig.WriteInt(L"Volume", L"nVolume", nVolume);
    SaveWindowInfo();
    SaveFileAssoc();
    SavePlayList();
    SaveUrlHistory();
    const std::pair<const wchar_t*, int> ints[] = {
        {L"bSavePlayInfo", bSavePlayInfo}, {L"bUseDefWindowInfo", bUseDefWindowInfo},
        {L"bAlwaysFileAssoc", bAlwaysFileAssoc}, {L"nTopMostMode", nTopMostMode},
        {L"bClearPlayList", bClearPlayList}, {L"bClearInvalidFile", bClearInvalidFile},
        {L"bScalePlayWnd", bScalePlayWnd}, {L"bAddSimilarFile", bAddSimilarFile},
        {L"nPlayOrder", nPlayOrder}, {L"bTipSnapShot", bTipSnapShot}, {L"nSnapShotType", nSnapShotType},
    };
    for (const auto& [key, value] : ints) iniConfig.WriteInt(L"Global", key, value);
    iniConfig.WriteString(L"Global", L"strSnapShotPath", strSnapShotPath.c_str());
    iniConfig.WriteInt(L"Global", L"bOnlySnapToClipBoard", bOnlySnapToClipBoard);
    iniConfig.WriteInt(L"Global", L"nListWndWidth", nListWndWidth);
    iniConfig.WriteInt(L"Global", L"nPlayListTransIdx", nPlayListTransIdx);
    iniConfig.WriteInt(L"Global", L"nCaptionPanelTransIdx", nCaptionPanelTransIdx);
}

void CSysConfig::LoadWindowInfo() { LoadWindowInfo(platform::ProfileSnapshot(iniConfig.GetPath())); }

void CSysConfig::LoadWindowInfo(const platform::ProfileSnapshot& cfg) {
    bIsZoomed = cfg.ReadInt(L"Window", L"bIsZoomed", 0);
    x0 = cfg.ReadInt(L"Window", L"x0", 0);
    y0 = cfg.ReadInt(L"Window", L"y0", 0);
    cx = cfg.ReadInt(L"Window", L"cx", 0);
    cy = cfg.ReadInt(L"Window", L"cy", 0);
}

void CSysConfig::SaveWindowInfo() {
    iniConfig.WriteInt(L"Window", L"bIsZoomed", bIsZoomed);
    iniConfig.WriteInt(L"Window", L"x0", x0);
    iniConfig.WriteInt(L"Window", L"y0", y0);
    iniConfig.WriteInt(L"Window", L"cx", cx);
    iniConfig.WriteInt(L"Window", L"cy", cy);
}

void CSysConfig::LoadHotKeys() { LoadHotKeys(CConfigKeys(platform::ProfileSnapshot(iniConfig.GetPath()))); }

void CSysConfig::LoadHotKeys(const CConfigKeys& cfg) {
    for (int i = 0; i < HK_Count; ++i) {
        const HotKeyDefault& d = kHotKeyDefaults[i];
        g_HotKeys[i].wVirtKey = static_cast<WORD>(cfg.ReadInt(d.section, L"wVirtKey", d.key.wVirtKey));
        g_HotKeys[i].wModifiers = static_cast<WORD>(cfg.ReadInt(d.section, L"wModifiers", d.key.wModifiers));
    }
}

void CSysConfig::LoadFileAssoc() { LoadFileAssoc(CConfigKeys(platform::ProfileSnapshot(iniConfig.GetPath()))); }

void CSysConfig::LoadFileAssoc(const CConfigKeys& cfg) {
    constexpr const wchar_t* kSection = L"FileAssoc";
    for (const wchar_t* ext : AssocExtensions) {
        int def = 0;
        // Older files stored the AAC flag under the misspelt ".acc".
        if (std::wstring_view(ext) == L".aac") def = cfg.ReadInt(kSection, L".acc", 0);
        mapFileAssoc[ext] = cfg.ReadInt(kSection, ext, def);
    }
    for (const wchar_t* cat : AssocCategoryNames) mapFileAssoc[cat] = cfg.ReadInt(kSection, cat, 0);

    if (mapFileAssoc[AssocCategoryNames[AssocMpeg12Media]] == 1)
        for (const wchar_t* ext : AssocMpeg12Extensions) mapFileAssoc[ext] = 1;

    if (cfg.ReadInt(kSection, L".asf", -1) == -1) {
        // First start: every video type but .rp and .dat, and the usual categories.
        for (size_t i = 0; i < kAssocVideoCount; ++i) {
            std::wstring_view ext = AssocExtensions[i];
            if (ext != L".rp" && ext != L".dat") mapFileAssoc[AssocExtensions[i]] = 1;
        }
        for (AssocCategory c : {AssocWindowsMedia, AssocMpeg4, Assoc3gppMedia, AssocAppleMedia, AssocFlashMedia,
                                AssocDvdMedia, AssocOtherVideo})
            mapFileAssoc[AssocCategoryNames[c]] = cfg.ReadInt(kSection, AssocCategoryNames[c], 1);
    }
}

void CSysConfig::SaveFileAssoc() {
    for (const wchar_t* ext : AssocExtensions) iniConfig.WriteInt(L"FileAssoc", ext, mapFileAssoc[ext]);
    for (const wchar_t* cat : AssocCategoryNames) iniConfig.WriteInt(L"FileAssoc", cat, mapFileAssoc[cat]);
}
