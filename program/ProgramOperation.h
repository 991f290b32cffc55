// Operation control in the running program: the link through which the
// application object posts and executes operation commands, and what those
// commands reach of the program (screen layout, main frame, settings,
// sensors, factory settings). Menu commands reach operation control through
// the program's command targets (CProgramCommands).
#pragma once

#include "app/OperationLink.h"
#include "app/Skjerm.h"
#include "display/ui/ChannelFrameFactory.h"
#include "engine/ui/OperationDialog.h"
#include "sounder/OperationHost.h"

#include <QPointer>

#include <memory>
#include <vector>

class CChannelFrameAbstract;

namespace app {

class CProgram;
class CStandardESLayout;

class CProgramOperation final : public IOperationLink, public IOperationHost, public IOperationDialogLinks
{
public:
    explicit CProgramOperation(CProgram& program);
    ~CProgramOperation() override;
    CProgramOperation(const CProgramOperation&) = delete;
    CProgramOperation& operator=(const CProgramOperation&) = delete;

    CStandardESLayout* Layout() const { return m_layout.get(); }

    // IOperationLink
    void Init() override;
    int GetTransceiverCount() override;
    std::vector<InstalledTransceiver> GetInstalledTransceivers() override;
    void PostStartWithFiles(const CReplayFileList& files) override;
    void PostRestart() override;
    void PostStop(unsigned followUp) override;
    void PostStopAndExit() override;
    void QueueCommand(unsigned code, LPARAM parameter) override;
    void ExecuteCommand(unsigned code, LPARAM parameter) override;
    CEchoSounder* GetEchoSounder() override;
    bool IsReplaying() override;
    void SetPowerOff(bool on) override;
    bool GetPowerOff() override;

    // IOperationHost
    bool CreateLayout(const Displays& displays, int arrangement) override;
    void DeleteLayout() override;
    void ClearPendingNewLayout() override;
    void StopPingTimer() override;
    void StatusBarModel(SounderModel model) override;
    void StatusBarStarting() override;
    void EnableMessagePane(bool sync) override;
    bool ShiftOrSecondaryButtonHeld() override;
    std::string GetProfile() override;
    void SetProfile(const std::string& profile) override;
    void SetSettingsFolder(const std::string& folder) override;
    void CloseSensors() override;
    void PowerOff() override;
    void FactoryDefaults() override;
    void HistorySaving(bool on) override;
    void NameExternalDepthSource(int source, const std::string& shortId) override;
    void ResetGeographicHistory() override;
    bool RunOperationDialog(SOperationDialogValues& values) override;
    std::vector<std::string> InstalledChannelNames() override;
    // "Pinger Mode" stays greyed while the program has no pinger mode.
    bool HasPingerMode() override;
    bool SynchronisePinger() override;
    void SetPingerActive(bool active) override;
    bool GetEnvironmentUpdateFlag() override;
    void SetEnvironmentUpdateFlag(bool on) override;

    // IOperationDialogLinks
    bool ChooseReplayFiles(QWidget* parent, int& loop, int& saveData, int& changeInstallation, int& changeSvp,
                           std::vector<std::string>& files) override;
    bool IsRecording() override;
    std::string GetHistoryPath() override;
    void SetHistoryPath(const std::string& path) override;
    void RememberRate(int rate) override;
    int RememberedRate() override;

private:
    CProgram& m_program;
    // Where the channel frames of a layout go and what they show; with the
    // display's context of the model, made into the factory of each layout.
    ChannelFrameContext m_frames;
    std::unique_ptr<CStandardESLayout> m_layout;
    // The frames of the layout being built, whose echograms are printed.
    std::vector<QPointer<CChannelFrameAbstract>> m_layoutFrames;
};

}  // namespace app
