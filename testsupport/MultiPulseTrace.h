// A multipulse run seen ping by ping where the documents hear of each ping:
// the first channel's depth of the ping, and the tracker's state and the
// sounder's pacing as they stood before that ping's tracking step. So step
// k + 1 holds what ping k left behind.
//
// CheckLockAndJump reads such a run over a flat bottom that jumps beyond the
// tracker's window: five pings at the flat depth lock on and pace the pings
// at its two-way travel time; five misses (the new depth, or none while the
// detector looks for it) let go and the pings run at the maximum rate; five
// pings at the new depth lock on again.
#pragma once

#include "testsupport/NetNamespace.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zv::test {

struct SMultiPulseStep
{
    double depth = 0.0;  // m, the first channel's this ping
    int state = 0;       // the tracker's, before this ping's step
    bool paced = false;  // interval mode, before this ping's step
    std::int64_t interval = 0;
};

class CMultiPulseTrace
{
public:
    void Add(const SMultiPulseStep& step)
    {
        std::lock_guard lock(m_lock);
        m_steps.push_back(step);
    }
    std::vector<SMultiPulseStep> Steps() const
    {
        std::lock_guard lock(m_lock);
        return m_steps;
    }
    std::size_t Size() const
    {
        std::lock_guard lock(m_lock);
        return m_steps.size();
    }

private:
    mutable std::mutex m_lock;
    std::vector<SMultiPulseStep> m_steps;
};

// The bottom moved from flat to jumped (m) no earlier than ping jumpFrom;
// depths count as found within tolerance (m); the tracker's window is 20 m.
inline void CheckLockAndJump(const std::vector<SMultiPulseStep>& s, double flat, double jumped, std::size_t jumpFrom,
                             double soundVelocity, double tolerance, nettest::Checks& check)
{
    const auto at = [](double depth, double wanted, double within) { return std::fabs(depth - wanted) < within; };
    const auto travel = [&](double depth) { return 2.0 * depth / soundVelocity * 1e7; };
    // What ping k left behind.
    const auto after = [&](std::size_t k) -> const SMultiPulseStep& { return s[k + 1]; };
    const auto name = [](std::size_t k) { return "ping " + std::to_string(k); };

    std::size_t a = 0;
    while (a < s.size() && !at(s[a].depth, flat, tolerance))
        ++a;
    if (!check(a + 6 <= jumpFrom && jumpFrom < s.size(), "the flat bottom found at ping " + std::to_string(a) +
                                                             ", five pings before the jump at " +
                                                             std::to_string(jumpFrom)))
        return;
    for (std::size_t k = a; k < a + 5; ++k)
        check(at(s[k].depth, flat, tolerance), name(k) + " at the flat bottom: " + std::to_string(s[k].depth));
    for (std::size_t k = a; k < a + 4; ++k)
        check(after(k).state == 0 && !after(k).paced, name(k) + " still searching at the maximum rate");
    check(after(a + 4).state == 1 && after(a + 4).paced, "the fifth ping at the flat bottom locks on");
    check(std::fabs(static_cast<double>(after(a + 4).interval) - travel(flat)) <= travel(tolerance),
          "paced at the flat bottom's travel time: " + std::to_string(after(a + 4).interval));

    std::size_t j = jumpFrom;
    while (j < s.size() && at(s[j].depth, flat, 20.0))
        ++j;
    // A ping the detector lost in the pings just before the jump (the test
    // notes the jump only once it has seen a ping, and the detector may
    // lose the bottom on any ping) is a miss of the same run.
    if (j == jumpFrom)
        while (j > a + 5 && !at(s[j - 1].depth, flat, 20.0))
            --j;
    if (!check(j + 6 <= s.size(), "five pings after the jump, from ping " + std::to_string(j)))
        return;
    for (std::size_t k = a + 4; k < j; ++k)
        check(after(k).state == 1 && after(k).paced, name(k) + " over the flat bottom keeps tracking");
    // The detector may lose the bottom for a ping or two before it finds it
    // again: a depth of 0 is a miss too.
    for (std::size_t k = j; k < j + 5; ++k)
        check(!at(s[k].depth, flat, 20.0), name(k) + " beyond the window: " + std::to_string(s[k].depth));
    for (std::size_t k = j; k < j + 4; ++k)
        check(after(k).state == 1 && after(k).paced, name(k) + ": a miss keeps tracking");
    check(after(j + 4).state == 0 && !after(j + 4).paced, "the fifth miss lets go: maximum rate");

    std::size_t b = j + 5;
    while (b < s.size() && s[b].depth == 0.0)
        ++b;
    if (!check(b + 6 <= s.size(), "five pings at the new bottom, from ping " + std::to_string(b)))
        return;
    for (std::size_t k = b; k < b + 5; ++k)
        check(at(s[k].depth, jumped, tolerance), name(k) + " at the new bottom: " + std::to_string(s[k].depth));
    for (std::size_t k = j + 5; k < b + 4; ++k)
        check(after(k).state == 0 && !after(k).paced, name(k) + " searching the new bottom");
    check(after(b + 4).state == 1 && after(b + 4).paced, "five pings at the new bottom lock on");
    check(std::fabs(static_cast<double>(after(b + 4).interval) - travel(jumped)) <= travel(tolerance),
          "paced at the new bottom's travel time: " + std::to_string(after(b + 4).interval));
}

}  // namespace zv::test
