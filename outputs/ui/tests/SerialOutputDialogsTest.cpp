// The dialogs of the two serial outputs: "Lobe Interface" (215), whose
// monitor fills with the received lines only while it is open, and "Remote
// Display" (235), whose channel buttons carry the sounder's channel names.
#include "outputs/ui/LobeDialog.h"
#include "outputs/ui/RemoteDisplayDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

using shelltest::Control;

namespace {

constexpr std::uint64_t kTime = 134'100'194'452'500'000ULL;

class SerialOutputDialogs : public ::testing::Test
{
protected:
    SerialOutputDialogs() { shelltest::QtApp(); }
};

TEST_F(SerialOutputDialogs, LobeMonitorShowsTheLinesWhileOpen)
{
    CLobe lobe(CLobe::Links{});
    lobe.TakeLine("/TEST MENU/Version", kTime);
    {
        outputsui::CLobeDialog dialog(lobe);
        EXPECT_EQ(dialog.windowTitle(), "Lobe Interface");
        QPlainTextEdit* monitor = dialog.Monitor();
        EXPECT_TRUE(monitor->isReadOnly());
        EXPECT_EQ(monitor->toPlainText(), "") << "a line from before the dialog is not shown";
        for (int i = 1; i <= 12; ++i)
            lobe.TakeLine("/TRANSCEIVER/Transceiver-1 Menu/Pulse Length " + std::to_string(i), kTime);
        lobe.TakeLine("/SER/Telegram/Echo-Trace=1", kTime);
        // The dialog refreshes on its own.
        ASSERT_TRUE(shelltest::WaitFor([&] { return monitor->toPlainText().contains("Echo-Trace=1"); }, 10000));
        dialog.show();
        QApplication::processEvents();
        EXPECT_EQ(monitor->verticalScrollBar()->value(), monitor->verticalScrollBar()->maximum())
            << "the last lines in sight";
        EXPECT_TRUE(shelltest::Screenshot(dialog, "lobe-interface-dialog"));

        // The switch of the group "Telegram output" is the link's.
        auto* echoTrace = dialog.findChild<QCheckBox*>("echoTrace");
        ASSERT_NE(echoTrace, nullptr);
        EXPECT_EQ(echoTrace->text(), "Echo Trace");
        EXPECT_FALSE(echoTrace->isChecked());
        echoTrace->click();
        EXPECT_TRUE(lobe.IsEchoTraceOn());
        echoTrace->click();
        EXPECT_FALSE(lobe.IsEchoTraceOn());

        auto* clear = dialog.findChild<QPushButton*>("clear");
        ASSERT_NE(clear, nullptr);
        clear->click();
        EXPECT_EQ(lobe.GetMonitorText(), "");
        EXPECT_EQ(monitor->toPlainText(), "");
        auto* rs232 = dialog.findChild<QPushButton*>("rs232");
        ASSERT_NE(rs232, nullptr);
        EXPECT_EQ(rs232->text(), "RS232...");
    }
    // Closed: lines are no longer kept.
    lobe.TakeLine("/TEST MENU/Version", kTime);
    EXPECT_EQ(lobe.GetMonitorText(), "");
}

const outputsui::CRemoteDisplayDialog::Channels kTwoChannels = {{
    {"T38 38 kHz", true},
    {"T120 120 kHz", true},
    {"", false},
    {"", false},
}};

TEST_F(SerialOutputDialogs, RemoteDisplayDialogFollowsTheChannels)
{
    CRDDialog display([] { return false; });
    outputsui::CRemoteDisplayDialog dialog(display, {1, CRDDialog::kNMEA, 1}, kTwoChannels);
    EXPECT_EQ(dialog.windowTitle(), "Remote Display");
    EXPECT_EQ(Control<QRadioButton>(dialog, 1353)->text(), "RD 1 Format");
    EXPECT_EQ(Control<QRadioButton>(dialog, 1354)->text(), "NMEA Format");
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1354)->isChecked());
    EXPECT_EQ(Control<QRadioButton>(dialog, 1356)->text(), "T38 38 kHz");
    EXPECT_EQ(Control<QRadioButton>(dialog, 1357)->text(), "T120 120 kHz");
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1357)->isChecked());
    for (int id : {1356, 1357})
        EXPECT_TRUE(Control<QRadioButton>(dialog, id)->isEnabled()) << id;
    for (int id : {1358, 1359}) {
        EXPECT_FALSE(Control<QRadioButton>(dialog, id)->isEnabled()) << id;
        EXPECT_EQ(Control<QRadioButton>(dialog, id)->text(), QString("Channel%1").arg(id - 1355));
    }
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1360)->isChecked());
    EXPECT_EQ(Control<QPushButton>(dialog, 1355)->text(), "RS232...");
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(shelltest::Screenshot(dialog, "remote-display-dialog"));

    Control<QRadioButton>(dialog, 1353)->click();
    Control<QRadioButton>(dialog, 1356)->click();
    Control<QCheckBox>(dialog, 1360)->click();
    dialog.accept();
    EXPECT_EQ(dialog.Values(), (CRDDialog::Settings{0, CRDDialog::kRD1, 0}));
}

// Answers the modal dialog once it is up.
void WhenDialog(std::function<void(outputsui::CRemoteDisplayDialog&)> act, int triesLeft = 200)
{
    QTimer::singleShot(0, [act, triesLeft] {
        if (auto* d = qobject_cast<outputsui::CRemoteDisplayDialog*>(QApplication::activeModalWidget())) {
            act(*d);
            return;
        }
        ASSERT_GT(triesLeft, 0) << "no remote display dialog came up";
        WhenDialog(act, triesLeft - 1);
    });
}

// Cancel keeps the settings; OK without a key answers 1; OK with one
// writes the settings.
TEST_F(SerialOutputDialogs, RemoteDisplayDialogsAnswers)
{
    CTempHives hives;
    CRDDialog display([] { return false; });
    WhenDialog([](outputsui::CRemoteDisplayDialog& d) {
        Control<QCheckBox>(d, 1360)->click();
        d.reject();
    });
    EXPECT_EQ(outputsui::CRemoteDisplayDialog::Run(display, kTwoChannels, nullptr), 0);
    EXPECT_EQ(display.GetSettings(), CRDDialog::Settings{});

    WhenDialog([](outputsui::CRemoteDisplayDialog& d) { d.accept(); });
    EXPECT_EQ(outputsui::CRemoteDisplayDialog::Run(display, kTwoChannels, nullptr), 1);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\RemoteDisplay", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);
    display.SetSettingsKey(key);
    WhenDialog([](outputsui::CRemoteDisplayDialog& d) {
        Control<QCheckBox>(d, 1360)->click();
        Control<QRadioButton>(d, 1357)->click();
        d.accept();
    });
    EXPECT_EQ(outputsui::CRemoteDisplayDialog::Run(display, kTwoChannels, nullptr), 0);
    EXPECT_EQ(display.GetSettings(), (CRDDialog::Settings{1, CRDDialog::kRD1, 1}));
    CRegistrySupport reg;
    DWORD enabled = 0, channel = 0;
    EXPECT_TRUE(reg.GetDword(key, "", "OutputEnabled", enabled, FALSE));
    EXPECT_TRUE(reg.GetDword(key, "", "RemoteChannel", channel, FALSE));
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(channel, 1u);
    RegCloseKey(key);
}

}  // namespace
