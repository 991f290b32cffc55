#include "outputs/EchoSounderPingSource.h"

#include "engine/Channel.h"
#include "sounder/EchoSounder.h"

int CEchoSounderPingSource::GetChannelCount()
{
    return m_sounder.GetChannelCount();
}

bool CEchoSounderPingSource::GetChannelPing(int index, SQYNetChannelPing& out)
{
    CChannel* ch = m_sounder.GetChannel(index);
    if (!ch)
        return false;
    out.processed = ch->GetPingCount() > 0;
    out.pingTime = ch->GetPingTime();
    out.depth = ch->GetBottomDepth();
    out.second = 0.0;
    const ChannelParameters p = ch->GetParameters();
    out.transducerDepth = p.TransducerDepth;
    out.pulseLength = p.PulseLength;
    out.frequency = ch->GetFrequency();
    out.soundVelocity = ch->GetSoundVelocity();
    out.heave = ch->GetLastPingValue();
    out.transducer = ch->GetChannelName();
    CChannel::ParameterCopy copy;
    ch->GetChannelParameters(copy);
    for (std::size_t i = 0; i < 3; ++i)
        out.motion[i] = static_cast<float>(copy.Motion[i]);
    return true;
}

bool CEchoSounderPingSource::GetSamples(int index, std::int16_t* out, int n, double length, double start, int tvg,
                                        int reference)
{
    CChannel* ch = m_sounder.GetChannel(index);
    return ch && ch->GetPingSamples(out, n, length, start, tvg, reference);
}

int CEchoSounderPingSource::GetSingleTargets(int, std::vector<std::array<float, 5>>& out)
{
    // The channels keep no single-target record yet: no echo-trace datagram.
    out.clear();
    return 0;
}

double CEchoSounderPingSource::GetEnvironmentSoundVelocity()
{
    return m_soundVelocity;
}

bool CEchoSounderPingSource::GetWaterTemperature(double&)
{
    return false;
}
