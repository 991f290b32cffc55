// The recorder's reports in the running program (CStoreStatusEvents), and
// its recording line switched on or off, which starts or stops the history
// printing's pages.
#pragma once

#include "program/PrintingLink.h"
#include "recording/StoreStatusEvents.h"

namespace app {

class CProgramStoreEvents final : public zv::recording::CStoreStatusEvents
{
public:
    explicit CProgramStoreEvents(CPrintingLink& printing) : m_printing(printing) {}

    void LoggingStarted() override { m_printing.RecordingLine(true); }
    void LoggingStopped() override { m_printing.RecordingLine(false); }

private:
    CPrintingLink& m_printing;
};

}  // namespace app
