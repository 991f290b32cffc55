// Slope of the bottom under the ship: a least-squares line through the
// depths of the last N pings laid out along the distance sailed, and an
// optional history of depths and times for the slope echogram.
#pragma once

#include "base/ModalSession.h"
#include "engine/ChannelComponents.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class CArchive;
class IDetectionDialogs;

class CSlope : public ISlopeTracker
{
public:
    static constexpr int kMaxPoints = 100;
    static constexpr int kDefaultPoints = 12;

    // What the settings dialog shows and returns.
    struct DialogValues
    {
        bool HistoryOn = false;
        int FilterSize = kDefaultPoints;
    };
    // The settings dialog; without one EditSettings reports that nothing
    // could be shown.
    explicit CSlope(IDetectionDialogs* dialogs = nullptr) : m_dialogs(dialogs) {}
    ~CSlope() override;
    CSlope(const CSlope&) = delete;
    CSlope& operator=(const CSlope&) = delete;

    // One ping: depth (m, 0 = no bottom), speed (m/s), ping time in
    // 100-ns units.
    void AddPoint(double depth, double speed, std::uint64_t time) override;
    void AddPoint(double depth, double speed, std::uint32_t timeLow, std::uint32_t timeHigh);

    bool GetSlopeAngle(double& angle) const override;
    double GetSlope() const
    {
        std::lock_guard lock(m_lock);
        return m_slope;
    }
    bool IsFitValid() const
    {
        std::lock_guard lock(m_lock);
        return m_valid;
    }
    bool GetHistoryValue(int placesBack, double& value) const override;
    double GetDistance(int a, int b) const override;
    void UpdateValidity(bool flag) override;
    void SetHistorySize(int size) override;
    // Runs the settings dialog; false only when it could not be shown. When
    // the tracker is destroyed while the dialog runs, nothing is written.
    bool EditSettings() override;
    // The columns by which the slope echogram lags: half the window.
    int GetHalfPointCount() const override
    {
        std::lock_guard lock(m_lock);
        return m_capacity / 2;
    }
    bool IsValid() const override
    {
        std::lock_guard lock(m_lock);
        return m_state != 0;
    }
    bool IsEnabled() const override
    {
        std::lock_guard lock(m_lock);
        return m_historyOn;
    }

    int GetPointCapacity() const
    {
        std::lock_guard lock(m_lock);
        return m_capacity;
    }
    void SetPointCapacity(int n);
    int GetPointCount() const
    {
        std::lock_guard lock(m_lock);
        return m_count;
    }
    bool GetValidityState() const
    {
        std::lock_guard lock(m_lock);
        return m_state != 0;
    }
    bool IsHistoryOn() const
    {
        std::lock_guard lock(m_lock);
        return m_historyOn;
    }
    void SetHistoryOn(bool on)
    {
        std::lock_guard lock(m_lock);
        m_historyOn = on;
    }
    int GetHistoryCount() const
    {
        std::lock_guard lock(m_lock);
        return m_historyCount;
    }
    double GetSmoothedSpeed() const
    {
        std::lock_guard lock(m_lock);
        return m_speed;
    }

    // Layout settings: history switch, then point capacity (32 bits each).
    void Serialize(CArchive& ar) override;

private:
    struct Point
    {
        std::uint64_t Time = 0;
        double Y = 0.0;  // negated depth
        double Speed = 0.0;
    };
    void Fit();
    void ClampPointCapacity(int n);
    void FreeHistory();

    // The ping-data thread feeds the tracker while the user-interface thread
    // applies its settings and the views read the history.
    mutable std::mutex m_lock;
    double m_speed = 0.0;
    int m_capacity = kDefaultPoints;
    int m_count = 0;
    std::array<Point, kMaxPoints> m_points{};
    double m_slope = 0.0;
    bool m_valid = false;

    bool m_historyOn = false;
    std::vector<std::uint64_t> m_historyTimes;
    std::vector<double> m_historyDepths;
    int m_head = 0;
    int m_tail = -1;
    int m_historyCount = 0;
    int m_historySize = 0;

    int m_state = 0;
    int m_holdOff = 0;

    // The settings dialog open on this tracker (user-interface thread).
    IDetectionDialogs* m_dialogs;
    CModalSession* m_dialog = nullptr;
};
