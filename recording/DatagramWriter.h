// Builds the bodies of the recorded datagrams, already framed with their two
// length words, so a file gets the whole frame in one piece and the UDP copy
// gets the body alone.
#pragma once

#include "recording/DatagramRecords.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zv::recording {

// u32 L | body | u32 L, in one buffer.
class CFramedDatagram
{
public:
    CFramedDatagram() = default;
    explicit CFramedDatagram(std::size_t bodySize);

    std::span<const std::uint8_t> Framed() const { return m_bytes; }
    std::span<const std::uint8_t> Body() const
    {
        return m_bytes.empty() ? std::span<const std::uint8_t>()
                               : std::span<const std::uint8_t>(m_bytes).subspan(4, m_bytes.size() - 8);
    }
    std::uint8_t* BodyData() { return m_bytes.data() + 4; }
    std::uint8_t* FramedData() { return m_bytes.data(); }
    std::size_t BodySize() const { return m_bytes.empty() ? 0 : m_bytes.size() - 8; }
    // Sizes the buffer for a body of n bytes, zeroed, with the length words.
    void Reset(std::size_t bodySize);
    // The same without clearing the body, for a builder that writes every
    // byte of it: a reused buffer keeps its old bytes until overwritten.
    void Resize(std::size_t bodySize);

private:
    std::vector<std::uint8_t> m_bytes;
};

class CDatagramWriter
{
public:
    enum class EChannels { All, Out };

    // "CON0": kind All takes the first 8 channels (raw file, UDP copy); kind
    // Out takes those of the first four whose out switch is on.
    static CFramedDatagram BuildConfiguration(const SConfiguration& config, EChannels kind,
                                              const bool outSwitch[4] = nullptr);
    // "RAW0"; the flags are set from the blocks that are present. Trace
    // arrays are written only when both are given. The bytes of the pieces
    // of a CSampleFrame (in which the files take it), in one buffer.
    static void BuildSample(const SSampleData& data, CFramedDatagram& out);
    static CFramedDatagram BuildSample(const SSampleData& data);
    // Its fixed part, the 84 bytes before the sample blocks, and the flags
    // of the blocks that are present.
    static void BuildSampleHeader(const SSampleData& data, std::span<std::uint8_t, kRawData> out);
    static std::uint16_t SampleFlags(const SSampleData& data);
    // "NME0" or "TAG0".
    static CFramedDatagram BuildText(std::uint32_t type, std::string_view text, FileTime time);
    // "SVP0" with profile kind 0 (ordinary) or 3 (real time).
    static CFramedDatagram BuildProfile(std::string_view text, FileTime time, std::uint32_t kind);
    // "DEP0": at most 8 entries.
    static CFramedDatagram BuildDepth(std::span<const SDepthEntry> entries, FileTime time);

    static std::size_t TextBodySize(std::size_t chars);
    static std::size_t ProfileBodySize(std::size_t chars);
    static std::size_t SampleBodySize(const SSampleData& data);
};

}  // namespace zv::recording
