// Diagnostic records: the entry text with its tags, the time text, the
// computer name rule, and texts holding '%'.
#include "base/DiagRecord.h"

#include "platform/FileTime.h"

#include "platform/tests/EventLogFixture.h"

#include <filesystem>

namespace {

using DiagRecordLog = EventLogFixture;

TEST_F(DiagRecordLog, AlarmEntryCarriesEveryTagInOrder)
{
    CDiagRecord record("QY310", "Ostrival", "1.0", "Status", 269);
    ASSERT_TRUE(record.ReportText(45066, "Bottom lost"));
    const std::string expected =
        "@Computer:" + record.Computer() +
        " @Source:QY310 @Component:Ostrival @Version:1.0 @File:Status @Line:269 @Text:Bottom lost";
    EXPECT_EQ(record.EntryText(), expected);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "QY310\terror\t0\t45066\t" + expected);
}

TEST_F(DiagRecordLog, PercentInTextIsKeptAsItStands)
{
    CDiagRecord record("QY310", "Ostrival", "1.0", "Status", 269);
    ASSERT_TRUE(record.ReportText(1, "Sound velocity 100% off %s %n %d"));
    EXPECT_EQ(record.Text(), "Sound velocity 100% off %s %n %d");
    ASSERT_TRUE(record.Report(2, "%s", "50% %x"));
    EXPECT_EQ(record.Text(), "50% %x");
    ASSERT_TRUE(record.Report(3, "%d lost", 7));
    EXPECT_EQ(record.Text(), "7 lost");
    EXPECT_EQ(Lines().size(), 3u);
}

TEST_F(DiagRecordLog, TextIsCutAt2047AndSeverityIsTheTopBits)
{
    CDiagRecord record("QY310", "Ostrival", "1.0", "Status", 1);
    ASSERT_TRUE(record.ReportText(0xC0000005u, std::string(3000, 'a')));
    EXPECT_EQ(record.Text().size(), 2047u);
    EXPECT_EQ(record.Severity(), 3u);
    ASSERT_TRUE(record.Report(0x40000001u, "%3000d", 1));
    EXPECT_EQ(record.Text().size(), 2047u);
    EXPECT_EQ(record.Severity(), 1u);
}

TEST_F(DiagRecordLog, NoSourceWritesNothing)
{
    CDiagRecord record("", "Ostrival", "1.0", "Status", 1);
    EXPECT_FALSE(record.ReportText(1, "x"));
    EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST(DiagRecord, TimeTextIsLocalTimeBetweenBlanks)
{
    SYSTEMTIME st;
    st.wYear = 2011;
    st.wMonth = 3;
    st.wDay = 4;
    st.wHour = 5;
    st.wMinute = 6;
    st.wSecond = 7;
    std::uint64_t ft = 0;
    ASSERT_TRUE(CFileTime::FromLocalSystemTime(st, ft));
    EXPECT_EQ(CDiagRecord::FormatTimeText(ft), " 11/03/04 05:06:07 ");

    // The record takes its time when built.
    CManualClock clock(ft);
    CFileTime::SetClock(&clock);
    CDiagRecord record("QY310", "Ostrival", "1.0", "Status", 1);
    CFileTime::SetClock(nullptr);
    EXPECT_EQ(record.Time(), ft);
    EXPECT_EQ(record.TimeText(), " 11/03/04 05:06:07 ");
}

TEST(DiagRecord, ComputerNameLongerThan15IsEmpty)
{
    const std::pair<std::string, std::string> cases[] = {
        {"PC42", "PC42"},
        {"abcdefghijklmno", "abcdefghijklmno"},  // 15: fits
        {"abcdefghijklmnop", ""},                // 16: does not
        {"survey.ship.example", "survey"},       // domain part is not the name
        {"", ""},
    };
    for (const auto& [host, name] : cases)
        EXPECT_EQ(CDiagRecord::ComputerNameFrom(host), name) << host;
}

}  // namespace
