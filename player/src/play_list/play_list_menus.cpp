// The play list's context menu and play-order menu: enabling, check marks and actions.
#include "player/play_list/play_list_menus.h"

#include "platform/windows/msgbox.h"
#include "platform/windows/winuser.h"
#include "player/play_list/media_info.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"

namespace {

// Positions in the context menu's "major" submenu.
enum MajorItem { kAdd = 0, kPlay = 1, kOpenDir = 2, kFileInfo = 3, kDele = 5, kDeleInvalid = 6, kClear = 7, kOrder = 9 };

int OrderOfItem(const std::wstring& item) {
    for (int i = 0; i < kPlayOrderCount; ++i)
        if (item == kPlayOrders[i].menuItem) return i;
    return -1;
}

// Caption bar, play panel and main window take no input while an add dialog is open.
template <class Fn>
auto WithOwnersDisabled(CPlayListWnd& wnd, Fn fn) {
    std::vector<HWND> windows;
    if (IPlayListOwner* owner = wnd.GetOwner()) {
        windows = owner->GetInputWindows();
        windows.push_back(owner->GetOwnerWindow());
    }
    for (HWND h : windows)
        if (h) ::EnableWindow(h, FALSE);
    auto result = fn();
    for (HWND h : windows)
        if (h) ::EnableWindow(h, TRUE);
    return result;
}

}  // namespace

PlayListMenuState GetPlayListMenuState(const CPlayListWnd& wnd) {
    PlayListMenuState s{};
    for (bool& e : s.majorEnabled) e = true;
    CPlayListUI* list = wnd.GetList();
    bool hasRows = list && list->GetCount() > 0;
    bool hasCurrent = list && list->GetCurSel() != -1;
    s.majorEnabled[kDeleInvalid] = s.majorEnabled[kClear] = hasRows;
    s.majorEnabled[kPlay] = s.majorEnabled[kOpenDir] = s.majorEnabled[kFileInfo] = s.majorEnabled[kDele] = hasCurrent;
    s.checkedOrder = g_SysConfig.nPlayOrder;
    return s;
}

void DispatchPlayListMenu(CPlayListWnd& wnd, const std::wstring& item) {
    if (item.empty() || item == L"null") return;
    IPlayListOwner* owner = wnd.GetOwner();
    if (item == L"play") {
        wnd.PlaySelected();
    } else if (item == L"opendir") {
        wnd.OpenContainingFolder();
    } else if (item == L"dele") {
        wnd.DeleteSelected();
    } else if (item == L"deleinvalid") {
        wnd.RemoveInvalidItems();
    } else if (item == L"clearplaylist") {
        HWND main = owner ? owner->GetOwnerWindow() : nullptr;
        if (::MessageBoxW(main, L"清空后播放记录将不可恢复\n确认清空吗？", L"清空播放记录", MB_ICONWARNING | MB_OKCANCEL) == IDOK)
            wnd.ClearAll();
    } else if (item == L"addfile") {
        WithOwnersDisabled(wnd, [&] {
            wnd.AddFilesByDialog();
            return 0;
        });
    } else if (item == L"addfolder") {
        int n = WithOwnersDisabled(wnd, [&] { return wnd.AddFolderByDialog(); });
        if (owner && n == 0) owner->ShowTip(L"没有添加文件到列表");
        if (owner && n > 0) owner->ShowTip(L"共添加" + std::to_wstring(n) + L"个文件到列表");
    } else if (item == L"fileinfo") {
        if (owner) owner->ShowFileInfo(wnd.GetSelectedPath());
    } else if (int order = OrderOfItem(item); order >= 0) {
        wnd.SetPlayOrder(order);
    }
}

void DispatchPlayOrderMenu(CPlayListWnd& wnd, const std::wstring& item) {
    if (int order = OrderOfItem(item); order >= 0) wnd.SetPlayOrder(order);
}

namespace {

void CheckOrder(skinui::CMenuUI* menu) {
    if (!menu) return;
    for (int i = 0; i < kPlayOrderCount; ++i) menu->SetItemCheck(i, false);
    menu->SetItemCheck(g_SysConfig.nPlayOrder, true);
}

}  // namespace

bool CPlayListRButtonMenu::Init(HWND owner, CPlayListWnd* wnd) {
    m_wnd = wnd;
    if (!CWzMenu::Init(owner) || !wnd) return false;
    PlayListMenuState state = GetPlayListMenuState(*wnd);
    if (skinui::CMenuUI* major = FindMenuByName(L"major"))
        for (int pos : {kPlay, kOpenDir, kFileInfo, kDele, kDeleInvalid, kClear}) major->SetEnabled(pos, state.majorEnabled[pos]);
    CheckOrder(FindMenuByName(L"play_order"));
    return true;
}

skinui::CDuiString CPlayListRButtonMenu::Track(int x, int y) {
    skinui::CDuiString chosen = TrackPopupMenu(x, y);
    if (m_wnd) DispatchPlayListMenu(*m_wnd, chosen);
    return chosen;
}

bool CPlayOrderMenu::Init(HWND owner, CPlayListWnd* wnd) {
    m_wnd = wnd;
    if (!CWzMenu::Init(owner)) return false;
    CheckOrder(FindMenuByName(L"major"));
    return true;
}

skinui::CDuiString CPlayOrderMenu::Track(int x, int y) {
    skinui::CDuiString chosen = TrackPopupMenu(x, y);
    if (m_wnd) DispatchPlayOrderMenu(*m_wnd, chosen);
    return chosen;
}
