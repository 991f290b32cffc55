// The time-stamped byte message of the serial-line library.
//
// This header is the whole class: the serial library, the component that
// wraps it and the main program all build it from this one declaration, so
// the main program reads received messages (size, bytes, time stamp) without
// linking the library.
//
// Buffers are raw bytes without a terminator. Memory exhaustion never throws
// from the byte operations: they report it by their result and leave the
// message as it was.
#pragma once

#include "platform/FileTime.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

class CTarnMessage
{
public:
    // (initial capacity, grow step)
    CTarnMessage(UINT capacity, UINT growStep) : m_nGrowBy(growStep ? growStep : 1)
    {
        if (capacity) {
            m_pData = new (std::nothrow) BYTE[capacity];
            if (m_pData)
                m_nMaxSize = capacity;
        }
    }

    // The string's bytes, without a terminator.
    CTarnMessage(const std::string& text, UINT growStep) : m_nGrowBy(growStep ? growStep : 1)
    {
        if (!text.empty() && text.size() <= UINT32_MAX) {
            m_pData = new (std::nothrow) BYTE[text.size()];
            if (m_pData) {
                std::memcpy(m_pData, text.data(), text.size());
                m_nSize = m_nMaxSize = static_cast<UINT>(text.size());
            }
        }
    }

    CTarnMessage() : CTarnMessage(16, 16) {}

    CTarnMessage(const CTarnMessage& other) : m_nGrowBy(other.m_nGrowBy), m_Time(other.m_Time)
    {
        const UINT want = other.m_nSize > other.m_nGrowBy ? other.m_nSize : other.m_nGrowBy;
        m_pData = new (std::nothrow) BYTE[want];
        if (m_pData) {
            m_nMaxSize = want;
            m_nSize = other.m_nSize;
            if (m_nSize)
                std::memcpy(m_pData, other.m_pData, m_nSize);
        }
    }

    CTarnMessage& operator=(const CTarnMessage& other)
    {
        if (this == &other)
            return *this;
        m_nGrowBy = other.m_nGrowBy;
        delete[] m_pData;
        const UINT want = other.m_nSize > m_nMaxSize ? other.m_nSize : m_nMaxSize;
        m_pData = want ? new (std::nothrow) BYTE[want] : nullptr;
        if (m_pData) {
            m_nMaxSize = want;
            m_nSize = other.m_nSize;
            if (m_nSize)
                std::memcpy(m_pData, other.m_pData, m_nSize);
        } else {
            m_nMaxSize = 0;
            m_nSize = 0;
        }
        m_Time = other.m_Time;
        return *this;
    }

    virtual ~CTarnMessage() { delete[] m_pData; }

    virtual void Empty() { m_nSize = 0; }

    BOOL IsEmpty() const { return m_nSize == 0; }
    UINT GetSize() const { return m_nSize; }
    UINT GetCapacity() const { return m_nMaxSize; }
    UINT GetGrowBy() const { return m_nGrowBy; }
    BYTE* GetDataPtr() { return m_pData; }
    const BYTE* GetDataPtr() const { return m_pData; }

    // No bound check: the caller keeps the index below the used size.
    BYTE GetAt(UINT index) const { return m_pData[index]; }
    BYTE& ElementAt(UINT index) { return m_pData[index]; }
    BYTE operator[](UINT index) const { return m_pData[index]; }
    BYTE& operator[](UINT index) { return m_pData[index]; }

    int AddByte(BYTE byte)
    {
        if (!m_pData || m_nSize == m_nMaxSize) {
            if (m_nMaxSize > UINT32_MAX - m_nGrowBy)
                return 0;
            if (!Grow(m_nMaxSize + m_nGrowBy))
                return 0;
        }
        m_pData[m_nSize++] = byte;
        return 1;
    }

    int AddBytes(const BYTE* bytes, UINT count)
    {
        if (count == 0)
            return 1;
        if (!bytes)
            return 0;
        if (count > UINT32_MAX - m_nSize)
            return 0;
        if (m_nSize + count > m_nMaxSize || !m_pData) {
            const std::uint64_t shortfall = std::uint64_t(m_nSize) + count - m_nMaxSize;
            const std::uint64_t grown = m_nMaxSize + (shortfall / m_nGrowBy + 1) * m_nGrowBy;
            if (grown > UINT32_MAX)
                return 0;
            if (!Grow(static_cast<UINT>(grown)))
                return 0;
        }
        std::memcpy(m_pData + m_nSize, bytes, count);
        m_nSize += count;
        return 1;
    }

    // Growing past the capacity discards the contents.
    UINT SetSize(UINT size)
    {
        if (size > m_nMaxSize) {
            BYTE* fresh = new (std::nothrow) BYTE[size];
            if (!fresh)
                return 0;
            delete[] m_pData;
            m_pData = fresh;
            m_nMaxSize = size;
        }
        m_nSize = size;
        return m_nSize;
    }

    // The spelling is the interface's own.
    BYTE* SeachByte(BYTE byte, UINT offset)
    {
        if (!m_pData || offset >= m_nSize)
            return nullptr;
        void* hit = std::memchr(m_pData + offset, byte, m_nSize - offset);
        return static_cast<BYTE*>(hit);
    }

    void SetTime() { m_Time = CFileTime::Now(); }
    void SetTime(std::uint64_t fileTime) { m_Time = fileTime; }
    void AddTime(DWORD count) { m_Time += count; }
    void SubTime(DWORD count) { m_Time -= count; }
    std::uint64_t& GetTime() { return m_Time; }
    std::uint64_t GetTime() const { return m_Time; }

    // Exactly the used bytes, embedded zeros included.
    explicit operator std::string() const
    {
        return m_nSize ? std::string(reinterpret_cast<const char*>(m_pData), m_nSize) : std::string();
    }

private:
    bool Grow(UINT capacity)
    {
        BYTE* fresh = new (std::nothrow) BYTE[capacity];
        if (!fresh)
            return false;
        if (m_nSize)
            std::memcpy(fresh, m_pData, m_nSize);
        delete[] m_pData;
        m_pData = fresh;
        m_nMaxSize = capacity;
        return true;
    }

    UINT m_nSize = 0;
    BYTE* m_pData = nullptr;
    UINT m_nMaxSize = 0;
    UINT m_nGrowBy = 16;
    std::uint64_t m_Time = 0;
};
