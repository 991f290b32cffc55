// Operation control and the echo sounder as the application object reaches
// them. Operation control belongs to the engine, which builds on the shell,
// so the program's composition root implements this link with the real
// object; CShellOperation is the shell's own, for a program without an
// engine (the shell's tests).
#pragma once

#include "base/ReplayFileList.h"
#include "platform/WinTypes.h"

#include <string>
#include <vector>

class CEchoSounder;

namespace app {

class IOperationLink
{
public:
    virtual ~IOperationLink() = default;

    // COperationControl::Init, once the main frame exists.
    virtual void Init() = 0;
    // Installed transceivers.
    virtual int GetTransceiverCount() = 0;
    // Each installed transceiver's name and the names of its channels, in
    // the installation's order.
    struct InstalledTransceiver
    {
        std::string name;
        std::vector<std::string> channels;
    };
    virtual std::vector<InstalledTransceiver> GetInstalledTransceivers() = 0;

    // Posting, from any thread: start of replay with a file list (then "show
    // the replay bar"), restart in normal operation (then "hide the replay
    // bar"), stop with a follow-up menu command (0: none), stop and exit.
    virtual void PostStartWithFiles(const CReplayFileList& files) = 0;
    virtual void PostRestart() = 0;
    virtual void PostStop(unsigned followUp) = 0;
    virtual void PostStopAndExit() = 0;

    // The main frame hands these messages here: 0x472 and 0x471.
    virtual void QueueCommand(unsigned code, LPARAM parameter) = 0;
    virtual void ExecuteCommand(unsigned code, LPARAM parameter) = 0;

    // The running sounder (null when none) and whether it replays.
    virtual CEchoSounder* GetEchoSounder() = 0;
    virtual bool IsReplaying() = 0;

    // The power-off request flag, which operation control holds.
    virtual void SetPowerOff(bool on) = 0;
    virtual bool GetPowerOff() = 0;
};

}  // namespace app
