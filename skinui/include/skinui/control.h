// The control base: position and size rules, attributes, painting, events.
#pragma once

#include <functional>
#include <memory>

#include "skinui/base.h"

// Text layout flags of labels and buttons (the classic values).
#ifndef DT_TOP
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_END_ELLIPSIS 0x00008000
#endif

namespace skinui {

class CPaintManagerUI;
class CRowSequence;

// FindControl flags.
#define UIFIND_ALL 0x00000000
#define UIFIND_VISIBLE 0x00000001
#define UIFIND_ENABLED 0x00000002
#define UIFIND_HITTEST 0x00000004
#define UIFIND_TOP_FIRST 0x00000008
#define UIFIND_ME_FIRST 0x80000000

// GetControlFlags.
#define UIFLAG_TABSTOP 0x00000001
#define UIFLAG_SETCURSOR 0x00000002
#define UIFLAG_WANTRETURN 0x00000004

// Button and option paint states.
#define UISTATE_FOCUSED 0x00000001
#define UISTATE_SELECTED 0x00000002
#define UISTATE_DISABLED 0x00000004
#define UISTATE_HOT 0x00000008
#define UISTATE_PUSHED 0x00000010
#define UISTATE_CAPTURED 0x00000040

using FINDCONTROLPROC = CControlUI* (*)(CControlUI*, void*);

bool PtInRectUI(const RECT& rc, POINT pt);
bool IntersectRectUI(RECT& out, const RECT& a, const RECT& b);
bool IsRectEmptyUI(const RECT& rc);
// "l,t,r,b" and "cx,cy" attribute values; missing parts are 0.
RECT ParseRect(const wchar_t* value);
SIZE ParseSize(const wchar_t* value);
// "#AARRGGBB", "#RRGGBB" or "0xAARRGGBB"; six digits mean opaque.
DWORD ParseColor(const wchar_t* value);
bool ParseBool(const wchar_t* value);
int ParseInt(const wchar_t* value);

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetName() const;
    virtual void SetName(const wchar_t* name);
    virtual const wchar_t* GetClass() const { return L"ControlUI"; }
    // The control as the named interface ("Control", "Button", "Container", ...) or null.
    virtual void* GetInterface(const wchar_t* name);
    virtual UINT GetControlFlags() const { return 0; }
    virtual bool Activate();

    virtual CPaintManagerUI* GetManager() const { return m_pManager; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParent() const { return m_pParent; }

    // Text.
    virtual CDuiString GetText() const { return m_sText; }
    virtual void SetText(const wchar_t* text);

    // Background and border.
    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD argb);
    const CDuiString& GetBkImage() const;
    void SetBkImage(const wchar_t* image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int size);
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE round);

    // Position and size.
    virtual const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    virtual int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
    virtual int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
    virtual RECT GetPadding() const { return m_rcPadding; }
    virtual void SetPadding(RECT rc);
    virtual SIZE GetFixedXY() const { return m_cXY; }
    virtual void SetFixedXY(SIZE xy);
    virtual int GetFixedWidth() const { return m_cxyFixed.cx; }
    virtual void SetFixedWidth(int cx);  // negative values are ignored
    virtual int GetFixedHeight() const { return m_cxyFixed.cy; }
    virtual void SetFixedHeight(int cy);
    int GetMinWidth() const { return m_cxyMin.cx; }
    void SetMinWidth(int cx);
    int GetMaxWidth() const { return m_cxyMax.cx; }
    void SetMaxWidth(int cx);
    int GetMinHeight() const { return m_cxyMin.cy; }
    void SetMinHeight(int cy);
    int GetMaxHeight() const { return m_cxyMax.cy; }
    void SetMaxHeight(int cy);
    // The size a layout should give this control; 0 in a dimension means "stretch".
    virtual SIZE EstimateSize(SIZE available);
    virtual bool IsFloat() const { return m_bFloat; }
    virtual void SetFloat(bool b);

    // Tool tip, menu, user data.
    virtual CDuiString GetToolTip() const;
    virtual void SetToolTip(const wchar_t* text);
    bool IsContextMenuUsed() const { return m_bMenuUsed; }
    void SetContextMenuUsed(bool b) { m_bMenuUsed = b; }
    const CDuiString& GetUserData() const;
    void SetUserData(const wchar_t* s);
    UINT_PTR GetTag() const { return m_pTag; }
    // The key ("shortcut") that, pressed with Alt, activates the control as a click would.
    wchar_t GetShortcut() const { return m_chShortcut; }
    void SetShortcut(wchar_t ch);
    void SetTag(UINT_PTR tag) { m_pTag = tag; }

    // State.
    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual void SetVisible(bool visible = true);
    virtual void SetInternVisible(bool visible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool enable = true);
    virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
    virtual void SetMouseEnabled(bool enable = true);
    virtual bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    virtual void SetKeyboardEnabled(bool enable = true);
    virtual bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();

    virtual CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags);

    void Invalidate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void NeedUpdate();
    void NeedParentUpdate();
    // A child's size or visibility changed.
    virtual void NeedUpdateOf(CControlUI* child);

    virtual void Init();
    virtual void DoInit() {}
    virtual void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    // Attribute list as in a layout: name="value" name2='value2'.
    void ApplyAttributeList(const wchar_t* list);

    virtual void DoPaint(cairo_t* cr, const RECT& rcPaint);
    virtual void PaintBkColor(cairo_t* cr);
    virtual void PaintBkImage(cairo_t* cr);
    virtual void PaintStatusImage(cairo_t* cr);
    virtual void PaintText(cairo_t* cr);
    virtual void PaintBorder(cairo_t* cr);

    // Draws an image description ("name.png" or "file='x' source='l,t,r,b' corner=..." ) on
    // the control; false when the image cannot be loaded.
    bool DrawImage(cairo_t* cr, const CDuiString& image, const RECT* dest = nullptr);

    CEventSource OnInit;
    CEventSource OnEvent;
    CEventSource OnNotify;

protected:
    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CDuiString m_sText;
    UINT_PTR m_pTag = 0;
    wchar_t m_chShortcut = 0;
    RECT m_rcItem{0, 0, 0, 0};
    RECT m_rcPadding{0, 0, 0, 0};
    SIZE m_cXY{0, 0};
    SIZE m_cxyFixed{0, 0};
    SIZE m_cxyMin{0, 0};
    SIZE m_cxyMax{9999, 9999};
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    bool m_bMenuUsed = false;
    bool m_bUpdateNeeded = true;
    DWORD m_dwBackColor = 0;
    DWORD m_dwBorderColor = 0;
    int m_nBorderSize = 0;
    SIZE m_cxyBorderRound{0, 0};

private:
    // Texts many controls leave empty, kept apart so that the many rows of a list do not carry
    // them.
    struct Texts {
        CDuiString name;
        CDuiString bkImage;
        CDuiString toolTip;
        CDuiString userData;
    };
    Texts& OwnTexts();
    std::unique_ptr<Texts> m_pTexts;
    // The place of this control in the row sequence of the list that holds it as a row.
    friend class CRowSequence;
    void* m_pRowNode = nullptr;
};

}  // namespace skinui
