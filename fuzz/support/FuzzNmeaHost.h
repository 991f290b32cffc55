// Everything around the telegram decoder, as the running program has it: a
// navigation object whose settings the input chooses, a running sounder
// with a recorder, the geographic history and the external depth sources.
// What the decoder hands on is kept, so that the history can be asked for
// positions and headings afterwards.
#pragma once

#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"
#include "sensors/NmeaDecoderHost.h"

#include <cstdint>

class CFuzzInput;

class CFuzzNmeaHost : public CNoNmeaDecoderHost
{
public:
    // Takes four bytes of the input for the settings and one line for the
    // start sequence of the configured position telegram.
    explicit CFuzzNmeaHost(CFuzzInput& input);

    SounderModel GetModel() override { return m_model; }
    bool GetNavigationSettings(SNavigationSettings& settings) override;
    bool IsClockRequest() override { return m_clockRequest; }
    bool IsSounderRunning() override { return m_sounder; }
    bool GetNavigationAnnotation(std::uint32_t& interval) override;
    bool HasRecorder() override { return m_recorder; }
    CGeographicInfo* GetGeographicInfo() override { return &m_geographic; }
    CExternalDepth* GetExternalDepth() override { return &m_external; }

    // Asks the history for what it holds at a run of ping times.
    void QueryHistory(std::uint64_t from, std::uint64_t to);

private:
    SNavigationSettings m_settings;
    SounderModel m_model = SounderModel::QY310;
    bool m_sounder = false, m_recorder = false, m_clockRequest = false, m_annotations = false;
    CGeographicInfo m_geographic;
    CExternalDepth m_external;
};
