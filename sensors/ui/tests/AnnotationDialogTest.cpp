// The dialog keeps the operator's input within the limits the counter, the
// timer and the annotation text can take.
#include "sensors/ui/AnnotationDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

int argc = 1;
char name[] = "test";
char* argv[] = {name, nullptr};

TEST(AnnotationDialog, LimitsAndRoundTrip)
{
    QApplication qapp(argc, argv);
    CAnnotation::Settings s;
    s.EventNumber = 123456;  // a stored value past the counter
    s.EventIncrease = 0;
    s.Navigation = 1;
    s.NavigationInterval = 7;
    CAnnotationDialog dialog(s);
    auto* text = dialog.findChild<QLineEdit*>("IDC_ANNOTATION_TEXT");
    auto* interval = dialog.findChild<QSpinBox*>("IDC_TIMER_INTERVAL");
    ASSERT_TRUE(text && interval);
    text->setText(QString(100, 'a'));
    interval->setValue(0);
    dialog.findChild<QCheckBox*>("IDC_TIMER_ACTIVE")->setChecked(true);
    const CAnnotation::DialogResult r = dialog.Result();
    EXPECT_EQ(r.text.size(), 80u);
    EXPECT_EQ(r.settings.TimerInterval, 1u);
    EXPECT_EQ(r.settings.Timer, 1u);
    EXPECT_EQ(r.settings.EventNumber, 9999u);
    EXPECT_EQ(r.settings.EventIncrease, 0u);
    EXPECT_EQ(r.settings.Navigation, 1u);
    EXPECT_EQ(r.settings.NavigationInterval, 7u);
}

}  // namespace
