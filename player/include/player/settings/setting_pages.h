// The four pages of the settings window (general, associations, hot keys, snapshots) over the
// controls of "SettingWnd.xml": filling them from the settings store and turning each change
// into the store and user.cfg at once. The window supplies what needs the window itself
// through ISettingHost, so the pages also run on a paint manager without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "player/settings/assoc_table.h"
#include "player/settings/sys_config.h"
#include "skinui/manager.h"

namespace skinui {
class CHotKeyUI;
}

constexpr int kSettingPageCount = 4;

// The page after (forward) or before the given one, cycling through the four; -1 when the
// given page is none of them.
int SettingTabAfter(int current, bool forward);

// One hot-key control of the hot-key page and the entry of g_HotKeys it edits.
struct HotKeyControlBinding {
    const wchar_t* control;
    HotKeyId entry;
};
extern const HotKeyControlBinding kHotKeyControls[HK_Count];

enum class HotKeyChange {
    Ignored,   // no key: nothing stored
    Conflict,  // another entry has the same key and modifiers: nothing stored
    Stored,
};
struct HotKeyChangeResult {
    HotKeyChange change = HotKeyChange::Ignored;
    int conflictWith = -1;  // the entry already holding the key; -1 for a key the main window keeps
    HotKey restore{};       // what the control should show again after a conflict
};
// Stores `key` as hot key `entry` and writes its section, unless the key is empty or another
// of the 14 entries already has it.
HotKeyChangeResult ChangeHotKey(CSysConfig& cfg, int entry, HotKey key);

// The extensions of one category box: a run of AssocExtensions.
struct AssocGroup {
    size_t first;
    size_t count;
};
extern const AssocGroup kAssocGroups[kAssocCategoryCount];
constexpr size_t kAssocDefaultCount = 12;
// The "默认" preset; ".mk" and ".vcd" have no box and are skipped.
extern const wchar_t* const AssocDefaultExtensions[kAssocDefaultCount];

// Sets strSnapShotPath in the form the snapshot dialog stores too (TrimFolderSeparators) and
// writes [Global] "strSnapShotPath".
void StoreSnapShotFolder(CSysConfig& cfg, std::wstring_view folder);

// Turning "记录上次播放的文件及进度" on or off. Only the progress of the current file's own
// record changes: on, it takes the present position (when a file is open); off, it is cleared
// so that the file does not resume. Nothing else of the play list is touched.
struct CurrentMedia {
    bool open = false;
    std::wstring path;
    std::int64_t seconds = 0;
    int permille = 0;
};
// `shown` hears the new progress, so that the play list's row (which the list saves from) agrees.
void SetSavePlayInfo(CSysConfig& cfg, bool on, const CurrentMedia& media,
                     const std::function<void(std::int64_t seconds, int permille)>& shown = nullptr);

// What the pages need from the settings window and the main window.
class ISettingHost {
public:
    virtual ~ISettingHost() = default;
    // Notifications of a hidden window change nothing.
    virtual bool IsSettingShown() = 0;
    virtual void ApplyAssociations() = 0;
    virtual void ShowHotKeyConflict(skinui::CControlUI* control) = 0;
    virtual void BrowseSnapShotFolder() = 0;
    virtual void CloseSettings() = 0;
    virtual void SaveMainWindowRect() = 0;
    virtual void FitMainWindowToVideo() = 0;
    virtual CurrentMedia GetCurrentMedia() = 0;
    // The current file's row in the play list shows this progress.
    virtual void SetCurrentProgress(std::int64_t seconds, int permille) = 0;
};

class CSettingPages : public skinui::INotifyUI {
public:
    CSettingPages(skinui::CPaintManagerUI& pm, CSysConfig& cfg, ISettingHost& host) : pm_(pm), cfg_(cfg), host_(host) {}

    void LoadGeneralChecks();
    void LoadAssocChecks();
    void LoadHotKeys();
    void LoadSnapshotPage();
    void RefreshPages();

    int CurrentPage() const;
    void SwitchTab(bool forward);

    // Association boxes; missing boxes are skipped everywhere.
    bool IsBoxChecked(const std::wstring& name) const;
    void SetGroupChecks(AssocCategory group, bool on);
    void CheckAllAssocGroups();
    void UncheckAllAssocGroups();
    void CheckDefaultAssoc();
    void CheckVideoAssoc();
    void CheckAudioAssoc();
    void SyncCategoryCheck(AssocCategory group);
    void SyncCategoryChecks();

    void OnHotKeyChanged(skinui::CHotKeyUI* control);

    // Handles the controls' notifications; true when the notification is used up.
    bool HandleNotify(skinui::TNotifyUI& msg);
    void Notify(skinui::TNotifyUI& msg) override { HandleNotify(msg); }

private:
    void OnBoxToggled(skinui::CControlUI* box, bool on);
    void SetBox(const wchar_t* name, bool on);

    skinui::CPaintManagerUI& pm_;
    CSysConfig& cfg_;
    ISettingHost& host_;
    // The check box whose "click" came and whose change of state is still to follow.
    skinui::CControlUI* toggling_ = nullptr;
};
