// The GEO unit's datagram road: the raw data buffer's ring and refusals,
// the port's headers, text telegrams and bad datagrams, against datagrams
// of the simulated unit's own encoding; the motion each channel's ping
// takes; and multipulse on the simulated unit through the engine.
#include "transceivers/GEO.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "engine/MultiPulse.h"
#include "platform/TempHives.h"
#include "sim/geo/GeoSimulator.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "testsupport/MultiPulseTrace.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"
#include "transceivers/QYNetPortGeo.h"
#include "transceivers/RawDataBuffer.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first)
{
    std::vector<std::uint8_t> b(n);
    std::iota(b.begin(), b.end(), first);
    return b;
}

TEST(GeoRawDataBuffer, StoresWholeDatagramsAndReadsThemInOrder)
{
    CRawDataBuffer buffer;
    const auto a = Bytes(600, 1);
    ASSERT_EQ(buffer.Write(a.data(), 400, 7, 0, false, 11, 600), CRawDataBuffer::kStored);
    EXPECT_EQ(buffer.GetEntryCount(), 0) << "an open datagram is not readable";
    ASSERT_EQ(buffer.Write(a.data() + 400, 200, 7, 1, true, 11, 600), CRawDataBuffer::kStored);
    const auto b = Bytes(50, 9);
    ASSERT_EQ(buffer.Write(b.data(), 50, 8, 0, true, 12, 50), CRawDataBuffer::kStored);
    EXPECT_EQ(buffer.GetNewestSequence(), 8);

    std::vector<std::uint8_t> out;
    std::int32_t sequence = 0;
    std::uint64_t time = 0;
    ASSERT_EQ(buffer.Read(out, sequence, time), 600u);
    EXPECT_EQ(out, a);
    EXPECT_EQ(sequence, 7);
    EXPECT_EQ(time, 11u);
    ASSERT_EQ(buffer.Read(out, sequence, time), 50u);
    EXPECT_EQ(out, b);
    EXPECT_EQ(buffer.Read(out, sequence, time), 0u);
}

TEST(GeoRawDataBuffer, RefusesForeignFragmentsOverlongDatagramsAndOverrunningTheReader)
{
    struct Case
    {
        const char* legend;
        std::int32_t secondSequence;
        std::uint32_t secondLength;
        int expected;
    };
    const Case cases[] = {
        {"a second fragment of a foreign sequence", 6, 100, CRawDataBuffer::kForeign},
        {"fragments that pass the announced total", 5, 101, CRawDataBuffer::kTooLong},
    };
    for (const Case& c : cases) {
        CRawDataBuffer buffer;
        const auto data = Bytes(300, 0);
        ASSERT_EQ(buffer.Write(data.data(), 100, 5, 0, false, 1, 200), CRawDataBuffer::kStored) << c.legend;
        EXPECT_EQ(buffer.Write(data.data(), c.secondLength, c.secondSequence, 1, true, 1, 200), c.expected) << c.legend;
        EXPECT_EQ(buffer.GetEntryCount(), 0) << c.legend << ": nothing stored";
    }

    // The ring: a datagram that would pass the wrap position starts over
    // at 0, unless the reader has not taken what lies there.
    CRawDataBuffer buffer;
    const std::uint32_t big = 400000;
    const auto data = Bytes(big, 0);
    ASSERT_EQ(buffer.Write(data.data(), big, 1, 0, true, 1, big), CRawDataBuffer::kStored);
    ASSERT_EQ(buffer.Write(data.data(), big, 2, 0, true, 1, big), CRawDataBuffer::kStored);
    EXPECT_EQ(buffer.Write(data.data(), big, 3, 0, true, 1, big), CRawDataBuffer::kOverrun)
        << "the third would overwrite the unread first";
    std::vector<std::uint8_t> out;
    std::int32_t sequence = 0;
    std::uint64_t time = 0;
    ASSERT_EQ(buffer.Read(out, sequence, time), big);
    ASSERT_EQ(buffer.Write(data.data(), big, 3, 0, true, 1, big), CRawDataBuffer::kStored) << "stored from 0";
    ASSERT_EQ(buffer.Read(out, sequence, time), big);
    EXPECT_EQ(sequence, 2) << "the second survived the wrap";
    EXPECT_EQ(out, data);
    ASSERT_EQ(buffer.Read(out, sequence, time), big);
    EXPECT_EQ(sequence, 3);
}

TEST(GeoSampleInterval, TiesKeepTheEarlierEntry)
{
    CTransceiver::StructChannelParameters r;
    // Binary fractions, so that the two distances are exactly equal.
    const double pulses[5] = {0.00048828125, 0.0009765625, 0.001953125, 0.00390625, 0.0078125};
    std::copy(std::begin(pulses), std::end(pulses), r.pulseLengthTable);
    for (int i = 0; i < 5; ++i)
        r.capability.sampleInterval[i] = (i + 1) * 1e-5;
    r.pulseLength = 0.00146484375;  // as far from the second entry as from the third
    EXPECT_DOUBLE_EQ(CTransceiver::SelectSampleInterval(r), 2e-5);
    r.pulseLength = 0.007;
    EXPECT_DOUBLE_EQ(CTransceiver::SelectSampleInterval(r), 5e-5);
}

class CPortOwner : public IGeoPortOwner
{
public:
    std::vector<geo::Bytes> sent;
    std::vector<std::string> texts;
    std::array<std::unique_ptr<CRawDataBuffer>, 4> buffers;
    bool resend = false;

    void SendToUnit(const geo::Bytes& d) override { sent.push_back(d); }
    void OnHeaderText(const std::string& text, std::uint64_t) override { texts.push_back(text); }
    CRawDataBuffer* ChannelBuffer(int channel) override
    {
        return channel >= 0 && channel < 4 ? buffers[static_cast<std::size_t>(channel)].get() : nullptr;
    }
    int GetChannelSetting(int channel) override { return 1000 + channel; }
    bool TakeResendFlag() override { return std::exchange(resend, false); }
};

TEST(GeoPort, StoresEachChannelsPingAndAcknowledgesEveryHeaderAndDatagram)
{
    CPortOwner owner;
    for (auto& b : owner.buffers)
        b = std::make_unique<CRawDataBuffer>();
    CQYNetPortGeo port(owner);
    CGeoSimulator::Settings settings;
    settings.samples = 1500;
    settings.datagramBytes = 4000;  // two datagrams of each channel
    CGeoSimulator sim(settings);
    owner.resend = true;
    for (const auto& d : sim.EncodePing(42))
        port.OnReceive(d.data(), d.size(), 5);
    for (int c = 0; c < 4; ++c) {
        std::vector<std::uint8_t> out;
        std::int32_t sequence = 0;
        std::uint64_t time = 0;
        ASSERT_EQ(owner.buffers[static_cast<std::size_t>(c)]->Read(out, sequence, time), 6000u) << c;
        EXPECT_EQ(sequence, 42);
    }
    EXPECT_EQ(port.GetDropped(), 0u);
    // Per channel: the header's, the last datagram's; the first of those
    // carried the resend flag and brought the two set-ups again.
    ASSERT_EQ(owner.sent.size(), 4u * 2u + 2u);
    EXPECT_EQ(owner.sent[1], geo::Acknowledge(true));
    EXPECT_EQ(owner.sent[2], geo::ChannelSetup(0, 1000));
    EXPECT_EQ(owner.sent[3], geo::ChannelSetup(1, 1001));
    EXPECT_EQ(owner.sent.back(), geo::Acknowledge(false));
}

TEST(GeoPort, TextHeadersGoToTheDecoderAndBadDatagramsAreDroppedAndCounted)
{
    CPortOwner owner;
    owner.buffers[0] = std::make_unique<CRawDataBuffer>();
    CQYNetPortGeo port(owner);

    // A text that fills the header to its end has no zero: it ends there.
    const std::string full(128 - 34, 'N');
    auto text = CGeoSimulator::EncodeTextHeader("$SDDBT,1.0,f,0.3,M,0.2,F*00");
    port.OnReceive(text.data(), text.size(), 1);
    text = CGeoSimulator::EncodeTextHeader("");
    std::memcpy(text.data() + 34, full.data(), full.size());
    text.resize(200, 'X');  // a datagram longer than a header is cut to one
    port.OnReceive(text.data(), text.size(), 1);
    ASSERT_EQ(owner.texts.size(), 2u);
    EXPECT_EQ(owner.texts[0], "$SDDBT,1.0,f,0.3,M,0.2,F*00");
    EXPECT_EQ(owner.texts[1], full);

    // No header where one is due, and more data than the header announced.
    const std::uint8_t junk[20] = {};
    port.OnReceive(junk, sizeof junk, 1);
    const auto header = CGeoSimulator::EncodeHeader(0, 3, 10);
    port.OnReceive(header.data(), header.size(), 1);
    const auto data = Bytes(44, 0);
    port.OnReceive(data.data(), data.size(), 1);
    EXPECT_EQ(port.GetDropped(), 2u);
    // The port is back to headers: the next ping of the channel is stored.
    port.OnReceive(header.data(), header.size(), 1);
    port.OnReceive(data.data(), 40, 1);
    EXPECT_EQ(owner.buffers[0]->GetEntryCount(), 1);
    // A header of a channel the unit does not have is read past.
    const auto other = CGeoSimulator::EncodeHeader(3, 4, 10);
    port.OnReceive(other.data(), other.size(), 1);
    port.OnReceive(data.data(), 40, 1);
    EXPECT_EQ(port.GetDropped(), 2u);
    EXPECT_EQ(owner.buffers[0]->GetEntryCount(), 1);
}

// A road on which the unit never answers.
class CQuietRoad final : public IDatagramLink
{
public:
    bool Send(Path, const BYTE*, std::size_t) override { return true; }
    int Receive(BYTE*, std::size_t, int) override
    {
        std::unique_lock lock(m_lock);
        m_stopCv.wait(lock, [this] { return m_stopped; });
        return kStopped;
    }
    void Stop() override
    {
        {
            std::lock_guard lock(m_lock);
            m_stopped = true;
        }
        m_stopCv.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_stopCv;
    bool m_stopped = false;
};

// Every present channel's ping takes the motion sensor's answer at the ping
// time: the channel's heave, roll and pitch, as a QY42 unit's do.
TEST(GeoPing, EveryChannelTakesTheMotionAtItsPing)
{
    class CByTime final : public IMotionSensor
    {
    public:
        bool GetMotionAtTime(std::uint64_t t, const TransducerOffsets&, double out[4]) override
        {
            const double seconds = static_cast<double>(t) / 1e7;
            out[0] = -0.01 * seconds;
            out[1] = 1.5;
            out[2] = -2.25;
            out[3] = -0.02 * seconds;
            ++asked;
            return true;
        }
        bool GetSensorOffsets(double&, double&, double&) const override { return false; }
        void ResetHistory() override {}
        std::atomic<int> asked{0};
    } motion;
    CTestTransceiverServices services;
    services.motion = &motion;
    InstalledTransceiverInfo info;
    info.type = TransceiverType::GEO;
    info.transceiverId = "TEST-G";
    std::vector<TransceiverChannelRecord> channels(3);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        channels[i].channelNo = static_cast<int>(i) + 1;
        channels[i].frequency = 38000.0 * static_cast<double>(i + 1);
        for (int k = 0; k < 5; ++k) {
            channels[i].pulseLength[k] = 0.000256 * (k + 1);
            channels[i].sampleInterval[k] = 0.0001;
        }
    }
    UnitTimings timings;
    CGEO unit(info, channels, nullptr, services, timings, std::make_unique<CQuietRoad>());
    ASSERT_TRUE(unit.IsRunning());

    unit.ProcessPing(100'000'000);  // 10 s
    // No bottom yet: both look-ups at the ping time, for each channel.
    EXPECT_EQ(motion.asked.load(), 6);
    for (int c = 0; c < 3; ++c) {
        CChannel* channel = unit.GetSlotChannel(c);
        ASSERT_NE(channel, nullptr);
        double m[6] = {};
        channel->GetPingMotion(m);
        EXPECT_DOUBLE_EQ(m[0], -0.1) << c;
        EXPECT_DOUBLE_EQ(m[1], 1.5) << c;
        EXPECT_DOUBLE_EQ(m[2], -2.25) << c;
        EXPECT_DOUBLE_EQ(m[3], 1.5) << c;
        EXPECT_DOUBLE_EQ(m[4], -2.25) << c;
        EXPECT_DOUBLE_EQ(channel->GetLastPingValue(), -0.2) << c;
    }
    // A ping without a time asks nothing and carries no motion.
    unit.ProcessPing(0);
    EXPECT_EQ(motion.asked.load(), 6);
    EXPECT_DOUBLE_EQ(unit.GetSlotChannel(0)->GetLastPingValue(), 0.0);
}

// ---------------------------------------------------------------------------
// Multipulse on the simulated unit, inside a network namespace of the
// test's own (the unit's port is privileged): over a flat bottom the
// tracker locks on after five pings and paces the pings at the bottom's
// two-way travel time; a jump of the bottom beyond its window lets go after
// five misses, and the new bottom is locked on five pings later.

int MultipulseOnTheGeoUnit()
{
    using namespace std::chrono_literals;
    nettest::Checks check;
    CGeoSimulator::Settings settings;
    settings.channels = 1;
    CGeoSimulator sim(settings);
    if (!check(sim.Start(), "GEO simulator on 127.0.0.2"))
        return check.failures;

    CTempHives hives;
    CRegistrySupport reg;
    if (!check(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"), "root keys"))
        return check.failures;
    CTransceiverInstallation installation;
    installation.Initialize();
    {
        CTrList e;
        e.transceiverId = "GEO";
        e.channelNo = 1;
        e.type = TransceiverType::GEO;
        e.unitAddress = settings.address;
        e.frequencyKHz = 38;
        e.frequency = 38000.0;
        e.txPower = 1000.0;
        e.minMedMaxTxPower = "100 500 1000";
        e.sampleInterval = "0.0001";
        e.minMedMaxPulseLength = "0.000256 0.000512 0.001024 0.002048 0.004096";
        e.gain = "26";
        const std::string description = "T38 38 kHz 1";
        e.FormatDescription(&description, TransceiverType::GEO);
        HKEY key = installation.OpenChannelsKey();
        installation.WriteChannelEntry(e, key);
        reg.CloseKey(key);
    }

    CTestTransceiverServices services;
    UnitTimings timings;
    timings.receiveWaitMs = 300;
    timings.geoStartPauseMs = 50;
    timings.timeoutLogPath.clear();
    CTestEchoSounderHost host;
    CGEO* unit = nullptr;
    host.createTransceiver = [&](TransceiverType, int index, const InstalledTransceiverInfo& info, HKEY key) {
        auto t = CGEO::Create({installation, index, info, key, services, timings});
        unit = dynamic_cast<CGEO*>(t.get());
        return t;
    };
    zv::test::CMultiPulseTrace trace;
    // Reset before what its unit and workers call goes.
    auto sounder = std::make_unique<CEchoSounder>();
    host.documentsNotify = [&] {
        CChannel* channel = unit ? unit->GetSlotChannel(0) : nullptr;
        if (!channel)
            return;
        const CMultiPulse* tracker = sounder->GetMultiPulse();
        trace.Add({channel->GetBottomDepth(), tracker ? tracker->GetState() : -1,
                   sounder->GetRateMode() == CEchoSounder::kInterval, sounder->GetInterval()});
        // Range enough for the bottom after its jump.
        channel->RequestRange(150.0);
    };
    CEchoSounder::Context c;
    c.host = &host;
    c.installation = &installation;
    c.workerStartDelayMs = 0;
    // The trigger goes straight to the unit rather than to the broadcast.
    c.triggerDestination = "127.0.0.2";
    if (check(sounder->Create(c, nullptr, CEchoSounder::kNormal, CEchoSounder::kMultiPulse, nullptr,
                              CEchoSounder::kTriggerInternal, 0, "", 0),
              "sounder created") &&
        check(unit != nullptr && unit->IsRunning(), "GEO unit running")) {
        check(zv::test::WaitUntil([&] { return trace.Size() >= 15; }, 60s), "15 pings over the flat bottom");
        const std::size_t jump = trace.Size();
        sim.SetBottomDepth(80.0);
        check(zv::test::WaitUntil([&] { return trace.Size() >= jump + 25; }, 60s), "25 pings after the jump");
        // Two samples of 0.075 m.
        zv::test::CheckLockAndJump(trace.Steps(), 30.0, 80.0, jump, 1500.0, 0.15, check);
    }
    sounder.reset();
    reg.CloseRootKeys();
    return check.failures;
}

TEST(GeoEngine, MultipulseLocksOnAFlatBottomAndLetsGoOfAJump)
{
    nettest::RunNamespaceTest(MultipulseOnTheGeoUnit);
}

}  // namespace
