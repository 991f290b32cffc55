#include "base/StringHelpers.h"

#include <gtest/gtest.h>

namespace {

TEST(StringHelpers, DeleteInsertAndReplaceAt)
{
    std::string s = "ABCDEF";
    EXPECT_EQ(DeleteAt(s, 2, -1), "AB");
    s = "ABC";
    EXPECT_EQ(DeleteAt(s, 5, 1), "ABC");
    EXPECT_EQ(DeleteAt(s, 1, 99), "A");
    s = "ABCDEF";
    EXPECT_EQ(DeleteAt(s, 1, 2), "ADEF");
    EXPECT_EQ(DeleteAt(s, -3, 1), "DEF") << "a negative start counts from 0";

    s = "AB";
    EXPECT_EQ(InsertAt(s, 4, "X"), "AB  X");
    s = "AB";
    EXPECT_EQ(InsertAt(s, 2, "X"), "ABX");
    EXPECT_EQ(InsertAt(s, 1, ""), "ABX");
    EXPECT_EQ(InsertAt(s, 0, "-"), "-ABX");

    s = "$GPGGA,1,2";
    EXPECT_EQ(ReplaceAt(s, 3, 3, "XYZ"), "$GPXYZ,1,2");
    s = "AB";
    EXPECT_EQ(ReplaceAt(s, 5, 2, "C"), "AB   C");
}

TEST(StringHelpers, FindFromStaysInsideTheText)
{
    const std::string s = "a,b,c";
    EXPECT_EQ(FindFrom(s, ",", 0), 1);
    EXPECT_EQ(FindFrom(s, ",", 2), 3);
    EXPECT_EQ(FindFrom(s, ",", 4), -1);
    EXPECT_EQ(FindFrom(s, "c", 5), -1);
    EXPECT_EQ(FindFrom(s, ",", 1000), -1) << "past the end finds nothing";
    EXPECT_EQ(FindFrom(s, ",", -5), 1);
}

TEST(StringHelpers, ReplaceTextCountsAndDoesNotRescanReplacements)
{
    const struct
    {
        const char* text;
        const char* find;
        const char* repl;
        bool all;
        const char* result;
        int count;
    } cases[] = {
        {"a,b,,c", ",", ";", true, "a;b;;c", 3},
        {"a,b,,c", ",", ";", false, "a;b,,c", 1},
        {"aaa", "a", "aa", true, "aaaaaa", 3},
        {"abc", "x", "y", true, "abc", 0},
        {"abab", "ab", "", true, "", 2},
        {"abc", "", "x", true, "abc", 0},  // an empty search text would never end
    };
    for (const auto& c : cases) {
        std::string s = c.text;
        EXPECT_EQ(ReplaceText(s, c.find, c.repl, c.all), c.count) << c.text << " " << c.find;
        EXPECT_EQ(s, c.result) << c.text << " " << c.find;
    }
}

TEST(StringHelpers, FieldsCutAtSeparators)
{
    const std::string gga = "$GPGGA,1,2";
    EXPECT_EQ(GetFieldByChar(gga, ',', 0), "$GPGGA");
    EXPECT_EQ(GetFieldByChar(gga, ',', 2), "2");
    EXPECT_EQ(GetFieldByChar(gga, ',', 5), "");
    EXPECT_EQ(GetFieldByChar(gga, ',', -1), "");
    EXPECT_EQ(GetFieldByChar("a;;b", ';', 1), "");
    EXPECT_EQ(GetFieldByChar("a;;b", ';', 2), "b");
    EXPECT_EQ(GetFieldByChar("a;", ';', 1), "");
    EXPECT_EQ(GetField("k=>v=>w", "=>", 1), "v");
    EXPECT_EQ(GetField("k=>v=>w", "=>", 2), "w");
    EXPECT_EQ(GetField("k=>v", "=>", 2), "");
    EXPECT_EQ(GetField("abc", "", 0), "abc");
    EXPECT_EQ(GetField("", ",", 0), "");
}

}  // namespace
