#include "program/ProgramDepthTelegramSources.h"

#include "app/Pelmaris.h"
#include "sensors/Environment.h"

namespace app {

double CProgramDepthTelegramSources::GetSoundVelocity() const
{
    return m_environment.GetSoundVelocity();
}

bool CProgramDepthTelegramSources::IsReplaying() const
{
    return m_application.IsReplaying();
}

}  // namespace app
