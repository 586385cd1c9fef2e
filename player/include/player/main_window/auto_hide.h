// The two pollers that slide the play panel and the caption bar out of the way while media is
// open and bring them back when the cursor comes near the window's bottom or top edge. Each runs
// on a thread of its own; they stop through one flag, are woken from their waits and joined.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/base/wintypes.h"

// What a poller sees of its bar and of the main window. The window calls of an implementation
// run on the UI thread (the window layer hands them over and waits).
class IAutoHideHost {
public:
    virtual ~IAutoHideHost() = default;
    virtual bool HasMedia() = 0;
    virtual POINT CursorPos() = 0;
    virtual RECT OwnerRect() = 0;
    virtual bool IsBarVisible() = 0;
    virtual void ShowBarPlain() = 0;
    // Slides the bar into (true) or out of view, over kSlideMs.
    virtual void SlideBar(bool intoView) = 0;
    virtual void RepaintBar() = 0;
    // Reads and clears the main window's "show the next time without animation" flag of this bar.
    virtual bool TakeShowPlain() = 0;
    // The play panel's seek slider is being dragged (the panel only).
    virtual bool SeekDragActive() { return false; }
    // The caption's hold flag (the caption only): read, and exchanged with 0.
    virtual bool HoldSet() { return false; }
    virtual bool TakeHold() { return false; }
};

// Waits of a poller; false when the pollers are stopping (the wait then ends at once).
class IPollClock {
public:
    virtual ~IPollClock() = default;
    virtual bool Wait(int ms) = 0;
};

enum class BarKind { Panel, Caption };

class CAutoHidePoller {
public:
    static constexpr int kPollMs = 200;
    static constexpr int kHideDelayMs = 1000;
    static constexpr int kSlideMs = 200;
    static constexpr int kHoldPasses = 10;

    CAutoHidePoller(BarKind kind, IAutoHideHost& host, IPollClock& clock) : kind_(kind), host_(host), clock_(clock) {}
    // One pass of the loop; false once the clock reports the stop.
    bool Step();
    void Run() {
        while (Step()) {
        }
    }
    bool hidden() const { return hidden_; }

private:
    bool InBand(POINT pt, const RECT& rc) const;

    BarKind kind_;
    IAutoHideHost& host_;
    IPollClock& clock_;
    bool hidden_ = false;
};

// Both pollers' threads and the flag that ends them.
class CAutoHideThreads {
public:
    CAutoHideThreads() = default;
    ~CAutoHideThreads();
    CAutoHideThreads(const CAutoHideThreads&) = delete;
    CAutoHideThreads& operator=(const CAutoHideThreads&) = delete;

    void Start(IAutoHideHost& panel, IAutoHideHost& caption);
    bool running() const { return run_.load(); }
    // Clears the flag, wakes the waits and joins both threads. A poller may be inside a window
    // call that the UI thread must answer: when Stop runs on the UI thread, `pump` is called
    // while waiting so that those calls are answered (for the window layer: PeekMessageW with
    // PM_NOREMOVE).
    void Stop(const std::function<void()>& pump = {});

private:
    // One for each poller: the two wake at the same moments, and a shared lock would make each
    // wake-up two.
    class Clock : public IPollClock {
    public:
        explicit Clock(CAutoHideThreads& owner) : owner_(owner) {}
        bool Wait(int ms) override;
        void Wake();

    private:
        CAutoHideThreads& owner_;
        std::mutex mutex_;
        std::condition_variable wake_;
    };

    std::atomic<bool> run_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    int alive_ = 0;
    Clock panelClock_{*this}, captionClock_{*this};
    std::thread panel_, caption_;
};

// The pump for Stop on the UI thread: answers window calls sent to this thread.
void PumpSentMessages();
