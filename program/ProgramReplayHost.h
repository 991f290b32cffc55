// What a replay reaches of the program: the environment (its base), the
// application's tide, the telegram decoder, annotations, the outputs'
// profiles, a restart through operation control, the geographic history,
// the replay bar, the "Reprocess Heave" dialog, the history printing, the
// water temperature sensor's link and the replayed channels' settings dialog.
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

    // From the trigger thread, carried to the bar on the user-interface
    // thread.
    void UpdateReplayButtons(zv::recording::FileTime start, zv::recording::FileTime end,
                             const std::string& fileName) override;
    void CopyReplayTable(const zv::recording::FileTime* times200) override;
    // On the user-interface thread; it closes by itself once the replay no
    // longer waits for it.
    bool RunInstallationDialog(zv::recording::SReplayInstallation& block, int& applyHeave, int& reprocess,
                               int& applyAll, const std::function<bool()>& ended) override;

    void SetReplayTemperature(double celsius) override;
    // The program's transceiver dialogs, which its units show too.
    ITransceiverDialogs* TransceiverDialogs() override;
    // From the trigger thread, carried to the printing on the
    // user-interface thread.
    void RestartPrinting() override;

private:
    CProgram& m_program;
};

}  // namespace app
