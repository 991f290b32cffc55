// The post-processing output's dialog: what it shows, what OK refuses and
// hands back, the ranges in the depth unit, and the vessel log kept unless
// its field was edited.
#include "outputs/ui/LX750Dialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/DepthUnit.h"
#include "platform/MessageBox.h"
#include "sensors/SpeedSource.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using outputsui::CLX750Dialog;
using shelltest::Control;

namespace {

CLX750::DialogValues Values()
{
    CLX750::DialogValues v;
    v.address = {192, 168, 10, 7};
    v.port = 2020;
    v.distance = 12.345;
    v.echogram = true;
    v.parameter = true;
    v.surfaceCount = 500;
    v.bottomCount = 150;
    v.rangeSurface = 250.0;
    v.rangeSurfaceStart = 0.0;
    v.rangeBottom = 15.0;
    v.rangeBottomStart = 10.0;
    return v;
}

class LX750DialogTest : public ::testing::Test
{
protected:
    LX750DialogTest()
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }
    ~LX750DialogTest() override { CDepthUnit::SetUnit(CDepthUnit::kMeter); }

    // Presses a button that opens a modal dialog; `answer` runs on it once
    // it is up.
    static void PressAndAnswer(QPushButton* button, const std::function<void(QDialog&)>& answer)
    {
        QTimer::singleShot(0, [answer] {
            shelltest::WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                answer(*dialog);
        });
        button->click();
    }
};

TEST_F(LX750DialogTest, ShowsTheValuesItIsGiven)
{
    CLX750Dialog dialog(Values());
    EXPECT_EQ(dialog.windowTitle(), "LX750");
    const int bytes[] = {192, 168, 10, 7};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Control<QLineEdit>(dialog, 1278 + i)->text(), QString::number(bytes[i]));
    EXPECT_EQ(Control<QLineEdit>(dialog, 1286)->text(), "2020");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1291)->text(), "12.3");
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1290)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1293)->isChecked());
    for (int id : {1288, 1289, 1295})
        EXPECT_FALSE(Control<QCheckBox>(dialog, id)->isChecked()) << id;
    EXPECT_EQ(Control<QLineEdit>(dialog, 1301)->text(), "500");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1303)->text(), "150");
    for (int id : {1282, 1283, 1284, 1285, 1287, 1292, 1296, 1299, 1302, 1304})
        Control<QWidget>(dialog, id);
    EXPECT_TRUE(shelltest::Screenshot(dialog, "lx750-dialog"));
}

// Each field past its limit is refused with a message and the dialog stays;
// a value at the limit is taken.
TEST_F(LX750DialogTest, OkRefusesValuesPastTheirLimits)
{
    struct Case
    {
        const char* legend;
        int id;
        const char* refused;
        const char* taken;
    };
    const Case cases[] = {
        {"an address byte above 255", 1280, "256", "255"},         {"a port above 32767", 1286, "32768", "32767"},
        {"a distance above 10000 nm", 1291, "10000.1", "10000.0"}, {"a negative distance", 1291, "-0.1", "0.0"},
        {"more than 500 surface values", 1301, "501", "500"},      {"more than 200 bottom values", 1303, "201", "200"},
        {"a count that is no number", 1303, "many", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        ClearMessageBoxRecord();
        CLX750Dialog dialog(Values());
        Control<QLineEdit>(dialog, c.id)->setText(c.refused);
        Control<QPushButton>(dialog, 1)->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(MessageBoxRecord().size(), 1u);
        Control<QLineEdit>(dialog, c.id)->setText(c.taken);
        Control<QPushButton>(dialog, 1)->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

TEST_F(LX750DialogTest, OkHandsBackWhatWasEdited)
{
    CLX750Dialog dialog(Values());
    Control<QLineEdit>(dialog, 1281)->setText("9");
    Control<QLineEdit>(dialog, 1286)->setText("3000");
    Control<QCheckBox>(dialog, 1289)->setChecked(true);
    Control<QCheckBox>(dialog, 1290)->setChecked(false);
    Control<QLineEdit>(dialog, 1303)->setText("200");
    Control<QPushButton>(dialog, 1)->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const CLX750::DialogValues& v = dialog.Values();
    EXPECT_EQ(v.address, (std::array<int, 4>{192, 168, 10, 9}));
    EXPECT_EQ(v.port, 3000u);
    EXPECT_TRUE(v.vesselLog);
    EXPECT_FALSE(v.echogram);
    EXPECT_EQ(v.bottomCount, 200u);
    // The distance field was left as shown: the log keeps its own value.
    EXPECT_EQ(v.distance, 12.345);

    CLX750Dialog edited(Values());
    Control<QLineEdit>(edited, 1291)->setText("100.5");
    Control<QPushButton>(edited, 1)->click();
    ASSERT_EQ(edited.result(), QDialog::Accepted);
    EXPECT_EQ(edited.Values().distance, 100.5);
}

// The range dialogs show and take the ranges in the depth unit; the dialog
// keeps them in metres. The bottom dialog's second value is range - start.
TEST_F(LX750DialogTest, RangesInTheDepthUnit)
{
    CDepthUnit::SetUnit(CDepthUnit::kFeet);
    CLX750Dialog dialog(Values());
    QString shownRange, shownOffset;
    PressAndAnswer(Control<QPushButton>(dialog, 1299), [&](QDialog& range) {
        shownRange = Control<QLineEdit>(range, 1004)->text();
        shownOffset = Control<QLineEdit>(range, 1003)->text();
        shelltest::Screenshot(range, "lx750-bottom-range");
        Control<QLineEdit>(range, 1004)->setText("100");
        Control<QLineEdit>(range, 1003)->setText("20");
        range.accept();
    });
    EXPECT_EQ(shownRange.toDouble(), std::round(CDepthUnit::FromMeters(15.0)));
    EXPECT_EQ(shownOffset.toDouble(), std::round(CDepthUnit::FromMeters(5.0)));
    PressAndAnswer(Control<QPushButton>(dialog, 1296), [&](QDialog& range) {
        Control<QLineEdit>(range, 1004)->setText("500");
        Control<QLineEdit>(range, 1003)->setText("10");
        range.accept();
    });
    Control<QPushButton>(dialog, 1)->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const CLX750::DialogValues& v = dialog.Values();
    EXPECT_NEAR(v.rangeBottom, CDepthUnit::ToMeters(100.0), 1e-9);
    EXPECT_NEAR(v.rangeBottomStart, CDepthUnit::ToMeters(100.0) - CDepthUnit::ToMeters(20.0), 1e-9);
    EXPECT_NEAR(v.rangeSurface, CDepthUnit::ToMeters(500.0), 1e-9);
    EXPECT_NEAR(v.rangeSurfaceStart, CDepthUnit::ToMeters(10.0), 1e-9);
}

// Cancel leaves the output as it was, the ranges edited in between too.
TEST_F(LX750DialogTest, CancelChangesNothing)
{
    class NoSpeed : public ISpeedSource
    {
    public:
        bool GetSpeedKnots(double&) const override { return false; }
    } speed;
    CLX750 output(nullptr, speed, [] { return false; });
    const CLX750::DialogValues before = output.GetDialogValues();
    QTimer::singleShot(0, [] {
        shelltest::WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        Control<QLineEdit>(*dialog, 1286)->setText("3000");
        Control<QCheckBox>(*dialog, 1288)->setChecked(true);
        Control<QPushButton>(*dialog, 2)->click();
    });
    CLX750Dialog::Run(output, nullptr);
    EXPECT_EQ(output.GetDialogValues(), before);
}

}  // namespace
