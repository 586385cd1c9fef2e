// The play-list window: the tree of files and groups, the play-order button, the current
// record and the moves through the list, docked at the main window's right edge.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "player/play_list/play_list_ui.h"
#include "player/skin_window/xml_wnd.h"

// What the play list asks of the main window.
class IPlayListOwner {
public:
    virtual ~IPlayListOwner() = default;
    virtual HWND GetOwnerWindow() const = 0;
    // Plays a path; calls back SetCurrentItem before it returns.
    virtual void PlayFile(const std::wstring& path) = 0;
    virtual void ShowTip(const std::wstring& text) = 0;
    // The play panel's "btnPlayNext" button.
    virtual void EnablePlayNext(bool enable) = 0;
    virtual bool HasMediaPlayer() const = 0;
    // Forgets the main window's current path (its record left the list).
    virtual void ClearCurrentPath() = 0;
    virtual void ShowFileInfo(const std::wstring& path) = 0;
    // The main window's "just shown" flag of the list (set when it showed the list itself).
    virtual bool IsListJustShown() const = 0;
    virtual void SetListJustShown(bool shown) = 0;
    // A window that shows and hides with the main window.
    virtual void AddChildWindow(HWND hwnd) = 0;
    // Windows that take no input while a dialog of the list is open (caption bar, play panel).
    virtual std::vector<HWND> GetInputWindows() const = 0;
};

// Posted to the play-list window to dock it (and its handle) at the main window again.
inline constexpr UINT WM_PLAYER_REDOCK = WM_APP + 0x2A1;
// Posted to the play-list window by SavePlayListSoon.
inline constexpr UINT WM_PLAYER_SAVE_LIST = WM_APP + 0x2A3;
// Posted to the play-list window by the settings store's reading thread when PlayList.info is read.
inline constexpr UINT WM_PLAYER_LIST_READ = WM_APP + 0x2A4;

// The titles of the list's dialogs: the menu commands that open them.
inline constexpr const wchar_t* kAddFilesDialogTitle = L"添加文件";
inline constexpr const wchar_t* kAddFolderDialogTitle = L"请选择文件夹！";

class CPlayListHandlerWnd;

// Natural (shell) order of file names: numbers by value, letters without regard to case;
// names equal in that order are told apart exactly, so no two file names ever tie.
int NaturalCompare(const std::wstring& a, const std::wstring& b);
struct FileNameCmpLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return NaturalCompare(a, b) < 0; }
};
struct FileNameCmpGreater {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return NaturalCompare(a, b) > 0; }
};

// Series detection.
bool IsChineseNumeral(wchar_t ch);
// True when the two names (or paths) differ only in a number; an empty name never matches.
bool IsSimilarFileName(const std::wstring& first, const std::wstring& second);
// Appends the names of the folder's media files in natural order; the number appended.
int CollectFolderMediaNames(const std::wstring& folder, std::vector<std::wstring>& names);

class CPlayListWnd : public CWzXMLWnd {
public:
    explicit CPlayListWnd(IPlayListOwner* owner);
    ~CPlayListWnd() override;

    // Builds the layout into the paint manager without a window and runs the list's part
    // of the start-up (the handle window is made only for a real window).
    bool CreateHeadless();

    void InitWindow() override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(skinui::TNotifyUI& msg) override;
    void OnClick(skinui::TNotifyUI& msg) override;
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    skinui::CControlUI* CreateControl(const wchar_t* pstrClass) override;

    // Adding.
    void AddFile(const std::wstring& path);
    int AddFolderAsGroup(const std::wstring& folder);
    int AddFiles(const std::vector<std::wstring>& paths, bool makeGroups);
    std::wstring OnDropFiles(HDROP drop);
    // The body of a drop: folders and files in drop order; the path to play or "".
    std::wstring AddDroppedPaths(const std::vector<std::wstring>& paths);
    void AddFilesByDialog();
    int AddFolderByDialog();
    // The body of the add-files dialog: names chosen in one folder. Nothing is added when one
    // of them is missing.
    void AddChosenFiles(const std::wstring& folder, const std::vector<std::wstring>& names);

    // Removing.
    void DeleteSelected();
    void RemoveInvalidItems();
    void ClearAll();

    // Persistence. The load adds its rows in steps on the UI thread (a timer of the window), so
    // that the window maps, plays and answers before a long list is complete; until then the
    // records still to come count as listed: a save writes them after the rows, an add refuses
    // their paths and the current record may be one of them. While the settings store still
    // reads the file on its thread, the load begins when the read is done, or as soon as
    // anything here needs the list (the operations below wait for the read first), so the
    // same holds for the records not read yet. A play's own steps do not wait: the current
    // item and a record's mark are kept until the read is done and set then, in their order.
    void LoadPlayList();
    // The settings store still reads the file for this list.
    bool IsReadAwaited() const { return m_bReadAwaited; }
    // Waits for that read and loads (the kept steps are taken then).
    void FinishRead() { EnsureLoaded(); }
    // fn runs once the read is done and its records are loaded, after the steps kept before
    // it; at once when no read is awaited.
    void AfterRead(std::function<void()> fn);
    // Puts the rows into the settings store and hands the file's text to the writer thread
    // (the disk is not waited for).
    void SavePlayList();
    // The same once the messages already queued have run: a play asked for after an add
    // starts before the list is saved, and the save is a step of the UI thread of its own.
    // Without a window it saves at once. The adds save so.
    void SavePlayListSoon();
    bool IsFilling() const { return m_bReadAwaited || !m_pending.empty(); }
    // One step of the fill (a time budget's worth of rows, whole groups); false when the list
    // is complete. The window runs them by itself; without a window the caller does.
    bool FillStep();
    void FinishFill();
    // Rows per step in place of the time budget (tests); 0 returns to the budget.
    void SetFillStepRows(size_t rows) { m_nFillStepRows = rows; }
    // Marks the record of a path (listed or still to come) as failing or not.
    void MarkItem(const std::wstring& path, bool invalid);

    std::wstring GetSelectedPath() const;
    void OpenContainingFolder();
    void FollowOwner();

    // Current record and play order.
    void SetCurrentItem(const std::wstring& path, int state);
    std::wstring GetCurrentPath() const;
    _tagMediaInfo* GetCurrentRecord() const { return m_pCurMedia; }
    // Forgets the current record (the list was emptied from outside).
    void ClearCurrentRecord();
    void SetCurrentItemProgress(std::int64_t seconds, int permille);
    bool IsLastItem(const std::wstring& path) const;
    // May add rows of a list still filling, so that the next one is there.
    std::wstring GetNextName();
    void PlaySelected();
    void PlayNext();
    void PlayPrevious();
    void ReplayCurrent();
    void PlayNextLoop();
    void PlayRandomItem();
    void PlayNextByOrder(int order);
    void UpdatePlayOrderButton();
    // The play-order menus' choice: stored at once and shown on the button.
    void SetPlayOrder(int order);

    // Random draws: a number in [0, n). Tests put their own in place of the default generator.
    void SetRandomSource(std::function<unsigned(unsigned)> source) { m_random = std::move(source); }

    CPlayListUI* GetList() const { return m_pList; }
    skinui::CButtonUI* GetPlayOrderButton() const { return m_pPlayOrderBtn; }
    CPlayListHandlerWnd* GetHandler() const { return m_pHandler; }
    IPlayListOwner* GetOwner() const { return m_pOwner; }
    // The background colour of "ctnPlaylist" for a transparency index 0..8.
    static DWORD ListBackColor(int transIdx);

private:
    void InitList();
    // Lists a record made here: as a top-level row or in a group; refused (false) when its path
    // is listed or still to come.
    bool ListRecord(_tagMediaInfo* record, const skinui::CDuiString* group);
    void AddLoadedRecord(_tagMediaInfo* record);
    _tagMediaInfo* PendingRecord(const std::wstring& path) const;
    void IndexPending();
    // The record of a path among the rows or the records still to come.
    _tagMediaInfo* FindRecord(const std::wstring& path) const;
    // Drops the records still to come for which drop() holds.
    template <class Drop>
    void DropPending(Drop drop);
    void ScheduleFill();
    // The rows (and the records still to come) into the settings store and the file's text.
    void StoreList();
    // Before a move through the list: the current record's row and the rows after it are there.
    void FillThroughCurrent();
    // The load of the stored records into the fill.
    void AdoptStoredList();
    // Waits for the settings store's read when the load waits for it, and loads.
    void EnsureLoaded();
    // No current record any more, and no section for position writes: every road that removes
    // the current record's row goes through here.
    void ForgetCurrentRecord();
    void SelectRow(int index);
    void PlayFirstFileRow();
    void ShowAddTip(int added, bool refused);
    _tagMediaInfo* MakeRecord(const std::wstring& path) const;
    // Frees a record of the load (the settings store may refer to it: it keeps a copy).
    void FreeRecord(_tagMediaInfo* r);
    int AddRecordsAtEnd(const std::vector<std::wstring>& paths, bool& refused, std::wstring* firstAdded);
    void ShowPlayListMenu(POINT screenPt);
    void ShowPlayOrderMenu();

    IPlayListOwner* m_pOwner;
    CPlayListUI* m_pList = nullptr;
    skinui::CButtonUI* m_pPlayOrderBtn = nullptr;
    _tagMediaInfo* m_pCurMedia = nullptr;
    CPlayListHandlerWnd* m_pHandler = nullptr;
    std::function<unsigned(unsigned)> m_random;
    int m_nLastSavedWidth = -1;
    // The records of the load still to be added, in the order their rows will take.
    std::deque<_tagMediaInfo*> m_pending;
    // Their paths: (hash, place in the load's order) sorted; m_nFilled taken off a place gives
    // the place in m_pending. Entries of records already added stay until the fill ends.
    std::vector<std::pair<std::size_t, std::size_t>> m_pendingByPath;
    std::size_t m_nFilled = 0;
    // [CurPlay] of the load: selected when its row comes, unless the user chose a row first.
    std::wstring m_strLoadCurPlay;
    size_t m_nFillStepRows = 0;
    bool m_bSaveQueued = false;
    bool m_bReadAwaited = false;  // the load waits for the settings store's read
    // What was asked while the read was awaited, in order; the last current path of them.
    std::vector<std::function<void()>> m_afterRead;
    std::wstring m_strAwaitedCurrent;
    bool m_bCurrentAwaited = false;
};
