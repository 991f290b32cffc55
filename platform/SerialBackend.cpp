#include "platform/SerialBackend.h"

#include "platform/SerialBackendFake.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::mutex& PathMutex()
{
    static std::mutex m;
    return m;
}

std::map<int, std::string>& PathMap()
{
    static std::map<int, std::string> paths;
    return paths;
}

// "COM12" -> 12; 0 when the name is not of that form.
int ComNumber(const std::string& name)
{
    if (name.size() < 4 || name.size() > 6)
        return 0;
    if ((name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
        return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

speed_t SpeedOf(DWORD baud)
{
    struct Row
    {
        DWORD baud;
        speed_t speed;
    };
    static constexpr Row rows[] = {
        {50, B50},           {75, B75},         {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},       {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000},
    };
    for (const Row& row : rows)
        if (row.baud == baud)
            return row.speed;
    return B0;
}

class CTermiosBackend final : public ISerialBackend
{
public:
    CTermiosBackend(int fd, int wake) : m_Fd(fd), m_Wake(wake)
    {
        int status = 0;
        m_HasModemLines = ::ioctl(m_Fd, TIOCMGET, &status) == 0;
        if (m_HasModemLines)
            m_LastModem = status;
        serial_icounter_struct counts{};
        m_HasCounters = ::ioctl(m_Fd, TIOCGICOUNT, &counts) == 0;
        if (m_HasCounters)
            m_LastCounts = counts;
    }

    ~CTermiosBackend() override
    {
        ::close(m_Fd);
        ::close(m_Wake);
    }

    BOOL Configure(const SerialLineSettings& s) override
    {
        termios tio{};
        if (::tcgetattr(m_Fd, &tio) != 0)
            return FALSE;
        const speed_t speed = SpeedOf(s.baud);
        if (speed == B0)
            return FALSE;
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        switch (s.dataBits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        case 8:
            tio.c_cflag |= CS8;
            break;
        default:
            return FALSE;
        }
        switch (s.parity) {
        case NOPARITY:
            break;
        case ODDPARITY:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            tio.c_cflag |= PARENB;
            break;
        case MARKPARITY:
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case SPACEPARITY:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            return FALSE;
        }
        if (s.parity != NOPARITY)
            tio.c_iflag |= INPCK;
        // One and a half stop bits exist only for 5 data bits; two come nearest.
        if (s.stopBits == ONE5STOPBITS || s.stopBits == TWOSTOPBITS)
            tio.c_cflag |= CSTOPB;
        else if (s.stopBits != ONESTOPBIT)
            return FALSE;
        if (s.ctsFlow)
            tio.c_cflag |= CRTSCTS;
        if (s.xonXoff)
            tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = s.xonChar;
        tio.c_cc[VSTOP] = s.xoffChar;
        tio.c_cflag |= CREAD | CLOCAL;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        return ::tcsetattr(m_Fd, TCSANOW, &tio) == 0;
    }

    SerialWait Wait(DWORD timeoutMs) override
    {
        if (Pending())
            return SerialWait::Event;
        // Lines with modem lines or error counters are looked at every 50 ms,
        // since poll does not report their changes.
        const bool sample = m_HasModemLines || m_HasCounters;
        DWORD left = timeoutMs;
        for (;;) {
            const DWORD slice = sample ? std::min<DWORD>(left, 50) : left;
            pollfd fds[2] = {{m_Wake, POLLIN, 0}, {m_Fd, POLLIN, 0}};
            const int nfds = m_Failed ? 1 : 2;
            const int rc = ::poll(fds, nfds, static_cast<int>(slice));
            if (rc < 0 && errno != EINTR)
                return SerialWait::Failed;
            if (rc > 0 && (fds[0].revents & POLLIN))
                return SerialWait::Cancelled;
            if (rc > 0 && nfds == 2) {
                if (fds[1].revents & POLLIN)
                    return SerialWait::Readable;
                if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                    m_Failed = true;
                    return SerialWait::Failed;
                }
            }
            if (sample && Pending())
                return SerialWait::Event;
            if (rc == 0) {
                if (left <= slice)
                    return SerialWait::Timeout;
                left -= slice;
            }
        }
    }

    long Read(BYTE* buffer, std::size_t max) override
    {
        for (;;) {
            const ssize_t n = ::read(m_Fd, buffer, max);
            if (n >= 0)
                return static_cast<long>(n);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return 0;
            m_Failed = true;
            return -1;
        }
    }

    long Write(const BYTE* bytes, std::size_t n, DWORD timeoutMs) override
    {
        std::size_t done = 0;
        int waited = 0;
        while (done < n) {
            const ssize_t rc = ::write(m_Fd, bytes + done, n - done);
            if (rc > 0) {
                done += static_cast<std::size_t>(rc);
                continue;
            }
            if (rc < 0 && errno == EINTR)
                continue;
            if (rc < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                break;
            if (waited >= static_cast<int>(timeoutMs))
                break;
            pollfd fds[2] = {{m_Wake, POLLIN, 0}, {m_Fd, POLLOUT, 0}};
            const int slice = 100;
            const int prc = ::poll(fds, 2, slice);
            if (prc > 0 && (fds[0].revents & POLLIN))
                break;
            if (prc > 0 && (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)))
                break;
            if (prc == 0)
                waited += slice;
        }
        return static_cast<long>(done);
    }

    DWORD TakeEvents() override
    {
        Pending();
        const DWORD events = m_Events | (m_Errors ? EV_ERR : 0);
        m_Events = 0;
        return events;
    }

    DWORD ClearError() override
    {
        const DWORD errors = m_Errors;
        m_Errors = 0;
        return errors;
    }

    DWORD GetModemStatus() override
    {
        int status = 0;
        if (!m_HasModemLines || ::ioctl(m_Fd, TIOCMGET, &status) != 0)
            return 0;
        return ModemBits(status);
    }

    BOOL Escape(DWORD function) override
    {
        int bits = 0;
        switch (function) {
        case SETDTR:
            bits = TIOCM_DTR;
            return ::ioctl(m_Fd, TIOCMBIS, &bits) == 0;
        case CLRDTR:
            bits = TIOCM_DTR;
            return ::ioctl(m_Fd, TIOCMBIC, &bits) == 0;
        case SETRTS:
            bits = TIOCM_RTS;
            return ::ioctl(m_Fd, TIOCMBIS, &bits) == 0;
        case CLRRTS:
            bits = TIOCM_RTS;
            return ::ioctl(m_Fd, TIOCMBIC, &bits) == 0;
        case SETXON:
            return ::tcflow(m_Fd, TCOON) == 0;
        case SETXOFF:
            return ::tcflow(m_Fd, TCOOFF) == 0;
        case SETBREAK:
            return ::ioctl(m_Fd, TIOCSBRK) == 0;
        case CLRBREAK:
            return ::ioctl(m_Fd, TIOCCBRK) == 0;
        default:
            return FALSE;
        }
    }

    void Purge() override { ::tcflush(m_Fd, TCIOFLUSH); }

    void Cancel() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t rc = ::write(m_Wake, &one, sizeof one);
    }

    void ResetCancel() override
    {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t rc = ::read(m_Wake, &value, sizeof value);
    }

private:
    static DWORD ModemBits(int status)
    {
        DWORD bits = 0;
        if (status & TIOCM_CTS)
            bits |= MS_CTS_ON;
        if (status & TIOCM_DSR)
            bits |= MS_DSR_ON;
        if (status & TIOCM_RI)
            bits |= MS_RING_ON;
        if (status & TIOCM_CD)
            bits |= MS_RLSD_ON;
        return bits;
    }

    // Samples modem lines and error counters; true when something is due.
    bool Pending()
    {
        if (m_HasModemLines) {
            int status = 0;
            if (::ioctl(m_Fd, TIOCMGET, &status) == 0) {
                const int changed = status ^ m_LastModem;
                if (changed & TIOCM_CTS)
                    m_Events |= EV_CTS;
                if (changed & TIOCM_DSR)
                    m_Events |= EV_DSR;
                if (changed & TIOCM_CD)
                    m_Events |= EV_RLSD;
                if ((changed & TIOCM_RI) && !(status & TIOCM_RI))
                    m_Events |= EV_RING;
                m_LastModem = status;
            }
        }
        if (m_HasCounters) {
            serial_icounter_struct c{};
            if (::ioctl(m_Fd, TIOCGICOUNT, &c) == 0) {
                if (c.parity != m_LastCounts.parity)
                    m_Errors |= CE_RXPARITY;
                if (c.frame != m_LastCounts.frame)
                    m_Errors |= CE_FRAME;
                if (c.overrun != m_LastCounts.overrun)
                    m_Errors |= CE_OVERRUN;
                if (c.buf_overrun != m_LastCounts.buf_overrun)
                    m_Errors |= CE_RXOVER;
                if (c.brk != m_LastCounts.brk)
                    m_Events |= EV_BREAK;
                m_LastCounts = c;
            }
        }
        return m_Events || m_Errors;
    }

    int m_Fd;
    int m_Wake;
    bool m_Failed = false;
    bool m_HasModemLines = false;
    bool m_HasCounters = false;
    int m_LastModem = 0;
    serial_icounter_struct m_LastCounts{};
    DWORD m_Events = 0;
    DWORD m_Errors = 0;
};

}  // namespace

std::string SerialDevicePath(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const int n = ComNumber(name);
    if (n <= 0)
        return {};
    {
        std::lock_guard lock(PathMutex());
        auto it = PathMap().find(n);
        if (it != PathMap().end())
            return it->second;
    }
    const std::string variable = "ZELVAR_COM" + std::to_string(n);
    if (const char* path = std::getenv(variable.c_str()); path && *path)
        return path;
    return "/dev/ttyS" + std::to_string(n - 1);
}

void SetComPortPath(int n, const std::string& path)
{
    std::lock_guard lock(PathMutex());
    if (path.empty())
        PathMap().erase(n);
    else
        PathMap()[n] = path;
}

std::unique_ptr<ISerialBackend> OpenSerialBackend(const std::string& name, std::string* error)
{
    bool known = false;
    if (auto fake = OpenFakeSerialLine(name, &known); fake || known) {
        if (!fake && error)
            *error = name + ": already open";
        return fake;
    }
    const std::string path = SerialDevicePath(name);
    if (path.empty()) {
        if (error)
            *error = name + ": not a port name";
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    // Exclusive, as a port is everywhere else: a second opener fails.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = path + ": in use";
        ::close(fd);
        return nullptr;
    }
    ::ioctl(fd, TIOCEXCL);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        if (error)
            *error = path + ": not a serial line";
        ::close(fd);
        return nullptr;
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<CTermiosBackend>(fd, wake);
}
