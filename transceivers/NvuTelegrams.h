// Datagrams the program sends to a wide-band NVU unit. Every datagram, both
// ways, starts with its total length (32-bit) and a four-byte code; a
// two-letter code is padded with two zero bytes, "RC#" and "RES" with one.
// All numbers are little-endian. What the unit sends back shares its layout
// with the QY42 unit's and is read by the readers of QY42Telegrams.h.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <cstdint>
#include <vector>

namespace nvu {

using Bytes = std::vector<BYTE>;

constexpr std::uint16_t kUnitPort = 12346;
constexpr int kMaxChannels = 4;

Bytes VersionRequest(DWORD token);  // "VR"    12
Bytes Halt();                       // "HD"     8
Bytes HaltClear();                  // "HC"    16
// "RC#" 52: 8 the values 0 to 31, 40 0x00010104, 44 0x000A0003, 48 zero.
Bytes ReceiveConfigure();
Bytes Synchronise();  // "SYNC"   8
// "OM" 36: 16 the value 15, 32 the mask of channels that share a
// transducer with one other.
Bytes OperatingMode(DWORD pairingMask);
// "TC" 28: 8 the channel enables (a bit cleared per passive channel).
Bytes ChannelEnables(DWORD mask);
Bytes StatusRequest();  // "DCSR" 8
// "FPA#" with the channel digit: 8 control word, 10 FF 43 FF FF, 14 mode.
Bytes FrontEndConfigure(int channel, bool present, int decimation, int argument);
Bytes RecordSamples(DWORD samples);                    // "RI" 12
Bytes Trigger(bool external, DWORD samplesRequested);  // "TE"/"TI" 16
Bytes Restart();                                       // "RES" 12

struct TransmitPulse
{
    BYTE channel = 0;
    bool last = false;
    float duration = 0.0f;  // s, the ramp taken off
    float amplitude = 0.0f;
    float ramp = 0.0f;
    float rampStep = 0.0f;
    float rate = 0.0f;
    float slope = 0.0f;
};
Bytes TransmitPulseTelegram(const TransmitPulse& p);  // "TSP#" 80
// "RG" 144: the six sample counts of the ping timing, each with its event.
Bytes PingTiming(const std::array<DWORD, 6>& counts);
Bytes TestCommand(DWORD mode);  // "RG" 144, the diagnostic window's test

}  // namespace nvu
