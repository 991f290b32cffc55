// Layout of the recorded datagram stream: every number that the writers and
// readers of raw and out files share. Fields are always read and written one
// by one, little-endian, never by casting a structure over the bytes, so
// neither alignment nor padding of the compiler can change what is on disk.
//
// Framing in a file:
//     u32 L | L bytes of body | u32 L
// Body header:
//     "RAW0" | u32 time low | u32 time high | ...type-specific fields...
#pragma once

#include "engine/RawPower.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zv::recording {

// 100 ns units since 1601-01-01 UTC.
using FileTime = std::uint64_t;

// Four-character datagram types as the 32-bit word that holds their bytes in
// file order ("RAW0" is the bytes 'R','A','W','0').
constexpr std::uint32_t MakeType(const char (&t)[5])
{
    return std::uint32_t(std::uint8_t(t[0])) | std::uint32_t(std::uint8_t(t[1])) << 8 |
           std::uint32_t(std::uint8_t(t[2])) << 16 | std::uint32_t(std::uint8_t(t[3])) << 24;
}
constexpr std::uint32_t kTypeCON0 = MakeType("CON0");
constexpr std::uint32_t kTypeRAW0 = MakeType("RAW0");
constexpr std::uint32_t kTypeNME0 = MakeType("NME0");
constexpr std::uint32_t kTypeTAG0 = MakeType("TAG0");
constexpr std::uint32_t kTypeSVP0 = MakeType("SVP0");
constexpr std::uint32_t kTypeDEP0 = MakeType("DEP0");

std::string TypeName(std::uint32_t type);

constexpr std::size_t kFrameWords = 8;   // the two length words around a body
constexpr std::size_t kHeaderSize = 12;  // type and time

// Configuration datagram.
constexpr std::size_t kConText1 = 12;
constexpr std::size_t kConText2 = 140;
constexpr std::size_t kConText3 = 268;
constexpr std::size_t kConTextSize = 128;
constexpr std::size_t kConMotionOffsets = 396;
constexpr std::size_t kConChannelCount = 524;
constexpr std::size_t kConChannels = 528;
constexpr std::size_t kConChannelSize = 320;
constexpr std::size_t kConMaxChannels = 8;
// Offsets inside one 320-byte channel record.
constexpr std::size_t kConChId = 0;
constexpr std::size_t kConChBeamType = 128;
constexpr std::size_t kConChFrequency = 132;
// The transceiver's nine channel values are numbered in the order its
// channel record holds them: 1 gain, 2 two-way beam angle, 3 bandwidth (not
// here: it travels in every sample datagram), 4-5 angle sensitivities, 6-7
// 3 dB beam widths, 8-9 angle offsets. The record stores 1, 2, 6, 7, 4, 5, 8, 9.
constexpr std::size_t kConChGain = 136;
constexpr std::size_t kConChTwoWayBeamAngle = 140;
constexpr std::size_t kConChBeamWidthAlong = 144;
constexpr std::size_t kConChBeamWidthAthwart = 148;
constexpr std::size_t kConChAngleSensAlong = 152;
constexpr std::size_t kConChAngleSensAthwart = 156;
constexpr std::size_t kConChAngleOffsetAlong = 160;
constexpr std::size_t kConChAngleOffsetAthwart = 164;
// The channel's installation: transducer X, Y, Z, pitch, roll, azimuth.
constexpr std::size_t kConChTransducerX = 168;
constexpr std::size_t kConChTransducerY = 172;
constexpr std::size_t kConChTransducerZ = 176;
constexpr std::size_t kConChTransducerPitch = 180;
constexpr std::size_t kConChTransducerRoll = 184;
constexpr std::size_t kConChTransducerAzimuth = 188;

// Sample datagram.
constexpr std::size_t kRawChannel = 12;
constexpr std::size_t kRawFlags = 14;
constexpr std::size_t kRawDraught = 16;
constexpr std::size_t kRawFrequency = 20;
constexpr std::size_t kRawPower = 24;
constexpr std::size_t kRawPulse = 28;
constexpr std::size_t kRawBandwidth = 32;
constexpr std::size_t kRawSampleInterval = 36;
constexpr std::size_t kRawSoundVelocity = 40;
constexpr std::size_t kRawAbsorption = 44;
constexpr std::size_t kRawHeave = 48;
constexpr std::size_t kRawRoll1 = 52;
constexpr std::size_t kRawPitch1 = 56;
constexpr std::size_t kRawTemperature = 60;
constexpr std::size_t kRawTide = 64;
constexpr std::size_t kRawRoll2 = 68;
constexpr std::size_t kRawPitch2 = 72;
constexpr std::size_t kRawSampleOffset = 76;
constexpr std::size_t kRawCount = 80;
constexpr std::size_t kRawData = 84;
constexpr std::uint16_t kRawFlagPower = 0x0001;
constexpr std::uint16_t kRawFlagAngle = 0x0002;
constexpr std::uint16_t kRawFlagTrace = 0x0008;

// Text datagrams (sentences, annotations).
constexpr std::size_t kTextOffset = 12;
constexpr std::size_t kTextMaxChars = 199;
constexpr std::size_t kTextMaxBody = 212;

// Profile datagram.
constexpr std::size_t kSvpKind = 12;
constexpr std::size_t kSvpText = 16;
constexpr std::size_t kSvpMaxChars = 24999;
constexpr std::size_t kSvpMaxBody = 25016;
constexpr std::uint32_t kSvpKindOrdinary = 0;
constexpr std::uint32_t kSvpKindRealTime = 3;

// Depth datagram.
constexpr std::size_t kDepCount = 12;
constexpr std::size_t kDepEntries = 16;
constexpr std::size_t kDepEntrySize = 12;
constexpr std::size_t kDepMaxEntries = 8;

// Power word that marks a sample without echo, as the channels mark it.
constexpr std::int16_t kNoPower = rawpower::kNoEcho;

}  // namespace zv::recording
