// The serial sensors without a line: what each makes of a received message
// (delivered as the component delivers it, to the owner's command handler),
// their settings with both kinds of defaults, the speed, the trawl readings
// and their ages, the depth telegrams' rules and the monitor.
#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "sensors/GyroCompass.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDepth.h"
#include "sensors/Trawl.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kSecond = 10'000'000;
constexpr std::uint64_t kStamp = 134'000'000'000'000'000ULL;

class CReplayHost final : public ISensorHost
{
public:
    bool IsReplaying() const override { return replaying; }
    bool replaying = false;
};

// The main frame's telegrams, as the sensors post them.
class CFrame
{
public:
    CFrame()
    {
        m_window = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == app::WM_ES_TELEGRAM)
                if (const auto* t = CurrentPayload<app::TimedText>())
                    telegrams.push_back(*t);
            return 0;
        });
        SetMainWindow(m_window);
    }
    ~CFrame()
    {
        SetMainWindow(0);
        DestroyWindow(m_window);
    }
    // What was posted until now.
    std::vector<app::TimedText> Take()
    {
        PumpUntil([] { return false; }, std::chrono::milliseconds(20));
        return std::exchange(telegrams, {});
    }
    std::vector<app::TimedText> telegrams;

private:
    HWND m_window = 0;
};

void Receive(CSerialDeviceLink& sensor, const std::string& bytes, std::uint64_t stamp = kStamp)
{
    CTarnMessage message(bytes, 16);
    message.SetTime(stamp);
    sensor.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
}

HKEY MakeKey(const char* name)
{
    HKEY key = nullptr;
    const std::string path = std::string("Software\\Zelvar\\Test\\") + name;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

DWORD ReadDword(HKEY key, const char* name)
{
    DWORD v = 0xFFFFFFFF;
    CRegistrySupport().GetDword(key, "", name, v, FALSE);
    return v;
}

class SerialSensorsTest : public ::testing::Test
{
protected:
    CTempHives hives;
    CReplayHost host;
    CNoDepthTelegramSources sources;
    CFrame frame;
};

// Every received line of the navigation line goes to the decoder with its
// reception time, shown in the monitor while the dialog shows it; replayed
// data is neither shown nor decoded; the text ends at a NUL byte.
TEST_F(SerialSensorsTest, NavigationPassesEveryLineButWhileReplaying)
{
    CNavigation navigation(host, sources);
    Receive(navigation, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    Receive(navigation, "anything at all");
    Receive(navigation, std::string("$GPVTG,054.7,T\0garbage", 22), 0);
    const auto posted = frame.Take();
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].fileTime, kStamp);
    EXPECT_EQ(posted[1].text, "anything at all");
    EXPECT_EQ(posted[2].text, "$GPVTG,054.7,T");
    EXPECT_NE(posted[2].fileTime, 0u);           // no stamp: the time it came
    EXPECT_EQ(navigation.Monitor().Text(), "");  // no dialog shows it

    navigation.Monitor().SetVisible(true);
    Receive(navigation, "$GPZDA,123456.50,07,12,2026,00,00");
    EXPECT_EQ(navigation.Monitor().Text(), "$GPZDA,123456.50,07,12,2026,00,00\r\n");
    host.replaying = true;
    Receive(navigation, "$GPZDA,123457.50,07,12,2026,00,00");
    EXPECT_EQ(frame.Take().size(), 1u);
    EXPECT_EQ(navigation.Monitor().Text(), "$GPZDA,123456.50,07,12,2026,00,00\r\n");
}

// The heading and depth inputs pass on their own sentences only, and only
// while switched on; the chosen heading sentence does not filter.
TEST_F(SerialSensorsTest, HeadingAndDepthInputsPassTheirSentencesOnly)
{
    CGyroCompass heading(host);
    CNmeaDepth depth(host);
    const std::vector<std::string> lines = {"$HEHDT,274.07,T", "$HEHDG,101.1,,,,",          "$HEHDR,1.5,T",
                                            "$SDDPT,12.3,0.5", "$SDDBT,25.3,f,7.7,M,4.2,F", "$SDDBS,1,f,0.3,M,0.2,F",
                                            "$GPGGA,1,2"};
    const auto feed = [&](CSerialDeviceLink& sensor) {
        for (const std::string& line : lines)
            Receive(sensor, line);
        std::vector<std::string> texts;
        for (const auto& t : frame.Take())
            texts.push_back(t.text);
        return texts;
    };
    // Off: the port is open, but nothing is passed on.
    EXPECT_TRUE(feed(heading).empty());
    EXPECT_TRUE(feed(depth).empty());
    heading.SetEnabled(true);
    heading.SelectSentence(CGyroCompass::kHDT);
    depth.SetEnabled(true);
    EXPECT_EQ(feed(heading), (std::vector<std::string>(lines.begin(), lines.begin() + 3)));
    EXPECT_EQ(feed(depth), (std::vector<std::string>(lines.begin() + 3, lines.begin() + 6)));
    EXPECT_EQ(heading.GetSettings().HeadingStartSequence, "HDT");
    host.replaying = true;
    EXPECT_TRUE(feed(heading).empty());
    EXPECT_TRUE(feed(depth).empty());
}

// A key without values reads the first column and writes it back; the
// defaults action writes the second and leaves the rest.
TEST_F(SerialSensorsTest, NavigationSettingsHaveTheirTwoKindsOfDefaults)
{
    HKEY key = MakeKey("Navigation");
    CNavigation navigation(host, sources);
    // Whoever keeps a copy of the settings is told of every change.
    int told = 0;
    navigation.SetSettingsChanged([&] { ++told; });
    EXPECT_EQ(navigation.Load(key), 1);
    EXPECT_EQ(told, 1);
    const CNavigation::Settings read = navigation.GetSettings();
    EXPECT_EQ(read, CNavigation::Settings{});
    EXPECT_EQ(ReadDword(key, "StartField"), 1u);
    EXPECT_EQ(ReadDword(key, "NoOfFields"), 1u);
    EXPECT_EQ(ReadDword(key, "SpeedType"), 2u);

    CNavigation::Settings changed = read;
    changed.PositionSource = CNavigation::kSourceSerial;
    changed.UseAutoZda = 1;
    changed.Latency = 120.0;
    changed.StartSequence = "$??GGA";
    changed.ClockSource = CNavigation::kSourceNetwork;
    changed.SpeedManual = 7.5;
    EXPECT_TRUE(navigation.StoreSettings(changed));
    EXPECT_EQ(told, 2);
    navigation.SetDefaults();
    EXPECT_EQ(told, 3);
    const CNavigation::Settings reset = navigation.GetSettings();
    EXPECT_EQ(reset.StartField, 3u);
    EXPECT_EQ(reset.NoOfFields, 4u);
    EXPECT_EQ(reset.NavigationSentence, 2u);
    EXPECT_EQ(reset.FieldSeparator, ",");
    EXPECT_EQ(reset.ClockSource, 0u);
    EXPECT_EQ(reset.SpeedManual, 5.0);
    // Unchanged by the defaults action.
    EXPECT_EQ(reset.PositionSource, 1u);
    EXPECT_EQ(reset.UseAutoZda, 1u);
    EXPECT_EQ(reset.Latency, 120.0);
    EXPECT_EQ(reset.StartSequence, "$??GGA");
    EXPECT_EQ(ReadDword(key, "StartField"), 3u);
    EXPECT_EQ(ReadDword(key, "NoOfFields"), 4u);

    // A fresh object reads what was written.
    CNavigation again(host, sources);
    again.Load(key);
    EXPECT_EQ(again.GetSettings(), reset);
    RegCloseKey(key);

    // Without a key the settings hold, but nothing is written.
    CNavigation keyless(host, sources);
    EXPECT_FALSE(keyless.StoreSettings(changed));

    navigation.StoreDepthOutput(1, 1, "T38 38 kHz");
    EXPECT_EQ(told, 4);
    navigation.SetSettingsChanged({});
    navigation.StoreSettings(changed);
    EXPECT_EQ(told, 4);
}

TEST_F(SerialSensorsTest, NavigationSentencesAndLineProtocols)
{
    struct Row
    {
        DWORD sentence;
        const char* start;
        DWORD first, count;
    };
    for (const Row& r :
         {Row{0, "$??GLL", 2, 4}, Row{4, "$PTNL,GGK", 5, 4}, Row{5, "$PTNL,PJK", 5, 4}, Row{7, "$??LLK", 3, 4}}) {
        const CNavigation::Settings s = CNavigation::ApplySentence({}, r.sentence);
        EXPECT_EQ(s.StartSequence, r.start);
        EXPECT_EQ(s.FieldSeparator, ",");
        EXPECT_EQ(s.StartField, r.first);
        EXPECT_EQ(s.NoOfFields, r.count);
        EXPECT_EQ(s.NavigationSentence, r.sentence);
    }
    EXPECT_EQ(CNavigation::ApplySentence({}, 8), CNavigation::Settings{});

    CNavigation::Settings s;
    EXPECT_EQ(CNavigation::RxProtocolName(s), "ASCII");  // NMEA sentences
    s.NavigationProtocol = CNavigation::kProtocolAscii;
    const char* expected[] = {"ASCII_CRLF", "ASCII_CR", "ASCII_LF", "ASCII"};
    for (DWORD terminator = 0; terminator < 4; ++terminator) {
        s.AsciiProtocol = terminator;
        EXPECT_EQ(CNavigation::RxProtocolName(s), expected[terminator]);
    }
}

TEST_F(SerialSensorsTest, SpeedIsManualOrTheLastMeasured)
{
    CNavigation navigation(host, sources);
    CNavigation::Settings s = navigation.GetSettings();
    navigation.SetMeasuredSpeed(8.2);
    EXPECT_EQ(navigation.GetSpeed(), 5.0);  // manual by default
    s.SpeedType = CNavigation::kSpeedSerial;
    navigation.StoreSettings(s);
    EXPECT_EQ(navigation.GetSpeed(), 8.2);
    s.SpeedType = CNavigation::kSpeedNetwork;
    navigation.StoreSettings(s);
    double knots = 0.0;
    EXPECT_TRUE(navigation.GetSpeedKnots(knots));
    EXPECT_EQ(knots, 8.2);
    CNavigation fresh(host, sources);
    fresh.StoreSettings(s);
    EXPECT_EQ(fresh.GetSpeed(), 0.0);  // before the first VTG
}

// The depth telegram's rules, the same for navigation and trawl: off sends
// nothing, types 3 and 4 go for every channel, the others for the chosen
// one, an unusable depth or index answers 1; the trawl link also answers 1
// while its device is closed.
TEST_F(SerialSensorsTest, DepthTelegramRules)
{
    CNavigation navigation(host, sources);
    CTrawl trawl(SounderModel::RM30, sources);
    struct Row
    {
        DWORD output, type;
        const char* channel;
        int index;
        double depth;
        int navigation, trawl;
    };
    const Row rows[] = {
        {0, 0, "Other", 0, 10.0, 0, 0},               // output off
        {1, 0, "Other", 0, 10.0, 0, 0},               // not the chosen channel
        {1, 0, "T38 38 kHz", 0, 10.0, 0, 1},          // chosen; the trawl's device is closed
        {1, 3, "Other", 1, 10.0, 0, 1},               // type 3: every channel
        {1, 4, "Other", 0, -1.0, 1, 1},               // negative depth
        {1, 1, "T38 38 kHz", 0, std::nan(""), 1, 1},  // no number
        {1, 1, "T38 38 kHz", -1, 10.0, 1, 1},         // negative channel index
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.channel) + " type " + std::to_string(r.type));
        CNavigation::Settings n = navigation.GetSettings();
        n.DepthOutput = r.output;
        n.DepthTelegram = r.type;
        n.ChannelSource = "T38 38 kHz";
        navigation.StoreSettings(n);
        CTrawl::Settings t = trawl.GetSettings();
        t.DepthOutput = r.output;
        t.DepthTelegram = r.type;
        t.ChannelSource = "T38 38 kHz";
        trawl.StoreSettings(t);
        EXPECT_EQ(navigation.SendDepthTelegram(r.channel, r.index, kStamp, r.depth, 1.0, 0.0, 0.0), r.navigation);
        EXPECT_EQ(trawl.SendDepthTelegram(r.channel, r.index, kStamp, r.depth, 1.0, 0.0, 0.0), r.trawl);
    }
}

// DBS and DBT carry the metres in field 3, DPT the depth below the sensor
// plus its offset, HFB of talker II the opening; anything unusable keeps
// the previous reading.
TEST_F(SerialSensorsTest, TrawlReadingsAndWhatKeepsThePreviousOne)
{
    CTrawl trawl(SounderModel::RM30, sources);
    struct Row
    {
        const char* sentence;
        double depth, opening;  // after it
        const char* legend;
    };
    const Row rows[] = {
        {"$IIDPT,100.0,5.0", 105.0, 0.0, "depth below the sensor plus its offset"},
        {"$IIHFB,12.5,M", 105.0, 12.5, "opening"},
        {"$GPHFB,30.0,M", 105.0, 12.5, "opening of another talker: ignored"},
        {"$IIDBS,328.1,f,100.0,M,54.7,F", 100.0, 12.5, "metres in field 3"},
        {"$SDDBT,25.3,f,7.7,M,4.2,F", 7.7, 12.5, "any talker"},
        {"$IIDPT,42.0,", 42.0, 12.5, "an empty offset is none"},
        {"$IIDBT,25.3,f,,M,4.2,F", 42.0, 12.5, "empty metres: previous kept"},
        {"$IIDPT,deep,0.5", 42.0, 12.5, "no number: previous kept"},
        {"$IIDPT,1.0,x", 42.0, 12.5, "offset no number: previous kept"},
        {"$IIHFB,nan,M", 42.0, 12.5, "not a finite number"},
        {"$IIHFB,", 42.0, 12.5, "empty opening"},
        {"$IIDPT,12.0,0.0*00", 42.0, 12.5, "checksum fails"},
        {"$IIDPT,12.0,0.0*73", 12.0, 12.5, "checksum right"},
        {"$IIDP", 12.0, 12.5, "short"},
        {"$I*DPT,30.0,0.0", 12.0, 12.5, "a star before the sentence's name"},
    };
    for (const Row& r : rows) {
        trawl.ParseTelegram(r.sentence, kStamp);
        const CTrawl::Readings readings = trawl.GetReadings();
        EXPECT_DOUBLE_EQ(readings.depth, r.depth) << r.legend;
        EXPECT_DOUBLE_EQ(readings.opening, r.opening) << r.legend;
    }
}

TEST_F(SerialSensorsTest, TrawlDataStatesByAgeAndModel)
{
    CTrawl rm30(SounderModel::RM30, sources);
    CTrawl qy(SounderModel::QY310, sources);
    TrawlRecord record;
    EXPECT_FALSE(rm30.GetTrawlDataAt(record, kStamp));
    EXPECT_EQ(record.depthState, TrawlRecord::kNone);
    EXPECT_EQ(record.openingState, TrawlRecord::kNone);
    for (CTrawl* t : {&rm30, &qy}) {
        t->ParseTelegram("$IIDPT,80.0,0.0", kStamp);
        t->ParseTelegram("$IIHFB,14.0,M", kStamp - 40 * kSecond);
    }
    // 20 s old: valid within the 30 s of the trawl models, too old for the
    // 10 s of the QY models.
    EXPECT_TRUE(rm30.GetTrawlDataAt(record, kStamp + 20 * kSecond));
    EXPECT_EQ(record.depthState, TrawlRecord::kValid);
    EXPECT_EQ(record.depth, 80.0);
    EXPECT_EQ(record.openingState, TrawlRecord::kTooOld);
    EXPECT_EQ(record.opening, 14.0);
    EXPECT_FALSE(qy.GetTrawlDataAt(record, kStamp + 20 * kSecond));
    EXPECT_EQ(record.depthState, TrawlRecord::kTooOld);

    // Manual: the opening is always the manual one, and valid.
    CTrawl::Settings s = rm30.GetSettings();
    s.Manual = 1;
    s.ManualOpening = 22.5;
    rm30.StoreSettings(s);
    EXPECT_TRUE(rm30.GetTrawlDataAt(record, kStamp + 100 * kSecond));
    EXPECT_EQ(record.openingState, TrawlRecord::kValid);
    EXPECT_EQ(record.opening, 22.5);
    EXPECT_EQ(record.depthState, TrawlRecord::kTooOld);
}

TEST_F(SerialSensorsTest, TrawlSettingsAndTheirReset)
{
    HKEY key = MakeKey("Trawl");
    for (SounderModel model : {SounderModel::TQ30, SounderModel::QY210}) {
        CTrawl trawl(model, sources);
        trawl.SetSettingsKey(key);
        CTrawl::Settings s = trawl.GetSettings();
        EXPECT_EQ(ReadDword(key, "DepthTelegram"), 0u);  // written back
        s.DepthOutput = 1;
        s.DepthTelegram = 7;
        s.ChannelSource = "T120 120 kHz";
        s.ManualOpening = 40.0;
        EXPECT_TRUE(trawl.StoreSettings(s));
        trawl.ResetData();
        const CTrawl::Settings reset = trawl.GetSettings();
        EXPECT_EQ(reset.Manual, model == SounderModel::TQ30 ? 0u : 1u);
        EXPECT_EQ(reset.ManualOpening, 0.0);
        EXPECT_EQ(reset.DepthTelegram, 0u);
        EXPECT_EQ(reset.ChannelSource, "");
        EXPECT_EQ(ReadDword(key, "DepthOutput"), 0u);
    }
    RegCloseKey(key);
}

// The monitor appends a line end after each line of two or more
// characters, shows bytes in hex, posts one refresh however many lines come
// before it is handled, and is cut to its tail when refreshed.
TEST_F(SerialSensorsTest, MonitorLinesHexAndTail)
{
    CSensorMonitor monitor(1000, 333);
    struct CView final : ISensorView
    {
        void OnSensorChanged() override { ++refreshes; }
        int refreshes = 0;
    } view;
    monitor.SetView(&view);
    monitor.AppendText("$HEHDT,1.0,T");
    monitor.AppendText("x");  // one character: no line end of its own
    monitor.AppendText("y\n");
    const BYTE bytes[] = {0x24, 0x0A, 0xFF};
    monitor.AppendHex(bytes, 3);
    EXPECT_EQ(monitor.Text(), "$HEHDT,1.0,T\r\nxy\n 24 0A FF\r\n");
    PumpUntil([&] { return view.refreshes > 0; }, std::chrono::seconds(5));
    PumpUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(view.refreshes, 1);

    monitor.Clear();
    monitor.AppendText(std::string(999, 'a'));  // 1001 with its line end
    PumpUntil([&] { return view.refreshes > 1; }, std::chrono::seconds(5));
    EXPECT_EQ(monitor.Text(), std::string(331, 'a') + "\r\n");
}

}  // namespace
