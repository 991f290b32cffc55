// The one depth telegram formatter: the depth of one channel at one ping as
// the text of one of eight telegram types. The type numbers are stored in the
// settings of several sensors and outputs, so they never change meaning.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Telegram types (the stored DepthTelegram values).
enum : std::uint32_t {
    kDepthTelegramDBS = 0,        // $SDDBS, depth below the surface
    kDepthTelegramDPT = 1,        // $SDDPT, depth below transducer and its offset
    kDepthTelegramDBT = 2,        // $SDDBT, depth below the transducer
    kDepthTelegramFixed = 3,      // D<n>,hhmmsshh,  depth,+second,  1,  0
    kDepthTelegramByChannel = 4,  // DB (channel 0) or DA (channel 1)
    kDepthTelegramDA = 5,
    kDepthTelegramDB = 6,
    kDepthTelegramPSDF = 7,  // $PSDF, sound velocity, depths and data age
};

// What the formatter reads from the running program. Each may be empty: the
// sound velocity then counts as unknown, replay as off and the serial hub as
// absent.
struct SDepthTelegramSources
{
    std::function<double()> soundVelocity;
    std::function<bool()> isReplaying;
    // The serial I/O hub exists and its ZelvarWithoutHeave is on.
    std::function<bool()> hubWithoutHeave;
};
// Installed once at start-up, before any ping; not changed while pings run.
void SetDepthTelegramSources(SDepthTelegramSources sources);

// The text without line end; empty for an unknown type and for type 4 with a
// channel index other than 0 and 1. depth, transducerDepth and heave in
// metres; pingTime a file time (UTC).
std::string FormatDepthTelegram(std::uint32_t type, std::int32_t checksum, std::int32_t channelIndex,
                                std::uint64_t pingTime, double depth, double transducerDepth, double second,
                                double heave);

// "*%02X" of the XOR of every character after the first.
std::string NmeaChecksumSuffix(const std::string& text);
