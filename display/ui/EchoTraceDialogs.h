// The display's Qt dialog behind the echo trace documents' settings, and
// what its "Calibration..." reaches of the running program. The program
// hands one to the documents through their context; a test makes its own.
#pragma once

#include "display/EchoTraceDoc.h"
#include "sounder/CalibrationLink.h"

#include <vector>

class CChannel;

namespace displayui {

// The running sounder's channels and its calibration link.
class IEchoTraceCalibration
{
public:
    virtual ~IEchoTraceCalibration() = default;
    // Every channel of the running sounder; none while no sounder runs.
    virtual std::vector<CChannel*> GetChannels() const = 0;
    // "Calibration..." on a channel of it (CEchoSounder::StartCalibrationLink).
    virtual CCalibrationLink::SStartResult StartCalibration(CChannel& channel) = 0;
};

class CEchoTraceDialogs final : public IEchoTraceDialogs
{
public:
    explicit CEchoTraceDialogs(IEchoTraceCalibration* calibration = nullptr) : m_calibration(calibration) {}
    int RunEchoTraceDialog(CEchoTraceDoc& document, int& presentation, int& sizeScale,
                           const CModalSession::DialogOpened& opened) override;

private:
    IEchoTraceCalibration* m_calibration;
};

}  // namespace displayui
