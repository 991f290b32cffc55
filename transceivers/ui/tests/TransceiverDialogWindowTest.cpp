// The transceiver dialogs as windows: which controls each form offers, the
// texts its sliders show, the FM rule, and what OK hands back.
#include "testsupport/ui/QtTestApp.h"
#include "transceivers/ui/AdvancedTransceiverDialog.h"
#include "transceivers/ui/TransceiverDialog.h"
#include "transceivers/ui/TransceiverDialogGeo.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

using zv::test::ControlByName;
using zv::test::QtTestApp;

// A picture of the dialog under /tmp for a person to look at.
void Picture(QWidget& dialog, const char* name)
{
    dialog.grab().save(QDir::temp().filePath(QString("zv-transceivers-%1.png").arg(name)));
}

QString Text(QWidget& dialog, const char* name)
{
    QLabel* label = ControlByName<QLabel>(dialog, name);
    return label ? label->text() : QString();
}

TransceiverDialogValues Values(int templateId, double frequency)
{
    TransceiverDialogValues v;
    v.templateId = templateId;
    v.frequency = frequency;
    const double pulses[5] = {0.000256, 0.000512, 0.001024, 0.001024, 0.001024};
    std::copy(std::begin(pulses), std::end(pulses), v.pulseLengths);
    for (int i = 0; i < 10; ++i)
        v.powerSteps[i] = 100.0 * (i + 1) + 0.25;
    v.pulseLength = 0.000512;
    v.power = 400.25;
    v.channelName = "T38 38 kHz";
    v.description = "A transducer type longer than twenty";
    v.label = "Hull";
    v.tide = -0.5;
    return v;
}

}  // namespace

// FM is offered at 38 and 15 kHz, or where it is chosen already; the form of
// the models without wide-band units has no FM at all.
TEST(TransceiverDialogWindow, FmIsOfferedOnlyWhereTheChannelCanSendIt)
{
    QtTestApp();
    struct Row
    {
        const char* legend;
        double frequency;
        bool fmChosen;
        bool offered;
    };
    const Row rows[] = {
        {"38 kHz", 38000.0, false, true},
        {"15 kHz", 15000.0, false, true},
        {"50 kHz", 50000.0, false, false},
        {"50 kHz with FM chosen", 50000.0, true, true},
    };
    for (const Row& r : rows) {
        TransceiverDialogValues v = Values(TransceiverDialogValues::kTemplateWideBand, r.frequency);
        v.fmPulse = r.fmChosen ? 1 : 0;
        v.fmPulseLength = 4 * v.pulseLength;
        CTransceiverDialog dialog(v);
        QRadioButton* fm = ControlByName<QRadioButton>(dialog, "IDC_FM");
        ASSERT_NE(fm, nullptr);
        EXPECT_EQ(fm->isEnabled(), r.offered) << r.legend;
        EXPECT_EQ(ControlByName<QCheckBox>(dialog, "IDC_FM_PULSE")->isEnabled(), r.offered) << r.legend;
        EXPECT_EQ(ControlByName<QSlider>(dialog, "IDC_RESOLUTION")->isEnabled(), r.offered) << r.legend;
        EXPECT_EQ(dialog.Values().fmPulse, r.fmChosen ? 1 : 0) << r.legend;
    }
    CTransceiverDialog narrow(Values(TransceiverDialogValues::kTemplate, 38000.0));
    EXPECT_EQ(narrow.findChild<QRadioButton*>("IDC_FM"), nullptr);
    EXPECT_EQ(narrow.findChild<QCheckBox*>("IDC_FM_PULSE"), nullptr);
    EXPECT_EQ(narrow.findChild<QCheckBox*>("IDC_DOUBLE_SAMPLE_RATE"), nullptr);
}

TEST(TransceiverDialogWindow, SlidersShowTheirValuesInTheirFormats)
{
    QtTestApp();
    CTransceiverDialog dialog(Values(TransceiverDialogValues::kTemplateWideBand, 38000.0));
    QSlider* power = ControlByName<QSlider>(dialog, "IDC_POWER");
    QSlider* pulse = ControlByName<QSlider>(dialog, "IDC_PULSE_LENGTH");
    QSlider* resolution = ControlByName<QSlider>(dialog, "IDC_RESOLUTION");
    ASSERT_TRUE(power && pulse && resolution);
    EXPECT_EQ(power->value(), 3);
    EXPECT_EQ(Text(dialog, "IDC_POWER_TEXT"), "400.2");
    EXPECT_EQ(pulse->maximum(), 2) << "three pulse lengths before the repeats";
    EXPECT_EQ(Text(dialog, "IDC_PULSE_LENGTH_TEXT"), "0.512");
    EXPECT_EQ(ControlByName<QLineEdit>(dialog, "IDC_TRANSDUCER_TYPE")->text(), "A transducer type lo");
    EXPECT_EQ(ControlByName<QLineEdit>(dialog, "IDC_LABEL")->maxLength(), 15);
    EXPECT_EQ(ControlByName<QLineEdit>(dialog, "IDC_TIDE")->text(), "-0.50");
    EXPECT_TRUE(ControlByName<QLineEdit>(dialog, "IDC_TIDE")->isReadOnly());

    // CW: a quarter, a half or the whole pulse of 0.512 ms (9.6 cm).
    EXPECT_EQ(resolution->maximum(), 2);
    const char* cw[] = {"2.4", "4.8", "9.6"};
    for (int p = 0; p < 3; ++p) {
        resolution->setValue(p);
        EXPECT_EQ(Text(dialog, "IDC_RESOLUTION_TEXT"), cw[p]) << p;
    }
    // FM: 2 to 32 pulse lengths, shown as the pulse length; the resolution
    // of the first pulse length (4.8 cm) times 1 to 16.
    ControlByName<QRadioButton>(dialog, "IDC_FM")->setChecked(true);
    EXPECT_TRUE(ControlByName<QCheckBox>(dialog, "IDC_FM_PULSE")->isChecked());
    EXPECT_EQ(resolution->maximum(), 4);
    resolution->setValue(2);
    EXPECT_EQ(Text(dialog, "IDC_PULSE_LENGTH_TEXT"), "4.096");
    EXPECT_EQ(Text(dialog, "IDC_RESOLUTION_TEXT"), "19.2");
    power->setValue(9);
    EXPECT_EQ(Text(dialog, "IDC_POWER_TEXT"), "1000.2");

    Picture(dialog, "settings-wide-band");
    const TransceiverDialogValues v = dialog.Values();
    EXPECT_EQ(v.fmPulse, 1);
    EXPECT_DOUBLE_EQ(v.fmPulseLength, 0.004096);
    EXPECT_DOUBLE_EQ(v.fmResolutionLength, 19.2);
    EXPECT_DOUBLE_EQ(v.power, 1000.25);
    EXPECT_DOUBLE_EQ(v.pulseLength, 0.000512) << "the pulse length itself stays";
}

TEST(TransceiverDialogWindow, OkHandsBackWhatWasChosen)
{
    QtTestApp();
    TransceiverDialogValues values = Values(TransceiverDialogValues::kTemplate, 50000.0);
    values.testModeAllowed = false;
    int advancedRuns = 0;
    values.advanced = [&advancedRuns] { ++advancedRuns; };
    values.remark = "first file";
    CTransceiverDialog dialog(values);
    EXPECT_FALSE(ControlByName<QRadioButton>(dialog, "IDC_MODE_Test")->isEnabled());
    EXPECT_TRUE(ControlByName<QRadioButton>(dialog, "IDC_MODE_Active")->isChecked());
    ControlByName<QRadioButton>(dialog, "IDC_MODE_Passive")->setChecked(true);
    ControlByName<QSlider>(dialog, "IDC_PULSE_LENGTH")->setValue(0);
    ControlByName<QLineEdit>(dialog, "IDC_DRAUGHT")->setText("2.75");
    ControlByName<QLineEdit>(dialog, "IDC_Y")->setText("-1");
    ControlByName<QLineEdit>(dialog, "IDC_LABEL")->setText("Keel");
    ControlByName<QLineEdit>(dialog, "IDC_REMARK")->setText("second file");
    ControlByName<QPushButton>(dialog, "IDC_ADVANCED")->click();
    EXPECT_EQ(advancedRuns, 1);
    const TransceiverDialogValues v = dialog.Values();
    EXPECT_EQ(v.mode, 1);
    EXPECT_DOUBLE_EQ(v.pulseLength, 0.000256);
    EXPECT_DOUBLE_EQ(v.power, 400.25);
    EXPECT_DOUBLE_EQ(v.draught, 2.75);
    EXPECT_DOUBLE_EQ(v.y, -1.0);
    EXPECT_EQ(v.label, "Keel");
    EXPECT_EQ(v.remark, "second file");
}

TEST(TransceiverDialogWindow, GeoAndAdvancedForms)
{
    QtTestApp();
    GeoTransceiverDialogValues geo;
    const double intervals[5] = {0.000016, 0.000032, 0.000064, 0.000064, 0.000064};
    std::copy(std::begin(intervals), std::end(intervals), geo.sampleIntervals);
    geo.sampleInterval = 0.000032;
    geo.roll = 2.5;
    CTransceiverDialogGeo geoDialog(geo);
    QSlider* interval = ControlByName<QSlider>(geoDialog, "IDC_SAMPLE_INTERVAL");
    ASSERT_NE(interval, nullptr);
    EXPECT_EQ(interval->maximum(), 2);
    EXPECT_EQ(Text(geoDialog, "IDC_SAMPLE_INTERVAL_TEXT"), "32");
    interval->setValue(2);
    EXPECT_EQ(Text(geoDialog, "IDC_SAMPLE_INTERVAL_TEXT"), "64");
    ControlByName<QLineEdit>(geoDialog, "IDC_AZIMUTH")->setText("180.5");
    Picture(geoDialog, "settings-geo");
    const GeoTransceiverDialogValues g = geoDialog.Values();
    EXPECT_DOUBLE_EQ(g.sampleInterval, 0.000064);
    EXPECT_DOUBLE_EQ(g.azimuth, 180.5);
    EXPECT_DOUBLE_EQ(g.roll, 2.5);

    AdvancedTransceiverDialogValues advanced;
    for (int i = 0; i < AdvancedTransceiverDialogValues::kCount; ++i)
        advanced.texts[static_cast<std::size_t>(i)] = "v" + std::to_string(i);
    CAdvancedTransceiverDialog dialog(advanced);
    EXPECT_EQ(dialog.windowTitle(), "Advanced Transceiver");
    for (int id = 1060; id <= 1073; ++id) {
        auto* field = dialog.findChild<QLineEdit*>(QString::number(id));
        ASSERT_NE(field, nullptr) << id;
        EXPECT_TRUE(field->isReadOnly());
        EXPECT_EQ(field->text().toStdString(), "v" + std::to_string(id - 1060));
    }
}
