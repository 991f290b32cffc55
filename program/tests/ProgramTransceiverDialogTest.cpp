// The program as model QY310 with an installed network unit of 50 kHz, the
// simulated one, inside a network namespace of the test's own: the
// channel's "Transceiver Settings" opened by a right click on its name,
// what OK does to the unit, the registry and the channel status window,
// what Cancel leaves alone, "Advanced..."; and "HW status" with the unit's
// answers to "HW request".
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"
#include "transceivers/HardwareStatus.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverInstallation.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "display/DepthDoc.h"
#include "display/ui/DepthView.h"
#include "engine/Channel.h"
#include "engine/ui/ChannelStatusDialog.h"
#include "program/tests/TestProgram.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"
#include "transceivers/ui/AdvancedTransceiverDialog.h"
#include "transceivers/ui/HardwareStatusDialog.h"
#include "transceivers/ui/TransceiverDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

using namespace shelltest;

namespace {

using nettest::Checks;

constexpr std::uint32_t kUnit = 0x7F000002;

// The unit's one channel at 50 kHz, which no FM pulse is offered for.
void InstallFiftyKilohertzUnit()
{
    CRegistrySupport reg;
    if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"))
        return;
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    CTrList entry = zv::test::QY42ChannelEntry(kUnit);
    entry.frequency = 50000.0;
    entry.frequencyKHz = 50.0;
    const std::string description = "T50 50 kHz 1";
    entry.FormatDescription(&description, TransceiverType::QY42);
    installation.WriteChannelEntry(entry, key);
    reg.CloseKey(key);
    reg.CloseRootKeys();
}

struct Running
{
    std::unique_ptr<app::CProgram> program;
    CEchoSounder* sounder = nullptr;
    CChannel* channel = nullptr;
    CTransceiver* unit = nullptr;
};

bool StartProgram(Checks& check, Running& run)
{
    run.program = MakeProgram(TestProgramOptions({"QY310"}));
    if (!check(run.program->Start(), "program started"))
        return false;
    COperationControl& operation = run.program->Operation();
    check(WaitFor(
              [&] {
                  run.sounder = operation.GetEchoSounder();
                  return run.sounder && run.sounder->GetPingCount() >= 3 && !QApplication::activeModalWidget();
              },
              30000),
          "the unit pings");
    run.channel = run.sounder ? run.sounder->GetChannel(0) : nullptr;
    run.unit = run.channel ? run.channel->GetTransceiver() : nullptr;
    return check(run.unit != nullptr, "a channel of the unit");
}

// What a modal window the program opens is answered with, one step at a
// time: a step returns true once it is done with the window in front.
class COperator
{
public:
    using Step = std::function<bool(QWidget& modal)>;
    explicit COperator(std::vector<Step> steps) : m_steps(std::move(steps))
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && m_next < m_steps.size() && m_steps[m_next](*modal))
                ++m_next;
        });
        m_timer.start();
    }
    bool Done() const { return m_next == m_steps.size(); }

private:
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
};

template <typename W>
W* Find(QWidget& w, const char* name)
{
    return w.findChild<W*>(name);
}

// Clicks once the timer's call has returned: the click may open a window
// of its own, whose loop must not run inside that call.
void ClickLater(QPushButton* button)
{
    QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
}

int RunSettingsDialogs()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    CQY42Simulator::Settings settings;
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    InstallFiftyKilohertzUnit();
    Running run;
    if (!StartProgram(check, run))
        return check.failures;
    CTransceiver::StructChannelParameters* record = run.unit->FindRecord(run.channel);
    CDepthView* view = nullptr;
    check(WaitFor([&] {
              for (CDepthView* v : run.program->Frame()->findChildren<CDepthView*>())
                  if (v->isVisible() && v->GetDocument() && v->GetDocument()->GetChannel() == run.channel)
                      view = v;
              return view != nullptr;
          }),
          "the channel's depth row");
    if (!view || !record)
        return check.failures + 1;

    // A right click on the channel's name: "Test" (greyed, the unit has none)
    // and the fourth pulse length are chosen, "Advanced..." looked at, OK.
    std::vector<std::string> advanced;
    bool fmOffered = true, testOffered = true;
    std::string title;
    COperator settingsHand({
        [&](QWidget& modal) {
            auto* dialog = qobject_cast<CTransceiverDialog*>(&modal);
            if (!dialog)
                return false;
            title = dialog->windowTitle().toStdString();
            fmOffered = Find<QRadioButton>(*dialog, "IDC_FM") || Find<QWidget>(*dialog, "IDC_FM_PULSE");
            testOffered = Find<QRadioButton>(*dialog, "IDC_MODE_Test")->isEnabled();
            Find<QRadioButton>(*dialog, "IDC_MODE_Test")->setChecked(true);
            Find<QSlider>(*dialog, "IDC_PULSE_LENGTH")->setValue(3);
            Screenshot(*dialog, "transceiver-settings");
            ClickLater(Find<QPushButton>(*dialog, "IDC_ADVANCED"));
            return true;
        },
        [&](QWidget& modal) {
            auto* dialog = qobject_cast<CAdvancedTransceiverDialog*>(&modal);
            if (!dialog)
                return false;
            for (int id = 1060; id <= 1073; ++id)
                if (auto* field = dialog->findChild<QLineEdit*>(QString::number(id)))
                    advanced.push_back(field->text().toStdString());
            Screenshot(*dialog, "advanced-transceiver");
            dialog->accept();
            return true;
        },
        [&](QWidget& modal) {
            auto* dialog = qobject_cast<CTransceiverDialog*>(&modal);
            if (!dialog)
                return false;
            dialog->accept();
            return true;
        },
    });
    view->repaint();
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(3, 3));
    check(settingsHand.Done(), "the right click on the name opened the dialog and Advanced...");
    check(title == "Transceiver Settings", "title: " + title);
    check(!fmOffered, "a 50 kHz channel cannot choose FM");
    check(!testOffered, "no Test on this unit");

    // The advanced values: frequency, offsets, widths, beam type, angle,
    // bandwidth, sample distance, gain, sound velocity, absorption.
    const char* formats[14] = {"^50000$",
                               "^-?\\d+\\.\\d\\d$",
                               "^-?\\d+\\.\\d\\d$",
                               "^-?\\d+\\.\\d\\d$",
                               "^-?\\d+\\.\\d\\d$",
                               "^-?\\d+\\.\\d\\d$",
                               "^-?\\d+\\.\\d\\d$",
                               "^Single$",
                               "^-?\\d+\\.\\d\\d$",
                               "^\\d+$",
                               "^0\\.07\\d\\d$",
                               "^-?\\d+\\.\\d\\d$",
                               "^\\d+$",
                               "^\\d+\\.\\d\\d$"};
    check(advanced.size() == 14, std::to_string(advanced.size()) + " advanced values");
    for (std::size_t i = 0; i < advanced.size() && i < 14; ++i)
        check(QRegularExpression(formats[i]).match(QString::fromStdString(advanced[i])).hasMatch(),
              "advanced value " + std::to_string(1060 + i) + ": " + advanced[i]);

    // The new pulse length reaches the unit with its next set-up.
    check(WaitFor([&] { return std::abs(sim.GetConfiguredPulseLength() - 0.0008) < 1e-9; }, 20000),
          "0.8 ms in the next TPC, not " + std::to_string(sim.GetConfiguredPulseLength()));
    check(std::abs(sim.GetTransmitPulseLength() - 0.0008) < 1e-9, "and in its TSP#");
    CRegistrySupport reg;
    double pulse = 0.0;
    DWORD mode = 9;
    check(reg.GetDouble(record->key, "", "PulseLength", pulse, FALSE) && pulse == 0.0008, "PulseLength registered");
    check(reg.GetDword(record->key, "", "enumTransceiverMode", mode, FALSE) && mode == 0,
          "Test on this unit stores Active");
    for (const char* name :
         {"TxPower", "TransducerDepth", "TransducerZ", "TransducerX", "TransducerY", "TransducerRoll",
          "TransducerPitch", "TransducerAzimuth", "TrFixedDraft", "TrVariableDraft", "FmPulseLength",
          "FmResolutionLength", "CWResolutionLength", "ResolutionLength"}) {
        double v = 0.0;
        check(reg.GetDouble(record->key, "", name, v, FALSE), std::string(name) + " registered");
    }
    for (const char* name : {"bFMpulse", "DoubleSampleRate", "FilterType"}) {
        DWORD v = 0;
        check(reg.GetDword(record->key, "", name, v, FALSE), std::string(name) + " registered");
    }
    PostMessage(GetMainWindow(), app::WM_ES_SHOWCHANNELSTATUS, 1, 0);
    CChannelStatusDialog* status = nullptr;
    check(WaitFor([&] {
              status = run.program->ToolWindows().ChannelStatus();
              auto* field = status ? status->findChild<QLabel*>("pulselength_1") : nullptr;
              return field && field->text().trimmed() == "0.800";
          }),
          "the channel status window shows 0.800 ms");

    // Cancel leaves everything as it is, while the unit pings on.
    COperator cancelHand({[&](QWidget& modal) {
        auto* dialog = qobject_cast<CTransceiverDialog*>(&modal);
        if (!dialog)
            return false;
        Find<QSlider>(*dialog, "IDC_PULSE_LENGTH")->setValue(0);
        Find<QRadioButton>(*dialog, "IDC_MODE_Passive")->setChecked(true);
        dialog->reject();
        return true;
    }});
    view->repaint();
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(3, 3));
    check(cancelHand.Done(), "opened again");
    const std::uint64_t pings = run.sounder->GetPingCount();
    check(WaitFor([&] { return run.sounder->GetPingCount() >= pings + 3; }, 20000), "pings go on");
    double afterCancel = 0.0;
    reg.GetDouble(record->key, "", "PulseLength", afterCancel, FALSE);
    check(afterCancel == 0.0008 && std::abs(sim.GetConfiguredPulseLength() - 0.0008) < 1e-9, "Cancel changes nothing");
    check(run.channel->GetParameters().TransceiverMode == 0, "the channel stays active");

    // The stop keeps the channel's mode, pulse length and power in the
    // profile's file as well, and the next start takes them from there over
    // what the channel's key says.
    const std::string channelName = record->channelName;
    const double firstPulse = record->pulseLengthTable[0];
    run.program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return !run.program->Operation().GetEchoSounder(); }, 20000), "stopped");
    const std::string saved =
        CTransceiver::SettingsFileName(run.program->Application().GetSerializePath(), channelName);
    std::ifstream file(saved, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::int32_t savedMode = -1;
    double savedPulse = 0.0;
    if (check(bytes.size() == 20u, saved + " holds one record, not " + std::to_string(bytes.size()))) {
        std::memcpy(&savedMode, bytes.data(), 4);
        std::memcpy(&savedPulse, bytes.data() + 4, 8);
    }
    check(savedMode == 0 && savedPulse == 0.0008, "the file holds the active mode and 0.8 ms");
    check(firstPulse != 0.0008, "another pulse length to put in the key");
    HKEY channelKey = nullptr;
    check(RegOpenKeyEx(CRegistrySupport::UserRootKey(), ("OperationControl\\Operation\\Normal\\" + channelName).c_str(),
                       0, KEY_ALL_ACCESS, &channelKey) == ERROR_SUCCESS,
          "the channel's key below the sounder's");
    reg.SetDouble(channelKey, "", "PulseLength", firstPulse);
    RegCloseKey(channelKey);
    run.program->Application().Operation().PostRestart();
    check(WaitFor(
              [&] {
                  CEchoSounder* again = run.program->Operation().GetEchoSounder();
                  return again && again->GetPingCount() >= 3;
              },
              30000),
          "started again");
    check(std::abs(sim.GetConfiguredPulseLength() - 0.0008) < 1e-9,
          "the file's 0.8 ms is set up again, not " + std::to_string(sim.GetConfiguredPulseLength()));
    run.program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return !run.program->Operation().GetEchoSounder(); }, 20000), "stopped again");
    return check.failures;
}

int RunHardwareStatus()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    CQY42Simulator::Settings settings;
    settings.version = "QY42 SIM 2.0\nready\n";
    settings.boardType = "BRD-9";
    settings.boardId = 4711;
    settings.boardValues = {181.0f, 12.2f, 9.9f, 5.1f, 3.2f, 2.4f, 1.6f, 6.1f, 36.5f, 32.0f, 44.0f};
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(kUnit);
    Running run;
    if (!StartProgram(check, run))
        return check.failures;
    auto* status = run.program->Application().Sensor<CHardwareStatus>(app::SensorId::HardwareStatus);
    if (!check(status != nullptr, "the hardware status object"))
        return check.failures;

    // Answers while the window is closed change nothing. The unit answers
    // at once, and the pings it sends after come on the same road: once
    // they are in, so are the answers.
    run.unit->RequestStatus();
    check(WaitFor([&] {
              const auto codes = sim.GetReceivedCodes();
              const auto request = std::find(codes.begin(), codes.end(), "DCSR");
              return request != codes.end() && std::find(request, codes.end(), "VR") != codes.end();
          }),
          "the unit was asked");
    const std::uint64_t pings = run.sounder->GetPingCount();
    check(WaitFor([&] { return run.sounder->GetPingCount() >= pings + 3; }, 20000), "its answers are in");

    std::vector<std::string> fields;
    std::string shownReport;
    bool emptyAtOpening = false, requestEnabled = false;
    COperator hand({
        [&](QWidget& modal) {
            auto* dialog = qobject_cast<CHardwareStatusDialog*>(&modal);
            if (!dialog)
                return false;
            Find<QPushButton>(*dialog, "IDC_REFRESH")->click();
            emptyAtOpening = Find<QLineEdit>(*dialog, "IDC_VALUE_0")->text().isEmpty() &&
                             Find<QPlainTextEdit>(*dialog, "IDC_REPORT")->toPlainText().isEmpty();
            auto* combo = Find<QComboBox>(*dialog, "IDC_TRANSCEIVER");
            combo->setCurrentIndex(combo->findText("QY42"));
            requestEnabled = Find<QPushButton>(*dialog, "IDC_HW_REQUEST")->isEnabled();
            Find<QPushButton>(*dialog, "IDC_HW_REQUEST")->click();
            return true;
        },
        [&](QWidget& modal) {
            auto* dialog = qobject_cast<CHardwareStatusDialog*>(&modal);
            if (!dialog || Find<QLineEdit>(*dialog, "IDC_VALUE_10")->text().isEmpty() ||
                Find<QPlainTextEdit>(*dialog, "IDC_REPORT")->toPlainText().isEmpty())
                return false;
            fields.push_back(Find<QLineEdit>(*dialog, "IDC_BOARD_ID")->text().toStdString());
            fields.push_back(Find<QLineEdit>(*dialog, "IDC_BOARD_TYPE")->text().toStdString());
            for (int i = 0; i < CHardwareStatus::kValueCount; ++i)
                fields.push_back(
                    Find<QLineEdit>(*dialog, ("IDC_VALUE_" + std::to_string(i)).c_str())->text().toStdString());
            shownReport = Find<QPlainTextEdit>(*dialog, "IDC_REPORT")->toPlainText().toStdString();
            Screenshot(*dialog, "hw-status");
            dialog->accept();
            return true;
        },
    });
    check(run.program->Frame()->QueryCommand(app::cmd::HW_STATUS).enabled, "HW status is offered");
    run.program->Frame()->RunCommand(app::cmd::HW_STATUS);
    check(hand.Done(), "HW status opened and answered");
    check(emptyAtOpening, "the answers while it was closed show nowhere, Refresh included");
    check(requestEnabled, "HW request while the sounder runs");
    const std::vector<std::string> expected = {" 4711", " BRD-9", " 181.0", " 12.2", "  9.9", "  5.1", "  3.2",
                                               "  2.4", "  1.6",  "  6.1",  " 36.5", " 32.0", " 44.0"};
    std::string shown;
    for (const std::string& f : fields)
        shown += "[" + f + "]";
    check(fields == expected, "the unit's board and its eleven values: " + shown);
    const std::optional<std::string> report = status->GetReport();
    check(report && report->find("Status \t\t0\r\n\r\nLocal:\r\nIpAddress \t127.0.0.2\r\n") == 0,
          "the report begins with the unit's status and address: " + report.value_or("none"));
    check(report && report->find("UdpPort \t\t12346\r\n") != std::string::npos, "the unit's port");
    check(report && report->ends_with("\r\n\r\nQY42 SIM 2.0\r\nready\r\n"),
          "the unit's text, its lines ended with CR LF: " + report.value_or("none"));
    bool bare = false;
    for (std::size_t i = 0; report && i < report->size(); ++i)
        bare = bare || ((*report)[i] == '\n' && (i == 0 || (*report)[i - 1] != '\r'));
    check(!bare, "every line ends in CR LF");
    check(shownReport.find("ready") != std::string::npos, "the window shows the report");
    return check.failures;
}

TEST(ProgramTransceiverDialog, SettingsReachTheUnitTheRegistryAndTheStatusWindow)
{
    nettest::RunNamespaceTest(RunSettingsDialogs);
}

TEST(ProgramHardwareStatus, HwRequestShowsTheUnitsBoardAndAddresses)
{
    nettest::RunNamespaceTest(RunHardwareStatus);
}

}  // namespace
