// Navigation's speed over ground, as the channels read it for each ping.
#pragma once

class ISpeedSource
{
public:
    virtual ~ISpeedSource() = default;
    // Knots; false without a navigation input.
    virtual bool GetSpeedKnots(double& knots) const = 0;
};
