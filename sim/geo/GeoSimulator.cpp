#include "sim/geo/GeoSimulator.h"
#include "sim/support/SimBytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using simbytes::Get16;
using simbytes::Get32;
using simbytes::Put16;
using simbytes::Put32;

constexpr int kHeaderSize = 128;
constexpr int kPollMs = 100;

}  // namespace

CGeoSimulator::CGeoSimulator(const Settings& settings)
    : m_settings(settings), m_random(settings.seed | 1u), m_bottomDepth(settings.bottomDepth)
{
    m_settings.channels = std::clamp(m_settings.channels, 1, kMaxChannels);
    m_settings.datagramBytes = std::max(4, m_settings.datagramBytes / 4 * 4);
    m_samples.fill(std::clamp(m_settings.samples, 1, 65535));
}

CGeoSimulator::~CGeoSimulator()
{
    Stop();
}

bool CGeoSimulator::Start()
{
    if (m_started.load())
        return true;
    const SocketAddress unit(m_settings.address, m_settings.port);
    if (!m_tcp.Create(CSocket::Tcp) || !m_tcp.SetReuseAddress(true) || !m_tcp.Bind(unit) || !m_tcp.Listen())
        return false;
    if (!m_unit.Create(CSocket::Udp) || !m_unit.Bind(unit))
        return false;
    m_unit.SetSendBufferSize(8 << 20);
    if (!m_trigger.Create(CSocket::Udp) || !m_trigger.SetReuseAddress(true) ||
        !m_trigger.Bind(SocketAddress(0, m_settings.triggerPort)))
        return false;
    m_started = true;
    m_tcpThread = std::thread([this] { TcpLoop(); });
    m_unitThread = std::thread([this] { UnitLoop(); });
    m_triggerThread = std::thread([this] { TriggerLoop(); });
    return true;
}

void CGeoSimulator::Stop()
{
    if (!m_started.exchange(false))
        return;
    m_tcp.Stop();
    m_unit.Stop();
    m_trigger.Stop();
    m_tcpThread.join();
    m_unitThread.join();
    m_triggerThread.join();
    m_tcp.Close();
    m_unit.Close();
    m_trigger.Close();
}

int CGeoSimulator::BottomSample() const
{
    const double depth = m_bottomDepth.load();
    if (depth <= 0.0)
        return -1;
    return static_cast<int>(std::lround(depth / (m_settings.sampleInterval * m_settings.soundVelocity * 0.5)));
}

int CGeoSimulator::GetChannelSamples(int channel) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return channel >= 0 && channel < kMaxChannels ? m_samples[static_cast<std::size_t>(channel)] : 0;
}

void CGeoSimulator::TcpLoop()
{
    while (m_started.load()) {
        CSocket connection;
        const int r = m_tcp.Accept(connection, nullptr, kPollMs);
        if (r == CSocket::kStopped)
            return;
        if (r != 0)
            continue;
        char begin[8] = {};
        if (connection.Receive(begin, sizeof begin, 1000) == 8 && std::memcmp(begin, "BEGIN\0\0\0", 8) == 0) {
            ++m_begins;
            connection.Send(m_settings.beginAnswer.data(), m_settings.beginAnswer.size(), 1000);
        }
    }
}

void CGeoSimulator::UnitLoop()
{
    std::vector<std::uint8_t> buffer(CSocket::kMaxUdpPayload);
    while (m_started.load()) {
        SocketAddress from;
        const int n = m_unit.ReceiveFrom(buffer.data(), buffer.size(), &from, kPollMs);
        if (n == CSocket::kStopped)
            return;
        if (n <= 0)
            continue;
        const std::uint8_t* d = buffer.data();
        if (n == 72 && std::memcmp(d, "STARE\0\0\0", 8) == 0) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_program = from;
            m_programKnown = true;
            ++m_starts;
        } else if (n == 64) {
            // Channel set-up: 0 channel, 2 setting, 8 setting (32-bit).
            const std::uint32_t channel = Get16(d);
            const std::uint32_t setting = Get32(d + 8);
            if (channel < kMaxChannels && setting > 0 && setting <= 65535) {
                std::lock_guard<std::mutex> lock(m_lock);
                m_samples[channel] = static_cast<int>(setting);
                ++m_setups;
            }
        } else if (n == 8 && d[0] == 0x01) {
            ++m_acks;
        }
    }
}

void CGeoSimulator::TriggerLoop()
{
    char datagram[16];
    while (m_started.load()) {
        const int n = m_trigger.ReceiveFrom(datagram, sizeof datagram, nullptr, kPollMs);
        if (n == CSocket::kStopped)
            return;
        if (n != 4 || datagram[0] != 'T' || (datagram[1] != 'I' && datagram[1] != 'E'))
            continue;
        ++m_triggers;
        if (m_fault.load() != Fault::Silent)
            SendPing();
    }
}

std::vector<std::uint8_t> CGeoSimulator::EncodeHeader(int channel, std::int32_t sequence, int samples)
{
    std::vector<std::uint8_t> h(kHeaderSize, 0);
    Put16(h, 4, 0xBABE);
    Put16(h, 10, channel < 2 ? 111 : 112);
    Put16(h, 12, 2);
    Put32(h, 24, static_cast<std::uint32_t>(samples) * 4u);
    Put32(h, 32, static_cast<std::uint32_t>(sequence));
    Put16(h, 40, static_cast<std::uint32_t>(samples));
    Put16(h, 44, static_cast<std::uint32_t>(channel % 2));
    return h;
}

std::vector<std::uint8_t> CGeoSimulator::EncodeTextHeader(const std::string& text)
{
    std::vector<std::uint8_t> h(kHeaderSize, 0);
    Put16(h, 4, 0xBABE);
    Put16(h, 10, 111);
    Put16(h, 12, 1);
    const std::size_t n = std::min<std::size_t>(text.size(), kHeaderSize - 34 - 1);
    std::memcpy(h.data() + 34, text.data(), n);
    return h;
}

std::vector<std::vector<std::uint8_t>> CGeoSimulator::EncodePing(std::int32_t sequence)
{
    std::vector<std::vector<std::uint8_t>> out;
    const int bottom = BottomSample();
    for (int c = 0; c < m_settings.channels; ++c) {
        const int samples = GetChannelSamples(c);
        out.push_back(EncodeHeader(c, sequence, samples));
        std::vector<std::uint8_t> data(static_cast<std::size_t>(samples) * 4);
        for (int k = 0; k < samples; ++k) {
            m_random = m_random * 1664525u + 1013904223u;
            const float noise = m_settings.noisePower * (0.5f + static_cast<float>(m_random >> 8) / 16777216.0f);
            // A bottom of a few samples that fades below it.
            float v = noise;
            if (bottom >= 0 && k >= bottom)
                v += m_settings.bottomPower * std::pow(0.8f, static_cast<float>(k - bottom));
            std::memcpy(data.data() + static_cast<std::size_t>(k) * 4, &v, 4);
        }
        for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(m_settings.datagramBytes)) {
            const std::size_t n =
                std::min<std::size_t>(data.size() - at, static_cast<std::size_t>(m_settings.datagramBytes));
            out.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                             data.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
    }
    return out;
}

bool CGeoSimulator::SendToProgram(const std::vector<std::uint8_t>& datagram)
{
    SocketAddress to;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_programKnown)
            return false;
        to = m_program;
    }
    return m_unit.SendTo(datagram.data(), datagram.size(), to, 1000) == static_cast<int>(datagram.size());
}

void CGeoSimulator::SendPing()
{
    const std::int32_t sequence = m_sequence.fetch_add(1);
    std::vector<std::vector<std::uint8_t>> ping = EncodePing(sequence);
    const Fault fault = m_fault.exchange(Fault::None);
    if (fault == Fault::ForeignSequence && ping.size() > 1)
        Put32(ping[0], 32, static_cast<std::uint32_t>(sequence + 1000));
    if (fault == Fault::OverlongData && ping.size() > 1)
        ping[1].resize(ping[1].size() + 400, 0);
    if (fault == Fault::WrongChannel && !ping.empty())
        Put16(ping[0], 10, 113);
    for (const auto& d : ping)
        SendToProgram(d);
    ++m_pings;
    if (m_settings.textEvery > 0 && m_pings.load() % static_cast<std::uint64_t>(m_settings.textEvery) == 0)
        SendToProgram(EncodeTextHeader(m_settings.text));
}
