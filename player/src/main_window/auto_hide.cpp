#include "player/main_window/auto_hide.h"

#include <pthread.h>

#include <chrono>

#include "platform/windows/winuser.h"
#include "player/main_window/overlay_logic.h"

bool CAutoHidePoller::InBand(POINT pt, const RECT& rc) const {
    return kind_ == BarKind::Panel ? overlay::InBottomBand(pt, rc) : overlay::InTopBand(pt, rc);
}

bool CAutoHidePoller::Step() {
    POINT pt = host_.CursorPos();
    const RECT rc = host_.OwnerRect();
    if (!host_.HasMedia()) {
        hidden_ = false;
        if (!host_.IsBarVisible()) {
            host_.ShowBarPlain();
            host_.RepaintBar();
        }
        return clock_.Wait(kPollMs);
    }
    if (!hidden_) {
        if (!clock_.Wait(kHideDelayMs)) return false;
        hidden_ = true;
        pt = host_.CursorPos();  // the rectangle of this pass stays
        if (InBand(pt, rc) || (kind_ == BarKind::Panel && host_.SeekDragActive())) {
            hidden_ = false;
            return true;
        }
        // After a maximise or a full-screen change the caption stays a while (hidden state below).
        if (kind_ == BarKind::Caption && host_.HoldSet()) return clock_.Wait(kPollMs);
        host_.SlideBar(false);
        return clock_.Wait(kPollMs);
    }
    if (InBand(pt, rc)) {
        hidden_ = false;
        if (host_.TakeShowPlain())
            host_.ShowBarPlain();
        else
            host_.SlideBar(true);
        host_.RepaintBar();
        return clock_.Wait(kPollMs);
    }
    if (kind_ == BarKind::Caption) {
        for (int i = 0; i < kHoldPasses && host_.HoldSet(); ++i) {
            host_.SlideBar(true);
            host_.RepaintBar();
            if (!clock_.Wait(kPollMs)) return false;
        }
        if (host_.TakeHold()) host_.SlideBar(false);
    }
    return clock_.Wait(kPollMs);
}

bool CAutoHideThreads::Clock::Wait(int ms) {
    std::unique_lock lk(mutex_);
    wake_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return !owner_.run_.load(); });
    return owner_.run_.load();
}

void CAutoHideThreads::Clock::Wake() {
    std::lock_guard lk(mutex_);
    wake_.notify_all();
}

CAutoHideThreads::~CAutoHideThreads() { Stop(); }

void CAutoHideThreads::Start(IAutoHideHost& panel, IAutoHideHost& caption) {
    Stop();
    run_ = true;
    alive_ = 2;
    auto body = [this](BarKind kind, IAutoHideHost* host, Clock* clock) {
        pthread_setname_np(pthread_self(), kind == BarKind::Panel ? "mv-panel-hide" : "mv-caption-hide");
        CAutoHidePoller poller(kind, *host, *clock);
        poller.Run();
        std::lock_guard lk(mutex_);
        --alive_;
        ended_.notify_all();
    };
    panel_ = std::thread(body, BarKind::Panel, &panel, &panelClock_);
    caption_ = std::thread(body, BarKind::Caption, &caption, &captionClock_);
}

void CAutoHideThreads::Stop(const std::function<void()>& pump) {
    run_ = false;
    panelClock_.Wake();
    captionClock_.Wake();
    if (pump) {
        std::unique_lock lk(mutex_);
        while (alive_ > 0) {
            lk.unlock();
            pump();
            lk.lock();
            ended_.wait_for(lk, std::chrono::milliseconds(5), [this] { return alive_ == 0; });
        }
    }
    if (panel_.joinable()) panel_.join();
    if (caption_.joinable()) caption_.join();
}

void PumpSentMessages() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
}
