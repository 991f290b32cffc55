// The installation's two dialogs as windows, on a small transceiver list
// written by the test: what the mode dialog posts; what the installation
// dialog lets the operator change in each mode, what OK writes, the colour
// of each kind of line, the transducer taken from the list, and the
// calibration tool (a script of the test's own in place of the real tool).
// Pictures of both go to the temporary folder for a person to look at.
#include "transceivers/ui/TrInstModeDialog.h"
#include "transceivers/ui/TransceiverInstallDlg.h"

#include "app/widgets/IPAddressDialog.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"
#include "platform/TempHives.h"
#include "platform/TempMachine.h"
#include "sim/hxu/HxuSimulator.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/ui/QtTestApp.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/DruDriverInstall.h"
#include "transceivers/tests/TestInstallation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using zv::test::ControlById;
using zv::test::QtTestApp;

constexpr const char* kUnit = "QY310 HXU V2.1 0A1B2C3D4E5F";  // a unit's description: its block is "QY310 HXU V"
constexpr std::uint32_t kUnitAddress = 0x7F000002;            // 127.0.0.2
const QColor kPaletteText(10, 20, 200);                       // what the test's palette has at index 79
const QColor kInstalledFound(42, 210, 126);
const QColor kInstalledMissing(180, 60, 48);

// A transceiver list of one two-channel network unit and one ISA card, and
// three transducers. CR LF lines as delivered.
std::string TrListText(const std::string& gain38 = "26.5 26.5 26.5 26.5 26.5")
{
    const std::string lines[] = {
        "A test list",
        "ENDCOMMENTDATA",
        "DRUMAPPING",
        "001: DRU T38 SINGLE  ",
        "ENDDRUMAPPING",
        "TRANSCEIVERDATA",
        "QY310 HXU V",
        "BEAMTYPE=SPLIT",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=38",
        "TRANSDUCER=T38-12 ",
        "TRANSDUCER=T38-7 ",
        "MINMEDMAXTXPOWER=100 500 1000",
        "ENDCHANNEL",
        "CHANNEL2",
        "KHZ=120",
        "TRANSDUCER=T120-7 ",
        "ENDCHANNEL",
        "ENDHXUTRANSCEIVER",
        "DRU T38 SINGLE",
        "CHANNEL1",
        "KHZ=38",
        "TRANSDUCER=T38-12 ",
        "ENDCHANNEL",
        "ENDDRUTRANSCEIVER",
        "ENDTRANSCEIVERDATA",
        "TRANSDUCERDATA",
        "T38-12",
        "FREQUENCY=38000",
        "BEAMTYPE=SINGLE",
        "GAIN=24 24 24 24 24",
        "MAXTXPOWER=1000",
        "ENDTRANSDUCER",
        "T38-7",
        "FREQUENCY=38500",
        "BEAMTYPE=SPLIT",
        "EQUIVALENT2WAYBEAMANGLE=-20.6",
        "GAIN=" + gain38,
        "MAXTXPOWER=2000",
        "THREEDBBEAMWIDTHALONGSHIP=7.1",
        "THREEDBBEAMWIDTHATHWARTSHIP=7.2",
        "ANGLESENSITIVITYALONGSHIP=21.9",
        "ANGLESENSITIVITYATHWARTSHIP=22.1",
        "OFFSETALONGSHIP=0.05",
        "OFFSETATHWARTSHIP=-0.04",
        "TRANDUCERIMPEDANCE=75",
        "ENDTRANSDUCER",
        "T120-7",
        "FREQUENCY=120000",
        "MAXTXPOWER=500",
        "ENDTRANSDUCER",
        "ENDTRANSDUCERDATA",
    };
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

class InstallationDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QtTestApp();
        // A blank and a quote in the folder: no shell ever reads the path.
        folder = fs::path(hives.Folder()) / "the program's folder";
        fs::create_directories(folder);
        std::ofstream(folder / "TrList.ini", std::ios::binary) << TrListText();
        ClearMessageBoxRecord();
    }
    void TearDown() override
    {
        SetMessageBoxPresenter(nullptr);
        reg.CloseRootKeys();
    }

    // The installation of the model, with the test's list.
    void Make(SounderModel model, const char* root)
    {
        ASSERT_TRUE(reg.OpenRootKeys(std::string("Zelvar\\EchoSounder\\") + root + "\\1.0\\"));
        installation = std::make_unique<CTransceiverInstallation>();
        installation->SetModel(model);
        installation->SetTrListPath(folder.string() + "/");
        installation->Initialize();
    }

    // The unit's two channels as candidates, found on the network or not.
    void AddCandidates(bool found)
    {
        CTrListFile& file = installation->TrListFile();
        if (!file.IsLoaded())
            file.LoadTrListText(folder.string() + "/");
        std::vector<std::unique_ptr<CTrList>> built;
        ASSERT_EQ(file.BuildFromTrList(kUnit, kUnitAddress, "Rev 2.1", "127.0.0.1", {}, built), CTrListFile::kBuilt);
        for (auto& e : built) {
            e->found = found ? 1 : 0;
            installation->ChannelList().push_back(std::move(e));
        }
    }

    // The installation command in the mode, the dialog driven by the test
    // while it is open (it is shown, not run in a loop of its own).
    void Run(int mode, const std::function<void(CTransceiverInstallation&)>& before,
             const std::function<void(CTransceiverInstallDlg&)>& drive)
    {
        installation->SetInstallationDialog([&](CTransceiverInstallation& inst) {
            if (before)
                before(inst);
            CTransceiverInstallDlg dialog(inst, [this](int index) {
                askedIndices.push_back(index);
                return kPaletteText;
            });
            dialog.SetToolFolder(folder.string());
            dialog.show();
            QCoreApplication::processEvents();
            drive(dialog);
            dialog.close();
        });
        installation->RunInstallation(mode);
    }

    static int Row(CTransceiverInstallDlg& dialog, int channelNo)
    {
        auto* list = dialog.findChild<QListWidget*>(QString::number(CTransceiverInstallDlg::kChannelListId));
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().contains(QString(" %1 ").arg(channelNo)))
                return i;
        return -1;
    }

    static void Select(CTransceiverInstallDlg& dialog, int row)
    {
        ControlById<QListWidget>(dialog, CTransceiverInstallDlg::kChannelListId)->setCurrentRow(row);
    }

    static void Choose(CTransceiverInstallDlg& dialog, const QString& transducer)
    {
        auto* combo = ControlById<QComboBox>(dialog, CTransceiverInstallDlg::kTransducerId);
        const int i = combo->findText(transducer);
        ASSERT_GE(i, 0) << transducer.toStdString();
        combo->setCurrentIndex(i);
    }

    std::vector<std::string> InstalledDescriptions()
    {
        std::vector<std::string> out;
        for (int t = 0; t < installation->GetTransceiverCount(); ++t)
            for (int c = 0; c < installation->GetTransceiverInfo(t)->channelCount; ++c)
                out.push_back(installation->GetTransceiverChannel(t, c)->description);
        return out;
    }

    CTempHives hives;
    CRegistrySupport reg;
    fs::path folder;
    std::unique_ptr<CTransceiverInstallation> installation;
    std::vector<int> askedIndices;
};

// Pixels of exactly the colour within the line's rectangle of the list.
int PixelsOfColour(QListWidget& list, int row, const QColor& colour)
{
    const QImage image = list.viewport()->grab().toImage();
    const QRect rect = list.visualItemRect(list.item(row));
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                ++n;
    return n;
}

}  // namespace

TEST(TrInstModeDialog, InspectAndModifyPostTheirCommandsCancelNothing)
{
    QtTestApp();
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> posted;
    HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM l) {
        posted.emplace_back(message, w, l);
        return LRESULT{0};
    });
    SetMainWindow(frame);
    auto press = [&](int id) {
        CTrInstModeDialog dialog;
        QTimer::singleShot(0, &dialog, [&] { ControlById<QPushButton>(dialog, id)->click(); });
        const int result = dialog.exec();
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
        return result;
    };
    {
        CTrInstModeDialog dialog;
        EXPECT_EQ(dialog.windowTitle(), "Transceiver Installation Mode");
        EXPECT_EQ(ControlById<QPushButton>(dialog, 1209)->text(), "Inspect");
        EXPECT_EQ(ControlById<QPushButton>(dialog, 1210)->text(), "Modify");
        EXPECT_EQ(ControlById<QPushButton>(dialog, 2)->text(), "Cancel");
        QStringList texts;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            texts << label->text();
        EXPECT_TRUE(texts.contains("Click the inspect button if you just want to take\na look at the current "
                                   "installation."));
        EXPECT_TRUE(texts.contains("Click the modify button if you intend to alter the \ncurrent installation."));
        EXPECT_TRUE(texts.contains("All echosounder activity must be halted  before installing new \ntransceiver "
                                   "hardware or uninstalling existig transceiver."));
        dialog.show();
        dialog.grab().save("/tmp/zv-trinstmode.png");
    }
    EXPECT_EQ(press(2), QDialog::Rejected);
    EXPECT_TRUE(posted.empty()) << "Cancel posts nothing";
    press(1209);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], std::make_tuple(UINT{WM_COMMAND}, WPARAM{app::cmd::INSPECT_INSTALLATION}, LPARAM{0}));
    posted.clear();
    press(1210);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], std::make_tuple(UINT{app::WM_ES_OPERATIONCOMMAND}, WPARAM{app::OC_STOP},
                                         LPARAM{app::cmd::RESTART_FROM_INSTALLATION}))
        << "a stop whose follow-up is the installation in the modify mode";
    DestroyWindow(frame);
    SetMainWindow(0);
}

// Looking, or a running sounder: the transducer choice, the address button
// and the deck unit are disabled, and OK writes nothing.
TEST_F(InstallationDialogs, InspectModeAndARunningSounderChangeNothing)
{
    Make(SounderModel::RM30, "RM30");
    InstallTestChannels(*installation, "KEPT", 1);
    bool sounder = false;
    installation->SetSounderExists([&] { return sounder; });
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode == 0 ? "inspect" : "modify with a running sounder");
        sounder = mode == 1;
        Run(
            mode, [&](CTransceiverInstallation&) { AddCandidates(true); },
            [&](CTransceiverInstallDlg& dialog) {
                auto* list = ControlById<QListWidget>(dialog, CTransceiverInstallDlg::kChannelListId);
                ASSERT_EQ(list->count(), 3) << "the installed channel and the unit's two";
                Select(dialog, Row(dialog, 1));
                EXPECT_GT(ControlById<QComboBox>(dialog, CTransceiverInstallDlg::kTransducerId)->count(), 1);
                EXPECT_FALSE(ControlById<QComboBox>(dialog, CTransceiverInstallDlg::kTransducerId)->isEnabled());
                EXPECT_FALSE(ControlById<QPushButton>(dialog, CTransceiverInstallDlg::kSetAddressId)->isEnabled());
                EXPECT_FALSE(ControlById<QCheckBox>(dialog, CTransceiverInstallDlg::kEnableDeckUnitId)->isEnabled());
                EXPECT_FALSE(ControlById<QWidget>(dialog, CTransceiverInstallDlg::kDeckUnitIpId)->isEnabled());
                dialog.accept();
            });
        EXPECT_EQ(InstalledDescriptions(), std::vector<std::string>{"KEPT 1"});
        EXPECT_TRUE(MessageBoxRecord().empty()) << "not even asked";
    }
}

// Modify: the chosen transducer fills the channel from the list and names
// it; a candidate left at "NONE" is not installed; the deck unit is stored.
TEST_F(InstallationDialogs, ChosenTransducerIsTakenFromTheListAndOnlyChosenChannelsAreInstalled)
{
    Make(SounderModel::RM30, "RM30");
    Run(
        1, [&](CTransceiverInstallation&) { AddCandidates(true); },
        [&](CTransceiverInstallDlg& dialog) {
            EXPECT_EQ(ControlById<QLabel>(dialog, CTransceiverInstallDlg::kNetworkIpId)->text().toStdString(),
                      installation->GetMaskedPcAddress());
            Select(dialog, Row(dialog, 1));
            auto* combo = ControlById<QComboBox>(dialog, CTransceiverInstallDlg::kTransducerId);
            EXPECT_TRUE(combo->isEnabled());
            QStringList choices;
            for (int i = 0; i < combo->count(); ++i)
                choices << combo->itemText(i);
            EXPECT_EQ(choices, (QStringList{"NONE", "T38-12", "T38-7"}));
            EXPECT_EQ(combo->currentText(), "NONE");
            EXPECT_EQ(ControlById<QLabel>(dialog, CTransceiverInstallDlg::kTransceiverIpId)->text(), "127.0.0.2");
            EXPECT_EQ(ControlById<QLabel>(dialog, CTransceiverInstallDlg::kConsoleIpId)->text(), "127.0.0.1");
            Choose(dialog, "T38-7");
            const CTrList& chosen = *installation->ChannelList()[0];
            EXPECT_EQ(chosen.transducerName, "T38-7");
            EXPECT_EQ(chosen.frequency, 38500.0);
            EXPECT_EQ(chosen.gain, "26.5 26.5 26.5 26.5 26.5");
            EXPECT_EQ(chosen.txPower, 2000.0);
            EXPECT_EQ(chosen.beamType, 1);
            EXPECT_EQ(chosen.twoWayBeamAngle, -20.6);
            EXPECT_EQ(chosen.beamWidthAthwartship, 7.2);
            EXPECT_EQ(chosen.angleSensitivityAlongship, 21.9);
            EXPECT_EQ(chosen.offsetAthwartship, -0.04);
            EXPECT_EQ(chosen.transducerImpedance, 75.0);
            EXPECT_EQ(chosen.minMedMaxTxPower, "100 500 1000") << "the channel's own values stay";
            EXPECT_EQ(chosen.description, "HXU  38 kHz 0A1B2C3D4E5F 1 T38-7");
            auto* list = ControlById<QListWidget>(dialog, CTransceiverInstallDlg::kChannelListId);
            EXPECT_EQ(list->item(Row(dialog, 1))->text().toStdString(), chosen.description);
            EXPECT_EQ(list->currentRow(), Row(dialog, 1)) << "selected again";
            ControlById<QCheckBox>(dialog, CTransceiverInstallDlg::kEnableDeckUnitId)->click();
            dialog.SetIpAddressText("10.1.2.3");
            dialog.grab().save("/tmp/zv-trinstall.png");
            dialog.accept();
        });
    ASSERT_EQ(InstalledDescriptions(), std::vector<std::string>{"HXU  38 kHz 0A1B2C3D4E5F 1 T38-7"})
        << "channel 2 stayed at NONE";
    EXPECT_EQ(installation->GetTransceiverChannel(0, 0)->gain[0], 26.5);
    EXPECT_EQ(installation->GetEnableDeckUnit(), 1u);
    EXPECT_EQ(installation->GetDeckUnitIp(), "10.1.2.3");
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(MessageBoxRecord()[0].text, "Do you really want to change the installation?");
}

// An installed channel whose transceiver the list does not describe keeps
// its transducer through OK.
TEST_F(InstallationDialogs, InstalledChannelOutsideTheListKeepsItsTransducer)
{
    Make(SounderModel::RM30, "RM30");
    {
        HKEY key = installation->OpenChannelsKey();
        CTrList e;
        e.transceiverId = "OTHER UNIT V1 001122334455";
        e.channelNo = 1;
        e.transducerName = "T50-9";
        const std::string description = "kept channel";
        e.FormatDescription(&description, TransceiverType::HXU);
        installation->WriteChannelEntry(e, key);
        RegCloseKey(key);
    }
    Run(1, nullptr, [&](CTransceiverInstallDlg& dialog) {
        Select(dialog, 0);
        EXPECT_EQ(ControlById<QComboBox>(dialog, CTransceiverInstallDlg::kTransducerId)->currentIndex(), -1);
        dialog.accept();
    });
    ASSERT_EQ(installation->GetTransceiverCount(), 1);
    EXPECT_EQ(installation->GetTransceiverChannel(0, 0)->transducerName, "T50-9");
}

TEST_F(InstallationDialogs, NineChosenChannelsAreRefusedAndNothingIsWritten)
{
    Make(SounderModel::RM30, "RM30");
    InstallTestChannels(*installation, "KEPT", 1);
    Run(
        1,
        [&](CTransceiverInstallation& inst) {
            for (int n = 0; n < 5; ++n)
                AddCandidates(true);
            // Nine of the ten with a transducer, each a unit of its own.
            int i = 0;
            for (auto& e : inst.ChannelList()) {
                if (!e->installed) {
                    e->ethernetAddress = "0A1B2C3D4E" + std::to_string(10 + i);
                    e->transceiverId = "QY310 HXU V2.1 " + e->ethernetAddress;
                    e->transducerName = i < 9 ? (e->channelNo == 1 ? "T38-12" : "T120-7") : "NONE";
                    e->FormatDescription(nullptr, e->type);
                    ++i;
                }
            }
        },
        [&](CTransceiverInstallDlg& dialog) { dialog.accept(); });
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(MessageBoxRecord()[0].text, "Max. number of transceiver channels = 8");
    EXPECT_EQ(InstalledDescriptions(), std::vector<std::string>{"KEPT 1"});
}

// The four kinds of lines, and the ISA card's lines, which its presence
// makes found. Seen in the list as it draws them.
TEST_F(InstallationDialogs, LinesAreDrawnInTheColourOfTheirKind)
{
    Make(SounderModel::RM30, "RM30");
    InstallTestChannels(*installation, "GONE", 1);
    InstallTestChannels(*installation, "CARD", 1, TransceiverType::DRU);
    Run(
        0,
        [&](CTransceiverInstallation& inst) {
            // The registry's channels come first; a unit like the one that
            // is gone answered.
            const auto gone = std::find_if(inst.ChannelList().begin(), inst.ChannelList().end(),
                                           [](const auto& e) { return e->description == "GONE 1"; });
            ASSERT_NE(gone, inst.ChannelList().end());
            inst.ChannelList().push_back(std::make_unique<CTrList>(**gone));
            CTrList& answered = *inst.ChannelList().back();
            answered.found = 1;
            answered.description = "ANSWERED 1";
            AddCandidates(true);
            inst.ChannelList().back()->found = 0;
        },
        [&](CTransceiverInstallDlg& dialog) {
            auto* list = ControlById<QListWidget>(dialog, CTransceiverInstallDlg::kChannelListId);
            const QColor plain = list->palette().color(QPalette::Text);
            const std::map<std::string, QColor> expected = {
                {"GONE 1", kInstalledMissing},
                {"CARD 1", kInstalledMissing},  // no card
                {"ANSWERED 1", kInstalledFound},
                {"HXU  38 kHz 0A1B2C3D4E5F 1 NONE", kPaletteText},
                {"HXU 120 kHz 0A1B2C3D4E5F 2 NONE", plain},
            };
            ASSERT_EQ(list->count(), 5);
            for (int row = 0; row < list->count(); ++row) {
                const std::string text = list->item(row)->text().toStdString();
                SCOPED_TRACE(text);
                ASSERT_TRUE(expected.count(text));
                for (const auto& [other, colour] : expected) {
                    const int pixels = PixelsOfColour(*list, row, colour);
                    if (colour == expected.at(text))
                        EXPECT_GT(pixels, 10);
                    else
                        EXPECT_EQ(pixels, 0) << "no pixel of the colour of " << other;
                }
            }
            EXPECT_FALSE(askedIndices.empty());
            for (int index : askedIndices)
                EXPECT_EQ(index, CTransceiverInstallDlg::kCandidateFoundPaletteIndex);
            // The ISA card's line has no address to change.
            const auto rowOf = [&](const char* text) {
                return list->row(list->findItems(text, Qt::MatchExactly).value(0));
            };
            Select(dialog, rowOf("CARD 1"));
            EXPECT_TRUE(ControlById<QPushButton>(dialog, CTransceiverInstallDlg::kSetAddressId)->isHidden());
            Select(dialog, rowOf("GONE 1"));
            EXPECT_FALSE(ControlById<QPushButton>(dialog, CTransceiverInstallDlg::kSetAddressId)->isHidden());
        });
}

TEST_F(InstallationDialogs, CalibrationToolOnlyForTotalRunsDirectlyAndTheTransducerIsReadAgain)
{
    for (SounderModel model : {SounderModel::QY310, SounderModel::RM30, SounderModel::QYNVU}) {
        CTransceiverInstallation other;
        other.SetModel(model);
        other.SetTrListPath(folder.string() + "/");
        CTransceiverInstallDlg dialog(other, nullptr);
        dialog.show();
        EXPECT_FALSE(ControlById<QPushButton>(dialog, CTransceiverInstallDlg::kCalibrationId)->isVisible());
    }
    Make(SounderModel::TOTAL, "TOTAL");
    // The tool notes what it was given and puts its calibrated list in
    // place.
    const fs::path tool = folder / "Pomerath.exe";
    std::ofstream(folder / "calibrated.ini", std::ios::binary) << TrListText("30 30 30 30 30");
    std::ofstream(tool) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/arguments\"\n"
                           "cp \"$(dirname \"$0\")/calibrated.ini\" \"$1\"\n";
    Run(
        1, [&](CTransceiverInstallation&) { AddCandidates(false); },
        [&](CTransceiverInstallDlg& dialog) {
            auto* calibrate = ControlById<QPushButton>(dialog, CTransceiverInstallDlg::kCalibrationId);
            EXPECT_TRUE(calibrate->isVisible());
            EXPECT_FALSE(calibrate->isEnabled()) << "until a transducer is chosen";
            Select(dialog, Row(dialog, 1));
            Choose(dialog, "T38-7");
            EXPECT_TRUE(calibrate->isEnabled());
            // Not executable: the tool is missing.
            calibrate->click();
            ASSERT_EQ(MessageBoxRecord().size(), 1u);
            EXPECT_EQ(MessageBoxRecord()[0].text, "Missing Pomerath.exe File!!");
            EXPECT_EQ(installation->ChannelList()[0]->gain, "26.5 26.5 26.5 26.5 26.5");
            fs::permissions(tool, fs::perms::owner_exec, fs::perm_options::add);
            calibrate->click();
            EXPECT_EQ(installation->ChannelList()[0]->gain, "30 30 30 30 30") << "read again after the tool";
            Choose(dialog, "NONE");
            EXPECT_FALSE(calibrate->isEnabled());
            dialog.reject();
        });
    std::ifstream arguments(folder / "arguments");
    std::string file, transducer;
    std::getline(arguments, file);
    std::getline(arguments, transducer);
    EXPECT_EQ(fs::path(file), folder / "TrList.ini");
    EXPECT_EQ(transducer, "T38-7");
}

// With the card (the card simulator installed as its driver, code word 1,
// which fits TOTAL): its installed channel is drawn as found, the channel
// the list adds for it as a candidate that answered, and neither has an
// address to change.
TEST_F(InstallationDialogs, TheIsaCardsPresenceMakesItsLinesFound)
{
    CTempMachine machine;
    ASSERT_EQ(InstallDriver({"io=210", "dma=6", "irq=9"}), CFenvoil::kExitDone);
    Make(SounderModel::TOTAL, "TOTAL");
    {
        HKEY key = installation->OpenChannelsKey();
        CTrList e;
        e.transceiverId = "DRU T38 SINGLE";
        e.channelNo = 2;
        e.type = TransceiverType::DRU;
        e.transducerName = "T38-12";
        const std::string description = "CARD 2";
        e.FormatDescription(&description, e.type);
        installation->WriteChannelEntry(e, key);
        RegCloseKey(key);
    }
    Run(0, nullptr, [&](CTransceiverInstallDlg& dialog) {
        EXPECT_TRUE(installation->IsCardPresent());
        auto* list = ControlById<QListWidget>(dialog, CTransceiverInstallDlg::kChannelListId);
        ASSERT_EQ(list->count(), 2);
        for (int row = 0; row < 2; ++row) {
            const std::string text = list->item(row)->text().toStdString();
            SCOPED_TRACE(text);
            const bool installed = text == "CARD 2";
            EXPECT_TRUE(installed || text == "DRU  38 kHz A210-D6-I9 1 NONE");
            EXPECT_GT(PixelsOfColour(*list, row, installed ? kInstalledFound : kPaletteText), 10);
            EXPECT_EQ(PixelsOfColour(*list, row, kInstalledMissing), 0);
            Select(dialog, row);
            EXPECT_TRUE(ControlById<QPushButton>(dialog, CTransceiverInstallDlg::kSetAddressId)->isHidden());
        }
    });
    installation.reset();
    reg.CloseRootKeys();
}

// "Set New HXU IP Address": the address typed in the address dialog goes to
// the unit (the HXU simulator, which moves when told so), which answers
// from there; the channel, its line and its address field take it. Typing
// the address it has changes nothing and asks nothing.
TEST(InstallationDialogsNetwork, NewUnitAddressTypedInTheAddressDialogMovesTheUnit)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        QtTestApp();
        check(nettest::RouteBroadcastToLoopback(), "broadcasts stay on loopback");
        CTempHives hives;
        CRegistrySupport reg;
        check(reg.OpenRootKeys("Zelvar\\EchoSounder\\RM30\\1.0\\"), "registry");
        const fs::path folder = fs::path(hives.Folder());
        std::ofstream(folder / "TrList.ini", std::ios::binary) << TrListText();
        CHxuSimulator::Settings settings;
        settings.address = kUnitAddress;
        settings.identity = "QY310 HXU V2.1";
        settings.ethernet = "0A1B2C3D4E5F";
        settings.broadcastPort = CTransceiverInstallation::kUnitPort;
        CHxuSimulator sim(settings);
        if (!check(sim.Start(), "HXU simulator on 127.0.0.2"))
            return check.failures;

        CTransceiverInstallation installation;
        installation.SetModel(SounderModel::RM30);
        installation.SetTrListPath(folder.string() + "/");
        installation.Initialize();
        std::vector<std::string> asked;
        SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string&, UINT) {
            asked.push_back(text);
            return IDOK;
        });
        std::array<int, 4> typed{127, 0, 0, 2};
        std::array<int, 4> offered{};
        installation.SetInstallationDialog([&](CTransceiverInstallation& inst) {
            std::vector<std::unique_ptr<CTrList>> built;
            inst.TrListFile().BuildFromTrList(kUnit, kUnitAddress, "Rev 2.1", "127.0.0.1", {}, built);
            for (auto& e : built)
                inst.ChannelList().push_back(std::move(e));
            CTransceiverInstallDlg dialog(inst, [](int) { return kPaletteText; });
            dialog.show();
            auto* list = dialog.findChild<QListWidget*>(QString::number(CTransceiverInstallDlg::kChannelListId));
            auto* button = dialog.findChild<QPushButton*>(QString::number(CTransceiverInstallDlg::kSetAddressId));
            auto* address = dialog.findChild<QLabel*>(QString::number(CTransceiverInstallDlg::kTransceiverIpId));
            list->setCurrentRow(1);
            QTimer typist;
            typist.setInterval(10);
            QObject::connect(&typist, &QTimer::timeout, [&] {
                if (auto* d = dynamic_cast<app::CIPAddressDialog*>(QApplication::activeModalWidget())) {
                    offered = d->Octets();
                    d->SetOctets(typed);
                    d->accept();
                }
            });
            typist.start();
            button->click();
            check(offered == std::array<int, 4>{127, 0, 0, 2}, "the dialog offers the unit's address");
            check(asked.empty() && sim.GetAddressChanges() == 0, "the same address: nothing asked, nothing sent");
            typed = {127, 0, 0, 9};
            button->click();
            check(sim.GetAddressChanges() == 1 && sim.Address() == 0x7F000009, "the unit moved to 127.0.0.9");
            check(inst.ChannelList()[1]->unitAddress == 0x7F000009, "the channel took the address");
            check(address->text() == "127.0.0.9", "its address field shows it, not " + address->text().toStdString());
            check(list->item(1)->text().toStdString() == inst.ChannelList()[1]->description, "its line");
            dialog.reject();
        });
        installation.RunInstallation(1);
        check(asked == std::vector<std::string>{"Change the HXU IP address?", "HXU was  reprogrammed correctly!"},
              "the question and the unit's answer");
        SetMessageBoxPresenter(nullptr);
        reg.CloseRootKeys();
        return check.failures;
    });
}
