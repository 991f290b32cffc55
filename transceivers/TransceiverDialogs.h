// The settings dialogs of a channel's transceiver, which the user interface
// provides: what each shows and takes back, as plain values, and the runner
// that shows them. The transceiver fills the values from its channel record,
// runs the dialog and applies what comes back; the dialog knows neither.
#pragma once

#include "base/ModalSession.h"
#include "platform/WinTypes.h"
#include "transceivers/NvuDiagnosticLink.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// "Transceiver Settings" of a channel.
struct TransceiverDialogValues
{
    // The form of every model but the wide-band one, and the wide-band
    // model's, which adds the FM pulse, the receive filter and the sample
    // rate.
    static constexpr int kTemplate = 135;
    static constexpr int kTemplateWideBand = 283;
    // FM pulses are offered on these frequencies (Hz), or where FM is chosen.
    static constexpr double kFmFrequencies[2] = {38000.0, 15000.0};

    int templateId = kTemplate;
    // The unit may run the channel in mode 2 (Test).
    bool testModeAllowed = false;
    double powerSteps[10] = {};                     // W, the choices of transmit power
    double pulseLengths[5] = {};                    // s, ascending; repeats at the end mark its end
    double frequency = 0.0;                         // Hz
    std::string channelName;                        // shown
    std::string description;                        // the transducer type, shown
    int mode = 0;                                   // 0 active, 1 passive, 2 test
    double pulseLength = 0.0;                       // s
    double power = 0.0;                             // W
    double draught = 0.0;                           // m, the transducer depth
    double x = 0.0, y = 0.0, z = 0.0;               // m: forward, starboard, downward
    double roll = 0.0, pitch = 0.0, azimuth = 0.0;  // degrees, carried through
    double tide = 0.0;                              // m, shown only
    std::string label;                              // the transducer label
    int fmPulse = 0;
    int doubleSampleRate = 0;
    int filterType = 0;                                                                 // CW filter: 0 round, 1 flat
    double fmPulseLength = 0.0;                                                         // s
    double fmResolutionLength = 0.0, resolutionLength = 1.0, cwResolutionLength = 1.0;  // cm
    // A text the dialog shows for editing and hands back (a replayed
    // channel's); none: the dialog has no such field.
    std::optional<std::string> remark;
    // "Advanced...": the channel's advanced dialog. Every dialog the
    // program shows has one.
    std::function<void()> advanced;
};

// "Transceiver Settings" of a channel of the GEO type.
struct GeoTransceiverDialogValues
{
    static constexpr int kTemplate = 292;

    double sampleIntervals[5] = {};  // s, the choices
    double sampleInterval = 0.0;     // s
    double draught = 0.0;
    double x = 0.0, y = 0.0, z = 0.0;
    double roll = 0.0, pitch = 0.0, azimuth = 0.0;
    double tide = 0.0;  // shown only
    std::string label;
    std::function<void()> advanced;
};

// "Advanced Transceiver": a channel's acoustic values, read only.
struct AdvancedTransceiverDialogValues
{
    static constexpr int kTemplate = 212;
    static constexpr int kFirstControl = 1060;
    static constexpr int kCount = 14;
    // Control ids of the texts; texts[id - kFirstControl] is the text of id.
    enum Control : int {
        kFrequency = 1060,
        kAngleSensitivityAlongship = 1061,
        kAngleSensitivityAthwartship = 1062,
        kAngleOffsetAlongship = 1063,
        kAngleOffsetAthwartship = 1064,
        kBeamWidthAlongship = 1065,
        kBeamWidthAthwartship = 1066,
        kBeamType = 1067,
        kTwoWayBeamAngle = 1068,
        kBandwidth = 1069,
        kSampleInterval = 1070,
        kGain = 1071,
        kSoundVelocity = 1072,
        kAbsorption = 1073,
    };
    std::array<std::string, kCount> texts;

    const std::string& Text(Control id) const { return texts[static_cast<std::size_t>(id - kFirstControl)]; }
    std::string& Text(Control id) { return texts[static_cast<std::size_t>(id - kFirstControl)]; }
};

// "HXU Debug Dialog": the seven debug flags of the first HXU unit ("Debug
// Mode", "TRACE 1" to "TRACE 6"), stored and shown again. Its alarm buttons
// post their commands to the main window, which routes them to that unit.
struct HxuDebugDialogValues
{
    static constexpr int kFlagCount = 7;
    std::array<int, kFlagCount> flags{};
};

class ITransceiverDialogs
{
public:
    using DialogOpened = CModalSession::DialogOpened;
    virtual ~ITransceiverDialogs() = default;
    // Each shows its dialog modally on the user-interface thread and answers
    // 1 on OK (the values edited), 0 on Cancel, and -1 when the dialog could
    // not be shown or its owner ended it through `opened`: the owner is gone
    // then, and nothing of it may be touched.
    virtual int RunChannel(TransceiverDialogValues& values, const DialogOpened& opened) = 0;
    virtual int RunGeoChannel(GeoTransceiverDialogValues& values, const DialogOpened& opened) = 0;
    virtual int RunAdvanced(const AdvancedTransceiverDialogValues& values, const DialogOpened& opened) = 0;

    // The HXU unit's questions while it is made, on the user-interface
    // thread: 1 "Retry" or "Yes", 0 "Cancel" or "No", -1 not shown (the
    // unit takes it as "Cancel" and "No").
    virtual int RunHxuNoContact(const std::string& /*transceiverName*/) { return -1; }
    virtual int RunHxuReprogram(const std::string& /*transceiverName*/, const std::string& /*unitVersion*/,
                                const std::string& /*fileVersion*/)
    {
        return -1;
    }
    // The HXU debug dialog: as the settings dialogs above.
    virtual int RunHxuDebug(HxuDebugDialogValues& /*values*/, const DialogOpened& /*opened*/) { return -1; }

    // "NVU firmware upgrade", on the user-interface thread: 1 "Yes" (the
    // file replaces the unit's firmware), 0 "No", -1 not shown; ended()
    // holds once the unit that asked no longer waits, and the dialog closes.
    virtual int RunNvuUpgrade(const std::string& /*unitFirmware*/, const std::string& /*newFile*/,
                              const std::function<bool()>& /*ended*/)
    {
        return -1;
    }
    // "NVU Diagnostic", modeless, on the user-interface thread: opened over
    // the link to its unit, with the window told when it has gone (its
    // empty message); null when none can be shown.
    virtual std::unique_ptr<INvuDiagnosticWindow> OpenNvuDiagnostic(std::shared_ptr<CNvuDiagnosticLink> /*link*/,
                                                                    HWND /*parent*/)
    {
        return nullptr;
    }
};
