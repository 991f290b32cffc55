// The road between a network unit's driver and the unit: datagrams to the
// unit, by the path the driver sends them on, and datagrams from it. The
// program's road is UDP (CUdpDatagramLink); a test hands the driver a link
// in the process instead, so the driver runs the same code against both.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>

class IDatagramLink
{
public:
    // The unit tells its telegrams apart by the path they come on: commands,
    // the unit's answers among them, and data (triggers, transmit set-up).
    // The parting word goes out once the link is stopped.
    enum Path { kCommand, kData, kParting };

    // Results of Receive besides a length.
    static constexpr int kError = -1;
    static constexpr int kTimeout = -2;
    static constexpr int kStopped = -3;
    static constexpr int kForeign = -4;  // a datagram of someone else, dropped

    virtual ~IDatagramLink() = default;

    // Sends one datagram to the unit; false when it did not go out whole.
    virtual bool Send(Path path, const BYTE* data, std::size_t size) = 0;
    // Waits up to timeoutMs for one datagram from the unit on the command
    // path; its length (cut to capacity), or one of the results above.
    virtual int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) = 0;
    // Ends the present wait and every later one, from any thread.
    virtual void Stop() = 0;
};
