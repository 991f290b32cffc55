// The serial sensors inside the running program: each is made by its row of
// the creation table and opens its port (a pseudo-terminal the program
// finds under a COM name), so that the sentences the simulated sensors
// encode reach the position pane, navigation's speed and clock, the heading
// history, the units' trawl data and the channels' depth lines; a clock
// telegram's request sets the clock once and ends "Force Update"; the
// simulated sound velocity probe answers the program's polls and casts.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "engine/Channel.h"
#include "outputs/QYSerial.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "program/tests/TestProgram.h"
#include "sensors/GeographicInfo.h"
#include "sensors/GyroCompass.h"
#include "sensors/Heave.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDepth.h"
#include "sensors/PurseSeine.h"
#include "sensors/SvpProbe.h"
#include "sensors/Temperature.h"
#include "sensors/Trawl.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "sim/sensors/SensorSentences.h"
#include "sim/sensors/SensorSimulator.h"
#include "sim/serialpeer/HubTelegrams.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace shelltest;

namespace {

// The sentence of a kind as the simulated sensor sends it, line end and all.
std::string Line(const std::string& kind, const zv::sim::SSensorScene& scene = {})
{
    const auto sentence = zv::sim::EncodeSentence(kind, scene);
    EXPECT_TRUE(sentence.has_value()) << kind;
    return sentence.value_or("") + "\r\n";
}

// The serial settings of a sensor: its port by COM name.
void SetPort(const std::string& settingId, const std::string& port)
{
    HKEY key = nullptr;
    const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                            static_cast<DWORD>(port.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// One sensor's line: a pseudo-terminal the program finds as COM<n>.
struct SensorLine
{
    SensorLine(const std::string& settingId, int com)
        : env(("ZELVAR_COM" + std::to_string(com)).c_str(), pty.Name().c_str())
    {
        SetPort(settingId, "COM" + std::to_string(com));
    }
    CPtyPair pty;
    ScopedEnv env;
};

class ProgramSensorLines : public ::testing::Test
{
protected:
    ProgramSensorLines() { QtApp(); }
    void Start(const char* model)
    {
        program = MakeProgram(TestProgramOptions({model}));
        ASSERT_TRUE(program->Start());
    }
    template <class T>
    T* Sensor(app::SensorId id)
    {
        return program->Application().Sensor<T>(id);
    }

    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::unique_ptr<app::CProgram> program;
};

TEST_F(ProgramSensorLines, PositionSpeedClockAndHeadingReachTheProgram)
{
    SensorLine navigationLine("Navigation", 5);
    SensorLine headingLine("GyroCompass", 6);
    Start("QY310");

    CNavigation* navigation = Sensor<CNavigation>(app::SensorId::Navigation);
    ASSERT_NE(navigation, nullptr);
    EXPECT_TRUE(navigation->IsPortOpen());
    EXPECT_FALSE(program->Navigation().IsAbsent());
    // The operator's choice: GGA positions, speed and clock from the line.
    CNavigation::Settings s = CNavigation::ApplySentence(navigation->GetSettings(), 1);
    s.PositionSource = CNavigation::kSourceSerial;
    s.ClockSource = CNavigation::kSourceSerial;
    s.SpeedType = CNavigation::kSpeedSerial;
    ASSERT_TRUE(navigation->StoreSettings(s));

    zv::sim::SSensorScene scene;
    scene.speed = 7.25;
    // 7 December 2026, 12:34:56 UTC.
    SYSTEMTIME st{};
    st.wYear = 2026;
    st.wMonth = 12;
    st.wDay = 7;
    st.wHour = 12;
    st.wMinute = 34;
    st.wSecond = 56;
    std::uint64_t clock = 0;
    ASSERT_TRUE(CFileTime::FromSystemTime(st, clock));
    scene.time = clock;
    navigationLine.pty.Write(Line("GGA", scene) + Line("VTG", scene) + Line("ZDA", scene));
    std::string clockText, dateText;
    EXPECT_TRUE(WaitFor(
        [&] {
            navigation->GetClockTexts(clockText, dateText);
            return !program->Application().GetPositionText().empty() && navigation->GetMeasuredSpeed() == 7.25 &&
                   !dateText.empty();
        },
        10000));
    EXPECT_EQ(program->Application().GetPositionText(), "5957.1234,N,01043.5678,E");
    // The decoder keeps the settings it read until they change: GLL
    // positions from now on, and GGA no longer.
    ASSERT_TRUE(navigation->StoreSettings(CNavigation::ApplySentence(s, 0)));
    zv::sim::SSensorScene moved = scene;
    moved.latitude = 5958.5;
    zv::sim::SSensorScene movedAgain = scene;
    movedAgain.latitude = 5959.75;
    navigationLine.pty.Write(Line("GGA", moved) + Line("GLL", movedAgain));
    EXPECT_TRUE(WaitFor([&] { return program->Application().GetPositionText().rfind("5959.7500,N", 0) == 0; }, 10000))
        << program->Application().GetPositionText();
    EXPECT_EQ(clockText, "12:34:56.000");
    EXPECT_EQ(dateText, "07.12.2026");
    // The channels' speed is navigation's.
    double knots = 0.0;
    EXPECT_TRUE(program->ChannelLinks().GetSpeedKnots(knots));
    EXPECT_EQ(knots, 7.25);

    CGyroCompass* heading = Sensor<CGyroCompass>(app::SensorId::Heading);
    ASSERT_NE(heading, nullptr);
    EXPECT_TRUE(heading->IsPortOpen());
    heading->SetEnabled(true);
    // The history keeps what an echogram shows; without a sounder none has
    // asked for any yet.
    program->GeographicInfo().EnsureHistoryLength(100);
    scene.heading = 211.5;
    const std::size_t headings = program->GeographicInfo().HeadingCount();
    headingLine.pty.Write(Line("HDT", scene));
    EXPECT_TRUE(WaitFor([&] { return program->GeographicInfo().HeadingCount() > headings; }, 10000));
    EXPECT_DOUBLE_EQ(program->GeographicInfo().GetHeadingAtTime(CFileTime::Now()), 211.5);

    // Closing takes navigation out of every link before it goes. A call
    // under way on another thread that holds the last share hands it back:
    // it ends here, with its monitor's window.
    const HWND monitor = navigation->Monitor().Window();
    std::shared_ptr<INavigationSteps> held = program->Navigation().Get();
    program->Application().CloseSensors();
    EXPECT_TRUE(program->Navigation().IsAbsent());
    EXPECT_FALSE(program->ChannelLinks().GetSpeedKnots(knots));
    std::thread([held = std::move(held)]() mutable { held.reset(); }).join();
    EXPECT_TRUE(IsWindow(monitor));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(monitor); }, 10000));
}

// "Force Update": the clock telegram's request, taken between pings, sets
// the clock once to now plus the telegram's lead over its reception and the
// line's latency, and ends the forced update so the button is enabled again.
TEST_F(ProgramSensorLines, ForcedClockUpdateSetsTheClockOnceAndEnds)
{
    Start("QY310");
    CNavigation* navigation = Sensor<CNavigation>(app::SensorId::Navigation);
    ASSERT_NE(navigation, nullptr);
    CNavigation::Settings s = navigation->GetSettings();
    s.Latency = 250.0;
    ASSERT_TRUE(navigation->StoreSettings(s));
    navigation->StartForceUpdate();
    ASSERT_TRUE(navigation->IsClockRequest());

    RecordingClock clock;
    constexpr std::uint64_t kReceived = 134'000'000'000'000'000ULL;
    constexpr std::uint64_t kLead = 30'000'000;  // the telegram's time 3 s after its reception
    const std::uint64_t before = CFileTime::Now();
    program->SounderHost().SetClockFromTelegram(kReceived, kReceived + kLead);
    const std::uint64_t after = CFileTime::Now();
    ASSERT_EQ(clock.setTo.size(), 1u);
    EXPECT_GE(clock.setTo[0], before + kLead + 2'500'000);
    EXPECT_LE(clock.setTo[0], after + kLead + 2'500'000);
    EXPECT_FALSE(navigation->IsClockRequest());
}

// The trawl system's line on a trawl model: its readings reach the units'
// trawl data with their states, and reset data brings back manual opening.
TEST_F(ProgramSensorLines, TrawlReadingsReachTheUnits)
{
    SensorLine trawlLine("Trawl", 7);
    Start("RM30");
    CTrawl* trawl = Sensor<CTrawl>(app::SensorId::Trawl);
    ASSERT_NE(trawl, nullptr);
    EXPECT_TRUE(trawl->IsPortOpen());

    zv::sim::SSensorScene scene;
    scene.depth = 81.5;
    scene.opening = 23.25;
    trawlLine.pty.Write(Line("DBT", scene) + Line("HFB", scene));
    ITrawlSource& units = program->SounderHost().TransceiverServices().Trawl();
    TrawlRecord record;
    EXPECT_TRUE(WaitFor(
        [&] {
            record = TrawlRecord{};
            units.GetTrawlData(record);
            return record.depthState == TrawlRecord::kValid && record.openingState == TrawlRecord::kValid;
        },
        10000));
    EXPECT_DOUBLE_EQ(record.depth, 81.5);
    EXPECT_DOUBLE_EQ(record.opening, 23.25);

    // A broken line keeps the last reading, and the next whole sentence
    // after it is read.
    const std::string hfb = Line("HFB", scene);
    const struct
    {
        const char* name;
        std::string bytes;
    } faults[] = {
        {"garbage", std::string("\x8f\x01\xfe$II?*,,\xff") + "\r\n"},
        {"NUL bytes", hfb.substr(0, 6) + std::string(3, '\0') + hfb.substr(6)},
        {"a 5,000-byte line", std::string(5000, 'A') + "\r\n"},
        {"half sentences", hfb.substr(0, hfb.size() / 2) + "\r\n" + Line("DBT", scene).substr(0, 9) + "\r\n"},
    };
    for (const auto& fault : faults) {
        scene.opening += 1.0;
        trawlLine.pty.Write(fault.bytes);
        trawlLine.pty.Write(Line("HFB", scene));
        EXPECT_TRUE(WaitFor(
            [&] {
                units.GetTrawlData(record);
                return record.opening == scene.opening;
            },
            10000))
            << fault.name;
        EXPECT_DOUBLE_EQ(record.depth, 81.5) << fault.name;
    }

    // Silent for the model's limit: the readings are too old (state 1).
    ASSERT_EQ(trawl->AgeLimit(), 30 * 10'000'000ULL);
    const std::uint64_t now = CFileTime::Now();
    ASSERT_TRUE(trawl->GetTrawlDataAt(record, now + trawl->AgeLimit() - 10'000'000));
    EXPECT_EQ(record.depthState, TrawlRecord::kValid);
    EXPECT_FALSE(trawl->GetTrawlDataAt(record, now + trawl->AgeLimit()));
    EXPECT_EQ(record.depthState, TrawlRecord::kTooOld);
    EXPECT_EQ(record.openingState, TrawlRecord::kTooOld);

    program->Application().CloseSensors();
    record = TrawlRecord{};
    EXPECT_FALSE(units.GetTrawlData(record));
    EXPECT_EQ(record.depthState, TrawlRecord::kNone);
}

// The probe's real-time velocity: the program polls the simulated probe on
// its line, and the velocity answered becomes the environment's with the
// real-time type. "Start" lowers the probe; the cast recorded from its lines
// is thinned, stored and offered on the dialog's OK.
TEST_F(ProgramSensorLines, ProbeVelocityAndCastReachTheEnvironment)
{
    SensorLine probeLine("SvpProbe", 7);
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0\\Environment", 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD probeType = CEnvironment::SvpTypeProbe;
        RegSetValueEx(key, "dwSvpType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&probeType), sizeof probeType);
        RegCloseKey(key);
    }
    // Velocity 1487.5 m/s at the surface, 0.12 m/s more each metre, lowered
    // a metre a round to 30 m.
    zv::sim::CSensorSimulator::Settings simulated;
    simulated.fd = probeLine.pty.Master();
    simulated.rateHz = 20.0;
    simulated.baud = 115200;
    simulated.probe = zv::sim::SProbeScene{1487.5, 0.12, 10.0, 30.0, 1.0};
    zv::sim::CSensorSimulator sim(simulated);
    std::string error;
    ASSERT_TRUE(sim.Open(error)) << error;
    std::thread simThread([&] { sim.Run(); });
    struct SStop
    {
        zv::sim::CSensorSimulator& sim;
        std::thread& thread;
        ~SStop()
        {
            sim.Stop();
            thread.join();
        }
    } stop{sim, simThread};

    Start("QY310");
    CSvpProbe* probe = Sensor<CSvpProbe>(app::SensorId::SvpProbe);
    ASSERT_NE(probe, nullptr);
    EXPECT_TRUE(probe->IsPortOpen());
    EXPECT_EQ(program->Environment().GetSoundVelocity(), 1500.0) << "nothing polled yet";
    probe->SetRealTime(true);
    EXPECT_TRUE(WaitFor([&] { return program->Environment().GetSoundVelocity() == 1487.5; }, 10000))
        << "the poll answered with the velocity at the surface";
    EXPECT_EQ(probe->RecordedCast().GetCount(), 0);

    probe->SetRealTime(false);
    probe->StartRecording();
    probe->StartCast();
    // Kept from the first point below the surface on, only where both the
    // velocity (more than 0.5 m/s) and the depth (more than 0.2 m) moved.
    const double kept[] = {1, 6, 11, 16, 21, 26};
    EXPECT_TRUE(WaitFor([&] { return probe->RecordedCast().GetCount() == 6; }, 20000))
        << probe->RecordedCast().GetCount();
    ASSERT_TRUE(probe->StoreCast());
    ClearMessageBoxRecord();
    // Yes to the question opens the environment dialog on the cast; its OK
    // applies it.
    bool environmentShown = false;
    QTimer accept;
    accept.setInterval(10);
    QObject::connect(&accept, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->objectName() == "dialog_Environment") {
            environmentShown = true;
            dialog->accept();
        }
    });
    accept.start();
    probe->AnnounceStored();
    const auto asked = [] {
        for (const MessageBoxEntry& box : MessageBoxRecord())
            if (box.text.find("Apply it now ?") != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(WaitFor(asked, 10000)) << "the stored cast is offered";
    EXPECT_TRUE(WaitFor([&] { return environmentShown; }, 10000));
    accept.stop();
    // No recorder runs: the model's profile folder holds the cast.
    std::vector<std::filesystem::path> casts;
    for (const auto& entry : std::filesystem::directory_iterator(CPaths::MapWindowsPath("C:\\QY310\\svp\\")))
        casts.push_back(entry.path());
    ASSERT_EQ(casts.size(), 1u);
    CSvpProfile cast;
    ASSERT_EQ(cast.ParseDatagram(casts[0].string(), CSvpProfile::FormatAsvp), 6);
    for (std::size_t i = 0; i < std::size(kept); ++i) {
        EXPECT_NEAR(cast.Points()[i].depth, kept[i], 0.01) << i;
        // The stored file holds velocities to 0.1 m/s.
        EXPECT_NEAR(cast.Points()[i].velocity, 1487.5 + 0.12 * kept[i], 0.05) << i;
    }
    const CEnvironment::Settings applied = program->Environment().GetSettings();
    EXPECT_EQ(applied.svpType, CEnvironment::SvpTypeProfile);
    EXPECT_EQ(applied.svpFileName, casts[0].filename().string());
}

// The motion sensor's line: what it brings is the motion the channels and
// units ask for, with its sign and units as the pings take them, until a
// clock set from a telegram empties the history; closing takes the sensor
// out of every link.
TEST_F(ProgramSensorLines, MotionLineReachesThePingsUntilTheClockIsSet)
{
    SensorLine heaveLine("Heave", 8);
    Start("QY310");
    CHeave* heave = Sensor<CHeave>(app::SensorId::Heave);
    ASSERT_NE(heave, nullptr);
    EXPECT_TRUE(heave->IsPortOpen());
    heave->SetMode(CHeave::kModeSerial);
    heave->SetProtocol(CHeave::kProtocolAscii);
    EXPECT_EQ(heave->GetRxProtocolName(), "ASCII");

    zv::sim::SSensorScene scene;
    scene.heave = 0.12;
    scene.roll = 1.5;
    scene.pitch = -2.0;
    IMotionSensor& motion = program->ChannelLinks().MotionSensor();
    double out[4] = {};
    // The ring starts afresh a second after the port opened: lines until
    // one has stayed.
    EXPECT_TRUE(WaitFor(
        [&] {
            heaveLine.pty.Write(Line("MOTION-ASCII", scene));
            return motion.GetMotionAtTime(CFileTime::Now(), TransducerOffsets{}, out) && out[2] != 0.0;
        },
        10000));
    EXPECT_DOUBLE_EQ(out[0], -0.12);
    EXPECT_DOUBLE_EQ(out[1], 1.5);
    EXPECT_DOUBLE_EQ(out[2], -2.0);
    EXPECT_DOUBLE_EQ(out[3], -0.12);

    RecordingClock clock;
    program->SounderHost().SetClockFromTelegram(CFileTime::Now(), CFileTime::Now());
    ASSERT_EQ(clock.setTo.size(), 1u);
    ASSERT_TRUE(motion.GetMotionAtTime(CFileTime::Now(), TransducerOffsets{}, out));
    EXPECT_EQ(out[2], 0.0);

    program->Application().CloseSensors();
    EXPECT_FALSE(motion.GetMotionAtTime(CFileTime::Now(), TransducerOffsets{}, out));
    double along = 1.0, athwart = 1.0, depth = 1.0;
    EXPECT_FALSE(motion.GetSensorOffsets(along, athwart, depth));
}

// The net sensors' line: fresh depths in metres and fathoms reach the
// echograms' marks, and the chosen channel's depth goes back out.
TEST_F(ProgramSensorLines, NetSensorsReachTheEchogramsAndTheDepthGoesOut)
{
    SensorLine seineLine("PurseSeine", 9);
    Start("QY310");
    CPurseSeine* seine = Sensor<CPurseSeine>(app::SensorId::PurseSeine);
    ASSERT_NE(seine, nullptr);
    EXPECT_TRUE(seine->IsPortOpen());
    zv::sim::SSensorScene scene;
    seineLine.pty.Write(Line("PKVR", scene));
    scene.netDepth[2] = 9.144;  // 5 fathoms
    seineLine.pty.Write(Line("PKVR-F", scene));
    int states[3] = {};
    double depths[3] = {};
    EXPECT_TRUE(WaitFor(
        [&] {
            program->Display().GetNetSensors(states, depths);
            return states[0] == 2 && states[1] == 2 && states[2] == 2 && std::abs(depths[2] - 9.144) < 1e-6;
        },
        10000));
    EXPECT_NEAR(depths[0], 25.0, 0.002);
    EXPECT_NEAR(depths[1], 40.5, 0.002);

    seine->StoreSettings({1, 0, 0, "T38 38 kHz"});
    DepthReport report;
    report.SourceName = "T38 38 kHz";
    report.Depth = 10.0;
    program->ChannelLinks().OnBottomDepth(report);
    EXPECT_EQ(seineLine.pty.Read(31), "$SDDBS,32.81,f,10.00,M,5.47,F\r\n");

    program->Application().CloseSensors();
    program->Display().GetNetSensors(states, depths);
    EXPECT_EQ(states[0], 0);
}

// The water temperature: a sentence on its line reaches the temperature
// the status bar, replay and the outputs read; a unit's thermistor reading
// reaches it through the transceiver services once the analog input is
// chosen; after close both roads end at the null again.
TEST_F(ProgramSensorLines, WaterTemperatureFromTheLineAndTheUnits)
{
    SensorLine temperatureLine("Temperature", 8);
    Start("QY310");
    CTemperature* temperature = Sensor<CTemperature>(app::SensorId::Temperature);
    ASSERT_NE(temperature, nullptr);
    EXPECT_TRUE(temperature->IsPortOpen());
    EXPECT_FALSE(program->WaterTemperature().IsAbsent());
    ASSERT_TRUE(temperature->StoreSettings(CTemperature::kSerial, ""));
    zv::sim::SSensorScene scene;
    scene.temperature = 12.5;
    temperatureLine.pty.Write(Line("MTW", scene));
    EXPECT_TRUE(WaitFor([&] { return program->WaterTemperature()->GetTemperature() == 12.5; }, 10000));
    ASSERT_NE(program->Frame(), nullptr);
    EXPECT_EQ(program->Frame()->waterTemperature(), 12.5) << "the status pane's value";

    ASSERT_TRUE(temperature->StoreSettings(CTemperature::kAnalog, "T38 38 kHz"));
    IThermistorInput& units = program->SounderHost().TransceiverServices().Thermistor();
    units.SetResistance("T38 38 kHz", 10000.0);
    EXPECT_NEAR(program->WaterTemperature()->GetTemperature().value_or(0), 25.0, 1e-9);

    program->Application().CloseSensors();
    EXPECT_TRUE(program->WaterTemperature().IsAbsent());
    EXPECT_TRUE(program->SounderHost().TransceiverServices().ThermistorLink().IsAbsent());
    units.SetResistance("T38 38 kHz", 20000.0);  // reaches nothing
}

}  // namespace

// The serial I/O hub on its line: a channel's depth through the channels'
// depth road goes out in the chosen telegrams, as the peer reads them; a
// CALC cast from the line is stored in the model's profile folder.
TEST_F(ProgramSensorLines, SerialHubSendsDepthsAndStoresCasts)
{
    SensorLine hubLine("SerialIO", 11);
    Start("QY310");
    CQYSerial* hub = Sensor<CQYSerial>(app::SensorId::SerialOutput);
    ASSERT_NE(hub, nullptr);
    EXPECT_TRUE(hub->IsPortOpen());
    CQYSerial::Settings s = hub->GetSettings();
    s.DPTFormat = 1;
    s.AtlasChannel[0] = 1;
    s.ZelvarChannel[0] = 1;
    s.SVPInput = 1;
    hub->StoreSettings(s);

    DepthReport report;
    report.SourceName = "T38 38 kHz";
    report.PingTime = CFileTime::Now();
    report.Depth = 42.5;
    report.DraughtAndOffset = 5.0;
    program->ChannelLinks().OnDepthOutputs(report);
    std::string received;
    EXPECT_TRUE(WaitFor(
        [&] {
            received += hubLine.pty.Read(1, 10);
            return std::count(received.begin(), received.end(), '\n') >= 3;
        },
        10000))
        << received;
    std::vector<std::string> kinds;
    std::istringstream lines(received);
    for (std::string line; std::getline(lines, line);) {
        const auto t = zv::sim::DecodeHubTelegram(line);
        ASSERT_TRUE(t) << line;
        kinds.push_back(t->kind);
        if (t->kind == "D") {
            EXPECT_DOUBLE_EQ(t->values.at(1), 42.5);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"DPT", "DB", "D"}));

    // The stored cast is offered: Yes (the boxes' default) opens the
    // environment dialog on it, which is cancelled here; a dialog left open
    // would hold the test.
    ClearMessageBoxRecord();
    bool environmentShown = false;
    QTimer cancel;
    cancel.setInterval(10);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->objectName() == "dialog_Environment") {
            environmentShown = true;
            dialog->reject();
        }
    });
    cancel.start();
    hubLine.pty.Write(zv::sim::HubInput("CALC"));
    const auto folder = CPaths::MapWindowsPath("C:\\QY310\\svp\\");
    const auto casts = [&] {
        std::size_t n = 0;
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(folder, ec);
             !ec && it != std::filesystem::directory_iterator(); ++it)
            ++n;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return casts() == 1; }, 10000));
    EXPECT_FALSE(hub->IsGathering());
    const auto asked = [] {
        for (const MessageBoxEntry& box : MessageBoxRecord())
            if (box.text.find("Apply it now ?") != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(WaitFor(asked, 10000)) << "the stored cast is offered";
    EXPECT_TRUE(WaitFor([&] { return environmentShown; }, 10000));
    cancel.stop();
}
