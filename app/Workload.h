// How much processor time the program itself uses, as a fraction of the
// time between two samples; 1.0 is one processor fully busy, so the load
// can exceed 1.0 on a PC with several. Time between samples is taken from the
// monotonic clock, so setting the wall clock never makes the load jump.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <mutex>

class CWorkload
{
public:
    // Reads the process's kernel and user time in 100 ns units; false when
    // they cannot be read.
    using ProcessTimesSource = std::function<bool(std::uint64_t& kernel, std::uint64_t& user)>;

    CWorkload();
    explicit CWorkload(ProcessTimesSource source);
    static CWorkload* CreateObject() { return new CWorkload; }

    // Takes one sample; the first only primes the previous values.
    void Sample();
    // The last measured load; 0.5 until two samples have been taken.
    double GetLoad() const;

    static bool ReadOwnProcessTimes(std::uint64_t& kernel, std::uint64_t& user);

private:
    ProcessTimesSource m_source;
    mutable std::mutex m_lock;  // the user interface and the trigger thread both sample
    BOOL m_bPrevious = FALSE;
    double m_load = 0.5;
    std::uint64_t m_prevKernel = 0;
    std::uint64_t m_prevUser = 0;
    std::uint64_t m_prevNow = 0;
};
