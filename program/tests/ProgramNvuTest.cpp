// The program as model QYNVU with an installed wide-band unit, the
// simulated one, inside a network namespace of the test's own: the unit is
// installed as the simulator samples, so the detector finds its bottom and
// the pings ask for the range past it. A status request whose answer names
// older firmware than the transceiver list folder holds asks the operator
// on the user-interface thread, and "Yes" sends the file, reads it back and
// restarts the unit, which is set up again with the filters of the test's
// software folder and pings on; the depth row's Control+Shift right click
// on the channel's name opens the unit's diagnostic window, once, whose
// figures follow the pings, and stopping the sounder with it open closes
// it and halts the unit.
#include "sim/nvu/NvuSimulator.h"
#include "sounder/OperationControl.h"
#include "transceivers/NVU.h"
#include "transceivers/TransceiverInstallation.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "display/DepthDoc.h"
#include "display/ui/DepthView.h"
#include "engine/Channel.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "program/tests/TestProgram.h"
#include "testsupport/NetNamespace.h"
#include "transceivers/ui/NVUDiagnostic.h"
#include "transceivers/ui/NvuUpgradeFirmware.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

using nettest::Checks;

constexpr std::uint32_t kUnit = 0x7F000002;
constexpr const char* kNewer = "nvu4_main_06032024_v102.xsvf";
// The channel's samples: 0.1 ms at 1500 m/s.
constexpr double kSampleDistance = 0.075;

void InstallUnit(const fs::path& trList)
{
    CRegistrySupport reg;
    if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\QYNVU\\1.0\\"))
        return;
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    CTrList e;
    e.transceiverId = "NVU1";
    e.channelNo = 1;
    e.type = TransceiverType::NVU;
    e.unitAddress = kUnit;
    e.frequency = 200000.0;
    e.frequencyKHz = 200.0;
    e.txPower = 1000.0;
    e.minMedMaxTxPower = "100 500 1000";
    e.sampleInterval = "0.0001";
    // The simulated unit samples at 10 kHz: its front end divides the
    // 2 MHz clock by 200.
    e.fpaDec = 200.0;
    e.minMedMaxPulseLength = "0.0001 0.0002 0.0004 0.0008 0.0016";
    e.gain = "26";
    const std::string description = "T200 200 kHz 1";
    e.FormatDescription(&description, TransceiverType::NVU);
    installation.WriteChannelEntry(e, key);
    reg.CloseKey(key);
    reg.CloseRootKeys();
    HKEY root = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QYNVU\\1.0", 0, nullptr, 0, KEY_ALL_ACCESS,
                       nullptr, &root, nullptr) != ERROR_SUCCESS)
        return;
    const std::string folder = trList.string();
    RegSetValueEx(root, "TrListPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                  static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(root);
}

std::vector<CNVUDiagnostic*> DiagnosticWindows()
{
    std::vector<CNVUDiagnostic*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<CNVUDiagnostic*>(w); d && d->isVisible())
            found.push_back(d);
    return found;
}

int RunProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    CNvuSimulator::Settings settings;
    settings.address = kUnit;
    settings.tftpPort = 0;
    settings.channels = 1;
    CNvuSimulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    const fs::path trList = env.Root() / "trlist";
    fs::create_directories(trList);
    InstallUnit(trList);
    // The unit's software folder of the test's own: the receive filters the
    // connect sends the unit, one for each of its channels and the default.
    const fs::path software = env.Root() / "software";
    const fs::path filters = software / "filter" / "NVU_200000";
    fs::create_directories(filters);
    std::ofstream(filters / "rxfilter.txt") << "1 0 1 1.0\n1 0\n";
    for (int c = 0; c < 4; ++c)
        std::ofstream(filters / ("rx" + std::to_string(c) + "filter.txt")) << "1 0 1 1.0\n1 " << c << "\n";
    // The channel's pulse compression filter, named by the Des3 of its
    // chain: 0.1 ms of 2 MHz over the chain's 4 and the front end's 200.
    std::ofstream(filters / "NVU_200000_PC_1.txt") << "1 0 1 1.0\n1 0\n";

    auto options = TestProgramOptions({"QYNVU"});
    options.unitTimings.receiveWaitMs = 300;
    options.unitTimings.stepDelayMs = 2;
    options.unitTimings.setupDelayMs = 20;
    options.unitTimings.tftpPort = sim.GetTftpPort();
    options.unitTimings.timeoutLogPath.clear();
    options.unitSoftwareFolder = software.string();
    auto program = MakeProgram(std::move(options));
    if (!check(program->Start(), "program started"))
        return check.failures;
    COperationControl& operation = program->Operation();
    CEchoSounder* sounder = nullptr;
    CChannel* channel = nullptr;
    CNVU* unit = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  channel = sounder ? sounder->GetChannel(0) : nullptr;
                  unit = channel ? dynamic_cast<CNVU*>(channel->GetTransceiver()) : nullptr;
                  return unit && unit->IsRunning() && !QApplication::activeModalWidget();
              },
              30000),
          "the sounder runs the wide-band unit");
    if (!unit)
        return check.failures + 1;

    // The unit is set up with the filters of its software folder and pings,
    // finding the simulated bottom; after it, each ping asks for the range
    // past the bottom, not for the detector's deepest.
    check(WaitFor([&] { return channel->GetPingCount() >= 10 && channel->GetBottomDepth() > 0.0; }, 60000),
          "the unit pings: " + std::to_string(channel->GetPingCount()));
    check(std::abs(channel->GetBottomDepth() - settings.bottomDepth) <= 2 * kSampleDistance,
          "the bottom at " + std::to_string(channel->GetBottomDepth()) + " m");
    check(unit->GetDecimationLine(0) == "Decimation  ch 1: Total 50 Des1 1 Des2 1 Des3 1 Fpa 200",
          unit->GetDecimationLine(0));
    check(unit->GetSetupMask() == CNVU::kSetupComplete, "set up: mask " + std::to_string(unit->GetSetupMask()));
    check(unit->GetUploadFailures() == 0, "every filter went to the unit");
    {
        const auto files = sim.GetFiles();
        for (int c = 0; c < 4; ++c)
            check(files.count("rx" + std::to_string(c) + "filter.txt") == 1,
                  "channel " + std::to_string(c) + "'s filter");
    }

    // The operator agrees to the newer file.
    std::string shownUnit, shownFile;
    std::thread::id shownOn;
    QTimer operatorHand;
    operatorHand.setInterval(20);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CNvuUpgradeFirmware*>(QApplication::activeModalWidget());
        if (!dialog || !shownFile.empty())
            return;
        shownOn = std::this_thread::get_id();
        shownUnit = dialog->findChild<QLabel*>("1568")->text().toStdString();
        shownFile = dialog->findChild<QLabel*>("1569")->text().toStdString();
        Screenshot(*dialog, "nvu-firmware-upgrade");
        QMetaObject::invokeMethod(dialog->findChild<QPushButton*>("yes"), &QPushButton::click, Qt::QueuedConnection);
    });
    operatorHand.start();
    std::string firmware(3000, 'F');
    std::ofstream(trList / kNewer, std::ios::binary) << firmware;
    unit->RequestStatus();
    check(WaitFor([&] { return sim.GetRestarts() == 1 && !unit->IsReprogramming(); }, 30000),
          "the unit restarted with its new firmware");
    operatorHand.stop();
    check(shownOn == std::this_thread::get_id(), "the question came on the user-interface thread");
    check(shownUnit == "nvu4_main_05032024_v101", "the unit's firmware shown: " + shownUnit);
    check(shownFile == kNewer, "the new file shown: " + shownFile);
    const auto files = sim.GetFiles();
    check(files.count(kNewer) == 1 && std::string(files.at(kNewer).begin(), files.at(kNewer).end()) == firmware,
          "the file reached the unit whole");
    check(unit->GetUpgradeFailures() == 0 && MessageBoxRecord().empty(), "no failure reported");
    // The restarted unit is set up again with its filters and pings on.
    check(WaitFor([&] { return unit->GetSetupMask() == CNVU::kSetupComplete; }, 60000), "set up again");
    {
        const int restarted = channel->GetPingCount();
        check(WaitFor([&] { return channel->GetPingCount() >= restarted + 5; }, 30000),
              "pings after the restart: " + std::to_string(channel->GetPingCount() - restarted));
    }

    // Control+Shift right click on the channel's name: the diagnostic window.
    CDepthView* view = nullptr;
    check(WaitFor([&] {
              for (CDepthView* v : program->Frame()->findChildren<CDepthView*>())
                  if (v->isVisible() && v->GetDocument() && v->GetDocument()->GetChannel() == channel)
                      view = v;
              return view != nullptr;
          }),
          "the channel's depth row");
    if (!view)
        return check.failures + 1;
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::mouseClick(view, Qt::RightButton, both, view->NameBox().center());
    check(WaitFor([&] { return DiagnosticWindows().size() == 1; }), "the diagnostic window opens");
    QPointer<CNVUDiagnostic> window = DiagnosticWindows().empty() ? nullptr : DiagnosticWindows().front();
    if (!window)
        return check.failures + 1;
    check(WaitFor([&] {
              auto* line = window->findChild<QLineEdit*>("1601");
              return line && line->text().startsWith("HeaderRead ");
          }),
          "it shows the unit's ring");
    // Its figures are the unit's and follow its pings: the pings calculated
    // grow while it is open, and the ping records show whole pings of the
    // samples asked for.
    const auto shown = [&](int id) {
        auto* line = window ? window->findChild<QLineEdit*>(QString::number(id)) : nullptr;
        return line ? line->text() : QString();
    };
    const auto calculated = [&] {
        const QString text = shown(1600);
        const qsizetype at = text.indexOf("Calculated");
        return at < 0 ? -1 : text.mid(at + 10).trimmed().toInt();
    };
    const int first = calculated();
    check(first >= 1, "the window shows calculated pings: " + shown(1600).toStdString());
    check(WaitFor([&] { return calculated() >= first + 3; }, 30000),
          "the window follows the pings: " + shown(1600).toStdString());
    const auto wholePing = [&] {
        const QRegularExpression record("Rec +(\\d+) /(\\d+) +Calc +(\\d+)");
        for (int id = 1590; id <= 1599; ++id) {
            const auto m = record.match(shown(id));
            if (m.hasMatch() && m.captured(2).toInt() > 100 && m.captured(1) == m.captured(2) &&
                m.captured(3) == m.captured(2))
                return true;
        }
        return false;
    };
    check(wholePing(), "a ping record received and calculated whole: " + shown(1590).toStdString());
    check(shown(1602) == "TRUE", "processing: " + shown(1602).toStdString());
    check(shown(1603).toStdString() == unit->GetDecimationLine(0), "the decimation: " + shown(1603).toStdString());
    check(Screenshot(*window, "nvu-diagnostic"), "the window's picture saved");
    QTest::mouseClick(view, Qt::RightButton, both, view->NameBox().center());
    QApplication::processEvents();
    check(DiagnosticWindows().size() == 1, "a second click brings the same window to the front");
    window->reject();
    check(WaitFor([&] { return window.isNull(); }), "Cancel closes it");
    QTest::mouseClick(view, Qt::RightButton, both, view->NameBox().center());
    check(WaitFor([&] { return DiagnosticWindows().size() == 1; }), "it opens again once it has gone");
    window = DiagnosticWindows().empty() ? nullptr : DiagnosticWindows().front();

    // Stopping the sounder with the window open while the unit pings: the
    // window goes with it, and the unit is halted as it is let go.
    check(WaitFor([&] { return calculated() >= 1; }), "the reopened window reads the unit");
    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    check(WaitFor([&] { return window.isNull(); }), "the diagnostic window closed with its unit");
    check(WaitFor([&] {
              const auto codes = sim.GetReceivedCodes();
              return !codes.empty() && codes.back() == "HD";
          }),
          "the unit halted last");
    check(MessageBoxRecord().empty(), "no box on the way");
    return check.failures;
}

TEST(ProgramNvu, FirmwareUpgradeAndDiagnosticWindowReachTheOperator)
{
    nettest::RunNamespaceTest(RunProgram);
}

}  // namespace
