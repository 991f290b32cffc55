// What the program's depth telegrams read of it: the environment's sound
// velocity, whether the application replays, and the serial I/O hub's
// ZelvarWithoutHeave. Every object that formats depth telegrams is given
// this one when the program makes it.
#pragma once

#include "serialcom/device/DepthTelegramSources.h"

class CEnvironment;

namespace app {

class CPelmaris;

class CProgramDepthTelegramSources final : public IDepthTelegramSources
{
public:
    CProgramDepthTelegramSources(CEnvironment& environment, CPelmaris& application)
        : m_environment(environment), m_application(application)
    {}

    double GetSoundVelocity() const override;
    bool IsReplaying() const override;
    // Absent: the serial I/O hub.
    bool IsHubWithoutHeave() const override { return false; }

private:
    CEnvironment& m_environment;
    CPelmaris& m_application;
};

}  // namespace app
