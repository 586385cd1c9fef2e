// The play list's tree: group header rows, each followed by its file rows, and file rows at
// top level. A file row owns its record.
#pragma once

#include <functional>
#include <map>

#include "player/media_info.h"
#include "skinui/list.h"

// One file row, bound to the record it owns.
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
    // Draws the row from its record.
    void Refresh();
    bool IsGroupNode() const override { return false; }

    skinui::CControlUI* GetStateIcon() const { return m_pStateIcon; }
    skinui::CLabelUI* GetTitleLabel() const { return m_pTitle; }
    skinui::CControlUI* GetInvalidColumn() const { return m_pInvalidColumn; }

private:
    _tagMediaInfo* m_pRecord = nullptr;
    skinui::CControlUI* m_pStateIcon;
    skinui::CLabelUI* m_pTitle;
    skinui::CControlUI* m_pInvalidMarker;
    skinui::CVerticalLayoutUI* m_pInvalidColumn;
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
    // file names and compared exactly.
    bool ContainsItem(const _tagMediaInfo* record) const;
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
    skinui::CTreeNodeUI* NodeAt(int index) const;
    bool ModifierHeld() const { return (m_wLastKeys & (MK_CONTROL | MK_SHIFT)) != 0; }
    std::map<skinui::CDuiString, CPlayListGroupUI*> m_mapGroups;
    WORD m_wLastKeys = 0;
};
