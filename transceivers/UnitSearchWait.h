// Lets a network transceiver wait for its unit behind the search dialog from
// any thread. The dialog always runs on the user-interface thread that made
// this object: called there, the wait shows it at once; called from a worker
// (a transceiver's data thread), the wait is carried there (CThreadCall) and
// the worker waits for the answer, never for the window. The worker leaves
// as soon as its own done check holds (the unit answered, or its transceiver
// stops) and the dialog, seeing that, closes by itself; so a sounder being
// stopped on the user-interface thread never waits for a worker that waits
// for a dialog. The operator's Cancel reaches the worker as false.
#pragma once

#include "platform/ThreadCall.h"

#include <functional>
#include <string>

class CUnitSearchWait
{
public:
    // Shows the dialog with the text until done() holds (true) or the
    // operator gives up (false). User-interface thread only.
    using ShowDialog = std::function<bool(const std::string& text, const std::function<bool()>& done)>;

    // On the user-interface thread: the dialogs will run on it.
    explicit CUnitSearchWait(ShowDialog show);

    // From any thread. True when done() held or the dialog ended with OK;
    // false when the operator cancelled or no dialog can be shown (the
    // dispatcher stopped, the object went away).
    bool Wait(const std::string& text, const std::function<bool()>& done);

    DWORD GetThreadId() const { return m_call.GetThreadId(); }

private:
    ShowDialog m_show;
    CThreadCall m_call;
};
