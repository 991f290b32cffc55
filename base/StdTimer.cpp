#include "base/StdTimer.h"

#include "base/Globals.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <condition_variable>
#include <utility>
#include <vector>

namespace {

// Callbacks that run right now, by object and thread, guarded by the timer
// map's lock. Kept outside the objects, since a callback may delete its own
// object.
struct CallbackTable
{
    std::vector<std::pair<const CStdTimer*, DWORD>> running;
    std::condition_variable finished;
};

CallbackTable& Callbacks()
{
    static CallbackTable* table = new CallbackTable;
    return *table;
}

}  // namespace

CStdTimer::CStdTimer()
{
    // The map must be there first, so that it outlives every timer.
    ProgramGlobals();
}

CStdTimer::~CStdTimer()
{
    // Stops, and waits for a callback on another thread; the map holds no
    // pointer to this object afterwards.
    Stop();
}

BOOL CStdTimer::Start(UINT elapseMs)
{
    auto& g = ProgramGlobals();
    std::lock_guard lk(g.timerMapLock);
    if (m_bRunning)
        return FALSE;
    UINT_PTR id = SetTimer(0, 0, elapseMs, &CStdTimer::TimerProc);
    if (id == 0)
        return FALSE;
    m_nTimerId = static_cast<UINT>(id);
    m_bRunning = TRUE;
    g.timerMap[m_nTimerId] = this;
    return TRUE;
}

BOOL CStdTimer::Stop()
{
    auto& g = ProgramGlobals();
    std::unique_lock lk(g.timerMapLock);
    BOOL result = TRUE;
    if (m_bRunning) {
        g.timerMap.erase(m_nTimerId);
        if (KillTimer(0, m_nTimerId)) {
            m_bRunning = FALSE;
            m_nTimerId = 0;
        } else {
            result = FALSE;
        }
    }
    const DWORD self = GetCurrentThreadId();
    Callbacks().finished.wait(lk, [&] {
        return std::none_of(Callbacks().running.begin(), Callbacks().running.end(),
                            [&](const auto& r) { return r.first == this && r.second != self; });
    });
    return result;
}

BOOL CStdTimer::IsRunning()
{
    std::lock_guard lk(ProgramGlobals().timerMapLock);
    return m_bRunning;
}

void CStdTimer::OnTimer() {}

void CStdTimer::TimerProc(HWND, UINT, std::uintptr_t idEvent, DWORD)
{
    auto& g = ProgramGlobals();
    const DWORD self = GetCurrentThreadId();
    CStdTimer* timer = nullptr;
    {
        std::lock_guard lk(g.timerMapLock);
        auto it = g.timerMap.find(static_cast<UINT>(idEvent));
        if (it == g.timerMap.end())
            return;
        timer = it->second;
        Callbacks().running.emplace_back(timer, self);
    }
    struct Done
    {
        CStdTimer* timer;
        DWORD self;
        ~Done()
        {
            std::lock_guard lk(ProgramGlobals().timerMapLock);
            auto& running = Callbacks().running;
            auto it = std::find(running.begin(), running.end(), std::pair<const CStdTimer*, DWORD>(timer, self));
            if (it != running.end())
                running.erase(it);
            Callbacks().finished.notify_all();
        }
    } done{timer, self};
    timer->OnTimer();
}
