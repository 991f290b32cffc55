// The computer's own clock. It is set only where the machine's settings
// allow it (the DWORD "AllowSetClock" under
// HKEY_LOCAL_MACHINE\Software\Zelvar\EchoSounder, off when 0 or missing) and
// the process holds the right to set it (CAP_SYS_TIME); otherwise an
// event-log entry says why and nothing changes. A test run (ZELVAR_TEST in
// the environment) never sets it.
#pragma once

#include "platform/ClockSetter.h"

#include <functional>
#include <string>

class CSystemClockSetter : public IClockSetter
{
public:
    static constexpr const char* kMachineKey = "Software\\Zelvar\\EchoSounder";
    static constexpr const char* kAllowValue = "AllowSetClock";

    // What is asked of the system, for tests of the rules to replace.
    struct SSystem
    {
        bool testRun = false;
        std::function<bool()> mayProcessSetClock;
        // 0 or the errno of the failure.
        std::function<int(std::uint64_t fileTime)> setClock;
    };
    // The real system.
    CSystemClockSetter();
    explicit CSystemClockSetter(SSystem system);

    bool SetUtc(std::uint64_t fileTime) override;

    static bool AllowedOnThisMachine();
    static bool ProcessMaySetClock();

private:
    void Refuse(std::uint64_t fileTime, const std::string& why) const;

    SSystem m_system;
};
