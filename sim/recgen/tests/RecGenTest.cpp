// The generator's files, read with the program's own datagram reader, show
// the scene that was described. The two share no code, so this checks each
// against the layout as the other understood it.
#include "recording/DatagramReader.h"
#include "sim/recgen/RecordingGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

using namespace zv::recgen;
using namespace zv::recording;
namespace fs = std::filesystem;

namespace {

struct TempDir
{
    TempDir()
    {
        char tmpl[] = "/tmp/zvrecgenXXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

std::vector<std::uint8_t> ReadFile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool ChecksumOk(const std::string& s)
{
    const auto star = s.find('*');
    if (s.empty() || s[0] != '$' || star == std::string::npos || star + 3 != s.size())
        return false;
    unsigned cs = 0;
    for (std::size_t i = 1; i < star; ++i)
        cs ^= std::uint8_t(s[i]);
    return std::strtoul(s.substr(star + 1).c_str(), nullptr, 16) == cs;
}

}  // namespace

TEST(RecGenTest, RecordingReadsBackAsTheScene)
{
    TempDir dir;
    SRecGenScene scene;
    std::string error;
    for (const char* s : {"pings=30", "channels=38,200", "samples=800", "sample-interval=0.0002", "bottom=50",
                          "bottom-swing=12", "bottom-period=20", "school-first=5", "school-last=10",
                          "annotate-every=10", "start-unix=1767225600", "interval=0.5", "svp-kind=3"})
        ASSERT_TRUE(ApplySetting(scene, s, &error)) << error;
    CRecordingGenerator gen(scene);
    const fs::path file = dir.path / "scene.raw";
    SRecGenSummary sum;
    ASSERT_TRUE(gen.Write(file.string(), &sum, &error)) << error;

    const std::vector<std::uint8_t> bytes = ReadFile(file);
    EXPECT_EQ(bytes.size(), sum.bytes);
    CDatagramReader reader(bytes.data(), bytes.size());
    SDatagramView v;

    ASSERT_TRUE(reader.Next(v));
    SConfiguration config;
    ASSERT_TRUE(CDatagramReader::ParseConfiguration(v, config));
    EXPECT_EQ(config.fileName, "scene.raw");
    ASSERT_EQ(config.channels.size(), 2u);
    EXPECT_FLOAT_EQ(config.channels[0].frequency, 38000.0f);
    EXPECT_FLOAT_EQ(config.channels[1].frequency, 200000.0f);
    EXPECT_EQ(config.channels[1].id, gen.ChannelId(1));
    EXPECT_EQ(config.channels[0].beamType, 1u);

    std::map<std::uint64_t, int> samplesPerPing;
    std::vector<std::string> sentences, annotations, profiles;
    int ping = -1;
    std::uint64_t lastTime = 0;
    std::vector<std::int16_t> power, angle;
    double worstBottomError = 0.0;
    while (reader.Next(v)) {
        std::string text;
        if (v.type == kTypeRAW0) {
            SSampleView s;
            ASSERT_TRUE(CDatagramReader::ParseSample(v, s));
            if (v.time != lastTime)
                ++ping;
            lastTime = v.time;
            ++samplesPerPing[v.time];
            ASSERT_EQ(v.time, PingTime(gen.Scene(), ping));
            const std::size_t ch = s.header.channel - 1u;
            ASSERT_LT(ch, 2u);
            gen.PingSamples(ping, ch, power, angle);
            ASSERT_EQ(s.PowerSamples(), power);
            ASSERT_EQ(s.AngleSamples(), angle);
            EXPECT_EQ(s.header.flags, 3);
            EXPECT_FLOAT_EQ(s.header.soundVelocity, 1490.0f);
            // The strongest echo below 10 m is the bottom the scene describes
            // (a single fish nearer the transducer may echo more strongly).
            const double d = s.header.sampleInterval * s.header.soundVelocity / 2;
            const auto from = power.begin() + std::ptrdiff_t(10.0 / d);
            const auto peak = std::max_element(from, power.end()) - power.begin();
            const double range = (double(peak) + 0.5) * d;
            const double err = std::fabs(range + s.header.draught - BottomDepthAt(gen.Scene(), ping));
            worstBottomError = std::max(worstBottomError, err);
        } else if (v.type == kTypeNME0 && CDatagramReader::ParseText(v, text)) {
            sentences.push_back(text);
        } else if (v.type == kTypeTAG0 && CDatagramReader::ParseText(v, text)) {
            annotations.push_back(text);
        } else if (v.type == kTypeSVP0) {
            std::uint32_t kind = 0;
            ASSERT_TRUE(CDatagramReader::ParseProfile(v, kind, text));
            EXPECT_EQ(kind, 3u);
            profiles.push_back(text);
        } else {
            ADD_FAILURE() << "unexpected datagram " << TypeName(v.type);
        }
    }
    EXPECT_EQ(reader.SkippedBytes(), 0u);
    EXPECT_EQ(ping + 1, 30);
    EXPECT_EQ(samplesPerPing.size(), 30u);
    for (const auto& [t, n] : samplesPerPing)
        EXPECT_EQ(n, 2);
    // One sample is 0.15 m at this interval; the bottom moves 12 m each way.
    EXPECT_LT(worstBottomError, 0.2);

    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0], "3,0.00,1495.00,20.00,1490.00,100.00,1485.50");
    ASSERT_EQ(sentences.size(), 90u);
    for (const std::string& s : sentences)
        EXPECT_TRUE(ChecksumOk(s)) << s;
    // First fix: 60.5 N 5.25 E at 00:00:00 on 2026-01-01.
    EXPECT_EQ(sentences[0].substr(0, 44), "$GPGGA,000000.00,6030.0000,N,00515.0000,E,1,");
    EXPECT_EQ(sentences[2].substr(0, 34), "$GPZDA,000000.00,01,01,2026,00,00*");
    ASSERT_EQ(annotations.size(), 3u);
    EXPECT_EQ(annotations[1], gen.AnnotationText(10));
}

TEST(RecGenTest, SchoolAppearsOnlyInItsPings)
{
    SRecGenScene scene;
    std::string error;
    for (const char* s : {"school-first=3", "school-last=4", "school-depth=25", "school-height=4", "targets=0",
                          "channels=38", "bottom-swing=0"})
        ASSERT_TRUE(ApplySetting(scene, s, &error)) << error;
    CRecordingGenerator gen(scene);
    const SRecGenChannel& ch = gen.Scene().channels[0];
    const double rps = ch.sampleInterval * gen.Scene().soundVelocity / 2;
    const std::size_t inSchool = std::size_t((25.0 - ch.draught) / rps);
    std::vector<std::int16_t> power, angle;
    const std::int16_t noiseTop = CRecordingGenerator::PowerWord(gen.Scene().noiseDb + 3.0);
    for (int ping : {2, 3, 4, 5}) {
        gen.PingSamples(ping, 0, power, angle);
        const bool present = ping == 3 || ping == 4;
        EXPECT_EQ(power[inSchool] > noiseTop, present) << "ping " << ping;
    }
}

TEST(RecGenTest, BadSceneSettingsAreRefused)
{
    std::vector<const char*> bad = {
        "pings=0",      "pings=abc",  "pings=1e3", "channels=", "channels=38,-1", "channels=1,2,3,4,5,6,7,8,9",
        "svp=1:9000",   "svp=1",      "unknown=1", "lat=91",    "noise=1,5",      "=5",
        "interval=nan", "svp-kind=2", "kind=xyz",  "gll=2",     "llq=2",          "nofix-first=x"};
    // The pinger's: a negative period or depth, a drift, pulse or level
    // beyond its range, no number.
    bad.insert(bad.end(), {"pinger-period=-0.5", "pinger-period=101", "pinger-period=nan", "pinger-depth=-1",
                           "pinger-depth=12001", "pinger-drift=101", "pinger-drift=-101", "pinger-pulse=0",
                           "pinger-pulse=0.2", "pinger-level=1", "pinger-level=-201", "pinger-level=x"});
    for (const char* s : bad) {
        SRecGenScene scene;
        std::string error;
        EXPECT_FALSE(ApplySetting(scene, s, &error)) << s;
        EXPECT_FALSE(error.empty()) << s;
    }
    SRecGenScene scene;
    std::string error;
    EXPECT_TRUE(ApplySceneText(scene, "# demo\n\npings=7\r\n  bottom=12.5\n", &error)) << error;
    EXPECT_EQ(scene.pings, 7);
    EXPECT_DOUBLE_EQ(scene.bottomDepth, 12.5);
    EXPECT_FALSE(ApplySceneText(scene, "pings=7\nbogus\n", &error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
}

TEST(RecGenTest, OutFileHoldsDepthsOfTheFirstFourChannelsAndNoSamples)
{
    TempDir dir;
    SRecGenScene scene;
    std::string error;
    for (const char* s : {"kind=out", "pings=12", "channels=18,38,70,120,200", "gll=1", "annotate-every=5"})
        ASSERT_TRUE(ApplySetting(scene, s, &error)) << error;
    CRecordingGenerator gen(scene);
    const fs::path file = dir.path / "scene.out";
    SRecGenSummary sum;
    ASSERT_TRUE(gen.Write(file.string(), &sum, &error)) << error;
    EXPECT_EQ(sum.sampleDatagrams, 0);
    EXPECT_EQ(sum.depthDatagrams, 12);

    const std::vector<std::uint8_t> bytes = ReadFile(file);
    CDatagramReader reader(bytes.data(), bytes.size());
    SDatagramView v;
    ASSERT_TRUE(reader.Next(v));
    SConfiguration config;
    ASSERT_TRUE(CDatagramReader::ParseConfiguration(v, config));
    ASSERT_EQ(config.channels.size(), 4u);
    EXPECT_FLOAT_EQ(config.channels[3].frequency, 120000.0f);

    std::map<std::uint32_t, int> types;
    int ping = 0;
    while (reader.Next(v)) {
        ++types[v.type];
        std::string text;
        if (v.type == kTypeNME0) {
            ASSERT_TRUE(CDatagramReader::ParseText(v, text));
            EXPECT_TRUE(ChecksumOk(text)) << text;
        }
        if (v.type != kTypeDEP0)
            continue;
        std::vector<SDepthEntry> depths;
        ASSERT_TRUE(CDatagramReader::ParseDepth(v, depths));
        ASSERT_EQ(depths.size(), 4u);
        EXPECT_EQ(v.time, PingTime(gen.Scene(), ping));
        for (std::size_t k = 0; k < depths.size(); ++k) {
            float depth, second;
            gen.PingDepth(ping, k, depth, second);
            EXPECT_EQ(depths[k].depth, depth);
            EXPECT_EQ(depths[k].second, second);
        }
        ++ping;
    }
    EXPECT_EQ(reader.SkippedBytes(), 0u);
    EXPECT_EQ(types[kTypeRAW0], 0);
    EXPECT_EQ(types[kTypeDEP0], 12);
    EXPECT_EQ(types[kTypeNME0], 12 * 4);  // GGA, GLL, VTG, ZDA
    EXPECT_EQ(types[kTypeTAG0], 3);
    EXPECT_EQ(gen.PingSentences(0)[1].substr(0, 42), "$GPGLL,6030.0000,N,00515.0000,E,000000.00,");
}

namespace {

// Eastward across the date line: the longitude goes on from -180 degrees,
// in the sentences as in the scene's track.
TEST(RecGenTest, ATrackAcrossTheDateLineGoesOnAtTheOtherSide)
{
    SRecGenScene scene;
    for (const char* s : {"lat=10.0", "lon=179.9995", "course=90", "speed=30"})
        ASSERT_TRUE(ApplySetting(scene, s, nullptr)) << s;
    CompleteScene(scene);
    double lat, lon;
    PositionAt(scene, 0, lat, lon);
    EXPECT_GT(lon, 179.999);
    PositionAt(scene, 8, lat, lon);
    EXPECT_LT(lon, -179.999);
    const std::string gga = CRecordingGenerator(scene).PingSentences(8).at(0);
    EXPECT_NE(gga.find(",17959."), std::string::npos) << gga;
    EXPECT_NE(gga.find(",W,"), std::string::npos) << gga;
}

}  // namespace
