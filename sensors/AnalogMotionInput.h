// The heave sensor's analog input: a transceiver that samples the motion
// sensor's voltages hands each reading over under its own name. The sensor
// takes the readings only of the transceiver its settings name.
#pragma once

#include <cstdint>
#include <string>

// One reading: when it was taken (100 ns units since 1601, UTC) and the
// three voltages in hundredths of a volt (volts x 100, truncated).
struct AnalogMotionSample
{
    std::uint64_t time = 0;
    std::int16_t heave = 0;
    std::int16_t roll = 0;
    std::int16_t pitch = 0;
};

class IAnalogMotionInput
{
public:
    virtual ~IAnalogMotionInput() = default;
    virtual void AddAnalogSamples(const std::string& transceiverName, const AnalogMotionSample* samples, int count) = 0;
};
