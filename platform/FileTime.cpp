#include "platform/FileTime.h"

#include <atomic>
#include <chrono>

namespace {

class CSystemClock : public IClock
{
public:
    std::uint64_t FileTimeNow() override
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return CFileTime::FromTimespec(ts);
    }
    std::uint64_t MonotonicNow() override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint64_t>(ts.tv_sec) * CFileTime::kTicksPerSecond +
               static_cast<std::uint64_t>(ts.tv_nsec) / 100;
    }
};

CSystemClock g_systemClock;
std::atomic<IClock*> g_clock{&g_systemClock};

constexpr std::int64_t kSecondsPerDay = 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysTo1970 = 134774;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// algorithm); exact for every date we can meet.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeap(std::int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(std::int64_t y, unsigned m)
{
    static constexpr unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Offset of local time from UTC, in seconds, at the given Unix time.
bool LocalOffsetAt(std::int64_t unixSeconds, long& offset)
{
    const time_t t = static_cast<time_t>(unixSeconds);
    tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return false;
    offset = local.tm_gmtoff;
    return true;
}

}  // namespace

std::uint64_t CFileTime::Now()
{
    return g_clock.load(std::memory_order_acquire)->FileTimeNow();
}

std::uint64_t CFileTime::Monotonic()
{
    return g_clock.load(std::memory_order_acquire)->MonotonicNow();
}

void CFileTime::SetClock(IClock* clock)
{
    g_clock.store(clock != nullptr ? clock : &g_systemClock, std::memory_order_release);
}

std::uint64_t CFileTime::FromUnix(std::int64_t seconds, std::int64_t nanoseconds)
{
    // Whole seconds first, in unsigned arithmetic that cannot overflow,
    // clamping to the range of file times; then the sub-second part.
    constexpr std::uint64_t secondsBefore1970 = kUnixEpoch / kTicksPerSecond;
    constexpr std::uint64_t maxSecondsAfter1970 = (UINT64_MAX - kUnixEpoch) / kTicksPerSecond;
    std::uint64_t ticks = 0;
    if (seconds < 0) {
        const std::uint64_t back = static_cast<std::uint64_t>(-(seconds + 1)) + 1;
        if (back > secondsBefore1970)
            return 0;
        ticks = kUnixEpoch - back * kTicksPerSecond;
    } else {
        if (static_cast<std::uint64_t>(seconds) > maxSecondsAfter1970)
            return UINT64_MAX;
        ticks = kUnixEpoch + static_cast<std::uint64_t>(seconds) * kTicksPerSecond;
    }
    const std::int64_t sub = nanoseconds / 100;
    if (sub >= 0)
        return UINT64_MAX - ticks < static_cast<std::uint64_t>(sub) ? UINT64_MAX
                                                                    : ticks + static_cast<std::uint64_t>(sub);
    const std::uint64_t less = static_cast<std::uint64_t>(-(sub + 1)) + 1;
    return less > ticks ? 0 : ticks - less;
}

std::uint64_t CFileTime::FromTimespec(const timespec& ts)
{
    return FromUnix(ts.tv_sec, ts.tv_nsec);
}

timespec CFileTime::ToTimespec(std::uint64_t fileTime)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ToUnixSeconds(fileTime));
    // The Unix epoch falls on a whole second, so the sub-second part of the
    // file time is that of the Unix time.
    static_assert(kUnixEpoch % kTicksPerSecond == 0);
    ts.tv_nsec = static_cast<long>(fileTime % kTicksPerSecond * 100);
    return ts;
}

std::int64_t CFileTime::ToUnixSeconds(std::uint64_t fileTime)
{
    const std::int64_t seconds1601 = static_cast<std::int64_t>(fileTime / kTicksPerSecond);
    return seconds1601 - static_cast<std::int64_t>(kUnixEpoch / kTicksPerSecond);
}

BOOL CFileTime::ToSystemTime(std::uint64_t fileTime, SYSTEMTIME& st)
{
    const std::int64_t seconds = static_cast<std::int64_t>(fileTime / kTicksPerSecond);
    const std::int64_t days1601 = seconds / kSecondsPerDay;
    const std::int64_t secondOfDay = seconds % kSecondsPerDay;
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days1601 - kDaysTo1970, year, month, day);
    if (year > 30827)
        return FALSE;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    // 1601-01-01 was a Monday.
    st.wDayOfWeek = static_cast<WORD>((days1601 + 1) % 7);
    st.wHour = static_cast<WORD>(secondOfDay / 3600);
    st.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    st.wSecond = static_cast<WORD>(secondOfDay % 60);
    st.wMilliseconds = static_cast<WORD>(fileTime % kTicksPerSecond / kTicksPerMillisecond);
    return TRUE;
}

BOOL CFileTime::FromSystemTime(const SYSTEMTIME& st, std::uint64_t& fileTime)
{
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        st.wMilliseconds > 999)
        return FALSE;
    const std::int64_t days1601 = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kDaysTo1970;
    const std::uint64_t seconds =
        static_cast<std::uint64_t>(days1601 * kSecondsPerDay) + st.wHour * 3600ULL + st.wMinute * 60ULL + st.wSecond;
    fileTime = seconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMillisecond;
    return TRUE;
}

BOOL CFileTime::ToLocalSystemTime(std::uint64_t fileTime, SYSTEMTIME& st)
{
    long offset = 0;
    if (!LocalOffsetAt(ToUnixSeconds(fileTime), offset))
        return FALSE;
    const std::int64_t shift = static_cast<std::int64_t>(offset) * static_cast<std::int64_t>(kTicksPerSecond);
    if (shift < 0 && static_cast<std::uint64_t>(-shift) > fileTime)
        return FALSE;
    return ToSystemTime(
        shift >= 0 ? fileTime + static_cast<std::uint64_t>(shift) : fileTime - static_cast<std::uint64_t>(-shift), st);
}

BOOL CFileTime::FromLocalSystemTime(const SYSTEMTIME& st, std::uint64_t& fileTime)
{
    std::uint64_t asUtc = 0;
    if (!FromSystemTime(st, asUtc))
        return FALSE;
    // The offset depends on the instant we are looking for; take the offset
    // at the first guess, then once more at the corrected instant, which
    // settles every case but the hour that a clock change skips or repeats.
    long offset = 0;
    if (!LocalOffsetAt(ToUnixSeconds(asUtc), offset))
        return FALSE;
    std::int64_t guess = static_cast<std::int64_t>(asUtc) - static_cast<std::int64_t>(offset) * 10'000'000LL;
    long second = 0;
    if (guess >= 0 && LocalOffsetAt(ToUnixSeconds(static_cast<std::uint64_t>(guess)), second) && second != offset)
        guess = static_cast<std::int64_t>(asUtc) - static_cast<std::int64_t>(second) * 10'000'000LL;
    if (guess < 0)
        return FALSE;
    fileTime = static_cast<std::uint64_t>(guess);
    return TRUE;
}

std::uint64_t CManualClock::FileTimeNow()
{
    return m_fileTime.load();
}

std::uint64_t CManualClock::MonotonicNow()
{
    return m_monotonic.load();
}

void CManualClock::SetFileTime(std::uint64_t fileTime)
{
    m_fileTime.store(fileTime);
}

void CManualClock::Advance(std::uint64_t ticks)
{
    m_fileTime.fetch_add(ticks);
    m_monotonic.fetch_add(ticks);
}
