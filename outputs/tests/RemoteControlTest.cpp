// The remote control's telegrams: which of them do what to the program, and
// that hostile ones do nothing.
#include "outputs/RemoteControl.h"

#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every request as one line.
class CHost final : public IRemoteControlHost
{
public:
    bool recording = false;
    std::vector<std::string> calls;

    bool IsRecording() override { return recording; }
    void PostRecordToggle() override { calls.push_back("toggle"); }
    void RequestPingMode(int mode, double interval, DWORD trigger) override
    {
        calls.push_back(CNumberText::Format("mode %d %g 0x%X", mode, interval, static_cast<unsigned>(trigger)));
    }
    void RequestHistory(bool on) override { calls.push_back(on ? "history on" : "history off"); }
};

struct SCase
{
    const char* what;
    std::string telegram;
    bool recording;
    std::vector<std::string> calls;
};

TEST(RemoteControl, TelegramsMakeTheirRequests)
{
    using namespace std::string_literals;
    const std::vector<SCase> cases = {
        {"interval", "PE,SYSTEM STARTPINGINT,2.5CRLF", false, {"mode 2 2.5 0x2000"}},
        {"half a second", "PE,SYSTEM STARTPINGINT,0.5CRLF\r\n", false, {"mode 2 0.5 0x2000"}},
        {"no number is 0 s", "PE,SYSTEM STARTPINGINT,CRLF", false, {"mode 2 0 0x2000"}},
        {"no CRLF leaves no number", "PE,SYSTEM STARTPINGINT,2.5", false, {"mode 2 0 0x2000"}},
        {"the upper limit", "PE,SYSTEM STARTPINGINT,3600CRLF", false, {"mode 2 3600 0x2000"}},
        {"maximum rate", "PE,SYSTEM STARTPINGING", false, {"mode 0 1 0x2000"}},
        {"single step", "PE,SYSTEM STOPPINGING", false, {"mode 1 1 0x2000"}},
        {"start logging when idle", "PE,SYSTEM STARTLOGGING", false, {"toggle"}},
        {"start logging while recording", "PE,SYSTEM STARTLOGGING", true, {}},
        {"stop logging while recording", "PE,SYSTEM STOPLOGGING", true, {"toggle"}},
        {"stop logging when idle", "PE,SYSTEM STOPLOGGING", false, {}},
        {"history off", "PE,SYSTEM STOPHIST", false, {"history off"}},
        {"history on", "PE,SYSTEM STARTHIST", false, {"history on"}},
        {"the table's first keyword wins", "PE,SYSTEM STOPPINGING STARTPINGING", false, {"mode 0 1 0x2000"}},
        {"interval before logging", "PE,SYSTEM STARTLOGGING STARTPINGINT,4CRLF", false, {"mode 2 4 0x2000"}},
        {"SYSTEM after the keyword", "PE,STOPPINGING,SYSTEM", false, {"mode 1 1 0x2000"}},
        {"no SYSTEM", "PE,STOPPINGING", false, {}},
        {"SYSTEM at the start only", "SYSTEM STOPPINGING", false, {}},
        {"keyword at the start", "STARTPINGING,SYSTEM", false, {}},
        {"keyword at the start, the next one counts", "STARTPINGING,SYSTEM STOPPINGING", false, {"mode 1 1 0x2000"}},
        {"unknown keyword", "PE,SYSTEM REBOOT", false, {}},
        {"lower case", "PE,system stoppinging", false, {}},
        {"empty", "", false, {}},
        {"NUL ends the telegram", "PE,SYSTEM\0STOPPINGING"s, false, {}},
        {"negative", "PE,SYSTEM STARTPINGINT,-1CRLF", false, {}},
        {"above an hour", "PE,SYSTEM STARTPINGINT,3600.5CRLF", false, {}},
        {"huge", "PE,SYSTEM STARTPINGINT,1e300CRLF", false, {}},
        {"beyond a double", "PE,SYSTEM STARTPINGINT,1e999CRLF", false, {}},
        {"NaN", "PE,SYSTEM STARTPINGINT,nanCRLF", false, {}},
        {"infinity", "PE,SYSTEM STARTPINGINT,infCRLF", false, {}},
        {"text for a number is 0 s", "PE,SYSTEM STARTPINGINT,$(halt)CRLF", false, {"mode 2 0 0x2000"}},
        {"shell text", "PE,SYSTEM;$(halt) `reboot` | sh", false, {}},
        {"a path", "PE,SYSTEM /etc/passwd ../../x", false, {}},
        {"oversize", "PE,SYSTEM " + std::string(100000, 'X') + " STOPPINGING", false, {"mode 1 1 0x2000"}},
    };
    for (const SCase& c : cases) {
        CHost host;
        host.recording = c.recording;
        CRemoteControl control(host);
        control.Execute(c.telegram);
        EXPECT_EQ(host.calls, c.calls) << c.what;
    }
}

// The output list hands it the remote-control telegrams and nothing else.
TEST(RemoteControl, TakesOnlyRemoteCommandTexts)
{
    CHost host;
    CRemoteControl control(host);
    const std::string telegram = "PE,SYSTEM STOPPINGING";
    for (OutputTextKind kind : {OutputTextKind::Status, OutputTextKind::Annotation, OutputTextKind::NavigationRelay,
                                OutputTextKind::RecorderLine, OutputTextKind::PositionForward})
        control.TakeText({kind, telegram});
    EXPECT_TRUE(host.calls.empty());
    control.TakeText({OutputTextKind::RemoteCommand, telegram, 1});
    EXPECT_EQ(host.calls, std::vector<std::string>{"mode 1 1 0x2000"});
}

}  // namespace
