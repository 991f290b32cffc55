// Any bytes as a datagram to the post-processing sink: decoded, and when
// they decode, described as the sink prints them.
#include "sim/lx750/LX750Decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zv::sim::SLX750Datagram d;
    std::string why;
    if (zv::sim::CLX750Decoder::Decode(std::span(data, size), d, why))
        zv::sim::CLX750Decoder::Describe(d);
    return 0;
}
