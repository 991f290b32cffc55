// The program as each model assembles it. Every link the program has no
// object for is listed beside this file (ProgramWiringAbsentLinks.txt), so
// a link left unset, or one a later object fills, changes what each model
// lists. The demo recording replays through
// the real program offscreen with a profile applied and the operator's
// "Change SVP profile" option on; every link that the model's channels,
// recorder, outputs and sensors use must reach its object: the channels'
// links, the environment's profile and its sound velocity, the external
// depth table, the recorder's depth telegram, the geographic history, the
// datagrams of the network output and the raw-data output on the models
// that have them, and those of the post-processing output on the others.
#include "app/SounderModel.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/StatusBarWidget.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "display/DepthDoc.h"
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"
#include "display/ui/DepthView.h"
#include "display/ui/DepthViewCommands.h"
#include "display/ui/EchogramDialogs.h"
#include "display/ui/EchogramView.h"
#include "display/ui/PaperPrinter.h"
#include "display/ui/ScopeView.h"
#include "engine/Channel.h"
#include "engine/MultiPulse.h"
#include "outputs/LX750.h"
#include "outputs/QYNet.h"
#include "outputs/QYTriton.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "recording/Store.h"
#include "recording/StoreSettings.h"
#include "recording/tests/StoreFixture.h"
#include "sensors/Environment.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"
#include "sensors/SvpProfile.h"
#include "serialcom/device/DepthTelegram.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"
#include "transceivers/Bootp.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/ui/TransceiverInstallDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

// The applied profile: 1450 m/s down to 40 m, 1430 m/s below. Over the
// demo's bottom (50 to 70 m) its mean lies between 1440 and 1447 m/s, far
// from the recorded 1490 and the default 1500.
constexpr double kProfileLow = 1430.0;
constexpr double kProfileHigh = 1450.0;
constexpr int kPings = 30;

struct SModelCase
{
    const char* executable;
    const char* sounderName;  // null: the executable names the model
    SounderModel model;
    bool networkOutput;
};

std::string DemoSceneText()
{
    std::ifstream in(ZELVAR_DEMO_SCENE);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

zv::recording::CReplay* RunningReplay(app::CProgram& program)
{
    CEchoSounder* sounder = program.Operation().GetEchoSounder();
    return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
}

// Every datagram that reaches a loopback port.
// Takes every datagram on a thread of its own as it comes: a replay at full
// speed sends more than a loopback socket's buffer holds, while the test's
// own thread may be busy elsewhere.
class CListener
{
public:
    CListener()
    {
        EXPECT_TRUE(m_socket.Create(CSocket::Udp));
        EXPECT_TRUE(m_socket.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
        m_reader = std::thread([this] {
            std::vector<char> buffer(CSocket::kMaxUdpPayload);
            for (;;) {
                const int n = m_socket.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 1000);
                if (n == CSocket::kStopped || n == CSocket::kError)
                    return;
                if (n > 0) {
                    std::lock_guard lock(m_lock);
                    m_received.emplace_back(buffer.data(), static_cast<std::size_t>(n));
                }
            }
        });
    }
    ~CListener()
    {
        m_socket.Stop();
        m_reader.join();
    }
    std::uint16_t Port() const { return m_socket.LocalAddress().port; }
    std::vector<std::string> StartingWith(const std::string& head) const
    {
        std::lock_guard lock(m_lock);
        std::vector<std::string> out;
        for (const std::string& d : m_received)
            if (d.rfind(head, 0) == 0)
                out.push_back(d);
        return out;
    }

private:
    CSocket m_socket;
    mutable std::mutex m_lock;
    std::vector<std::string> m_received;
    std::thread m_reader;
};

// The absent links of one model as ProgramWiringAbsentLinks.txt lists them:
// a line a link, the models it is absent for ("all", or names separated by
// commas), then its name.
std::vector<std::string> ExpectedAbsentLinks(const std::string& listing, const std::string& model)
{
    std::vector<std::string> names;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string models;
        if (!(words >> models) || models[0] == '#')
            continue;
        std::string name;
        std::getline(words >> std::ws, name);
        std::istringstream each(models);
        for (std::string m; std::getline(each, m, ',');)
            if (m == "all" || m == model)
                names.push_back(name);
    }
    return names;
}

std::string AbsentLinksListing()
{
    std::ifstream in(ZELVAR_ABSENT_LINKS);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What differs between the expected and the actual absent links, in either
// direction; empty when they are the same, whatever their order.
std::string AbsentLinksMismatch(std::vector<std::string> expected, std::vector<std::string> actual)
{
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    std::vector<std::string> unexpected, linked;
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(unexpected));
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(linked));
    std::string text;
    for (const std::string& name : unexpected)
        text += "absent, but not listed: " + name + "\n";
    for (const std::string& name : linked)
        text += "listed, but not absent: " + name + "\n";
    return text;
}

std::string Lines(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += "  " + name + "\n";
    return text;
}

class ProgramWiringTest : public ::testing::TestWithParam<SModelCase>
{
protected:
    ProgramWiringTest() { QtApp(); }

    static void SetMachineString(const std::string& name, const std::string& value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
    }

    ShellEnvironment env;
};

TEST_P(ProgramWiringTest, DemoReplayReachesEveryLinkOfTheModel)
{
    const SModelCase& c = GetParam();
    if (c.sounderName)
        SetMachineString("SounderName", c.sounderName);

    zv::recgen::SRecGenScene scene;
    std::string error;
    ASSERT_TRUE(zv::recgen::ApplySceneText(scene, DemoSceneText(), &error)) << error;
    for (const std::string& s :
         {"pings=" + std::to_string(kPings), std::string("annotate-every=10"), std::string("svp-kind=3")})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path recording = env.Root() / "demo.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;

    auto program = MakeProgram(TestProgramOptions({c.executable}));
    ASSERT_TRUE(program->Start());
    app::CPelmaris& application = program->Application();
    ASSERT_EQ(application.GetSounderType(), c.model);
    EXPECT_EQ(program->SounderHost().TransceiverServices().GetModel(), c.model);
    HKEY root = CRegistrySupport::UserRootKey();
    CRegistrySupport reg;

    // A profile in the model's own profile folder, which the environment
    // finds by the model it was given.
    CEnvironment& environment = program->Environment();
    const fs::path folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(c.model));
    fs::create_directories(folder);
    {
        std::ofstream(folder / "wiring.asvp") << "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 2 )\r\n"
                                                 "0.0 1450.0\r\n40.0 1430.0\r\n";
    }
    ASSERT_TRUE(reg.SetDword(root, "Environment", "dwSvpType", CEnvironment::SvpTypeProfile));
    ASSERT_TRUE(reg.SetString(root, "Environment", "SvpFileName", "wiring.asvp"));
    ASSERT_TRUE(reg.SetString(root, "Environment", "SvpFilePath", ""));
    environment.LoadUserSettings();
    ASSERT_TRUE(environment.IsRealSvp());
    // What the operation dialog's "Change SVP profile" does; its dialog is
    // cancelled here.
    environment.SetDialogRunner([](SEnvironmentDialogValues&) { return FALSE; });
    environment.SetUpdateFlag(TRUE);

    // The replay's recorder stores the first channel's depth telegram.
    const std::string store = "OperationControl\\Operation\\Replay\\Store";
    ASSERT_TRUE(reg.SetDword(root, store, "AddNMEADepth", 1));
    ASSERT_TRUE(reg.SetDword(root, store, "NMEAChannel", 0));

    CListener listener;
    CQYNet* net = application.Sensor<CQYNet>(app::SensorId::NetworkOutput);
    ASSERT_EQ(net != nullptr, c.networkOutput);
    if (net) {
        CQYNet::Settings s = net->GetSettings();
        s.DestAddr = "127.0.0.1";
        s.DestPort = listener.Port();
        s.DepthHymas = s.SoundVelDatagram = s.StatusDatagram = s.AnnotationDatagram = 1;
        s.ParameterDatagram = s.ZelvarFormat = s.DepthDatagram[0] = 1;
        net->ApplySettings(s);
    }

    // The post-processing output's echograms and parameters, and the
    // recorder's stream through the raw-data output, each to a listener.
    CListener postProcessing, rawData;
    CLX750* lx750 = application.Sensor<CLX750>(app::SensorId::LX750);
    ASSERT_EQ(lx750 != nullptr, !c.networkOutput);
    if (lx750) {
        CLX750::Settings s = lx750->GetSettings();
        s.DestPort = postProcessing.Port();
        s.EchogramDatagram = s.ParameterDatagram = 1;
        lx750->ApplySettings(s);
    }
    CQYTriton* triton = application.Sensor<CQYTriton>(app::SensorId::RawDataOutput);
    ASSERT_EQ(triton != nullptr, c.networkOutput);
    if (triton) {
        const CQYTriton::DialogValues opened = triton->GetDialogValues();
        CQYTriton::DialogValues on = opened;
        on.port = rawData.Port();
        on.enabled = true;
        triton->ApplyDialogValues(opened, on);
    }

    // A heading from before the replay: the history is reset when the
    // layout is built and when the file starts.
    CGeographicInfo& history = program->GeographicInfo();
    history.EnsureHistoryLength(2);
    const std::uint64_t before = CFileTime::Now();
    program->ParseNmeaTelegram("$HEHDT,123.5,T", before, kNmeaFromNetwork);
    ASSERT_EQ(history.GetHeadingAtTime(before), 123.5);

    CReplayFileList list;
    list.AddTail(recording.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }, 10000));
    ::PostMessage(program->Frame()->GetSafeHwnd(), WM_COMMAND, app::cmd::REPLAY_EXTRACT, 0);
    CEchoSounder* sounder = program->Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor(
        [&] { return RunningReplay(*program)->IsStopped() && sounder->GetPingCount() >= std::uint64_t(kPings); },
        60000))
        << "pings " << sounder->GetPingCount() << " stopped " << RunningReplay(*program)->IsStopped();

    // Every channel has the program's links, with its model and the water
    // of the applied profile.
    const double velocity = environment.GetSoundVelocity();
    EXPECT_GT(velocity, kProfileLow);
    EXPECT_LT(velocity, kProfileHigh);
    ASSERT_EQ(sounder->GetChannelCount(), 2);
    for (int i = 0; i < sounder->GetChannelCount(); ++i) {
        SCOPED_TRACE(i);
        const CChannel* channel = sounder->GetChannel(i);
        EXPECT_EQ(&channel->GetLinks(), &program->ChannelLinks());
        EXPECT_EQ(channel->GetLinks().GetModel(), c.model);
        EXPECT_EQ(channel->GetLinks().GetSoundVelocity(), environment.GetSoundVelocity());
        EXPECT_GT(channel->GetSoundVelocity(), kProfileLow);
        EXPECT_LT(channel->GetSoundVelocity(), kProfileHigh);
        EXPECT_EQ(channel->GetChannelId(), i);
    }

    // The recording's water temperature (8.5 degrees C in every ping) is the
    // program's and its status pane's.
    EXPECT_EQ(program->WaterTemperature()->GetTemperature(), std::optional(8.5));
    ASSERT_TRUE(program->Frame()->waterTemperature);
    EXPECT_EQ(program->Frame()->waterTemperature(), std::optional(8.5));

    // The external depth table: named after the channel displays, each
    // source holds its channel's depth of the last ping.
    for (int n = 0; n < 2; ++n) {
        std::string name;
        const double depth = program->ExternalDepth().GetSourceDepth(n, name);
        EXPECT_FALSE(name.empty()) << n;
        EXPECT_GT(depth, 40.0) << name;
        EXPECT_LT(depth, 80.0) << name;
    }

    // The history was reset and sized by the echogram views.
    EXPECT_EQ(history.GetHeadingAtTime(before), CGeographicInfo::kNoHeading);
    EXPECT_GT(history.GetHistoryLength(), 2);
    // The documents that take the pings are the program's, of its model: a
    // side-looking echogram's window reaches the external depth table, the
    // echograms' dialogs are the display's, the depth rows ask pinger mode.
    auto* documents = dynamic_cast<CESDocList*>(sounder->GetDocuments());
    ASSERT_NE(documents, nullptr);
    int echograms = 0, depths = 0;
    std::vector<CScopeView*> scopes;
    for (CAbstractESDoc* document : documents->GetDocList())
        if (auto* echogram = dynamic_cast<CEchogramDoc*>(document)) {
            ++echograms;
            EXPECT_EQ(echogram->GetContext().model, c.model);
            EXPECT_EQ(echogram->GetContext().externalDepth, &program->Display());
            EXPECT_NE(dynamic_cast<displayui::CEchogramDialogs*>(echogram->GetContext().echogramDialogs), nullptr);
            // Its views: the echogram, whose marks read the program's net
            // sensors, pinger mode and running sounder, and the scope pane
            // beside it, which reads the program's tide and model.
            int echogramViews = 0, scopeViews = 0;
            for (IDocumentView* shown : echogram->GetViews()) {
                if (const auto* view = dynamic_cast<const CEchogramView*>(shown)) {
                    ++echogramViews;
                    EXPECT_EQ(view->GetContext().markSources, &program->Display());
                } else if (const auto* scope = dynamic_cast<const CScopeView*>(shown)) {
                    ++scopeViews;
                    EXPECT_EQ(scope->GetContext().host, &program->Display());
                    EXPECT_EQ(scope->GetContext().model, c.model);
                    EXPECT_GT(scope->GetCopiedPings(), 0u) << "the pings reach the pane";
                    scopes.push_back(const_cast<CScopeView*>(scope));
                } else {
                    ADD_FAILURE() << "a view of another kind";
                }
            }
            EXPECT_EQ(echogramViews, 1);
            EXPECT_EQ(scopeViews, 1);
        } else if (auto* depth = dynamic_cast<CDepthDoc*>(document)) {
            ++depths;
            EXPECT_EQ(depth->GetContext().depthHost, &program->Display());
            // Its row opens the model's channel menu, where the model has one.
            for (IDocumentView* shown : depth->GetViews()) {
                const auto* view = dynamic_cast<const CDepthView*>(shown);
                ASSERT_NE(view, nullptr);
                const unsigned menuId = c.model == SounderModel::QY210 ? 253u : IsQYModel(c.model) ? 252u : 0u;
                EXPECT_EQ(view->GetContext().channelMenu, menuId);
                std::unique_ptr<QMenu> menu(view->BuildContextMenu(nullptr));
                EXPECT_EQ(menu != nullptr, menuId != 0);
            }
            // The replayed channel's settings dialog is the program's.
            EXPECT_TRUE(CDepthViewCommands::CanRun(*depth, CDepthView::ID_TRANSCEIVER_SETTINGS));
        }
    EXPECT_EQ(echograms, 2 * sounder->GetChannelCount());
    EXPECT_EQ(depths, sounder->GetChannelCount());
    // The running sounder's multi-pulse tracker; no purse seine, so no net
    // sensor has a reading.
    double smoothed = -1.0, period = -1.0;
    EXPECT_TRUE(program->Display().GetMultiPulseDepths(smoothed, period));
    EXPECT_EQ(smoothed, sounder->GetMultiPulse()->GetSmoothedDepth());
    int states[INetSensors::kSensors] = {2, 2, 2};
    double netDepths[INetSensors::kSensors] = {};
    program->Display().GetNetSensors(states, netDepths);
    EXPECT_EQ(states[0] + states[1] + states[2], 0);

    // The formatter's $PSDF carries the environment's sound velocity.
    const std::string psdf = FormatDepthTelegram(program->DepthTelegramSources(), kDepthTelegramPSDF, 0, 0,
                                                 CFileTime::Now(), 10.0, 1.0, 0.0, 0.0);
    EXPECT_EQ(psdf.substr(0, 11), "$PSDF," + std::to_string(static_cast<int>(environment.GetSoundVelocity())) + ",")
        << psdf;

    if (net) {
        // The ping telegram ends with the environment's sound velocity; the
        // replayed profile went out as a sound velocity telegram, the
        // replayed annotations as annotation telegrams, and the status
        // bar's texts as status telegrams.
        EXPECT_TRUE(WaitFor([&] { return !listener.StartingWith("ST,").empty(); }));
        const std::vector<std::string> pings = listener.StartingWith("$,");
        ASSERT_FALSE(pings.empty());
        const double sent = std::stod(pings.back().substr(pings.back().rfind(',') + 1));
        EXPECT_GT(sent, kProfileLow);
        EXPECT_LT(sent, kProfileHigh);
        const std::vector<std::string> profiles = listener.StartingWith("SV,");
        ASSERT_FALSE(profiles.empty());
        EXPECT_NE(profiles.front().find(zv::recgen::ProfileText(scene)), std::string::npos) << profiles.front();
        EXPECT_FALSE(listener.StartingWith("CS,").empty());
        // The depth datagram's second result is the bottom detection's
        // level of a ping that found the bottom, and PR names the
        // transducer as the transceiver describes it.
        const std::vector<std::string> depthTexts = listener.StartingWith("D1,");
        ASSERT_FALSE(depthTexts.empty());
        const bool levelSent = std::any_of(depthTexts.begin(), depthTexts.end(), [](const std::string& d) {
            // D1,time,depth,second,1,0.0
            std::vector<std::string> f;
            std::stringstream in(d);
            for (std::string field; std::getline(in, field, ',');)
                f.push_back(field);
            return f.size() == 6 && std::stod(f[2]) > 0.0 && f[3] != "0";
        });
        EXPECT_TRUE(levelSent) << depthTexts.back();
        std::string description, channelName;
        double v[12] = {};
        int beamType = 0;
        CChannel* first = sounder->GetChannel(0);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(first->GetTransceiver(), nullptr);
        first->GetTransceiver()->GetChannelParameters(first, description, channelName, v[0], v[1], v[2], v[3], v[4],
                                                      v[5], v[6], v[7], v[8], v[9], beamType, v[10], v[11]);
        const std::vector<std::string> parameters = listener.StartingWith("PR,");
        const std::string transducer = "Transducer Type=" + description;
        EXPECT_TRUE(std::any_of(parameters.begin(), parameters.end(), [&](const std::string& p) {
            return p.find(transducer) != std::string::npos;
        })) << transducer;
    }

    // The outputs send from threads of their own, which may still be behind
    // the last processed ping.
    if (lx750) {
        EXPECT_TRUE(WaitFor([&] {
            return postProcessing.StartingWith("Q1,").size() >= std::size_t(kPings) &&
                   postProcessing.StartingWith("Q2,").size() >= std::size_t(kPings);
        })) << postProcessing.StartingWith("Q1,").size()
            << " Q1, " << postProcessing.StartingWith("Q2,").size() << " Q2";
        EXPECT_FALSE(postProcessing.StartingWith("PR,").empty());
    }
    if (triton) {
        EXPECT_TRUE(WaitFor([&] { return rawData.StartingWith("RAW0").size() >= std::size_t(2 * kPings); }))
            << rawData.StartingWith("RAW0").size() << " RAW0";
        EXPECT_FALSE(rawData.StartingWith("CON0").empty());
    }

    // Each A-scope shows the echoes of the last ping as bars (painted after
    // the outputs were read).
    for (CScopeView* pane : scopes) {
        pane->grab();
        const QImage surface = pane->SurfaceImage();
        int bars = 0;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x)
                bars += surface.pixelIndex(x, y) >= 160 && surface.pixelIndex(x, y) <= 171 ? 1 : 0;
        EXPECT_GT(bars, 0);
    }

    application.Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() == nullptr; }, 10000));
    EXPECT_FALSE(program->Display().GetMultiPulseDepths(smoothed, period)) << "no sounder, no tracker";
    program.reset();

    // The replayed part was stored with the first channel's depth telegrams.
    const fs::path data = CPaths::MapWindowsPath(zv::recording::SStoreSettings::DefaultFolder(c.model));
    const auto files = zv::recording::test::FilesWith(data, ".raw");
    ASSERT_EQ(files.size(), 1u);
    const auto stored = zv::recording::test::ReadBack(files[0]);
    const auto dpt = std::count_if(stored.sentences.begin(), stored.sentences.end(),
                                   [](const std::string& s) { return s.rfind("$SDDPT,", 0) == 0; });
    EXPECT_GT(dpt, 0);
}

// Each model's program has no object for exactly the links listed for it.
TEST_P(ProgramWiringTest, AbsentLinksAreTheListedOnes)
{
    const SModelCase& c = GetParam();
    if (c.sounderName)
        SetMachineString("SounderName", c.sounderName);
    auto program = MakeProgram(TestProgramOptions({c.executable}));
    ASSERT_TRUE(program->Start());
    const std::string model = app::ModelInfo(c.model).name;
    const std::vector<std::string> absent = program->AbsentLinks();
    const std::string mismatch = AbsentLinksMismatch(ExpectedAbsentLinks(AbsentLinksListing(), model), absent);
    EXPECT_TRUE(mismatch.empty()) << mismatch << "the absent links of " << model << ":\n" << Lines(absent);

    // Only QYNVU boots wide-band units: its BOOTP server keeps its table in
    // the data root's transceiver list folder and hands out the boot file of
    // the transceiver list folder.
    CBootp* bootp = program->BootServer();
    ASSERT_EQ(bootp != nullptr, c.model == SounderModel::QYNVU);
    if (bootp) {
        const app::CPelmaris& application = program->Application();
        EXPECT_TRUE(bootp->GetStartFailures().empty());
        EXPECT_TRUE(bootp->IsBootpThreadRunning());
        EXPECT_TRUE(bootp->IsTftpThreadRunning());
        EXPECT_EQ(bootp->Table().Path(), application.GetWritableTrListPath() + CIpAddressTable::kFileName);
        EXPECT_EQ(bootp->BootPath(), application.GetTrListPath() + CBootp::kBootFileName);
    }
}

// QYNVU whose BOOTP and TFTP ports are taken starts all the same, and says
// so in its status bar and the event log.
TEST(ProgramWiringBootpTest, PortsTakenAreToldAndTheProgramRunsOn)
{
    QtApp();
    ShellEnvironment env;
    CSocket holder;
    ASSERT_TRUE(holder.Create(CSocket::Udp));
    ASSERT_TRUE(holder.Bind(SocketAddress(0, 0)));
    app::CProgram::Options options = TestProgramOptions({"QYNVU"});
    options.bootp.serverPort = options.bootp.tftpPort = holder.LocalAddress().port;
    auto program = MakeProgram(options);
    ASSERT_TRUE(program->Start());
    ASSERT_NE(program->BootServer(), nullptr);
    EXPECT_FALSE(program->BootServer()->IsBootpThreadRunning());
    app::CStatus* status = program->Frame()->GetStatus();
    EXPECT_TRUE(WaitFor([&] { return status->CurrentStatusText().rfind("BOOTP server: port 67", 0) == 0; }, 20000))
        << status->CurrentStatusText();
    const auto& queue = status->StatusQueue();
    EXPECT_NE(std::find(queue.begin(), queue.end(), app::ids::TFTP_PORT_UNAVAILABLE), queue.end())
        << "the TFTP server's message waits its turn";
    const std::string log = env.EventLog();
    EXPECT_NE(log.find("BOOTP server: UDP port"), std::string::npos) << log;
    EXPECT_NE(log.find("TFTP server: UDP port"), std::string::npos) << log;
}

// The comparison itself: a model whose program loses one of its objects, or
// gains a link it leaves unset, no longer matches its list, and the
// difference names the link.
TEST(ProgramWiringListTest, OneLinkMoreAbsentFailsAndIsNamed)
{
    QtApp();
    ShellEnvironment env;
    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    for (app::SensorObjectRow& row : program->Application().sensorTable)
        if (row.id == app::SensorId::NetworkOutput)
            row.create = nullptr;
    ASSERT_TRUE(program->Start());
    const std::vector<std::string> expected = ExpectedAbsentLinks(AbsentLinksListing(), "QY310");
    EXPECT_EQ(AbsentLinksMismatch(expected, program->AbsentLinks()),
              "absent, but not listed: creation table: network output\n");
    {
        app::TLink<INavigationSteps, app::CAbsentNavigationSteps> unset(program->Links(), "test: a new link");
        EXPECT_EQ(AbsentLinksMismatch(expected, program->AbsentLinks()),
                  "absent, but not listed: creation table: network output\n"
                  "absent, but not listed: test: a new link\n");
    }
    // A list entry the program no longer has absent fails the other way.
    std::vector<std::string> more = expected;
    more.push_back("test: filled since");
    EXPECT_EQ(AbsentLinksMismatch(more, expected), "listed, but not absent: test: filled since\n");
}

INSTANTIATE_TEST_SUITE_P(Models, ProgramWiringTest,
                         ::testing::Values(SModelCase{"QY210", nullptr, SounderModel::QY210, true},
                                           SModelCase{"QY310", nullptr, SounderModel::QY310, true},
                                           SModelCase{"RM30", nullptr, SounderModel::RM30, false},
                                           SModelCase{"TQ30", nullptr, SounderModel::TQ30, false},
                                           SModelCase{"QYNVU", nullptr, SounderModel::QYNVU, true},
                                           SModelCase{"PELMARIS", "TOTAL", SounderModel::TOTAL, false}),
                         [](const ::testing::TestParamInfo<SModelCase>& info) {
                             return std::string(info.param.executable) +
                                    (info.param.sounderName ? info.param.sounderName : "");
                         });

}  // namespace

namespace {

// The history printing in the running program: the layout hands its
// echograms to the printing document, which joins the sounder's documents;
// the H pane switches history saving and shows the page number; the status
// bar's texts and the annotations are printed beside the echograms; paper
// printing switched on in the settings runs from start-up, is marked in
// the status bar, and its last page is printed when the program ends.
TEST(ProgramWiringPrintingTest, AReplayPrintsItsEchogramsAndTheHPaneSwitchesHistorySaving)
{
    QtApp();
    ShellEnvironment env;
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s : {std::string("pings=400"), std::string("channels=38,120"), std::string("samples=300")})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path recording = env.Root() / "survey.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    const fs::path history = env.Root() / "history";
    const fs::path pdf = env.Root() / "pdf";
    fs::create_directories(pdf);
    {
        CRegistrySupport reg;
        HKEY root = reg.OpenKey(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", TRUE);
        ASSERT_TRUE(reg.SetString(root, "", "HistoryPath", history.string()));
        ASSERT_TRUE(reg.SetDword(root, "Printer", "PrinterOn", 1));
        reg.CloseKey(root);
    }
    auto paper = std::make_shared<CPdfPaperPrinter>(QString::fromStdString(pdf.string()));
    app::CProgram::Options options = TestProgramOptions({"QY310", recording.string()});
    options.paperPrinter = paper;
    auto program = MakeProgram(options);
    ASSERT_TRUE(program->Start());
    app::CMainFrame* frame = program->Frame();
    CPrinterDoc& printer = program->PrinterDoc();
    EXPECT_TRUE(printer.IsPaperPrinting()) << "PrinterOn from the settings";
    EXPECT_FALSE(frame->StatusBarWidget()->PrintIndicator()->isHidden());

    ASSERT_TRUE(WaitFor([&] { return program->Layout() && printer.IsRegistered(); }, 10000));
    CEchoSounder* sounder = program->Operation().GetEchoSounder();
    ASSERT_NE(sounder, nullptr);
    EXPECT_EQ(printer.GetSource(), dynamic_cast<CESDocList*>(sounder->GetDocuments()));
    EXPECT_EQ(printer.ViewList().size(), 4u) << "two echograms of each of the two channels";

    QLabel* hPane = frame->StatusBarWidget()->PaneLabel(app::ids::H_COUNTER);
    ASSERT_NE(hPane, nullptr);
    QTest::mouseClick(hPane, Qt::LeftButton);
    EXPECT_TRUE(printer.HasPrintingView()) << "a click starts history saving";
    ASSERT_TRUE(WaitFor([&] { return program->HistoryView().GetCurrentColumn() > 5; }, 20000));
    program->Application().AddAnnotation("wiring note", CFileTime::Now());
    frame->GetStatus()->AddMessage(app::ids::H_COUNTER, app::MESSAGE_TYPE_STATUS);
    const std::string status = frame->GetStatus()->CurrentStatusText();
    ASSERT_FALSE(status.empty());
    std::vector<std::string> texts;
    for (const SPrintedText& t : program->HistoryView().GetTexts())
        texts.push_back(t.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "wiring note"), texts.end()) << "the annotation";
    EXPECT_NE(std::find(texts.begin(), texts.end(), status), texts.end()) << "the status bar's text";

    QTest::mouseClick(hPane, Qt::LeftButton);
    EXPECT_FALSE(printer.HasPrintingView()) << "a second click stops it";
    printer.Worker().WaitIdle();
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(history))
        files.push_back(entry.path().filename().string());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(0, 7), "H0000-D");
    EXPECT_TRUE(WaitFor([&] { return hPane->text() == "H0001"; })) << hPane->text().toStdString();

    program->Application().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() == nullptr; }, 10000));
    EXPECT_FALSE(printer.IsRegistered()) << "the layout's end detaches the printing";
    EXPECT_TRUE(printer.ViewList().empty());
    program.reset();
    EXPECT_GE(paper->Jobs(), 1) << "the last paper page is printed at the end";
}

// History saving as operation control has it, the message pane it switches
// on, and the callers that follow it: each new round of the replayed file
// and the recorder's line start a new history page, the line's end stops
// the history; the replayed navigation telegrams are printed; the factory
// settings restore the printing's settings too.
TEST(ProgramWiringPrintingTest, HistoryFollowsOperationTheReplayedFilesTheRecorderAndTheResets)
{
    QtApp();
    ShellEnvironment env;
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s : {std::string("pings=30"), std::string("channels=38"), std::string("samples=200")})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path recording = env.Root() / "loop.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    const fs::path history = env.Root() / "history";
    const std::string root = "Software\\Zelvar\\EchoSounder\\QY310\\1.0";
    CRegistrySupport reg;
    {
        HKEY key = reg.OpenKey(HKEY_CURRENT_USER, root, TRUE);
        ASSERT_TRUE(reg.SetString(key, "", "HistoryPath", history.string()));
        ASSERT_TRUE(reg.SetDword(key, "Printer", "NavigationTg", 1));
        // Positions: the GGA sentences' first six fields, in the navigation
        // input's settings.
        const char* navigation = "Sensors\\Installed\\Navigation";
        ASSERT_TRUE(reg.SetString(key, navigation, "StartSequence", "$GPGGA"));
        ASSERT_TRUE(reg.SetString(key, navigation, "FieldSeparator", ","));
        ASSERT_TRUE(reg.SetDword(key, navigation, "StartField", 1));
        ASSERT_TRUE(reg.SetDword(key, navigation, "NoOfFields", 6));
        ASSERT_TRUE(reg.SetDword(key, "Printer", "Status", 0));
        reg.CloseKey(key);
    }
    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    ASSERT_TRUE(program->Start());
    program->Operation().ReplayBlock().bSaveHistory = 1;
    program->Operation().ReplayBlock().bSyncHistory = 1;
    CReplayFileList files;
    files.AddTail(recording.string());
    COperationControl::PostStartWithFiles(&files);
    app::CMainFrame* frame = program->Frame();
    CPrinterDoc& printer = program->PrinterDoc();
    auto historyFiles = [&] {
        std::error_code ec;
        std::size_t n = 0;
        for (auto it = fs::directory_iterator(history, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            ++n;
        return n;
    };
    auto printed = [&](const std::string& part) {
        for (const SPrintedText& t : program->HistoryView().GetTexts())
            if (t.text.find(part) != std::string::npos)
                return true;
        return false;
    };

    ASSERT_TRUE(WaitFor([&] { return printer.HasPrintingView(); }, 10000)) << "the replay's history saving";
    EXPECT_TRUE(frame->IsMessagePaneEnabled());
    EXPECT_TRUE(WaitFor([&] { return printed("GGA"); }, 20000)) << "a replayed position telegram";
    // The file of 30 pings comes round again and again; each round ends a
    // page long before the page is full.
    int longest = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            longest = std::max(longest, program->HistoryView().GetCurrentColumn());
            return historyFiles() >= 3;
        },
        30000));
    EXPECT_LT(longest, program->HistoryView().GetPage().Width() / 2) << "columns on one page";
    EXPECT_TRUE(printer.HasPrintingView());

    program->StoreEvents().LoggingStopped();
    EXPECT_FALSE(printer.HasPrintingView()) << "the end of a line stops the history";
    printer.Worker().WaitIdle();
    const std::size_t written = historyFiles();
    program->StoreEvents().LoggingStarted();
    EXPECT_TRUE(printer.HasPrintingView()) << "a new line starts it";
    EXPECT_TRUE(WaitFor([&] { return historyFiles() > written; }, 30000)) << "and its pages are written";

    EXPECT_EQ(printer.GetSettings().status, 0u);
    COperationControl::PostFactorySettings();
    ASSERT_TRUE(WaitFor([&] { return printer.GetSettings().status == 1; }, 10000));
    HKEY key = reg.OpenKey(HKEY_CURRENT_USER, root, FALSE);
    DWORD status = 0;
    EXPECT_TRUE(reg.GetDword(key, "Printer", "Status", status, FALSE));
    EXPECT_EQ(status, 1u) << "written as well";
    reg.CloseKey(key);
    program.reset();
}

}  // namespace

// Annotations of a replayed recording reach every echogram view of the
// layout through the main frame's broadcast: each marks the column of its
// next ping and writes the text, however long or malformed the text is.
TEST(ProgramWiringAnnotationTest, EveryEchogramViewShowsTheReplaysAnnotationsAtItsNextPing)
{
    QtApp();
    ShellEnvironment env;
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s : {std::string("pings=2000"), std::string("channels=38,120"), std::string("samples=300"),
                                 std::string("annotate-every=20")})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path recording = env.Root() / "annotated.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    auto program = MakeProgram(TestProgramOptions({"QY310", recording.string()}));
    ASSERT_TRUE(program->Start());
    ASSERT_TRUE(WaitFor([&] { return program->Layout() && program->Operation().GetEchoSounder(); }, 10000));
    std::vector<CEchogramView*> views;
    for (CEchogramView* view : program->Frame()->findChildren<CEchogramView*>()) {
        view->GetDocument()->m_eventMarker = true;
        views.push_back(view);
    }
    ASSERT_EQ(views.size(), 4u) << "two echograms of each of the two channels";
    auto allShow = [&views](int marks, int texts) {
        return std::all_of(views.begin(), views.end(), [&](const CEchogramView* v) {
            return v->GetAnnotationsShown() >= marks && v->GetAnnotationTextsShown() >= texts;
        });
    };
    EXPECT_TRUE(WaitFor([&] { return allShow(1, 1); }, 20000)) << "the recording's annotations";

    // Long and malformed texts are drawn as far as they fit.
    for (const std::string& text : {std::string(100 * 1024, 'W'), std::string("bad \xC3\x28 \xFF\xFE text")}) {
        int texts[4] = {};
        for (std::size_t i = 0; i < views.size(); ++i)
            texts[i] = views[i]->GetAnnotationTextsShown();
        program->Application().AddAnnotation(text, CFileTime::Now());
        EXPECT_TRUE(WaitFor(
            [&] {
                for (std::size_t i = 0; i < views.size(); ++i)
                    if (views[i]->GetAnnotationTextsShown() <= texts[i])
                        return false;
                return true;
            },
            20000))
            << text.size();
    }
    program->Application().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() == nullptr; }, 10000));
}

// The installation as the program wires it: the transceiver list of the
// application's path, the dialog modal on the main frame with the colours
// of the frame's palette, and changes only while no sounder runs: the
// modify command with a replay running shows the installation as it
// stands, and once the sounder is stopped lets the operator change it.
TEST(ProgramWiringInstallationTest, TheInstallationReadsTheListPathAndKnowsWhetherASounderRuns)
{
    QtApp();
    ShellEnvironment env;
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s : {std::string("pings=400"), std::string("channels=38"), std::string("samples=300")})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path recording = env.Root() / "survey.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    const fs::path folder = env.Root() / "lists";
    fs::create_directories(folder);
    std::ofstream(folder / "TrList.ini", std::ios::binary)
        << "ENDCOMMENTDATA\r\nTRANSCEIVERDATA\r\nENDTRANSCEIVERDATA\r\n";
    {
        CRegistrySupport reg;
        HKEY root = reg.OpenKey(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\RM30\\1.0", TRUE);
        ASSERT_TRUE(reg.SetString(root, "", "TrListPath", folder.string()));
        reg.CloseKey(root);
    }
    auto program = MakeProgram(TestProgramOptions({"RM30", recording.string()}));
    ASSERT_TRUE(program->Start());
    app::CMainFrame* frame = program->Frame();
    CTransceiverInstallation& installation = program->Installation();
    EXPECT_EQ(installation.GetTrListPath(), program->Application().GetTrListPath());
    ASSERT_TRUE(WaitFor([&] { return program->Application().IsReplaying(); }, 10000));

    struct Seen
    {
        bool shown = false;
        bool onFrame = false;
        bool editable = false;
        QColor candidateColour;
    };
    const auto run = [&](unsigned command) {
        Seen seen;
        QTimer hand;
        hand.setInterval(10);
        QObject::connect(&hand, &QTimer::timeout, [&] {
            auto* dialog = dynamic_cast<CTransceiverInstallDlg*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen.shown = true;
            seen.onFrame = dialog->parentWidget() == frame;
            seen.editable =
                dialog->findChild<QCheckBox*>(QString::number(CTransceiverInstallDlg::kEnableDeckUnitId))->isEnabled();
            CTrList candidate;
            candidate.found = 1;
            seen.candidateColour = dialog->LineColour(candidate);
            dialog->reject();
        });
        hand.start();
        frame->RunCommand(command);
        return seen;
    };
    CEchoSounder* replay = program->Operation().GetEchoSounder();
    Seen seen = run(app::cmd::INSPECT_INSTALLATION);
    EXPECT_TRUE(seen.shown && seen.onFrame);
    EXPECT_FALSE(seen.editable) << "inspected";
    COLORREF text = 0;
    ASSERT_TRUE(program->Palettes().GetEntryColour(
        frame->GetCurrentPalette(), PALETTEINDEX(CTransceiverInstallDlg::kCandidateFoundPaletteIndex), &text));
    EXPECT_EQ(seen.candidateColour, QColor(GetRValue(text), GetGValue(text), GetBValue(text)));

    seen = run(app::cmd::RESTART_FROM_INSTALLATION);
    EXPECT_TRUE(seen.shown);
    EXPECT_FALSE(seen.editable) << "the replay still runs";
    EXPECT_EQ(program->Operation().GetEchoSounder(), replay);

    program->Application().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() == nullptr; }, 10000));
    seen = run(app::cmd::RESTART_FROM_INSTALLATION);
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(seen.editable) << "no sounder";
    QCoreApplication::processEvents();
    EXPECT_FALSE(program->Operation().IsBusy()) << "nothing installed: no restart";
    EXPECT_EQ(program->Operation().GetEchoSounder(), nullptr);
}
