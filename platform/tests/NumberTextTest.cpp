#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale.h>
#include <string>

namespace {

TEST(NumberText, FormatsLikePrintfInTheCLocale)
{
    EXPECT_EQ(CNumberText::Format("%f", 1.5), "1.500000");
    EXPECT_EQ(CNumberText::Format("%.2f|%d|%s", -0.125, -7, "x"), "-0.12|-7|x");
    EXPECT_EQ(CNumberText::Fixed(2.0 / 3.0, 3), "0.667");
    EXPECT_EQ(CNumberText::Fixed(1.0), "1.000000");
    EXPECT_EQ(CNumberText::Fixed(5.5, -4), "6") << "negative decimals clamp to 0";
    // Longer than the small buffer of the formatter.
    const std::string longText(1000, 'a');
    EXPECT_EQ(CNumberText::Format("%s%d", longText.c_str(), 12), longText + "12");
}

TEST(NumberText, ParseStopsWhereANumberCannotContinue)
{
    const struct
    {
        const char* text;
        double value;
        size_t consumed;
    } cases[] = {
        {"12.5", 12.5, 4}, {"  -3.25e2xyz", -325.0, 9},
        {"1,5", 1.0, 1},  // a comma never continues a number here
        {"7.", 7.0, 2},    {".5m", 0.5, 2},
        {"abc", 0.0, 0},   {"", 0.0, 0},
        {"1e", 1.0, 1},
    };
    for (const auto& c : cases) {
        size_t consumed = 99;
        EXPECT_DOUBLE_EQ(CNumberText::ParseDouble(std::string(c.text), &consumed), c.value) << c.text;
        EXPECT_EQ(consumed, c.consumed) << c.text;
    }
    const char* end = nullptr;
    EXPECT_EQ(CNumberText::ParseDouble(static_cast<const char*>(nullptr), &end), 0.0);
    EXPECT_EQ(end, nullptr);

    size_t consumed = 0;
    EXPECT_EQ(CNumberText::ParseLong(std::string(" 0x1Fg"), &consumed, 16), 31);
    EXPECT_EQ(consumed, 5u);
    EXPECT_EQ(CNumberText::ParseLong(std::string("99999999999999999999"), nullptr), LONG_MAX);
}

TEST(NumberText, TryParseWantsTheWholeText)
{
    double d = -1;
    long l = -1;
    EXPECT_TRUE(CNumberText::TryParseDouble(" 4.25 ", d));
    EXPECT_EQ(d, 4.25);
    EXPECT_FALSE(CNumberText::TryParseDouble("4.25x", d));
    EXPECT_FALSE(CNumberText::TryParseDouble("", d));
    EXPECT_FALSE(CNumberText::TryParseDouble(std::string("1\0 2", 4), d)) << "embedded NUL";
    EXPECT_EQ(d, 4.25) << "a refused text leaves the value alone";
    EXPECT_TRUE(CNumberText::TryParseLong("-12", l));
    EXPECT_EQ(l, -12);
    EXPECT_FALSE(CNumberText::TryParseLong("12.0", l));
}

TEST(NumberText, TruncateToIntRefusesWhatDoesNotFit)
{
    const struct
    {
        double number;
        bool fits;
        int value;
    } rows[] = {
        {12.9, true, 12},
        {-12.9, true, -12},
        {2147483647.9, true, 2147483647},
        {-2147483648.9, true, -2147483647 - 1},
        {2147483648.0, false, 0},
        {-2147483649.0, false, 0},
        {1e10, false, 0},
        {HUGE_VAL, false, 0},
        {-HUGE_VAL, false, 0},
        {std::nan(""), false, 0},
    };
    for (const auto& row : rows) {
        int value = 0;
        EXPECT_EQ(CNumberText::TruncateToInt(row.number, value), row.fits) << row.number;
        EXPECT_EQ(value, row.value) << row.number;
    }
}

// Builds a comma-decimal locale into a temporary folder when the system has
// the tools and sources for it; the process locale is then switched to it.
class CommaLocale : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "loc-XXXXXX").string();
        m_dir = mkdtemp(pattern.data());
        const std::string command = "localedef -i de_DE -f UTF-8 '" + m_dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            GTEST_SKIP() << "no comma-decimal locale can be built here";
        setenv("LOCPATH", m_dir.c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            GTEST_SKIP() << "comma-decimal locale did not load";
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5") << "the locale really uses a decimal comma";
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
        std::filesystem::remove_all(m_dir);
    }
    std::string m_dir;
};

TEST_F(CommaLocale, NumbersKeepTheDecimalPoint)
{
    EXPECT_EQ(CNumberText::Format("%.2f", 3.25), "3.25");
    EXPECT_EQ(CNumberText::Fixed(0.5), "0.500000");
    size_t consumed = 0;
    EXPECT_EQ(CNumberText::ParseDouble(std::string("3.75;1"), &consumed), 3.75);
    EXPECT_EQ(consumed, 4u);
    EXPECT_EQ(CNumberText::ParseDouble(std::string("3,75"), &consumed), 3.0);
    // The process locale itself is left as the program set it.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    EXPECT_STREQ(probe, "2,5");
}

}  // namespace
