// Fields of a binary record written at their offsets, little-endian, whatever
// the host's byte order, into bytes the caller has sized for the record.
//
// Every write is checked against the bytes there are: one that would run
// past the end writes nothing and leaves the writer failed, so a record laid
// out wrongly is seen instead of overrunning its buffer.
//
//     std::vector<std::uint8_t> b(28, 0);
//     CByteWriter w(b);
//     w.U32(0, 28);
//     w.F32(12, depth);
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

class CByteWriter
{
public:
    // data points at size bytes, as for a span.
    CByteWriter(void* data, std::size_t size) noexcept : m_data(static_cast<std::uint8_t*>(data)), m_size(size) {}
    explicit CByteWriter(std::span<std::uint8_t> bytes) noexcept : CByteWriter(bytes.data(), bytes.size()) {}

    std::size_t Size() const { return m_size; }
    // True once any write ran past the end.
    bool Failed() const { return m_failed; }

    void U8(std::size_t at, std::uint8_t v) { Put(at, v); }
    void U16(std::size_t at, std::uint16_t v) { Put(at, v); }
    void U32(std::size_t at, std::uint32_t v) { Put(at, v); }
    void U64(std::size_t at, std::uint64_t v) { Put(at, v); }
    void I8(std::size_t at, std::int8_t v) { Put(at, v); }
    void I16(std::size_t at, std::int16_t v) { Put(at, v); }
    void I32(std::size_t at, std::int32_t v) { Put(at, v); }
    void I64(std::size_t at, std::int64_t v) { Put(at, v); }
    // IEEE single and double precision, bit for bit.
    void F32(std::size_t at, float v) { Put(at, v); }
    void F64(std::size_t at, double v) { Put(at, v); }

    // Values of one type one after the other from at, such as the samples
    // of a datagram; checked once, all or nothing.
    template <class T>
    void Array(std::size_t at, std::span<const T> values)
    {
        if (values.size() > m_size / sizeof(T) || !Check(at, values.size() * sizeof(T))) {
            m_failed = true;
            return;
        }
        if constexpr (std::endian::native == std::endian::little && std::is_arithmetic_v<T>) {
            // The host's bytes are already the record's: one block copy.
            if (!values.empty())
                std::memcpy(m_data + at, values.data(), values.size() * sizeof(T));
        } else {
            for (std::size_t i = 0; i < values.size(); ++i)
                Store(m_data + at + i * sizeof(T), values[i]);
        }
    }

    // A text in a field of `area` bytes: at most area-1 characters, then
    // zeros to the end of the field, so it always ends with a NUL.
    void Text(std::size_t at, std::size_t area, std::string_view text)
    {
        if (!Check(at, area) || area == 0) {
            m_failed = true;  // a field of no bytes cannot hold even the NUL
            return;
        }
        const std::size_t n = text.size() < area ? text.size() : area - 1;
        std::memcpy(m_data + at, text.data(), n);
        std::memset(m_data + at + n, 0, area - n);
    }

    // n bytes as they are (characters without a terminator, codes).
    void Bytes(std::size_t at, const void* bytes, std::size_t n)
    {
        if (n == 0 || !Check(at, n))
            return;
        std::memcpy(m_data + at, bytes, n);
    }

private:
    bool Check(std::size_t at, std::size_t n)
    {
        if (n <= m_size && at <= m_size - n)
            return true;
        m_failed = true;
        return false;
    }

    template <class T>
    void Put(std::size_t at, T v)
    {
        if (Check(at, sizeof(T)))
            Store(m_data + at, v);
    }

    template <class T>
    static void Store(std::uint8_t* p, T v)
    {
        if constexpr (std::is_floating_point_v<T>) {
            using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
            Store(p, std::bit_cast<Bits>(v));
        } else {
            Scatter(p, static_cast<std::uint64_t>(v), std::make_index_sequence<sizeof(T)>{});
        }
    }

    // Byte by byte, so the host's order never matters; written out as one
    // expression, the compiler makes a single store of it.
    template <std::size_t... I>
    static void Scatter(std::uint8_t* p, std::uint64_t v, std::index_sequence<I...>)
    {
        ((p[I] = static_cast<std::uint8_t>(v >> (8 * I))), ...);
    }

    std::uint8_t* m_data;
    std::size_t m_size;
    bool m_failed = false;
};
