#include "recording/EngineStoreSounder.h"

#include "engine/Channel.h"
#include "sounder/EchoSounder.h"
#include "transceivers/Transceiver.h"

namespace zv::recording {

CEngineStoreSounder::CEngineStoreSounder(CEchoSounder& sounder, SApplication application)
    : m_sounder(sounder), m_app(std::move(application))
{}

bool CEngineStoreSounder::IsReplaying() const
{
    return m_sounder.GetMode() == CEchoSounder::kReplay;
}

int CEngineStoreSounder::ReplaySaveDataOption() const
{
    CTransceiver* t = m_sounder.GetTransceiver(0);
    return t ? t->GetRecordedInteger3() : 0;
}

void CEngineStoreSounder::GetReplayNames(std::string& folder, std::string& name, std::string& text1,
                                         std::string& text2) const
{
    folder.clear();
    name.clear();
    text1.clear();
    text2.clear();
    CTransceiver* t = m_sounder.GetTransceiver(0);
    if (!t)
        return;
    const std::string path = t->GetRecordedText1();
    const auto slash = path.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    text1 = t->GetRecordedText2();
    text2 = t->GetRecordedText3();
}

std::string CEngineStoreSounder::ProgramName() const
{
    return m_app.programName ? m_app.programName() : std::string();
}

void CEngineStoreSounder::MotionOffsets(double& x, double& y, double& z) const
{
    x = y = z = 0.0;
    if (m_app.motionOffsets)
        m_app.motionOffsets(x, y, z);
}

std::size_t CEngineStoreSounder::ChannelCount() const
{
    const int n = m_sounder.GetChannelCount();
    return n > 0 ? std::size_t(n) : 0;
}

bool CEngineStoreSounder::GetConfigChannel(std::size_t index, SConfigChannel& out) const
{
    CChannel* ch = m_sounder.GetChannel(int(index));
    if (!ch || !ch->GetTransceiver())
        return false;
    std::string description, name;
    double frequency = 0, bandwidth = 0, soundVelocity = 0, temperature = 0;
    int beamType = 0;
    out = SConfigChannel{};
    if (!ch->GetTransceiver()->GetChannelParameters(ch, description, name, frequency, out.gain, out.twoWayBeamAngle,
                                                    bandwidth, out.beamWidthAlong, out.beamWidthAthwart,
                                                    out.angleSensAlong, out.angleSensAthwart, out.angleOffsetAlong,
                                                    out.angleOffsetAthwart, beamType, soundVelocity, temperature))
        return false;
    const ChannelParameters p = ch->GetParameters();
    out.id = name;
    out.beamType = std::uint32_t(beamType);
    out.frequency = ch->GetFrequency();
    out.transducerX = p.TransducerX;
    out.transducerY = p.TransducerY;
    out.transducerZ = p.TransducerZ;
    out.transducerPitch = p.TransducerPitch;
    out.transducerRoll = p.TransducerRoll;
    out.transducerAzimuth = p.TransducerAzimuth;
    return true;
}

bool CEngineStoreSounder::GetPingChannel(std::size_t index, SSampleData& out)
{
    CChannel* ch = m_sounder.GetChannel(int(index));
    if (!ch || !ch->GetTransceiver())
        return false;
    if (m_blocks.size() <= index)
        m_blocks.resize(index + 1);
    SBlocks& b = m_blocks[index];

    CChannel::ParameterCopy& copy = b.copy;
    ch->GetChannelParameters(copy);
    std::string description, name;
    double frequency = 0, gain = 0, beam = 0, bandwidth = 0, bw1 = 0, bw2 = 0, s1 = 0, s2 = 0, o1 = 0, o2 = 0;
    double soundVelocity = 0, temperature = 0;
    int beamType = 0;
    CTransceiver* t = ch->GetTransceiver();
    t->GetChannelParameters(ch, description, name, frequency, gain, beam, bandwidth, bw1, bw2, s1, s2, o1, o2, beamType,
                            soundVelocity, temperature);

    out = SSampleData{};
    SSampleHeader& h = out.header;
    h.time = ch->GetPingTime();
    h.draught = copy.Parameters.TransducerDepth;
    h.frequency = copy.Frequency;
    h.power = copy.Parameters.TransmitPower;
    h.pulseDuration = copy.Parameters.PulseLength;
    h.bandwidth = bandwidth;
    h.sampleInterval = copy.Parameters.SampleInterval;
    h.soundVelocity = soundVelocity;
    h.absorption = copy.Parameters.Absorption;
    h.heave = copy.Motion[0];
    h.roll1 = copy.Motion[1];
    h.pitch1 = copy.Motion[2];
    h.roll2 = copy.Motion[3];
    h.pitch2 = copy.Motion[4];
    h.temperature = temperature;
    h.tide = m_app.tide ? m_app.tide() : 0.0;

    out.power = copy.Power;
    // The angle words go to the file as they are; a signed view of the
    // unsigned words reads the same bytes.
    if (!copy.Angles.empty())
        out.angle = std::span<const std::int16_t>(reinterpret_cast<const std::int16_t*>(copy.Angles.data()),
                                                  copy.Angles.size());
    b.trace1.clear();
    b.trace2.clear();
    if (t->GetTypeCode() == TransceiverType::NVU) {
        ch->GetTraceBuffers(b.traces);
        b.trace1.assign(b.traces.First.begin(), b.traces.First.end());
        b.trace2.assign(b.traces.Second.begin(), b.traces.Second.end());
        out.trace1 = b.trace1;
        out.trace2 = b.trace2;
    }
    return true;
}

bool CEngineStoreSounder::GetChannelDepth(std::size_t index, SDepthEntry& out)
{
    CChannel* ch = m_sounder.GetChannel(int(index));
    out = SDepthEntry{};
    if (!ch)
        return false;
    double depth = 0.0, second = 0.0;
    if (ch->ProcessPing(&depth, &second)) {
        out.depth = depth;
        out.second = second;
    }
    return true;
}

bool CEngineStoreSounder::GetProductChannel(std::size_t index, SProductChannel& out) const
{
    CChannel* ch = m_sounder.GetChannel(int(index));
    if (!ch)
        return false;
    out = SProductChannel{};
    out.name = ch->GetChannelName();
    out.frequency = ch->GetFrequency();
    const int count = ch->GetSampleCount();
    out.sampleCount = count > 0 ? std::uint32_t(count) : 0;
    out.rangePerSample = ch->GetParameters().SampleDistance;
    out.soundVelocity = ch->GetSoundVelocity();
    out.firstEchogramType = ch->GetFirstEchogramType();
    out.lastPingTime = ch->GetPingTime();
    out.side = ch->GetEchogramSide();
    return true;
}

bool CEngineStoreSounder::GetPingSamples(std::size_t index, std::int16_t* out, int n, double range, double start,
                                         int type, int reference)
{
    CChannel* ch = m_sounder.GetChannel(int(index));
    return ch && ch->GetPingSamples(out, n, range, start, type, reference);
}

FileTime CEngineStoreSounder::PingTime() const
{
    return m_sounder.GetPingTime();
}

bool CEngineStoreSounder::PositionAtTime(FileTime time, double& first, double& second) const
{
    return m_app.positionAtTime && m_app.positionAtTime(time, first, second);
}

double CEngineStoreSounder::HeadingAtTime(FileTime time) const
{
    return m_app.headingAtTime ? m_app.headingAtTime(time) : 0.0;
}

double CEngineStoreSounder::SoundVelocity() const
{
    return m_app.soundVelocity ? m_app.soundVelocity() : 0.0;
}

std::string CEngineStoreSounder::FileVersionText() const
{
    return m_app.fileVersion ? m_app.fileVersion() : std::string();
}

}  // namespace zv::recording
