// The program's link to the history printing: the printing itself (a named
// null of the root until the printing document is built) and the rules of
// the shell, the recorder and replay around it. History saving follows
// operation control's setting; while the main frame's message pane is on,
// a new recording line starts a new history page and its end stops the
// history, and a replayed file starts a new page of a running history.
//
// Threads: the user-interface thread, on which the link is made; a replay's
// file comes on its trigger thread and is posted there.
#pragma once

#include "platform/WinTypes.h"

#include <functional>

class IHistoryPrinting;

namespace app {

class CPrintingLink
{
public:
    // messagePaneOn: whether the main frame's message pane is on.
    CPrintingLink(IHistoryPrinting& printing, std::function<bool()> messagePaneOn);
    ~CPrintingLink();
    CPrintingLink(const CPrintingLink&) = delete;
    CPrintingLink& operator=(const CPrintingLink&) = delete;

    IHistoryPrinting& Printing() const { return m_printing; }

    // Operation control's history saving: started when on and not saving,
    // stopped when off and saving.
    void HistorySaving(bool on);
    // The recorder switched its line on or off.
    void RecordingLine(bool active);
    // From the replay's trigger thread: a file was opened.
    void PostReplayFileOpened();
    // The settings applied; whether paper printing runs.
    bool Refresh();

private:
    void ReplayFileOpened();

    IHistoryPrinting& m_printing;
    const std::function<bool()> m_messagePaneOn;
    HWND m_window = 0;
};

}  // namespace app
