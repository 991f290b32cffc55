// Runs a piece of a test inside a network namespace of its own, where only
// the loopback interface exists, so that broadcasts and privileged ports
// never reach a real network. The body runs in a forked child (single
// threaded, as unshare of a user namespace requires) and returns 0 on
// success; anything else, a crash included, is a failure.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace nettest {

enum class NamespaceResult { Passed, Failed, Unavailable };

// Failures inside the namespace child cannot reach GoogleTest: they are
// printed and turn into the child's exit code (the failure count).
struct Checks
{
    int failures = 0;
    bool operator()(bool ok, const std::string& what)
    {
        if (!ok) {
            std::fprintf(stderr, "FAILED: %s\n", what.c_str());
            ++failures;
        }
        return ok;
    }
};

inline bool BringLoopbackUp()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return ok;
}

// Inside a namespace: datagrams to the broadcast address 255.255.255.255
// leave through the loopback interface, where a socket bound to any address
// receives them, so that a test sees a broadcast it must not have made
// (without the route they fail with "network unreachable" unseen).
inline bool RouteBroadcastToLoopback()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    rtentry route{};
    auto* destination = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
    destination->sin_family = AF_INET;
    destination->sin_addr.s_addr = htonl(INADDR_BROADCAST);
    auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
    mask->sin_family = AF_INET;
    mask->sin_addr.s_addr = htonl(INADDR_BROADCAST);
    reinterpret_cast<sockaddr_in*>(&route.rt_gateway)->sin_family = AF_INET;
    route.rt_flags = RTF_UP | RTF_HOST;
    char device[] = "lo";
    route.rt_dev = device;
    const bool ok = ioctl(fd, SIOCADDRT, &route) == 0;
    close(fd);
    return ok;
}

// A socket bound to any address on one port that notes, of every datagram
// it takes, the address it was sent to (host byte order).
class CDestinationWatch
{
public:
    explicit CDestinationWatch(std::uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
        const int buffer = 1 << 22;
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        m_bound = bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    }
    ~CDestinationWatch() { close(m_fd); }
    CDestinationWatch(const CDestinationWatch&) = delete;
    CDestinationWatch& operator=(const CDestinationWatch&) = delete;

    bool IsBound() const { return m_bound; }
    // Takes what has arrived, waiting up to timeoutMs for the first.
    void Take(int timeoutMs)
    {
        timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        for (;;) {
            char data[70000];
            char control[CMSG_SPACE(sizeof(in_pktinfo))];
            iovec part{data, sizeof data};
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (recvmsg(m_fd, &message, 0) < 0)
                return;
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                    destinations.push_back(ntohl(reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr.s_addr));
            wait = {0, 20000};
            setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        }
    }
    std::vector<std::uint32_t> destinations;

private:
    int m_fd = -1;
    bool m_bound = false;
};

// Exit code 77 from the child means the namespace could not be made.
inline NamespaceResult RunInNetworkNamespace(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return NamespaceResult::Unavailable;
    if (child == 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0 && unshare(CLONE_NEWNET) != 0)
            _exit(77);
        if (!BringLoopbackUp())
            _exit(77);
        const int code = body();
        std::fflush(nullptr);
        _exit(code == 77 ? 1 : code);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        return NamespaceResult::Unavailable;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? NamespaceResult::Passed : NamespaceResult::Failed;
}

// A test whose body runs in a namespace of its own: it fails when the body
// does, and is skipped where this machine cannot make a namespace.
inline void RunNamespaceTest(const std::function<int()>& body)
{
    const auto result = RunInNetworkNamespace(body);
    if (result == NamespaceResult::Unavailable)
        GTEST_SKIP() << "no network namespace here";
    EXPECT_EQ(result, NamespaceResult::Passed);
}

}  // namespace nettest
