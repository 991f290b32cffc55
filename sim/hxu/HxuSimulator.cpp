#include "sim/hxu/HxuSimulator.h"
#include "sim/support/SimBytes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

using simbytes::Get32;
using simbytes::GetFloat;
using simbytes::Put16;
using simbytes::Put32;

constexpr int kPollMs = 100;
// The engine's power words: 256 units per doubling of power.
constexpr double kUnitsPerDb = 85.0413592;

bool Is(const std::uint8_t* d, std::size_t n, const char* code)
{
    return n >= 4 && d[0] == static_cast<std::uint8_t>(code[0]) &&
           d[1] == static_cast<std::uint8_t>(code[1] ? code[1] : 0) && d[2] == 0 && d[3] == 0;
}

}  // namespace

CHxuSimulator::CHxuSimulator(const Settings& settings) : m_settings(settings), m_random(settings.seed | 1u)
{
    m_settings.fragmentSamples = std::clamp(m_settings.fragmentSamples, 1, 8000);
}

CHxuSimulator::~CHxuSimulator()
{
    Stop();
}

bool CHxuSimulator::Start()
{
    if (m_started.load())
        return true;
    // A unit that hears broadcasts shares its port with the other units
    // of the machine that do.
    const bool broadcasts = m_settings.broadcastPort != 0;
    if (!m_socket.Create(CSocket::Udp) || (broadcasts && !m_socket.SetReuseAddress(true)) ||
        !m_socket.Bind(SocketAddress(m_settings.address, m_settings.port)))
        return false;
    if (broadcasts && (!m_broadcast.Create(CSocket::Udp) || !m_broadcast.SetReuseAddress(true) ||
                       !m_broadcast.Bind(SocketAddress(SocketAddress::kBroadcast, m_settings.broadcastPort)))) {
        m_socket.Close();
        m_broadcast.Close();
        return false;
    }
    m_socket.SetSendBufferSize(8 << 20);
    m_port = m_socket.LocalAddress().port;
    m_address = m_settings.address;
    m_started = true;
    m_thread = std::thread([this] { Loop(); });
    if (broadcasts)
        m_broadcastThread = std::thread([this] { BroadcastLoop(); });
    return true;
}

void CHxuSimulator::Stop()
{
    if (!m_started.exchange(false))
        return;
    {
        std::lock_guard<std::mutex> lock(m_socketLock);
        m_socket.Stop();
    }
    m_broadcast.Stop();
    m_thread.join();
    if (m_broadcastThread.joinable())
        m_broadcastThread.join();
    m_socket.Close();
    m_broadcast.Close();
}

std::string CHxuSimulator::Description() const
{
    return m_settings.ethernet.empty() ? m_settings.identity : m_settings.identity + " " + m_settings.ethernet;
}

int CHxuSimulator::BottomSample(double sampleInterval) const
{
    if (m_settings.bottomDepth <= 0.0 || sampleInterval <= 0.0)
        return -1;
    return static_cast<int>(std::lround(m_settings.bottomDepth / (sampleInterval * m_settings.soundVelocity * 0.5)));
}

std::string CHxuSimulator::GetSoftware() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_software;
}

std::uint32_t CHxuSimulator::GetSamples(int channel) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return channel >= 0 && channel < kMaxChannels ? m_samples[static_cast<std::size_t>(channel)] : 0;
}

double CHxuSimulator::GetSampleInterval(int channel) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return channel >= 0 && channel < kMaxChannels ? m_interval[static_cast<std::size_t>(channel)] : 0.0;
}

void CHxuSimulator::Loop()
{
    std::vector<std::uint8_t> buffer(CSocket::kMaxUdpPayload);
    while (m_started.load()) {
        SocketAddress from;
        const int n = m_socket.ReceiveFrom(buffer.data(), buffer.size(), &from, kPollMs);
        if (n == CSocket::kStopped) {
            if (!m_started.load())
                return;
            Move();
            continue;
        }
        if (n < 4)
            continue;
        if (m_fault.load() == Fault::Silent) {
            if (Is(buffer.data(), static_cast<std::size_t>(n), "VR"))
                ++m_versionQueries;
            continue;
        }
        OnDatagram(buffer.data(), static_cast<std::size_t>(n), from);
    }
}

void CHxuSimulator::BroadcastLoop()
{
    std::vector<std::uint8_t> buffer(2048);
    for (;;) {
        SocketAddress from;
        const int n = m_broadcast.ReceiveFrom(buffer.data(), buffer.size(), &from, -1);
        if (n == CSocket::kStopped || n == CSocket::kError)
            return;
        const std::uint8_t* d = buffer.data();
        if (n < 4 || m_fault.load() == Fault::Silent)
            continue;
        if (Is(d, static_cast<std::size_t>(n), "VR")) {
            ++m_versionQueries;
            const auto reply = EncodeVersion(Description(), m_settings.version, m_settings.fatal, m_settings.fatalText);
            std::lock_guard<std::mutex> lock(m_socketLock);
            m_socket.SendTo(reply.data(), reply.size(), from, 1000);
        } else if (Is(d, static_cast<std::size_t>(n), "IS") && n == 16 && !m_settings.ethernet.empty()) {
            // 4 the Ethernet address, last digit pair first; 12 the new
            // address, most significant byte first.
            char text[13];
            for (int pair = 0; pair < 6; ++pair)
                std::snprintf(text + 2 * pair, 3, "%02X", d[9 - pair]);
            if (strcasecmp(text, m_settings.ethernet.c_str()) != 0)
                continue;
            const std::uint32_t to = static_cast<std::uint32_t>(d[12]) << 24 | static_cast<std::uint32_t>(d[13]) << 16 |
                                     static_cast<std::uint32_t>(d[14]) << 8 | d[15];
            // The loop's thread owns the unit's socket: it is woken to move.
            std::lock_guard<std::mutex> lock(m_socketLock);
            m_movePending = true;
            m_moveTo = to;
            m_moveAsker = from;
            m_socket.Stop();
        }
    }
}

void CHxuSimulator::Move()
{
    std::lock_guard<std::mutex> lock(m_socketLock);
    if (!m_started.load())
        return;
    if (m_movePending) {
        m_movePending = false;
        CSocket moved;
        if (moved.Create(CSocket::Udp) && moved.SetReuseAddress(true) && moved.Bind(SocketAddress(m_moveTo, m_port))) {
            moved.SetSendBufferSize(8 << 20);
            m_socket = std::move(moved);
            m_address = m_moveTo;
            ++m_addressChanges;
            const auto reply = EncodeVersion(Description(), m_settings.version, m_settings.fatal, m_settings.fatalText);
            m_socket.SendTo(reply.data(), reply.size(), m_moveAsker, 1000);
            return;
        }
    }
    m_socket.ResetStop();
}

void CHxuSimulator::OnDatagram(const std::uint8_t* d, std::size_t n, const SocketAddress& from)
{
    if (Is(d, n, "VR")) {
        ++m_versionQueries;
        const auto reply = EncodeVersion(Description(), m_settings.version, m_settings.fatal, m_settings.fatalText);
        m_socket.SendTo(reply.data(), reply.size(), from, 1000);
    } else if (Is(d, n, "CB") && n >= 13) {
        const std::uint32_t block = Get32(d + 4);
        const bool last = Get32(d + 8) != 0;
        const auto* text = reinterpret_cast<const char*>(d + 12);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_software.append(text, strnlen(text, n - 12));
        }
        if (last)
            m_softwareComplete = true;
        Fault wrong = Fault::WrongBlock;
        const bool fault = m_fault.compare_exchange_strong(wrong, Fault::None);
        const auto reply = EncodeBlockReply(fault ? block + 7 : block);
        m_socket.SendTo(reply.data(), reply.size(), from, 1000);
    } else if (Is(d, n, "C") && n == 24) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_program = from;
        m_programKnown = true;
        ++m_connects;
    } else if (Is(d, n, "CK")) {
        ++m_keepAlives;
    } else if (Is(d, n, "A") && n == 8) {
        m_alarm = static_cast<int>(Get32(d + 4));
    } else if (Is(d, n, "D")) {
        ++m_disconnects;
    } else if (Is(d, n, "MS") && n == 148) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (std::size_t c = 0; c < kMaxChannels; ++c) {
                const std::uint8_t* r = d + 4 + c * 36;
                m_samples[c] = GetFloat(r) != 0.0f ? Get32(r + 24) : 0;
                m_interval[c] = GetFloat(r + 20);
            }
        }
        ++m_modeSets;
        SendPing();
    }
}

std::vector<std::uint8_t> CHxuSimulator::EncodeVersion(const std::string& identity, const std::string& version,
                                                       bool fatal, const std::string& error)
{
    std::vector<std::uint8_t> b(280 + error.size() + 1, 0);
    Put32(b, 0, 'V');
    std::memcpy(b.data() + 12, identity.data(), std::min<std::size_t>(identity.size(), 255));
    std::memcpy(b.data() + 268, version.data(), std::min<std::size_t>(version.size(), 7));
    Put32(b, 276, fatal ? 1 : 0);
    std::memcpy(b.data() + 280, error.data(), error.size());
    return b;
}

std::vector<std::uint8_t> CHxuSimulator::EncodeBlockReply(std::uint32_t block)
{
    std::vector<std::uint8_t> b(8, 0);
    b[0] = 'C';
    b[1] = 'R';
    Put32(b, 4, block);
    return b;
}

std::vector<std::uint8_t> CHxuSimulator::EncodeFragment(int channel, std::uint32_t first,
                                                        const std::vector<std::int16_t>& power,
                                                        std::uint16_t thermistor,
                                                        const std::array<std::uint16_t, 3>& motion, std::uint8_t status,
                                                        int adCount)
{
    // With an AD count, a diagnostics block of four words per AD follows.
    const std::size_t diagnostics = adCount > 0 ? 4 + static_cast<std::size_t>(adCount) * 16 : 0;
    std::vector<std::uint8_t> b(32 + power.size() * 2 + diagnostics, 0);
    b[0] = 'P';
    b[1] = static_cast<std::uint8_t>('0' + channel);
    Put32(b, 8, first);
    Put16(b, 16, thermistor);
    Put16(b, 18, motion[0]);
    Put16(b, 20, motion[1]);
    Put16(b, 22, motion[2]);
    b[24] = status;
    b[27] = adCount > 0 ? 1 : 0;
    Put32(b, 28, static_cast<std::uint32_t>(power.size()));
    for (std::size_t i = 0; i < power.size(); ++i)
        Put16(b, 32 + 2 * i, static_cast<std::uint16_t>(power[i]));
    if (adCount > 0) {
        const std::size_t at = 32 + power.size() * 2;
        Put32(b, at, static_cast<std::uint32_t>(adCount));
        for (int k = 0; k < adCount * 4; ++k)
            Put32(b, at + 4 + 4 * static_cast<std::size_t>(k), 0x100u + static_cast<std::uint32_t>(k));
    }
    return b;
}

std::vector<std::uint8_t> CHxuSimulator::EncodeRawBlock(int channel, std::uint32_t blockId, int stride,
                                                        const std::vector<std::int16_t>& words)
{
    std::vector<std::uint8_t> b(16 + words.size() * 2, 0);
    b[0] = 'A';
    b[1] = 'D';
    b[2] = static_cast<std::uint8_t>('0' + channel);
    Put32(b, 4, blockId);
    Put32(b, 8, static_cast<std::uint32_t>(stride));
    Put32(b, 12, static_cast<std::uint32_t>(stride > 0 ? words.size() / static_cast<std::size_t>(stride) : 0));
    for (std::size_t i = 0; i < words.size(); ++i)
        Put16(b, 16 + 2 * i, static_cast<std::uint16_t>(words[i]));
    return b;
}

std::vector<std::uint8_t> CHxuSimulator::EncodeText(char code, const std::string& text)
{
    std::vector<std::uint8_t> b(4 + text.size() + 1, 0);
    b[0] = static_cast<std::uint8_t>(code);
    std::memcpy(b.data() + 4, text.data(), text.size());
    return b;
}

std::vector<std::vector<std::uint8_t>> CHxuSimulator::EncodePing(int channel, std::uint32_t samples,
                                                                 double sampleInterval)
{
    std::vector<std::vector<std::uint8_t>> out;
    const int bottom = BottomSample(sampleInterval);
    const std::uint8_t status = m_status.load();
    for (std::uint32_t first = 0; first < samples; first += static_cast<std::uint32_t>(m_settings.fragmentSamples)) {
        const std::uint32_t n =
            std::min<std::uint32_t>(samples - first, static_cast<std::uint32_t>(m_settings.fragmentSamples));
        std::vector<std::int16_t> power(n);
        for (std::uint32_t k = 0; k < n; ++k) {
            m_random = m_random * 1664525u + 1013904223u;
            double db = m_settings.noiseDb + 3.0 * static_cast<double>(m_random >> 8) / 16777216.0;
            const int at = static_cast<int>(first + k);
            // A sharp bottom that fades into the ground.
            if (bottom >= 0 && at >= bottom)
                db = std::max(db, m_settings.bottomDb - 1.0 * (at - bottom));
            power[k] = static_cast<std::int16_t>(std::lround(db * kUnitsPerDb));
        }
        out.push_back(EncodeFragment(channel, first, power, m_settings.thermistor, m_settings.motion, status,
                                     first == 0 ? 1 : 0));
    }
    return out;
}

bool CHxuSimulator::SendToProgram(const std::vector<std::uint8_t>& datagram)
{
    SocketAddress to;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_programKnown)
            return false;
        to = m_program;
    }
    if (m_socket.SendTo(datagram.data(), datagram.size(), to, 1000) != static_cast<int>(datagram.size()))
        return false;
    ++m_sent;
    return true;
}

void CHxuSimulator::SendPing()
{
    Fault fault = m_fault.load();
    if (fault == Fault::SilentPings)
        return;
    if (fault == Fault::StrayFragment || fault == Fault::OverlongData || fault == Fault::Gap || fault == Fault::Fatal)
        m_fault.compare_exchange_strong(fault, Fault::None);
    else
        fault = Fault::None;
    if (fault == Fault::Fatal) {
        SendToProgram(EncodeText('E', m_settings.fatalText));
        return;
    }
    bool any = false;
    for (int c = 0; c < kMaxChannels; ++c) {
        const std::uint32_t samples = GetSamples(c);
        if (samples == 0)
            continue;
        auto ping = EncodePing(c, samples, GetSampleInterval(c));
        if (fault == Fault::StrayFragment && !any)
            SendToProgram(
                EncodeFragment(c, samples + 100, std::vector<std::int16_t>(10, -9000), 0, m_settings.motion, 0));
        if (fault == Fault::OverlongData && !any && !ping.empty())
            Put32(ping[0], 28, Get32(ping[0].data() + 28) + 50);
        if (fault == Fault::Gap && ping.size() > 2)
            ping.erase(ping.begin() + 1);
        for (const auto& d : ping)
            SendToProgram(d);
        SendToProgram(EncodeRawBlock(c, static_cast<std::uint32_t>(m_pings.load()), 3,
                                     std::vector<std::int16_t>(30, static_cast<std::int16_t>(c + 1))));
        any = true;
    }
    ++m_pings;
}
