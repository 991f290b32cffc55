// The one depth telegram formatter: the depth of one channel at one ping as
// the text of one of eight telegram types. The type numbers are stored in the
// settings of several sensors and outputs, so they never change meaning.
#pragma once

#include "serialcom/device/DepthTelegramSources.h"

#include <cstdint>
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

// The text without line end; empty for an unknown type and for type 4 with a
// channel index other than 0 and 1. depth, transducerDepth and heave in
// metres; pingTime a file time (UTC). Types 3 and 7 read the sources.
std::string FormatDepthTelegram(const IDepthTelegramSources& sources, std::uint32_t type, std::int32_t checksum,
                                std::int32_t channelIndex, std::uint64_t pingTime, double depth, double transducerDepth,
                                double second, double heave);

// "*%02X" of the XOR of every character after the first.
std::string NmeaChecksumSuffix(const std::string& text);
