// A simulated general-purpose HXU unit on loopback. It keeps its own
// reading and writing of the unit's datagrams, made from the unit's tables
// and not shared with the program, so that each side checks the other.
//
// It answers "VR" with its identity and version (or a fatal state), takes
// code blocks ("CB", answered "CR") and keeps their text, takes "C" (the
// program's address for the data), "CK", "A" and "D", and answers every
// mode set ("MS") with a synthetic ping of each channel the mode set
// names: "P" fragments of power samples (noise and a bottom at a set
// depth) with the thermistor and motion words and the status bits, and an
// "AD" block. Faults on demand: silence, a wrong block number, a fragment
// out of its ping, a fragment whose count passes its end, a gap, a fatal
// error ("E").
//
// With a broadcast port it also hears broadcasts, as a unit on a network
// does: the version request of a unit search, answered from its own
// address, and the address change "IS" (16 bytes: "IS" 0 0, the Ethernet
// address from its last digit pair on, 0 0, the new address in network
// order), which a unit of that Ethernet address obeys: it moves to the new
// address and answers its version from there.
#pragma once

#include "platform/Socket.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CHxuSimulator
{
public:
    static constexpr int kMaxChannels = 4;
    static constexpr std::uint32_t kNoSample = 0xFFFFFFFFu;

    struct Settings
    {
        std::uint32_t address = 0x7F000001;  // host order
        std::uint16_t port = 12345;          // 0: any free port
        std::string identity = "HXU-H 1";
        // 12 hexadecimal digits; when set, the description the unit reports
        // is its identity (header words and hardware version) followed by
        // it, and "IS" of this address moves the unit.
        std::string ethernet;
        std::string version = "HXUSIM";
        // The port on which broadcasts are heard (0: none).
        std::uint16_t broadcastPort = 0;
        bool fatal = false;
        std::string fatalText = "DSP halted";
        double soundVelocity = 1500.0;  // m/s
        double bottomDepth = 30.0;      // m; 0 for none
        double bottomDb = -20.0;
        double noiseDb = -90.0;
        int fragmentSamples = 400;
        std::uint16_t thermistor = 32760;
        std::array<std::uint16_t, 3> motion{{0x4000, 0x8000, 0xC000}};
        std::uint8_t status = 0;
        std::uint32_t seed = 1;
    };

    enum class Fault {
        None,
        Silent,         // answers nothing at all
        SilentPings,    // answers the handshake, pings nothing
        WrongBlock,     // the next code block is acknowledged with another number
        StrayFragment,  // the next ping is preceded by a fragment out of any ping
        OverlongData,   // the next ping's first fragment counts more samples than it holds
        Gap,            // the next ping leaves out its second fragment
        Fatal,          // the next mode set is answered "E"
    };

    explicit CHxuSimulator(const Settings& settings);
    ~CHxuSimulator();
    CHxuSimulator(const CHxuSimulator&) = delete;
    CHxuSimulator& operator=(const CHxuSimulator&) = delete;

    bool Start();  // binds and starts answering; false when the port is taken
    void Stop();
    std::uint16_t Port() const { return m_port; }
    // The address the unit answers from now (host order).
    std::uint32_t Address() const { return m_address.load(); }
    std::uint64_t GetAddressChanges() const { return m_addressChanges.load(); }
    // The description of the version answer.
    std::string Description() const;

    void SetFault(Fault fault) { m_fault = fault; }
    void SetStatus(std::uint8_t bits) { m_status = bits; }

    // The sample of the bottom at a sample interval.
    int BottomSample(double sampleInterval) const;
    std::uint64_t GetVersionQueries() const { return m_versionQueries.load(); }
    std::uint64_t GetConnects() const { return m_connects.load(); }
    std::uint64_t GetKeepAlives() const { return m_keepAlives.load(); }
    std::uint64_t GetModeSets() const { return m_modeSets.load(); }
    std::uint64_t GetPings() const { return m_pings.load(); }
    std::uint64_t GetDisconnects() const { return m_disconnects.load(); }
    // Datagrams sent to the program's data address.
    std::uint64_t GetSent() const { return m_sent.load(); }
    int GetAlarm() const { return m_alarm.load(); }  // -1 never set
    // The code blocks taken, joined, and whether the last one came.
    std::string GetSoftware() const;
    bool SoftwareComplete() const { return m_softwareComplete.load(); }
    std::uint32_t GetSamples(int channel) const;
    double GetSampleInterval(int channel) const;

    // The datagrams of the unit, as it sends them; tests and the fuzz
    // corpus take them from here.
    static std::vector<std::uint8_t> EncodeVersion(const std::string& identity, const std::string& version, bool fatal,
                                                   const std::string& error);
    static std::vector<std::uint8_t> EncodeBlockReply(std::uint32_t block);
    static std::vector<std::uint8_t> EncodeFragment(int channel, std::uint32_t first,
                                                    const std::vector<std::int16_t>& power, std::uint16_t thermistor,
                                                    const std::array<std::uint16_t, 3>& motion, std::uint8_t status,
                                                    int adCount = 0);
    static std::vector<std::uint8_t> EncodeRawBlock(int channel, std::uint32_t blockId, int stride,
                                                    const std::vector<std::int16_t>& words);
    static std::vector<std::uint8_t> EncodeText(char code, const std::string& text);
    // One channel's ping: its fragments of fragmentSamples each.
    std::vector<std::vector<std::uint8_t>> EncodePing(int channel, std::uint32_t samples, double sampleInterval);

private:
    void Loop();
    void BroadcastLoop();
    // On the loop's thread: the unit moves to the address an "IS" asked for.
    void Move();
    void OnDatagram(const std::uint8_t* d, std::size_t n, const SocketAddress& from);
    void SendPing();
    bool SendToProgram(const std::vector<std::uint8_t>& datagram);

    Settings m_settings;
    CSocket m_socket;
    std::uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_started{false};
    CSocket m_broadcast;
    std::thread m_broadcastThread;
    std::atomic<std::uint32_t> m_address{0};
    std::atomic<std::uint64_t> m_addressChanges{0};
    // Guards the replacement of m_socket and its use by the broadcast
    // thread; an address change asked for and by whom.
    std::mutex m_socketLock;
    bool m_movePending = false;
    std::uint32_t m_moveTo = 0;
    SocketAddress m_moveAsker;

    mutable std::mutex m_lock;
    SocketAddress m_program;
    bool m_programKnown = false;
    std::array<std::uint32_t, kMaxChannels> m_samples{};
    std::array<double, kMaxChannels> m_interval{};
    std::string m_software;
    std::uint32_t m_random = 1;

    std::atomic<Fault> m_fault{Fault::None};
    std::atomic<std::uint8_t> m_status{0};
    std::atomic<bool> m_softwareComplete{false};
    std::atomic<int> m_alarm{-1};
    std::atomic<std::uint64_t> m_versionQueries{0};
    std::atomic<std::uint64_t> m_connects{0};
    std::atomic<std::uint64_t> m_keepAlives{0};
    std::atomic<std::uint64_t> m_modeSets{0};
    std::atomic<std::uint64_t> m_pings{0};
    std::atomic<std::uint64_t> m_disconnects{0};
    std::atomic<std::uint64_t> m_sent{0};
};
