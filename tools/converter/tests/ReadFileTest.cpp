// Damaged out files convert as if the damaged stretch were not there: every
// whole datagram keeps its records, wherever the reads of the file end.
#include "tools/converter/ReadFile.h"
#include "tools/converter/ConversionRun.h"

#include "ConverterTestSupport.h"

#include <random>

using namespace zv::converter;
using namespace converter_test;
using zv::recording::CDatagramReader;
using zv::recording::SDatagramView;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The frames of a generated out file, one by one.
std::vector<Bytes> Frames(const std::string& path)
{
    const Bytes file = ReadBytes(path);
    CDatagramReader reader(file.data(), file.size());
    std::vector<Bytes> frames;
    SDatagramView v;
    while (reader.Next(v))
        frames.emplace_back(file.begin() + std::ptrdiff_t(v.offset),
                            file.begin() + std::ptrdiff_t(v.offset + v.FrameSize()));
    return frames;
}

Bytes Join(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes U32(std::uint32_t v)
{
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// Pseudo-random bytes, the same each run.
Bytes Garbage(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (std::uint8_t& x : b)
        x = std::uint8_t(rng());
    return b;
}

std::size_t FindType(const std::vector<Bytes>& frames, const char* type, std::size_t from)
{
    for (std::size_t i = from; i < frames.size(); ++i)
        if (std::equal(type, type + 4, frames[i].begin() + 4))
            return i;
    return frames.size();
}

struct SDamage
{
    const char* legend;
    Bytes damaged;     // the file as it is
    Bytes equivalent;  // a whole file that must give the same records
    std::uint64_t skipped;
    std::uint64_t damagedDatagrams;
};

}  // namespace

TEST(ReadFileTest, DamagedFilesKeepEveryWholeRecord)
{
    TempFolder dir;
    WriteOutFile(dir.File("clean.out"), {"pings=30", "gll=1", "annotate-every=7", "start-unix=1767229200"});
    const std::vector<Bytes> frames = Frames(dir.File("clean.out"));
    const Bytes clean = Join(frames);
    SConverterOptions all;
    all.ascii = all.annotation = true;

    // Some datagram lies across a 4096-byte block of the file.
    bool straddles = false;
    for (std::size_t i = 0, at = 0; i < frames.size(); at += frames[i++].size())
        straddles = straddles || at / 4096 != (at + frames[i].size() - 1) / 4096;
    ASSERT_TRUE(straddles);

    const auto with = [&](std::size_t at, const Bytes& inserted) {
        std::vector<Bytes> f = frames;
        f.insert(f.begin() + std::ptrdiff_t(at), inserted);
        return Join(f);
    };
    const auto without = [&](std::size_t at) {
        std::vector<Bytes> f = frames;
        f.erase(f.begin() + std::ptrdiff_t(at));
        return Join(f);
    };
    std::vector<SDamage> rows;
    rows.push_back({"a whole file", clean, clean, 0, 0});
    rows.push_back({"a garbage run between datagrams", with(10, Garbage(300, 1)), clean, 300, 0});
    {
        Bytes start = U32(64);  // a frame's start whose end never comes
        const Bytes head = Frame("NME0", 0, "$GPGGA,cut short");
        start.insert(start.end(), head.begin() + 4, head.begin() + 24);
        rows.push_back({"the start of a frame and no end", with(11, start), clean, start.size(), 0});
    }
    {
        std::vector<Bytes> f = frames;
        f[12][f[12].size() - 1] ^= 0x40;
        rows.push_back({"a wrong trailing length loses that datagram", Join(f), without(12), f[12].size(), 0});
    }
    {
        Bytes cut = clean;
        cut.resize(cut.size() - 3);
        rows.push_back(
            {"a file cut inside its last datagram", cut, without(frames.size() - 1), frames.back().size() - 3, 0});
    }
    {
        Bytes shortFrames;  // lengths 1 to 11 with matching trailing copies
        for (std::uint32_t l = 1; l <= 11; ++l) {
            const Bytes len = U32(l);
            Bytes body = {'N', 'M', 'E', '0', 1, 2, 3, 4, 5, 6, 7};
            body.resize(l);
            for (const Bytes& p : {len, body, len})
                shortFrames.insert(shortFrames.end(), p.begin(), p.end());
        }
        rows.push_back({"lengths shorter than the header", with(13, shortFrames), clean, shortFrames.size(), 0});
    }
    {
        std::vector<Bytes> f = frames;
        const std::size_t dep = FindType(frames, "DEP0", 14);
        ASSERT_LT(dep, frames.size());
        const Bytes huge = U32(0x7fffffff);
        std::copy(huge.begin(), huge.end(), f[dep].begin() + 16);
        rows.push_back({"a depth count far past its datagram", Join(f), clean, 0, 1});
    }
    rows.push_back({"a GGA with too few fields", with(15, Frame("NME0", 0, "$GPGGA,1,E")), clean, 0, 1});
    {
        Bytes tail = U32(0x1000);
        const Bytes head = Frame("TAG0", 0, "runs past the end");
        tail.insert(tail.end(), head.begin() + 4, head.end());
        rows.push_back({"a length running past the end of the file", Join({clean, tail}), clean, tail.size(), 0});
    }

    for (const SDamage& r : rows) {
        SCOPED_TRACE(r.legend);
        WriteBytes(dir.File("damaged.out"), r.damaged);
        WriteBytes(dir.File("equivalent.out"), r.equivalent);
        const std::vector<SFileOutcome> o =
            CConversionRun(all).Run({dir.File("damaged.out"), dir.File("equivalent.out")});
        ASSERT_EQ(o.size(), 2u);
        ASSERT_TRUE(o[0].Converted() && o[1].Converted());
        EXPECT_EQ(o[0].skippedBytes, r.skipped);
        EXPECT_EQ(o[0].damagedDatagrams, r.damagedDatagrams);
        EXPECT_EQ(o[1].skippedBytes, 0u);
        EXPECT_GT(o[1].records, 100u);
        EXPECT_EQ(ReadBytes(dir.File("damaged.QY")), ReadBytes(dir.File("equivalent.QY")));
    }
}

// Over a file several reads long, with garbage between datagrams, the stream
// finds exactly the frames the reader of a whole file in memory finds.
TEST(ReadFileTest, StreamFindsTheFramesOfTheWholeFile)
{
    TempFolder dir;
    WriteOutFile(dir.File("long.out"), {"pings=40000", "annotate-every=13"});
    const std::vector<Bytes> frames = Frames(dir.File("long.out"));
    std::vector<Bytes> parts;
    std::mt19937 rng(7);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        parts.push_back(frames[i]);
        if (i % 700 == 0)
            parts.push_back(Garbage(rng() % 5000 + 1, unsigned(i)));
    }
    const Bytes file = Join(parts);
    ASSERT_GT(file.size(), 2 * 4 * (CReadFile::kMaxBody + 8));  // two windows and more
    WriteBytes(dir.File("long.out"), file);

    CDatagramReader whole(file.data(), file.size());
    CReadFile stream;
    ASSERT_EQ(stream.Open(dir.File("long.out")), 0);
    SDatagramView a, b;
    std::size_t count = 0;
    while (whole.Next(a)) {
        ASSERT_TRUE(stream.Next(b)) << "frame " << count;
        ASSERT_EQ(b.offset, a.offset) << "frame " << count;
        ASSERT_EQ(b.size, a.size);
        ASSERT_EQ(b.type, a.type);
        ASSERT_TRUE(std::equal(a.body, a.body + a.size, b.body));
        ++count;
    }
    EXPECT_FALSE(stream.Next(b));
    EXPECT_EQ(stream.Error(), 0);
    EXPECT_EQ(stream.SkippedBytes(), whole.SkippedBytes());
    EXPECT_GE(count, frames.size());
}
