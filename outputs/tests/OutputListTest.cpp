// The output list hands everything to its entries in order, through the
// slot of an output that is attached, past the named nulls and a slot whose
// output went, and lists the nulls as absent.
#include "outputs/OutputList.h"

#include "outputs/OutputSlot.h"
#include "sounder/EchoSounder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CLogOutput final : public IOutput
{
public:
    CLogOutput(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    void TakePing(const OutputPing& ping) override
    {
        Log("ping " + std::to_string(ping.sounder.GetChannelCount()) + " " + std::to_string(ping.soundVelocity));
    }
    void TakeDepth(const DepthReport& report) override { Log("depth " + report.SourceName); }
    void TakeText(const OutputText& text) override
    {
        Log("text " + std::to_string(static_cast<int>(text.kind)) + " " + text.text + " " + std::to_string(text.time) +
            " " + std::string(text.prefix));
    }
    void TakeProfile(const std::string& text, std::uint64_t time) override
    {
        Log("profile " + text + " " + std::to_string(time));
    }
    void RestoreDefaults() override { Log("defaults"); }

private:
    void Log(const std::string& line) { m_log.push_back(m_name + " " + line); }
    std::string m_name;
    std::vector<std::string>& m_log;
};

}  // namespace

TEST(OutputList, EveryHandOverReachesTheEntriesInTheirOrder)
{
    std::vector<std::string> log;
    CLogOutput first("first", log), attached("attached", log), gone("gone", log);
    CAbsentOutput postProcessing("post-processing output"), remoteControl("remote control");
    COutputSlot network("network output"), serial("serial output");
    network.Attach(attached);
    serial.Attach(gone);
    serial.Detach();
    COutputList list{&postProcessing, &first, &network, &serial, &remoteControl};

    CEchoSounder sounder;
    list.TakePing({sounder, 1493.5, std::nullopt});
    DepthReport report;
    report.SourceName = "T38 38 kHz";
    list.TakeDepth(report);
    const std::string text = "5901.0,1001.0";
    list.TakeText({OutputTextKind::ObjectInformation, text, 42, "VGR"});
    list.TakeProfile("3,0,1500", 7);
    list.RestoreDefaults();

    const std::string object = " " + std::to_string(static_cast<int>(OutputTextKind::ObjectInformation));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "first ping 0 1493.500000",
                       "attached ping 0 1493.500000",
                       "first depth T38 38 kHz",
                       "attached depth T38 38 kHz",
                       "first text" + object + " 5901.0,1001.0 42 VGR",
                       "attached text" + object + " 5901.0,1001.0 42 VGR",
                       "first profile 3,0,1500 7",
                       "attached profile 3,0,1500 7",
                       "first defaults",
                       "attached defaults",
                   }));
    EXPECT_EQ(list.AbsentOutputs(), (std::vector<std::string>{"post-processing output", "remote control"}));
}
