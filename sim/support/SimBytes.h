// Little-endian words in the simulators' datagrams, written and read as the
// units' tables lay them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace simbytes {

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8 & 0xFF);
}

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

inline std::uint32_t Get16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

inline std::uint32_t Get32(const std::uint8_t* p)
{
    return Get16(p) | Get16(p + 2) << 16;
}

inline float GetFloat(const std::uint8_t* p)
{
    const std::uint32_t w = Get32(p);
    float f = 0.0f;
    std::memcpy(&f, &w, 4);
    return f;
}

}  // namespace simbytes
