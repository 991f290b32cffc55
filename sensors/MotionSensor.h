// The motion sensor as the channels and the units that ping read it: the
// vessel's motion at a time. Called on the ping-data thread with a channel's
// lock held, so a sensor never calls back into a channel.
#pragma once

#include <cstdint>

// Where the transducer sits from the vessel's reference point (m): what the
// sensor needs of a transducer's parameters to give the heave at it.
struct TransducerOffsets
{
    double TransducerDown = 0.0;
    double TransducerAlong = 0.0;
    double TransducerAthwart = 0.0;
};

class IMotionSensor
{
public:
    virtual ~IMotionSensor() = default;
    // Heave (m), roll and pitch (degrees) and the heave at the transducer
    // (m) at a file time; false without a sensor.
    virtual bool GetMotionAtTime(std::uint64_t time, const TransducerOffsets& transducer, double out[4]) = 0;
    // Where the sensor sits (m): along, athwart, down; false without one.
    virtual bool GetSensorOffsets(double& along, double& athwart, double& depth) const = 0;
    // Forgets the motion it has (the computer's clock was set).
    virtual void ResetHistory() = 0;
};
