// Event log entries reach the file sink one per line, and text is never
// taken for a format.
#include "platform/EventLog.h"

#include "platform/tests/EventLogFixture.h"

#include <filesystem>
#include <string>

namespace {

using EventLogFile = EventLogFixture;

TEST_F(EventLogFile, EachReportIsOneLine)
{
    HEVENTSOURCE src = RegisterEventSource("QY310");
    ASSERT_NE(src, nullptr);
    EXPECT_TRUE(ReportEvent(src, EVENTLOG_ERROR_TYPE, 0, 45066, {"@Computer:PC42 @Text:100% %s %n\nsecond"}));
    EXPECT_TRUE(ReportEvent(src, EVENTLOG_WARNING_TYPE, 3, 1, {"a", "b"}));
    EXPECT_TRUE(DeregisterEventSource(src));
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "QY310\terror\t0\t45066\t@Computer:PC42 @Text:100% %s %n second");
    EXPECT_EQ(lines[1], "QY310\twarning\t3\t1\ta b");
}

TEST_F(EventLogFile, NoSourceWritesNothing)
{
    EXPECT_EQ(RegisterEventSource(""), nullptr);
    EXPECT_FALSE(ReportEvent(nullptr, EVENTLOG_ERROR_TYPE, 0, 1, {"x"}));
    EXPECT_FALSE(DeregisterEventSource(nullptr));
    EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
