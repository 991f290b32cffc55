#include "sim/nvu/NvuSimulator.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

using Bytes = CNvuSimulator::Bytes;

// Length, then the four code bytes (a shorter code padded with zeros).
Bytes Head(std::size_t length, const char* code)
{
    Bytes b(length, 0);
    CByteWriter w(b);
    w.U32(0, static_cast<std::uint32_t>(length));
    w.Bytes(4, code, std::min<std::size_t>(std::strlen(code), 4));
    return b;
}

constexpr std::size_t kMaxDatagram = 2008;  // what the program reads of one
constexpr std::size_t kBlock = 512;

Bytes TftpPacket(std::uint16_t opcode, std::uint16_t word, const std::uint8_t* data = nullptr, std::size_t size = 0)
{
    Bytes b{static_cast<std::uint8_t>(opcode >> 8), static_cast<std::uint8_t>(opcode),
            static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
    if (data)
        b.insert(b.end(), data, data + size);
    return b;
}

Bytes TftpError(std::uint16_t code, const std::string& text)
{
    Bytes b = TftpPacket(5, code, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    b.push_back(0);
    return b;
}

}  // namespace

CNvuSimulator::CNvuSimulator(const Settings& settings) : m_settings(settings)
{
    m_settings.channels = std::clamp(m_settings.channels, 1, 4);
}

CNvuSimulator::~CNvuSimulator()
{
    Stop();
}

bool CNvuSimulator::Start()
{
    if (!m_socket.Create(CSocket::Udp) || !m_socket.Bind(SocketAddress(m_settings.address, m_settings.port)))
        return false;
    // Address reuse lets the program's own TFTP server (QYNVU's, on any
    // address) share the port on the same machine.
    if (!m_tftp.Create(CSocket::Udp) || !m_tftp.SetReuseAddress(true) ||
        !m_tftp.Bind(SocketAddress(m_settings.address, m_settings.tftpPort))) {
        m_socket.Close();
        return false;
    }
    // The search's broadcast reaches a socket bound to the broadcast
    // address, which unicasts to the unit's own never do; other units on
    // the same machine share the port.
    if (m_settings.discoveryPort != 0 && (!m_discovery.Create(CSocket::Udp) || !m_discovery.SetReuseAddress(true) ||
                                          !m_discovery.Bind(SocketAddress(0xFFFFFFFF, m_settings.discoveryPort)))) {
        m_socket.Close();
        m_tftp.Close();
        m_discovery.Close();
        return false;
    }
    m_address = m_settings.address;
    m_port = m_socket.LocalAddress().port;
    m_tftpPort = m_tftp.LocalAddress().port;
    m_tftpThread = std::thread([this] { RunTftp(); });
    if (m_discovery.IsOpen())
        m_discoveryThread = std::thread([this] { RunDiscovery(); });
    // The unit's own thread last: a boot on it replaces the TFTP thread,
    // whose handle must be written before that thread can begin.
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CNvuSimulator::Stop()
{
    // The unit's thread first: a boot in progress may start the TFTP
    // thread again on the new address until it has ended.
    m_socket.Stop();
    m_discovery.Stop();
    if (m_thread.joinable())
        m_thread.join();
    m_tftp.Stop();
    if (m_tftpThread.joinable())
        m_tftpThread.join();
    if (m_discoveryThread.joinable())
        m_discoveryThread.join();
    m_socket.Close();
    m_tftp.Close();
    m_discovery.Close();
}

std::uint16_t CNvuSimulator::GetPort() const
{
    return m_port.load();
}

std::uint16_t CNvuSimulator::GetTftpPort() const
{
    return m_tftpPort.load();
}

Bytes CNvuSimulator::MakeInfo(std::uint32_t type, std::uint32_t number, const std::string& text)
{
    // 0 length  4 "INFO"  8 type  12 number  16 text, NUL
    Bytes b = Head(16 + text.size() + 1, "INFO");
    CByteWriter w(b);
    w.U32(8, type);
    w.U32(12, number);
    w.Bytes(16, text.data(), text.size());
    return b;
}

Bytes CNvuSimulator::MakeVersionAnswer(bool refuse, std::uint32_t serial, const std::string& text)
{
    // 0 length  4 "VA\0\0"  16 flags (bit 1: refused)  20 serial number
    // 44 text, NUL
    Bytes b = Head(44 + text.size() + 1, "VA");
    CByteWriter w(b);
    w.U32(16, refuse ? 0x02 : 0x00);
    w.U32(20, serial);
    w.Bytes(44, text.data(), text.size());
    return b;
}

Bytes CNvuSimulator::MakeConfigurationAnswer()
{
    // 0 length  4 "DCSA"  8 board type  16 board id  20 eleven values
    Bytes b = Head(64, "DCSA");
    CByteWriter w(b);
    w.Bytes(8, "NVUSIM", 6);
    w.I32(16, 1);
    for (std::size_t i = 0; i < 11; ++i)
        w.F32(20 + 4 * i, 1.0f + static_cast<float>(i));
    return b;
}

Bytes CNvuSimulator::MakeTransmitStarted()
{
    return Head(16, "TSS#");
}

Bytes CNvuSimulator::MakeAnalogInputs(std::uint32_t sample, std::uint8_t state, const float (&volts)[3], float ohms)
{
    // 0 length  4 "ACI\0"  8 sample index  12 state (bit 1 event input)
    // 16/20/24 motion volts  28 thermistor ohms
    Bytes b = Head(32, "ACI");
    CByteWriter w(b);
    w.U32(8, sample);
    w.U8(12, state);
    for (std::size_t i = 0; i < 3; ++i)
        w.F32(16 + 4 * i, volts[i]);
    w.F32(28, ohms);
    return b;
}

Bytes CNvuSimulator::MakeSamples(float rate, int channels, bool floats, std::uint32_t pingStart, std::uint32_t first,
                                 const std::vector<float>& samples)
{
    // 0 length  4 "RSD#"  12 rate  16 instants (u16)  18 channels (u8)
    // 19 format (u8: 1 float pairs, 0 16-bit upper halves)  24 the ping's
    // first sample number  28 this datagram's first sample number (the
    // unit counts samples on from ping to ping)  32 samples, instant by
    // instant, channel by channel, real then imaginary
    const std::size_t values = samples.size();
    const std::size_t instants = values / (2 * static_cast<std::size_t>(channels));
    const std::size_t width = floats ? 4 : 2;
    Bytes b = Head(32 + values * width, "RSD#");
    CByteWriter w(b);
    w.F32(12, rate);
    w.U16(16, static_cast<std::uint16_t>(instants));
    w.U8(18, static_cast<std::uint8_t>(channels));
    w.U8(19, floats ? 1 : 0);
    w.U32(24, pingStart);
    w.U32(28, first);
    for (std::size_t i = 0; i < values; ++i) {
        if (floats)
            w.F32(32 + 4 * i, samples[i]);
        else
            w.U16(32 + 2 * i, static_cast<std::uint16_t>(std::bit_cast<std::uint32_t>(samples[i]) >> 16));
    }
    return b;
}

int CNvuSimulator::BottomSample(int channel) const
{
    const int transducer = channel >= 0 && channel < 4 ? m_settings.transducerOf[channel] : channel;
    const double depth = m_settings.bottomDepth + 2.0 * transducer;
    return static_cast<int>(std::lround(depth * 2.0 / m_settings.soundVelocity * m_settings.sampleRate));
}

float CNvuSimulator::GetPulseAmplitude(int channel) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return channel >= 0 && channel < 4 ? m_amplitude[channel] : 0.0f;
}

std::vector<std::string> CNvuSimulator::GetReceivedCodes() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_codes;
}

std::map<std::string, Bytes> CNvuSimulator::GetFiles() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_files;
}

std::string CNvuSimulator::VersionText() const
{
    std::string firmware;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        firmware = m_firmware.empty() ? m_settings.firmware : m_firmware;
    }
    // A locally administered Ethernet address made of the serial number.
    const std::uint32_t n = m_settings.serial;
    char ethernet[18];
    std::snprintf(ethernet, sizeof ethernet, "02-00-%02X-%02X-%02X-%02X", static_cast<unsigned>(n >> 24 & 0xFF),
                  static_cast<unsigned>(n >> 16 & 0xFF), static_cast<unsigned>(n >> 8 & 0xFF),
                  static_cast<unsigned>(n & 0xFF));
    std::string boards;
    for (std::size_t b = 0; b < m_settings.boardKHz.size(); ++b)
        boards += "Board " + std::to_string(b + 1) + ": " + std::to_string(m_settings.boardKHz[b]) + " kHz\r\n";
    return "NVU SIM wide-band transceiver\r\n"
           "Serial no." +
           std::to_string(n) +
           "\r\n"
           "Ethernet: " +
           ethernet +
           "\r\n"
           "PPC Embedded Software\r\n"
           "Rev 1.4.2\r\n"
           "PPC Download Software\r\n"
           "Rev 2.0.1\r\n"
           "Firmware Filename: " +
           firmware + "\r\n" + boards;
}

void CNvuSimulator::Send(const Bytes& d)
{
    SocketAddress program;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        program = m_program;
    }
    if (!m_silent.load() && program.port != 0)
        m_socket.SendTo(d.data(), d.size(), program, 1000);
}

void CNvuSimulator::Run()
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

void CNvuSimulator::Handle(const std::uint8_t* data, std::size_t size, const SocketAddress& from)
{
    if (m_settings.answerOnlyFrom != 0 && from.ip != m_settings.answerOnlyFrom)
        return;
    CByteReader r(data, size);
    if (r.U32(0) != size)
        return;  // a datagram always states its own length
    std::string code(reinterpret_cast<const char*>(data + 4), 4);
    code.erase(code.find_last_not_of('\0') + 1);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_codes.size() < 100000)
            m_codes.push_back(code);
        m_program = from;
    }
    if (code == "VR" && size == 12) {
        Send(MakeVersionAnswer(m_settings.refuse, m_settings.serial, VersionText()));
    } else if (m_settings.refuse) {
        return;
    } else if (code == "HD" && size == 8) {
        Send(MakeInfo(4, 1, "HD"));
    } else if (code == "HC" && size == 16) {
        Send(MakeInfo(4, 2, "HC"));
    } else if (code == "RC#" && size == 52) {
        Send(MakeInfo(4, 3, "RC#"));
    } else if (code == "SYNC" && size == 8) {
        Send(MakeInfo(4, 4, "SYNC"));
    } else if (code == "OM" && size == 36) {
        m_pairingMask = r.U32(32);
        Send(MakeInfo(4, 5, "OM"));
    } else if (code == "TSP#" && size == 80) {
        const int c = r.U8(8);
        if (c < 4 && r.U16(10) == 0) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_amplitude[c] = r.F32(52);
        }
    } else if (code == "TC" && size == 28) {
        Send(MakeInfo(4, 6, "TC"));
    } else if (code == "DCSR" && size == 8) {
        Send(MakeConfigurationAnswer());
    } else if (code == "RI" && size == 12) {
        m_requested = r.U32(8);
    } else if ((code == "TE" || code == "TI") && size == 16) {
        Ping(r.U32(8));
    } else if (code == "RES" && size == 12) {
        ++m_restarts;
        // The unit runs the firmware it was given from now on.
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (const auto& [file, bytes] : m_files)
                if (file.rfind("nvu4_", 0) == 0 && file != "nvu4_ReadBack.xsvf")
                    m_firmware = file;
        }
        if (!m_settings.noProgrammingSucceeded)
            Send(MakeInfo(1, 7, "Programming succeeded."));
        if (m_settings.bootAfterReset)
            (Boot() ? m_boots : m_failedBoots)++;
    }
}

void CNvuSimulator::Ping(std::uint32_t samples)
{
    const auto ping = static_cast<std::uint32_t>(++m_triggers);
    if (m_settings.retriggerEvery > 0 && ping % static_cast<std::uint32_t>(m_settings.retriggerEvery) == 0) {
        Send(MakeInfo(1, 2111, "Trigger again"));
        return;
    }
    if (samples == 0)
        samples = m_requested;
    samples = std::min<std::uint32_t>(samples, 1000000);
    const int channels = m_settings.channels;
    const bool silenceMid = m_silenceMidPing.exchange(false);
    Send(MakeTransmitStarted());
    const float volts[3] = {0.1f, 0.2f, 0.3f};
    Send(MakeAnalogInputs(0, ping % 2 ? 0 : 2, volts, 10000.0f));
    const std::size_t width = m_settings.floatSamples ? 4 : 2;
    const auto per = static_cast<std::uint32_t>((kMaxDatagram - 32) / (2 * width * static_cast<std::size_t>(channels)));
    std::vector<float> values;
    std::mt19937 gen(m_settings.seed * 2654435761u + ping);
    std::uniform_real_distribution<float> noise(-1e-4f, 1e-4f);
    for (std::uint32_t first = 0; first < samples; first += per) {
        if (silenceMid && first >= samples / 2) {
            m_silent = true;
            m_sampleNumber += samples + 100;
            return;
        }
        const std::uint32_t n = std::min(per, samples - first);
        values.assign(static_cast<std::size_t>(n) * 2 * static_cast<std::size_t>(channels), 0.0f);
        for (std::uint32_t k = 0; k < n; ++k)
            for (int c = 0; c < channels; ++c) {
                const int bottom = BottomSample(c);
                const int at = static_cast<int>(first + k);
                float re = noise(gen);
                float im = noise(gen);
                if (at >= bottom && at < bottom + 30) {
                    const float a = 0.5f * std::exp(-0.15f * static_cast<float>(at - bottom));
                    re += a;
                    im += 0.5f * a;
                }
                const std::size_t i =
                    (static_cast<std::size_t>(k) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)) *
                    2;
                values[i] = re;
                values[i + 1] = im;
            }
        ++m_sampleDatagrams;
        if (m_settings.dropEvery > 0 && m_sampleDatagrams % static_cast<std::uint64_t>(m_settings.dropEvery) == 0)
            continue;
        Send(MakeSamples(static_cast<float>(m_settings.sampleRate), channels, m_settings.floatSamples, m_sampleNumber,
                         m_sampleNumber + first, values));
    }
    m_sampleNumber += samples + 100;
}

void CNvuSimulator::RunDiscovery()
{
    std::vector<std::uint8_t> buffer(2048);
    for (;;) {
        SocketAddress from;
        const int n = m_discovery.ReceiveFrom(buffer.data(), buffer.size(), &from, -1);
        if (n == CSocket::kStopped || n == CSocket::kError)
            return;
        if (n != 12 || m_silent.load())
            continue;
        if (m_settings.answerOnlyFrom != 0 && from.ip != m_settings.answerOnlyFrom)
            continue;
        CByteReader r(buffer.data(), 12);
        if (r.U32(0) != 12 || std::memcmp(buffer.data() + 4, "VR\0\0", 4) != 0)
            continue;
        // The answer comes from the unit's own address, which the search
        // takes as the unit's; the program the unit talks to stays as it is.
        const Bytes answer = MakeVersionAnswer(m_settings.refuse, m_settings.serial, VersionText());
        std::lock_guard<std::mutex> lock(m_socketLock);
        m_socket.SendTo(answer.data(), answer.size(), from, 1000);
    }
}

void CNvuSimulator::RunTftp()
{
    std::vector<std::uint8_t> buffer(600);
    for (;;) {
        SocketAddress from;
        const int n = m_tftp.ReceiveFrom(buffer.data(), buffer.size(), &from, -1);
        if (n == CSocket::kStopped || n == CSocket::kError)
            return;
        if (n >= 4 && !m_silent.load())
            HandleTftp(buffer.data(), static_cast<std::size_t>(n), from);
    }
}

void CNvuSimulator::HandleTftp(const std::uint8_t* data, std::size_t size, const SocketAddress& from)
{
    const auto word = [data](std::size_t at) { return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]); };
    const auto reply = [this, &from](const Bytes& b) { m_tftp.SendTo(b.data(), b.size(), from, 1000); };
    const std::uint16_t opcode = word(0);
    Transfer& t = m_transfer;
    if (opcode == 1 || opcode == 2) {
        const void* end = std::memchr(data + 2, 0, size - 2);
        if (end == nullptr)
            return reply(TftpError(4, "bad request"));
        const std::string name(reinterpret_cast<const char*>(data + 2),
                               static_cast<const std::uint8_t*>(end) - (data + 2));
        if (opcode == 2 && m_settings.silentFromFirmwareRequest && name.rfind("nvu4_", 0) == 0) {
            m_silent = true;
            return;
        }
        t = Transfer{};
        t.peer = from;
        t.name = name;
        t.writing = opcode == 2;
        if (t.writing)
            return reply(TftpPacket(4, 0));
        // Reading: the firmware read back, as the unit holds it.
        Bytes content;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (const auto& [file, bytes] : m_files)
                if (file.rfind("nvu4_", 0) == 0 && file != "nvu4_ReadBack.xsvf")
                    content = bytes;
        }
        if (name != "nvu4_ReadBack.xsvf" || content.empty())
            return reply(TftpError(1, "File not found"));
        if (m_settings.badReadBack)
            content[content.size() / 2] ^= 0x5A;
        t.data = std::move(content);
        t.block = 1;
        t.sent = std::min(kBlock, t.data.size());
        return reply(TftpPacket(3, 1, t.data.data(), t.sent));
    }
    if (!(from == t.peer))
        return reply(TftpError(5, "Unknown transfer ID"));
    if (opcode == 3 && t.writing) {
        const std::uint16_t block = word(2);
        if (m_settings.breakTransfer && block > 2)
            return;  // the unit stops answering in the middle
        if (block == static_cast<std::uint16_t>(t.block + 1) && !t.done) {
            t.data.insert(t.data.end(), data + 4, data + size);
            t.block = block;
            if (size < 4 + kBlock) {
                t.done = true;
                std::string info;
                {
                    std::lock_guard<std::mutex> lock(m_lock);
                    m_files[t.name] = t.data;
                }
                if (t.name.size() == 13 && t.name.rfind("rx", 0) == 0 && t.name.substr(3) == "filter.txt")
                    Send(MakeInfo(3, 8, t.name));
            }
        }
        return reply(TftpPacket(4, t.block));
    }
    if (opcode == 4 && !t.writing) {
        if (word(2) != t.block || t.done)
            return;
        if (t.sent == t.data.size() && (t.sent % kBlock != 0 || t.block > t.data.size() / kBlock)) {
            t.done = true;
            return;
        }
        const std::size_t n = std::min(kBlock, t.data.size() - t.sent);
        ++t.block;
        reply(TftpPacket(3, t.block, t.data.data() + t.sent, n));
        t.sent += n;
    }
}

// ---------------------------------------------------------------------------
// Boot mode

namespace {

// BOOTP message offsets (RFC 951).
constexpr std::size_t kBootMessage = 300;
constexpr std::size_t kBootMinimum = 236;
constexpr std::size_t kBootXid = 4;
constexpr std::size_t kBootYiaddr = 16;
constexpr std::size_t kBootChaddr = 28;
constexpr std::size_t kBootFile = 108;
constexpr std::size_t kBootFileSize = 128;
// The largest boot file the unit takes.
constexpr std::size_t kMaxBootFile = 16u << 20;

int Hex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

Bytes CNvuSimulator::MakeBootRequest(std::uint32_t xid, const std::uint8_t (&hardware)[6])
{
    // 0 op  1 htype  2 hlen  3 hops  4 xid  8 secs  16 yiaddr  28 chaddr
    // 108 file "NVU"  236 vendor area
    Bytes b(kBootMessage, 0);
    b[0] = 1;
    b[1] = 1;
    b[2] = 6;
    for (int i = 0; i < 4; ++i)
        b[kBootXid + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(xid >> (24 - 8 * i));
    std::memcpy(b.data() + kBootChaddr, hardware, 6);
    std::memcpy(b.data() + kBootFile, "NVU", 3);
    return b;
}

void CNvuSimulator::GetHardwareAddress(std::uint8_t (&hardware)[6]) const
{
    std::memset(hardware, 0, sizeof hardware);
    const std::string text = VersionText();
    std::size_t at = text.find("Ethernet:");
    if (at == std::string::npos)
        return;
    at += 9;
    while (at < text.size() && text[at] == ' ')
        ++at;
    // Six two-digit bytes, each after a separator but the first.
    for (int i = 0; i < 6; ++i, at += 3) {
        if (at + 1 >= text.size() || Hex(text[at]) < 0 || Hex(text[at + 1]) < 0)
            return;
        hardware[i] = static_cast<std::uint8_t>(Hex(text[at]) * 16 + Hex(text[at + 1]));
    }
}

CNvuSimulator::Bytes CNvuSimulator::GetBootFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bootFile;
}

std::string CNvuSimulator::GetBootFileName() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bootFileName;
}

bool CNvuSimulator::Boot()
{
    std::uint32_t address = 0;
    std::uint32_t server = 0;
    std::string file;
    Bytes data;
    if (!AskForAddress(address, file, server) || !FetchBootFile(server, file, data))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bootFile = std::move(data);
        m_bootFileName = file;
    }
    return Rebind(address);
}

bool CNvuSimulator::AskForAddress(std::uint32_t& address, std::string& file, std::uint32_t& server)
{
    CSocket socket;
    socket.SetStopEvent(m_socket.GetStopEvent());
    if (!socket.Create(CSocket::Udp) || !socket.SetReuseAddress(true) || !socket.SetBroadcast(true) ||
        !socket.Bind(SocketAddress(0, m_settings.bootClientPort)))
        return false;
    std::uint8_t hardware[6];
    GetHardwareAddress(hardware);
    const std::uint32_t xid = m_settings.serial * 2654435761u + static_cast<std::uint32_t>(m_restarts.load());
    const Bytes request = MakeBootRequest(xid, hardware);
    const SocketAddress to(m_settings.bootDestination, m_settings.bootServerPort);
    Bytes reply(1500);
    for (int attempt = 0; attempt < m_settings.bootAttempts; ++attempt) {
        socket.SendTo(request.data(), request.size(), to, 1000);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_settings.bootWaitMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            SocketAddress from;
            const int n = socket.ReceiveFrom(reply.data(), reply.size(), &from, static_cast<int>(left.count()));
            if (n == CSocket::kStopped || n == CSocket::kError)
                return false;
            if (n == CSocket::kTimeout)
                break;
            // Ours: a reply to this request's xid and hardware address.
            if (n < static_cast<int>(kBootMinimum) || reply[0] != 2 ||
                std::memcmp(reply.data() + kBootXid, request.data() + kBootXid, 4) != 0 ||
                std::memcmp(reply.data() + kBootChaddr, hardware, 6) != 0)
                continue;
            const std::uint8_t* yiaddr = reply.data() + kBootYiaddr;
            address = static_cast<std::uint32_t>(yiaddr[0]) << 24 | static_cast<std::uint32_t>(yiaddr[1]) << 16 |
                      static_cast<std::uint32_t>(yiaddr[2]) << 8 | yiaddr[3];
            const auto* name = reinterpret_cast<const char*>(reply.data() + kBootFile);
            file.assign(name, strnlen(name, kBootFileSize));
            server = from.ip;
            return address != 0 && !file.empty();
        }
    }
    return false;
}

bool CNvuSimulator::FetchBootFile(std::uint32_t server, const std::string& file, Bytes& data)
{
    CSocket socket;
    socket.SetStopEvent(m_socket.GetStopEvent());
    if (!socket.Create(CSocket::Udp) || !socket.Bind(SocketAddress(0, 0)))
        return false;
    // Read request: 00 01 name 00 "octet" 00; then data 00 03 block bytes,
    // each acknowledged 00 04 block, until one holds fewer than 512 bytes.
    Bytes last{0, 1};
    last.insert(last.end(), file.begin(), file.end());
    last.push_back(0);
    for (char c : std::string("octet"))
        last.push_back(static_cast<std::uint8_t>(c));
    last.push_back(0);
    SocketAddress peer(server, m_settings.bootTftpPort);
    bool locked = false;
    std::uint16_t block = 0;
    int retries = 5;
    Bytes packet(4 + kBlock + 1);
    socket.SendTo(last.data(), last.size(), peer, 1000);
    for (;;) {
        SocketAddress from;
        const int n = socket.ReceiveFrom(packet.data(), packet.size(), &from, m_settings.bootWaitMs);
        if (n == CSocket::kStopped || n == CSocket::kError)
            return false;
        if (n == CSocket::kTimeout) {
            if (--retries <= 0)
                return false;
            socket.SendTo(last.data(), last.size(), peer, 1000);
            continue;
        }
        if (from.ip != server || (locked && from.port != peer.port) || n < 4 || n > static_cast<int>(4 + kBlock))
            continue;
        const std::uint16_t opcode = static_cast<std::uint16_t>(packet[0] << 8 | packet[1]);
        const std::uint16_t number = static_cast<std::uint16_t>(packet[2] << 8 | packet[3]);
        if (opcode != 3)
            return false;  // an error, or no file of ours
        if (!locked) {
            peer = from;
            locked = true;
        }
        if (number == static_cast<std::uint16_t>(block + 1)) {
            if (data.size() + static_cast<std::size_t>(n - 4) > kMaxBootFile)
                return false;
            data.insert(data.end(), packet.begin() + 4, packet.begin() + n);
            block = number;
            retries = 5;
            last = TftpPacket(4, block);
            socket.SendTo(last.data(), last.size(), peer, 1000);
            if (n < static_cast<int>(4 + kBlock))
                return true;
        } else if (number == block) {
            socket.SendTo(last.data(), last.size(), peer, 1000);
        }
    }
}

bool CNvuSimulator::Rebind(std::uint32_t address)
{
    if (m_socket.IsStopped())
        return false;
    // The unit's TFTP server moves too: its thread ends on the old address
    // and starts again on the new one.
    m_tftp.Stop();
    if (m_tftpThread.joinable())
        m_tftpThread.join();
    m_tftp.ResetStop();
    const std::uint32_t old = m_address.load();
    const std::uint16_t port = m_port.load();
    const std::uint16_t tftpPort = m_tftpPort.load();
    // In place, so that the socket keeps the stop event a stop may be
    // setting meanwhile; back on the old address when the new one fails.
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(m_socketLock);
        ok = m_socket.Create(CSocket::Udp) && m_socket.Bind(SocketAddress(address, port));
        if (!ok && m_socket.Create(CSocket::Udp))
            m_socket.Bind(SocketAddress(old, port));
    }
    const std::uint32_t now = ok ? address : old;
    if (m_tftp.Create(CSocket::Udp) && m_tftp.SetReuseAddress(true) && m_tftp.Bind(SocketAddress(now, tftpPort)))
        m_tftpThread = std::thread([this] { RunTftp(); });
    m_address = now;
    if (ok) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_program = SocketAddress();
    }
    return ok;
}
