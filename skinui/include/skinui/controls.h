// Plain controls: label, text, button, option, check box, progress, slider, edit, rich edit,
// animated picture and hot-key field.
#pragma once

#include "skinui/control.h"

namespace skinui {

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    const wchar_t* GetClass() const override { return L"LabelUI"; }
    void* GetInterface(const wchar_t* name) override;

    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD argb);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD argb);
    int GetFont() const { return m_iFont; }
    void SetFont(int index);
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc);
    bool IsShowHtml() const { return false; }

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintText(cairo_t* cr) override;

protected:
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_iFont = -1;
    RECT m_rcTextPadding{0, 0, 0, 0};
};

// A label whose text wraps by default.
class CTextUI : public CLabelUI {
public:
    CTextUI();
    const wchar_t* GetClass() const override { return L"TextUI"; }
    void* GetInterface(const wchar_t* name) override;
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    const wchar_t* GetClass() const override { return L"ButtonUI"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetEnabled(bool enable = true) override;
    void DoEvent(TEventUI& event) override;

    const CDuiString& GetNormalImage() const { return m_sNormalImage; }
    void SetNormalImage(const wchar_t* s);
    const CDuiString& GetHotImage() const { return m_sHotImage; }
    void SetHotImage(const wchar_t* s);
    const CDuiString& GetPushedImage() const { return m_sPushedImage; }
    void SetPushedImage(const wchar_t* s);
    const CDuiString& GetDisabledImage() const { return m_sDisabledImage; }
    void SetDisabledImage(const wchar_t* s);
    void SetHotTextColor(DWORD argb) { m_dwHotTextColor = argb; }
    void SetPushedTextColor(DWORD argb) { m_dwPushedTextColor = argb; }
    UINT GetButtonState() const { return m_uButtonState; }

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintText(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;

protected:
    UINT m_uButtonState = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwHotBkColor = 0;
    CDuiString m_sNormalImage, m_sHotImage, m_sPushedImage, m_sDisabledImage, m_sFocusedImage;
};

// A button with a selected state; options of one group exclude each other.
class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;
    const wchar_t* GetClass() const override { return L"OptionUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    bool Activate() override;

    const CDuiString& GetGroup() const { return m_sGroupName; }
    void SetGroup(const wchar_t* group);
    bool IsSelected() const { return m_bSelected; }
    // Changes the state; "selectchanged" is sent when bTriggerEvent is set and it changed.
    virtual void Selected(bool selected, bool bTriggerEvent = true);
    void SetSelectedImage(const wchar_t* s) { m_sSelectedImage = s; Invalidate(); }
    void SetSelectedHotImage(const wchar_t* s) { m_sSelectedHotImage = s; Invalidate(); }
    void SetSelectedTextColor(DWORD argb) { m_dwSelectedTextColor = argb; }

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(cairo_t* cr) override;
    void PaintText(cairo_t* cr) override;
    void PaintBkColor(cairo_t* cr) override;

protected:
    bool m_bSelected = false;
    CDuiString m_sGroupName;
    CDuiString m_sSelectedImage, m_sSelectedHotImage;
    DWORD m_dwSelectedTextColor = 0;
    DWORD m_dwSelectedBkColor = 0;
};

class CCheckBoxUI : public COptionUI {
public:
    const wchar_t* GetClass() const override { return L"CheckBoxUI"; }
    void* GetInterface(const wchar_t* name) override;
    bool GetCheck() const { return IsSelected(); }
    void SetCheck(bool check, bool bTriggerEvent = true) { Selected(check, bTriggerEvent); }
};

class CProgressUI : public CLabelUI {
public:
    const wchar_t* GetClass() const override { return L"ProgressUI"; }
    void* GetInterface(const wchar_t* name) override;
    bool IsHorizontal() const { return m_bHorizontal; }
    int GetMinValue() const { return m_nMin; }
    void SetMinValue(int v);
    int GetMaxValue() const { return m_nMax; }
    void SetMaxValue(int v);
    int GetValue() const { return m_nValue; }
    // Sets the value (clamped to the range); never sends a notification.
    void SetValue(int v);
    void SetForeImage(const wchar_t* s) { m_sForeImage = s; Invalidate(); }
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(cairo_t* cr) override;

protected:
    bool m_bHorizontal = true;
    int m_nMin = 0, m_nMax = 100, m_nValue = 0;
    CDuiString m_sForeImage;
    DWORD m_dwForeColor = 0;
};

// "valuechanged" on a press and at the release, "movevaluechanged" while dragging,
// "buttonup" after the release and "mouseleave" when the mouse leaves.
class CSliderUI : public CProgressUI {
public:
    CSliderUI();
    const wchar_t* GetClass() const override { return L"SliderUI"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override { return UIFLAG_SETCURSOR; }
    void SetEnabled(bool enable = true) override;
    SIZE GetThumbSize() const { return m_szThumb; }
    RECT GetThumbRect() const;
    int GetChangeStep() const { return m_nStep; }
    void SetChangeStep(int step) { m_nStep = step; }
    bool IsDragging() const { return m_bDragging; }
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(cairo_t* cr) override;

protected:
    int ValueAtPoint(POINT pt) const;
    SIZE m_szThumb{10, 10};
    int m_nStep = 1;
    bool m_bDragging = false;
    UINT m_uThumbState = 0;
    CDuiString m_sThumbImage, m_sThumbHotImage, m_sThumbPushedImage;
    DWORD m_dwThumbColor = 0;
};

// Single-line text field (also read-only multi-line with a scroll bar: CRichEditUI).
// "textchanged" after each change by the user, "return" on Enter.
class CEditUI : public CLabelUI {
public:
    CEditUI();
    const wchar_t* GetClass() const override { return L"EditUI"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override;
    void SetText(const wchar_t* text) override;
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(bool b) { m_bReadOnly = b; Invalidate(); }
    int GetMaxChar() const { return m_nMaxChar; }
    void SetMaxChar(int n) { m_nMaxChar = n; }
    bool IsPasswordMode() const { return m_bPassword; }
    void SetPasswordMode(bool b) { m_bPassword = b; Invalidate(); }
    int GetCaretPos() const { return m_nCaret; }
    void SetSel(int start, int end);
    void SetSelAll() { SetSel(0, -1); }
    CDuiString GetSelText() const;
    // Types text at the caret as if the user had, replacing the selection.
    void ReplaceSel(const wchar_t* text, bool notify = true);
    bool IsMultiLine() const { return m_bMultiLine; }
    void SetMultiLine(bool b);
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(cairo_t* cr) override;
    void PaintText(cairo_t* cr) override;

protected:
    void DeleteRange(int from, int to);
    void NotifyChanged();
    int CaretFromPoint(POINT pt) const;
    bool m_bReadOnly = false;
    bool m_bPassword = false;
    bool m_bMultiLine = false;
    int m_nMaxChar = 255;
    int m_nCaret = 0;
    int m_nSelStart = 0;  // selection is [min(start,caret), max(...)]
    int m_nScrollY = 0;
    int m_nContentHeight = 0;
    bool m_bCaretShown = true;
    DWORD m_dwNativeBkColor = 0xFFFFFFFF;
    CDuiString m_sNormalImage, m_sHotImage, m_sFocusedImage, m_sDisabledImage;
    UINT m_uButtonState = 0;
};

// Multi-line, word-wrapped, optionally read-only text with a vertical scroll bar.
class CRichEditUI : public CEditUI {
public:
    CRichEditUI();
    const wchar_t* GetClass() const override { return L"RichEditUI"; }
    void* GetInterface(const wchar_t* name) override;
};

struct GifFrames;

// Plays an animated GIF ("bkimage" names the file) while it is shown: its frame timer runs only then.
class CGifAnimUI : public CControlUI {
public:
    static constexpr UINT kFrameTimer = 21;
    ~CGifAnimUI() override;
    const wchar_t* GetClass() const override { return L"GifAnimUI"; }
    void* GetInterface(const wchar_t* name) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void PaintBkImage(cairo_t* cr) override;
    int GetFrameCount();
    int GetCurrentFrame() const { return m_nFrame; }
    void PlayGif();
    void StopGif();

private:
    bool Load();
    std::shared_ptr<GifFrames> m_frames;
    int m_nFrame = 0;
    bool m_bAutoPlay = true;
    bool m_bPlaying = false;
};

// Shows and records one key with its modifiers (HOTKEYF_* bits). A key press while focused
// stores it and sends "textchanged"; Backspace or Delete alone clears it.
class CHotKeyUI : public CLabelUI {
public:
    CHotKeyUI();
    const wchar_t* GetClass() const override { return L"HotKeyUI"; }
    void* GetInterface(const wchar_t* name) override;
    UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }
    void GetHotKey(WORD& wVirtualKeyCode, WORD& wModifiers) const;
    DWORD GetHotKey() const { return MAKELONG(m_wVirtualKey, m_wModifiers); }
    void SetHotKey(WORD wVirtualKeyCode, WORD wModifiers);
    void DoEvent(TEventUI& event) override;
    void PaintText(cairo_t* cr) override;
    void PaintBorder(cairo_t* cr) override;
    // "Ctrl + Shift + A"; empty for no key.
    static CDuiString KeyToText(WORD vk, WORD modifiers);

private:
    WORD m_wVirtualKey = 0;
    WORD m_wModifiers = 0;
};

}  // namespace skinui
