// The environment's part of a replay host: the environment answers for the
// water model and takes recorded real-time profiles. What replay asks of the
// rest of the program is the program's own host, which derives from this.
#pragma once

#include "recording/ReplayHost.h"

class CEnvironment;

namespace zv::recording {

class CReplayEnvironmentHost : public IReplayHost
{
public:
    explicit CReplayEnvironmentHost(CEnvironment* environment);

    bool EnvironmentUpdateFlag() override;
    double EnvironmentSoundVelocity() override;
    void AfterPing() override;
    // Reads the profile text, writes it as "YYYYMMDD_hhmmss.asvp" (local time
    // of the profile) into the folder, makes it the environment's real-time
    // profile and announces it to the main frame.
    void ApplyReplayProfile(const std::string& text, FileTime time, const std::string& folder) override;

    // The name an applied profile file gets; empty for a text without points.
    static std::string ProfileFileName(const std::string& text, FileTime time);

private:
    CEnvironment* m_environment;
};

}  // namespace zv::recording
