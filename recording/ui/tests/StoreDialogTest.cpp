// The recording settings dialog: what it shows of the values it is given,
// what its slider and boxes hand back on OK, and what it refuses.
#include "recording/ui/StoreDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

using namespace zv::recording;

using shelltest::Control;

namespace {

SStoreDialogValues Values(unsigned maxMb, bool locked)
{
    SStoreSettings s;
    s.maxFileSize = maxMb * 1048576u;
    s.out[2] = 1;
    s.tvgType = 1;  // no radio stands for it
    return SStoreDialogValues::From(s, locked, 12.5, {{{true, "38 kHz"}, {true, "200 kHz"}, {false, ""}, {false, ""}}});
}

class StoreDialogTest : public ::testing::Test
{
protected:
    StoreDialogTest() { shelltest::QtApp(); }
};

TEST_F(StoreDialogTest, OpensWithTheSliderNearestTheSizeAndOnlyPresentChannels)
{
    struct
    {
        unsigned mb;
        int position;
    } const cases[] = {{95, 7}, {600, 9}, {800, 10}};
    for (const auto& c : cases) {
        CStoreDialog dialog(Values(c.mb, false));
        EXPECT_EQ(Control<QSlider>(dialog, 1159)->value(), c.position) << c.mb;
        EXPECT_EQ(Control<QLineEdit>(dialog, 1160)->text(), QString::number(c.mb));
    }
    CStoreDialog dialog(Values(95, false));
    EXPECT_EQ(Control<QCheckBox>(dialog, 1359)->text(), "200 kHz");
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1359)->isEnabled());
    // The third channel does not exist: its out box is cleared and disabled.
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1360)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1360)->isEnabled());
    EXPECT_FALSE(Control<QRadioButton>(dialog, 1038)->isEnabled());
    for (int id : {1005, 1006, 1009, 1010})
        EXPECT_FALSE(Control<QRadioButton>(dialog, id)->isChecked()) << id;
    EXPECT_TRUE(Control<QLineEdit>(dialog, 1163)->isEnabled());

    // While logging (or replaying) the file settings cannot be changed.
    CStoreDialog locked(Values(95, true));
    for (int id : {1151, 1153, 1157, 1159, 1160, 1163, 1164, 1314, 1315})
        EXPECT_FALSE(Control<QWidget>(locked, id)->isEnabled()) << id;
    EXPECT_TRUE(Control<QCheckBox>(locked, 1358)->isEnabled());
}

TEST_F(StoreDialogTest, OkHandsBackTheEditedValuesAndRefusesOutOfRange)
{
    ClearMessageBoxRecord();
    CStoreDialog dialog(Values(95, false));
    Control<QSlider>(dialog, 1159)->setValue(4);
    EXPECT_EQ(Control<QLineEdit>(dialog, 1160)->text(), "10");
    Control<QCheckBox>(dialog, 1151)->setChecked(true);
    Control<QCheckBox>(dialog, 1358)->setChecked(true);
    Control<QRadioButton>(dialog, 1009)->setChecked(true);
    Control<QRadioButton>(dialog, 1037)->setChecked(true);
    Control<QLineEdit>(dialog, 1163)->setText("/survey/data");

    Control<QLineEdit>(dialog, 1157)->setText("10000");
    Control<QPushButton>(dialog, 1)->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(MessageBoxRecord().size(), 1u);

    Control<QLineEdit>(dialog, 1157)->setText("17");
    Control<QPushButton>(dialog, 1)->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const SStoreSettings s = dialog.Values().Result();
    EXPECT_EQ(s.saveRawData, 1u);
    EXPECT_EQ(s.lineNumber, 17u);
    EXPECT_EQ(s.maxFileSize, 10u * 1048576u);
    EXPECT_EQ(s.filePath, "/survey/data");
    EXPECT_EQ(s.out[0], 1u);
    EXPECT_EQ(s.out[2], 0u);
    EXPECT_EQ(s.saveOutData, 1u);
    EXPECT_EQ(s.tvgType, 4u);
    EXPECT_EQ(s.nmeaChannel, 1u);
}

}  // namespace
