// One ping's depth of one channel, as every user of it receives it: the
// depth lines of the serial sensors, the recorder, the external-depth store
// and the serial I/O hub.
#pragma once

#include <cstdint>
#include <string>

struct DepthReport
{
    std::string SourceName;
    std::int32_t ChannelId = 0;
    std::uint64_t PingTime = 0;
    double Depth = 0.0;        // m below the surface, 0 when no bottom
    double BottomLevel = 0.0;  // dB, 0 when no bottom
    double DraughtAndOffset = 0.0;
    double Heave = 0.0;
    // What the serial I/O hub's fixed-width record adds: the channel's
    // frequency (Hz), its transducer depth (m) and its sound velocity (m/s).
    double Frequency = 0.0;
    double TransducerDepth = 0.0;
    double FurtherValue = 0.0;
    bool Excluded = false;  // the channel is out of the depth outputs
};
