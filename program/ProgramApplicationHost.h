// What the application object gets from the running program: the recorder,
// the outputs and the history printing for annotations and profiles, the
// environment's and the printing's user settings, and the PC clock. Of the
// objects not built yet (navigation object, the engine's second layer and
// the wide-band unit's extras) nothing is reached, and their commands are
// greyed.
#pragma once

#include "app/ApplicationHost.h"

namespace app {

class CProgram;

class CProgramApplicationHost final : public IApplicationHost
{
public:
    explicit CProgramApplicationHost(CProgram& program) : m_program(program) {}

    void LoadUserSettings() override;
    void AnnotationToOutputs(const std::string& text, std::uint64_t fileTime) override;
    void ProfileToOutputs(const std::string& text, std::uint64_t fileTime) override;
    int RecordProfile(const std::string& text) override;
    bool NavigationExpectsPositions() override { return false; }
    std::optional<bool> RefreshPrintingDocument() override;
    bool HasEngineExtra(unsigned) override { return false; }
    void SetSecondLayer(bool) override {}
    void SetExpCalculation(bool) override {}
    void FrequencySweep() override {}
    void ClockWasSet() override {}

private:
    CProgram& m_program;
};

}  // namespace app
