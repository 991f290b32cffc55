// The echogram storage dialog: its title by replay, the radio a TVG type
// selects, the boxes of missing channels, the range buttons in the display
// depth unit, and what OK hands back or refuses.
#include "recording/ui/StoreEchogram.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/DepthUnit.h"
#include "display/ui/RangeDialog.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace zv::recording;

using shelltest::Control;

namespace {

const std::array<SStoreDialogValues::SSlot, 4> kSlots = {
    {{true, "T38 38 kHz"}, {true, "T200 200 kHz"}, {false, ""}, {false, ""}}};

SStoreEchogramValues Values(std::uint32_t tvgType, bool replaying)
{
    SStoreSettings s;
    s.tvgType = tvgType;
    s.echogram[0] = s.echogram[2] = 1;
    s.echogramSurfaceCount = 300;
    s.echogramBottomCount = 600;
    return SStoreEchogramValues::From(s, replaying, kSlots);
}

class StoreEchogramTest : public ::testing::Test
{
protected:
    StoreEchogramTest() { shelltest::QtApp(); }
    ~StoreEchogramTest() override { CDepthUnit::SetUnit(CDepthUnit::kMeter); }
};

TEST_F(StoreEchogramTest, OpensWithTheTvgRadioAndOnlyPresentChannels)
{
    struct
    {
        std::uint32_t type;
        int checked;  // id of the checked radio, 0 for none
    } const cases[] = {{0, 1005}, {3, 1006}, {4, 1009}, {1, 0}, {2, 0}};
    for (const auto& c : cases) {
        CStoreEchogram dialog(Values(c.type, false));
        for (int id : {1005, 1006, 1009})
            EXPECT_EQ(Control<QRadioButton>(dialog, id)->isChecked(), id == c.checked) << c.type << " " << id;
    }

    CStoreEchogram dialog(Values(3, false));
    EXPECT_EQ(dialog.windowTitle(), "Echogram Parameters - Normal");
    EXPECT_EQ(CStoreEchogram(Values(3, true)).windowTitle(), "Echogram Parameters - Replay");
    EXPECT_EQ(Control<QCheckBox>(dialog, 1354)->text(), "T38 38 kHz");
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1354)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1355)->isEnabled());
    // The third channel is missing: its box is cleared and cannot be set.
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1356)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1356)->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(dialog, 1301)->text(), "300");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1303)->text(), "600");
    shelltest::Screenshot(dialog, "store-echogram");
}

TEST_F(StoreEchogramTest, OkHandsBackTheEditedValuesAndRefusesOutOfRange)
{
    ClearMessageBoxRecord();
    CStoreEchogram dialog(Values(2, false));
    Control<QCheckBox>(dialog, 1355)->setChecked(true);
    Control<QCheckBox>(dialog, 1354)->setChecked(false);
    Control<QLineEdit>(dialog, 1303)->setText("2001");
    Control<QPushButton>(dialog, 1)->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(MessageBoxRecord().size(), 1u);

    Control<QLineEdit>(dialog, 1303)->setText("2000");
    Control<QLineEdit>(dialog, 1301)->setText("10000");
    Control<QPushButton>(dialog, 1)->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const SStoreEchogramValues& v = dialog.Values();
    EXPECT_EQ(v.echogram, (std::array<bool, 4>{false, true, false, false}));
    EXPECT_EQ(v.surfaceCount, 10000u);
    EXPECT_EQ(v.bottomCount, 2000u);
    EXPECT_EQ(v.tvgIndex, -1);  // 40 log R showed no radio and stays
    SStoreSettings fortyLogR;
    fortyLogR.tvgType = 2;
    EXPECT_EQ(v.Apply(fortyLogR).tvgType, 2u);

    CStoreEchogram chosen(Values(2, false));
    Control<QRadioButton>(chosen, 1009)->setChecked(true);
    Control<QPushButton>(chosen, 1)->click();
    EXPECT_EQ(chosen.Values().tvgIndex, 2);
}

// The range buttons show metres in the display unit and take them back; the
// bottom dialog's second value is how far the range reaches past its start.
TEST_F(StoreEchogramTest, RangeButtonsConvertTheDisplayUnit)
{
    CDepthUnit::SetUnit(CDepthUnit::kFeet);
    SStoreEchogramValues values = Values(3, false);
    values.rangeBottom = 30.48;        // 100 ft
    values.rangeBottomStart = 27.432;  // 10 ft from the range
    CStoreEchogram dialog(values);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* range = qobject_cast<CRangeDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(range, nullptr);
        EXPECT_NEAR(range->Edit(0)->text().toDouble(), 100.0, 0.01);
        EXPECT_NEAR(range->Edit(1)->text().toDouble(), 10.0, 0.01);
        range->Edit(0)->setText("50");
        range->Edit(1)->setText("20");
        seen = true;
        range->accept();
    });
    Control<QPushButton>(dialog, 1299)->click();
    ASSERT_TRUE(seen);
    EXPECT_NEAR(dialog.Values().rangeBottom, 15.24, 1e-6);
    EXPECT_NEAR(dialog.Values().rangeBottomStart, 15.24 - 6.096, 1e-6);
}

}  // namespace
