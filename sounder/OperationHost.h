// What operation control's commands reach of the program around it: the
// screen layout, the main frame and its status bar, the application's
// settings folder and profile, the sensors and the objects whose factory
// settings a reset restores. The program implements it in its composition
// root; CNoOperationHost stands for a program without any of them (tests).
#pragma once

#include "engine/OperationDialogValues.h"
#include "sounder/OperationControl.h"

#include <array>
#include <string>
#include <vector>

class IOperationHost
{
public:
    using Displays = std::array<COperationControl::ChannelDisplay, 8>;
    virtual ~IOperationHost() = default;

    // Screen layout: made for the running sounder (false: none could be
    // made) and deleted before every command.
    virtual bool CreateLayout(const Displays& displays, int arrangement) = 0;
    virtual void DeleteLayout() = 0;

    // Main frame.
    virtual void ClearPendingNewLayout() = 0;
    virtual void StopPingTimer() = 0;
    virtual void StatusBarModel(SounderModel model) = 0;
    virtual void StatusBarStarting() = 0;
    virtual void EnableMessagePane(bool sync) = 0;
    virtual bool ShiftOrSecondaryButtonHeld() = 0;

    // Application.
    virtual std::string GetProfile() = 0;  // McuModus, empty for "Default"
    virtual void SetProfile(const std::string& profile) = 0;
    virtual void SetSettingsFolder(const std::string& folder) = 0;
    virtual void CloseSensors() = 0;
    virtual void PowerOff() = 0;
    // Every other settings owner back to its factory values.
    virtual void FactoryDefaults() = 0;

    // Objects of other subsystems.
    virtual void HistorySaving(bool on) = 0;
    virtual void NameExternalDepthSource(int source, const std::string& shortId) = 0;
    virtual void ResetGeographicHistory() = 0;

    // "Operation...": the dialog on the values, true for OK. It runs a
    // message loop in which an operation command may replace the sounder.
    virtual bool RunOperationDialog(SOperationDialogValues& values) = 0;
    // The names of the installed channels.
    virtual std::vector<std::string> InstalledChannelNames() = 0;
    // The pinger mode: whether the program has it, its synchronisation
    // (true when it succeeded) and its active flag.
    virtual bool HasPingerMode() = 0;
    virtual bool SynchronisePinger() = 0;
    virtual void SetPingerActive(bool active) = 0;
    // The environment's replay change flag ("Change SVP profile").
    virtual bool GetEnvironmentUpdateFlag() = 0;
    virtual void SetEnvironmentUpdateFlag(bool on) = 0;
};

class CNoOperationHost : public IOperationHost
{
public:
    bool CreateLayout(const Displays&, int) override { return false; }
    void DeleteLayout() override {}
    void ClearPendingNewLayout() override {}
    void StopPingTimer() override {}
    void StatusBarModel(SounderModel) override {}
    void StatusBarStarting() override {}
    void EnableMessagePane(bool) override {}
    bool ShiftOrSecondaryButtonHeld() override { return false; }
    std::string GetProfile() override { return {}; }
    void SetProfile(const std::string&) override {}
    void SetSettingsFolder(const std::string&) override {}
    void CloseSensors() override {}
    void PowerOff() override {}
    void FactoryDefaults() override {}
    void HistorySaving(bool) override {}
    void NameExternalDepthSource(int, const std::string&) override {}
    void ResetGeographicHistory() override {}
    bool RunOperationDialog(SOperationDialogValues&) override { return false; }
    std::vector<std::string> InstalledChannelNames() override { return {}; }
    bool HasPingerMode() override { return false; }
    bool SynchronisePinger() override { return false; }
    void SetPingerActive(bool) override {}
    bool GetEnvironmentUpdateFlag() override { return false; }
    void SetEnvironmentUpdateFlag(bool) override {}
};
