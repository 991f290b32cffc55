// The bytes of one fuzz input, taken from the front: single numbers that
// choose what a target does, and pieces that stand for one datagram, line or
// file each. Past the end everything reads as zero or empty, so a target
// never has to check the length itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CFuzzInput
{
public:
    CFuzzInput(const std::uint8_t* data, std::size_t size) : m_text(reinterpret_cast<const char*>(data), size) {}

    bool Empty() const { return m_at >= m_text.size(); }
    std::uint8_t Byte();
    std::uint16_t Word();
    std::uint32_t Dword();
    // A piece of a 16-bit length (little-endian) and that many bytes, or what
    // is left when fewer are.
    std::string_view Sized();
    // Up to the next separator (dropped) or the end.
    std::string_view Until(char separator);
    std::string_view Rest();

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};
