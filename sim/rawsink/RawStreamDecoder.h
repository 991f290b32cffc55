// The acquisition program's side of the raw-data stream: each UDP datagram
// is one bare datagram body of the recorded file layout, decoded here by a
// reader of its own written from that layout, so that it and the program's
// recorder check each other. A framed file (u32 length, body, u32 length)
// is read by the same decoder, for comparing what arrives with a recording.
//
//   body: <4 chars type><u32 time low><u32 time high> then by type
//   CON0  <128 text1><128 text2><128 text3><3 f32><116 zero><u32 C><C × 320 channel records>
//   RAW0  <u16 channel><u16 flags><15 f32 and i16 fields><u32 offset><u32 P><P i16 power>
//         [<P i16 angles> when flags bit 1][<2 × P f32 traces> when flags bit 3]
//   NME0, TAG0  <text NUL-terminated, padded to 4>
//   SVP0  <u32 kind><text NUL-terminated, padded to 4>
//   DEP0  <u32 N><N × (f32 depth, f32 second, 4 zero)>
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv::sim {

struct SRawDatagram
{
    std::string type;  // "CON0", "RAW0", ...
    std::uint64_t time = 0;
    std::size_t bytes = 0;

    // CON0
    std::string text1, text2, text3;
    struct SChannel
    {
        std::string id;
        float frequency = 0.0f;
    };
    std::vector<SChannel> channels;
    // RAW0
    std::uint16_t channel = 0, flags = 0;
    float frequency = 0.0f, soundVelocity = 0.0f;
    std::uint32_t sampleOffset = 0;
    std::vector<std::int16_t> power, angles;
    std::size_t traceWords = 0;
    // NME0, TAG0, SVP0
    std::uint32_t profileKind = 0;
    std::string text;
    // DEP0
    std::vector<float> depths;
};

class CRawStreamDecoder
{
public:
    static constexpr std::size_t kHeader = 12;
    static constexpr std::size_t kChannelRecord = 320;

    // False, with the reason, for a body that does not hold together.
    static bool Decode(std::span<const std::uint8_t> body, SRawDatagram& out, std::string& why);
    static std::string Describe(const SRawDatagram& d);
    // Every whole datagram of a framed file, in order; false with the
    // reason when the file cannot be read or a frame is damaged (what came
    // before it is kept).
    static bool ReadFile(const std::string& path, std::vector<SRawDatagram>& out, std::string& why);
};

}  // namespace zv::sim
