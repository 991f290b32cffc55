// The GEO unit's datagram road as the program reads it: per ping and channel
// a 128-byte header, then the channel's samples in data datagrams, each
// acknowledged; a header without data carries a text telegram instead.
// The port takes one datagram at a time and does no I/O of its own: its
// owner receives on a socket thread and sends what the port hands it, so the
// same code runs on the network, in tests and in the fuzz target.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CRawDataBuffer;

namespace geo {

constexpr std::uint16_t kUnitPort = 502;  // TCP for the start, UDP for the rest
constexpr std::size_t kHeaderSize = 128;
constexpr std::uint16_t kMagic = 0xBABE;
constexpr std::uint16_t kTypeFirstPair = 111;   // channels 0 and 1
constexpr std::uint16_t kTypeSecondPair = 112;  // channels 2 and 3
constexpr std::uint16_t kSubTypeSamples = 2;
constexpr int kMaxChannels = 4;
constexpr std::size_t kTextOffset = 34;

// A header datagram (little-endian):
//   4 magic 0xBABE (16) | 10 type 111/112 (16) | 12 sub-type, 2 samples (16)
//   24 data length (32)
//   data headers: 32 sequence (32) | 40 sample count (16) | 44 selector (16)
//   text headers (data length 0): 34 the text, to its zero or the header's end
struct Header
{
    std::uint16_t type = 0;
    std::uint16_t subType = 0;
    std::uint32_t dataLength = 0;
    std::int32_t sequence = 0;
    std::uint16_t sampleCount = 0;
    std::uint16_t selector = 0;
    std::string text;
};
// The header in a datagram; none without the magic or when it is short.
std::optional<Header> ReadHeader(const std::uint8_t* data, std::size_t size);

using Bytes = std::vector<std::uint8_t>;
// "BEGIN" and three zeros, on the TCP start exchange.
Bytes Begin();
// "STARE", three zeros, 64 bytes of 0x01.
Bytes Stare();
// 64 bytes: channel (16), setting (16), 0 (32), setting (32), 28 00 11 00.
Bytes ChannelSetup(int channel, int setting);
// 01, then 01 02 with the flag (00 00 without), five zeros.
Bytes Acknowledge(bool flag);

}  // namespace geo

// What the port needs of the unit that owns it.
class IGeoPortOwner
{
public:
    virtual ~IGeoPortOwner() = default;
    virtual void SendToUnit(const geo::Bytes& datagram) = 0;
    // A header's text telegram, received at time (100 ns since 1601).
    virtual void OnHeaderText(const std::string& text, std::uint64_t time) = 0;
    // The buffer of a channel, null for a channel the unit does not have.
    virtual CRawDataBuffer* ChannelBuffer(int channel) = 0;
    // The channel's sample setting for its set-up.
    virtual int GetChannelSetting(int channel) = 0;
    // True once after the set-ups were asked to go out again.
    virtual bool TakeResendFlag() = 0;
};

class CQYNetPortGeo
{
public:
    explicit CQYNetPortGeo(IGeoPortOwner& owner) : m_owner(owner) {}

    void SendStart();
    void SendChannelSetup(int channel);
    void SendAcknowledge(bool flag);

    // One datagram from the unit, received at time.
    void OnReceive(const std::uint8_t* data, std::size_t size, std::uint64_t time);

    // Datagrams dropped: no header where one was due, more data than the
    // header announced, a header of no channel, or refused by the buffer.
    std::uint64_t GetDropped() const { return m_dropped.load(); }
    std::uint64_t GetTexts() const { return m_texts.load(); }

private:
    void Drop();

    IGeoPortOwner& m_owner;
    geo::Header m_header;
    bool m_headerExpected = true;
    std::uint32_t m_received = 0;
    int m_fragment = 0;
    CRawDataBuffer* m_target = nullptr;
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<std::uint64_t> m_texts{0};
};
