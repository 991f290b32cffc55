#include "recording/DatagramReader.h"

namespace zv::recording {

std::string TypeName(std::uint32_t type)
{
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        const char c = char(type >> (8 * i));
        if (c >= 0x20 && c < 0x7f) s[i] = c;
    }
    return s;
}

std::vector<std::int16_t> SSampleView::PowerSamples() const
{
    std::vector<std::int16_t> v;
    if (power) {
        v.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) v[i] = Power(i);
    }
    return v;
}

std::vector<std::int16_t> SSampleView::AngleSamples() const
{
    std::vector<std::int16_t> v;
    if (angle) {
        v.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) v[i] = Angle(i);
    }
    return v;
}

bool CDatagramReader::FrameAt(std::size_t offset, SDatagramView& out) const
{
    // Every test is written so that no sum can wrap: the remaining room is
    // computed first and each length is compared against it.
    if (offset > m_size || m_size - offset < kFrameWords + kHeaderSize) return false;
    const std::size_t room = m_size - offset - kFrameWords;
    const std::uint32_t len = GetU32(m_data + offset);
    if (len < kHeaderSize || len > room) return false;
    if (GetU32(m_data + offset + 4 + len) != len) return false;
    out.offset = offset;
    out.body = m_data + offset + 4;
    out.size = len;
    out.type = GetU32(out.body);
    out.time = GetTime(out.body + 4);
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
    if (why) *why = text;
}
}  // namespace

bool CDatagramReader::ParseConfiguration(const SDatagramView& d, SConfiguration& out, std::string* why)
{
    if (d.type != kTypeCON0) return Why(why, "not a configuration datagram"), false;
    if (d.size < kConChannels) return Why(why, "configuration datagram too short"), false;
    const std::uint32_t count = GetU32(d.body + kConChannelCount);
    if (count > kConMaxChannels) return Why(why, "configuration holds more than 8 channels"), false;
    if (d.size < kConChannels + kConChannelSize * std::size_t(count))
        return Why(why, "configuration channel records run past the datagram"), false;
    out = SConfiguration{};
    out.time = d.time;
    out.fileName = GetText(d.body + kConText1, kConTextSize);
    out.lineText = GetText(d.body + kConText2, kConTextSize);
    out.programName = GetText(d.body + kConText3, kConTextSize);
    out.motionX = GetF32(d.body + kConMotionOffsets);
    out.motionY = GetF32(d.body + kConMotionOffsets + 4);
    out.motionZ = GetF32(d.body + kConMotionOffsets + 8);
    out.channels.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* rec = d.body + kConChannels + kConChannelSize * i;
        SConfigChannel& ch = out.channels[i];
        ch.id = GetText(rec + kConChId, kConTextSize);
        ch.beamType = GetU32(rec + kConChBeamType);
        ch.frequency = GetF32(rec + kConChFrequency);
        double* values[kConChValueCount] = {
            &ch.gain,           &ch.twoWayBeamAngle,  &ch.angleSensAlong,   &ch.angleSensAthwart,
            &ch.beamWidthAlong, &ch.beamWidthAthwart, &ch.angleOffsetAlong, &ch.angleOffsetAthwart,
            &ch.transducerX,    &ch.transducerY,      &ch.transducerZ,      &ch.transducerPitch,
            &ch.transducerRoll, &ch.transducerAzimuth};
        for (std::size_t k = 0; k < kConChValueCount; ++k) *values[k] = GetF32(rec + kConChValues + 4 * k);
    }
    return true;
}

bool CDatagramReader::ParseSample(const SDatagramView& d, SSampleView& out, std::string* why)
{
    if (d.type != kTypeRAW0) return Why(why, "not a sample datagram"), false;
    if (d.size < kRawData) return Why(why, "sample datagram too short"), false;
    const std::uint8_t* b = d.body;
    const std::uint16_t flags = GetU16(b + kRawFlags);
    const std::uint64_t count = GetU32(b + kRawCount);
    // Blocks in the order they are written: power, angles, two trace arrays.
    std::uint64_t need = kRawData;
    if (flags & kRawFlagPower) need += 2 * count;
    if (flags & kRawFlagAngle) need += 2 * count;
    if (flags & kRawFlagTrace) need += 8 * count;
    if (need > d.size) return Why(why, "sample counts run past the datagram"), false;

    out = SSampleView{};
    SSampleHeader& h = out.header;
    h.time = d.time;
    h.channel = GetU16(b + kRawChannel);
    h.flags = flags;
    h.draught = GetF32(b + kRawDraught);
    h.frequency = GetF32(b + kRawFrequency);
    h.power = GetF32(b + kRawPower);
    h.pulseDuration = GetF32(b + kRawPulse);
    h.bandwidth = GetF32(b + kRawBandwidth);
    h.sampleInterval = GetF32(b + kRawSampleInterval);
    h.soundVelocity = GetF32(b + kRawSoundVelocity);
    h.absorption = GetF32(b + kRawAbsorption);
    h.heave = GetF32(b + kRawHeave);
    h.roll1 = GetF32(b + kRawRoll1);
    h.pitch1 = GetF32(b + kRawPitch1);
    h.temperature = GetF32(b + kRawTemperature);
    h.tide = GetI16(b + kRawTide) / 100.0;
    h.roll2 = GetF32(b + kRawRoll2);
    h.pitch2 = GetF32(b + kRawPitch2);
    h.sampleOffset = GetU32(b + kRawSampleOffset);
    out.count = std::uint32_t(count);
    const std::uint8_t* q = b + kRawData;
    if (flags & kRawFlagPower) { out.power = q; q += 2 * count; }
    if (flags & kRawFlagAngle) { out.angle = q; q += 2 * count; }
    if (flags & kRawFlagTrace) { out.trace1 = q; out.trace2 = q + 4 * count; }
    return true;
}

bool CDatagramReader::ParseText(const SDatagramView& d, std::string& out)
{
    if (d.size < kTextOffset) return false;
    out = GetText(d.body + kTextOffset, d.size - kTextOffset);
    return true;
}

bool CDatagramReader::ParseProfile(const SDatagramView& d, std::uint32_t& kind, std::string& text)
{
    if (d.type != kTypeSVP0 || d.size < kSvpText) return false;
    kind = GetU32(d.body + kSvpKind);
    text = GetText(d.body + kSvpText, d.size - kSvpText);
    return true;
}

bool CDatagramReader::ParseDepth(const SDatagramView& d, std::vector<SDepthEntry>& out, std::string* why)
{
    if (d.type != kTypeDEP0) return Why(why, "not a depth datagram"), false;
    if (d.size < kDepEntries) return Why(why, "depth datagram too short"), false;
    const std::uint64_t n = GetU32(d.body + kDepCount);
    if (kDepEntries + kDepEntrySize * n > d.size) return Why(why, "depth entries run past the datagram"), false;
    out.resize(std::size_t(n));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i].depth = GetF32(d.body + kDepEntries + kDepEntrySize * i);
        out[i].second = GetF32(d.body + kDepEntries + kDepEntrySize * i + 4);
    }
    return true;
}

}  // namespace zv::recording
