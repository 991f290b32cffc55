// Test helpers for users of the serial component: registering the plug-in
// into the temporary hives through the registration tool, and a
// pseudo-terminal whose far end the test drives.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

// Exit code of "zvregsvr [-u] <plugin>".
inline int RunRegSvr(bool unregister)
{
    const std::string command =
        std::string(ZVREGSVR) + (unregister ? " -u " : " ") + TOVRELIX_PLUGIN + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CPtyPair
{
public:
    CPtyPair()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&m_Master, &m_Slave, name, &raw, nullptr) != 0)
            throw std::runtime_error("openpty");
        m_Name = name;
        // The port opens the device itself; our slave handle only keeps the
        // line up until it does.
    }
    ~CPtyPair()
    {
        ::close(m_Master);
        ::close(m_Slave);
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    const std::string& Name() const { return m_Name; }
    // The far end, for a simulated device that reads and writes it itself.
    int Master() const { return m_Master; }
    void Write(const std::string& bytes)
    {
        if (::write(m_Master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pty write");
    }
    // Reads until want bytes arrived or the time-out passed.
    std::string Read(std::size_t want, int timeoutMs = 10000)
    {
        std::string got;
        while (got.size() < want) {
            pollfd p{m_Master, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(m_Master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    int m_Master = -1;
    int m_Slave = -1;
    std::string m_Name;
};
