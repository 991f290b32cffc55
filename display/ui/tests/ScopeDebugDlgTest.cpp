// The scope pane's debug dialog: every control acts at its click, the
// kind group shows "Power" at every opening, the edits open empty and
// refuse limits that are no finite number, and only some toggles re-lay
// the columns.
#include "display/ui/ScopeDebugDlg.h"

#include "app/ui/tests/QtTestSupport.h"

#include <QAbstractButton>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

template <class T = QAbstractButton>
T* Control(CScopeDebugDlg& dialog, int id)
{
    return dialog.findChild<T*>(QString::number(id));
}

}  // namespace

TEST(ScopeDebugDlg, ControlsActAtTheirClick)
{
    shelltest::QtApp();
    CScopeDebugDlg dialog;
    dialog.SetRange(406, 300);
    dialog.DoDataExchange();
    using D = CScopeDebugDlg;
    EXPECT_TRUE(Control(dialog, D::IDC_SCOPE)->isChecked());
    EXPECT_TRUE(Control(dialog, D::IDC_POWER)->isChecked());
    for (int id : {D::IDC_AMPLITUDE, D::IDC_USE_MAXIMUM, D::IDC_USE_MINIMUM})
        EXPECT_TRUE(Control(dialog, id)->isChecked()) << id;
    EXPECT_FALSE(Control(dialog, D::IDC_AD1)->isChecked());
    EXPECT_TRUE(Control<QLineEdit>(dialog, D::IDC_MAXIMUM)->text().isEmpty()) << "open empty, 30.0 in force";
    EXPECT_TRUE(Control<QLineEdit>(dialog, D::IDC_MINIMUM)->text().isEmpty());

    // Sv sets the kind, TS leaves it; the group shows Power again at the
    // next opening.
    Control(dialog, D::IDC_SV)->click();
    EXPECT_EQ(dialog.sampleKind, 1);
    Control(dialog, D::IDC_TS)->click();
    EXPECT_EQ(dialog.sampleKind, 1);
    dialog.DoDataExchange();
    EXPECT_TRUE(Control(dialog, D::IDC_POWER)->isChecked());
    EXPECT_EQ(dialog.sampleKind, 1);

    // The limits take finite numbers only.
    Control<QLineEdit>(dialog, D::IDC_MAXIMUM)->setText("12.5");
    EXPECT_EQ(dialog.maximum, 12.5);
    Control<QLineEdit>(dialog, D::IDC_MAXIMUM)->setText("1e999");
    EXPECT_EQ(dialog.maximum, 12.5);
    Control<QLineEdit>(dialog, D::IDC_MINIMUM)->setText("nan");
    EXPECT_EQ(dialog.minimum, -170.0);
    Control<QLineEdit>(dialog, D::IDC_MINIMUM)->setText("-80");
    EXPECT_EQ(dialog.minimum, -80.0);

    // Modes: Scope after Debug Analog keeps the analog flag, and still wins.
    Control(dialog, D::IDC_DEBUG_ANALOG)->click();
    EXPECT_EQ(dialog.GetMode(), CScopeDebugSettings::Mode::Analog);
    Control(dialog, D::IDC_SCOPE)->click();
    EXPECT_EQ(dialog.analogMode, 1);
    EXPECT_EQ(dialog.GetMode(), CScopeDebugSettings::Mode::Scope);
    Control(dialog, D::IDC_MOTION)->click();
    EXPECT_EQ(dialog.GetMode(), CScopeDebugSettings::Mode::Motion);
    dialog.DoDataExchange();
    EXPECT_TRUE(Control(dialog, D::IDC_MOTION)->isChecked());
    EXPECT_FALSE(Control(dialog, D::IDC_SCOPE)->isChecked());
}

TEST(ScopeDebugDlg, OnlyTheFirstTracesToggleReLaysTheColumns)
{
    shelltest::QtApp();
    CScopeDebugDlg dialog;
    dialog.SetRange(406, 300);
    dialog.DoDataExchange();
    using D = CScopeDebugDlg;
    using S = CScopeDebugSettings;
    const S::Rect amplitude = dialog.columns[S::kAmplitude];
    EXPECT_EQ(amplitude.right - amplitude.left, 400 - 12);
    // The four late wide-band toggles and Test Tone change no rectangle.
    for (int id : {D::IDC_NVU_CURRENT, D::IDC_NVU_PHASE, D::IDC_NVU_IMPEDANCE, D::IDC_NVU_16BIT, D::IDC_TEST_TONE})
        Control(dialog, id)->click();
    EXPECT_EQ(dialog.nvuCurrent + dialog.nvuPhase + dialog.nvuImpedance + dialog.nvu16Bit + dialog.testTone, 5);
    EXPECT_EQ(dialog.columns[S::kNvuCurrent].right, 0);
    EXPECT_EQ(dialog.columns[S::kAmplitude].right, amplitude.right);
    // The next toggle that lays out gives them their places.
    Control(dialog, D::IDC_AD1)->click();
    EXPECT_GT(dialog.columns[S::kNvuCurrent].right, 0);
    EXPECT_LT(dialog.columns[S::kAmplitude].right, amplitude.right);
    EXPECT_EQ(dialog.columns[S::kAd1].bottom, 300 - S::kAdFoot);
}
