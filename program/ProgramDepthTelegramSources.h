// What the program's depth telegrams read of it: the environment's sound
// velocity, whether the application replays, and the serial I/O hub's
// ZelvarWithoutHeave. Every object that formats depth telegrams is given
// this one when the program makes it.
#pragma once

#include "program/AbsentRoles.h"
#include "program/Link.h"
#include "serialcom/device/DepthTelegramSources.h"

class CEnvironment;

namespace app {

class CPelmaris;

class CProgramDepthTelegramSources final : public IDepthTelegramSources
{
public:
    CProgramDepthTelegramSources(CEnvironment& environment, CPelmaris& application, CLinkList& links)
        : m_environment(environment),
          m_application(application),
          m_hub(links, "depth telegrams: serial I/O hub", kQYModels)
    {}

    double GetSoundVelocity() const override;
    bool IsReplaying() const override;
    bool IsHubWithoutHeave() const override { return m_hub->IsWithoutHeave(); }
    // The serial I/O hub while it exists; null before it goes.
    void SetHub(IDepthTelegramHub* hub) { m_hub.Set(hub); }

private:
    CEnvironment& m_environment;
    CPelmaris& m_application;
    TLink<IDepthTelegramHub, CAbsentDepthTelegramHub> m_hub;
};

}  // namespace app
