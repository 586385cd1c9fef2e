// The current record and the moves through the list for each play order.
#include <ctime>
#include <random>

#include "platform/kernel/files.h"
#include "player/engine/media_types.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"

using namespace skinui;

namespace {

bool FileExists(const std::wstring& path) { return !path.empty() && PathFileExistsW(path.c_str()); }

bool IsHeader(CPlayListUI* list, int index) {
    CControlUI* c = list->GetItemAt(index);
    auto* node = c ? static_cast<CTreeNodeUI*>(c->GetInterface(L"TreeNode")) : nullptr;
    return node && node->IsGroupNode();
}

}  // namespace

void CPlayListWnd::SelectRow(int index) {
    if (m_pList) m_pList->SelectItem(index, false, true, true);
}

std::wstring CPlayListWnd::GetCurrentPath() const {
    if (m_bCurrentAwaited) return m_strAwaitedCurrent;
    return m_pCurMedia ? m_pCurMedia->strFilePath : L"";
}

void CPlayListWnd::SetCurrentItem(const std::wstring& path, int state) {
    // A play does not wait for a long list's read: its record (or its add) follows it.
    if (m_bReadAwaited) {
        m_strAwaitedCurrent = path;
        m_bCurrentAwaited = true;
        return AfterRead([this, path, state] { SetCurrentItem(path, state); });
    }
    if (!m_pList) return;
    // At most one add: a file that cannot be listed ends the call rather than looping.
    for (int pass = 0; pass < 2; ++pass) {
        if (m_pCurMedia) {
            m_pCurMedia->nPlayState = 2;
            m_pCurMedia->bPlayed = true;
            if (!FileExists(m_pCurMedia->strFilePath) || m_pCurMedia->bError) m_pCurMedia->bInvalid = true;
            if (CPlayListItemUI* row = m_pList->FindItemUI(m_pCurMedia)) row->Refresh();
        }
        CPlayListItemUI* row = m_pList->FindItemUIByPath(path);
        if (!row) {
            // A record of the loaded list whose row is still to come: current now, shown when it comes.
            if (_tagMediaInfo* waiting = PendingRecord(path)) {
                waiting->nPlayState = state;
                m_pCurMedia = waiting;
                g_SysConfig.iniPlayList.WriteString(L"CurPlay", L"strFilePath", path.c_str());
                return;
            }
            if (pass == 0 && IsVideoFile(path.c_str()) && FileExists(path)) {
                AddFile(path);
                state = 0;
                continue;
            }
            return;
        }
        _tagMediaInfo* r = row->GetItemData();
        if (!r) return;
        r->nPlayState = state;
        row->Refresh();
        m_pCurMedia = r;
        g_SysConfig.iniPlayList.WriteString(L"CurPlay", L"strFilePath", path.c_str());
        return;
    }
}

void CPlayListWnd::SetCurrentItemProgress(std::int64_t seconds, int permille) {
    // No wait for the list's read: until it is done there is no current record.
    std::wstring path = GetCurrentPath();
    if (path.empty() || !m_pList) return;
    _tagMediaInfo* r = FindRecord(path);
    if (!r) return;
    r->nPlayTime = seconds;
    r->nPlayPos = permille;
}

bool CPlayListWnd::IsLastItem(const std::wstring& path) const {
    if (!m_pList) return true;
    if (m_bReadAwaited) return false;  // records may come after it
    if (CPlayListItemUI* row = m_pList->FindItemUIByPath(path))
        return m_pList->GetItemIndex(row) == m_pList->GetCount() - 1 && !IsFilling();
    if (_tagMediaInfo* waiting = PendingRecord(path)) return waiting == m_pending.back();
    return true;
}

std::wstring CPlayListWnd::GetNextName() {
    EnsureLoaded();
    if (!m_pList || !m_pCurMedia) return L"";
    int order = g_SysConfig.nPlayOrder;
    if (order != PlayOrderSequential && order != PlayOrderLoop) return L"";
    FillThroughCurrent();
    CPlayListItemUI* cur = m_pList->FindItemUI(m_pCurMedia);
    if (!cur) return L"";
    auto nameAt = [this](int i) {
        CPlayListItemUI* row = m_pList->GetItemUIAt(i);
        return row && row->GetItemData() ? row->GetItemData()->strFileName : std::wstring();
    };
    int n = m_pList->GetItemIndex(cur) + 1;
    if (n < m_pList->GetCount() && IsHeader(m_pList, n)) ++n;
    if (n < m_pList->GetCount()) return nameAt(n);
    if (order == PlayOrderLoop) return nameAt(IsHeader(m_pList, 0) ? 1 : 0);
    return L"";
}

void CPlayListWnd::PlaySelected() {
    EnsureLoaded();
    if (!m_pList) return;
    int i = m_pList->GetCurSel();
    CControlUI* target = m_pList->GetItemAt(i);
    if (!target) return;
    auto* node = static_cast<CTreeNodeUI*>(target->GetInterface(L"TreeNode"));
    if (node && node->IsGroupNode() && node->IsHasChild()) {
        ++i;
        node = static_cast<CTreeNodeUI*>(m_pList->GetItemAt(i)->GetInterface(L"TreeNode"));
    }
    CPlayListItemUI* row = node && !node->IsGroupNode() ? static_cast<CPlayListItemUI*>(node) : nullptr;
    if (_tagMediaInfo* r = row ? row->GetItemData() : nullptr) {
        r->bInvalid = !FileExists(r->strFilePath) || r->bError;
        std::wstring path = r->strFilePath;
        if (m_pOwner) m_pOwner->PlayFile(path);
        // Playing may have changed the rows; find the record's row again.
        if (CPlayListItemUI* again = m_pList->FindItemUIByPath(path)) {
            again->Refresh();
            if (CTreeNodeUI* header = again->GetParentNode()) header->Expand(true);
        }
    }
    if (m_pOwner) m_pOwner->EnablePlayNext(i != m_pList->GetCount() - 1 || IsFilling());
}

void CPlayListWnd::PlayFirstFileRow() {
    SelectRow(IsHeader(m_pList, 0) ? 1 : 0);
    PlaySelected();
}

void CPlayListWnd::PlayNext() {
    EnsureLoaded();
    if (!m_pList) return;
    FillThroughCurrent();
    CPlayListItemUI* cur = m_pCurMedia ? m_pList->FindItemUI(m_pCurMedia) : nullptr;
    if (!cur) {
        PlayFirstFileRow();
        return;
    }
    int i = m_pList->GetItemIndex(cur) + 1;
    if (i >= m_pList->GetCount()) return;  // sequential play stops at the end
    if (IsHeader(m_pList, i)) ++i;
    SelectRow(i);
    PlaySelected();
}

void CPlayListWnd::PlayPrevious() {
    EnsureLoaded();
    if (!m_pList) return;
    FillThroughCurrent();
    CPlayListItemUI* cur = m_pCurMedia ? m_pList->FindItemUI(m_pCurMedia) : nullptr;
    if (!cur) {
        PlayFirstFileRow();
        return;
    }
    int i = m_pList->GetItemIndex(cur) - 1;
    if (i < 0) {
        SelectRow(0);
        PlaySelected();
        return;
    }
    if (IsHeader(m_pList, i)) --i;
    SelectRow(i);  // -1 selects nothing, so nothing plays
    PlaySelected();
}

void CPlayListWnd::ReplayCurrent() {
    EnsureLoaded();
    if (!m_pList || !m_pCurMedia) return;
    FillThroughCurrent();
    CPlayListItemUI* cur = m_pList->FindItemUI(m_pCurMedia);
    if (!cur) return;
    SelectRow(m_pList->GetItemIndex(cur));
    PlaySelected();
}

void CPlayListWnd::PlayNextLoop() {
    EnsureLoaded();
    if (!m_pList) return;
    FillThroughCurrent();
    CPlayListItemUI* cur = m_pCurMedia ? m_pList->FindItemUI(m_pCurMedia) : nullptr;
    if (cur && m_pList->GetCount() > 0 && m_pList->GetItemIndex(cur) == m_pList->GetCount() - 1) {
        SelectRow(0);
        PlaySelected();
        return;
    }
    PlayNext();
}

void CPlayListWnd::PlayRandomItem() {
    EnsureLoaded();
    if (!m_pList) return;
    FillThroughCurrent();
    CPlayListItemUI* cur = m_pCurMedia ? m_pList->FindItemUI(m_pCurMedia) : nullptr;
    std::vector<int> candidates;
    int only = -1;
    for (int i = 0; i < m_pList->GetCount(); ++i) {
        CPlayListItemUI* row = m_pList->GetItemUIAt(i);
        if (!row || !row->GetItemData()) continue;
        if (row == cur) only = i;
        else candidates.push_back(i);
    }
    if (candidates.empty()) {
        // A list of one file plays that file again.
        if (only >= 0) {
            SelectRow(only);
            PlaySelected();
        }
        return;
    }
    if (!m_random) {
        // One generator for the window's life, seeded once.
        auto engine = std::make_shared<std::mt19937>(static_cast<unsigned>(std::random_device{}()) ^
                                                     static_cast<unsigned>(std::time(nullptr)));
        m_random = [engine](unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(*engine); };
    }
    unsigned pick = m_random(static_cast<unsigned>(candidates.size()));
    SelectRow(candidates[pick % candidates.size()]);
    PlaySelected();
}

void CPlayListWnd::PlayNextByOrder(int order) {
    EnsureLoaded();
    if (!m_pList || m_pList->GetCount() == 0) return;
    switch (order) {
    case PlayOrderSingleLoop: ReplayCurrent(); break;
    case PlayOrderSequential: PlayNext(); break;
    case PlayOrderLoop: PlayNextLoop(); break;
    case PlayOrderRandom: PlayRandomItem(); break;
    default: break;
    }
}

void CPlayListWnd::UpdatePlayOrderButton() {
    if (!m_pPlayOrderBtn) return;
    int order = std::clamp(g_SysConfig.nPlayOrder, 0, kPlayOrderCount - 1);
    const std::wstring file = kPlayOrders[order].image;
    auto cell = [&](int left) {
        return L"file='" + file + L"' source='" + std::to_wstring(left) + L",0," + std::to_wstring(left + 24) + L",24'";
    };
    m_pPlayOrderBtn->SetNormalImage(cell(0).c_str());
    m_pPlayOrderBtn->SetHotImage(cell(24).c_str());
    m_pPlayOrderBtn->SetPushedImage(cell(48).c_str());
    m_pPlayOrderBtn->SetToolTip(kPlayOrders[order].label);
}

void CPlayListWnd::SetPlayOrder(int order) {
    if (order < 0 || order >= kPlayOrderCount) return;
    g_SysConfig.nPlayOrder = order;
    g_SysConfig.iniConfig.WriteInt(L"Global", L"nPlayOrder", order);
    UpdatePlayOrderButton();
}
