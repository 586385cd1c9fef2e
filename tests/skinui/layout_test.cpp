// Layouts built from XML: rectangles, hit testing, notifications, painting, failures.
#include <gtest/gtest.h>

#include <functional>

#include "skin_fixture.h"

using namespace skinui;
using skintest::Pixel;

namespace {

std::string R(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
}

struct Recorder : INotifyUI {
    std::vector<std::string> log;
    std::function<void(TNotifyUI&)> also;
    void Notify(TNotifyUI& msg) override {
        log.push_back(msg.sType.ToUtf8() + ":" + (msg.pSender ? msg.pSender->GetName().ToUtf8() : std::string("?")));
        if (also) also(msg);
    }
};

// A manager without a window, built from XML text.
struct Dialog {
    CPaintManagerUI pm;
    Recorder rec;
    explicit Dialog(const std::string& xml) {
        CDialogBuilder b;
        CControlUI* root = b.CreateFromXml(xml, nullptr, &pm);
        EXPECT_NE(root, nullptr) << CDuiString(GetLastErrorMessage()).ToUtf8();
        pm.AttachDialog(root);
        pm.AddNotifier(&rec);
        pm.UpdateLayout();
        rec.log.clear();  // "windowinit" of the first layout
    }
    CControlUI* operator[](const wchar_t* name) { return pm.FindControl(name); }
    void Send(UINT msg, int x, int y, WPARAM w = 0) {
        LRESULT lr = 0;
        pm.MessageHandler(msg, w, MAKELPARAM(x, y), lr);
    }
    void Click(int x, int y, WPARAM keys = 0) {
        Send(WM_MOUSEMOVE, x, y, keys);
        Send(WM_LBUTTONDOWN, x, y, keys | MK_LBUTTON);
        Send(WM_LBUTTONUP, x, y, keys);
    }
    void Click(const wchar_t* name) {
        RECT r = (*this)[name]->GetPos();
        Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
};

const char* kNested = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300">
  <VerticalLayout name="root" inset="10,10,10,10" childpadding="5">
    <Control name="fixed" height="50"/>
    <HorizontalLayout name="row">
      <Control name="left" width="100" padding="2,3,4,5"/>
      <Control name="fill"/>
      <Control name="floaty" float="true" pos="10,20,40,60"/>
    </HorizontalLayout>
    <Control name="hidden" height="40" visible="false"/>
    <Control name="bottom" height="30"/>
  </VerticalLayout>
</Window>)";

TEST(Layout, NestedFixedStretchPaddingFloat) {
    Dialog d(kNested);
    EXPECT_EQ(R(d[L"root"]->GetPos()), "0,0,400,300");
    EXPECT_EQ(R(d[L"fixed"]->GetPos()), "10,10,390,60");
    EXPECT_EQ(R(d[L"row"]->GetPos()), "10,65,390,255");  // 280 - 50 - 30 - 2 gaps of 5
    EXPECT_EQ(R(d[L"bottom"]->GetPos()), "10,260,390,290");
    EXPECT_EQ(R(d[L"left"]->GetPos()), "12,68,112,250");
    EXPECT_EQ(R(d[L"fill"]->GetPos()), "116,65,390,255");
    EXPECT_EQ(R(d[L"floaty"]->GetPos()), "20,85,50,125");

    // Showing the hidden control takes its height and a gap from the stretching row.
    d[L"hidden"]->SetVisible(true);
    d.pm.UpdateLayout();
    EXPECT_EQ(R(d[L"row"]->GetPos()), "10,65,390,210");
    EXPECT_EQ(R(d[L"hidden"]->GetPos()), "10,215,390,255");
}

TEST(Layout, MinAndMaxLimitStretching) {
    Dialog d(R"(<Window size="300,100"><HorizontalLayout>
        <Control name="a" maxwidth="50"/><Control name="b"/><Control name="c" minwidth="200"/>
      </HorizontalLayout></Window>)");
    EXPECT_EQ(d[L"a"]->GetWidth(), 50);
    EXPECT_EQ(d[L"c"]->GetWidth(), 200);
}

TEST(Layout, TabShowsOnePage) {
    Dialog d(R"(<Window size="100,100"><TabLayout name="tab" selectedid="1">
        <Control name="p0"/><Control name="p1"/><Control name="p2"/></TabLayout></Window>)");
    auto* tab = static_cast<CTabLayoutUI*>(d[L"tab"]);
    EXPECT_EQ(tab->GetCurSel(), 1);
    EXPECT_FALSE(d[L"p0"]->IsVisible());
    EXPECT_TRUE(d[L"p1"]->IsVisible());
    tab->SelectItem(2);
    EXPECT_TRUE(d[L"p2"]->IsVisible());
    EXPECT_FALSE(d[L"p1"]->IsVisible());
}

TEST(HitTest, ByPoint) {
    Dialog d(kNested);
    EXPECT_EQ(d.pm.FindControl(POINT{25, 90}), d[L"floaty"]);  // the float lies over "fill"
    EXPECT_EQ(d.pm.FindControl(POINT{200, 100}), d[L"fill"]);
    EXPECT_EQ(d.pm.FindControl(POINT{11, 66}), d[L"row"]);     // padding around "left"
    EXPECT_EQ(d.pm.FindControl(POINT{5, 5}), d[L"root"]);      // inset
    EXPECT_EQ(d.pm.FindControl(POINT{500, 5}), nullptr);

    // A container without mouse children answers for everything inside it.
    static_cast<CContainerUI*>(d[L"row"])->SetMouseChildEnabled(false);
    EXPECT_EQ(d.pm.FindControl(POINT{200, 100}), d[L"row"]);
    // A control that ignores the mouse lets the point fall through to its parent.
    static_cast<CContainerUI*>(d[L"row"])->SetMouseChildEnabled(true);
    d[L"fill"]->SetMouseEnabled(false);
    EXPECT_EQ(d.pm.FindControl(POINT{200, 100}), d[L"row"]);
    // Hidden controls are never hit.
    d[L"floaty"]->SetVisible(false);
    EXPECT_EQ(d.pm.FindControl(POINT{25, 90}), d[L"left"]);
}

TEST(Lookup, UnknownNameGivesNull) {
    Dialog d(kNested);
    EXPECT_EQ(d[L"no_such_control"], nullptr);
    EXPECT_EQ(d[L"Fixed"], nullptr);  // names are exact
}

const char* kButtons = R"(<Window size="400,100"><HorizontalLayout>
    <Button name="btn" width="60" shortcut="O"/>
    <Option name="o1" group="g" width="60" selected="true"/>
    <Option name="o2" group="g" width="60"/>
    <CheckBox name="chk" width="60"/>
    <Button name="off" width="60" enabled="false" shortcut="c"/>
    <Button name="speed" width="60" menu="true"/>
  </HorizontalLayout></Window>)";

TEST(Notify, AltWithAShortcutKeyClicks) {
    Dialog d(kButtons);
    LRESULT lr = 0;
    for (WPARAM key : {L'o', L'O', L'c', L'x'}) d.pm.MessageHandler(WM_SYSCHAR, key, 0, lr);
    // Both cases of the button's key; never the disabled button's.
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"click:btn", "click:btn"}));
}

TEST(Notify, ButtonOptionCheckBoxOrder) {
    Dialog d(kButtons);
    d.Click(L"btn");
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"click:btn"}));

    d.rec.log.clear();
    d.Click(L"o2");
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"click:o2", "selectchanged:o1", "selectchanged:o2"}));
    EXPECT_FALSE(static_cast<COptionUI*>(d[L"o1"])->IsSelected());
    EXPECT_TRUE(static_cast<COptionUI*>(d[L"o2"])->IsSelected());

    // Clicking the selected option of a group keeps it selected and sends only the click.
    d.rec.log.clear();
    d.Click(L"o2");
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"click:o2"}));

    // A check box is read during "click" in its old state; "selectchanged" follows.
    auto* chk = static_cast<CCheckBoxUI*>(d[L"chk"]);
    std::vector<bool> stateAtClick;
    d.rec.also = [&](TNotifyUI& m) {
        if (m.pSender == chk) stateAtClick.push_back(chk->GetCheck());
    };
    d.rec.log.clear();
    d.Click(L"chk");
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"click:chk", "selectchanged:chk"}));
    EXPECT_EQ(stateAtClick, (std::vector<bool>{false, true}));
}

TEST(Notify, NoClickWhenReleasedOutsideOrDisabled) {
    Dialog d(kButtons);
    RECT b = d[L"btn"]->GetPos();
    d.Send(WM_LBUTTONDOWN, b.left + 5, b.top + 5, MK_LBUTTON);
    d.Send(WM_MOUSEMOVE, 390, 50, MK_LBUTTON);
    d.Send(WM_LBUTTONUP, 390, 50);
    d.Click(L"off");
    EXPECT_TRUE(d.rec.log.empty());
    // Programmatic state changes may stay silent.
    static_cast<COptionUI*>(d[L"o2"])->Selected(true, false);
    EXPECT_TRUE(d.rec.log.empty()) << d.rec.log[0];
}

TEST(Notify, RightClickOnMenuControlSendsMenu) {
    Dialog d(kButtons);
    RECT r = d[L"speed"]->GetPos();
    d.Send(WM_RBUTTONDOWN, r.left + 3, r.top + 3);
    d.Send(WM_RBUTTONUP, r.left + 3, r.top + 3);
    RECT b = d[L"btn"]->GetPos();
    d.Send(WM_RBUTTONDOWN, b.left + 3, b.top + 3);
    d.Send(WM_RBUTTONUP, b.left + 3, b.top + 3);
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"menu:speed"}));
}

TEST(Notify, SliderDragAndProgrammaticValue) {
    Dialog d(R"(<Window size="220,20"><HorizontalLayout>
        <Slider name="s" min="0" max="100" value="10" thumbsize="20,20"/></HorizontalLayout></Window>)");
    auto* s = static_cast<CSliderUI*>(d[L"s"]);
    s->SetValue(50);
    EXPECT_TRUE(d.rec.log.empty());
    EXPECT_EQ(s->GetValue(), 50);
    s->SetValue(500);
    EXPECT_EQ(s->GetValue(), 100);

    // The thumb centre travels from x = 10 to x = 210: x = 110 is the middle.
    std::vector<std::string> seenByDelegate;
    struct Sink {
        std::vector<std::string>* out;
        bool On(void* p) {
            out->push_back(static_cast<TNotifyUI*>(p)->sType.ToUtf8());
            return true;
        }
    } sink{&seenByDelegate};
    s->OnNotify += MakeDelegate(&sink, &Sink::On);
    d.Send(WM_MOUSEMOVE, 10, 10);
    d.Send(WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    EXPECT_EQ(s->GetValue(), 0);
    d.Send(WM_MOUSEMOVE, 110, 10, MK_LBUTTON);
    d.Send(WM_LBUTTONUP, 110, 10);
    EXPECT_EQ(s->GetValue(), 50);
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"valuechanged:s", "movevaluechanged:s", "valuechanged:s", "buttonup:s"}));
    EXPECT_EQ(seenByDelegate.size(), d.rec.log.size());  // the control's own delegates see each one first
}

TEST(Notify, EditTypingAndReturn) {
    Dialog d(R"(<Window size="200,30"><HorizontalLayout><Edit name="e" maxchar="5"/></HorizontalLayout></Window>)");
    auto* e = static_cast<CEditUI*>(d[L"e"]);
    d.Click(L"e");
    EXPECT_EQ(d.pm.GetFocus(), e);
    LRESULT lr;
    for (wchar_t c : std::wstring(L"网址abcd")) d.pm.MessageHandler(WM_CHAR, c, 0, lr);
    EXPECT_EQ(e->GetText(), L"网址abc");  // at most five characters
    d.pm.MessageHandler(WM_KEYDOWN, VK_BACK, 0, lr);
    d.pm.MessageHandler(WM_KEYDOWN, VK_RETURN, 0, lr);
    EXPECT_EQ(e->GetText(), L"网址ab");
    EXPECT_EQ(d.rec.log.back(), "return:e");
    EXPECT_EQ(std::count(d.rec.log.begin(), d.rec.log.end(), "textchanged:e"), 6);
    e->SetText(L"set");  // programmatic: no notification
    EXPECT_EQ(std::count(d.rec.log.begin(), d.rec.log.end(), "textchanged:e"), 6);
}

TEST(Notify, HotKeyRecordsKeyAndModifiers) {
    Dialog d(R"(<Window size="200,30"><HorizontalLayout><HotKey name="hk"/></HorizontalLayout></Window>)");
    auto* hk = static_cast<CHotKeyUI*>(d[L"hk"]);
    hk->SetHotKey('S', HOTKEYF_CONTROL);
    EXPECT_EQ(hk->GetText(), L"Ctrl + S");
    EXPECT_TRUE(d.rec.log.empty());
    d.Click(L"hk");
    TEventUI e;
    e.Type = UIEVENT_KEYDOWN;
    e.chKey = VK_NEXT;
    hk->Event(e);
    WORD vk = 0, mod = 0;
    hk->GetHotKey(vk, mod);
    EXPECT_EQ(vk, VK_NEXT);
    EXPECT_EQ(mod, HOTKEYF_EXT);
    e.chKey = VK_BACK;
    hk->Event(e);
    hk->GetHotKey(vk, mod);
    EXPECT_EQ(vk, 0);
    EXPECT_EQ(d.rec.log, (std::vector<std::string>{"textchanged:hk", "textchanged:hk"}));
}

class Painting : public ::testing::Test {
protected:
    void SetUp() override {
        skintest::WriteCellsPng(skin.Path("cells.png"), 10, 10, {0xFF0000, 0x00FF00, 0x0000FF});
        skin.Add("solid.bmp", skintest::Bmp24(4, 4, 0x00FFFF));
        skin.Install();
    }
    skintest::SkinArchive skin;
};

TEST_F(Painting, AlphaBackgroundAndImageCells) {
    Dialog d(R"(<Window size="100,40"><HorizontalLayout bkcolor="#FF0000FF">
        <Control name="tint" width="20" bkcolor="#80FF0000"/>
        <Button name="b" width="10" height="10" normalimage="file='cells.png' source='10,0,20,10'"
                hotimage="file='cells.png' source='20,0,30,10'"/>
        <Control name="bmp" width="20" bkimage="solid.bmp"/>
        <Control name="missing" width="20" bkimage="nothere.png"/>
        <Label name="text" text="播放列表" textcolor="#FFFFFFFF" font="0"/>
      </HorizontalLayout></Window>)");
    cairo_surface_t* s = d.pm.RenderToSurface();
    uint32_t tint = Pixel(s, 5, 5);  // half red over opaque blue
    EXPECT_EQ(tint >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((tint >> 16) & 0xFF), 128, 2);
    EXPECT_NEAR(static_cast<int>(tint & 0xFF), 127, 2);
    EXPECT_EQ(Pixel(s, 25, 5), 0xFF00FF00u);  // the green cell
    EXPECT_EQ(Pixel(s, 35, 20), 0xFF00FFFFu);  // BMP stretched over the control
    EXPECT_EQ(Pixel(s, 55, 20), 0xFF0000FFu);  // missing image: the background shows
    EXPECT_NE(CDuiString(GetLastErrorMessage()).find(L"nothere.png"), std::wstring::npos);
    int lit = 0;
    for (int x = 70; x < 100; ++x)
        for (int y = 0; y < 40; ++y) lit += (Pixel(s, x, y) & 0xFF) < 0xC0 || ((Pixel(s, x, y) >> 8) & 0xFF) > 0x40;
    EXPECT_GT(lit, 5);  // the Chinese text drew glyphs
    cairo_surface_destroy(s);

    d.Send(WM_MOUSEMOVE, 25, 5);
    s = d.pm.RenderToSurface();
    EXPECT_EQ(Pixel(s, 25, 5), 0xFF0000FFu);  // hot: the blue cell
    cairo_surface_destroy(s);
}

TEST_F(Painting, LayoutFromArchiveAndMissingOnes) {
    skintest::SkinArchive own;
    own.Add("Demo.xml", R"(<Window size="50,50"><VerticalLayout name="v"><Button name="ok" height="20"/></VerticalLayout></Window>)");
    own.Add("Broken.xml", "<Window><VerticalLayout>");
    own.Add("Odd.xml", R"(<Window size="50,50"><VerticalLayout><Gadget name="x"/><Button name="ok"/></VerticalLayout></Window>)");
    own.Install();
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root = b.Create(L"Demo.xml", nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    EXPECT_EQ(pm.GetInitSize().cx, 50);
    EXPECT_NE(pm.FindControl(L"ok"), nullptr);

    EXPECT_EQ(b.Create(L"NoSuch.xml"), nullptr);
    EXPECT_NE(CDuiString(GetLastErrorMessage()).find(L"NoSuch.xml"), std::wstring::npos);
    EXPECT_EQ(b.Create(L"Broken.xml"), nullptr);
    EXPECT_NE(CDuiString(GetLastErrorMessage()).find(L"Broken.xml"), std::wstring::npos);
    // An unknown class is left out; the rest of the layout is built.
    std::unique_ptr<CControlUI> odd(b.Create(L"Odd.xml"));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(static_cast<CContainerUI*>(odd.get())->GetCount(), 1);
    EXPECT_EQ(b.Create(L"../etc/passwd"), nullptr);
}

TEST(Archive, GarbageIsRefused) {
    std::string junk = "PK this is not a zip";
    EXPECT_FALSE(CSkinArchive::SetZipMemory(junk.data(), junk.size()));
    std::string out;
    EXPECT_FALSE(CSkinArchive::Read(L"x.xml", out));
    CSkinArchive::Reset();
}

}  // namespace
