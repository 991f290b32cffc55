#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes 0x81 0x82 ... so that every byte differs and every one has its top
// bit set: a sign extended from the wrong byte or a byte taken from the wrong
// place shows.
Bytes Ramp(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(0x81 + i);
    return b;
}

struct ReadCase
{
    const char* legend;
    std::size_t at;
    std::function<std::int64_t(CByteReader&, std::size_t)> read;
    std::int64_t expected;
};

TEST(ByteReader, ReadsEveryWidthLittleEndianWithItsSign)
{
    const Bytes b = Ramp(12);
    const ReadCase cases[] = {
        {"u8", 3, [](CByteReader& r, std::size_t at) { return r.U8(at); }, 0x84},
        {"i8 negative", 3, [](CByteReader& r, std::size_t at) { return r.I8(at); }, -124},
        {"u16 at an odd offset", 1, [](CByteReader& r, std::size_t at) { return r.U16(at); }, 0x8382},
        {"i16", 0, [](CByteReader& r, std::size_t at) { return r.I16(at); }, std::int16_t(0x8281)},
        {"u32", 2, [](CByteReader& r, std::size_t at) { return r.U32(at); }, 0x86858483},
        {"i32", 0, [](CByteReader& r, std::size_t at) { return r.I32(at); }, std::int32_t(0x84838281)},
        {"u64 as its bits", 4, [](CByteReader& r, std::size_t at) { return static_cast<std::int64_t>(r.U64(at)); },
         static_cast<std::int64_t>(0x8c8b8a8988878685ULL)},
        {"i64", 1, [](CByteReader& r, std::size_t at) { return r.I64(at); },
         static_cast<std::int64_t>(0x8988878685848382ULL)},
    };
    for (const ReadCase& c : cases) {
        CByteReader r(b.data(), b.size());
        EXPECT_EQ(c.read(r, c.at), c.expected) << c.legend;
        EXPECT_FALSE(r.Failed()) << c.legend;
    }
}

TEST(ByteReader, ReadPastTheEndGivesZeroAndStaysFailedAtEveryWidth)
{
    struct Width
    {
        const char* legend;
        std::size_t size;
        std::function<std::uint64_t(CByteReader&, std::size_t)> read;
    };
    const Width widths[] = {
        {"8", 1, [](CByteReader& r, std::size_t at) { return r.U8(at); }},
        {"16", 2, [](CByteReader& r, std::size_t at) { return r.U16(at); }},
        {"32", 4, [](CByteReader& r, std::size_t at) { return r.U32(at); }},
        {"64", 8, [](CByteReader& r, std::size_t at) { return r.U64(at); }},
        {"float", 4, [](CByteReader& r, std::size_t at) { return std::bit_cast<std::uint32_t>(r.F32(at)); }},
        {"double", 8, [](CByteReader& r, std::size_t at) { return std::bit_cast<std::uint64_t>(r.F64(at)); }},
    };
    // Exactly the size of the record, so that a read one byte too far is
    // also seen by the address sanitizer.
    const Bytes b = Ramp(9);
    for (const Width& w : widths) {
        CByteReader fits(b.data(), b.size());
        EXPECT_NE(w.read(fits, b.size() - w.size), 0u) << w.legend << ": the last whole field";
        EXPECT_FALSE(fits.Failed()) << w.legend;

        for (const std::size_t at :
             {b.size() - w.size + 1, b.size(), b.size() + 1, std::numeric_limits<std::size_t>::max() - 2}) {
            CByteReader r(b.data(), b.size());
            EXPECT_EQ(w.read(r, at), 0u) << w.legend << " at " << at;
            EXPECT_TRUE(r.Failed()) << w.legend << " at " << at;
            r.U8(0);
            EXPECT_TRUE(r.Failed()) << w.legend << ": a good read after a bad one does not clear it";
        }
    }
    CByteReader none(nullptr, 0);
    EXPECT_EQ(none.U8(0), 0u);
    EXPECT_TRUE(none.Failed());
}

TEST(ByteReader, ArrayIsCheckedOnceAndReadsZeroPastItsCount)
{
    const Bytes b = {0x01, 0x80, 0xFF, 0xFF, 0x34, 0x12, 0xEE};
    CByteReader r(b);
    const CByteReader::Array<std::int16_t> a = r.ArrayOf<std::int16_t>(0, 3);
    ASSERT_TRUE(a);
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0], std::int16_t(0x8001));
    EXPECT_EQ(a[1], -1);
    EXPECT_EQ(a[2], 0x1234);
    EXPECT_EQ(a[3], 0) << "the byte after the array is not taken";

    std::int32_t wide[4] = {7, 7, 7, 7};
    EXPECT_EQ(a.CopyTo(std::span<std::int32_t>(wide)), 3u);
    EXPECT_EQ(wide[0], std::int16_t(0x8001));
    EXPECT_EQ(wide[2], 0x1234);
    EXPECT_EQ(wide[3], 7) << "nothing written past the count";
    std::int16_t narrow[2] = {};
    EXPECT_EQ(a.CopyTo(std::span<std::int16_t>(narrow)), 2u);
    EXPECT_EQ(narrow[1], -1);
    // Unsigned words of the same width, taken as a block, hold what a
    // conversion of each value gives.
    std::uint16_t unsignedWords[4] = {7, 7, 7, 7};
    EXPECT_EQ(a.CopyTo(std::span<std::uint16_t>(unsignedWords)), 3u);
    EXPECT_EQ(unsignedWords[0], 0x8001u);
    EXPECT_EQ(unsignedWords[1], 0xFFFFu);
    EXPECT_EQ(unsignedWords[2], 0x1234u);
    EXPECT_EQ(unsignedWords[3], 7u) << "nothing written past the count";

    struct Case
    {
        const char* legend;
        std::size_t at, count;
    } const overruns[] = {
        {"one value too many", 0, 4},
        {"starts past the end", 8, 0},
        {"count whose byte size wraps", 0, std::numeric_limits<std::size_t>::max() / 2 + 1},
    };
    for (const Case& c : overruns) {
        CByteReader o(b);
        const auto bad = o.ArrayOf<std::int16_t>(c.at, c.count);
        EXPECT_FALSE(bad) << c.legend;
        EXPECT_EQ(bad.size(), 0u) << c.legend;
        EXPECT_EQ(bad[0], 0) << c.legend;
        EXPECT_TRUE(o.Failed()) << c.legend;
    }
    CByteReader e(b);
    EXPECT_TRUE(e.ArrayOf<float>(7, 0)) << "an empty block at the end is present";
    EXPECT_FALSE(e.Failed());
}

TEST(ByteReader, TextEndsAtItsNulOrItsFieldAndNeverPastTheRecord)
{
    const Bytes b = {'A', 'B', 0, 'C', 'D', 'E', 'F'};
    struct Case
    {
        const char* legend;
        std::size_t at, area;
        std::string expected;
        bool failed;
    } const cases[] = {
        {"ends at the NUL", 0, 7, "AB", false},         {"no NUL: the whole field", 3, 4, "CDEF", false},
        {"field cut before the NUL", 0, 1, "A", false}, {"empty field at the end", 7, 0, "", false},
        {"field runs past the record", 3, 5, "", true}, {"field starts past the record", 8, 0, "", true},
    };
    for (const Case& c : cases) {
        CByteReader r(b.data(), b.size());
        EXPECT_EQ(r.Text(c.at, c.area), c.expected) << c.legend;
        EXPECT_EQ(r.Failed(), c.failed) << c.legend;
    }
    CByteReader r(b.data(), b.size());
    EXPECT_EQ(r.Bytes(5, 2).size(), 2u);
    EXPECT_EQ(r.Bytes(5, 2)[1], 'F');
    EXPECT_TRUE(r.Bytes(6, 2).empty());
    EXPECT_TRUE(r.Failed());
}

TEST(ByteCodec, FloatsAndDoublesTravelBitForBit)
{
    struct Case
    {
        const char* legend;
        double value;
        Bytes f64;
        Bytes f32;
    } const cases[] = {
        {"one", 1.0, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, {0, 0, 0x80, 0x3F}},
        {"minus two and a half", -2.5, {0, 0, 0, 0, 0, 0, 0x04, 0xC0}, {0, 0, 0x20, 0xC0}},
        {"minus zero", -0.0, {0, 0, 0, 0, 0, 0, 0, 0x80}, {0, 0, 0, 0x80}},
        {"1500 m/s", 1500.0, {0, 0, 0, 0, 0, 0x70, 0x97, 0x40}, {0, 0x80, 0xBB, 0x44}},
        {"infinity", std::numeric_limits<double>::infinity(), {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, {0, 0, 0x80, 0x7F}},
    };
    for (const Case& c : cases) {
        Bytes d(8, 0xEE), f(4, 0xEE);
        CByteWriter(d).F64(0, c.value);
        CByteWriter(f).F32(0, static_cast<float>(c.value));
        EXPECT_EQ(d, c.f64) << c.legend;
        EXPECT_EQ(f, c.f32) << c.legend;
        CByteReader rd(d), rf(f);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(rd.F64(0)), std::bit_cast<std::uint64_t>(c.value)) << c.legend;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(rf.F32(0)), std::bit_cast<std::uint32_t>(static_cast<float>(c.value)))
            << c.legend;
    }
    // A quiet NaN with a payload keeps its payload both ways.
    const Bytes nan = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xF8, 0x7F};
    CByteReader r(nan);
    const double v = r.F64(0);
    EXPECT_TRUE(std::isnan(v));
    Bytes back(8);
    CByteWriter(back).F64(0, v);
    EXPECT_EQ(back, nan);
}

TEST(ByteWriter, WritesEachFieldAtItsOffsetLittleEndian)
{
    Bytes b(32, 0xEE);
    CByteWriter w(b);
    w.U8(0, 0x01);
    w.I8(1, -2);
    w.U16(2, 0x0304);
    w.I16(4, -20000);
    w.U32(6, 0x0708090A);
    w.I32(10, -1);
    w.U64(14, 0x1112131415161718ULL);
    w.I64(22, std::numeric_limits<std::int64_t>::min());
    w.Bytes(30, "RA", 2);
    EXPECT_FALSE(w.Failed());
    const Bytes expected = {0x01, 0xFE, 0x04, 0x03, 0xE0, 0xB1, 0x0A, 0x09, 0x08, 0x07, 0xFF,
                            0xFF, 0xFF, 0xFF, 0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11,
                            0,    0,    0,    0,    0,    0,    0,    0x80, 'R',  'A'};
    EXPECT_EQ(b, expected);

    CByteReader r(b);
    EXPECT_EQ(r.U8(0), 0x01);
    EXPECT_EQ(r.I8(1), -2);
    EXPECT_EQ(r.I16(4), -20000);
    EXPECT_EQ(r.I32(10), -1);
    EXPECT_EQ(r.U64(14), 0x1112131415161718ULL);
    EXPECT_EQ(r.I64(22), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(r.Failed());

    Bytes a(10, 0xEE);
    CByteWriter wa(a);
    wa.Array<float>(1, std::vector<float>{1.0f, -2.5f});
    wa.Array<std::int16_t>(9, {});
    EXPECT_FALSE(wa.Failed());
    EXPECT_EQ(a, (Bytes{0xEE, 0, 0, 0x80, 0x3F, 0, 0, 0x20, 0xC0, 0xEE}));
}

TEST(ByteWriter, WriteThatDoesNotFitWritesNothingAndStaysFailed)
{
    struct Case
    {
        const char* legend;
        std::function<void(CByteWriter&)> write;
    } const cases[] = {
        {"u8 at the end", [](CByteWriter& w) { w.U8(6, 1); }},
        {"u16 across the end", [](CByteWriter& w) { w.U16(5, 0xFFFF); }},
        {"u32 across the end", [](CByteWriter& w) { w.U32(3, 0xFFFFFFFF); }},
        {"u64 across the end", [](CByteWriter& w) { w.U64(1, ~0ULL); }},
        {"double at a wrapping offset",
         [](CByteWriter& w) { w.F64(std::numeric_limits<std::size_t>::max() - 3, 1.0); }},
        {"text field across the end", [](CByteWriter& w) { w.Text(2, 5, "x"); }},
        {"text field of no bytes", [](CByteWriter& w) { w.Text(0, 0, ""); }},
        {"bytes across the end", [](CByteWriter& w) { w.Bytes(4, "abc", 3); }},
        {"array across the end",
         [](CByteWriter& w) {
             w.Array<std::int16_t>(2, std::vector<std::int16_t>{1, 2, 3});
         }},
        {"array whose byte size wraps",
         [](CByteWriter& w) {
             const std::int32_t one = 1;
             w.Array(0, std::span<const std::int32_t>(&one, std::numeric_limits<std::size_t>::max() / 4 + 1));
         }},
    };
    for (const Case& c : cases) {
        Bytes b(6, 0xEE);
        CByteWriter w(b);
        c.write(w);
        EXPECT_TRUE(w.Failed()) << c.legend;
        EXPECT_EQ(b, Bytes(6, 0xEE)) << c.legend << ": not one byte written";
        w.U8(0, 1);
        EXPECT_TRUE(w.Failed()) << c.legend << ": a good write after a bad one does not clear it";
    }
}

TEST(ByteWriter, TextIsCutToLeaveItsNulAndClearsTheRestOfItsField)
{
    struct Case
    {
        const char* legend;
        std::string text;
        Bytes expected;
    } const cases[] = {
        {"short text, stale bytes cleared", "AB", {0xEE, 'A', 'B', 0, 0, 0, 0xEE}},
        {"text filling the field but its NUL", "ABCD", {0xEE, 'A', 'B', 'C', 'D', 0, 0xEE}},
        {"longer text cut", "ABCDEFG", {0xEE, 'A', 'B', 'C', 'D', 0, 0xEE}},
        {"empty text", "", {0xEE, 0, 0, 0, 0, 0, 0xEE}},
    };
    for (const Case& c : cases) {
        Bytes b(7, 0xEE);
        CByteWriter w(b);
        w.Text(1, 5, c.text);
        EXPECT_FALSE(w.Failed()) << c.legend;
        EXPECT_EQ(b, c.expected) << c.legend;
        CByteReader r(b);
        EXPECT_EQ(r.Text(1, 5), c.text.substr(0, 4)) << c.legend;
    }
}

}  // namespace
