// The wide-band unit against its simulator over UDP on loopback, driven by
// the engine: the connect sequence with the filters sent by TFTP, pings of
// one and of four channels with each bottom where the unit put it, a silent
// unit's placeholder, lost link and reconnection; and the datagrams it sends
// pinned to their bytes.
#include "transceivers/NVU.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/NetworkAdapters.h"
#include "platform/TempHives.h"
#include "sim/nvu/NvuSimulator.h"
#include "sounder/EchoSounder.h"
#include "testsupport/Wait.h"
#include "transceivers/QY42Telegrams.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/TrList.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/UdpDatagramLink.h"

#include "sounder/tests/TestEchoSounderHost.h"
#include "testsupport/NetNamespace.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

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

TEST(NvuTelegrams, PingTimingCountsOnlyForAnInterval)
{
    // 1 ms pulse at 128 us: (0.001 + 1/1500) / 0.000128 + 45 = 58.02, then
    // 41.67, 20.83, 20.83, 20.83 and 5.21 samples more, each truncated.
    const auto t = CNVU::PingTimingCounts(0.001, 0.000128);
    ASSERT_TRUE(t);
    EXPECT_EQ(*t, (std::array<DWORD, 6>{58, 99, 119, 139, 159, 164}));
    const auto fine = CNVU::PingTimingCounts(0.0, 0.00001);
    ASSERT_TRUE(fine);
    EXPECT_EQ((*fine)[0], 111u);  // 66.67 + 45
    // No interval, or counts the unit cannot hold: no timing at all.
    for (const double wanted : {0.0, -0.000128, std::nan(""), 1e-12})
        EXPECT_FALSE(CNVU::PingTimingCounts(0.001, wanted)) << wanted;
    EXPECT_FALSE(CNVU::PingTimingCounts(std::nan(""), 0.000128));
}

TEST(NvuTelegrams, TransmitPulseOfEachKindOfChannel)
{
    struct Row
    {
        const char* legend;
        double frequency;
        bool fm;
        double pulse;
        double power;
        int sharers;
        bool passive;
        double preset;
        // Expected: the rounded pulse, duration, amplitude, ramp, rate
        // (sweep start) and sweep slope.
        double rounded, duration, amplitude, ramp, rate, slope;
    };
    const double r38 = 4000000.0 / 105.0;
    const Row rows[] = {
        {"CW at 200 kHz: the whole pulse", 200000.0, false, 0.000256, 1000.0, 0, false, 0.0, 0.000255, 0.000255 + 1e-7,
         1.0, 0.000025, 200000.0, 0.0},
        {"CW at 38 kHz, one sharer: the ramp off, half the power", 38000.0, false, 0.001024, 2000.0, 1, false, 0.0,
         39.0 / r38, 39.0 / r38 - 5.0 / r38 + 1e-7, 1.0, 5.0 / r38, r38, 0.0},
        {"CW at 500 kHz, shorter than its ramp and 16 us", 500000.0, false, 0.0000128, 250.0, 0, false, 0.0,
         6.0 / 497000.0, 1e-7, 0.5, 5.0 / 497000.0, 497000.0, 0.0},
        {"FM at 500 kHz: the sweep from half its band below", 500000.0, true, 0.001, 1000.0, 0, false, 0.0, 0.001,
         0.001 - 5.0 / 482000.0 + 1e-7, 1.0, 5.0 / 482000.0, 482000.0 - 500.0, 1000.0 / 0.001},
        {"passive: no amplitude", 200000.0, false, 0.000256, 1000.0, 0, true, 0.0, 0.000255, 0.000255 + 1e-7, 0.0,
         0.000025, 200000.0, 0.0},
        {"fixed parameters: the preset's rate", 200000.0, false, 0.0001, 1000.0, 0, false, 500000.0,
         std::round(0.0001 * 497000.0) / 497000.0, std::round(0.0001 * 497000.0) / 497000.0 - 5.0 / 497000.0 + 1e-7,
         1.0, 5.0 / 497000.0, 497000.0, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CTransceiver::StructChannelParameters r;
        r.frequency = row.frequency;
        r.fmPulse = row.fm ? 1 : 0;
        (row.fm ? r.fmPulseLength : r.pulseLength) = row.pulse;
        r.txPower = row.power;
        r.transceiverMode = row.passive ? CTransceiver::kPassive : CTransceiver::kActive;
        double rounded = 0.0;
        const nvu::TransmitPulse p = CNVU::TransmitPulseOf(r, row.sharers, row.preset, &rounded);
        EXPECT_NEAR(rounded, row.rounded, 1e-12);
        EXPECT_FLOAT_EQ(p.duration, static_cast<float>(row.duration));
        EXPECT_FLOAT_EQ(p.amplitude, static_cast<float>(row.amplitude));
        EXPECT_FLOAT_EQ(p.ramp, static_cast<float>(row.ramp));
        EXPECT_FLOAT_EQ(p.rampStep, static_cast<float>(row.ramp));
        EXPECT_FLOAT_EQ(p.rate, static_cast<float>(row.rate));
        EXPECT_FLOAT_EQ(p.slope, static_cast<float>(row.slope));
    }
    // The fields at their places, the last of a series marked.
    nvu::TransmitPulse p;
    p.channel = 2;
    p.last = true;
    p.duration = 1.0f;
    p.amplitude = 2.0f;
    p.ramp = 3.0f;
    p.rampStep = 4.0f;
    p.rate = 5.0f;
    p.slope = 6.0f;
    EXPECT_EQ(Hex(nvu::TransmitPulseTelegram(p)), "5000000054535023020001000000803f"
                                                  "00000000000000000000803f0000803f"
                                                  "00000000000000000000000000000000"
                                                  "00000000000000400000404000008040"
                                                  "000000000000a0400000c04000000000");
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

TEST(NvuFilters, PulseCompressionFileNames)
{
    struct Row
    {
        const char* legend;
        double frequency;
        int fm;
        int filterType;
        double fixedFrequency;
        const char* file;
    };
    const Row rows[] = {
        {"CW at 200 kHz", 200000.0, 0, 0, 0.0, "/sw/filter/NVU_200000/NVU_200000_PC_5.txt"},
        {"round transducer at 38 kHz", 38000.0, 0, 0, 0.0, "/sw/filter/NVU_38000/ROUND_38000_7/ROUND_38000_PC_5.txt"},
        {"flat transducer at 15 kHz", 15000.0, 0, 1, 0.0, "/sw/filter/NVU_15000/FLAT_15000_7/FLAT_15000_PC_5.txt"},
        {"a unit's own type at 38 kHz", 38000.0, 0, 8, 0.0, "/sw/filter/NVU_38000/NVU_38000_PC_5.txt"},
        {"CW at 500 kHz", 500000.0, 0, 0, 0.0, "/sw/filter/NVU_497000/NVU_497000_PC_5.txt"},
        {"fixed parameters: the preset", 200000.0, 0, 0, 500000.0, "/sw/filter/NVU_497000/NVU_497000_PC_5.txt"},
        {"FM at 500 kHz, chain over interval", 500000.0, 1, 0, 500000.0,
         "/sw/filter/FM/NVU_482000/NVU_482000_DecPC_5_BT_4.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CTransceiver::StructChannelParameters r;
        r.frequency = row.frequency;
        r.fmPulse = row.fm;
        r.filterType = row.filterType;
        r.capability.fpaFilterLength = 7;
        EXPECT_EQ(CNVU::FilterFile("/sw", r, 5, 0.0004, 0.0001, row.fixedFrequency), row.file);
    }
}

TEST(NvuReceiveChain, FactorsDecimationSlavesAndPairing)
{
    CNVU::ReceiveChain chain;
    chain.value[0] = 0.0001;
    chain.value[1] = 0.0002;
    chain.value[2] = 0.0008;
    chain.value[3] = 0.0002;
    chain.decimation = 200;
    chain.decimation2 = 50;
    EXPECT_EQ(CNVU::DecimationFactor(200000.0, false, chain), 4);
    EXPECT_EQ(CNVU::DecimationFactor(38000.0, false, chain), 16);  // 4 x 0.0008/0.0002
    EXPECT_EQ(CNVU::DecimationFactor(15000.0, false, chain), 16);
    EXPECT_EQ(CNVU::DecimationFactor(200000.0, true, chain), 16);  // 4 x 0.0008/0.0002 (third over second)
    EXPECT_EQ(CNVU::DecimationFactor(38000.0, false, CNVU::ReceiveChain{}), 4) << "no chain given";
    EXPECT_EQ(CNVU::FrontEndDecimation(38000.0, true, chain), 50);
    EXPECT_EQ(CNVU::FrontEndDecimation(38000.0, false, chain), 200);
    EXPECT_EQ(CNVU::FrontEndDecimation(120000.0, true, chain), 200);
    CNVU::ReceiveChain none = chain;
    none.decimation = none.decimation2 = 0;
    EXPECT_EQ(CNVU::FrontEndDecimation(200000.0, false, none), 1) << "a decimation of 0 acts as 1";
    EXPECT_EQ(CNVU::FrontEndDecimation(38000.0, true, none), 1);

    EXPECT_EQ(CNVU::ParseSlaves("3"), (std::vector<int>{2}));
    EXPECT_EQ(CNVU::ParseSlaves("2, 4"), (std::vector<int>{1, 3}));
    EXPECT_EQ(CNVU::ParseSlaves("0 5 x 22 2 2"), (std::vector<int>{1}));
    EXPECT_TRUE(CNVU::ParseSlaves("").empty());

    // Channel 0 with one sharer: both bits; with two: only the sharers'.
    EXPECT_EQ(CNVU::PairingMask({-1, -1, 0, -1}), 0x5u);
    EXPECT_EQ(CNVU::PairingMask({-1, 0, 0, -1}), 0x6u);
    EXPECT_EQ(CNVU::PairingMask({-1, -1, -1, -1}), 0x0u);
    EXPECT_EQ(CNVU::PairingMask({-1, 0, -1, 2}), 0xFu);

    EXPECT_EQ(CNVU::ProcessingType(0), 3);
    EXPECT_EQ(CNVU::ProcessingType(1), 3);
    EXPECT_EQ(CNVU::ProcessingType(5), 5);
    EXPECT_EQ(CNVU::ProcessingType(8), 8);
}

TEST(NvuProcessing, GroupRulesAndPulseCompression)
{
    using C = std::complex<float>;
    // Newest first; zero samples are missing.
    const std::vector<C> history = {C(1, 0), C(0, 0), C(2, 0), C(3, 0), C(0, 0), C(0, 0), C(5000, 0), C(4, 0)};
    auto sample = [&](int k) {
        return k < static_cast<int>(history.size()) ? history[static_cast<std::size_t>(k)] : C();
    };
    CNVU::FilterRecord f;
    f.length = 3;
    f.divisor = 2;
    f.inverse = 0.5f;
    f.real = {2.0f, 4.0f, 6.0f};
    f.imaginary = {0.0f, 0.0f, 0.0f};

    // Type 4: the oldest present sample of the last group.
    EXPECT_EQ(CNVU::FirstPresent(sample, 8, 2), C(1, 0));
    EXPECT_EQ(CNVU::FirstPresent(sample, 8, 4), C(3, 0));
    EXPECT_EQ(CNVU::FirstPresent([](int) { return C(); }, 8, 4), C()) << "nothing present";

    // Type 3: the last three present samples 1, 2, 3 with coefficients 1, 2, 3.
    EXPECT_DOUBLE_EQ(CNVU::CorrelateLast(f, sample, 8), 14.0 * 14.0);
    // Looking back at most two samples finds only one.
    EXPECT_DOUBLE_EQ(CNVU::CorrelateLast(f, sample, 2), 1.0);

    // Type 2 over three groups of two (six samples back), each giving its
    // oldest present sample: {1, -} -> 1, {2, 3} -> 3, {-, -} -> 0.
    EXPECT_DOUBLE_EQ(CNVU::CorrelateGroups(f, sample, 6, 2), (1.0 * 1 + 3.0 * 2 + 0.0) * (1.0 * 1 + 3.0 * 2));
    // A bad sample takes the good one before it; after a bad one, zero.
    f.length = 4;
    f.real.push_back(8.0f);
    f.imaginary.push_back(0.0f);
    const std::vector<C> bad = {C(1, 0), C(0, 0), C(0, 2000), C(0, 0), C(-3000, 0), C(0, 0), C(7, 0), C(0, 0)};
    auto badSample = [&](int k) { return bad[static_cast<std::size_t>(k)]; };
    // Oldest first: 7 (good), -3000 -> 7, 2000i -> 0 (previous was bad), 1.
    const double y = 1.0 * 1 + 0.0 * 2 + 7.0 * 3 + 7.0 * 4;
    EXPECT_DOUBLE_EQ(CNVU::CorrelateGroups(f, badSample, 8, 2), y * y);
}

// Six samples of one channel through each filter type, in one pass and in
// two of three samples each (the count towards the next output carried
// over): Des1 2, Des2 2, a filter of the coefficients 1 and 2, and 2Z = 2.
TEST(NvuProcessing, ConvertSamplesPerFilterType)
{
    // (re, im) by instant; the fourth sample is missing.
    const std::vector<float> samples = {1, 0, 0, 2, 3, 0, 0, 0, 2, 2, 1, 0};
    CSampleRingBuffer ring(1);
    const auto d = CNvuSimulator::MakeSamples(10000.0f, 1, true, 0, 0, samples);
    ring.WriteSamples(d.data(), d.size());
    const int start = ring.WrapIndex(static_cast<long long>(ring.GetWriteIndex()) - 6);
    CNVU::FilterRecord filter;
    filter.length = 2;
    filter.divisor = 1;
    filter.inverse = 1.0f;
    filter.real = {1.0f, 2.0f};
    filter.imaginary = {0.0f, 0.0f};
    const CNVU::FilterRecord none;
    struct Row
    {
        const char* legend;
        int type;
        bool filtered;
        std::vector<double> power;
    };
    const Row rows[] = {
        {"5: |x|^2/2Z of each sample", 5, true, {0.5, 2, 4.5, 0, 4, 0.5}},
        {"8 without a filter: as 5", 8, false, {0.5, 2, 4.5, 0, 4, 0.5}},
        // Newest sample with the first coefficient, missing ones passed
        // over within L samples back.
        {"8: the last present samples correlated", 8, true, {0.5, 4, 12.5, 4.5, 4, 20.5}},
        {"1: |x|^2/8 summed over Des1", 1, false, {0.625, 1.125, 1.125}},
        {"2 without a filter: |x|^2/2Z summed", 2, false, {2.5, 4.5, 4.5}},
        {"3 without a filter: |x|^2/2Z summed", 3, false, {2.5, 4.5, 4.5}},
        // The oldest present sample of each group of Des2, oldest group
        // with the last coefficient.
        {"2: group picks correlated", 2, true, {0.5, 12.5, 34}},
        {"3: the last present samples at each output", 3, true, {4, 4.5, 20.5}},
        {"4: the oldest present of the last Des2", 4, false, {0.5, 4.5, 4}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        const CNVU::FilterRecord& f = row.filtered ? filter : none;
        std::vector<double> whole(6, 0.0);
        CNVU::ChainState chain;
        ASSERT_EQ(CNVU::ConvertSamples(ring, 0, start, 6, row.type, 2, 2, 1, f, 2.0, chain, whole.data()),
                  static_cast<int>(row.power.size()));
        whole.resize(row.power.size());
        for (std::size_t k = 0; k < row.power.size(); ++k)
            EXPECT_DOUBLE_EQ(whole[k], row.power[k]) << "output " << k;

        std::vector<double> split(6, 0.0);
        CNVU::ChainState carried;
        const int first = CNVU::ConvertSamples(ring, 0, start, 3, row.type, 2, 2, 1, f, 2.0, carried, split.data());
        const int second =
            CNVU::ConvertSamples(ring, 0, start + 3, 3, row.type, 2, 2, 1, f, 2.0, carried, split.data() + first);
        EXPECT_EQ(first + second, static_cast<int>(row.power.size()));
        split.resize(row.power.size());
        EXPECT_EQ(split, whole);
    }
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

// The installed unit "NVU1" with its channels at the address.
InstalledTransceiverInfo UnitInfo(int channels, std::uint32_t address = kUnitAddress)
{
    InstalledTransceiverInfo info;
    info.type = TransceiverType::NVU;
    info.unitAddress = address;
    info.channelCount = channels;
    info.transceiverId = "NVU1";
    return info;
}

UnitTimings FastTimings(std::uint16_t tftpPort)
{
    UnitTimings o;
    o.receiveWaitMs = 50;
    o.stepDelayMs = 2;
    o.setupDelayMs = 20;
    o.transmitDelayMs = 2;
    o.unitWaitMs = 5000;
    o.nvuHaltWaitMs = 2;
    o.nvuHardwareWaitMs = 2;
    o.nvuReceiveConfigureWaitMs = 2;
    o.nvuUploadWaitMs = 2;
    o.nvuSynchroniseWaitMs = 2;
    o.nvuConfiguredWaitMs = 20;
    o.timeoutLogPath.clear();
    o.lastPingDumpPath.clear();
    o.tftpPort = tftpPort;
    return o;
}

// What the driver sent the unit, in order, each with the time it went.
class CSendLog
{
public:
    struct Sent
    {
        std::string code;
        std::chrono::steady_clock::time_point at;
    };
    void Add(const BYTE* data, std::size_t size)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_sent.push_back({qy42::CodeOf(data, size), std::chrono::steady_clock::now()});
    }
    std::vector<Sent> Entries() const
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_sent;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Sent> m_sent;
};

// The road to the unit with every datagram the driver sends noted as it goes.
class CNotingLink final : public IDatagramLink
{
public:
    CNotingLink(std::unique_ptr<IDatagramLink> road, CSendLog& log) : m_road(std::move(road)), m_log(log) {}
    bool Send(Path path, const BYTE* data, std::size_t size) override
    {
        m_log.Add(data, size);
        return m_road->Send(path, data, size);
    }
    int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) override
    {
        return m_road->Receive(buffer, capacity, timeoutMs);
    }
    void Stop() override { m_road->Stop(); }

private:
    std::unique_ptr<IDatagramLink> m_road;
    CSendLog& m_log;
};

// The first entry at or after from with the code, or entries.size().
std::size_t FindSent(const std::vector<CSendLog::Sent>& entries, const std::string& code, std::size_t from = 0)
{
    for (std::size_t i = from; i < entries.size(); ++i)
        if (entries[i].code == code)
            return i;
    return entries.size();
}

// The data root (reports, the read-back file) and the transceiver list
// folder (firmware files) of one test.
struct DataFolders
{
    fs::path root = fs::temp_directory_path() / ("zvnvudata" + std::to_string(getpid()));
    fs::path trList = root / "trlist";
    DataFolders()
    {
        fs::create_directories(trList);
        ::setenv("ZELVAR_DATA_ROOT", root.c_str(), 1);
    }
    ~DataFolders()
    {
        ::unsetenv("ZELVAR_DATA_ROOT");
        fs::remove_all(root);
    }
    std::vector<fs::path> Reports() const
    {
        std::vector<fs::path> found;
        std::error_code error;
        for (fs::directory_iterator it(root / "Diag", error), end; !error && it != end; it.increment(error))
            found.push_back(it->path());
        return found;
    }
};

// An engine with one installed wide-band unit of some channels, on UDP to
// the simulated unit.
struct Sounder
{
    Sounder(CNvuSimulator& unitSim, int unitChannels, std::uint32_t address = kUnitAddress)
        : sim(unitSim), channels(unitChannels), unitAddress(address)
    {}

    CNvuSimulator& sim;
    int channels;
    std::uint32_t unitAddress;
    UnitTimings timings = FastTimings(sim.GetTftpPort());
    DataFolders data;
    SoftwareFolder software;
    CTempHives hives;
    CRegistrySupport reg;
    CTransceiverInstallation installation;
    CTestEchoSounderHost host;
    CNVU* unit = nullptr;
    std::atomic<int> pings{0};
    std::atomic<int> linkLost{0};
    CTestTransceiverServices services;
    // Set before Begin: the first channel's "Slave" value and
    // fixed-parameter mode from the start.
    std::string slave0;
    bool fixed = false;
    // Set before Begin: every datagram to the unit is noted here (a log
    // that outlives the sounder).
    CSendLog* sends = nullptr;
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
        services.transceiverListFolder = data.trList.string();

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
                caps[0].slave = slave0;
                InstalledTransceiverInfo unitInfo = info;
                unitInfo.unitAddress = unitAddress;
                std::unique_ptr<IDatagramLink> road =
                    CUdpDatagramLink::Open(SocketAddress(unitAddress, sim.GetPort()), "NVU");
                if (sends)
                    road = std::make_unique<CNotingLink>(std::move(road), *sends);
                auto u = std::make_unique<CNVU>(unitInfo, caps, nullptr, services, timings, std::move(road));
                if (fixed)
                    u->EnterTestMode();
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

CNvuSimulator::Settings SimSettings(int channels, std::uint32_t address = kUnitAddress)
{
    CNvuSimulator::Settings s;
    s.address = address;
    s.port = 0;
    s.tftpPort = 0;
    s.channels = channels;
    return s;
}

// The unit on the program's own ports (12346 for its datagrams, 69 for
// TFTP), as the namespace of a test lets it be.
CNvuSimulator::Settings OwnPortSettings(int channels)
{
    CNvuSimulator::Settings s = SimSettings(channels);
    s.port = 12346;
    s.tftpPort = CTftp::kPort;
    return s;
}

// Fifty pings of the engine on the unit, with each of the installed
// channels' bottoms where the unit put it, and the ping rate the sounder
// shows from the first channel's traces. In a namespace: the failures.
int FiftyPingsOf(CNvuSimulator& sim, Sounder& run, int installed)
{
    nettest::Checks check;
    if (!check(run.Begin(), "sounder created") || !check(run.unit && run.unit->IsRunning(), "unit running"))
        return check.failures;
    check(run.timings.tftpPort == CTftp::kPort, "filters to the unit's TFTP port");
    if (!check(zv::test::WaitUntil([&] { return run.pings.load() >= 50; }, 60s),
               "50 pings, not " + std::to_string(run.pings.load())))
        return check.failures;
    check(run.unit->GetSetupMask() == CNVU::kSetupComplete, "set up");
    check(run.unit->GetSerialNumber() == 0x1A2Bu, "the unit's serial number");
    check(run.unit->GetPlaceholders() == 0u, "no ping stood in for");
    check(sim.GetTriggers() <= run.unit->GetPingsCompleted() + 1, "each trigger one ping");
    // Each filter went to the unit as its channel's own file.
    const auto files = sim.GetFiles();
    for (int c = 0; c < 4; ++c)
        check(files.count("rx" + std::to_string(c) + "filter.txt") == 1, "filter of channel " + std::to_string(c));
    for (int c = 0; c < installed; ++c) {
        CChannel::ParameterCopy copy;
        run.unit->GetUnitChannel(c)->GetChannelParameters(copy);
        const auto peak = std::max_element(copy.Power.begin(), copy.Power.end());
        const long at = peak == copy.Power.end() ? -1 : static_cast<long>(peak - copy.Power.begin());
        check(std::abs(at - sim.BottomSample(c)) <= 2, "channel " + std::to_string(c) + " peak at " +
                                                           std::to_string(at) + ", the unit's " +
                                                           std::to_string(sim.BottomSample(c)));
    }
    const std::string rate = run.sounder.GetPingRateText();
    check(std::strtod(rate.c_str(), nullptr) > 0.0, "a ping rate shown, not \"" + rate + "\"");
    return check.failures;
}

class NvuLink : public testing::TestWithParam<int>
{};

TEST_P(NvuLink, FiftyPingsWithEachBottomAtTheSimulatedDepth)
{
    const int channels = GetParam();
    nettest::RunNamespaceTest([channels] {
        nettest::Checks check;
        CNvuSimulator sim(OwnPortSettings(channels));
        if (!check(sim.Start(), "unit on its own ports"))
            return check.failures;
        {
            Sounder run(sim, channels);
            check.failures += FiftyPingsOf(sim, run, channels);
        }
        check(zv::test::WaitUntil([&] {
                  const auto codes = sim.GetReceivedCodes();
                  return !codes.empty() && codes.back() == "HD";
              }),
              "the unit halted as the sounder went");
        return check.failures;
    });
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
    // One report of the time-out, named after the unit's serial number.
    const auto reports = run.data.Reports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string name = reports[0].filename().string();
    EXPECT_EQ(name.rfind("Diagnostic-1-1A2B-D", 0), 0u) << name;
    std::ifstream in(reports[0]);
    const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* part : {"SYSTEM INFO: \r\n", "NVU CHANNEL INFO 0: \r\n", "NVU CHANNEL INFO 1: \r\n",
                             " Frequency\t\t\t200000.000000 \r\n", "DECIMATION VALUES: \r\nDecimation  ch 1:",
                             "BUFFER STATUS: \r\nStartp ", "NVU INFORMATION MESSAGES: "})
        EXPECT_NE(report.find(part), std::string::npos) << part;
    // The trigger thread raises the alarm when it next looks.
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.linkLost.load() >= 1; }));
    const int before = run.pings.load();
    sim.SetSilent(false);
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= before + 5; }, 60s));
    EXPECT_EQ(run.unit->GetSetupMask(), CNVU::kSetupComplete);
}

TEST(NvuLinkFaults, RefusedUnitBeepsOnceAndIsNeverSetUp)
{
    CNvuSimulator::Settings settings = SimSettings(1);
    settings.refuse = true;
    CNvuSimulator sim(settings);
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 1);
    std::atomic<int> beeps{0};
    run.services.beep = [&](unsigned hz, unsigned ms) { beeps += hz == 1000 && ms == 2000 ? 1 : 100; };
    run.Begin();
    ASSERT_TRUE(run.unit);
    EXPECT_TRUE(run.unit->IsRefused());
    EXPECT_FALSE(run.unit->IsRunning());
    EXPECT_FALSE(run.unit->IsConfigured());
    EXPECT_FALSE(run.unit->IsReady());
    EXPECT_EQ(beeps.load(), 1);
    // Nothing but the version request went to the unit.
    const auto codes = sim.GetReceivedCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "VR"), static_cast<long>(codes.size()));
}

// The unit's faults that a ping survives: a trigger it asks for again
// (INFO 1/2111), answered at once, and sample datagrams lost on the way,
// stood in for once the unit is silent; neither loses the link.
TEST(NvuLinkFaults, RetriggeredAndDroppedPingsEndOnceAndKeepTheLink)
{
    struct Row
    {
        const char* legend;
        int retriggerEvery;
        int dropEvery;
    };
    for (const Row& row : {Row{"trigger asked for again", 3, 0}, Row{"sample datagrams lost", 0, 7}}) {
        SCOPED_TRACE(row.legend);
        CNvuSimulator::Settings settings = SimSettings(2);
        settings.retriggerEvery = row.retriggerEvery;
        settings.dropEvery = row.dropEvery;
        CNvuSimulator sim(settings);
        ASSERT_TRUE(sim.Start());
        Sounder run(sim, 2);
        ASSERT_TRUE(run.Begin());
        ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 10; }, 60s)) << run.pings.load();
        EXPECT_EQ(run.unit->GetLinkLosses(), 0u);
        if (row.retriggerEvery > 0) {
            // Every third trigger was sent twice, and no ping waited for silence.
            EXPECT_EQ(run.unit->GetPlaceholders(), 0u);
            const auto codes = sim.GetReceivedCodes();
            const auto triggers = static_cast<std::uint64_t>(std::count(codes.begin(), codes.end(), "TI"));
            EXPECT_GE(triggers, run.unit->GetPingsCompleted() + run.unit->GetPingsCompleted() / 3);
        } else {
            EXPECT_GE(run.unit->GetPlaceholders(), 1u);
        }
        // Each trigger but the one on its way became one ping, but those the
        // unit asked for again.
        const std::uint64_t asked = sim.GetTriggers();
        const std::uint64_t again = row.retriggerEvery > 0 ? asked / 3 : 0;
        EXPECT_GE(run.unit->GetPingsCompleted() + 1 + again, asked);
        EXPECT_LE(run.unit->GetPingsCompleted(), sim.GetTriggers());
    }
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

// Firmware upgrade: a status request's version answer is checked against
// the transceiver list folder; the operator's "Yes" sends the newer file.
class NvuUpgrade : public testing::Test
{
protected:
    // The event log goes to a file of the test's own.
    void SetUp() override
    {
        ::setenv("ZELVAR_EVENTLOG_FILE", m_eventLog.c_str(), 1);
        fs::remove(m_eventLog);
    }
    void TearDown() override
    {
        ::unsetenv("ZELVAR_EVENTLOG_FILE");
        fs::remove(m_eventLog);
    }
    std::vector<std::string> Lines() const
    {
        std::ifstream in(m_eventLog);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
    const fs::path m_eventLog = fs::temp_directory_path() / ("zvnvueventlog" + std::to_string(getpid()));

    static constexpr const char* kNewer = "nvu4_main_06032024_v102.xsvf";
    static constexpr std::uint32_t kPcAddress = 0x7F000001;

    struct Outcome
    {
        std::atomic<int> asked{0};
        std::mutex lock;
        std::string unitFirmware, newFile;
    };

    // A 3 kB firmware file (several TFTP blocks) in the list folder.
    static std::string Firmware()
    {
        std::string bytes;
        for (int i = 0; i < 3000; ++i)
            bytes += static_cast<char>('A' + i % 23);
        return bytes;
    }

    // Runs the unit to its pings, adds the file, asks for the status and
    // answers the question: yes, when yes, the first time; a unit that was
    // not upgraded is offered the file again at its next version answer,
    // which the operator then declines.
    static void Offer(Sounder& run, const std::string& file, bool yes, std::shared_ptr<Outcome> outcome)
    {
        run.services.askFirmwareUpgrade = [yes, outcome](const std::string& unit, const std::string& newFile) {
            std::lock_guard<std::mutex> hold(outcome->lock);
            outcome->unitFirmware = unit;
            outcome->newFile = newFile;
            return ++outcome->asked == 1 && yes;
        };
        ASSERT_TRUE(run.Begin());
        ASSERT_TRUE(run.unit && run.unit->IsRunning());
        // A unit at 127.0.0.1 is sent no filters and never pings.
        if (run.unitAddress != kPcAddress) {
            ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 3; }, 60s));
        }
        std::ofstream(run.data.trList / file, std::ios::binary) << Firmware();
        ClearMessageBoxRecord();
        run.unit->RequestStatus();
    }
};

TEST_F(NvuUpgrade, NewerFileIsSentVerifiedAndTheUnitRestarted)
{
    CNvuSimulator sim(SimSettings(2));
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 2);
    auto outcome = std::make_shared<Outcome>();
    Offer(run, kNewer, true, outcome);
    ASSERT_TRUE(zv::test::WaitUntil([&] { return sim.GetRestarts() >= 1; }, 60s));
    {
        std::lock_guard<std::mutex> hold(outcome->lock);
        EXPECT_EQ(outcome->unitFirmware, "nvu4_main_05032024_v101");
        EXPECT_EQ(outcome->newFile, kNewer);
    }
    const auto files = sim.GetFiles();
    ASSERT_EQ(files.count(kNewer), 1u);
    EXPECT_EQ(std::string(files.at(kNewer).begin(), files.at(kNewer).end()), Firmware());
    // Pings resume once the unit runs its new firmware; its next status
    // names that firmware, and nothing more is offered.
    ASSERT_TRUE(zv::test::WaitUntil([&] { return !run.unit->IsReprogramming(); }, 30s));
    const int before = run.pings.load();
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= before + 5; }, 60s));
    run.unit->RequestStatus();
    const int afterSecond = run.pings.load();
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= afterSecond + 3; }, 60s));
    EXPECT_EQ(outcome->asked.load(), 1);
    EXPECT_EQ(sim.GetRestarts(), 1u);
    EXPECT_EQ(run.unit->GetUpgradeFailures(), 0u);
    EXPECT_TRUE(MessageBoxRecord().empty());
    // The unit was halted before the transfer.
    const auto codes = sim.GetReceivedCodes();
    const auto res = std::find(codes.begin(), codes.end(), "RES");
    ASSERT_NE(res, codes.end());
    EXPECT_NE(std::find(std::make_reverse_iterator(res), codes.rend(), "HD"), codes.rend());
}

// A unit that cannot be programmed: an alarm, a box naming the unit and an
// event-log record; no restart, and the unit pings on with its old firmware
// (or stays held while it never reports success).
struct FaultRow
{
    const char* legend;
    void (*fault)(CNvuSimulator::Settings&);
    const char* why;
    bool restarted;
    bool silent = false;  // the unit speaks again only when the test lets it
};

class NvuUpgradeFaults : public NvuUpgrade, public testing::WithParamInterface<FaultRow>
{};

TEST_P(NvuUpgradeFaults, FailureIsReportedAndNoUnverifiedRestart)
{
    const FaultRow& row = GetParam();
    CNvuSimulator::Settings settings = SimSettings(1);
    row.fault(settings);
    CNvuSimulator sim(settings);
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 1);
    run.timings.tftpSecondMs = 50;
    run.timings.firmwareSuccessWaitMs = 1000;
    auto outcome = std::make_shared<Outcome>();
    Offer(run, kNewer, true, outcome);
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.unit->GetUpgradeFailures() >= 1; }, 60s));
    EXPECT_EQ(sim.GetRestarts(), row.restarted ? 1u : 0u);
    const auto status = run.services.GetFed().status;
    EXPECT_NE(std::find(status.begin(), status.end(), app::ids::NVU_UPGRADE_FAILED), status.end());
    ASSERT_TRUE(zv::test::WaitUntil([] { return !MessageBoxRecord().empty(); }));
    const std::string box = MessageBoxRecord().front().text;
    EXPECT_NE(box.find("NVU1 (127.0.0.2)"), std::string::npos) << box;
    EXPECT_NE(box.find(row.why), std::string::npos) << box;
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(row.why), std::string::npos) << lines[0];
    if (row.restarted) {
        EXPECT_TRUE(run.unit->IsReprogramming()) << "held while the unit may still be taking its firmware";
        return;
    }
    EXPECT_FALSE(run.unit->IsReprogramming());
    if (row.silent)
        sim.SetSilent(false);
    const int before = run.pings.load();
    EXPECT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= before + 3; }, 60s));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, NvuUpgradeFaults,
    testing::Values(FaultRow{"bad read-back", [](CNvuSimulator::Settings& s) { s.badReadBack = true; },
                             "read back differs", false},
                    FaultRow{"broken transfer", [](CNvuSimulator::Settings& s) { s.breakTransfer = true; },
                             "sending nvu4_main_06032024_v102.xsvf failed", false},
                    FaultRow{"no success", [](CNvuSimulator::Settings& s) { s.noProgrammingSucceeded = true; },
                             "Programming succeeded.", true},
                    FaultRow{"unit silent from the transfer on",
                             [](CNvuSimulator::Settings& s) { s.silentFromFirmwareRequest = true; },
                             "sending nvu4_main_06032024_v102.xsvf failed", false, true}),
    [](const testing::TestParamInfo<FaultRow>& info) {
        std::string name = info.param.legend;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST_F(NvuUpgrade, NoPingIsAskedForFromTheTransferToTheReconnect)
{
    CNvuSimulator sim(SimSettings(1));
    ASSERT_TRUE(sim.Start());
    CSendLog sends;  // outlives the unit, which says goodbye through it
    Sounder run(sim, 1);
    run.sends = &sends;
    // The halt's wait before the transfer: long enough that a trigger on its
    // way as the unit was halted has gone before it ends.
    run.timings.stepDelayMs = 100;
    auto outcome = std::make_shared<Outcome>();
    Offer(run, kNewer, true, outcome);
    ASSERT_TRUE(zv::test::WaitUntil([&] { return sim.GetRestarts() >= 1; }, 60s));
    ASSERT_TRUE(zv::test::WaitUntil([&] { return !run.unit->IsReprogramming(); }, 30s));
    const int before = run.pings.load();
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= before + 3; }, 60s));
    const auto sent = sends.Entries();
    const std::size_t restart = FindSent(sent, "RES");
    ASSERT_LT(restart, sent.size());
    std::size_t halt = restart;
    while (halt > 0 && sent[halt].code != "HD")
        --halt;
    ASSERT_EQ(sent[halt].code, "HD");
    const std::size_t reconnect = FindSent(sent, "HC", restart);
    ASSERT_LT(reconnect, sent.size());
    const auto transfer = sent[halt].at + std::chrono::milliseconds(run.timings.stepDelayMs);
    for (std::size_t i = halt + 1; i < reconnect; ++i) {
        if (sent[i].code == "TI" || sent[i].code == "TE" || sent[i].code == "RI") {
            EXPECT_LT(sent[i].at, transfer) << sent[i].code << " while the unit takes its firmware";
        }
    }
    EXPECT_LT(FindSent(sent, "TI", reconnect), sent.size()) << "pings asked for again once reconnected";
}

TEST_F(NvuUpgrade, NothingIsOfferedOrProgrammedWithoutCause)
{
    struct Row
    {
        const char* legend;
        std::uint32_t address;
        const char* file;
        bool yes;
        int asked;
    };
    const Row rows[] = {
        {"a file of the unit's own date", kUnitAddress, "nvu4_main_05032024_v999.xsvf", true, 0},
        {"an older file", kUnitAddress, "nvu4_main_04032024_v100.xsvf", true, 0},
        {"the operator says no", kUnitAddress, kNewer, false, 1},
        {"a unit at 127.0.0.1 is never programmed", kPcAddress, kNewer, true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CNvuSimulator sim(SimSettings(1, row.address));
        ASSERT_TRUE(sim.Start());
        Sounder run(sim, 1, row.address);
        auto outcome = std::make_shared<Outcome>();
        Offer(run, row.file, row.yes, outcome);
        // The status answer has come and gone once the unit pings on.
        const auto dcsr = [&] {
            const auto codes = sim.GetReceivedCodes();
            return std::count(codes.begin(), codes.end(), "DCSR");
        };
        ASSERT_TRUE(zv::test::WaitUntil([&] { return dcsr() == 1; }));
        if (row.address == kPcAddress) {
            ASSERT_TRUE(zv::test::WaitUntil([&] { return outcome->asked == row.asked && !run.unit->IsUpgrading(); }));
        } else {
            const int before = run.pings.load();
            ASSERT_TRUE(zv::test::WaitUntil(
                [&] { return run.pings.load() >= before + 5 && outcome->asked == row.asked; }, 60s));
        }
        EXPECT_EQ(outcome->asked.load(), row.asked);
        for (const auto& [name, bytes] : sim.GetFiles())
            EXPECT_EQ(name.rfind("nvu4_", 0), std::string::npos) << name;
        EXPECT_EQ(sim.GetRestarts(), 0u);
        EXPECT_EQ(run.unit->GetUpgradeFailures(), 0u);
    }
}

// The diagnostic window's side: a reader on a thread of its own takes the
// unit's texts while the unit pings, as the window's timer does, until the
// unit goes; the unit detaches before anything of it is freed.
class CReadingWindows final : public ITransceiverDialogs
{
public:
    int RunChannel(TransceiverDialogValues&, const DialogOpened&) override { return -1; }
    int RunGeoChannel(GeoTransceiverDialogValues&, const DialogOpened&) override { return -1; }
    int RunAdvanced(const AdvancedTransceiverDialogValues&, const DialogOpened&) override { return -1; }

    struct Window final : INvuDiagnosticWindow
    {
        explicit Window(std::atomic<int>& raised) : m_raised(raised) {}
        void Raise() override { ++m_raised; }
        std::atomic<int>& m_raised;
    };

    std::unique_ptr<INvuDiagnosticWindow> OpenNvuDiagnostic(std::shared_ptr<CNvuDiagnosticLink> link, HWND) override
    {
        link->SetWindowOpen(true);
        links.push_back(link);
        readers.emplace_back([this, link] {
            NvuStatusTexts texts;
            while (link->Read(texts)) {
                if (texts.decimationLines[0].rfind("Decimation  ch 1:", 0) == 0 &&
                    texts.pingLines[0].rfind("Startp ", 0) == 0)
                    ++goodReads;
                std::this_thread::sleep_for(1ms);
            }
        });
        return std::make_unique<Window>(raised);
    }
    ~CReadingWindows() override
    {
        for (std::thread& t : readers)
            t.join();
    }

    std::vector<std::shared_ptr<CNvuDiagnosticLink>> links;
    std::vector<std::thread> readers;
    std::atomic<int> goodReads{0};
    std::atomic<int> raised{0};
};

TEST(NvuDiagnostics, WindowReadsWhileTheUnitPingsAndLetsGoWhenItGoes)
{
    CReadingWindows windows;
    CNvuSimulator sim(SimSettings(2));
    ASSERT_TRUE(sim.Start());
    {
        Sounder run(sim, 2);
        run.services.dialogs = &windows;
        ASSERT_TRUE(run.Begin());
        ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 3; }, 60s));
        run.unit->ShowDiagnostics(0);
        run.unit->ShowDiagnostics(0);
        EXPECT_EQ(windows.links.size(), 1u) << "one window at a time";
        EXPECT_EQ(windows.raised.load(), 1) << "the open one comes to the front";
        // The window has gone: its unit forgets it and opens a new one.
        windows.links[0]->SetWindowOpen(false);
        run.unit->ClearPendingFlag();
        EXPECT_FALSE(windows.links[0]->IsAttached());
        run.unit->ShowDiagnostics(0);
        ASSERT_EQ(windows.links.size(), 2u);
        EXPECT_TRUE(zv::test::WaitUntil([&] { return windows.goodReads.load() >= 20; }, 30s));
        // The test selection goes to every unit of the sounder as "RG".
        EXPECT_TRUE(windows.links[1]->SendTestCommand(2));
        EXPECT_TRUE(zv::test::WaitUntil([&] {
            const auto codes = sim.GetReceivedCodes();
            return std::find(codes.begin(), codes.end(), "RG") != codes.end();
        }));
    }
    EXPECT_FALSE(windows.links[1]->IsAttached()) << "the unit let go as it went";
}

TEST(NvuLink, SharedTransducerPairsTheChannelsAndDividesThePower)
{
    // Unit channel 2 receives through channel 1's transducer.
    CNvuSimulator::Settings settings = SimSettings(2);
    settings.transducerOf[1] = 0;
    CNvuSimulator sim(settings);
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 1);
    run.slave0 = "2";
    ASSERT_TRUE(run.Begin());
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 5; }, 60s));
    EXPECT_EQ(run.unit->GetMaster(1), 0);
    EXPECT_EQ(run.unit->GetMaster(2), -1);
    EXPECT_EQ(sim.GetPairingMask(), 0x3u);
    // 1000 W shared by two channels: 500 W each.
    EXPECT_NEAR(sim.GetPulseAmplitude(0), std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(sim.GetPulseAmplitude(1), std::sqrt(0.5), 1e-6);
    EXPECT_EQ(sim.GetPulseAmplitude(2), 0.0f);
    CChannel::ParameterCopy copy;
    run.unit->GetUnitChannel(0)->GetChannelParameters(copy);
    const auto peak = std::max_element(copy.Power.begin(), copy.Power.end());
    EXPECT_LE(std::abs(static_cast<long>(peak - copy.Power.begin()) - sim.BottomSample(0)), 2);
}

TEST(NvuLink, FourChannelsTwoSharingATransducerFiftyPings)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        // Three installed channels; unit channel 4 receives through channel
        // 1's transducer.
        CNvuSimulator::Settings settings = OwnPortSettings(4);
        settings.transducerOf[3] = 0;
        CNvuSimulator sim(settings);
        if (!check(sim.Start(), "unit on its own ports"))
            return check.failures;
        Sounder run(sim, 3);
        run.slave0 = "4";
        check.failures += FiftyPingsOf(sim, run, 3);
        check(run.unit && run.unit->GetMaster(3) == 0, "channel 4 on channel 1's transducer");
        check(sim.GetPairingMask() == 0x9u, "pairing mask " + std::to_string(sim.GetPairingMask()));
        const float shared = std::sqrt(0.5f);
        const float amplitudes[] = {shared, 1.0f, 1.0f, shared};
        for (int c = 0; c < 4; ++c)
            check(std::abs(sim.GetPulseAmplitude(c) - amplitudes[c]) <= 1e-6f,
                  "amplitude of channel " + std::to_string(c));
        return check.failures;
    });
}

// The analog inputs of each ping: the motion voltages go to the heave input
// in hundredths under the unit's name, the thermistor's ohms to the water
// temperature, and each closing of the event key (the simulated unit's
// opens and closes it ping by ping) posts one event command to the main
// window.
TEST(NvuLink, AnalogInputsReachTheSensorsAndTheEventKeyPostsOneEventPerPress)
{
    std::atomic<int> events{0};
    HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        if (message == WM_COMMAND && w == app::cmd::EVENT_ANNOTATION)
            ++events;
        return 0;
    });
    ASSERT_NE(frame, HWND{});
    SetMainWindow(frame);
    CNvuSimulator sim(SimSettings(1));
    ASSERT_TRUE(sim.Start());
    {
        Sounder run(sim, 1);
        ASSERT_TRUE(run.Begin());
        ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 6; }, 60s));
        // Once a silent ping has been stood in for, every input before it
        // has been taken.
        sim.SetSilent(true);
        ASSERT_TRUE(zv::test::WaitUntil([&] { return run.unit->GetPlaceholders() >= 1; }, 60s));
        const auto fed = run.services.GetFed();
        const std::size_t inputs = fed.thermistorOhms.size();
        ASSERT_GE(inputs, 6u);
        for (std::size_t i = 0; i < inputs; ++i) {
            EXPECT_EQ(fed.thermistorOhms[i], 10000.0);
            EXPECT_EQ(fed.thermistorUnits[i], "NVU1");
        }
        ASSERT_FALSE(fed.analogMotion.empty());
        for (std::size_t i = 0; i < fed.analogMotion.size(); ++i) {
            const AnalogMotionSample& m = fed.analogMotion[i];
            EXPECT_EQ(m.heave, 30);
            EXPECT_EQ(m.roll, 20);
            EXPECT_EQ(m.pitch, 10);
            EXPECT_NE(m.time, 0u);
            EXPECT_EQ(fed.analogMotionUnits[i], "NVU1");
        }
        // Open at the first ping, closed at the second: a press every two.
        const int presses = static_cast<int>(inputs / 2);
        EXPECT_TRUE(PumpUntil([&] { return events.load() >= presses; }, 20s));
        PumpUntil([] { return false; }, 100ms);
        EXPECT_EQ(events.load(), presses);
    }
    SetMainWindow(HWND{});
    DestroyWindow(frame);
}

// The sounder's ping-ready release: once per ping, when the ping is whole,
// with the time the ping started.
class CCountingOwner final : public ITransceiverOwner
{
public:
    int GetRateMode() const override { return 0; }
    std::uint64_t UpdatePingTime(std::uint64_t time) override
    {
        std::lock_guard<std::mutex> hold(lock);
        times.push_back(time);
        return time;
    }
    void UnlockSemaphore() override { ++unlocked; }
    void SetSkip() override {}
    int GetStep(int) const override { return 0; }
    std::optional<double> GetMultiPulseScaledDepth() const override { return std::nullopt; }
    std::optional<double> GetPingerScaledParameter() const override { return std::nullopt; }
    void SetLinkLost() override {}
    bool IsStopping() const override { return false; }

    std::size_t Releases() const
    {
        std::lock_guard<std::mutex> hold(lock);
        return times.size();
    }
    mutable std::mutex lock;
    std::vector<std::uint64_t> times;
    std::atomic<int> unlocked{0};
};

// Each ping hands each channel its share: no more power samples than the
// channel asked for, however many the unit sent for the channel that asked
// for most, and the same samples as its traces, in dB, with the ping's
// start, which make the channel's trace rate the rate of the pings.
TEST(NvuLink, EachPingReleasesTheSounderOnceAndHandsEachChannelItsShare)
{
    CNvuSimulator sim(SimSettings(2));
    ASSERT_TRUE(sim.Start());
    SoftwareFolder software;
    CTestTransceiverServices services;
    services.model = SounderModel::QYNVU;
    services.softwareFolder = software.path.string();
    const InstalledTransceiverInfo info = UnitInfo(2);
    CCountingOwner owner;
    CNVU unit(info, {Capability(0), Capability(1)}, nullptr, services, FastTimings(sim.GetTftpPort()),
              CUdpDatagramLink::Open(SocketAddress(kUnitAddress, sim.GetPort()), "NVU"));
    ASSERT_TRUE(unit.IsRunning());
    unit.SetEchoSounder(&owner);
    // What the readers ask of each channel, before the first ping and
    // after each, as the documents ask once they have drawn a ping.
    const double ranges[] = {60.0, 30.0};
    const auto ask = [&] {
        for (int c = 0; c < 2; ++c)
            unit.GetUnitChannel(c)->RequestRange(ranges[c]);
    };
    ask();
    std::vector<std::uint64_t> times;
    for (std::size_t ping = 1; ping <= 5; ++ping) {
        SCOPED_TRACE(ping);
        ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.IsReady(); }, 60s));
        std::int64_t duration = 0;
        unit.Start(duration);
        ASSERT_EQ(unit.Trigger(0), 1);
        ASSERT_TRUE(zv::test::WaitUntil([&] { return owner.Releases() >= ping; }, 60s));
        {
            std::lock_guard<std::mutex> hold(owner.lock);
            times.push_back(owner.times.back());
        }
        if (times.size() > 1) {
            EXPECT_GT(times.back(), times[times.size() - 2]) << "each release has its own ping's start";
        }
        // Taken as the ping-data thread takes it: no second release of the
        // same ping comes.
        unit.ProcessPing(times.back());
        ask();
        unit.RequestNextPing();
        ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.IsReady(); }, 60s));
        EXPECT_EQ(owner.Releases(), ping);
        EXPECT_EQ(unit.GetPingsCompleted(), ping);
        for (int c = 0; c < 2; ++c) {
            SCOPED_TRACE("channel " + std::to_string(c));
            CChannel* channel = unit.GetUnitChannel(c);
            CChannel::ParameterCopy copy;
            channel->GetChannelParameters(copy);
            const double d = copy.Parameters.SampleDistance;
            ASSERT_GT(d, 0.0);
            ASSERT_EQ(copy.Power.size(), static_cast<std::size_t>(std::lround(ranges[c] / d)));
            std::vector<double> trace(CChannel::kMaxSamples + 1);
            double distance = 0.0;
            const int n = channel->GetScopeTrace(CChannel::TraceKind::Float, 1, trace.data(),
                                                 static_cast<int>(trace.size()), 0.0, 1e9, distance);
            ASSERT_EQ(n, static_cast<int>(copy.Power.size()));
            EXPECT_NEAR(distance, d, 1e-12);
            for (int k = 0; k < n; ++k) {
                ASSERT_NEAR(trace[static_cast<std::size_t>(k)], copy.Power[static_cast<std::size_t>(k)] * 0.011758984,
                            1e-4)
                    << k;
            }
            ASSERT_EQ(channel->GetScopeTrace(CChannel::TraceKind::Float, 2, trace.data(),
                                             static_cast<int>(trace.size()), 0.0, 1e9, distance),
                      n);
            EXPECT_TRUE(std::all_of(trace.begin(), trace.begin() + n, [](double a) { return a == 0.0; }))
                << "a single sector measures no angle";
            if (ping < 2)
                continue;  // the first ping has none before it
            // The starts in microseconds, as the traces carry them.
            const auto us = [](std::uint64_t t) { return static_cast<std::uint32_t>(t / 10); };
            const double rate = 1e6 / static_cast<double>(us(times.back()) - us(times[times.size() - 2]));
            EXPECT_DOUBLE_EQ(channel->GetTraceRate(), rate);
        }
    }
    EXPECT_EQ(owner.unlocked.load(), 0);
    unit.SetEchoSounder(nullptr);
}

// A ping takes as long as the unit needs to send the samples asked of it,
// at its own rate, and the next trigger waits that long: a front end of
// 2 MHz / 5 and the chain's factor 4 sample at 100 kHz, ten of the unit's
// samples to each 0.1 ms sample of the channel, which asks for ten times
// as many of them.
TEST(NvuLink, PingTimeIsTheRequestedSamplesAtTheUnitsRate)
{
    struct Row
    {
        int frontEnd;
        int des1;
        double unitInterval;  // s
    };
    for (const Row row : {Row{200, 1, 1e-4}, Row{5, 10, 1e-5}}) {
        SCOPED_TRACE(row.frontEnd);
        CNvuSimulator sim(SimSettings(1));
        ASSERT_TRUE(sim.Start());
        SoftwareFolder software;
        CTestTransceiverServices services;
        services.model = SounderModel::QYNVU;
        services.softwareFolder = software.path.string();
        const InstalledTransceiverInfo info = UnitInfo(1);
        TransceiverChannelRecord channel = Capability(0);
        channel.fpaDecimation = row.frontEnd;
        CCountingOwner owner;
        CNVU unit(info, {channel}, nullptr, services, FastTimings(sim.GetTftpPort()),
                  CUdpDatagramLink::Open(SocketAddress(kUnitAddress, sim.GetPort()), "NVU"));
        ASSERT_TRUE(unit.IsRunning());
        unit.SetEchoSounder(&owner);
        // The channel's readers ask for 60 m, 800 of its samples, at every
        // ping; the second ping is the first that sizes itself from that
        // whichever model the channel runs under.
        for (std::size_t ping = 1; ping <= 2; ++ping) {
            SCOPED_TRACE(ping);
            ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.IsReady(); }, 60s));
            unit.GetUnitChannel(0)->RequestRange(60.0);
            std::int64_t duration = 0;
            unit.Start(duration);
            if (ping == 2) {
                EXPECT_NEAR(static_cast<double>(duration), 800.0 * row.des1 * row.unitInterval * 1e7, 1.0);
            }
            ASSERT_EQ(unit.Trigger(0), 1);
            ASSERT_TRUE(zv::test::WaitUntil([&] { return owner.Releases() >= ping; }, 60s));
            std::uint64_t time = 0;
            {
                std::lock_guard<std::mutex> hold(owner.lock);
                time = owner.times.back();
            }
            unit.ProcessPing(time);
            unit.RequestNextPing();
        }
        EXPECT_NE(unit.GetDecimationLine(0).find("Des1 " + std::to_string(row.des1) + " "), std::string::npos)
            << unit.GetDecimationLine(0);
        unit.SetEchoSounder(nullptr);
    }
}

TEST(NvuLink, FixedParameterModeKeepsTheUnitsTransmitSetUp)
{
    CNvuSimulator sim(SimSettings(1));
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 1);
    run.fixed = true;
    ASSERT_TRUE(run.Begin());
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 3; }, 60s));
    EXPECT_TRUE(run.unit->IsFixedParameterMode());
    const auto codes = sim.GetReceivedCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "TSP#"), 0);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "RG"), 0);
    EXPECT_GE(std::count(codes.begin(), codes.end(), "RI"), 3);
}

TEST(NvuLink, LastPingDumpAndDecimationLines)
{
    CNvuSimulator sim(SimSettings(2));
    ASSERT_TRUE(sim.Start());
    Sounder run(sim, 2);
    // The file's own name, as the program has it: the dump goes into the
    // data root, not the working folder.
    run.timings.lastPingDumpPath = UnitTimings{}.lastPingDumpPath;
    const fs::path dump = run.data.root / run.timings.lastPingDumpPath;
    ASSERT_TRUE(fs::path(run.timings.lastPingDumpPath).is_relative());
    ASSERT_TRUE(run.Begin());
    run.unit->SaveLastPings(1);
    ASSERT_TRUE(zv::test::WaitUntil([&] { return run.pings.load() >= 3; }, 60s));

    NvuStatusTexts t;
    run.unit->ReadStatusTexts(t);
    EXPECT_EQ(t.decimationLines[0].rfind("Decimation  ch 1: Total ", 0), 0u) << t.decimationLines[0];
    EXPECT_EQ(t.decimationLines[1].rfind("Decimation  ch 2: ", 0), 0u);
    EXPECT_TRUE(t.decimationLines[2].empty());

    // One ping was dumped: its header, a line per channel and 500 sample lines.
    std::ifstream in(dump);
    std::string line;
    int sampleLines = 0, channelLines = 0;
    while (std::getline(in, line)) {
        sampleLines += line.rfind("NVUTime \t", 0) == 0;
        channelLines += line.rfind("Channel ", 0) == 0;
    }
    EXPECT_EQ(sampleLines, 500);
    EXPECT_EQ(channelLines, 2);
    fs::remove(dump);
}

TEST(NvuAdapterSearch, FindsTheAdapterTheUnitAnswersOnAndKeepsIt)
{
    CNvuSimulator::Settings settings = SimSettings(1);
    settings.answerOnlyFrom = 0x7F000004;  // 127.0.0.4
    CNvuSimulator sim(settings);
    ASSERT_TRUE(sim.Start());
    const SocketAddress unit(kUnitAddress, sim.GetPort());
    EXPECT_EQ(CNVU::ReceiveReply({"127.0.0.3", "not an address", "127.0.0.4", "127.0.0.5"}, unit, 200), "127.0.0.4");
    EXPECT_EQ(CNVU::ReceiveReply({"127.0.0.3", "127.0.0.5"}, unit, 200), "");
    EXPECT_EQ(CNVU::ReceiveReply({}, unit, 200), "");

    // The installation's adapter is gone: the unit is searched for through
    // the PC's adapters and the one it answers on is kept.
    ASSERT_EQ(setenv(CNetworkAdapters::kOverrideVariable, "a=127.0.0.3/8;b=127.0.0.4/8", 1), 0);
    SoftwareFolder software;
    CTempHives hives;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QYNVU\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    CTrList entry = ChannelEntry(0);
    entry.localPcIp = "192.0.2.77";  // no adapter of this PC
    installation.WriteChannelEntry(entry, key);
    reg.CloseKey(key);
    CTestTransceiverServices services;
    services.model = SounderModel::QYNVU;
    services.softwareFolder = software.path.string();
    UnitTimings timings = FastTimings(sim.GetTftpPort());
    timings.unitPort = sim.GetPort();
    timings.adapterWaitMs = 200;
    const auto info = installation.GetTransceiverInfo(0);
    ASSERT_TRUE(info);
    {
        auto made = CNVU::Create({installation, 0, *info, nullptr, services, timings});
        ASSERT_TRUE(made);
        auto* nvu = dynamic_cast<CNVU*>(made.get());
        ASSERT_TRUE(nvu && nvu->IsRunning());
        EXPECT_EQ(installation.GetTransceiverInfo(0)->localPcIp, "127.0.0.4");
        EXPECT_TRUE(zv::test::WaitUntil([&] { return nvu->GetSetupMask() == CNVU::kSetupComplete; }, 60s));
    }
    // Nowhere to be found: an idle unit that never pings.
    settings.answerOnlyFrom = 0x7F000009;
    CNvuSimulator deaf(settings);
    ASSERT_TRUE(deaf.Start());
    timings.unitPort = deaf.GetPort();
    key = installation.OpenChannelsKey();
    installation.WriteChannelEntry(entry, key);
    reg.CloseKey(key);
    {
        const auto again = installation.GetTransceiverInfo(0);
        ASSERT_TRUE(again);
        auto made = CNVU::Create({installation, 0, *again, nullptr, services, timings});
        ASSERT_TRUE(made);
        EXPECT_FALSE(dynamic_cast<CNVU*>(made.get())->IsRunning());
        EXPECT_FALSE(made->IsReady());
        EXPECT_EQ(installation.GetTransceiverInfo(0)->localPcIp, "192.0.2.77");
    }
    reg.CloseRootKeys();
    unsetenv(CNetworkAdapters::kOverrideVariable);
}

// A link in the process that hands the unit the test's datagrams, then
// falls silent; whatever the unit sends goes nowhere. A datagram may wait
// until the unit has sent a code; a link stopped before the unit starts
// ends its receive thread at once.
class CScriptedLink final : public IDatagramLink
{
public:
    explicit CScriptedLink(std::vector<std::vector<BYTE>> datagrams) : m_datagrams(std::move(datagrams)) {}
    bool Send(Path, const BYTE* data, std::size_t size) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_sent.insert(qy42::CodeOf(data, size));
        m_cv.notify_all();
        return true;
    }
    int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) override
    {
        std::unique_lock<std::mutex> hold(m_lock);
        const auto ready = [&] { return m_stopped || (m_next < m_datagrams.size() && Open(m_next)); };
        if (!m_cv.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready))
            return kTimeout;
        if (m_stopped) {
            m_ended = true;
            m_cv.notify_all();
            return kStopped;
        }
        const std::vector<BYTE>& d = m_datagrams[m_next++];
        const std::size_t n = std::min(d.size(), capacity);
        std::copy_n(d.begin(), n, buffer);
        ++m_taken;
        return static_cast<int>(n);
    }
    void Stop() override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopped = true;
        m_cv.notify_all();
    }
    std::size_t Taken()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_taken;
    }
    // The datagram at index is handed over only once code was sent.
    void Gate(std::size_t index, const std::string& code)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_gates[index] = code;
    }
    // Waits until the receive thread had its answer of a stopped link: from
    // then on it touches nothing of the unit.
    void WaitForReceiveThread()
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_cv.wait(hold, [&] { return m_ended; });
    }

private:
    bool Open(std::size_t index) const
    {
        const auto gate = m_gates.find(index);
        return gate == m_gates.end() || m_sent.count(gate->second) > 0;
    }

    std::mutex m_lock;
    std::condition_variable m_cv;
    std::vector<std::vector<BYTE>> m_datagrams;
    std::map<std::size_t, std::string> m_gates;
    std::set<std::string> m_sent;
    std::size_t m_next = 0, m_taken = 0;
    bool m_stopped = false;
    bool m_ended = false;
};

std::vector<BYTE> Datagram(const std::string& code, std::size_t size)
{
    std::vector<BYTE> d(size, 0);
    std::copy_n(code.begin(), std::min(code.size(), size), d.begin());
    return d;
}

TEST(NvuLinkFaults, BadDatagramsAreDroppedAndCounted)
{
    const std::vector<std::vector<BYTE>> bad = {
        Datagram("VA", 2),                         // shorter than a code
        Datagram("INF", 3),                        //
        Datagram("RSD#", qy42::kMaxReceived + 1),  // longer than the unit sends
        Datagram("XYZ#", 40),                      // no code of the unit's
        Datagram("INFO", 12),                      // an information message without its number
        Datagram("VA", 6),                         // a version answer without its text
        Datagram("ACI", 12),                       // analog inputs without the values
        Datagram("RSD#", 8),                       // samples without their header
    };
    // The unit answers first, so that the driver starts.
    std::vector<std::vector<BYTE>> script{CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, "Serial no. 6699\r\n")};
    script.insert(script.end(), bad.begin(), bad.end());
    // A good one among them counts for nothing; it comes once the connect
    // is past its halt, which empties the log.
    script.push_back(CNvuSimulator::MakeInfo(3, 1, "hello"));
    auto link = std::make_unique<CScriptedLink>(script);
    link->Gate(script.size() - 1, "HC");
    CScriptedLink* scripted = link.get();
    CTestTransceiverServices services;
    services.model = SounderModel::QYNVU;
    const InstalledTransceiverInfo unitInfo = UnitInfo(1, 0x7F000001);  // sent no filters
    CNVU unit(unitInfo, {Capability(0)}, nullptr, services, FastTimings(0), std::move(link));
    ASSERT_TRUE(unit.IsRunning());
    ASSERT_TRUE(zv::test::WaitUntil([&] { return scripted->Taken() == script.size(); }, 60s));
    ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.GetInformationLog().find("hello") != std::string::npos; }, 60s));
    EXPECT_EQ(unit.GetDroppedDatagrams(), bad.size());
}

TEST(NvuLinkFaults, NoFilterFilesTellTheOperatorOnceAndTheUnitWaitsForThem)
{
    CNvuSimulator sim(SimSettings(1));
    ASSERT_TRUE(sim.Start());
    SoftwareFolder software;
    const fs::path filters = software.path / "filter";
    fs::remove_all(filters);
    CTestTransceiverServices services;
    services.model = SounderModel::QYNVU;
    services.softwareFolder = software.path.string();
    const InstalledTransceiverInfo unitInfo = UnitInfo(1);
    CNVU unit(unitInfo, {Capability(0)}, nullptr, services, FastTimings(sim.GetTftpPort()),
              CUdpDatagramLink::Open(SocketAddress(kUnitAddress, sim.GetPort()), "NVU"));
    ASSERT_TRUE(unit.IsRunning());
    // The connect is tried again each second; the operator hears of it once.
    ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.GetUploadFailures() >= 3; }, 60s));
    const auto reported = [&] {
        const auto status = services.GetFed().status;
        return std::count(status.begin(), status.end(), app::ids::NVU_FILTER_UPLOAD_FAILED);
    };
    EXPECT_EQ(reported(), 1);
    EXPECT_NE(unit.GetSetupMask(), CNVU::kSetupComplete);
    // Once the files are there the unit is set up.
    fs::create_directories(filters / "NVU_200000");
    std::ofstream(filters / "NVU_200000" / "rxfilter.txt") << "1 0 1 1.0\n1 0\n";
    ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.GetSetupMask() == CNVU::kSetupComplete; }, 60s));
    EXPECT_EQ(reported(), 1);
}

// A unit whose receive thread has ended at once, and that never heard its
// unit answer: the test hands it the unit's datagrams itself, as that
// thread would, on its own thread.
struct HandedUnit
{
    CTestTransceiverServices services;
    std::unique_ptr<CNVU> unit;
    explicit HandedUnit(UnitTimings timings = FastTimings(0))
    {
        services.model = SounderModel::QYNVU;
        timings.unitWaitMs = 0;
        auto link = std::make_unique<CScriptedLink>(std::vector<std::vector<BYTE>>{});
        link->Stop();
        CScriptedLink& road = *link;
        const InstalledTransceiverInfo info = UnitInfo(0, 0x7F000001);
        unit = std::make_unique<CNVU>(info, std::vector<TransceiverChannelRecord>{}, nullptr, services, timings,
                                      std::move(link));
        road.WaitForReceiveThread();
    }
    void Take(const std::vector<BYTE>& d) { unit->TakeReceived(static_cast<int>(d.size()), d.data()); }
};

TEST(NvuInformation, SetUpMaskRisesOnlyInTheUnitsOrder)
{
    struct Message
    {
        std::uint32_t type;
        std::string text;
    };
    const Message hc{4, "HC"}, rc{4, "RC#"}, sync{4, "SYNC"}, tc{4, "TC"}, hd{4, "HD"};
    const auto rx = [](int c) { return Message{3, "rx" + std::to_string(c) + "filter.txt"}; };
    struct Row
    {
        const char* legend;
        std::vector<Message> messages;
        std::vector<int> masks;  // after each message
    };
    const Row rows[] = {
        {"in order", {hc, rc, rx(0), rx(1), rx(2), rx(3), sync, tc}, {1, 3, 7, 15, 31, 63, 127, 255}},
        {"filters in any order", {hc, rc, rx(2), rx(0), rx(3), rx(1), sync, tc}, {1, 3, 19, 23, 55, 63, 127, 255}},
        {"RC# before HC", {rc, hc, rx(0), rx(1), rx(2), rx(3), sync, tc}, {0, 1, 5, 13, 29, 61, 61, 61}},
        {"RC# not of type 4", {hc, {3, "RC#"}, rx(0), rx(1), rx(2), rx(3), sync, tc}, {1, 1, 5, 13, 29, 61, 61, 61}},
        {"SYNC before the last filter", {hc, rc, rx(0), rx(1), rx(2), sync, rx(3), tc}, {1, 3, 7, 15, 31, 31, 63, 63}},
        {"TC before SYNC", {hc, rc, rx(0), rx(1), rx(2), rx(3), tc, sync}, {1, 3, 7, 15, 31, 63, 63, 127}},
        {"HD undoes it", {hc, rc, rx(0), rx(1), rx(2), rx(3), sync, tc, hd}, {1, 3, 7, 15, 31, 63, 127, 255, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        HandedUnit u;
        ASSERT_EQ(row.messages.size(), row.masks.size());
        for (std::size_t i = 0; i < row.messages.size(); ++i) {
            u.Take(CNvuSimulator::MakeInfo(row.messages[i].type, static_cast<std::uint32_t>(i), row.messages[i].text));
            EXPECT_EQ(u.unit->GetSetupMask(), row.masks[i]) << "after " << row.messages[i].text;
        }
        EXPECT_EQ(u.unit->IsConfigured(), row.masks.back() == CNVU::kSetupComplete);
    }
}

TEST(NvuInformation, TextsOfTheUnitAreBounded)
{
    HandedUnit u;
    // A message's text: its first 300 characters.
    u.Take(CNvuSimulator::MakeInfo(3, 1, std::string(1500, 'x')));
    const std::string one = u.unit->GetInformationLog();
    EXPECT_NE(one.find("\tText: " + std::string(300, 'x') + "  \r\n"), std::string::npos) << one.size();
    EXPECT_EQ(one.find(std::string(301, 'x')), std::string::npos);
    // The log: its newest 65,536 characters.
    for (int i = 0; i < 250; ++i) {
        char title[16];
        std::snprintf(title, sizeof title, "message %03d ", i);
        u.Take(CNvuSimulator::MakeInfo(3, 1, title + std::string(400, 'y')));
    }
    const std::string log = u.unit->GetInformationLog();
    EXPECT_EQ(log.size(), CNVU::kMaxLog);
    EXPECT_NE(log.find("message 249 "), std::string::npos);
    EXPECT_EQ(log.find("message 000 "), std::string::npos);
    EXPECT_EQ(log.compare(log.size() - 4, 4, "\r\n\r\n"), 0) << "ends with the newest message whole";
    // The version text: its first 1000 characters.
    u.Take(CNvuSimulator::MakeVersionAnswer(false, 1, std::string(1900, 'v')));
    EXPECT_EQ(u.unit->GetVersionText(), std::string(1000, 'v'));
}

TEST(NvuInformation, EachConnectsHaltClearsTheInformationLog)
{
    // A message before the unit answers, so before the connect; another
    // once the connect is past its halt.
    std::vector<std::vector<BYTE>> script{CNvuSimulator::MakeInfo(3, 1, "before the connect"),
                                          CNvuSimulator::MakeVersionAnswer(false, 1, "Serial no. 1\r\n"),
                                          CNvuSimulator::MakeInfo(3, 2, "after the halt")};
    auto link = std::make_unique<CScriptedLink>(script);
    link->Gate(2, "HC");
    CTestTransceiverServices services;
    services.model = SounderModel::QYNVU;
    const InstalledTransceiverInfo info = UnitInfo(1, 0x7F000001);  // sent no filters
    CNVU unit(info, {Capability(0)}, nullptr, services, FastTimings(0), std::move(link));
    ASSERT_TRUE(unit.IsRunning());
    ASSERT_TRUE(
        zv::test::WaitUntil([&] { return unit.GetInformationLog().find("after the halt") != std::string::npos; }, 60s));
    EXPECT_EQ(unit.GetInformationLog().find("before the connect"), std::string::npos);
}

TEST(NvuLinkFaults, SampleDatagramIsDroppedAfterElevenOverrunsInARow)
{
    UnitTimings timings = FastTimings(0);
    timings.ringSamples = 16384;  // 6,384 samples of room before the reader's margin
    timings.ringRetryMs = 20;
    HandedUnit u(timings);
    const auto writeIndex = [&] {
        NvuStatusTexts t;
        u.unit->ReadStatusTexts(t);
        int w = -1;
        std::sscanf(t.bufferLine.c_str(), "Write %d", &w);
        return w;
    };
    const auto samples = [](std::uint32_t first, std::size_t n) {
        return CNvuSimulator::MakeSamples(10000.0f, 1, true, 0, first, std::vector<float>(2 * n, 0.5f));
    };
    std::uint32_t first = 0;
    for (int i = 0; i < 31; ++i, first += 200)
        u.Take(samples(first, 200));
    ASSERT_EQ(writeIndex(), 6200);
    // No reader moves: 200 samples more would run into it.
    const auto begin = std::chrono::steady_clock::now();
    u.Take(samples(first, 200));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 10 * std::chrono::milliseconds(timings.ringRetryMs))
        << "tried again ten times";
    EXPECT_EQ(writeIndex(), 6200) << "then dropped";
    // What still fits goes in.
    u.Take(samples(first, 100));
    EXPECT_EQ(writeIndex(), 6300);
}

TEST(NvuLink, ConnectWaitsTheUnitsTimesBetweenItsSteps)
{
    // The program's times, as the unit needs them.
    const UnitTimings program;
    EXPECT_EQ(program.nvuHaltWaitMs, 200);
    EXPECT_EQ(program.nvuHardwareWaitMs, 200);
    EXPECT_EQ(program.nvuReceiveConfigureWaitMs, 1000);
    EXPECT_EQ(program.nvuUploadWaitMs, 100);
    EXPECT_EQ(program.nvuSynchroniseWaitMs, 500);
    EXPECT_EQ(program.nvuConfiguredWaitMs, 1000);

    // Each step waits at least its own time, here a time of its own.
    CNvuSimulator sim(SimSettings(1));
    ASSERT_TRUE(sim.Start());
    SoftwareFolder software;
    CTestTransceiverServices services;
    services.model = SounderModel::QYNVU;
    services.softwareFolder = software.path.string();
    const InstalledTransceiverInfo info = UnitInfo(1);
    UnitTimings timings = FastTimings(sim.GetTftpPort());
    timings.nvuHaltWaitMs = 40;
    timings.nvuHardwareWaitMs = 50;
    timings.nvuReceiveConfigureWaitMs = 100;
    timings.nvuUploadWaitMs = 30;
    timings.nvuSynchroniseWaitMs = 70;
    CSendLog sends;
    CNVU unit(info, {Capability(0)}, nullptr, services, timings,
              std::make_unique<CNotingLink>(CUdpDatagramLink::Open(SocketAddress(kUnitAddress, sim.GetPort()), "NVU"),
                                            sends));
    ASSERT_TRUE(unit.IsRunning());
    ASSERT_TRUE(zv::test::WaitUntil([&] { return unit.GetSetupMask() == CNVU::kSetupComplete; }, 60s));
    const auto sent = sends.Entries();
    const std::size_t hd = FindSent(sent, "HD");
    const std::size_t hc = FindSent(sent, "HC", hd);
    const std::size_t rc = FindSent(sent, "RC#", hc);
    const std::size_t sync = FindSent(sent, "SYNC", rc);
    ASSERT_LT(sync, sent.size());
    const auto gap = [&](std::size_t from, std::size_t to) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(sent[to].at - sent[from].at).count();
    };
    EXPECT_GE(gap(hd, hc), 40);
    EXPECT_GE(gap(hc, rc), 50);
    EXPECT_GE(gap(rc, sync), 100 + 4 * 30 + 70) << "after RC#, after each of the four filters, before SYNC";
    EXPECT_EQ(sim.GetFiles().size(), 4u);
}

}  // namespace
