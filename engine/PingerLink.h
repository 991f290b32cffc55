// Pinger mode and the echo sounder's ping timing that comes with it, as the
// program reaches it: every channel on each ping, with the channel's lock
// held (so the pinger never calls back into a channel); operation control,
// the running sounder and the depth documents on their own threads.
#pragma once

#include <cstdint>

class IPingerLink
{
public:
    virtual ~IPingerLink() = default;

    // Each channel's ping.
    virtual void OnPingTime(std::uint64_t pingTime) = 0;
    virtual bool IsPingTimingOn() const = 0;
    virtual double GetPingTimingRange() const = 0;
    virtual bool IsPingerActive() const = 0;
    virtual double GetPingerRange() const = 0;
    // The pinger's channel's power samples of a ping, at the channel's
    // sample interval (s); may move them so that they start at the pinger.
    // Returns the count to keep.
    virtual int ProcessPingerSamples(std::int16_t* samples, int count, double sampleInterval,
                                     std::uint64_t pingTime) = 0;

    // Operation control: synchronise the pinger (false: it did not), and
    // switch pinger mode on or off.
    virtual bool Synchronise() = 0;
    virtual void SetActive(bool active) = 0;
    // The sounder's ping interval while pinger mode sets it (s); false: the
    // interval stays.
    virtual bool GetPingInterval(double& seconds) = 0;
    // The units: how long to sample a ping while pinger mode sets the
    // interval (s); false: it does not.
    virtual bool GetPingerScaledInterval(double& seconds) = 0;
    // The depth documents: true while the pinger synchronises, with its
    // depth (m), which they show instead of the bottom.
    virtual bool GetPingerDepth(double& depth) const = 0;
    // The transceivers, as they set up a channel: the pinger's pulse length
    // (ms) while pinger mode is on; false: it is off.
    virtual bool GetPulseLength(double& milliseconds) const = 0;
};
