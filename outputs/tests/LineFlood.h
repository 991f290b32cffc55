// The far end of a serial output's pseudo-terminal for the threads tests,
// and the port the serial component opens for a setting id.
#pragma once

#include "platform/Registry.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

inline void SetPort(const std::string& settingId, const std::string& port)
{
    HKEY key = nullptr;
    const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                            static_cast<DWORD>(port.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The far end of the line: writes the same lines again and again and keeps
// what comes back, until stopped. A write that would block (the line closed,
// its buffer full) is left out.
class CLineFlood
{
public:
    CLineFlood(CPtyPair& pty, std::string lines) : m_pty(pty), m_lines(std::move(lines))
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~CLineFlood()
    {
        m_stop = true;
        m_thread.join();
    }
    std::string Received()
    {
        std::lock_guard lock(m_lock);
        return m_received;
    }

private:
    void Run()
    {
        const int fd = m_pty.Master();
        while (!m_stop.load()) {
            pollfd p{fd, POLLIN | POLLOUT, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            if (p.revents & POLLIN) {
                char buffer[4096];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    std::lock_guard lock(m_lock);
                    m_received.append(buffer, static_cast<std::size_t>(n));
                }
            }
            if (p.revents & POLLOUT) {
                if (::write(fd, m_lines.data(), m_lines.size()) < 0) {
                    // Full for now: the next round tries again.
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

    CPtyPair& m_pty;
    const std::string m_lines;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::string m_received;
    std::thread m_thread;
};
