// Containers and layouts: plain container, vertical, horizontal and tab layouts.
#pragma once

#include "skinui/control.h"

namespace skinui {

class IContainerUI {
public:
    virtual ~IContainerUI() = default;
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual bool SetItemIndex(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;
};

// Every child fills the inner rectangle (inset applied) unless it floats. The container owns
// its children: a removed child is destroyed.
class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    const wchar_t* GetClass() const override { return L"ContainerUI"; }
    void* GetInterface(const wchar_t* name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override { return static_cast<int>(m_items.size()); }
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    // Takes a child out without destroying it; the caller owns it afterwards.
    virtual bool Detach(CControlUI* control);

    RECT GetInset() const { return m_rcInset; }
    void SetInset(RECT rc);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int padding);
    bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
    void SetMouseChildEnabled(bool enable = true) { m_bMouseChildEnabled = enable; }
    // Vertical scrolling of content taller than the container ("vscrollbar").
    void EnableScrollBar(bool vertical = true);
    bool IsScrollEnabled() const { return m_bScroll; }
    int GetScrollPos() const { return m_nScrollPos; }
    int GetScrollRange() const { return m_nScrollRange; }
    void SetScrollPos(int pos);
    void LineUp() { SetScrollPos(m_nScrollPos - 30); }
    void LineDown() { SetScrollPos(m_nScrollPos + 30); }
    // Scrolls so that the child's rectangle is fully inside the view.
    virtual void EnsureVisible(CControlUI* child);
    RECT GetScrollThumbRect() const;

    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetEnabled(bool enable = true) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void DoPaint(cairo_t* cr, const RECT& rcPaint) override;

    // Finds a descendant by name (no manager needed).
    CControlUI* FindSubControl(const wchar_t* name);

protected:
    // The children, in order, for what concerns them all (visibility, manager).
    virtual void ForEachItem(const std::function<void(CControlUI*)>& fn) const;
    // The search of FindControl among the children.
    virtual CControlUI* FindItem(FINDCONTROLPROC proc, void* data, UINT flags);
    // Paints the children that meet the clip rectangle.
    virtual void PaintItems(cairo_t* cr, const RECT& rc);
    RECT InnerRect() const;
    void SetFloatPos(CControlUI* child);
    void ClearManagerRefs(CControlUI* control);
    // Applies the scroll range after a layout pass: content height in pixels.
    void UpdateScroll(int contentHeight, int viewHeight);

    std::vector<CControlUI*> m_items;
    RECT m_rcInset{0, 0, 0, 0};
    int m_iChildPadding = 0;
    bool m_bMouseChildEnabled = true;
    bool m_bScroll = false;
    int m_nScrollPos = 0;
    int m_nScrollRange = 0;
    bool m_bThumbDrag = false;
    int m_nThumbDragOffset = 0;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"VerticalLayoutUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"HorizontalLayoutUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

// Shows one child at a time.
class CTabLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"TabLayoutUI"; }
    void* GetInterface(const wchar_t* name) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    bool SelectItem(int index);
    bool SelectItem(CControlUI* control) { return SelectItem(GetItemIndex(control)); }
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

private:
    int m_iCurSel = -1;
};

}  // namespace skinui
