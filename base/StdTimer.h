// Periodic callbacks for objects without a window of their own. Each running
// timer is a thread timer of the thread that started it (which must run its
// message queue); one shared procedure finds the object through the
// program-wide timer map and calls its OnTimer without the map lock held, so
// a callback may start and stop timers itself.
//
// Stop (and so the destructor) waits for a callback of the object that runs
// on another thread at that moment, unless it is called from within that
// callback. A subclass whose OnTimer uses its own members stops the timer in
// its own destructor, before those members go.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>

class CTimer
{};

class CStdTimer : public CTimer
{
public:
    CStdTimer();
    CStdTimer(const CStdTimer&) = delete;
    CStdTimer& operator=(const CStdTimer&) = delete;

    // FALSE when already running (the first period stays in force) or when
    // no timer can be set.
    virtual BOOL Start(UINT elapseMs);
    // TRUE at once when not running; FALSE, with the timer still marked
    // running, when the system timer cannot be killed.
    virtual BOOL Stop();
    virtual BOOL IsRunning();
    virtual void OnTimer();
    virtual ~CStdTimer();

    // The procedure of every such timer; a tick whose id is no longer in the
    // map calls nothing.
    static void TimerProc(HWND hwnd, UINT message, std::uintptr_t idEvent, DWORD time);

private:
    BOOL m_bRunning = FALSE;
    UINT m_nTimerId = 0;
};
