// A skin window built from the skin resource under Xvfb: it opens at its layout's size, paints,
// takes real clicks and keys and sends the notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "player/skin_window/xml_wnd.h"
#include "skin_x.h"

using namespace skinui;
using skinx::Xdo;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

class DemoWnd : public CWzXMLWnd {
public:
    DemoWnd() : CWzXMLWnd(L"SkinDemo.xml") {}
    void Notify(TNotifyUI& msg) override {
        log.emplace_back(msg.sType, msg.pSender ? msg.pSender->GetName() : CDuiString());
        WindowImplBase::Notify(msg);
    }
    void OnFinalMessage(HWND h) override {
        WindowImplBase::OnFinalMessage(h);
        destroyed = true;
    }
    CControlUI* Find(const wchar_t* name) { return m_PaintManager.FindControl(name); }
    bool Saw(const wchar_t* type, const wchar_t* name) const {
        for (auto& [t, n] : log)
            if (t == type && n == name) return true;
        return false;
    }
    std::vector<std::pair<CDuiString, CDuiString>> log;
    bool destroyed = false;
};

class SkinWindowX : public skinx::SkinX {
protected:
    void Open() {
        ASSERT_NE(wnd.Create(nullptr, L"SkinDemo", WS_POPUP | WS_VISIBLE, 0, 100, 80, 0, 0), nullptr)
            << CDuiString(GetLastErrorMessage()).ToUtf8();
        WaitShown(wnd.GetHWND());
    }
    void TearDown() override {
        if (wnd.GetHWND()) DestroyWindow(wnd.GetHWND());
        SkinX::TearDown();
    }
    DemoWnd wnd;
};

}  // namespace

TEST_F(SkinWindowX, OpensAtLayoutSizeAndPaints) {
    Open();
    RECT rc;
    GetWindowRect(wnd.GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, 480);
    EXPECT_EQ(rc.bottom - rc.top, 320);
    wchar_t cls[32] = {};
    GetClassNameW(wnd.GetHWND(), cls, 32);
    EXPECT_STREQ(cls, L"WZBaseGui");
    EXPECT_TRUE(wnd.Saw(L"windowinit", L"demo_root"));
    // The caption's background and the body's, as painted into the real window.
    ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(100 + 300, 80 + 10) == 0x3C8CE6; }, 20000));
    EXPECT_EQ(ScreenPixel(100 + 400, 80 + 300), 0x2B2B2Bu);
}

TEST_F(SkinWindowX, ClicksOnButtonsOptionsAndCheckBoxes) {
    Open();
    wnd.log.clear();
    Click(wnd.GetHWND(), wnd.Find(L"demo_button"));
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"click", L"demo_button"); }));
    Click(wnd.GetHWND(), wnd.Find(L"demo_opt2"));
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"selectchanged", L"demo_opt2"); }));
    auto* opt1 = static_cast<COptionUI*>(wnd.Find(L"demo_opt1")->GetInterface(L"Option"));
    auto* opt2 = static_cast<COptionUI*>(wnd.Find(L"demo_opt2")->GetInterface(L"Option"));
    EXPECT_FALSE(opt1->IsSelected());
    EXPECT_TRUE(opt2->IsSelected());
    Click(wnd.GetHWND(), wnd.Find(L"demo_check"));
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"selectchanged", L"demo_check"); }));
    // "click" comes before "selectchanged"; the option that lost the group's selection reports too.
    std::vector<std::pair<CDuiString, CDuiString>> want = {
        {L"click", L"demo_button"},         {L"click", L"demo_opt2"}, {L"selectchanged", L"demo_opt1"},
        {L"selectchanged", L"demo_opt2"},   {L"click", L"demo_check"}, {L"selectchanged", L"demo_check"}};
    std::vector<std::pair<CDuiString, CDuiString>> got;
    for (auto& e : wnd.log)
        if (e.first == L"click" || e.first == L"selectchanged") got.push_back(e);
    EXPECT_EQ(got, want);
    // A right click on a control with menu="true" sends "menu".
    Click(wnd.GetHWND(), wnd.Find(L"demo_button"), 3);
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"menu", L"demo_button"); }));
}

TEST_F(SkinWindowX, KeysReachTheFocusedEditAndHotKey) {
    Open();
    SetForegroundWindow(wnd.GetHWND());
    auto* edit = static_cast<CEditUI*>(wnd.Find(L"demo_edit")->GetInterface(L"Edit"));
    Click(wnd.GetHWND(), edit);
    ASSERT_TRUE(PumpUntil([&] { return edit->IsFocused(); }));
    edit->SetSelAll();
    wnd.log.clear();
    Xdo("type --delay 30 ab");
    Xdo("key Return");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"return", L"demo_edit"); }));
    EXPECT_EQ(edit->GetText(), L"ab");
    EXPECT_TRUE(wnd.Saw(L"textchanged", L"demo_edit"));

    auto* hot = static_cast<CHotKeyUI*>(wnd.Find(L"demo_hotkey")->GetInterface(L"HotKey"));
    Click(wnd.GetHWND(), hot);
    ASSERT_TRUE(PumpUntil([&] { return hot->IsFocused(); }));
    Xdo("key ctrl+shift+p");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"textchanged", L"demo_hotkey"); }));
    WORD vk = 0, mods = 0;
    hot->GetHotKey(vk, mods);
    EXPECT_EQ(vk, 'P');
    EXPECT_EQ(mods, HOTKEYF_CONTROL | HOTKEYF_SHIFT);
}

TEST_F(SkinWindowX, SliderDragSendsValueChangedAndCloseButtonCloses) {
    Open();
    auto* slider = static_cast<CSliderUI*>(wnd.Find(L"demo_slider")->GetInterface(L"Slider"));
    RECT rc = slider->GetPos();
    POINT left{rc.left + 20, (rc.top + rc.bottom) / 2}, right{rc.right - 2, left.y};
    ClientToScreen(wnd.GetHWND(), &left);
    ClientToScreen(wnd.GetHWND(), &right);
    wnd.log.clear();
    Drag({left, right});
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"buttonup", L"demo_slider"); }));
    EXPECT_TRUE(wnd.Saw(L"valuechanged", L"demo_slider"));
    EXPECT_EQ(slider->GetValue(), 100);

    Click(wnd.GetHWND(), wnd.Find(L"closebtn"));
    ASSERT_TRUE(PumpUntil([&] { return wnd.destroyed; }));
    EXPECT_EQ(wnd.GetHWND(), nullptr);
}

TEST_F(SkinWindowX, CaptionAreaDragsTheWindow) {
    Open();
    Drag({{200, 90}, {240, 120}, {260, 140}});
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(wnd.GetHWND(), &r);
        return r.left == 160 && r.top == 130;
    }));
}

TEST_F(SkinWindowX, ComboDropsDownAndTakesTheClickedRow) {
    Open();
    auto* combo = static_cast<CComboUI*>(wnd.Find(L"demo_combo")->GetInterface(L"Combo"));
    ASSERT_NE(combo, nullptr);
    auto drop = [&] {
        HWND h = FindWindowW(L"SkinComboDrop", nullptr);
        return h && Viewable(h) ? h : nullptr;
    };
    RECT dropRect{};
    {
        skinx::Step step([&] {
            HWND h = drop();
            if (!h) return false;
            GetWindowRect(h, &dropRect);
            // The middle of the last of the three rows, inside a one-pixel frame.
            int rows = dropRect.bottom - dropRect.top - 2;
            Xdo("mousemove " + std::to_string(dropRect.left + 20) + " " + std::to_string(dropRect.top + 1 + rows * 5 / 6) +
                " sleep 0.1 click 1");
            return true;
        });
        wnd.log.clear();
        Click(wnd.GetHWND(), combo);
        ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"itemselect", L"demo_combo"); }));
    }
    EXPECT_EQ(combo->GetText(), L".png");
    // Below the combo, as wide as it, no higher than its drop box height; gone once chosen.
    RECT rc = combo->GetPos();
    POINT below{rc.left, rc.bottom};
    ClientToScreen(wnd.GetHWND(), &below);
    EXPECT_EQ(dropRect.left, below.x);
    EXPECT_EQ(dropRect.top, below.y);
    EXPECT_EQ(dropRect.right - dropRect.left, rc.right - rc.left);
    EXPECT_LE(dropRect.bottom - dropRect.top, 80);
    EXPECT_TRUE(PumpUntil([&] { return FindWindowW(L"SkinComboDrop", nullptr) == nullptr; }));

    // Keys in the open list; Esc closes it without a change.
    {
        skinx::Step step([&] {
            if (!drop()) return false;
            Xdo("key Up key Return");
            return true;
        });
        wnd.log.clear();
        Click(wnd.GetHWND(), combo);
        ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"itemselect", L"demo_combo"); }));
    }
    EXPECT_EQ(combo->GetText(), L".jpg");
    {
        skinx::Step step([&] {
            if (!drop()) return false;
            Xdo("key Down key Escape");
            return true;
        });
        wnd.log.clear();
        Click(wnd.GetHWND(), combo);
        ASSERT_TRUE(PumpUntil([&] { return step.Done() && !drop(); }));
    }
    PumpFor(100);
    EXPECT_FALSE(wnd.Saw(L"itemselect", L"demo_combo"));
    EXPECT_EQ(combo->GetText(), L".jpg");
}

TEST_F(SkinWindowX, DemonstrationWindowLooksRight) {
    Open();
    static_cast<CComboUI*>(wnd.Find(L"demo_combo")->GetInterface(L"Combo"))->SelectItem(1, false, false);
    PumpFor(200);
    RECT win;
    GetWindowRect(wnd.GetHWND(), &win);
    std::string shot = std::string(::testing::TempDir()) + "skin_demo_window.png";
    SaveScreen(win, shot);
    auto at = [&](const wchar_t* name, int dx, int dy) {
        RECT rc = wnd.Find(name)->GetPos();
        return ScreenPixel(win.left + (dx >= 0 ? rc.left + dx : rc.right + dx), win.top + (dy >= 0 ? rc.top + dy : rc.bottom + dy));
    };
    SCOPED_TRACE("screenshot: " + shot);
    EXPECT_EQ(at(L"demo_caption", 200, 4), 0x3C8CE6u);  // caption colour
    EXPECT_EQ(at(L"demo_root", 10, -10), 0x2B2B2Bu);    // body colour
    // The slider: its fore colour left of the thumb at 40 %, its back colour to the right.
    EXPECT_EQ(at(L"demo_slider", 10, 8), 0x3C8CE6u);
    EXPECT_EQ(at(L"demo_slider", -10, 8), 0x555555u);
    // The blue button's image cell, away from its text; the edit's white field inside its border.
    EXPECT_NE(at(L"demo_button", 4, 14), 0x2B2B2Bu);
    EXPECT_EQ(at(L"demo_edit", 0, 10), 0xC8C8C8u);
    EXPECT_EQ(at(L"demo_edit", -3, 10), 0xFFFFFFu);
    // Texts are drawn: the title and the long label hold pixels of their text colour.
    auto inked = [&](const wchar_t* name, uint32_t colour) {
        RECT rc = wnd.Find(name)->GetPos();
        int n = 0;
        for (int y = rc.top; y < rc.bottom; y += 1)
            for (int x = rc.left; x < std::min<LONG>(rc.right, rc.left + 200); x += 1)
                n += ScreenPixel(win.left + x, win.top + y) == colour;
        return n;
    };
    EXPECT_GT(inked(L"demo_title", 0xFFFFFF), 20);
    EXPECT_GT(inked(L"demo_label", 0xFFFFFF), 20);
}

TEST_F(SkinWindowX, ControlToolTipsShowWhileHovered) {
    Open();
    POINT play = skinx::CentreOf(wnd.GetHWND(), wnd.Find(L"demo_play"));
    Xdo("mousemove " + skinx::At(POINT{play.x - 3, play.y}));
    PumpFor(60);
    Xdo("mousemove " + skinx::At(play));
    ASSERT_TRUE(PumpUntil([&] { return GetControlToolTip() && GetControlToolTip()->IsShown(); }));
    EXPECT_EQ(GetControlToolTip()->GetText(), L"播放");
    RECT tip;
    GetWindowRect(GetControlToolTip()->GetHWND(), &tip);
    EXPECT_GT(tip.top, play.y);  // below the pointer
    EXPECT_NEAR(tip.left, play.x, 20);
    // A control without a tip hides it.
    Xdo("mousemove " + skinx::At(skinx::CentreOf(wnd.GetHWND(), wnd.Find(L"demo_label"))));
    ASSERT_TRUE(PumpUntil([&] { return !GetControlToolTip()->IsShown(); }));
}

TEST_F(SkinWindowX, ProgressTipKeepsOneSizeUntilHidden) {
    Open();
    CWzPlayProgressToolTip tip;
    ASSERT_NE(tip.Create(wnd.GetHWND(), L"WzToolTip", 0, 0), nullptr);
    SIZE size = tip.GetSize();
    EXPECT_GT(size.cx, 20);
    EXPECT_GT(size.cy, 10);
    for (const wchar_t* text : {L"01:05", L"1:02:05"}) {
        tip.Show(text, 300, 200);
        ASSERT_TRUE(PumpUntil([&] { return tip.IsShown(); }));
        RECT rc;
        GetWindowRect(tip.GetHWND(), &rc);
        EXPECT_EQ(rc.right - rc.left, size.cx) << CDuiString(text).ToUtf8();
        EXPECT_EQ(rc.bottom - rc.top, size.cy);
        EXPECT_EQ(rc.left, 300);
    }
    PumpFor(300);
    EXPECT_TRUE(tip.IsShown());  // no show time of its own
    tip.Hide();
    EXPECT_FALSE(tip.IsShown());
}

TEST_F(SkinWindowX, SizeBoxEdgesSizeTheWindowWithinItsMinimum) {
    Open();
    // The right edge (the layout's size box is 4 pixels) dragged out, then far in.
    Drag({{578, 240}, {610, 240}, {640, 240}});
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(wnd.GetHWND(), &r);
        return r.right - r.left == 480 + 62;
    }));
    // The layout follows the new size.
    EXPECT_TRUE(PumpUntil([&] { return wnd.Find(L"demo_root")->GetWidth() == 542; }));
    Drag({{640, 240}, {300, 240}, {200, 240}});
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(wnd.GetHWND(), &r);
        return r.right - r.left == 320;  // "mininfo"
    }));
}
