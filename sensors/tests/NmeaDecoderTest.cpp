// The telegram decoder against a recording of every link it calls.
#include "sensors/NmeaDecoder.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"
#include "sensors/NavigationSettingsCache.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

struct Calls
{
    std::vector<std::string> relayed, stored, datagrams, annotations, statuses, shown, remote;
    std::vector<std::uint64_t> clockSet;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pingRecords;
    std::string clockText, dateText;
    double speed = -1.0;
    double tide = 0.0;
    int headerValues = 0;
};

class NmeaDecoderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clock.SetFileTime(kNow);
        CFileTime::SetClock(&clock);
        geo.EnsureHistoryLength(10);
        geo.AddPing(kNow - 50'000'000);  // keeps every record of the last 5 s
        nav.PositionSource = 1;
        nav.ClockSource = 1;
        nav.SpeedType = 0;
        nav.StartSequence = "$GPGGA";
        nav.StartField = 1;
        nav.NoOfFields = 6;
        Relink();
    }
    void TearDown() override { CFileTime::SetClock(nullptr); }

    void Relink() { decoder.SetHost(&host); }

    // One sentence into an empty history, with nothing called before.
    void Feed(const std::string& sentence, SNmeaSource source)
    {
        geo.Reset();
        geo.AddPing(kNow - 50'000'000);
        calls = {};
        decoder.ParseNmeaTelegram(sentence, kNow, source);
    }

    // Records every call of the decoder, answering from the fixture's state.
    struct Host : INmeaDecoderHost
    {
        NmeaDecoderTest& t;
        explicit Host(NmeaDecoderTest& test) : t(test) {}
        SounderModel GetModel() override { return t.model; }
        bool HasMainWindow() override { return true; }
        void AddAnnotation(const std::string& s, std::uint64_t) override { t.calls.annotations.push_back(s); }
        void ShowPositionText(const std::string& s) override { t.calls.shown.push_back(s); }
        void SetTide(double metres) override { t.calls.tide = metres; }
        void PostStatusMessage(const std::string& s) override { t.calls.statuses.push_back(s); }
        void SetComputerClock(std::uint64_t time) override { t.calls.clockSet.push_back(time); }
        bool GetNavigationSettings(SNavigationSettings& s) override
        {
            s = t.nav;
            return true;
        }
        bool IsClockRequest() override { return t.clockRequest; }
        void EndForceUpdate() override {}
        void SetClockTime(const SYSTEMTIME&, const std::string& c, const std::string& d) override
        {
            t.calls.clockText = c;
            t.calls.dateText = d;
        }
        void SetMeasuredSpeed(double k) override { t.calls.speed = k; }
        bool IsSounderRunning() override { return t.sounder; }
        bool IsClockRequestPending() override { return false; }
        void SetPingRecord(std::uint64_t r, std::uint64_t time) override { t.calls.pingRecords.emplace_back(r, time); }
        bool GetNavigationAnnotation(std::uint32_t& interval) override
        {
            interval = 2;
            return t.navAnnotation;
        }
        bool HasRecorder() override { return true; }
        void SetHeaderValue(double) override { ++t.calls.headerValues; }
        void WriteNmeaToFiles(const std::string& s, std::uint64_t) override { t.calls.stored.push_back(s); }
        void WriteNmeaDatagram(const std::string& s, std::uint64_t) override { t.calls.datagrams.push_back(s); }
        CGeographicInfo* GetGeographicInfo() override { return &t.geo; }
        CExternalDepth* GetExternalDepth() override { return &t.depth; }
        void RemoteControl(const std::string& s, std::uint64_t) override { t.calls.remote.push_back(s); }
        void PrintText(const std::string&, std::uint64_t) override {}
        void ForwardToPostProcessing(const std::string&) override {}
        void RelayToOutputs(const std::string& telegram, std::uint64_t) override
        {
            t.calls.relayed.push_back(telegram);
        }
    };

    static constexpr std::uint64_t kNow = 134'000'000'000'000'000ULL;  // 2025
    CManualClock clock;
    CGeographicInfo geo;
    CExternalDepth depth;
    SNavigationSettings nav;
    Host host{*this};
    CNmeaDecoder decoder;
    Calls calls;
    bool sounder = true;
    bool clockRequest = false;
    bool navAnnotation = false;
    SounderModel model = SounderModel::QY310;
};

std::vector<std::string> Nmea2Sentences()
{
    // Written by python3-nmea2 (see data/make_nmea2_sentences.py).
    std::ifstream in(std::string(SENSORS_TEST_DATA) + "/nmea2_sentences.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct RouteCase
{
    const char* legend;
    std::string sentence;
    SNmeaSource source;
    std::size_t positions, headings, courses, relayed, stored, datagrams;
};

TEST_F(NmeaDecoderTest, SentencesReachHistoryRelaysAndRecorder)
{
    const auto nmea2 = Nmea2Sentences();
    ASSERT_EQ(nmea2.size(), 7u);
    const RouteCase cases[] = {
        {"nmea2 GGA on the configured serial line", nmea2[0], kNmeaFromSerial, 1, 0, 0, 1, 1, 0},
        {"nmea2 GGA in replay matches every setting", nmea2[0], kNmeaFromReplay, 1, 0, 0, 1, 1, 0},
        {"GGA from the network is only another position", nmea2[0], kNmeaFromNetwork, 0, 0, 0, 1, 0, 1},
        {"wrong checksum: dropped whole", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48",
         kNmeaFromSerial, 0, 0, 0, 0, 0, 0},
        {"no checksum is accepted", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", kNmeaFromSerial,
         1, 0, 0, 1, 1, 0},
        {"nmea2 VTG on the speed source", nmea2[4], kNmeaFromSerial, 0, 0, 1, 1, 1, 0},
        // After a heading, course records stop: HDT comes after VTG.
        {"nmea2 HDT", nmea2[3], kNmeaFromNetwork, 0, 1, 0, 1, 1, 0},
        {"VTG from another speed source does nothing", nmea2[4], kNmeaFromNetwork, 0, 0, 0, 0, 0, 0},
        {"nmea2 DBT is relayed and stored", nmea2[6], kNmeaFromSerial, 0, 0, 0, 1, 1, 0},
        {"LLK with an empty easting: nothing at all", "$GPLLK,123519,010226,1234.5,M,,M,3,08,0.9,12.0,M",
         kNmeaFromSerial, 0, 0, 0, 0, 0, 0},
        {"GEOA depth is handled and relayed", "$PGEOA,DEPTH,12.5", kNmeaFromNetwork, 0, 0, 0, 1, 1, 0},
        {"five characters: only the tail", "$GPGG", kNmeaFromSerial, 0, 0, 0, 0, 0, 0},
    };
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(c.legend);
        Feed(c.sentence, c.source);
        EXPECT_EQ(geo.PositionCount(), c.positions);
        EXPECT_EQ(geo.HeadingCount(), c.headings);
        EXPECT_EQ(geo.CourseCount(), c.courses);
        EXPECT_EQ(calls.relayed.size(), c.relayed);
        EXPECT_EQ(calls.stored.size(), c.stored);
        EXPECT_EQ(calls.datagrams.size(), c.datagrams);
    }
}

TEST_F(NmeaDecoderTest, ConfiguredPositionBuildsRelayTextAndHistoryKeepsRawFields)
{
    decoder.ParseNmeaTelegram(Nmea2Sentences()[0], kNow, kNmeaFromSerial);
    EXPECT_EQ(decoder.GetPositionText(), "$GPGGA,123519,4807.038,N,01131.000,E");
    ASSERT_EQ(calls.shown.size(), 1u);
    EXPECT_EQ(calls.shown[0], decoder.GetPositionText());
    EXPECT_EQ(decoder.GetLastPositionTime(), kNow);
    double a = 0, b = 0;
    ASSERT_TRUE(geo.GetPositionAtTime(kNow, a, b));
    EXPECT_DOUBLE_EQ(a, 4807.038);
    EXPECT_DOUBLE_EQ(b, 1131.0);
}

TEST_F(NmeaDecoderTest, HeadingFromNetworkWithoutPositionSourceIsKeptButNotRelayed)
{
    nav.PositionSource = 0;
    decoder.ParseNmeaTelegram("$HEHDT,274.07,T", kNow, kNmeaFromNetwork);
    EXPECT_EQ(geo.HeadingCount(), 1u);
    EXPECT_TRUE(calls.relayed.empty());
    EXPECT_DOUBLE_EQ(geo.GetHeadingAtTime(kNow), 274.07);
}

TEST_F(NmeaDecoderTest, RelaysOnlyOnTheNetworkModels)
{
    for (int m : {0, 1, 2, 3, 4, 5}) {
        model = static_cast<SounderModel>(m);
        Relink();
        calls = {};
        decoder.ParseNmeaTelegram("$HEHDT,274.07,T", kNow, kNmeaFromSerial);
        EXPECT_EQ(calls.relayed.size(), (m == 0 || m == 1 || m == 5) ? 1u : 0u) << m;
    }
}

TEST_F(NmeaDecoderTest, ZdaSetsTheNavigationClockAndOnRequestThePcClock)
{
    clockRequest = true;
    sounder = false;
    const std::uint64_t received = kNow - 20'000'000;  // 2 s ago
    decoder.ParseNmeaTelegram(Nmea2Sentences()[5], received, kNmeaFromSerial);
    EXPECT_EQ(calls.clockText, "12:34:56.500");
    EXPECT_EQ(calls.dateText, "07.12.2026");
    ASSERT_EQ(calls.clockSet.size(), 1u);
    SYSTEMTIME st;
    ASSERT_TRUE(CFileTime::ToSystemTime(calls.clockSet[0], st));
    EXPECT_EQ(st.wYear, 2026);
    EXPECT_EQ(st.wSecond, 58);  // telegram time plus the 2 s since it came
    EXPECT_EQ(st.wMilliseconds, 500);

    // Replay never touches the PC clock, whatever the settings.
    calls = {};
    nav.UseAutoZda = 1;
    sounder = true;
    decoder.ParseNmeaTelegram(Nmea2Sentences()[5], received, kNmeaFromReplay);
    EXPECT_EQ(calls.clockText, "12:34:56.500");
    EXPECT_TRUE(calls.clockSet.empty());
    EXPECT_TRUE(calls.pingRecords.empty());
}

TEST_F(NmeaDecoderTest, AutoZdaCorrectsOnlyBeyondFiftyMilliseconds)
{
    nav.UseAutoZda = 1;
    nav.Latency = 0.0;
    SYSTEMTIME st;
    ASSERT_TRUE(CNmeaDecoder::DecodeZdaTime("$GPZDA,000000,01,01,2025,00,00", kNow, st));
    std::uint64_t t = 0;
    ASSERT_TRUE(CFileTime::FromSystemTime(st, t));
    decoder.ParseNmeaTelegram("$GPZDA,000000,01,01,2025,00,00", t + 500'000, kNmeaFromSerial);  // 50 ms
    EXPECT_TRUE(calls.pingRecords.empty());
    decoder.ParseNmeaTelegram("$GPZDA,000000,01,01,2025,00,00", t + 510'000, kNmeaFromSerial);  // 51 ms
    ASSERT_EQ(calls.pingRecords.size(), 1u);
    EXPECT_EQ(calls.pingRecords[0].second, t);
}

TEST_F(NmeaDecoderTest, BrokenZdaNeverReachesAnyClock)
{
    clockRequest = true;
    sounder = false;
    const char* broken[] = {
        "$GPZDA,,07,12,2026,00,00",       "$GPZDA,123456,,12,2026,00,00",   "$GPZDA,123456,07,13,2026,00,00",
        "$GPZDA,123456,31,04,2026,00,00", "$GPZDA,256000,07,12,2026,00,00", "$GPZDA,12ab56,07,12,2026,00,00",
        "$GPZDA,123456,07,12,1500,00,00", "$GPZDA,1234,07,12,2026",         "$GPZDA,123456,07,12,",
    };
    sounder = true;  // with a recorder
    for (const char* s : broken) {
        calls = {};
        decoder.ParseNmeaTelegram(s, kNow, kNmeaFromSerial);
        EXPECT_TRUE(calls.clockSet.empty()) << s;
        EXPECT_TRUE(calls.pingRecords.empty()) << s;
        EXPECT_TRUE(calls.clockText.empty()) << s;
        // What was received is still recorded, as it came.
        EXPECT_EQ(calls.stored, std::vector<std::string>{s});
    }
}

TEST_F(NmeaDecoderTest, NumbersThatAreNotFiniteAreRefused)
{
    depth.SetSourceName(7, "Geo");
    depth.SetDepthByName("Geo", 8.0);
    decoder.ParseNmeaTelegram("$PTIDE,x,1.25", kNow, kNmeaFromNetwork);
    struct Row
    {
        const char* legend;
        const char* sentence;
        SNmeaSource source;
    };
    const Row rows[] = {
        {"position latitude", "$GPGGA,123519,nan,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", kNmeaFromSerial},
        {"position longitude", "$GPGGA,123519,4807.038,N,inf,E,1,08,0.9,545.4,M,46.9,M,,", kNmeaFromSerial},
        {"heading", "$HEHDT,NAN,T", kNmeaFromNetwork},
        {"heading beyond a double", "$HEHDT,1e999,T", kNmeaFromNetwork},
        {"speed and course", "$GPVTG,-inf,T,034.4,M,infinity,N,010.2,K", kNmeaFromSerial},
        {"tide", "$PTIDE,x,nan", kNmeaFromNetwork},
        {"external depth", "$PGEOA,DEPTH,inf", kNmeaFromNetwork},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        Feed(r.sentence, r.source);
        EXPECT_EQ(geo.PositionCount() + geo.HeadingCount() + geo.CourseCount(), 0u);
        EXPECT_EQ(calls.speed, -1.0) << "no speed was set";
        EXPECT_DOUBLE_EQ(decoder.GetTide(), -1.25);
        std::string name;
        EXPECT_DOUBLE_EQ(depth.GetSourceDepth(7, name), 8.0);
    }
}

TEST_F(NmeaDecoderTest, GgaQualityMessages)
{
    struct Case
    {
        std::uint32_t qi, sats;
        double dil;
        const char* sentence;
        std::vector<std::string> expected;
    } cases[] = {
        {0, 0, 0.0, "$GPGGA,1,4807.038,N,01131.000,E,0,01,99.0", {}},
        {0, 4, 0.0, "$GPGGA,1,4807.038,N,01131.000,E,1,04,0.9", {}},
        {0, 4, 0.0, "$GPGGA,1,4807.038,N,01131.000,E,1,03,0.9", {CNmeaDecoder::kFewSatellites}},
        {2,
         0,
         1.0,
         "$GPGGA,1,4807.038,N,01131.000,E,1,08,1.5",
         {CNmeaDecoder::kWrongQuality, CNmeaDecoder::kLargeDilution}},
    };
    for (const Case& c : cases) {
        nav.GGA_QI = c.qi;
        nav.GGA_NoOfSat = c.sats;
        nav.GGA_HorDil = c.dil;
        calls = {};
        decoder.ParseNmeaTelegram(c.sentence, kNow, kNmeaFromSerial);
        EXPECT_EQ(calls.statuses, c.expected) << c.sentence;
    }
}

TEST_F(NmeaDecoderTest, AnnotationsTideRemoteAndGeoDepth)
{
    depth.SetSourceName(7, "Geo");
    decoder.ParseNmeaTelegram("$PTIDE,x,1.25", kNow, kNmeaFromNetwork);
    EXPECT_DOUBLE_EQ(decoder.GetTide(), -1.25);
    EXPECT_DOUBLE_EQ(calls.tide, -1.25);  // the recorder's tide follows
    decoder.ParseNmeaTelegram("CS,first mark", kNow, kNmeaFromNetwork);
    decoder.ParseNmeaTelegram("$GPATS,second mark", kNow, kNmeaFromNetwork);
    EXPECT_EQ(calls.annotations, (std::vector<std::string>{"first mark", "second mark"}));
    EXPECT_TRUE(calls.stored.empty());  // an annotation is not stored as a sentence
    decoder.ParseNmeaTelegram("PE,START", kNow, kNmeaFromNetwork);
    EXPECT_EQ(calls.remote, (std::vector<std::string>{"PE,START"}));
    decoder.ParseNmeaTelegram("$PGEOA,DEPTH,12.5", kNow, kNmeaFromNetwork);
    std::string name;
    EXPECT_DOUBLE_EQ(depth.GetSourceDepth(7, name), 12.5);
}

TEST_F(NmeaDecoderTest, NavigationAnnotationEveryIntervalPositions)
{
    navAnnotation = true;
    for (int i = 0; i < 5; ++i)
        decoder.ParseNmeaTelegram("$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9", kNow, kNmeaFromSerial);
    ASSERT_EQ(calls.annotations.size(), 2u);  // interval 2
    EXPECT_NE(calls.annotations[0].find("  $GPGGA,1,4807.038,N,01131.000,E"), std::string::npos);
    EXPECT_EQ(decoder.GetNavigationAnnotationCount(), 1);
}

}  // namespace

// The decoder's copy of navigation's settings: read once, read again only
// after a change was told, a missing object kept as missing just as long,
// and a change told while the settings are being read not lost.
TEST(NavigationSettingsCache, ReadsAgainOnlyAfterAChange)
{
    CNavigationSettingsCache cache;
    int reads = 0;
    bool present = true;
    double latency = 10.0;
    const auto read = [&](SNavigationSettings& s) {
        ++reads;
        s.Latency = latency;
        return present;
    };
    SNavigationSettings got;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(cache.Get(got, read));
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(got.Latency, 10.0);

    latency = 20.0;
    ASSERT_TRUE(cache.Get(got, read));
    EXPECT_EQ(got.Latency, 10.0) << "no change told, none read";
    cache.Invalidate();
    ASSERT_TRUE(cache.Get(got, read));
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(got.Latency, 20.0);

    // The object went: nothing, until the next one comes.
    present = false;
    cache.Invalidate();
    got.Latency = -1.0;
    EXPECT_FALSE(cache.Get(got, read));
    EXPECT_FALSE(cache.Get(got, read));
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(got.Latency, -1.0) << "left untouched";
    present = true;
    cache.Invalidate();
    EXPECT_TRUE(cache.Get(got, read));

    // A change told while the old settings were read: the next call reads.
    latency = 30.0;
    cache.Invalidate();
    ASSERT_TRUE(cache.Get(got, [&](SNavigationSettings& s) {
        read(s);
        latency = 40.0;
        cache.Invalidate();
        return true;
    }));
    EXPECT_EQ(got.Latency, 30.0);
    ASSERT_TRUE(cache.Get(got, read));
    EXPECT_EQ(got.Latency, 40.0);
}
