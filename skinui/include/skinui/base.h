// Basic types of the skin toolkit: strings, notification and event records, the interfaces
// windows implement, delegates, and the notification map of a window.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

typedef struct _cairo cairo_t;

namespace skinui {

class CControlUI;

// Wide string with the few helpers the windows use.
class CDuiString : public std::wstring {
public:
    CDuiString() = default;
    CDuiString(const wchar_t* s) : std::wstring(s ? s : L"") {}
    CDuiString(const wchar_t* s, size_t n) : std::wstring(s ? s : L"", s ? n : 0) {}
    CDuiString(const std::wstring& s) : std::wstring(s) {}
    CDuiString(std::wstring&& s) : std::wstring(std::move(s)) {}
    const wchar_t* GetData() const { return c_str(); }
    int GetLength() const { return static_cast<int>(size()); }
    bool IsEmpty() const { return empty(); }
    void Empty() { clear(); }
    int Compare(const wchar_t* s) const { return compare(s ? s : L""); }
    int CompareNoCase(const wchar_t* s) const;
    void MakeLower();
    // printf-style formatting; the result replaces the contents.
    int Format(const wchar_t* fmt, ...);
    static CDuiString FromUtf8(const std::string& s);
    std::string ToUtf8() const;
};

// A notification a control sends to the windows listening to its paint manager.
struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Input and life-cycle events the paint manager hands to a control. The numbering keeps
// button-down at 13 and right-button-down at 15, as handlers compare them by value.
enum EventType {
    UIEVENT__FIRST = 1,
    UIEVENT__KEYBEGIN,
    UIEVENT_KEYDOWN,
    UIEVENT_KEYUP,
    UIEVENT_CHAR,
    UIEVENT_SYSKEY,
    UIEVENT__KEYEND,
    UIEVENT__MOUSEBEGIN,
    UIEVENT_MOUSEMOVE,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSEHOVER,
    UIEVENT_BUTTONDOWN,   // 13
    UIEVENT_BUTTONUP,
    UIEVENT_RBUTTONDOWN,  // 15
    UIEVENT_DBLCLICK,
    UIEVENT_CONTEXTMENU,
    UIEVENT_SCROLLWHEEL,
    UIEVENT__MOUSEEND,
    UIEVENT_KILLFOCUS,
    UIEVENT_SETFOCUS,
    UIEVENT_WINDOWSIZE,
    UIEVENT_SETCURSOR,
    UIEVENT_TIMER,
    UIEVENT__LAST,
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};
    wchar_t chKey = 0;
    WORD wKeyState = 0;  // MK_CONTROL, MK_SHIFT, MK_LBUTTON ...
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Notification types the controls send.
#define DUI_MSGTYPE_CLICK L"click"
#define DUI_MSGTYPE_SELECTCHANGED L"selectchanged"
#define DUI_MSGTYPE_ITEMSELECT L"itemselect"
#define DUI_MSGTYPE_ITEMCLICK L"itemclick"
#define DUI_MSGTYPE_ITEMDBCLICK L"itemdbclick"
#define DUI_MSGTYPE_VALUECHANGED L"valuechanged"
#define DUI_MSGTYPE_VALUECHANGED_MOVE L"movevaluechanged"
#define DUI_MSGTYPE_TEXTCHANGED L"textchanged"
#define DUI_MSGTYPE_RETURN L"return"
#define DUI_MSGTYPE_MENU L"menu"
#define DUI_MSGTYPE_MOUSELEAVE L"mouseleave"
#define DUI_MSGTYPE_BUTTONUP L"buttonup"
#define DUI_MSGTYPE_WINDOWINIT L"windowinit"
#define DUI_MSGTYPE_SETFOCUS L"setfocus"
#define DUI_MSGTYPE_KILLFOCUS L"killfocus"
#define DUI_MSGTYPE_LISTITEMMOVE L"ListItemMove"

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // Builds a control for a layout element the toolkit does not know; null leaves it out.
    virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;
};

// Delegates: an object and a member function `bool (T::*)(void*)`, called with a TNotifyUI*.
class CDelegateBase {
public:
    virtual ~CDelegateBase() = default;
    virtual CDelegateBase* Copy() const = 0;
    virtual bool Invoke(void* param) = 0;
    bool operator()(void* param) { return Invoke(param); }
};

template <class O, class T>
class CDelegate : public CDelegateBase {
public:
    using Fn = bool (T::*)(void*);
    CDelegate(O* obj, Fn fn) : obj_(obj), fn_(fn) {}
    CDelegateBase* Copy() const override { return new CDelegate(*this); }
    bool Invoke(void* param) override { return (static_cast<T*>(obj_)->*fn_)(param); }

private:
    O* obj_;
    Fn fn_;
};

template <class O, class T>
CDelegate<O, T> MakeDelegate(O* obj, bool (T::*fn)(void*)) {
    return CDelegate<O, T>(obj, fn);
}

// A list of delegates; invoking it calls each in the order added, stopping at a false result.
// Every control has three and most have none, so the list is made with its first delegate.
class CEventSource {
public:
    CEventSource() = default;
    CEventSource(const CEventSource&) = delete;
    CEventSource& operator=(const CEventSource&) = delete;
    void operator+=(const CDelegateBase& d) { Items().emplace_back(d.Copy()); }
    void operator+=(bool (*fn)(void*));
    bool operator()(void* param);
    bool IsEmpty() const { return !items_ || items_->empty(); }
    void Clear() { items_.reset(); }

private:
    std::vector<std::unique_ptr<CDelegateBase>>& Items();
    std::unique_ptr<std::vector<std::unique_ptr<CDelegateBase>>> items_;
};

// Notification map: a window routes notification types (optionally only from one control
// name) to its member functions; maps chain to the base class's map.
class CNotifyPump;
using DUI_PMSG = void (CNotifyPump::*)(TNotifyUI&);
struct DUI_MSGMAP_ENTRY {
    const wchar_t* sMsgType;
    const wchar_t* sCtrlName;  // null: any control
    DUI_PMSG pfn;
};
struct DUI_MSGMAP {
    const DUI_MSGMAP* pBaseMap;
    const DUI_MSGMAP_ENTRY* lpEntries;  // ends with an entry whose sMsgType is null
};

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;
    static const DUI_MSGMAP messageMap;
    virtual const DUI_MSGMAP* GetMessageMap() const { return &messageMap; }
    // Calls the first entry that matches; true when one did.
    bool NotifyPump(TNotifyUI& msg);
};

// Converts a member function of a class derived from CNotifyPump for a map entry.
template <class T>
DUI_PMSG DuiMsgFn(void (T::*fn)(TNotifyUI&)) {
    return static_cast<DUI_PMSG>(fn);
}

// Diagnostics: a missing layout, image or control class is reported here and on stderr.
void ReportError(const std::wstring& message);
const std::wstring& GetLastErrorMessage();

}  // namespace skinui
