// The installation through the real program, offscreen, as the operator
// runs it: "New User" stops the sounder, the installation follows in the
// modify mode and shows the ISA card (the card simulator installed as its
// driver), the operator chooses a transducer, and after OK the sounder runs
// again on what OK installed for the new profile. The card's unit is one of
// the test suite's, made by a type row of the test's.
#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "app/widgets/FolderDlg.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/TempMachine.h"
#include "program/tests/TestProgram.h"
#include "sounder/OperationControl.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/tests/DruDriverInstall.h"
#include "transceivers/tests/TestTransceiver.h"
#include "transceivers/ui/TransceiverInstallDlg.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kCardTransceiver = "DRU T38 SINGLE";

// The card (code word 1) and its one-channel transceiver, with two
// transducers.
std::string TrListText()
{
    const char* lines[] = {
        "ENDCOMMENTDATA",  "DRUMAPPING",         "001: DRU T38 SINGLE  ",     "ENDDRUMAPPING",
        "TRANSCEIVERDATA", "DRU T38 SINGLE",     "MARKETSEGMENT=HYDROGRAPHY", "CHANNEL1",
        "KHZ=38",          "TRANSDUCER=T38-12 ", "TRANSDUCER=T38-7 ",         "MINMEDMAXTXPOWER=100 500 1000",
        "ENDCHANNEL",      "ENDDRUTRANSCEIVER",  "ENDTRANSCEIVERDATA",        "TRANSDUCERDATA",
        "T38-12",          "FREQUENCY=38000",    "MAXTXPOWER=1000",           "ENDTRANSDUCER",
        "T38-7",           "FREQUENCY=38000",    "GAIN=26 26 26 26 26",       "MAXTXPOWER=2000",
        "ENDTRANSDUCER",   "ENDTRANSDUCERDATA",
    };
    std::string text;
    for (const char* l : lines)
        text += std::string(l) + "\r\n";
    return text;
}

void SetString(HKEY root, const std::string& key, const char* name, const std::string& value)
{
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
    RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
}

std::unique_ptr<CTransceiver> MakeTestUnit(const TransceiverConstruction& c)
{
    CTestTransceiver::Options o;
    o.name = c.info.transceiverId;
    o.services = &c.services;
    return std::make_unique<CTestTransceiver>(o);
}

}  // namespace

TEST(ProgramInstallation, NewUserThenOkRunsTheSounderOnTheChannelsChosen)
{
    QtApp();
    ShellEnvironment env;
    CTempMachine machine;
    AnswerMessageBoxes boxes;
    ASSERT_EQ(InstallDriver({"io=210", "dma=6", "irq=9"}), CFenvoil::kExitDone) << "the card";
    const fs::path folder = env.Root() / "program";
    fs::create_directories(folder);
    std::ofstream(folder / "TrList.ini", std::ios::binary) << TrListText();
    SetString(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", "SounderName", "TOTAL");
    SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\TOTAL\\1.0", "TrListPath", folder.string());
    {
        // The default profile has the card's channel already.
        CRegistrySupport reg;
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\TOTAL\\1.0\\"));
        CTransceiverInstallation installation;
        installation.Initialize();
        HKEY key = installation.OpenChannelsKey();
        CTrList e;
        e.transceiverId = kCardTransceiver;
        e.channelNo = 1;
        e.type = TransceiverType::DRU;
        e.transducerName = "T38-12";
        e.transducerSetting = "HXU";
        const std::string description = "card channel";
        e.FormatDescription(&description, e.type);
        installation.WriteChannelEntry(e, key);
        reg.CloseKey(key);
        reg.CloseRootKeys();
    }

    auto program = MakeProgram(TestProgramOptions({"PELMARIS"}));
    program->SounderHost().TransceiverTypes().Register({TransceiverType::DRU, {SounderModel::TOTAL}, &MakeTestUnit});
    ASSERT_TRUE(program->Start());
    COperationControl& operation = program->Operation();
    const auto pings = [&](std::uint64_t n) {
        return WaitFor(
            [&] {
                CEchoSounder* sounder = operation.GetEchoSounder();
                return sounder && sounder->GetPingCount() >= n;
            },
            30000);
    };
    ASSERT_TRUE(pings(3)) << "the default profile's channel pings";

    // The operator's hand: a new profile, then the card's channel with the
    // other transducer, and OK.
    bool sounderWhileInstalling = true;
    bool editable = false;
    int lines = -1;
    QTimer hand;
    hand.setInterval(10);
    QObject::connect(&hand, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* profiles = dynamic_cast<app::CFolderDlg*>(w)) {
            profiles->findChild<QLineEdit*>("edit_name")->setText("Second survey");
            profiles->findChild<QPushButton*>("button_new_folder")->click();
            profiles->accept();
        } else if (auto* dialog = dynamic_cast<CTransceiverInstallDlg*>(w)) {
            sounderWhileInstalling = operation.GetEchoSounder() != nullptr;
            auto* list = dialog->findChild<QListWidget*>(QString::number(CTransceiverInstallDlg::kChannelListId));
            auto* combo = dialog->findChild<QComboBox*>(QString::number(CTransceiverInstallDlg::kTransducerId));
            lines = list->count();
            list->setCurrentRow(0);
            editable = combo->isEnabled();
            combo->setCurrentIndex(combo->findText("T38-7"));
            dialog->findChild<QPushButton*>("1")->click();
        }
    });
    hand.start();
    program->Frame()->RunCommand(app::cmd::NEW_USER);
    ASSERT_TRUE(WaitFor([&] { return lines >= 0; }, 20000)) << "the installation dialog came";
    EXPECT_TRUE(pings(3)) << "the sounder runs again";
    hand.stop();

    EXPECT_FALSE(sounderWhileInstalling) << "the stop came first";
    EXPECT_EQ(lines, 1) << "the new profile has nothing installed: the card's channel, as a candidate";
    EXPECT_TRUE(editable);
    EXPECT_EQ(program->Application().GetMcuMode(), "Second survey");
    CTransceiverInstallation& installation = program->Installation();
    ASSERT_EQ(installation.GetTransceiverCount(), 1);
    const auto channel = installation.GetTransceiverChannel(0, 0);
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->description, "DRU  38 kHz A210-D6-I9 1 T38-7");
    EXPECT_EQ(channel->gain[0], 26.0) << "T38-7's gain";
    CEchoSounder* sounder = operation.GetEchoSounder();
    ASSERT_NE(sounder, nullptr);
    ASSERT_EQ(sounder->GetTransceiverCount(), 1);
    auto* unit = dynamic_cast<CTestTransceiver*>(sounder->GetTransceiver(0));
    ASSERT_NE(unit, nullptr) << "the card's unit, made by the test's row";
    std::vector<std::string> asked;
    for (const MessageBoxEntry& box : MessageBoxRecord())
        asked.push_back(box.text);
    EXPECT_EQ(asked, std::vector<std::string>{"Do you really want to change the installation?"});

    operation.PostCommand(0);
    EXPECT_TRUE(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000));
}
