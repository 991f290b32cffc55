// The water model of a live sounder: the simulated network unit (in a
// network namespace of the test's own) ends each ping with its thermistor's
// resistance, which the temperature sensor reads once the unit's input is
// chosen, and which every recorded ping carries; a profile received on the
// network input in pieces is stored in the recorder's folder and offered;
// "Environment..." with a constant velocity, and then with the real-time
// velocity the simulated probe answers on its line, changes the velocity
// the running unit pings with, the network output's ping telegram and the
// recorded pings.
#include "recording/tests/StoreFixture.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "outputs/QYNet.h"
#include "platform/MessageBox.h"
#include "platform/Socket.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "sensors/SvpProbe.h"
#include "sensors/Temperature.h"
#include "sim/sensors/ProfileTexts.h"
#include "sim/sensors/SensorSimulator.h"
#include "testsupport/NetNamespace.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

using nettest::Checks;

// The network output's ping telegrams ("$,...") heard on a loopback port.
class CTelegramListener
{
public:
    CTelegramListener()
    {
        m_socket.Create(CSocket::Udp);
        m_socket.Bind(SocketAddress(SocketAddress::kLoopback, 0));
    }
    std::uint16_t Port() const { return m_socket.LocalAddress().port; }
    // The last ping telegram's sound velocity field among what arrived.
    std::string LastVelocity()
    {
        char b[2048];
        for (int n; (n = m_socket.ReceiveFrom(b, sizeof b - 1, nullptr, 0)) > 0;) {
            const std::string text(b, static_cast<std::size_t>(n));
            if (text.rfind("$,", 0) == 0)
                m_velocity = text.substr(text.rfind(',') + 1);
        }
        return m_velocity;
    }

private:
    CSocket m_socket;
    std::string m_velocity;
};

// A pseudo-terminal: the program opens its named end, a simulated device
// reads and writes the other.
class CPty
{
public:
    CPty()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&m_master, &m_slave, name, &raw, nullptr) == 0)
            m_name = name;
    }
    ~CPty()
    {
        if (m_master >= 0)
            close(m_master);
        if (m_slave >= 0)
            close(m_slave);
    }
    CPty(const CPty&) = delete;
    CPty& operator=(const CPty&) = delete;
    const std::string& Name() const { return m_name; }
    int Master() const { return m_master; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_name;
};

// "Environment..." with a velocity type chosen by its button, and a
// constant velocity when one is given; false when the dialog did not run.
bool ChooseVelocity(app::CMainFrame& frame, const char* type, const char* constant = nullptr)
{
    bool accepted = false;
    QTimer operator_;
    operator_.setInterval(10);
    QObject::connect(&operator_, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != "dialog_Environment")
            return;
        auto* button = dialog->findChild<QRadioButton*>(type);
        auto* velocity = dialog->findChild<QLineEdit*>("1273");
        if (!button || !velocity)
            return;
        button->setChecked(true);
        if (constant)
            velocity->setText(constant);
        dialog->accept();
        accepted = true;
    });
    operator_.start();
    frame.RunCommand(app::cmd::ENVIRONMENT);
    return accepted;
}

int RunWater()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    AnswerMessageBoxes boxes;

    CQY42Simulator::Settings unit;
    unit.thermistorOhms = 10000.0;
    CQY42Simulator qy(unit);
    if (!check(qy.Start(), "unit simulator on 127.0.0.2"))
        return check.failures;
    const fs::path folder = env.Root() / "survey";
    InstallRecordingUnit(unit.address, folder);
    // The probe's line: a pseudo-terminal the program finds as COM7, the
    // simulated probe at its far end, 1487.5 m/s at the surface.
    CPty probeLine;
    ScopedEnv probePort("ZELVAR_COM7", probeLine.Name().c_str());
    {
        CRegistrySupport reg;
        reg.SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\SvpProbeCOM settings", "Port", "COM7");
    }
    zv::sim::CSensorSimulator::Settings probeSettings;
    probeSettings.fd = probeLine.Master();
    probeSettings.baud = 115200;
    probeSettings.probe = zv::sim::SProbeScene{1487.5, 0.1, 10.0, 30.0, 1.0};
    CSimulatedSensor probeSim(probeSettings);
    if (!check(probeSim.IsOpen(), "the probe's line"))
        return check.failures;

    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    if (!check(program->Start(), "program started"))
        return check.failures;
    app::CPelmaris& pelmaris = program->Application();
    app::CMainFrame* frame = program->Frame();
    CEchoSounder* sounder = nullptr;
    check(WaitForUnitPings(*program, sounder), "pings from the unit");
    auto* temperature = pelmaris.Sensor<CTemperature>(app::SensorId::Temperature);
    auto* net = pelmaris.Sensor<CQYNet>(app::SensorId::NetworkOutput);
    if (!check(sounder && frame && temperature && net, "a running sounder, its temperature sensor and network output"))
        return check.failures;
    CTelegramListener listener;
    {
        CQYNet::Settings s = net->GetSettings();
        s.DestAddr = "127.0.0.1";
        s.DestPort = listener.Port();
        s.DepthHymas = 1;
        s.LocalPort = 0;  // the network input on any free port
        net->ApplySettings(s);
    }
    check(WaitFor([&] { return !listener.LastVelocity().empty(); }, 20000), "the ping telegrams");
    const std::string firstVelocity = listener.LastVelocity();
    check(firstVelocity != "1470.5", "a first velocity of another figure");

    // The unit's thermistor: 10000 ohms is 25.0 degrees C.
    check(!program->WaterTemperature()->GetTemperature(), "no temperature before a source is chosen");
    const std::vector<std::string> sources = temperature->GetSourceList();
    if (!check(sources.size() == 1, "the unit is the one source offered, of " + std::to_string(sources.size())))
        return check.failures;
    check(temperature->StoreSettings(CTemperature::kAnalog, sources[0]), "the unit's input chosen");
    check(WaitFor([&] { return program->WaterTemperature()->GetTemperature() == 25.0; }, 20000),
          "25.0 degrees C from the unit's ACI");

    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    check(WaitFor([&] { return !zv::recording::test::FilesWith(folder, ".raw").empty(); }, 20000),
          "a raw file in the survey folder");
    std::uint64_t pings = sounder->GetPingCount();
    check(WaitFor([&] { return sounder->GetPingCount() >= pings + 3; }, 20000), "pings while recording");

    // A profile sent to the network input in pieces while the unit records
    // is stored once, in the recorder's folder, and offered; Yes and the
    // dialog's OK apply it.
    if (!net->Port().IsOpen())
        check(net->CreateSocket(), "the network input open");
    ClearMessageBoxRecord();
    bool profileAccepted = false;
    QTimer acceptProfile;
    acceptProfile.setInterval(10);
    QObject::connect(&acceptProfile, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->objectName() == "dialog_Environment") {
            dialog->accept();
            profileAccepted = true;
        }
    });
    acceptProfile.start();
    std::string error;
    const auto profile = zv::sim::EncodeProfileText("S10", zv::sim::ProfilePoints({1480.0, -0.2, 10.0, 50.0}, 10.0));
    check(profile &&
              zv::sim::SendToLoopback(net->Port().LocalPort(), zv::sim::ProfileDatagrams("S10", *profile, 3), error),
          "the profile sent in three pieces");
    check(WaitFor([&] { return program->Environment().IsRealSvp(); }, 20000), "the profile applied");
    acceptProfile.stop();
    check(profileAccepted, "Yes opened the environment dialog");
    check(zv::recording::test::FilesWith(folder, ".asvp").size() == 1, "one profile in the recorder's folder");
    const std::vector<MessageBoxEntry> boxesShown = MessageBoxRecord();
    const auto asked = std::count_if(boxesShown.begin(), boxesShown.end(), [](const MessageBoxEntry& box) {
        return box.text.find("Apply it now ?") != std::string::npos;
    });
    check(asked == 1, "offered once, not " + std::to_string(asked) + " times");

    // "Environment..." with a constant 1470.5 m/s, OK.
    check(frame->QueryCommand(app::cmd::ENVIRONMENT).enabled, "Environment... enabled while a live sounder runs");
    check(ChooseVelocity(*frame, "1329", "1470.5"), "the dialog ran with a constant velocity");
    // The channel's velocity is that of its sample distance and interval.
    const auto channelAt = [&](double velocity) {
        return std::abs(sounder->GetChannel(0)->GetSoundVelocity() - velocity) < 1e-6;
    };
    check(WaitFor([&] { return channelAt(1470.5); }, 20000), "the running channel at the new velocity");
    check(WaitFor([&] { return listener.LastVelocity() == "1470.5"; }, 20000),
          "the ping telegram at the new velocity, not " + listener.LastVelocity());
    pings = sounder->GetPingCount();
    check(WaitFor([&] { return sounder->GetPingCount() >= pings + 2; }, 20000), "pings at the constant velocity");

    // The real-time velocity: the probe polled, its answer the unit's.
    auto* probe = pelmaris.Sensor<CSvpProbe>(app::SensorId::SvpProbe);
    if (!check(probe && probe->IsPortOpen(), "the probe on its line"))
        return check.failures;
    check(ChooseVelocity(*frame, "1538"), "the dialog ran with the real-time velocity");
    probe->SetRealTime(true);
    check(WaitFor([&] { return channelAt(1487.5); }, 20000),
          "the running channel at the probe's velocity, not " +
              std::to_string(sounder->GetChannel(0)->GetSoundVelocity()));
    check(WaitFor([&] { return listener.LastVelocity() == "1487.5"; }, 20000),
          "the ping telegram at the probe's velocity, not " + listener.LastVelocity());
    pings = sounder->GetPingCount();
    check(WaitFor([&] { return sounder->GetPingCount() >= pings + 2; }, 20000), "pings at the probe's velocity");

    check(StopRun(*program), "stopped");
    const auto files = zv::recording::test::FilesWith(folder, ".raw");
    if (!check(files.size() == 1, "one raw file, not " + std::to_string(files.size())))
        return check.failures;
    const auto rb = zv::recording::test::ReadBack(files[0]);
    if (!check(rb.temperatures.size() >= 5, "at least five pings, not " + std::to_string(rb.temperatures.size())))
        return check.failures;
    for (std::size_t d = 0; d < rb.temperatures.size(); ++d)
        check(rb.temperatures[d] == 25.0,
              "ping " + std::to_string(d) + " at 25.0 degrees C, not " + std::to_string(rb.temperatures[d]));
    check(std::any_of(rb.profiles.begin(), rb.profiles.end(),
                      [](const std::string& p) { return p.find("1480.00") != std::string::npos; }),
          "the received profile recorded");
    check(rb.soundVelocities.front() != 1470.5, "the first recorded ping at the first velocity");
    check(std::count(rb.soundVelocities.begin(), rb.soundVelocities.end(), 1470.5) >= 2,
          "pings recorded at the constant 1470.5 m/s");
    check(rb.soundVelocities.back() == 1487.5, "the last recorded ping at the probe's 1487.5 m/s");
    return check.failures;
}

TEST(ProgramWater, ThermistorAndEnvironmentReachTheLiveSounderItsTelegramAndRecording)
{
    nettest::RunNamespaceTest(RunWater);
}

}  // namespace
