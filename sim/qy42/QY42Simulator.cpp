#include "sim/qy42/QY42Simulator.h"

#include "platform/FileTime.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <span>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Length, then the four code bytes.
Bytes Head(std::size_t length, const char (&code)[5])
{
    Bytes b(length, 0);
    CByteWriter w(b);
    w.U32(0, static_cast<std::uint32_t>(length));
    w.Bytes(4, code, 4);
    return b;
}

}  // namespace

CQY42Simulator::CQY42Simulator(const Settings& settings) : m_settings(settings), m_bottomDepth(settings.bottomDepth)
{
    if (m_settings.samplesPerDatagram < 1)
        m_settings.samplesPerDatagram = 1;
    if (m_settings.samplesPerDatagram > 247)  // the program reads at most 2008 bytes
        m_settings.samplesPerDatagram = 247;
}

CQY42Simulator::~CQY42Simulator()
{
    Stop();
}

bool CQY42Simulator::Start()
{
    if (!m_socket.Create(CSocket::Udp) || !m_socket.Bind(SocketAddress(m_settings.address, m_settings.port)))
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CQY42Simulator::Stop()
{
    m_socket.Stop();
    {
        std::lock_guard<std::mutex> lock(m_inboxLock);
        m_stopped = true;
    }
    m_inboxReady.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_socket.Close();
}

void CQY42Simulator::StartInProcess(ToProgram toProgram)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_toProgram = std::move(toProgram);
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { RunInProcess(); });
}

void CQY42Simulator::Deliver(const std::uint8_t* data, std::size_t size, const SocketAddress& from)
{
    {
        std::lock_guard<std::mutex> lock(m_inboxLock);
        m_inbox.push_back({Bytes(data, data + size), from});
    }
    m_inboxReady.notify_all();
}

void CQY42Simulator::RunInProcess()
{
    for (;;) {
        Received r;
        {
            std::unique_lock<std::mutex> lock(m_inboxLock);
            m_inboxReady.wait(lock, [this] { return m_stopped || !m_inbox.empty(); });
            if (m_stopped)
                return;
            r = std::move(m_inbox.front());
            m_inbox.pop_front();
        }
        if (r.datagram.size() >= 8 && !m_silent.load())
            Handle(r.datagram.data(), r.datagram.size(), r.from);
    }
}

bool CQY42Simulator::Transmit(const Bytes& d, const SocketAddress& to)
{
    ToProgram toProgram;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        toProgram = m_toProgram;
    }
    if (toProgram) {
        toProgram(d);
        return true;
    }
    return m_socket.SendTo(d.data(), d.size(), to, 1000) == static_cast<int>(d.size());
}

bool CQY42Simulator::SendToProgram(const Bytes& datagram)
{
    const SocketAddress program = GetProgramAddress();
    if (program.port == 0 || !Transmit(datagram, program))
        return false;
    ++m_sent;
    return true;
}

Bytes CQY42Simulator::MakeInfo(std::uint32_t type, std::uint32_t number, const std::string& text)
{
    // 0 length  4 "INFO"  8 type  12 number  16 text, NUL
    Bytes b = Head(16 + text.size() + 1, "INFO");
    CByteWriter w(b);
    w.U32(8, type);
    w.U32(12, number);
    w.Bytes(16, text.data(), text.size());
    return b;
}

Bytes CQY42Simulator::MakeVersionAnswer(bool refuse, const std::string& version)
{
    return MakeVersionAnswer(refuse, version, Addresses{});
}

Bytes CQY42Simulator::MakeVersionAnswer(bool refuse, const std::string& version, const Addresses& a)
{
    // 0 length  4 "VA\0\0"  16 status (bit 1: refused)  20 the unit's IPv4
    // address (network order)  24 its Ethernet address  30 its UDP port
    // 32 the program's IPv4 address  36 its Ethernet address  42 its UDP
    // port  44 version text, NUL
    Bytes b = Head(44 + version.size() + 1, {'V', 'A', 0, 0, 0});
    CByteWriter w(b);
    w.U32(16, refuse ? 0x02 : 0x00);
    const auto ip = [&w](std::size_t at, std::uint32_t address) {
        for (std::size_t k = 0; k < 4; ++k)
            w.U8(at + k, static_cast<std::uint8_t>(address >> (24 - 8 * k)));
    };
    ip(20, a.localAddress);
    w.Bytes(24, a.localEthernet.data(), 6);
    w.U16(30, a.localPort);
    ip(32, a.remoteAddress);
    w.Bytes(36, a.remoteEthernet.data(), 6);
    w.U16(42, a.remotePort);
    w.Bytes(44, version.data(), version.size());
    return b;
}

Bytes CQY42Simulator::MakeStatusAnswer(const std::string& boardType, std::int32_t boardId,
                                       const std::array<float, 11>& values)
{
    // 0 length  4 "DCSA"  8 board type, NUL-terminated in 8 bytes  16 board
    // position, slot and rack id  20 eleven floats: high voltage, input 12 V,
    // digital 10, 5, 3.3, 2.5 and 1.5 V, analogue 6 V, transmitter, receiver
    // and high-voltage temperature
    Bytes b = Head(64, "DCSA");
    CByteWriter w(b);
    w.Bytes(8, boardType.data(), std::min<std::size_t>(boardType.size(), 7));
    w.I32(16, boardId);
    for (std::size_t i = 0; i < values.size(); ++i)
        w.F32(20 + 4 * i, values[i]);
    return b;
}

Bytes CQY42Simulator::MakeTriggerStatus()
{
    return Head(16, "TSS#");
}

Bytes CQY42Simulator::MakeAuxiliaryInput(std::uint32_t sampleNumber, std::uint8_t flags, const float (&motionVolts)[3],
                                         float thermistorOhms)
{
    // 0 length  4 "ACI\0"  8 sample number  12 flags (bit 1: event input)
    // 16/20/24 motion sensor volts  28 thermistor ohms
    Bytes b = Head(32, {'A', 'C', 'I', 0, 0});
    CByteWriter w(b);
    w.U32(8, sampleNumber);
    w.U8(12, flags);
    for (int i = 0; i < 3; ++i)
        w.F32(16 + 4 * static_cast<std::size_t>(i), motionVolts[i]);
    w.F32(28, thermistorOhms);
    return b;
}

Bytes CQY42Simulator::MakeSamples(float rate, std::uint32_t pingStart, std::uint32_t first,
                                  const std::vector<float>& iq)
{
    // 0 length  4 "RSD#"  8 word  12 rate  16 count (16-bit)  18 channels 1
    // 19 format 1 (float pairs)  20 word  24 ping start  28 first sample
    const std::size_t n = iq.size() / 2;
    Bytes b = Head(32 + n * 8, "RSD#");
    CByteWriter w(b);
    w.F32(12, rate);
    w.U16(16, static_cast<std::uint16_t>(n));
    w.U8(18, 1);
    w.U8(19, 1);
    w.U32(24, pingStart);
    w.U32(28, first);
    w.Array(32, std::span(iq).first(2 * n));
    return b;
}

int CQY42Simulator::BottomSample() const
{
    const double distance = m_settings.sampleInterval * m_settings.soundVelocity * 0.5;
    const double depth = m_bottomDepth.load();
    return depth > 0.0 && distance > 0.0 ? static_cast<int>(std::lround(depth / distance)) : 0;
}

std::vector<std::string> CQY42Simulator::GetReceivedCodes() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_codes;
}

float CQY42Simulator::GetTransmitFrequency() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_frequency;
}

float CQY42Simulator::GetTransmitAmplitude() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_amplitude;
}

float CQY42Simulator::GetTransmitPulseLength() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pulseLength;
}

float CQY42Simulator::GetConfiguredPulseLength() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_configuredPulseLength;
}

SocketAddress CQY42Simulator::GetProgramAddress() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_program;
}

void CQY42Simulator::Run()
{
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        SocketAddress from;
        const int n = m_socket.ReceiveFrom(buffer.data(), buffer.size(), &from, -1);
        if (n == CSocket::kStopped || n == CSocket::kError)
            return;
        if (n >= 8 && !m_silent.load())
            Handle(buffer.data(), static_cast<std::size_t>(n), from);
    }
}

void CQY42Simulator::Send(const Bytes& d, const SocketAddress& to)
{
    if (m_silent.load() || to.port == 0)
        return;
    if (Transmit(d, to))
        ++m_sent;
}

void CQY42Simulator::SendSamples(const Bytes& d, const SocketAddress& to)
{
    ++m_sampleDatagrams;
    if (m_settings.dropEvery > 0 && m_sampleDatagrams % static_cast<std::uint64_t>(m_settings.dropEvery) == 0) {
        ++m_dropped;
        return;
    }
    Send(d, to);
}

void CQY42Simulator::Handle(const std::uint8_t* data, std::size_t size, const SocketAddress& from)
{
    CByteReader r(data, size);
    if (r.U32(0) != size)
        return;  // a telegram always says its own length
    std::string code(reinterpret_cast<const char*>(data + 4), 4);
    code.erase(code.find_last_not_of('\0') + 1);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_codes.size() < 100000)
            m_codes.push_back(code);
    }
    // Telegrams of the command socket tell where the program listens.
    const bool command = code == "VR" || code == "HD" || code == "HC" || code == "RC#" || code == "TC" ||
                         code == "DCSR" || code.rfind("FPA", 0) == 0;
    if (command) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_program = from;
    }
    const SocketAddress program = GetProgramAddress();
    if (code == "VR" && size == 12) {
        Addresses a;
        a.localAddress = m_settings.address;
        a.localEthernet = m_settings.ethernet;
        a.localPort = m_settings.port;
        a.remoteAddress = m_settings.remoteAddress != 0 ? m_settings.remoteAddress : program.ip;
        a.remoteEthernet = m_settings.remoteEthernet;
        a.remotePort = m_settings.remotePort != 0 ? m_settings.remotePort : program.port;
        Send(MakeVersionAnswer(m_settings.refuse, m_settings.version, a), program);
    } else if (m_settings.refuse) {
        return;
    } else if (code == "HD" && size == 8) {
        Send(MakeInfo(4, 1, "HD"), program);
    } else if (code == "HC" && size == 16) {
        Send(MakeInfo(4, 2, "HC"), program);
    } else if (code == "RC#" && size == 52 && r.U8(44) == 1) {
        Send(MakeInfo(4, 3, "RC#"), program);
        for (int f = 0; f < 4; ++f)
            Send(MakeInfo(3, 4, "rx" + std::to_string(f) + "filter.txt"), program);
        Send(MakeInfo(4, 5, "SYNC"), program);
    } else if (code == "TC" && size == 28) {
        ++m_setups;
        Send(MakeInfo(4, 6, "TC"), program);
    } else if (code == "DCSR" && size == 8) {
        Send(MakeStatusAnswer(m_settings.boardType, m_settings.boardId, m_settings.boardValues), program);
    } else if (code == "TSP#" && size == 80) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_amplitude = r.F32(56);
        m_pulseLength = r.F32(60);
        m_frequency = r.F32(72);
    } else if (code == "TPC" && size == 28) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_configuredPulseLength = r.F32(16);
    } else if ((code == "TE" || code == "TI") && size == 16) {
        Ping(r.U32(8));
    }
}

void CQY42Simulator::Sample(std::uint32_t ping, std::uint32_t k, float& i, float& q) const
{
    std::mt19937 gen(m_settings.seed * 2654435761u + ping * 40503u + k);
    std::uniform_real_distribution<float> noise(-m_settings.noise, m_settings.noise);
    i = noise(gen);
    q = noise(gen);
    const double distance = m_settings.sampleInterval * m_settings.soundVelocity * 0.5;
    const int bottom = BottomSample();
    if (bottom > 0 && static_cast<int>(k) >= bottom && static_cast<int>(k) < bottom + 40) {
        // A sharp rise at the bottom and a slow decay into the ground.
        const float a = m_settings.bottomAmplitude * std::exp(-0.1f * static_cast<float>(static_cast<int>(k) - bottom));
        i += a;
        q += a * 0.5f;
    }
    for (const Target& t : m_settings.targets) {
        if (distance > 0.0 && std::lround(t.depth / distance) == static_cast<long>(k))
            i += t.amplitude;
    }
}

void CQY42Simulator::Ping(std::uint32_t samples)
{
    ++m_triggers;
    const SocketAddress program = GetProgramAddress();
    const std::uint32_t ping = static_cast<std::uint32_t>(m_triggers.load());
    const std::uint32_t start = m_sampleNumber;
    const float rate = static_cast<float>(1.0 / m_settings.sampleInterval);
    const bool silenceMid = m_silenceMidPing.exchange(false);
    Send(MakeTriggerStatus(), program);
    // The motion voltages of a sample are those at the transmit instant plus
    // the sample's offset, as the program stamps them.
    const std::uint64_t transmit = CFileTime::Now();
    const auto motionAt = [&](std::uint32_t sample) {
        const auto offset = static_cast<std::uint64_t>(sample * m_settings.sampleInterval * 1e7);
        const std::array<float, 3> v = m_settings.motionVolts(transmit + offset);
        return std::array<float, 3>{v[0], v[1], v[2]};
    };
    const std::uint32_t per = static_cast<std::uint32_t>(m_settings.samplesPerDatagram);
    std::vector<float> iq;
    const auto sampling = std::chrono::steady_clock::now();
    for (std::uint32_t first = 0; first < samples; first += per) {
        if (silenceMid && first >= samples / 2) {
            m_silent = true;
            break;
        }
        const std::uint32_t n = std::min(per, samples - first);
        if (m_settings.realTime)
            std::this_thread::sleep_until(sampling +
                                          std::chrono::duration<double>((first + n) * m_settings.sampleInterval));
        if (m_settings.motionVolts) {
            // The motion sensor's voltages at the first sample of each
            // datagram, ahead of it, so that they are in before the ping
            // is whole.
            const std::array<float, 3> v = motionAt(first);
            const float volts[3] = {v[0], v[1], v[2]};
            Send(MakeAuxiliaryInput(first, 0, volts, static_cast<float>(m_settings.thermistorOhms)), program);
        }
        iq.assign(static_cast<std::size_t>(n) * 2, 0.0f);
        for (std::uint32_t k = 0; k < n; ++k)
            Sample(ping, first + k, iq[2 * k], iq[2 * k + 1]);
        SendSamples(MakeSamples(rate, start, start + first, iq), program);
    }
    if (m_settings.thermistorOhms > 0.0) {
        std::array<float, 3> v{};
        if (m_settings.motionVolts)
            v = motionAt(samples);
        const float volts[3] = {v[0], v[1], v[2]};
        Send(MakeAuxiliaryInput(samples, 0, volts, static_cast<float>(m_settings.thermistorOhms)), program);
    }
    m_sampleNumber += samples + 100;
}

int CQY42Simulator::SendBurst(int count)
{
    const SocketAddress program = GetProgramAddress();
    const std::uint32_t per = static_cast<std::uint32_t>(m_settings.samplesPerDatagram);
    std::vector<float> iq(static_cast<std::size_t>(per) * 2, 0.01f);
    const std::uint32_t start = m_sampleNumber;
    const float rate = static_cast<float>(1.0 / m_settings.sampleInterval);
    int sent = 0;
    for (int d = 0; d < count; ++d) {
        const Bytes b = MakeSamples(rate, start, start + static_cast<std::uint32_t>(d) * per, iq);
        if (Transmit(b, program))
            ++sent;
    }
    m_sampleNumber += static_cast<std::uint32_t>(count) * per;
    m_sent += static_cast<std::uint64_t>(sent);
    return sent;
}
