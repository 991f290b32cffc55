// UDP and TCP sockets whose waits a stop can break.
//
// Every blocking call waits in poll() on the socket and on a stop event (an
// eventfd), so a thread waiting for a datagram or a connection returns
// kStopped as soon as another thread calls Stop(), instead of hanging in the
// system call until its destructor. Sockets are non-blocking underneath; a
// time-out is given per call in milliseconds (negative: no time-out).
//
// Addresses are IPv4 in host byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct sockaddr_in;

struct SocketAddress
{
    std::uint32_t ip = 0;    // host byte order; 0 = any
    std::uint16_t port = 0;  // host byte order; 0 = any

    SocketAddress() = default;
    SocketAddress(std::uint32_t address, std::uint16_t p) : ip(address), port(p) {}

    // Parses dotted IPv4 text ("127.0.0.1"); false for anything else.
    static bool ParseIp(const std::string& text, std::uint32_t& ip);
    static std::string IpText(std::uint32_t ip);
    std::string IpText() const { return IpText(ip); }
    std::string Text() const;  // "a.b.c.d:port"

    static constexpr std::uint32_t kLoopback = 0x7F000001;
    static constexpr std::uint32_t kBroadcast = 0xFFFFFFFF;

    void ToSockaddr(sockaddr_in& out) const;
    static SocketAddress FromSockaddr(const sockaddr_in& in);
    bool operator==(const SocketAddress&) const = default;
};

// A latch that wakes every poll() it takes part in.
class CStopEvent
{
public:
    CStopEvent();
    ~CStopEvent();
    CStopEvent(const CStopEvent&) = delete;
    CStopEvent& operator=(const CStopEvent&) = delete;

    void Set();  // wakes all present and future waits until Reset
    void Reset();
    bool IsSet() const;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

class CSocket
{
public:
    enum Type { Udp, Tcp };
    // Results of the waiting calls besides a byte count.
    static constexpr int kError = -1;
    static constexpr int kTimeout = -2;
    static constexpr int kStopped = -3;
    // The largest payload of one IPv4 UDP datagram.
    static constexpr std::size_t kMaxUdpPayload = 65507;

    CSocket();
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    CSocket(CSocket&& other) noexcept;
    CSocket& operator=(CSocket&& other) noexcept;

    bool Create(Type type);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    bool Bind(const SocketAddress& local);
    bool SetBroadcast(bool on);
    bool SetReuseAddress(bool on);
    bool SetReceiveBufferSize(int bytes);
    bool SetSendBufferSize(int bytes);
    SocketAddress LocalAddress() const;

    // UDP. SendTo returns the bytes sent or kError; it waits at most
    // timeoutMs for room in the send buffer.
    int SendTo(const void* data, std::size_t length, const SocketAddress& to, int timeoutMs = 1000);
    // Waits for one datagram; returns its length (cut to capacity), or
    // kTimeout, kStopped, kError. from (when given) gets the sender.
    int ReceiveFrom(void* buffer, std::size_t capacity, SocketAddress* from, int timeoutMs);

    // TCP.
    bool Listen(int backlog = 8);
    // Waits for a connection and hands it to connection; 0 on success, else
    // kTimeout, kStopped or kError.
    int Accept(CSocket& connection, SocketAddress* peer, int timeoutMs);
    // Connects within timeoutMs; 0, kTimeout, kStopped or kError.
    int Connect(const SocketAddress& remote, int timeoutMs);
    // Sends every byte, waiting at most timeoutMs for room each time; the
    // length sent, or kTimeout, kStopped, kError.
    int Send(const void* data, std::size_t length, int timeoutMs);
    // Waits for bytes; the count received (0 when the peer closed), or
    // kTimeout, kStopped, kError.
    int Receive(void* buffer, std::size_t capacity, int timeoutMs);

    // Waits until the socket can be read: 1, kTimeout, kStopped or kError.
    int WaitReadable(int timeoutMs);

    // Breaks present and future waits of this socket (from any thread)
    // until ResetStop. A socket shares its stop event with others when given
    // the same one, so one Stop ends a thread's waits on all its sockets.
    void Stop();
    void ResetStop();
    bool IsStopped() const;
    std::shared_ptr<CStopEvent> GetStopEvent() const { return m_stop; }
    void SetStopEvent(std::shared_ptr<CStopEvent> stop);

    // errno of the last failure.
    int LastError() const { return m_lastError; }
    int Handle() const { return m_fd; }

private:
    // 1 ready, kTimeout, kStopped, kError; events is POLLIN or POLLOUT.
    int Wait(short events, int timeoutMs);
    bool Fail();

    int m_fd = -1;
    Type m_type = Udp;
    int m_lastError = 0;
    std::shared_ptr<CStopEvent> m_stop;
};
