// The hand-over of a channel's single targets to the outside calibration
// component that the user linked to it. The sounder that owns the link gives
// each of its channels this role; a channel whose link flag is set calls it
// on the first request of every ping, under its own lock, on the requesting
// thread. Whatever happens to the component, the call returns: the channel
// takes what it says into its flags and shows the box it asks for once its
// lock is released.
#pragma once

#include "engine/TSDetection.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <string>

class CChannel;

// What the channel holds of the values the component is told, copied under
// its lock.
struct SCalibrationChannelValues
{
    double Frequency = 0.0;         // Hz
    double Power = 0.0;             // W
    double BeamWidthAlong = 0.0;    // degrees, 3 dB
    double BeamWidthAthwart = 0.0;  // degrees, 3 dB
    std::int32_t BeamType = 0;      // 0 single beam, else split beam
    double Gain = 0.0;              // dB
    double TwoWayBeamAngle = 0.0;   // dB
    double SensitivityAlong = 0.0;
    double SensitivityAthwart = 0.0;
    double OffsetAlong = 0.0;     // degrees
    double OffsetAthwart = 0.0;   // degrees
    double PulseLength = 0.0;     // s
    double SampleDistance = 0.0;  // m per sample
    double MinimumTS = 0.0;       // dB, as the detection used it
    CTSDetection::Settings Detection;
    double Absorption = 0.0;  // dB/m
};

struct SCalibrationHandOverResult
{
    // The parameter set went out: it is not sent again for this channel.
    bool parametersSent = false;
    // The link is gone (its stream failed, or the component stopped
    // answering): the channel's link flag is cleared.
    bool linkOff = false;
    // A box to show, without waiting for it, once the lock is released.
    std::string boxCaption;
    std::string boxText;
};

class ICalibrationHandOver
{
public:
    virtual ~ICalibrationHandOver() = default;
    // The channel's ping at pingTime (a file time) and its single targets;
    // sendParameters while the channel's parameter set has not gone out.
    virtual SCalibrationHandOverResult HandOver(const CChannel& channel, const SCalibrationChannelValues& values,
                                                bool sendParameters, const SingleTargetRecord& record,
                                                std::uint64_t pingTime) = 0;
};
