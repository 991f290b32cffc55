// What a transceiver asks of the sounder that drives it. The owner is set
// after the transceiver has started its threads, and these are called from
// them.
#pragma once

#include <cstdint>
#include <optional>

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
    // The unit gave up its ping (lost, or passed over): the owner's
    // ping-data thread goes on without a new ping time.
    virtual void UnlockSemaphore() = 0;
    // The ping released next is passed over by the ping-data thread; the
    // trigger thread clears the mark before each trigger.
    virtual void SetSkip() = 0;
    // The ping sequence's step flag of a channel (its position counted over
    // the units, two per unit); 1: the channel is silent this ping.
    virtual int GetStep(int index) const = 0;
    // The range (m) multipulse tracking asks for while it tracks; empty
    // otherwise.
    virtual std::optional<double> GetMultiPulseScaledDepth() const = 0;
    // The time (s) a unit samples a ping while pinger mode paces the pings;
    // empty otherwise.
    virtual std::optional<double> GetPingerScaledParameter() const = 0;
    // The unit fell silent during a ping.
    virtual void SetLinkLost() = 0;
    // The owner is stopping: a worker of the owner that waits for anything
    // (the operator, a unit) gives up.
    virtual bool IsStopping() const = 0;
    // The diagnostic window's test selection goes to every unit of the
    // owner (CTransceiver::SendTestCommand).
    virtual void SendTestCommandToAll(int mode) {}
};
