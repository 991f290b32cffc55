// The sensor and output objects from the creation table, their close order,
// and stop and exit with and without power-off.
#include "ShellTestSupport.h"
#include "app/Pelmaris.h"
#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace app;
using namespace shelltest;

namespace {

// A stand-in object that logs what is done to it.
struct Probe : CSensorObject
{
    Probe(std::string n, std::vector<std::string>* l, std::optional<long> rc)
        : name(std::move(n)), log(l), setupResult(rc)
    {}
    ~Probe() override { log->push_back("delete " + name); }
    long Setup() override
    {
        if (!setupResult)
            return 0;
        log->push_back("setup " + name);
        return *setupResult;
    }
    void TakeKey(HKEY) override { log->push_back("key " + name); }
    void Close() override { log->push_back("close " + name); }
    std::string name;
    std::vector<std::string>* log;
    std::optional<long> setupResult;
};

class PelmarisObjects : public ::testing::Test
{
protected:
    // Every row gets a probe; setupResult decides its checked set-up.
    std::unique_ptr<CPelmaris> Make(std::map<SensorId, long> setupResult = {})
    {
        auto pelmaris = std::make_unique<CPelmaris>();
        pelmaris->frameFactory = [this](CPelmaris&, unsigned) -> std::unique_ptr<IMainFrame> {
            auto f = std::make_unique<FakeFrame>();
            frame = f.get();
            return f;
        };
        for (auto& row : pelmaris->sensorTable) {
            const std::string name = row.name;
            std::optional<long> rc;
            if (auto result = setupResult.find(row.id); result != setupResult.end())
                rc = result->second;
            row.create = [this, name, rc](CPelmaris&) -> std::unique_ptr<CSensorObject> {
                log.push_back("create " + name);
                return std::make_unique<Probe>(name, &log, rc);
            };
        }
        return pelmaris;
    }

    bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }

    ShellEnvironment env;
    FakeFrame* frame = nullptr;
    std::vector<std::string> log;
};

TEST_F(PelmarisObjects, ObjectsExistByModel)
{
    for (const char* model : {"QY310", "RM30", "TQ30"}) {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({model}));
        const bool qy = std::string(model) == "QY310";
        EXPECT_EQ(pelmaris->SensorObject(SensorId::Trawl) != nullptr, !qy) << model;
        EXPECT_EQ(pelmaris->SensorObject(SensorId::NetworkOutput) != nullptr, qy) << model;
        EXPECT_EQ(pelmaris->SensorObject(SensorId::SvpProbe) != nullptr, qy) << model;
        EXPECT_EQ(pelmaris->SensorObject(SensorId::Lobe) != nullptr, std::string(model) == "TQ30") << model;
        EXPECT_EQ(pelmaris->SensorObject(SensorId::Fish) != nullptr, std::string(model) == "RM30") << model;
        EXPECT_NE(pelmaris->SensorObject(SensorId::Navigation), nullptr) << model;
        EXPECT_NE(pelmaris->SensorObject(SensorId::NmeaDepth), nullptr) << model;
    }
}

TEST_F(PelmarisObjects, FailedSetUpDropsTheObjectButKeepsTemperature)
{
    auto pelmaris = Make({{SensorId::Navigation, 0x80004005L},
                          {SensorId::Temperature, 1},
                          {SensorId::SerialOutput, 1},
                          {SensorId::Heave, 0}});
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    EXPECT_EQ(pelmaris->SensorObject(SensorId::Navigation), nullptr);
    EXPECT_TRUE(Logged("close navigation"));
    EXPECT_TRUE(Logged("delete navigation"));
    EXPECT_NE(pelmaris->SensorObject(SensorId::Temperature), nullptr);
    EXPECT_FALSE(Logged("key water temperature"));  // kept without its key
    EXPECT_EQ(pelmaris->SensorObject(SensorId::SerialOutput), nullptr);
    EXPECT_NE(pelmaris->SensorObject(SensorId::Heave), nullptr);
    EXPECT_TRUE(Logged("key heave"));
    EXPECT_NE(pelmaris->SensorObject(SensorId::RemoteDisplay), nullptr);
    EXPECT_TRUE(Logged("key remote display"));
    // The serial output's set-up comes after the whole table.
    const auto setup = std::find(log.begin(), log.end(), "setup serial output");
    const auto lastCreate = std::find(log.begin(), log.end(), "create sound velocity probe");
    EXPECT_TRUE(setup > lastCreate);
}

TEST_F(PelmarisObjects, CloseSensorsInItsOrderAndAgainFindsNothing)
{
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"TQ30"}));
    log.clear();
    pelmaris->CloseSensors();
    std::vector<std::string> closed;
    for (const auto& entry : log)
        if (entry.rfind("delete ", 0) == 0)
            closed.push_back(entry.substr(7));
    EXPECT_EQ(closed,
              (std::vector<std::string>{"navigation", "purse seine", "trawl", "heave", "heading", "water temperature",
                                        "lobe interface", "geographic history", "hardware status", "NMEA depth"}));
    EXPECT_TRUE(Logged("close heave"));
    EXPECT_EQ(pelmaris->SensorObject(SensorId::Navigation), nullptr);
    EXPECT_NE(pelmaris->SensorObject(SensorId::LX750), nullptr);  // outputs stay for the destructor
    log.clear();
    pelmaris->CloseSensors();
    EXPECT_TRUE(log.empty());
    pelmaris.reset();
    EXPECT_TRUE(Logged("delete post-processing output"));
    EXPECT_FALSE(Logged("close post-processing output"));
}

TEST_F(PelmarisObjects, StopAndExitPowersOffOnlyAfterEverythingAndOnlyWhenArmed)
{
    for (bool armed : {true, false}) {
        ScopedEnv variable("zelvarqy310shutdown", armed ? "1" : nullptr);
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        frame->Drain();
        frame->messages.clear();
        pelmaris->Operation().QueueCommand(OC_STOP_AND_EXIT, 0);
        EXPECT_EQ(pelmaris->SensorObject(SensorId::Navigation), nullptr);
        frame->Drain();
        EXPECT_EQ(frame->Of(WM_CLOSE).size(), 1u);
        // Powering off waits for the program's end.
        EXPECT_EQ(pelmaris->PowerOffPending(), armed);
    }
}

TEST_F(PelmarisObjects, ExitMessageClearsThePowerOffRequest)
{
    ScopedEnv variable("zelvarqy310shutdown", "1");
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    pelmaris->SetPowerOffRequest(false);  // what the frame does on the exit message
    pelmaris->Operation().QueueCommand(OC_STOP_AND_EXIT, 0);
    EXPECT_FALSE(pelmaris->PowerOffPending());
}

TEST_F(PelmarisObjects, PowerOffCommandIsConfigurableAndNeverTheSystemsInTests)
{
    const auto marker = env.Root() / "powered-off";
    {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        EXPECT_EQ(pelmaris->PowerOffCommand(), "systemctl poweroff");
        CPelmaris::PowerOffAtExit(pelmaris->PowerOffCommand());  // refused under test
    }
    ScopedEnv command("ZELVAR_POWEROFF_COMMAND", ("touch " + marker.string()).c_str());
    CPelmaris::PowerOffAtExit("touch " + marker.string());
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(PelmarisObjects, IllegalOperationCodeIsFatal)
{
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    try {
        pelmaris->Operation().QueueCommand(0x4008, 0);
        FAIL();
    } catch (const FatalReported& f) {
        EXPECT_NE(f.text.find("Illegal Operation Control Command (16392)"), std::string::npos);
    }
}

}  // namespace

namespace {

TEST(PelmarisServicesTest, ClockIsSetToTheReceivedTimePlusWhatHasPassed)
{
    ShellEnvironment env;
    CPelmaris pelmaris;
    RecordingHost host;
    RecordingClock clock;
    pelmaris.SetHost(&host);
    const std::uint64_t now = CFileTime::Now();
    constexpr std::uint64_t kSecond = 10'000'000;
    const std::uint64_t received = now + 3600 * kSecond;  // the telegram says an hour later
    pelmaris.SetComputerClock(now - 2 * kSecond, received);
    ASSERT_EQ(clock.setTo.size(), 1u);
    EXPECT_GE(clock.setTo[0], received + 2 * kSecond);
    EXPECT_LT(clock.setTo[0], received + 10 * kSecond);
    EXPECT_TRUE(host.clockEnded);
}

TEST(PelmarisServicesTest, SoundVelocityProfileGoesToTheOutputsAndTheStore)
{
    ShellEnvironment env;
    CPelmaris pelmaris;
    EXPECT_EQ(pelmaris.ForwardToStore("0 1500"), 0);  // the shell alone records nothing
    RecordingHost host;
    pelmaris.SetHost(&host);
    pelmaris.SendToOutputs("0 1500", 0);
    EXPECT_EQ(host.profiles, (std::vector<std::string>{"0 1500"}));
    EXPECT_EQ(pelmaris.ForwardToStore("0 1500"), 6);
}

}  // namespace
