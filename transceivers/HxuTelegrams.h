// Datagrams between the program and a general-purpose HXU unit, all on the
// unit's port 12345. Numbers are little-endian; a two-letter code is a
// 32-bit word whose first two bytes are the letters and the others zero.
//
// The builders return the exact bytes sent; the readers check every length
// and count against the datagram before they touch a field, since a
// datagram from the wire may be short or lie about what it holds.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hxu {

using Bytes = std::vector<BYTE>;

constexpr std::uint16_t kUnitPort = 12345;
constexpr int kMaxChannels = 4;
constexpr std::size_t kMaxReceived = 65536;
constexpr std::uint32_t kNoSample = 0xFFFFFFFFu;
// The version the simulated unit reports; it is never reprogrammed.
constexpr const char* kSimulatorVersion = "HXUSIM";
// Lines of the unit's software file per code block, and their length.
constexpr int kLinesPerBlock = 10;
constexpr std::size_t kMaxLine = 100;

// --- sent to the unit -------------------------------------------------
Bytes VersionQuery();  // "VR" 4
// "CB": block number, last-block flag, the lines joined and zero-ended.
Bytes CodeBlock(std::uint32_t block, bool last, const std::string& lines);
// "C": single-channel flag and one installed word per slot. 24 bytes.
Bytes Connect(bool singleChannel, const std::array<bool, kMaxChannels>& installed);
Bytes KeepAlive();     // "CK" 4
Bytes Alarm(bool on);  // "A" 8
Bytes Disconnect();    // "D" 4

// One channel's record of the mode set; a slot without a channel sends
// all zeros.
struct ModeRecord
{
    float frequency = 0.0f;
    float power = 0.0f;  // 0: silent this ping, passive or test
    float pulseDuration = 0.0f;
    float sampleInterval = 0.0f;
    std::uint32_t samples = 0;
    bool test = false;
};
constexpr std::size_t kModeRecordSize = 36;
constexpr std::size_t kModeSetSize = 4 + kMaxChannels * kModeRecordSize;  // 148
Bytes ModeSet(const std::array<ModeRecord, kMaxChannels>& records);
std::optional<std::array<ModeRecord, kMaxChannels>> ReadModeSet(const BYTE* data, std::size_t size);

// --- received from the unit -------------------------------------------
enum class Kind { Unknown, Version, CodeBlockReply, Samples, RawBlock, Error, Warning };
// What a datagram is, by its first bytes; Unknown for anything under 4
// bytes or of no known code.
Kind KindOf(const BYTE* data, std::size_t size);

struct VersionReply
{
    std::string identity;  // from 12
    std::string version;   // from 268
    bool fatal = false;    // the word at 276
    std::string error;     // from 280
};
constexpr std::size_t kVersionReplySize = 280;  // up to the error text
constexpr std::size_t kMaxVersionReply = 2004;
Bytes EncodeVersionReply(const VersionReply& reply);
std::optional<VersionReply> ReadVersionReply(const BYTE* data, std::size_t size);

// "CR": the block number acknowledged.
Bytes EncodeCodeBlockReply(std::uint32_t block);
std::optional<std::uint32_t> ReadCodeBlockReply(const BYTE* data, std::size_t size);

// "E" and "W": the unit's text from byte 4, cut at its zero or at the end
// of the datagram.
Bytes EncodeText(char code, const std::string& text);
std::optional<std::string> ReadText(const BYTE* data, std::size_t size);

// "P": one fragment of a channel's samples.
struct Fragment
{
    int slot = 0;                     // 0-3 from the digit
    std::uint32_t first = kNoSample;  // index of the first sample
    std::uint16_t thermistor = 0;
    std::array<std::uint16_t, 3> motion{};
    BYTE status = 0;       // bit 0, bit 1
    BYTE diagnostics = 0;  // bit 0: diagnostics, bit 1: AD diagnostics
    std::vector<std::int16_t> power;
    std::vector<std::uint16_t> angles;  // empty without the angle flag
    int adCount = 0;                    // of the diagnostics block
    std::vector<std::uint32_t> adWords;
};
constexpr std::size_t kFragmentHeader = 32;
// Per AD: the words the diagnostics take, and the AD diagnostics.
constexpr int kDiagnosticWords = 4;
constexpr int kAdDiagnosticWords = 2;
Bytes EncodeFragment(const Fragment& fragment);
// Empty when the datagram is short, its digit is not 0-3, its count or
// blocks pass its end, or its AD count is neither 1 nor 4.
std::optional<Fragment> ReadFragment(const BYTE* data, std::size_t size);

// "AD": a raw block for a channel; 4 block id, 8 stride, 12 count, then
// the 16-bit words.
struct RawBlock
{
    int slot = 0;
    std::uint32_t blockId = 0;
    int stride = 0;
    int count = 0;
    std::vector<std::int16_t> words;
};
constexpr std::size_t kRawBlockHeader = 16;
Bytes EncodeRawBlock(const RawBlock& block);
std::optional<RawBlock> ReadRawBlock(const BYTE* data, std::size_t size);

// The unit's software file: its first line names the version after
// "VERSION=". Empty when the line has no such mark.
std::optional<std::string> SoftwareVersion(const std::string& firstLine);

}  // namespace hxu
