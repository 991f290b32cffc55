// The wide-band unit's two windows: the firmware question (its texts, its
// answers, and its closing when the unit that asked stops waiting), and the
// diagnostic window (what it shows of its unit, the log cut for display,
// the test selection, its closing by itself once its unit has gone, and
// the empty message to the window that opened it). Pictures go to the
// temporary folder for a person to look at.
#include "transceivers/ui/NVUDiagnostic.h"
#include "transceivers/ui/NvuUpgradeFirmware.h"
#include "transceivers/ui/TransceiverDialogs.h"

#include "platform/MessageDispatcher.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

using zv::test::QtTestApp;

template <class F>
bool WaitFor(F condition, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    }
    return true;
}

TEST(NvuDialogs, UpgradeQuestionShowsBothNamesAndAnswers)
{
    QtTestApp();
    transceiversui::CTransceiverDialogs dialogs;
    struct Row
    {
        const char* legend;
        const char* button;  // clicked; null: the unit stops waiting
        int answer;
    };
    const Row rows[] = {{"Yes", "yes", 1}, {"No", "no", 0}, {"the unit stopped waiting", nullptr, -1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        bool ended = false;
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CNvuUpgradeFirmware*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "NVU firmware upgrade");
            EXPECT_EQ(dialog->findChild<QLabel*>("1568")->text(), "nvu4_main_05032024_v101");
            EXPECT_EQ(dialog->findChild<QLabel*>("1569")->text(), "nvu4_main_06032024_v102.xsvf");
            if (!checked)
                dialog->grab().save(QDir::temp().filePath("zv-nvu-upgrade.png"));
            checked = true;
            if (row.button)
                dialog->findChild<QPushButton*>(row.button)->click();
            else
                ended = true;
        });
        EXPECT_EQ(dialogs.RunNvuUpgrade("nvu4_main_05032024_v101", "nvu4_main_06032024_v102.xsvf",
                                        [&ended] { return ended; }),
                  row.answer);
        EXPECT_TRUE(checked);
    }
}

// A unit's side of the link: texts the test sets, selections it records.
struct Unit
{
    std::mutex lock;
    NvuStatusTexts texts;
    std::vector<int> selections;
    std::shared_ptr<CNvuDiagnosticLink> link = std::make_shared<CNvuDiagnosticLink>(
        [this](NvuStatusTexts& t) {
            std::lock_guard<std::mutex> hold(lock);
            t = texts;
        },
        [this](int selection) { selections.push_back(selection); });
};

QString Field(QWidget* window, int id)
{
    auto* edit = window->findChild<QLineEdit*>(QString::number(id));
    return edit ? edit->text() : QString("<no %1>").arg(id);
}

TEST(NvuDialogs, DiagnosticWindowShowsItsUnitAndGoesWithIt)
{
    QtTestApp();
    int nulls = 0;
    const HWND view = CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_NULL)
            ++nulls;
        return LRESULT{0};
    });
    Unit unit;
    {
        std::lock_guard<std::mutex> hold(unit.lock);
        unit.texts.processing = true;
        for (std::size_t i = 0; i < 10; ++i)
            unit.texts.pingLines[i] = "Startp " + std::to_string(i);
        unit.texts.bufferLine = "Write        1  Read        1  Calculated        3";
        unit.texts.decimationLines[3] = "Decimation  ch 4: Total 50 Des1 1 Des2 1 Des3 1 Fpa 200";
        unit.texts.log = std::string(3001, 'x');
        unit.texts.log.replace(2001, 1, "y");  // the first character of the last 1000
    }
    transceiversui::CTransceiverDialogs dialogs;
    std::unique_ptr<INvuDiagnosticWindow> handle = dialogs.OpenNvuDiagnostic(unit.link, view);
    ASSERT_NE(handle, nullptr);
    QPointer<CNVUDiagnostic> window;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<CNVUDiagnostic*>(w))
            window = d;
    ASSERT_TRUE(window);
    EXPECT_TRUE(unit.link->IsWindowOpen());
    EXPECT_EQ(window->windowTitle(), "NVU Diagnostic");
    EXPECT_EQ(Field(window, CNVUDiagnostic::IDC_PROCESSING), "TRUE");
    EXPECT_EQ(Field(window, 1599), "Startp 9");
    EXPECT_EQ(Field(window, 1600), QString::fromStdString(unit.texts.bufferLine));
    EXPECT_EQ(Field(window, 1606), QString::fromStdString(unit.texts.decimationLines[3]));
    EXPECT_EQ(Field(window, CNVUDiagnostic::IDC_PING_RATE), "");
    const QString log = window->findChild<QPlainTextEdit*>("1006")->toPlainText();
    EXPECT_EQ(log.size(), 1000);
    EXPECT_TRUE(log.startsWith("y"));
    window->grab().save(QDir::temp().filePath("zv-nvu-diagnostic.png"));

    // The timer brings what changed.
    {
        std::lock_guard<std::mutex> hold(unit.lock);
        unit.texts.processing = false;
        unit.texts.log = "HD";
    }
    EXPECT_TRUE(WaitFor([&] { return Field(window, CNVUDiagnostic::IDC_PROCESSING) == "FALSE"; }));
    EXPECT_TRUE(WaitFor([&] { return window->findChild<QPlainTextEdit*>("1006")->toPlainText() == "HD"; }));

    auto* test = window->findChild<QComboBox*>("1622");
    ASSERT_NE(test, nullptr);
    ASSERT_GE(test->count(), 4);
    test->setCurrentIndex(3);
    Q_EMIT test->activated(3);
    EXPECT_EQ(unit.selections, std::vector<int>{3});

    // The unit goes: the window closes by itself and tells its opener.
    handle->Raise();
    unit.link->Detach();
    EXPECT_TRUE(WaitFor([&] { return window.isNull(); }));
    EXPECT_FALSE(unit.link->IsWindowOpen());
    EXPECT_TRUE(WaitFor([&] { return nulls == 1; }));
    handle->Raise();  // nothing left to raise

    // Cancel closes a window whose unit is still there.
    Unit second;
    handle = dialogs.OpenNvuDiagnostic(second.link, view);
    window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<CNVUDiagnostic*>(w))
            window = d;
    ASSERT_TRUE(window);
    window->reject();
    EXPECT_TRUE(WaitFor([&] { return window.isNull(); }));
    EXPECT_FALSE(second.link->IsWindowOpen());
    EXPECT_TRUE(WaitFor([&] { return nulls == 2; }));
    DestroyWindow(view);
}

}  // namespace
