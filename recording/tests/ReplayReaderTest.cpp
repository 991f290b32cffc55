// Replay's file walker over files from the independent generator: every ping
// comes out whole and in order, positions run to 200, and damaged files play
// whatever is left intact.
#include "recording/ReplayReader.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "recording/DatagramWriter.h"
#include "sim/recgen/RecordingGenerator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

using namespace zv::recording;
using namespace zv::recgen;
namespace fs = std::filesystem;

namespace {

struct Recorder : IReplaySink
{
    void OnPingStart(const SSampleView& s) override { starts.push_back(s.header.time); }
    void OnSample(const SSampleView& s) override
    {
        channels.push_back(s.header.channel);
        power.push_back(s.PowerSamples());
    }
    void OnSentence(const std::string& t, FileTime) override { sentences.push_back(t); }
    void OnAnnotation(const std::string& t, FileTime) override { annotations.push_back(t); }
    void OnProfile(std::uint32_t kind, const std::string& t, FileTime) override
    {
        profiles.push_back(std::to_string(kind) + ":" + t);
    }
    void OnUnknownDatagram(std::uint32_t) override { ++unknown; }

    std::vector<FileTime> starts;
    std::vector<std::uint16_t> channels;
    std::vector<std::vector<std::int16_t>> power;
    std::vector<std::string> sentences, annotations, profiles;
    int unknown = 0;
};

struct ReplayReaderTest : ::testing::Test
{
    ReplayReaderTest()
    {
        char tmpl[] = "/tmp/zvreplayXXXXXX";
        dir = mkdtemp(tmpl);
        std::string error;
        for (const char* s : {"pings=40", "channels=38,120", "samples=300", "annotate-every=10"})
            EXPECT_TRUE(ApplySetting(scene, s, &error)) << error;
        gen = std::make_unique<CRecordingGenerator>(scene);
        file = dir / "scene.raw";
        EXPECT_TRUE(gen->Write(file.string(), nullptr, &error)) << error;
        bytes = Read(file);
    }
    ~ReplayReaderTest() override { fs::remove_all(dir); }

    static std::vector<std::uint8_t> Read(const fs::path& p)
    {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    fs::path Write(const std::string& name, const std::vector<std::uint8_t>& b)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        return p;
    }
    // Offsets of every datagram of the generated file.
    std::vector<std::size_t> Offsets() const
    {
        std::vector<std::size_t> o;
        CDatagramReader r(bytes.data(), bytes.size());
        SDatagramView v;
        while (r.Next(v))
            o.push_back(v.offset);
        return o;
    }
    static int PlayAll(CReplayReader& reader, Recorder& rec, std::vector<int>* positions = nullptr)
    {
        int pings = 0;
        while (!reader.AtEnd()) {
            const auto r = reader.ReadPing(rec);
            if (positions)
                positions->push_back(r.position);
            pings += r.sawSample;
            if (pings > 100000)
                break;
        }
        return pings;
    }

    fs::path dir, file;
    SRecGenScene scene;
    std::unique_ptr<CRecordingGenerator> gen;
    std::vector<std::uint8_t> bytes;
};

}  // namespace

TEST_F(ReplayReaderTest, PlaysEveryPingOfAGeneratedFile)
{
    CReplayReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file.string(), &error)) << error;
    ASSERT_EQ(reader.Configuration().channels.size(), 2u);
    EXPECT_FLOAT_EQ(reader.Configuration().channels[1].frequency, 120000.0f);
    reader.BuildPositionTable();
    EXPECT_EQ(reader.PingsInFile(), 40);
    EXPECT_EQ(reader.StartTime(), PingTime(gen->Scene(), 0));
    EXPECT_EQ(reader.EndTime(), PingTime(gen->Scene(), 39));

    Recorder rec;
    std::vector<int> positions;
    EXPECT_EQ(PlayAll(reader, rec, &positions), 40);
    ASSERT_EQ(rec.starts.size(), 40u);
    ASSERT_EQ(rec.power.size(), 80u);
    std::vector<std::int16_t> power, angle;
    for (int ping = 0; ping < 40; ++ping) {
        EXPECT_EQ(rec.starts[std::size_t(ping)], PingTime(gen->Scene(), ping));
        for (std::size_t ch = 0; ch < 2; ++ch) {
            gen->PingSamples(ping, ch, power, angle);
            EXPECT_EQ(rec.power[std::size_t(ping) * 2 + ch], power);
            EXPECT_EQ(rec.channels[std::size_t(ping) * 2 + ch], ch + 1);
        }
    }
    EXPECT_EQ(rec.sentences.size(), 120u);
    EXPECT_EQ(rec.sentences[3], gen->PingSentences(1)[0]);
    EXPECT_EQ(rec.annotations.size(), 4u);
    EXPECT_EQ(rec.profiles, std::vector<std::string>{"0:" + ProfileText(gen->Scene())});
    EXPECT_EQ(rec.unknown, 0);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), 200);
    EXPECT_EQ(positions[38], 195);
    EXPECT_EQ(reader.SkippedBytes(), 0u);
}

TEST_F(ReplayReaderTest, SeekGoesToTheTableEntryBeforeThePosition)
{
    CReplayReader reader;
    ASSERT_TRUE(reader.Open(file.string()));
    reader.BuildPositionTable();
    Recorder rec;
    for (int pos : {0, 1}) {
        reader.Seek(pos);
        EXPECT_EQ(reader.Offset(), 0u) << pos;
        EXPECT_EQ(reader.PingCounter(), 0);
    }
    // 40 pings over 200 slots: slot s follows ping k when s * 0.2 < k.
    reader.Seek(101);  // entry 100: first k with 100 * 0.2 < k is 21
    EXPECT_EQ(reader.PingCounter(), 21);
    const auto r = reader.ReadPing(rec);
    EXPECT_EQ(r.pingTime, PingTime(gen->Scene(), 22));
    EXPECT_EQ(reader.PositionTimes()[100], PingTime(gen->Scene(), 21));
    // Entries no ping reached lead to the last ping, never back to the start.
    reader.Seek(500);
    EXPECT_GT(reader.Offset(), 0u);
    const auto last = reader.ReadPing(rec);
    EXPECT_EQ(last.pingTime, PingTime(gen->Scene(), 39));
    EXPECT_TRUE(reader.AtEnd());
}

// A replay that loops opens its file again at every loop, and the file may
// have changed meanwhile: each opening plays what the file holds then.
TEST_F(ReplayReaderTest, AFileOpenedAgainStartsOverWithWhatItHoldsNow)
{
    const auto rewriteInPlace = [&](const std::vector<std::uint8_t>& b) {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        ASSERT_TRUE(f.good());
    };
    CReplayReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file.string(), &error)) << error;
    reader.BuildPositionTable();
    Recorder first;
    for (int i = 0; i < 10; ++i)
        reader.ReadPing(first);
    ASSERT_EQ(first.power.size(), 20u);

    // The same file at the same size, one sample of ping 1 rewritten.
    const std::size_t sample = Offsets()[2 + 3 + 2 + 1 + 3];
    ASSERT_EQ(CByteReader(bytes).U32(sample + 4), kTypeRAW0);
    ASSERT_NE(first.power[2][0], 1234);
    std::vector<std::uint8_t> b = bytes;
    CByteWriter(b).U16(sample + 4 + kRawData, 1234);
    rewriteInPlace(b);
    ASSERT_TRUE(reader.Open(file.string(), &error)) << error;
    EXPECT_EQ(reader.Offset(), 0u);
    EXPECT_EQ(reader.PingCounter(), 0);
    reader.BuildPositionTable();
    EXPECT_EQ(reader.PingsInFile(), 40);
    Recorder again;
    std::vector<int> positions;
    EXPECT_EQ(PlayAll(reader, again, &positions), 40);
    ASSERT_EQ(again.power.size(), 80u);
    EXPECT_EQ(again.power[2][0], 1234);
    EXPECT_EQ(std::vector<std::int16_t>(again.power[2].begin() + 1, again.power[2].end()),
              std::vector<std::int16_t>(first.power[2].begin() + 1, first.power[2].end()));
    EXPECT_EQ(again.power[19], first.power[19]);
    EXPECT_EQ(positions.back(), 200);

    // Another file put in its place.
    SRecGenScene shorter = scene;
    shorter.pings = 12;
    ASSERT_TRUE(CRecordingGenerator(shorter).Write((dir / "short.raw").string(), nullptr, &error)) << error;
    fs::rename(dir / "short.raw", file);
    ASSERT_TRUE(reader.Open(file.string(), &error)) << error;
    reader.BuildPositionTable();
    EXPECT_EQ(reader.PingsInFile(), 12);
    EXPECT_EQ(reader.EndTime(), PingTime(shorter, 11));
    Recorder third;
    EXPECT_EQ(PlayAll(reader, third), 12);

    // A configuration damaged in place is refused as in any file.
    b = Read(file);
    CByteWriter(b).U32(4, kTypeTAG0);
    rewriteInPlace(b);
    EXPECT_FALSE(reader.Open(file.string(), &error));
    EXPECT_NE(error.find("does not start with a configuration"), std::string::npos) << error;
    EXPECT_FALSE(reader.IsOpen());
}

TEST_F(ReplayReaderTest, RefusesFilesItCannotPlay)
{
    const std::vector<std::size_t> offs = Offsets();
    std::vector<std::uint8_t> noConfig(bytes.begin() + std::ptrdiff_t(offs[1]), bytes.end());
    std::vector<std::uint8_t> zeroChannels = bytes;
    CByteWriter(zeroChannels).U32(4 + kConChannelCount, 0);
    std::vector<std::uint8_t> nineChannels = bytes;
    CByteWriter(nineChannels).U32(4 + kConChannelCount, 9);
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 100);
    struct Row
    {
        const char* legend;
        fs::path path;
    };
    const Row rows[] = {
        {"first datagram is not the configuration", Write("a.raw", noConfig)},
        {"configuration with no channel", Write("b.raw", zeroChannels)},
        {"configuration with nine channels", Write("c.raw", nineChannels)},
        {"configuration cut short", Write("d.raw", cut)},
        {"empty file", Write("e.raw", {})},
        {"no such file", dir / "missing.raw"},
        {"a folder", dir},
    };
    for (const Row& row : rows) {
        CReplayReader reader;
        std::string error;
        EXPECT_FALSE(reader.Open(row.path.string(), &error)) << row.legend;
        EXPECT_FALSE(error.empty()) << row.legend;
        EXPECT_FALSE(reader.IsOpen());
        Recorder rec;
        EXPECT_FALSE(reader.ReadPing(rec).sawSample);
    }
}

TEST_F(ReplayReaderTest, FileWithoutSamplesPlaysItsTextsAndEnds)
{
    std::vector<std::uint8_t> b(bytes.begin(), bytes.begin() + std::ptrdiff_t(Offsets()[1]));
    for (const auto& d : {CDatagramWriter::BuildText(kTypeNME0, "$GPGGA,1", 5),
                          CDatagramWriter::BuildText(kTypeTAG0, "a", 6)})  // 24 bytes, the last
        b.insert(b.end(), d.Framed().begin(), d.Framed().end());
    CReplayReader reader;
    ASSERT_TRUE(reader.Open(Write("texts.raw", b).string()));
    reader.BuildPositionTable();
    EXPECT_EQ(reader.PingsInFile(), 0);
    Recorder rec;
    const auto r = reader.ReadPing(rec);
    EXPECT_FALSE(r.sawSample);
    EXPECT_EQ(r.position, 200);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(rec.sentences, std::vector<std::string>{"$GPGGA,1"});
    EXPECT_EQ(rec.annotations, std::vector<std::string>{"a"});
}

TEST_F(ReplayReaderTest, DamagedFilesPlayWhatIsIntact)
{
    const std::vector<std::size_t> offs = Offsets();
    // Datagram 0 CON0, 1 SVP0, then per ping 3 sentences and 2 samples (and
    // an annotation every tenth ping). Ping 1's first sample:
    const std::size_t sample = offs[2 + 3 + 2 + 1 + 3];
    ASSERT_EQ(CByteReader(bytes).U32(sample + 4), kTypeRAW0);
    const std::size_t all = 80;
    struct Row
    {
        const char* legend;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        std::size_t samples;
        int pings;
    };
    const std::vector<Row> rows = {
        {"tail cut inside the last sample", [&](auto& b) { b.resize(b.size() - 10); }, all - 1, 40},
        {"tail cut inside the trailing length", [&](auto& b) { b.resize(b.size() - 2); }, all - 1, 40},
        {"garbage run between pings",
         [&](auto& b) {
             std::vector<std::uint8_t> junk(5000);
             for (std::size_t i = 0; i < junk.size(); ++i)
                 junk[i] = std::uint8_t(i * 131 + 7);
             b.insert(b.begin() + std::ptrdiff_t(sample), junk.begin(), junk.end());
         },
         all, 40},
        {"wrong trailing length", [&](auto& b) { CByteWriter(b).U32(offs.back() - 4, 3); }, all - 1, 40},
        {"sample count beyond the datagram", [&](auto& b) { CByteWriter(b).U32(sample + 4 + kRawCount, 0x40000000); },
         all - 1, 40},
        {"channel 0", [&](auto& b) { CByteWriter(b).U16(sample + 4 + kRawChannel, 0); }, all - 1, 40},
        {"channel above the count", [&](auto& b) { CByteWriter(b).U16(sample + 4 + kRawChannel, 3); }, all - 1, 40},
        {"channel 0xFFFF", [&](auto& b) { CByteWriter(b).U16(sample + 4 + kRawChannel, 0xFFFF); }, all - 1, 40},
        {"huge length word in the middle", [&](auto& b) { CByteWriter(b).U32(sample, 0xFFFFFFF0); }, all - 1, 40},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        std::vector<std::uint8_t> b = bytes;
        row.damage(b);
        CReplayReader reader;
        ASSERT_TRUE(reader.Open(Write("damaged.raw", b).string()));
        reader.BuildPositionTable();
        Recorder rec;
        std::vector<int> positions;
        EXPECT_EQ(PlayAll(reader, rec, &positions), row.pings);
        EXPECT_EQ(rec.power.size(), row.samples);
        EXPECT_LE(positions.back(), 200);
        EXPECT_GE(rec.sentences.size(), 119u);
    }
}
