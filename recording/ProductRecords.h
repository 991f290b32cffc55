// The records of the recorder's txt and dg products: the depth line a
// channel writes into the txt file every ping, and the echogram storage
// record (two resampled echogram windows of a channel) of the dg file.
#pragma once

#include "recording/DatagramWriter.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zv::recording {

// What heads an echogram storage record.
struct SDgHeader
{
    std::size_t channel = 0;     // 0..3
    std::uint64_t pingTime = 0;  // the channel's last ping (UTC file time)
    std::uint32_t tvgType = 3;   // 0 none, 3 20 log R, 4 30 log R, 2 40 log R
    double bottomDepth = 0.0;    // m, 0 without a bottom
    double surfaceStart = 0.0, surfaceRange = 0.0;
    double bottomStart = 0.0, bottomRange = 0.0;
};

class CProductRecords
{
public:
    static constexpr std::size_t kDgHeaderSize = 44;
    // The most samples (surface and bottom together) a dg record holds.
    static constexpr std::uint32_t kDgMaxSamples = 30000;

    // "ddMMyyyy\t\t\tHHmmss.cc\t\t\t,depth,kHz \r\n" in local time.
    static std::string TxtDepthLine(std::uint64_t pingTime, double depth, double frequencyHz);
    // Framed like a datagram: u32 L, the header, the surface samples, then
    // the bottom samples, u32 L.
    static void BuildDgRecord(const SDgHeader& header, std::span<const std::int16_t> surface,
                              std::span<const std::int16_t> bottom, CFramedDatagram& out);
};

}  // namespace zv::recording
