// The motion sensor's dialogs and the net sensors': which controls are open
// to the operator in each mode, what a button changes at once and what only
// OK takes, the newest values shown, and the offsets locked while replaying.
#include "sensors/ui/HeaveDialog.h"
#include "sensors/ui/PurseSeineDialog.h"
#include "sensors/ui/SensorSetup.h"

#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "platform/FileTime.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "serialcom/device/DepthTelegramSources.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

using zv::test::ControlById;
using zv::test::QtTestApp;

class CHost final : public ISensorHost
{
public:
    bool IsReplaying() const override { return replaying; }
    bool replaying = false;
};

// While replaying the offsets are shown but locked; a value beyond the
// spins' reach is taken as typed.
TEST(HeaveDialogs, SensorSetupShowsLocksAndTakesTheOffsets)
{
    QtTestApp();
    for (bool replaying : {false, true}) {
        CSensorSetup dialog(1.5, -0.25, 3.0, replaying);
        auto* forward = ControlById<QLineEdit>(dialog, CSensorSetup::IDC_FORWARD);
        auto* starboard = ControlById<QLineEdit>(dialog, CSensorSetup::IDC_STARBOARD);
        auto* down = ControlById<QLineEdit>(dialog, CSensorSetup::IDC_DOWN);
        auto* spin = ControlById<app::CSpinButtonDoubleCtrl>(dialog, CSensorSetup::IDC_DOWN_SPIN);
        ASSERT_TRUE(forward && starboard && down && spin);
        EXPECT_EQ(forward->text(), "1.50");
        EXPECT_EQ(starboard->text(), "-0.25");
        EXPECT_EQ(down->text(), "3.00");
        EXPECT_EQ(forward->isEnabled(), !replaying);
        EXPECT_EQ(spin->isEnabled(), !replaying);
    }
    CSensorSetup dialog(0.0, 0.0, 0.0, false);
    ControlById<QLineEdit>(dialog, CSensorSetup::IDC_FORWARD)->setText("1234.5");
    ControlById<QLineEdit>(dialog, CSensorSetup::IDC_DOWN)->setText("-2");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_X, 1234.5);
    EXPECT_EQ(dialog.m_Y, 0.0);
    EXPECT_EQ(dialog.m_Z, -2.0);
}

class HeaveDialogTest : public ::testing::Test
{
protected:
    HeaveDialogTest()
    {
        QtTestApp();
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\Heave", 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        heave.Initialise(key);
        heave.SetTransceiverList({"QY42 unit 1", "QY42 unit 2"});
    }
    ~HeaveDialogTest() override { RegCloseKey(key); }

    CTempHives hives;
    CHost host;
    CNoDepthTelegramSources sources;
    CHeave heave{host, sources};
    HKEY key = nullptr;
};

// In the analog mode the analog controls and the unit list are open, the
// protocols closed and the display says there is no data; without a line
// neither the port nor the depth output can be set. "Off" closes both kinds
// and empties the history at once; Cancel brings the stored mode back.
TEST_F(HeaveDialogTest, ControlsFollowTheModeAndCancelReadsBack)
{
    CHeave::Settings s = heave.GetSettings();
    s.Mode = CHeave::kModeAnalog;
    s.TransceiverSource = "QY42 unit 2";
    heave.StoreSettings(s);
    const AnalogMotionSample sample{CFileTime::Now(), 12, 150, -200};
    heave.AddAnalogSamples("QY42 unit 2", &sample, 1);

    CHeaveDialog dialog(heave);
    auto* ascii = ControlById<QRadioButton>(dialog, CHeaveDialog::IDC_ASCII);
    auto* pitchSine = ControlById<QRadioButton>(dialog, CHeaveDialog::IDC_PITCH_SINE);
    auto* units = ControlById<QComboBox>(dialog, CHeaveDialog::IDC_TRANSCEIVER);
    auto* off = ControlById<QRadioButton>(dialog, CHeaveDialog::IDC_OFF);
    ASSERT_TRUE(ascii && pitchSine && units && off);
    EXPECT_FALSE(ascii->isEnabled());
    EXPECT_TRUE(pitchSine->isEnabled() && units->isEnabled());
    EXPECT_EQ(units->currentText(), "QY42 unit 2");
    EXPECT_EQ(dialog.MonitorEdit()->toPlainText(), "Data not available");
    EXPECT_FALSE(ControlById<QPushButton>(dialog, CHeaveDialog::IDC_PORT)->isEnabled());
    EXPECT_FALSE(ControlById<QPushButton>(dialog, CHeaveDialog::IDC_DEPTH_OUTPUT)->isEnabled());
    EXPECT_EQ(ControlById<QLineEdit>(dialog, CHeaveDialog::IDC_HEAVE)->text(), " -0.12 m");
    EXPECT_EQ(ControlById<QLineEdit>(dialog, CHeaveDialog::IDC_ROLL)->text(), QString(" 1.50") + QChar(0xB0));
    EXPECT_EQ(ControlById<QLineEdit>(dialog, CHeaveDialog::IDC_PITCH)->text(), QString(" -2.00") + QChar(0xB0));

    off->click();
    EXPECT_EQ(heave.GetSettings().Mode, CHeave::kModeOff);
    EXPECT_FALSE(pitchSine->isEnabled() || units->isEnabled() || ascii->isEnabled());
    EXPECT_EQ(heave.GetNewestSample().stamp, 0u);
    dialog.reject();
    heave.ReloadSettings();
    EXPECT_EQ(heave.GetSettings().Mode, CHeave::kModeAnalog);
}

// OK takes the analog laws, the unit, the heave at the transducer and the
// latency; a latency that is no number keeps the dialog open.
TEST_F(HeaveDialogTest, OkTakesTheWorkingValues)
{
    CHeave::Settings s = heave.GetSettings();
    s.Mode = CHeave::kModeAnalog;
    heave.StoreSettings(s);
    CHeaveDialog dialog(heave);
    ControlById<QRadioButton>(dialog, CHeaveDialog::IDC_PITCH_SINE)->click();
    ControlById<QComboBox>(dialog, CHeaveDialog::IDC_TRANSCEIVER)->setCurrentIndex(1);
    ControlById<QCheckBox>(dialog, CHeaveDialog::IDC_REMOTE_HEAVE)->setChecked(true);
    ControlById<QCheckBox>(dialog, CHeaveDialog::IDC_USE_LATENCY)->setChecked(true);
    ControlById<QLineEdit>(dialog, CHeaveDialog::IDC_LATENCY)->setText("35");
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const CHeave::Settings w = dialog.Working();
    EXPECT_EQ(w.AnalogModePitch, CHeave::kTenSine);
    EXPECT_EQ(w.AnalogModeRoll, CHeave::kVoltPerDegree);
    EXPECT_EQ(w.TransceiverSource, "QY42 unit 2");
    EXPECT_EQ(w.CalcRemoteHeave, 1u);
    EXPECT_EQ(w.UseLatency, 1u);
    EXPECT_EQ(w.Latency, 35u);
    EXPECT_EQ(w.Mode, CHeave::kModeAnalog);
}

// Each net sensor's depth shows while it is fresh, in metres.
TEST(HeaveDialogs, PurseSeineShowsFreshSensors)
{
    QtTestApp();
    CNoDepthTelegramSources sources;
    CPurseSeine seine(sources);
    const std::uint64_t now = CFileTime::Now();
    seine.ParseTelegram("$PKVRP,0,0,0,D,M,1,0,42.46,0,2", now);
    seine.ParseTelegram("$PKVRP,0,0,0,D,F,3,0,10,0,2", now - 11 * 10'000'000ULL);
    CPurseSeineDialog dialog(seine);
    EXPECT_EQ(ControlById<QLineEdit>(dialog, CPurseSeineDialog::IDC_SENSOR1)->text(), " 42.5 m");
    EXPECT_EQ(ControlById<QLineEdit>(dialog, CPurseSeineDialog::IDC_SENSOR2)->text(), "");
    EXPECT_EQ(ControlById<QLineEdit>(dialog, CPurseSeineDialog::IDC_SENSOR3)->text(), "");
}

}  // namespace
