// The replay host the program uses: the environment answers for the water
// model and takes recorded real-time profiles; everything else goes to the
// hooks the application sets (empty hooks do nothing).
#pragma once

#include "recording/ReplayHost.h"

#include <functional>

class CEnvironment;

namespace zv::recording {

class CReplayEnvironmentHost : public IReplayHost {
public:
    struct SHooks {
        std::function<void(FileTime)> pingReady;
        std::function<void(double)> setTide;
        std::function<void(double)> setReplayTemperature;
        std::function<void(const std::string&, FileTime)> sendProfileToOutputs;
        std::function<void(const std::string&, FileTime)> parseNmea;
        std::function<void(const std::string&, FileTime)> addAnnotation;
        std::function<void(const CReplayFileList&)> restartReplay;
        std::function<void()> resetGeographicHistory;
        std::function<void(FileTime, FileTime, const std::string&)> updateReplayButtons;
        std::function<void(const FileTime*)> copyReplayTable;
        std::function<void()> restartPrinting;
        std::function<bool(SReplayInstallation&, int&, int&, int&)> runInstallationDialog;
    };

    CReplayEnvironmentHost(CEnvironment* environment, SHooks hooks);

    void PingReady(FileTime t) override;
    void SetTide(double metres) override;
    void SetReplayTemperature(double celsius) override;
    bool EnvironmentUpdateFlag() override;
    double EnvironmentSoundVelocity() override;
    void AfterPing() override;
    void SendProfileToOutputs(const std::string& text, FileTime time) override;
    // Reads the profile text, writes it as "YYYYMMDD_hhmmss.asvp" (local time
    // of the profile) into the folder, makes it the environment's real-time
    // profile and announces it to the main frame.
    void ApplyReplayProfile(const std::string& text, FileTime time, const std::string& folder) override;
    void ParseNmea(const std::string& text, FileTime time) override;
    void AddAnnotation(const std::string& text, FileTime time) override;
    void RestartReplay(const CReplayFileList& list) override;
    void ResetGeographicHistory() override;
    void UpdateReplayButtons(FileTime start, FileTime end, const std::string& fileName) override;
    void CopyReplayTable(const FileTime* times200) override;
    void RestartPrinting() override;
    bool RunInstallationDialog(SReplayInstallation& block, int& applyHeave, int& reprocess, int& applyAll) override;

    // The name an applied profile file gets; empty for a text without points.
    static std::string ProfileFileName(const std::string& text, FileTime time);

private:
    CEnvironment* m_environment;
    SHooks m_hooks;
};

}  // namespace zv::recording
