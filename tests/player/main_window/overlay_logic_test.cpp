// The bars', input's and menus' decisions without windows: time texts, next-up notice, rate and
// volume steps, hot-key order, edge and sizing tables, label padding, top-most and transparency,
// the start source and the version comparison.
#include "player/main_window/overlay_logic.h"

#include <gtest/gtest.h>

using namespace overlay;

TEST(OverlayLogic, TimeLabels) {
    struct Case {
        std::int64_t t, l;
        const wchar_t* text;
    } cases[] = {
        {3725, 5700, L"1:02:05 / 1:35:00"},
        {65, 240, L"01:05 / 04:00"},
        {0, 0, L"00:00 / 00:00"},
        {59, 3600, L"00:59 / 1:00:00"},
        // A day or more keeps its hours.
        {90061, 25 * 3600, L"25:01:01 / 25:00:00"},
        {-3, 10, L"00:00 / 00:10"},
    };
    for (const Case& c : cases) EXPECT_EQ(PlayTimeLabel(c.t, c.l), c.text) << c.t;
}

TEST(OverlayLogic, NextUpNoticeOncePerApproach) {
    NextUpNotice n;
    int asked = 0;
    auto name = [&] {
        ++asked;
        return std::wstring(L"Ep2.mkv");
    };
    EXPECT_EQ(n.Update(100, 88, name), L"");  // 12 s left
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(n.Update(100, 91, name), L"接下来将为您播放：Ep2.mkv");
    EXPECT_EQ(n.Update(100, 92, name), L"");  // once
    EXPECT_EQ(n.Update(100, 90, name), L"");  // exactly 10 s left changes nothing
    EXPECT_TRUE(n.shown());
    EXPECT_EQ(n.Update(100, 50, name), L"");  // seek back re-arms
    EXPECT_FALSE(n.shown());
    EXPECT_EQ(n.Update(100, 95, name), L"接下来将为您播放：Ep2.mkv");
    NextUpNotice shortFile;
    EXPECT_EQ(shortFile.Update(10, 5, name), L"");  // 10 s or less never
    NextUpNotice last;
    EXPECT_EQ(last.Update(100, 95, [] { return std::wstring(); }), L"");
    EXPECT_FALSE(last.shown());
}

TEST(OverlayLogic, RateStepsInTenthsReachBothLimits) {
    int r = kRateNormal;
    for (int i = 0; i < 30; ++i) r = ChangeRate(r + 1).tenths;
    EXPECT_EQ(r, 40);
    RateChange top = ChangeRate(r + 1);
    EXPECT_EQ(top.tenths, 40);
    EXPECT_FALSE(top.applyToEngine);
    EXPECT_EQ(top.tip, L"已达最大倍速");
    // Stepping down from 4.0 to 1.0 lands on "normal" exactly.
    for (int i = 0; i < 30; ++i) r = ChangeRate(r - 1).tenths;
    EXPECT_EQ(ChangeRate(r).tip, L"正常速度：1.0倍");
    EXPECT_EQ(ChangeRate(2 - 1).tip, L"减速播放：0.1倍（按Ctrl+R还原）");
    EXPECT_TRUE(ChangeRate(1).applyToEngine);
    RateChange bottom = ChangeRate(0);
    EXPECT_EQ(bottom.tenths, 1);
    EXPECT_FALSE(bottom.applyToEngine);
    EXPECT_EQ(bottom.tip, L"已达最小倍速");
    EXPECT_EQ(ChangeRate(15).tip, L"加速播放：1.5倍（按Ctrl+R还原）");
    EXPECT_EQ(RateToTenths(1.2000000476837158), 12);
    EXPECT_EQ(RateToTenths(0.0), kRateNormal);
}

TEST(OverlayLogic, SeekTipArithmetic) {
    // Slider 100..600 with a 10-pixel thumb, range 0..1000, a 100 s medium.
    EXPECT_EQ(SliderValueAtPoint(596, 100, 600, 10, 0, 1000), 1000);
    EXPECT_EQ(SliderValueAtPoint(105, 100, 600, 10, 0, 1000), 0);
    EXPECT_EQ(SliderValueAtPoint(350, 100, 600, 10, 0, 1000), 500);
    EXPECT_EQ(SecondsAtValue(500, 100000, 0, 1000), 50);
    EXPECT_EQ(SecondsAtValue(1000, 5999999, 0, 1000), 5999);
    // Degenerate sliders give the minimum instead of a division by zero.
    EXPECT_EQ(SliderValueAtPoint(50, 45, 55, 10, 0, 1000), 1000);
    EXPECT_EQ(SliderValueAtPoint(50, 50, 50, 0, 0, 1000), 1000);
    EXPECT_EQ(SecondsAtValue(10, 1000, 5, 5), 0);
    EXPECT_EQ(ProgressTipX(-20, 10, 60), -30);
    EXPECT_EQ(ProgressTipX(200, 10, 60), 170);
}

TEST(OverlayLogic, PositionWritesAreThrottledPerRecord) {
    PositionSaveThrottle t;
    EXPECT_TRUE(t.Due(L"file1", 0));
    EXPECT_FALSE(t.Due(L"file1", 250));
    EXPECT_FALSE(t.Due(L"file1", 4999));
    EXPECT_TRUE(t.Due(L"file1", 5000));
    EXPECT_TRUE(t.Due(L"file2", 5100));  // another record is written at once
    EXPECT_FALSE(t.Due(L"file2", 5200));
}

TEST(OverlayLogic, VolumeStepsAndTips) {
    struct Case {
        int v;
        bool up;
        int result;
    } cases[] = {{100, true, 120}, {100, false, 95}, {20, false, 15}, {0, false, 0}, {99, true, 104},
                 {120, false, 100}, {995, true, 1000}, {1500, true, 1000}, {-20, true, 5}};
    for (const Case& c : cases) EXPECT_EQ(VolumeStep(c.v, c.up), c.result) << c.v << " " << c.up;
    EXPECT_EQ(VolumeTip(100), L"音量：100%（按↑继续放大音量）");
    EXPECT_EQ(VolumeTip(1000), L"音量：1000%（已达到最大）");
    EXPECT_EQ(VolumeTip(35), L"音量：35%");
}

TEST(OverlayLogic, HotKeyMatchOrder) {
    HotKey table[HK_Count];
    for (int i = 0; i < HK_Count; ++i) table[i] = kHotKeyDefaults[i].key;
    struct Case {
        WORD key, mask;
        HotKeyAction action;
    } cases[] = {
        {VK_SPACE, 0, HotKeyAction::PlayPause},
        {VK_NEXT, HOTKEYF_EXT, HotKeyAction::PlayNext},
        {VK_PRIOR, HOTKEYF_EXT, HotKeyAction::PlayPrevious},
        {VK_PRIOR, HOTKEYF_EXT | HOTKEYF_SHIFT, HotKeyAction::None},
        {VK_PRIOR, HOTKEYF_EXT | HOTKEYF_CONTROL, HotKeyAction::RateUp},
        {VK_NEXT, HOTKEYF_EXT | HOTKEYF_CONTROL, HotKeyAction::RateDown},
        {'R', HOTKEYF_CONTROL, HotKeyAction::RateNormal},
        {'A', HOTKEYF_CONTROL, HotKeyAction::Snapshot},
        {'S', HOTKEYF_CONTROL, HotKeyAction::Stop},
        {VK_LEFT, HOTKEYF_EXT, HotKeyAction::FastBackward},
        {VK_RIGHT, HOTKEYF_EXT, HotKeyAction::FastForward},
        {VK_UP, HOTKEYF_EXT, HotKeyAction::VolumeUp},
        {VK_DOWN, HOTKEYF_EXT, HotKeyAction::VolumeDown},
        {'M', HOTKEYF_CONTROL, HotKeyAction::Mute},
        {'T', HOTKEYF_CONTROL, HotKeyAction::TopMost},
        {VK_RETURN, HOTKEYF_CONTROL, HotKeyAction::FullScreen},
        {'W', HOTKEYF_CONTROL, HotKeyAction::CloseWindow},
        {VK_F5, 0, HotKeyAction::Setting},
        {0, 0, HotKeyAction::None},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchHotKey(table, c.key, c.mask), c.action) << c.key << "/" << c.mask;
    // Table entries come before the fixed keys, and entries 0 and 1 before PgUp.
    table[HK_Mute] = {'A', HOTKEYF_CONTROL};
    EXPECT_EQ(MatchHotKey(table, 'A', HOTKEYF_CONTROL), HotKeyAction::Mute);
    table[HK_PlayNext] = {VK_PRIOR, HOTKEYF_EXT};
    EXPECT_EQ(MatchHotKey(table, VK_PRIOR, HOTKEYF_EXT), HotKeyAction::PlayNext);
    // An unset entry (0, 0) never matches a real key.
    table[HK_Setting] = {0, 0};
    EXPECT_EQ(MatchHotKey(table, VK_F5, 0), HotKeyAction::None);

    EXPECT_EQ(KeyMask(VK_LEFT, false, false, false), HOTKEYF_EXT);
    EXPECT_EQ(KeyMask(VK_PRIOR, true, false, false), HOTKEYF_EXT | HOTKEYF_CONTROL);
    EXPECT_EQ(KeyMask('S', true, true, true), HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT);
    EXPECT_EQ(KeyMask(VK_DIVIDE, false, false, false), HOTKEYF_EXT);
    EXPECT_TRUE(EnterTogglesFullScreen(false, false));
    EXPECT_FALSE(EnterTogglesFullScreen(false, true));  // Shift+Enter
    EXPECT_TRUE(EnterTogglesFullScreen(true, true));    // Ctrl+Enter
}

TEST(OverlayLogic, EdgeCodesAndAspectSizing) {
    const int w = 400, h = 300;
    struct Hit {
        int x, y, code;
    } hits[] = {{0, 0, 13},   {3, 100, 10}, {5, 298, 16}, {399, 2, 14}, {396, 150, 11},
                {398, 299, 17}, {200, 4, 12}, {200, 296, 15}, {200, 150, 0}, {6, 6, 0}};
    for (const Hit& c : hits) EXPECT_EQ(EdgeHitCode(c.x, c.y, w, h), c.code) << c.x << "," << c.y;

    const RECT cur{100, 100, 500, 325};  // 400 x 225, 16:9
    const double a = 16.0 / 9.0;
    auto sized = [&](RECT p, int code, bool vista = true) { return KeepAspectSizing(p, cur, code, a, vista); };
    RECT wider{100, 100, 580, 325};  // right edge dragged by 80
    RECT r = sized(wider, 11);
    EXPECT_EQ(r.bottom, 100 + 270);
    EXPECT_EQ(r.right, 580);
    RECT taller{100, 100, 500, 370};  // bottom edge dragged by 45
    r = sized(taller, 15);
    EXPECT_EQ(r.right, 100 + 480);
    EXPECT_EQ(r.bottom, 370);
    RECT leftDrag{20, 100, 500, 325};
    r = sized(leftDrag, 10);
    EXPECT_EQ(r.bottom, 370);
    RECT topLeft{100, 55, 500, 325};  // top edge by 45, width unchanged
    r = sized(topLeft, 13);
    EXPECT_EQ(r.left, 500 - 480);
    RECT topRight{100, 100, 580, 325};
    r = sized(topRight, 14);
    EXPECT_EQ(r.top, 325 - 270);
    r = sized(taller, 15, false);  // before Vista both are set at once
    EXPECT_EQ(r.bottom, 100 + 225);
    EXPECT_EQ(r.right, 100 + 480);
    RECT same = sized(wider, 0);
    EXPECT_EQ(same.bottom, wider.bottom);
    EXPECT_EQ(KeepAspectSizing(wider, cur, 11, 0.0, true).bottom, wider.bottom);
}

TEST(OverlayLogic, FittingKeepsTheWindowOnTheWorkArea) {
    const RECT work{0, 0, 1600, 1000};
    struct Case {
        const char* what;
        RECT rc;
        int vw, vh;
        FitPlace want;
    } cases[] = {
        {"the height follows the width in place", {100, 100, 740, 460}, 320, 240, {100, 100, 640, 480}},
        {"a portrait video moves the window up", {500, 338, 1062, 654}, 360, 640, {500, 1, 562, 999}},
        {"taller than the work area: cut, aspect kept", {500, 300, 1300, 750}, 360, 640, {500, 0, 562, 1000}},
        {"wider than the work area: cut, moved left", {200, 100, 1800, 400}, 640, 100, {0, 100, 1600, 250}},
        {"past the right edge: moved left", {1200, 100, 1840, 460}, 640, 360, {960, 100, 640, 360}},
        {"left of the work area stays on it", {-50, -20, 590, 340}, 640, 360, {0, 0, 640, 360}},
    };
    for (const Case& c : cases) {
        FitPlace f = FitToVideo(c.rc, c.vw, c.vh, work);
        EXPECT_EQ(f.x, c.want.x) << c.what;
        EXPECT_EQ(f.y, c.want.y) << c.what;
        EXPECT_EQ(f.width, c.want.width) << c.what;
        EXPECT_EQ(f.height, c.want.height) << c.what;
    }
    // A work area that does not start at the origin (a panel at the top).
    FitPlace f = FitToVideo(RECT{100, 10, 420, 190}, 16, 9, RECT{0, 30, 1600, 1000});
    EXPECT_EQ(f.y, 30);
    EXPECT_EQ(f.height, 180);
}

TEST(OverlayLogic, MinimumTrackSizeKeepsTheVideoAspect) {
    const SIZE skin{480, 270};
    POINT p = MinTrackSize(POINT{100, 100}, skin, 16.0 / 9.0);
    EXPECT_EQ(p.x, 480);
    EXPECT_EQ(p.y, 270);
    p = MinTrackSize(POINT{100, 100}, skin, 4.0 / 3.0);
    EXPECT_EQ(p.x, 360);
    EXPECT_EQ(p.y, 270);
    p = MinTrackSize(POINT{100, 100}, skin, 0.0);
    EXPECT_EQ(p.x, 100);
    p = MinTrackSize(POINT{480, 270}, skin, 2.0);  // the skin's own minimum gives way too
    EXPECT_EQ(p.x, 540);
    EXPECT_EQ(p.y, 270);
}

TEST(OverlayLogic, BandsAndDrag) {
    RECT rc{0, 0, 800, 600};
    EXPECT_TRUE(InBottomBand({10, 521}, rc));
    EXPECT_FALSE(InBottomBand({10, 520}, rc));
    EXPECT_FALSE(InBottomBand({801, 590}, rc));
    EXPECT_FALSE(InBottomBand({10, 700}, rc));
    EXPECT_TRUE(InTopBand({800, 79}, rc));
    EXPECT_FALSE(InTopBand({10, 80}, rc));
    EXPECT_FALSE(InTopBand({10, -5}, rc));
    EXPECT_FALSE(IsDragMove(10, 10, 11, 11));
    EXPECT_TRUE(IsDragMove(10, 10, 12, 10));
    EXPECT_TRUE(IsDragMove(10, 10, 10, 8));
}

TEST(OverlayLogic, TopMostTables) {
    struct Toggle {
        int mode, next;
        TopMostZ z;
    } toggles[] = {{0, 2, TopMostZ::NotTopMost}, {1, 2, TopMostZ::NotTopMost}, {2, 1, TopMostZ::TopMost}};
    for (const Toggle& t : toggles) {
        TopMostChange c = ToggleTopMostMode(t.mode);
        EXPECT_EQ(c.mode, t.next);
        EXPECT_EQ(c.z, t.z);
    }
    EXPECT_EQ(TopMostForMode(0, false), TopMostZ::NotTopMost);
    EXPECT_EQ(TopMostForMode(0, true), TopMostZ::TopMost);
    EXPECT_EQ(TopMostForMode(1, false), TopMostZ::TopMost);
    EXPECT_EQ(TopMostForMode(2, true), TopMostZ::NotTopMost);
}

TEST(OverlayLogic, MenuLabelPadding) {
    // Every character 6 pixels wide, a blank too.
    auto measure = [](const std::wstring& s) { return static_cast<int>(s.size()) * 6; };
    // 192 - 6 - 23 = 163 available.
    PadResult r = PadMenuLabels({{L"系统设置...", L"F5", L""}, {L"退出", L"Ctrl+W", L""}}, 192, 23, measure);
    EXPECT_EQ(r.fixedWidth, 0);
    ASSERT_EQ(r.texts.size(), 2u);
    // (163 - 60) / 6 = 17 blanks after the first blank; (163 - 54) / 6 = 18.
    EXPECT_EQ(r.texts[0], L"系统设置... " + std::wstring(17, L' ') + L"F5");
    EXPECT_EQ(r.texts[1], L"退出 " + std::wstring(18, L' ') + L"Ctrl+W");
    // Without a key the label is followed by blanks only.
    r = PadMenuLabels({{L"系统设置...", L"", L""}}, 192, 23, measure);
    EXPECT_EQ(r.texts[0], L"系统设置... " + std::wstring((163 - 48) / 6, L' '));
    // A long key text widens the submenu by exactly the excess.
    std::wstring longKey(30, L'K');
    r = PadMenuLabels({{L"总是最前", longKey, L""}}, 192, 23, measure);
    int w = (4 + 1 + 30) * 6;
    EXPECT_EQ(r.fixedWidth, 192 + (w - 163));
    EXPECT_EQ(r.texts[0], L"总是最前 " + longKey);
    // The measured text may differ from the shown label.
    r = PadMenuLabels({{L"打开URl...", L"Ctrl+U", L"打开URL... Ctrl+U"}}, 192, 23,
                      [](const std::wstring& s) { return s.find(L"URL") != std::wstring::npos ? 200 : 6; });
    EXPECT_EQ(r.fixedWidth, 192 + 200 - (192 - 6 - 23));
    EXPECT_EQ(DynamicMenuWidth(100), 0);
    EXPECT_EQ(DynamicMenuWidth(158), 0);
    EXPECT_EQ(DynamicMenuWidth(159), 203);
    EXPECT_EQ(MenuHotKeyText(HotKey{0, 0}), L"");
}

TEST(OverlayLogic, TransparencyLevels) {
    const int p[] = {80, 70, 60, 50, 40, 30, 20, 10, 0};
    const DWORD alpha[] = {204, 178, 153, 127, 102, 76, 51, 25, 1};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(TransColor(p[i], kPlayListTransRgb), (alpha[i] << 24) | 0x040404u) << p[i];
        EXPECT_EQ(TransIndex(p[i]), i);
    }
    EXPECT_EQ(TransColor(0, kPlayListTransRgb), 0x01040404u);
    EXPECT_EQ(TransColor(0, kCaptionTransRgb), 0x01373737u);
}

TEST(OverlayLogic, PlaySourceAfterTheProgramPath) {
    struct Case {
        const wchar_t* line;
        const wchar_t* source;
    } cases[] = {
        {L"\"C:\\Program Files\\Morvane\\Morvane.exe\"", L"Self"},
        {L"  \"/opt/morvane/morvane\"   ", L"Self"},
        {L"\"/opt/morvane/morvane\" \"/home/u/a.mkv\"", L"FileAssoc"},
        {L"\"/opt/morvane/morvane\" -s Desktop", L"Desktop"},
        {L"\"/opt/morvane/morvane\" \"/home/u/a b.mkv\" -s Install", L"Install"},
        {L"\"/opt/morvane/morvane\" -s Start \"/home/u/a.mkv\"", L"FileAssoc"},
        {L"\"/opt/morvane/morvane\" -s  ", L"FileAssoc"},
        // An unquoted program path ends at the first blank, as for the file argument.
        {L"/opt/morvane/morvane", L"Self"},
        {L"/opt/morvane/morvane -s Menu", L"Menu"},
        {L"/opt/morvane/morvane /home/u/x.mp4", L"FileAssoc"},
        // The program's own name in the argument does not confuse it.
        {L"\"/opt/x/player\" \"/media/Morvane.exe\" -s Tray", L"Tray"},
        {L"", L"Self"},
        {L"\"/unclosed", L"Self"},
    };
    for (const Case& c : cases) EXPECT_EQ(ParsePlaySource(c.line), c.source) << c.line;
}

TEST(OverlayLogic, VersionsCompareNumberByNumber) {
    EXPECT_GT(CompareVersions(L"0.10.0.0", L"0.9.1.8"), 0);
    EXPECT_GT(CompareVersions(L"1.0.0.10", L"0.9.1.8"), 0);
    EXPECT_LT(CompareVersions(L"0.9.1.7", L"0.9.1.8"), 0);
    EXPECT_EQ(CompareVersions(L"0.9.1.8", L"0.9.1.8"), 0);
    EXPECT_EQ(CompareVersions(L"1.0", L"1.0.0.0"), 0);
    EXPECT_GT(CompareVersions(L"1.0.0.1", L"1.0"), 0);
    EXPECT_TRUE(ShouldOfferUpdate(L"0.10.0.0", L"", L"0.9.1.8"));
    EXPECT_FALSE(ShouldOfferUpdate(L"0.10.0.0", L"0.10.0.0", L"0.9.1.8"));  // skipped
    EXPECT_FALSE(ShouldOfferUpdate(L"", L"", L"0.9.1.8"));
    EXPECT_FALSE(ShouldOfferUpdate(L"0.9.1.8", L"", L"0.9.1.8"));
    EXPECT_FALSE(ShouldOfferUpdate(L"0.8.99.99", L"", L"0.9.1.8"));
}
