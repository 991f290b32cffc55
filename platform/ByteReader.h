// Fields of a binary record read at their offsets, little-endian, whatever
// the host's byte order.
//
// Every read is checked against the bytes there are. A read that would run
// past the end touches nothing outside them, gives 0 (an empty text, no
// bytes) and leaves the reader failed, so that a parser of outside input can
// read its fields one after the other and ask Failed() once at the end.
//
//     CByteReader r(datagram, size);
//     const std::uint32_t count = r.U32(16);
//     const float rate = r.F32(20);
//     if (r.Failed()) return std::nullopt;
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <utility>

class CByteReader {
public:
    CByteReader(const void* data, std::size_t size) noexcept
        : m_data(static_cast<const std::uint8_t*>(data)), m_size(data != nullptr ? size : 0)
    {
    }
    explicit CByteReader(std::span<const std::uint8_t> bytes) noexcept : CByteReader(bytes.data(), bytes.size()) {}

    std::size_t Size() const { return m_size; }
    // True once any read ran past the end.
    bool Failed() const { return m_failed; }
    // True when n bytes from at lie inside; no sum of the two can wrap.
    bool Has(std::size_t at, std::size_t n) const { return at <= m_size && n <= m_size - at; }

    std::uint8_t U8(std::size_t at) { return Get<std::uint8_t>(at); }
    std::uint16_t U16(std::size_t at) { return Get<std::uint16_t>(at); }
    std::uint32_t U32(std::size_t at) { return Get<std::uint32_t>(at); }
    std::uint64_t U64(std::size_t at) { return Get<std::uint64_t>(at); }
    std::int8_t I8(std::size_t at) { return static_cast<std::int8_t>(U8(at)); }
    std::int16_t I16(std::size_t at) { return static_cast<std::int16_t>(U16(at)); }
    std::int32_t I32(std::size_t at) { return static_cast<std::int32_t>(U32(at)); }
    std::int64_t I64(std::size_t at) { return static_cast<std::int64_t>(U64(at)); }
    // IEEE single and double precision, bit for bit.
    float F32(std::size_t at) { return std::bit_cast<float>(U32(at)); }
    double F64(std::size_t at) { return std::bit_cast<double>(U64(at)); }

    // The text of a field of `area` bytes: up to its first NUL, or the whole
    // field when it holds none.
    std::string Text(std::size_t at, std::size_t area)
    {
        if (!Check(at, area))
            return {};
        const auto* p = reinterpret_cast<const char*>(m_data + at);
        const void* nul = std::memchr(p, 0, area);
        return std::string(p, nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : area);
    }

    // n bytes from at, as they are.
    std::span<const std::uint8_t> Bytes(std::size_t at, std::size_t n)
    {
        if (!Check(at, n))
            return {};
        return {m_data + at, n};
    }

private:
    bool Check(std::size_t at, std::size_t n)
    {
        if (Has(at, n))
            return true;
        m_failed = true;
        return false;
    }

    template <class T>
    T Get(std::size_t at)
    {
        if (!Check(at, sizeof(T)))
            return 0;
        return Assemble<T>(m_data + at, std::make_index_sequence<sizeof(T)>{});
    }

    // Byte by byte, so the host's order never matters; written out as one
    // expression, the compiler makes a single load of it.
    template <class T, std::size_t... I>
    static T Assemble(const std::uint8_t* p, std::index_sequence<I...>)
    {
        return static_cast<T>(((static_cast<std::uint64_t>(p[I]) << (8 * I)) | ...));
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_failed = false;
};
