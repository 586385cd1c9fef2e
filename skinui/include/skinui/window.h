// Skin windows: the native window wrapper and the window base that builds its controls from
// a layout of the skin archive.
#pragma once

#include "platform/windows/winuser.h"
#include "skinui/manager.h"

#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif

namespace skinui {

// Where a window's layout comes from.
enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,         // a folder on disk (GetSkinFolder)
    UILIB_ZIP = 2,          // a zip file on disk (GetZIPFileName)
    UILIB_RESOURCE = 3,
    UILIB_ZIPRESOURCE = 4,  // a zip held as a program resource (type "ZIPRES", GetResourceID)
};

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    bool RegisterWindowClass();
    HWND Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc, HMENU hMenu = nullptr);
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Runs the window modally (its owner disabled meanwhile); the result is what Close gave.
    UINT ShowModal();
    // Closes the window with a result (posted: the window goes when the message is handled).
    void Close(UINT nRet = IDOK);
    // Centres the window on its top-most owner, or on its monitor when it has none.
    void CenterWindow();
    void SetIcon(UINT nRes);
    void ResizeClient(int cx = -1, int cy = -1);
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Windows that show and hide with this one (SHowAllChildWindows).
    void AddChild(HWND hwnd);
    void SHowAllChildWindows(bool bShow);
    bool IsModal() const { return m_bModal; }

protected:
    virtual LPCWSTR GetWindowClassName() const = 0;
    virtual LPCWSTR GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return CS_DBLCLKS; }
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND hWnd);
    static LRESULT __WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    std::vector<HWND> m_children;
    bool m_bModal = false;
    UINT m_nModalResult = 0;
};

// The base of every skin window. At creation it asks GetSkinFolder, GetSkinFile,
// GetResourceType and GetResourceID, builds the controls of the layout (CreateControl is asked
// for classes the toolkit does not know) and then calls InitWindow. A missing layout makes the
// creation fail with a message.
class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override;
    virtual void InitWindow() {}
    void OnFinalMessage(HWND hWnd) override;
    void Notify(TNotifyUI& msg) override;
    // "closebtn" closes, "minbtn", "maxbtn" and "restorebtn" send their system commands.
    virtual void OnClick(TNotifyUI& msg);
    CPaintManagerUI* GetPaintManager() { return &m_PaintManager; }

    static const DUI_MSGMAP messageMap;
    const DUI_MSGMAP* GetMessageMap() const override { return &messageMap; }

protected:
    virtual CDuiString GetSkinFolder() = 0;
    virtual CDuiString GetSkinFile() = 0;
    LPCWSTR GetWindowClassName() const override = 0;
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);
    virtual UILIB_RESOURCETYPE GetResourceType() const { return UILIB_FILE; }
    virtual CDuiString GetZIPFileName() const { return L""; }
    virtual LPCWSTR GetResourceID() const { return L""; }

public:
    CControlUI* CreateControl(const wchar_t* pstrClass) override { (void)pstrClass; return nullptr; }
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Size box edges give the sizing codes, the caption area (outside buttons) HTCAPTION.
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnChar(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LONG GetStyle();
    // True for controls a press on which must not drag the window from its caption area.
    virtual bool IsInStaticControl(CControlUI* pControl);

protected:
    CPaintManagerUI m_PaintManager;
};

}  // namespace skinui
