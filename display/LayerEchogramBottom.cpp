#include "display/LayerEchogramBottom.h"

int CLayerEchogramBottom::GetRangeLimits(double d, double& outStart, double& outStop, double a, double b)
{
    if (d == 0.0)
        return NoBottom;
    m_start = d - m_start;
    const double limit = d - m_bottomMargin;
    const double stop = m_start + m_range > limit ? limit : m_start + m_range;
    if (a > m_start)
        m_start = 0.0;
    if (b > m_start)
        m_start = b;
    // A collapsed interval, or one made of NaN, is no interval.
    if (!(stop > m_start))
        return NoInterval;
    outStart = m_start;
    outStop = stop;
    return Inside;
}
