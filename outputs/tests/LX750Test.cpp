// The post-processing output against the post-processing program's own
// decoder (sim/lx750) on loopback: the datagrams of a ping, the vessel log
// on its two paths, the forwarded telegrams, the destination and the
// settings dialog's rules.
#include "outputs/LX750.h"

#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/TempHives.h"
#include "sensors/SpeedSource.h"
#include "sim/lx750/LX750Decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using zv::sim::CLX750Decoder;
using zv::sim::SLX750Datagram;
using Kind = SLX750Datagram::Kind;

std::uint64_t At(int day, int hour, int minute, int second, int ms)
{
    SYSTEMTIME st{};
    st.wYear = 2026;
    st.wMonth = 12;
    st.wDay = WORD(day);
    st.wHour = WORD(hour);
    st.wMinute = WORD(minute);
    st.wSecond = WORD(second);
    st.wMilliseconds = WORD(ms);
    std::uint64_t t = 0;
    CFileTime::FromSystemTime(st, t);
    return t;
}

class FakeSpeed : public ISpeedSource
{
public:
    bool GetSpeedKnots(double& k) const override
    {
        k = knots;
        return present;
    }
    double knots = 0.0;
    bool present = true;
};

class FakeClock : public IClock
{
public:
    std::uint64_t FileTimeNow() override { return now; }
    std::uint64_t MonotonicNow() override { return 0; }
    std::uint64_t now = At(7, 1, 2, 3, 450);
};

class FakePing : public IQYNetPingSource
{
public:
    int channels = 2;
    std::uint64_t pingTime = At(7, 1, 2, 3, 450);
    int targets = 45;
    int GetChannelCount() override { return channels; }
    bool GetChannelPing(int i, SQYNetChannelPing& c) override
    {
        c.processed = true;
        c.pingTime = pingTime;
        c.depth = 20.0 + i;
        c.frequency = 38000.0 + 82000.0 * i;
        c.soundVelocity = 1470.0;
        c.transceiverSoundVelocity = 1493.4;
        c.pulseLength = 0.001024;
        c.transducer = "T38 38 kHz";
        return true;
    }
    bool GetSamples(int i, std::int16_t* out, int n, double, double, int, int reference) override
    {
        for (int k = 0; k < n; ++k)
            out[k] = std::int16_t(reference == 0 ? -k : 100 * i + k);
        return true;
    }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>& out) override
    {
        out.clear();
        for (int t = 0; t < targets; ++t)
            out.push_back({float(t), -40.0f, -41.0f, 0.5f, -0.5f});
        return int(out.size());
    }
    double GetEnvironmentSoundVelocity() override { return 1500.0; }
    bool GetWaterTemperature(double&) override { return false; }
};

class LX750Test : public ::testing::Test
{
protected:
    LX750Test()
    {
        CFileTime::SetClock(&clock);
        listener.Create(CSocket::Udp);
        listener.Bind(SocketAddress(SocketAddress::kLoopback, 0));
        listener.SetReceiveBufferSize(1 << 22);
        settings.DestPort = listener.LocalAddress().port;
        out.ApplySettings(settings);
    }
    ~LX750Test() override { CFileTime::SetClock(nullptr); }

    void Switch(std::uint32_t CLX750::Settings::*member)
    {
        settings.*member = 1;
        out.ApplySettings(settings);
    }

    // Everything up to a marker sent after it, decoded.
    std::vector<SLX750Datagram> Drain()
    {
        CSocket marker;
        marker.Create(CSocket::Udp);
        marker.SendTo("END", 3, listener.LocalAddress());
        std::vector<SLX750Datagram> got;
        std::vector<std::uint8_t> b(70000);
        for (;;) {
            const int n = listener.ReceiveFrom(b.data(), b.size(), nullptr, 2000);
            if (n < 0 || (n == 3 && std::memcmp(b.data(), "END", 3) == 0))
                break;
            SLX750Datagram d;
            std::string why;
            EXPECT_TRUE(CLX750Decoder::Decode(std::span(b.data(), std::size_t(n)), d, why)) << why;
            got.push_back(d);
        }
        return got;
    }

    FakeClock clock;
    FakeSpeed speed;
    bool replaying = false;
    CSocket listener;
    CLX750::Settings settings;
    CLX750 out{nullptr, speed, [this] { return replaying; }};
    FakePing ping;
};

TEST_F(LX750Test, WithEverySwitchOffAPingSendsNothing)
{
    out.SendPingDatagrams(ping);
    out.ForwardTelegram("$GPVTG,1");
    EXPECT_TRUE(Drain().empty());
}

// The sound velocity once per ping, before the first channel's frequency;
// then each channel's frequency, pulse length and transducer type.
TEST_F(LX750Test, ParameterTelegramsOfAPing)
{
    Switch(&CLX750::Settings::ParameterDatagram);
    out.SendPingDatagrams(ping);
    const auto got = Drain();
    std::vector<std::string> texts;
    for (const auto& d : got) {
        EXPECT_EQ(d.kind, Kind::Parameter);
        EXPECT_EQ(d.time, "01020345");
        EXPECT_EQ(d.bytes, d.text.size() + 13) << "PR, time, comma, text and its NUL";
        texts.push_back(d.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "/UTILITY MENU/Sound Velocity=1493 m/s",
                         "/TRANSCEIVER MENU/Transceiver-1 Menu/Frequency=38 kHz",
                         "/TRANSCEIVER MENU/Transceiver-1 Menu/Pulse Length=1.024 ms",
                         "/TRANSCEIVER MENU/Transceiver-1 Menu/Transducer Type=T38 38 kHz",
                         "/TRANSCEIVER MENU/Transceiver-2 Menu/Frequency=120 kHz",
                         "/TRANSCEIVER MENU/Transceiver-2 Menu/Pulse Length=1.024 ms",
                         "/TRANSCEIVER MENU/Transceiver-2 Menu/Transducer Type=T38 38 kHz",
                     }));
}

TEST_F(LX750Test, EchogramDatagramLayoutAndLimit)
{
    settings.EchogramDatagram = 1;
    settings.EchogramRangeSurface = 100.0;
    settings.EchogramRangeSurfaceStart = 5.0;
    settings.EchogramRangeBottom = 15.0;
    settings.EchogramRangeBottomStart = 10.0;
    struct Case
    {
        const char* legend;
        std::uint32_t S, B, tvg;
        std::size_t bytes;  // 0: none sent
    };
    const Case cases[] = {
        {"the dialog's largest counts", 500, 200, 1, 1444},
        {"714 samples fill one datagram", 500, 214, 3, 1472},
        {"715 samples are not sent", 500, 215, 1, 0},
        {"no bottom samples", 3, 0, 2, 50},
    };
    ping.channels = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        settings.EchogramSurfaceCount = c.S;
        settings.EchogramBottomCount = c.B;
        settings.TVGType = c.tvg;
        out.ApplySettings(settings);
        out.SendPingDatagrams(ping);
        const auto got = Drain();
        if (c.bytes == 0) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        ASSERT_EQ(got.size(), 1u);
        const SLX750Datagram& q = got[0];
        EXPECT_EQ(q.kind, Kind::Echogram);
        EXPECT_EQ(q.bytes, c.bytes);
        EXPECT_EQ(q.channel, '1');
        EXPECT_EQ(q.time, "01020345");
        EXPECT_EQ(q.tvg, c.tvg == 1 ? 0u : 2u);
        EXPECT_EQ(q.bottomDepth, 20.0f);
        EXPECT_EQ(q.surfaceStart, 5.0f);
        EXPECT_EQ(q.surfaceEnd, 105.0f);
        EXPECT_EQ(q.bottomStart, 10.0f);
        EXPECT_EQ(q.bottomEnd, -5.0f);
        ASSERT_EQ(q.surface.size(), c.S);
        ASSERT_EQ(q.bottom.size(), c.B);
        EXPECT_EQ(q.surface.back(), -std::int16_t(c.S - 1));
        if (c.B) {
            EXPECT_EQ(q.bottom.back(), std::int16_t(c.B - 1));
        }
    }
}

// A channel number of 10 or more is tagged by its first digit.
TEST_F(LX750Test, TwelveChannelsAreTaggedByTheirFirstDigit)
{
    settings.EchogramDatagram = 1;
    settings.EchogramSurfaceCount = 2;
    settings.EchogramBottomCount = 1;
    out.ApplySettings(settings);
    ping.channels = 12;
    out.SendPingDatagrams(ping);
    std::string tags;
    for (const auto& d : Drain())
        tags += d.channel;
    EXPECT_EQ(tags, "123456789111");
}

TEST_F(LX750Test, EchoTraceCarriesAtMostThirtyTargets)
{
    Switch(&CLX750::Settings::EchoTraceDatagram);
    ping.channels = 1;
    out.SendPingDatagrams(ping);
    auto got = Drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::EchoTrace);
    EXPECT_EQ(got[0].bytes, 616u);
    ASSERT_EQ(got[0].targets.size(), 30u);
    EXPECT_EQ(got[0].targets[29], (std::array<float, 5>{29.0f, -40.0f, -41.0f, 0.5f, -0.5f}));

    ping.targets = 0;
    out.SendPingDatagrams(ping);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(LX750Test, VesselLogTelegram)
{
    SLX750Datagram d;
    std::string why;
    const auto b = CLX750::BuildVesselLog(At(7, 23, 59, 58, 999), 12.345);
    ASSERT_TRUE(CLX750Decoder::Decode(b, d, why)) << why;
    EXPECT_EQ(d.kind, Kind::VesselLog);
    EXPECT_EQ(d.bytes, 24u);
    EXPECT_EQ(d.time, "23595899");
    EXPECT_EQ(d.date, "261207");
    EXPECT_EQ(d.distance, 12.345f);
}

// The forwarded telegram always ends with a NUL and fills a multiple of 4
// bytes, at most 80; no character is given up for the NUL but past 79.
TEST_F(LX750Test, ForwardedTelegramsArePaddedWithNul)
{
    struct Case
    {
        const char* legend;
        std::size_t characters;
        std::size_t bytes;  // 0: nothing sent
    };
    const Case cases[] = {
        {"13 characters and 3 NULs", 13, 16},    {"12 characters keep their last one", 12, 16},
        {"3 characters and one NUL", 3, 4},      {"79 characters fill the buffer", 79, 80},
        {"a longer text is cut to 79", 120, 80}, {"an empty text sends nothing", 0, 0},
    };
    Switch(&CLX750::Settings::NavigationDatagram);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::string text = "$GPVTG";
        while (text.size() < c.characters)
            text += char('0' + text.size() % 10);
        text.resize(c.characters);
        out.ForwardTelegram(text);
        const auto got = Drain();
        if (c.bytes == 0) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].kind, Kind::Navigation);
        EXPECT_EQ(got[0].bytes, c.bytes);
        EXPECT_EQ(got[0].text, text.substr(0, 79));
    }
}

// Live, every 250 ms tick sails speed × 250 ms; at 10 knots a step of
// 0.005 nm is due every 1.8 s (7.2 ticks), stamped with the clock.
TEST_F(LX750Test, TimerPathStepsEveryPointZeroZeroFiveMiles)
{
    Switch(&CLX750::Settings::VesselLogDatagram);
    speed.knots = 10.0;
    std::vector<int> stepTicks;
    for (int tick = 1; tick <= 80; ++tick) {
        clock.now += 250 * CFileTime::kTicksPerMillisecond;
        out.OnVesselLogTimer();
        for (const auto& d : Drain()) {
            EXPECT_EQ(d.kind, Kind::VesselLog);
            EXPECT_EQ(d.time, CLX750::TimeText(clock.now));
            EXPECT_NEAR(d.distance, 0.005 * double(stepTicks.size() + 1), 1e-6);
            stepTicks.push_back(tick);
        }
    }
    ASSERT_EQ(stepTicks.size(), 11u);  // 80 ticks: 20 s, 0.0556 nm
    EXPECT_EQ(stepTicks[0], 8);
    for (std::size_t i = 1; i < stepTicks.size(); ++i)
        EXPECT_TRUE(stepTicks[i] - stepTicks[i - 1] == 7 || stepTicks[i] - stepTicks[i - 1] == 8) << i;
    EXPECT_NEAR(out.GetDistance(), 0.055, 1e-12);
}

// A jump of the sailed distance is worked off one step a tick; while
// replaying, without navigation or with a speed that is no speed, the timer
// adds nothing.
TEST_F(LX750Test, TimerPathBacklogAndWhenItRestsStill)
{
    speed.knots = 1000.0;  // 0.0694 nm in one tick: 13 steps due
    out.OnVesselLogTimer();
    speed.knots = 0.0;
    for (int tick = 0; tick < 20; ++tick)
        out.OnVesselLogTimer();
    EXPECT_NEAR(out.GetDistance(), 13 * 0.005, 1e-12);

    const double before = out.GetDistance();
    speed.knots = 1000.0;
    replaying = true;
    out.OnVesselLogTimer();
    replaying = false;
    speed.present = false;
    out.OnVesselLogTimer();
    speed.present = true;
    for (double knots : {std::nan(""), -5.0, std::numeric_limits<double>::infinity()}) {
        speed.knots = knots;
        out.OnVesselLogTimer();
    }
    EXPECT_EQ(out.GetDistance(), before);
}

// In replay the log follows the ping times: the first ping, and one not
// later than the one before, start it at 0.
TEST_F(LX750Test, ReplayPathFollowsThePingTimes)
{
    Switch(&CLX750::Settings::VesselLogDatagram);
    replaying = true;
    out.SetDistance(42.0);
    speed.knots = 10.0;
    const std::uint64_t t0 = At(7, 1, 0, 0, 0);
    struct Case
    {
        const char* legend;
        std::int64_t after;  // ms after t0
        double knots;
        std::size_t logs;
        double distance;
    };
    const Case cases[] = {
        {"the first ping starts the log at 0", 0, 10.0, 0, 0.0},
        {"1.7 s at 10 knots is no step yet", 1700, 10.0, 0, 0.0},
        {"0.15 s more makes the first", 1850, 10.0, 1, 0.005},
        {"a negative speed adds nothing", 60000, -10.0, 0, 0.005},
        {"nor does one that is no number", 120000, std::nan(""), 0, 0.005},
        {"a ping not later than the last starts anew", 120000, 10.0, 0, 0.0},
        {"18.1 s at 10 knots: ten steps", 138100, 10.0, 10, 0.05},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        speed.knots = c.knots;
        ping.pingTime = t0 + std::uint64_t(c.after) * CFileTime::kTicksPerMillisecond;
        out.SendPingDatagrams(ping);
        const auto got = Drain();
        EXPECT_EQ(got.size(), c.logs);
        for (const auto& d : got)
            EXPECT_EQ(d.time, CLX750::TimeText(ping.pingTime));
        EXPECT_NEAR(out.GetDistance(), c.distance, 1e-9);
    }
}

// Replayed files that span days jump by hundreds of thousands of steps in
// one ping: a bounded number of VLs, the rest of the distance in one more.
TEST_F(LX750Test, ReplayJumpOfDaysIsBoundedPerPing)
{
    Switch(&CLX750::Settings::VesselLogDatagram);
    replaying = true;
    speed.knots = 10.0;
    ping.pingTime = At(7, 0, 0, 0, 0);
    out.SendPingDatagrams(ping);
    ping.pingTime = At(10, 0, 0, 0, 0);  // 3 days: 720 nm, 144000 steps
    out.SendPingDatagrams(ping);
    const auto got = Drain();
    ASSERT_EQ(got.size(), std::size_t(CLX750::kMaxVesselLogStepsPerPing) + 1);
    EXPECT_NEAR(got[0].distance, 0.005, 1e-6);
    EXPECT_NEAR(got[got.size() - 2].distance, 0.5, 1e-5);
    EXPECT_NEAR(out.GetDistance(), 720.0, 1e-6);
    EXPECT_EQ(got.back().distance, float(out.GetDistance()));
}

// An address that does not parse is no destination, never a broadcast; a
// typed 255.255.255.255 is one.
TEST_F(LX750Test, DestinationMustParse)
{
    settings.DestAddr = "post.processing";
    out.ApplySettings(settings);
    EXPECT_FALSE(out.IsReady());
    EXPECT_FALSE(out.SendDatagram(CLX750::BuildVesselLog(clock.now, 1.0)));

    settings.DestAddr = "255.255.255.255";
    out.ApplySettings(settings);
    EXPECT_TRUE(out.IsReady());

    settings.DestAddr = "127.0.0.1";
    out.ApplySettings(settings);
    EXPECT_TRUE(out.SendDatagram(CLX750::BuildVesselLog(clock.now, 1.0)));
    EXPECT_EQ(Drain().size(), 1u);
}

// A send that fails closes the socket; the next datagram opens a new one.
TEST_F(LX750Test, SocketOpensAgainAfterAFailedSend)
{
    const std::vector<std::uint8_t> tooLarge(70000, 0);
    EXPECT_FALSE(out.SendDatagram(tooLarge));
    EXPECT_FALSE(out.IsReady());
    EXPECT_TRUE(out.SendDatagram(CLX750::BuildVesselLog(clock.now, 2.0)));
    ASSERT_EQ(Drain().size(), 1u);
}

// OK takes every value, but Distance, the address and the port only where
// they were edited: a step taken while the dialog was open stays.
TEST_F(LX750Test, DialogReplacesOnlyWhatWasEdited)
{
    out.SetDistance(1.0);
    const CLX750::DialogValues opened = out.GetDialogValues();
    EXPECT_EQ(opened.address, (std::array<int, 4>{127, 0, 0, 1}));
    EXPECT_EQ(opened.port, settings.DestPort);
    out.SetDistance(1.005);  // a step meanwhile

    CLX750::DialogValues edited = opened;
    edited.vesselLog = true;
    edited.surfaceCount = 100;
    edited.rangeBottomStart = 3.0;
    out.ApplyDialogValues(opened, edited);
    EXPECT_EQ(out.GetDistance(), 1.005);
    CLX750::Settings s = out.GetSettings();
    EXPECT_EQ(s.VesselLogDatagram, 1u);
    EXPECT_EQ(s.EchogramSurfaceCount, 100u);
    EXPECT_EQ(s.EchogramRangeBottomStart, 3.0);
    EXPECT_EQ(s.DestAddr, "127.0.0.1");

    edited.distance = 250.0;
    edited.address = {127, 0, 0, 2};
    edited.port = 3000;
    out.ApplyDialogValues(opened, edited);
    EXPECT_EQ(out.GetDistance(), 250.0);
    s = out.GetSettings();
    EXPECT_EQ(s.DestAddr, "127.0.0.2");
    EXPECT_EQ(s.DestPort, 3000u);
}

// Missing values are written back with their defaults; Distance and the
// settings survive the object.
TEST(LX750Settings, DefaultsWrittenBackAndDistanceKept)
{
    CTempHives hives;
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                             nullptr),
              ERROR_SUCCESS);
    FakeSpeed speed;
    {
        CLX750 out(root, speed, [] { return false; });
        EXPECT_EQ(out.GetSettings().EchogramSurfaceCount, 500u);
        out.SetDistance(12.5);
    }
    CRegistrySupport reg;
    DWORD port = 0, count = 0;
    double distance = 0.0, range = 0.0;
    std::string address;
    EXPECT_TRUE(reg.GetDword(root, "LX750", "DestPort", port, FALSE));
    EXPECT_TRUE(reg.GetDword(root, "LX750", "EchogramBottomCount", count, FALSE));
    EXPECT_TRUE(reg.GetDouble(root, "LX750", "EchogramRangeBottomStart", range, FALSE));
    EXPECT_TRUE(reg.GetString(root, "LX750", "DestAddr", address, FALSE));
    EXPECT_TRUE(reg.GetDouble(root, "LX750", "Distance", distance, FALSE));
    EXPECT_EQ(port, 2020u);
    EXPECT_EQ(count, 150u);
    EXPECT_EQ(range, 10.0);
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(distance, 12.5);
    CLX750 again(root, speed, [] { return false; });
    EXPECT_EQ(again.GetDistance(), 12.5);
    RegCloseKey(root);
}

}  // namespace
