// A skin window built from the skin resource under Xvfb: it opens at its layout's size, paints,
// takes real clicks and keys and sends the notifications.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "player/xml_wnd.h"
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
    Xdo("mousemove " + skinx::At(left));
    PumpFor(60);
    Xdo("mousedown 1");
    PumpFor(60);
    Xdo("mousemove " + skinx::At(right));
    PumpFor(60);
    Xdo("mouseup 1");
    ASSERT_TRUE(PumpUntil([&] { return wnd.Saw(L"buttonup", L"demo_slider"); }));
    EXPECT_TRUE(wnd.Saw(L"valuechanged", L"demo_slider"));
    EXPECT_EQ(slider->GetValue(), 100);

    Click(wnd.GetHWND(), wnd.Find(L"closebtn"));
    ASSERT_TRUE(PumpUntil([&] { return wnd.destroyed; }));
    EXPECT_EQ(wnd.GetHWND(), nullptr);
}

TEST_F(SkinWindowX, CaptionAreaDragsTheWindow) {
    Open();
    Xdo("mousemove 200 90");
    PumpFor(60);
    Xdo("mousedown 1");
    PumpFor(100);
    Xdo("mousemove 240 120");
    PumpFor(100);
    Xdo("mousemove 260 140");
    PumpFor(100);
    Xdo("mouseup 1");
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(wnd.GetHWND(), &r);
        return r.left == 160 && r.top == 130;
    }));
}
