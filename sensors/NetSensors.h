// The purse seine's three net sensors as the echograms mark them: for each,
// how fresh its last reading is and its depth.
#pragma once

class INetSensors
{
public:
    static constexpr int kSensors = 3;
    // No reading yet; one 10 s old or older; one younger than 10 s.
    enum State : int { kNone = 0, kOld = 1, kFresh = 2 };

    virtual ~INetSensors() = default;
    // Each sensor's state, and its depth (m) where it has a reading.
    virtual void StampSensor(int states[kSensors], double depths[kSensors]) const = 0;
};
