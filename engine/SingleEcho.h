// One single echo as the echo-trace document keeps it: the six values of
// the channel's single-target record, the ping it came in, whether it is
// one of the ping's accepted (strongest) echoes, the ping's bottom depth and
// the index of the echo of the previous ping it is linked to (-1 for none).
// The owner and track id are for whoever keeps echoes in tracks of its own.
#pragma once

#include <cstdint>

class CSingleEcho
{
public:
    CSingleEcho() = default;
    virtual ~CSingleEcho() = default;
    CSingleEcho(const CSingleEcho&) = default;
    CSingleEcho& operator=(const CSingleEcho&) = default;

    void SetOwner(void* owner) { m_owner = owner; }
    void SetPingNumber(std::int32_t n) { m_pingNumber = n; }
    void SetDepth(double depth) { m_depth = depth; }
    void SetTS(double ts) { m_ts = ts; }
    void SetValue3(double v) { m_value3 = v; }
    void SetAlongshipAngle(double degrees) { m_alongship = degrees; }
    void SetAthwartshipAngle(double degrees) { m_athwartship = degrees; }
    void SetValue6(double v) { m_value6 = v; }
    // The record's fourth double, the alongship angle.
    void SetValue4(double v) { m_alongship = v; }
    void SetAccepted(bool accepted) { m_accepted = accepted ? 1 : 0; }
    void SetBottomDepth(double depth) { m_bottomDepth = depth; }
    void SetLink(std::int32_t index) { m_link = index; }
    void SetTrackId(std::int32_t id) { m_trackId = id; }

    void* GetOwner() const { return m_owner; }
    std::int32_t GetPingNumber() const { return m_pingNumber; }
    double GetDepth() const { return m_depth; }
    double GetTS() const { return m_ts; }
    double GetValue3() const { return m_value3; }
    double GetValue4() const { return m_alongship; }
    double GetAlongshipAngle() const { return m_alongship; }
    double GetAthwartshipAngle() const { return m_athwartship; }
    double GetValue6() const { return m_value6; }
    bool IsAccepted() const { return m_accepted != 0; }
    double GetBottomDepth() const { return m_bottomDepth; }
    std::int32_t GetLink() const { return m_link; }
    std::int32_t GetTrackId() const { return m_trackId; }

private:
    void* m_owner = nullptr;
    std::int32_t m_pingNumber = 0;
    double m_depth = 0.0;
    double m_ts = 0.0;
    double m_value3 = 0.0;
    double m_alongship = 0.0;
    double m_athwartship = 0.0;
    double m_value6 = 0.0;
    std::int32_t m_accepted = 0;
    double m_bottomDepth = 0.0;
    std::int32_t m_link = -1;
    std::int32_t m_trackId = -1;
};
