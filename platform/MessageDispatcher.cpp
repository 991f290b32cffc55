#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using TimerCallback = std::function<void(HWND, UINT, UINT_PTR, DWORD)>;

struct ThreadQueue;

// A send from another thread, waiting in the owner's queue. The sender
// waits on its own queue's lock and condition, so it can handle sends
// addressed to itself while it waits.
struct SendRecord
{
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::unique_ptr<MessagePayload> payload;
    std::shared_ptr<ThreadQueue> sender;
    bool done = false;  // guarded by sender->m
    bool ok = false;
    LRESULT result = 0;
};

struct Timer
{
    HWND hwnd = 0;
    UINT_PTR id = 0;
    Clock::duration period{};
    Clock::time_point due{};
    TimerCallback proc;
};

// A thread's wake hook. Calls run under the hook's own lock, so that
// replacing the hook waits for a call in progress and the old one is never
// called afterwards (its captures may be gone by then).
struct WakeHook
{
    explicit WakeHook(std::function<void()> f) : fn(std::move(f)) {}
    std::recursive_mutex m;  // a hook may clear itself
    std::function<void()> fn;
    bool retired = false;
};

struct ThreadQueue
{
    explicit ThreadQueue(DWORD id) : threadId(id) {}
    const DWORD threadId;
    std::mutex m;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SendRecord>> sends;
    std::list<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool closed = false;  // the thread has ended
    std::shared_ptr<WakeHook> wake;
    // Touched by the owning thread only.
    std::function<void(const MSG&)> threadHook;
};

struct Window
{
    std::shared_ptr<ThreadQueue> owner;
    std::shared_ptr<const WindowProc> proc;
};

// Lock order: Dispatcher::m before any ThreadQueue::m; never two queue
// locks at once. Payloads are destroyed with no lock held, since their
// destructors may post.
struct Dispatcher
{
    std::mutex m;
    std::unordered_map<HWND, Window> windows;
    std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> queues;
    std::unordered_map<std::string, UINT> registered;
    UINT nextRegistered = WM_REGISTERED_FIRST;
    HWND nextHwnd = 0x10000;  // above HWND_BROADCAST; never reused
    std::atomic<bool> stopped{false};
    std::atomic<HWND> mainWindow{0};
    std::atomic<UINT_PTR> nextThreadTimerId{1};
    std::atomic<DWORD> nextThreadId{1};
};

Dispatcher& D()
{
    // Never destroyed: threads may still use it while statics are torn down.
    static Dispatcher* d = new Dispatcher;
    return *d;
}

DWORD MillisecondsNow()
{
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

MSG NewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::unique_ptr<MessagePayload> payload = nullptr)
{
    MSG msg;
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MillisecondsNow();
    msg.payload = std::move(payload);
    return msg;
}

void Complete(const std::shared_ptr<SendRecord>& rec, bool ok, LRESULT result)
{
    std::lock_guard lk(rec->sender->m);
    if (rec->done)
        return;
    rec->done = true;
    rec->ok = ok;
    rec->result = result;
    rec->sender->cv.notify_all();
}

void Wake(const std::shared_ptr<WakeHook>& hook)
{
    if (!hook)
        return;
    std::lock_guard lk(hook->m);
    if (!hook->retired && hook->fn)
        hook->fn();
}

void Retire(const std::shared_ptr<WakeHook>& hook)
{
    if (!hook)
        return;
    std::lock_guard lk(hook->m);
    hook->retired = true;
}

void CloseQueue(const std::shared_ptr<ThreadQueue>& q);

struct ThreadState
{
    DWORD id = 0;
    std::shared_ptr<ThreadQueue> queue;
    std::unique_ptr<MessagePayload>* currentPayload = nullptr;
    ~ThreadState()
    {
        if (queue)
            CloseQueue(queue);
    }
};

thread_local ThreadState tls;

const std::shared_ptr<ThreadQueue>& OwnQueue()
{
    if (!tls.queue) {
        auto q = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        std::lock_guard lk(D().m);
        D().queues[q->threadId] = q;
        tls.queue = std::move(q);
    }
    return tls.queue;
}

// The thread has ended: its windows go, its waiting senders are released and
// what is still queued is freed.
void CloseQueue(const std::shared_ptr<ThreadQueue>& q)
{
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SendRecord>> sends;
    std::shared_ptr<WakeHook> oldWake;
    {
        std::lock_guard dl(D().m);
        D().queues.erase(q->threadId);
        for (auto it = D().windows.begin(); it != D().windows.end();) {
            if (it->second.owner == q) {
                if (D().mainWindow.load() == it->first)
                    D().mainWindow = 0;
                it = D().windows.erase(it);
            } else {
                ++it;
            }
        }
        std::lock_guard ql(q->m);
        q->closed = true;
        posted.swap(q->posted);
        sends.swap(q->sends);
        q->timers.clear();
        oldWake = std::move(q->wake);
    }
    Retire(oldWake);
    for (auto& rec : sends)
        Complete(rec, false, 0);
    q->threadHook = nullptr;
}

std::shared_ptr<ThreadQueue> OwnerOf(HWND hwnd, std::shared_ptr<const WindowProc>* proc = nullptr)
{
    std::lock_guard lk(D().m);
    auto it = D().windows.find(hwnd);
    if (it == D().windows.end())
        return nullptr;
    if (proc)
        *proc = it->second.proc;
    return it->second.owner;
}

std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId)
{
    std::lock_guard lk(D().m);
    auto it = D().queues.find(threadId);
    return it == D().queues.end() ? nullptr : it->second.lock();
}

bool Enqueue(const std::shared_ptr<ThreadQueue>& q, MSG&& msg)
{
    std::shared_ptr<WakeHook> wake;
    {
        std::lock_guard lk(q->m);
        if (q->closed || D().stopped)
            return false;  // msg (and its payload) is freed by the caller
        q->posted.push_back(std::move(msg));
        wake = q->wake;
        q->cv.notify_all();
    }
    Wake(wake);
    return true;
}

LRESULT CallHandler(const WindowProc& proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                    std::unique_ptr<MessagePayload>& payload)
{
    struct Restore
    {
        std::unique_ptr<MessagePayload>* saved;
        ~Restore() { tls.currentPayload = saved; }
    } restore{tls.currentPayload};
    tls.currentPayload = &payload;
    return proc(hwnd, message, wParam, lParam);
}

void HandleSend(const std::shared_ptr<SendRecord>& rec)
{
    std::shared_ptr<const WindowProc> proc;
    auto owner = OwnerOf(rec->hwnd, &proc);
    if (!owner || owner.get() != tls.queue.get() || D().stopped) {
        Complete(rec, false, 0);
        return;
    }
    // A handler that throws must still release its sender.
    struct Guard
    {
        const std::shared_ptr<SendRecord>& rec;
        bool finished = false;
        ~Guard()
        {
            if (!finished)
                Complete(rec, false, 0);
        }
    } guard{rec};
    LRESULT result = CallHandler(*proc, rec->hwnd, rec->message, rec->wParam, rec->lParam, rec->payload);
    guard.finished = true;
    Complete(rec, true, result);
}

enum class Next { Message, Quit, Stopped, Timeout };

// Takes the next message of the calling thread: sends are handled on the
// way; posted messages come before quit, and timers only when nothing else
// is there. Waits until the deadline (none: for ever).
Next NextMessage(MSG* msg, std::optional<Clock::time_point> deadline, bool consumeQuit)
{
    const auto& q = OwnQueue();
    std::unique_lock lk(q->m);
    for (;;) {
        if (D().stopped)
            return Next::Stopped;
        if (!q->sends.empty()) {
            auto rec = std::move(q->sends.front());
            q->sends.pop_front();
            lk.unlock();
            HandleSend(rec);
            lk.lock();
            continue;
        }
        if (!q->posted.empty()) {
            *msg = std::move(q->posted.front());
            q->posted.pop_front();
            return Next::Message;
        }
        if (q->quit) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(q->quitCode);
            if (consumeQuit)
                q->quit = false;
            return Next::Quit;
        }
        const auto now = Clock::now();
        auto earliest = q->timers.end();
        for (auto it = q->timers.begin(); it != q->timers.end(); ++it)
            if (earliest == q->timers.end() || it->due < earliest->due)
                earliest = it;
        if (earliest != q->timers.end() && earliest->due <= now) {
            // Missed periods collapse into this one tick.
            earliest->due = now + earliest->period;
            *msg = MSG{};
            msg->hwnd = earliest->hwnd;
            msg->message = WM_TIMER;
            msg->wParam = earliest->id;
            msg->time = MillisecondsNow();
            msg->fromTimer = true;
            msg->timerProc = earliest->proc;
            return Next::Message;
        }
        auto wakeAt = deadline;
        if (earliest != q->timers.end() && (!wakeAt || earliest->due < *wakeAt))
            wakeAt = earliest->due;
        if (deadline && now >= *deadline)
            return Next::Timeout;
        if (wakeAt)
            q->cv.wait_until(lk, *wakeAt);
        else
            q->cv.wait(lk);
    }
}

bool TimerExists(HWND hwnd, UINT_PTR id)
{
    const auto& q = OwnQueue();
    std::lock_guard lk(q->m);
    return std::any_of(q->timers.begin(), q->timers.end(),
                       [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
}

// Thread messages go to the thread's hook, the rest to their window.
void Deliver(MSG& msg)
{
    if (msg.hwnd == 0 && !msg.timerProc) {
        if (msg.fromTimer && !TimerExists(0, msg.wParam))
            return;
        auto hook = tls.queue ? tls.queue->threadHook : nullptr;
        if (hook) {
            // The hook reads (or keeps) the payload as a window handler does.
            CallHandler(
                [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
                    hook(msg);
                    return 0;
                },
                0, msg.message, msg.wParam, msg.lParam, msg.payload);
        }
        msg.payload.reset();
        return;
    }
    DispatchMessage(&msg);
}

std::string FoldCase(const std::string& s)
{
    std::string r = s;
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

UINT_PTR SetTimerImpl(HWND hwnd, UINT_PTR id, UINT elapseMs, TimerCallback proc)
{
    if (D().stopped)
        return 0;
    elapseMs = std::clamp(elapseMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    std::shared_ptr<ThreadQueue> q;
    if (hwnd != 0) {
        if (id == 0)
            return 0;
        q = OwnerOf(hwnd);
        if (!q)
            return 0;
    } else {
        q = OwnQueue();
    }
    std::shared_ptr<WakeHook> wake;
    {
        std::lock_guard lk(q->m);
        if (q->closed)
            return 0;
        auto it = std::find_if(q->timers.begin(), q->timers.end(),
                               [&](const Timer& t) { return t.hwnd == hwnd && t.id == id && id != 0; });
        if (it == q->timers.end()) {
            Timer t;
            t.hwnd = hwnd;
            t.id = hwnd != 0 ? id : D().nextThreadTimerId.fetch_add(1);
            it = q->timers.insert(q->timers.end(), std::move(t));
        }
        it->period = std::chrono::milliseconds(elapseMs);
        it->due = Clock::now() + it->period;
        it->proc = std::move(proc);
        id = it->id;
        wake = q->wake;
        q->cv.notify_all();
    }
    Wake(wake);
    return id;
}

}  // namespace

DWORD GetCurrentThreadId()
{
    if (tls.id == 0)
        tls.id = D().nextThreadId.fetch_add(1);
    return tls.id;
}

HWND CreateMessageWindow(WindowProc proc)
{
    if (!proc || D().stopped)
        return 0;
    const auto& q = OwnQueue();
    std::lock_guard lk(D().m);
    HWND h = D().nextHwnd++;
    D().windows.emplace(h, Window{q, std::make_shared<const WindowProc>(std::move(proc))});
    return h;
}

HWND CreateMessageWindow(IMessageHandler& handler)
{
    return CreateMessageWindow(
        [&handler](HWND h, UINT m, WPARAM w, LPARAM l) { return handler.OnMessage(h, m, w, l); });
}

BOOL DestroyWindow(HWND hwnd)
{
    std::shared_ptr<ThreadQueue> q;
    std::deque<MSG> dropped;
    std::vector<std::shared_ptr<SendRecord>> failed;
    {
        std::lock_guard dl(D().m);
        auto it = D().windows.find(hwnd);
        if (it == D().windows.end())
            return FALSE;
        q = it->second.owner;
        D().windows.erase(it);
        HWND expected = hwnd;
        D().mainWindow.compare_exchange_strong(expected, 0);
        std::lock_guard ql(q->m);
        for (auto m = q->posted.begin(); m != q->posted.end();) {
            if (m->hwnd == hwnd) {
                dropped.push_back(std::move(*m));
                m = q->posted.erase(m);
            } else {
                ++m;
            }
        }
        for (auto s = q->sends.begin(); s != q->sends.end();) {
            if ((*s)->hwnd == hwnd) {
                failed.push_back(std::move(*s));
                s = q->sends.erase(s);
            } else {
                ++s;
            }
        }
        q->timers.remove_if([&](const Timer& t) { return t.hwnd == hwnd; });
    }
    for (auto& rec : failed)
        Complete(rec, false, 0);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    return OwnerOf(hwnd) ? TRUE : FALSE;
}

DWORD GetWindowThreadId(HWND hwnd)
{
    auto q = OwnerOf(hwnd);
    return q ? q->threadId : 0;
}

void SetMainWindow(HWND hwnd)
{
    D().mainWindow = hwnd;
}

HWND GetMainWindow()
{
    return D().mainWindow;
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::unique_ptr<MessagePayload> payload)
{
    if (D().stopped)
        return FALSE;
    if (hwnd == HWND_BROADCAST) {
        // One payload cannot be owned by several messages.
        if (payload)
            return FALSE;
        std::vector<std::pair<HWND, std::shared_ptr<ThreadQueue>>> targets;
        {
            std::lock_guard lk(D().m);
            for (auto& [h, w] : D().windows)
                targets.emplace_back(h, w.owner);
        }
        std::sort(targets.begin(), targets.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [h, q] : targets)
            Enqueue(q, NewMessage(h, message, wParam, lParam));
        return TRUE;
    }
    auto q = OwnerOf(hwnd);
    if (!q)
        return FALSE;
    return Enqueue(q, NewMessage(hwnd, message, wParam, lParam, std::move(payload))) ? TRUE : FALSE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::unique_ptr<MessagePayload> payload,
                    bool* ok)
{
    if (ok)
        *ok = false;
    if (D().stopped)
        return 0;
    std::shared_ptr<const WindowProc> proc;
    auto owner = OwnerOf(hwnd, &proc);
    if (!owner)
        return 0;
    if (owner->threadId == GetCurrentThreadId()) {
        LRESULT r = CallHandler(*proc, hwnd, message, wParam, lParam, payload);
        if (ok)
            *ok = true;
        return r;
    }

    const auto& self = OwnQueue();
    auto rec = std::make_shared<SendRecord>();
    rec->hwnd = hwnd;
    rec->message = message;
    rec->wParam = wParam;
    rec->lParam = lParam;
    rec->payload = std::move(payload);
    rec->sender = self;
    std::shared_ptr<WakeHook> wake;
    {
        // Checked under the owner's lock: a stop sweeps each queue under it,
        // so this send is either refused here or failed by the sweep.
        std::lock_guard lk(owner->m);
        if (owner->closed || D().stopped)
            return 0;
        owner->sends.push_back(rec);
        wake = owner->wake;
        owner->cv.notify_all();
    }
    Wake(wake);

    // Stopping fails the sends still queued (see StopMessageDispatcher); a
    // send whose handler already runs is waited for, since its parameters
    // may point into this caller's stack.
    std::unique_lock lk(self->m);
    while (!rec->done) {
        if (!self->sends.empty()) {
            auto incoming = std::move(self->sends.front());
            self->sends.pop_front();
            lk.unlock();
            HandleSend(incoming);
            lk.lock();
            continue;
        }
        self->cv.wait(lk);
    }
    // Whoever released the send may still hold the record; the payload goes
    // now, on the sender's side, with no lock held.
    lk.unlock();
    rec->payload.reset();
    if (ok)
        *ok = rec->ok;
    return rec->result;
}

BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam,
                       std::unique_ptr<MessagePayload> payload)
{
    if (D().stopped)
        return FALSE;
    auto q = QueueOfThread(threadId);
    if (!q)
        return FALSE;
    return Enqueue(q, NewMessage(0, message, wParam, lParam, std::move(payload))) ? TRUE : FALSE;
}

UINT RegisterWindowMessage(const std::string& name)
{
    if (name.empty())
        return 0;
    std::lock_guard lk(D().m);
    auto key = FoldCase(name);
    auto it = D().registered.find(key);
    if (it != D().registered.end())
        return it->second;
    if (D().nextRegistered > WM_REGISTERED_LAST)
        return 0;
    UINT id = D().nextRegistered++;
    D().registered.emplace(std::move(key), id);
    return id;
}

MessagePayload* CurrentMessagePayload()
{
    return tls.currentPayload ? tls.currentPayload->get() : nullptr;
}

std::unique_ptr<MessagePayload> TakeCurrentMessagePayload()
{
    return tls.currentPayload ? std::move(*tls.currentPayload) : nullptr;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    return SetTimerImpl(hwnd, id, elapseMs, proc ? TimerCallback(proc) : TimerCallback());
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, std::function<void(HWND, UINT, UINT_PTR, DWORD)> proc)
{
    return SetTimerImpl(hwnd, id, elapseMs, std::move(proc));
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::vector<std::shared_ptr<ThreadQueue>> candidates;
    if (hwnd != 0) {
        auto q = OwnerOf(hwnd);
        if (!q)
            return FALSE;
        candidates.push_back(std::move(q));
    } else {
        // Thread timer ids are unique in the process, so a thread timer can
        // be killed from any thread; the caller's own queue is looked at first.
        if (tls.queue)
            candidates.push_back(tls.queue);
        std::lock_guard lk(D().m);
        for (auto& [tid, weak] : D().queues)
            if (auto q = weak.lock(); q && q != tls.queue)
                candidates.push_back(std::move(q));
    }
    TimerCallback dropped;  // freed with no lock held
    for (auto& q : candidates) {
        std::lock_guard lk(q->m);
        auto it = std::find_if(q->timers.begin(), q->timers.end(),
                               [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
        if (it != q->timers.end()) {
            dropped = std::move(it->proc);
            q->timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

int GetMessage(MSG* msg)
{
    *msg = MSG{};  // an old payload goes here, not under the queue's lock
    switch (NextMessage(msg, std::nullopt, true)) {
    case Next::Message:
        return TRUE;
    case Next::Quit:
        return FALSE;
    default:
        return -1;
    }
}

BOOL PeekMessage(MSG* msg)
{
    *msg = MSG{};
    return NextMessage(msg, Clock::now(), true) == Next::Message ? TRUE : FALSE;
}

LRESULT DispatchMessage(MSG* msg)
{
    if (msg->fromTimer && !TimerExists(msg->hwnd, msg->wParam))
        return 0;  // killed after the tick was taken from the queue
    if (msg->timerProc) {
        auto proc = std::move(msg->timerProc);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->hwnd == 0) {
        msg->payload.reset();
        return 0;
    }
    std::shared_ptr<const WindowProc> proc;
    auto owner = OwnerOf(msg->hwnd, &proc);
    if (!owner) {
        msg->payload.reset();
        return 0;
    }
    LRESULT r = CallHandler(*proc, msg->hwnd, msg->message, msg->wParam, msg->lParam, msg->payload);
    msg->payload.reset();
    return r;
}

void PostQuitMessage(int exitCode)
{
    const auto& q = OwnQueue();
    std::shared_ptr<WakeHook> wake;
    {
        std::lock_guard lk(q->m);
        q->quit = true;
        q->quitCode = exitCode;
        wake = q->wake;
        q->cv.notify_all();
    }
    Wake(wake);
}

void SetThreadMessageHook(std::function<void(const MSG&)> hook)
{
    OwnQueue()->threadHook = std::move(hook);
}

int RunMessageLoop()
{
    for (;;) {
        MSG msg;
        switch (NextMessage(&msg, std::nullopt, true)) {
        case Next::Message:
            Deliver(msg);
            break;
        case Next::Quit:
            return static_cast<int>(msg.wParam);
        default:
            return -1;
        }
    }
}

bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    // A condition set by another thread without a message to this one is
    // noticed at the next slice.
    constexpr auto slice = std::chrono::milliseconds(10);
    while (!pred()) {
        const auto now = Clock::now();
        if (now >= deadline)
            return pred();
        MSG msg;
        switch (NextMessage(&msg, std::min(deadline, now + slice), false)) {
        case Next::Message:
            Deliver(msg);
            break;
        case Next::Timeout:
            break;
        default:
            return pred();
        }
    }
    return true;
}

PendingResult ProcessPending()
{
    const auto& q = OwnQueue();
    PendingResult result;
    size_t budget;
    {
        std::lock_guard lk(q->m);
        // What is there now, plus one tick of each timer: messages posted by
        // the handlers themselves wait for the next call, so an outside loop
        // always gets control back.
        budget = q->posted.size() + q->timers.size() + 1;
    }
    while (budget-- > 0) {
        MSG msg;
        auto next = NextMessage(&msg, Clock::now(), true);
        if (next == Next::Message) {
            Deliver(msg);
            continue;
        }
        if (next == Next::Quit) {
            result.quit = true;
            result.exitCode = static_cast<int>(msg.wParam);
        }
        break;
    }
    std::shared_ptr<WakeHook> wake;
    {
        std::lock_guard lk(q->m);
        for (auto& t : q->timers)
            if (!result.nextTimer || t.due < *result.nextTimer)
                result.nextTimer = t.due;
        if (!q->posted.empty() || !q->sends.empty() || q->quit)
            wake = q->wake;
    }
    Wake(wake);
    return result;
}

void SetWakeHook(std::function<void()> hook)
{
    const auto& q = OwnQueue();
    auto fresh = hook ? std::make_shared<WakeHook>(std::move(hook)) : nullptr;
    std::shared_ptr<WakeHook> old;
    {
        std::lock_guard lk(q->m);
        old = std::exchange(q->wake, std::move(fresh));
    }
    // Waits for a call of the old hook in progress on another thread.
    Retire(old);
}

void StopMessageDispatcher()
{
    std::vector<std::shared_ptr<ThreadQueue>> queues;
    {
        std::lock_guard lk(D().m);
        D().stopped = true;
        for (auto& [id, weak] : D().queues)
            if (auto q = weak.lock())
                queues.push_back(std::move(q));
    }
    for (auto& q : queues) {
        std::deque<MSG> dropped;
        std::deque<std::shared_ptr<SendRecord>> failed;
        std::shared_ptr<WakeHook> wake;
        {
            std::lock_guard lk(q->m);
            dropped.swap(q->posted);
            failed.swap(q->sends);
            wake = q->wake;
            q->cv.notify_all();
        }
        for (auto& rec : failed)
            Complete(rec, false, 0);
        Wake(wake);
    }
}

void RestartMessageDispatcher()
{
    D().stopped = false;
}

bool IsMessageDispatcherStopped()
{
    return D().stopped;
}
