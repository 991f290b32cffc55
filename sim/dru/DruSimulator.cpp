#include "sim/dru/DruSimulator.h"

#include "platform/ByteWriter.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Enough for any number of sounders and tools at once.
constexpr std::size_t kMaxClients = 32;
// How often the sockets are checked for having been removed.
constexpr int kCheckMs = 1000;

}  // namespace

CDruSimulator::CDruSimulator(Settings settings) : m_settings(std::move(settings)) {}

CDruSimulator::~CDruSimulator()
{
    Close();
}

std::string CDruSimulator::DevicePath() const
{
    std::string folder = m_settings.deviceFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + kDeviceName;
}

bool CDruSimulator::Listen(Listener& listener, const std::string& path, mode_t mode, std::string& error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = path + ": too long a path for a socket";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // A socket left by a driver that died is taken over; one that answers
    // belongs to a driver still running, and anything else is not ours.
    struct stat st
    {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            close(fd);
            error = path + ": exists and is not a device";
            return false;
        }
        const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool answered =
            probe >= 0 && connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (probe >= 0)
            close(probe);
        if (answered) {
            close(fd);
            error = path + ": already served by another driver";
            return false;
        }
        unlink(path.c_str());
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || chmod(path.c_str(), mode) != 0 ||
        listen(fd, 16) != 0 || stat(path.c_str(), &st) != 0) {
        error = path + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    listener = Listener{fd, path, st.st_ino};
    return true;
}

bool CDruSimulator::Open(std::string& error)
{
    // Every user's sounder may open the device; only the manager that
    // started the driver may unload it.
    if (!Listen(m_device, DevicePath(), 0666, error))
        return false;
    if (!m_settings.controlPath.empty() && !Listen(m_control, m_settings.controlPath, 0600, error)) {
        Close();
        return false;
    }
    return true;
}

bool CDruSimulator::StillOurs(const Listener& listener) const
{
    struct stat st
    {};
    return lstat(listener.path.c_str(), &st) == 0 && st.st_ino == listener.inode;
}

void CDruSimulator::Close()
{
    // The names go before the connections end, so that whoever waited for
    // the end finds the device gone.
    for (Listener* l : {&m_device, &m_control}) {
        if (l->fd < 0)
            continue;
        if (StillOurs(*l))
            unlink(l->path.c_str());
        close(l->fd);
        *l = Listener{};
    }
    for (Client& c : m_clients)
        close(c.fd);
    m_clients.clear();
}

void CDruSimulator::Accept(const Listener& listener, bool control)
{
    for (;;) {
        const int fd = accept4(listener.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (m_clients.size() >= kMaxClients) {
            close(fd);
            continue;
        }
        m_clients.push_back(Client{fd, control, {}});
    }
}

bool CDruSimulator::CardPresent() const
{
    return !m_settings.noCard && m_settings.ioBase == kCardIoBase;
}

std::vector<BYTE> CDruSimulator::Serve(const CDruCodec::Request& request, bool fromControl, bool& unload) const
{
    unload = false;
    if (fromControl != (request.op == CDruCodec::kUnload))
        return CDruCodec::EncodeAnswer(ERROR_INVALID_FUNCTION, 0);
    switch (request.op) {
    case CDruCodec::kUnload:
        unload = true;
        return CDruCodec::EncodeAnswer(0, 0);
    case CDruCodec::kWrite:
        if (request.in.size() != CDruCodec::kCommandLength || request.in[0] < CDruCodec::kFirstCommand ||
            request.in[0] > CDruCodec::kLastCommand)
            return CDruCodec::EncodeAnswer(ERROR_INVALID_PARAMETER, 0);
        return CDruCodec::EncodeAnswer(0, CDruCodec::kCommandLength);
    case CDruCodec::kRead:
        return CDruCodec::EncodeAnswer(ERROR_NOT_READY, 0);
    default:
        break;
    }
    DWORD value = 0;
    DWORD size = 0;
    switch (request.code) {
    case CDruCodec::kReadStatus8:
        value = CardPresent() ? CDruCodec::kStatus8Good : 0;
        size = 1;
        break;
    case CDruCodec::kReadCardId:
        value = CardPresent() ? m_settings.cardId : CDruCodec::kNoCard;
        size = 2;
        break;
    case CDruCodec::kReadStatus32:
        value = m_settings.inUse ? CDruCodec::kStatus32InUse : 0;
        size = 4;
        break;
    default:
        return CDruCodec::EncodeAnswer(ERROR_INVALID_FUNCTION, 0);
    }
    if (request.outCapacity < size)
        return CDruCodec::EncodeAnswer(ERROR_INSUFFICIENT_BUFFER, 0);
    BYTE bytes[4] = {};
    CByteWriter(bytes, sizeof bytes).U32(0, value);
    return CDruCodec::EncodeAnswer(0, size, bytes);
}

bool CDruSimulator::ServeClient(Client& client, bool& unload)
{
    BYTE buffer[4096];
    const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return true;
    if (n <= 0)
        return false;
    client.codec.Feed(buffer, static_cast<std::size_t>(n));
    CDruCodec::Request request;
    while (client.codec.Next(request)) {
        const std::vector<BYTE> answer = Serve(request, client.control, unload);
        // Answers are small; one the socket cannot take at once goes to a
        // client that does not read them.
        if (send(client.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
            static_cast<ssize_t>(answer.size()))
            return false;
        if (unload)
            return true;
    }
    return !client.codec.Broken();
}

void CDruSimulator::Run()
{
    const Listener& watched = m_control.fd >= 0 ? m_control : m_device;
    bool unload = false;
    while (!unload && !m_stop.IsSet() && m_device.fd >= 0 && StillOurs(watched)) {
        std::vector<pollfd> fds;
        fds.push_back({m_stop.Fd(), POLLIN, 0});
        fds.push_back({m_device.fd, POLLIN, 0});
        fds.push_back({m_control.fd, POLLIN, 0});
        for (const Client& c : m_clients)
            fds.push_back({c.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), kCheckMs) <= 0)
            continue;
        // Clients first, by their place in fds, before accepting moves them.
        std::vector<Client> kept;
        for (std::size_t i = 0; i < m_clients.size(); ++i) {
            Client& c = m_clients[i];
            if (fds[3 + i].revents != 0 && !unload && !ServeClient(c, unload)) {
                close(c.fd);
                continue;
            }
            kept.push_back(std::move(c));
        }
        m_clients = std::move(kept);
        if (fds[1].revents != 0)
            Accept(m_device, false);
        if (m_control.fd >= 0 && fds[2].revents != 0)
            Accept(m_control, true);
    }
    Close();
}
