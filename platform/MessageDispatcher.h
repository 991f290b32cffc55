// Window handles, message queues and timers.
//
// Every thread that creates a window, sets a timer or runs a loop gets a
// queue of its own. Posted messages are delivered in order on the thread
// that owns the target window; a send from the owning thread is a direct
// call, a send from any other thread waits until the owner has handled it and
// is released with a failure when the window goes away or the dispatcher
// stops, so no worker waits for ever. A thread that waits in a send still
// handles sends addressed to itself, so two threads sending to each other do
// not lock up.
//
// Threads run their queue either with the plain loop (GetMessage /
// DispatchMessage, RunMessageLoop, PumpUntil) or from an outside event loop:
// the wake hook tells that loop (from any thread) that work is due, and
// ProcessPending delivers it and says when the next timer falls due.
//
// Driving it from an outside event loop, on the thread that owns the main
// frame:
//   SetWakeHook(f)        f (called from any thread, must not block) asks the
//                         loop, thread-safely, to call ProcessPending soon;
//   ProcessPending()      delivers what is due; arm a single-shot loop timer
//                         for result.nextTimer, and end the loop on
//                         result.quit;
//   StopMessageDispatcher at program end, so that no worker stays blocked
//                         in a send to the frame.
#pragma once

#include "platform/WinTypes.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
// Registered messages are numbered from here up to 0xFFFF.
constexpr UINT WM_REGISTERED_FIRST = 0xC000;
constexpr UINT WM_REGISTERED_LAST = 0xFFFF;

// Posting to this handle posts to every window of the process.
constexpr HWND HWND_BROADCAST = 0xFFFF;

using UINT_PTR = std::uintptr_t;
using TIMERPROC = void (*)(HWND hwnd, UINT message, UINT_PTR idEvent, DWORD time);

// Shortest and longest timer period in milliseconds; periods outside are
// clamped, as a period of 0 would otherwise spin the owning thread.
constexpr UINT USER_TIMER_MINIMUM = 10;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Data that travels with one message and is owned by it: it is destroyed
// with the message, whether the message was handled, dropped because its
// window is gone, or left in a queue when its thread ended.
class MessagePayload
{
public:
    virtual ~MessagePayload() = default;
};

template <class T>
class TypedPayload final : public MessagePayload
{
public:
    template <class... Args>
    explicit TypedPayload(Args&&... args) : value(std::forward<Args>(args)...)
    {}
    T value;
};

template <class T, class... Args>
std::unique_ptr<MessagePayload> MakePayload(Args&&... args)
{
    return std::make_unique<TypedPayload<T>>(std::forward<Args>(args)...);
}

// One message taken from a queue. Move-only: it owns its payload.
struct MSG
{
    HWND hwnd = 0;
    UINT message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;  // milliseconds of the monotonic clock when queued
    std::unique_ptr<MessagePayload> payload;
    // Ticks of a timer: dropped on delivery when the timer was killed
    // meanwhile; the procedure, when the timer has one, is called instead of
    // the window.
    bool fromTimer = false;
    std::function<void(HWND, UINT, UINT_PTR, DWORD)> timerProc;
};

// The receiver of a window's messages.
using WindowProc = std::function<LRESULT(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)>;

class IMessageHandler
{
public:
    virtual ~IMessageHandler() = default;
    virtual LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// Identifies a thread to the dispatcher; never 0 and never reused.
DWORD GetCurrentThreadId();

// Windows ------------------------------------------------------------------

// Creates a window owned by the calling thread. Returns 0 when the
// dispatcher is stopped or proc is empty.
HWND CreateMessageWindow(WindowProc proc);
// The handler must outlive the window.
HWND CreateMessageWindow(IMessageHandler& handler);
// Drops the window's queued messages (freeing their payloads), fails the
// sends that wait for it and kills its timers. Any thread may destroy it.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// Thread that owns the window, 0 when there is none.
DWORD GetWindowThreadId(HWND hwnd);

// The main frame's window, set by the user interface once it exists, so that
// core code can address it.
void SetMainWindow(HWND hwnd);
HWND GetMainWindow();

// Messages -------------------------------------------------------------------

// FALSE when the window does not exist or the dispatcher is stopped; the
// payload is then destroyed at once. To HWND_BROADCAST a message without
// payload goes to every window.
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                 std::unique_ptr<MessagePayload> payload = nullptr);
// The handler's result; 0 when the window does not exist, was destroyed
// before it handled the message, or the dispatcher stopped. ok, when given,
// tells a handled message from a failed send.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                    std::unique_ptr<MessagePayload> payload = nullptr, bool* ok = nullptr);
// FALSE when the thread has no queue (it never created a window, set a timer
// or ran a loop) or the dispatcher is stopped.
BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam,
                       std::unique_ptr<MessagePayload> payload = nullptr);
// Same name (ignoring case), same id, for the whole process; 0 for an empty
// name or when the range is used up.
UINT RegisterWindowMessage(const std::string& name);

// While a handler runs: the payload of the message it handles (null when
// there is none), and a way to keep it beyond the handler.
MessagePayload* CurrentMessagePayload();
std::unique_ptr<MessagePayload> TakeCurrentMessagePayload();

template <class T>
T* CurrentPayload()
{
    auto* typed = dynamic_cast<TypedPayload<T>*>(CurrentMessagePayload());
    return typed ? &typed->value : nullptr;
}

// Timers ---------------------------------------------------------------------

// With a window: (re)sets timer id of that window on the window's thread;
// each period the window gets WM_TIMER with wParam = id, or proc is called
// when one is given. Returns id, 0 on failure (no such window, id 0).
// Without a window: a thread timer of the calling thread; an id of an
// existing thread timer of this thread resets it, otherwise a new id is
// chosen and returned. Thread timers without a proc arrive as WM_TIMER thread
// messages.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr);
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, std::function<void(HWND, UINT, UINT_PTR, DWORD)> proc);
// FALSE when there is no such timer. A tick not yet delivered is dropped.
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Loop -----------------------------------------------------------------------

// Waits for the next message of the calling thread (sends are handled
// inside). FALSE when it is WM_QUIT, or -1 when the dispatcher stopped.
int GetMessage(MSG* msg);
// Like GetMessage without waiting; FALSE when nothing is there.
BOOL PeekMessage(MSG* msg);
// Calls the window's handler (or the timer procedure); a message for a
// window that is gone is dropped. The payload is freed after the call unless
// the handler took it.
LRESULT DispatchMessage(MSG* msg);
// Ends the calling thread's loop once its queued messages are delivered.
void PostQuitMessage(int exitCode);

// Handles thread messages (hwnd 0) that the plain loops take: RunMessageLoop,
// PumpUntil and ProcessPending give them to this hook of the calling thread,
// with the payload reachable as in a window handler.
void SetThreadMessageHook(std::function<void(const MSG&)> hook);

// GetMessage/DispatchMessage until WM_QUIT; returns the quit code, or -1
// when the dispatcher stopped.
int RunMessageLoop();

// Delivers messages of the calling thread until pred() holds or the time-out
// has passed; returns pred(). A quit message ends the wait early (and stays
// pending for the thread's loop).
bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

// For an outside event loop.
struct PendingResult
{
    bool quit = false;
    int exitCode = 0;
    // When the next timer of the thread falls due; empty when none runs.
    std::optional<std::chrono::steady_clock::time_point> nextTimer;
};
// Delivers everything of the calling thread that is due now.
PendingResult ProcessPending();
// Called, from any thread, when something becomes due on the calling
// thread's queue (a message, a send, a timer set earlier than before, quit).
// The hook must not block or post; it typically schedules ProcessPending on
// the owning event loop. Replacing or clearing the hook waits for a call of
// the old one in progress, so the old hook's captures may go right after.
void SetWakeHook(std::function<void()> hook);

// Dispatcher -----------------------------------------------------------------

// Stops the dispatcher: every waiting send is released with a failure,
// queued messages are dropped (payloads freed), waiting loops return, and
// later posts and sends fail. Used at program end.
void StopMessageDispatcher();
// Makes a stopped dispatcher usable again (for tests that stop it).
void RestartMessageDispatcher();
bool IsMessageDispatcherStopped();
