// The dialogs of replay offscreen: "Reprocess Heave" with a column per
// replayed channel, the replay bar's slider, times and buttons, and the file
// dialog with the replay options under it.
#include "recording/ui/ChangeInstall.h"
#include "recording/ui/ReplayButtons.h"
#include "recording/ui/ReplayFileDialog.h"
#include "recording/ui/ReplayFileExtXP.h"

#include "app/ui/tests/QtTestSupport.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace zv::recording;
namespace fs = std::filesystem;

using shelltest::Control;

namespace {

SReplayInstallation Block(int channels)
{
    SReplayInstallation b;
    b.motionZ = 1.0;
    b.channelCount = channels;
    for (int i = 0; i < SReplayInstallation::kChannels; ++i)
        b.channels[i] = {0.0, 0.5 * i, 0.0, 5.0, std::to_string(38 + i) + " kHz"};
    return b;
}

// The test thread's window stands in for the main frame and keeps the
// commands it is sent.
struct Frame
{
    Frame()
    {
        hwnd = CreateMessageWindow([this](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
            if (m == WM_COMMAND)
                commands.push_back(unsigned(w));
            return 0;
        });
        SetMainWindow(hwnd);
    }
    ~Frame()
    {
        SetMainWindow(0);
        DestroyWindow(hwnd);
    }
    std::vector<unsigned> Commands()
    {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
        return commands;
    }
    HWND hwnd = 0;
    std::vector<unsigned> commands;
};

class ReplayDialogsTest : public ::testing::Test
{
protected:
    ReplayDialogsTest()
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }
};

}  // namespace

// One column per replayed channel: with one channel the window is three
// columns narrower than with four, a column being a field and the gap.
TEST_F(ReplayDialogsTest, ChangeInstallShowsAColumnPerChannel)
{
    CChangeInstall four(Block(4), 1, 1, 1);
    four.show();
    CChangeInstall one(Block(1), 1, 1, 1);
    one.show();
    shelltest::Screenshot(one, "reprocess-heave-1");
    shelltest::Screenshot(four, "reprocess-heave-4");
    EXPECT_TRUE(Control<QLineEdit>(one, 1461)->isVisible());
    for (int id : {1462, 1463, 1464, 1475, 1481})
        EXPECT_FALSE(Control<QWidget>(one, id)->isVisible()) << id;
    EXPECT_EQ(Control<QLabel>(four, 1477)->text(), "41 kHz");
    const int column = Control<QLineEdit>(one, 1465)->width() + 20;
    EXPECT_NEAR(four.width() - one.width(), 3 * column, 2);
}

// OK takes every field back into the block and the three switches; a field
// that holds no number keeps the dialog open; Cancel leaves the block.
TEST_F(ReplayDialogsTest, ChangeInstallTakesTheFieldsOnOkOnly)
{
    CChangeInstall dialog(Block(2), 1, 0, 1);
    EXPECT_EQ(Control<QLineEdit>(dialog, 1460)->text(), "1.00");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1462)->text(), "0.50");
    EXPECT_TRUE(Control<QCheckBox>(dialog, 1479)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(dialog, 1478)->isChecked());
    Control<QLineEdit>(dialog, 1458)->setText("0.3");
    Control<QLineEdit>(dialog, 1481)->setText("2.25");
    Control<QLineEdit>(dialog, 1466)->setText("-1");
    Control<QLineEdit>(dialog, 1470)->setText("four");
    Control<QCheckBox>(dialog, 1485)->setChecked(false);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(dialog.Block().channels[1].draught, 0.0) << "nothing taken while a field is wrong";
    Control<QLineEdit>(dialog, 1470)->setText("4");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SReplayInstallation& b = dialog.Block();
    EXPECT_EQ(b.motionX, 0.3);
    EXPECT_EQ(b.channels[1].draught, 2.25);
    EXPECT_EQ(b.channels[1].y, -1.0);
    EXPECT_EQ(b.channels[1].z, 4.0);
    EXPECT_EQ(b.channels[0].x, 0.0);
    EXPECT_EQ(dialog.ApplyAll(), 0);
    EXPECT_EQ(dialog.ApplyHeave(), 1);
}

// The replay's positions run 0 to 200 over a table of 200 times: the last
// shows the table's last time. A position from the replay waits while the
// slider is dragged; letting it go asks for that position.
TEST_F(ReplayDialogsTest, ReplayBarFollowsTheReplayAndSeeks)
{
    CReplayButtons bar;
    std::array<FileTime, CReplayReader::kPositions> times{};
    const FileTime t0 = CFileTime::kUnixEpoch + 1700000000ULL * 10000000ULL;
    for (std::size_t i = 0; i < times.size(); ++i)
        times[i] = t0 + i * 10000000ULL;  // a second apart
    bar.CopyReplayTable(times);
    bar.SetFile(times.front(), times.back(), "/data/survey/line1.raw");
    auto* slider = Control<QSlider>(bar, 1503);
    auto* current = Control<QLabel>(bar, 1515);
    EXPECT_EQ(Control<QLabel>(bar, 1516)->text(), "line1.raw");
    EXPECT_EQ(Control<QLabel>(bar, 1514)->text().size(), 8);

    bar.SetCurrentTime(200, true);
    EXPECT_EQ(slider->value(), 199);
    const QString last = current->text();
    bar.SetCurrentTime(199, true);
    EXPECT_EQ(current->text(), last);
    bar.SetCurrentTime(1, true);
    EXPECT_NE(current->text(), last);

    QSignalSpy asked(&bar, &CReplayButtons::positionRequested);
    slider->setSliderDown(true);
    slider->setSliderPosition(120);  // the operator drags
    EXPECT_EQ(current->text().size(), 8);
    bar.SetCurrentTime(5, true);
    EXPECT_EQ(slider->value(), 120) << "the replay waits for the drag";
    slider->setSliderDown(false);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0][0].toInt(), 120);
    bar.SetCurrentTime(5, true);
    EXPECT_EQ(slider->value(), 5);
    bar.show();
    shelltest::Screenshot(bar, "replay-bar");
}

// Play, Pause, Step and REC post their commands to the main frame; REC keeps
// the slider still while it is on.
TEST_F(ReplayDialogsTest, ReplayBarButtonsPostTheirCommands)
{
    Frame frame;
    CReplayButtons bar;
    for (int id : {1487, 1488, 1486, 1989})
        Control<QToolButton>(bar, id)->click();
    EXPECT_EQ(frame.Commands(), (std::vector<unsigned>{1487, 32830, 1486, 57683}));
    EXPECT_TRUE(bar.IsRecOn());
    EXPECT_FALSE(Control<QSlider>(bar, 1503)->isEnabled());
    bar.SetRec(false);
    EXPECT_TRUE(Control<QSlider>(bar, 1503)->isEnabled());
}

// The file dialog offers the options it was given and hands back those
// chosen, with every file selected.
TEST_F(ReplayDialogsTest, FileDialogHandsBackTheFilesAndOptions)
{
    const fs::path folder = fs::temp_directory_path() / ("zv-replay-files-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const char* name : {"a.raw", "b.raw"})
        std::ofstream(folder / name) << "x";
    int loop = 1, saveData = 0, changeInstallation = 0, changeSvp = 1;
    std::vector<std::string> files;
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CReplayFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(Control<QCheckBox>(*dialog, 1130)->isChecked());
        EXPECT_TRUE(Control<QCheckBox>(*dialog, 1350)->isChecked());
        EXPECT_FALSE(Control<QCheckBox>(*dialog, 1152)->isChecked());
        Control<QCheckBox>(*dialog, 1130)->setChecked(false);
        Control<QCheckBox>(*dialog, 1152)->setChecked(true);
        dialog->setDirectory(QString::fromStdString(folder.string()));
        shelltest::Screenshot(*dialog, "replay-files");
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"a.raw\" \"b.raw\"");
        checked = true;
        QMetaObject::invokeMethod(dialog, "accept");
    });
    ASSERT_TRUE(CReplayFileDialog::Run(nullptr, loop, saveData, changeInstallation, changeSvp, files));
    EXPECT_TRUE(checked);
    EXPECT_EQ(loop, 0);
    EXPECT_EQ(saveData, 1);
    EXPECT_EQ(changeInstallation, 0);
    EXPECT_EQ(changeSvp, 1);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(fs::path(files[0]).filename(), "a.raw");
    EXPECT_EQ(fs::path(files[1]).filename(), "b.raw");
    fs::remove_all(folder);
}
