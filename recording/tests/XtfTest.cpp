// The xtf sonar file: its records read back by a reader written from the
// format's tables, and the recorder writing it: when it opens, which
// channels it lists, a ping record a ping and a navigation record a
// position sentence.
#include "recording/XtfRecords.h"
#include "recording/tests/ProductReaders.h"
#include "recording/tests/StoreFixture.h"

#include <gtest/gtest.h>

using namespace zv::recording;
using namespace zv::recording::test;

namespace {

constexpr std::uint64_t kSecond = 10000000ULL;
// 2026-01-01 23:00:00.250 UTC: 2 January, 01:00 in the test's zone.
constexpr std::uint64_t kT0 = (11644473600ULL + 1767225600ULL + 23ULL * 3600) * kSecond + 2500000;

std::vector<std::uint8_t> Header(const SXtfFileHeader& h)
{
    return CXtfRecords::BuildFileHeader(h);
}

TEST(XtfRecords, SampleWordsBecomeTheFilesUnsignedLevels)
{
    const struct
    {
        std::int16_t raw;
        std::uint16_t value;
    } rows[] = {
        {0, 65535},      // the top of the scale, not one past it
        {100, 65535},    // above it
        {-1, 65524},     //
        {-2976, 32772},  // about the middle
        {-5952, 9},      // just above the floor
        {-5953, 0},      // below it
        {-20000, 0},     // no data
    };
    for (const auto& row : rows)
        EXPECT_EQ(CXtfRecords::SampleValue(row.raw), row.value) << row.raw;
}

TEST(XtfRecords, NavigationRecordsCarryTheTwoFieldsAsTheyStand)
{
    SLocalZone zone;
    const struct
    {
        const char* legend;
        const char* sentence;
        bool record;
        double y, x;
    } rows[] = {
        {"GGA fields 2 and 4, hemisphere not applied", "$GPGGA,230000,3356.120,S,15112.500,W,1,08,0.9,5.4,M,46.9,M,,",
         true, 3356.12, 15112.5},
        {"GLL fields 1 and 3", "$GPGLL,5957.1234,N,01045.6789,E,230000.00,A,A", true, 5957.1234, 1045.6789},
        {"GGK fields 3 and 5", "$GPGGK,230000.00,010126,6030.000,N,00515.000,E,3,08", true, 6030.0, 515.0},
        {"$PTNL fields 4 and 6", "$PTNL,PJK,230000.00,010126,6618643.5,N,500123.25,E,3,08", true, 6618643.5, 500123.25},
        {"LLQ fields 3 and 5", "$GPLLQ,230000.00,010126,500123.25,M,6618643.5,M,3,08,0.012,45.10,M", true, 500123.25,
         6618643.5},
        {"LLK fields 3 and 5", "$GPLLK,230000.00,010126,500123.25,M,6618643.5,M,3,08,0.012,45.10,M", true, 500123.25,
         6618643.5},
        {"HDT gives none", "$HEHDT,274.07,T", false, 0, 0},
        {"HDG, without listed fields, gives none", "$HCHDG,98.3,0.0,E,12.6,W", false, 0, 0},
        {"a GEOA telegram gives none", "$PGEOA,DEPTH,12.3", false, 0, 0},
        {"VTG gives none", "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", false, 0, 0},
        {"a GGA without fix gives none", "$GPGGA,230000,,,,,0,00,,,M,,M,,", false, 0, 0},
        {"coordinates that are no number give none", "$GPGGA,230000,48x7,N,01131,E,1,08", false, 0, 0},
        {"under six characters: no type", "$GPGG", false, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        std::array<std::uint8_t, CXtfRecords::kNavigationSize> bytes;
        ASSERT_EQ(CXtfRecords::BuildNavigationRecord(row.sentence, kT0 + 1230000, bytes), row.record);
        if (!row.record)
            continue;
        std::vector<std::uint8_t> file = Header({});
        file.insert(file.end(), bytes.begin(), bytes.end());
        const SXtfFile f = ReadXtf(file);
        ASSERT_EQ(f.order, "N");
        EXPECT_EQ(f.unread, 0u);
        const SXtfNavigationRead& n = f.navigation[0];
        EXPECT_EQ(n.rawY, row.y);
        EXPECT_EQ(n.rawX, row.x);
        // 23:00:00.373 UTC on 1 January is 01:00:00.373 local on the 2nd.
        EXPECT_EQ(n.time.year, 2026);
        EXPECT_EQ(n.time.month, 1);
        EXPECT_EQ(n.time.day, 2);
        EXPECT_EQ(n.time.hour, 1);
        EXPECT_EQ(n.time.minute, 0);
        EXPECT_EQ(n.time.second, 0);
        EXPECT_EQ(n.milliseconds, 373);
    }
}

TEST(XtfRecords, TheFileHeaderListsAtMostSixChannelsWithTheirValues)
{
    SXtfFileHeader h;
    h.programName = "RECORDER";
    h.version = "12.345.6.7";
    h.fileName = std::string(70, 'n');
    for (int k = 0; k < 7; ++k) {
        SXtfChannelInfo c;
        c.side = k % 2;
        c.name = "T200 200 kHz side-looking " + std::to_string(k);
        c.frequency = 200000.0 + k;
        c.horizBeamAngle = 0.5;
        c.beamWidth = 40.0;
        c.offsetX = 1, c.offsetY = 2, c.offsetZ = 3, c.offsetYaw = 4, c.offsetPitch = 5, c.offsetRoll = 6;
        h.channels.push_back(c);
    }
    const std::vector<std::uint8_t> bytes = Header(h);
    ASSERT_EQ(bytes.size(), 1024u);
    const SXtfFile f = ReadXtf(bytes);
    EXPECT_EQ(f.fileFormat, 0x7B);
    EXPECT_EQ(f.systemType, 1);
    EXPECT_EQ(f.programName, "RECORDE");  // 7 characters and the NUL
    EXPECT_EQ(f.version, "12.345.");
    EXPECT_EQ(f.fileName, std::string(63, 'n'));
    EXPECT_EQ(f.navUnits, 3);
    ASSERT_EQ(f.channelCount, 6);
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        const SXtfChannelRead& c = f.channels[std::size_t(k)];
        EXPECT_EQ(c.type, k % 2 == 0 ? 1 : 2);
        EXPECT_EQ(c.sub, k);
        EXPECT_EQ(c.correction, 2);
        EXPECT_EQ(c.unipolar, 0);
        EXPECT_EQ(c.bytesPerSample, 2);
        EXPECT_EQ(c.name, "T200 200 kHz si");
        EXPECT_EQ(c.voltScale, 5.0f);
        EXPECT_EQ(c.frequency, float(200000 + k));
        EXPECT_EQ(c.horizBeamAngle, 0.5f);
        EXPECT_EQ(c.tilt, 30.0f);
        EXPECT_EQ(c.beamWidth, 40.0f);
        EXPECT_EQ(std::vector<float>({c.offsetX, c.offsetY, c.offsetZ, c.yaw, c.pitch, c.roll}),
                  std::vector<float>({1, 2, 3, 4, 5, 6}));
    }
}

TEST(XtfRecords, APingRecordHoldsEachListedChannelCappedAtTwoThousandSamples)
{
    SLocalZone zone;
    std::vector<std::int16_t> port(2000), starboard(10);
    for (std::size_t i = 0; i < port.size(); ++i)
        port[i] = std::int16_t(-5952 + (i == 0 ? 5952 : 0));  // the nearest sample is the loudest
    for (std::size_t i = 0; i < starboard.size(); ++i)
        starboard[i] = std::int16_t(i == 0 ? 0 : -20000);
    const SXtfPingChannel channels[] = {
        {0, 3000, 0.2, 1500.0, 120999.0, port},
        {1, 10, 0.1, 0.0, 38000.0, starboard},
    };
    SXtfPing ping;
    ping.time = kT0;
    ping.pingNumber = 17;
    ping.soundVelocity = 1490.5;
    ping.shipY = -3356.5;
    ping.shipX = 15112.25;
    ping.heading = -9999.0;
    std::vector<std::uint8_t> bytes = Header({});
    std::vector<std::uint8_t> record;
    CXtfRecords::BuildPingRecord(ping, channels, record);
    bytes.insert(bytes.end(), record.begin(), record.end());

    const SXtfFile f = ReadXtf(bytes);
    ASSERT_EQ(f.order, "P");
    EXPECT_EQ(f.unread, 0u);
    const SXtfPingRead& p = f.pings[0];
    EXPECT_EQ(p.bytes, 256u + 64 + 2 * 2000 + 64 + 2 * 10);
    EXPECT_EQ(p.time.day, 2);
    EXPECT_EQ(p.time.hour, 1);
    EXPECT_EQ(p.hseconds, 25);
    EXPECT_EQ(p.pingNumber, 17u);
    EXPECT_EQ(p.soundVelocity, 1490.5f);
    EXPECT_EQ(p.computedSoundVelocity, 1490.5f);
    EXPECT_EQ(p.shipY, -3356.5);
    EXPECT_EQ(p.shipX, 15112.25);
    EXPECT_EQ(p.heading, -9999.0f);
    ASSERT_EQ(p.channels.size(), 2u);

    const SXtfPingChannelRead& a = p.channels[0];
    EXPECT_EQ(a.number, 0);
    EXPECT_EQ(a.numSamples, 2000u);
    EXPECT_FLOAT_EQ(a.slantRange, 600.0f);  // all 3000 samples
    EXPECT_FLOAT_EQ(a.timeDuration, 600.0f / 750.0f);
    EXPECT_EQ(a.processingFlags, 4);
    EXPECT_EQ(a.frequency, 120);
    // The port side from the far end in: the nearest sample comes last.
    EXPECT_EQ(a.samples.front(), 9);
    EXPECT_EQ(a.samples.back(), 65535);

    const SXtfPingChannelRead& b = p.channels[1];
    EXPECT_EQ(b.number, 1);
    EXPECT_EQ(b.numSamples, 10u);
    EXPECT_FLOAT_EQ(b.slantRange, 1.0f);
    EXPECT_EQ(b.timeDuration, 0.0f);  // a channel without a sound velocity
    EXPECT_EQ(b.frequency, 38);
    EXPECT_EQ(b.samples.front(), 65535);
    EXPECT_EQ(b.samples.back(), 0);
}

// --- the recorder's xtf product -----------------------------------------------

struct XtfStoreTest : ::testing::Test
{
    XtfStoreTest() : clock(kT0) { CFileTime::SetClock(&clock); }
    ~XtfStoreTest() override { CFileTime::SetClock(nullptr); }

    SStoreSettings XtfAlone()
    {
        SStoreSettings s;
        s.filePath = Folder().string();
        s.saveXtfData = 1;
        return s;
    }
    fs::path Folder() const { return dir.path / "data"; }
    void Ping(CStore& store, int ping)
    {
        sounder.SetPing(ping, kT0 + std::uint64_t(ping) * kSecond);
        store.WritePing();
        store.WriteXtfPing();
    }
    SXtfFile ReadOnly(const std::string& extension = ".xtf")
    {
        const auto files = FilesWith(Folder(), extension);
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? SXtfFile{} : ReadXtf(ReadBytes(files[0]));
    }

    SLocalZone zone;
    TempFolder dir;
    CManualClock clock;
    CFakeSounder sounder{3, 40};
    CFakeEvents events;
};

TEST_F(XtfStoreTest, LoggingWithXtfAloneWritesAPingRecordAPingAndPositionsBetween)
{
    sounder.sides = {1, 2, 0};  // the middle channel is shown on no side
    CStore store(sounder, events, nullptr, XtfAlone());
    EXPECT_FALSE(store.IsRecordingXtf());
    store.OnToggleLogging();
    ASSERT_TRUE(store.IsLogging());
    EXPECT_TRUE(store.IsRecordingXtf());
    const std::string gga = "$GPGGA,230000,3356.120,S,15112.500,W,1,08,0.9,5.4,M,46.9,M,,";
    store.WriteNmeaToFiles(gga, kT0);  // before the first ping: no file yet
    EXPECT_TRUE(FilesWith(Folder(), ".xtf").empty());
    for (int ping = 0; ping < 3; ++ping) {
        Ping(store, ping);
        store.WriteNmeaToFiles(gga, kT0 + std::uint64_t(ping) * kSecond);
        store.WriteNmeaToFiles("$HEHDT,274.07,T", kT0);
    }
    store.OnToggleLogging();

    const SXtfFile f = ReadOnly();
    EXPECT_EQ(f.unread, 0u);
    EXPECT_EQ(f.programName, "FAKE");
    EXPECT_EQ(f.version, "2.10.3.");
    EXPECT_EQ(f.fileName.rfind("L0000-D20260101-T230000-FAKE", 0), 0u) << f.fileName;
    ASSERT_EQ(f.channelCount, 2);
    EXPECT_EQ(f.channels[0].type, 2);  // channel 1, starboard
    EXPECT_EQ(f.channels[0].name, "Fake 38 kHz");
    EXPECT_EQ(f.channels[0].frequency, 38000.0f);
    EXPECT_EQ(f.channels[1].type, 1);  // channel 3, port
    EXPECT_EQ(f.channels[1].sub, 1);
    EXPECT_EQ(f.channels[1].offsetZ, 4.0f);
    EXPECT_EQ(f.order, "PNPNPN");
    ASSERT_EQ(f.pings.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const SXtfPingRead& p = f.pings[k];
        EXPECT_EQ(p.pingNumber, k + 1);
        EXPECT_EQ(p.time.second, int(k));
        EXPECT_EQ(p.soundVelocity, 1490.5f);
        EXPECT_EQ(p.shipY, -3356.5);
        EXPECT_EQ(p.heading, 274.5f);
        ASSERT_EQ(p.channels.size(), 2u);
        EXPECT_EQ(p.channels[0].frequency, 38);
        EXPECT_FLOAT_EQ(p.channels[0].slantRange, 40 * 0.25f);
        ASSERT_EQ(p.channels[0].numSamples, 40u);
        // Starboard first to last, port last to first.
        EXPECT_EQ(p.channels[0].samples[1], CXtfRecords::SampleValue(CFakeSounder::ProductSample(int(k), 0, 4, 1)));
        EXPECT_EQ(p.channels[1].samples[1], CXtfRecords::SampleValue(CFakeSounder::ProductSample(int(k), 2, 4, 38)));
        EXPECT_EQ(f.navigation[k].rawY, 3356.12);
    }
    // The samples are asked for as the channel's own echogram shows them.
    ASSERT_FALSE(sounder.sampleRequests.empty());
    const auto& r = sounder.sampleRequests.back();
    EXPECT_EQ(r.n, 40);
    EXPECT_EQ(r.range, 10.0);
    EXPECT_EQ(r.start, 0.0);
    EXPECT_EQ(r.type, 3);
    EXPECT_EQ(r.reference, 4);
}

TEST_F(XtfStoreTest, ASeventhSideChannelIsNotListed)
{
    CFakeSounder seven(7, 10);
    seven.sides = {0, 1, 0, 1, 0, 1, 0};
    CStore store(seven, events, nullptr, XtfAlone());
    store.OnToggleLogging();
    seven.SetPing(0, kT0);
    store.WriteXtfPing();
    store.OnToggleLogging();
    const SXtfFile f = ReadOnly();
    EXPECT_EQ(f.channelCount, 6);
    ASSERT_EQ(f.pings.size(), 1u);
    EXPECT_EQ(f.pings[0].channels.size(), 6u);
}

TEST_F(XtfStoreTest, APingWithoutSamplesOnAListedChannelGetsNoRecord)
{
    sounder.sides = {0, 1};
    CStore store(sounder, events, nullptr, XtfAlone());
    store.OnToggleLogging();
    Ping(store, 0);
    sounder.productSamples = {40, 0};
    Ping(store, 1);
    sounder.productSamples = {};
    Ping(store, 2);
    store.OnToggleLogging();
    const SXtfFile f = ReadOnly();
    ASSERT_EQ(f.pings.size(), 2u);
    EXPECT_EQ(f.pings[1].pingNumber, 2u);
    EXPECT_EQ(f.pings[1].time.second, 2);
}

TEST_F(XtfStoreTest, AReplayWritesXtfBySwitchAloneUnderTheReplayedName)
{
    sounder.sides = {0};
    sounder.replaying = true;
    sounder.replayFolder = (dir.path / "replayed").string();
    fs::create_directories(sounder.replayFolder);
    CStore store(sounder, events, nullptr, XtfAlone());
    // Before the replay has named its file, nothing is made; the next ping
    // tries again.
    Ping(store, 0);
    EXPECT_TRUE(FilesWith(sounder.replayFolder, ".xtf").empty());
    store.OnCommand(app::cmd::REPLAY_FILE_OPENED);
    Ping(store, 1);
    store.OnCommand(app::cmd::CLOSE_REPLAY_FILES);
    Ping(store, 2);
    const auto files = FilesWith(sounder.replayFolder, ".xtf");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename(), "replayed.xtf");
    EXPECT_EQ(files[1].filename(), "replayed_2.xtf");
    for (const fs::path& file : files) {
        const SXtfFile f = ReadXtf(ReadBytes(file));
        EXPECT_EQ(f.pings.size(), 1u);
        EXPECT_EQ(f.fileName, file.stem().string());
    }
}

TEST_F(XtfStoreTest, WithoutChannelsNoFileIsMade)
{
    CFakeSounder none(0);
    CStore store(none, events, nullptr, XtfAlone());
    store.OnToggleLogging();
    store.WritePing();
    store.WriteXtfPing();
    EXPECT_FALSE(fs::exists(Folder()) && !FilesWith(Folder(), ".xtf").empty());
}

}  // namespace
