#include "recording/DatagramWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zv::recording {

CFramedDatagram::CFramedDatagram(std::size_t bodySize) { Reset(bodySize); }

void CFramedDatagram::Reset(std::size_t bodySize)
{
    m_bytes.assign(bodySize + kFrameWords, 0);
    PutU32(m_bytes.data(), std::uint32_t(bodySize));
    PutU32(m_bytes.data() + 4 + bodySize, std::uint32_t(bodySize));
}

namespace {

void PutHeader(std::uint8_t* body, std::uint32_t type, FileTime time)
{
    PutU32(body, type);
    PutTime(body + 4, time);
}

// The program's doubles go to disk as floats; a value beyond the float range
// becomes an infinity rather than undefined behaviour.
float Narrow(double v)
{
    if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
    if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return float(v);
}

std::int16_t TideCentimetres(double metres)
{
    const double cm = std::trunc(metres * 100.0);
    if (!(cm == cm)) return 0;
    return std::int16_t(std::clamp(cm, -32768.0, 32767.0));
}

void PutConfigChannel(std::uint8_t* rec, const SConfigChannel& ch)
{
    PutText(rec + kConChId, kConTextSize, ch.id);
    PutU32(rec + kConChBeamType, ch.beamType);
    PutF32(rec + kConChFrequency, Narrow(ch.frequency));
    const double values[kConChValueCount] = {
        ch.gain,           ch.twoWayBeamAngle,    ch.angleSensAlong,  ch.angleSensAthwart,
        ch.beamWidthAlong, ch.beamWidthAthwart,   ch.angleOffsetAlong, ch.angleOffsetAthwart,
        ch.transducerX,    ch.transducerY,        ch.transducerZ,     ch.transducerPitch,
        ch.transducerRoll, ch.transducerAzimuth};
    for (std::size_t i = 0; i < kConChValueCount; ++i)
        PutF32(rec + kConChValues + 4 * i, Narrow(values[i]));
}

// Rounds the header plus text plus NUL up to whole words, within the limit.
std::size_t RoundedBody(std::size_t chars, std::size_t fixed, std::size_t limit)
{
    std::size_t n = std::min(chars, limit) + fixed;
    while (n % 4) ++n;
    return std::min(n, limit);
}

}  // namespace

CFramedDatagram CDatagramWriter::BuildConfiguration(const SConfiguration& config, EChannels kind,
                                                    const bool outSwitch[4])
{
    std::vector<const SConfigChannel*> chosen;
    for (std::size_t i = 0; i < config.channels.size() && i < kConMaxChannels; ++i) {
        if (kind == EChannels::Out && (i >= 4 || !outSwitch || !outSwitch[i])) continue;
        chosen.push_back(&config.channels[i]);
    }
    CFramedDatagram d(kConChannels + kConChannelSize * chosen.size());
    std::uint8_t* body = d.BodyData();
    PutHeader(body, kTypeCON0, config.time);
    PutText(body + kConText1, kConTextSize, config.fileName);
    PutText(body + kConText2, kConTextSize, config.lineText);
    PutText(body + kConText3, kConTextSize, config.programName);
    PutF32(body + kConMotionOffsets, Narrow(config.motionX));
    PutF32(body + kConMotionOffsets + 4, Narrow(config.motionY));
    PutF32(body + kConMotionOffsets + 8, Narrow(config.motionZ));
    PutU32(body + kConChannelCount, std::uint32_t(chosen.size()));
    for (std::size_t i = 0; i < chosen.size(); ++i)
        PutConfigChannel(body + kConChannels + kConChannelSize * i, *chosen[i]);
    return d;
}

std::size_t CDatagramWriter::SampleBodySize(const SSampleData& data)
{
    const std::size_t p = data.power.size();
    std::size_t n = kRawData + 2 * p;
    if (p && !data.angle.empty()) n += 2 * p;
    if (p && !data.trace1.empty() && !data.trace2.empty()) n += 8 * p;
    return n;
}

void CDatagramWriter::BuildSample(const SSampleData& data, CFramedDatagram& out)
{
    const std::size_t p = data.power.size();
    out.Reset(SampleBodySize(data));
    std::uint8_t* body = out.BodyData();
    const SSampleHeader& h = data.header;
    PutHeader(body, kTypeRAW0, h.time);
    std::uint16_t flags = 0;
    if (p) flags |= kRawFlagPower;
    if (p && !data.angle.empty()) flags |= kRawFlagAngle;
    if (p && !data.trace1.empty() && !data.trace2.empty()) flags |= kRawFlagTrace;
    PutU16(body + kRawChannel, h.channel);
    PutU16(body + kRawFlags, flags);
    PutF32(body + kRawDraught, Narrow(h.draught));
    PutF32(body + kRawFrequency, Narrow(h.frequency));
    PutF32(body + kRawPower, Narrow(h.power));
    PutF32(body + kRawPulse, Narrow(h.pulseDuration));
    PutF32(body + kRawBandwidth, Narrow(h.bandwidth));
    PutF32(body + kRawSampleInterval, Narrow(h.sampleInterval));
    PutF32(body + kRawSoundVelocity, Narrow(h.soundVelocity));
    PutF32(body + kRawAbsorption, Narrow(h.absorption));
    PutF32(body + kRawHeave, Narrow(h.heave));
    PutF32(body + kRawRoll1, Narrow(h.roll1));
    PutF32(body + kRawPitch1, Narrow(h.pitch1));
    PutF32(body + kRawTemperature, Narrow(h.temperature));
    PutI16(body + kRawTide, TideCentimetres(h.tide));
    PutF32(body + kRawRoll2, Narrow(h.roll2));
    PutF32(body + kRawPitch2, Narrow(h.pitch2));
    PutU32(body + kRawSampleOffset, h.sampleOffset);
    PutU32(body + kRawCount, std::uint32_t(p));
    std::uint8_t* q = body + kRawData;
    for (std::size_t i = 0; i < p; ++i, q += 2) PutI16(q, data.power[i]);
    // Blocks shorter than the power block are filled with 0 so the layout
    // that readers compute from the one count always holds.
    if (flags & kRawFlagAngle)
        for (std::size_t i = 0; i < p; ++i, q += 2)
            PutI16(q, i < data.angle.size() ? data.angle[i] : std::int16_t(0));
    if (flags & kRawFlagTrace) {
        for (std::size_t i = 0; i < p; ++i, q += 4)
            PutF32(q, i < data.trace1.size() ? data.trace1[i] : 0.0f);
        for (std::size_t i = 0; i < p; ++i, q += 4)
            PutF32(q, i < data.trace2.size() ? data.trace2[i] : 0.0f);
    }
}

CFramedDatagram CDatagramWriter::BuildSample(const SSampleData& data)
{
    CFramedDatagram d;
    BuildSample(data, d);
    return d;
}

std::size_t CDatagramWriter::TextBodySize(std::size_t chars)
{
    return RoundedBody(chars, kTextOffset + 1, kTextMaxBody);
}

std::size_t CDatagramWriter::ProfileBodySize(std::size_t chars)
{
    return RoundedBody(chars, kSvpText + 1, kSvpMaxBody);
}

CFramedDatagram CDatagramWriter::BuildText(std::uint32_t type, std::string_view text, FileTime time)
{
    const std::size_t chars = std::min(text.size(), kTextMaxChars);
    CFramedDatagram d(TextBodySize(chars));
    PutHeader(d.BodyData(), type, time);
    PutText(d.BodyData() + kTextOffset, d.BodySize() - kTextOffset, text.substr(0, chars));
    return d;
}

CFramedDatagram CDatagramWriter::BuildProfile(std::string_view text, FileTime time, std::uint32_t kind)
{
    const std::size_t chars = std::min(text.size(), kSvpMaxChars);
    CFramedDatagram d(ProfileBodySize(chars));
    PutHeader(d.BodyData(), kTypeSVP0, time);
    PutU32(d.BodyData() + kSvpKind, kind);
    PutText(d.BodyData() + kSvpText, d.BodySize() - kSvpText, text.substr(0, chars));
    return d;
}

CFramedDatagram CDatagramWriter::BuildDepth(std::span<const SDepthEntry> entries, FileTime time)
{
    const std::size_t n = std::min(entries.size(), kDepMaxEntries);
    CFramedDatagram d(kDepEntries + kDepEntrySize * n);
    std::uint8_t* body = d.BodyData();
    PutHeader(body, kTypeDEP0, time);
    PutU32(body + kDepCount, std::uint32_t(n));
    for (std::size_t i = 0; i < n; ++i) {
        PutF32(body + kDepEntries + kDepEntrySize * i, Narrow(entries[i].depth));
        PutF32(body + kDepEntries + kDepEntrySize * i + 4, Narrow(entries[i].second));
    }
    return d;
}

}  // namespace zv::recording
