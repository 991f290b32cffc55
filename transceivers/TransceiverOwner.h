// What a transceiver asks of the sounder that drives it. The owner is set
// after the transceiver has started its threads, and these are called from
// them.
#pragma once

#include <cstdint>

class ITransceiverOwner
{
public:
    virtual ~ITransceiverOwner() = default;

    // The owner's rate mode; 1 is single step, where the next ping waits
    // until the last one was taken.
    virtual int GetRateMode() const = 0;
    // A ping is complete: its time goes to the owner, which wakes its
    // ping-data thread. Returns the ping time the owner has pending.
    virtual std::uint64_t UpdatePingTime(std::uint64_t time) = 0;
    // The unit fell silent during a ping.
    virtual void SetLinkLost() = 0;
    // The owner is stopping: a worker of the owner that waits for anything
    // (the operator, a unit) gives up.
    virtual bool IsStopping() const = 0;
};
