// An operation host for tests: each call a plain function the test may set;
// what is left unset does what CNoOperationHost does.
#pragma once

#include "sounder/OperationHost.h"

#include <functional>

class CTestOperationHost : public CNoOperationHost
{
public:
    std::function<void()> deleteLayout;
    std::function<bool(const Displays&, int arrangement)> createLayout;
    std::function<void()> closeSensors;
    std::function<void(SounderModel model)> statusBarModel;
    std::function<void()> statusBarStarting;
    std::function<void(bool on)> historySaving;
    std::function<void()> factoryDefaults;
    std::function<std::string()> profile;
    std::function<void(const std::string&)> setProfile;
    std::function<void(const std::string&)> setSettingsFolder;
    std::function<void(int, const std::string&)> externalDepthName;
    std::function<void()> geographicReset;
    std::function<bool()> shiftOrSecondaryButtonHeld;
    std::function<void()> powerOff;
    // "Operation...": the dialog edits the values, true for OK.
    std::function<bool(SOperationDialogValues&)> operationDialog;
    std::vector<std::string> channelNames;
    bool pingerMode = false;
    std::function<bool()> synchronisePinger;
    std::function<void(bool)> pingerActive;
    bool environmentUpdateFlag = false;

    bool CreateLayout(const Displays& d, int arrangement) override
    {
        return createLayout ? createLayout(d, arrangement) : false;
    }
    void DeleteLayout() override { Call(deleteLayout); }
    void CloseSensors() override { Call(closeSensors); }
    void StatusBarModel(SounderModel model) override { Call(statusBarModel, model); }
    void StatusBarStarting() override { Call(statusBarStarting); }
    void HistorySaving(bool on) override { Call(historySaving, on); }
    void FactoryDefaults() override { Call(factoryDefaults); }
    std::string GetProfile() override { return profile ? profile() : std::string(); }
    void SetProfile(const std::string& p) override { Call(setProfile, p); }
    void SetSettingsFolder(const std::string& f) override { Call(setSettingsFolder, f); }
    void NameExternalDepthSource(int n, const std::string& name) override { Call(externalDepthName, n, name); }
    void ResetGeographicHistory() override { Call(geographicReset); }
    bool ShiftOrSecondaryButtonHeld() override { return shiftOrSecondaryButtonHeld && shiftOrSecondaryButtonHeld(); }
    void PowerOff() override { Call(powerOff); }
    bool RunOperationDialog(SOperationDialogValues& v) override { return operationDialog && operationDialog(v); }
    std::vector<std::string> InstalledChannelNames() override { return channelNames; }
    bool HasPingerMode() override { return pingerMode; }
    bool SynchronisePinger() override { return synchronisePinger && synchronisePinger(); }
    void SetPingerActive(bool on) override { Call(pingerActive, on); }
    bool GetEnvironmentUpdateFlag() override { return environmentUpdateFlag; }
    void SetEnvironmentUpdateFlag(bool on) override { environmentUpdateFlag = on; }

private:
    template <class F, class... A>
    static void Call(const F& f, A&&... a)
    {
        if (f)
            f(std::forward<A>(a)...);
    }
};
