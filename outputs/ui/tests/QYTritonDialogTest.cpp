// The raw-data output's dialog: what it shows, the limits OK keeps, and what
// OK and Cancel do to the output.
#include "outputs/ui/QYTritonDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using outputsui::CQYTritonDialog;
using shelltest::Control;

namespace {

class CountingRecorder : public IRawDataRecorder
{
public:
    void WriteConfiguration() override { ++requests; }
    int requests = 0;
};

class QYTritonDialogTest : public ::testing::Test
{
protected:
    QYTritonDialogTest()
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }

    // Runs the dialog on the output; `answer` edits it and ends it.
    void Run(const std::function<void(QDialog&)>& answer)
    {
        QTimer::singleShot(0, [answer] {
            shelltest::WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                answer(*dialog);
        });
        CQYTritonDialog::Run(output, nullptr);
    }

    CountingRecorder recorder;
    CQYTriton output{nullptr, recorder};
};

TEST_F(QYTritonDialogTest, ShowsTheDestinationAndTheSwitch)
{
    CQYTritonDialog dialog(output.GetDialogValues());
    EXPECT_EQ(dialog.windowTitle(), "Raw Data Interface");
    const int bytes[] = {127, 0, 0, 1};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Control<QLineEdit>(dialog, 1278 + i)->text(), QString::number(bytes[i]));
    EXPECT_EQ(Control<QLineEdit>(dialog, 1286)->text(), "4711");
    EXPECT_EQ(Control<QCheckBox>(dialog, 1374)->text(), "Output Enabled");
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1374)->isChecked());
    for (int id : {1282, 1283, 1284, 1285, 1287})
        Control<QWidget>(dialog, id);
    EXPECT_TRUE(shelltest::Screenshot(dialog, "raw-data-dialog"));
}

// A port above 32767 cannot be entered, nor an address byte above 255.
TEST_F(QYTritonDialogTest, OkRefusesAPortOrByteBeyondItsLimit)
{
    struct Case
    {
        int id;
        const char* refused;
        const char* taken;
    };
    for (const Case& c : {Case{1286, "32768", "32767"}, Case{1281, "256", "0"}, Case{1278, "-1", "10"}}) {
        SCOPED_TRACE(c.id);
        ClearMessageBoxRecord();
        CQYTritonDialog dialog(output.GetDialogValues());
        Control<QLineEdit>(dialog, c.id)->setText(c.refused);
        Control<QPushButton>(dialog, 1)->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(MessageBoxRecord().size(), 1u);
        Control<QLineEdit>(dialog, c.id)->setText(c.taken);
        Control<QPushButton>(dialog, 1)->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

// OK with "Output Enabled" asks for a configuration at once and starts the
// timer; Cancel changes nothing.
TEST_F(QYTritonDialogTest, OkSwitchesOnCancelChangesNothing)
{
    Run([](QDialog& d) {
        Control<QLineEdit>(d, 1286)->setText("5000");
        Control<QCheckBox>(d, 1374)->setChecked(true);
        Control<QPushButton>(d, 2)->click();
    });
    EXPECT_EQ(output.GetSettings().DestPort, 4711u);
    EXPECT_FALSE(output.IsEnabled());
    EXPECT_EQ(recorder.requests, 0);

    Run([](QDialog& d) {
        Control<QLineEdit>(d, 1281)->setText("2");
        Control<QLineEdit>(d, 1286)->setText("5000");
        Control<QCheckBox>(d, 1374)->setChecked(true);
        Control<QPushButton>(d, 1)->click();
    });
    EXPECT_EQ(output.GetSettings().DestAddr, "127.0.0.2");
    EXPECT_EQ(output.GetSettings().DestPort, 5000u);
    EXPECT_TRUE(output.IsEnabled());
    EXPECT_TRUE(output.IsTimerRunning());
    EXPECT_EQ(recorder.requests, 1);
}

}  // namespace
