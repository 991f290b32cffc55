// Pinger mode and the echo sounder's ping timing that comes with it, as every
// channel meets it on each ping. Called with a channel's lock held, so the
// pinger never calls back into a channel.
#pragma once

#include <cstdint>

class IPingerLink
{
public:
    virtual ~IPingerLink() = default;
    virtual void OnPingTime(std::uint64_t pingTime) = 0;
    virtual bool IsPingTimingOn() const = 0;
    virtual double GetPingTimingRange() const = 0;
    virtual bool IsPingerActive() const = 0;
    virtual double GetPingerRange() const = 0;
    // May shorten the power samples; returns the count to keep.
    virtual int ProcessPingerSamples(std::int16_t* samples, int count) = 0;
};
