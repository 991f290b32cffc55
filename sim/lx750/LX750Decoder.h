// The post-processing program's side of its datagrams, decoded from their
// published layouts by a reader of its own, so that it and the program's
// output check each other. One datagram in, one record (or the reason it is
// none) out; Describe turns a record into the line the sink prints.
//
//   Q1,hhmmsscc,<u32 tvg><f32 bottom><f32 surface start><f32 surface end><u32 S>
//       <f32 bottom start><f32 bottom end><u32 B><S i16><B i16>     44 + 2(S + B) bytes
//   E1,hhmmsscc,<u32 n><n × 5 f32>                                  16 + 20 n bytes
//   VL,hhmmsscc,yyMMdd, <f32 distance>                              24 bytes
//   PR,hhmmsscc,/UTILITY MENU/Sound Velocity=1493 m/s\0             text and its NUL
//   $GPVTG,...\0\0\0                                                NUL-padded to 4n
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv::sim {

struct SLX750Datagram
{
    enum class Kind { Echogram, EchoTrace, VesselLog, Parameter, Navigation };
    Kind kind = Kind::Navigation;
    std::size_t bytes = 0;
    // The tag's digit ('1' for channel 1 and for channel 12).
    char channel = 0;
    std::string time;  // hhmmsscc

    // Q
    std::uint32_t tvg = 0;
    float bottomDepth = 0.0f, surfaceStart = 0.0f, surfaceEnd = 0.0f, bottomStart = 0.0f, bottomEnd = 0.0f;
    std::vector<std::int16_t> surface, bottom;
    // E
    std::vector<std::array<float, 5>> targets;
    // VL
    std::string date;  // yyMMdd
    float distance = 0.0f;
    // PR (after "PR,hhmmsscc,") and navigation: the text before its NUL.
    std::string text;
};

class CLX750Decoder
{
public:
    static constexpr std::size_t kQHeader = 44;
    static constexpr std::size_t kMaxTargets = 30;

    // False, with the reason, for bytes that are none of the datagrams.
    static bool Decode(std::span<const std::uint8_t> bytes, SLX750Datagram& out, std::string& why);
    static std::string Describe(const SLX750Datagram& d);
};

}  // namespace zv::sim
