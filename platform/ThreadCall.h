// Runs work, typically a modal dialog, on the thread that made this object
// (the user-interface thread) for a caller on any thread, and brings its
// answer back. Called on the owning thread, the work runs at once. Called
// from a worker, the work is posted there through the message dispatcher and
// the worker waits for the answer, never for a window: it leaves as soon as
// its own end check holds (its owner stops), and the work, still running,
// sees that through the check it is given and may close by itself. So a
// worker being stopped on the owning thread never waits for work that waits
// for it. The work must keep what it needs by value: once the worker has
// left, nothing of the worker's may be touched.
#pragma once

#include "platform/MessageDispatcher.h"

#include <functional>

class CThreadCall
{
public:
    // The work on the owning thread; ended() holds once the caller has left.
    using Work = std::function<bool(const std::function<bool()>& ended)>;

    enum class EResult {
        Yes,    // the work answered true
        No,     // the work answered false, or it could not be run (the
                // object went away, the dispatcher stopped)
        Ended,  // the caller's end check held before the work answered
    };

    static constexpr UINT kCallMessage = WM_USER + 0x150;  // to this object's own window only
    static constexpr int kPollMs = 20;

    // On the thread the work will run on.
    CThreadCall();
    ~CThreadCall();
    CThreadCall(const CThreadCall&) = delete;
    CThreadCall& operator=(const CThreadCall&) = delete;

    // From any thread; end() is looked at while waiting, as often as the
    // work looks at its own check.
    EResult Call(Work work, std::function<bool()> end);

    DWORD GetThreadId() const { return m_threadId; }

private:
    struct Request;
    class RequestPayload;
    LRESULT OnMessage(UINT message);

    DWORD m_threadId = 0;
    HWND m_window = 0;
};
