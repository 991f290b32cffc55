// A simulated GEO unit on loopback. It keeps its own reading and writing of
// the unit's datagrams, made from the unit's tables and not shared with the
// program, so that each side checks the other.
//
// It answers "BEGIN" on its TCP port with the deck unit's text (its
// version, serial number, Ethernet address and the tow fish's frequency),
// takes "STARE", the channel set-ups and the acknowledgements on its
// datagram port, and answers each trigger
// broadcast ("TI" or "TE") with a synthetic ping of every channel: a header
// and the channel's float samples (noise and a bottom at a set depth) in
// data datagrams to the program's address. Every so many pings a header
// carries a text telegram instead. Faults on demand: silence, a data
// datagram of a foreign sequence, one longer than its header announced, a
// header of no channel.
#pragma once

#include "platform/Socket.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CGeoSimulator
{
public:
    static constexpr int kMaxChannels = 4;

    struct Settings
    {
        std::uint32_t address = 0x7F000002;  // 127.0.0.2, host order
        std::uint16_t port = 502;
        std::uint16_t triggerPort = 12345;
        int channels = 4;
        double sampleInterval = 0.0001;  // s
        double soundVelocity = 1500.0;   // m/s
        double bottomDepth = 30.0;       // m; 0 for none
        float bottomPower = 2.0e6f;      // the unit's float units
        float noisePower = 20.0f;
        int samples = 2000;        // per channel until its set-up says otherwise
        int datagramBytes = 8000;  // data per data datagram
        int textEvery = 0;         // a text header every n pings; 0 never
        std::string text = "$SDDBT,98.4,f,30.0,M,16.4,F*00";
        // "Frequency:" carries the tow fish's frequency in kHz.
        std::string beginAnswer =
            "GEOSIM deck unit\r\nVersion: 2.3\r\nSerial no. 4711\r\nEthernet: 02-00-00-00-12-67\r\n"
            "Frequency: 200.000 kHz\r\n";
        std::uint32_t seed = 1;
    };

    enum class Fault { None, Silent, ForeignSequence, OverlongData, WrongChannel };

    explicit CGeoSimulator(const Settings& settings);
    ~CGeoSimulator();
    CGeoSimulator(const CGeoSimulator&) = delete;
    CGeoSimulator& operator=(const CGeoSimulator&) = delete;

    bool Start();  // binds and starts answering; false when a port is taken
    void Stop();

    // Faults: Silent lasts until set back to None; the others hit the next
    // ping only.
    void SetFault(Fault fault) { m_fault = fault; }
    // Moves the bottom (m; 0 for none) from the next ping on.
    void SetBottomDepth(double depth) { m_bottomDepth = depth; }

    // The sample of the bottom, by the sample interval and sound velocity.
    int BottomSample() const;
    std::uint64_t GetBegins() const { return m_begins.load(); }
    std::uint64_t GetStarts() const { return m_starts.load(); }
    std::uint64_t GetTriggers() const { return m_triggers.load(); }
    std::uint64_t GetPings() const { return m_pings.load(); }
    std::uint64_t GetAcknowledgements() const { return m_acks.load(); }
    std::uint64_t GetSetups() const { return m_setups.load(); }
    int GetChannelSamples(int channel) const;

    // The datagrams of one ping, as the unit sends them: per channel a
    // header and its data; the fuzz corpus and tests take them from here.
    static std::vector<std::uint8_t> EncodeHeader(int channel, std::int32_t sequence, int samples);
    static std::vector<std::uint8_t> EncodeTextHeader(const std::string& text);
    std::vector<std::vector<std::uint8_t>> EncodePing(std::int32_t sequence);

private:
    void TcpLoop();
    void UnitLoop();
    void TriggerLoop();
    void SendPing();
    bool SendToProgram(const std::vector<std::uint8_t>& datagram);

    Settings m_settings;
    CSocket m_tcp;
    CSocket m_unit;
    CSocket m_trigger;
    std::thread m_tcpThread;
    std::thread m_unitThread;
    std::thread m_triggerThread;
    std::atomic<bool> m_started{false};

    mutable std::mutex m_lock;
    SocketAddress m_program;
    bool m_programKnown = false;
    std::array<int, kMaxChannels> m_samples{};
    std::uint32_t m_random = 1;

    std::atomic<double> m_bottomDepth;
    std::atomic<Fault> m_fault{Fault::None};
    std::atomic<std::int32_t> m_sequence{0};
    std::atomic<std::uint64_t> m_begins{0};
    std::atomic<std::uint64_t> m_starts{0};
    std::atomic<std::uint64_t> m_triggers{0};
    std::atomic<std::uint64_t> m_pings{0};
    std::atomic<std::uint64_t> m_acks{0};
    std::atomic<std::uint64_t> m_setups{0};
};
