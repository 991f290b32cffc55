// Every menu item of every model, tried through the real program offscreen,
// first with no sounder and then while a recording replays: each is greyed,
// or enabled and does something one can see (a dialog, a changed check mark
// or state, a page of help, a stopped sounder, a closed program). The items
// of Parts not built yet must be greyed, those that are built must not be.
#include "app/Pelmaris.h"
#include "app/StandardESLayout.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/LayoutDialog.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "app/widgets/FolderDlg.h"
#include "base/File.h"
#include "display/DIBSection.h"
#include "display/PaletteControl.h"
#include "display/ui/HistoryDialog.h"
#include "outputs/QYNet.h"
#include "program/tests/TestProgram.h"
#include "sensors/Environment.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

using namespace shelltest;
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

// Items the program does not build yet: greyed whatever it does.
const std::set<unsigned> kNotBuilt = {
    cmd::FREQ_SWEEP,
    cmd::EXP_CALCULATION,
};
// Items of a running sounder: greyed while none runs. "Store...",
// "Annotation...", "Trawl..." and "Purse Seine..." stay greyed while it replays, "Step!"
// outside single step. "Debug HXU..." needs a running HXU unit, which a
// replay has not. "Environment..." is greyed while replaying unless the
// replay was started to change the profile.
const std::set<unsigned> kNeedSounder = {
    cmd::STORE, cmd::ECHOGRAM_STORAGE, cmd::PRINT_DB_PING, cmd::ANNOTATION, cmd::STOP_SOUNDER,
    cmd::STEP,  cmd::REPLAY_CONTROL,   cmd::STATUS_WINDOW, cmd::DEBUG_HXU,  cmd::SECOND_LAYER};
const std::set<unsigned> kNotWhileReplaying = {cmd::STORE, cmd::ANNOTATION, cmd::STEP,        cmd::DEBUG_HXU,
                                               cmd::TRAWL, cmd::SVP_DIALOG, cmd::ENVIRONMENT, cmd::PURSE_SEINE};
// Items whose object the model does not make although its menu shows them:
// the TOTAL menus offer "Svp Dialog...", "Serial Interface..." and "Remote
// Display...", whose probe, serial I/O hub and display only the QY models have.
std::set<unsigned> NoObject(const std::string& executable)
{
    return executable == "PELMARIS" ? std::set<unsigned>{cmd::SVP_DIALOG, cmd::SERIAL_INTERFACE, cmd::REMOTE_DISPLAY}
                                    : std::set<unsigned>{};
}

// Items with a check state, the only ones drawn with a check box: the
// toggles, and the palette, mode, colour and unit choices.
bool MayBeChecked(unsigned id)
{
    static const std::set<unsigned> toggles = {
        cmd::PALETTE_NIGHT_FILTERED,
        cmd::PALETTE_DUSK_DAY,
        cmd::PALETTE_DAY_WHITE,
        cmd::PALETTE_BRIGHT_DAY,
        cmd::PALETTE_DAY_BLACK,
        cmd::PALETTE_NIGHT_UNFILTERED,
        cmd::ASYNC_MANUAL,
        cmd::ASYNC_1SEC,
        cmd::ASYNC_FAST,
        cmd::GRAYSCALE,
        cmd::QY_COLOURS,
        cmd::TQ_COLOURS,
        cmd::GREY_ON_SIDESCAN,
        cmd::COPPER_ON_SIDESCAN,
        cmd::STATUS_MESSAGES,
        cmd::ALARM_DIALOGS,
        cmd::REPLAY_CONTROL,
        cmd::STATUS_WINDOW,
        cmd::SECOND_LAYER,
        cmd::EXP_CALCULATION,
    };
    return toggles.count(id) || (id >= cmd::DEPTH_UNIT_FIRST && id <= cmd::DEPTH_UNIT_LAST) ||
           (id >= cmd::TEMP_UNIT_FIRST && id <= cmd::TEMP_UNIT_LAST);
}

struct Model
{
    const char* executable;
    const char* sounderName;  // for the generic name
};

class CommandsTest : public ::testing::Test
{
protected:
    CommandsTest() { QtApp(); }

    void Start(const Model& model, std::vector<std::string> arguments = {})
    {
        if (model.sounderName) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            const std::string value = model.sounderName;
            RegSetValueEx(key, "SounderName", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
            RegCloseKey(key);
        }
        // The profiles of operation control live below the transceiver
        // list's folder: here, not beside the test.
        const std::string root = std::string("Software\\Zelvar\\EchoSounder\\") +
                                 (model.sounderName ? model.sounderName : model.executable) + "\\1.0";
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyEx(HKEY_CURRENT_USER, root.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        const std::string folder = (env.Root() / "program").string();
        RegSetValueEx(key, "TrListPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                      static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(key);
        arguments.insert(arguments.begin(), model.executable);
        program = MakeProgram(TestProgramOptions(std::move(arguments)));
        ASSERT_TRUE(program->Start());
        frame = program->Frame();
        ASSERT_NE(frame, nullptr);
        program->Application().GetHelp().viewer = [this](const std::string& page) { helpPages.push_back(page); };
    }

    // The command ids of the menu bar as the frame built it, in menu order.
    std::vector<unsigned> MenuItems() const
    {
        std::vector<unsigned> ids;
        std::function<void(QMenu*)> walk = [&](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (action->menu())
                    walk(action->menu());
                else if (!action->isSeparator())
                    ids.push_back(action->data().toUInt());
            }
        };
        for (QAction* top : frame->menuBar()->actions())
            if (top->menu())
                walk(top->menu());
        return ids;
    }

    // The items drawn with a check box once their menus have dropped down.
    std::set<unsigned> Checkable()
    {
        std::set<unsigned> checkable;
        std::function<void(QMenu*)> walk = [&](QMenu* menu) {
            Q_EMIT menu->aboutToShow();
            for (QAction* action : menu->actions()) {
                if (action->menu())
                    walk(action->menu());
                else if (!action->isSeparator() && action->isCheckable())
                    checkable.insert(action->data().toUInt());
            }
        };
        for (QAction* top : frame->menuBar()->actions())
            if (top->menu())
                walk(top->menu());
        return checkable;
    }

    bool FileMenuHolds(unsigned id) const
    {
        const QList<QAction*> tops = frame->menuBar()->actions();
        if (tops.isEmpty() || !tops.front()->menu() || tops.front()->text().remove('&') != "File")
            return false;
        for (QAction* action : tops.front()->menu()->actions())
            if (!action->menu() && !action->isSeparator() && action->data().toUInt() == id)
                return true;
        return false;
    }

    std::set<unsigned> Greyed(const std::vector<unsigned>& items)
    {
        std::set<unsigned> greyed;
        for (unsigned id : items)
            if (!frame->QueryCommand(id).enabled)
                greyed.insert(id);
        return greyed;
    }

    // What one can see of the program: every item's state, and the state
    // behind the items that have no check mark.
    std::string Snapshot(const std::vector<unsigned>& items)
    {
        std::string text;
        for (unsigned id : items) {
            const app::CCmdUI ui = frame->QueryCommand(id);
            text +=
                std::to_string(id) + (ui.enabled ? "e" : "-") + (ui.checked ? "c" : "-") + ui.text.value_or("") + " ";
        }
        text += "|palette " + std::to_string(frame->GetCurrentPalette());
        text += "|async " + std::to_string(frame->AsyncState());
        text += "|sounder " + std::to_string(program->Operation().GetEchoSounder() != nullptr);
        text += "|title " + frame->windowTitle().toStdString();
        return text;
    }

    // Runs the command as the menu does; a modal window it opens is noted
    // (and pictured when a name is given) and answered: by `answer`, which
    // closes it, or with Cancel.
    std::vector<std::string> Run(unsigned id, const std::string& picture = {},
                                 const std::function<void(QDialog&)>& answer = {})
    {
        std::vector<std::string> dialogs;
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialogs.push_back(dialog->objectName().toStdString() + " " + dialog->windowTitle().toStdString());
            if (!picture.empty())
                Screenshot(*dialog, picture);
            if (answer && dialogs.size() == 1)
                answer(*dialog);
            else
                dialog->reject();
        });
        closer.start();
        frame->RunCommand(id);
        closer.stop();
        // What the command posted (operation commands, follow-ups) runs.
        WaitFor([&] { return !program->Operation().IsBusy(); });
        QCoreApplication::processEvents();
        return dialogs;
    }

    // Cancels the installation dialog that a stop's follow-up opens, for
    // as long as it lives; whether one came.
    struct InstallationCanceller
    {
        InstallationCanceller()
        {
            timer.setInterval(10);
            QObject::connect(&timer, &QTimer::timeout, [this] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (dialog && dialog->objectName() == "CTransceiverInstallDlg") {
                    shown = true;
                    dialog->reject();
                }
            });
            timer.start();
        }
        QTimer timer;
        bool shown = false;
    };

    // Puts the program where the command has something to change: an item
    // that selects what is already selected selects something else first.
    void Prepare(unsigned id)
    {
        auto selectOther = [&](unsigned first, unsigned last) {
            if (frame->QueryCommand(id).checked)
                frame->RunCommand(id == first ? last : first);
        };
        if (id == cmd::ASYNC_MANUAL)
            frame->RunCommand(cmd::ASYNC_FAST);
        else if (id >= cmd::DEPTH_UNIT_FIRST && id <= cmd::DEPTH_UNIT_LAST)
            selectOther(cmd::DEPTH_UNIT_FIRST, cmd::DEPTH_UNIT_LAST);
        else if (id >= cmd::TEMP_UNIT_FIRST && id <= cmd::TEMP_UNIT_LAST)
            selectOther(cmd::TEMP_UNIT_FIRST, cmd::TEMP_UNIT_LAST);
        else if (id == cmd::QY_COLOURS || id == cmd::TQ_COLOURS)
            selectOther(cmd::TQ_COLOURS, cmd::QY_COLOURS);
        else if (id == cmd::PALETTE_NIGHT_FILTERED || id == cmd::PALETTE_DUSK_DAY || id == cmd::PALETTE_DAY_WHITE ||
                 id == cmd::PALETTE_BRIGHT_DAY || id == cmd::PALETTE_DAY_BLACK || id == cmd::PALETTE_NIGHT_UNFILTERED)
            selectOther(cmd::PALETTE_NIGHT_FILTERED, cmd::PALETTE_DAY_BLACK);
        else if (id == cmd::STEP)
            frame->RunCommand(app::cmd::PAUSE);
    }

    // Tries every enabled item but the ones that end something, which the
    // test runs last; each must show an effect. The items tried.
    std::set<unsigned> TryAll(const std::vector<unsigned>& items, const std::string& phase,
                              const std::string& pictures = {})
    {
        std::set<unsigned> tried;
        for (unsigned id : items) {
            if (id == cmd::APP_EXIT || id == cmd::STOP_SOUNDER)
                continue;
            Prepare(id);
            if (!frame->QueryCommand(id).enabled)
                continue;
            SCOPED_TRACE(phase + " item " + std::to_string(id));
            tried.insert(id);
            const std::string before = Snapshot(items);
            const std::size_t pages = helpPages.size();
            const CEchoSounder* sounder = program->Operation().GetEchoSounder();
            const std::uint64_t pings = sounder ? sounder->GetPingCount() : 0;
            const auto printedSize = [] {
                std::error_code error;
                const auto size = fs::file_size(CEchoSounder::DebugPingFile(), error);
                return error ? std::uintmax_t(0) : size;
            };
            const std::uintmax_t printed = printedSize();
            const auto dialogs = Run(id, pictures.empty() ? std::string() : pictures + "-" + std::to_string(id));
            if (id == cmd::STEP) {
                EXPECT_TRUE(WaitFor([&] { return sounder->GetPingCount() > pings; }, 10000)) << "one more ping";
                continue;
            }
            if (id == cmd::PRINT_DB_PING) {
                EXPECT_GT(printedSize(), printed) << "the ping appended to its file";
                continue;
            }
            EXPECT_TRUE(!dialogs.empty() || helpPages.size() > pages || Snapshot(items) != before)
                << "enabled, but nothing to be seen";
        }
        return tried;
    }

    // Pictures of the menus as they drop down.
    void PictureMenus(const std::string& name)
    {
        for (QAction* top : frame->menuBar()->actions()) {
            QMenu* menu = top->menu();
            if (!menu)
                continue;
            menu->popup(QPoint(0, 0));
            WaitFor([&] { return menu->isVisible(); });
            Screenshot(*menu, name + "-menu-" + top->text().remove('&').toStdString());
            menu->hide();
        }
    }

    void Exit()
    {
        frame->RunCommand(cmd::APP_EXIT);
        EXPECT_TRUE(WaitFor([&] { return !frame->isVisible(); })) << "Exit closes the program";
        program.reset();
    }

    // A recording of two channels that replays in a loop.
    fs::path MakeRecording()
    {
        zv::recgen::SRecGenScene scene;
        std::string error;
        for (const std::string& s :
             {std::string("pings=40"), std::string("channels=38,120"), std::string("samples=300")})
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        const fs::path raw = env.Root() / "survey.raw";
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(raw.string(), nullptr, &error)) << error;
        return raw;
    }

    ShellEnvironment env;
    std::unique_ptr<app::CProgram> program;
    app::CMainFrame* frame = nullptr;
    std::vector<std::string> helpPages;
};

class ProgramCommands : public CommandsTest, public ::testing::WithParamInterface<Model>
{};

std::set<unsigned> Expected(const std::vector<unsigned>& items, const std::set<unsigned>& a,
                            const std::set<unsigned>& b = {})
{
    std::set<unsigned> out;
    for (unsigned id : items)
        if (a.count(id) || b.count(id))
            out.insert(id);
    return out;
}

TEST_P(ProgramCommands, EveryItemWorksOrIsGreyed)
{
    const std::string model = GetParam().executable;
    const std::string pictures = model == "QY310" || model == "RM30" ? model : std::string();
    Start(GetParam());
    const std::vector<unsigned> items = MenuItems();
    ASSERT_GT(items.size(), 40u);
    EXPECT_TRUE(FileMenuHolds(cmd::FILE_PRINT)) << "\"Print...\" in the File menu";
    EXPECT_EQ(FileMenuHolds(cmd::PRINT_DB_PING), model != "RM30" && model != "TQ30")
        << "\"Print dB Ping to file\" on the QY models and TOTAL only";
    std::set<unsigned> notBuilt = kNotBuilt;
    notBuilt.merge(NoObject(model));
    EXPECT_EQ(Greyed(items), Expected(items, notBuilt, kNeedSounder));
    const std::set<unsigned> checkable = Checkable();
    std::set<unsigned> mayBeChecked;
    for (unsigned id : MenuItems())  // the unit menus as the drop-down filled them
        if (MayBeChecked(id))
            mayBeChecked.insert(id);
    EXPECT_EQ(checkable, mayBeChecked) << "only items with a check state show a check box";
    const auto tried = TryAll(items, "no sounder", pictures);
    EXPECT_TRUE(tried.count(cmd::LAYOUT) && tried.count(cmd::GRAYSCALE) && tried.count(cmd::ABOUT));
    Exit();

    Start(GetParam(), {MakeRecording().string()});
    ASSERT_TRUE(WaitFor([&] { return program->Application().IsReplaying(); }, 10000));
    EXPECT_EQ(Greyed(items), Expected(items, notBuilt, kNotWhileReplaying));
    if (!pictures.empty())
        PictureMenus(pictures);
    EXPECT_TRUE(TryAll(items, "replay", pictures.empty() ? pictures : pictures + "-replay").count(cmd::STEP));
    EXPECT_TRUE(frame->QueryCommand(cmd::STOP_SOUNDER).enabled);
    Run(cmd::STOP_SOUNDER);
    EXPECT_TRUE(WaitFor([&] { return !program->Operation().GetEchoSounder(); })) << "Stop Sounder stops it";
    EXPECT_FALSE(frame->QueryCommand(cmd::STOP_SOUNDER).enabled);
    Exit();
}

INSTANTIATE_TEST_SUITE_P(Models, ProgramCommands,
                         ::testing::Values(Model{"QY210", nullptr}, Model{"QY310", nullptr}, Model{"RM30", nullptr},
                                           Model{"TQ30", nullptr}, Model{"QYNVU", nullptr}, Model{"PELMARIS", "TOTAL"}),
                         [](const auto& info) { return std::string(info.param.executable); });

const Model kQY310{"QY310", nullptr};

// "Environment...": OK with a constant velocity makes it the program's;
// during replay the change flag opens the dialog at once.
TEST_F(CommandsTest, EnvironmentDialogSetsTheVelocity)
{
    Start(kQY310);
    const auto dialogs = Run(cmd::ENVIRONMENT, {}, [](QDialog& dialog) {
        dialog.findChild<QRadioButton*>("1329")->setChecked(true);
        dialog.findChild<QLineEdit*>("1273")->setText("1480.5");
        dialog.accept();
    });
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], "dialog_Environment Environment");
    EXPECT_DOUBLE_EQ(program->Environment().GetSoundVelocity(), 1480.5);
}

// "Layout..." offers the channels in force; OK puts the arrangement and the
// shown channels into the block of the mode and makes the new layout.
TEST_F(CommandsTest, LayoutChoiceMakesTheNewLayout)
{
    Start(kQY310, {MakeRecording().string()});
    ASSERT_TRUE(WaitFor([&] { return program->Layout() && program->Layout()->FrameCount() == 2; }, 10000));
    std::array<COperationControl::ChannelDisplay, 8> displays;
    int arrangement = -1, extra = -1;
    program->Operation().GetChannelDisplays(displays, arrangement, extra);
    std::string firstBox;
    Run(cmd::LAYOUT, {}, [&](QDialog& dialog) {
        auto& layout = dynamic_cast<app::CLayoutDialog&>(dialog);
        firstBox = layout.ChannelBox(0)->text().toStdString();
        EXPECT_TRUE(layout.ChannelBox(1)->isChecked());
        EXPECT_FALSE(layout.ChannelBox(2)->isVisible());
        layout.ChannelBox(1)->setChecked(false);
        layout.findChild<QRadioButton*>("arrangement_1")->setChecked(true);
        layout.accept();
    });
    EXPECT_EQ(firstBox, displays[0].sLongChannelID);
    ASSERT_TRUE(WaitFor([&] { return program->Layout() && program->Layout()->FrameCount() == 1; }, 10000));
    program->Operation().GetChannelDisplays(displays, arrangement, extra);
    EXPECT_EQ(arrangement, 1);
    EXPECT_EQ(displays[0].bShown, 1);
    EXPECT_EQ(displays[1].bShown, 0);
    EXPECT_EQ(program->Operation().ReplayBlock().enumViewArrangement, 1);
    Exit();
}

// "New User" makes a profile folder and takes it: the title names the user
// and the sounder stops for the installation, which follows. "Load User" goes back to the
// default profile, and the title then names none.
TEST_F(CommandsTest, UserCommandsChooseTheProfile)
{
    Start(kQY310);
    const fs::path profiles = env.Root() / "program" / "Settings";
    fs::create_directories(profiles);
    std::ofstream(env.Root() / "program" / "TrList.ini") << "ENDCOMMENTDATA\r\n";
    InstallationCanceller installation;
    Run(cmd::NEW_USER, {}, [&](QDialog& dialog) {
        auto& folder = dynamic_cast<app::CFolderDlg&>(dialog);
        EXPECT_EQ(folder.windowTitle().toStdString(), "New User");
        EXPECT_EQ(fs::path(folder.selectedPath), profiles);
        folder.findChild<QLineEdit*>("edit_name")->setText("Trawl survey");
        folder.findChild<QPushButton*>("button_new_folder")->click();
        folder.accept();
    });
    EXPECT_TRUE(WaitFor([&] { return installation.shown && !program->Operation().IsBusy(); }, 10000))
        << "the installation follows the stop";
    installation.shown = false;
    EXPECT_TRUE(fs::is_directory(profiles / "Trawl survey"));
    EXPECT_EQ(program->Application().GetMcuMode(), "Trawl survey");
    EXPECT_TRUE(WaitFor([&] { return frame->windowTitle() == "QY310      User: Trawl survey"; }));

    Run(cmd::LOAD_USER, {}, [&](QDialog& dialog) {
        auto& folder = dynamic_cast<app::CFolderDlg&>(dialog);
        EXPECT_EQ(folder.windowTitle().toStdString(), "Load User");
        EXPECT_FALSE(folder.findChild<QPushButton*>("button_new_folder")->isEnabled());
        folder.selectedPath = (profiles / "Default").string();
        folder.accept();
    });
    EXPECT_TRUE(WaitFor([&] { return installation.shown && !program->Operation().IsBusy(); }, 10000));
    EXPECT_EQ(program->Application().GetMcuMode(), "");
    EXPECT_TRUE(WaitFor([&] { return frame->windowTitle() == "QY310"; }));
    Exit();
}

// "Factory Settings" asks first: Cancel keeps everything, OK sets the
// operation settings back, and with them the environment's and the
// network output's.
TEST_F(CommandsTest, FactorySettingsAsksAndThenRestores)
{
    Start(kQY310);
    Run(cmd::LAYOUT, {}, [&](QDialog& dialog) {
        dialog.findChild<QRadioButton*>("arrangement_2")->setChecked(true);
        dialog.accept();
    });
    CEnvironment& environment = program->Environment();
    ASSERT_TRUE(environment.SetSvpType(CEnvironment::SvpTypeProfile));
    CQYNet* net = program->Application().Sensor<CQYNet>(app::SensorId::NetworkOutput);
    ASSERT_NE(net, nullptr);
    CQYNet::Settings changed = net->GetSettings();
    changed.DestPort = CQYNet::Settings{}.DestPort + 1;
    net->ApplySettings(changed);
    // Without transceivers the replay settings are the ones in force.
    const auto arrangement = [&] { return program->Operation().ReplayBlock().enumViewArrangement; };
    ASSERT_EQ(arrangement(), 2);
    EXPECT_EQ(Run(cmd::FACTORY_SETTINGS), std::vector<std::string>{"dialog_154 Factory Settings"});
    EXPECT_EQ(arrangement(), 2);
    EXPECT_TRUE(environment.IsRealSvp());
    EXPECT_EQ(net->GetSettings().DestPort, changed.DestPort);
    Run(cmd::FACTORY_SETTINGS, {}, [](QDialog& dialog) { dialog.accept(); });
    EXPECT_TRUE(WaitFor([&] { return arrangement() == 0; }));
    EXPECT_FALSE(environment.IsRealSvp());
    EXPECT_EQ(environment.GetSettings().svpType, CEnvironment::SvpTypeConstant);
    EXPECT_EQ(net->GetSettings().DestPort, CQYNet::Settings{}.DestPort);
    Exit();
}

// The check mark of "Grayscale" is what the echograms show: grey colours
// while it is checked, the model's colours while it is not.
TEST_F(CommandsTest, GrayscaleShowsTheColoursInForce)
{
    Start(kQY310);
    CPaletteControl& palettes = program->Palettes();
    const auto grey = [&](int palette) {
        COLORREF c = 0;
        EXPECT_TRUE(palettes.GetEntryColour(palette, PALETTEINDEX(160), &c));
        return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
    };
    const int current = frame->GetCurrentPalette();
    for (bool checked : {true, false, true}) {
        EXPECT_EQ(frame->QueryCommand(cmd::GRAYSCALE).checked, checked);
        EXPECT_EQ(grey(current), checked);
        EXPECT_EQ(grey(0), checked);
        frame->RunCommand(cmd::GRAYSCALE);
    }
    Exit();
}

// "History..." opens on the newest pair of the history folder, and the main
// frame applies its colours again when the dialog closes.
TEST_F(CommandsTest, HistoryShowsTheNewestPairAndAppliesTheColoursAgain)
{
    Start(kQY310);
    const fs::path folder = env.Root() / "history";
    fs::create_directories(folder);
    // Three pages written an hour apart, the newest the middle one by name.
    const char* names[] = {"H0001-D20260101-T000000.bmp", "H0003-D20260101-T020000.bmp", "H0002-D20260101-T010000.bmp"};
    for (int i = 0; i < 3; ++i) {
        CDIBSection dib;
        ASSERT_TRUE(dib.Create(320, 420, 4, DIB_RGB_COLORS) && dib.CreateSection());
        // Bands of the echogram colours 1 to 12, one page shifted from the next.
        for (int row = 0; row < 420; ++row) {
            const BYTE colour = static_cast<BYTE>(1 + (row / 35 + 4 * i) % 12);
            std::memset(dib.GetBits() + row * CDIBSection::RowBytes(320, 4), colour << 4 | colour,
                        CDIBSection::RowBytes(320, 4));
        }
        CFile file;
        ASSERT_TRUE(file.Open((folder / names[i]).string(), CFile::modeCreate | CFile::modeWrite) && dib.Save(file));
        file.Close();
        fs::last_write_time(folder / names[i], fs::file_time_type::clock::now() - std::chrono::hours(3 - i));
    }
    program->Application().SetHistoryPath(folder.string());
    ASSERT_TRUE(frame->QueryCommand(cmd::HISTORY).enabled);

    int applied = 0;
    auto apply = frame->applyEchogramColours;
    frame->applyEchogramColours = [&](app::EchogramColourSet set, int scheme) {
        ++applied;
        if (apply)
            apply(set, scheme);
    };
    std::string left, right;
    const auto dialogs = Run(cmd::HISTORY, "QY310-history", [&](QDialog& dialog) {
        auto& history = dynamic_cast<CHistoryDialog&>(dialog);
        left = fs::path(history.Left().File()).filename().string();
        right = fs::path(history.Right().File()).filename().string();
        dialog.accept();
    });
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(dialogs[0].find(" History"), std::string::npos);
    EXPECT_EQ(left, names[0]) << "the entry before the newest, in name order";
    EXPECT_EQ(right, names[2]) << "the newest on the right";
    EXPECT_EQ(applied, 1) << "the colour scheme applied again on closing";
    frame->applyEchogramColours = apply;
    Exit();
}

}  // namespace
