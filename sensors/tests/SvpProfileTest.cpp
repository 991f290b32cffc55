#include "sensors/SvpProfile.h"

#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Fixture(const char* name)
{
    return std::string(SENSORS_TEST_DATA) + "/" + name;
}

class SvpProfileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearMessageBoxRecord();
        char pattern[] = "/tmp/svpprofileXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content)
    {
        fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& b : MessageBoxRecord())
            texts.push_back(b.caption.empty() ? b.text : b.caption + ": " + b.text);
        return texts;
    }

    fs::path dir;
};

void ExpectPoints(const CSvpProfile& p, const std::vector<_svpPair>& expected, double tolerance = 1e-4)
{
    ASSERT_EQ(p.Points().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(p.Points()[i].depth, expected[i].depth, tolerance) << "point " << i;
        EXPECT_NEAR(p.Points()[i].velocity, expected[i].velocity, tolerance) << "point " << i;
    }
}

}  // namespace

TEST_F(SvpProfileTest, AsvpRoundTripKeepsPointsToOneDecimal)
{
    CSvpProfile p;
    p.AddPoint(0.0, 1500.04);
    p.AddPoint(12.25, 1490.36);
    p.AddPoint(40.0, 1480.0);
    std::string path = (dir / "three.asvp").string();
    ASSERT_EQ(p.WriteAsvp(path), 3);
    EXPECT_EQ(ReadFile(path), "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 3 )\r\n"
                              "0.0 1500.0\r\n12.2 1490.4\r\n40.0 1480.0\r\n");

    CSvpProfile back;
    back.AddPoint(99.0, 1555.0);  // reading replaces what was held
    ASSERT_EQ(back.ParseDatagram(path, CSvpProfile::FormatAsvp), 3);
    ExpectPoints(back, {{0.0, 1500.0}, {12.2, 1490.4}, {40.0, 1480.0}});
    EXPECT_TRUE(MessageBoxRecord().empty());
}

TEST_F(SvpProfileTest, AsvpReaderDropsVelocitiesOutsideTheWindowAndFailsWhenNoneRemain)
{
    std::string edges =
        Write("edges.asvp", "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 2 )\r\n1.0 1399.9\r\n2.0 1700.1\r\n");
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(edges, CSvpProfile::FormatAsvp), 0);

    std::string inclusive = Write("in.asvp", "header\r\n1.0 1400.0\r\n2.0 1700.0\r\ngarbage line\r\n3.0\r\n");
    EXPECT_EQ(p.ParseDatagram(inclusive, CSvpProfile::FormatAsvp), 2);
    // An .asvp file read with any other format yields nothing.
    EXPECT_EQ(p.ParseDatagram(inclusive, CSvpProfile::FormatCalc), 0);
}

TEST_F(SvpProfileTest, UnwritableFileAnswersZeroWithItsMessage)
{
    CSvpProfile p;
    p.AddPoint(0.0, 1500.0);
    EXPECT_EQ(p.WriteAsvp((dir / "no-such-folder" / "x.asvp").string()), 0);
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(MessageBoxRecord()[0].text, "Could not write Svp file\nNo file stored");
    EXPECT_EQ(MessageBoxRecord()[0].flags, MB_ICONEXCLAMATION);

    // A target that cannot be replaced keeps what it holds.
    fs::create_directory(dir / "taken.asvp");
    std::ofstream(dir / "taken.asvp" / "keep", std::ios::binary) << "x";
    EXPECT_EQ(p.WriteAsvp((dir / "taken.asvp").string()), 0);
    EXPECT_TRUE(fs::exists(dir / "taken.asvp" / "keep"));
    EXPECT_FALSE(fs::exists(dir / "taken.asvp.part"));
}

TEST_F(SvpProfileTest, MissingFileAnswersZeroQuietly)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram((dir / "missing.asvp").string(), CSvpProfile::FormatAsvp), 0);
    EXPECT_TRUE(MessageBoxRecord().empty());
    // A folder where a file was expected (an empty file name) reads nothing.
    fs::create_directory(dir / "folder.asvp");
    EXPECT_EQ(p.ParseDatagram((dir / "folder.asvp").string(), CSvpProfile::FormatAsvp), 0);
    EXPECT_EQ(p.ParseDatagram(dir.string() + "/", CSvpProfile::FormatAsvp), 0);
}

TEST_F(SvpProfileTest, UpdateSortsStablyAndAddsTheSurfacePoint)
{
    CSvpProfile p;
    p.AddPoint(10.0, 1490.0);
    p.AddPoint(2.5, 1500.0);
    p.AddPoint(10.0, 1491.0);
    p.Update();
    ExpectPoints(p, {{0.0, 1500.0}, {2.5, 1500.0}, {10.0, 1490.0}, {10.0, 1491.0}});

    std::vector<double> d, v;
    ASSERT_EQ(p.GetPoints(d, v), 3);
    EXPECT_EQ(d, (std::vector<double>{0.0, 2.5, 10.0}));
    EXPECT_EQ(v, (std::vector<double>{1500.0, 1500.0, 1490.0}));

    CSvpProfile empty;
    empty.Update();
    EXPECT_EQ(empty.GetCount(), 0);
    EXPECT_EQ(empty.GetPoints(d, v), 0);
    EXPECT_TRUE(d.empty());
}

TEST_F(SvpProfileTest, GetPointsPutsASurfacePointInFrontOfAnUnsortedDeepStart)
{
    CSvpProfile p;
    p.AddPoint(2.5, 1501.0);
    p.AddPoint(1.0, 1499.0);  // not deeper than the one kept: dropped
    p.AddPoint(8.0, 1490.0);
    std::vector<double> d, v;
    ASSERT_EQ(p.GetPoints(d, v), 3);
    EXPECT_EQ(d, (std::vector<double>{0.0, 2.5, 8.0}));
    EXPECT_EQ(v, (std::vector<double>{1501.0, 1501.0, 1490.0}));
}

TEST_F(SvpProfileTest, ProfileTextRoundTrip)
{
    CSvpProfile p;
    p.AddPoint(0.0, 1500.0);
    p.AddPoint(10.0, 1490.5);
    EXPECT_EQ(p.FormatProfile(), "2,0.00,1500.00,10.00,1490.50");
    EXPECT_EQ(CSvpProfile().FormatProfile(), "");

    CSvpProfile back;
    constexpr ULONGLONG ft = 116444736000000000ULL + 1715953502ULL * 10000000ULL;  // 2024-05-17 13:45:02 UTC
    EXPECT_EQ(back.ParseProfileText(p.FormatProfile(), ft), 2);
    ExpectPoints(back, {{0.0, 1500.0}, {10.0, 1490.5}});
    EXPECT_EQ(back.GetTime(), 1715953502);
}

TEST_F(SvpProfileTest, ProfileTextReportsThePointsKept)
{
    struct Case
    {
        const char* legend;
        const char* text;
        int kept;
    };
    const Case cases[] = {
        {"velocity outside the window dropped", "3,0,1500,5,1800,10,1490", 2},
        {"announces more pairs than it carries", "5,0,1500,10,1490", 2},
        {"announces none", "0,0,1500", 0},
        {"negative count", "-4,0,1500", 0},
        {"count is no number", "x,0,1500", 0},
        {"empty", "", 0},
        {"odd trailing field", "2,0,1500,10", 1},
        {"pair that is no number skipped", "2,a,b,10,1490", 1},
    };
    for (const Case& c : cases) {
        CSvpProfile p;
        EXPECT_EQ(p.ParseProfileText(c.text, 0), c.kept) << c.legend;
        EXPECT_EQ(p.GetCount(), c.kept) << c.legend;
    }
}

TEST_F(SvpProfileTest, ProfileTextKeepsPointsHeldBefore)
{
    CSvpProfile p;
    p.AddPoint(0.0, 1500.0);
    EXPECT_EQ(p.ParseProfileText("1,5,1495", 0), 1);
    EXPECT_EQ(p.GetCount(), 2);
}

// A row that is not finite or deeper than any sea refuses the whole profile
// with a message naming the row; rows above the surface are kept.
TEST_F(SvpProfileTest, RowsBeyondTheDeepestSeaOrNotFiniteRefuseTheProfile)
{
    struct Row
    {
        const char* legend;
        int format;
        std::string text;
        const char* row;  // null: taken
    };
    const Row rows[] = {
        {"SBE depth of 9.22e17 m", CSvpProfile::FormatSbe,
         "12:00:00 10 0 0 148000 0 0\n12:00:01 9223372036854775807 0 0 148000 0 0\n", "row 2"},
        {"datagram depth 1e300", CSvpProfile::FormatZelvarA, "SV,120000,2,10,1480,1e300,1490", "row 2"},
        {"CALC row at 12000.5 m", CSvpProfile::FormatCalc,
         "CALC\nDEPTH (M)  VELOCITY (M/S)\n0.5 1500.1\n12000.5 1490.0\n0  0  0\n", "row 4"},
        {"CALC row at 12000 m", CSvpProfile::FormatCalc,
         "CALC\nDEPTH (M)  VELOCITY (M/S)\n0.5 1500.1\n12000 1490.0\n0  0  0\n", nullptr},
        {"datagram row above the surface", CSvpProfile::FormatZelvarA, "SV,120000,1,-2,1480", nullptr},
    };
    for (const Row& r : rows) {
        ClearMessageBoxRecord();
        CSvpProfile p;
        const int taken = p.Import(r.format, r.text);
        if (!r.row) {
            EXPECT_GT(taken, 0) << r.legend;
            EXPECT_TRUE(MessageBoxRecord().empty()) << r.legend;
            continue;
        }
        EXPECT_EQ(taken, 0) << r.legend;
        EXPECT_EQ(p.GetCount(), 0) << r.legend;
        ASSERT_EQ(MessageBoxRecord().size(), 1u) << r.legend;
        EXPECT_NE(MessageBoxRecord()[0].text.find(std::string("Svp ") + r.row + " refused"), std::string::npos)
            << r.legend << ": " << MessageBoxRecord()[0].text;
    }

    // The program's own files with such a row are refused as well.
    for (const char* row : {"1e18 1490.0", "12000.1 1490.0"}) {
        const std::string path = (dir / "deep.asvp").string();
        std::ofstream(path, std::ios::binary) << "( SoundVelocity 1.00 )\r\n0.0 1500.0\r\n" << row << "\r\n";
        ClearMessageBoxRecord();
        CSvpProfile p;
        EXPECT_EQ(p.ParseDatagram(path, CSvpProfile::FormatAsvp), 0) << row;
        ASSERT_EQ(MessageBoxRecord().size(), 1u) << row;
        EXPECT_NE(MessageBoxRecord()[0].text.find("Svp row 3 refused"), std::string::npos)
            << MessageBoxRecord()[0].text;
    }
}

TEST_F(SvpProfileTest, CalcFileIsRecognisedAndEndsAtTheZeroLine)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(Fixture("calc_cast.txt"), CSvpProfile::FormatAsvp), 3);
    ExpectPoints(p, {{0.5, 1500.1}, {5.0, 1495.2}, {15.0, 1488.75}});
    std::tm tm{};
    std::time_t t = p.GetTime();
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_min, 45);
    EXPECT_EQ(tm.tm_sec, 0);
}

TEST_F(SvpProfileTest, CalcWithExactlyOneValidPointReads)
{
    std::string path = Write("one.cal", "CALC\r\nTIME:08:15\r\nDEPTH VELOCITY (M/S)\r\n3.0 1499.0\r\n0 0 0\r\n");
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(path, CSvpProfile::FormatCalc), 1);
}

TEST_F(SvpProfileTest, S10DatagramFileReportsThePointsKept)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(Fixture("s10_datagram.txt"), CSvpProfile::FormatAsvp), 2);
    ExpectPoints(p, {{0.0, 1500.0}, {10.0, 1490.5}});
    EXPECT_TRUE(p.IsS10());
    EXPECT_DOUBLE_EQ(p.GetLatitude(), 5930.12);
    EXPECT_EQ(p.GetLatitudeHemisphere(), 'N');
    EXPECT_DOUBLE_EQ(p.GetLongitude(), 1020.45);
    EXPECT_EQ(p.GetLongitudeHemisphere(), 'E');
    std::tm tm{};
    std::time_t t = p.GetTime();
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2024);
    EXPECT_EQ(tm.tm_mon + 1, 5);
    EXPECT_EQ(tm.tm_mday, 17);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_min, 45);
    EXPECT_EQ(tm.tm_sec, 2);

    p.Clear();
    EXPECT_FALSE(p.IsS10());
    EXPECT_EQ(p.GetCount(), 0);
}

TEST_F(SvpProfileTest, S10DateFieldsOfTenDigitsAreNoDate)
{
    // 2^32 + 17, 2^32 + 5 and 2^32 + 2024: read into an int they would come
    // out as 17 May 2024. Fields that long are no date: the date stays today's.
    const std::string text = "$ABS10,1,1,134502,4294967313,4294967301,4294969320,0,1500,0,0,0\\\r\n";
    CSvpProfile p;
    EXPECT_EQ(p.Import(CSvpProfile::FormatS10, text), 1);
    const std::time_t now = std::time(nullptr), stamp = p.GetTime();
    std::tm today{}, taken{};
    localtime_r(&now, &today);
    localtime_r(&stamp, &taken);
    EXPECT_EQ(taken.tm_year, today.tm_year);
    EXPECT_EQ(taken.tm_mon, today.tm_mon);
    EXPECT_EQ(taken.tm_mday, today.tm_mday);
    EXPECT_EQ(taken.tm_hour * 10000 + taken.tm_min * 100 + taken.tm_sec, 134502);
}

TEST_F(SvpProfileTest, S10WithNoPlausiblePointAnswersZero)
{
    // Announces two points, keeps none: the answer is what was kept.
    std::string text = "$ABS10,1,2,120000,1,1,24,0,1000,0,0,0,5,1900,0,0,0\\\r\n";
    CSvpProfile p;
    EXPECT_EQ(p.Import(CSvpProfile::FormatS10, text), 0);
}

TEST_F(SvpProfileTest, ZelvarADatagramImports)
{
    CSvpProfile p;
    EXPECT_EQ(p.Import(CSvpProfile::FormatZelvarA, ReadFile(Fixture("zelvar_a.txt"))), 3);
    ExpectPoints(p, {{0.0, 1500.0}, {10.0, 1490.5}, {30.0, 1482.25}});
    std::tm tm{};
    std::time_t t = p.GetTime();
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 134502);
}

TEST_F(SvpProfileTest, SbeWinCastKeepsEveryPointUpToTheZeroLine)
{
    CSvpProfile p;
    EXPECT_EQ(p.Import(CSvpProfile::FormatSbe, ReadFile(Fixture("sbe_win.txt"))), 3);
    ExpectPoints(p, {{0.5, 1500.12}, {2.5, 1498.2}, {10.0, 1390.0}});
    EXPECT_EQ(p.GetLatitudeHemisphere(), 'I');
    EXPECT_EQ(p.GetLongitudeHemisphere(), 'I');
}

TEST_F(SvpProfileTest, SbeAndXbtDropVelocitiesOfZeroAndBelow)
{
    CSvpProfile sbe;
    EXPECT_EQ(sbe.Import(CSvpProfile::FormatSbe, "13:45:02 5 0 0 150012 0 0\n"
                                                 "13:45:03 25 0 0 0 0 0\n"
                                                 "13:45:04 30 0 0 -100 0 0\n"
                                                 "13:45:05 100 0 0 149000 0 0\n"),
              2);
    ExpectPoints(sbe, {{0.5, 1500.12}, {10.0, 1490.0}});

    CSvpProfile xbt;
    EXPECT_EQ(xbt.Import(CSvpProfile::FormatXbt, "PROFILE_HEADER\n"
                                                 "Last_State_Change_Time : 17/MAY/2024 13:45:02\n"
                                                 "No_of_Breakpoints : 3\n"
                                                 "Deglitch_Filter_Order : 2\n"
                                                 "1 0.0 0.5 10.2 1500.3\n"
                                                 "2 0.1 12.0 9.8 -0.1\n"
                                                 "3 0.2 40.0 7.5 0\n"),
              1);
    ExpectPoints(xbt, {{0.5, 1500.3}});

    // A cast of nothing but such rows holds no profile.
    CSvpProfile none;
    EXPECT_EQ(none.Import(CSvpProfile::FormatSbe, "13:45:02 5 0 0 0 0 0\n"), 0);
}

TEST_F(SvpProfileTest, ARowAboveTheSurfaceNeitherSetsNorHidesTheSurfaceVelocity)
{
    struct Row
    {
        const char* legend;
        std::vector<_svpPair> rows;
        std::vector<_svpPair> updated;
    };
    const Row rows[] = {
        {"a surface row below it", {{-1.0, 1520.0}, {0.0, 1500.0}, {10.0, 1490.0}}, {{0.0, 1500.0}, {10.0, 1490.0}}},
        {"the first row in the water below the surface",
         {{5.0, 1501.0}, {-2.0, 1530.0}},
         {{0.0, 1501.0}, {5.0, 1501.0}}},
        {"only rows above the surface", {{-3.0, 1520.0}}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        CSvpProfile p;
        for (const _svpPair& q : r.rows)
            p.AddPoint(q.depth, q.velocity);
        p.Update();
        ExpectPoints(p, r.updated);
        std::vector<double> d, v;
        p.GetPoints(d, v);
        EXPECT_EQ(v.empty() ? 0.0 : v.front(), r.updated.empty() ? 0.0 : r.updated.front().velocity);
    }
}

TEST_F(SvpProfileTest, SvPlusFileIsRecognisedAndReadAfterTheSoundLine)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(Fixture("svplus.txt"), CSvpProfile::FormatAsvp), 2);
    ExpectPoints(p, {{0.5, 1500.12}, {2.5, 1498.2}});
}

TEST_F(SvpProfileTest, XbtFileIsRecognisedWithPositionAndTime)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(Fixture("xbt_sonar2090.txt"), CSvpProfile::FormatAsvp), 3);
    ExpectPoints(p, {{0.5, 1500.3}, {12.0, 1494.0}, {40.0, 1390.0}});
    EXPECT_DOUBLE_EQ(p.GetLatitude(), 5930.1);
    EXPECT_EQ(p.GetLatitudeHemisphere(), 'N');
    EXPECT_DOUBLE_EQ(p.GetLongitude(), 1020.4);
    EXPECT_EQ(p.GetLongitudeHemisphere(), 'E');
    std::tm tm{};
    std::time_t t = p.GetTime();
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2024);
    EXPECT_EQ(tm.tm_mon + 1, 5);
    EXPECT_EQ(tm.tm_mday, 17);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_sec, 2);
}

TEST_F(SvpProfileTest, AsvpContentInATxtFileIsReadAsAsvp)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(Fixture("asvp_named.txt"), CSvpProfile::FormatCalc), 3);
    ExpectPoints(p, {{0.0, 1500.0}, {12.5, 1490.3}, {40.0, 1480.0}});
}

TEST_F(SvpProfileTest, UnknownContentAndUnknownTypeAreRefusedByName)
{
    CSvpProfile p;
    EXPECT_EQ(p.ParseDatagram(Write("x.txt", "hello\r\n1 1500\r\n"), CSvpProfile::FormatAsvp), 0);
    EXPECT_EQ(p.Import(CSvpProfile::FormatAsvp, "( SoundVelocity\r\n1 1500\r\n"), 0);
    EXPECT_EQ(p.Import(9, "x"), 0);
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{"Unknown Svp datagram format", "Unknown SV Type", "Unknown SV Type"}));
}

// Malformed input of every importer: refused with the importer's text, and
// never read past the end of a short field or line.
TEST_F(SvpProfileTest, MalformedImportsAreRefusedWithTheirMessage)
{
    struct Case
    {
        const char* legend;
        int format;
        const char* text;
        const char* box;  // empty: no box expected
    };
    const Case cases[] = {
        {"CALC not recognised", 0, "no cast here", "ConvertCALC: Failed"},
        {"CALC without the (M/S) line", 0, "CALC TIME:1", "Error converting AML CALC format"},
        {"CALC row that is no number", 0, "CALC\r\n(M/S)\r\n1.0 1500\r\nabc def\r\n",
         "Error converting AML CALC format"},
        {"CALC row with one number", 0, "CALC\r\n(M/S)\r\n1.0\r\n", "Error converting AML CALC format"},
        {"CALC TIME: at the very end, no plausible row", 0, "CALC (M/S)\r\n1 1399\r\n0 0\r\nTIME:", ""},
        {"S10 without $", 1, "ABS10,1,1", ""},
        {"S10 shorter than its header", 1, "$A", ""},
        {"S10 announces more groups than it holds", 1, "$ABS10,1,9,1,1,1,24,0,1500,0,0,0\\", ""},
        {"S10 group value is no number", 1, "$ABS10,1,1,1,1,1,24,x,1500,0,0,0\\", ""},
        {"S10 huge announced count", 1, "$ABS10,1,2147483647,1,1,1,24,0,1500,0,0,0\\", ""},
        {"Zelvar-A not recognised", 2, "XX,1", "ConvertZelvarA: Failed"},
        {"Zelvar-A without a count", 2, "SV,1", "Error converting Zelvar-A format"},
        {"Zelvar-A announces more pairs than it holds", 2, "SV,1,3,0,1500", "Error converting Zelvar-A format"},
        {"Zelvar-A negative count", 2, "SV,1,-3", "Error converting Zelvar-A format"},
        {"SBE row too short", 5, "12:00:00 5 0 0\r\n", "Error converting file from SBE Win format"},
        {"SBE row with a decimal", 5, "12:00:00 5.5 0 0 150000 0 0\r\n", "Error converting file from SBE Win format"},
        {"SvPlus without a Sound line", 5, "SvPlus\r\n1 2 3\r\n", "Error converting file from SBE Win format"},
        {"XBT not recognised", 6, "nothing", "ConvertXBT: Failed"},
        {"XBT without breakpoint count", 6, "PROFILE_HEADER\r\nDeglitch_Filter_Order 1\r\n1 2 3 4 5\r\n",
         "Error converting file from Sonar2090 XBT format"},
        {"XBT announces more rows than follow", 6,
         "PROFILE_HEADER\r\nNo_of_Breakpoints : 5\r\nDeglitch_Filter_Order 1\r\n1 2 3 4 1500\r\n",
         "Error converting file from Sonar2090 XBT format"},
        {"XBT row with four columns", 6,
         "PROFILE_HEADER\r\nNo_of_Breakpoints : 1\r\nDeglitch_Filter_Order 1\r\n1 2 3 4\r\n",
         "Error converting file from Sonar2090 XBT format"},
        {"XBT short date, time and position fields", 6,
         "PROFILE_HEADER\r\nLast_State_Change_Time : 1 2\r\nLatitude : 5\r\nLongitude :\r\nNo_of_Breakpoints : 0\r\nDeglitch_Filter_Order 1\r\n",
         ""},
    };
    for (const Case& c : cases) {
        ClearMessageBoxRecord();
        CSvpProfile p;
        EXPECT_EQ(p.Import(c.format, c.text), 0) << c.legend;
        std::vector<std::string> expected;
        if (*c.box)
            expected.push_back(c.box);
        EXPECT_EQ(BoxTexts(), expected) << c.legend;
    }
}

TEST_F(SvpProfileTest, ImportOfANullTextIsRefused)
{
    CSvpProfile p;
    EXPECT_EQ(p.Import(CSvpProfile::FormatS10, nullptr, 100), 0);
}

TEST_F(SvpProfileTest, MonthFromName)
{
    EXPECT_EQ(CSvpProfile::MonthFromName("MAY 2005"), 5);
    EXPECT_EQ(CSvpProfile::MonthFromName("17/dec/2024"), 12);
    EXPECT_EQ(CSvpProfile::MonthFromName("2024-05-17"), 0);
    // checked in calendar order: the first month of the year wins
    EXPECT_EQ(CSvpProfile::MonthFromName("DECJAN"), 1);
}

TEST_F(SvpProfileTest, FolderByModel)
{
    EXPECT_EQ(CSvpProfile::GetFolder(SounderModel::QY310), "C:\\QY310\\svp\\");
    EXPECT_EQ(CSvpProfile::GetFolder(SounderModel::QYNVU), "C:\\QYNVU\\svp\\");
    EXPECT_EQ(CSvpProfile::GetFolder(SounderModel::QY210), "C:\\QY210\\svp\\");
    EXPECT_EQ(CSvpProfile::GetFolder(SounderModel::TOTAL), "C:\\QY210\\svp\\");
}

// Every importer on every cut of every fixture: a transfer that breaks off
// anywhere must neither read past the text nor report points it did not keep.
TEST_F(SvpProfileTest, CutTextsNeverReadPastTheEnd)
{
    SetMessageBoxPresenter([](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
    const char* fixtures[] = {"calc_cast.txt", "s10_datagram.txt",  "zelvar_a.txt",  "sbe_win.txt",
                              "svplus.txt",    "xbt_sonar2090.txt", "asvp_named.txt"};
    for (const char* name : fixtures) {
        const std::string text = ReadFile(Fixture(name));
        ASSERT_FALSE(text.empty()) << name;
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            // A heap copy of exactly the cut, so a read past it is caught.
            std::vector<char> bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(cut));
            for (int format : {0, 1, 2, 5, 6}) {
                CSvpProfile p;
                int n = p.Import(format, bytes.data(), bytes.size());
                EXPECT_EQ(n, p.GetCount()) << name << " cut at " << cut << " format " << format;
            }
        }
    }
    SetMessageBoxPresenter({});
}
