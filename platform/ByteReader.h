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
#include <type_traits>
#include <utility>

class CByteReader
{
public:
    // data points at size bytes, as for a span.
    CByteReader(const void* data, std::size_t size) noexcept
        : m_data(static_cast<const std::uint8_t*>(data)), m_size(size)
    {}
    explicit CByteReader(std::span<const std::uint8_t> bytes) noexcept : CByteReader(bytes.data(), bytes.size()) {}

    std::size_t Size() const { return m_size; }
    // True once any read ran past the end.
    bool Failed() const { return m_failed; }
    // True when n bytes from at lie inside; no sum of the two can wrap.
    bool Has(std::size_t at, std::size_t n) const { return n <= m_size && at <= m_size - n; }

    std::uint8_t U8(std::size_t at) { return Get<std::uint8_t>(at); }
    std::uint16_t U16(std::size_t at) { return Get<std::uint16_t>(at); }
    std::uint32_t U32(std::size_t at) { return Get<std::uint32_t>(at); }
    std::uint64_t U64(std::size_t at) { return Get<std::uint64_t>(at); }
    std::int8_t I8(std::size_t at) { return Get<std::int8_t>(at); }
    std::int16_t I16(std::size_t at) { return Get<std::int16_t>(at); }
    std::int32_t I32(std::size_t at) { return Get<std::int32_t>(at); }
    std::int64_t I64(std::size_t at) { return Get<std::int64_t>(at); }
    // IEEE single and double precision, bit for bit.
    float F32(std::size_t at) { return Get<float>(at); }
    double F64(std::size_t at) { return Get<double>(at); }

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

    // A block of values of one type lying one after the other, such as the
    // samples of a datagram. Its bounds are checked once, when ArrayOf takes
    // it; a value past its count reads as 0. A default one is absent.
    template <class T>
    class Array
    {
    public:
        Array() = default;
        explicit operator bool() const { return m_data != nullptr; }
        std::size_t size() const { return m_count; }
        T operator[](std::size_t i) const { return i < m_count ? Load<T>(m_data + i * sizeof(T)) : T{}; }
        // The first values, as many as both hold, into out; how many.
        template <class U>
        std::size_t CopyTo(std::span<U> out) const
        {
            const std::size_t n = out.size() < m_count ? out.size() : m_count;
            // Integers of the same width keep their bits either way.
            constexpr bool sameBits =
                std::is_same_v<T, U> || (std::is_integral_v<T> && std::is_integral_v<U> && sizeof(T) == sizeof(U));
            if constexpr (sameBits && std::endian::native == std::endian::little) {
                if (n > 0)
                    std::memcpy(out.data(), m_data, n * sizeof(T));
                return n;
            }
            for (std::size_t i = 0; i < n; ++i)
                out[i] = static_cast<U>(Load<T>(m_data + i * sizeof(T)));
            return n;
        }

    private:
        friend class CByteReader;
        Array(const std::uint8_t* data, std::size_t count) : m_data(data), m_count(count) {}
        const std::uint8_t* m_data = nullptr;
        std::size_t m_count = 0;
    };

    // count values of T from at; an absent array when they run past the end.
    template <class T>
    Array<T> ArrayOf(std::size_t at, std::size_t count)
    {
        if (count > m_size / sizeof(T) || !Check(at, count * sizeof(T))) {
            m_failed = true;
            return {};
        }
        return {m_data + at, count};
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
        return Check(at, sizeof(T)) ? Load<T>(m_data + at) : T{};
    }

    template <class T>
    static T Load(const std::uint8_t* p)
    {
        if constexpr (std::is_floating_point_v<T>) {
            using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
            return std::bit_cast<T>(Load<Bits>(p));
        } else {
            return static_cast<T>(Assemble(p, std::make_index_sequence<sizeof(T)>{}));
        }
    }

    // Byte by byte, so the host's order never matters; written out as one
    // expression, the compiler makes a single load of it.
    template <std::size_t... I>
    static std::uint64_t Assemble(const std::uint8_t* p, std::index_sequence<I...>)
    {
        return ((static_cast<std::uint64_t>(p[I]) << (8 * I)) | ...);
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_failed = false;
};
