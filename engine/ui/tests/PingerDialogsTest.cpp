// Pinger mode's three dialogs offscreen: the set-up's fields and what OK
// refuses, "Syncronize", the synchronisation window's figures and the ready
// window's close.
#include "engine/ui/PingerDialog.h"
#include "engine/ui/PingerReadyDialog.h"
#include "engine/ui/PingerSyncDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "platform/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using shelltest::Control;
using shelltest::Screenshot;

class PingerDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }
};

void Fill(CPingerDialog& d, const char* cable, const char* depth, const char* pulse, const char* period)
{
    Control<QLineEdit>(d, 1004)->setText(cable);
    Control<QLineEdit>(d, 1006)->setText(depth);
    Control<QLineEdit>(d, 1005)->setText(pulse);
    Control<QLineEdit>(d, 1007)->setText(period);
}

}  // namespace

// The set-up starts from the values given; OK refuses what no pinger runs
// with and keeps the dialog open, each row with its box.
TEST_F(PingerDialogsTest, SetUpRefusesWhatNoPingerRunsWith)
{
    SPingerDialogValues v;
    v.period = 1.25;
    v.pulseLength = 2.0;
    CPingerDialog d(v);
    EXPECT_EQ(d.objectName(), "260");
    EXPECT_EQ(d.windowTitle(), "Pinger Mode");
    EXPECT_EQ(Control<QLineEdit>(d, 1007)->text().toDouble(), 1.25);
    EXPECT_EQ(Control<QLineEdit>(d, 1005)->text().toDouble(), 2.0);
    EXPECT_EQ(Control<QLineEdit>(d, 1004)->text().toDouble(), 0.0);
    EXPECT_EQ(Control<QPushButton>(d, CPingerDialog::kSynchroniseId)->text(), "Syncronize");
    Screenshot(d, "pinger-260");

    struct Row
    {
        const char* legend;
        const char* cable;
        const char* depth;
        const char* pulse;
        const char* period;
        const char* box;  // null: a range message of the field
    } rows[] = {
        {"no cable length", "0", "500", "2", "1", CPingerDialog::kInvalidValues},
        {"no depth", "100", "0", "2", "1", CPingerDialog::kInvalidValues},
        {"a cable beyond 300 m", "301", "500", "2", "1", nullptr},
        {"no pulse length", "100", "500", "0", "1", CPingerDialog::kInvalidPulse},
        {"no period", "100", "500", "2", "0", CPingerDialog::kInvalidPulse},
        {"a period that is no number", "100", "500", "2", "nan", CPingerDialog::kInvalidPulse},
    };
    for (const Row& r : rows) {
        ClearMessageBoxRecord();
        Fill(d, r.cable, r.depth, r.pulse, r.period);
        Control<QPushButton>(d, CPingerDialog::kSynchroniseId)->click();
        EXPECT_EQ(d.result(), 0) << r.legend;
        EXPECT_FALSE(d.Values().synchronise) << r.legend << ": the request is cleared";
        const auto boxes = MessageBoxRecord();
        ASSERT_EQ(boxes.size(), 1u) << r.legend;
        if (r.box) {
            EXPECT_EQ(boxes[0].text, r.box) << r.legend;
        }
    }

    Fill(d, "120.5", "480", "1.5", "0.8");
    Control<QPushButton>(d, CPingerDialog::kSynchroniseId)->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(d.Values().synchronise);
    EXPECT_EQ(d.Values().cableLength, 120.5);
    EXPECT_EQ(d.Values().depth, 480.0);
    EXPECT_EQ(d.Values().pulseLength, 1.5);
    EXPECT_EQ(d.Values().period, 0.8);
}

TEST_F(PingerDialogsTest, SyncShowsPingsLeftAndDriftReadyTellsItsClose)
{
    CPingerSyncDialog sync;
    EXPECT_EQ(sync.objectName(), "262");
    EXPECT_EQ(sync.windowTitle(), "Pinger Syncronization Dialog");
    sync.SetProgress(123, -250);
    EXPECT_EQ(Control<QLabel>(sync, 1491)->text(), " 123");
    EXPECT_EQ(Control<QLabel>(sync, 1007)->text(), " -2") << "hundredths shown divided by 100";
    Screenshot(sync, "pinger-262");

    CPingerReadyDialog ready;
    EXPECT_EQ(ready.objectName(), "244");
    EXPECT_EQ(ready.windowTitle(), "Pinger Ready");
    EXPECT_NE(ready.findChild<QLabel*>(), nullptr);
    EXPECT_EQ(ready.findChild<QLabel*>()->text(), CPingerReadyDialog::kText);
    Screenshot(ready, "pinger-244");
    int closed = 0;
    QObject::connect(&ready, &CPingerReadyDialog::closed, [&] { ++closed; });
    ready.show();
    ready.accept();
    EXPECT_EQ(closed, 1);
}
