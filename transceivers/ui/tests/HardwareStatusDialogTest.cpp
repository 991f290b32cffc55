// "HW status" as a window: it offers the installed transceivers with the
// last choice selected, shows a unit's answers in its fields and its report
// line by line, keeps "HW request" greyed while no sounder runs, and asks
// the chosen unit when one does.
#include "transceivers/ui/HardwareStatusDialog.h"

#include "platform/ByteWriter.h"
#include "testsupport/ui/QtTestApp.h"
#include "transceivers/TransceiverInstallation.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using zv::test::QtTestApp;

class CUnits final : public CHardwareStatus::IUnits
{
public:
    bool running = false;
    bool IsSounderRunning() const override { return running; }
    void ForEachTransceiver(const std::function<void(int, CTransceiver&)>&) override { ++walks; }
    int walks = 0;
};

}  // namespace

TEST(HardwareStatusWindow, ShowsTheAnswersAndAsksWhileASounderRuns)
{
    QtTestApp();
    CTransceiverInstallation installation;
    CUnits units;
    CHardwareStatus status(installation, units);
    status.SetSourceList({"QY42 A", "QY42 B"});
    status.Close("QY42 B");
    {
        CHardwareStatusDialog dialog(status);
        EXPECT_EQ(dialog.windowTitle(), "HW status");
        auto* combo = dialog.findChild<QComboBox*>("IDC_TRANSCEIVER");
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->count(), 2);
        EXPECT_EQ(combo->currentText(), "QY42 B") << "the last choice";
        auto* request = dialog.findChild<QPushButton*>("IDC_HW_REQUEST");
        ASSERT_NE(request, nullptr);
        EXPECT_FALSE(request->isEnabled()) << "no sounder runs";
        EXPECT_TRUE(status.IsOpen());

        std::vector<BYTE> board(64, 0);
        CByteWriter b(board.data(), board.size());
        b.Bytes(8, "BRD", 3);
        b.I32(16, 7);
        b.F32(20, 181.25f);
        std::vector<BYTE> address(44 + 12, 0);
        CByteWriter a(address.data(), address.size());
        a.Bytes(44, "line1\nline2\n", 12);
        std::thread unit([&] {
            status.ShowStatus(board.data(), board.size());
            status.FormatStatus(address.data(), address.size());
        });
        unit.join();
        auto* high = dialog.findChild<QLineEdit*>("IDC_VALUE_0");
        auto* report = dialog.findChild<QPlainTextEdit*>("IDC_REPORT");
        ASSERT_TRUE(high && report);
        ASSERT_TRUE(PumpUntil([&] { return !report->toPlainText().isEmpty(); }, std::chrono::milliseconds(5000)));
        EXPECT_EQ(high->text(), " 181.2");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("IDC_BOARD_TYPE")->text(), " BRD");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("IDC_BOARD_ID")->text(), " 7");
        EXPECT_TRUE(report->toPlainText().endsWith("line1\nline2\n")) << report->toPlainText().toStdString();
        EXPECT_EQ(report->document()->blockCount(), 15) << "fourteen lines and the empty one after the last";

        high->clear();
        dialog.findChild<QPushButton*>("IDC_REFRESH")->click();
        EXPECT_EQ(high->text(), " 181.2") << "Refresh shows the last answer again";

        units.running = true;
        EXPECT_TRUE(PumpUntil(
            [&] {
                QCoreApplication::processEvents();
                return request->isEnabled();
            },
            std::chrono::milliseconds(5000)));
        request->click();
        EXPECT_EQ(units.walks, 1);
        combo->setCurrentIndex(0);
        dialog.accept();
    }
    EXPECT_FALSE(status.IsOpen());
    EXPECT_EQ(status.GetSelectedName(), "QY42 A");
}
