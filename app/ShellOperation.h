// The shell's own operation link, for a program in which no engine runs:
// commands are posted as usual, and of their execution only what has
// something to do without a sounder is done (stop's follow-up command, stop
// and exit, close sensors).
#pragma once

#include "app/OperationLink.h"

namespace app {

class CPelmaris;

class CShellOperation : public IOperationLink
{
public:
    explicit CShellOperation(CPelmaris& app) : m_app(app) {}

    void Init() override {}
    int GetTransceiverCount() override { return 0; }
    std::vector<InstalledTransceiver> GetInstalledTransceivers() override { return {}; }
    void PostStartWithFiles(const CReplayFileList& files) override;
    void PostRestart() override;
    void PostStop(unsigned followUp) override;
    void PostStopAndExit() override;
    void QueueCommand(unsigned code, LPARAM parameter) override;
    void ExecuteCommand(unsigned code, LPARAM parameter) override;
    CEchoSounder* GetEchoSounder() override { return nullptr; }
    bool IsReplaying() override { return false; }
    void SetPowerOff(bool on) override { m_powerOff = on; }
    bool GetPowerOff() override { return m_powerOff; }

private:
    CPelmaris& m_app;
    bool m_powerOff = false;
};

}  // namespace app
