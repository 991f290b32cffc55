#include "recording/DatagramWriter.h"

#include "platform/ByteWriter.h"
#include "recording/SampleFrame.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace zv::recording {

CFramedDatagram::CFramedDatagram(std::size_t bodySize)
{
    Reset(bodySize);
}

void CFramedDatagram::Reset(std::size_t bodySize)
{
    m_bytes.assign(bodySize + kFrameWords, 0);
    CByteWriter w(m_bytes);
    w.U32(0, std::uint32_t(bodySize));
    w.U32(4 + bodySize, std::uint32_t(bodySize));
}

void CFramedDatagram::Resize(std::size_t bodySize)
{
    m_bytes.resize(bodySize + kFrameWords);
    CByteWriter w(m_bytes);
    w.U32(0, std::uint32_t(bodySize));
    w.U32(4 + bodySize, std::uint32_t(bodySize));
}

namespace {

// A writer over the body, with its type and time written.
CByteWriter BodyWriter(CFramedDatagram& d, std::uint32_t type, FileTime time)
{
    CByteWriter w(d.BodyData(), d.BodySize());
    w.U32(0, type);
    w.U64(4, time);
    return w;
}

// The program's doubles go to disk as floats; a value beyond the float range
// becomes an infinity rather than undefined behaviour.
float Narrow(double v)
{
    if (std::isnan(v))
        return std::numeric_limits<float>::quiet_NaN();
    if (v > std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (v < -std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return float(v);
}

std::int16_t TideCentimetres(double metres)
{
    const double cm = std::trunc(metres * 100.0);
    if (!(cm == cm))
        return 0;
    return std::int16_t(std::clamp(cm, -32768.0, 32767.0));
}

void PutConfigChannel(CByteWriter& w, std::size_t rec, const SConfigChannel& ch)
{
    w.Text(rec + kConChId, kConTextSize, ch.id);
    w.U32(rec + kConChBeamType, ch.beamType);
    w.F32(rec + kConChFrequency, Narrow(ch.frequency));
    for (const SConfigChannelField& f : kConfigChannelFields)
        w.F32(rec + f.offset, Narrow(ch.*f.value));
}

// Rounds the header plus text plus NUL up to whole words, within the limit.
std::size_t RoundedBody(std::size_t chars, std::size_t fixed, std::size_t limit)
{
    std::size_t n = std::min(chars, limit) + fixed;
    while (n % 4)
        ++n;
    return std::min(n, limit);
}

}  // namespace

CFramedDatagram CDatagramWriter::BuildConfiguration(const SConfiguration& config, EChannels kind,
                                                    const bool outSwitch[4])
{
    std::vector<const SConfigChannel*> chosen;
    for (std::size_t i = 0; i < config.channels.size() && i < kConMaxChannels; ++i) {
        if (kind == EChannels::Out && (i >= 4 || !outSwitch || !outSwitch[i]))
            continue;
        chosen.push_back(&config.channels[i]);
    }
    CFramedDatagram d(kConChannels + kConChannelSize * chosen.size());
    CByteWriter w = BodyWriter(d, kTypeCON0, config.time);
    w.Text(kConText1, kConTextSize, config.fileName);
    w.Text(kConText2, kConTextSize, config.lineText);
    w.Text(kConText3, kConTextSize, config.programName);
    w.F32(kConMotionOffsets, Narrow(config.motionX));
    w.F32(kConMotionOffsets + 4, Narrow(config.motionY));
    w.F32(kConMotionOffsets + 8, Narrow(config.motionZ));
    w.U32(kConChannelCount, std::uint32_t(chosen.size()));
    for (std::size_t i = 0; i < chosen.size(); ++i)
        PutConfigChannel(w, kConChannels + kConChannelSize * i, *chosen[i]);
    return d;
}

std::size_t CDatagramWriter::SampleBodySize(const SSampleData& data)
{
    const std::size_t p = data.power.size();
    std::size_t n = kRawData + 2 * p;
    const std::uint16_t flags = SampleFlags(data);
    if (flags & kRawFlagAngle)
        n += 2 * p;
    if (flags & kRawFlagTrace)
        n += 8 * p;
    return n;
}

std::uint16_t CDatagramWriter::SampleFlags(const SSampleData& data)
{
    std::uint16_t flags = 0;
    if (!data.power.empty()) {
        flags |= kRawFlagPower;
        if (!data.angle.empty())
            flags |= kRawFlagAngle;
        if (!data.trace1.empty() && !data.trace2.empty())
            flags |= kRawFlagTrace;
    }
    return flags;
}

void CDatagramWriter::BuildSampleHeader(const SSampleData& data, std::span<std::uint8_t, kRawData> out)
{
    const SSampleHeader& h = data.header;
    CByteWriter w(out.data(), out.size());
    w.U32(0, kTypeRAW0);
    w.U64(4, h.time);
    w.U16(kRawChannel, h.channel);
    w.U16(kRawFlags, SampleFlags(data));
    w.F32(kRawDraught, Narrow(h.draught));
    w.F32(kRawFrequency, Narrow(h.frequency));
    w.F32(kRawPower, Narrow(h.power));
    w.F32(kRawPulse, Narrow(h.pulseDuration));
    w.F32(kRawBandwidth, Narrow(h.bandwidth));
    w.F32(kRawSampleInterval, Narrow(h.sampleInterval));
    w.F32(kRawSoundVelocity, Narrow(h.soundVelocity));
    w.F32(kRawAbsorption, Narrow(h.absorption));
    w.F32(kRawHeave, Narrow(h.heave));
    w.F32(kRawRoll1, Narrow(h.roll1));
    w.F32(kRawPitch1, Narrow(h.pitch1));
    w.F32(kRawTemperature, Narrow(h.temperature));
    w.I16(kRawTide, TideCentimetres(h.tide));
    w.U16(kRawTide + 2, 0);
    w.F32(kRawRoll2, Narrow(h.roll2));
    w.F32(kRawPitch2, Narrow(h.pitch2));
    w.U32(kRawSampleOffset, h.sampleOffset);
    w.U32(kRawCount, std::uint32_t(data.power.size()));
}

void CDatagramWriter::BuildSample(const SSampleData& data, CFramedDatagram& out)
{
    // The pieces a file takes in one gathered write, put together: every
    // byte is written, so a reused buffer is not cleared first.
    CSampleFrame frame;
    frame.Set(data);
    out.Resize(frame.BodySize());
    std::uint8_t* q = out.FramedData();
    for (const std::span<const std::uint8_t> piece : frame.Pieces()) {
        std::memcpy(q, piece.data(), piece.size());
        q += piece.size();
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
    BodyWriter(d, type, time).Text(kTextOffset, d.BodySize() - kTextOffset, text.substr(0, chars));
    return d;
}

CFramedDatagram CDatagramWriter::BuildProfile(std::string_view text, FileTime time, std::uint32_t kind)
{
    const std::size_t chars = std::min(text.size(), kSvpMaxChars);
    CFramedDatagram d(ProfileBodySize(chars));
    CByteWriter w = BodyWriter(d, kTypeSVP0, time);
    w.U32(kSvpKind, kind);
    w.Text(kSvpText, d.BodySize() - kSvpText, text.substr(0, chars));
    return d;
}

CFramedDatagram CDatagramWriter::BuildDepth(std::span<const SDepthEntry> entries, FileTime time)
{
    const std::size_t n = std::min(entries.size(), kDepMaxEntries);
    CFramedDatagram d(kDepEntries + kDepEntrySize * n);
    CByteWriter w = BodyWriter(d, kTypeDEP0, time);
    w.U32(kDepCount, std::uint32_t(n));
    for (std::size_t i = 0; i < n; ++i) {
        w.F32(kDepEntries + kDepEntrySize * i, Narrow(entries[i].depth));
        w.F32(kDepEntries + kDepEntrySize * i + 4, Narrow(entries[i].second));
    }
    return d;
}

}  // namespace zv::recording
