// The values each datagram carries, as the writers take them and the readers
// give them back. Doubles of the program are narrowed to 32-bit floats on disk.
#pragma once

#include "platform/ByteReader.h"
#include "recording/DatagramFormat.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv::recording {

// One 320-byte channel record of the configuration datagram.
struct SConfigChannel
{
    std::string id;              // the channel's identification text
    std::uint32_t beamType = 0;  // 0 single beam, non-zero split beam
    double frequency = 0.0;      // Hz
    double gain = 0.0;           // dB
    double twoWayBeamAngle = 0.0;
    double angleSensAlong = 0.0;
    double angleSensAthwart = 0.0;
    double beamWidthAlong = 0.0;
    double beamWidthAthwart = 0.0;
    double angleOffsetAlong = 0.0;
    double angleOffsetAthwart = 0.0;
    double transducerX = 0.0;  // installation offsets, metres
    double transducerY = 0.0;
    double transducerZ = 0.0;
    double transducerPitch = 0.0;  // degrees
    double transducerRoll = 0.0;
    double transducerAzimuth = 0.0;
};

// Where each float of a channel record lies, for the writer and the reader.
struct SConfigChannelField
{
    std::size_t offset;
    double SConfigChannel::*value;
};
inline constexpr SConfigChannelField kConfigChannelFields[] = {
    {kConChGain, &SConfigChannel::gain},
    {kConChTwoWayBeamAngle, &SConfigChannel::twoWayBeamAngle},
    {kConChBeamWidthAlong, &SConfigChannel::beamWidthAlong},
    {kConChBeamWidthAthwart, &SConfigChannel::beamWidthAthwart},
    {kConChAngleSensAlong, &SConfigChannel::angleSensAlong},
    {kConChAngleSensAthwart, &SConfigChannel::angleSensAthwart},
    {kConChAngleOffsetAlong, &SConfigChannel::angleOffsetAlong},
    {kConChAngleOffsetAthwart, &SConfigChannel::angleOffsetAthwart},
    {kConChTransducerX, &SConfigChannel::transducerX},
    {kConChTransducerY, &SConfigChannel::transducerY},
    {kConChTransducerZ, &SConfigChannel::transducerZ},
    {kConChTransducerPitch, &SConfigChannel::transducerPitch},
    {kConChTransducerRoll, &SConfigChannel::transducerRoll},
    {kConChTransducerAzimuth, &SConfigChannel::transducerAzimuth},
};

struct SConfiguration
{
    FileTime time = 0;
    std::string fileName;  // the recording file's name, "DUMMY" on UDP
    std::string lineText;  // "L0012", empty for a fixed name, "DUMMY" on UDP
    std::string programName;
    double motionX = 0.0, motionY = 0.0, motionZ = 0.0;  // motion sensor offsets
    std::vector<SConfigChannel> channels;                // at most 8 written
    // The count a read datagram announced; above 8 only the first 8 are kept.
    std::uint32_t recordedChannelCount = 0;
};

// Every scalar of a sample datagram.
struct SSampleHeader
{
    FileTime time = 0;
    std::uint16_t channel = 0;  // 1-based
    std::uint16_t flags = 0;    // set by the writer from the blocks given
    double draught = 0.0;
    double frequency = 0.0;
    double power = 0.0;
    double pulseDuration = 0.0;
    double bandwidth = 0.0;
    double sampleInterval = 0.0;
    double soundVelocity = 0.0;
    double absorption = 0.0;
    double heave = 0.0;
    double roll1 = 0.0;
    double pitch1 = 0.0;
    double temperature = 0.0;
    double tide = 0.0;  // metres; stored as whole centimetres
    double roll2 = 0.0;
    double pitch2 = 0.0;
    std::uint32_t sampleOffset = 0;
};

// What a sample datagram is written from: the blocks are borrowed. An empty
// block is absent; angles and trace arrays, when given, hold one value per
// power sample.
struct SSampleData
{
    SSampleHeader header;
    std::span<const std::int16_t> power;
    std::span<const std::int16_t> angle;
    std::span<const float> trace1;
    std::span<const float> trace2;
};

// A sample datagram read in place: the blocks lie in the body and are read
// little-endian value by value, since a body may sit at any address of a
// mapped file. A sample past the count, or of an absent block, reads as 0.
struct SSampleView
{
    SSampleHeader header;
    std::uint32_t count = 0;
    CByteReader::Array<std::int16_t> power;  // count values, or absent
    CByteReader::Array<std::int16_t> angle;
    CByteReader::Array<float> trace1;
    CByteReader::Array<float> trace2;

    std::int16_t Power(std::uint32_t i) const { return power[i]; }
    std::int16_t Angle(std::uint32_t i) const { return angle[i]; }
    float Trace1(std::uint32_t i) const { return trace1[i]; }
    float Trace2(std::uint32_t i) const { return trace2[i]; }
    std::vector<std::int16_t> PowerSamples() const;
    std::vector<std::int16_t> AngleSamples() const;
};

struct SDepthEntry
{
    double depth = 0.0;   // metres, 0 when no bottom was found
    double second = 0.0;  // the second value of the channel's depth pair
};

}  // namespace zv::recording
