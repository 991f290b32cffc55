// A user of each ping's depth: a depth telegram on a sensor's line, the
// recorder's, or the serial I/O hub's. Called on the ping-data thread after
// the channel has released its lock, so a user may read other channels.
#pragma once

#include "sensors/DepthReport.h"

class IDepthUser
{
public:
    virtual ~IDepthUser() = default;
    virtual void TakeDepth(const DepthReport& report) = 0;
};
