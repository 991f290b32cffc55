#include "outputs/EchoSounderPingSource.h"

#include "engine/Channel.h"
#include "sounder/EchoSounder.h"
#include "transceivers/Transceiver.h"

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
    out.second = ch->GetBottomLevelValue();
    const ChannelParameters p = ch->GetParameters();
    out.transducerDepth = p.TransducerDepth;
    out.pulseLength = p.PulseLength;
    out.frequency = ch->GetFrequency();
    out.soundVelocity = ch->GetSoundVelocity();
    const CTransceiver* transceiver = ch->GetTransceiver();
    out.transceiverSoundVelocity = transceiver ? transceiver->GetSoundVelocity() : out.soundVelocity;
    out.heave = ch->GetLastPingValue();
    // The transducer's name as the transceiver describes the channel.
    out.transducer.clear();
    if (transceiver) {
        std::string channelName;
        double frequency = 0, gain = 0, beam = 0, bandwidth = 0, wAlong = 0, wAthwart = 0, sAlong = 0, sAthwart = 0,
               oAlong = 0, oAthwart = 0, velocity = 0, temperature = 0;
        int beamType = 0;
        transceiver->GetChannelParameters(ch, out.transducer, channelName, frequency, gain, beam, bandwidth, wAlong,
                                          wAthwart, sAlong, sAthwart, oAlong, oAthwart, beamType, velocity,
                                          temperature);
    }
    double motion[6];
    ch->GetPingMotion(motion);
    for (std::size_t i = 0; i < 3; ++i)
        out.motion[i] = static_cast<float>(motion[i]);
    return true;
}

bool CEchoSounderPingSource::GetSamples(int index, std::int16_t* out, int n, double length, double start, int tvg,
                                        int reference)
{
    CChannel* ch = m_sounder.GetChannel(index);
    return ch && ch->GetPingSamples(out, n, length, start, tvg, reference);
}

int CEchoSounderPingSource::GetSingleTargets(int index, std::vector<std::array<float, 5>>& out)
{
    out.clear();
    CChannel* ch = m_sounder.GetChannel(index);
    if (!ch)
        return 0;
    SingleTargetRecord record;
    // A ping whose detection could not run has no targets to send.
    if (ch->GetSingleTargets(record) == 0)
        return 0;
    for (int t = 0; t < record.Count; ++t) {
        const auto v = record.Targets[static_cast<std::size_t>(t)].Values();
        out.push_back({static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]),
                       static_cast<float>(v[3]), static_cast<float>(v[4])});
    }
    return record.Count;
}

double CEchoSounderPingSource::GetEnvironmentSoundVelocity()
{
    return m_soundVelocity;
}

bool CEchoSounderPingSource::GetWaterTemperature(double& celsius)
{
    if (!m_waterTemperature)
        return false;
    celsius = *m_waterTemperature;
    return true;
}
