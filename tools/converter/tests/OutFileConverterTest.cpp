// Out files made by the recording generator convert record for record into
// what the record table says, with the boxes of the dialog choosing the
// records; single datagrams show the edges of times, sentences and depths.
#include "tools/converter/OutFileConverter.h"
#include "tools/converter/ConversionRun.h"

#include "ConverterTestSupport.h"

#include <limits>
#include <sstream>

using namespace zv::converter;
using namespace converter_test;
using zv::recgen::CRecGenBody;
using zv::recgen::PingTime;

namespace {

constexpr std::uint64_t kSentenceLead = 2000000;  // the generator's sentences come 0.2 s before the ping

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    return parts;
}

// The records one framed datagram gives, the header included.
std::vector<std::string> Convert(const std::vector<std::uint8_t>& frame, const SConverterOptions& options,
                                 std::uint64_t* damaged = nullptr)
{
    zv::recording::SDatagramView view;
    EXPECT_TRUE(zv::recording::CDatagramReader(frame.data(), frame.size()).FrameAt(0, view));
    COutFileConverter converter(options);
    std::string out;
    converter.Convert(view, out);
    if (damaged)
        *damaged = converter.Damaged();
    EXPECT_EQ(ParseRecords({out.begin(), out.end()}).size(), converter.Records());
    return ParseRecords({out.begin(), out.end()});
}

SConverterOptions AllBoxes()
{
    SConverterOptions o;
    o.ascii = o.annotation = true;
    return o;
}

}  // namespace

TEST(OutFileConverterTest, GeneratedOutFileConvertsRecordForRecord)
{
    TempFolder dir;
    const std::string in = dir.File("survey.line1.out");
    const auto gen =
        WriteOutFile(in, {"pings=40", "channels=18,38,70,120,200", "gll=1", "annotate-every=10", "interval=0.37"});
    const std::vector<SFileOutcome> outcomes = CConversionRun(AllBoxes()).Run({in});
    ASSERT_EQ(outcomes.size(), 1u);
    ASSERT_TRUE(outcomes[0].Converted()) << outcomes[0].cause;
    EXPECT_EQ(outcomes[0].output, dir.File("survey.QY"));
    EXPECT_EQ(outcomes[0].skippedBytes, 0u);
    EXPECT_EQ(outcomes[0].damagedDatagrams, 0u);

    // What the scene says each datagram becomes, in file order.
    const auto& scene = gen.Scene();
    const std::uint64_t first = PingTime(scene, 0) - kSentenceLead;
    std::vector<std::string> expected = {"CS," + Clock(first) + ",DATE:" + Date(first)};
    for (int ping = 0; ping < scene.pings; ++ping) {
        const std::uint64_t t = PingTime(scene, ping);
        const std::string sentenceClock = Clock(t - kSentenceLead);
        for (const std::string& s : gen.PingSentences(ping)) {
            const std::vector<std::string> f = Split(s, ',');
            if (s.compare(3, 3, "GGA") == 0)
                expected.push_back("GL," + sentenceClock + "," + f[2] + "," + f[3] + "," + f[4] + "," + f[5]);
            else if (s.compare(3, 3, "GLL") == 0)
                expected.push_back("GL," + sentenceClock + "," + f[1] + "," + f[2] + "," + f[3] + "," + f[4]);
            else  // VTG and ZDA lack a hemisphere letter: ASCII positions
                expected.push_back("GL," + sentenceClock + "," + s);
        }
        // The first ping falls on midnight, 00:00:00.00: no depth records.
        for (std::size_t k = 0; ping > 0 && k < 4; ++k) {
            float depth, second;
            gen.PingDepth(ping, k, depth, second);
            expected.push_back(DepthRecord(int(k + 1), Clock(t), depth, second));
        }
        if (ping % 10 == 0)
            expected.push_back("CS," + Clock(t) + "," + gen.AnnotationText(ping) + "\r\r\n");
    }
    EXPECT_EQ(ReadRecords(dir.File("survey.QY")), expected);
    EXPECT_EQ(outcomes[0].records, expected.size());
    EXPECT_EQ(expected[0], "CS,23595980,DATE:20251231");
}

struct SBoxCase
{
    const char* legend;
    SConverterOptions options;
    int positionsPerPing, asciiPerPing, depthsPerPing, annotations;
};

class OutFileConverterBoxes : public ::testing::TestWithParam<SBoxCase>
{};

TEST_P(OutFileConverterBoxes, BoxesChooseTheRecords)
{
    const SBoxCase& c = GetParam();
    TempFolder dir;
    // 01:00:00 on, so that no ping falls on midnight; GGA, GLL, VTG, ZDA a ping.
    WriteOutFile(dir.File("boxes.out"), {"pings=20", "gll=1", "annotate-every=5", "start-unix=1767229200"});
    ASSERT_TRUE(CConversionRun(c.options).Run({dir.File("boxes.out")})[0].Converted());
    int header = 0, positions = 0, ascii = 0, depths = 0, annotations = 0;
    for (const std::string& r : ReadRecords(dir.File("boxes.QY"))) {
        if (r.size() == 28 && r[0] == 'D')
            ++depths;
        else if (r.rfind("CS,", 0) == 0 && r.find(",DATE:") == 11)
            ++header;
        else if (r.rfind("CS,", 0) == 0 && r.ends_with("\r\r\n"))
            ++annotations;
        else if (r.rfind("GL,", 0) == 0 && r.compare(11, 2, ",$") == 0)
            ++ascii;
        else if (r.rfind("GL,", 0) == 0)
            ++positions;
        else
            ADD_FAILURE() << "a record of no kind: " << r;
    }
    EXPECT_EQ(header, 1);  // whatever the boxes say
    EXPECT_EQ(positions, 20 * c.positionsPerPing);
    EXPECT_EQ(ascii, 20 * c.asciiPerPing);
    EXPECT_EQ(depths, 20 * c.depthsPerPing);
    EXPECT_EQ(annotations, c.annotations);
}

SConverterOptions With(bool SConverterOptions::*box, bool on, bool SConverterOptions::*box2 = nullptr, bool on2 = false)
{
    SConverterOptions o;
    o.*box = on;
    if (box2)
        o.*box2 = on2;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OutFileConverterBoxes,
    ::testing::Values(SBoxCase{"the dialog's defaults: GGA, GLL, Event, Depth", {}, 2, 0, 2, 0},
                      SBoxCase{"GGA off leaves GLL", With(&SConverterOptions::gga, false), 1, 0, 2, 0},
                      SBoxCase{"GLL off leaves GGA", With(&SConverterOptions::gll, false), 1, 0, 2, 0},
                      SBoxCase{"ASCII on adds VTG and ZDA whole", With(&SConverterOptions::ascii, true), 2, 2, 2, 0},
                      SBoxCase{"Annotation on", With(&SConverterOptions::annotation, true), 2, 0, 2, 4},
                      SBoxCase{"Depth off still writes the header", With(&SConverterOptions::depth, false), 2, 0, 0, 0},
                      SBoxCase{"Event off changes nothing", With(&SConverterOptions::event, false), 2, 0, 2, 0},
                      SBoxCase{"GGA and GLL off", With(&SConverterOptions::gga, false, &SConverterOptions::gll, false),
                               0, 0, 2, 0}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

struct SSentenceCase
{
    const char* legend;
    const char* text;
    SConverterOptions options;
    const char* position;  // the record after "GL," and the clock; null for none
    std::uint64_t damaged;
};

class OutFileConverterSentences : public ::testing::TestWithParam<SSentenceCase>
{};

TEST_P(OutFileConverterSentences, SentenceGivesItsPosition)
{
    const SSentenceCase& c = GetParam();
    const std::uint64_t t = PingTime(zv::recgen::SRecGenScene{}, 0) + 12 * 3600 * 10000000ULL;  // 12:00:00.00
    std::uint64_t damaged = 0;
    const std::vector<std::string> records = Convert(Frame("NME0", t, c.text), c.options, &damaged);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0], "CS,12000000,DATE:20260101");
    if (c.position)
        EXPECT_EQ(std::vector<std::string>(records.begin() + 1, records.end()),
                  std::vector<std::string>{std::string("GL,12000000") + c.position});
    else
        EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(damaged, c.damaged);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OutFileConverterSentences,
    ::testing::Values(
        SSentenceCase{"GGA: latitude, N/S, longitude, E/W with the sentence's own digits",
                      "$GPGGA,115959.00,5900.123,N,01030.456,E,1,08,1.0,0.0,M,45.0,M,,*5A",
                      {},
                      ",5900.123,N,01030.456,E",
                      0},
        SSentenceCase{
            "GLL west of Greenwich", "$GPGLL,4916.45,N,12311.12,W,225444,A*1D", {}, ",4916.45,N,12311.12,W", 0},
        SSentenceCase{"GGA with fewer than four fields before ,E", "$GPGGA,1,E*00", {}, nullptr, 1},
        SSentenceCase{"GLL with one field before ,W", "$GPGLL,W", {}, nullptr, 1},
        SSentenceCase{"GGA without a fix has no E or W", "$GPGGA,120000.00,,,,,0,00,,,M,,M,,*66", {}, nullptr, 0},
        SSentenceCase{"GGA with its box off is no ASCII position either",
                      "$GPGGA,115959.00,5900.123,N,01030.456,E,1,08,1.0,0.0,M,45.0,M,,*5A",
                      With(&SConverterOptions::gga, false, &SConverterOptions::ascii, true), nullptr, 0},
        SSentenceCase{"ZDA has no latitude hemisphere: an ASCII position", "$GPZDA,120000.00,01,01,2026,00,00*6C",
                      With(&SConverterOptions::ascii, true), ",$GPZDA,120000.00,01,01,2026,00,00*6C", 0},
        SSentenceCase{"an ASCII position with its box off", "$GPZDA,120000.00,01,01,2026,00,00*6C", {}, nullptr, 0},
        SSentenceCase{"RMC has both hemispheres: no ASCII position",
                      "$GPRMC,120000.00,A,5900.123,N,01030.456,E,8.0,45.0,010126,,*00",
                      With(&SConverterOptions::ascii, true), nullptr, 0},
        SSentenceCase{"a hemisphere at the very start does not count", ",N,E", With(&SConverterOptions::ascii, true),
                      ",,N,E", 0},
        SSentenceCase{"an empty sentence gives the header alone", "", With(&SConverterOptions::ascii, true), nullptr,
                      0}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

// The clock of every record: hours, minutes, seconds and hundredths, two
// digits each, so that 5 ms and 50 ms are told apart.
TEST(OutFileConverterTest, ClockFieldsHaveTwoDigitHundredths)
{
    struct SRow
    {
        const char* legend;
        std::uint64_t time;
        const char* clock;
        const char* date;
    };
    const std::uint64_t noon = PingTime(zv::recgen::SRecGenScene{}, 0) + 12 * 3600 * 10000000ULL;
    const SRow rows[] = {
        {"5,000 us is no hundredth", noon + 50000, "12000000", "20260101"},
        {"50,000 us is five hundredths", noon + 500000, "12000005", "20260101"},
        {"999,999 us", noon + 9999990, "12000099", "20260101"},
        {"one second before midnight", noon + 12 * 3600 * 10000000ULL - 10000000, "23595900", "20260101"},
        {"the first instant of file time", 0, "00000000", "16010101"},
    };
    for (const SRow& r : rows) {
        const std::vector<std::string> records =
            Convert(Frame("NME0", r.time, "$GPZDA,x"), With(&SConverterOptions::ascii, true));
        EXPECT_EQ(records, (std::vector<std::string>{std::string("CS,") + r.clock + ",DATE:" + r.date,
                                                     std::string("GL,") + r.clock + ",$GPZDA,x"}))
            << r.legend;
    }
    // A time past the calendar's end is no time: the datagram gives nothing.
    std::uint64_t damaged = 0;
    EXPECT_TRUE(Convert(Frame("NME0", std::numeric_limits<std::uint64_t>::max(), "$GPZDA,x"),
                        With(&SConverterOptions::ascii, true), &damaged)
                    .empty());
    EXPECT_EQ(damaged, 1u);
}

TEST(OutFileConverterTest, DepthEntriesBecomeDepthRecords)
{
    const std::uint64_t noon = PingTime(zv::recgen::SRecGenScene{}, 0) + 12 * 3600 * 10000000ULL;
    // A depth datagram claiming `count` entries and holding `held` of them:
    // entry k has the depth k + 0.5 and the second value -k; the first
    // depth is a signalling NaN, to be copied bit for bit.
    const auto depthFrame = [](std::uint64_t time, std::uint32_t count, int held) {
        CRecGenBody b("DEP0", time);
        b.U32(count);
        for (int k = 1; k <= held; ++k) {
            if (k == 1)
                b.U32(0x7fa00001u);
            else
                b.F32(float(k) + 0.5f);
            b.F32(-float(k));
            b.Zeros(4);
        }
        return b.Frame();
    };
    const auto entry = [](int k, const char* clock) {
        return k == 1 ? DepthRecord(1, clock, 0x7fa00001u, std::bit_cast<std::uint32_t>(-1.0f))
                      : DepthRecord(k, clock, float(k) + 0.5f, -float(k));
    };
    struct SRow
    {
        const char* legend;
        std::uint64_t time;
        std::uint32_t count;
        int held;
        int records;  // depth records expected, entries 1..records
        std::uint64_t damaged;
    };
    const SRow rows[] = {
        {"two entries", noon, 2, 2, 2, 0},
        {"no entries", noon, 0, 0, 0, 0},
        {"ten entries: the tenth keeps the first digit of 10", noon, 10, 10, 10, 0},
        {"a huge count keeps the entries the datagram holds", noon, 0x7fffffff, 2, 2, 1},
        {"a count of more than the datagram holds", noon, 3, 2, 2, 1},
        {"a negative count", noon, 0xffffffff, 2, 0, 1},
        {"midnight, 00:00:00.00, gives no depth record", noon - 12 * 3600 * 10000000ULL, 2, 2, 0, 0},
        {"a hundredth after midnight does", noon - 12 * 3600 * 10000000ULL + 100000, 2, 2, 2, 0},
    };
    for (const SRow& r : rows) {
        std::uint64_t damaged = 0;
        const std::vector<std::string> records = Convert(depthFrame(r.time, r.count, r.held), {}, &damaged);
        const std::string clock = Clock(r.time);
        std::vector<std::string> expected = {"CS," + clock + ",DATE:" + Date(r.time)};
        for (int k = 1; k <= r.records; ++k)
            expected.push_back(entry(k, clock.c_str()));
        EXPECT_EQ(records, expected) << r.legend;
        EXPECT_EQ(damaged, r.damaged) << r.legend;
    }
    // A depth datagram too short for its count: the header, nothing else.
    CRecGenBody bare("DEP0", noon);
    std::uint64_t damaged = 0;
    EXPECT_EQ(Convert(bare.Frame(), {}, &damaged).size(), 1u);
    EXPECT_EQ(damaged, 1u);
    // With the depth box off the header is still written.
    SConverterOptions noDepth;
    noDepth.depth = false;
    EXPECT_EQ(Convert(depthFrame(noon, 2, 2), noDepth).size(), 1u);
}

TEST(OutFileConverterTest, AnnotationsAndOtherDatagrams)
{
    const std::uint64_t noon = PingTime(zv::recgen::SRecGenScene{}, 0) + 12 * 3600 * 10000000ULL;
    SConverterOptions notes;
    notes.annotation = true;
    // An annotation writes no header of its own.
    EXPECT_EQ(Convert(Frame("TAG0", noon, "Net down"), notes), std::vector<std::string>{"CS,12000000,Net down\r\r\n"});
    EXPECT_TRUE(Convert(Frame("TAG0", noon, "Net down"), {}).empty());
    EXPECT_TRUE(Convert(Frame("TAG0", noon, ""), notes).empty());
    // Configuration, profiles, samples and unknown types give nothing.
    for (const char* type : {"CON0", "SVP0", "RAW0", "XYZ9"})
        EXPECT_TRUE(Convert(Frame(type, noon, "$GPZDA,x"), AllBoxes()).empty()) << type;
}
