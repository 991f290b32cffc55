// The recorder's side products against a fake sounder: the txt, geo, dg and
// xyz files read back by readers written from their layouts, when each
// product is on, which commands close them, and a full disk that ends each
// at its last whole record.
#include "recording/tests/ProductReaders.h"
#include "recording/tests/StoreFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zv::recording;
using namespace zv::recording::test;

namespace {

constexpr std::uint64_t kSecond = 10000000ULL;
// 2026-01-01 23:00:00.250 UTC: 2 January, 01:00:00.25 in the test's zone.
constexpr std::uint64_t kT0 = (11644473600ULL + 1767225600ULL + 23ULL * 3600) * kSecond + 2500000;

// Northward half a minute of latitude a ping.
double Minutes(double ping)
{
    return 10.0 + 0.5 * ping;
}

std::string Gga(int ping)
{
    char latitude[16];
    std::snprintf(latitude, sizeof latitude, "48%07.4f", Minutes(ping));
    return std::string("$GPGGA,230000,") + latitude + ",N,01131.000,E,1,08,0.9,5.4,M,46.9,M,,";
}

struct StoreProductsTest : ::testing::Test
{
    StoreProductsTest() : clock(kT0) { CFileTime::SetClock(&clock); }
    ~StoreProductsTest() override { CFileTime::SetClock(nullptr); }

    fs::path Folder() const { return dir.path / "data"; }
    SStoreSettings Settings()
    {
        SStoreSettings s;
        s.filePath = Folder().string();
        return s;
    }
    SStoreSettings AllProducts()
    {
        SStoreSettings s = Settings();
        s.txt = s.geoRef = s.saveEchogramData = s.saveXyzData = s.saveXtfData = 1;
        s.echogram[0] = s.xyz[0] = 1;
        return s;
    }
    // A ping as the ping-data thread runs it, the ship's position sentence
    // received a little before.
    void Ping(CStore& store, int ping)
    {
        const std::uint64_t t = kT0 + std::uint64_t(ping) * kSecond;
        store.WriteNmeaToFiles(Gga(ping), t - kSecond / 5);
        sounder.SetPing(ping, t);
        store.WritePing();
        store.WriteXtfPing();
    }
    std::string Text(const std::string& extension)
    {
        const auto files = FilesWith(Folder(), extension);
        EXPECT_EQ(files.size(), 1u) << extension;
        if (files.empty())
            return {};
        const auto bytes = ReadBytes(files[0]);
        return std::string(bytes.begin(), bytes.end());
    }
    std::vector<std::string> Lines(const std::string& extension)
    {
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitCrLf(Text(extension), lines)) << extension << ": a line without its end";
        return lines;
    }

    SLocalZone zone;
    TempFolder dir;
    CManualClock clock;
    CFakeSounder sounder{3, 40};
    CFakeEvents events;
};

TEST_F(StoreProductsTest, TxtHoldsTheSentencesAndADepthLinePerChannelAndPing)
{
    SStoreSettings s = Settings();
    s.txt = 1;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        for (int ping = 0; ping < 2; ++ping)
            Ping(store, ping);
    }
    const auto files = FilesWith(Folder(), ".txt");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "L0000-D20260101-T230000-FAKE.txt");
    const auto lines = Lines(".txt");
    ASSERT_EQ(lines.size(), 2u * (1 + 3));
    for (int ping = 0; ping < 2; ++ping) {
        SCOPED_TRACE(ping);
        const std::size_t at = std::size_t(ping) * 4;
        EXPECT_EQ(lines[at], Gga(ping));
        for (std::size_t c = 0; c < 3; ++c) {
            STxtDepthLine d;
            ASSERT_TRUE(ParseTxtDepthLine(lines[at + 1 + c], d)) << lines[at + 1 + c];
            EXPECT_EQ(d.date, "02012026");
            EXPECT_EQ(d.time, "01000" + std::to_string(ping) + ".25");
            EXPECT_EQ(d.depth, 10.0 * double(c + 1) + ping);
            EXPECT_EQ(d.khz, 38 + 50 * int(c));
        }
    }
}

// A position sentence the telegram decoder did not take is kept as a
// datagram only: no txt line, no xyz position, no xtf navigation record.
TEST_F(StoreProductsTest, AnUnhandledSentenceReachesOnlyTheDatagramFiles)
{
    SStoreSettings s = AllProducts();
    s.saveRawData = 1;
    const std::string other = "$GPGLL,4830.0000,N,01131.000,E,230000,A";
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        Ping(store, 0);
        store.WriteNmeaDatagram(other, kT0 + kSecond / 2);
        Ping(store, 1);
    }
    const auto raws = FilesWith(Folder(), ".raw");
    ASSERT_EQ(raws.size(), 1u);
    // The raw file opens with the first ping, after its sentence.
    EXPECT_EQ(ReadBack(raws[0]).sentences, (std::vector<std::string>{other, Gga(1)}));
    for (const std::string& line : Lines(".txt"))
        EXPECT_NE(line, other);
    EXPECT_EQ(ReadXtf(ReadBytes(FilesWith(Folder(), ".xtf").at(0))).navigation.size(), 1u);
    for (const std::string& line : Lines(".xyz")) {
        SXyzLine l;
        ASSERT_TRUE(ParseXyzLine(line, l)) << line;
        EXPECT_LT(l.first, 48.2) << "the unhandled position was taken";
    }
}

TEST_F(StoreProductsTest, GeoLinesAreWrittenAsHandedInWhileTheProductIsOn)
{
    SStoreSettings s = Settings();
    s.geoRef = 1;
    CStore store(sounder, events, nullptr, s);
    store.WriteGeoLine("VGR,23000025,4810.0000000,1131.0000000,12.50,3");  // not logging
    EXPECT_TRUE(FilesWith(Folder(), ".geo").empty());
    store.OnToggleLogging();
    store.WriteGeoLine("VGR,23000025,4810.0000000,1131.0000000,12.50,3");
    store.WriteGeoLine("SSG,23000125,4811.0000000,1131.0000000,HDT 45.00,12.50,30.00");
    store.OnToggleLogging();
    EXPECT_EQ(Lines(".geo"),
              (std::vector<std::string>{"VGR,23000025,4810.0000000,1131.0000000,12.50,3",
                                        "SSG,23000125,4811.0000000,1131.0000000,HDT 45.00,12.50,30.00"}));
}

TEST_F(StoreProductsTest, EchogramStorageHoldsBothWindowsOfEachSwitchedChannel)
{
    SStoreSettings s = Settings();
    s.saveEchogramData = 1;
    s.echogram[1] = s.echogram[2] = 1;
    s.echogramSurfaceCount = 5;
    s.echogramBottomCount = 3;
    s.echogramRangeSurface = 100.0;
    s.echogramRangeSurfaceStart = 2.5;
    s.echogramRangeBottom = 20.0;
    s.echogramRangeBottomStart = 15.0;
    s.tvgType = 4;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        Ping(store, 0);
        Ping(store, 1);
    }
    const auto files = FilesWith(Folder(), ".dg");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "L0000-D20260101-T230000-FAKE-88-138.dg");
    const SDgFile f = ReadDg(ReadBytes(files[0]));
    EXPECT_EQ(f.unread, 0u);
    ASSERT_EQ(f.records.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const int ping = int(k / 2);
        const std::size_t channel = 1 + k % 2;
        const SDgRead& d = f.records[k];
        EXPECT_EQ(d.q, 'Q');
        EXPECT_EQ(d.channel, char('1' + channel));
        EXPECT_TRUE(d.commas);
        EXPECT_EQ(d.time, "23000" + std::to_string(ping) + "25");  // UTC
        EXPECT_EQ(d.tvg, 4u);
        EXPECT_EQ(d.bottom, float(10.0 * double(channel + 1) + ping));
        EXPECT_EQ(d.surfaceStart, 2.5f);
        EXPECT_EQ(d.surfaceEnd, 102.5f);
        EXPECT_EQ(d.bottomFirst, 15.0f);
        EXPECT_EQ(d.bottomSecond, -5.0f);
        ASSERT_EQ(d.ns, 5u);
        ASSERT_EQ(d.nb, 3u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(d.surface[std::size_t(i)], CFakeSounder::ProductSample(ping, channel, 0, i));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(d.bottomSamples[std::size_t(i)], CFakeSounder::ProductSample(ping, channel, 1, i));
    }
    // The windows as asked of the channel.
    ASSERT_GE(sounder.sampleRequests.size(), 2u);
    const auto& surface = sounder.sampleRequests[0];
    const auto& bottom = sounder.sampleRequests[1];
    EXPECT_EQ(std::tuple(surface.n, surface.range, surface.start, surface.type, surface.reference),
              std::tuple(5, 100.0, 2.5, 4, 0));
    EXPECT_EQ(std::tuple(bottom.n, bottom.range, bottom.start, bottom.type, bottom.reference),
              std::tuple(3, 20.0, 15.0, 4, 1));
}

TEST_F(StoreProductsTest, EchogramStorageTakesAtMostThirtyThousandSamples)
{
    for (const std::uint32_t bottom : {29750u, 29751u}) {
        SCOPED_TRACE(bottom);
        TempFolder own;
        SStoreSettings s = Settings();
        s.filePath = (own.path / "data").string();
        s.saveEchogramData = 1;
        s.echogram[0] = 1;
        s.echogramBottomCount = bottom;  // beside 250 at the surface
        {
            CStore store(sounder, events, nullptr, s);
            store.OnToggleLogging();
            Ping(store, 0);
        }
        const auto files = FilesWith(own.path / "data", ".dg");
        if (bottom + 250 > 30000) {
            EXPECT_TRUE(files.empty());
            continue;
        }
        ASSERT_EQ(files.size(), 1u);
        const auto bytes = ReadBytes(files[0]);
        EXPECT_EQ(CByteReader(bytes).U32(0), 60044u);
        EXPECT_EQ(ReadDg(bytes).records.size(), 1u);
    }
}

TEST_F(StoreProductsTest, XyzLinesPlaceTheSwitchedChannelsDepthsOnTheTrack)
{
    SStoreSettings s = Settings();
    s.saveXyzData = 1;
    s.xyz[0] = s.xyz[2] = 1;
    {
        CStore store(sounder, events, nullptr, s);
        store.SetHeaderValue(0.5);
        store.OnToggleLogging();
        for (int ping = 0; ping < 4; ++ping)
            Ping(store, ping);
    }
    const auto files = FilesWith(Folder(), ".xyz");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "L0000-D20260101-T230000-FAKE-38-138.xyz");
    // A ping's depths are placed once the next ping's sentence has come.
    const auto lines = Lines(".xyz");
    ASSERT_EQ(lines.size(), 3u * 2);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        SCOPED_TRACE(lines[k]);
        const int ping = int(k / 2);
        SXyzLine l;
        ASSERT_TRUE(ParseXyzLine(lines[k], l));
        // The sentences lie 0.2 s before each ping: the ping is 0.2 of the
        // way from its own sentence to the next.
        EXPECT_NEAR(l.first, 48 + Minutes(ping + 0.2) / 60, 1e-7);
        EXPECT_NEAR(l.second, 11 + 31.0 / 60, 1e-7);
        EXPECT_EQ(l.depth, (k % 2 == 0 ? 10.0 : 30.0) + ping);
        EXPECT_EQ(l.time, "01000" + std::to_string(ping) + ".25");
        EXPECT_EQ(l.height, -0.5);
    }
}

struct SGateRow
{
    const char* legend;
    bool replaying;
    int saveData;
    bool logging;
    bool fixedName;
    const char* files;  // the products made, in the order txt geo dg xyz xtf
};

TEST_F(StoreProductsTest, EachProductIsOnByItsSwitchAndTheRecordingState)
{
    const SGateRow rows[] = {
        {"live, not logging", false, 0, false, false, ""},
        {"live, logging", false, 0, true, false, "txt geo dg xyz xtf"},
        {"replay without saving data: xtf alone", true, 0, false, false, "xtf"},
        {"replay saving data", true, 1, false, false, "txt geo dg xyz xtf"},
        {"a sequence file records its raw file alone", false, 0, false, true, ""},
    };
    for (const SGateRow& row : rows) {
        SCOPED_TRACE(row.legend);
        TempFolder own;
        CFakeSounder fake(2, 20);
        fake.sides = {0};
        fake.replaying = row.replaying;
        fake.saveDataOption = row.saveData;
        fake.replayFolder = (own.path / "replayed").string();
        SStoreSettings s = AllProducts();
        s.filePath = (own.path / "data").string();
        {
            CStore store(fake, events, nullptr, s, row.fixedName ? (own.path / "data" / "seq.raw").string() : "");
            store.OnCommand(app::cmd::REPLAY_FILE_OPENED);
            if (row.logging)
                store.OnToggleLogging();
            for (int ping = 0; ping < 3; ++ping) {
                store.WriteNmeaToFiles(Gga(ping), kT0 + std::uint64_t(ping) * kSecond - kSecond / 5);
                fake.SetPing(ping, kT0 + std::uint64_t(ping) * kSecond);
                store.WritePing();
                store.WriteXtfPing();
                store.WriteGeoLine("VGR,23000025,4810.0000000,1131.0000000,12.50,3");
            }
        }
        std::string made;
        for (const char* extension : {"txt", "geo", "dg", "xyz", "xtf"}) {
            const fs::path folder = own.path / (row.replaying ? "replayed" : "data");
            const auto files = FilesWith(folder, std::string(".") + extension);
            if (files.empty())
                continue;
            EXPECT_EQ(files.size(), 1u) << extension;
            if (row.replaying) {
                EXPECT_EQ(files[0].stem().string().rfind("replayed", 0), 0u) << files[0];
            }
            made += std::string(made.empty() ? "" : " ") + extension;
        }
        EXPECT_EQ(made, row.files);
    }
}

// Logging off and command 32851 close every file; command 33792 closes the
// out, dg, xyz, txt, extract and xtf files and leaves the raw and geo files
// open. Deleting the recorder closes everything.
TEST_F(StoreProductsTest, CommandsCloseTheProductsTheyName)
{
    SStoreSettings s = AllProducts();
    s.saveRawData = 1;
    // Two pings: the second's sentence places the first's depth.
    const auto round = [&](CStore& store, int ping) {
        Ping(store, 2 * ping);
        Ping(store, 2 * ping + 1);
        store.WriteGeoLine("VGR,line " + std::to_string(ping));
    };
    const auto count = [&](const char* extension) { return FilesWith(Folder(), extension).size(); };
    CStore store(sounder, events, nullptr, s);
    store.OnToggleLogging();
    round(store, 0);
    store.OnCommand(app::cmd::CLOSE_REPLAY_FILES);
    round(store, 1);
    EXPECT_EQ(count(".raw"), 1u);
    EXPECT_EQ(count(".geo"), 1u);
    for (const char* extension : {".txt", ".dg", ".xyz", ".xtf"})
        EXPECT_EQ(count(extension), 2u) << extension;
    EXPECT_EQ(Lines(".geo").size(), 2u);

    store.OnToggleLogging();  // off: everything closed
    store.OnToggleLogging();
    round(store, 2);
    for (const char* extension : {".raw", ".geo"})
        EXPECT_EQ(count(extension), 2u) << extension;
    for (const char* extension : {".txt", ".dg", ".xyz", ".xtf"})
        EXPECT_EQ(count(extension), 3u) << extension;
}

TEST_F(StoreProductsTest, TheProductsKeepOneFileWhileTheRawFileRollsOver)
{
    SStoreSettings s = AllProducts();
    s.saveRawData = 1;
    s.maxFileSize = 1000;  // every ping starts a new raw file
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        for (int ping = 0; ping < 4; ++ping) {
            clock.SetFileTime(kT0 + std::uint64_t(ping) * kSecond);
            Ping(store, ping);
        }
    }
    EXPECT_EQ(FilesWith(Folder(), ".raw").size(), 4u);
    for (const char* extension : {".txt", ".dg", ".xyz", ".xtf"})
        EXPECT_EQ(FilesWith(Folder(), extension).size(), 1u) << extension;
    EXPECT_EQ(ReadDg(ReadBytes(FilesWith(Folder(), ".dg")[0])).records.size(), 4u);
    EXPECT_EQ(ReadXtf(ReadBytes(FilesWith(Folder(), ".xtf")[0])).pings.size(), 4u);
}

TEST_F(StoreProductsTest, WithoutChannelsNoProductFileIsMade)
{
    CFakeSounder none(0);
    {
        CStore store(none, events, nullptr, AllProducts());
        store.OnToggleLogging();
        store.WriteNmeaToFiles(Gga(0), kT0);
        store.WritePing();
        store.WriteXtfPing();
        store.WriteGeoLine("VGR,line");
    }
    EXPECT_TRUE(!fs::exists(Folder()) || fs::is_empty(Folder()));
}

// The child records every product into a file-size limit; each file ends
// at its last whole record, and the alarm goes up once.
TEST_F(StoreProductsTest, AFullDiskEndsEachProductAtItsLastWholeRecord)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{3000, 3000};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            _exit(10);
        sounder.sides = {0, 1};
        CFakeEvents childEvents;
        {
            CStore store(sounder, childEvents, nullptr, AllProducts());
            store.OnToggleLogging();
            for (int ping = 0; ping < 60; ++ping) {
                Ping(store, ping);
                store.WriteGeoLine("VGR,23000025,4810.0000000,1131.0000000,12.50," + std::to_string(ping));
            }
        }
        _exit(childEvents.alarms == std::vector<std::string>{"Disk full"} ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the alarm once";

    for (const char* extension : {".txt", ".geo", ".xyz"}) {
        SCOPED_TRACE(extension);
        const std::string text = Text(extension);
        EXPECT_GT(text.size(), 2000u);
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitCrLf(text, lines));
    }
    const SDgFile dg = ReadDg(ReadBytes(FilesWith(Folder(), ".dg")[0]));
    EXPECT_EQ(dg.unread, 0u);
    EXPECT_EQ(dg.records.size(), 1u);  // 1552 bytes each
    const SXtfFile xtf = ReadXtf(ReadBytes(FilesWith(Folder(), ".xtf")[0]));
    EXPECT_EQ(xtf.unread, 0u);
    EXPECT_GE(xtf.pings.size(), 2u);
}

}  // namespace
