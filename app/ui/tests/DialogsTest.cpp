// The small dialogs and generic controls: what they show and give back.
// Each dialog is also saved as a picture under /tmp for a person to check.
#include "QtTestSupport.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/DebugTraceDlg.h"
#include "app/ui/HelpKeyFilter.h"
#include "app/ui/LanguageDialog.h"
#include "app/ui/LayoutDialog.h"
#include "app/widgets/FolderDlg.h"
#include "app/widgets/IPAddressDialog.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

#include <filesystem>

using namespace app;
using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class Dialogs : public ::testing::Test
{
protected:
    Dialogs() { QtApp(); }
    ShellEnvironment env;
};

TEST_F(Dialogs, AboutBoxNamesModelAndVersion)
{
    CAboutDialog about("QY310", SounderModel::QY310, "1.0.0.0");
    EXPECT_EQ(about.windowTitle(), "About QY310");
    EXPECT_EQ(about.findChild<QLabel*>("version")->text(), "1.0.0.0");
    EXPECT_EQ(about.findChild<QLabel*>("label")->text(), "Program version");
    CAboutDialog other("RM30", SounderModel::RM30, "");
    EXPECT_EQ(other.findChild<QLabel*>("version")->text(), "255.255.255.255");
    EXPECT_NE(about.findChild<QLabel*>("maker")->text(), other.findChild<QLabel*>("maker")->text());
    EXPECT_TRUE(Screenshot(about, "dialog-about"));
}

TEST_F(Dialogs, LanguageDialogListsNumberedFoldersByNativeName)
{
    const fs::path languages = env.Root() / "Language";
    for (const char* name : {"1033", "1044", "help", "x1"})
        fs::create_directories(languages / name);
    CLanguageDialog dialog(languages.string() + "/", 1044);
    ASSERT_EQ(dialog.Languages(), (std::vector<unsigned>{1033, 1044}));
    EXPECT_EQ(dialog.Combo()->currentIndex(), 1);
    EXPECT_EQ(dialog.Combo()->itemText(1), "Norsk bokmål");
    dialog.Combo()->setCurrentIndex(0);
    dialog.accept();
    EXPECT_EQ(dialog.SelectedLanguage(), 1033u);
    EXPECT_TRUE(Screenshot(dialog, "dialog-language"));

    ClearMessageBoxRecord();
    CLanguageDialog missing((env.Root() / "none/").string(), 1033);
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("No language resource directory found at:\n\n", 0), 0u);
}

TEST_F(Dialogs, DebugTraceAndIPAddressGiveBackWhatWasSet)
{
    CDebugTraceDlg trace;
    trace.SetSwitches({1, 0, 0, 1, 0, 0, 1});
    EXPECT_EQ(trace.Switches(), (std::array<int, 7>{1, 0, 0, 1, 0, 0, 1}));
    EXPECT_TRUE(Screenshot(trace, "dialog-debugtrace"));

    CIPAddressDialog ip;
    ip.SetOctets({192, 168, 300, -4});  // out of range octets are held to 0..255
    EXPECT_EQ(ip.Octets(), (std::array<int, 4>{192, 168, 255, 0}));
    EXPECT_TRUE(Screenshot(ip, "dialog-ipaddress"));
}

TEST_F(Dialogs, LayoutDialogHidesMissingChannelsAndNamesTheOthers)
{
    ChannelDisplayTable displays;
    displays[0] = {true, true, "38", "QY42 38 kHz"};
    displays[1] = {true, false, "200", "QY42 200 kHz"};
    CLayoutDialog dialog(displays, 2);
    EXPECT_EQ(dialog.ChannelBox(0)->text(), "QY42 38 kHz");
    EXPECT_TRUE(dialog.ChannelBox(0)->isChecked());
    EXPECT_FALSE(dialog.ChannelBox(1)->isChecked());
    EXPECT_TRUE(dialog.ChannelBox(2)->isHidden());
    EXPECT_FALSE(dialog.ChannelBox(2)->isEnabled());
    EXPECT_EQ(dialog.Arrangement(), 2);
    EXPECT_TRUE(Screenshot(dialog, "dialog-layout"));
}

TEST_F(Dialogs, FolderDialogCreatesAndRefusesAnExistingName)
{
    fs::create_directories(env.Root() / "Settings" / "Default");
    CFolderDlg dialog;
    dialog.title = "New User";
    dialog.startPath = (env.Root() / "Settings").string();
    dialog.selectedPath = (env.Root() / "Settings").string();
    dialog.allowCreation = true;
    dialog.Prepare();
    EXPECT_EQ(dialog.windowTitle(), "New User");
    ASSERT_TRUE(dialog.CreateNewFolder("Survey"));
    EXPECT_TRUE(fs::is_directory(env.Root() / "Settings" / "Survey"));
    EXPECT_EQ(dialog.selectedPath, (env.Root() / "Settings" / "Survey").string());
    EXPECT_EQ(dialog.Tree()->GetFullPath(dialog.Tree()->currentItem()), dialog.selectedPath);

    dialog.selectedPath = (env.Root() / "Settings").string();
    ClearMessageBoxRecord();
    EXPECT_FALSE(dialog.CreateNewFolder("Default"));
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not create " + (env.Root() / "Settings" / "Default").string());
    EXPECT_TRUE(Screenshot(dialog, "dialog-folder"));
}

TEST_F(Dialogs, DoubleSpinStepsItsBuddy)
{
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    auto* edit = new QLineEdit("12.34", &host);
    auto* spin = new CSpinButtonDoubleCtrl(&host);
    layout->addWidget(edit);
    layout->addWidget(spin);
    spin->SetBuddy(edit);
    spin->OnDeltaPos(1);
    EXPECT_EQ(edit->text(), "????");  // no range yet
    edit->setText("12.34");
    spin->SetRange(2, 0.0, 100.0);
    spin->OnDeltaPos(1);
    EXPECT_EQ(edit->text(), "12.35");
    spin->OnDeltaPos(-4);
    EXPECT_EQ(edit->text(), "0");
    EXPECT_DOUBLE_EQ(spin->GetValue(), 0.0);
    EXPECT_TRUE(Screenshot(host, "control-spindouble"));
}

TEST_F(Dialogs, F1InADialogAsksForItsHelpContext)
{
    ChannelDisplayTable displays;
    CLayoutDialog dialog(displays, 0);
    std::vector<unsigned> contexts;
    CHelpKeyFilter filter([&](unsigned c) { contexts.push_back(c); });
    dialog.installEventFilter(&filter);
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &f1);
    EXPECT_EQ(contexts, std::vector<unsigned>{0x20096});
}

}  // namespace
