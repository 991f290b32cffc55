// The dialogs of the serial library, offscreen.
#include "seriallib/ui/SercorDialogs.h"
#include "seriallib/ASCII.h"
#include "seriallib/MsgQueue.h"
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"
#include "seriallib/ui/ComOptionsDlg.h"
#include "seriallib/ui/ComStatistics.h"
#include "seriallib/ui/ProtStatistics.h"

#include "platform/SerialBackendFake.h"
#include "platform/TempHives.h"
#include "testsupport/ui/QtTestApp.h"
#include "testsupport/ui/QtWait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>

namespace {

using zv::test::QtTestApp;

using zv::test::QtWaitUntil;

template <class T>
T* FindTopLevel(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return qobject_cast<T*>(w);
    return nullptr;
}

class SercorDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QtTestApp();
        InstallSercorDialogs();
    }
    void TearDown() override { SetSercorHooks({}); }
};

TEST_F(SercorDialogs, OptionsDialogShowsTheOfferedPortsAndTakesTheControls)
{
    CComOptionsDlg dialog;
    dialog.m_PortNames = {"COM3", "COM4", "None"};
    dialog.m_strPort = "COM4";
    dialog.m_strBaud = "4800";
    dialog.m_strDataBits = "7";
    dialog.m_nParity = 2;
    dialog.m_nStopBits = 0;
    dialog.m_bRTSCTS = TRUE;
    dialog.OnInitDialog();
    ASSERT_EQ(dialog.m_pPortList->count(), 3);
    EXPECT_EQ(dialog.m_pPortList->currentText(), "COM4");
    auto* baud = dialog.findChild<QComboBox*>("ctl_11004");
    auto* parity = dialog.findChild<QComboBox*>("ctl_11007");
    auto* rtscts = dialog.findChild<QCheckBox*>("ctl_11009");
    auto* xon = dialog.findChild<QCheckBox*>("ctl_11010");
    ASSERT_TRUE(baud && parity && rtscts && xon);
    EXPECT_EQ(baud->currentText(), "4800");
    EXPECT_EQ(parity->currentText(), "Even");
    EXPECT_TRUE(rtscts->isChecked());

    dialog.m_pPortList->setCurrentIndex(0);
    baud->setCurrentText("19200");
    xon->setChecked(true);
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strPort, "COM3");
    EXPECT_EQ(dialog.m_strBaud, "19200");
    EXPECT_EQ(dialog.m_strDataBits, "7");
    EXPECT_EQ(dialog.m_nParity, 2);
    EXPECT_TRUE(dialog.m_bXonXoff);
}

TEST_F(SercorDialogs, ConfigureRunsTheDialogAndChoosingNoneStoresNone)
{
    CTempHives hives;
    for (int n = 1; n <= 16; ++n)
        SetComPortPath(n, "/nonexistent/ttyS" + std::to_string(n - 1));
    CSercor32 port;
    port.CreateEx(CSercor::s_szPortNone, 9600, 8, 0, 0, TRUE);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CComOptionsDlg*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->m_pPortList->setCurrentIndex(dialog->m_pPortList->findText("None"));
        dialog->findChild<QComboBox*>("ctl_11004")->setCurrentText("38400");
        dialog->findChild<QPushButton*>("ctl_1")->click();
    });
    EXPECT_TRUE(port.Configure(TRUE));
    for (int n = 1; n <= 16; ++n)
        SetComPortPath(n, "");
    EXPECT_TRUE(port.IsPortNone());
    EXPECT_EQ(port.GetBaud(), 38400);
}

// The component's port carries Help (57670): each press asks once; the
// library's own port has no Help.
TEST_F(SercorDialogs, OptionsDialogHelpOnlyWhereThePortHasOne)
{
    CTempHives hives;
    for (int n = 1; n <= 16; ++n)
        SetComPortPath(n, "/nonexistent/ttyS" + std::to_string(n - 1));
    CSercor32 port;
    port.CreateEx(CSercor::s_szPortNone, 9600, 8, 0, 0, TRUE);
    int asked = 0;
    bool hadHelp = true;
    const auto press = [&] {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CComOptionsDlg*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            auto* help = dialog->findChild<QPushButton*>("ctl_57670");
            hadHelp = help != nullptr;
            if (help)
                help->click();
            dialog->reject();
        });
        port.Configure(TRUE);
    };
    press();
    EXPECT_FALSE(hadHelp);
    port.SetOptionsHelp([&] { ++asked; });
    press();
    for (int n = 1; n <= 16; ++n)
        SetComPortPath(n, "");
    EXPECT_TRUE(hadHelp);
    EXPECT_EQ(asked, 1);
}

TEST_F(SercorDialogs, PortStatisticsCountFromZeroValuesAndRemoveHidesThem)
{
    auto line = CFakeSerialLine::Create("FAKE_UI_PORT");
    CSercor32 port;
    CRAW raw(&port, PROT_RECEIVE, 0);
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 9600, 8, 0, 0, TRUE));
    line->InjectBytes("12345");
    ASSERT_TRUE(QtWaitUntil([&] {
        tag_COM_STATISTICS s;
        port.GetStatistics(&s);
        return s.BytesReceived == 5;
    }));
    ASSERT_TRUE(port.ShowStatistics(TRUE));
    EXPECT_FALSE(port.ShowStatistics(TRUE));  // one window per port
    auto* window = FindTopLevel<CComStatistics>("dialog_10131");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->ValueText(11019), "5");
    window->findChild<QPushButton*>("ctl_2")->click();
    EXPECT_EQ(window->ValueText(11019), "0");
    line->InjectBytes("0123456789");
    ASSERT_TRUE(QtWaitUntil([&] {
        window->Refresh();
        return window->ValueText(11019) == "10";
    }));
    line->InjectLineError(CE_FRAME);
    ASSERT_TRUE(QtWaitUntil([&] {
        window->Refresh();
        return window->ValueText(11021) == "1";
    }));

    window->findChild<QPushButton*>("ctl_1")->click();
    EXPECT_TRUE(QtWaitUntil([] { return FindTopLevel<CComStatistics>("dialog_10131") == nullptr; }));
    EXPECT_FALSE(port.ShowStatistics(FALSE));
    port.Close();
}

TEST_F(SercorDialogs, ProtocolStatisticsShowWhatTheProtocolTypeHas)
{
    CSercor32 port;
    struct Row
    {
        PROTOCOL_TYPE type;
        const char* dialog;
        bool sent, received;
    };
    const Row rows[] = {
        {PROT_RXTX, "dialog_10132", true, true},
        {PROT_TRANSMIT, "dialog_10133", true, false},
        {PROT_RECEIVE, "dialog_10134", false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog);
        CASCII ascii(&port, row.type, 0);
        if (row.type != PROT_TRANSMIT) {
            ascii.ReceiveCallback('x', TRUE);
            ascii.ReceiveCallback('\r', TRUE);
        }
        ASSERT_TRUE(ascii.ShowStatistics(TRUE));
        auto* window = FindTopLevel<CProtStatistics>(row.dialog);
        ASSERT_TRUE(window);
        window->Refresh();
        EXPECT_EQ(window->ValueText(11023).isEmpty(), !row.sent);
        EXPECT_EQ(window->ValueText(11024), row.received ? "1" : "");
        EXPECT_EQ(window->findChild<QWidget*>("ctl_11027")->isVisibleTo(window), row.received);
        for (const char* dropped : {"ctl_11028", "ctl_11029"})
            EXPECT_EQ(window->findChild<QWidget*>(dropped)->isVisibleTo(window), row.sent) << dropped;
        // Escape zeroes the values rather than closing the window.
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_TRUE(window->isVisible());
        if (row.received) {
            EXPECT_EQ(window->ValueText(11024), "0");
        }
        EXPECT_TRUE(ascii.ShowStatistics(FALSE));
        EXPECT_TRUE(QtWaitUntil([&] { return FindTopLevel<CProtStatistics>(row.dialog) == nullptr; }));
    }
}

// A line that takes no bytes: the transmit window shows what the queue
// dropped for room and what it dropped for its age, from the zero point on.
TEST_F(SercorDialogs, TransmitStatisticsShowWhatTheQueueDropped)
{
    auto line = CFakeSerialLine::Create("FAKE_UI_STUCK");
    CSercor32 port;
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 9600, 8, 0, 0, TRUE));
    port.SetTxDelay(0);
    CASCII ascii(&port, PROT_TRANSMIT, 0);
    std::atomic<long long> nowMs{0};
    ascii.SetQueueClock([&] { return CMsgQueue::Clock::time_point(std::chrono::milliseconds(nowMs.load())); });
    line->HoldWrites(true);
    ASSERT_TRUE(ascii.ShowStatistics(TRUE));
    auto* window = FindTopLevel<CProtStatistics>("dialog_10133");
    ASSERT_TRUE(window);
    window->Refresh();
    EXPECT_EQ(window->ValueText(11028), "0");
    EXPECT_EQ(window->ValueText(11029), "0");

    const int sent = static_cast<int>(CMsgQueue::kMaxMessages) + 40;
    for (int i = 0; i < sent; ++i)
        ASSERT_TRUE(ascii.Send("PING " + std::to_string(i)));
    // Every waiting telegram grows too old before the line takes bytes.
    nowMs += 3000;
    line->HoldWrites(false);
    ASSERT_TRUE(QtWaitUntil([&] { return ascii.GetQueueCount() == 0; }));
    const DWORD full = ascii.GetQueueDroppedFull();
    const DWORD stale = ascii.GetQueueDroppedStale();
    EXPECT_GT(full, 0u);
    EXPECT_GT(stale, 0u);
    window->Refresh();
    EXPECT_EQ(window->ValueText(11028), QString::number(full));
    EXPECT_EQ(window->ValueText(11029), QString::number(stale));
    EXPECT_EQ(window->ValueText(11023), QString::number(sent));

    window->findChild<QPushButton*>("ctl_2")->click();
    EXPECT_EQ(window->ValueText(11028), "0");
    EXPECT_EQ(window->ValueText(11029), "0");
    EXPECT_TRUE(ascii.ShowStatistics(FALSE));
    port.Close();
}

}  // namespace
