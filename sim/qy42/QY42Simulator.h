// A simulated QY42 unit on loopback. It keeps its own reading and writing of
// the unit's telegrams, made from the unit's telegram tables and not shared
// with the program, so that each side checks the other.
//
// It answers version, set-up and status requests, takes trigger and transmit
// settings, and answers each trigger with "TSS#" and the "RSD#" sample
// datagrams of a synthetic ping: noise, a bottom at a set depth and a few
// point targets. Faults on demand: drop every Nth sample datagram, fall
// silent (also in the middle of a ping), refuse the unit, send bursts.
//
// It answers on a socket of its own, or in the process: then the program's
// datagrams come in through Deliver and the unit's go out through a function,
// so a driver's tests run against the same unit without a network.
#pragma once

#include "platform/Socket.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CQY42Simulator
{
public:
    struct Target
    {
        double depth = 0.0;  // m
        float amplitude = 0.1f;
    };

    struct Settings
    {
        std::uint32_t address = 0x7F000002;  // 127.0.0.2, host order
        std::uint16_t port = 12346;
        double sampleInterval = 0.0001;  // s
        double soundVelocity = 1500.0;   // m/s
        double bottomDepth = 30.0;       // m; 0 for none
        float bottomAmplitude = 0.5f;
        float noise = 1e-4f;
        std::vector<Target> targets;
        int samplesPerDatagram = 240;  // float pairs; 32 + 240 * 8 = 1952 bytes
        int dropEvery = 0;             // drop every Nth sample datagram; 0 never
        bool refuse = false;           // the version answer refuses the unit
        // Each ping ends with an auxiliary input carrying this thermistor
        // resistance (ohms); 0: none is sent.
        double thermistorOhms = 0.0;
        // Send each datagram when its last sample has been taken, as a unit
        // does, instead of all at once.
        bool realTime = false;
        std::uint32_t seed = 1;
        // The unit's own text: its version, and the text of its version
        // answer after the addresses.
        std::string version = "QY42 SIM 1.0";
        // The status answer: the board's type, its position, slot and rack
        // id, and its eleven supply voltages and temperatures.
        std::string boardType = "SIMBRD";
        std::int32_t boardId = 10203;
        std::array<float, 11> boardValues = {180.0f, 12.1f, 10.0f, 5.0f, 3.3f, 2.5f, 1.5f, 6.0f, 35.5f, 31.0f, 42.0f};
        // The version answer's addresses: the unit's Ethernet address, and
        // the program's address, Ethernet address and port as the unit sees
        // them (address and port 0: those the program sends from).
        std::array<std::uint8_t, 6> ethernet = {0x02, 0x00, 0x00, 0x00, 0x42, 0x01};
        std::array<std::uint8_t, 6> remoteEthernet = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
        std::uint32_t remoteAddress = 0;
        std::uint16_t remotePort = 0;
        // A motion sensor on the unit's analog inputs: its heave, roll and
        // pitch voltages at a file time, sent in an "ACI" ahead of each
        // sample datagram (stamped with its first sample), and in the
        // thermistor's at the ping's end; the time is the transmit instant
        // plus the sample's offset. None when unset.
        std::function<std::array<float, 3>(std::uint64_t time)> motionVolts;
    };

    // The addresses of a version answer; addresses in host order.
    struct Addresses
    {
        std::uint32_t localAddress = 0;
        std::array<std::uint8_t, 6> localEthernet{};
        std::uint16_t localPort = 0;
        std::uint32_t remoteAddress = 0;
        std::array<std::uint8_t, 6> remoteEthernet{};
        std::uint16_t remotePort = 0;
    };

    explicit CQY42Simulator(const Settings& settings);
    ~CQY42Simulator();
    CQY42Simulator(const CQY42Simulator&) = delete;
    CQY42Simulator& operator=(const CQY42Simulator&) = delete;

    bool Start();  // binds and starts answering; false when the port is taken
    void Stop();

    // What takes the unit's datagrams in the process.
    using ToProgram = std::function<void(const std::vector<std::uint8_t>& datagram)>;
    // Starts answering in the process (the first call) and sends every
    // datagram of the unit to toProgram from now on, from the unit's thread.
    void StartInProcess(ToProgram toProgram);
    // A datagram of the program's, from its socket at from, in the process;
    // the unit takes it on its own thread, in the order they came.
    void Deliver(const std::uint8_t* data, std::size_t size, const SocketAddress& from);
    // Sends a datagram of the caller's making from the unit to the program's
    // command address, as the unit sends its answers.
    bool SendToProgram(const std::vector<std::uint8_t>& datagram);

    void SetSilent(bool silent) { m_silent = silent; }
    // Moves the bottom (m; 0 for none) from the next sample the unit takes.
    void SetBottomDepth(double depth) { m_bottomDepth = depth; }
    // The next ping sends its trigger status and half its datagrams, then
    // the unit falls silent.
    void SilenceDuringNextPing() { m_silenceMidPing = true; }
    bool IsSilent() const { return m_silent.load(); }

    // Sends count sample datagrams of one ping back to back to the program's
    // command address (the last sender of a command telegram).
    int SendBurst(int count);

    int BottomSample() const;
    std::uint64_t GetTriggers() const { return m_triggers.load(); }
    std::uint64_t GetDatagramsSent() const { return m_sent.load(); }
    std::uint64_t GetDatagramsDropped() const { return m_dropped.load(); }
    std::uint64_t GetSetups() const { return m_setups.load(); }
    // Codes received, in order ("VR", "HD", ..., "TE").
    std::vector<std::string> GetReceivedCodes() const;
    // The transmit frequency of the last "TSP#" (float at 72) and its
    // amplitude (float at 56).
    float GetTransmitFrequency() const;
    float GetTransmitAmplitude() const;
    // The effective pulse length of the last "TSP#" (float at 60) and the
    // pulse length of the last "TPC" (float at 16), s.
    float GetTransmitPulseLength() const;
    float GetConfiguredPulseLength() const;
    SocketAddress GetProgramAddress() const;

    // The simulator's own telegram writers, exposed for golden-byte checks.
    static std::vector<std::uint8_t> MakeInfo(std::uint32_t type, std::uint32_t number, const std::string& text);
    static std::vector<std::uint8_t> MakeVersionAnswer(bool refuse, const std::string& version);
    static std::vector<std::uint8_t> MakeVersionAnswer(bool refuse, const std::string& version,
                                                       const Addresses& addresses);
    static std::vector<std::uint8_t> MakeStatusAnswer(const std::string& boardType, std::int32_t boardId,
                                                      const std::array<float, 11>& values);
    static std::vector<std::uint8_t> MakeTriggerStatus();
    static std::vector<std::uint8_t> MakeAuxiliaryInput(std::uint32_t sampleNumber, std::uint8_t flags,
                                                        const float (&motionVolts)[3], float thermistorOhms);
    static std::vector<std::uint8_t> MakeSamples(float rate, std::uint32_t pingStart, std::uint32_t first,
                                                 const std::vector<float>& iq);

private:
    struct Received
    {
        std::vector<std::uint8_t> datagram;
        SocketAddress from;
    };

    void Run();
    void RunInProcess();
    bool Transmit(const std::vector<std::uint8_t>& datagram, const SocketAddress& to);
    void Handle(const std::uint8_t* data, std::size_t size, const SocketAddress& from);
    void Ping(std::uint32_t samples);
    void Send(const std::vector<std::uint8_t>& datagram, const SocketAddress& to);
    void SendSamples(const std::vector<std::uint8_t>& datagram, const SocketAddress& to);
    void Sample(std::uint32_t ping, std::uint32_t k, float& i, float& q) const;

    Settings m_settings;
    CSocket m_socket;
    std::thread m_thread;
    // In the process: the program's datagrams waiting for the unit, and
    // where the unit's go.
    std::mutex m_inboxLock;
    std::condition_variable m_inboxReady;
    std::deque<Received> m_inbox;
    bool m_stopped = false;
    ToProgram m_toProgram;
    std::atomic<double> m_bottomDepth;
    std::atomic<bool> m_silent{false};
    std::atomic<bool> m_silenceMidPing{false};
    std::atomic<std::uint64_t> m_triggers{0}, m_sent{0}, m_dropped{0}, m_setups{0};
    std::uint64_t m_sampleDatagrams = 0;
    std::uint32_t m_sampleNumber = 1000;
    mutable std::mutex m_lock;
    std::vector<std::string> m_codes;
    SocketAddress m_program;
    float m_frequency = 0.0f, m_amplitude = 0.0f, m_pulseLength = 0.0f, m_configuredPulseLength = 0.0f;
};
