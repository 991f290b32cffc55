#include "engine/ChannelLinks.h"

#include "base/EchosounderError.h"
#include "sensors/Environment.h"

double IChannelLinks::GetSoundVelocity() const
{
    return m_environment ? m_environment->GetSoundVelocity() : 1500.0;
}

bool IChannelLinks::IsRealSvp() const
{
    return m_environment && m_environment->IsRealSvp();
}

double IChannelLinks::GetDepthFromTravelTime(double oneWaySeconds, double startDepth) const
{
    return m_environment ? m_environment->GetDepthFromTravelTime(oneWaySeconds, startDepth) : 0.0;
}

void IChannelLinks::FatalError(const char* source, int line, const std::string& text)
{
    EchosounderFatalError(source, line, "%s", text.c_str());
}
