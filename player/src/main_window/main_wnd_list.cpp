// The main window's calls into the play list. While the play-list window does not exist, the
// records of the settings store ("file1".."fileN" in list order) stand in for its rows, so that
// the current item, the resume position and the saved list work without it.
#include <algorithm>
#include <random>

#include "platform/kernel/files.h"
#include "platform/windows/winuser.h"
#include "player/main_window/caption_wnd.h"
#include "player/main_window/main_wnd.h"
#include "player/engine/media_types.h"
#include "player/play_list/play_list_wnd.h"
#include "player/main_window/play_panel_wnd.h"
#include "player/settings/sys_config.h"

namespace {

std::wstring Section(size_t n) { return CPlayListRecords::SectionName(n); }

// The records in list order.
std::vector<_tagMediaInfo*> Records() {
    g_SysConfig.WaitPlayList();
    std::vector<_tagMediaInfo*> out;
    for (size_t n = 1;; ++n) {
        auto it = g_SysConfig.mapPlayList.find(Section(n));
        if (it == g_SysConfig.mapPlayList.end()) break;
        out.push_back(&it->second);
    }
    return out;
}

int IndexOf(const std::wstring& path) {
    auto recs = Records();
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i]->strFilePath == path) return static_cast<int>(i);
    return -1;
}

std::wstring FileNamePart(const std::wstring& path) {
    size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void Append(const std::wstring& path) {
    _tagMediaInfo r;
    r.strFilePath = path;
    r.strFileName = FileNamePart(path);
    g_SysConfig.mapPlayList.insert_or_assign(Section(Records().size() + 1), r);
}

// Keeps the records for which keep() holds, numbered again from 1; the current section follows
// its record or is cleared with it.
template <class Keep>
void Filter(Keep keep) {
    std::vector<_tagMediaInfo> kept;
    std::wstring curPath;
    auto cur = g_SysConfig.mapPlayList.find(g_SysConfig.strCurSection);
    bool hadCur = cur != g_SysConfig.mapPlayList.end();
    if (hadCur) curPath = cur->second.strFilePath;
    for (auto* r : Records())
        if (keep(*r)) kept.push_back(*r);
    g_SysConfig.mapPlayList.clear();
    g_SysConfig.strCurSection.clear();
    for (size_t i = 0; i < kept.size(); ++i) {
        g_SysConfig.mapPlayList.emplace(Section(i + 1), kept[i]);
        if (hadCur && kept[i].strFilePath == curPath && g_SysConfig.strCurSection.empty())
            g_SysConfig.strCurSection = Section(i + 1);
    }
}

bool Exists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

// What the play-list window asks of the main window.
class MainListOwner : public IPlayListOwner {
public:
    void Bind(CMorvaneWnd* wnd) { wnd_ = wnd; }
    HWND GetOwnerWindow() const override { return wnd_->GetHWND(); }
    void PlayFile(const std::wstring& path) override { wnd_->PlayFile(path); }
    void ShowTip(const std::wstring& text) override { wnd_->ShowTip(text); }
    void EnablePlayNext(bool enable) override {
        if (wnd_->pPlayPanel) wnd_->pPlayPanel->EnablePlayNext(enable);
    }
    bool HasMediaPlayer() const override { return wnd_->IsMediaOpen(); }
    void ClearCurrentPath() override { wnd_->strCurrentPath.clear(); }
    void ShowFileInfo(const std::wstring& path) override { wnd_->ShowFileInfo(path); }
    bool IsListJustShown() const override { return wnd_->bCaptionListShowPlain != 0; }
    void SetListJustShown(bool shown) override { wnd_->bCaptionListShowPlain = shown ? 1 : 0; }
    void AddChildWindow(HWND hwnd) override { wnd_->AddChild(hwnd); }
    std::vector<HWND> GetInputWindows() const override {
        std::vector<HWND> out;
        if (wnd_->pCaption) out.push_back(wnd_->pCaption->GetHWND());
        if (wnd_->pPlayPanel) out.push_back(wnd_->pPlayPanel->GetHWND());
        return out;
    }

private:
    CMorvaneWnd* wnd_ = nullptr;
};

}  // namespace

IPlayListOwner* MainWndListOwner(CMorvaneWnd* wnd) {
    // One main window at a time; its satellites go with it.
    static MainListOwner owner;
    owner.Bind(wnd);
    return &owner;
}

std::wstring CMorvaneWnd::ListCurrentPath() {
    if (pPlayList) return pPlayList->GetCurrentPath();
    for (auto* r : Records())
        if (r->nPlayState == 0) return r->strFilePath;
    return L"";
}

void CMorvaneWnd::ListSetCurrentItem(const std::wstring& path, int state) {
    if (pPlayList) return pPlayList->SetCurrentItem(path, state);
    if (IndexOf(path) < 0 && IsVideoFile(path.c_str()) && Exists(path)) ListAddFile(path);
    for (auto* r : Records()) r->nPlayState = r->strFilePath == path ? state : 2;
}

bool CMorvaneWnd::ListIsLastItem(const std::wstring& path) {
    if (pPlayList) return pPlayList->IsLastItem(path);
    auto recs = Records();
    return !recs.empty() && recs.back()->strFilePath == path;
}

void CMorvaneWnd::ListAddFile(const std::wstring& path) {
    if (pPlayList) return pPlayList->AddFile(path);
    if (path.empty() || IndexOf(path) >= 0) return;
    Append(path);
    ListSave();
}

void CMorvaneWnd::ListAddFiles(const std::vector<std::wstring>& paths) {
    if (pPlayList) {
        // The play that follows starts before the whole list is written, or read.
        pPlayList->AfterRead([this, paths] {
            if (pPlayList && pPlayList->AddFiles(paths, false) > 0) pPlayList->SavePlayListSoon();
        });
        return;
    }
    for (const auto& p : paths)
        if (IsVideoFile(p.c_str()) && Exists(p)) ListAddFile(p);
}

bool CMorvaneWnd::ListAwaitsRead() const { return pPlayList && pPlayList->IsReadAwaited(); }

void CMorvaneWnd::ListFinishRead() {
    if (pPlayList) pPlayList->FinishRead();
}

void CMorvaneWnd::ListPlayNextByOrder(int order) {
    if (pPlayList) return pPlayList->PlayNextByOrder(order);
    auto recs = Records();
    if (recs.empty()) return;
    int at = IndexOf(strCurrentPath);
    int n = static_cast<int>(recs.size());
    int next = -1;
    switch (order) {
    case PlayOrderSingleLoop: next = at; break;
    case PlayOrderSingle: break;
    case PlayOrderSequential: next = at + 1 < n ? at + 1 : -1; break;
    case PlayOrderLoop: next = (at + 1) % n; break;
    case PlayOrderRandom: {
        if (n == 1) {
            next = 0;
            break;
        }
        static std::mt19937 rng{std::random_device{}()};
        std::uniform_int_distribution<int> pick(0, n - 2);
        next = pick(rng);
        if (next >= at && at >= 0) ++next;
        break;
    }
    default: break;
    }
    if (next < 0 || next >= n) return;
    PlayFile(recs[static_cast<size_t>(next)]->strFilePath);
}

std::wstring CMorvaneWnd::ListSelectedPath() { return pPlayList ? pPlayList->GetSelectedPath() : L""; }

void CMorvaneWnd::ListPlaySelected() {
    if (pPlayList) pPlayList->PlaySelected();
}

void CMorvaneWnd::ListSetCurrentItemProgress(std::int64_t seconds, int permille) {
    if (pPlayList) pPlayList->SetCurrentItemProgress(seconds, permille);
}

void CMorvaneWnd::ListMarkItem(const std::wstring& path, bool bad) {
    if (pPlayList) return pPlayList->MarkItem(path, bad);
    for (auto* r : Records())
        if (r->strFilePath == path) r->bInvalid = bad;
}

std::wstring CMorvaneWnd::ListOnDropFiles(HDROP drop) {
    if (pPlayList) return pPlayList->OnDropFiles(drop);
    std::wstring first;
    UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT len = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(len + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), len + 1));
        if (path.empty() || !IsVideoFile(path.c_str()) || !Exists(path)) continue;
        ListAddFile(path);
        if (first.empty()) first = path;
    }
    ::DragFinish(drop);
    return first;
}

void CMorvaneWnd::ListSave() {
    if (pPlayList) return pPlayList->SavePlayList();
    const bool listed = IndexOf(strCurrentPath) >= 0 && Exists(strCurrentPath);
    g_SysConfig.SavePlayList(listed ? strCurrentPath : std::wstring());
}

void CMorvaneWnd::ListApplyClearOptions() {
    if (pPlayList) {
        if (g_SysConfig.bClearPlayList) pPlayList->ClearAll();
        if (g_SysConfig.bClearInvalidFile) pPlayList->RemoveInvalidItems();
        return;
    }
    if (g_SysConfig.bClearPlayList) Filter([](const _tagMediaInfo&) { return false; });
    if (g_SysConfig.bClearInvalidFile)
        Filter([](const _tagMediaInfo& r) { return !r.bError && !r.bInvalid && Exists(r.strFilePath); });
}

// ---- for the play panel and the keys: the next name, next and previous in list order, and the
// play-list window.

std::wstring CMorvaneWnd::ListGetNextName() {
    if (pPlayList) return pPlayList->GetNextName();
    auto recs = Records();
    int at = IndexOf(strCurrentPath);
    if (at < 0 || at + 1 >= static_cast<int>(recs.size())) return L"";
    return recs[static_cast<size_t>(at + 1)]->strFileName;
}

void CMorvaneWnd::ListPlayNext() {
    if (pPlayList) return pPlayList->PlayNext();
    auto recs = Records();
    int at = IndexOf(strCurrentPath);
    if (at + 1 < static_cast<int>(recs.size())) PlayFile(recs[static_cast<size_t>(at + 1)]->strFilePath);
}

void CMorvaneWnd::ListPlayPrevious() {
    if (pPlayList) return pPlayList->PlayPrevious();
    auto recs = Records();
    int at = IndexOf(strCurrentPath);
    if (at > 0) PlayFile(recs[static_cast<size_t>(at - 1)]->strFilePath);
}

HWND CMorvaneWnd::PlayListHwnd() { return pPlayList ? pPlayList->GetHWND() : nullptr; }

skinui::CPaintManagerUI* CMorvaneWnd::PlayListPaintManager() { return pPlayList ? pPlayList->GetPaintManager() : nullptr; }

void CMorvaneWnd::FollowPlayList() {
    if (pPlayList) pPlayList->FollowOwner();
}
