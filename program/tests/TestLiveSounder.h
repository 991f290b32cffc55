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
#include "program/tests/TestSocatLine.h"
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
