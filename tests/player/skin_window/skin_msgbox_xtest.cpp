// The skin message box under Xvfb: real clicks and keys, the pressed button as the result, the
// owner disabled while it runs.
#include <gtest/gtest.h>

#include "skin_x.h"
#include "support/test_window.h"

using namespace skinui;
using skinx::Xdo;

namespace {

class MessageBoxX : public skinx::SkinX {
protected:
    void SetUp() override {
        SkinX::SetUp();
        UseSkinResource();
    }
    // The shown box, once it is on screen and has the keyboard.
    HWND ShownBox() {
        HWND h = FindWindowW(L"WzMessageBox", nullptr);
        return h && Viewable(h) && HasKeyboard(h) ? h : nullptr;
    }
    // Screen points of the box's two buttons (first, second) and its close button.
    static POINT Button(HWND box, int which) {
        RECT r;
        GetWindowRect(box, &r);
        if (which == 2) return POINT{r.right - 13, r.top + 11};
        int right = r.right - 16 - (which == 0 ? 90 : 0);
        return POINT{right - 40, r.bottom - 12 - 14};
    }
    // Shows a box and acts on it with xdotool once it is up; returns the box's result.
    int Run(UINT type, const std::function<std::string(HWND)>& input, LPCWSTR text = L"图像保存目录不存在，请重新设置") {
        bool ownerDisabled = false;
        RECT boxRect{};
        skinx::Step step([&] {
            HWND box = ShownBox();
            if (!box) return false;
            ownerDisabled = !IsWindowEnabled(owner.hwnd());
            GetWindowRect(box, &boxRect);
            Xdo(input(box));
            return true;
        });
        int r = WzMessageBox(owner.hwnd(), text, L"Oskery提示", type);
        EXPECT_TRUE(step.Done());
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
        lastRect = boxRect;
        return r;
    }
    testsupport::TestWindow owner{WS_POPUP | WS_VISIBLE, 0, nullptr, {200, 150, 900, 650}};
    RECT lastRect{};
};

std::string ClickAt(POINT pt) { return "mousemove " + skinx::At(pt) + " sleep 0.1 click 1"; }

}  // namespace

TEST_F(MessageBoxX, ReturnsThePressedButton) {
    WaitShown(owner.hwnd());
    struct Case {
        UINT type;
        std::function<std::string(HWND)> input;
        int want;
    };
    const Case cases[] = {
        {MB_OKCANCEL | MB_ICONEXCLAMATION, [](HWND b) { return ClickAt(Button(b, 0)); }, IDOK},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, [](HWND b) { return ClickAt(Button(b, 1)); }, IDCANCEL},
        {MB_OKCANCEL, [](HWND b) { return ClickAt(Button(b, 2)); }, IDCANCEL},
        {MB_OKCANCEL, [](HWND) { return std::string("key Return"); }, IDOK},
        {MB_OKCANCEL, [](HWND) { return std::string("key Escape"); }, IDCANCEL},
        {MB_OKCANCEL, [](HWND) { return std::string("key c"); }, IDCANCEL},
        {MB_OKCANCEL, [](HWND) { return std::string("key o"); }, IDOK},
        {MB_YESNO | MB_ICONQUESTION, [](HWND b) { return ClickAt(Button(b, 1)); }, IDNO},
        {MB_YESNO | MB_ICONQUESTION, [](HWND) { return std::string("key y"); }, IDYES},
        // The only button of MB_OK stands where the second would, and Esc gives it too.
        {MB_OK | MB_ICONINFORMATION, [](HWND b) { return ClickAt(Button(b, 1)); }, IDOK},
        {MB_OK, [](HWND) { return std::string("key Escape"); }, IDOK},
    };
    int i = 0;
    for (const Case& c : cases) EXPECT_EQ(Run(c.type, c.input), c.want) << "case " << i++;
}

TEST_F(MessageBoxX, CentredOnItsOwnerAndTallerForLongText) {
    WaitShown(owner.hwnd());
    auto escape = [](HWND) { return std::string("key Escape"); };
    Run(MB_OKCANCEL, escape, L"短");
    RECT shortBox = lastRect;
    EXPECT_EQ(shortBox.right - shortBox.left, 360);
    EXPECT_EQ(shortBox.bottom - shortBox.top, 170);
    EXPECT_NEAR((shortBox.left + shortBox.right) / 2, 550, 1);
    EXPECT_NEAR((shortBox.top + shortBox.bottom) / 2, 400, 1);
    std::wstring longText;
    for (int i = 0; i < 12; ++i) longText += L"清空后播放记录将不可恢复\n";
    Run(MB_OKCANCEL, escape, longText.c_str());
    EXPECT_GT(lastRect.bottom - lastRect.top, 170 + 100);
}
