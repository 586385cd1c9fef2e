// The play list's tree controls.
#include "player/play_list/play_list_ui.h"

#include <algorithm>

#include "skinui/manager.h"

using namespace skinui;

namespace {

constexpr DWORD kTitlePlaying = 0xFF4B91E1;
constexpr DWORD kTitlePlayed = 0xFFC9C9C9;
constexpr DWORD kTitleNormal = 0xFFFFFFFF;
const wchar_t* const kArrowExpanded = L"file='playlist_expand.png' source='10,0,20,20'";
const wchar_t* const kArrowCollapsed = L"file='playlist_expand.png' source='0,0,10,20'";

CTreeNodeUI* AsNode(CControlUI* c) { return c ? static_cast<CTreeNodeUI*>(c->GetInterface(L"TreeNode")) : nullptr; }

CPlayListItemUI* AsItem(CTreeNodeUI* n) { return n && !n->IsGroupNode() ? static_cast<CPlayListItemUI*>(n) : nullptr; }

}  // namespace

// ---- file row ----

// The controls every file row is drawn with, laid out on the row being painted: an icon column
// with the state icon, the title column and the invalid-marker column.
class CPlayListUI::RowPainter {
public:
    RowPainter() {
        m_pLine->SetFixedHeight(30);
        auto* iconColumn = new CVerticalLayoutUI;
        iconColumn->SetFixedWidth(22);
        iconColumn->SetFixedHeight(30);
        m_pStateIcon->SetBkImage(L"playstate_play.png");
        m_pStateIcon->SetAttribute(L"float", L"true");
        m_pStateIcon->SetAttribute(L"pos", L"8,9,0,0");
        m_pStateIcon->SetFixedWidth(12);
        m_pStateIcon->SetFixedHeight(12);
        iconColumn->Add(m_pStateIcon);
        m_pLine->Add(iconColumn);

        auto* titleColumn = new CVerticalLayoutUI;
        titleColumn->SetMinWidth(95);
        titleColumn->SetFixedHeight(30);
        m_pTitle->SetAttribute(L"textcolor", L"#FFFFFFFF");
        m_pTitle->SetAttribute(L"endellipsis", L"true");
        m_pTitle->SetAttribute(L"padding", L"2, 8, 0, 0");
        m_pTitle->SetAttribute(L"font", L"0");
        titleColumn->Add(m_pTitle);
        m_pLine->Add(titleColumn);

        m_pInvalidColumn->SetFixedHeight(22);
        m_pInvalidColumn->SetFixedWidth(35);
        auto* marker = new CControlUI;
        marker->SetAttribute(L"float", L"true");
        marker->SetAttribute(L"pos", L"0,7,1,0");
        marker->SetBkImage(L"file_invalid.png");
        marker->SetFixedWidth(32);
        marker->SetFixedHeight(14);
        m_pInvalidColumn->Add(marker);
        m_pLine->Add(m_pInvalidColumn);
    }
    ~RowPainter() { delete m_pLine; }

    void Paint(cairo_t* cr, const RECT& clip, const RECT& area, const PlayListRowLook& look, const std::wstring& title,
               CPaintManagerUI* manager) {
        // Set without a manager: the shared controls changing asks for no repaint.
        m_pLine->SetManager(nullptr, nullptr, false);
        m_pStateIcon->SetVisible(look.stateIcon);
        m_pTitle->SetText(title.c_str());
        m_pTitle->SetTextColor(look.titleColor);
        m_pInvalidColumn->SetVisible(look.invalidMarker);
        m_pLine->SetManager(manager, nullptr, false);
        m_pLine->SetPos(RECT{area.left, area.top, area.right, std::min<LONG>(area.bottom, area.top + 30)}, false);
        m_pLine->DoPaint(cr, clip);
        m_pLine->SetManager(nullptr, nullptr, false);
    }

private:
    CHorizontalLayoutUI* m_pLine = new CHorizontalLayoutUI;
    CControlUI* m_pStateIcon = new CControlUI;
    CLabelUI* m_pTitle = new CLabelUI;
    CVerticalLayoutUI* m_pInvalidColumn = new CVerticalLayoutUI;
};

CPlayListItemUI::CPlayListItemUI() : CTreeNodeUI(nullptr, PartsOnDemand{}) { SetFixedHeight(30); }

CPlayListItemUI::~CPlayListItemUI() {
    if (!m_pRecord) return;
    if (auto* tree = dynamic_cast<CPlayListUI*>(GetTreeView())) {
        tree->UnindexRow(this);
        if (tree->OnRecordRemoved) tree->OnRecordRemoved(m_pRecord);
    }
    delete m_pRecord;
    m_pRecord = nullptr;
}

void CPlayListItemUI::BindItemData(_tagMediaInfo* record) {
    auto* tree = dynamic_cast<CPlayListUI*>(GetTreeView());
    if (tree) tree->UnindexRow(this);
    if (m_pRecord && m_pRecord != record) delete m_pRecord;
    m_pRecord = record;
    if (!record) return;
    if (tree) tree->IndexRow(this);
    Refresh();
}

_tagMediaInfo* CPlayListItemUI::ReleaseItemData() {
    if (auto* tree = dynamic_cast<CPlayListUI*>(GetTreeView())) tree->UnindexRow(this);
    _tagMediaInfo* r = m_pRecord;
    m_pRecord = nullptr;
    return r;
}

PlayListRowLook CPlayListItemUI::GetLook() const {
    PlayListRowLook look;
    if (!m_pRecord) return look;
    look.stateIcon = m_pRecord->nPlayState != 2;
    look.titleColor = look.stateIcon ? kTitlePlaying : m_pRecord->bPlayed ? kTitlePlayed : kTitleNormal;
    look.invalidMarker = m_pRecord->bInvalid;
    return look;
}

void CPlayListItemUI::Refresh() {
    if (m_pRecord) Invalidate();
}

CDuiString CPlayListItemUI::GetToolTip() const { return m_pRecord ? CDuiString(m_pRecord->strFileName) : CDuiString(); }

void CPlayListItemUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
    CTreeNodeUI::DoPaint(cr, rcPaint);
    if (auto* tree = dynamic_cast<CPlayListUI*>(GetTreeView()); tree && m_pRecord) tree->PaintRow(cr, rcPaint, *this);
}

// ---- group header ----

CPlayListGroupUI::CPlayListGroupUI(const wchar_t* name) : CTreeNodeUI(nullptr), m_strGroupName(name) {
    SetItemText(name);
    SetFixedHeight(30);
    COptionUI* text = GetItemButton();
    text->SetTextPadding(RECT{5, 0, 0, 0});
    text->SetAttribute(L"valign", L"vcenter");
    text->SetAttribute(L"font", L"0");
    SetItemTextColor(0xFFFFFFFF);
    SetItemHotTextColor(0xFFFFFFFF);
    SetSelItemTextColor(0xFFFFFFFF);
    m_pArrow = new CControlUI;
    m_pArrow->SetBkImage(kArrowExpanded);
    m_pArrow->SetAttribute(L"padding", L"8,10,0,0");
    m_pArrow->SetFixedWidth(10);
    m_pArrow->SetFixedHeight(10);
    GetTreeNodeHoriznotal()->AddAt(m_pArrow, 0);
}

void CPlayListGroupUI::UpdateArrow() {
    m_pArrow->SetBkImage(GetFolderButton()->IsSelected() ? kArrowCollapsed : kArrowExpanded);
}

bool CPlayListGroupUI::Expand(bool expand) {
    GetFolderButton()->Selected(!expand, true);
    UpdateArrow();
    SetVisibleTag(expand);
    if (CTreeViewUI* tree = GetTreeView()) tree->SetItemExpand(expand, this);
    return true;
}

void CPlayListGroupUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_RBUTTONDOWN) {
        Select(true);
        return;
    }
    CTreeNodeUI::DoEvent(event);
    if (event.Type == UIEVENT_BUTTONDOWN && (event.wKeyState & (MK_CONTROL | MK_SHIFT))) SelectAllChild(IsSelected());
}

// ---- tree ----

CPlayListUI::CPlayListUI() : m_painter(std::make_unique<RowPainter>()) {
    SetVisibleFolderBtn(false);
    SetHotItemBkColor(0x19F2F2F2);
    SetSelectedItemBkColor(0x26F2F2F2);
    SetItemBkColor(0);
}

CPlayListUI::~CPlayListUI() {
    // The window that listens may be going too; rows go without telling anyone.
    OnRecordRemoved = nullptr;
    m_mapGroups.clear();
    m_byPath.clear();
    CTreeViewUI::RemoveAll();
}

void CPlayListUI::IndexRow(CPlayListItemUI* row) {
    const _tagMediaInfo* r = row->GetItemData();
    if (r && !r->strFilePath.empty()) m_byPath.insert(row);
}

void CPlayListUI::UnindexRow(CPlayListItemUI* row) {
    const _tagMediaInfo* r = row->GetItemData();
    if (!r || r->strFilePath.empty()) return;
    if (auto it = m_byPath.find(std::wstring_view(r->strFilePath)); it != m_byPath.end() && *it == row) m_byPath.erase(it);
}

void CPlayListUI::PaintRow(cairo_t* cr, const RECT& rcPaint, const CPlayListItemUI& row) {
    RECT clip;
    const RECT& rc = row.GetPos();
    if (!IntersectRectUI(clip, rcPaint, rc)) return;
    const RECT inset = row.GetInset();
    RECT area{rc.left + inset.left, rc.top + inset.top, rc.right - inset.right, rc.bottom - inset.bottom};
    m_painter->Paint(cr, clip, area, row.GetLook(), row.GetItemData()->strFileName, m_pManager);
}

CTreeNodeUI* CPlayListUI::NodeAt(int index) const { return AsNode(GetItemAt(index)); }

CPlayListItemUI* CPlayListUI::GetItemUIAt(int index) const { return AsItem(NodeAt(index)); }

bool CPlayListUI::AddGroup(const CDuiString& name) {
    if (m_mapGroups.count(name)) return false;
    auto* header = new CPlayListGroupUI(name.c_str());
    if (!CTreeViewUI::Add(header)) {
        delete header;
        return false;
    }
    m_mapGroups[name] = header;
    return true;
}

bool CPlayListUI::RemoveGroup(const CDuiString& name) {
    auto it = m_mapGroups.find(name);
    if (it == m_mapGroups.end()) return false;
    CPlayListGroupUI* header = it->second;
    m_mapGroups.erase(it);
    return CTreeViewUI::Remove(header);
}

bool CPlayListUI::HasGroup(const CDuiString& name) const { return m_mapGroups.count(name) != 0; }

CPlayListGroupUI* CPlayListUI::GetGroup(const CDuiString& name) const {
    auto it = m_mapGroups.find(name);
    return it == m_mapGroups.end() ? nullptr : it->second;
}

bool CPlayListUI::ContainsItem(const _tagMediaInfo* record) const {
    if (!record) return false;
    if (!record->strFilePath.empty()) return m_byPath.find(std::wstring_view(record->strFilePath)) != m_byPath.end();
    return FindItemUI(record) != nullptr;
}

bool CPlayListUI::AddRow(_tagMediaInfo* record, const std::function<bool(CPlayListItemUI*)>& place) {
    if (!record || ContainsItem(record)) return false;
    auto* row = new CPlayListItemUI;
    row->BindItemData(record);
    if (!place(row)) {
        row->ReleaseItemData();
        delete row;
        return false;
    }
    IndexRow(row);
    return true;
}

bool CPlayListUI::AddItem(_tagMediaInfo* record, int index) {
    return AddRow(record, [&](CPlayListItemUI* row) {
        return index == -1 ? CTreeViewUI::Add(row) : CTreeViewUI::AddAt(row, index);
    });
}

bool CPlayListUI::AddItemToGroup(_tagMediaInfo* record, const CDuiString& groupName) {
    CPlayListGroupUI* header = GetGroup(groupName);
    if (!record || !header) return false;
    std::wstring oldGroup = record->strGroup;
    bool added = AddRow(record, [&](CPlayListItemUI* row) {
        record->strGroup = groupName;
        row->SetInset(RECT{10, 0, 0, 0});
        return header->Add(row);
    });
    if (!added) record->strGroup = oldGroup;
    return added;
}

bool CPlayListUI::RemoveNode(CTreeNodeUI* node) {
    if (!node || GetItemIndex(node) < 0) return false;
    if (node->IsGroupNode()) {
        auto* header = static_cast<CPlayListGroupUI*>(node);
        if (GetGroup(header->GetGroupName()) == header) return RemoveGroup(header->GetGroupName());
        return CTreeViewUI::Remove(header);
    }
    if (CTreeNodeUI* header = node->GetParentNode()) {
        header->Remove(node);
        if (header->IsHasChild()) return true;
        return RemoveNode(header);
    }
    return CTreeViewUI::Remove(node);
}

bool CPlayListUI::Remove(CControlUI* control) { return RemoveNode(AsNode(control)); }

bool CPlayListUI::RemoveAt(int index) { return RemoveNode(NodeAt(index)); }

void CPlayListUI::RemoveAll() {
    m_mapGroups.clear();
    m_byPath.clear();
    CTreeViewUI::RemoveAll();
}

CPlayListItemUI* CPlayListUI::FindItemUI(const _tagMediaInfo* record) const {
    if (!record) return nullptr;
    if (!record->strFilePath.empty()) {
        CPlayListItemUI* row = FindItemUIByPath(record->strFilePath);
        return row && row->GetItemData() == record ? row : nullptr;
    }
    // Records without a path are not indexed (and never made by the player).
    for (int i = 0; i < GetCount(); ++i)
        if (CPlayListItemUI* row = GetItemUIAt(i); row && row->GetItemData() == record) return row;
    return nullptr;
}

CPlayListItemUI* CPlayListUI::FindItemUIByPath(const std::wstring& path) const {
    if (path.empty()) return nullptr;
    auto it = m_byPath.find(std::wstring_view(path));
    return it == m_byPath.end() ? nullptr : *it;
}

void CPlayListUI::DoEvent(TEventUI& event) {
    if (event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) m_wLastKeys = event.wKeyState;
    CControlUI* under = m_pManager ? m_pManager->FindControl(event.ptMouse) : nullptr;
    if (event.Type == UIEVENT_BUTTONDOWN) {
        if (under && under == GetList()) {
            UnSelectAll();
            return;
        }
        CTreeNodeUI* cur = NodeAt(GetCurSel());
        if (ModifierHeld() && cur && cur->IsSelected() && !cur->IsHasChild()) {
            for (int i = 0; i < GetCount(); ++i) {
                CTreeNodeUI* n = NodeAt(i);
                if (!n || !n->IsGroupNode()) continue;
                if (n->IsSelected()) n->SelectAllChild(true);
                else if (n->IsHasChild() && n->IsSelectedAllChild()) SelectItem(i, true, false, true);
            }
        }
    }
    CTreeViewUI::DoEvent(event);
}

bool CPlayListUI::OnNodeClick(TNotifyUI& msg) {
    bool click = msg.sType == DUI_MSGTYPE_ITEMCLICK;
    if (!click && msg.sType != DUI_MSGTYPE_ITEMDBCLICK) return false;
    if (click) {
        if (ModifierHeld()) return true;
        int tops = 0;
        for (int i = 0; i < GetCount(); ++i) {
            CTreeNodeUI* n = NodeAt(i);
            if (n && n->IsSelected() && (!n->GetParentNode() || n->IsHasChild())) ++tops;
        }
        if (tops > 1) return true;
    }
    CTreeNodeUI* node = AsNode(msg.pSender);
    if (!node) return true;
    // A row without children has nothing to fold (and makes no folder button for it).
    if (node->IsHasChild()) {
        CCheckBoxUI* folder = node->GetFolderButton();
        folder->Selected(!folder->IsSelected(), true);
        bool check = folder->GetCheck();
        node->SetVisibleTag(!check);
        SetItemExpand(!check, node);
        if (node->IsGroupNode()) static_cast<CPlayListGroupUI*>(node)->UpdateArrow();
    }
    if (IsEnabled() && m_pManager) {
        m_pManager->SendNotify(this, msg.sType.c_str(), 0, 0, false);
        Invalidate();
    }
    return true;
}

void CPlayListUI::MoveSelectionTo(CControlUI* targetControl) {
    CTreeNodeUI* target = AsNode(targetControl);
    if (!target || GetItemIndex(target) < 0) return;
    const int n = GetCount();
    auto isChild = [](CTreeNodeUI* r) { return r && r->GetParentNode() != nullptr; };
    auto isHeaderOrTop = [](CTreeNodeUI* r) { return r && (r->IsGroupNode() || !r->GetParentNode()); };
    auto headerName = [](CTreeNodeUI* r) {
        CTreeNodeUI* h = r->GetParentNode();
        return h && h->IsGroupNode() ? static_cast<CPlayListGroupUI*>(h)->GetGroupName() : CDuiString();
    };

    bool G = false, T = false, P = false, M = false, anyChild = false;
    bool haveFirst = false;
    CDuiString firstName;
    for (int i = 0; i < n; ++i) {
        CTreeNodeUI* r = NodeAt(i);
        if (!r || !r->IsSelected()) continue;
        if (r->IsHasChild()) {
            G = true;
        } else if (!r->GetParentNode()) {
            if (!r->IsGroupNode()) T = true;
        } else {
            anyChild = true;
            if (!r->GetParentNode()->IsSelectedAllChild()) P = true;
            CDuiString name = headerName(r);
            if (!haveFirst) {
                firstName = name;
                haveFirst = true;
            } else if (!name.empty() && name != firstName) {
                M = true;
            }
        }
    }
    if (M || (P && T) || (G && P)) return;
    // Whole groups chosen by their rows alone move as whole groups, header included, so that
    // no header is ever parted from its rows.
    if (!G && !T && !P && anyChild) {
        for (int i = 0; i < n; ++i)
            if (CTreeNodeUI* r = NodeAt(i); r && r->IsSelected() && isChild(r))
                if (CTreeNodeUI* h = r->GetParentNode(); !h->IsSelected()) SelectItem(GetItemIndex(h), true, false, true);
        G = true;
    }
    const int t = GetItemIndex(target);
    bool full = G || T;
    if (!full && P) {
        CTreeNodeUI* cur = NodeAt(GetCurSel());
        if (target->IsHasChild() || !cur || target->GetParentNode() != cur->GetParentNode()) return;
    }
    if (full) {
        bool allowed = t == n - 1 || isHeaderOrTop(NodeAt(t + 1)) || isHeaderOrTop(target);
        if (!allowed) return;
        for (int i = 0; i < n; ++i) {
            CTreeNodeUI* h = NodeAt(i);
            if (!h || !h->IsSelected() || !h->IsHasChild()) continue;
            for (int j = 0; j < h->GetCountChild(); ++j) SelectItem(i + j + 1, true, false, true);
        }
    }
    std::vector<CControlUI*> rows;
    int first = n, last = 0;
    for (int i = 0; i < n; ++i) {
        CTreeNodeUI* r = NodeAt(i);
        if (!r || !r->IsSelected()) continue;
        rows.push_back(r);
        first = std::min(first, i);
        last = std::max(last, i);
    }
    int d = t;
    if (full) {
        if (target->IsHasChild() && first < t) {
            if (target->GetVisibleTag()) return;
            d = t + target->GetCountChild();
        }
        if (isChild(NodeAt(d)) && last > d) return;
    }
    if (!rows.empty()) {
        if (first < d && last < d) {
            for (CControlUI* r : rows) SetItemIndex(r, d);
        } else if (first > d && last > d) {
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) SetItemIndex(*it, d);
        } else {
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) SetItemIndex(*it, GetItemIndex(*it) < d ? d - 1 : d);
        }
    }
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_LISTITEMMOVE, 0, 0, false);
}
