// The play-list window: the tree of files and groups, the play-order button, the current
// record and the moves through the list, docked at the main window's right edge.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "player/play_list_ui.h"
#include "player/xml_wnd.h"

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

    // Persistence.
    void LoadPlayList();
    void SavePlayList();

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
    std::wstring GetNextName() const;
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
    // No current record any more, and no section for position writes: every road that removes
    // the current record's row goes through here.
    void ForgetCurrentRecord();
    void SelectRow(int index);
    void PlayFirstFileRow();
    void ShowAddTip(int added, bool refused);
    _tagMediaInfo* MakeRecord(const std::wstring& path) const;
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
};
