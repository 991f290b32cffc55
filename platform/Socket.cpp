#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// What is left of a time-out that started at start; negative stays negative.
int Remaining(int timeoutMs, SteadyClock::time_point start)
{
    if (timeoutMs < 0)
        return -1;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
    return spent >= timeoutMs ? 0 : static_cast<int>(timeoutMs - spent);
}

}  // namespace

bool SocketAddress::ParseIp(const std::string& text, std::uint32_t& ip)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    ip = ntohl(addr.s_addr);
    return true;
}

std::string SocketAddress::IpText(std::uint32_t ip)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF, ip & 0xFF);
    return text;
}

std::string SocketAddress::Text() const
{
    return IpText() + ":" + std::to_string(port);
}

void SocketAddress::ToSockaddr(sockaddr_in& out) const
{
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(ip);
    out.sin_port = htons(port);
}

SocketAddress SocketAddress::FromSockaddr(const sockaddr_in& in)
{
    return SocketAddress(ntohl(in.sin_addr.s_addr), ntohs(in.sin_port));
}

CStopEvent::CStopEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CStopEvent::~CStopEvent()
{
    if (m_fd >= 0)
        close(m_fd);
}

void CStopEvent::Set()
{
    // The counter stays readable until Reset drains it, so every poll that
    // includes it returns at once.
    const std::uint64_t one = 1;
    if (m_fd >= 0) [[maybe_unused]]
        const ssize_t n = write(m_fd, &one, sizeof one);
}

void CStopEvent::Reset()
{
    std::uint64_t value = 0;
    if (m_fd >= 0) [[maybe_unused]]
        const ssize_t n = read(m_fd, &value, sizeof value);
}

bool CStopEvent::IsSet() const
{
    pollfd p{m_fd, POLLIN, 0};
    return m_fd >= 0 && poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

CSocket::CSocket() : m_stop(std::make_shared<CStopEvent>()) {}

CSocket::~CSocket()
{
    Close();
}

CSocket::CSocket(CSocket&& other) noexcept
    : m_fd(other.m_fd), m_type(other.m_type), m_lastError(other.m_lastError), m_stop(std::move(other.m_stop))
{
    other.m_fd = -1;
    other.m_stop = std::make_shared<CStopEvent>();
}

CSocket& CSocket::operator=(CSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_type = other.m_type;
        m_lastError = other.m_lastError;
        m_stop = std::move(other.m_stop);
        other.m_fd = -1;
        other.m_stop = std::make_shared<CStopEvent>();
    }
    return *this;
}

bool CSocket::Fail()
{
    m_lastError = errno;
    return false;
}

bool CSocket::Create(Type type)
{
    Close();
    m_type = type;
    m_fd = socket(AF_INET, (type == Tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return m_fd >= 0 || Fail();
}

void CSocket::Close()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

bool CSocket::Bind(const SocketAddress& local)
{
    sockaddr_in addr;
    local.ToSockaddr(addr);
    return bind(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 || Fail();
}

bool CSocket::SetBroadcast(bool on)
{
    const int value = on ? 1 : 0;
    return setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0 || Fail();
}

bool CSocket::SetReuseAddress(bool on)
{
    const int value = on ? 1 : 0;
    return setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) == 0 || Fail();
}

bool CSocket::SetReceiveBufferSize(int bytes)
{
    return setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0 || Fail();
}

bool CSocket::SetSendBufferSize(int bytes)
{
    return setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0 || Fail();
}

SocketAddress CSocket::LocalAddress() const
{
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    if (m_fd < 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return {};
    return SocketAddress::FromSockaddr(addr);
}

int CSocket::Wait(short events, int timeoutMs)
{
    if (m_fd < 0) {
        m_lastError = EBADF;
        return kError;
    }
    const auto start = SteadyClock::now();
    for (;;) {
        pollfd fds[2] = {{m_stop->Fd(), POLLIN, 0}, {m_fd, events, 0}};
        const int n = poll(fds, 2, Remaining(timeoutMs, start));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_lastError = errno;
            return kError;
        }
        if ((fds[0].revents & POLLIN) != 0)
            return kStopped;
        if (n == 0)
            return kTimeout;
        if ((fds[1].revents & (events | POLLERR | POLLHUP)) != 0)
            return 1;
        if ((fds[1].revents & POLLNVAL) != 0) {
            m_lastError = EBADF;
            return kError;
        }
    }
}

int CSocket::WaitReadable(int timeoutMs)
{
    return Wait(POLLIN, timeoutMs);
}

int CSocket::SendTo(const void* data, std::size_t length, const SocketAddress& to, int timeoutMs)
{
    sockaddr_in addr;
    to.ToSockaddr(addr);
    const auto start = SteadyClock::now();
    for (;;) {
        const ssize_t n =
            sendto(m_fd, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            m_lastError = errno;
            return kError;
        }
        const int ready = Wait(POLLOUT, Remaining(timeoutMs, start));
        if (ready != 1)
            return ready;
    }
}

int CSocket::ReceiveFrom(void* buffer, std::size_t capacity, SocketAddress* from, int timeoutMs)
{
    const auto start = SteadyClock::now();
    for (;;) {
        const int ready = Wait(POLLIN, Remaining(timeoutMs, start));
        if (ready != 1)
            return ready;
        sockaddr_in addr{};
        socklen_t addrLength = sizeof addr;
        const ssize_t n = recvfrom(m_fd, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&addr), &addrLength);
        if (n >= 0) {
            if (from != nullptr)
                *from = SocketAddress::FromSockaddr(addr);
            return static_cast<int>(n);
        }
        // Spurious wake-ups, and ICMP errors of an earlier send that Linux
        // reports on a UDP socket, are not a reason to give up waiting.
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || (m_type == Udp && errno == ECONNREFUSED))
            continue;
        m_lastError = errno;
        return kError;
    }
}

bool CSocket::Listen(int backlog)
{
    return listen(m_fd, backlog) == 0 || Fail();
}

int CSocket::Accept(CSocket& connection, SocketAddress* peer, int timeoutMs)
{
    const auto start = SteadyClock::now();
    for (;;) {
        const int ready = Wait(POLLIN, Remaining(timeoutMs, start));
        if (ready != 1)
            return ready;
        sockaddr_in addr{};
        socklen_t addrLength = sizeof addr;
        const int fd = accept4(m_fd, reinterpret_cast<sockaddr*>(&addr), &addrLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            connection.Close();
            connection.m_fd = fd;
            connection.m_type = Tcp;
            if (peer != nullptr)
                *peer = SocketAddress::FromSockaddr(addr);
            return 0;
        }
        // A connection that went away before we took it is not our failure.
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)
            continue;
        m_lastError = errno;
        return kError;
    }
}

int CSocket::Connect(const SocketAddress& remote, int timeoutMs)
{
    sockaddr_in addr;
    remote.ToSockaddr(addr);
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR) {
        m_lastError = errno;
        return kError;
    }
    const int ready = Wait(POLLOUT, timeoutMs);
    if (ready != 1)
        return ready;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0) {
        m_lastError = error;
        return kError;
    }
    return 0;
}

int CSocket::Send(const void* data, std::size_t length, int timeoutMs)
{
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    const auto start = SteadyClock::now();
    while (done < length) {
        const ssize_t n = send(m_fd, bytes + done, length - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_lastError = errno;
            return kError;
        }
        const int ready = Wait(POLLOUT, Remaining(timeoutMs, start));
        if (ready != 1)
            return ready;
    }
    return static_cast<int>(done);
}

int CSocket::Receive(void* buffer, std::size_t capacity, int timeoutMs)
{
    const auto start = SteadyClock::now();
    for (;;) {
        const int ready = Wait(POLLIN, Remaining(timeoutMs, start));
        if (ready != 1)
            return ready;
        const ssize_t n = recv(m_fd, buffer, capacity, 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        m_lastError = errno;
        return kError;
    }
}

void CSocket::Stop()
{
    m_stop->Set();
}

void CSocket::ResetStop()
{
    m_stop->Reset();
}

bool CSocket::IsStopped() const
{
    return m_stop->IsSet();
}

void CSocket::SetStopEvent(std::shared_ptr<CStopEvent> stop)
{
    if (stop != nullptr)
        m_stop = std::move(stop);
}
