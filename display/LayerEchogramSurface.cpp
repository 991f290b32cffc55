#include "display/LayerEchogramSurface.h"

int CLayerEchogramSurface::GetRangeLimits(double d, double& outStart, double& outStop, double a, double b)
{
    if (d == 0.0)
        return NoBottom;
    double stop = m_range + m_start;
    if (a > m_start)
        stop -= a - m_start;
    if (b > m_start)
        m_start = b;
    m_range = stop - m_start;
    const double limit = d - m_bottomMargin;
    // Written so that a NaN anywhere ends here as "no interval".
    if (!(limit > m_start))
        return NoInterval;
    outStart = m_start;
    outStop = m_start + m_range < limit ? m_start + m_range : limit;
    return outStart <= outStop ? Inside : NoInterval;
}
