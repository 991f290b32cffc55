// The wide-band unit against its simulator over UDP on loopback, driven by
// the engine: the connect sequence with the filters sent by TFTP, pings of
// one and of four channels with each bottom where the unit put it, a silent
// unit's placeholder, lost link and reconnection; and the datagrams it sends
// pinned to their bytes.
#include "transceivers/NVU.h"

#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/TempHives.h"
#include "sim/nvu/NvuSimulator.h"
#include "sounder/EchoSounder.h"
#include "testsupport/Wait.h"
#include "transceivers/TrList.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/UdpDatagramLink.h"

#include "sounder/tests/TestEchoSounderHost.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kUnitAddress = 0x7F000002;  // 127.0.0.2

std::string Hex(const std::vector<BYTE>& b)
{
    std::string s;
    char two[3];
    for (BYTE x : b) {
        std::snprintf(two, sizeof two, "%02x", x);
        s += two;
    }
    return s;
}

TEST(NvuTelegrams, ProgramDatagramsMatchTheirGoldenBytes)
{
    struct Row
    {
        const char* legend;
        std::vector<BYTE> bytes;
        std::string hex;
    };
    const Row rows[] = {
        {"halt", nvu::Halt(), "0800000048440000"},
        {"version request with its token", nvu::VersionRequest(0x01020304), "0c0000005652000004030201"},
        {"receive configuration: 0..31, two words, four zero bytes to the stated 52", nvu::ReceiveConfigure(),
         "3400000052432300000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
         "040101000300"
         "0a0000000000"},
        {"operating mode with its pairing mask", nvu::OperatingMode(5),
         "240000004f4d0000"
         "0000000000000000"
         "0f000000"
         "000000000000000000000000"
         "05000000"},
        {"channel enables", nvu::ChannelEnables(0xFFFFFFFD),
         "1c00000054430000fdffffff0000000001000000ffff200000000000"},
        {"front end of a present channel, decimation 4", nvu::FrontEndConfigure(1, true, 4, 3),
         "1000000046504131f8c0ff43ffff024c"},
        {"front end of an absent channel, mode 16", nvu::FrontEndConfigure(2, false, 4, 16),
         "1000000046504132ffc0ff43ffff0200"},
        {"record samples", nvu::RecordSamples(500), "0c00000052490000f4010000"},
        {"restart", nvu::Restart(), "0c0000005245530002000000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(Hex(row.bytes), row.hex);
    }
}

TEST(NvuTelegrams, PingTimingCountsEachFollowedByItsEvent)
{
    const auto d = nvu::PingTiming({10, 20, 30, 40, 50, 60});
    ASSERT_EQ(d.size(), 144u);
    const auto word = [&d](std::size_t at) {
        return static_cast<unsigned>(d[at] | d[at + 1] << 8 | d[at + 2] << 16 | d[at + 3] << 24);
    };
    const unsigned expected[] = {10, 2, 20, 3, 30, 4, 40, 5, 50, 6, 60, 65535};
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(word(16 + 4 * i), expected[i]) << "word " << i;
    for (std::size_t at = 64; at < 144; ++at)
        EXPECT_EQ(d[at], 0) << at;
}

TEST(NvuFilters, FilterFilesAreReadOrRefused)
{
    const fs::path folder = fs::temp_directory_path() / ("zvnvufilter" + std::to_string(getpid()));
    fs::create_directories(folder);
    struct Row
    {
        const char* legend;
        std::string text;
        bool ok;
        int length;
        float inverse;
    };
    std::string many = "3 0 2 1.5\n";
    for (int i = 0; i < 10005; ++i)
        many += "1.0 -1.0\n";
    const Row rows[] = {
        {"three coefficients", "3 0 4 2.0\n1 0\n0 1\n-1 0\n", true, 3, 0.25f},
        {"divisor 0 gives 1/N of 0", "1 0 0 1.0\n1 1\n", true, 1, 0.0f},
        {"more than 10,000 lines: the first 10,000", many, true, 3, 0.5f},
        {"length above the lines read", "5 0 1 1.0\n1 0\n", false, 0, 0.0f},
        {"length above 10,000", "10001 0 1 1.0\n1 0\n", false, 0, 0.0f},
        {"no first line", "", false, 0, 0.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        const fs::path file = folder / "f.txt";
        std::ofstream(file) << row.text;
        CNVU::FilterRecord f;
        EXPECT_EQ(CNVU::ReadFilter(file.string(), f), row.ok);
        if (!row.ok)
            continue;
        EXPECT_EQ(f.length, row.length);
        EXPECT_EQ(f.inverse, row.inverse);
        EXPECT_LE(f.real.size(), 10000u);
    }
    CNVU::FilterRecord untouched;
    EXPECT_FALSE(CNVU::ReadFilter((folder / "absent.txt").string(), untouched));
    fs::remove_all(folder);
}

TEST(NvuFilters, UploadFileNamesAndPowerWords)
{
    EXPECT_EQ(CNVU::UploadFile("/sw", 38000.0, false, 2), "/sw/filter/NVU_38000/rx2filter.txt");
    EXPECT_EQ(CNVU::UploadFile("/sw", 500000.0, false, 0), "/sw/filter/NVU_497000/rx0filter.txt");
    EXPECT_EQ(CNVU::UploadFile("/sw", 500000.0, true, 3), "/sw/filter/FM/NVU_482000/rx3filter.txt");
    EXPECT_EQ(CNVU::PowerToWord(0.0), -20000);
    EXPECT_EQ(CNVU::PowerToWord(-1.0), -20000);
    EXPECT_EQ(CNVU::PowerToWord(1.0), 0);
    EXPECT_EQ(CNVU::PowerToWord(10.0), 850);
    EXPECT_NEAR(CNVU::SystemImpedance(1000.0), 1000.0, 1e-9);
    EXPECT_NEAR(CNVU::SystemImpedance(0.0), CNVU::SystemImpedance(68.0), 1e-9);
}

// The unit's software folder with every channel's filter upload file.
struct SoftwareFolder
{
    fs::path path = fs::temp_directory_path() / ("zvnvusw" + std::to_string(getpid()));
    explicit SoftwareFolder(bool withChannelFiles = true)
    {
        const fs::path filters = path / "filter" / "NVU_200000";
        fs::create_directories(filters);
        std::ofstream(filters / "rxfilter.txt") << "1 0 1 1.0\n1 0\n";
        for (int c = 0; withChannelFiles && c < 4; ++c)
            std::ofstream(filters / ("rx" + std::to_string(c) + "filter.txt")) << "1 0 1 1.0\n1 " << c << "\n";
    }
    ~SoftwareFolder() { fs::remove_all(path); }
};

CTrList ChannelEntry(int channel)
{
    CTrList e;
    e.transceiverId = "NVU1";
    e.channelNo = channel + 1;
    e.type = TransceiverType::NVU;
    e.unitAddress = kUnitAddress;
    e.frequency = 200000.0;
    e.frequencyKHz = 200.0;
    e.txPower = 1000.0;
    e.minMedMaxTxPower = "100 500 1000";
    e.sampleInterval = "0.0001";
    e.minMedMaxPulseLength = "0.0001 0.0002 0.0004 0.0008 0.0016";
    e.gain = "26";
    const std::string description = "T200 200 kHz " + std::to_string(channel + 1);
    e.FormatDescription(&description, TransceiverType::NVU);
    return e;
}

TransceiverChannelRecord Capability(int channel)
{
    TransceiverChannelRecord c;
    c.channelNo = channel + 1;
    c.description = "T200 200";
    c.frequency = 200000.0;
    c.frequencyKHz = 200;
    c.txPowerMax = 1000.0;
    c.fpaDecimation = 200;  // 2 MHz / 200: the unit's 10 kHz
    c.transducerImpedance = 75.0;
    for (int i = 0; i < 5; ++i) {
        c.pulseLength[i] = 0.0001 * (1 << i);
        c.sampleInterval[i] = 0.0001;
        c.gain[i] = 26.0;
    }
    return c;
}

UnitTimings FastTimings(std::uint16_t tftpPort)
{
    UnitTimings o;
    o.receiveWaitMs = 50;
    o.stepDelayMs = 2;
    o.setupDelayMs = 20;
    o.transmitDelayMs = 2;
    o.unitWaitMs = 5000;
    o.timeoutLogPath.clear();
    o.tftpPort = tftpPort;
    return o;
}

// An engine with one installed wide-band unit of some channels, on UDP to
// the simulated unit.
struct Sounder
{
    Sounder(CNvuSimulator& unitSim, int unitChannels) : sim(unitSim), channels(unitChannels) {}

    CNvuSimulator& sim;
    int channels;
    SoftwareFolder software;
    CTempHives hives;
    CRegistrySupport reg;
    CTransceiverInstallation installation;
    CTestEchoSounderHost host;
    CNVU* unit = nullptr;
    std::atomic<int> pings{0};
    std::atomic<int> linkLost{0};
    CTestTransceiverServices services;
    CEchoSounder sounder;

    bool Begin()
    {
        if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\QYNVU\\1.0\\"))
            return false;
        installation.Initialize();
        HKEY key = installation.OpenChannelsKey();
        for (int c = 0; c < channels; ++c)
            installation.WriteChannelEntry(ChannelEntry(c), key);
        reg.CloseKey(key);
        services.model = SounderModel::QYNVU;
        services.softwareFolder = software.path.string();

        CEchoSounder::Context c;
        c.host = &host;
        c.installation = &installation;
        c.model = SounderModel::QYNVU;
        c.workerStartDelayMs = 0;
        host.createTransceiver = [this](TransceiverType type, int, const InstalledTransceiverInfo& info, HKEY) {
            std::unique_ptr<CTransceiver> t;
            if (type == TransceiverType::NVU) {
                std::vector<TransceiverChannelRecord> caps;
                for (int k = 0; k < channels; ++k)
                    caps.push_back(Capability(k));
                InstalledTransceiverInfo unitInfo = info;
                unitInfo.unitAddress = kUnitAddress;
                auto u =
                    std::make_unique<CNVU>(unitInfo, caps, nullptr, services, FastTimings(sim.GetTftpPort()),
                                           CUdpDatagramLink::Open(SocketAddress(kUnitAddress, sim.GetPort()), "NVU"));
                unit = u.get();
                t = std::move(u);
            }
            return t;
        };
        host.documentsNotify = [this]() {
            for (int k = 0; unit && k < channels; ++k)
                if (CChannel* ch = unit->GetUnitChannel(k))
                    ch->RequestRange(60.0);
            ++pings;
        };
        host.linkLost = [this] { ++linkLost; };
        return sounder.Create(c, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                              CEchoSounder::kTriggerInternal, 0, "", 0);
    }
    ~Sounder() { reg.CloseRootKeys(); }
};

CNvuSimulator::Settings SimSettings(int channels)
{
    CNvuSimulator::Settings s;
    s.address = kUnitAddress;
    s.port = 0;
    s.tftpPort = 0;
    s.channels = channels;
    return s;
}

class NvuLink : public testing::TestWithParam<int>
{};

TEST_P(NvuLink, FiftyPingsWithEachBottomAtTheSimulatedDepth)
{
    const int channels = GetParam();
    CNvuSimulator sim(SimSettings(channels));
    ASSERT_TRUE(sim.Start());
    {
        Sounder run(sim, channels);
        ASSERT_TRUE(run.Begin());
        ASSERT_TRUE(run.unit && run.unit->IsRunning());
        ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 50; }, 60s)) << run.pings.load();
        EXPECT_EQ(run.unit->GetSetupMask(), CNVU::kSetupComplete);
        EXPECT_EQ(run.unit->GetSerialNumber(), 0x1A2Bu);
        EXPECT_EQ(run.unit->GetPlaceholders(), 0u);
        EXPECT_LE(sim.GetTriggers(), run.unit->GetPingsCompleted() + 1);
        // Each filter went to the unit as its channel's own file.
        const auto files = sim.GetFiles();
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(files.count("rx" + std::to_string(c) + "filter.txt"), 1u) << c;
        for (int c = 0; c < channels; ++c) {
            SCOPED_TRACE("channel " + std::to_string(c));
            CChannel::ParameterCopy copy;
            run.unit->GetUnitChannel(c)->GetChannelParameters(copy);
            const auto peak = std::max_element(copy.Power.begin(), copy.Power.end());
            const long at = peak == copy.Power.end() ? -1 : static_cast<long>(peak - copy.Power.begin());
            EXPECT_LE(std::abs(at - sim.BottomSample(c)), 2) << "peak at " << at;
        }
    }
    EXPECT_TRUE(zv::test::WaitUntil([&] {
        const auto codes = sim.GetReceivedCodes();
        return !codes.empty() && codes.back() == "HD";
    }));
}

INSTANTIATE_TEST_SUITE_P(Channels, NvuLink, testing::Values(1, 4));

TEST(NvuLinkFaults, SilentUnitGivesPlaceholderAndLostLinkThenReconnects)
{
    CNvuSimulator sim(SimSettings(2));
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 2);
    ASSERT_TRUE(run.Begin());
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 3; }, 60s));
    sim.SilenceDuringNextPing();
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.unit->GetLinkLosses() >= 1; }, 60s));
    EXPECT_GE(run.unit->GetPlaceholders(), 1u);
    // The trigger thread raises the alarm when it next looks.
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.linkLost.load() >= 1; }));
    const int before = run.pings.load();
    sim.SetSilent(false);
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= before + 5; }, 60s));
    EXPECT_EQ(run.unit->GetSetupMask(), CNVU::kSetupComplete);
}

TEST(NvuLinkFaults, MissingChannelFileSendsTheDefaultAndKeepsTheChannelsFile)
{
    CNvuSimulator sim(SimSettings(1));
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 1);
    // No file of the channel's own: the folder's default goes in its place.
    fs::remove(run.software.path / "filter" / "NVU_200000" / "rx0filter.txt");
    ASSERT_TRUE(run.Begin());
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.unit->GetSetupMask() == CNVU::kSetupComplete; }, 60s));
    const auto files = sim.GetFiles();
    ASSERT_EQ(files.count("rx0filter.txt"), 1u);
    const std::string sent(files.at("rx0filter.txt").begin(), files.at("rx0filter.txt").end());
    EXPECT_EQ(sent, "1 0 1 1.0\n1 0\n");
    EXPECT_FALSE(fs::exists(run.software.path / "filter" / "NVU_200000" / "rx0filter.txt"));
}

}  // namespace
