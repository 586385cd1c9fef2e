// Lists of many rows without a display: only the rows in view are laid out and painted, edits
// anywhere keep the order, the indexes and the heights right, and the selection follows its rows.
#include <gtest/gtest.h>

#include <cairo.h>

#include <random>
#include <vector>

#include "skinui/skinui.h"

using namespace skinui;

namespace {

// A text row that counts how often it is painted.
struct CountingRow : CListLabelElementUI {
    explicit CountingRow(int* paints, int height = 20) : paints(paints) { SetFixedHeight(height); }
    void DoPaint(cairo_t* cr, const RECT& rc) override {
        ++*paints;
        CListLabelElementUI::DoPaint(cr, rc);
    }
    int* paints;
};

struct ListWindow {
    CPaintManagerUI pm;
    CListUI* list = new CListUI;
    int paints = 0;
    explicit ListWindow(int height = 200) {
        list->SetMultiSelect(true);
        pm.SetInitSize(200, height);
        pm.AttachDialog(list);
    }
    CountingRow* Row(int height = 20) { return new CountingRow(&paints, height); }
    void Layout() {
        pm.NeedUpdate();
        pm.UpdateLayout();
    }
    int Paint() {
        paints = 0;
        cairo_surface_destroy(pm.RenderToSurface());
        return paints;
    }
    static bool Placed(CControlUI* row) { return row->GetPos().bottom > row->GetPos().top; }
};

TEST(ListBody, OnlyTheRowsInViewAreLaidOutPaintedAndHit) {
    ListWindow w;
    std::vector<CControlUI*> rows;
    for (int i = 0; i < 1000; ++i) {
        rows.push_back(w.Row());
        ASSERT_TRUE(w.list->Add(rows.back()));
    }
    w.Layout();
    EXPECT_EQ(rows[0]->GetPos().top, 0);
    EXPECT_EQ(rows[9]->GetPos().bottom, 200);
    EXPECT_FALSE(ListWindow::Placed(rows[10]));
    EXPECT_FALSE(ListWindow::Placed(rows[500]));
    EXPECT_EQ(w.list->GetList()->GetScrollRange(), 1000 * 20 - 200);
    EXPECT_EQ(w.Paint(), 10);

    // Far down: row 500 comes into view where the scroll puts it, row 0 leaves it.
    w.list->SelectItem(500, false, true, false);
    EXPECT_TRUE(ListWindow::Placed(rows[500]));
    EXPECT_FALSE(ListWindow::Placed(rows[0]));
    const RECT r = rows[500]->GetPos();
    EXPECT_EQ(r.bottom, 200);
    for (int i = 491; i <= 500; ++i) EXPECT_EQ(rows[i]->GetPos().top, (i - 491) * 20) << i;
    EXPECT_FALSE(ListWindow::Placed(rows[490]));
    EXPECT_FALSE(ListWindow::Placed(rows[501]));
    EXPECT_EQ(w.pm.FindControl(POINT{50, (r.top + r.bottom) / 2}), rows[500]);
    EXPECT_LE(w.Paint(), 11);

    // Hidden rows take no room: with the first hundred hidden, row 100 starts the list.
    for (int i = 0; i < 100; ++i) rows[i]->SetVisible(false);
    w.list->GetList()->SetScrollPos(0);
    w.Layout();
    EXPECT_EQ(rows[100]->GetPos().top, 0);
    EXPECT_EQ(w.list->GetList()->GetScrollRange(), 900 * 20 - 200);
    EXPECT_EQ(w.pm.FindControl(POINT{50, 5}), rows[100]);
    // A row that grows pushes the ones after it down.
    rows[100]->SetFixedHeight(50);
    w.Layout();
    EXPECT_EQ(rows[101]->GetPos().top, 50);
}

TEST(ListBody, EditsAnywhereMatchAPlainSequence) {
    ListWindow w(300);
    std::vector<CControlUI*> model;
    std::mt19937 rng(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int step = 0; step < 3000; ++step) {
        const int n = static_cast<int>(model.size());
        const int what = n < 10 ? 0 : pick(10);
        if (what < 5) {
            int at = pick(n + 1);
            CControlUI* row = w.Row(10 + pick(3) * 10);
            ASSERT_TRUE(w.list->AddAt(row, at));
            model.insert(model.begin() + at, row);
        } else if (what < 8) {
            int at = pick(n);
            ASSERT_TRUE(w.list->RemoveAt(at));
            model.erase(model.begin() + at);
        } else {
            int from = pick(n), to = pick(n);
            CControlUI* row = model[static_cast<size_t>(from)];
            ASSERT_TRUE(w.list->SetItemIndex(row, to));
            model.erase(model.begin() + from);
            model.insert(model.begin() + to, row);
        }
        if (step % 500 != 499) continue;
        ASSERT_EQ(w.list->GetCount(), static_cast<int>(model.size()));
        int content = 0;
        for (size_t i = 0; i < model.size(); ++i) {
            ASSERT_EQ(w.list->GetItemAt(static_cast<int>(i)), model[i]) << "step " << step;
            ASSERT_EQ(w.list->GetItemIndex(model[i]), static_cast<int>(i));
            content += model[i]->GetFixedHeight();
        }
        w.Layout();
        const int range = std::max(0, content - 300);
        EXPECT_EQ(w.list->GetList()->GetScrollRange(), range);
        // Wherever the view stands, the rows in it are the ones at its offsets, one below the other.
        for (int scroll : {0, range / 3, range / 2 + 7, range}) {
            w.list->GetList()->SetScrollPos(scroll);
            w.Layout();
            int top = 0;
            for (CControlUI* row : model) {
                const int bottom = top + row->GetFixedHeight();
                const bool inView = bottom > scroll && top < scroll + 300;
                EXPECT_EQ(ListWindow::Placed(row), inView) << "step " << step << " scroll " << scroll;
                if (inView) {
                    EXPECT_EQ(row->GetPos().top, top - scroll);
                }
                top = bottom;
            }
        }
        w.list->GetList()->SetScrollPos(0);
    }
    EXPECT_EQ(w.list->GetItemAt(static_cast<int>(model.size())), nullptr);
    EXPECT_EQ(w.list->GetItemAt(-1), nullptr);
}

TEST(ListBody, SelectionFollowsItsRowsThroughEdits) {
    ListWindow w;
    std::vector<CControlUI*> rows;
    for (int i = 0; i < 50; ++i) {
        rows.push_back(w.Row());
        w.list->Add(rows.back());
    }
    w.list->SelectItem(10, false, false, false);
    w.list->SelectItem(20, true, false, false);
    w.list->SelectItem(30, true, false, false);
    // Rows come before and go between the selected ones.
    for (int i = 0; i < 5; ++i) w.list->AddAt(w.Row(), 0);
    w.list->Remove(rows[15]);
    EXPECT_EQ(w.list->GetSelectedItems(), (std::vector<int>{15, 24, 34}));
    EXPECT_EQ(w.list->GetCurSel(), 34);
    w.list->SetItemIndex(rows[30], 0);
    EXPECT_EQ(w.list->GetCurSel(), 0);
    auto* item = static_cast<IListItemUI*>(rows[30]->GetInterface(L"ListItem"));
    EXPECT_EQ(item->GetIndex(), 0);
    // The current row going leaves no current row.
    w.list->Remove(rows[30]);
    EXPECT_EQ(w.list->GetCurSel(), -1);
    EXPECT_EQ(w.list->GetSelectedItems(), (std::vector<int>{15, 24}));
    w.list->RemoveAll();
    EXPECT_EQ(w.list->GetCount(), 0);
    EXPECT_TRUE(w.list->GetSelectedItems().empty());
}

}  // namespace
