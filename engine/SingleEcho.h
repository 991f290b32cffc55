// One single echo as the echo-trace document keeps it; the document links
// echoes of consecutive pings into tracks by the track id.
#pragma once

#include <cstdint>

class CSingleEcho
{
public:
    CSingleEcho() = default;
    virtual ~CSingleEcho() = default;

    void SetOwner(void* owner) { m_owner = owner; }
    void SetDepth(double depth) { m_depth = depth; }
    void SetValue3(double v) { m_value3 = v; }
    void SetValue4(double v) { m_value4 = v; }
    void SetAccepted(bool accepted) { m_accepted = accepted ? 1 : 0; }
    void SetTrackId(std::int32_t id) { m_trackId = id; }

    void* GetOwner() const { return m_owner; }
    double GetDepth() const { return m_depth; }
    double GetValue3() const { return m_value3; }
    double GetValue4() const { return m_value4; }
    bool IsAccepted() const { return m_accepted != 0; }
    std::int32_t GetTrackId() const { return m_trackId; }

private:
    void* m_owner = nullptr;
    double m_depth = 0.0;
    double m_value3 = 0.0;
    double m_value4 = 0.0;
    std::int32_t m_accepted = 0;
    std::int32_t m_trackId = -1;
};
