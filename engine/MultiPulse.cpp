#include "engine/MultiPulse.h"

#include <cmath>

void CMultiPulse::ResetTracking()
{
    m_smoothed = 0.0;
    m_period = 0.0;
    m_state = 0;
    m_hits = 0;
    m_tracking = 0;
}

void CMultiPulse::UpdatePeriod(double soundVelocity)
{
    // A velocity no water has gives no period rather than an interval of
    // nothing or of ever.
    const double sv = soundVelocity > 1000.0 && soundVelocity < 2500.0 ? soundVelocity : 1500.0;
    m_period = m_tracking ? 2.0 * m_smoothed.load(std::memory_order_relaxed) / sv : 0.0;
}

void CMultiPulse::Track(double v, double soundVelocity)
{
    const double window = 0.05 * m_limit;
    if (!m_tracking) {
        if (!(v < m_limit)) {
            m_hits = 0;
            m_smoothed = 0.0;
            return;
        }
        const double smoothed = m_smoothed.load(std::memory_order_relaxed);
        if (smoothed == 0.0) {
            m_hits = 1;
            m_smoothed = v;
            return;
        }
        if (std::fabs(smoothed - v) < window) {
            ++m_hits;
            m_smoothed = smoothed * 0.9 + v * 0.1;
        } else {
            m_hits = 0;
        }
        if (m_hits >= 5) {
            m_state = 1;
            m_misses = 0;
            m_tracking = 1;
        }
        UpdatePeriod(soundVelocity);
        return;
    }
    if (!(v < m_limit)) {
        ResetTracking();
        return;
    }
    const double smoothed = m_smoothed.load(std::memory_order_relaxed);
    if (std::fabs(smoothed - v) < window) {
        m_misses = 0;
        m_smoothed = smoothed * 0.9 + v * 0.1;
    } else {
        ++m_misses;
    }
    if (m_misses >= 5)
        ResetTracking();
    UpdatePeriod(soundVelocity);
}
