// The running sounder as the per-ping outputs read it, one ping at a time.
#pragma once

#include "outputs/QYNet.h"

#include <array>
#include <optional>
#include <vector>

class CEchoSounder;

class CEchoSounderPingSource : public IQYNetPingSource
{
public:
    // environmentSoundVelocity: the environment's sound velocity at this ping;
    // waterTemperature: the temperature sensor's valid reading.
    CEchoSounderPingSource(CEchoSounder& sounder, double environmentSoundVelocity,
                           std::optional<double> waterTemperature = std::nullopt)
        : m_sounder(sounder), m_soundVelocity(environmentSoundVelocity), m_waterTemperature(waterTemperature)
    {}
    int GetChannelCount() override;
    bool GetChannelPing(int index, SQYNetChannelPing& out) override;
    bool GetSamples(int index, std::int16_t* out, int n, double length, double start, int tvg, int reference) override;
    int GetSingleTargets(int index, std::vector<std::array<float, 5>>& out) override;
    double GetEnvironmentSoundVelocity() override;
    bool GetWaterTemperature(double& celsius) override;

private:
    CEchoSounder& m_sounder;
    double m_soundVelocity;
    std::optional<double> m_waterTemperature;
};
