// The channel the display benchmarks draw: a ramp of samples with a strong
// band, twelve levels over 36 dB and a bottom at 60 m, a ping every 50 ms.
// Qt: the echogram view reads it.
#pragma once

#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/ui/EchogramView.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Each document hands its ping to its own views, as the main window does.
struct DirectViewUpdates : IViewUpdates
{
    void UpdateViews(CAbstractESDoc& document) override { document.UpdateAllViews(); }
};

// The channel as the view reads it.
struct RampViewChannel : IEchogramViewChannel
{
    explicit RampViewChannel(std::uint64_t firstPingTime = 0) : pingTime(firstPingTime) {}
    void GetColorScale(CColorScaleSettings& scale) override
    {
        for (int selector = 0; selector <= 4; ++selector)
            scale.SetValueBySelector(selector, -70.0);
        scale.SetInterval(3.0);
    }
    bool GetDepth(double& d) override
    {
        d = 60.0;
        return true;
    }
    bool IsSkipping() override { return false; }
    void SetSlopeHistorySize(int) override {}
    int GetSlopeHalfPointCount() override { return 0; }
    void UpdateSlopeValidity(bool) override {}
    bool GetSlopeAngle(double&) override { return false; }
    bool GetSecondSide(const std::string&, std::vector<std::int16_t>&) override { return false; }
    std::uint64_t GetPingTime() override { return pingTime += 500000; }
    double GetSoundVelocity() override { return 1500.0; }
    std::uint64_t pingTime;
};

// Samples of the ramp, as a channel would deliver them.
class RampChannel : public CStubEchogramChannel
{
public:
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        for (int i = 0; i < n; ++i)
            out[i] = static_cast<std::int16_t>(-6000 + (i % 400) * 10);
        return true;
    }
};

}  // namespace bench
