// The serial sensors' dialogs: which controls are open to the operator
// when, what OK takes over, and the monitor showing what the line brought.
#include "sensors/ui/DepthOutputDialog.h"
#include "sensors/ui/NavigationDialog.h"
#include "sensors/ui/TrawlDialog.h"

#include "platform/MessageDispatcher.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <chrono>

namespace {

int argc = 1;
char name[] = "test";
char* argv[] = {name, nullptr};

template <class W>
W* Find(QWidget& dialog, const QString& name)
{
    W* w = dialog.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

// The channel list is open only while the output is on and the type is not
// one that carries the channel itself (3, 4).
TEST(SensorDialogs, DepthOutputChannelListFollowsOutputAndType)
{
    QApplication qapp(argc, argv);
    CDepthOutputDialog::Values v{true, 1, true, "T38 38 kHz"};
    CDepthOutputDialog dialog({"T38 38 kHz", "T120 120 kHz"}, v);
    auto* output = Find<QCheckBox>(dialog, QString::number(CDepthOutputDialog::IDC_DEPTH_OUTPUT));
    auto* type = Find<QComboBox>(dialog, QString::number(CDepthOutputDialog::IDC_DEPTH_TELEGRAM));
    auto* channel = Find<QComboBox>(dialog, QString::number(CDepthOutputDialog::IDC_DEPTH_CHANNEL));
    ASSERT_TRUE(output && type && channel);
    EXPECT_TRUE(channel->isEnabled());
    for (int t = 0; t < 8; ++t) {
        type->setCurrentIndex(t);
        EXPECT_EQ(channel->isEnabled(), t != 3 && t != 4) << t;
    }
    output->setChecked(false);
    EXPECT_FALSE(channel->isEnabled() || type->isEnabled());
    output->setChecked(true);
    type->setCurrentIndex(7);
    channel->setCurrentIndex(1);
    const CDepthOutputDialog::Values r = dialog.Result();
    EXPECT_TRUE(r.output && r.checksum);
    EXPECT_EQ(r.telegram, 7u);
    EXPECT_EQ(r.channel, "T120 120 kHz");

    // A source no installed channel is named after stays chosen.
    CDepthOutputDialog kept({"T38 38 kHz"}, CDepthOutputDialog::Values{true, 0, false, "Gone 50 kHz"});
    EXPECT_EQ(kept.Result().channel, "Gone 50 kHz");
}

// Manual speed only while it is the one in use; "Off" for the clock clears
// its texts and closes "Force Update", which waits for the clock it asked
// for; OK takes the settings.
TEST(SensorDialogs, NavigationSpeedClockAndOk)
{
    QApplication qapp(argc, argv);
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CNavigation navigation(host, sources);
    CNavigation::Settings s = navigation.GetSettings();
    s.ClockSource = CNavigation::kSourceSerial;
    navigation.StoreSettings(s);
    navigation.SetMeasuredSpeed(7.25);
    CNavigationDialog dialog(navigation);
    auto* manual = Find<QLineEdit>(dialog, "IDC_EDIT_MANUAL_SPEED");
    auto* speed = Find<QLabel>(dialog, "IDC_SPEED_TEXT");
    auto* force = Find<QPushButton>(dialog, "IDC_FORCE_UPDATE");
    auto* clock = Find<QLabel>(dialog, "IDC_CLOCK_TEXT");
    ASSERT_TRUE(manual && speed && force && clock);
    EXPECT_TRUE(manual->isEnabled());  // manual by default
    EXPECT_EQ(speed->text(), "7.2");
    Find<QRadioButton>(dialog, "IDC_SPEED_SERIAL")->click();
    EXPECT_FALSE(manual->isEnabled());

    SYSTEMTIME t{};
    navigation.SetClockTime(t, "12:34:56.500", "07.12.2026");
    dialog.OnSensorChanged();
    EXPECT_EQ(clock->text(), "12:34:56.500");
    EXPECT_TRUE(force->isEnabled());
    force->click();
    EXPECT_TRUE(navigation.IsClockRequest());
    EXPECT_FALSE(force->isEnabled());
    navigation.EndForceUpdate();
    dialog.OnSensorChanged();
    EXPECT_TRUE(force->isEnabled());
    Find<QRadioButton>(dialog, "IDC_CLOCK_OFF")->click();
    EXPECT_EQ(clock->text(), "");
    EXPECT_FALSE(force->isEnabled());

    Find<QLineEdit>(dialog, "IDC_EDIT_LATENCY")->setText("120");
    Find<QCheckBox>(dialog, "IDC_AUTO_SET_CLOCK")->setChecked(true);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const CNavigation::Settings w = dialog.Working();
    EXPECT_EQ(w.SpeedType, CNavigation::kSpeedSerial);
    EXPECT_EQ(w.ClockSource, CNavigation::kSourceOff);
    EXPECT_EQ(w.Latency, 120.0);
    EXPECT_EQ(w.UseAutoZda, 1u);
}

// A manual speed past 25 knots is refused, the dialog stays open.
TEST(SensorDialogs, NavigationRefusesASpeedOutOfRange)
{
    QApplication qapp(argc, argv);
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CNavigation navigation(host, sources);
    CNavigationDialog dialog(navigation);
    Find<QLineEdit>(dialog, "IDC_EDIT_MANUAL_SPEED")->setText("25.1");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

// The opening is open only while "Manual:" is checked; the monitor shows
// the line, in hex when asked, while the dialog is open.
TEST(SensorDialogs, TrawlManualOpeningAndMonitor)
{
    QApplication qapp(argc, argv);
    CNoDepthTelegramSources sources;
    CTrawl trawl(SounderModel::RM30, sources);
    CTrawlDialog dialog(trawl);
    auto* manual = Find<QCheckBox>(dialog, QString::number(CTrawlDialog::IDC_MANUAL));
    auto* opening = Find<QLineEdit>(dialog, QString::number(CTrawlDialog::IDC_OPENING));
    auto* unit = Find<QLabel>(dialog, QString::number(CTrawlDialog::IDC_UNIT));
    auto* monitor = Find<QPlainTextEdit>(dialog, QString::number(CTrawlDialog::IDC_MONITOR));
    ASSERT_TRUE(manual && opening && unit && monitor);
    EXPECT_FALSE(opening->isEnabled() || unit->isEnabled());
    manual->setChecked(true);
    EXPECT_TRUE(opening->isEnabled() && unit->isEnabled());
    opening->setText("22.5");
    dialog.accept();
    EXPECT_EQ(dialog.Working().Manual, 1u);
    EXPECT_EQ(dialog.Working().ManualOpening, 22.5);

    CTrawlDialog shown(trawl);
    auto* text = Find<QPlainTextEdit>(shown, QString::number(CTrawlDialog::IDC_MONITOR));
    CTarnMessage message(std::string("$IIHFB,12.5,M"), 16);
    trawl.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
    trawl.SetHexMonitor(true);
    CTarnMessage bytes(std::string("$\n"), 16);
    trawl.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &bytes, nullptr);
    PumpUntil([&] { return text->toPlainText().contains(" 24 0A"); }, std::chrono::seconds(5));
    EXPECT_EQ(text->toPlainText(), "$IIHFB,12.5,M\n 24 0A\n");
}

}  // namespace
