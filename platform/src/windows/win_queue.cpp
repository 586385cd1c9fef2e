// Thread queues: posted and sent messages, timers, the message loop and the modal loop.
// Each thread that owns windows pumps a GLib main context (the UI thread the default one); a
// small GLib source wakes it for work that other threads hand over.
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "win_internal.h"

namespace platform::win {
namespace {

std::mutex g_mutex;
bool g_defaultClaimed = false;
thread_local std::shared_ptr<ThreadQueue> t_queue;

bool SourceReady(ThreadQueue& q) {
    std::lock_guard lk(g_mutex);
    if (q.suspended) return false;
    return !q.sent.empty() || (q.pumping == 0 && !q.posted.empty());
}

struct QueueSource {
    GSource base;
    ThreadQueue* q;
};

gboolean SourcePrepare(GSource* s, gint* timeout) {
    *timeout = -1;
    return SourceReady(*reinterpret_cast<QueueSource*>(s)->q);
}
gboolean SourceCheck(GSource* s) { return SourceReady(*reinterpret_cast<QueueSource*>(s)->q); }

void ProcessSent(ThreadQueue& q);
bool TakeMessage(ThreadQueue& q, MSG* out, HWND filter, UINT min, UINT max, bool remove, bool allowQuit);

// Work for this thread found while nobody pumps our queue (a GTK dialog's own loop, say):
// sent messages run, and posted ones are dispatched as a message loop would.
gboolean SourceDispatch(GSource* s, GSourceFunc, gpointer) {
    ThreadQueue& q = *reinterpret_cast<QueueSource*>(s)->q;
    ProcessSent(q);
    for (int i = 0; i < 64; ++i) {
        {
            std::lock_guard lk(g_mutex);
            if (q.pumping || q.suspended) break;
        }
        MSG msg;
        if (!TakeMessage(q, &msg, nullptr, 0, 0, true, false)) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs g_sourceFuncs = {SourcePrepare, SourceCheck, SourceDispatch, nullptr, nullptr, nullptr};

void AttachContext(ThreadQueue& q) {
    if (q.ctx) return;
    {
        std::lock_guard lk(g_mutex);
        if (!g_defaultClaimed) {
            g_defaultClaimed = true;
            q.ctx = g_main_context_ref(g_main_context_default());
        }
    }
    if (!q.ctx) {
        q.ctx = g_main_context_new();
        g_main_context_push_thread_default(q.ctx);
    }
    GSource* s = g_source_new(&g_sourceFuncs, sizeof(QueueSource));
    reinterpret_cast<QueueSource*>(s)->q = &q;
    g_source_set_can_recurse(s, TRUE);
    g_source_attach(s, q.ctx);
    q.source = s;
}

void ProcessSent(ThreadQueue& q) {
    for (;;) {
        std::shared_ptr<Sent> s;
        {
            std::lock_guard lk(g_mutex);
            if (q.sent.empty()) return;
            s = q.sent.front();
            q.sent.pop_front();
        }
        LRESULT r = 0;
        if (s->call)
            r = s->call();
        else if (Find(s->target))
            r = CallProc(s->target, s->msg, s->wParam, s->lParam);
        {
            std::lock_guard lk(g_mutex);
            s->result = r;
            s->done = true;
        }
        if (s->sender) s->sender->cv.notify_all();
    }
}

bool Matches(const MSG& m, HWND filter, UINT min, UINT max) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (filter && m.hwnd != filter) {
        return false;
    }
    if (min == 0 && max == 0) return true;
    return m.message >= min && m.message <= max;
}

// A visible window without a GTK backing that needs painting gets WM_PAINT once the queue is
// empty, as on Windows; windows with a backing are painted by GTK.
bool TakePaintLocked(ThreadQueue& q, MSG* out, HWND filter) {
    for (HWND h : ThreadWindowsLocked(q.tid)) {
        WindowPtr w = FindLocked(h);
        if (!w || !w->invalid || w->backing || w->destroying) continue;
        if (filter && filter != reinterpret_cast<HWND>(-1) && filter != h) continue;
        bool shown = true;
        for (WindowPtr a = w; a && shown; a = a->parent ? FindLocked(a->parent) : nullptr)
            shown = a->visible && !a->minimized;
        if (!shown) continue;
        *out = MSG{h, WM_PAINT, 0, 0, Now(), {}};
        return true;
    }
    return false;
}

bool TakeMessage(ThreadQueue& q, MSG* out, HWND filter, UINT min, UINT max, bool remove, bool allowQuit) {
    std::lock_guard lk(g_mutex);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!Matches(*it, filter, min, max)) continue;
        *out = *it;
        if (remove) {
            if (it->message == WM_TIMER) {
                for (Timer& t : q.timers)
                    if (t.hwnd == it->hwnd && t.id == it->wParam) t.pending = false;
            }
            q.posted.erase(it);
            KeyMessageTakenLocked(q, *out);
        }
        return true;
    }
    if (allowQuit && q.quit) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, Now(), {}};
        if (remove) q.quit = false;
        return true;
    }
    if ((min == 0 && max == 0) || (WM_PAINT >= min && WM_PAINT <= max)) return TakePaintLocked(q, out, filter);
    return false;
}

struct TimerTag {
    std::weak_ptr<ThreadQueue> q;
    GSource* source;
};

gboolean TimerFired(gpointer data) {
    auto* tag = static_cast<TimerTag*>(data);
    auto q = tag->q.lock();
    if (!q) return G_SOURCE_REMOVE;
    bool posted = false;
    {
        std::lock_guard lk(g_mutex);
        for (Timer& t : q->timers) {
            if (t.source != tag->source || t.pending) continue;
            t.pending = true;
            q->posted.push_back(MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), Now(), {}});
            posted = true;
        }
    }
    if (posted) Wake(*q);
    return G_SOURCE_CONTINUE;
}

void DropTimerLocked(ThreadQueue& q, std::vector<Timer>::iterator it) {
    g_source_destroy(it->source);
    g_source_unref(it->source);
    HWND h = it->hwnd;
    UINT_PTR id = it->id;
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(),
                                  [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == h && m.wParam == id; }),
                   q.posted.end());
    q.timers.erase(it);
}

}  // namespace

std::mutex& Mutex() { return g_mutex; }

DWORD Now() { return static_cast<DWORD>(g_get_monotonic_time() / 1000); }

void Wake(ThreadQueue& q) {
    q.cv.notify_all();
    if (q.ctx) g_main_context_wakeup(q.ctx);
}

std::shared_ptr<ThreadQueue> CurrentQueue(bool withContext) {
    if (!t_queue) {
        t_queue = std::make_shared<ThreadQueue>();
        t_queue->tid = GetCurrentThreadId();
    }
    if (withContext) AttachContext(*t_queue);
    return t_queue;
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard lk(g_mutex);
        WindowPtr w = FindLocked(hwnd);
        if (!w) return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

static LRESULT SendAcross(const std::shared_ptr<ThreadQueue>& target, std::shared_ptr<Sent> s) {
    auto me = CurrentQueue(false);
    s->sender = me;
    {
        std::lock_guard lk(g_mutex);
        WindowPtr w = FindLocked(s->target);
        if (!w || w->destroying) return 0;
        target->sent.push_back(s);
    }
    Wake(*target);
    for (;;) {
        // While waiting, this thread still answers what is sent to it, so two threads that
        // send to each other never deadlock.
        ProcessSent(*me);
        std::unique_lock lk(g_mutex);
        if (s->done) return s->result;
        if (!me->sent.empty()) continue;
        me->cv.wait(lk);
    }
}

LRESULT RunOnWindowThread(const WindowPtr& w, std::function<LRESULT()> f) {
    auto s = std::make_shared<Sent>();
    s->target = w->hwnd;
    s->call = std::move(f);
    return SendAcross(w->queue, s);
}

void RunOnWindowThreadLater(const WindowPtr& w, std::function<LRESULT()> f) {
    auto s = std::make_shared<Sent>();
    s->target = w->hwnd;
    s->call = std::move(f);
    {
        std::lock_guard lk(g_mutex);
        if (w->destroying) return;
        w->queue->sent.push_back(s);
    }
    Wake(*w->queue);
}

bool Elsewhere(HWND hwnd, const std::function<LRESULT()>& f, LRESULT* result) {
    WindowPtr w = Find(hwnd);
    if (!w || w->queue->tid == GetCurrentThreadId()) return false;
    *result = RunOnWindowThread(w, f);
    return true;
}

void Post(const std::shared_ptr<ThreadQueue>& q, const MSG& msg, bool coalesceMove) {
    {
        std::lock_guard lk(g_mutex);
        if (coalesceMove && !q->posted.empty()) {
            MSG& last = q->posted.back();
            if (last.message == msg.message && last.hwnd == msg.hwnd) {
                last = msg;
                return;
            }
        }
        q->posted.push_back(msg);
    }
    Wake(*q);
}

void KillWindowTimersLocked(ThreadQueue& q, HWND hwnd) {
    for (auto it = q.timers.begin(); it != q.timers.end();) {
        if (it->hwnd == hwnd) {
            size_t at = static_cast<size_t>(it - q.timers.begin());
            DropTimerLocked(q, it);
            it = q.timers.begin() + static_cast<std::ptrdiff_t>(at);
        } else {
            ++it;
        }
    }
}

void ForgetWindowLocked(ThreadQueue& q, HWND hwnd) {
    KillWindowTimersLocked(q, hwnd);
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                   q.posted.end());
    // Senders waiting on the window get 0 at once.
    for (auto it = q.sent.begin(); it != q.sent.end();) {
        if ((*it)->target == hwnd) {
            (*it)->done = true;
            (*it)->result = 0;
            if ((*it)->sender) (*it)->sender->cv.notify_all();
            it = q.sent.erase(it);
        } else {
            ++it;
        }
    }
    q.chars.erase(std::remove_if(q.chars.begin(), q.chars.end(), [&](const PendingChar& c) { return c.hwnd == hwnd; }),
                  q.chars.end());
}

}  // namespace platform::win

using namespace platform::win;

// Kept per thread: the layer asks for it in every window call, and gettid is a system call.
DWORD GetCurrentThreadId() {
    thread_local const auto id = static_cast<DWORD>(::syscall(SYS_gettid));
    return id;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) {
        Post(CurrentQueue(true), MSG{nullptr, msg, wParam, lParam, Now(), {}});
        return TRUE;
    }
    if (!IsOwn(hwnd)) {
        // Pointers mean nothing in another process, and a post has no time to copy what they show.
        if (platform::station::CarriesPointers(msg)) {
            SetLastError(ERROR_MESSAGE_SYNC_ONLY);
            return FALSE;
        }
        if (station_link::PostRemote(hwnd, msg, wParam, lParam)) return TRUE;
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    WindowPtr w = Find(hwnd);
    if (!w || w->destroyed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Post(w->queue, MSG{hwnd, msg, wParam, lParam, Now(), LastCursor()});
    return TRUE;
}

// A receiver in another process that does not answer within this time gives the sender 0.
static constexpr DWORD kRemoteSendTimeoutMs = 10000;

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return 0;
    if (!IsOwn(hwnd)) {
        LRESULT r = 0;
        if (msg == WM_COPYDATA) {
            auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!cds || !station_link::SendCopyData(hwnd, reinterpret_cast<HWND>(wParam), *cds, kRemoteSendTimeoutMs, &r))
                return 0;
            return r;
        }
        if (msg == WM_SETTEXT) {
            const std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            return station_link::SendSetText(hwnd, wParam, text, kRemoteSendTimeoutMs, &r) ? r : 0;
        }
        if (platform::station::CarriesPointers(msg)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        // Other messages cross as numbers and without an answer.
        station_link::PostRemote(hwnd, msg, wParam, lParam);
        return 0;
    }
    WindowPtr w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->queue->tid == GetCurrentThreadId()) return CallProc(hwnd, msg, wParam, lParam);
    auto s = std::make_shared<Sent>();
    s->target = hwnd;
    s->msg = msg;
    s->wParam = wParam;
    s->lParam = lParam;
    return SendAcross(w->queue, s);
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageW(hwnd, msg, wParam, lParam); }

void PostQuitMessage(int exitCode) {
    auto q = CurrentQueue(true);
    {
        std::lock_guard lk(Mutex());
        q->quit = true;
        q->quitCode = exitCode;
    }
    Wake(*q);
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    auto q = CurrentQueue(true);
    {
        std::lock_guard lk(Mutex());
        ++q->pumping;
    }
    for (;;) {
        ProcessSent(*q);
        if (TakeMessage(*q, msg, hwnd, filterMin, filterMax, true, true)) break;
        g_main_context_iteration(q->ctx, TRUE);
    }
    {
        std::lock_guard lk(Mutex());
        --q->pumping;
    }
    return msg->message != WM_QUIT;
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    auto q = CurrentQueue(true);
    {
        std::lock_guard lk(Mutex());
        ++q->pumping;
    }
    ProcessSent(*q);
    g_main_context_iteration(q->ctx, FALSE);
    ProcessSent(*q);
    bool found = TakeMessage(*q, msg, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0, true);
    {
        std::lock_guard lk(Mutex());
        --q->pumping;
    }
    return found;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    auto q = CurrentQueue(true);
    std::unique_lock lk(Mutex());
    for (auto it = q->chars.begin(); it != q->chars.end(); ++it) {
        if (it->hwnd != msg->hwnd || it->vk != msg->wParam || it->lParam != msg->lParam || it->time != msg->time)
            continue;
        MSG ch{msg->hwnd, static_cast<UINT>(it->sys ? WM_SYSCHAR : WM_CHAR), static_cast<WPARAM>(it->ch), msg->lParam,
               msg->time, msg->pt};
        q->chars.erase(it);
        // The character is the next message read, as on Windows.
        q->posted.push_front(ch);
        lk.unlock();
        Wake(*q);
        return TRUE;
    }
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, Now());
        return 0;
    }
    if (!msg->hwnd) return 0;
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    std::shared_ptr<ThreadQueue> q;
    if (hwnd) {
        WindowPtr w = Find(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q = w->queue;
    } else {
        q = CurrentQueue(true);
    }
    elapseMs = std::clamp<UINT>(elapseMs, 10u, 0x7FFFFFFFu);
    std::lock_guard lk(Mutex());
    if (!q->ctx) return 0;
    if (!hwnd) {
        // Thread timers get a fresh id unless an existing one is named.
        bool known = false;
        for (const Timer& t : q->timers) known = known || (!t.hwnd && t.id == id);
        if (!known) {
            UINT_PTR next = 1;
            for (const Timer& t : q->timers)
                if (!t.hwnd) next = std::max(next, t.id + 1);
            id = next;
        }
    }
    for (auto it = q->timers.begin(); it != q->timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id) {
            DropTimerLocked(*q, it);
            break;
        }
    }
    Timer t;
    t.hwnd = hwnd;
    t.id = id;
    t.proc = proc;
    t.source = g_timeout_source_new(elapseMs);
    auto* tag = new TimerTag{q, t.source};
    g_source_set_callback(t.source, TimerFired, tag, [](gpointer p) { delete static_cast<TimerTag*>(p); });
    g_source_attach(t.source, q->ctx);
    q->timers.push_back(t);
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<ThreadQueue> q;
    if (hwnd) {
        WindowPtr w = Find(hwnd);
        if (!w) return FALSE;
        q = w->queue;
    } else {
        q = CurrentQueue(false);
    }
    std::lock_guard lk(Mutex());
    for (auto it = q->timers.begin(); it != q->timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id) {
            DropTimerLocked(*q, it);
            return TRUE;
        }
    }
    return FALSE;
}

namespace platform {

UINT_PTR RunModalLoop(HWND hwnd) {
    WindowPtr w = Find(hwnd);
    if (!w) return 0;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    {
        std::lock_guard lk(Mutex());
        w->inModal = true;
        w->modalEnded = false;
        w->modalResult = 0;
    }
    UINT_PTR result = 0;
    for (;;) {
        {
            std::lock_guard lk(Mutex());
            if (w->modalEnded) {
                result = w->modalResult;
                break;
            }
            if (w->destroyed) break;
        }
        MSG msg;
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    {
        std::lock_guard lk(Mutex());
        w->inModal = false;
    }
    // The owner comes back before the dialog goes, so activation returns to it.
    if (reenable && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
        if (IsWindowVisible(owner) && GetActiveWindow() == hwnd) SetActiveWindow(owner);
    }
    return result;
}

void EndModalLoop(HWND hwnd, UINT_PTR result) {
    WindowPtr w = Find(hwnd);
    if (!w) return;
    {
        std::lock_guard lk(Mutex());
        w->modalEnded = true;
        w->modalResult = result;
    }
    Post(w->queue, MSG{nullptr, WM_NULL, 0, 0, Now(), {}});
}

}  // namespace platform
