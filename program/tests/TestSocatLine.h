// A program run beside a program test, and a serial line as a socat pair
// of pseudo-terminals whose one end the program finds as a COM port.
#pragma once

#include "app/tests/ShellTestSupport.h"
#include "platform/Registry.h"
#include "testsupport/Wait.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace shelltest {

// A program run beside the test (its path, then its arguments from argv[0]
// on) until the test lets it go: then it is ended and reaped.
class CChildProcess
{
public:
    // output, when not empty: the file its standard output goes to.
    CChildProcess(const std::string& path, std::vector<std::string> arguments, const std::string& output = {})
    {
        // Everything the child needs is made before the fork: it only execs.
        std::vector<char*> argv;
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int out = output.empty() ? -1 : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        m_pid = fork();
        if (m_pid == 0) {
            if (out >= 0)
                dup2(out, STDOUT_FILENO);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        if (out >= 0)
            close(out);
    }
    ~CChildProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    bool IsRunning() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

// A sensor's line: socat joins two pseudo-terminals, the simulator's end and
// the program's, which the program finds as COM<n> (the port of the
// sensor's settings). The test holds both ends open as well, so that a
// simulator closing its end for the next one does not end socat.
class CSocatLine
{
public:
    // baud, when not 0: the line's rate in the port's settings, by which the
    // port dates a telegram back to its first character.
    CSocatLine(const std::filesystem::path& folder, const std::string& settingId, int com, unsigned baud = 0)
        : m_simEnd((folder / (settingId + "-sim")).string()),
          m_comEnd((folder / (settingId + "-com")).string()),
          m_env(("ZELVAR_COM" + std::to_string(com)).c_str(), m_comEnd.c_str()),
          m_socat("/usr/bin/socat", {"socat", "pty,raw,echo=0,link=" + m_simEnd, "pty,raw,echo=0,link=" + m_comEnd})
    {
        zv::test::WaitUntil([&] { return std::filesystem::exists(m_simEnd) && std::filesystem::exists(m_comEnd); });
        m_holdSim = open(m_simEnd.c_str(), O_RDWR | O_NOCTTY);
        m_holdCom = open(m_comEnd.c_str(), O_RDWR | O_NOCTTY);

        HKEY key = nullptr;
        const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
        const std::string port = "COM" + std::to_string(com);
        RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                      static_cast<DWORD>(port.size() + 1));
        if (baud != 0) {
            const DWORD rate = baud;
            RegSetValueEx(key, "Baud", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&rate), sizeof rate);
        }
        RegCloseKey(key);
    }
    ~CSocatLine()
    {
        if (m_holdSim >= 0)
            close(m_holdSim);
        if (m_holdCom >= 0)
            close(m_holdCom);
    }
    CSocatLine(const CSocatLine&) = delete;
    CSocatLine& operator=(const CSocatLine&) = delete;
    bool IsUp() const { return m_socat.IsRunning() && m_holdSim >= 0 && m_holdCom >= 0; }
    const std::string& SimEnd() const { return m_simEnd; }

private:
    std::string m_simEnd, m_comEnd;
    ScopedEnv m_env;
    CChildProcess m_socat;
    int m_holdSim = -1, m_holdCom = -1;
};

}  // namespace shelltest
