// Time values of the program.
//
// Stored and transmitted times are 64-bit file times: counts of 100 ns since
// 1601-01-01 00:00 UTC. Pacing and time-outs use a monotonic count of the
// same unit, which never jumps when the wall clock is set. Both come from one
// process-wide clock that tests can replace with a manual one.
#pragma once

#include "platform/WinTypes.h"

#include <atomic>
#include <cstdint>
#include <ctime>

// Broken-down time with the fields of the stored records.
struct SYSTEMTIME
{
    WORD wYear = 0;
    WORD wMonth = 0;      // 1..12
    WORD wDayOfWeek = 0;  // 0 = Sunday
    WORD wDay = 0;        // 1..31
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

// Source of the current time; the system clock unless a test installs one.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual std::uint64_t FileTimeNow() = 0;   // 100 ns since 1601, UTC
    virtual std::uint64_t MonotonicNow() = 0;  // 100 ns since an arbitrary start
};

class CFileTime
{
public:
    static constexpr std::uint64_t kTicksPerSecond = 10'000'000;
    static constexpr std::uint64_t kTicksPerMillisecond = 10'000;
    // File time of 1970-01-01 00:00 UTC.
    static constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000ULL;

    // Current wall-clock time as a file time.
    static std::uint64_t Now();
    // Current monotonic time in 100 ns units.
    static std::uint64_t Monotonic();
    // Milliseconds of the monotonic clock, for time-outs counted in ms.
    static std::uint64_t MonotonicMs() { return Monotonic() / kTicksPerMillisecond; }

    // Installs a clock (not owned; must outlive its use). Null restores the
    // system clock.
    static void SetClock(IClock* clock);

    // Unix time (seconds and nanoseconds, may be negative) to and from file
    // time. Times before 1601 clamp to 0; file times past the range of
    // time_t cannot occur (time_t is 64-bit).
    static std::uint64_t FromUnix(std::int64_t seconds, std::int64_t nanoseconds = 0);
    static std::uint64_t FromTimespec(const timespec& ts);
    static timespec ToTimespec(std::uint64_t fileTime);
    // Whole Unix seconds, rounded towards the past.
    static std::int64_t ToUnixSeconds(std::uint64_t fileTime);

    // Broken-down UTC time. ToSystemTime works for every file time up to the
    // year 30827; FromSystemTime refuses fields out of range (month 13, day
    // 31 of April, hour 24 ...) and years before 1601 with FALSE.
    static BOOL ToSystemTime(std::uint64_t fileTime, SYSTEMTIME& st);
    static BOOL FromSystemTime(const SYSTEMTIME& st, std::uint64_t& fileTime);

    // Broken-down local time, in the time zone of the process (TZ).
    static BOOL ToLocalSystemTime(std::uint64_t fileTime, SYSTEMTIME& st);
    static BOOL FromLocalSystemTime(const SYSTEMTIME& st, std::uint64_t& fileTime);
};

// A clock that moves only when told to; for tests.
class CManualClock : public IClock
{
public:
    explicit CManualClock(std::uint64_t fileTime = CFileTime::kUnixEpoch, std::uint64_t monotonic = 0)
        : m_fileTime(fileTime), m_monotonic(monotonic)
    {}
    std::uint64_t FileTimeNow() override;
    std::uint64_t MonotonicNow() override;
    void SetFileTime(std::uint64_t fileTime);
    // Moves both the wall clock and the monotonic clock forward.
    void Advance(std::uint64_t ticks);

private:
    std::atomic<std::uint64_t> m_fileTime;
    std::atomic<std::uint64_t> m_monotonic;
};
