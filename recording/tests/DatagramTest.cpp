// Datagram bodies as written, and the bounded reader over intact and
// damaged streams.
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "recording/DatagramReader.h"
#include "recording/DatagramWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace zv::recording;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& stream, const CFramedDatagram& d)
{
    stream.insert(stream.end(), d.Framed().begin(), d.Framed().end());
}

// A copy in a heap block of exactly the stream's size, so the sanitizer
// catches any read past the end.
struct ExactBuffer
{
    explicit ExactBuffer(const Bytes& b) : size(b.size()), data(new std::uint8_t[b.size() ? b.size() : 1])
    {
        std::copy(b.begin(), b.end(), data.get());
    }
    std::size_t size;
    std::unique_ptr<std::uint8_t[]> data;
};

SConfigChannel Channel(double khz, const char* id)
{
    SConfigChannel ch;
    ch.id = id;
    ch.frequency = khz * 1000.0;
    ch.beamType = 1;
    ch.gain = 25.5;
    ch.transducerX = 1.25;
    ch.transducerY = -0.5;
    ch.transducerZ = 3.0;
    return ch;
}

SConfiguration Config(int channels)
{
    SConfiguration c;
    c.time = 0x01D9000012345678ULL;
    c.fileName = "L0003-D20260101-T120000-TEST.raw";
    c.lineText = "L0003";
    c.programName = "TEST";
    c.motionX = 0.5;
    c.motionY = 0.25;
    c.motionZ = -1.0;
    for (int i = 0; i < channels; ++i)
        c.channels.push_back(Channel(38.0 + i, ("CH" + std::to_string(i + 1)).c_str()));
    return c;
}

}  // namespace

TEST(DatagramTest, TextAndProfileBodySizes)
{
    struct Row
    {
        std::size_t chars;
        std::size_t text;
        std::size_t profile;
    };
    const Row rows[] = {
        {0, 16, 20},     {3, 16, 20},     {4, 20, 24},         {7, 20, 24},         {198, 212, 216},
        {199, 212, 216}, {500, 212, 520}, {24999, 212, 25016}, {40000, 212, 25016},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.chars);
        const std::string text(r.chars, 'x');
        const CFramedDatagram t = CDatagramWriter::BuildText(kTypeNME0, text, 42);
        EXPECT_EQ(t.BodySize(), r.text);
        const CFramedDatagram p = CDatagramWriter::BuildProfile(text, 42, kSvpKindRealTime);
        EXPECT_EQ(p.BodySize(), r.profile);

        // Read back: the text cut to its limit, NUL-terminated inside the body.
        SDatagramView v;
        CDatagramReader reader(t.Framed().data(), t.Framed().size());
        ASSERT_TRUE(reader.Next(v));
        std::string back;
        ASSERT_TRUE(CDatagramReader::ParseText(v, back));
        EXPECT_EQ(back, text.substr(0, 199));
        EXPECT_EQ(v.body[12 + back.size()], 0);

        CDatagramReader preader(p.Framed().data(), p.Framed().size());
        ASSERT_TRUE(preader.Next(v));
        std::uint32_t kind = 0;
        ASSERT_TRUE(CDatagramReader::ParseProfile(v, kind, back));
        EXPECT_EQ(kind, kSvpKindRealTime);
        EXPECT_EQ(back, text.substr(0, 24999));
    }
}

TEST(DatagramTest, SampleDatagramRoundTrip)
{
    const std::vector<std::int16_t> power = {kNoPower, -1, 0, 1, 32767, -32768, 1234};
    const std::vector<std::int16_t> angle = {0x7F80, 0x0102, -1, 0, 5, 6, 7};
    const std::vector<float> t1 = {1, 2, 3, 4, 5, 6, 7}, t2 = {-1, -2, -3, -4, -5, -6, -7};

    SSampleData d;
    d.header.time = 0x0123456789ABCDEFULL;
    d.header.channel = 3;
    d.header.draught = 4.5;
    d.header.frequency = 200000;
    d.header.power = 1000;
    d.header.pulseDuration = 0.000256;
    d.header.bandwidth = 8000;
    d.header.sampleInterval = 0.000064;
    d.header.soundVelocity = 1494.5;
    d.header.absorption = 0.05;
    d.header.heave = -0.75;
    d.header.roll1 = 2;
    d.header.pitch1 = -3;
    d.header.temperature = 11.5;
    d.header.tide = -1.239;  // truncates to -123 cm
    d.header.roll2 = 4;
    d.header.pitch2 = 5;
    d.power = power;

    struct Case
    {
        const char* name;
        bool angles;
        bool traces;
        std::size_t size;
        std::uint16_t flags;
    };
    const Case cases[] = {
        {"power only", false, false, 84 + 14, 1},
        {"power and angles", true, false, 84 + 28, 3},
        {"wide band", true, true, 84 + 28 + 56, 0xB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d.angle = c.angles ? std::span<const std::int16_t>(angle) : std::span<const std::int16_t>();
        d.trace1 = c.traces ? std::span<const float>(t1) : std::span<const float>();
        d.trace2 = c.traces ? std::span<const float>(t2) : std::span<const float>();
        const CFramedDatagram f = CDatagramWriter::BuildSample(d);
        ASSERT_EQ(f.BodySize(), c.size);
        SDatagramView v;
        CDatagramReader r(f.Framed().data(), f.Framed().size());
        ASSERT_TRUE(r.Next(v));
        SSampleView s;
        ASSERT_TRUE(CDatagramReader::ParseSample(v, s));
        EXPECT_EQ(s.header.flags, c.flags);
        EXPECT_EQ(s.header.time, d.header.time);
        EXPECT_EQ(s.header.channel, 3);
        EXPECT_FLOAT_EQ(s.header.soundVelocity, 1494.5f);
        EXPECT_FLOAT_EQ(s.header.pulseDuration, 0.000256f);
        EXPECT_DOUBLE_EQ(s.header.tide, -1.23);
        EXPECT_FLOAT_EQ(s.header.pitch2, 5.0f);
        EXPECT_EQ(s.PowerSamples(), power);
        // Past the count, and in an absent block, samples read as 0: the
        // next block's bytes or memory beyond the body are never taken.
        EXPECT_EQ(s.Power(7), 0);
        if (c.angles)
            EXPECT_EQ(s.AngleSamples(), angle);
        else
            EXPECT_FALSE(s.angle);
        EXPECT_EQ(s.Angle(c.angles ? 7 : 0), 0);
        if (c.traces) {
            EXPECT_EQ(s.Trace1(6), 7.0f);
            EXPECT_EQ(s.Trace2(0), -1.0f);
        } else {
            EXPECT_FALSE(s.trace1);
        }
        EXPECT_EQ(s.Trace2(7), 0.0f);
    }

    // No power samples: P = 0 and no blocks, whatever else is given.
    d.power = {};
    d.angle = angle;
    const CFramedDatagram empty = CDatagramWriter::BuildSample(d);
    EXPECT_EQ(empty.BodySize(), 84u);
    EXPECT_EQ(CByteReader(empty.Body()).U16(kRawFlags), 0);
    EXPECT_EQ(CByteReader(empty.Body()).U32(kRawCount), 0u);
}

TEST(DatagramTest, SampleDatagramBuiltIntoAUsedBufferKeepsNoOldBytes)
{
    // The recorder reuses one buffer per channel. A datagram built into a
    // buffer that held a longer one full of ones must give the bytes of a
    // fresh build, with the zeros that fill up short angle and trace blocks.
    const std::vector<std::int16_t> ones(40, -1);
    const std::vector<float> nan(40, std::numeric_limits<float>::quiet_NaN());
    SSampleData big;
    big.header.time = ~0ULL;
    big.header.heave = -1.0;
    big.power = ones;
    big.angle = ones;
    big.trace1 = nan;
    big.trace2 = nan;

    const std::vector<std::int16_t> power = {1, 2, 3, 4, 5, 6}, angle = {7, 8};
    const std::vector<float> t1 = {1.5f}, t2 = {2.5f, 3.5f, 4.5f};
    SSampleData small;
    small.header.time = 5;
    small.header.channel = 2;
    small.power = power;
    small.angle = angle;
    small.trace1 = t1;
    small.trace2 = t2;

    CFramedDatagram used;
    CDatagramWriter::BuildSample(big, used);
    CDatagramWriter::BuildSample(small, used);
    const CFramedDatagram fresh = CDatagramWriter::BuildSample(small);
    EXPECT_TRUE(std::ranges::equal(used.Framed(), fresh.Framed()));
    ASSERT_EQ(used.BodySize(), 84u + 12 + 12 + 24 + 24);
    CByteReader r(used.Body());
    EXPECT_EQ(r.I16(84 + 12 + 2), 8);
    // After angle 8, trace1 1.5 and trace2 4.5: zeros up to each block's end.
    const std::pair<std::size_t, std::size_t> zeros[] = {{100, 108}, {112, 132}, {144, 156}};
    for (const auto& [from, to] : zeros)
        for (std::size_t at = from; at < to; ++at)
            EXPECT_EQ(r.U8(at), 0) << "byte " << at;
    EXPECT_EQ(r.F32(84 + 48 + 8), 4.5f);
}

TEST(DatagramTest, ConfigurationChannelsByKind)
{
    SDatagramView v;
    SConfiguration back;

    // Raw kind: the first 8 of 10 channels.
    const CFramedDatagram raw = CDatagramWriter::BuildConfiguration(Config(10), CDatagramWriter::EChannels::All);
    EXPECT_EQ(raw.BodySize(), 528u + 8 * 320);
    CDatagramReader r(raw.Framed().data(), raw.Framed().size());
    ASSERT_TRUE(r.Next(v));
    ASSERT_TRUE(CDatagramReader::ParseConfiguration(v, back));
    ASSERT_EQ(back.channels.size(), 8u);
    EXPECT_EQ(back.fileName, "L0003-D20260101-T120000-TEST.raw");
    EXPECT_EQ(back.lineText, "L0003");
    EXPECT_EQ(back.programName, "TEST");
    EXPECT_FLOAT_EQ(back.motionZ, -1.0f);
    EXPECT_EQ(back.channels[7].id, "CH8");
    EXPECT_FLOAT_EQ(back.channels[7].frequency, 45000.0f);
    EXPECT_FLOAT_EQ(back.channels[0].gain, 25.5f);
    EXPECT_FLOAT_EQ(back.channels[0].transducerX, 1.25f);
    EXPECT_FLOAT_EQ(back.channels[0].transducerZ, 3.0f);
    EXPECT_EQ(back.channels[0].beamType, 1u);

    // Out kind with only the second switch on: one record, the second channel's.
    const bool out2[4] = {false, true, false, false};
    const CFramedDatagram out = CDatagramWriter::BuildConfiguration(Config(3), CDatagramWriter::EChannels::Out, out2);
    EXPECT_EQ(out.BodySize(), 528u + 320);
    EXPECT_EQ(CByteReader(out.Body()).U32(kConChannelCount), 1u);
    EXPECT_EQ(CByteReader(out.Body()).Text(528, 128), "CH2");

    // Texts longer than their area keep 127 characters and the NUL.
    SConfiguration longNames = Config(1);
    longNames.fileName = std::string(300, 'n');
    const CFramedDatagram l = CDatagramWriter::BuildConfiguration(longNames, CDatagramWriter::EChannels::All);
    CDatagramReader lr(l.Framed().data(), l.Framed().size());
    ASSERT_TRUE(lr.Next(v));
    ASSERT_TRUE(CDatagramReader::ParseConfiguration(v, back));
    EXPECT_EQ(back.fileName, std::string(127, 'n'));
}

TEST(DatagramTest, DepthDatagram)
{
    const SDepthEntry entries[] = {{12.5, 0.25}, {0.0, 0.0}};
    const CFramedDatagram d = CDatagramWriter::BuildDepth(entries, 7);
    EXPECT_EQ(d.BodySize(), 16u + 24);
    SDatagramView v;
    CDatagramReader r(d.Framed().data(), d.Framed().size());
    ASSERT_TRUE(r.Next(v));
    std::vector<SDepthEntry> back;
    ASSERT_TRUE(CDatagramReader::ParseDepth(v, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_FLOAT_EQ(back[0].depth, 12.5f);
    EXPECT_FLOAT_EQ(back[0].second, 0.25f);
    EXPECT_EQ(CByteReader(d.Body()).U32(16 + 8), 0u);
}

// --- golden bytes ------------------------------------------------------------

namespace {

// Bytes laid down by hand at the offsets of the file layout, with numbers
// written here rather than taken from the program's constants, so that a
// writer and a reader that agree with each other on a wrong place still fail.
struct Golden
{
    explicit Golden(std::size_t n) : b(n, 0) {}
    void U8(std::size_t at, std::uint8_t v) { b.at(at) = v; }
    void U16(std::size_t at, std::uint16_t v)
    {
        U8(at, std::uint8_t(v));
        U8(at + 1, std::uint8_t(v >> 8));
    }
    void U32(std::size_t at, std::uint32_t v)
    {
        U16(at, std::uint16_t(v));
        U16(at + 2, std::uint16_t(v >> 16));
    }
    void F32(std::size_t at, float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        U32(at, u);
    }
    void Text(std::size_t at, const std::string& t)
    {
        for (std::size_t i = 0; i < t.size(); ++i)
            U8(at + i, std::uint8_t(t[i]));
    }
    void Type(const char* t) { Text(0, t); }
    Bytes b;
};

SDatagramView ViewOf(const Bytes& body)
{
    SDatagramView v;
    v.body = body.data();
    v.size = body.size();
    CByteReader r(body);
    v.type = r.U32(0);
    v.time = r.U64(4);
    return v;
}

Bytes BodyOf(const CFramedDatagram& d)
{
    return Bytes(d.Body().begin(), d.Body().end());
}

}  // namespace

TEST(DatagramTest, ConfigurationChannelRecordSitsWhereTheLayoutSays)
{
    SConfiguration c = Config(0);
    SConfigChannel ch;
    ch.id = "T38 38 kHz";
    ch.beamType = 1;
    ch.frequency = 38000;
    ch.gain = 25.5;
    ch.twoWayBeamAngle = -20.5;
    ch.angleSensAlong = 21.75;
    ch.angleSensAthwart = 23.25;
    ch.beamWidthAlong = 7.0;
    ch.beamWidthAthwart = 7.25;
    ch.angleOffsetAlong = 0.125;
    ch.angleOffsetAthwart = -0.375;
    ch.transducerX = 1.5;
    ch.transducerY = -2.5;
    ch.transducerZ = 3.5;
    ch.transducerPitch = 1.25;
    ch.transducerRoll = -180.0;
    ch.transducerAzimuth = 90.0;
    c.channels = {ch};

    Golden g(528 + 320);
    g.Type("CON0");
    g.U32(4, 0x12345678);
    g.U32(8, 0x01D90000);
    g.Text(12, "L0003-D20260101-T120000-TEST.raw");
    g.Text(140, "L0003");
    g.Text(268, "TEST");
    g.F32(396, 0.5f);
    g.F32(400, 0.25f);
    g.F32(404, -1.0f);
    g.U32(524, 1);
    const std::size_t r = 528;
    g.Text(r + 0, "T38 38 kHz");
    g.U32(r + 128, 1);         // the integer field: beam type
    g.F32(r + 132, 38000.0f);  // frequency
    g.F32(r + 136, 25.5f);     // transceiver value 1: gain
    g.F32(r + 140, -20.5f);    // 2: two-way beam angle
    g.F32(r + 144, 7.0f);      // 6: 3 dB beam width alongship
    g.F32(r + 148, 7.25f);     // 7: 3 dB beam width athwartship
    g.F32(r + 152, 21.75f);    // 4: angle sensitivity alongship
    g.F32(r + 156, 23.25f);    // 5: angle sensitivity athwartship
    g.F32(r + 160, 0.125f);    // 8: angle offset alongship
    g.F32(r + 164, -0.375f);   // 9: angle offset athwartship
    g.F32(r + 168, 1.5f);      // channel setting 9: transducer X
    g.F32(r + 172, -2.5f);     // 10: Y
    g.F32(r + 176, 3.5f);      // 8: Z
    g.F32(r + 180, 1.25f);     // 12: pitch
    g.F32(r + 184, -180.0f);   // 11: roll
    g.F32(r + 188, 90.0f);     // 13: azimuth

    const Bytes written = BodyOf(CDatagramWriter::BuildConfiguration(c, CDatagramWriter::EChannels::All));
    EXPECT_EQ(written, g.b);

    SConfiguration back;
    ASSERT_TRUE(CDatagramReader::ParseConfiguration(ViewOf(g.b), back));
    ASSERT_EQ(back.channels.size(), 1u);
    const SConfigChannel& b = back.channels[0];
    EXPECT_EQ(b.id, "T38 38 kHz");
    const double got[] = {b.gain,           b.twoWayBeamAngle,  b.beamWidthAlong,   b.beamWidthAthwart,
                          b.angleSensAlong, b.angleSensAthwart, b.angleOffsetAlong, b.angleOffsetAthwart,
                          b.transducerX,    b.transducerY,      b.transducerZ,      b.transducerPitch,
                          b.transducerRoll, b.transducerAzimuth};
    const double want[] = {25.5, -20.5, 7.0, 7.25, 21.75, 23.25, 0.125, -0.375, 1.5, -2.5, 3.5, 1.25, -180.0, 90.0};
    for (std::size_t i = 0; i < std::size(want); ++i)
        EXPECT_DOUBLE_EQ(got[i], want[i]) << "value " << i;
}

TEST(DatagramTest, ConfigurationOfMoreThanEightChannelsKeepsTheFirstEight)
{
    // Nine records: the count says 9 and the body holds them all.
    Golden g(528 + 9 * 320);
    g.Type("CON0");
    g.U32(524, 9);
    for (std::uint32_t i = 0; i < 9; ++i) {
        g.Text(528 + 320 * i, "CH" + std::to_string(i + 1));
        g.F32(528 + 320 * i + 132, 1000.0f * float(i + 1));
    }
    SConfiguration back;
    std::string why;
    ASSERT_TRUE(CDatagramReader::ParseConfiguration(ViewOf(g.b), back, &why)) << why;
    EXPECT_EQ(back.recordedChannelCount, 9u);
    ASSERT_EQ(back.channels.size(), 8u);
    EXPECT_EQ(back.channels[7].id, "CH8");
    EXPECT_FLOAT_EQ(back.channels[7].frequency, 8000.0f);

    // A count that the body cannot back even for its first eight is refused.
    g.b.resize(528 + 7 * 320);
    EXPECT_FALSE(CDatagramReader::ParseConfiguration(ViewOf(g.b), back, &why));
}

TEST(DatagramTest, SampleDatagramBlocksSitWhereTheLayoutSaysForEachFlagValue)
{
    constexpr std::uint32_t n = 3;
    const std::vector<std::int16_t> power = {-20000, 100, -5};
    const std::vector<std::int16_t> angle = {0x0102, -2, 0x7F80};
    const std::vector<float> t1 = {1.5f, 2.5f, 3.5f}, t2 = {-1.0f, -2.0f, -3.0f};
    struct Row
    {
        const char* legend;
        std::uint16_t flags;
        std::size_t size;     // body length
        std::size_t angleAt;  // 0: no angle block
        std::size_t traceAt;  // 0: no trace arrays
        bool writable;        // the recorder itself writes this combination
    };
    const Row rows[] = {
        {"no samples", 0, 84, 0, 0, true},
        {"power", 1, 84 + 6, 0, 0, true},
        {"angles only, behind the power block's room", 2, 84 + 12, 90, 0, false},
        {"power and angles", 3, 84 + 12, 90, 0, true},
        {"power and trace arrays", 9, 84 + 6 + 24, 0, 90, true},
        {"angles and trace arrays", 10, 84 + 12 + 24, 90, 96, false},
        {"power, angles and trace arrays", 11, 84 + 12 + 24, 90, 96, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        const std::uint32_t count = row.flags ? n : 0;
        Golden g(row.size);
        g.Type("RAW0");
        g.U32(4, 0x89ABCDEF);
        g.U32(8, 0x01234567);
        g.U16(12, 2);  // channel
        g.U16(14, row.flags);
        g.F32(16, 4.5f);                               // draught
        g.F32(20, 38000.0f);                           // frequency
        g.F32(24, 1000.0f);                            // transmit power
        g.F32(28, 0.001f);                             // pulse duration
        g.F32(32, 3000.0f);                            // transceiver value 3: bandwidth
        g.F32(36, 0.000256f);                          // sample interval
        g.F32(40, 1490.0f);                            // sound velocity
        g.F32(44, 0.01f);                              // channel setting 5: absorption
        g.F32(48, -0.5f);                              // heave
        g.F32(52, 2.0f);                               // roll 1
        g.F32(56, -3.0f);                              // pitch 1
        g.F32(60, 9.5f);                               // water temperature
        g.U16(64, std::uint16_t(std::int16_t(-125)));  // tide, cm
        g.F32(68, 4.0f);                               // roll 2
        g.F32(72, -5.0f);                              // pitch 2
        g.U32(76, 0);                                  // sample offset
        g.U32(80, count);
        // The power block's room is there with flags 2 too, filled with what
        // must not be read as angles.
        for (std::uint32_t i = 0; i < count; ++i)
            g.U16(84 + 2 * i, row.flags & 1 ? std::uint16_t(power[i]) : 0x7777);
        if (row.angleAt)
            for (std::uint32_t i = 0; i < n; ++i)
                g.U16(row.angleAt + 2 * i, std::uint16_t(angle[i]));
        if (row.traceAt)
            for (std::uint32_t i = 0; i < n; ++i) {
                g.F32(row.traceAt + 4 * i, t1[i]);
                g.F32(row.traceAt + 12 + 4 * i, t2[i]);
            }

        SSampleView s;
        std::string why;
        ASSERT_TRUE(CDatagramReader::ParseSample(ViewOf(g.b), s, &why)) << why;
        EXPECT_EQ(s.header.flags, row.flags);
        EXPECT_EQ(s.header.channel, 2);
        EXPECT_EQ(s.header.time, 0x0123456789ABCDEFULL);
        EXPECT_FLOAT_EQ(s.header.draught, 4.5f);
        EXPECT_FLOAT_EQ(s.header.bandwidth, 3000.0f);
        EXPECT_FLOAT_EQ(s.header.absorption, 0.01f);
        EXPECT_FLOAT_EQ(s.header.temperature, 9.5f);
        EXPECT_DOUBLE_EQ(s.header.tide, -1.25);
        EXPECT_FLOAT_EQ(s.header.pitch2, -5.0f);
        EXPECT_EQ(s.count, count);
        EXPECT_EQ(bool(s.power), (row.flags & 1) != 0);
        if (row.flags & 1) {
            EXPECT_EQ(s.PowerSamples(), power);
        }
        EXPECT_EQ(bool(s.angle), row.angleAt != 0);
        if (row.angleAt) {
            EXPECT_EQ(s.AngleSamples(), angle);
        }
        EXPECT_EQ(bool(s.trace1), row.traceAt != 0);
        if (row.traceAt) {
            EXPECT_EQ(s.Trace1(2), 3.5f);
            EXPECT_EQ(s.Trace2(0), -1.0f);
        }

        // One byte short of the blocks the flags announce: refused.
        if (row.size > 84) {
            Bytes cut = g.b;
            cut.pop_back();
            EXPECT_FALSE(CDatagramReader::ParseSample(ViewOf(cut), s));
        }

        if (!row.writable)
            continue;
        SSampleData d;
        d.header = s.header;  // every value read back is a float, so it narrows to the same bytes
        if (row.flags & 1)
            d.power = power;
        if (row.flags & 2)
            d.angle = angle;
        if (row.flags & 8) {
            d.trace1 = t1;
            d.trace2 = t2;
        }
        EXPECT_EQ(BodyOf(CDatagramWriter::BuildSample(d)), g.b);
    }
}

// --- damaged streams -------------------------------------------------------

namespace {

// A stream of CON0, then three pings of two channels with a sentence between,
// and a short annotation as the very last datagram (24 bytes in all).
struct Stream
{
    Bytes bytes;
    std::vector<std::size_t> offsets;  // of every datagram
};

Stream GoodStream()
{
    Stream s;
    auto add = [&](const CFramedDatagram& d) {
        s.offsets.push_back(s.bytes.size());
        Append(s.bytes, d);
    };
    add(CDatagramWriter::BuildConfiguration(Config(2), CDatagramWriter::EChannels::All));
    const std::vector<std::int16_t> power(50, 100);
    for (int ping = 0; ping < 3; ++ping) {
        add(CDatagramWriter::BuildText(kTypeNME0, "$GPGGA,ping" + std::to_string(ping), 1000 + ping));
        for (std::uint16_t ch = 1; ch <= 2; ++ch) {
            SSampleData d;
            d.header.time = 1000 + ping;
            d.header.channel = ch;
            d.power = power;
            add(CDatagramWriter::BuildSample(d));
        }
    }
    add(CDatagramWriter::BuildText(kTypeTAG0, "end", 2000));
    return s;
}

struct ReadResult
{
    std::vector<std::string> kinds;  // type name of every datagram read
    std::size_t skipped = 0;
    int badBodies = 0;  // frames whose body parser refused them
};

ReadResult ReadAll(const Bytes& bytes)
{
    ExactBuffer buf(bytes);
    CDatagramReader r(buf.data.get(), buf.size);
    ReadResult res;
    SDatagramView v;
    while (r.Next(v)) {
        res.kinds.push_back(TypeName(v.type));
        bool ok = true;
        SConfiguration c;
        SSampleView s;
        std::string t;
        std::uint32_t k;
        std::vector<SDepthEntry> dep;
        if (v.type == kTypeCON0)
            ok = CDatagramReader::ParseConfiguration(v, c);
        else if (v.type == kTypeRAW0)
            ok = CDatagramReader::ParseSample(v, s);
        else if (v.type == kTypeSVP0)
            ok = CDatagramReader::ParseProfile(v, k, t);
        else if (v.type == kTypeDEP0)
            ok = CDatagramReader::ParseDepth(v, dep);
        else
            ok = CDatagramReader::ParseText(v, t);
        if (!ok)
            ++res.badBodies;
    }
    res.skipped = r.SkippedBytes();
    EXPECT_EQ(r.Offset(), buf.size);
    return res;
}

}  // namespace

TEST(DatagramTest, IntactStreamReadsWholeIncludingShortLastDatagram)
{
    const Stream s = GoodStream();
    const ReadResult r = ReadAll(s.bytes);
    EXPECT_EQ(r.kinds.size(), 1u + 3 * 3 + 1);
    EXPECT_EQ(r.kinds.back(), "TAG0");
    EXPECT_EQ(s.bytes.size() - s.offsets.back(), 24u);
    EXPECT_EQ(r.skipped, 0u);
    EXPECT_EQ(r.badBodies, 0);
}

TEST(DatagramTest, DamagedStreamsKeepEverythingUndamaged)
{
    const Stream good = GoodStream();
    const std::size_t all = good.offsets.size();
    const std::size_t raw1 = good.offsets[2];  // first RAW0, ping 0 channel 1
    struct Row
    {
        const char* legend;
        std::function<void(Bytes&)> damage;
        std::size_t framesRead;
        int badBodies;
    };
    const std::vector<Row> rows = {
        {"last datagram cut in half", [&](Bytes& b) { b.resize(good.offsets.back() + 12); }, all - 1, 0},
        {"cut inside the trailing length of the last", [&](Bytes& b) { b.pop_back(); }, all - 1, 0},
        {"only the first length word left", [&](Bytes& b) { b.resize(3); }, 0, 0},
        {"empty file", [&](Bytes& b) { b.clear(); }, 0, 0},
        {"1000 bytes of garbage between datagrams",
         [&](Bytes& b) {
             Bytes junk(1000);
             for (std::size_t i = 0; i < junk.size(); ++i)
                 junk[i] = std::uint8_t(i * 37 + 11);
             b.insert(b.begin() + std::ptrdiff_t(raw1), junk.begin(), junk.end());
         },
         all, 0},
        {"garbage of 0xFF lengths at the start", [&](Bytes& b) { b.insert(b.begin(), 64, 0xFF); }, all, 0},
        {"wrong trailing length on one sample datagram", [&](Bytes& b) { CByteWriter(b).U32(good.offsets[3] - 4, 5); },
         all - 1, 0},
        {"leading length larger than the file", [&](Bytes& b) { CByteWriter(b).U32(raw1, 0x7FFFFFF0); }, all - 1, 0},
        {"leading length smaller than a header", [&](Bytes& b) { CByteWriter(b).U32(raw1, 4); }, all - 1, 0},
        {"sample count far beyond the body", [&](Bytes& b) { CByteWriter(b).U32(raw1 + 4 + kRawCount, 0xFFFFFFFF); },
         all, 1},
        {"sample count one too many", [&](Bytes& b) { CByteWriter(b).U32(raw1 + 4 + kRawCount, 51); }, all, 1},
        {"angle flag without room for angles", [&](Bytes& b) { CByteWriter(b).U16(raw1 + 4 + kRawFlags, 3); }, all, 1},
        {"configuration with 9 channels", [&](Bytes& b) { CByteWriter(b).U32(4 + kConChannelCount, 9); }, all, 1},
        {"configuration count past its body", [&](Bytes& b) { CByteWriter(b).U32(4 + kConChannelCount, 3); }, all, 1},
        {"text without NUL fills its body",
         [&](Bytes& b) {
             const std::size_t o = good.offsets[1];
             const std::uint32_t len = CByteReader(b).U32(o);
             std::fill(b.begin() + std::ptrdiff_t(o + 4 + 12), b.begin() + std::ptrdiff_t(o + 4 + len), 'A');
         },
         all, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Bytes b = good.bytes;
        row.damage(b);
        const ReadResult r = ReadAll(b);
        EXPECT_EQ(r.kinds.size(), row.framesRead);
        EXPECT_EQ(r.badBodies, row.badBodies);
    }
}

TEST(DatagramTest, WrongTrailingLengthResynchronisesByOneByte)
{
    Stream s = GoodStream();
    CByteWriter(s.bytes).U32(s.offsets[2] + CByteReader(s.bytes).U32(s.offsets[2]) + 4, 1);
    ExactBuffer buf(s.bytes);
    CDatagramReader r(buf.data.get(), buf.size);
    SDatagramView v;
    ASSERT_TRUE(r.Next(v));
    ASSERT_TRUE(r.Next(v));
    EXPECT_FALSE(r.FrameAt(s.offsets[2], v));
    ASSERT_TRUE(r.Next(v));
    // The broken frame is passed over byte by byte, so exactly its length
    // counts as skipped and the next frame is found at its own offset.
    EXPECT_EQ(v.offset, s.offsets[3]);
    EXPECT_EQ(r.SkippedBytes(), s.offsets[3] - s.offsets[2]);
}
