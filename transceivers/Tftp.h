// A small TFTP server and client (binary transfers only).
//
// The server lets network units that booted by BOOTP load their boot file
// from one folder of the PC; the client sends a file to a unit or fetches
// one from it (the wide-band unit's filters and firmware). Each object owns
// its socket and its transfer table, so one owner runs one server and tests
// run several side by side.
//
// Packets, all numbers 16-bit network order:
//   read request  00 01 "name" 00 "octet" 00
//   write request 00 02 "name" 00 "octet" 00
//   data          00 03 <block> <0..512 bytes>
//   ack           00 04 <block>
//   error         00 05 <code> "message" 00
//
// Requests in the mode "octet" or "netascii" (in any case) are served, the
// files as they are stored; others are refused.
//
// The server serves the folder it was started on and nothing outside it: a
// name with a "." or ".." component is refused, every component is opened
// beneath the folder without following a link, only regular files are read,
// and a received file is written under a temporary name and given its own
// name only when complete and only when no file of that name exists.
#pragma once

#include "platform/Socket.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTftp
{
public:
    static constexpr std::uint16_t kPort = 69;
    static constexpr int kSlots = 8;
    static constexpr std::size_t kBlock = 512;
    static constexpr std::size_t kPacket = kBlock + 4;

    enum Opcode : std::uint16_t { ReadRequest = 1, WriteRequest = 2, Data = 3, Ack = 4, Error = 5 };

    // The server's error kinds; each has its code and message on the wire.
    enum class ErrorKind {
        IllegalOperation,
        FileNotFound,
        DiskFull,
        Network,
        TimedOut,
        ReadError,
        WriteError,
        FileExists,
        Other
    };

    // Times of the protocol in whole "seconds"; tests shorten the second.
    struct Timing
    {
        std::chrono::milliseconds second{1000};
        int transferTimeout = 5;  // seconds before a packet is sent again
        int retries = 5;          // resends before a transfer is given up
        int linger = 10;          // seconds a finished transfer stays to answer repeats
        int activeWait = 3;       // longest wait for a packet while transfers run
    };

    struct Counters
    {
        std::atomic<int> served{0};      // transfers completed
        std::atomic<int> refused{0};     // requests answered with an error
        std::atomic<int> dropped{0};     // malformed or unexpected packets
        std::atomic<int> ignored{0};     // requests with no free slot
        std::atomic<int> peerErrors{0};  // error packets of peers, each ending its transfer
    };

    CTftp();
    explicit CTftp(const Timing& timing);
    ~CTftp();
    CTftp(const CTftp&) = delete;
    CTftp& operator=(const CTftp&) = delete;

    // Server. Opens the socket on any address at port (69 unless given),
    // serving rootFolder. 0 on success; -1 when the socket cannot be made,
    // bound or sized; 1 when broadcast cannot be enabled (not running then).
    int TftpStartServer(const std::string& rootFolder, std::uint16_t port = kPort);
    // The server loop; returns once TftpStopServer was called (from any
    // thread) or the server was never started.
    void TftpPoll();
    void TftpStopServer();
    // The port the server is bound to (for a server started on port 0).
    std::uint16_t ServerPort() const;
    const Counters& GetCounters() const { return m_counters; }
    // The folder served (TftpStartServer sets it too).
    void SetRoot(const std::string& rootFolder);
    // One packet as the poll hands it over: dispatched by its opcode.
    void HandlePacket(const std::uint8_t* packet, std::size_t length, const SocketAddress& from);
    // The timer of the transfers, as the poll runs it when seconds passed.
    void TimerStep(int seconds);
    int ActiveTransfers() const { return m_active.load(); }

    // Client: one transfer with the unit at peerIp (dotted text). send
    // non-zero writes the file at path to the unit under its own name (the
    // part after the last '/' or '\'); zero fetches that name from the unit
    // into path. True only when the last block was acknowledged (sending)
    // or written (fetching); an error packet, a time-out or a local failure
    // give false with the reason in *why.
    bool TftpPutFile(const std::string& path, const std::string& peerIp, int send, std::uint16_t port = kPort,
                     std::string* why = nullptr);

    // Ends a client transfer in progress and every later one (from any
    // thread): they fail at once.
    void CancelTransfers() { m_clientStop->Set(); }

    // What the client makes of each reply of one transfer, between its
    // request and its end; TftpPutFile runs it over its socket.
    class ClientTransfer
    {
    public:
        enum class Step {
            Wait,          // nothing to send: not the unit's, stale or a repeat
            Send,          // Packet() goes to Peer(), the timer starts again
            RefuseSender,  // the sender is told of an illegal operation
            SendAndDone,   // Packet() goes to Peer(), and the transfer succeeded
            Done,          // the transfer succeeded
            Failed         // the transfer failed, Why() tells why
        };
        // send: the file open at fd goes to the unit as name, else what the
        // unit sends of name is written to fd (neither owned). server: the
        // unit's TFTP port, where the request goes.
        ClientTransfer(bool send, int fd, const std::string& name, const SocketAddress& server);
        // The request first, then the last block or acknowledgement, which
        // the timer sends again.
        const std::vector<std::uint8_t>& Packet() const { return m_last; }
        // The unit's own port once it answered.
        const SocketAddress& Peer() const { return m_peer; }
        Step Take(const std::uint8_t* packet, std::size_t length, const SocketAddress& from);
        const std::string& Why() const { return m_why; }

    private:
        Step Fail(const std::string& why);

        bool m_send;
        int m_fd;
        SocketAddress m_peer;
        bool m_locked = false;
        std::uint16_t m_block = 0;
        bool m_lastBlock = false;
        std::vector<std::uint8_t> m_last;
        std::string m_why;
    };

    // The wire form of one error packet (code, message, zero padding).
    static std::vector<std::uint8_t> ErrorPacket(ErrorKind kind);
    // The file a request names, as components beneath the served folder,
    // or false when it names none there.
    static bool ResolveName(const std::string& root, const std::string& request, std::vector<std::string>& components);

private:
    struct Slot;
    using Clock = std::chrono::steady_clock;

    void HandleRequest(const std::uint8_t* packet, std::size_t length, const SocketAddress& from, bool write);
    void HandleData(const std::uint8_t* packet, std::size_t length, const SocketAddress& from);
    void HandleAck(const std::uint8_t* packet, std::size_t length, const SocketAddress& from);
    void SendError(ErrorKind kind, const SocketAddress& to);
    void SendSlot(Slot& slot);
    bool SendNextBlock(Slot& slot);
    void FreeSlot(Slot& slot, bool commit);
    Slot* FindSlot(const SocketAddress& peer, int state);
    int OpenBeneath(const std::vector<std::string>& components, bool forWrite, int& directory) const;

    Timing m_timing;
    CSocket m_socket;
    std::string m_root;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_active{0};
    // Kept when bound: the poll closes its socket when it ends.
    std::atomic<std::uint16_t> m_port{0};
    Counters m_counters;
    std::vector<Slot> m_slots;
    std::shared_ptr<CStopEvent> m_clientStop = std::make_shared<CStopEvent>();
};
