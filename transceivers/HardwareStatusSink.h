// The hardware status window: a network unit's answers to a status request
// reach it from the unit's receive thread, and it shows them while it is
// open. Each record is the unit's datagram as received, which may be short:
// the window checks every field against the size.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>

class IHardwareStatusSink
{
public:
    virtual ~IHardwareStatusSink() = default;
    // The board's identity, supply voltages and temperatures.
    virtual void ShowStatus(const BYTE* record, std::size_t size) = 0;
    // The unit's addresses and its own text.
    virtual void FormatStatus(const BYTE* record, std::size_t size) = 0;
};
