// Multipulse depth tracking: searching until the reported depth is stable,
// then tracking it until it is lost.
#pragma once

class CMultiPulse
{
public:
    static constexpr int kLimit = 400;

    CMultiPulse() = default;
    virtual ~CMultiPulse() = default;

    void Track(double value);
    int GetState() const { return m_state; }
    double GetSmoothedDepth() const { return m_smoothed; }
    // Tracked period in seconds; 0.0 while no period is known.
    double GetDepth() const { return m_period; }
    double GetScaledDepth() const { return m_period * 0.75 * 1500.0; }

private:
    void ResetTracking();

    double m_smoothed = 0.0;
    int m_state = 0;
    int m_limit = kLimit;
    double m_period = 0.0;
    int m_misses = 0;
    int m_hits = 0;
    int m_tracking = 0;
};
