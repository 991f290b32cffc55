#include "platform/DeviceLink.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

CDeviceLink::CDeviceLink() : m_stop(std::make_shared<CStopEvent>()) {}

CDeviceLink::~CDeviceLink()
{
    if (m_fd >= 0)
        close(m_fd);
}

DWORD CDeviceLink::Connect(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return ERROR_FILENAME_EXCED_RANGE;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return ERROR_GEN_FAILURE;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ECONNREFUSED:
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case EAGAIN:
            return ERROR_NOT_READY;
        default:
            return ERROR_GEN_FAILURE;
        }
    }
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    m_failed = 0;
    return 0;
}

long long CDeviceLink::DeadlineAfter(int timeoutMs)
{
    if (timeoutMs < 0)
        return -1;
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return now.count() + timeoutMs;
}

DWORD CDeviceLink::Wait(short events, long long deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline >= 0) {
            const long long left = deadline - DeadlineAfter(0);
            if (left <= 0)
                return ERROR_TIMEOUT;
            timeout = static_cast<int>(left);
        }
        pollfd fds[2] = {{m_fd, events, 0}, {m_stop->Fd(), POLLIN, 0}};
        const int n = poll(fds, 2, timeout);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ERROR_DEV_NOT_EXIST;
        if (fds[1].revents != 0)
            return ERROR_OPERATION_ABORTED;
        // A hang-up still lets the bytes already sent be read; the read that
        // finds none reports it.
        if (fds[0].revents != 0)
            return 0;
    }
}

DWORD CDeviceLink::SendAll(const BYTE* data, std::size_t length, long long deadline)
{
    while (length > 0) {
        const ssize_t n = send(m_fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const DWORD rc = Wait(POLLOUT, deadline); rc != 0)
                return rc;
            continue;
        }
        return ERROR_DEV_NOT_EXIST;
    }
    return 0;
}

DWORD CDeviceLink::ReceiveAll(BYTE* data, std::size_t length, long long deadline)
{
    while (length > 0) {
        if (const DWORD rc = Wait(POLLIN, deadline); rc != 0)
            return rc;
        const ssize_t n = recv(m_fd, data, length, MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        return ERROR_DEV_NOT_EXIST;
    }
    return 0;
}

DWORD CDeviceLink::Fail(DWORD error)
{
    m_failed = error;
    return error;
}

DWORD CDeviceLink::Transact(DWORD op, DWORD code, const BYTE* in, DWORD inLength, BYTE* out, DWORD outCapacity,
                            CDeviceFrame::Answer& answer, int timeoutMs)
{
    answer = {};
    if (m_failed != 0)
        return m_failed;
    if (m_fd < 0)
        return ERROR_INVALID_HANDLE;
    const long long deadline = DeadlineAfter(timeoutMs);
    const std::vector<BYTE> request = CDeviceFrame::EncodeRequest(op, code, in, inLength, outCapacity);
    if (const DWORD rc = SendAll(request.data(), request.size(), deadline); rc != 0)
        return Fail(rc);
    BYTE header[CDeviceFrame::kAnswerHeaderSize];
    if (const DWORD rc = ReceiveAll(header, sizeof header, deadline); rc != 0)
        return Fail(rc);
    if (!CDeviceFrame::DecodeAnswerHeader(header, op, inLength, outCapacity, answer))
        return Fail(ERROR_DEV_NOT_EXIST);
    if (answer.dataFollows) {
        if (const DWORD rc = ReceiveAll(out, answer.count, deadline); rc != 0)
            return Fail(rc);
    }
    return 0;
}

DWORD CDeviceLink::WaitClosed(int timeoutMs)
{
    if (m_fd < 0)
        return 0;
    const long long deadline = DeadlineAfter(timeoutMs);
    BYTE scrap[256];
    for (;;) {
        if (const DWORD rc = Wait(POLLIN, deadline); rc != 0)
            return rc;
        const ssize_t n = recv(m_fd, scrap, sizeof scrap, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return 0;
    }
}

void CDeviceLink::Cancel()
{
    m_stop->Set();
}

void CDeviceLink::SetStopEvent(std::shared_ptr<CStopEvent> stop)
{
    if (stop)
        m_stop = std::move(stop);
}
