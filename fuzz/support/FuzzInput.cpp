#include "fuzz/support/FuzzInput.h"

#include <algorithm>

std::uint8_t CFuzzInput::Byte()
{
    return Empty() ? 0 : static_cast<std::uint8_t>(m_text[m_at++]);
}

std::uint16_t CFuzzInput::Word()
{
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | Byte() << 8);
}

std::uint32_t CFuzzInput::Dword()
{
    const std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
}

std::string_view CFuzzInput::Sized()
{
    const std::size_t length = Word();
    const std::size_t n = std::min(length, m_text.size() - std::min(m_at, m_text.size()));
    const std::string_view piece = m_text.substr(std::min(m_at, m_text.size()), n);
    m_at += n;
    return piece;
}

std::string_view CFuzzInput::Until(char separator)
{
    if (Empty())
        return {};
    const std::size_t end = std::min(m_text.find(separator, m_at), m_text.size());
    const std::string_view piece = m_text.substr(m_at, end - m_at);
    m_at = end + 1;
    return piece;
}

std::string_view CFuzzInput::Rest()
{
    if (Empty())
        return {};
    const std::string_view rest = m_text.substr(m_at);
    m_at = m_text.size();
    return rest;
}
