// The operation dialog, its simple pinger settings and the channel status
// window offscreen: which controls the mode, the files and the pacing
// switches allow, the file choice and its options, and the texts of the
// channel columns.
#include "engine/ui/OperationDialog.h"
#include "engine/ui/ChannelStatusDialog.h"
#include "engine/ui/SimplePingerSettingsDialog.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using shelltest::Control;
using shelltest::Screenshot;

bool Enabled(QWidget& w, int id)
{
    auto* c = Control<QWidget>(w, id);
    return c && c->isEnabled();
}

struct Links : IOperationDialogLinks
{
    bool ChooseReplayFiles(QWidget*, int& loop, int& saveData, int& changeInstallation, int& changeSvp,
                           std::vector<std::string>& files) override
    {
        ++chosen;
        presets = {loop, saveData, changeInstallation, changeSvp};
        if (!answer)
            return false;
        loop = 0;
        saveData = 1;
        changeInstallation = 1;
        changeSvp = 1;
        files = paths;
        return true;
    }
    bool IsRecording() override { return recording; }
    std::string GetHistoryPath() override { return "/history"; }
    void SetHistoryPath(const std::string&) override {}
    void RememberRate(int rate) override { remembered = rate; }
    int RememberedRate() override { return remembered; }

    bool answer = true;
    std::vector<std::string> paths;
    int chosen = 0;
    std::array<int, 4> presets{};
    bool recording = false;
    int remembered = -1;
};

class OperationDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        ClearMessageBoxRecord();
    }
    SOperationDialogValues Values(SounderModel model, int installed)
    {
        SOperationDialogValues v;
        v.model = model;
        v.installedChannels = installed;
        for (int i = 0; i < installed; ++i)
            v.channelNames.push_back("UNIT " + std::to_string(i + 1));
        v.mode = installed ? 0 : 1;
        return v;
    }
    Links links;
};

}  // namespace

// What each start allows: normal operation only with installed channels, OK
// only with something to run, trigger and sequences only in normal
// operation, multipulse not in replay, the pinger only where it exists, and
// no rate while HBX or the simple pinger paces the pings.
TEST_F(OperationDialogTest, StartStateFollowsModeFilesAndPacing)
{
    struct Row
    {
        const char* legend;
        SounderModel model;
        int installed;
        int mode;
        bool files, hbx, pinger;
        bool normal, ok, trigger, rates, multiPulse, pingerMode;
    };
    const Row rows[] = {
        {"nothing installed, no files", SounderModel::QY310, 0, 1, false, false, false, false, false, false, true,
         false, false},
        {"nothing installed, files", SounderModel::QY310, 0, 1, true, false, false, false, true, false, true, false,
         false},
        {"normal operation", SounderModel::QY310, 2, 0, false, false, false, true, true, true, true, true, false},
        {"replay with files", SounderModel::QY310, 2, 1, true, false, false, true, true, false, true, false, false},
        {"replay, the pinger mode built", SounderModel::QY310, 2, 1, true, false, true, true, true, false, true, false,
         true},
        {"HBX paces", SounderModel::QYNVU, 2, 0, false, true, true, true, true, true, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        SOperationDialogValues v = Values(r.model, r.installed);
        v.mode = r.mode;
        v.hbx = r.hbx;
        v.pingerAvailable = r.pinger;
        if (r.files) {
            v.files.emplace();
            v.files->AddTail("/data/a.raw");
        }
        COperationDialog dialog(v, links);
        EXPECT_EQ(dialog.objectName(), "261");
        EXPECT_EQ(Control<QRadioButton>(dialog, r.mode ? 1038 : 1031)->isChecked(), true);
        EXPECT_EQ(Enabled(dialog, 1031), r.normal);
        EXPECT_EQ(Enabled(dialog, 1), r.ok);
        EXPECT_EQ(Enabled(dialog, 1197), r.trigger);
        EXPECT_EQ(Enabled(dialog, 1199), r.trigger);
        for (int id : {1032, 1039, 1040, 1119, 1120, 1537})
            EXPECT_EQ(Enabled(dialog, id), r.rates) << id;
        EXPECT_EQ(Enabled(dialog, 1033), r.multiPulse);
        EXPECT_EQ(Enabled(dialog, 1034), r.pingerMode);
    }
    SOperationDialogValues v = Values(SounderModel::QY210, 1);
    COperationDialog plain(v, links);
    EXPECT_EQ(plain.windowTitle(), "Operation");
    EXPECT_EQ(plain.findChild<QRadioButton*>("1033"), nullptr);
    EXPECT_EQ(plain.findChild<QRadioButton*>("1034"), nullptr);
    Screenshot(plain, "operation-149");
}

// "Files...": the presets come from the list (or Loop alone) and the
// environment's flag; OK of the file dialog makes a new list in file-time
// order with the options and switches to replay; a choice that leaves no
// file drops the list and goes back to normal operation.
TEST_F(OperationDialogTest, FilesMakeANewListInTimeOrderAndChooseReplay)
{
    const fs::path folder = fs::temp_directory_path() / ("zv-operation-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path later = folder / "later.raw", earlier = folder / "earlier.raw";
    std::ofstream(later) << "x";
    std::ofstream(earlier) << "x";
    fs::last_write_time(earlier, fs::last_write_time(later) - std::chrono::hours(1));

    SOperationDialogValues v = Values(SounderModel::QY310, 1);
    v.changeSvp = true;
    COperationDialog dialog(v, links);
    links.paths = {later.string(), earlier.string()};
    Control<QPushButton>(dialog, 1125)->click();
    EXPECT_EQ(links.presets, (std::array<int, 4>{1, 0, 0, 1}));
    const SOperationDialogValues& out = dialog.Values();
    ASSERT_TRUE(out.files.has_value());
    EXPECT_EQ(out.files->GetFiles(), (std::vector<std::string>{earlier.string(), later.string()}));
    EXPECT_EQ(out.files->m_loop, 0);
    EXPECT_EQ(out.files->m_saveData, 1);
    EXPECT_EQ(out.files->m_changeInstallation, 1);
    EXPECT_TRUE(out.newFiles);
    EXPECT_TRUE(out.changeSvp);
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1038)->isChecked());
    EXPECT_TRUE(Enabled(dialog, 1));
    EXPECT_FALSE(Enabled(dialog, 1197));
    Screenshot(dialog, "operation-261");

    // Again: the presets are the list's now; a choice of nothing drops it.
    links.paths = {};
    Control<QPushButton>(dialog, 1125)->click();
    EXPECT_EQ(links.presets, (std::array<int, 4>{0, 1, 1, 1}));
    EXPECT_FALSE(dialog.Values().files.has_value());
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1031)->isChecked());
    fs::remove_all(folder);
}

// "Replay" without files asks for them at once; Cancel there leaves
// normal operation where channels are installed, and nothing to confirm
// where none are.
TEST_F(OperationDialogTest, ReplayWithoutFilesAsksForThem)
{
    links.answer = false;
    for (int installed : {1, 0}) {
        SCOPED_TRACE(installed);
        SOperationDialogValues v = Values(SounderModel::QY310, installed);
        COperationDialog dialog(v, links);
        const int before = links.chosen;
        Control<QRadioButton>(dialog, 1038)->click();
        EXPECT_EQ(links.chosen, before + 1);
        EXPECT_EQ(Control<QRadioButton>(dialog, 1031)->isChecked(), installed == 1);
        EXPECT_EQ(Enabled(dialog, 1), installed == 1);
    }
}

// "HBX" and "Simple Pinger" keep the rate while they pace the pings and give
// it back when both are off; HBX stops a recording that runs.
TEST_F(OperationDialogTest, PacingSwitchesKeepTheRateAndHbxStopsRecording)
{
    int toggles = 0;
    HWND frame = CreateMessageWindow([&](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m == WM_COMMAND && w == app::cmd::RECORD_TOGGLE)
            ++toggles;
        return 0;
    });
    SetMainWindow(frame);
    SOperationDialogValues v = Values(SounderModel::QY310, 1);
    v.rate = 2;
    COperationDialog dialog(v, links);
    links.recording = true;
    Control<QCheckBox>(dialog, 1535)->click();
    Control<QCheckBox>(dialog, 1536)->click();
    EXPECT_EQ(links.remembered, 2);
    EXPECT_FALSE(Enabled(dialog, 1040));
    Control<QRadioButton>(dialog, 1032)->setChecked(true);
    Control<QCheckBox>(dialog, 1535)->click();
    EXPECT_FALSE(Enabled(dialog, 1040)) << "the simple pinger still paces";
    Control<QCheckBox>(dialog, 1536)->click();
    EXPECT_TRUE(Enabled(dialog, 1040));
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1040)->isChecked());
    MSG msg;
    while (PeekMessage(&msg))
        DispatchMessage(&msg);
    EXPECT_EQ(toggles, 1);
    SetMainWindow(0);
    DestroyWindow(frame);
}

// OK takes every control; an interval outside 0 to 3600 s keeps the dialog
// open with the field at fault.
TEST_F(OperationDialogTest, OkTakesTheControlsAndChecksTheInterval)
{
    SOperationDialogValues v = Values(SounderModel::QY310, 1);
    COperationDialog dialog(v, links);
    Control<QRadioButton>(dialog, 1040)->setChecked(true);
    Control<QLineEdit>(dialog, 1119)->setText("3600.5");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    Control<QLineEdit>(dialog, 1119)->setText("0.25");
    for (int id : {1197, 1198, 1361, 1199})
        Control<QCheckBox>(dialog, id)->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SOperationDialogValues& out = dialog.Values();
    EXPECT_EQ(out.rate, 2);
    EXPECT_EQ(out.interval, 0.25);
    EXPECT_TRUE(out.externalTrigger && out.history && out.synchronise && out.sequence);
    EXPECT_FALSE(out.hbx || out.simplePinger);
}

TEST_F(OperationDialogTest, SimplePingerSettingsOfferTheInstalledChannels)
{
    CSimplePingerSettingsDialog dialog(2.0, 12.0, "UNIT 2", {"UNIT 1", "UNIT 2"});
    EXPECT_EQ(Control<QComboBox>(dialog, 1613)->currentText(), "UNIT 2");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1121)->text(), "2.00");
    Screenshot(dialog, "simple-pinger-281");
    Control<QComboBox>(dialog, 1613)->setCurrentIndex(0);
    Control<QLineEdit>(dialog, 1551)->setText("7.5");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Source(), "UNIT 1");
    EXPECT_EQ(dialog.PulseLength(), 7.5);
    EXPECT_EQ(dialog.Interval(), 2.0);
}

// One column per channel, up to four; the window is as wide as its columns.
// Replayed ids lose a leading "Replay " and only that.
TEST_F(OperationDialogTest, ChannelStatusColumns)
{
    CChannelStatusDialog dialog;
    dialog.SetChannelIds({"Replay 38 kHz", "120", "CH3", "ReplayX", "E", "F", "G", "H"}, true);
    CChannel::StatusValues a;
    a.Draught = 5.25;
    a.PulseLength = 0.001024;
    a.Power = 999.9;
    a.MinimumDepth = 2.0;
    a.MaximumDepth = 250.04;
    a.BackStep = -50.7;
    a.TvgType = 3;
    CChannel::StatusValues b = a;
    b.TvgType = 4;
    CChannel::StatusValues c = a;
    c.TvgType = 1;
    c.Power = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 8; ++i)
        dialog.SetChannel(i, i == 0 ? a : i == 1 ? b : c);

    dialog.SetChannelCount(1);
    dialog.Refresh();
    dialog.show();
    const int narrow = dialog.width();
    EXPECT_FALSE(dialog.Field("name", 2)->isVisible());
    EXPECT_EQ(dialog.Field("name", 1)->text(), "38 kHz");
    EXPECT_EQ(dialog.Field("draught", 1)->text(), "  5.2");
    EXPECT_EQ(dialog.Field("pulselength", 1)->text(), "1.024");
    EXPECT_EQ(dialog.Field("power", 1)->text(), "999");
    EXPECT_EQ(dialog.Field("mindepth", 1)->text(), "2.0");
    EXPECT_EQ(dialog.Field("maxdepth", 1)->text(), "250.0");
    EXPECT_EQ(dialog.Field("backstep", 1)->text(), "-50");
    EXPECT_EQ(dialog.Field("tvg", 1)->text(), "20logR");
    EXPECT_EQ(dialog.Field("name", 2)->text(), "") << "a column not shown is not filled";

    dialog.SetChannelCount(6);
    dialog.Refresh();
    EXPECT_GT(dialog.width(), narrow + 150);
    EXPECT_TRUE(dialog.Field("name", 4)->isVisible());
    EXPECT_EQ(dialog.Field("name", 4)->text(), "ReplayX");
    EXPECT_EQ(dialog.Field("tvg", 2)->text(), "30 log R");
    EXPECT_EQ(dialog.Field("tvg", 3)->text(), "No TVG");
    EXPECT_EQ(dialog.Field("power", 3)->text(), "0") << "a value of no number";

    // The operator's height survives refreshes and a new channel count.
    const int wide = dialog.width(), tall = dialog.height() + 120;
    dialog.resize(wide, tall);
    dialog.SetChannelCount(6);
    dialog.Refresh();
    EXPECT_EQ(dialog.size(), QSize(wide, tall));
    dialog.SetChannelCount(2);
    EXPECT_LT(dialog.width(), wide);
    EXPECT_EQ(dialog.height(), tall);
    dialog.SetChannelCount(6);
    Screenshot(dialog, "channel-status-251");

    dialog.SetChannelIds({"X", "Y", "Z", "W", "", "", "", ""}, false);
    dialog.SetChannelCount(0);
    dialog.Refresh();
    EXPECT_EQ(dialog.Field("name", 1)->text(), "38 kHz") << "no channel: the texts stay";
}
