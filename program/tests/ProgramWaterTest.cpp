// The water model of a live sounder: the simulated network unit (in a
// network namespace of the test's own) ends each ping with its thermistor's
// resistance, which the temperature sensor reads once the unit's input is
// chosen, and which every recorded ping carries; a profile received on the
// network input in pieces is stored in the recorder's folder and offered;
// "Environment..." with a constant velocity, and then with the real-time
// velocity the simulated probe answers on its line, changes the velocity
// the running unit pings with, the network output's ping telegram and the
// recorded pings. A water temperature sentence on the sensor's line shows
// in the status bar in the unit the operator chose, moves the computed
// velocity the unit pings with, and goes out again as $SDMTW. The probe's
// velocity chosen while no unit runs is the one the next start ranges with.
#include "recording/tests/StoreFixture.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "base/TemperatureUnit.h"
#include "engine/Channel.h"
#include "outputs/QYNet.h"
#include "platform/MessageBox.h"
#include "platform/Socket.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "sensors/SvpProbe.h"
#include "sensors/Temperature.h"
#include "serialcom/device/DepthTelegram.h"
#include "sim/sensors/ProfileTexts.h"
#include "sim/sensors/SensorSentences.h"
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
        Take();
        return m_velocity;
    }
    // The last water temperature sentence among what arrived.
    std::string LastTemperature()
    {
        Take();
        return m_temperature;
    }

private:
    void Take()
    {
        char b[2048];
        for (int n; (n = m_socket.ReceiveFrom(b, sizeof b - 1, nullptr, 0)) > 0;) {
            const std::string text(b, static_cast<std::size_t>(n));
            if (text.rfind("$,", 0) == 0)
                m_velocity = text.substr(text.rfind(',') + 1);
            else if (text.rfind("$SDMTW,", 0) == 0)
                m_temperature = text.substr(0, text.find_last_not_of("\r\n") + 1);
        }
    }

    CSocket m_socket;
    std::string m_velocity;
    std::string m_temperature;
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

// "Environment..." with a velocity type chosen by its button (and any
// further buttons), and a constant velocity when one is given; false when
// the dialog did not run.
bool ChooseVelocity(app::CMainFrame& frame, const char* type, const char* constant = nullptr,
                    std::vector<const char*> more = {})
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
        for (const char* id : more)
            if (auto* also = dialog->findChild<QRadioButton*>(id))
                also->setChecked(true);
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

int RunMtw()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    AnswerMessageBoxes boxes;

    CQY42Simulator::Settings unit;
    CQY42Simulator qy(unit);
    if (!check(qy.Start(), "unit simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(unit.address);
    // The temperature sensor's line: a pseudo-terminal the program finds as
    // COM8, written by the test.
    CPty line;
    ScopedEnv port("ZELVAR_COM8", line.Name().c_str());
    {
        CRegistrySupport reg;
        reg.SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\TemperatureCOM settings", "Port", "COM8");
    }
    const auto send = [&](double celsius) {
        zv::sim::SSensorScene scene;
        scene.temperature = celsius;
        const std::string text = zv::sim::EncodeSentence("MTW", scene).value_or("") + "\r\n";
        return ::write(line.Master(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    };

    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    if (!check(program->Start(), "program started"))
        return check.failures;
    app::CPelmaris& pelmaris = program->Application();
    app::CMainFrame* frame = program->Frame();
    CEchoSounder* sounder = nullptr;
    check(WaitForUnitPings(*program, sounder), "pings from the unit");
    auto* temperature = pelmaris.Sensor<CTemperature>(app::SensorId::Temperature);
    auto* net = pelmaris.Sensor<CQYNet>(app::SensorId::NetworkOutput);
    app::CStatus* status = frame ? frame->GetStatus() : nullptr;
    if (!check(sounder && status && temperature && temperature->IsPortOpen() && net,
               "a running sounder, the status bar, the temperature sensor on its line and the network output"))
        return check.failures;
    CTelegramListener listener;
    {
        CQYNet::Settings s = net->GetSettings();
        s.DestAddr = "127.0.0.1";
        s.DestPort = listener.Port();
        s.DepthHymas = 1;
        s.TemperatureSensorDatagram = 1;
        s.LocalPort = 0;
        net->ApplySettings(s);
    }
    check(WaitFor([&] { return !listener.LastVelocity().empty(); }, 20000), "the ping telegrams");
    check(listener.LastTemperature().empty(), "no temperature goes out before there is one");
    check(temperature->StoreSettings(CTemperature::kSerial, ""), "the serial line chosen");

    const auto pane = [&] {
        const app::StatusPane* p = status->FindPane(app::ids::WATER_TEMPERATURE);
        return p ? p->text : std::string("none");
    };
    check(send(12.5), "$YXMTW,12.5,C on the line");
    check(WaitFor([&] { return program->WaterTemperature()->GetTemperature() == 12.5; }, 20000),
          "12.5 degrees C from the line");
    check(WaitFor([&] { return pane() == "12.5 \u00B0C"; }, 20000), "the status pane in Celsius, not " + pane());
    frame->RunCommand(app::cmd::TEMP_UNIT_FIRST + CTemperatureUnit::kFahrenheit);
    check(WaitFor([&] { return pane() == "54.5 \u00B0F"; }, 20000), "the status pane in Fahrenheit, not " + pane());
    check(WaitFor([&] { return listener.LastTemperature() == "$SDMTW,12.50,C*32"; }, 20000),
          "the ping's MTW out, not " + listener.LastTemperature());

    // The velocity computed from the sensor's temperature, which follows
    // the next sentence.
    check(ChooseVelocity(*frame, "1494", nullptr, {"1497"}), "the dialog ran with the computed velocity");
    const CEnvironment::Settings water = program->Environment().GetSettings();
    check(water.svpType == CEnvironment::SvpTypeComputed && water.temperatureType == 1,
          "computed from the sensor's temperature");
    const auto computed = [&](double celsius) {
        return CEnvironment::ComputeVelocity(celsius, water.waterType ? water.salinity : 0.0);
    };
    const auto channelAt = [&](double velocity) {
        return std::abs(sounder->GetChannel(0)->GetSoundVelocity() - velocity) < 1e-6;
    };
    check(WaitFor([&] { return channelAt(computed(12.5)); }, 20000),
          "the running channel at the velocity of 12.5 degrees C, not " +
              std::to_string(sounder->GetChannel(0)->GetSoundVelocity()));
    check(send(4.5), "$YXMTW,4.5,C on the line");
    check(WaitFor([&] { return channelAt(computed(4.5)); }, 20000),
          "the running channel at the velocity of 4.5 degrees C, not " +
              std::to_string(sounder->GetChannel(0)->GetSoundVelocity()));
    check(WaitFor([&] { return pane() == "40.1 \u00B0F"; }, 20000), "the status pane at 4.5 degrees C, not " + pane());
    check(WaitFor([&] { return listener.LastTemperature() == "$SDMTW,4.50,C" + NmeaChecksumSuffix("$SDMTW,4.50,C"); },
                  20000),
          "the next ping's MTW, not " + listener.LastTemperature());
    frame->RunCommand(app::cmd::TEMP_UNIT_FIRST + CTemperatureUnit::kCelsius);
    check(StopRun(*program), "stopped");
    return check.failures;
}

// The probe's real-time velocity chosen while no unit runs: the unit's next
// start ranges with it from its first pings.
int RunProbeStart()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    AnswerMessageBoxes boxes;

    CQY42Simulator::Settings unit;
    CQY42Simulator qy(unit);
    if (!check(qy.Start(), "unit simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(unit.address);
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
    app::CMainFrame* frame = program->Frame();
    CEchoSounder* sounder = nullptr;
    check(WaitForUnitPings(*program, sounder), "pings from the unit");
    auto* probe = program->Application().Sensor<CSvpProbe>(app::SensorId::SvpProbe);
    if (!check(sounder && frame && probe && probe->IsPortOpen(), "a running sounder and the probe on its line"))
        return check.failures;
    const auto channelAt = [&](double velocity) {
        return std::abs(sounder->GetChannel(0)->GetSoundVelocity() - velocity) < 1e-6;
    };
    check(!channelAt(1487.5), "the first run at another velocity than the probe's");
    if (!check(StopRun(*program), "stopped"))
        return check.failures;

    // Real time switched on with no unit running: the probe is polled and
    // its answer becomes the environment's velocity.
    check(ChooseVelocity(*frame, "1538"), "the dialog ran with the real-time velocity");
    probe->SetRealTime(true);
    check(WaitFor([&] { return program->Environment().GetSoundVelocity() == 1487.5; }, 20000),
          "the probe's velocity in the environment, not " + std::to_string(program->Environment().GetSoundVelocity()));

    program->Application().Operation().PostRestart();
    sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = program->Operation().GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 1 && sounder->GetChannelCount() > 0;
              },
              30000),
          "the unit started again and pinged");
    if (!sounder || sounder->GetChannelCount() == 0)
        return check.failures;
    check(channelAt(1487.5), "the started unit's first pings at the probe's velocity, not " +
                                 std::to_string(sounder->GetChannel(0)->GetSoundVelocity()));
    check(StopRun(*program), "stopped again");
    return check.failures;
}

TEST(ProgramWater, ThermistorAndEnvironmentReachTheLiveSounderItsTelegramAndRecording)
{
    nettest::RunNamespaceTest(RunWater);
}

TEST(ProgramWater, WaterTemperatureSentenceShowsMovesTheVelocityAndGoesOut)
{
    nettest::RunNamespaceTest(RunMtw);
}

TEST(ProgramWater, ProbeVelocityChosenWhileStoppedIsTheNextStartsVelocity)
{
    nettest::RunNamespaceTest(RunProbeStart);
}

}  // namespace
