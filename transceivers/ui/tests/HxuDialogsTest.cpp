// The HXU unit's three dialogs as windows: what each shows, what its
// buttons answer, and what the debug dialog's OK hands back. Pictures of
// them go to the temporary folder for a person to look at.
#include "transceivers/ui/HXUDialog.h"
#include "transceivers/ui/HXUNoContactDialog.h"
#include "transceivers/ui/HXUReprogramDialog.h"

#include "base/AppIds.h"
#include "platform/MessageDispatcher.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using zv::test::QtTestApp;

void Picture(QWidget& dialog, const char* name)
{
    dialog.grab().save(QDir::temp().filePath(QString("zv-hxu-%1.png").arg(name)));
}

QString Label(QWidget& dialog, const char* name)
{
    auto* label = dialog.findChild<QLabel*>(name);
    return label ? label->text() : QString("<no %1>").arg(name);
}

TEST(HxuDialogs, DebugDialogShowsAndHandsBackTheFlags)
{
    QtTestApp();
    HxuDebugDialogValues in;
    in.flags = {1, 0, 1, 0, 0, 0, 1};
    CHXUDialog dialog(in);
    EXPECT_EQ(dialog.windowTitle(), "HXU Debug Dialog");
    Picture(dialog, "debug");
    const char* texts[] = {"Debug Mode", "TRACE 1", "TRACE 2", "TRACE 3", "TRACE 4", "TRACE 5", "TRACE 6"};
    for (int i = 0; i < 7; ++i) {
        auto* check = dialog.findChild<QCheckBox*>(QString("flag%1").arg(i));
        ASSERT_NE(check, nullptr) << i;
        EXPECT_EQ(check->text(), texts[i]);
        EXPECT_EQ(check->isChecked(), in.flags[static_cast<std::size_t>(i)] != 0) << texts[i];
    }
    dialog.findChild<QCheckBox*>("flag0")->setChecked(false);
    dialog.findChild<QCheckBox*>("flag4")->setChecked(true);
    const auto out = dialog.Values();
    EXPECT_EQ(out.flags, (std::array<int, 7>{0, 0, 1, 0, 1, 0, 1}));
}

TEST(HxuDialogs, DebugDialogsAlarmButtonsPostTheirCommands)
{
    QtTestApp();
    std::vector<WPARAM> commands;
    HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM) {
        if (message == WM_COMMAND)
            commands.push_back(w);
        return LRESULT{0};
    });
    SetMainWindow(frame);
    CHXUDialog dialog(HxuDebugDialogValues{});
    dialog.findChild<QPushButton*>("alarmOn")->click();
    dialog.findChild<QPushButton*>("alarmOff")->click();
    MSG msg;
    while (PeekMessage(&msg))
        DispatchMessage(&msg);
    EXPECT_EQ(commands, (std::vector<WPARAM>{app::cmd::HXU_ALARM_ON, app::cmd::HXU_ALARM_OFF}));
    DestroyWindow(frame);
    SetMainWindow(0);
}

TEST(HxuDialogs, NoContactAndReprogramQuestions)
{
    QtTestApp();
    CHXUNoContactDialog none("HXU-H 3");
    EXPECT_EQ(none.windowTitle(), "HXU Transceiver Not Found");
    EXPECT_EQ(Label(none, "transceiverName"), "HXU-H 3");
    Picture(none, "no-contact");
    none.findChild<QPushButton*>("retry")->click();
    EXPECT_EQ(none.result(), QDialog::Accepted) << "Retry";
    CHXUNoContactDialog cancelled("HXU-H 3");
    cancelled.findChild<QPushButton*>("cancel")->click();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);

    CHXUReprogramDialog reprogram("HXU-H 3", "1.00", "2.40");
    EXPECT_EQ(reprogram.windowTitle(), "HXU Transceiver Software Mismatch");
    EXPECT_EQ(Label(reprogram, "unitVersion"), "1.00");
    EXPECT_EQ(Label(reprogram, "fileVersion"), "2.40");
    Picture(reprogram, "reprogram");
    reprogram.findChild<QPushButton*>("yes")->click();
    EXPECT_EQ(reprogram.result(), QDialog::Accepted) << "Yes";
    CHXUReprogramDialog refused("HXU-H 3", "1.00", "2.40");
    refused.findChild<QPushButton*>("no")->click();
    EXPECT_EQ(refused.result(), QDialog::Rejected);
}

}  // namespace
