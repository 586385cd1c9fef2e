// The paint manager of one window: controls by name and point, focus, capture, hot control,
// timers, notifications, message filters, fonts, and painting. Works without a window too:
// then it lays out and paints into any cairo context (SetInitSize + Paint).
#pragma once

#include <map>
#include <unordered_map>

#include "skinui/control.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _PangoFontDescription PangoFontDescription;

namespace skinui {

struct TFontInfo {
    CDuiString sFontName;
    int iSize = 12;  // pixels
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    PangoFontDescription* desc = nullptr;  // made on first use
};

struct TImageInfo {
    cairo_surface_t* surface = nullptr;  // premultiplied ARGB
    int nWidth = 0;
    int nHeight = 0;
    bool bAlpha = true;
};

// The skin archive: a zip held in memory (a program resource) or a folder on disk.
// Names are looked up at the archive root; one archive serves every window of the process.
class CSkinArchive {
public:
    // Copies nothing: the bytes must stay valid while the archive is used.
    static bool SetZipMemory(const void* data, size_t size);
    static void SetFolder(const std::wstring& folder);
    // True when the zip in use is the one at these bytes.
    static bool IsZipMemory(const void* data);
    static void Reset();
    // The member's bytes; false (and an error message) when it is missing.
    static bool Read(const std::wstring& name, std::string& out);
    static bool Exists(const std::wstring& name);
};

// Size box, caption and size limits of a window as its layout gives them.
struct TWindowInfo {
    SIZE szInit{0, 0};
    SIZE szMin{0, 0};
    SIZE szMax{0, 0};
    RECT rcSizeBox{0, 0, 0, 0};
    RECT rcCaption{0, 0, 0, 0};
    SIZE szRoundCorner{0, 0};
    bool bTransparent = false;
    BYTE nOpacity = 255;
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    TWindowInfo& GetWindowInfo() { return m_info; }
    SIZE GetInitSize() const { return m_info.szInit; }
    void SetInitSize(int cx, int cy);
    SIZE GetClientSize() const { return m_szClient; }
    RECT& GetSizeBox() { return m_info.rcSizeBox; }
    RECT& GetCaptionRect() { return m_info.rcCaption; }
    SIZE GetMinInfo() const { return m_info.szMin; }
    SIZE GetMaxInfo() const { return m_info.szMax; }
    void SetWindowAttribute(const wchar_t* name, const wchar_t* value);

    // The control tree; the manager owns the root.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return m_pRoot; }
    bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
    void ReapObjects(CControlUI* control);  // forget a control that is going away
    void RenameControl(CControlUI* control, const CDuiString& oldName);

    CControlUI* FindControl(const wchar_t* name) const;
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindSubControlByPoint(CControlUI* parent, POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* parent, const wchar_t* name) const;

    // Focus, capture, hot control.
    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* control);
    CControlUI* GetHot() const { return m_pEventHover; }
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return m_bMouseCapture; }
    POINT GetMousePos() const { return m_ptLastMouse; }

    // Timers of controls: UIEVENT_TIMER with wParam = the control's timer id.
    bool SetTimer(CControlUI* control, UINT id, UINT elapse);
    bool KillTimer(CControlUI* control, UINT id);
    void KillTimer(CControlUI* control);
    bool HasTimer(CControlUI* control, UINT id) const;

    // Notifications: the sender's OnNotify delegates first, then every notifier in order.
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    void SendNotify(TNotifyUI& msg, bool bAsync = false);
    void SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);
    void FlushAsyncNotify();
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);

    // Fonts (index as in the layout; -1 the default).
    int AddFont(int id, const wchar_t* name, int size, bool bold, bool underline, bool italic, bool isDefault);
    TFontInfo* GetFontInfo(int index);
    TFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(const wchar_t* name, int size, bool bold, bool underline, bool italic);
    // Size of a text in the font (single line unless a width is given).
    SIZE MeasureText(const CDuiString& text, int font, int wrapWidth = -1);
    void AddDefaultAttributeList(const wchar_t* control, const wchar_t* list);
    const wchar_t* GetDefaultAttributeList(const wchar_t* control) const;

    // Images from the skin archive, cached for the whole process.
    static const TImageInfo* GetImageEx(const CDuiString& name);
    static void RemoveAllImages();

    // Drawing.
    void Invalidate();
    void Invalidate(const RECT& rc);
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void NeedUpdate() { m_bUpdateNeeded = true; }
    // Lays the tree out for the client size when something changed.
    void UpdateLayout();
    void Paint(cairo_t* cr, const RECT& rcPaint);
    // Paints the whole client area into a new image surface (caller destroys it).
    cairo_surface_t* RenderToSurface();
    // Repaints the window now (what WM_PAINT does).
    void _WMPaint();
    void SetLayeredOpacity(BYTE opacity) { m_info.nOpacity = opacity; }

    // Translates a window message into control events; true when it consumed the message.
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // Tool tips of controls: the hovered control's tool tip is shown after a short delay.
    void SetToolTipHook(void (*show)(CPaintManagerUI*, CControlUI*, POINT), void (*hide)(CPaintManagerUI*));

private:
    void AddName(CControlUI* control);
    void SendEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam, WORD keyState = 0,
                   wchar_t ch = 0);
    void OnMouseMove(POINT pt, WPARAM wParam);
    void SetHot(CControlUI* control, POINT pt, WPARAM wParam);

    HWND m_hWndPaint = nullptr;
    TWindowInfo m_info;
    SIZE m_szClient{0, 0};
    CControlUI* m_pRoot = nullptr;
    std::unordered_multimap<std::wstring, CControlUI*> m_names;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventRClick = nullptr;
    bool m_bMouseCapture = false;
    bool m_bMouseTracking = false;
    bool m_bUpdateNeeded = true;
    bool m_bFirstLayout = true;
    POINT m_ptLastMouse{-1, -1};
    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_preFilters;
    std::vector<IMessageFilterUI*> m_filters;
    std::vector<TNotifyUI> m_asyncNotify;
    struct Timer {
        CControlUI* control;
        UINT localId;
        UINT_PTR winId;
        bool killed;
    };
    std::vector<Timer> m_timers;
    UINT_PTR m_nextTimerId = 0x5000;
    std::map<int, TFontInfo> m_fonts;
    TFontInfo m_defaultFont;
    std::map<std::wstring, std::wstring> m_defaultAttrs;
    void (*m_tipShow)(CPaintManagerUI*, CControlUI*, POINT) = nullptr;
    void (*m_tipHide)(CPaintManagerUI*) = nullptr;
    UINT_PTR m_tipTimer = 0;
    CControlUI* m_pTipControl = nullptr;
};

}  // namespace skinui
