// The serial I/O hub without a line: the telegrams it hands to its line per
// channel and ping, its single telegrams, its settings, and what it makes of
// received lines (profiles, annotations, remote commands).
#include "outputs/QYSerial.h"
#include "outputs/QYNet.h"

#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "serialcom/device/DepthTelegram.h"
#include "sim/serialpeer/HubTelegrams.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "testsupport/Wait.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kSecond = 10'000'000;
constexpr std::uint64_t kStamp = 134'000'000'000'000'000ULL;

class CTestHub final : public CQYSerial
{
public:
    CTestHub(const ISensorHost& host, const IDepthTelegramSources& sources, std::vector<std::string>& stored)
        : CQYSerial(host, sources, [&stored](const CSvpProfile& p) {
              stored.push_back(p.FormatProfile());
              return true;
          })
    {}
    std::vector<std::string> Take() { return std::exchange(sent, {}); }
    std::vector<std::string> sent;

protected:
    void Transmit(const std::string& text) override { sent.push_back(text); }
};

// The main frame's messages as the hub posts them.
class CFrame
{
public:
    CFrame()
    {
        m_window = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == app::WM_ES_TELEGRAM)
                if (const auto* t = CurrentPayload<app::TimedText>())
                    telegrams.push_back(t->text);
            if (message == app::WM_ES_SERIALANNOTATION)
                if (const auto* t = CurrentPayload<std::string>())
                    annotations.push_back(*t);
            return 0;
        });
        SetMainWindow(m_window);
    }
    ~CFrame()
    {
        SetMainWindow(0);
        DestroyWindow(m_window);
    }
    void Pump()
    {
        PumpUntil([] { return false; }, std::chrono::milliseconds(20));
    }
    std::vector<std::string> telegrams;
    std::vector<std::string> annotations;

private:
    HWND m_window = 0;
};

class CPing final : public IQYNetPingSource
{
public:
    int GetChannelCount() override { return 1; }
    bool GetChannelPing(int, SQYNetChannelPing& out) override
    {
        out.processed = true;
        out.pingTime = kStamp;
        out.depth = 12.34;
        out.transducerDepth = 5.0;
        out.motion = {1.5f, -2.25f, 0.1f};
        return true;
    }
    bool GetSamples(int, std::int16_t*, int, double, double, int, int) override { return false; }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>&) override { return 0; }
    double GetEnvironmentSoundVelocity() override { return 1480.0; }
    bool GetWaterTemperature(double& celsius) override
    {
        celsius = 4.5;
        return true;
    }
};

DepthReport Depth(int channel, std::uint64_t time, double depth)
{
    DepthReport r;
    r.SourceName = "T38 38 kHz";
    r.ChannelId = channel;
    r.PingTime = time;
    r.Depth = depth;
    r.DraughtAndOffset = 5.0;
    r.BottomLevel = -20.0;
    r.Frequency = 38'000.0;
    r.TransducerDepth = 4.5;
    r.FurtherValue = 1490.0;
    return r;
}

std::string Fixture(const char* name)
{
    std::ifstream in(std::string(SENSORS_TEST_DATA) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class QYSerialTest : public ::testing::Test
{
protected:
    QYSerialTest() { hub.StoreSettings(CQYSerial::Settings{}); }
    void Set(void (*change)(CQYSerial::Settings&))
    {
        CQYSerial::Settings s = hub.GetSettings();
        change(s);
        hub.StoreSettings(s);
    }
    void Lines(const std::string& text)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            hub.ParseSvpLine(line);
        }
    }

    CTempHives hives;
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CFrame frame;
    std::vector<std::string> stored;
    CTestHub hub{host, sources, stored};
};

// Decimation lets one set of telegrams through per period of ping time;
// the channels of one ping all go; a ping time before the last send (a
// replay starting over) is a new send and does not silence the output.
TEST_F(QYSerialTest, DecimationByPingTime)
{
    struct Case
    {
        const char* name;
        std::uint32_t hz;
        std::vector<std::uint64_t> times;  // tenths of a second
        std::vector<int> sent;             // telegrams per ping
    } cases[] = {
        {"2 Hz", 2, {0, 2, 5, 7, 10, 14}, {1, 0, 1, 0, 1, 0}},
        {"0 Hz counts as 1 Hz", 0, {0, 5, 9, 10, 19, 20}, {1, 0, 0, 1, 0, 1}},
        {"time set back", 2, {100, 102, 20, 22, 25}, {1, 0, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTestHub h(host, sources, stored);
        CQYSerial::Settings s;
        s.Decimate = 1;
        s.DecimateHz = c.hz;
        s.ZelvarChannel[0] = 1;
        h.StoreSettings(s);
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            h.SendDepth(Depth(0, kStamp + c.times[i] * kSecond / 10, 10.0));
            EXPECT_EQ(h.Take().size(), static_cast<std::size_t>(c.sent[i])) << "ping " << i;
        }
        if (c.hz == 0) {
            EXPECT_EQ(h.GetSettings().DecimateHz, 1u);
        }
    }
    // Both channels of a ping inside the period.
    Set([](CQYSerial::Settings& s) {
        s.Decimate = 1;
        s.DecimateHz = 1;
        s.ZelvarChannel = {1, 1, 0, 0};
    });
    hub.SendDepth(Depth(0, kStamp, 10.0));
    hub.SendDepth(Depth(1, kStamp, 11.0));
    hub.SendDepth(Depth(0, kStamp + kSecond / 2, 10.0));
    EXPECT_EQ(hub.Take().size(), 2u);
}

// FZ pairs the two FZ channels of one ping into one "$PSDF," telegram, the
// second channel's depth first; never a depth of another ping.
TEST_F(QYSerialTest, FzPairsWithinOnePing)
{
    Set([](CQYSerial::Settings& s) { s.FZChannel = {1, 1, 0, 0}; });
    hub.SendDepth(Depth(0, kStamp, 12.345));
    EXPECT_TRUE(hub.Take().empty());
    hub.SendDepth(Depth(1, kStamp, 20.0));
    auto sent = hub.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].rfind("$PSDF,0000,0500,02000,01234,1,", 0), 0u) << sent[0];

    // The first channel had no depth at the next ping: the second goes
    // alone instead of pairing with the kept depth of the ping before.
    hub.SendDepth(Depth(0, kStamp + kSecond, 12.0));
    hub.SendDepth(Depth(1, kStamp + 2 * kSecond, 21.0));
    sent = hub.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].rfind("$PSDF,0000,0500,00000,02100,1,", 0), 0u) << sent[0];

    // Only FZ channel 2: one depth field of zeros first.
    Set([](CQYSerial::Settings& s) { s.FZChannel = {0, 1, 0, 0}; });
    hub.SendDepth(Depth(1, kStamp, 20.0));
    sent = hub.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].rfind("$PSDF,0000,0500,00000,02000,", 0), 0u) << sent[0];
}

// The Atlas letters by channel and by which Atlas channels are on; the NMEA
// telegrams of the destination channel in the order DPT, DBT, DBS.
TEST_F(QYSerialTest, AtlasLettersAndNmeaOrder)
{
    struct Case
    {
        std::array<std::uint32_t, 4> on;
        const char* letters;  // per channel sent, in channel order
    } cases[] = {
        {{1, 1, 0, 0}, "DB DA"}, {{1, 0, 1, 0}, "DB DA"}, {{0, 0, 1, 1}, "DB DA"},
        {{0, 1, 1, 0}, "DA DB"}, {{1, 0, 0, 1}, "DB DA"}, {{0, 1, 0, 1}, "DA DB"},
    };
    for (const Case& c : cases) {
        CQYSerial::Settings s;
        s.AtlasChannel = c.on;
        hub.StoreSettings(s);
        std::string letters;
        for (int ch = 0; ch < 4; ++ch)
            hub.SendDepth(Depth(ch, kStamp, 12.34));
        for (const std::string& t : hub.Take())
            letters += (letters.empty() ? "" : " ") + t.substr(0, 2);
        EXPECT_EQ(letters, c.letters) << c.on[0] << c.on[1] << c.on[2] << c.on[3];
    }
    Set([](CQYSerial::Settings& s) {
        s.AtlasChannel = {};
        s.NMEADestination = 1;
        s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
    });
    hub.SendDepth(Depth(0, kStamp, 12.0));
    EXPECT_TRUE(hub.Take().empty());
    hub.SendDepth(Depth(1, kStamp, 12.0));
    const auto sent = hub.Take();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].substr(0, 7), "$SDDPT,");
    EXPECT_EQ(sent[1].substr(0, 7), "$SDDBT,");
    EXPECT_EQ(sent[2].substr(0, 7), "$SDDBS,");
    EXPECT_EQ(sent[0].substr(sent[0].size() - 3, 1), "*");
    // Nothing for a negative depth or channel.
    hub.SendDepth(Depth(1, kStamp, -1.0));
    hub.SendDepth(Depth(-1, kStamp, 1.0));
    EXPECT_TRUE(hub.Take().empty());
}

// The fixed-width record with the frequency fields: kHz, transducer depth
// and sound velocity before a new checksum written "*%2X" (a blank pads
// checksums below 0x10).
TEST_F(QYSerialTest, ZelvarRecordWithFrequencyFields)
{
    Set([](CQYSerial::Settings& s) {
        s.ZelvarChannel[1] = 1;
        s.AddFrequency = 1;
    });
    for (double depth = 10.0; depth < 10.5; depth += 0.01) {
        hub.SendDepth(Depth(1, kStamp, depth));
        const std::string t = hub.Take().at(0);
        ASSERT_GE(t.size(), 3u);
        const std::string body = t.substr(0, t.size() - 3);
        EXPECT_NE(body.find(",  1,  0,38,4.50,1490.0"), std::string::npos) << t;
        unsigned sum = 0;
        for (std::size_t i = 1; i < body.size(); ++i)
            sum ^= static_cast<unsigned char>(body[i]);
        char expect[8];
        std::snprintf(expect, sizeof expect, "*%2X", sum);
        EXPECT_EQ(t.substr(t.size() - 3), expect) << t;
        if (sum < 0x10) {
            EXPECT_EQ(t[t.size() - 2], ' ');
        }
    }
}

TEST_F(QYSerialTest, SingleTelegrams)
{
    Set([](CQYSerial::Settings& s) {
        s.Annotation = s.Navigation = s.RelayNavigation = s.Status = s.SVP = 1;
        s.MotionSensor = s.TemperatureSensor = s.Hymas = 1;
    });
    const std::string time = CQYNet::TimeText(kStamp);
    hub.SendCS("mark", kStamp);
    hub.SendNavigation("$GPGGA,1,2", kStamp);
    hub.SendNavigation("$HEHDT,274.0,T", kStamp);
    hub.SendNavigation("$GPRMC,3,4", kStamp);  // a position outside any fixed list
    auto sent = hub.Take();
    const std::vector<std::string> expect = {
        "CS," + time + ",mark\r\n", "$GPGGA,1,2", "GL," + time + ",$GPGGA,1,2\r\n",
        "$HEHDT,274.0,T",           "$GPRMC,3,4", "GL," + time + ",$GPRMC,3,4\r\n"};
    EXPECT_EQ(sent, expect);
    hub.SendST("alarm");
    hub.SendSV("profile");
    sent = hub.Take();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].substr(0, 3), "ST,");
    EXPECT_EQ(sent[0].substr(sent[0].size() - 8), ",alarm\r\n");
    EXPECT_EQ(sent[1].substr(sent[1].size() - 10), ",profile\r\n");

    CPing ping;
    hub.SendMS(ping);
    hub.SendTemperature(ping);
    hub.SendPingTelegram(ping);
    sent = hub.Take();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "MS," + time + ",1.50,-2.25,0.10\r\r\n");
    EXPECT_EQ(sent[1], "$SDMTW,4.50,C*" + NmeaChecksumSuffix("$SDMTW,4.50,C").substr(1));
    EXPECT_EQ(sent[2], "$," + time + ",1234,500,99999,99999,99999,99999,99999,99999,1480.0");

    // Every switch off: nothing.
    hub.StoreSettings(CQYSerial::Settings{});
    hub.SendCS("mark", kStamp);
    hub.SendNavigation("$GPGGA,1,2", kStamp);
    hub.SendMS(ping);
    hub.SendTemperature(ping);
    hub.SendPingTelegram(ping);
    EXPECT_TRUE(hub.Take().empty());
}

// What the output list hands on: each kind of text by its switch in the form
// of its own telegram or not at all, a profile as SV, a ping as MTW before
// "$," (a sounder without channels has no motion to send).
TEST_F(QYSerialTest, WhatTheOutputListHandsOnGoesOutByKind)
{
    CManualClock clock(kStamp);
    CFileTime::SetClock(&clock);
    Set([](CQYSerial::Settings& s) {
        s.Annotation = s.Navigation = s.RelayNavigation = s.Status = s.SVP = 1;
        s.MotionSensor = s.TemperatureSensor = s.Hymas = 1;
    });
    const std::string now = CQYNet::TimeText(kStamp);
    const std::string at = CQYNet::TimeText(kStamp + 3 * kSecond);
    struct Case
    {
        const char* legend;
        OutputTextKind kind;
        std::string text;
        std::vector<std::string> sent;
    } cases[] = {
        {"status stamped now", OutputTextKind::Status, "alarm", {"ST," + now + ",alarm\r\n"}},
        {"annotation at its time", OutputTextKind::Annotation, "mark", {"CS," + at + ",mark\r\n"}},
        {"relayed position",
         OutputTextKind::NavigationRelay,
         "$GPGLL,1,N",
         {"$GPGLL,1,N", "GL," + at + ",$GPGLL,1,N\r\n"}},
        {"relayed heading", OutputTextKind::NavigationRelay, "$HEHDT,10.0,T", {"$HEHDT,10.0,T"}},
        {"object information", OutputTextKind::ObjectInformation, "5901.0,4.00,7", {}},
        {"recorder line", OutputTextKind::RecorderLine, "START,line1", {}},
        {"post-processing's", OutputTextKind::PositionForward, "$GPGGA,1,2,N,3,E", {}},
        {"remote control's", OutputTextKind::RemoteCommand, "PE,SYSTEM,STOPPINGING", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        hub.TakeText({c.kind, c.text, kStamp + 3 * kSecond, "VGR"});
        EXPECT_EQ(hub.Take(), c.sent);
    }
    hub.TakeProfile("3,0,1500", kStamp + 3 * kSecond);
    EXPECT_EQ(hub.Take(), std::vector<std::string>{"SV," + now + ",3,0,1500\r\n"});

    CEchoSounder sounder;
    hub.TakePing({sounder, 1493.26, 12.5});
    EXPECT_EQ(hub.Take(), (std::vector<std::string>{
                              "$SDMTW,12.50,C*32",
                              "$," + now + ",99999,99999,99999,99999,99999,99999,99999,99999,1493.3",
                          }));
    // Without a temperature no MTW; with every switch off nothing at all.
    hub.TakePing({sounder, 1493.26, std::nullopt});
    EXPECT_EQ(hub.Take().size(), 1u);
    hub.StoreSettings(CQYSerial::Settings{});
    for (const Case& c : cases)
        hub.TakeText({c.kind, c.text, kStamp, "VGR"});
    hub.TakeProfile("3,0,1500", kStamp);
    hub.TakePing({sounder, 1493.26, 12.5});
    EXPECT_TRUE(hub.Take().empty());
    CFileTime::SetClock(nullptr);
}

// A running sounder hands each ping to the hub on its ping-data thread: the
// first channel's motion as MS, the water temperature as MTW, then "$,",
// all of that one ping.
TEST_F(QYSerialTest, APingOfARunningSounderGoesOutAsMsMtwThenDollar)
{
    Set([](CQYSerial::Settings& s) { s.MotionSensor = s.TemperatureSensor = s.Hymas = 1; });
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    CTestTransceiver::Options unit;
    unit.name = "A";
    InstallTestChannels(installation, unit.name, 1);

    CTestEchoSounderHost sounderHost;
    sounderHost.createTransceiver = [&](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
        return std::unique_ptr<CTransceiver>(std::make_unique<CTestTransceiver>(unit));
    };
    auto sounder = std::make_unique<CEchoSounder>();
    // Its destructor ends the ping-data thread before anything of it goes.
    CEchoSounder* const running = sounder.get();
    std::mutex lock;
    std::vector<std::vector<std::string>> pings;
    sounderHost.serialOutputSendPing = [&] {
        hub.TakePing({*running, 1490.0, 12.5});
        std::lock_guard guard(lock);
        pings.push_back(hub.Take());
    };
    CEchoSounder::Context context;
    context.host = &sounderHost;
    context.installation = &installation;
    context.workerStartDelayMs = 0;
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    EXPECT_TRUE(zv::test::WaitUntil([&] {
        std::lock_guard guard(lock);
        return pings.size() >= 3;
    }));
    sounder.reset();
    reg.CloseRootKeys();

    ASSERT_GE(pings.size(), 3u);
    for (const std::vector<std::string>& sent : pings) {
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[0].rfind("MS,", 0), 0u) << sent[0];
        EXPECT_EQ(sent[1].rfind("$SDMTW,12.50,C*", 0), 0u) << sent[1];
        EXPECT_EQ(sent[2].rfind("$,", 0), 0u) << sent[2];
        // One ping's time in both.
        EXPECT_EQ(sent[0].substr(3, sent[0].find(',', 3) - 3), sent[2].substr(2, sent[2].find(',', 2) - 2));
        EXPECT_EQ(sent[2].substr(sent[2].size() - 7), ",1490.0");
    }
}

// Settings: defaults written on first load, at most two Atlas and FZ
// channels kept (the first two), and the reset clears every channel and
// format assignment.
TEST_F(QYSerialTest, SettingsLoadRuleAndReset)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\SerialIO", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);
    CRegistrySupport reg;
    for (int n = 1; n <= 4; ++n) {
        reg.SetDword(key, "", "FZChannel" + std::to_string(n), 1);
        reg.SetDword(key, "", "AtlasChannel" + std::to_string(n), 1);
    }
    reg.SetDword(key, "", "ZelvarChannel3", 1);
    reg.SetDword(key, "", "DPTFormat", 1);
    reg.SetDword(key, "", "SVPInput", 1);
    hub.ApplySettings(key);
    CQYSerial::Settings s = hub.GetSettings();
    EXPECT_EQ(s.FZChannel, (std::array<std::uint32_t, 4>{1, 1, 0, 0}));
    EXPECT_EQ(s.AtlasChannel, (std::array<std::uint32_t, 4>{1, 1, 0, 0}));
    EXPECT_EQ(s.ZelvarChannel[2], 1u);
    EXPECT_EQ(s.DecimateHz, 20u);
    DWORD v = 0;
    EXPECT_TRUE(reg.GetDword(key, "", "DecimateHz", v, FALSE));
    EXPECT_EQ(v, 20u);

    hub.ResetSettings();
    s = hub.GetSettings();
    EXPECT_EQ(s.FZChannel, (std::array<std::uint32_t, 4>{}));
    EXPECT_EQ(s.ZelvarChannel, (std::array<std::uint32_t, 4>{}));
    EXPECT_EQ(s.DPTFormat, 0u);
    EXPECT_EQ(s.SVPInput, 1u);
    ASSERT_TRUE(reg.GetDword(key, "", "ZelvarChannel3", v, FALSE));
    EXPECT_EQ(v, 0u);
    RegCloseKey(key);
}

// A CALC cast is stored once, at its end line; a cast without end mark is
// stored whole at the first timer tick that saw none of its lines; a cast
// whose only line holds its end mark is stored at once.
TEST_F(QYSerialTest, ProfilesFromTheLine)
{
    Set([](CQYSerial::Settings& s) { s.SVPInput = 1; });
    Lines(Fixture("calc_cast.txt"));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_FALSE(hub.IsGathering());

    // An SvPlus cast whose lines span a tick: not cut at it.
    const std::string svplus = Fixture("svplus.txt");
    const std::size_t half = svplus.find('\n', svplus.size() / 2) + 1;
    Lines(svplus.substr(0, half));
    hub.StoreSvpProfile();
    EXPECT_EQ(stored.size(), 1u);
    Lines(svplus.substr(half));
    hub.StoreSvpProfile();
    EXPECT_EQ(stored.size(), 1u);
    hub.StoreSvpProfile();
    ASSERT_EQ(stored.size(), 2u);
    CSvpProfile whole;
    ASSERT_GT(whole.Import(CSvpProfile::FormatSbe, svplus), 0);
    EXPECT_EQ(stored[1], whole.FormatProfile());

    // A bad start is dropped and the next good cast stored.
    Lines("CALC\r\nno numbers here\r\n0  0  0\r\n");
    EXPECT_EQ(stored.size(), 2u);
    Lines(Fixture("calc_cast.txt"));
    EXPECT_EQ(stored.size(), 3u);

    // An S10 cast on one line is stored at its end mark, before the next
    // cast's first line comes; that cast is stored too.
    Lines(Fixture("s10_datagram.txt"));
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_FALSE(hub.IsGathering());
    CSvpProfile s10;
    ASSERT_GT(s10.Import(CSvpProfile::FormatS10, Fixture("s10_datagram.txt")), 0);
    EXPECT_EQ(stored[3], s10.FormatProfile());
    Lines(Fixture("calc_cast.txt"));
    EXPECT_EQ(stored.size(), 5u);

    // With the profile input off, casts are dropped.
    Set([](CQYSerial::Settings& s) { s.SVPInput = 0; });
    Lines(Fixture("calc_cast.txt"));
    hub.StoreSvpProfile();
    hub.StoreSvpProfile();
    EXPECT_EQ(stored.size(), 5u);
}

// PE lines go to the decoder only while remote commands are accepted; TIDE
// lines always; ATS and CS lines with a text become annotations while they
// are accepted.
TEST_F(QYSerialTest, RemoteTideAndAnnotationLines)
{
    hub.ParseSvpLine("PE,PING,ON");
    hub.ParseSvpLine("$GPTIDE,1.2");
    hub.ParseSvpLine("CS,hello");
    frame.Pump();
    EXPECT_EQ(frame.telegrams, std::vector<std::string>{"$GPTIDE,1.2"});
    EXPECT_TRUE(frame.annotations.empty());

    Set([](CQYSerial::Settings& s) {
        s.RemoteIn = 1;
        s.AnnotationInput = 1;
    });
    hub.ParseSvpLine("PE,PING,ON");
    hub.ParseSvpLine("CS,hello");
    hub.ParseSvpLine("CS,");
    hub.ParseSvpLine("$XXATS,buoy 4");
    hub.ParseSvpLine("XXATS,no dollar");
    frame.Pump();
    EXPECT_EQ(frame.telegrams, (std::vector<std::string>{"$GPTIDE,1.2", "PE,PING,ON"}));
    EXPECT_EQ(frame.annotations, (std::vector<std::string>{"CS,hello", "$XXATS,buoy 4"}));
}

// The peer's own codecs read every telegram the hub sends with the values
// it was given.
TEST_F(QYSerialTest, PeerReadsEveryTelegram)
{
    Set([](CQYSerial::Settings& s) {
        s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
        s.AtlasChannel = {1, 1, 0, 0};
        s.FZChannel = {1, 1, 0, 0};
        s.ZelvarChannel = {1, 1, 0, 0};
        s.AddFrequency = 1;
        s.Annotation = s.Navigation = s.Status = s.SVP = s.MotionSensor = s.TemperatureSensor = s.Hymas = 1;
    });
    hub.SendDepth(Depth(0, kStamp, 42.5));
    hub.SendDepth(Depth(1, kStamp, 20.25));
    hub.SendCS("mark", kStamp);
    hub.SendNavigation("$GPGGA,1,2", kStamp);
    hub.SendST("alarm");
    hub.SendSV("2,0.0,1500.0,10.0,1490.0");
    CPing ping;
    hub.SendMS(ping);
    hub.SendTemperature(ping);
    hub.SendPingTelegram(ping);
    std::vector<std::string> kinds;
    for (const std::string& sent : hub.Take()) {
        const auto t = zv::sim::DecodeHubTelegram(sent);
        ASSERT_TRUE(t) << sent;
        kinds.push_back(t->kind);
        if (t->kind == "DPT") {
            EXPECT_DOUBLE_EQ(t->values[0], 37.5);  // below the transducer
            EXPECT_DOUBLE_EQ(t->values[1], 5.0);
        } else if (t->kind == "DBS") {
            EXPECT_DOUBLE_EQ(t->values[1], 42.5);
        } else if (t->kind == "DB") {
            EXPECT_DOUBLE_EQ(t->values[0], 42.5);
        } else if (t->kind == "DA") {
            EXPECT_DOUBLE_EQ(t->values[0], 20.25);
        } else if (t->kind == "PSDF") {
            EXPECT_EQ(t->values[2], 2025.0);
            EXPECT_EQ(t->values[3], 4250.0);
        } else if (t->kind == "D") {
            ASSERT_EQ(t->values.size(), 6u);
            EXPECT_DOUBLE_EQ(t->values[3], 38.0);
            EXPECT_DOUBLE_EQ(t->values[5], 1490.0);
        } else if (t->kind == "MTW") {
            EXPECT_DOUBLE_EQ(t->values[0], 4.5);
        } else if (t->kind == "MS") {
            EXPECT_DOUBLE_EQ(t->values[1], -2.25);
        } else if (t->kind == "CS") {
            EXPECT_EQ(t->text, "mark");
        }
    }
    const std::vector<std::string> expect = {"DPT", "DBT", "DBS", "DB", "D",  "PSDF", "DA", "D",
                                             "CS",  "GL",  "ST",  "SV", "MS", "MTW",  "$"};
    EXPECT_EQ(kinds, expect);
    // A checksum that does not fit is refused.
    EXPECT_FALSE(zv::sim::DecodeHubTelegram("$SDDPT,37.50,5.00*00"));
}

}  // namespace
