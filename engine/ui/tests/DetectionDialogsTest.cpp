// The detection dialogs offscreen: their controls, ranges, the check made
// on OK, and the values they hand back to the core objects.
#include "engine/ui/DetectionDialogs.h"
#include "engine/ui/BottomDetectorDialog.h"
#include "engine/ui/FishDialog.h"
#include "engine/ui/SlopeDialog.h"
#include "engine/ui/TSDetectionDialog.h"

#include "base/DepthUnit.h"
#include "platform/MessageBox.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using zv::test::ControlByName;
using zv::test::QtTestApp;

// The Qt dialogs with the notice of a confirmed bottom detector dialog
// counted instead of posted to a main window.
struct CountingDialogs : engineui::CDetectionDialogs
{
    int changes = 0;
    void BottomDetectorChanged() override { ++changes; }
};

class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QtTestApp();
        ClearMessageBoxRecord();
        CDepthUnit::SetUnit(CDepthUnit::kMeter);
    }
};

TEST_F(DialogTest, BottomDetectorDialogRangesAndValues)
{
    CBottomDetector::DialogValues v;
    v.MinimumDepth = 2.0;
    v.MaximumDepth = 300.0;
    v.BackstepLevel = -50.0;
    v.ReferenceChoices = {"T120", "T200"};
    v.Reference = "T200";
    CBottomDetectorDialog dialog(v);
    EXPECT_EQ(dialog.windowTitle(), "Bottom Detector");
    auto* maxEdit = ControlByName<QLineEdit>(dialog, "IDC_MAX_DEPTH");
    auto* maxSlider = ControlByName<QSlider>(dialog, "IDC_MAX_DEPTH_SLIDER");
    ASSERT_TRUE(maxEdit && maxSlider);
    EXPECT_EQ(maxEdit->text(), "300");
    EXPECT_EQ(maxSlider->maximum(), static_cast<int>(CBottomDetectorDialog::LargestDepth()));
    maxSlider->setValue(450);
    EXPECT_EQ(maxEdit->text(), "450") << "the slider writes its edit field";
    auto* reference = ControlByName<QComboBox>(dialog, "IDC_REFERENCE");
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->count(), 2);
    EXPECT_EQ(reference->currentText(), "T200");

    // Out-of-range values are refused with a message, one field at a time.
    struct Row
    {
        const char* field;
        const char* bad;
        const char* good;
        const char* message;
    };
    const Row rows[] = {
        {"IDC_BACKSTEP", "-80.5", "-60", "Please enter a number between -80.0 and 0.0."},
        {"IDC_GAIN", "5.01", "2.5", "Please enter a number between 0.0 and 5.0."},
        {"IDC_MIN_DEPTH", "-1", "3", "Please enter a number between 0.0 and "},
        {"IDC_MIN_DEPTH", "451", "3", "Please enter a number between 0.0 and 450.0."},  // above the maximum
        {"IDC_MAX_ALARM_DEPTH", "abc", "120", "Please enter a number."},
    };
    for (const Row& r : rows) {
        auto* edit = ControlByName<QLineEdit>(dialog, r.field);
        ASSERT_TRUE(edit);
        edit->setText(r.bad);
        ClearMessageBoxRecord();
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << r.field;
        ASSERT_EQ(MessageBoxRecord().size(), 1u) << r.field;
        EXPECT_EQ(MessageBoxRecord()[0].text.rfind(r.message, 0), 0u) << MessageBoxRecord()[0].text;
        edit->setText(r.good);
    }
    ControlByName<QCheckBox>(dialog, "IDC_SECOND_LAYER")->setChecked(true);
    ControlByName<QCheckBox>(dialog, "IDC_MIN_ALARM")->setChecked(true);
    ClearMessageBoxRecord();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(MessageBoxRecord().empty());
    const auto& out = dialog.Values();
    EXPECT_EQ(out.MaximumDepth, 450.0);
    EXPECT_EQ(out.MinimumDepth, 3.0);
    EXPECT_EQ(out.BackstepLevel, -60.0);
    EXPECT_EQ(out.Gain, 2.5);
    EXPECT_EQ(out.MaximumAlarmDepth, 120.0);
    EXPECT_TRUE(out.SecondLayer);
    EXPECT_TRUE(out.MinimumDepthAlarm);
    EXPECT_EQ(out.Reference, "T200");
}

TEST_F(DialogTest, BottomDetectorDialogShowsFeetAndReturnsMetres)
{
    CDepthUnit::SetUnit(CDepthUnit::kFeet);
    CBottomDetector::DialogValues v;
    v.MaximumDepth = 30.48;  // 100 ft
    CBottomDetectorDialog dialog(v);
    auto* edit = ControlByName<QLineEdit>(dialog, "IDC_MAX_DEPTH");
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), "100");
    EXPECT_EQ(ControlByName<QLabel>(dialog, "IDC_MAX_DEPTH_UNIT")->text().toStdString(), CDepthUnit::GetUnitSymbol());
    edit->setText("200");
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_NEAR(dialog.Values().MaximumDepth, 60.96, 1e-6);
    CDepthUnit::SetUnit(CDepthUnit::kMeter);
}

TEST_F(DialogTest, DialogsOfTheDetectorChangeIt)
{
    CountingDialogs dialogs;
    CBottomDetector::Construction c;
    c.UseSettingsFolder = false;
    c.Dialogs = &dialogs;
    c.ExternalDepth = [](int index, std::string& name, double& depth) {
        static const char* names[] = {"Replay T38", "", "T120", nullptr};
        if (index > 2)
            return false;
        name = names[index];
        depth = 0.0;
        return true;
    };
    c.SourceName = "T38";
    CBottomDetector det(c);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CBottomDetectorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* reference = dialog->findChild<QComboBox*>("IDC_REFERENCE");
        // Its own channel (after "Replay " is removed) and empty names are left out.
        EXPECT_EQ(reference->count(), 1);
        dialog->findChild<QLineEdit*>("IDC_BACKSTEP")->setText("-33");
        dialog->findChild<QCheckBox*>("IDC_ALTERNATIVE")->setChecked(true);
        dialog->accept();
    });
    bool lost = false, minAlarm = false, maxAlarm = true;
    double minDepth = 1.0, maxDepth = 200.0;
    EXPECT_TRUE(det.RunDialog(lost, minAlarm, maxAlarm, minDepth, maxDepth));
    EXPECT_EQ(det.GetBackstepLevel(), -33.0);
    EXPECT_TRUE(det.IsAlternativeDetectorOn());
    EXPECT_TRUE(maxAlarm);
    EXPECT_EQ(dialogs.changes, 1);
    c.Dialogs = nullptr;
    CBottomDetector bare(c);
    EXPECT_FALSE(bare.RunDialog(lost, minAlarm, maxAlarm, minDepth, maxDepth)) << "no dialog to show";
}

// The nested loop of a running dialog may tear down the frame and delete
// the dialog's owner: the dialog, parentless, outlives the frame, and the
// owner's destructor ends it with -1 so that nothing is written back.
TEST_F(DialogTest, OwnerDeletedWhileItsDialogRunsEndsIt)
{
    CountingDialogs dialogs;
    CBottomDetector::Construction c;
    c.UseSettingsFolder = false;
    c.Dialogs = &dialogs;
    auto* detector = new CBottomDetector(c);
    auto* slope = new CSlope(&dialogs);
    auto check = [](const std::function<void()>& deleteOwner, const std::function<bool()>& run) {
        auto* frame = new QWidget;
        frame->show();
        QApplication::setActiveWindow(frame);
        bool ended = false;
        QTimer::singleShot(0, [&] {
            QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_FALSE(dialog.isNull());
            EXPECT_EQ(dialog->parentWidget(), nullptr);
            delete frame;
            ASSERT_FALSE(dialog.isNull()) << "the frame took the dialog with it";
            // Confirmed by the user just before the owner went.
            dialog->setResult(QDialog::Accepted);
            deleteOwner();
            ended = !dialog->isVisible() && dialog->result() == -1;
            if (!ended)
                dialog->accept();
        });
        EXPECT_TRUE(run());
        EXPECT_TRUE(ended);
    };
    check([&] { delete detector; },
          [&] {
              bool lost = false, minAlarm = false, maxAlarm = false;
              double minDepth = 1.0, maxDepth = 200.0;
              return detector->RunDialog(lost, minAlarm, maxAlarm, minDepth, maxDepth);
          });
    check([&] { delete slope; }, [&] { return slope->EditSettings(); });
    EXPECT_EQ(dialogs.changes, 0);
}

TEST_F(DialogTest, SlopeDialogFilterSizeAndSwitch)
{
    CSlope::DialogValues v;
    v.HistoryOn = false;
    v.FilterSize = 12;
    CSlopeDialog dialog(v);
    EXPECT_EQ(dialog.windowTitle(), "Slope Settings");
    auto* size = ControlByName<QSpinBox>(dialog, "IDC_FILTER_SIZE");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->minimum(), 2);
    EXPECT_EQ(size->maximum(), CSlope::kMaxPoints);
    EXPECT_TRUE(ControlByName<QRadioButton>(dialog, "IDC_SLOPE_OFF")->isChecked());
    size->setValue(500);
    ControlByName<QRadioButton>(dialog, "IDC_SLOPE_ON")->setChecked(true);
    EXPECT_EQ(dialog.Values().FilterSize, CSlope::kMaxPoints);
    EXPECT_TRUE(dialog.Values().HistoryOn);

    // Through the slope tracker: "Off" frees the history.
    engineui::CDetectionDialogs dialogs;
    CSlope slope(&dialogs);
    slope.SetHistoryOn(true);
    slope.SetHistorySize(10);
    slope.AddPoint(20.0, 1.0, 1);
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<CSlopeDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->findChild<QRadioButton*>("IDC_SLOPE_OFF")->setChecked(true);
        d->findChild<QSpinBox*>("IDC_FILTER_SIZE")->setValue(20);
        d->accept();
    });
    EXPECT_TRUE(slope.EditSettings());
    EXPECT_FALSE(slope.IsEnabled());
    EXPECT_EQ(slope.GetHistoryCount(), 0);
    EXPECT_EQ(slope.GetPointCapacity(), 20);
}

TEST_F(DialogTest, TSDetectionDialogChecksEachRange)
{
    CTSDetection::Settings s;
    CTSDetectionDialog dialog(s);
    for (const auto& f : CTSDetectionDialog::kFields) {
        auto* edit = ControlByName<QLineEdit>(dialog, f.Name);
        ASSERT_TRUE(edit);
        edit->setText(QString::number(f.Maximum + 0.5));
        ClearMessageBoxRecord();
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << f.Name;
        EXPECT_EQ(MessageBoxRecord().size(), 1u) << f.Name;
        edit->setText(QString::number(f.Maximum));
    }
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Settings().MinEchoLength, 5.0);
    EXPECT_EQ(dialog.Settings().MaxPhaseDeviation, 10.0);
}

TEST_F(DialogTest, FishDialogSlidersStoreAtOnce)
{
    CFish::DialogValues v;
    v.Type = CFish::Whitefish;
    v.Offsets = {0.0, 2.7, -12.0, 0.0};
    CFishDialog dialog(v);
    EXPECT_EQ(dialog.windowTitle(), "Fish Select Dialog");
    EXPECT_EQ(dialog.objectName(), "dialog_221");
    auto* herring = ControlByName<QSlider>(dialog, "IDC_OFFSET_1");
    auto* anchovy = ControlByName<QSlider>(dialog, "IDC_OFFSET_2");
    ASSERT_TRUE(herring && anchovy);
    EXPECT_EQ(herring->minimum(), -10);
    EXPECT_EQ(herring->maximum(), 10);
    EXPECT_EQ(herring->value(), 2) << "a fraction is cut";
    EXPECT_EQ(anchovy->value(), -10);
    herring->setValue(6);
    EXPECT_EQ(dialog.Values().Offsets[1], 6.0) << "stored when moved, before OK";
    ControlByName<QRadioButton>(dialog, "IDC_SPECIES_1")->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.Values().Type, CFish::Herring);
}

}  // namespace
