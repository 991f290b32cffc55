#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(FileTime, UnixConversionsKeepTheEpochsApart)
{
    EXPECT_EQ(CFileTime::FromUnix(0), CFileTime::kUnixEpoch);
    EXPECT_EQ(CFileTime::FromUnix(1, 500), CFileTime::kUnixEpoch + 10'000'005);
    EXPECT_EQ(CFileTime::ToUnixSeconds(CFileTime::kUnixEpoch), 0);
    // Before 1970 the seconds round towards the past.
    EXPECT_EQ(CFileTime::ToUnixSeconds(CFileTime::kUnixEpoch - 1), -1);
    EXPECT_EQ(CFileTime::FromUnix(-11'644'473'600), 0u);
    EXPECT_EQ(CFileTime::FromUnix(-11'644'473'601), 0u) << "before 1601 clamps";
    EXPECT_EQ(CFileTime::FromUnix(INT64_MIN, INT64_MIN), 0u);
    EXPECT_EQ(CFileTime::FromUnix(INT64_MAX, INT64_MAX), UINT64_MAX) << "past the last file time clamps";
    EXPECT_EQ(CFileTime::FromUnix(0, -100), CFileTime::kUnixEpoch - 1);
    SYSTEMTIME st;
    EXPECT_FALSE(CFileTime::ToSystemTime(UINT64_MAX, st)) << "beyond the year 30827";

    const timespec ts{1'700'000'000, 123'456'700};
    const timespec back = CFileTime::ToTimespec(CFileTime::FromTimespec(ts));
    EXPECT_EQ(back.tv_sec, ts.tv_sec);
    EXPECT_EQ(back.tv_nsec, ts.tv_nsec);
}

TEST(FileTime, BrokenDownUtcRoundTrips)
{
    const struct
    {
        std::uint64_t fileTime;
        WORD y, mo, dow, d, h, mi, s, ms;
    } cases[] = {
        {0, 1601, 1, 1, 1, 0, 0, 0, 0},                                                    // Monday
        {CFileTime::kUnixEpoch, 1970, 1, 4, 1, 0, 0, 0, 0},                                // Thursday
        {CFileTime::FromUnix(951'782'400) + 1234 * 10'000, 2000, 2, 2, 29, 0, 0, 1, 234},  // leap day
        {CFileTime::FromUnix(4'102'444'799), 2099, 12, 4, 31, 23, 59, 59, 0},
    };
    for (const auto& c : cases) {
        SYSTEMTIME st;
        ASSERT_TRUE(CFileTime::ToSystemTime(c.fileTime, st));
        EXPECT_EQ(st.wYear, c.y);
        EXPECT_EQ(st.wMonth, c.mo);
        EXPECT_EQ(st.wDayOfWeek, c.dow) << c.y;
        EXPECT_EQ(st.wDay, c.d);
        EXPECT_EQ(st.wHour, c.h);
        EXPECT_EQ(st.wMinute, c.mi);
        EXPECT_EQ(st.wSecond, c.s);
        EXPECT_EQ(st.wMilliseconds, c.ms);
        std::uint64_t back = 1;
        ASSERT_TRUE(CFileTime::FromSystemTime(st, back));
        EXPECT_EQ(back, c.fileTime - c.fileTime % 10'000) << c.y;
    }
}

TEST(FileTime, FromSystemTimeRefusesImpossibleFields)
{
    SYSTEMTIME good;
    good.wYear = 2023, good.wMonth = 2, good.wDay = 28, good.wHour = 23, good.wMinute = 59, good.wSecond = 59;
    std::uint64_t ft = 0;
    EXPECT_TRUE(CFileTime::FromSystemTime(good, ft));
    const auto refused = [&](auto change) {
        SYSTEMTIME st = good;
        change(st);
        std::uint64_t out = 42;
        return !CFileTime::FromSystemTime(st, out) && out == 42;
    };
    EXPECT_TRUE(refused([](SYSTEMTIME& s) { s.wDay = 29; }));  // 2023 is no leap year
    EXPECT_TRUE(refused([](SYSTEMTIME& s) { s.wMonth = 13; }));
    EXPECT_TRUE(refused([](SYSTEMTIME& s) { s.wMonth = 0; }));
    EXPECT_TRUE(refused([](SYSTEMTIME& s) { s.wHour = 24; }));
    EXPECT_TRUE(refused([](SYSTEMTIME& s) { s.wMilliseconds = 1000; }));
    EXPECT_TRUE(refused([](SYSTEMTIME& s) { s.wYear = 1600; }));
}

TEST(FileTime, LocalTimeFollowsTheZoneIncludingSummerTime)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    // Central Europe without zone files: UTC+1, summer time UTC+2.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    const std::uint64_t winter = CFileTime::FromUnix(1'704'067'200);  // 2024-01-01 00:00 UTC
    const std::uint64_t summer = CFileTime::FromUnix(1'719'792'000);  // 2024-07-01 00:00 UTC
    SYSTEMTIME st;
    ASSERT_TRUE(CFileTime::ToLocalSystemTime(winter, st));
    EXPECT_EQ(st.wHour, 1);
    ASSERT_TRUE(CFileTime::ToLocalSystemTime(summer, st));
    EXPECT_EQ(st.wHour, 2);
    std::uint64_t back = 0;
    ASSERT_TRUE(CFileTime::FromLocalSystemTime(st, back));
    EXPECT_EQ(back, summer);
    if (old != nullptr)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(FileTime, InjectedClockDrivesNowAndMonotonic)
{
    CManualClock clock(CFileTime::FromUnix(1'000), 5);
    CFileTime::SetClock(&clock);
    EXPECT_EQ(CFileTime::Now(), CFileTime::FromUnix(1'000));
    clock.Advance(CFileTime::kTicksPerSecond);
    EXPECT_EQ(CFileTime::Now(), CFileTime::FromUnix(1'001));
    EXPECT_EQ(CFileTime::Monotonic(), 5 + CFileTime::kTicksPerSecond);
    // Setting the wall clock back does not move the monotonic clock.
    clock.SetFileTime(0);
    EXPECT_EQ(CFileTime::Monotonic(), 5 + CFileTime::kTicksPerSecond);
    CFileTime::SetClock(nullptr);

    const std::uint64_t a = CFileTime::Monotonic();
    const std::uint64_t b = CFileTime::Monotonic();
    EXPECT_LE(a, b);
    // The system clock says we are after 2020.
    EXPECT_GT(CFileTime::Now(), CFileTime::FromUnix(1'577'836'800));
}

}  // namespace
