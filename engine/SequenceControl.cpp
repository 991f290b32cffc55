#include "engine/SequenceControl.h"

#include <algorithm>

CSequenceControl::CSequenceControl(int reset, int stepCount)
    : m_stepCount(std::max(stepCount, 1)), m_done(static_cast<std::size_t>(std::max(m_stepCount, 4)), 1)
{
    if (reset)
        Reset();
}

void CSequenceControl::Reset()
{
    m_running = 1;
    m_index = 0;
    // Every step but the first is done; the first keeps its flag.
    std::fill(m_done.begin() + 1, m_done.end(), 1);
}

int CSequenceControl::GetStep(int n) const
{
    if (n < 0 || n >= static_cast<int>(m_done.size()))
        return 1;
    return m_done[static_cast<std::size_t>(n)];
}

int CSequenceControl::Next()
{
    m_done[static_cast<std::size_t>(m_index)] = 1;
    ++m_index;
    if (m_index != m_stepCount) {
        m_done[static_cast<std::size_t>(m_index)] = 0;
        return m_index;
    }
    m_index = 0;
    m_done[0] = 0;
    return 0;
}
