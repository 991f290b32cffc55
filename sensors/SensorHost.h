// What the serial sensors ask of the program around them while a line
// arrives: whether recorded data is replayed, in which case what the line
// brings is neither shown nor decoded. Called on the serial reader threads.
#pragma once

class ISensorHost
{
public:
    virtual ~ISensorHost() = default;
    virtual bool IsReplaying() const = 0;
};

// No program around the sensor: live data.
class CLiveSensorHost final : public ISensorHost
{
public:
    bool IsReplaying() const override { return false; }
};
