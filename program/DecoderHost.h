// What the telegram decoder reaches in the running program: the application
// object, the running sounder with its recorder and annotations, the
// geographic history, the external depth sources, the history printing and
// the output list. The navigation object's settings and steps (forced clock
// update, measured speed, clock pane) go through the program's link to it.
#pragma once

#include "sensors/NavigationSettingsCache.h"
#include "sensors/NmeaDecoderHost.h"

namespace app {

class CProgram;

class CDecoderHost final : public INmeaDecoderHost
{
public:
    explicit CDecoderHost(CProgram& program) : m_program(program) {}

    SounderModel GetModel() override;
    bool HasMainWindow() override;
    void AddAnnotation(const std::string& text, std::uint64_t time) override;
    void ShowPositionText(const std::string& text) override;
    void SetTide(double metres) override;
    void PostStatusMessage(const std::string& text) override;
    void SetComputerClock(std::uint64_t utc) override;
    // Navigation's settings as last read from it: asked again only after
    // NavigationSettingsChanged.
    bool GetNavigationSettings(SNavigationSettings& settings) override;
    // Navigation's settings changed, or the object came or went.
    void NavigationSettingsChanged() { m_navigationSettings.Invalidate(); }
    bool IsClockRequest() override;
    void EndForceUpdate() override;
    void SetClockTime(const SYSTEMTIME& time, const std::string& clockText, const std::string& dateText) override;
    void SetMeasuredSpeed(double knots) override;
    bool IsSounderRunning() override;
    bool IsClockRequestPending() override;
    void SetPingRecord(std::uint64_t received, std::uint64_t telegram) override;
    bool GetNavigationAnnotation(std::uint32_t& interval) override;
    bool HasRecorder() override;
    // The antenna height, which the recorder's xyz lines are given less.
    void SetHeaderValue(double antennaHeight) override;
    void WriteNmeaToFiles(const std::string& sentence, std::uint64_t received) override;
    void WriteNmeaDatagram(const std::string& sentence, std::uint64_t received) override;
    CGeographicInfo* GetGeographicInfo() override;
    CExternalDepth* GetExternalDepth() override;
    void RemoteControl(const std::string& telegram, std::uint64_t received) override;
    void PrintText(const std::string& text, std::uint64_t received) override;
    void ForwardToPostProcessing(const std::string& text) override;
    void RelayToOutputs(const std::string& telegram, std::uint64_t time) override;

private:
    CProgram& m_program;
    CNavigationSettingsCache m_navigationSettings;
};

}  // namespace app
