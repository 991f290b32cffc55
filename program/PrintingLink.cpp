#include "program/PrintingLink.h"

#include "display/HistoryPrinting.h"
#include "platform/MessageDispatcher.h"

namespace app {

namespace {
// To the link's own window: a replayed file was opened.
constexpr UINT kReplayFileOpened = WM_USER + 1;
}  // namespace

CPrintingLink::CPrintingLink(IHistoryPrinting& printing, std::function<bool()> messagePaneOn)
    : m_printing(printing), m_messagePaneOn(std::move(messagePaneOn))
{
    m_window = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kReplayFileOpened)
            ReplayFileOpened();
        return 0;
    });
}

CPrintingLink::~CPrintingLink()
{
    if (m_window)
        DestroyWindow(m_window);
}

void CPrintingLink::HistorySaving(bool on)
{
    const bool saving = m_printing.HasPrintingView();
    if (on && !saving)
        m_printing.StartPrinting();
    else if (!on && saving)
        m_printing.StopPrinting();
}

void CPrintingLink::RecordingLine(bool active)
{
    if (!m_messagePaneOn())
        return;
    if (m_printing.HasPrintingView())
        m_printing.StopPrinting();
    if (active)
        m_printing.StartPrinting();
}

void CPrintingLink::PostReplayFileOpened()
{
    PostMessage(m_window, kReplayFileOpened, 0, 0);
}

void CPrintingLink::ReplayFileOpened()
{
    if (!m_messagePaneOn() || !m_printing.HasPrintingView())
        return;
    m_printing.StopPrinting();
    m_printing.StartPrinting();
}

bool CPrintingLink::Refresh()
{
    m_printing.ApplyPrinterOn();
    return m_printing.IsPaperPrinting();
}

}  // namespace app
