// The bottom detector on synthetic pings with a known bottom: tracking over
// pings, spike removal, second layer, the alternative detector, the
// settings file, and the detector inside a channel that bridges misses.
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"

#include "base/Archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using rawpower::kNoEcho;
namespace fs = std::filesystem;

constexpr double kD = 0.1;
constexpr double kTau = 0.001;           // n = 8 samples at 0.1 m
constexpr std::int16_t kNoise = -7653;   // -90 dB
constexpr std::int16_t kBottom = -1700;  // -20 dB

class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "zvbottomXXXXXX").string();
        path = ::mkdtemp(pattern.data());
        path += "/";
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string path;
};

std::vector<std::int16_t> Ping(int count, int bottomIndex, int bottomLength = 40)
{
    std::vector<std::int16_t> p(static_cast<std::size_t>(count), kNoise);
    for (int i = bottomIndex; i >= 0 && i < std::min(count, bottomIndex + bottomLength); ++i)
        p[static_cast<std::size_t>(i)] = kBottom;
    return p;
}

CBottomDetector::Construction Plain(double d = kD)
{
    CBottomDetector::Construction c;
    c.SourceName = "T38";
    c.SampleDistance = d;
    c.Model = SounderModel::QY310;
    c.UseSettingsFolder = false;
    return c;
}

struct Result
{
    bool found = false;
    double depth = 0.0;
    double level = 0.0;
    double next = 0.0;
};

Result Detect(CBottomDetector& det, const std::vector<std::int16_t>& p, double offset = 0.0, double d = kD)
{
    Result r;
    r.found =
        det.DetectBottom(p.data(), static_cast<int>(p.size()), offset, kTau, d, p.size() * d, r.depth, r.level, r.next);
    return r;
}

TEST(BottomDetector, SpikeFloorAndRunSkipsAgreeWithTheWordByWordTests)
{
    // Every word: the integer floor says what the level test in dB says.
    const int floor = CBottomDetector::SpikeFloor();
    for (int w = -32768; w <= 32767; ++w)
        ASSERT_EQ(w >= floor, w * rawpower::kDbPerUnit >= -70.0) << w;

    // Runs of every length around the block size, ended by the other kind
    // of word or by the end, from starts inside and at the edge of a block.
    const auto plain = [](const std::vector<std::int16_t>& w, int i, int end, bool noEcho) {
        while (i < end && (w[static_cast<std::size_t>(i)] == rawpower::kNoEcho) == noEcho)
            ++i;
        return i;
    };
    for (bool noEcho : {true, false}) {
        const std::int16_t inRun = noEcho ? rawpower::kNoEcho : std::int16_t{-5000};
        const std::int16_t other = noEcho ? std::int16_t{-19999} : rawpower::kNoEcho;
        for (int length : {0, 1, 31, 32, 33, 63, 64, 65, 100}) {
            for (int from : {0, 1, 31}) {
                std::vector<std::int16_t> w(200, inRun);
                const int stop = from + length;
                w[static_cast<std::size_t>(stop)] = other;
                for (int end : {stop, stop + 1, 150, 200})
                    EXPECT_EQ(CBottomDetector::SkipRun(w.data(), from, end, noEcho), plain(w, from, end, noEcho))
                        << "run of " << length << " from " << from << " to " << end << (noEcho ? ", no echo" : "");
            }
        }
    }
}

TEST(BottomDetector, BlockEchoTestAndStrongestAgreeWithTheWordByWordForms)
{
    const auto plainEcho = [](std::vector<std::int16_t>& w, int from, int to, int enter, int stay) {
        int level = enter;
        int kept = 0;
        for (int i = from; i < to; ++i) {
            if (w[static_cast<std::size_t>(i)] >= level) {
                ++kept;
                level = stay;
            } else {
                w[static_cast<std::size_t>(i)] = kNoEcho;
                level = enter;
            }
        }
        return kept;
    };
    // Words around both levels, so that runs start, carry on and break
    // across the blocks; levels beyond the words' range at both ends.
    std::srand(7);
    const struct
    {
        int enter, stay;
    } levels[] = {{-3000, -4024}, {-3000, -3000}, {-32000, -33024}, {-32768, -34816},
                  {32767, 31743}, {33000, 32000}, {40000, -40000}};
    for (const auto& l : levels) {
        for (int spread : {1, 300, 2500, 65535}) {
            for (int length : {0, 1, 63, 64, 65, 127, 128, 129, 1000}) {
                for (int from : {0, 1, 37}) {
                    std::vector<std::int16_t> w(static_cast<std::size_t>(from + length + 3));
                    const int centre = std::clamp((l.enter + l.stay) / 2, -32768, 32767);
                    for (auto& x : w)
                        x = static_cast<std::int16_t>(
                            std::clamp(centre + std::rand() % (2 * spread + 1) - spread, -32768, 32767));
                    if (length > 2) {
                        w[static_cast<std::size_t>(from)] = 32767;
                        w[static_cast<std::size_t>(from + length - 1)] = -32768;
                    }
                    std::vector<std::int16_t> block = w, plain = w;
                    const int kept = CBottomDetector::EchoTest(block.data(), from, from + length, l.enter, l.stay);
                    ASSERT_EQ(kept, plainEcho(plain, from, from + length, l.enter, l.stay))
                        << l.enter << "/" << l.stay << " spread " << spread << " length " << length;
                    ASSERT_EQ(block, plain) << l.enter << "/" << l.stay << " spread " << spread << " length " << length;

                    int index = -1;
                    const int strongest = CBottomDetector::Strongest(w.data(), from, from + length, index);
                    const auto at = std::max_element(w.begin() + from, w.begin() + from + length);
                    ASSERT_EQ(strongest, length == 0 ? -32768 : *at) << "length " << length;
                    ASSERT_EQ(index, length == 0 ? from : static_cast<int>(at - w.begin())) << "length " << length;
                }
            }
        }
    }
}

TEST(BottomDetector, KnownBottomIsConfirmedOnTheThirdPing)
{
    CBottomDetector det(Plain());
    ASSERT_DOUBLE_EQ(det.GetMaximumDepth(), 1000.0) << "29900 x 0.1 m is above 1000 m";
    const auto p = Ping(3000, 1000);
    const double offset = 5.0;
    EXPECT_FALSE(Detect(det, p, offset).found) << "a new echo has confidence 1";
    EXPECT_FALSE(Detect(det, p, offset).found) << "confidence 3 is not yet confirmed";
    const Result r = Detect(det, p, offset);
    ASSERT_TRUE(r.found);
    // The leading edge: the last sample below the backstep level is index
    // 999, interpolated towards 1000 within one sample.
    EXPECT_NEAR(r.depth, offset + 100.0, kD);
    EXPECT_LT(r.depth, offset + 100.0);
    EXPECT_NEAR(r.level, kBottom * rawpower::kDbPerUnit, 1e-9);
    EXPECT_EQ(det.GetBottomIndexPlusOne(), 1000);
    EXPECT_NEAR(det.GetTrackedBottom() - det.GetNegatedFraction(), 100.0, 1e-9);
    // Next time: the tracking window, 0.3 T + 50 m (80 m at 100 m), below
    // the tracked bottom.
    const double t = det.GetTrackedBottom();
    EXPECT_NEAR(r.next, t + 0.3 * t + 50.0, 1e-9);

    // Now tracked, the window is +-80 m around it; the next range is the
    // window's end seen from the surface.
    const Result again = Detect(det, p, offset);
    EXPECT_TRUE(again.found);
    EXPECT_NEAR(again.depth, r.depth, 1e-9);
}

TEST(BottomDetector, SpikesAreRemovedAndASpikeAloneIsNoBottom)
{
    CBottomDetector det(Plain());
    auto p = Ping(3000, 1000);
    p[500] = -400;  // -4.7 dB, one sample: much stronger than the bottom
    for (int ping = 0; ping < 3; ++ping)
        Detect(det, p);
    const Result r = Detect(det, p);
    ASSERT_TRUE(r.found);
    EXPECT_NEAR(r.depth, 100.0, kD) << "the spike at 50 m must not become the bottom";
    EXPECT_EQ(det.GetRejectedSpikeCount(), 1);
    ASSERT_EQ(det.GetSpikeRecords().size(), 2u);
    EXPECT_EQ(det.GetSpikeRecords()[0].Peak, -400);
    EXPECT_EQ(det.GetSpikeRecords()[0].Kept, 1);

    // The spike alone: nothing else reaches -70 dB, so no bottom, and the
    // tracker starts over.
    std::vector<std::int16_t> only(3000, kNoise);
    only[500] = -400;
    EXPECT_FALSE(Detect(det, only).found);
    EXPECT_EQ(det.GetTrackedBottom(), 0.0);
}

TEST(BottomDetector, DeepPingWithSpikesFindsTheBottomAndRejectsEverySpike)
{
    CBottomDetector::Construction c = Plain(0.02);
    CBottomDetector det(c);
    det.SetMaximumDepth(590.0);
    auto p = Ping(29000, 25000);
    int spikes = 0;
    // Spaced wider than an echo window (2n = 76 samples), so each is tried
    // on its own.
    for (int i = 100; i < 24900; i += 100, ++spikes)
        p[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(-300 - (i % 7));
    // The first ping searches the whole range: every spike is tried and
    // erased, while the records kept for the display stay bounded.
    Result r = Detect(det, p, 0.0, 0.02);
    EXPECT_EQ(det.GetRejectedSpikeCount(), spikes);
    EXPECT_EQ(static_cast<int>(det.GetSpikeRecords().size()), CBottomDetector::kMaxSpikeRecords);
    for (int ping = 0; ping < 2; ++ping)
        r = Detect(det, p, 0.0, 0.02);
    ASSERT_TRUE(r.found);
    EXPECT_NEAR(r.depth, 500.0, 0.02);
}

TEST(BottomDetector, EndSampleBelongsToThisPing)
{
    CBottomDetector det(Plain());
    auto deep = Ping(3000, 2500);
    deep[2000] = -500;
    Detect(det, deep);
    // A shorter ping: its end sample (index 2000) lies just past its data and
    // is no echo, whatever the previous ping held there.
    Detect(det, Ping(2000, 1000));
    double db = 0.0;
    det.GetBottomSamplesDb(&db, 1, 2000);
    EXPECT_DOUBLE_EQ(db, kNoEcho * rawpower::kDbPerUnit);
    double outside[2];
    det.GetBottomSamplesDb(outside, 2, -1);
    EXPECT_DOUBLE_EQ(outside[0], rawpower::kNoEchoDb);
}

TEST(BottomDetector, SecondLayerPrefersTheEchoBelowTheReference)
{
    auto twoLayers = [] {
        auto p = Ping(3000, 500, 30);
        for (int i = 600; i < 630; ++i)
            p[static_cast<std::size_t>(i)] = -2000;  // weaker, deeper layer
        return p;
    };
    const auto p = twoLayers();

    CBottomDetector plain(Plain());
    Result r;
    for (int ping = 0; ping < 3; ++ping)
        r = Detect(plain, p);
    ASSERT_TRUE(r.found);
    EXPECT_NEAR(r.depth, 50.0, kD) << "without the second layer the first, stronger echo wins";

    CBottomDetector::Construction c = Plain();
    c.ExternalDepth = [](int index, std::string& name, double& depth) {
        if (index != 2)
            return false;
        name = "Replay Ref 200";
        depth = 50.0;
        return true;
    };
    CBottomDetector layered(c);
    layered.SetSecondLayer(true, "Ref 200", 0.0);
    for (int ping = 0; ping < 3; ++ping)
        r = Detect(layered, p);
    ASSERT_TRUE(r.found);
    EXPECT_DOUBLE_EQ(layered.GetReferenceDepth(), 50.0);
    EXPECT_NEAR(r.depth, 60.0, kD);
}

TEST(BottomDetector, AlternativeDetectorFollowsADeepBottomPastSixteenBits)
{
    // At 0.01 m a bottom at 290 m lies at sample 29000; the window around
    // it reaches beyond 32767, which must not wrap.
    CBottomDetector det(Plain(0.01));
    det.SetAlternativeDetector(true);
    det.SetMaximumDepth(300.0);
    for (int ping = 0; ping < 5; ++ping) {
        const auto p = Ping(30000, 29000, 200);
        const Result r = Detect(det, p, 0.0, 0.01);
        ASSERT_TRUE(r.found) << "ping " << ping;
        EXPECT_NEAR(r.depth, 290.0, 0.02) << "ping " << ping;
    }
}

TEST(BottomDetector, AlternativeDetectorHoldsThreeMissesThenResets)
{
    CBottomDetector det(Plain());
    det.SetAlternativeDetector(true);
    const auto p = Ping(3000, 1000, 60);
    const Result first = Detect(det, p);
    ASSERT_TRUE(first.found) << "no confirmation over pings in this detector";
    EXPECT_NEAR(first.depth, 100.0, 2 * kD) << "smoothing moves the edge up by a sample";
    // The bottom jumps far above the window: held on the last index for
    // three pings, then dropped.
    const auto shallow = Ping(3000, 300, 60);
    for (int miss = 1; miss <= 3; ++miss) {
        const Result r = Detect(det, shallow);
        EXPECT_TRUE(r.found) << "miss " << miss;
        EXPECT_NEAR(r.depth, first.depth, kD) << "miss " << miss;
    }
    EXPECT_FALSE(Detect(det, shallow).found);
    EXPECT_EQ(det.GetTrackedBottom(), 0.0);
}

// ---- Settings file ----------------------------------------------------------

std::vector<char> ReadAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<char>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(BottomDetectorFile, WrittenAtTheEndAndReadBackByteForByte)
{
    TempFolder tmp;
    CBottomDetector::Construction c = Plain();
    c.SourceName = "Unit 38 kHz: a/b";
    c.UseSettingsFolder = true;
    c.SettingsFolder = tmp.path;
    const std::string path = tmp.path + "Unit 38 kHz_ a_b_ChannelBottom.sav";
    {
        CBottomDetector det(c);
        EXPECT_EQ(det.GetSettingsPath(), path);
        det.SetMaximumDepth(750.0);
        det.SetMinimumDepth(2.5);
        det.SetDisplayMode(3, "Bottom mode");
        det.SetSecondLayer(true, "T120", 1.25);
    }
    const std::vector<char> first = ReadAll(path);
    ASSERT_EQ(first.size(), 104u);

    // The record field by field, little-endian.
    auto dbl = [&](int at) {
        double v;
        std::memcpy(&v, &first[static_cast<std::size_t>(at)], 8);
        return v;
    };
    auto u32 = [&](int at) {
        std::uint32_t v;
        std::memcpy(&v, &first[static_cast<std::size_t>(at)], 4);
        return v;
    };
    EXPECT_EQ(dbl(0), 750.0);
    EXPECT_EQ(dbl(8), 2.5);
    EXPECT_EQ(u32(48), 3u);
    EXPECT_STREQ(&first[52], "Bottom mode");
    EXPECT_EQ(u32(72), 1u);
    EXPECT_STREQ(&first[76], "T120");
    EXPECT_EQ(dbl(96), 1.25);

    {
        CBottomDetector det(c);
        EXPECT_EQ(det.GetMaximumDepth(), 750.0);
        EXPECT_EQ(det.GetMinimumDepth(), 2.5);
        EXPECT_TRUE(det.IsSecondLayerOn());
        EXPECT_EQ(det.GetReferenceName(), "T120");
        EXPECT_EQ(det.GetSecondLayerGain(), 1.25);
        EXPECT_EQ(det.GetDisplayModeValue(), 3);
    }
    EXPECT_EQ(ReadAll(path), first);
}

// The file is written when the detector goes, at exit: one that cannot be
// written leaves its path and cause in the event log.
TEST(BottomDetectorFile, AFileThatCannotBeWrittenAtTheEndIsLogged)
{
    TempFolder tmp;
    const std::string events = tmp.path + "events.log";
    setenv("ZELVAR_EVENTLOG_FILE", events.c_str(), 1);
    CBottomDetector::Construction c = Plain();
    c.UseSettingsFolder = true;
    c.SettingsFolder = tmp.path + "gone/";
    fs::create_directory(c.SettingsFolder);
    {
        CBottomDetector det(c);
        fs::remove(c.SettingsFolder);
    }
    unsetenv("ZELVAR_EVENTLOG_FILE");
    std::ifstream in(events);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("Settings not saved: " + c.SettingsFolder + "T38_ChannelBottom.sav: No such file or directory"),
              std::string::npos)
        << text;
}

TEST(BottomDetectorFile, ShortOrDamagedFileLeavesTheDefaults)
{
    TempFolder tmp;
    CBottomDetector::Construction c = Plain(0.02);
    c.UseSettingsFolder = true;
    c.SettingsFolder = tmp.path;
    const std::string path = tmp.path + "T38_ChannelBottom.sav";
    std::vector<char> good(104, 0);
    const double maxDepth = 250.0;
    std::memcpy(&good[0], &maxDepth, 8);
    good[76] = 'X';

    struct Row
    {
        const char* legend;
        int size;
        int at;
        std::vector<char> bytes;
    };
    const double nan = std::nan("");
    std::vector<char> nanBytes(8), deeper(8);
    std::memcpy(nanBytes.data(), &nan, 8);
    const double belowMaximum = 250.5;
    std::memcpy(deeper.data(), &belowMaximum, 8);
    const std::vector<Row> rows = {
        {"one byte short", 103, -1, {}},
        {"one byte long", 105, -1, {}},
        {"empty", 0, -1, {}},
        {"maximum depth not a number", 104, 0, nanBytes},
        {"minimum depth below the maximum", 104, 8, deeper},
        {"reference text without its terminator", 104, 76, std::vector<char>(20, 'A')},
        {"second-layer switch neither 0 nor 1", 104, 72, {7, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        std::vector<char> bytes = good;
        bytes.resize(static_cast<std::size_t>(row.size));
        if (row.at >= 0)
            std::copy(row.bytes.begin(), row.bytes.end(), bytes.begin() + row.at);
        WriteAll(path, bytes);
        CBottomDetector det(c);
        EXPECT_EQ(det.GetMaximumDepth(), 500.0) << row.legend << ": 29900 x 0.02 m rounded down to 100 m";
        EXPECT_EQ(det.GetReferenceName(), "") << row.legend;
    }
    // A minimum equal to the maximum, as the dialog allows, is kept.
    std::memcpy(&good[8], &maxDepth, 8);
    WriteAll(path, good);
    CBottomDetector det(c);
    EXPECT_EQ(det.GetMaximumDepth(), 250.0) << "the sound record is taken";
    EXPECT_EQ(det.GetMinimumDepth(), 250.0);
    EXPECT_EQ(det.GetReferenceName(), "X");
}

TEST(BottomDetectorFile, AMaximumBelowTheMinimumNeverCostsTheFile)
{
    TempFolder tmp;
    CBottomDetector::Construction c = Plain(0.02);
    c.UseSettingsFolder = true;
    c.SettingsFolder = tmp.path;
    std::vector<char> stored(104, 0);
    const double maxDepth = 250.0, minDepth = 20.0;
    std::memcpy(&stored[0], &maxDepth, 8);
    std::memcpy(&stored[8], &minDepth, 8);
    stored[76] = 'X';
    WriteAll(tmp.path + "T38_ChannelBottom.sav", stored);

    // A fixed range of 14 m lowers the maximum below the minimum; what is
    // saved at the end is still read back whole.
    {
        CBottomDetector det(c);
        ASSERT_EQ(det.GetReferenceName(), "X");
        det.SetMaximumDepth(14.0);
    }
    CBottomDetector det(c);
    EXPECT_EQ(det.GetReferenceName(), "X");
    EXPECT_EQ(det.GetMaximumDepth(), 14.0);
    EXPECT_EQ(det.GetMinimumDepth(), 14.0);

    // A layout whose minimum lies above its maximum takes neither depth.
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << 100.0 << 300.0 << -30.0;
        ar.Close();
    }
    {
        CArchive ar(bytes.data(), bytes.size());
        det.Serialize(ar);
    }
    EXPECT_EQ(det.GetMaximumDepth(), 14.0);
    EXPECT_EQ(det.GetMinimumDepth(), 14.0);
    EXPECT_EQ(det.GetBackstepLevel(), -30.0);
}

TEST(BottomDetectorFile, DefaultsPerModelAndLayoutSerialisation)
{
    CBottomDetector::Construction c = Plain();
    c.Model = SounderModel::RM30;
    CBottomDetector rm30(c);
    EXPECT_EQ(rm30.GetBackstepLevel(), -50.0);
    EXPECT_TRUE(rm30.IsBottomSmoothingOn());
    CBottomDetector qy(Plain());
    EXPECT_EQ(qy.GetBackstepLevel(), -40.0);
    EXPECT_FALSE(qy.IsBottomSmoothingOn());

    qy.SetMaximumDepth(321.0);
    qy.SetMinimumDepth(4.0);
    qy.SetBackstepLevel(-33.0);
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        qy.Serialize(ar);
        ar.Close();
    }
    EXPECT_EQ(bytes.size(), 24u);
    {
        CArchive ar(bytes.data(), bytes.size());
        rm30.Serialize(ar);
    }
    EXPECT_EQ(rm30.GetMaximumDepth(), 321.0);
    EXPECT_EQ(rm30.GetMinimumDepth(), 4.0);
    EXPECT_EQ(rm30.GetBackstepLevel(), -33.0);
}

// ---- Inside a channel ---------------------------------------------------------

TEST(BottomDetectorInChannel, ConfirmsThenBridgesFourMissedPings)
{
    IChannelLinks links;
    CChannel::Construction cc;
    cc.Parameters.SampleDistance = kD;
    cc.Parameters.SampleInterval = kD * 2.0 / 1500.0;
    cc.Parameters.PulseLength = kTau;
    cc.SourceName = "T38";
    cc.Links = &links;
    CChannel channel(cc);
    CBottomDetector::Construction c = Plain();
    c.Model = SounderModel::RM30;  // bottom smoothing, which bridges misses
    auto det = std::make_unique<CBottomDetector>(c);
    CBottomDetector* detector = det.get();
    channel.SetBottomDetector(std::move(det));

    auto feed = [&](std::uint64_t t, bool bottom) {
        std::vector<std::int16_t> s(2000, -13000);
        if (bottom)
            for (int i = 999; i < 1049; ++i)
                s[static_cast<std::size_t>(i)] = -3000;
        channel.AddPowerSamples(s.data(), 2000, 0);
        channel.AddPing(t);
        double depth = 0.0;
        const bool found = channel.ProcessPing(&depth);
        return std::make_pair(found, depth);
    };
    EXPECT_FALSE(feed(1, true).first);
    EXPECT_FALSE(feed(2, true).first);
    const auto confirmed = feed(3, true);
    ASSERT_TRUE(confirmed.first);
    // Sample 999 lies at 100 m. The smoothing spreads the edge up by one
    // sample, and the depth is the range of the last sample below the
    // backstep level, interpolated.
    EXPECT_NEAR(confirmed.second, 100.0, 3 * kD);
    EXPECT_LT(confirmed.second, 100.0);
    for (int miss = 1; miss <= 4; ++miss) {
        const auto r = feed(3 + static_cast<std::uint64_t>(miss), false);
        EXPECT_TRUE(r.first) << "miss " << miss;
        EXPECT_DOUBLE_EQ(r.second, confirmed.second) << "miss " << miss;
        EXPECT_NEAR(detector->GetTrackedBottom(), confirmed.second, 1e-9);
    }
    const auto fifth = feed(8, false);
    EXPECT_FALSE(fifth.first);
    EXPECT_EQ(fifth.second, 0.0);
}

}  // namespace

namespace {

TEST(BottomDetectorInChannel, StandardPartsFindTheBottomAndShowTheWorkingArray)
{
    IChannelLinks links;
    CChannel::Construction cc;
    cc.Parameters.SampleDistance = kD;
    cc.Parameters.SampleInterval = kD * 2.0 / 1500.0;
    cc.Parameters.PulseLength = kTau;
    cc.SourceName = "T38";
    cc.Links = &links;
    cc.StandardParts = true;
    CChannel channel(cc);
    std::vector<std::int16_t> s(2000, -13000);
    for (int i = 999; i < 1049; ++i)
        s[static_cast<std::size_t>(i)] = -3000;
    bool found = false;
    double depth = 0.0;
    for (std::uint64_t t = 1; t <= 3; ++t) {
        channel.AddPowerSamples(s.data(), 2000, 0);
        channel.AddPing(t);
        found = channel.ProcessPing(&depth);
    }
    ASSERT_TRUE(found);
    // Sample 999 at 100 m is the first of the echo; the depth is that of
    // the sample before it, less the interpolated fraction.
    EXPECT_NEAR(depth, 99.9, kD);
    EXPECT_LT(depth, 99.9);
    double db[2];
    channel.GetBottomSamplesDb(db, 2, 998);
    EXPECT_LT(db[0], -200.0) << "below the echo test: no echo";
    EXPECT_GT(db[1], -20.0) << "the bottom echo of the bottom echogram";
    bool lost = false, minAlarm = false, maxAlarm = false;
    double a = 0.0, b = 0.0;
    EXPECT_FALSE(channel.RunBottomDetectorDialog(lost, minAlarm, maxAlarm, a, b)) << "no dialog installed";
}

}  // namespace
