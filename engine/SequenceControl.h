// Steps a ping sequence over the channels: each trigger cycle one step is
// the current one, and a transceiver asks per channel whether its step is done.
#pragma once

#include <vector>

class CSequenceControl
{
public:
    CSequenceControl(int reset, int stepCount);
    virtual ~CSequenceControl() = default;

    void Reset();
    void Stop() { m_running = 0; }
    int GetStep(int n) const;
    int Next();
    int IsRunning() const { return m_running; }
    int GetStepCount() const { return m_stepCount; }

private:
    int m_running = 0;
    int m_index = 0;
    int m_stepCount = 1;
    // One flag per step: a sounder may have up to eight channels, so the
    // flags are sized by the step count (at least the four that the step
    // queries of a four-channel unit expect).
    std::vector<int> m_done;
};
