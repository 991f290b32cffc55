// Telegrams between the program and a QY42 unit. Every datagram, both ways,
// starts with its total length (32-bit) and a four-byte code; a two-letter
// code is padded with two zero bytes. All numbers are little-endian.
//
// The builders return the exact bytes sent; the readers check every length
// before they touch a field, since a datagram from the wire may be short.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qy42 {

using Bytes = std::vector<BYTE>;

constexpr std::uint16_t kUnitPort = 12346;
constexpr std::size_t kMaxReceived = 2008;

// Code of a received datagram ("VA", "RSD#", ...), with trailing zero
// bytes removed; empty when the datagram is shorter than its header.
std::string CodeOf(const BYTE* data, std::size_t size);

// --- sent to the unit -------------------------------------------------
Bytes VersionRequest(DWORD token);                     // "VR"   12
Bytes Halt();                                          // "HD"    8
Bytes HaltClear();                                     // "HC"   16
Bytes ReceiveConfigure();                              // "RC#"  52
Bytes SetupComplete();                                 // "TC"   28
Bytes StatusRequest();                                 // "DCSR"  8
Bytes InterfaceConfigure(int channelDigit);            // "FPA0" 16
Bytes Trigger(bool external, DWORD samplesRequested);  // "TE"/"TI" 16

struct TransmitSettings
{
    BYTE channel = 0;
    float amplitude = 0.0f;
    float effectivePulseLength = 0.0f;
    float frequencyValue = 0.0f;
    float sweepValue = 0.0f;
};
Bytes TransmitParameters(const TransmitSettings& s);          // "TSP#" 80
Bytes PulseConfigure(float channelValue, float pulseLength);  // "TPC" 28

// --- received from the unit -------------------------------------------
struct Information
{
    DWORD type = 0;
    DWORD number = 0;
    std::string text;
};
// "INFO": 8 type, 12 number, 16 text (NUL-terminated, or cut at the end).
std::optional<Information> ReadInformation(const BYTE* data, std::size_t size);

struct VersionAnswer
{
    bool refused = false;  // bit 1 of the byte at 16
    std::string version;   // from 44
};
std::optional<VersionAnswer> ReadVersionAnswer(const BYTE* data, std::size_t size);

struct AuxiliaryInput
{
    DWORD sampleNumber = 0;
    BYTE flags = 0;
    float motion[3] = {};
    float thermistorOhms = 0.0f;
};
// "ACI": 8 sample number, 12 flags, 16/20/24 motion, 28 resistance.
std::optional<AuxiliaryInput> ReadAuxiliaryInput(const BYTE* data, std::size_t size);

}  // namespace qy42
