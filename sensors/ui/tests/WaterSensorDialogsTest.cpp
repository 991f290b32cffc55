// The water sensors' dialogs on a real serial component (registered into
// temporary hives) and a pseudo-terminal: the probe's real-time switch, its
// cast commands and what goes out on its line for each, the log of its
// readings, the stored cast offered on OK only; the temperature's source,
// transceiver choice, log, analog switch and what OK writes. Pictures of
// both dialogs are saved under /tmp for a person to look at.
#include "sensors/ui/SvpProbeDialog.h"
#include "sensors/ui/TemperatureDialog.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "platform/Component.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "sensors/Environment.h"
#include "sensors/SvpProfileStore.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

using zv::test::ControlById;
using zv::test::QtTestApp;

bool Pump(const std::function<bool()>& condition)
{
    return PumpUntil(condition, std::chrono::seconds(20));
}

// Saves a picture of the dialog for a person to look at.
bool Screenshot(QWidget& widget, const std::string& name)
{
    widget.adjustSize();
    return widget.grab().save(QDir::temp().filePath(QString::fromStdString("zv-water-" + name + ".png")));
}

void Receive(CSerialDeviceLink& sensor, const std::string& text)
{
    CTarnMessage message(text, 16);
    sensor.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
}

// Runs a dialog's Run with the operator's steps inside its loop, then OK
// (or Cancel); answers what Run answered.
int RunWith(const std::function<int()>& run, const std::function<void(QDialog&)>& steps, bool ok)
{
    QTimer operator_;
    operator_.setInterval(10);
    QObject::connect(&operator_, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        operator_.stop();
        steps(*dialog);
        ok ? dialog->accept() : dialog->reject();
    });
    operator_.start();
    return run();
}

class WaterSensorDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QtTestApp();
        ASSERT_EQ(RunRegSvr(false), 0);
        ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY210\\1.0\\"));
        environment.LoadUserSettings();
        frame = CreateMessageWindow([this](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == app::WM_ES_ENVIRONMENTCHANGED)
                ++announced;
            return 0;
        });
        SetMainWindow(frame);
        char pattern[] = "/tmp/watersensordialogsXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = std::string(pattern) + "/";
    }
    void TearDown() override
    {
        SetMainWindow(0);
        DestroyWindow(frame);
        registry.CloseRootKeys();
        CoFreeUnusedLibraries();
        fs::remove_all(dir);
    }
    void SetPort(const std::string& settingId)
    {
        ASSERT_TRUE(registry.SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings",
                                       "Port", pty.Name()));
    }
    HKEY MakeKey(const char* name)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, (std::string("Software\\Zelvar\\Test\\") + name).c_str(), 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    DWORD ReadDword(HKEY key, const char* name)
    {
        DWORD v = 0xFFFFFFFF;
        registry.GetDword(key, "", name, v, FALSE);
        return v;
    }
    std::vector<fs::path> Profiles() const
    {
        std::vector<fs::path> files;
        if (fs::exists(dir + "rec"))
            for (const auto& entry : fs::directory_iterator(dir + "rec"))
                files.push_back(entry.path());
        return files;
    }

    CTempHives hives;
    CRegistrySupport registry;
    CEnvironment environment;
    CLiveSensorHost host;
    CPtyPair pty;
    std::string dir;
    CSvpProfileStore store{[this] { return dir + "rec"; }, [] { return SounderModel::QY210; }};
    HWND frame = 0;
    int announced = 0;
};

// The probe dialog's commands, each as it goes out on the probe's line: the
// real-time switch polls at once and closes "Start", "Start" lowers the
// probe, "Record" opens "Store" and closes itself and "Start"; the log shows
// each reading and "Clear" empties it; a stored cast is offered on OK only.
TEST_F(WaterSensorDialogsTest, ProbeCommandsGoOutOnItsLine)
{
    SetPort(CSvpProbe::kSettingId);
    HKEY key = MakeKey("SvpProbe");
    // A poll cycle longer than the test: only the dialog's commands write.
    CSvpProbe probe(environment, store, host, 3'600'000);
    probe.LoadEnabled(key);
    ASSERT_EQ(probe.StartReader(), 0);
    ASSERT_TRUE(Pump([&] { return probe.GetTxProtocolName() == "ASCII"; }));

    {
        CSvpProbeDialog dialog(probe);
        EXPECT_EQ(dialog.windowTitle(), "Sound Velocity Probe");
        auto* realTime = ControlById<QCheckBox>(dialog, CSvpProbeDialog::IdRealTime);
        auto* start = ControlById<QPushButton>(dialog, CSvpProbeDialog::IdStart);
        auto* record = ControlById<QPushButton>(dialog, CSvpProbeDialog::IdRecord);
        auto* storeButton = ControlById<QPushButton>(dialog, CSvpProbeDialog::IdStore);
        auto* log = ControlById<QPlainTextEdit>(dialog, CSvpProbeDialog::IdLog);
        ASSERT_TRUE(realTime && start && record && storeButton && log);
        EXPECT_NE(dialog.findChild<QPushButton*>(QString::number(CSvpProbeDialog::IdClear)), nullptr);
        EXPECT_NE(dialog.findChild<QPushButton*>(QString::number(CSvpProbeDialog::IdPort)), nullptr);
        EXPECT_FALSE(realTime->isChecked());
        EXPECT_TRUE(start->isEnabled() && record->isEnabled());
        EXPECT_FALSE(storeButton->isEnabled());

        realTime->setChecked(true);
        EXPECT_TRUE(probe.IsRealTime());
        EXPECT_FALSE(start->isEnabled());
        // Each of "\r", "S", "\r" a telegram of the transmit protocol, which
        // ends it with CR LF.
        EXPECT_EQ(pty.Read(7), "\r\nS\r\n\r\n");
        realTime->setChecked(false);
        EXPECT_FALSE(probe.IsRealTime());
        EXPECT_TRUE(start->isEnabled());

        start->click();
        EXPECT_EQ(pty.Read(7), "\r\nM\r\n\r\n");

        pty.Write("0001 10.08 x 1492.31\r\n");
        ASSERT_TRUE(Pump([&] { return log->toPlainText().contains("S= 1492.31"); }));
        EXPECT_EQ(log->toPlainText(), "D= 10.00;    S= 1492.31\n");
        record->click();
        EXPECT_TRUE(probe.IsRecording());
        EXPECT_FALSE(record->isEnabled() || start->isEnabled());
        EXPECT_TRUE(storeButton->isEnabled());
        pty.Write("0002 20.16 x 1490.50\r\n0003 30.24 x 1488.00\r\n");
        ASSERT_TRUE(Pump([&] { return log->toPlainText().contains("S= 1488.00"); }));
        EXPECT_TRUE(Screenshot(dialog, "probe-dialog"));
        ControlById<QPushButton>(dialog, CSvpProbeDialog::IdClear)->click();
        EXPECT_EQ(log->toPlainText(), "");
        EXPECT_EQ(probe.Monitor().Text(), "");
        EXPECT_EQ(probe.RecordedCast().GetCount(), 2) << "the cast since Record";
    }

    // OK after "Store": one file of the cast, offered once; the switches
    // written.
    const int answer = RunWith([&] { return CSvpProbeDialog::Run(probe, nullptr); },
                               [&](QDialog& d) {
                                   ControlById<QCheckBox>(d, CSvpProbeDialog::IdRealTime)->setChecked(true);
                                   ControlById<QPushButton>(d, CSvpProbeDialog::IdStore)->click();
                               },
                               true);
    EXPECT_EQ(answer, 1);
    Pump([&] { return announced > 0; });
    EXPECT_EQ(announced, 1);
    ASSERT_EQ(Profiles().size(), 1u);
    CSvpProfile stored;
    EXPECT_EQ(stored.ParseDatagram(Profiles()[0].string(), CSvpProfile::FormatAsvp), 2);
    EXPECT_EQ(ReadDword(key, "RealSvpEnabled"), 1u);
    EXPECT_EQ(pty.Read(7), "\r\nS\r\n\r\n") << "the poll of the switch";

    // Cancel after "Store": the file is written, nothing is offered, then or
    // at the next OK.
    RunWith([&] { return CSvpProbeDialog::Run(probe, nullptr); },
            [&](QDialog& d) {
                ControlById<QCheckBox>(d, CSvpProbeDialog::IdRealTime)->setChecked(false);
                ControlById<QPushButton>(d, CSvpProbeDialog::IdStore)->click();
            },
            false);
    EXPECT_EQ(RunWith([&] { return CSvpProbeDialog::Run(probe, nullptr); }, [](QDialog&) {}, true), 1);
    PumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(Profiles().size(), 2u);
    EXPECT_EQ(ReadDword(key, "RealSvpEnabled"), 0u) << "the switch as the last OK left it";
    probe.StopReader();
    RegCloseKey(key);
}

// The temperature dialog shows the source and the chosen transceiver (one
// no longer installed included), logs readings from the moment it opens,
// empties the log when the analog switch changes, and writes the source
// and the transceiver on OK only.
TEST_F(WaterSensorDialogsTest, TemperatureSourceLogAndOk)
{
    SetPort(CTemperature::kSettingId);
    HKEY key = MakeKey("Temperature");
    CTemperature temperature(environment, host);
    ASSERT_EQ(temperature.OpenPort(), 0);
    EXPECT_EQ(temperature.LoadSettings(key), 1) << "no transceiver chosen yet";
    temperature.SetSourceList({"T38 38 kHz", "T120 120 kHz"});
    ASSERT_TRUE(temperature.StoreSettings(CTemperature::kSerial, "Gone 50 kHz"));

    {
        CTemperatureDialog dialog(temperature);
        EXPECT_EQ(dialog.windowTitle(), "Temperature Sensor");
        auto* combo = ControlById<QComboBox>(dialog, CTemperatureDialog::IdTransceiver);
        auto* log = ControlById<QPlainTextEdit>(dialog, CTemperatureDialog::IdLog);
        auto* analog = ControlById<QRadioButton>(dialog, CTemperatureDialog::IdAnalog);
        ASSERT_TRUE(combo && log && analog);
        EXPECT_EQ(ControlById<QRadioButton>(dialog, CTemperatureDialog::IdOff)->text(), "Off");
        EXPECT_EQ(ControlById<QRadioButton>(dialog, CTemperatureDialog::IdSerial)->text(), "Serial line");
        EXPECT_EQ(analog->text(), "Anolog Input");
        EXPECT_EQ(ControlById<QCheckBox>(dialog, CTemperatureDialog::IdDataDisplay)->text(), "Analog Input:");
        EXPECT_EQ(ControlById<QPushButton>(dialog, CTemperatureDialog::IdPort)->text(), "RS232...");
        EXPECT_TRUE(ControlById<QRadioButton>(dialog, CTemperatureDialog::IdSerial)->isChecked());
        EXPECT_EQ(combo->count(), 3);
        EXPECT_EQ(combo->currentText(), "Gone 50 kHz");
        EXPECT_EQ(log->toPlainText(), "Data not available\n");

        pty.Write("$YXMTW,12.5,C\r\n");
        ASSERT_TRUE(Pump([&] { return log->toPlainText().contains("12.5"); }));
        EXPECT_EQ(log->toPlainText(), "12.5\u00B0C  54.5\u00B0F\n");
        EXPECT_EQ(temperature.GetTemperature(), std::optional(12.5));
        EXPECT_TRUE(Screenshot(dialog, "temperature-dialog"));

        ControlById<QCheckBox>(dialog, CTemperatureDialog::IdDataDisplay)->setChecked(true);
        ASSERT_TRUE(Pump([&] { return log->toPlainText() == "Data not available\n"; }));
        EXPECT_FALSE(temperature.GetTemperature()) << "the switch marks the reading not valid";
        ControlById<QPushButton>(dialog, CTemperatureDialog::IdClear)->click();
        EXPECT_EQ(log->toPlainText(), "");

        // What the dialog holds, before OK: nothing written yet.
        analog->setChecked(true);
        combo->setCurrentText("T38 38 kHz");
        EXPECT_EQ(dialog.Source(), CTemperature::kAnalog);
        EXPECT_EQ(dialog.Transceiver(), "T38 38 kHz");
        EXPECT_EQ(temperature.GetSource(), CTemperature::kSerial);
    }

    const auto choose = [](QDialog& d) {
        ControlById<QRadioButton>(d, CTemperatureDialog::IdAnalog)->setChecked(true);
        ControlById<QComboBox>(d, CTemperatureDialog::IdTransceiver)->setCurrentText("T120 120 kHz");
    };
    EXPECT_EQ(RunWith([&] { return CTemperatureDialog::Run(temperature, nullptr); }, choose, false), 0);
    EXPECT_EQ(temperature.GetSource(), CTemperature::kSerial);
    EXPECT_EQ(ReadDword(key, "Source"), CTemperature::kSerial);
    EXPECT_EQ(RunWith([&] { return CTemperatureDialog::Run(temperature, nullptr); }, choose, true), 1);
    EXPECT_EQ(temperature.GetSource(), CTemperature::kAnalog);
    EXPECT_EQ(temperature.GetTransceiverSource(), "T120 120 kHz");
    EXPECT_EQ(ReadDword(key, "Source"), CTemperature::kAnalog);
    std::string written;
    registry.GetString(key, "", "TransceiverSource", written, FALSE);
    EXPECT_EQ(written, "T120 120 kHz");

    // The analog source now: the sentence is ignored, the chosen unit's
    // thermistor counts.
    Receive(temperature, "$YXMTW,3.0,C");
    EXPECT_FALSE(temperature.GetTemperature());
    temperature.SetResistance("T120 120 kHz", 10000.0);
    EXPECT_EQ(temperature.GetTemperature(), std::optional(25.0));
    temperature.ClosePort();
    RegCloseKey(key);
}

}  // namespace
