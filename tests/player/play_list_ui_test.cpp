// The play list's tree controls without a display: rows and groups, duplicates, refresh
// colours, clicks, and the drag-move decision table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/play_list_ui.h"
#include "skinui/skinui.h"

using namespace skinui;

namespace {

struct Recorder : INotifyUI {
    std::vector<std::string> log;
    void Notify(TNotifyUI& msg) override {
        if (msg.sType == L"itemselect" || msg.sType == L"selectchanged" || msg.sType == L"windowinit") return;
        log.push_back(msg.sType.ToUtf8() + (msg.pSender && msg.pSender->GetInterface(L"TreeView") ? ":tree" : ":other"));
    }
};

struct Tree {
    CPaintManagerUI pm;
    CPlayListUI* list = new CPlayListUI;
    Recorder rec;
    std::vector<_tagMediaInfo*> gone;

    Tree() {
        list->SetMultiSelect(true);
        pm.SetInitSize(226, 900);
        pm.AttachDialog(list);
        pm.AddNotifier(&rec);
        list->OnRecordRemoved = [this](_tagMediaInfo* r) { gone.push_back(r); };
    }
    static _tagMediaInfo* Rec(const std::wstring& path) {
        auto* r = new _tagMediaInfo;
        r->strFilePath = path;
        r->strFileName = path.substr(path.rfind(L'/') + 1);
        return r;
    }
    void Top(const std::wstring& name) { ASSERT_TRUE(list->AddItem(Rec(L"/m/" + name), -1)); }
    void Group(const std::wstring& g, std::initializer_list<const wchar_t*> names) {
        ASSERT_TRUE(list->AddGroup(g));
        for (const wchar_t* n : names) ASSERT_TRUE(list->AddItemToGroup(Rec(L"/m/" + g + L"/" + n), g));
    }
    // Rows in sequence order: "[group]" for a header, the file name for a file row.
    std::string Rows() const {
        std::string out;
        for (int i = 0; i < list->GetCount(); ++i) {
            auto* node = static_cast<CTreeNodeUI*>(list->GetItemAt(i)->GetInterface(L"TreeNode"));
            if (!out.empty()) out += " ";
            if (node->IsGroupNode()) out += "[" + static_cast<CPlayListGroupUI*>(node)->GetGroupName().ToUtf8() + "]";
            else out += CDuiString(static_cast<CPlayListItemUI*>(node)->GetItemData()->strFileName).ToUtf8();
        }
        return out;
    }
    void Select(const std::vector<int>& rows) {
        list->UnSelectAll();
        for (int i : rows) list->SelectItem(i, true, false, false);
    }
    void Layout() {
        pm.NeedUpdate();
        pm.UpdateLayout();
    }
    void Click(POINT pt, WPARAM keys = 0) {
        LRESULT lr = 0;
        pm.MessageHandler(WM_MOUSEMOVE, keys, MAKELPARAM(pt.x, pt.y), lr);
        pm.MessageHandler(WM_LBUTTONDOWN, keys | MK_LBUTTON, MAKELPARAM(pt.x, pt.y), lr);
        pm.MessageHandler(WM_LBUTTONUP, keys, MAKELPARAM(pt.x, pt.y), lr);
    }
    POINT RowPoint(int i) {
        Layout();
        RECT r = list->GetItemAt(i)->GetPos();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

TEST(PlayListTree, DuplicatesAreRefusedByExactPathAndTheCallerKeepsTheRecord) {
    Tree t;
    t.Top(L"a.mkv");
    // Linux file names differ by case: these are two files.
    EXPECT_TRUE(t.list->AddItem(Tree::Rec(L"/m/A.mkv"), -1));
    _tagMediaInfo* same = Tree::Rec(L"/m/a.mkv");
    EXPECT_TRUE(t.list->ContainsItem(same));
    EXPECT_FALSE(t.list->AddItem(same, -1));
    same->strFileName = L"still mine";  // refused: the record is the caller's, not freed
    delete same;
    // The very record of a row is refused too; a record without a path is never a duplicate.
    _tagMediaInfo* bound = t.list->GetItemUIAt(0)->GetItemData();
    EXPECT_FALSE(t.list->AddItem(bound, -1));
    _tagMediaInfo* e1 = Tree::Rec(L"");
    _tagMediaInfo* e2 = Tree::Rec(L"");
    EXPECT_TRUE(t.list->AddItem(e1, -1));
    EXPECT_TRUE(t.list->AddItem(e2, -1));
    EXPECT_EQ(t.list->GetCount(), 4);
    EXPECT_EQ(t.list->FindItemUIByPath(L"/m/A.mkv"), t.list->GetItemUIAt(1));
    EXPECT_EQ(t.list->FindItemUIByPath(L"/M/a.mkv"), nullptr);
    EXPECT_EQ(t.list->FindItemUI(bound), t.list->GetItemUIAt(0));
}

TEST(PlayListTree, GroupsHoldTheirRowsAndGoWithTheLastOne) {
    Tree t;
    t.Top(L"top.mkv");
    t.Group(L"S1", {L"e1.mkv", L"e2.mkv"});
    t.Group(L"S2", {L"x.mkv"});
    EXPECT_EQ(t.Rows(), "top.mkv [S1] e1.mkv e2.mkv [S2] x.mkv");
    EXPECT_EQ(t.list->GetItemUIAt(2)->GetItemData()->strGroup, L"S1");
    EXPECT_EQ(t.list->GetItemUIAt(2)->GetInset().left, 10);
    // A later row of a group lands after that group's rows, not at the end.
    ASSERT_TRUE(t.list->AddItemToGroup(Tree::Rec(L"/m/S1/e3.mkv"), L"S1"));
    EXPECT_EQ(t.Rows(), "top.mkv [S1] e1.mkv e2.mkv e3.mkv [S2] x.mkv");

    _tagMediaInfo* lost = Tree::Rec(L"/m/y.mkv");
    lost->strGroup = L"before";
    EXPECT_FALSE(t.list->AddItemToGroup(lost, L"none"));
    EXPECT_EQ(lost->strGroup, L"before");
    delete lost;
    EXPECT_FALSE(t.list->AddGroup(L"S1"));
    EXPECT_FALSE(t.list->HasGroup(L"s1"));  // names are exact

    // Removing the last row of a group removes the header and its name.
    _tagMediaInfo* x = t.list->GetItemUIAt(6)->GetItemData();
    EXPECT_TRUE(t.list->RemoveAt(6));
    EXPECT_EQ(t.Rows(), "top.mkv [S1] e1.mkv e2.mkv e3.mkv");
    EXPECT_FALSE(t.list->HasGroup(L"S2"));
    EXPECT_EQ(t.gone, std::vector<_tagMediaInfo*>{x});
    EXPECT_TRUE(t.list->AddGroup(L"S2"));
    // A header goes with all its rows, each record announced before it is freed.
    t.gone.clear();
    EXPECT_TRUE(t.list->RemoveAt(1));
    EXPECT_EQ(t.Rows(), "top.mkv [S2]");
    EXPECT_EQ(t.gone.size(), 3u);
    EXPECT_EQ(t.list->GetGroup(L"S1"), nullptr);
    t.list->RemoveAll();
    EXPECT_EQ(t.list->GetCount(), 0);
    EXPECT_TRUE(t.list->AddGroup(L"S2"));
}

TEST(PlayListTree, RefreshDrawsTheRecordsState) {
    Tree t;
    t.Top(L"a.mkv");
    CPlayListItemUI* row = t.list->GetItemUIAt(0);
    _tagMediaInfo* r = row->GetItemData();
    struct Case {
        int state;
        bool played, invalid;
        bool icon;
        DWORD title;
    } cases[] = {
        {2, false, false, false, 0xFFFFFFFF},
        {0, false, false, true, 0xFF4B91E1},
        {0, true, false, true, 0xFF4B91E1},
        {2, true, true, false, 0xFFC9C9C9},
    };
    for (const Case& c : cases) {
        r->nPlayState = c.state;
        r->bPlayed = c.played;
        r->bInvalid = c.invalid;
        row->Refresh();
        EXPECT_EQ(row->GetStateIcon()->IsVisible(), c.icon) << c.state << c.played;
        EXPECT_EQ(row->GetTitleLabel()->GetTextColor(), c.title) << c.state << c.played;
        EXPECT_EQ(row->GetInvalidColumn()->IsVisible(), c.invalid);
        EXPECT_EQ(row->GetTitleLabel()->GetText(), L"a.mkv");
    }
}

TEST(PlayListTree, ClicksSelectToggleGroupsAndClearOnEmptySpace) {
    Tree t;
    t.Group(L"S1", {L"e1.mkv", L"e2.mkv"});
    t.Top(L"b.mkv");
    t.Click(t.RowPoint(3));
    EXPECT_EQ(t.list->GetCurSel(), 3);
    EXPECT_EQ(t.rec.log, std::vector<std::string>{"itemclick:tree"});
    // A click on a header collapses its group; the rows keep their indexes but hide.
    t.Click(t.RowPoint(0));
    EXPECT_FALSE(t.list->GetItemAt(1)->IsVisible());
    EXPECT_TRUE(t.list->GetGroup(L"S1")->GetFolderButton()->IsSelected());
    EXPECT_EQ(t.list->GetGroup(L"S1")->GetExpandArrow()->GetBkImage(), L"file='playlist_expand.png' source='0,0,10,20'");
    t.Click(t.RowPoint(0));
    EXPECT_TRUE(t.list->GetItemAt(2)->IsVisible());
    // Ctrl adds to the selection; a click below the rows clears it.
    t.Click(t.RowPoint(3), MK_CONTROL);
    EXPECT_EQ(t.list->GetSelectedItems(), (std::vector<int>{0, 3}));
    t.Click({100, 880});
    EXPECT_TRUE(t.list->GetSelectedItems().empty());
    // A Ctrl click on a header takes its rows along.
    t.Click(t.RowPoint(0), MK_CONTROL);
    EXPECT_EQ(t.list->GetSelectedItems(), (std::vector<int>{0, 1, 2}));
}

TEST(PlayListTree, DragMoveDecisionTable) {
    struct Case {
        const char* name;
        std::vector<int> selected;
        int target;
        bool collapseS2;
        const char* rows;  // after the move; the start when refused
        bool sent;
    };
    // Start: 0 top1, 1 [S1], 2 a1, 3 a2, 4 a3, 5 [S2], 6 b1, 7 b2, 8 top2
    const char* start = "top1.mkv [S1] a1.mkv a2.mkv a3.mkv [S2] b1.mkv b2.mkv top2.mkv";
    const Case cases[] = {
        {"rows of two groups", {2, 6}, 8, false, start, false},
        {"part of a group and a top row", {2, 8}, 0, false, start, false},
        {"a header with part of another group", {1, 6}, 8, false, start, false},
        {"top row into the middle of a group", {0}, 2, false, start, false},
        {"top row down onto a top row", {0}, 8, false, "[S1] a1.mkv a2.mkv a3.mkv [S2] b1.mkv b2.mkv top2.mkv top1.mkv", true},
        {"top row up onto a header", {8}, 1, false, "top1.mkv top2.mkv [S1] a1.mkv a2.mkv a3.mkv [S2] b1.mkv b2.mkv", true},
        {"whole group down onto an expanded group", {1}, 5, false, start, false},
        {"whole group down onto a collapsed group", {1}, 5, true, "top1.mkv [S2] b1.mkv b2.mkv [S1] a1.mkv a2.mkv a3.mkv top2.mkv", true},
        {"whole group up onto a top row", {5}, 0, false, "[S2] b1.mkv b2.mkv top1.mkv [S1] a1.mkv a2.mkv a3.mkv top2.mkv", true},
        {"row within its group", {4}, 2, false, "top1.mkv [S1] a3.mkv a1.mkv a2.mkv [S2] b1.mkv b2.mkv top2.mkv", true},
        {"row out of its group", {4}, 8, false, start, false},
        {"row onto its group's header", {3}, 1, false, start, false},
        {"all rows of a group without its header move with it", {6, 7}, 0, false,
         "[S2] b1.mkv b2.mkv top1.mkv [S1] a1.mkv a2.mkv a3.mkv top2.mkv", true},
        {"nothing selected", {}, 3, false, start, true},
    };
    for (const Case& c : cases) {
        Tree t;
        t.Top(L"top1.mkv");
        t.Group(L"S1", {L"a1.mkv", L"a2.mkv", L"a3.mkv"});
        t.Group(L"S2", {L"b1.mkv", L"b2.mkv"});
        t.Top(L"top2.mkv");
        ASSERT_EQ(t.Rows(), start);
        if (c.collapseS2) t.list->GetGroup(L"S2")->Expand(false);
        t.Select(c.selected);
        if (!c.selected.empty()) t.list->SelectItem(c.selected.back(), true, false, false);
        t.rec.log.clear();
        t.list->MoveSelectionTo(t.list->GetItemAt(c.target));
        EXPECT_EQ(t.Rows(), c.rows) << c.name;
        EXPECT_EQ(!t.rec.log.empty() && t.rec.log.back() == "ListItemMove:tree", c.sent) << c.name;
        // Every header is still followed directly by its own rows.
        for (int i = 0; i < t.list->GetCount(); ++i) {
            auto* node = static_cast<CTreeNodeUI*>(t.list->GetItemAt(i)->GetInterface(L"TreeNode"));
            for (int j = 0; j < node->GetCountChild(); ++j)
                EXPECT_EQ(t.list->GetItemAt(i + j + 1), node->GetChildNode(j)) << c.name;
        }
    }
}

TEST(PlayListTree, DraggingWithTheMouseMovesTheSelection) {
    Tree t;
    t.Top(L"a.mkv");
    t.Top(L"b.mkv");
    t.Top(L"c.mkv");
    POINT from = t.RowPoint(0), to = t.RowPoint(2);
    LRESULT lr = 0;
    t.pm.MessageHandler(WM_MOUSEMOVE, 0, MAKELPARAM(from.x, from.y), lr);
    t.pm.MessageHandler(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y), lr);
    t.pm.MessageHandler(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, (from.y + to.y) / 2), lr);
    t.pm.MessageHandler(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y), lr);
    t.rec.log.clear();
    t.pm.MessageHandler(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y), lr);
    EXPECT_EQ(t.Rows(), "b.mkv c.mkv a.mkv");
    EXPECT_EQ(t.rec.log, std::vector<std::string>{"ListItemMove:tree"});
}

}  // namespace
