// What the application object gets from the running program: the recorder,
// the outputs and the history printing for annotations and profiles, the
// environment's and the printing's user settings, navigation's forced clock
// update, and the engine's extras (the second layer and the wide-band unit's
// extras) through a link that holds their named null until the program has
// them, so their commands stay greyed.
#pragma once

#include "app/ApplicationHost.h"
#include "program/AbsentRoles.h"
#include "program/Link.h"

namespace app {

class CProgram;

class CProgramApplicationHost final : public IApplicationHost
{
public:
    explicit CProgramApplicationHost(CProgram& program);

    void PathsRead() override;
    void LoadUserSettings() override;
    void AnnotationToOutputs(const std::string& text, std::uint64_t fileTime) override;
    void ProfileToOutputs(const std::string& text, std::uint64_t fileTime) override;
    int RecordProfile(const std::string& text) override;
    bool NavigationExpectsPositions() override;
    void GetPositionTimes(std::uint64_t& position, std::uint64_t& other) override;
    std::optional<bool> RefreshPrintingDocument() override;
    bool HasHistoryDialog() override { return true; }
    void OpenHistoryDialog() override;
    bool HasEngineExtra(unsigned commandId) override { return m_engineExtras->HasExtra(commandId); }
    void SetSecondLayer(bool on) override { m_engineExtras->SetSecondLayer(on); }
    void SetExpCalculation(bool on) override { m_engineExtras->SetExpCalculation(on); }
    void FrequencySweep() override { m_engineExtras->FrequencySweep(); }
    void ClockWasSet() override;
    TLink<IEngineExtras, CAbsentEngineExtras>& EngineExtras() { return m_engineExtras; }

private:
    CProgram& m_program;
    TLink<IEngineExtras, CAbsentEngineExtras> m_engineExtras;
};

}  // namespace app
