#include "recording/DatagramReader.h"

#include <algorithm>

namespace zv::recording {

std::string TypeName(std::uint32_t type)
{
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        const char c = char(type >> (8 * i));
        if (c >= 0x20 && c < 0x7f)
            s[i] = c;
    }
    return s;
}

std::vector<std::int16_t> SSampleView::PowerSamples() const
{
    std::vector<std::int16_t> v(power.size());
    power.CopyTo(std::span(v));
    return v;
}

std::vector<std::int16_t> SSampleView::AngleSamples() const
{
    std::vector<std::int16_t> v(angle.size());
    angle.CopyTo(std::span(v));
    return v;
}

bool CDatagramReader::FrameAt(std::size_t offset, SDatagramView& out) const
{
    // Resynchronising asks at every byte, and only the last few are too short
    // for a frame: the common path runs straight through.
    if (offset > m_size || m_size - offset < kFrameWords + kHeaderSize) [[unlikely]]
        return false;
    // A length running past the data fails the read of the trailing length.
    CByteReader frame(m_data + offset, m_size - offset);
    const std::uint32_t len = frame.U32(0);
    if (len < kHeaderSize || frame.U32(4 + std::size_t(len)) != len || frame.Failed())
        return false;
    out.offset = offset;
    out.body = m_data + offset + 4;
    out.size = len;
    CByteReader body(out.body, len);
    out.type = body.U32(0);
    out.time = body.U64(4);
    return true;
}

bool CDatagramReader::Next(SDatagramView& out)
{
    while (m_offset < m_size) {
        if (FrameAt(m_offset, out)) {
            m_offset += out.FrameSize();
            return true;
        }
        if (m_size - m_offset < kFrameWords + kHeaderSize) {
            // Too short to hold any frame: the tail is garbage.
            m_skipped += m_size - m_offset;
            m_offset = m_size;
            break;
        }
        ++m_offset;
        ++m_skipped;
    }
    return false;
}

namespace {
void Why(std::string* why, const char* text)
{
    if (why)
        *why = text;
}
}  // namespace

bool CDatagramReader::ParseConfiguration(const SDatagramView& d, SConfiguration& out, std::string* why)
{
    if (d.type != kTypeCON0)
        return Why(why, "not a configuration datagram"), false;
    CByteReader b(d.body, d.size);
    const std::uint32_t count = b.U32(kConChannelCount);
    if (b.Failed())
        return Why(why, "configuration datagram too short"), false;
    // A recording of more channels than a configuration may hold is still
    // played: the first eight, which the caller is told about.
    const std::uint32_t kept = std::min<std::uint32_t>(count, kConMaxChannels);
    if (!b.Has(kConChannels, kConChannelSize * std::size_t(kept)))
        return Why(why, "configuration channel records run past the datagram"), false;
    out = SConfiguration{};
    out.recordedChannelCount = count;
    out.time = d.time;
    out.fileName = b.Text(kConText1, kConTextSize);
    out.lineText = b.Text(kConText2, kConTextSize);
    out.programName = b.Text(kConText3, kConTextSize);
    out.motionX = b.F32(kConMotionOffsets);
    out.motionY = b.F32(kConMotionOffsets + 4);
    out.motionZ = b.F32(kConMotionOffsets + 8);
    out.channels.resize(kept);
    for (std::uint32_t i = 0; i < kept; ++i) {
        const std::size_t rec = kConChannels + kConChannelSize * i;
        SConfigChannel& ch = out.channels[i];
        ch.id = b.Text(rec + kConChId, kConTextSize);
        ch.beamType = b.U32(rec + kConChBeamType);
        ch.frequency = b.F32(rec + kConChFrequency);
        for (const SConfigChannelField& f : kConfigChannelFields)
            ch.*f.value = b.F32(rec + f.offset);
    }
    return true;
}

bool CDatagramReader::ParseSample(const SDatagramView& d, SSampleView& out, std::string* why)
{
    if (d.type != kTypeRAW0)
        return Why(why, "not a sample datagram"), false;
    CByteReader b(d.body, d.size);
    const std::uint16_t flags = b.U16(kRawFlags);
    const std::uint64_t count = b.U32(kRawCount);
    if (b.Failed())
        return Why(why, "sample datagram too short"), false;
    // Blocks in the order they are written: power, angles, two trace arrays.
    // The angle block always lies behind the room of the power block, also
    // when the power flag is clear; the trace arrays follow the last block
    // that is there.
    const std::uint64_t powerAt = kRawData;
    const std::uint64_t angleAt = kRawData + 2 * count;
    std::uint64_t traceAt = kRawData;
    if (flags & kRawFlagPower)
        traceAt = angleAt;
    if (flags & kRawFlagAngle)
        traceAt = angleAt + 2 * count;
    const std::uint64_t need = traceAt + ((flags & kRawFlagTrace) ? 8 * count : 0);
    if (need > d.size)
        return Why(why, "sample counts run past the datagram"), false;

    out = SSampleView{};
    SSampleHeader& h = out.header;
    h.time = d.time;
    h.channel = b.U16(kRawChannel);
    h.flags = flags;
    h.draught = b.F32(kRawDraught);
    h.frequency = b.F32(kRawFrequency);
    h.power = b.F32(kRawPower);
    h.pulseDuration = b.F32(kRawPulse);
    h.bandwidth = b.F32(kRawBandwidth);
    h.sampleInterval = b.F32(kRawSampleInterval);
    h.soundVelocity = b.F32(kRawSoundVelocity);
    h.absorption = b.F32(kRawAbsorption);
    h.heave = b.F32(kRawHeave);
    h.roll1 = b.F32(kRawRoll1);
    h.pitch1 = b.F32(kRawPitch1);
    h.temperature = b.F32(kRawTemperature);
    h.tide = b.I16(kRawTide) / 100.0;
    h.roll2 = b.F32(kRawRoll2);
    h.pitch2 = b.F32(kRawPitch2);
    h.sampleOffset = b.U32(kRawSampleOffset);
    out.count = std::uint32_t(count);
    if (flags & kRawFlagPower)
        out.power = b.ArrayOf<std::int16_t>(std::size_t(powerAt), count);
    if (flags & kRawFlagAngle)
        out.angle = b.ArrayOf<std::int16_t>(std::size_t(angleAt), count);
    if (flags & kRawFlagTrace) {
        out.trace1 = b.ArrayOf<float>(std::size_t(traceAt), count);
        out.trace2 = b.ArrayOf<float>(std::size_t(traceAt + 4 * count), count);
    }
    return true;
}

bool CDatagramReader::ParseText(const SDatagramView& d, std::string& out)
{
    if (d.size < kTextOffset)
        return false;
    out = CByteReader(d.body, d.size).Text(kTextOffset, d.size - kTextOffset);
    return true;
}

bool CDatagramReader::ParseProfile(const SDatagramView& d, std::uint32_t& kind, std::string& text)
{
    if (d.type != kTypeSVP0 || d.size < kSvpText)
        return false;
    CByteReader b(d.body, d.size);
    kind = b.U32(kSvpKind);
    text = b.Text(kSvpText, d.size - kSvpText);
    return true;
}

bool CDatagramReader::ParseDepth(const SDatagramView& d, std::vector<SDepthEntry>& out, std::string* why)
{
    if (d.type != kTypeDEP0)
        return Why(why, "not a depth datagram"), false;
    CByteReader b(d.body, d.size);
    const std::uint64_t n = b.U32(kDepCount);
    if (b.Failed())
        return Why(why, "depth datagram too short"), false;
    if (!b.Has(kDepEntries, kDepEntrySize * n))
        return Why(why, "depth entries run past the datagram"), false;
    out.resize(std::size_t(n));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i].depth = b.F32(kDepEntries + kDepEntrySize * i);
        out[i].second = b.F32(kDepEntries + kDepEntrySize * i + 4);
    }
    return true;
}

}  // namespace zv::recording
