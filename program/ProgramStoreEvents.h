// The recorder's reports in the running program (CStoreStatusEvents), and
// its recording line switched on or off, which starts or stops the history
// printing's pages; a line that starts records the environment's profile.
#pragma once

#include "program/PrintingLink.h"
#include "recording/StoreStatusEvents.h"
#include "sensors/Environment.h"

namespace app {

class CProgramStoreEvents final : public zv::recording::CStoreStatusEvents
{
public:
    CProgramStoreEvents(CPrintingLink& printing, CEnvironment& environment)
        : m_printing(printing), m_environment(environment)
    {}

    void LoggingStarted() override
    {
        m_printing.RecordingLine(true);
        m_environment.RecordCurrentProfile();
    }
    void LoggingStopped() override { m_printing.RecordingLine(false); }

private:
    CPrintingLink& m_printing;
    CEnvironment& m_environment;
};

}  // namespace app
