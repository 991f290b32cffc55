// The BOOTP server of QYNVU, from which the wide-band units boot: it gives
// each unit its address from the address table and hands out the path of
// its boot file, and runs the TFTP server the unit then loads the file
// from. Two threads: the BOOTP thread and the TFTP server's poll.
//
// A request (RFC 951; offsets in bytes):
//   0 op (1 request)  1 htype (1 Ethernet)  2 hlen  4 xid  16 yiaddr
//   20 siaddr  28 chaddr (16)  44 sname (64)  108 file (128)  236 vend
// Answered only when it is a request of an Ethernet address whose file
// field is exactly "NVU": the reply is the message as received (its first
// 300 bytes) with op 2, the unit's address in yiaddr, 0.0.0.0 in siaddr
// and the boot path in the file field. It goes out of every network adapter
// (bound to the adapter's address, server port) to the reply destination's
// client port: 255.255.255.255:68 unless set otherwise.
//
// The boot path is the boot folder followed by "ppc_code_nvu.mcs"; the TFTP
// server serves that folder, and takes the folder's own components at the
// start of a requested name as naming it, so the full path resolves to the
// file beneath it. A path that does not fit the file field with its
// terminator is never handed out.
//
// Ports 67 and 69 are privileged: a server that cannot bind its port
// writes an event-log record and keeps the status message to show
// (GetStartFailures); the program runs on without it.
#pragma once

#include "platform/Socket.h"
#include "transceivers/IpAddressTable.h"
#include "transceivers/Tftp.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CBootp
{
public:
    static constexpr std::uint16_t kServerPort = 67;
    static constexpr std::uint16_t kClientPort = 68;
    static constexpr std::size_t kMessageSize = 300;   // what a reply holds
    static constexpr std::size_t kMinimumSize = 236;   // a message without its vendor area
    static constexpr std::size_t kReceiveSize = 1500;  // the longest request taken
    static constexpr std::size_t kOp = 0;
    static constexpr std::size_t kHardwareType = 1;
    static constexpr std::size_t kYourAddress = 16;
    static constexpr std::size_t kServerAddress = 20;
    static constexpr std::size_t kHardwareAddress = 28;
    static constexpr std::size_t kFile = 108;
    static constexpr std::size_t kFileSize = 128;
    static constexpr std::uint8_t kRequest = 1;
    static constexpr std::uint8_t kReply = 2;
    static constexpr std::uint8_t kEthernet = 1;
    static constexpr const char* kBootFileName = "ppc_code_nvu.mcs";
    // A BOOTP thread's wait for a datagram, between looks at its stop flag.
    static constexpr int kWaitMs = 1000;

    // Where the server listens and answers; tests move every port.
    struct Network
    {
        std::uint16_t serverPort = kServerPort;
        std::uint16_t clientPort = kClientPort;
        std::uint16_t tftpPort = CTftp::kPort;
        std::uint32_t replyDestination = SocketAddress::kBroadcast;  // host order
    };

    struct Settings
    {
        // The folder of "IpAdresses.ini" (written to).
        std::string tableFolder;
        // The folder of the boot file, which the TFTP server serves.
        std::string bootFolder;
        Network network;
        CTftp::Timing tftpTiming;
        // The BOOTP thread's wait between looks at its stop flag; a stop
        // wakes it at once whatever it is.
        int waitMs = kWaitMs;
    };

    // What became of one request.
    enum class Outcome {
        Answered,
        Ignored,      // not a unit's boot request
        PathTooLong,  // the boot path does not fit the file field
        RangeFull,    // every address of the default range is taken
    };

    // Reads the table, binds both servers and starts their threads.
    explicit CBootp(Settings settings);
    // Wakes both threads and waits for them.
    ~CBootp();
    CBootp(const CBootp&) = delete;
    CBootp& operator=(const CBootp&) = delete;

    // One received datagram: the reply into *reply when it is answered. No
    // socket is needed: the BOOTP thread hands each datagram here. *saved
    // (when given) tells whether a unit new to the table reached its file.
    static Outcome HandleRequest(const std::uint8_t* data, std::size_t length, CIpAddressTable& table,
                                 const std::string& bootPath, std::vector<std::uint8_t>* reply, bool* saved = nullptr);

    // Gives a unit its address (unit discovery's address change).
    bool SetAddress(const std::string& hardwareAddress, const std::string& ip)
    {
        return m_table.SetAddress(hardwareAddress, ip);
    }
    CIpAddressTable& Table() { return m_table; }
    const std::string& BootPath() const { return m_bootPath; }
    // The boot path of a folder.
    static std::string BootPathOf(const std::string& folder);

    // The ports bound (the given ones unless 0 was asked); 0 when a server
    // did not start.
    std::uint16_t BootpPort() const { return m_bootpPort; }
    std::uint16_t TftpPort() const { return m_tftp.ServerPort(); }
    // The status messages (string ids) of the servers that could not start.
    const std::vector<unsigned>& GetStartFailures() const { return m_startFailures; }
    // The threads that run; both false once the destructor has waited.
    bool IsBootpThreadRunning() const { return m_bootpRunning.load(); }
    bool IsTftpThreadRunning() const { return m_tftpRunning.load(); }
    // Datagrams handled (each answered or not by the time it counts), and
    // those answered.
    int GetHandled() const { return m_handled.load(); }
    int GetAnswered() const { return m_answered.load(); }
    const CTftp& Tftp() const { return m_tftp; }

private:
    void ServerThread();
    void TftpServerThread();
    void Answer(const std::uint8_t* data, std::size_t length);
    void SendReply(const std::vector<std::uint8_t>& reply);

    Settings m_settings;
    CIpAddressTable m_table;
    std::string m_bootPath;
    CSocket m_socket;
    std::uint16_t m_bootpPort = 0;
    CTftp m_tftp;
    std::vector<unsigned> m_startFailures;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_bootpRunning{false};
    std::atomic<bool> m_tftpRunning{false};
    std::atomic<int> m_handled{0};
    std::atomic<int> m_answered{0};
    // What was last told the event log, so that a unit asking again and
    // again writes one record of a lasting fault.
    Outcome m_reported = Outcome::Answered;
    bool m_unsavedReported = false;
    std::thread m_bootpThread;
    std::thread m_tftpThread;
};
