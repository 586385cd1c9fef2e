// The play list's tree controls without a display: rows and groups, duplicates, refresh
// colours, clicks, the drag-move decision table, and bulk edits of a tree of a thousand rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "player/play_list/play_list_ui.h"
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
        PlayListRowLook look = row->GetLook();
        EXPECT_EQ(look.stateIcon, c.icon) << c.state << c.played;
        EXPECT_EQ(look.titleColor, c.title) << c.state << c.played;
        EXPECT_EQ(look.invalidMarker, c.invalid);
        EXPECT_EQ(row->GetToolTip(), L"a.mkv");
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

// A tree of about a thousand rows and, beside it, the plain list of labels it must show:
// "[A]" for a header, "a12" for the 13th file of group A, "t7" for a top-level file.
struct Bulk {
    Tree t;
    std::vector<std::string> model;

    static std::wstring Path(const std::string& label) {
        std::wstring l(label.begin(), label.end());
        if (label[0] == 't') return L"/m/" + l + L".mkv";
        return L"/m/" + std::wstring(1, static_cast<wchar_t>(std::towupper(l[0]))) + L"/" + l + L".mkv";
    }
    static std::string Label(CTreeNodeUI* node) {
        if (node->IsGroupNode()) return "[" + static_cast<CPlayListGroupUI*>(node)->GetGroupName().ToUtf8() + "]";
        std::string name = CDuiString(static_cast<CPlayListItemUI*>(node)->GetItemData()->strFileName).ToUtf8();
        return name.substr(0, name.size() - 4);
    }
    static bool InGroup(const std::string& label, char group) { return label[0] == group - 'A' + 'a'; }

    void AddTop(int from, int to) {
        for (int i = from; i < to; ++i) {
            std::string l = "t" + std::to_string(i);
            ASSERT_TRUE(t.list->AddItem(Tree::Rec(Path(l)), -1));
            model.push_back(l);
        }
    }
    // New rows of a group land after its last row, the group made at the end when missing.
    void AddToGroup(char group, int from, int to) {
        const std::string header = std::string("[") + group + "]";
        const CDuiString name(std::wstring(1, static_cast<wchar_t>(group)));
        if (!t.list->HasGroup(name)) {
            ASSERT_TRUE(t.list->AddGroup(name));
            model.push_back(header);
        }
        auto at = std::find(model.begin(), model.end(), header) + 1;
        while (at != model.end() && InGroup(*at, group)) ++at;
        for (int i = from; i < to; ++i) {
            std::string l = std::string(1, static_cast<char>(group - 'A' + 'a')) + std::to_string(i);
            ASSERT_TRUE(t.list->AddItemToGroup(Tree::Rec(Path(l)), name));
            at = model.insert(at, l) + 1;
        }
    }
    // File rows go from the last one up, as the window deletes them; emptied groups go too.
    void RemoveWhere(const std::function<bool(const std::string&)>& gone) {
        for (int i = t.list->GetCount() - 1; i >= 0; --i) {
            if (i >= t.list->GetCount()) continue;
            CPlayListItemUI* row = t.list->GetItemUIAt(i);
            if (row && gone(Label(row))) {
                ASSERT_TRUE(t.list->RemoveNode(row));
            }
        }
        std::vector<std::string> kept;
        for (const std::string& l : model)
            if (l[0] == '[' || !gone(l)) kept.push_back(l);
        model.clear();
        for (size_t i = 0; i < kept.size(); ++i) {
            bool emptyHeader = kept[i][0] == '[' && (i + 1 == kept.size() || !InGroup(kept[i + 1], kept[i][1]));
            if (!emptyHeader) model.push_back(kept[i]);
        }
    }
    int ModelIndex(const std::string& label) const {
        auto it = std::find(model.begin(), model.end(), label);
        return it == model.end() ? -1 : static_cast<int>(it - model.begin());
    }
    // Selects the rows of these labels, the last one current.
    void Select(const std::vector<std::string>& labels) {
        t.list->UnSelectAll();
        for (const std::string& l : labels) t.list->SelectItem(ModelIndex(l), true, false, false);
    }
    // Moves labels (a block, in order) to stand right before the target, as an upward drag does.
    void ModelMoveBefore(const std::vector<std::string>& labels, const std::string& target) {
        for (const std::string& l : labels) model.erase(model.begin() + ModelIndex(l));
        model.insert(model.begin() + ModelIndex(target), labels.begin(), labels.end());
    }
    std::vector<std::string> GroupBlock(char group) const {
        std::vector<std::string> block{std::string("[") + group + "]"};
        for (const std::string& l : model)
            if (l[0] != '[' && InGroup(l, group)) block.push_back(l);
        return block;
    }

    // The tree against the model: order, child links, indexes and the path lookup.
    void Check(const char* name) {
        ASSERT_EQ(t.list->GetCount(), static_cast<int>(model.size())) << name;
        for (int i = 0; i < t.list->GetCount(); ++i) {
            auto* node = static_cast<CTreeNodeUI*>(t.list->GetItemAt(i)->GetInterface(L"TreeNode"));
            ASSERT_EQ(Label(node), model[static_cast<size_t>(i)]) << name << " row " << i;
            ASSERT_EQ(t.list->GetItemIndex(node), i) << name;
            for (int j = 0; j < node->GetCountChild(); ++j)
                ASSERT_EQ(t.list->GetItemAt(i + j + 1), node->GetChildNode(j)) << name << " row " << i;
            if (!node->IsGroupNode()) {
                ASSERT_EQ(t.list->FindItemUIByPath(Path(model[static_cast<size_t>(i)])), node) << name;
                ASSERT_EQ(t.list->FindItemUI(static_cast<CPlayListItemUI*>(node)->GetItemData()), node) << name;
            }
        }
    }
};

TEST(PlayListTree, BulkInsertsAndRemovalsKeepOrderSelectionAndDrag) {
    struct Case {
        const char* name;
        std::function<void(Bulk&)> edit;
        std::vector<std::string> selectedAfter;  // in row order; empty: the labels chosen at the start that remain
    };
    const std::vector<std::string> chosen{"t50", "b299", "a150"};  // a150 is current
    const Case cases[] = {
        {"rows added to the first group land after its last row", [](Bulk& b) { b.AddToGroup('A', 300, 800); }, {}},
        {"every third file row removed",
         [](Bulk& b) { b.RemoveWhere([](const std::string& l) { return std::stoi(l.substr(1)) % 3 == 0; }); }, {}},
        {"a group emptied row by row goes with its last row",
         [](Bulk& b) { b.RemoveWhere([](const std::string& l) { return l[0] == 'b'; }); }, {}},
        {"a group removed and made again comes last",
         [](Bulk& b) {
             ASSERT_TRUE(b.t.list->RemoveGroup(L"A"));
             b.RemoveWhere([](const std::string& l) { return l[0] == 'a'; });
             b.AddToGroup('A', 0, 10);
         },
         {}},
        {"after a bulk add a whole group dragged up before a top row",
         [](Bulk& b) {
             b.AddToGroup('B', 300, 600);
             b.Select({"[B]"});
             std::vector<std::string> block = b.GroupBlock('B');
             b.t.list->MoveSelectionTo(b.t.list->GetItemAt(b.ModelIndex("t0")));
             b.ModelMoveBefore(block, "t0");
         },
         {}},
        {"rows of a group dragged up within it",
         [](Bulk& b) {
             b.AddToGroup('A', 300, 400);
             b.Select({"a10", "a20", "a350"});
             b.t.list->MoveSelectionTo(b.t.list->GetItemAt(b.ModelIndex("a5")));
             b.ModelMoveBefore({"a10", "a20", "a350"}, "a5");
         },
         {"a10", "a20", "a350"}},
        {"everything removed from the last row up", [](Bulk& b) { b.RemoveWhere([](const std::string&) { return true; }); },
         {}},
    };
    for (const Case& c : cases) {
        Bulk b;
        b.AddTop(0, 100);
        b.AddToGroup('A', 0, 300);
        b.AddTop(100, 200);
        b.AddToGroup('B', 0, 300);
        b.AddTop(200, 300);
        b.Check("start");
        b.Select(chosen);
        c.edit(b);
        b.Check(c.name);
        std::vector<std::string> expected = c.selectedAfter;
        if (expected.empty())
            for (const std::string& l : chosen)
                if (b.ModelIndex(l) >= 0) expected.push_back(l);
        std::vector<int> at;
        for (const std::string& l : expected) at.push_back(b.ModelIndex(l));
        std::sort(at.begin(), at.end());
        if (std::string(c.name).find("dragged") == std::string::npos) {
            EXPECT_EQ(b.t.list->GetSelectedItems(), at) << c.name;
            EXPECT_EQ(b.t.list->GetCurSel(), b.ModelIndex("a150")) << c.name;
        } else if (c.selectedAfter.size()) {
            // The moved rows are still the selection, wherever they went.
            EXPECT_EQ(b.t.list->GetSelectedItems(), at) << c.name;
        }
        // A removed path is free again; a listed one is still refused.
        for (const std::string l : {"t0", "a299", "b0", "t299"}) {
            _tagMediaInfo* again = Tree::Rec(Bulk::Path(l));
            const bool listed = b.ModelIndex(l) >= 0;
            EXPECT_EQ(b.t.list->ContainsItem(again), listed) << c.name << " " << l;
            delete again;
        }
    }
}

}  // namespace
