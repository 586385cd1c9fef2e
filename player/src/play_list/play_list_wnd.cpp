// The play-list window: layout, adding and removing rows, persistence, input and docking.
#include "player/play_list/play_list_wnd.h"

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <filesystem>
#include <map>
#include <unordered_map>

#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "platform/profile/profile.h"
#include "platform/kernel/resources.h"
#include "platform/shell/shell.h"
#include "player/engine/media_types.h"
#include "player/app/utils.h"
#include "player/play_list/play_list_handler_wnd.h"
#include "player/play_list/play_list_menus.h"
#include "player/settings/sys_config.h"
#include "skinui/builder.h"

using namespace skinui;

namespace {

std::wstring NameOf(const std::wstring& path) {
    size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'/') return folder + name;
    return folder + L"/" + name;
}

bool FileExists(const std::wstring& path) { return !path.empty() && PathFileExistsW(path.c_str()); }

bool IsFolder(const std::wstring& path) {
    std::error_code ec;
    return std::filesystem::is_directory(platform::FsPath(path), ec);
}

bool IsMediaPath(const std::wstring& path) { return IsVideoFile(path.c_str()); }

bool IsRecordInvalid(const _tagMediaInfo& r) { return !FileExists(r.strFilePath) || r.bError; }

CTreeNodeUI* NodeAt(CPlayListUI* list, int index) {
    CControlUI* c = list ? list->GetItemAt(index) : nullptr;
    return c ? static_cast<CTreeNodeUI*>(c->GetInterface(L"TreeNode")) : nullptr;
}

// The fill of a loaded list: steps of about this long, with the window's own work between them.
constexpr UINT_PTR kFillTimer = 0x2A2;
constexpr UINT kFillPauseMs = 10;
constexpr auto kFillStepBudget = std::chrono::milliseconds(20);
constexpr size_t kFillStepMinRows = 64;

}  // namespace

CPlayListWnd::CPlayListWnd(IPlayListOwner* owner) : CWzXMLWnd(L"PlayList.xml"), m_pOwner(owner) {}

CPlayListWnd::~CPlayListWnd() {
    if (m_pList) {
        SavePlayList();
        m_pList->OnRecordRemoved = nullptr;
        // The settings store keeps the records of this last save: it takes them from the rows
        // (and from the records still to come) rather than copying them.
        for (int i = 0; i < m_pList->GetCount(); ++i)
            if (CPlayListItemUI* row = m_pList->GetItemUIAt(i))
                if (_tagMediaInfo* r = row->ReleaseItemData(); r && !g_SysConfig.mapPlayList.Adopt(r)) delete r;
        for (_tagMediaInfo* r : m_pending)
            if (!g_SysConfig.mapPlayList.Adopt(r)) delete r;
        m_pending.clear();
        // The list's last word is on the disk when its window is gone.
        g_SysConfig.FlushPlayList();
    }
    m_pCurMedia = nullptr;
    // The list was saved whole: the steps and the write that were queued for it go.
    for (_tagMediaInfo* r : m_pending) delete r;
    m_pending.clear();
    m_pendingByPath.clear();
    if (m_hWnd && ::IsWindow(m_hWnd)) ::KillTimer(m_hWnd, kFillTimer);
    m_bSaveQueued = false;
    if (m_pHandler) {
        if (::IsWindow(m_pHandler->GetHWND())) ::DestroyWindow(m_pHandler->GetHWND());
        delete m_pHandler;
        m_pHandler = nullptr;
    }
}

bool CPlayListWnd::CreateHeadless() {
    platform::ResourceData res = platform::FindResourceData(L"ZIPRES", kSkinResourceId);
    if (!res.data || !CSkinArchive::SetZipMemory(res.data, res.size)) return false;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile().c_str(), this, &m_PaintManager);
    if (!root) return false;
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    m_PaintManager.UpdateLayout();
    InitList();
    return m_pList != nullptr;
}

CControlUI* CPlayListWnd::CreateControl(const wchar_t* pstrClass) {
    if (pstrClass && CDuiString(pstrClass).CompareNoCase(L"PlayList") == 0) return new CPlayListUI;
    return nullptr;
}

DWORD CPlayListWnd::ListBackColor(int transIdx) {
    int p = 80 - 10 * std::clamp(transIdx, 0, kMaxTransIdx);
    if (p <= 0) return 0x01040404;
    return (static_cast<DWORD>(p * 255 / 100) << 24) | 0x040404;
}

void CPlayListWnd::InitList() {
    m_pList = static_cast<CPlayListUI*>(m_PaintManager.FindControl(L"WZPlaylist"));
    m_pPlayOrderBtn = static_cast<CButtonUI*>(m_PaintManager.FindControl(L"play_order"));
    if (!m_pList) {
        ReportError(L"PlayList.xml holds no play list \"WZPlaylist\"");
        return;
    }
    // Holders of a record let go before its row frees it.
    m_pList->OnRecordRemoved = [this](_tagMediaInfo* r) {
        if (r == m_pCurMedia) ForgetCurrentRecord();
        g_SysConfig.mapPlayList.Release(r);
    };
    m_pList->SetSplitLineColor(0xFFFFFFFF);
    UpdatePlayOrderButton();
    LoadPlayList();
    if (CControlUI* box = m_PaintManager.FindControl(L"ctnPlaylist")) box->SetBkColor(ListBackColor(g_SysConfig.nPlayListTransIdx));
}

void CPlayListWnd::InitWindow() {
    InitList();
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    m_nLastSavedWidth = g_SysConfig.nListWndWidth;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, g_SysConfig.nListWndWidth, rc.bottom - rc.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_pHandler = new CPlayListHandlerWnd(this);
    if (m_pHandler->Create(m_hWnd, L"PlayListHandler", WS_VISIBLE, WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE)) {
        ::ShowWindow(m_pHandler->GetHWND(), SW_SHOWNOACTIVATE);
        m_pHandler->FollowList();
        if (m_pOwner) m_pOwner->AddChildWindow(m_pHandler->GetHWND());
    } else {
        delete m_pHandler;
        m_pHandler = nullptr;
    }
}

// ---- records and tips ----

void CPlayListWnd::FreeRecord(_tagMediaInfo* r) {
    g_SysConfig.mapPlayList.Release(r);
    delete r;
}

_tagMediaInfo* CPlayListWnd::MakeRecord(const std::wstring& path) const {
    auto* r = new _tagMediaInfo;
    r->strFilePath = path;
    r->strFileName = NameOf(path);
    return r;
}

void CPlayListWnd::ShowAddTip(int added, bool refused) {
    if (!m_pOwner) return;
    if (added > 0) {
        CDuiString tip;
        tip.Format(L"共添加%d个文件到列表", added);
        m_pOwner->ShowTip(tip);
    } else if (refused) {
        m_pOwner->ShowTip(L"文件已经在列表中");
    } else {
        m_pOwner->ShowTip(L"没有添加文件到列表");
    }
}

bool CPlayListWnd::ListRecord(_tagMediaInfo* record, const CDuiString* group) {
    if (PendingRecord(record->strFilePath)) return false;
    return group ? m_pList->AddItemToGroup(record, *group) : m_pList->AddItem(record, -1);
}

int CPlayListWnd::AddRecordsAtEnd(const std::vector<std::wstring>& paths, bool& refused, std::wstring* firstAdded) {
    int added = 0;
    for (const std::wstring& p : paths) {
        _tagMediaInfo* r = MakeRecord(p);
        if (ListRecord(r, nullptr)) {
            ++added;
            if (firstAdded && firstAdded->empty()) *firstAdded = p;
        } else {
            delete r;
            refused = true;
        }
    }
    return added;
}

// ---- adding ----

void CPlayListWnd::AddFile(const std::wstring& path) {
    EnsureLoaded();
    if (!m_pList) return;
    _tagMediaInfo* r = MakeRecord(path);
    if (!ListRecord(r, nullptr)) delete r;
    SavePlayListSoon();
}

int CPlayListWnd::AddFolderAsGroup(const std::wstring& folderIn) {
    EnsureLoaded();
    if (!m_pList) return 0;
    std::wstring folder = folderIn;
    while (folder.size() > 1 && folder.back() == L'/') folder.pop_back();
    const CDuiString group = NameOf(folder);
    if (!m_pList->HasGroup(group)) m_pList->AddGroup(group);
    int added = 0;
    std::vector<std::wstring> names;
    if (CollectFolderMediaNames(folder, names) > 0) {
        for (const std::wstring& n : names) {
            _tagMediaInfo* r = MakeRecord(JoinPath(folder, n));
            if (ListRecord(r, &group)) ++added;
            else delete r;
        }
        SavePlayListSoon();
    }
    if (CPlayListGroupUI* header = m_pList->GetGroup(group); header && !header->IsHasChild()) m_pList->RemoveGroup(group);
    return added;
}

std::wstring CPlayListWnd::OnDropFiles(HDROP drop) {
    EnsureLoaded();
    std::vector<std::wstring> paths;
    UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT len = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring p(len + 1, L'\0');
        UINT got = ::DragQueryFileW(drop, i, p.data(), len + 1);
        p.resize(std::min(got, len));
        if (!p.empty()) paths.push_back(p);
    }
    ::DragFinish(drop);
    return AddDroppedPaths(paths);
}

std::wstring CPlayListWnd::AddDroppedPaths(const std::vector<std::wstring>& paths) {
    EnsureLoaded();
    if (!m_pList) return L"";
    std::wstring toPlay;
    int total = 0;
    std::map<std::wstring, bool, FileNameCmpGreater> files;
    for (const std::wstring& p : paths) {
        if (IsFolder(p)) {
            total += AddFolderAsGroup(p);
            if (toPlay.empty()) {
                std::wstring folder = p;
                while (folder.size() > 1 && folder.back() == L'/') folder.pop_back();
                if (CPlayListGroupUI* header = m_pList->GetGroup(NameOf(folder)); header && header->IsHasChild()) {
                    auto* first = static_cast<CPlayListItemUI*>(m_pList->GetItemAt(m_pList->GetItemIndex(header) + 1));
                    if (first && first->GetItemData()) toPlay = first->GetItemData()->strFilePath;
                }
            }
        } else if (IsMediaPath(p)) {
            files[p] = true;
        }
    }
    std::vector<std::wstring> ordered;
    for (const auto& [p, unused] : files) ordered.push_back(p);
    if (g_SysConfig.bAddSimilarFile) {
        AddFiles(ordered, false);
        if (toPlay.empty() && !ordered.empty()) toPlay = ordered.front();
    } else {
        bool refused = false;
        total += AddRecordsAtEnd(ordered, refused, toPlay.empty() ? &toPlay : nullptr);
        ShowAddTip(total, refused);
    }
    SavePlayListSoon();
    return toPlay;
}

void CPlayListWnd::AddChosenFiles(const std::wstring& folder, const std::vector<std::wstring>& names) {
    EnsureLoaded();
    if (!m_pList || names.empty()) return;
    std::map<std::wstring, bool, FileNameCmpGreater> files;
    for (const std::wstring& n : names) {
        std::wstring path = n.find(L'/') == 0 ? n : JoinPath(folder, n);
        // A chosen file that is gone now aborts the whole add.
        if (!FileExists(path)) return;
        if (IsMediaPath(path)) files[path] = true;
    }
    std::vector<std::wstring> ordered;
    for (const auto& [p, unused] : files) ordered.push_back(p);
    if (g_SysConfig.bAddSimilarFile) {
        AddFiles(ordered, false);
    } else {
        bool refused = false;
        ShowAddTip(AddRecordsAtEnd(ordered, refused, nullptr), refused);
    }
    SavePlayListSoon();
}

// ---- removing ----

void CPlayListWnd::DeleteSelected() {
    EnsureLoaded();
    if (!m_pList) return;
    std::vector<int> selected = m_pList->GetSelectedItems();
    const bool hadCurrent = m_pCurMedia != nullptr;
    // A selected header takes its rows, so its selected rows are not removed on their own; every
    // other removal frees only the row and perhaps its unselected header, none of which is still
    // to be removed. The current record goes with its row, by its own row or its group's header.
    std::vector<CTreeNodeUI*> nodes;
    for (int i : selected) {
        CTreeNodeUI* node = NodeAt(m_pList, i);
        if (!node) continue;
        CTreeNodeUI* header = node->GetParentNode();
        if (header && header->IsSelected()) continue;
        nodes.push_back(node);
    }
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) m_pList->RemoveNode(*it);
    // A current record still to come (the list fills) has no row yet and stays.
    if (m_pCurMedia && !m_pList->FindItemUI(m_pCurMedia) && PendingRecord(m_pCurMedia->strFilePath) != m_pCurMedia)
        ForgetCurrentRecord();
    if (hadCurrent && !m_pCurMedia && m_pOwner) m_pOwner->ClearCurrentPath();
    if (m_pList->GetCount() > 0 && !selected.empty()) {
        int at = selected.front();
        if (at >= m_pList->GetCount()) at = m_pList->GetCount() - 1;
        m_pList->SelectItem(at, false, true, true);
    }
    SavePlayList();
}

void CPlayListWnd::RemoveInvalidItems() {
    EnsureLoaded();
    if (!m_pList) return;
    DropPending([](const _tagMediaInfo& r) { return r.bInvalid || IsRecordInvalid(r); });
    for (int i = m_pList->GetCount() - 1; i >= 0; --i) {
        if (i >= m_pList->GetCount()) continue;
        CPlayListItemUI* row = m_pList->GetItemUIAt(i);
        if (!row || !row->GetItemData()) continue;
        if (row->GetItemData()->bInvalid || !FileExists(row->GetItemData()->strFilePath)) m_pList->RemoveNode(row);
    }
    SavePlayList();
}

void CPlayListWnd::ForgetCurrentRecord() {
    m_pCurMedia = nullptr;
    // Positions are written into this section; once the sections are numbered anew it names
    // another file's record.
    g_SysConfig.strCurSection.clear();
}

void CPlayListWnd::ClearCurrentRecord() {
    EnsureLoaded();
    ForgetCurrentRecord();
    if (m_pOwner) m_pOwner->ClearCurrentPath();
}

void CPlayListWnd::ClearAll() {
    EnsureLoaded();
    if (!m_pList) return;
    DropPending([](const _tagMediaInfo&) { return true; });
    m_pList->RemoveAll();
    ClearCurrentRecord();
    SavePlayList();
}

// ---- persistence ----

void CPlayListWnd::LoadPlayList() {
    if (!m_pList) return;
    if (!g_SysConfig.IsPlayListLoading()) return AdoptStoredList();
    m_bReadAwaited = true;
    if (HWND hwnd = m_hWnd) g_SysConfig.OnPlayListRead([hwnd] { ::PostMessageW(hwnd, WM_PLAYER_LIST_READ, 0, 0); });
}

void CPlayListWnd::EnsureLoaded() {
    if (!m_bReadAwaited) return;
    m_bReadAwaited = false;
    g_SysConfig.OnPlayListRead(nullptr);
    g_SysConfig.WaitPlayList();
    AdoptStoredList();
    // What the player did meanwhile, now on the whole list: a step may ask for more of them.
    std::vector<std::function<void()>> steps;
    steps.swap(m_afterRead);
    m_bCurrentAwaited = false;
    m_strAwaitedCurrent.clear();
    for (auto& step : steps) step();
}

void CPlayListWnd::AfterRead(std::function<void()> fn) {
    if (!fn) return;
    if (!m_bReadAwaited) return fn();
    m_afterRead.push_back(std::move(fn));
}

void CPlayListWnd::AdoptStoredList() {
    if (!m_pList) return;
    // The records in the order their rows will stand: a group gathers its records at its first.
    std::vector<std::vector<_tagMediaInfo*>> slots;
    std::unordered_map<std::wstring, size_t> slotOfGroup;
    const size_t count = g_SysConfig.mapPlayList.size();
    for (size_t n = 1; n <= count; ++n) {
        // The stored record itself becomes the row's: the settings store refers to it.
        _tagMediaInfo* r = g_SysConfig.mapPlayList.TakeOver(n);
        if (!r) continue;
        r->strFileName = NameOf(r->strFilePath);
        r->nPlayState = 2;
        r->bInvalid = false;
        if (r->strGroup.empty()) {
            slots.push_back({r});
            continue;
        }
        auto [slot, added] = slotOfGroup.try_emplace(r->strGroup, slots.size());
        if (added) slots.emplace_back();
        slots[slot->second].push_back(r);
    }
    for (auto& slot : slots)
        for (_tagMediaInfo* r : slot) m_pending.push_back(r);
    // Each growth of the index walks every row already in it, the more of them the later.
    m_pList->ReserveRows(static_cast<size_t>(m_pList->GetCount()) + m_pending.size());
    IndexPending();
    m_strLoadCurPlay = g_SysConfig.iniPlayList.ReadString(L"CurPlay", L"strFilePath", L"");
    // The first rows come at once; the rest while the window runs.
    FillStep();
    ScheduleFill();
}

void CPlayListWnd::AddLoadedRecord(_tagMediaInfo* r) {
    // A mark the main window set while the record waited stays.
    r->bInvalid = r->bInvalid || IsRecordInvalid(*r);
    bool added;
    if (!r->strGroup.empty()) {
        const CDuiString group = r->strGroup;
        const bool made = !m_pList->HasGroup(group) && m_pList->AddGroup(group);
        added = m_pList->AddItemToGroup(r, group);
        CPlayListGroupUI* header = m_pList->GetGroup(group);
        if (added && !r->bVisible && header && header->GetVisibleTag()) header->Expand(false);
        // A group whose rows were all refused would stand empty.
        if (!added && made) m_pList->RemoveGroup(group);
    } else {
        added = m_pList->AddItem(r, -1);
    }
    if (!added) {
        if (r == m_pCurMedia) ClearCurrentRecord();
        FreeRecord(r);
        return;
    }
    if (!m_strLoadCurPlay.empty() && r->strFilePath == m_strLoadCurPlay) {
        m_strLoadCurPlay.clear();
        if (m_pList->GetCurSel() < 0)
            if (CPlayListItemUI* row = m_pList->FindItemUI(r)) m_pList->SelectItem(m_pList->GetItemIndex(row), true, false, true);
    }
}

bool CPlayListWnd::FillStep() {
    EnsureLoaded();
    if (!m_pList || m_pending.empty()) return false;
    const auto start = std::chrono::steady_clock::now();
    size_t added = 0;
    while (!m_pending.empty()) {
        _tagMediaInfo* r = m_pending.front();
        m_pending.pop_front();
        ++m_nFilled;
        // A group comes whole within one step: no group is ever seen (or saved) in part.
        const bool groupGoesOn = !r->strGroup.empty() && !m_pending.empty() && m_pending.front()->strGroup == r->strGroup;
        AddLoadedRecord(r);
        ++added;
        if (groupGoesOn) continue;
        if (m_nFillStepRows ? added >= m_nFillStepRows
                            : added >= kFillStepMinRows && std::chrono::steady_clock::now() - start >= kFillStepBudget)
            break;
    }
    if (m_pending.empty()) {
        m_strLoadCurPlay.clear();
        IndexPending();
    }
    return !m_pending.empty();
}

void CPlayListWnd::FinishFill() {
    EnsureLoaded();
    while (FillStep()) {
    }
}

void CPlayListWnd::ScheduleFill() {
    if (!m_hWnd) return;
    // A pause between steps lets input and painting in; SetTimer again restarts the pause.
    if (IsFilling()) ::SetTimer(m_hWnd, kFillTimer, kFillPauseMs, nullptr);
    else ::KillTimer(m_hWnd, kFillTimer);
}

void CPlayListWnd::FillThroughCurrent() {
    while (IsFilling()) {
        CPlayListItemUI* cur = m_pCurMedia ? m_pList->FindItemUI(m_pCurMedia) : nullptr;
        const int count = m_pList->GetCount();
        // The row after the current one, and after a header that may stand between.
        const bool enough = cur ? m_pList->GetItemIndex(cur) + 2 < count : !m_pCurMedia && count >= 2;
        if (enough) break;
        FillStep();
    }
    ScheduleFill();
}

void CPlayListWnd::IndexPending() {
    m_pendingByPath.clear();
    m_pendingByPath.shrink_to_fit();
    m_nFilled = 0;
    m_pendingByPath.reserve(m_pending.size());
    const std::hash<std::wstring> hash;
    for (size_t i = 0; i < m_pending.size(); ++i) m_pendingByPath.emplace_back(hash(m_pending[i]->strFilePath), i);
    std::sort(m_pendingByPath.begin(), m_pendingByPath.end());
}

_tagMediaInfo* CPlayListWnd::PendingRecord(const std::wstring& path) const {
    if (path.empty() || m_pending.empty()) return nullptr;
    // The first record of the path still to come (a later one of the same path is refused):
    // places of one hash are in ascending order.
    const std::size_t hash = std::hash<std::wstring>{}(path);
    auto it = std::lower_bound(m_pendingByPath.begin(), m_pendingByPath.end(), std::make_pair(hash, m_nFilled));
    for (; it != m_pendingByPath.end() && it->first == hash; ++it) {
        _tagMediaInfo* r = m_pending[it->second - m_nFilled];
        if (r->strFilePath == path) return r;
    }
    return nullptr;
}

_tagMediaInfo* CPlayListWnd::FindRecord(const std::wstring& path) const {
    if (!m_pList) return nullptr;
    if (CPlayListItemUI* row = m_pList->FindItemUIByPath(path)) return row->GetItemData();
    return PendingRecord(path);
}

template <class Drop>
void CPlayListWnd::DropPending(Drop drop) {
    if (m_pending.empty()) return;
    std::deque<_tagMediaInfo*> kept;
    for (_tagMediaInfo* r : m_pending) {
        if (!drop(*r)) {
            kept.push_back(r);
            continue;
        }
        if (r == m_pCurMedia) ClearCurrentRecord();
        FreeRecord(r);
    }
    m_pending.swap(kept);
    IndexPending();
    if (m_pending.empty()) m_strLoadCurPlay.clear();
    ScheduleFill();
}

void CPlayListWnd::MarkItem(const std::wstring& path, bool invalid) {
    if (m_bReadAwaited) return AfterRead([this, path, invalid] { MarkItem(path, invalid); });
    _tagMediaInfo* r = FindRecord(path);
    if (!r) return;
    r->bInvalid = invalid;
    if (CPlayListItemUI* row = m_pList->FindItemUI(r)) row->Refresh();
}

void CPlayListWnd::SavePlayList() {
    EnsureLoaded();
    if (!m_pList) return;
    // This save stands for one still queued.
    m_bSaveQueued = false;
    StoreList();
}

void CPlayListWnd::SavePlayListSoon() {
    if (!m_pList) return;
    if (!m_hWnd) return SavePlayList();
    if (m_bSaveQueued) return;
    m_bSaveQueued = ::PostMessageW(m_hWnd, WM_PLAYER_SAVE_LIST, 0, 0) != FALSE;
    if (!m_bSaveQueued) SavePlayList();
}

void CPlayListWnd::StoreList() {
    // The settings store takes the new layout in the same step as the writer gets its text, so
    // a position write is always made into the sections of the file it will land in: before
    // this step into the old layout, after it into the new one.
    std::vector<_tagMediaInfo*> records;
    records.reserve(static_cast<size_t>(m_pList->GetCount()) + m_pending.size());
    size_t textBytes = 0;
    auto take = [&](_tagMediaInfo* r) {
        records.push_back(r);
        // The keys and numbers of a section take less than this beside its two texts.
        textBytes += r->strFilePath.size() + r->strGroup.size() + 128;
    };
    for (int i = 0; i < m_pList->GetCount(); ++i) {
        CPlayListItemUI* row = m_pList->GetItemUIAt(i);
        _tagMediaInfo* r = row ? row->GetItemData() : nullptr;
        if (!r) continue;
        r->bVisible = row->IsVisible();
        take(r);
    }
    // A list saved while it fills keeps the records still to come, after the rows.
    for (_tagMediaInfo* r : m_pending) take(r);

    g_SysConfig.mapPlayList.clear();
    g_SysConfig.mapPlayList.reserve(records.size());
    platform::ProfileText text;
    text.Reserve(textBytes);
    std::wstring curSection;
    for (size_t n = 1; n <= records.size(); ++n) {
        _tagMediaInfo* r = records[n - 1];
        if (r == m_pCurMedia) curSection = CPlayListRecords::SectionName(n);
        AddPlayListSection(text, n, *r);
        g_SysConfig.mapPlayList.Refer(n, r);
    }
    // Sections are numbered anew; the play panel's position writes follow their record.
    if (m_pCurMedia) g_SysConfig.strCurSection = curSection;
    const bool curListed = m_pCurMedia && FileExists(m_pCurMedia->strFilePath);
    g_SysConfig.SavePlayList(std::move(text), curListed ? m_pCurMedia->strFilePath : std::wstring());
    if (!m_pOwner) return;
    const int count = m_pList->GetCount();
    if (m_pCurMedia) {
        CPlayListItemUI* row = m_pList->FindItemUI(m_pCurMedia);
        m_pOwner->EnablePlayNext(row ? (m_pList->GetItemIndex(row) != count - 1 || IsFilling()) && count > 1 : IsFilling());
    } else {
        m_pOwner->EnablePlayNext(m_pOwner->HasMediaPlayer() && (count > 1 || IsFilling()));
    }
}

// ---- other operations ----

std::wstring CPlayListWnd::GetSelectedPath() const {
    if (!m_pList) return L"";
    CPlayListItemUI* row = m_pList->GetItemUIAt(m_pList->GetCurSel());
    return row && row->GetItemData() ? row->GetItemData()->strFilePath : L"";
}

void CPlayListWnd::OpenContainingFolder() {
    if (!m_pList) return;
    int i = m_pList->GetCurSel();
    CTreeNodeUI* node = NodeAt(m_pList, i);
    if (node && node->IsGroupNode()) node = NodeAt(m_pList, i + 1);
    CPlayListItemUI* row = node && !node->IsGroupNode() ? static_cast<CPlayListItemUI*>(node) : nullptr;
    if (!row || !row->GetItemData()) return;
    platform::process::RevealInFileManager(row->GetItemData()->strFilePath);
}

void CPlayListWnd::FollowOwner() {
    HWND main = m_pOwner ? m_pOwner->GetOwnerWindow() : nullptr;
    if (!m_hWnd || !main) return;
    RECT m{}, l{};
    ::GetWindowRect(main, &m);
    ::GetWindowRect(m_hWnd, &l);
    int width = l.right - l.left;
    ::SetWindowPos(m_hWnd, nullptr, m.right - width, m.top + 30, width, (m.bottom - m.top) - 74,
                   SWP_NOACTIVATE | SWP_NOZORDER);
    if (m_pHandler) m_pHandler->FollowList();
}

// ---- notifications and messages ----

void CPlayListWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK) {
        OnClick(msg);
        return;
    }
    if (m_pList && msg.pSender == m_pList) {
        if (msg.sType == DUI_MSGTYPE_ITEMDBCLICK) {
            PlaySelected();
            return;
        }
        if (msg.sType == DUI_MSGTYPE_ITEMCLICK) {
            CTreeNodeUI* node = NodeAt(m_pList, m_pList->GetCurSel());
            if (node && !node->IsHasChild() && !node->IsGroupNode()) {
                auto* row = static_cast<CPlayListItemUI*>(node);
                if (_tagMediaInfo* r = row->GetItemData()) {
                    r->bInvalid = IsRecordInvalid(*r);
                    row->Refresh();
                }
            }
            return;
        }
        if (msg.sType == DUI_MSGTYPE_LISTITEMMOVE) {
            SavePlayList();
            return;
        }
    }
    CWzXMLWnd::Notify(msg);
}

void CPlayListWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender && msg.pSender == m_pPlayOrderBtn) ShowPlayOrderMenu();
    CWzXMLWnd::OnClick(msg);
}

void CPlayListWnd::ShowPlayOrderMenu() {
    if (!m_pPlayOrderBtn || !m_hWnd) return;
    const RECT& b = m_pPlayOrderBtn->GetPos();
    POINT pt{b.left, b.bottom};
    ::ClientToScreen(m_hWnd, &pt);
    CPlayOrderMenu menu(L"PlayOrderMenu.xml");
    menu.Init(m_hWnd, this);
    menu.Track(pt.x, pt.y);
}

void CPlayListWnd::ShowPlayListMenu(POINT screenPt) {
    CPlayListRButtonMenu menu(L"PlayListRButtonMenu.xml");
    menu.Init(m_hWnd, this);
    menu.Track(screenPt.x, screenPt.y);
}

LRESULT CPlayListWnd::OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (m_pHandler) m_pHandler->FollowList();
    // Only a width the user gave is kept: docking never changes it.
    int width = LOWORD(lParam);
    if (m_nLastSavedWidth >= 0 && width > 0 && width != m_nLastSavedWidth && width >= kMinListWndWidth) {
        m_nLastSavedWidth = width;
        g_SysConfig.nListWndWidth = width;
        g_SysConfig.iniConfig.WriteInt(L"Global", L"nListWndWidth", width);
    }
    return CWzXMLWnd::OnSize(uMsg, wParam, lParam, bHandled);
}

LRESULT CPlayListWnd::OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    int x = GET_X_LPARAM(lParam);
    bHandled = TRUE;
    if (rc.right - 4 < x && x < rc.right) return HTTRANSPARENT;
    if (rc.left <= x && x < rc.left + 6) return HTLEFT;
    return CWzXMLWnd::OnNcHitTest(uMsg, wParam, lParam, bHandled);
}

LRESULT CPlayListWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = CWzXMLWnd::HandleMessage(uMsg, wParam, lParam);
    HWND main = m_pOwner ? m_pOwner->GetOwnerWindow() : nullptr;
    switch (uMsg) {
    case WM_GETMINMAXINFO: {
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
        RECT m{};
        if (main) ::GetWindowRect(main, &m);
        mmi->ptMinTrackSize.x = kMinListWndWidth;
        mmi->ptMaxTrackSize.x = std::max<LONG>(kMinListWndWidth, 2 * (m.right - m.left) / 3);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_DELETE) {
            DeleteSelected();
        } else if (wParam == VK_RETURN || wParam == VK_SPACE) {
            if (!m_pList) break;
            CTreeNodeUI* node = NodeAt(m_pList, m_pList->GetCurSel());
            if (node && node->IsGroupNode() && node->IsHasChild()) node->Expand(!node->GetVisibleTag());
            else PlaySelected();
        } else if (wParam == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
            if (m_pList) m_pList->SelectAllItems();
        } else if (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_DOWN) {
        } else if (main) {
            ::SendMessageW(main, WM_KEYDOWN, wParam, lParam);
        }
        break;
    case WM_RBUTTONUP: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(m_hWnd, &pt);
        ShowPlayListMenu(pt);
        break;
    }
    case WM_MOUSEWHEEL: {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (main && !(pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom))
            ::SendMessageW(main, WM_MOUSEWHEEL, wParam, lParam);
        break;
    }
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_PLAYER_REDOCK:
        FollowOwner();
        return 0;
    case WM_PLAYER_SAVE_LIST:
        if (m_bSaveQueued) SavePlayList();
        return 0;
    case WM_PLAYER_LIST_READ:
        EnsureLoaded();
        return 0;
    case WM_TIMER:
        if (wParam == kFillTimer) {
            FillStep();
            ScheduleFill();
            return 0;
        }
        break;
    default:
        break;
    }
    return lRes;
}

void CPlayListWnd::AddFilesByDialog() {
    EnsureLoaded();
    const std::wstring filter = AddFilesDialogFilter();
    std::vector<wchar_t> buffer(41600, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrTitle = kAddFilesDialogTitle;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    // The chosen names are read with their folder; the process's current folder stays as it is.
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&ofn)) return;
    std::vector<std::wstring> parts;
    for (const wchar_t* p = buffer.data(); p < buffer.data() + buffer.size() && *p; p += parts.back().size() + 1)
        parts.emplace_back(p, wcsnlen(p, buffer.data() + buffer.size() - p));
    if (parts.empty()) return;
    if (parts.size() == 1) {
        size_t slash = parts[0].rfind(L'/');
        std::wstring folder = slash == std::wstring::npos ? L"" : parts[0].substr(0, slash);
        AddChosenFiles(folder, {NameOf(parts[0])});
    } else {
        AddChosenFiles(parts[0], {parts.begin() + 1, parts.end()});
    }
}

int CPlayListWnd::AddFolderByDialog() {
    EnsureLoaded();
    const std::wstring folder = BrowseForFolder(m_hWnd, kAddFolderDialogTitle);
    return folder.empty() ? -1 : AddFolderAsGroup(folder);
}
