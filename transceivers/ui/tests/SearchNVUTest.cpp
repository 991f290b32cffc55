#include "transceivers/ui/SearchNVU.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using zv::test::QtTestApp;

void ClickCancel(CSearchNVU& dialog)
{
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
}

TEST(SearchNVU, DoneBeforeTheDialogOpensIsNotLost)
{
    QtTestApp();
    CSearchNVU dialog;
    dialog.SetMessageText("Wait for response from 127.0.0.2");
    dialog.SetDone();
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_FALSE(dialog.IsCancelled());
    // The next wait starts afresh: it is not ended by the old answer.
    QTimer::singleShot(100, &dialog, [&] { ClickCancel(dialog); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(dialog.IsCancelled());
}

TEST(SearchNVU, DoneFromAnotherThreadEndsTheDialogWithOk)
{
    QtTestApp();
    CSearchNVU dialog;
    std::atomic<bool> shown{false};
    std::thread waiter;
    QTimer::singleShot(0, &dialog, [&] {
        shown = dialog.IsAnimating();
        waiter = std::thread([&] { dialog.SetDone(); });
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    waiter.join();
    EXPECT_TRUE(shown.load());
    EXPECT_FALSE(dialog.IsAnimating());
}

TEST(SearchNVU, CancelWhileAnimatingEndsWithCancel)
{
    QtTestApp();
    CSearchNVU dialog;
    QTimer::singleShot(60, &dialog, [&] { ClickCancel(dialog); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(dialog.IsCancelled());
    EXPECT_FALSE(dialog.IsAnimating());
    auto* bar = dialog.findChild<QProgressBar*>("1558");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), CSearchNVU::kTop);
}

TEST(SearchNVU, BarClimbsToFiftyThenFallsToZero)
{
    bool rising = true;
    int pos = 0;
    std::vector<int> seen;
    for (int i = 0; i < 101; ++i) {
        seen.push_back(pos);
        pos = CSearchNVU::NextPosition(pos, rising);
    }
    for (int i = 0; i <= 50; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    for (int i = 51; i <= 100; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], 100 - i);
    EXPECT_EQ(CSearchNVU::NextPosition(0, rising), 1) << "turns at 0";
}

TEST(SearchNVU, DoneCheckOfTheOwnerEndsTheWait)
{
    QtTestApp();
    std::atomic<bool> answered{false};
    std::thread unit([&] { answered = true; });
    EXPECT_TRUE(CSearchNVU::RunWait("Wait for response from 127.0.0.2", [&] { return answered.load(); }));
    unit.join();
}

}  // namespace
