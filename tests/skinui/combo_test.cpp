// The combo box without a window: rows from the layout, the current row as the combo's text,
// selection kept on the same row when rows are inserted or removed, "itemselect" on changes.
#include <gtest/gtest.h>

#include "skinui/list.h"
#include "skinui/skinui.h"

using namespace skinui;

namespace {

struct Recorder : INotifyUI {
    std::vector<std::pair<int, int>> selects;  // (new, old)
    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_ITEMSELECT) selects.emplace_back(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
    }
};

TEST(Combo, RowsSelectionAndNotifications) {
    CPaintManagerUI pm;
    Recorder rec;
    CDialogBuilder b;
    CControlUI* root = b.CreateFromXml(R"(<Window size="200,40"><HorizontalLayout>
        <Combo name="c" width="100"><ListLabelElement text=".bmp"/><ListLabelElement text=".jpg"/>
        <ListLabelElement text=".png"/></Combo></HorizontalLayout></Window>)",
                                       nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    pm.AddNotifier(&rec);
    pm.UpdateLayout();
    auto* c = static_cast<CComboUI*>(pm.FindControl(L"c"));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->GetCount(), 3);
    EXPECT_EQ(c->GetCurSel(), -1);
    EXPECT_EQ(c->GetText(), L"");
    // A click inside the combo finds the combo, never one of its rows.
    RECT rc = c->GetPos();
    EXPECT_EQ(pm.FindControl(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}), c);

    EXPECT_TRUE(c->SelectItem(2, false, false));
    EXPECT_EQ(c->GetText(), L".png");
    EXPECT_TRUE(rec.selects.empty());
    EXPECT_TRUE(c->SelectItem(1));
    EXPECT_TRUE(c->SelectItem(1));  // no change, no notification
    EXPECT_EQ(rec.selects, (std::vector<std::pair<int, int>>{{1, 2}}));
    EXPECT_FALSE(c->SelectItem(3));
    EXPECT_FALSE(c->SelectItem(-1));
    EXPECT_EQ(c->GetCurSel(), 1);

    auto* first = new CListLabelElementUI;
    first->SetText(L".gif");
    ASSERT_TRUE(c->AddAt(first, 0));
    EXPECT_EQ(c->GetCurSel(), 2);
    EXPECT_EQ(c->GetText(), L".jpg");
    EXPECT_TRUE(c->RemoveAt(0));
    EXPECT_EQ(c->GetText(), L".jpg");
    EXPECT_TRUE(c->RemoveAt(1));
    EXPECT_EQ(c->GetCurSel(), -1);
    EXPECT_EQ(c->GetText(), L"");
    c->RemoveAll();
    EXPECT_EQ(c->GetCount(), 0);
    EXPECT_FALSE(c->SelectItem(0));
}

}  // namespace
