// The colour scale dialog of a replayed channel in the real program: the
// channel reaches the display's dialog of its model, and a sounder that goes
// while the dialog is open (a stop, a replay started again, as one moving to
// a next file of other channels is) ends it with -1 and has nothing written
// into the channel that went with it. Under the address sanitizer a write
// into the deleted channel fails the test.
#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "display/DepthDoc.h"
#include "display/ui/ColorScaleDialog.h"
#include "display/ui/ColorScaleDialogs.h"
#include "display/ui/DepthView.h"
#include "engine/Channel.h"
#include "program/tests/TestProgram.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/EchoSounder.h"
#include "sounder/OperationControl.h"

#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class ProgramColourScale : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QtApp();
        zv::recgen::SRecGenScene scene;
        std::string error;
        for (const std::string& s :
             {std::string("pings=40"), std::string("channels=38,120"), std::string("samples=300")})
            ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        raw = env.Root() / "survey.raw";
        ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(raw.string(), nullptr, &error)) << error;
        program = MakeProgram(TestProgramOptions({"QY310", raw.string()}));
        ASSERT_TRUE(program->Start());
        ASSERT_TRUE(WaitFor([&] { return Sounder() && Sounder()->GetChannelCount() == 2; }, 10000));
    }
    void TearDown() override { program.reset(); }

    CEchoSounder* Sounder() const { return program->Operation().GetEchoSounder(); }

    // Opens the channel's dialog and, once it is up, does `away` to the
    // sounder and waits until the dialog has ended; its result then.
    int GoneWhileOpen(const std::function<void()>& away)
    {
        CChannel* channel = Sounder()->GetChannel(0);
        int ended = 0;
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            QPointer<CColorScaleDialog> dialog = qobject_cast<CColorScaleDialog*>(QApplication::activeModalWidget());
            ASSERT_FALSE(dialog.isNull());
            sawDialog = true;
            EXPECT_EQ(dialog->objectName(), "dialog_206");
            dialog->findChild<QWidget*>("1012")->setProperty("text", "12");
            away();
            EXPECT_TRUE(WaitFor([&] { return dialog.isNull() || !dialog->isVisible(); }, 10000));
            if (!dialog.isNull() && dialog->isVisible()) {
                ADD_FAILURE() << "the dialog outlived its channel";
                dialog->reject();
            } else if (!dialog.isNull()) {
                ended = dialog->result();
            }
        });
        EXPECT_EQ(channel->OnColorScale(), 0);
        EXPECT_TRUE(sawDialog);
        return ended;
    }

    ShellEnvironment env;
    fs::path raw;
    std::unique_ptr<app::CProgram> program;
};

// The program's channels reach the display's dialogs.
TEST_F(ProgramColourScale, ChannelsReachTheDisplaysDialogs)
{
    for (int i = 0; i < Sounder()->GetChannelCount(); ++i)
        EXPECT_NE(
            dynamic_cast<displayui::CColorScaleDialogs*>(Sounder()->GetChannel(i)->GetLinks().GetColorScaleDialogs()),
            nullptr);
}

// A right click on a channel's colour bar, and the row's menu item, open
// the dialog of the model.
TEST_F(ProgramColourScale, TheDepthRowOpensIt)
{
    CChannel* channel = Sounder()->GetChannel(0);
    CDepthView* view = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (CDepthView* v : program->Frame()->findChildren<CDepthView*>())
            if (v->isVisible() && v->GetDocument() && v->GetDocument()->GetChannel() == channel)
                view = v;
        return view != nullptr;
    }));
    // Whatever dialog comes up is noted and cancelled.
    std::string opened;
    QTimer cancel;
    cancel.setInterval(20);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = dialog->objectName().toStdString();
            dialog->reject();
        }
    });
    cancel.start();
    QTest::mouseClick(view, Qt::RightButton, {}, view->ColourBar().center());
    EXPECT_EQ(opened, "dialog_206");

    opened.clear();
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            if (a->data().toUInt() == CDepthView::ID_COLOUR_SCALE)
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, view->height() - 2));
    EXPECT_EQ(opened, "dialog_206");
}

TEST_F(ProgramColourScale, SounderStoppedWhileTheDialogIsOpen)
{
    EXPECT_EQ(GoneWhileOpen([&] { program->Application().Operation().PostStop(0); }), -1);
    EXPECT_EQ(Sounder(), nullptr);
}

TEST_F(ProgramColourScale, ReplayStartedAgainWhileTheDialogIsOpen)
{
    CReplayFileList files;
    files.AddTail(raw.string());
    EXPECT_EQ(GoneWhileOpen([&] { program->Application().Operation().PostStartWithFiles(files); }), -1);
    EXPECT_TRUE(WaitFor([&] { return Sounder() && Sounder()->GetChannelCount() == 2; }, 10000))
        << "the new sounder replays";
}

}  // namespace
