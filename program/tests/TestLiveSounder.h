// What the program's tests of a live sounder share: the simulated unit
// installed with its raw data recorded into a folder, its first pings
// awaited and the run stopped, the status bar's line counter, and the
// serial sensors around it: a sensor's line as a socat pair of
// pseudo-terminals registered as its COM port, a program run beside the
// test on such a line, and a simulated sensor running in a thread of the
// test's own.
#pragma once

#include "sim/sensors/SensorSimulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "base/Status.h"
#include "program/Program.h"
#include "testsupport/Wait.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace shelltest {

// The unit's channel installed, with every ping's raw data recorded into
// the folder; `more` writes further settings while the root keys are open.
inline void InstallRecordingUnit(std::uint32_t address, const std::filesystem::path& folder,
                                 const std::function<void(CRegistrySupport&)>& more = {})
{
    zv::test::InstallQY42Unit(address, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
        reg.SetDword(user, "OperationControl\\Operation\\Normal\\Store", "SaveRawData", 1);
        reg.SetString(user, "OperationControl\\Operation\\Normal\\Store", "FilePath", folder.string());
        if (more)
            more(reg);
    });
}

// Waits for the started program's sounder to ping three times with a
// channel; `sounder` is the one found last, null when there was none.
inline bool WaitForUnitPings(app::CProgram& program, CEchoSounder*& sounder)
{
    COperationControl& operation = program.Operation();
    return WaitFor(
        [&] {
            sounder = operation.GetEchoSounder();
            return sounder && sounder->GetPingCount() >= 3 && sounder->GetChannelCount() > 0;
        },
        30000);
}

// Stops the run as the operator does and waits until the sounder is gone.
inline bool StopRun(app::CProgram& program)
{
    program.Application().Operation().PostStop(0);
    COperationControl& operation = program.Operation();
    return WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000);
}

// The line counter pane as "L0001 on" (recording) or "L0001 off".
inline std::string LineCounter(const app::CStatus& status)
{
    const app::StatusPane* pane = status.FindPane(app::ids::LINE_COUNTER);
    return pane ? pane->text + (pane->active ? " on" : " off") : std::string("none");
}

// A program run beside the test (its path, then its arguments from argv[0]
// on) until the test lets it go: then it is ended and reaped.
class CChildProcess
{
public:
    CChildProcess(const std::string& path, std::vector<std::string> arguments)
    {
        // Everything the child needs is made before the fork: it only execs.
        std::vector<char*> argv;
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            execv(path.c_str(), argv.data());
            _exit(127);
        }
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

// A simulated sensor running on its line in a thread of the test's until it
// goes, keeping the depth telegrams it reads back.
class CSimulatedSensor
{
public:
    explicit CSimulatedSensor(const zv::sim::CSensorSimulator::Settings& settings) : m_sim(settings)
    {
        m_sim.onTelegram = [this](const zv::sim::SDepthTelegram& t, const std::string&) {
            std::lock_guard lock(m_lock);
            m_telegrams.push_back(t);
        };
        std::string error;
        m_open = m_sim.Open(error);
        if (m_open)
            m_thread = std::thread([this] { m_sim.Run(); });
    }
    ~CSimulatedSensor()
    {
        m_sim.Stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    CSimulatedSensor(const CSimulatedSensor&) = delete;
    CSimulatedSensor& operator=(const CSimulatedSensor&) = delete;
    bool IsOpen() const { return m_open; }
    std::vector<zv::sim::SDepthTelegram> Telegrams() const
    {
        std::lock_guard lock(m_lock);
        return m_telegrams;
    }

private:
    zv::sim::CSensorSimulator m_sim;
    bool m_open = false;
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::vector<zv::sim::SDepthTelegram> m_telegrams;
};

}  // namespace shelltest
