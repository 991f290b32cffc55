#include "engine/Slope.h"

#include "base/Archive.h"
#include "engine/DetectionDialogs.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

CSlope::~CSlope()
{
    CModalSession::EndAll(m_dialog);
}

void CSlope::AddPoint(double depth, double speed, std::uint32_t timeLow, std::uint32_t timeHigh)
{
    AddPoint(depth, speed, (std::uint64_t{timeHigh} << 32) | timeLow);
}

void CSlope::AddPoint(double depth, double speed, std::uint64_t time)
{
    std::lock_guard lock(m_lock);
    if (m_historyOn && m_historySize > 0) {
        if (m_historyCount < m_historySize) {
            m_tail = (m_tail + 1) % m_historySize;
            ++m_historyCount;
        } else {
            m_head = (m_head + 1) % m_historySize;
            m_tail = (m_tail + 1) % m_historySize;
        }
        m_historyTimes[static_cast<std::size_t>(m_tail)] = time;
        m_historyDepths[static_cast<std::size_t>(m_tail)] = depth;
    }

    m_speed = (m_speed == 0.0) ? speed : 0.01 * speed + 0.99 * m_speed;

    if (depth == 0.0)
        return;

    const Point p{time, -depth, speed};
    if (m_count < m_capacity) {
        m_points[static_cast<std::size_t>(m_count++)] = p;
        m_valid = false;
    } else {
        // The capacity may have been lowered since the window filled.
        m_count = m_capacity;
        std::move(m_points.begin() + 1, m_points.begin() + m_count, m_points.begin());
        m_points[static_cast<std::size_t>(m_count - 1)] = p;
    }
    if (m_count == m_capacity)
        Fit();
}

void CSlope::Fit()
{
    const int n = m_count;
    double x = 0.0;
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (int i = 0; i < n; ++i) {
        const Point& p = m_points[static_cast<std::size_t>(i)];
        if (i > 0) {
            const Point& q = m_points[static_cast<std::size_t>(i - 1)];
            // The whole 64-bit time difference, signed: a ping whose low
            // time word wrapped is still a few milliseconds after the last.
            const auto dt = static_cast<std::int64_t>(p.Time - q.Time);
            x += static_cast<double>(dt) / 1.0e7 * q.Speed;
        }
        sx += x;
        sy += p.Y;
        sxx += x * x;
        sxy += x * p.Y;
    }
    const double den = n * sxx - sx * sx;
    if (den != 0.0 && std::isfinite(den)) {
        m_slope = (n * sxy - sx * sy) / den;
        m_valid = std::isfinite(m_slope);
        if (!m_valid)
            m_slope = 0.0;
    } else {
        m_slope = 0.0;
        m_valid = false;
    }
}

bool CSlope::GetSlopeAngle(double& angle) const
{
    std::lock_guard lock(m_lock);
    if (!m_valid) {
        angle = 0.0;
        return false;
    }
    angle = std::atan(m_slope) * 180.0 / 3.14;
    return true;
}

bool CSlope::GetHistoryValue(int placesBack, double& value) const
{
    std::lock_guard lock(m_lock);
    // Only the entries filled so far: placesBack == count would be the
    // slot before the oldest one.
    if (placesBack < 0 || placesBack >= m_historyCount || m_historySize <= 0)
        return false;
    int i = m_tail - placesBack;
    if (i < 0)
        i += m_historySize;
    value = m_historyDepths[static_cast<std::size_t>(i)];
    return true;
}

double CSlope::GetDistance(int a, int b) const
{
    std::lock_guard lock(m_lock);
    if (a < 0 || b < 0 || a >= m_historyCount || b >= m_historyCount || m_historySize <= 0)
        return 0.0;
    auto at = [this](int back) {
        int i = m_tail - back;
        if (i < 0)
            i += m_historySize;
        return m_historyTimes[static_cast<std::size_t>(i)];
    };
    const auto dt = static_cast<std::int64_t>(at(b) - at(a));
    return static_cast<double>(dt) / 1.0e7 * m_speed;
}

void CSlope::UpdateValidity(bool flag)
{
    std::lock_guard lock(m_lock);
    if (flag) {
        m_holdOff = 2;
        m_state = 1;
        return;
    }
    --m_holdOff;
    if (m_state == 1 && m_holdOff < 1)
        m_state = 0;
}

void CSlope::FreeHistory()
{
    m_historyTimes.clear();
    m_historyTimes.shrink_to_fit();
    m_historyDepths.clear();
    m_historyDepths.shrink_to_fit();
    m_historySize = 0;
    m_historyCount = 0;
    m_head = 0;
    m_tail = -1;
}

void CSlope::SetHistorySize(int size)
{
    std::lock_guard lock(m_lock);
    if (!m_historyOn || size == m_historySize)
        return;
    FreeHistory();
    if (size <= 0)
        return;
    m_historyTimes.assign(static_cast<std::size_t>(size), 0);
    m_historyDepths.assign(static_cast<std::size_t>(size), 0.0);
    m_historySize = size;
}

void CSlope::SetPointCapacity(int n)
{
    std::lock_guard lock(m_lock);
    ClampPointCapacity(n);
}

void CSlope::ClampPointCapacity(int n)
{
    // The window has room for kMaxPoints; a larger capacity would write
    // behind it.
    m_capacity = std::clamp(n, 1, kMaxPoints);
}

bool CSlope::EditSettings()
{
    IDetectionDialogs* dialogs = m_dialogs;
    if (!dialogs)
        return false;
    DialogValues v;
    {
        std::lock_guard lock(m_lock);
        v.HistoryOn = m_historyOn;
        v.FilterSize = m_capacity;
    }
    CModalSession session(m_dialog);
    const bool confirmed = dialogs->RunSlope(v, session.Opened());
    // Destroyed meanwhile: nothing of this tracker may be touched now.
    if (session.OwnerGone())
        return true;
    if (!confirmed)
        return true;  // cancelled: shown, nothing changed
    std::lock_guard lock(m_lock);
    ClampPointCapacity(v.FilterSize);
    if (v.HistoryOn) {
        m_historyOn = true;
    } else {
        m_historyOn = false;
        FreeHistory();
    }
    return true;
}

void CSlope::Serialize(CArchive& ar)
{
    std::lock_guard lock(m_lock);
    if (ar.IsStoring()) {
        ar << static_cast<LONG>(m_historyOn ? 1 : 0) << static_cast<LONG>(m_capacity);
        return;
    }
    LONG on = 0;
    LONG capacity = kDefaultPoints;
    ar >> on >> capacity;
    m_historyOn = on != 0;
    ClampPointCapacity(capacity);
}
