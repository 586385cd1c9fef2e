// Menu layouts without a display: submenus by name, items by position with separators counted,
// checks, texts, enabling, sizes and a layout that is missing.
#include <gtest/gtest.h>

#include "skin_fixture.h"

using namespace skinui;

namespace {

const char* kMenu = R"(<?xml version="1.0" encoding="utf-8"?>
<Window>
  <Font id="0" name="微软雅黑" size="12" default="true"/>
  <WzMenu name="major" width="192">
    <MenuElement extendmenu="open" text="打开"/>
    <MenuSeparator/>
    <MenuElement command="setting" text="系统设置"/>
    <MenuElement command="quit" text="退出"/>
  </WzMenu>
  <WzMenu name="open" width="142" itemheight="30">
    <MenuElement command="open_file" check="true">
      <HorizontalLayout>
        <Control width="4"/>
        <MenuButton name="ico" width="23" height="23"/>
        <Control width="7"/>
        <Label name="menu_label" text="打开文件"/>
      </HorizontalLayout>
    </MenuElement>
  </WzMenu>
  <WzMenu name="empty"/>
</Window>)";

class MenuLayout : public ::testing::Test {
protected:
    void SetUp() override {
        skin.Add("Menu.xml", kMenu);
        skin.Install();
        ASSERT_TRUE(menu.Init(nullptr));
    }
    skintest::SkinArchive skin;
    CWzMenu menu{L"Menu.xml"};
};

}  // namespace

TEST_F(MenuLayout, ItemsByPositionWithSeparatorsCounted) {
    CMenuUI* major = menu.FindMenuByName(L"major");
    ASSERT_NE(major, nullptr);
    EXPECT_EQ(menu.FindMenuByName(L"nothing"), nullptr);
    EXPECT_EQ(major->GetCount(), 4);
    EXPECT_EQ(major->GetItemText(2), L"系统设置");
    EXPECT_TRUE(major->SetItemText(3, L"退出 Alt+F4"));
    EXPECT_EQ(static_cast<CMenuElementUI*>(major->GetItemAt(3)->GetInterface(L"MenuElement"))->GetCommand(), L"quit");
    EXPECT_EQ(major->GetItemText(3), L"退出 Alt+F4");
    EXPECT_TRUE(major->SetEnabled(2, false));
    EXPECT_FALSE(major->IsItemEnabled(2));
    EXPECT_TRUE(major->IsItemEnabled(3));
    // A separator can be disabled but holds no check or text; positions past the end hold nothing.
    EXPECT_TRUE(major->SetEnabled(1, false));
    EXPECT_FALSE(major->SetItemCheck(1, true));
    EXPECT_FALSE(major->SetItemText(1, L"x"));
    for (int bad : {-1, 4, 100}) {
        EXPECT_FALSE(major->SetEnabled(bad, false)) << bad;
        EXPECT_FALSE(major->SetItemCheck(bad, true)) << bad;
        EXPECT_FALSE(major->SetItemText(bad, L"x")) << bad;
        EXPECT_EQ(major->GetItemText(bad), L"") << bad;
    }
}

TEST_F(MenuLayout, ChecksAndTextsOfItemsMadeOfParts) {
    CMenuUI* open = menu.FindMenuByName(L"open");
    auto* item = static_cast<CContainerUI*>(open->GetItemAt(0));
    EXPECT_TRUE(open->GetItemCheck(0));
    EXPECT_TRUE(item->FindSubControl(L"ico")->IsVisible());
    EXPECT_TRUE(open->SetItemCheck(0, false));
    EXPECT_FALSE(item->FindSubControl(L"ico")->IsVisible());
    EXPECT_EQ(open->GetItemText(0), L"打开文件");
    open->SetItemText(0, L"打开文件... Ctrl+O");
    EXPECT_EQ(item->FindSubControl(L"menu_label")->GetText(), L"打开文件... Ctrl+O");
}

TEST_F(MenuLayout, WidthsHeightsAndMeasuring) {
    CMenuUI* major = menu.FindMenuByName(L"major");
    EXPECT_EQ(major->GetDefaultWidth(), 192);
    EXPECT_EQ(menu.GetIcoWidth(), kMenuIconWidth + kMenuArrowWidth + 2);  // the columns and the frame
    SIZE s = major->GetPopupSize();
    EXPECT_EQ(s.cx, 192);
    EXPECT_EQ(s.cy, 1 + 25 + 7 + 25 + 25 + 1);  // border, items, separator
    EXPECT_EQ(menu.FindMenuByName(L"open")->GetPopupSize().cy, 1 + 30 + 1);  // the submenu's item height
    major->SetFixedWidth(230);
    EXPECT_EQ(major->GetPopupSize().cx, 230);
    EXPECT_EQ(major->GetDefaultWidth(), 192);
    // Items added at run time count like the layout's; a fixed height wins over the items'.
    CMenuUI* empty = menu.FindMenuByName(L"empty");
    EXPECT_EQ(empty->GetPopupSize().cy, 2);
    auto* added = new CMenuElementUI;
    added->SetAttribute(L"command", L"subtitle_0");
    added->SetText(L"中文字幕");
    EXPECT_TRUE(empty->Add(added));
    EXPECT_EQ(empty->GetItemText(0), L"中文字幕");
    EXPECT_EQ(empty->GetPopupSize().cy, 27);
    empty->SetFixedHeight(4 + 25);
    EXPECT_EQ(empty->GetPopupSize().cy, 29);
    SIZE blank = major->MeasureText(L" "), word = major->MeasureText(L"系统设置"), longer = major->MeasureText(L"系统设置... Ctrl+Alt+S");
    EXPECT_GT(blank.cx, 0);
    EXPECT_GT(word.cx, 4 * blank.cx);
    EXPECT_GT(longer.cx, word.cx);
}

TEST(MenuMissing, LayoutMissingGivesNoMenusAndNull) {
    skintest::SkinArchive skin;
    skin.Add("Other.xml", "<Window><WzMenu name=\"major\"/></Window>");
    skin.Add("Broken.xml", "<Window><WzMenu name=\"major\">");
    skin.Install();
    CWzMenu menu(L"Nothing.xml");
    EXPECT_FALSE(menu.Init(nullptr));
    EXPECT_NE(GetLastErrorMessage().find(L"Nothing.xml"), std::wstring::npos);
    EXPECT_EQ(menu.FindMenuByName(L"major"), nullptr);
    EXPECT_EQ(menu.TrackPopupMenu(10, 10), L"null");
    CWzMenu broken(L"Broken.xml");
    EXPECT_FALSE(broken.Init(nullptr));
    EXPECT_NE(GetLastErrorMessage().find(L"bad XML"), std::wstring::npos);
}
