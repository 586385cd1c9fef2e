// The auto-hide pollers: their state machines against a clock and a cursor the test drives,
// and the threads ending through their flag, joined, also while one waits for the UI thread.
#include "player/main_window/auto_hide.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/windows/winuser.h"
#include "support/wait_for.h"

namespace {

struct Action {
    long at;
    std::string what;
};

// Virtual time: every wait advances it; the cursor is a function of it.
class TestClock : public IPollClock {
public:
    bool Wait(int ms) override {
        now += ms;
        return now < stopAt;
    }
    long now = 0;
    long stopAt = 1L << 30;
};

class TestBar : public IAutoHideHost {
public:
    explicit TestBar(TestClock& clock) : clock_(clock) {}
    bool HasMedia() override { return media; }
    POINT CursorPos() override { return cursor(clock_.now); }
    RECT OwnerRect() override { return RECT{0, 0, 800, 600}; }
    bool IsBarVisible() override { return visible; }
    void ShowBarPlain() override {
        visible = true;
        Log("plain");
    }
    void SlideBar(bool in) override {
        visible = in;
        clock_.now += CAutoHidePoller::kSlideMs;
        Log(in ? "in" : "out");
    }
    void RepaintBar() override { ++repaints; }
    bool TakeShowPlain() override { return std::exchange(showPlain, false); }
    bool SeekDragActive() override { return seekDrag; }
    bool HoldSet() override { return hold; }
    bool TakeHold() override { return std::exchange(hold, false); }

    void Log(const char* what) { actions.push_back({clock_.now, what}); }
    std::vector<std::string> Whats() const {
        std::vector<std::string> out;
        for (auto& a : actions) out.push_back(a.what);
        return out;
    }

    bool media = true, visible = true, showPlain = false, seekDrag = false, hold = false;
    int repaints = 0;
    std::function<POINT(long)> cursor = [](long) { return POINT{400, 300}; };
    std::vector<Action> actions;

private:
    TestClock& clock_;
};

void RunUntil(CAutoHidePoller& p, TestClock& clock, long until) {
    while (clock.now < until && p.Step()) {
    }
}

}  // namespace

TEST(AutoHide, PanelHidesAfterASecondAndReturnsToTheBottomBand) {
    TestClock clock;
    TestBar bar(clock);
    // The cursor rests in the middle until 3 s, then sits in the bottom 80 pixels.
    bar.cursor = [](long t) { return t < 3000 ? POINT{400, 300} : POINT{400, 560}; };
    CAutoHidePoller p(BarKind::Panel, bar, clock);
    RunUntil(p, clock, 3000);
    ASSERT_FALSE(bar.actions.empty());
    EXPECT_EQ(bar.actions[0].what, "out");
    EXPECT_EQ(bar.actions[0].at, 1000 + CAutoHidePoller::kSlideMs);
    EXPECT_TRUE(p.hidden());
    EXPECT_FALSE(bar.visible);
    RunUntil(p, clock, 3400);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out", "in"}));
    // Back within one poll period of the cursor's arrival.
    EXPECT_LE(bar.actions[1].at, 3000 + CAutoHidePoller::kPollMs + CAutoHidePoller::kSlideMs);
    EXPECT_GE(bar.repaints, 1);
    // While the cursor stays in the band the panel stays.
    RunUntil(p, clock, 8000);
    EXPECT_EQ(bar.Whats().size(), 2u);
}

TEST(AutoHide, PanelStaysWhileSeekingAndWithoutMedia) {
    TestClock clock;
    TestBar bar(clock);
    bar.seekDrag = true;
    CAutoHidePoller p(BarKind::Panel, bar, clock);
    RunUntil(p, clock, 10000);
    EXPECT_TRUE(bar.actions.empty());
    bar.seekDrag = false;
    RunUntil(p, clock, 12000);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out"}));
    // Media closed: shown at once, without animation, and repainted.
    bar.media = false;
    RunUntil(p, clock, 12500);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out", "plain"}));
    EXPECT_FALSE(p.hidden());
    EXPECT_EQ(bar.repaints, 1);
}

TEST(AutoHide, ShowingAfterAResizeIsPlain) {
    TestClock clock;
    TestBar bar(clock);
    bar.cursor = [](long t) { return t < 2000 ? POINT{400, 300} : POINT{400, 590}; };
    CAutoHidePoller p(BarKind::Panel, bar, clock);
    RunUntil(p, clock, 1900);
    bar.showPlain = true;  // the window was resized while the panel was away
    RunUntil(p, clock, 2500);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out", "plain"}));
    EXPECT_FALSE(bar.showPlain);
}

TEST(AutoHide, CaptionUsesTheTopBandAndHoldsAfterMaximise) {
    TestClock clock;
    TestBar bar(clock);
    bar.cursor = [](long t) { return t >= 2000 && t < 2600 ? POINT{10, 20} : POINT{400, 300}; };
    CAutoHidePoller p(BarKind::Caption, bar, clock);
    RunUntil(p, clock, 2000);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out"}));
    RunUntil(p, clock, 2400);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out", "in"}));
    RunUntil(p, clock, 5000);
    EXPECT_EQ(bar.Whats(), (std::vector<std::string>{"out", "in", "out"}));

    // A maximise sets the hold: the caption is kept for ten passes, then slides away.
    bar.actions.clear();
    bar.hold = true;
    long from = clock.now;
    RunUntil(p, clock, from + 8000);
    std::vector<std::string> w = bar.Whats();
    ASSERT_GE(w.size(), 11u);
    for (int i = 0; i < CAutoHidePoller::kHoldPasses; ++i) EXPECT_EQ(w[i], "in") << i;
    EXPECT_EQ(w[CAutoHidePoller::kHoldPasses], "out");
    EXPECT_FALSE(bar.hold);
    long heldFor = bar.actions[CAutoHidePoller::kHoldPasses].at - from;
    EXPECT_GE(heldFor, 4000);
    EXPECT_LE(heldFor, 6000);
}

TEST(AutoHide, StepReportsTheStop) {
    TestClock clock;
    TestBar bar(clock);
    clock.stopAt = 500;
    CAutoHidePoller p(BarKind::Panel, bar, clock);
    EXPECT_FALSE(p.Step());  // the hide delay's wait ends with the stop
    EXPECT_TRUE(bar.actions.empty());
}

namespace {

// A bar whose every call is a message sent to a window of the test's thread, as the real bars'
// repaints are.
class SendingBar : public IAutoHideHost {
public:
    explicit SendingBar(HWND target) : target_(target) {}
    bool HasMedia() override { return false; }
    POINT CursorPos() override { return POINT{0, 0}; }
    RECT OwnerRect() override { return RECT{0, 0, 100, 100}; }
    bool IsBarVisible() override { return false; }  // so every pass shows and repaints
    void ShowBarPlain() override {}
    void SlideBar(bool) override {}
    void RepaintBar() override {
        SendMessageW(target_, WM_USER + 0x1000, 0, 0);
        ++sent;
    }
    bool TakeShowPlain() override { return false; }
    std::atomic<int> sent{0};

private:
    HWND target_;
};

std::atomic<int> g_answered{0};
LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER + 0x1000) {
        ++g_answered;
        return 1;
    }
    return DefWindowProcW(h, m, w, l);
}

}  // namespace

TEST(AutoHide, ThreadsStopThroughTheFlagAndAreJoinedWhileSendingToTheUiThread) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = L"AutoHideTestTarget";
    RegisterClassExW(&wc);
    HWND target = CreateWindowExW(0, L"AutoHideTestTarget", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    SendingBar panel(target), caption(target);
    {
        CAutoHideThreads threads;
        threads.Start(panel, caption);
        EXPECT_TRUE(threads.running());
        // Both pollers are now blocked in sends that only this thread can answer.
        ASSERT_TRUE(testsupport::WaitFor([&] {
            PumpSentMessages();
            return panel.sent >= 2 && caption.sent >= 2;
        }));
        threads.Stop(PumpSentMessages);
        EXPECT_FALSE(threads.running());
        int after = panel.sent + caption.sent;
        // Joined: nothing runs any more.
        for (int i = 0; i < 20; ++i) PumpSentMessages();
        EXPECT_EQ(panel.sent + caption.sent, after);
        threads.Stop();  // a second stop is harmless
    }
    DestroyWindow(target);
    EXPECT_GT(g_answered.load(), 0);
}
