// The water temperature sensor as the status bar and replay reach it.
#pragma once

#include <optional>

class IWaterTemperature
{
public:
    virtual ~IWaterTemperature() = default;
    // The latest valid temperature (degrees C); none without one.
    virtual std::optional<double> GetTemperature() const = 0;
    // A replayed ping's temperature (degrees C); 0.0 marks it not valid.
    virtual void SetReplayTemperature(double celsius) = 0;
};
