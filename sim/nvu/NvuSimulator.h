// A simulated wide-band unit of up to four channels on loopback. Its reading
// and writing of the unit's datagrams are its own, made from the unit's
// tables and not shared with the program, so that each side checks the
// other; its TFTP server is its own too.
//
// It answers "VR" with "VA" (the serial number at +20, and a text with the
// serial number, the Ethernet address, both software revisions, the
// firmware file name and its boards' frequencies), the broadcast "VR" of a
// unit search on the discovery port too; it acknowledges the connect sequence with "INFO" messages ("HD", "HC",
// "RC#", "SYNC", "TC"), takes the receive filters by TFTP and acknowledges
// each ("rx0filter.txt" ...), answers "DCSR" with "DCSA" and "VR" again, and
// answers each trigger with "TSS#", the "RSD#" sample datagrams of a ping on
// every channel (float or 16-bit samples) and an "ACI". Firmware comes by
// TFTP as "nvu4_*.xsvf" and is read back as "nvu4_ReadBack.xsvf"; "RES"
// restarts the unit, which then reports "Programming succeeded." and names
// the file it was given as its firmware.
//
// In boot mode a restart boots the unit as from power-on: it asks for its
// address by BOOTP (a request of its Ethernet address with the file "NVU",
// from port 68 to 255.255.255.255:67), loads the file the reply names by
// TFTP from the reply's sender, and from then on answers at the address the
// reply gave it. Its BOOTP and TFTP client are its own as well.
//
// Faults on demand: the version answer refuses the unit; the unit falls
// silent in the middle of a ping; every Nth sample datagram is dropped;
// the read-back differs from what was written; a transfer breaks off after
// its second block; no "Programming succeeded." after a restart; the unit
// falls silent at a firmware request; every Nth trigger is asked for again
// with INFO 1/2111.
#pragma once

#include "platform/Socket.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CNvuSimulator
{
public:
    using Bytes = std::vector<std::uint8_t>;

    struct Settings
    {
        std::uint32_t address = 0x7F000002;  // 127.0.0.2, host order
        std::uint16_t port = 12346;          // 0: any (tests)
        std::uint16_t tftpPort = 69;         // 0: any (tests)
        // The port whose broadcast "VR" the unit answers from its own
        // address and port (0: none; the program's search asks on 12346).
        std::uint16_t discoveryPort = 0;
        int channels = 4;
        bool floatSamples = true;     // RSD# format: float pairs, else 16-bit halves
        double sampleRate = 10000.0;  // Hz, of every channel's output
        double soundVelocity = 1500.0;
        // The bottom of channel c lies at bottomDepth + c * 2 m.
        double bottomDepth = 25.0;
        std::uint32_t serial = 0x1A2B;
        std::string firmware = "nvu4_main_05032024_v101.xsvf";
        // The frequency (kHz) of each transceiver board, one "Board n: f kHz"
        // line each in the version answer's text.
        std::vector<int> boardKHz{38};
        // Faults.
        bool refuse = false;
        int dropEvery = 0;
        int retriggerEvery = 0;
        bool badReadBack = false;
        bool breakTransfer = false;
        bool noProgrammingSucceeded = false;
        // The unit falls silent at the request of a firmware transfer and
        // answers nothing more until it is told to speak again.
        bool silentFromFirmwareRequest = false;
        std::uint32_t seed = 1;
        // Only datagrams from this sender reach the unit (0: any), as when
        // the unit hangs on one of the PC's adapters only.
        std::uint32_t answerOnlyFrom = 0;
        // The transducer each channel receives through: a channel sharing
        // another's transducer hears that one's bottom.
        int transducerOf[4] = {0, 1, 2, 3};
        // Boot mode: "RES" boots the unit by BOOTP and TFTP. The request goes
        // to bootDestination (host order) on bootServerPort from
        // bootClientPort; the file comes from bootTftpPort of the server.
        bool bootAfterReset = false;
        std::uint32_t bootDestination = 0xFFFFFFFF;
        std::uint16_t bootServerPort = 67;
        std::uint16_t bootClientPort = 68;
        std::uint16_t bootTftpPort = 69;
        // How often the request is sent, and how long each waits for a reply.
        int bootAttempts = 5;
        int bootWaitMs = 2000;
    };

    // A BOOTP request of the unit: op 1, htype 1, hlen 6, xid, chaddr and
    // the file field "NVU", 300 bytes.
    static Bytes MakeBootRequest(std::uint32_t xid, const std::uint8_t (&hardware)[6]);

    explicit CNvuSimulator(const Settings& settings);
    ~CNvuSimulator();
    CNvuSimulator(const CNvuSimulator&) = delete;
    CNvuSimulator& operator=(const CNvuSimulator&) = delete;

    // Binds both sockets and starts answering; false when a port is taken.
    bool Start();
    void Stop();
    std::uint16_t GetPort() const;
    std::uint16_t GetTftpPort() const;
    // The address the unit answers at (host order): its own until a boot
    // gave it another.
    std::uint32_t GetAddress() const { return m_address.load(); }
    // The unit's Ethernet address, from the "Ethernet:" line of its text.
    void GetHardwareAddress(std::uint8_t (&hardware)[6]) const;
    // Boots that ended at a new address, and those that did not.
    int GetBoots() const { return m_boots.load(); }
    int GetFailedBoots() const { return m_failedBoots.load(); }
    // The file the last boot loaded, and the name it asked for.
    Bytes GetBootFile() const;
    std::string GetBootFileName() const;

    void SetSilent(bool silent) { m_silent = silent; }
    bool IsSilent() const { return m_silent.load(); }
    // The next ping sends its first half, then the unit falls silent.
    void SilenceDuringNextPing() { m_silenceMidPing = true; }

    int BottomSample(int channel) const;
    std::uint64_t GetTriggers() const { return m_triggers.load(); }
    std::uint64_t GetRestarts() const { return m_restarts.load(); }
    std::vector<std::string> GetReceivedCodes() const;
    // The pairing mask of the last "OM", and the amplitude of each
    // channel's last enabled transmit pulse ("TSP#" outside the final series).
    std::uint32_t GetPairingMask() const { return m_pairingMask.load(); }
    float GetPulseAmplitude(int channel) const;
    // The files the unit took by TFTP, by name.
    std::map<std::string, Bytes> GetFiles() const;

    // The simulator's writers, exposed for golden-byte checks.
    static Bytes MakeInfo(std::uint32_t type, std::uint32_t number, const std::string& text);
    static Bytes MakeVersionAnswer(bool refuse, std::uint32_t serial, const std::string& text);
    // The text of the version answer.
    std::string VersionText() const;
    static Bytes MakeConfigurationAnswer();
    static Bytes MakeTransmitStarted();
    static Bytes MakeAnalogInputs(std::uint32_t sample, std::uint8_t state, const float (&volts)[3], float ohms);
    // One sample datagram of channels channels, samples (re, im per channel
    // per instant) as floats or as 16-bit upper halves; pingStart and first
    // are sample numbers, which run on from ping to ping.
    static Bytes MakeSamples(float rate, int channels, bool floats, std::uint32_t pingStart, std::uint32_t first,
                             const std::vector<float>& samples);

private:
    void Run();
    void RunTftp();
    void RunDiscovery();
    void Handle(const std::uint8_t* data, std::size_t size, const SocketAddress& from);
    void HandleTftp(const std::uint8_t* data, std::size_t size, const SocketAddress& from);
    void Ping(std::uint32_t samples);
    void Send(const Bytes& d);
    // Boot mode's restart, on the unit's own thread; false when no address
    // came or the file could not be loaded (the unit stays where it was).
    bool Boot();
    bool AskForAddress(std::uint32_t& address, std::string& file, std::uint32_t& server);
    bool FetchBootFile(std::uint32_t server, const std::string& file, Bytes& data);
    bool Rebind(std::uint32_t address);

    Settings m_settings;
    CSocket m_socket;
    CSocket m_tftp;
    CSocket m_discovery;
    // Held while the unit's socket is rebound, and by the discovery thread
    // while it answers through it.
    std::mutex m_socketLock;
    std::atomic<std::uint32_t> m_address{0};
    std::atomic<std::uint16_t> m_port{0};
    std::atomic<std::uint16_t> m_tftpPort{0};
    std::atomic<int> m_boots{0};
    std::atomic<int> m_failedBoots{0};
    Bytes m_bootFile;
    std::string m_bootFileName;
    std::thread m_thread;
    std::thread m_tftpThread;
    std::thread m_discoveryThread;
    std::atomic<bool> m_silent{false};
    std::atomic<bool> m_silenceMidPing{false};
    std::atomic<std::uint64_t> m_triggers{0}, m_restarts{0};
    std::uint32_t m_requested = 0;
    std::uint32_t m_sampleNumber = 1000;
    std::uint64_t m_sampleDatagrams = 0;
    mutable std::mutex m_lock;
    std::vector<std::string> m_codes;
    SocketAddress m_program;
    std::map<std::string, Bytes> m_files;
    std::string m_firmware;  // the firmware given by the last restart
    std::atomic<std::uint32_t> m_pairingMask{0};
    float m_amplitude[4] = {0.0f, 0.0f, 0.0f, 0.0f};

    // The one TFTP transfer the unit runs at a time.
    struct Transfer
    {
        SocketAddress peer;
        bool writing = false;
        std::string name;
        Bytes data;
        std::uint16_t block = 0;
        std::size_t sent = 0;
        bool done = false;
    } m_transfer;
};
