// What a replay reaches of the program: the environment (its base), the
// application's tide, the telegram decoder, annotations, the outputs'
// profiles, a restart through operation control and the geographic history.
// The replay bar, the "Reprocess Heave" dialog, the water temperature sensor
// and the printing document are not built yet: their calls pass.
#pragma once

#include "recording/ReplayEnvironmentHost.h"

namespace app {

class CProgram;

class CProgramReplayHost final : public zv::recording::CReplayEnvironmentHost
{
public:
    explicit CProgramReplayHost(CProgram& program);

    void SetTide(double metres) override;
    void SendProfileToOutputs(const std::string& text, zv::recording::FileTime time) override;
    void ParseNmea(const std::string& text, zv::recording::FileTime time) override;
    void AddAnnotation(const std::string& text, zv::recording::FileTime time) override;
    void RestartReplay(const CReplayFileList& list) override;
    void ResetGeographicHistory() override;

    // Absent: the water temperature sensor.
    void SetReplayTemperature(double) override {}
    // Absent: the replay bar.
    void UpdateReplayButtons(zv::recording::FileTime, zv::recording::FileTime, const std::string&) override {}
    void CopyReplayTable(const zv::recording::FileTime*) override {}
    // Absent: the printing document, whose history printing restarts with
    // each file.
    void RestartPrinting() override {}
    // Absent: the "Reprocess Heave" dialog; its Cancel keeps the recorded
    // installation.
    bool RunInstallationDialog(zv::recording::SReplayInstallation&, int&, int&, int&,
                               const std::function<bool()>&) override
    {
        return false;
    }

private:
    CProgram& m_program;
};

}  // namespace app
