#include "transceivers/QYNetPortGeo.h"

#include "transceivers/RawDataBuffer.h"

#include <algorithm>
#include <cstring>

namespace geo {
namespace {

std::uint16_t U16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

}  // namespace

std::optional<Header> ReadHeader(const std::uint8_t* d, std::size_t size)
{
    if (size < 48 || U16(d + 4) != kMagic)
        return std::nullopt;
    Header h;
    h.type = U16(d + 10);
    h.subType = U16(d + 12);
    h.dataLength = U32(d + 24);
    if (h.dataLength == 0) {
        // The text ends at its zero or with the header, never beyond.
        const std::size_t end = std::min(size, kHeaderSize);
        const auto* text = reinterpret_cast<const char*>(d + kTextOffset);
        h.text.assign(text, strnlen(text, end - kTextOffset));
        return h;
    }
    h.sequence = static_cast<std::int32_t>(U32(d + 32));
    h.sampleCount = U16(d + 40);
    h.selector = U16(d + 44);
    return h;
}

Bytes Begin()
{
    return {'B', 'E', 'G', 'I', 'N', 0, 0, 0};
}

Bytes Stare()
{
    Bytes b(72, 0x01);
    std::memcpy(b.data(), "STARE\0\0\0", 8);
    return b;
}

Bytes ChannelSetup(int channel, int setting)
{
    Bytes b(64, 0);
    Put16(b, 0, static_cast<std::uint32_t>(channel));
    Put16(b, 2, static_cast<std::uint32_t>(setting));
    Put32(b, 8, static_cast<std::uint32_t>(setting));
    b[12] = 0x28;
    b[14] = 0x11;
    return b;
}

Bytes Acknowledge(bool flag)
{
    Bytes b(8, 0);
    b[0] = 0x01;
    if (flag) {
        b[1] = 0x01;
        b[2] = 0x02;
    }
    return b;
}

}  // namespace geo

void CQYNetPortGeo::SendStart()
{
    m_owner.SendToUnit(geo::Stare());
    SendChannelSetup(0);
    SendChannelSetup(1);
}

void CQYNetPortGeo::SendChannelSetup(int channel)
{
    m_owner.SendToUnit(geo::ChannelSetup(channel, m_owner.GetChannelSetting(channel)));
}

void CQYNetPortGeo::SendAcknowledge(bool flag)
{
    m_owner.SendToUnit(geo::Acknowledge(flag));
}

void CQYNetPortGeo::Drop()
{
    if (m_target)
        m_target->Abandon();
    m_target = nullptr;
    m_headerExpected = true;
    ++m_dropped;
}

void CQYNetPortGeo::OnReceive(const std::uint8_t* data, std::size_t size, std::uint64_t time)
{
    if (m_headerExpected) {
        const auto header = geo::ReadHeader(data, std::min(size, geo::kHeaderSize));
        if (!header) {
            ++m_dropped;
            return;
        }
        if (header->dataLength == 0) {
            ++m_texts;
            m_owner.OnHeaderText(header->text, time);
            SendAcknowledge(false);
            return;
        }
        if (header->sampleCount == 0) {
            ++m_dropped;
            return;
        }
        m_header = *header;
        m_received = 0;
        m_fragment = 0;
        m_headerExpected = false;
        m_target = nullptr;
        if (m_header.subType == geo::kSubTypeSamples) {
            const int pair = m_header.type == geo::kTypeFirstPair ? 0 : m_header.type == geo::kTypeSecondPair ? 2 : -1;
            if (pair >= 0)
                m_target = m_owner.ChannelBuffer(pair + (m_header.selector != 0 ? 1 : 0));
        }
        SendAcknowledge(false);
        return;
    }
    const std::uint32_t total = static_cast<std::uint32_t>(m_header.sampleCount) * 4u;
    if (size > total - m_received) {
        // More than the header announced: the datagram is not what it says.
        Drop();
        return;
    }
    m_received += static_cast<std::uint32_t>(size);
    const bool last = m_received >= total;
    if (m_target) {
        const int r =
            m_target->Write(data, static_cast<std::uint32_t>(size), m_header.sequence, m_fragment++, last, time, total);
        if (r != CRawDataBuffer::kStored) {
            m_target = nullptr;
            ++m_dropped;
        }
    }
    if (!last)
        return;
    m_headerExpected = true;
    m_target = nullptr;
    const bool resend = m_owner.TakeResendFlag();
    SendAcknowledge(resend);
    if (resend) {
        SendChannelSetup(0);
        SendChannelSetup(1);
    }
}
