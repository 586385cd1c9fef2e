// Lists: the list with its rows, the combo box, the drag list and the tree.
#pragma once

#include <memory>

#include "skinui/container.h"
#include "skinui/controls.h"

namespace skinui {

class CRowSequence;

// Look of the rows, shared by a list and its rows.
struct TListInfoUI {
    int nFont = -1;
    UINT uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT rcTextPadding{4, 0, 4, 0};
    DWORD dwTextColor = 0xFF000000;
    DWORD dwBkColor = 0;
    CDuiString sBkImage;
    DWORD dwSelectedTextColor = 0xFF000000;
    DWORD dwSelectedBkColor = 0xFFC1E3FF;
    CDuiString sSelectedImage;
    DWORD dwHotTextColor = 0xFF000000;
    DWORD dwHotBkColor = 0xFFE9F5FF;
    CDuiString sHotImage;
    DWORD dwDisabledTextColor = 0xFFCCCCCC;
    bool bMultiSelect = false;
};

class IListOwnerUI {
public:
    virtual ~IListOwnerUI() = default;
    virtual TListInfoUI* GetListInfo() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int index, bool bTakeFocus = false, bool bTriggerEvent = true) = 0;
    virtual void DoEvent(TEventUI& event) = 0;
    // The row's place among the owner's rows, or -1.
    virtual int GetItemIndexOf(const CControlUI* row) const = 0;
};

class IListItemUI {
public:
    virtual ~IListItemUI() = default;
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int index) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* owner) = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool select = true) = 0;
    virtual bool IsExpanded() const = 0;
    virtual bool Expand(bool expand = true) = 0;
};

// Shared row behaviour: selection and hot state painting; mouse events go to the owner.
class CListElementBase : public IListItemUI {
public:
    // The row's place in its owner, asked of the owner: places change as rows come and go.
    int GetIndex() const override;
    void SetIndex(int index) override { m_iIndex = index; }
    IListOwnerUI* GetOwner() override { return m_pOwner; }
    bool IsSelected() const override { return m_bSelected; }
    bool IsExpanded() const override { return false; }
    bool Expand(bool) override { return false; }
    bool IsHot() const { return m_bHot; }
    void SetHot(bool hot) { m_bHot = hot; }

protected:
    virtual const CControlUI* AsRow() const = 0;
    int m_iIndex = -1;
    IListOwnerUI* m_pOwner = nullptr;
    bool m_bSelected = false;
    bool m_bHot = false;
};

// A text row (combo rows and simple lists).
class CListLabelElementUI : public CLabelUI, public CListElementBase {
public:
    CListLabelElementUI();
    const wchar_t* GetClass() const override { return L"ListLabelElementUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetOwner(CControlUI* owner) override;
    bool Select(bool select = true) override;
    SIZE EstimateSize(SIZE available) override;
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(cairo_t* cr) override;
    void PaintText(cairo_t* cr) override;

protected:
    const CControlUI* AsRow() const override { return this; }
};

// A row that holds other controls.
class CListContainerElementUI : public CHorizontalLayoutUI, public CListElementBase {
public:
    const wchar_t* GetClass() const override { return L"ListContainerElementUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetOwner(CControlUI* owner) override;
    bool Select(bool select = true) override;
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;

protected:
    const CControlUI* AsRow() const override { return this; }
};

class CListUI;

// The scrolling body that holds a list's rows; clicks on its empty part reach the list. Rows
// are kept in a CRowSequence, so adding, removing and finding a row take logarithmic time, and
// a layout places only the rows in view: every other row keeps an empty rectangle, is not
// painted and is not hit. A row takes the height it asks for (its minimum when it asks none).
class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* owner);
    ~CListBodyUI() override;
    const wchar_t* GetClass() const override { return L"ListBodyUI"; }

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    bool Detach(CControlUI* control) override;
    void EnsureVisible(CControlUI* child) override;
    // Calls fn(row, index) in order until it returns false.
    void ForEachRow(const std::function<bool(CControlUI*, int)>& fn) const;
    // The row in view under the point, or null.
    CControlUI* RowAtPoint(POINT pt) const;

    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void NeedUpdateOf(CControlUI* child) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;

protected:
    void ForEachItem(const std::function<void(CControlUI*)>& fn) const override;
    CControlUI* FindItem(FINDCONTROLPROC proc, void* data, UINT flags) override;
    void PaintItems(cairo_t* cr, const RECT& rc) override;

private:
    // The height a row takes in the sequence: its own, its padding and the gap after it.
    int Measure(CControlUI* row) const;
    void MeasureAll();
    void TakeOut(CControlUI* row);
    // Forgets and destroys every row.
    void DeleteRows();
    CListUI* m_pOwner;
    std::unique_ptr<CRowSequence> m_rows;
    std::vector<CControlUI*> m_inView;
    SIZE m_szMeasured{-1, -1};
    int m_nMeasuredPadding = 0;
};

// A vertical list of rows with single or multiple selection. The container calls address
// the rows (not the body): GetCount, GetItemAt, Add, SetItemIndex ...
// Mouse handling: a press selects (Ctrl toggles, Shift extends when multiple selection is on),
// a release without a drag sends "itemclick", a double click "itemdbclick"; the list also
// sends "itemselect" when its current row changes.
class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
public:
    CListUI();
    const wchar_t* GetClass() const override { return L"ListUI"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }

    CListBodyUI* GetList() const { return m_pList; }
    TListInfoUI* GetListInfo() override { return &m_ListInfo; }
    int GetCurSel() const override;
    int GetItemIndexOf(const CControlUI* row) const override;
    bool SelectItem(int index, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    // index, add to the current selection, scroll it into view, send "itemselect".
    virtual bool SelectItem(int index, bool bAppend, bool bEnsureVisible, bool bTriggerEvent);
    bool UnSelectItem(int index);
    void SelectAllItems();
    void UnSelectAll();
    std::vector<int> GetSelectedItems() const;
    bool IsMultiSelect() const { return m_ListInfo.bMultiSelect; }
    void SetMultiSelect(bool b) { m_ListInfo.bMultiSelect = b; }
    void EnsureVisible(int index);

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    void SetItemBkColor(DWORD c) { m_ListInfo.dwBkColor = c; }
    void SetHotItemBkColor(DWORD c) { m_ListInfo.dwHotBkColor = c; }
    void SetSelectedItemBkColor(DWORD c) { m_ListInfo.dwSelectedBkColor = c; }
    void SetItemTextColor(DWORD c) { m_ListInfo.dwTextColor = c; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;

protected:
    // The row (direct child of the body) under a point, or null.
    CControlUI* RowAtPoint(POINT pt) const;
    IListItemUI* ItemOf(CControlUI* row) const;
    // Drops every pointer the list keeps to a row that is going away.
    virtual void ForgetRow(CControlUI* row);
    void SetHotRow(CControlUI* row);
    virtual void OnRowPress(CControlUI* row, const TEventUI& event);
    virtual void OnRowRelease(CControlUI* row, const TEventUI& event);
    virtual void OnRowDoubleClick(CControlUI* row, const TEventUI& event);
    virtual void OnRowClick(CControlUI* row, const CDuiString& type);
    // Some row other than this one is selected.
    bool HasOtherSelected(CControlUI* row) const;

    CListBodyUI* m_pList;
    TListInfoUI m_ListInfo;
    // The current row and the start of a Shift range keep their rows wherever these move.
    CControlUI* m_pCurRow = nullptr;
    CControlUI* m_pAnchorRow = nullptr;
    CControlUI* m_pPressedRow = nullptr;
    CControlUI* m_pHotRow = nullptr;
    bool m_bPressKeptSelection = false;
};

// A list whose selected rows can be dragged to another place; the split line marks the
// drop row while dragging. The release over a row calls MoveSelectionTo.
class CDragListUI : public CListUI {
public:
    const wchar_t* GetClass() const override { return L"DragListUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetSplitLineColor(DWORD argb) { m_dwSplitLineColor = argb; }
    DWORD GetSplitLineColor() const { return m_dwSplitLineColor; }
    bool IsDragging() const { return m_bDragging; }
    virtual void EndDrag();
    // Moves the selected rows so that they land at the target row; sends nothing by default.
    virtual void MoveSelectionTo(CControlUI* target);
    void DoEvent(TEventUI& event) override;
    void DoPaint(cairo_t* cr, const RECT& rcPaint) override;

protected:
    void OnRowPress(CControlUI* row, const TEventUI& event) override;
    void OnRowRelease(CControlUI* row, const TEventUI& event) override;
    void ForgetRow(CControlUI* row) override;
    DWORD m_dwSplitLineColor = 0xFF2B8CE8;
    bool m_bDragArmed = false;
    bool m_bDragging = false;
    POINT m_ptDragStart{0, 0};
    CControlUI* m_pDropTarget = nullptr;
};

class CTreeViewUI;

// A tree node is a list row; its children follow it directly in the tree's row sequence.
// The node's horizontal layout holds its folder button, check box and item button (text).
class CTreeNodeUI : public CListContainerElementUI {
public:
    explicit CTreeNodeUI(CTreeNodeUI* parent = nullptr);
    ~CTreeNodeUI() override;
    const wchar_t* GetClass() const override { return L"TreeNodeUI"; }
    void* GetInterface(const wchar_t* name) override;

    // A node becomes a child node; any other control becomes part of this row.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool AddChildNode(CTreeNodeUI* node);
    bool RemoveChildNode(CTreeNodeUI* node);
    void RemoveAllChildNode();
    int GetCountChild() const { return static_cast<int>(m_children.size()); }
    CTreeNodeUI* GetChildNode(int index) const;
    bool IsHasChild() const { return !m_children.empty(); }
    // Children, grandchildren and so on.
    int GetCountDescendant() const { return m_nDescendants; }
    CTreeNodeUI* GetParentNode() const { return m_pParentNode; }
    void SetParentNode(CTreeNodeUI* parent) { m_pParentNode = parent; }
    CTreeViewUI* GetTreeView() const { return m_pTreeView; }
    void SetTreeView(CTreeViewUI* tree) { m_pTreeView = tree; }
    // All descendants in sequence order.
    void CollectDescendants(std::vector<CTreeNodeUI*>& out) const;
    int GetTreeLevel() const;

    void SetItemText(const wchar_t* text);
    CDuiString GetItemText() const;
    void SetItemTextColor(DWORD c);
    void SetItemHotTextColor(DWORD c);
    void SetSelItemTextColor(DWORD c);
    CHorizontalLayoutUI* GetTreeNodeHoriznotal() { return Parts().m_pHoriz; }
    CHorizontalLayoutUI* GetHorizontalLayout() { return Parts().m_pHoriz; }
    CCheckBoxUI* GetFolderButton() { return Parts().m_pFolderButton; }
    CCheckBoxUI* GetCheckBox();
    COptionUI* GetItemButton() { return Parts().m_pItemButton; }
    void SetVisibleFolderBtn(bool visible);
    void SetVisibleCheckBtn(bool visible);
    // Whether the children are meant to be shown (the node is expanded).
    void SetVisibleTag(bool visible) { m_bVisibleTag = visible; }
    bool GetVisibleTag() const { return m_bVisibleTag; }
    bool IsExpanded() const override { return m_bVisibleTag; }
    bool Expand(bool expand = true) override;

    bool Select(bool select = true) override;
    bool IsSelectedAllChild() const;
    void SelectAllChild(bool select);
    // Only the nodes of a group header class say true.
    virtual bool IsGroupNode() const { return false; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;

protected:
    // For rows that draw themselves: the node's own parts are made only when first asked for.
    struct PartsOnDemand {};
    CTreeNodeUI(CTreeNodeUI* parent, PartsOnDemand);
    // The node's parts, made now if they were not; the check box only while it is shown.
    CTreeNodeUI& Parts();
    void MakeCheckBox();

    friend class CTreeViewUI;
    // Keeps the children in row order after rows moved.
    void SortChildren() const;
    void CountDescendants(int delta);
    CTreeNodeUI* m_pParentNode = nullptr;
    CTreeViewUI* m_pTreeView = nullptr;
    mutable std::vector<CTreeNodeUI*> m_children;  // owned by the tree's row sequence
    mutable bool m_bChildOrderStale = false;
    int m_nDescendants = 0;
    CHorizontalLayoutUI* m_pHoriz = nullptr;
    CCheckBoxUI* m_pFolderButton = nullptr;
    CCheckBoxUI* m_pCheckBox = nullptr;
    COptionUI* m_pItemButton = nullptr;
    bool m_bVisibleTag = true;
    bool m_bFolderBtnShown = true;
    bool m_bCheckBtnShown = false;
};

// A tree of nodes shown as a flat row sequence. Removing a node removes its children.
// A click on a node reaches OnNodeClick with type "itemclick", a double click with
// "itemdbclick"; the default toggles the folder of a node with children and sends the
// notification again with the tree as sender.
class CTreeViewUI : public CDragListUI {
public:
    CTreeViewUI();
    ~CTreeViewUI() override;
    const wchar_t* GetClass() const override { return L"TreeViewUI"; }
    void* GetInterface(const wchar_t* name) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    // Moves one row; a moved child keeps its place among its siblings in row order.
    bool SetItemIndex(CControlUI* control, int index) override;
    // Inserts a node's rows right after its parent's last descendant (the node itself is not
    // yet counted among them).
    bool InsertChildRow(CTreeNodeUI* parent, CTreeNodeUI* child);

    void SetVisibleFolderBtn(bool visible);
    bool GetVisibleFolderBtn() const { return m_bVisibleFolderBtn; }
    void SetVisibleCheckBtn(bool visible);
    bool GetVisibleCheckBtn() const { return m_bVisibleCheckBtn; }
    // Shows or hides the node's descendants (respecting collapsed sub-nodes).
    void SetItemExpand(bool expand, CTreeNodeUI* node);

    virtual bool OnCheckBoxChanged(TNotifyUI& msg);
    virtual bool OnFolderChanged(TNotifyUI& msg);
    virtual bool OnNodeClick(TNotifyUI& msg);

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    void OnRowClick(CControlUI* row, const CDuiString& type) override;
    bool m_bVisibleFolderBtn = true;
    bool m_bVisibleCheckBtn = false;
};

// The "item..." attributes of lists ("itemtextcolor", "itemselectedbkcolor", ...); false for
// any other name.
bool ApplyListInfoAttribute(TListInfoUI& info, const std::wstring& name, const wchar_t* value);

// A drop-down choice of rows (CListLabelElementUI); "itemselect" when the choice changes.
class CComboUI : public CContainerUI, public IListOwnerUI {
public:
    CComboUI();
    ~CComboUI() override;
    const wchar_t* GetClass() const override { return L"ComboUI"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }
    TListInfoUI* GetListInfo() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    int GetItemIndexOf(const CControlUI* row) const override;
    bool SelectItem(int index, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    CDuiString GetText() const override;
    int GetDropBoxHeight() const { return m_nDropHeight; }
    bool IsDropped() const { return m_hDropWnd != nullptr; }
    bool Activate() override;
    void CloseDropDown();
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Only the combo itself: its rows are painted in the drop-down.
    void DoPaint(cairo_t* cr, const RECT& rcPaint) override;
    void PaintStatusImage(cairo_t* cr) override;
    void PaintText(cairo_t* cr) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;

private:
    void ReIndex();
    TListInfoUI m_ListInfo;
    int m_iCurSel = -1;
    int m_nDropHeight = 150;
    RECT m_rcTextPadding{4, 0, 20, 0};
    CDuiString m_sNormalImage, m_sHotImage, m_sPushedImage;
    UINT m_uButtonState = 0;
    void* m_hDropWnd = nullptr;
    friend class ComboDropWindow;
};

}  // namespace skinui
