// The play list's tree: group header rows, each followed by its file rows, and file rows at
// top level. A file row owns its record.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "player/play_list/media_info.h"
#include "skinui/list.h"

// What a file row shows of its record.
struct PlayListRowLook {
    bool stateIcon = false;  // the record is the one in play
    DWORD titleColor = 0;
    bool invalidMarker = false;
};

// One file row, bound to the record it owns. The row holds no controls of its own: the tree
// draws every row with one shared set (state icon, title, invalid marker) from the row's record.
class CPlayListItemUI : public skinui::CTreeNodeUI {
public:
    CPlayListItemUI();
    ~CPlayListItemUI() override;
    const wchar_t* GetClass() const override { return L"PlayListItemUI"; }

    // The row takes the record (and frees it when the row goes).
    void BindItemData(_tagMediaInfo* record);
    _tagMediaInfo* GetItemData() const { return m_pRecord; }
    // Gives the record back to the caller; the row no longer frees it.
    _tagMediaInfo* ReleaseItemData();
    // Draws the row from its record again.
    void Refresh();
    PlayListRowLook GetLook() const;
    bool IsGroupNode() const override { return false; }
    // The file name.
    skinui::CDuiString GetToolTip() const override;
    void DoPaint(cairo_t* cr, const RECT& rcPaint) override;

private:
    _tagMediaInfo* m_pRecord = nullptr;
};

// One group header: its name and an expand arrow. Selected folder button = collapsed.
class CPlayListGroupUI : public skinui::CTreeNodeUI {
public:
    explicit CPlayListGroupUI(const wchar_t* name);
    const wchar_t* GetClass() const override { return L"PlayListGroupUI"; }
    skinui::CDuiString GetGroupName() const { return m_strGroupName; }
    bool Expand(bool expand = true) override;
    void DoEvent(skinui::TEventUI& event) override;
    bool IsGroupNode() const override { return true; }
    skinui::CControlUI* GetExpandArrow() const { return m_pArrow; }
    // Shows the arrow for the folder button's state.
    void UpdateArrow();

private:
    skinui::CDuiString m_strGroupName;
    skinui::CControlUI* m_pArrow;
};

class CPlayListUI : public skinui::CTreeViewUI {
public:
    CPlayListUI();
    ~CPlayListUI() override;
    const wchar_t* GetClass() const override { return L"PlayListUI"; }

    bool AddGroup(const skinui::CDuiString& name);
    bool RemoveGroup(const skinui::CDuiString& name);
    bool HasGroup(const skinui::CDuiString& name) const;
    CPlayListGroupUI* GetGroup(const skinui::CDuiString& name) const;

    // True when a row holds this record, or a record of the same (non-empty) path. Paths are
    // file names and compared exactly. Rows are found by record and by path in constant time.
    bool ContainsItem(const _tagMediaInfo* record) const;
    // Room in the index of paths for this many rows: a long fill then never grows it again.
    void ReserveRows(std::size_t rows) { m_byPath.reserve(rows); }
    // On success the new row owns the record; on false the caller still does.
    bool AddItem(_tagMediaInfo* record, int index);
    bool AddItemToGroup(_tagMediaInfo* record, const skinui::CDuiString& groupName);

    // A header goes with its rows; a group left without rows goes too.
    bool RemoveNode(skinui::CTreeNodeUI* node);
    bool Remove(skinui::CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    CPlayListItemUI* FindItemUI(const _tagMediaInfo* record) const;
    CPlayListItemUI* FindItemUIByPath(const std::wstring& path) const;
    CPlayListItemUI* GetItemUIAt(int index) const;

    void DoEvent(skinui::TEventUI& event) override;
    bool OnNodeClick(skinui::TNotifyUI& msg) override;
    void MoveSelectionTo(skinui::CControlUI* target) override;

    // Called with each record just before its row frees it, so that holders can let go.
    std::function<void(_tagMediaInfo*)> OnRecordRemoved;

private:
    friend class CPlayListItemUI;
    class RowPainter;
    skinui::CTreeNodeUI* NodeAt(int index) const;
    bool ModifierHeld() const { return (m_wLastKeys & (MK_CONTROL | MK_SHIFT)) != 0; }
    // Binds a new row to the record and has place() put it into the tree; false (and the record
    // still the caller's) when the record or its path is listed or place() fails.
    bool AddRow(_tagMediaInfo* record, const std::function<bool(CPlayListItemUI*)>& place);
    // The path index follows the rows that AddRow made; a listed record's path does not change.
    void IndexRow(CPlayListItemUI* row);
    void UnindexRow(CPlayListItemUI* row);
    void PaintRow(cairo_t* cr, const RECT& rcPaint, const CPlayListItemUI& row);
    std::map<skinui::CDuiString, CPlayListGroupUI*> m_mapGroups;
    // Rows by their record's path; a row is looked up by a path as well as by itself.
    struct PathOfRow {
        using is_transparent = void;
        static std::wstring_view Of(std::wstring_view path) noexcept { return path; }
        static std::wstring_view Of(const CPlayListItemUI* row) noexcept { return row->GetItemData()->strFilePath; }
        // Not noexcept, so that the set keeps each row's hash: growing it hashes no path again.
        template <class A>
        std::size_t operator()(const A& a) const {
            return std::hash<std::wstring_view>{}(Of(a));
        }
        template <class A, class B>
        bool operator()(const A& a, const B& b) const noexcept {
            return Of(a) == Of(b);
        }
    };
    std::unordered_set<CPlayListItemUI*, PathOfRow, PathOfRow> m_byPath;
    std::unique_ptr<RowPainter> m_painter;
    WORD m_wLastKeys = 0;
};
