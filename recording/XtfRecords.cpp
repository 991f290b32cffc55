#include "recording/XtfRecords.h"

#include "base/StringHelpers.h"
#include "platform/ByteWriter.h"
#include "platform/NumberText.h"
#include "recording/RecordTime.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zv::recording {

namespace {

constexpr std::uint16_t kMagic = 0xFACE;
constexpr std::uint8_t kSonarHeader = 0;
constexpr std::uint8_t kNavigationHeader = 107;
constexpr std::size_t kChannelInfo = 256;
constexpr std::size_t kChannelInfoSize = 128;

float Narrow(double v)
{
    if (std::isnan(v))
        return std::numeric_limits<float>::quiet_NaN();
    return float(std::clamp(v, double(-std::numeric_limits<float>::max()), double(std::numeric_limits<float>::max())));
}

std::uint16_t Kilohertz(double hz)
{
    const double khz = std::trunc(hz / 1000.0);
    return khz >= 0.0 && khz <= 65535.0 ? std::uint16_t(khz) : std::uint16_t(khz > 0.0 ? 65535 : 0);
}

// The local time of a record: year, month, day, hour, minute, second.
void PutTime(CByteWriter& w, std::uint64_t time, SYSTEMTIME& st)
{
    st = CRecordTime::Local(time);
    w.U16(14, st.wYear);
    w.U8(16, std::uint8_t(st.wMonth));
    w.U8(17, std::uint8_t(st.wDay));
    w.U8(18, std::uint8_t(st.wHour));
    w.U8(19, std::uint8_t(st.wMinute));
    w.U8(20, std::uint8_t(st.wSecond));
}

// Sentences with a position and the two fields that hold it:
//   $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//          1      2        3 4         5
struct SNavigationType
{
    const char* type;
    int y, x;
};
constexpr SNavigationType kNavigationTypes[] = {
    {"GGA", 2, 4}, {"GLL", 1, 3}, {"GGK", 3, 5}, {"NL,", 4, 6}, {"LLQ", 3, 5}, {"LLK", 3, 5},
};

}  // namespace

std::uint16_t CXtfRecords::SampleValue(std::int16_t raw)
{
    // 0.011758984 dB a word above a floor 70 dB down, over the 16-bit range.
    const double v = std::clamp(double(raw) * 0.011758984 + 70.0, 0.0, 70.0);
    return std::uint16_t(std::min(std::trunc(v / 70.0 * 65536.0), 65535.0));
}

std::vector<std::uint8_t> CXtfRecords::BuildFileHeader(const SXtfFileHeader& header)
{
    std::vector<std::uint8_t> bytes(kFileHeaderSize, 0);
    CByteWriter w(bytes);
    const std::size_t listed = std::min(header.channels.size(), kMaxChannels);
    w.U8(0, 0x7B);  // FileFormat
    w.U8(1, 1);     // SystemType
    w.Text(2, 8, header.programName);
    w.Text(10, 8, header.version);
    w.Text(100, 64, header.fileName);
    w.U16(164, 3);  // NavUnits: latitude and longitude
    w.U16(166, std::uint16_t(listed));
    for (std::size_t k = 0; k < listed; ++k) {
        const SXtfChannelInfo& c = header.channels[k];
        const std::size_t at = kChannelInfo + kChannelInfoSize * k;
        w.U8(at + 0, c.side == 0 ? 1 : 2);  // TypeOfChannel: port, starboard
        w.U8(at + 1, std::uint8_t(k));      // SubChannelNumber
        w.U16(at + 2, 2);                   // CorrectionFlags
        w.U16(at + 4, 0);                   // UniPolar
        w.U16(at + 6, 2);                   // BytesPerSample
        w.Text(at + 12, 16, c.name);
        w.F32(at + 28, 5.0f);  // VoltScale
        w.F32(at + 32, Narrow(c.frequency));
        w.F32(at + 36, Narrow(c.horizBeamAngle));
        w.F32(at + 40, 30.0f);  // TiltAngle
        w.F32(at + 44, Narrow(c.beamWidth));
        w.F32(at + 48, Narrow(c.offsetX));
        w.F32(at + 52, Narrow(c.offsetY));
        w.F32(at + 56, Narrow(c.offsetZ));
        w.F32(at + 60, Narrow(c.offsetYaw));
        w.F32(at + 64, Narrow(c.offsetPitch));
        w.F32(at + 68, Narrow(c.offsetRoll));
    }
    return bytes;
}

void CXtfRecords::BuildPingRecord(const SXtfPing& ping, std::span<const SXtfPingChannel> channels,
                                  std::vector<std::uint8_t>& out)
{
    std::size_t size = kPingHeaderSize;
    for (const SXtfPingChannel& c : channels)
        size += kChannelHeaderSize + 2 * std::min<std::size_t>(c.samples.size(), kMaxSamples);
    out.assign(size, 0);
    CByteWriter w(out);
    w.U16(0, kMagic);
    w.U8(2, kSonarHeader);
    w.U8(3, 0);  // SubChannelNumber
    w.U16(4, std::uint16_t(channels.size()));
    w.U32(10, std::uint32_t(size));
    SYSTEMTIME st;
    PutTime(w, ping.time, st);
    w.U8(21, std::uint8_t(st.wMilliseconds / 10));  // HSeconds
    w.U32(28, ping.pingNumber);
    w.F32(32, Narrow(ping.soundVelocity));
    w.F32(72, Narrow(ping.soundVelocity));  // ComputedSoundVelocity
    w.F64(128, ping.shipY);
    w.F64(136, ping.shipX);
    w.F32(212, Narrow(ping.heading));

    std::size_t at = kPingHeaderSize;
    for (std::size_t k = 0; k < channels.size(); ++k) {
        const SXtfPingChannel& c = channels[k];
        const std::size_t n = std::min<std::size_t>(c.samples.size(), kMaxSamples);
        const double slantRange = double(c.sampleCount) * c.rangePerSample;
        w.U16(at + 0, std::uint16_t(k));  // ChannelNumber
        w.F32(at + 4, Narrow(slantRange));
        // Two-way travel time; a channel without a sound velocity has none.
        w.F32(at + 16, c.soundVelocity > 0.0 ? Narrow(slantRange / (0.5 * c.soundVelocity)) : 0.0f);
        w.U16(at + 24, 4);  // ProcessingFlags
        w.U16(at + 26, Kilohertz(c.frequency));
        w.U32(at + 42, std::uint32_t(n));
        at += kChannelHeaderSize;
        // The port side is written from the far end in, as it is drawn.
        for (std::size_t i = 0; i < n; ++i)
            w.U16(at + 2 * i, SampleValue(c.side == 0 ? c.samples[n - 1 - i] : c.samples[i]));
        at += 2 * n;
    }
}

bool CXtfRecords::BuildNavigationRecord(const std::string& sentence, std::uint64_t received,
                                        std::array<std::uint8_t, kNavigationSize>& out)
{
    if (sentence.size() < 6)
        return false;
    const std::string type = sentence.substr(3, 3);
    const SNavigationType* row = nullptr;
    for (const SNavigationType& r : kNavigationTypes)
        if (type == r.type)
            row = &r;
    if (!row)
        return false;
    double y = 0.0, x = 0.0;
    if (!CNumberText::TryParseDouble(GetField(sentence, ",", row->y), y) || !std::isfinite(y) ||
        !CNumberText::TryParseDouble(GetField(sentence, ",", row->x), x) || !std::isfinite(x))
        return false;
    out.fill(0);
    CByteWriter w(out.data(), out.size());
    w.U16(0, kMagic);
    w.U8(2, kNavigationHeader);
    w.U32(10, std::uint32_t(kNavigationSize));
    SYSTEMTIME st;
    PutTime(w, received, st);
    w.U16(21, st.wMilliseconds);
    w.F64(23, y);  // RawYcoordinate
    w.F64(31, x);  // RawXcoordinate
    return true;
}

}  // namespace zv::recording
