// The records of the recorder's xtf file, in the published XTF sonar data
// format: the 1024-byte file header with one information block for each
// channel it lists, one sonar ping record a ping, and one 64-byte
// navigation record for each position sentence. Little-endian; every field
// not named here is 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv::recording {

// A channel of the file header: a side of a side-looking echogram.
struct SXtfChannelInfo
{
    int side = 0;  // 0 port (type 1), 1 starboard (type 2)
    std::string name;
    double frequency = 0.0;                              // Hz
    double horizBeamAngle = 0.0;                         // the transceiver's fourth channel value
    double beamWidth = 0.0;                              // its fifth
    double offsetX = 0.0, offsetY = 0.0, offsetZ = 0.0;  // m
    double offsetYaw = 0.0, offsetPitch = 0.0, offsetRoll = 0.0;
};

struct SXtfFileHeader
{
    std::string programName;                // cut to 7 characters
    std::string version;                    // "%u.%u.%u.%u", cut to 7 characters
    std::string fileName;                   // without folder and extension, cut to 63
    std::vector<SXtfChannelInfo> channels;  // the first six are listed
};

struct SXtfPing
{
    std::uint64_t time = 0;  // the sounder's ping time (UTC file time)
    std::uint32_t pingNumber = 0;
    double soundVelocity = 0.0;  // m/s
    double shipY = 0.0, shipX = 0.0;
    double heading = 0.0;
};

// A listed channel at one ping: its samples as its own echogram shows them
// (raw 16-bit words, -20000 for no data), at most kMaxSamples.
struct SXtfPingChannel
{
    int side = 0;
    std::uint32_t sampleCount = 0;  // of the whole ping
    double rangePerSample = 0.0;    // m
    double soundVelocity = 0.0;     // m/s
    double frequency = 0.0;         // Hz
    std::span<const std::int16_t> samples;
};

class CXtfRecords
{
public:
    static constexpr std::size_t kFileHeaderSize = 1024;
    static constexpr std::size_t kPingHeaderSize = 256;
    static constexpr std::size_t kChannelHeaderSize = 64;
    static constexpr std::size_t kNavigationSize = 64;
    static constexpr std::size_t kMaxChannels = 6;
    static constexpr std::uint32_t kMaxSamples = 2000;

    static std::vector<std::uint8_t> BuildFileHeader(const SXtfFileHeader& header);
    // The whole ping record, in one buffer for one write.
    static void BuildPingRecord(const SXtfPing& ping, std::span<const SXtfPingChannel> channels,
                                std::vector<std::uint8_t>& out);
    // The navigation record of a position sentence (GGA, GLL, GGK,
    // "$PTNL,", LLQ, LLK): its two coordinate fields as they stand, without
    // hemisphere. False (no record) for any other sentence and for one
    // whose coordinates are empty or no numbers.
    static bool BuildNavigationRecord(const std::string& sentence, std::uint64_t received,
                                      std::array<std::uint8_t, kNavigationSize>& out);
    // A raw sample word as the file's unsigned 16-bit sample.
    static std::uint16_t SampleValue(std::int16_t raw);
};

}  // namespace zv::recording
