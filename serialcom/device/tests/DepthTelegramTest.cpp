#include "serialcom/device/DepthTelegram.h"

#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

// 2026-12-07 12:34:56.789 UTC.
std::uint64_t PingTime()
{
    SYSTEMTIME st;
    st.wYear = 2026;
    st.wMonth = 12;
    st.wDay = 7;
    st.wHour = 12;
    st.wMinute = 34;
    st.wSecond = 56;
    st.wMilliseconds = 789;
    std::uint64_t t = 0;
    CFileTime::FromSystemTime(st, t);
    return t;
}

class DepthTelegramTest : public ::testing::Test, public IDepthTelegramSources
{
protected:
    void SetUp() override
    {
        clock.SetFileTime(PingTime() + 1'000'000);  // 100 ms after the ping
        CFileTime::SetClock(&clock);
    }
    void TearDown() override { CFileTime::SetClock(nullptr); }
    double GetSoundVelocity() const override { return velocity; }
    bool IsReplaying() const override { return replaying; }
    bool IsHubWithoutHeave() const override { return withoutHeave; }

    const IDepthTelegramSources& sources = *this;
    CManualClock clock;
    double velocity = 1500.0;
    bool replaying = false;
    bool withoutHeave = false;
};

struct Case
{
    const char* legend;
    std::uint32_t type;
    std::int32_t channel;
    double depth, transducer, second, heave;
    const char* expected;
};

TEST_F(DepthTelegramTest, EveryTypeMatchesItsFormat)
{
    const Case cases[] = {
        {"DBS", 0, 0, 10.0, 0, 0, 0, "$SDDBS,32.81,f,10.00,M,5.47,F"},
        {"DPT below the transducer", 1, 0, 12.5, 2.0, 0, 0.5, "$SDDPT,10.00,2.50"},
        {"DPT decimals follow the depth, not T", 1, 0, 1000.5, 5.0, 0, 0, "$SDDPT,995.5,5.00"},
        {"DPT of a depth past 10000", 1, 0, 12000.0, 0, 0, 0, "$SDDPT,12000,0.00"},
        {"DBT", 2, 0, 12.0, 2.0, 0, 0, "$SDDBT,32.81,f,10.00,M,5.47,F"},
        {"fixed record", 3, 0, 12.34, 1, 0, 0.3, "D1,12345678, 12.34, +0,  1,  0"},
        {"fixed record second value", 3, 3, 1234.5, 1, -7.4, 0, "D4,12345678,1234.5, -7,  1,  0"},
        {"DB for the first channel", 4, 0, 12.34, 0, 0, 0, "DB00012.34 m"},
        {"DA for the second", 4, 1, 12.34, 0, 0, 0, "DA00012.34 m"},
        {"none for a third", 4, 2, 12.34, 0, 0, 0, ""},
        {"DA", 5, 7, 3.5, 0, 0, 0, "DA00003.50 m"},
        {"DB", 6, 7, 3.5, 0, 0, 0, "DB00003.50 m"},
        {"PSDF without second depth", 7, 0, 0.0, 5.0, -1.0, 0, "$PSDF,1500,0500,00000,00000,1,0100"},
        {"PSDF with D and B = 0", 7, 0, 12.345, 5.0, 0.0, 0, "$PSDF,1500,0500,01234,00000,1,0092"},
        {"unknown type", 8, 0, 1, 1, 1, 1, ""},
        {"negative type read unsigned", static_cast<std::uint32_t>(-1), 0, 1, 1, 1, 1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            FormatDepthTelegram(sources, c.type, 0, c.channel, PingTime(), c.depth, c.transducer, c.second, c.heave),
            c.expected)
            << c.legend;
}

TEST_F(DepthTelegramTest, ChecksumIsTheXorAfterTheFirstCharacter)
{
    const std::string plain = FormatDepthTelegram(sources, 0, 0, 0, PingTime(), 10.0, 0, 0, 0);
    unsigned char x = 0;
    for (std::size_t i = 1; i < plain.size(); ++i)
        x ^= static_cast<unsigned char>(plain[i]);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", x);
    EXPECT_EQ(FormatDepthTelegram(sources, 0, 1, 0, PingTime(), 10.0, 0, 0, 0), plain + "*" + hex);
    // The D records sum from the character after the D.
    const std::string d = FormatDepthTelegram(sources, 6, 1, 0, PingTime(), 3.5, 0, 0, 0);
    EXPECT_EQ(d.substr(0, 12), "DB00003.50 m");
    EXPECT_EQ(d.size(), 15u);
    EXPECT_EQ(FormatDepthTelegram(sources, 4, 1, 2, PingTime(), 1, 0, 0, 0), "");
    EXPECT_EQ(FormatDepthTelegram(sources, 9, 1, 0, PingTime(), 1, 0, 0, 0), "");
}

TEST_F(DepthTelegramTest, FixedRecordHeaveOnlyWithTheHubSettingAndABottom)
{
    withoutHeave = true;
    EXPECT_EQ(FormatDepthTelegram(sources, 3, 0, 0, PingTime(), 12.34, 0, 0, 0.34), "D1,12345678, 12.00, +0,  1,  0");
    EXPECT_EQ(FormatDepthTelegram(sources, 3, 0, 0, PingTime(), 0.0, 0, 0, 0.34), "D1,12345678,  0.00, +0,  1,  0");
}

TEST_F(DepthTelegramTest, PsdfAgeAndUnusableSoundVelocity)
{
    replaying = true;
    EXPECT_EQ(FormatDepthTelegram(sources, 7, 0, 0, PingTime(), 15.0, 5.0, 0, 0), "$PSDF,1500,0500,01500,00000,1,0000");
    replaying = false;
    // With no usable sound velocity the travel time cannot be taken off:
    // the age is the plain age, and nothing divides by zero.
    for (double c : {0.0, std::numeric_limits<double>::quiet_NaN(), -1500.0}) {
        velocity = c;
        const std::string t = FormatDepthTelegram(sources, 7, 0, 0, PingTime(), 15.0, 5.0, 0, 0);
        EXPECT_EQ(t.substr(t.rfind(',') + 1), "0100") << c;
    }
}

// Every NMEA telegram parses, checksum and all, in python3-nmea2, a library
// we did not write.
TEST_F(DepthTelegramTest, NmeaTelegramsParseInAnIndependentLibrary)
{
    if (std::system("/usr/bin/python3 -c 'import pynmea2' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-nmea2 is not installed";
    const std::string lines[] = {
        FormatDepthTelegram(sources, 0, 1, 0, PingTime(), 10.0, 2.0, 0, 0.1),
        FormatDepthTelegram(sources, 1, 1, 0, PingTime(), 10.0, 2.0, 0, 0.1),
        FormatDepthTelegram(sources, 2, 1, 0, PingTime(), 10.0, 2.0, 0, 0.1),
        FormatDepthTelegram(sources, 7, 1, 0, PingTime(), 10.0, 2.0, 0, 0.1),
    };
    std::string script = "import pynmea2,sys\n"
                         "for l in sys.stdin.read().split():\n"
                         "    m = pynmea2.parse(l, check=True)\n"
                         "    print(m.sentence_type if hasattr(m, 'sentence_type') else type(m).__name__)\n";
    const std::string path = ::testing::TempDir() + "depth_telegrams.txt";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    for (const auto& l : lines)
        std::fprintf(f, "%s\n", l.c_str());
    std::fclose(f);
    const std::string command = "/usr/bin/python3 -c \"" + script + "\" < " + path;
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p))
        out += buffer;
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_NE(out.find("DBS\nDPT\nDBT\n"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;
}

}  // namespace
