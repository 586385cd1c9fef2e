// Popup menus from a skin layout under Xvfb: the clicked item's name, "null" when dismissed,
// submenus, disabled items and keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "skin_x.h"
#include "support/test_window.h"

using namespace skinui;
using skinx::Xdo;

namespace {

class MenuX : public skinx::SkinX {
protected:
    void SetUp() override {
        SkinX::SetUp();
        UseSkinResource();
        WaitShown(owner.hwnd());
        ASSERT_TRUE(menu.Init(owner.hwnd()));
    }
    CMenuUI* Shown(size_t depth) { return ShownMenu(menu, depth); }
    static POINT Item(CMenuUI* m, int position) {
        return skinx::CentreOf(m->GetManager()->GetPaintWindow(), m->GetItemAt(position));
    }
    // Tracks the menu at (300, 200) while `stages` act one after the other, each once it can.
    // A menu still open 60 s after the last stage acted is ended, and the test fails.
    CDuiString Track(std::vector<std::function<bool()>> stages) {
        size_t at = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool endedByDeadline = false;
        skinx::Step step([&] {
            if (std::chrono::steady_clock::now() > deadline) {
                endedByDeadline = true;
                menu.Dismiss();
                return true;
            }
            while (at < stages.size() && stages[at]()) ++at;
            if (at < stages.size()) return false;
            if (menu.GetOpenMenus().empty()) return true;
            deadline = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(20));
            return false;
        });
        CDuiString r = menu.TrackPopupMenu(300, 200);
        EXPECT_FALSE(endedByDeadline) << "the menu's loop did not end by itself";
        return r;
    }
    // A stage: once the submenu at `depth` shows, run xdotool with what `input` makes of it.
    std::function<bool()> When(size_t depth, std::function<std::string(CMenuUI*)> input) {
        return [this, depth, input] {
            CMenuUI* m = Shown(depth);
            if (!m) return false;
            Xdo(input(m));
            return true;
        };
    }
    testsupport::TestWindow owner{WS_POPUP | WS_VISIBLE, 0, nullptr, {100, 100, 900, 700}};
    CWzMenu menu{L"DemoMenu.xml"};
};

std::string ClickAt(POINT pt) { return "mousemove " + skinx::At(pt) + " sleep 0.1 click 1"; }

}  // namespace

TEST_F(MenuX, ReturnsTheClickedItemsName) {
    RECT rc{};
    EXPECT_EQ(Track({When(0, [&](CMenuUI* m) {
                  GetWindowRect(m->GetManager()->GetPaintWindow(), &rc);
                  return ClickAt(Item(m, 0));
              })}),
              L"first");
    // The menu showed at the point, as wide as its layout says, and is gone once chosen.
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 200);
    EXPECT_EQ(rc.right - rc.left, 160);
    EXPECT_TRUE(menu.GetOpenMenus().empty());
    EXPECT_EQ(menu.FindMenuByName(L"major")->GetManager()->GetPaintWindow(), nullptr);
    // A second popup of the same object works as the first.
    EXPECT_EQ(Track({When(0, [](CMenuUI* m) { return ClickAt(Item(m, 5)); })}), L"last");
}

TEST_F(MenuX, SubmenuOpensFromItsItem) {
    CDuiString r = Track({When(0, [](CMenuUI* m) { return "mousemove " + skinx::At(Item(m, 1)); }),
                          When(1, [](CMenuUI* m) { return ClickAt(Item(m, 1)); })});
    EXPECT_EQ(r, L"sub_b");
}

TEST_F(MenuX, DismissedGivesNull) {
    EXPECT_EQ(Track({When(0, [](CMenuUI*) { return std::string("key Escape"); })}), L"null");
    owner.clear();
    // A press outside the menu ends it and is used up by it.
    EXPECT_EQ(Track({When(0, [](CMenuUI*) { return ClickAt(POINT{700, 600}); })}), L"null");
    testsupport::PumpFor(100);
    EXPECT_EQ(owner.count(WM_LBUTTONDOWN), 0u);
    // Esc closes an open submenu first.
    CDuiString r = Track({When(0, [](CMenuUI* m) { return "mousemove " + skinx::At(Item(m, 1)); }),
                          When(1, [](CMenuUI*) { return std::string("key Escape"); }),
                          When(0, [](CMenuUI*) { return std::string("key Escape"); })});
    EXPECT_EQ(r, L"null");
}

// Where the keyboard is not on the menu (the owner kept it, or a key is posted to a window of
// the thread), Esc ends the whole menu, open submenus included; so does a window of another
// family taking the activation.
TEST_F(MenuX, EscapeAwayFromTheMenuAndLostActivationEndTheWholeMenu) {
    auto openSubmenu = When(0, [](CMenuUI* m) { return "mousemove " + skinx::At(Item(m, 1)); });
    CDuiString r = Track({openSubmenu, [&] {
                              if (!Shown(1)) return false;
                              ::PostMessageW(owner.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
                              return true;
                          }});
    EXPECT_EQ(r, L"null");
    EXPECT_TRUE(menu.GetOpenMenus().empty());
    testsupport::TestWindow other{WS_POPUP, 0, nullptr, {1000, 100, 1200, 300}};
    r = Track({openSubmenu, [&] {
                   if (!Shown(1)) return false;
                   ::ShowWindow(other.hwnd(), SW_SHOWNORMAL);
                   ::SetActiveWindow(other.hwnd());
                   return true;
               }});
    EXPECT_EQ(r, L"null");
    EXPECT_TRUE(menu.GetOpenMenus().empty());
}

TEST_F(MenuX, DisabledItemsAndSeparatorsAreNotChosen) {
    CMenuUI* major = menu.FindMenuByName(L"major");
    ASSERT_TRUE(major->SetEnabled(0, false));
    // The click on the disabled item does nothing; the keys then walk past it and open "more".
    CDuiString r = Track({When(0, [](CMenuUI* m) {
        return ClickAt(Item(m, 0)) + " key Down key Return key Return";
    })});
    EXPECT_EQ(r, L"sub_a");
    r = Track({When(0, [](CMenuUI* m) { return ClickAt(Item(m, 2)) + " key Up key Return"; })});
    EXPECT_EQ(r, L"last");  // the separator took no click; Up went round to the last item
}

TEST_F(MenuX, ChecksAndTextsByPosition) {
    CMenuUI* marks = menu.FindMenuByName(L"marks");
    ASSERT_NE(marks, nullptr);
    EXPECT_TRUE(marks->SetItemCheck(0, false));
    EXPECT_TRUE(marks->SetItemCheck(1, true));
    EXPECT_TRUE(marks->SetItemText(1, L"总是最前    Ctrl+T"));
    CDuiString r = Track({When(0, [](CMenuUI* m) { return "mousemove " + skinx::At(Item(m, 4)); }),
                          When(1, [](CMenuUI* m) { return ClickAt(Item(m, 1)); })});
    EXPECT_EQ(r, L"mark_b");
    // The check mark of an item made of parts is its "ico" button.
    auto ico = [&](int position) { return static_cast<CContainerUI*>(marks->GetItemAt(position))->FindSubControl(L"ico"); };
    EXPECT_FALSE(ico(0)->IsVisible());
    EXPECT_TRUE(ico(1)->IsVisible());
    EXPECT_EQ(marks->GetItemText(1), L"总是最前    Ctrl+T");
}
