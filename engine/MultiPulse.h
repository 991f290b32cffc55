// Multipulse depth tracking: searching until the reported depth is stable,
// then tracking it until it is lost. Tracked on the ping-data thread; the
// two values the echograms mark are read from the user-interface thread.
#pragma once

#include <atomic>

class CMultiPulse
{
public:
    static constexpr int kLimit = 400;

    CMultiPulse() = default;
    virtual ~CMultiPulse() = default;

    // One step with the first channel's depth (m); while tracking, the
    // period becomes the two-way travel time of the smoothed depth at the
    // water's mean sound velocity (m/s).
    void Track(double value, double soundVelocity = 1500.0);
    int GetState() const { return m_state; }
    double GetSmoothedDepth() const { return m_smoothed.load(std::memory_order_relaxed); }
    // Tracked period in seconds; 0.0 while no period is known.
    double GetDepth() const { return m_period.load(std::memory_order_relaxed); }
    double GetScaledDepth() const { return GetDepth() * 0.75 * 1500.0; }

private:
    void ResetTracking();
    void UpdatePeriod(double soundVelocity);

    std::atomic<double> m_smoothed{0.0};
    int m_state = 0;
    int m_limit = kLimit;
    std::atomic<double> m_period{0.0};
    int m_misses = 0;
    int m_hits = 0;
    int m_tracking = 0;
};
