// The network output against a listener on loopback that decodes every
// datagram layout.
#include "outputs/QYNet.h"

#include "platform/FileTime.h"
#include "sounder/EchoSounder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>
#include <thread>

namespace {

std::uint32_t U32(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}
float F32(const std::string& b, std::size_t at)
{
    return std::bit_cast<float>(U32(b, at));
}
std::int16_t I16(const std::string& b, std::size_t at)
{
    return static_cast<std::int16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}

class FakePing : public IQYNetPingSource
{
public:
    int channels = 4;
    std::uint64_t pingTime = 0;
    int GetChannelCount() override { return channels; }
    bool GetChannelPing(int i, SQYNetChannelPing& c) override
    {
        c.processed = i != 3 || fourthProcessed;
        c.pingTime = pingTime;
        c.depth = i == 1 ? 0.0 : 10.0 + i;  // channel 2 found no bottom
        c.second = i == 1 ? 0.0 : 2.0;
        c.transducerDepth = 1.5;
        c.frequency = 38000.0 + 1000.0 * i;
        c.soundVelocity = 1480.0;
        c.heave = 0.25;
        c.pulseLength = 0.001024;
        c.transducer = "T" + std::to_string(i);
        c.motion = {0.5f, -1.0f, 2.0f};
        return true;
    }
    bool GetSamples(int i, std::int16_t* out, int n, double, double, int, int reference) override
    {
        for (int k = 0; k < n; ++k)
            out[k] = static_cast<std::int16_t>(reference == 0 ? -k : 1000 * i + k);
        return true;
    }
    int GetSingleTargets(int i, std::vector<std::array<float, 5>>& out) override
    {
        out.assign(static_cast<std::size_t>(i == 0 ? 45 : i), {1.f, 2.f, 3.f, 4.f, 5.f});
        return static_cast<int>(out.size());
    }
    double GetEnvironmentSoundVelocity() override { return 1493.26; }
    bool GetWaterTemperature(double& c) override
    {
        c = 7.5;
        return true;
    }
    bool fourthProcessed = true;
};

class QYNetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(listener.Create(CSocket::Udp));
        ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
        settings.DestAddr = "127.0.0.1";
        settings.DestPort = listener.LocalAddress().port;
        SYSTEMTIME st;
        st.wYear = 2026;
        st.wMonth = 12;
        st.wDay = 7;
        st.wHour = 1;
        st.wMinute = 2;
        st.wSecond = 3;
        st.wMilliseconds = 450;
        CFileTime::FromSystemTime(st, ping.pingTime);
    }
    void Apply() { net.ApplySettings(settings); }
    std::string Next()
    {
        std::string b(70000, '\0');
        const int n = listener.ReceiveFrom(b.data(), b.size(), nullptr, 2000);
        if (n < 0)
            return "<none>";
        b.resize(static_cast<std::size_t>(n));
        return b;
    }
    // Everything up to the marker datagram sent after it.
    std::vector<std::string> Drain()
    {
        CSocket marker;
        marker.Create(CSocket::Udp);
        marker.SendTo("END", 3, listener.LocalAddress());
        std::vector<std::string> out;
        for (std::string d = Next(); d != "END" && d != "<none>"; d = Next())
            out.push_back(d);
        return out;
    }
    CSocket listener;
    CQYNet net;
    CQYNet::Settings settings;
    FakePing ping;
};

TEST_F(QYNetTest, WithEverySwitchOffAPingSendsNothing)
{
    Apply();
    net.SendPingDatagrams(ping);
    net.SendPingTelegram(ping);
    net.SendNavigation("$GPGGA,1,2,N,3,E", 0);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(QYNetTest, EveryDatagramOfAPingWithEverySwitchOn)
{
    settings.EchoTraceDatagram = settings.ParameterDatagram = settings.MotionSensorDatagram = 1;
    settings.TemperatureSensorDatagram = settings.DepthHymas = 1;
    settings.DepthNMEADatagramDBS = settings.DepthNMEADatagramDPT = settings.DepthNMEADatagramDBT = 1;
    settings.DepthDatagram = {1, 1, 1, 1};
    settings.Echogram = {1, 1, 1, 1};
    settings.EchogramSurfaceCount = 6;
    settings.EchogramBottomCount = 4;
    settings.TVGType = 3;
    settings.ZelvarFormatWithoutHeave = 1;
    ping.fourthProcessed = false;
    Apply();
    net.SendPingDatagrams(ping);
    net.SendPingTelegram(ping);
    const auto got = Drain();

    std::map<std::string, std::vector<std::string>> byTag;
    for (const auto& d : got)
        byTag[d.substr(0, d[0] == '$' && d[1] != ',' ? 6 : 2)].push_back(d);
    const std::string time = "01020345";

    // Binary depth datagrams of the three processed channels, 28 bytes.
    for (int n = 1; n <= 3; ++n) {
        const auto& v = byTag["D" + std::to_string(n)];
        ASSERT_EQ(v.size(), 1u) << n;
        const std::string& d = v[0];
        ASSERT_EQ(d.size(), 28u);
        EXPECT_EQ(d[2], ',');
        EXPECT_EQ(d.substr(3, 8), time);
        EXPECT_EQ(d[11], ',');
        // Heave taken off only where a bottom was found.
        EXPECT_FLOAT_EQ(F32(d, 12), n == 2 ? 0.0f : static_cast<float>(10.0 + (n - 1) - 0.25));
        EXPECT_FLOAT_EQ(F32(d, 16), n == 2 ? 0.0f : 2.0f);
        EXPECT_EQ(U32(d, 20), static_cast<std::uint32_t>(n));
        EXPECT_EQ(F32(d, 24), 0.0f);
    }
    EXPECT_TRUE(byTag["D4"].empty());

    // NMEA depth of channel 0 in the order DPT, DBS, DBT, with checksums.
    std::vector<std::string> nmea;
    for (const auto& d : got)
        if (d.rfind("$SDD", 0) == 0)
            nmea.push_back(d.substr(0, 6));
    EXPECT_EQ(nmea, (std::vector<std::string>{"$SDDPT", "$SDDBS", "$SDDBT"}));
    EXPECT_EQ(byTag["$SDDBS"][0].substr(0, 20), "$SDDBS,32.81,f,10.00");
    EXPECT_NE(byTag["$SDDBS"][0].find('*'), std::string::npos);

    // Parameter telegrams, NUL-terminated, four per processed channel.
    ASSERT_EQ(byTag["PR"].size(), 12u);
    EXPECT_EQ(byTag["PR"][0], std::string("PR,01020345,/UTILITY MENU/Sound Velocity=1480 m/s") + '\0');
    EXPECT_EQ(byTag["PR"][1], std::string("PR,01020345,/TRANSCEIVER MENU/Transceiver-1 Menu/Frequency=38 kHz") + '\0');
    EXPECT_EQ(byTag["PR"][2],
              std::string("PR,01020345,/TRANSCEIVER MENU/Transceiver-1 Menu/Pulse Length=1.024 ms") + '\0');
    EXPECT_EQ(byTag["PR"][3],
              std::string("PR,01020345,/TRANSCEIVER MENU/Transceiver-1 Menu/Transducer Type=T0") + '\0');

    // Echogram datagrams.
    ASSERT_EQ(byTag["Q3"].size(), 1u);
    const std::string& q = byTag["Q3"][0];
    ASSERT_EQ(q.size(), 44u + 2u * 10u);
    EXPECT_EQ(q.substr(3, 8), time);
    EXPECT_EQ(U32(q, 12), 3u);  // TVG type 3 carried as it is
    EXPECT_FLOAT_EQ(F32(q, 16), 12.0f);
    EXPECT_FLOAT_EQ(F32(q, 24), 250.0f);
    EXPECT_EQ(U32(q, 28), 6u);
    EXPECT_FLOAT_EQ(F32(q, 32), 10.0f);
    EXPECT_FLOAT_EQ(F32(q, 36), -5.0f);
    EXPECT_EQ(U32(q, 40), 4u);
    EXPECT_EQ(I16(q, 44 + 2 * 5), -5);
    EXPECT_EQ(I16(q, 44 + 2 * 6), 2000);

    // Echo traces: at most 30 targets.
    ASSERT_EQ(byTag["E1"].size(), 1u);
    EXPECT_EQ(byTag["E1"][0].size(), 616u);
    EXPECT_EQ(U32(byTag["E1"][0], 12), 30u);
    EXPECT_FLOAT_EQ(F32(byTag["E1"][0], 16 + 20 * 29 + 16), 5.0f);
    EXPECT_EQ(byTag["E3"][0].size(), 16u + 40u);

    ASSERT_EQ(byTag["MS"].size(), 1u);
    EXPECT_EQ(byTag["MS"][0].size(), 24u);
    EXPECT_FLOAT_EQ(F32(byTag["MS"][0], 16), -1.0f);

    ASSERT_EQ(byTag["$SDMTW"].size(), 1u);
    EXPECT_EQ(byTag["$SDMTW"][0], "$SDMTW,7.50,C*06");

    ASSERT_EQ(byTag["$,"].size(), 1u);
    EXPECT_EQ(byTag["$,"][0], "$,01020345,1000,150,0,150,1200,150,99999,99999,1493.3");
}

TEST_F(QYNetTest, DepthDatagramForms)
{
    settings.DepthDatagram = {0, 1, 0, 0};
    struct Case
    {
        std::uint32_t text, frequency;
        std::string expected;  // text form, or size of the binary one
    } cases[] = {
        {1, 0, "D2,01020345,0.00,0,2,0.0"},
        {1, 1, "D2,01020345,0.00,0,2,0,39,1.50,1480.0"},
        {0, 1, "32"},
        {0, 0, "28"},
    };
    for (const Case& c : cases) {
        settings.ZelvarFormat = c.text;
        settings.AddFrequency = c.frequency;
        Apply();
        net.SendPingDatagrams(ping);
        const auto got = Drain();
        ASSERT_EQ(got.size(), 1u);
        if (c.text)
            EXPECT_EQ(got[0], c.expected);
        else {
            EXPECT_EQ(std::to_string(got[0].size()), c.expected);
            if (c.frequency) {
                EXPECT_EQ(U32(got[0], 20), 39u);
                EXPECT_FLOAT_EQ(F32(got[0], 24), 1480.0f);
                EXPECT_FLOAT_EQ(F32(got[0], 28), 1.5f);
            }
        }
    }
}

TEST_F(QYNetTest, EchogramDatagramStaysWithinOneUdpDatagram)
{
    settings.Echogram = {1, 0, 0, 0};
    // 44 + 2 x 32731 = 65506 bytes fits; one sample more does not.
    for (std::uint32_t total : {32731u, 32732u, 60000u}) {
        settings.EchogramSurfaceCount = total - 100;
        settings.EchogramBottomCount = 100;
        Apply();
        net.SendPingDatagrams(ping);
        const auto got = Drain();
        if (total == 32731u) {
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].size(), 65506u);
        } else {
            EXPECT_TRUE(got.empty()) << total;
        }
    }
}

TEST_F(QYNetTest, SingleTelegramsAndGlForAllButHeadingsAndCourses)
{
    settings.NavigationDatagram = settings.RelayNavigation = settings.AnnotationDatagram = 1;
    settings.StatusDatagram = settings.SoundVelDatagram = 1;
    Apply();
    net.SendNavigation("$GPGGA,1,2,N,3,E", ping.pingTime);
    net.SendNavigation("$HEHDT,10.0,T", ping.pingTime);
    net.SendNavigation("$GPVTG,054.7,T", ping.pingTime);
    net.SendNavigation("$GPRMC,1,2", ping.pingTime);
    net.SendCS("mark", ping.pingTime);
    const auto got = Drain();
    EXPECT_EQ(got,
              (std::vector<std::string>{"$GPGGA,1,2,N,3,E", "GL,01020345,$GPGGA,1,2,N,3,E", "$HEHDT,10.0,T",
                                        "$GPVTG,054.7,T", "$GPRMC,1,2", "GL,01020345,$GPRMC,1,2", "CS,01020345,mark"}));
    std::vector<std::string> geo;
    net.writeGeoLine = [&](const std::string& l) { geo.push_back(l); };
    net.SendST("ok");
    net.SendSV("3,0,1500");
    net.SendAnnotation("VGR", "5901.0,1001.0,4.00,7");
    const auto more = Drain();
    ASSERT_EQ(more.size(), 3u);
    EXPECT_EQ(more[0].substr(0, 3), "ST,");
    EXPECT_EQ(more[0].substr(11), ",ok");
    EXPECT_EQ(more[1].substr(11), ",3,0,1500");
    EXPECT_EQ(more[2].substr(0, 4), "VGR,");
    EXPECT_EQ(geo, (std::vector<std::string>{more[2]}));
}

TEST_F(QYNetTest, BadDestinationSendsNothingAndAGoodOneResumes)
{
    settings.RelayNavigation = 1;
    settings.DestAddr = "no.such.address";
    Apply();
    EXPECT_FALSE(net.IsReady());
    net.SendNavigation("$GPGGA,1", 0);
    settings.DestAddr = "127.0.0.1";
    Apply();
    EXPECT_TRUE(net.IsReady());
    net.SendNavigation("$GPGGA,2", 0);
    EXPECT_EQ(Drain(), (std::vector<std::string>{"$GPGGA,2"}));
}

// What the output list hands on: each kind of text goes out by the switch
// and in the form of its own telegram, or not at all; a profile as SV, a
// ping with the sound velocity it came with, and the factory settings.
TEST_F(QYNetTest, WhatTheOutputListHandsOnGoesOutByKind)
{
    CManualClock clock(ping.pingTime);
    CFileTime::SetClock(&clock);
    settings.RelayNavigation = settings.AnnotationDatagram = settings.StatusDatagram = 1;
    settings.SoundVelDatagram = settings.DepthHymas = 1;
    Apply();
    struct Case
    {
        const char* legend;
        OutputTextKind kind;
        std::string text;
        std::string_view prefix;
        std::vector<std::string> sent;
    };
    const std::uint64_t time = ping.pingTime;
    const Case cases[] = {
        {"status", OutputTextKind::Status, "ok", {}, {"ST,01020345,ok"}},
        {"annotation at its time", OutputTextKind::Annotation, "mark", {}, {"CS,01020345,mark"}},
        {"object information",
         OutputTextKind::ObjectInformation,
         "5901.0,4.00,7",
         "VGR",
         {"VGR,01020345,5901.0,4.00,7"}},
        {"recorder line as it is", OutputTextKind::RecorderLine, "START,line1", {}, {"START,line1"}},
        {"relayed navigation", OutputTextKind::NavigationRelay, "$HEHDT,10.0,T", {}, {"$HEHDT,10.0,T"}},
        {"post-processing's", OutputTextKind::PositionForward, "$GPGGA,1,2,N,3,E", {}, {}},
        {"remote control's", OutputTextKind::RemoteCommand, "PE,SYSTEM,STOPPINGING", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        net.TakeText({c.kind, c.text, time, c.prefix});
        EXPECT_EQ(Drain(), c.sent);
    }
    net.TakeProfile("3,0,1500", time);
    CEchoSounder sounder;
    net.TakePing({sounder, 1493.26, std::nullopt});
    EXPECT_EQ(Drain(), (std::vector<std::string>{"SV,01020345,3,0,1500",
                                                 "$,01020345,99999,99999,99999,99999,99999,99999,99999,99999,1493.3"}));
    // The water temperature of the ping goes out as MTW; none without one.
    settings.TemperatureSensorDatagram = 1;
    Apply();
    net.TakePing({sounder, 1493.26, 12.5});
    const std::vector<std::string> sent = Drain();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "$SDMTW,12.50,C*32"), sent.end());
    net.TakePing({sounder, 1493.26, std::nullopt});
    for (const std::string& telegram : Drain())
        EXPECT_EQ(telegram.find("MTW"), std::string::npos);

    net.RestoreDefaults();
    const CQYNet::Settings restored = net.GetSettings();
    EXPECT_EQ(restored.DestPort, CQYNet::Settings{}.DestPort);
    EXPECT_EQ(restored.StatusDatagram, 0u);
    EXPECT_EQ(restored.DepthHymas, 0u);
    CFileTime::SetClock(nullptr);
}

}  // namespace

namespace {

TEST_F(QYNetTest, AFailedSendClosesTheSocketAndTheNextSendOpensItAgain)
{
    settings.RelayNavigation = 1;
    Apply();
    ASSERT_TRUE(net.IsReady());
    net.SetDestPort(0);  // the system refuses to send to port 0
    EXPECT_FALSE(net.SendText("lost"));
    EXPECT_FALSE(net.IsReady());
    net.SetDestPort(listener.LocalAddress().port);
    EXPECT_TRUE(net.SendText("again"));
    EXPECT_TRUE(net.IsReady());
    EXPECT_EQ(Drain(), (std::vector<std::string>{"again"}));
}

}  // namespace
